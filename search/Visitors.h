#pragma once
// The level visitors: the only code that reads a searched object's record.
// A visitor is positioned on one record of one map's address section
// (seek), tests it against the search filter, and yields its name, the
// detail text made of its parents' names, its map point and its POI type.
// Walking a level's table goes record by record (next).
//
// Every read goes through the map's bounded section readers: an object
// offset from a damaged index or history simply fails to read.

#include "map/KvMap.h"
#include "map/Point.h"
#include "map/file/AddressSectionReader.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

namespace TextSearch {

// Filter levels: the parent that restricts a search.
enum FilterLevel : std::uint32_t {
    NoFilter = 0,
    CountryFilter = 1,
    RegionFilter = 2,
    DistrictFilter = 3,
    CityFilter = 4
};

class VisitorBase {
  public:
    VisitorBase() = default;
    VisitorBase(const VisitorBase&) = delete;
    VisitorBase& operator=(const VisitorBase&) = delete;
    virtual ~VisitorBase() = default;

    // The address table the level lives in (0 countries .. 5 objects).
    virtual int table() const = 0;
    // Reads the record at a table offset of the map; false when it cannot
    // be read (the visitor then holds no record).
    virtual bool seek(Map::KvMap& map, std::uint32_t offset) = 0;
    // The table offset of the record after the current one.
    virtual std::uint32_t next() const = 0;
    // True when the record lies under the filter object at the filter
    // level, or the level has no parent of that kind.
    virtual bool accepts(std::uint32_t filterLevel, std::uint32_t filterObject) = 0;
    virtual std::uint32_t nameRef() const = 0;
    virtual std::u16string detail() = 0;
    virtual std::uint16_t type() const { return 0; }
    // Cities, streets and POIs fill the point.
    virtual bool point(Map::Point&) const { return false; }

    std::uint32_t offset() const { return m_offset; }
    std::u16string name();

  protected:
    // The string at a name reference of the current map; empty when none.
    std::u16string text(std::uint32_t ref);
    // Appends the name of a parent record of table 0..3 to the detail,
    // ", " between names; nothing when it cannot be read.
    void appendParent(std::u16string& out, int table, std::uint32_t offset);
    // The name reference of a parent record of table 0..3; 0 when unread.
    std::uint32_t parentName(int table, std::uint32_t offset);
    static void appendName(std::u16string& out, const std::u16string& name);
    // Whether the record's parent of the filter level (parents: country,
    // region, district, city, as far as the level has them) is the filter
    // object; a filter level the record has no parent for passes.
    static bool underFilter(std::uint32_t level, std::uint32_t object,
                            std::initializer_list<std::uint32_t> parents);

    Map::KvMap* m_map = nullptr;
    std::uint32_t m_offset = 0;
};

// The visitor of a search kind (1, 2, 3, 17, 18, 19, 20); null for another.
std::unique_ptr<VisitorBase> makeVisitor(int kind);

} // namespace TextSearch
