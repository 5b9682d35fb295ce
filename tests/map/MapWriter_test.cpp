#include "tools/mapwriter/MapWriter.h"

#include "map/Level.h"
#include "tests/map/MapFixture.h"

#include <gtest/gtest.h>

using namespace MapWriting;
using MapTest::readBits;

namespace {

std::uint32_t wordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}


Cell cellAt(std::uint32_t x, std::uint32_t y) {
    Cell cell;
    cell.x = x;
    cell.y = y;
    return cell;
}

} // namespace

TEST(MapWriter, EncodesCellItemsByTheFieldWidthOfTheCellShift) {
    // Cell shift 2: fields of 3 bits; the normal of a segment along +x is
    // (0, -2), half a cell long, stored as sign and magnitude 0b110.
    Cell cell = cellAt(0, 0);
    cell.polylines.push_back({5, 9, true, 0x010203, {{0, 0}, {4, 0}}});
    cell.points.push_back({7, 0x20, 0x1234, {1, 2}});
    std::vector<std::uint32_t> offsets;
    const Bytes bytes = encodeCell(cell, 2, &offsets);
    const Bytes expected = {0x02, 0x00, 0x11, 0x00,                   // polylines, 17 bytes
                            0x05, 0x00, 0x00, 0x00, 0x09, 0x01,       // caption, type, one-way
                            0x01, 0x03, 0x02, 0x02, 0x00, 0x01, 0x30, // road 0x010203, 2 points, normal
                            0x04, 0x00, 0x0F, 0x00,                   // points, 15 bytes
                            0x07, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x34, 0x12, 0x11};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(offsets, std::vector<std::uint32_t>{4});

    Cell tooFar = cellAt(0, 0);
    tooFar.points.push_back({0, 0, 0, {8, 0}}); // 8 needs 4 bits
    EXPECT_THROW(encodeCell(tooFar, 2), std::invalid_argument);
    Cell empty = cellAt(0, 0);
    LevelDescription level;
    level.cells = {empty};
    EXPECT_THROW(encodeGeometry({level}), std::invalid_argument);
}

TEST(MapWriter, LaysOutTheOlderContainer) {
    const MapDescription map = MapTest::sampleMap();
    const WrittenMap written = writeMap(map);
    const auto& b = written.bytes;
    ASSERT_GE(b.size(), 48u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "MLVA");
    EXPECT_EQ(wordAt(b, 8), 0x0200u);
    EXPECT_EQ(wordAt(b, 12), 77u);
    EXPECT_EQ(b[44], 1);
    EXPECT_EQ(wordAt(b, 4), 48u);
    EXPECT_EQ(wordAt(b, 48), map.strings.dataLength());
    EXPECT_EQ(wordAt(b, 52), map.strings.count());
    EXPECT_EQ(wordAt(b, 40), 48u + 8 + map.strings.dataLength());
    EXPECT_EQ(wordAt(b, 24), 48u + written.stringsSize);
    EXPECT_EQ(wordAt(b, 28) - wordAt(b, 24), written.geometry.bytes.size());
    EXPECT_EQ(wordAt(b, 16), wordAt(b, 28) + written.shapesSize);
    EXPECT_EQ(wordAt(b, 32), wordAt(b, 16) + written.routingHeaderSize);
    EXPECT_LT(wordAt(b, 32), wordAt(b, 20));
    const std::uint32_t directory = wordAt(b, 36);
    ASSERT_EQ(wordAt(b, directory), 2u);
    EXPECT_EQ(wordAt(b, directory + 4), 2u | (1u << 16)); // copyright, version 1
    EXPECT_EQ(wordAt(b, directory + 16), 4u | (1u << 16)); // address, version 1
    EXPECT_EQ(directory + 4 + 24, b.size());

    // Sections reached only through the directory are appended in order.
    MapDescription more = map;
    more.signature = "MLVB";
    more.sections.push_back({17, 1, {1, 2, 3}});
    const WrittenMap extended = writeMap(more);
    ASSERT_EQ(extended.directory.size(), 3u);
    EXPECT_EQ(extended.directory[2].type, 17);
    EXPECT_EQ(extended.directory[2].size, 3u);
    EXPECT_EQ(extended.bytes[extended.directory[2].offset + 2], 3);
    EXPECT_EQ(extended.bytes[3], 'B');

    MapDescription far = map;
    far.roads->chains[1].segments[0].shape[1].cellX = 3; // two cells from the previous step
    EXPECT_THROW(writeMap(far), std::invalid_argument);
    MapDescription badSignature = map;
    badSignature.signature = "KVM\x02";
    EXPECT_THROW(writeMap(badSignature), std::invalid_argument);
}

