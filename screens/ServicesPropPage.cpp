#include "screens/ServicesPropPage.h"

#include "core/Format.h"
#include "core/MessageTable.h"
#include "core/Text.h"
#include "ui/ClickBehaviors.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "userdata/MonitoringSystem.h"

#include <SDL.h>

#include <algorithm>
#include <utility>

namespace Screens {

namespace {

// Hidden while a box is typed into: the keyboard takes their place.
constexpr const char* OptionWidgets[] = {"auto_connect_check", "auto_connect_label", "auto_disable_check",
                                         "auto_disable_label", "refresh_period_label", "refresh_period_prev",
                                         "refresh_period_next", "refresh_period_box", "refresh_period"};

} // namespace

ServicesPropPage::ServicesPropPage(Ui::fdInterface* ui, Core::ConfigNodePtr config, const Core::MessageTable& messages,
                                   Monitoring::System* service, const Ui::KeyboardLayouts* layouts,
                                   AutoDisableSetter setAutoDisable)
    : fdPage(ui, "services_prop", nullptr), m_config(std::move(config)), m_messages(messages), m_service(service),
      m_layouts(layouts), m_setAutoDisable(std::move(setAutoDisable)) {}

void ServicesPropPage::afterBuild() {
    // A tap on a box starts typing into it.
    for (auto [box, name] : {std::pair{&m_name, "name_box"}, std::pair{&m_password, "password_box"}}) {
        auto* label = dynamic_cast<Ui::fdLabel*>(findChild(name));
        box->bind(label);
        if (label != nullptr)
            label->setBehavior(std::make_unique<Ui::OnClickBehavior>(label));
    }
    readKeyboardSettings();
}

void ServicesPropPage::readKeyboardSettings() {
    if (!m_config || m_layouts == nullptr)
        return;
    const Core::ConfigNodePtr keyboard = m_config->child("Keyboard");
    m_layout = Ui::Keyboard::layoutSetting(*keyboard, "edit_layout", false, *m_layouts);
    m_languages = Ui::Keyboard::usedLanguagesSetting(*keyboard, *m_layouts);
}

void ServicesPropPage::reopenKeyboard() {
    readKeyboardSettings();
    if (m_keyboard && m_layouts != nullptr)
        m_keyboard = Ui::openPageKeyboard(*this, *m_layouts, m_layout, m_languages);
}

void ServicesPropPage::fillBoxes() {
    m_name.setText(Core::utf8ToWide(m_config ? m_config->value("online_user", std::string()) : std::string()));
    m_password.setText(Core::utf8ToWide(m_config ? m_config->value("online_password", std::string()) : std::string()));
}

void ServicesPropPage::onShow() {
    fillBoxes();
    setEditMode(0);
    auto check = [this](const char* name, const char* key) {
        if (auto* box = dynamic_cast<Ui::fdCheckedButton*>(findChild(name)))
            box->setChecked(m_config ? m_config->value(key, true) : true);
    };
    check("auto_connect_check", "online_auto_connect");
    check("auto_disable_check", "online_auto_disable");
    const int stored = m_config ? m_config->value("online_refresh_period", 10) : 10;
    const auto period = static_cast<std::uint32_t>(std::max(stored, 10));
    const auto at = std::find(RefreshPeriods.begin(), RefreshPeriods.end(), period);
    m_periodIndex = at == RefreshPeriods.end() ? 0 : static_cast<std::size_t>(at - RefreshPeriods.begin());
    showPeriod();
}

void ServicesPropPage::showPeriod() {
    const std::uint32_t seconds = RefreshPeriods[m_periodIndex];
    const std::u16string text = seconds >= 60 ? Core::format(u"%d %s", seconds / 60, m_messages.text("minute"))
                                              : Core::format(u"%d %s", seconds, m_messages.text("second"));
    if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild("refresh_period"))) {
        label->setText(text);
        label->invalidate(0);
    }
}

