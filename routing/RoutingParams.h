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

// Travel time per metre by road class, in tenths of a time unit: class 0
// is the slowest road, class 7 the fastest (the mode-1 estimate prices the
// remaining way at 13/10 a metre, class 7's rate, so that it never
// overestimates).
inline constexpr std::uint16_t kSpeedFactor[8] = {248, 99, 50, 33, 25, 22, 18, 13};

// A time unit is 1/40 s of driving: class c is driven at
// 1440 / kSpeedFactor[c] km/h, 5.8 km/h on class 0 up to 111 km/h on class 7
// (docs/routing-graph.md lists them). The search's mode-1 costs, the times
// shown and the checks of the fastest route all come from this one table.
inline constexpr std::uint32_t kTimeUnitsPerSecond = 40;

// Time units to drive `length` metres of a road of the class.
inline std::int32_t travelTime(std::uint8_t roadClass, std::uint16_t length) {
    return kSpeedFactor[roadClass & RoadGraph::RoadFlag::ClassMask] * static_cast<std::int32_t>(length) / 10;
}

// The speed a road class is driven at, in km/h.
inline double classSpeedKmh(std::uint8_t roadClass) {
    return 3.6 * 10.0 * kTimeUnitsPerSecond / kSpeedFactor[roadClass & RoadGraph::RoadFlag::ClassMask];
}

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
    friend bool operator==(const BestRoadsDivisor&, const BestRoadsDivisor&) = default;
};

// Segment costs with the parameters worked out once: the blocking bits
// gathered into two masks, the weight of the quality term and the divisor.
// The search makes one per search and prices every relaxation with it.
class CostModel {
  public:
    explicit CostModel(const RoutingParams& params) : CostModel(params, BestRoadsDivisor(params)) {}
    CostModel(const RoutingParams& params, const BestRoadsDivisor& roads)
        : accessMask_(params.accessMask),
          blockedRoad_(static_cast<std::uint8_t>(RoadGraph::RoadFlag::Forbidden |
                                                 (params.avoid_unpaved ? RoadGraph::RoadFlag::Unpaved : 0) |
                                                 (params.avoid_toll ? RoadGraph::RoadFlag::Toll : 0))),
          mode_(params.routing_mode), weight_(std::min<std::int32_t>(params.best_roads, roads.divisor)),
          roads_(roads) {}

    // Cost of travelling a segment chain with these attributes and length,
    // or RoadGraph::kInfiniteCost when it is impassable. A chain of length 0
    // costs 0; any other costs at least 1, whatever the quality term.
    std::uint32_t operator()(const RoadGraph::SegmentAttributes& attributes, std::uint16_t length) const {
        if ((attributes.access & accessMask_) | (attributes.road & blockedRoad_))
            return RoadGraph::kInfiniteCost;
        if (length == 0) return 0;
        if (mode_ == 2) return length;
        const std::int32_t base = mode_ == 0 ? std::int32_t{length} : travelTime(attributes.road, length);
        // weight * base stays below 255 * 248 * 65535 / 10 < 2^29.
        const std::int32_t q = roads_.divide(weight_ * base);
        const std::int32_t term = q * (4 - (attributes.quality & 0x07)) / 5;
        return static_cast<std::uint32_t>(std::max<std::int32_t>(base + term, 1));
    }

    // Models that price every segment alike.
    friend bool operator==(const CostModel&, const CostModel&) = default;

  private:
    std::uint8_t accessMask_;
    std::uint8_t blockedRoad_;
    std::uint32_t mode_;
    std::int32_t weight_;
    BestRoadsDivisor roads_;
};

inline std::uint32_t segmentCost(const RoutingParams& params, const BestRoadsDivisor& roads,
                                 const RoadGraph::SegmentAttributes& attributes, std::uint16_t length) {
    return CostModel(params, roads)(attributes, length);
}

inline std::uint32_t segmentCost(const RoutingParams& params, const RoadGraph::SegmentAttributes& attributes,
                                 std::uint16_t length) {
    return CostModel(params)(attributes, length);
}

// The estimate towards one cell with the parameters worked out once (the
// search makes one per finish and uses it on every relaxation). The larger
// of the smaller axis difference times `smallWeight` and the larger times
// `largeWeight` (each difference less one cell), raised by the speed term;
// in mode 1 scaled by the fastest class's factor 13/10; 0 in mode 2.
// Computed without wrapping.
class Estimator {
  public:
    Estimator(const RoutingParams& params, RoadGraph::GridCell target, std::uint32_t smallWeight,
              std::uint32_t largeWeight)
        : target_(target), smallWeight_(smallWeight), largeWeight_(largeWeight), speed_(params.routing_speed),
          divisor_(std::max<std::uint8_t>(params.speedDivisor, 1)),
          active_(params.routing_mode == 0 || params.routing_mode == 1), scaled_(params.routing_mode == 1) {}

    std::uint32_t operator()(RoadGraph::GridCell cell) const {
        if (!active_) return 0;
        const std::uint64_t dx = difference(target_.x, cell.x);
        const std::uint64_t dy = difference(target_.y, cell.y);
        std::uint64_t v = std::max(std::min(dx, dy) * smallWeight_, std::max(dx, dy) * largeWeight_);
        // Most settings have no speed term: no division then.
        if (speed_ != 0) v += v * speed_ / divisor_;
        if (scaled_) v = v * 13 / 10;
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, RoadGraph::kInfiniteCost - 1));
    }

  private:
    static std::uint64_t difference(std::uint16_t p, std::uint16_t q) {
        const std::uint64_t d = p > q ? p - q : q - p;
        return d == 0 ? 0 : d - 1;
    }

    RoadGraph::GridCell target_;
    std::uint64_t smallWeight_;
    std::uint64_t largeWeight_;
    std::uint64_t speed_;
    std::uint64_t divisor_;
    bool active_;
    bool scaled_;
};

// The estimate between two cells (see Estimator).
inline std::uint32_t estimateCost(const RoutingParams& params, RoadGraph::GridCell a, RoadGraph::GridCell b,
                                  std::uint32_t smallWeight, std::uint32_t largeWeight) {
    return Estimator(params, a, smallWeight, largeWeight)(b);
}

} // namespace Map::Routing
