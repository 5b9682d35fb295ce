// The time of a route by the speeds of the road classes: one table for the
// search's mode-1 costs, the speed of each class and the time of a route.

#include "routing/DrivingTime.h"
#include "routing/RoutingParams.h"
#include "tests/routing/RouteFixture.h"
#include "tools/demo-atlas/DemoAtlas.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace RouteTest;

// The speed of each class is the one its mode-1 cost drives at: a
// kilometre of class c takes 3600 / speed seconds, and the search prices it
// at that many time units. Class 7 is the fastest, each class faster than
// the one below it.
TEST(DrivingTime, ClassSpeedsAreTheSearchsCosts) {
    const double kmh[8] = {5.806, 14.545, 28.8, 43.636, 57.6, 65.455, 80.0, 110.769};
    RoutingParams fastest;
    fastest.routing_mode = 1;
    for (std::uint8_t c = 0; c < 8; ++c) {
        EXPECT_NEAR(Map::Routing::classSpeedKmh(c), kmh[c], 0.001) << int(c);
        const std::int32_t units = Map::Routing::travelTime(c, 1000);
        EXPECT_NEAR(static_cast<double>(units) / Map::Routing::kTimeUnitsPerSecond,
                    3600.0 / Map::Routing::classSpeedKmh(c), 1e-9)
            << int(c);
        RoadGraph::SegmentAttributes road{c, 0, 4};
        EXPECT_EQ(Map::Routing::segmentCost(fastest, road, 1000), static_cast<std::uint32_t>(units)) << int(c);
        if (c > 0) {
            EXPECT_GT(Map::Routing::classSpeedKmh(c), Map::Routing::classSpeedKmh(c - 1));
        }
    }
    // The class is the low three bits of the road byte; the flags above them
    // change nothing.
    EXPECT_EQ(Map::Routing::travelTime(0x40 | 7, 100), Map::Routing::travelTime(7, 100));
}

// The town's roads are all of class 0 (5.8 km/h, 24.8 units a metre): a
// route's time is the sum over its parts, by their lengths; a part whose
// road is not in its map's graph has no time.
TEST(DrivingTime, ARouteTakesTheTimeOfItsParts) {
    RouteAtlas town;
    Path path;
    EXPECT_EQ(Map::Routing::drivingTime(path, *town.atlas), std::optional<std::uint64_t>(0));
    path.appendPart(town.part({{1000, 1000}, {1000, 1050}}, 0, 1, 0));
    path.appendPart(town.part({{1000, 1050}, {1000, 1062}}, 0, 0, 5));
    ASSERT_EQ(path.parts[0].lengthMetres, 50);
    ASSERT_EQ(path.parts[1].lengthMetres, 12);
    EXPECT_EQ(Map::Routing::drivingTime(path, *town.atlas), std::optional<std::uint64_t>(248 * 50 / 10 + 248 * 12 / 10));

    Path unknown = path;
    unknown.parts[1].segmentId = RoadGraph::kNoId;
    EXPECT_EQ(Map::Routing::drivingTime(unknown, *town.atlas), std::nullopt);
    Path mapless = path;
    mapless.parts[0].map = nullptr;
    EXPECT_EQ(Map::Routing::drivingTime(mapless, *town.atlas), std::nullopt);
}

// The demo atlas's roads, by the speed of their classes: the motorways the
// fastest, then the B12, the L5 and the town's Main Street, then Station
// Road and the roundabout, then the side streets.
TEST(DrivingTime, TheDemoAtlasGivesItsBiggerRoadsTheFasterClasses) {
    const std::vector<std::vector<std::u16string>> tiers = {{u"A1", u"A7"},
                                                            {u"B12"},
                                                            {u"L5", u"Main Street"},
                                                            {u"Station Road", u"Linden Circle"},
                                                            {u"Mill Lane", u"Church Street", u"Park Avenue", u"River Road"}};
    std::map<std::u16string, double> speeds;
    for (const DemoAtlas::DemoMap& demo : DemoAtlas::describe()) {
        const MapWriting::MapDescription& map = demo.description;
        if (!map.roads || map.levels.empty()) continue;
        std::vector<std::uint8_t> classes;
        for (const MapWriting::RoadChain& chain : map.roads->chains)
            classes.insert(classes.end(), chain.segments.size(), chain.attributes.routingClass);
        for (const MapWriting::Cell& cell : map.levels[0].cells)
            for (const MapWriting::Polyline& line : cell.polylines) {
                if (line.road == MapWriting::NoRoad) continue;
                ASSERT_LT(line.road, classes.size());
                const std::u16string& name = map.strings.text(line.caption);
                const double speed = Map::Routing::classSpeedKmh(classes[line.road]);
                const auto [at, added] = speeds.emplace(name, speed);
                EXPECT_EQ(at->second, speed) << std::string(name.begin(), name.end());
            }
    }
    std::size_t named = 0;
    for (std::size_t t = 0; t < tiers.size(); ++t)
        for (const std::u16string& name : tiers[t]) {
            SCOPED_TRACE(std::string(name.begin(), name.end()));
            ASSERT_TRUE(speeds.contains(name));
            ++named;
            EXPECT_EQ(speeds[name], speeds[tiers[t].front()]);
            if (t + 1 < tiers.size()) {
                EXPECT_GT(speeds[name], speeds[tiers[t + 1].front()]);
            }
        }
    EXPECT_EQ(named, speeds.size()); // every routed road is in a tier
}

} // namespace
