#pragma once
// One open TrueType face: the FreeType face read through an SDL stream, its
// pixel size and line metrics, the style, and the cache of glyphs rendered
// for that style. TtfFont is its public face; tests and benchmarks reach the
// cache through it.

#include "render/Font.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

struct SDL_RWops;
struct FT_FaceRec_;

namespace Render {

// One byte per pixel, rows of pitch bytes.
struct GlyphBitmap {
    std::int32_t rows = 0;
    std::int32_t width = 0;
    std::int32_t pitch = 0;
    std::unique_ptr<std::uint8_t[]> buffer;
};

struct CachedGlyph {
    static constexpr std::uint32_t Metrics = 0x10;
    static constexpr std::uint32_t EffectBitmap = 0x01;
    static constexpr std::uint32_t Pixmap = 0x02;

    // Effect bitmap bits.
    static constexpr std::uint8_t HaloBit = 1;
    static constexpr std::uint8_t ShadowBit = 2;
    static constexpr std::uint8_t GlyphBit = 4;

    std::uint32_t stored = 0;
    std::uint32_t index = 0; // FreeType glyph index, 0 until looked up
    // One pixel wider and taller on every side than the glyph; bits HaloBit,
    // ShadowBit, GlyphBit.
    GlyphBitmap effect;
    // Coverage 0..255.
    GlyphBitmap pixmap;
    std::int32_t minx = 0, maxx = 0, miny = 0, maxy = 0, yoffset = 0, advance = 0;
    char16_t code = 0;
};

// Glyphs by character code. No size limit: a font only ever meets the
// characters of the texts it draws, and the map's texts use a small set.
using GlyphMap = std::map<char16_t, std::shared_ptr<CachedGlyph>>;

class TtfFace {
  public:
    // Takes the stream (closing it on destruction when closeStream is set)
    // and opens face 0 of it; isOpen() tells whether that worked (failures
    // are logged, "Couldn't init FreeType engine (ft_err 0x%02X)" among
    // them). Holds the process's FreeType library while it lives, which is
    // released with the last face. Main thread only.
    TtfFace(SDL_RWops* stream, bool closeStream);
    ~TtfFace();
    TtfFace(const TtfFace&) = delete;
    TtfFace& operator=(const TtfFace&) = delete;

    bool isOpen() const { return m_face != nullptr; }
    // Pixel size of a scalable face, or the strike index of a bitmap-only
    // face (limited to the last strike). Clears the style.
    bool setSize(std::int32_t size);

    std::int32_t height() const { return m_height; }
    std::int32_t ascent() const { return m_ascent; }
    std::int32_t descent() const { return m_descent; }
    std::int32_t style() const { return m_style; }
    void setStyle(std::int32_t style);

    bool textSize(TextSize& out, const char16_t* begin, const char16_t* end);
    // textSize, refusing (with a log line) texts of no width or too wide to draw.
    bool drawableSize(TextSize& out, const char16_t* begin, const char16_t* end);
    void drawText(SDL_Surface* target, std::int32_t x, std::int32_t y, std::uint32_t colour,
                  const char16_t* begin, const char16_t* end);
    void drawTextSolid(SDL_Surface* target, std::int32_t x, std::int32_t y, std::int32_t effectMask,
                       std::uint32_t textColour, std::uint32_t effectColour, const char16_t* begin,
                       const char16_t* end);

    std::size_t cachedGlyphCount() const { return m_glyphs.size(); }

    // FreeType's stream record with the source stream behind it.
    struct StreamRecord;

  private:
    static bool acquireLibrary();

    // The glyph with every wanted part loaded; null (the code dropped from
    // the cache, logged) when FreeType fails.
    CachedGlyph* glyph(char16_t code, std::uint32_t wanted);
    bool loadGlyph(CachedGlyph& glyph, std::uint32_t wanted);
    bool renderBitmap(CachedGlyph& glyph, bool mono);
    // Underline rows [first, first + count) of a text height tall.
    std::int32_t underlineRow() const;

    SDL_RWops* m_source = nullptr;
    bool m_closeStream = false;
    std::unique_ptr<StreamRecord> m_stream;
    FT_FaceRec_* m_face = nullptr;
    bool m_libraryHeld = false;
    std::int32_t m_height = 0;
    std::int32_t m_ascent = 0;
    std::int32_t m_descent = 0;
    std::int32_t m_style = 0;
    std::int32_t m_glyphOverhang = 0;
    float m_glyphItalics = 0.0f;
    std::int32_t m_underlineOffset = 0;
    std::int32_t m_underlineHeight = 1;
    GlyphMap m_glyphs;
    std::int32_t m_fixedSizeIndex = 0;
};

} // namespace Render
