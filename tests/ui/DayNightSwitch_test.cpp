#include "ui/DayNightSwitch.h"

#include "core/Config.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Positioning::DateTime;
using Ui::DayNightSwitch;

DateTime at(int day, int month, int year, int hour, int minute) {
    DateTime d;
    d.day = static_cast<std::uint8_t>(day);
    d.month = static_cast<std::uint8_t>(month);
    d.year = static_cast<std::uint16_t>(year);
    d.hour = static_cast<std::uint8_t>(hour);
    d.minute = static_cast<std::uint8_t>(minute);
    return d;
}

// Local time with a whole-hour zone offset; the universal time follows it.
struct FakeClock : DayNightSwitch::Clock {
    DateTime local;
    int offsetHours = 0;
    DateTime localNow() override { return local; }
    DateTime universalNow() override {
        DateTime u = local;
        u.hour = static_cast<std::uint8_t>((local.hour - offsetHours + 24) % 24);
        return u;
    }
    void set(int day, int month, int year, int hour, int minute) {
        local = at(day, month, year, hour, minute);
    }
};

struct FakePosition : DayNightSwitch::Position {
    bool hasFix = true;
    double latitude = 0.0;
    double longitude = 0.0;
    int asked = 0;
    bool currentFix(double& lat, double& lon) override {
        ++asked;
        lat = latitude;
        lon = longitude;
        return hasFix;
    }
};

struct FakeDisplay : DayNightSwitch::Display {
    std::vector<bool> modes;
    void setDayMode(bool day) override { modes.push_back(day); }
};

struct Rig {
    Core::Config config;
    Ui::DayNight state{config.root()};
    FakeClock clock;
    FakePosition position;
    FakeDisplay display;
    DayNightSwitch sw{state, clock, position, display};
};

// The minute after a stored time.
void minuteAfter(int& hour, int& minute) {
    if (++minute == 60) {
        minute = 0;
        hour = (hour + 1) % 24;
    }
}

} // namespace

TEST(DayNightSwitch, SwitchesAtSunsetAndSunriseInLocalTime) {
    Rig rig;
    rig.position.latitude = 55.7558; // Moscow, three hours east of UT
    rig.position.longitude = 37.6173;
    rig.clock.offsetHours = 3;
    rig.clock.set(21, 6, 2026, 12, 0);

    rig.sw.tick();
    ASSERT_TRUE(rig.state.valid);
    EXPECT_FALSE(rig.state.nightReached);
    EXPECT_TRUE(rig.state.day);
    EXPECT_TRUE(rig.display.modes.empty());
    // Stored in local time now: about 03:45 and 21:15.
    EXPECT_EQ(rig.state.sunrise().hour, 3);
    EXPECT_EQ(rig.state.sunset().hour, 21);
    EXPECT_EQ(rig.position.asked, 1);

    // At the sunset minute it is still day; the minute after, night.
    int hour = rig.state.sunset().hour, minute = rig.state.sunset().minute;
    rig.clock.set(21, 6, 2026, hour, minute);
    rig.sw.tick();
    EXPECT_TRUE(rig.state.day);
    EXPECT_TRUE(rig.display.modes.empty());
    minuteAfter(hour, minute);
    rig.clock.set(21, 6, 2026, hour, minute);
    rig.sw.tick();
    EXPECT_FALSE(rig.state.day);
    EXPECT_FALSE(rig.state.changed);
    EXPECT_TRUE(rig.state.nightReached);
    EXPECT_EQ(rig.display.modes, std::vector<bool>{false});

    // The rest of the evening neither recomputes nor switches.
    rig.clock.set(21, 6, 2026, 23, 50);
    rig.sw.tick();
    EXPECT_EQ(rig.position.asked, 1);
    EXPECT_EQ(rig.display.modes.size(), 1u);

    // After midnight the next day is computed; still night.
    rig.clock.set(22, 6, 2026, 0, 10);
    rig.sw.tick();
    EXPECT_EQ(rig.position.asked, 2);
    EXPECT_EQ(rig.state.dayOfMonth(), 22);
    EXPECT_FALSE(rig.state.nightReached);
    EXPECT_FALSE(rig.state.day);
    EXPECT_EQ(rig.display.modes.size(), 1u);

    hour = rig.state.sunrise().hour;
    minute = rig.state.sunrise().minute;
    rig.clock.set(22, 6, 2026, hour, minute);
    rig.sw.tick();
    EXPECT_FALSE(rig.state.day);
    minuteAfter(hour, minute);
    rig.clock.set(22, 6, 2026, hour, minute);
    rig.sw.tick();
    EXPECT_TRUE(rig.state.day);
    EXPECT_FALSE(rig.state.nightReached);
    EXPECT_EQ(rig.display.modes, (std::vector<bool>{false, true}));
    EXPECT_EQ(rig.position.asked, 2);
}

