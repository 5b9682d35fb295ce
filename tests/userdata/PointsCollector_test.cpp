#include "userdata/PointsCollector.h"

#include <gtest/gtest.h>

namespace {

TEST(PointsCollector, MarkDeletedTouchesOnlyTheListedLivePoints) {
    Monitoring::PointsCollector points;
    for (std::uint32_t id : {1u, 2u, 3u}) {
        WayPoint p;
        p.id = id;
        points.add(p);
    }
    const std::uint32_t two[] = {2};
    EXPECT_TRUE(points.markDeleted(two));
    std::string flags;
    for (const WayPoint& p : points.points())
        flags += p.deleted() ? 'x' : '.';
    EXPECT_EQ(flags, ".x.");
    EXPECT_FALSE(points.markDeleted(two)) << "already deleted: nothing changes";
    const std::uint32_t none[] = {4, 9};
    EXPECT_FALSE(points.markDeleted(none));
    EXPECT_EQ(points.count(), 3u) << "a deleted point keeps its place";
}

} // namespace
