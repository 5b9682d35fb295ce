#include "render/LevelPolylines.h"

#include <cmath>

namespace MapDrawing {

CellRect cellsAround(const Map::LevelFrame& frame, Map::LocalPoint centre, float radius) {
    const double cellSize = std::ldexp(1.0, frame.cellShift & 31);
    const auto cellOf = [&](double v) {
        const double cell = std::floor(v / cellSize);
        if (!(cell > 0.0)) return std::int32_t{0};
        return cell >= 2147483647.0 ? std::int32_t{2147483647} : static_cast<std::int32_t>(cell);
    };
    CellRect rect;
    // An item's fields reach one cell beyond its anchor cell to the right
    // and top, so the cells left of and below the square hold items that
    // may enter it.
    rect.x0 = cellOf(static_cast<double>(centre.x) - radius - cellSize);
    rect.y0 = cellOf(static_cast<double>(centre.y) - radius - cellSize);
    rect.x1 = cellOf(static_cast<double>(centre.x) + radius);
    rect.y1 = cellOf(static_cast<double>(centre.y) + radius);
    if (static_cast<double>(centre.x) + radius < 0.0 || static_cast<double>(centre.y) + radius < 0.0)
        rect.x1 = rect.y1 = -1; // wholly left of or below the grid
    return rect;
}

std::optional<std::pair<std::int32_t, std::int32_t>> gridCellOf(const Map::Level& level, Map::Point point) {
    const Map::LevelFrame frame = Map::LevelFrame::of(level);
    const Map::LocalPoint local = frame.toLocal(point);
    const double cellSize = std::ldexp(1.0, frame.cellShift & 31);
    const double cx = std::floor(local.x / cellSize);
    const double cy = std::floor(local.y / cellSize);
    if (!(cx >= 0 && cy >= 0 && cx < level.width() && cy < level.height())) return std::nullopt;
    return std::pair{static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy)};
}

} // namespace MapDrawing
