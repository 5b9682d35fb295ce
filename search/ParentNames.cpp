#include "search/ParentNames.h"

#include "map/KvMap.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/StringsSectionReader.h"

#include <type_traits>

namespace TextSearch {

using namespace Map::File;

bool ParentNames::read(Map::KvMap& map, int table, std::uint32_t offset, std::u16string& out) {
    AddressSectionReader& a = map.addressReader();
    std::uint32_t name = 0;
    const auto readName = [&](auto record, auto readRecord) {
        const bool read = (a.*readRecord)(offset, record);
        name = record.name;
        return read;
    };
    bool read = false;
    switch (table) {
    case 0:
        read = readName(CountryRecord{}, &AddressSectionReader::readCountry);
        break;
    case 1:
        read = readName(RegionRecord{}, &AddressSectionReader::readRegion);
        break;
    case 2:
        read = readName(DistrictRecord{}, &AddressSectionReader::readDistrict);
        break;
    case 3:
        read = readName(CityRecord{}, &AddressSectionReader::readCity);
        break;
    default:
        break;
    }
    out.clear();
    return read && (name == 0 || map.stringsReader().stringAt(name, out));
}

void ParentNames::build(const Map::MapSet& maps) {
    clear();
    m_numbers.resize(maps.size());
    std::u16string name;
    for (std::size_t m = 0; m < maps.size(); ++m) {
        Map::KvMap& map = *maps.maps()[m];
        for (int table = 0; table < 4; ++table) {
            const std::uint32_t count = map.addressReader().count(table);
            std::vector<std::uint32_t>& numbers = m_numbers[m][static_cast<std::size_t>(table)];
            numbers.reserve(count);
            // Records lie one after another from offset 4.
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint64_t offset =
                    4 + std::uint64_t{i} * RecordSize[static_cast<std::size_t>(table)];
                if (offset > UINT32_MAX) break;
                numbers.push_back(read(map, table, static_cast<std::uint32_t>(offset), name)
                                      ? m_names.number(name)
                                      : Unreadable);
            }
        }
    }
    m_names.shrinkToFit();
}

void ParentNames::clear() {
    m_numbers.clear();
    m_names = NameNumbers();
}

std::uint32_t ParentNames::find(std::uint32_t map, int table, std::uint32_t offset) const {
    if (map >= m_numbers.size() || table < 0 || table > 3 || offset < 4) return None;
    // A constant record size per table: the division is a multiplication.
    const auto at = [&](auto size) -> std::uint32_t {
        const std::vector<std::uint32_t>& numbers = m_numbers[map][static_cast<std::size_t>(table)];
        const std::uint32_t index = (offset - 4) / size();
        return (offset - 4) % size() == 0 && index < numbers.size() ? numbers[index] : None;
    };
    switch (table) {
    case 0:
        return at(std::integral_constant<std::uint32_t, RecordSize[0]>());
    case 1:
        return at(std::integral_constant<std::uint32_t, RecordSize[1]>());
    case 2:
        return at(std::integral_constant<std::uint32_t, RecordSize[2]>());
    default:
        return at(std::integral_constant<std::uint32_t, RecordSize[3]>());
    }
}

std::size_t ParentNames::memoryBytes() const {
    std::size_t bytes = m_numbers.capacity() * sizeof(m_numbers[0]) + m_names.memoryBytes();
    for (const auto& tables : m_numbers)
        for (const auto& numbers : tables)
            bytes += numbers.capacity() * sizeof(std::uint32_t);
    return bytes;
}

} // namespace TextSearch
