// Thousands of damaged copies of a fixture map go through every reader
// operation: nothing may crash, hang, read outside its bytes (the sanitizer
// build checks that), or hand the road-map builder an id beyond its counts.
// The seed can be changed with MIREL_TEST_SEED, the number of copies with
// MIREL_MUTATION_ROUNDS.

#include "map/file/FormatError.h"
#include "tests/map/MapReaderWalk.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

using TestSupport::Damage;

std::uint32_t wordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Fields whose damage reaches deepest: the header words, each section's
// first bytes and the routing header's counts.
std::vector<std::size_t> structuralFields(const std::vector<std::uint8_t>& original) {
    std::vector<std::size_t> fields;
    for (std::size_t at = 0; at < 48; at += 4)
        fields.push_back(at);
    for (int word : {1, 4, 5, 6, 7, 8, 9})
        for (std::size_t delta : {0, 1, 4, 5, 9, 13, 17, 21, 25, 29, 33})
            fields.push_back(wordAt(original, 4 * word) + delta);
    const std::uint32_t directory = wordAt(original, 36);
    for (std::size_t k = 0; k < 4 + 12 * 3; k += 4)
        fields.push_back(directory + k);
    return fields;
}

// Damages the originals in turn at their fields; every map that still opens
// is walked. Returns how many opened.
template <typename Walk>
std::uint64_t damageAndWalk(const std::vector<std::vector<std::uint8_t>>& originals,
                            const std::vector<std::vector<std::size_t>>& fields, std::uint64_t rounds,
                            std::uint64_t seed, Walk walk) {
    Damage damage(20261206);
    std::mt19937_64 random(seed);
    std::uint64_t opened = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        MapTest::OpenedMap map;
        try {
            map = MapTest::openMap(damage.apply(originals[round % originals.size()], fields[round % fields.size()]));
        } catch (const Map::File::FormatError&) {
            continue;
        }
        ++opened;
        walk(map, random);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "round " << round;
            break;
        }
    }
    return opened;
}

} // namespace

TEST(MapMutation, DamagedSearchSectionsNeverCrashTheReaders) {
    const MapWriting::WrittenMap written = MapWriting::writeMap(MapTest::searchableMap());
    const std::uint64_t rounds = Damage::rounds(10000);
    std::vector<std::size_t> fields = structuralFields(written.bytes);
    for (const MapWriting::DirectoryEntry& e : written.directory)
        if (e.type == 17 || e.type == 18)
            for (std::size_t at = e.offset; at < e.offset + e.size; at += 2)
                fields.push_back(at);
    std::uint64_t searched = 0;
    damageAndWalk({written.bytes}, {fields}, rounds, 20261208, [&](MapTest::OpenedMap& map, std::mt19937_64& random) {
        searched += map.textSearch && map.spatialSearch ? 1 : 0;
        MapTest::walkSearch(map, random);
    });
    EXPECT_GT(searched, rounds / 4);
}

TEST(MapMutation, DamagedMapsNeverCrashTheReaders) {
    // The sample map, and the same map in the vertex layout of the graph.
    const std::vector<std::vector<std::uint8_t>> originals = {MapWriting::writeMap(MapTest::sampleMap()).bytes,
                                                              MapWriting::writeMap(MapTest::vertexLayoutMap()).bytes};
    const std::uint64_t rounds = Damage::rounds(20000);
    const std::uint64_t opened =
        damageAndWalk(originals, {structuralFields(originals[0]), structuralFields(originals[1])}, rounds, 20261207,
                      [](MapTest::OpenedMap& map, std::mt19937_64& random) {
                          EXPECT_EQ(MapTest::walkReaders(map, random), 0);
                      });
    // Most damage leaves a map that still opens, so the readers themselves
    // see the damage.
    EXPECT_GT(opened, rounds / 5);
}

// The same damage on a real town: the Monaco map the build writes, with its
// many cells, long house lists and large search sections (fewer rounds: each
// copy is a large file).
TEST(MapMutation, DamagedMonacoMapNeverCrashesTheReaders) {
    std::ifstream in(std::filesystem::path(MIREL_MONACO_ATLAS_DIR) / "monaco.kvm", std::ios::binary);
    const std::vector<std::uint8_t> original{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(original.size(), 100000u);
    const std::uint64_t rounds = Damage::rounds(20000) / 40;
    std::vector<std::size_t> fields = structuralFields(original);
    const std::uint32_t directory = wordAt(original, 36);
    for (std::uint32_t k = 0; k < wordAt(original, directory); ++k) {
        const std::size_t entry = directory + 4 + 12 * std::size_t{k};
        const std::uint32_t offset = wordAt(original, entry + 4);
        for (std::size_t at = offset; at < offset + std::min<std::uint32_t>(wordAt(original, entry + 8), 4096); at += 4)
            fields.push_back(at);
    }
    const std::uint64_t opened =
        damageAndWalk({original}, {fields}, rounds, 20261209, [](MapTest::OpenedMap& map, std::mt19937_64& random) {
            EXPECT_EQ(MapTest::walkReaders(map, random), 0);
            MapTest::walkSearch(map, random);
        });
    EXPECT_GT(opened, rounds / 4);
}

TEST(MapMutation, UndamagedMapReadsCleanly) {
    MapTest::OpenedMap map = MapTest::openMap(MapWriting::writeMap(MapTest::sampleMap()).bytes);
    std::mt19937_64 random(1);
    EXPECT_EQ(MapTest::walkReaders(map, random), 0);
    MapTest::RecordingBuilder builder;
    EXPECT_EQ(map.routing->loadGraph(builder), Map::File::RoutingSectionReader::Loaded);
}

TEST(MapMutation, UndamagedSearchSectionsAnswer) {
    MapTest::OpenedMap map = MapTest::openMap(MapWriting::writeMap(MapTest::searchableMap()).bytes);
    ASSERT_TRUE(map.textSearch);
    ASSERT_TRUE(map.spatialSearch);
    std::mt19937_64 random(1);
    MapTest::walkSearch(map, random);
    Map::ItemsGroup group;
    ASSERT_TRUE(map.textSearch->findGroup(1, u"street", group));
    std::vector<Map::TextSearchItem> items;
    ASSERT_TRUE(map.textSearch->readItems(1, group, items));
    ASSERT_EQ(items.size(), 1u);
    std::u16string text;
    ASSERT_TRUE(map.strings->string(items[0].secondNameId, text));
    EXPECT_EQ(text, u", Main");
    std::vector<Map::ItemsGroup> groups;
    ASSERT_TRUE(map.textSearch->findPoiGroups(u"caf", {42}, groups));
    ASSERT_EQ(groups.size(), 1u);
    MapTest::NearestFew one(1, UINT64_MAX);
    EXPECT_TRUE(map.spatialSearch->nearest(one, {1105, 2105}, {42}));
    EXPECT_EQ(one.visits, 1u);
    MapTest::NearestFew houses(10, UINT64_MAX);
    EXPECT_TRUE(map.spatialSearch->nearestUntyped(houses, {0, 0}));
    EXPECT_EQ(houses.visits, 3u);
}
