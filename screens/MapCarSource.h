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
};

// The object guidance warns about, when its warn flag is set.
struct WarnedObject {
    Map::Point position;
};

class MapCarSource {
public:
    virtual ~MapCarSource() = default;
    // Takes one unit of the car state lock without waiting; false when none
    // is free (the GPS thread or an atlas switch holds it).
    virtual bool tryTakeCarState() = 0;
    virtual void releaseCarState() = 0;
    // The frame's car work, under the lock.
    virtual void onFrame() = 0;
    // The current fix, when valid.
    virtual std::optional<CarFix> currentFix() = 0;
    // The car as drawn.
    virtual Positioning::CarState shownCar() = 0;
    virtual float unitsPerMetre() = 0;
    virtual GuidanceState guidance() = 0;
    virtual std::optional<WarnedObject> warnedObject() = 0;
};

} // namespace Screens
