// Danger-warn point index: building, writing and reopening an index of 100k
// points, and one ahead-of-the-car search from memory and from the file.

#include "core/WinFile.h"
#include "map/Projection.h"
#include "map/proximity/IndexFile.h"
#include "map/proximity/MemoryIndex.h"
#include "map/proximity/Queries.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>

namespace {

using namespace Map::Proximity;

constexpr int kPoints = 100000;

// 100k points over about 600 x 600 km around 52 N, 13 E, 400 m radius.
std::vector<Point> makePoints() {
    std::mt19937 rng(140);
    std::uniform_real_distribution<float> lat(49.0f, 55.0f), lon(8.0f, 18.0f);
    std::vector<Point> points;
    points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const float la = lat(rng);
        const Map::Point p = Map::Projection::fromGeo(la, lon(rng));
        points.push_back(Point{p.x, p.y, 0, 70000, Point::pack(7, 139, static_cast<std::uint32_t>(i % 3), 0)});
    }
    return points;
}

const std::vector<Point>& points() {
    static const std::vector<Point> all = makePoints();
    return all;
}

std::unique_ptr<MemoryIndex> build() {
    auto index = std::make_unique<MemoryIndex>();
    for (const Point& p : points())
        index->add(p);
    return index;
}

std::filesystem::path benchFile() {
    static const std::string name = "mirel-dwp-bench-" + std::to_string(std::random_device{}()) + ".idx";
    return std::filesystem::temp_directory_path() / name;
}

Map::IndexSourceList sources() {
    Map::IndexSourceList list;
    list.records.push_back({u"points.txt", 1});
    return list;
}

void BM_BuildMemoryIndex100k(benchmark::State& state) {
    for (auto _ : state) {
        auto index = build();
        benchmark::DoNotOptimize(index->layerCount());
    }
}
BENCHMARK(BM_BuildMemoryIndex100k)->Unit(benchmark::kMillisecond);

void BM_WriteIndexFile100k(benchmark::State& state) {
    const auto index = build();
    const auto path = benchFile();
    for (auto _ : state) {
        FileSystem::WinFileForWrite file(path.u16string());
        if (!writeIndex(file, sources(), index->tree()))
            state.SkipWithError("write failed");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteIndexFile100k)->Unit(benchmark::kMillisecond);

void BM_ReopenIndexFile100k(benchmark::State& state) {
    const auto path = benchFile();
    {
        const auto index = build();
        FileSystem::WinFileForWrite file(path.u16string());
        writeIndex(file, sources(), index->tree());
    }
    for (auto _ : state) {
        FileIndex index(path.u16string(), sources(), 100, 100);
        if (!index.isValid())
            state.SkipWithError("reopen failed");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReopenIndexFile100k)->Unit(benchmark::kMicrosecond);

// One search per call along a drive through the point field, 25 m/s.
void findEventsAlongARoute(benchmark::State& state, IndexHolder& holder) {
    std::vector<ProximityEvent> events;
    int step = 0;
    std::size_t found = 0;
    for (auto _ : state) {
        const float lat = 50.0f + 0.0002f * static_cast<float>(step % 20000);
        const Map::Point car = Map::Projection::fromGeo(lat, 13.0f);
        events.clear();
        holder.index->resetCacheCounters();
        findEvents(holder, events, car, 25.0f, 0.0f);
        found += events.size();
        ++step;
    }
    state.counters["events/call"] = benchmark::Counter(static_cast<double>(found) / static_cast<double>(step));
}

void BM_FindEventsMemory(benchmark::State& state) {
    IndexHolder holder;
    holder.index = build();
    findEventsAlongARoute(state, holder);
}
BENCHMARK(BM_FindEventsMemory);

void BM_FindEventsFile(benchmark::State& state) {
    const auto path = benchFile();
    {
        const auto index = build();
        FileSystem::WinFileForWrite file(path.u16string());
        writeIndex(file, sources(), index->tree());
    }
    IndexHolder holder;
    holder.index = std::make_unique<FileIndex>(path.u16string(), sources(), 100, 100);
    findEventsAlongARoute(state, holder);
    holder.index.reset();
    std::filesystem::remove(path);
}
BENCHMARK(BM_FindEventsFile);

} // namespace
