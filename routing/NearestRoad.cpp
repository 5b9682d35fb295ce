#include "routing/NearestRoad.h"

#include "map/FloatMath.h"
#include "map/SegmentProjection.h"
#include "map/StateRecord.h"
#include "render/LevelPolylines.h"
#include "routing/RoadMapHolder.h"

#include <SDL/SDL_timer.h>

#include <cmath>

namespace Map::Routing {

namespace {

constexpr std::int64_t FirstRadius = 10000;
constexpr std::int64_t RadiusLimit = 1000000;
constexpr std::uint32_t TimeLimitMs = 1500;

void considerRoads(CoveringMap& covering, Point location, std::int64_t radius, NearestRoadSearch& state) {
    const LevelFrame& frame = covering.frame;
    const LocalPoint p = frame.toLocal(location);
    const MapDrawing::CellRect rect =
        MapDrawing::cellsAround(frame, p, static_cast<float>(static_cast<double>(radius) / frame.unit()));
    if (rect.x1 < rect.x0 || rect.y1 < rect.y0 || !covering.area->prepare(rect.x0, rect.y0, rect.x1, rect.y1))
        return;
    const std::uint32_t type = covering.map->mapType();
    MapDrawing::forEachPolyline(*covering.area, frame, rect, [&](const MapDrawing::LevelPolyline& line) {
        // Roads outside the road graph are never bound.
        if (line.item.road == MapDrawing::InvalidRoadId) return;
        const std::vector<LocalPoint>& points = *line.points;
        const PolylineFoot foot = nearestFoot(p, points.data(), points.size());
        if (!std::isfinite(foot.distance2)) return;
        bool accept = !state.found;
        if (!accept) {
            const float s = LevelFrame::scaleFactor(state.frame, frame);
            const bool closer = state.distance2 * s * s > foot.distance2;
            const int rankNew = Nearest::kindRank(type);
            const int rankBest = Nearest::kindRank(state.mapType);
            accept = state.preferRank ? rankNew > rankBest || (rankNew == rankBest && closer) : closer;
        }
        if (!accept) return;
        state.found = true;
        state.mapIndex = covering.mapIndex;
        state.mapType = type;
        state.frame = frame;
        state.projected = foot.point;
        state.distance2 = foot.distance2;
        state.nameIndex = line.item.caption;
        state.segmentId = line.item.road;
        const LocalPoint a = points[foot.segment];
        const LocalPoint b = points[foot.segment + 1];
        const float along[2] = {b.x - a.x, b.y - a.y};
        state.segmentDirection = headingDegrees(along);
    });
}

} // namespace

std::uint32_t sdlTicks() { return SDL_GetTicks(); }

std::vector<CoveringMap> mapsCoveringPoint(KVAtlas& atlas, Point point) {
    std::vector<CoveringMap> out;
    const auto& maps = atlas.maps();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        KVMap2& map = *maps[i];
        if (map.levelCount() == 0) continue;
        Level& level = map.level(0);
        const auto cell = MapDrawing::gridCellOf(level, point);
        if (!cell) continue;
        auto area = std::make_unique<ScopedArea>(level);
        const auto [x, y] = *cell;
        Level::CellItems items;
        if (!area->prepare(x, y, x, y) || !area->cellItems(x, y, items) || items.begin == items.end) continue;
        out.push_back({static_cast<std::uint32_t>(i), &map, LevelFrame::of(level), std::move(area)});
    }
    return out;
}

bool findNearestRoad(KVAtlas& atlas, Point location, NearestRoadSearch& state, const TicksSource& ticks) {
    const std::uint32_t start = ticks();
    std::vector<CoveringMap> covering = mapsCoveringPoint(atlas, location);
    for (std::int64_t r = FirstRadius;;) {
        const bool preferRank = state.preferRank;
        state = NearestRoadSearch{};
        state.preferRank = preferRank;
        state.lastRadius = r;
        for (CoveringMap& map : covering)
            considerRoads(map, location, r, state);
        if (state.found) {
            const double inscribed = static_cast<double>(r) / state.frame.unit();
            if (state.distance2 <= inscribed * inscribed) return true;
        }
        r *= 2;
        if (r > RadiusLimit || ticks() - start > TimeLimitMs) return false;
    }
}

bool bindToNearestRoad(KVAtlas& atlas, Point location, RoadBinding& out, const TicksSource& ticks) {
    NearestRoadSearch state;
    state.preferRank = true;
    if (!findNearestRoad(atlas, location, state, ticks)) return false;
    out = RoadBinding{};
    out.segmentId = state.segmentId;
    out.nameIndex = state.nameIndex;
    out.mapIndex = state.mapIndex;
    out.frame = state.frame;
    out.roadPoint = state.projected;
    out.pickedPoint = state.frame.toLocal(location);
    out.roadHeading = state.segmentDirection;
    return true;
}

bool roadFlag10(KVAtlas& atlas, const RoadBinding& bound) {
    KVMap2* map = atlas.mapAt(bound.mapIndex);
    RoadMapHolder* holder = map != nullptr ? RoadMapHolder::of(*map) : nullptr;
    if (holder == nullptr || RoadMap::load(*holder, atlas) != 0) return false;
    const RoadGraph::SegmentRecord* head = holder->graph()->segmentHeadRecord(bound.segmentId);
    return head != nullptr && (head->attributes.road & RoadGraph::RoadFlag::TwoWay) != 0;
}

} // namespace Map::Routing
