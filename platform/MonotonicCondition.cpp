#include "platform/MonotonicCondition.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

// The kernel's monotonic clock as it is, below any library preloaded to
// shift clock_gettime. Where the system call itself fails (a seccomp filter
// that allows only the C library's way to the clock), the C library's
// reading stands in: right unless such a library shifts it too, where
// nothing else reaches the kernel's. A reading of 0 instead put every
// deadline in the past, and every timed wait ended at once: the timers spun.
std::chrono::nanoseconds kernelMonotonic() {
    timespec now{};
    if (::syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now) != 0)
        ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

MonotonicCondition::MonotonicCondition() {
    pthread_condattr_t attributes;
    int error = pthread_condattr_init(&attributes);
    if (error == 0) {
        error = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        if (error == 0)
            error = pthread_cond_init(&m_condition, &attributes);
        pthread_condattr_destroy(&attributes);
    }
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "pthread_cond_init");
}

MonotonicCondition::~MonotonicCondition() { pthread_cond_destroy(&m_condition); }

void MonotonicCondition::notifyAll() { pthread_cond_broadcast(&m_condition); }

void MonotonicCondition::wait(std::unique_lock<std::mutex>& lock) {
    pthread_cond_wait(&m_condition, lock.mutex()->native_handle());
}

bool MonotonicCondition::waitUntil(std::unique_lock<std::mutex>& lock,
                                   std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    const nanoseconds left = deadline - steady_clock::now();
    if (left <= nanoseconds::zero())
        return false;
    const nanoseconds at = kernelMonotonic() + left;
    timespec until{};
    until.tv_sec = static_cast<time_t>(duration_cast<seconds>(at).count());
    until.tv_nsec = static_cast<long>((at - duration_cast<seconds>(at)).count());
    return pthread_cond_clockwait(&m_condition, lock.mutex()->native_handle(), CLOCK_MONOTONIC, &until) !=
           ETIMEDOUT;
}

} // namespace Platform
