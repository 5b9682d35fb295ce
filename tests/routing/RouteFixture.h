#pragma once
// An atlas of one map for the route-model tests: the map tests' sample
// town (level 0: 24 bits, cell shift 10, origin (100, 200); level 1: 20
// bits, shift 8, origin (6, 12)) with a drawn road graph around a
// roundabout, and helpers that build route parts and points on it.

#include "map/KVAtlas.h"
#include "routing/Path.h"
#include "tests/map/AtlasFixture.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace RouteTest {

// The road graph (segment ids in brackets; the ring R1-R2-R3-R4 is one-way
// in that order and a roundabout):
//
//   W -[0]- R1 -[1]-> R2 -[5]- X2
//           ^          |
//          [4]        [2]
//           |          v
//           R4 <-[3]- R3 -[6]- X3
// Node (x, y) stands at the middle of level-0 cell (x, y); every segment is
// drawn as one straight polyline between its nodes, 50 m long.
enum Node : std::uint32_t { W, R1, R2, R3, R4, X2, X3 };
Map::LocalPoint nodePoint(Node node);

inline constexpr std::uint32_t MapId = 7;
inline constexpr std::uint32_t TwinId = 8;
inline constexpr std::uint32_t IslandId = 9;

// The random seed of the property tests; MIREL_ROUTING_SEED overrides it.
std::uint32_t seed();

struct RouteAtlas {
    // services.routePath, when given, is the atlas's route path.
    // linked: two more maps of the same town, the twin (TwinId) meeting this
    // one at W and X2, the island (IslandId) with no links, and a minimap.
    explicit RouteAtlas(Map::AtlasServices services = {}, int routeHeapKiB = 64, bool linked = false);
    const Map::Level& level(std::size_t i) const { return map->level(i); }
    // A part along level-local points of level i (anchored in the first
    // point's cell), metresPerUnit 1 and its length from the geometry.
    PathPart part(std::vector<Map::LocalPoint> points, std::uint8_t roadClass = 0, std::uint8_t forward = 1,
                  std::uint32_t segmentId = RoadGraph::kNoId, std::size_t level = 0) const;
    PathPoint point(Map::LocalPoint at, std::uint32_t nameIndex = 0) const;
    // A route point on segment s, t of the way from its first node.
    PathPoint pointOn(std::uint32_t s, float t, Map::KVMap2* on = nullptr) const;

    AtlasTest::AtlasSetup setup;
    std::unique_ptr<Map::KVAtlas> atlas;
    Map::KVMap2* map = nullptr;
    std::uint32_t ringName = 0; // "Ring/Road: \"A\"" in the strings
    std::uint32_t mainName = 0; // "Station Road"
};

} // namespace RouteTest
