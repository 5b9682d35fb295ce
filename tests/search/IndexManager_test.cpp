// Opening, building and trusting TextSearch.tsi, and the queries answered
// from it against the same queries answered map by map.

#include "core/Text.h"
#include "search/IndexManager.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <set>

using namespace SearchTest;
using TextSearch::EnabledMaps;
using TextSearch::IndexManager;

namespace {

std::string fileBytes(const FixtureAtlas& atlas) {
    return TestSupport::readAll(atlas.dir / "TextSearch.tsi");
}

TEST(TextSearchIndexManager, BuildsOnceAndRebuildsWhatItCannotTrust) {
    std::mt19937 random(seed(7));
    FixtureAtlas atlas({randomContent(random, 5, 8, 6), randomContent(random, 4, 6, 5)});
    // A file the atlas skipped as damaged is no map of the set: it does not
    // keep the index from being used.
    std::filesystem::copy_file(atlas.file(0), atlas.dir / "broken.kvm");
    IndexManager manager(atlas.set, [] { return 0u; });
    const auto tsi = atlas.dir / "TextSearch.tsi";
    using Lines = std::vector<std::string>;
    // What the load logged besides the folder listing's own line.
    auto load = [&](TestSupport::CaptureLogger& log) {
        EXPECT_TRUE(manager.load(atlas.pool, atlas.folder()));
        Lines lines;
        for (const std::string& line : log.lines())
            if (line.rfind("Iterating", 0) != 0) lines.push_back(line);
        return lines;
    };
    const Lines loaded{"Text search index loaded in 0 ms"};
    {
        TestSupport::CaptureLogger log(Log::Normal);
        EXPECT_EQ(load(log), loaded);
    }
    const std::string built = fileBytes(atlas);
    ASSERT_FALSE(built.empty());
    // Opened again, not rebuilt.
    const auto longAgo = std::filesystem::last_write_time(tsi) - std::chrono::hours(1);
    std::filesystem::last_write_time(tsi, longAgo);
    {
        TestSupport::CaptureLogger log(Log::Normal);
        EXPECT_EQ(load(log), loaded);
        EXPECT_EQ(std::filesystem::last_write_time(tsi), longAgo);
    }
    // A build stopped before its signature: refused, then built again.
    std::string torn = built;
    torn.replace(0, 4, std::string(4, '\0'));
    TestSupport::TempDir scratch;
    std::filesystem::copy_file(scratch.write("t", torn), tsi,
                               std::filesystem::copy_options::overwrite_existing);
    {
        TestSupport::CaptureLogger log(Log::Normal);
        EXPECT_EQ(load(log), (Lines{"Invalid text search index signature: 00000000", loaded[0]}));
        EXPECT_EQ(fileBytes(atlas), built);
    }
    // Deleted and built again: the same bytes.
    std::filesystem::remove(tsi);
    {
        TestSupport::CaptureLogger log(Log::Normal);
        load(log);
        EXPECT_EQ(fileBytes(atlas), built);
    }
    // A touched map makes the index stale: rebuilt without a complaint.
    std::filesystem::last_write_time(atlas.file(1), std::filesystem::last_write_time(atlas.file(1)) +
                                                        std::chrono::seconds(10));
    {
        TestSupport::CaptureLogger log(Log::Normal);
        EXPECT_EQ(load(log), loaded);
        EXPECT_NE(fileBytes(atlas), built);
        EXPECT_TRUE(manager.isOpen());
    }
    // Nowhere to write: searched map by map.
    std::filesystem::remove(tsi);
    std::filesystem::create_directory(tsi);
    {
        TestSupport::CaptureLogger log(Log::Normal);
        const Lines lines = load(log);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("Can't write into text search index '" + atlas.dir.path().string(), 0), 0u)
            << lines[0];
        EXPECT_NE(lines[0].find("TextSearch.tsi' (err "), std::string::npos) << lines[0];
        EXPECT_FALSE(manager.isOpen());
        TextSearch::ItemRanges found;
        EXPECT_TRUE(manager.findItems(0, u"", found, {1, 1}));
        EXPECT_EQ(found.size(), 2u);
    }
    // A map of the set whose file went away: no index at all.
    std::filesystem::remove(tsi);
    std::filesystem::remove(atlas.file(1));
    {
        TestSupport::CaptureLogger log(Log::Normal);
        EXPECT_FALSE(manager.load(atlas.pool, atlas.folder()));
        EXPECT_EQ(log.lines().size(), 1u); // the listing
        EXPECT_FALSE(manager.isOpen());
    }
}

