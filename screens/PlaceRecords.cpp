#include "screens/PlaceRecords.h"

#include "map/KvMap.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/StringsSectionReader.h"

namespace Screens {

bool readPlace(Map::KvMap& map, std::uint32_t level, std::uint32_t offset, PlaceRecord& out) {
    out = PlaceRecord{};
    if (offset == 0) return false;
    Map::File::AddressSectionReader& address = map.addressReader();
    std::uint32_t name = 0;
    switch (level) {
    case 1: {
        Map::File::CountryRecord r;
        if (!address.readCountry(offset, r)) return false;
        name = r.name;
        break;
    }
    case 2: {
        Map::File::RegionRecord r;
        if (!address.readRegion(offset, r)) return false;
        name = r.name;
        out.country = r.country;
        break;
    }
    case 3: {
        Map::File::DistrictRecord r;
        if (!address.readDistrict(offset, r)) return false;
        name = r.name;
        out.country = r.country;
        out.region = r.region;
        break;
    }
    case 4: {
        Map::File::CityRecord r;
        if (!address.readCity(offset, r)) return false;
        name = r.name;
        out.country = r.country;
        out.region = r.region;
        out.district = r.district;
        out.x = r.x;
        out.y = r.y;
        break;
    }
    default:
        return false;
    }
    return name == 0 || map.stringsReader().stringAt(name, out.name);
}

std::u16string placeName(Map::KvMap& map, std::uint32_t level, std::uint32_t offset) {
    PlaceRecord record;
    return readPlace(map, level, offset, record) ? record.name : std::u16string();
}

} // namespace Screens
