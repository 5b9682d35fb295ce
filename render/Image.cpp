#include "render/Image.h"

#include "core/FileRW.h"
#include "core/Log.h"
#include "core/RWops.h"
#include "core/Text.h"
#include "core/TempSurface.h"
#include "core/VirtualFs.h"
#include "core/WinFile.h"
#include "render/SurfaceTransform.h"

#include <SDL/SDL_error.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Render {

namespace {

std::int16_t clampCoordinate(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }

SDL_Rect makeRect(int x, int y, int w, int h) {
    return SDL_Rect{clampCoordinate(x), clampCoordinate(y), Uint16(std::clamp(w, 0, 0xFFFF)),
                    Uint16(std::clamp(h, 0, 0xFFFF))};
}

bool blit(SDL_Surface* source, const SDL_Rect& sourceRect, SDL_Surface* destination, int x, int y) {
    SDL_Rect from = sourceRect;
    SDL_Rect to = makeRect(x, y, 0, 0);
    return SDL_UpperBlit(source, &from, destination, &to) == 0;
}

std::uint32_t freeByteMask(const SDL_PixelFormat* f) { return ~(f->Rmask | f->Gmask | f->Bmask); }

// The largest picture taken: far beyond any icon, pattern or skin, far below
// what would exhaust memory when converted or multiplied.
constexpr std::uint64_t MaxImagePixels = std::uint64_t{1} << 24;

// SDL's loader allocates the surface the header declares before it reads a
// row: 54 bytes can ask for gigabytes. A picture of more pixels than the
// cap, or than the file has bits for (the loader reads no compressed BMP),
// is refused before the loader sees it. False when so; the stream is left
// where it was.
bool declaredSizeFits(SDL_RWops* stream, int start, std::int64_t fileBytes) {
    std::uint8_t h[26];
    if (fileBytes < 0 || SDL_RWread(stream, h, 1, sizeof h) != static_cast<int>(sizeof h)) {
        SDL_RWseek(stream, start, RW_SEEK_SET);
        return true; // too short for a header: the loader says so itself
    }
    SDL_RWseek(stream, start, RW_SEEK_SET);
    auto le = [&](int at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | h[at + i];
        return v;
    };
    std::int64_t width = 0, height = 0;
    if (le(14, 4) == 12) { // the OS/2 header: 16-bit dimensions
        width = le(18, 2);
        height = le(20, 2);
    } else {
        width = static_cast<std::int32_t>(le(18, 4));
        height = static_cast<std::int32_t>(le(22, 4));
    }
    const std::uint64_t pixels = static_cast<std::uint64_t>(std::abs(width)) * static_cast<std::uint64_t>(std::abs(height));
    return pixels <= MaxImagePixels && pixels <= 8 * static_cast<std::uint64_t>(fileBytes);
}

// SDL's loader takes a bit count that is no real depth (2835, 6144, 32769
// ...) and hands back a surface of nonsense format (depth 19, 0 or 128, pitch
// 0, or a depth of 1 cut from 32769 with no palette) with the header's
// dimensions, which its own conversion then crashes on. Such a surface is
// refused here.
const char* unusableBmp(const SDL_Surface* s) {
    const SDL_PixelFormat* f = s->format;
    switch (f->BitsPerPixel) {
    case 1: case 4: case 8: case 15: case 16: case 24: case 32:
        break;
    default:
        return "BMP bit count is not a depth";
    }
    if (f->BytesPerPixel != (f->BitsPerPixel + 7) / 8 ||
        (f->BitsPerPixel <= 8 && (f->palette == nullptr || f->palette->ncolors <= 0)))
        return "BMP bit count is not a depth";
    // Colour masks wider than eight bits (from a damaged bit-field header)
    // give losses SDL computes below zero: shifts no pixel code may take.
    for (const Uint8 loss : {f->Rloss, f->Gloss, f->Bloss, f->Aloss})
        if (loss > 8)
            return "BMP colour masks are not channels";
    for (const Uint8 shift : {f->Rshift, f->Gshift, f->Bshift, f->Ashift})
        if (shift > 31)
            return "BMP colour masks are not channels";
    if (s->pitch == 0 || s->w <= 0 || s->h <= 0 || s->pitch < s->w * f->BytesPerPixel)
        return "BMP has no rows";
    return nullptr;
}

// Reads a BMP stream (closing it) and applies the alpha rule; logs nothing:
// a refusal leaves its reason in SDL's error.
SDL_Surface* readBmp(SDL_RWops* stream) {
    const int start = SDL_RWtell(stream);
    const int end = SDL_RWseek(stream, 0, RW_SEEK_END);
    const std::int64_t fileBytes = start >= 0 && end >= start ? end - start : -1;
    SDL_RWseek(stream, start, RW_SEEK_SET);
    if (!declaredSizeFits(stream, start, fileBytes)) {
        SDL_RWclose(stream);
        SDL_SetError("BMP dimensions exceed the file");
        return nullptr;
    }
    SDL_Surface* loaded = SDL_LoadBMP_RW(stream, 1);
    if (!loaded)
        return nullptr;
    if (const char* reason = unusableBmp(loaded)) {
        SDL_FreeSurface(loaded);
        SDL_SetError("%s", reason);
        return nullptr;
    }
    return detail::applyBmpAlpha(loaded);
}

void logLoaded(std::u16string_view name, const SDL_Surface* surface) {
    Log::log(Log::Info, u"Image file '%s' : %d x %d", name, surface ? surface->w : 0, surface ? surface->h : 0);
}

} // namespace

