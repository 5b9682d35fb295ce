#include "platform/Memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace Platform {
namespace {

struct ProcField {
    const char* name;
    std::uint64_t* bytes;
};

// The "Name:   1234 kB" lines of a /proc status file, in bytes; a field
// that is absent stays as it was. One read of the file serves them all.
template <std::size_t N>
void readProcFields(const char* file, const ProcField (&fields)[N]) {
    std::FILE* f = std::fopen(file, "re");
    if (!f)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        for (const ProcField& field : fields) {
            const std::size_t nameLength = std::strlen(field.name);
            unsigned long long kb = 0;
            if (std::strncmp(line, field.name, nameLength) == 0 && line[nameLength] == ':' &&
                std::sscanf(line + nameLength + 1, "%llu", &kb) == 1)
                *field.bytes = static_cast<std::uint64_t>(kb) * 1024;
        }
    }
    std::fclose(f);
}

// The user half of the address space of a 64-bit x86 or ARM process
// (47 bits); a 32-bit process has 3 GB.
constexpr std::uint64_t addressSpace() {
    return sizeof(void*) >= 8 ? (std::uint64_t(1) << 47) : (std::uint64_t(3) << 30);
}

} // namespace

MemoryStatus memoryStatusOf(const MemoryFigures& f) {
    MemoryStatus status;
    status.totalPhysical = f.memTotal;
    status.availablePhysical = f.memAvailable != 0 ? f.memAvailable : f.memFree;
    status.totalVirtual = f.addressLimit;
    status.availableVirtual = f.mapped < f.addressLimit ? f.addressLimit - f.mapped : 0;
    // An unreadable /proc/meminfo leaves the address space as the only bound.
    if (status.availablePhysical != 0 && status.availablePhysical + f.swapFree < status.availableVirtual)
        status.availableVirtual = status.availablePhysical + f.swapFree;
    return status;
}

MemoryStatus memoryStatus() {
    MemoryFigures figures;
    readProcFields("/proc/meminfo", {{"MemTotal", &figures.memTotal},
                                     {"MemAvailable", &figures.memAvailable},
                                     {"MemFree", &figures.memFree},
                                     {"SwapFree", &figures.swapFree}});
    readProcFields("/proc/self/status", {{"VmSize", &figures.mapped}});
    figures.addressLimit = addressSpace();
    struct rlimit rl {};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < figures.addressLimit)
        figures.addressLimit = static_cast<std::uint64_t>(rl.rlim_cur);
    return memoryStatusOf(figures);
}

std::size_t pageBytes() {
    static const std::size_t bytes = [] {
        const long size = sysconf(_SC_PAGESIZE);
        return size > 0 ? static_cast<std::size_t>(size) : std::size_t{4096};
    }();
    return bytes;
}

bool releasePages(void* begin, std::size_t bytes) {
    const std::uintptr_t page = pageBytes();
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    if (bytes > UINTPTR_MAX - start)
        return false;
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t last = (start + bytes) / page * page;
    if (first >= last || first < start)
        return true;
    return madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED) == 0;
}

bool releaseFreeHeapPages() {
#ifdef __GLIBC__
    return malloc_trim(0) == 1;
#else
    return false;
#endif
}

} // namespace Platform
