#pragma once
// The road graph of one map as the route search works on it: three record
// arrays (nodes, segments, links) and the operations that build, extend,
// undo and reverse them.
//
// A loader fills the graph in this order: allocate() with the counts and
// capacities, initNodeRecord() once per node id, addSegment() once per
// segment id (the map is not ready yet, so nothing is hooked into link
// lists), buildLinks(), then applyTurnRestriction() per restriction.
//
// Every id handed in is checked against the array it names; an operation
// given a bad id does nothing and answers false (or kNoId). Appends grow an
// array (capacity is a reservation, not a wall) up to RoadGraph::kMaxRecords;
// beyond that, or when memory runs out, they fail the same way. Records are
// always addressed by index, never kept by reference across an append.

#include "routing/NodeTransitions.h"
#include "routing/RoadRecords.h"
#include "routing/RoutingParams.h"
#include "routing/SearchQueue.h"

#include <cstdint>
#include <vector>

class Path;
struct PathPart;
class RoadMapHolder;
namespace Map::Routing {
struct RouteSegment;
}
namespace Map {
class Atlas;
namespace File {
struct ShapeStep;
}
} // namespace Map

class RoadMap {
  public:
    // Loads the graph of the slot's map into the slot unless it holds one:
    // 0 (also when already loaded), -1 a graph without nodes or segments,
    // -2 not enough memory even after the atlas released what it could,
    // -3 a damaged routing section. A failed attempt keeps nothing.
    static std::int32_t load(RoadMapHolder& slot, Map::Atlas& atlas);
    // The geometry references of segment `segmentId` (the polylines that
    // draw it, each with its anchor cell), loading the graph first: 0, a
    // load status, or -3 when the segment is unknown or its shape cannot be
    // read or is empty (out is then empty).
    static std::int32_t segmentShape(RoadMapHolder& slot, Map::Atlas& atlas, std::uint32_t segmentId,
                                     std::vector<Map::File::ShapeStep>& out);
    // A route part along the whole of segment `segmentId` in geometric
    // order (from its from node), in the map's first level: 0, a load
    // status, or -3 when the segment's shape or a polyline of it cannot be
    // read (PathBuild.cpp).
    static std::int32_t partAlongSegment(RoadMapHolder& slot, Map::Atlas& atlas, std::uint32_t segmentId,
                                         PathPart& out);
    // One part per segment of a search result, in order, legs 0 and no
    // manoeuvres; the geometry is read in ascending storage order. Status
    // as partAlongSegment; out is cleared first.
    static std::int32_t buildParts(RoadMapHolder& slot, Map::Atlas& atlas,
                                   const std::vector<Map::Routing::RouteSegment>& segments, Path& out);

    struct Snapshot {
        std::uint32_t nodes = 0;
        std::uint32_t segments = 0;
        std::uint32_t links = 0;
    };

    // Sizes the arrays: nodeCount and segmentCount records in place (to be
    // written by initNodeRecord / addSegment), no links, the given capacities
    // reserved. Clears the ready flag. False when the counts exceed the id
    // space or memory runs out; the map is then empty.
    bool allocate(std::uint32_t nodeCount, std::uint32_t nodeCapacity, std::uint32_t segmentCount,
                  std::uint32_t segmentCapacity, std::uint32_t linkCapacity);

    // Writes the head record of node `id` (< node count). mainRecords 1: the
    // head is the node's only vertex; above 1: the head continues at that
    // many vertices appended to the array; 0: the node has no vertex.
    bool initNodeRecord(std::uint32_t id, RoadGraph::GridCell cell, std::uint32_t mainRecords);
    // The same for a segment; the end nodes of its records are left unset.
    bool initSegmentRecord(std::uint32_t id, RoadGraph::SegmentAttributes attributes, std::uint16_t length,
                           std::uint32_t records);

    // Appends a node with one vertex; its id, or kNoId.
    std::uint32_t appendNode(RoadGraph::GridCell cell);
    // Appends an unwritten segment head; its id, or kNoId.
    std::uint32_t appendSegmentId();

