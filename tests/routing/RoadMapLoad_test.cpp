// A map's road graph loaded from its file through the routing section
// reader, then routed over.

#include "core/SimpleHeap.h"
#include "map/Atlas.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteSearch.h"
#include "tests/map/AtlasFixture.h"
#include "tests/map/MapFixture.h"
#include "tests/routing/RoadMapFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tools/mapwriter/MapWriter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace Map::Routing;
using namespace MapWriting;
using RoadGraph::GridCell;
using RoutingTest::MapOnDisk;
using RoutingTest::TestAtlas;
using RoutingTest::route;

namespace {

// The drawing (column, row = grid cell; segment ids in brackets):
//
//   A -[0]- B -[1]- C
//   |       |       |
//  [4]     [5]v    [6]
//   |       |       |
//   D -[2]- E -[3]- F
//
// B to E is one-way downwards; A-D is 150 m, C-F 500 m, the others 100 m.
enum : std::uint32_t { A, B, C, D, E, F };

RoadChain chain(std::vector<std::uint32_t> nodes, std::vector<std::uint16_t> lengths, bool twoWay = true) {
    RoadChain c;
    c.attributes.twoWay = twoWay;
    c.nodes = std::move(nodes);
    for (const std::uint16_t l : lengths)
        c.segments.push_back(RoadSegment{l, {}, {}});
    return c;
}

MapDescription drawnMap(bool restricted) {
    MapDescription m = AtlasTest::completeMap(5, 0);
    MapWriting::RoadGraph g;
    g.nodes = {{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, {0, 1, 1}, {1, 1, 1}, {2, 1, 1}};
    g.chains = {chain({A, B, C}, {100, 100}), chain({D, E, F}, {100, 100}), chain({A, D}, {150}),
                chain({B, E}, {100}, false), chain({C, F}, {500})};
    // Every attribute byte of C-F arrives in the graph.
    g.chains[4].attributes.routingClass = 3;
    g.chains[4].attributes.access = 0x5A;
    g.chains[4].attributes.quality = 2;
    g.chains[4].attributes.turnCode = 17;
    // Coming from A, no turn at B down to E.
    if (restricted) g.restrictions = {{A, {0}, {5}}};
    // The streets drawn in the sample map's level-0 cells.
    g.chains[0].segments[0].shape = {{0, 0, 0, 0}};
    g.chains[0].segments[1].shape = {{1, 0, 0, 0}};
    g.chains[1].segments[1].shape = {{1, 1, 0, 0}, {2, 1, 0, 0}};
    m.roads = g;
    return m;
}

MapDescription vertexMap() {
    // B has two vertices: arriving from A puts travel on B's vertex 1, from
    // which only C and E can be reached; D leaves from vertex 0.
    //   A B C
    //   E D
    MapDescription m = AtlasTest::completeMap(6, 0);
    MapWriting::RoadGraph g;
    g.vertexLayout = true;
    g.nodes = {{0, 0, 1}, {1, 0, 2}, {2, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const auto oneSegment = [](std::uint32_t from, std::uint32_t to, std::uint16_t word) {
        RoadChain c = chain({from, to}, {100});
        c.segments[0].transitions = {word};
        return c;
    };
    g.chains = {
        oneSegment(0, 1, 0x0100 | 0x40), // A v0 -> B v1
        oneSegment(1, 2, 0x0001 | 0x40), // B v1 -> C v0
        oneSegment(1, 3, 0x0000 | 0x40), // B v0 -> D v0
        oneSegment(4, 1, 0x0100),        // against its drawing: B v1 -> E v0
    };
    m.roads = g;
    return m;
}

using Ids = std::vector<std::uint32_t>;

TEST(RoadMapLoad, DrawnRoadsRouteAsDrawn) {
    TestAtlas atlas(64 * 1024);
    MapOnDisk disk(writeMap(drawnMap(false)).bytes);
    TestSupport::CaptureLogger log;
    ASSERT_EQ(RoadMap::load(*disk.slot, atlas), 0);
    RoadMap* map = disk.slot->graph();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->ready());
    ASSERT_GE(log.lines().size(), 2u);
    EXPECT_NE(log.lines().front().find("Loading RoadMap from file '" + disk.path.string() + "'..."),
              std::string::npos)
        << log.lines().front();
    EXPECT_NE(log.lines().back().find("RoadMap loading time: "), std::string::npos) << log.lines().back();
    EXPECT_LT(atlas.heap.freeBytes(), atlas.heap.totalBytes()) << "the graph is charged to the route heap";

    // The nodes keep their cells, the segments their ends and lengths.
    EXPECT_EQ(map->nodeHeadRecord(F)->cell, (GridCell{2, 1}));
    EXPECT_EQ(map->segmentFromNode(5), B);
    EXPECT_EQ(map->segmentToNode(5), E);
    EXPECT_EQ(map->segmentHeadRecord(6)->length, 500);
    EXPECT_EQ(map->segmentHeadRecord(6)->attributes,
              (RoadGraph::SegmentAttributes{0x13, 0x5A, static_cast<std::uint8_t>(2 | 17 << 3)}));

    // Metres per cell of level 0 (2^18 global units a cell near 4.4 degrees
    // north) and the integer root of twice that.
    EXPECT_GT(map->cellMetres, 2420u);
    EXPECT_LT(map->cellMetres, 2444u);
    const std::uint64_t r = map->cellDiagonalRoot;
    EXPECT_LE(r * r, 2ull * map->cellMetres);
    EXPECT_GT((r + 1) * (r + 1), 2ull * map->cellMetres);

    std::uint32_t length = 0;
    EXPECT_EQ(route(*map, A, F, &length), (Ids{0, 5, 3}));
    EXPECT_EQ(length, 300u);
    // Against the one-way B-E: round by D, not back up through it.
    EXPECT_EQ(route(*map, F, A), (Ids{3, 2, 4}));
    EXPECT_EQ(route(*map, E, B), (Ids{2, 4, 0}));
    EXPECT_EQ(route(*map, B, E), (Ids{5}));

    // A second load is free: nothing read, nothing logged.
    const std::size_t logged = log.lines().size();
    EXPECT_EQ(RoadMap::load(*disk.slot, atlas), 0);
    EXPECT_EQ(disk.slot->graph(), map);
    EXPECT_EQ(log.lines().size(), logged);

    // Releasing gives the heap back; the next load reads again.
    EXPECT_TRUE(disk.slot->releaseGraph());
    EXPECT_FALSE(disk.slot->releaseGraph());
    EXPECT_EQ(atlas.heap.freeBytes(), atlas.heap.totalBytes());
    EXPECT_EQ(RoadMap::load(*disk.slot, atlas), 0);
    EXPECT_EQ(route(*disk.slot->graph(), A, F), (Ids{0, 5, 3}));
}

TEST(RoadMapLoad, VertexLayoutTransitions) {
    const MapDescription m = vertexMap();
    TestAtlas atlas(64 * 1024);
    MapOnDisk disk(writeMap(m).bytes);
    ASSERT_EQ(RoadMap::load(*disk.slot, atlas), 0);
    RoadMap& map = *disk.slot->graph();
    EXPECT_EQ(map.vertices(1).size(), 2u);
    EXPECT_EQ(route(map, 0, 2), (Ids{0, 1}));
    EXPECT_EQ(route(map, 0, 4), (Ids{0, 3}));
    EXPECT_TRUE(route(map, 0, 3).empty());
    EXPECT_TRUE(route(map, 4, 1).empty());
}

TEST(RoadMapLoad, SegmentShapes) {
    const MapDescription description = drawnMap(false);
    const EncodedGeometry geometry = encodeGeometry(description.levels);
    TestAtlas atlas(64 * 1024);
    MapOnDisk disk(writeMap(description).bytes);
    std::vector<Map::File::ShapeStep> steps;
    // Loads the graph on the way.
    ASSERT_EQ(RoadMap::segmentShape(*disk.slot, atlas, 3, steps), 0);
    ASSERT_NE(disk.slot->graph(), nullptr);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].value, geometry.polylineOffset(0, 1, 1, 0));
    EXPECT_EQ(steps[1].value, geometry.polylineOffset(0, 2, 1, 0));
    EXPECT_EQ(steps[0].x, 1);
    EXPECT_EQ(steps[1].x, 2);
    EXPECT_EQ(steps[1].y, 1);
    ASSERT_EQ(RoadMap::segmentShape(*disk.slot, atlas, 1, steps), 0);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].value, geometry.polylineOffset(0, 1, 0, 0));
    // A segment drawn by nothing: the map is damaged (-3).
    EXPECT_EQ(RoadMap::segmentShape(*disk.slot, atlas, 2, steps), -3);
    EXPECT_TRUE(steps.empty());
    // An id that names no segment is a point bound to no road: -4.
    EXPECT_EQ(RoadMap::segmentShape(*disk.slot, atlas, 7, steps), -4);
    EXPECT_EQ(RoadMap::segmentShape(*disk.slot, atlas, RoadGraph::kNoId, steps), -4);
    // Without a graph the load status comes back.
    MapDescription bare = description;
    bare.roads.reset();
    MapOnDisk empty(writeMap(bare).bytes);
    EXPECT_EQ(RoadMap::segmentShape(*empty.slot, atlas, 0, steps), -1);
}

