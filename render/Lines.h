#pragma once
// One-pixel lines and rectangle outlines, clipped to the canvas.

#include "render/Canvas.h"

#include <cstdint>

namespace xe {

// One-pixel Bresenham line: its interior pixels always, each end pixel only
// when its flag is set. A polyline drawn with both flags plots each shared
// vertex twice; drawn with none it leaves every vertex unplotted.
void drawLine(const Canvas& canvas, bool firstPixel, std::int32_t x0, std::int32_t y0, bool lastPixel,
              std::int32_t x1, std::int32_t y1, std::uint32_t pixel);

// drawLine with both end pixels.
void drawLineBetween(const Canvas& canvas, const Point& a, const Point& b, std::uint32_t pixel);

// Segments i to i+1 for i = 0 .. count-2, with both end pixels or with none.
void drawPolylineSegments(const Canvas& canvas, const Point* points, int count, bool endPixels,
                          std::uint32_t pixel);

// Outline on columns x and x + w and rows y and y + h, each from its start
// corner up to (not including) the far one, so the corner (x + w, y + h) is
// never set. Edges the clip rectangle cuts away are not drawn.
void drawRect(const Canvas& canvas, const SDL_Rect& rect, std::uint32_t pixel);

// (floor(m0 x + m4 y + m12 + 0.5), floor(m1 x + m5 y + m13 + 0.5)) of a
// column-major 4x4 float matrix.
Point applyAffine(const float* matrix, const Point& point);

} // namespace xe
