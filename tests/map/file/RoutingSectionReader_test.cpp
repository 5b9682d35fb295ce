#include "map/file/RoutingSectionReader.h"

#include "map/file/FormatError.h"
#include "tests/map/MapFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

using namespace Map::File;
using MapTest::ByteBuilder;
using MapTest::RecordingBuilder;

namespace {

// A chain A -> B -> C (nodes 0, 1, 2; segments 0, 1), one restriction, two
// link nodes; the shape block at 4, header block at 35, record block at 95,
// transit block at 120.
struct HandRouting {
    std::uint32_t shapeLast = 1;
    std::uint32_t nodeLast = 2;
    std::uint8_t chainByte2 = (5 << 3) | 3;
    std::uint8_t chainSegments = 2;
    std::uint32_t secondNext = 2;
    std::uint32_t forbidden = 0;
    std::uint32_t linkCount = 2;
    std::uint8_t secondStepCode = 8;
    std::uint32_t secondShapeOffset = 23;
    std::uint32_t segmentCapacityBase = 2;

    std::vector<std::uint8_t> bytes() const {
        ByteBuilder f;
        f.zeros(4);
        // Shape block.
        f.u8(0).u32(9).u32(secondShapeOffset);
        f.u16(2).u32(0x1234).u8(4).u8(0).u32(0x5678).u8(secondStepCode).u8(1);
        f.u16(1).u32(0x9).u8(0).u8(0);
        // Header block.
        f.u8(0).u32(shapeLast).u32(nodeLast).u32(segmentCapacityBase).u32(3).u32(4);
        f.u32(1).u16(0x0412).u8(chainByte2).u8(chainSegments).u24(0);
        f.u16(100).u16(200).u24(1).u24(secondNext);
        f.u32(1).u8(1).u8(1).u32(1).u32(1).u32(forbidden);
        // Record block: only the low 16 bits of each word are cells.
        f.u8(0).u32(0xABCD000A).u32(20).u32(11).u32(20).u32(11).u32(0x00010015);
        // Transit block.
        f.u8(7).zeros(3).u32(linkCount);
        f.u32(2).u32(1000).u32(2000).u32(0).u32(3000).u32(4000);
        for (std::uint32_t v : {0xFFFFFFFFu, 5u, 6u, 0xFFFFFFFFu})
            f.u32(0).u32(v).u32(0);
        return f.bytes;
    }
};

constexpr RoutingLocation HandLocation{35, 120, 4, 95};

struct Opened {
    MemoryFile file;
    RoutingSectionReader reader;
    explicit Opened(std::vector<std::uint8_t> bytes, RoutingLocation at = HandLocation)
        : file(std::move(bytes)), reader(file, at) {}
};

std::string openError(std::vector<std::uint8_t> bytes, RoutingLocation at = HandLocation) {
    try {
        Opened opened(std::move(bytes), at);
    } catch (const FormatError& e) {
        return e.what();
    }
    return "opened";
}

std::uint32_t load(const HandRouting& hand, RecordingBuilder& builder) {
    Opened opened(hand.bytes());
    return opened.reader.loadGraph(builder);
}

// A segment as from, to, length, turn code, quality.
std::vector<int> summary(const RecordingBuilder::Segment& s) {
    return {int(s.from), int(s.to), s.length, s.attributes.turnCode(), s.attributes.quality()};
}

} // namespace

