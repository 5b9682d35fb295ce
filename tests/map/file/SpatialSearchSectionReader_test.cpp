#include "map/file/SpatialSearchSectionReader.h"

#include "map/file/FormatError.h"
#include "tests/map/MapFixture.h"
#include "tools/mapwriter/SpatialSearchWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <random>

using Map::Point;
using Map::File::Box;
using Map::File::FormatError;
using Map::File::MemoryView;
using Map::File::SpatialSearchSectionReader;
using MapTest::ByteBuilder;
using MapWriting::SpatialObject;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Types = std::vector<std::uint16_t>;

ByteBuilder& box(ByteBuilder& b, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    return b.u32(static_cast<std::uint32_t>(x0))
        .u32(static_cast<std::uint32_t>(y0))
        .u32(static_cast<std::uint32_t>(x1))
        .u32(static_cast<std::uint32_t>(y1));
}

// Version 1: one full root (k = M = 2, no end mark) over two records:
// value 111 of type 5 in (0,0)-(10,10), value 222 of type 6 in
// (100,100)-(110,110). Entry 0's record lies 20 * 2 - 4 bytes after the
// root at 28.
Bytes handV1() {
    ByteBuilder b;
    b.u32(0xABCD);
    b.u8(1).u8(0).u8(2).u8(0).u32(2);
    box(b, 0, 0, 110, 110);
    box(b, 0, 0, 10, 10).u32(70);
    box(b, 100, 100, 110, 110);
    b.u16(5).u32(111);
    b.u16(6).u32(222);
    return b.bytes;
}

// Version 2: tree 1 with one record in a node of M = 3 (end mark after
// one entry), tree 2 at 58 with one untyped record.
Bytes handV2() {
    ByteBuilder b;
    b.u32(7).u32(58);
    b.u8(1).u8(0).u8(3).u8(0).u32(1);
    box(b, 5, 5, 5, 5);
    box(b, 5, 5, 5, 5).u32(0);
    b.u16(9).u32(7);
    b.u8(1).u8(0).u8(3).u8(0).u32(1);
    box(b, -5, -5, -5, -5);
    box(b, -5, -5, -5, -5).u32(0);
    b.u32(77);
    return b.bytes;
}

// Takes the first `wanted` objects it is given, or everything nearer than
// a fixed limit.
class Collector : public Map::File::NnVisitor {
public:
    explicit Collector(std::size_t wanted = SIZE_MAX, std::uint64_t limit = UINT64_MAX)
        : m_wanted(wanted), m_limit(limit) {}
    bool wantsMore() override { return visits.size() < m_wanted; }
    std::uint64_t limit() override { return m_limit; }
    void visit(std::uint32_t value, std::uint64_t distance) override { visits.push_back({value, distance}); }

    std::vector<std::pair<std::uint32_t, std::uint64_t>> visits;
    std::vector<std::uint32_t> values() const {
        std::vector<std::uint32_t> out;
        for (const auto& v : visits)
            out.push_back(v.first);
        return out;
    }

private:
    std::size_t m_wanted;
    std::uint64_t m_limit;
};

SpatialSearchSectionReader reader(std::uint16_t version, Bytes bytes) {
    return SpatialSearchSectionReader(version, std::make_shared<MemoryView>(std::move(bytes)));
}

std::string openError(std::uint16_t version, Bytes bytes) {
    try {
        reader(version, std::move(bytes));
    } catch (const FormatError& e) {
        return e.what();
    }
    return "opened";
}

std::uint64_t seed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 3;
}

Box boxOf(const MapWriting::SpatialBox& b) { return {b.minX, b.minY, b.maxX, b.maxY}; }

} // namespace

