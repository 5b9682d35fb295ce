#include "ui/fdWindowBase.h"

#include "core/Format.h"
#include "ui/EngineServices.h"
#include "ui/fdInterface.h"

#include <algorithm>

namespace Ui {

namespace {

// v + 0.5 truncated toward zero: halves go up for the non-negative values
// that layouts produce. A design can anchor a window far outside its
// parent; the conversion stays defined (the rectangle is 16-bit anyway).
std::int32_t rnd(float v) {
    const float r = v + 0.5f;
    if (!(r > -1e9f))
        return -1000000000;
    if (r > 1e9f)
        return 1000000000;
    return static_cast<std::int32_t>(r);
}

// One edge of setAnchors: edge coordinate e against origin o and extent n.
void anchorEdge(int kind, int e, int o, int n, float& anchor, std::int32_t& offset) {
    switch (kind) {
    case 1:
        anchor = 0.5f;
        offset = e - n / 2 - o;
        break;
    case 2:
        anchor = 1.0f;
        offset = e - o - n;
        break;
    case 3:
        // A parent without design extent gives a plain near anchor rather
        // than a division by zero.
        anchor = n != 0 ? static_cast<float>(e - o) / static_cast<float>(n) : 0.0f;
        offset = n != 0 ? 0 : e - o;
        break;
    default:
        anchor = 0.0f;
        offset = e - o;
        break;
    }
}

template <class F> bool anyTopmostFirst(const std::vector<fdWindowBase*>& children, F f) {
    for (std::size_t i = children.size(); i-- > 0;)
        if (i < children.size() && f(children[i]))
            return true;
    return false;
}

template <class F> void eachTopmostFirst(const std::vector<fdWindowBase*>& children, F f) {
    for (std::size_t i = children.size(); i-- > 0;)
        if (i < children.size())
            f(children[i]);
}

} // namespace

fdWindowBase::fdWindowBase(std::string name, fdInterface* ui) : m_ui(ui), m_name(std::move(name)) {}

fdWindowBase::fdWindowBase(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui)
    : m_ui(ui), m_parent(parent), m_name(std::move(name)) {
    if (parent) {
        m_font = parent->m_font;
        m_textColors = parent->m_textColors;
    } else if (ui) {
        m_font = ui->systemFont();
    }
    if (parent && attach)
        parent->addChild(this);
    else if (ui && !attach)
        ui->queueAttach(this);
}

fdWindowBase::~fdWindowBase() {
    while (!m_children.empty()) {
        fdWindowBase* child = m_children.back();
        m_children.pop_back();
        delete child;
    }
}

void fdWindowBase::setRect(int x, int y, int w, int h) {
    setOwnRect(x, y, w, h);
    relayoutChildren();
}

void fdWindowBase::relayoutChildren() {
    for (std::size_t i = 0; i < m_children.size(); ++i)
        m_children[i]->relayout();
    if (m_ui)
        for (fdWindowBase* pending : m_ui->pendingAttach())
            if (pending->m_parent == this)
                pending->relayout();
}

void fdWindowBase::relayout() {
    if (m_parent) {
        const WindowRect& p = m_parent->m_rect;
        const std::int32_t x = m_ltOffsetX + rnd(p.w * m_ltAnchorX) + p.x;
        const std::int32_t y = m_ltOffsetY + rnd(p.h * m_ltAnchorY) + p.y;
        const std::int32_t right = m_rbOffsetX + rnd(p.w * m_rbAnchorX) + p.x;
        const std::int32_t bottom = m_rbOffsetY + rnd(p.h * m_rbAnchorY) + p.y;
        m_rect = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), static_cast<std::uint16_t>(right - x),
                  static_cast<std::uint16_t>(bottom - y)};
    }
    relayoutChildren();
}

void fdWindowBase::setFont(Render::Font* font) {
    m_font = font;
    if (m_textRenderer)
        m_textRenderer->setFont(font);
}

void fdWindowBase::setTextColor(const ColourPair& colours) {
    m_textColors = colours;
    if (m_textRenderer)
        m_textRenderer->setColors(colours);
}

void fdWindowBase::addChild(fdWindowBase* child) { m_children.push_back(child); }

void fdWindowBase::removeChild(fdWindowBase* child) { std::erase(m_children, child); }

void fdWindowBase::createCustom(const CustomCreator&) {}

void fdWindowBase::tick(std::uint32_t) {}

void fdWindowBase::draw(SDL_Surface*, TempSurface&, bool) { m_dirty = false; }

void fdWindowBase::invalidate(int) {
    m_dirty = true;
    if (m_parent)
        m_parent->invalidate(0);
}

