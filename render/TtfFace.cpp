#include "render/TtfFace.h"

#include "core/Log.h"
#include "render/detail/FontStream.h"

#include <SDL.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace Render {

namespace {

// One library for the process, alive while any face is open.
FT_Library g_library = nullptr;
int g_libraryUsers = 0;

// Bounds for what a damaged face may claim: text surfaces are made from
// these sizes.
constexpr std::int32_t MaxTextWidth = 16384;
constexpr std::int32_t MaxLineHeight = 2048;
constexpr std::int32_t MaxGlyphSide = 4096;
constexpr FT_Pos MaxPixels26 = FT_Pos{1} << 30;

// 26.6 fixed point to whole pixels; values beyond any real glyph are cut to
// a range whose sums cannot overflow.
std::int32_t floor26(FT_Pos v) {
    v = std::clamp(v, -MaxPixels26, MaxPixels26);
    return static_cast<std::int32_t>((v & -64) / 64);
}
std::int32_t ceil26(FT_Pos v) {
    v = std::clamp(v, -MaxPixels26, MaxPixels26);
    return static_cast<std::int32_t>(((v + 63) & -64) / 64);
}

// Kerning between two glyph indexes in whole pixels.
std::int32_t kernPixels(FT_Face face, std::uint32_t previous, std::uint32_t current) {
    FT_Vector delta{};
    if (FT_Get_Kerning(face, previous, current, FT_KERNING_DEFAULT, &delta)) return 0;
    return static_cast<std::int32_t>(delta.x >> 6);
}

std::uint8_t red(std::uint32_t c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}
std::uint8_t green(std::uint32_t c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
std::uint8_t blue(std::uint32_t c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

// Blits a text surface with its top-left at (x, y). SDL takes 16-bit
// positions: a text far off the target must stay off it rather than wrap
// back onto it. Clamped, a text never reaches a target from beyond +-32767
// (texts are at most MaxTextWidth + 2 wide).
void blitText(SDL_Surface* text, SDL_Surface* target, std::int32_t x, std::int32_t y) {
    SDL_Rect at{static_cast<Sint16>(std::clamp<std::int32_t>(x, INT16_MIN, INT16_MAX)),
                static_cast<Sint16>(std::clamp<std::int32_t>(y, INT16_MIN, INT16_MAX)), 0, 0};
    SDL_UpperBlit(text, nullptr, target, &at);
}

// Locks for the lifetime of the object when SDL requires it.
class Lock {
  public:
    explicit Lock(SDL_Surface* s) : m_surface(s), m_ok(!SDL_MUSTLOCK(s) || SDL_LockSurface(s) == 0) {}
    ~Lock() {
        if (m_ok && SDL_MUSTLOCK(m_surface)) SDL_UnlockSurface(m_surface);
    }
    bool ok() const { return m_ok; }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

  private:
    SDL_Surface* m_surface;
    bool m_ok;
};

} // namespace

// The FreeType stream record and where the font starts in the source stream:
// FreeType addresses the font from 0, the source may hold it at an offset.
struct TtfFace::StreamRecord {
    FT_StreamRec record{};
    long base = 0;
    SDL_RWops* source = nullptr;
};

namespace {

// FreeType's stream read.
unsigned long readStream(FT_Stream stream, unsigned long offset, unsigned char* buffer, unsigned long count) {
    auto* record = reinterpret_cast<TtfFace::StreamRecord*>(stream);
    return detail::readFontStream(record->source, record->base, offset, buffer, count);
}

} // namespace

bool TtfFace::acquireLibrary() {
    if (g_libraryUsers == 0) {
        const FT_Error error = FT_Init_FreeType(&g_library);
        if (error) {
            Log::log(Log::Critical, u"Couldn't init FreeType engine (ft_err 0x%02X)", error);
            g_library = nullptr;
            return false;
        }
    }
    ++g_libraryUsers;
    return true;
}

TtfFace::TtfFace(SDL_RWops* stream, bool closeStream)
    : m_source(stream), m_closeStream(closeStream), m_libraryHeld(acquireLibrary()) {
    if (!stream || !m_libraryHeld) return;
    const int position = SDL_RWseek(stream, 0, RW_SEEK_CUR);
    if (position < 0) {
        Log::log(Log::Critical, u"Can't seek in font stream");
        return;
    }
    m_stream.reset(new (std::nothrow) StreamRecord);
    if (!m_stream) {
        Log::log(Log::Critical, u"Out of memory");
        return;
    }
    const int end = SDL_RWseek(stream, 0, RW_SEEK_END);
    SDL_RWseek(stream, position, RW_SEEK_SET);
    if (end < position) {
        Log::log(Log::Critical, u"Can't seek in font stream");
        return;
    }
    m_stream->base = position;
    m_stream->source = stream;
    m_stream->record.base = nullptr;
    m_stream->record.size = static_cast<unsigned long>(end - position);
    m_stream->record.pos = 0;
    m_stream->record.descriptor.pointer = stream;
    m_stream->record.read = readStream;
    m_stream->record.close = nullptr;

    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &m_stream->record;
    FT_Face face = nullptr;
    const FT_Error error = FT_Open_Face(g_library, &args, 0, &face);
    if (error) {
        Log::log(Log::Critical, u"Couldn't load font file (ft_err 0x%02X)", error);
        return;
    }
    m_face = face;
}

TtfFace::~TtfFace() {
    m_glyphs.clear();
    if (m_face) FT_Done_Face(m_face);
    m_stream.reset();
    if (m_closeStream && m_source) SDL_RWclose(m_source);
    if (m_libraryHeld && --g_libraryUsers == 0) {
        FT_Done_FreeType(g_library);
        g_library = nullptr;
    }
}

bool TtfFace::setSize(std::int32_t size) {
    FT_Face face = m_face;
    if (FT_IS_SCALABLE(face)) {
        const FT_Error error = FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(size) * 64, 0, 0);
        if (error) {
            Log::log(Log::Normal, u"Couldn't set font size (ft_err 0x%02X)", error);
            return false;
        }
        const FT_Fixed scale = face->size->metrics.y_scale;
        m_ascent = ceil26(FT_MulFix(face->ascender, scale));
        m_descent = ceil26(FT_MulFix(face->descender, scale));
        m_height = m_ascent - m_descent + 1;
        m_underlineOffset = floor26(FT_MulFix(face->underline_position, scale));
        m_underlineHeight = floor26(FT_MulFix(face->underline_thickness, scale));
    } else {
        if (face->num_fixed_sizes <= 0) {
            Log::log(Log::Critical, u"Couldn't set font size (ft_err 0x%02X)", 0x17);
            return false;
        }
        m_fixedSizeIndex = std::clamp(size, 0, face->num_fixed_sizes - 1);
        const FT_Bitmap_Size& strike = face->available_sizes[m_fixedSizeIndex];
        // A strike is chosen by its index: its nominal pixel size rarely
        // equals its line height and width, which a size request would match.
        const FT_Error error = FT_Select_Size(face, m_fixedSizeIndex);
        if (error) {
            Log::log(Log::Critical, u"Couldn't set font size (ft_err 0x%02X)", error);
            return false;
        }
        m_ascent = m_height = strike.height;
        m_descent = 0;
        m_underlineOffset = floor26(face->underline_position);
        m_underlineHeight = floor26(face->underline_thickness);
    }
    if (m_height < 1 || m_height > MaxLineHeight) {
        // A damaged face: its line box cannot be drawn.
        Log::log(Log::Normal, u"Couldn't set font size (ft_err 0x%02X)", FT_Err_Invalid_Pixel_Size);
        return false;
    }
    if (m_underlineHeight < 1) m_underlineHeight = 1;
    m_underlineHeight = std::min(m_underlineHeight, m_height);
    m_style = 0;
    m_glyphs.clear();
    m_glyphOverhang = face->size->metrics.y_ppem / 10;
    m_glyphItalics = static_cast<float>(m_height) * 0.207f;
    return true;
}

void TtfFace::setStyle(std::int32_t style) {
    m_style = style;
    m_glyphs.clear();
}

CachedGlyph* TtfFace::glyph(char16_t code, std::uint32_t wanted) {
    auto it = m_glyphs.find(code);
    if (it == m_glyphs.end()) {
        auto fresh = std::make_shared<CachedGlyph>();
        fresh->code = code;
        it = m_glyphs.emplace(code, std::move(fresh)).first;
    }
    CachedGlyph& g = *it->second;
    if ((g.stored & wanted) == wanted) return &g;
    if (!loadGlyph(g, wanted & ~g.stored)) {
        m_glyphs.erase(it);
        return nullptr;
    }
    return &g;
}

bool TtfFace::loadGlyph(CachedGlyph& g, std::uint32_t wanted) {
    FT_Face face = m_face;
    if (g.index == 0) g.index = FT_Get_Char_Index(face, g.code);
    FT_Error error = FT_Load_Glyph(face, g.index, FT_LOAD_DEFAULT);
    if (error) {
        Log::log(Log::Critical, u"Failed to load glyph '%c' (ft_err 0x%02X)", g.code, error);
        return false;
    }
    if (wanted & CachedGlyph::Metrics) {
        const FT_Glyph_Metrics& m = face->glyph->metrics;
        g.minx = floor26(m.horiBearingX);
        g.maxy = floor26(m.horiBearingY);
        g.miny = g.maxy - ceil26(m.height);
        g.advance = ceil26(m.horiAdvance);
        if (FT_IS_SCALABLE(face)) {
            g.maxx = g.minx + ceil26(m.width);
            g.yoffset = m_ascent - g.maxy;
        } else {
            g.maxx = g.minx + ceil26(m.horiAdvance);
            g.yoffset = 0;
        }
        if (m_style & Font::Bold) g.maxx += m_glyphOverhang;
        if (m_style & Font::Italic) g.maxx += static_cast<std::int32_t>(std::floor(m_glyphItalics + 0.5f));
        g.stored |= CachedGlyph::Metrics;
    }
    bool loaded = true;
    for (const bool mono : {true, false}) {
        const std::uint32_t bit = mono ? CachedGlyph::EffectBitmap : CachedGlyph::Pixmap;
        if (!(wanted & bit)) continue;
        // Rendering (and the italic shear) changes the loaded glyph slot, so
        // every bitmap starts from a freshly loaded outline.
        if (!loaded) {
            error = FT_Load_Glyph(face, g.index, FT_LOAD_DEFAULT);
            if (error) {
                Log::log(Log::Critical, u"Failed to load glyph '%c' (ft_err 0x%02X)", g.code, error);
                return false;
            }
        }
        loaded = false;
        if (!renderBitmap(g, mono)) return false;
        g.stored |= bit;
    }
    return true;
}

bool TtfFace::renderBitmap(CachedGlyph& g, bool mono) {
    FT_GlyphSlot slot = m_face->glyph;
    if ((m_style & Font::Italic) && slot->format == FT_GLYPH_FORMAT_OUTLINE && m_height > 0) {
        FT_Matrix shear;
        shear.xx = 1 << 16;
        shear.xy = static_cast<FT_Fixed>(m_glyphItalics / static_cast<float>(m_height) * 65536.0f);
        shear.yx = 0;
        shear.yy = 1 << 16;
        FT_Outline_Transform(&slot->outline, &shear);
    }
    const FT_Error error = FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL);
    if (error) {
        Log::log(Log::Critical, u"Failed to render glyph '%c' (ft_err 0x%02X)", g.code, error);
        return false;
    }
    const FT_Bitmap& src = slot->bitmap;
    const std::int32_t rows = static_cast<std::int32_t>(src.rows);
    std::int32_t width = static_cast<std::int32_t>(src.width);
    const std::int32_t overhang = (m_style & Font::Bold) ? m_glyphOverhang : 0;
    width += overhang;
    if (m_style & Font::Italic) width += static_cast<std::int32_t>(std::ceil(m_glyphItalics));

