// Whole map frames of the demo atlas through the map renderer, as the map
// page draws them and the user sees them (no debug overlay): 2D and 3D,
// 800x480 and 1280x720, at 20, 80, 500 and 5000 metres per 40 pixels; full
// frames and fast ones; cold (every cell loaded again) and warm. A second
// benchmark times each layer of a warm full 2D frame on its own with a
// microsecond steady clock (the renderer's own statistics count whole
// milliseconds, coarser than most layers take).
//
// The real town (data/maps/monaco, the OSM extract) is drawn too, at
// 1280x720: 2D and 3D, day and night, at 50, 200 and 1000 metres per 40
// pixels, warm full frames centred on the harbour.

#include "render/MapLayers.h"
#include "tools/render-atlas/AtlasRendering.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

struct Size {
    int width;
    int height;
};
constexpr Size Sizes[] = {{800, 480}, {1280, 720}};

std::unique_ptr<AtlasRendering::Session> openSession(benchmark::State& state, const AtlasRendering::ViewSettings& view,
                                                     const char* atlasDir = MIREL_DEMO_ATLAS_DIR) {
    static bool sdl = SDL_Init(SDL_INIT_NOPARACHUTE) == 0;
    if (!sdl) {
        state.SkipWithError("SDL_Init failed");
        return nullptr;
    }
    try {
        auto session = std::make_unique<AtlasRendering::Session>(atlasDir, MIREL_DATA_DIR, view);
        session->draw(); // the cells of this view are loaded once
        return session;
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return nullptr;
    }
}

void frames(benchmark::State& state) {
    AtlasRendering::ViewSettings view;
    view.width = Sizes[state.range(0)].width;
    view.height = Sizes[state.range(0)].height;
    view.metresPer40Pixels = static_cast<float>(state.range(1));
    view.threeD = state.range(2) != 0;
    const bool fast = state.range(3) != 0;
    const bool cold = state.range(4) != 0;
    const auto session = openSession(state, view);
    if (!session)
        return;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            session->dropCells();
            state.ResumeTiming();
        }
        session->request(fast ? Map::AtlasViewFields::SmallRedraw : Map::AtlasViewFields::FullRedraw, fast);
        session->draw();
    }
    state.counters["polygons"] = session->renderer().counters().polygons;
    state.counters["polylines"] = session->renderer().counters().polylines;
}

// size (0 800x480, 1 1280x720), scale, 3D, fast, cold
BENCHMARK(frames)
    ->ArgNames({"size", "m40px", "3d", "fast", "cold"})
    ->ArgsProduct({{0, 1}, {20, 80, 500, 5000}, {0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// Warm full frames of the real town at 1280x720.
void monacoFrames(benchmark::State& state) {
    AtlasRendering::ViewSettings view;
    view.width = 1280;
    view.height = 720;
    view.latitude = 43.7384;
    view.longitude = 7.4246;
    view.metresPer40Pixels = static_cast<float>(state.range(0));
    view.threeD = state.range(1) != 0;
    view.night = state.range(2) != 0;
    const auto session = openSession(state, view, MIREL_MONACO_ATLAS_DIR);
    if (!session)
        return;
    for (auto _ : state) {
        session->request(Map::AtlasViewFields::FullRedraw, false);
        session->draw();
    }
    state.counters["polygons"] = session->renderer().counters().polygons;
    state.counters["polylines"] = session->renderer().counters().polylines;
}
BENCHMARK(monacoFrames)
    ->ArgNames({"m40px", "3d", "night"})
    ->ArgsProduct({{50, 200, 1000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The layers of the frame's visible maps, each timed on its own, in mean
// microseconds per frame.
void layers(benchmark::State& state) {
    AtlasRendering::ViewSettings view;
    view.metresPer40Pixels = static_cast<float>(state.range(0));
    const auto session = openSession(state, view);
    if (!session)
        return;
    auto& renderer = session->renderer();
    MapCamera& camera = session->camera();
    const xe::Canvas canvas = xe::Canvas::of(session->mapSurface());
    const float scale = session->atlas().view().metresPer40Pixels;
    using Clock = std::chrono::steady_clock;
    Clock::duration spent[4] = {};
    auto timed = [&](int layer, auto&& step) {
        const Clock::time_point start = Clock::now();
        step();
        spent[layer] += Clock::now() - start;
    };
    for (auto _ : state) {
        for (const Map::StateRecord& record : session->atlas().viewRecords()) {
            if (record.hidden)
                continue;
            camera.setupTransform(record);
            timed(0, [&] { MapDrawing::MapLayers::drawPolygons(renderer, canvas, camera, record, scale, false); });
            timed(1, [&] { MapDrawing::MapLayers::drawPolylines(renderer, canvas, camera, record, scale, false); });
            timed(2, [&] { MapDrawing::MapLayers::drawDirectionArrows(renderer, canvas, camera, record, scale); });
            timed(3, [&] { MapDrawing::MapLayers::drawPoiIcons(renderer, canvas, camera, record, scale); });
        }
    }
    const char* names[] = {"polygons_us", "polylines_us", "arrows_us", "points_us"};
    for (int i = 0; i < 4; ++i)
        state.counters[names[i]] =
            benchmark::Counter(std::chrono::duration<double, std::micro>(spent[i]).count(),
                               benchmark::Counter::kAvgIterations);
}
BENCHMARK(layers)->ArgName("m40px")->Arg(20)->Arg(80)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace
