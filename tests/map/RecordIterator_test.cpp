#include "map/RecordIterator.h"

#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void appendRecord(Bytes& block, std::uint8_t type, std::uint32_t size) {
    block.push_back(type);
    block.push_back(static_cast<std::uint8_t>(size >> 16));
    block.push_back(static_cast<std::uint8_t>(size));
    block.push_back(static_cast<std::uint8_t>(size >> 8));
    for (std::uint32_t i = 4; i < size; ++i)
        block.push_back(static_cast<std::uint8_t>(i));
}

TEST(RecordIterator, WalksRecordsAndSkipsOtherTypes) {
    Bytes block;
    appendRecord(block, 7, 4);
    appendRecord(block, 2, 0x10105); // size across all three size bytes
    appendRecord(block, 7, 9);
    // The header bytes as stored: type, size bits 16..23, then u16 LE.
    EXPECT_EQ((Bytes{block[4], block[5], block[6], block[7]}), (Bytes{2, 0x01, 0x05, 0x01}));

    Map::RecordIterator all(block.data(), block.data() + block.size());
    Map::Record r;
    ASSERT_TRUE(all.next(r));
    EXPECT_EQ(r.type, 7u);
    EXPECT_EQ(r.size, 4u);
    EXPECT_EQ(r.start, block.data());
    EXPECT_EQ(r.payload, block.data() + 4);
    EXPECT_EQ(r.end, block.data() + 4);
    ASSERT_TRUE(all.next(r));
    EXPECT_EQ(r.type, 2u);
    EXPECT_EQ(r.size, 0x10105u);
    ASSERT_TRUE(all.next(r)); // the last record, then no more
    EXPECT_EQ(r.size, 9u);
    EXPECT_EQ(r.end, block.data() + block.size());
    EXPECT_FALSE(all.next(r));
    EXPECT_FALSE(all.next(r));

    Map::RecordIterator sevens(block.data(), block.data() + block.size());
    ASSERT_TRUE(sevens.nextOfType(7, r));
    EXPECT_EQ(r.start, block.data());
    ASSERT_TRUE(sevens.nextOfType(7, r));
    EXPECT_EQ(r.size, 9u);
    EXPECT_FALSE(sevens.nextOfType(7, r));
    Map::RecordIterator none(block.data(), block.data() + block.size());
    EXPECT_FALSE(none.nextOfType(3, r));

    Map::RecordIterator empty(block.data(), block.data());
    EXPECT_FALSE(empty.next(r));
    Map::RecordIterator unset;
    EXPECT_FALSE(unset.next(r));

    Map::Level::CellItems items{block.data(),
                                block.data() + 4,
                                block.data() + block.size(),
                                static_cast<std::uint32_t>(block.size()),
                                0,
                                0};
    Map::RecordIterator fromItems(items);
    ASSERT_TRUE(fromItems.next(r));
    EXPECT_EQ(r.type, 2u);
}

TEST(RecordIterator, DamagedHeadersEndTheWalk) {
    TestSupport::CaptureLogger log;
    Map::Record r;
    {
        Bytes block;
        appendRecord(block, 1, 4);
        appendRecord(block, 1, 4);
        block[5] = block[6] = block[7] = 0; // size 0 would never advance
        Map::RecordIterator it(block.data(), block.data() + block.size());
        EXPECT_TRUE(it.next(r));
        EXPECT_FALSE(it.next(r));
        EXPECT_FALSE(it.next(r));
        EXPECT_TRUE(log.contains("Damaged cell record at offset 4: size 0, 4 bytes left"))
            << log.lines().size();
    }
    {
        Bytes block;
        appendRecord(block, 1, 8);
        block[2] = 9; // runs one byte past the block
        Map::RecordIterator it(block.data(), block.data() + block.size());
        EXPECT_FALSE(it.next(r));
        EXPECT_TRUE(log.contains("size 9, 8 bytes left"));
    }
    {
        Bytes block;
        appendRecord(block, 1, 4);
        block.push_back(1); // a header cut short
        block.push_back(0);
        Map::RecordIterator it(block.data(), block.data() + block.size());
        EXPECT_TRUE(it.next(r));
        EXPECT_FALSE(it.nextOfType(1, r));
    }
    {
        Bytes block;
        appendRecord(block, 5, 3); // size below the header
        block.push_back(0);
        Map::RecordIterator it(block.data(), block.data() + block.size());
        EXPECT_FALSE(it.nextOfType(1, r));
    }
}

// Random damage to a block never reads outside it (checked by the sanitizer
// build: the block is copied to an exactly sized heap buffer) and always ends.
TEST(RecordIterator, MutatedBlocksStayInBounds) {
    TestSupport::Damage damage(7);
    Bytes good;
    for (int i = 0; i < 20; ++i)
        appendRecord(good, static_cast<std::uint8_t>(i % 3), 4 + static_cast<std::uint32_t>(i * 5 % 17));
    for (int round = 0; round < 3000; ++round) {
        const Bytes damaged = damage.apply(good);
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[damaged.size() + 1]);
        std::copy(damaged.begin(), damaged.end(), exact.get());
        const std::uint8_t* end = exact.get() + damaged.size();
        Map::RecordIterator it(exact.get(), end);
        Map::Record r;
        std::size_t seen = 0;
        while ((round % 2 == 0) ? it.next(r) : it.nextOfType(1, r)) {
            ASSERT_LE(r.end, end);
            ASSERT_GE(r.size, 4u);
            seen += r.size;
            ASSERT_LE(seen, damaged.size());
        }
    }
}

} // namespace
