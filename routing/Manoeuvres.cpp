// The manoeuvre pass over a route, the next-manoeuvre and leg-end queries,
// the street runs of the street list and the default file name of a route.

#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "routing/ManoeuvreTypes.h"
#include "routing/Path.h"
#include "routing/PathPosition.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapHolder.h"

#include <algorithm>
#include <cstdlib>

using namespace RoadGraph;

namespace {

bool isMajor(std::uint8_t roadClass) {
    return roadClass == 8 || roadClass == 9;
}
constexpr std::uint8_t kRoundabout = 12;

bool isCoded(const PathPart& part) {
    return part.turnCode != 0 && part.turnCode != 40;
}

// A U-turn turns back onto the road the car came along: the same segment,
// or a road of the same name (the other carriageway of a divided road). A
// hairpin onto another street, even one whose first metres run beside the
// old one the other way, is a turn, however sharp.
bool sameRoad(const PathPart& from, const PathPart& to) {
    if (from.map != to.map) return false;
    if (from.segmentId != kNoId && from.segmentId == to.segmentId) return true;
    return from.nameIndex != 0 && from.nameIndex == to.nameIndex;
}

// Turn code 1..18 of the road data to a manoeuvre type.
std::uint32_t turnCodeType(std::uint8_t code, bool entering) {
    static constexpr std::uint8_t table[19] = {0,  0,  2,  1,  7,  18, 17, 24, 23, 22,
                                               27, 26, 25, 30, 29, 28, 33, 32, 31};
    if (code == 2 && entering) return 5;
    if (code == 3 && entering) return 6;
    return code < 19 ? table[code] : 0;
}

// The part's map's road graph, loaded on demand; null when it cannot be.
RoadMap* roadMapOf(const PathPart& part, Map::KVAtlas& atlas) {
    if (part.map == nullptr) return nullptr;
    RoadMapHolder* holder = RoadMapHolder::of(*part.map);
    if (holder == nullptr || RoadMap::load(*holder, atlas) != RoutingStatus::Success) return nullptr;
    return holder->graph();
}

std::uint32_t driveEndNode(const RoadMap& graph, const PathPart& part) {
    return part.forward ? graph.segmentToNode(part.segmentId) : graph.segmentFromNode(part.segmentId);
}
std::uint32_t driveStartNode(const RoadMap& graph, const PathPart& part) {
    return part.forward ? graph.segmentFromNode(part.segmentId) : graph.segmentToNode(part.segmentId);
}

bool isRoundaboutSegment(const RoadMap& graph, std::uint32_t segmentRecord) {
    const SegmentRecord* head = graph.segmentHeadRecord(segmentRecord);
    return head != nullptr && (head->attributes.road & RoadFlag::Roundabout);
}

// A segment linked at one of the node's vertices is a roundabout road.
bool isRoundaboutNode(const RoadMap& graph, std::uint32_t node) {
    if (!graph.validNode(node)) return false;
    for (const std::uint32_t vertex : graph.vertices(node))
        for (const std::uint32_t s : graph.linkedSegments(vertex))
            if (isRoundaboutSegment(graph, s)) return true;
    return false;
}

// Travel arriving at `node` along `segment` can leave it by a road that is
// neither that segment nor part of the roundabout.
bool hasExit(const RoadMap& graph, std::uint32_t node, std::uint32_t segment) {
    const std::uint32_t own = graph.segmentHead(segment);
    if (own == kNoId) return false;
    for (const std::uint32_t r : graph.segmentRecords(own)) {
        const SegmentRecord& record = graph.segments()[r];
        std::uint32_t at = kNoId;
        bool atEnd = false;
        if (graph.nodeOf(record.start) == node) {
            at = record.start;
        } else if (graph.nodeOf(record.end) == node) {
            at = record.end;
            atEnd = true;
        } else {
            continue;
        }
        if (!(record.direction & Direction::TwoWay) && !atEnd) continue;
        for (const std::uint32_t s : graph.linkedSegments(at))
            if (graph.segmentHead(s) != own && !isRoundaboutSegment(graph, s)) return true;
    }
    return false;
}

} // namespace

