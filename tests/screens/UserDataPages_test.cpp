// The track, waypoint, chooser, favourite and received-point pages built
// from the shipped demo design over real track and waypoint managers in a
// temporary folder, driven by their commands as the widgets send them.

#include "screens/EditWayPointPage.h"
#include "screens/ReceivedWayPointsListPage.h"
#include "screens/SelectPoiTypesPage.h"
#include "screens/SelectWayPointPage.h"
#include "screens/fdPageFavorites.h"
#include "screens/fdPageImagesX.h"
#include "screens/fdPageMap.h"
#include "screens/fdPagePOIInfoX.h"
#include "screens/fdPageSelectPoiType.h"
#include "screens/fdPageTrackEditX.h"
#include "screens/fdPageTrackListX.h"
#include "screens/fdPageTrackingSettingsX.h"
#include "screens/fdPageWPListX.h"
#include "screens/fdSearchMenuPage.h"

#include "core/Clipboard.h"
#include "core/Config.h"
#include "core/Text.h"
#include "render/MapCamera.h"
#include "render/RenderStyles.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

#include <fstream>
#include <optional>

using namespace Screens;
using UserDataTest::wide;

namespace {

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

// Friends with received points, as the online service would hand them out.
struct FakeSource : ReceivedPointsSource {
    void getFriends(std::vector<std::pair<std::uint32_t, Monitoring::Friend>>& out) const override { out = friends; }
    void addSeenPointId(std::uint32_t id) override {
        seen.push_back(id);
        const std::uint32_t ids[] = {id};
        for (auto& f : friends)
            f.second.points->markDeleted(ids);
    }
    void add(std::uint32_t token, const char16_t* name, std::vector<std::pair<const char16_t*, std::uint32_t>> points) {
        Monitoring::Friend f;
        f.name = name;
        for (const auto& [pointName, id] : points) {
            WayPoint p;
            p.name = pointName;
            p.id = id;
            p.type = UserDataTest::FuelType;
            p.position = {int(id) * 10, 7};
            f.points->add(p);
        }
        friends.emplace_back(token, f);
    }
    std::vector<std::pair<std::uint32_t, Monitoring::Friend>> friends;
    std::vector<std::uint32_t> seen;
};

template <class T> T* child(Ui::fdWindowBase* window, const std::string& name) {
    return dynamic_cast<T*>(window->findChild(name));
}

std::u16string textOf(Ui::fdWindowBase* window, const std::string& name) {
    auto* s = child<Ui::fdStatic>(window, name);
    return s != nullptr ? s->text() : u"<none>";
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Rig {
    explicit Rig(const std::function<void(Rig&)>& before = {}) {
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        engine.dataFolder = wide(home.path()) + u"/";
        for (const auto& [type, group, name] : {std::tuple{WayPoint::DefaultType, 0x6600, u"Flag"},
                                                std::tuple{UserDataTest::FuelType, 0x2F00, u"Fuel"}}) {
            Render::PoiStyle style;
            style.groupId = std::uint16_t(group);
            style.name = name;
            renderStyles.daySet().poiStyles[type] = style;
        }
        std::filesystem::create_directories(home / "tracks");
        if (before)
            before(*this);
        tracks = std::make_unique<fdTrackManager>(wide(home / "tracks") + u"/", config.root(), clock);
        waypoints = std::make_unique<fdWPManager>(&styles, wide(home / "icons.txt"));
        waypoints->load(wide(home / "waypoints"));
        bindings = std::make_unique<Ui::ButtonBindings>(config.root());

        new Ui::fdPage(&ui, "menuMain", nullptr);
        fdPageMap::Services s;
        s.config = config.root();
        s.camera = &camera;
        s.waypoints = waypoints.get();
        s.tracks = tracks.get();
        s.messages = &messages;
        map = new fdPageMap(&ui, s);
        favourites = new fdPageFavorites(&ui, wide(home / "favorites.kvf"));
        new fdPageFvDlg(&ui, favourites);
        trackList = new fdPageTrackListX(&ui, tracks.get(), &messages, bindings.get());
        trackEdit = new fdPageTrackEditX(&ui, tracks.get());
        settings = new fdPageTrackingSettingsX(&ui, tracks.get(), &messages);
        types = new fdPageSelectPoiType(&ui, &renderStyles, waypoints.get(), bindings.get(), &messages);
        multiTypes = new SelectPoiTypesPage(&ui, &renderStyles, bindings.get());
        images = new fdPageImagesX(&ui, waypoints.get(), bindings.get());
        list = new fdPageWPListX(&ui, waypoints.get(), bindings.get(), &messages);
        editor = new EditWayPointPage(&ui, waypoints.get(), nullptr, &styles, config.root(), &layouts);
        chooser = new SelectWayPointPage(&ui, waypoints.get(), favourites, &messages, bindings.get());
        auto owned = std::make_unique<FakeSource>();
        source = owned.get();
        received = new ReceivedWayPointsListPage(&ui, std::move(owned), waypoints.get(), &styles, config.root(),
                                                 &messages, bindings.get());
        for (Ui::fdWindowBase* window : ui.children()) {
            auto* page = dynamic_cast<Ui::fdPage*>(window);
            page->setRect(0, 0, 800, 480);
            if (page->name() != "menuMain") {
                EXPECT_TRUE(Ui::buildPage(*page, engine.description)) << page->name();
            }
        }
        ui.activatePage(map);
    }
    // Goes to the page as a menu would.
    void open(Ui::fdPage* page) { ui.goToPage(page); }
    Ui::fdList* listOf(Ui::fdPage* page) { return child<Ui::fdList>(page, "list"); }
    // A tap on row r of the page's list: the press reports the list.
    void tapRow(Ui::fdPage* page, int r) {
        Ui::fdList* l = listOf(page);
        l->releaseClick = false;
        l->select(r);
        page->childClicked("list");
    }
    // A click on a child of a template window of the page.
    void click(Ui::fdPage* page, const char* window, const char* name) {
        dynamic_cast<Ui::TemplateWindow*>(page->findChild(window))->childClicked(name);
    }
    std::u16string rowText(Ui::fdPage* page, int r, const char* name = "text") {
        return textOf(listOf(page)->rowWidget(std::size_t(r)), name);
    }
    std::int32_t addPoint(const char16_t* name, std::uint16_t type, Map::Point at = {100, 100}) {
        const std::int32_t i = waypoints->addPoint(name, at, u"", 0);
        waypoints->setType(std::size_t(i), type);
        return i;
    }

    TestSupport::CaptureLogger quiet;
    TestSupport::TempDir home;
    DesignEngine engine;
    Ui::KeyboardLayouts layouts;
    Messages messages;
    Core::Config config;
    UserDataTest::ManualClock clock;
    UserDataTest::FakeStyles styles;
    Render::RenderStyles renderStyles;
    MapCamera camera;
    std::unique_ptr<fdTrackManager> tracks;
    std::unique_ptr<fdWPManager> waypoints;
    std::unique_ptr<Ui::ButtonBindings> bindings;
    // The pages go first: their lists leave the managers' listeners.
    Ui::fdInterface ui{&engine, nullptr};
    fdPageMap* map;
    fdPageFavorites* favourites;
    fdPageTrackListX* trackList;
    fdPageTrackEditX* trackEdit;
    fdPageTrackingSettingsX* settings;
    fdPageSelectPoiType* types;
    SelectPoiTypesPage* multiTypes;
    fdPageImagesX* images;
    fdPageWPListX* list;
    EditWayPointPage* editor;
    SelectWayPointPage* chooser;
    ReceivedWayPointsListPage* received;
    FakeSource* source;
};

struct Recorder : SelectPoiTypeResultCallback {
    bool none = false;
    std::vector<int> results;
    int cancels = 0;
    bool allowsNone() const override { return none; }
    void result(std::uint16_t type) override { results.push_back(type); }
    void cancelled() override { ++cancels; }
};

} // namespace

TEST(TrackingSettingsPage, StepsLabelsAndSaving) {
    struct Case {
        int interval;
        float distance;
        int state, size;
        const char16_t *seconds, *metres, *sizeText;
        int savedInterval;
        float savedDistance;
        int savedState;
    };
    const Case cases[] = {
        {60000, 25.0f, 0, 1, u"1 s", u"30 m", u"1", 1000, 30.0f, 0}, // above the last time step: the first
        {5000, 30.0f, 1, 10, u"5 s", u"30 m", u"10", 5000, 30.0f, 1},
        {1001, 3.0f, 2, 0, u"3 s", u"3 m", u"10", 3000, 3.0f, 2}, // size 0 folds to 10
        {30000, 3.5f, 7, 11, u"30 s", u"5 m", u"1", 30000, 5.0f, 7}, // no rule: the state stays
    };
    for (const Case& c : cases) {
        Rig r;
        r.tracks->setInterval(c.interval);
        r.tracks->setMinDist(c.distance);
        r.tracks->setState(c.state);
        r.tracks->setSize(std::uint16_t(c.size));
        r.open(r.settings);
        EXPECT_EQ(textOf(r.settings, "seconds"), c.seconds) << c.interval;
        EXPECT_EQ(textOf(r.settings, "meters"), c.metres) << c.distance;
        EXPECT_EQ(textOf(r.settings, "size"), c.sizeText);
        r.settings->childClicked("ok");
        EXPECT_EQ(r.tracks->interval(), c.savedInterval);
        EXPECT_EQ(r.tracks->minDist(), c.savedDistance);
        EXPECT_EQ(r.tracks->state(), c.savedState);
        EXPECT_EQ(r.config.root()->value("tracker_interval", 0), c.savedInterval);
        EXPECT_EQ(r.ui.activePage(), r.map);
    }
    // The steps and sizes run round; "back" and "menu" keep the settings.
    Rig r;
    r.open(r.settings);
    for (const char* command : {"secDown", "metersUp", "sizeDown", "radio_all"})
        r.settings->childClicked(command);
    EXPECT_EQ(textOf(r.settings, "seconds"), u"3 s");
    EXPECT_EQ(textOf(r.settings, "meters"), u"3 m");
    EXPECT_EQ(textOf(r.settings, "size"), u"10");
    r.settings->childClicked("menu");
    EXPECT_EQ(r.ui.activePage(), r.ui.findPage("menuMain"));
    EXPECT_EQ(r.tracks->interval(), 5000);
    EXPECT_EQ(r.tracks->state(), 0);
    r.open(r.settings);
    r.settings->childClicked("radio_all");
    // A press inside the colour box steps the colour.
    const Ui::WindowRect box = r.settings->findChild("colorBox")->rect();
    r.settings->press(box.x + box.w, box.y);
    r.settings->release(box.x, box.y);
    r.settings->childClicked("ok");
    EXPECT_EQ(r.tracks->state(), 2);
    EXPECT_EQ(r.tracks->color(), 1);
    // The line width's +/- shows the width at once, round at both ends, and
    // "ok" right after it stores what is shown.
    for (const auto& [stored, command, shown] :
         {std::tuple{10, "sizeUp", u"1"}, {1, "sizeDown", u"10"}, {4, "sizeUp", u"5"}, {12, "sizeDown", u"1"}}) {
        r.tracks->setSize(std::uint16_t(stored));
        r.open(r.settings);
        r.settings->childClicked(command);
        EXPECT_EQ(textOf(r.settings, "size"), shown) << stored << " " << command;
        r.settings->childClicked("ok");
        EXPECT_EQ(std::to_string(r.tracks->size()), Core::wideToUtf8(shown));
    }
}

TEST(TrackPages, ListShowsTracksAndTheRecordingAndTheEditorActs) {
    Rig r([](Rig& rig) {
        // A stored track of 3 points in a colour of no palette entry,
        // hidden, and one cut short.
        std::string header = UserDataTest::trackHeader(3);
        header[8] = 0x12, header[9] = 0x34, header[10] = 0x56, header[11] = char(0xFF);
        rig.home.write("tracks/a.kvt", header + UserDataTest::trackRecords(3));
        rig.home.write("tracks/b.kvt", UserDataTest::trackHeader(2) + UserDataTest::trackRecords(2).substr(0, 60));
    });
    r.map->startTrackRecording();
    r.open(r.trackList);
    ASSERT_EQ(r.trackList->model()->count(), 3);
    EXPECT_EQ(r.rowText(r.trackList, 0, "text_with_desc"), u"a.kvt");
    EXPECT_EQ(r.rowText(r.trackList, 0, "desc_text"), u"3 pt.");
    EXPECT_EQ(r.rowText(r.trackList, 1, "desc_text"), u"1 pt.");
    const std::u16string recording = r.tracks->track(2).name;
    EXPECT_EQ(r.rowText(r.trackList, 2, "text"), recording) << "no points yet: the plain text";
    // Each track's colour swatch shows; the empty row below has none.
    EXPECT_TRUE(r.listOf(r.trackList)->rowWidget(2)->findChild("color")->visible());
    EXPECT_FALSE(r.listOf(r.trackList)->rowWidget(3)->findChild("color")->visible());

    // A tap on the check box shows the track; elsewhere on the row opens
    // the editor.
    Ui::TemplateWindow* row0 = r.listOf(r.trackList)->rowWidget(0);
    const Ui::WindowRect check = row0->findChild("check_show")->rect();
    r.trackList->press(check.x + 2, check.y + check.h);
    r.trackList->release(check.x + 2, check.y + check.h); // the row's second report changes nothing
    EXPECT_TRUE(r.tracks->track(0).shown);
    EXPECT_TRUE(child<Ui::fdCheckedButton>(row0, "check_show")->checked());
    r.trackList->press(row0->rect().x + 400, row0->rect().y + 10);
    r.tapRow(r.trackList, 0);
    ASSERT_EQ(r.ui.activePage(), r.trackEdit);
    EXPECT_EQ(textOf(r.trackEdit, "track_name"), u"a.kvt");

    // Not a palette colour: "ok" stores palette colour 0 (red).
    r.trackEdit->childClicked("ok");
    EXPECT_EQ(r.tracks->track(0).colour, trackPalette[0]);
    EXPECT_EQ(r.ui.activePage(), r.trackList);
    r.trackEdit->setTrack(r.tracks.get(), 0);
    r.ui.goToPage(r.trackEdit);
    r.trackEdit->childClicked("track_color");
    r.trackEdit->childClicked("ok");
    EXPECT_EQ(r.tracks->track(0).colour, trackPalette[1]);

    // The recording cannot be deleted; a stored track can.
    r.trackEdit->setTrack(r.tracks.get(), 2);
    r.ui.goToPage(r.trackEdit);
    EXPECT_FALSE(child<Ui::fdButtonX>(r.trackEdit, "button_go")->enabled());
    r.trackEdit->childClicked("delete");
    EXPECT_EQ(r.tracks->trackCount(), 3u);
    EXPECT_EQ(r.ui.activePage(), r.trackEdit);
    r.trackEdit->setTrack(r.tracks.get(), 1);
    r.trackEdit->childClicked("delete");
    EXPECT_EQ(r.tracks->trackCount(), 2u);
    EXPECT_FALSE(std::filesystem::exists(r.home / "tracks/b.kvt"));
    EXPECT_EQ(r.ui.activePage(), r.trackList);

    // "button_go" centres the map on the oldest point.
    r.trackEdit->setTrack(r.tracks.get(), 0);
    r.ui.goToPage(r.trackEdit);
    r.trackEdit->childClicked("button_go");
    EXPECT_EQ(r.ui.activePage(), r.map);
    const xe::Point first = r.tracks->track(0).firstPoint;
    EXPECT_EQ(r.camera.centre(), (Map::Point{first.x, first.y}));
}

TEST(PoiTypeChooser, ReportsTheChoiceOrNothing) {
    Rig r;
    r.addPoint(u"fuel", UserDataTest::FuelType);
    const std::int32_t gone = r.addPoint(u"gone", WayPoint::DefaultType);
    r.waypoints->deletePoint(std::size_t(gone));
    auto recorder = std::make_shared<Recorder>();
    r.types->showUsedTypes();
    ASSERT_EQ(r.types->model()->groups().size(), 1u) << "a deleted point's type is not in use";
    r.types->setCallback(recorder);
    r.open(r.types);
    r.types->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.types) << "nothing chosen";
    EXPECT_TRUE(recorder->results.empty());
    recorder->none = true;
    r.types->childClicked("button_ok");
    EXPECT_EQ(recorder->results, std::vector<int>{0xFFFF});
    EXPECT_EQ(r.ui.activePage(), r.map);
    EXPECT_EQ(r.types->callback(), nullptr);

