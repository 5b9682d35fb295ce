#pragma once
// The text drawing interface every caption, overlay and widget uses. Text is
// a range of UTF-16 code units; each unit is drawn as its own glyph (a
// surrogate half finds no glyph and draws the face's missing-glyph box).
// Colours are 0xAABBGGRR (red in the low byte); the alpha byte is ignored.

#include <cstdint>
#include <string_view>

struct SDL_Surface;

namespace Render {

struct TextSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class Font {
  public:
    // Style bits.
    static constexpr std::int32_t Bold = 1;
    static constexpr std::int32_t Italic = 2;
    static constexpr std::int32_t Underline = 4;

    // Effect layers of drawTextSolid.
    static constexpr std::int32_t Halo = 1;
    static constexpr std::int32_t Shadow = 2;
    static constexpr std::int32_t Plain = 4;

    virtual ~Font() = default;
    virtual std::int32_t style() const = 0;
    // Changes the style; the glyphs rendered so far are forgotten.
    virtual void setStyle(std::int32_t style) = 0;
    // Width of the text and the face's line height; false (out left as
    // measured so far) when a glyph cannot be loaded.
    virtual bool textSize(TextSize& out, const char16_t* begin, const char16_t* end) = 0;
    // Anti-aliased text blended onto the target with its top-left at (x, y).
    // Text of zero width logs "Text has zero width" and draws nothing.
    virtual void drawText(SDL_Surface* target, std::int32_t x, std::int32_t y, std::uint32_t colour,
                          const char16_t* begin, const char16_t* end) = 0;
    // The one-bit layers chosen by the effect mask (Halo, Shadow, Plain) in
    // the effect colour at (x, y), then, unless the mask is Plain alone, the
    // anti-aliased text in the text colour at (x + 1, y + 1) on top of them.
    virtual void drawTextSolid(SDL_Surface* target, std::int32_t x, std::int32_t y, std::int32_t effectMask,
                               std::uint32_t textColour, std::uint32_t effectColour, const char16_t* begin,
                               const char16_t* end) = 0;

    bool textSize(TextSize& out, std::u16string_view text) {
        return textSize(out, text.data(), text.data() + text.size());
    }
    void drawText(SDL_Surface* target, std::int32_t x, std::int32_t y, std::uint32_t colour,
                  std::u16string_view text) {
        drawText(target, x, y, colour, text.data(), text.data() + text.size());
    }
    void drawTextSolid(SDL_Surface* target, std::int32_t x, std::int32_t y, std::int32_t effectMask,
                       std::uint32_t textColour, std::uint32_t effectColour, std::u16string_view text) {
        drawTextSolid(target, x, y, effectMask, textColour, effectColour, text.data(),
                      text.data() + text.size());
    }

    Font() = default;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
};

} // namespace Render
