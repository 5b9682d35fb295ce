#include "map/file/TextSearchSectionReader.h"

#include "map/file/FormatError.h"
#include "tests/map/MapFixture.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using Map::ItemsGroup;
using Map::PoiTypeGroup;
using Map::TextSearchItem;
using Map::File::FormatError;
using Map::File::MemoryView;
using Map::File::TextSearchSectionReader;
using MapTest::ByteBuilder;
using MapWriting::TextSearchEntry;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Types = std::vector<std::uint16_t>;

// Cities "Ab" and "B", no street tree, POIs "C" (types 5 and 7) and "D"
// (type 7), every field 16 bits wide; the writer stores its keys folded.
Bytes handSection(bool folded = false) {
    auto ch = [folded](char c) { return folded ? static_cast<char>(c | 0x20) : c; };
    ByteBuilder b;
    b.u32(0x2A0AAA);
    b.u32(60).u32(2).u32(76).u32(34);   // cities: items, count, tree, tree size
    b.u32(110).u32(0).u32(110).u32(0);  // streets: no tree
    b.u32(110).u32(3).u32(134).u32(18); // POIs: items, count, type table, its size
    b.u32(152).u32(20);                 // POI tree
    // City items at 60: object, name, second name, positions.
    b.u16(100).u16(1).u16(0).u8(0).u8(0);
    b.u16(200).u16(2).u16(3).u8(1).u8(2);
    // City tree at 76: 'A' {0,1} -> 'b' {0,1} at 28; 'B' {1,1}.
    b.u16(2).u16(2).u32(3);
    b.u16(ch('A')).u16(0).u16(1).u16(28).u16(1);
    b.u16(ch('B')).u16(1).u16(1).u16(0).u16(0);
    b.u16('b').u16(0).u16(1);
    // POI items at 110, by type then key.
    b.u16(300).u16(4).u16(0).u8(0).u8(0);
    b.u16(400).u16(5).u16(0).u8(0).u8(0);
    b.u16(500).u16(6).u16(0).u8(0).u8(0);
    // Type table at 134: 'C' -> {5: 0,1}, {7: 1,1}; 'D' -> {7: 2,1}.
    b.u16(5).u16(0).u16(1);
    b.u16(7).u16(1).u16(1);
    b.u16(7).u16(2).u16(1);
    // POI tree at 152: one level of leaves.
    b.u16(1).u16(2).u32(2);
    b.u16(ch('C')).u16(0).u16(2);
    b.u16(ch('D')).u16(2).u16(1);
    return b.bytes;
}

MapWriting::TextSearchDescription handDescription() {
    MapWriting::TextSearchDescription d;
    d.entries[0] = {{u"B", 200, 2, 3, 1, 2, 0}, {u"Ab", 100, 1, 0, 0, 0, 0}};
    d.entries[2] = {{u"D", 500, 6, 0, 0, 0, 7}, {u"C", 400, 5, 0, 0, 0, 7}, {u"C", 300, 4, 0, 0, 0, 5}};
    return d;
}

std::string openError(std::uint16_t version, Bytes bytes) {
    try {
        TextSearchSectionReader reader(version, std::make_shared<MemoryView>(std::move(bytes)));
    } catch (const FormatError& e) {
        return e.what();
    }
    return "opened";
}

void putWord(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t seed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 11;
}

} // namespace

TEST(TextSearchSectionReader, WriterProducesTheHandWrittenBytes) {
    EXPECT_EQ(MapWriting::encodeTextSearch(handDescription()).bytes, handSection(true));
}

TEST(TextSearchSectionReader, OpensOnlyVersionOneOfSixtyBytesOrMore) {
    EXPECT_EQ(openError(1, Bytes(60, 0)), "opened");
    EXPECT_EQ(openError(1, Bytes(59, 0)), "Section is too small");
    EXPECT_EQ(openError(2, handSection()), "Unknown text search index section version");
    EXPECT_EQ(openError(0, handSection()), "Unknown text search index section version");
    auto view = std::make_shared<MemoryView>(handSection());
    view->setAvailable(false);
    EXPECT_THROW(TextSearchSectionReader(1, view), FormatError);

    // A header alone: no trees anywhere.
    TextSearchSectionReader bare(1, std::make_shared<MemoryView>(Bytes(60, 0)));
    std::vector<Map::TextSearch::TreeNode> nodes;
    std::uint32_t roots = 1, depth = 1;
    EXPECT_TRUE(bare.loadTree(0, nodes, roots, depth));
    EXPECT_EQ(depth, 0u);
    EXPECT_EQ(bare.treeDepth(2), 0u);
    ItemsGroup group{1, 1};
    EXPECT_TRUE(bare.findGroup(1, u"", group));
    EXPECT_EQ(group, ItemsGroup{});
}

