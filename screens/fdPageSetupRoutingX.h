#pragma once
// The routing settings page ("pageSetupRouting"): the route search's
// preferences in the "Routing" node (speed, better roads, shortest distance
// or time, unpaved roads), the car's snapping to roads and the distance
// from the route at which guidance rebuilds it. Edited on the page, applied
// together by "ok"; "back" drops them.

#include "ui/fdPage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class Messages;

namespace Core {
class ConfigNode;
}
namespace Guidance {
class fdMapNavi;
}
namespace Positioning {
class CarTracker;
}
namespace Ui {
class fdSlider;
}

namespace Screens {

class fdPageSetupRoutingX final : public Ui::fdPage {
  public:
    // The search keeps no more than these (its cost weights divide by them).
    static constexpr std::int32_t kBestRoadsMax = 10;
    static constexpr std::int32_t kRoutingSpeedMax = 4;

    // The car tracker and guidance are made after the pages: the page asks
    // for them when it needs them. Either may answer null (or be empty):
    // its settings then stay as they are.
    using TrackerSource = std::function<Positioning::CarTracker*()>;
    using NaviSource = std::function<Guidance::fdMapNavi*()>;
    fdPageSetupRoutingX(Ui::fdInterface* ui, const std::shared_ptr<Core::ConfigNode>& root,
                        const Messages& messages, TrackerSource tracker, NaviSource navi);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // The distance ladders: 10 .. 100 by 10, then to 400 by 50, and 5 .. 20
    // by 5, then to 200 by 20; each wraps at both ends.
    static std::int32_t stepStickDistance(std::int32_t metres, bool up);
    static std::int32_t stepRebuildDistance(std::int32_t metres, bool up);

    std::int32_t stickDistance() const { return m_stickDistance; }
    std::int32_t rebuildDistance() const { return m_rebuildDistance; }
    std::int32_t routingMode() const { return m_routingMode; }

  private:
    void refreshLabels();
    void apply();
    bool checked(const char* name) const;
    void setChecked(const char* name, bool on);

    std::shared_ptr<Core::ConfigNode> m_routing;
    const Messages& m_messages;
    Positioning::CarTracker* tracker() const { return m_tracker ? m_tracker() : nullptr; }
    Guidance::fdMapNavi* navi() const { return m_navi ? m_navi() : nullptr; }

    TrackerSource m_tracker;
    NaviSource m_navi;
    Ui::fdSlider* m_speedSlider = nullptr;
    Ui::fdSlider* m_qualitySlider = nullptr;
    std::int32_t m_stickDistance = 10;
    std::int32_t m_rebuildDistance = 5;
    std::int32_t m_routingMode = 1;
};

} // namespace Screens
