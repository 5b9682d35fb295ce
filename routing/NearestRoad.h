#pragma once
// Binding a location to the road network: the nearest polyline of the road
// graph in a growing square around it, across every map of the atlas that
// covers it, preferring roads of the more detailed map kind. Main thread
// only (cells are loaded into the atlas's main heap).

#include "map/KVAtlas.h"
#include "map/LevelFrame.h"
#include "map/ScopedArea.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Map::Routing {

constexpr std::uint32_t NoSegment = 0xFFFFFFFFu;

// The state of one search; preferRank set makes a more detailed map kind win
// over a nearer road of a less detailed one.
struct NearestRoadSearch {
    bool preferRank = false;
    bool found = false;
    // The best road: its map and level frame, its projected point and
    // squared distance (level units), name index, road-graph segment id and
    // the direction of the segment it was projected on (whole degrees).
    std::uint32_t mapIndex = 0;
    std::uint32_t mapType = 0;
    LevelFrame frame;
    LocalPoint projected;
    float distance2 = 0.0f;
    std::uint32_t nameIndex = 0;
    std::uint32_t segmentId = NoSegment;
    int segmentDirection = 0;
    // The last square half-width tried, global units.
    std::int64_t lastRadius = 0;
};

// A map whose first level covers a point, with the cells the search loaded.
struct CoveringMap {
    std::uint32_t mapIndex = 0;
    KVMap2* map = nullptr;
    LevelFrame frame;
    std::unique_ptr<ScopedArea> area;
};

// Every map of the atlas whose first level's grid contains the point's cell
// and whose block at that cell loads and is not empty.
std::vector<CoveringMap> mapsCoveringPoint(KVAtlas& atlas, Point point);

using TicksSource = std::function<std::uint32_t()>;
// SDL's millisecond ticks.
std::uint32_t sdlTicks();

// The growing-radius search: squares of half-width 10000, 20000, ... global
// units until the best road lies within the square's inscribed circle; gives
// up when the next radius would exceed 1000000 or after 1500 ms.
bool findNearestRoad(KVAtlas& atlas, Point location, NearestRoadSearch& state,
                     const TicksSource& ticks = sdlTicks);

// A location bound to a road: what a route point is built from.
struct RoadBinding {
    std::uint32_t segmentId = NoSegment;
    bool allowForward = true;
    bool allowBackward = true;
    std::uint32_t nameIndex = 0;
    std::uint32_t mapIndex = 0;
    LevelFrame frame;      // of both points
    LocalPoint roadPoint;  // on the road
    LocalPoint pickedPoint; // the location
    int roadHeading = 0;   // of the bound segment, whole degrees 0..359
};

// The nearest road-graph road to the location, the more detailed map kind
// first; false when none is found.
bool bindToNearestRoad(KVAtlas& atlas, Point location, RoadBinding& out, const TicksSource& ticks = sdlTicks);

// Bit 0x10 (two-way, for a segment built between two nodes) of the first
// attribute byte of the bound segment's head record, loading the map's road
// graph when needed; false when the graph or the segment cannot be had.
bool roadFlag10(KVAtlas& atlas, const RoadBinding& bound);

} // namespace Map::Routing
