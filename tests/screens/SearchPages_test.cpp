// The search pages built from the shipped design over a copy of Monaco:
// the road of a search from the menu through the find and results pages to
// the map, the history they leave, the filter page and its chain, and the
// page arithmetic of the results, the coordinates and the POI information.

#include "screens/SearchHistoryPage.h"
#include "screens/SelectPoiTypesPage.h"
#include "screens/fdPageCoordsX.h"
#include "screens/fdPageFindFilterX.h"
#include "screens/fdPageFindResults.h"
#include "screens/fdPageFindX.h"
#include "screens/fdPageMap.h"
#include "screens/fdPageMapMenu.h"
#include "screens/fdPagePOIInfoX.h"
#include "screens/fdPageStreetListX.h"
#include "screens/fdSearchMenuPage.h"
#include "screens/MapPointLookup.h"
#include "screens/SearchCallbacks.h"

#include "core/Config.h"
#include "render/Image.h"
#include "ui/DesignValues.h"
#include "core/TempSurface.h"
#include "core/FileSystem.h"
#include "core/Text.h"
#include "core/ResourcesPool.h"
#include "map/AtlasServices.h"
#include "map/KVAtlas.h"
#include "map/KvMap.h"
#include "map/file/AddressSectionReader.h"
#include "map/Projection.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "render/RenderStyles.h"
#include "routing/AtlasRoute.h"
#include "search/Engine.h"
#include "tests/screens/FakeCar.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"
#include "userdata/CategorizedWayPointsProvider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace Screens;

namespace {

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

std::u16string textOf(Ui::fdWindowBase* page, const char* name) {
    auto* widget = dynamic_cast<Ui::fdStatic*>(page->findChild(name));
    return widget ? widget->text() : u"<missing>";
}

// The text of a shown "empty_notice", its wrapped lines joined again.
std::u16string noticeOf(Ui::fdWindowBase* page) {
    Ui::fdWindowBase* notice = page->findChild("empty_notice");
    if (!notice || !notice->visible()) return u"<hidden>";
    std::u16string text = textOf(page, "empty_notice");
    std::replace(text.begin(), text.end(), u'\n', u' ');
    return text;
}

// The driver's waypoints as the search reads them.
struct WayPoints final : Map::CategorizedWayPointsProvider {
    std::size_t categoryCount() const override { return 1; }
    const ::WayPointCategory& category(std::size_t) const override { return only; }
    std::size_t pointCount() const override { return points.size(); }
    const ::WayPoint& point(std::size_t index) const override { return points.at(index); }
    Render::Image* pointImage(std::size_t) override { return nullptr; }
    void addListener(Map::WayPointsCategoriesListener*) override {}
    void removeListener(Map::WayPointsCategoriesListener*) override {}
    void add(const std::u16string& name, std::uint16_t type, Map::Point at) {
        ::WayPoint point;
        point.name = name;
        point.type = type;
        point.position = at;
        points.push_back(point);
    }
    ::WayPointCategory only{u"Waypoints"};
    std::vector<::WayPoint> points;
};

struct Rig {
    // The atlas folder's map files and the find page's result limit;
    // routing gives the map page a route and a car.
    explicit Rig(std::vector<std::string> files = {"monaco.kvm"}, const char* from = MIREL_MONACO_ATLAS_DIR,
                 int maxResults = 100, bool routing = false) {
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        config.root()->set("win_main_heap", 1024);
        config.root()->set("max_search_results", maxResults);
        std::filesystem::create_directories(home / "data");
        std::filesystem::create_directories(home / "maps");
        for (const std::string& file : files)
            std::filesystem::copy_file(std::filesystem::path(from) / file, home / "maps" / file);
        Map::AtlasServices services;
        services.paths = std::make_shared<Map::FolderPaths>(FileSystem::toWide(home.path().string()) + u"/");
        auto owned = std::make_unique<TextSearch::Engine>();
        search = owned.get();
        services.searchEngine = std::move(owned);
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
        EXPECT_TRUE(atlas->load(FileSystem::toWide((home / "maps").string())));

        SearchServices s;
        s.engine = search;
        s.atlas = atlas.get();
        s.messages = &messages;
        s.config = config.root();
        s.layouts = &layouts;
        s.bindings = &bindings;
        s.waypoints = &wayPoints;
        s.carPosition = [this] { return car; };
        // As the program does: untyped POI searches list what is near the car.
        search->setCarPosition(s.carPosition);
        // The map's renderer holds the styles (the POI types' names) the
        // search pages and the map page share.
        renderer = std::make_unique<MapDrawing::fdMapRenderer>(atlas.get(), camera, config.root(),
                                                               Render::StyleContext{});
        s.styles = &styles();
        add(new Ui::fdPage(&ui, "menuMain", nullptr));
        // The map page itself: what a chosen result shows there.
        camera.setAnchorFraction(MapCamera::anchorFractionFor(3));
        camera.setViewport(800, 480, 2 * camera.halfFieldOfView());
        fdPageMap::Services mapServices;
        mapServices.config = config.root();
        mapServices.atlas = atlas.get();
        mapServices.camera = &camera;
        mapServices.messages = &messages;
        mapServices.renderer = renderer.get();
        if (routing) {
            mapServices.route = &route;
            mapServices.car = &mapCar;
        }
        map = add(new fdPageMap(&ui, mapServices));
        menu = add(new fdSearchMenuPage(&ui, "menuFind", s));
        find = add(new fdPageFindX(&ui, s));
        results = add(new fdPageFindResults(&ui, &messages, &bindings));
        history = add(new SearchHistoryPage(&ui, search, &messages, &bindings, [this] { return &styles(); }));
        filter = add(new fdPageFindFilterX(&ui, search, atlas.get(), &messages));
        streets = add(new fdPageStreetListX(&ui, &messages, &bindings));
        coords = add(new fdPageCoordsX(&ui, &messages));
        decimal = add(new fdPageCoordsAltX(&ui, &messages));
        info = add(new fdPagePOIInfoX(&ui, &messages, nullptr));
        ui.activatePage(ui.findPage("menuMain"));
        ui.goToPage(menu);
        ui.applyPendingChanges();
    }
    template <class P> P* add(P* page) {
        page->setRect(0, 0, 800, 480);
        if (engine.description.pages.count(page->name())) {
            EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        }
        return page;
    }
    // Taps the keys of the find page's keyboard that carry these letters.
    void type(const std::u16string& letters) {
        for (char16_t c : letters) {
            bool found = false;
            for (const auto& key : find->keyboard()->keys())
                if (key.caption == std::u16string(1, c) && key.widget) {
                    find->keyboard()->childClicked(key.widget->name());
                    found = true;
                    break;
                }
            EXPECT_TRUE(found) << char(c);
        }
    }
    // Taps a row of the results list as a finger does.
    void tapRow(Ui::fdPage* page, int row) {
        auto* list = dynamic_cast<Ui::fdList*>(page->findChild("list"));
        list->releaseClick = true;
        list->childClicked(std::to_string(row));
    }
    std::string active() const { return ui.activePage() ? ui.activePage()->name() : ""; }
    Render::RenderStyles& styles() { return renderer->styles(); }

    // SDL's timers run the interface's redraw timer (a blinking caret).
    UiTest::SdlScreen sdl;
    TestSupport::CaptureLogger quiet{Log::Critical};
    // The atlas outlives the pages (the filter page leaves its listeners
    // when it goes).
    Core::Config config;
    Core::ResourcesPool pool{10};
    TestSupport::TempDir home;
    std::unique_ptr<Map::KVAtlas> atlas;
    DesignEngine engine;
    AtlasRoute route;
    FakeCar mapCar;
    Ui::fdInterface ui{&engine, nullptr};
    Ui::KeyboardLayouts layouts;
    Messages messages;
    Ui::ButtonBindings bindings{config.root()};
    TextSearch::Engine* search = nullptr;
    WayPoints wayPoints;
    std::optional<Map::Point> car;
    MapCamera camera;
    std::unique_ptr<MapDrawing::fdMapRenderer> renderer;
    fdPageMap* map;
    fdSearchMenuPage* menu;
    fdPageFindX* find;
    fdPageFindResults* results;
    SearchHistoryPage* history;
    fdPageFindFilterX* filter;
    fdPageStreetListX* streets;
    fdPageCoordsX* coords;
    fdPageCoordsAltX* decimal;
    fdPagePOIInfoX* info;
};

} // namespace

