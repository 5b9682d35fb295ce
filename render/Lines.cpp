#include "render/Lines.h"

#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/detail/BorderLines.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/Raster.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace xe {

using detail::i128;
using detail::i64;

namespace {

// The inner pixels of a line lying wholly on the canvas (dx and dy not 0):
// the same walk as drawLine64's, with no clip tests and one depth.
template <class Pixel>
void walkInside(std::uint8_t* pixels, i64 pitch, i64 x0, i64 y0, i64 x1, i64 y1, Pixel pixel) {
    const i64 dx = x1 - x0;
    const i64 dy = y1 - y0;
    const i64 adx = dx < 0 ? -dx : dx;
    const i64 sx = dx > 0 ? 1 : -1;
    auto plot = [&](i64 x, i64 y) { reinterpret_cast<Pixel*>(pixels + y * pitch)[x] = pixel; };
    if (adx < dy) {
        i64 x = x0;
        i64 err = dy / 2 + adx;
        if (err >= dy) {
            err -= dy;
            x += sx;
        }
        for (i64 y = y0 + 1; y < y1; ++y) {
            plot(x, y);
            err += adx;
            if (err >= dy) {
                err -= dy;
                x += sx;
            }
        }
        return;
    }
    i64 y = y0;
    i64 err = adx / 2 + dy;
    if (err >= adx) {
        err -= adx;
        ++y;
    }
    for (i64 i = 1; i < adx; ++i) {
        plot(x0 + sx * i, y);
        err += dy;
        if (err >= adx) {
            err -= adx;
            ++y;
        }
    }
}

} // namespace

namespace detail {

template <int Bytes>
void drawLineInside(std::uint8_t* pixels, i64 pitch, Point64 a, Point64 b, std::uint32_t pixel) {
    using Pixel = std::conditional_t<Bytes == 4, std::uint32_t, std::uint16_t>;
    walkBorderLine<Pixel>(pixels, pitch, a, b, static_cast<Pixel>(pixel));
}

template void drawLineInside<2>(std::uint8_t*, i64, Point64, Point64, std::uint32_t);
template void drawLineInside<4>(std::uint8_t*, i64, Point64, Point64, std::uint32_t);

void drawLine64(const Canvas& canvas, bool firstPixel, i64 x0, i64 y0, bool lastPixel, i64 x1, i64 y1,
                std::uint32_t pixel) {
    // The usual line (a band's border, both end pixels, both ends on the
    // canvas of a 16- or 32-bit surface) straight to the unclipped walk.
    // Unsigned compares: a coordinate left of or above the canvas wraps
    // to a large value.
    using u64 = std::uint64_t;
    const u64 width = static_cast<u64>(std::max<i64>(i64{canvas.right} - canvas.left, 0));
    const u64 height = static_cast<u64>(std::max<i64>(i64{canvas.bottom} - canvas.top, 0));
    if (firstPixel && lastPixel && static_cast<u64>(x0 - canvas.left) < width &&
        static_cast<u64>(x1 - canvas.left) < width && static_cast<u64>(y0 - canvas.top) < height &&
        static_cast<u64>(y1 - canvas.top) < height) {
        SDL_Surface* surface = canvas.surface;
        const int bytes = surface->format->BytesPerPixel;
        if (bytes == 4 || bytes == 2) {
            SurfaceLock lock(surface);
            if (!lock.ok()) return;
            auto* const pixels = static_cast<std::uint8_t*>(surface->pixels);
            if (bytes == 4)
                drawLineInside<4>(pixels, surface->pitch, Point64{x0, y0}, Point64{x1, y1}, pixel);
            else
                drawLineInside<2>(pixels, surface->pitch, Point64{x0, y0}, Point64{x1, y1}, pixel);
            return;
        }
    }
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(firstPixel, lastPixel);
    }
    const i64 left = canvas.left;
    const i64 top = canvas.top;
    const i64 right = canvas.right;
    const i64 bottom = canvas.bottom;
    if (std::min(x0, x1) >= right || std::max(x0, x1) < left || y0 >= bottom || y1 < top) return;
    SDL_Surface* surface = canvas.surface;
    SurfaceLock lock(surface);
    if (!lock.ok()) return;
    auto inside = [&](i64 x, i64 y) { return x >= left && x < right && y >= top && y < bottom; };
    // 32- and 16-bit surfaces (the map's) are written in place; others
    // through plotPixel's per-depth store.
    auto* const pixels = static_cast<std::uint8_t*>(surface->pixels);
    const i64 pitch = surface->pitch;
    const int bytes = surface->format->BytesPerPixel;
    auto plot = [&](i64 x, i64 y) {
        if (bytes == 4)
            *reinterpret_cast<std::uint32_t*>(pixels + y * pitch + x * 4) = pixel;
        else if (bytes == 2)
            *reinterpret_cast<std::uint16_t*>(pixels + y * pitch + x * 2) = static_cast<std::uint16_t>(pixel);
        else
            plotPixel(surface, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), pixel);
    };
    if (firstPixel && inside(x0, y0)) plot(x0, y0);

    const i64 dx = x1 - x0;
    if ((bytes == 4 || bytes == 2) && dx != 0 && y1 != y0 && inside(x0, y0) && inside(x1, y1)) {
        // The usual border line: nothing to clip.
        if (bytes == 4)
            walkInside<std::uint32_t>(pixels, pitch, x0, y0, x1, y1, pixel);
        else
            walkInside<std::uint16_t>(pixels, pitch, x0, y0, x1, y1, static_cast<std::uint16_t>(pixel));
        if (lastPixel) plot(x1, y1);
        return;
    }
    const i64 dy = y1 - y0;
    const i64 adx = dx < 0 ? -dx : dx;
    const int sx = dx > 0 ? 1 : -1;
    if (dy == 0) {
        const i64 a = std::max(std::min(x0, x1) + 1, left);
        const i64 b = std::min(std::max(x0, x1) - 1, right - 1);
        if (a <= b)
            drawHSpan(surface, static_cast<std::int32_t>(a), static_cast<std::int32_t>(b + 1),
                      static_cast<std::int32_t>(y0), pixel);
    } else if (dx == 0) {
        const i64 a = std::max(y0 + 1, top);
        const i64 b = std::min(y1 - 1, bottom - 1);
        if (a <= b)
            drawVSpan(surface, static_cast<std::int32_t>(x0), static_cast<std::int32_t>(a),
                      static_cast<std::int32_t>(b + 1), pixel);
    } else if (adx < dy) {
        // Steep: one pixel per row. Rows above the clip rectangle are skipped
        // in one step with the walk's own arithmetic.
        const i64 yEnd = std::min(y1, bottom);
        const i64 n = std::max<i64>(1, top - y0);
        if (y0 + n < yEnd) {
            i64 x = x0;
            i64 err = 0;
            if (n == 1) {
                // One row on (the usual start): dy / 2 + adx < 2 dy, so the
                // walk moves at most one column.
                err = dy / 2 + adx;
                if (err >= dy) {
                    err -= dy;
                    x += sx;
                }
            } else {
                const i128 total = i128{dy / 2} + i128{n} * adx;
                x += sx * static_cast<i64>(total / dy);
                err = static_cast<i64>(total % dy);
            }
            for (i64 y = y0 + n; y < yEnd; ++y) {
                if (sx > 0 ? x >= right : x < left) break;
                if (sx > 0 ? x >= left : x < right) plot(x, y);
                err += adx;
                if (err >= dy) {
                    err -= dy;
                    x += sx;
                }
            }
        }
    } else {
        // Shallow: one pixel per column. Columns before the clip rectangle
        // are skipped in one step.
        const i64 enter = sx > 0 ? left - x0 : x0 - (right - 1);
        const i64 n = std::max<i64>(1, enter);
        if (n < adx) {
            i64 y = y0;
            i64 err = 0;
            if (n == 1) {
                // One column on: adx / 2 + dy < 2 adx, at most one row down.
                err = adx / 2 + dy;
                if (err >= adx) {
                    err -= adx;
                    ++y;
                }
            } else {
                const i128 total = i128{adx / 2} + i128{n} * dy;
                y += static_cast<i64>(total / adx);
                err = static_cast<i64>(total % adx);
            }
            for (i64 i = n; i < adx; ++i) {
                const i64 x = x0 + sx * i;
                if ((sx > 0 ? x >= right : x < left) || y >= bottom) break;
                if (y >= top) plot(x, y);
                err += dy;
                if (err >= adx) {
                    err -= adx;
                    ++y;
                }
            }
        }
    }

    if (lastPixel && inside(x1, y1)) plot(x1, y1);
}

} // namespace detail

