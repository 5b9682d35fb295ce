// The Monaco atlas that the build writes from the OpenStreetMap extract:
// written the same every time, opened without a logged error, and its
// addresses found by the map's own readers where the extract puts them.

#include "core/Config.h"
#include "core/Text.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "map/ObjectAddress.h"
#include "map/Projection.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/TextSearchSectionReader.h"
#include "tests/map/AtlasFixture.h"
#include "tests/map/MapFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tools/mapwriter/MapWriter.h"
#include "tools/osm-atlas/OsmAtlas.h"

#include "tests/support/OsmExtract.h"

#include <osmium/handler.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

namespace {

const std::filesystem::path Extract = std::filesystem::path(MIREL_SOURCE_DIR) / "data/sources/monaco.osm.pbf";
const std::filesystem::path Built = MIREL_MONACO_ATLAS_DIR;


std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(OsmAtlas, SameBytesEveryTimeAndTheBuildsAtlasOpens) {
    const std::vector<std::uint8_t> first = MapWriting::writeMap(OsmAtlas::import(Extract).map).bytes;
    EXPECT_EQ(MapWriting::writeMap(OsmAtlas::import(Extract).map).bytes, first);
    EXPECT_EQ(fileBytes(Built / "monaco.kvm"), first);

    AtlasTest::AtlasSetup setup;
    TestSupport::CaptureLogger log;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(Built))));
    for (const std::string& line : log.lines())
        EXPECT_EQ(line.find("rror"), std::string::npos) << line;
    ASSERT_EQ(atlas->mapCount(), 1u);
    Map::KVMap2& monaco = *atlas->mapAt(0);
    EXPECT_EQ(monaco.mapType(), Map::CityMap);
    // The licence asks that the map credits its makers.
    MapTest::OpenedMap opened = MapTest::openMap(first);
    std::u16string copyright;
    ASSERT_TRUE(opened.copyright != nullptr && opened.copyright->text(copyright));
    EXPECT_NE(copyright.find(u"\u00a9 OpenStreetMap contributors"), std::u16string::npos);
}

// The first run's configuration names the Monaco atlas the way the engine
// finds it: the "atlas" value, taken through the data folder, is the path of
// the folder list's Monaco record.
TEST(OsmAtlas, FirstRunConfigurationChoosesMonaco) {
    TestSupport::TempDir program;
    std::filesystem::create_directories(program.path() / "data/maps/demo");
    std::filesystem::create_directories(program.path() / "data/maps/monaco");
    Core::Config config;
    ASSERT_TRUE(
        config.load(AtlasTest::wide(std::filesystem::path(MIREL_SOURCE_DIR) / "data/config.default.xml")));
    std::string atlas;
    ASSERT_TRUE(config.root()->get("atlas", atlas));
    const Map::FolderPaths paths(AtlasTest::wide(program.path()));
    const Map::AtlasFolderList folders(paths, paths.dataPath(Core::utf8ToWide(atlas)));
    ASSERT_EQ(folders.records().size(), 2u);
    ASSERT_EQ(folders.current(), 1u);
    EXPECT_EQ(folders.records()[1].name, u"monaco");
}

struct Address {
    std::string street;
    std::string number;
    double lat = 0;
    double lon = 0;
};

// Every addr:street + addr:housenumber of the extract, at the node or at the
// mean of the outline's corners.
class Addresses : public osmium::handler::Handler {
  public:
    void node(const osmium::Node& node) { add(node.tags(), node.location().lat(), node.location().lon()); }
    void way(const osmium::Way& way) {
        double lat = 0, lon = 0;
        std::size_t n = way.nodes().size() - (way.is_closed() ? 1 : 0);
        for (std::size_t i = 0; i < n; ++i) {
            lat += way.nodes()[i].location().lat() / static_cast<double>(n);
            lon += way.nodes()[i].location().lon() / static_cast<double>(n);
        }
        add(way.tags(), lat, lon);
    }
    std::vector<Address> found;

  private:
    void add(const osmium::TagList& tags, double lat, double lon) {
        if (tags["addr:street"] && tags["addr:housenumber"])
            found.push_back({tags["addr:street"], tags["addr:housenumber"], lat, lon});
    }
};

double metres(double lat1, double lon1, double lat2, double lon2) {
    const double rad = std::acos(-1.0) / 180;
    return 6371008.8 * std::hypot((lon2 - lon1) * rad * std::cos(lat1 * rad), (lat2 - lat1) * rad);
}

TEST(OsmAtlas, SampledAddressesAreFoundAtTheirPlace) {
    Addresses addresses;
    TestSupport::readOsmExtract(Extract, addresses);
    ASSERT_GE(addresses.found.size(), 20u);

    AtlasTest::AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(Built))));
    Map::KVMap2& monaco = *atlas->mapAt(0);
    Map::File::AddressSectionReader& address = monaco.addressReader();
    const char* seedText = std::getenv("MIREL_TEST_SEED");
    std::mt19937_64 random(seedText ? std::strtoull(seedText, nullptr, 10) : 26);
    std::shuffle(addresses.found.begin(), addresses.found.end(), random);
    for (std::size_t k = 0; k < 20; ++k) {
        const Address& wanted = addresses.found[k];
        SCOPED_TRACE(wanted.street + " " + wanted.number);
        // The street by the first word of its name, as a person types it
        // (the search folds it as the keys are stored).
        const std::u16string street = Core::utf8ToWide(wanted.street);
        Map::ItemsGroup group;
        std::u16string typed = street.substr(0, street.find(u' '));
        std::transform(typed.begin(), typed.end(), typed.begin(),
                       [](char16_t c) { return Core::toLower(c); });
        ASSERT_TRUE(monaco.textSearchReader().findGroup(1, typed, group));
        std::vector<Map::TextSearchItem> items;
        ASSERT_TRUE(monaco.textSearchReader().readItems(1, group, items));
        double nearest = 1e9;
        for (const Map::TextSearchItem& item : items) {
            Map::File::StreetRecord record;
            std::u16string name;
            ASSERT_TRUE(address.readStreet(item.objectOffset, record));
            ASSERT_TRUE(monaco.stringsReader().stringAt(record.name, name));
            std::vector<std::uint32_t> houses;
            if (name != street || !address.readList(record.houseList, record.houseCount, houses)) continue;
            for (const std::uint32_t house : houses) {
                Map::ObjectAddress found;
                ASSERT_TRUE(Map::readObjectAddress(monaco, house, found));
                if (found.texts[0] != Core::utf8ToWide(wanted.number)) continue;
                EXPECT_EQ(found.texts[2], street);
                const Map::GeoPoint at = Map::Projection::toGeo(
                    {static_cast<std::int32_t>(found.number2), static_cast<std::int32_t>(found.number3)});
                nearest = std::min(nearest, metres(wanted.lat, wanted.lon, at.latitude, at.longitude));
            }
        }
        EXPECT_LT(nearest, 5.0);
    }
}

} // namespace
