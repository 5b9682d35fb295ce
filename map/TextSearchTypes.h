#pragma once
// Records shared by the text-search section of a map, the text-search index
// and the search engine: ranges of table entries, references to one object
// of one map, widened item and type-table entries, decoded name-tree nodes.

#include <cstdint>

namespace Map {

enum TextSearchCategory : int { CityCategory = 0, StreetCategory = 1, PoiCategory = 2 };

// Entries first .. first + count - 1 of a table; empty when count is 0.
struct ItemsGroup {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    bool empty() const { return count == 0; }
    bool operator==(const ItemsGroup&) const = default;
};

// A group of the map at index `map` of the engine's map set.
struct MappedGroup {
    ItemsGroup group;
    std::uint16_t map = 0;
    bool operator==(const MappedGroup&) const = default;
};

// One object of one map: the map's index in the map set, then the object's
// record offset in that map's file. The search history stores it as these
// 8 bytes, map first.
struct MapAndOffset {
    std::uint32_t map = 0;
    std::uint32_t offset = 0;
    bool operator==(const MapAndOffset&) const = default;
};

// An item-table entry widened: the object's record offset, the string ids
// of its name and second name, and the two character positions used to
// splice them.
struct TextSearchItem {
    std::uint32_t objectOffset = 0;
    std::uint32_t nameId = 0;
    std::uint32_t secondNameId = 0;
    std::uint8_t position1 = 0;
    std::uint8_t position2 = 0;
    bool operator==(const TextSearchItem&) const = default;
};

// A POI type-table entry widened: the POI items of one type under a prefix.
struct PoiTypeGroup {
    ItemsGroup group;
    std::uint16_t type = 0;
    bool operator==(const PoiTypeGroup&) const = default;
};

namespace TextSearch {

// A decoded name-tree node. `children` points at the first child inside the
// same node vector (null when the node has none); it stays valid as long as
// the vector is not resized.
struct TreeNode {
    char16_t character = 0;
    ItemsGroup group;
    TreeNode* children = nullptr;
    std::uint32_t childCount = 0;
};

} // namespace TextSearch

} // namespace Map
