#include "screens/MapSky.h"

#include "core/FloatToInt.h"
#include "map/KVAtlas.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/SurfaceTransform.h"
#include "ui/EngineServices.h"
#include "ui/fdInterface.h"

#include <algorithm>
#include <numbers>

namespace Screens {

MapSky::MapSky(Ui::fdWindowBase* parent, Ui::fdInterface* ui, Map::KVAtlas* atlas, MapCamera* camera,
               Render::Image* day, Render::Image* night)
    : fdWindowBase(parent, "sky", true, ui), m_atlas(atlas), m_camera(camera), m_day(day), m_night(night) {}

int MapSky::offsetFor(float rotation, int scaledWidth) {
    const float pi = std::numbers::pi_v<float>;
    float r = rotation;
    while (r < 0.0f)
        r += pi;
    while (r >= pi)
        r -= pi;
    return xe::floorToInt(static_cast<float>(scaledWidth) * r * (-1.0f / pi) + 0.5f);
}

void MapSky::drawScaled(Render::Image& picture, SDL_Surface* surface, const SDL_Rect& destination) {
    SDL_Surface* scaled = Render::zoomSurface(picture.surface(), destination.w, destination.h);
    if (scaled == nullptr)
        return;
    SDL_Rect to = destination;
    SDL_BlitSurface(scaled, nullptr, surface, &to);
    SDL_FreeSurface(scaled);
}

void MapSky::draw(SDL_Surface* surface, TempSurface&, bool) {
    m_dirty = false;
    if (!m_visible || surface == nullptr || m_camera == nullptr || m_atlas == nullptr || !m_camera->is3d())
        return;
    const std::int32_t skyHeight = m_atlas->view().horizonRow;
    if (skyHeight <= 4)
        return;
    Render::Image* picture = isDay() ? m_day : m_night;
    // The interface frees the pixels of pictures left undrawn; isValid
    // loads them again before the surface is used.
    if (picture == nullptr || !picture->isValid() || picture->surface() == nullptr || picture->width() <= 0)
        return;
    const Ui::EngineServices* engine = m_ui != nullptr ? m_ui->engine() : nullptr;
    const int f = engine != nullptr && engine->doubleSize() ? 2 : 1;
    const int width = picture->width() * f;
    const int offset = offsetFor(m_camera->rotation(), width);
    const int band = skyHeight + 8 * f;
    const int height = std::max(picture->height() * f, band);

    SDL_Rect saved;
    SDL_GetClipRect(surface, &saved);
    SDL_Rect clip{m_rect.x, m_rect.y, m_rect.w, static_cast<Uint16>(band)};
    SDL_SetClipRect(surface, &clip);
    for (int left = m_rect.x + offset; left < m_rect.x + m_rect.w; left += width) {
        const SDL_Rect to{static_cast<Sint16>(left), static_cast<Sint16>(m_rect.y + band - height),
                          static_cast<Uint16>(width), static_cast<Uint16>(height)};
        drawScaled(*picture, surface, to);
    }
    SDL_SetClipRect(surface, &saved);
}

} // namespace Screens