namespace detail {

SDL_Surface* applyBmpAlpha(SDL_Surface* loaded) {
    const SDL_PixelFormat* f = loaded->format;
    if (f->BitsPerPixel != 32 || f->Amask != 0 || freeByteMask(f) == 0)
        return loaded;
    const std::uint32_t alphaMask = freeByteMask(f);
    if (SDL_LockSurface(loaded) != 0)
        return loaded;
    bool hasAlpha = false;
    for (int y = 0; y < loaded->h && !hasAlpha; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(loaded->pixels) +
                                                                 std::ptrdiff_t(y) * loaded->pitch);
        for (int x = 0; x < loaded->w; ++x)
            if (row[x] & alphaMask) {
                hasAlpha = true;
                break;
            }
    }
    SDL_UnlockSurface(loaded);
    if (!hasAlpha)
        return loaded;
    SDL_Surface* withAlpha =
        SDL_CreateRGBSurface(0, loaded->w, loaded->h, 32, f->Rmask, f->Gmask, f->Bmask, alphaMask);
    if (!withAlpha)
        return loaded;
    SDL_LockSurface(loaded);
    SDL_LockSurface(withAlpha);
    for (int y = 0; y < loaded->h; ++y)
        std::memcpy(static_cast<std::uint8_t*>(withAlpha->pixels) + std::ptrdiff_t(y) * withAlpha->pitch,
                    static_cast<const std::uint8_t*>(loaded->pixels) + std::ptrdiff_t(y) * loaded->pitch,
                    std::size_t(loaded->w) * 4);
    SDL_UnlockSurface(withAlpha);
    SDL_UnlockSurface(loaded);
    SDL_FreeSurface(loaded);
    return withAlpha;
}

} // namespace detail

SDL_Surface* loadImage(const std::u16string& path, const SDL_PixelFormat* format) {
    Log::log(Log::Info, u"Loading image file '%s'", path);
    auto file = std::make_unique<FileSystem::WinFileForRead>(path);
    if (!file->isOpen()) {
        Log::log(Log::Critical, u"Failed to load image file '%s' (err %d)", path, file->lastError());
        return nullptr;
    }
    SDL_RWops* stream = FileSystem::createRWops(std::move(file));
    SDL_Surface* loaded = stream ? readBmp(stream) : nullptr;
    if (!loaded) {
        Log::log(Log::Critical, u"Failed to load image file '%s' (sdl_err %hs)", path, SDL_GetError());
        return nullptr;
    }
    if (!format)
        return loaded;
    SDL_Surface* converted = SDL_ConvertSurface(loaded, const_cast<SDL_PixelFormat*>(format), 0);
    SDL_FreeSurface(loaded);
    logLoaded(path, converted);
    return converted;
}

