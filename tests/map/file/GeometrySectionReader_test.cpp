#include "map/file/GeometrySectionReader.h"

#include "map/Level.h"
#include "map/file/FormatError.h"
#include "tests/map/MapFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <tuple>

using Map::File::FormatError;
using Map::File::GeometrySectionReader;
using Map::File::MemoryView;
using MapTest::ByteBuilder;

namespace {

struct Entry {
    std::uint8_t value;
    std::uint8_t high;
    std::uint16_t low;
};

// One level, 3 x 2 cells, cell shift 4, coordinate bits 24. Row 0: a cell of
// 5 bytes, then a run of 2 empty cells. Row 1: a run of 1, a cell of 65,536
// bytes (byte 1 = 1, u16 = 0), a cell of 2 bytes.
struct HandGeometry {
    std::uint8_t levels = 1;
    std::uint8_t bits = 24;
    std::uint8_t shift = 4;
    std::uint32_t width = 3;
    std::vector<std::uint32_t> rows = {0, 2, 5};
    std::vector<Entry> entries = {{1, 0, 5}, {0, 0, 2}, {0, 0, 1}, {3, 1, 0}, {1, 0, 2}};
    std::int64_t blocksOffsetDelta = 0;
    std::uint32_t tableSizeDelta = 0;

    std::vector<std::uint8_t> bytes() const {
        ByteBuilder b;
        b.u8(levels);
        const auto height = static_cast<std::uint32_t>(rows.size() - 1);
        const std::uint32_t tableSize = static_cast<std::uint32_t>(4 * entries.size()) + tableSizeDelta;
        const std::uint32_t blocks = 1 + 37 + 4 * height + 4 + static_cast<std::uint32_t>(4 * entries.size());
        b.u8(bits).u32(5).u32(6).u32(width).u32(height).u8(shift).zeros(11).u32(tableSize);
        b.u32(static_cast<std::uint32_t>(blocks + blocksOffsetDelta));
        for (std::uint32_t r : rows)
            b.u32(r);
        for (const Entry& e : entries)
            b.u8(e.value).u8(e.high).u16(e.low);
        for (int i = 0; i < 5; ++i)
            b.u8(0xA0 + i);
        for (int i = 0; i < 65536; ++i)
            b.u8(i & 0xFF);
        b.u8(0xB0).u8(0xB1);
        return b.bytes;
    }
};

std::string openError(std::vector<std::uint8_t> bytes, std::uint16_t version = 0) {
    try {
        GeometrySectionReader reader(version, std::make_shared<MemoryView>(std::move(bytes)));
    } catch (const FormatError& e) {
        return e.what();
    }
    return "opened";
}

} // namespace

TEST(GeometrySectionReader, ReadsHandWrittenLevel) {
    auto view = std::make_shared<MemoryView>(HandGeometry().bytes());
    GeometrySectionReader reader(0, view);
    ASSERT_EQ(reader.levelCount(), 1);
    const auto d = reader.levelDescriptor(0);
    EXPECT_EQ((std::vector<std::uint32_t>{d.coordinateBits, d.cellShift, d.originX, d.originY, d.width, d.height,
                                          d.indexOffset, d.indexSize, d.blocksOffset}),
              (std::vector<std::uint32_t>{24, 4, 5, 6, 3, 2, 38, 4 * 2 + 4 + 20, 70}));
    EXPECT_EQ(reader.indexSize(0), 32u);
    EXPECT_EQ(reader.indexSize(1), 0u);
    EXPECT_EQ(reader.levelDescriptor(3).width, 0u);

    std::uint32_t rows[3];
    std::uint32_t rowStarts[3];
    std::uint8_t cells[20];
    ASSERT_TRUE(reader.loadIndex(0, rows, rowStarts, cells));
    EXPECT_EQ(rows[2], 5u);
    EXPECT_EQ(std::vector<std::uint32_t>(rowStarts, rowStarts + 3), (std::vector<std::uint32_t>{0, 5, 5 + 65536 + 2}));
    EXPECT_EQ(cells[12], 3);

    std::uint8_t block[5];
    ASSERT_TRUE(reader.readBlock(0, 0, block, 5));
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 5), (std::vector<std::uint8_t>{0xA0, 0xA1, 0xA2, 0xA3, 0xA4}));
    EXPECT_TRUE(reader.readBlock(0, 5 + 65536, block, 2));
    EXPECT_EQ(block[1], 0xB1);
    EXPECT_FALSE(reader.readBlock(0, 5 + 65536, block, 3)); // one byte past the end
    EXPECT_FALSE(reader.readBlock(0, 0xFFFFFFFF, block, 2));
    EXPECT_FALSE(reader.readBlock(1, 0, block, 1));

    const auto size = static_cast<std::uint32_t>(view->size());
    EXPECT_EQ(reader.readRaw(size - 2, block, 5), 2u);
    EXPECT_EQ(block[0], 0xB0);
    EXPECT_EQ(reader.readRaw(size, block, 5), 0u);
    EXPECT_EQ(reader.readRaw(0, block, 1), 1u);
    EXPECT_EQ(block[0], 1);

    view->setAvailable(false);
    EXPECT_FALSE(reader.loadIndex(0, rows, rowStarts, cells));
    EXPECT_FALSE(reader.readBlock(0, 0, block, 1));
    EXPECT_EQ(reader.readRaw(0, block, 1), 0u);
}

