#include "routing/RoadMap.h"
#include "routing/RouteSearch.h"
#include "tests/routing/TestGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace RoadGraph;
using namespace RoutingTest;
using namespace Map::Routing;

namespace {

template <class T> bool sameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

const char* kSquare = R"(
A B
C D
)";

} // namespace

TEST(NodeTransitions, ExpandAndSplit) {
    NodeTransitions t;
    t.add(1, 2, true, false);
    t.expandTwoWay();
    EXPECT_EQ(t.size(), 1u) << "nothing two-way, nothing added";

    t.add(3, 4, true, true);
    t.expandTwoWay();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t.entries()[1], (NodeTransition{3, 4, Direction::Forward}));
    EXPECT_EQ(t.entries()[2], (NodeTransition{4, 3, 0}));
    t.expandTwoWay();
    EXPECT_EQ(t.size(), 3u) << "a second expansion adds nothing";

    NodeTransitions first, second;
    NodeTransitions::split(t, true, true, first, second);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first.entries()[0], (NodeTransition{1, 0, Direction::Forward}));
    EXPECT_EQ(second.entries()[0], (NodeTransition{0, 2, Direction::Forward}));
    // Backward travel enters at the second end and leaves at the first.
    EXPECT_EQ(first.entries()[2], (NodeTransition{0, 3, 0}));
    EXPECT_EQ(second.entries()[2], (NodeTransition{4, 0, 0}));

    NodeTransitions::split(t, false, true, first, second);
    EXPECT_EQ(first.size(), 1u);
    NodeTransitions::split(t, false, false, first, second);
    EXPECT_TRUE(first.empty());
    EXPECT_TRUE(second.empty());
}

TEST(RoadMap, NodeChainsAndCursors) {
    RoadMap map;
    ASSERT_TRUE(map.allocate(3, 10, 0, 0, 0));
    ASSERT_TRUE(map.initNodeRecord(0, GridCell{5, 6}, 1));
    ASSERT_TRUE(map.initNodeRecord(1, GridCell{7, 8}, 2));
    ASSERT_TRUE(map.initNodeRecord(2, GridCell{9, 9}, 0));
    EXPECT_FALSE(map.initNodeRecord(99, GridCell{}, 1)) << "id beyond the array";

    EXPECT_EQ(map.nodes()[0].flags, RecordFlag::Head | RecordFlag::Main | RecordFlag::Last);
    // Two vertices: the head only continues to them, the second is last.
    EXPECT_EQ(map.nodes()[1].flags, RecordFlag::Head | RecordFlag::Continues);
    EXPECT_EQ(map.nodes()[1].next, 3u);
    EXPECT_EQ(map.nodes()[3].flags, RecordFlag::Main);
    EXPECT_EQ(map.nodes()[4].flags, RecordFlag::Main | RecordFlag::Last);
    EXPECT_EQ(map.nodes()[2].flags, RecordFlag::Head | RecordFlag::Last);
    EXPECT_EQ(map.vertices(1), (std::vector<std::uint32_t>{3, 4}));
    EXPECT_TRUE(map.vertices(2).empty());
    EXPECT_EQ(map.nodeOf(4), 1u);
    EXPECT_EQ(map.cellOf(4), (GridCell{7, 8}));
    EXPECT_EQ(map.nodeOf(99), kNoId);
    EXPECT_EQ(map.nodeHeadRecord(99), nullptr);

    // Appending to a chain whose last record is not the array's last links it by continuation.
    const std::uint32_t clone = map.appendToNodeChain(0);
    ASSERT_EQ(clone, 5u);
    EXPECT_EQ(map.nodes()[0].flags & (RecordFlag::Continues | RecordFlag::Last), RecordFlag::Continues);
    EXPECT_EQ(map.vertices(0), (std::vector<std::uint32_t>{0, 5}));
    const std::uint32_t another = map.appendToNodeChain(0);
    EXPECT_EQ(map.vertices(0), (std::vector<std::uint32_t>{0, 5, another}));
    EXPECT_EQ(map.nodes()[5].flags & RecordFlag::Continues, 0) << "the array's last record just runs on";
    EXPECT_EQ(map.appendToNodeChain(4), kNoId) << "not a head";
}

