#include "tests/routing/RoadMapFixture.h"

#include "routing/RouteSearch.h"
#include "tests/map/AtlasFixture.h"

#include <gtest/gtest.h>

namespace RoutingTest {

using namespace Map::Routing;

MapOnDisk::MapOnDisk(const std::vector<std::uint8_t>& bytes) {
    path = dir.path() / "roads.kvm";
    AtlasTest::writeFile(path, bytes);
    map = std::make_unique<Map::KVMap2>(AtlasTest::wide(path), pool, heap);
    slot = std::make_unique<RoadMapHolder>(map.get());
}

RoutingParams lengthParams() {
    RoutingParams params;
    params.routing_mode = 2;
    params.avoid_unpaved = 0;
    return params;
}

std::vector<std::uint32_t> route(RoadMap& map, std::uint32_t from, std::uint32_t to, std::uint32_t* length,
                                 const RoutingParams& params) {
    SearchTask task;
    task.source = std::make_unique<SearchPositionFromNode>(map.nodeHeadRecord(from)->cell, from);
    auto target = std::make_unique<SearchPositionToNode>(map.nodeHeadRecord(to)->cell, to);
    std::uint8_t reached = 0;
    std::vector<RouteSegment> segments;
    std::uint32_t total = 0;
    target->reached = &reached;
    target->segments = &segments;
    target->totalLength = &total;
    EXPECT_EQ(task.addTarget(std::move(target)), 0);
    search(map, task, params);
    if (length) *length = total;
    std::vector<std::uint32_t> ids;
    if (reached != 1) return ids;
    for (const RouteSegment& s : segments)
        ids.push_back(s.segmentId);
    return ids;
}

} // namespace RoutingTest