// What the written sections below cannot show: letters merge into a list
// the caller holds, item reads that pass the section end change nothing,
// and type-table width codes 1 and 3 are not supported.
TEST(TextSearchSectionReader, QueriesOfTheHandWrittenSection) {
    TextSearchSectionReader reader(1, std::make_shared<MemoryView>(handSection()));
    EXPECT_EQ(reader.treeDepth(0), 2u);
    EXPECT_EQ(reader.treeDepth(2), 1u);
    ItemsGroup group;
    ASSERT_TRUE(reader.findGroup(0, u"", group));
    EXPECT_EQ(group, (ItemsGroup{0, 2})); // both level-0 groups merged
    EXPECT_TRUE(reader.findGroup(1, u"A", group));
    EXPECT_EQ(group, ItemsGroup{});
    EXPECT_FALSE(reader.findGroup(2, u"C", group));

    std::vector<char16_t> letters{u'B', u'Z'};
    ASSERT_TRUE(reader.nextLetters(0, u"A", letters));
    EXPECT_EQ(letters, (std::vector<char16_t>{u'B', u'Z', u'b'})); // kept, sorted, no duplicate
    EXPECT_FALSE(reader.nextLetters(2, u"", letters));

    std::vector<TextSearchItem> items{{1, 2, 3, 4, 5}};
    EXPECT_FALSE(reader.readItems(0, {1, 100000}, items));
    EXPECT_FALSE(reader.readItems(2, {0xFFFFFFFF, 2}, items));
    EXPECT_FALSE(reader.readItems(3, {0, 1}, items));
    EXPECT_EQ(items, (std::vector<TextSearchItem>{{1, 2, 3, 4, 5}}));

    std::vector<Map::TextSearch::TreeNode> nodes;
    std::uint32_t roots = 0, depth = 0;
    ASSERT_TRUE(reader.loadTree(1, nodes, roots, depth)); // size word 0: an empty tree
    EXPECT_TRUE(nodes.empty());
    EXPECT_FALSE(reader.loadTree(3, nodes, roots, depth));
    std::vector<PoiTypeGroup> types;
    ASSERT_TRUE(reader.loadPoiTree(nodes, roots, depth, types));
    EXPECT_EQ(types, (std::vector<PoiTypeGroup>{{{0, 1}, 5}, {{1, 1}, 7}, {{2, 1}, 7}}));

    Bytes odd = handSection();
    odd[2] = static_cast<std::uint8_t>(odd[2] | 0x01); // bits 16-17 become 3
    TextSearchSectionReader oddReader(1, std::make_shared<MemoryView>(odd));
    std::vector<ItemsGroup> groups;
    EXPECT_FALSE(oddReader.hasPoi(u"C", {7}));
    EXPECT_FALSE(oddReader.findPoiGroups(u"C", {7}, groups));
    EXPECT_FALSE(oddReader.loadPoiTree(nodes, roots, depth, types));
    letters.clear();
    EXPECT_TRUE(oddReader.nextPoiLetters(u"", {7}, letters));
    EXPECT_TRUE(letters.empty());
}

TEST(TextSearchSectionReader, UnmappableViewFailsEveryOperationUntilMappedAgain) {
    auto view = std::make_shared<MemoryView>(handSection());
    TextSearchSectionReader reader(1, view);
    view->setAvailable(false);
    ItemsGroup group;
    std::vector<char16_t> letters;
    std::vector<ItemsGroup> groups;
    std::vector<TextSearchItem> items;
    std::vector<Map::TextSearch::TreeNode> nodes;
    std::vector<PoiTypeGroup> types;
    std::uint32_t roots = 0, depth = 0;
    const std::vector<bool> answers = {reader.loadTree(0, nodes, roots, depth),
                                       reader.loadPoiTree(nodes, roots, depth, types),
                                       reader.treeDepth(0) != 0,
                                       reader.hasPoi(u"C", {7}),
                                       reader.nextLetters(0, u"", letters),
                                       reader.nextPoiLetters(u"", {7}, letters),
                                       reader.findGroup(0, u"A", group),
                                       reader.findPoiGroups(u"", {7}, groups),
                                       reader.readItems(0, {0, 1}, items)};
    EXPECT_EQ(answers, std::vector<bool>(answers.size(), false));
    view->setAvailable(true);
    EXPECT_EQ(reader.treeDepth(0), 2u);
    EXPECT_TRUE(reader.findGroup(0, u"A", group));
}