TEST(RoadMapLoad, MemoryRunsShort) {
    const std::vector<std::uint8_t> bytes = writeMap(drawnMap(true)).bytes;
    {
        // Nothing to release: refused, logged, nothing kept.
        TestAtlas atlas(64);
        MapOnDisk disk(bytes);
        TestSupport::CaptureLogger log;
        EXPECT_EQ(RoadMap::load(*disk.slot, atlas), -2);
        EXPECT_EQ(disk.slot->graph(), nullptr);
        EXPECT_EQ(atlas.releases, 1);
        EXPECT_TRUE(log.contains("Not enough memory to read RoadMap: trying unload something"));
        ASSERT_FALSE(log.lines().empty());
        EXPECT_NE(log.lines().back().find("Failed to read RoadMap: not enough memory"), std::string::npos);
    }
    {
        // The heap is taken; the atlas gives it back on the second request,
        // so the third attempt succeeds.
        TestAtlas atlas(64 * 1024);
        MapOnDisk disk(bytes);
        void* taken = atlas.heap.allocate(60 * 1024);
        ASSERT_NE(taken, nullptr);
        atlas.onRelease = [&] {
            if (atlas.releases < 2) return true; // said to have freed, but nothing of ours
            atlas.heap.free(taken);
            return true;
        };
        EXPECT_EQ(RoadMap::load(*disk.slot, atlas), 0);
        EXPECT_EQ(atlas.releases, 2);
        ASSERT_NE(disk.slot->graph(), nullptr);
        // Arriving from A, B may not be left down to E: round by D instead;
        // starting at B (or coming from C) the turn is not made.
        EXPECT_EQ(route(*disk.slot->graph(), A, F), (Ids{4, 2, 3}));
        EXPECT_EQ(route(*disk.slot->graph(), B, F), (Ids{5, 3}));
        EXPECT_EQ(route(*disk.slot->graph(), C, E), (Ids{1, 5}));
        disk.slot.reset();
        EXPECT_EQ(atlas.heap.freeBytes(), atlas.heap.totalBytes()) << "the slot frees its charge";
    }
}

