// Route geometry queries: nearest points on the route, its bounding box and
// the links between route points and the places asked for.

#include "map/Level.h"
#include "map/Projection.h"
#include "routing/Path.h"
#include "routing/PathPosition.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool sameSegment(const PathPosition& a, const PathPosition& b) {
    return a.part == b.part && a.cursor.polyline == b.cursor.polyline &&
           a.cursor.segmentIndex == b.cursor.segmentIndex;
}

// Nearest point of the segment under `at` to a level point of the part's
// level; `at` is moved onto it. The squared distance in level units.
double projectOnSegment(PathPosition& at, Map::LocalPoint levelPoint) {
    PartCursor& c = at.cursor;
    const double size = std::ldexp(1.0, at.currentPart().level->cellShift());
    const double px = levelPoint.x - c.cellX * size;
    const double py = levelPoint.y - c.cellY * size;
    const Map::LocalPoint a = c.point();
    const Map::LocalPoint b = c.nextPoint();
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double l2 = ex * ex + ey * ey;
    double t = l2 > 0.0 ? ((px - a.x) * ex + (py - a.y) * ey) / l2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double nx = a.x + t * ex, ny = a.y + t * ey;
    c.offset = static_cast<float>(t * std::sqrt(l2));
    c.x = static_cast<float>(nx);
    c.y = static_cast<float>(ny);
    return (px - nx) * (px - nx) + (py - ny) * (py - ny);
}

// Walks the segments from `from` to `to` (both included), calling visit
// with a position on each.
template <typename Visit>
void walkSegments(const PathPosition& from, const PathPosition& to, Visit visit) {
    PathPosition at = from;
    while (!at.isAtEnd() && !PathPosition::isBefore(to, at)) {
        if (at.currentPart().level != nullptr) visit(at);
        if (sameSegment(at, to)) break;
        at.stepForward();
    }
}

struct Nearest {
    bool found = false;
    double distance = 0.0; // in the units of `unit`
    double unit = 1.0;     // global units per level unit of the best's level
    PathPosition position;

    void offer(const PathPosition& at, double d, double levelUnit) {
        // Squared distances of two levels compare in the same units.
        const double ratio = levelUnit / unit;
        if (found && !(d * ratio * ratio < distance)) return;
        found = true;
        distance = d;
        unit = levelUnit;
        position = at;
    }
};

} // namespace

bool Path::nearestPointBetween(const PathPosition& from, const PathPosition& to, Map::Point point, PathPosition& out,
                               float* distanceSquared) const {
    Nearest best;
    walkSegments(from, to, [&](const PathPosition& at) {
        const Map::LevelFrame frame = Map::LevelFrame::of(*at.currentPart().level);
        PathPosition candidate = at;
        const double d = projectOnSegment(candidate, frame.toLocal(point));
        best.offer(candidate, d, frame.unit());
    });
    if (!best.found) return false;
    out = best.position;
    if (distanceSquared != nullptr) *distanceSquared = static_cast<float>(best.distance);
    return true;
}

bool Path::nearestPointAhead(const PathPosition& from, const PathPosition& to, const Map::Level& level,
                             std::int32_t cellX, std::int32_t cellY, Map::LocalPoint offset,
                             PathPosition& result) const {
    const double size = std::ldexp(1.0, level.cellShift());
    const Map::LocalPoint point{static_cast<float>(cellX * size + offset.x), static_cast<float>(cellY * size + offset.y)};
    Nearest best;
    walkSegments(from, to, [&](const PathPosition& at) {
        const Map::Level& own = *at.currentPart().level;
        PathPosition candidate = at;
        const double d = projectOnSegment(candidate, MapLevelInfo::convertPoint(level, own, point));
        best.offer(candidate, d, Map::LevelFrame::of(own).unit());
    });
    if (best.found) result = best.position;
    return best.found;
}

std::array<std::int32_t, 4> Path::boundingBox(const PathPosition& from, const PathPosition& to) const {
    std::array<std::int32_t, 4> box{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(),
                                    std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min()};
    const auto add = [&](const PathPosition& at) {
        if (at.isAtEnd() || at.partLevel() == nullptr) return;
        const Map::Point p = Map::LevelFrame::of(*at.partLevel()).toGlobal(at.levelPoint());
        box[0] = std::min(box[0], p.x);
        box[1] = std::min(box[1], p.y);
        box[2] = std::max(box[2], p.x);
        box[3] = std::max(box[3], p.y);
    };
    PathPosition at = from;
    add(at);
    while (!at.isAtEnd() && PathPosition::isBefore(at, to)) {
        at.stepForward();
        if (PathPosition::isBefore(to, at)) break;
        add(at);
    }
    add(to);
    return box;
}

bool Path::nearRoutePointLink(Map::Point point, float metres) const {
    const float latitude = Map::Projection::toGeo(point).latitude;
    for (const PathPoint& routePoint : points) {
        const Map::Level* level = routePoint.roadPoint.level;
        if (level == nullptr || routePoint.pickedPoint.level == nullptr) continue;
        const Map::LevelFrame frame = Map::LevelFrame::of(*level);
        const Map::LocalPoint p = frame.toLocal(point);
        const Map::LocalPoint a{routePoint.roadPoint.x, routePoint.roadPoint.y};
        const Map::LocalPoint b =
            MapLevelInfo::convertPoint(*routePoint.pickedPoint.level, *level,
                                       Map::LocalPoint{routePoint.pickedPoint.x, routePoint.pickedPoint.y});
        const double ex = b.x - a.x, ey = b.y - a.y;
        const double l2 = ex * ex + ey * ey;
        const double along = (p.x - a.x) * ex + (p.y - a.y) * ey;
        if (!(along > 0.0 && along < l2)) continue;
        const double cross = (p.x - a.x) * ey - (p.y - a.y) * ex;
        const double radius =
            metres / (std::cos(latitude * 0.017453292) * 0.009320285 * frame.unit());
        if (cross * cross / l2 < radius * radius) return true;
    }
    return false;
}
