// The search's routes against a reference that takes the plain steps:
// labels in arrays of their own, cleared for every search, a textbook
// binary heap (sift up while strictly smaller, down while a child is
// strictly smaller) and every link relaxed in list order. The grids have
// roads of nearly one length and class, so that many routes cost the same:
// the routes must agree node by node, forward and backward, with one or two
// finishes, in every mode, and on a road map that has served many searches.

#include "routing/RouteSearch.h"
#include "tests/routing/RouteFixture.h"
#include "tests/routing/TestGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <random>

using namespace RoadGraph;
using namespace RoutingTest;
using namespace Map::Routing;

namespace {

constexpr std::uint64_t kUnreached = std::numeric_limits<std::uint64_t>::max();

struct ReferenceHeap {
    // Sifting up on equal keys too gives other routes on ties: the test
    // uses it to show that its grids have ties that matter.
    bool tiesRise = false;
    std::vector<std::pair<std::int64_t, std::uint32_t>> heap;
    std::vector<std::size_t> position;

    bool rises(std::size_t p) const {
        const std::int64_t key = heap[p].first, parent = heap[(p - 1) / 2].first;
        return tiesRise ? key <= parent : key < parent;
    }
    void swapAt(std::size_t a, std::size_t b) {
        std::swap(heap[a], heap[b]);
        position[heap[a].second] = a;
        position[heap[b].second] = b;
    }
    std::size_t up(std::size_t p) {
        for (; p > 0 && rises(p); p = (p - 1) / 2)
            swapAt(p, (p - 1) / 2);
        return p;
    }
    void down(std::size_t p) {
        for (std::size_t c; (c = 2 * p + 1) < heap.size(); p = c) {
            if (c + 1 < heap.size() && heap[c + 1].first < heap[c].first) ++c;
            if (!(heap[c].first < heap[p].first)) break;
            swapAt(p, c);
        }
    }
    void settle(std::size_t p) {
        if (up(p) == p) down(p);
    }
    void push(std::int64_t key, std::uint32_t v) {
        heap.emplace_back(key, v);
        position[v] = heap.size() - 1;
        settle(heap.size() - 1);
    }
    void removeAt(std::size_t p) {
        heap[p] = heap.back();
        position[heap[p].second] = p;
        heap.pop_back();
        if (p < heap.size()) settle(p);
    }
};

// The nodes passed from the source to each finish on the seeded map (as the
// search binds them), empty when a finish is not reached.
std::vector<std::vector<std::uint32_t>> referenceRoutes(const RoadMap& map, const RoutingParams& params,
                                                        const SearchTask& task, bool tiesRise) {
    const std::size_t n = map.nodes().size();
    const auto& segments = map.segments();
    const auto& links = map.links();
    std::vector<std::uint64_t> cost(n, kUnreached);
    std::vector<std::uint32_t> predecessor(n, kNoId);
    std::vector<bool> closed(n, false);
    std::vector<bool> reached(task.targets.size(), false);
    std::size_t reachedCount = 0;
    ReferenceHeap queue{tiesRise, {}, std::vector<std::size_t>(n)};
    const std::uint32_t source = task.source->searchNodeIndex;
    cost[source] = 0;
    closed[source] = true;
    queue.push(0, source);
    while (!queue.heap.empty()) {
        const std::uint32_t v = queue.heap[0].second;
        bool isTarget = false;
        for (std::size_t i = 0; i < task.targets.size(); ++i) {
            if (task.targets[i].position->searchNodeIndex != v) continue;
            isTarget = true;
            if (!reached[i]) ++reachedCount;
            reached[i] = true;
        }
        if (reachedCount == task.targets.size()) break;
        if (!isTarget) {
            for (std::uint32_t l = map.nodes()[v].firstLink; l < links.size();) {
                const LinkRecord link = links[l];
                if (link.flags & LinkFlag::Jump) {
                    if (link.flags & LinkFlag::LastLink) break;
                    l = link.value;
                    continue;
                }
                const std::uint32_t s = link.value;
                const std::uint32_t h = map.segmentHead(s);
                const std::uint32_t m = segments[s].start == v ? segments[s].end : segments[s].start;
                const std::uint32_t c = segmentCost(params, segments[h].attributes, segments[h].length);
                const std::uint64_t reach = cost[v] + c;
                const bool better = cost[m] == kUnreached || reach < cost[m];
                if (c != kInfiniteCost && reach < kInfiniteCost && better &&
                    !(params.excludeFlag && h == params.excludedSegment)) {
                    if (cost[m] != kUnreached && !closed[m]) queue.removeAt(queue.position[m]);
                    std::uint32_t e = kInfiniteCost;
                    for (const SearchTarget& t : task.targets)
                        e = std::min(e, estimateCost(params, t.position->cell, map.cellOf(m),
                                                     map.cellDiagonalRoot, map.cellMetres));
                    cost[m] = reach;
                    predecessor[m] = s;
                    closed[m] = false;
                    queue.push(static_cast<std::int64_t>(reach + e), m);
                }
                if (link.flags & LinkFlag::LastLink) break;
                ++l;
            }
        }
        queue.removeAt(queue.position[v]);
        closed[v] = true;
    }
    std::vector<std::vector<std::uint32_t>> routes(task.targets.size());
    for (std::size_t i = 0; i < task.targets.size(); ++i) {
        if (!reached[i]) continue;
        std::vector<std::uint32_t> passed;
        for (std::uint32_t cur = task.targets[i].position->searchNodeIndex; cur != source;) {
            const SegmentRecord& rec = segments[predecessor[cur]];
            cur = rec.start == cur ? rec.end : rec.start;
            if (cur != source) passed.insert(passed.begin(), map.nodeOf(cur));
        }
        routes[i] = passed;
    }
    return routes;
}

struct Query {
    std::uint32_t from = 0;
    std::vector<std::uint32_t> to;
    bool backward = false;
};

void fillTask(SearchTask& task, const TestGraph& g, const Query& q,
              std::vector<std::vector<std::uint32_t>>* routes) {
    task.backward = q.backward;
    task.source = std::make_unique<SearchPositionFromNode>(g.cells[q.from], q.from);
    for (std::size_t i = 0; i < q.to.size(); ++i) {
        auto finish = std::make_unique<SearchPositionToNode>(g.cells[q.to[i]], q.to[i]);
        if (routes) finish->nodes = &(*routes)[i];
        task.addTarget(std::move(finish));
    }
}

// The reference's routes for a query, seeded and put back as the search does.
std::vector<std::vector<std::uint32_t>> reference(TestGraph& g, const RoutingParams& params, const Query& q,
                                                  bool tiesRise) {
    SearchTask task;
    fillTask(task, g, q, nullptr);
    if (q.backward) g.map.reverseDirection();
    const RoadMap::Snapshot before = g.map.snapshot();
    EXPECT_TRUE(task.source->seed(g.map, task));
    for (SearchTarget& t : task.targets)
        EXPECT_TRUE(t.position->seed(g.map, task));
    auto routes = referenceRoutes(g.map, params, task, tiesRise);
    g.map.restore(before);
    if (q.backward) g.map.reverseDirection();
    return routes;
}

// A side x side grid: roads to the right and down, mostly 100 long, class
// 4 and neutral quality; one in eight 110 long, one in twelve one-way.
TestGraph tiedGrid(std::mt19937& random, std::uint32_t side) {
    TestGraph g;
    for (std::uint32_t y = 0; y < side; ++y)
        for (std::uint32_t x = 0; x < side; ++x)
            g.cells.push_back(GridCell{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)});
    auto road = [&](std::uint32_t a, std::uint32_t b) {
        Road r;
        r.from = a;
        r.to = b;
        r.twoWay = random() % 12 != 0;
        r.length = random() % 8 == 0 ? 110 : 100;
        r.attributes = SegmentAttributes{4, 0, 4};
        g.roads.push_back(r);
    };
    for (std::uint32_t v = 0; v < side * side; ++v) {
        if (v % side + 1 < side) road(v, v + 1);
        if (v / side + 1 < side) road(v, v + side);
    }
    buildMap(g, 10);
    return g;
}

} // namespace