TEST(SpatialSearchSectionReader, ReadsHandWrittenSections) {
    MapWriting::SpatialSearchDescription d;
    d.version = 1;
    d.headerWord = 0xABCD;
    d.tree1.maxEntries = 2;
    d.tree1.objects = {{{100, 100, 110, 110}, 6, 222}, {{0, 0, 10, 10}, 5, 111}};
    EXPECT_EQ(MapWriting::encodeSpatialSearch(d), handV1());

    auto v1 = reader(1, handV1());
    EXPECT_EQ(v1.headerWord(), 0xABCDu);
    ASSERT_NE(v1.tree(1), nullptr);
    EXPECT_EQ(v1.tree(1)->maxEntries(), 2);
    EXPECT_EQ(v1.tree(1)->box(), (Box{0, 0, 110, 110}));
    EXPECT_EQ(v1.tree(2), nullptr);
    Collector all;
    EXPECT_FALSE(v1.nearest(all, {200, 200}, {5, 6}));
    EXPECT_EQ(all.visits, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{222, 2 * 90 * 90},
                                                                               {111, 2 * 190 * 190}}));
    Collector typed;
    v1.nearest(typed, {200, 200}, {5}); // the nearer record is suppressed, the walk goes on
    EXPECT_EQ(typed.values(), std::vector<std::uint32_t>{111});
    Collector none;
    v1.nearest(none, {0, 0}, {});
    EXPECT_TRUE(none.visits.empty());
    Collector declining(0);
    EXPECT_TRUE(v1.nearest(declining, {0, 0}, {5}));
    EXPECT_FALSE(v1.nearestUntyped(all, {0, 0}));

    auto v2 = reader(2, handV2());
    EXPECT_EQ(v2.headerWord(), 7u);
    Collector second;
    EXPECT_TRUE(v2.nearestUntyped(second, {-5, -4})); // tree 2 at its offset word
    EXPECT_EQ(second.visits, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{77, 1}}));
    Collector declined(0);
    EXPECT_TRUE(v2.nearest(declined, {0, 0}, {9}));
    EXPECT_TRUE(declined.visits.empty());
}

TEST(SpatialSearchSectionReader, VersionsAndShortSections) {
    EXPECT_EQ(openError(3, handV1()), "Unknown spatial search index section version");
    EXPECT_EQ(openError(0, handV1()), "Unknown spatial search index section version");
    EXPECT_EQ(openError(1, Bytes(3, 0)), "Section is too small");
    EXPECT_EQ(openError(2, Bytes(7, 0)), "Section is too small");
    EXPECT_EQ(openError(1, Bytes(4, 0)), "opened"); // a tree that cannot be read is empty
    auto unavailable = std::make_shared<MemoryView>(handV1());
    unavailable->setAvailable(false);
    EXPECT_THROW(SpatialSearchSectionReader(1, unavailable), FormatError);

    // Empty trees: nothing visited; version 1 answers false, version 2 true.
    MapWriting::SpatialSearchDescription d;
    d.version = 1;
    auto emptyV1 = reader(1, MapWriting::encodeSpatialSearch(d));
    Collector a;
    EXPECT_FALSE(emptyV1.nearest(a, {0, 0}, {1}));
    d.version = 2;
    auto emptyV2 = reader(2, MapWriting::encodeSpatialSearch(d));
    Collector b;
    EXPECT_TRUE(emptyV2.nearest(b, {0, 0}, {1}));
    EXPECT_TRUE(emptyV2.nearestUntyped(b, {0, 0}));
    EXPECT_TRUE(a.visits.empty());
    EXPECT_TRUE(b.visits.empty());

    // A record that cannot be read: version 2 reports it.
    Bytes cut = handV2();
    cut.resize(54);
    auto broken = reader(2, cut);
    Collector c;
    EXPECT_FALSE(broken.nearest(c, {0, 0}, {9}));
    EXPECT_TRUE(c.visits.empty());
    EXPECT_TRUE(broken.nearestUntyped(c, {0, 0})); // tree 2 is outside: empty
}

