#pragma once
// Three sensor values on the map (by default the distance and time to the
// next manoeuvre and the speed), chosen by "map_sensors_names" and
// refreshed every tick. The sensors belong to the navigation layer; the
// panel reaches them through MapSensorSource, which the sensors collection
// implements once it is wired into the engine.

#include "core/ConfigNode.h"
#include "ui/fdPage.h"

#include <array>
#include <string>

namespace Ui {
class fdStatic;
}

namespace Screens {

class MapSensorSource {
public:
    virtual ~MapSensorSource() = default;
    virtual bool hasSensor(const std::string& name) const = 0;
    // The sensor's short text; only asked for names hasSensor accepted.
    virtual std::u16string shortText(const std::string& name) const = 0;
    // The sensor's full value text (street names for the street labels).
    virtual std::u16string valueText(const std::string& name) const { return shortText(name); }
    // The sensor's name as the driver reads it.
    virtual std::u16string caption(const std::string&) const { return {}; }
};

inline constexpr const char* DefaultSensorNames = "dist_to_maneuver;time_to_maneuver;speed";

// Exactly three names separated by ';', each one the source knows; false,
// names untouched, otherwise.
bool parseSensorNames(const std::string& text, const MapSensorSource& sensors, std::array<std::string, 3>& names);

class SensorsPanel : public Ui::TemplateWindow {
public:
    // The names come from the config node; text that does not name three
    // known sensors falls back to the default three.
    SensorsPanel(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent, Ui::fdInterface* ui,
                 Ui::DesignContext* context, Core::ConfigNodePtr config, const MapSensorSource* sensors);

    void tick(std::uint32_t now) override;
    const std::array<std::string, 3>& names() const { return m_names; }

private:
    Core::ConfigNodePtr m_config;
    const MapSensorSource* m_sensors;
    std::array<std::string, 3> m_names;
    // "sensor3", "sensor2", "sensor1": the first name shows in "sensor3".
    std::array<Ui::fdStatic*, 3> m_labels{};
    // "sensor3_caption" ...: the sensor's name above its value, where the
    // design has room for it.
    std::array<Ui::fdStatic*, 3> m_captions{};
};

} // namespace Screens
