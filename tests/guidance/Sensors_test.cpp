#include "guidance/Sensors.h"

#include "core/FileSystem.h"
#include "platform/Memory.h"
#include "core/Text.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/map/AtlasFixture.h"
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
    Sensors sensors{messages, nullptr, SensorsSetup{power.path().string(), &clock, 0, {}}};
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
    // The platform's figure in KiB, as it stands (the machine's free memory
    // moves between the two readings).
    const std::uint64_t shown = std::stoull(FileSystem::toUtf8(memory.substr(0, memory.find(u'/'))));
    const std::uint64_t platform = Platform::memoryStatus().availableVirtual >> 10;
    EXPECT_GT(shown, 0u);
    EXPECT_LT(shown > platform ? shown - platform : platform - shown, std::uint64_t(1) << 20);
    clock.time = Positioning::DateTime{3, 7, 2026, 9, 5, 1, 0};
    EXPECT_EQ(value(sensors, "date"), u"03/07/2026");
    EXPECT_EQ(value(sensors, "time"), u"09:05:01");
}

// The memory figures are read only when the sensor's text is asked for,
// at most once a second of the clock, however many frames update it.
TEST_F(SensorsTest, MemoryIsReadWhenShownAtMostOnceASecond) {
    int reads = 0;
    SensorsSetup setup{"", &clock, 0, {}};
    setup.memoryStatus = [&reads] {
        ++reads;
        Platform::MemoryStatus status;
        status.availableVirtual = std::uint64_t(reads) << 10;
        status.availablePhysical = 2048;
        return status;
    };
    Sensors counted(messages, nullptr, setup);
    const struct {
        bool shown;
        int expectedReads;
        const char16_t* lastText;
    } rows[] = {{false, 0, nullptr}, {true, 3, u"3/2 KiB"}, {false, 3, nullptr}, {true, 6, u"6/2 KiB"}};
    for (const auto& row : rows) {
        std::u16string text;
        // Three seconds of frames at 20 a second.
        for (int frame = 0; frame < 60; ++frame, clock.ticks += 50) {
            counted.updateAll(SensorFrame{});
            if (row.shown) text = value(counted, "memory");
        }
        EXPECT_EQ(reads, row.expectedReads);
        if (row.lastText) {
            EXPECT_EQ(text, row.lastText);
        }
    }
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

namespace Guidance {
namespace {

// The distance to the turn in a driver's steps, the same in the sensor and
// on the turn panel: 10 m below 200 m, 50 m below 1 km, whole kilometres.
TEST_F(SensorsTest, TheDistanceToTheTurnIsRoundedAsADriverReadsIt) {
    const std::pair<std::uint32_t, std::u16string> rows[] = {
        {0, u"0 m"},     {4, u"0 m"},     {5, u"10 m"},    {109, u"110 m"}, {194, u"190 m"}, {195, u"200 m"},
        {224, u"200 m"}, {232, u"250 m"}, {249, u"250 m"}, {974, u"950 m"}, {975, u"1 km"},  {1499, u"1 km"},
        {1500, u"2 km"}, {4294967295u, u"4294967 km"}};
    SensorFrame frame;
    frame.routeActive = true;
    frame.maneuverAhead = true;
    for (const auto& [metres, text] : rows) {
        EXPECT_EQ(turnDistanceText(messages, metres), text) << metres;
        frame.distToManeuver = metres;
        sensors.updateAll(frame);
        EXPECT_EQ(value(sensors, "dist_to_maneuver"), text) << metres;
    }
}

} // namespace
} // namespace Guidance

namespace Guidance {
namespace {

// The times to the turn and to the finish while the car drives, and when it
// stands: no time, not the one the average of the moving speeds gives.
TEST_F(SensorsTest, ACarThatStandsHasNoTimeToTheTurn) {
    SensorFrame frame;
    frame.routeActive = true;
    frame.maneuverAhead = true;
    frame.distToManeuver = 600;
    frame.distToFinish = 1200;
    Positioning::Fix fix;
    fix.speed = 10.0f;
    sensors.onFix(true, fix);
    for (int i = 0; i < 50; ++i) sensors.updateAll(frame);
    EXPECT_EQ(sensors.findSensor("time_to_maneuver")->shortText(), u"1:00 min");
    EXPECT_EQ(sensors.findSensor("time_to_finish")->shortText(), u"2:00 min");
    fix.speed = 0.0f;
    sensors.onFix(true, fix);
    sensors.updateAll(frame);
    EXPECT_EQ(sensors.findSensor("avg_speed")->valueText(), u"35.3 km/h"); // 50 x 10 m/s and a 0
    EXPECT_EQ(sensors.findSensor("time_to_maneuver")->shortText(), u"-");
    EXPECT_EQ(sensors.findSensor("time_to_finish")->shortText(), u"-");
    fix.speed = 5.0f;
    sensors.onFix(true, fix);
    sensors.updateAll(frame);
    EXPECT_NE(sensors.findSensor("time_to_maneuver")->shortText(), u"-");
}

// The demo atlas's maps each have their own strings: the same name index
// names another street in another map. Driving from one map's road onto
// another's with the same index, the current street is the new map's (it
// kept the last map's name).
TEST_F(SensorsTest, TheStreetOfAnotherMapWithTheSameNameIndexIsItsOwn) {
    AtlasTest::AtlasSetup setup;
    auto atlas = setup.makeAtlas();
    ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_DEMO_ATLAS_DIR))));
    ASSERT_GE(atlas->mapCount(), 2u);
    Map::KVMap2* a = atlas->mapAt(0);
    Map::KVMap2* b = atlas->mapAt(1);
    std::uint32_t index = 1;
    std::u16string nameA, nameB;
    for (; index < 200; ++index)
        if (a->stringsReader().string(index, nameA) && b->stringsReader().string(index, nameB) && !nameA.empty() &&
            !nameB.empty() && nameA != nameB)
            break;
    ASSERT_LT(index, 200u) << "no name index that names two streets";
    SensorFrame frame;
    frame.routeActive = true;
    frame.routeStreetName = index;
    for (const auto& [map, name] : {std::pair{a, nameA}, {b, nameB}, {a, nameA}}) {
        frame.routeStreetMap = map;
        sensors.updateAll(frame);
        EXPECT_EQ(Core::wideToUtf8(value(sensors, "cur_street")), Core::wideToUtf8(name));
    }
}

} // namespace
} // namespace Guidance
