// Route computations on a large generated map: a grid town of side x side
// junctions 100 m apart (10^5 and 4 * 10^5 road nodes), every street drawn
// by its own polylines, written by the map writer and opened through the
// atlas. Measured: loading the road graph from the file (with the route-heap
// bytes it takes) and whole computations between fixed random places
// (binding, search, path build, manoeuvres, cutting), every query in every
// iteration.

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "core/Text.h"
#include "map/KVAtlas.h"
#include "map/Level.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteComputation.h"
#include "tests/support/TempDir.h"
#include "tools/mapwriter/LevelPlacer.h"
#include "tools/mapwriter/MapWriter.h"
#include "tools/mapwriter/SearchSections.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>

namespace {

using MapWriting::LevelDescription;
using MapWriting::LevelPlacer;
using MapWriting::MapDescription;
using MapWriting::RoadChain;
using MapWriting::RoadSegment;
using WriterPoint = MapWriting::LevelPoint;

constexpr std::int64_t kSpacing = 160; // level units (64 global units each, about 100 m at the equator)

struct Town {
    TestSupport::TempDir dir;
    Core::Config config;
    Core::ResourcesPool pool{10};
    std::unique_ptr<Map::KVAtlas> atlas;
    Map::KVMap2* map = nullptr;
    std::uint32_t side = 0;
    std::uint32_t segments = 0;
    std::vector<std::pair<PathPoint, PathPoint>> queries;
    // A route through 10 random places (9 legs) and a place to add to it.
    Path route;
    PathPoint added;
};

MapDescription grid(std::uint32_t side, std::mt19937& rng) {
    MapDescription m;
    m.mapId = 1;
    const std::uint32_t street = m.strings.add("Street");
    LevelDescription level;
    level.coordinateBits = 26;
    level.cellShift = 10;
    level.originX = 1u << 15;
    level.originY = 1u << 15;
    level.width = level.height = static_cast<std::uint32_t>((side + 1) * kSpacing / 1024 + 2);
    LevelPlacer placer(level);
    MapWriting::RoadGraph g;
    const auto at = [&](std::uint32_t x, std::uint32_t y) {
        return WriterPoint{512 + std::int64_t{x} * kSpacing, 512 + std::int64_t{y} * kSpacing};
    };
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x) {
            const auto [cx, cy] = placer.cellOf(at(x, y));
            g.nodes.push_back({cx, cy, 1});
        }
    std::uint32_t id = 0;
    const auto addStreet = [&](std::uint32_t a, std::uint32_t b, WriterPoint pa, WriterPoint pb, std::uint8_t cls) {
        RoadChain chain;
        chain.attributes.routingClass = cls;
        chain.attributes.twoWay = rng() % 10 != 0;
        chain.nodes = {a, b};
        RoadSegment segment;
        segment.lengthMetres = static_cast<std::uint16_t>(90 + rng() % 20);
        segment.shape = placer.addPolyline({street, 6, !chain.attributes.twoWay, id++, {}}, {pa, pb});
        chain.segments.push_back(segment);
        g.chains.push_back(chain);
    };
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::uint32_t v = y * side + x;
            if (x + 1 < side) addStreet(v, v + 1, at(x, y), at(x + 1, y), static_cast<std::uint8_t>(y % 10 ? 4 : 1));
            if (y + 1 < side) addStreet(v, v + side, at(x, y), at(x, y + 1), static_cast<std::uint8_t>(x % 10 ? 4 : 1));
        }
    m.levels = {level};
    m.roads = g;
    m.copyright = MapWriting::CopyrightDescription{{}, u"generated"};
    MapWriting::addSearchSections(m);
    return m;
}

Town& town(std::uint32_t side) {
    static std::map<std::uint32_t, std::unique_ptr<Town>> towns;
    auto& slot = towns[side];
    if (slot) return *slot;
    slot = std::make_unique<Town>();
    Town& t = *slot;
    t.side = side;
    std::mt19937 rng(side);
    const MapDescription description = grid(side, rng);
    t.segments = static_cast<std::uint32_t>(description.roads->chains.size());
    std::filesystem::create_directories(t.dir.path() / "data");
    std::filesystem::create_directories(t.dir.path() / "maps");
    MapWriting::writeMapFile(t.dir.path() / "maps" / "grid.kvm", description);
    t.config.root()->set("win_route_heap", 512 * 1024);
    Map::AtlasServices services;
    services.paths = std::make_shared<Map::FolderPaths>(Core::utf8ToWide(t.dir.path().string() + "/"));
    t.atlas = std::make_unique<Map::KVAtlas>(t.config.root(), t.pool, std::move(services));
    if (!t.atlas->load(Core::utf8ToWide((t.dir.path() / "maps").string()))) return t;
    t.map = t.atlas->findMapById(1);
    // Places half-way along random streets; segment s of the description is
    // the graph's segment s, drawn from its from node.
    const Map::Level& level = t.map->level(0);
    const auto place = [&](std::uint32_t s) {
        const RoadChain& chain = description.roads->chains[s];
        const auto node = [&](std::uint32_t v) {
            return WriterPoint{512 + std::int64_t{v % side} * kSpacing, 512 + std::int64_t{v / side} * kSpacing};
        };
        const WriterPoint a = node(chain.nodes[0]), b = node(chain.nodes[1]);
        PathPoint p;
        p.map = t.map;
        p.segmentId = s;
        p.allowForward = p.allowBackward = 1;
        p.roadPoint = {&level, static_cast<float>(a.x + b.x) / 2, static_cast<float>(a.y + b.y) / 2};
        p.pickedPoint = p.roadPoint;
        return p;
    };
    for (int q = 0; q < 8; ++q)
        t.queries.emplace_back(place(rng() % t.segments), place(rng() % t.segments));
    t.route = Path(place(rng() % t.segments));
    while (t.route.points.size() < 10) {
        Path leg;
        if (Map::Routing::computePath(*t.atlas, *t.config.root(), t.route.points.back(), place(rng() % t.segments), leg,
                                      false))
            t.route.appendPath(leg);
    }
    t.added = place(rng() % t.segments);
    return t;
}

