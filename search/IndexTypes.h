#pragma once
// Shapes shared by the text-search index file, its builder and its manager:
// the levels, the letter and result lists of the queries, the enabled-map
// flags, and the fixed numbers of TextSearch.tsi.

#include "map/TextSearchTypes.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace TextSearch {

// The searched level of the index: cities, streets, POIs (Map's categories).
constexpr int CityLevel = Map::CityCategory;
constexpr int StreetLevel = Map::StreetCategory;
constexpr int PoiLevel = Map::PoiCategory;

// One byte per map of the engine's map set, nonzero for a map that takes
// part in a search.
using EnabledMaps = std::vector<std::uint8_t>;
// Letters kept ascending without duplicates.
using Letters = std::vector<char16_t>;
// POI types kept ascending.
using PoiTypes = std::vector<std::uint16_t>;
// Item-range records: a run of one map's own text-search items.
using ItemRanges = std::vector<Map::MappedGroup>;

constexpr std::uint32_t IndexSignature = 0x01495354;
constexpr std::uint32_t IndexHeaderSize = 32;
constexpr std::uint32_t ItemRangeSize = 10;
constexpr std::uint32_t WideTypeGroupSize = 10;
constexpr std::uint32_t NarrowTypeGroupSize = 6;
// Map indexes are u16 in the file.
constexpr std::size_t MaxIndexedMaps = 65535;

// The seven blocks after the header, in file order.
enum IndexBlock : int {
    CityTreeBlock,
    CityRangesBlock,
    StreetTreeBlock,
    StreetRangesBlock,
    PoiTreeBlock,
    TypeGroupsBlock,
    GroupRangesBlock,
    IndexBlockCount
};

inline bool isEnabled(const EnabledMaps& enabled, std::uint32_t map) {
    return map < enabled.size() && enabled[map] != 0;
}

inline void insertLetter(Letters& letters, char16_t c) {
    const auto at = std::lower_bound(letters.begin(), letters.end(), c);
    if (at == letters.end() || *at != c) letters.insert(at, c);
}

} // namespace TextSearch
