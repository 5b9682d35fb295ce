// The drive as the driver meets it: the map page built from the shipped
// design over the real map events handler, demo drive, guidance and sensors
// on a copy of the demo town, with one injected clock for all of them.

#include "screens/HandlerCarSource.h"
#include "screens/HandlerNavigation.h"
#include "screens/MapWarnings.h"
#include "screens/SensorsSource.h"
#include "screens/fdPageMapMenu.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/ResourcesPool.h"
#include "core/TempSurface.h"
#include "core/VirtualFs.h"
#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/RouteSimulator.h"
#include "guidance/Sensors.h"
#include "map/AtlasServices.h"
#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "render/RenderStyles.h"
#include "render/fdMapRenderer.h"
#include "routing/AtlasRoute.h"
#include "routing/Minimap.h"
#include "routing/RouteComputation.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <filesystem>

using namespace Screens;

namespace {

Map::Point townPoint(double east, double north) {
    const auto [x, y] = DemoAtlas::globalOf(east, north);
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

struct Silent : Guidance::NaviSounds {
    bool naviOn() const override { return true; }
    bool play(int, const Guidance::Phrase&) override { return true; }
    bool accepts(int) const override { return true; }
};

// Local time for the day/night switch: 04:30 on a December morning, hours
// before sunrise in the town.
struct EarlyClock : Ui::DayNightSwitch::Clock {
    Positioning::DateTime local{7, 12, 2026, 4, 30, 0, 0};
    Positioning::DateTime localNow() override { return local; }
    Positioning::DateTime universalNow() override { return local; }
};

// East along Main Street, over the roundabout and on to the town edge.
struct Drive {
    // shipped: the configuration a first run starts with.
    explicit Drive(bool shipped = false) {
        if (shipped) {
            EXPECT_TRUE(config.load(FileSystem::toWide(std::string(MIREL_DATA_DIR) + "/config.default.xml")));
        }
        Ui::KeyboardLayouts layouts;
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        config.root()->set("win_main_heap", 1024);
        config.root()->set("win_route_heap", 64);
        config.root()->child("Car")->set("gps_latency", 0.0f);
        std::filesystem::create_directories(home / "data");
        std::filesystem::copy(MIREL_DEMO_ATLAS_DIR, home / "demo", std::filesystem::copy_options::recursive);
        Map::AtlasServices services;
        services.paths = std::make_shared<Map::FolderPaths>(FileSystem::toWide(home.path().string()) + u"/");
        services.interMapGraph = std::make_unique<Minimap>();
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
        EXPECT_TRUE(atlas->load(FileSystem::toWide((home / "demo").string())));
        PathPoint from, to;
        Map::Routing::RoadBinding bound;
        EXPECT_TRUE(Guidance::nearestRoadPoint(*atlas, townPoint(-900, 0), from, bound));
        EXPECT_TRUE(Guidance::nearestRoadPoint(*atlas, townPoint(900, 0), to, bound));
        EXPECT_TRUE(Map::Routing::computePath(*atlas, *config.root(), from, to, route.path(), false))
            << Map::Routing::routingResult().status;
        styles.setPoiTypeFlags(0x2A05, true, true); // the cafe on Main Street

        MapDrawing::MapServices view;
        view.hasInputEvent = [](bool) { return false; };
        view.requestExpose = [] {};
        renderer = std::make_unique<MapDrawing::fdMapRenderer>(atlas.get(), camera, config.root(),
                                                               Render::StyleContext{}, view);
        camera.setAnchorFraction(0.5f);
        camera.setViewport(800, 480, 2 * camera.halfFieldOfView());
        camera.setScale(0.01f);
        handler = std::make_unique<Guidance::KVMapEventsHandler>(config.root(), *atlas, route.path(), &sounds,
                                                                 &styles, clock);
        config.root()->set("demo_speed", 72); // 20 m/s
        navigation = std::make_unique<HandlerNavigation>(*handler, &sounds, config.root());
        car = std::make_unique<HandlerCarSource>(*navigation);
        sensors = std::make_unique<Guidance::Sensors>(messages, nullptr, Guidance::SensorsSetup{"", &clock, 0, {}});
        source = std::make_unique<SensorsSource>(*sensors, navigation.get(), atlas.get(), renderer.get());

        ui.setClock([this] { return clock.ticks.load(); });
        new Ui::fdPage(&ui, "menuMain", nullptr);
        fdPageMap::Services s;
        s.config = config.root();
        s.renderer = renderer.get();
        s.atlas = atlas.get();
        s.camera = &camera;
        s.bindings = &bindings;
        s.clock = &dayClock;
        s.messages = &messages;
        s.route = &route;
        s.navigation = navigation.get();
        s.car = car.get();
        s.sensors = source.get();
        page = new fdPageMap(&ui, s);
        page->setRect(0, 0, 800, 480);
        EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        ui.activatePage(page);
    }
    ~Drive() { ui.activatePage(nullptr); }
    // One map page tick 50 ms on, the navigation's frame run and the
    // sensors updated before it as the main loop does.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            clock.ticks += 50;
            navigation->frame();
            sensors->updateAll(source->frame());
            page->tick(clock.ticks);
        }
    }
    void chooseDemo() { page->menu()->itemClicked(2); }
    std::u16string text(const char* name) { return dynamic_cast<Ui::fdStatic*>(page->findChild(name))->text(); }
    bool checked(const char* name) { return dynamic_cast<Ui::fdCheckedButton*>(page->findChild(name))->checked(); }
    double metresFromCar() {
        const Map::Point car = navigation->demo()->carState().position.toGlobal();
        const double dx = double(camera.centre().x) - car.x, dy = double(camera.centre().y) - car.y;
        return std::hypot(dx, dy) / DemoAtlas::unitsPerMetre();
    }

