#pragma once
// The interface of the click behaviours that windows keep in their
// behaviours list (the kinds are in ui/ClickBehaviors.h).

namespace Ui {

class ClickBehavior {
public:
    virtual ~ClickBehavior() = default;
    // 1 plain click, 2 click in a circle, 3 toggles a check box, 4 hides its
    // owner at the next tap.
    virtual int kind() const = 0;
    virtual bool press(int x, int y) = 0;
    virtual bool release(int x, int y) = 0;
    virtual void move(int x, int y) = 0;

    ClickBehavior() = default;
    ClickBehavior(const ClickBehavior&) = delete;
    ClickBehavior& operator=(const ClickBehavior&) = delete;
};

} // namespace Ui
