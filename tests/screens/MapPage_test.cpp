// The map page with injected time: gestures, taps, the car lock, danger
// point sounds, road marks, the car marker and the day/night switch.

#include "screens/fdPageMap.h"

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "core/TempSurface.h"
#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "tests/support/CaptureLogger.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ButtonBindings.h"
#include "ui/SoundPlayer.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <thread>

using namespace Screens;

namespace {

struct FakeCar : MapCarSource {
    bool free = true;
    int taken = 0, released = 0, reads = 0;
    std::optional<CarFix> fix;
    Positioning::CarState car;
    bool tryTakeCarState() override { return free && ++taken > 0; }
    void releaseCarState() override { ++released; }
    std::optional<CarFix> currentFix() override { return fix; }
    Positioning::CarState shownCar() override { return ++reads, car; }
    float unitsPerMetre() override { return 1.0f; }
    GuidanceState guidance() override { return {}; }
    std::optional<WarnedObject> warnedObject() override { return std::nullopt; }
};

struct FakeSound : Ui::SoundPlayer {
    std::vector<std::pair<int, int>> played; // priority, id
    bool menuSoundsOn() const override { return true; }
    bool play(int priority, const std::vector<int>& ids) override { return played.emplace_back(priority, ids.at(0)), true; }
};

struct FakeClock : Ui::DayNightSwitch::Clock {
    Positioning::DateTime local{21, 6, 2026, 12, 0, 0, 0};
    Positioning::DateTime localNow() override { return local; }
    Positioning::DateTime universalNow() override { return local; }
};

// Every point is reported to every query.
struct ListIndex : Map::Proximity::Index {
    std::vector<Map::Proximity::Point> points;
    bool isValid() const override { return true; }
    std::uint32_t layerCount() const override { return 1; }
    std::uint32_t pointCount() const override { return static_cast<std::uint32_t>(points.size()); }
    bool queryIntersecting(const Map::Proximity::Box&, const Map::Proximity::Visitor& v) override {
        for (const auto& p : points)
            v(p);
        return true;
    }
    bool queryContained(const Map::Proximity::Box& b, const Map::Proximity::Visitor& v) override {
        return queryIntersecting(b, v);
    }
    void resetCacheCounters() override {}
    std::pair<std::uint32_t, std::uint32_t> cacheCounters() const override { return {0, 0}; }
};

struct Rig {
    explicit Rig(int fingerTap = 0, bool tibo = false) {
        config.root()->set("win_main_heap", 64);
        config.root()->set("use_tibo_buttons", tibo);
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool);
        MapDrawing::MapServices services;
        services.hasInputEvent = [](bool) { return false; };
        services.requestExpose = [] {};
        renderer = std::make_unique<MapDrawing::fdMapRenderer>(atlas.get(), camera, config.root(),
                                                               Render::StyleContext{}, services);
        camera.setAnchorFraction(0.5f);
        camera.setViewport(800, 480, 2 * camera.halfFieldOfView());
        camera.setScale(0.01f);
        ui = std::make_unique<Ui::fdInterface>(&engine, nullptr);
        ui->setClock([this] { return now; });
        fdPageMap::Services s;
        s.config = config.root();
        s.renderer = renderer.get();
        s.atlas = atlas.get();
        s.camera = &camera;
        s.bindings = &bindings;
        s.sound = &sound;
        s.car = &car;
        s.clock = &clock;
        s.dangerPoints = &danger;
        s.fingerTap = fingerTap;
        page = new fdPageMap(ui.get(), s);
        page->setRect(0, 0, 800, 480);
        page->build(Ui::PageDescription{});
    }
    // Ticks every step ms up to and including the time `until`.
    void tickUntil(std::uint32_t until, std::uint32_t step = 50) {
        while (now + step <= until) {
            now += step;
            page->tick(now);
        }
    }
    TestSupport::CaptureLogger quiet;
    UiTest::FakeEngine engine;
    Core::Config config;
    Core::ResourcesPool pool{10};
    std::unique_ptr<Map::KVAtlas> atlas;
    MapCamera camera;
    std::unique_ptr<MapDrawing::fdMapRenderer> renderer;
    Ui::ButtonBindings bindings{config.root()};
    FakeSound sound;
    FakeCar car;
    FakeClock clock;
    Map::Proximity::IndexHolder danger;
    std::unique_ptr<Ui::fdInterface> ui;
    fdPageMap* page = nullptr;
    std::uint32_t now = 1000;
};

} // namespace

