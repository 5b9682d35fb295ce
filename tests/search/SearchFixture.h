#pragma once
// Helpers of the search tests: maps described by their places and names,
// written by the project's map writer (text-search keys from every word of
// a name, spatial trees over POIs and houses), opened as KvMap objects over
// the map file container, and an atlas folder of such maps.

#include "core/ResourcesPool.h"
#include "map/KvMap.h"
#include "map/MapSet.h"
#include "map/file/MapFile.h"
#include "search/ResultItem.h"
#include "tests/support/TempDir.h"
#include "tools/mapwriter/MapDescription.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace SearchTest {

struct MapContent {
    std::u16string country = u"Demoland";
    std::u16string region = u"Westshire";
    std::vector<std::u16string> moreCountries; // after the first, without regions
    std::vector<std::u16string> moreRegions;   // after the first, of the first country
    std::u16string district = u"Linden District";
    struct City {
        std::u16string name;
        std::int32_t x = 0, y = 0;
    };
    struct Street {
        std::u16string name;
        std::uint32_t city = 0; // index into cities
        int houses = 0;         // numbered "1", "2", ...
    };
    struct Poi {
        std::u16string name;
        std::uint16_t type = 0;
        std::uint32_t city = 0;
        int street = -1; // index into streets, -1 none
        std::int32_t x = 0, y = 0;
        std::u16string address;
    };
    std::vector<City> cities;
    std::vector<Street> streets;
    std::vector<Poi> pois;
    // Replaces the section made from the names (raw trees for the file
    // tests).
    std::optional<MapWriting::TextSearchDescription> text;
};

MapWriting::MapDescription describe(const MapContent& content);
void writeMap(const std::filesystem::path& file, const MapContent& content);

// A map file opened as the search sees a map.
class FixtureMap : public Map::KvMap {
  public:
    FixtureMap(Core::ResourcesPool& pool, const std::filesystem::path& file);
    const std::u16string& filePath() const override { return m_path; }
    const std::u16string& sourceName() const override { return m_name; }
    Map::File::StringsSectionReader& stringsReader() override { return m_file.strings(); }
    Map::File::GeometrySectionReader& geometryReader() override { return m_file.geometry(); }
    Map::File::AddressSectionReader& addressReader() override { return m_file.address(); }
    Map::File::RoutingSectionReader& routingReader() override { return m_file.routing(); }
    Map::File::TextSearchSectionReader& textSearchReader() override { return m_file.textSearch(); }
    Map::File::SpatialSearchSectionReader& spatialSearchReader() override { return m_file.spatialSearch(); }

  private:
    std::u16string m_path;
    std::u16string m_name;
    Map::File::MapFile m_file;
};

// An atlas folder of written maps ("m00.kvm", "m01.kvm", ...) opened into a
// map set in file order.
struct FixtureAtlas {
    explicit FixtureAtlas(const std::vector<MapContent>& contents);
    // Opens the maps again (after a file changed).
    void reopen();
    std::u16string folder() const;
    std::filesystem::path file(std::size_t map) const;

    TestSupport::TempDir dir;
    Core::ResourcesPool pool{20};
    std::vector<std::unique_ptr<FixtureMap>> maps;
    Map::MapSet set;
    std::size_t count = 0;
};

// Random names of one to three words over Latin and Cyrillic syllables,
// capitalised, so that folding matters.
std::u16string randomName(std::mt19937& random);
// Random places: `cities` cities, streets and POIs of POI types 1..4 in
// them, names from randomName.
MapContent randomContent(std::mt19937& random, int cities, int streets, int pois);

// The seed of the randomised tests; MIREL_TEST_SEED overrides it.
std::uint32_t seed(std::uint32_t fallback);

std::u16string wide(const std::filesystem::path& path);

// A result row as one comparable line: text, detail and its objects.
std::string rowText(const TextSearch::ResultItem& row);

// The words the search enters for a name (the whole name when the
// splitter keeps none).
std::vector<std::u16string> wordsOf(const std::u16string& name);

} // namespace SearchTest
