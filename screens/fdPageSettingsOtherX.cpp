#include "screens/fdPageSettingsOtherX.h"

#include "core/ConfigNode.h"
#include "core/Format.h"
#include "guidance/ObjWarn.h"
#include "core/MessageTable.h"
#include "guidance/SoundSystem.h"
#include "screens/DemoSpeed.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"

#include <SDL.h>

namespace Screens {

fdPageSettingsOtherX::fdPageSettingsOtherX(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config,
                                           Guidance::SoundSystem* sound, const Core::MessageTable& messages)
    : fdPage(ui, "pageSettingsOther", nullptr), m_config(std::move(config)), m_sound(sound),
      m_messages(messages) {}

std::int32_t fdPageSettingsOtherX::stepWrapped(std::int32_t value, std::int32_t step, std::int32_t bottom,
                                               std::int32_t top) {
    value += step;
    if (value > top) return bottom;
    if (value < bottom) return top;
    return value;
}

bool fdPageSettingsOtherX::checked(const char* name) const {
    const auto* box = dynamic_cast<const Ui::fdCheckedButton*>(findChild(name));
    return box && box->checked();
}

void fdPageSettingsOtherX::onShow() {
    if (fdWindowBase* orientation = findChild("orientation_switch")) orientation->setVisible(false);
    if (m_sound) {
        m_menuSounds = m_menuSoundsAtShow = m_sound->menuOn();
        m_naviSounds = m_sound->naviOn();
    }
    m_mapStart = m_config->value("map_start", false);
    // The speed the demo would drive at: a stored value out of range shows
    // as the one used.
    m_demoSpeed = DemoSpeed::readKmh(*m_config);
    m_incomingDistance = Guidance::ObjWarn::settings().incomingDistance;
    m_outgoingDistance = Guidance::ObjWarn::settings().outgoingDistance;
    for (auto [name, value] :
         {std::pair{"map_start_check", m_mapStart}, std::pair{"menu_sound_check", m_menuSounds},
          std::pair{"navi_sound_check", m_naviSounds}})
        if (auto* box = dynamic_cast<Ui::fdCheckedButton*>(findChild(name))) box->setChecked(value);
    refreshLabels();
}

void fdPageSettingsOtherX::refreshLabels() {
    if (auto* speed = dynamic_cast<Ui::fdStatic*>(findChild("speed")))
        speed->setText(Core::format(u"%d %s", m_demoSpeed, m_messages.text("speed_kph")));
    for (auto [name, value] : {std::pair{"dist", m_outgoingDistance}, std::pair{"dist2", m_incomingDistance}})
        if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild(name)))
            label->setText(Core::format(u"%d", value));
}

void fdPageSettingsOtherX::restoreMenuSounds() {
    if (m_sound && m_sound->menuOn() != m_menuSoundsAtShow) m_sound->setMenuSounds(m_menuSoundsAtShow);
}

void fdPageSettingsOtherX::setSwitches() {
    if (!m_sound) return;
    m_sound->setMenuSounds(m_menuSounds);
    m_sound->setNaviSounds(m_naviSounds);
}

void fdPageSettingsOtherX::apply() {
    setSwitches();
    m_config->set("map_start", m_mapStart);
    m_config->set("demo_speed", m_demoSpeed);
    Guidance::ObjWarn::setDistances(m_config, static_cast<std::uint16_t>(m_incomingDistance),
                                    static_cast<std::uint16_t>(m_outgoingDistance));
    m_config->set("obj_warn_distance", m_incomingDistance);
    m_config->set("obj_warn_distance_out", m_outgoingDistance);
    setSwitches();
    m_menuSoundsAtShow = m_menuSounds;
}

bool fdPageSettingsOtherX::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return false;
}

void fdPageSettingsOtherX::childClicked(const std::string& name) {
    if (name == "close" || name == "hide") {
        handleCommonCommand(name);
    } else if (name == "back") {
        restoreMenuSounds();
        ui()->goBack();
    } else if (name == "menu") {
        restoreMenuSounds();
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "ok") {
        apply();
        ui()->goBack();
    } else if (name == "speedUp" || name == "speedDown") {
        m_demoSpeed = stepWrapped(m_demoSpeed, name == "speedUp" ? DemoSpeed::StepKmh : -DemoSpeed::StepKmh,
                                  DemoSpeed::MinKmh, DemoSpeed::MaxKmh);
        refreshLabels();
    } else if (name == "distUp" || name == "distDown") {
        m_outgoingDistance = stepWrapped(m_outgoingDistance, name == "distUp" ? 10 : -10, 50, 150);
        refreshLabels();
    } else if (name == "dist2Up" || name == "dist2Down") {
        m_incomingDistance = stepWrapped(m_incomingDistance, name == "dist2Up" ? 50 : -50, 150, 1000);
        refreshLabels();
    } else if (name == "map_start_check") {
        m_mapStart = checked("map_start_check");
    } else if (name == "menu_sound_check") {
        m_menuSounds = checked("menu_sound_check");
        if (m_sound) m_sound->setMenuSounds(m_menuSounds);
    } else if (name == "navi_sound_check") {
        m_naviSounds = checked("navi_sound_check");
    }
    invalidate(1);
}

} // namespace Screens