    TestSupport::CaptureLogger quiet;
    DesignEngine engine;
    GuidanceTest::Clock clock;
    // The pictures of the built data folder, read only.
    FileSystem::VirtualFs files{
        FileSystem::toWide(std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path().parent_path().string() + "/")};
    Ui::fdInterface ui{&engine, &files};
    Messages messages;
    Core::Config config;
    Core::ResourcesPool pool{10};
    TestSupport::TempDir home;
    std::unique_ptr<Map::KVAtlas> atlas;
    AtlasRoute route;
    Render::RenderStyles styles;
    MapCamera camera;
    Ui::ButtonBindings bindings{config.root()};
    EarlyClock dayClock;
    std::unique_ptr<MapDrawing::fdMapRenderer> renderer;
    Silent sounds;
    std::unique_ptr<Guidance::KVMapEventsHandler> handler;
    std::unique_ptr<HandlerNavigation> navigation;
    std::unique_ptr<HandlerCarSource> car;
    std::unique_ptr<Guidance::Sensors> sensors;
    std::unique_ptr<SensorsSource> source;
    fdPageMap* page = nullptr;
};

} // namespace

TEST(MapDrive, TheDemoFollowsItsCarWithGuidanceOnAndNoReceiverLit) {
    Drive d;
    d.handler->setNaviOn(false);
    d.page->showPoint(townPoint(2000, 2000), false); // looking elsewhere
    EXPECT_FALSE(d.page->followGps());
    d.chooseDemo();
    ASSERT_TRUE(d.navigation->demoRunning());
    EXPECT_TRUE(d.page->followGps());
    EXPECT_FALSE(d.page->findChild("rotate_camera")->visible());
    EXPECT_TRUE(d.handler->naviOn());
    EXPECT_EQ(d.page->menu()->state(2), 1u);
    d.tick(100);
    EXPECT_LT(d.metresFromCar(), 50.0);
    // The demo's fix is no receiver's.
    EXPECT_FALSE(d.checked("gps_indicator"));
    EXPECT_TRUE(d.checked("navi_indicator"));
}

