#include "routing/RoadMap.h"

#include "core/Log.h"

#include <algorithm>
#include <new>

using namespace RoadGraph;

namespace {

template <class T> std::uint32_t appendRecord(std::vector<T>& array) {
    if (array.size() >= kMaxRecords) return kNoId;
    try {
        array.emplace_back();
    } catch (const std::bad_alloc&) {
        return kNoId;
    }
    return static_cast<std::uint32_t>(array.size() - 1);
}

template <class T> bool reserveRecords(std::vector<T>& array, std::uint32_t count, std::uint32_t capacity) {
    try {
        array.reserve(std::min<std::uint32_t>(std::max(count, capacity), kMaxRecords));
        array.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The record after `r` in a chain of node or segment records.
template <class T> std::uint32_t stepRecord(const std::vector<T>& array, std::uint32_t r) {
    if (r >= array.size()) return kNoId;
    const T& rec = array[r];
    if (rec.flags & RecordFlag::Last) return kNoId;
    if (rec.flags & RecordFlag::Continues) return rec.next < array.size() ? rec.next : kNoId;
    return r + 1 < array.size() ? r + 1 : kNoId;
}

// The first record at or after `r` flagged Main. Bounded so that a damaged
// chain that loops ends the walk instead of the program.
template <class T> std::uint32_t nextMainRecord(const std::vector<T>& array, std::uint32_t r) {
    for (std::size_t guard = 0; guard <= array.size(); ++guard) {
        if (r >= array.size()) return kNoId;
        if (array[r].flags & RecordFlag::Main) return r;
        r = stepRecord(array, r);
    }
    return kNoId;
}

template <class T> std::vector<std::uint32_t> mainRecords(const std::vector<T>& array, std::uint32_t head) {
    std::vector<std::uint32_t> out;
    if (head >= array.size() || !(array[head].flags & RecordFlag::Head)) return out;
    std::uint32_t r = nextMainRecord(array, head);
    while (r != kNoId && out.size() <= array.size()) {
        out.push_back(r);
        r = nextMainRecord(array, stepRecord(array, r));
    }
    return out;
}

template <class T> std::uint32_t lastRecord(const std::vector<T>& array, std::uint32_t head) {
    std::uint32_t r = head;
    for (std::size_t guard = 0; guard <= array.size(); ++guard) {
        const std::uint32_t next = stepRecord(array, r);
        if (next == kNoId) break;
        r = next;
    }
    return r;
}

// Makes `added` (just appended) follow `last` in its chain.
template <class T> void chainAfter(std::vector<T>& array, std::uint32_t last, std::uint32_t added) {
    T& rec = array[last];
    rec.flags &= static_cast<std::uint8_t>(~RecordFlag::Last);
    if (last + 1 != added || (rec.flags & RecordFlag::Continues)) {
        rec.flags |= RecordFlag::Continues;
        rec.next = added;
    }
}

// Calls f(linkIndex) for every link record of a list that names a segment.
template <class F> void walkLinks(const std::vector<LinkRecord>& links, std::uint32_t first, F&& f) {
    std::uint32_t l = first;
    for (std::size_t guard = 0; guard <= links.size() && l < links.size(); ++guard) {
        const LinkRecord& rec = links[l];
        if (rec.flags & LinkFlag::Jump) {
            if (rec.flags & LinkFlag::LastLink) return;
            l = rec.value;
            continue;
        }
        f(l);
        if (rec.flags & LinkFlag::LastLink) return;
        ++l;
    }
}

} // namespace

bool RoadMap::allocate(std::uint32_t nodeCount, std::uint32_t nodeCapacity, std::uint32_t segmentCount,
                       std::uint32_t segmentCapacity, std::uint32_t linkCapacity) {
    nodes_.clear();
    segments_.clear();
    segmentCosts_.clear();
    links_.clear();
    ready_ = false;
    if (nodeCount >= kMaxRecords || segmentCount >= kMaxRecords) return false;
    if (!reserveRecords(nodes_, nodeCount, nodeCapacity) ||
        !reserveRecords(segments_, segmentCount, segmentCapacity) ||
        !reserveRecords(links_, 0, linkCapacity)) {
        std::vector<NodeRecord>().swap(nodes_);
        std::vector<SegmentRecord>().swap(segments_);
        std::vector<LinkRecord>().swap(links_);
        return false;
    }
    return true;
}

std::uint32_t RoadMap::appendNodeRecord() {
    return appendRecord(nodes_);
}
std::uint32_t RoadMap::appendSegmentRecord() {
    return appendRecord(segments_);
}
std::uint32_t RoadMap::appendLinkRecord() {
    return appendRecord(links_);
}

bool RoadMap::initNodeRecord(std::uint32_t id, GridCell cell, std::uint32_t mainRecords) {
    if (!validNode(id)) return false;
    const std::size_t before = nodes_.size();
    NodeRecord head;
    head.cell = cell;
    head.head = id;
    head.flags = RecordFlag::Head;
    if (mainRecords == 1) {
        head.flags |= RecordFlag::Main | RecordFlag::Last;
    } else if (mainRecords == 0) {
        head.flags |= RecordFlag::Last;
    } else {
        head.flags |= RecordFlag::Continues;
        head.next = static_cast<std::uint32_t>(nodes_.size());
        for (std::uint32_t i = 0; i < mainRecords; ++i) {
            const std::uint32_t r = appendNodeRecord();
            if (r == kNoId) {
                nodes_.resize(before);
                return false;
            }
            nodes_[r].head = id;
            nodes_[r].flags = RecordFlag::Main | (i + 1 == mainRecords ? RecordFlag::Last : 0);
        }
    }
    nodes_[id] = head;
    return true;
}

bool RoadMap::initSegmentRecord(std::uint32_t id, SegmentAttributes attributes, std::uint16_t length,
                                std::uint32_t records) {
    if (!validSegment(id)) return false;
    const std::size_t before = segments_.size();
    // A head listed in links loses its ends here; the links follow.
    if (segments_[id].flags & RecordFlag::Main) linkEndsStale_ = true;
    SegmentRecord head;
    head.head = id;
    head.attributes = attributes;
    head.length = length;
    head.flags = RecordFlag::Head;
    if (records == 1) {
        head.flags |= RecordFlag::Main | RecordFlag::Last;
    } else if (records == 0) {
        head.flags |= RecordFlag::Last;
    } else {
        head.flags |= RecordFlag::Continues;
        head.next = static_cast<std::uint32_t>(segments_.size());
        for (std::uint32_t i = 0; i < records; ++i) {
            const std::uint32_t r = appendSegmentRecord();
            if (r == kNoId) {
                segments_.resize(before);
                return false;
            }
            segments_[r].head = id;
            segments_[r].flags = RecordFlag::Main | (i + 1 == records ? RecordFlag::Last : 0);
        }
    }
    segments_[id] = head;
    if (id < segmentCosts_.size()) segmentCosts_.clear();
    return true;
}

std::uint32_t RoadMap::appendNode(GridCell cell) {
    const std::uint32_t id = appendNodeRecord();
    if (id == kNoId) return kNoId;
    initNodeRecord(id, cell, 1);
    return id;
}

std::uint32_t RoadMap::appendSegmentId() {
    const std::uint32_t id = appendSegmentRecord();
    if (id != kNoId) {
        segments_[id].head = id;
        segments_[id].flags = RecordFlag::Head | RecordFlag::Last;
    }
    return id;
}

std::uint32_t RoadMap::nextMainNode(std::uint32_t record) const {
    return nextMainRecord(nodes_, record);
}
std::uint32_t RoadMap::stepNode(std::uint32_t record) const {
    return stepRecord(nodes_, record);
}
std::uint32_t RoadMap::nextMainSegment(std::uint32_t record) const {
    return nextMainRecord(segments_, record);
}
std::uint32_t RoadMap::stepSegment(std::uint32_t record) const {
    return stepRecord(segments_, record);
}

std::vector<std::uint32_t> RoadMap::vertices(std::uint32_t node) const {
    return mainRecords(nodes_, node);
}

std::vector<std::uint32_t> RoadMap::segmentRecords(std::uint32_t segment) const {
    return mainRecords(segments_, segment);
}

std::vector<std::uint32_t> RoadMap::linkedSegments(std::uint32_t nodeRecord) const {
    std::vector<std::uint32_t> out;
    if (!isVertex(nodeRecord)) return out;
    walkLinks(links_, nodes_[nodeRecord].firstLink, [&](std::uint32_t l) { out.push_back(links_[l].value); });
    return out;
}

std::uint32_t RoadMap::nodeOf(std::uint32_t nodeRecord) const {
    if (!validNode(nodeRecord)) return kNoId;
    const NodeRecord& rec = nodes_[nodeRecord];
    if (rec.flags & RecordFlag::Head) return nodeRecord;
    return validNode(rec.head) ? rec.head : kNoId;
}

std::uint32_t RoadMap::segmentHead(std::uint32_t segmentRecord) const {
    if (!validSegment(segmentRecord)) return kNoId;
    const SegmentRecord& rec = segments_[segmentRecord];
    if (rec.flags & RecordFlag::Head) return segmentRecord;
    return validSegment(rec.head) ? rec.head : kNoId;
}

bool RoadMap::setForbidden(std::uint32_t id, bool forbidden) {
    const std::uint32_t head = segmentHead(id);
    if (head == kNoId) return false;
    std::uint8_t& road = segments_[head].attributes.road;
    const bool was = (road & RoadFlag::Forbidden) != 0;
    road = static_cast<std::uint8_t>(forbidden ? road | RoadFlag::Forbidden : road & ~RoadFlag::Forbidden);
    if (!segmentCosts_.empty()) {
        const std::uint32_t price = costModel_(segments_[head].attributes, segments_[head].length);
        if (head < segmentCosts_.size()) segmentCosts_[head] = price;
        for (const std::uint32_t r : segmentRecords(head))
            if (r < segmentCosts_.size()) segmentCosts_[r] = price;
    }
    return was;
}

const std::uint32_t* RoadMap::segmentCosts(const Map::Routing::CostModel& model) {
    if (!(model == costModel_)) {
        segmentCosts_.clear();
        costModel_ = model;
    }
    std::size_t i = segmentCosts_.size();
    segmentCosts_.resize(segments_.size());
    for (; i < segments_.size(); ++i) {
        const std::uint32_t h = segmentHead(static_cast<std::uint32_t>(i));
        segmentCosts_[i] = h == kNoId ? kInfiniteCost : model(segments_[h].attributes, segments_[h].length);
    }
    return segmentCosts_.data();
}

std::uint32_t RoadMap::segmentFromNode(std::uint32_t segment) const {
    const std::uint32_t r = nextMainSegment(segmentHead(segment));
    if (r == kNoId) return kNoId;
    const SegmentRecord& rec = segments_[r];
    return nodeOf((rec.direction & Direction::Forward) ? rec.start : rec.end);
}

std::uint32_t RoadMap::segmentToNode(std::uint32_t segment) const {
    const std::uint32_t r = nextMainSegment(segmentHead(segment));
    if (r == kNoId) return kNoId;
    const SegmentRecord& rec = segments_[r];
    return nodeOf((rec.direction & Direction::Forward) ? rec.end : rec.start);
}

const NodeRecord* RoadMap::nodeHeadRecord(std::uint32_t node) const {
    const std::uint32_t h = nodeOf(node);
    return h == kNoId ? nullptr : &nodes_[h];
}

const SegmentRecord* RoadMap::segmentHeadRecord(std::uint32_t segmentRecord) const {
    const std::uint32_t h = segmentHead(segmentRecord);
    return h == kNoId ? nullptr : &segments_[h];
}

GridCell RoadMap::cellOf(std::uint32_t nodeRecord) const {
    const NodeRecord* head = nodeHeadRecord(nodeRecord);
    return head ? head->cell : GridCell{};
}

int RoadMap::vertexPosition(std::uint32_t node, std::uint32_t record) const {
    const std::vector<std::uint32_t> v = vertices(node);
    const auto it = std::find(v.begin(), v.end(), record);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

bool RoadMap::addLink(std::uint32_t nodeRecord, std::uint32_t segmentRecord) {
    if (!isVertex(nodeRecord) || !validSegment(segmentRecord)) return false;
    const std::uint32_t oldFirst = nodes_[nodeRecord].firstLink;
    const std::uint32_t l = appendLinkRecord();
    if (l == kNoId) return false;
    links_[l].value = segmentRecord;
    links_[l].to = otherEnd(segmentRecord, nodeRecord);
    if (!validLink(oldFirst)) {
        links_[l].flags = LinkFlag::LastLink;
    } else {
        const std::uint32_t jump = appendLinkRecord();
        if (jump == kNoId) {
            links_.pop_back();
            return false;
        }
        links_[jump].value = oldFirst;
        links_[jump].flags = LinkFlag::Jump;
    }
    nodes_[nodeRecord].firstLink = l;
    return true;
}

std::uint32_t RoadMap::otherEnd(std::uint32_t segmentRecord, std::uint32_t from) const {
    if (!validSegment(segmentRecord)) return kNoId;
    const SegmentRecord& rec = segments_[segmentRecord];
    return rec.start == from ? rec.end : rec.start;
}

void RoadMap::relink(std::uint32_t vertex, std::uint32_t segmentRecord) {
    if (!isVertex(vertex)) return;
    walkLinks(links_, nodes_[vertex].firstLink, [&](std::uint32_t l) {
        if (links_[l].value == segmentRecord) links_[l].to = otherEnd(segmentRecord, vertex);
    });
}

void RoadMap::refreshLinkEnds() {
    if (!linkEndsStale_) return;
    for (std::uint32_t v = 0; v < nodes_.size(); ++v) {
        if (!(nodes_[v].flags & RecordFlag::Main)) continue;
        walkLinks(links_, nodes_[v].firstLink,
                  [&](std::uint32_t l) { links_[l].to = otherEnd(links_[l].value, v); });
    }
    linkEndsStale_ = false;
}

void RoadMap::hookRecord(std::uint32_t segmentRecord) {
    const SegmentRecord rec = segments_[segmentRecord];
    addLink(rec.start, segmentRecord);
    if (rec.direction & Direction::TwoWay) addLink(rec.end, segmentRecord);
}

bool RoadMap::addSegment(std::uint32_t id, std::uint32_t fromNode, std::uint32_t toNode,
                         SegmentAttributes attributes, std::uint16_t length, const NodeTransitions& table) {
    if (!validSegment(id) || nodeOf(fromNode) != fromNode || nodeOf(toNode) != toNode) return false;
    const std::vector<std::uint32_t> from = vertices(fromNode);
    const std::vector<std::uint32_t> to = vertices(toNode);
    for (const NodeTransition& t : table.entries()) {
        const bool forward = t.direction & Direction::Forward;
        if (t.in >= (forward ? from : to).size() || t.out >= (forward ? to : from).size()) {
            Log::log(Log::Critical, u"Road graph: segment %u names vertex %u/%u beyond its nodes' %u/%u", id,
                     unsigned(t.in), unsigned(t.out), unsigned(from.size()), unsigned(to.size()));
            return false;
        }
    }
    if (!initSegmentRecord(id, attributes, length, static_cast<std::uint32_t>(table.size()))) return false;
    const std::vector<std::uint32_t> records = segmentRecords(id);
    for (std::size_t i = 0; i < records.size() && i < table.size(); ++i) {
        const NodeTransition& t = table.entries()[i];
        SegmentRecord& rec = segments_[records[i]];
        if (t.direction & Direction::Forward) {
            rec.start = from[t.in];
            rec.end = to[t.out];
        } else {
            rec.start = to[t.in];
            rec.end = from[t.out];
        }
        rec.direction = t.direction;
    }
    if (ready_) {
        for (const std::uint32_t r : records)
            hookRecord(r);
    }
    return true;
}

bool RoadMap::addSegmentBetween(std::uint32_t id, std::uint32_t first, std::uint32_t second,
                                SegmentAttributes attributes, std::uint16_t length) {
    const std::size_t a = vertices(first).size();
    const std::size_t b = vertices(second).size();
    NodeTransitions table;
    for (std::size_t i = 0; i < a; ++i)
        for (std::size_t j = 0; j < b; ++j)
            table.add(static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(j), true,
                      attributes.road & RoadFlag::TwoWay);
    return addSegment(id, first, second, attributes, length, table);
}

bool RoadMap::segmentTransitions(std::uint32_t id, NodeTransitions& out) const {
    out.clear();
    const std::uint32_t head = segmentHead(id);
    if (head == kNoId) return false;
    const std::uint32_t from = segmentFromNode(head);
    const std::uint32_t to = segmentToNode(head);
    for (const std::uint32_t r : segmentRecords(head)) {
        const SegmentRecord& rec = segments_[r];
        const bool forward = rec.direction & Direction::Forward;
        const int in = vertexPosition(forward ? from : to, rec.start);
        const int outPos = vertexPosition(forward ? to : from, rec.end);
        if (in < 0 || outPos < 0 || in > 0xFFFF || outPos > 0xFFFF) return false;
        out.add(static_cast<std::uint16_t>(in), static_cast<std::uint16_t>(outPos), forward,
                rec.direction & Direction::TwoWay);
    }
    return true;
}

bool RoadMap::buildLinks() {
    ready_ = false;
    links_.clear();
    // The first-link field counts a vertex's links, then holds the end of
    // its run while the run is filled from the back.
    for (NodeRecord& n : nodes_)
        if (n.flags & RecordFlag::Main) n.firstLink = 0;
    std::uint64_t total = 0;
    std::uint32_t skipped = 0;
    for (const SegmentRecord& s : segments_) {
        if (!(s.flags & RecordFlag::Main)) continue;
        const bool twoWay = s.direction & Direction::TwoWay;
        if (!isVertex(s.start) || (twoWay && !isVertex(s.end))) {
            ++skipped;
            continue;
        }
        ++nodes_[s.start].firstLink;
        ++total;
        if (twoWay) {
            ++nodes_[s.end].firstLink;
            ++total;
        }
    }
    bool ok = total < kMaxRecords;
    if (ok) {
        try {
            links_.resize(static_cast<std::size_t>(total));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        Log::log(Log::Critical, u"Road graph: no room for %I64u links",
                 static_cast<unsigned long long>(total));
        links_.clear();
        for (NodeRecord& n : nodes_)
            if (n.flags & RecordFlag::Main) n.firstLink = kNoId;
        return false;
    }
    std::uint32_t next = 0;
    for (NodeRecord& n : nodes_) {
        if (!(n.flags & RecordFlag::Main)) continue;
        if (n.firstLink == 0) {
            n.firstLink = kNoId;
            continue;
        }
        next += n.firstLink;
        n.firstLink = next;
        links_[next - 1].flags = LinkFlag::LastLink;
    }
    for (std::uint32_t id = 0; id < segments_.size(); ++id) {
        const SegmentRecord& s = segments_[id];
        if (!(s.flags & RecordFlag::Main)) continue;
        const bool twoWay = s.direction & Direction::TwoWay;
        if (!isVertex(s.start) || (twoWay && !isVertex(s.end))) continue;
        LinkRecord& out = links_[--nodes_[s.start].firstLink];
        out.value = id;
        out.to = s.end;
        if (twoWay) {
            LinkRecord& in = links_[--nodes_[s.end].firstLink];
            in.value = id;
            in.to = s.start;
        }
    }
    if (skipped != 0)
        Log::log(Log::Critical, u"Road graph: %u segment records with bad end nodes left out of the links",
                 skipped);
    linkEndsStale_ = false;
    ready_ = true;
    return true;
}

RoadMap::Snapshot RoadMap::snapshot() const {
    return Snapshot{static_cast<std::uint32_t>(nodes_.size()), static_cast<std::uint32_t>(segments_.size()),
                    static_cast<std::uint32_t>(links_.size())};
}

std::uint32_t RoadMap::unhookedFirstLink(std::uint32_t first, std::uint32_t linkLimit) const {
    std::uint32_t l = first;
    for (std::size_t guard = 0; guard <= links_.size(); ++guard) {
        if (l < linkLimit) return l;
        if (l >= links_.size()) return kNoId;
        const LinkRecord& rec = links_[l];
        if (rec.flags & LinkFlag::LastLink) return kNoId;
        l = (rec.flags & LinkFlag::Jump) ? rec.value : l + 1;
    }
    return kNoId;
}

void RoadMap::restore(const Snapshot& s) {
    for (std::size_t r = s.segments; r < segments_.size(); ++r) {
        const SegmentRecord& rec = segments_[r];
        if (!(rec.flags & RecordFlag::Main)) continue;
        for (const std::uint32_t end : {rec.start, rec.end}) {
            if (end < s.nodes && isVertex(end))
                nodes_[end].firstLink = unhookedFirstLink(nodes_[end].firstLink, s.links);
        }
    }
    nodes_.resize(std::min<std::size_t>(nodes_.size(), s.nodes));
    segments_.resize(std::min<std::size_t>(segments_.size(), s.segments));
    segmentCosts_.resize(std::min<std::size_t>(segmentCosts_.size(), s.segments));
    links_.resize(std::min<std::size_t>(links_.size(), s.links));
}

void RoadMap::reverseSegmentRecord(SegmentRecord& record) {
    std::swap(record.start, record.end);
    record.direction ^= Direction::Forward;
}

void RoadMap::reverseDirection() {
    ready_ = false;
    for (NodeRecord& n : nodes_)
        if (n.flags & RecordFlag::Main) n.firstLink = kNoId;
    links_.clear();
    for (SegmentRecord& s : segments_)
        if (s.flags & RecordFlag::Main) reverseSegmentRecord(s);
    buildLinks();
}

std::uint32_t RoadMap::appendToNodeChain(std::uint32_t node) {
    if (nodeOf(node) != node) return kNoId;
    const std::uint32_t last = lastRecord(nodes_, node);
    const std::uint32_t added = appendNodeRecord();
    if (added == kNoId) return kNoId;
    chainAfter(nodes_, last, added);
    nodes_[added].head = node;
    nodes_[added].flags = RecordFlag::Main | RecordFlag::Last;
    return added;
}

std::uint32_t RoadMap::appendToSegmentChain(std::uint32_t segment) {
    if (segmentHead(segment) != segment) return kNoId;
    const std::uint32_t last = lastRecord(segments_, segment);
    const std::uint32_t added = appendSegmentRecord();
    if (added == kNoId) return kNoId;
    chainAfter(segments_, last, added);
    segments_[added].head = segment;
    segments_[added].flags = RecordFlag::Main | RecordFlag::Last;
    return added;
}
