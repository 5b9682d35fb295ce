#include "ui/ButtonBindings.h"

#include <utility>

namespace Ui {

ButtonBindings::ButtonBindings(Core::ConfigNodePtr config)
    : m_config(std::move(config)), m_dayNight(m_config) {}

std::int32_t* ButtonBindings::fixedKey(std::string_view name) {
    if (name == "up")
        return &up;
    if (name == "down")
        return &down;
    if (name == "left")
        return &left;
    if (name == "right")
        return &right;
    if (name == "kp2")
        return &kp2;
    if (name == "kp4")
        return &kp4;
    if (name == "kp6")
        return &kp6;
    if (name == "kp8")
        return &kp8;
    if (name == "lsuper")
        return &lsuper;
    if (name == "enter")
        return &enter;
    return nullptr;
}

void ButtonBindings::setKey(std::string_view name, std::int32_t key, std::int32_t previousKey) {
    if (std::int32_t* field = fixedKey(name)) {
        *field = key;
        return;
    }
    const auto old = m_actions.find(previousKey);
    if (previousKey != key && old != m_actions.end() && old->second == name)
        m_actions.erase(old);
    // The map holds one action per key, so binding replaces whatever the
    // key triggered before.
    if (key != 0)
        m_actions[key] = std::string(name);
}

bool ButtonBindings::isUpKey(const SDL_keysym& keysym) const {
    const std::int32_t k = keysym.sym;
    return rotated() ? (k == right || k == kp6) : (k == up || k == kp8);
}

bool ButtonBindings::isDownKey(const SDL_keysym& keysym) const {
    const std::int32_t k = keysym.sym;
    return rotated() ? (k == left || k == kp4) : (k == down || k == kp2);
}

bool ButtonBindings::isRightKey(const SDL_keysym& keysym) const {
    const std::int32_t k = keysym.sym;
    return rotated() ? (k == down || k == kp2) : (k == right || k == kp6);
}

bool ButtonBindings::actionForKey(const SDL_keysym& keysym, std::string& name) const {
    const auto it = m_actions.find(static_cast<std::int32_t>(keysym.sym));
    if (it == m_actions.end())
        return false;
    name = it->second;
    return true;
}

} // namespace Ui
