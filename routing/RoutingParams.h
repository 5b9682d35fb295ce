#pragma once
// The routing parameters read from the "Routing" settings node, and the two
// integer functions they steer: the cost of one segment chain and the
// estimate of the remaining cost between two grid cells.

#include "routing/RoadRecords.h"

#include <algorithm>
#include <cstdint>

namespace Core {
class ConfigNode;
}

struct RoutingParams {
    // 0 length, 1 travel time by road class, 2 length without the quality term.
    std::uint32_t routing_mode = 0;
    std::uint8_t accessMask = 0x20;
    std::uint8_t avoid_unpaved = 1;
    std::uint8_t avoid_toll = 0;
    std::uint8_t best_roads = 0;
    std::uint8_t best_roads_max = 1; // never 0
    std::uint8_t routing_speed = 0;
    std::uint8_t speedDivisor = 1; // routing_speed_max + 1, never 0
    std::uint8_t excludeFlag = 0;
    std::uint32_t excludedSegment = RoadGraph::kNoId; // head id of a chain that is impassable

    // Reads the keys (creating missing ones with their defaults). With
    // best_roads_max or routing_speed_max 0 the fall-back record above is
    // returned and nothing else is read. best_roads is kept at or below
    // best_roads_max, and a routing_mode above 2 is read as 1.
    static RoutingParams fromConfig(Core::ConfigNode& routing);
};

namespace Map::Routing {

// Speed factor per road class (0 fastest).
inline constexpr std::uint16_t kSpeedFactor[8] = {248, 99, 50, 33, 25, 22, 18, 13};

// Division by best_roads_max as a multiplication by its reciprocal
// ceil(2^39 / d): exact for every dividend 0 <= n < 2^31 (the error n * e /
// (d * 2^39), e < d < 2^8, stays below 1/d). The search makes one per search
// rather than dividing on every relaxation.
struct BestRoadsDivisor {
    explicit BestRoadsDivisor(const RoutingParams& params)
        : divisor(std::max<std::int32_t>(params.best_roads_max, 1)),
          reciprocal(((std::uint64_t{1} << 39) + static_cast<std::uint64_t>(divisor) - 1) /
                     static_cast<std::uint64_t>(divisor)) {}
    std::int32_t divide(std::int32_t n) const {
        return static_cast<std::int32_t>((static_cast<unsigned __int128>(static_cast<std::uint32_t>(n)) * reciprocal) >>
                                         39);
    }
    std::int32_t divisor;
    std::uint64_t reciprocal;
};

// Cost of travelling a segment chain with these attributes and length, or
// RoadGraph::kInfiniteCost when it is impassable. A chain of length 0 costs
// 0; any other costs at least 1, whatever the quality term. Inline: the
// search calls it on every relaxation (with the divisor made once).
inline std::uint32_t segmentCost(const RoutingParams& params, const BestRoadsDivisor& roads,
                                 const RoadGraph::SegmentAttributes& attributes, std::uint16_t length) {
    if (attributes.access & params.accessMask) return RoadGraph::kInfiniteCost;
    if (params.avoid_unpaved && (attributes.road & RoadGraph::RoadFlag::Unpaved)) return RoadGraph::kInfiniteCost;
    if (params.avoid_toll && (attributes.road & RoadGraph::RoadFlag::Toll)) return RoadGraph::kInfiniteCost;
    if (attributes.road & RoadGraph::RoadFlag::Forbidden) return RoadGraph::kInfiniteCost;
    if (length == 0) return 0;
    std::int32_t base;
    if (params.routing_mode == 2) return length;
    if (params.routing_mode == 0)
        base = length;
    else
        base = kSpeedFactor[attributes.road & RoadGraph::RoadFlag::ClassMask] * static_cast<std::int32_t>(length) / 10;
    const std::int32_t weight = std::min<std::int32_t>(params.best_roads, roads.divisor);
    // weight * base stays below 255 * 248 * 65535 / 10 < 2^29.
    const std::int32_t q = roads.divide(weight * base);
    const std::int32_t term = q * (4 - (attributes.quality & 0x07)) / 5;
    return static_cast<std::uint32_t>(std::max<std::int32_t>(base + term, 1));
}

inline std::uint32_t segmentCost(const RoutingParams& params, const RoadGraph::SegmentAttributes& attributes,
                                 std::uint16_t length) {
    return segmentCost(params, BestRoadsDivisor(params), attributes, length);
}

// Estimate of the cost between two cells: the larger of the smaller axis
// difference times `smallWeight` and the larger times `largeWeight` (each
// difference less one cell), raised by the speed term; in mode 1 scaled by
// the slowest speed factor 13/10; 0 in mode 2. Computed without wrapping.
std::uint32_t estimateCost(const RoutingParams& params, RoadGraph::GridCell a, RoadGraph::GridCell b,
                           std::uint32_t smallWeight, std::uint32_t largeWeight);

} // namespace Map::Routing
