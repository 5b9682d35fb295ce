// The map page built from the shipped demo design with injected time: the
// menu, the commands and their seams to guidance, the stored route's file
// name, the track recording and what a tap finds on the demo atlas.

#include "screens/MapWarnings.h"
#include "screens/SensorsPanel.h"
#include "screens/fdPageMapMenu.h"
#include "screens/fdPagePOIInfoX.h"
#include "screens/fdPagePathListX.h"
#include "screens/fdPageStreetListX.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/ResourcesPool.h"
#include "map/AtlasServices.h"
#include "map/KVAtlas.h"
#include "map/Projection.h"
#include "map/file/SpatialSearchSectionReader.h"
#include "core/Text.h"
#include "map/proximity/MemoryIndex.h"
#include "platform/Error.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/RenderStyles.h"
#include "screens/MapPointLookup.h"
#include "routing/AtlasRoute.h"
#include "routing/RouteComputation.h"
#include "tests/screens/FakeCar.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <fstream>
#include <map>
#include <numbers>

using namespace Screens;

namespace {

struct Navigation : MapNavigation {
    bool active = false, demo = false, demoStarts = false, offRoute = false, sounds = true;
    float metreUnits = 1.0f;
    std::vector<std::string> calls;
    bool toggleNavigation() override { calls.push_back("toggle"); return active = !active; }
    void startNavigation() override { calls.push_back("start"); }
    void applyPendingRoute() override { calls.push_back("apply"); }
    void requestRebuild() override { calls.push_back("rebuild"); }
    bool guidanceActive() override { return active; }
    bool carOffRoute() override { return offRoute; }
    float unitsPerMetre() override { return metreUnits; }
    bool demoRunning() override { return demo; }
    bool startDemo() override { return demo = demoStarts; }
    void stopDemo() override { calls.push_back("stopDemo"); demo = false; }
    bool naviSoundsOn() override { return sounds; }
    void sayNextManeuver() override { calls.push_back("say"); }
    std::optional<Map::Point> incomingObject() override { return std::nullopt; }
};

struct Sensors : MapSensorSource {
    std::map<std::string, std::u16string> values{{"dist_to_maneuver", u"1 km"}, {"time_to_maneuver", u"2 min"},
                                                 {"speed", u"50"}, {"altitude", u"120 m"},
                                                 {"cur_street", u"Main Street"}, {"next_street", u"Mill Lane"}};
    bool hasSensor(const std::string& n) const override { return values.count(n) != 0; }
    std::u16string shortText(const std::string& n) const override { return values.at(n); }
    std::u16string caption(const std::string& n) const override { return u"[" + values.at(n) + u"]"; }
};

Map::Point townPoint(double east, double north) {
    const auto [x, y] = DemoAtlas::globalOf(east, north);
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

using Extra = std::function<void(fdPageMap::Services&)>;

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

struct Rig {
    explicit Rig(int autoHide = 7, const Extra& extra = {}) {
        Ui::KeyboardLayouts layouts;
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        config.root()->set("menu_autohide", autoHide);
        config.root()->set("win_main_heap", 1024);
        std::filesystem::create_directories(home / "data");
        Map::AtlasServices services;
        services.paths = std::make_shared<Map::FolderPaths>(FileSystem::toWide(home.path().string()) + u"/");
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
        ui.setClock([this] { return now; });
        new Ui::fdPage(&ui, "menuMain", nullptr);
        fdPageMap::Services s;
        s.config = config.root();
        s.atlas = atlas.get();
        s.camera = &camera;
        s.messages = &messages;
        s.route = &route;
        s.navigation = &nav;
        s.sensors = &sensors;
        if (extra)
            extra(s);
        page = new fdPageMap(&ui, s);
        page->setRect(0, 0, 800, 480);
        EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        ui.activatePage(page);
    }
    void tickUntil(std::uint32_t until) { while (now + 50 <= until) page->tick(now += 50); }
    bool shown(const char* name) { return page->findChild(name)->visible(); }
    // A copy of the demo town: loading writes the atlas's camera into its folder.
    void loadDemo() {
        std::filesystem::copy(MIREL_DEMO_ATLAS_DIR, home / "demo");
        ASSERT_TRUE(atlas->load(FileSystem::toWide((home / "demo").string())));
    }
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
    TestSupport::TempDir home; // the atlas's program folder
    std::unique_ptr<Map::KVAtlas> atlas;
    MapCamera camera;
    Navigation nav;
    Sensors sensors;
    AtlasRoute route;
    fdPageMap* page = nullptr;
    std::uint32_t now = 1000;
};

} // namespace

TEST(MapCommands, MenuOpensClosesHidesByItselfAndSwitches) {
    for (const auto& [autoHide, openUntil] : {std::pair{7, 7950u}, std::pair{0, 100000u}}) {
        Rig r(autoHide);
        fdPageMap::Menu& menu = *r.page->menu();
        r.page->childClicked("submenu");
        EXPECT_FALSE(r.shown("gps_indicator"));
        r.page->mapPointAction({5, 5}); // ignored while the menu is open
        EXPECT_EQ(r.page->tappedPoint(), Map::Point{});
        r.tickUntil(openUntil);
        EXPECT_TRUE(menu.isOpen()) << autoHide;
        r.tickUntil(openUntil + 50);
        EXPECT_EQ(menu.isOpen(), autoHide == 0);
        if (menu.isOpen())
            r.page->childClicked("submenu");
        EXPECT_FALSE(menu.list().visible());
        EXPECT_TRUE(r.shown("gps_indicator"));
    }
    Rig r;
    fdPageMap::Menu& menu = *r.page->menu();
    menu.itemClicked(0);
    EXPECT_TRUE(r.camera.is3d());
    r.camera.setMode(0); // switched elsewhere: the item shows the current view
    r.page->childClicked("submenu");
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(menu.list().rowWidget(0)->findChild("text"))->text(), u"3D view");
    for (const bool starts : {false, true, false}) { // the third click stops it
        r.nav.demoStarts = starts;
        menu.itemClicked(2);
        EXPECT_EQ(menu.state(2), starts ? 1u : 0u);
    }
    // Only the demo that could not start (no route) says why.
    ASSERT_EQ(r.page->pendingNotices().size(), 1u);
    EXPECT_EQ(r.page->pendingNotices()[0],
              u"The route demo drives along a route: set one first (tap the map, then To).");
    // The panels shown over the map (the sensors, the top box, the scale)
    // are what the map's names and the waypoint names keep clear of;
    // hidden, a panel takes no room.
    const auto covers = [&](const Ui::WindowRect& panel) {
        const std::vector<Render::OrientedBox> boxes = r.page->coveredBoxes();
        return std::any_of(boxes.begin(), boxes.end(), [&](const Render::OrientedBox& box) {
            return box.centreX - box.halfWidth == panel.x + 0.5f &&
                   box.centreY + box.halfHeight == panel.y + panel.h - 0.5f;
        });
    };
    const Ui::WindowRect panel = r.page->sensorsPanel()->rect();
    ASSERT_TRUE(r.page->sensorsPanel()->visible());
    ASSERT_EQ(r.page->coveredBoxes().size(), 3u);
    EXPECT_TRUE(covers(panel));
    for (const char* shown : {"top_bar", "scale_bg"})
        EXPECT_TRUE(covers(r.page->findChild(shown)->rect())) << shown;
    EXPECT_FALSE(covers(r.page->findChild("status_bg")->rect())) << "no status line, no panel";
    menu.itemClicked(3);
    EXPECT_FALSE(r.page->sensorsPanel()->visible());
    EXPECT_FALSE(covers(panel));
    EXPECT_EQ(r.page->coveredBoxes().size(), 2u);
    EXPECT_FALSE(r.config.root()->value("map_sensors_visible", true));
    menu.list().select(4); // the highlighted row runs through "menu"
    r.page->childClicked("menu");
    EXPECT_EQ(r.ui.activePage(), r.ui.findPage("menuMain"));
    // Back on the map the menu opens with no row highlighted.
    r.ui.activatePage(r.page);
    r.page->childClicked("submenu");
    EXPECT_EQ(menu.list().selectedRow(), -1);
}

