// Route parts from road-graph segments: the geometry of each segment's
// shape, read from the map's first level.

#include "map/KVMap2.h"
#include "map/file/RoutingSectionReader.h"
#include "render/CellItems.h"
#include "routing/Path.h"
#include "routing/RoadMap.h"
#include "routing/RoadMapHolder.h"
#include "routing/SearchPosition.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace {

// Room for the header and the points of any polyline item (255 points of
// fields up to 31 bits).
constexpr std::uint32_t kObjectBuffer = 2024;

// Reads the polyline item at a geometry-section offset into a polyline of
// the part; the first one read also names the part's road. False when the
// item is shorter than its header and points announce.
bool readPolyline(Map::KVMap2& map, std::uint32_t offset, PathPart& part, PathPolyline& line, bool first) {
    std::array<std::uint8_t, kObjectBuffer> item{};
    const std::uint32_t read = map.geometryReader().readRaw(offset, item.data(), kObjectBuffer);
    if (read < 10) return false;
    const unsigned w = static_cast<unsigned>(map.level(0).cellShift()) + 1;
    const std::uint32_t n = item[9];
    if (read < 10 + (2ull * n * w + 7) / 8) return false;
    line.points.clear();
    for (std::uint32_t i = 0; i < n; ++i) {
        const Map::LocalPoint p{
            static_cast<float>(MapDrawing::PolylineDecoder::readBits(item.data() + 10, 2ull * i * w, w)),
            static_cast<float>(MapDrawing::PolylineDecoder::readBits(item.data() + 10, (2ull * i + 1) * w, w))};
        if (line.points.empty() || !(line.points.back() == p)) line.points.push_back(p);
    }
    if (line.points.empty()) return false;
    if (line.points.size() == 1) line.points.push_back(line.points.front());
    if (first) {
        part.roadClass = item[4];
        part.nameIndex = static_cast<std::uint32_t>(item[0] | item[1] << 8 | item[2] << 16) |
                         static_cast<std::uint32_t>(item[3]) << 24;
        part.level = &map.level(0);
    }
    return true;
}

void setLength(const RoadMap& graph, PathPart& part) {
    const RoadGraph::SegmentRecord* head = graph.segmentHeadRecord(part.segmentId);
    part.lengthMetres = head != nullptr ? head->length : 0;
    part.setMetresPerUnit(part.lengthMetres);
}

} // namespace

std::int32_t RoadMap::partAlongSegment(RoadMapHolder& slot, Map::Atlas& atlas, std::uint32_t segmentId,
                                       PathPart& out) {
    std::vector<Map::File::ShapeStep> steps;
    const std::int32_t status = segmentShape(slot, atlas, segmentId, steps);
    if (status != RoutingStatus::Success) return status;
    PathPart part;
    part.map = slot.map();
    part.segmentId = segmentId;
    part.polylines.resize(steps.size());
    for (std::size_t j = 0; j < steps.size(); ++j) {
        part.polylines[j].cellX = steps[j].x;
        part.polylines[j].cellY = steps[j].y;
        if (!readPolyline(*slot.map(), steps[j].value, part, part.polylines[j], j == 0))
            return RoutingStatus::MapFormat;
    }
    setLength(*slot.graph(), part);
    out = std::move(part);
    return RoutingStatus::Success;
}

std::int32_t RoadMap::buildParts(RoadMapHolder& slot, Map::Atlas& atlas,
                                 const std::vector<Map::Routing::RouteSegment>& segments, Path& out) {
    out.parts.clear();
    const std::int32_t status = load(slot, atlas);
    if (status != RoutingStatus::Success) return status;
    out.parts.resize(segments.size());
    // (geometry offset, part, polyline): the geometry section is read front
    // to back whatever order the route takes.
    std::vector<std::tuple<std::uint32_t, std::size_t, std::size_t>> reads;
    std::vector<Map::File::ShapeStep> steps;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (segmentShape(slot, atlas, segments[i].segmentId, steps) != RoutingStatus::Success)
            return RoutingStatus::MapFormat;
        PathPart& part = out.parts[i];
        part.polylines.resize(steps.size());
        for (std::size_t j = 0; j < steps.size(); ++j) {
            part.polylines[j].cellX = steps[j].x;
            part.polylines[j].cellY = steps[j].y;
            reads.emplace_back(steps[j].value, i, j);
        }
    }
    std::sort(reads.begin(), reads.end());
    std::vector<bool> named(segments.size(), false);
    for (const auto& [offset, i, j] : reads) {
        PathPart& part = out.parts[i];
        if (!readPolyline(*slot.map(), offset, part, part.polylines[j], !named[i])) return RoutingStatus::MapFormat;
        named[i] = true;
    }
    for (std::size_t i = 0; i < segments.size(); ++i) {
        PathPart& part = out.parts[i];
        part.map = slot.map();
        part.segmentId = segments[i].segmentId;
        part.forward = segments[i].forward;
        part.turnCode = segments[i].turnCode;
        setLength(*slot.graph(), part);
    }
    return RoutingStatus::Success;
}
