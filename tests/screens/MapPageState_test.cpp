// The map page on the shipped demo design with a renderer and injected time:
// the track indicator follows recordings started and stopped by code, a
// pop-up hides itself after "menu_autohide", a key release keeps or drops
// the rotation as following the car says, and the design's "poi" cursor
// reaches the renderer; the off-route picture waits for the approach to the
// route, and a pop-up covers the sensors panel while it shows.

#include "screens/fdPageMap.h"
#include "screens/FoundObject.h"
#include "screens/MapWarnings.h"
#include "screens/SensorsPanel.h"
#include "screens/fdPageMapMenu.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/ResourcesPool.h"
#include "core/VirtualFs.h"
#include "map/AtlasServices.h"
#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace Screens;

namespace {

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

// Guidance as the test sets it; no car.
struct GuidanceCar : MapCarSource {
    GuidanceState state;
    bool tryTakeCarState() override { return true; }
    void releaseCarState() override {}
    std::optional<CarFix> currentFix() override { return std::nullopt; }
    Positioning::CarState shownCar() override { return {}; }
    float unitsPerMetre() override { return 1.0f; }
    GuidanceState guidance() override { return state; }
    std::optional<WarnedObject> warnedObject() override { return std::nullopt; }
};

// Every sensor known, each reading "1".
struct OneSensors : MapSensorSource {
    bool hasSensor(const std::string&) const override { return true; }
    std::u16string shortText(const std::string&) const override { return u"1"; }
};

struct Rig {
    // pictures: the built data's manoeuvre pictures are in the program
    // folder (the warning shows only a picture the design's list holds).
    explicit Rig(int autoHide = 7, fdTrackManager* tracks = nullptr, bool pictures = false) {
        const std::string data = MIREL_DATA_DIR;
        if (pictures) {
            const std::filesystem::path built =
                std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path().parent_path() / "skin";
            std::filesystem::create_directories(home.path() / "skin");
            for (int i = 0; i < 24; ++i) {
                const std::string name = "mv_" + std::to_string(i) + ".bmp";
                std::filesystem::copy_file(built / name, home.path() / "skin" / name);
            }
        }
        Ui::KeyboardLayouts layouts;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        if (autoHide >= 0) // else the default
            config.root()->set("menu_autohide", autoHide);
        config.root()->set("win_main_heap", 1024);
        home.write("icons/poi.bmp", TestSupport::solidBmp(6, 6, 32, 0xFF00FF00));
        Map::AtlasServices services;
        services.paths = std::make_shared<Map::FolderPaths>(FileSystem::toWide(home.path().string()) + u"/");
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
        MapDrawing::MapServices drawing;
        drawing.hasInputEvent = [](bool) { return false; };
        drawing.requestExpose = [] {};
        renderer = std::make_unique<MapDrawing::fdMapRenderer>(atlas.get(), camera, config.root(),
                                                               Render::StyleContext{}, drawing);
        camera.setAnchorFraction(0.5f);
        camera.setViewport(800, 480, 2 * camera.halfFieldOfView());
        camera.setScale(0.01f);
        ui.setClock([this] { return now; });
        EXPECT_TRUE(ui.registerCursor("poi", "icons/poi.bmp", 2, 5));
        new Ui::fdPage(&ui, "menuMain", nullptr);
        fdPageMap::Services s;
        s.config = config.root();
        s.atlas = atlas.get();
        s.renderer = renderer.get();
        s.camera = &camera;
        s.bindings = &bindings;
        s.messages = &messages;
        s.tracks = tracks;
        s.car = &car;
        s.sensors = &sensors;
        page = new fdPageMap(&ui, s);
        page->setRect(0, 0, 800, 480);
        EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        ui.activatePage(page);
    }
    void tickUntil(std::uint32_t until) { while (now + 50 <= until) page->tick(now += 50); }
    bool shown(const char* name) { return page->findChild(name)->visible(); }

