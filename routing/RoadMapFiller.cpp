#include "routing/RoadMapFiller.h"

#include "routing/NodeTransitions.h"

#include <algorithm>
#include <vector>

namespace {

RoadGraph::SegmentAttributes convert(const Map::SegmentAttributes& a) {
    return RoadGraph::SegmentAttributes{a.bytes[0], a.bytes[1], a.bytes[2]};
}

} // namespace

RoadMapFiller::~RoadMapFiller() {
    if (m_heap) m_heap->free(m_charge);
}

void* RoadMapFiller::releaseCharge() {
    void* charge = m_charge;
    m_charge = nullptr;
    return charge;
}

bool RoadMapFiller::reserve(std::uint64_t segmentCapacity, std::uint32_t nodeCount,
                            std::uint64_t nodeCapacity, std::uint32_t segmentCount,
                            std::uint64_t linkCapacity) {
    // Counts beyond the 24-bit id space cannot be stored: the file is
    // damaged, not the memory short. Everything after is ignored.
    // The same for capacities no graph could use (the reader's margins
    // aside): they would only make the atlas drop every other graph first.
    constexpr std::uint64_t kMostRecords = RoadGraph::kMaxRecords + 580u;
    if (nodeCount >= RoadGraph::kMaxRecords || segmentCount >= RoadGraph::kMaxRecords ||
        nodeCapacity > kMostRecords || segmentCapacity > kMostRecords || linkCapacity > kMostRecords) {
        m_failed = true;
        return true;
    }
    nodeCapacity = std::max<std::uint64_t>(nodeCapacity, nodeCount);
    segmentCapacity = std::max<std::uint64_t>(segmentCapacity, segmentCount);
    if (m_heap) {
        const std::uint64_t bytes = nodeCapacity * kNodeRecordBytes + segmentCapacity * kSegmentRecordBytes +
                                    linkCapacity * kLinkRecordBytes;
        if (bytes > 0xFFFFFFFFu) return false;
        m_heap->free(m_charge);
        m_charge = m_heap->allocate(std::max<std::uint32_t>(static_cast<std::uint32_t>(bytes), 1));
        if (!m_charge) return false;
    }
    const auto clamp = [](std::uint64_t v) {
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, RoadGraph::kMaxRecords));
    };
    if (!m_map.allocate(nodeCount, clamp(nodeCapacity), segmentCount, clamp(segmentCapacity),
                        clamp(linkCapacity))) {
        if (m_heap) m_heap->free(m_charge);
        m_charge = nullptr;
        return false;
    }
    m_reserved = true;
    return true;
}

void RoadMapFiller::setNode(std::uint32_t index, std::uint16_t cellX, std::uint16_t cellY,
                            std::uint8_t vertices) {
    if (m_failed || !m_reserved) {
        m_failed = true;
        return;
    }
    if (!m_map.initNodeRecord(index, RoadGraph::GridCell{cellX, cellY}, vertices)) m_failed = true;
}

void RoadMapFiller::addSegment(std::uint32_t id, Map::SegmentAttributes attributes, std::uint32_t fromNode,
                               std::uint32_t toNode, std::uint16_t lengthMetres) {
    if (m_failed || !m_reserved) {
        m_failed = true;
        return;
    }
    NodeTransitions table;
    table.add(0, 0, true, attributes.twoWay());
    if (!m_map.addSegment(id, fromNode, toNode, convert(attributes), lengthMetres, table)) m_failed = true;
}

void RoadMapFiller::addSegmentWithTransitions(std::uint32_t id, Map::SegmentAttributes attributes,
                                              std::uint32_t fromNode, std::uint32_t toNode,
                                              std::uint16_t lengthMetres,
                                              std::span<const std::uint16_t> transitions) {
    if (m_failed || !m_reserved) {
        m_failed = true;
        return;
    }
    NodeTransitions table;
    for (const std::uint16_t word : transitions) {
        const std::uint16_t atFrom = word & 0x3F;
        const std::uint16_t atTo = (word >> 8) & 0x3F;
        const bool forward = (word & 0x40) != 0;
        const bool twoWay = (word & 0x80) != 0;
        // Travel enters at the from node's vertex when it runs forward, at
        // the to node's vertex otherwise.
        if (forward)
            table.add(atFrom, atTo, true, twoWay);
        else
            table.add(atTo, atFrom, false, twoWay);
    }
    if (!m_map.addSegment(id, fromNode, toNode, convert(attributes), lengthMetres, table)) m_failed = true;
}

void RoadMapFiller::finish() {
    if (m_failed || !m_reserved) {
        m_failed = true;
        return;
    }
    if (!m_map.buildLinks()) {
        m_failed = true;
        return;
    }
    m_finished = true;
}

void RoadMapFiller::addTurnRestriction(std::uint32_t node, std::span<const std::uint32_t> path,
                                       std::span<const std::uint32_t> forbidden) {
    if (m_failed || !m_finished) {
        m_failed = true;
        return;
    }
    const std::vector<std::uint32_t> p(path.begin(), path.end());
    const std::vector<std::uint32_t> f(forbidden.begin(), forbidden.end());
    if (!m_map.applyTurnRestriction(node, p, f)) ++m_skippedRestrictions;
}
