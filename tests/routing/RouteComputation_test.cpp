// Routes computed over the drawn roundabout town: the parts follow the
// roads and their directions, are cut at the points and labelled; every
// failure leaves its status.

#include "map/Projection.h"
#include "map/file/RoutingSectionReader.h"
#include "routing/AtlasRoute.h"
#include "routing/PathFile.h"
#include "routing/PathPosition.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteComputation.h"
#include "routing/Minimap.h"
#include "tests/routing/RouteFixture.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <random>

namespace {


using namespace RouteTest;
using Map::Routing::routingResult;

TEST(RouteComputation, FollowsTheRoadsAndTheirDirections) {
    RouteAtlas town;
    const struct {
        std::uint32_t from;
        float at;
        std::uint32_t to;
        float until;
        std::vector<std::uint32_t> segments, manoeuvres;
        std::uint32_t metres;
    } rows[] = {
        {5, 0.25f, 5, 0.75f, {5}, {0}, 25},
        {5, 0.75f, 5, 0.25f, {5}, {0}, 25},
        {0, 0.5f, 6, 0.5f, {0, 1, 2, 6}, {0, 19, 0, 9}, 150},
        // Against the one-way ring: round by R4.
        {6, 0.5f, 0, 0.5f, {6, 3, 4, 0}, {0, 19, 0, 8}, 150},
    };
    for (const auto& row : rows) {
        Path path;
        ASSERT_TRUE(Map::Routing::computePath(*town.atlas, *town.setup.config.root(), town.pointOn(row.from, row.at),
                                              town.pointOn(row.to, row.until), path, false));
        EXPECT_EQ(routingResult().success, 1);
        EXPECT_EQ(path.points.size(), 2u);
        EXPECT_EQ(path.legCount, 1u);
        std::vector<std::uint32_t> segments, manoeuvres;
        std::uint32_t metres = 0;
        for (const PathPart& part : path.parts) {
            segments.push_back(part.segmentId);
            manoeuvres.push_back(part.manoeuvre);
            metres += part.lengthMetres;
        }
        EXPECT_EQ(segments, row.segments);
        EXPECT_EQ(manoeuvres, row.manoeuvres);
        EXPECT_NEAR(metres, row.metres, 1.0);
        // The route starts and ends at the points.
        const Map::LocalPoint start = PathPosition(path, true).levelPoint(), end = PathPosition(path, false).levelPoint();
        EXPECT_NEAR(start.x, path.points[0].roadPoint.x, 0.01f);
        EXPECT_NEAR(end.y, path.points[1].roadPoint.y, 0.01f);
    }
    EXPECT_EQ(RoadMapHolder::of(*town.map)->pin, RoadMapHolder::Free) << "the pin is put back";

    // The phase times add up to no more than each computation took (a
    // millisecond a phase given for the clock's steps). Repeated for 50 ms
    // in all, the phases cross many a millisecond.
    std::chrono::steady_clock::duration spent{};
    for (int i = 0; i < 1000000 && spent < std::chrono::milliseconds(50); ++i) {
        Path path;
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(Map::Routing::computePath(*town.atlas, *town.setup.config.root(), town.pointOn(0, 0.5f),
                                              town.pointOn(6, 0.5f), path, false));
        const auto took = std::chrono::steady_clock::now() - started;
        spent += took;
        const auto& times = routingResult();
        ASSERT_LE(std::uint64_t{times.loadingMs} + times.searchingMs + times.buildingMs,
                  std::chrono::duration_cast<std::chrono::milliseconds>(took).count() + 3)
            << i;
    }
}

TEST(RouteComputation, FailuresLeaveTheirStatus) {
    RouteAtlas town;
    Core::ConfigNode& config = *town.setup.config.root();
    const auto status = [&](const PathPoint& a, const PathPoint& b) {
        Path path;
        EXPECT_FALSE(Map::Routing::computePath(*town.atlas, config, a, b, path, false));
        EXPECT_EQ(routingResult().success, 0);
        return routingResult().status;
    };
    PathPoint nowhere = town.pointOn(5, 0.5f);
    nowhere.map = nullptr;
    EXPECT_EQ(status(nowhere, town.pointOn(6, 0.5f)), RoutingStatus::NotOnRoad);
    PathPoint unknown = town.pointOn(5, 0.5f);
    // A stale or hostile route file's segment id names no road of the map.
    for (const std::uint32_t id : {99u, 0xFFFFFFFEu}) {
        unknown.segmentId = id;
        EXPECT_EQ(status(unknown, town.pointOn(6, 0.5f)), RoutingStatus::NotOnRoad) << id;
        EXPECT_EQ(status(town.pointOn(6, 0.5f), unknown), RoutingStatus::NotOnRoad) << id;
    }
    PathPoint stuck = town.pointOn(5, 0.5f);
    stuck.allowForward = stuck.allowBackward = 0;
    EXPECT_EQ(status(stuck, town.pointOn(6, 0.5f)), RoutingStatus::NoRoute);

    // A route heap too small for the graph, with nothing to release.
    RouteAtlas small({}, 1);
    Path path;
    EXPECT_FALSE(Map::Routing::computePath(*small.atlas, *small.setup.config.root(), small.pointOn(5, 0.2f),
                                           small.pointOn(6, 0.5f), path, false));
    EXPECT_EQ(routingResult().status, RoutingStatus::NotEnoughMemory);
    // A success sets the flag and keeps the last failure's status.
    EXPECT_TRUE(Map::Routing::computePath(*town.atlas, config, town.pointOn(5, 0.2f), town.pointOn(6, 0.5f), path,
                                          false));
    EXPECT_EQ(routingResult().success, 1);
    EXPECT_EQ(routingResult().status, RoutingStatus::NotEnoughMemory);
}

TEST(RouteComputation, CrossesIntoTheLinkedMap) {
    TestSupport::CaptureLogger log;
    RouteAtlas town({}, 64, true);
    Core::ConfigNode& config = *town.setup.config.root();
    Map::KVMap2* twin = town.atlas->findMapById(TwinId);
    Map::KVMap2* island = town.atlas->findMapById(IslandId);
    EXPECT_TRUE(log.contains("Maps pair 'town.kvm'-'twin.kvm' has 2 connections"));
    EXPECT_TRUE(log.contains("Minimap segments count: 4"));
    Path path;
    ASSERT_TRUE(Map::Routing::computePath(*town.atlas, config, town.pointOn(0, 0.5f), town.pointOn(6, 0.5f, twin),
                                          path, false));
    // Back to W, over into the twin, round its ring to the exit at R3.
    std::vector<std::pair<Map::KVMap2*, std::uint32_t>> parts;
    for (const PathPart& part : path.parts)
        parts.emplace_back(part.map, part.segmentId);
    EXPECT_EQ(parts, (decltype(parts){{town.map, 0}, {twin, 0}, {twin, 1}, {twin, 2}, {twin, 6}}));
    EXPECT_EQ(path.points.back().map, twin);
    // No chain of links reaches the island.
    EXPECT_FALSE(Map::Routing::computePath(*town.atlas, config, town.pointOn(0, 0.5f), town.pointOn(6, 0.5f, island),
                                           path, false));
    EXPECT_EQ(routingResult().status, RoutingStatus::NoRoute);
    EXPECT_TRUE(path.parts.empty() && path.points.empty()) << "no route is left from the call before";
    EXPECT_EQ(RoadMapHolder::of(*twin)->pin, RoadMapHolder::Free);
    // Entry costs are whole 512 m steps.
    const Map::GeoPoint at{50.0f, 10.0f};
    for (const auto& [metres, cost] : {std::pair{0.0, 0}, {511.0, 0}, {512.2, 1}, {1536.2, 3}})
        EXPECT_EQ(Map::Routing::linkEntryCost(at, {static_cast<float>(50.0 + metres / 111195.33), 10.0f}), cost)
            << metres;
}

// The minimap weighs link nodes by straight lines; a leg that then finds
// no way to its link node leaves it out and the minimap is searched again.
TEST(RouteComputation, ALinkNodeTheLegCannotReachIsLeftOut) {
    RouteAtlas town({}, 64, true);
    Core::ConfigNode& config = *town.setup.config.root();
    Map::KVMap2* twin = town.atlas->findMapById(TwinId);
    RoadMapHolder& holder = *RoadMapHolder::of(*town.map);
    ASSERT_EQ(RoadMap::load(holder, *town.atlas), RoutingStatus::Success);
    // W's only road closed: W is the nearest link node but out of reach.
    holder.graph()->setForbidden(0, true);
    TestSupport::CaptureLogger log;
    Path path;
    ASSERT_TRUE(Map::Routing::computePath(*town.atlas, config, town.pointOn(1, 0.1f), town.pointOn(0, 0.5f, twin),
                                          path, false));
    EXPECT_TRUE(log.contains("Route across maps: link node 0 not reached from the start; minimap search 2 of 9 "
                             "without it"));
    // Round the ring to X2, into the twin there, and back to its W road.
    EXPECT_EQ(path.parts.front().map, town.map);
    EXPECT_EQ(path.parts.back().map, twin);
    EXPECT_EQ(path.parts.back().segmentId, 0u);
    for (const PathPart& part : path.parts)
        EXPECT_FALSE(part.map == town.map && part.segmentId == 0u);
    EXPECT_EQ(routingResult().success, 1);
    // The crossings the retries left out are back for the next route.
    holder.graph()->setForbidden(0, false);
    log.clear();
    ASSERT_TRUE(Map::Routing::computePath(*town.atlas, config, town.pointOn(1, 0.1f), town.pointOn(0, 0.5f, twin),
                                          path, false));
    EXPECT_FALSE(log.contains("minimap search 2"));

    // Stuck on the one-way ring against its direction: every link node is
    // tried, then no chain is left: status -1.
    log.clear();
    PathPoint stuck = town.pointOn(2, 0.5f);
    stuck.allowForward = 0;
    EXPECT_FALSE(Map::Routing::computePath(*town.atlas, config, stuck, town.pointOn(6, 0.5f, twin), path, false));
    EXPECT_EQ(routingResult().status, RoutingStatus::NoRoute);
    EXPECT_TRUE(log.contains("minimap search 3 of 9"));
    EXPECT_FALSE(log.contains("minimap search 4 of 9"));
}

TEST(RouteComputation, AMinimapThatDoesNotFitTheRouteHeapFailsItsBuild) {
    RouteAtlas town({}, 64, true);
    Core::ConfigNode& config = *town.setup.config.root();
    auto& minimap = dynamic_cast<Minimap&>(*town.atlas->services().interMapGraph);
    Map::KVMap2* twin = town.atlas->findMapById(TwinId);
    Core::Allocator& heap = *town.atlas->routeHeap();
    minimap.release();
    // Leave the heap less than the two nodes and four crossings need.
    void* hog = heap.allocate(heap.freeBytes() - 160);
    ASSERT_NE(hog, nullptr);
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(minimap.build(*town.atlas));
    EXPECT_TRUE(log.contains("BuildMinimap::failed to init miniMap"));
    EXPECT_EQ(minimap.graph(), nullptr);
    Path path;
    EXPECT_FALSE(Map::Routing::computePath(*town.atlas, config, town.pointOn(0, 0.5f), town.pointOn(6, 0.5f, twin),
                                           path, false));
    EXPECT_EQ(routingResult().status, RoutingStatus::NoRoute);
    heap.free(hog);
    const std::uint32_t before = heap.freeBytes();
    ASSERT_TRUE(minimap.build(*town.atlas));
    EXPECT_LT(heap.freeBytes(), before) << "the graph is charged to the route heap";
    minimap.release();
    EXPECT_EQ(heap.freeBytes(), before) << "and gives it back";
    ASSERT_TRUE(minimap.build(*town.atlas));
    EXPECT_TRUE(Map::Routing::computePath(*town.atlas, config, town.pointOn(0, 0.5f), town.pointOn(6, 0.5f, twin),
                                          path, false));
}

// The demo atlas: Mill Lane is one-way eastwards, Main Street coming in from
// the east edge may not turn left into River Road, the town's main
// streets continue as the region's roads and those as the country's.
TEST(RouteComputation, DemoAtlasRoutesKeepTheTownsRulesAndLeaveIt) {
    AtlasTest::AtlasSetup setup;
    setup.config.root()->set("win_route_heap", 1024);
    Map::AtlasServices services;
    services.interMapGraph = std::make_unique<Minimap>();
    auto atlas = setup.makeAtlas(std::move(services));
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_DEMO_ATLAS_DIR))));
    const auto route = [&](double east0, double north0, double east1, double north1, Path& path) {
        AtlasRoute request;
        for (const auto& [east, north] : {std::pair{east0, north0}, {east1, north1}}) {
            const auto [x, y] = DemoAtlas::globalOf(east, north);
            EXPECT_TRUE(request.addPathPointAtLocation(*atlas, *setup.config.root(),
                                                       {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)}));
        }
        path = request.path();
        std::vector<std::u16string> names;
        for (const PathPart& part : path.parts) {
            names.emplace_back();
            part.map->stringsReader().string(part.nameIndex, names.back());
        }
        return names;
    };
    const auto metres = [](const Path& path) {
        std::uint32_t sum = 0;
        for (const PathPart& part : path.parts)
            sum += part.lengthMetres;
        return sum;
    };
    Path path;
    std::vector<std::u16string> names = route(400, 500, -400, 500, path);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == u"Mill Lane") { EXPECT_TRUE(path.parts[i].forward) << i; }
    EXPECT_GT(metres(path), 1000u) << "round the block, not back along the one-way lane";

    // From the east, River Road is not entered by the left turn.
    names = route(900, 0, 500, 300, path);
    ASSERT_GE(names.size(), 2u);
    EXPECT_FALSE(names.size() == 2 && names[0] == u"Main Street" && names[1] == u"River Road");
    EXPECT_GT(metres(path), 800u);

    // Out of the town along the B12 towards Ashford.
    route(900, 0, 10920, 5400, path);
    ASSERT_FALSE(path.parts.empty());
    EXPECT_EQ(path.parts.front().map->id(), 1u);
    EXPECT_EQ(path.parts.back().map->id(), 2u);
    EXPECT_EQ(path.points.size(), 2u);

    // On to Northam: through the region on the L5, then the country's A7.
    names = route(900, 0, 18000, 127800, path);
    std::vector<std::uint32_t> maps;
    for (const PathPart& part : path.parts)
        if (maps.empty() || maps.back() != part.map->id()) maps.push_back(part.map->id());
    EXPECT_EQ(maps, (std::vector<std::uint32_t>{1, 2, 3}));
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), u"A7");
    EXPECT_GT(metres(path), 18000u + 100000u);

    // Transit tables in metres: crossing the town from its west edge to its
    // east edge is 2400 m, and no crossing of the demo's maps is longer than
    // the country.
    for (std::size_t m = 0; m < atlas->mapCount(); ++m) {
        std::vector<std::uint32_t> transit;
        ASSERT_TRUE(atlas->mapAt(m)->routingReader().transitTable(transit));
        for (const std::uint32_t value : transit)
            if (value != 0xFFFFFFFFu) {
                EXPECT_LT(value, 300000u) << m;
            }
        if (atlas->mapAt(m)->id() == 1) {
            ASSERT_EQ(transit.size(), 16u);
            EXPECT_EQ(transit[1], 2400u);
        }
    }

    // From the region's B12 east of the town to Northam.
    AtlasRoute request;
    for (const auto& [latitude, longitude] : {std::pair{50.0272903f, 10.0699549f}, {51.1359406f, 10.2518368f}})
        ASSERT_TRUE(request.addPathPointAtLocation(*atlas, *setup.config.root(),
                                                   Map::Projection::fromGeo(latitude, longitude)));
    ASSERT_EQ(request.path().points.size(), 2u);
    EXPECT_EQ(request.path().points.front().map->id(), 2u);
    EXPECT_EQ(request.path().points.back().map->id(), 3u);
    EXPECT_GT(metres(request.path()), 120000u);
}

