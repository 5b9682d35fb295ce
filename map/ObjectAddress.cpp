#include "map/ObjectAddress.h"

#include "map/KvMap.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/StringsSectionReader.h"

namespace Map {

bool readObjectAddress(KvMap& map, std::uint32_t recordOffset, ObjectAddress& out) {
    out.clear();
    if (recordOffset == 0) return true;
    File::AddressSectionReader& address = map.addressReader();
    File::ObjectRecord record;
    File::ObjectExtras extras;
    if (!address.readObjectWithExtras(recordOffset, record, extras)) return false;

    std::uint32_t cityName = 0;
    if (record.city != 0) {
        File::CityRecord city;
        if (!address.readCity(record.city, city)) return false;
        cityName = city.name;
    }
    std::uint32_t streetName = 0;
    if (record.street != 0) {
        File::StreetRecord street;
        if (!address.readStreet(record.street, street)) return false;
        streetName = street.name;
    }
    out.number1 = record.type;
    out.number2 = static_cast<std::uint32_t>(record.x);
    out.number3 = static_cast<std::uint32_t>(record.y);
    out.number4 = extras.words[5];

    File::StringsSectionReader& strings = map.stringsReader();
    const std::uint32_t firstTexts[4] = {record.name, cityName, streetName, record.addressText};
    for (int i = 0; i < 4; ++i) {
        if (!strings.stringAt(firstTexts[i], out.texts[i])) return false;
    }
    if (record.flags == 0) return true;
    // Flag bits 7, 6, 5, 4, 3 carry texts 5, 4, 6, 7, 8 in that order.
    static constexpr int TextOfWord[5] = {5, 4, 6, 7, 8};
    for (int i = 0; i < 5; ++i) {
        if (extras.words[i] != 0 && !strings.stringAt(extras.words[i], out.texts[TextOfWord[i]]))
            return false;
    }
    return true;
}

} // namespace Map