TEST(GeometrySectionReader, RefusesBrokenSections) {
    EXPECT_EQ(openError(HandGeometry().bytes(), 1), "Unknown geometry section version");
    EXPECT_EQ(openError({}), "Section is too small");
    EXPECT_EQ(openError({11}), "Too big amount of levels");
    EXPECT_EQ(openError({0}), "Invalid geometry section");
    HandGeometry twoLevels;
    twoLevels.levels = 2; // the second record would be read from the blocks
    EXPECT_NE(openError(twoLevels.bytes()), "opened");
    const std::pair<std::function<void(HandGeometry&)>, const char*> broken[] = {
        {[](HandGeometry& g) { g.blocksOffsetDelta = 1; }, "Invalid geometry section"}, // parts end early
        {[](HandGeometry& g) { g.bits = 0; }, "Invalid geometry section"},
        {[](HandGeometry& g) { g.bits = 33; }, "Invalid geometry section"},
        {[](HandGeometry& g) { g.bits = 255; }, "Invalid geometry section"},
        {[](HandGeometry& g) { g.shift = 31; }, "Invalid geometry section"},
        {[](HandGeometry& g) { g.tableSizeDelta = 2; }, "Invalid geometry section"}, // not a multiple of 4
        {[](HandGeometry& g) { g.tableSizeDelta = 0x7FFFFFF0; }, "Section is too small"},
        {[](HandGeometry& g) { g.blocksOffsetDelta = 100000; }, "Section is too small"},
    };
    for (std::size_t i = 0; i < std::size(broken); ++i) {
        HandGeometry g;
        broken[i].first(g);
        EXPECT_EQ(openError(g.bytes()), broken[i].second) << i;
    }
    // 37 bytes of record need 38 bytes of section.
    EXPECT_EQ(openError(std::vector<std::uint8_t>{1, 24, 0, 0}), "Section is too small");
}

TEST(GeometrySectionReader, RefusesInconsistentIndexes) {
    std::uint32_t rows[3];
    std::uint32_t rowStarts[3];
    std::uint8_t cells[20];
    HandGeometry decreasing;
    decreasing.rows = {0, 3, 2};
    GeometrySectionReader a(0, std::make_shared<MemoryView>(decreasing.bytes()));
    EXPECT_FALSE(a.loadIndex(0, rows, rowStarts, cells));
    HandGeometry beyond;
    beyond.rows = {0, 2, 6}; // six entries of a five-entry table
    GeometrySectionReader b(0, std::make_shared<MemoryView>(beyond.bytes()));
    EXPECT_FALSE(b.loadIndex(0, rows, rowStarts, cells));
    HandGeometry bigBlock;
    bigBlock.entries[4] = {1, 0xFF, 0xFFFF}; // blocks past the section end
    GeometrySectionReader c(0, std::make_shared<MemoryView>(bigBlock.bytes()));
    EXPECT_FALSE(c.loadIndex(0, rows, rowStarts, cells));
}

