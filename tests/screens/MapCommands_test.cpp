// The map page built from the shipped demo design with injected time: the
// menu, the commands and their seams to guidance, the stored route's file
// name and the track recording.

#include "screens/MapWarnings.h"
#include "screens/SensorsPanel.h"
#include "screens/fdPageMapMenu.h"

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "map/KVAtlas.h"
#include "core/FileSystem.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"
#include "render/MapCamera.h"
#include "routing/AtlasRoute.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace Screens;

namespace {

struct Navigation : MapNavigation {
    bool active = false, demo = false, demoStarts = false, offRoute = false, sounds = true;
    std::vector<std::string> calls;
    bool toggleNavigation() override { calls.push_back("toggle"); return active = !active; }
    void startNavigation() override { calls.push_back("start"); }
    void applyPendingRoute() override { calls.push_back("apply"); }
    void requestRebuild() override { calls.push_back("rebuild"); }
    bool guidanceActive() override { return active; }
    bool carOffRoute() override { return offRoute; }
    float unitsPerMetre() override { return 1.0f; }
    bool demoRunning() override { return demo; }
    bool startDemo() override { return demo = demoStarts; }
    void stopDemo() override { calls.push_back("stopDemo"); demo = false; }
    bool naviSoundsOn() override { return sounds; }
    void sayNextManeuver() override { calls.push_back("say"); }
    std::optional<Map::Point> incomingObject() override { return std::nullopt; }
};

struct Sensors : MapSensorSource {
    bool hasSensor(const std::string&) const override { return true; }
    std::u16string shortText(const std::string&) const override { return u"1"; }
};

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

struct Rig {
    explicit Rig(int autoHide = 7) {
        Ui::KeyboardLayouts layouts;
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        config.root()->set("menu_autohide", autoHide);
        config.root()->set("win_main_heap", 64);
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool);
        ui.setClock([this] { return now; });
        for (const char* name : {"menuMain", "pageGPS", "sensors"})
            new Ui::fdPage(&ui, name, nullptr);
        fdPageMap::Services s;
        s.config = config.root();
        s.camera = &camera;
        s.atlas = atlas.get();
        s.messages = &messages;
        s.navigation = &nav;
        s.route = &route;
        s.sensors = &sensors;
        page = new fdPageMap(&ui, s);
        page->setRect(0, 0, 800, 480);
        EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        ui.activatePage(page);
    }
    void tickUntil(std::uint32_t until) {
        while (now + 50 <= until)
            page->tick(now += 50);
    }
    bool shown(const char* name) { return page->findChild(name)->visible(); }
    // A click on a child of a template window, as the window reports it.
    void click(const char* window, const char* child) {
        dynamic_cast<Ui::TemplateWindow*>(page->findChild(window))->childClicked(child);
    }
    std::u16string dialogText() {
        return dynamic_cast<Ui::fdStatic*>(page->findChild("ok_dialog")->findChild("msg_text"))->text();
    }
    TestSupport::CaptureLogger quiet;
    DesignEngine engine;
    Ui::fdInterface ui{&engine, nullptr};
    Messages messages;
    Core::Config config;
    Core::ResourcesPool pool{10};
    std::unique_ptr<Map::KVAtlas> atlas;
    MapCamera camera;
    Navigation nav;
    Sensors sensors;
    AtlasRoute route;
    fdPageMap* page = nullptr;
    std::uint32_t now = 1000;
};

} // namespace

TEST(MapCommands, MenuOpensClosesAndHidesByItself) {
    struct Case {
        int autoHide;
        std::uint32_t openUntil; // last tick time the menu is still open
    };
    for (const Case c : {Case{7, 7950}, Case{0, 100000}}) {
        Rig r(c.autoHide);
        fdPageMap::Menu* menu = r.page->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_FALSE(menu->list().visible());
        r.page->childClicked("submenu");
        EXPECT_TRUE(menu->isOpen());
        EXPECT_TRUE(menu->list().visible());
        EXPECT_FALSE(r.shown("gps_indicator"));
        // A tap on the map while the menu is open selects nothing.
        r.page->mapPointAction({5, 5});
        EXPECT_EQ(r.page->tappedPoint(), Map::Point{});
        r.tickUntil(c.openUntil);
        EXPECT_TRUE(menu->isOpen()) << c.autoHide;
        r.tickUntil(c.openUntil + 50);
        EXPECT_EQ(menu->isOpen(), c.autoHide == 0);
        if (menu->isOpen())
            r.page->childClicked("submenu");
        EXPECT_FALSE(menu->list().visible());
        EXPECT_TRUE(r.shown("gps_indicator"));
    }
}

