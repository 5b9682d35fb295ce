#include "positioning/RoadMatcher.h"

#include "core/SdlMutex.h"
#include "map/ScopedArea.h"
#include "map/StateRecord.h"
#include "positioning/CarState.h"
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
    const auto direction = [&](std::size_t segment) {
        const Map::LocalPoint a = road.points[segment];
        const Map::LocalPoint b = road.points[segment + 1];
        return static_cast<float>(std::atan2(b.x - a.x, b.y - a.y) * 57.29578);
    };
    // What the car's course adds to a segment's cost: a moving car without
    // a course is scored by distance alone (its heading of 0 would favour
    // the roads that run north); a standing one favours the road it held.
    const auto courseCost = [&](std::size_t segment) {
        if (!(input.speed > settings.minSpeed))
            return input.current && *input.current == road.ref ? -settings.oldPolylineAttraction : 0.0f;
        if (!input.headingKnown) return 0.0f;
        float angle = headingDifference(direction(segment), input.heading);
        if (!road.oneWay) angle = std::min(angle, 180.0f - angle);
        return angle * 0.011111111f;
    };
    // The ways the route drives this road near the car: one, or both where
    // it goes out along the road and comes back.
    bool routeForward = false;
    bool routeBackward = false;
    if (input.routeRoads != nullptr && input.scatterMetres > 0.0f && road.polylineId != NoPolylineId)
        for (const RouteRoad& r : *input.routeRoads)
            if (r.nearCar && r.mapIndex == road.ref.mapIndex && r.polylineId == road.polylineId)
                (r.forward ? routeForward : routeBackward) = true;
    if (!routeForward && !routeBackward) {
        const Map::PolylineFoot foot = Map::nearestFoot(p, road.points.data(), road.points.size(), maxDist);
        if (!(foot.distance2 <= maxDist * maxDist)) return std::nullopt;
        return ScoredRoad{0, foot.distance2 / (maxDist * maxDist) + courseCost(foot.segment), foot};
    }
    // A road of the route near the car counts as the fix's scatter nearer
    // along every stretch of it the car's course goes the route's way (any
    // way without a course), and the cheapest stretch within reach is its
    // score: in a roundabout or a bend the stretch nearest a fix that lies
    // 40 m off runs another way than the car, which is on another stretch
    // of it. A stretch the course runs against is any road's.
    const float nearer = input.scatterMetres * unitsPerMetre;
    const float reach = maxDist + nearer;
    const bool anyWay = !(input.speed > settings.minSpeed && input.headingKnown);
    std::optional<ScoredRoad> best;
    for (std::size_t i = 0; i + 1 < road.points.size(); ++i) {
        Map::PolylineFoot foot;
        foot.point = Map::footOnSegment(p, road.points[i], road.points[i + 1]);
        foot.distance2 = (foot.point.x - p.x) * (foot.point.x - p.x) + (foot.point.y - p.y) * (foot.point.y - p.y);
        foot.segment = i;
        if (!(foot.distance2 <= reach * reach)) continue;
        const bool routeWay =
            anyWay || (routeForward && headingDifference(direction(i), input.heading) < 90.0f) ||
            (routeBackward && headingDifference(direction(i) + 180.0f, input.heading) < 90.0f);
        if (!routeWay && !(foot.distance2 <= maxDist * maxDist)) continue;
        const float beyond = routeWay ? std::max(0.0f, std::sqrt(foot.distance2) - nearer) : std::sqrt(foot.distance2);
        const float cost = beyond * beyond / (maxDist * maxDist) + courseCost(i);
        if (!best || cost < best->cost) best = ScoredRoad{0, cost, foot};
    }
    return best;
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
