#include "platform/Time.h"

#include <sys/time.h>
#include <time.h>

namespace Platform {
namespace {
CalendarTime fromTm(const struct tm& t, long micros) {
    CalendarTime c;
    c.year = t.tm_year + 1900;
    c.month = t.tm_mon + 1;
    c.day = t.tm_mday;
    c.hour = t.tm_hour;
    c.minute = t.tm_min;
    c.second = t.tm_sec > 59 ? 59 : t.tm_sec;
    c.millisecond = static_cast<int>(micros / 1000);
    return c;
}

CalendarTime now(bool local) {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    const time_t secs = tv.tv_sec;
    struct tm t {};
    if (local)
        localtime_r(&secs, &t);
    else
        gmtime_r(&secs, &t);
    return fromTm(t, tv.tv_usec);
}
} // namespace

CalendarTime localNow() { return now(true); }
CalendarTime utcNow() { return now(false); }

CalendarTime utcCalendar(std::int64_t seconds, int millisecond) {
    const time_t secs = static_cast<time_t>(seconds);
    struct tm t {};
    if (gmtime_r(&secs, &t) == nullptr)
        return CalendarTime{};
    return fromTm(t, static_cast<long>(millisecond) * 1000);
}

CalendarTime localCalendar(std::int64_t seconds, int millisecond) {
    const time_t secs = static_cast<time_t>(seconds);
    struct tm t {};
    if (localtime_r(&secs, &t) == nullptr)
        return CalendarTime{};
    return fromTm(t, static_cast<long>(millisecond) * 1000);
}

} // namespace Platform
