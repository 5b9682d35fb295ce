#include "platform/MonotonicCondition.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <system_error>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

// The kernel's monotonic clock as it is, below any library preloaded to
// shift clock_gettime; nothing where the system call fails (a seccomp
// filter that lets only the C library's way to the clock through).
std::optional<std::chrono::nanoseconds> kernelMonotonic() {
    timespec now{};
    if (::syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now) != 0)
        return std::nullopt;
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// The longest sleep of a wait that has no kernel reading to wait for.
constexpr std::chrono::milliseconds UnreadSlice{10};

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
    const std::optional<nanoseconds> kernel = kernelMonotonic();
    if (!kernel) {
        // No deadline for the wait would hold: the C library's reading may
        // be shifted, and one of 0 put every deadline in the past (the
        // waits ended at once and the timers spun). A short relative sleep
        // instead, the mutex released, counted as a spurious wake-up: a
        // notification is seen up to a slice late.
        lock.unlock();
        std::this_thread::sleep_for(std::min<nanoseconds>(left, UnreadSlice));
        lock.lock();
        return steady_clock::now() < deadline;
    }
    const nanoseconds at = *kernel + left;
    timespec until{};
    until.tv_sec = static_cast<time_t>(duration_cast<seconds>(at).count());
    until.tv_nsec = static_cast<long>((at - duration_cast<seconds>(at)).count());
    return pthread_cond_clockwait(&m_condition, lock.mutex()->native_handle(), CLOCK_MONOTONIC, &until) !=
           ETIMEDOUT;
}

} // namespace Platform
