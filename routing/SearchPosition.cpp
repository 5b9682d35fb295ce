#include "routing/SearchPosition.h"

#include "core/Log.h"
#include "routing/RoadMap.h"
#include "routing/SearchTask.h"

#include <algorithm>

using namespace RoadGraph;

namespace Map::Routing {

namespace {

// The joins of node positions: two-way, class 0, no restrictions.
constexpr SegmentAttributes kJoinAttributes{RoadFlag::TwoWay, 0, 0};

bool isNode(const RoadMap& map, std::uint32_t id) {
    return map.nodeOf(id) == id && id != kNoId;
}

} // namespace

bool SearchPosition::appendSearchNode(RoadMap& map) {
    searchNodeId = map.appendNode(cell);
    searchNodeIndex = searchNodeId;
    return searchNodeId != kNoId;
}

bool SearchPositionFromNode::seed(RoadMap& map, const SearchTask&) {
    if (!appendSearchNode(map)) return false;
    if (!isNode(map, nodeId)) {
        Log::log(Log::Critical, u"Route search: node %u is not in the road graph", nodeId);
        return true;
    }
    const std::uint32_t join = map.appendSegmentId();
    return join != kNoId && map.addSegmentBetween(join, searchNodeId, nodeId, kJoinAttributes, 0);
}

bool SearchPositionFromDistantNodes::seed(RoadMap& map, const SearchTask&) {
    if (!appendSearchNode(map)) return false;
    for (const DistantNode& entry : entries) {
        if (!isNode(map, entry.nodeId)) {
            Log::log(Log::Critical, u"Route search: node %u is not in the road graph", entry.nodeId);
            continue;
        }
        const std::uint32_t join = map.appendSegmentId();
        if (join == kNoId ||
            !map.addSegmentBetween(join, searchNodeId, entry.nodeId, kJoinAttributes, entry.extraCost))
            return false;
    }
    return true;
}

bool SearchPositionFromSegment::seedOn(RoadMap& map, std::uint32_t s, std::uint16_t at) {
    splitSegment = s;
    firstPartial = kNoId;
    secondPartial = kNoId;
    if (s == kNoId) return true;
    const std::uint32_t h = map.segmentHead(s);
    NodeTransitions table;
    if (h == kNoId || !map.segmentTransitions(h, table)) {
        Log::log(Log::Critical, u"Route search: segment %u is not in the road graph", s);
        return true;
    }
    const SegmentRecord head = *map.segmentHeadRecord(h);
    at = std::min(at, head.length);
    table.expandTwoWay();
    NodeTransitions first;
    NodeTransitions second;
    NodeTransitions::split(table, forwardAllowed, backwardAllowed, first, second);
    SegmentAttributes attributes = head.attributes;
    attributes.road &= static_cast<std::uint8_t>(~RoadFlag::Forbidden);
    const std::uint32_t from = map.segmentFromNode(h);
    const std::uint32_t to = map.segmentToNode(h);
    if (!first.empty()) {
        firstPartial = map.appendSegmentId();
        if (firstPartial == kNoId || !map.addSegment(firstPartial, from, searchNodeId, attributes, at, first))
            return false;
    }
    if (!second.empty()) {
        secondPartial = map.appendSegmentId();
        if (secondPartial == kNoId || !map.addSegment(secondPartial, searchNodeId, to, attributes,
                                                      static_cast<std::uint16_t>(head.length - at), second))
            return false;
    }
    return true;
}

bool SearchPositionFromSegment::seed(RoadMap& map, const SearchTask&) {
    if (!appendSearchNode(map)) return false;
    return seedOn(map, segment, offset);
}

bool SearchPositionToSegment::seed(RoadMap& map, const SearchTask& task) {
    if (!appendSearchNode(map)) return false;
    SearchPositionFromSegment* start = task.source ? task.source->asSegment() : nullptr;
    if (start && segment != kNoId && start->segment == segment) {
        // Start and finish on one segment: cut the start's piece that lies
        // towards this finish, so the route can run along the piece between.
        if (afterTheStart)
            return seedOn(map, start->secondPartial,
                          static_cast<std::uint16_t>(offset > start->offset ? offset - start->offset : 0));
        return seedOn(map, start->firstPartial, offset);
    }
    return seedOn(map, segment, offset);
}

} // namespace Map::Routing
