// The map page and the online service: the "monitoring" and
// "received_points" indicators, and each shown friend's received track, car
// and name drawn into the frame's tracks layer.

#include "screens/fdPageMap.h"

#include "core/Format.h"
#include "render/Font.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"

namespace Screens {

void fdPageMap::showOnlineIndicators() {
    const bool connected = m_services.monitoring != nullptr && m_services.monitoring->isConnected();
    for (const char* name : {"monitoring", "received_points"})
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(connected);
}

void fdPageMap::onTracksReceived() { m_tracksReceived = true; }

void fdPageMap::drawFriends(const xe::Canvas& canvas, MapCamera& camera) {
    Monitoring::System* online = m_services.monitoring;
    if (online == nullptr || !online->isRunning())
        return;
    // A copy, so that the service's lock is not held while drawing; the
    // copies share the collectors, each read under its own lock.
    online->getFriends(m_friends);
    for (const auto& entry : m_friends) {
        const Monitoring::Friend& f = entry.second;
        if (!f.showTrack || !f.track)
            continue;
        const std::vector<Monitoring::CollectedPoint> points = f.track->points();
        if (points.empty())
            continue;
        m_friendPoints.clear();
        for (const Monitoring::CollectedPoint& p : points)
            m_friendPoints.push_back({p.segmentStart != 0, Map::Point{p.x, p.y}});
        fdTrackManager::drawTrackPoints(m_trackBuffers, canvas, camera, m_friendPoints, f.color);

        xe::Point at;
        if (!camera.mapToScreen(Map::Point{points.back().x, points.back().y}, at) || at.x < canvas.left ||
            at.y < canvas.top || at.x >= canvas.right || at.y >= canvas.bottom)
            continue;
        std::int32_t top = at.y;
        if (const MapDrawing::CursorRecord* car = findCursor(Core::format("car%d", f.carIndex % 10))) {
            Render::drawImageAt(Render::ImageAnchor{car->image, car->hotX, car->hotY}, at.x, at.y, canvas.surface);
            top = at.y - car->hotY;
        }
        Render::Font* font = m_services.renderer != nullptr ? m_services.renderer->mapFont() : nullptr;
        Render::TextSize size;
        if (font == nullptr || f.name.empty() || !font->textSize(size, f.name))
            continue;
        font->drawTextSolid(canvas.surface, at.x - size.width / 2, top - size.height, Render::Font::Halo, 0xFF000000u,
                            0xFFFFFFFFu, f.name);
    }
}

} // namespace Screens