TEST(MapCommands, CommandsReachGuidanceAndTheDialog) {
    Rig r;
    struct Case {
        bool demo, offRoute, sounds, maneuver;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {true, false, true, false, {"stopDemo"}}, // "navi_indicator"
        {false, false, true, false, {"toggle"}},
        {false, true, true, true, {"toggle", "rebuild"}}, // "maneuver", guidance on
        {false, false, true, true, {"toggle", "say"}},
        {false, false, false, true, {"toggle"}},
    };
    for (const Case& c : cases) {
        Rig g;
        g.route.path().points.resize(1);
        if (c.maneuver)
            g.page->childClicked("navi_indicator");
        g.nav.demo = c.demo;
        g.nav.offRoute = c.offRoute;
        g.nav.sounds = c.sounds;
        if (c.maneuver)
            g.page->maneuverWarn()->childClicked("rotate_image");
        else
            g.page->childClicked("navi_indicator");
        EXPECT_EQ(g.nav.calls, c.calls);
    }

    // Fewer than two route points: nothing to store. The dialog captures
    // the page's input until its button is clicked.
    r.route.path().points.resize(1);
    r.click("path_continue", "add_path");
    EXPECT_EQ(r.dialogText(), u"There is no route to save.");
    EXPECT_EQ(r.page->capture(), r.page->findChild("ok_dialog"));
    r.click("ok_dialog", "mb");
    EXPECT_EQ(r.page->capture(), nullptr);
    EXPECT_FALSE(r.shown("ok_dialog"));
    // Two points but no atlas folder to store in: the failure is told.
    r.route.path().points.resize(2);
    r.click("path_continue", "add_path");
    EXPECT_EQ(r.dialogText(), u"The route could not be saved.");
}

