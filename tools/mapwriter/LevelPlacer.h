#pragma once
// Places map items given in level coordinates (level units from the level's
// origin) into the cells of a LevelDescription, so that a fixture or the
// demo-atlas generator can draw a town without doing cell arithmetic.
//
// A polyline is cut into pieces that each fit one cell's field window (the
// anchor cell and one cell beyond it to the right and top); consecutive
// pieces share their joining point, and their anchor cells are at most one
// cell apart, so the returned references are a valid road segment shape when
// the polyline starts at the segment's from node.

#include "tools/mapwriter/MapDescription.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace MapWriting {

struct LevelPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const LevelPoint&) const = default;
};

class LevelPlacer {
public:
    // The level must have a cell shift of at least 1.
    explicit LevelPlacer(LevelDescription& level);

    std::int64_t cellSize() const { return m_cellSize; }
    // The cell holding a point; throws std::invalid_argument outside the grid.
    std::pair<std::uint32_t, std::uint32_t> cellOf(LevelPoint point) const;
    // The cell at (x, y), created empty when missing.
    Cell& cell(std::uint32_t x, std::uint32_t y);

    // Adds a polyline with the caption, type, direction flag and road of
    // `style` (its points are ignored) along `points`; long segments get
    // intermediate points. Returns one reference per piece, in order.
    std::vector<ShapeRef> addPolyline(const Polyline& style, const std::vector<LevelPoint>& points);
    // Adds a polygon that fits one cell window (its anchor is the cell of its
    // lowest coordinates); throws std::invalid_argument otherwise.
    void addPolygon(const Polygon& style, const std::vector<LevelPoint>& points);
    // Adds a polygon of any size inside the grid: as it is when it fits its
    // cell window, else cut along the cell borders into one piece per cell
    // it covers (a piece of more than 255 points keeps an even selection of
    // them).
    void addClippedPolygon(const Polygon& style, const std::vector<LevelPoint>& points);
    void addPoint(const PointItem& style, LevelPoint at);

private:
    std::pair<std::int64_t, std::int64_t> anchorOf(LevelPoint low) const;

    LevelDescription& m_level;
    std::int64_t m_cellSize;
};

} // namespace MapWriting
