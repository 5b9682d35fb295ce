#include "ui/DayNight.h"

#include "core/Config.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Positioning::DateTime;
using Ui::SunResult;

DateTime at(int day, int month, int year, int hour = 0, int minute = 0, int second = 0) {
    DateTime d;
    d.day = static_cast<std::uint8_t>(day);
    d.month = static_cast<std::uint8_t>(month);
    d.year = static_cast<std::uint16_t>(year);
    d.hour = static_cast<std::uint8_t>(hour);
    d.minute = static_cast<std::uint8_t>(minute);
    d.second = static_cast<std::uint8_t>(second);
    return d;
}

} // namespace

TEST(DayNight, SettingCreatedWithItsDefaultAndWritten) {
    Core::Config config;
    Ui::DayNight state(config.root());
    EXPECT_TRUE(state.automatic());
    bool stored = false;
    ASSERT_TRUE(config.root()->get("auto_dn", stored));
    EXPECT_TRUE(stored);
    EXPECT_NE(config.toXml().find("name=\"auto_dn\""), std::string::npos);

    state.valid = true;
    state.setAutoDayNight(false);
    EXPECT_FALSE(state.automatic());
    EXPECT_FALSE(state.valid);
    ASSERT_TRUE(config.root()->get("auto_dn", stored));
    EXPECT_FALSE(stored);

    // A stored false is read back by the next start.
    Ui::DayNight next(config.root());
    EXPECT_FALSE(next.automatic());

    state.valid = true;
    state.setAutoDayNight(true);
    EXPECT_TRUE(state.automatic());
    EXPECT_FALSE(state.valid);
    ASSERT_TRUE(config.root()->get("auto_dn", stored));
    EXPECT_TRUE(stored);
}

TEST(DayNight, StoresTimesOfTheDate) {
    Core::Config config;
    Ui::DayNight state(config.root());
    EXPECT_EQ(state.updateDayNight(at(21, 3, 2026, 14, 30, 12), 0.0, 0.0), SunResult::Computed);
    EXPECT_EQ(state.sunrise().day, 21);
    EXPECT_EQ(state.sunrise().month, 3);
    EXPECT_EQ(state.sunrise().year, 2026);
    EXPECT_EQ(state.sunrise().hour, 6);
    EXPECT_EQ(state.sunset().day, 21);
    EXPECT_EQ(state.sunset().hour, 18);
    EXPECT_EQ(state.dayOfMonth(), 21);

    state.shiftHours(-7);
    EXPECT_EQ(state.sunrise().hour, 23);
    EXPECT_EQ(state.sunset().hour, 11);
    state.shiftHours(10);
    EXPECT_EQ(state.sunrise().hour, 9);
    EXPECT_EQ(state.sunset().hour, 21);
}

TEST(DayNight, PolarNightAndDayRecords) {
    Core::Config config;
    Ui::DayNight state(config.root());
    EXPECT_EQ(state.updateDayNight(at(21, 12, 2025, 10), 80.0, 20.0), SunResult::NoSunrise);
    EXPECT_EQ(state.sunrise(), at(20, 12, 2025, 23, 59, 59));
    EXPECT_EQ(state.sunset(), at(21, 12, 2025));
    EXPECT_EQ(state.lastResult(), SunResult::NoSunrise);

    EXPECT_EQ(state.updateDayNight(at(21, 6, 2026, 10), 80.0, 20.0), SunResult::NoSunset);
    EXPECT_EQ(state.sunrise(), at(21, 6, 2026));
    EXPECT_EQ(state.sunset(), at(22, 6, 2026));

    // Across month and year ends, and past the 32-bit Unix range.
    EXPECT_EQ(state.updateDayNight(at(1, 1, 2026), 80.0, 20.0), SunResult::NoSunrise);
    EXPECT_EQ(state.sunrise(), at(31, 12, 2025, 23, 59, 59));
    EXPECT_EQ(state.updateDayNight(at(1, 1, 2040), 80.0, 20.0), SunResult::NoSunrise);
    EXPECT_EQ(state.sunrise(), at(31, 12, 2039, 23, 59, 59));
    EXPECT_EQ(state.updateDayNight(at(30, 6, 2026), 80.0, 20.0), SunResult::NoSunset);
    EXPECT_EQ(state.sunset(), at(1, 7, 2026));
    EXPECT_EQ(state.updateDayNight(at(1, 12, 2025), -80.0, 20.0), SunResult::NoSunset);
    EXPECT_EQ(state.updateDayNight(at(31, 12, 2025), -80.0, 20.0), SunResult::NoSunset);
    EXPECT_EQ(state.sunset(), at(1, 1, 2026));
    EXPECT_EQ(state.updateDayNight(at(29, 2, 2024), -85.0, 0.0), SunResult::NoSunset);
    EXPECT_EQ(state.sunset(), at(1, 3, 2024));
    // The same stepping as the Unix-seconds conversions where both work.
    EXPECT_EQ(state.updateDayNight(at(1, 3, 2024), 90.0, 20.0), SunResult::NoSunrise);
    EXPECT_EQ(state.sunrise(), Positioning::fromUnixTime(
                                   static_cast<std::int32_t>(Positioning::toUnixTime(at(1, 3, 2024))) - 1));
}

TEST(DayNight, RefusedInputLeavesTheTimes) {
    Core::Config config;
    Ui::DayNight state(config.root());
    ASSERT_EQ(state.updateDayNight(at(21, 3, 2026), 55.0, 37.0), SunResult::Computed);
    const DateTime rise = state.sunrise();
    const DateTime set = state.sunset();

    TestSupport::CaptureLogger log;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(state.updateDayNight(at(0, 0, 0), 55.0, 37.0));
    EXPECT_FALSE(state.updateDayNight(at(30, 2, 2026), 55.0, 37.0));
    EXPECT_FALSE(state.updateDayNight(at(1, 13, 2026), 55.0, 37.0));
    EXPECT_FALSE(state.updateDayNight(at(1, 5, 2026), nan, 37.0));
    EXPECT_FALSE(state.updateDayNight(at(1, 5, 2026), 55.0, 181.0));
    EXPECT_FALSE(state.updateDayNight(at(1, 5, 2026), -90.5, 0.0));
    EXPECT_TRUE(log.contains("Day/night: no sunrise for the invalid date 30.2.2026"));
    EXPECT_TRUE(log.contains("Day/night: no sunrise for the invalid position"));
    EXPECT_EQ(state.sunrise(), rise);
    EXPECT_EQ(state.sunset(), set);

    // With the automation off nothing is computed.
    state.setAutoDayNight(false);
    EXPECT_FALSE(state.updateDayNight(at(21, 6, 2026), 80.0, 0.0));
    EXPECT_EQ(state.sunrise(), rise);
    EXPECT_EQ(state.sunset(), set);
    EXPECT_EQ(state.lastResult(), SunResult::Computed);
}
