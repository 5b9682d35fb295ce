#include "routing/RoutingParams.h"

#include "core/Config.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

using namespace RoadGraph;
using Map::Routing::estimateCost;
using Map::Routing::segmentCost;

namespace {

SegmentAttributes road(int roadClass, int quality, std::uint8_t flags = 0, std::uint8_t access = 0) {
    return SegmentAttributes{static_cast<std::uint8_t>(roadClass | flags), access,
                             static_cast<std::uint8_t>(quality)};
}

RoutingParams fromSettings(const std::map<std::string, int>& settings, Core::Config& config) {
    for (const auto& [key, value] : settings)
        config.root()->set(key, value);
    return RoutingParams::fromConfig(*config.root());
}

} // namespace

TEST(RoutingParams, FromConfigFallsBackAndKeepsLowBytes) {
    struct Case {
        std::map<std::string, int> settings;
        std::uint32_t mode;
        int bestRoads, bestRoadsMax, divisor;
    };
    for (const Case& c : {Case{{}, 1, 5, 10, 5},
                          // A zero maximum: the plain defaults, nothing else read.
                          Case{{{"best_roads_max", 0}, {"routing_mode", 2}}, 0, 0, 1, 1},
                          // Low bytes: 256 is 0, held at 1; 255 + 1 wraps to 0, held at 1.
                          Case{{{"best_roads_max", 256}, {"routing_speed_max", 255}, {"best_roads", 3}}, 1, 1, 1, 1},
                          Case{{{"best_roads", 9}, {"best_roads_max", 5}, {"routing_mode", 7}}, 1, 5, 5, 5}}) {
        Core::Config config;
        const RoutingParams p = fromSettings(c.settings, config);
        EXPECT_EQ(p.routing_mode, c.mode);
        EXPECT_EQ(p.best_roads, c.bestRoads);
        EXPECT_EQ(p.best_roads_max, c.bestRoadsMax);
        EXPECT_EQ(p.speedDivisor, c.divisor);
        EXPECT_EQ(config.root()->has("avoid_toll"), c.settings.count("best_roads_max") == 0 ||
                                                        c.settings.at("best_roads_max") != 0);
    }
}

TEST(RoutingParams, SegmentCost) {
    RoutingParams p;
    struct Case {
        std::uint32_t mode;
        SegmentAttributes attributes;
        std::uint16_t length;
        std::uint32_t cost;
    };
    p.best_roads = 5;
    p.best_roads_max = 10;
    for (const Case& c : {Case{1, road(2, 2), 100, 600}, Case{1, road(2, 4), 100, 500}, Case{1, road(2, 7), 100, 350},
                          Case{0, road(2, 7), 100, 70}, Case{2, road(2, 0), 100, 100}, Case{2, road(2, 7), 100, 100},
                          Case{1, road(0, 4, RoadFlag::Forbidden), 10, kInfiniteCost},
                          Case{1, road(0, 4, 0, 0x20), 10, kInfiniteCost},
                          Case{1, road(0, 4, RoadFlag::Unpaved), 10, kInfiniteCost},
                          Case{1, road(0, 4, RoadFlag::Toll), 10, 248}}) {
        p.routing_mode = c.mode;
        EXPECT_EQ(segmentCost(p, c.attributes, c.length), c.cost) << c.mode << " " << int{c.attributes.quality};
    }
    p.avoid_toll = 1;
    p.avoid_unpaved = 0;
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Toll | RoadFlag::Unpaved), 10), kInfiniteCost);
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Unpaved), 10), 248u);

    // A weight above its divisor (a hand-made record) is held at the divisor:
    // quality 7 could otherwise make the cost negative. Positive lengths cost
    // at least 1, a length of 0 nothing.
    p.best_roads = 200;
    p.routing_mode = 0;
    EXPECT_EQ(segmentCost(p, road(0, 7), 100), 40u);
    EXPECT_EQ(segmentCost(p, road(7, 7), 0), 0u);
    p.best_roads = 255;
    p.best_roads_max = 1;
    for (std::uint32_t mode = 0; mode < 4; ++mode)
        for (int q = 0; q < 8; ++q)
            for (int c = 0; c < 8; ++c)
                for (int len : {1, 2, 3, 7, 65535}) {
                    p.routing_mode = mode;
                    EXPECT_GE(segmentCost(p, road(c, q), static_cast<std::uint16_t>(len)), 1u);
                }
}

