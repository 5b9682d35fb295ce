#include "render/SurfaceTransform.h"

#include "core/Log.h"

#include <SDL/SDL_endian.h>
#include <SDL/SDL_video.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace Render {

namespace {

std::int32_t toFixed(float value) { return std::int32_t(std::floor(double(value) * 65536.0 + 0.5)); }

// A sine and cosine the 16.16 walk can take: finite and no larger than a
// rounding error above 1.
bool usableAngle(float sine, float cosine) {
    return std::fabs(sine) <= 1.001f && std::fabs(cosine) <= 1.001f;
}

bool rectInside(const SDL_Rect& r, const SDL_Surface* s) {
    return r.x >= 0 && r.y >= 0 && int(r.x) + int(r.w) <= s->w && int(r.y) + int(r.h) <= s->h;
}

// Locks a surface for the scope of a worker.
class SurfaceLock {
public:
    explicit SurfaceLock(SDL_Surface* s) : m_surface(s), m_locked(SDL_LockSurface(s) == 0) {}
    ~SurfaceLock() {
        if (m_locked)
            SDL_UnlockSurface(m_surface);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    bool locked() const { return m_locked; }

private:
    SDL_Surface* m_surface;
    bool m_locked;
};

template <class Pixel> Pixel* pixelAt(SDL_Surface* s, int x, int y) {
    return reinterpret_cast<Pixel*>(static_cast<std::uint8_t*>(s->pixels) + std::ptrdiff_t(y) * s->pitch) + x;
}

// A pixel split into its red, green, blue and alpha values through the
// format's masks, shifts and losses, and packed again.
struct Channels {
    std::int32_t v[4];
};

Channels unpack(std::uint32_t pixel, const SDL_PixelFormat* f) {
    return {{std::int32_t(((pixel & f->Rmask) >> f->Rshift) << f->Rloss),
             std::int32_t(((pixel & f->Gmask) >> f->Gshift) << f->Gloss),
             std::int32_t(((pixel & f->Bmask) >> f->Bshift) << f->Bloss),
             std::int32_t(((pixel & f->Amask) >> f->Ashift) << f->Aloss)}};
}

std::uint32_t pack(const Channels& c, const SDL_PixelFormat* f) {
    return ((std::uint32_t(c.v[0]) >> f->Rloss << f->Rshift) & f->Rmask) |
           ((std::uint32_t(c.v[1]) >> f->Gloss << f->Gshift) & f->Gmask) |
           ((std::uint32_t(c.v[2]) >> f->Bloss << f->Bshift) & f->Bmask) |
           ((std::uint32_t(c.v[3]) >> f->Aloss << f->Ashift) & f->Amask);
}

std::int32_t mix(std::int32_t a, std::int32_t b, std::int32_t fraction) {
    return a + (((b - a) * fraction) >> 16);
}

struct RotationWalk {
    std::int64_t startX, startY; // source position of destination (0, 0), 16.16
    std::int32_t ks, kc;
    int width, height;            // destination area
    int sourceWidth, sourceHeight;
};

// Narrows [from, to] to the x with lo <= a + x k <= hi, widened by a pixel
// on each side (the visitors test every pixel themselves: the range only
// spares them the pixels that surely fail).
void narrow(std::int64_t a, std::int64_t k, std::int64_t lo, std::int64_t hi, int& from, int& to) {
    if (k == 0) {
        if (a < lo || a > hi)
            to = from - 1;
        return;
    }
    double first = double(lo - a) / double(k);
    double last = double(hi - a) / double(k);
    if (k < 0)
        std::swap(first, last);
    const double begin = std::floor(first) - 1.0;
    const double end = std::ceil(last) + 1.0;
    if (begin > double(to) || end < double(from)) {
        to = from - 1;
        return;
    }
    if (begin > double(from))
        from = int(begin);
    if (end < double(to))
        to = int(end);
}

// Calls visit(destX, destY, sourceX16, sourceY16) for every destination
// pixel whose source position can fall on or next to the source (from one
// pixel before it to its last one), stepping the source position
// incrementally; the other pixels of a turned rectangle's box are skipped
// row by row.
template <class Visit> void walk(const RotationWalk& w, Visit visit) {
    std::int64_t rowX = w.startX, rowY = w.startY;
    const std::int64_t lo = -65536;
    const std::int64_t hiX = std::int64_t(w.sourceWidth) * 65536 - 1;
    const std::int64_t hiY = std::int64_t(w.sourceHeight) * 65536 - 1;
    for (int y = 0; y < w.height; ++y) {
        int from = 0;
        int to = w.width - 1;
        narrow(rowX, w.kc, lo, hiX, from, to);
        narrow(rowY, w.ks, lo, hiY, from, to);
        std::int64_t sx = rowX + std::int64_t(from) * w.kc, sy = rowY + std::int64_t(from) * w.ks;
        for (int x = from; x <= to; ++x) {
            visit(x, y, sx, sy);
            sx += w.kc;
            sy += w.ks;
        }
        rowX -= w.ks;
        rowY += w.kc;
    }
}

void rotate8(const RotationWalk& w, SDL_Surface* src, const SDL_Rect& r, SDL_Surface* dst) {
    walk(w, [&](int x, int y, std::int64_t sx, std::int64_t sy) {
        const std::int64_t ix = sx >> 16, iy = sy >> 16;
        if (ix < 0 || iy < 0 || ix >= w.sourceWidth || iy >= w.sourceHeight)
            return;
        *pixelAt<std::uint8_t>(dst, x, y) = *pixelAt<std::uint8_t>(src, r.x + int(ix), r.y + int(iy));
    });
}

// Bilinear worker shared by the 2 and 4 byte depths: read gives the four
// channel values of a source pixel, write stores the mixed ones.
template <class Read, class Write>
void rotateBilinear(const RotationWalk& w, const SDL_Rect& r, Read read, Write write) {
    walk(w, [&](int x, int y, std::int64_t sx, std::int64_t sy) {
        const std::int64_t ix = sx >> 16, iy = sy >> 16;
        if (ix < -1 || iy < -1 || ix >= w.sourceWidth || iy >= w.sourceHeight)
            return;
        const auto fx = std::int32_t(sx & 0xFFFF), fy = std::int32_t(sy & 0xFFFF);
        const int x0 = r.x + std::clamp(int(ix), 0, w.sourceWidth - 1);
        const int x1 = r.x + std::clamp(int(ix) + 1, 0, w.sourceWidth - 1);
        const int y0 = r.y + std::clamp(int(iy), 0, w.sourceHeight - 1);
        const int y1 = r.y + std::clamp(int(iy) + 1, 0, w.sourceHeight - 1);
        const Channels p00 = read(x0, y0), p10 = read(x1, y0), p01 = read(x0, y1), p11 = read(x1, y1);
        Channels out;
        for (int i = 0; i < 4; ++i) {
            const std::int32_t top = mix(p00.v[i], p10.v[i], fx);
            const std::int32_t bottom = mix(p01.v[i], p11.v[i], fx);
            out.v[i] = mix(top, bottom, fy);
        }
        write(x, y, out);
    });
}

// The bilinear worker for 4 bytes per pixel, each byte a channel: where the
// 2 x 2 source block lies wholly inside (most of a caption) its two rows are
// read in place; at the edges the clamped reads of rotateBilinear.
void rotate32(const RotationWalk& w, SDL_Surface* source, const SDL_Rect& r, SDL_Surface* destination) {
    auto byteAt = [&](int x, int y) {
        return reinterpret_cast<const std::uint8_t*>(pixelAt<std::uint32_t>(source, r.x + x, r.y + y));
    };
    walk(w, [&](int x, int y, std::int64_t sx, std::int64_t sy) {
        const std::int64_t ix = sx >> 16, iy = sy >> 16;
        if (ix < -1 || iy < -1 || ix >= w.sourceWidth || iy >= w.sourceHeight)
            return;
        const auto fx = std::int32_t(sx & 0xFFFF), fy = std::int32_t(sy & 0xFFFF);
        const std::uint8_t *p00, *p10, *p01, *p11;
        if (ix >= 0 && iy >= 0 && ix + 1 < w.sourceWidth && iy + 1 < w.sourceHeight) {
            p00 = byteAt(int(ix), int(iy));
            p10 = p00 + 4;
            p01 = byteAt(int(ix), int(iy) + 1);
            p11 = p01 + 4;
        } else {
            const int x0 = std::clamp(int(ix), 0, w.sourceWidth - 1);
            const int x1 = std::clamp(int(ix) + 1, 0, w.sourceWidth - 1);
            const int y0 = std::clamp(int(iy), 0, w.sourceHeight - 1);
            const int y1 = std::clamp(int(iy) + 1, 0, w.sourceHeight - 1);
            p00 = byteAt(x0, y0);
            p10 = byteAt(x1, y0);
            p01 = byteAt(x0, y1);
            p11 = byteAt(x1, y1);
        }
        std::uint8_t* out = reinterpret_cast<std::uint8_t*>(pixelAt<std::uint32_t>(destination, x, y));
        for (int i = 0; i < 4; ++i) {
            const std::int32_t top = mix(p00[i], p10[i], fx);
            const std::int32_t bottom = mix(p01[i], p11[i], fx);
            out[i] = std::uint8_t(mix(top, bottom, fy));
        }
    });
}

SDL_Surface* createLike(SDL_Surface* source, int width, int height) {
    const SDL_PixelFormat* f = source->format;
    SDL_Surface* s = SDL_CreateRGBSurface(0, width, height, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (s && f->palette && s->format->palette)
        SDL_SetColors(s, f->palette->colors, 0, f->palette->ncolors);
    return s;
}

std::uint32_t multiplyByte(std::uint32_t v, std::uint32_t f) {
    const std::uint32_t p = v * f + 128;
    return (p + (p >> 8)) >> 8;
}

// The factors of a 4-byte pixel by the byte (in memory order) that holds
// their channel. The colour names red first, while a picture loaded from a
// 32-bit BMP keeps blue in its first byte: multiplying byte by byte as the
// colour lies would tint such a picture with red and blue exchanged (a grey
// blue turned khaki). A byte that no mask covers takes the alpha factor.
std::array<std::uint32_t, 4> byteFactors(const SDL_PixelFormat& f, const std::array<std::uint32_t, 4>& channel) {
    std::array<std::uint32_t, 4> out{channel[3], channel[3], channel[3], channel[3]};
    const Uint32 masks[4] = {f.Rmask, f.Gmask, f.Bmask, f.Amask};
    const Uint8 shifts[4] = {f.Rshift, f.Gshift, f.Bshift, f.Ashift};
    for (int i = 0; i < 4; ++i) {
        if (masks[i] == 0)
            continue;
        const int byte = shifts[i] / 8;
        out[std::size_t(SDL_BYTEORDER == SDL_LIL_ENDIAN ? byte : 3 - byte)] = channel[std::size_t(i)];
    }
    return out;
}

} // namespace

namespace detail {

std::uint32_t zoomStep(int sourceSize, int destinationSize) {
    return std::uint32_t(std::floor(double(sourceSize) * 65536.0 / double(destinationSize) + 0.5));
}

void fillZoomTable(std::uint32_t step, int* table, int count) {
    std::uint64_t a = 0;
    for (int i = 0; i < count; ++i) {
        table[i] = int(a >> 16);
        a = (a & 0xFFFF) + step;
    }
}

} // namespace detail

RotatedSize rotatedSize(int width, int height, float sine, float cosine) {
    const float w = float(width), h = float(height);
    const float wc = w * cosine, hs = h * sine, ws = w * sine, hc = h * cosine;
    const float x = std::max({std::fabs(wc + hs), std::fabs(wc - hs), std::fabs(-wc + hs), std::fabs(-wc - hs)});
    const float y = std::max({std::fabs(ws + hc), std::fabs(ws - hc), std::fabs(-ws + hc), std::fabs(-ws - hc)});
    // An angle that is no angle (NaN, infinite or huge factors) must not
    // reach the float-to-int conversion: sizes stay within SDL's 16 bits.
    auto side = [](float v) {
        if (std::isnan(v)) return 1;
        return std::clamp(int(std::ceil(std::min(v, 65535.0f))), 1, 65535);
    };
    return {side(x), side(y)};
}

bool rotateInto(const SDL_Rect& sourceRect, SDL_Surface* source, float sine, float cosine,
                SDL_Surface* destination) {
    if (!source || !destination || source->format->BitsPerPixel != destination->format->BitsPerPixel)
        return false;
    if (!usableAngle(sine, cosine))
        return false;
    if (!rectInside(sourceRect, source) || sourceRect.w == 0 || sourceRect.h == 0)
        return false;
    const RotatedSize size = rotatedSize(sourceRect.w, sourceRect.h, sine, cosine);
    if (destination->w < size.width || destination->h < size.height) {
        Log::log(Log::Critical, u"Can't rotate surface: destination surface is too small.");
        return false;
    }
    SurfaceLock lockSource(source), lockDestination(destination);
    if (!lockSource.locked() || !lockDestination.locked())
        return false;

    RotationWalk w;
    w.ks = toFixed(sine);
    w.kc = toFixed(cosine);
    w.width = size.width;
    w.height = size.height;
    w.sourceWidth = sourceRect.w;
    w.sourceHeight = sourceRect.h;
    const std::int64_t dx = -(size.width / 2), dy = -(size.height / 2);
    w.startX = (std::int64_t(sourceRect.w / 2) << 16) + dx * w.kc - dy * w.ks;
    w.startY = (std::int64_t(sourceRect.h / 2) << 16) + dx * w.ks + dy * w.kc;

    const SDL_PixelFormat* f = source->format;
    switch (f->BytesPerPixel) {
    case 1:
        rotate8(w, source, sourceRect, destination);
        return true;
    case 2:
        rotateBilinear(
            w, sourceRect, [&](int x, int y) { return unpack(*pixelAt<std::uint16_t>(source, x, y), f); },
            [&](int x, int y, const Channels& c) {
                *pixelAt<std::uint16_t>(destination, x, y) = std::uint16_t(pack(c, f));
            });
        return true;
    case 4:
        rotate32(w, source, sourceRect, destination);
        return true;
    default:
        Log::log(Log::Critical, u"Can't rotate %d bpp surface", int(f->BitsPerPixel));
        return false;
    }
}

SDL_Surface* rotateSurface(SDL_Surface* source, float sine, float cosine) {
    if (!source || !usableAngle(sine, cosine))
        return nullptr;
    const RotatedSize size = rotatedSize(source->w, source->h, sine, cosine);
    SDL_Surface* result = createLike(source, size.width, size.height);
    if (!result)
        return nullptr;
    SDL_Rect all{0, 0, Uint16(source->w), Uint16(source->h)};
    if (!rotateInto(all, source, sine, cosine, result)) {
        SDL_FreeSurface(result);
        return nullptr;
    }
    return result;
}

namespace {

// Every source pixel becomes a factor x factor square of the destination
// rectangle (factor times the source's size). Written from the far end, so
// that the source may be the destination's own top-left corner.
template <class Pixel>
void multiplyRows(SDL_Surface* dst, const SDL_Rect& d, SDL_Surface* src, const SDL_Rect& s, int factor) {
    for (int y = s.h - 1; y >= 0; --y) {
        const Pixel* in = pixelAt<Pixel>(src, s.x, s.y + y);
        for (int row = factor - 1; row >= 0; --row) {
            Pixel* out = pixelAt<Pixel>(dst, d.x, d.y + factor * y + row);
            for (int x = s.w - 1; x >= 0; --x) {
                const Pixel p = in[x];
                std::fill_n(out + factor * x, factor, p);
            }
        }
    }
}

// multiplyRows by 2 written out, two pixels a step: the doubled design's
// framed pictures come through here on every draw, and the generic loop's
// count per pixel takes about six times as long.
template <class Pixel> void doubleRows(SDL_Surface* dst, const SDL_Rect& d, SDL_Surface* src, const SDL_Rect& s) {
    for (int y = s.h - 1; y >= 0; --y) {
        const Pixel* in = pixelAt<Pixel>(src, s.x, s.y + y);
        Pixel* out0 = pixelAt<Pixel>(dst, d.x, d.y + 2 * y);
        Pixel* out1 = pixelAt<Pixel>(dst, d.x, d.y + 2 * y + 1);
        // Each pixel is read before its place is written.
        int x = s.w - 1;
        for (; x >= 1; x -= 2) {
            const Pixel a = in[x - 1], b = in[x];
            out0[2 * x - 2] = out0[2 * x - 1] = a;
            out0[2 * x] = out0[2 * x + 1] = b;
            out1[2 * x - 2] = out1[2 * x - 1] = a;
            out1[2 * x] = out1[2 * x + 1] = b;
        }
        if (x == 0)
            out0[0] = out0[1] = out1[0] = out1[1] = in[0];
    }
}

// Nearest-neighbour copy driven by the step tables: each entry after the
// first is how far the source moves after a destination pixel. The source
// index is held inside the rectangle: rounding the step up can otherwise
// carry the last pixels of a large enlargement one past the edge.
template <class Pixel>
void zoomRows(SDL_Surface* dst, const SDL_Rect& d, SDL_Surface* src, const SDL_Rect& s, const int* columns,
              const int* rows) {
    int sy = 0;
    for (int y = 0; y < d.h; ++y) {
        const Pixel* in = pixelAt<Pixel>(src, s.x, s.y + std::min(sy, s.h - 1));
        Pixel* out = pixelAt<Pixel>(dst, d.x, d.y + y);
        int sx = 0;
        for (int x = 0; x < d.w; ++x) {
            out[x] = in[std::min(sx, s.w - 1)];
            sx += columns[x + 1];
        }
        sy += rows[y + 1];
    }
}

} // namespace

bool zoomInto(const SDL_Rect& destinationRect, SDL_Surface* destination, SDL_Surface* source,
              const SDL_Rect& sourceRect) {
    if (!source || !destination || source->format->BitsPerPixel != destination->format->BitsPerPixel)
        return false;
    if (!rectInside(sourceRect, source) || !rectInside(destinationRect, destination))
        return false;
    if (destinationRect.w == 0 || destinationRect.h == 0)
        return true;
    if (sourceRect.w == 0 || sourceRect.h == 0)
        return false;
    const int bytes = source->format->BytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 4) {
        Log::log(Log::Critical, u"Can't zoom %d bpp surface", int(source->format->BitsPerPixel));
        return false;
    }
    SurfaceLock lockSource(source), lockDestination(destination);
    if (!lockSource.locked() || !lockDestination.locked())
        return false;