SDL_Surface* loadPackedImage(FileSystem::VirtualFs& files, const std::string& name, const SDL_PixelFormat* format) {
    Log::log(Log::Info, "Loading image file '%s' from pack", name);
    SDL_RWops* stream = name.empty() ? nullptr : files.open(name, ".zip");
    SDL_Surface* loaded = stream ? readBmp(stream) : nullptr;
    if (!loaded) {
        Log::log(Log::Critical, "Failed to load image file '%s' from pack", name);
        return nullptr;
    }
    if (!format)
        return loaded;
    // Keep transparency: the display format plus an alpha channel in the
    // byte it leaves free, as a display-format-with-alpha conversion does.
    SDL_Surface* probe = nullptr;
    if (loaded->format->Amask && format->BitsPerPixel == 32 && format->Amask == 0 && freeByteMask(format) != 0)
        probe = SDL_CreateRGBSurface(0, 1, 1, 32, format->Rmask, format->Gmask, format->Bmask, freeByteMask(format));
    SDL_Surface* converted =
        SDL_ConvertSurface(loaded, probe ? probe->format : const_cast<SDL_PixelFormat*>(format), 0);
    if (probe)
        SDL_FreeSurface(probe);
    SDL_FreeSurface(loaded);
    logLoaded(Core::utf8ToWide(name), converted);
    return converted;
}

ImageFromSurface::ImageFromSurface(SDL_Surface* surface) : m_surface(surface) {}

std::unique_ptr<ImageFromSurface> ImageFromSurface::owning(SDL_Surface* surface) {
    auto image = std::make_unique<ImageFromSurface>(surface);
    image->m_owns = true;
    return image;
}

ImageFromSurface::~ImageFromSurface() {
    if (m_owns && m_surface)
        SDL_FreeSurface(m_surface);
}

bool ImageFromSurface::drawAligned(SDL_Surface* destination, const SDL_Rect& rect, int hAlign, int vAlign) {
    if (!m_surface)
        return false;
    int x = rect.x, y = rect.y;
    if (hAlign == AlignCentre)
        x += (int(rect.w) - m_surface->w) / 2;
    else if (hAlign == AlignEnd)
        x += int(rect.w) - m_surface->w;
    if (vAlign == AlignCentre)
        y += (int(rect.h) - m_surface->h) / 2;
    else if (vAlign == AlignEnd)
        y += int(rect.h) - m_surface->h;
    blit(m_surface, makeRect(0, 0, m_surface->w, m_surface->h), destination, x, y);
    return true;
}

bool ImageFromSurface::drawPart(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source) {
    if (!m_surface)
        return false;
    blit(m_surface, source, destination, x, y);
    return true;
}

bool ImageFromSurface::drawMultiplied(SDL_Surface* destination, std::int16_t x, std::int16_t y,
                                      const SDL_Rect& source, std::uint32_t colour) {
    if (!m_surface)
        return false;
    SDL_Surface* copy = SDL_ConvertSurface(m_surface, m_surface->format, 0);
    if (!copy) {
        blit(m_surface, source, destination, x, y);
        return true;
    }
    multiplySurface(copy, colour);
    blit(copy, source, destination, x, y);
    SDL_FreeSurface(copy);
    return true;
}

bool drawImageAt(const ImageAnchor& anchor, int x, int y, SDL_Surface* destination) {
    if (!anchor.image)
        return false;
    const SDL_Rect all = makeRect(0, 0, anchor.image->width(), anchor.image->height());
    return anchor.image->drawPart(destination, clampCoordinate(x - anchor.originX), clampCoordinate(y - anchor.originY),
                                  all);
}

namespace {

// One run of a framed drawing: a piece of the image laid along a line of
// the destination, either drawn from the image in steps of its own size or
// scaled once into the temporary surface and blitted in steps of the scaled
// size.
struct FrameRun {
    Image& image;
    SDL_Surface* destination;
    TempSurface& temp;