void LoadRoadGraph(benchmark::State& state) {
    Town& t = town(static_cast<std::uint32_t>(state.range(0)));
    if (t.map == nullptr) return state.SkipWithError("the generated map did not load");
    RoadMapHolder* holder = RoadMapHolder::of(*t.map);
    std::uint32_t heapBytes = 0;
    for (auto _ : state) {
        holder->releaseGraph();
        const std::uint32_t before = t.atlas->routeHeap()->freeBytes();
        if (RoadMap::load(*holder, *t.atlas) != RoutingStatus::Success) return state.SkipWithError("load failed");
        heapBytes = before - t.atlas->routeHeap()->freeBytes();
    }
    state.counters["nodes"] = static_cast<double>(t.side) * t.side;
    state.counters["routeHeapBytes"] = heapBytes;
}

void ComputeRoutes(benchmark::State& state) {
    Town& t = town(static_cast<std::uint32_t>(state.range(0)));
    if (t.map == nullptr) return state.SkipWithError("the generated map did not load");
    std::uint64_t found = 0;
    std::uint64_t metres = 0;
    for (auto _ : state) {
        for (const auto& [from, to] : t.queries) {
            Path path;
            if (Map::Routing::computePath(*t.atlas, *t.config.root(), from, to, path, false)) ++found;
            for (const PathPart& part : path.parts)
                metres += part.lengthMetres;
        }
    }
    state.counters["nodes"] = static_cast<double>(t.side) * t.side;
    state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations() * t.queries.size());
    state.counters["metres"] = static_cast<double>(metres) / static_cast<double>(state.iterations() * t.queries.size());
}

// Adding an 11th point to a route of 10 points on one map: one search from
// the point and one towards it, over the 10 route points as finishes.
void AddRoutePoint(benchmark::State& state) {
    Town& t = town(static_cast<std::uint32_t>(state.range(0)));
    if (t.map == nullptr) return state.SkipWithError("the generated map did not load");
    std::uint64_t added = 0;
    for (auto _ : state) {
        Path route = t.route;
        if (Map::Routing::insertPathPoint(*t.atlas, *t.config.root(), route, t.added)) ++added;
        benchmark::DoNotOptimize(route.parts.data());
    }
    state.counters["nodes"] = static_cast<double>(t.side) * t.side;
    state.counters["added"] = static_cast<double>(added) / static_cast<double>(state.iterations());
}

// The same choice made by 2 x legs + 1 whole route computations, for
// comparison.
void AddRoutePointByComputations(benchmark::State& state) {
    Town& t = town(static_cast<std::uint32_t>(state.range(0)));
    if (t.map == nullptr) return state.SkipWithError("the generated map did not load");
    Core::ConfigNode& config = *t.config.root();
    for (auto _ : state) {
        Path leg;
        Map::Routing::computePath(*t.atlas, config, t.route.points.back(), t.added, leg, false);
        for (std::size_t i = 0; i + 1 < t.route.points.size(); ++i) {
            Map::Routing::computePath(*t.atlas, config, t.route.points[i], t.added, leg, false);
            Map::Routing::computePath(*t.atlas, config, t.added, t.route.points[i + 1], leg, false);
        }
        benchmark::DoNotOptimize(leg.parts.data());
    }
    state.counters["nodes"] = static_cast<double>(t.side) * t.side;
}

} // namespace

BENCHMARK(AddRoutePoint)->Arg(316)->Arg(632)->Unit(benchmark::kMillisecond);
BENCHMARK(AddRoutePointByComputations)->Arg(316)->Arg(632)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadRoadGraph)->Arg(316)->Arg(632)->Unit(benchmark::kMillisecond);
BENCHMARK(ComputeRoutes)->Arg(316)->Arg(632)->Unit(benchmark::kMillisecond);
