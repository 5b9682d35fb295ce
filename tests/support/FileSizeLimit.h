#pragma once
// Lowers the process's file-size limit for a scope, so that writes past it
// really fail (EFBIG) as on a full disk; works for any user, root included.
// Tests run one per process under CTest, so the limit touches no other test.

#include <sys/resource.h>

#include <csignal>

namespace TestSupport {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit m_saved {};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace TestSupport
