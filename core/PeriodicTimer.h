#pragma once
// A callback run every period on a thread of its own that sleeps until the
// next period. SDL 1.2's timer thread wakes every millisecond to look at its
// timers, a thousand wake-ups a second for a page that asks for twenty.
//
// The first call comes one period after the start. A call that runs late
// does not make the next ones come sooner: periods missed are skipped.

#include "platform/MonotonicCondition.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace Threading {

class PeriodicTimer {
  public:
    // Starts the thread; throws std::system_error when it cannot be created.
    PeriodicTimer(std::uint32_t periodMs, std::function<void()> callback);
    // Stops the thread and waits for it: no call runs once it returns. Must
    // not be called from the callback.
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    std::uint32_t periodMs() const { return m_periodMs; }

  private:
    void run();

    const std::uint32_t m_periodMs;
    const std::function<void()> m_callback;
    std::mutex m_mutex;
    Platform::MonotonicCondition m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace Threading
