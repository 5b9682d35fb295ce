// The bytes of TextSearch.tsi: a hand-computed file, the width switches at
// 65,535/65,536, and opening damaged files.

#include "core/FileSystem.h"
#include "core/Text.h"
#include "core/WinFile.h"
#include "search/Index.h"
#include "search/TextSearchIndexBuilder.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace SearchTest;
using TextSearch::Index;
using TextSearch::TextSearchIndexBuilder;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Put {
    Bytes bytes;
    Put& u16(std::uint32_t v) { return n(v, 2); }
    Put& u32(std::uint32_t v) { return n(v, 4); }
    Put& n(std::uint32_t v, int width) {
        for (int i = 0; i < width; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
};

Bytes readBytes(const std::filesystem::path& file) {
    const std::string s = TestSupport::readAll(file);
    return Bytes(s.begin(), s.end());
}

void writeBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t u32At(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

MapContent cityKeys(std::vector<std::u16string> keys) {
    MapContent c;
    c.text = MapWriting::TextSearchDescription{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        c.text->entries[0].push_back({keys[i], static_cast<std::uint32_t>(100 + i), 0, 0, 0, 0, 0});
    return c;
}

Map::IndexSourceList sourcesOf(std::size_t maps) {
    Map::IndexSourceList list;
    for (std::size_t i = 0; i < maps; ++i)
        list.records.push_back(
            {u"m0" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".kvm", 1000 + i});
    return list;
}

bool buildInto(const std::filesystem::path& file, FixtureAtlas& atlas, const Map::IndexSourceList& sources) {
    FileSystem::WinFileForWrite out(wide(file));
    return out.isOpen() && TextSearchIndexBuilder::build(sources, out, atlas.set);
}

TEST(TextSearchIndexFile, TwoMapsGiveTheHandComputedFile) {
    FixtureAtlas atlas({cityKeys({u"ab"}), cityKeys({u"Ab", u"B"})});
    const Map::IndexSourceList sources = sourcesOf(2);
    const auto file = atlas.dir / "TextSearch.tsi";
    ASSERT_TRUE(buildInto(file, atlas, sources));
    const Bytes bytes = readBytes(file);
    // Signature, then the source list of two 7-unit names: 4 + 8 + 2 x 24.
    ASSERT_EQ(bytes.size(), 176u);
    EXPECT_EQ(u32At(bytes, 0), 0x01495354u);
    Put expected;
    // Flags: level 0 kind 10; the empty levels narrow as well.
    expected.u32(0x2AAA).u32(92).u32(126).u32(176).u32(176).u32(176).u32(176).u32(176);
    // City tree: 'a' {0,2} -> child at 28; 'b' {2,1}; leaf 'b' (of "ab") {3,2}.
    expected.u16(2).u16(2).u32(3);
    expected.u16('a').u16(0).u16(2).u16(28).u16(1);
    expected.u16('b').u16(2).u16(1).u16(0).u16(0);
    expected.u16('b').u16(3).u16(2);
    // Item ranges: each map's own range, lower map index first.
    expected.u32(0).u32(1).u16(0).u32(0).u32(1).u16(1);
    expected.u32(1).u32(1).u16(1);
    expected.u32(0).u32(1).u16(0).u32(0).u32(1).u16(1);
    EXPECT_EQ(Bytes(bytes.begin() + 60, bytes.end()), expected.bytes);
}

// Maps whose trees are of different depths merge to the smallest: the
// deeper map's keys are cut there, its range at the last merged level
// standing for everything below it; a map without the tree adds nothing.
TEST(TextSearchIndexFile, TreesOfDifferentDepthsMergeToTheSmallest) {
    struct Case {
        std::vector<std::vector<std::u16string>> maps;
        std::uint16_t depth;
        std::uint32_t entries;
    };
    for (const Case& c : {Case{{{u"abc", u"abd"}, {u"ab"}}, 2, 2}, Case{{{u"ab"}, {u"abcd"}}, 2, 2},
                          Case{{{u"abc"}, {u"abcd", u"x"}, {}}, 3, 4}, Case{{{u"a"}, {u"abc"}}, 1, 1}}) {
        std::vector<MapContent> contents;
        for (const auto& keys : c.maps)
            contents.push_back(cityKeys(keys));
        FixtureAtlas atlas(contents);
        const auto file = atlas.dir / "TextSearch.tsi";
        const Map::IndexSourceList sources = sourcesOf(contents.size());
        ASSERT_TRUE(buildInto(file, atlas, sources));
        const Bytes bytes = readBytes(file);
        // The header follows the signature and the source list (4 + 8 +
        // 24 per map): its second word is the city tree's offset.
        const std::size_t header = 12 + 24 * contents.size();
        const std::uint32_t tree = u32At(bytes, header + 4);
        ASSERT_LT(tree + 8u, bytes.size());
        EXPECT_EQ(bytes[tree] | bytes[tree + 1] << 8, c.depth) << c.maps.size() << " maps";
        EXPECT_EQ(u32At(bytes, tree + 4), c.entries) << c.maps.size() << " maps";
    }
}

// One map whose city tree has `roots` roots and `leaves` leaves under them.
MapContent twoLevelTree(int roots, int leaves) {
    std::vector<char16_t> units;
    for (unsigned c = 1; c < 65536 && units.size() * roots < static_cast<std::size_t>(leaves) + roots; ++c)
        if (Core::toLower(static_cast<char16_t>(c)) == c) units.push_back(static_cast<char16_t>(c));
    std::vector<std::u16string> keys;
    for (int i = 0; i < leaves; ++i)
        keys.push_back({static_cast<char16_t>(u'a' + i % roots), units[i / roots]});
    return cityKeys(keys);
}

TEST(TextSearchIndexFile, FieldWidthsSwitchAt65536) {
    struct Case {
        int roots, leaves;
        std::uint32_t kindBits; // flags bits 0-3
        std::uint32_t blockSize;
    };
    const Case cases[] = {
        {2, 65533, 0x2, 8 + 2 * 12 + 65533 * 6},  // 65,535 ranges: u16 items, 32-bit offsets
        {2, 65534, 0x0, 8 + 2 * 16 + 65534 * 10}, // 65,536 ranges: u32 items
        {3, 10916, 0xA, 65534},                   // 16-bit layout of 65,534 bytes: u16 offsets
        {2, 10918, 0x2, 8 + 2 * 12 + 10918 * 6},  // 65,536 bytes: 32-bit offsets, larger block
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leaves);
        FixtureAtlas atlas({twoLevelTree(c.roots, c.leaves)});
        const auto file = atlas.dir / "TextSearch.tsi";
        ASSERT_TRUE(buildInto(file, atlas, sourcesOf(1)));
        const Bytes bytes = readBytes(file);
        const std::size_t header = 4 + 8 + 24;
        EXPECT_EQ(u32At(bytes, header) & 0xF, c.kindBits);
        EXPECT_EQ(u32At(bytes, header + 8) - u32At(bytes, header + 4), c.blockSize);
        // The last leaf is found through the wide or narrow fields.
        Index index(atlas.pool, wide(file), sourcesOf(1), 1);
        ASSERT_TRUE(index.valid());
        Map::File::TextSearchSectionReader& own = atlas.set.at(0)->textSearchReader();
        std::vector<Map::TextSearch::TreeNode> nodes;
        std::uint32_t roots = 0, depth = 0;
        ASSERT_TRUE(own.loadTree(0, nodes, roots, depth));
        const std::u16string last{nodes[roots - 1].character, nodes.back().character};
        Map::ItemsGroup group;
        ASSERT_TRUE(own.findGroup(0, last, group));
        TextSearch::ItemRanges found;
        ASSERT_TRUE(index.findItems(0, last, found, {1}));
        EXPECT_EQ(found, (TextSearch::ItemRanges{{group, 0}}));
    }
}

// The same for the POI level: type groups of 16-bit fields up to 65,535
// groups (a group per node and type), 32-bit from 65,536.
TEST(TextSearchIndexFile, PoiTypeGroupsWidenAt65536) {
    for (const auto& [leaves, narrow] : {std::pair{65533, true}, {65534, false}}) {
        SCOPED_TRACE(leaves);
        MapContent pois = twoLevelTree(2, leaves);
        for (MapWriting::TextSearchEntry& e : pois.text->entries[0])
            e.poiType = 7;
        std::swap(pois.text->entries[0], pois.text->entries[2]);
        FixtureAtlas atlas({pois});
        const auto file = atlas.dir / "TextSearch.tsi";
        ASSERT_TRUE(buildInto(file, atlas, sourcesOf(1)));
        const Bytes bytes = readBytes(file);
        const std::uint32_t flags = u32At(bytes, 4 + 8 + 24);
        EXPECT_EQ((flags >> 10) & 3, narrow ? 2u : 0u);
        Index index(atlas.pool, wide(file), sourcesOf(1), 1);
        ASSERT_TRUE(index.valid());
        TextSearch::ItemRanges found;
        ASSERT_TRUE(index.findTypedItems(std::u16string(1, u'b'), {7}, found, {1}));
        EXPECT_FALSE(found.empty());
    }
}

// One map under another source name: an atlas of many maps at little cost.
struct Renamed : Map::KvMap {
    Renamed(Map::KvMap& map, std::u16string name) : map(map), name(std::move(name)) {}
    const std::u16string& filePath() const override { return map.filePath(); }
    const std::u16string& sourceName() const override { return name; }
    Map::File::StringsSectionReader& stringsReader() override { return map.stringsReader(); }
    Map::File::GeometrySectionReader& geometryReader() override { return map.geometryReader(); }
    Map::File::AddressSectionReader& addressReader() override { return map.addressReader(); }
    Map::File::RoutingSectionReader& routingReader() override { return map.routingReader(); }
    Map::File::TextSearchSectionReader& textSearchReader() override { return map.textSearchReader(); }
    Map::File::SpatialSearchSectionReader& spatialSearchReader() override { return map.spatialSearchReader(); }
    Map::KvMap& map;
    std::u16string name;
};

// A map index takes 16 bits: 65,535 maps are indexed, one more is refused.
TEST(TextSearchIndexFile, AtMost65535MapsAreIndexed) {
    FixtureAtlas atlas({cityKeys({u"ab"})});
    std::vector<std::unique_ptr<Renamed>> copies;
    Map::MapSet set;
    for (std::size_t i = 0; i <= TextSearch::MaxIndexedMaps; ++i) {
        copies.push_back(std::make_unique<Renamed>(*atlas.maps[0], Core::utf8ToWide(std::to_string(i))));
        if (i < TextSearch::MaxIndexedMaps) set.add(copies.back().get());
    }
    ASSERT_EQ(set.size(), 65535u);
    Map::IndexSourceList sources;
    for (std::uint32_t i = 0; i <= TextSearch::MaxIndexedMaps; ++i)
        sources.records.push_back({Core::utf8ToWide(std::to_string(i)), 1000 + i});
    const auto file = atlas.dir / "TextSearch.tsi";
    atlas.set = set;
    EXPECT_FALSE(buildInto(file, atlas, sources)) << "a source without its map";
    sources.records.pop_back();
    ASSERT_TRUE(buildInto(file, atlas, sources));
    Index index(atlas.pool, wide(file), sources, 65535);
    ASSERT_TRUE(index.valid());
    TextSearch::ItemRanges found;
    ASSERT_TRUE(index.findItems(0, u"ab", found, TextSearch::EnabledMaps(65535, 1)));
    ASSERT_EQ(found.size(), 65535u);
    EXPECT_EQ(found.back().map, 65534u) << "the last map keeps its own number";
    atlas.set.add(copies.back().get());
    sources.records.push_back({u"65535", 0});
    EXPECT_FALSE(buildInto(file, atlas, sources));
}

TEST(TextSearchIndexFile, DamagedFilesAreRefusedWithTheirMessages) {
    FixtureAtlas atlas({cityKeys({u"ab"}), cityKeys({u"ab", u"b"})});
    const Map::IndexSourceList sources = sourcesOf(2);
    const auto file = atlas.dir / "TextSearch.tsi";
    ASSERT_TRUE(buildInto(file, atlas, sources));
    const Bytes good = readBytes(file);
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* message; // null: refused silently
    };
    const Case cases[] = {
        {"three bytes", [](Bytes& b) { b.resize(3); }, "Invalid text search index size"},
        {"stopped build", [](Bytes& b) { b[0] = b[1] = b[2] = b[3] = 0; },
         "Invalid text search index signature: 00000000"},
        {"list cut", [](Bytes& b) { b.resize(30); }, "Invalid text search index"},
        {"header cut", [](Bytes& b) { b.resize(70); }, "Invalid text search index size"},
        {"another map's time", [](Bytes& b) { b[4 + 8 + 16] ^= 1; }, nullptr},
        {"map index 2 of 2 maps", [](Bytes& b) { b[126 + 8] = 2; }, "Invalid text search index"},
        {"range past its list", [](Bytes& b) { b[92 + 8 + 4] = 9; }, "Invalid text search index"},
        {"offsets out of order", [](Bytes& b) { b[60 + 8] = 200; }, "Invalid text search index"},
        {"unknown width code", [](Bytes& b) { b[60] = 0xAB; }, "Invalid text search index"},
        {"child offset into the header", [](Bytes& b) { b[92 + 8 + 6] = 4; }, "Invalid text search index"},
        {"a city tree of no levels", [](Bytes& b) { std::fill(b.begin() + 92, b.begin() + 100, 0); },
         "Invalid text search index"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = good;
        c.damage(bytes);
        writeBytes(file, bytes);
        TestSupport::CaptureLogger log;
        Index index(atlas.pool, wide(file), sources, 2);
        EXPECT_FALSE(index.valid());
        if (c.message != nullptr) {
            ASSERT_EQ(log.lines().size(), 1u);
            EXPECT_NE(log.lines()[0].find(c.message), std::string::npos) << log.lines()[0];
        } else {
            EXPECT_TRUE(log.lines().empty());
        }
    }
    writeBytes(file, good);
    EXPECT_TRUE(Index(atlas.pool, wide(file), sources, 2).valid());
}

// The point-of-interest tree is checked as the city tree is: one of no
// levels, or whose groups run past the type-group list, is refused.
TEST(TextSearchIndexFile, ADamagedPoiTreeIsRefused) {
    MapContent c;
    c.cities.push_back({u"Linden", 0, 0});
    c.pois.push_back({u"Kan", 1, 0, -1, 5, 5, {}});
    c.pois.push_back({u"Kant", 2, 0, -1, 6, 6, {}});
    FixtureAtlas atlas({c});
    const Map::IndexSourceList sources = sourcesOf(1);
    const auto file = atlas.dir / "TextSearch.tsi";
    ASSERT_TRUE(buildInto(file, atlas, sources));
    const Bytes good = readBytes(file);
    // Header after the signature and a source list of one map; its sixth
    // word is the POI tree's offset, the seventh the type-group list's.
    const std::size_t header = 12 + 24;
    const std::uint32_t tree = u32At(good, header + 20), groups = u32At(good, header + 24);
    ASSERT_GT(groups, tree + 8);
    EXPECT_TRUE(Index(atlas.pool, wide(file), sources, 1).valid());
    for (const char* damage : {"no levels", "groups past the list"}) {
        SCOPED_TRACE(damage);
        Bytes bytes = good;
        if (std::string(damage) == "no levels")
            std::fill(bytes.begin() + tree, bytes.begin() + tree + 8, 0);
        else
            bytes[tree + 8 + 4] = 0x7F; // the first root's group count
        writeBytes(file, bytes);
        TestSupport::CaptureLogger log;
        EXPECT_FALSE(Index(atlas.pool, wide(file), sources, 1).valid());
    }
}

// Random damage to a built index: whatever opens must answer every query
// inside the file (run under ASan and UBSan).
TEST(TextSearchIndexFile, MutatedFilesNeverReadOutsideThemselves) {
    std::mt19937 random(seed(33));
    std::vector<MapContent> contents;
    for (int m = 0; m < 3; ++m)
        contents.push_back(randomContent(random, 8, 12, 10));
    FixtureAtlas atlas(contents);
    const Map::IndexSourceList sources = sourcesOf(3);
    const auto file = atlas.dir / "TextSearch.tsi";
    ASSERT_TRUE(buildInto(file, atlas, sources));
    const Bytes good = readBytes(file);
    const std::size_t header = 4 + 8 + 3 * 24;
    TestSupport::CaptureLogger log;
    int opened = 0;
    TestSupport::Damage damage(seed(33));
    std::vector<std::size_t> fields;
    for (std::size_t at = header; at + 4 <= good.size(); at += 4)
        fields.push_back(at);
    for (int round = 0; round < 400; ++round) {
        writeBytes(file, damage.apply(good, fields));
        Index index(atlas.pool, wide(file), sources, 3);
        if (!index.valid()) continue;
        ++opened;
        const TextSearch::EnabledMaps all{1, 1, 1};
        for (const std::u16string prefix : {u"", u"a", u"k", u"an", u"\u043a\u0430", u"ber", u"xyz"}) {
            TextSearch::Letters letters;
            TextSearch::ItemRanges ranges;
            for (int level = 0; level < 2; ++level) {
                index.hasItems(level, prefix, all);
                index.nextLetters(level, prefix, letters, all);
                index.findItems(level, prefix, ranges, all);
                for (const Map::MappedGroup& r : ranges)
                    EXPECT_LT(r.map, 3u);
            }
            index.hasTypedItems(prefix, {1, 2, 3, 4}, all);
            index.nextLettersOfTypes(prefix, {1, 3}, letters, all);
            index.findTypedItems(prefix, {2, 4}, ranges, all);
        }
    }
    EXPECT_GT(opened, 0);
}

} // namespace
