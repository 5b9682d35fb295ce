#pragma once
// 64-bit entry points of the rasteriser, used by the bands and the renderers
// whose corners (point +- offset) may leave the 32-bit range. The public
// 32-bit routines forward to them.

#include "render/Canvas.h"

#include <cstdint>

namespace xe::detail {

struct Point64 {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

void fillTriangle64(const Canvas& canvas, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                    std::int64_t x2, std::int64_t y2, std::uint32_t pixel);

inline void fillTriangle64(const Canvas& canvas, Point64 a, Point64 b, Point64 c, std::uint32_t pixel) {
    fillTriangle64(canvas, a.x, a.y, b.x, b.y, c.x, c.y, pixel);
}

void drawLine64(const Canvas& canvas, bool firstPixel, std::int64_t x0, std::int64_t y0, bool lastPixel,
                std::int64_t x1, std::int64_t y1, std::uint32_t pixel);

inline void drawLine64(const Canvas& canvas, Point64 a, Point64 b, std::uint32_t pixel) {
    drawLine64(canvas, true, a.x, a.y, true, b.x, b.y, pixel);
}

// drawLine64(canvas, a, b, pixel) for a line whose ends both lie on the
// canvas, onto a 16- or 32-bit surface (Bytes) the caller holds locked, its
// pixels and pitch given: the same pixels without the clipping and the lock,
// for the many short border lines of a band that lies on the canvas.
template <int Bytes>
void drawLineInside(std::uint8_t* pixels, std::int64_t pitch, Point64 a, Point64 b, std::uint32_t pixel);

void fillOctagon64(const Canvas& canvas, std::int64_t cx, std::int64_t cy, std::int64_t r,
                   std::uint32_t pixel);
void drawOctagonOutline64(const Canvas& canvas, std::int64_t cx, std::int64_t cy, std::int64_t r,
                          std::uint32_t pixel);
// The same octagons drawn from their pieces (the square and four triangles;
// the eight nudged lines), which the kept cap patterns are made from.
void fillOctagonPieces64(const Canvas& canvas, std::int64_t cx, std::int64_t cy, std::int64_t r,
                         std::uint32_t pixel);
void drawOctagonOutlineLines64(const Canvas& canvas, std::int64_t cx, std::int64_t cy, std::int64_t r,
                               std::uint32_t pixel);

// Moves the line a-b one pixel away from the point p: in x when the line is
// at least as steep as 45 degrees (|dx| <= |dy|), else in y; when
// steepIsStrict, in x only when strictly steeper (|dx| < |dy|).
void nudgeOutward(Point64& a, Point64& b, Point64 p, bool steepIsStrict);

} // namespace xe::detail