// The demo design holds a picture for every manoeuvre type and every speed
// limit the warnings name (docs/map-page.md), so neither warning is left
// out in it.
TEST(MapDrive, TheDemoDesignHasEveryWarningPicture) {
    Drive d;
    ManeuverWarn& turn = *d.page->maneuverWarn();
    const auto shown = [](Ui::fdWindowBase& warning, const char* list) {
        return dynamic_cast<Ui::fdMultiStatic&>(*warning.findChild(list)).current();
    };
    for (std::uint32_t type = 1; type <= 33; ++type) {
        EXPECT_TRUE(turn.show(type, 120)) << type;
        EXPECT_EQ(shown(turn, "rotate_image"), maneuverPicture(type)) << type;
    }
    EXPECT_TRUE(turn.showOffRoute(50));
    EXPECT_TRUE(turn.visible());
    ProximityWarn& danger = *d.page->proximityWarn();
    for (std::uint32_t kmh = 0; kmh <= 140; kmh += 10) {
        Map::Proximity::ProximityEvent event;
        event.point.packed = Map::Proximity::Point::pack(1, kmh * 100 / 36, 0, 0);
        event.flags = 500;
        EXPECT_TRUE(danger.show(event, nullptr)) << kmh;
        EXPECT_EQ(shown(danger, "speed_image"), speedPicture(event.point.speedLimit())) << kmh;
    }
    EXPECT_TRUE(danger.visible());
}

// While the demo drives, the frame marks the road of the next manoeuvre
// and the road under the demo's car, both in the map that holds them.
TEST(MapDrive, TheDemoMarksTheNextManoeuvresRoadAndTheCars) {
    Drive d;
    d.chooseDemo();
    const auto indexOf = [&](const Map::KVMap2* map) {
        for (std::size_t i = 0; i < d.atlas->mapCount(); ++i)
            if (d.atlas->mapAt(i) == map)
                return i;
        return d.atlas->mapCount();
    };
    int both = 0;
    for (int i = 0; i < 600 && d.navigation->demoRunning(); ++i) {
        d.tick();
        Guidance::RouteSimulator& demo = *d.navigation->demo();
        const PathPosition& car = demo.cursor();
        if (!demo.navi().maneuverKnown() || demo.navi().outOfPath() || car.isAtEnd())
            continue;
        const PathPart& turnInto = demo.navi().maneuverPosition().currentPart();
        const std::vector<std::uint32_t> expected{turnInto.segmentId, car.currentPart().segmentId};
        if (indexOf(turnInto.map) != indexOf(car.currentPart().map))
            continue;
        ASSERT_EQ(d.page->roadMarks().of(indexOf(turnInto.map)), expected) << i;
        both += turnInto.segmentId != car.currentPart().segmentId;
    }
    EXPECT_GT(both, 20);
}

// The demo's car is the page's own: it drives on while the GPS side or an
// atlas switch holds the car lock, and its warning stays up.
TEST(MapDrive, TheDemoDrivesOnWhileTheCarLockIsHeld) {
    Drive d;
    d.chooseDemo();
    d.tick(40);
    ASSERT_TRUE(d.navigation->demoRunning());
    ASSERT_TRUE(d.page->maneuverWarn()->visible());
    d.handler->lock().takeAll();
    const std::uint32_t before = d.navigation->demo()->navi().distFromStart();
    d.tick(20);
    EXPECT_GT(d.navigation->demo()->navi().distFromStart(), before + 10);
    EXPECT_TRUE(d.page->maneuverWarn()->visible());
    EXPECT_TRUE(d.checked("navi_indicator"));
    d.handler->lock().releaseAll();
}

// "demo_speed" (km/h) is read at each demo start: a speed changed between
// two demos drives the second; one out of range drives at its bound.
TEST(MapDrive, EachDemoStartsAtTheSpeedStoredThen) {
    Drive d;
    for (const auto& [kmh, metresPerSecond] :
         {std::pair{36, 10.0f}, {108, 30.0f}, {500, 200 / 3.6f}, {5, 20 / 3.6f}}) {
        d.config.root()->set("demo_speed", kmh);
        d.chooseDemo();
        ASSERT_TRUE(d.navigation->demoRunning());
        EXPECT_NEAR(d.navigation->demo()->speed(), metresPerSecond, 1e-3f) << kmh;
        d.chooseDemo();
        ASSERT_FALSE(d.navigation->demoRunning());
    }
    EXPECT_TRUE(d.quiet.contains("demo_speed 500 km/h is out of 20..200: 200 is used"));
}