TEST(RoutingSectionReader, LoadsHandWrittenGraph) {
    ASSERT_EQ(HandRouting().bytes().size(), 200u);
    Opened opened(HandRouting().bytes());
    RoutingSectionReader& reader = opened.reader;
    EXPECT_FALSE(reader.empty());
    EXPECT_EQ(reader.linkNodeCount(), 2);
    EXPECT_EQ(reader.linkClass(), 7);

    RecordingBuilder builder;
    ASSERT_EQ(reader.loadGraph(builder), RoutingSectionReader::Loaded);
    EXPECT_EQ(builder.violations, 0);
    EXPECT_EQ(std::vector<std::uint64_t>(builder.capacities, builder.capacities + 5),
              (std::vector<std::uint64_t>{2 + 290, 3, 3 + 120, 2, 4 + 580}));
    ASSERT_EQ(builder.nodes.size(), 3u);
    EXPECT_EQ(std::make_tuple(builder.nodes[0].x, builder.nodes[0].y, builder.nodes[2].y, builder.nodes[2].vertices),
              std::make_tuple(10, 20, 21, 1));
    // From the chain's second segment on only the quality stays.
    ASSERT_EQ(builder.segments.size(), 2u);
    EXPECT_EQ(summary(builder.segments[0]), (std::vector<int>{0, 1, 100, 5, 3}));
    EXPECT_EQ(summary(builder.segments[1]), (std::vector<int>{1, 2, 200, 0, 3}));
    const auto& first = builder.segments[0];
    EXPECT_FALSE(first.withTransitions);
    EXPECT_EQ(first.attributes.routingClass(), 2);
    EXPECT_TRUE(first.attributes.twoWay());
    EXPECT_EQ(first.attributes.access(), 0x04);
    EXPECT_TRUE(builder.finished);
    ASSERT_EQ(builder.restrictions.size(), 1u);
    EXPECT_EQ(builder.restrictions[0].node, 1u);
    EXPECT_EQ(builder.restrictions[0].path, std::vector<std::uint32_t>{1});
    EXPECT_EQ(builder.restrictions[0].forbidden, std::vector<std::uint32_t>{0});

    std::uint8_t linkClass = 0;
    std::vector<LinkNode> links;
    ASSERT_TRUE(reader.linkNodes(linkClass, links));
    EXPECT_EQ(linkClass, 7);
    EXPECT_EQ(links, (std::vector<LinkNode>{{1000, 2000}, {3000, 4000}}));
    std::vector<std::uint32_t> transit;
    ASSERT_TRUE(reader.transitTable(transit));
    EXPECT_EQ(transit, (std::vector<std::uint32_t>{0xFFFFFFFF, 5, 6, 0xFFFFFFFF}));
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(reader.linkNodeIds(ids));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{2, 0}));
}

TEST(RoutingSectionReader, WalksShapes) {
    Opened opened(HandRouting().bytes());
    std::vector<ShapeStep> steps;
    // Code 4 keeps the point, code 8 moves it by (+1, +1).
    ASSERT_TRUE(opened.reader.shape(0, {5, 5}, steps));
    EXPECT_EQ(steps, (std::vector<ShapeStep>{{0x1234, 5, 5, 0}, {0x5678, 6, 6, 1}}));
    ASSERT_TRUE(opened.reader.shape(1, {5, 5}, steps));
    EXPECT_EQ(steps, (std::vector<ShapeStep>{{0x9, 4, 4, 0}}));
    EXPECT_FALSE(opened.reader.shape(2, {0, 0}, steps));
    EXPECT_TRUE(steps.empty());

    HandRouting badCode;
    badCode.secondStepCode = 9;
    Opened withBadCode(badCode.bytes());
    EXPECT_FALSE(withBadCode.reader.shape(0, {0, 0}, steps));
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(withBadCode.reader.shape(1, {0, 0}, steps));

    // The last shape's offset sizes the view, so an earlier offset beyond
    // the block is refused.
    HandRouting pastEnd;
    pastEnd.secondShapeOffset = 9;
    auto bytes = pastEnd.bytes();
    bytes[5] = 200; // shape 0's offset entry
    Opened withFarShape(bytes);
    EXPECT_FALSE(withFarShape.reader.shape(0, {0, 0}, steps));
    EXPECT_TRUE(withFarShape.reader.shape(1, {0, 0}, steps));
}

TEST(RoutingSectionReader, EmptyReaderLoadsNothing) {
    HandRouting hand;
    hand.shapeLast = 0xFFFFFFFF;
    Opened opened(hand.bytes());
    EXPECT_TRUE(opened.reader.empty());
    RecordingBuilder builder;
    EXPECT_EQ(opened.reader.loadGraph(builder), RoutingSectionReader::Loaded);
    EXPECT_FALSE(builder.reserved);
    std::vector<ShapeStep> steps;
    EXPECT_FALSE(opened.reader.shape(0, {0, 0}, steps));
    EXPECT_EQ(opened.reader.linkNodeCount(), 0);
    EXPECT_EQ(opened.reader.linkClass(), 24);
    HandRouting noNodes;
    noNodes.nodeLast = 0xFFFFFFFF;
    EXPECT_TRUE(Opened(noNodes.bytes()).reader.empty());
}

