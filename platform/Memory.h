#pragma once
// How much memory the program could still use, for the log and the sensors.

#include <cstdint>

namespace Platform {

struct MemoryStatus {
    std::uint64_t totalPhysical = 0;     // bytes of RAM
    std::uint64_t availablePhysical = 0; // bytes the kernel could give without swapping ("MemAvailable")
    std::uint64_t totalVirtual = 0;      // bytes of address space the process may use
    std::uint64_t availableVirtual = 0;  // bytes the process could still map and fill
};

// Fields that cannot be read are 0.
MemoryStatus memoryStatus();

// What memoryStatus() reads, in bytes (0 where unreadable), kept apart so
// the rule that joins them can be checked on any figures.
struct MemoryFigures {
    std::uint64_t memTotal = 0;
    std::uint64_t memAvailable = 0;
    std::uint64_t memFree = 0;
    std::uint64_t swapFree = 0;
    std::uint64_t mapped = 0;       // the process's own address space in use ("VmSize")
    std::uint64_t addressLimit = 0; // the address space it may use (bits or RLIMIT_AS)
};

// A 64-bit process has about 128 TiB of address space left, a figure no one
// can use: what it can still fill is also bounded by the memory and swap the
// system has free, whichever is smaller.
MemoryStatus memoryStatusOf(const MemoryFigures& figures);

} // namespace Platform
