#include "ui/BgRenderers.h"

#include "render/Image.h"
#include "render/SurfaceTransform.h"

#include <algorithm>
#include <memory>
#include <cmath>
#include <numbers>

namespace Ui {

StretchedImageBgRenderer::~StretchedImageBgRenderer() {
    if (m_scaled)
        SDL_FreeSurface(m_scaled);
}

void StretchedImageBgRenderer::setImage(Render::Image* image) {
    if (image == m_image)
        return;
    m_image = image;
    if (m_rebuild)
        rebuild();
}

void StretchedImageBgRenderer::rebuild() {
    if (m_scaled) {
        SDL_FreeSurface(m_scaled);
        m_scaled = nullptr;
    }
    if (m_image && m_image->isValid() && m_width > 0 && m_height > 0)
        m_scaled = Render::zoomSurface(m_image->surface(), m_width, m_height);
}

void StretchedImageBgRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface&) {
    if (!m_image)
        return;
    if (m_scaled) {
        SDL_Rect to{rect.x, rect.y, 0, 0};
        SDL_BlitSurface(m_scaled, nullptr, surface, &to);
    } else {
        m_image->drawAligned(surface, rect, 0, 0);
    }
}

SDL_Rect WholeScaleImageBgRenderer::placement(int width, int height, const SDL_Rect& rect) {
    if (width <= 0 || height <= 0)
        return {rect.x, rect.y, 0, 0};
    int w = width, h = height;
    if (const int factor = std::min(rect.w / width, rect.h / height); factor >= 1) {
        w *= factor;
        h *= factor;
    } else {
        const double s = std::min(double(rect.w) / width, double(rect.h) / height);
        w = static_cast<int>(width * s);
        h = static_cast<int>(height * s);
    }
    return {static_cast<Sint16>(rect.x + (rect.w - w) / 2), static_cast<Sint16>(rect.y + (rect.h - h) / 2),
            static_cast<Uint16>(w), static_cast<Uint16>(h)};
}

WholeScaleImageBgRenderer::~WholeScaleImageBgRenderer() { freeScaled(); }

void WholeScaleImageBgRenderer::freeScaled() {
    if (m_scaled)
        SDL_FreeSurface(m_scaled);
    m_scaled = nullptr;
    m_factor = 0;
}

void WholeScaleImageBgRenderer::setImage(Render::Image* image) {
    if (image == m_image)
        return;
    freeScaled();
    m_image = image;
}

void WholeScaleImageBgRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) {
    if (!m_image || !m_image->isValid() || m_image->width() <= 0 || m_image->height() <= 0)
        return;
    const SDL_Rect to = placement(m_image->width(), m_image->height(), rect);
    const int factor = to.w / m_image->width();
    Render::ImageFrame frame;
    frame.image = m_image;
    // Enlarged: the exact squares, drawn as they are; shrunk (or as it is):
    // the image scaled into its place.
    std::unique_ptr<Render::ImageFromSurface> scaled;
    if (factor > 1 && to.w == factor * m_image->width()) {
        if (factor != m_factor) {
            freeScaled();
            m_scaled = Render::wholeScaleSurface(m_image->surface(), factor);
            m_factor = factor;
        }
        if (m_scaled) {
            scaled = std::make_unique<Render::ImageFromSurface>(m_scaled);
            frame.image = scaled.get();
        }
    }
    Render::drawImage(frame, surface, to, clip);
}

RotatedImageBgRenderer::~RotatedImageBgRenderer() { freeRotated(); }

void RotatedImageBgRenderer::freeRotated() {
    if (m_rotated)
        SDL_FreeSurface(m_rotated);
    m_rotated = nullptr;
}

void RotatedImageBgRenderer::setImage(Render::Image* image) {
    if (image == m_image)
        return;
    m_image = image;
    if (m_angle != 0.0f)
        rebuild();
}

void RotatedImageBgRenderer::setAngle(float degrees) {
    if (degrees == m_angle)
        return;
    freeRotated();
    m_angle = degrees;
    if (m_angle != 0.0f)
        rebuild();
}

void RotatedImageBgRenderer::rebuild() {
    freeRotated();
    if (!m_image || !m_image->isValid())
        return;
    const float radians = m_angle * std::numbers::pi_v<float> / 180.0f;
    m_rotated = Render::rotateSurface(m_image->surface(), std::sin(radians), std::cos(radians));
}

void RotatedImageBgRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) {
    if (!m_image)
        return;
    if (!m_rotated) {
        m_image->drawAligned(surface, rect, 1, 1);
        return;
    }
    if (!m_image->isValid() || m_image->width() <= 0 || m_image->height() <= 0)
        return;
    const float s = std::min(float(rect.w) / float(m_image->width()), float(rect.h) / float(m_image->height()));
    const int dw = static_cast<int>(float(m_rotated->w) * s + 0.5f);
    const int dh = static_cast<int>(float(m_rotated->h) * s + 0.5f);
    const SDL_Rect to{static_cast<Sint16>(rect.x + (int(rect.w) - dw) / 2),
                      static_cast<Sint16>(rect.y + (int(rect.h) - dh) / 2), static_cast<Uint16>(std::max(dw, 0)),
                      static_cast<Uint16>(std::max(dh, 0))};
    Render::ImageFromSurface rotated(m_rotated);
    Render::ImageFrame frame;
    frame.image = &rotated;
    Render::drawImage(frame, surface, to, clip);
}

void AlignedImageBgRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface&) {
    if (m_image)
        m_image->drawAligned(surface, rect, m_hAlign, m_vAlign);
}

void ColorLineBgRenderer::setColor(std::uint32_t colour) {
    m_rgb[0] = colour & 0xFF;
    m_rgb[1] = (colour >> 8) & 0xFF;
    m_rgb[2] = (colour >> 16) & 0xFF;
}

void ColorLineBgRenderer::draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface&) {
    const int bar = std::min(2 * int(m_half), int(rect.h));
    SDL_Rect r{rect.x, static_cast<Sint16>(rect.y + (int(rect.h) - bar) / 2), rect.w, static_cast<Uint16>(bar)};
    SDL_FillRect(surface, &r, SDL_MapRGBA(surface->format, m_rgb[0], m_rgb[1], m_rgb[2], 255));
}

} // namespace Ui
