#pragma once
// What the map page asks of the danger-warn points: the nearest point to a
// tapped position, the points the moving car is inside of or will reach
// within the warning time, and the POI type whose style draws a point.

#include "map/Point.h"
#include "map/proximity/Index.h"

#include <cstdint>
#include <vector>

namespace Map::Proximity {

struct ProximityEvent {
    static constexpr std::uint32_t DistanceMask = 0x0FFFFFFF; // 0.1 m units
    static constexpr std::uint32_t Inside = 1u << 28;
    static constexpr std::uint32_t Reached = 1u << 29;
    static constexpr std::uint32_t OverSpeed = 1u << 30;

    Point point;
    std::uint32_t flags = 0;

    std::uint32_t distanceDecimetres() const { return flags & DistanceMask; }
    bool inside() const { return (flags & Inside) != 0; }
    bool reached() const { return (flags & Reached) != 0; }
    bool overSpeed() const { return (flags & OverSpeed) != 0; }
};

// The point nearest to `at`, strictly closer than `radius` map units; on
// equal distances the first one the index visits. False when there is none
// (or the query failed); `out` is then untouched.
bool findNearest(Map::Point at, std::int32_t radius, IndexHolder& holder, Point& out);

// Appends an event for each point the car at `at` (speed in m/s, heading in
// degrees clockwise from north) is inside of, or will reach within the
// holder's warning time. False when there is no valid index or the query
// failed.
bool findEvents(IndexHolder& holder, std::vector<ProximityEvent>& results, Map::Point at, float speedMetresPerSecond,
                float headingDegrees);

// Stateless parts, exposed for tests and for callers that already hold the
// car's scale: the event of one point, or false when it is not reported.
struct EventsSearch {
    Map::Point position;
    std::int32_t speed = 0;   // 0.1 m/s
    std::int32_t heading = 0; // whole degrees
    float scale = 0.0f;       // (units per metre)^2 / 100: squared map units per squared 0.1 m
    std::int32_t vx = 0;      // map units per second, east
    std::int32_t vy = 0;      // map units per second, north
    float warningTime = 0.0f;
    std::int32_t sectorHalfWidth = 0;

    static EventsSearch make(Map::Point at, float unitsPerMetre, float speedMetresPerSecond, float headingDegrees,
                             float warningTime, std::int32_t sectorHalfWidth);
    bool eventOf(const Point& point, ProximityEvent& event) const;
};

// The POI type code drawn for a point of `kind` with `speedLimit` in 0.1 m/s.
std::uint16_t poiTypeOf(std::uint32_t kind, std::uint32_t speedLimit);

// a - b in degrees, brought into [-180, 180).
std::int32_t angleDelta(std::int32_t a, std::int32_t b);

// floor(sqrt(n)) plus 1 when n lies nearer the next square.
std::uint64_t roundedSquareRoot(std::uint64_t n);

} // namespace Map::Proximity
