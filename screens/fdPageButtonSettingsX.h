#pragma once
// The button bindings page ("pageButtonSettings"): the actions of the
// design's bindings file with the key bound to each; "button_set" then a key
// press binds a key, "button_cancel" unbinds. Every confirmed change goes
// into the program's bindings at once and is written to the file.

#include "screens/ButtonBindingsList.h"
#include "ui/fdPage.h"

#include <memory>

namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageButtonSettingsX final : public Ui::fdPage {
  public:
    // bindings may be null (the default keys; nothing to tell). path: the
    // design's bindings file.
    fdPageButtonSettingsX(Ui::fdInterface* ui, Ui::ButtonBindings* bindings, std::u16string path);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    bool waiting() const { return m_waiting; }
    ButtonBindingsList* list() const { return m_list.get(); }

  private:
    void updateScrollButtons();
    void setButtonChecked(bool checked);
    // "key_name" names the selected row's key (SDL's name), "-" for none.
    void showKeyName();
    ButtonBindingsList::Entry* selected() const;

    Ui::ButtonBindings* m_bindings;
    std::u16string m_path;
    std::unique_ptr<ButtonBindingsList> m_list;
    bool m_waiting = false;
    // A key was taken in this wait; later keys are ignored until "button_set"
    // or "button_cancel" ends it.
    bool m_captured = false;
};

} // namespace Screens
