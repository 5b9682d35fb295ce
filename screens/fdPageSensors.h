#pragma once
// The sensors page ("sensors"): ten sensors as a grid of cells, as many per
// list row as the row template holds (each a background, a caption and a
// value), in the order of the configuration value "sensors_names"; the
// visible cells are refreshed twice a second.

#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Core {
class ConfigNode;
}
namespace Guidance {
class Sensor;
class Sensors;
} // namespace Guidance
namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageSensors final : public Ui::fdPage {
  public:
    static constexpr const char* kDefaultNames =
        "memory;battery;avg_speed;heading;time;date;time_from_start;altitude;dist_to_finish;dist_from_start";
    static constexpr std::uint32_t kRefreshMs = 500;

    class SensorsList : public Ui::List {
      public:
        SensorsList(Ui::fdList& list, const Guidance::Sensors& sensors);

        std::int32_t count() const override;
        void fillEmptyRow(Ui::TemplateWindow& row) override;
        void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
        void itemClicked(std::int32_t) override {}

        // Exactly ten names, each of a known sensor (names may repeat);
        // false otherwise, possibly leaving the sensors found so far.
        bool parse(const std::string& names);
        void setCellsPerRow(std::int32_t cells) { m_cellsPerRow = cells; }
        std::int32_t cellsPerRow() const { return m_cellsPerRow; }
        const std::vector<Guidance::Sensor*>& sensors() const { return m_sensors; }
        // Refills the visible rows with fresh values, keeping the position.
        void refreshValues() {
            if (count() > 0)
                ensureVisible(firstVisibleIndex());
            else
                refill();
        }

      private:
        const Guidance::Sensors& m_service;
        std::int32_t m_cellsPerRow = 1;
        std::vector<Guidance::Sensor*> m_sensors;
    };

    // bindings may be null (no paging keys).
    fdPageSensors(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config,
                  const Guidance::Sensors& sensors, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    // Every kRefreshMs, sooner when a widget asks.
    Ui::TimerPeriod timerPeriod() const override;
    void tick(std::uint32_t now) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    SensorsList* list() const { return m_list.get(); }

  private:
    void updateButtons();

    std::shared_ptr<Core::ConfigNode> m_config;
    const Guidance::Sensors& m_sensors;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<SensorsList> m_list;
    std::uint32_t m_lastRefresh = 0;
    bool m_refreshed = false;
};

} // namespace Screens
