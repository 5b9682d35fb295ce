#pragma once
// An edit box: a label that shows a typed text with its caret. The page
// feeds it the keys of its on-screen keyboard (the keyboard's last key text:
// "[bsp]" erases, anything else is typed) and the caret keys of a hardware
// keyboard. It owns the text; the label only shows it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace Ui {

class fdLabel;

class EditBox {
  public:
    // label may be null (nothing shown); maxLength counts UTF-16 units.
    explicit EditBox(fdLabel* label = nullptr, std::size_t maxLength = 255);

    // Shows the text on another label (the caret moves with it).
    void bind(fdLabel* label);
    fdLabel* label() const { return m_label; }

    // Replaces the text (cut to the maximum length), caret at its end.
    void setText(std::u16string text);
    const std::u16string& text() const { return m_text; }
    std::size_t caret() const { return m_caret; }
    std::size_t maxLength() const { return m_maxLength; }

    // A key of the on-screen keyboard, as UTF-8: "[bsp]" erases the unit
    // before the caret, any other text goes in at the caret when the whole
    // of it fits. True when the text changed.
    bool typeKey(const std::string& key);
    // Hardware caret keys (SDL symbols): left, right, home, end and delete.
    // True when the key was one of them.
    bool caretKey(int key);

    // The caret is drawn (blinking) only while the box has the focus.
    void setFocused(bool focused);
    bool focused() const { return m_focused; }

  private:
    void show();

    fdLabel* m_label;
    std::size_t m_maxLength;
    std::u16string m_text;
    std::size_t m_caret = 0;
    bool m_focused = true;
};

} // namespace Ui