    r.types->showAllTypes();
    r.types->setCallback(recorder);
    r.open(r.types);
    r.tapRow(r.types, 0); // the fuel group (the lower category code), shown as its one item
    r.types->childClicked("button_ok");
    EXPECT_EQ(recorder->results.back(), UserDataTest::FuelType);
    r.types->setCallback(recorder);
    r.open(r.types);
    r.types->childClicked("back");
    EXPECT_EQ(recorder->cancels, 1);

    // Several types: all checked, then collected.
    struct Collect : SelectPoiTypesResultCallback {
        std::vector<std::uint16_t> types;
        void result(const std::vector<std::uint16_t>& t) override { types = t; }
    };
    auto collect = std::make_shared<Collect>();
    r.multiTypes->prepare(true);
    r.multiTypes->setCallback(collect);
    r.open(r.multiTypes);
    EXPECT_TRUE(child<Ui::fdCheckedButton>(r.multiTypes, "select_all_check")->checked());
    r.multiTypes->childClicked("button_ok");
    EXPECT_EQ(collect->types, (std::vector<std::uint16_t>{UserDataTest::FuelType, WayPoint::DefaultType}));
    // The title bar's buttons act on the chooser as on every page.
    r.open(r.multiTypes);
    for (const auto& [command, flag] : {std::pair{"hide", &r.engine.hidden}, std::pair{"close", &r.engine.quit}}) {
        *flag = false;
        r.multiTypes->childClicked(command);
        EXPECT_TRUE(*flag) << command;
        EXPECT_EQ(r.ui.activePage(), r.multiTypes) << command;
    }
}

