#include "map/Projection.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

void fromGeo(benchmark::State& state) {
    float lat = -80.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Map::Projection::fromGeo(lat, lat * 2.0f));
        lat = lat > 80.0f ? -80.0f : lat + 0.37f;
    }
}
BENCHMARK(fromGeo);

void toGeo(benchmark::State& state) {
    std::int32_t y = -2000000000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Map::Projection::toGeo(Map::Point{y, y}));
        y += 12345677;
    }
}
BENCHMARK(toGeo);

} // namespace
