#pragma once
// The lines of a 3D band's border stored straight into the surface: most
// are two to five pixels long and lie on the canvas, and drawLine64's
// per-call work (its order, clip and lock tests) cost more than their
// pixels. The walk is drawLine64's own for a line with both end pixels, so
// the pixels are the same.

#include "render/Canvas.h"
#include "render/Pixels.h"
#include "render/detail/BorderNudge.h"
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

// drawLine64's walk of a line with both end pixels, the steep and the flat
// case as one loop: each inner pixel lies one step along the major axis
// from the one before (a row down when steep, a column along when flat),
// and the error decides the step along the minor one, so the steps are byte
// offsets chosen once per line (no branch on the case, no row product per
// pixel). The pixels are those of the two loops it replaces, in the same
// order.
template <class Pixel>
inline void walkBorderLine(std::uint8_t* pixels, std::int64_t pitch, Point64 a, Point64 b, Pixel pixel) {
    if (a.y > b.y) std::swap(a, b);
    const std::int64_t dx = b.x - a.x;
    const std::int64_t dy = b.y - a.y;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const std::int64_t column = dx > 0 ? std::int64_t{sizeof(Pixel)} : -std::int64_t{sizeof(Pixel)};
    const bool steep = adx < dy;
    const std::int64_t major = steep ? dy : adx;
    const std::int64_t minor = steep ? adx : dy;
    const std::int64_t majorStep = steep ? pitch : column;
    const std::int64_t minorStep = steep ? column : pitch;
    const std::int64_t first = a.y * pitch + a.x * std::int64_t{sizeof(Pixel)};
    *reinterpret_cast<Pixel*>(pixels + first) = pixel;
    std::int64_t at = first + majorStep;
    std::int64_t err = major / 2 + minor;
    if (err >= major) {
        err -= major;
        at += minorStep;
    }
    for (std::int64_t i = 1; i < major; ++i) {
        *reinterpret_cast<Pixel*>(pixels + at) = pixel;
        at += majorStep;
        err += minor;
        if (err >= major) {
            err -= major;
            at += minorStep;
        }
    }
    *reinterpret_cast<Pixel*>(pixels + b.y * pitch + b.x * std::int64_t{sizeof(Pixel)}) = pixel;
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

// The sides of a closed outline that lies, nudged, on the canvas.
template <class Pixel>
inline void walkClosedOutline(const BorderLineTarget& target, const Point64* s, int n, Point64 p, Pixel pixel) {
    for (int i = 0; i < n; ++i) {
        Point64 a = s[i];
        Point64 b = s[i + 1 < n ? i + 1 : 0];
        nudgeAwayNear(a, b, p);
        walkBorderLine<Pixel>(target.pixels, target.pitch, a, b, pixel);
    }
}

// The closed outline s[0], s[1], ..., s[n - 1], s[0] with every side moved
// one pixel away from p: nudgeAway and drawBorderLine side by side, as a
// cap's outline around its point takes them. When the outline's box,
// widened by the pixel of the nudge, lies on the canvas of a usable target
// (and p near it), the tests of every side are made once for the whole
// outline.
inline void drawClosedOutline(const Canvas& canvas, const BorderLineTarget& target, const Point64* s, int n,
                              Point64 p) {
    std::int64_t x0 = s[0].x;
    std::int64_t x1 = s[0].x;
    std::int64_t y0 = s[0].y;
    std::int64_t y1 = s[0].y;
    for (int i = 1; i < n; ++i) {
        x0 = s[i].x < x0 ? s[i].x : x0;
        x1 = s[i].x > x1 ? s[i].x : x1;
        y0 = s[i].y < y0 ? s[i].y : y0;
        y1 = s[i].y > y1 ? s[i].y : y1;
    }
    // A canvas lies on a surface (below 2^16 pixels); the bound on p keeps
    // the nudge's products in 64 bits.
    constexpr std::int64_t kNear = std::int64_t{1} << 28;
    if (target.usable && x0 - 1 >= target.left && x1 + 1 < target.right && y0 - 1 >= target.top &&
        y1 + 1 < target.bottom && x0 > -kNear && x1 < kNear && y0 > -kNear && y1 < kNear && p.x > -kNear &&
        p.x < kNear && p.y > -kNear && p.y < kNear) {
        if (target.bytes == 4)
            walkClosedOutline<std::uint32_t>(target, s, n, p, target.pixel);
        else
            walkClosedOutline<std::uint16_t>(target, s, n, p, static_cast<std::uint16_t>(target.pixel));
        return;
    }
    for (int i = 0; i < n; ++i) {
        Point64 a = s[i];
        Point64 b = s[i + 1 < n ? i + 1 : 0];
        nudgeAway(a, b, p);
        drawBorderLine(canvas, target, a, b);
    }
}

} // namespace xe::detail