TEST(ImagesPage, CellsRowsAndTheChoice) {
    // Seven icons: two type icons (the styles repeat one) and five files.
    Rig r([](Rig& rig) {
        rig.home.write("icons.txt", "a.bmp\nb.bmp\nc.bmp\nd.bmp\ne.bmp");
        for (const char* name : {"a", "b", "c", "d", "e"})
            rig.styles.loadable.insert(std::string("pois/icons/") + name + ".bmp");
    });
    ASSERT_EQ(r.waypoints->icons().size(), 7u);
    const std::int32_t point = r.addPoint(u"p", UserDataTest::FuelType);
    r.images->prepare(point);
    r.open(r.images);
    fdPageImagesX::ImagesList& model = *r.images->model();
    EXPECT_EQ(model.cellsPerRow(), 6);
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(model.selection(), -1);
    r.images->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.images) << "nothing chosen";

    // A tap on a cell reports at its release, through the row.
    Ui::fdList* grid = r.listOf(r.images);
    EXPECT_TRUE(grid->rowWidget(1)->findChild("0")->visible());
    EXPECT_FALSE(grid->rowWidget(1)->findChild("1")->visible()) << "past the icons";
    auto tapCell = [&](int row, const char* cell) {
        grid->releaseClick = true;
        grid->rowWidget(std::size_t(row))->childClicked(cell);
    };
    tapCell(0, "3");
    EXPECT_EQ(model.selection(), 3);
    EXPECT_TRUE(child<Ui::fdCheckedButton>(grid->rowWidget(0), "3")->checked());
    tapCell(1, "0");
    EXPECT_EQ(model.selection(), 6);
    EXPECT_FALSE(child<Ui::fdCheckedButton>(grid->rowWidget(0), "3")->checked()) << "one cell checked at most";
    tapCell(0, "3");
    r.images->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.map);
    EXPECT_EQ(r.waypoints->storedPoint(std::size_t(point)).imageUrl, u"b.bmp");
    EXPECT_EQ(r.waypoints->pointImage(std::size_t(point)), r.waypoints->icons()[3]);
    r.images->prepare(point);
    EXPECT_EQ(model.selection(), 3);

    // Three cells to a row: the seven icons make three rows, the last with
    // one visible cell.
    Ui::TemplateDescription cells;
    cells.w = 300, cells.h = 50;
    for (int c = 0; c < 3; ++c) {
        const auto kind = UiTest::TestCreator::Checked;
        cells.creators.push_back(std::make_unique<UiTest::TestCreator>(kind, std::to_string(c), c * 100, 0, 100, 50));
        cells.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static,
                                                                       "img_" + std::to_string(c), c * 100, 0, 90, 40));
    }
    auto* threes = new Ui::fdList(r.images, "threes", true, &r.ui, nullptr);
    threes->placeInParent(0, 0, 300, 200);
    threes->buildRows(cells, 4, {});
    fdPageImagesX::ImagesList byThree(*threes, *r.waypoints);
    byThree.refresh();
    EXPECT_EQ(byThree.cellsPerRow(), 3);
    EXPECT_EQ(byThree.count(), 3);
    EXPECT_TRUE(threes->rowWidget(2)->findChild("0")->visible());
    EXPECT_FALSE(threes->rowWidget(2)->findChild("1")->visible());
    EXPECT_FALSE(threes->rowWidget(3)->findChild("0")->visible());
}

