#include "core/Format.h"

#include <benchmark/benchmark.h>

static void BM_FormatLogLine(benchmark::State& state) {
    const std::u16string name = u"Moscow";
    for (auto _ : state) {
        auto s = Core::format(u"Loaded map %s: %d levels, %.2f MB (err %d)", name, 7, 12.5, 0);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_FormatLogLine);
