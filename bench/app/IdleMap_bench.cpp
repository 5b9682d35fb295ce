// What the map page costs per second of a drive: the real engine on a copy
// of the program's data set shows Monaco, a receiver gives a fix every
// second (the car standing at the start of a route across the town, or
// driving it at 12 m/s) and the engine runs the page's 20 ticks a second,
// each drawing a frame only when the page changed. Reported: CPU time per
// simulated second as a share of one core, and the frames drawn per
// simulated second, in 2D and in 3D (under SDL's dummy drivers; the time is
// the process's CPU time, so other load on the machine matters little).

#include "app/fdEngine.h"

#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "map/Projection.h"
#include "render/MapCamera.h"
#include "routing/AtlasRoute.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/support/FirstRunData.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <SDL.h>

namespace fs = std::filesystem;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The engine started on a first run's copy of the program's data in
// `program`, with a route across Monaco; null, the benchmark skipped, when
// either fails.
std::unique_ptr<engine::fdEngine> startOnRoute(benchmark::State& state, const fs::path& program) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fs::remove_all(program);
    fs::create_directories(program);
    TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", program / "data");
    auto e = std::make_unique<engine::fdEngine>(Core::utf8ToWide(program.string() + "/"));
    if (e->init() != 0 || e->route() == nullptr || e->mapEvents() == nullptr) {
        state.SkipWithError("the start-up failed");
        return nullptr;
    }
    for (const auto& [lat, lon] : {std::pair{43.7384f, 7.4246f}, {43.7311f, 7.4197f}})
        if (!e->route()->addPathPointAtLocation(*e->atlas(), *e->configRoot(), Map::Projection::fromGeo(lat, lon))) {
            state.SkipWithError("no route across Monaco");
            return nullptr;
        }
    return e;
}

// A receiver's fix where the car stands on the route, told to guidance and
// the sensors as the GPS thread tells them.
void giveFix(engine::fdEngine& e, const PathPosition& at, float speedMs) {
    const Positioning::Fix fix = GuidanceTest::exactFixAt(at, speedMs);
    e.mapEvents()->onFix(true, fix);
    e.sensors()->onFix(true, fix);
}

// Runs the benchmark's simulated seconds (`second` each) and reports the
// CPU time they took as a share of one core and the frames drawn per
// second; returns how many seconds ran.
template <class Second>
std::int64_t timeSeconds(benchmark::State& state, const engine::fdEngine& e, Second&& second) {
    const std::uint64_t framesBefore = e.framesDrawn();
    const double cpuBefore = cpuSeconds();
    std::int64_t seconds = 0;
    for (auto _ : state) {
        second();
        ++seconds;
    }
    const double cpu = cpuSeconds() - cpuBefore;
    const double count = static_cast<double>(seconds);
    state.counters["core_pct"] = seconds > 0 ? 100.0 * cpu / count : 0.0;
    state.counters["frames_per_s"] =
        seconds > 0 ? static_cast<double>(e.framesDrawn() - framesBefore) / count : 0.0;
    return seconds;
}

void BM_MapPageSecondOfDrive(benchmark::State& state) {
    const bool threeD = state.range(0) != 0;
    const bool driving = state.range(1) != 0;
    const fs::path program = fs::temp_directory_path() / ("mirel-idle-map-bench-" + std::to_string(getpid()));
    std::unique_ptr<engine::fdEngine> started = startOnRoute(state, program);
    if (!started)
        return;
    engine::fdEngine& e = *started;
    e.camera().setMode(threeD ? 1 : 0);
    e.atlas()->requestRedraw();
    e.ui()->activatePage(e.ui()->findPage("pageMap"));
    const Path driven = e.route()->path();
    PathPosition at(driven, true);
    const auto second = [&] {
        giveFix(e, at, driving ? 12.0f : 0.0f);
        for (int tick = 0; tick < 20; ++tick)
            e.redraw();
        if (driving && !at.isAtEnd())
            at.advanceMetres(12);
        if (at.isAtEnd())
            at = PathPosition(driven, true);
    };
    for (int i = 0; i < 5; ++i) // the first frames load what the view shows
        second();
    timeSeconds(state, e, second);
    e.shutdown();
    fs::remove_all(program);
}
BENCHMARK(BM_MapPageSecondOfDrive)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"3d", "driving"})
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);

// Guidance behind another page: the same engine and route, the car driving
// at 12 m/s with a fix a second, while the main menu, the sensors page or
// the GPS page is shown. The main loop's passes run as in the program: each
// 50 ms the page's UI timer pushes its expose when its period is due and
// the navigation pace its own, then every queued event is handled. What the
// page costs beside its own frames is guidance's frame once a pass of the
// loop (docs/engine.md). Reported: CPU time per simulated second as a share
// of one core, guidance's frames and the page's frames per simulated second.
void BM_GuidanceBehindPageSecondOfDrive(benchmark::State& state) {
    static const char* const pages[] = {"menuMain", "sensors", "pageGPS"};
    const char* page = pages[state.range(0)];
    const fs::path program = fs::temp_directory_path() / ("mirel-behind-page-bench-" + std::to_string(getpid()));
    std::unique_ptr<engine::fdEngine> started = startOnRoute(state, program);
    if (!started)
        return;
    engine::fdEngine& e = *started;
    Ui::fdInterface& ui = *e.ui();
    ui.goToPageByName(page);
    const Path driven = e.route()->path();
    PathPosition at(driven, true);
    std::uint32_t ms = 0, uiTickMs = 0;
    const auto second = [&] {
        giveFix(e, at, 12.0f);
        for (int period = 0; period < 20; ++period) {
            ms += 50;
            if (ui.timerRunning() && ms - uiTickMs >= ui.uiTimer().ms()) {
                Ui::fdInterface::timerCallback(ui.uiTimer().ms(), &ui);
                uiTickMs = ms;
            }
            if (e.navigationPaced())
                e.navigationDue();
            ui.applyPendingChanges();
            SDL_Event event;
            while (SDL_PollEvent(&event))
                e.handleEvents(event);
        }
        at.advanceMetres(12);
        if (at.isAtEnd())
            at = PathPosition(driven, true);
    };
    for (int i = 0; i < 5; ++i) // the pace starts, the pages load what they show
        second();
    if (ui.activePage() == nullptr || ui.activePage()->name() != page || !e.navigationPaced()) {
        state.SkipWithError("the page is not shown, or guidance is not paced behind it");
        return;
    }
    const std::uint64_t navigationBefore = e.navigationFrames();
    const std::int64_t seconds = timeSeconds(state, e, second);
    state.counters["navigation_per_s"] =
        seconds > 0 ? static_cast<double>(e.navigationFrames() - navigationBefore) / static_cast<double>(seconds) : 0.0;
    state.SetLabel(page);
    e.shutdown();
    fs::remove_all(program);
}
BENCHMARK(BM_GuidanceBehindPageSecondOfDrive)
    ->DenseRange(0, 2)
    ->ArgName("page")
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);

} // namespace
