#include "screens/SensorsPanel.h"

#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

namespace Screens {

bool parseSensorNames(const std::string& text, const MapSensorSource& sensors, std::array<std::string, 3>& names) {
    std::array<std::string, 3> parsed;
    std::size_t start = 0;
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const std::size_t end = text.find(';', start);
        if ((i < 2) == (end == std::string::npos))
            return false; // fewer or more than three names
        parsed[i] = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!sensors.hasSensor(parsed[i]))
            return false;
        start = end + 1;
    }
    names = std::move(parsed);
    return true;
}

SensorsPanel::SensorsPanel(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent,
                           Ui::fdInterface* ui, Ui::DesignContext* context, Core::ConfigNodePtr config,
                           const MapSensorSource* sensors)
    : TemplateWindow(description, parent, "sensors", ui, context), m_config(std::move(config)), m_sensors(sensors) {
    const char* labels[] = {"sensor3", "sensor2", "sensor1"};
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        m_labels[i] = dynamic_cast<Ui::fdStatic*>(findChild(labels[i]));
        if (m_labels[i] == nullptr && ui != nullptr)
            ui->logMissingOnce(std::string("Widget ") + labels[i] + " is not part of sensors");
        m_captions[i] = dynamic_cast<Ui::fdStatic*>(findChild(std::string(labels[i]) + "_caption"));
    }
    if (m_sensors == nullptr)
        return;
    const std::string text = m_config ? m_config->value("map_sensors_names", std::string(DefaultSensorNames))
                                      : std::string(DefaultSensorNames);
    if (!parseSensorNames(text, *m_sensors, m_names))
        parseSensorNames(DefaultSensorNames, *m_sensors, m_names);
}

void SensorsPanel::tick(std::uint32_t now) {
    TemplateWindow::tick(now);
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        Ui::fdStatic* label = m_labels[i];
        if (label == nullptr)
            continue;
        const bool shown = m_sensors != nullptr && !m_names[i].empty();
        if (shown) {
            const std::u16string text = m_sensors->shortText(m_names[i]);
            if (text != label->text()) {
                label->setText(text);
                label->invalidate(0);
            }
        }
        label->setVisible(shown);
        if (Ui::fdStatic* caption = m_captions[i]) {
            const std::u16string text = shown ? m_sensors->caption(m_names[i]) : std::u16string();
            if (text != caption->text()) {
                caption->setText(text);
                caption->invalidate(0);
            }
            caption->setVisible(shown);
        }
    }
}

} // namespace Screens