TEST(MapDrive, ARouteChangeOrAnotherPageEndsTheDemo) {
    Drive d;
    d.chooseDemo();
    d.tick(20);
    d.route.path().markChanged();
    d.tick();
    EXPECT_FALSE(d.navigation->demoRunning());
    EXPECT_EQ(d.page->menu()->state(2), 0u);

    d.chooseDemo();
    ASSERT_TRUE(d.navigation->demoRunning());
    d.ui.activatePage(d.ui.findPage("menuMain"));
    EXPECT_FALSE(d.navigation->demoRunning());
    EXPECT_EQ(d.page->menu()->state(2), 0u);
}

TEST(MapDrive, StreetLabelsWarningsAndTheCafeInTime) {
    Drive d;
    // The cafe's icon, as the map's styles give it.
    Render::ImageFromSurface cup(nullptr);
    Render::PoiStyle cafeStyle;
    cafeStyle.icon = &cup;
    d.renderer->styles().daySet().poiStyles[0x2A05] = cafeStyle;
    d.renderer->styles().nightSet().poiStyles[0x2A05] = cafeStyle; // before dawn here
    d.renderer->styles().selectSet(true);
    d.chooseDemo();
    bool streets = false, arrow = false, exit = false, cafe = false;
    for (int i = 0; i < 2400 && d.navigation->demoRunning(); ++i) {
        d.tick();
        Guidance::RouteSimulator& demo = *d.navigation->demo();
        if (d.text("upper_box_turn") == u"Main Street" && d.text("upper_box") == u"Linden Circle")
            streets = true;
        if (d.page->maneuverWarn()->visible() && !d.text("rotate_textbox").empty())
            arrow = true;
        // Entering from the west, the road east is the roundabout's second
        // exit (traffic turns anticlockwise).
        if (d.page->maneuverWarn()->visible() && d.text("rotate_exit") == u"2")
            exit = true;
        // The cafe shows once it counts as incoming, not as soon as the
        // scan found it.
        if (d.page->poiWarn()->visible()) {
            EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(d.page->poiWarn()->findChild("poi_image"))->material().image, &cup);
            cafe = true;
            ASSERT_TRUE(demo.objWarn().headIncoming()) << i;
        }
        if (demo.cursor().isAtEnd() || demo.navi().distToFinish() < 50)
            break;
    }
    EXPECT_TRUE(streets);
    EXPECT_TRUE(arrow);
    EXPECT_TRUE(exit);
    EXPECT_TRUE(cafe);

    // A tap shows its street while its pop-up is open, then the next street
    // of the route comes back.
    d.page->mapPointAction(townPoint(-200, 20));
    const std::u16string street = d.text("upper_box");
    EXPECT_NE(street.find(u": Main Street"), std::u16string::npos) << Core::wideToUtf8(street);
    d.tick(10);
    EXPECT_EQ(d.text("upper_box"), street);
    d.tick(200);
    EXPECT_EQ(d.text("upper_box").find(u": "), std::u16string::npos);
}

TEST(MapDrive, NightComesWithoutAFixAtTheAtlasCentre) {
    Drive d;
    ASSERT_TRUE(d.bindings.dayNight().automatic());
    d.renderer->setDayMode(true);
    d.bindings.dayNight().day = true;
    d.tick(2);
    EXPECT_FALSE(d.renderer->isDay());
    EXPECT_TRUE(d.bindings.dayNight().valid);
}

