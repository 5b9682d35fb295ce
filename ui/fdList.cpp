#include "ui/fdList.h"

#include "core/TempSurface.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <algorithm>
#include <cctype>

namespace Ui {

namespace {

SDL_Rect makeRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    return SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(std::max(w, 0)),
                    static_cast<Uint16>(std::max(h, 0))};
}

} // namespace

void fdList::buildRows(const TemplateDescription& itemTemplate, std::uint32_t count, const Material& selection) {
    for (const Row& row : m_rows) {
        if (m_ui)
            m_ui->queueDelete(row.window);
    }
    m_rows.clear();
    m_rows.reserve(count);
    m_selected = -1;
    m_pressedRow = nullptr;
    const float total = m_rect.h > 0 ? float(m_rect.h) : 1.0f;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto* row = new TemplateWindow(itemTemplate, this, std::to_string(i), m_ui, m_context);
        Material normal;
        if (auto* bg = dynamic_cast<fdStatic*>(row->background()))
            normal = bg->material();
        m_rows.push_back({row, normal});
        row->setRect(itemTemplate.x, itemTemplate.y + std::int32_t(i) * itemTemplate.h, itemTemplate.w,
                     itemTemplate.h);
        const float th = float(itemTemplate.h);
        row->setAnchorFractions(0.0f, float(i) * th / total, 1.0f, float(i + 1) * th / total);
        row->relayout();
    }
    m_selection = selection;
}

TemplateWindow* fdList::rowWidget(std::size_t index) const {
    return index < m_rows.size() ? m_rows[index].window : nullptr;
}

void fdList::select(std::int32_t index) {
    auto background = [&](std::int32_t i) -> fdStatic* {
        if (i < 0 || std::size_t(i) >= m_rows.size())
            return nullptr;
        return dynamic_cast<fdStatic*>(m_rows[std::size_t(i)].window->background());
    };
    if (m_selection.image)
        if (fdStatic* old = background(m_selected))
            old->setMaterial(m_rows[std::size_t(m_selected)].normal);
    m_selected = index;
    if (m_selection.image && index != -1)
        if (fdStatic* now = background(index))
            now->setMaterial(m_selection);
}

void fdList::childClicked(const std::string& name) {
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])))
        return;
    std::uint64_t index = 0;
    for (std::size_t i = 0; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && index < 0x100000000;
         ++i)
        index = index * 10 + std::uint64_t(name[i] - '0');
    if (index >= usedRows)
        return;
    select(static_cast<std::int32_t>(index));
    if (m_inRelease)
        releaseClick = true;
    if (m_parent)
        m_parent->childClicked(m_name);
}

void fdList::draw(SDL_Surface* surface, TempSurface& clip, bool force) {
    m_dirty = false;
    if (!m_visible)
        return;
    // A row at or past the used count shows no item and draws nothing, not
    // even its template's check box or expander: a list of fewer items than
    // rows, or one that no model has filled yet, leaves the rest blank.
    for (std::size_t i = 0; i < m_rows.size() && i < usedRows; ++i)
        m_rows[i].window->draw(surface, clip, force);
}

bool fdList::mouseButtonDown(int button, int x, int y) {
    if (button == 1 && press(x, y))
        return true;
    if (!m_visible)
        return false;
    for (std::size_t i = m_rows.size(); i-- > 0;)
        if (m_rows[i].window->mouseButtonDown(button, x, y))
            return true;
    return false;
}

bool fdList::mouseButtonUp(int button, int x, int y) {
    if (button == 1 && release(x, y))
        return true;
    if (!m_visible)
        return false;
    for (std::size_t i = m_rows.size(); i-- > 0;)
        m_rows[i].window->mouseButtonUp(button, x, y);
    return false;
}

bool fdList::mouseMove(int x, int y) {
    fdWindowBase::mouseMove(x, y);
    if (m_visible)
        for (std::size_t i = m_rows.size(); i-- > 0;)
            m_rows[i].window->mouseMove(x, y);
    return false;
}

bool fdList::press(int x, int y) {
    if (fdWindowBase::press(x, y))
        return true;
    if (!m_visible)
        return false;
    m_pressedRow = nullptr;
    for (std::size_t i = m_rows.size(); i-- > 0;) {
        TemplateWindow* row = m_rows[i].window;
        if (row->press(x, y))
            return true;
        if (row->hitTest(x, y)) {
            m_pressedRow = row;
            releaseClick = false;
            childClicked(row->name());
            return true;
        }
    }
    return false;
}

