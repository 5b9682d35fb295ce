#pragma once
// One danger-warn point: a fixed place on the map with a kind, an optional
// speed limit, an optional direction and a warning radius. The 20 bytes are
// the same in memory and in the index file (little-endian there).

#include <cstdint>

namespace Map::Proximity {

struct Point {
    std::int32_t x = 0; // global map point
    std::int32_t y = 0;
    std::uint32_t reserved = 0;
    std::int32_t radius = 0; // warning radius in map units, 0 = none
    // Bits 0-3 kind (0..11), 4-19 speed limit in 0.1 m/s (0 = none), 20-21
    // direction kind (0 any, 1 one direction, 2 both), 22-30 direction in
    // whole degrees (0..359), 31 unused.
    std::uint32_t packed = 0;

    std::uint32_t kind() const { return packed & 0xF; }
    std::uint32_t speedLimit() const { return (packed >> 4) & 0xFFFF; }
    std::uint32_t directionKind() const { return (packed >> 20) & 0x3; }
    std::uint32_t direction() const { return (packed >> 22) & 0x1FF; }

    static std::uint32_t pack(std::uint32_t kind, std::uint32_t speedLimit, std::uint32_t directionKind,
                              std::uint32_t direction) {
        return (kind & 0xF) | ((speedLimit & 0xFFFF) << 4) | ((directionKind & 0x3) << 20) |
               ((direction & 0x1FF) << 22);
    }

    bool operator==(const Point&) const = default;
};

static_assert(sizeof(Point) == 20);

inline constexpr std::uint32_t kPointBytes = 20;

} // namespace Map::Proximity
