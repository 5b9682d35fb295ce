#pragma once
// Writes the text-search section of docs/map-format.md from a list of
// searchable entries per category: sorts them into item tables, builds the
// name trees over their keys (encoded by the map library's name-tree
// encoder, the one the search index uses) and, for POIs, the type table.

#include "map/TextSearchTypes.h"
#include "tools/mapwriter/MapDescription.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace MapWriting {

// One searchable key of one object. An object with several keys (every word
// of its name) has several entries.
struct TextSearchEntry {
    // Non-empty; folded with Core::toLower by encodeTextSearch, then compared
    // by UTF-16 units.
    std::u16string key;
    std::uint32_t objectOffset = 0;
    std::uint32_t nameId = 0;
    std::uint32_t secondNameId = 0;
    std::uint8_t position1 = 0;
    std::uint8_t position2 = 0;
    std::uint16_t poiType = 0; // POI entries only
};

struct TextSearchDescription {
    // Entries of categories 0 (cities), 1 (streets), 2 (POIs), any order.
    std::array<std::vector<TextSearchEntry>, 3> entries;
    // Width codes (0 = 32-bit, 2 = 16-bit); unset picks 2 when every value
    // fits 16 bits. A forced 2 whose values do not fit throws.
    std::optional<unsigned> stringCode;
    std::array<std::optional<unsigned>, 3> objectCodes;
    std::array<std::optional<unsigned>, 3> groupCodes;
    std::array<std::optional<unsigned>, 3> offsetCodes;
    std::optional<unsigned> typeTableCode;
};

// A tree in the decoded form the encoder takes.
struct BuiltNameTree {
    std::vector<Map::TextSearch::TreeNode> nodes; // level by level
    std::uint32_t depth = 0;
    std::uint32_t rootCount = 0;
    std::uint32_t leafCount = 0;
    // The prefix each node spells (parallel to nodes).
    std::vector<std::u16string> prefixes;
};

// The tree over `sortedKeys` (ascending, duplicates allowed, none empty);
// each node's group is the range of keys beginning with its prefix.
BuiltNameTree buildNameTree(const std::vector<std::u16string>& sortedKeys);

struct EncodedTextSearch {
    std::vector<std::uint8_t> bytes;
    std::array<std::uint32_t, 15> header{};
    // The item tables in file order (POIs by type, then key; others by key).
    std::array<std::vector<TextSearchEntry>, 3> items;
    // The POI type table in file order.
    std::vector<Map::PoiTypeGroup> typeTable;
};

// Every key is folded with Core::toLower before the tables are sorted: the
// search folds what the user types the same way and compares units.
EncodedTextSearch encodeTextSearch(const TextSearchDescription& description);

// One entry per word Map::TextSearch::NameSplitter keeps of the name of
// string `nameId` (the whole name when it keeps none): a word after the
// first is found by itself and shows as "Word, Rest of the name" (the
// splice of docs/map-format.md).
void addNameWords(std::vector<TextSearchEntry>& out, StringTable& strings, std::uint32_t nameId,
                  std::uint32_t objectOffset, std::uint16_t poiType);

} // namespace MapWriting
