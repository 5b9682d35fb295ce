#include "tools/mapwriter/LevelPlacer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace MapWriting {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

std::int64_t roundedShare(std::int64_t from, std::int64_t delta, std::int64_t i, std::int64_t k) {
    // from + delta * i / k, rounded to nearest with halves away from zero.
    const std::int64_t scaled = delta * i;
    const std::int64_t q = scaled >= 0 ? (2 * scaled + k) / (2 * k) : -((-2 * scaled + k) / (2 * k));
    return from + q;
}

// The part of a ring on the inner side of one axis-parallel line
// (Sutherland-Hodgman): keep points whose coordinate `axis` is >= bound
// (upper false) or <= bound (upper true).
std::vector<LevelPoint> clipRing(const std::vector<LevelPoint>& ring, int axis, std::int64_t bound, bool upper) {
    const auto coordinate = [axis](const LevelPoint& p) { return axis == 0 ? p.x : p.y; };
    const auto inside = [&](const LevelPoint& p) { return upper ? coordinate(p) <= bound : coordinate(p) >= bound; };
    std::vector<LevelPoint> out;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const LevelPoint& p = ring[i];
        const LevelPoint& q = ring[(i + 1) % ring.size()];
        if (inside(p)) out.push_back(p);
        if (inside(p) != inside(q)) {
            const double t = static_cast<double>(bound - coordinate(p)) / static_cast<double>(coordinate(q) - coordinate(p));
            const auto along = [t](std::int64_t a, std::int64_t b) {
                return a + static_cast<std::int64_t>(std::llround(t * static_cast<double>(b - a)));
            };
            out.push_back(axis == 0 ? LevelPoint{bound, along(p.y, q.y)} : LevelPoint{along(p.x, q.x), bound});
        }
    }
    std::vector<LevelPoint> unique;
    for (const LevelPoint& p : out)
        if (unique.empty() || !(unique.back() == p)) unique.push_back(p);
    while (unique.size() > 1 && unique.front() == unique.back())
        unique.pop_back();
    return unique;
}

} // namespace

LevelPlacer::LevelPlacer(LevelDescription& level) : m_level(level), m_cellSize(std::int64_t{1} << level.cellShift) {
    if (level.cellShift < 1)
        throw std::invalid_argument("placing items needs a cell shift of at least 1");
}

std::pair<std::int64_t, std::int64_t> LevelPlacer::anchorOf(LevelPoint low) const {
    return {floorDiv(low.x, m_cellSize), floorDiv(low.y, m_cellSize)};
}

