#pragma once
// Buttons: a press, a release and a click each reach the parent as the
// button's design name. Three looks (normal, pressed, disabled), an
// optional click sound and link, a round shape, a tolerance circle around
// the press point, and a long press that shows a pop-up widget. The checked
// button is a check box or, in a group, a radio button.

#include "ui/DesignTypes.h"
#include "ui/fdStatic.h"

namespace Ui {

class SoundPlayer;
struct CursorRecord;

class fdButtonX : public fdStatic {
public:
    struct Look {
        Material material;
        Render::Font* font = nullptr; // null keeps the window's font
        std::shared_ptr<TxtRenderer> renderer;
        ColourPair colours; // -1/-1 keeps the window's colours
    };

    // The sound player defaults to the interface's.
    fdButtonX(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui, SoundPlayer* sound = nullptr);

    TimerPeriod timerPeriod() const override;
    void tick(std::uint32_t now) override;
    void setEnabled(bool enabled) override;
    // Visible, enabled, inside; a round button by its inscribed ellipse.
    bool hitTest(int x, int y) const override;
    bool mouseMove(int x, int y) override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    void setImage(Render::Image* image) override;
    void setMaterial(const Material& material) override;

    virtual void setLongPressWidget(fdWindowBase* window) { m_longPress = window; }
    virtual void setLink(const std::string& link) { m_link = link; }
    virtual void setStateMaterial(const Material& material, int look);
    virtual void clicked();
    virtual void notifyPressed();
    virtual void notifyReleased();

    void updateLook();
    // A cursor drawn in place of the text for all looks; null switches
    // back to the looks' own renderers.
    void setCursorRenderer(const CursorRecord* cursor);
    void swapNormalAndPressed();
    void setClickSound(bool on) { m_clickSound = on; }
    void setRound(bool round) { m_round = round; }
    void setSensitivity(std::int32_t pixels) { m_sensitivity = pixels; }
    Look& look(int index) { return m_looks[index]; }
    // 0 idle, 1 pressed on, 2 pressed off, 3 long press done.
    std::int32_t state() const { return m_state; }
    fdWindowBase* longPressWidget() const { return m_longPress; }

    static constexpr std::uint32_t LongPressMs = 1500;

protected:
    // The long-press check of a release: 3 when it fired, else 0.
    std::int32_t longPressState();
    bool withinSensitivity(int x, int y) const;

    SoundPlayer* m_sound;
    bool m_clickSound = true;
    std::int32_t m_state = 0;
    Look m_looks[3];
    std::shared_ptr<TxtRenderer> m_sharedRenderer;
    std::string m_link;
    fdWindowBase* m_longPress = nullptr;
    std::uint32_t m_pressTime = 0;
    bool m_round = false;
    std::int32_t m_sensitivity = 0;
    std::int32_t m_pressX = 0, m_pressY = 0;
    // The colours the button had before any look set its own.
    ColourPair m_ownColours;
};

class fdCheckedButton : public fdButtonX {
public:
    using fdButtonX::fdButtonX;
    // Leaves the group; the last member deletes it.
    ~fdCheckedButton() override;

    void setStateMaterial(const Material& material, int look) override;
    void clicked() override;

    // Shows the pressed look while checked; checking a grouped button
    // unchecks the other members.
    void toggle();
    void setChecked(bool checked) {
        if (checked != m_checked)
            toggle();
    }
    bool checked() const { return m_checked; }
    void setToggleOnClick(bool on) { m_toggleOnClick = on; }
    // Joins the record's group, making it when this is its first member in
    // the current build.
    void joinGroup(CheckedGroupRecord& record);
    CheckedGroup* group() const { return m_group; }

private:
    CheckedGroup* m_group = nullptr;
    bool m_checked = false;
    bool m_toggleOnClick = true;
};

} // namespace Ui
