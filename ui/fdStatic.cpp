#include "ui/fdStatic.h"

#include "core/TempSurface.h"
#include "ui/TextRenderers.h"

namespace Ui {

fdStatic::~fdStatic() = default;

void fdStatic::setImage(Render::Image* image) {
    m_material = wholeImage(image);
    if (m_bgRenderer)
        m_bgRenderer->setImage(image);
    invalidate(1);
}

void fdStatic::setMaterial(const Material& material) {
    m_material = material;
    if (m_bgRenderer)
        m_bgRenderer->setImage(material.image);
    invalidate(1);
}

void fdStatic::setText(const std::u16string& text) {
    m_text = text;
    invalidate(1);
}

void fdStatic::setBgRenderer(std::unique_ptr<BgRenderer> renderer) {
    m_bgRenderer = std::move(renderer);
    if (m_bgRenderer)
        m_bgRenderer->setImage(m_material.image);
}

void fdStatic::setColor(std::uint32_t colour) {
    m_colour = colour;
    if (m_bgRenderer)
        m_bgRenderer->setColor(colour);
    invalidate(1);
}

void fdStatic::setBehavior(std::unique_ptr<ClickBehavior> behavior) {
    if (behavior.get() != m_behavior.get())
        m_behavior = std::move(behavior);
}

void fdStatic::draw(SDL_Surface* surface, TempSurface& clip, bool force) {
    if (!m_visible || (!m_dirty && !force))
        return;
    m_dirty = false;
    drawBackground(surface, clip);
    drawText(surface);
}

void fdStatic::drawBackground(SDL_Surface* surface, TempSurface& clip) {
    SDL_Rect r = m_rect.sdl();
    if (m_bgRenderer) {
        m_bgRenderer->draw(surface, r, clip);
        return;
    }
    if (m_material.image) {
        Render::drawImage(m_material, surface, r, clip);
        return;
    }
    const std::uint8_t red = m_colour & 0xFF, green = (m_colour >> 8) & 0xFF, blue = (m_colour >> 16) & 0xFF;
    const std::uint8_t alpha = m_colour >> 24;
    if (alpha == 0 || r.w == 0 || r.h == 0)
        return;
    if (alpha == 255) {
        SDL_FillRect(surface, &r, SDL_MapRGBA(surface->format, red, green, blue, 255));
        return;
    }
    // The colour is mapped through the layer's own format, so red and blue
    // land in their channels whatever the surface's layout.
    const SDL_PixelFormat* f = surface->format;
    SDL_Surface* layer =
        SDL_CreateRGBSurface(SDL_SWSURFACE, r.w, r.h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    if (!layer)
        return;
    SDL_FillRect(layer, nullptr, SDL_MapRGB(layer->format, red, green, blue));
    SDL_SetAlpha(layer, SDL_SRCALPHA, alpha);
    SDL_BlitSurface(layer, nullptr, surface, &r);
    SDL_FreeSurface(layer);
}

void fdStatic::drawText(SDL_Surface* surface) {
    if (m_text.empty())
        return;
    SDL_Rect saved;
    SDL_GetClipRect(surface, &saved);
    SDL_Rect r = m_rect.sdl();
    SDL_SetClipRect(surface, &r);
    drawTextInRect(*this, surface, r, m_text, m_hAlign, m_vAlign);
    SDL_SetClipRect(surface, &saved);
}

bool fdStatic::press(int x, int y) {
    if (m_visible && m_behavior)
        return m_behavior->press(x, y);
    return fdWindowBase::press(x, y);
}

bool fdStatic::release(int x, int y) {
    if (m_visible && m_behavior)
        return m_behavior->release(x, y);
    return fdWindowBase::release(x, y);
}

TimerPeriod fdMultiStatic::timerPeriod() const {
    return m_visible ? TimerPeriod::every(m_period) : TimerPeriod::none();
}

void fdMultiStatic::tick(std::uint32_t now) {
    if (m_period == 0 || m_images.empty())
        return;
    if (m_clock == 0) {
        m_clock = now;
    } else if (m_clock + m_period < now) {
        const std::uint32_t n = (now - m_clock) / m_period;
        const auto count = static_cast<std::uint32_t>(m_images.size());
        const std::uint32_t from = m_current < 0 ? 0 : static_cast<std::uint32_t>(m_current);
        m_current = static_cast<std::int32_t>((from + n % count) % count);
        m_clock += n * m_period;
    }
    if (m_current < 0)
        m_current = 0;
    setImage(m_images[static_cast<std::size_t>(m_current)]);
}

void fdMultiStatic::setCurrent(std::int32_t index) {
    // The map warnings pick frames by number from pictures the design may
    // lack: an index past the list is ignored.
    if (index == m_current || index < -1 || index >= static_cast<std::int32_t>(m_images.size()))
        return;
    m_current = index;
    setImage(index == -1 ? nullptr : m_images[static_cast<std::size_t>(index)]);
}

void fdMultiStatic::setAnimationPeriod(std::uint32_t ms) {
    m_period = ms;
    m_clock = 0;
    if (m_current == -1)
        m_current = 0;
}

} // namespace Ui
