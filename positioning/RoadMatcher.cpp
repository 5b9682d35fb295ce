#include "positioning/RoadMatcher.h"

#include "core/SdlMutex.h"
#include "map/ScopedArea.h"
#include "map/StateRecord.h"
#include "render/LevelPolylines.h"

#include <algorithm>
#include <cmath>

namespace Positioning {

namespace {

bool isRoadType(std::uint8_t type) {
    return (type >= 1 && type <= 12) || type == 22 || type == 66 || type == 67;
}

} // namespace

std::vector<RoadPolyline> collectRoads(Map::KVAtlas& atlas, Map::Point point, double radius) {
    std::vector<RoadPolyline> roads;
    const auto& maps = atlas.maps();
    int bestRank = 0;
    for (const auto& map : maps)
        if (map->levelCount() > 0 && MapDrawing::gridCellOf(map->level(0), point))
            bestRank = std::max(bestRank, Map::Nearest::kindRank(map->mapType()));
    for (std::size_t m = 0; m < maps.size(); ++m) {
        Map::KVMap2& map = *maps[m];
        if (map.levelCount() == 0 || Map::Nearest::kindRank(map.mapType()) != bestRank) continue;
        Map::Level& level = map.level(0);
        const Map::LevelFrame frame = Map::LevelFrame::of(level);
        const MapDrawing::CellRect rect =
            MapDrawing::cellsAround(frame, frame.toLocal(point), static_cast<float>(radius / frame.unit()));
        if (rect.x1 < rect.x0 || rect.y1 < rect.y0) continue;
        Map::ScopedArea area(level);
        if (!area.prepare(rect.x0, rect.y0, rect.x1, rect.y1)) continue;
        MapDrawing::forEachPolyline(area, frame, rect, [&](const MapDrawing::LevelPolyline& line) {
            const bool inGraph = line.item.road != MapDrawing::InvalidRoadId;
            if (!inGraph && !isRoadType(line.item.type)) return;
            RoadPolyline road;
            road.ref = {static_cast<std::uint32_t>(m), 0, line.cellX, line.cellY, line.offset};
            road.frame = frame;
            road.points = *line.points;
            road.polylineId = line.item.road;
            road.caption = line.item.caption;
            road.type = line.item.type;
            road.oneWay = inGraph && line.item.direction != 0;
            roads.push_back(std::move(road));
        });
    }
    return roads;
}

std::optional<ScoredRoad> scoreRoad(const RoadPolyline& road, const MatchInput& input, const MatchSettings& settings) {
    const Map::LocalPoint p = road.frame.toLocal(input.point);
    const float unitsPerMetre = static_cast<float>(input.unitsPerMetre / road.frame.unit());
    const float maxDist = settings.maxDistMetres * unitsPerMetre;
    bool ofRoute = false;
    bool routeForward = true;
    if (input.routeRoads != nullptr && input.scatterMetres > 0.0f && road.polylineId != 0xFFFFFFFFu)
        for (const RouteRoad& r : *input.routeRoads)
            if (r.mapIndex == road.ref.mapIndex && r.polylineId == road.polylineId) {
                ofRoute = true;
                routeForward = r.forward;
            }
    const float nearer = ofRoute ? input.scatterMetres * unitsPerMetre : 0.0f;
    const Map::PolylineFoot foot = Map::nearestFoot(p, road.points.data(), road.points.size(), maxDist + nearer);
    if (!(foot.distance2 <= (maxDist + nearer) * (maxDist + nearer))) return std::nullopt;
    ScoredRoad scored;
    scored.foot = foot;
    scored.cost = foot.distance2 / (maxDist * maxDist);
    if (ofRoute) {
        // Only where the car goes the route's way along it.
        const Map::LocalPoint a = road.points[foot.segment];
        const Map::LocalPoint b = road.points[foot.segment + 1];
        const float direction = static_cast<float>(std::atan2(b.x - a.x, b.y - a.y) * 57.29578);
        const bool routeWay = !(input.speed > settings.minSpeed && input.headingKnown) ||
                              headingDifference(routeForward ? direction : direction + 180.0f, input.heading) < 90.0f;
        const float beyond = std::max(0.0f, std::sqrt(foot.distance2) - nearer);
        if (routeWay) scored.cost = beyond * beyond / (maxDist * maxDist);
        else if (!(foot.distance2 <= maxDist * maxDist)) return std::nullopt;
    }
    if (!(input.speed > settings.minSpeed)) {
        if (input.current && *input.current == road.ref) scored.cost -= settings.oldPolylineAttraction;
    } else if (input.headingKnown) {
        // A moving car without a course is scored by distance alone: its
        // heading of 0 would favour the roads that run north.
        const Map::LocalPoint a = road.points[foot.segment];
        const Map::LocalPoint b = road.points[foot.segment + 1];
        const float direction = static_cast<float>(std::atan2(b.x - a.x, b.y - a.y) * 57.29578);
        float angle = headingDifference(direction, input.heading);
        if (!road.oneWay) angle = std::min(angle, 180.0f - angle);
        scored.cost += angle * 0.011111111f;
    }
    return scored;
}

float headingDifference(float a, float b) {
    const float d = std::fmod(std::fabs(a - b), 360.0f);
    return d > 180.0f ? 360.0f - d : d;
}

float costWeight(float cost) { return cost > 4.0f ? 0.0f : std::exp(-cost); }

MatchResult matchRoads(const std::vector<RoadPolyline>& roads, const MatchInput& input, const MatchSettings& settings) {
    MatchResult result;
    float sum = 0.0f;
    for (std::size_t i = 0; i < roads.size(); ++i) {
        std::optional<ScoredRoad> scored = scoreRoad(roads[i], input, settings);
        if (!scored) continue;
        scored->index = i;
        sum += costWeight(scored->cost);
        if (!result.best || scored->cost < result.best->cost) result.best = scored;
    }
    if (result.best)
        result.probability = std::fabs(sum) <= 1e-8f ? 1.0f : costWeight(result.best->cost) / sum;
    return result;
}

bool connected(Map::LocalPoint a, Map::LocalPoint b, int e) {
    const float dx = std::fabs(a.x - b.x);
    const float dy = std::fabs(a.y - b.y);
    const float limit = static_cast<float>(e);
    return dx <= limit && dy <= limit && dx * dx + dy * dy < limit * limit;
}

std::vector<RoadPolyline> connectedRoads(const RoadPolyline& road, const std::vector<RoadPolyline>& roads, int e) {
    std::vector<RoadPolyline> out{road};
    if (road.points.empty()) return out;
    const Map::LocalPoint ends[2] = {road.points.front(), road.points.back()};
    for (const RoadPolyline& other : roads) {
        if (other.ref == road.ref || other.ref.mapIndex != road.ref.mapIndex || !(other.frame == road.frame) ||
            other.points.empty())
            continue;
        const Map::LocalPoint otherEnds[2] = {other.points.front(), other.points.back()};
        bool linked = false;
        for (const Map::LocalPoint a : ends)
            for (const Map::LocalPoint b : otherEnds)
                linked = linked || connected(a, b, e);
        if (linked) out.push_back(other);
    }
    return out;
}

std::optional<Map::LevelFrame> levelForPoint(Map::KVAtlas& atlas, Map::Point point) {
    Threading::SdlLock lock(atlas.mutex());
    std::optional<Map::LevelFrame> best;
    for (const auto& map : atlas.maps()) {
        if (map->levelCount() == 0 || !MapDrawing::gridCellOf(map->level(0), point)) continue;
        const Map::LevelFrame frame = Map::LevelFrame::of(map->level(0));
        if (!best || frame.coordinateBits > best->coordinateBits) best = frame;
    }
    return best;
}

} // namespace Positioning
