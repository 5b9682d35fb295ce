#pragma once
// The car tracker's road matching: the road polylines of the atlas around a
// fix, their scores, and the polylines connected to a matched one. Runs on
// the main thread (it loads cells into the atlas's main heap).
//
// Which maps take part: of the maps whose first level covers the square
// around the fix, only those of the highest map-kind rank (a city map above
// a region above a country), and only their first, most detailed level. The
// drawing hides a less detailed map where a more detailed one covers it, so
// snapping to one of its coarse roads would put the car beside the roads
// the user sees.

#include "map/KVAtlas.h"
#include "map/LevelFrame.h"
#include "map/SegmentProjection.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Positioning {

// A polyline's identity while the atlas stays loaded: map, level, cell and
// the item's offset in the cell's block.
struct RoadRef {
    std::uint32_t mapIndex = 0xFFFFFFFFu;
    std::uint8_t level = 0;
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    std::uint32_t offset = 0;
    friend bool operator==(const RoadRef&, const RoadRef&) = default;
};

struct RoadPolyline {
    RoadRef ref;
    Map::LevelFrame frame;
    std::vector<Map::LocalPoint> points; // level-local
    std::uint32_t polylineId = 0xFFFFFFFFu;
    std::uint32_t caption = 0;
    std::uint8_t type = 0;
    bool oneWay = false; // only a polyline of the road graph can be one-way
};

struct MatchSettings {
    float maxDistMetres = 20.0f;
    float oldPolylineAttraction = 0.15f;
    float minSpeed = 1.0f;
    float critDistMetres = 50.0f;
    int connectionError = 1; // level units
};

// A road of the route around the car: its map (index in the atlas), its
// polyline id, whether the route drives it in the order of its points, and
// whether it lies on the stretch of the route the car may be on now (where
// the last fix was measured, give or take the car's own error along it).
struct RouteRoad {
    std::uint32_t mapIndex = 0xFFFFFFFFu;
    std::uint32_t polylineId = 0xFFFFFFFFu;
    bool forward = true;
    bool nearCar = true;
    friend bool operator==(const RouteRoad&, const RouteRoad&) = default;
};

// What the scorer knows of the car.
struct MatchInput {
    Map::Point point;           // global
    float unitsPerMetre = 1.0f; // global units per metre at the point
    float heading = 0.0f;       // GPS degrees
    bool headingKnown = true;   // the receiver gave a course (heading is 0 without one)
    float speed = 0.0f;         // m/s
    std::optional<RoadRef> current;
    // The roads of the route around the car, and the metres within which
    // the fix does not tell one place from another (its scatter): a road of
    // the route near the car (`RouteRoad::nearCar`), where the car's course
    // goes the route's way along it (any way without a course), is scored
    // as that much nearer the fix. A receiver that scatters puts its fixes
    // nearer a street beside the route, a footway or a yard's lane, for
    // seconds on end, and the car was taken there (and held at its dead
    // end: the map stood still). Not a road of the route further along it
    // or behind: a scatter of 60 m reaches the route's next loop, or the
    // street it came by, and the car was taken 80 to 100 m on or back.
    const std::vector<RouteRoad>* routeRoads = nullptr;
    float scatterMetres = 0.0f;
};

struct ScoredRoad {
    std::size_t index = 0; // into the scanned polylines
    float cost = 0.0f;
    Map::PolylineFoot foot;
};

// Roads (a road-graph id, or type 1..12, 22, 66, 67) of the taking-part maps
// in the square of half-width `radius` global units around `point`.
std::vector<RoadPolyline> collectRoads(Map::KVAtlas& atlas, Map::Point point, double radius);

// The cost of one polyline, or nothing when no segment lies within max_dist
// (within max_dist and the scatter, for a road of the route near the car).
std::optional<ScoredRoad> scoreRoad(const RoadPolyline& road, const MatchInput& input, const MatchSettings& settings);

// The angle between two headings in degrees, 0..180.
float headingDifference(float a, float b);

// e^-cost, 0 above 4.
float costWeight(float cost);

struct MatchResult {
    std::optional<ScoredRoad> best;
    float probability = 0.0f;
};
// The cheapest of roads and its probability (its weight over the sum of all
// weights; 1 when that sum is within 1e-8 of 0). First minimum wins.
MatchResult matchRoads(const std::vector<RoadPolyline>& roads, const MatchInput& input, const MatchSettings& settings);

// Whether two points of one frame are connected: |dx| and |dy| at most e and
// dx^2 + dy^2 below e^2.
bool connected(Map::LocalPoint a, Map::LocalPoint b, int e);

// The snapping candidates of a newly matched road: the road itself, then
// every polyline of the same map level with an end point connected to one of
// its ends.
std::vector<RoadPolyline> connectedRoads(const RoadPolyline& road, const std::vector<RoadPolyline>& roads, int e);

// The level of the map that covers a point best (most coordinate bits among
// the maps whose first level's grid contains it). Takes the atlas mutex:
// safe on the GPS thread.
std::optional<Map::LevelFrame> levelForPoint(Map::KVAtlas& atlas, Map::Point point);

} // namespace Positioning
