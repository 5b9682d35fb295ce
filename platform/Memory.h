#pragma once
// How much memory the program could still use, for the log and the sensors;
// and pages given back from inside the program's own heaps.

#include <cstddef>
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

// The system's page size in bytes.
std::size_t pageBytes();

// Gives the whole pages inside [begin, begin + bytes) back to the system:
// they stay mapped, are no longer resident, and read as zeros when touched
// again. For memory the caller owns and keeps nothing in (the inside of a
// free chunk of its own heap); the partly covered pages at either end are
// left alone. False when the system refused (the pages stay as they were).
bool releasePages(void* begin, std::size_t bytes);

// Gives the whole pages inside the free memory of the C heap back to the
// system (glibc's malloc_trim): what a phase allocated and freed otherwise
// stays resident until the heap happens to reuse it. True when pages were
// given back; false when none were or the C library cannot.
bool releaseFreeHeapPages();

} // namespace Platform
