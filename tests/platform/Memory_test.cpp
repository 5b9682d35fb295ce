#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <memory>

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
