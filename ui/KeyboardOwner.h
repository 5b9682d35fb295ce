#pragma once
// A page that holds an on-screen keyboard: the keyboard settings page asks
// it to open its keyboard again after the layouts or languages changed.

namespace Ui {

class KeyboardOwner {
  public:
    virtual ~KeyboardOwner() = default;
    // Reopens the page's keyboard with the layout and languages stored now;
    // nothing when no keyboard is open.
    virtual void reopenKeyboard() = 0;
};

} // namespace Ui