TEST(MapCommands, PathButtonsReportTheRoutingStatus) {
    // A tap off every road leaves an unset route point: the requests that
    // compute fail with "no road", and guidance is still started.
    // Route points, pop-up, button, the dialog shown (empty: none); the
    // demo stops first and guidance starts except after "del".
    const std::u16string noRoad = u"No road was found near the point.";
    for (const auto& [points, window, child, dialog] :
         {std::tuple{0, "path_start", "tiny_to", u""}, std::tuple{1, "path_continue", "tiny_to", noRoad.c_str()},
          std::tuple{1, "path_continue", "continue", noRoad.c_str()},
          std::tuple{1, "path_continue", "set_inter", noRoad.c_str()}, std::tuple{1, "path_continue", "del", u""}}) {
        Rig r;
        r.nav.demo = true;
        r.route.path().points.resize(points);
        dynamic_cast<Ui::fdStatic*>(r.page->findChild("upper_box"))->setText(u"old");
        r.page->mapPointAction({100, 100});
        EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(r.page->findChild("upper_box"))->text(), u""); // no road near
        r.click(window, child);
        const bool del = std::string(child) == "del";
        EXPECT_EQ(r.nav.calls, (del ? std::vector<std::string>{"stopDemo"} : std::vector<std::string>{"stopDemo", "start"}));
        EXPECT_EQ(r.shown("ok_dialog") ? r.dialogText() : u"", dialog) << child;
        EXPECT_FALSE(r.shown(window));
        // Without a car position "To" only sets the start: a line over the
        // map says so, without capturing the next tap; the next path
        // command takes it away.
        const bool startOnly = points == 0 && std::string(child) == "tiny_to";
        EXPECT_EQ(r.shown("status_line"), startOnly) << child;
        EXPECT_EQ(r.shown("status_bg"), startOnly) << child;
        if (startOnly) {
            std::u16string line = dynamic_cast<Ui::fdStatic*>(r.page->findChild("status_line"))->text();
            std::replace(line.begin(), line.end(), u'\n', u' ');
            EXPECT_EQ(line,
                      u"There is no GPS position yet: the route starts here. Tap the destination and choose "
                      u"\"To\".");
            EXPECT_EQ(r.page->capture(), nullptr);
            r.page->mapPointAction({100, 100});
            r.click("path_continue", "del");
            EXPECT_FALSE(r.shown("status_line"));
        }
    }
}

