// Reading a waypoints file of N points (a GPX of a million points took
// 11.9 s to the first page on a busy machine): the read grows with the
// points alone (BigO below: N).

#include "userdata/Gpx.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void readGpx(benchmark::State& state) {
    std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\">\n";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        file += "<wpt lat=\"43." + std::to_string(72000 + i % 1000) + "\" lon=\"7." + std::to_string(40000 + i / 1000) +
                "\"><name>p" + std::to_string(i) + "</name></wpt>\n";
    file += "</gpx>\n";
    for (auto _ : state) {
        state.PauseTiming();
        std::string text = file; // the reader parses in place
        state.ResumeTiming();
        const auto points = Gpx::readWaypoints(text, nullptr, 0);
        if (points.size() != static_cast<std::size_t>(state.range(0))) state.SkipWithError("points lost");
        benchmark::DoNotOptimize(points.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(readGpx)->RangeMultiplier(4)->Range(1 << 12, 1 << 18)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace
