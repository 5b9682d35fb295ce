#include "map/file/AddressSectionReader.h"

#include "map/file/FormatError.h"
#include "tests/map/MapFixture.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Map::File;
using MapTest::ByteBuilder;

namespace {

// Tables at 28, 36, 48, 52, 56, 99; list pool at 165.
std::vector<std::uint8_t> handAddress() {
    ByteBuilder b;
    b.u32(28).u32(36).u32(48).u32(52).u32(56).u32(99).u32(165);
    b.u32(1).u32(0x100);
    b.u32(1).u32(0x102).u32(4);
    b.u32(0);
    b.u32(0);
    b.u32(1).u32(0x200).u32(4).u32(4).u32(0).u32(0).u32(0).u32(static_cast<std::uint32_t>(-5)).u32(7);
    b.u32(4).u16(2).u8(0);
    b.u32(2);
    b.u32(0x300).u32(0).u32(4).u16(42).u32(0x310).u32(1).u32(static_cast<std::uint32_t>(-2)).u8(0x84);
    b.u32(0x320).u32(9);
    b.u32(0x330).u32(0).u32(0).u16(7).u32(0).u32(3).u32(4).u8(0);
    b.u32(0xDEAD).u32(4).u32(39);
    return b.bytes;
}

std::string openError(std::vector<std::uint8_t> bytes, std::uint16_t version = 1) {
    try {
        AddressSectionReader reader(version, std::make_shared<MemoryView>(std::move(bytes)), 0);
    } catch (const FormatError& e) {
        return e.what();
    }
    return "opened";
}

void setWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

TEST(AddressSectionReader, ReadsHandWrittenTables) {
    auto bytes = handAddress();
    ASSERT_EQ(bytes.size(), 177u);
    auto view = std::make_shared<MemoryView>(bytes);
    AddressSectionReader reader(1, view, 5000);
    EXPECT_EQ(reader.fileOffset(), 5000u);
    AddressHeader header;
    ASSERT_TRUE(reader.header(header));
    EXPECT_EQ(header.tables[5], 99u);
    EXPECT_EQ(header.listPool, 165u);
    EXPECT_EQ((std::vector<std::uint32_t>{reader.countryCount(), reader.regionCount(), reader.districtCount(),
                                          reader.streetCount(), reader.objectCount(), reader.count(6)}),
              (std::vector<std::uint32_t>{1, 1, 0, 1, 2, 0}));

    CountryRecord country;
    ASSERT_TRUE(reader.readCountry(4, country));
    EXPECT_EQ(country.name, 0x100u);
    EXPECT_FALSE(reader.readCountry(0, country)); // 0 is "none", not a record
    RegionRecord region;
    ASSERT_TRUE(reader.readRegion(4, region));
    EXPECT_EQ(region.country, 4u);
    StreetRecord street;
    ASSERT_TRUE(reader.readStreet(4, street));
    EXPECT_EQ(std::make_tuple(street.name, street.x, street.y, street.houseList, street.houseCount),
              std::make_tuple(0x200u, -5, 7, 4u, 2));

    // Flags 0x84 add two words: text 5, then number 4.
    ObjectRecord object;
    ObjectExtras extras;
    ASSERT_TRUE(reader.readObjectWithExtras(4, object, extras));
    EXPECT_EQ(std::make_tuple(object.name, object.street, object.type, object.addressText, object.y, object.flags),
              std::make_tuple(0x300u, 4u, 42, 0x310u, -2, 0x84));
    EXPECT_EQ(std::make_tuple(extras.words[0], extras.words[1], extras.words[5]), std::make_tuple(0x320u, 0u, 9u));
    ASSERT_TRUE(reader.readObjectWithExtras(39, object, extras));
    EXPECT_EQ(object.name, 0x330u);
    EXPECT_EQ(extras.words[0], 0u);

    std::vector<std::uint32_t> list{1, 2, 3};
    ASSERT_TRUE(reader.readList(street.houseList, street.houseCount, list));
    EXPECT_EQ(list, (std::vector<std::uint32_t>{4, 39}));
    ASSERT_TRUE(reader.readList(0, 0, list));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(reader.readList(12, 0, list));
    EXPECT_FALSE(reader.readList(4, 3, list)); // one value past the end
    EXPECT_FALSE(reader.readList(0, 0xFFFFFFFF, list));

    // Records that would pass the section end are refused.
    EXPECT_TRUE(reader.readObject(51, object)); // object records are bounded by the section only
    EXPECT_FALSE(reader.readObject(52, object));
    EXPECT_FALSE(reader.readCountry(8, country)); // past the one counted country
    EXPECT_FALSE(reader.readCity(4, *std::make_unique<CityRecord>()));
    EXPECT_FALSE(reader.readStreet(0xFFFFFFF0, street));
    EXPECT_FALSE(reader.readDistrict(4, *std::make_unique<DistrictRecord>()));

    view->setAvailable(false);
    EXPECT_FALSE(reader.readCountry(4, country));
    EXPECT_FALSE(reader.readList(0, 0, list));
    EXPECT_FALSE(reader.header(header));
}

TEST(AddressSectionReader, ChecksEveryOffsetWhenOpened) {
    EXPECT_EQ(openError(handAddress(), 0), "Unknown address section version");
    EXPECT_EQ(openError(std::vector<std::uint8_t>(27, 0)), "Section is too small");
    // Table 3's count past the end, 2^30 cities in 120 bytes, the list pool
    // past the end, a wrapping first offset.
    const std::pair<std::size_t, std::uint32_t> broken[] = {{12, 175}, {52, 0x40000000}, {24, 178}, {0, 0xFFFFFFFE}};
    for (const auto& [at, value] : broken) {
        auto bytes = handAddress();
        setWord(bytes, at, value);
        EXPECT_EQ(openError(bytes), "Section is too small") << at;
    }
}

TEST(AddressSectionReader, RoundTripsStreetsHousesAndObjects) {
    const MapWriting::MapDescription map = MapTest::sampleMap();
    MapTest::OpenedMap opened = MapTest::openMap(MapWriting::writeMap(map).bytes);
    AddressSectionReader& reader = *opened.address;
    EXPECT_EQ((std::vector<std::uint32_t>{reader.countryCount(), reader.cityCount(), reader.streetCount(),
                                          reader.objectCount()}),
              (std::vector<std::uint32_t>{1, 1, 2, 4}));

    std::u16string text;
    CityRecord city;
    ASSERT_TRUE(reader.readCity(4, city));
    ASSERT_TRUE(opened.strings->stringAt(city.name, text));
    EXPECT_EQ(text, u"Seaton");
    EXPECT_EQ(city.x, 1000);
    DistrictRecord district;
    ASSERT_TRUE(reader.readDistrict(city.district, district));
    ASSERT_TRUE(opened.strings->stringAt(district.name, text));
    EXPECT_EQ(text, u"Harbour");

    StreetRecord street;
    ASSERT_TRUE(reader.readStreet(4, street));
    ASSERT_TRUE(opened.strings->stringAt(street.name, text));
    EXPECT_EQ(text, u"Main Street");
    EXPECT_EQ(street.city, 4u);
    ASSERT_EQ(street.houseCount, 3);
    std::vector<std::uint32_t> houses;
    ASSERT_TRUE(reader.readList(street.houseList, street.houseCount, houses));
    const std::u16string numbers[] = {u"1", u"2", u"3a"};
    for (std::size_t i = 0; i < houses.size(); ++i) {
        ObjectRecord house;
        ASSERT_TRUE(reader.readObject(houses[i], house));
        EXPECT_EQ(house.type, HouseType);
        EXPECT_EQ(house.street, 4u);
        EXPECT_EQ(house.city, 4u);
        ASSERT_TRUE(opened.strings->stringAt(house.name, text));
        EXPECT_EQ(text, numbers[i]);
    }
    ObjectRecord first;
    ASSERT_TRUE(reader.readObject(houses[0], first));
    ASSERT_TRUE(opened.strings->stringAt(first.addressText, text));
    EXPECT_EQ(text, u"Main Street 1");
    StreetRecord other;
    ASSERT_TRUE(reader.readStreet(4 + 39, other));
    EXPECT_EQ(other.houseCount, 0);

    // The POI sits between the second and third house: 2 x 27 bytes in.
    ObjectRecord poi;
    ObjectExtras extras;
    ASSERT_TRUE(reader.readObjectWithExtras(4 + 2 * 27, poi, extras));
    EXPECT_EQ(poi.type, 42);
    EXPECT_EQ(poi.flags, 0x84);
    ASSERT_TRUE(opened.strings->stringAt(extras.words[0], text));
    EXPECT_EQ(text, u"+1 555 0100");
    EXPECT_EQ(extras.words[5], 9u);
    EXPECT_EQ(houses[2], 4u + 3 * 27 + 8);
}