TEST(SearchPages, StreetFromTheMenuToTheMapAndTheHistory) {
    Rig r;
    r.menu->childClicked("streets");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Street");
    ASSERT_NE(r.find->keyboard(), nullptr);
    std::u16string usable;
    for (const auto& key : r.find->keyboard()->keys())
        if (key.widget && key.widget->enabled() && key.caption.size() == 1) usable += key.caption;
    EXPECT_NE(usable.find(u'g'), std::u16string::npos) << Core::wideToUtf8(usable);
    r.type(u"grim");
    EXPECT_EQ(textOf(r.find, "enter_label"), u"grim");
    EXPECT_EQ(textOf(r.find, "counter_label"), u"5");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    ASSERT_EQ(r.results->results()->count(), 5);
    EXPECT_EQ(textOf(r.results, "index_label"), u"1/1");
    EXPECT_EQ(textOf(r.results->results()->list().rowWidget(2), "text"), u"Rue Grimaldi");
    r.tapRow(r.results, 2);
    EXPECT_EQ(r.active(), "pageMap");
    std::vector<TextSearch::ResultItem> found;
    std::vector<int> kinds;
    r.search->history().foundObjects(found, &kinds);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, u"Rue Grimaldi");
    EXPECT_EQ(kinds[0], TextSearch::StreetsKind);
}
// An address: a street with houses asks for the house; "back" returns to
// the street step with the street's callback; "OK" with nothing typed lists
// every house, with distances from the car, in name order.
TEST(SearchPages, AddressStreetThenHouseAndBack) {
    Rig r;
    r.car = Map::Point{88440000, 581280000};
    r.menu->childClicked("addr");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Address: street");
    r.type(u"papal");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    // The row of the street that has houses (the window test taps it too).
    int street = -1;
    for (const auto& row : r.results->results()->rows()) {
        ++street;
        if (r.search->hasHouses(std::get<0>(row.item.objects))) break;
    }
    ASSERT_EQ(street, 0);
    EXPECT_EQ(textOf(r.results->results()->list().rowWidget(0), "address"), u"Fontvieille");
    r.tapRow(r.results, street);
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Address: house number");
    EXPECT_EQ(r.search->kind(), TextSearch::HousesKind);
    // Back to the street step, then the same street again.
    r.find->childClicked("back");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Address: street")
        << "the address's step, not the menu's Streets";
    EXPECT_EQ(r.search->kind(), TextSearch::StreetsKind);
    r.type(u"papal");
    r.find->childClicked("ok");
    r.tapRow(r.results, street);
    ASSERT_EQ(r.search->kind(), TextSearch::HousesKind);
    EXPECT_TRUE(r.find->findChild("ok")->enabled()) << "every house is listed untyped";
    const std::u16string houses = textOf(r.find, "counter_label");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    const auto& rows = r.results->results()->rows();
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(houses, Core::utf8ToWide(std::to_string(rows.size()))) << "the count of the houses listed";
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_LE(rows[i - 1].item.text, rows[i].item.text);
        EXPECT_GE(rows[i].distance, 0);
    }
    EXPECT_FALSE(textOf(r.results->results()->list().rowWidget(0), "distance").empty());
    const std::u16string house = rows[0].item.text;
    r.tapRow(r.results, 0);
    EXPECT_EQ(r.active(), "pageMap");
    std::vector<TextSearch::ResultItem> found;
    std::vector<int> kinds;
    r.search->history().foundObjects(found, &kinds);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, house);
    EXPECT_EQ(kinds[0], TextSearch::HousesKind);
    EXPECT_TRUE(r.map->pendingNotices().empty());

    // A street the map has no house numbers of is the address itself: it
    // is shown, and the driver is told why no number was asked for.
    r.menu->childClicked("addr");
    r.type(u"prince");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    const auto& streets = r.results->results()->rows();
    const auto bare = std::find_if(streets.begin(), streets.end(), [&](const auto& row) {
        return !r.search->hasHouses(std::get<0>(row.item.objects));
    });
    ASSERT_NE(bare, streets.end());
    r.tapRow(r.results, static_cast<int>(bare - streets.begin()));
    EXPECT_EQ(r.active(), "pageMap");
    ASSERT_EQ(r.map->pendingNotices().size(), 1u);
    EXPECT_EQ(r.map->pendingNotices()[0],
              u"The map has no house numbers for this street: the street is shown.");
}

TEST(SearchPages, OverflowRefusedLettersAndOkOnlyAfterTyping) {
    // Five streets match "grim": a limit of five lists them, four refuses.
    for (const auto& [limit, listed] : {std::pair{5, true}, std::pair{4, false}}) {
        Rig r({"monaco.kvm"}, MIREL_MONACO_ATLAS_DIR, limit);
        r.menu->childClicked("streets");
        r.type(u"grim");
        r.find->childClicked("ok");
        EXPECT_EQ(r.active(), listed ? "pageResults" : "pageFind") << limit;
        Ui::fdWindowBase* box = r.find->findChild("mb");
        EXPECT_EQ(box != nullptr, !listed) << limit;
        if (box) {
            EXPECT_EQ(textOf(box, "msg_text"), u"Too many results: type a few more letters.");
            r.find->childClicked("mb");
            r.ui.applyPendingChanges();
            EXPECT_EQ(r.find->findChild("mb"), nullptr);
            EXPECT_EQ(textOf(r.find, "enter_label"), u"grim");
        }
    }
    Rig r;
    r.menu->childClicked("streets");
    r.type(u"grimz");
    // "z" matches nothing after "grim": refused, text and count unchanged.
    EXPECT_EQ(textOf(r.find, "enter_label"), u"grim");
    EXPECT_EQ(textOf(r.find, "counter_label"), u"5");
    r.find->childClicked("ok");
    r.results->childClicked("back");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_NE(r.find->callback(), nullptr);
    // Back from the results the typed text is kept, and "ok" lists it again.
    EXPECT_EQ(textOf(r.find, "enter_label"), u"grim");
    EXPECT_EQ(textOf(r.find, "counter_label"), u"5");
    r.find->childClicked("ok");
    EXPECT_EQ(r.active(), "pageResults");
    EXPECT_EQ(r.results->results()->count(), 5);
    r.results->childClicked("back");
    r.find->childClicked("back");
    EXPECT_EQ(r.active(), "menuFind");
    EXPECT_EQ(r.find->callback(), nullptr);
    EXPECT_EQ(textOf(r.find, "counter_label"), u"0");
}

// The count is the number of rows "ok" lists: a street held by several
// records of one place is one row, a waypoint of a type not chosen none;
// before typing, the places nearest the car include the driver's own.
TEST(SearchPages, TheCountIsTheRowsOkLists) {
    Rig r;
    r.menu->childClicked("streets");
    r.type(u"b");
    const std::uint32_t hits = r.search->count();
    const std::u16string count = textOf(r.find, "counter_label");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    const std::size_t rows = r.results->results()->rows().size();
    EXPECT_LT(rows, hits) << "some streets come in several records";
    EXPECT_EQ(count, Core::utf8ToWide(std::to_string(rows)));
    r.results->childClicked("back");
    r.find->childClicked("back");

    // Only the waypoints' own type chosen: no map place has it.
    r.car = Map::Point{88589776, 581288064};
    r.wayPoints.add(u"Cabane", WayPoint::DefaultType, {r.car->x, r.car->y + 13300}); // 90 m north
    r.wayPoints.add(u"Cave", 0x2F01, *r.car);                                        // fuel: not chosen
    r.find->preparePoiSearch({WayPoint::DefaultType});
    r.ui.goToPage(r.find);
    EXPECT_EQ(textOf(r.find, "counter_label"), u"1") << "the waypoint near the car";
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    ASSERT_EQ(r.results->results()->rows().size(), 1u);
    EXPECT_EQ(r.results->results()->rows()[0].item.text, u"Cabane");
    EXPECT_EQ(r.results->results()->rows()[0].distance, 90);
    r.results->childClicked("back");
    r.type(u"c");
    EXPECT_EQ(textOf(r.find, "counter_label"), u"1");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    EXPECT_EQ(r.results->results()->rows().size(), 1u);
}

TEST(SearchPages, DistancesAndPageLabels) {
    // 0.01 degree of latitude due north of the car.
    EXPECT_EQ(fdPageFindX::distanceMetres(43.0f, 7.0f, 43.01f, 7.0f), 1112);
    EXPECT_EQ(fdPageFindX::distanceMetres(43.0f, 7.0f, 43.0f, 7.0f), 0);
    struct Case {
        int first, rows, count;
        const char16_t* label;
    };
    for (const Case& c : {Case{0, 0, 7, u"1/1"}, Case{0, 5, 0, u""}, Case{0, 0, 0, u""}, Case{0, 5, 11, u"1/3"}, Case{5, 5, 11, u"2/3"},
                          Case{6, 5, 11, u"3/3"}, Case{10, 5, 11, u"3/3"}})
        EXPECT_EQ(fdPageFindResults::pageLabel(c.first, c.rows, c.count), c.label) << c.first << " " << c.rows;
}

