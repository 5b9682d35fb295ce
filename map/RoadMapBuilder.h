#pragma once
// What the routing section reader hands its graph to: the road map of
// routing, which stores the records its own way. Every id the reader passes
// has been checked against the counts it announced in reserve(), so the
// builder may index its arrays with them directly.

#include <cstdint>
#include <span>

namespace Map {

// The three attribute bytes of a segment (see docs/map-format.md).
struct SegmentAttributes {
    std::uint8_t bytes[3] = {};

    std::uint8_t routingClass() const { return bytes[0] & 0x07; }
    bool toll() const { return (bytes[0] & 0x08) != 0; }
    bool twoWay() const { return (bytes[0] & 0x10) != 0; }
    bool unpaved() const { return (bytes[0] & 0x20) != 0; }
    bool roundabout() const { return (bytes[0] & 0x40) != 0; }
    bool forbidden() const { return (bytes[0] & 0x80) != 0; }
    std::uint8_t access() const { return bytes[1]; }
    std::uint8_t quality() const { return bytes[2] & 0x07; }
    std::uint8_t turnCode() const { return bytes[2] >> 3; }
    bool operator==(const SegmentAttributes&) const = default;
};

class RoadMapBuilder {
public:
    virtual ~RoadMapBuilder() = default;
    // Sizes the graph: capacities include the fixed margins (290 segment
    // records, 120 or 20 node records, 580 link records) and are never below
    // the counts. False when the memory cannot be had.
    virtual bool reserve(std::uint64_t segmentCapacity, std::uint32_t nodeCount, std::uint64_t nodeCapacity,
                         std::uint32_t segmentCount, std::uint64_t linkCapacity) = 0;
    // Node `index` (below nodeCount): its grid cell in level 0 and its vertex
    // count (main records, 1 unless the section uses the vertex layout).
    virtual void setNode(std::uint32_t index, std::uint16_t cellX, std::uint16_t cellY, std::uint8_t vertices) = 0;
    // Segment `id` (ids come in order 0..segmentCount-1) from its from node to
    // its to node, `lengthMetres` long; one record, forward, two-way when the
    // attributes say so.
    virtual void addSegment(std::uint32_t id, SegmentAttributes attributes, std::uint32_t fromNode,
                            std::uint32_t toNode, std::uint16_t lengthMetres) = 0;
    // The same in the vertex layout, with one transition word per record:
    // bits 0..5 vertex at the from node, 0x40 forward, 0x80 two-way, bits
    // 8..13 vertex at the to node (both below the nodes' vertex counts).
    virtual void addSegmentWithTransitions(std::uint32_t id, SegmentAttributes attributes, std::uint32_t fromNode,
                                           std::uint32_t toNode, std::uint16_t lengthMetres,
                                           std::span<const std::uint16_t> transitions) = 0;
    // All nodes and segments are in: build the link lists.
    virtual void finish() = 0;
    // A turn restriction at `node`: the path segments, then the forbidden
    // ones. Called after finish().
    virtual void addTurnRestriction(std::uint32_t node, std::span<const std::uint32_t> path,
                                    std::span<const std::uint32_t> forbidden) = 0;
};

} // namespace Map
