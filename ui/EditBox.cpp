#include "ui/EditBox.h"

#include "core/Text.h"
#include "ui/fdLabel.h"

#include <SDL/SDL_keysym.h>

namespace Ui {

EditBox::EditBox(fdLabel* label, std::size_t maxLength) : m_label(label), m_maxLength(maxLength) { show(); }

void EditBox::bind(fdLabel* label) {
    if (m_label && m_label != label)
        m_label->showCaret(false);
    m_label = label;
    show();
}

void EditBox::setText(std::u16string text) {
    if (text.size() > m_maxLength)
        text.resize(m_maxLength);
    m_text = std::move(text);
    m_caret = m_text.size();
    show();
}

bool EditBox::typeKey(const std::string& key) {
    if (key == "[bsp]") {
        if (m_caret == 0)
            return false;
        m_text.erase(--m_caret, 1);
        show();
        return true;
    }
    const std::u16string typed = Core::utf8ToWide(key);
    if (typed.empty() || m_text.size() + typed.size() > m_maxLength)
        return false;
    m_text.insert(m_caret, typed);
    m_caret += typed.size();
    show();
    return true;
}

bool EditBox::caretKey(int key) {
    switch (key) {
    case SDLK_LEFT:
        if (m_caret > 0)
            --m_caret;
        break;
    case SDLK_RIGHT:
        if (m_caret < m_text.size())
            ++m_caret;
        break;
    case SDLK_HOME:
        m_caret = 0;
        break;
    case SDLK_END:
        m_caret = m_text.size();
        break;
    case SDLK_DELETE:
        if (m_caret < m_text.size())
            m_text.erase(m_caret, 1);
        break;
    default:
        return false;
    }
    show();
    return true;
}

void EditBox::setFocused(bool focused) {
    m_focused = focused;
    show();
}

void EditBox::show() {
    if (!m_label)
        return;
    // One line: the caret column is an index into the whole text.
    if (m_label->linesMode() != 1)
        m_label->setLinesMode(1);
    m_label->setText(m_text);
    m_label->setCaret(0, static_cast<std::int32_t>(m_caret));
    m_label->showCaret(m_focused);
    m_label->invalidate(0);
}

} // namespace Ui
