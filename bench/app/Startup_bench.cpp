// Start-up of the navigator as a user waits for it: from a new engine to the
// first drawn frame of the start page, on a copy of the program's data set
// with the demo atlas, under SDL's dummy video driver. Peak resident memory
// is reported beside the time (not asserted anywhere).

#include "app/fdEngine.h"

#include "core/Text.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

void BM_StartToFirstFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path program = fs::temp_directory_path() / "mirel-startup-bench";
    fs::remove_all(program);
    fs::create_directories(program);
    fs::copy(fs::path(MIREL_PROGRAM_DIR) / "data", program / "data",
             fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    for (const auto& entry : fs::directory_iterator(program / "data" / "maps"))
        if (entry.path().filename() != "demo")
            fs::remove_all(entry.path());
    for (auto _ : state) {
        fs::remove(program / "data" / "config.xml");
        engine::fdEngine e(Core::utf8ToWide(program.string() + "/"));
        if (e.init() != 0) {
            state.SkipWithError("the start-up failed");
            break;
        }
        e.redraw();
        state.PauseTiming();
        e.shutdown();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    fs::remove_all(program);
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