TEST(SearchPages, PoiResultsComeNearestFirstAndHistoryPageReusesThem) {
    Rig r;
    r.car = Map::Point{88589776, 581288064}; // at the museum
    r.menu->childClicked("poi");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Place");
    r.type(u"mus");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    const auto& rows = r.results->results()->rows();
    ASSERT_GT(rows.size(), 2u);
    EXPECT_EQ(rows[0].item.text, u"Musée Océanographique");
    EXPECT_EQ(rows[0].distance, 0);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_LE(rows[i - 1].distance, rows[i].distance);
        if (rows[i - 1].distance == rows[i].distance) {
            EXPECT_LE(rows[i - 1].item.text, rows[i].item.text);
        }
    }
    const std::u16string poi = rows[1].item.text;
    r.tapRow(r.results, 1);
    // Rue Grimaldi (La Condamine) chosen from the search menu.
    const auto chooseStreet = [&r] {
        r.ui.goToPage(r.menu);
        r.menu->childClicked("streets");
        r.type(u"grim");
        r.find->childClicked("ok");
        r.tapRow(r.results, 2);
    };
    chooseStreet();
    // The history page: newest first; showing the older one again moves it
    // to the top; deleting removes the selected row.
    r.ui.goToPage(r.menu);
    r.menu->childClicked("history");
    ASSERT_EQ(r.active(), "pageFilterHistory");
    auto* list = dynamic_cast<Ui::fdList*>(r.history->findChild("list"));
    // A row names its place too: Monaco has three "Rue Grimaldi".
    EXPECT_EQ(textOf(list->rowWidget(0), "text"), u"Rue Grimaldi, La Condamine");
    EXPECT_EQ(r.history->model()->selectedIndex(), 0);
    r.tapRow(r.history, 1);
    r.history->childClicked("button_ok");
    EXPECT_EQ(r.active(), "pageMap");
    r.ui.goToPage(r.menu);
    r.menu->childClicked("history");
    EXPECT_EQ(textOf(list->rowWidget(0), "text"), poi + u", Jardin Exotique");
    std::vector<TextSearch::ResultItem> found;
    std::vector<int> kinds;
    r.search->history().foundObjects(found, &kinds);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(kinds, (std::vector<int>{TextSearch::PoisKind, TextSearch::StreetsKind}));
    EXPECT_EQ(r.search->history().objectRing().back().useCount, 2u);
    // Shown again from the reopened list, the place keeps its kind.
    r.history->childClicked("button_ok");
    r.ui.goToPage(r.menu);
    r.menu->childClicked("history");
    found.clear();
    kinds.clear();
    r.search->history().foundObjects(found, &kinds);
    EXPECT_EQ(kinds, (std::vector<int>{TextSearch::PoisKind, TextSearch::StreetsKind}));
    r.history->childClicked("button_delete");
    EXPECT_EQ(r.history->model()->count(), 1);
    EXPECT_EQ(textOf(list->rowWidget(0), "text"), u"Rue Grimaldi, La Condamine");
    EXPECT_FALSE(r.history->findChild("empty_notice")->visible());
    r.history->childClicked("button_delete");
    EXPECT_EQ(r.history->model()->count(), 0);
    EXPECT_EQ(r.history->model()->selectedIndex(), -1);
    r.history->childClicked("button_ok");
    r.history->childClicked("button_delete");
    EXPECT_EQ(r.active(), "pageFilterHistory");
    // Empty, the page says what comes here, and "Show" and "Delete" look
    // dead; the filters' list says it of the search areas.
    for (const auto& [filters, message] : {std::pair{false, "history_none"}, {true, "filter_history_none"}}) {
        if (filters) r.history->showFilters(nullptr);
        EXPECT_EQ(noticeOf(r.history), r.messages.text(message)) << message;
        EXPECT_FALSE(r.history->findChild("list")->visible());
        for (const char* button : {"button_ok", "button_delete"})
            EXPECT_FALSE(r.history->findChild(button)->enabled()) << button;
    }
    r.history->showFoundObjects();
    chooseStreet();
    r.ui.goToPage(r.menu);
    r.menu->childClicked("history");
    EXPECT_FALSE(r.history->findChild("empty_notice")->visible());
    EXPECT_TRUE(r.history->findChild("list")->visible());
    for (const char* button : {"button_ok", "button_delete"})
        EXPECT_TRUE(r.history->findChild(button)->enabled()) << button;
}

TEST(SearchPages, PoiSearchNarrowedByTheTypeChooser) {
    Rig r;
    constexpr std::uint16_t museum = 0x2C02, fuel = 0x2F01;
    Render::RenderStyles styles;
    for (const auto& [type, group, name] : {std::tuple{museum, 0x2C00, u"Museum"}, std::tuple{fuel, 0x2F00, u"Fuel"}}) {
        Render::PoiStyle style;
        style.groupId = std::uint16_t(group);
        style.name = name;
        styles.daySet().poiStyles[type] = style;
    }
    auto* chooser = r.add(new SelectPoiTypesPage(&r.ui, &styles, &r.bindings));
    r.car = Map::Point{88589776, 581288064};
    r.menu->childClicked("poi");
    ASSERT_EQ(r.active(), "select_poi_types");
    EXPECT_TRUE(dynamic_cast<Ui::fdCheckedButton*>(chooser->findChild("select_all_check"))->checked());
    chooser->childClicked("button_ok");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Place");
    r.type(u"mus");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    ASSERT_FALSE(r.results->results()->rows().empty());
    EXPECT_EQ(r.results->results()->rows()[0].item.text, u"Musée Océanographique");

    // Back through the results and the find page to the chooser, which
    // keeps its checks; narrowed to fuel the museum is no longer found.
    r.results->childClicked("back");
    r.find->childClicked("back");
    ASSERT_EQ(r.active(), "select_poi_types");
    struct FuelOnly : Ui::PoiTypesGroupsMultiSelectList::CheckPredicate {
        bool isChecked(std::uint16_t, std::uint16_t type) const override { return type == 0x2F01; }
    };
    EXPECT_FALSE(chooser->model()->updateGroupChecks(FuelOnly()));
    chooser->childClicked("button_ok");
    ASSERT_EQ(r.active(), "pageFind");
    r.type(u"mus");
    r.find->childClicked("ok");
    for (const auto& row : r.results->results()->rows())
        EXPECT_NE(row.item.text, u"Musée Océanographique");

    // Nothing checked: "ok" leaves the chooser for the menu and no search starts.
    r.ui.goToPage(r.menu);
    r.menu->childClicked("poi");
    auto* all = dynamic_cast<Ui::fdCheckedButton*>(chooser->findChild("select_all_check"));
    EXPECT_TRUE(all->checked()) << "a new POI search starts with every type";
    dynamic_cast<Ui::fdCheckedButton*>(chooser->findChild("select_all_check"))->setChecked(false);
    chooser->childClicked("select_all_check");
    chooser->childClicked("button_ok");
    EXPECT_EQ(r.active(), "menuFind");
}

namespace {

Rig demoRig() { return Rig({"demo-country.kvm", "demo-region.kvm", "demo-town.kvm"}, MIREL_DEMO_ATLAS_DIR); }

std::vector<std::u16string> filterLabels(fdPageFindFilterX* page) {
    return {textOf(page, "country_label"), textOf(page, "region_label"), textOf(page, "neigh_label"),
            textOf(page, "city_label")};
}

// Picks a level on the filter page, types the letters and taps the result
// row whose detail text is given (the first row without one).
void pick(Rig& r, const char* level, const std::u16string& letters, const std::u16string& detail = {}) {
    r.filter->childClicked(level);
    ASSERT_EQ(r.active(), "pageFind");
    r.type(letters);
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    int row = 0;
    const auto& rows = r.results->results()->rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].item.detail == detail) row = static_cast<int>(i);
    r.tapRow(r.results, row);
}

} // namespace

TEST(SearchPages, FilterLevelsChainHistoryAndClear) {
    Rig r = demoRig();
    r.ui.goToPage(r.filter);
    const std::vector<std::u16string> prompts{u"Any country", u"Any region", u"Any district", u"Any city"};
    EXPECT_EQ(filterLabels(r.filter), prompts);
    pick(r, "country", u"dem");
    ASSERT_EQ(r.active(), "menuFilter");
    EXPECT_EQ(filterLabels(r.filter), (std::vector<std::u16string>{u"Demoland", u"Any region", u"Any district", u"Any city"}));
    // Cities inside the country; the chain keeps the country.
    pick(r, "city", u"lin", u"Linden District, Westshire, Demoland");
    EXPECT_EQ(r.filter->currentFilter().level, 4u);
    EXPECT_EQ(filterLabels(r.filter),
              (std::vector<std::u16string>{u"Demoland", u"Westshire", u"Linden District", u"Linden"}));
    EXPECT_EQ(r.filter->chain()->size(), 2u);
    // A region or a district under the country picked before: the city
    // leaves the chain.
    for (const auto& [button, kind] :
         {std::pair{"region", TextSearch::RegionsKind}, {"neigh", TextSearch::DistrictsKind}}) {
        r.filter->childClicked(button);
        EXPECT_EQ(r.active(), "pageFind") << button;
        EXPECT_EQ(r.search->kind(), kind) << button;
        EXPECT_EQ(r.search->filterLevel(), 1u) << button;
        r.find->childClicked("back");
    }
    pick(r, "region", u"wes");
    ASSERT_EQ(r.filter->chain()->size(), 2u);
    EXPECT_EQ(r.filter->chain()->back().level, 2u);
    EXPECT_EQ(filterLabels(r.filter), (std::vector<std::u16string>{u"Demoland", u"Westshire", u"Any district", u"Any city"}));

    // The filter history: newest first; leaving it changes nothing.
    const std::size_t entries = r.search->history().filterRing().size();
    r.filter->childClicked("history");
    ASSERT_EQ(r.active(), "pageFilterHistory");
    auto* list = dynamic_cast<Ui::fdList*>(r.history->findChild("list"));
    EXPECT_EQ(textOf(list->rowWidget(0), "text"), u"Westshire");
    EXPECT_EQ(textOf(list->rowWidget(2), "text"), u"Demoland");
    r.history->childClicked("back");
    EXPECT_EQ(r.active(), "menuFilter");
    EXPECT_EQ(r.search->history().filterRing().size(), entries);
    // Deleting the newest there and leaving puts the opened filter back.
    r.filter->childClicked("history");
    r.history->childClicked("button_delete");
    EXPECT_EQ(r.search->history().filterRing().size(), entries - 1);
    r.history->childClicked("back");
    EXPECT_EQ(r.search->history().filterRing().size(), entries);
    EXPECT_EQ(r.filter->currentFilter().level, 2u);
    EXPECT_EQ(textOf(r.filter, "region_label"), u"Westshire");
    // Keys page the list; Escape leaves it as "back" does.
    r.filter->childClicked("history");
    r.history->childClicked("button_delete");
    EXPECT_TRUE(r.ui.keyDown(SDLK_DOWN));
    EXPECT_EQ(r.active(), "pageFilterHistory");
    EXPECT_TRUE(r.ui.keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.active(), "menuFilter");
    EXPECT_EQ(r.search->history().filterRing().size(), entries);
    // An older filter chosen there becomes the newest and empties the chain.
    r.filter->childClicked("history");
    r.tapRow(r.history, 2);
    r.history->childClicked("button_ok");
    EXPECT_EQ(r.active(), "menuFilter");
    EXPECT_TRUE(r.filter->chain()->empty());
    EXPECT_EQ(r.filter->currentFilter().level, 1u);
    // Clearing, however often, adds one entry and shows the prompts.
    for (int i = 0; i < 3; ++i)
        r.filter->childClicked("clear");
    EXPECT_EQ(r.search->history().filterRing().size(), entries + 1);
    EXPECT_EQ(filterLabels(r.filter), prompts);
    EXPECT_EQ(r.filter->currentFilter().level, 0u);
    // "ok" without a city only goes back.
    r.filter->childClicked("ok");
    EXPECT_EQ(r.active(), "menuFind");
}

