// Thousands of damaged copies of a fixture map go through every reader
// operation: nothing may crash, hang, read outside its bytes (the sanitizer
// build checks that), or hand the road-map builder an id beyond its counts.
// The seed can be changed with MIREL_TEST_SEED, the number of copies with
// MIREL_MUTATION_ROUNDS.

#include "map/file/FormatError.h"
#include "tests/map/MapReaderWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtoull(text, nullptr, 10) : fallback;
}

std::uint32_t wordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void putWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4 && at + i < b.size(); ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

class Mutator {
public:
    Mutator(const std::vector<std::uint8_t>& original, std::uint64_t seed) : m_original(original), m_random(seed) {
        // Fields whose damage reaches deepest: the header words, each
        // section's first bytes and the routing header's counts.
        for (std::size_t at = 0; at < 48; at += 4)
            m_fields.push_back(at);
        for (int word : {1, 4, 5, 6, 7, 8, 9})
            for (std::size_t delta : {0, 1, 4, 5, 9, 13, 17, 21, 25, 29, 33})
                m_fields.push_back(wordAt(original, 4 * word) + delta);
        const std::uint32_t directory = wordAt(original, 36);
        for (std::size_t k = 0; k < 4 + 12 * 3; k += 4)
            m_fields.push_back(directory + k);
    }

    // More structural fields: every `step` bytes of [from, to).
    void addFields(std::size_t from, std::size_t to, std::size_t step) {
        for (std::size_t at = from; at < to; at += step)
            m_fields.push_back(at);
    }

    std::vector<std::uint8_t> next() {
        std::vector<std::uint8_t> bytes = m_original;
        const int kind = pick(5);
        const int rounds = 1 + pick(4);
        for (int r = 0; r < rounds && !bytes.empty(); ++r) {
            switch (kind) {
            case 0: // flipped bytes
                bytes[pick(bytes.size())] = static_cast<std::uint8_t>(pick(256));
                break;
            case 1: // truncation
                bytes.resize(pick(bytes.size()));
                break;
            case 2: { // a huge or odd number anywhere
                static constexpr std::uint32_t values[] = {0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0xFFFF, 0x10000,
                                                           0xFFFFFF, 0, 1, 0x40000000};
                putWord(bytes, pick(bytes.size()), values[pick(std::size(values))]);
                break;
            }
            case 3: { // a structural field set to a small or huge number
                const std::size_t at = m_fields[pick(m_fields.size())];
                if (at + 4 <= bytes.size())
                    putWord(bytes, at, pick(2) ? static_cast<std::uint32_t>(pick(300))
                                                : static_cast<std::uint32_t>(m_random()));
                break;
            }
            default: // a flipped bit in a structural field
                if (const std::size_t at = m_fields[pick(m_fields.size())] + pick(4); at < bytes.size())
                    bytes[at] ^= static_cast<std::uint8_t>(1 << pick(8));
                break;
            }
        }
        return bytes;
    }

private:
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }

    const std::vector<std::uint8_t>& m_original;
    std::mt19937_64 m_random;
    std::vector<std::size_t> m_fields;
};

} // namespace

TEST(MapMutation, DamagedSearchSectionsNeverCrashTheReaders) {
    const MapWriting::WrittenMap written = MapWriting::writeMap(MapTest::searchableMap());
    const std::uint64_t seed = envNumber("MIREL_TEST_SEED", 20261206);
    const std::uint64_t rounds = envNumber("MIREL_MUTATION_ROUNDS", 10000);
    Mutator mutator(written.bytes, seed);
    for (const MapWriting::DirectoryEntry& e : written.directory)
        if (e.type == 17 || e.type == 18)
            mutator.addFields(e.offset, e.offset + e.size, 2);
    std::mt19937_64 random(seed + 2);
    std::uint64_t searched = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        std::vector<std::uint8_t> bytes = mutator.next();
        MapTest::OpenedMap map;
        try {
            map = MapTest::openMap(std::move(bytes));
        } catch (const Map::File::FormatError&) {
            continue;
        }
        searched += map.textSearch && map.spatialSearch ? 1 : 0;
        MapTest::walkSearch(map, random);
        if (HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", round " << round;
            return;
        }
    }
    EXPECT_GT(searched, rounds / 4);
}

TEST(MapMutation, DamagedMapsNeverCrashTheReaders) {
    // The sample map, and the same map in the vertex layout of the graph.
    const std::vector<std::uint8_t> originals[2] = {MapWriting::writeMap(MapTest::sampleMap()).bytes,
                                                    MapWriting::writeMap(MapTest::vertexLayoutMap()).bytes};
    const std::uint64_t seed = envNumber("MIREL_TEST_SEED", 20261206);
    const std::uint64_t rounds = envNumber("MIREL_MUTATION_ROUNDS", 20000);
    Mutator mutators[2] = {Mutator(originals[0], seed), Mutator(originals[1], seed + 2)};
    std::mt19937_64 random(seed + 1);
    std::uint64_t opened = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        std::vector<std::uint8_t> bytes = mutators[round % 2].next();
        MapTest::OpenedMap map;
        try {
            map = MapTest::openMap(std::move(bytes));
        } catch (const Map::File::FormatError&) {
            continue;
        }
        ++opened;
        EXPECT_EQ(MapTest::walkReaders(map, random), 0);
        if (HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", round " << round;
            return;
        }
    }
    // Most damage leaves a map that still opens, so the readers themselves
    // see the damage.
    EXPECT_GT(opened, rounds / 4);
    RecordProperty("opened", static_cast<int>(opened));
}

// The same damage on a real town: the Monaco map the build writes, with its
// many cells, long house lists and large search sections (fewer rounds: each
// copy is a large file).
TEST(MapMutation, DamagedMonacoMapNeverCrashesTheReaders) {
    std::ifstream in(std::filesystem::path(MIREL_MONACO_ATLAS_DIR) / "monaco.kvm", std::ios::binary);
    const std::vector<std::uint8_t> original{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(original.size(), 100000u);
    const std::uint64_t seed = envNumber("MIREL_TEST_SEED", 20261206);
    const std::uint64_t rounds = envNumber("MIREL_MUTATION_ROUNDS", 20000) / 40;
    Mutator mutator(original, seed);
    const std::uint32_t directory = wordAt(original, 36);
    for (std::uint32_t k = 0; k < wordAt(original, directory); ++k) {
        const std::size_t entry = directory + 4 + 12 * std::size_t{k};
        const std::uint32_t offset = wordAt(original, entry + 4);
        mutator.addFields(offset, offset + std::min<std::uint32_t>(wordAt(original, entry + 8), 4096), 4);
    }
    std::mt19937_64 random(seed + 3);
    std::uint64_t opened = 0;
    for (std::uint64_t round = 0; round < rounds; ++round) {
        MapTest::OpenedMap map;
        try {
            map = MapTest::openMap(mutator.next());
        } catch (const Map::File::FormatError&) {
            continue;
        }
        ++opened;
        EXPECT_EQ(MapTest::walkReaders(map, random), 0);
        MapTest::walkSearch(map, random);
        if (HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", round " << round;
            return;
        }
    }
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
