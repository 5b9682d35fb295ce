// The search pages built from the shipped design over a copy of Monaco:
// the road of a search from the menu through the find and results pages to
// the map, the history they leave, the filter page and its chain, and the
// page arithmetic of the results, the coordinates and the POI information.

#include "screens/SearchHistoryPage.h"
#include "screens/fdPageCoordsX.h"
#include "screens/fdPageFindFilterX.h"
#include "screens/fdPageFindResults.h"
#include "screens/fdPageFindX.h"
#include "screens/fdPagePOIInfoX.h"
#include "screens/fdPageStreetListX.h"
#include "screens/fdSearchMenuPage.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/Text.h"
#include "core/ResourcesPool.h"
#include "map/AtlasServices.h"
#include "map/KVAtlas.h"
#include "map/Projection.h"
#include "search/Engine.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

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

struct Rig {
    Rig() {
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        config.root()->set("win_main_heap", 1024);
        std::filesystem::create_directories(home / "data");
        std::filesystem::create_directories(home / "maps");
        std::filesystem::copy_file(std::filesystem::path(MIREL_MONACO_ATLAS_DIR) / "monaco.kvm",
                                   home / "maps" / "monaco.kvm");
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
        s.carPosition = [this] { return car; };
        add(new Ui::fdPage(&ui, "menuMain", nullptr));
        add(new Ui::fdPage(&ui, "pageMap", nullptr));
        menu = add(new fdSearchMenuPage(&ui, "menuFind", s));
        find = add(new fdPageFindX(&ui, s));
        results = add(new fdPageFindResults(&ui, &messages, &bindings));
        history = add(new SearchHistoryPage(&ui, search, &messages, &bindings));
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

    TestSupport::CaptureLogger quiet{Log::Critical};
    DesignEngine engine;
    Ui::fdInterface ui{&engine, nullptr};
    Ui::KeyboardLayouts layouts;
    Messages messages;
    Core::Config config;
    Ui::ButtonBindings bindings{config.root()};
    Core::ResourcesPool pool{10};
    TestSupport::TempDir home;
    std::unique_ptr<Map::KVAtlas> atlas;
    TextSearch::Engine* search = nullptr;
    std::optional<Map::Point> car;
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
    EXPECT_EQ(textOf(r.find, "page_name"), u"Address");
    EXPECT_EQ(r.search->kind(), TextSearch::HousesKind);
    // Back to the street step, then the same street again.
    r.find->childClicked("back");
    ASSERT_EQ(r.active(), "pageFind");
    EXPECT_EQ(textOf(r.find, "page_name"), u"Street");
    EXPECT_EQ(r.search->kind(), TextSearch::StreetsKind);
    r.type(u"papal");
    r.find->childClicked("ok");
    r.tapRow(r.results, street);
    ASSERT_EQ(r.search->kind(), TextSearch::HousesKind);
    r.find->childClicked("ok");
    ASSERT_EQ(r.active(), "pageResults");
    const auto& rows = r.results->results()->rows();
    ASSERT_GT(rows.size(), 1u);
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
}
