#pragma once
// The value types in which a GPS position travels through the program.

#include "core/DateTime.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Positioning {

// One position of the receiver. It always travels together with a separate
// "valid" flag; when that is false the record's contents are stale or
// undefined and must not be used.
struct Fix {
    DateTime dateTime;   // date from the last RMC, time of day from the last GGA
    float latitude = 0;  // degrees, north positive
    float longitude = 0; // degrees, east positive
    float altitude = 0;  // metres above mean sea level
    float hdop = 0;
    float vdop = 0;
    float speed = 0;    // metres per second
    float heading = 0;  // course over ground, degrees as sent
    // The receiver sent a course: an RMC whose course field is not empty.
    // Without one (GGA alone, an empty field) heading is 0, not north.
    bool courseKnown = false;
    // Far off where the car's motion puts it (a reflection): the speed and
    // course are the motion's before it, and the car is not there.
    bool stray = false;
    std::int32_t x = 0; // global map point of (latitude, longitude)
    std::int32_t y = 0;

    bool operator==(const Fix&) const = default;
};

// The metres a fix may lie from where the receiver is: its HDOP times the
// receiver's error per unit of it (UERE). A fix without an HDOP (from a
// receiver that sends no GGA, or the first RMC of one that sends RMC
// before GGA) counts as one of HDOP 1.
inline float fixErrorMetres(float hdop, float uere) {
    return (hdop > 0.0f ? hdop : 1.0f) * uere;
}

// The metres within which a fix does not tell one place from another: a
// few of its errors, up to ScatterCeilingMetres. Within them a street beside
// the route is not told from the route (the car tracker, guidance), nor a
// fix off the filter's prediction from a jump.
constexpr float ScatterErrors = 3.0f;
// The most a scatter widens a tolerance: three errors of a receiver whose
// fixes stray by 15 m on each axis, as in a street between high walls (HDOP
// 4.2 at the default UERE of 5 m). A receiver that says more (HDOP 5 to 20
// in streets, for minutes, with fixes as good as ever) tells no place the
// worse for it.
constexpr float ScatterCeilingMetres = 64.0f;
inline float scatterMetres(float hdop, float uere) {
    return std::min(ScatterErrors * fixErrorMetres(hdop, uere), ScatterCeilingMetres);
}

// One satellite of the sky view.
struct Satellite {
    std::int32_t prn = 0;
    std::int32_t elevation = 0; // degrees
    std::int32_t azimuth = 0;   // degrees
    std::int32_t snr = 0;       // dB; 0 when none was sent or it lay outside 0..99

    bool operator==(const Satellite&) const = default;
};

// Satellite numbers the receiver uses for its fix.
using UsedSatellites = std::vector<std::uint32_t>;

} // namespace Positioning