TEST(SearchPages, FilterLiftingAndAtlasChange) {
    Rig r = demoRig();
    using F = fdPageFindFilterX::Filter;
    // Linden is record 4 of every map: only a country in map 0, region and
    // country in map 1, district, region and country in map 2.
    struct Case {
        F filter;
        std::uint32_t level;
        std::size_t objects;
    };
    const Case cases[] = {
        {F{4, {{2, 4}}}, 3, 1},         {F{4, {{1, 4}}}, 2, 1}, {F{4, {{1, 4}, {2, 4}}}, 2, 2},
        {F{4, {{0, 4}}}, 1, 1},         {F{4, {{0, 4}, {2, 4}}}, 1, 2}, {F{1, {{0, 4}}}, 0, 0},
        {F{4, {{7, 4}}}, 0, 0},         {F{4, {{2, 99999}}}, 0, 0},
    };
    for (const Case& c : cases) {
        const F lifted = r.filter->lift(c.filter);
        EXPECT_EQ(lifted.level, c.level) << c.filter.objects.size();
        EXPECT_EQ(lifted.objects.size(), c.objects);
    }
    // Twice from the district: its region, then its country.
    const F region = r.filter->lift(r.filter->lift(F{4, {{2, 4}}}));
    EXPECT_EQ(region.level, 2u);
    EXPECT_EQ(r.filter->lift(region).level, 1u);
    // A new atlas forgets the chain, not the history.
    fdPageFindFilterX::setLevel(*r.search, *r.filter->chain(), 4, {{2, 4}});
    r.filter->onAtlasChanged();
    EXPECT_TRUE(r.filter->chain()->empty());
    EXPECT_EQ(r.filter->currentFilter().level, 4u);
}

TEST(SearchPages, CoordinatesTypedConvertedAndRefused) {
    Rig r;
    r.ui.goToPage(r.coords);
    auto press = [&](Ui::fdPage* page, std::initializer_list<const char*> commands) {
        for (const char* c : commands)
            page->childClicked(c);
    };
    press(r.coords, {"lat_min_box", "key5"});
    EXPECT_EQ(r.coords->values[1], 5);
    press(r.coords, {"key9"});
    EXPECT_EQ(r.coords->values[1], 59);
    press(r.coords, {"key3"});
    EXPECT_EQ(r.coords->values[1], 3);
    EXPECT_EQ(textOf(r.coords, "lat_min_label"), u"3'");
    press(r.coords, {"lat_sec_box", "key1", "key0"});
    EXPECT_EQ(r.coords->values[2], 10);
    press(r.coords, {"key0", "keyx", "key", "key12"});
    EXPECT_EQ(r.coords->values[2], 0);
    // 43°43'54"N 7°25'28"E, the harbour of Monaco.
    press(r.coords, {"lat_deg_box", "key4", "key3", "lat_min_box", "key4", "key3", "lat_sec_box", "key5", "key4",
                     "lon_deg_box", "key7", "lon_min_box", "key2", "key5", "lon_sec_box", "key2", "key8"});
    EXPECT_EQ(textOf(r.coords, "lat_deg_label"), u"N 43\u00B0");
    EXPECT_EQ(textOf(r.coords, "lon_deg_label"), u"E 7\u00B0");
    EXPECT_EQ(textOf(r.coords, "lon_min_label"), u"25'");
    EXPECT_EQ(textOf(r.coords, "lon_sec_label"), u"28\"");
    const auto harbour = r.coords->position();
    ASSERT_TRUE(harbour);
    r.search->search(TextSearch::StreetsKind, 0, {});
    for (char16_t c : std::u16string(u"antoine"))
        r.search->addKey(std::u16string(1, c));
    std::vector<TextSearch::ResultItem> quay;
    r.search->collectResults(quay);
    std::erase_if(quay, [](const TextSearch::ResultItem& row) { return row.text != u"Quai Antoine 1er"; });
    ASSERT_FALSE(quay.empty());
    const Map::GeoPoint at = Map::Projection::toGeo(quay[0].point);
    EXPECT_LT(fdPageFindX::distanceMetres(harbour->latitude, harbour->longitude, at.latitude, at.longitude), 400);
    r.coords->childClicked("ok");
    EXPECT_EQ(r.active(), "pageMap");
    // South: 55°30'00" becomes -55.5; beyond 90 degrees nothing is shown.
    r.ui.goToPage(r.coords);
    r.coords->values = {55, 30, 0, 0, 0, 0};
    r.coords->childClicked("keyLat");
    EXPECT_FLOAT_EQ(r.coords->position()->latitude, -55.5f);
    EXPECT_EQ(textOf(r.coords, "lat_deg_label"), u"S 55\u00B0");
    r.coords->values[0] = 95;
    r.coords->childClicked("ok");
    EXPECT_EQ(r.active(), "pageSearchCoords");
    ASSERT_NE(r.coords->findChild("mb"), nullptr);
    r.coords->childClicked("mb");

    // Decimal degrees.
    r.coords->childClicked("switch");
    ASSERT_EQ(r.active(), "pageSearchCoordsAlt");
    press(r.decimal, {"lon_box", "key1", "key8", "key0"});
    EXPECT_EQ(r.decimal->longitude.degrees, 18);
    press(r.decimal, {"lat_box", "key9", "key5"});
    EXPECT_EQ(r.decimal->latitude.degrees, 9);
    press(r.decimal, {"bs", "key1", "key2", "dot", "dot", "key5"});
    EXPECT_EQ(textOf(r.decimal, "lat_label"), u"N 12.5\u00B0");
    const char16_t* afterBackspace[] = {u"N 12.\u00B0", u"N 12\u00B0", u"N 1\u00B0"};
    for (const char16_t* label : afterBackspace) {
        r.decimal->childClicked("bs");
        EXPECT_EQ(textOf(r.decimal, "lat_label"), label);
    }
    press(r.decimal, {"dot", "key0", "key0", "key0", "key0", "key0", "key1", "key9"});
    EXPECT_EQ(textOf(r.decimal, "lat_label"), u"N 1.000001\u00B0");
    r.decimal->childClicked("keyLon");
    EXPECT_FLOAT_EQ(r.decimal->position()->longitude, -18.0f);
}

// Each box stays below its bound: leading digits are dropped until the
// value fits, so 90 and 180 degrees typed become 0 and 80. The keyboard's
// digit keys (main row and keypad) type as the page's keys do.
TEST(SearchPages, CoordinateDigitsStayBelowTheirBounds) {
    Rig r;
    r.ui.goToPage(r.coords);
    struct Row {
        const char* box;
        const char* digits;
        std::size_t index;
        std::int32_t value;
    };
    const Row rows[] = {
        {"lat_deg_box", "89", 0, 89}, {"lat_deg_box", "90", 0, 0},   {"lat_deg_box", "91", 0, 1},
        {"lat_deg_box", "899", 0, 9}, {"lon_deg_box", "179", 3, 179}, {"lon_deg_box", "180", 3, 80},
        {"lon_deg_box", "181", 3, 81}, {"lat_min_box", "59", 1, 59}, {"lat_min_box", "60", 1, 0},
        {"lon_sec_box", "61", 5, 1},
    };
    bool keypad = false;
    for (const Row& row : rows) {
        r.coords->values = {};
        r.coords->childClicked(row.box);
        for (const char* d = row.digits; *d; ++d) {
            EXPECT_TRUE(r.coords->keyDown((keypad ? SDLK_KP0 : SDLK_0) + (*d - '0')));
            keypad = !keypad;
        }
        EXPECT_EQ(r.coords->values[row.index], row.value) << row.box << " " << row.digits;
    }
    EXPECT_EQ(textOf(r.coords, "lon_sec_label"), u"1\"");
    EXPECT_FALSE(r.coords->keyDown(SDLK_a));
    // Set whole, a pole or the date line is on the globe; a degree more is not.
    struct Bound {
        std::array<std::int32_t, 6> values;
        bool shown;
    };
    for (const Bound& b : {Bound{{90, 0, 0, 180, 0, 0}, true}, Bound{{91, 0, 0, 0, 0, 0}, false},
                           Bound{{0, 0, 0, 181, 0, 0}, false}, Bound{{90, 0, 1, 0, 0, 0}, false}}) {
        r.coords->values = b.values;
        EXPECT_EQ(r.coords->position().has_value(), b.shown) << b.values[0] << " " << b.values[3];
    }

    // The decimal page takes the point and the backspace from the keyboard.
    r.coords->childClicked("switch");
    ASSERT_EQ(r.active(), "pageSearchCoordsAlt");
    for (int key : {SDLK_4, SDLK_KP3, SDLK_PERIOD, SDLK_7, SDLK_KP_PERIOD, SDLK_3, SDLK_5, SDLK_6, SDLK_BACKSPACE})
        EXPECT_TRUE(r.decimal->keyDown(key)) << key;
    EXPECT_EQ(textOf(r.decimal, "lat_label"), u"N 43.735\u00B0");
}

