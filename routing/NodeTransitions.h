#pragma once
// The transition table of a segment: in which directions, and between which
// vertices of its two end nodes, the segment may be travelled.
//
// An entry names the vertex where travel enters the segment (`in`, a
// position among the main records of that end node, in chain order) and the
// vertex where it leaves (`out`), and carries the direction bits of
// RoadGraph::Direction: Forward when travel runs from the segment's first end
// to its second end, TwoWay when the reverse travel is allowed too.
//
// The map file holds positions in 6 bits and at most 256 entries; here they
// are 16-bit and the table is unbounded, so vertices added to a node later
// (the clones of turn restrictions) stay addressable.

#include <cstdint>
#include <vector>

struct NodeTransition {
    std::uint16_t in = 0;
    std::uint16_t out = 0;
    std::uint8_t direction = 0;
    friend bool operator==(const NodeTransition&, const NodeTransition&) = default;
};

class NodeTransitions {
  public:
    void add(std::uint16_t in, std::uint16_t out, bool forward, bool twoWay);
    // Replaces every two-way entry by a one-way entry and its reverse.
    // Does nothing when no two-way entry was added since the last call.
    void expandTwoWay();
    // Divides `source` between the two pieces of a segment cut at a point:
    // `first` runs from the first end to the cut, `second` from the cut to
    // the second end (position 0 at the cut). Forward entries are kept when
    // forward travel is allowed, the others when backward travel is.
    static void split(const NodeTransitions& source, bool forwardAllowed, bool backwardAllowed,
                      NodeTransitions& first, NodeTransitions& second);

    void clear();
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<NodeTransition>& entries() const { return entries_; }
    bool hasTwoWay() const { return twoWayPresent_; }

  private:
    std::vector<NodeTransition> entries_;
    bool twoWayPresent_ = false;
};
