#include "screens/KeyboardPropPage.h"

#include "core/Text.h"
#include "screens/LeaveCommand.h"
#include "screens/PageKeys.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/KeyboardOwner.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

#include <algorithm>

namespace Screens {

namespace {

std::size_t positionOf(const std::vector<std::string>& names, const std::string& name) {
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? 0 : static_cast<std::size_t>(found - names.begin());
}

} // namespace

void KeyboardPropPage::LanguagesList::fillEmptyRow(Ui::TemplateWindow& row) {
    for (const char* name : {"check_show", "text"})
        if (Ui::fdWindowBase* w = row.findChild(name)) w->setVisible(false);
}

void KeyboardPropPage::LanguagesList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(row.widget("check_show"))) {
        check->setChecked(isChecked(index));
        check->setVisible(true);
    }
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.widget("text"))) {
        text->setText(m_names[static_cast<std::size_t>(index)]);
        text->setVisible(true);
    }
}

bool KeyboardPropPage::LanguagesList::isChecked(std::int32_t index) const {
    return std::binary_search(m_checked.begin(), m_checked.end(), index);
}

void KeyboardPropPage::LanguagesList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count()) return;
    const auto place = std::lower_bound(m_checked.begin(), m_checked.end(), index);
    if (place != m_checked.end() && *place == index)
        m_checked.erase(place);
    else
        m_checked.insert(place, index);
    refill();
}

void KeyboardPropPage::LanguagesList::checkAll(bool on) {
    m_checked.clear();
    if (on)
        for (std::int32_t i = 0; i < count(); ++i)
            m_checked.push_back(i);
}

KeyboardPropPage::KeyboardPropPage(Ui::fdInterface* ui, Core::ConfigNodePtr root,
                                   const Ui::KeyboardLayouts* layouts, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "keyboard_prop", nullptr), m_root(std::move(root)), m_layouts(layouts),
      m_bindings(bindings) {
    if (m_layouts) {
        m_editLayouts = m_layouts->layoutNames(false);
        m_findLayouts = m_layouts->layoutNames(true);
    }
}

void KeyboardPropPage::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (!list) return;
    std::vector<std::u16string> names;
    if (m_layouts)
        for (const Ui::KeyboardLanguage& language : m_layouts->languages())
            names.push_back(Core::utf8ToWide(language.name));
    m_languages = std::make_unique<LanguagesList>(*list, std::move(names));
}

void KeyboardPropPage::onShow() {
    if (m_layouts && m_root) {
        Core::ConfigNodePtr keyboard = m_root->child("Keyboard");
        m_editIndex = positionOf(m_editLayouts,
                                 Ui::Keyboard::layoutSetting(*keyboard, "edit_layout", false, *m_layouts));
        m_findIndex = positionOf(m_findLayouts,
                                 Ui::Keyboard::layoutSetting(*keyboard, "find_layout", true, *m_layouts));
        if (m_languages) {
            const std::string used = Ui::Keyboard::usedLanguagesSetting(*keyboard, *m_layouts);
            std::vector<std::int32_t> checked;
            std::size_t start = 0;
            while (start <= used.size()) {
                const std::size_t end = std::min(used.find(';', start), used.size());
                const std::int32_t index = m_layouts->languageIndex(used.substr(start, end - start));
                if (index >= 0) checked.push_back(index);
                start = end + 1;
            }
            std::sort(checked.begin(), checked.end());
            checked.erase(std::unique(checked.begin(), checked.end()), checked.end());
            m_languages->setChecked(std::move(checked));
        }
    }
    if (m_languages) m_languages->refresh();
    refreshControls();
}

void KeyboardPropPage::refreshControls() {
    if (auto* all = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check")))
        all->setChecked(m_languages &&
                        static_cast<std::int32_t>(m_languages->checked().size()) == m_languages->count());
    if (Ui::fdWindowBase* up = findChild("up")) up->setEnabled(m_languages && m_languages->canScrollUp());
    if (Ui::fdWindowBase* down = findChild("down"))
        down->setEnabled(m_languages && m_languages->canScrollDown());
    const std::pair<const char*, std::u16string> labels[] = {
        {"edit_kb", m_editLayouts.empty() ? u"" : Core::utf8ToWide(m_editLayouts[m_editIndex])},
        {"find_kb", m_findLayouts.empty() ? u"" : Core::utf8ToWide(m_findLayouts[m_findIndex])}};
    for (const auto& [name, text] : labels)
        if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild(name))) label->setText(text);
    invalidate(0);
}

void KeyboardPropPage::step(std::size_t& index, std::size_t n, int step) {
    if (n == 0) return;
    index = step > 0 ? (index + 1) % n : (index + n - 1) % n;
}

void KeyboardPropPage::save() {
    if (!m_root) return;
    Core::ConfigNodePtr keyboard = m_root->child("Keyboard");
    if (!m_editLayouts.empty()) keyboard->set("edit_layout", m_editLayouts[m_editIndex]);
    if (!m_findLayouts.empty()) keyboard->set("find_layout", m_findLayouts[m_findIndex]);
    if (m_languages && m_layouts) {
        std::string used;
        for (std::int32_t index : m_languages->checked())
            used += (used.empty() ? "" : ";") + m_layouts->language(static_cast<std::size_t>(index)).name;
        keyboard->set("used_languages", used);
    }
    for (const char* page : {"pageWPEdit", "services_prop", "pageFind"})
        if (auto* owner = dynamic_cast<Ui::KeyboardOwner*>(ui()->findPage(page))) owner->reopenKeyboard();
}

bool KeyboardPropPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    const PageKeys keys = PageKeys::of(m_bindings);
    if (!m_languages || !(keys.isUp(key) || keys.isDown(key))) return false;
    if (keys.isUp(key))
        m_languages->pageUp();
    else
        m_languages->pageDown();
    refreshControls();
    return true;
}

void KeyboardPropPage::childClicked(const std::string& name) {
    if (leaveCommand(*this, name))
        return;
    if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "button_ok") {
        save();
        ui()->goBack();
    } else if (name == "edit_kb_prev" || name == "edit_kb_next") {
        step(m_editIndex, m_editLayouts.size(), name == "edit_kb_next" ? 1 : -1);
        refreshControls();
    } else if (name == "find_kb_prev" || name == "find_kb_next") {
        step(m_findIndex, m_findLayouts.size(), name == "find_kb_next" ? 1 : -1);
        refreshControls();
    } else if ((name == "up" || name == "down") && m_languages) {
        if (name == "up")
            m_languages->pageUp();
        else
            m_languages->pageDown();
        refreshControls();
    } else if (name == "select_all_check" && m_languages) {
        auto* all = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check"));
        m_languages->checkAll(all && all->checked());
        m_languages->scrollTo(0);
        m_languages->refresh();
        refreshControls();
    } else if (name == "list" && m_languages) {
        m_languages->activateSelected();
        refreshControls();
    }
}

} // namespace Screens