// The search menu opens the coordinate format the driver chose last.
TEST(SearchPages, CoordinatesOpenInTheChosenFormat) {
    Rig r;
    const std::pair<const char*, const char*> steps[] = {
        {nullptr, "pageSearchCoords"},
        {"switch", "pageSearchCoordsAlt"},
        {"back", "pageSearchCoordsAlt"},
        {"switch", "pageSearchCoords"},
    };
    for (const auto& [command, opened] : steps) {
        if (command) {
            dynamic_cast<CoordsPageBase*>(r.ui.activePage())->childClicked(command);
            r.ui.applyPendingChanges();
        }
        r.ui.goToPage(r.menu);
        r.menu->childClicked("coords");
        r.ui.applyPendingChanges();
        EXPECT_EQ(r.active(), opened) << (command ? command : "");
    }
}

TEST(SearchPages, PoiInformationAndStreetList) {
    Rig r;
    struct Danger {
        std::uint32_t view, direction, speed;
        const char16_t* comment;
    };
    const Danger dangers[] = {
        {0, 0, 139, u"круговой обзор, 50 km/h"},
        {1, 45, 0, u"односторонний обзор, 45°"},
        {2, 270, 14, u"двухсторонний обзор, 270°, 5 km/h"},
        {3, 10, 0, u"круговой обзор"},
    };
    for (const Danger& d : dangers) {
        Map::Proximity::Point point;
        point.packed = Map::Proximity::Point::pack(1, d.speed, d.view, d.direction);
        EXPECT_EQ(r.info->dangerComment(point), d.comment);
    }
    Map::Proximity::Point camera{10, 20, 0, 0, Map::Proximity::Point::pack(2, 139, 0, 0)};
    r.info->fillDangerPoint(camera);
    EXPECT_EQ(textOf(r.info, "text_comment"), u"круговой обзор, 50 km/h");
    EXPECT_EQ(textOf(r.info, "text_phone"), u"not known");
    // No name and no style: the no-data text as the name.
    fdPagePOIInfoX::MapObject object;
    object.address[1] = u"Monaco-Ville";
    object.address[2] = u"98000";
    object.phone = u"+377 93 15 36 00";
    object.point = {88589776, 581288064};
    r.info->fillMapObject(object);
    EXPECT_EQ(textOf(r.info, "text_name"), u"not known");
    EXPECT_EQ(textOf(r.info, "text_address"), u"Monaco-Ville 98000");
    EXPECT_EQ(textOf(r.info, "text_phone"), u"+377 93 15 36 00");
    EXPECT_EQ(r.info->point(), object.point);
    // "not known" looks alike on every row (as the web button without an
    // address shows it), a value in the row's own colour.
    const Ui::ColourPair noData = dynamic_cast<Ui::fdButtonX*>(r.info->findChild("url_button"))->look(2).colours;
    const Ui::ColourPair value = *Ui::parseTextColor("#FFFFFF/#ECEFF1");
    ASSERT_NE(noData, value);
    for (const auto& [name, colours] : {std::pair{"text_name", noData}, {"text_address", value},
                                        {"text_phone", value}, {"text_mail", noData}, {"text_comment", noData}})
        EXPECT_EQ(r.info->findChild(name)->textColors(), colours) << name;
    object.comment = u"Closed on Mondays";
    object.mail = u"info@example.mc";
    r.info->fillMapObject(object);
    for (const char* name : {"text_mail", "text_comment"})
        EXPECT_EQ(r.info->findChild(name)->textColors(), value) << name;
    object.comment.clear();
    object.mail.clear();
    // A web button without an address leads nowhere and is drawn disabled;
    // with one it is enabled.
    EXPECT_FALSE(r.info->findChild("url_button")->enabled());
    object.web = u"https://www.visitmonaco.com/";
    r.info->fillMapObject(object);
    EXPECT_TRUE(r.info->findChild("url_button")->enabled());
    r.info->fillDangerPoint(camera);
    EXPECT_FALSE(r.info->findChild("url_button")->enabled());
    r.info->fillMapObject(object);
    r.ui.goToPage(r.info);
    r.info->fillFrom(MapPointFind{}, nullptr);
    EXPECT_FALSE(r.info->hasObject);
    r.info->childClicked("to");
    EXPECT_EQ(r.active(), "pagePOIInfo");
    r.info->fillMapObject(object);
    r.info->childClicked("to");
    EXPECT_EQ(r.active(), "pageMap");

    // A type's 20 x 20 icon shows four times its size, each of its pixels
    // an equal square, in the middle of the 96 x 96 place.
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 20, 20, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            SDL_Rect px{Sint16(x), Sint16(y), 1, 1};
            SDL_FillRect(picture, &px, SDL_MapRGB(picture->format, Uint8(x * 12), Uint8(y * 12), 0x80));
        }
    Render::ImageFromSurface icon(picture);
    Render::RenderStyles styles;
    Render::PoiStyle museum;
    museum.name = u"Museum";
    museum.icon = &icon;
    styles.daySet().poiStyles[0x2C02] = museum;
    styles.selectSet(true);
    auto* typed = r.add(new fdPagePOIInfoX(&r.ui, &r.messages, &styles));
    object.type = 0x2C02;
    typed->fillMapObject(object);
    const Ui::WindowRect place = typed->findChild("poi_img")->rect();
    ASSERT_EQ(place, (Ui::WindowRect{16, 80, 96, 96}));
    SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
    typed->draw(screen, scratch, true);
    int wrong = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            wrong += UiTest::rgbAt(screen, 24 + x, 88 + y) != UiTest::rgbAt(picture, x / 4, y / 4);
    EXPECT_EQ(wrong, 0);
    r.ui.removeChild(typed);
    delete typed;
    SDL_FreeSurface(screen);
    SDL_FreeSurface(picture);

    // The street list: name and exact length; a tap shows the run's start.
    r.ui.goToPage(r.streets);
    r.streets->setStreets({{u"Boulevard Albert 1er", {1, 2}, 1234}, {u"Quai Antoine 1er", {3, 4}, 56}});
    auto* list = dynamic_cast<Ui::fdList*>(r.streets->findChild("list"));
    EXPECT_EQ(textOf(list->rowWidget(0), "text"), u"Boulevard Albert 1er 1.234 km");
    EXPECT_EQ(textOf(list->rowWidget(1), "text"), u"Quai Antoine 1er 56 m");
    EXPECT_FALSE(r.streets->findChild("down")->enabled());
    EXPECT_TRUE(r.streets->keyDown(SDLK_UP));
    EXPECT_TRUE(r.streets->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.active(), "pageStreetList");
    list->releaseClick = false;
    list->childClicked("1");
    EXPECT_EQ(r.active(), "pageStreetList");
    r.tapRow(r.streets, 1);
    EXPECT_EQ(r.active(), "pageMap");
}

TEST(SearchPages, FindPageTitleNamesWhatIsSought) {
    Rig r;
    const std::pair<int, const char16_t*> titles[] = {
        {TextSearch::CountriesKind, u"Country"}, {TextSearch::RegionsKind, u"Region"},
        {TextSearch::DistrictsKind, u"District"}, {TextSearch::CitiesKind, u"City"},
        {TextSearch::StreetsKind, u"Street"},     {TextSearch::PoisKind, u"Place"},
        {TextSearch::HousesKind, u"Address: house number"},
        {0, u"Address: house number"}, // unknown: the title stays
    };
    for (const auto& [kind, title] : titles) {
        r.find->setTitleForKind(kind);
        EXPECT_EQ(textOf(r.find, "page_name"), title) << kind;
    }
}

namespace {

// Metres per 40 pixels at the map page's camera, as the map's scale ruler
// reckons them.
float metresPer40(const Rig& r) {
    const double latitude = Map::Projection::toGeo(r.camera.centre()).latitude * 3.14159265358979323846 / 180.0;
    return static_cast<float>(std::cos(latitude) * 0.00932028517127037 * 40.0 / r.camera.scale());
}

// The screen row a point of the map is drawn at (north up; in 3D only the
// view's centre, at the anchor), and what covers a marker there, 16 pixels
// around its point: the pop-up's buttons or the top box.
int shownRow(const Rig& r, Map::Point point) {
    const float anchor = 480.0f * (1.0f - r.camera.anchorFraction());
    return static_cast<int>(std::lround(anchor - float(point.y - r.camera.centre().y) * r.camera.scale()));
}
std::string coverOf(Rig& r, Map::Point point) {
    const int x = 400, y = shownRow(r, point), reach = 16;
    for (const char* box : {"upper_box", "upper_box_turn"})
        if (const Ui::fdWindowBase* w = r.map->findChild(box); w && y - reach < w->rect().y + w->rect().h)
            return box;
    for (const char* group : {"edit_point", "path_start", "path_continue"}) {
        const Ui::fdWindowBase* g = r.map->findChild(group);
        if (!g || !g->visible()) continue;
        for (const Ui::fdWindowBase* button : g->children()) {
            const Ui::WindowRect& b = button->rect();
            if (button->visible() && x + reach > b.x && x - reach < b.x + b.w && y + reach > b.y &&
                y - reach < b.y + b.h)
                return std::string(group) + "/" + button->name();
        }
    }
    return "";
}

// Chooses the row of that name on the results page; false without one.
bool chooseRow(Rig& r, const std::u16string& name, TextSearch::ResultItem* chosen = nullptr) {
    const auto& rows = r.results->results()->rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].item.text == name) {
            if (chosen) *chosen = rows[i].item;
            r.tapRow(r.results, static_cast<int>(i));
            return true;
        }
    return false;
}

