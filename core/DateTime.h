#pragma once
// The date and time record in which GPS times, file times and the system
// clock travel through the program, and its conversions to and from Unix
// seconds. The conversions read the record as a UTC calendar time and never
// depend on the machine's time zone.

#include <cstdint>

namespace Positioning {

struct DateTime {
    std::uint8_t day = 0;   // 1..31, 0 when no date was received
    std::uint8_t month = 0; // 1..12, 0 when no date was received
    std::uint16_t year = 0; // full year, 0 when no date was received
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    // Milliseconds, from the system clock and from an NMEA time field alike
    // ("05.5" and "05.50" give 500).
    std::uint16_t millisecond = 0;

    bool operator==(const DateTime&) const = default;
};

// The current local time of the system clock.
DateTime localDateTime();

// Whole seconds since 1970-01-01 00:00:00 UTC; the milliseconds are dropped.
// A record without a valid calendar date (day, month or year 0, a month above
// 12, a day past the month's end, a year before 1601) gives 0.
std::uint64_t toUnixTime(const DateTime& time);

// The calendar time of a count of seconds since 1970 (millisecond 0).
DateTime fromUnixTime(std::int32_t seconds);
// The same for a 64-bit count, of which only the low 32 bits are used.
void fromUnixTime64(std::int64_t seconds, DateTime* result);

} // namespace Positioning
