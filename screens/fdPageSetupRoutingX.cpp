#include "screens/fdPageSetupRoutingX.h"

#include "core/ConfigNode.h"
#include "core/Format.h"
#include "core/Log.h"
#include "guidance/fdMapNavi.h"
#include "positioning/CarTracker.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

#include <algorithm>

namespace Screens {

fdPageSetupRoutingX::fdPageSetupRoutingX(Ui::fdInterface* ui, const std::shared_ptr<Core::ConfigNode>& root,
                                         const Messages& messages, TrackerSource tracker, NaviSource navi)
    : fdPage(ui, "pageSetupRouting", nullptr), m_routing(root->child("Routing")), m_messages(messages),
      m_tracker(std::move(tracker)), m_navi(std::move(navi)) {}

std::int32_t fdPageSetupRoutingX::stepStickDistance(std::int32_t metres, bool up) {
    if (up) {
        metres += metres >= 100 ? 50 : 10;
        return metres > 400 ? 10 : metres;
    }
    metres -= metres <= 100 ? 10 : 50;
    return metres < 10 ? 400 : metres;
}

std::int32_t fdPageSetupRoutingX::stepRebuildDistance(std::int32_t metres, bool up) {
    if (up) {
        metres += metres >= 20 ? 20 : 5;
        return metres > 200 ? 5 : metres;
    }
    metres -= metres <= 20 ? 5 : 20;
    return metres < 5 ? 200 : metres;
}

void fdPageSetupRoutingX::afterBuild() {
    m_speedSlider = dynamic_cast<Ui::fdSlider*>(widget("routing_speed_slider"));
    m_qualitySlider = dynamic_cast<Ui::fdSlider*>(widget("roads_quality_slider"));
    std::int32_t speedMax = m_routing->value("routing_speed_max", kRoutingSpeedMax);
    if (speedMax <= 0) speedMax = kRoutingSpeedMax;
    std::int32_t bestMax = m_routing->value("best_roads_max", kBestRoadsMax);
    if (bestMax <= 1) bestMax = kBestRoadsMax;
    for (auto [slider, minimum, maximum] :
         {std::tuple{m_speedSlider, 0, speedMax}, std::tuple{m_qualitySlider, 1, bestMax}}) {
        if (!slider) continue;
        slider->minimum = minimum;
        slider->maximum = maximum;
        slider->value = minimum;
        slider->invalidate(0);
    }
}

bool fdPageSetupRoutingX::checked(const char* name) const {
    const auto* box = dynamic_cast<const Ui::fdCheckedButton*>(findChild(name));
    return box && box->checked();
}

void fdPageSetupRoutingX::setChecked(const char* name, bool on) {
    if (auto* box = dynamic_cast<Ui::fdCheckedButton*>(findChild(name))) box->setChecked(on);
}

void fdPageSetupRoutingX::onShow() {
    if (m_speedSlider) {
        m_speedSlider->value = m_routing->value("routing_speed", 0);
        m_speedSlider->invalidate(0);
    }
    if (m_qualitySlider) {
        m_qualitySlider->value = m_routing->value("best_roads", 5);
        m_qualitySlider->invalidate(0);
    }
    m_routingMode = m_routing->value("routing_mode", 1);
    setChecked("dirt_check", !m_routing->value("avoid_unpaved", true));
    if (Positioning::CarTracker* car = tracker()) {
        setChecked("stick_check", car->useStick());
        m_stickDistance = car->critDist();
    }
    if (Guidance::fdMapNavi* guidance = navi())
        m_rebuildDistance =
            static_cast<std::int32_t>(std::min<std::uint32_t>(guidance->maxDistFromPath(), 0x7FFFFFFF));
    refreshLabels();
}

void fdPageSetupRoutingX::refreshLabels() {
    if (auto* opt = dynamic_cast<Ui::fdStatic*>(findChild("opt")))
        opt->setText(m_messages.text(m_routingMode == 0 ? "settings_min_distance" : "settings_min_time"));
    // Written as every distance on screen ("30 m" on the track recording
    // page): the unit word is no abbreviation that takes a full stop.
    const std::u16string& metre = m_messages.text("meter");
    if (auto* stick = dynamic_cast<Ui::fdStatic*>(findChild("stick_dist")))
        stick->setText(Core::format(u"%d %s", m_stickDistance, metre));
    if (auto* rebuild = dynamic_cast<Ui::fdStatic*>(findChild("rebuild_dist")))
        rebuild->setText(Core::format(u"%d %s", m_rebuildDistance, metre));
}

void fdPageSetupRoutingX::apply() {
    // A slider may show a stored value beyond the ranges the search keeps
    // (an older, larger maximum): what is stored stays within them, so the
    // search never has to correct it.
    if (m_qualitySlider) m_routing->set("best_roads", std::clamp(m_qualitySlider->value, 1, kBestRoadsMax));
    m_routing->set("best_roads_max", kBestRoadsMax);
    if (m_speedSlider) m_routing->set("routing_speed", std::clamp(m_speedSlider->value, 0, kRoutingSpeedMax));
    m_routing->set("routing_speed_max", kRoutingSpeedMax);
    m_routing->set("routing_mode", m_routingMode);
    m_routing->set("avoid_unpaved", !checked("dirt_check"));
    if (Positioning::CarTracker* car = tracker()) car->setUseStick(checked("stick_check"), m_stickDistance);
    if (Guidance::fdMapNavi* guidance = navi())
        guidance->setMaxDistFromPath(static_cast<std::uint32_t>(std::max(m_rebuildDistance, 0)));
    Log::log(Log::Normal, u"Routing settings applied: mode %d, speed %d, best roads %d", m_routingMode,
             m_routing->value("routing_speed", 0), m_routing->value("best_roads", 5));
}

bool fdPageSetupRoutingX::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return false;
}

void fdPageSetupRoutingX::childClicked(const std::string& name) {
    if (name == "close" || name == "hide" || name == "back") {
        handleCommonCommand(name);
    } else if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "ok") {
        apply();
        ui()->goBack();
    } else if (name == "optleft" || name == "optright") {
        m_routingMode = m_routingMode == 0 ? 1 : 0;
        refreshLabels();
    } else if (name == "stick_dist_left" || name == "stick_dist_right") {
        m_stickDistance = stepStickDistance(m_stickDistance, name == "stick_dist_right");
        refreshLabels();
    } else if (name == "rebuild_dist_left" || name == "rebuild_dist_right") {
        m_rebuildDistance = stepRebuildDistance(m_rebuildDistance, name == "rebuild_dist_right");
        refreshLabels();
    }
    invalidate(1);
}

} // namespace Screens
