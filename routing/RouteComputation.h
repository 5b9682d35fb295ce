#pragma once
// Computing the route between two bound route points: one search over the
// map's road graph when both lie on one map; across maps, a search of the
// minimap for the chain of link nodes, then one search per map
// (docs/route-model.md). The
// outcome of the latest request is kept process-wide for the map page's
// message: a success flag, the status of the latest failure (a success does
// not reset it) and the time spent loading, searching and building.

#include "map/Point.h"
#include "routing/Path.h"

#include <cstdint>

namespace Core {
class ConfigNode;
}

namespace Map::Routing {

struct RoutingResult {
    std::uint8_t success = 0;
    std::int32_t status = 0; // RoutingStatus of the latest failure
    std::uint32_t loadingMs = 0;
    std::uint32_t searchingMs = 0;
    std::uint32_t buildingMs = 0;
};

// Main thread only.
RoutingResult& routingResult();

// Message key of a status ("" for 0, whose text is "Internal error!").
const char* statusMessageKey(std::int32_t status);

// The cost of reaching a link node from a point: straight-line metres
// (rounded) >> 9.
std::uint16_t linkEntryCost(Map::GeoPoint from, Map::GeoPoint to);

// Fills path with the route from start to finish: its two points, one leg,
// the parts cut at the points, manoeuvres labelled. False on failure (the
// result's status tells why; path is left as it was when a point is bound to
// no road, and cleared on every later failure).
// `config` is the configuration root ("Routing" and "Maneuvers" are read);
// excludeStart keeps the route off the start point's road.
bool computePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& start, const PathPoint& finish,
                 Path& path, bool excludeStart);

// Adds a route point to `route` where it lengthens the route least: inside
// the stretch of a leg on the point's map whose detour through it costs
// least (one search from the point and one towards it, over a task of at
// most 10 finishes: the route points of that map and the nodes where the
// route enters and leaves it), or as the new finish when that costs no
// more. More finishes than that: "Path points count is too big" and status
// -2. False, with the status, when the point fits nowhere.
bool insertPathPoint(Map::KVAtlas& atlas, Core::ConfigNode& config, Path& route, const PathPoint& point);

} // namespace Map::Routing
