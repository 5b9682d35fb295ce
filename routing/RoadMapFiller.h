#pragma once
// Fills a RoadMap from what the routing section reader hands over: nodes,
// segments with their transitions, then the link lists and the turn
// restrictions, in the order the graph requires.
//
// The records the file announces are charged to the route heap in the
// file's own record sizes (17-byte nodes, 11-byte segments, 4-byte links),
// so the heap's configured size bounds how much road graph the program
// keeps, and a graph that does not fit is refused as out of memory.

#include "core/Allocator.h"
#include "map/RoadMapBuilder.h"
#include "routing/RoadMap.h"

#include <cstdint>
#include <span>

class RoadMapFiller : public Map::RoadMapBuilder {
  public:
    static constexpr std::uint32_t kNodeRecordBytes = 17;
    static constexpr std::uint32_t kSegmentRecordBytes = 11;
    static constexpr std::uint32_t kLinkRecordBytes = 4;

    // `heap` may be null: nothing is charged then.
    RoadMapFiller(RoadMap& map, Core::Allocator* heap) : m_map(map), m_heap(heap) {}
    ~RoadMapFiller() override;
    RoadMapFiller(const RoadMapFiller&) = delete;
    RoadMapFiller& operator=(const RoadMapFiller&) = delete;

    bool reserve(std::uint64_t segmentCapacity, std::uint32_t nodeCount, std::uint64_t nodeCapacity,
                 std::uint32_t segmentCount, std::uint64_t linkCapacity) override;
    void setNode(std::uint32_t index, std::uint16_t cellX, std::uint16_t cellY,
                 std::uint8_t vertices) override;
    void addSegment(std::uint32_t id, Map::SegmentAttributes attributes, std::uint32_t fromNode,
                    std::uint32_t toNode, std::uint16_t lengthMetres) override;
    void addSegmentWithTransitions(std::uint32_t id, Map::SegmentAttributes attributes,
                                   std::uint32_t fromNode, std::uint32_t toNode, std::uint16_t lengthMetres,
                                   std::span<const std::uint16_t> transitions) override;
    void finish() override;
    void addTurnRestriction(std::uint32_t node, std::span<const std::uint32_t> path,
                            std::span<const std::uint32_t> forbidden) override;

    // A node, segment or link build the graph refused: it is not usable.
    bool failed() const { return m_failed; }
    bool finished() const { return m_finished; }
    // Restrictions the graph could not apply (left out, the roads stay).
    std::uint32_t skippedRestrictions() const { return m_skippedRestrictions; }

    // Hands the heap charge over to the caller, who frees it with the graph
    // (null when nothing was charged).
    void* releaseCharge();

  private:
    RoadMap& m_map;
    Core::Allocator* m_heap;
    void* m_charge = nullptr;
    bool m_reserved = false;
    bool m_failed = false;
    bool m_finished = false;
    std::uint32_t m_skippedRestrictions = 0;
};
