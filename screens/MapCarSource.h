#pragma once
// What the map page reads of the moving car and of guidance. The navigation
// layer's map events handler implements it (the car tracker behind the
// two-unit car state lock, guidance and its warnings); without one the page
// shows no car and no route state.

#include "map/Point.h"
#include "positioning/CarState.h"

#include <cstdint>
#include <optional>

namespace Screens {

// The current fix as the view follows it.
struct CarFix {
    Map::Point position;
    float headingDegrees = 0.0f;
    float speed = 0.0f; // metres per second
    double latitude = 0.0;
    double longitude = 0.0;
};

// What the tick needs of guidance.
struct GuidanceState {
    bool running = false;
    bool hasParts = false;
    bool outOfPath = false;
    bool maneuverKnown = false;
    // The road of the next manoeuvre.
    std::uint32_t maneuverMap = Positioning::NoMapIndex;
    std::uint32_t maneuverRoad = Positioning::NoPolylineId;
    // The next manoeuvre's type and distance; off the route, the distance
    // the approach to the route is tracked by.
    std::uint32_t maneuverType = 0;
    // The exit a driver takes at the roundabout of the next manoeuvre (its
    // entry or its exit), 0 none or unknown.
    std::uint32_t roundaboutExit = 0;
    std::int32_t maneuverMetres = 0;
    // Off the route: approachMetres counts only while the map events
    // handler tracks the approach to the route (approachOff clear).
    bool approachOff = true;
    std::int32_t approachMetres = 0;
};

// The object guidance warns about, when its warn flag is set.
struct WarnedObject {
    Map::Point position;
    std::uint16_t poiType = 0;
    // Positive ahead, 0 or negative just passed.
    std::int32_t metres = 0;
};

class MapCarSource {
public:
    virtual ~MapCarSource() = default;
    // Takes one unit of the car state lock without waiting; false when none
    // is free (the GPS thread or an atlas switch holds it). The car and
    // guidance are read under it; their frame ran before the tick, whatever
    // page is shown (HandlerNavigation::frame).
    virtual bool tryTakeCarState() = 0;
    virtual void releaseCarState() = 0;
    // Steps the demo drive when one runs, without the lock (its car is the
    // page's own, which no other thread writes); false when none runs, and
    // the tick then reads the handler's car under the lock.
    virtual bool stepDemo() { return false; }
    // The current fix, when valid.
    virtual std::optional<CarFix> currentFix() = 0;
    // The car as drawn.
    virtual Positioning::CarState shownCar() = 0;
    virtual float unitsPerMetre() = 0;
    virtual GuidanceState guidance() = 0;
    virtual std::optional<WarnedObject> warnedObject() = 0;
};

} // namespace Screens
