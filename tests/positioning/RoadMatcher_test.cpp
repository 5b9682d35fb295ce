#include "positioning/RoadMatcher.h"

#include "tests/map/AtlasFixture.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Positioning;
using Map::LocalPoint;

namespace {

// A frame whose level units are global units, so one unit per metre below.
RoadPolyline road(std::vector<LocalPoint> points, bool oneWay = false, std::uint32_t offset = 0) {
    RoadPolyline r;
    r.ref.mapIndex = 0;
    r.ref.offset = offset;
    r.frame = Map::LevelFrame{32, 16, 0, 0};
    r.points = std::move(points);
    r.oneWay = oneWay;
    return r;
}

TEST(RoadMatcher, ScoresDistanceHeadingOneWayAndTheHeldRoad) {
    const RoadPolyline north = road({{0, 0}, {0, 100}});
    const RoadPolyline northOneWay = road({{0, 0}, {0, 100}}, true);
    struct Row {
        const RoadPolyline* road;
        std::int32_t x, y;
        float heading, speed;
        bool held;
        std::optional<float> cost;
        bool course = true;
        // A road of the route (driven the way of its points or against it)
        // with the fix's scatter: counted that much nearer where the course
        // goes the route's way, on the stretch of the route near the car.
        std::optional<bool> routeForward = {};
        float scatter = 0.0f;
        bool nearCar = true;
        bool andBack = false; // the route drives it the other way too, listed after
    };
    const RoadPolyline east = road({{0, 0}, {100, 0}}, true);
    RoadPolyline northRoute = north;
    northRoute.polylineId = 7;
    // North 100 m, then west.
    RoadPolyline bentRoute = road({{0, 0}, {0, 100}, {-100, 100}});
    bentRoute.polylineId = 7;
    const Row rows[] = {
        {&north, 10, 50, 0, 0, false, 0.25f},         // (10 / 20)^2
        {&north, 20, 50, 0, 0, false, 1.0f},          // at max_dist: still taken
        {&north, 21, 50, 0, 0, false, {}},            // beyond it: never
        {&north, 0, 130, 0, 0, false, {}},            // beyond the end point
        {&north, 0, 115, 0, 0, false, 0.5625f},       // foot clamped to the end point
        {&north, 10, 50, 0, 0, true, 0.10f},          // standing on the held road
        {&north, 10, 50, 0, 5, true, 0.25f},          // moving: no attraction
        {&north, 10, 50, 180, 5, false, 0.25f},       // two-way: either direction
        {&north, 10, 50, 90, 5, false, 1.25f},        // across it
        {&northOneWay, 10, 50, 0, 5, false, 0.25f},   // along a one-way road
        {&northOneWay, 10, 50, 135, 5, false, 1.75f},
        {&northOneWay, 10, 50, 180, 5, false, 2.25f}, // against it: 2 more
        {&east, 50, 10, 0, 5, false, 1.25f},          // heading north across it
        {&east, 50, 10, 0, 5, false, 0.25f, false},   // no course: its heading of 0 is no way
        {&north, 10, 50, 0, 0, true, 0.10f, false},   // standing on the held road, as before
        {&northRoute, 30, 50, 0, 5, false, 0.25f, true, true, 20},     // (30 - 20) / 20
        {&northRoute, 10, 50, 0, 5, false, 0.0f, true, true, 20},      // within the scatter
        {&northRoute, 41, 50, 0, 5, false, {}, true, true, 20},        // beyond max_dist + scatter
        {&northRoute, 30, 50, 0, 5, false, 0.25f, false, false, 20},   // no course: either way
        {&northRoute, 30, 50, 0, 5, false, {}, true, false, 20},       // the route drives it the other way
        {&northRoute, 10, 50, 0, 5, false, 0.25f, true, false, 20},    // then as any road
        {&north, 30, 50, 0, 5, false, {}, true, true, 20},             // no road-graph id: no route road
        {&northRoute, 30, 50, 0, 5, false, {}, true, true, 20, false}, // the route's, but far along it
        {&northRoute, 10, 50, 0, 5, false, 0.25f, true, true, 20, false},
        // Out along it and back: either way is the route's, whichever is listed last.
        {&northRoute, 30, 50, 0, 5, false, 0.25f, true, true, 20, true, true},
        {&northRoute, 30, 50, 180, 5, false, 0.25f, true, false, 20, true, true},
        {&northRoute, 30, 50, 90, 5, false, {}, true, true, 20, true, true}, // across it
        // The stretch nearest the fix runs across the course (west); the one
        // the car drives, 25 m off, lies within the scatter.
        {&bentRoute, -25, 90, 0, 5, false, 0.0f, true, true, 40},
        {&bentRoute, -25, 90, 0, 5, false, 1.0f, true, true, 5},       // (25 - 5) / 20, less than the nearest
        {&bentRoute, -25, 90, 0, 5, false, 1.25f, true, true, 4},      // beyond reach: the nearest, as any road
    };
    MatchSettings settings;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.x << "," << row.y << " heading " << row.heading << " speed "
                                        << row.speed << " held " << row.held << " course " << row.course);
        MatchInput input;
        input.point = {row.x, row.y};
        input.unitsPerMetre = 1.0f;
        input.heading = row.heading;
        input.headingKnown = row.course;
        input.speed = row.speed;
        if (row.held) input.current = row.road->ref;
        std::vector<RouteRoad> routeRoads;
        if (row.routeForward) routeRoads.push_back({0, 7, *row.routeForward, row.nearCar});
        if (row.andBack) routeRoads.push_back({0, 7, !*row.routeForward, row.nearCar});
        input.routeRoads = &routeRoads;
        input.scatterMetres = row.scatter;
        const std::optional<ScoredRoad> scored = scoreRoad(*row.road, input, settings);
        ASSERT_EQ(scored.has_value(), row.cost.has_value());
        if (scored) {
            EXPECT_NEAR(scored->cost, *row.cost, 1e-5f);
        }
    }
}

