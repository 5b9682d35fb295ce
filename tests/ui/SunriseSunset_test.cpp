#include "ui/SunriseSunset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using Positioning::DateTime;
using Ui::SunResult;

DateTime date(int day, int month, int year) {
    DateTime d;
    d.day = static_cast<std::uint8_t>(day);
    d.month = static_cast<std::uint8_t>(month);
    d.year = static_cast<std::uint16_t>(year);
    return d;
}

int minutesOf(const DateTime& t) {
    return t.hour * 60 + t.minute;
}

// Minutes between two times of day, the short way round midnight.
int circularDistance(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 1440.0);
    return static_cast<int>(std::lround(std::fmin(d, 1440.0 - d)));
}

int dayOfYear(int day, int month, int year) {
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return before[month - 1] + day + (leap && month > 2 ? 1 : 0);
}

// Reference: the Fourier-series solar position (equation of time and
// declination at local noon), with the same 90.5 degree zenith.
struct Reference {
    double riseMinutes;
    double setMinutes;
};

Reference reference(int day, int month, int year, double latitude, double longitude) {
    const double rad = std::numbers::pi / 180.0;
    const double g = 2.0 * std::numbers::pi / 365.0 * (dayOfYear(day, month, year) - 1 - longitude / 360.0);
    const double eqTime = 229.18 * (0.000075 + 0.001868 * std::cos(g) - 0.032077 * std::sin(g) -
                                    0.014615 * std::cos(2 * g) - 0.040849 * std::sin(2 * g));
    const double decl = 0.006918 - 0.399912 * std::cos(g) + 0.070257 * std::sin(g) -
                        0.006758 * std::cos(2 * g) + 0.000907 * std::sin(2 * g) - 0.002697 * std::cos(3 * g) +
                        0.00148 * std::sin(3 * g);
    const double lat = latitude * rad;
    const double ha =
        std::acos(std::cos(90.5 * rad) / (std::cos(lat) * std::cos(decl)) - std::tan(lat) * std::tan(decl)) /
        rad;
    return {720.0 - 4.0 * (longitude + ha) - eqTime, 720.0 - 4.0 * (longitude - ha) - eqTime};
}

} // namespace

TEST(SunriseSunset, AgreesWithTheSolarPositionSeries) {
    struct Place {
        double latitude, longitude;
        int day, month, year;
    };
    const Place places[] = {
        {55.7558, 37.6173, 21, 6, 2026},    // Moscow, midsummer
        {55.7558, 37.6173, 15, 1, 2025},    // Moscow, winter
        {40.7128, -74.0060, 1, 11, 2024},   // New York
        {-33.8688, 151.2093, 10, 3, 2024},  // Sydney: sunset before sunrise in UT
        {51.4779, 0.0, 29, 2, 2024},        // Greenwich, leap day
        {-54.8019, -68.3030, 21, 12, 2023}, // Ushuaia, southern summer
        {35.6762, 139.6503, 5, 8, 2030},    // Tokyo
        {0.0, 0.0, 21, 3, 2026},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(testing::Message() << p.latitude << ", " << p.longitude << " on " << p.day << "."
                                        << p.month << "." << p.year);
        DateTime rise, set;
        ASSERT_EQ(Ui::sunriseSunset(date(p.day, p.month, p.year), p.latitude, p.longitude, rise, set),
                  SunResult::Computed);
        const Reference ref = reference(p.day, p.month, p.year, p.latitude, p.longitude);
        EXPECT_LE(circularDistance(minutesOf(rise) + rise.second / 60.0, ref.riseMinutes), 3);
        EXPECT_LE(circularDistance(minutesOf(set) + set.second / 60.0, ref.setMinutes), 3);
        EXPECT_EQ(rise.millisecond, 0);
        EXPECT_EQ(set.millisecond, 0);
    }
}

TEST(SunriseSunset, EquinoxOnTheEquator) {
    DateTime rise, set;
    ASSERT_EQ(Ui::sunriseSunset(date(21, 3, 2026), 0.0, 0.0, rise, set), SunResult::Computed);
    EXPECT_EQ(rise.hour, 6);
    EXPECT_LT(rise.minute, 10);
    EXPECT_EQ(set.hour, 18);
    EXPECT_LT(set.minute, 10);
}

