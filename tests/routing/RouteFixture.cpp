#include "tests/routing/RouteFixture.h"

#include "map/Level.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

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

} // namespace

std::uint32_t seed() {
    const char* text = std::getenv("MIREL_ROUTING_SEED");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 20261207u;
}

RouteAtlas::RouteAtlas(Map::AtlasServices services) {
    MapWriting::MapDescription m = AtlasTest::completeMap(MapId, 0);
    ringName = m.strings.add("Ring/Road: \"A\"");
    mainName = m.strings.add("Station Road");
    MapWriting::RoadGraph g;
    g.nodes = {{0, 1, 1}, {1, 1, 1}, {2, 1, 1}, {2, 2, 1}, {1, 2, 1}, {3, 1, 1}, {3, 2, 1}};
    g.chains = {chain({W, R1}, false), chain({R1, R2, R3, R4, R1}, true), chain({R2, X2}, false),
                chain({R3, X3}, false)};
    m.roads = g;
    const std::filesystem::path folder = setup.folder("route");
    MapWriting::writeMapFile(folder / "town.kvm", m);
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
