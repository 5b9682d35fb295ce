#include "ui/fdLabel.h"

#include "ui/TextRenderers.h"
#include "ui/fdInterface.h"

#include <algorithm>
#include <functional>

namespace Ui {

namespace {

std::vector<std::u16string> splitLines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find(u'\n', start);
        lines.push_back(text.substr(start, lf == std::u16string::npos ? std::u16string::npos : lf - start));
        if (lf == std::u16string::npos)
            return lines;
        start = lf + 1;
    }
}

class ClipGuard {
public:
    ClipGuard(SDL_Surface* surface, SDL_Rect rect) : m_surface(surface) {
        SDL_GetClipRect(surface, &m_saved);
        SDL_SetClipRect(surface, &rect);
    }
    ~ClipGuard() { SDL_SetClipRect(m_surface, &m_saved); }
    ClipGuard(const ClipGuard&) = delete;
    ClipGuard& operator=(const ClipGuard&) = delete;

private:
    SDL_Surface* m_surface;
    SDL_Rect m_saved;
};

// The caret bar's width in pixels (drawCaret).
constexpr std::int32_t CaretWidth = 2;

SDL_Rect makeRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    return SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(std::max(w, 0)),
                    static_cast<Uint16>(std::max(h, 0))};
}

} // namespace

EditLineView editLineView(std::u16string_view text, std::size_t caret, std::int32_t width,
                          const std::function<std::int32_t(std::u16string_view)>& measure) {
    constexpr std::u16string_view Ellipsis = u"\u2026";
    const std::size_t n = text.size();
    const std::size_t column = std::min(caret, n);
    EditLineView view;
    // The letters from..to with an ellipsis for each cut end; true when they
    // and the caret's bar fit the width.
    const auto fits = [&](std::size_t from, std::size_t to) {
        view.text.clear();
        if (from > 0) view.text += Ellipsis;
        view.text += text.substr(from, to - from);
        if (to < n) view.text += Ellipsis;
        view.caret = static_cast<std::int32_t>((from > 0 ? 1 : 0) + column - from);
        const std::u16string_view shown = view.text;
        const std::u16string_view beforeCaret = shown.substr(0, std::size_t(view.caret));
        return measure(beforeCaret) + CaretWidth <= width && measure(view.text) <= width;
    };
    // The fewest letters dropped before the caret to show it up to the
    // letter `to` (the widths shrink as more go).
    const auto fewestDropped = [&](std::size_t to) {
        std::size_t low = 0, high = column;
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            if (fits(middle, to))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    };
    // The text's end shown, when that drops no more before the caret than
    // an ellipsis after it would; else the most letters after the caret.
    const std::size_t from = fewestDropped(column);
    const std::size_t fromEnd = fewestDropped(n);
    if ((fromEnd <= from && fits(fromEnd, n)) || column == n) {
        fits(fromEnd, n);
        return view;
    }
    std::size_t low = column, high = n - 1;
    while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        if (fits(from, middle))
            low = middle;
        else
            high = middle - 1;
    }
    fits(from, low);
    return view;
}

void fdLabel::setText(const std::u16string& text) {
    m_text = text;
    if (m_linesMode != 1)
        m_lines = splitLines(text);
    invalidate(1);
}

void fdLabel::setLinesMode(std::int32_t n) {
    m_linesMode = n;
    m_caretLine = m_caretColumn = 0;
    invalidate(1);
}

void fdLabel::showCaret(bool shown) {
    m_caretShown = shown;
    if (!shown)
        m_phase = false;
    invalidate(1);
}

void fdLabel::setCaret(std::int32_t line, std::int32_t column) {
    m_caretLine = line;
    m_caretColumn = column;
    invalidate(1);
}

TimerPeriod fdLabel::timerPeriod() const {
    return m_visible && m_caretShown ? TimerPeriod::every(500) : TimerPeriod::none();
}

void fdLabel::tick(std::uint32_t now) {
    const bool phase = m_caretShown && (now / 500) % 2 == 1;
    if (phase != m_phase) {
        m_phase = phase;
        invalidate(1);
    }
}

std::vector<SDL_Rect> fdLabel::lineRects(SDL_Surface*, std::int32_t x, std::int32_t w) {
    std::vector<SDL_Rect> rects;
    const WindowRect& r = m_rect;
    if (m_linesMode == 1) {
        rects.push_back(makeRect(x, r.y, w, r.h));
    } else if (m_linesMode >= 2) {
        const std::int32_t slot = r.h / m_linesMode;
        for (std::size_t i = 0; i < m_lines.size(); ++i)
            rects.push_back(makeRect(x, r.y + std::int32_t(i) * slot, w, slot));
    } else {
        std::vector<std::int32_t> heights;
        std::int32_t total = 0;
        for (const auto& line : m_lines) {
            heights.push_back(measureText(*this, line.empty() ? u" " : line).height);
            total += heights.back();
        }
        std::int32_t top = r.y;
        if (m_vAlign == 1)
            top = r.y + (r.h - total) / 2;
        else if (m_vAlign == 2)
            top = r.y + r.h - total;
        for (std::int32_t h : heights) {
            rects.push_back(makeRect(x, top, w, h));
            top += h;
        }
    }
    return rects;
}

