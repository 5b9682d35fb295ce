#pragma once
// The demo font and small helpers for looking at drawn text: opaque 32-bit
// targets and the sets and boxes of pixels that differ from the background.

#include "render/Font.h"
#include "render/TtfFont.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <set>
#include <utility>

namespace RenderTest {

inline std::shared_ptr<Render::Font> demoFont(int size = 14) {
    return Render::TtfFont::open(u"" MIREL_TEST_FONT, size);
}

struct OpaqueSurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using OpaqueSurface = std::unique_ptr<SDL_Surface, OpaqueSurfaceDeleter>;

// 32 bits, no alpha channel, filled with the background 0x00RRGGBB.
inline OpaqueSurface makeOpaque(int w, int h, std::uint32_t background = 0xFFFFFF) {
    OpaqueSurface s(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0));
    SDL_FillRect(s.get(), nullptr, background);
    return s;
}

inline std::uint32_t rgbAt(const SDL_Surface* s, int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch;
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
}

using PixelSet = std::set<std::pair<int, int>>;

template <class Pred> PixelSet pixelsWhere(const SDL_Surface* s, Pred pred) {
    PixelSet out;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            if (pred(rgbAt(s, x, y))) out.insert({x, y});
    return out;
}

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive; empty when right < left
    bool empty() const { return right < left; }
    bool operator==(const Box&) const = default;
};

inline Box boxOf(const PixelSet& pixels) {
    Box b{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
    if (pixels.empty()) return Box{};
    for (const auto& [x, y] : pixels) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
    }
    return b;
}

} // namespace RenderTest
