#pragma once
// The online account and service options ("services_prop"): user name and
// password typed on the on-screen keyboard, automatic connection, automatic
// disabling and the refresh period. Stored in the configuration and applied
// to the running service.

#include "core/ConfigNode.h"
#include "ui/EditBox.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardOwner.h"
#include "ui/fdPage.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace Core {
class MessageTable;
}
namespace Monitoring {
class System;
}
namespace Ui {
class KeyboardLayouts;
}

namespace Screens {

class ServicesPropPage final : public Ui::fdPage, public Ui::KeyboardOwner {
  public:
    // The track periods offered, in seconds.
    static constexpr std::array<std::uint32_t, 9> RefreshPeriods{10, 20, 30, 45, 60, 120, 180, 300, 600};

    // What the page changes of the engine: its automatic-disable flag.
    using AutoDisableSetter = std::function<void(bool)>;

    // The service may be null (none configured): the keys are still
    // stored. Without keyboard layouts the boxes cannot be typed into.
    ServicesPropPage(Ui::fdInterface* ui, Core::ConfigNodePtr config, const Core::MessageTable& messages,
                     Monitoring::System* service, const Ui::KeyboardLayouts* layouts,
                     AutoDisableSetter setAutoDisable = {});

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;
    // Takes the stored edit layout and languages; an open keyboard is
    // opened again with them.
    void reopenKeyboard() override;

    // 0 none, 1 user name, 2 password.
    int editMode() const { return m_editMode; }
    std::size_t periodIndex() const { return m_periodIndex; }
    const Ui::EditBox& nameBox() const { return m_name; }
    const Ui::EditBox& passwordBox() const { return m_password; }
    Ui::Keyboard* keyboard() const { return m_keyboard.get(); }

  private:
    void readKeyboardSettings();
    void fillBoxes();
    void setEditMode(int mode);
    void showPeriod();
    void storeLogin();
    void applyOptions();
    Ui::EditBox* edited();

    Core::ConfigNodePtr m_config;
    const Core::MessageTable& m_messages;
    Monitoring::System* m_service;
    const Ui::KeyboardLayouts* m_layouts;
    AutoDisableSetter m_setAutoDisable;
    Ui::EditBox m_name;
    Ui::EditBox m_password;
    int m_editMode = 0;
    std::size_t m_periodIndex = 0;
    std::string m_layout;
    std::string m_languages;
    Ui::PageKeyboardPtr m_keyboard;
};

} // namespace Screens