bool Path::classifyManoeuvre(Path& path, std::size_t p, Map::KVAtlas& atlas, PathPosition& place) {
    if (p + 1 >= path.parts.size()) return false;
    PathPart& from = path.parts[p];
    PathPart& into = path.parts[p + 1];
    const PathPosition a = PathPosition::onPart(path, p, false);
    const PathPosition b = PathPosition::onPart(path, p + 1, true);
    const auto set = [&](const PathPosition& at, PathPart& part, std::uint32_t type) {
        part.manoeuvre = type;
        place = at;
        return true;
    };
    const auto none = [&] {
        into.manoeuvre = 0;
        return false;
    };

    if (isMajor(from.roadClass) && isMajor(into.roadClass)) return none();
    if (isMajor(from.roadClass) && (isCoded(from) || isCoded(into))) return none();
    if (!isMajor(from.roadClass) && isMajor(into.roadClass)) {
        if (isCoded(into)) {
            into.manoeuvre = turnCodeType(into.turnCode, true);
            if (into.manoeuvre == 0) return false;
            place = b;
            return true;
        }
        return set(b, into, headingChange(a.heading(), b.heading()) >= 0 ? 5 : 6);
    }
    if (isCoded(from)) {
        into.manoeuvre = turnCodeType(from.turnCode, false);
        if (into.manoeuvre == 0) return false;
        into.manoeuvreAux = from.lengthMetres;
        place = b;
        return true;
    }
    if (isCoded(into)) return none();
    if (from.roadClass == kRoundabout && into.roadClass == kRoundabout) return none();

    const RoadMap* graph = roadMapOf(from, atlas);
    if (graph == nullptr) return none();
    const std::uint32_t node = driveEndNode(*graph, from);
    const bool roundaboutNode = isRoundaboutNode(*graph, node);
    if (from.roadClass != kRoundabout && roundaboutNode)
        return set(b, into, into.roadClass == kRoundabout ? 19 : 3);
    if (from.roadClass == kRoundabout && into.roadClass != kRoundabout && roundaboutNode) {
        // The exits passed, the one taken included: every node at which a
        // roundabout part of the run ends and which offers a way out.
        std::uint32_t count = 0;
        for (std::size_t r = p + 1; r-- > 0 && path.parts[r].roadClass == kRoundabout;) {
            const PathPart& part = path.parts[r];
            if (part.map == from.map && hasExit(*graph, driveEndNode(*graph, part), part.segmentId)) ++count;
        }
        return set(b, into, count >= 1 && count <= 9 ? 7 + count : 4);
    }
    if (from.turnCode == 40 || into.turnCode == 40) return none();

    const int a0 = a.heading();
    if (std::abs(headingChange(a0, b.heading())) > 175 && sameRoad(from, into)) return set(b, into, UTurnManoeuvre);
    if (p + 2 < path.parts.size() && into.lengthMetres < 35 && sameRoad(from, path.parts[p + 2])) {
        const PathPosition d = PathPosition::onPart(path, p + 2, true);
        if (std::abs(headingChange(a0, d.heading())) > 160) {
            PathPart& after = path.parts[p + 2];
            after.manoeuvreAux = into.lengthMetres;
            return set(d, after, UTurnManoeuvre);
        }
    }
    // Very short segments at the junction say little about the direction:
    // look past them on both sides.
    PathPosition x = a;
    while (x.segmentShorterThan(6.0f))
        if (!x.stepBackward()) break;
    if (x.part != p) return false;
    PathPosition y = b;
    while (y.segmentShorterThan(6.0f)) {
        y.stepForward();
        if (y.isAtEnd()) return false;
    }
    const int d = headingChange(x.heading(), y.heading());
    if (std::abs(d) > 30) return set(b, into, d >= 0 ? 2 : 1);
    if (std::abs(d) > 15) return set(b, into, d >= 0 ? 18 : 17);
    return false;
}

