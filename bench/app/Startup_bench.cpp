// Start-up of the navigator as a user waits for it: from a new engine to the
// first drawn frame of the start page, on a copy of the program's data set
// with the demo atlas, under SDL's dummy video driver. Peak resident memory
// is reported beside the time (not asserted anywhere).
//
// The real town (data/maps/monaco) is measured from a fresh process: the
// program bench_startup_child is started on a copy of the data set whose
// settings open the map page, and the time runs from its start until it
// says its first frame of the map page is drawn, with its own peak resident
// memory. MIREL_STARTUP_CHILD in the environment names another child
// program (another build's).

#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/Text.h"
#include "tests/support/FirstRunData.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

void BM_StartToFirstFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path program = fs::temp_directory_path() / ("mirel-startup-bench-" + std::to_string(getpid()));
    fs::remove_all(program);
    fs::create_directories(program);
    TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", program / "data");
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

// One start of the child; false when it did not report a drawn frame.
bool startChild(const fs::path& program, double& seconds, long& peakKiB) {
    int out[2];
    if (pipe(out) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // Another build's child (a start-up before and after a change) may be
    // named in the environment.
    const char* named = std::getenv("MIREL_STARTUP_CHILD");
    const std::string child = named != nullptr && *named != 0 ? named : MIREL_STARTUP_CHILD;
    const std::string folder = program.string();
    char* argv[] = {const_cast<char*>(child.c_str()), const_cast<char*>(folder.c_str()), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, child.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string said;
    char buffer[64];
    for (ssize_t n; spawned == 0 && said.find('\n') == std::string::npos &&
                    (n = read(out[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(out[0]);
    if (spawned != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    char page[64] = {};
    unsigned long maps = 0;
    if (std::sscanf(said.c_str(), "drawn %63s %lu %ld", page, &maps, &peakKiB) != 3)
        return false;
    return std::string(page) == "pageMap" && maps > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_MonacoFreshProcessToMapFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path program = fs::temp_directory_path() / ("mirel-startup-monaco-" + std::to_string(getpid()));
    fs::remove_all(program);
    fs::create_directories(program);
    TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", program / "data");
    for (const auto& entry : fs::directory_iterator(program / "data" / "maps"))
        if (entry.path().filename() != "monaco")
            fs::remove_all(entry.path());
    Core::Config settings;
    settings.root()->set("map_start", true);
    long peak = 0;
    for (auto _ : state) {
        // Every start is a first run on the map page (the child saves nothing,
        // but the text-search index it may build stays, as it would).
        if (!settings.save(Core::utf8ToWide((program / "data" / "config.xml").string()))) {
            state.SkipWithError("cannot write config.xml");
            break;
        }
        double seconds = 0;
        long peakKiB = 0;
        if (!startChild(program, seconds, peakKiB)) {
            state.SkipWithError("the child did not draw the map page of a loaded atlas");
            break;
        }
        state.SetIterationTime(seconds);
        peak = std::max(peak, peakKiB);
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024.0;
    fs::remove_all(program);
}
BENCHMARK(BM_MonacoFreshProcessToMapFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

} // namespace
