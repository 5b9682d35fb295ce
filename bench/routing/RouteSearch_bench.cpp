// Route search on grid-like road networks of 10^4, 10^5 and 10^6 nodes,
// beside Boost Graph Library's plain Dijkstra on the same graph and costs.
// Every tenth street is an arterial (class 1), every fiftieth a highway
// (class 0), the rest town streets (classes 4 to 6); one street in ten is
// one-way. Queries run between fixed random node pairs.

#include "routing/RouteSearch.h"

#include <benchmark/benchmark.h>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>

#include <map>
#include <memory>
#include <random>

using namespace RoadGraph;

namespace {

struct Arc {
    std::uint32_t weight;
};
using BoostGraph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, Arc>;

struct Network {
    RoadMap map;
    BoostGraph boost;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> queries;
    RoutingParams params;
};

std::uint8_t classOf(std::uint32_t line) {
    if (line % 50 == 0) return 0;
    if (line % 10 == 0) return 1;
    return static_cast<std::uint8_t>(4 + line % 3);
}

std::unique_ptr<Network> buildNetwork(std::uint32_t side) {
    auto net = std::make_unique<Network>();
    net->params.routing_mode = 1;
    net->params.best_roads = 5;
    net->params.best_roads_max = 10;
    net->params.speedDivisor = 5;
    std::mt19937 rng(side);
    const std::uint32_t nodes = side * side;
    struct Street {
        std::uint32_t a, b;
        bool twoWay;
        std::uint16_t length;
        SegmentAttributes attributes;
    };
    std::vector<Street> streets;
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::uint32_t v = y * side + x;
            if (x + 1 < side)
                streets.push_back(
                    {v, v + 1, rng() % 10 != 0, static_cast<std::uint16_t>(100 + rng() % 40),
                     SegmentAttributes{classOf(y), 0, static_cast<std::uint8_t>(3 + rng() % 2)}});
            if (y + 1 < side)
                streets.push_back(
                    {v, v + side, rng() % 10 != 0, static_cast<std::uint16_t>(100 + rng() % 40),
                     SegmentAttributes{classOf(x), 0, static_cast<std::uint8_t>(3 + rng() % 2)}});
        }
    }
    const auto segmentCount = static_cast<std::uint32_t>(streets.size());
    net->map.allocate(nodes, nodes + 120, segmentCount, segmentCount + 290, 2 * segmentCount + 580);
    for (std::uint32_t v = 0; v < nodes; ++v)
        net->map.initNodeRecord(
            v, GridCell{static_cast<std::uint16_t>(v % side), static_cast<std::uint16_t>(v / side)}, 1);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> arcs;
    std::vector<Arc> weights;
    for (std::uint32_t i = 0; i < segmentCount; ++i) {
        const Street& s = streets[i];
        NodeTransitions table;
        table.add(0, 0, true, s.twoWay);
        net->map.addSegment(i, s.a, s.b, s.attributes, s.length, table);
        const std::uint32_t cost = Map::Routing::segmentCost(net->params, s.attributes, s.length);
        arcs.emplace_back(s.a, s.b);
        weights.push_back(Arc{cost});
        if (s.twoWay) {
            arcs.emplace_back(s.b, s.a);
            weights.push_back(Arc{cost});
        }
    }
    net->map.buildLinks();
    net->boost =
        BoostGraph(boost::edges_are_unsorted_multi_pass, arcs.begin(), arcs.end(), weights.begin(), nodes);
    net->map.cellMetres = 100;
    net->map.cellDiagonalRoot = 14;
    for (int q = 0; q < 64; ++q)
        net->queries.emplace_back(rng() % nodes, rng() % nodes);
    return net;
}

Network& network(std::uint32_t side) {
    static std::map<std::uint32_t, std::unique_ptr<Network>> cache;
    auto& slot = cache[side];
    if (!slot) slot = buildNetwork(side);
    return *slot;
}

void RouteSearch(benchmark::State& state, std::uint32_t mode) {
    Network& net = network(static_cast<std::uint32_t>(state.range(0)));
    RoutingParams params = net.params;
    params.routing_mode = mode;
    std::size_t q = 0;
    Map::Routing::SearchStats stats;
    std::uint64_t queries = 0;
    for (auto _ : state) {
        const auto [from, to] = net.queries[q++ % net.queries.size()];
        SearchTask task;
        std::uint32_t cost = 0;
        task.source = std::make_unique<Map::Routing::SearchPositionFromNode>(net.map.cellOf(from), from);
        auto finish = std::make_unique<Map::Routing::SearchPositionToNode>(net.map.cellOf(to), to);
        finish->cost = &cost;
        task.addTarget(std::move(finish));
        Map::Routing::search(net.map, task, params, &stats);
        benchmark::DoNotOptimize(cost);
        ++queries;
    }
    state.counters["nodes"] = static_cast<double>(net.map.nodes().size());
    state.counters["expanded"] =
        static_cast<double>(stats.expanded) / static_cast<double>(std::max<std::uint64_t>(queries, 1));
}

struct FoundTarget {};

// Stops Dijkstra when the target is settled, as the route search does.
class StopAtTarget : public boost::default_dijkstra_visitor {
  public:
    StopAtTarget(std::uint32_t target, std::uint64_t* examined) : target_(target), examined_(examined) {}
    void examine_vertex(std::size_t v, const BoostGraph&) {
        ++*examined_;
        if (v == target_) throw FoundTarget{};
    }

  private:
    std::uint32_t target_;
    std::uint64_t* examined_;
};

void BoostDijkstra(benchmark::State& state) {
    Network& net = network(static_cast<std::uint32_t>(state.range(0)));
    const std::size_t n = boost::num_vertices(net.boost);
    std::vector<std::uint64_t> distance(n);
    std::vector<std::size_t> predecessor(n);
    std::size_t q = 0;
    std::uint64_t examined = 0;
    std::uint64_t queries = 0;
    for (auto _ : state) {
        const auto [from, to] = net.queries[q++ % net.queries.size()];
        try {
            boost::dijkstra_shortest_paths(
                net.boost, from,
                boost::weight_map(boost::get(&Arc::weight, net.boost))
                    .distance_map(boost::make_iterator_property_map(
                        distance.begin(), boost::get(boost::vertex_index, net.boost)))
                    .predecessor_map(boost::make_iterator_property_map(
                        predecessor.begin(), boost::get(boost::vertex_index, net.boost)))
                    .visitor(StopAtTarget(to, &examined)));
        } catch (const FoundTarget&) {
        }
        benchmark::DoNotOptimize(distance[to]);
        ++queries;
    }
    state.counters["nodes"] = static_cast<double>(n);
    state.counters["expanded"] =
        static_cast<double>(examined) / static_cast<double>(std::max<std::uint64_t>(queries, 1));
}

void RouteSearchTime(benchmark::State& state) {
    RouteSearch(state, 1);
}
void RouteSearchLength(benchmark::State& state) {
    RouteSearch(state, 2);
}

} // namespace

BENCHMARK(RouteSearchTime)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(RouteSearchLength)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BoostDijkstra)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