void Path::computeManoeuvres(Path& path, Map::KVAtlas& atlas, std::uint16_t stickMetres) {
    if (path.parts.empty()) return;
    // A coded turn at a roundabout is left to the roundabout rules.
    for (PathPart& part : path.parts) {
        if (part.turnCode == 0) continue;
        const RoadMap* graph = roadMapOf(part, atlas);
        if (graph == nullptr) continue;
        if (isRoundaboutNode(*graph, driveStartNode(*graph, part)) ||
            isRoundaboutNode(*graph, driveEndNode(*graph, part)))
            part.turnCode = 40;
    }
    std::size_t p = 0;
    while (p + 1 < path.parts.size()) {
        PathPosition place;
        p = classifyManoeuvre(path, p, atlas, place) && place.part > p ? place.part : p + 1;
    }

    // Same-type sticking: a manoeuvre of the type just announced, too near
    // behind it, is dropped.
    PathPosition prev(path, true);
    PathPosition from = prev;
    PathPosition m;
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    while (path.nextManoeuvre(from, m, type, aux)) {
        from = m;
        const PathPosition end(path, false);
        std::uint32_t gap = 0;
        if (PathPosition::isBefore(prev, m)) {
            const std::uint32_t d = PathPosition::distanceTo(prev, m);
            gap = d > aux ? d - aux : 0;
        }
        const std::uint32_t prevType = prev.isAtEnd() ? 0 : prev.currentPart().manoeuvre;
        if (PathPosition::distanceTo(m, end) == 0 || type != prevType || gap >= stickMetres) {
            prev = m;
            continue;
        }
        path.parts.at(m.part).manoeuvre = 0;
    }
}

bool Path::manoeuvreAfter(std::size_t p, PathPosition& position, std::uint32_t& type, std::uint16_t& aux) const {
    if (p + 1 >= parts.size() || parts[p + 1].manoeuvre == 0) return false;
    position = PathPosition::onPart(*this, p + 1, true);
    type = parts[p + 1].manoeuvre;
    aux = parts[p + 1].manoeuvreAux;
    return true;
}

bool Path::nextManoeuvre(const PathPosition& from, PathPosition& position, std::uint32_t& type,
                         std::uint16_t& aux) const {
    if (from.isAtEnd()) return false;
    const PathPosition end(*this, false);
    if (PathPosition::distanceTo(from, end) == 0) return false;
    for (std::size_t p = from.part; p < parts.size(); ++p)
        if (manoeuvreAfter(p, position, type, aux)) return true;
    position = end;
    type = ArrivalManoeuvre;
    aux = 0;
    return true;
}

bool Path::legEnd(const PathPosition& from, PathPosition& position, std::uint16_t& legNumber) const {
    if (from.isAtEnd()) return false;
    std::size_t p = from.part;
    while (p + 1 < parts.size() && parts[p + 1].legIndex == parts[p].legIndex)
        ++p;
    position = PathPosition::onPart(*this, p, false);
    legNumber = static_cast<std::uint16_t>(parts[p].legIndex + 1);
    return true;
}

namespace {

std::u16string nameOf(Map::KVMap2* map, std::uint32_t nameIndex) {
    std::u16string name;
    if (map != nullptr && nameIndex != 0 && !map->stringsReader().string(nameIndex, name)) name.clear();
    return name;
}

} // namespace

void Path::collectStreetRuns(const Path& path, std::vector<StreetRun>& rows) {
    rows.clear();
    std::size_t runs = 0;
    for (std::size_t i = 0; i < path.parts.size(); ++i)
        if (i == 0 || path.parts[i].manoeuvre != 0 || path.parts[i].nameIndex != path.parts[i - 1].nameIndex) ++runs;
    rows.reserve(runs);
    std::uint32_t runName = 0;
    for (std::size_t i = 0; i < path.parts.size(); ++i) {
        const PathPart& part = path.parts[i];
        if (i == 0 || part.manoeuvre != 0 || part.nameIndex != runName) {
            runName = part.nameIndex;
            StreetRun row;
            row.name = nameOf(part.map, part.nameIndex);
            if (part.level != nullptr) {
                const PartCursor start = PartCursor::inDriveDirection(part, true);
                row.start = Map::LevelFrame::of(*part.level).toGlobal(start.levelPoint());
            }
            rows.push_back(std::move(row));
        }
        rows.back().lengthMetres += part.lengthMetres;
    }
}

void Path::defaultFileName(const Path& path, std::u16string& name) {
    name.clear();
    if (path.points.size() < 2) return;
    const auto pointName = [](const PathPoint& point) {
        return point.isSet() ? nameOf(point.map, point.nameIndex) : std::u16string();
    };
    name = pointName(path.points.front()) + u" - " + pointName(path.points.back()) + u".kvp";
    // Road names come from the map: none may leave the folder or break the
    // file system's rules.
    for (char16_t& c : name)
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) c = u'_';
}