TEST(MapCommands, MenuItemsSwitchAndPersist) {
    Rig r;
    fdPageMap::Menu& menu = *r.page->menu();
    const auto rowText = [&](int row) {
        return dynamic_cast<Ui::fdStatic*>(menu.list().rowWidget(row)->findChild("text"))->text();
    };
    ASSERT_EQ(menu.count(), 5);
    r.page->childClicked("submenu");
    EXPECT_EQ(rowText(0), u"3D view");
    menu.itemClicked(0);
    EXPECT_TRUE(r.camera.is3d());
    EXPECT_FALSE(menu.isOpen());
    // The view switched elsewhere: the item shows the current mode.
    r.camera.setMode(0);
    r.page->childClicked("submenu");
    EXPECT_EQ(rowText(0), u"3D view");

    // The demo item follows whether a demo runs.
    for (const bool starts : {false, true}) {
        r.nav.demoStarts = starts;
        menu.itemClicked(2);
        EXPECT_EQ(menu.state(2), starts ? 1u : 0u);
    }
    menu.itemClicked(2);
    EXPECT_EQ(menu.state(2), 0u);

    ASSERT_TRUE(r.page->sensorsPanel()->visible());
    menu.itemClicked(3);
    EXPECT_FALSE(r.page->sensorsPanel()->visible());
    EXPECT_FALSE(r.config.root()->value("map_sensors_visible", true));
    EXPECT_EQ(menu.state(3), 1u);

    // The highlighted row runs through the "menu" command.
    menu.list().select(4);
    r.page->childClicked("menu");
    EXPECT_EQ(r.ui.activePage(), r.ui.findPage("menuMain"));
}

TEST(MapCommands, CommandsReachGuidanceAndTheDialog) {
    Rig r;
    auto* gps = dynamic_cast<Ui::fdCheckedButton*>(r.page->findChild("gps_indicator"));
    gps->toggle(); // the click's own toggle
    r.page->childClicked("gps_indicator");
    EXPECT_FALSE(gps->checked());
    EXPECT_EQ(r.ui.activePage(), r.ui.findPage("pageGPS"));

    struct Case {
        bool demo, offRoute, sounds;
        const char* command;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {true, false, true, "navi_indicator", {"stopDemo"}},
        {false, false, true, "navi_indicator", {"toggle"}},
        {false, true, true, "maneuver", {"toggle", "rebuild"}},
        {true, true, true, "maneuver", {"toggle"}}, // the demo drives off the route on purpose
        {false, false, true, "maneuver", {"toggle", "say"}},
        {false, false, false, "maneuver", {"toggle"}},
    };
    for (const Case& c : cases) {
        Rig g;
        g.route.path().points.resize(1);
        if (std::string(c.command) == "maneuver")
            g.page->childClicked("navi_indicator");
        g.nav.demo = c.demo;
        g.nav.offRoute = c.offRoute;
        g.nav.sounds = c.sounds;
        if (std::string(c.command) == "maneuver")
            g.page->maneuverWarn()->childClicked("rotate_image");
        else
            g.page->childClicked(c.command);
        EXPECT_EQ(g.nav.calls, c.calls) << c.command;
    }

    // The coordinates of the tapped point in the dialog, which captures
    // the page's input until its button is clicked.
    r.page->showPoint({0, 0}, false);
    r.click("edit_point", "coords");
    EXPECT_EQ(r.dialogText().substr(0, 11), u"Latitude = ");
    EXPECT_EQ(r.page->capture(), r.page->findChild("ok_dialog"));
    r.click("ok_dialog", "mb");
    EXPECT_EQ(r.page->capture(), nullptr);
    EXPECT_FALSE(r.shown("ok_dialog"));

    // Fewer than two route points: nothing to store.
    r.route.path().points.resize(1);
    r.click("path_continue", "add_path");
    EXPECT_EQ(r.dialogText(), u"There is no route to save.");
    // Two points but no atlas folder to store in: the failure is told.
    r.route.path().points.resize(2);
    r.click("path_continue", "add_path");
    EXPECT_EQ(r.dialogText(), u"The route could not be saved.");
}