TEST(MapCommands, SensorNamesFallBackToTheDefaultThree) {
    const std::array<std::string, 3> standard{"dist_to_maneuver", "time_to_maneuver", "speed"};
    for (const auto& [text, names] :
         {std::pair{"speed;altitude;dist_to_maneuver", std::array<std::string, 3>{"speed", "altitude", "dist_to_maneuver"}},
          std::pair{"speed;altitude", standard}, std::pair{"speed;altitude;speed;speed", standard},
          std::pair{"speed;altitude;warp", standard}, std::pair{";;", standard}}) {
        Rig r(7, [&](fdPageMap::Services& s) { s.config->set("map_sensors_names", std::string(text)); });
        EXPECT_EQ(r.page->sensorsPanel()->names(), names) << text;
        r.page->tick(r.now);
        const auto label = [&](const char* name) {
            return dynamic_cast<Ui::fdStatic*>(r.page->sensorsPanel()->findChild(name))->text();
        };
        EXPECT_EQ(label("sensor3"), r.sensors.values.at(names[0]));
        EXPECT_EQ(label("sensor1"), r.sensors.values.at(names[2]));
        // Each value under its sensor's name.
        EXPECT_EQ(label("sensor3_caption"), u"[" + r.sensors.values.at(names[0]) + u"]");
        EXPECT_EQ(label("sensor2_caption"), u"[" + r.sensors.values.at(names[1]) + u"]");
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
    Core::Config config;
    UserDataTest::ManualClock clock;
    fdTrackManager tracks(FileSystem::toWide(dir.path().string()), config.root(), clock);
    Rig r(7, [&](fdPageMap::Services& s) { s.tracks = &tracks; });
    auto* button = dynamic_cast<Ui::fdCheckedButton*>(r.page->findChild("track_indicator"));
    button->setChecked(true);
    r.page->stopTrackRecording(); // nothing records: the indicator stays
    EXPECT_TRUE(button->checked());
    r.page->startTrackRecording();
    r.page->startTrackRecording();
    EXPECT_TRUE(tracks.isRecording());
    EXPECT_EQ(tracks.trackCount(), 1u);
    tracks.onFix(true, UserDataTest::walkFix(0)); // a recording without a point leaves no track
    button->toggle(); // the user's click
    r.page->childClicked("track_indicator");
    EXPECT_FALSE(tracks.isRecording());
    r.page->stopTrackRecording();
    EXPECT_FALSE(button->checked());
    // Started and stopped from code (the menu, a restart), the indicator follows.
    r.page->startTrackRecording();
    EXPECT_TRUE(button->checked());
    tracks.onFix(true, UserDataTest::walkFix(1));
    r.page->stopTrackRecording();
    EXPECT_FALSE(button->checked());
    EXPECT_EQ(tracks.trackCount(), 2u);
}

// A full or unwritable disk: REC is not shown as recording, and the driver
// reads why, whether the file cannot be made or stops taking points.
TEST(MapCommands, ATrackThatCannotBeWrittenIsNotShownAsRecording) {
    TestSupport::TempDir dir;
    Core::Config config;
    config.root()->set("tracker_state", 2);
    UserDataTest::ManualClock clock;
    dir.write("not-a-folder", "x");
    fdTrackManager blocked(FileSystem::toWide((dir.path() / "not-a-folder").string()), config.root(), clock);
    fdTrackManager tracks(FileSystem::toWide(dir.path().string()), config.root(), clock);
    fdTrackManager* used = &blocked;
    Rig r(7, [&](fdPageMap::Services& s) { s.tracks = used; });
    auto* button = dynamic_cast<Ui::fdCheckedButton*>(r.page->findChild("track_indicator"));
    const std::u16string text = r.messages.text("map_track_write_err");
    ASSERT_FALSE(text.empty());

    button->setChecked(true); // the user's click
    r.page->childClicked("track_indicator");
    EXPECT_FALSE(blocked.isRecording());
    EXPECT_FALSE(button->checked());
    // Told with the system's reason (a file where its folder should be),
    // at the page's next tick.
    r.tickUntil(r.now + 50);
    EXPECT_TRUE(r.shown("ok_dialog"));
    ASSERT_NE(blocked.recordingError(), 0);
    EXPECT_EQ(Core::wideToUtf8(r.dialogText()),
              Core::wideToUtf8(text) + "\n(" + Platform::errorText(blocked.recordingError()) + ")");
    EXPECT_NE(Platform::errorText(blocked.recordingError()), "");

    Rig second(7, [&](fdPageMap::Services& s) { s.tracks = &tracks; });
    auto* rec = dynamic_cast<Ui::fdCheckedButton*>(second.page->findChild("track_indicator"));
    second.page->startTrackRecording();
    ASSERT_TRUE(rec->checked());
    second.tickUntil(second.now + 200);
    EXPECT_TRUE(rec->checked()) << "nothing failed yet";
    {
        TestSupport::FileSizeLimit limit(100);
        for (std::uint32_t i = 0; i <= TrackFile::RecordsPerWrite; ++i)
            tracks.onFix(true, UserDataTest::walkFix(static_cast<int>(i)));
    }
    second.tickUntil(second.now + 100);
    EXPECT_FALSE(tracks.isRecording());
    EXPECT_FALSE(rec->checked());
    EXPECT_EQ(Core::wideToUtf8(second.dialogText()), Core::wideToUtf8(text) + "\n(File too large)");
}

TEST(MapCommands, WaypointReachShrinksAsTheViewZoomsIn) {
    // Pixels to map units at s pixels per unit: floor(pixels / s + 0.5).
    EXPECT_EQ(fdPageMap::mapRadius(20, 3.0f) * 10 + fdPageMap::mapRadius(5, 2.0f), 73);
    EXPECT_EQ(fdPageMap::mapRadius(20, 0.0f), 0);

    UserDataTest::FakeStyles styles;
    fdWPManager waypoints(&styles, u"");
    const auto category = static_cast<std::uint8_t>(waypoints.addCategory(u"Home"));
    ASSERT_GE(waypoints.addPoint(u"gate", {1000, 1000}, u"", category), 0);
    // Pixels per unit and tap x; the reach is 20 pixels.
    for (const auto& [scale, x] : {std::pair{1.0f, 1015}, std::pair{2.0f, 1015}, std::pair{1.0f, 1030}}) {
        Rig r(7, [&](fdPageMap::Services& s) { s.waypoints = &waypoints; });
        r.camera.setScale(scale);
        r.page->mapPointAction({x, 1000});
        const bool near = scale == 1.0f && x == 1015;
        EXPECT_EQ(r.page->findChild("edit_point")->findChild("del")->visible(), near) << scale << " " << x;
        r.click("edit_point", "del");
        EXPECT_EQ(waypoints.findNearestPoint({1000, 1000}, 1) >= 0, !near);
        if (near) { // back for the next case
            ASSERT_GE(waypoints.addPoint(u"gate", {1000, 1000}, u"", category), 0);
        }
    }
}

TEST(MapCommands, TapPrefersPoiThenWaypointThenDangerPointThenAddress) {
    // Demo town placement: metres east and north of the centre to global units.
    const double unitsPerMetre = 107.29286 / std::cos(50.0 * std::numbers::pi / 180.0);
    const double centreX = 10.0 / 180.0 * 2147483648.0;
    const double centreY = std::log(std::tan(std::numbers::pi / 4 + 50.0 * std::numbers::pi / 360.0)) /
                           std::numbers::pi * 2147483648.0;
    auto at = [&](double east, double north) {
        return Map::Point{static_cast<std::int32_t>(std::llround(centreX + east * unitsPerMetre)),
                          static_cast<std::int32_t>(std::llround(centreY + north * unitsPerMetre))};
    };
    const Map::Point cafe = at(-200, 20), empty = at(-800, -800);
    using Kind = MapPointFind::Kind;
    const std::u16string cafeAddress = u"Cafe Central \u00B7 Address: Main Street 12, Linden";
    // At 1/100 pixel per unit the POI reach is 5000 units, the waypoint's
    // 2000. Tap offset east of the base in pixels; waypoint and danger point
    // 10 pixels further east when set.
    struct Case {
        Map::Point base;
        int pixels;
        bool waypoint, danger;
        Kind kind;
        std::u16string address;
    };
    for (const Case& c : std::vector<Case>{
             {cafe, 40, true, true, Kind::Poi, cafeAddress},
             {cafe, 50, false, false, Kind::Poi, cafeAddress},
             // Past the POI's reach: the nearest house (Main Street 21 lies
             // at 150 m west, 15 m north) gives the address.
             {cafe, 51, false, true, Kind::DangerPoint, u"Address: Main Street 21, Linden"},
             // The waypoint goes by its name.
             {cafe, 60, true, true, Kind::Waypoint, u"gate \u00B7 Address: Main Street 21, Linden"},
             {empty, 0, false, true, Kind::DangerPoint, u""},
             {empty, 0, false, false, Kind::Nothing, u""},
         }) {
        UserDataTest::FakeStyles styles;
        fdWPManager waypoints(&styles, u"");
        Map::Proximity::IndexHolder danger;
        const Map::Point tap{c.base.x + c.pixels * 100, c.base.y}, near{tap.x + 1000, tap.y};
        if (c.waypoint) {
            ASSERT_GE(waypoints.addPoint(u"gate", near, u"", static_cast<std::uint8_t>(waypoints.addCategory(u"A"))), 0);
        }
        if (c.danger) {
            auto index = std::make_unique<Map::Proximity::MemoryIndex>();
            index->add({near.x, near.y, 0, 10, 0});
            danger.index = std::move(index);
        }
        Rig r(7, [&](fdPageMap::Services& s) {
            s.waypoints = &waypoints;
            s.dangerPoints = &danger;
        });
        // A copy: loading writes the atlas's camera into its folder.
        std::filesystem::copy(MIREL_DEMO_ATLAS_DIR, r.home / "demo");
        ASSERT_TRUE(r.atlas->load(FileSystem::toWide((r.home / "demo").string())));
        r.camera.setScale(0.01f);
        r.page->mapPointAction(tap);
        const MapPointFind& found = r.page->tappedFind();
        const std::string what = std::to_string(c.pixels) + (c.base == cafe ? " cafe" : " empty");
        EXPECT_EQ(found.kind, c.kind) << what;
        EXPECT_EQ(found.address.texts[0] == u"Cafe Central", c.kind == Kind::Poi) << what;
        EXPECT_EQ(r.page->findChild("edit_point")->findChild("info")->visible(), c.kind != Kind::Nothing) << what;
        // "Delete" acts on what the box names: a waypoint, not one within
        // reach of a POI the box names.
        EXPECT_EQ(r.page->findChild("edit_point")->findChild("del")->visible(), c.kind == Kind::Waypoint) << what;
        EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(r.page->findChild("upper_box_turn"))->text(), c.address) << what;
        r.click("edit_point", "del");
        EXPECT_EQ(waypoints.findNearestPoint(near, 1) >= 0, c.waypoint && c.kind != Kind::Waypoint) << what;
    }
}