    if (destinationRect.w == 2 * sourceRect.w && destinationRect.h == 2 * sourceRect.h) {
        if (bytes == 1)
            doubleRows<std::uint8_t>(destination, destinationRect, source, sourceRect);
        else if (bytes == 2)
            doubleRows<std::uint16_t>(destination, destinationRect, source, sourceRect);
        else
            doubleRows<std::uint32_t>(destination, destinationRect, source, sourceRect);
        return true;
    }

    const int columnCount = destinationRect.w + 1, rowCount = destinationRect.h + 1;
    std::array<int, 200> small;
    std::vector<int> large;
    int* tables = small.data();
    if (columnCount + rowCount > int(small.size())) {
        large.resize(std::size_t(columnCount + rowCount));
        tables = large.data();
    }
    detail::fillZoomTable(detail::zoomStep(sourceRect.w, destinationRect.w), tables, columnCount);
    detail::fillZoomTable(detail::zoomStep(sourceRect.h, destinationRect.h), tables + columnCount, rowCount);
    const int* columns = tables;
    const int* rows = tables + columnCount;
    if (bytes == 1)
        zoomRows<std::uint8_t>(destination, destinationRect, source, sourceRect, columns, rows);
    else if (bytes == 2)
        zoomRows<std::uint16_t>(destination, destinationRect, source, sourceRect, columns, rows);
    else
        zoomRows<std::uint32_t>(destination, destinationRect, source, sourceRect, columns, rows);
    return true;
}

SDL_Surface* zoomSurface(SDL_Surface* source, int width, int height) {
    if (!source || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
        return nullptr;
    SDL_Surface* result = createLike(source, width, height);
    if (!result)
        return nullptr;
    const SDL_Rect from{0, 0, Uint16(source->w), Uint16(source->h)};
    const SDL_Rect to{0, 0, Uint16(width), Uint16(height)};
    if (!zoomInto(to, result, source, from)) {
        SDL_FreeSurface(result);
        return nullptr;
    }
    return result;
}

SDL_Surface* wholeScaleSurface(SDL_Surface* source, int factor) {
    if (!source || factor < 1 || source->w * factor > 0xFFFF || source->h * factor > 0xFFFF)
        return nullptr;
    const int bytes = source->format->BytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 4) {
        Log::log(Log::Critical, u"Can't zoom %d bpp surface", int(source->format->BitsPerPixel));
        return nullptr;
    }
    SDL_Surface* result = createLike(source, source->w * factor, source->h * factor);
    if (!result)
        return nullptr;
    {
        SurfaceLock lockSource(source), lockResult(result);
        if (!lockSource.locked() || !lockResult.locked()) {
            SDL_FreeSurface(result);
            return nullptr;
        }
        const SDL_Rect from{0, 0, Uint16(source->w), Uint16(source->h)};
        const SDL_Rect to{0, 0, Uint16(result->w), Uint16(result->h)};
        if (bytes == 1)
            multiplyRows<std::uint8_t>(result, to, source, from, factor);
        else if (bytes == 2)
            multiplyRows<std::uint16_t>(result, to, source, from, factor);
        else
            multiplyRows<std::uint32_t>(result, to, source, from, factor);
    }
    // Drawn as the source is: its transparent colour and its surface alpha.
    if (source->flags & SDL_SRCCOLORKEY)
        SDL_SetColorKey(result, SDL_SRCCOLORKEY, source->format->colorkey);
    if (source->flags & SDL_SRCALPHA)
        SDL_SetAlpha(result, SDL_SRCALPHA, source->format->alpha);
    return result;
}

void multiplySurface(SDL_Surface* surface, std::uint32_t colour) {
    if (!surface)
        return;
    const SDL_PixelFormat* f = surface->format;
    const std::array<std::uint32_t, 4> factor{colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF,
                                              colour >> 24};
    const int bytes = f->BytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 4) {
        Log::log(Log::Critical, u"Can't multiply %d bpp surface", int(f->BitsPerPixel));
        return;
    }
    // A palettised picture carries its colours in the palette, not in the
    // pixel values: tinting the palette is what tints the picture.
    if (bytes == 1 && f->palette && (f->Rmask | f->Gmask | f->Bmask | f->Amask) == 0) {
        std::vector<SDL_Color> colours(f->palette->colors, f->palette->colors + f->palette->ncolors);
        for (SDL_Color& c : colours) {
            c.r = Uint8(multiplyByte(c.r, factor[0]));
            c.g = Uint8(multiplyByte(c.g, factor[1]));
            c.b = Uint8(multiplyByte(c.b, factor[2]));
        }
        SDL_SetColors(surface, colours.data(), 0, int(colours.size()));
        return;
    }
    SurfaceLock lock(surface);
    if (!lock.locked())
        return;
    const std::array<std::uint32_t, 4> inBytes = bytes == 4 ? byteFactors(*f, factor) : factor;
    for (int y = 0; y < surface->h; ++y) {
        std::uint8_t* row = static_cast<std::uint8_t*>(surface->pixels) + std::ptrdiff_t(y) * surface->pitch;
        for (int x = 0; x < surface->w; ++x) {
            if (bytes == 4) {
                std::uint8_t* p = row + 4 * x;
                for (std::size_t i = 0; i < 4; ++i)
                    p[i] = std::uint8_t(multiplyByte(p[i], inBytes[i]));
                continue;
            }
            std::uint32_t pixel = 0;
            if (bytes == 2) {
                std::uint16_t v;
                std::memcpy(&v, row + 2 * x, 2);
                pixel = v;
            } else {
                pixel = row[x];
            }
            Channels c = unpack(pixel, f);
            for (int i = 0; i < 4; ++i)
                c.v[i] = std::int32_t(multiplyByte(std::uint32_t(c.v[i]), factor[i]));
            pixel = pack(c, f);
            if (bytes == 2) {
                const auto v = std::uint16_t(pixel);
                std::memcpy(row + 2 * x, &v, 2);
            } else {
                row[x] = std::uint8_t(pixel);
            }
        }
    }
}

} // namespace Render
