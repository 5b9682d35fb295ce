#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <memory>

TEST(PlatformMemory, StatusIsPlausible) {
    const Platform::MemoryStatus s = Platform::memoryStatus();
    EXPECT_GT(s.totalPhysical, 0u);
    EXPECT_GT(s.availablePhysical, 0u);
    EXPECT_LE(s.availablePhysical, s.totalPhysical);
    EXPECT_GT(s.totalVirtual, 0u);
    EXPECT_LE(s.availableVirtual, s.totalVirtual);

    // Mapping 64 MB of address space shows up in the virtual figure.
    auto block = std::make_unique<char[]>(64u << 20);
    block[0] = 1;
    const Platform::MemoryStatus after = Platform::memoryStatus();
    EXPECT_LT(after.availableVirtual, s.availableVirtual);
}
