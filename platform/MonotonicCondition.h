#pragma once
// A condition variable whose timed waits follow the monotonic clock, never
// the wall clock, also in a process whose clocks a preloaded library shifts
// (libfaketime, with which a tester tries the program at another hour).
// std::condition_variable waits for a steady_clock deadline through
// pthread_cond_clockwait, which such a library does not know: the deadline,
// read from its shifted clock, would be waited for on the real one, years
// away. A condition made for CLOCK_MONOTONIC and waited on with
// pthread_cond_timedwait is what it shifts along with the clock.

#include <chrono>
#include <mutex>

#include <pthread.h>

namespace Platform {

class MonotonicCondition {
  public:
    // Throws std::system_error when the condition cannot be made.
    MonotonicCondition();
    ~MonotonicCondition();
    MonotonicCondition(const MonotonicCondition&) = delete;
    MonotonicCondition& operator=(const MonotonicCondition&) = delete;

    void notifyAll();
    // The lock must hold its mutex. Wakes on a notification or spuriously.
    void wait(std::unique_lock<std::mutex>& lock);
    // The same, bounded by a deadline of std::chrono::steady_clock (the
    // monotonic clock): false once the deadline has passed.
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline);
    // Waits until `done` holds or the deadline passes; gives `done`'s value.
    template <class Predicate>
    bool waitUntil(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline,
                   Predicate done) {
        while (!done())
            if (!waitUntil(lock, deadline))
                return done();
        return true;
    }

  private:
    pthread_cond_t m_condition;
};

} // namespace Platform
