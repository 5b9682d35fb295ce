#include "ui/fdButtonX.h"

#include "core/Shell.h"
#include "core/Text.h"
#include "ui/ClickBehaviors.h"
#include "ui/SoundPlayer.h"
#include "ui/TextRenderers.h"
#include "ui/fdInterface.h"

#include <algorithm>

namespace Ui {

namespace {
constexpr ColourPair NoColours{0xFFFFFFFFu, 0xFFFFFFFFu};
}

fdButtonX::fdButtonX(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui, SoundPlayer* sound)
    : fdStatic(parent, std::move(name), attach, ui), m_sound(sound ? sound : ui ? ui->soundPlayer() : nullptr),
      m_ownColours(m_textColors) {}

void fdButtonX::updateLook() {
    const Look& look = m_looks[!m_enabled ? 2 : m_state == 1 ? 1 : 0];
    fdStatic::setMaterial(look.material);
    if (look.font)
        m_font = look.font;
    m_textRenderer = m_sharedRenderer ? m_sharedRenderer : look.renderer;
    m_textColors = look.colours == NoColours ? m_ownColours : look.colours;
    if (m_textRenderer) {
        m_textRenderer->setFont(m_font);
        m_textRenderer->setColors(m_textColors);
    }
}

void fdButtonX::setCursorRenderer(const CursorRecord* cursor) {
    if (cursor)
        m_sharedRenderer = std::make_shared<CursorTxtRenderer>(cursor->image, cursor->hotX, cursor->hotY);
    else
        m_sharedRenderer.reset();
    updateLook();
}

void fdButtonX::swapNormalAndPressed() {
    std::swap(m_looks[0].material, m_looks[1].material);
    updateLook();
}

void fdButtonX::setStateMaterial(const Material& material, int look) {
    if (look < 0 || look > 2)
        return;
    m_looks[look].material = material;
    updateLook();
}

void fdButtonX::setImage(Render::Image* image) {
    for (Look& l : m_looks)
        l.material = wholeImage(image);
    updateLook();
}

void fdButtonX::setMaterial(const Material& material) {
    for (Look& l : m_looks)
        l.material = material;
    updateLook();
}

void fdButtonX::setEnabled(bool enabled) {
    m_enabled = enabled;
    updateLook();
}

bool fdButtonX::hitTest(int x, int y) const {
    if (!m_enabled || !fdWindowBase::hitTest(x, y))
        return false;
    if (!m_round)
        return true;
    const std::int64_t w = m_rect.w, h = m_rect.h;
    const std::int64_t dx = x - w / 2 - m_rect.x, dy = y - h / 2 - m_rect.y;
    return dx * dx + dy * dy <= (w * h) / 4;
}

bool fdButtonX::withinSensitivity(int x, int y) const {
    if (m_sensitivity <= 0)
        return false;
    const std::int64_t dx = x - m_pressX, dy = y - m_pressY;
    return dx * dx + dy * dy < std::int64_t(m_sensitivity) * m_sensitivity;
}

bool fdButtonX::press(int x, int y) {
    if (m_name.empty() || !m_visible || !hitTest(x, y))
        return false;
    if (m_clickSound && m_sound && m_sound->menuSoundsOn())
        m_sound->play(1, {ClickSoundId});
    m_state = 1;
    m_pressX = x;
    m_pressY = y;
    m_pressTime = m_ui ? m_ui->now() : 0;
    updateLook();
    notifyPressed();
    return true;
}

bool fdButtonX::mouseMove(int x, int y) {
    if (m_state == 1) {
        if (!withinSensitivity(x, y) && !hitTest(x, y)) {
            m_state = 2;
            updateLook();
            notifyReleased();
        }
    } else if (m_state == 2) {
        if (withinSensitivity(x, y) || hitTest(x, y)) {
            m_state = 1;
            updateLook();
            notifyPressed();
        }
    }
    return true;
}

std::int32_t fdButtonX::longPressState() {
    if (!m_longPress)
        return 0;
    const std::uint32_t now = m_ui ? m_ui->now() : 0;
    if (now - m_pressTime < LongPressMs)
        return 0;
    m_longPress->setVisible(true);
    return 3;
}

bool fdButtonX::release(int x, int y) {
    if (m_state == 1) {
        const bool on = withinSensitivity(x, y) || hitTest(x, y);
        m_state = longPressState();
        updateLook();
        if (!on)
            return false;
        notifyReleased();
        if (m_state == 0)
            clicked();
        return true;
    }
    if (m_state == 2) {
        m_state = longPressState();
        updateLook();
        return false;
    }
    m_state = 0;
    updateLook();
    return false;
}

TimerPeriod fdButtonX::timerPeriod() const {
    if (!m_longPress)
        return TimerPeriod::none();
    return TimerPeriod::every(m_state == 3 ? 10 : 500);
}

void fdButtonX::tick(std::uint32_t now) {
    if (!m_longPress)
        return;
    if (m_state == 1 || m_state == 2) {
        if (now - m_pressTime > LongPressMs)
            m_longPress->setVisible(((now - m_pressTime - LongPressMs) / 500) % 2 == 1);
    } else if (m_state == 3) {
        if (auto* label = dynamic_cast<fdStatic*>(m_longPress))
            if (auto* hide = dynamic_cast<HideOnClickBehavior*>(label->behavior()))
                hide->arm();
        m_state = 0;
    }
}

void fdButtonX::clicked() {
    // Not waited for, and its failure only logged (Core::followOpeners).
    if (!m_link.empty())
        Core::shellOpen(Core::utf8ToWide(m_link));
    if (m_parent)
        m_parent->childClicked(m_name);
}

void fdButtonX::notifyPressed() {
    if (m_parent)
        m_parent->childPressed(m_name);
}

void fdButtonX::notifyReleased() {
    if (m_parent)
        m_parent->childReleased(m_name);
}

fdCheckedButton::~fdCheckedButton() {
    if (!m_group)
        return;
    std::erase(m_group->members, this);
    if (m_group->members.empty())
        delete m_group;
}

void fdCheckedButton::joinGroup(CheckedGroupRecord& record) {
    if (!record.group)
        record.group = new CheckedGroup{record.name, {}};
    m_group = record.group;
    m_group->members.push_back(this);
}

void fdCheckedButton::setStateMaterial(const Material& material, int look) {
    if (m_checked && (look == 0 || look == 1))
        look = 1 - look;
    fdButtonX::setStateMaterial(material, look);
}

void fdCheckedButton::toggle() {
    m_checked = !m_checked;
    std::swap(m_looks[0].material, m_looks[1].material);
    updateLook();
    if (m_checked && m_group)
        for (fdCheckedButton* other : std::vector<fdCheckedButton*>(m_group->members))
            if (other != this && other->m_checked)
                other->toggle();
}

void fdCheckedButton::clicked() {
    if (!m_group) {
        if (m_toggleOnClick)
            toggle();
    } else if (!m_checked) {
        toggle();
    }
    fdButtonX::clicked();
}

} // namespace Ui
