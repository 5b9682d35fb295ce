#pragma once
// Hardware keys bound to the fixed navigation actions and to named actions
// (page names the map page opens), read from the chosen design's buttons
// file. One object lives for the whole program; it also carries the chosen
// design's file names, the screen orientation and the automatic day/night
// state.
//
// The buttons file:
//   <actions>
//     <action name="up" key="273"/>
//     <action name="pageFind" key="102"/>
//   </actions>
// "key" is a decimal SDL key symbol. The fixed names are up, down, left,
// right, kp2, kp4, kp6, kp8, lsuper and enter; any other name is an action.

#include "core/ConfigNode.h"
#include "ui/DayNight.h"

#include <SDL/SDL_keyboard.h> // SDL_keysym
#include <SDL/SDL_keysym.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace Ui {

// The key event of a key code alone, as the pages get key codes.
inline SDL_keysym keysymOf(int key) {
    SDL_keysym k{};
    k.sym = static_cast<SDLKey>(key);
    return k;
}

class ButtonBindings {
  public:
    // Reads "auto_dn" through the day/night state; the ten fixed keys get
    // their defaults and no key has an action.
    explicit ButtonBindings(Core::ConfigNodePtr config);

    // A fixed name sets that key. Any other name leaves previousKey when
    // that key was bound to it, then (for a key other than 0) takes the
    // key over from whatever action it had. The bindings page passes the
    // key the action had before; the file loader passes 0.
    void setKey(std::string_view name, std::int32_t key, std::int32_t previousKey);

    // "Up", "down" and "right" as the user sees them: on a rotated screen
    // the arrows turn with it.
    bool isUpKey(const SDL_keysym& keysym) const;
    bool isDownKey(const SDL_keysym& keysym) const;
    bool isRightKey(const SDL_keysym& keysym) const;

    // The action bound to the key; false (name untouched) when none is.
    bool actionForKey(const SDL_keysym& keysym, std::string& name) const;

    bool rotated() const { return orientation != 0; }
    const std::map<std::int32_t, std::string>& actions() const { return m_actions; }

    const Core::ConfigNodePtr& config() const { return m_config; }
    DayNight& dayNight() { return m_dayNight; }
    const DayNight& dayNight() const { return m_dayNight; }

    // Orientation angles (0 or 90) and the chosen design's files, set when
    // the design is chosen.
    std::int32_t orientation = 0;
    std::int32_t initialOrientation = 0;
    std::u16string designFile;
    std::u16string buttonsFile;
    std::u16string keyboardLayoutsFile;

    // The fixed keys (SDL key symbols).
    std::int32_t up = SDLK_UP;
    std::int32_t down = SDLK_DOWN;
    std::int32_t left = SDLK_LEFT;
    std::int32_t right = SDLK_RIGHT;
    std::int32_t kp2 = SDLK_KP2;
    std::int32_t kp4 = SDLK_KP4;
    std::int32_t kp6 = SDLK_KP6;
    std::int32_t kp8 = SDLK_KP8;
    std::int32_t lsuper = SDLK_LSUPER;
    std::int32_t enter = SDLK_RETURN;

  private:
    // The field of a fixed name, or null for an action name.
    std::int32_t* fixedKey(std::string_view name);

    Core::ConfigNodePtr m_config;
    DayNight m_dayNight;
    std::map<std::int32_t, std::string> m_actions;
};

} // namespace Ui
