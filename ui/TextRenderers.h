#pragma once
// Text renderers (plain, with an effect, a cursor image in the text's
// place) and the text operations of windows, which use the window's text
// renderer or, without one, its font and colours. Alignments: horizontal
// 0 left, 1 centre, 2 right; vertical 0 top, 1 centre, 2 bottom.

#include "ui/TxtRenderer.h"

#include <string_view>

namespace Render {
class Image;
}

namespace Ui {

class fdWindowBase;
struct CursorRecord;

// The origin of a text of size (tw, th) aligned in the rectangle; halves
// toward zero.
TextPoint alignedOrigin(const SDL_Rect& rect, std::int32_t tw, std::int32_t th, int hAlign, int vAlign);

class TxtRendererBase : public TxtRenderer {
public:
    void setFont(Render::Font* font) override { m_font = font; }
    void setColors(const ColourPair& colours) override { m_colours = colours; }
    Render::Font* font() const { return m_font; }
    const ColourPair& colors() const { return m_colours; }

protected:
    Render::Font* m_font = nullptr;
    ColourPair m_colours{0, 0};
};

class SimpleTxtRenderer : public TxtRendererBase {
public:
    int kind() const override { return 1; }
    Render::TextSize measure(std::u16string_view text) override;
    TextPoint origin(const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign) override;
    void draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign,
              bool isDay) override;
};

// The font's effect drawing (Render::Font::Halo, Shadow, Plain) under the
// text; measures 2 pixels larger each way to leave room for it.
class EffectTxtRenderer : public TxtRendererBase {
public:
    EffectTxtRenderer(std::int32_t effect, const ColourPair& effectColours)
        : m_effect(effect), m_effectColours(effectColours) {}
    int kind() const override { return 2; }
    Render::TextSize measure(std::u16string_view text) override;
    TextPoint origin(const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign) override;
    void draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign,
              bool isDay) override;
    std::int32_t effect() const { return m_effect; }

private:
    std::int32_t m_effect;
    ColourPair m_effectColours;
};

// Draws a cursor of the design centred in the rectangle in place of the
// text, tinted by the current colour unless that is -1.
class CursorTxtRenderer : public TxtRendererBase {
public:
    CursorTxtRenderer(Render::Image* image, std::int32_t hotX, std::int32_t hotY)
        : m_image(image), m_hotX(hotX), m_hotY(hotY) {}
    int kind() const override { return 3; }
    Render::TextSize measure(std::u16string_view) override { return {}; }
    TextPoint origin(const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign) override;
    void draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign,
              bool isDay) override;

private:
    Render::Image* m_image;
    std::int32_t m_hotX, m_hotY;
};

// Font-level operations: the text is measured only when an alignment is not
// 0; nothing is drawn when the origin is at or beyond the surface's width or
// height, or without a font.
TextPoint textOrigin(std::u16string_view text, const SDL_Rect& rect, int hAlign, int vAlign, Render::Font* font);
void drawAlignedText(std::u16string_view text, SDL_Surface* surface, const SDL_Rect& rect, std::uint32_t colour,
                     int hAlign, int vAlign, Render::Font* font);

// Window text operations.
Render::TextSize measureText(const fdWindowBase& window, std::u16string_view text);
// The text as it fits `width` pixels in the window's font: whole when it
// fits, else its longest beginning followed by an ellipsis (spaces and
// commas before the ellipsis dropped), or with `keepEnd` an ellipsis
// followed by its longest end (a device path is told apart by its end).
std::u16string shortenedToFit(const fdWindowBase& window, const std::u16string& text, std::int32_t width,
                              bool keepEnd = false);
void drawTextInRect(const fdWindowBase& window, SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text,
                    int hAlign, int vAlign);
// A two-pixel bar as high as the line, after the first min(column, length)
// characters of the line aligned in the rectangle.
void drawCaret(const fdWindowBase& window, SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view line,
               std::int32_t column, int hAlign, int vAlign);

} // namespace Ui
