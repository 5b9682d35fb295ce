#pragma once
// The two things the online service takes from the clock: the local time
// that its exchange periods are measured in, and the back-off waits between
// failed attempts. Tests inject their own so no test waits out a back-off.

#include "core/DateTime.h"

#include <cstdint>

namespace Platform {
class Event;
}

namespace Monitoring {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual Positioning::DateTime localTime() = 0;
    // Waits up to `ms` for the stop event; true when it was set.
    virtual bool waitForStop(const Platform::Event& stop, std::uint32_t ms) = 0;
};

// The system's local time and real waits.
Clock& systemClock();

} // namespace Monitoring