    TestSupport::CaptureLogger quiet;
    TestSupport::TempDir home; // the atlas's program folder and the cursor image
    FileSystem::VirtualFs files{FileSystem::toWide(home.path().string() + "/")};
    DesignEngine engine;
    Ui::fdInterface ui{&engine, &files};
    Messages messages;
    Core::Config config;
    Core::ResourcesPool pool{10};
    std::unique_ptr<Map::KVAtlas> atlas;
    MapCamera camera;
    std::unique_ptr<MapDrawing::fdMapRenderer> renderer;
    Ui::ButtonBindings bindings{config.root()};
    GuidanceCar car;
    OneSensors sensors;
    fdPageMap* page = nullptr;
    std::uint32_t now = 1000;
};

TEST(MapPageState, TheTrackIndicatorFollowsRecordingsStartedByCode) {
    TestSupport::TempDir dir;
    Core::Config config;
    UserDataTest::ManualClock clock;
    fdTrackManager tracks(FileSystem::toWide(dir.path().string()), config.root(), clock);
    Rig r(7, &tracks);
    auto* indicator = dynamic_cast<Ui::fdCheckedButton*>(r.page->findChild("track_indicator"));
    ASSERT_NE(indicator, nullptr);
    EXPECT_FALSE(indicator->checked());
    r.page->startTrackRecording();
    EXPECT_TRUE(tracks.isRecording());
    EXPECT_TRUE(indicator->checked());
    r.page->stopTrackRecording();
    EXPECT_FALSE(tracks.isRecording());
    EXPECT_FALSE(indicator->checked());
}

TEST(MapPageState, APopupHidesItselfAfterTheMenuAutohideTime) {
    for (const auto& [autoHide, until] : {std::pair{7, 8000u}, {3, 4000u}, {0, 60000u}, {-1, 8000u}}) {
        Rig r(autoHide);
        r.page->mapPointAction({100, 100});
        ASSERT_TRUE(r.shown("path_start")) << autoHide;
        EXPECT_FALSE(r.shown("track_indicator")) << "the indicators make way";
        r.tickUntil(until);
        EXPECT_TRUE(r.shown("path_start")) << autoHide << " at " << until;
        r.tickUntil(until + 50);
        EXPECT_EQ(r.shown("path_start"), autoHide == 0) << autoHide;
        EXPECT_EQ(r.shown("track_indicator"), autoHide != 0) << autoHide;
    }
}

TEST(MapPageState, AKeyReleaseTurnsTheMapOnlyWhenNotFollowingTheCar) {
    Rig r;
    // Pressed and released 100 ms later within one frame: the release's
    // own step turns the map.
    const auto turnOnRelease = [&r] {
        const float before = r.camera.rotation();
        r.page->keyDown(SDLK_LEFT);
        r.now += 100;
        r.page->keyUp(SDLK_LEFT);
        return r.camera.rotation() - before;
    };
    ASSERT_TRUE(r.page->followGps());
    EXPECT_EQ(turnOnRelease(), 0.0f);
    r.page->press(100, 100);
    r.page->mouseMove(140, 100);
    r.page->release(140, 100);
    ASSERT_FALSE(r.page->followGps());
    EXPECT_NEAR(std::fabs(turnOnRelease()), 4 * 1.2f * 0.1f, 1e-4f);
}

TEST(MapPageState, AButtonOfThePopupClosesIt) {
    Rig r; // no route to work on: every button only closes
    r.page->mapPointAction({100, 100});
    ASSERT_TRUE(r.shown("path_start"));
    dynamic_cast<Ui::TemplateWindow*>(r.page->findChild("path_start"))->childClicked("tiny_to");
    EXPECT_FALSE(r.shown("path_start"));
    EXPECT_TRUE(r.shown("track_indicator"));
}

// Off the route the picture and its distance show only while the approach
// to the route is tracked: a route left mid-drive has no distance to show.
TEST(MapPageState, TheOffRoutePictureWaitsForTheApproachToTheRoute) {
    Rig r(7, nullptr, true);
    GuidanceState& g = r.car.state;
    g.running = g.hasParts = g.outOfPath = true;
    g.approachOff = true;
    g.approachMetres = 0;
    r.tickUntil(1050);
    EXPECT_FALSE(r.shown("maneuver"));
    g.approachOff = false;
    g.approachMetres = 120;
    r.tickUntil(1100);
    ASSERT_TRUE(r.shown("maneuver"));
    const auto* distance =
        dynamic_cast<const Ui::fdStatic*>(r.page->maneuverWarn()->findChild("rotate_textbox"));
    ASSERT_NE(distance, nullptr);
    EXPECT_NE(distance->text().find(u"120"), std::u16string::npos);
    g.approachOff = true; // back on a road: the approach ends
    r.tickUntil(1150);
    EXPECT_FALSE(r.shown("maneuver"));
}

// A pop-up covers the sensors panel; closing it shows the panel again only
// when the user's choice ("map_sensors_visible") says so.
TEST(MapPageState, APopupHidesTheSensorsPanelAndClosingRestoresTheChoice) {
    Rig r;
    ASSERT_TRUE(r.shown("sensors"));
    r.page->mapPointAction({100, 100});
    ASSERT_TRUE(r.shown("path_start"));
    EXPECT_FALSE(r.shown("sensors"));
    r.tickUntil(8050);
    ASSERT_FALSE(r.shown("path_start"));
    EXPECT_TRUE(r.shown("sensors"));

    r.page->menu()->itemClicked(3); // sensors off
    EXPECT_FALSE(r.shown("sensors"));
    EXPECT_FALSE(r.config.root()->value("map_sensors_visible", true));
    r.page->mapPointAction({100, 100});
    r.page->closePopup();
    EXPECT_FALSE(r.shown("sensors"));
    // Switched on under a pop-up, the panel waits for it to close.
    r.page->mapPointAction({100, 100});
    r.page->menu()->itemClicked(3);
    EXPECT_FALSE(r.shown("sensors"));
    r.page->closePopup();
    EXPECT_TRUE(r.shown("sensors"));
}

// A chosen result's pop-up waits for the driver; "GPS" back to the car ends
// it: the point's buttons go, the page's own controls and the streets in the
// top box come back.
TEST(MapPageState, FollowingTheCarEndsAChosenPointsPopup) {
    Rig r;
    r.tickUntil(1100);
    const auto box = [&r] { return dynamic_cast<Ui::fdStatic*>(r.page->findChild("upper_box_turn"))->text(); };
    ASSERT_EQ(box(), u"1");
    FoundObject found;
    found.kind = 17;
    found.point = {100, 100};
    found.title = u"Casino";
    r.page->showFound(found);
    EXPECT_EQ(box(), u"Casino");
    r.tickUntil(12000);
    EXPECT_FALSE(r.page->followGps());
    for (const char* name : {"path_start", "edit_point", "rotate_camera"})
        EXPECT_TRUE(r.shown(name)) << name;
    for (const char* name : {"submenu", "gps_indicator", "navi_indicator", "track_indicator", "sensors"})
        EXPECT_FALSE(r.shown(name)) << name;
    EXPECT_EQ(box(), u"Casino");

    dynamic_cast<Ui::TemplateWindow*>(r.page->findChild("rotate_camera"))->childClicked("follow_gps");
    for (const char* name : {"path_start", "edit_point", "rotate_camera"})
        EXPECT_FALSE(r.shown(name)) << name;
    for (const char* name : {"submenu", "gps_indicator", "navi_indicator", "track_indicator", "sensors"})
        EXPECT_TRUE(r.shown(name)) << name;
    EXPECT_EQ(box(), u"1");
    EXPECT_TRUE(r.page->followGps());
}

TEST(MapPageState, TheMenuSwitchesBetween3dAnd2d) {
    Rig r;
    ASSERT_NE(r.page->menu(), nullptr);
    for (const bool threeD : {true, false, true}) {
        r.page->menu()->itemClicked(0);
        EXPECT_EQ(r.camera.is3d(), threeD);
        EXPECT_EQ(r.page->menu()->state(0), threeD ? 1u : 0u);
    }
}

TEST(MapPageState, AKeyBoundToAPageOpensIt) {
    Rig r;
    r.bindings.setKey("menuMain", 'm', 0);
    r.page->keyDown('q'); // bound to nothing: the map stays
    EXPECT_EQ(r.ui.activePage(), r.page);
    r.page->keyDown('m');
    EXPECT_EQ(r.ui.activePage(), r.ui.findPage("menuMain"));
}

TEST(MapPageState, TheDesignsPoiCursorReachesTheRenderer) {
    Rig r;
    const MapDrawing::CursorRecord* cursor = r.renderer->poiCursor();
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->image, r.ui.findCursor("poi")->image);
    EXPECT_EQ(cursor->hotX, 2);
    EXPECT_EQ(cursor->hotY, 5);
}

} // namespace