// A point stored on a folder that cannot take its file (not a folder, a
// full disk) is one failed write, one line in the log, and one notice.
TEST(WaypointEditor, AStoreThatCannotBeWrittenFailsOnce) {
    for (const bool fullDisk : {false, true}) {
        SCOPED_TRACE(fullDisk ? "full disk" : "not a folder");
        Rig r;
        const auto folder = fullDisk ? r.home / "waypoints" : r.home.write("blocked", "");
        r.waypoints->writeChangesTo(wide(folder));
        r.map->mapPointAction({5000, 7000});
        r.click(r.map, "edit_point", "set");
        r.types->childClicked("button_ok");
        ASSERT_EQ(r.ui.activePage(), r.editor);
        if (r.editor->mode() != EditWayPointPage::Form)
            r.editor->childClicked("ok");
        {
            std::optional<TestSupport::FileSizeLimit> limit;
            if (fullDisk)
                limit.emplace(100);
            r.editor->childClicked("ok");
        }
        ASSERT_EQ(r.waypoints->pointCount(), 1u);
        EXPECT_EQ(r.quiet.countStartingWith("Can't create GPX file '"), 1u);
        EXPECT_NE(r.waypoints->takeWriteError(), 0);
        EXPECT_EQ(r.waypoints->category(0).modified, 1) << "written again at the exit";
    }
}

TEST(WaypointEditor, NewPointFromTheMapTypedAndStored) {
    // Six more groups before the waypoints' own, a page and more of rows.
    Rig r([](Rig& rig) {
        for (std::uint16_t group = 1; group <= 6; ++group) {
            Render::PoiStyle style;
            style.groupId = std::uint16_t(group << 8);
            style.name = std::u16string(1, char16_t(u'A' + group));
            rig.renderStyles.daySet().poiStyles[style.groupId] = style;
        }
    });
    // A tap on the map and "Point": the type chooser with every type, the
    // default one shown chosen, whose "OK" opens the editor on a point of
    // that type.
    r.map->mapPointAction({5000, 7000});
    r.click(r.map, "edit_point", "set");
    ASSERT_EQ(r.ui.activePage(), r.types);
    const auto chosen = r.types->model()->selectedType();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->style->name, u"Flag");
    // Its row is lit, and the light goes with it as the list scrolls: off
    // the page no row is lit (the row stayed lit over another type).
    const Ui::PoiTypesGroupsSingleSelectList& types = *r.types->model();
    const auto lit = [&] {
        const std::int32_t row = r.listOf(r.types)->selectedRow();
        return row < 0 ? -1 : types.firstVisibleIndex() + row;
    };
    const std::int32_t flag = types.selectedIndex();
    ASSERT_GE(flag, types.rowsPerPage());
    EXPECT_EQ(lit(), flag);
    r.types->childClicked("up");
    EXPECT_EQ(types.firstVisibleIndex(), 0);
    EXPECT_EQ(lit(), -1);
    r.types->childClicked("down");
    EXPECT_EQ(lit(), flag);
    r.types->childClicked("button_ok");
    ASSERT_EQ(r.ui.activePage(), r.editor);
    EXPECT_EQ(r.editor->index(), -1);
    EXPECT_EQ(r.editor->point().type, WayPoint::DefaultType);
    EXPECT_EQ(r.editor->point().position, (Map::Point{5000, 7000}));
    const Positioning::DateTime now = Positioning::localDateTime();
    EXPECT_EQ(r.editor->boxText(EditWayPointPage::NameBox).size(), 11u) << "MM-DD hh-mm";
    EXPECT_EQ(r.editor->boxText(EditWayPointPage::NameBox).substr(0, 2),
              Core::utf8ToWide(std::string(1, char('0' + now.month / 10)) + char('0' + now.month % 10)));
    EXPECT_EQ(textOf(r.editor, "type_name"), u"Flag");
    EXPECT_FALSE(r.editor->findChild("send")->visible()) << "no online service";

    // The name box with the on-screen keyboard: the old name erased, a new
    // one typed; "ok" takes the box, then stores the point.
    r.editor->childClicked("name_box");
    ASSERT_NE(r.editor->keyboard(), nullptr);
    EXPECT_TRUE(r.editor->keyboard()->visible());
    EXPECT_FALSE(r.editor->findChild("type_box")->visible());
    for (int i = 0; i < 20; ++i)
        r.editor->keyboard()->childClicked("[bsp]");
    for (const char* key : {"c", "a", "f", "é"})
        dynamic_cast<Ui::TemplateWindow*>(r.editor->keyboard())->Ui::TemplateWindow::childClicked(key);
    EXPECT_EQ(textOf(r.editor, "name_text"), u"café");
    r.editor->childClicked("ok");
    EXPECT_EQ(r.editor->mode(), EditWayPointPage::Form);
    EXPECT_EQ(r.waypoints->pointCount(), 0u) << "nothing stored before the form's ok";
    r.editor->childClicked("ok");
    ASSERT_EQ(r.waypoints->pointCount(), 1u);
    EXPECT_EQ(r.waypoints->point(0).name, u"café");
    EXPECT_EQ(r.waypoints->storedPoint(0).category, 0);
    EXPECT_EQ(r.ui.activePage(), r.map);
    EXPECT_EQ(r.list->typeFilter(), WayPoint::DefaultType);
    EXPECT_EQ(r.list->model()->selectedItem(), 0) << "the list shows the new point chosen";

    // Written at shutdown into a valid GPX file.
    r.waypoints->save(wide(r.home / "waypoints"));
    const auto file = r.home / "waypoints" / "(Точки).gpx";
    EXPECT_NE(fileBytes(file).find("<name>café</name>"), std::string::npos);
    UserDataTest::expectValidGpx(file);
}

