#include "routing/RouteSearch.h"
#include "tests/routing/RoadMapFixture.h"
#include "tests/routing/TestGraph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

using namespace RoadGraph;
using namespace RoutingTest;
using namespace Map::Routing;

namespace {

constexpr std::uint64_t kUnreached = std::numeric_limits<std::uint64_t>::max();

std::uint32_t baseSeed() {
    const char* text = std::getenv("MIREL_ROUTING_SEED");
    return text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 20261206u;
}

// What a finish binds, owned by the test.
struct Result {
    std::uint8_t reached = 7;
    std::uint32_t cost = 7;
    std::vector<RouteSegment> segments;
    std::vector<std::uint32_t> nodes;
    std::uint32_t totalLength = 7;

    void attach(ResultBindings& b) {
        b.reached = &reached;
        b.cost = &cost;
        b.segments = &segments;
        b.nodes = &nodes;
        b.totalLength = &totalLength;
    }
};

// A position as the test sees it, to build the oracle's arcs and check paths.
struct Place {
    bool onSegment = false;
    std::uint32_t node = 0; // node positions
    std::uint32_t road = 0; // segment positions
    std::uint16_t offset = 0;
    bool forwardAllowed = true;
    bool backwardAllowed = true;
    GridCell cell;
};

SegmentAttributes pieceAttributes(const Road& r) {
    SegmentAttributes a = r.attributes;
    a.road &= static_cast<std::uint8_t>(~RoadFlag::Forbidden);
    return a;
}

std::uint64_t pieceCost(const RoutingParams& p, const Road& r, std::uint32_t length) {
    const std::uint32_t c = segmentCost(p, pieceAttributes(r), static_cast<std::uint16_t>(length));
    return c == kInfiniteCost ? kUnreached : c;
}

void addArc(Digraph& d, std::uint32_t from, std::uint32_t to, std::uint64_t cost) {
    if (cost != kUnreached) d[from].push_back({to, cost});
}

// Adds the arcs of a source (leaving it) or a target (entering it) at vertex v.
void addPlace(Digraph& d, const TestGraph& g, const RoutingParams& p, const Place& place, std::uint32_t v,
              bool isSource) {
    if (!place.onSegment) {
        if (isSource)
            addArc(d, v, place.node, 0);
        else
            addArc(d, place.node, v, 0);
        return;
    }
    const Road& r = g.roads[place.road];
    const std::uint64_t toStart = pieceCost(p, r, place.offset);
    const std::uint64_t toEnd = pieceCost(p, r, r.length - place.offset);
    if (place.forwardAllowed) {
        if (isSource)
            addArc(d, v, r.to, toEnd);
        else
            addArc(d, r.from, v, toStart);
    }
    if (place.backwardAllowed && r.twoWay) {
        if (isSource)
            addArc(d, v, r.from, toStart);
        else
            addArc(d, r.to, v, toEnd);
    }
}

std::unique_ptr<SearchPosition> makeSource(const Place& p) {
    if (p.onSegment)
        return std::make_unique<SearchPositionFromSegment>(p.cell, p.road, p.offset, p.forwardAllowed,
                                                           p.backwardAllowed);
    return std::make_unique<SearchPositionFromNode>(p.cell, p.node);
}

std::unique_ptr<SearchPosition> makeTarget(const Place& p, Result& result) {
    if (p.onSegment) {
        auto t = std::make_unique<SearchPositionToSegment>(p.cell, p.road, p.offset, true);
        result.attach(*t);
        return t;
    }
    auto t = std::make_unique<SearchPositionToNode>(p.cell, p.node);
    result.attach(*t);
    return t;
}

// Walks a bound route over the test's own roads: every step joins the last
// node reached, one-way roads are driven their way, and the costs add up to
// the label. Returns the cost, or a failure.
::testing::AssertionResult checkRoute(const TestGraph& g, const RoutingParams& p, const Place& from,
                                      const Place& to, const Result& result) {
    std::size_t i = 0;
    std::uint64_t cost = 0;
    std::uint32_t length = 0;
    std::vector<std::uint32_t> passed;
    std::uint32_t cur = from.node;
    const auto& items = result.segments;
    if (from.onSegment) {
        if (items.empty() || items[0].segmentId != from.road)
            return ::testing::AssertionFailure() << "route does not start on the start's road";
        const Road& r = g.roads[from.road];
        length += r.length;
        // Start and finish on one road: a single piece between them.
        if (to.onSegment && to.road == from.road && items.size() == 1) {
            const bool forward = items[0].forward;
            if (forward != (to.offset >= from.offset))
                return ::testing::AssertionFailure() << "single piece driven the wrong way";
            if (!result.nodes.empty()) return ::testing::AssertionFailure() << "single piece passes nodes";
            cost = pieceCost(p, r, forward ? to.offset - from.offset : from.offset - to.offset);
            if (cost != result.cost || length != result.totalLength)
                return ::testing::AssertionFailure()
                       << "single piece cost " << cost << " label " << result.cost;
            return ::testing::AssertionSuccess();
        }
        if (items[0].forward) {
            if (!from.forwardAllowed)
                return ::testing::AssertionFailure() << "left forward against the start's flags";
            cost += pieceCost(p, r, r.length - from.offset);
            cur = r.to;
        } else {
            if (!from.backwardAllowed || !r.twoWay)
                return ::testing::AssertionFailure() << "left backward against the start's flags or one-way";
            cost += pieceCost(p, r, from.offset);
            cur = r.from;
        }
        i = 1;
    }
    passed.push_back(cur);
    const std::size_t middleEnd = to.onSegment ? items.size() - (items.empty() ? 0 : 1) : items.size();
    for (; i < middleEnd; ++i) {
        if (items[i].segmentId >= g.roads.size())
            return ::testing::AssertionFailure() << "step on unknown segment " << items[i].segmentId;
        const Road& r = g.roads[items[i].segmentId];
        if (items[i].forward) {
            if (cur != r.from)
                return ::testing::AssertionFailure() << "step " << i << " does not leave node " << cur;
            cur = r.to;
        } else {
            if (!r.twoWay)
                return ::testing::AssertionFailure()
                       << "one-way segment " << items[i].segmentId << " driven backward";
            if (cur != r.to)
                return ::testing::AssertionFailure() << "step " << i << " does not leave node " << cur;
            cur = r.from;
        }
        cost += segmentCost(p, r.attributes, r.length);
        length += r.length;
        passed.push_back(cur);
    }
    if (to.onSegment) {
        if (items.empty() || items.back().segmentId != to.road || i != items.size() - 1)
            return ::testing::AssertionFailure() << "route does not end on the finish's road";
        const Road& r = g.roads[to.road];
        if (items.back().forward) {
            if (cur != r.from)
                return ::testing::AssertionFailure() << "finish entered forward from the wrong node";
            cost += pieceCost(p, r, to.offset);
        } else {
            if (cur != r.to || !r.twoWay)
                return ::testing::AssertionFailure() << "finish entered backward from the wrong node";
            cost += pieceCost(p, r, r.length - to.offset);
        }
        length += r.length;
    } else if (cur != to.node) {
        return ::testing::AssertionFailure() << "route ends at node " << cur << " not " << to.node;
    }
    if (passed != result.nodes)
        return ::testing::AssertionFailure() << "node list differs from the nodes passed";
    if (cost != result.cost)
        return ::testing::AssertionFailure() << "steps cost " << cost << " but the label is " << result.cost;
    if (length != result.totalLength)
        return ::testing::AssertionFailure()
               << "total length " << result.totalLength << " expected " << length;
    return ::testing::AssertionSuccess();
}

TestGraph randomGraph(std::mt19937& rng, std::uint32_t nodeCount, bool qualityVaries) {
    TestGraph g;
    std::uniform_int_distribution<int> coordinate(0, 11);
    for (std::uint32_t i = 0; i < nodeCount; ++i)
        g.cells.push_back(GridCell{static_cast<std::uint16_t>(coordinate(rng)),
                                   static_cast<std::uint16_t>(coordinate(rng))});
    const std::uint32_t roadCount =
        nodeCount + std::uniform_int_distribution<std::uint32_t>(0, nodeCount)(rng);
    std::uniform_int_distribution<std::uint32_t> pick(0, nodeCount - 1);
    for (std::uint32_t i = 0; i < roadCount; ++i) {
        Road r;
        r.from = i < nodeCount ? i : pick(rng);
        r.to = pick(rng);
        if (r.to == r.from) r.to = (r.from + 1) % nodeCount;
        r.twoWay = rng() % 3 != 0;
        const double dx = g.cells[r.from].x - g.cells[r.to].x;
        const double dy = g.cells[r.from].y - g.cells[r.to].y;
        // Longer than the straight line between the cells, so that the
        // estimate stays below the true cost in most graphs.
        r.length =
            static_cast<std::uint16_t>(std::ceil(std::sqrt(dx * dx + dy * dy) * 10 * 1.3) + rng() % 40);
        r.attributes.road = static_cast<std::uint8_t>(rng() % 8);
        r.attributes.quality = static_cast<std::uint8_t>(qualityVaries ? rng() % 8 : rng() % 5);
        r.attributes.quality |= static_cast<std::uint8_t>((rng() % 19) << 3);
        if (rng() % 25 == 0) r.attributes.road |= RoadFlag::Unpaved;
        if (rng() % 25 == 0) r.attributes.road |= RoadFlag::Toll;
        if (rng() % 40 == 0) r.attributes.road |= RoadFlag::Forbidden;
        g.roads.push_back(r);
    }
    buildMap(g, 10);
    return g;
}

Place randomPlace(std::mt19937& rng, const TestGraph& g, bool segmentsToo) {
    Place p;
    if (segmentsToo && rng() % 2 == 0) {
        p.onSegment = true;
        p.road = static_cast<std::uint32_t>(rng() % g.roads.size());
        const std::uint16_t length = g.roads[p.road].length;
        const int where = static_cast<int>(rng() % 4);
        p.offset = where == 0 ? 0 : where == 1 ? length : static_cast<std::uint16_t>(rng() % (length + 1));
        p.forwardAllowed = rng() % 4 != 0;
        p.backwardAllowed = rng() % 4 != 0;
        p.cell = g.cells[p.offset * 2 < length ? g.roads[p.road].from : g.roads[p.road].to];
    } else {
        p.node = static_cast<std::uint32_t>(rng() % g.cells.size());
        p.cell = g.cells[p.node];
    }
    return p;
}

} // namespace

