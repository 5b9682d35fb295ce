#include "screens/InfoPage.h"

#include "core/MainLoopWake.h"
#include "core/Shell.h"
#include "screens/PageKeys.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

#include <algorithm>

namespace Screens {

namespace {

// The project's page, opened by "url".
constexpr const char16_t* ProjectAddress = u"https://mirel.example.org/";

} // namespace

void TextsList::fillText(Ui::fdStatic& text, std::int32_t index) {
    text.setText(m_lines[static_cast<std::size_t>(index)]);
}

std::vector<std::u16string> TextsList::splitLines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(u'\n', start);
        std::u16string piece =
            text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        std::erase(piece, u'\r');
        lines.push_back(std::move(piece));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

InfoPage::InfoPage(Ui::fdInterface* ui, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "info", nullptr), m_bindings(bindings) {}

void InfoPage::afterBuild() {
    m_list = dynamic_cast<Ui::fdList*>(widget("list"));
    m_slider = dynamic_cast<Ui::fdSlider*>(findChild("slider"));
    if (m_list && !m_texts) m_texts = std::make_unique<TextsList>(*m_list, std::vector<std::u16string>{});
}

void InfoPage::setText(const std::u16string& title, const std::u16string& text) {
    if (auto* name = dynamic_cast<Ui::fdStatic*>(findChild("name"))) name->setText(title);
    if (!m_list) return;
    m_texts = std::make_unique<TextsList>(*m_list, TextsList::splitLines(text));
    m_texts->refresh();
    if (m_slider) {
        const std::int32_t extra = m_texts->count() - m_texts->rowsPerPage();
        m_slider->maximum = extra >= 1 ? extra : 0;
        m_slider->value = std::clamp(m_slider->value, 0, m_slider->maximum);
        m_slider->invalidate(0);
    }
    synchronise(true);
}

void InfoPage::onShow() {
    if (auto* version = dynamic_cast<Ui::fdStatic*>(findChild("version"))) {
        version->setColor(0);
        version->invalidate(0);
        version->setText(Version);
    }
    synchronise(true);
}

void InfoPage::synchronise(bool updateSlider) {
    if (!m_texts) return;
    if (updateSlider && m_slider) {
        m_slider->value = m_texts->firstVisibleIndex();
        m_slider->invalidate(0);
    }
    if (Ui::fdWindowBase* up = findChild("up")) up->setEnabled(m_texts->canScrollUp());
    if (Ui::fdWindowBase* down = findChild("down")) down->setEnabled(m_texts->canScrollDown());
    invalidate(0);
}

bool InfoPage::keyDown(int key) {
    // Escape leaves the page as "ok" does: a page that takes every key must
    // still give the way out.
    if (key == SDLK_ESCAPE) {
        childClicked("ok");
        return true;
    }
    const PageKeys k = PageKeys::of(m_bindings);
    const bool up = key == k.up || key == k.kp8 || key == (k.rotated ? k.right : k.left) ||
                    key == (k.rotated ? k.kp6 : k.kp4);
    const bool down = key == k.down || key == k.kp2 || key == (k.rotated ? k.left : k.right) ||
                      key == (k.rotated ? k.kp4 : k.kp6);
    if (m_texts && (up || down)) {
        if (up)
            m_texts->scrollUp();
        else
            m_texts->scrollDown();
        synchronise(true);
    }
    return true;
}

void InfoPage::childClicked(const std::string& name) {
    if (name == "close" || name == "hide") {
        handleCommonCommand(name);
        if (name == "close")
            Threading::wakeMainLoop();
    } else if (name == "ok" || name == "back") {
        ui()->goBack();
    } else if (name == "up" && m_texts) {
        m_texts->scrollUp();
        synchronise(true);
    } else if (name == "down" && m_texts) {
        m_texts->scrollDown();
        synchronise(true);
    } else if (name == "url") {
        Core::shellOpen(ProjectAddress);
    } else if (name == "slider" && m_texts && m_slider) {
        m_texts->scrollTo(m_slider->value);
        synchronise(false);
    }
}

} // namespace Screens
