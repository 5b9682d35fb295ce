#pragma once
// What the map page's commands ask of guidance: the navigation layer's map
// events handler implements it (start, stop and rebuild of guidance, the
// pending route, the demo drive, the spoken phrases and the object
// warnings). Without one the commands that need it do nothing.

#include "map/Point.h"

#include <optional>

namespace Screens {

class MapNavigation {
public:
    virtual ~MapNavigation() = default;
    // Starts guidance when it is off and stops it when it runs; true when
    // it runs afterwards.
    virtual bool toggleNavigation() = 0;
    virtual void startNavigation() = 0;
    // Installs the route the last request left pending.
    virtual void applyPendingRoute() = 0;
    // Asks guidance to compute the route again from the car (off the route).
    virtual void requestRebuild() = 0;
    virtual bool guidanceActive() = 0;
    virtual bool carOffRoute() = 0;
    // Map units per metre at the car.
    virtual float unitsPerMetre() = 0;

    virtual bool demoRunning() = 0;
    // True when the route changed under the running demo: its car stands
    // still until the demo is started again.
    virtual bool demoRouteChanged() { return false; }
    // False when there is no route to drive.
    virtual bool startDemo() = 0;
    virtual void stopDemo() = 0;

    // The user's switch for guidance sounds ("navi").
    virtual bool naviSoundsOn() = 0;
    // Speaks the next manoeuvre with its distance.
    virtual void sayNextManeuver() = 0;
    // The object at the head of the warnings, while it is still coming.
    virtual std::optional<Map::Point> incomingObject() = 0;
};

} // namespace Screens