// The search against a plain Dijkstra over the same roads and costs, on
// random graphs with random starts and one to three finishes.
TEST(RouteSearch, MatchesPlainDijkstraOnRandomGraphs) {
    const std::uint32_t seed = baseSeed();
    int checkedWithEstimate = 0;
    int runsWithEstimate = 0;
    for (int run = 0; run < 600; ++run) {
        std::mt19937 rng(seed + static_cast<std::uint32_t>(run));
        SCOPED_TRACE(::testing::Message()
                     << "seed " << seed + run << " (MIREL_ROUTING_SEED=" << seed << ", run " << run << ")");
        const std::uint32_t n = 4 + static_cast<std::uint32_t>(rng() % 27);
        TestGraph g = randomGraph(rng, n, rng() % 3 == 0);
        RoutingParams params;
        params.routing_mode = static_cast<std::uint32_t>(run % 3);
        params.best_roads = static_cast<std::uint8_t>(rng() % 11);
        params.best_roads_max = 10;
        params.avoid_toll = static_cast<std::uint8_t>(rng() % 2);
        params.avoid_unpaved = static_cast<std::uint8_t>(rng() % 2);
        if (rng() % 5 == 0) {
            params.routing_speed = static_cast<std::uint8_t>(rng() % 3);
            params.speedDivisor = 5;
        }

        const Place from = randomPlace(rng, g, true);
        std::vector<Place> to;
        const int targets = 1 + static_cast<int>(rng() % 3);
        while (static_cast<int>(to.size()) < targets) {
            Place t = randomPlace(rng, g, true);
            if (t.onSegment && from.onSegment && t.road == from.road) continue;
            t.forwardAllowed = t.backwardAllowed = true;
            to.push_back(t);
        }

        // The oracle: vertices of the roads, then the source, then the targets.
        Digraph oracle = roadDigraph(g, params);
        const std::uint32_t s = n;
        oracle.resize(n + 1 + to.size());
        std::vector<GridCell> cells = g.cells;
        cells.push_back(from.cell);
        std::vector<bool> sinks(oracle.size(), false);
        addPlace(oracle, g, params, from, s, true);
        for (std::size_t i = 0; i < to.size(); ++i) {
            addPlace(oracle, g, params, to[i], n + 1 + static_cast<std::uint32_t>(i), false);
            sinks[n + 1 + i] = true;
            cells.push_back(to[i].cell);
        }
        const std::vector<std::uint64_t> dist = dijkstra(oracle, s, sinks);

        // Is each finish's own estimate a lower bound everywhere?
        bool admissible = true;
        const Digraph back = reversed(oracle);
        for (std::size_t i = 0; i < to.size() && admissible; ++i) {
            const std::uint32_t t = n + 1 + static_cast<std::uint32_t>(i);
            std::vector<bool> others = sinks;
            others[t] = false;
            const std::vector<std::uint64_t> remaining = dijkstra(back, t, others);
            for (std::uint32_t v = 0; v < oracle.size(); ++v) {
                if (remaining[v] != kUnreached &&
                    estimateCost(params, cells[t], cells[v], g.map.cellDiagonalRoot, g.map.cellMetres) >
                        remaining[v]) {
                    admissible = false;
                    break;
                }
            }
        }

        SearchTask task;
        task.source = makeSource(from);
        std::vector<Result> results(to.size());
        for (std::size_t i = 0; i < to.size(); ++i)
            ASSERT_EQ(task.addTarget(makeTarget(to[i], results[i])), static_cast<int>(i));
        search(g.map, task, params);

        if (params.routing_mode != 2) ++runsWithEstimate;
        if (params.routing_mode != 2 && admissible) ++checkedWithEstimate;
        for (std::size_t i = 0; i < to.size(); ++i) {
            const std::uint64_t expected = dist[n + 1 + i];
            SCOPED_TRACE(::testing::Message() << "target " << i << " mode " << params.routing_mode);
            ASSERT_EQ(results[i].reached, expected != kUnreached ? 1 : 0);
            if (expected == kUnreached) {
                EXPECT_EQ(results[i].cost, kInfiniteCost);
                EXPECT_EQ(results[i].totalLength, kInfiniteCost);
                EXPECT_TRUE(results[i].segments.empty());
                EXPECT_TRUE(results[i].nodes.empty());
                continue;
            }
            EXPECT_TRUE(checkRoute(g, params, from, to[i], results[i]));
            EXPECT_GE(results[i].cost, expected);
            if (params.routing_mode == 2 || admissible) {
                EXPECT_EQ(results[i].cost, expected);
            }
        }
    }
    // The comparison with an estimate must not have been skipped wholesale.
    EXPECT_GT(checkedWithEstimate, runsWithEstimate / 3);
}

