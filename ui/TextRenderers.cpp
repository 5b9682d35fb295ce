#include "ui/TextRenderers.h"

#include "render/Image.h"
#include "render/Pixels.h"
#include "ui/fdWindowBase.h"

#include <algorithm>

namespace Ui {

namespace {

Render::TextSize fontSize(Render::Font* font, std::u16string_view text) {
    Render::TextSize size;
    if (font)
        font->textSize(size, text);
    return size;
}

bool onSurface(const SDL_Surface* surface, const TextPoint& p) { return p.x < surface->w && p.y < surface->h; }

} // namespace

TextPoint alignedOrigin(const SDL_Rect& rect, std::int32_t tw, std::int32_t th, int hAlign, int vAlign) {
    TextPoint p{rect.x, rect.y};
    if (hAlign == 1)
        p.x += (std::int32_t(rect.w) - tw) / 2;
    else if (hAlign == 2)
        p.x += std::int32_t(rect.w) - tw;
    if (vAlign == 1)
        p.y += (std::int32_t(rect.h) - th) / 2;
    else if (vAlign == 2)
        p.y += std::int32_t(rect.h) - th;
    return p;
}

TextPoint textOrigin(std::u16string_view text, const SDL_Rect& rect, int hAlign, int vAlign, Render::Font* font) {
    if (hAlign == 0 && vAlign == 0)
        return {rect.x, rect.y};
    const Render::TextSize size = fontSize(font, text);
    return alignedOrigin(rect, size.width, size.height, hAlign, vAlign);
}

void drawAlignedText(std::u16string_view text, SDL_Surface* surface, const SDL_Rect& rect, std::uint32_t colour,
                     int hAlign, int vAlign, Render::Font* font) {
    if (!font || !surface)
        return;
    const TextPoint p = textOrigin(text, rect, hAlign, vAlign, font);
    if (onSurface(surface, p))
        font->drawText(surface, p.x, p.y, colour, text);
}

Render::TextSize SimpleTxtRenderer::measure(std::u16string_view text) { return fontSize(m_font, text); }

TextPoint SimpleTxtRenderer::origin(const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign) {
    if (hAlign == 0 && vAlign == 0)
        return {rect.x, rect.y};
    const Render::TextSize size = measure(text);
    return alignedOrigin(rect, size.width, size.height, hAlign, vAlign);
}

void SimpleTxtRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign,
                             int vAlign, bool isDay) {
    if (!m_font || !surface)
        return;
    const TextPoint p = origin(rect, text, hAlign, vAlign);
    if (onSurface(surface, p))
        m_font->drawText(surface, p.x, p.y, m_colours.current(isDay), text);
}

Render::TextSize EffectTxtRenderer::measure(std::u16string_view text) {
    Render::TextSize size = fontSize(m_font, text);
    size.width += 2;
    size.height += 2;
    return size;
}

TextPoint EffectTxtRenderer::origin(const SDL_Rect& rect, std::u16string_view text, int hAlign, int vAlign) {
    if (hAlign == 0 && vAlign == 0)
        return {rect.x, rect.y};
    const Render::TextSize size = measure(text);
    return alignedOrigin(rect, size.width, size.height, hAlign, vAlign);
}

void EffectTxtRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign,
                             int vAlign, bool isDay) {
    if (!m_font || !surface)
        return;
    const TextPoint p = origin(rect, text, hAlign, vAlign);
    if (onSurface(surface, p))
        m_font->drawTextSolid(surface, p.x, p.y, m_effect, m_colours.current(isDay), m_effectColours.current(isDay),
                              text);
}

TextPoint CursorTxtRenderer::origin(const SDL_Rect& rect, std::u16string_view, int, int) {
    return {rect.x + std::int32_t(unsigned(rect.w) >> 1), rect.y + std::int32_t(unsigned(rect.h) >> 1)};
}

void CursorTxtRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text, int hAlign,
                             int vAlign, bool isDay) {
    if (!m_image || !surface || !m_image->isValid())
        return;
    const TextPoint c = origin(rect, text, hAlign, vAlign);
    const SDL_Rect whole{0, 0, Uint16(m_image->width()), Uint16(m_image->height())};
    const auto x = static_cast<std::int16_t>(c.x - m_hotX);
    const auto y = static_cast<std::int16_t>(c.y - m_hotY);
    const std::uint32_t colour = m_colours.current(isDay);
    if (colour == 0xFFFFFFFFu)
        m_image->drawPart(surface, x, y, whole);
    else
        m_image->drawMultiplied(surface, x, y, whole, colour | 0xFF000000u);
}

Render::TextSize measureText(const fdWindowBase& window, std::u16string_view text) {
    if (const auto& r = window.textRenderer())
        return r->measure(text);
    return fontSize(window.font(), text);
}

std::u16string shortenedToFit(const fdWindowBase& window, const std::u16string& text, std::int32_t width,
                              bool keepEnd) {
    if (measureText(window, text).width <= width)
        return text;
    constexpr char16_t Ellipsis = u'\u2026';
    const auto shortened = [&](std::size_t length) {
        if (keepEnd)
            return Ellipsis + text.substr(text.size() - length);
        std::u16string start = text.substr(0, length);
        while (!start.empty() && (start.back() == u' ' || start.back() == u','))
            start.pop_back();
        start.push_back(Ellipsis);
        return start;
    };
    // The widths grow with the length: the longest that fits by halving.
    std::size_t low = 0, high = text.size();
    while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        if (measureText(window, shortened(middle)).width <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return shortened(low);
}

void drawTextInRect(const fdWindowBase& window, SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view text,
                    int hAlign, int vAlign) {
    if (const auto& r = window.textRenderer())
        r->draw(surface, rect, text, hAlign, vAlign, window.isDay());
    else
        drawAlignedText(text, surface, rect, window.textColors().current(window.isDay()), hAlign, vAlign,
                        window.font());
}

void drawCaret(const fdWindowBase& window, SDL_Surface* surface, const SDL_Rect& rect, std::u16string_view line,
               std::int32_t column, int hAlign, int vAlign) {
    if (!surface)
        return;
    const auto& renderer = window.textRenderer();
    TextPoint p = renderer ? renderer->origin(rect, line, hAlign, vAlign)
                           : textOrigin(line, rect, hAlign, vAlign, window.font());
    const std::size_t shown = std::min<std::size_t>(std::max(column, 0), line.size());
    const std::u16string_view head = line.substr(0, shown);
    p.x += renderer ? renderer->measure(head).width : fontSize(window.font(), head).width;
    // The bar is as high as a line of the font, also for an empty line.
    const std::int32_t height =
        renderer ? renderer->measure(line.empty() ? u" " : line).height : fontSize(window.font(), line.empty() ? u" " : line).height;
    SDL_Rect bar{static_cast<std::int16_t>(p.x), static_cast<std::int16_t>(p.y), 2,
                 static_cast<std::uint16_t>(std::max(height, 0))};
    SDL_FillRect(surface, &bar, xe::mapColor(window.textColors().current(window.isDay()), surface));
}

} // namespace Ui
