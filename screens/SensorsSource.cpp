#include "screens/SensorsSource.h"

#include "guidance/KVMapEventsHandler.h"
#include "guidance/RouteSimulator.h"
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
    } else {
        frame.setGuidance(handler.navi());
        frame.car = handler.tracker().carState();
    }
    return frame;
}

} // namespace Screens