// A backward search finds the routes that end at its source: the costs of
// a plain Dijkstra over the reversed roads.
TEST(RouteSearch, BackwardSearchEqualsDijkstraOnReversedRoads) {
    const std::uint32_t seed = baseSeed();
    for (int run = 0; run < 150; ++run) {
        std::mt19937 rng(seed + 7919u * static_cast<std::uint32_t>(run + 1));
        SCOPED_TRACE(::testing::Message() << "run " << run << " seed " << seed);
        const std::uint32_t n = 4 + static_cast<std::uint32_t>(rng() % 20);
        TestGraph g = randomGraph(rng, n, false);
        const std::vector<SegmentRecord> segmentsBefore = g.map.segments();
        const std::vector<LinkRecord> linksBefore = g.map.links();
        const RoutingParams params = lengthParams();
        const std::uint32_t source = static_cast<std::uint32_t>(rng() % n);
        const std::vector<std::uint64_t> dist = dijkstra(reversed(roadDigraph(g, params)), source);

        SearchTask task;
        task.backward = true;
        task.source = std::make_unique<SearchPositionFromNode>(g.cells[source], source);
        std::vector<Result> results(std::min<std::uint32_t>(n, 10));
        for (std::uint32_t i = 0; i < results.size(); ++i)
            task.addTarget(makeTarget(Place{false, i, 0, 0, true, true, g.cells[i]}, results[i]));
        search(g.map, task, params);
        for (std::uint32_t i = 0; i < results.size(); ++i) {
            ASSERT_EQ(results[i].reached, dist[i] != kUnreached ? 1 : 0) << "node " << i;
            if (dist[i] != kUnreached) {
                EXPECT_EQ(results[i].cost, dist[i]) << "node " << i;
            }
        }
        EXPECT_EQ(g.map.segments().size(), segmentsBefore.size());
        EXPECT_EQ(0, std::memcmp(g.map.segments().data(), segmentsBefore.data(),
                                 segmentsBefore.size() * sizeof(SegmentRecord)));
        EXPECT_EQ(g.map.links().size(), linksBefore.size());
    }
}

