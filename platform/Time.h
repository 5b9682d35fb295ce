#pragma once
// Wall-clock time from the operating system.

#include <cstdint>

namespace Platform {

struct CalendarTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The current local time (the machine's time zone).
CalendarTime localNow();
// The current UTC time.
CalendarTime utcNow();

} // namespace Platform
