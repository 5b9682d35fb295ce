#include "tests/routing/RouteFixture.h"

#include "map/Level.h"
#include "routing/Minimap.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace RouteTest {

namespace {

MapWriting::RoadChain chain(std::vector<std::uint32_t> nodes, bool roundabout) {
    MapWriting::RoadChain c;
    c.attributes.twoWay = !roundabout;
    c.attributes.roundabout = roundabout;
    c.nodes = std::move(nodes);
    c.segments.resize(c.nodes.size() - 1, MapWriting::RoadSegment{50, {}, {}});
    return c;
}

constexpr std::uint32_t kCells[7][2] = {{0, 1}, {1, 1}, {2, 1}, {2, 2}, {1, 2}, {3, 1}, {3, 2}};
// The nodes of every segment, in segment-id order.
constexpr Node kSegments[7][2] = {{W, R1}, {R1, R2}, {R2, R3}, {R3, R4}, {R4, R1}, {R2, X2}, {R3, X3}};

// Draws segment s as a polyline anchored in the lower-left cell of its two
// nodes, its points from the first node to the second.
void drawSegment(MapWriting::MapDescription& m, std::uint32_t s, std::uint32_t caption, std::uint8_t type) {
    const auto [a, b] = kSegments[s];
    const std::uint32_t x = std::min(kCells[a][0], kCells[b][0]), y = std::min(kCells[a][1], kCells[b][1]);
    auto& cells = m.levels[0].cells;
    auto cell = std::find_if(cells.begin(), cells.end(), [&](const auto& c) { return c.x == x && c.y == y; });
    if (cell == cells.end()) {
        cell = cells.insert(cells.end(), MapWriting::Cell());
        cell->x = x;
        cell->y = y;
    }
    const auto at = [&](Node n) {
        return MapWriting::CellPoint{(kCells[n][0] - x) * 1024 + 512, (kCells[n][1] - y) * 1024 + 512};
    };
    m.roads->chains[s == 0 ? 0 : s <= 4 ? 1 : s - 3].segments[s == 0 || s >= 5 ? 0 : s - 1].shape = {
        {x, y, static_cast<std::uint32_t>(cell->polylines.size()), 0}};
    cell->polylines.push_back({caption, type, type == 12, s, {at(a), at(b)}});
}

} // namespace

Map::LocalPoint nodePoint(Node node) {
    return {kCells[node][0] * 1024.0f + 512, kCells[node][1] * 1024.0f + 512};
}

std::uint32_t seed() {
    const char* text = std::getenv("MIREL_ROUTING_SEED");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 20261207u;
}

RouteAtlas::RouteAtlas(Map::AtlasServices services, int routeHeapKiB, bool linked) {
    MapWriting::MapDescription m = AtlasTest::completeMap(MapId, 0);
    ringName = m.strings.add("Ring/Road: \"A\"");
    mainName = m.strings.add("Station Road");
    MapWriting::RoadGraph g;
    g.nodes = {{0, 1, 1}, {1, 1, 1}, {2, 1, 1}, {2, 2, 1}, {1, 2, 1}, {3, 1, 1}, {3, 2, 1}};
    g.chains = {chain({W, R1}, false), chain({R1, R2, R3, R4, R1}, true), chain({R2, X2}, false),
                chain({R3, X3}, false)};
    if (linked) {
        // W and X2 are link nodes; crossing the town from W to X2 costs
        // 7300, back 9800 round the ring: metres of the way as drawn (a cell
        // is about 2.4 km), the unit of the straight-line entry costs the
        // minimap weighs them against.
        const Map::LevelFrame frame{24, 10, 100, 200};
        for (const Node n : {W, X2}) {
            const Map::Point p = frame.toGlobal(nodePoint(n));
            g.linkNodes.push_back({n, p.x, p.y});
        }
        g.transit = {0, 7300, 9800, 0};
    }
    m.roads = g;
    for (std::uint32_t s = 0; s < 7; ++s)
        drawSegment(m, s, s >= 1 && s <= 4 ? ringName : mainName, s >= 1 && s <= 4 ? 12 : 0);
    setup.config.root()->set("win_route_heap", routeHeapKiB);
    const std::filesystem::path folder = setup.folder("route");
    MapWriting::writeMapFile(folder / "town.kvm", m);
    if (linked) {
        // The twin overlaps the town and meets it at W and X2; the island
        // has no links.
        m.mapId = TwinId;
        MapWriting::writeMapFile(folder / "twin.kvm", m);
        m.roads->linkNodes.clear();
        m.roads->transit.clear();
        m.mapId = IslandId;
        MapWriting::writeMapFile(folder / "island.kvm", m);
        services.interMapGraph = std::make_unique<Minimap>();
    }
    atlas = setup.makeAtlas(std::move(services));
    EXPECT_TRUE(atlas->load(AtlasTest::wide(folder)));
    map = atlas->findMapById(MapId);
    EXPECT_NE(map, nullptr);
}

PathPart RouteAtlas::part(std::vector<Map::LocalPoint> points, std::uint8_t roadClass, std::uint8_t forward,
                          std::uint32_t segmentId, std::size_t levelIndex) const {
    PathPart p;
    p.map = map;
    p.level = &level(levelIndex);
    p.roadClass = roadClass;
    p.forward = forward;
    p.segmentId = segmentId;
    const float cell = std::ldexp(1.0f, p.level->cellShift());
    PathPolyline line;
    line.cellX = static_cast<std::int32_t>(std::floor(points.front().x / cell));
    line.cellY = static_cast<std::int32_t>(std::floor(points.front().y / cell));
    for (const Map::LocalPoint& q : points)
        line.points.push_back({q.x - line.cellX * cell, q.y - line.cellY * cell});
    p.polylines.push_back(std::move(line));
    p.metresPerUnit = 1.0f;
    p.lengthMetres = p.metres(p.geometricLength());
    return p;
}

PathPoint RouteAtlas::pointOn(std::uint32_t s, float t, Map::KVMap2* on) const {
    const Map::LocalPoint a = nodePoint(kSegments[s][0]), b = nodePoint(kSegments[s][1]);
    PathPoint p = point({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    p.segmentId = s;
    if (on != nullptr) {
        p.map = on;
        p.roadPoint.level = p.pickedPoint.level = &on->level(0);
    }
    return p;
}

PathPoint RouteAtlas::point(Map::LocalPoint at, std::uint32_t nameIndex) const {
    PathPoint p;
    p.map = map;
    p.allowForward = 1;
    p.allowBackward = 1;
    p.segmentId = 0;
    p.nameIndex = nameIndex;
    p.roadPoint = {&level(0), at.x, at.y};
    p.pickedPoint = {&level(0), at.x + 3.0f, at.y - 4.0f};
    return p;
}

} // namespace RouteTest
