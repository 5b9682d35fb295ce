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
// The UTC calendar time of a count of seconds since 1970 (all fields 0 when
// the system cannot convert it).
CalendarTime utcCalendar(std::int64_t seconds, int millisecond);

// The same in the machine's time zone.
CalendarTime localCalendar(std::int64_t seconds, int millisecond);
} // namespace Platform
