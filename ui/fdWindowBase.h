#pragma once
// The window tree: every page and widget is a window with a design
// rectangle (the coordinates the design was drawn in) and an absolute
// rectangle on the screen, placed from the parent's rectangle by anchors so
// that one design serves other screen sizes. Pointer input goes from the
// topmost child down, ticks go down, drawing goes back to front, and a click
// reaches the page as the widget's design name. Main thread only; changes
// made while input is dispatched go through the interface's pending lists.

#include "ui/ClickBehavior.h"
#include "ui/TimerPeriod.h"
#include "ui/TxtRenderer.h"

#include <SDL/SDL_video.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TempSurface;

namespace Render {
class Font;
}

namespace Ui {

class fdInterface;
class CustomCreator;

struct WindowRect {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t w = 0;
    std::uint16_t h = 0;
    SDL_Rect sdl() const { return SDL_Rect{x, y, w, h}; }
    bool operator==(const WindowRect&) const = default;
};

class fdWindowBase {
public:
    // The root form (the interface itself): no parent, no font, no colours.
    fdWindowBase(std::string name, fdInterface* ui);
    // A child: takes the parent's font and colours; attached at once with
    // attach set, else queued in the interface's pending-attach list.
    fdWindowBase(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui);
    // Deletes the children, last first. Does not detach itself.
    virtual ~fdWindowBase();
    fdWindowBase(const fdWindowBase&) = delete;
    fdWindowBase& operator=(const fdWindowBase&) = delete;

    virtual void setRect(int x, int y, int w, int h);
    virtual void relayout();
    virtual void setFont(Render::Font* font);
    virtual void setTextColor(const ColourPair& colours);
    virtual void addChild(fdWindowBase* child);
    virtual void removeChild(fdWindowBase* child);
    // Pages make the widgets of "custom" design elements here; the argument
    // is the element's creator.
    virtual void createCustom(const CustomCreator& creator);
    // How often the window wants the UI timer to tick; none here.
    virtual TimerPeriod timerPeriod() const { return TimerPeriod::none(); }
    virtual void tick(std::uint32_t now);
    // clip is the engine's scratch surface.
    virtual void draw(SDL_Surface* surface, TempSurface& clip, bool force);
    virtual void invalidate(int arg);
    virtual void setVisible(bool visible) { m_visible = visible; }
    virtual void setEnabled(bool enabled) { m_enabled = enabled; }
    // Visible and inside (right and bottom exclusive); enablement not tested.
    virtual bool hitTest(int x, int y) const;
    virtual bool mouseButtonDown(int button, int x, int y);
    virtual bool mouseButtonUp(int button, int x, int y);
    virtual bool mouseMove(int x, int y);
    virtual bool press(int x, int y);
    virtual bool release(int x, int y);
    virtual bool keyDown(int key);
    virtual bool keyUp(int key);
    virtual void childClicked(const std::string& name);
    virtual void childPressed(const std::string& name);
    virtual void childReleased(const std::string& name);

    // Absolute rectangle (x, y) relative to the parent, anchored to the
    // parent's left-top corner. Children are not touched.
    void setOwnRect(int x, int y, int w, int h);
    // Design rectangle relative to the parent's design origin, then
    // setOwnRect.
    void placeInParent(int x, int y, int w, int h);
    // Anchor kinds of the design (0 near, 1 centre, 2 far, 3 proportional)
    // against the parent's design rectangle; all 0 changes nothing.
    void setAnchors(int left, int top, int right, int bottom);
    // Anchor fractions of the parent's size with all offsets 0.
    void setAnchorFractions(float ltX, float ltY, float rbX, float rbY);
    // Takes the place of two siblings and all between: the left-top corner
    // and anchoring of the first, the right-bottom corner and anchoring of
    // the second (a key of the on-screen keyboard that spans grid cells).
    void spanSiblings(const fdWindowBase& first, const fdWindowBase& last);
    // Depth first, the pending-attach windows of each window included.
    fdWindowBase* findChild(const std::string& name) const;
    // findChild with a Critical log line when nothing is found; "" gives
    // null silently.
    fdWindowBase* widget(const std::string& name) const;
    void addBehavior(ClickBehavior* behavior);
    void removeBehavior(ClickBehavior* behavior);

    fdInterface* ui() const { return m_ui; }
    fdWindowBase* parent() const { return m_parent; }
    // Reattaching a queued window sets it; used by the interface only.
    void setParent(fdWindowBase* parent) { m_parent = parent; }
    const std::vector<fdWindowBase*>& children() const { return m_children; }
    const std::string& name() const { return m_name; }
    const WindowRect& rect() const { return m_rect; }
    const WindowRect& designRect() const { return m_designRect; }
    void setDesignRect(const WindowRect& r) { m_designRect = r; }
    Render::Font* font() const { return m_font; }
    const ColourPair& textColors() const { return m_textColors; }
    const std::shared_ptr<TxtRenderer>& textRenderer() const { return m_textRenderer; }
    void setTextRenderer(std::shared_ptr<TxtRenderer> renderer) { m_textRenderer = std::move(renderer); }
    bool dirty() const { return m_dirty; }
    bool visible() const { return m_visible; }
    bool enabled() const { return m_enabled; }
    const std::vector<ClickBehavior*>& behaviors() const { return m_behaviors; }
    // The engine's day flag (day when no engine is wired).
    bool isDay() const;

protected:
    void relayoutChildren();

    fdInterface* m_ui;
    fdWindowBase* m_parent = nullptr;
    std::vector<fdWindowBase*> m_children;
    std::string m_name;
    WindowRect m_designRect;
    WindowRect m_rect;
    float m_ltAnchorX = 0, m_ltAnchorY = 0;
    std::int32_t m_ltOffsetX = 0, m_ltOffsetY = 0;
    float m_rbAnchorX = 0, m_rbAnchorY = 0;
    std::int32_t m_rbOffsetX = 0, m_rbOffsetY = 0;
    std::shared_ptr<TxtRenderer> m_textRenderer;
    Render::Font* m_font = nullptr;
    ColourPair m_textColors;
    bool m_dirty = true;
    std::vector<ClickBehavior*> m_behaviors;
    bool m_visible = true;
    bool m_enabled = true;
};

// A window that covers its parent and routes pointer input to its children,
// with an optional capturing child and a fill colour.
class fdWindowPage : public fdWindowBase {
public:
    fdWindowPage(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui);

    void removeChild(fdWindowBase* child) override;
    // The soonest period any child wants; none when none wants one.
    TimerPeriod timerPeriod() const override;
    void tick(std::uint32_t now) override;
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;
    bool mouseButtonDown(int button, int x, int y) override;
    bool mouseButtonUp(int button, int x, int y) override;
    bool mouseMove(int x, int y) override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    virtual void drawBackground(SDL_Surface* surface, TempSurface& clip);

    // While set, all pointer input of this window goes to it alone.
    void setCapture(fdWindowBase* child) { m_capture = child; }
    fdWindowBase* capture() const { return m_capture; }
    // Red, green, blue; the rectangle is filled only when fill is set.
    void setFillColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool fill) {
        m_fill[0] = red;
        m_fill[1] = green;
        m_fill[2] = blue;
        m_fill[3] = fill ? 1 : 0;
    }

protected:
    fdWindowBase* m_capture = nullptr;
    std::uint8_t m_fill[4] = {0, 0, 0, 0};
};

} // namespace Ui
