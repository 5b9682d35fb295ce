#include "guidance/Sensors.h"

#include "core/FileSystem.h"
#include "platform/Memory.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>

namespace Guidance {
namespace {

std::u16string value(const Sensors& sensors, const std::string& name) {
    return sensors.findSensor(name)->valueText();
}

struct SensorsTest : ::testing::Test {
    GuidanceTest::Messages messages;
    GuidanceTest::Clock clock;
    TestSupport::TempDir power;
    Sensors sensors{messages, nullptr, SensorsSetup{power.path().string(), &clock, 0}};
};

TEST_F(SensorsTest, FixValuesAreFormatted) {
    Positioning::Fix fix;
    fix.speed = 13.9f;
    fix.hdop = 0.9f;
    fix.vdop = 1.25f;
    fix.heading = 7.5f;
    fix.altitude = -3.25f;
    fix.latitude = 55.5f;
    fix.longitude = -37.25f;
    sensors.onFix(true, fix);
    SensorFrame frame;
    sensors.updateAll(frame);
    const struct {
        const char* name;
        std::u16string text;
    } rows[] = {
        {"speed", u"50.0 km/h"}, {"max_speed", u"50.0 km/h"}, {"avg_speed", u"50.0 km/h"}, {"hdop", u"0.90"},
        {"vdop", u"1.25"},       {"heading", u"7.50"},        {"altitude", u"-3.25"},      {"position", u"55.500000 -37.250000"},
        {"dist_to_finish", u"-"}, {"time_to_finish", u"-"},   {"cur_street", u"-"},
    };
    for (const auto& row : rows) EXPECT_EQ(value(sensors, row.name), row.text) << row.name;
    EXPECT_EQ(sensors.findSensor("speed")->shortText(), u"50 km/h");
    EXPECT_EQ(sensors.findSensor("speed")->caption(), u"Speed");

    // A lost fix blanks the fix values but keeps the average and the maximum.
    sensors.onFix(false, fix);
    sensors.updateAll(frame);
    EXPECT_EQ(value(sensors, "speed"), u"-");
    EXPECT_EQ(value(sensors, "hdop"), u"-");
    EXPECT_EQ(value(sensors, "max_speed"), u"50.0 km/h");

    // The demo drive's fix stands in for the lost one.
    Positioning::Fix demo;
    demo.speed = 20.0f;
    frame.demoFix = &demo;
    sensors.updateAll(frame);
    EXPECT_EQ(value(sensors, "speed"), u"72.0 km/h");
}

TEST_F(SensorsTest, RouteTimesUseTheAverageSpeed) {
    SensorFrame frame;
    frame.routeActive = true;
    frame.distToFinish = 1500;
    frame.maneuverAhead = true;
    frame.distToManeuver = 60;
    frame.guidanceStartTicks = 5000 - 125500;
    Positioning::Fix fix;
    fix.speed = 0.1f; // not above 0.1 m/s: no time to move
    sensors.onFix(true, fix);
    sensors.updateAll(frame);
    EXPECT_EQ(value(sensors, "time_to_finish"), u"-");
    EXPECT_EQ(value(sensors, "time_from_start"), u"0:02");
    for (int i = 0; i < 120; ++i) { // the ring of 120 forgets the slow sample
        fix.speed = 10.0f;
        sensors.onFix(true, fix);
        sensors.updateAll(frame);
    }
    EXPECT_EQ(value(sensors, "avg_speed"), u"36.0 km/h");
    EXPECT_EQ(value(sensors, "time_to_finish"), u"0:02");
    EXPECT_EQ(value(sensors, "dist_to_maneuver"), u"60 m");
    // Hours and minutes stand still for a turn seconds away; the map's short
    // text counts the seconds.
    const auto shortText = [&](const char* name) { return sensors.findSensor(name)->shortText(); };
    EXPECT_EQ(value(sensors, "time_to_maneuver"), u"0:00");
    EXPECT_EQ(shortText("time_to_maneuver"), u"6 s");
    EXPECT_EQ(shortText("time_to_finish"), u"2:30 min");
    frame.distToFinish = 40000;
    sensors.updateAll(frame);
    EXPECT_EQ(shortText("time_to_finish"), u"1:06");
    frame.maneuverAhead = false;
    sensors.updateAll(frame);
    EXPECT_EQ(value(sensors, "time_to_maneuver"), u"-");
}

TEST_F(SensorsTest, MemoryIsClampedAndDateAndTimeAreLocal) {
    sensors.updateAll(SensorFrame{});
    const std::u16string memory = value(sensors, "memory");
    // The address space of a 64-bit process exceeds 2^31 KiB: shown whole,
    // neither clamped nor wrapped negative.
    const std::uint64_t shown = std::stoull(FileSystem::toUtf8(memory.substr(0, memory.find(u'/'))));
    const std::uint64_t platform = Platform::memoryStatus().availableVirtual >> 10;
    EXPECT_GT(shown, std::uint64_t(INT32_MAX));
    EXPECT_LT(shown > platform ? shown - platform : platform - shown, std::uint64_t(1) << 20);
    clock.time = Positioning::DateTime{3, 7, 2026, 9, 5, 1, 0};
    EXPECT_EQ(value(sensors, "date"), u"03/07/2026");
    EXPECT_EQ(value(sensors, "time"), u"09:05:01");
}

TEST_F(SensorsTest, UnknownNameIsLoggedOnce) {
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(sensors.hasSensor("nope"));
    EXPECT_EQ(sensors.findSensor("nope"), nullptr);
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains("Can't find sensor nope"));
    EXPECT_EQ(sensors.sensors().size(), 24u);
}

TEST_F(SensorsTest, FixesFromAnotherThreadArriveWhole) {
    std::thread gps([&] {
        Positioning::Fix fix;
        for (int i = 0; i < 2000; ++i) {
            fix.hdop = fix.vdop = static_cast<float>(i % 7);
            sensors.onFix(true, fix);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        sensors.updateAll(SensorFrame{});
        EXPECT_EQ(value(sensors, "hdop"), value(sensors, "vdop"));
    }
    gps.join();
}

} // namespace
} // namespace Guidance
