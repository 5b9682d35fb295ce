#include "routing/MapPicking.h"

#include "map/SegmentProjection.h"
#include "render/CellItems.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace Map::Nearest {

namespace {

struct Pick {
    float distance2 = std::numeric_limits<float>::infinity();
    MapDrawing::CellItem item;
    std::uint64_t size = 0;
    LocalPoint point; // level units
};

std::uint64_t itemSize(const MapDrawing::CellItem& item, std::uint8_t kind, unsigned bits) {
    switch (kind) {
    case MapDrawing::PolylineItems: return MapDrawing::polylineItemSize(static_cast<std::uint32_t>(item.count), bits);
    case MapDrawing::PointItems: return MapDrawing::pointItemSize(bits);
    default: return MapDrawing::polygonItemSize(static_cast<std::uint32_t>(item.count), bits);
    }
}

bool onSegment(LocalPoint p, LocalPoint a, LocalPoint b) {
    const float cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    return cross == 0.0f && p.x >= std::min(a.x, b.x) && p.x <= std::max(a.x, b.x) && p.y >= std::min(a.y, b.y) &&
           p.y <= std::max(a.y, b.y);
}

} // namespace

int pointInPolygon(LocalPoint point, const LocalPoint* ring, std::size_t count) {
    if (count == 0) return 0;
    bool inside = false;
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        const LocalPoint a = ring[j];
        const LocalPoint b = ring[i];
        if (onSegment(point, a, b)) return 2;
        if ((a.y > point.y) != (b.y > point.y)) {
            const float x = a.x + (point.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (point.x < x) inside = !inside;
        }
    }
    return inside ? 1 : 0;
}

bool pickInCell(const LevelFrame& frame, std::vector<MapView::CellRecords>& cells, std::int32_t& x,
                std::int32_t& y, MapView::MapObject& out) {
    const unsigned bits = static_cast<unsigned>(frame.cellShift) + 1;
    const float cellSize = std::ldexp(1.0f, frame.cellShift & 31);
    const float radius = cellSize / 32.0f;
    Pick poi;
    Pick line;
    Pick area;
    bool areaFound = false;
    std::vector<LocalPoint> points;
    for (MapView::CellRecords& cell : cells) {
        // The point and the items relative to this cell's corner.
        const LocalPoint corner{static_cast<float>(cell.cellX) * cellSize, static_cast<float>(cell.cellY) * cellSize};
        const LocalPoint p{static_cast<float>(x) - corner.x, static_cast<float>(y) - corner.y};
        const auto atLevel = [&](LocalPoint q) { return LocalPoint{q.x + corner.x, q.y + corner.y}; };
        Record group;
        while (cell.records.next(group)) {
            const auto kind = static_cast<std::uint8_t>(group.type);
            if (kind != MapDrawing::PolygonItems && kind != MapDrawing::PolylineItems && kind != MapDrawing::PointItems)
                continue;
            const Level::CellItems items{group.start, group.start, group.end, group.size, cell.cellX, cell.cellY};
            MapDrawing::CellItemWalker walker(items, kind, bits);
            MapDrawing::CellItem item;
            while (walker.next(item)) {
                points.clear();
                for (int i = 0; i < item.count; ++i)
                    points.push_back({static_cast<float>(item.points[i].x), static_cast<float>(item.points[i].y)});
                if (kind == MapDrawing::PointItems) {
                    const float dx = points[0].x - p.x;
                    const float dy = points[0].y - p.y;
                    const float d2 = dx * dx + dy * dy;
                    if (d2 <= radius * radius && d2 < poi.distance2)
                        poi = {d2, item, itemSize(item, kind, bits), atLevel(points[0])};
                } else if (kind == MapDrawing::PolylineItems) {
                    const PolylineFoot foot = nearestFoot(p, points.data(), points.size(), radius);
                    if (foot.distance2 <= radius * radius && foot.distance2 < line.distance2)
                        line = {foot.distance2, item, itemSize(item, kind, bits), atLevel(foot.point)};
                } else if (item.count >= 3 && pointInPolygon(p, points.data(), points.size()) != 0) {
                    area = {0.0f, item, itemSize(item, kind, bits), atLevel(p)};
                    areaFound = true;
                }
            }
        }
    }
    const Pick* chosen = std::isfinite(poi.distance2) ? &poi : std::isfinite(line.distance2) ? &line
                                                           : areaFound                        ? &area
                                                                                              : nullptr;
    if (chosen == nullptr) return false;
    const std::uint8_t kind = chosen == &poi ? MapDrawing::PointItems
                              : chosen == &line ? MapDrawing::PolylineItems
                                                : MapDrawing::PolygonItems;
    out.record = Record{kind, chosen->item.data, static_cast<std::uint32_t>(chosen->size),
                        chosen->item.data + chosen->size, chosen->item.data};
    if (chosen != &area) {
        x = static_cast<std::int32_t>(std::lround(chosen->point.x));
        y = static_cast<std::int32_t>(std::lround(chosen->point.y));
    }
    return true;
}

void installPicking() { MapView::setPickInCell(pickInCell); }

} // namespace Map::Nearest