TEST(RoutingSectionReader, RefusesBadStreamsBeforeBuilding) {
    auto refused = [](const HandRouting& hand) {
        RecordingBuilder builder;
        const std::uint32_t status = load(hand, builder);
        EXPECT_FALSE(builder.reserved);
        return status;
    };
    const std::function<void(HandRouting&)> broken[] = {
        [](HandRouting& h) { h.secondNext = 3; }, // only nodes 0..2 exist
        [](HandRouting& h) { h.chainByte2 = 5; },
        [](HandRouting& h) { h.chainByte2 = 30 << 3; },
        [](HandRouting& h) { h.chainSegments = 1; }, // two shapes, one segment
        [](HandRouting& h) { h.forbidden = 2; },
    };
    for (const auto& breakIt : broken) {
        HandRouting hand;
        breakIt(hand);
        EXPECT_EQ(refused(hand), RoutingSectionReader::BadFormat);
    }
    HandRouting lastTurn;
    lastTurn.chainByte2 = (29 << 3) | 4;
    RecordingBuilder accepted;
    EXPECT_EQ(load(lastTurn, accepted), RoutingSectionReader::Loaded);
    HandRouting smallCapacity;
    smallCapacity.segmentCapacityBase = 0xFFFFFFFF; // large is fine...
    RecordingBuilder big;
    EXPECT_EQ(load(smallCapacity, big), RoutingSectionReader::Loaded);
    EXPECT_EQ(big.capacities[0], 0xFFFFFFFFull + 290);

    RecordingBuilder refusing;
    refusing.refuseReserve = true;
    EXPECT_EQ(load(HandRouting(), refusing), RoutingSectionReader::OutOfMemory);
    EXPECT_TRUE(refusing.nodes.empty());

    // A header block cut short.
    Opened cut(HandRouting().bytes(), RoutingLocation{35, 120, 4, 60});
    RecordingBuilder builder;
    EXPECT_EQ(cut.reader.loadGraph(builder), RoutingSectionReader::BadFormat);
    EXPECT_FALSE(builder.reserved);
}

TEST(RoutingSectionReader, RefusesBlocksOutsideTheFile) {
    EXPECT_EQ(openError(HandRouting().bytes(), RoutingLocation{35, 120, 4, 190}), "Can't create file mapping view");
    EXPECT_EQ(openError(HandRouting().bytes(), RoutingLocation{35, 40, 4, 95}), "Section is too small");
    // A header block ending before it begins, and a link count whose transit
    // block cannot exist: neither can be viewed.
    EXPECT_EQ(openError(HandRouting().bytes(), RoutingLocation{100, 50, 4, 95}), "Can't create file mapping view");
    // Link tables and shape offset tables that cannot fit the file.
    const std::pair<std::uint32_t, std::uint32_t> tooLarge[] = {{0x10000, 1}, {0xFFFFFFFF, 1}, {3, 1}, {2, 0xFFFFFFF0}};
    for (const auto& [links, shapeLast] : tooLarge) {
        HandRouting hand;
        hand.linkCount = links;
        hand.shapeLast = shapeLast;
        EXPECT_EQ(openError(hand.bytes()), "Can't create file mapping view") << links << " " << shapeLast;
    }
}

TEST(RoutingSectionReader, RoundTripsWriterGraphs) {
    const MapWriting::MapDescription map = MapTest::sampleMap();
    MapTest::OpenedMap opened = MapTest::openMap(MapWriting::writeMap(map).bytes);
    RoutingSectionReader& reader = *opened.routing;
    RecordingBuilder builder;
    ASSERT_EQ(reader.loadGraph(builder), RoutingSectionReader::Loaded);
    EXPECT_EQ(builder.violations, 0);
    ASSERT_EQ(builder.segments.size(), 3u);
    EXPECT_EQ(summary(builder.segments[2]), (std::vector<int>{2, 3, 1400, 0, 4}));
    EXPECT_TRUE(builder.segments[2].attributes.toll());
    EXPECT_FALSE(builder.segments[2].attributes.twoWay());
    EXPECT_TRUE(builder.segments[2].attributes.roundabout());
    EXPECT_EQ(builder.segments[0].attributes.turnCode(), 5);
    EXPECT_EQ(builder.segments[1].attributes.turnCode(), 0);
    EXPECT_EQ(builder.nodes[3].x, 2);
    ASSERT_EQ(builder.restrictions.size(), 1u);

    // Segment 2's shape: its two polylines, the second one cell to the right.
    std::vector<ShapeStep> steps;
    ASSERT_TRUE(reader.shape(2, {builder.nodes[2].x, builder.nodes[2].y}, steps));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].x, 1);
    EXPECT_EQ(steps[1].x, 2);
    EXPECT_EQ(steps[1].y, 1);
    // The reference is the polyline item's section offset: its road
    // reference names the segment, its type is the road class.
    std::uint8_t item[16];
    ASSERT_EQ(opened.geometry->readRaw(steps[1].value, item, sizeof item), sizeof item);
    EXPECT_EQ(item[4], 12);
    EXPECT_EQ(item[6] * 65536 + (item[7] | (item[8] << 8)), 2);
    EXPECT_EQ(item[9], 2); // two points

    std::uint8_t linkClass = 0;
    std::vector<LinkNode> links;
    ASSERT_TRUE(reader.linkNodes(linkClass, links));
    EXPECT_EQ(linkClass, 5);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].a, (100u << 18) + 5000);
    std::vector<std::uint32_t> values;
    ASSERT_TRUE(reader.transitTable(values));
    EXPECT_EQ(values[1], 300u * 512);
    ASSERT_TRUE(reader.linkNodeIds(values));
    EXPECT_EQ(values, (std::vector<std::uint32_t>{0, 3}));
}

