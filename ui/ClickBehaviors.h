#pragma once
// Click logic for widgets that are not buttons: a plain click, a click
// inside a circle, a label that toggles a check box, and a pop-up that
// hides itself at the next tap. Each enters itself into a behaviours list
// when made and leaves it when destroyed.

#include "ui/ClickBehavior.h"

namespace Ui {

class fdCheckedButton;
class fdWindowBase;

class ClickBehaviorBase : public ClickBehavior {
public:
    // Enters the owner's behaviours list.
    explicit ClickBehaviorBase(fdWindowBase* owner);
    ~ClickBehaviorBase() override;

    bool press(int x, int y) override;
    // A click only when the press was inside and the pointer is inside.
    bool release(int x, int y) override;
    void move(int x, int y) override;

    // Inside the owner's rectangle, right and bottom exclusive.
    virtual bool hitTest(int x, int y) const;
    virtual void setPressed(bool) {}
    virtual void clicked() {}
    // 0 idle, 1 pressed inside, 2 pressed outside.
    int state() const { return m_state; }

protected:
    fdWindowBase* m_owner;
    int m_state = 0;
};

// The owner's parent receives the owner's name.
class OnClickBehavior : public ClickBehaviorBase {
public:
    using ClickBehaviorBase::ClickBehaviorBase;
    int kind() const override { return 1; }
    void clicked() override;
};

// Hits within the radius of the owner's centre (taken from its current
// rectangle, so that it follows relayouts).
class OnClickInCircleAreaBehavior : public OnClickBehavior {
public:
    OnClickInCircleAreaBehavior(fdWindowBase* owner, int radius) : OnClickBehavior(owner), m_radiusSquared(radius * radius) {}
    int kind() const override { return 2; }
    bool hitTest(int x, int y) const override;

private:
    int m_radiusSquared;
};

// A label beside a check box: a click toggles the box (a checked radio
// button stays checked) and reports the box's name.
class ToggleCheckBehavior : public ClickBehaviorBase {
public:
    ToggleCheckBehavior(fdWindowBase* owner, fdCheckedButton* button) : ClickBehaviorBase(owner), m_button(button) {}
    int kind() const override { return 3; }
    void clicked() override;

private:
    fdCheckedButton* m_button;
};

// Lives in the behaviours of its owner's parent: once armed, the next press
// or release anywhere there hides the owner.
class HideOnClickBehavior : public ClickBehavior {
public:
    explicit HideOnClickBehavior(fdWindowBase* owner);
    ~HideOnClickBehavior() override;
    int kind() const override { return 4; }
    bool press(int x, int y) override { return hide(x, y); }
    bool release(int x, int y) override { return hide(x, y); }
    void move(int, int) override {}
    void arm() { m_armed = true; }
    bool armed() const { return m_armed; }

private:
    bool hide(int x, int y);
    fdWindowBase* m_owner;
    fdWindowBase* m_list;
    bool m_armed = false;
};

} // namespace Ui
