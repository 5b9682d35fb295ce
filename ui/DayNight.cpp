#include "ui/DayNight.h"

#include "core/Log.h"

#include <cmath>
#include <utility>

namespace Ui {

namespace {

const char* const kAutoKey = "auto_dn";

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

Positioning::DateTime midnightOf(const Positioning::DateTime& date) {
    Positioning::DateTime d;
    d.day = date.day;
    d.month = date.month;
    d.year = date.year;
    return d;
}

int daysIn(int month, int year) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1] + (month == 2 && isLeap(year) ? 1 : 0);
}

bool isCalendarDate(const Positioning::DateTime& d) {
    return d.year >= 1601 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= daysIn(d.month, d.year);
}

// One second before midnight of the date: 23:59:59 of the previous day. Done on
// the calendar rather than through 32-bit Unix seconds, which end in 2038.
Positioning::DateTime secondBefore(const Positioning::DateTime& midnight) {
    Positioning::DateTime d = midnight;
    if (d.day > 1) {
        --d.day;
    } else if (d.month > 1) {
        --d.month;
        d.day = static_cast<std::uint8_t>(daysIn(d.month, d.year));
    } else {
        --d.year;
        d.month = 12;
        d.day = 31;
    }
    d.hour = 23;
    d.minute = 59;
    d.second = 59;
    return d;
}

// Midnight of the next day.
Positioning::DateTime dayAfter(const Positioning::DateTime& midnight) {
    Positioning::DateTime d = midnight;
    if (d.day < daysIn(d.month, d.year)) {
        ++d.day;
    } else if (d.month < 12) {
        ++d.month;
        d.day = 1;
    } else {
        ++d.year;
        d.month = 1;
        d.day = 1;
    }
    return d;
}

} // namespace

DayNight::DayNight(Core::ConfigNodePtr config) : m_config(std::move(config)) {
    m_automatic = m_config->value(kAutoKey, true);
}

void DayNight::setAutoDayNight(bool on) {
    m_automatic = on;
    valid = false;
    m_config->set(kAutoKey, on);
}

std::optional<SunResult> DayNight::updateDayNight(const Positioning::DateTime& date, double latitude,
                                                  double longitude) {
    if (!m_automatic) return std::nullopt;
    if (!isCalendarDate(date)) {
        Log::log(Log::Normal, u"Day/night: no sunrise for the invalid date %d.%d.%d", int(date.day),
                 int(date.month), int(date.year));
        return std::nullopt;
    }
    if (!(std::fabs(latitude) <= 90.0) || !(std::fabs(longitude) <= 180.0)) {
        Log::log(Log::Normal, u"Day/night: no sunrise for the invalid position %f, %f", latitude, longitude);
        return std::nullopt;
    }
    Positioning::DateTime rise = midnightOf(date);
    Positioning::DateTime set = rise;
    const SunResult result = sunriseSunset(date, latitude, longitude, rise, set);
    if (result == SunResult::NoSunrise)
        rise = secondBefore(rise);
    else if (result == SunResult::NoSunset)
        set = dayAfter(set);
    m_sunrise = rise;
    m_sunset = set;
    m_lastResult = result;
    m_dayOfMonth = date.day;
    return result;
}

void DayNight::shiftHours(int offsetHours) {
    const auto shift = [offsetHours](std::uint8_t hour) {
        return static_cast<std::uint8_t>(((hour + 24 + offsetHours) % 24 + 24) % 24);
    };
    m_sunrise.hour = shift(m_sunrise.hour);
    m_sunset.hour = shift(m_sunset.hour);
}

} // namespace Ui
