#include "screens/fdPageSensors.h"

#include "core/ConfigNode.h"
#include "core/Format.h"
#include "core/Split.h"
#include "guidance/Sensors.h"
#include "ui/ButtonBindings.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

namespace Screens {

namespace {

Ui::fdStatic* cell(Ui::TemplateWindow& row, const char* pattern, std::int32_t k) {
    return dynamic_cast<Ui::fdStatic*>(row.findChild(Core::format(pattern, k)));
}


} // namespace

fdPageSensors::SensorsList::SensorsList(Ui::fdList& list, const Guidance::Sensors& sensors)
    : List(list), m_service(sensors) {}

std::int32_t fdPageSensors::SensorsList::count() const {
    const auto n = static_cast<std::int32_t>(m_sensors.size());
    return n == 0 ? 0 : (n + m_cellsPerRow - 1) / m_cellsPerRow;
}

void fdPageSensors::SensorsList::fillEmptyRow(Ui::TemplateWindow& row) {
    for (std::int32_t k = 0; k < m_cellsPerRow; ++k) {
        if (auto* bg = row.findChild(Core::format("bg_%d", k))) bg->setVisible(false);
        for (const char* pattern : {"title_%d", "text_%d"})
            if (auto* text = cell(row, pattern, k)) {
                text->setText(u"");
                text->setVisible(false);
            }
    }
}

void fdPageSensors::SensorsList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    fillEmptyRow(row);
    const auto total = static_cast<std::int32_t>(m_sensors.size());
    for (std::int32_t k = 0; k < m_cellsPerRow && index * m_cellsPerRow + k < total; ++k) {
        const Guidance::Sensor* sensor = m_sensors[static_cast<std::size_t>(index * m_cellsPerRow + k)];
        if (auto* bg = row.findChild(Core::format("bg_%d", k))) bg->setVisible(true);
        if (auto* title = cell(row, "title_%d", k)) {
            title->setText(sensor->caption());
            title->setVisible(true);
        }
        if (auto* value = cell(row, "text_%d", k)) {
            value->setText(sensor->valueText());
            value->setVisible(true);
        }
    }
}

bool fdPageSensors::SensorsList::parse(const std::string& names) {
    m_sensors.clear();
    const std::vector<std::string> pieces = Core::splitNarrow(names);
    if (pieces.size() != 10) return false;
    for (const std::string& name : pieces) {
        if (!m_service.hasSensor(name)) return false;
        m_sensors.push_back(m_service.findSensor(name));
    }
    return true;
}

fdPageSensors::fdPageSensors(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config,
                             const Guidance::Sensors& sensors, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "sensors", nullptr), m_config(std::move(config)), m_sensors(sensors), m_bindings(bindings) {}

void fdPageSensors::afterBuild() {
    m_list.reset();
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (!list) return;
    m_list = std::make_unique<SensorsList>(*list, m_sensors);
    std::int32_t cells = 1;
    if (Ui::TemplateWindow* first = list->rowWidget(0))
        while (first->findChild(Core::format("title_%d", cells)))
            ++cells;
    m_list->setCellsPerRow(cells);
    if (!m_list->parse(m_config->value("sensors_names", kDefaultNames))) m_list->parse(kDefaultNames);
    m_list->refresh();
    updateButtons();
}

void fdPageSensors::onShow() {
    m_refreshed = false;
    if (m_list) m_list->refreshValues();
    updateButtons();
}

void fdPageSensors::updateButtons() {
    if (!m_list) return;
    if (fdWindowBase* up = findChild("up")) up->setEnabled(m_list->canScrollUp());
    if (fdWindowBase* down = findChild("down")) down->setEnabled(m_list->canScrollDown());
}

Ui::TimerPeriod fdPageSensors::timerPeriod() const {
    return Ui::TimerPeriod::every(kRefreshMs).sooner(fdPage::timerPeriod());
}

void fdPageSensors::tick(std::uint32_t now) {
    if (m_list && (!m_refreshed || now - m_lastRefresh >= kRefreshMs)) {
        m_refreshed = true;
        m_lastRefresh = now;
        m_list->refreshValues();
        updateButtons();
        invalidate(0);
    }
    fdPage::tick(now);
}

bool fdPageSensors::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    if (!m_list) return true;
    const SDL_keysym keysym = Ui::keysymOf(key);
    // Paging up on the first page also takes back a partial scroll.
    if (m_bindings && m_bindings->isUpKey(keysym))
        m_list->pageUp();
    else if (m_bindings && m_bindings->isDownKey(keysym))
        m_list->pageDown();
    updateButtons();
    invalidate(0);
    return true;
}

void fdPageSensors::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (!m_list) return;
    if (name == "up")
        m_list->pageUp();
    else if (name == "down")
        m_list->pageDown();
    else if (name == "list")
        m_list->activateSelected();
    else
        return;
    updateButtons();
    invalidate(1);
}

} // namespace Screens
