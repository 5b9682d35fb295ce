#include "routing/RoutingParams.h"
#include "tests/routing/FakeConfigNode.h"

#include <gtest/gtest.h>

using namespace RoadGraph;
using namespace RoutingTest;
using Map::Routing::estimateCost;
using Map::Routing::segmentCost;

namespace {

SegmentAttributes road(int roadClass, int quality, std::uint8_t flags = 0, std::uint8_t access = 0) {
    return SegmentAttributes{static_cast<std::uint8_t>(roadClass | flags), access,
                             static_cast<std::uint8_t>(quality)};
}

} // namespace

TEST(RoutingParams, ReadsTheKeysWithDefaults) {
    FakeConfigNode node;
    const RoutingParams p = RoutingParams::fromConfig(node);
    EXPECT_EQ(p.routing_mode, 1u);
    EXPECT_EQ(p.accessMask, 0x20);
    EXPECT_EQ(p.avoid_unpaved, 1);
    EXPECT_EQ(p.avoid_toll, 0);
    EXPECT_EQ(p.best_roads, 5);
    EXPECT_EQ(p.best_roads_max, 10);
    EXPECT_EQ(p.routing_speed, 0);
    EXPECT_EQ(p.speedDivisor, 5);
    EXPECT_EQ(p.excludeFlag, 0);
    EXPECT_EQ(p.excludedSegment, kNoId);
    EXPECT_EQ(node.read,
              (std::vector<std::string>{"best_roads_max", "routing_speed_max", "avoid_toll", "avoid_unpaved",
                                        "routing_speed", "best_roads", "routing_mode"}));
    EXPECT_EQ(node.values.at("routing_mode"), "1");
}

TEST(RoutingParams, FallBackAndLowBytes) {
    FakeConfigNode zero;
    zero.values["best_roads_max"] = "0";
    const RoutingParams f = RoutingParams::fromConfig(zero);
    EXPECT_EQ(f.routing_mode, 0u);
    EXPECT_EQ(f.best_roads, 0);
    EXPECT_EQ(f.best_roads_max, 1);
    EXPECT_EQ(f.avoid_unpaved, 1);
    EXPECT_EQ(f.speedDivisor, 1);
    EXPECT_FALSE(zero.has("routing_mode")) << "nothing else is read";

    FakeConfigNode wide;
    wide.values["best_roads_max"] = "256"; // low byte 0
    wide.values["routing_speed_max"] = "255";
    wide.values["best_roads"] = "3";
    const RoutingParams w = RoutingParams::fromConfig(wide);
    EXPECT_EQ(w.best_roads_max, 1);
    EXPECT_EQ(w.speedDivisor, 1);
    EXPECT_EQ(w.best_roads, 1) << "kept at or below best_roads_max";

    FakeConfigNode odd;
    odd.values["best_roads"] = "9";
    odd.values["best_roads_max"] = "5";
    odd.values["routing_mode"] = "7";
    const RoutingParams o = RoutingParams::fromConfig(odd);
    EXPECT_EQ(o.best_roads, 5);
    EXPECT_EQ(o.routing_mode, 1u);
}

TEST(RoutingParams, SegmentCost) {
    RoutingParams p;
    p.routing_mode = 1;
    p.best_roads = 5;
    p.best_roads_max = 10;
    EXPECT_EQ(segmentCost(p, road(2, 2), 100), 600u);
    EXPECT_EQ(segmentCost(p, road(2, 4), 100), 500u);
    EXPECT_EQ(segmentCost(p, road(2, 7), 100), 350u);
    p.routing_mode = 0;
    EXPECT_EQ(segmentCost(p, road(2, 7), 100), 100u - 30u);
    p.routing_mode = 2;
    EXPECT_EQ(segmentCost(p, road(2, 0), 100), 100u);
    EXPECT_EQ(segmentCost(p, road(2, 7), 100), 100u);

    // Impassable whatever the length.
    p.routing_mode = 1;
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Forbidden), 10), kInfiniteCost);
    EXPECT_EQ(segmentCost(p, road(0, 4, 0, 0x20), 10), kInfiniteCost);
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Unpaved), 10), kInfiniteCost);
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Toll), 10), 248u);
    p.avoid_toll = 1;
    p.avoid_unpaved = 0;
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Toll | RoadFlag::Unpaved), 10), kInfiniteCost);
    EXPECT_EQ(segmentCost(p, road(0, 4, RoadFlag::Unpaved), 10), 248u);

    // A weight above its divisor (a hand-made record) is held at the divisor:
    // quality 7 could otherwise make the cost negative.
    p.best_roads = 200;
    p.best_roads_max = 10;
    p.routing_mode = 0;
    EXPECT_EQ(segmentCost(p, road(0, 7), 100), 100u - 60u);
    p.best_roads = 10;
    EXPECT_EQ(segmentCost(p, road(0, 7), 1), 1u) << "never below 1";
    EXPECT_EQ(segmentCost(p, road(0, 7), 2), 1u);
    EXPECT_EQ(segmentCost(p, road(7, 7), 0), 0u) << "a length of 0 costs nothing";
    p.best_roads_max = 0;
    EXPECT_GE(segmentCost(p, road(0, 7), 3), 1u);
    for (int mode = 0; mode < 4; ++mode)
        for (int q = 0; q < 8; ++q)
            for (int c = 0; c < 8; ++c)
                for (int len : {1, 2, 3, 7, 65535}) {
                    p.routing_mode = static_cast<std::uint32_t>(mode);
                    p.best_roads = 255;
                    p.best_roads_max = 1;
                    EXPECT_GE(segmentCost(p, road(c, q), static_cast<std::uint16_t>(len)), 1u);
                }
}

TEST(RoutingParams, Estimate) {
    RoutingParams p;
    p.routing_mode = 0;
    const GridCell a{10, 10};
    EXPECT_EQ(estimateCost(p, a, a, 14, 100), 0u);
    EXPECT_EQ(estimateCost(p, a, GridCell{11, 9}, 14, 100), 0u) << "neighbours";
    EXPECT_EQ(estimateCost(p, a, GridCell{15, 12}, 14, 100), 400u);
    EXPECT_EQ(estimateCost(p, GridCell{15, 12}, a, 14, 100), 400u);
    EXPECT_EQ(estimateCost(p, a, GridCell{15, 12}, 1000, 100), 1000u) << "the larger of the two products";
    p.routing_mode = 1;
    EXPECT_EQ(estimateCost(p, a, GridCell{15, 12}, 14, 100), 520u);
    p.routing_speed = 3;
    p.speedDivisor = 5;
    EXPECT_EQ(estimateCost(p, a, GridCell{15, 12}, 14, 100), (400u + 240u) * 13 / 10);
    p.routing_mode = 2;
    EXPECT_EQ(estimateCost(p, a, GridCell{15, 12}, 14, 100), 0u);
    p.routing_mode = 5;
    EXPECT_EQ(estimateCost(p, a, GridCell{15, 12}, 14, 100), 0u);

    // Cells above 32767 and large weights neither wrap nor go negative.
    p.routing_mode = 1;
    p.routing_speed = 255;
    p.speedDivisor = 1;
    EXPECT_EQ(estimateCost(p, GridCell{0, 0}, GridCell{40000, 0}, 0, 1), (39999u * 256u) * 13u / 10u);
    EXPECT_EQ(estimateCost(p, GridCell{0, 0}, GridCell{65535, 65535}, 0xFFFFFFFF, 0xFFFFFFFF),
              kInfiniteCost - 1);
}