// The items that ranges name, as (map, item) pairs.
std::set<std::pair<std::uint32_t, std::uint32_t>> itemsOf(const TextSearch::ItemRanges& ranges) {
    std::set<std::pair<std::uint32_t, std::uint32_t>> items;
    for (const Map::MappedGroup& r : ranges)
        for (std::uint32_t i = 0; i < r.group.count; ++i)
            items.insert({r.map, r.group.first + i});
    return items;
}

TEST(TextSearchIndexManager, IndexAndMapByMapGiveTheSameAnswers) {
    std::mt19937 random(seed(34));
    // Maps of different depths; one without streets, one without POIs, one
    // with nothing to search.
    FixtureAtlas atlas({randomContent(random, 20, 30, 20), randomContent(random, 15, 0, 10),
                        randomContent(random, 10, 25, 0), randomContent(random, 0, 0, 0),
                        randomContent(random, 25, 40, 30)});
    IndexManager indexed(atlas.set);
    TestSupport::CaptureLogger log;
    ASSERT_TRUE(indexed.load(atlas.pool, atlas.folder()));
    ASSERT_TRUE(indexed.isOpen());
    IndexManager mapByMap(atlas.set);
    const EnabledMaps all(5, 1);
    std::vector<std::u16string> words;
    for (int i = 0; i < 50; ++i) {
        std::u16string word = randomName(random);
        for (char16_t& c : word)
            c = Core::toLower(c);
        words.push_back(word.substr(0, word.find(u' ')));
    }
    for (int level = 0; level < 3; ++level)
        EXPECT_EQ(indexed.depth(level, all), mapByMap.depth(level, all)) << level;
    for (int round = 0; round < 300; ++round) {
        // One entry more than there are maps: a list kept from when there
        // were more; the entry past the last map is ignored.
        EnabledMaps enabled(6);
        for (auto& e : enabled)
            e = random() % 3 != 0;
        const int level = static_cast<int>(random() % 2);
        const std::uint32_t depth = indexed.depth(level, all);
        const std::u16string& word = words[random() % words.size()];
        const std::u16string prefix =
            word.substr(0, random() % (std::min<std::size_t>(depth, word.size()) + 1));
        TextSearch::PoiTypes types;
        for (std::uint16_t t = 1; t <= 4; ++t)
            if (random() % 2) types.push_back(t);
        SCOPED_TRACE(Core::wideToUtf8(prefix));
        EXPECT_EQ(indexed.hasItems(level, prefix, enabled), mapByMap.hasItems(level, prefix, enabled));
        EXPECT_EQ(indexed.hasTypedItems(prefix, types, enabled),
                  mapByMap.hasTypedItems(prefix, types, enabled));
        TextSearch::ItemRanges a, b;
        ASSERT_TRUE(indexed.findItems(level, prefix, a, enabled));
        ASSERT_TRUE(mapByMap.findItems(level, prefix, b, enabled));
        EXPECT_EQ(itemsOf(a), itemsOf(b));
        ASSERT_TRUE(indexed.findTypedItems(prefix, types, a, enabled));
        ASSERT_TRUE(mapByMap.findTypedItems(prefix, types, b, enabled));
        EXPECT_EQ(itemsOf(a), itemsOf(b));
        if (prefix.size() < depth) {
            TextSearch::Letters x, y;
            ASSERT_TRUE(indexed.nextLetters(level, prefix, x, enabled));
            ASSERT_TRUE(mapByMap.nextLetters(level, prefix, y, enabled));
            EXPECT_EQ(x, y);
        }
        if (prefix.size() < indexed.depth(2, all)) {
            TextSearch::Letters x, y;
            ASSERT_TRUE(indexed.nextLettersOfTypes(prefix, types, x, enabled));
            ASSERT_TRUE(mapByMap.nextLettersOfTypes(prefix, types, y, enabled));
            EXPECT_EQ(x, y);
        }
    }
}

TEST(TextSearchIndexManager, DepthWithoutIndexSkipsMapsWithoutTheTree) {
    std::mt19937 random(seed(5));
    FixtureAtlas atlas({randomContent(random, 3, 0, 0), randomContent(random, 3, 4, 0)});
    IndexManager manager(atlas.set);
    const std::uint32_t streets = atlas.set.at(1)->textSearchReader().treeDepth(1);
    ASSERT_GT(streets, 0u);
    EXPECT_EQ(manager.depth(1, {1, 1}), streets);
    EXPECT_EQ(manager.depth(1, {1, 0}), 0u);
    EXPECT_EQ(manager.depth(1, {0, 0}), 0xFFFFFFFFu);
    EXPECT_EQ(manager.depth(2, {1, 1}), 0u);
}

} // namespace
