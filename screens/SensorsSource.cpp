#include "screens/SensorsSource.h"

#include "guidance/KVMapEventsHandler.h"
#include "guidance/RouteSimulator.h"
#include "map/KVAtlas.h"
#include "render/fdMapRenderer.h"
#include "screens/HandlerNavigation.h"

namespace Screens {

std::u16string SensorsSource::shortText(const std::string& name) const {
    const Guidance::Sensor* sensor = m_sensors.findSensor(name);
    return sensor != nullptr ? sensor->shortText() : u"-";
}

std::u16string SensorsSource::valueText(const std::string& name) const {
    const Guidance::Sensor* sensor = m_sensors.findSensor(name);
    return sensor != nullptr ? sensor->valueText() : u"-";
}

std::u16string SensorsSource::caption(const std::string& name) const {
    const Guidance::Sensor* sensor = m_sensors.findSensor(name);
    return sensor != nullptr ? sensor->caption() : std::u16string();
}

Guidance::SensorFrame SensorsSource::frame() const {
    Guidance::SensorFrame frame;
    frame.atlas = m_atlas;
    if (m_renderer != nullptr) {
        const MapDrawing::LayerCounters& counters = m_renderer->counters();
        frame.polygons = counters.polygons;
        frame.polylines = counters.polylines;
        frame.points = counters.points;
        frame.captions = counters.captions;
    }
    if (m_navigation == nullptr)
        return frame;
    Guidance::KVMapEventsHandler& handler = m_navigation->handler();
    if (Guidance::RouteSimulator* demo = m_navigation->demo()) {
        frame.demoFix = &demo->fix();
        frame.setGuidance(demo->navi());
        frame.car = demo->carState();
        // The demo's car drives the route, not a tracked road: its street is
        // the route part's, looked up by the part's name.
        const PathPosition& at = demo->cursor();
        if (frame.car.valid && !at.isAtEnd() && m_atlas != nullptr) {
            const PathPart& part = at.currentPart();
            for (std::size_t i = 0; i < m_atlas->mapCount(); ++i)
                if (m_atlas->mapAt(i) == part.map) {
                    frame.car.mapIndex = static_cast<std::uint32_t>(i);
                    frame.car.caption = part.nameIndex;
                    frame.car.polylineId = part.nameIndex;
                }
        }
    } else {
        frame.setGuidance(handler.navi());
        frame.car = handler.tracker().carState();
    }
    return frame;
}

} // namespace Screens