TEST(SpatialSearchSectionReader, DistancesTiesAndStopping) {
    EXPECT_EQ(Map::File::squaredDistance({5, 5}, {0, 0, 10, 10}), 0u);
    EXPECT_EQ(Map::File::squaredDistance({-3, 14}, {0, 0, 10, 10}), 9u + 16u);
    // Differences across the whole range need 64 bits.
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(Map::File::squaredDistance({lo, 0}, {hi, 0, hi, 0}), 0xFFFFFFFFull * 0xFFFFFFFFull);
    EXPECT_EQ(Map::File::squaredDistance({lo, lo}, {hi, hi, hi, hi}), UINT64_MAX - 1);
    EXPECT_EQ(Map::File::squaredDistance({hi, 0}, {lo, -1, lo, 1}), 0xFFFFFFFFull * 0xFFFFFFFFull);

    MapWriting::SpatialSearchDescription d;
    d.tree1.maxEntries = 4;
    d.tree1.objects = {{{hi - 10, 0, hi, 0}, 1, 1}, {{-100, -100, 100, 100}, 1, 2}, {{-50, -50, 50, 50}, 1, 3},
                       {{lo, 0, lo + 1, 0}, 1, 4}, {{1000, 1000, 1000, 1000}, 1, 5}};
    auto r = reader(2, MapWriting::encodeSpatialSearch(d));
    Collector everything;
    ASSERT_TRUE(r.nearest(everything, {lo, 0}, {1}));
    ASSERT_EQ(everything.values().size(), 5u);
    EXPECT_EQ(everything.values().front(), 4u);
    EXPECT_EQ(everything.values().back(), 1u); // the far side of the globe is farthest
    Collector ties;
    ASSERT_TRUE(r.nearest(ties, {0, 0}, {1}));
    const std::vector<std::uint32_t> order = ties.values();
    std::vector<std::uint32_t> tied(order.begin(), order.begin() + 2);
    std::sort(tied.begin(), tied.end());
    EXPECT_EQ(tied, (std::vector<std::uint32_t>{2, 3})); // both boxes hold the point
    EXPECT_EQ(ties.visits[1].second, 0u);
    Collector one(1);
    ASSERT_TRUE(r.nearest(one, {1000, 999}, {1}));
    EXPECT_EQ(one.visits, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{5, 1}}));
    Collector near(SIZE_MAX, 2 * 900 * 900 + 1); // nearer than the limit, not at it
    ASSERT_TRUE(r.nearest(near, {1000, 1000}, {1}));
    EXPECT_EQ(near.values(), (std::vector<std::uint32_t>{5, 2}));
}

TEST(SpatialSearchSectionReader, NearestAgreesWithAScan) {
    std::mt19937_64 random(seed());
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(testing::Message() << "seed " << seed() << " round " << round);
        MapWriting::SpatialSearchDescription d;
        // Round 0: a root of 30 full leaves of 30 records each.
        const std::size_t count = round == 0 ? 900 : 1 + random() % 300;
        d.tree1.maxEntries = round == 0 ? 30 : static_cast<std::uint8_t>(2 + random() % 40);
        d.tree2.maxEntries = static_cast<std::uint8_t>(2 + random() % 30);
        const std::int32_t spread = round % 3 == 0 ? std::numeric_limits<std::int32_t>::max() : 5000;
        for (std::size_t i = 0; i < count; ++i) {
            auto coordinate = [&] {
                return static_cast<std::int32_t>(static_cast<std::int64_t>(random() % (2ull * spread)) - spread);
            };
            const std::int32_t x = coordinate(), y = coordinate();
            const std::int32_t w = static_cast<std::int32_t>(random() % 50), h = static_cast<std::int32_t>(random() % 50);
            const MapWriting::SpatialBox b{x, y, x > spread - w ? x : x + w, y > spread - h ? y : y + h};
            d.tree1.objects.push_back({b, static_cast<std::uint16_t>(random() % 6), static_cast<std::uint32_t>(i)});
            if (i % 2 == 0)
                d.tree2.objects.push_back({b, 0, static_cast<std::uint32_t>(i)});
        }
        auto r = reader(2, MapWriting::encodeSpatialSearch(d));
        if (round == 0) {
            ASSERT_EQ(r.tree(1)->depth(), 2);
        }
        for (int query = 0; query < 6; ++query) {
            const Point p{static_cast<std::int32_t>(random()), static_cast<std::int32_t>(random())};
            const Types types = query % 2 ? Types{1, 4} : Types{0, 1, 2, 3, 4, 5};
            const std::size_t wanted = query == 5 ? SIZE_MAX : 1 + random() % 40;
            for (int treeNumber : {1, 2}) {
                const auto& objects = treeNumber == 1 ? d.tree1.objects : d.tree2.objects;
                std::vector<std::pair<std::uint64_t, std::uint32_t>> scan;
                for (const SpatialObject& o : objects)
                    if (treeNumber == 2 || std::binary_search(types.begin(), types.end(), o.type))
                        scan.push_back({Map::File::squaredDistance(p, boxOf(o.box)), o.value});
                std::sort(scan.begin(), scan.end());
                Collector c(wanted);
                ASSERT_TRUE(treeNumber == 1 ? r.nearest(c, p, types) : r.nearestUntyped(c, p));
                ASSERT_EQ(c.visits.size(), std::min(wanted, scan.size()));
                for (std::size_t i = 0; i < c.visits.size(); ++i) {
                    EXPECT_EQ(c.visits[i].second, scan[i].first) << i;
                    const auto& o = objects[treeNumber == 1 ? c.visits[i].first : c.visits[i].first / 2];
                    EXPECT_EQ(Map::File::squaredDistance(p, boxOf(o.box)), c.visits[i].second);
                }
                EXPECT_LE(r.tree(treeNumber)->cachedNodes(), 20u);
                EXPECT_LE(r.tree(treeNumber)->cachedRecords(), 20u);
            }
        }
    }
}

