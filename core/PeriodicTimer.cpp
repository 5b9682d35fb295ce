#include "core/PeriodicTimer.h"

#include <chrono>

namespace Threading {

PeriodicTimer::PeriodicTimer(std::uint32_t periodMs, std::function<void()> callback)
    : m_periodMs(periodMs), m_callback(std::move(callback)), m_thread([this] { run(); }) {}

PeriodicTimer::~PeriodicTimer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notifyAll();
    m_thread.join();
}

void PeriodicTimer::run() {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(m_periodMs == 0 ? 1 : m_periodMs);
    auto next = Clock::now() + period;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_wake.waitUntil(lock, next, [this] { return m_stop; })) return;
        lock.unlock();
        m_callback();
        lock.lock();
        next += period;
        const auto now = Clock::now();
        if (next <= now) next = now + period;
    }
}

} // namespace Threading
