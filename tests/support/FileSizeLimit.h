#pragma once
// Makes writes really fail for a scope, as on a full disk: lowers the
// process's file-size limit so that writing past `bytes` in any file fails
// with EFBIG (Win32 error 223) instead of raising SIGXFSZ. Works for every
// user, root included, unlike read-only folders. Tests run one per process,
// so the limit touches no other test.

#include <cstdint>

namespace TestSupport {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    std::uint64_t m_savedCurrent;
    void (*m_savedHandler)(int);
};

} // namespace TestSupport
