#include "tests/support/AddressSpaceLimit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace TestSupport {

AddressSpaceLimit::AddressSpaceLimit(std::uint64_t headroom) {
    struct rlimit limit {};
    getrlimit(RLIMIT_AS, &limit);
    m_savedCurrent = limit.rlim_cur;
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const std::uint64_t wanted = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + headroom;
    if (limit.rlim_max == RLIM_INFINITY || wanted < limit.rlim_max) limit.rlim_cur = static_cast<rlim_t>(wanted);
    setrlimit(RLIMIT_AS, &limit);
}

AddressSpaceLimit::~AddressSpaceLimit() {
    struct rlimit limit {};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_savedCurrent);
    setrlimit(RLIMIT_AS, &limit);
}

} // namespace TestSupport