std::pair<std::uint32_t, std::uint32_t> LevelPlacer::cellOf(LevelPoint point) const {
    const auto [x, y] = anchorOf(point);
    if (x < 0 || y < 0 || x >= m_level.width || y >= m_level.height)
        throw std::invalid_argument("point outside the level grid");
    return {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
}

Cell& LevelPlacer::cell(std::uint32_t x, std::uint32_t y) {
    for (Cell& c : m_level.cells)
        if (c.x == x && c.y == y)
            return c;
    Cell c;
    c.x = x;
    c.y = y;
    m_level.cells.push_back(c);
    return m_level.cells.back();
}

std::vector<ShapeRef> LevelPlacer::addPolyline(const Polyline& style, const std::vector<LevelPoint>& points) {
    if (points.size() < 2)
        throw std::invalid_argument("a polyline has at least two points");
    // Every step shorter than a cell on both axes.
    std::vector<LevelPoint> dense{points.front()};
    for (std::size_t i = 1; i < points.size(); ++i) {
        const LevelPoint p = points[i - 1];
        const LevelPoint q = points[i];
        const std::int64_t reach = std::max(std::abs(q.x - p.x), std::abs(q.y - p.y));
        const std::int64_t steps = std::max<std::int64_t>(1, (reach + m_cellSize - 2) / (m_cellSize - 1));
        for (std::int64_t k = 1; k <= steps; ++k)
            dense.push_back({roundedShare(p.x, q.x - p.x, k, steps), roundedShare(p.y, q.y - p.y, k, steps)});
    }
    std::vector<ShapeRef> refs;
    std::size_t start = 0;
    while (start + 1 < dense.size()) {
        // Grow the piece while its box fits the window of the cell of its
        // lowest coordinates, and while it has room for another point.
        LevelPoint low = dense[start];
        LevelPoint high = dense[start];
        std::size_t end = start + 1;
        for (; end < dense.size() && end - start < 255; ++end) {
            const LevelPoint lowNext{std::min(low.x, dense[end].x), std::min(low.y, dense[end].y)};
            const LevelPoint highNext{std::max(high.x, dense[end].x), std::max(high.y, dense[end].y)};
            const auto [ax, ay] = anchorOf(lowNext);
            if (highNext.x >= (ax + 2) * m_cellSize || highNext.y >= (ay + 2) * m_cellSize)
                break;
            low = lowNext;
            high = highNext;
        }
        const auto [cx, cy] = cellOf(low);
        Polyline piece = style;
        piece.points.clear();
        for (std::size_t i = start; i < end; ++i)
            piece.points.push_back({static_cast<std::uint32_t>(dense[i].x - cx * m_cellSize),
                                    static_cast<std::uint32_t>(dense[i].y - cy * m_cellSize)});
        Cell& target = cell(cx, cy);
        target.polylines.push_back(piece);
        refs.push_back({cx, cy, static_cast<std::uint32_t>(target.polylines.size() - 1), 0});
        start = end - 1;
    }
    return refs;
}

void LevelPlacer::addPolygon(const Polygon& style, const std::vector<LevelPoint>& points) {
    if (points.empty())
        throw std::invalid_argument("a polygon has points");
    LevelPoint low = points.front();
    for (const LevelPoint& p : points)
        low = {std::min(low.x, p.x), std::min(low.y, p.y)};
    const auto [cx, cy] = cellOf(low);
    Polygon polygon = style;
    polygon.points.clear();
    for (const LevelPoint& p : points) {
        const std::int64_t x = p.x - cx * m_cellSize;
        const std::int64_t y = p.y - cy * m_cellSize;
        if (x >= 2 * m_cellSize || y >= 2 * m_cellSize)
            throw std::invalid_argument("polygon larger than its cell window");
        polygon.points.push_back({static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)});
    }
    cell(cx, cy).polygons.push_back(polygon);
}

void LevelPlacer::addClippedPolygon(const Polygon& style, const std::vector<LevelPoint>& points) {
    if (points.size() < 3)
        throw std::invalid_argument("a polygon has at least three points");
    LevelPoint low = points.front();
    LevelPoint high = points.front();
    for (const LevelPoint& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y)};
    }
    const auto [ax, ay] = anchorOf(low);
    if (points.size() <= 255 && high.x < (ax + 2) * m_cellSize && high.y < (ay + 2) * m_cellSize) {
        addPolygon(style, points);
        return;
    }
    const auto [bx, by] = anchorOf(high);
    for (std::int64_t cy = ay; cy <= by; ++cy)
        for (std::int64_t cx = ax; cx <= bx; ++cx) {
            std::vector<LevelPoint> piece = clipRing(points, 0, cx * m_cellSize, false);
            piece = clipRing(piece, 0, (cx + 1) * m_cellSize, true);
            piece = clipRing(piece, 1, cy * m_cellSize, false);
            piece = clipRing(piece, 1, (cy + 1) * m_cellSize, true);
            if (piece.size() < 3)
                continue;
            if (piece.size() > 255) {
                std::vector<LevelPoint> kept;
                for (std::size_t i = 0; i < 255; ++i)
                    kept.push_back(piece[i * piece.size() / 255]);
                piece = std::move(kept);
            }
            addPolygon(style, piece);
        }
}

void LevelPlacer::addPoint(const PointItem& style, LevelPoint at) {
    const auto [cx, cy] = cellOf(at);
    PointItem item = style;
    item.point = {static_cast<std::uint32_t>(at.x - cx * m_cellSize), static_cast<std::uint32_t>(at.y - cy * m_cellSize)};
    cell(cx, cy).points.push_back(item);
}

} // namespace MapWriting
