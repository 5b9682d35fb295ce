#include "screens/fdPageButtonSettingsX.h"

#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/MessageTable.h"
#include "core/Text.h"
#include "screens/LeaveCommand.h"
#include "ui/ButtonBindings.h"
#include "ui/Keyboard.h"
#include "ui/ListPage.h"
#include "ui/MessageBoxText.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

namespace Screens {

fdPageButtonSettingsX::fdPageButtonSettingsX(Ui::fdInterface* ui, Ui::ButtonBindings* bindings,
                                             std::u16string path, const Core::MessageTable* messages)
    : fdPage(ui, "pageButtonSettings", nullptr), m_bindings(bindings), m_path(std::move(path)),
      m_messages(messages) {}

void fdPageButtonSettingsX::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    m_list.reset();
    if (list) m_list = std::make_unique<ButtonBindingsList>(*list, m_path);
}

void fdPageButtonSettingsX::onShow() {
    if (m_list) m_list->refresh();
    updateScrollButtons();
    showKeyName();
}

void fdPageButtonSettingsX::showKeyName() {
    auto* label = dynamic_cast<Ui::fdStatic*>(findChild("key_name"));
    if (!label) return;
    // The row shows the code the file stores; this line names the key.
    const ButtonBindingsList::Entry* entry = selected();
    std::u16string name = u"-";
    if (entry && entry->key > 0 && entry->key < SDLK_LAST)
        name = Core::utf8ToWide(SDL_GetKeyName(static_cast<SDLKey>(entry->key)));
    label->setText(name);
    label->invalidate(0);
}

void fdPageButtonSettingsX::updateScrollButtons() {
    Ui::ListPage::updateUpDownButtons(*this, m_list.get());
    invalidate(1);
}

void fdPageButtonSettingsX::setButtonChecked(bool checked) {
    if (auto* button = dynamic_cast<Ui::fdCheckedButton*>(findChild("button_set")))
        button->setChecked(checked);
}

ButtonBindingsList::Entry* fdPageButtonSettingsX::selected() const {
    const std::int32_t index = m_list ? m_list->selectedIndex() : -1;
    if (index < 0 || index >= m_list->count()) return nullptr;
    return &m_list->entries[static_cast<std::size_t>(index)];
}

void fdPageButtonSettingsX::writeBindings() {
    if (!m_list || m_list->write()) return;
    const std::u16string text =
        Ui::withSystemReason(m_messages ? m_messages->text("buttons_write_err") : std::u16string(), m_list->writeError());
    closeBox();
    m_box = Ui::createTemplateWindow(*this, "mb_ok", "mb");
    if (!m_box) return;
    // The log names what the driver was told, as the other pages' boxes do.
    Log::log(Log::Normal, u"Notice shown: %s", Log::linesJoined(text));
    Ui::setMessageText(*m_box, text);
    setCapture(m_box);
    invalidate(1);
}

void fdPageButtonSettingsX::closeBox() {
    if (!m_box) return;
    setCapture(nullptr);
    ui()->queueDelete(m_box);
    m_box = nullptr;
    invalidate(1);
}

bool fdPageButtonSettingsX::keyDown(int key) {
    if (m_box) {
        if (key == SDLK_ESCAPE || key == SDLK_RETURN) closeBox();
        return true;
    }
    if (m_waiting) {
        // One key per wait: the key after it (Escape, to leave) must not
        // replace the key the driver just pressed.
        if (m_captured) return true;
        if (ButtonBindingsList::Entry* entry = selected()) {
            m_captured = true;
            entry->key = key;
            m_list->ensureVisible(m_list->selectedIndex());
            m_list->redraw();
            showKeyName();
        }
        return true;
    }
    // Escape leaves the page when it is not being bound to an action.
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_list.get(), m_bindings, key);
}

void fdPageButtonSettingsX::childClicked(const std::string& name) {
    if (name == "mb") {
        closeBox();
        return;
    }
    if (m_waiting && name != "button_set" && name != "button_cancel" && name != "list") return;
    if (leaveCommand(*this, name))
        return;
    if (Ui::ListPage::pageCommand(*this, m_list.get(), name)) {
        invalidate(1);
    } else if (name == "button_set") {
        if (m_waiting) {
            if (ButtonBindingsList::Entry* entry = selected()) {
                if (m_bindings) m_bindings->setKey(entry->name, entry->key, entry->storedKey);
                writeBindings();
            }
            m_waiting = false;
            if (m_list) m_list->redraw();
        } else if (selected() && m_list->selectedIndex() >= m_list->firstVisibleIndex() &&
                   m_list->selectedIndex() < m_list->firstVisibleIndex() + m_list->rowsPerPage()) {
            // Only a selection the user sees is bound: the key goes to the
            // row in view (the list may stand at an offset within a page).
            m_waiting = true;
            m_captured = false;
        }
        setButtonChecked(m_waiting);
    } else if (name == "button_cancel") {
        if (m_waiting) {
            if (ButtonBindingsList::Entry* entry = selected()) entry->key = entry->storedKey;
            m_waiting = false;
            setButtonChecked(false);
        } else if (ButtonBindingsList::Entry* entry = selected()) {
            entry->key = 0;
            if (m_bindings) m_bindings->setKey(entry->name, 0, entry->storedKey);
            writeBindings();
        }
        if (m_list) m_list->redraw();
    } else if (name == "list" && m_list) {
        if (m_waiting)
            m_list->redraw();
        else
            m_list->activateSelected();
    }
    showKeyName();
}

} // namespace Screens