TEST(SunriseSunset, PolarNightAndPolarDay) {
    DateTime rise = date(1, 1, 2000), set = rise; // untouched unless computed
    EXPECT_EQ(Ui::sunriseSunset(date(21, 12, 2025), 80.0, 15.0, rise, set), SunResult::NoSunrise);
    EXPECT_EQ(Ui::sunriseSunset(date(21, 6, 2026), 80.0, 15.0, rise, set), SunResult::NoSunset);
    EXPECT_EQ(Ui::sunriseSunset(date(21, 6, 2026), -80.0, 0.0, rise, set), SunResult::NoSunrise);
    EXPECT_EQ(Ui::sunriseSunset(date(21, 12, 2025), -80.0, 0.0, rise, set), SunResult::NoSunset);
    EXPECT_EQ(Ui::sunriseSunset(date(21, 6, 2026), 90.0, 0.0, rise, set), SunResult::NoSunset);
    EXPECT_EQ(Ui::sunriseSunset(date(21, 12, 2025), 90.0, 0.0, rise, set), SunResult::NoSunrise);
    EXPECT_EQ(Ui::sunriseSunset(date(21, 6, 2026), -90.0, 0.0, rise, set), SunResult::NoSunrise);
    EXPECT_EQ(rise, date(1, 1, 2000));
    EXPECT_EQ(set, date(1, 1, 2000));
}

TEST(SunriseSunset, SeasonEdgeWithMorningAndEveningApart) {
    // Near the pole on the days the polar season turns, the morning is on
    // one side of the horizon and the evening on the other: a time computed
    // from such a day would come from the arc cosine of a value outside
    // [-1, 1].
    DateTime rise = date(1, 1, 2000), set = rise;
    EXPECT_EQ(Ui::sunriseSunset(date(27, 3, 2026), -87.9, 25.0, rise, set), SunResult::NoSunrise);
    EXPECT_EQ(Ui::sunriseSunset(date(20, 3, 2026), -89.3, 25.0, rise, set), SunResult::NoSunset);
    EXPECT_EQ(rise, date(1, 1, 2000));
    EXPECT_EQ(set, date(1, 1, 2000));
}

TEST(SunriseSunset, DateLineFromEitherSide) {
    DateTime riseEast, setEast, riseWest, setWest;
    ASSERT_EQ(Ui::sunriseSunset(date(10, 5, 2026), 20.0, 180.0, riseEast, setEast), SunResult::Computed);
    ASSERT_EQ(Ui::sunriseSunset(date(10, 5, 2026), 20.0, -180.0, riseWest, setWest), SunResult::Computed);
    // A whole day apart in t, the same place: only the sun's motion in a day
    // (about four minutes of right ascension, less the sidereal term) differs.
    EXPECT_LE(circularDistance(minutesOf(riseEast), minutesOf(riseWest)), 2);
    EXPECT_LE(circularDistance(minutesOf(setEast), minutesOf(setWest)), 2);
}

TEST(SunriseSunset, EveryDayAndLatitudeGivesACalendarTime) {
    // Sweeps the edges of the polar seasons, where the morning and evening
    // hour angles can fall on different sides of the horizon.
    int computed = 0, noRise = 0, noSet = 0;
    for (int lat10 = -900; lat10 <= 900; lat10 += 7) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 28; day += 3) {
                DateTime rise, set;
                rise.hour = 99;
                const SunResult r = Ui::sunriseSunset(date(day, month, 2026), lat10 / 10.0, 25.0, rise, set);
                if (r == SunResult::NoSunrise) {
                    ++noRise;
                    EXPECT_EQ(rise.hour, 99);
                    continue;
                }
                if (r == SunResult::NoSunset) {
                    ++noSet;
                    continue;
                }
                ++computed;
                ASSERT_LT(rise.hour, 24);
                ASSERT_LT(rise.minute, 60);
                ASSERT_LT(rise.second, 60);
                ASSERT_LT(set.hour, 24);
                ASSERT_LT(set.minute, 60);
                ASSERT_LT(set.second, 60);
            }
        }
    }
    EXPECT_GT(computed, 0);
    EXPECT_GT(noRise, 0);
    EXPECT_GT(noSet, 0);
}

TEST(SunriseSunset, WrapInto) {
    EXPECT_EQ(Ui::wrapInto(5.0, 24.0), 5.0);
    EXPECT_EQ(Ui::wrapInto(0.0, 24.0), 0.0);
    EXPECT_EQ(Ui::wrapInto(24.0, 24.0), 0.0);
    EXPECT_EQ(Ui::wrapInto(-30.0, 360.0), 330.0);
    EXPECT_EQ(Ui::wrapInto(725.0, 360.0), 5.0);
    // Rounds to 24 in the plain formula: must not become hour 24.
    EXPECT_EQ(Ui::wrapInto(-1e-17, 24.0), 0.0);
}