TEST(WaypointEditor, EmptyNameBoxesKeysAndTheKeptImage) {
    Rig r([](Rig& rig) {
        rig.home.write("icons.txt", "a.bmp");
        rig.styles.loadable = {"pois/icons/a.bmp"};
    });
    r.editor->setNewPoint({1, 2});
    r.open(r.editor);
    // An emptied name: "ok" stores nothing and the page stays.
    r.editor->childClicked("name_box");
    for (int i = 0; i < 20; ++i)
        r.editor->keyDown(SDLK_BACKSPACE);
    r.editor->childClicked("ok");
    r.editor->childClicked("ok");
    EXPECT_EQ(r.waypoints->pointCount(), 0u);
    EXPECT_EQ(r.ui.activePage(), r.editor);
    // Tab steps through the boxes; Escape drops the edits of the box.
    r.editor->childClicked("url_box");
    r.editor->keyDown(SDLK_TAB);
    EXPECT_EQ(r.editor->mode(), EditWayPointPage::NameBox);
    r.editor->keyDown(SDLK_TAB);
    // The clipboard is the process's own: set here, whatever ran before.
    Clipboard::copy(nullptr, u"pasted ");
    r.editor->childClicked("paste");
    r.ui.setKeyEvent(0, u'x');
    EXPECT_TRUE(r.editor->keyDown('x'));
    EXPECT_EQ(r.editor->boxText(EditWayPointPage::CommentBox), u"pasted x");
    EXPECT_TRUE(r.editor->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.editor->mode(), EditWayPointPage::Form);
    EXPECT_EQ(r.editor->boxText(EditWayPointPage::CommentBox), u"");
    EXPECT_FALSE(r.editor->keyDown('x')) << "keys are the form's own";

    // A new point is stored when an image is chosen for it; the image stays
    // after the type is chosen and "ok".
    r.editor->setType(UserDataTest::FuelType);
    r.editor->childClicked("url_box");
    r.ui.setKeyEvent(0, u'w');
    r.editor->keyDown('w');
    r.editor->keyDown(SDLK_RETURN);
    r.editor->childClicked("name_box");
    r.ui.setKeyEvent(0, u'n');
    r.editor->keyDown('n');
    r.editor->keyDown(SDLK_KP_ENTER);
    r.editor->childClicked("select_image");
    ASSERT_EQ(r.waypoints->pointCount(), 1u);
    EXPECT_EQ(r.ui.activePage(), r.images);
    r.listOf(r.images)->releaseClick = true;
    r.listOf(r.images)->rowWidget(0)->childClicked("2");
    r.images->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.editor);
    r.editor->childClicked("ok");
    const StoredWayPoint& stored = r.waypoints->storedPoint(0);
    EXPECT_EQ(stored.name, u"n");
    EXPECT_EQ(stored.url, u"w");
    EXPECT_EQ(stored.type, UserDataTest::FuelType);
    EXPECT_EQ(stored.imageUrl, u"a.bmp");
    EXPECT_EQ(stored.imageIndex, 2) << "the chosen image is kept";

    // Choosing an image stores a new point even when "back" follows.
    r.editor->setNewPoint({3, 4});
    r.open(r.editor);
    r.editor->childClicked("select_image");
    r.images->childClicked("back");
    r.editor->childClicked("back");
    EXPECT_EQ(r.waypoints->pointCount(), 2u);
}

// "copy" in one box and "paste" in another carry the text across.
TEST(WaypointEditor, CopyFromOneBoxPasteIntoAnother) {
    Rig r;
    r.editor->setNewPoint({1, 2});
    r.open(r.editor);
    const std::u16string name = r.editor->boxText(EditWayPointPage::NameBox);
    ASSERT_FALSE(name.empty());
    r.editor->childClicked("name_box");
    r.editor->childClicked("copy");
    r.editor->childClicked("url_box");
    r.editor->childClicked("paste");
    EXPECT_EQ(r.editor->boxText(EditWayPointPage::UrlBox), name);
    EXPECT_EQ(r.editor->boxText(EditWayPointPage::NameBox), name);
}

