#include "render/Pixels.h"

#include "render/Numeric.h"

#include <algorithm>
#include <cstring>

namespace xe {

namespace {

std::uint8_t* pixelAddress(SDL_Surface* surface, std::int64_t x, std::int64_t y) {
    return static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch +
           x * surface->format->BytesPerPixel;
}

} // namespace

void lockSurface(SDL_Surface* surface) {
    if (mustLock(surface)) SDL_LockSurface(surface);
}

void unlockSurface(SDL_Surface* surface) {
    if (mustLock(surface)) SDL_UnlockSurface(surface);
}

std::uint32_t mapColor(std::uint32_t colour, const SDL_Surface* surface) {
    return SDL_MapRGB(surface->format, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void putPixel(SDL_Surface* surface, std::int32_t x, std::int32_t y, std::uint32_t colour) {
    if (x < 0 || y < 0 || x >= surface->w || y >= surface->h) return;
    const std::uint32_t pixel = SDL_MapRGBA(surface->format, colour & 0xFF, (colour >> 8) & 0xFF,
                                            (colour >> 16) & 0xFF, (colour >> 24) & 0xFF);
    plotPixel(surface, x, y, pixel);
}

void plotPixel(SDL_Surface* surface, std::int32_t x, std::int32_t y, std::uint32_t pixel) {
    std::uint8_t* p = pixelAddress(surface, x, y);
    switch (surface->format->BytesPerPixel) {
    case 1:
        *p = static_cast<std::uint8_t>(pixel);
        break;
    case 2:
        *reinterpret_cast<std::uint16_t*>(p) = static_cast<std::uint16_t>(pixel);
        break;
    case 3:
        p[0] = static_cast<std::uint8_t>(pixel >> 16);
        p[1] = static_cast<std::uint8_t>(pixel >> 8);
        p[2] = static_cast<std::uint8_t>(pixel);
        break;
    case 4:
        *reinterpret_cast<std::uint32_t*>(p) = pixel;
        break;
    default:
        break;
    }
}

void drawHSpan(SDL_Surface* surface, std::int32_t x0, std::int32_t x1, std::int32_t y, std::uint32_t pixel) {
    if (x1 <= x0) return;
    fillRowRun(pixelAddress(surface, 0, y), surface->format->BytesPerPixel, x0,
               static_cast<std::size_t>(std::int64_t{x1} - x0), pixel);
}

void fillClipRect(SDL_Surface* surface, std::uint32_t pixel) {
    const int bytes = surface->format->BytesPerPixel;
    const SDL_Rect& clip = surface->clip_rect;
    if (bytes == 3) {
        SDL_FillRect(surface, nullptr, pixel);
        return;
    }
    if (clip.w == 0 || clip.h == 0) return;
    SurfaceLock lock(surface);
    if (!lock.ok()) return;
    // Whole rows without padding between them: one fill of them all.
    if (bytes == 4 && clip.x == 0 && clip.w * 4 == surface->pitch) {
        fillPixels32(reinterpret_cast<std::uint32_t*>(pixelAddress(surface, 0, clip.y)),
                     static_cast<std::size_t>(clip.w) * clip.h, pixel);
        return;
    }
    for (std::int32_t y = clip.y; y < clip.y + clip.h; ++y)
        drawHSpan(surface, clip.x, clip.x + clip.w, y, pixel);
}

bool blitWhole(SDL_Surface* source, SDL_Surface* target, std::int32_t x, std::int32_t y) {
    const SDL_PixelFormat& a = *source->format;
    const SDL_PixelFormat& b = *target->format;
    const bool plain = a.BytesPerPixel == b.BytesPerPixel && a.Rmask == b.Rmask && a.Gmask == b.Gmask &&
                       a.Bmask == b.Bmask && a.Amask == b.Amask && a.palette == nullptr && b.palette == nullptr &&
                       (source->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA)) == 0 && source != target;
    if (!plain) {
        SDL_Rect destination{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
        return SDL_BlitSurface(source, nullptr, target, &destination) == 0;
    }
    // The part of the source that lands inside the target's clip rectangle.
    const SDL_Rect& clip = target->clip_rect;
    const std::int64_t left = std::max<std::int64_t>(x, clip.x);
    const std::int64_t top = std::max<std::int64_t>(y, clip.y);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + source->w, std::int64_t{clip.x} + clip.w);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + source->h, std::int64_t{clip.y} + clip.h);
    if (left >= right || top >= bottom) return true;
    SurfaceLock sourceLock(source);
    SurfaceLock targetLock(target);
    if (!sourceLock.ok() || !targetLock.ok()) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(right - left) * a.BytesPerPixel;
    // Whole rows without padding on both sides: one copy of them all.
    if (rowBytes == source->pitch && rowBytes == target->pitch) {
        std::memcpy(pixelAddress(target, left, top), pixelAddress(source, left - x, top - y),
                    rowBytes * static_cast<std::size_t>(bottom - top));
        return true;
    }
    for (std::int64_t row = top; row < bottom; ++row)
        std::memcpy(pixelAddress(target, left, row), pixelAddress(source, left - x, row - y), rowBytes);
    return true;
}

void drawVSpan(SDL_Surface* surface, std::int32_t x, std::int32_t y0, std::int32_t y1, std::uint32_t pixel) {
    if (y1 <= y0) return;
    std::uint8_t* p = pixelAddress(surface, x, y0);
    const std::int64_t pitch = surface->pitch;
    switch (surface->format->BytesPerPixel) {
    case 1:
        for (std::int32_t y = y0; y < y1; ++y, p += pitch)
            *p = static_cast<std::uint8_t>(pixel);
        break;
    case 2:
        for (std::int32_t y = y0; y < y1; ++y, p += pitch)
            *reinterpret_cast<std::uint16_t*>(p) = static_cast<std::uint16_t>(pixel);
        break;
    case 4:
        for (std::int32_t y = y0; y < y1; ++y, p += pitch)
            *reinterpret_cast<std::uint32_t*>(p) = pixel;
        break;
    default: // 24-bit targets are not supported by the span writers
        break;
    }
}

void fillCircle(SDL_Surface* surface, std::int32_t cx, std::int32_t cy, std::int32_t r,
                std::uint32_t colour) {
    if (r < 0) return;
    const std::int64_t r2 = std::int64_t{r} * r;
    const std::int64_t y0 = std::max<std::int64_t>(std::int64_t{cy} - r, 0);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{cy} + r, surface->h - 1);
    const std::int64_t x0 = std::max<std::int64_t>(std::int64_t{cx} - r, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{cx} + r, surface->w - 1);
    if (y0 > y1 || x0 > x1) return;
    const std::uint32_t pixel = SDL_MapRGBA(surface->format, colour & 0xFF, (colour >> 8) & 0xFF,
                                            (colour >> 16) & 0xFF, (colour >> 24) & 0xFF);
    SurfaceLock lock(surface);
    if (!lock.ok()) return;
    for (std::int64_t y = y0; y <= y1; ++y) {
        const std::int64_t dy = y - cy;
        for (std::int64_t x = x0; x <= x1; ++x) {
            const std::int64_t dx = x - cx;
            if (dx * dx + dy * dy <= r2)
                plotPixel(surface, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), pixel);
        }
    }
}

