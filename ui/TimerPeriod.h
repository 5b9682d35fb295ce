#pragma once
// How often a window wants the UI timer to tick: every so many milliseconds,
// or not at all. One type for both, so that "no timer" cannot be mistaken
// for a number: as a signed -1 it lost to every period in a signed minimum
// (a page asking for 500 ms next to children that wanted none asked for
// none), and as 0xFFFFFFFF it won every unsigned one.

#include <cstdint>

namespace Ui {

class TimerPeriod {
  public:
    // No timer.
    constexpr TimerPeriod() = default;
    static constexpr TimerPeriod none() { return {}; }
    // A tick every ms milliseconds; 0 asks for none (a timer of no period
    // would only spin).
    static constexpr TimerPeriod every(std::uint32_t ms) {
        TimerPeriod p;
        p.m_ms = ms;
        return p;
    }

    constexpr bool wanted() const { return m_ms != 0; }
    // The milliseconds between ticks; 0 when no timer is wanted.
    constexpr std::uint32_t ms() const { return m_ms; }

    // The wish that ticks more often: a period wins over none, the shorter
    // of two periods over the longer.
    constexpr TimerPeriod sooner(TimerPeriod other) const {
        if (!wanted())
            return other;
        if (!other.wanted())
            return *this;
        return m_ms <= other.m_ms ? *this : other;
    }

    friend constexpr bool operator==(TimerPeriod, TimerPeriod) = default;

  private:
    std::uint32_t m_ms = 0;
};

} // namespace Ui
