// Frames per second of the map page while the user pans the demo atlas at
// 800x480: a pointer drag of a few pixels per frame, the page's tick (which
// turns the drag into a view step) and the page's whole drawing (the map
// frame, the blit and the page's own markers), in 2D and 3D. A drag asks for
// fast frames (the last full frame moved); "full" draws every frame whole,
// as when the view settles after each step.

#include "core/TempSurface.h"
#include "screens/fdPageMap.h"
#include "tools/render-atlas/AtlasRendering.h"
#include "ui/EngineServices.h"
#include "ui/fdInterface.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct BenchEngine : Ui::EngineServices {
    void setQuit() override {}
    bool hideToTray() override { return false; }
    std::u16string dataPath(std::u16string_view name) const override { return std::u16string(name); }
    bool isDay() const override { return true; }
    bool doubleSize() const override { return false; }
    std::int32_t designWidth() const override { return 800; }
    std::int32_t designHeight() const override { return 480; }
    const Ui::DesignDescription* design() const override { return nullptr; }
};

void panning(benchmark::State& state) {
    static bool sdl = SDL_Init(SDL_INIT_NOPARACHUTE) == 0;
    if (!sdl) {
        state.SkipWithError("SDL_Init failed");
        return;
    }
    AtlasRendering::ViewSettings view;
    view.metresPer40Pixels = static_cast<float>(state.range(0));
    view.threeD = state.range(1) != 0;
    const bool full = state.range(2) != 0;
    std::unique_ptr<AtlasRendering::Session> session;
    try {
        session = std::make_unique<AtlasRendering::Session>(MIREL_DEMO_ATLAS_DIR, MIREL_DATA_DIR, view);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    BenchEngine engine;
    Ui::fdInterface ui(&engine, nullptr);
    std::uint32_t now = 1000;
    ui.setClock([&now] { return now; });
    Screens::fdPageMap::Services services;
    services.renderer = &session->renderer();
    services.atlas = &session->atlas();
    services.camera = &session->camera();
    auto* page = new Screens::fdPageMap(&ui, services);
    page->setRect(0, 0, 800, 480);
    page->build(Ui::PageDescription{});
    TempSurface clip(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    SDL_Surface* screen = session->screen();
    page->draw(screen, clip, true); // the cells of the first view are loaded once

    int x = 400, step = 6;
    page->press(x, 240);
    for (auto _ : state) {
        // Back and forth over 300 pixels, so the view stays over the town.
        if (x + step > 550 || x + step < 250)
            step = -step;
        x += step;
        page->mouseMove(x, 240);
        now += 50;
        page->tick(now);
        if (full)
            session->request(Map::AtlasViewFields::FullRedraw, false);
        page->draw(screen, clip, true);
    }
    page->release(x, 240);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    ui.shutdown();
}
BENCHMARK(panning)->ArgsProduct({{20, 80, 500}, {0, 1}, {0, 1}})->ArgNames({"m40px", "3d", "full"})->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
