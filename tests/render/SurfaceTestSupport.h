#pragma once
// Software surfaces for the rasteriser tests: creation at 16 or 32 bits per
// pixel, pixel read-back and masks drawn as text.

#include "render/Canvas.h"

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace RenderTest {

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

inline SurfacePtr makeSurface(int bitsPerPixel, int w, int h) {
    SDL_Surface* s = nullptr;
    switch (bitsPerPixel) {
    case 8:
        s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 8, 0, 0, 0, 0);
        break;
    case 16:
        s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
        break;
    case 24:
        s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
        break;
    default:
        s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        break;
    }
    return SurfacePtr(s);
}

inline SurfacePtr argbSurface(int w, int h, bool alpha = true) {
    return SurfacePtr(
        SDL_CreateRGBSurface(0, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, alpha ? 0xFF000000 : 0));
}

inline std::uint32_t pixelAt(const SDL_Surface* s, int x, int y) {
    const auto* p = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    switch (s->format->BytesPerPixel) {
    case 1:
        return *p;
    case 2:
        return *reinterpret_cast<const std::uint16_t*>(p);
    case 3:
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    default:
        return *reinterpret_cast<const std::uint32_t*>(p);
    }
}

inline void setPixel(SDL_Surface* s, int x, int y, std::uint32_t v) {
    auto* p = static_cast<std::uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    std::memcpy(p, &v, s->format->BytesPerPixel); // little-endian: low bytes first
}

inline void fillAll(SDL_Surface* s, std::uint32_t pixel) {
    SDL_FillRect(s, nullptr, pixel);
}

// Rows of the rectangle (x, y, w, h), '#' where the pixel equals the given
// value and '.' elsewhere, each row ended by '\n'.
inline std::string mask(const SDL_Surface* s, int x, int y, int w, int h, std::uint32_t pixel) {
    std::string out;
    for (int row = y; row < y + h; ++row) {
        for (int col = x; col < x + w; ++col)
            out += pixelAt(s, col, row) == pixel ? '#' : '.';
        out += '\n';
    }
    return out;
}

// Number of pixels outside the canvas clip rectangle that differ from the
// sentinel value.
inline int touchedOutside(const SDL_Surface* s, const xe::Canvas& c, std::uint32_t sentinel) {
    int n = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
            if (!inside && pixelAt(s, x, y) != sentinel) ++n;
        }
    return n;
}

inline int countPixels(const SDL_Surface* s, std::uint32_t pixel) {
    int n = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            n += pixelAt(s, x, y) == pixel;
    return n;
}

// Fixed seed for the random tests, overridable with MIREL_TEST_SEED.
inline unsigned testSeed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20261206u;
}

} // namespace RenderTest
