// Edits of the route model checked against the invariants every user of a
// path relies on, over random edit sequences.

#include "routing/Path.h"
#include "routing/PathPosition.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <set>

namespace {

PathPoint pointNamed(std::uint32_t id) {
    PathPoint p;
    p.nameIndex = id;
    return p;
}

// A leg from a to b of `count` parts; each part carries the id of its
// leg's start point, so where it lies can be checked after any edit.
Path leg(const PathPoint& a, const PathPoint& b, int count) {
    Path scratch;
    for (int i = 0; i < count; ++i) {
        PathPart part;
        part.nameIndex = a.nameIndex;
        part.polylines.push_back(PathPolyline{{{0, 0}, {1, 0}}, 0, 0});
        part.manoeuvre = 5;
        scratch.appendPart(part);
    }
    return Path(a, b, scratch);
}

void expectInvariants(const Path& path, const std::deque<std::pair<PathPointWatcher, std::uint32_t>>& watched) {
    std::set<std::uint16_t> legs;
    for (std::size_t i = 0; i < path.parts.size(); ++i) {
        const PathPart& part = path.parts[i];
        legs.insert(part.legIndex);
        ASSERT_LT(part.legIndex + 1u, path.points.size());
        // Leg n lies between points n and n + 1.
        EXPECT_EQ(part.nameIndex, path.points[part.legIndex].nameIndex);
        if (i > 0) {
            EXPECT_GE(part.legIndex, path.parts[i - 1].legIndex);
            if (part.legIndex != path.parts[i - 1].legIndex) { EXPECT_EQ(part.manoeuvre, 20u); }
        }
    }
    EXPECT_EQ(path.legCount, legs.size());
    if (!path.points.empty()) { EXPECT_EQ(path.legCount + 1u, path.points.size()); }
    for (const auto& [watcher, id] : watched)
        if (!watcher.changed) {
            ASSERT_LT(watcher.pointIndex, path.points.size());
            EXPECT_EQ(path.points[watcher.pointIndex].nameIndex, id);
        }
}

TEST(Path, EditsKeepLegsPointsAndWatchersTogether) {
    std::mt19937 random(RouteTest::seed());
    for (int round = 0; round < 200; ++round) {
        std::uint32_t nextId = 1;
        Path path(pointNamed(nextId++));
        std::uint8_t flag = 0;
        path.addChangeFlag(&flag);
        std::deque<std::pair<PathPointWatcher, std::uint32_t>> watched; // each with its point's id
        const auto watch = [&](Path& in, std::uint16_t index) {
            in.addWatcher(&watched.emplace_back(PathPointWatcher{index, 0}, in.points[index].nameIndex).first);
        };
        watch(path, 0);
        for (int step = 0; step < 12; ++step) {
            flag = 0;
            const std::size_t before = path.points.size();
            const int parts = 1 + static_cast<int>(random() % 3);
            switch (random() % 6) {
            case 0: {
                if (path.points.empty()) break;
                Path src = leg(path.points.back(), pointNamed(nextId++), parts);
                watch(src, 1);
                path.appendPath(src);
                break;
            }
            case 1: {
                if (path.points.empty()) break;
                Path src = leg(pointNamed(nextId++), path.points.front(), parts);
                watch(src, 0);
                path.prependPath(src);
                break;
            }
            case 2: {
                if (path.legCount == 0) break;
                const auto n = static_cast<std::uint16_t>(random() % path.legCount);
                const PathPoint inner = pointNamed(nextId++);
                Path two = leg(path.points[n], inner, parts);
                two.appendPath(leg(inner, path.points[n + 1u], 1));
                path.replaceLeg(n, two);
                EXPECT_EQ(path.points.size(), before + 1);
                break;
            }
            case 3: {
                if (path.parts.empty()) break;
                // Now and then a position at the end, which clears the path.
                PathPosition at(path, true);
                at.part = random() % (path.parts.size() + 1);
                const std::size_t left = at.isAtEnd() ? 0 : before - (path.parts[at.part].legIndex + 1u);
                path.removePassedLeg(at);
                EXPECT_EQ(path.points.size(), left);
                break;
            }
            case 4:
                // A source without points adds nothing and breaks nothing.
                path.appendPath(Path());
                EXPECT_EQ(path.points.size(), before);
                break;
            case 5:
                if (random() % 4 == 0) path.keepStartOnly();
                break;
            }
            expectInvariants(path, watched);
            if (path.points.size() != before) { EXPECT_EQ(flag, 1) << "every edit raises the change flags"; }
        }
        for (auto& w : watched)
            path.removeWatcher(&w.first);
        EXPECT_TRUE(path.watchers.empty());
    }
}

} // namespace