    if (rows > MaxGlyphSide || width > MaxGlyphSide) {
        Log::log(Log::Critical, u"Out of memory allocating '%c' glyph buffer", g.code);
        return false;
    }
    GlyphBitmap plain;
    plain.rows = rows;
    plain.width = width;
    plain.pitch = width;
    const std::size_t bytes = static_cast<std::size_t>(rows) * static_cast<std::size_t>(width);
    plain.buffer.reset(new (std::nothrow) std::uint8_t[bytes ? bytes : 1]());
    if (!plain.buffer) {
        Log::log(Log::Critical, u"Out of memory allocating '%c' glyph buffer", g.code);
        return false;
    }
    const std::int32_t srcWidth = static_cast<std::int32_t>(src.width);
    for (std::int32_t r = 0; r < rows; ++r) {
        const std::uint8_t* in = src.pitch >= 0
                                     ? src.buffer + static_cast<std::ptrdiff_t>(r) * src.pitch
                                     : src.buffer + static_cast<std::ptrdiff_t>(rows - 1 - r) * -src.pitch;
        std::uint8_t* out = plain.buffer.get() + static_cast<std::ptrdiff_t>(r) * width;
        switch (src.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
            for (std::int32_t c = 0; c < srcWidth; ++c)
                out[c] = (in[c >> 3] & (0x80 >> (c & 7))) ? 0xFF : 0;
            break;
        case FT_PIXEL_MODE_GRAY2:
            for (std::int32_t c = 0; c < srcWidth; ++c)
                out[c] = static_cast<std::uint8_t>(((in[c >> 2] >> (6 - 2 * (c & 3))) & 3) * 255 / 3);
            break;
        case FT_PIXEL_MODE_GRAY4:
            for (std::int32_t c = 0; c < srcWidth; ++c)
                out[c] = static_cast<std::uint8_t>(((in[c >> 1] >> (4 - 4 * (c & 1))) & 15) * 255 / 15);
            break;
        default:
            std::copy(in, in + srcWidth, out);
            break;
        }
    }
    // Bold: smear every row rightwards by the overhang.
    for (std::int32_t pass = 0; pass < overhang; ++pass) {
        for (std::int32_t r = 0; r < rows; ++r) {
            std::uint8_t* row = plain.buffer.get() + static_cast<std::ptrdiff_t>(r) * width;
            for (std::int32_t c = width - 1; c > 0; --c) {
                const unsigned a = row[c];
                const unsigned b = row[c - 1];
                row[c] =
                    mono ? static_cast<std::uint8_t>(a | b) : static_cast<std::uint8_t>(a + b - a * b / 255);
            }
        }
    }
    if (!mono) {
        g.pixmap = std::move(plain);
        return true;
    }
    GlyphBitmap layered;
    layered.rows = rows + 2;
    layered.width = width + 2;
    layered.pitch = width + 2;
    const std::size_t layeredBytes = static_cast<std::size_t>(rows + 2) * static_cast<std::size_t>(width + 2);
    layered.buffer.reset(new (std::nothrow) std::uint8_t[layeredBytes]());
    if (!layered.buffer) {
        Log::log(Log::Critical, u"Out of memory allocating '%c' glyph buffer", g.code);
        return false;
    }
    const std::int32_t pitch = layered.pitch;
    std::uint8_t* dst = layered.buffer.get();
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t c = 0; c < width; ++c) {
            if (!plain.buffer[static_cast<std::size_t>(r) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(c)])
                continue;
            for (std::int32_t dr = 0; dr < 3; ++dr)
                for (std::int32_t dc = 0; dc < 3; ++dc)
                    dst[(r + dr) * pitch + c + dc] |= CachedGlyph::HaloBit;
            dst[(r + 1) * pitch + c + 1] |=
                CachedGlyph::HaloBit | CachedGlyph::ShadowBit | CachedGlyph::GlyphBit;
            dst[(r + 2) * pitch + c + 2] |= CachedGlyph::HaloBit | CachedGlyph::ShadowBit;
        }
    }
    g.effect = std::move(layered);
    return true;
}