TEST(SpatialSearchSectionReader, CachesHoldMoreWhileEntriesArePinned) {
    // One leaf of 40 records: every record is queued (pinned) at once.
    MapWriting::SpatialSearchDescription d;
    d.tree1.maxEntries = 40;
    for (std::uint32_t i = 0; i < 40; ++i)
        d.tree1.objects.push_back({{static_cast<std::int32_t>(i), 0, static_cast<std::int32_t>(i), 0}, 1, i});
    auto r = reader(2, MapWriting::encodeSpatialSearch(d));
    Collector all;
    ASSERT_TRUE(r.nearest(all, {0, 0}, {1}));
    ASSERT_EQ(all.visits.size(), 40u);
    for (std::uint32_t i = 0; i < 40; ++i)
        EXPECT_EQ(all.visits[i].first, i);
    EXPECT_EQ(r.tree(1)->recordsRead(), 40u);
    EXPECT_EQ(r.tree(1)->cachedRecords(), 20u); // back to capacity once unpinned

    // Repeated searches near the same place read nothing more.
    MapWriting::SpatialSearchDescription small;
    small.tree1.maxEntries = 4;
    for (std::uint32_t i = 0; i < 16; ++i)
        small.tree1.objects.push_back({{static_cast<std::int32_t>(10 * i), 0, static_cast<std::int32_t>(10 * i), 5}, 1, i});
    auto s = reader(2, MapWriting::encodeSpatialSearch(small));
    Collector three(3);
    ASSERT_TRUE(s.nearest(three, {0, 0}, {1}));
    const std::uint64_t nodes = s.tree(1)->nodesRead(), records = s.tree(1)->recordsRead();
    EXPECT_GT(nodes + records, 0u);
    Collector again(3);
    ASSERT_TRUE(s.nearest(again, {1, 1}, {1}));
    EXPECT_EQ(again.values(), three.values());
    EXPECT_EQ(s.tree(1)->nodesRead(), nodes);
    EXPECT_EQ(s.tree(1)->recordsRead(), records);

    // The cache itself: pinned entries survive, the cache grows past 20 and
    // shrinks back as they are released.
    Map::File::PinnedCache<int> cache;
    for (std::uint32_t k = 1; k <= 25; ++k) {
        ASSERT_NE(cache.insert(k, static_cast<int>(k)), nullptr);
        cache.pin(k);
    }
    EXPECT_EQ(cache.size(), 25u);
    EXPECT_EQ(cache.insert(3, 0), nullptr); // present and pinned
    for (std::uint32_t k = 1; k <= 25; ++k)
        cache.unpin(k);
    EXPECT_EQ(cache.size(), 20u);
    EXPECT_EQ(cache.find(1), nullptr); // the least recently used went first
    ASSERT_NE(cache.find(25), nullptr);
    EXPECT_EQ(*cache.insert(25, 7), 7); // present, unpinned: replaced
    cache.insert(100, 1);
    EXPECT_EQ(cache.size(), 20u);
}

TEST(SpatialSearchSectionReader, LoopingTreeEndsTheWalk) {
    // Depth 200, M = 3: the root's first entry is out of reach, its other
    // two point back at the root itself, so an unguarded walk would double
    // its queue at every level.
    ByteBuilder b;
    b.u32(0).u32(0xFFFFFFF0); // tree 2 outside the section: empty
    b.u8(200).u8(0).u8(3).u8(0).u32(5);
    box(b, 0, 0, 1, 1);
    box(b, 9000, 9000, 9000, 9000);
    box(b.u32(32), 0, 0, 1, 1);
    box(b.u32(32), 0, 0, 1, 1);
    auto r = reader(2, b.bytes);
    Collector c(5, 100);
    EXPECT_FALSE(r.nearest(c, {0, 0}, {0}));
    EXPECT_TRUE(c.visits.empty());
    EXPECT_LE(r.tree(1)->cachedNodes(), 20u);
    EXPECT_TRUE(r.nearestUntyped(c, {0, 0}));
}
