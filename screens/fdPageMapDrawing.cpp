// The map page's drawing: the map frame through the map renderer, then the
// tapped point, the car and the warned object; the tracks layer is called
// back by the frame.

#include "screens/fdPageMap.h"
#include "screens/SensorsPanel.h"

#include "core/FloatToInt.h"
#include "render/Fill.h"
#include "render/Image.h"
#include "render/Lines.h"
#include "render/MapCamera.h"
#include "render/Pixels.h"
#include "render/fdMapRenderer.h"
#include "map/LevelFrame.h"
#include "ui/fdInterface.h"

#include <algorithm>
#include <cmath>

namespace Screens {

namespace {

// The danger-warn points as the renderer's overlay reads them.
class DangerOverlay final : public MapDrawing::ProximitySource {
public:
    explicit DangerOverlay(Map::Proximity::Index& index) : m_index(index) {}
    std::uint32_t visitPoints(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                              const std::function<void(const MapDrawing::ProximityPoint&)>& visit) override {
        std::uint32_t count = 0;
        m_index.queryIntersecting(Map::Proximity::Box{x0, y0, x1, y1}, [&](const Map::Proximity::Point& p) {
            visit(MapDrawing::ProximityPoint{{p.x, p.y}, p.packed, Map::Proximity::poiTypeOf(p.kind(), p.speedLimit())});
            ++count;
        });
        return count;
    }

private:
    Map::Proximity::Index& m_index;
};

} // namespace

CarMarkerPoints carMarkerPoints(Map::LocalPoint p, float heading, float width, float front, float notch, float k) {
    const float ux = std::sin(heading), uy = std::cos(heading);
    const float vx = std::cos(heading), vy = -std::sin(heading);
    const Map::LocalPoint back{p.x - width * k * ux, p.y - width * k * uy};
    CarMarkerPoints out;
    out.tip = {back.x + front * k * ux, back.y + front * k * uy};
    out.notch = {back.x + notch * k * ux, back.y + notch * k * uy};
    out.left = {back.x - width * k * vx, back.y - width * k * vy};
    out.right = {back.x + width * k * vx, back.y + width * k * vy};
    return out;
}

void fdPageMap::drawBackground(SDL_Surface* surface, TempSurface&) {
    MapDrawing::fdMapRenderer* renderer = m_services.renderer;
    if (surface == nullptr || renderer == nullptr)
        return;
    const SDL_Rect target = m_rect.sdl();
    Map::Proximity::IndexHolder* danger = m_services.dangerPoints;
    if (danger != nullptr && danger->index && danger->index->isValid()) {
        DangerOverlay overlay(*danger->index);
        renderer->drawMap(surface, target, m_followGps, &overlay);
    } else {
        renderer->drawMap(surface, target, m_followGps, nullptr);
    }

    // The chosen point (markerPoint).
    if (const std::optional<Map::Point> marker = markerPoint(); marker && m_services.camera != nullptr) {
        xe::Point p;
        const MapDrawing::CursorRecord* cursor = findCursor("point");
        if (cursor != nullptr && cursor->image != nullptr && m_services.camera->mapToScreen(*marker, p))
            Render::drawImageAt(Render::ImageAnchor{cursor->image, cursor->hotX, cursor->hotY}, p.x, p.y, surface);
    }

    if (m_lastCar.valid)
        drawCarMarker(surface, m_lastCar.position, m_lastCar.heading);

    if (m_services.car != nullptr && m_services.camera != nullptr) {
        if (const auto warned = m_services.car->warnedObject()) {
            xe::Point p;
            if (m_services.camera->mapToScreen(warned->position, p) && p.x >= 0 && p.y >= 0 && p.x < surface->w &&
                p.y < surface->h) {
                const SDL_Rect box{static_cast<Sint16>(p.x - 12), static_cast<Sint16>(p.y - 12), 24, 24};
                const Render::StyleSet* set = renderer->styles().activeSet();
                const std::uint32_t colour = set != nullptr ? set->misc[Render::MiscObjWarn].color : 0x0000FFu;
                xe::drawRect(xe::Canvas::of(surface), box, xe::mapColor(colour, surface));
            }
        }
    }
}

bool fdPageMap::carOnScreen(const MapCamera& camera, const Positioning::TilePoint& position, float heading,
                            CarOnScreen& out) const {
    MapDrawing::fdMapRenderer* renderer = m_services.renderer;
    const Render::StyleSet* set = renderer != nullptr ? renderer->styles().activeSet() : nullptr;
    if (set == nullptr || !(camera.scale() > 0.0f)) return false;
    const Render::MiscItemStyle& car = set->misc[Render::MiscCar];
    const Render::MiscItemStyle& car2 = set->misc[Render::MiscCar2];
    out.body = car.color;
    out.body2 = car2.color;
    // The driver finds the car at a glance: never smaller than a thumb's
    // width on the screen, the style's proportions kept.
    float width = static_cast<float>(car.size), front = static_cast<float>(car.length),
          notchLength = static_cast<float>(car2.size);
    if (const float grow = width > 0.0f ? MinCarHalfWidthPixels / width : 0.0f; grow > 1.0f) {
        width *= grow;
        front *= grow;
        notchLength *= grow;
    }
    // Worked out around the car in global units (one pixel is 1 / scale of
    // them), so the marker keeps its pixel size at every level.
    const Map::Point centre = position.toGlobal();
    const float k = 1.0f / camera.scale();
    const CarMarkerPoints m = carMarkerPoints({0.0f, 0.0f}, heading, width, front, notchLength, k);
    // A white rim a few pixels wider all round sets it off any map colour.
    const float rim = 4.0f;
    const CarMarkerPoints halo =
        carMarkerPoints({0.0f, 0.0f}, heading, width + rim, front + 2.0f * rim, notchLength + rim, k);
    const auto project = [&](Map::LocalPoint offset) -> std::optional<xe::Point> {
        const Map::Point global{centre.x + xe::floorToInt(offset.x + 0.5f), centre.y + xe::floorToInt(offset.y + 0.5f)};
        xe::Point p;
        if (!camera.mapToScreen(global, p)) return std::nullopt;
        return p;
    };
    out.marker = {project(m.tip), project(m.notch), project(m.left), project(m.right)};
    out.rim = {project(halo.tip), project(halo.notch), project(halo.left), project(halo.right)};
    return out.marker[CarOnScreen::Tip] && out.marker[CarOnScreen::Notch];
}

std::vector<Render::OrientedBox> fdPageMap::coveredBoxes() const {
    std::vector<Render::OrientedBox> boxes;
    const auto cover = [&](const Ui::fdWindowBase* window) {
        if (window == nullptr || !window->visible()) return;
        // Map surface pixels: the map is drawn at the page's corner.
        const Ui::WindowRect& panel = window->rect();
        boxes.push_back(
            Render::IconBox::of(panel.x - m_rect.x, panel.y - m_rect.y, panel.w, panel.h, nullptr).box);
    };
    cover(m_sensorsPanel);
    for (const Ui::fdWindowBase* warning : m_warnings)
        cover(warning);
    for (const Ui::fdWindowBase* panel : m_panels)
        cover(panel);
    return boxes;
}

std::optional<Render::IconBox> fdPageMap::carBox(const MapCamera& camera) {
    CarOnScreen car;
    if (!m_lastCar.valid || !carOnScreen(camera, m_lastCar.position, m_lastCar.heading, car))
        return std::nullopt;
    // Every pixel drawn lies within the corners' box: the halves and the rim
    // are triangles between them.
    std::optional<xe::Point> low, high;
    for (const auto* corners : {&car.marker, &car.rim})
        for (const std::optional<xe::Point>& p : *corners) {
            if (!p) continue;
            low = xe::Point{std::min(low ? low->x : p->x, p->x), std::min(low ? low->y : p->y, p->y)};
            high = xe::Point{std::max(high ? high->x : p->x, p->x), std::max(high ? high->y : p->y, p->y)};
        }
    return Render::IconBox::of(low->x, low->y, high->x - low->x + 1, high->y - low->y + 1, nullptr);
}

void fdPageMap::drawCarMarker(SDL_Surface* surface, const Positioning::TilePoint& position, float heading) {
    CarOnScreen car;
    if (m_services.camera == nullptr || !carOnScreen(*m_services.camera, position, heading, car)) return;
    using C = CarOnScreen;
    const xe::Canvas canvas = xe::Canvas::of(surface);
    const std::uint32_t black = SDL_MapRGB(surface->format, 0, 0, 0);
    const std::uint32_t white = SDL_MapRGB(surface->format, 255, 255, 255);
    const auto& rim = car.rim;
    if (rim[C::Tip] && rim[C::Notch])
        for (const int side : {C::Left, C::Right})
            if (rim[side]) {
                xe::Point tip = *rim[C::Tip], notch = *rim[C::Notch], corner = *rim[side];
                xe::fillTrianglePoints(canvas, &tip, &notch, &corner, white);
            }
    xe::Point tip = *car.marker[C::Tip], notch = *car.marker[C::Notch];
    for (const int side : {C::Left, C::Right}) {
        if (!car.marker[side]) continue;
        xe::Point corner = *car.marker[side];
        xe::fillTrianglePoints(canvas, &tip, &notch, &corner,
                               xe::mapColor(side == C::Left ? car.body : car.body2, surface));
        xe::drawLineBetween(canvas, tip, corner, black);
        xe::drawLineBetween(canvas, notch, corner, black);
    }
}

void fdPageMap::drawTracksAndFriends(const xe::Canvas& canvas, MapCamera& camera) {
    if (m_services.tracks != nullptr)
        m_services.tracks->drawTracks(m_trackBuffers, canvas, camera);
    drawFriends(canvas, camera);
}

} // namespace Screens
