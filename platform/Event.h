#pragma once
// A Win32-style event on a mutex and a condition variable: manual reset (stays
// signalled until reset, wakes every waiter) or auto reset (one successful
// wait consumes the signal). Waits take a time-out in milliseconds; waitAny
// waits for the first of several events, as WaitForMultipleObjects does with
// "wait any": when several are signalled the lowest index wins.

#include <cstdint>
#include <initializer_list>
#include <span>

namespace Platform {

class Event {
  public:
    // A time-out that never expires.
    static constexpr std::uint32_t Infinite = 0xFFFFFFFFu;
    // waitAny's result when the time-out passed.
    static constexpr int TimedOut = -1;

    explicit Event(bool manualReset, bool initiallySignalled = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // True when the event was (or became) signalled within the time-out; an
    // auto-reset event is reset by the successful wait.
    bool wait(std::uint32_t timeoutMs) const;
    // Looks without waiting and without consuming an auto-reset signal.
    bool isSet() const;
    bool manualReset() const { return m_manualReset; }

    // Index of the first signalled event in the list (consuming it when it
    // resets automatically), or TimedOut. Null entries are skipped.
    static int waitAny(std::span<const Event* const> events, std::uint32_t timeoutMs);
    static int waitAny(std::initializer_list<const Event*> events, std::uint32_t timeoutMs) {
        return waitAny(std::span<const Event* const>(events.begin(), events.size()), timeoutMs);
    }

  private:
    const bool m_manualReset;
    // Guarded by the process-wide event mutex (see Event.cpp).
    mutable bool m_signalled;
};

} // namespace Platform
