// Turn restrictions: copies of a restricted path's nodes through which the
// travel that enters the path at its first node is diverted.
#include "routing/RoadMap.h"

#include "core/Log.h"

#include <algorithm>
#include <map>

using namespace RoadGraph;

bool RoadMap::splitTwoWayRecords(std::uint32_t id) {
    const std::uint32_t head = segmentHead(id);
    if (head == kNoId) return false;
    std::uint32_t r = nextMainSegment(head);
    // The walk also meets the records appended below; they are one-way.
    for (std::size_t guard = 0; r != kNoId && guard <= 2 * segments_.size(); ++guard) {
        if (segments_[r].direction & Direction::TwoWay) {
            segments_[r].direction &= static_cast<std::uint8_t>(~Direction::TwoWay);
            const std::uint32_t added = appendToSegmentChain(head);
            if (added == kNoId) return false;
            const SegmentRecord old = segments_[r];
            SegmentRecord& rev = segments_[added];
            rev.start = old.end;
            rev.end = old.start;
            rev.direction = static_cast<std::uint8_t>(old.direction ^ Direction::Forward);
            // Travel from the old end node now leaves by the reversed record.
            if (isVertex(old.end)) {
                std::uint32_t l = nodes_[old.end].firstLink;
                for (std::size_t g = 0; g <= links_.size() && l < links_.size(); ++g) {
                    LinkRecord& link = links_[l];
                    if (link.flags & LinkFlag::Jump) {
                        if (link.flags & LinkFlag::LastLink) break;
                        l = link.value;
                        continue;
                    }
                    if (link.value == r) {
                        link.value = added;
                        link.to = old.start;
                    }
                    if (link.flags & LinkFlag::LastLink) break;
                    ++l;
                }
            }
        }
        r = nextMainSegment(stepSegment(r));
    }
    return true;
}

bool RoadMap::applyTurnRestriction(std::uint32_t node, const std::vector<std::uint32_t>& path,
                                   const std::vector<std::uint32_t>& forbidden) {
    const std::uint32_t start = nodeOf(node);
    if (start == kNoId || path.empty()) {
        Log::log(Log::Critical, u"Road graph: turn restriction at bad node %u or without a path", node);
        return false;
    }
    std::vector<std::uint32_t> heads;
    for (const std::uint32_t p : path) {
        const std::uint32_t h = segmentHead(p);
        if (h == kNoId) {
            Log::log(Log::Critical, u"Road graph: turn restriction at node %u names bad segment %u", node, p);
            return false;
        }
        heads.push_back(h);
    }
    std::vector<std::uint32_t> forbiddenHeads;
    for (const std::uint32_t f : forbidden) {
        const std::uint32_t h = segmentHead(f);
        if (h == kNoId) {
            Log::log(Log::Critical, u"Road graph: turn restriction at node %u forbids bad segment %u", node,
                     f);
            return false;
        }
        forbiddenHeads.push_back(h);
    }

    // from: records at which the current path segment may be entered, each
    // mapped to the record travel starts from; to: far-end records mapped to
    // their clones.
    std::map<std::uint32_t, std::uint32_t> from;
    std::map<std::uint32_t, std::uint32_t> to;
    for (std::uint32_t r = start, guard = 0; r != kNoId && guard <= nodes_.size(); r = stepNode(r), ++guard)
        from[r] = r;
    std::uint32_t c = start;

    for (std::size_t i = 0; i < heads.size(); ++i) {
        const std::uint32_t h = heads[i];
        const std::uint32_t nextHead = i + 1 < heads.size() ? heads[i + 1] : kNoId;
        const bool forward = segmentFromNode(h) == c;
        const std::uint32_t d = forward ? segmentToNode(h) : segmentFromNode(h);
        if (d == kNoId) break;
        if (i == 0 && !splitTwoWayRecords(h)) return false;
        const std::uint32_t dFrom = segmentFromNode(h);
        for (const std::uint32_t r : segmentRecords(h)) {
            const SegmentRecord rec = segments_[r];
            if (!(rec.direction & Direction::TwoWay) && bool(rec.direction & Direction::Forward) != forward)
                continue;
            std::uint32_t s = rec.start;
            std::uint32_t e = rec.end;
            const bool swapped = nodeOf(e) != d;
            if (swapped) std::swap(s, e);
            const auto entry = from.find(s);
            if (entry == from.end()) continue;
            if (to.find(e) == to.end()) {
                const std::vector<std::uint32_t> exits = linkedSegments(e);
                const std::uint32_t clone = appendToNodeChain(d);
                if (clone == kNoId) return false;
                to[e] = clone;
                for (const std::uint32_t g : exits) {
                    const std::uint32_t hg = segmentHead(g);
                    if (hg == kNoId || hg == nextHead || hg == h ||
                        std::find(forbiddenHeads.begin(), forbiddenHeads.end(), hg) != forbiddenHeads.end())
                        continue;
                    const SegmentRecord linked = segments_[g];
                    const std::uint32_t other = linked.end == e ? linked.start : linked.end;
                    const bool gForward = segmentFromNode(hg) == d;
                    const std::uint32_t added = appendToSegmentChain(hg);
                    if (added == kNoId) return false;
                    segments_[added].start = clone;
                    segments_[added].end = other;
                    segments_[added].direction = gForward ? Direction::Forward : 0;
                    if (!addLink(clone, added)) return false;
                }
            }
            const std::uint32_t x = to[e];
            if (i == 0) {
                const std::uint32_t listedAt = segments_[r].start;
                (swapped ? segments_[r].start : segments_[r].end) = x;
                relink(listedAt, r);
            } else {
                const std::uint32_t fs = entry->second;
                const std::uint32_t added = appendToSegmentChain(h);
                if (added == kNoId) return false;
                segments_[added].start = fs;
                segments_[added].end = x;
                segments_[added].direction = dFrom == nodeOf(fs) ? Direction::Forward : 0;
                if (!addLink(fs, added)) return false;
            }
        }
        from.swap(to);
        to.clear();
        c = d;
    }
    return true;
}