// The same night start on the main menu, the map never shown nor ticked:
// the step the engine runs behind the menu gives it the night colours at
// once (the engine's side: DriveLog.GuidanceGoesOnBehindEveryPage).
TEST(MapDrive, NightComesToTheMenusBeforeTheMapIsShown) {
    Drive d;
    d.renderer->setDayMode(true);
    d.bindings.dayNight().day = true;
    d.ui.activatePage(d.ui.findPage("menuMain"));
    d.ui.tick(50);
    EXPECT_TRUE(d.renderer->isDay()) << "the menu's tick steps nothing of the map's";
    d.page->dayNightStep();
    EXPECT_FALSE(d.renderer->isDay()) << "the mode the interface's colours follow";
}

TEST(MapDrive, AQuickTapOnPlusOrMinusZoomsOneStep) {
    for (const bool shipped : {false, true}) {
        Drive d(shipped);
        d.tick();
        const float before = d.camera.scale();
        d.page->childPressed("bt3");
        d.tick();
        d.page->childReleased("bt3");
        d.tick(2);
        const float step = d.camera.scale() / before;
        // Held for one tick only, the push barely moves the view; the demo
        // configuration turns on the fixed step of the design (1.4).
        if (shipped) {
            EXPECT_NEAR(step, 1.4f, 0.01f);
        } else {
            EXPECT_LT(step, 1.1f);
        }
    }
}

// What shows together on the map page never overlaps, at the design's size
// and at double size: the page as it drives, with a tapped point's pop-ups,
// and with the map menu open.
TEST(MapDrive, NothingThatShowsTogetherOverlapsAtBothSizes) {
    const std::vector<std::vector<std::string>> together = {
        {"top_bar", "submenu", "compas", "gps_indicator", "navi_indicator", "track_indicator", "monitoring",
         "received_points", "bt3", "bt4", "scale_bg", "sensors", "maneuver", "poiwarn", "proximity", "rotate_camera"},
        {"top_bar", "path_continue", "edit_point", "rotate_camera", "bt3", "bt4", "scale_bg", "sensors", "maneuver",
         "poiwarn", "proximity"},
        {"top_bar", "path_start", "edit_point", "rotate_camera", "bt3", "bt4", "scale_bg", "sensors"},
        {"top_bar", "submenu", "menu", "rotate_camera", "bt3", "bt4", "scale_bg", "sensors"},
    };
    for (const bool big : {false, true}) {
        const int k = big ? 2 : 1;
        DesignEngine engine;
        engine.big = big;
        Ui::KeyboardLayouts layouts;
        const std::string data = MIREL_DATA_DIR;
        std::string text = TestSupport::readAll(data + "/skin/design800x480.xml");
        if (big)
            text.replace(text.find("big=\"0\""), 7, "big=\"1\"");
        ASSERT_TRUE(Ui::readTheme(text, true, FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description,
                                  layouts));
        TestSupport::CaptureLogger quiet;
        Ui::fdInterface ui(&engine, nullptr);
        Core::Config config;
        fdPageMap::Services s;
        s.config = config.root();
        auto* page = new fdPageMap(&ui, s);
        page->setRect(0, 0, static_cast<std::uint16_t>(800 * k), static_cast<std::uint16_t>(480 * k));
        ASSERT_TRUE(Ui::buildPage(*page, engine.description));
        // The map data's credit line lies below the main menu's tiles.
        auto* menu = new Ui::fdPage(&ui, "menuMain", nullptr);
        menu->setRect(0, 0, static_cast<std::uint16_t>(800 * k), static_cast<std::uint16_t>(480 * k));
        ASSERT_TRUE(Ui::buildPage(*menu, engine.description));
        const Ui::fdWindowBase* credit = menu->findChild("copyright");
        ASSERT_NE(credit, nullptr);
        for (const char* tile : {"btnSetup", "info", "close", "l_btnSetup", "l_info", "l_close"})
            EXPECT_LE(menu->findChild(tile)->rect().y + menu->findChild(tile)->rect().h, credit->rect().y) << tile;
        EXPECT_LE(credit->rect().y + credit->rect().h, 480 * k);
        for (const auto& names : together) {
            for (std::size_t i = 0; i < names.size(); ++i)
                for (std::size_t j = i + 1; j < names.size(); ++j) {
                    const Ui::fdWindowBase* a = page->findChild(names[i]);
                    const Ui::fdWindowBase* b = page->findChild(names[j]);
                    ASSERT_NE(a, nullptr) << names[i];
                    ASSERT_NE(b, nullptr) << names[j];
                    const Ui::WindowRect ra = a->rect(), rb = b->rect();
                    const bool apart = ra.x + ra.w <= rb.x || rb.x + rb.w <= ra.x || ra.y + ra.h <= rb.y ||
                                       rb.y + rb.h <= ra.y;
                    EXPECT_TRUE(apart) << names[i] << " and " << names[j] << (big ? " doubled" : "");
                    EXPECT_LE(ra.x + ra.w, 800 * k) << names[i];
                    EXPECT_LE(ra.y + ra.h, 480 * k) << names[i];
                }
        }
    }
}

