#pragma once
// The lowest layer of the rasteriser: pixel values, single pixels, spans,
// surface locking, and the two disc fillers used outside the map.

#include "render/Canvas.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace xe {

// The SDL 1.2 must-lock rule: a non-zero offset, or a hardware, asynchronous
// blit or RLE-accelerated surface.
inline bool mustLock(const SDL_Surface* surface) {
    return surface->offset != 0 || (surface->flags & (SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_RLEACCEL)) != 0;
}
void lockSurface(SDL_Surface* surface);
void unlockSurface(SDL_Surface* surface);

// Locks a surface for the lifetime of the object when SDL requires it.
// Callers draw only when ok().
class SurfaceLock {
  public:
    // Inline: every primitive takes one, and the map's surfaces never need
    // the call to SDL.
    explicit SurfaceLock(SDL_Surface* surface)
        : surface_(surface), locked_(mustLock(surface) && SDL_LockSurface(surface) == 0) {}
    ~SurfaceLock() {
        if (locked_) SDL_UnlockSurface(surface_);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    // False when the surface must be locked and the lock failed: its pixels
    // may not be touched then.
    bool ok() const { return locked_ || !mustLock(surface_); }
    SurfaceLock& operator=(const SurfaceLock&) = delete;

  private:
    SDL_Surface* surface_;
    bool locked_;
};

// Renderer colour 0x00BBGGRR (red in the low byte, top byte ignored) to the
// surface's pixel value.
std::uint32_t mapColor(std::uint32_t colour, const SDL_Surface* surface);

// Alpha colour 0xAABBGGRR, stored when 0 <= x < width and 0 <= y < height.
// Does not lock.
void putPixel(SDL_Surface* surface, std::int32_t x, std::int32_t y, std::uint32_t colour);

// Stores a pixel value with no clip test; 1, 2, 3 (most significant byte
// first) and 4 bytes per pixel.
void plotPixel(SDL_Surface* surface, std::int32_t x, std::int32_t y, std::uint32_t pixel);

// Pixels x0 .. x1-1 of row y (nothing when x1 <= x0), no clip test. 1, 2 and
// 4 bytes per pixel; 24-bit surfaces are left untouched (not supported).
void drawHSpan(SDL_Surface* surface, std::int32_t x0, std::int32_t x1, std::int32_t y, std::uint32_t pixel);

// Fewer than four pixels from p: the first, the last and the middle one
// are all of them, stored without a loop.
template <class Pixel> inline void fillUnderFour(Pixel* p, std::size_t n, Pixel pixel) {
    if (n == 0) return;
    p[0] = pixel;
    p[n - 1] = pixel;
    p[n / 2] = pixel;
}

// n 32-bit pixels from p. Long runs go to the C library's wide-character
// fill (wchar_t is 32 bits here), whose string stores write whole cache lines
// without reading them first; short ones are stored in place, 16 bytes at a
// time, the last store overlapping the one before (the map's spans are
// mostly a few pixels: no loop of single pixels and no alignment steps).
inline void fillPixels32(std::uint32_t* p, std::size_t n, std::uint32_t pixel) {
    if constexpr (sizeof(wchar_t) == 4) {
        if (n >= 64) {
            std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(pixel), n);
            return;
        }
    }
    if (n < 4) {
        fillUnderFour(p, n, pixel);
        return;
    }
    typedef std::uint32_t Four __attribute__((vector_size(16)));
    const Four four = {pixel, pixel, pixel, pixel};
    for (std::size_t i = 0; i + 4 < n; i += 4)
        std::memcpy(p + i, &four, sizeof four);
    std::memcpy(p + n - 4, &four, sizeof four);
}

// n 16-bit pixels from p, stored like fillPixels32's short runs.
inline void fillPixels16(std::uint16_t* p, std::size_t n, std::uint16_t pixel) {
    if (n < 4) {
        fillUnderFour(p, n, pixel);
        return;
    }
    if (n < 8) {
        typedef std::uint16_t Four __attribute__((vector_size(8)));
        const Four four = {pixel, pixel, pixel, pixel};
        std::memcpy(p, &four, sizeof four);
        std::memcpy(p + n - 4, &four, sizeof four);
        return;
    }
    typedef std::uint16_t Eight __attribute__((vector_size(16)));
    const Eight eight = {pixel, pixel, pixel, pixel, pixel, pixel, pixel, pixel};
    for (std::size_t i = 0; i + 8 < n; i += 8)
        std::memcpy(p + i, &eight, sizeof eight);
    std::memcpy(p + n - 8, &eight, sizeof eight);
}

// Pixels from .. from+count-1 of a row that starts at `row`, on a surface of
// `bytes` bytes per pixel (1, 2 or 4; others are left untouched). The scans
// that fill many rows of one surface take its fields once and store each
// row's run through this, without a call.
inline void fillRowRun(std::uint8_t* row, int bytes, std::int64_t from, std::size_t count,
                       std::uint32_t pixel) {
    switch (bytes) {
    case 1:
        std::memset(row + from, static_cast<std::uint8_t>(pixel), count);
        break;
    case 2:
        fillPixels16(reinterpret_cast<std::uint16_t*>(row) + from, count, static_cast<std::uint16_t>(pixel));
        break;
    case 4:
        fillPixels32(reinterpret_cast<std::uint32_t*>(row) + from, count, pixel);
        break;
    default: // 24-bit targets are not supported by the span writers
        break;
    }
}

// Pixels y0 .. y1-1 of column x, no clip test; 1, 2 and 4 bytes per pixel.
void drawVSpan(SDL_Surface* surface, std::int32_t x, std::int32_t y0, std::int32_t y1, std::uint32_t pixel);

// SDL_FillRect(surface, nullptr, pixel) with wide stores: the clip
// rectangle, 1, 2 and 4 bytes per pixel (other depths go to SDL). Locks as
// needed.
void fillClipRect(SDL_Surface* surface, std::uint32_t pixel);

// SDL_BlitSurface(source, nullptr, target, {x, y}) row by row with memcpy
// when it is a plain copy (same pixel format without palette, no colour key
// or surface alpha on the source); anything else goes to SDL. False when
// nothing could be copied (a lock failed, or SDL's blit failed).
bool blitWhole(SDL_Surface* source, SDL_Surface* target, std::int32_t x, std::int32_t y);

// Every pixel within distance r of the centre (squared distance <= r^2),
// clamped to the surface; alpha colour. Locks as needed.
void fillCircle(SDL_Surface* surface, std::int32_t cx, std::int32_t cy, std::int32_t r, std::uint32_t colour);

// A disc whose colour runs from the centre colour to the edge colour with the
// distance from the centre (alpha colours, each channel separately, wrapping
// in 8 bits). Nothing when r < 1. Locks as needed.
void fillShadedCircle(SDL_Surface* surface, std::int32_t cx, std::int32_t cy, std::int32_t r,
                      std::uint32_t centreColour, std::uint32_t edgeColour);

} // namespace xe