// A tap finds the types the map draws with an icon: a styled type by its
// own style and flag; a type of no style, drawn with type 0's icon, while
// type 0 ("Point of interest") is shown, whatever its own flag says.
TEST(MapCommands, ATapFindsTheTypesTheMapDrawsWithAnIcon) {
    Render::RenderStyles styles;
    SDL_Surface* pixels = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const auto icon = Render::ImageFromSurface::owning(pixels);
    for (const std::uint16_t type : {0x0000, 0x2C00, 0x2F01})
        styles.daySet().poiStyles[type].icon = icon.get();
    styles.daySet().poiStyles[0x2E00] = {}; // styled without an icon
    styles.selectSet(true);
    const auto has = [](const std::vector<std::uint16_t>& types, std::uint16_t type) {
        return std::binary_search(types.begin(), types.end(), type);
    };
    const struct {
        bool zero, attraction, unstyled; // the show flags of 0, 0x2C00, 0x2F03
        std::vector<std::uint16_t> found, notFound;
        std::size_t count;
    } rows[] = {
        {false, true, true, {0x2C00}, {0x0000, 0x2F01, 0x2F03, 0x2E00}, 1},
        {false, false, false, {}, {0x0000, 0x2C00, 0x2F03}, 0},
        {true, false, false, {0x0000, 0x2F03, 0x1234, 0xFFFE}, {0x2C00, 0x2F01, 0x2E00, 0x2800, 0xFFFF},
         65531},
        {true, true, true, {0x0000, 0x2C00, 0x2F03}, {0x2F01, 0x2E00, 0x2800}, 65532},
    };
    for (const auto& row : rows) {
        styles.setPoiTypeFlags(0x0000, row.zero, false);
        styles.setPoiTypeFlags(0x2C00, row.attraction, false);
        styles.setPoiTypeFlags(0x2F03, row.unstyled, false);
        const std::vector<std::uint16_t> types = MapPointLookup::tappableTypes(&styles);
        EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));
        EXPECT_EQ(types.size(), row.count) << row.zero << row.attraction << row.unstyled;
        for (const std::uint16_t type : row.found) EXPECT_TRUE(has(types, type)) << std::hex << type;
        for (const std::uint16_t type : row.notFound) EXPECT_FALSE(has(types, type)) << std::hex << type;
    }
}

// On the Monaco atlas a tap on a hotel icon names the hotel and offers its
// information beside the route buttons.
TEST(MapCommands, ATapOnAMonacoPoiNamesItAndOffersItsInformation) {
    Rig r(7);
    TestSupport::TempDir copy;
    std::filesystem::copy(std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path() / "monaco", copy / "monaco",
                          std::filesystem::copy_options::recursive);
    ASSERT_TRUE(r.atlas->load(FileSystem::toWide((copy / "monaco").string())));
    r.camera.setScale(0.0054f); // about 50 m per 40 pixels
    // The Hermitage, 7 pixels off its icon.
    const Map::Point hermitage = Map::Projection::fromGeo(43.73811f, 7.42594f);
    r.page->mapPointAction({hermitage.x + 900, hermitage.y - 900});
    ASSERT_EQ(r.page->tappedFind().kind, MapPointFind::Kind::Poi);
    const std::u16string first = dynamic_cast<Ui::fdStatic*>(r.page->findChild("upper_box_turn"))->text();
    EXPECT_EQ(first.substr(0, 9), u"Hermitage") << Core::wideToUtf8(first);
    // An address wider than the box shows its beginning (a centred text
    // would lose both ends): both street labels slide from offset 0.
    for (const char* name : {"upper_box_turn", "upper_box"}) {
        auto* label = dynamic_cast<Ui::fdSmartLabel*>(r.page->findChild(name));
        ASSERT_NE(label, nullptr) << name;
        label->setText(first + u" · " + first + u" · " + first);
        EXPECT_EQ(label->offset(), 0) << name;
    }
    EXPECT_TRUE(r.shown("edit_point"));
    EXPECT_TRUE(r.page->findChild("edit_point")->findChild("info")->visible());
    EXPECT_TRUE(r.shown("path_start"));
    r.page->closePopup();
    EXPECT_FALSE(r.shown("edit_point"));
}