TEST(WaypointList, FilteredGoEditDelete) {
    Rig r;
    const std::int32_t fuel = r.addPoint(u"fuel", UserDataTest::FuelType, {40, 50});
    r.addPoint(u"flag", WayPoint::DefaultType);
    // The list is reached through the type chooser with the used types.
    r.types->showUsedTypes();
    r.types->setCallback(std::make_shared<fdPageWPListX::ShowTypedWayPointsCallback>(*r.list, r.ui));
    r.open(r.types);
    r.tapRow(r.types, 0); // fuel comes first by category code
    r.types->childClicked("button_ok");
    ASSERT_EQ(r.ui.activePage(), r.list);
    EXPECT_EQ(r.list->typeFilter(), UserDataTest::FuelType);
    // The default category is stored as "(Точки)" but named in the
    // interface's language.
    EXPECT_EQ(r.waypoints->category(0).name, fdWPManager::DefaultCategory);
    EXPECT_EQ(r.rowText(r.list, 0, "group_text"), u"(Waypoints)");
    EXPECT_EQ(r.rowText(r.list, 1), u"fuel");
    EXPECT_EQ(r.rowText(r.list, 2), u"");

    // Without a point chosen (the category row, which closes and opens
    // the group) nothing happens.
    r.tapRow(r.list, 0);
    EXPECT_EQ(r.rowText(r.list, 1), u"");
    r.tapRow(r.list, 0);
    for (const char* command : {"button_del", "button_go", "button_map"})
        r.list->childClicked(command);
    EXPECT_EQ(r.ui.activePage(), r.list);
    EXPECT_FALSE(r.waypoints->point(std::size_t(fuel)).deleted());

    r.tapRow(r.list, 1);
    r.list->childClicked("button_map");
    ASSERT_EQ(r.ui.activePage(), r.editor);
    EXPECT_EQ(r.editor->index(), fuel);
    r.editor->childClicked("back");
    r.list->childClicked("button_go");
    EXPECT_EQ(r.ui.activePage(), r.map);
    EXPECT_EQ(r.camera.centre(), (Map::Point{40, 50}));
    // The top box names the point that the pop-up's "Delete" removes.
    EXPECT_EQ(textOf(r.map, "upper_box_turn"), u"fuel");
    EXPECT_TRUE(r.map->findChild("edit_point")->findChild("del")->visible());
    EXPECT_EQ(r.waypoints->storedPoint(std::size_t(fuel)).uses, 1u);
    r.open(r.list);
    r.tapRow(r.list, 1);
    // Delete asks first, naming the point; "Keep" and Escape keep it.
    r.list->childClicked("button_del");
    Ui::TemplateWindow* box = r.list->confirmBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(r.list->capture(), box);
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(box->findChild("msg_text"))->text(),
              r.waypoints->point(std::size_t(fuel)).name);
    box->childClicked("no");
    EXPECT_EQ(r.list->confirmBox(), nullptr);
    EXPECT_EQ(r.list->capture(), nullptr);
    r.list->childClicked("button_del");
    ASSERT_NE(r.list->confirmBox(), nullptr);
    EXPECT_TRUE(r.list->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.list->confirmBox(), nullptr);
    EXPECT_EQ(r.ui.activePage(), r.list);
    EXPECT_FALSE(r.waypoints->point(std::size_t(fuel)).deleted());
    r.list->childClicked("button_del");
    r.list->confirmBox()->childClicked("yes");
    EXPECT_EQ(r.list->confirmBox(), nullptr);
    EXPECT_TRUE(r.waypoints->point(std::size_t(fuel)).deleted());
    EXPECT_EQ(r.rowText(r.list, 1), u"");
    // "back" leaves a fresh callback with the chooser.
    r.list->childClicked("back");
    EXPECT_NE(dynamic_cast<fdPageWPListX::ShowTypedWayPointsCallback*>(r.types->callback().get()), nullptr);
}

// A tap on the map next to a waypoint offers its information: its name with
// its type's, and its comment.
TEST(WaypointInformation, ATapNearAWaypointFillsTheInformationPage) {
    Rig r;
    r.renderStyles.selectSet(true);
    auto* info = new fdPagePOIInfoX(&r.ui, &r.messages, &r.renderStyles);
    info->setRect(0, 0, 800, 480);
    ASSERT_TRUE(Ui::buildPage(*info, r.engine.description));
    const std::int32_t gate = r.waypoints->addPoint(u"gate", {1000, 1000}, u"Side door", 0);
    r.waypoints->setType(std::size_t(gate), UserDataTest::FuelType);
    r.camera.setScale(1.0f);
    r.map->mapPointAction({1010, 1000});
    r.click(r.map, "edit_point", "info");
    ASSERT_EQ(r.ui.activePage(), info);
    EXPECT_TRUE(info->hasObject);
    EXPECT_EQ(textOf(info, "text_name"), u"gate (Fuel)");
    EXPECT_EQ(textOf(info, "text_comment"), u"Side door");
    EXPECT_EQ(info->point(), (Map::Point{1000, 1000}));
}

TEST(WaypointList, ReachedFromTheListsMenu) {
    Rig r;
    r.addPoint(u"fuel", UserDataTest::FuelType, {40, 50});
    auto* menu = new fdSearchMenuPage(&r.ui, "pageLists", SearchServices{});
    r.open(menu);
    // A stale callback left on the chooser must not receive the choice.
    auto stale = std::make_shared<Recorder>();
    r.types->setCallback(stale);
    r.types->showAllTypes();
    menu->childClicked("waypoints");
    ASSERT_EQ(r.ui.activePage(), r.types);
    EXPECT_EQ(r.types->model()->groups().size(), 1u) << "only the types the points use";
    r.tapRow(r.types, 0);
    r.types->childClicked("button_ok");
    ASSERT_EQ(r.ui.activePage(), r.list);
    EXPECT_EQ(r.list->typeFilter(), UserDataTest::FuelType);
    // The default category is stored as "(Точки)" but named in the
    // interface's language.
    EXPECT_EQ(r.waypoints->category(0).name, fdWPManager::DefaultCategory);
    EXPECT_EQ(r.rowText(r.list, 0, "group_text"), u"(Waypoints)");
    EXPECT_EQ(r.rowText(r.list, 1), u"fuel");
    EXPECT_TRUE(stale->results.empty());
    r.list->childClicked("back");
    EXPECT_EQ(r.ui.activePage(), menu);
}

TEST(Favourites, BindDriveClearAndTheFile) {
    Rig r;
    const std::int32_t point = r.addPoint(u"job", WayPoint::DefaultType, {0x01020304, -2});
    r.open(r.favourites);
    // An unbound button: the used types, then the waypoint chooser.
    r.favourites->childClicked("btnJob");
    ASSERT_EQ(r.ui.activePage(), r.types);
    r.tapRow(r.types, 0);
    r.types->childClicked("button_ok");
    ASSERT_EQ(r.ui.activePage(), r.chooser);
    EXPECT_EQ(r.rowText(r.chooser, 0, "group_text"), u"(Waypoints)");
    r.chooser->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.chooser) << "no point chosen";
    r.tapRow(r.chooser, 1);
    r.chooser->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.favourites);
    const std::string bytes = fileBytes(r.home / "favorites.kvf");
    ASSERT_EQ(bytes.size(), 82u);
    EXPECT_EQ(bytes.substr(0, 4), "KVFL");
    EXPECT_EQ(UserDataTest::hex(bytes.substr(4, 6)), "00 01 00 00 00 00");
    EXPECT_EQ(UserDataTest::hex(bytes.substr(18, 8)), "04 03 02 01 fe ff ff ff");
    EXPECT_EQ(UserDataTest::hex(bytes.substr(62, 4)), "00 00 00 00");

    // A bound button opens the action page; "Drive here" centres the map
    // even after the waypoint was deleted.
    r.waypoints->deletePoint(std::size_t(point));
    r.favourites->childClicked("btnJob");
    ASSERT_EQ(r.ui.activePage(), r.ui.findPage("pageFvDlg"));
    r.ui.activePage()->childClicked("btnGo");
    EXPECT_EQ(r.ui.activePage(), r.map);
    EXPECT_EQ(r.camera.centre(), (Map::Point{0x01020304, -2}));

    // "Change" rebinds the slot through the choosers and returns to the
    // action page, which then drives to the new place.
    const std::int32_t other = r.addPoint(u"new job", WayPoint::DefaultType, {9, 9});
    r.open(r.favourites);
    r.favourites->childClicked("btnJob");
    r.ui.activePage()->childClicked("btnEdit");
    r.tapRow(r.types, 0);
    r.types->childClicked("button_ok");
    r.tapRow(r.chooser, 1);
    ASSERT_EQ(r.chooser->model()->selectedItem(), other);
    r.chooser->childClicked("button_ok");
    ASSERT_EQ(r.ui.activePage(), r.ui.findPage("pageFvDlg"));
    r.ui.activePage()->childClicked("btnGo");
    EXPECT_EQ(r.camera.centre(), (Map::Point{9, 9}));

    // "Clear" drops the flag only, and a new page reads the file back.
    r.open(r.favourites);
    r.favourites->childClicked("btnJob");
    r.ui.activePage()->childClicked("btnClear");
    EXPECT_EQ(r.ui.activePage(), r.favourites);
    const std::string cleared = fileBytes(r.home / "favorites.kvf");
    EXPECT_EQ(cleared[5], 0);
    EXPECT_EQ(UserDataTest::hex(cleared.substr(18, 8)), "09 00 00 00 09 00 00 00");
    auto* again = new fdPageFavorites(&r.ui, wide(r.home / "favorites.kvf")); // the interface owns it
    EXPECT_FALSE(again->favourites().entry(Favourites::Job).set);
    EXPECT_EQ(again->favourites().entry(Favourites::Job).point, (Map::Point{9, 9}));
    r.favourites->childClicked("menu");
    EXPECT_EQ(r.ui.activePage(), r.ui.findPage("menuMain"));
}