TEST(TextSearchSectionReader, EmptyAndOutOfRangeTreesAndTables) {
    // The city tree's size word is 0 while its offset word points at the
    // item table: the category has no tree at all.
    Bytes noTree = handSection();
    putWord(noTree, 12, 60);
    putWord(noTree, 16, 0);
    TextSearchSectionReader reader(1, std::make_shared<MemoryView>(noTree));
    EXPECT_EQ(reader.treeDepth(0), 0u);
    ItemsGroup group{3, 3};
    EXPECT_TRUE(reader.findGroup(0, u"", group));
    EXPECT_EQ(group, ItemsGroup{});
    EXPECT_TRUE(reader.findGroup(0, u"A", group));
    EXPECT_EQ(group, ItemsGroup{});
    std::vector<char16_t> letters;
    EXPECT_TRUE(reader.nextLetters(0, u"", letters));
    EXPECT_TRUE(letters.empty());
    std::vector<Map::TextSearch::TreeNode> nodes(2);
    std::uint32_t roots = 1, depth = 1;
    EXPECT_TRUE(reader.loadTree(0, nodes, roots, depth));
    EXPECT_TRUE(nodes.empty());
    EXPECT_EQ(roots + depth, 0u);

    // A tree or table that does not lie inside the section finds nothing.
    Bytes outside = handSection();
    putWord(outside, 16, 97);         // city tree one byte past the section end
    putWord(outside, 44, 0xFFFFFFF0); // type table offset
    TextSearchSectionReader damaged(1, std::make_shared<MemoryView>(outside));
    EXPECT_EQ(damaged.treeDepth(0), 0u);
    EXPECT_TRUE(damaged.findGroup(0, u"A", group));
    EXPECT_EQ(group, ItemsGroup{});
    EXPECT_FALSE(damaged.loadTree(0, nodes, roots, depth));
    EXPECT_FALSE(damaged.hasPoi(u"C", {5, 7}));
    std::vector<ItemsGroup> groups;
    EXPECT_TRUE(damaged.findPoiGroups(u"", {5, 7}, groups));
    EXPECT_TRUE(groups.empty());
    std::vector<PoiTypeGroup> types;
    EXPECT_FALSE(damaged.loadPoiTree(nodes, roots, depth, types));

    // A POI tree group that passes the type table's end is ignored.
    Bytes wideGroup = handSection();
    wideGroup[152 + 8 + 4] = 9; // 'C' claims nine type-table entries
    TextSearchSectionReader overrun(1, std::make_shared<MemoryView>(wideGroup));
    EXPECT_FALSE(overrun.hasPoi(u"C", {5, 7}));
    EXPECT_TRUE(overrun.hasPoi(u"D", {7}));
    EXPECT_TRUE(overrun.findPoiGroups(u"", {5, 7}, groups));
    EXPECT_EQ(groups, (std::vector<ItemsGroup>{{2, 1}}));
}

