#pragma once
// The button bindings page ("pageButtonSettings"): the actions of the
// design's bindings file with the key bound to each; "button_set" then a key
// press binds a key, "button_cancel" unbinds. Every confirmed change goes
// into the program's bindings at once and is written to the file; a file
// the disk did not take is said in a box on the page.

#include "screens/ButtonBindingsList.h"
#include "ui/fdPage.h"

#include <memory>

namespace Core {
class MessageTable;
}

namespace Ui {
class ButtonBindings;
class TemplateWindow;
}

namespace Screens {

class fdPageButtonSettingsX final : public Ui::fdPage {
  public:
    // bindings may be null (the default keys; nothing to tell). path: the
    // design's bindings file. messages: the texts of the box (may be null).
    fdPageButtonSettingsX(Ui::fdInterface* ui, Ui::ButtonBindings* bindings, std::u16string path,
                          const Core::MessageTable* messages = nullptr);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    bool waiting() const { return m_waiting; }
    ButtonBindingsList* list() const { return m_list.get(); }
    // The box that says a binding was not stored; null when none is open.
    Ui::TemplateWindow* messageBox() const { return m_box; }

  private:
    void updateScrollButtons();
    void setButtonChecked(bool checked);
    // "key_name" names the selected row's key (SDL's name), "-" for none.
    void showKeyName();
    ButtonBindingsList::Entry* selected() const;
    // Writes the file; when the disk did not take it, says so in a box
    // (the binding holds until exit all the same).
    void writeBindings();
    void closeBox();

    Ui::ButtonBindings* m_bindings;
    std::u16string m_path;
    const Core::MessageTable* m_messages;
    std::unique_ptr<ButtonBindingsList> m_list;
    Ui::TemplateWindow* m_box = nullptr;
    bool m_waiting = false;
    // A key was taken in this wait; later keys are ignored until "button_set"
    // or "button_cancel" ends it.
    bool m_captured = false;
};

} // namespace Screens