TEST(MapPage, ScaleAndRotationFollowTheRealTime) {
    // A held scale key for 2 s zooms by e^(0.8 * 2) whatever the frame rate;
    // a stalled frame counts at most 100 ms.
    for (const std::uint32_t step : {20u, 50u, 100u}) {
        Rig r;
        r.page->keyDown(SDLK_UP);
        r.tickUntil(3000, step);
        r.page->keyUp(SDLK_UP);
        EXPECT_NEAR(r.camera.scale() / 0.01f, std::exp(1.6f), 0.01f) << step;
    }
    Rig stalled;
    stalled.page->keyDown(SDLK_DOWN);
    stalled.tickUntil(2000, 1000);
    EXPECT_NEAR(stalled.camera.scale() / 0.01f, std::exp(-0.08f), 1e-4f);

    // Wheel notches and fixed steps: one scale_fixed step each.
    Rig wheel;
    wheel.page->mouseButtonDown(4, 400, 240);
    wheel.tickUntil(1050);
    EXPECT_NEAR(wheel.camera.scale(), 0.014f, 1e-6f);
    wheel.page->mouseButtonDown(5, 400, 240);
    wheel.page->mouseButtonDown(5, 400, 240); // every notch of a tick counts
    wheel.tickUntil(1100);
    EXPECT_NEAR(wheel.camera.scale(), 0.01f / 1.4f, 1e-6f);
    Rig tibo(0, true);
    tibo.page->keyDown(SDLK_UP);
    tibo.page->keyUp(SDLK_UP);
    EXPECT_NEAR(tibo.camera.scale(), 0.014f, 1e-6f);
    tibo.page->childPressed("bt4");
    tibo.page->childReleased("bt4");
    tibo.tickUntil(1050);
    EXPECT_NEAR(tibo.camera.scale(), 0.01f, 1e-6f);

    // Rotation is dropped while following the car, applied after a drag.
    Rig turn;
    turn.page->keyDown(SDLK_LEFT);
    turn.tickUntil(1500);
    turn.page->keyUp(SDLK_LEFT);
    EXPECT_EQ(turn.camera.rotation(), 0.0f);
    turn.page->press(100, 100);
    turn.page->mouseMove(140, 100);
    turn.page->release(140, 100);
    EXPECT_FALSE(turn.page->followGps());
    turn.page->keyDown(SDLK_LEFT);
    turn.tickUntil(1600);
    turn.page->keyUp(SDLK_LEFT);
    EXPECT_NEAR(turn.camera.rotation(), 4 * 1.2f * 0.1f, 1e-4f);
}

TEST(MapPage, DragOrTapByTheFingerRadiusAndTheHorizon) {
    struct Case {
        int fingerTap;
        std::vector<int> moves; // x offsets, one tick after each
        bool threeD;
        int releaseY;
        bool tap;
    };
    const Case cases[] = {
        {0, {3}, false, 100, false},    // 9 squared pixels in one tick: a drag...
        {3, {3}, false, 100, true},     // ...but within a 3 pixel tap radius
        {3, {5}, false, 100, false},
        {0, {2, 2, 2, 2, 2}, false, 100, true}, // slow: never a drag
        {0, {}, true, 100, true},       // 3D: below the horizon
        {0, {}, true, 20, false},       // 3D: in the sky
    };
    for (const Case& c : cases) {
        Rig r(c.fingerTap);
        r.camera.setMode(c.threeD ? 1 : 0);
        r.atlas->view().horizonRow = 50;
        r.page->press(100, c.releaseY);
        int x = 100;
        for (std::size_t i = 0; i < c.moves.size(); ++i) {
            x += c.moves[i];
            r.page->mouseMove(x, c.releaseY);
            r.tickUntil(r.now + 50);
        }
        r.page->release(x, c.releaseY);
        EXPECT_EQ(r.page->tapCount(), c.tap ? 1u : 0u) << c.fingerTap << " " << c.moves.size() << " " << c.releaseY;
        EXPECT_FALSE(r.page->pressed());
    }
}

TEST(MapPage, CarStateIsReadOnlyUnderTheFreeLock) {
    Rig r;
    r.car.car.valid = true;
    r.car.car.onRoad = true;
    r.car.car.mapIndex = 0;
    r.car.car.polylineId = 7;
    r.car.free = false;
    r.tickUntil(1050);
    EXPECT_EQ(r.car.reads, 0);
    EXPECT_EQ(r.car.released, 0);
    r.car.free = true;
    r.tickUntil(1100);
    EXPECT_EQ(r.car.reads, 1);
    EXPECT_EQ(r.car.released, 1);
}

