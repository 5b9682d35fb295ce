#include "routing/AtlasRoute.h"

#include "core/ConfigNode.h"
#include "core/Log.h"
#include "map/KVAtlas.h"
#include "map/Level.h"
#include "routing/PathFile.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteComputation.h"
#include "routing/RoutingParams.h"

#include <algorithm>
#include <cmath>

bool AtlasRoute::read(const std::u16string& file, Map::KVAtlas& atlas) {
    const bool read = PathFile::read(file, atlas, m_path);
    // What was just read is what the file holds; a file that failed to read
    // is not replaced until the driver sets a route.
    m_unsaved = 0;
    return read;
}

bool AtlasRoute::write(const std::u16string& name, const std::u16string& file, int& error) {
    return PathFile::write(name, file, m_path, &error);
}

namespace {

bool bound(const PathPoint& point) {
    if (point.map != nullptr) return true;
    Map::Routing::routingResult().success = 0;
    Map::Routing::routingResult().status = RoutingStatus::NotOnRoad;
    return false;
}

// A request that found no route is logged beside the found ones ("Route
// of"), with the status the map page shows a message for.
bool notFound(Core::ConfigNode& config) {
    const std::int32_t status = Map::Routing::routingResult().status;
    const char* key = Map::Routing::statusMessageKey(status);
    Log::log(Log::Normal, u"Route not found: status %d (%hs, routing mode %d)", status, *key ? key : "internal error",
             config.child("Routing")->value("routing_mode", 1));
    return false;
}

} // namespace

bool AtlasRoute::startPathAt(const PathPoint& point) {
    if (!bound(point)) return false;
    m_path.parts.clear();
    m_path.clearPoints();
    m_path.points.push_back(point);
    m_path.legCount = 0;
    m_path.markChanged();
    return true;
}

bool AtlasRoute::calculatePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& point) {
    if (!bound(point)) return notFound(config);
    if (m_path.points.empty()) return startPathAt(point);
    Path leg;
    if (!Map::Routing::computePath(atlas, config, m_path.points.back(), point, leg, false)) return notFound(config);
    // The new leg continues the route from its last point.
    m_path.appendPath(leg);
    std::uint64_t metres = 0;
    for (const PathPart& part : m_path.parts) metres += part.lengthMetres;
    Log::log(Log::Normal, u"Route of %I64u m over %u points (routing mode %d)", metres,
             static_cast<std::uint32_t>(m_path.points.size()), config.child("Routing")->value("routing_mode", 1));
    atlas.requestRedraw();
    return true;
}

bool AtlasRoute::recalculatePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& point) {
    if (!bound(point)) return notFound(config);
    m_path.keepStartOnly();
    return calculatePath(atlas, config, point);
}

PathPoint boundPoint(Map::KVAtlas& atlas, const Map::Routing::RoadBinding& binding) {
    PathPoint point;
    Map::KVMap2* map = atlas.mapAt(binding.mapIndex);
    if (map == nullptr || binding.segmentId == Map::Routing::NoSegment) return point;
    for (std::size_t i = 0; i < map->levelCount(); ++i) {
        if (!(Map::LevelFrame::of(map->level(i)) == binding.frame)) continue;
        point.map = map;
        point.segmentId = binding.segmentId;
        point.allowForward = 1;
        point.allowBackward = 1;
        point.nameIndex = binding.nameIndex;
        point.roadPoint = {&map->level(i), binding.roadPoint.x, binding.roadPoint.y};
        point.pickedPoint = {&map->level(i), binding.pickedPoint.x, binding.pickedPoint.y};
        break;
    }
    return point;
}

bool AtlasRoute::startPathAtLocation(Map::KVAtlas& atlas, Map::Point location) {
    Map::Routing::RoadBinding binding;
    return Map::Routing::bindToNearestRoad(atlas, location, binding) && startPathAt(boundPoint(atlas, binding));
}

bool AtlasRoute::addPathPointAtLocation(Map::KVAtlas& atlas, Core::ConfigNode& config, Map::Point location) {
    Map::Routing::RoadBinding binding;
    return Map::Routing::bindToNearestRoad(atlas, location, binding) &&
           addPathPoint(atlas, config, boundPoint(atlas, binding));
}

std::uint32_t pathCost(const Path& path, Core::ConfigNode& config) {
    const RoutingParams params = RoutingParams::fromConfig(*config.child("Routing"));
    std::uint64_t sum = 0;
    for (const PathPart& part : path.parts) {
        RoadMapHolder* holder = part.map != nullptr ? RoadMapHolder::of(*part.map) : nullptr;
        const RoadGraph::SegmentRecord* head =
            holder != nullptr && holder->graph() != nullptr ? holder->graph()->segmentHeadRecord(part.segmentId) : nullptr;
        if (head == nullptr) return RoadGraph::kInfiniteCost;
        const std::uint32_t cost = Map::Routing::segmentCost(params, head->attributes, part.lengthMetres);
        if (cost == RoadGraph::kInfiniteCost) return cost;
        sum += cost;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(sum, RoadGraph::kInfiniteCost - 1));
}

bool AtlasRoute::addPathPoint(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& point) {
    if (!bound(point)) return notFound(config);
    if (m_path.points.empty()) return startPathAt(point);
    return Map::Routing::insertPathPoint(atlas, config, m_path, point) || notFound(config);
}

RouteLine::RouteLine(Path& path, Map::KVAtlas& atlas) : m_path(path), m_atlas(atlas) {
    m_path.addChangeFlag(&m_changed);
}

RouteLine::~RouteLine() {
    m_path.removeChangeFlag(&m_changed);
}

const std::vector<std::vector<MapDrawing::RoutePiece>>& RouteLine::parts() const {
    refresh();
    return m_pieces;
}

const std::vector<MapDrawing::RoutePoint>& RouteLine::points() const {
    refresh();
    return m_points;
}

void RouteLine::refresh() const {
    if (!m_changed) return;
    m_changed = 0;
    m_pieces.clear();
    m_points.clear();
    const auto& maps = m_atlas.maps();
    for (const PathPart& part : m_path.parts) {
        const auto map = std::find_if(maps.begin(), maps.end(), [&](const auto& m) { return m.get() == part.map; });
        if (map == maps.end() || part.level == nullptr) continue;
        const Map::LevelFrame frame = Map::LevelFrame::of(*part.level);
        const double cell = std::ldexp(1.0, frame.cellShift);
        std::vector<MapDrawing::RoutePiece>& pieces = m_pieces.emplace_back();
        for (const PathPolyline& line : part.polylines) {
            MapDrawing::RoutePiece piece;
            piece.mapIndex = static_cast<std::uint32_t>(map - maps.begin());
            piece.frame = frame;
            piece.cellX = line.cellX;
            piece.cellY = line.cellY;
            for (const Map::LocalPoint& p : line.points)
                piece.points.push_back(Map::LocalPoint{static_cast<float>(line.cellX * cell + p.x),
                                                       static_cast<float>(line.cellY * cell + p.y)});
            pieces.push_back(std::move(piece));
        }
    }
    for (const PathPoint& point : m_path.points) {
        MapDrawing::RoutePoint mark;
        if (point.isSet()) mark.frame = Map::LevelFrame::of(*point.roadPoint.level);
        mark.point = Map::LocalPoint{point.roadPoint.x, point.roadPoint.y};
        m_points.push_back(mark);
    }
}
