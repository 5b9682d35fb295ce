#include "map/file/NameTree.h"

#include "map/file/TextSearchSectionReader.h"
#include "tests/map/MapFixture.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

namespace NameTree = Map::File::NameTree;
using Map::ItemsGroup;
using Map::TextSearch::TreeNode;
using MapTest::ByteBuilder;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Keys "AB", "AC", "B" as a kind-10 block: 'A' {0,2} with children 'B' {0,1}
// and 'C' {1,1} at offset 28; 'B' {2,1} without children.
Bytes handKind10() {
    ByteBuilder b;
    b.u16(2).u16(2).u32(4);
    b.u16('A').u16(0).u16(2).u16(28).u16(2);
    b.u16('B').u16(2).u16(1).u16(0).u16(0);
    b.u16('B').u16(0).u16(1);
    b.u16('C').u16(1).u16(1);
    return b.bytes;
}

// The same tree as kind 0: 16-byte inner and 10-byte leaf entries.
Bytes handKind0() {
    ByteBuilder b;
    b.u16(2).u16(2).u32(4);
    b.u16('A').u32(0).u32(2).u32(40).u16(2);
    b.u16('B').u32(2).u32(1).u32(0).u16(0);
    b.u16('B').u32(0).u32(1);
    b.u16('C').u32(1).u32(1);
    return b.bytes;
}

struct Collected {
    std::u16string letters;
    std::vector<ItemsGroup> groups;
};

Collected collect(const Bytes& block, const std::u16string& key, unsigned kind) {
    Collected out;
    NameTree::collect(block, key, kind, [&](char16_t c, const ItemsGroup& g) {
        out.letters.push_back(c);
        out.groups.push_back(g);
    });
    return out;
}

std::uint64_t seed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 7;
}

} // namespace

TEST(NameTree, DecodesHandWrittenBlocks) {
    for (const auto& [block, kind] : {std::pair{handKind10(), 10u}, std::pair{handKind0(), 0u}}) {
        SCOPED_TRACE(kind);
        std::vector<TreeNode> nodes;
        std::uint32_t roots = 9, depth = 9;
        ASSERT_TRUE(NameTree::decode(block, kind, nodes, roots, depth));
        EXPECT_EQ(roots, 2u);
        EXPECT_EQ(depth, 2u);
        ASSERT_EQ(nodes.size(), 4u);
        EXPECT_EQ(nodes[0].character, u'A');
        EXPECT_EQ(nodes[0].group, (ItemsGroup{0, 2}));
        EXPECT_EQ(nodes[0].children, &nodes[2]);
        EXPECT_EQ(nodes[0].childCount, 2u);
        EXPECT_EQ(nodes[1].character, u'B');
        EXPECT_EQ(nodes[1].children, nullptr);
        EXPECT_EQ(nodes[1].childCount, 0u);
        EXPECT_EQ(nodes[3].character, u'C');
        EXPECT_EQ(nodes[3].group, (ItemsGroup{1, 1}));

        Bytes again;
        NameTree::encode(nodes, depth, roots, 2, kind, again);
        EXPECT_EQ(again, block);
    }
    // The fixture writer builds the same bytes from the keys.
    const MapWriting::BuiltNameTree built = MapWriting::buildNameTree({u"AB", u"AC", u"B"});
    Bytes written;
    NameTree::writeTreeKind10(built.nodes, built.depth, built.rootCount, built.leafCount, written);
    EXPECT_EQ(written, handKind10());
    NameTree::writeTreeKind0(built.nodes, built.depth, built.rootCount, built.leafCount, written);
    EXPECT_EQ(written, handKind0());
    EXPECT_EQ(NameTree::encodedSize(4, 2, 2), 8u + 2 * 14 + 2 * 10);
    EXPECT_EQ(NameTree::encodedSize(4, 2, 8), 8u + 2 * 12 + 2 * 6);
}

// Lookups the random trees below check against a scan; here what they
// cannot reach: unsupported kinds, an empty callback, one-level trees.
TEST(NameTree, UnsupportedKindsAndOneLevelTrees) {
    for (unsigned kind : {1u, 3u, 4u, 5u, 11u, 15u}) {
        EXPECT_FALSE(NameTree::supportedKind(kind));
        EXPECT_EQ(NameTree::find(handKind10(), u"A", kind), ItemsGroup{});
        EXPECT_EQ(collect(handKind10(), u"", kind).letters, u"");
        std::vector<TreeNode> nodes(3);
        std::uint32_t roots = 1, depth = 1;
        EXPECT_FALSE(NameTree::decode(handKind10(), kind, nodes, roots, depth));
        EXPECT_TRUE(nodes.empty());
    }
    NameTree::Callback empty;
    EXPECT_THROW(NameTree::collect(handKind10(), u"", 10, empty), std::bad_function_call);
    Map::ItemsGroup group{5, 5};
    Map::File::TextSearchSectionReader::findByKeyKind(handKind10(), u"AC", 10, group);
    EXPECT_EQ(group, (ItemsGroup{1, 1}));

    const MapWriting::BuiltNameTree flat = MapWriting::buildNameTree({u"X", u"Y", u"Y"});
    EXPECT_EQ(flat.depth, 1u);
    Bytes block;
    NameTree::encode(flat.nodes, flat.depth, flat.rootCount, flat.leafCount, 8, block);
    EXPECT_EQ(block.size(), 8u + 2 * 6);
    EXPECT_EQ(NameTree::find(block, u"Y", 8), (ItemsGroup{1, 2}));
    EXPECT_EQ(collect(block, u"", 8).letters, u"XY");
}