// The letters lit on the find page's keyboard, " " for the space key.
std::u16string litKeys(Rig& r) {
    std::u16string lit;
    for (const auto& key : r.find->keyboard()->keys())
        if (key.widget && key.widget->visible() && key.widget->enabled()) {
            if (key.caption == u"[spc]")
                lit += u' ';
            else if (key.caption.size() == 1)
                lit += key.caption;
        }
    return lit;
}

} // namespace

// The car drawn low (at 1/4 of the height, where the pop-up opens) or at
// 1/3: a place chosen among the results stands where its pop-up leaves its
// marker in view, in 2D and in 3D (the view's anchor at the middle); at 1/2
// the anchor is clear already.
TEST(SearchPages, AChosenPlaceIsNotCoveredByItsPopup) {
    for (const auto& [proportion, pitched] : {std::pair{4, false}, {3, false}, {2, false}, {4, true}}) {
        SCOPED_TRACE(testing::Message() << proportion << (pitched ? " in 3D" : ""));
        Rig r;
        r.renderer->setProportion(proportion);
        r.camera.setAnchorFraction(MapCamera::anchorFractionFor(proportion));
        r.camera.setMode(pitched ? 1 : 0);
        r.atlas->view().zoomStep = 1; // the demo's pitch, steeper near the ground
        r.car = Map::Point{88589776, 581288064};
        std::make_shared<SelectPoiTypesForPoiSearchCallback>(r.search, &r.ui)->result({0x2E05});
        r.type(u"pha");
        r.find->childClicked("ok");
        ASSERT_GT(r.results->results()->count(), 0);
        const TextSearch::ResultItem pharmacy = r.results->results()->rows().at(0).item;
        r.tapRow(r.results, 0);
        ASSERT_EQ(r.active(), "pageMap");
        EXPECT_EQ(coverOf(r, pharmacy.point), "");
        if (proportion == 2) {
            EXPECT_EQ(r.camera.centre(), pharmacy.point);
        }

        r.ui.goToPage(r.menu);
        r.menu->childClicked("streets");
        r.type(u"bono");
        r.find->childClicked("ok");
        TextSearch::ResultItem street;
        ASSERT_TRUE(chooseRow(r, u"Rue Jean Bono", &street));
        EXPECT_EQ(coverOf(r, street.point), "");
        // Lifted, the anchor stays at the middle, where zooming leaves the
        // place, until the map follows the car again.
        if (proportion == 4) {
            EXPECT_EQ(r.camera.centre(), street.point);
            EXPECT_EQ(r.camera.anchorFraction(), 0.5f);
            dynamic_cast<Ui::TemplateWindow*>(r.map->findChild("rotate_camera"))->childClicked("follow_gps");
            r.map->tick(1000);
            EXPECT_EQ(r.camera.anchorFraction(), 0.25f);
        }
    }
}

// A typed position is shown as itself whatever the zoom: centred in the
// middle of the height, its marker on it, its pop-up waiting with the
// point's own commands (no "Info" or "Delete" of what lies around it), the
// top box naming the position; an open map menu does not keep it out.
TEST(SearchPages, ATypedPositionIsShownAsItselfAtEveryZoom) {
    struct Case {
        float metres;
        int proportion;
        bool menuOpen;
    };
    for (const Case& c : {Case{300, 4, true}, Case{300, 3, false}, Case{1000, 4, false}, Case{20000, 3, false},
                          Case{20000, 4, false}}) {
        SCOPED_TRACE(testing::Message() << c.metres << " m at 1/" << c.proportion);
        Rig r;
        r.renderer->setProportion(c.proportion);
        r.camera.setAnchorFraction(MapCamera::anchorFractionFor(c.proportion));
        r.camera.setCentre(Map::Projection::fromGeo(43.74f, 7.43f));
        r.camera.setScale(static_cast<float>(std::cos(43.7356 * 3.14159265358979323846 / 180.0) * 0.00932028517127037 *
                                             40.0 / c.metres));
        if (c.menuOpen) {
            r.ui.goToPage(r.map);
            r.map->childClicked("submenu");
            ASSERT_TRUE(r.map->menu()->isOpen());
        }
        r.ui.goToPage(r.decimal);
        for (const char* command : {"lat_box", "key4", "key3", "dot", "key7", "key3", "key5", "key6", "key4", "key3",
                                    "lon_box", "key7", "dot", "key4", "key2", "key2", "key7", "key4", "key2"})
            r.decimal->childClicked(command);
        const Map::GeoPoint geo = *r.decimal->position();
        const Map::Point point = Map::Projection::fromGeo(geo.latitude, geo.longitude);
        r.decimal->childClicked("ok");
        ASSERT_EQ(r.active(), "pageMap");
        EXPECT_EQ(r.camera.centre(), point);
        EXPECT_EQ(shownRow(r, point), 240);
        EXPECT_EQ(r.map->markerPoint(), std::optional<Map::Point>(point));
        EXPECT_EQ(coverOf(r, point), "");
        EXPECT_FALSE(r.map->menu()->isOpen());
        EXPECT_TRUE(r.map->findChild("path_start")->visible());
        Ui::fdWindowBase* own = r.map->findChild("edit_point");
        ASSERT_TRUE(own->visible());
        std::string offered;
        for (const Ui::fdWindowBase* button : own->children())
            if (button->visible()) offered += button->name() + " ";
        EXPECT_EQ(offered, "set coords ");
        EXPECT_EQ(r.map->tappedFind().kind, MapPointFind::Kind::Nothing);
        EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"N 43.735643\u00B0 E 7.422742\u00B0");
        // The pop-up waits for the driver.
        r.map->tick(r.ui.now() + 60000);
        EXPECT_TRUE(r.map->findChild("path_start")->visible());
    }
}

// A chosen result is shown under its own name and address in the map's top
// box, centred and zoomed to it: a street or city so that its extent fills
// the room around the map's centre, a house or POI at street level. Nothing
// is looked up around its point (that is what a tap does: the nearest POI
// would name the street).
TEST(SearchPages, ChosenResultsAreNamedAndZoomedOnTheMap) {
    const float room = 0.9f * 480.0f / 3.0f;
    struct Case {
        const char* command;
        std::u16string letters, name, detail;
        int kind;
    };
    for (const Case& c : {Case{"streets", u"moul", u"Boulevard des Moulins", u"", TextSearch::StreetsKind},
                          Case{"cities", u"moneg", u"Les Monegetti", u"", TextSearch::CitiesKind},
                          Case{"streets", u"grim", u"Rue Grimaldi", u"", TextSearch::StreetsKind}}) {
        Rig r;
        r.camera.setScale(1e-4f);
        r.menu->childClicked(c.command);
        r.type(c.letters);
        r.find->childClicked("ok");
        ASSERT_EQ(r.active(), "pageResults");
        TextSearch::ResultItem item;
        ASSERT_TRUE(chooseRow(r, c.name, &item)) << Core::wideToUtf8(c.name);
        ASSERT_EQ(r.active(), "pageMap");
        EXPECT_EQ(textOf(r.map, "upper_box_turn"), c.name);
        EXPECT_EQ(textOf(r.map, "upper_box"), item.detail);
        EXPECT_EQ(r.camera.centre(), item.point);
        EXPECT_FALSE(r.map->followGps());
        EXPECT_EQ(r.map->tappedFind().kind, MapPointFind::Kind::Nothing) << "no POI looked up for a street";
        // The extent the map gives the object fills the room, unless that
        // would come closer than street level.
        const auto& ref = std::get<0>(item.objects).front();
        Map::KvMap& map = *r.search->maps().at(ref.map);
        std::uint32_t extent = 0;
        if (c.kind == TextSearch::CitiesKind) {
            Map::File::CityRecord city;
            ASSERT_TRUE(map.addressReader().readCity(ref.offset, city));
            extent = city.extent;
        } else {
            Map::File::StreetRecord street;
            ASSERT_TRUE(map.addressReader().readStreet(ref.offset, street));
            extent = street.extent;
        }
        ASSERT_GT(extent, 0u) << "the import gives every street and place its extent";
        EXPECT_LE(metresPer40(r), 1000.0f);
        if (metresPer40(r) > StreetLevelMetresPer40Pixels + 0.1f) {
            EXPECT_NEAR(r.camera.scale() * float(extent), room, 0.5f) << Core::wideToUtf8(c.name);
        } else {
            EXPECT_LE(r.camera.scale() * float(extent), room + 0.5f);
        }
    }
    // A house goes by its street and number, at street level.
    Rig r;
    r.menu->childClicked("addr");
    r.type(u"papal");
    r.find->childClicked("ok");
    ASSERT_TRUE(chooseRow(r, u"Avenue des Papalins"));
    ASSERT_EQ(r.active(), "pageFind");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    const TextSearch::ResultItem house = r.results->results()->rows().at(0).item;
    r.tapRow(r.results, 0);
    ASSERT_EQ(r.active(), "pageMap");
    EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"Avenue des Papalins " + house.text);
    EXPECT_EQ(textOf(r.map, "upper_box"), u"Fontvieille");
    EXPECT_EQ(r.camera.centre(), house.point);
    EXPECT_NEAR(metresPer40(r), StreetLevelMetresPer40Pixels, 0.05f);
    // A pharmacy found among the pharmacies: its name above, its address
    // below, the information page filled with it.
    r.car = Map::Point{88589776, 581288064};
    r.camera.setScale(1e-4f);
    std::make_shared<SelectPoiTypesForPoiSearchCallback>(r.search, &r.ui)->result({0x2E05});
    ASSERT_EQ(r.active(), "pageFind");
    r.type(u"pha");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    ASSERT_GT(r.results->results()->count(), 0) << "Monaco's pharmacies have their own type";
    const TextSearch::ResultItem pharmacy = r.results->results()->rows().at(0).item;
    r.tapRow(r.results, 0);
    ASSERT_EQ(r.active(), "pageMap");
    EXPECT_EQ(textOf(r.map, "upper_box_turn"), pharmacy.text);
    EXPECT_FALSE(pharmacy.text.empty());
    // Its "Info" would cover it at the anchor: it stands at the middle.
    EXPECT_EQ(r.camera.centre(), pharmacy.point);
    EXPECT_EQ(shownRow(r, pharmacy.point), 240);
    EXPECT_EQ(coverOf(r, pharmacy.point), "");
    EXPECT_NEAR(metresPer40(r), StreetLevelMetresPer40Pixels, 0.05f);
    EXPECT_EQ(r.map->tappedFind().kind, MapPointFind::Kind::Poi);
    EXPECT_EQ(r.map->tappedFind().address.number1, 0x2E05);
    EXPECT_EQ(r.map->tappedFind().address.texts[0], pharmacy.text);

    // Shown again from the history page, the same.
    r.ui.goToPage(r.menu);
    r.menu->childClicked("history");
    r.tapRow(r.history, 1);
    r.camera.setScale(1e-4f);
    r.history->childClicked("button_ok");
    ASSERT_EQ(r.active(), "pageMap");
    EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"Avenue des Papalins " + house.text);
    EXPECT_NEAR(metresPer40(r), StreetLevelMetresPer40Pixels, 0.05f);
}