TEST(RouteComputation, AtlasRequestsExtendAndRestartTheRoute) {
    RouteAtlas town;
    Core::ConfigNode& config = *town.setup.config.root();
    AtlasRoute route;
    ASSERT_TRUE(route.calculatePath(*town.atlas, config, town.pointOn(0, 0.5f))) << "an empty route starts";
    ASSERT_TRUE(route.calculatePath(*town.atlas, config, town.pointOn(6, 0.5f)));
    ASSERT_TRUE(route.calculatePath(*town.atlas, config, town.pointOn(5, 0.5f)));
    const Path& path = route.path();
    ASSERT_EQ(path.points.size(), 3u);
    EXPECT_EQ(path.legCount, 2u);
    EXPECT_EQ(path.parts.back().legIndex, 1u);
    EXPECT_EQ(path.parts[4].manoeuvre, 20u) << "the intermediate point is reached";
    // A request that finds no route is logged as a found one is, with the
    // status whose message the driver sees.
    TestSupport::CaptureLogger log;
    PathPoint nowhere = town.pointOn(5, 0.5f);
    nowhere.map = nullptr;
    EXPECT_FALSE(route.recalculatePath(*town.atlas, config, nowhere));
    EXPECT_EQ(routingResult().status, RoutingStatus::NotOnRoad);
    EXPECT_EQ(path.points.size(), 3u);
    AtlasRoute stuck;
    PathPoint parked = town.pointOn(5, 0.5f);
    parked.allowForward = parked.allowBackward = 0;
    ASSERT_TRUE(stuck.startPathAt(parked));
    EXPECT_FALSE(stuck.calculatePath(*town.atlas, config, town.pointOn(6, 0.5f)));
    EXPECT_FALSE(stuck.addPathPoint(*town.atlas, config, nowhere));
    std::vector<std::string> notFound;
    for (const std::string& line : log.lines())
        if (line.starts_with("Route not found")) notFound.push_back(line);
    EXPECT_EQ(notFound, (std::vector<std::string>{
                               "Route not found: status -4 (map_road_not_found_err, routing mode 1)",
                               "Route not found: status -1 (map_path_not_found_err, routing mode 1)",
                               "Route not found: status -4 (map_road_not_found_err, routing mode 1)"}));
    ASSERT_TRUE(route.recalculatePath(*town.atlas, config, town.pointOn(5, 0.5f)));
    EXPECT_EQ(path.points.size(), 2u);
    EXPECT_EQ(path.legCount, 1u);
    // A new start drops the old route's parts with its points, and says so
    // to those who draw or guide along it ("To" without a fix).
    std::uint8_t changed = 0;
    route.path().addChangeFlag(&changed);
    ASSERT_TRUE(route.startPathAt(town.pointOn(6, 0.5f)));
    EXPECT_EQ(changed, 1u);
    route.path().removeChangeFlag(&changed);
    EXPECT_TRUE(path.parts.empty());
    EXPECT_EQ(path.points.size(), 1u);
    EXPECT_EQ(path.legCount, 0u);
}