void fdLabel::drawLines(SDL_Surface* surface, std::int32_t x, std::int32_t w) {
    const std::vector<SDL_Rect> rects = lineRects(surface, x, w);
    // Mode 0 stacks lines that are already vertically placed.
    const int vAlign = m_linesMode == 0 ? 0 : m_vAlign;
    if (m_linesMode == 1) {
        SDL_Rect rect = rects[0];
        int hAlign = m_hAlign;
        std::u16string_view shown = m_text;
        std::int32_t caret = m_caretColumn;
        // An edit line wider than the label starts at the left edge and
        // shows the caret with whole letters round it (editLineView).
        EditLineView view;
        std::u16string resting;
        if (m_caretShown && measureText(*this, m_text).width + CaretWidth > rect.w) {
            hAlign = 0;
            view = editLineView(m_text, static_cast<std::size_t>(std::max(m_caretColumn, 0)), rect.w,
                                [this](std::u16string_view part) { return measureText(*this, part).width; });
            shown = view.text;
            caret = view.caret;
        } else if (!m_caretShown) {
            // A cut is seen as a cut (restingText, here in the width drawn).
            resting = shortenedToFit(*this, m_text, rect.w);
            shown = resting;
        }
        if (!shown.empty())
            drawTextInRect(*this, surface, rect, shown, hAlign, m_vAlign);
        if (m_phase)
            drawCaret(*this, surface, rect, shown, caret, hAlign, m_vAlign);
        return;
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (!m_lines[i].empty())
            drawTextInRect(*this, surface, rects[i], m_lines[i], m_hAlign, vAlign);
    if (m_phase && m_caretLine >= 0 && std::size_t(m_caretLine) < m_lines.size())
        drawCaret(*this, surface, rects[std::size_t(m_caretLine)], m_lines[std::size_t(m_caretLine)], m_caretColumn,
                  m_hAlign, vAlign);
}

void fdLabel::drawText(SDL_Surface* surface) {
    ClipGuard clip(surface, m_rect.sdl());
    drawLines(surface, m_rect.x, m_rect.w);
}

void fdSmartLabel::measureContent() {
    m_contentWidth = measureText(*this, m_text).width;
    for (const auto& line : m_lines)
        m_contentWidth = std::max(m_contentWidth, measureText(*this, line).width);
    m_offset = 0;
}

void fdSmartLabel::setText(const std::u16string& text) {
    fdLabel::setText(text);
    measureContent();
}

void fdSmartLabel::setFont(Render::Font* font) {
    fdLabel::setFont(font);
    measureContent();
}

bool fdSmartLabel::press(int x, int y) {
    if (!hitTest(x, y))
        return false;
    m_lastX = x;
    m_dragging = true;
    return true;
}

bool fdSmartLabel::release(int, int) {
    m_dragging = false;
    return true;
}

bool fdSmartLabel::mouseMove(int x, int) {
    if (m_dragging) {
        m_offset = std::max(std::min(m_offset + x - m_lastX, 0), std::int32_t(m_rect.w) - m_contentWidth);
        m_offset = std::min(m_offset, 0);
        m_lastX = x;
        invalidate(0);
    }
    return true;
}

std::u16string fdLabel::restingText() const { return shortenedToFit(*this, m_text, m_rect.w); }

void fdSmartLabel::drawText(SDL_Surface* surface) {
    if (m_contentWidth < m_rect.w) {
        fdLabel::drawText(surface);
        return;
    }
    ClipGuard clip(surface, m_rect.sdl());
    if (m_offset == 0 && m_linesMode == 1) {
        drawTextInRect(*this, surface, m_rect.sdl(), restingText(), m_hAlign, m_vAlign);
        return;
    }
    drawLines(surface, m_rect.x + m_offset, m_contentWidth);
}

bool fdClickableSmartLabel::press(int x, int y) {
    if (!hitTest(x, y))
        return false;
    fdSmartLabel::press(x, y);
    m_pressed = true;
    m_pressTime = m_ui ? m_ui->now() : 0;
    m_movement = 0;
    m_lastPointerX = x;
    m_lastPointerY = y;
    return true;
}

bool fdClickableSmartLabel::mouseMove(int x, int y) {
    fdSmartLabel::mouseMove(x, y);
    if (!m_pressed)
        return false;
    if (m_movement <= MovementLimit) {
        const std::int32_t dx = x - m_lastPointerX, dy = y - m_lastPointerY;
        m_movement += dx * dx + dy * dy;
        m_lastPointerX = x;
        m_lastPointerY = y;
    }
    return true;
}

bool fdClickableSmartLabel::release(int x, int y) {
    m_dragging = false;
    // A tap ends with its release, clicked or not, so that a stray release
    // later cannot click.
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (!wasPressed || !hitTest(x, y) || m_movement > MovementLimit)
        return false;
    const std::uint32_t now = m_ui ? m_ui->now() : 0;
    if (now - m_pressTime > ClickTimeLimitMs)
        return false;
    notifyClicked();
    return true;
}

void fdClickableSmartLabel::notifyClicked() {
    if (m_parent)
        m_parent->childClicked(m_name);
}

} // namespace Ui