// When nothing can follow, no letter key is lit (Monaco has no country);
// the space is lit only where the engine takes one, and the prompt says that
// names are found by any of their words.
TEST(SearchPages, TheKeyboardLightsOnlyWhatCanFollow) {
    Rig r;
    EXPECT_EQ(textOf(r.find, "enter_hint"), u"Type the beginning of any word of the name");
    r.ui.goToPage(r.filter);
    r.filter->childClicked("country");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(litKeys(r), u"");
    r.find->childClicked("back");

    r.ui.goToPage(r.menu);
    r.menu->childClicked("streets");
    for (const std::u16string& typed : {std::u16string(), std::u16string(u"boulevard"), std::u16string(u"mou")}) {
        r.find->childClicked("back");
        r.ui.goToPage(r.menu);
        r.menu->childClicked("streets");
        r.type(typed);
        EXPECT_EQ(textOf(r.find, "enter_label"), typed);
        TextSearch::Letters next;
        ASSERT_TRUE(r.search->nextLetters(next));
        std::u16string lit = litKeys(r);
        std::sort(lit.begin(), lit.end());
        lit.erase(std::unique(lit.begin(), lit.end()), lit.end());
        // Every lit key can follow; the keyboard may lack keys for some
        // letters (digits, accents of other languages).
        for (char16_t c : lit)
            EXPECT_TRUE(std::binary_search(next.begin(), next.end(), c)) << Core::wideToUtf8(typed) << " lights " << char(c);
        EXPECT_EQ(lit.find(u' '), std::u16string::npos) << "no street name goes on with a space";
        if (typed == u"boulevard") {
            EXPECT_EQ(lit, u"") << "a whole word: nothing follows";
        }
        if (typed == u"mou") {
            EXPECT_NE(lit.find(u'l'), std::u16string::npos);
        }
    }
}

// The results page says when nothing was found, never keeps a row selected
// from an earlier list, and leads back to the typed text; the "too many
// results" box goes when the find page is left; choosing a street twice
// leaves one history entry.
void tapKey(Rig& r, const std::u16string& caption);

TEST(SearchPages, ResultsPageAndTheWayBack) {
    Rig r;
    r.menu->childClicked("poi");
    // Without a car nothing is near: the count says so before typing.
    EXPECT_EQ(textOf(r.find, "counter_label"), u"0");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    EXPECT_EQ(r.results->results()->count(), 0);
    EXPECT_EQ(textOf(r.results, "empty_label"), u"Nothing found");
    EXPECT_TRUE(r.results->findChild("empty_label")->visible());
    EXPECT_EQ(textOf(r.results, "index_label"), u"") << "nothing found is no page";
    EXPECT_EQ(r.results->results()->list().selectedRow(), -1);
    r.results->childClicked("back");
    r.find->childClicked("back");
    // With a car, the count before typing is the number of nearest places
    // "ok" lists, also after a letter typed and erased.
    r.car = Map::Point{88589776, 581288064};
    r.menu->childClicked("poi");
    const std::u16string untyped = textOf(r.find, "counter_label");
    r.type(u"m");
    EXPECT_NE(textOf(r.find, "counter_label"), untyped);
    tapKey(r, u"[bsp]");
    EXPECT_EQ(textOf(r.find, "counter_label"), untyped);
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    EXPECT_GT(r.results->results()->count(), 5);
    EXPECT_EQ(untyped, Core::utf8ToWide(std::to_string(r.results->results()->count())));
    EXPECT_EQ(textOf(r.results, "index_label").substr(0, 2), u"1/");
    r.results->childClicked("back");
    r.find->childClicked("back");
    r.car.reset();

    // The letters a street name can start with, lit on the keyboard.
    const auto lit = [&r] {
        std::u16string usable;
        for (const auto& key : r.find->keyboard()->keys())
            if (key.widget && key.widget->enabled() && key.caption.size() == 1) usable += key.caption;
        return usable;
    };
    for (int round = 0; round < 2; ++round) {
        r.ui.goToPage(r.menu);
        r.menu->childClicked("streets");
        const std::u16string untypedKeys = lit();
        r.type(u"grim");
        ASSERT_NE(lit(), untypedKeys);
        r.find->childClicked("ok");
        EXPECT_FALSE(r.results->findChild("empty_label")->visible());
        ASSERT_TRUE(chooseRow(r, u"Rue Grimaldi"));
        ASSERT_EQ(r.active(), "pageMap");
        EXPECT_EQ(textOf(r.find, "enter_label"), u"") << "a chosen result clears the typed text";
        EXPECT_EQ(lit(), untypedKeys) << "and the keys lit for it";
    }
    std::vector<TextSearch::ResultItem> found;
    r.search->history().foundObjects(found);
    EXPECT_EQ(found.size(), 1u) << "the same street twice is one entry";
    // Equal names keep one order, by their places, search after search.
    for (int round = 0; round < 2; ++round) {
        r.ui.goToPage(r.menu);
        r.menu->childClicked("streets");
        r.type(u"grim");
        r.find->childClicked("ok");
        std::vector<std::u16string> places;
        for (const auto& row : r.results->results()->rows())
            if (row.item.text == u"Rue Grimaldi") places.push_back(row.item.detail);
        EXPECT_EQ(places, (std::vector<std::u16string>{u"La Condamine", u"Roquebrune-Cap-Martin", u"Sainte-D\u00E9vote"}));
        r.results->childClicked("back");
        r.find->childClicked("back");
    }

    // A shorter list after a row was chosen: nothing selected.
    r.ui.goToPage(r.menu);
    r.menu->childClicked("streets");
    r.type(u"moulins");
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    EXPECT_EQ(r.results->results()->list().selectedRow(), -1);

    Rig limited({"monaco.kvm"}, MIREL_MONACO_ATLAS_DIR, 4);
    for (bool escape : {false, true}) {
        limited.ui.goToPage(limited.menu);
        limited.menu->childClicked("streets");
        limited.type(u"grim");
        limited.find->childClicked("ok");
        ASSERT_NE(limited.find->findChild("mb"), nullptr);
        if (escape)
            limited.ui.keyDown(SDLK_ESCAPE);
        else
            limited.find->childClicked("back");
        limited.ui.applyPendingChanges();
        EXPECT_EQ(limited.active(), "menuFind");
        EXPECT_EQ(limited.find->findChild("mb"), nullptr) << (escape ? "Escape" : "back");
        EXPECT_EQ(limited.find->messageBox(), nullptr);
    }
}

// After a city is chosen on the filter page of Monaco (which has no country,
// region or district) those rows offer "Any ..."; "Show city" shows it on
// the map, named and zoomed to.
TEST(SearchPages, FilterCityShownOnTheMap) {
    Rig r;
    r.ui.goToPage(r.filter);
    pick(r, "city", u"moneg");
    ASSERT_EQ(r.active(), "menuFilter");
    EXPECT_EQ(filterLabels(r.filter),
              (std::vector<std::u16string>{u"Any country", u"Any region", u"Any district", u"Les Monegetti"}));
    r.camera.setScale(1e-4f);
    r.filter->childClicked("ok");
    ASSERT_EQ(r.active(), "pageMap");
    EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"Les Monegetti");
    EXPECT_GT(metresPer40(r), StreetLevelMetresPer40Pixels);
    EXPECT_LT(metresPer40(r), 1000.0f);
}