TEST(MapPage, OnlineStateFromAnotherThreadIsAppliedByTheTick) {
    Rig r;
    auto* monitoring = new Ui::fdStatic(r.page, "monitoring", true, r.ui.get());
    r.page->afterBuild();
    EXPECT_FALSE(monitoring->visible());
    std::thread([&] { r.page->onConnected(); }).join();
    EXPECT_FALSE(monitoring->visible());
    r.tickUntil(1050);
    EXPECT_TRUE(monitoring->visible());
    std::thread([&] { r.page->onDisconnected(); }).join();
    r.tickUntil(1100);
    EXPECT_FALSE(monitoring->visible());
}

TEST(MapPage, RoadMarksKeepTenPerMap) {
    RoadMarks marks;
    marks.reset(2);
    for (std::uint32_t id = 0; id < 12; ++id)
        marks.add(1, id);
    marks.add(5, 1); // no such map
    EXPECT_EQ(marks.of(0).size(), 0u);
    ASSERT_EQ(marks.of(1).size(), MaxRoadMarks);
    EXPECT_EQ(marks.of(1).back(), 9u);
    marks.reset(2);
    EXPECT_TRUE(marks.of(1).empty());
}

TEST(MapPage, DangerPointIsAnnouncedOncePerPoint) {
    Rig r;
    auto index = std::make_unique<ListIndex>();
    // A speed camera of 50 km/h (139 in 0.1 m/s) ahead of the car.
    index->points.push_back({1000, 1300, 0, 1000, (139u << 4) | 1u});
    r.danger.index = std::move(index);
    r.car.fix = CarFix{{1000, 1000}, 0.0f, 30.0f};
    r.tickUntil(1100);
    ASSERT_EQ(r.sound.played.size(), 1u);
    EXPECT_EQ(r.sound.played[0], (std::pair<int, int>{6, 200}));
    EXPECT_EQ(r.page->lastWarned(), (std::array<std::uint32_t, 2>{1000, 1300}));
    r.car.fix->speed = 5.0f; // under the limit: no warning, forgotten
    r.tickUntil(1150);
    EXPECT_EQ(r.page->lastWarned(), (std::array<std::uint32_t, 2>{0, 0}));
    r.car.fix->speed = 30.0f;
    r.tickUntil(1200);
    EXPECT_EQ(r.sound.played.size(), 2u);
}

// A busy car lock holds back only the car's reading: the danger points
// are still searched from the fix read last, so a nearer point is
// announced, and nothing was read under no lock.
TEST(MapPage, ABusyCarLockSkipsOnlyTheCarsFrame) {
    Rig r;
    auto index = std::make_unique<ListIndex>();
    index->points.push_back({1000, 1300, 0, 1000, (139u << 4) | 1u});
    auto* points = index.get();
    r.danger.index = std::move(index);
    r.car.fix = CarFix{{1000, 1000}, 0.0f, 30.0f};
    r.tickUntil(1050);
    ASSERT_EQ(r.sound.played.size(), 1u);
    r.car.free = false;
    r.car.fix.reset(); // what the lock would hand now: not read
    points->points.push_back({1000, 1200, 0, 1000, (139u << 4) | 1u});
    r.tickUntil(1100);
    EXPECT_EQ(r.car.reads, 1);
    EXPECT_EQ(r.car.released, 1);
    EXPECT_EQ(r.sound.played.size(), 2u);
    EXPECT_EQ(r.page->lastWarned(), (std::array<std::uint32_t, 2>{1000, 1200}));
}