bool TtfFace::textSize(TextSize& out, const char16_t* begin, const char16_t* end) {
    const bool useKerning = FT_HAS_KERNING(m_face);
    const std::int32_t overhang = (m_style & Font::Bold) ? m_glyphOverhang : 0;
    std::int64_t pen = 0, minX = 0, maxX = 0;
    std::uint32_t previous = 0;
    bool ok = true;
    for (const char16_t* p = begin; p != end; ++p) {
        const CachedGlyph* g = glyph(*p, CachedGlyph::Metrics);
        if (!g) {
            ok = false;
            break;
        }
        if (useKerning && previous && g->index) pen += kernPixels(m_face, previous, g->index);
        minX = std::min<std::int64_t>(minX, pen + g->minx);
        maxX = std::max<std::int64_t>(maxX, pen + std::max(g->maxx, g->advance));
        pen += g->advance + overhang;
        previous = g->index;
    }
    out.width = static_cast<std::int32_t>(std::min<std::int64_t>(maxX - minX, MaxTextWidth + 1));
    out.height = m_height;
    return ok;
}

std::int32_t TtfFace::underlineRow() const {
    return std::clamp(m_ascent - m_underlineOffset - 1, 0, std::max(0, m_height - m_underlineHeight));
}

namespace {

// Walks the glyphs of a text the way the measurement does and hands each
// one's bitmap origin (column, row) to the visitor; false when a glyph fails.
template <class Lookup, class Visit>
bool walkGlyphs(const char16_t* begin, const char16_t* end, bool useKerning, std::int32_t overhang,
                Lookup lookup, std::int32_t (*kern)(FT_Face, std::uint32_t, std::uint32_t), FT_Face face,
                Visit visit) {
    std::int64_t pen = 0;
    std::uint32_t previous = 0;
    for (const char16_t* p = begin; p != end; ++p) {
        const CachedGlyph* g = lookup(*p);
        if (!g) return false;
        if (useKerning && previous && g->index) pen += kern(face, previous, g->index);
        std::int64_t left = pen + g->minx;
        // The first glyph's left bearing may be negative: it starts at 0.
        if (p == begin && g->minx < 0) left -= g->minx;
        visit(*g, left);
        pen += g->advance + overhang;
        previous = g->index;
    }
    return true;
}

// Copies a glyph bitmap into an 8-bit plane at (left, top), keeping only the
// part inside width x height: accents above the ascent, descenders below
// the descent, negative kerning and combining marks all reach outside it.
template <class Put>
void clipGlyph(const GlyphBitmap& bitmap, std::int64_t left, std::int64_t top, std::int32_t width,
               std::int32_t height, Put put) {
    const std::int64_t r0 = std::max<std::int64_t>(0, -top);
    const std::int64_t r1 = std::min<std::int64_t>(bitmap.rows, height - top);
    const std::int64_t c0 = std::max<std::int64_t>(0, -left);
    const std::int64_t c1 = std::min<std::int64_t>(bitmap.width, width - left);
    for (std::int64_t r = r0; r < r1; ++r) {
        const std::uint8_t* row = bitmap.buffer.get() + r * bitmap.pitch;
        for (std::int64_t c = c0; c < c1; ++c)
            put(static_cast<std::int32_t>(left + c), static_cast<std::int32_t>(top + r), row[c]);
    }
}

} // namespace