// Taps the on-screen key whose caption is given ("[bsp]" included).
void tapKey(Rig& r, const std::u16string& caption) {
    for (const auto& key : r.find->keyboard()->keys())
        if (key.caption == caption && key.widget) {
            r.find->keyboard()->childClicked(key.widget->name());
            return;
        }
    ADD_FAILURE() << "no key " << Core::wideToUtf8(caption);
}

// "ok" with nothing typed asks for nothing on the city and street pages
// (only points of interest and houses are listed untyped): not on a fresh
// page, not after the typed text was erased, not after "back".
TEST(SearchPages, OkWithNothingTypedListsNothingOnCityAndStreetPages) {
    for (const auto& [command, letters] : {std::pair{"cities", u"mon"}, std::pair{"streets", u"grim"},
                                           std::pair{"addr", u"papal"}}) {
        SCOPED_TRACE(command);
        Rig r;
        auto okDoesNothing = [&] {
            EXPECT_FALSE(r.find->findChild("ok")->enabled()) << "a dead OK looks dead";
            r.find->childClicked("ok");
            EXPECT_EQ(r.active(), "pageFind");
            EXPECT_EQ(r.find->findChild("mb"), nullptr);
            EXPECT_EQ(r.results->results()->count(), 0);
        };
        r.menu->childClicked(command);
        okDoesNothing();
        r.type(letters);
        for (std::size_t i = 0; i < std::u16string_view(letters).size(); ++i)
            tapKey(r, u"[bsp]");
        EXPECT_EQ(textOf(r.find, "enter_label"), u"");
        okDoesNothing();
        r.type(letters);
        r.find->childClicked("back");
        ASSERT_EQ(r.active(), "menuFind");
        r.menu->childClicked(command);
        okDoesNothing();
        r.type(letters);
        EXPECT_TRUE(r.find->findChild("ok")->enabled());
        r.find->childClicked("ok");
        EXPECT_EQ(r.active(), "pageResults") << "typed, it lists";
    }
}

// The house-number step types digits: a missing or unknown search layout
// is replaced by the first grid with digits (not "Letters", first by name)
// and stored back; a chosen grid without digits ("Letters") gives way to
// the first grid with digits at the house step only, and stays stored.
TEST(SearchPages, HouseNumbersGetDigitsWhateverTheSearchLayout) {
    // Null: the key is missing when the page is built.
    for (const char* stored : {static_cast<const char*>(nullptr), "", "Qwerty", "Letters"}) {
        SCOPED_TRACE(stored ? stored : "missing");
        Rig r;
        Core::ConfigNodePtr keyboard = r.config.root()->child("Keyboard");
        if (stored) {
            keyboard->set("find_layout", std::string(stored));
            r.find->openKeyboard();
        }
        const bool letters = stored && std::string(stored) == "Letters";
        const std::string expected = letters ? "Letters" : "Letters and digits";
        EXPECT_EQ(keyboard->value("find_layout", std::string()), expected);
        const auto shown = [&r](const char16_t* caption, bool typable) {
            return std::ranges::any_of(r.find->keyboard()->keys(), [&](const auto& key) {
                return key.caption == caption && key.widget && key.widget->visible() &&
                       (!typable || key.widget->enabled());
            });
        };
        r.menu->childClicked("addr");
        EXPECT_EQ(shown(u"1", false), !letters) << "the street step types on the stored grid";
        r.type(u"papal");
        r.find->childClicked("ok");
        r.tapRow(r.results, 0);
        ASSERT_EQ(r.search->kind(), TextSearch::HousesKind);
        EXPECT_TRUE(shown(u"6", true)) << "a number of the street can be typed";
        EXPECT_EQ(keyboard->value("find_layout", std::string()), expected);
        // Back at the street step the stored grid is back.
        r.find->childClicked("back");
        EXPECT_EQ(r.search->kind(), TextSearch::StreetsKind);
        EXPECT_EQ(shown(u"1", false), !letters);
    }
}

// A point of interest without a name (Monaco's fuel stations mostly have
// none) goes by its type's name in the results, the history and the map's
// top box: the untyped POI search lists the nearest points around the car.
// The history keeps the object's own (empty) name, by which it knows the
// entry again: chosen twice, from the results and from the history, the
// station is one entry.
TEST(SearchPages, AnUnnamedPoiGoesByItsTypeName) {
    Rig r;
    Render::PoiStyle fuel;
    fuel.groupId = 0x2F00;
    fuel.name = u"Fuel";
    r.styles().daySet().poiStyles[0x2F01] = fuel;
    r.styles().selectSet(true);
    r.car = Map::Point{88440000, 581280000};
    auto listNearest = [&r] {
        r.find->preparePoiSearch({0x2F01});
        r.find->setCallback(
            std::make_shared<FindObjectOnMapCallbalck>(r.search, &r.ui, TextSearch::PoisKind));
        r.ui.goToPage(r.find);
        r.find->childClicked("ok");
        ASSERT_EQ(r.active(), "pageResults");
    };
    listNearest();
    const auto& rows = r.results->results()->rows();
    int unnamed = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_FALSE(rows[i].shown.empty()) << i;
        if (rows[i].item.text.empty()) unnamed = static_cast<int>(i);
    }
    ASSERT_GE(unnamed, 0) << "the extract has fuel stations without a name";
    // From beside that station it is the first row.
    r.car = rows[std::size_t(unnamed)].item.point;
    for (int chosen = 1; chosen <= 2; ++chosen) {
        SCOPED_TRACE(chosen);
        r.results->childClicked("back");
        listNearest();
        ASSERT_TRUE(rows[0].item.text.empty());
        EXPECT_EQ(textOf(r.results->results()->list().rowWidget(0), "text"), u"Fuel");
        r.tapRow(r.results, 0);
        ASSERT_EQ(r.active(), "pageMap");
        EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"Fuel");
        const auto& ring = r.search->history().objectRing();
        ASSERT_EQ(ring.size(), 1u);
        EXPECT_EQ(ring.back().item.text, u"");
        EXPECT_EQ(ring.back().useCount, std::uint32_t(chosen));
    }
    // The history page names it by its type too, and shows it once more
    // without a second entry.
    r.ui.goToPage(r.menu);
    r.menu->childClicked("history");
    ASSERT_EQ(r.active(), "pageFilterHistory");
    auto* list = dynamic_cast<Ui::fdList*>(r.history->findChild("list"));
    EXPECT_EQ(textOf(list->rowWidget(0), "text").substr(0, 6), u"Fuel, ");
    r.history->childClicked("button_ok");
    ASSERT_EQ(r.active(), "pageMap");
    EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"Fuel");
    ASSERT_EQ(r.search->history().objectRing().size(), 1u);
    EXPECT_EQ(r.search->history().objectRing().back().useCount, 3u);
}

// A house chosen in the search, looked at on the map for longer than the
// pop-ups stay (7 s), then "To" tapped as a finger does, with the car at the
// Casino: the route to the house is computed from the car. The route
// buttons of a place another page chose wait for the driver; hidden by
// themselves, the tap meant for "To" chose the point under the finger.
TEST(SearchPages, ToAChosenHouseWaitsForTheDriver) {
    Rig r({"monaco.kvm"}, MIREL_MONACO_ATLAS_DIR, 100, true);
    const Map::Point casino = Map::Projection::fromGeo(43.7384f, 7.4246f);
    r.car = casino;
    r.mapCar.fix = CarFix{casino};
    r.menu->childClicked("addr");
    r.type(u"papal");
    r.find->childClicked("ok");
    ASSERT_TRUE(chooseRow(r, u"Avenue des Papalins"));
    r.find->childClicked("ok");
    ASSERT_TRUE(chooseRow(r, u"6"));
    ASSERT_EQ(r.active(), "pageMap");
    const PathPoint house = r.map->tappedRoutePoint();
    ASSERT_TRUE(house.isSet());
    Ui::fdWindowBase* popup = r.map->findChild("path_start");
    ASSERT_TRUE(popup->visible());
    const std::uint32_t shown = SDL_GetTicks();
    for (std::uint32_t ms = 0; ms <= 10000; ms += 50) r.map->tick(shown + ms);
    EXPECT_TRUE(popup->visible());
    Ui::fdWindowBase* to = popup->findChild("tiny_to");
    const int x = to->rect().x + to->rect().w / 2, y = to->rect().y + to->rect().h / 2;
    r.ui.mouseButtonDown(1, x, y);
    r.ui.mouseButtonUp(1, x, y);
    ASSERT_EQ(r.route.path().points.size(), 2u);
    EXPECT_FALSE(r.route.path().parts.empty());
    EXPECT_EQ(r.route.path().points.back().segmentId, house.segmentId);
    EXPECT_FALSE(popup->visible());
    // A point the driver taps on the map keeps the auto-hide.
    r.map->mapPointAction(casino);
    const std::uint32_t tapped = SDL_GetTicks();
    ASSERT_TRUE(r.map->findChild("path_continue")->visible());
    for (std::uint32_t ms = 0; ms <= 7100; ms += 50) r.map->tick(tapped + ms);
    EXPECT_FALSE(r.map->findChild("path_continue")->visible());
}