TEST(MapWriter, RoundTripsLevelsAndCells) {
    const MapDescription map = MapTest::sampleMap();
    MapTest::OpenedMap opened = MapTest::openMap(writeMap(map).bytes);
    ASSERT_EQ(opened.geometry->levelCount(), 2);

    MapTest::MallocHeap heap;
    Map::Level level0(*opened.geometry, 0, heap);
    EXPECT_EQ(level0.coordinateBits(), 24);
    EXPECT_EQ(level0.cellShift(), 10);
    EXPECT_EQ(level0.originX(), 100u);
    ASSERT_TRUE(level0.prepareArea(level0.defaultArea(), 0, 0, 3, 2));
    EXPECT_EQ(level0.cellValue(3, 2), 1);
    EXPECT_EQ(level0.cellValue(0, 1), 0);

    // Cell (0,0): a polygon record, a polyline record, a point record; the
    // packed fields are 11 bits wide (cell shift 10 + 1), not 25.
    Map::Level::CellItems items;
    ASSERT_TRUE(level0.cellItems(level0.defaultArea(), 0, 0, items));
    const std::uint8_t* p = items.begin;
    ASSERT_EQ(p[0], 1);
    const std::uint32_t polygonSize = (p[1] << 16) | p[2] | (p[3] << 8);
    EXPECT_EQ(polygonSize, 4u + 6 + (2 * 4 * 11 + 7) / 8);
    EXPECT_EQ(p[4 + 4], 7);     // type
    EXPECT_EQ(p[4 + 5], 4);     // point count
    EXPECT_EQ(readBits(p + 4 + 6, 11, 8), (std::vector<std::uint32_t>{10, 10, 900, 10, 900, 900, 10, 900}));
    p += polygonSize;
    ASSERT_EQ(p[0], 2);
    const std::uint32_t polylineSize = (p[1] << 16) | p[2] | (p[3] << 8);
    EXPECT_EQ(readBits(p + 4 + 10, 11, 4), (std::vector<std::uint32_t>{100, 100, 1124, 100}));
    // Normal (0, -512) in sign and magnitude: 0 and 0x400 | 512.
    EXPECT_EQ(readBits(p + 4 + 10 + 6, 11, 2), (std::vector<std::uint32_t>{0, 0x400 | 512}));
    p += polylineSize;
    ASSERT_EQ(p[0], 4);
    EXPECT_EQ(wordAt(std::vector<std::uint8_t>(p + 4, p + 12), 4), 4u + 2 * 27); // the POI's address record
    EXPECT_EQ(readBits(p + 4 + 10, 11, 2), (std::vector<std::uint32_t>{300, 400}));
    EXPECT_EQ(p + ((p[1] << 16) | p[2] | (p[3] << 8)), items.end);

    // Level 1: cell shift 8 with 20 coordinate bits; a fully covered cell
    // with a coverage record after its polygons.
    Map::Level level1(*opened.geometry, 1, heap);
    ASSERT_TRUE(level1.loadIndex());
    EXPECT_EQ(level1.cellValue(1, 0), 3);
    EXPECT_EQ(level1.cellValue(0, 1), 1);
    EXPECT_EQ(level1.cellValue(0, 0), 0);
    Map::Level::Area area;
    ASSERT_TRUE(level1.prepareArea(area, 1, 0, 1, 0));
    ASSERT_TRUE(level1.cellItems(area, 1, 0, items));
    const std::uint32_t first = (items.begin[1] << 16) | items.begin[2] | (items.begin[3] << 8);
    const std::uint8_t* coverage = items.begin + first;
    EXPECT_EQ(coverage[0], 3);
    EXPECT_EQ(coverage[4 + 5], 4);
    EXPECT_EQ(readBits(coverage + 4 + 6, 9, 8), (std::vector<std::uint32_t>{0, 0, 256, 0, 256, 256, 0, 256}));
    level1.clearArea(area);
}