bool fdList::release(int x, int y) {
    if (fdWindowBase::release(x, y))
        return true;
    if (!m_visible)
        return false;
    m_inRelease = true;
    releaseClick = false;
    TemplateWindow* under = nullptr;
    for (std::size_t i = m_rows.size(); i-- > 0;) {
        TemplateWindow* row = m_rows[i].window;
        if (!row->release(x, y) && !under && row->hitTest(x, y))
            under = row;
    }
    if (under && under == m_pressedRow) {
        rowRelease = true;
        childClicked(under->name());
        rowRelease = false;
    }
    m_pressedRow = nullptr;
    m_inRelease = false;
    return false;
}

std::int32_t fdSlider::valueAt(int x, int y) const {
    if (!hitTest(x, y))
        return value;
    const std::int32_t length = horizontal ? m_rect.w : m_rect.h;
    const std::int32_t thumb = horizontal ? thumbWidth : thumbHeight;
    const std::int32_t p = horizontal ? x - m_rect.x : y - m_rect.y;
    const std::int32_t half = thumb / 2;
    if (p < half)
        return minimum;
    if (p > length - half)
        return maximum;
    const std::int64_t span = length - thumb;
    const std::int64_t range = std::int64_t(maximum) - minimum;
    if (span == 0)
        return minimum;
    const std::int64_t step = range != 0 ? span / range : 0;
    return static_cast<std::int32_t>((step / 2 - half + p) * range / span + minimum);
}

bool fdSlider::press(int x, int y) {
    if (!hitTest(x, y))
        return false;
    m_dragging = true;
    value = valueAt(x, y);
    invalidate(0);
    return true;
}

bool fdSlider::mouseMove(int x, int y) {
    if (m_dragging) {
        const std::int32_t before = value;
        value = valueAt(x, y);
        if (notifyWhileDragging && value != before && m_parent)
            m_parent->childClicked(m_name);
        invalidate(0);
    }
    return true;
}

bool fdSlider::release(int x, int y) {
    if (m_dragging) {
        value = valueAt(x, y);
        m_dragging = false;
        if (m_parent)
            m_parent->childClicked(m_name);
    }
    return true;
}

void fdSlider::draw(SDL_Surface* surface, TempSurface& clip, bool force) {
    if (!m_visible || (!m_dirty && !force))
        return;
    fdStatic::draw(surface, clip, force);
    const std::int64_t range = std::int64_t(maximum) - minimum;
    // Nothing to move along: the track alone, as the arrows beside it look
    // dead.
    if (!thumb || range <= 0)
        return;
    const std::int64_t along = std::int64_t(value) - minimum;
    SDL_Rect r;
    if (horizontal) {
        const std::int64_t x = range != 0 ? (m_rect.w - thumbWidth) * along / range : 0;
        r = makeRect(m_rect.x + std::int32_t(x), m_rect.y + (m_rect.h - thumbHeight) / 2, thumbWidth, thumbHeight);
    } else {
        const std::int64_t y = range != 0 ? (m_rect.h - thumbHeight) * along / range : 0;
        r = makeRect(m_rect.x + (m_rect.w - thumbWidth) / 2, m_rect.y + std::int32_t(y), thumbWidth, thumbHeight);
    }
    Render::drawImage(wholeImage(thumb), surface, r, clip);
}

std::int32_t fdProgressBar::fillLength(std::int32_t length) const {
    const std::int64_t range = std::int64_t(maximum) - minimum;
    if (range <= 0)
        return 0;
    const std::int64_t along = std::clamp<std::int64_t>(std::int64_t(value) - minimum, 0, range);
    return static_cast<std::int32_t>(along * length / range);
}

void fdProgressBar::draw(SDL_Surface* surface, TempSurface& clip, bool force) {
    if (!m_visible || (!m_dirty && !force))
        return;
    fdStatic::draw(surface, clip, force);
    if (!foreground.image)
        return;
    SDL_Rect r;
    if (horizontal) {
        r = makeRect(m_rect.x, m_rect.y, fillLength(m_rect.w), m_rect.h);
    } else {
        const std::int32_t fill = fillLength(m_rect.h);
        r = makeRect(m_rect.x, m_rect.y + m_rect.h - fill, m_rect.w, fill);
    }
    if (r.w > 0 && r.h > 0)
        Render::drawImage(foreground, surface, r, clip);
}

} // namespace Ui
