#include "platform/MonotonicCondition.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

namespace Platform {

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
    // steady_clock reads CLOCK_MONOTONIC: its time since the epoch is the
    // clock's own reading.
    using namespace std::chrono;
    const nanoseconds since = std::max(duration_cast<nanoseconds>(deadline.time_since_epoch()), nanoseconds::zero());
    timespec at{};
    at.tv_sec = static_cast<time_t>(duration_cast<seconds>(since).count());
    at.tv_nsec = static_cast<long>((since - duration_cast<seconds>(since)).count());
    return pthread_cond_timedwait(&m_condition, lock.mutex()->native_handle(), &at) != ETIMEDOUT;
}

} // namespace Platform
