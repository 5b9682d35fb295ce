#include "platform/Memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

TEST(PlatformMemory, StatusIsPlausible) {
    const Platform::MemoryStatus s = Platform::memoryStatus();
    EXPECT_GT(s.totalPhysical, 0u);
    EXPECT_GT(s.availablePhysical, 0u);
    EXPECT_LE(s.availablePhysical, s.totalPhysical);
    EXPECT_GT(s.totalVirtual, 0u);
    EXPECT_GT(s.availableVirtual, 0u);
    EXPECT_LE(s.availableVirtual, s.totalVirtual);
}

TEST(PlatformMemory, AvailableVirtualIsBoundByAddressSpaceAndByFreeMemory) {
    constexpr std::uint64_t G = std::uint64_t(1) << 30;
    constexpr std::uint64_t Space = std::uint64_t(1) << 47;
    struct Case {
        const char* what;
        Platform::MemoryFigures figures;
        std::uint64_t physical, virtualBytes;
    };
    const Case cases[] = {
        // memTotal, memAvailable, memFree, swapFree, mapped, addressLimit
        {"64-bit: free memory and swap bound it", {16 * G, 10 * G, 2 * G, 4 * G, 1 * G, Space}, 10 * G, 14 * G},
        {"no MemAvailable: MemFree stands in", {16 * G, 0, 2 * G, 0, 1 * G, Space}, 2 * G, 2 * G},
        {"a small address-space limit bounds it", {16 * G, 10 * G, 2 * G, 4 * G, 1 * G, 3 * G}, 10 * G, 2 * G},
        {"all of the limit mapped", {16 * G, 10 * G, 2 * G, 0, 3 * G, 3 * G}, 10 * G, 0},
        {"more mapped than the limit", {16 * G, 10 * G, 2 * G, 0, 4 * G, 3 * G}, 10 * G, 0},
        {"unreadable meminfo: the address space alone", {0, 0, 0, 0, 1 * G, Space}, 0, Space - 1 * G},
    };
    for (const Case& c : cases) {
        const Platform::MemoryStatus s = Platform::memoryStatusOf(c.figures);
        EXPECT_EQ(s.availablePhysical, c.physical) << c.what;
        EXPECT_EQ(s.availableVirtual, c.virtualBytes) << c.what;
        EXPECT_EQ(s.totalPhysical, c.figures.memTotal) << c.what;
        EXPECT_EQ(s.totalVirtual, c.figures.addressLimit) << c.what;
    }
}

// Released pages leave residency and read as zeros; the partly covered
// pages at either end, and every page outside, keep their bytes.
TEST(PlatformMemory, ReleasePagesGivesBackOnlyWholePagesInside) {
    const std::size_t page = Platform::pageBytes();
    ASSERT_GE(page, 4096u);
    ASSERT_EQ(page & (page - 1), 0u);
    constexpr std::size_t Pages = 8;
    void* mapped = mmap(nullptr, Pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* base = static_cast<unsigned char*>(mapped);
    struct Case {
        const char* what;
        std::size_t offset, bytes; // in bytes from the region's start
        std::vector<std::size_t> released; // the pages that go
    };
    const Case cases[] = {
        {"two whole pages", 1 * page, 2 * page, {1, 2}},
        {"from one byte into a page to a page's end", 1 * page + 1, 3 * page - 1, {2, 3}},
        {"partly covered pages at both ends", 1 * page + 100, 3 * page, {2, 3}},
        {"one byte short of a whole page", 2 * page, page - 1, {}},
        {"inside one page", 2 * page + 8, page - 16, {}},
        {"nothing", 3 * page, 0, {}},
        {"the whole region", 0, Pages * page, {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < Pages; ++i)
            std::memset(base + i * page, static_cast<int>(0x40 + i), page);
        EXPECT_TRUE(Platform::releasePages(base + c.offset, c.bytes)) << c.what;
        std::vector<unsigned char> resident(Pages);
        ASSERT_EQ(mincore(base, Pages * page, resident.data()), 0);
        for (std::size_t i = 0; i < Pages; ++i) {
            const bool released = std::find(c.released.begin(), c.released.end(), i) != c.released.end();
            EXPECT_EQ((resident[i] & 1) == 0, released) << c.what << ", page " << i;
            const unsigned char expected = released ? 0 : static_cast<unsigned char>(0x40 + i);
            EXPECT_EQ(base[i * page], expected) << c.what << ", page " << i;
            EXPECT_EQ(base[i * page + page - 1], expected) << c.what << ", page " << i;
        }
    }
    munmap(mapped, Pages * page);
}

// Blocks the heap gave and got back stay resident, their pages inside
// touched, until the free heap pages are given back; a block still in use
// keeps its pages. (The last block stays: freed, the blocks below it would
// be the heap's top, which free() itself gives back.)
TEST(PlatformMemory, FreeHeapPagesAreGivenBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator keeps freed blocks in its own quarantine";
#endif
    const std::size_t page = Platform::pageBytes();
    constexpr std::size_t Blocks = 32, Bytes = 64 * 1024; // below the size malloc maps on its own
    std::vector<std::uintptr_t> blocks;
    unsigned char* last = nullptr;
    for (std::size_t i = 0; i < Blocks; ++i) {
        last = static_cast<unsigned char*>(std::malloc(Bytes));
        ASSERT_NE(last, nullptr);
        std::memset(last, 0x5A, Bytes);
        blocks.push_back(reinterpret_cast<std::uintptr_t>(last));
    }
    // The whole pages inside a block, past the heap's own words at its
    // start: how many are resident, of how many.
    const auto resident = [page](std::uintptr_t block) {
        const std::uintptr_t first = (block + page - 1) / page * page + page;
        const std::uintptr_t end = (block + Bytes) / page * page;
        std::vector<unsigned char> pages((end - first) / page);
        if (mincore(reinterpret_cast<void*>(first), end - first, pages.data()) != 0) return std::pair{0, -1};
        const auto in = std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return (p & 1) != 0; });
        return std::pair{static_cast<int>(in), static_cast<int>(pages.size())};
    };
    for (std::size_t i = 0; i + 1 < Blocks; ++i)
        std::free(reinterpret_cast<void*>(blocks[i]));
    int before = 0, after = 0, all = 0;
    for (std::size_t i = 0; i + 1 < Blocks; ++i) {
        const auto [in, of] = resident(blocks[i]);
        ASSERT_GE(of, 1);
        before += in;
        all += of;
    }
    ASSERT_EQ(before, all) << "freed blocks keep their pages until they are given back";
    EXPECT_TRUE(Platform::releaseFreeHeapPages());
    for (std::size_t i = 0; i + 1 < Blocks; ++i)
        after += resident(blocks[i]).first;
    EXPECT_LT(after, all / 10);
    const auto kept = resident(blocks.back());
    EXPECT_EQ(kept.first, kept.second);
    EXPECT_EQ(last[Bytes - 1], 0x5A);
    std::free(last);
}
