#pragma once
// Runs a piece of a test in a child process in which chosen system calls
// fail with a chosen errno (a seccomp filter), to reach the error paths
// that a working system never takes: a clock, fstat or an ioctl that fails.
// The child reports through its exit status only, so `body` sums up what it
// saw in a number below 256.

#include <functional>
#include <optional>
#include <vector>

namespace TestSupport {

struct FailingCall {
    long number;                          // this machine's system call number (SYS_...)
    std::optional<unsigned long> request; // an ioctl's request: only that one fails
};

// The exit status of `body` run in the child under the filter; -1 when the
// child could not be made or died of a signal, FilterRefused when the
// kernel refused the filter.
inline constexpr int FilterRefused = 250;
int runWithFailingCalls(const std::vector<FailingCall>& calls, int error, const std::function<int()>& body);

} // namespace TestSupport
