#pragma once
// How much memory the program could still use, for the log and the sensors.

#include <cstdint>

namespace Platform {

struct MemoryStatus {
    std::uint64_t totalPhysical = 0;     // bytes of RAM
    std::uint64_t availablePhysical = 0; // bytes the kernel could give without swapping ("MemAvailable")
    std::uint64_t totalVirtual = 0;      // bytes of address space the process may use
    std::uint64_t availableVirtual = 0;  // of which not yet mapped
};

// Fields that cannot be read are 0.
MemoryStatus memoryStatus();

} // namespace Platform