    // Writes segment `id`'s chain from a transition table (one record per
    // entry, vertices chosen by the entry's positions at `fromNode` and
    // `toNode`), and when the map is ready hooks each record into the link
    // list of its start vertex (and of its end vertex when two-way).
    bool addSegment(std::uint32_t id, std::uint32_t fromNode, std::uint32_t toNode,
                    RoadGraph::SegmentAttributes attributes, std::uint16_t length,
                    const NodeTransitions& table);
    // A segment joining every vertex of `first` to every vertex of `second`,
    // forward, two-way when the attributes carry RoadFlag::TwoWay.
    bool addSegmentBetween(std::uint32_t id, std::uint32_t first, std::uint32_t second,
                           RoadGraph::SegmentAttributes attributes, std::uint16_t length);
    // Puts `segmentRecord` first in the link list of `nodeRecord`; the old
    // list stays behind a jump record.
    bool addLink(std::uint32_t nodeRecord, std::uint32_t segmentRecord);
    // Rebuilds every link list from the segment records: each vertex gets
    // one contiguous run of links, listing its segments in decreasing id
    // order. Marks the map ready. False (and no links) when the links would
    // not fit the id space.
    bool buildLinks();

    // The table of segment `id` from its records; false for a bad id or a
    // record whose vertices are not found at the segment's end nodes.
    bool segmentTransitions(std::uint32_t id, NodeTransitions& out) const;

    Snapshot snapshot() const;
    // Unhooks every segment record appended since `s` from the link lists of
    // the vertices that were there before, then truncates the arrays.
    void restore(const Snapshot& s);
    // Flips the travel direction of every segment record and rebuilds the
    // link lists; doing it twice gives the same travel graph back.
    void reverseDirection();
    static void reverseSegmentRecord(RoadGraph::SegmentRecord& record);

    // Sets or clears the forbidden bit of segment `id`'s head record (the
    // record whose attributes the search prices); the old bit, or false for
    // a bad id.
    bool setForbidden(std::uint32_t id, bool forbidden);

    // Turns every two-way record of segment `id` into two one-way records.
    bool splitTwoWayRecords(std::uint32_t id);
    // Travel that leaves `node` along path[0] and follows the path goes
    // through copies of the path's nodes that offer no way into `forbidden`
    // and no U-turn. Ids are segment ids (any record of a chain).
    bool applyTurnRestriction(std::uint32_t node, const std::vector<std::uint32_t>& path,
                              const std::vector<std::uint32_t>& forbidden);

    // Appends a new last record to the chain of node `node` / segment
    // `segment` (flagged Main and Last, head set); its index, or kNoId.
    std::uint32_t appendToNodeChain(std::uint32_t node);
    std::uint32_t appendToSegmentChain(std::uint32_t segment);

    // Chain walking. nextMainNode: the first vertex at or after `record` in
    // its chain (kNoId when none); stepNode: the record after `record`.
    std::uint32_t nextMainNode(std::uint32_t record) const;
    std::uint32_t stepNode(std::uint32_t record) const;
    std::uint32_t nextMainSegment(std::uint32_t record) const;
    std::uint32_t stepSegment(std::uint32_t record) const;
    // The vertices of node `node` in chain order.
    std::vector<std::uint32_t> vertices(std::uint32_t node) const;
    // The records (flagged Main) of segment `segment` in chain order.
    std::vector<std::uint32_t> segmentRecords(std::uint32_t segment) const;
    // The segment records named by the link list of vertex `nodeRecord`.
    std::vector<std::uint32_t> linkedSegments(std::uint32_t nodeRecord) const;

    // Node of a node record, head of a segment record; kNoId for a bad id.
    std::uint32_t nodeOf(std::uint32_t nodeRecord) const;
    std::uint32_t segmentHead(std::uint32_t segmentRecord) const;
    // The nodes at the segment's first and second end (from its first record).
    std::uint32_t segmentFromNode(std::uint32_t segment) const;
    std::uint32_t segmentToNode(std::uint32_t segment) const;
    // The head record of `node`, null for a bad id.
    const RoadGraph::NodeRecord* nodeHeadRecord(std::uint32_t node) const;
    // The head record of the segment chain `segmentRecord` belongs to.
    const RoadGraph::SegmentRecord* segmentHeadRecord(std::uint32_t segmentRecord) const;
    // Cell of the node a node record belongs to.
    RoadGraph::GridCell cellOf(std::uint32_t nodeRecord) const;

