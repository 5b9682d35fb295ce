#pragma once
// The program's one font implementation: a TrueType face through FreeType.

#include "render/Font.h"
#include "render/TtfFace.h"

#include <memory>
#include <string>

struct SDL_RWops;

namespace Render {

class TtfFont : public Font {
  public:
    // Opens face 0 of the stream at the given pixel size (for a bitmap-only
    // face: strike index). The font owns the stream from here on when
    // closeStream is set, also when opening fails. Empty on any failure
    // (logged).
    static std::shared_ptr<Font> create(SDL_RWops* stream, std::int32_t size, bool closeStream = true);
    // A font file through the file layer; empty (logged) when it cannot be
    // read or is not a font.
    static std::shared_ptr<Font> open(const std::u16string& path, std::int32_t size);

    explicit TtfFont(std::unique_ptr<TtfFace> face) : m_face(std::move(face)) {}

    std::int32_t style() const override { return m_face->style(); }
    void setStyle(std::int32_t style) override { m_face->setStyle(style); }
    bool textSize(TextSize& out, const char16_t* begin, const char16_t* end) override {
        return m_face->textSize(out, begin, end);
    }
    void drawText(SDL_Surface* target, std::int32_t x, std::int32_t y, std::uint32_t colour,
                  const char16_t* begin, const char16_t* end) override {
        m_face->drawText(target, x, y, colour, begin, end);
    }
    void drawTextSolid(SDL_Surface* target, std::int32_t x, std::int32_t y, std::int32_t effectMask,
                       std::uint32_t textColour, std::uint32_t effectColour, const char16_t* begin,
                       const char16_t* end) override {
        m_face->drawTextSolid(target, x, y, effectMask, textColour, effectColour, begin, end);
    }
    using Font::drawText;
    using Font::drawTextSolid;
    using Font::textSize;

    TtfFace& face() { return *m_face; }

  private:
    std::unique_ptr<TtfFace> m_face;
};

} // namespace Render
