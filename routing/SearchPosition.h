#pragma once
// The start and finish positions of a route search. Seeding a position adds
// its own temporary search node to the road graph and joins it to the real
// graph with temporary segments, which the search removes when it ends.
// Finish positions also carry ResultBindings: where the search writes what
// it found.

#include "routing/RoadRecords.h"

#include <cstdint>
#include <vector>

class RoadMap;
class SearchTask;

namespace Map::Routing {

// One segment of an extracted route, in drive order.
struct RouteSegment {
    std::uint32_t segmentId = RoadGraph::kNoId; // chain head id (the position's own segment at the ends)
    std::uint8_t forward = 0;                   // driven from the segment's first end to its second end
    std::uint8_t quality = 0;                   // road quality, bits 0-2 of the quality byte
    std::uint8_t turnCode = 0;                  // bits 3-7 of the quality byte
    std::uint8_t spare = 0;
    friend bool operator==(const RouteSegment&, const RouteSegment&) = default;
};

class SearchPosition;

// Output places, all optional; the route build points them at its own
// variables before the search.
class ResultBindings {
  public:
    std::uint8_t* reached = nullptr;
    std::uint32_t* cost = nullptr;
    std::vector<RouteSegment>* segments = nullptr;
    std::vector<std::uint32_t>* nodes = nullptr;
    std::uint32_t* totalLength = nullptr;

    // Fills the bound places for `finish` after a search from `source`.
    void bind(const RoadMap& map, const SearchPosition& finish, const SearchPosition& source, bool isReached);
};

class SearchPosition {
  public:
    explicit SearchPosition(RoadGraph::GridCell cell) : cell(cell) {}
    virtual ~SearchPosition() = default;
    SearchPosition(const SearchPosition&) = delete;
    SearchPosition& operator=(const SearchPosition&) = delete;

    // Adds the search node and its joining segments; false when the graph
    // had no room (the position is then left unconnected).
    virtual bool seed(RoadMap& map, const SearchTask& task) = 0;
    virtual std::uint32_t segmentId() const { return RoadGraph::kNoId; }
    virtual class SearchPositionFromSegment* asSegment() { return nullptr; }
    virtual ResultBindings* resultBindings() { return nullptr; }

    RoadGraph::GridCell cell;                         // used by the estimate
    std::uint32_t searchNodeId = RoadGraph::kNoId;    // the appended node
    std::uint32_t searchNodeIndex = RoadGraph::kNoId; // its vertex record

  protected:
    bool appendSearchNode(RoadMap& map);
};

// At a graph node (all its vertices).
class SearchPositionFromNode : public SearchPosition {
  public:
    SearchPositionFromNode(RoadGraph::GridCell cell, std::uint32_t nodeId)
        : SearchPosition(cell), nodeId(nodeId) {}
    bool seed(RoadMap& map, const SearchTask& task) override;

    std::uint32_t nodeId;
};

// Part-way along a segment, `offset` length units from its first end.
class SearchPositionFromSegment : public SearchPosition {
  public:
    SearchPositionFromSegment(RoadGraph::GridCell cell, std::uint32_t segmentId, std::uint16_t offset,
                              bool forwardAllowed, bool backwardAllowed)
        : SearchPosition(cell), segment(segmentId), offset(offset), forwardAllowed(forwardAllowed),
          backwardAllowed(backwardAllowed) {}
    bool seed(RoadMap& map, const SearchTask& task) override;
    std::uint32_t segmentId() const override { return segment; }
    SearchPositionFromSegment* asSegment() override { return this; }

    std::uint32_t segment;
    std::uint16_t offset;
    std::uint8_t forwardAllowed;
    std::uint8_t backwardAllowed;
    std::uint32_t splitSegment = RoadGraph::kNoId;
    std::uint32_t firstPartial = RoadGraph::kNoId;
    std::uint32_t secondPartial = RoadGraph::kNoId;

  protected:
    // Cuts segment `s` at `at` (clamped to its length) into the two partial
    // segments that join the search node to the segment's ends.
    bool seedOn(RoadMap& map, std::uint32_t s, std::uint16_t at);
};

struct DistantNode {
    std::uint32_t nodeId = RoadGraph::kNoId;
    std::uint16_t extraCost = 0;
};

// A set of nodes, each reached at an extra cost (the entries into a
// neighbouring map).
class SearchPositionFromDistantNodes : public SearchPosition {
  public:
    SearchPositionFromDistantNodes(RoadGraph::GridCell cell, std::vector<DistantNode> entries)
        : SearchPosition(cell), entries(std::move(entries)) {}
    bool seed(RoadMap& map, const SearchTask& task) override;

    std::vector<DistantNode> entries;
};

class SearchPositionToNode : public SearchPositionFromNode, public ResultBindings {
  public:
    SearchPositionToNode(RoadGraph::GridCell cell, std::uint32_t nodeId)
        : SearchPositionFromNode(cell, nodeId) {}
    ResultBindings* resultBindings() override { return this; }
};

class SearchPositionToSegment : public SearchPositionFromSegment, public ResultBindings {
  public:
    // afterTheStart: when the source lies on the same segment, this finish
    // lies beyond it in the segment's direction.
    SearchPositionToSegment(RoadGraph::GridCell cell, std::uint32_t segmentId, std::uint16_t offset,
                            bool afterTheStart)
        : SearchPositionFromSegment(cell, segmentId, offset, true, true), afterTheStart(afterTheStart) {}
    bool seed(RoadMap& map, const SearchTask& task) override;
    ResultBindings* resultBindings() override { return this; }

    std::uint8_t afterTheStart;
};

class SearchPositionToDistantNodes : public SearchPositionFromDistantNodes, public ResultBindings {
  public:
    SearchPositionToDistantNodes(RoadGraph::GridCell cell, std::vector<DistantNode> entries)
        : SearchPositionFromDistantNodes(cell, std::move(entries)) {}
    ResultBindings* resultBindings() override { return this; }
};

} // namespace Map::Routing