// A POI's "To" on its information page shows the POI itself at whatever
// zoom the map stands: what stands exactly on its point is the POI, its
// "Info" still offered.
TEST(MapCommands, APoisOwnPointKeepsItsInformation) {
    Rig r(7);
    TestSupport::TempDir copy;
    std::filesystem::copy(std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path() / "monaco", copy / "monaco",
                          std::filesystem::copy_options::recursive);
    ASSERT_TRUE(r.atlas->load(FileSystem::toWide((copy / "monaco").string())));
    auto* info = new fdPagePOIInfoX(&r.ui, &r.messages, nullptr);
    info->setRect(0, 0, 800, 480);
    ASSERT_TRUE(Ui::buildPage(*info, r.engine.description));
    r.camera.setScale(0.0054f); // about 50 m per 40 pixels
    const Map::Point hermitage = Map::Projection::fromGeo(43.73811f, 7.42594f);
    r.page->mapPointAction({hermitage.x + 900, hermitage.y - 900});
    ASSERT_EQ(r.page->tappedFind().kind, MapPointFind::Kind::Poi);
    const std::uint32_t object = r.page->tappedFind().object;
    r.ui.goToPage(info);
    r.camera.setScale(1.35e-5f); // the map at 20 km per 40 pixels
    info->childClicked("to");
    ASSERT_EQ(r.ui.activePage(), r.page);
    EXPECT_EQ(r.page->tappedFind().kind, MapPointFind::Kind::Poi);
    EXPECT_EQ(r.page->tappedFind().object, object);
    EXPECT_TRUE(r.page->findChild("edit_point")->findChild("info")->visible());
    EXPECT_TRUE(info->hasObject);
}

// A tapped point whose marker would lie under its pop-up (the car drawn at
// 1/4 of the height, the tap on the row of "To") goes to the middle of the
// height, the view leaving the car, in 2D and in 3D; one clear of the
// pop-up leaves the view alone. A tap is unprojected where it was made.
TEST(MapCommands, ATappedPointStandsClearOfItsPopup) {
    struct Case {
        bool threeD;
        int y;
        bool moves;
    };
    for (const Case& c : {Case{false, 380, true}, Case{true, 380, true}, Case{true, 200, false}}) {
        SCOPED_TRACE(testing::Message() << (c.threeD ? "3D" : "2D") << " at " << c.y);
        Rig r(7);
        r.loadDemo();
        r.camera.setViewport(800, 480, 2 * r.camera.halfFieldOfView());
        r.camera.setMode(c.threeD ? 1 : 0);
        r.atlas->view().zoomStep = 1;
        r.camera.setAnchorFraction(0.25f);
        r.camera.setScale(0.01f);
        r.camera.updateCameraAngles();
        // Main Street runs east and west through the town's centre.
        const Map::Point street = townPoint(0, 0);
        r.camera.setCentre({street.x, street.y + static_cast<std::int32_t>((360 - c.y) / 0.01f)});
        const Map::LevelFrame frame = Map::LevelFrame::of(r.atlas->maps().front()->level(0));
        r.camera.setupForLevel(frame);
        Map::Point tapped;
        ASSERT_TRUE(r.camera.screenToMap({400, c.y}, tapped));
        xe::Point back;
        ASSERT_TRUE(r.camera.mapToScreen(tapped, back));
        EXPECT_LE(std::abs(back.x - 400) + std::abs(back.y - c.y), 1);
        ASSERT_TRUE(r.page->followGps());
        r.page->press(400, c.y);
        r.page->release(400, c.y);
        ASSERT_TRUE(r.shown("path_start"));
        const std::optional<Map::Point> marker = r.page->markerPoint();
        ASSERT_TRUE(marker);
        r.camera.setupForLevel(frame);
        xe::Point at;
        ASSERT_TRUE(r.camera.mapToScreen(*marker, at));
        std::string covered;
        for (const char* group : {"edit_point", "path_start"})
            for (const Ui::fdWindowBase* button : r.page->findChild(group)->children()) {
                const Ui::WindowRect& b = button->rect();
                if (button->visible() && at.x + 16 > b.x && at.x - 16 < b.x + b.w && at.y + 16 > b.y &&
                    at.y - 16 < b.y + b.h)
                    covered += button->name();
            }
        EXPECT_EQ(covered, "");
        EXPECT_EQ(r.page->followGps(), !c.moves);
        EXPECT_EQ(r.camera.anchorFraction(), c.moves ? 0.5f : 0.25f);
        if (c.moves) {
            EXPECT_EQ(r.camera.centre(), *marker);
            EXPECT_LE(std::abs(at.x - 400) + std::abs(at.y - 240), 1);
        }
    }
}

