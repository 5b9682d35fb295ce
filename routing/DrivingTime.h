#pragma once
// How long a route takes to drive, by the speeds the fastest-route search
// weighs its roads with (kSpeedFactor, routing/RoutingParams.h): the time a
// route is shown with, so that the fastest route never shows a longer time
// than the shortest.

#include <cstdint>
#include <optional>

class Path;

namespace Map {
class Atlas;
}

namespace Map::Routing {

// The time units (1/40 s, kTimeUnitsPerSecond) to drive every part of the
// route at the speed of its road's class, loading the road graphs it needs;
// none when a part's road cannot be found in its map's graph.
std::optional<std::uint64_t> drivingTime(const Path& path, Map::Atlas& atlas);

} // namespace Map::Routing