TEST(RouteSearch, TiedRoutesMatchThePlainSearchNodeByNode) {
    std::mt19937 random(RouteTest::seed());
    int compared = 0;
    int tiesDecided = 0;
    for (int grid = 0; grid < 6; ++grid) {
        TestGraph g = tiedGrid(random, 6 + static_cast<std::uint32_t>(grid) * 2);
        const auto nodes = static_cast<std::uint32_t>(g.cells.size());
        // One map serves every search, as a loaded graph does.
        for (int run = 0; run < 60; ++run) {
            RoutingParams params;
            params.routing_mode = static_cast<std::uint32_t>(run % 3);
            params.best_roads = 5;
            params.best_roads_max = 10;
            Query q;
            q.from = static_cast<std::uint32_t>(random() % nodes);
            q.to.push_back(static_cast<std::uint32_t>(random() % nodes));
            if (run % 4 == 1) q.to.push_back(static_cast<std::uint32_t>(random() % nodes));
            q.backward = run % 5 == 2;
            SCOPED_TRACE(::testing::Message() << "grid " << grid << " run " << run << " mode "
                                              << params.routing_mode << (q.backward ? " backward" : ""));

            const auto expected = reference(g, params, q, false);
            if (reference(g, params, q, true) != expected) ++tiesDecided;
            std::vector<std::vector<std::uint32_t>> routes(q.to.size(), std::vector<std::uint32_t>{kNoId});
            SearchTask task;
            fillTask(task, g, q, &routes);
            search(g.map, task, params);
            for (std::size_t i = 0; i < q.to.size(); ++i) {
                ASSERT_EQ(routes[i], expected[i]) << "finish " << i;
                if (!expected[i].empty()) ++compared;
            }
        }
    }
    EXPECT_GT(compared, 300);
    // The grids must be ones where the order of equal keys decides routes.
    EXPECT_GT(tiesDecided, 20);
}

