#pragma once
// Small surfaces for the render tests, read back pixel by pixel.

#include <SDL/SDL_video.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace RenderTest {

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// 32 bits, 0xAARRGGBB in memory order B, G, R, A.
inline SurfacePtr argbSurface(int w, int h, bool alpha = true) {
    return SurfacePtr(
        SDL_CreateRGBSurface(0, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, alpha ? 0xFF000000 : 0));
}

inline SurfacePtr surfaceOfDepth(int w, int h, int bits) {
    switch (bits) {
    case 8:
        return SurfacePtr(SDL_CreateRGBSurface(0, w, h, 8, 0xE0, 0x1C, 0x03, 0));
    case 16:
        return SurfacePtr(SDL_CreateRGBSurface(0, w, h, 16, 0xF800, 0x07E0, 0x001F, 0));
    case 24:
        return SurfacePtr(SDL_CreateRGBSurface(0, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0));
    default:
        return argbSurface(w, h);
    }
}

inline std::uint32_t getPixel(const SDL_Surface* s, int x, int y) {
    const auto* p = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    switch (s->format->BytesPerPixel) {
    case 1:
        return *p;
    case 2: {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    default: {
        std::uint32_t v = 0;
        std::memcpy(&v, p, s->format->BytesPerPixel);
        return v;
    }
    }
}

inline void setPixel(SDL_Surface* s, int x, int y, std::uint32_t v) {
    auto* p = static_cast<std::uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    std::memcpy(p, &v, s->format->BytesPerPixel); // little-endian: low bytes first
}

inline void fill(SDL_Surface* s, std::uint32_t v) {
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            setPixel(s, x, y, v);
}

} // namespace RenderTest
