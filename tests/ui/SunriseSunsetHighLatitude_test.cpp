// Sunrise and sunset where the almanac method is weakest: at 60 degrees
// north the sun climbs at a slant, and 150 degrees west is ten hours from
// Greenwich, so an error in the day fraction or in the declination's daily
// change shows as minutes.

#include "ui/SunriseSunset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

namespace {

using Positioning::DateTime;

constexpr double Rad = std::numbers::pi / 180.0;

double sinDeg(double a) { return std::sin(a * Rad); }

// Julian day of a UT moment given as a date and minutes from its midnight.
double julianDay(int year, int month, int day, double minutes) {
    if (month <= 2) year -= 1, month += 12;
    const int a = year / 100, b = 2 - a + a / 4;
    return std::floor(365.25 * (year + 4716)) + std::floor(30.6001 * (month + 1)) + day + b - 1524.5 +
           minutes / 1440.0;
}

// The sun's declination (degrees) and the equation of time (minutes) by the
// NOAA solar calculator's equations (Meeus's low-precision solar position).
std::pair<double, double> solarPosition(double jd) {
    const double t = (jd - 2451545.0) / 36525.0;
    const double l0 = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double e = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double centre = sinDeg(m) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          sinDeg(2 * m) * (0.019993 - 0.000101 * t) + sinDeg(3 * m) * 0.000289;
    const double omega = 125.04 - 1934.136 * t;
    const double lambda = l0 + centre - 0.00569 - 0.00478 * sinDeg(omega);
    const double epsilon0 = 23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double epsilon = epsilon0 + 0.00256 * std::cos(omega * Rad);
    const double declination = std::asin(sinDeg(epsilon) * sinDeg(lambda)) / Rad;
    const double y = std::pow(std::tan(epsilon / 2 * Rad), 2);
    const double equation = 4.0 / Rad *
                            (y * sinDeg(2 * l0) - 2 * e * sinDeg(m) + 4 * e * y * sinDeg(m) * std::cos(2 * l0 * Rad) -
                             0.5 * y * y * sinDeg(4 * l0) - 1.25 * e * e * sinDeg(2 * m));
    return {declination, equation};
}

// Minutes after the date's UT midnight at which the sun's centre crosses
// 90.5 degrees from the zenith, the navigator's horizon; the position is
// taken at the event itself, found by repeating from the last answer.
double eventMinutes(int day, int month, int year, double latitude, double longitude, bool rising) {
    double minutes = 720.0 - 4.0 * longitude + (rising ? -360.0 : 360.0);
    for (int round = 0; round < 6; ++round) {
        const auto [declination, equation] = solarPosition(julianDay(year, month, day, minutes));
        const double lat = latitude * Rad, dec = declination * Rad;
        const double ha =
            std::acos(std::cos(90.5 * Rad) / (std::cos(lat) * std::cos(dec)) - std::tan(lat) * std::tan(dec)) / Rad;
        minutes = 720.0 - 4.0 * (longitude + (rising ? ha : -ha)) - equation;
    }
    return minutes;
}

double minutesOf(const DateTime& t) { return t.hour * 60 + t.minute + t.second / 60.0; }

// Minutes between two times of day, the short way round midnight.
double apart(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 1440.0);
    return std::fmin(d, 1440.0 - d);
}

// The almanac method's own error there is about a minute in 2026 (its
// mean anomaly does not follow the leap-year cycle: up to two minutes in
// other years); a day or an hour of longitude wrong in t moves the times
// by two minutes and more.
TEST(SunriseSunsetHighLatitude, EquinoxAt60North150West) {
    for (int year = 2020; year <= 2035; ++year)
        for (const auto& [day, month] : {std::pair{19, 3}, {20, 3}, {21, 3}, {22, 9}, {23, 9}}) {
            DateTime date;
            date.day = static_cast<std::uint8_t>(day);
            date.month = static_cast<std::uint8_t>(month);
            date.year = static_cast<std::uint16_t>(year);
            DateTime rise, set;
            ASSERT_EQ(Ui::sunriseSunset(date, 60.0, -150.0, rise, set), Ui::SunResult::Computed);
            const double within = year == 2026 ? 1.25 : 2.25;
            const double riseRef = eventMinutes(day, month, year, 60.0, -150.0, true);
            const double setRef = eventMinutes(day, month, year, 60.0, -150.0, false);
            EXPECT_LE(apart(minutesOf(rise), riseRef), within)
                << day << "." << month << "." << year << " rise " << minutesOf(rise) << " against " << riseRef;
            EXPECT_LE(apart(minutesOf(set), setRef), within)
                << day << "." << month << "." << year << " set " << minutesOf(set) << " against " << setRef;
        }
}

} // namespace