// "From" starts a new route at the tapped road; guidance takes it at once
// only when the car is within 500 m. "To" from a car off every road starts
// at the tapped road and tells of the failed start: with no failure
// recorded before, "Internal error!". The map page's street box then lists
// the route's streets, and the map, shown again, leaves no way back.
TEST(MapCommands, RouteFromAndToTheTappedRoad) {
    FakeCar car;
    Rig r(7, [&](fdPageMap::Services& s) { s.car = &car; });
    r.loadDemo();
    r.nav.metreUnits = static_cast<float>(DemoAtlas::unitsPerMetre());
    r.camera.setScale(0.01f);
    const Map::Point tap = townPoint(-300, 0);
    // Car metres east of the tap (none below 0), the calls to guidance.
    for (const auto& [east, calls] : {std::pair{-1.0, std::vector<std::string>{"start"}},
                                      std::pair{450.0, std::vector<std::string>{"start", "apply"}},
                                      std::pair{550.0, std::vector<std::string>{"start"}}}) {
        r.route.path().clear();
        car.fix.reset();
        if (east >= 0)
            car.fix = CarFix{townPoint(-300 + east, 0)};
        r.nav.calls.clear();
        r.page->mapPointAction(tap);
        ASSERT_TRUE(r.page->tappedRoutePoint().isSet());
        EXPECT_TRUE(r.shown("path_start"));
        r.click("path_start", "tiny_from");
        EXPECT_EQ(r.nav.calls, calls) << east;
        ASSERT_EQ(r.route.path().points.size(), 1u);
        EXPECT_EQ(r.route.path().points[0].segmentId, r.page->tappedRoutePoint().segmentId);
        EXPECT_EQ(r.route.path().points[0].roadPoint.x, r.page->tappedRoutePoint().roadPoint.x);
    }

    Map::Routing::routingResult() = {};
    car.fix = CarFix{{0, 0}}; // far from the town
    r.route.path().clear();
    r.nav.calls.clear();
    r.page->mapPointAction(tap);
    r.click("path_start", "tiny_to");
    EXPECT_EQ(r.dialogText(), u"Internal error!");
    EXPECT_EQ(r.nav.calls, std::vector<std::string>{"start"});
    EXPECT_EQ(r.route.path().points.size(), 1u);
    r.click("ok_dialog", "mb");

    // From a car on Main Street to the tap: a computed route, taken at once.
    car.fix = CarFix{townPoint(400, 0)};
    r.route.path().clear();
    r.nav.calls.clear();
    r.page->mapPointAction(tap);
    r.click("path_start", "tiny_to");
    EXPECT_FALSE(r.shown("ok_dialog"));
    EXPECT_EQ(r.nav.calls, (std::vector<std::string>{"start", "apply"}));
    EXPECT_EQ(r.route.path().points.size(), 2u);
    EXPECT_FALSE(r.route.path().parts.empty());
    // "Save" stores it in the atlas folder, named after its ends.
    r.page->mapPointAction(tap);
    r.click("path_continue", "add_path");
    EXPECT_FALSE(r.shown("ok_dialog"));
    EXPECT_TRUE(std::filesystem::exists(r.home / "demo" / "Main Street - Main Street.kvp"));

    auto* streets = new fdPageStreetListX(&r.ui, &r.messages, nullptr);
    streets->setRect(0, 0, 800, 480);
    ASSERT_TRUE(Ui::buildPage(*streets, r.engine.description));
    streets->setStreets({{u"old", {1, 2}, 3}});
    r.page->childClicked("upper_box");
    ASSERT_EQ(r.ui.activePage(), streets);
    // West along Main Street, round Linden Circle and on.
    std::vector<std::pair<std::u16string, std::uint32_t>> runs;
    for (const StreetRun& row : streets->streets()->rows)
        runs.emplace_back(row.name, row.lengthMetres);
    EXPECT_EQ(runs, (std::vector<std::pair<std::u16string, std::uint32_t>>{
                        {u"Main Street", 370}, {u"Linden Circle", 92}, {u"Main Street", 270}}));
    auto* list = dynamic_cast<Ui::fdList*>(streets->findChild("list"));
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(list->rowWidget(0)->findChild("text"))->text(), u"Main Street 370 m");
    r.ui.goToPage(r.page);
    EXPECT_TRUE(r.ui.history().empty());

    // With a route and a fix, "To" starts the new route at the car, not at
    // the old route's start (guidance would find the car off it at once).
    car.fix = CarFix{townPoint(600, 0)};
    r.nav.calls.clear();
    r.page->mapPointAction(tap);
    r.click("path_continue", "tiny_to");
    EXPECT_FALSE(r.shown("ok_dialog"));
    EXPECT_EQ(r.nav.calls, (std::vector<std::string>{"start", "apply"}));
    ASSERT_EQ(r.route.path().points.size(), 2u);
    const LevelPoint& start = r.route.path().points[0].roadPoint;
    const Map::Point from = Map::LevelFrame::of(*start.level).toGlobal({start.x, start.y});
    EXPECT_LT(std::abs(from.x - townPoint(600, 0).x), 30 * DemoAtlas::unitsPerMetre());
    EXPECT_LT(std::abs(from.y - townPoint(600, 0).y), 30 * DemoAtlas::unitsPerMetre());
}

