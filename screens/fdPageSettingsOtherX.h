#pragma once
// The other settings page ("pageSettingsOther"): starting on the map, the
// demo drive's speed, the two object-warning distances and the menu-click
// and navigation sounds. The page edits copies; "ok" applies and stores
// them. Only the menu-click switch acts at once (so the user hears it) and
// is put back when the page is left without "ok".

#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Core {
class ConfigNode;
class MessageTable;
}
namespace Guidance {
class SoundSystem;
}

namespace Screens {

class fdPageSettingsOtherX final : public Ui::fdPage {
  public:
    // sound may be null (no sound switches). messages: the unit of the
    // demo speed ("speed_kph").
    fdPageSettingsOtherX(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config,
                         Guidance::SoundSystem* sound, const Core::MessageTable& messages);

    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    std::int32_t demoSpeed() const { return m_demoSpeed; }
    std::int32_t incomingDistance() const { return m_incomingDistance; }
    std::int32_t outgoingDistance() const { return m_outgoingDistance; }

    // value + step; past the top it becomes the bottom, below the bottom
    // the top.
    static std::int32_t stepWrapped(std::int32_t value, std::int32_t step, std::int32_t bottom,
                                    std::int32_t top);

  private:
    void refreshLabels();
    void restoreMenuSounds();
    void apply();
    bool checked(const char* name) const;
    void setSwitches();

    std::shared_ptr<Core::ConfigNode> m_config;
    Guidance::SoundSystem* m_sound;
    const Core::MessageTable& m_messages;
    bool m_menuSoundsAtShow = false;
    bool m_menuSounds = false;
    bool m_naviSounds = false;
    bool m_mapStart = false;
    std::int32_t m_demoSpeed = 60; // km/h
    std::int32_t m_incomingDistance = 1000;
    std::int32_t m_outgoingDistance = 150;
};

} // namespace Screens
