#include "core/DateTime.h"

#include "platform/Time.h"

namespace Positioning {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

unsigned daysInMonth(unsigned year, unsigned month) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return days[month - 1];
}

} // namespace

DateTime localDateTime() {
    const Platform::CalendarTime c = Platform::localNow();
    DateTime t;
    t.year = static_cast<std::uint16_t>(c.year);
    t.month = static_cast<std::uint8_t>(c.month);
    t.day = static_cast<std::uint8_t>(c.day);
    t.hour = static_cast<std::uint8_t>(c.hour);
    t.minute = static_cast<std::uint8_t>(c.minute);
    t.second = static_cast<std::uint8_t>(c.second);
    t.millisecond = static_cast<std::uint16_t>(c.millisecond);
    return t;
}

std::uint64_t toUnixTime(const DateTime& t) {
    if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return 0;
    const std::int64_t days = daysFromCivil(t.year, t.month, t.day);
    const std::int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    // Times before 1970 have no unsigned representation; they come out as 0.
    return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

DateTime fromUnixTime(std::int32_t seconds) {
    std::int64_t s = seconds;
    std::int64_t days = s / 86400;
    std::int64_t rest = s % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // civil_from_days
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    DateTime t;
    t.year = static_cast<std::uint16_t>(y + (m <= 2));
    t.month = static_cast<std::uint8_t>(m);
    t.day = static_cast<std::uint8_t>(d);
    t.hour = static_cast<std::uint8_t>(rest / 3600);
    t.minute = static_cast<std::uint8_t>(rest / 60 % 60);
    t.second = static_cast<std::uint8_t>(rest % 60);
    return t;
}

void fromUnixTime64(std::int64_t seconds, DateTime* result) {
    if (result)
        *result = fromUnixTime(static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds & 0xFFFFFFFF)));
}

} // namespace Positioning
