#include "ui/ClickBehaviors.h"

#include "ui/fdButtonX.h"
#include "ui/fdWindowBase.h"

namespace Ui {

ClickBehaviorBase::ClickBehaviorBase(fdWindowBase* owner) : m_owner(owner) { owner->addBehavior(this); }

ClickBehaviorBase::~ClickBehaviorBase() { m_owner->removeBehavior(this); }

bool ClickBehaviorBase::hitTest(int x, int y) const {
    const WindowRect& r = m_owner->rect();
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

bool ClickBehaviorBase::press(int x, int y) {
    if (!hitTest(x, y)) {
        m_state = 0;
        return false;
    }
    m_state = 1;
    setPressed(true);
    return true;
}

void ClickBehaviorBase::move(int x, int y) {
    if (m_state != 1 && m_state != 2)
        return;
    const int next = hitTest(x, y) ? 1 : 2;
    if (next != m_state) {
        m_state = next;
        setPressed(next == 1);
    }
}

bool ClickBehaviorBase::release(int x, int y) {
    if (m_state != 1)
        return false;
    (void)x;
    (void)y;
    m_state = 0;
    setPressed(false);
    clicked();
    return true;
}

void OnClickBehavior::clicked() {
    if (m_owner->parent())
        m_owner->parent()->childClicked(m_owner->name());
}

bool OnClickInCircleAreaBehavior::hitTest(int x, int y) const {
    const WindowRect& r = m_owner->rect();
    const int dx = x - (r.x + r.w / 2), dy = y - (r.y + r.h / 2);
    return dx * dx + dy * dy <= m_radiusSquared;
}

void ToggleCheckBehavior::clicked() {
    if (!m_button)
        return;
    const bool radio = m_button->group() && !m_button->group()->name.empty();
    if (!(radio && m_button->checked()))
        m_button->toggle();
    if (m_owner->parent())
        m_owner->parent()->childClicked(m_button->name());
}

HideOnClickBehavior::HideOnClickBehavior(fdWindowBase* owner) : m_owner(owner), m_list(owner->parent()) {
    if (m_list)
        m_list->addBehavior(this);
}

HideOnClickBehavior::~HideOnClickBehavior() {
    if (m_list)
        m_list->removeBehavior(this);
}

bool HideOnClickBehavior::hide(int, int) {
    if (!m_armed || !m_owner->visible())
        return false;
    m_armed = false;
    m_owner->setVisible(false);
    return true;
}

} // namespace Ui