    bool validNode(std::uint32_t id) const { return id < nodes_.size(); }
    bool validSegment(std::uint32_t id) const { return id < segments_.size(); }
    bool validLink(std::uint32_t id) const { return id < links_.size(); }
    bool isVertex(std::uint32_t id) const {
        return validNode(id) && (nodes_[id].flags & RoadGraph::RecordFlag::Main);
    }

    const std::vector<RoadGraph::NodeRecord>& nodes() const { return nodes_; }
    const std::vector<RoadGraph::SegmentRecord>& segments() const { return segments_; }
    const std::vector<RoadGraph::LinkRecord>& links() const { return links_; }
    // Direct access for loaders; ids unchecked. The links' `to` fields are
    // worked out again before the next search (refreshLinkEnds).
    std::vector<RoadGraph::NodeRecord>& mutableNodes() {
        linkEndsStale_ = true;
        return nodes_;
    }
    std::vector<RoadGraph::SegmentRecord>& mutableSegments() {
        segmentCosts_.clear();
        linkEndsStale_ = true;
        return segments_;
    }
    std::vector<RoadGraph::LinkRecord>& mutableLinks() {
        linkEndsStale_ = true;
        return links_;
    }
    // The vertex record segment record `segmentRecord` leads to from vertex
    // record `from`: its end, or its start when `from` is not its start.
    // kNoId for a bad id.
    std::uint32_t otherEnd(std::uint32_t segmentRecord, std::uint32_t from) const;
    // Sets the `to` field of every link in every vertex's list, when the
    // records or links were written directly since.
    void refreshLinkEnds();

    bool ready() const { return ready_; }

    // The route search's working memory, kept with the map (which serves
    // one search at a time) so that a search allocates and clears nothing
    // sized to the graph: its heap, the labels by vertex record (at least
    // as many as node records while a search runs; stale unless of the
    // current stamp) and the stamp of the current labels.
    SearchQueue& searchQueue() { return searchQueue_; }
    const std::vector<RoadGraph::VertexLabel>& labels() const { return labels_; }
    std::vector<RoadGraph::VertexLabel>& mutableLabels() { return labels_; }
    std::uint16_t labelStamp = 0;
    // The cost of every segment record under `model` by record index (a
    // chain's records all have their head's), so that a search reads a
    // relaxation's cost rather than working it out, and no segment record.
    // Kept while the model stays the same: only records not yet priced are
    // priced, and all of them again under another model. Writing a head's
    // attributes or length (initSegmentRecord, setForbidden, mutableSegments)
    // and restoring a snapshot keep it true. Throws std::bad_alloc when
    // memory runs out.
    const std::uint32_t* segmentCosts(const Map::Routing::CostModel& model);

    // Estimate weights, set by the loader from the map's first level:
    // metres per cell, and the integer square root of 2 * cellMetres.
    std::uint32_t cellMetres = 0;
    std::uint32_t cellDiagonalRoot = 0;

  private:
    std::uint32_t appendNodeRecord();
    std::uint32_t appendSegmentRecord();
    std::uint32_t appendLinkRecord();
    // Position of vertex `record` among the vertices of `node`, or -1.
    int vertexPosition(std::uint32_t node, std::uint32_t record) const;
    void hookRecord(std::uint32_t segmentRecord);
    // Sets `to` in the links of `vertex`'s list that name `segmentRecord`.
    void relink(std::uint32_t vertex, std::uint32_t segmentRecord);
    std::uint32_t unhookedFirstLink(std::uint32_t first, std::uint32_t linkLimit) const;

    std::vector<RoadGraph::NodeRecord> nodes_;
    std::vector<RoadGraph::SegmentRecord> segments_;
    std::vector<RoadGraph::LinkRecord> links_;
    bool ready_ = false;
    SearchQueue searchQueue_;
    std::vector<RoadGraph::VertexLabel> labels_;
    std::vector<std::uint32_t> segmentCosts_;
    bool linkEndsStale_ = false;
    Map::Routing::CostModel costModel_{RoutingParams{}};
};
