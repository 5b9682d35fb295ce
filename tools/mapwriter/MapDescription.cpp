#include "tools/mapwriter/MapDescription.h"

#include "core/Text.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace MapWriting {

std::uint32_t StringTable::add(const std::u16string& text) {
    if (text.empty())
        return 0;
    auto found = m_ids.find(text);
    if (found != m_ids.end())
        return found->second;
    m_texts.push_back(text);
    m_dataOffsets.push_back(m_dataLength);
    m_dataLength += static_cast<std::uint32_t>(2 * (text.size() + 1));
    const auto id = static_cast<std::uint32_t>(m_texts.size());
    m_ids.emplace(text, id);
    return id;
}

std::uint32_t StringTable::add(std::string_view utf8) { return add(Core::utf8ToWide(utf8)); }

const std::u16string& StringTable::text(std::uint32_t id) const {
    static const std::u16string empty;
    if (id == 0)
        return empty;
    if (id > m_texts.size())
        throw std::invalid_argument("string id beyond the table");
    return m_texts[id - 1];
}

std::uint32_t StringTable::offsetOf(std::uint32_t id) const {
    if (id == 0)
        return 0;
    if (id > m_texts.size())
        throw std::invalid_argument("string id beyond the table");
    return m_dataOffsets[id - 1] + 8;
}

std::uint32_t StringTable::dataLength() const { return m_dataLength; }

std::uint32_t AddressBuilder::addCountry(std::uint32_t name) {
    countries.push_back(name);
    return static_cast<std::uint32_t>(4 + 4 * (countries.size() - 1));
}

std::uint32_t AddressBuilder::addRegion(std::uint32_t name, std::uint32_t country) {
    regions.push_back({name, country});
    return static_cast<std::uint32_t>(4 + 8 * (regions.size() - 1));
}

std::uint32_t AddressBuilder::addDistrict(std::uint32_t name, std::uint32_t country, std::uint32_t region) {
    districts.push_back({name, country, region});
    return static_cast<std::uint32_t>(4 + 12 * (districts.size() - 1));
}

std::uint32_t AddressBuilder::addCity(std::uint32_t name, std::uint32_t country, std::uint32_t region,
                                      std::uint32_t district, std::int32_t x, std::int32_t y) {
    cities.push_back({{name, country, region, district}, x, y});
    return static_cast<std::uint32_t>(4 + 28 * (cities.size() - 1));
}

std::uint32_t AddressBuilder::addStreet(std::uint32_t name, std::uint32_t country, std::uint32_t region,
                                        std::uint32_t district, std::uint32_t city, std::int32_t x, std::int32_t y) {
    streets.push_back({{name, country, region, district, city}, x, y, 0, {}});
    return static_cast<std::uint32_t>(4 + 39 * (streets.size() - 1));
}

namespace {

void widen(std::uint32_t& extent, std::int32_t cx, std::int32_t cy, std::int32_t x, std::int32_t y) {
    const std::int64_t d = std::max(std::llabs(std::int64_t(x) - cx), std::llabs(std::int64_t(y) - cy));
    extent = static_cast<std::uint32_t>(std::min<std::int64_t>(std::max<std::int64_t>(extent, d), 0xFFFFFFFF));
}

} // namespace

void AddressBuilder::extendStreet(std::uint32_t street, std::int32_t x, std::int32_t y) {
    Street& s = streets.at((street - 4) / 39);
    widen(s.extent, s.x, s.y, x, y);
}

void AddressBuilder::extendCity(std::uint32_t city, std::int32_t x, std::int32_t y) {
    City& c = cities.at((city - 4) / 28);
    widen(c.extent, c.x, c.y, x, y);
}

std::uint32_t AddressBuilder::addObject(const ObjectDescription& object) {
    const std::uint32_t offset = m_objectBytes;
    objects.push_back(object);
    objectOffsets.push_back(offset);
    std::uint32_t words = 0;
    for (const auto* word : {&object.text5, &object.text4, &object.text6, &object.text7, &object.text8,
                             &object.number4})
        words += word->has_value() ? 1 : 0;
    m_objectBytes += 27 + 4 * words;
    return offset;
}

std::uint32_t AddressBuilder::addHouse(std::uint32_t street, std::uint32_t number, std::int32_t x, std::int32_t y,
                                       std::uint32_t addressText) {
    if (street < 4 || (street - 4) % 39 != 0 || (street - 4) / 39 >= streets.size())
        throw std::invalid_argument("house of an unknown street");
    Street& s = streets[(street - 4) / 39];
    ObjectDescription house;
    house.name = number;
    house.city = s.refs[4];
    house.street = street;
    house.type = HouseType;
    house.addressText = addressText;
    house.x = x;
    house.y = y;
    const std::uint32_t offset = addObject(house);
    s.houses.push_back(offset);
    return offset;
}

std::array<std::uint8_t, 3> RoadAttributes::bytes() const {
    if (routingClass > 7 || quality > 4 || turnCode > 29)
        throw std::invalid_argument("road attribute out of range");
    const std::uint8_t first = static_cast<std::uint8_t>(routingClass | (toll ? 0x08 : 0) | (twoWay ? 0x10 : 0) |
                                                         (unpaved ? 0x20 : 0) | (roundabout ? 0x40 : 0) |
                                                         (forbidden ? 0x80 : 0));
    return {first, access, static_cast<std::uint8_t>(quality | (turnCode << 3))};
}

} // namespace MapWriting