TEST(RoutingSectionReader, RoundTripsVertexLayout) {
    MapWriting::MapDescription map = MapTest::sampleMap();
    MapWriting::RoadGraph& g = *map.roads;
    g.vertexLayout = true;
    g.restrictions.clear();
    g.nodes[1].vertices = 3;
    g.chains[0].segments[0].transitions = {0x0040 | 0x0200, 0x0100}; // to vertex 2 forward; back from vertex 1
    g.chains[0].segments[1].transitions = {0x00C2};                  // two-way from vertex 2
    g.chains[1].segments[0].transitions = {0x0040};
    MapTest::OpenedMap opened = MapTest::openMap(MapWriting::writeMap(map).bytes);
    RecordingBuilder builder;
    ASSERT_EQ(opened.routing->loadGraph(builder), RoutingSectionReader::Loaded);
    EXPECT_EQ(builder.violations, 0);
    EXPECT_EQ(builder.nodes[1].vertices, 3);
    EXPECT_EQ(builder.nodes[0].vertices, 1);
    EXPECT_EQ(builder.capacities[2], 4u + 3 + 20); // node records + node margin of the vertex layout
    EXPECT_EQ(builder.capacities[0], 3u + 2 + 290);
    ASSERT_TRUE(builder.segments[0].withTransitions);
    EXPECT_EQ(builder.segments[0].transitions, (std::vector<std::uint16_t>{0x8240, 0x0100}));
    EXPECT_EQ(builder.segments[1].transitions, (std::vector<std::uint16_t>{0x00C2}));
    EXPECT_TRUE(builder.restrictions.empty());

    // A vertex index the node does not have is refused at read time.
    g.nodes[1].vertices = 2;
    EXPECT_THROW(MapWriting::writeMap(map), std::invalid_argument);
    g.nodes[1].vertices = 3;
    auto bytes = MapWriting::writeMap(map).bytes;
    const std::uint32_t header = bytes[16] | (bytes[17] << 8) | (bytes[18] << 16) | (bytes[19] << 24);
    bytes[header + 21 + 1] = 1; // node 1 now has 2 vertices
    MapTest::OpenedMap damaged = MapTest::openMap(bytes);
    RecordingBuilder refused;
    EXPECT_EQ(damaged.routing->loadGraph(refused), RoutingSectionReader::BadFormat);
    EXPECT_FALSE(refused.reserved);

    // The most transitions a segment can have; then its last word says one
    // more follows, and the last segment's first word that none does: the
    // words still end with the last segment.
    g.chains[0].segments[0].transitions.assign(256, 0x0040);
    g.chains[0].segments[1].transitions = {0x00C0};
    g.chains[1].segments[0].transitions = {0x0040, 0x00C0};
    bytes = MapWriting::writeMap(map).bytes;
    MapTest::OpenedMap most = MapTest::openMap(bytes);
    RecordingBuilder loaded;
    ASSERT_EQ(most.routing->loadGraph(loaded), RoutingSectionReader::Loaded);
    EXPECT_EQ(loaded.segments[0].transitions.size(), 256u);
    EXPECT_EQ(loaded.segments[2].transitions, (std::vector<std::uint16_t>{0x8040, 0x00C0}));
    const auto find = [&](std::vector<std::uint8_t> word) {
        const auto at = std::search(bytes.begin() + header, bytes.end(), word.begin(), word.end());
        EXPECT_NE(at, bytes.end());
        return at;
    };
    find({0x40, 0x80, 0x40, 0x00, 0xC0, 0x00})[3] = 0x80;
    find({0xC0, 0x00, 0x40, 0x80, 0xC0, 0x00})[3] = 0x00;
    MapTest::OpenedMap tooMany = MapTest::openMap(bytes);
    RecordingBuilder beyond;
    EXPECT_EQ(tooMany.routing->loadGraph(beyond), RoutingSectionReader::BadFormat);
    EXPECT_FALSE(beyond.reserved);
}
