#include "ui/MessageBoxText.h"

#include "core/Text.h"
#include "platform/Error.h"

#include "ui/TextRenderers.h"
#include "ui/fdLabel.h"

#include <vector>

namespace Ui {

namespace {

int widthOf(const fdWindowBase& window, std::u16string_view text) {
    return measureText(window, text).width;
}

// The lines of one paragraph (no line feeds), each at most width wide where
// a single character allows it; an empty paragraph is one empty line.
std::vector<std::u16string> wrapParagraph(const fdWindowBase& window, std::u16string_view paragraph,
                                          int width) {
    std::vector<std::u16string> lines;
    std::u16string line;
    std::size_t pos = 0;
    while (pos < paragraph.size()) {
        std::size_t end = paragraph.find(u' ', pos);
        if (end == std::u16string_view::npos) end = paragraph.size();
        const std::u16string word(paragraph.substr(pos, end - pos));
        pos = end + 1;
        if (word.empty()) continue;
        std::u16string candidate = line.empty() ? word : line + u' ' + word;
        if (widthOf(window, candidate) <= width) {
            line = std::move(candidate);
            continue;
        }
        if (!line.empty()) lines.push_back(std::move(line));
        line.clear();
        for (char16_t c : word) {
            if (!line.empty() && widthOf(window, line + c) > width) {
                lines.push_back(std::move(line));
                line.clear();
            }
            line += c;
        }
    }
    if (!line.empty() || lines.empty()) lines.push_back(std::move(line));
    return lines;
}

} // namespace

std::u16string wrapText(const fdWindowBase& window, std::u16string_view text, int width) {
    std::u16string out;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find(u'\n', pos);
        const std::u16string_view paragraph =
            text.substr(pos, end == std::u16string_view::npos ? end : end - pos);
        for (const std::u16string& line : wrapParagraph(window, paragraph, width))
            out += line + u'\n';
        if (end == std::u16string_view::npos) break;
        pos = end + 1;
    }
    out.pop_back();
    return out;
}

bool setMessageText(fdWindowBase& box, std::u16string_view text) {
    auto* widget = dynamic_cast<fdStatic*>(box.findChild("msg_text"));
    if (!widget) return false;
    auto* label = dynamic_cast<fdLabel*>(widget);
    if (label && label->linesMode() != 1)
        widget->setText(wrapText(*label, text, label->rect().w));
    else
        widget->setText(std::u16string(text));
    widget->invalidate(0);
    return true;
}

std::u16string withSystemReason(std::u16string text, int error) {
    const std::string reason = error != 0 ? Platform::errorText(error) : std::string();
    if (!reason.empty())
        text += u"\n(" + Core::utf8ToWide(reason) + u")";
    return text;
}

} // namespace Ui