TEST(ReceivedWaypoints, GroupsRecentRemoveAndKeep) {
    Rig r;
    // Bob sent 5 and 3 (3 twice: from him and from Ann), Ann 4 and one
    // without an id.
    r.source->add(7, u"Bob", {{u"b3", 3}, {u"b5", 5}});
    r.source->add(9, u"Ann", {{u"a3", 3}, {u"noid", 0}, {u"a4", 4}});
    r.config.root()->set("online_recent_group_size", 2);
    r.ui.goToPageByName("received_waypoints_list"); // the map opens it only with a service
    ASSERT_EQ(r.ui.activePage(), r.received) << r.ui.activePage()->name();
    ReceivedWayPointsListPage::ReceivedPointsBySenderProvider& p = *r.received->provider();
    ASSERT_EQ(p.categoryCount(), 3u);
    EXPECT_EQ(p.category(0).name, u"Recent");
    EXPECT_EQ(p.category(1).name, u"Ann");
    EXPECT_EQ(p.category(2).name, u"Bob");
    // The recent group holds the two greatest ids, greatest first, and
    // opens first.
    EXPECT_EQ(r.rowText(r.received, 1), u"Bob: b5");
    EXPECT_EQ(r.rowText(r.received, 2), u"Ann: a4");

    // "del" on the recent copy of 4 removes it everywhere and tells the
    // service; 3 moves up into the recent group.
    r.tapRow(r.received, 2);
    r.received->childClicked("del");
    EXPECT_EQ(r.source->seen, std::vector<std::uint32_t>{4});
    EXPECT_EQ(r.rowText(r.received, 2), u"Ann: a3");
    // A point without an id goes from this page only.
    r.received->showSender(9);
    r.tapRow(r.received, 4);
    ASSERT_EQ(r.rowText(r.received, 4), u"noid");
    r.received->childClicked("del");
    EXPECT_EQ(r.source->seen, std::vector<std::uint32_t>{4});
    r.open(r.received);
    EXPECT_EQ(r.received->provider()->pointCount(), 5u) << "b3 b5 a3, and two recent copies";
    EXPECT_TRUE(r.received->model()->isExpanded(1)) << "Ann's group, asked for before, opens";

    // "add" on a recent copy keeps the point under its own name in a
    // category named like its sender, and the map shows it.
    r.tapRow(r.received, 0);
    ASSERT_EQ(r.rowText(r.received, 1), u"Bob: b5");
    r.tapRow(r.received, 1);
    r.received->childClicked("add");
    ASSERT_EQ(r.waypoints->pointCount(), 1u);
    EXPECT_EQ(r.waypoints->point(0).name, u"b5");
    EXPECT_EQ(r.waypoints->point(0).id, 5u);
    EXPECT_EQ(r.waypoints->point(0).type, UserDataTest::FuelType);
    EXPECT_EQ(r.waypoints->category(r.waypoints->storedPoint(0).category).name, u"Bob");
    EXPECT_EQ(r.ui.activePage(), r.map);
    EXPECT_EQ(r.camera.centre(), (Map::Point{50, 7}));
    EXPECT_EQ(r.received->pendingSender(), 7);
    r.open(r.received);
    EXPECT_EQ(r.received->pendingSender(), -1);
    EXPECT_TRUE(r.received->model()->isExpanded(2)) << "Bob's group opens";

    // Without a recent group the sender of the newest point opens first.
    Rig plain;
    plain.source->add(7, u"Bob", {{u"b3", 3}});
    plain.source->add(9, u"Ann", {{u"a8", 8}});
    plain.config.root()->set("online_recent_group_size", 0);
    plain.open(plain.received);
    ASSERT_EQ(plain.received->provider()->categoryCount(), 2u);
    EXPECT_TRUE(plain.received->model()->isExpanded(0));
    EXPECT_FALSE(plain.received->model()->isExpanded(1));

    // A sender far down the list, asked for on the page: the list scrolls
    // to the group and the buttons scroll back up.
    Rig many;
    for (std::uint32_t token = 1; token <= 12; ++token)
        many.source->add(token, (u"Friend " + std::u16string(1, char16_t(u'A' + token))).c_str(), {{u"p", 13 - token}});
    many.config.root()->set("online_recent_group_size", 0);
    many.open(many.received);
    const auto enabled = [&](const char* button) { return many.received->findChild(button)->enabled(); };
    ASSERT_FALSE(enabled("up"));
    ASSERT_TRUE(enabled("down"));
    many.received->showSender(12);
    EXPECT_GT(many.received->model()->firstVisibleIndex(), 0);
    EXPECT_TRUE(enabled("up"));
    EXPECT_FALSE(enabled("down"));
}