TEST(TextSearchSectionReader, WrittenSectionsOfEveryWidthMatchTheirEntries) {
    std::mt19937_64 random(seed());
    const std::u16string alphabet = u"abz\u0416\u8000";
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE(testing::Message() << "seed " << seed() << " round " << round);
        MapWriting::TextSearchDescription d;
        for (auto& entries : d.entries) {
            entries.resize(random() % 30);
            for (TextSearchEntry& e : entries) {
                for (std::size_t n = 1 + random() % 4; n > 0; --n)
                    e.key.push_back(alphabet[random() % alphabet.size()]);
                e.objectOffset = static_cast<std::uint32_t>(random() % 70000);
                e.nameId = static_cast<std::uint32_t>(random() % 100);
                e.secondNameId = static_cast<std::uint32_t>(random() % 100);
                e.position1 = static_cast<std::uint8_t>(random());
                e.position2 = static_cast<std::uint8_t>(random());
                e.poiType = static_cast<std::uint16_t>(random() % 4);
            }
        }
        // Wide or narrow fields, category by category.
        d.stringCode = (round & 1) ? 0u : 2u;
        for (int c = 0; c < 3; ++c) {
            d.groupCodes[c] = ((round >> 1) & 1) ? 0u : 2u;
            d.offsetCodes[c] = ((round >> 2) & 1) ? 0u : 2u;
            d.objectCodes[c] = 0u;
        }
        d.typeTableCode = ((round >> 3) & 1) ? 0u : 2u;
        const MapWriting::EncodedTextSearch encoded = MapWriting::encodeTextSearch(d);
        TextSearchSectionReader reader(1, std::make_shared<MemoryView>(encoded.bytes));

        for (int c = 0; c < 2; ++c) {
            const auto& items = encoded.items[c];
            ItemsGroup all;
            ASSERT_TRUE(reader.findGroup(c, u"", all));
            const ItemsGroup expectedAll{0, static_cast<std::uint32_t>(items.size())};
            EXPECT_EQ(all, items.empty() ? ItemsGroup{} : expectedAll);
            for (const TextSearchEntry& probe : items) {
                const std::u16string prefix = probe.key.substr(0, 1 + random() % probe.key.size());
                ItemsGroup group;
                ASSERT_TRUE(reader.findGroup(c, prefix, group));
                std::vector<TextSearchItem> read;
                ASSERT_TRUE(reader.readItems(c, group, read));
                std::size_t expected = 0;
                for (const TextSearchEntry& e : items)
                    expected += e.key.compare(0, prefix.size(), prefix) == 0;
                ASSERT_EQ(read.size(), expected);
                for (std::size_t i = 0; i < read.size(); ++i) {
                    const TextSearchEntry& e = items[group.first + i];
                    EXPECT_EQ(e.key.compare(0, prefix.size(), prefix), 0);
                    EXPECT_EQ(read[i], (TextSearchItem{e.objectOffset, e.nameId, e.secondNameId, e.position1,
                                                       e.position2}));
                }
            }
        }
        // POIs: the groups of the wanted types hold exactly the POIs of
        // those types under the prefix.
        const auto& pois = encoded.items[2];
        for (const Types& types : {Types{}, Types{0}, Types{1, 3}, Types{0, 1, 2, 3}}) {
            for (const std::u16string& prefix : {std::u16string(), std::u16string(1, u'a'), std::u16string(u"b"),
                                                std::u16string(1, char16_t{0x8000})}) {
                std::vector<ItemsGroup> groups;
                ASSERT_TRUE(reader.findPoiGroups(prefix, types, groups));
                std::vector<std::uint32_t> found;
                for (const ItemsGroup& g : groups) {
                    std::vector<TextSearchItem> read;
                    ASSERT_TRUE(reader.readItems(2, g, read));
                    for (const TextSearchItem& item : read)
                        found.push_back(item.objectOffset);
                }
                std::vector<std::uint32_t> expected;
                std::vector<char16_t> expectedLetters;
                for (const TextSearchEntry& e : pois)
                    if (std::binary_search(types.begin(), types.end(), e.poiType) &&
                        e.key.compare(0, prefix.size(), prefix) == 0) {
                        expected.push_back(e.objectOffset);
                        if (e.key.size() > prefix.size())
                            expectedLetters.push_back(e.key[prefix.size()]);
                    }
                std::sort(found.begin(), found.end());
                std::sort(expected.begin(), expected.end());
                EXPECT_EQ(found, expected);
                if (!prefix.empty()) {
                    EXPECT_EQ(reader.hasPoi(prefix, types), !expected.empty());
                }
                std::sort(expectedLetters.begin(), expectedLetters.end());
                expectedLetters.erase(std::unique(expectedLetters.begin(), expectedLetters.end()),
                                      expectedLetters.end());
                std::vector<char16_t> letters;
                ASSERT_TRUE(reader.nextPoiLetters(prefix, types, letters));
                EXPECT_EQ(letters, expectedLetters);
            }
        }
    }
}