namespace {

// One search from `source` to one finish; the finish's bindings.
Result searchOne(RoadMap& map, std::unique_ptr<SearchPosition> source, std::unique_ptr<SearchPosition> finish,
                 const RoutingParams& p, Result r = {}) {
    SearchTask task;
    task.source = std::move(source);
    r.attach(dynamic_cast<ResultBindings&>(*finish));
    task.addTarget(std::move(finish));
    search(map, task, p);
    return r;
}

std::unique_ptr<SearchPosition> toNode(std::uint32_t node) {
    return std::make_unique<SearchPositionToNode>(GridCell{}, node);
}

} // namespace

// An excluded segment is not driven even when it is the cheapest way.
TEST(RouteSearch, ExcludedSegmentIsAvoided) {
    TestGraph g = drawGraph("A  B  C\n   E\nD     F\n",
                            "A>B 30 c0\nB>C 30 c0\nC>F 30 c0\nF>D 60 c0\nD>A 30 c0\n"
                            "A-E 40 c6\nE-F 40 c6\nB-E 20 c6");
    RoutingParams p;
    p.routing_mode = 1;
    p.best_roads = 0;
    p.excludeFlag = 1;
    p.excludedSegment = g.segment('E', 'F');
    const Result r =
        searchOne(g.map, std::make_unique<SearchPositionFromNode>(GridCell{}, g.node('F')), toNode(g.node('A')), p);
    ASSERT_EQ(r.reached, 1);
    EXPECT_EQ(r.cost, (60u + 30u) * 248u / 10u);
    ASSERT_EQ(r.segments.size(), 2u);
    EXPECT_EQ(r.segments[0].segmentId, g.segment('F', 'D'));
}

