#pragma once
// Road graphs for the routing tests: drawn as ASCII art (letters are nodes,
// their column and row the grid cell) with one line per road, or built from
// edge lists; plus a plain Dijkstra over the same roads to compare with.

#include "routing/RoadMap.h"
#include "routing/RoutingParams.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace RoutingTest {

struct Road {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    bool twoWay = true; // otherwise only from -> to
    std::uint16_t length = 0;
    RoadGraph::SegmentAttributes attributes;
};

struct TestGraph {
    RoadMap map;
    std::vector<RoadGraph::GridCell> cells; // per node id
    std::vector<Road> roads;                // road i is segment i
    std::map<char, std::uint32_t> names;

    std::uint32_t node(char name) const { return names.at(name); }
    // The segment joining two named nodes (the first road found).
    std::uint32_t segment(char a, char b) const;
};

// Builds the map: one node record per cell, one segment per road, links.
void buildMap(TestGraph& g, std::uint32_t cellMetres);

// Drawing: every letter is a node at (column, row). Roads, one per line:
// "A-B 100" two-way, "A>B 100" one-way from A to B; optional words "c3"
// (class), "q6" (quality), "toll", "unpaved", "forbidden", "access".
TestGraph drawGraph(const std::string& drawing, const std::string& roads, std::uint32_t cellMetres = 10);

// A plain directed graph for the oracle.
struct Arc {
    std::uint32_t to;
    std::uint64_t cost;
};
using Digraph = std::vector<std::vector<Arc>>;

// Arcs of the roads with the costs the parameters give (impassable roads left out).
Digraph roadDigraph(const TestGraph& g, const RoutingParams& params);
// Distances from `source`; UINT64_MAX where unreached. Vertices in `sinks`
// are reached but not left.
std::vector<std::uint64_t> dijkstra(const Digraph& graph, std::uint32_t source,
                                    const std::vector<bool>& sinks = {});
Digraph reversed(const Digraph& graph);

} // namespace RoutingTest