TEST(RoadMap, BuildLinksListsSegmentsInDecreasingOrder) {
    TestGraph g = drawGraph(kSquare, "A-B 10\nA>C 10\nD-A 10\nB>A 10");
    const RoadMap& map = g.map;
    EXPECT_TRUE(map.ready());
    // A: two-way 0, one-way 1 leaving, two-way 2 (as its end); 3 arrives one-way.
    EXPECT_EQ(map.linkedSegments(g.node('A')), (std::vector<std::uint32_t>{2, 1, 0}));
    EXPECT_EQ(map.linkedSegments(g.node('B')), (std::vector<std::uint32_t>{3, 0}));
    EXPECT_TRUE(map.linkedSegments(g.node('C')).empty());
    EXPECT_EQ(map.nodes()[g.node('C')].firstLink, kNoId);
    EXPECT_EQ(map.links().size(), 6u);
    // Each run is contiguous and ends with the last-link flag.
    const std::uint32_t first = map.nodes()[g.node('A')].firstLink;
    EXPECT_EQ(map.links()[first + 2].flags, LinkFlag::LastLink);
    EXPECT_EQ(map.segmentFromNode(3), g.node('B'));
    EXPECT_EQ(map.segmentToNode(3), g.node('A'));
}

TEST(RoadMap, AddLinkPutsTheNewSegmentFirstBehindAJump) {
    TestGraph g = drawGraph(kSquare, "A-B 10\nA-C 10");
    RoadMap& map = g.map;
    const std::uint32_t s = map.appendSegmentId();
    ASSERT_TRUE(map.addLink(g.node('A'), s));
    EXPECT_EQ(map.linkedSegments(g.node('A')), (std::vector<std::uint32_t>{s, 1, 0}));
    EXPECT_EQ(map.links().back().flags, LinkFlag::Jump);
    ASSERT_TRUE(map.addLink(g.node('D'), s));
    EXPECT_EQ(map.linkedSegments(g.node('D')), (std::vector<std::uint32_t>{s}));
    EXPECT_FALSE(map.addLink(99, s));
    EXPECT_FALSE(map.addLink(g.node('A'), 99));
}

TEST(RoadMap, SegmentTransitionsFollowVertices) {
    RoadMap map;
    ASSERT_TRUE(map.allocate(2, 0, 1, 0, 0));
    map.initNodeRecord(0, GridCell{0, 0}, 2);
    map.initNodeRecord(1, GridCell{1, 0}, 3);
    NodeTransitions table;
    table.add(1, 2, true, false);
    table.add(0, 1, false, true);
    ASSERT_TRUE(map.addSegment(0, 0, 1, SegmentAttributes{}, 50, table));
    NodeTransitions back;
    ASSERT_TRUE(map.segmentTransitions(0, back));
    EXPECT_EQ(back.entries(), table.entries());
    // A backward entry starts at the second end's vertex.
    const std::vector<std::uint32_t> records = map.segmentRecords(0);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(map.segments()[records[1]].start, map.vertices(1)[0]);
    EXPECT_EQ(map.segments()[records[1]].end, map.vertices(0)[1]);

    NodeTransitions bad;
    bad.add(2, 0, true, false);
    EXPECT_FALSE(map.addSegment(0, 0, 1, SegmentAttributes{}, 50, bad)) << "node 0 has two vertices only";
    EXPECT_FALSE(map.addSegment(5, 0, 1, SegmentAttributes{}, 50, table));
    EXPECT_FALSE(map.segmentTransitions(77, back));
}