// Start and finish on one segment (the random graphs never pair them), and
// a start that may only drive away from its finish.
TEST(RouteSearch, PositionsOnOneSegment) {
    TestGraph g = drawGraph("A   B\n", "A-B 100 c7\nA>B 500 c7");
    const RoutingParams p = lengthParams();
    struct Case {
        std::uint16_t from, to;
        bool after;
        std::uint32_t cost;
        std::uint8_t forward;
    };
    for (const Case c : {Case{20, 70, true, 50, 1}, Case{70, 20, false, 50, 0}, Case{0, 100, true, 100, 1},
                         Case{100, 0, false, 100, 0}, Case{0, 0, false, 0, 0}, Case{100, 100, true, 0, 1},
                         Case{40, 40, true, 0, 1}}) {
        const Result r =
            searchOne(g.map, std::make_unique<SearchPositionFromSegment>(GridCell{}, 0, c.from, true, true),
                      std::make_unique<SearchPositionToSegment>(GridCell{}, 0, c.to, c.after), p);
        ASSERT_EQ(r.reached, 1) << c.from << " -> " << c.to;
        EXPECT_EQ(r.cost, c.cost) << c.from << " -> " << c.to;
        ASSERT_EQ(r.segments.size(), 1u);
        EXPECT_EQ(r.segments[0].forward, c.forward) << c.from << " -> " << c.to;
        EXPECT_TRUE(r.nodes.empty());
        EXPECT_EQ(r.totalLength, 100u);
    }
    // Forward only, finish behind: on to B, back to A, forward to 20.
    const Result r = searchOne(g.map, std::make_unique<SearchPositionFromSegment>(GridCell{}, 0, 70, true, false),
                               std::make_unique<SearchPositionToSegment>(GridCell{}, 0, 20, false), p);
    EXPECT_EQ(r.cost, 150u);
    ASSERT_EQ(r.segments.size(), 3u);
    EXPECT_EQ(r.segments[1].forward, 0);
    EXPECT_EQ(r.nodes, (std::vector<std::uint32_t>{g.node('B'), g.node('A')}));
    // Both direction flags clear: the start can go nowhere.
    const Result stuck = searchOne(
        g.map, std::make_unique<SearchPositionFromSegment>(GridCell{}, 0, 50, false, false), toNode(g.node('B')), p);
    EXPECT_EQ(stuck.reached, 0);
    EXPECT_EQ(stuck.totalLength, kInfiniteCost);
}