TEST(RoutingParams, Estimate) {
    const GridCell a{10, 10}, far{15, 12};
    struct Case {
        std::uint32_t mode;
        std::uint8_t speed;
        GridCell from, to;
        std::uint32_t root, metres, cost;
    };
    for (const Case& c : {Case{0, 0, a, a, 14, 100, 0}, Case{0, 0, a, GridCell{11, 9}, 14, 100, 0},
                          Case{0, 0, a, far, 14, 100, 400}, Case{0, 0, far, a, 14, 100, 400},
                          Case{0, 0, a, far, 1000, 100, 1000}, Case{1, 0, a, far, 14, 100, 520},
                          Case{1, 3, a, far, 14, 100, (400 + 240) * 13 / 10}, Case{2, 3, a, far, 14, 100, 0},
                          Case{5, 3, a, far, 14, 100, 0}}) {
        RoutingParams p;
        p.routing_mode = c.mode;
        p.routing_speed = c.speed;
        p.speedDivisor = 5;
        EXPECT_EQ(estimateCost(p, c.from, c.to, c.root, c.metres), c.cost) << c.mode << " " << c.to.x;
    }
    // Cells above 32767 and large weights neither wrap nor go negative.
    RoutingParams p;
    p.routing_mode = 1;
    p.routing_speed = 255;
    p.speedDivisor = 1;
    EXPECT_EQ(estimateCost(p, GridCell{0, 0}, GridCell{40000, 0}, 0, 1), (39999u * 256u) * 13u / 10u);
    EXPECT_EQ(estimateCost(p, GridCell{0, 0}, GridCell{65535, 65535}, 0xFFFFFFFF, 0xFFFFFFFF), kInfiniteCost - 1);
}

namespace {

// The cost as first written, dividing by best_roads_max on every call.
std::uint32_t dividedCost(const RoutingParams& p, const SegmentAttributes& a, std::uint16_t length) {
    if (a.access & p.accessMask) return kInfiniteCost;
    if (p.avoid_unpaved && (a.road & RoadFlag::Unpaved)) return kInfiniteCost;
    if (p.avoid_toll && (a.road & RoadFlag::Toll)) return kInfiniteCost;
    if (a.road & RoadFlag::Forbidden) return kInfiniteCost;
    if (length == 0) return 0;
    if (p.routing_mode == 2) return length;
    const std::int32_t base = p.routing_mode == 0
                                  ? length
                                  : Map::Routing::kSpeedFactor[a.road & RoadFlag::ClassMask] * std::int32_t{length} / 10;
    const std::int32_t divisor = std::max<std::int32_t>(p.best_roads_max, 1);
    const std::int32_t q = std::min<std::int32_t>(p.best_roads, divisor) * base / divisor;
    return static_cast<std::uint32_t>(std::max<std::int32_t>(base + q * (4 - (a.quality & 7)) / 5, 1));
}

// Every divisor a setting can give, at the dividends where a reciprocal
// would slip first (each side of multiples, the top of the range).
TEST(RoutingParams, ReciprocalDividesExactly) {
    std::mt19937 random(3);
    for (int d = 0; d < 256; ++d) {
        RoutingParams p;
        p.best_roads_max = static_cast<std::uint8_t>(d);
        const Map::Routing::BestRoadsDivisor roads(p);
        const std::int32_t divisor = std::max(d, 1);
        ASSERT_EQ(roads.divisor, divisor);
        std::vector<std::int64_t> dividends = {0, 1, divisor - 1, divisor, divisor + 1, INT32_MAX, INT32_MAX - 1};
        for (int i = 0; i < 3000; ++i) {
            const std::int64_t k = random() % (INT32_MAX / divisor);
            dividends.insert(dividends.end(), {k * divisor - 1, k * divisor, k * divisor + divisor - 1});
        }
        for (std::int64_t n : dividends) {
            if (n < 0 || n > INT32_MAX) continue;
            ASSERT_EQ(roads.divide(static_cast<std::int32_t>(n)), n / divisor) << n << " / " << divisor;
        }
    }
}

TEST(RoutingParams, SegmentCostWithTheDivisorMadeOnce) {
    std::mt19937 random(4);
    for (int max = 0; max < 256; max += 1 + max / 8) {
        for (int mode = 0; mode < 3; ++mode) {
            RoutingParams p;
            p.routing_mode = static_cast<std::uint32_t>(mode);
            p.best_roads_max = static_cast<std::uint8_t>(max);
            p.best_roads = static_cast<std::uint8_t>(random() % 256);
            const Map::Routing::BestRoadsDivisor roads(p);
            for (int i = 0; i < 2000; ++i) {
                const SegmentAttributes a = road(static_cast<int>(random() % 8), static_cast<int>(random() % 8),
                                                 static_cast<std::uint8_t>(random() % 2 ? 0 : random() & 0xF8));
                const auto length = static_cast<std::uint16_t>(i < 10 ? 65535 - i : random() % 65536);
                ASSERT_EQ(segmentCost(p, roads, a, length), dividedCost(p, a, length));
                ASSERT_EQ(segmentCost(p, a, length), dividedCost(p, a, length));
            }
        }
    }
}

} // namespace
