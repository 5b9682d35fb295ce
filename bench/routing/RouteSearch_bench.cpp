// Route search on grid-like road networks of 10^4, 10^5 and 10^6 nodes,
// each paired with Boost Graph Library on the same graph, costs and
// queries: the search with its estimate (mode 1) against Boost's
// astar_search with the same estimate, and the search without one (mode 2,
// whose estimate is 0) against Boost's Dijkstra. Every iteration runs every
// query, so the two sides of a pair average the same work, and the costs
// found are checked equal before timing; routes that differ node by node
// (equally cheap ones, broken apart by the two heaps) are counted. Every tenth street is an arterial
// (class 1), every fiftieth a highway (class 0), the rest town streets
// (classes 4 to 6); one street in ten is one-way.
//
// Boost's side is given what it would have on its own: one graph per mode
// carrying that mode's cost only, and the cells of its estimate read from a
// compact array indexed by vertex.

#include "routing/RouteSearch.h"

#include <benchmark/benchmark.h>
#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

using namespace RoadGraph;

namespace {

struct Arc {
    std::uint32_t cost;
};
using BoostGraph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, Arc>;

struct Network {
    RoadMap map;
    BoostGraph byTime;   // mode 1 costs
    BoostGraph byLength; // mode 2 costs
    std::vector<GridCell> cells;
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
    std::vector<Arc> times, lengths;
    for (std::uint32_t i = 0; i < segmentCount; ++i) {
        const Street& s = streets[i];
        NodeTransitions table;
        table.add(0, 0, true, s.twoWay);
        net->map.addSegment(i, s.a, s.b, s.attributes, s.length, table);
        RoutingParams byLength = net->params;
        byLength.routing_mode = 2;
        const Arc time{Map::Routing::segmentCost(net->params, s.attributes, s.length)};
        const Arc length{Map::Routing::segmentCost(byLength, s.attributes, s.length)};
        for (int way = 0; way < (s.twoWay ? 2 : 1); ++way) {
            arcs.emplace_back(way == 0 ? s.a : s.b, way == 0 ? s.b : s.a);
            times.push_back(time);
            lengths.push_back(length);
        }
    }
    net->map.buildLinks();
    net->byTime =
        BoostGraph(boost::edges_are_unsorted_multi_pass, arcs.begin(), arcs.end(), times.begin(), nodes);
    net->byLength =
        BoostGraph(boost::edges_are_unsorted_multi_pass, arcs.begin(), arcs.end(), lengths.begin(), nodes);
    for (std::uint32_t v = 0; v < nodes; ++v)
        net->cells.push_back(net->map.cellOf(v));
    net->map.cellMetres = 100;
    net->map.cellDiagonalRoot = 14;
    for (int q = 0; q < 16; ++q)
        net->queries.emplace_back(rng() % nodes, rng() % nodes);
    return net;
}

Network& network(std::uint32_t side) {
    static std::map<std::uint32_t, std::unique_ptr<Network>> cache;
    auto& slot = cache[side];
    if (!slot) slot = buildNetwork(side);
    return *slot;
}

RoutingParams paramsFor(const Network& net, std::uint32_t mode) {
    RoutingParams params = net.params;
    params.routing_mode = mode;
    return params;
}

// The cost found, and with `route` the nodes passed from `from` to `to`.
std::uint32_t searchCost(Network& net, const RoutingParams& params, std::uint32_t from, std::uint32_t to,
                         Map::Routing::SearchStats* stats, std::vector<std::uint32_t>* route = nullptr) {
    SearchTask task;
    std::uint32_t cost = kInfiniteCost;
    task.source = std::make_unique<Map::Routing::SearchPositionFromNode>(net.map.cellOf(from), from);
    auto finish = std::make_unique<Map::Routing::SearchPositionToNode>(net.map.cellOf(to), to);
    finish->cost = &cost;
    finish->nodes = route;
    task.addTarget(std::move(finish));
    Map::Routing::search(net.map, task, params, stats);
    return cost;
}

struct FoundTarget {};

// Stops Boost's search when the target is settled, as the route search does.
class StopAtTarget : public boost::default_astar_visitor {
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

// The route search's estimate towards the target's cell (the estimator the
// search makes per finish), from the compact cell array.
class Estimate : public boost::astar_heuristic<BoostGraph, std::uint64_t> {
  public:
    Estimate(const Network& net, const RoutingParams& params, std::uint32_t target)
        : cells_(net.cells.data()),
          estimator_(params, net.cells[target], net.map.cellDiagonalRoot, net.map.cellMetres) {}
    std::uint64_t operator()(std::size_t v) const { return estimator_(cells_[v]); }

  private:
    const GridCell* cells_;
    Map::Routing::Estimator estimator_;
};

struct BoostRun {
    std::vector<std::uint64_t> distance, rank;
    std::vector<std::size_t> predecessor;
    std::vector<boost::default_color_type> colour;
    std::uint64_t examined = 0;

    explicit BoostRun(std::size_t n) : distance(n), rank(n), predecessor(n), colour(n) {}

