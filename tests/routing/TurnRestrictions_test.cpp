#include "routing/RouteSearch.h"
#include "tests/routing/TestGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <tuple>

using namespace RoadGraph;
using namespace RoutingTest;
using namespace Map::Routing;

namespace {

constexpr std::uint64_t kUnreached = std::numeric_limits<std::uint64_t>::max();

struct Restriction {
    std::uint32_t node = 0;
    std::vector<std::uint32_t> path;      // road ids
    std::vector<std::uint32_t> forbidden; // road ids
};

struct Step {
    std::uint32_t road;
    std::uint32_t from;
    std::uint32_t to;
};

// The node a road leads to when left at `at`, or none when it cannot be
// driven that way.
std::uint32_t leave(const Road& r, std::uint32_t at) {
    if (r.from == at) return r.to;
    if (r.twoWay && r.to == at) return r.from;
    return kNoId;
}

// A walk may not leave the path of a restriction (entered at its node and
// followed for one or more of its roads) by a forbidden road or by the road
// it came along; it may always go on along the path.
bool allowed(const std::vector<Step>& walk, const Step& next, const std::vector<Restriction>& restrictions) {
    for (const Restriction& r : restrictions) {
        for (std::size_t i = 1; i <= r.path.size() && i <= walk.size(); ++i) {
            const std::size_t first = walk.size() - i;
            if (walk[first].from != r.node) continue;
            bool follows = true;
            for (std::size_t m = 0; m < i; ++m)
                follows = follows && walk[first + m].road == r.path[m];
            if (!follows) continue;
            // Going on along the path is always possible, even on a forbidden road.
            if (i < r.path.size() && next.road == r.path[i]) continue;
            if (next.road == r.path[i - 1] ||
                std::find(r.forbidden.begin(), r.forbidden.end(), next.road) != r.forbidden.end())
                return false;
        }
    }
    return true;
}

// Every walk from the source, up to `depth` roads. What a walk may do next
// depends only on its last two steps (paths have at most two roads), so a
// walk that comes to the same node by the same two steps no cheaper than an
// earlier one is not followed further.
using Seen = std::map<std::tuple<std::uint32_t, std::uint64_t, std::uint64_t>, std::uint64_t>;

void walkAll(const TestGraph& g, const std::vector<Restriction>& restrictions, std::vector<Step>& walk,
             std::uint32_t at, std::uint64_t cost, std::size_t depth, std::vector<std::uint64_t>& best,
             Seen& seen) {
    best[at] = std::min(best[at], cost);
    if (depth == 0) return;
    auto key = [](const std::vector<Step>& w, std::size_t back) -> std::uint64_t {
        if (w.size() < back) return ~std::uint64_t{0};
        const Step& s = w[w.size() - back];
        return (std::uint64_t{s.road} << 32) | s.from;
    };
    const auto state = std::make_tuple(at, key(walk, 1), key(walk, 2));
    const auto known = seen.find(state);
    if (known != seen.end() && known->second <= cost) return;
    seen[state] = cost;
    for (std::uint32_t id = 0; id < g.roads.size(); ++id) {
        const std::uint32_t to = leave(g.roads[id], at);
        if (to == kNoId) continue;
        const Step step{id, at, to};
        if (!allowed(walk, step, restrictions)) continue;
        walk.push_back(step);
        walkAll(g, restrictions, walk, to, cost + g.roads[id].length, depth - 1, best, seen);
        walk.pop_back();
    }
}

} // namespace

TEST(TurnRestrictions, DisconnectedPathAddsNothingBeyond) {
    TestGraph g = drawGraph("A B C D\n", "A-B 10\nC-D 10\nB-C 10");
    const std::size_t nodes = g.map.nodes().size();
    // The second road does not start where the first ends.
    ASSERT_TRUE(g.map.applyTurnRestriction(g.node('A'), {g.segment('A', 'B'), g.segment('C', 'D')}, {}));
    EXPECT_EQ(g.map.nodes().size(), nodes + 1) << "only the first road's clone";
}

