#pragma once
// A condition variable whose timed waits follow the monotonic clock, never
// the wall clock, also in a process whose clocks a preloaded library shifts
// (libfaketime, with which a tester tries the program at another hour, with
// the monotonic clock shifted too or left alone).
//
// Such a library shifts what clock_gettime gives, and translates the
// deadline of a pthread_cond_timedwait from the clock it shifted back to the
// kernel's; but a library that leaves the monotonic clock alone for the
// program still shifts it in that translation (libfaketime's
// FAKETIME_DONT_FAKE_MONOTONIC), and every deadline lies in the past: the
// wait ends at once and its caller spins. So no deadline crosses a call the
// library knows: the time left is measured on std::chrono::steady_clock,
// whichever way it is shifted (it moves at the kernel's pace either way),
// and added to the kernel's own monotonic reading, taken by the system call
// itself, for pthread_cond_clockwait, which the library does not translate.
// Where that system call fails, a timed wait sleeps (relatively) for at most
// 10 ms at a time instead, and wakes as if spuriously.

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
    // monotonic clock as this process reads it): false once the deadline
    // has passed.
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
    // Waits until `done` holds or the time passes; gives `done`'s value.
    template <class Predicate>
    bool waitFor(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds time, Predicate done) {
        return waitUntil(lock, std::chrono::steady_clock::now() + time, std::move(done));
    }

  private:
    pthread_cond_t m_condition;
};

} // namespace Platform
