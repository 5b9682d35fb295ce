#pragma once
// A window of a level's cells loaded for one search and freed with it, so
// that a search never disturbs the area the drawing keeps (preparing that
// one with another rectangle would free the drawn cells).
//
// Main thread only: the blocks come from the atlas's main heap.

#include "map/Level.h"

#include <cstdint>

namespace Map {

class ScopedArea {
  public:
    explicit ScopedArea(Level& level) : m_level(level) {}
    ~ScopedArea() { m_level.clearArea(m_area); }
    ScopedArea(const ScopedArea&) = delete;
    ScopedArea& operator=(const ScopedArea&) = delete;

    // Loads cells x0..x1, y0..y1 (inclusive, clamped to the grid by the
    // level); false when the heap runs out or a block cannot be read.
    bool prepare(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        return m_level.prepareArea(m_area, x0, y0, x1, y1);
    }
    bool cellItems(std::int32_t x, std::int32_t y, Level::CellItems& out) const {
        return m_level.cellItems(m_area, x, y, out);
    }
    Level& level() { return m_level; }
    const Level::Area& area() const { return m_area; }

  private:
    Level& m_level;
    Level::Area m_area;
};

} // namespace Map