TEST(MapPage, CarMarkerGeometryAndNoCarWhenInvalid) {
    struct Case {
        float heading;
        CarMarkerPoints expected;
    };
    const float h = std::numbers::pi_v<float> / 2;
    const Case cases[] = {
        {0.0f, {{0, 12}, {0, -2}, {-12, -12}, {12, -12}}},
        {h, {{12, 0}, {-2, 0}, {-12, 12}, {-12, -12}}},
    };
    for (const Case& c : cases) {
        const CarMarkerPoints m = carMarkerPoints({0, 0}, c.heading, 12, 24, 10, 1);
        for (auto [got, want] : {std::pair{m.tip, c.expected.tip}, {m.notch, c.expected.notch},
                                 {m.left, c.expected.left}, {m.right, c.expected.right}}) {
            EXPECT_NEAR(got.x, want.x, 1e-4f) << c.heading;
            EXPECT_NEAR(got.y, want.y, 1e-4f) << c.heading;
        }
    }
    // Twice as far in level units when the level scale halves.
    EXPECT_NEAR(carMarkerPoints({5, 5}, 0, 12, 24, 10, 2).tip.y, 5 + 24, 1e-4f);

    Rig r;
    Render::StyleSet& day = r.renderer->styles().daySet();
    day.misc[Render::MiscCar] = {0x0000FF, 12, 24};
    day.misc[Render::MiscCar2] = {0x00FF00, 10, 20};
    r.renderer->selectStyles(true);
    r.camera.setScale(1.0f);
    r.camera.setCentre({0, 0});
    r.camera.setupForLevel(Map::LevelFrame{});
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const auto coloured = [s] {
        int n = 0;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x)
                n += UiTest::rgbAt(s, x, y) != 0xFFFFFF;
        return n;
    };
    TempSurface clip(32, 0, 0, 0, 0);
    r.car.car.valid = false;
    r.tickUntil(1050);
    SDL_FillRect(s, nullptr, 0xFFFFFF);
    r.page->drawBackground(s, clip);
    EXPECT_EQ(coloured(), 0);
    r.car.car.valid = true;
    r.tickUntil(1100);
    r.page->drawBackground(s, clip);
    EXPECT_GT(coloured(), 200);
    // A style's car of a few pixels is drawn at the size a driver finds at a
    // glance, with a white rim.
    const auto area = [&](int width, int length) {
        day.misc[Render::MiscCar] = {0x0000FF, width, length};
        day.misc[Render::MiscCar2] = {0x00FF00, length / 2, length};
        r.renderer->selectStyles(true);
        SDL_FillRect(s, nullptr, 0x808080);
        r.page->drawBackground(s, clip);
        int car = 0, rim = 0;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                const Uint32 c = UiTest::rgbAt(s, x, y);
                car += c != 0x808080 && c != 0xFFFFFF;
                rim += c == 0xFFFFFF;
            }
        return std::pair{car, rim};
    };
    const auto [small, smallRim] = area(3, 8);
    const auto [large, largeRim] = area(18, 48);
    EXPECT_EQ(small, large);
    EXPECT_GT(large, 500);
    EXPECT_GT(smallRim, 100);

    // The box the frame's names keep clear of holds every pixel of the car
    // and its rim, and no more than their extent, at any heading.
    for (const float heading : {0.0f, 0.5f, 1.9f, 3.3f, 5.0f}) {
        SCOPED_TRACE(heading);
        r.car.car.heading = heading;
        r.tickUntil(r.now + 50);
        SDL_FillRect(s, nullptr, 0x808080);
        r.page->drawBackground(s, clip);
        const std::optional<Render::IconBox> box = r.page->carBox(r.camera);
        ASSERT_TRUE(box);
        int left = s->w, right = -1, top = s->h, bottom = -1;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x)
                if (UiTest::rgbAt(s, x, y) != 0x808080) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0);
        // The box runs through the centres of its outermost pixels.
        EXPECT_NEAR(box->box.centreX - box->box.halfWidth, left + 0.5f, 1.0f);
        EXPECT_NEAR(box->box.centreX + box->box.halfWidth, right + 0.5f, 1.0f);
        EXPECT_NEAR(box->box.centreY - box->box.halfHeight, top + 0.5f, 1.0f);
        EXPECT_NEAR(box->box.centreY + box->box.halfHeight, bottom + 0.5f, 1.0f);
        EXPECT_LE(box->box.centreX - box->box.halfWidth, left + 0.5f);
        EXPECT_GE(box->box.centreX + box->box.halfWidth, right + 0.5f);
        EXPECT_LE(box->box.centreY - box->box.halfHeight, top + 0.5f);
        EXPECT_GE(box->box.centreY + box->box.halfHeight, bottom + 0.5f);
    }
    r.car.car.valid = false;
    r.tickUntil(r.now + 50);
    EXPECT_FALSE(r.page->carBox(r.camera));
    SDL_FreeSurface(s);
}

TEST(MapPage, NightFallsAfterTheSunsetMinute) {
    Rig r;
    r.car.fix = CarFix{{0, 0}, 0.0f, 0.0f, 48.0, 2.0};
    r.tickUntil(1050);
    const Ui::DayNight& state = r.bindings.dayNight();
    ASSERT_TRUE(state.valid);
    EXPECT_EQ(r.renderer->styles().activeSet(), &r.renderer->styles().daySet());
    r.clock.local.hour = state.sunset().hour;
    r.clock.local.minute = state.sunset().minute;
    r.tickUntil(1100);
    EXPECT_TRUE(r.renderer->isDay());
    r.clock.local.minute = static_cast<std::uint8_t>(r.clock.local.minute + 1);
    if (r.clock.local.minute == 60) {
        r.clock.local.minute = 0;
        ++r.clock.local.hour;
    }
    r.tickUntil(1150);
    EXPECT_FALSE(r.renderer->isDay());
    EXPECT_EQ(r.renderer->styles().activeSet(), &r.renderer->styles().nightSet());
}
