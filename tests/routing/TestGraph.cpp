#include "tests/routing/TestGraph.h"

#include <cctype>
#include <limits>
#include <queue>
#include <sstream>
#include <stdexcept>

using namespace RoadGraph;

namespace RoutingTest {

std::uint32_t TestGraph::segment(char a, char b) const {
    const std::uint32_t x = node(a);
    const std::uint32_t y = node(b);
    for (std::uint32_t i = 0; i < roads.size(); ++i)
        if ((roads[i].from == x && roads[i].to == y) || (roads[i].from == y && roads[i].to == x)) return i;
    throw std::logic_error("no such road");
}

void buildMap(TestGraph& g, std::uint32_t cellMetres) {
    const auto nodeCount = static_cast<std::uint32_t>(g.cells.size());
    const auto segmentCount = static_cast<std::uint32_t>(g.roads.size());
    if (!g.map.allocate(nodeCount, nodeCount + 120, segmentCount, segmentCount + 290, 4 * segmentCount + 580))
        throw std::runtime_error("allocate failed");
    for (std::uint32_t i = 0; i < nodeCount; ++i)
        g.map.initNodeRecord(i, g.cells[i], 1);
    for (std::uint32_t i = 0; i < segmentCount; ++i) {
        const Road& r = g.roads[i];
        NodeTransitions table;
        table.add(0, 0, true, r.twoWay);
        if (!g.map.addSegment(i, r.from, r.to, r.attributes, r.length, table))
            throw std::runtime_error("addSegment failed");
    }
    g.map.buildLinks();
    g.map.cellMetres = cellMetres;
    std::uint32_t root = 0;
    while ((root + 1) * (root + 1) <= 2 * cellMetres)
        ++root;
    g.map.cellDiagonalRoot = root;
}

TestGraph drawGraph(const std::string& drawing, const std::string& roads, std::uint32_t cellMetres) {
    TestGraph g;
    std::istringstream lines(drawing);
    std::string line;
    std::uint16_t row = 0;
    for (; std::getline(lines, line); ++row) {
        for (std::size_t col = 0; col < line.size(); ++col) {
            if (std::isalpha(static_cast<unsigned char>(line[col]))) {
                g.names[line[col]] = static_cast<std::uint32_t>(g.cells.size());
                g.cells.push_back(GridCell{static_cast<std::uint16_t>(col), row});
            }
        }
    }
    std::istringstream roadLines(roads);
    while (std::getline(roadLines, line)) {
        std::istringstream words(line);
        std::string link;
        if (!(words >> link)) continue;
        if (link.size() != 3 || (link[1] != '-' && link[1] != '>'))
            throw std::logic_error("bad road " + line);
        Road r;
        r.from = g.node(link[0]);
        r.to = g.node(link[2]);
        r.twoWay = link[1] == '-';
        int length = 0;
        words >> length;
        r.length = static_cast<std::uint16_t>(length);
        std::string word;
        while (words >> word) {
            if (word[0] == 'c')
                r.attributes.road |= static_cast<std::uint8_t>(std::stoi(word.substr(1)) & 7);
            else if (word[0] == 'q')
                r.attributes.quality = static_cast<std::uint8_t>(std::stoi(word.substr(1)));
            else if (word == "toll")
                r.attributes.road |= RoadFlag::Toll;
            else if (word == "unpaved")
                r.attributes.road |= RoadFlag::Unpaved;
            else if (word == "forbidden")
                r.attributes.road |= RoadFlag::Forbidden;
            else if (word == "access")
                r.attributes.access = 0x20;
            else
                throw std::logic_error("bad road word " + word);
        }
        g.roads.push_back(r);
    }
    buildMap(g, cellMetres);
    return g;
}

Digraph roadDigraph(const TestGraph& g, const RoutingParams& params) {
    Digraph out(g.cells.size());
    for (const Road& r : g.roads) {
        const std::uint32_t c = Map::Routing::segmentCost(params, r.attributes, r.length);
        if (c == kInfiniteCost) continue;
        out[r.from].push_back({r.to, c});
        if (r.twoWay) out[r.to].push_back({r.from, c});
    }
    return out;
}

std::vector<std::uint64_t> dijkstra(const Digraph& graph, std::uint32_t source,
                                    const std::vector<bool>& sinks) {
    constexpr std::uint64_t inf = std::numeric_limits<std::uint64_t>::max();
    std::vector<std::uint64_t> dist(graph.size(), inf);
    using Item = std::pair<std::uint64_t, std::uint32_t>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> open;
    dist[source] = 0;
    open.push({0, source});
    while (!open.empty()) {
        const auto [d, v] = open.top();
        open.pop();
        if (d != dist[v] || (v < sinks.size() && sinks[v] && v != source)) continue;
        for (const Arc& a : graph[v]) {
            if (d + a.cost < dist[a.to]) {
                dist[a.to] = d + a.cost;
                open.push({dist[a.to], a.to});
            }
        }
    }
    return dist;
}

Digraph reversed(const Digraph& graph) {
    Digraph out(graph.size());
    for (std::uint32_t v = 0; v < graph.size(); ++v)
        for (const Arc& a : graph[v])
            out[a.to].push_back({v, a.cost});
    return out;
}

} // namespace RoutingTest