TEST(RouteSearch, NodePositionsAndDistantNodes) {
    TestGraph g = drawGraph("A B C\n", "A-B 10\nB-C 10");
    const RoutingParams p = lengthParams();
    // Start and finish at one node: the two joins of length 0.
    Result r = searchOne(g.map, std::make_unique<SearchPositionFromNode>(GridCell{}, g.node('B')),
                         toNode(g.node('B')), p);
    EXPECT_EQ(r.cost, 0u);
    EXPECT_TRUE(r.segments.empty());
    EXPECT_EQ(r.nodes, std::vector<std::uint32_t>{g.node('B')});
    EXPECT_EQ(r.totalLength, 0u);
    // Entries with extra costs on both sides.
    r = searchOne(g.map,
                  std::make_unique<SearchPositionFromDistantNodes>(
                      GridCell{}, std::vector<DistantNode>{{g.node('A'), 50}, {g.node('B'), 45}}),
                  std::make_unique<SearchPositionToDistantNodes>(
                      GridCell{}, std::vector<DistantNode>{{g.node('C'), 1}, {g.node('A'), 100}}),
                  p);
    EXPECT_EQ(r.cost, 45u + 10u + 1u);
    ASSERT_EQ(r.segments.size(), 1u);
    EXPECT_EQ(r.segments[0].segmentId, g.segment('B', 'C'));
    // An empty entry list is an isolated node; a bad node id likewise.
    EXPECT_EQ(searchOne(g.map, std::make_unique<SearchPositionFromDistantNodes>(GridCell{}, std::vector<DistantNode>{}),
                        toNode(g.node('A')), p)
                  .reached,
              0);
    r = searchOne(g.map, std::make_unique<SearchPositionFromNode>(GridCell{}, 999), toNode(g.node('A')), p);
    EXPECT_EQ(r.reached, 0);
    EXPECT_EQ(r.cost, kInfiniteCost);
    // No finishes: nothing to do, the map unchanged.
    const std::size_t nodes = g.map.nodes().size();
    SearchTask task;
    task.source = std::make_unique<SearchPositionFromNode>(GridCell{}, g.node('A'));
    search(g.map, task, p);
    EXPECT_EQ(task.reachedCount, 0u);
    EXPECT_EQ(g.map.nodes().size(), nodes);
    // The finish list is bounded.
    SearchTask bounded(2);
    Result unused;
    for (int expected : {0, 1, -1})
        EXPECT_EQ(bounded.addTarget(makeTarget(Place{}, unused)), expected);
}

// More entries queued at once than a 15-bit heap position could name.
TEST(RouteSearch, HeapAboveThirtyTwoThousandEntries) {
    constexpr std::uint32_t spokes = 40000;
    TestGraph g;
    g.cells.assign(spokes + 2, GridCell{});
    const std::uint32_t hub = spokes;
    const std::uint32_t goal = spokes + 1;
    for (std::uint32_t i = 0; i < spokes; ++i) {
        g.roads.push_back(Road{hub, i, true, static_cast<std::uint16_t>(1 + i % 97), {}});
        g.roads.push_back(Road{i, goal, false, static_cast<std::uint16_t>(500 + (i * 7919u) % 1000), {}});
    }
    buildMap(g, 10);
    const RoutingParams p = lengthParams();
    const std::vector<std::uint64_t> dist = dijkstra(roadDigraph(g, p), hub);

    SearchTask task;
    Result r;
    task.source = std::make_unique<SearchPositionFromNode>(GridCell{}, hub);
    task.addTarget(makeTarget(Place{false, goal, 0, 0, true, true, GridCell{}}, r));
    SearchStats stats;
    search(g.map, task, p, &stats);
    EXPECT_GT(stats.queuePeak, 32768u);
    ASSERT_EQ(r.reached, 1);
    EXPECT_EQ(r.cost, dist[goal]);
    ASSERT_EQ(r.segments.size(), 2u);
    EXPECT_TRUE(checkRoute(g, p, Place{false, hub, 0, 0, true, true, GridCell{}},
                           Place{false, goal, 0, 0, true, true, GridCell{}}, r));
}

// Two finishes far apart, each with an estimate that never overestimates
// its own distance. The far finish Z is reached first, cheaply, from S; the
// near finish P has a cheap way in through V, which lies one cell further
// from Z than P, and a dearer one through W. Taking the larger of the two
// estimates would settle P through W (255) and stop; the smaller settles it
// through V (251).
TEST(RouteSearch, TwoFinishesGetTheirCheapestRoutes) {
    std::string row(31, ' ');
    row[30] = 'Z';
    row[29] = 'S';
    row[9] = 'V';
    row[10] = 'P';
    row[11] = 'W';
    TestGraph g = drawGraph(row + "\n", "S-Z 20\nS-V 250\nV-P 1\nS-W 240\nW-P 15");
    RoutingParams p;
    p.routing_mode = 0;
    p.best_roads = 0;
    for (int order = 0; order < 2; ++order) {
        SearchTask task;
        Result near;
        Result far;
        task.source = std::make_unique<SearchPositionFromNode>(g.cells[g.node('S')], g.node('S'));
        const Place placeP{false, g.node('P'), 0, 0, true, true, g.cells[g.node('P')]};
        const Place placeZ{false, g.node('Z'), 0, 0, true, true, g.cells[g.node('Z')]};
        if (order == 0) {
            task.addTarget(makeTarget(placeP, near));
            task.addTarget(makeTarget(placeZ, far));
        } else {
            task.addTarget(makeTarget(placeZ, far));
            task.addTarget(makeTarget(placeP, near));
        }
        search(g.map, task, p);
        EXPECT_EQ(far.cost, 20u);
        EXPECT_EQ(near.cost, 251u);
        EXPECT_EQ(near.nodes, (std::vector<std::uint32_t>{g.node('S'), g.node('V'), g.node('P')}));
    }
}

