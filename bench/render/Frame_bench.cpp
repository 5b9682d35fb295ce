// Whole map frames of the demo atlas through the map renderer, as the map
// page draws them: 2D and 3D, 800x480 and 1280x720, at 20, 80, 500 and 5000
// metres per 40 pixels; full frames and fast ones; cold (every cell loaded
// again) and warm. The counters give the frame statistics' mean per-layer
// milliseconds.

#include "tools/render-atlas/AtlasRendering.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Size {
    int width;
    int height;
};
constexpr Size Sizes[] = {{800, 480}, {1280, 720}};

void frames(benchmark::State& state) {
    static bool sdl = SDL_Init(SDL_INIT_NOPARACHUTE) == 0;
    if (!sdl) {
        state.SkipWithError("SDL_Init failed");
        return;
    }
    AtlasRendering::ViewSettings view;
    view.width = Sizes[state.range(0)].width;
    view.height = Sizes[state.range(0)].height;
    view.metresPer40Pixels = static_cast<float>(state.range(1));
    view.threeD = state.range(2) != 0;
    view.statistics = true;
    const bool fast = state.range(3) != 0;
    const bool cold = state.range(4) != 0;
    std::unique_ptr<AtlasRendering::Session> session;
    try {
        session = std::make_unique<AtlasRendering::Session>(MIREL_DEMO_ATLAS_DIR, MIREL_DATA_DIR, view);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    session->draw(); // the cells of this view are loaded once
    Render::FrameStatistics total;
    auto* stats = session->renderer().statistics();
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            session->dropCells();
            state.ResumeTiming();
        }
        session->request(fast ? Map::AtlasViewFields::SmallRedraw : Map::AtlasViewFields::FullRedraw, fast);
        session->draw();
        total.fillMs += stats->fillMs;
        total.polygonMs += stats->polygonMs;
        total.polylineMs += stats->polylineMs;
        total.arrowMs += stats->arrowMs;
        total.pointMs += stats->pointMs;
        total.totalMs += stats->totalMs;
    }
    const auto mean = [&](std::int32_t ms) {
        return benchmark::Counter(static_cast<double>(ms), benchmark::Counter::kAvgIterations);
    };
    state.counters["fill_ms"] = mean(total.fillMs);
    state.counters["polygons_ms"] = mean(total.polygonMs);
    state.counters["polylines_ms"] = mean(total.polylineMs);
    state.counters["arrows_ms"] = mean(total.arrowMs);
    state.counters["points_ms"] = mean(total.pointMs);
    state.counters["frame_ms"] = mean(total.totalMs);
    state.counters["polygons"] = session->renderer().counters().polygons;
    state.counters["polylines"] = session->renderer().counters().polylines;
}

// size (0 800x480, 1 1280x720), scale, 3D, fast, cold
BENCHMARK(frames)
    ->ArgNames({"size", "m40px", "3d", "fast", "cold"})
    ->ArgsProduct({{0, 1}, {20, 80, 500, 5000}, {0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

} // namespace
