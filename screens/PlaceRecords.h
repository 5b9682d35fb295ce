#pragma once
// The country, region, district and city records of a map's address
// section as the filter pages show them: the name and the parents.

#include <cstdint>
#include <string>

namespace Map {
class KvMap;
}

namespace Screens {

struct PlaceRecord {
    std::u16string name;
    // Parent record offsets, 0 for none (a country has none, a region only
    // a country, a district a country and a region).
    std::uint32_t country = 0;
    std::uint32_t region = 0;
    std::uint32_t district = 0;
    std::int32_t x = 0, y = 0;
};

// The record of a filter level (1 country, 2 region, 3 district, 4 city) at
// the offset, with its name; false when either cannot be read.
bool readPlace(Map::KvMap& map, std::uint32_t level, std::uint32_t offset, PlaceRecord& out);
// Only the name; empty when it cannot be read.
std::u16string placeName(Map::KvMap& map, std::uint32_t level, std::uint32_t offset);

} // namespace Screens
