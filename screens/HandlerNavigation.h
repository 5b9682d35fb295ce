#pragma once
// The map commands' guidance: the map events handler, and the demo drive
// this object owns while it runs.

#include "screens/MapNavigation.h"

#include <memory>

namespace Guidance {
class KVMapEventsHandler;
class NaviSounds;
class RouteSimulator;
} // namespace Guidance

namespace Screens {

class HandlerNavigation : public MapNavigation {
public:
    // sound: what speaks the repeated manoeuvre (null: silent). demoSpeed
    // in metres per second.
    HandlerNavigation(Guidance::KVMapEventsHandler& handler, Guidance::NaviSounds* sound, float demoSpeed);
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

    // The running demo drive, null when none runs.
    Guidance::RouteSimulator* demo() const { return m_demo.get(); }
    Guidance::KVMapEventsHandler& handler() const { return m_handler; }

private:
    Guidance::KVMapEventsHandler& m_handler;
    Guidance::NaviSounds* m_sound;
    float m_demoSpeed;
    std::unique_ptr<Guidance::RouteSimulator> m_demo;
};

} // namespace Screens
