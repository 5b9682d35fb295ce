#pragma once
// The frame of one detail level of one map: coordinate bits b, cell shift c
// and the origin in cells. One level unit is 2^(32 - b) global units, one cell
// 2^c level units, and the origin in global units is origin << (32 - b + c)
// (shift taken modulo 32). Drawable objects are stored in level-local float
// coordinates relative to the origin.

#include "map/Point.h"

#include <cstdint>

namespace Map {

class Level;

struct LocalPoint {
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const LocalPoint&, const LocalPoint&) = default;
};

struct CellSplit {
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    float remainderX = 0.0f;
    float remainderY = 0.0f;
};

struct CellPosition {
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    std::int32_t remainderX = 0;
    std::int32_t remainderY = 0;
};

struct LevelFrame {
    std::uint8_t coordinateBits = 32;
    std::uint8_t cellShift = 0;
    std::uint32_t originX = 0;
    std::uint32_t originY = 0;

    static LevelFrame of(const Level& level);

    // Global units per level unit: 2^((32 - b) mod 32), so 32 bits give 1.
    double unit() const;
    // The shift (32 + c - b) mod 32 that takes the origin to global units.
    std::uint32_t originShift() const;
    // The side of one cell in level units: 2^c, for every shift the reader
    // accepts (0..30).
    std::uint32_t cellSize() const { return std::uint32_t{1} << (cellShift & 31u); }

    // A global point to level-local units (wrapping 32-bit difference from
    // the origin, read as signed).
    LocalPoint toLocal(Point point) const;
    // A level-local point back to global units, rounded to nearest; the
    // additions wrap at 32 bits.
    Point toGlobal(LocalPoint local) const;
    // The cell of a level-local point: both coordinates truncated towards
    // zero, divided by the cell size (truncating), the remainders as floats.
    // So -1.5 with cell size 1 gives cell -1, remainder -0.5. Coordinates
    // beyond the i32 range saturate.
    CellSplit splitToCell(LocalPoint local) const;
    // The cell of an integer level point, floor-divided (a point left of or
    // below the origin lands in a negative cell), and the non-negative
    // remainders inside it.
    CellPosition cellOf(std::int32_t x, std::int32_t y) const;

    // The factor that turns A's level units into B's: 2^(bits(B) - bits(A)).
    static float scaleFactor(const LevelFrame& a, const LevelFrame& b);

    friend bool operator==(const LevelFrame&, const LevelFrame&) = default;
};

} // namespace Map
