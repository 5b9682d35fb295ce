#pragma once
// The names of every country, region, district and city record of the
// maps, numbered once when the maps are attached: equal texts, in any map,
// get equal numbers. Merging objects of several maps compares their
// parents by name; with these numbers a word tree built while the user
// types compares a few integers per object instead of reading the parent
// records and their names again on every build.
//
// Memory: four bytes per parent record, plus each distinct name once.

#include "map/MapSet.h"
#include "search/NameNumbers.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace TextSearch {

class ParentNames {
  public:
    static constexpr std::uint32_t None = NameNumbers::None;
    // The number of a parent whose record or name does not read.
    static constexpr std::uint32_t Unreadable = None - 1;

    // The name of a parent record (table 0 countries .. 3 cities); false
    // when the record or its name cannot be read (a name reference 0 reads
    // as the empty name).
    static bool read(Map::KvMap& map, int table, std::uint32_t offset, std::u16string& out);

    // Numbers the parents of the maps (map index = position in the set).
    void build(const Map::MapSet& maps);
    void clear();
    // The number of the parent's name; Unreadable as above; None when the
    // offset is no record of the table as built (the caller reads it).
    std::uint32_t find(std::uint32_t map, int table, std::uint32_t offset) const;
    // The number of a name read elsewhere; None when no parent has it.
    std::uint32_t numberOf(std::u16string_view name) const { return m_names.find(name); }
    // Names numbered: numbers below it are taken.
    std::uint32_t nameCount() const { return m_names.count(); }
    std::size_t memoryBytes() const;

  private:
    static constexpr std::array<std::uint32_t, 4> RecordSize{4, 8, 12, 28};
    // Per map, per table, the number by record index.
    std::vector<std::array<std::vector<std::uint32_t>, 4>> m_numbers;
    NameNumbers m_names;
};

} // namespace TextSearch
