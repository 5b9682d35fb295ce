#pragma once
// Scan conversion of filled shapes: triangles, even-odd polygons and polygons
// filled with a repeated pattern image. Vertices are pixel coordinates;
// colours are pixel values.

#include "render/Canvas.h"

#include <cstdint>

namespace xe {

// Largest polygon the scan fills accept. Map items carry at most 255 points
// and 3D clipping at most doubles them; a larger polygon is logged and not
// drawn.
inline constexpr int kMaxPolygonVertices = 520;

// Filled triangle including its edges: every pixel the edges' own line walks
// cover, plus everything between. Three equal y fill one row from the
// smallest to the largest x.
void fillTriangle(const Canvas& canvas, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  std::int32_t x2, std::int32_t y2, std::uint32_t pixel);
void fillTrianglePoints(const Canvas& canvas, const Point* a, const Point* b, const Point* c,
                        std::uint32_t pixel);

// Even-odd fill of a closed polygon (the last point joins the first). Each
// row's spans exclude their right end, so the square (0,0)-(10,10) fills
// rows 0 to 10 and columns 0 to 9. Nothing for fewer than three points, zero
// height, or more than kMaxPolygonVertices points. Not reentrant (static
// tables); main thread only.
void fillPolygonScan(const Canvas& canvas, const Point* points, int count, std::uint32_t pixel);

// True when the pattern can be used with fillPatternScan on the target: a
// square whose side is a power of two, with the target's bytes per pixel
// (1, 2 or 4) and colour masks. The styles loader checks its patterns with it.
bool isUsablePattern(const SDL_Surface* pattern, const SDL_Surface* target);

// Even-odd fill copying pattern pixels: the pattern coordinates of a screen
// pixel (x, y) are floor(m0 x + m4 y + m12 + 0.5), floor(m1 x + m5 y + m13 +
// 0.5) (column-major 4x4 matrix), taken modulo the pattern side. Draws
// nothing when isUsablePattern fails. Not reentrant.
void fillPatternScan(const Canvas& canvas, const float* patternMatrix, const Point* points, int count,
                     SDL_Surface* pattern);

} // namespace xe
