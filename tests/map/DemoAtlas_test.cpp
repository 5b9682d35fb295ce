// The demo atlas the build writes beside the program opens completely.

#include "map/KVAtlas.h"
#include "map/file/TextSearchSectionReader.h"
#include "tests/map/AtlasFixture.h"
#include "tests/map/MapFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

using namespace AtlasTest;

namespace {

TEST(DemoAtlasTest, BuiltByTheBuildAndOpens) {
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(MIREL_DEMO_ATLAS_DIR) / "demo-town.kvm"));
    AtlasSetup setup;
    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(wide(setup.copyOf(MIREL_DEMO_ATLAS_DIR))));
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

    for (Map::KVMap2* map : {town, region, country})
        for (std::size_t i = 0; i < map->levelCount(); ++i)
            EXPECT_TRUE(map->level(i).loadIndex());

    // POIs are found by any word of their names, keys stored folded.
    Map::File::TextSearchSectionReader& search = town->textSearchReader();
    EXPECT_TRUE(search.hasPoi(u"central", {0x2A05}));
    EXPECT_TRUE(search.hasPoi(u"\u043a\u0430\u0444\u0435", {0x2A05}));
    EXPECT_FALSE(search.hasPoi(u"\u041a\u0430\u0444\u0435", {0x2A05}));

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
