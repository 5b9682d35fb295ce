#pragma once
// The four configuration values of the danger-warn points, read once at
// start-up: the look-ahead time and direction sector of the ahead-of-the-car
// search, and the two cache sizes of the file index. Each is clamped into
// its range; a missing key is created with its default.

#include "core/ConfigNode.h"

#include <cstdint>

namespace Map::Proximity {

struct Settings {
    float warningTimeSeconds = 10.0f;      // "dwp_warn_time", 5 .. 30
    std::int32_t sectorHalfWidthDegrees = 10; // "dwp_sector_half", 5 .. 20
    std::uint32_t nodeCacheCapacity = 100;  // "dwp_nodes_cache", 20 .. 1000
    std::uint32_t pointCacheCapacity = 100; // "dwp_points_cache", 20 .. 1000

    static Settings read(Core::ConfigNode& config);
};

} // namespace Map::Proximity