TEST(RouteComputation, AddedPointsGoWhereTheRouteGrowsLeast) {
    RouteAtlas town;
    Core::ConfigNode& config = *town.setup.config.root();
    // The whole route's cost through the points in order.
    const auto total = [&](const std::vector<PathPoint>& points) {
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            Path leg;
            if (!Map::Routing::computePath(*town.atlas, config, points[i], points[i + 1], leg, false))
                return std::uint64_t{UINT32_MAX};
            sum += pathCost(leg, config);
        }
        return sum;
    };
    std::mt19937 random(seed());
    for (int round = 0; round < 12; ++round) {
        AtlasRoute route;
        for (int k = 0; k < 4; ++k) {
            // Now and then on a junction: a finish at a node.
            const std::uint32_t s = random() % 7;
            const float t = random() % 5 == 0 ? static_cast<float>(random() % 2)
                                              : 0.1f + 0.008f * static_cast<float>(random() % 100);
            const PathPoint p = town.pointOn(s, t);
            const std::vector<PathPoint> before = route.path().points;
            ASSERT_TRUE(route.addPathPoint(*town.atlas, config, p));
            ASSERT_EQ(route.path().points.size(), before.size() + 1);
            // Brute force: the point at every place behind the start.
            std::uint64_t best = UINT32_MAX;
            for (std::size_t at = 1; at <= before.size(); ++at) {
                std::vector<PathPoint> points = before;
                points.insert(points.begin() + static_cast<std::ptrdiff_t>(at), p);
                best = std::min(best, total(points));
            }
            if (!before.empty()) { EXPECT_LE(total(route.path().points), best + 2 * before.size()) << round; }
            // The legs join: each ends where the next begins.
            for (std::size_t i = 1; i < route.path().parts.size(); ++i) {
                const PathPart& a = route.path().parts[i - 1];
                const PathPart& b = route.path().parts[i];
                EXPECT_LE(std::abs(a.legIndex - b.legIndex), 1) << round;
            }
            EXPECT_EQ(route.path().legCount + 1u, route.path().points.size());
            // Every leg has parts, so the route is stored and read back.
            std::vector<std::uint8_t> bytes;
            ASSERT_TRUE(PathFile::encode(u"", route.path(), bytes)) << round;
            Path back;
            EXPECT_TRUE(PathFile::decode(bytes.data(), bytes.size(),
                                         [&](std::uint32_t id) { return town.atlas->findMapById(id); }, back))
                << round;
        }
    }
}

