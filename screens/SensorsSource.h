#pragma once
// The sensors panel's texts from the sensors collection, and the frame the
// collection is updated with: the demo drive's fix and guidance while it
// runs, else the map events handler's guidance, with the tracked car.

#include "guidance/Sensors.h"
#include "screens/SensorsPanel.h"

namespace MapDrawing {
class fdMapRenderer;
}

namespace Screens {

class HandlerNavigation;

class SensorsSource : public MapSensorSource {
public:
    // navigation may be null (no guidance: route sensors show "-"), and so
    // may renderer (no frame counters).
    SensorsSource(const Guidance::Sensors& sensors, HandlerNavigation* navigation, Map::KVAtlas* atlas,
                  const MapDrawing::fdMapRenderer* renderer)
        : m_sensors(sensors), m_navigation(navigation), m_atlas(atlas), m_renderer(renderer) {}

    bool hasSensor(const std::string& name) const override { return m_sensors.hasSensor(name); }
    std::u16string shortText(const std::string& name) const override;
    std::u16string valueText(const std::string& name) const override;
    std::u16string caption(const std::string& name) const override;

    // What the sensors know of this frame besides the last fix.
    Guidance::SensorFrame frame() const;

private:
    const Guidance::Sensors& m_sensors;
    HandlerNavigation* m_navigation;
    Map::KVAtlas* m_atlas;
    const MapDrawing::fdMapRenderer* m_renderer;
};

} // namespace Screens