TEST(RoadMatcher, ProbabilityIsTheCheapestWeightOverAll) {
    // e^-c, monotone (a ten-term series of it is not: w(4) > w(3)), nothing above 4.
    EXPECT_FLOAT_EQ(costWeight(4.0f), std::exp(-4.0f));
    EXPECT_GT(costWeight(3.0f), costWeight(4.0f));
    EXPECT_EQ(costWeight(4.001f), 0.0f);

    const std::vector<RoadPolyline> roads = {road({{30, -50}, {30, 50}}, false, 1), road({{-10, -50}, {-10, 50}}, false, 2),
                                             road({{5, -50}, {5, 50}}, false, 3)};
    MatchInput input;
    input.heading = 90; // across all of them
    input.speed = 5;
    const MatchResult result = matchRoads(roads, input, MatchSettings{});
    ASSERT_TRUE(result.best);
    EXPECT_EQ(result.best->index, 2u);
    const float w1 = std::exp(-(0.25f + 1.0f));
    const float w2 = std::exp(-(0.0625f + 1.0f));
    EXPECT_NEAR(result.probability, w2 / (w1 + w2), 1e-6f); // the road at 30 m does not score
    EXPECT_EQ(matchRoads({roads[1]}, input, MatchSettings{}).probability, 1.0f);
    EXPECT_FALSE(matchRoads({roads[0]}, input, MatchSettings{}).best);
}

// The roads drawn in the cells around a point, from an atlas of one map
// (level 0: cells of 1024 units, origin cell (100, 200)): a one-way street
// in the graph and a line of no road type, which is left out.
TEST(RoadMatcher, CollectsTheRoadsDrawnAroundThePoint) {
    AtlasTest::AtlasSetup setup;
    MapWriting::MapDescription map = AtlasTest::completeMap(1, 0);
    MapWriting::Cell cell;
    cell.x = cell.y = 1;
    cell.polylines.push_back({map.strings.add("Lane"), 6, true, 0, {{100, 400}, {500, 400}, {900, 400}}});
    cell.polylines.push_back({map.strings.add("Fence"), 30, false, MapWriting::NoRoad, {{100, 480}, {900, 480}}});
    map.levels[0].cells = {cell};
    map.roads = {};
    MapWriting::writeMapFile(setup.folder("one") / "one.kvm", map);
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.folder("one"))));
    const auto global = [](double x, double y) {
        return Map::Point{static_cast<std::int32_t>((102400 + x) * 256), static_cast<std::int32_t>((204800 + y) * 256)};
    };
    const std::vector<RoadPolyline> roads = collectRoads(*atlas, global(1500, 1450), 50 * 256);
    ASSERT_EQ(roads.size(), 1u);
    EXPECT_EQ(roads[0].ref.mapIndex, 0u);
    EXPECT_TRUE(roads[0].oneWay);
    EXPECT_EQ(roads[0].points.size(), 3u);
    EXPECT_EQ(roads[0].polylineId, 0u);
}

// Polylines are connected by their end points (the drive through the demo
// town follows roads cut at every cell border through them).
TEST(RoadMatcher, ConnectedEndPointsLieWithinTheError) {
    EXPECT_FALSE(connected({5, 5}, {6, 5}, 1)); // 1^2 is not below 1^2
    EXPECT_TRUE(connected({5, 5}, {6, 5}, 2));
    EXPECT_FALSE(connected({5, 5}, {7, 7}, 2)); // within the box, not the circle
}

} // namespace