void fillShadedCircle(SDL_Surface* surface, std::int32_t cx, std::int32_t cy, std::int32_t r,
                      std::uint32_t centreColour, std::uint32_t edgeColour) {
    if (r < 1) return;
    const std::int64_t r2 = std::int64_t{r} * r;
    const std::int64_t y0 = std::max<std::int64_t>(std::int64_t{cy} - r, 0);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{cy} + r, surface->h - 1);
    const std::int64_t x0 = std::max<std::int64_t>(std::int64_t{cx} - r, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{cx} + r, surface->w - 1);
    if (y0 > y1 || x0 > x1) return;
    SurfaceLock lock(surface);
    if (!lock.ok()) return;
    for (std::int64_t y = y0; y <= y1; ++y) {
        const std::int64_t dy = y - cy;
        for (std::int64_t x = x0; x <= x1; ++x) {
            const std::int64_t dx = x - cx;
            const std::int64_t d2 = dx * dx + dy * dy;
            if (d2 > r2) continue;
            const std::int64_t d = static_cast<std::int64_t>(isqrt64(static_cast<std::uint64_t>(d2)));
            std::uint32_t colour = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const std::int64_t centre = (centreColour >> shift) & 0xFF;
                const std::int64_t edge = (edgeColour >> shift) & 0xFF;
                const std::int64_t channel = (centre + d * (edge - centre) / r) & 0xFF;
                colour |= static_cast<std::uint32_t>(channel) << shift;
            }
            putPixel(surface, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), colour);
        }
    }
}

} // namespace xe