TEST(Level, LooksUpCellsInTheIndex) {
    GeometrySectionReader reader(0, std::make_shared<MemoryView>(HandGeometry().bytes()));
    MapTest::MallocHeap heap;
    Map::Level level(reader, 0, heap);
    EXPECT_EQ(level.cellValue(0, 0), 0); // index not loaded yet
    ASSERT_TRUE(level.loadIndex());
    EXPECT_EQ(heap.usedBytes(), 32u + 4 * 2 + 4);
    const int values[2][3] = {{1, 0, 0}, {0, 3, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(level.cellValue(x, y), values[y][x]) << x << "," << y;
    EXPECT_EQ(level.cellSize(0, 0), 5u);
    EXPECT_EQ(level.cellSize(1, 1), 65536u);
    EXPECT_EQ(level.cellRange(1, 1), (Map::Level::CellRange{5, 65536}));
    EXPECT_EQ(level.cellRange(2, 1), (Map::Level::CellRange{5 + 65536, 2}));
    EXPECT_EQ(level.cellRange(3, 1), Map::Level::CellRange{});
    EXPECT_EQ(level.cellRange(0, 2), Map::Level::CellRange{});

    // A row made of one empty run: no blocks, its start equals the next one.
    HandGeometry emptyRow;
    emptyRow.rows = {0, 1, 4};
    emptyRow.entries = {{0, 0, 3}, {0, 0, 1}, {3, 1, 0}, {1, 0, 2}};
    GeometrySectionReader reader2(0, std::make_shared<MemoryView>(emptyRow.bytes()));
    std::uint32_t rows[3], rowStarts[3];
    std::uint8_t cells[16];
    ASSERT_TRUE(reader2.loadIndex(0, rows, rowStarts, cells));
    EXPECT_EQ(rowStarts[0], 0u);
    EXPECT_EQ(rowStarts[1], 0u);

    // A row whose runs overshoot the grid, and one that ends early, stay
    // inside their own entries.
    HandGeometry ragged;
    ragged.rows = {0, 1, 2};
    ragged.entries = {{0, 0, 0xFFFF}, {1, 0, 5}};
    GeometrySectionReader reader3(0, std::make_shared<MemoryView>(ragged.bytes()));
    Map::Level level3(reader3, 0, heap);
    ASSERT_TRUE(level3.loadIndex());
    const std::tuple<int, int, int> cells3[] = {{2, 0, 0}, {0, 1, 1}, {1, 1, 0}, {2, 1, 0}};
    for (const auto& [x, y, value] : cells3)
        EXPECT_EQ(level3.cellValue(x, y), value) << x << "," << y;
}

TEST(Level, PreparesAreasFromTheHeap) {
    GeometrySectionReader reader(0, std::make_shared<MemoryView>(HandGeometry().bytes()));
    MapTest::MallocHeap heap;
    Map::Level level(reader, 0, heap);
    Map::Level::Area& area = level.defaultArea();
    ASSERT_TRUE(level.prepareArea(area, -5, -5, 100, 100)); // clamped to the grid
    EXPECT_EQ(area.x0, 0);
    EXPECT_EQ(area.y0, 0);
    EXPECT_EQ(area.width, 3);
    EXPECT_EQ(area.height, 2);
    Map::Level::CellItems items;
    ASSERT_TRUE(level.cellItems(area, 1, 1, items));
    EXPECT_EQ(items.size, 65536u);
    EXPECT_EQ(items.end - items.begin, 65536);
    EXPECT_EQ(items.begin[255], 255);
    ASSERT_TRUE(level.cellItems(area, 0, 0, items));
    EXPECT_EQ(items.begin[0], 0xA0);
    EXPECT_FALSE(level.cellItems(area, 1, 0, items)); // empty cell
    EXPECT_FALSE(level.cellItems(area, 3, 0, items)); // outside
    const std::size_t blocks = heap.liveBlocks();     // index, array, three cells
    EXPECT_EQ(blocks, 5u);

    // A smaller rectangle inside keeps the larger area and its cells.
    ASSERT_TRUE(level.prepareArea(area, 1, 1, 1, 1));
    EXPECT_EQ(area.width, 3);
    EXPECT_EQ(heap.liveBlocks(), blocks);
    EXPECT_TRUE(level.cellItems(area, 0, 0, items));

    // A rectangle reaching outside frees the cells outside it and moves the
    // rest.
    level.clearArea(area);
    ASSERT_TRUE(level.prepareArea(area, 0, 0, 1, 1));
    EXPECT_TRUE(level.cellItems(area, 0, 0, items));
    ASSERT_TRUE(level.prepareArea(area, 1, 1, 2, 1));
    EXPECT_EQ(area.x0, 1);
    EXPECT_EQ(area.width, 2);
    EXPECT_FALSE(level.cellItems(area, 0, 0, items));
    EXPECT_TRUE(level.cellItems(area, 2, 1, items));
    EXPECT_EQ(heap.liveBlocks(), 4u);

    // x1 < x0 empties the area and succeeds.
    ASSERT_TRUE(level.prepareArea(area, 2, 0, 1, 1));
    EXPECT_EQ(area.cells, nullptr);
    EXPECT_EQ(heap.liveBlocks(), 1u); // the index
}

TEST(Level, ReportsFullHeapAndBadFiles) {
    GeometrySectionReader reader(0, std::make_shared<MemoryView>(HandGeometry().bytes()));
    TestSupport::CaptureLogger log;
    MapTest::MallocHeap heap(10);
    Map::Level level(reader, 0, heap);
    EXPECT_FALSE(level.loadIndex());
    EXPECT_TRUE(log.contains("Can't load index from file - not enough memory (44 required)"));
    heap.setLimit(44 + 6 * sizeof(void*) + 5 + 100);
    Map::Level::Area area;
    EXPECT_FALSE(level.prepareArea(area, 0, 0, 2, 1));
    EXPECT_TRUE(log.contains("Can't load area from file - not enough memory (65536 required)"));
    EXPECT_TRUE(level.cellItems(area, 0, 0, *std::make_unique<Map::Level::CellItems>())); // kept what it had
    level.clearArea(area);
    heap.setLimit(44 + 1);
    EXPECT_FALSE(level.prepareArea(area, 0, 0, 2, 1));
    EXPECT_TRUE(log.contains("Can't setup area - not enough memory (" + std::to_string(6 * sizeof(void*)) +
                             " required)"));

    HandGeometry bad;
    bad.rows = {0, 3, 2};
    GeometrySectionReader badReader(0, std::make_shared<MemoryView>(bad.bytes()));
    MapTest::MallocHeap heap2;
    Map::Level badLevel(badReader, 0, heap2, u"/maps/bad.kvm");
    EXPECT_FALSE(badLevel.loadIndex());
    EXPECT_TRUE(log.contains("Can't load index from file - invalid map file"));
    EXPECT_EQ(heap2.liveBlocks(), 0u);
    // The damaged index is named once and not read again on the next frames.
    EXPECT_EQ(log.count("Map file '/maps/bad.kvm': the cell index of level 0 is damaged - level skipped"),
              1u);
    const std::size_t logged = log.lines().size();
    EXPECT_TRUE(badLevel.indexDamaged());
    EXPECT_FALSE(badLevel.loadIndex());
    Map::Level::Area skipped;
    EXPECT_FALSE(badLevel.prepareArea(skipped, 0, 0, 2, 1));
    EXPECT_EQ(log.lines().size(), logged);
    EXPECT_EQ(heap2.liveBlocks(), 0u);

    HandGeometry empty;
    empty.width = 0;
    GeometrySectionReader emptyReader(0, std::make_shared<MemoryView>(empty.bytes()));
    EXPECT_THROW(Map::Level(emptyReader, 0, heap2), std::runtime_error);

    // A view lost between index and blocks fails the area load.
    auto view = std::make_shared<MemoryView>(HandGeometry().bytes());
    GeometrySectionReader lossy(0, view);
    Map::Level lossyLevel(lossy, 0, heap2);
    ASSERT_TRUE(lossyLevel.loadIndex());
    view->setAvailable(false);
    Map::Level::Area lost;
    EXPECT_FALSE(lossyLevel.prepareArea(lost, 0, 0, 2, 1));
    EXPECT_TRUE(log.contains("Can't load area from file - invalid map file"));
    lossyLevel.clearArea(lost);
}

TEST(Level, StartsOverAfterTheHeapIsReset) {
    GeometrySectionReader reader(0, std::make_shared<MemoryView>(HandGeometry().bytes()));
    MapTest::MallocHeap heap;
    Map::Level level(reader, 0, heap);
    ASSERT_TRUE(level.prepareArea(level.defaultArea(), 0, 0, 2, 1));
    EXPECT_TRUE(level.indexLoaded());
    // The owner resets the whole heap, then tells every level to forget.
    heap.reset();
    level.resetAreas();
    EXPECT_FALSE(level.indexLoaded());
    EXPECT_EQ(level.defaultArea().cells, nullptr);
    EXPECT_EQ(level.cellValue(0, 0), 0);
    ASSERT_TRUE(level.prepareArea(level.defaultArea(), 0, 0, 0, 0));
    Map::Level::CellItems items;
    EXPECT_TRUE(level.cellItems(level.defaultArea(), 0, 0, items));
    EXPECT_EQ(items.size, 5u);
    EXPECT_EQ(heap.liveBlocks(), 3u);
}