TEST(NameTree, RandomTreesRoundTripAndMatchAScan) {
    std::mt19937_64 random(seed());
    const std::u16string alphabet = u"abc\u00e9\u8000\uffff";
    for (int round = 0; round < 60; ++round) {
        std::vector<std::u16string> keys(1 + random() % 40);
        for (auto& key : keys) {
            const std::size_t length = 1 + random() % 5;
            for (std::size_t i = 0; i < length; ++i)
                key.push_back(alphabet[random() % alphabet.size()]);
        }
        std::sort(keys.begin(), keys.end());
        const MapWriting::BuiltNameTree built = MapWriting::buildNameTree(keys);
        for (unsigned kind : {0u, 2u, 8u, 10u}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed() << " round " << round << " kind " << kind);
            Bytes block;
            NameTree::encode(built.nodes, built.depth, built.rootCount, built.leafCount, kind, block);
            ASSERT_EQ(block.size(), NameTree::encodedSize(built.nodes.size(), built.leafCount, kind));
            std::vector<TreeNode> nodes;
            std::uint32_t roots = 0, depth = 0;
            ASSERT_TRUE(NameTree::decode(block, kind, nodes, roots, depth));
            Bytes again;
            NameTree::encode(nodes, depth, roots, built.leafCount, kind, again);
            ASSERT_EQ(again, block);

            // Every prefix of every key, and a few that are not there.
            std::set<std::u16string> prefixes;
            for (const auto& key : keys)
                for (std::size_t n = 0; n <= key.size() + 1; ++n)
                    prefixes.insert(key.substr(0, n) + (n > key.size() ? u"b" : u""));
            for (const std::u16string& prefix : prefixes) {
                const auto lo = std::lower_bound(keys.begin(), keys.end(), prefix);
                auto hi = lo;
                while (hi != keys.end() && hi->compare(0, prefix.size(), prefix) == 0)
                    ++hi;
                const ItemsGroup expected = prefix.empty() || lo == hi
                                                ? ItemsGroup{}
                                                : ItemsGroup{static_cast<std::uint32_t>(lo - keys.begin()),
                                                             static_cast<std::uint32_t>(hi - lo)};
                ASSERT_EQ(NameTree::find(block, prefix, kind), expected);
                // Children: the distinct next characters of the keys below.
                std::u16string next;
                for (auto it = lo; it != hi; ++it)
                    if (it->size() > prefix.size() && next.find((*it)[prefix.size()]) == std::u16string::npos)
                        next.push_back((*it)[prefix.size()]);
                if (!prefix.empty() && lo == hi)
                    next.clear();
                ASSERT_EQ(collect(block, prefix, kind).letters, next);
            }
        }
    }
}

TEST(NameTree, DamagedBlocksAreBounded) {
    const Bytes good = handKind10();
    std::vector<TreeNode> nodes;
    std::uint32_t roots = 0, depth = 0;
    // Every truncation fails to decode; lookups stay inside the bytes.
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(NameTree::decode(cut, 10, nodes, roots, depth)) << n;
        for (const char16_t* key : {u"", u"A", u"AB", u"AC", u"B"}) {
            NameTree::find(cut, key, 10);
            collect(cut, key, 10);
        }
    }
    // The last leaf is cut off: 'A' still has its first child, the lookup
    // of the second fails rather than reading past the end.
    const Bytes short1(good.begin(), good.end() - 1);
    EXPECT_EQ(NameTree::find(short1, u"AC", 10), ItemsGroup{});
    EXPECT_EQ(NameTree::find(short1, u"B", 10), (ItemsGroup{2, 1}));

    auto damaged = [&](std::size_t at, std::uint16_t value) {
        Bytes b = good;
        b[at] = static_cast<std::uint8_t>(value);
        b[at + 1] = static_cast<std::uint8_t>(value >> 8);
        return b;
    };
    // A child offset past the end, or not on an entry of the next level.
    for (std::uint16_t offset : {std::uint16_t{0xFFF0}, std::uint16_t{29}, std::uint16_t{8}}) {
        const Bytes b = damaged(8 + 6, offset);
        EXPECT_FALSE(NameTree::decode(b, 10, nodes, roots, depth)) << offset;
        EXPECT_TRUE(nodes.empty());
    }
    EXPECT_EQ(NameTree::find(damaged(8 + 6, 0xFFF0), u"AB", 10), ItemsGroup{});
    EXPECT_EQ(collect(damaged(8 + 6, 0xFFF0), u"A", 10).letters, u"");
    // Too many children for the next level, and a huge root count.
    EXPECT_FALSE(NameTree::decode(damaged(8 + 8, 3), 10, nodes, roots, depth));
    EXPECT_FALSE(NameTree::decode(damaged(2, 0xFFFF), 10, nodes, roots, depth));
    EXPECT_EQ(collect(damaged(2, 0xFFFF), u"", 10).letters, u"");
    // An entry count the block cannot hold is refused before anything is
    // allocated; one that disagrees with the levels is refused too.
    Bytes huge = good;
    huge[7] = 0x7F;
    EXPECT_FALSE(NameTree::decode(huge, 10, nodes, roots, depth));
    EXPECT_FALSE(NameTree::decode(damaged(4, 3), 10, nodes, roots, depth));
    // Children announced without an offset.
    EXPECT_FALSE(NameTree::decode(damaged(18 + 8, 1), 10, nodes, roots, depth));
    // A deeper level count than the entries fill.
    EXPECT_FALSE(NameTree::decode(damaged(0, 3), 10, nodes, roots, depth));
    // Too deep a level count makes level 1 an inner level whose entries no
    // longer fit the block.
    EXPECT_EQ(NameTree::find(damaged(0, 0xFFFF), u"AB", 10), ItemsGroup{});
    EXPECT_EQ(NameTree::find(damaged(0, 0xFFFF), u"B", 10), (ItemsGroup{2, 1}));
}
