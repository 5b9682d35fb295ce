#include "ui/SunriseSunset.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace Ui {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// 90.5 degrees: the almanac's 90.833 less a smaller allowance for refraction.
constexpr double kZenith = 1.5795229730548683;

double sinDeg(double a) {
    return std::sin(a * kDegree);
}
double cosDeg(double a) {
    return std::cos(a * kDegree);
}
double tanDeg(double a) {
    return std::tan(a * kDegree);
}

// The day of the year, in single precision as the almanac gives it.
int dayOfYear(int day, int month, int year) {
    const float m = static_cast<float>(month);
    const float y = static_cast<float>(year);
    const float n1 = std::floor(m * 30.555555f);
    const float n2 = std::floor((m + 9.0f) * 0.083333336f);
    const float n3 = 1.0f + std::floor((y - 4.0f * std::floor(y * 0.25f) + 2.0f) * 0.33333334f);
    return static_cast<int>(n1 - n2 * n3) + day - 30;
}

struct SunAt {
    double rightAscensionHours;
    double cosHourAngle;
};

SunAt sunAt(double t, double latitude) {
    const double meanAnomaly = 0.9856 * t - 3.289;
    const double longitude = wrapInto(
        meanAnomaly + 1.916 * sinDeg(meanAnomaly) + 0.020 * sinDeg(2 * meanAnomaly) + 282.634, 360.0);
    double ra = wrapInto(std::atan(0.91764 * tanDeg(longitude)) / kDegree, 360.0);
    // atan answers in the first or fourth quadrant; move it into the
    // quadrant of the sun's longitude.
    ra = ra / 15.0 + (std::floor(longitude / 90.0) - std::floor(ra / 90.0)) * 6.0;
    const double sinDec = 0.39782 * sinDeg(longitude);
    const double cosDec = std::cos(std::asin(sinDec));
    const double cosH = (std::cos(kZenith) - sinDec * sinDeg(latitude)) / (cosDec * cosDeg(latitude));
    return {ra, cosH};
}

void splitHours(double ut, Positioning::DateTime& out) {
    const double hour = std::floor(ut);
    const double minutes = 60.0 * (ut - hour);
    const double minute = std::floor(minutes);
    const double second = std::floor(60.0 * (minutes - minute));
    // Rounding can push a fraction just below 1 up to a whole 60.
    out.hour = static_cast<std::uint8_t>(std::fmin(hour, 23.0));
    out.minute = static_cast<std::uint8_t>(std::fmin(minute, 59.0));
    out.second = static_cast<std::uint8_t>(std::fmin(second, 59.0));
    out.millisecond = 0;
}

} // namespace

double wrapInto(double value, double range) {
    if (value >= 0.0 && value < range) return value;
    double r = value - std::floor(value / range) * range;
    if (r < 0.0) r += range;
    // A tiny negative value comes out as range itself after rounding.
    if (r >= range) r = 0.0;
    return r;
}

SunResult sunriseSunset(const Positioning::DateTime& date, double latitude, double longitude,
                        Positioning::DateTime& sunrise, Positioning::DateTime& sunset) {
    assert(std::isfinite(latitude) && std::isfinite(longitude));
    const int n = dayOfYear(date.day, date.month, date.year);
    const double lngHour = longitude * 0.06666666666666667;
    const double tRise = n + (6.0 - lngHour) / 24.0;
    const double tSet = n + (18.0 - lngHour) / 24.0;
    const SunAt rise = sunAt(tRise, latitude);
    const SunAt set = sunAt(tSet, latitude);

    if (rise.cosHourAngle > 1.0) return SunResult::NoSunrise;
    if (set.cosHourAngle < -1.0) return SunResult::NoSunset;
    // On the first or last day of a polar season the morning and the evening
    // can fall on different sides of it; without these two checks acos would
    // answer NaN.
    if (set.cosHourAngle > 1.0) return SunResult::NoSunrise;
    if (rise.cosHourAngle < -1.0) return SunResult::NoSunset;

    const double hRise = (360.0 - std::acos(rise.cosHourAngle) / kDegree) / 15.0;
    const double hSet = (std::acos(set.cosHourAngle) / kDegree) / 15.0;
    const double utRise =
        wrapInto(hRise + rise.rightAscensionHours - 0.06571 * tRise - 6.622 - lngHour, 24.0);
    const double utSet = wrapInto(hSet + set.rightAscensionHours - 0.06571 * tSet - 6.622 - lngHour, 24.0);
    splitHours(utRise, sunrise);
    splitHours(utSet, sunset);
    return SunResult::Computed;
}

} // namespace Ui