TEST(MapCommands, PathButtonsReportTheRoutingStatus) {
    // A tap off every road leaves an unset route point: the requests that
    // compute fail with "no road", and guidance is still started.
    struct Case {
        std::size_t points;
        const char* window;
        const char* child;
        std::u16string dialog; // empty: no dialog
        std::vector<std::string> calls;
    };
    const std::u16string noRoad = u"No road was found near the point.";
    const Case cases[] = {
        {0, "path_start", "tiny_to", u"", {"start"}},
        {1, "path_continue", "tiny_to", noRoad, {"start"}},
        {1, "path_continue", "continue", noRoad, {"start"}},
        {1, "path_continue", "set_inter", noRoad, {"start"}},
        {1, "path_continue", "del", u"", {}},
    };
    for (const Case& c : cases) {
        Rig r;
        r.nav.demo = true;
        r.route.path().points.resize(c.points);
        r.page->mapPointAction({100, 100});
        EXPECT_TRUE(r.shown(c.window));
        r.click(c.window, c.child);
        std::vector<std::string> calls{"stopDemo"};
        calls.insert(calls.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(r.nav.calls, calls) << c.child;
        EXPECT_EQ(r.shown("ok_dialog"), !c.dialog.empty()) << c.child;
        if (!c.dialog.empty()) {
            EXPECT_EQ(r.dialogText(), c.dialog);
        }
        EXPECT_FALSE(r.shown(c.window));
    }
}

TEST(MapCommands, StoredRouteNeverOverwritesAnother) {
    TestSupport::TempDir dir;
    const std::u16string folder = FileSystem::toWide(dir.path().string());
    const std::u16string name = u"Main St - Quay.kvp";
    EXPECT_EQ(fdPageMap::freeRouteFile(folder, name), folder + u"/" + name);
    std::ofstream(dir.path() / "Main St - Quay.kvp") << "x";
    std::ofstream(dir.path() / "Main St - Quay (2).kvp") << "x";
    EXPECT_EQ(fdPageMap::freeRouteFile(folder + u"/", name), folder + u"/Main St - Quay (3).kvp");
}

TEST(MapCommands, TrackRecordingStartsAndStopsOnce) {
    TestSupport::TempDir dir;
    Rig r;
    UserDataTest::ManualClock clock;
    fdTrackManager tracks(FileSystem::toWide(dir.path().string()), r.config.root(), clock);
    Positioning::System system(u"", 0, nullptr, [](const Positioning::MessageTexts*) {
        return std::make_unique<Positioning::ReplayPortSystem>();
    });
    auto* indicator = dynamic_cast<Ui::fdCheckedButton*>(r.page->findChild("track_indicator"));
    // Without a track manager nothing records and the indicator stays off.
    indicator->toggle();
    r.page->childClicked("track_indicator");
    EXPECT_FALSE(indicator->checked());

    // With a fix source the page registers the manager; without one the
    // engine keeps it listening.
    for (Positioning::System* source : {&system, static_cast<Positioning::System*>(nullptr)}) {
        fdPageMap::Services s;
        s.tracks = &tracks;
        s.positioning = source;
        auto* page = new fdPageMap(&r.ui, s);
        ASSERT_TRUE(Ui::buildPage(*page, r.engine.description));
        auto* button = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("track_indicator"));
        button->setChecked(true);
        page->stopTrackRecording(); // nothing records: the indicator stays
        EXPECT_TRUE(button->checked());
        page->startTrackRecording();
        page->startTrackRecording();
        EXPECT_TRUE(tracks.isRecording());
        button->toggle(); // the user's click
        page->childClicked("track_indicator");
        EXPECT_FALSE(tracks.isRecording());
        page->stopTrackRecording();
        EXPECT_FALSE(button->checked());
    }
    // One new track per recording, two within the same second apart.
    EXPECT_EQ(tracks.trackCount(), 2u);
    r.ui.activatePage(nullptr);
}

TEST(MapCommands, WaypointReachShrinksAsTheViewZoomsIn) {
    // Pixels to map units at s pixels per unit: floor(pixels / s + 0.5).
    const std::tuple<int, float, int> radii[] = {{50, 0.5f, 100}, {20, 3.0f, 7}, {5, 2.0f, 3}, {20, 0.0f, 0}};
    for (const auto& [pixels, scale, units] : radii) {
        EXPECT_EQ(fdPageMap::mapRadius(pixels, scale), units) << pixels << " " << scale;
    }

    UserDataTest::FakeStyles styles;
    fdWPManager waypoints(&styles, u"");
    const auto category = static_cast<std::uint8_t>(waypoints.addCategory(u"Home"));
    ASSERT_GE(waypoints.addPoint(u"gate", {1000, 1000}, u"", category), 0);
    struct Case {
        float scale; // pixels per unit; the reach is 20 pixels
        Map::Point tap;
        bool del;
    };
    for (const Case c : {Case{1.0f, {1015, 1000}, true}, Case{2.0f, {1015, 1000}, false}, Case{1.0f, {1030, 1000}, false}}) {
        Rig r;
        fdPageMap::Services s;
        s.camera = &r.camera;
        s.waypoints = &waypoints;
        s.config = r.config.root();
        auto* page = new fdPageMap(&r.ui, s);
        ASSERT_TRUE(Ui::buildPage(*page, r.engine.description));
        r.camera.setScale(c.scale);
        page->mapPointAction(c.tap);
        auto* edit = dynamic_cast<Ui::TemplateWindow*>(page->findChild("edit_point"));
        EXPECT_EQ(edit->findChild("del")->visible(), c.del) << c.scale << " " << c.tap.x;
        EXPECT_FALSE(edit->findChild("info")->visible());
        edit->childClicked("del");
        EXPECT_EQ(waypoints.findNearestPoint({1000, 1000}, 1) >= 0, !c.del);
        if (c.del) { // back for the next case
            ASSERT_GE(waypoints.addPoint(u"gate", {1000, 1000}, u"", category), 0);
        }
    }
}