bool fdWindowBase::hitTest(int x, int y) const {
    return m_visible && x >= m_rect.x && y >= m_rect.y && x < m_rect.x + m_rect.w && y < m_rect.y + m_rect.h;
}

bool fdWindowBase::mouseButtonDown(int button, int x, int y) { return button == 1 && press(x, y); }

bool fdWindowBase::mouseButtonUp(int button, int x, int y) { return button == 1 && release(x, y); }

bool fdWindowBase::mouseMove(int x, int y) {
    for (std::size_t i = 0; i < m_behaviors.size(); ++i)
        m_behaviors[i]->move(x, y);
    return false;
}

bool fdWindowBase::press(int x, int y) {
    for (std::size_t i = 0; i < m_behaviors.size(); ++i)
        if (m_behaviors[i]->press(x, y))
            return true;
    return false;
}

bool fdWindowBase::release(int x, int y) {
    for (std::size_t i = 0; i < m_behaviors.size(); ++i)
        if (m_behaviors[i]->release(x, y))
            return true;
    return false;
}

bool fdWindowBase::keyDown(int) { return false; }
bool fdWindowBase::keyUp(int) { return false; }
void fdWindowBase::childClicked(const std::string&) {}
void fdWindowBase::childPressed(const std::string&) {}
void fdWindowBase::childReleased(const std::string&) {}

void fdWindowBase::setOwnRect(int x, int y, int w, int h) {
    const int px = m_parent ? m_parent->m_rect.x : 0;
    const int py = m_parent ? m_parent->m_rect.y : 0;
    m_rect = {static_cast<std::int16_t>(px + x), static_cast<std::int16_t>(py + y), static_cast<std::uint16_t>(w),
              static_cast<std::uint16_t>(h)};
    m_ltAnchorX = m_ltAnchorY = m_rbAnchorX = m_rbAnchorY = 0.0f;
    // Offsets from the parent's corner, so that relayout puts the window
    // back where it is now.
    m_ltOffsetX = x;
    m_ltOffsetY = y;
    m_rbOffsetX = x + w;
    m_rbOffsetY = y + h;
}

void fdWindowBase::placeInParent(int x, int y, int w, int h) {
    const int px = m_parent ? m_parent->m_designRect.x : 0;
    const int py = m_parent ? m_parent->m_designRect.y : 0;
    m_designRect = {static_cast<std::int16_t>(px + x), static_cast<std::int16_t>(py + y),
                    static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h)};
    setOwnRect(x, y, w, h);
}

void fdWindowBase::setAnchors(int left, int top, int right, int bottom) {
    if (!m_parent || (left == 0 && top == 0 && right == 0 && bottom == 0))
        return;
    const WindowRect& q = m_parent->m_designRect;
    const WindowRect& d = m_designRect;
    anchorEdge(left, d.x, q.x, q.w, m_ltAnchorX, m_ltOffsetX);
    anchorEdge(top, d.y, q.y, q.h, m_ltAnchorY, m_ltOffsetY);
    anchorEdge(right, d.x + d.w, q.x, q.w, m_rbAnchorX, m_rbOffsetX);
    anchorEdge(bottom, d.y + d.h, q.y, q.h, m_rbAnchorY, m_rbOffsetY);
}

void fdWindowBase::setAnchorFractions(float ltX, float ltY, float rbX, float rbY) {
    m_ltAnchorX = ltX;
    m_ltAnchorY = ltY;
    m_rbAnchorX = rbX;
    m_rbAnchorY = rbY;
    m_ltOffsetX = m_ltOffsetY = m_rbOffsetX = m_rbOffsetY = 0;
}

void fdWindowBase::spanSiblings(const fdWindowBase& first, const fdWindowBase& last) {
    const WindowRect& a = first.m_designRect;
    const WindowRect& b = last.m_designRect;
    m_designRect = {a.x, a.y, static_cast<std::uint16_t>(b.x + b.w - a.x), static_cast<std::uint16_t>(b.y + b.h - a.y)};
    m_ltAnchorX = first.m_ltAnchorX;
    m_ltAnchorY = first.m_ltAnchorY;
    m_ltOffsetX = first.m_ltOffsetX;
    m_ltOffsetY = first.m_ltOffsetY;
    m_rbAnchorX = last.m_rbAnchorX;
    m_rbAnchorY = last.m_rbAnchorY;
    m_rbOffsetX = last.m_rbOffsetX;
    m_rbOffsetY = last.m_rbOffsetY;
    relayout();
}

fdWindowBase* fdWindowBase::findChild(const std::string& name) const {
    for (fdWindowBase* child : m_children)
        if (child->m_name == name)
            return child;
    if (m_ui)
        for (fdWindowBase* pending : m_ui->pendingAttach())
            if (pending->m_parent == this && pending->m_name == name)
                return pending;
    for (fdWindowBase* child : m_children)
        if (fdWindowBase* found = child->findChild(name))
            return found;
    return nullptr;
}