bool TtfFace::drawableSize(TextSize& size, const char16_t* begin, const char16_t* end) {
    if (!textSize(size, begin, end)) return false;
    if (size.width <= 0) {
        Log::log(Log::Normal, u"Text has zero width");
        return false;
    }
    if (size.width > MaxTextWidth) {
        Log::log(Log::Normal, u"Text is too wide (%d pixels)", size.width);
        return false;
    }
    return true;
}

void TtfFace::drawText(SDL_Surface* target, std::int32_t x, std::int32_t y, std::uint32_t colour,
                       const char16_t* begin, const char16_t* end) {
    TextSize size;
    if (!drawableSize(size, begin, end)) return;
    SurfacePtr text(SDL_CreateRGBSurface(SDL_SWSURFACE, size.width, size.height, 32, 0x00FF0000, 0x0000FF00,
                                         0x000000FF, 0xFF000000));
    if (!text) return;
    SDL_FillRect(text.get(), nullptr, SDL_MapRGBA(text->format, red(colour), green(colour), blue(colour), 0));
    {
        Lock lock(text.get());
        if (!lock.ok()) return;
        const std::int32_t w = text->w, h = text->h;
        auto* pixels = static_cast<std::uint8_t*>(text->pixels);
        const int pitch = text->pitch;
        auto put = [&](std::int32_t px, std::int32_t py, std::uint8_t v) {
            auto* pixel = reinterpret_cast<std::uint32_t*>(pixels + py * pitch) + px;
            *pixel |= static_cast<std::uint32_t>(v) << 24;
        };
        const bool ok = walkGlyphs(
            begin, end, FT_HAS_KERNING(m_face), (m_style & Font::Bold) ? m_glyphOverhang : 0,
            [this](char16_t c) { return glyph(c, CachedGlyph::Metrics | CachedGlyph::Pixmap); }, kernPixels,
            m_face,
            [&](const CachedGlyph& g, std::int64_t left) {
                clipGlyph(g.pixmap, left, g.yoffset, w, h, put);
            });
        if (!ok) return;
        if (m_style & Font::Underline) {
            const std::int32_t row = underlineRow();
            for (std::int32_t r = row; r < std::min(h, row + m_underlineHeight); ++r)
                for (std::int32_t c = 0; c < w; ++c)
                    put(c, r, 0xFF);
        }
    }
    blitText(text.get(), target, x, y);
}