TEST(RoadMap, SnapshotRestoreIsByteIdentical) {
    TestGraph g = drawGraph(kSquare, "A-B 10\nA>C 12\nC-D 9\nB-D 30");
    RoadMap& map = g.map;
    const std::vector<NodeRecord> nodes = map.nodes();
    const std::vector<SegmentRecord> segments = map.segments();
    const std::vector<LinkRecord> links = map.links();

    // Nothing appended: nothing changes.
    map.restore(map.snapshot());
    EXPECT_TRUE(sameBytes(map.nodes(), nodes));

    const RoadMap::Snapshot s = map.snapshot();
    SearchTask task;
    SearchPositionFromSegment a(GridCell{}, g.segment('A', 'B'), 4, true, true);
    SearchPositionToNode b(GridCell{}, g.node('A'));
    SearchPositionToDistantNodes c(GridCell{}, {{g.node('C'), 3}, {g.node('D'), 0}, {g.node('A'), 1}});
    SearchPositionToSegment d(GridCell{}, g.segment('C', 'D'), 9, true);
    ASSERT_TRUE(a.seed(map, task));
    ASSERT_TRUE(b.seed(map, task));
    ASSERT_TRUE(c.seed(map, task));
    ASSERT_TRUE(d.seed(map, task));
    EXPECT_GT(map.links().size(), links.size());
    EXPECT_NE(map.nodes()[g.node('A')].firstLink, nodes[g.node('A')].firstLink);
    map.restore(s);
    EXPECT_TRUE(sameBytes(map.nodes(), nodes));
    EXPECT_TRUE(sameBytes(map.segments(), segments));
    EXPECT_TRUE(sameBytes(map.links(), links));

    // A whole search leaves the records as they were (its labels are apart).
    SearchTask t2;
    t2.source = std::make_unique<SearchPositionFromNode>(GridCell{}, g.node('B'));
    t2.addTarget(std::make_unique<SearchPositionToSegment>(GridCell{}, g.segment('C', 'D'), 4, true));
    t2.addTarget(std::make_unique<SearchPositionToNode>(GridCell{}, g.node('C')));
    search(map, t2, RoutingParams{}, nullptr);
    EXPECT_EQ(t2.reachedCount, 2u);
    EXPECT_TRUE(sameBytes(map.nodes(), nodes));
    EXPECT_TRUE(sameBytes(map.segments(), segments));
    EXPECT_TRUE(sameBytes(map.links(), links));
}

TEST(RoadMap, ReversingTwiceIsTheIdentity) {
    TestGraph g = drawGraph(R"(
A B C
D E F
)",
                            "A-B 10\nB>C 10\nC-F 10\nF>E 10\nE-D 10\nD>A 10\nB-E 10\nA>E 14");
    RoadMap& map = g.map;
    const std::vector<NodeRecord> nodes = map.nodes();
    const std::vector<SegmentRecord> segments = map.segments();
    const std::vector<LinkRecord> links = map.links();
    map.reverseDirection();
    EXPECT_FALSE(sameBytes(map.segments(), segments));
    // One-way B>C now leaves C.
    EXPECT_EQ(map.linkedSegments(g.node('C')).front(), g.segment('C', 'F'));
    const auto fromC = map.linkedSegments(g.node('C'));
    EXPECT_NE(std::find(fromC.begin(), fromC.end(), g.segment('B', 'C')), fromC.end());
    EXPECT_EQ(map.segmentFromNode(g.segment('B', 'C')), g.node('B')) << "ends keep their names";
    map.reverseDirection();
    EXPECT_TRUE(sameBytes(map.nodes(), nodes));
    EXPECT_TRUE(sameBytes(map.segments(), segments));
    EXPECT_TRUE(sameBytes(map.links(), links));
}

TEST(RoadMap, BadIdsAndBrokenRecordsAreRefused) {
    TestGraph g = drawGraph(kSquare, "A-B 10\nB-C 10\nC-D 10");
    RoadMap& map = g.map;
    EXPECT_EQ(map.segmentFromNode(55), kNoId);
    EXPECT_EQ(map.segmentHead(kNoId), kNoId);
    EXPECT_FALSE(map.applyTurnRestriction(99, {0}, {}));
    EXPECT_FALSE(map.applyTurnRestriction(g.node('A'), {77}, {}));
    EXPECT_FALSE(map.applyTurnRestriction(g.node('A'), {0}, {1234}));
    EXPECT_FALSE(map.applyTurnRestriction(g.node('A'), {}, {}));

    // Damage: a link naming a missing segment, a segment naming a missing
    // node, a chain continuing to itself. The search skips them.
    map.mutableLinks()[map.nodes()[g.node('B')].firstLink].value = 5000;
    map.mutableSegments()[g.segment('C', 'D')].end = 4000;
    map.mutableNodes()[g.node('D')].flags = RecordFlag::Head | RecordFlag::Continues;
    map.mutableNodes()[g.node('D')].next = g.node('D');
    EXPECT_TRUE(map.vertices(g.node('D')).empty());
    SearchTask task;
    std::uint8_t reached = 9;
    task.source = std::make_unique<SearchPositionFromNode>(GridCell{}, g.node('A'));
    auto finish = std::make_unique<SearchPositionToNode>(GridCell{}, g.node('C'));
    finish->reached = &reached;
    task.addTarget(std::move(finish));
    SearchStats stats;
    search(map, task, RoutingParams{}, &stats);
    EXPECT_GT(stats.badReferences, 0u);
    EXPECT_EQ(reached, 0) << "B's only way on was damaged";
    // A chain continuing to the array's end or beyond ends there.
    const std::uint32_t c = g.node('C');
    const auto size = static_cast<std::uint32_t>(map.nodes().size());
    for (const std::uint32_t beyond : {size, size + 1}) {
        map.mutableNodes()[c].flags = RecordFlag::Head | RecordFlag::Continues;
        map.mutableNodes()[c].next = beyond;
        EXPECT_EQ(map.stepNode(c), kNoId) << beyond;
    }
}