fdWindowBase* fdWindowBase::widget(const std::string& name) const {
    if (name.empty())
        return nullptr;
    if (fdWindowBase* found = findChild(name))
        return found;
    std::string chain;
    for (const fdWindowBase* w = this; w; w = w->m_parent)
        chain += " on " + w->m_name;
    if (m_ui)
        m_ui->logMissingOnce(Core::format("Can't find widget %s%s", name, chain));
    return nullptr;
}

void fdWindowBase::addBehavior(ClickBehavior* behavior) { m_behaviors.push_back(behavior); }

void fdWindowBase::removeBehavior(ClickBehavior* behavior) { std::erase(m_behaviors, behavior); }

bool fdWindowBase::isDay() const { return !m_ui || !m_ui->engine() || m_ui->engine()->isDay(); }

fdWindowPage::fdWindowPage(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui)
    : fdWindowBase(parent, std::move(name), attach, ui) {
    const WindowRect& origin = parent ? parent->designRect() : WindowRect{};
    const WindowRect& screen = parent ? parent->rect() : WindowRect{};
    m_designRect = {origin.x, origin.y, ui ? ui->designRect().w : std::uint16_t(0),
                    ui ? ui->designRect().h : std::uint16_t(0)};
    m_rect = {screen.x, screen.y, ui ? ui->rect().w : std::uint16_t(0), ui ? ui->rect().h : std::uint16_t(0)};
    m_rbAnchorX = m_rbAnchorY = 1.0f;
}

void fdWindowPage::removeChild(fdWindowBase* child) {
    if (m_capture == child)
        m_capture = nullptr;
    fdWindowBase::removeChild(child);
}

TimerPeriod fdWindowPage::timerPeriod() const {
    TimerPeriod soonest;
    for (const fdWindowBase* child : m_children)
        soonest = soonest.sooner(child->timerPeriod());
    return soonest;
}

void fdWindowPage::tick(std::uint32_t now) {
    for (std::size_t i = 0; i < m_children.size(); ++i)
        m_children[i]->tick(now);
}

void fdWindowPage::draw(SDL_Surface* surface, TempSurface& clip, bool force) {
    if (!m_dirty && !force)
        return;
    m_dirty = false;
    if (!m_visible)
        return;
    drawBackground(surface, clip);
    for (std::size_t i = 0; i < m_children.size(); ++i)
        m_children[i]->draw(surface, clip, true);
}

void fdWindowPage::drawBackground(SDL_Surface* surface, TempSurface&) {
    if (!m_fill[3] || !surface)
        return;
    SDL_Rect r = m_rect.sdl();
    SDL_FillRect(surface, &r, SDL_MapRGBA(surface->format, m_fill[0], m_fill[1], m_fill[2], 255));
}

bool fdWindowPage::mouseButtonDown(int button, int x, int y) {
    if (!m_visible)
        return false;
    if (m_capture)
        return m_capture->mouseButtonDown(button, x, y);
    if (button == 1)
        return press(x, y);
    return anyTopmostFirst(m_children, [&](fdWindowBase* c) { return c->mouseButtonDown(button, x, y); });
}

bool fdWindowPage::mouseButtonUp(int button, int x, int y) {
    if (!m_visible)
        return false;
    if (m_capture)
        return m_capture->mouseButtonUp(button, x, y);
    if (button == 1)
        return release(x, y);
    eachTopmostFirst(m_children, [&](fdWindowBase* c) { c->mouseButtonUp(button, x, y); });
    return false;
}

bool fdWindowPage::mouseMove(int x, int y) {
    if (!m_visible)
        return false;
    if (m_capture)
        return m_capture->mouseMove(x, y);
    fdWindowBase::mouseMove(x, y);
    eachTopmostFirst(m_children, [&](fdWindowBase* c) { c->mouseMove(x, y); });
    return false;
}

bool fdWindowPage::press(int x, int y) {
    if (!m_visible)
        return false;
    if (m_capture)
        return m_capture->press(x, y);
    if (fdWindowBase::press(x, y))
        return true;
    return anyTopmostFirst(m_children, [&](fdWindowBase* c) { return c->press(x, y); });
}

bool fdWindowPage::release(int x, int y) {
    if (!m_visible)
        return false;
    if (m_capture)
        return m_capture->release(x, y);
    if (fdWindowBase::release(x, y))
        return true;
    eachTopmostFirst(m_children, [&](fdWindowBase* c) { c->release(x, y); });
    return false;
}

} // namespace Ui
