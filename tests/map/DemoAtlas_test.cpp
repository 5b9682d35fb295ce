// The demo atlas the build writes beside the program opens completely.

#include "map/KVAtlas.h"
#include "map/ObjectAddress.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/TextSearchSectionReader.h"
#include "tests/map/AtlasFixture.h"
#include "tests/map/MapFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>

using namespace AtlasTest;

namespace {

TEST(DemoAtlasTest, BuiltByTheBuildAndOpens) {
    const std::filesystem::path folder = MIREL_DEMO_ATLAS_DIR;
    ASSERT_TRUE(std::filesystem::exists(folder / "demo-town.kvm")) << folder;
    AtlasSetup setup;
    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(folder)));
    for (const std::string& line : log.lines())
        EXPECT_EQ(line.find("Atlas error"), std::string::npos) << line;
    ASSERT_EQ(atlas->mapCount(), 3u);
    Map::KVMap2* country = atlas->mapAt(0);
    Map::KVMap2* region = atlas->mapAt(1);
    Map::KVMap2* town = atlas->mapAt(2);
    EXPECT_EQ(town->sourceName(), u"demo-town.kvm");
    EXPECT_EQ(town->mapType(), Map::CityMap);
    EXPECT_EQ(region->mapType(), Map::RegionMap);
    EXPECT_EQ(country->mapType(), Map::CountryMap);
    EXPECT_EQ(atlas->findMapById(1), town);

    // Detail levels from the town down to the country, each drawn at some
    // scale of the default table.
    EXPECT_EQ(town->level(0).coordinateBits(), 26);
    EXPECT_EQ(town->level(1).coordinateBits(), 23);
    EXPECT_EQ(region->level(0).coordinateBits(), 21);
    EXPECT_EQ(country->level(1).coordinateBits(), 15);
    EXPECT_EQ(atlas->levelForScale(20), 26);
    EXPECT_EQ(atlas->levelForScale(50000), 14);
    for (Map::KVMap2* map : {town, region, country})
        for (std::size_t i = 0; i < map->levelCount(); ++i)
            EXPECT_TRUE(map->level(i).loadIndex());

    // The camera starts on the country, the largest map.
    const Map::Level& c0 = country->level(0);
    EXPECT_EQ(static_cast<std::uint32_t>(atlas->camera().centreX) >>
                  (32 - c0.coordinateBits() + c0.cellShift()),
              c0.originX() + c0.width() / 2);

    // Streets with houses, and POIs with their addresses.
    Map::File::AddressSectionReader& address = town->addressReader();
    EXPECT_GE(address.streetCount(), 6u);
    Map::File::StreetRecord street;
    ASSERT_TRUE(address.readStreet(4, street));
    EXPECT_GT(street.houseCount, 10);
    std::vector<std::uint32_t> houses;
    ASSERT_TRUE(address.readList(street.houseList, street.houseCount, houses));
    Map::ObjectAddress house;
    ASSERT_TRUE(Map::readObjectAddress(*town, houses[0], house));
    EXPECT_EQ(house.texts[0], u"1");
    EXPECT_EQ(house.texts[1], u"Linden");
    EXPECT_EQ(house.texts[2], u"Main Street");
    int pois = 0;
    std::set<std::uint16_t> types;
    std::uint32_t offset = 4;
    for (std::uint32_t i = 0; i < address.objectCount(); ++i) {
        Map::File::ObjectRecord record;
        Map::File::ObjectExtras extras;
        ASSERT_TRUE(address.readObjectWithExtras(offset, record, extras));
        if (record.type != Map::File::HouseType) {
            ++pois;
            types.insert(record.type);
        }
        offset +=
            27 + 4 * static_cast<std::uint32_t>(std::popcount(static_cast<unsigned>(record.flags & 0xFC)));
    }
    EXPECT_GE(pois, 6);
    EXPECT_GE(types.size(), 5u);

    // Streets and POIs are found by any word of their names.
    Map::File::TextSearchSectionReader& search = town->textSearchReader();
    Map::ItemsGroup group;
    ASSERT_TRUE(search.findGroup(1, u"stat", group));
    std::vector<Map::TextSearchItem> items;
    ASSERT_TRUE(search.readItems(1, group, items));
    ASSERT_EQ(items.size(), 1u);
    Map::File::StreetRecord station;
    ASSERT_TRUE(address.readStreet(items[0].objectOffset, station));
    std::u16string name;
    ASSERT_TRUE(town->stringsReader().stringAt(station.name, name));
    EXPECT_EQ(name, u"Station Road");
    EXPECT_TRUE(search.hasPoi(u"central", {0x2A05}));
    EXPECT_FALSE(search.hasPoi(u"central", {0x2A00}));
    // Keys are stored folded, Cyrillic ones too ("кафе" of "Кафе Берёзка").
    EXPECT_TRUE(search.hasPoi(u"\u043a\u0430\u0444\u0435", {0x2A05}));
    EXPECT_FALSE(search.hasPoi(u"\u041a\u0430\u0444\u0435", {0x2A05}));
    ASSERT_TRUE(country->textSearchReader().findGroup(0, u"north", group));
    EXPECT_EQ(group.count, 1u);

    // The road graph has one-way streets and a roundabout.
    EXPECT_FALSE(town->routingReader().empty());
    MapTest::RecordingBuilder builder;
    ASSERT_EQ(town->routingReader().loadGraph(builder), Map::File::RoutingSectionReader::Loaded);
    bool oneWay = false, roundabout = false;
    for (const auto& segment : builder.segments) {
        oneWay = oneWay || (!segment.attributes.twoWay() && !segment.attributes.roundabout());
        roundabout = roundabout || segment.attributes.roundabout();
    }
    EXPECT_TRUE(oneWay);
    EXPECT_TRUE(roundabout);
    EXPECT_EQ(builder.violations, 0);
}

} // namespace