void TtfFace::drawTextSolid(SDL_Surface* target, std::int32_t x, std::int32_t y, std::int32_t effectMask,
                            std::uint32_t textColour, std::uint32_t effectColour, const char16_t* begin,
                            const char16_t* end) {
    TextSize size;
    if (!drawableSize(size, begin, end)) return;
    SurfacePtr text(SDL_CreateRGBSurface(SDL_SWSURFACE, size.width + 2, size.height + 2, 8, 0, 0, 0, 0));
    if (!text) return;
    SDL_Color palette[2];
    palette[0].r = static_cast<Uint8>(255 - red(effectColour));
    palette[0].g = static_cast<Uint8>(255 - green(effectColour));
    palette[0].b = static_cast<Uint8>(255 - blue(effectColour));
    palette[1].r = red(effectColour);
    palette[1].g = green(effectColour);
    palette[1].b = blue(effectColour);
    SDL_SetColors(text.get(), palette, 0, 2);
    SDL_FillRect(text.get(), nullptr, 0);
    SDL_SetColorKey(text.get(), SDL_SRCCOLORKEY, 0);
    const std::uint8_t mask = static_cast<std::uint8_t>(effectMask & 7);
    {
        Lock lock(text.get());
        if (!lock.ok()) return;
        const std::int32_t w = text->w, h = text->h;
        auto* pixels = static_cast<std::uint8_t*>(text->pixels);
        const int pitch = text->pitch;
        auto put = [&](std::int32_t px, std::int32_t py, std::uint8_t v) {
            if (v & mask) pixels[py * pitch + px] = 1;
        };
        const bool ok = walkGlyphs(
            begin, end, FT_HAS_KERNING(m_face), (m_style & Font::Bold) ? m_glyphOverhang : 0,
            [this](char16_t c) { return glyph(c, CachedGlyph::Metrics | CachedGlyph::EffectBitmap); },
            kernPixels, m_face,
            [&](const CachedGlyph& g, std::int64_t left) {
                clipGlyph(g.effect, left, g.yoffset, w, h, put);
            });
        if (!ok) return;
        if (m_style & Font::Underline) {
            // The underline with its one-pixel margin, like a glyph's layers.
            const std::int32_t row = underlineRow();
            for (std::int32_t r = row; r < std::min(h, row + m_underlineHeight + 2); ++r)
                for (std::int32_t c = 0; c < w; ++c)
                    pixels[r * pitch + c] = 1;
        }
    }
    blitText(text.get(), target, x, y);
    if (effectMask != Font::Plain)
        drawText(target, x < INT32_MAX ? x + 1 : x, y < INT32_MAX ? y + 1 : y, textColour, begin, end);
}

} // namespace Render