// One search from the point and one towards it over a task of at most 10
// finishes: a route of 10 points on one map takes another, one of 11 not.
TEST(RouteComputation, AddedPointsMeetTheFinishLimit) {
    RouteAtlas town;
    Core::ConfigNode& config = *town.setup.config.root();
    AtlasRoute route;
    for (int k = 0; k < 10; ++k)
        ASSERT_TRUE(route.calculatePath(*town.atlas, config, town.pointOn(k % 2 ? 5 : 6, 0.2f + 0.05f * k)));
    ASSERT_EQ(route.path().points.size(), 10u);
    TestSupport::CaptureLogger log;
    ASSERT_TRUE(route.addPathPoint(*town.atlas, config, town.pointOn(0, 0.5f)));
    EXPECT_EQ(routingResult().success, 1);
    ASSERT_EQ(route.path().points.size(), 11u);
    const std::size_t parts = route.path().parts.size();
    EXPECT_FALSE(route.addPathPoint(*town.atlas, config, town.pointOn(3, 0.5f)));
    EXPECT_EQ(routingResult().status, RoutingStatus::NotEnoughMemory);
    EXPECT_TRUE(log.contains("Path points count is too big - 11"));
    EXPECT_TRUE(log.contains("Path segments count is too big - " + std::to_string(parts)));
    EXPECT_EQ(route.path().points.size(), 11u);
    EXPECT_EQ(route.path().parts.size(), parts);
}

} // namespace
