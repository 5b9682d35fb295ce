#pragma once
// The polylines of a rectangle of one level's cells, decoded into the
// level's local float units (cell corner + packed point), for the searches
// that measure roads: the car tracker's matcher and the nearest-road search.

#include "map/LevelFrame.h"
#include "map/ScopedArea.h"
#include "render/CellItems.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace MapDrawing {

struct LevelPolyline {
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    std::uint32_t offset = 0; // of the item within its cell's block: with the cell, the item's identity
    CellItem item;            // caption, type, one-way byte, road id
    const std::vector<Map::LocalPoint>* points = nullptr; // valid during the visit only
};

// The cell rectangle (inclusive) whose items may reach into a square of
// half-width `radius` (level units) around `centre`: the cells the square
// covers and one more column to the left and row below; cells below 0 are
// clamped to 0 (the level clamps the far side to its grid).
struct CellRect {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = -1;
    std::int32_t y1 = -1;
};
CellRect cellsAround(const Map::LevelFrame& frame, Map::LocalPoint centre, float radius);

// The cell of a level's grid under a global point; nothing outside the grid.
std::optional<std::pair<std::int32_t, std::int32_t>> gridCellOf(const Map::Level& level, Map::Point point);

// Calls visit(const LevelPolyline&) for every polyline of the loaded cells of
// rect in `area` (prepare it first), cell by cell in rows.
template <typename Visit>
void forEachPolyline(const Map::ScopedArea& area, const Map::LevelFrame& frame, const CellRect& rect,
                     Visit&& visit) {
    std::vector<Map::LocalPoint> points;
    const float cellSize = static_cast<float>(std::int64_t{1} << (frame.cellShift & 31u));
    // Only the loaded window is walked: a rectangle reaching far beyond the
    // grid (a level of tiny cells, a large radius) costs nothing extra.
    const Map::Level::Area& loaded = area.area();
    const std::int64_t x0 = std::max<std::int64_t>(rect.x0, loaded.x0);
    const std::int64_t y0 = std::max<std::int64_t>(rect.y0, loaded.y0);
    const std::int64_t x1 = std::min<std::int64_t>(rect.x1, std::int64_t{loaded.x0} + loaded.width - 1);
    const std::int64_t y1 = std::min<std::int64_t>(rect.y1, std::int64_t{loaded.y0} + loaded.height - 1);
    for (std::int32_t cy = static_cast<std::int32_t>(y0); cy <= y1; ++cy)
        for (std::int32_t cx = static_cast<std::int32_t>(x0); cx <= x1; ++cx) {
            Map::Level::CellItems cell;
            if (!area.cellItems(cx, cy, cell)) continue;
            CellItemWalker walker(cell, PolylineItems, static_cast<unsigned>(frame.cellShift) + 1);
            LevelPolyline line;
            line.cellX = cx;
            line.cellY = cy;
            while (walker.next(line.item)) {
                points.clear();
                for (int i = 0; i < line.item.count; ++i)
                    points.push_back({static_cast<float>(cx) * cellSize + static_cast<float>(line.item.points[i].x),
                                      static_cast<float>(cy) * cellSize + static_cast<float>(line.item.points[i].y)});
                line.offset = static_cast<std::uint32_t>(line.item.data - cell.begin);
                line.points = &points;
                visit(static_cast<const LevelPolyline&>(line));
            }
        }
}

} // namespace MapDrawing
