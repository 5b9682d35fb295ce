// The map renderer's settings, gestures, car following and statistics.

#include "render/MapCameraAccess.h"
#include "render/ViewPreparation.h"
#include "render/fdMapRenderer.h"
#include "tests/support/CaptureLogger.h"

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "render/Image.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace MapDrawing;

namespace {

struct Page : MapPage {
    void drawTracksAndFriends(const xe::Canvas&, MapCamera&) override { ++tracks; }
    void invalidate() override { ++invalidated; }
    CompassWidget* compass() override { return nullptr; }
    const CursorRecord* findCursor(const std::string&) override { return nullptr; }
    int tracks = 0;
    int invalidated = 0;
};

struct RendererSetup {
    explicit RendererSetup(void (*configure)(Core::ConfigNode&) = nullptr) {
        config.root()->set("win_main_heap", 64);
        if (configure)
            configure(*config.root());
        atlas = std::make_unique<Map::KVAtlas>(config.root(), pool);
        MapServices services;
        services.page = &page;
        services.engine = &engine;
        services.hasInputEvent = [](bool) { return false; };
        services.requestExpose = [] {};
        TestSupport::CaptureLogger quiet;
        renderer = std::make_unique<fdMapRenderer>(atlas.get(), camera, config.root(), Render::StyleContext{}, services);
        camera.setAnchorFraction(0.5f);
        camera.setViewport(400, 300, 2 * camera.halfFieldOfView());
    }
    Core::Config config;
    Core::ResourcesPool pool{10};
    std::unique_ptr<Map::KVAtlas> atlas;
    MapCamera camera;
    Page page;
    EngineDisplay engine;
    std::unique_ptr<fdMapRenderer> renderer;
};

TEST(MapRenderer, SettingsAndShortFlagBlobs) {
    {
        TestSupport::CaptureLogger log;
        RendererSetup s;
        EXPECT_EQ(fdMapRenderer::instance(), s.renderer.get());
        EXPECT_TRUE(s.renderer->isDay());
        EXPECT_TRUE(s.engine.day);
        EXPECT_EQ(s.renderer->proportion(), 3);
        EXPECT_EQ(s.renderer->statistics(), nullptr);
        for (int t = 0; t < 256; ++t)
            ASSERT_EQ(s.renderer->showPolylineLine()[t] + s.renderer->showPolylineText()[t], 2) << t;
        // The defaults were stored: 32 bytes, every bit set.
        std::vector<std::uint8_t> stored;
        ASSERT_TRUE(s.config.root()->get("show_pl_line", stored));
        EXPECT_EQ(stored, std::vector<std::uint8_t>(32, 0xFF));
    }
    EXPECT_EQ(fdMapRenderer::instance(), nullptr);

    RendererSetup s([](Core::ConfigNode& c) {
        c.set("draw_map_info", true);
        c.set("night_mode", true);
        c.set("proportion", 4);
        // A hand-edited blob of three bytes: type 5 off, types 8-23 off.
        c.set("show_pl_line", std::vector<std::uint8_t>{0xFB, 0x00, 0x00});
        c.set("show_pl_text", std::vector<std::uint8_t>{});
    });
    EXPECT_NE(s.renderer->statistics(), nullptr);
    EXPECT_FALSE(s.renderer->isDay());
    EXPECT_FALSE(s.engine.day);
    EXPECT_EQ(s.renderer->proportion(), 4);
    const auto& lines = s.renderer->showPolylineLine();
    EXPECT_EQ(lines[4], 1);
    EXPECT_EQ(lines[5], 0);
    EXPECT_EQ(lines[6], 1);
    EXPECT_EQ(lines[8], 0);
    EXPECT_EQ(lines[23], 0);
    EXPECT_EQ(lines[24], 1);
    EXPECT_EQ(lines[255], 1);
    EXPECT_EQ(s.renderer->showPolylineText()[200], 1);
    EXPECT_EQ(packTypeFlags(lines)[0], 0xFB);
}

struct Points : ProximitySource {
    std::uint32_t visitPoints(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                              const std::function<void(const ProximityPoint&)>& visit) override {
        for (const ProximityPoint& p : points)
            visit(p);
        return static_cast<std::uint32_t>(points.size());
    }
    std::vector<ProximityPoint> points;
};

struct Compass : CompassWidget {
    void setAngle(float degrees) override { angle = degrees; }
    float angle = -1.0f;
};

struct CompassPage : Page {
    CompassWidget* compass() override { return &widget; }
    Compass widget;
};

TEST(MapRenderer, DrawMapBlitsAndAddsTheOverlays) {
    RendererSetup s;
    CompassPage page;
    s.renderer->services().page = &page;
    SDL_Surface* map = SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 80, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 120, 100, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    s.renderer->setMapSurface(map);
    s.renderer->setFocusPoint(xe::Point{50, 53});
    s.camera.setViewport(100, 80, 2 * s.camera.halfFieldOfView());
    s.camera.setCentre(Map::Point{1 << 20, 1 << 20});
    s.camera.setScale(1.0f);
    s.camera.setScale(ViewPreparation::metresPer40Pixels(s.camera) / 100.0f);
    s.camera.setRotation(s.atlas->view(), static_cast<float>(std::numbers::pi / 2));
    // A danger point with no POI style at the view's centre: a disc.
    Points points;
    points.points.push_back({s.camera.centre(), 0, 0x4242});
    const SDL_Rect target{10, 5, 100, 80};
    s.renderer->drawMap(screen, target, true, &points);
    auto at = [&](int x, int y) {
        Uint32 v = static_cast<const Uint32*>(screen->pixels)[y * screen->pitch / 4 + x];
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(at(10 + 50, 5 + 53), 0xFF8000u);        // indicator square, RGB 255, 128, 0
    EXPECT_EQ(at(10 + 50 + 2, 5 + 53 + 2), 0xFF8000u);
    EXPECT_NE(at(10 + 50 + 3, 5 + 53 + 3), 0xFF8000u);
    EXPECT_EQ(at(5, 2), 0u);                           // outside the blitted map
    EXPECT_NEAR(page.widget.angle, 90.0f, 1e-3);
    xe::Point centre;
    ASSERT_TRUE(s.camera.mapToScreen(s.camera.centre(), centre));
    EXPECT_EQ(at(10 + centre.x + 4, 5 + centre.y), 0xFF0080u); // disc 0xAABBGGRR 0xFF8000FF
    SDL_FreeSurface(map);
    SDL_FreeSurface(screen);
}

// A styled danger point carries green marks along its heading: one ahead for
// direction 1, one ahead and one behind for direction 2, none otherwise.
TEST(MapRenderer, DangerPointMarksFollowTheirDirectionAndHeading) {
    RendererSetup s;
    SDL_Surface* map = SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 80, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 80, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    s.renderer->setMapSurface(map);
    s.camera.setViewport(100, 80, 2 * s.camera.halfFieldOfView());
    s.camera.setCentre(Map::Point{1 << 20, 1 << 20});
    s.camera.setScale(1.0f);
    s.camera.setScale(ViewPreparation::metresPer40Pixels(s.camera) / 100.0f);
    std::unique_ptr<Render::Image> icon = Render::ImageFromSurface::owning(
        SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0));
    Render::PoiStyle style;
    style.icon = icon.get();
    s.renderer->styles().daySet().poiStyles[0x100] = style;
    s.renderer->selectStyles(true);
    constexpr float degrees = 0.017453292f;
    struct Case {
        std::uint32_t direction, heading;
        bool ahead, behind;
    };
    for (const Case c : {Case{1, 90, true, false}, Case{2, 0, true, true}, Case{1, 200, true, false},
                         Case{0, 90, false, false}, Case{3, 90, false, false}}) {
        Points points;
        points.points.push_back({s.camera.centre(), c.direction << 20 | c.heading << 22, 0x100});
        SDL_FillRect(screen, nullptr, 0);
        s.renderer->drawMap(screen, SDL_Rect{0, 0, 100, 80}, false, &points);
        xe::Point centre;
        ASSERT_TRUE(s.camera.mapToScreen(s.camera.centre(), centre));
        auto green = [&](float sign) {
            const int x = centre.x + static_cast<int>(std::lround(sign * 22 * std::sin(c.heading * degrees)));
            const int y = centre.y - static_cast<int>(std::lround(sign * 22 * std::cos(c.heading * degrees)));
            return (static_cast<const Uint32*>(screen->pixels)[y * screen->pitch / 4 + x] & 0xFFFFFF) == 0x00FF00u;
        };
        EXPECT_EQ(green(1), c.ahead) << c.direction << " " << c.heading;
        EXPECT_EQ(green(-1), c.behind) << c.direction << " " << c.heading;
        if (c.heading == 0 && c.ahead) {
            // A mark of 30 pixels: green up to its outlined tip.
            auto at = [&](int y) {
                return static_cast<const Uint32*>(screen->pixels)[y * screen->pitch / 4 + centre.x] & 0xFFFFFF;
            };
            EXPECT_EQ(at(centre.y - 28), 0x00FF00u);
            EXPECT_EQ(at(centre.y - 29), 0u);
        }
    }
    SDL_FreeSurface(map);
    SDL_FreeSurface(screen);
}

// The input probe looks through the whole queue for a press and takes
// nothing out of it, so the main loop still sees every event afterwards.
TEST(MapRenderer, InputProbeFindsAPressAnywhereInTheQueue) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE), 0);
    auto event = [](Uint8 type) {
        SDL_Event e{};
        e.type = type;
        if (type == SDL_KEYDOWN) {
            e.key.keysym.scancode = 9;
            e.key.keysym.mod = KMOD_LSHIFT;
            e.key.keysym.sym = SDLK_a;
        } else if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP) {
            e.button.button = 1;
            e.button.x = 12;
            e.button.y = 34;
        } else if (type == SDL_MOUSEMOTION) {
            e.motion.state = 1;
            e.motion.x = 5;
            e.motion.y = 6;
            e.motion.xrel = -2;
            e.motion.yrel = 3;
        }
        return e;
    };
    struct Case {
        std::vector<Uint8> queue;
        bool withMotion;
        bool found;
        std::vector<std::string> logged;
    };
    const std::vector<Case> cases = {
        {{}, false, false, {}},
        {{SDL_VIDEOEXPOSE, SDL_KEYDOWN}, false, true, {"HasInputEvent: 2", "KEYDOWN[9,1,97]"}},
        {{SDL_MOUSEBUTTONUP, SDL_MOUSEBUTTONDOWN}, false, true, {"HasInputEvent: 5", "MOUSEBUTTONDOWN[1,(12,34)]"}},
        {{SDL_VIDEOEXPOSE, SDL_VIDEOEXPOSE, SDL_KEYUP, SDL_MOUSEBUTTONUP}, false, false, {}},
        {{SDL_VIDEOEXPOSE, SDL_MOUSEMOTION}, false, false, {}},
        {{SDL_VIDEOEXPOSE, SDL_MOUSEMOTION}, true, true, {"HasInputEvent: 4", "MOUSEMOTION[1,abs(5,6),rel(-2,3)]"}},
    };
    for (const Case& c : cases) {
        SDL_Event drop;
        while (SDL_PollEvent(&drop)) {
        }
        for (Uint8 type : c.queue) {
            SDL_Event e = event(type);
            ASSERT_EQ(SDL_PushEvent(&e), 0);
        }
        TestSupport::CaptureLogger log(Log::Normal);
        EXPECT_EQ(sdlHasInputEvent(c.withMotion), c.found) << c.queue.size() << " " << c.withMotion;
        EXPECT_EQ(log.linesAt(Log::Normal), c.logged);
        EXPECT_EQ(log.lines().size(), c.logged.size());
        log.setSeverity(Log::System);
        log.clear();
        EXPECT_EQ(sdlHasInputEvent(c.withMotion), c.found);
        EXPECT_TRUE(log.lines().empty());
        std::vector<Uint8> left;
        while (SDL_PollEvent(&drop))
            left.push_back(drop.type);
        EXPECT_EQ(left, c.queue);
    }
    SDL_Quit();
}

} // namespace
