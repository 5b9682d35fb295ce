#pragma once
// The drawing target of every rasteriser operation and the point types the
// rasteriser and the renderers exchange.

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace xe {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

using PointVector = std::vector<Point>;

struct FloatPoint {
    float x = 0.0f;
    float y = 0.0f;
};

// A surface (not owned) and a clip rectangle: left and top inclusive, right
// and bottom exclusive. The caller keeps the clip rectangle inside the
// surface; no rasteriser operation checks it against the surface size.
//
// Lines, fills and bands support surfaces of 1, 2 and 4 bytes per pixel. The
// screen and map surfaces are 16 or 32 bits per pixel, so 24-bit targets are
// not supported: on a 3-byte surface the span writers leave the pixels
// untouched and only single pixels (line pixels, discs) are written.
struct Canvas {
    SDL_Surface* surface = nullptr;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    // The whole surface.
    static Canvas of(SDL_Surface* target) { return Canvas{target, 0, 0, target->w, target->h}; }
};

} // namespace xe
