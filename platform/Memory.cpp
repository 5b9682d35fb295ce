#include "platform/Memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace Platform {
namespace {

// A "Name:   1234 kB" line of a /proc status file, in bytes; 0 when absent.
std::uint64_t procField(const char* file, const char* name) {
    std::FILE* f = std::fopen(file, "re");
    if (!f)
        return 0;
    char line[256];
    std::uint64_t result = 0;
    const std::size_t nameLength = std::strlen(name);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':') {
            unsigned long long kb = 0;
            if (std::sscanf(line + nameLength + 1, "%llu", &kb) == 1)
                result = static_cast<std::uint64_t>(kb) * 1024;
            break;
        }
    }
    std::fclose(f);
    return result;
}

// The user half of the address space of a 64-bit x86 or ARM process
// (47 bits); a 32-bit process has 3 GB.
constexpr std::uint64_t addressSpace() {
    return sizeof(void*) >= 8 ? (std::uint64_t(1) << 47) : (std::uint64_t(3) << 30);
}

} // namespace

MemoryStatus memoryStatus() {
    MemoryStatus status;
    status.totalPhysical = procField("/proc/meminfo", "MemTotal");
    status.availablePhysical = procField("/proc/meminfo", "MemAvailable");
    if (status.availablePhysical == 0)
        status.availablePhysical = procField("/proc/meminfo", "MemFree");

    std::uint64_t limit = addressSpace();
    struct rlimit rl {};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < limit)
        limit = static_cast<std::uint64_t>(rl.rlim_cur);
    status.totalVirtual = limit;
    const std::uint64_t used = procField("/proc/self/status", "VmSize");
    status.availableVirtual = used < limit ? limit - used : 0;
    return status;
}

} // namespace Platform