// A node with two vertices (one per arm, as maps that store their turn
// rules in the graph have them): the segment's table decides which arm a
// route arrives at, and a position part-way along the segment keeps that.
TEST(RouteSearch, VerticesChosenByTransitionTables) {
    //   C
    // A B
    //   D
    TestGraph g;
    g.cells = {GridCell{0, 1}, GridCell{1, 1}, GridCell{1, 0}, GridCell{1, 2}};
    RoadMap& map = g.map;
    ASSERT_TRUE(map.allocate(4, 4, 3, 3, 16));
    map.initNodeRecord(0, g.cells[0], 1);
    map.initNodeRecord(1, g.cells[1], 2);
    map.initNodeRecord(2, g.cells[2], 1);
    map.initNodeRecord(3, g.cells[3], 1);
    // A-B: A to arm 0 of B; back to A only from arm 1.
    NodeTransitions ab;
    ab.add(0, 0, true, false);
    ab.add(1, 0, false, false);
    ASSERT_TRUE(map.addSegment(0, 0, 1, SegmentAttributes{}, 100, ab));
    // Arm 0 of B leads to C, arm 1 to D, both ways.
    NodeTransitions bc;
    bc.add(0, 0, true, true);
    ASSERT_TRUE(map.addSegment(1, 1, 2, SegmentAttributes{}, 10, bc));
    NodeTransitions bd;
    bd.add(1, 0, true, true);
    ASSERT_TRUE(map.addSegment(2, 1, 3, SegmentAttributes{}, 10, bd));
    ASSERT_TRUE(map.buildLinks());
    map.cellMetres = 10;

    const RoutingParams p = lengthParams();
    auto route = [&](std::unique_ptr<SearchPosition> from, std::uint32_t to) {
        SearchTask task;
        Result r;
        task.source = std::move(from);
        task.addTarget(makeTarget(Place{false, to, 0, 0, true, true, g.cells[to]}, r));
        search(map, task, p);
        return r;
    };
    EXPECT_EQ(route(std::make_unique<SearchPositionFromNode>(GridCell{}, 0), 2).cost, 110u);
    EXPECT_EQ(route(std::make_unique<SearchPositionFromNode>(GridCell{}, 0), 3).reached, 0);
    EXPECT_EQ(route(std::make_unique<SearchPositionFromNode>(GridCell{}, 3), 0).cost, 110u);
    EXPECT_EQ(route(std::make_unique<SearchPositionFromNode>(GridCell{}, 2), 0).reached, 0);
    // Part-way along A-B, driving on towards B: C only.
    EXPECT_EQ(route(std::make_unique<SearchPositionFromSegment>(GridCell{}, 0, 30, true, false), 2).cost,
              80u);
    EXPECT_EQ(route(std::make_unique<SearchPositionFromSegment>(GridCell{}, 0, 30, true, false), 3).reached,
              0);
    // Coming from D, a finish part-way along A-B is reached from arm 1.
    SearchTask task;
    Result r;
    task.source = std::make_unique<SearchPositionFromNode>(GridCell{}, 3);
    auto finish = std::make_unique<SearchPositionToSegment>(GridCell{}, 0, 30, true);
    r.attach(*finish);
    task.addTarget(std::move(finish));
    search(map, task, p);
    EXPECT_EQ(r.reached, 1);
    EXPECT_EQ(r.cost, 10u + 70u);
    ASSERT_EQ(r.segments.size(), 2u);
    EXPECT_EQ(r.segments[1].forward, 0);
}

