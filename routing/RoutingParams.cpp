#include "routing/RoutingParams.h"

#include "core/ConfigNode.h"
#include "core/Log.h"

#include <algorithm>

using namespace RoadGraph;

RoutingParams RoutingParams::fromConfig(Core::ConfigNode& routing) {
    RoutingParams p;
    const int bestRoadsMax = routing.value("best_roads_max", 10);
    const int speedMax = routing.value("routing_speed_max", 4);
    if (bestRoadsMax == 0 || speedMax == 0) return p;
    const bool avoidToll = routing.value("avoid_toll", false);
    const bool avoidUnpaved = routing.value("avoid_unpaved", true);
    const int speed = routing.value("routing_speed", 0);
    const int bestRoads = routing.value("best_roads", 5);
    const int mode = routing.value("routing_mode", 1);

    p.avoid_toll = avoidToll ? 1 : 0;
    p.avoid_unpaved = avoidUnpaved ? 1 : 0;
    p.routing_speed = static_cast<std::uint8_t>(speed);
    p.best_roads_max = static_cast<std::uint8_t>(bestRoadsMax);
    if (p.best_roads_max == 0) p.best_roads_max = 1;
    p.speedDivisor = static_cast<std::uint8_t>(speedMax + 1);
    if (p.speedDivisor == 0) p.speedDivisor = 1;
    p.best_roads = static_cast<std::uint8_t>(bestRoads);
    // A weight above its divisor would make good roads cost less than nothing.
    if (p.best_roads > p.best_roads_max) {
        Log::log(Log::Normal, u"Routing: best_roads %d is above best_roads_max %d; using %d", bestRoads,
                 int(p.best_roads_max), int(p.best_roads_max));
        p.best_roads = p.best_roads_max;
    }
    if (mode < 0 || mode > 2) {
        Log::log(Log::Normal, u"Routing: unknown routing_mode %d; using 1", mode);
        p.routing_mode = 1;
    } else {
        p.routing_mode = static_cast<std::uint32_t>(mode);
    }
    return p;
}
