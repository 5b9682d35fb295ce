// Memory over a long drive: the real engine on a copy of the program's data
// set opens Monaco, computes a route across the town and drives it lap
// after lap (a fix every 12 m at 12 m/s, guidance, sensors and two map
// frames a fix) under SDL's dummy drivers. A lap is 200 fixes, i.e. 200
// seconds of driving, so nine laps are half an hour. The resident memory
// after each lap is reported, and how far it rose after the first lap: it
// should settle then, when the cells, glyphs, pictures, samples and road
// graphs the route needs are loaded (not asserted anywhere).

#include "app/fdEngine.h"

#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "map/Projection.h"
#include "routing/AtlasRoute.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/support/FirstRunData.h"
#include "ui/fdInterface.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Resident set size in MiB, from /proc/self/statm.
double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_LapsAcrossMonaco(benchmark::State& state) {
    const int laps = static_cast<int>(state.range(0));
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path program = fs::temp_directory_path() / ("mirel-drive-memory-bench-" + std::to_string(getpid()));
    fs::remove_all(program);
    fs::create_directories(program);
    TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", program / "data");
    for (auto _ : state) {
        engine::fdEngine e(Core::utf8ToWide(program.string() + "/"));
        if (e.init() != 0 || e.route() == nullptr || e.mapEvents() == nullptr) {
            state.SkipWithError("the start-up failed");
            break;
        }
        for (const auto& [lat, lon] : {std::pair{43.7384f, 7.4246f}, {43.7311f, 7.4197f}})
            if (!e.route()->addPathPointAtLocation(*e.atlas(), *e.configRoot(), Map::Projection::fromGeo(lat, lon))) {
                state.SkipWithError("no route across Monaco");
                return;
            }
        e.ui()->activatePage(e.ui()->findPage("pageMap"));
        const Path driven = e.route()->path();
        int fixes = 0;
        double firstLap = 0, highest = 0;
        for (int lap = 1; lap <= laps; ++lap) {
            for (PathPosition at(driven, true); !at.isAtEnd(); at.advanceMetres(12), ++fixes) {
                const Positioning::Fix fix = GuidanceTest::exactFixAt(at, 12.0f);
                e.mapEvents()->onFix(true, fix);
                e.sensors()->onFix(true, fix);
                e.redraw();
                e.redraw();
            }
            const double resident = residentMiB();
            state.counters["lap" + std::to_string(lap) + "_rss_MiB"] = resident;
            if (lap == 1)
                firstLap = resident;
            highest = std::max(highest, resident);
        }
        state.counters["fixes_per_lap"] = fixes / laps;
        // The highest resident memory of the later laps over the first lap's.
        state.counters["growth_after_lap1_KiB"] = (highest - firstLap) * 1024.0;
        e.shutdown();
    }
    fs::remove_all(program);
}
BENCHMARK(BM_LapsAcrossMonaco)->ArgName("laps")->Arg(9)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