// A finger put down on a row and lifted off the list leaves the next tap
// whole: on a cell of the images page, which chooses at the release, and
// on a row of the waypoint list, which acts at the press only.
TEST(ListPages, APressReleasedElsewhereLeavesTheNextTapWhole) {
    Rig r([](Rig& rig) {
        rig.home.write("icons.txt", "a.bmp\nb.bmp\nc.bmp\nd.bmp\ne.bmp");
        for (const char* name : {"a", "b", "c", "d", "e"})
            rig.styles.loadable.insert(std::string("pois/icons/") + name + ".bmp");
    });
    const std::int32_t point = r.addPoint(u"p", UserDataTest::FuelType);
    r.images->prepare(point);
    r.open(r.images);
    Ui::fdList* grid = r.listOf(r.images);
    const Ui::WindowRect row = grid->rowWidget(0)->rect();
    const auto tap = [&](Ui::fdPage* page, int x, int y) {
        page->press(x, y);
        page->release(x, y);
    };
    r.images->press(row.x + 118, row.y + 40); // between the first two cells
    r.images->release(700, 20);
    EXPECT_EQ(r.images->model()->selection(), -1);
    const Ui::WindowRect cell = grid->rowWidget(0)->findChild("3")->rect();
    tap(r.images, cell.x + 10, cell.y + 10);
    EXPECT_EQ(r.images->model()->selection(), 3);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(child<Ui::fdCheckedButton>(grid->rowWidget(0), std::to_string(c).c_str())->checked(), c == 3) << c;

    // A whole tap on the category row, press and release, closes it once.
    r.list->showType(UserDataTest::FuelType);
    r.open(r.list);
    ASSERT_EQ(r.rowText(r.list, 1), u"p");
    const Ui::WindowRect group = r.listOf(r.list)->rowWidget(0)->rect();
    r.list->press(group.x + 10, group.y + 10);
    r.list->release(700, 20);
    tap(r.list, group.x + 10, group.y + 10);
    EXPECT_EQ(r.rowText(r.list, 1), u"");
}

// The buttons that act on a chosen point look dead while none is chosen:
// nothing listed, nothing tapped yet, the point gone.
TEST(ListPages, ButtonsOfAChosenPointLookDeadWithoutOne) {
    Rig r;
    const auto lit = [](Ui::fdPage* page, std::initializer_list<const char*> names) {
        std::string shown;
        for (const char* name : names)
            shown += page->findChild(name)->enabled() ? "1" : "0";
        return shown;
    };
    r.open(r.received);
    EXPECT_EQ(lit(r.received, {"button_go", "add", "del"}), "000") << "nothing received";
    r.ui.goBack();
    r.source->add(7, u"Bob", {{u"b1", 1}});
    r.open(r.received);
    EXPECT_EQ(lit(r.received, {"button_go", "add", "del"}), "000") << "nothing chosen";
    r.tapRow(r.received, 1);
    EXPECT_EQ(lit(r.received, {"button_go", "add", "del"}), "111");
    r.received->childClicked("del");
    EXPECT_EQ(lit(r.received, {"button_go", "add", "del"}), "000") << "the point removed";

    r.addPoint(u"fuel", UserDataTest::FuelType);
    r.list->showType(UserDataTest::FuelType);
    r.open(r.list);
    ASSERT_EQ(r.rowText(r.list, 1), u"fuel");
    EXPECT_EQ(lit(r.list, {"button_go", "button_map", "button_del"}), "000");
    r.tapRow(r.list, 1);
    EXPECT_EQ(lit(r.list, {"button_go", "button_map", "button_del"}), "111");
    r.list->childClicked("button_del");
    r.list->confirmBox()->childClicked("yes");
    EXPECT_EQ(lit(r.list, {"button_go", "button_map", "button_del"}), "000") << "the point deleted";

    // The type chooser of the lists: "OK" is dead while no type is chosen,
    // whether it offers none or offers types and none is tapped yet.
    r.types->showUsedTypes();
    r.types->setCallback(std::make_shared<fdPageWPListX::ShowTypedWayPointsCallback>(*r.list, r.ui));
    r.open(r.types);
    EXPECT_EQ(lit(r.types, {"button_ok"}), "0");
    r.ui.goBack();
    r.addPoint(u"flag", WayPoint::DefaultType);
    r.types->showUsedTypes();
    r.open(r.types);
    EXPECT_EQ(lit(r.types, {"button_ok"}), "0") << "a type kept, none chosen";
    r.types->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.types);
    r.tapRow(r.types, 0);
    EXPECT_EQ(lit(r.types, {"button_ok"}), "1") << "the type chosen";
    // Shown again, the list starts with no type chosen.
    r.types->showUsedTypes();
    r.open(r.types);
    EXPECT_EQ(lit(r.types, {"button_ok"}), "0");
}

// A list page with nothing to list says so with its own message, where the
// page would otherwise be blank; once there is something, the notice goes.
TEST(ListPages, AnEmptyListSaysSo) {
    Rig r;
    struct Case {
        Ui::fdPage* page;
        const char* message;
        std::function<void()> show, add;
    };
    const Case cases[] = {
        // My lists, Waypoints: the types of the stored points (first: the
        // cases below store points).
        {r.types, "waypoints_none",
         [&] {
             r.types->showUsedTypes();
             r.open(r.types);
         },
         [&] { r.addPoint(u"flag", WayPoint::DefaultType); }},
        {r.trackList, "tracks_none", [&] { r.open(r.trackList); }, [&] { r.map->startTrackRecording(); }},
        {r.received, "received_points_none", [&] { r.open(r.received); },
         [&] { r.source->add(7, u"Bob", {{u"b1", 1}}); }},
        {r.chooser, "waypoints_of_type_none",
         [&] {
             r.chooser->showType(UserDataTest::FuelType);
             r.open(r.chooser);
         },
         [&] { r.addPoint(u"fuel", UserDataTest::FuelType); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page->name());
        auto* notice = child<Ui::fdStatic>(c.page, "empty_notice");
        ASSERT_NE(notice, nullptr);
        const std::u16string& expected = r.messages.text(c.message);
        ASSERT_FALSE(expected.empty());
        c.show();
        EXPECT_TRUE(notice->visible());
        std::u16string shown = notice->text();
        std::replace(shown.begin(), shown.end(), u'\n', u' ');
        EXPECT_EQ(shown, expected) << "wrapped at blanks only";
        EXPECT_FALSE(r.listOf(c.page)->visible()) << "no headers of empty groups under the notice";
        r.ui.goBack();
        c.add();
        c.show();
        EXPECT_FALSE(notice->visible());
        EXPECT_TRUE(r.listOf(c.page)->visible());
        EXPECT_GT(r.listOf(c.page)->usedRows, 0u);
        r.ui.goBack();
    }
}
