#pragma once
// The global map point and the geographic point.

#include <cstdint>

namespace Map {

// x is the longitude with 2^31 units per 180 degrees (wrapping at +-180 with
// 32-bit arithmetic), y the ellipsoidal Mercator ordinate with 2^31 units per
// pi radians; north is larger y.
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// Degrees, north and east positive.
struct GeoPoint {
    float latitude = 0.0f;
    float longitude = 0.0f;
    bool operator==(const GeoPoint&) const = default;
};

} // namespace Map