// Without a fix "To" only places the route's start: the tapped point's
// cursor shows where, and the map is drawn anew so the start's flag shows.
TEST(MapDrive, TheTappedPointShowsAndAStartWithoutAFixRedrawsTheMap) {
    Drive d;
    ASSERT_TRUE(Ui::loadCursors(d.engine.description, d.ui));
    d.route.path().clear();
    d.camera.setCentre(townPoint(-300, 0));
    d.camera.setupForLevel(Map::LevelFrame{});
    d.page->mapPointAction(townPoint(-300, 0));
    ASSERT_TRUE(d.page->tappedRoutePoint().isSet());
    const LevelPoint& at = d.page->tappedRoutePoint().roadPoint;
    xe::Point p;
    ASSERT_TRUE(d.camera.mapToScreen(Map::LevelFrame::of(*at.level).toGlobal({at.x, at.y}), p));
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(s, nullptr, 0xFFFFFF);
    TempSurface clip(32, 0, 0, 0, 0);
    d.page->drawBackground(s, clip);
    int red = 0; // the cursor's ring
    for (int y = std::max(0, p.y - 16); y < std::min(480, p.y + 16); ++y)
        for (int x = std::max(0, p.x - 16); x < std::min(800, p.x + 16); ++x)
            red += UiTest::rgbAt(s, x, y) == 0xEF5350u;
    SDL_FreeSurface(s);
    EXPECT_GT(red, 50);

    d.atlas->view().takeRedrawRequest();
    dynamic_cast<Ui::TemplateWindow*>(d.page->findChild("path_start"))->childClicked("tiny_to");
    EXPECT_EQ(d.route.path().points.size(), 1u);
    EXPECT_NE(d.atlas->view().redrawRequest(), Map::AtlasViewFields::NoRedraw);
}

