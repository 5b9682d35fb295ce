#pragma once
// The global map point: x is longitude with 2^31 units per 180 degrees, y the
// ellipsoidal Mercator ordinate with 2^31 units per pi.

#include <cstdint>

namespace Map {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

} // namespace Map
