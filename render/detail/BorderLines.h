#pragma once
// The lines of a 3D band's border stored straight into the surface: most
// are two to five pixels long and lie on the canvas, and drawLine64's
// per-call work (its order, clip and lock tests) cost more than their
// pixels. The walk is drawLine64's own for a line with both end pixels, so
// the pixels are the same.

#include "render/Canvas.h"
#include "render/Pixels.h"
#include "render/detail/Raster.h"

#include <cstdint>
#include <utility>

namespace xe::detail {

// A canvas of a 16- or 32-bit surface that needs no lock, or none (`usable`
// false: its lines go to drawLine64).
struct BorderLineTarget {
    std::uint8_t* pixels = nullptr;
    std::int64_t pitch = 0;
    int bytes = 0;
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    std::uint32_t pixel = 0;
    bool usable = false;

    BorderLineTarget() = default;
    BorderLineTarget(const Canvas& canvas, std::uint32_t colourPixel) {
        SDL_Surface* s = canvas.surface;
        bytes = s->format->BytesPerPixel;
        usable = (bytes == 4 || bytes == 2) && !mustLock(s) && s->pixels != nullptr;
        pixels = static_cast<std::uint8_t*>(s->pixels);
        pitch = s->pitch;
        left = canvas.left;
        top = canvas.top;
        right = canvas.right;
        bottom = canvas.bottom;
        pixel = colourPixel;
    }

    bool inside(Point64 p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};

template <class Pixel>
inline void walkBorderLine(std::uint8_t* pixels, std::int64_t pitch, Point64 a, Point64 b, Pixel pixel) {
    if (a.y > b.y) std::swap(a, b);
    auto plot = [&](std::int64_t x, std::int64_t y) {
        reinterpret_cast<Pixel*>(pixels + y * pitch)[x] = pixel;
    };
    plot(a.x, a.y);
    const std::int64_t dx = b.x - a.x;
    const std::int64_t dy = b.y - a.y;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const std::int64_t sx = dx > 0 ? 1 : -1;
    if (adx < dy) {
        // Steep: one pixel per row.
        std::int64_t x = a.x;
        std::int64_t err = dy / 2 + adx;
        if (err >= dy) {
            err -= dy;
            x += sx;
        }
        for (std::int64_t y = a.y + 1; y < b.y; ++y) {
            plot(x, y);
            err += adx;
            if (err >= dy) {
                err -= dy;
                x += sx;
            }
        }
    } else {
        // Shallow (a row's run included, dy 0): one pixel per column.
        std::int64_t y = a.y;
        std::int64_t err = adx / 2 + dy;
        if (err >= adx) {
            err -= adx;
            ++y;
        }
        for (std::int64_t i = 1; i < adx; ++i) {
            plot(a.x + sx * i, y);
            err += dy;
            if (err >= adx) {
                err -= adx;
                ++y;
            }
        }
    }
    plot(b.x, b.y);
}

// drawLine64(canvas, a, b, pixel): stored straight when both ends lie on the
// canvas of a usable target.
inline void drawBorderLine(const Canvas& canvas, const BorderLineTarget& target, Point64 a, Point64 b) {
    if (target.usable && target.inside(a) && target.inside(b)) {
        if (target.bytes == 4)
            walkBorderLine<std::uint32_t>(target.pixels, target.pitch, a, b, target.pixel);
        else
            walkBorderLine<std::uint16_t>(target.pixels, target.pitch, a, b,
                                          static_cast<std::uint16_t>(target.pixel));
        return;
    }
    drawLine64(canvas, a, b, target.pixel);
}

} // namespace xe::detail
