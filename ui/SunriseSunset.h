#pragma once
// Sunrise and sunset of one day at one place, by the almanac method: a low
// precision solar position good to a minute or two, enough to switch the map
// between day and night colours.

#include "core/DateTime.h"

namespace Ui {

enum class SunResult : int {
    Computed = 0,  // both times were computed
    NoSunrise = 1, // the sun stays below the horizon all day (polar night)
    NoSunset = 2,  // the sun stays above the horizon all day (polar day)
};

// Sunrise and sunset in Universal Time for the day, month and year of the date
// (its time fields are not read) at latitude and longitude in degrees, north
// and east positive. Only the hour, minute and second of the two outputs are
// written, and only when the result is Computed (milliseconds 0). The sun
// counts as risen when its centre is 0.5 degrees below the horizon.
// Coordinates must be finite.
SunResult sunriseSunset(const Positioning::DateTime& date, double latitude, double longitude,
                        Positioning::DateTime& sunrise, Positioning::DateTime& sunset);

// value brought into [0, range): values already inside stay as they are.
double wrapInto(double value, double range);

} // namespace Ui