    // Piece (sx, sy, sw, sh) of the image repeated over [from, to) along x
    // (horizontal) or y, at the fixed other coordinate; scaledLength > the
    // piece's length stretches it first.
    bool run(const SDL_Rect& piece, bool horizontal, int fixed, int from, int to, int scaledLength) {
        const int pieceLength = horizontal ? piece.w : piece.h;
        if (scaledLength > pieceLength) {
            if (!image.isValid())
                return false;
            const int w = horizontal ? scaledLength : piece.w;
            const int h = horizontal ? piece.h : scaledLength;
            SDL_Surface* scratch = temp.get(w, h);
            if (!scratch || !zoomInto(makeRect(0, 0, w, h), scratch, image.surface(), piece))
                return false;
            for (int p = from; p < to; p += scaledLength) {
                const int length = std::min(scaledLength, to - p);
                const SDL_Rect part = horizontal ? makeRect(0, 0, length, h) : makeRect(0, 0, w, length);
                blit(scratch, part, destination, horizontal ? p : fixed, horizontal ? fixed : p);
            }
            return true;
        }
        for (int p = from; p < to; p += pieceLength) {
            const int length = std::min(pieceLength, to - p);
            const SDL_Rect part = horizontal ? makeRect(piece.x, piece.y, length, piece.h)
                                             : makeRect(piece.x, piece.y, piece.w, length);
            if (!image.drawPart(destination, clampCoordinate(horizontal ? p : fixed),
                                clampCoordinate(horizontal ? fixed : p), part))
                return false;
        }
        return true;
    }
};

} // namespace

bool drawImage(const ImageFrame& frame, SDL_Surface* destination, const SDL_Rect& rect, TempSurface& temp) {
    if (!frame.image)
        return false;
    const int L = frame.left, T = frame.top, R = frame.right, B = frame.bottom;
    const int X = rect.x, Y = rect.y;
    const int x0 = X + L, y0 = Y + T, x1 = X + int(rect.w) - R, y1 = Y + int(rect.h) - B;
    const int iw = x1 - x0, ih = y1 - y0;
    if (iw < 0 || ih < 0)
        return false;
    Image& image = *frame.image;
    // An image that loads on demand knows its size only once loaded.
    if (!image.isValid())
        return false;
    const int w = image.width(), h = image.height();
    const int sw = w - L - R, sh = h - T - B;
    if (sw <= 0 || sh <= 0)
        return false;
    const int pw = iw > sw && !frame.tileHorizontally ? iw : sw;
    const int ph = ih > sh && !frame.tileVertically ? ih : sh;

    FrameRun runs{image, destination, temp};
    // Centre.
    if (pw == sw && ph == sh) {
        for (int y = y0; y < y1; y += sh)
            for (int x = x0; x < x1; x += sw)
                if (!image.drawPart(destination, clampCoordinate(x), clampCoordinate(y),
                                    makeRect(L, T, std::min(sw, x1 - x), std::min(sh, y1 - y))))
                    return false;
    } else if (iw > 0 && ih > 0) {
        SDL_Surface* scratch = temp.get(pw, ph);
        if (!scratch || !zoomInto(makeRect(0, 0, pw, ph), scratch, image.surface(), makeRect(L, T, sw, sh)))
            return false;
        for (int y = y0; y < y1; y += ph)
            for (int x = x0; x < x1; x += pw)
                blit(scratch, makeRect(0, 0, std::min(pw, x1 - x), std::min(ph, y1 - y)), destination, x, y);
    }
    // Edges: left, top, right, bottom.
    if (L > 0 && !runs.run(makeRect(0, T, L, sh), false, X, y0, y1, ph))
        return false;
    if (T > 0 && !runs.run(makeRect(L, 0, sw, T), true, Y, x0, x1, pw))
        return false;
    if (R > 0 && !runs.run(makeRect(w - R, T, R, sh), false, x1, y0, y1, ph))
        return false;
    if (B > 0 && !runs.run(makeRect(L, h - B, sw, B), true, y1, x0, x1, pw))
        return false;
    // Corners, unscaled.
    struct Corner {
        bool present;
        SDL_Rect source;
        int x, y;
    };
    const Corner corners[4] = {{L > 0 && T > 0, makeRect(0, 0, L, T), X, Y},
                               {R > 0 && T > 0, makeRect(w - R, 0, R, T), x1, Y},
                               {L > 0 && B > 0, makeRect(0, h - B, L, B), X, y1},
                               {R > 0 && B > 0, makeRect(w - R, h - B, R, B), x1, y1}};
    for (const Corner& c : corners)
        if (c.present && !image.drawPart(destination, clampCoordinate(c.x), clampCoordinate(c.y), c.source))
            return false;
    return true;
}

} // namespace Render
