// Decoding cell items from hand-made bytes, and walks that stop at damaged
// sizes.

#include "render/CellItems.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace MapDrawing;

namespace {

Map::Level::CellItems cellOf(const std::vector<std::uint8_t>& bytes) {
    Map::Level::CellItems items;
    items.begin = items.current = bytes.data();
    items.end = bytes.data() + bytes.size();
    items.size = static_cast<std::uint32_t>(bytes.size());
    return items;
}

TEST(CellItems, HandPackedPolylineWithFourBitFields) {
    // Cell shift 3: fields of 4 bits. Points (1, 2), (3, 4); normal (-5, 6)
    // in sign-and-magnitude: 0xD, 0x6.
    const std::vector<std::uint8_t> bytes = {
        2, 0, 17, 0,                   // group: kind 2, 17 bytes
        7, 0, 0, 0,                    // caption 7
        9, 1,                          // type 9, one way
        0x00, 0x34, 0x12,              // road 0x1234
        2,                             // two points
        0x21, 0x43,                    // 1, 2, 3, 4
        0x6D,                          // -5, 6
    };
    CellItemWalker walker(cellOf(bytes), PolylineItems, 4);
    CellItem item;
    ASSERT_TRUE(walker.next(item));
    EXPECT_EQ(item.caption, 7u);
    EXPECT_EQ(item.type, 9);
    EXPECT_EQ(item.direction, 1);
    EXPECT_EQ(item.road, 0x1234u);
    ASSERT_EQ(item.count, 2);
    EXPECT_EQ(item.points[0], (xe::Point{1, 2}));
    EXPECT_EQ(item.points[1], (xe::Point{3, 4}));
    EXPECT_EQ(item.normals[0], (xe::Point{-5, 6}));
    EXPECT_FALSE(walker.next(item));

    EXPECT_EQ(polylineItemSize(2, 4), 10u + 2 + 1);
    EXPECT_EQ(polygonItemSize(3, 9), 6u + 7);
    EXPECT_EQ(pointItemSize(13), 10u + 4);
    const std::uint8_t invalid[9] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(PolylineRef::id(invalid), InvalidRoadId);
    const std::uint8_t wide[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01};
    EXPECT_EQ(PolylineDecoder::readBits(wide, 7, 31), 0x3FFFFFFu);
}

TEST(CellItems, OtherKindsAreSkippedAndPointsDecode) {
    // A polygon group, then a point group with two points (w = 8).
    const std::vector<std::uint8_t> bytes = {
        1, 0, 12, 0, 0, 0, 0, 0, 5, 1, 10, 20,                     // one polygon, one point
        4, 0, 28, 0,                                               // points group
        0, 0, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 30, 40,                // type 0x1234 at (30, 40)
        0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 50, 60,                // type 1 at (50, 60)
    };
    CellItemWalker points(cellOf(bytes), PointItems, 8);
    CellItem item;
    ASSERT_TRUE(points.next(item));
    EXPECT_EQ(item.poiType, 0x1234);
    EXPECT_EQ(item.points[0], (xe::Point{30, 40}));
    ASSERT_TRUE(points.next(item));
    EXPECT_EQ(item.points[0], (xe::Point{50, 60}));
    EXPECT_FALSE(points.next(item));

    CellItemWalker polygons(cellOf(bytes), PolygonItems, 8);
    ASSERT_TRUE(polygons.next(item));
    EXPECT_EQ(item.type, 5);
    EXPECT_EQ(item.count, 1);
    EXPECT_FALSE(polygons.next(item));

    // Headers alone, the second item decoded after the first was skipped.
    CellItemWalker headers(cellOf(bytes), PointItems, 8);
    ASSERT_TRUE(headers.nextHeader(item));
    EXPECT_EQ(item.points, nullptr);
    ASSERT_TRUE(headers.nextHeader(item));
    EXPECT_EQ(item.poiType, 1);
    headers.decode(item);
    EXPECT_EQ(item.points[0], (xe::Point{50, 60}));
    EXPECT_FALSE(headers.nextHeader(item));
}

// Polygons of random points packed at every field width (the fields
// straddle bytes in every way) decode to the points, the bytes being just
// those the item's size counts.
TEST(CellItems, PointsOfEveryFieldWidthRoundTrip) {
    std::mt19937 random(20261207u);
    for (unsigned w = 1; w <= 31; ++w) {
        const int n = 1 + static_cast<int>(random() % 40);
        std::vector<std::uint32_t> fields;
        for (int i = 0; i < 2 * n; ++i)
            fields.push_back(static_cast<std::uint32_t>(random()) & ((std::uint32_t{1} << w) - 1));
        const auto size = static_cast<std::uint16_t>(4 + polygonItemSize(static_cast<std::uint32_t>(n), w));
        std::vector<std::uint8_t> bytes = {1, 0, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                                           0, 0, 0, 0, 5, static_cast<std::uint8_t>(n)};
        bytes.resize(size, 0);
        std::uint64_t bit = 0;
        for (const std::uint32_t f : fields)
            for (unsigned b = 0; b < w; ++b, ++bit)
                if ((f >> b) & 1u) bytes[10 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        CellItemWalker walker(cellOf(bytes), PolygonItems, w);
        CellItem item;
        ASSERT_TRUE(walker.next(item)) << w;
        ASSERT_EQ(item.count, n);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(item.points[i], (xe::Point{static_cast<std::int32_t>(fields[2 * i]),
                                                 static_cast<std::int32_t>(fields[2 * i + 1])}))
                << "w " << w << " point " << i;
    }
}

TEST(CellItems, DamagedSizesEndTheWalk) {
    // A polygon whose count runs past its group, then a good group after it
    // that must not be read as part of it.
    std::vector<std::uint8_t> bytes = {1, 0, 12, 0, 0, 0, 0, 0, 1, 200, 1, 2,
                                       1, 0, 12, 0, 0, 0, 0, 0, 1, 1, 1, 2};
    CellItemWalker walker(cellOf(bytes), PolygonItems, 8);
    CellItem item;
    EXPECT_FALSE(walker.next(item));

    // A group longer than the block, a group of size 0, a header cut short.
    for (std::vector<std::uint8_t> bad : {std::vector<std::uint8_t>{1, 0, 40, 0, 0, 0, 0, 0, 1, 1, 1, 2},
                                          std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0},
                                          std::vector<std::uint8_t>{1, 0, 9, 0, 0, 0, 0, 0, 1}}) {
        CellItemWalker w(cellOf(bad), PolygonItems, 8);
        EXPECT_FALSE(w.next(item));
    }
    // A point group too short for its point's fields.
    const std::vector<std::uint8_t> shortPoint = {4, 0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 30};
    CellItemWalker points(cellOf(shortPoint), PointItems, 8);
    EXPECT_FALSE(points.next(item));
}

} // namespace