// The labels' stamp comes round after kLabelStamps searches: labels of a
// search that many searches ago must not be taken for current ones.
TEST(RouteSearch, LabelStampsComeRound) {
    std::mt19937 random(RouteTest::seed());
    TestGraph g = tiedGrid(random, 5);
    RoutingParams params;
    params.routing_mode = 2;
    const Query q{0, {24}, false};
    const auto expected = reference(g, params, q, false);
    ASSERT_FALSE(expected[0].empty());
    // The searches after the wrap take the first one's stamp again.
    for (std::uint32_t i = 0; i < kLabelStamps + 5; ++i) {
        // The searches in between stop at once (start and finish on one
        // node) and leave the labels of the long first search standing.
        const bool full = i == 0 || i >= kLabelStamps;
        std::vector<std::vector<std::uint32_t>> routes(1);
        SearchTask task;
        fillTask(task, g, full ? q : Query{3, {3}, false}, &routes);
        search(g.map, task, params);
        if (full) {
            ASSERT_EQ(routes[0], expected[0]) << "search " << i << " stamp " << g.map.labelStamp;
        }
    }
}

// The search keeps the segments' costs between searches: a segment
// forbidden, allowed again or rewritten in between must be priced anew.
TEST(RouteSearch, KeptCostsFollowTheGraph) {
    std::mt19937 random(RouteTest::seed());
    TestGraph g = tiedGrid(random, 8);
    RoutingParams params;
    params.routing_mode = 1;
    params.best_roads = 5;
    params.best_roads_max = 10;
    const Query q{0, {63}, false};
    auto route = [&] {
        std::vector<std::vector<std::uint32_t>> routes(1);
        std::vector<RouteSegment> segments;
        SearchTask task;
        fillTask(task, g, q, &routes);
        dynamic_cast<SearchPositionToNode&>(*task.targets[0].position).segments = &segments;
        search(g.map, task, params);
        EXPECT_EQ(routes[0], reference(g, params, q, false)[0]);
        return segments;
    };
    const std::vector<RouteSegment> first = route();
    ASSERT_GT(first.size(), 2u);
    const std::uint32_t used = first[1].segmentId;
    auto uses = [&](const std::vector<RouteSegment>& r) {
        return std::any_of(r.begin(), r.end(), [&](const RouteSegment& s) { return s.segmentId == used; });
    };
    g.map.setForbidden(used, true);
    EXPECT_FALSE(uses(route()));
    g.map.setForbidden(used, false);
    EXPECT_TRUE(uses(route()));
    g.map.mutableSegments()[used].length = 5000;
    EXPECT_FALSE(uses(route()));
    // Another model prices every segment anew.
    params.routing_mode = 0;
    EXPECT_FALSE(uses(route()));
    g.map.mutableSegments()[used].length = 100;
    route();
}