TEST(RoadMapLoad, EmptyAndDamagedGraphsLeaveNoGraph) {
    {
        // A map without routing data has nothing to route on.
        MapDescription m = drawnMap(false);
        m.roads.reset();
        TestAtlas atlas(64 * 1024);
        MapOnDisk disk(writeMap(m).bytes);
        EXPECT_EQ(RoadMap::load(*disk.slot, atlas), -1);
        EXPECT_EQ(disk.slot->graph(), nullptr);
        EXPECT_EQ(atlas.heap.freeBytes(), atlas.heap.totalBytes());
    }
    for (const bool vertexLayout : {false, true}) {
        const WrittenMap written = writeMap(vertexLayout ? vertexMap() : drawnMap(true));
        const std::uint32_t headerBlock = written.header[4];
        const std::uint32_t recordBlock = written.header[8];
        {
            // A segment capacity beyond the id space is damage, not a memory
            // shortage: no graph is released for it.
            std::vector<std::uint8_t> bytes = written.bytes;
            AtlasTest::putU32(bytes, headerBlock + 9, 0xFFFFFF00);
            TestAtlas atlas(64 * 1024);
            MapOnDisk disk(bytes);
            EXPECT_EQ(RoadMap::load(*disk.slot, atlas), -3);
            EXPECT_EQ(atlas.releases, 0);
            EXPECT_EQ(disk.slot->graph(), nullptr);
            EXPECT_EQ(atlas.heap.freeBytes(), atlas.heap.totalBytes());
        }
        {
            // A chain count far beyond the graph stream (after the five vertex
            // counts in the vertex layout).
            std::vector<std::uint8_t> bytes = written.bytes;
            AtlasTest::putU32(bytes, headerBlock + 21 + (vertexLayout ? 5 : 0), 1000);
            TestAtlas atlas(64 * 1024);
            MapOnDisk disk(bytes);
            TestSupport::CaptureLogger log;
            EXPECT_EQ(RoadMap::load(*disk.slot, atlas), -3);
            EXPECT_EQ(disk.slot->graph(), nullptr);
            EXPECT_EQ(atlas.heap.freeBytes(), atlas.heap.totalBytes());
            const std::vector<std::string> lines = log.lines();
            ASSERT_FALSE(lines.empty());
            EXPECT_NE(lines.back().find("Failed to read RoadMap: wrong format of file '" +
                                        disk.path.string() + "'"),
                      std::string::npos)
                << lines.back();
        }
        // Random damage to the graph's header and records: the load either
        // refuses (keeping nothing) or gives a graph a search runs over.
        TestSupport::Damage damage(125);
        const std::uint32_t end =
            std::min<std::uint32_t>(recordBlock + 400, static_cast<std::uint32_t>(written.bytes.size()));
        std::vector<std::size_t> graphFields;
        for (std::size_t at = headerBlock; at < end; ++at)
            graphFields.push_back(at);
        int refused = 0;
        for (int run = 0; run < 150; ++run) {
            const std::vector<std::uint8_t> bytes = damage.apply(written.bytes, graphFields);
            TestAtlas atlas(64 * 1024); // outlives the map's graph, charged to its heap
            std::unique_ptr<MapOnDisk> disk;
            try {
                disk = std::make_unique<MapOnDisk>(bytes);
            } catch (const std::exception&) {
                continue; // refused when the map was opened
            }
            TestSupport::CaptureLogger log;
            const std::int32_t status = RoadMap::load(*disk->slot, atlas);
            ASSERT_TRUE(status == 0 || status == -1 || status == -2 || status == -3) << status;
            if (status != 0) {
                ++refused;
                EXPECT_EQ(disk->slot->graph(), nullptr);
                EXPECT_EQ(atlas.heap.freeBytes(), atlas.heap.totalBytes());
                continue;
            }
            RoadMap& map = *disk->slot->graph();
            for (std::uint32_t from = 0; from < map.nodes().size() && from < 3; ++from)
                if (map.nodeOf(from) == from) route(map, from, map.nodeOf(0) == 0 ? 0 : from);
        }
        EXPECT_GT(refused, 0);
    }
}

