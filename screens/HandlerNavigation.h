#pragma once
// The map commands' guidance: the map events handler, and the demo drive
// this object owns while it runs.

#include "screens/MapNavigation.h"

#include "core/ConfigNode.h"

#include <memory>

namespace Guidance {
class KVMapEventsHandler;
class NaviSounds;
class RouteSimulator;
} // namespace Guidance

namespace Screens {

class HandlerNavigation : public MapNavigation {
public:
    // sound: what speaks the repeated manoeuvre (null: silent). config: the
    // node of "demo_speed", read at each demo start (DemoSpeed.h).
    HandlerNavigation(Guidance::KVMapEventsHandler& handler, Guidance::NaviSounds* sound,
                      Core::ConfigNodePtr config);
    ~HandlerNavigation() override;

    bool toggleNavigation() override;
    void startNavigation() override;
    void applyPendingRoute() override;
    void requestRebuild() override;
    bool guidanceActive() override;
    bool carOffRoute() override;
    float unitsPerMetre() override;
    bool demoRunning() override { return m_demo != nullptr; }
    bool demoRouteChanged() override;
    bool startDemo() override;
    void stopDemo() override;
    bool naviSoundsOn() override;
    void sayNextManeuver() override;
    std::optional<Map::Point> incomingObject() override;

    // The car's and guidance's frame, once per pass of the main loop
    // whatever page is shown: the handler's frame under one unit of its car
    // state lock, skipped when none is free (the GPS thread and an atlas
    // switch hold it) and while the demo drives (the map page steps it).
    void frame();

    // The running demo drive, null when none runs.
    Guidance::RouteSimulator* demo() const { return m_demo.get(); }
    Guidance::KVMapEventsHandler& handler() const { return m_handler; }

private:
    Guidance::KVMapEventsHandler& m_handler;
    Guidance::NaviSounds* m_sound;
    Core::ConfigNodePtr m_config;
    std::unique_ptr<Guidance::RouteSimulator> m_demo;
};

} // namespace Screens