// The map page costs a frame only when what it shows changed: the engine
// draws after a tick only when the page is left dirty. A scripted minute
// (1200 ticks of 50 ms) idle without GPS, with the car standing under a
// fix every second, and with the car driving east.
TEST(MapDrive, FramesAreDrawnOnlyForChanges) {
    struct Row {
        const char* what;
        bool fixes;
        double metresPerFix;
    };
    for (const Row& row : {Row{"idle without GPS", false, 0.0}, Row{"standing car", true, 0.0},
                           Row{"driving car", true, 15.0}}) {
        SCOPED_TRACE(row.what);
        Drive d;
        SDL_Surface* map = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        TempSurface clip(32, 0, 0, 0, 0);
        d.renderer->setMapSurface(map);
        double east = -600.0;
        int frames = 0, fixes = 0, missed = 0;
        // One tick as the engine runs it: the sensors, the tick, and a frame
        // when the page asks for one.
        const auto tick = [&](int i) {
            if (row.fixes && i % 20 == 0) {
                Positioning::Fix fix;
                const Map::Point p = townPoint(east, 0);
                fix.x = p.x;
                fix.y = p.y;
                fix.heading = 90.0f;
                fix.courseKnown = true;
                fix.speed = static_cast<float>(row.metresPerFix);
                fix.hdop = 1.0f;
                d.handler->onFix(true, fix);
                east += row.metresPerFix;
                ++fixes;
            }
            const Map::Point centre = d.camera.centre();
            const float rotation = d.camera.rotation();
            d.tick();
            const bool changed = !(d.camera.centre() == centre) || d.camera.rotation() != rotation;
            if (!d.ui.dirty()) {
                missed += changed;
                return;
            }
            d.ui.draw(screen, clip, true);
            ++frames;
        };
        for (int i = 0; i < 200; ++i)
            tick(i);
        frames = fixes = 0;
        for (int i = 0; i < 1200; ++i)
            tick(i);
        EXPECT_EQ(missed, 0) << "a moved view was left undrawn";
        if (row.metresPerFix == 0.0) {
            EXPECT_EQ(frames, 0);
        } else {
            // Every fix moves the car; the view glides after it.
            EXPECT_GE(frames, fixes);
            EXPECT_EQ(fixes, 60);
        }
        if (!row.fixes) {
            // A pan moves the view: drawn at once.
            frames = 0;
            d.page->press(400, 240);
            d.page->mouseMove(430, 250);
            tick(1);
            d.page->release(430, 250);
            tick(2);
            EXPECT_EQ(frames, 2);
            // The map menu opening, and closing by itself, shows.
            frames = 0;
            d.page->menu()->showMenu(true, d.clock.ticks, 1000);
            for (int i = 0; i < 30; ++i)
                tick(i);
            EXPECT_FALSE(d.page->menu()->isOpen());
            EXPECT_EQ(frames, 2);
            // Points received: the indicator blinks every 500 ms, a frame
            // for each change of its look.
            d.page->onPointsReceived();
            frames = 0;
            for (int i = 0; i < 40; ++i)
                tick(i);
            EXPECT_EQ(frames, 3);
            // The online service connects and goes: its indicator shows and
            // hides at the next tick.
            for (const bool connected : {true, false}) {
                frames = 0;
                connected ? d.page->onConnected() : d.page->onDisconnected();
                tick(1);
                EXPECT_EQ(d.page->findChild("monitoring")->visible(), connected);
                EXPECT_EQ(frames, 1) << connected;
            }
        }
        d.renderer->setMapSurface(nullptr);
        SDL_FreeSurface(map);
        SDL_FreeSurface(screen);
    }
}

// Three laps of the demo over the same streets, the page drawn whenever it
// asks: the manoeuvre arrows and every other picture of the page are read
// once, however often they come and go.
TEST(MapDrive, PicturesAreReadOncePerDrive) {
    Drive d;
    SDL_Surface* map = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    TempSurface clip(32, 0, 0, 0, 0);
    d.renderer->setMapSurface(map);
    int arrows = 0;
    for (int lap = 0; lap < 3; ++lap) {
        d.chooseDemo();
        ASSERT_TRUE(d.navigation->demoRunning()) << lap;
        for (int i = 0; i < 3000 && d.navigation->demoRunning(); ++i) {
            d.tick();
            arrows += d.page->maneuverWarn()->visible() ? 1 : 0;
            if (d.ui.dirty())
                d.ui.draw(screen, clip, true);
            if (d.navigation->demo()->navi().distToFinish() < 30)
                break;
        }
        if (d.navigation->demoRunning())
            d.chooseDemo(); // stops it
    }
    EXPECT_GT(arrows, 100);
    std::map<std::string, int> loads;
    const std::string prefix = "Image file '";
    for (const std::string& line : d.quiet.lines())
        if (const auto at = line.find(prefix); at != std::string::npos && line.find("' : ", at) != std::string::npos)
            ++loads[line.substr(at + prefix.size(), line.find("' : ", at) - at - prefix.size())];
    EXPECT_TRUE(loads.contains("skin/mv_0.bmp") || loads.contains("skin/mv_1.bmp") || loads.contains("skin/mv_5.bmp"));
    for (const auto& [file, count] : loads)
        EXPECT_EQ(count, 1) << file;
    d.renderer->setMapSurface(nullptr);
    SDL_FreeSurface(map);
    SDL_FreeSurface(screen);
}