void drawLine(const Canvas& canvas, bool firstPixel, std::int32_t x0, std::int32_t y0, bool lastPixel,
              std::int32_t x1, std::int32_t y1, std::uint32_t pixel) {
    detail::drawLine64(canvas, firstPixel, x0, y0, lastPixel, x1, y1, pixel);
}

void drawLineBetween(const Canvas& canvas, const Point& a, const Point& b, std::uint32_t pixel) {
    detail::drawLine64(canvas, true, a.x, a.y, true, b.x, b.y, pixel);
}

void drawPolylineSegments(const Canvas& canvas, const Point* points, int count, bool endPixels,
                          std::uint32_t pixel) {
    for (int i = 0; i + 1 < count; ++i)
        detail::drawLine64(canvas, endPixels, points[i].x, points[i].y, endPixels, points[i + 1].x,
                           points[i + 1].y, pixel);
}

void drawRect(const Canvas& canvas, const SDL_Rect& rect, std::uint32_t pixel) {
    const i64 x = rect.x;
    const i64 y = rect.y;
    const i64 w = rect.w;
    const i64 h = rect.h;
    if (w == 0 || h == 0 || x >= canvas.right || y >= canvas.bottom || x + w <= canvas.left ||
        y + h <= canvas.top)
        return;
    const i64 x0 = std::max<i64>(x, canvas.left);
    const i64 x1 = std::min<i64>(x + w, i64{canvas.right} - 1);
    const i64 y0 = std::max<i64>(y, canvas.top);
    const i64 y1 = std::min<i64>(y + h, i64{canvas.bottom} - 1);
    SDL_Surface* surface = canvas.surface;
    SurfaceLock lock(surface);
    if (!lock.ok()) return;
    auto i32 = [](i64 v) { return static_cast<std::int32_t>(v); };
    if (x0 == x) drawVSpan(surface, i32(x0), i32(y0), i32(y1), pixel);
    if (x1 == x + w) drawVSpan(surface, i32(x1), i32(y0), i32(y1), pixel);
    if (y0 == y) drawHSpan(surface, i32(x0), i32(x1), i32(y0), pixel);
    if (y1 == y + h) drawHSpan(surface, i32(x0), i32(x1), i32(y1), pixel);
}

Point applyAffine(const float* m, const Point& point) {
    const float x = static_cast<float>(point.x);
    const float y = static_cast<float>(point.y);
    return Point{floorToInt(m[0] * x + m[4] * y + m[12] + 0.5f),
                 floorToInt(m[1] * x + m[5] * y + m[13] + 0.5f)};
}

} // namespace xe
