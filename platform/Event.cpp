#include "platform/Event.h"

#include "platform/MonotonicCondition.h"

#include <chrono>
#include <mutex>

namespace Platform {
namespace {

// All events share one mutex and one condition variable: a waiter on several
// events needs a single place to sleep, and the program has few events with
// rare signals, so waking every waiter on a set costs nothing noticeable.
struct Shared {
    std::mutex mutex;
    MonotonicCondition changed;
};

// Never destroyed: abandoned worker threads may still set or wait on their
// events while the process exits.
Shared& shared() {
    static Shared* const s = new Shared;
    return *s;
}

} // namespace

Event::Event(bool manualReset, bool initiallySignalled)
    : m_manualReset(manualReset), m_signalled(initiallySignalled) {}

Event::~Event() = default;

void Event::set() {
    Shared& s = shared();
    {
        std::lock_guard lock(s.mutex);
        m_signalled = true;
    }
    s.changed.notifyAll();
}

void Event::reset() {
    std::lock_guard lock(shared().mutex);
    m_signalled = false;
}

bool Event::isSet() const {
    std::lock_guard lock(shared().mutex);
    return m_signalled;
}

bool Event::wait(std::uint32_t timeoutMs) const {
    const Event* one[] = {this};
    return waitAny(one, timeoutMs) == 0;
}

int Event::waitAny(std::span<const Event* const> events, std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Shared& s = shared();
    std::unique_lock lock(s.mutex);
    // Under the mutex: the first signalled event, consumed when it resets
    // automatically.
    auto take = [&events]() -> int {
        for (std::size_t i = 0; i < events.size(); ++i) {
            const Event* e = events[i];
            if (e && e->m_signalled) {
                if (!e->m_manualReset) e->m_signalled = false;
                return static_cast<int>(i);
            }
        }
        return TimedOut;
    };
    for (;;) {
        const int index = take();
        if (index != TimedOut) return index;
        if (timeoutMs == Infinite)
            s.changed.wait(lock);
        else if (!s.changed.waitUntil(lock, deadline))
            return take(); // a set may have raced with the time-out
    }
}

} // namespace Platform