TEST(RoadMap, AllocateRefusesCountsBeyondTheIdSpace) {
    RoadMap map;
    EXPECT_FALSE(map.allocate(kMaxRecords, 0, 0, 0, 0));
    EXPECT_TRUE(map.nodes().empty());
    EXPECT_TRUE(map.allocate(0, 0, 0, 0, 0));
    EXPECT_EQ(map.segmentFromNode(0), kNoId);
}

namespace {

// Every link of every vertex's list leads where its segment record does
// from that vertex (the search reads `to` instead of the record).
::testing::AssertionResult linksLeadToOtherEnds(const RoadMap& map) {
    const auto& links = map.links();
    for (std::uint32_t v = 0; v < map.nodes().size(); ++v) {
        if (!map.isVertex(v)) continue;
        std::uint32_t l = map.nodes()[v].firstLink;
        for (std::size_t guard = 0; guard <= links.size() && l < links.size(); ++guard) {
            const LinkRecord& link = links[l];
            if (link.flags & LinkFlag::Jump) {
                if (link.flags & LinkFlag::LastLink) break;
                l = link.value;
                continue;
            }
            if (link.to != map.otherEnd(link.value, v))
                return ::testing::AssertionFailure()
                       << "vertex " << v << " link " << l << " leads to " << link.to << ", its record to "
                       << map.otherEnd(link.value, v);
            if (link.flags & LinkFlag::LastLink) break;
            ++l;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(RoadMap, LinksFollowEveryChangeOfTheRecords) {
    for (std::uint32_t run = 0; run < 200; ++run) {
        std::mt19937 rng(run * 7919u + 1u);
        SCOPED_TRACE(::testing::Message() << "run " << run);
        TestGraph g;
        const std::uint32_t n = 4 + static_cast<std::uint32_t>(rng() % 6);
        for (std::uint32_t i = 0; i < n; ++i)
            g.cells.push_back(GridCell{static_cast<std::uint16_t>(i % 3), static_cast<std::uint16_t>(i / 3)});
        for (std::uint32_t i = 0; i < 2 * n; ++i) {
            Road r;
            r.from = static_cast<std::uint32_t>(rng() % n);
            r.to = static_cast<std::uint32_t>(rng() % n); // loops included
            r.twoWay = rng() % 3 != 0;
            r.length = static_cast<std::uint16_t>(1 + rng() % 50);
            g.roads.push_back(r);
        }
        buildMap(g, 10);
        RoadMap& map = g.map;
        ASSERT_TRUE(linksLeadToOtherEnds(map)) << "built";

        // Restrictions split two-way records, repoint links and clone nodes.
        const std::uint32_t first = static_cast<std::uint32_t>(rng() % g.roads.size());
        map.applyTurnRestriction(g.roads[first].from,
                                 {first, static_cast<std::uint32_t>(rng() % g.roads.size())},
                                 {static_cast<std::uint32_t>(rng() % g.roads.size())});
        ASSERT_TRUE(linksLeadToOtherEnds(map)) << "restricted";

        // Seeds hook temporary segments in front of real lists.
        const RoadMap::Snapshot before = map.snapshot();
        SearchTask task;
        SearchPositionFromSegment a(GridCell{}, static_cast<std::uint32_t>(rng() % g.roads.size()), 0, true,
                                    true);
        SearchPositionToNode b(GridCell{}, static_cast<std::uint32_t>(rng() % n));
        ASSERT_TRUE(a.seed(map, task));
        ASSERT_TRUE(b.seed(map, task));
        ASSERT_TRUE(linksLeadToOtherEnds(map)) << "seeded";
        map.restore(before);
        ASSERT_TRUE(linksLeadToOtherEnds(map)) << "restored";

        // Records written directly: the links follow before the next search.
        map.mutableSegments()[rng() % g.roads.size()].end = static_cast<std::uint32_t>(rng() % n);
        map.mutableSegments()[rng() % g.roads.size()].start = static_cast<std::uint32_t>(rng() % n);
        map.refreshLinkEnds();
        ASSERT_TRUE(linksLeadToOtherEnds(map)) << "written";
        map.reverseDirection();
        ASSERT_TRUE(linksLeadToOtherEnds(map)) << "reversed";
    }
}

// Ids are held in 24-bit fields: the largest id the arrays can hold reads
// back unchanged, and the fields' none value lies beyond every array.
TEST(RoadRecords, NarrowFieldsHoldEveryIdTheArraysCanHold) {
    const std::uint32_t largest = kMaxRecords - 1;
    LinkRecord link;
    EXPECT_GE(std::uint32_t{link.value}, kMaxRecords) << "a default link names no record";
    link.value = largest;
    link.flags = LinkFlag::LastLink | LinkFlag::Jump;
    EXPECT_EQ(std::uint32_t{link.value}, largest);
    EXPECT_EQ(std::uint32_t{link.flags}, 3u) << "the flags do not spill into the id";
    NodeRecord node;
    EXPECT_GE(std::uint32_t{node.head}, kMaxRecords);
    node.head = largest;
    node.flags = 0xFF;
    EXPECT_EQ(std::uint32_t{node.head}, largest);
    VertexLabel label;
    EXPECT_GE(std::uint32_t{label.predecessor}, kMaxRecords);
    label = VertexLabel{kInfiniteCost - 1, largest, 1, kLabelStamps};
    EXPECT_EQ(std::uint32_t{label.predecessor}, largest);
    EXPECT_EQ(std::uint32_t{label.stamp}, kLabelStamps);
    EXPECT_EQ(std::uint32_t{label.closed}, 1u);
    EXPECT_EQ(label.cost, kInfiniteCost - 1);

    // Arrays stop one short of the none value; a segment record beyond them
    // is refused rather than named by a wrapped id.
    RoadMap map;
    EXPECT_FALSE(map.allocate(1, 0, kMaxRecords, 0, 0));
    ASSERT_TRUE(map.allocate(2, 0, 1, 0, 0));
    ASSERT_TRUE(map.initNodeRecord(0, GridCell{}, 1));
    EXPECT_TRUE(map.addLink(0, 0));
    EXPECT_FALSE(map.addLink(0, kNoId24));
    EXPECT_FALSE(map.addLink(0, kMaxRecords));
}

// Costs are kept by segment record: forbidding a segment whose chain has
// several records (a turn restriction split it) closes every one of them,
// also when the costs were kept before.
TEST(RoadMap, ForbiddingASegmentClosesEveryRecordOfItsChain) {
    TestGraph g = drawGraph(kSquare, "A-B 10\nA-C 10\nC-D 10\nD-B 10");
    RoadMap& map = g.map;
    const std::uint32_t ab = g.segment('A', 'B');
    ASSERT_TRUE(map.applyTurnRestriction(g.node('A'), {ab}, {}));
    ASSERT_GT(map.segmentRecords(ab).size(), 1u);
    auto cost = [&](char from, char to) {
        SearchTask task;
        std::uint32_t c = 0;
        task.source = std::make_unique<SearchPositionFromNode>(GridCell{}, g.node(from));
        auto finish = std::make_unique<SearchPositionToNode>(GridCell{}, g.node(to));
        finish->cost = &c;
        task.addTarget(std::move(finish));
        search(map, task, RoutingParams{});
        return c;
    };
    EXPECT_EQ(cost('A', 'B'), 10u);
    EXPECT_EQ(cost('B', 'A'), 10u);
    // Each call returns the bit as it was (a caller restores only what it
    // forbade itself).
    EXPECT_FALSE(map.setForbidden(ab, true));
    EXPECT_TRUE(map.setForbidden(ab, true));
    EXPECT_EQ(cost('A', 'B'), 30u);
    EXPECT_EQ(cost('B', 'A'), 30u);
    EXPECT_TRUE(map.setForbidden(ab, false));
    EXPECT_FALSE(map.setForbidden(ab, false));
    EXPECT_EQ(cost('A', 'B'), 10u);
    EXPECT_EQ(cost('B', 'A'), 10u);
    EXPECT_FALSE(map.setForbidden(RoadGraph::kNoId, true));
}
