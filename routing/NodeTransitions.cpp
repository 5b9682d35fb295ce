#include "routing/NodeTransitions.h"

#include "routing/RoadRecords.h"

using RoadGraph::Direction::Forward;
using RoadGraph::Direction::TwoWay;

void NodeTransitions::add(std::uint16_t in, std::uint16_t out, bool forward, bool twoWay) {
    NodeTransition t;
    t.in = in;
    t.out = out;
    t.direction = static_cast<std::uint8_t>((forward ? Forward : 0) | (twoWay ? TwoWay : 0));
    entries_.push_back(t);
    if (twoWay) twoWayPresent_ = true;
}

void NodeTransitions::expandTwoWay() {
    if (!twoWayPresent_) return;
    twoWayPresent_ = false;
    const std::size_t count = entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (!(entries_[i].direction & TwoWay)) continue;
        entries_[i].direction &= static_cast<std::uint8_t>(~TwoWay);
        NodeTransition reverse;
        reverse.in = entries_[i].out;
        reverse.out = entries_[i].in;
        reverse.direction = static_cast<std::uint8_t>(entries_[i].direction ^ Forward);
        entries_.push_back(reverse);
    }
}

void NodeTransitions::split(const NodeTransitions& source, bool forwardAllowed, bool backwardAllowed,
                            NodeTransitions& first, NodeTransitions& second) {
    first.clear();
    second.clear();
    for (const NodeTransition& t : source.entries_) {
        if (t.direction & Forward) {
            if (!forwardAllowed) continue;
            first.add(t.in, 0, true, false);
            second.add(0, t.out, true, false);
        } else {
            if (!backwardAllowed) continue;
            first.add(0, t.out, false, false);
            second.add(t.in, 0, false, false);
        }
    }
}

void NodeTransitions::clear() {
    entries_.clear();
    twoWayPresent_ = false;
}