TEST(RoadMapLoad, DemoTownRoutesBetweenStreets) {
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(MIREL_DEMO_ATLAS_DIR) / "demo-town.kvm"));
    AtlasTest::AtlasSetup setup;
    setup.config.root()->set("win_route_heap", 1024);
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_DEMO_ATLAS_DIR))));
    Map::KVMap2* town = atlas->findMapById(1);
    ASSERT_NE(town, nullptr);
    RoadMapHolder* slot = RoadMapHolder::of(*town);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(RoadMapHolder::of(*town), slot);
    EXPECT_EQ(slot->map(), town);
    ASSERT_EQ(RoadMap::load(*slot, *atlas), 0);
    RoadMap& map = *slot->graph();
    ASSERT_GE(map.segments().size(), 2u);
    EXPECT_GT(map.cellMetres, 0u);

    // From the start of the first street to the far end of the last one.
    std::uint32_t lastSegment = 0;
    for (std::uint32_t s = 0; s < map.segments().size(); ++s)
        if (map.segmentHead(s) == s) lastSegment = s;
    const std::uint32_t from = map.segmentFromNode(0);
    const std::uint32_t to = map.segmentToNode(lastSegment);
    ASSERT_NE(from, to);
    std::uint32_t length = 0;
    const Ids found = route(map, from, to, &length);
    ASSERT_FALSE(found.empty());
    EXPECT_GT(length, 0u);

    // A graph the leg being computed runs on is kept; an idle one the atlas
    // may take back.
    slot->pin = RoadMapHolder::InUse;
    EXPECT_FALSE(atlas->releaseMemory());
    EXPECT_EQ(slot->graph(), &map);
    slot->pin = RoadMapHolder::Free;
    EXPECT_TRUE(atlas->releaseMemory());
    EXPECT_EQ(slot->graph(), nullptr);
}

} // namespace
