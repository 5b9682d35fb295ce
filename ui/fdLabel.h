#pragma once
// Labels: multi-line text with a blinking editing caret; a label whose text
// is wider than itself can be dragged sideways; a clickable one also reports
// a short tap as a click.

#include "ui/fdStatic.h"

#include <functional>
#include <string_view>

namespace Ui {

// What an edit line too wide for its label shows: whole letters round the
// caret, an ellipsis at each end that is cut, the caret's column in it.
struct EditLineView {
    std::u16string text;
    std::int32_t caret = 0;
};

// The view of text with the caret at column caret in width pixels
// (measure gives a text's width; the caret's bar takes 2 pixels): the
// fewest letters before the caret give way, then the most after it stay.
// So the caret and what was typed last stay in view, and after Home the
// line's start shows up to the last whole letter that fits.
EditLineView editLineView(std::u16string_view text, std::size_t caret, std::int32_t width,
                          const std::function<std::int32_t(std::u16string_view)>& measure);

class fdLabel : public fdStatic {
public:
    using fdStatic::fdStatic;

    // Mode 1 keeps the text whole; other modes also split it at line feeds.
    void setText(const std::u16string& text) override;
    // 1 one line, 0 as many lines as the text has, n >= 2 exactly n slots.
    virtual void setLinesMode(std::int32_t n);
    TimerPeriod timerPeriod() const override;
    // The caret blinks 500 ms on, 500 ms off.
    void tick(std::uint32_t now) override;
    void drawText(SDL_Surface* surface) override;

    void showCaret(bool shown);
    void setCaret(std::int32_t line, std::int32_t column);
    // The one line a one-line label draws while it is not edited (nor, as
    // a sliding label, dragged): the text, or when it is wider than the
    // label, its longest beginning that fits with an ellipsis after it, so
    // that a cut is seen as a cut (a long name in a list row).
    std::u16string restingText() const;
    const std::vector<std::u16string>& lines() const { return m_lines; }
    std::int32_t linesMode() const { return m_linesMode; }
    bool caretPhase() const { return m_phase; }

protected:
    // The rectangle of line i in modes 1 and n >= 2, and the stacked lines'
    // rectangles in mode 0, for text starting at x with width w.
    std::vector<SDL_Rect> lineRects(SDL_Surface* surface, std::int32_t x, std::int32_t w);
    void drawLines(SDL_Surface* surface, std::int32_t x, std::int32_t w);

    std::vector<std::u16string> m_lines;
    std::int32_t m_linesMode = 0;
    bool m_caretShown = false;
    bool m_phase = false;
    std::int32_t m_caretLine = 0;
    std::int32_t m_caretColumn = 0;
};

class fdSmartLabel : public fdLabel {
public:
    using fdLabel::fdLabel;

    void setText(const std::u16string& text) override;
    void setFont(Render::Font* font) override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    bool mouseMove(int x, int y) override;
    void drawText(SDL_Surface* surface) override;

    std::int32_t offset() const { return m_offset; }
    std::int32_t contentWidth() const { return m_contentWidth; }

protected:
    void measureContent();

    bool m_dragging = false;
    std::int32_t m_offset = 0;
    std::int32_t m_contentWidth = 0;
    std::int32_t m_lastX = 0;
};

class fdClickableSmartLabel : public fdSmartLabel {
public:
    using fdSmartLabel::fdSmartLabel;

    bool press(int x, int y) override;
    bool mouseMove(int x, int y) override;
    // A click when the tap stayed short (1500 ms) and still (400 squared
    // pixels summed over the moves).
    bool release(int x, int y) override;
    virtual void notifyClicked();

private:
    static constexpr std::uint32_t ClickTimeLimitMs = 1500;
    static constexpr std::int32_t MovementLimit = 400;
    bool m_pressed = false;
    std::uint32_t m_pressTime = 0;
    std::int32_t m_movement = 0;
    std::int32_t m_lastPointerX = 0, m_lastPointerY = 0;
};

} // namespace Ui