// Graphs damaged at random (ids, flags, continuations, links): searches
// over them end, bind something and leave the arrays as they were.
TEST(RouteSearch, DamagedGraphsDoNotBreakTheSearch) {
    const std::uint32_t seed = baseSeed();
    for (int run = 0; run < 300; ++run) {
        std::mt19937 rng(seed ^ (0x9E3779B9u * static_cast<std::uint32_t>(run + 1)));
        TestGraph g = randomGraph(rng, 5 + static_cast<std::uint32_t>(rng() % 10), true);
        RoadMap& map = g.map;
        if (rng() % 2)
            map.applyTurnRestriction(static_cast<std::uint32_t>(rng() % g.cells.size()),
                                     {static_cast<std::uint32_t>(rng() % g.roads.size())}, {});
        const std::uint32_t junk[] = {kNoId, 0xFFFFFF, 0x7FFFFFFF, 0, 1, 2, 40, 1000};
        for (int hits = 1 + static_cast<int>(rng() % 4); hits > 0; --hits) {
            const std::uint32_t value = rng() % 2 ? junk[rng() % 8] : static_cast<std::uint32_t>(rng() % 64);
            switch (rng() % 8) {
            case 0:
                map.mutableNodes()[rng() % map.nodes().size()].flags = static_cast<std::uint8_t>(rng());
                break;
            case 1:
                map.mutableNodes()[rng() % map.nodes().size()].next = value;
                break;
            case 2:
                map.mutableNodes()[rng() % map.nodes().size()].firstLink = value;
                break;
            case 3:
                map.mutableSegments()[rng() % map.segments().size()].start = value;
                break;
            case 4:
                map.mutableSegments()[rng() % map.segments().size()].flags = static_cast<std::uint8_t>(rng());
                break;
            case 5:
                map.mutableSegments()[rng() % map.segments().size()].head = value;
                break;
            case 6:
                if (!map.links().empty()) map.mutableLinks()[rng() % map.links().size()].value = value;
                break;
            default:
                if (!map.links().empty())
                    map.mutableLinks()[rng() % map.links().size()].flags = static_cast<std::uint8_t>(rng());
                break;
            }
        }
        const RoadMap::Snapshot before = map.snapshot();
        SearchTask task;
        task.backward = rng() % 4 == 0;
        task.source = makeSource(randomPlace(rng, g, true));
        std::vector<Result> results(2);
        for (Result& r : results)
            task.addTarget(makeTarget(randomPlace(rng, g, true), r));
        search(map, task, lengthParams());
        for (const Result& r : results) {
            EXPECT_TRUE(r.reached == 0 || r.reached == 1);
            if (r.reached == 0) {
                EXPECT_EQ(r.cost, kInfiniteCost);
            }
        }
        const RoadMap::Snapshot after = map.snapshot();
        EXPECT_EQ(after.nodes, before.nodes);
        EXPECT_EQ(after.segments, before.segments);
    }
}

// Memory running out in the middle of a search: the finishes are unreached,
// nothing escapes, and the map (reversed for a backward search) is put back.
TEST(RouteSearch, OutOfMemoryBindsUnreachedAndRestoresTheMap) {
    struct Starving : SearchPositionToNode {
        using SearchPositionToNode::SearchPositionToNode;
        bool seed(RoadMap& map, const SearchTask& task) override {
            SearchPositionToNode::seed(map, task);
            throw std::bad_alloc();
        }
    };
    TestGraph g = drawGraph("A B C\n", "A-B 10\nB>C 10");
    const std::vector<NodeRecord> nodes = g.map.nodes();
    const std::vector<SegmentRecord> segments = g.map.segments();
    const std::vector<LinkRecord> links = g.map.links();
    for (const bool backward : {false, true}) {
        SearchTask task;
        task.backward = backward;
        Result near, starving;
        task.source =
            std::make_unique<SearchPositionFromSegment>(GridCell{}, g.segment('A', 'B'), 5, true, true);
        task.addTarget(makeTarget(Place{false, g.node('B'), 0, 0, true, true, GridCell{}}, near));
        auto finish = std::make_unique<Starving>(GridCell{}, g.node('C'));
        starving.attach(*finish);
        task.addTarget(std::move(finish));
        EXPECT_NO_THROW(search(g.map, task, lengthParams()));
        for (const Result* r : {&near, &starving}) {
            EXPECT_EQ(r->reached, 0);
            EXPECT_EQ(r->cost, kInfiniteCost);
            EXPECT_EQ(r->totalLength, kInfiniteCost);
        }
        EXPECT_EQ(g.map.nodes().size(), nodes.size());
        EXPECT_EQ(0, std::memcmp(g.map.segments().data(), segments.data(),
                                 segments.size() * sizeof(SegmentRecord)));
        ASSERT_EQ(g.map.links().size(), links.size());
        EXPECT_EQ(0, std::memcmp(g.map.links().data(), links.data(), links.size() * sizeof(LinkRecord)));
    }
}
