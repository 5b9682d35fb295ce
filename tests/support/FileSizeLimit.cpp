#include "tests/support/FileSizeLimit.h"

#include <sys/resource.h>

#include <csignal>

namespace TestSupport {

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_savedCurrent = limit.rlim_cur;
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_savedCurrent);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_savedHandler);
}

} // namespace TestSupport