// The route files page over the demo town: the saved route is listed and
// chosen, saving again never replaces it, a deleted file leaves the list,
// a loaded one becomes the route and the map shows its start; Escape closes
// the message box first, then leads out.
TEST(RouteFilesPage, SavesListsDeletesAndLoads) {
    Rig r;
    r.loadDemo();
    auto* files = new fdPagePathListX(&r.ui, r.messages, *r.atlas, r.route, nullptr);
    files->setRect(0, 0, 800, 480);
    ASSERT_TRUE(Ui::buildPage(*files, r.engine.description));
    r.ui.goToPage(files);
    const auto boxText = [&] {
        return dynamic_cast<Ui::fdStatic*>(files->messageBox()->findChild("msg_text"))->text();
    };
    ASSERT_TRUE(r.route.startPathAtLocation(*r.atlas, townPoint(400, 0)));
    files->childClicked("button_add_path");
    ASSERT_NE(files->messageBox(), nullptr);
    EXPECT_EQ(boxText(), u"There is no current route.");
    EXPECT_TRUE(r.ui.keyDown(SDLK_ESCAPE));
    EXPECT_EQ(files->messageBox(), nullptr);
    EXPECT_EQ(r.ui.activePage(), files);

    ASSERT_TRUE(r.route.addPathPointAtLocation(*r.atlas, *r.config.root(), townPoint(-300, 0)));
    const Path saved = r.route.path();
    files->childClicked("button_add_path");
    const std::u16string first = u"Main Street - Main Street.kvp", second = u"Main Street - Main Street (2).kvp";
    EXPECT_EQ(files->list()->names(), std::vector<std::u16string>{first});
    EXPECT_EQ(files->list()->selectedName(), first);
    files->childClicked("button_add_path");
    EXPECT_EQ(files->list()->names(), (std::vector<std::u16string>{second, first})) << "by code units";
    EXPECT_EQ(files->list()->selectedName(), second);
    EXPECT_TRUE(std::filesystem::exists(r.home / "demo" / Core::wideToUtf8(second)));
    files->childClicked("button_del_path");
    EXPECT_EQ(files->list()->names(), std::vector<std::u16string>{first});
    EXPECT_FALSE(std::filesystem::exists(r.home / "demo" / Core::wideToUtf8(second)));

    r.route.path().clear();
    files->childClicked("button_ok");
    ASSERT_EQ(r.ui.activePage(), r.page);
    ASSERT_EQ(r.route.path().points.size(), saved.points.size());
    EXPECT_EQ(r.route.path().parts.size(), saved.parts.size());
    const LevelPoint& start = saved.points.front().roadPoint;
    EXPECT_EQ(r.camera.centre(), Map::LevelFrame::of(*start.level).toGlobal({start.x, start.y}));
    r.ui.goToPage(files);
    EXPECT_TRUE(r.ui.keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.ui.activePage(), r.page);

    // Opened again after paging away, the page shows the chosen file.
    for (int i = 0; i < 9; ++i)
        std::filesystem::copy_file(r.home / "demo" / Core::wideToUtf8(first),
                                   (r.home / "demo" / "r").concat(std::to_string(i)).concat(".kvp"));
    r.ui.goToPage(files);
    files->childClicked("down");
    ASSERT_GT(files->list()->firstVisibleIndex(), 0);
    files->childClicked("back");
    r.ui.goToPage(files);
    EXPECT_EQ(files->list()->selectedName(), first);
    EXPECT_EQ(files->list()->firstVisibleIndex(), 0);
    std::filesystem::remove(r.home / "demo" / "r0.kvp");
    files->onShow();
    auto* rows = dynamic_cast<Ui::fdList*>(files->findChild("list"));
    const auto rowText = [&](std::size_t row) {
        return dynamic_cast<Ui::fdStatic*>(rows->rowWidget(row)->findChild("text"))->text();
    };
    EXPECT_EQ(rowText(1), u"r1.kvp");

    // Deleted one by one, the rows show what is left, down to nothing.
    for (std::size_t left = files->list()->names().size(); left-- > 0;) {
        files->childClicked("button_del_path");
        const std::vector<std::u16string>& names = files->list()->names();
        ASSERT_EQ(names.size(), left);
        for (std::size_t row = 0; row < rows->rowCount(); ++row) {
            const std::size_t i = files->list()->firstVisibleIndex() + row;
            EXPECT_EQ(rowText(row), i < names.size() ? names[i] : u"") << left << " left, row " << row;
        }
    }
}

// Taps all over Monaco: the nearest street's box names a street or stays
// empty, never "Nearest street:" with nothing after it (a road without a
// name is nearest to many places).
TEST(MapCommands, TheNearestStreetIsNamedOrLeftOut) {
    Rig r(7);
    TestSupport::TempDir copy;
    std::filesystem::copy(std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path() / "monaco", copy / "monaco",
                          std::filesystem::copy_options::recursive);
    ASSERT_TRUE(r.atlas->load(FileSystem::toWide((copy / "monaco").string())));
    r.camera.setScale(0.0054f);
    int named = 0, empty = 0;
    for (int row = 0; row < 12; ++row)
        for (int column = 0; column < 12; ++column) {
            const Map::Point at = Map::Projection::fromGeo(43.724f + 0.0022f * row, 7.410f + 0.0022f * column);
            r.page->mapPointAction(at);
            const std::u16string text = dynamic_cast<Ui::fdStatic*>(r.page->findChild("upper_box"))->text();
            const std::size_t colon = text.find(u": ");
            if (text.empty()) {
                ++empty;
                continue;
            }
            ASSERT_NE(colon, std::u16string::npos) << Core::wideToUtf8(text);
            EXPECT_LT(colon + 2, text.size()) << row << " " << column << ": " << Core::wideToUtf8(text);
            ++named;
            r.page->closePopup();
        }
    EXPECT_GT(named, 50);
}
