#pragma once
// Reader of the address section: six tables of records (countries, regions,
// districts, cities, streets, object address records) and a pool of u32
// lists. A record is named by its byte offset from the start of its table
// (the first record is at 4, after the table's count; 0 means none). Every
// read is bounded: a record of a fixed-size table must lie within its counted
// records, an object record and its words within the section.

#include "map/file/SectionView.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Map::File {

struct AddressHeader {
    std::uint32_t tables[6] = {}; // section offsets of tables 0..5
    std::uint32_t listPool = 0;   // section offset of the list pool
};

struct CountryRecord {
    std::uint32_t name = 0;
};

struct RegionRecord {
    std::uint32_t name = 0;
    std::uint32_t country = 0;
};

struct DistrictRecord {
    std::uint32_t name = 0;
    std::uint32_t country = 0;
    std::uint32_t region = 0;
};

struct CityRecord {
    std::uint32_t name = 0;
    std::uint32_t country = 0;
    std::uint32_t region = 0;
    std::uint32_t district = 0;
    // Half the side of the square around (x, y) that holds the place, in
    // global map units; 0 when the map does not tell.
    std::uint32_t extent = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct StreetRecord {
    std::uint32_t name = 0;
    std::uint32_t country = 0;
    std::uint32_t region = 0;
    std::uint32_t district = 0;
    std::uint32_t city = 0;
    // As a city's: the square around (x, y) that holds the whole street.
    std::uint32_t extent = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t houseList = 0; // byte offset in the list pool
    std::uint16_t houseCount = 0;
    std::uint8_t extraWords = 0;
};

// The fixed 27 bytes of an object address record (a point of interest or a
// house).
struct ObjectRecord {
    std::uint32_t name = 0;        // text 0
    std::uint32_t city = 0;        // table 3 record; its name is text 1
    std::uint32_t street = 0;      // table 4 record; its name is text 2
    std::uint16_t type = 0;        // number 1: the POI type
    std::uint32_t addressText = 0; // text 3
    std::int32_t x = 0;            // number 2
    std::int32_t y = 0;            // number 3
    std::uint8_t flags = 0;
};

// The optional words of an object address record, by flag bit 7, 6, 5, 4, 3,
// 2: text 5, text 4, text 6, text 7, text 8, number 4; 0 when the flag is
// clear.
struct ObjectExtras {
    std::uint32_t words[6] = {};
};

// The POI type of a house record.
constexpr std::uint16_t HouseType = 0xFFFF;

class AddressSectionReader {
public:
    static constexpr std::uint32_t RecordSizes[6] = {4, 8, 12, 28, 39, 27};

    class ImplBase {
    public:
        virtual ~ImplBase() = default;
        virtual bool header(AddressHeader& out) = 0;
        virtual std::uint32_t count(int table) const = 0;
        virtual bool readCountry(std::uint32_t offset, CountryRecord& out) = 0;
        virtual bool readRegion(std::uint32_t offset, RegionRecord& out) = 0;
        virtual bool readDistrict(std::uint32_t offset, DistrictRecord& out) = 0;
        virtual bool readCity(std::uint32_t offset, CityRecord& out) = 0;
        virtual bool readStreet(std::uint32_t offset, StreetRecord& out) = 0;
        virtual bool readObject(std::uint32_t offset, ObjectRecord& out) = 0;
        virtual bool readObjectWithExtras(std::uint32_t offset, ObjectRecord& out, ObjectExtras& extras) = 0;
        virtual bool readList(std::uint32_t offset, std::uint32_t count, std::vector<std::uint32_t>& out) = 0;
    };

    // Throws FormatError "Unknown address section version" (not 1), "Section
    // is too small" (under 28 bytes, a table or the list pool beyond the
    // section, or a table whose count of records cannot fit in it).
    AddressSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view, std::uint32_t fileOffset);
    ~AddressSectionReader();

    // The section's offset in the map file (callers address objects by file
    // position).
    std::uint32_t fileOffset() const { return m_fileOffset; }

    bool header(AddressHeader& out) { return m_impl->header(out); }
    // Record count of table 0..5 (0 for another number).
    std::uint32_t count(int table) const { return m_impl->count(table); }
    std::uint32_t countryCount() const { return count(0); }
    std::uint32_t regionCount() const { return count(1); }
    std::uint32_t districtCount() const { return count(2); }
    std::uint32_t cityCount() const { return count(3); }
    std::uint32_t streetCount() const { return count(4); }
    std::uint32_t objectCount() const { return count(5); }

    bool readCountry(std::uint32_t offset, CountryRecord& out) { return m_impl->readCountry(offset, out); }
    bool readRegion(std::uint32_t offset, RegionRecord& out) { return m_impl->readRegion(offset, out); }
    bool readDistrict(std::uint32_t offset, DistrictRecord& out) { return m_impl->readDistrict(offset, out); }
    bool readCity(std::uint32_t offset, CityRecord& out) { return m_impl->readCity(offset, out); }
    bool readStreet(std::uint32_t offset, StreetRecord& out) { return m_impl->readStreet(offset, out); }
    bool readObject(std::uint32_t offset, ObjectRecord& out) { return m_impl->readObject(offset, out); }
    // The record and its optional words; false when any of them passes the
    // section end.
    bool readObjectWithExtras(std::uint32_t offset, ObjectRecord& out, ObjectExtras& extras) {
        return m_impl->readObjectWithExtras(offset, out, extras);
    }
    // n u32 values from a byte offset in the list pool; n = 0 gives an empty
    // vector and true. Nothing is allocated for a list that would pass the
    // section end.
    bool readList(std::uint32_t offset, std::uint32_t n, std::vector<std::uint32_t>& out) {
        return m_impl->readList(offset, n, out);
    }

private:
    std::uint32_t m_fileOffset;
    std::unique_ptr<ImplBase> m_impl;
};

} // namespace Map::File