    std::uint64_t operator()(Network& net, std::uint32_t mode, std::uint32_t from, std::uint32_t to) {
        const BoostGraph& graph = mode == 1 ? net.byTime : net.byLength;
        const auto index = boost::get(boost::vertex_index, graph);
        auto distances = boost::make_iterator_property_map(distance.begin(), index);
        auto predecessors = boost::make_iterator_property_map(predecessor.begin(), index);
        try {
            if (mode == 1) {
                boost::astar_search(graph, from, Estimate(net, paramsFor(net, 1), to),
                                    boost::weight_map(boost::get(&Arc::cost, graph))
                                        .distance_map(distances)
                                        .predecessor_map(predecessors)
                                        .rank_map(boost::make_iterator_property_map(rank.begin(), index))
                                        .color_map(boost::make_iterator_property_map(colour.begin(), index))
                                        .visitor(StopAtTarget(to, &examined)));
            } else {
                boost::dijkstra_shortest_paths(graph, from,
                                               boost::weight_map(boost::get(&Arc::cost, graph))
                                                   .distance_map(distances)
                                                   .predecessor_map(predecessors)
                                                   .visitor(StopAtTarget(to, &examined)));
            }
        } catch (const FoundTarget&) {
        }
        return distance[to];
    }
};

// The costs and routes both sides find, compared once per network and
// mode. The costs must be equal. A route that differs from Boost's (node by
// node) is then one of several equally cheap ones, on which the two heaps
// break the tie apart: they are counted and shown.
struct Agreement {
    bool costs = true;
    int tiedRoutesApart = 0;
};

const Agreement& agreement(Network& net, std::uint32_t mode) {
    static std::map<std::pair<std::uint32_t, std::uint32_t>, Agreement> checked;
    const auto key = std::pair{static_cast<std::uint32_t>(net.map.nodes().size()), mode};
    if (const auto it = checked.find(key); it != checked.end()) return it->second;
    BoostRun boostRun(boost::num_vertices(net.byTime));
    Agreement result;
    for (const auto& [from, to] : net.queries) {
        std::vector<std::uint32_t> route;
        result.costs = result.costs && searchCost(net, paramsFor(net, mode), from, to, nullptr, &route) ==
                                           boostRun(net, mode, from, to);
        std::vector<std::uint32_t> boostRoute;
        for (std::size_t v = to; v != from && boostRoute.size() <= route.size(); v = boostRun.predecessor[v])
            boostRoute.push_back(static_cast<std::uint32_t>(v));
        boostRoute.push_back(from);
        std::reverse(boostRoute.begin(), boostRoute.end());
        if (route != boostRoute) ++result.tiedRoutesApart;
    }
    return checked[key] = result;
}

// Checks the pairing before timing; false (the run skipped) when the costs differ.
bool checkAgreement(benchmark::State& state, Network& net, std::uint32_t mode) {
    const Agreement& a = agreement(net, mode);
    state.counters["tied_routes_apart"] = a.tiedRoutesApart;
    if (!a.costs) state.SkipWithError("the search and Boost found different costs");
    return a.costs;
}

void RouteSearch(benchmark::State& state, std::uint32_t mode) {
    Network& net = network(static_cast<std::uint32_t>(state.range(0)));
    if (!checkAgreement(state, net, mode)) return;
    const RoutingParams params = paramsFor(net, mode);
    Map::Routing::SearchStats stats;
    std::uint64_t queries = 0;
    for (auto _ : state) {
        for (const auto& [from, to] : net.queries) {
            benchmark::DoNotOptimize(searchCost(net, params, from, to, &stats));
            ++queries;
        }
    }
    state.counters["nodes"] = static_cast<double>(net.map.nodes().size());
    state.counters["expanded"] =
        static_cast<double>(stats.expanded) / static_cast<double>(std::max<std::uint64_t>(queries, 1));
}

void Boost(benchmark::State& state, std::uint32_t mode) {
    Network& net = network(static_cast<std::uint32_t>(state.range(0)));
    if (!checkAgreement(state, net, mode)) return;
    BoostRun run(boost::num_vertices(net.byTime));
    std::uint64_t queries = 0;
    for (auto _ : state) {
        for (const auto& [from, to] : net.queries) {
            benchmark::DoNotOptimize(run(net, mode, from, to));
            ++queries;
        }
    }
    state.counters["nodes"] = static_cast<double>(boost::num_vertices(net.byTime));
    state.counters["expanded"] =
        static_cast<double>(run.examined) / static_cast<double>(std::max<std::uint64_t>(queries, 1));
}

void SearchWithEstimate(benchmark::State& state) {
    RouteSearch(state, 1);
}
void BoostAStar(benchmark::State& state) {
    Boost(state, 1);
}
void SearchWithoutEstimate(benchmark::State& state) {
    RouteSearch(state, 2);
}
void BoostDijkstra(benchmark::State& state) {
    Boost(state, 2);
}

} // namespace

BENCHMARK(SearchWithEstimate)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BoostAStar)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchWithoutEstimate)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BoostDijkstra)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond);