TEST(DayNightSwitch, StartingAtNightSwitchesOnTheFirstComputation) {
    Rig rig;
    rig.position.latitude = -33.8688; // Sydney, ten hours east
    rig.position.longitude = 151.2093;
    rig.clock.offsetHours = 10;
    rig.clock.set(10, 3, 2024, 23, 0);
    rig.sw.tick();
    EXPECT_TRUE(rig.state.valid);
    EXPECT_FALSE(rig.state.day);
    // The result of the first evaluation is dropped.
    EXPECT_FALSE(rig.state.nightReached);
    EXPECT_EQ(rig.display.modes, std::vector<bool>{false});
    // UT about 19:55 and 08:20, the sunset first; local times about 05:55
    // and 18:20, the sunrise first again.
    EXPECT_EQ(rig.state.sunrise().hour, 5);
    EXPECT_EQ(rig.state.sunset().hour, 18);
}

TEST(DayNightSwitch, WaitsForAFixAndRespectsTheSwitch) {
    Rig rig;
    rig.position.hasFix = false;
    rig.clock.set(1, 12, 2026, 2, 0);
    rig.sw.tick();
    rig.sw.tick();
    EXPECT_FALSE(rig.state.valid);
    EXPECT_EQ(rig.position.asked, 2);
    EXPECT_TRUE(rig.display.modes.empty());

    // A fix with no date yet (day 0) is refused and tried again.
    rig.position.hasFix = true;
    rig.clock.local.day = 0;
    rig.sw.tick();
    EXPECT_FALSE(rig.state.valid);

    rig.clock.set(1, 12, 2026, 2, 0);
    rig.state.setAutoDayNight(false);
    rig.sw.tick();
    EXPECT_FALSE(rig.state.valid);
    EXPECT_EQ(rig.position.asked, 3);

    // A mode changed elsewhere is still handed to the display.
    rig.state.day = false;
    rig.state.changed = true;
    rig.sw.tick();
    EXPECT_EQ(rig.display.modes, std::vector<bool>{false});

    rig.state.setAutoDayNight(true);
    rig.sw.tick();
    EXPECT_TRUE(rig.state.valid);
    EXPECT_FALSE(rig.state.day); // 02:00 at the equator
}

TEST(DayNightSwitch, PolarNightAndPolarDay) {
    Rig rig;
    rig.position.latitude = 80.0;
    rig.position.longitude = 20.0;
    rig.clock.offsetHours = 1;
    rig.clock.set(21, 12, 2025, 12, 0);
    rig.sw.tick();
    EXPECT_FALSE(rig.state.day);
    EXPECT_EQ(rig.display.modes, std::vector<bool>{false});
    // Not even the minute at (shifted) midnight is day.
    for (int hour = 0; hour < 24; ++hour)
        for (int minute : {0, 1, 59}) {
            Ui::DayNightSwitch::evaluateDayNight(rig.state, hour, minute);
            EXPECT_FALSE(rig.state.day) << hour << ":" << minute;
        }

    Rig summer;
    summer.position.latitude = 80.0;
    summer.position.longitude = 20.0;
    summer.clock.offsetHours = 1;
    summer.state.day = false;
    summer.clock.set(21, 6, 2026, 1, 0);
    summer.sw.tick();
    EXPECT_TRUE(summer.state.day);
    for (int hour = 0; hour < 24; ++hour)
        for (int minute : {0, 1, 59}) {
            EXPECT_FALSE(Ui::DayNightSwitch::evaluateDayNight(summer.state, hour, minute));
            EXPECT_TRUE(summer.state.day) << hour << ":" << minute;
        }
}

TEST(DayNightSwitch, DayShorterThanAnHour) {
    // Find a place near the polar circle whose midwinter day begins and ends
    // within one clock hour.
    Core::Config config;
    Ui::DayNight state(config.root());
    bool found = false;
    for (int lat100 = 6400; lat100 <= 6800 && !found; ++lat100) {
        const auto r = state.updateDayNight(at(21, 12, 2025, 0, 0), lat100 / 100.0, -7.5);
        found = r == Ui::SunResult::Computed && state.sunrise().hour == state.sunset().hour;
    }
    ASSERT_TRUE(found);
    const int hour = state.sunrise().hour;
    EXPECT_TRUE(Ui::DayNightSwitch::evaluateDayNight(state, 2, 0));
    EXPECT_FALSE(state.day);
    EXPECT_FALSE(Ui::DayNightSwitch::evaluateDayNight(state, hour, state.sunrise().minute + 1));
    EXPECT_TRUE(state.day);
    EXPECT_TRUE(Ui::DayNightSwitch::evaluateDayNight(state, hour, state.sunset().minute + 1));
    EXPECT_FALSE(state.day);
    EXPECT_FALSE(Ui::DayNightSwitch::evaluateDayNight(state, 22, 0));
}
