#pragma once
// The two clocks positioning reads: a millisecond tick count for periods and
// the local calendar time for file names. Tests inject their own.

#include "core/DateTime.h"

#include <cstdint>

namespace Positioning {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds from an arbitrary start; wraps around like a u32.
    virtual std::uint32_t ticksMs() const = 0;
    virtual DateTime localTime() const = 0;
};

// The system's clocks (a monotonic tick count, the local time).
Clock& systemClock();

} // namespace Positioning