Ui::EditBox* ServicesPropPage::edited() {
    return m_editMode == 1 ? &m_name : m_editMode == 2 ? &m_password : nullptr;
}

void ServicesPropPage::setEditMode(int mode) {
    m_editMode = mode;
    for (const char* name : OptionWidgets)
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(mode == 0);
    m_name.setFocused(mode == 1);
    m_password.setFocused(mode == 2);
    if (mode == 0)
        m_keyboard.reset();
    else if (!m_keyboard && m_layouts != nullptr)
        m_keyboard = Ui::openPageKeyboard(*this, *m_layouts, m_layout, m_languages);
    invalidate(1);
}

void ServicesPropPage::storeLogin() {
    if (m_service != nullptr)
        m_service->setLogin(m_name.text(), m_password.text());
    if (m_config) {
        m_config->set("online_user", Core::wideToUtf8(m_name.text()));
        m_config->set("online_password", Core::wideToUtf8(m_password.text()));
    }
}

void ServicesPropPage::applyOptions() {
    const auto* connect = dynamic_cast<Ui::fdCheckedButton*>(findChild("auto_connect_check"));
    const auto* disable = dynamic_cast<Ui::fdCheckedButton*>(findChild("auto_disable_check"));
    const bool autoConnect = connect == nullptr || connect->checked();
    const bool autoDisable = disable == nullptr || disable->checked();
    const std::uint32_t period = RefreshPeriods[m_periodIndex];
    if (m_service != nullptr) {
        m_service->setAutoConnect(autoConnect);
        // Also sets the friend-info period to max(2 x period, 120).
        m_service->setTrackPeriod(period);
    }
    if (m_setAutoDisable)
        m_setAutoDisable(autoDisable);
    if (m_config) {
        m_config->set("online_auto_connect", autoConnect);
        m_config->set("online_auto_disable", autoDisable);
        m_config->set("online_refresh_period", static_cast<int>(period));
    }
}

bool ServicesPropPage::keyDown(int key) {
    if (m_editMode == 0) {
        if (key != SDLK_ESCAPE)
            return false;
        childClicked("back");
        return true;
    }
    if (ui()->keyModifiers() & (KMOD_CTRL | KMOD_ALT | KMOD_SHIFT))
        return m_keyboard ? m_keyboard->keyDown(key) : false;
    switch (key) {
    case SDLK_ESCAPE:
        childClicked("back");
        return true;
    case SDLK_TAB:
        setEditMode(m_editMode == 1 ? 2 : 1);
        return true;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        childClicked("ok");
        return true;
    default:
        if (Ui::EditBox* box = edited(); box != nullptr && box->caretKey(key))
            return true;
        return m_keyboard ? m_keyboard->keyDown(key) : false;
    }
}

void ServicesPropPage::childClicked(const std::string& name) {
    if (name == "back") {
        if (m_editMode == 0) {
            ui()->goBack();
            return;
        }
        fillBoxes();
        setEditMode(0);
    } else if (name == "ok") {
        if (m_editMode != 0) {
            setEditMode(0);
            storeLogin();
        } else {
            applyOptions();
            ui()->goBack();
            return;
        }
    } else if (name == "name_box") {
        setEditMode(1);
    } else if (name == "password_box") {
        setEditMode(2);
    } else if (name == "refresh_period_prev") {
        m_periodIndex = (m_periodIndex + RefreshPeriods.size() - 1) % RefreshPeriods.size();
        showPeriod();
    } else if (name == "refresh_period_next") {
        m_periodIndex = (m_periodIndex + 1) % RefreshPeriods.size();
        showPeriod();
    } else if (name == "kb") {
        if (Ui::EditBox* box = edited(); box != nullptr && m_keyboard)
            box->typeKey(m_keyboard->lastChild());
    } else {
        handleCommonCommand(name);
        return;
    }
    invalidate(1);
}

} // namespace Screens
