#pragma once
// The bound navigation keys a page scrolls with, read from the button
// bindings, or SDL's arrow and keypad keys when the page has none.

#include "ui/ButtonBindings.h"

namespace Screens {

struct PageKeys {
    std::int32_t up = SDLK_UP, down = SDLK_DOWN, left = SDLK_LEFT, right = SDLK_RIGHT;
    std::int32_t kp2 = SDLK_KP2, kp4 = SDLK_KP4, kp6 = SDLK_KP6, kp8 = SDLK_KP8;
    bool rotated = false;

    static PageKeys of(const Ui::ButtonBindings* b) {
        if (!b) return {};
        return {b->up, b->down, b->left, b->right, b->kp2, b->kp4, b->kp6, b->kp8, b->rotated()};
    }
    // "Up" and "down" as the user sees them: on a rotated screen the
    // arrows turn with it.
    bool isUp(int key) const { return rotated ? (key == right || key == kp6) : (key == up || key == kp8); }
    bool isDown(int key) const { return rotated ? (key == left || key == kp4) : (key == down || key == kp2); }
};

} // namespace Screens