// Random small graphs with one or two restrictions against the walks of up
// to 24 roads.
TEST(TurnRestrictions, MatchBruteForceWalks) {
    const char* text = std::getenv("MIREL_ROUTING_SEED");
    const std::uint32_t seed = text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 4242u;
    int restricted = 0;
    for (int run = 0; run < 400; ++run) {
        std::mt19937 rng(seed + static_cast<std::uint32_t>(run) * 31u);
        SCOPED_TRACE(::testing::Message() << "run " << run << " seed " << seed);
        TestGraph g;
        const std::uint32_t n = 6 + static_cast<std::uint32_t>(rng() % 3);
        for (std::uint32_t i = 0; i < n; ++i)
            g.cells.push_back(GridCell{static_cast<std::uint16_t>(i), 0});
        const std::uint32_t roads = n + 1 + static_cast<std::uint32_t>(rng() % 4);
        for (std::uint32_t i = 0; i < roads; ++i) {
            Road r;
            r.from = i < n ? i : static_cast<std::uint32_t>(rng() % n);
            r.to = static_cast<std::uint32_t>(rng() % n);
            if (r.to == r.from) r.to = (r.from + 1) % n;
            r.twoWay = rng() % 4 != 0;
            r.length = static_cast<std::uint16_t>(1 + rng() % 20);
            g.roads.push_back(r);
        }
        buildMap(g, 10);

        std::vector<Restriction> restrictions;
        const int count = 1 + static_cast<int>(rng() % 2);
        for (int attempt = 0; attempt < 20 && static_cast<int>(restrictions.size()) < count; ++attempt) {
            Restriction r;
            r.node = static_cast<std::uint32_t>(rng() % n);
            std::uint32_t at = r.node;
            const std::size_t length = 1 + rng() % 2;
            for (std::size_t k = 0; k < length; ++k) {
                std::vector<std::uint32_t> ways;
                for (std::uint32_t id = 0; id < g.roads.size(); ++id)
                    if (leave(g.roads[id], at) != kNoId &&
                        std::find(r.path.begin(), r.path.end(), id) == r.path.end())
                        ways.push_back(id);
                if (ways.empty()) break;
                const std::uint32_t id = ways[rng() % ways.size()];
                r.path.push_back(id);
                at = leave(g.roads[id], at);
            }
            if (r.path.empty()) continue;
            for (std::uint32_t id = 0; id < g.roads.size(); ++id)
                if ((g.roads[id].from == at || g.roads[id].to == at) && rng() % 2 == 0)
                    r.forbidden.push_back(id);
            ASSERT_TRUE(g.map.applyTurnRestriction(r.node, r.path, r.forbidden));
            restrictions.push_back(r);
        }
        restricted += static_cast<int>(restrictions.size());

        const std::uint32_t source = static_cast<std::uint32_t>(rng() % n);
        std::vector<std::uint64_t> best(n, kUnreached);
        std::vector<Step> walk;
        Seen seen;
        walkAll(g, restrictions, walk, source, 0, 24, best, seen);

        RoutingParams p;
        p.routing_mode = 2;
        SearchTask task;
        std::vector<std::uint32_t> costs(n, 7);
        std::vector<std::vector<RouteSegment>> routes(n);
        std::vector<std::vector<std::uint32_t>> passed(n);
        task.source = std::make_unique<SearchPositionFromNode>(GridCell{}, source);
        for (std::uint32_t t = 0; t < n; ++t) {
            auto finish = std::make_unique<SearchPositionToNode>(GridCell{}, t);
            finish->cost = &costs[t];
            finish->segments = &routes[t];
            finish->nodes = &passed[t];
            task.addTarget(std::move(finish));
        }
        search(g.map, task, p);
        for (std::uint32_t t = 0; t < n; ++t) {
            ASSERT_EQ(costs[t] == kInfiniteCost ? kUnreached : costs[t], best[t])
                << "node " << t << " from " << source;
            if (best[t] == kUnreached) continue;
            // The route itself is a walk the restrictions allow.
            std::vector<Step> route;
            std::uint32_t at = source;
            std::uint64_t sum = 0;
            ASSERT_EQ(passed[t].size(), routes[t].size() + 1);
            for (std::size_t i = 0; i < routes[t].size(); ++i) {
                const Road& road = g.roads.at(routes[t][i].segmentId);
                const std::uint32_t to = routes[t][i].forward ? road.to : road.from;
                ASSERT_EQ(routes[t][i].forward ? road.from : road.to, at);
                ASSERT_EQ(leave(road, at), to) << "driven against its one-way direction";
                const Step step{routes[t][i].segmentId, at, to};
                ASSERT_TRUE(allowed(route, step, restrictions)) << "step " << i;
                route.push_back(step);
                sum += road.length;
                at = to;
                EXPECT_EQ(passed[t][i + 1], at);
            }
            EXPECT_EQ(at, t);
            EXPECT_EQ(sum, costs[t]);
        }
    }
    EXPECT_GT(restricted, 400);
}
