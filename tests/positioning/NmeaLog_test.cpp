#include "positioning/NmeaLog.h"

#include "core/Log.h"
#include "core/Text.h"

#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct FakeClock : Positioning::Clock {
    std::uint32_t ticks = 0xFFFF0000u; // close to the wrap of the tick count
    Positioning::DateTime local{6, 12, 2026, 9, 5, 7, 0};
    std::uint32_t ticksMs() const override { return ticks; }
    Positioning::DateTime localTime() const override { return local; }
    void advanceMinutes(int minutes) {
        ticks += static_cast<std::uint32_t>(minutes) * 60000u;
        local.minute = static_cast<std::uint8_t>(local.minute + minutes);
    }
};

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    if (std::filesystem::exists(folder))
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(NmeaLog, RotatesEveryPeriod) {
    TestSupport::TempDir dir;
    const auto folder = dir.path() / "deeper" / "nmea";
    FakeClock clock;
    Positioning::NmeaLog log(Core::utf8ToWide(folder.string()), 10, clock);
    EXPECT_EQ(log.periodMs(), 600000u);
    EXPECT_FALSE(log.isFileOpen());

    log.write("$A*00");
    EXPECT_TRUE(log.isFileOpen());
    clock.advanceMinutes(5);
    log.write("$B*00");
    clock.advanceMinutes(5); // the period is over: written, then closed
    log.write("$C*00");
    EXPECT_FALSE(log.isFileOpen());
    clock.advanceMinutes(1);
    log.write("$D*00"); // a new file, named by the time it was opened
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"20261206-090507.nmea", "20261206-091607.nmea"}));
    EXPECT_EQ(TestSupport::readAll(folder / "20261206-090507.nmea"), "$A*00\r\n$B*00\r\n$C*00\r\n");

    // A shorter period closes the open file at once once it is over.
    clock.advanceMinutes(3);
    log.setPeriod(2);
    EXPECT_FALSE(log.isFileOpen());
    EXPECT_EQ(TestSupport::readAll(folder / "20261206-091607.nmea"), "$D*00\r\n");

    // Off: nothing is written, no file is opened.
    log.setPeriod(0);
    log.write("$E*00");
    log.setPeriod(-5);
    EXPECT_EQ(log.periodMs(), 0u);
    log.write("$F*00");
    EXPECT_FALSE(log.isFileOpen());
    EXPECT_EQ(filesIn(folder).size(), 2u);

    // Appending: a file of the same name is continued, not replaced.
    clock.local.minute = 5;
    log.setPeriod(10);
    log.write("$G*00");
    EXPECT_EQ(TestSupport::readAll(folder / "20261206-090507.nmea"), "$A*00\r\n$B*00\r\n$C*00\r\n$G*00\r\n");
}

TEST(NmeaLog, OffWritesNothingAndAFailedOpenIsRetried) {
    TestSupport::TempDir dir;
    FakeClock clock;
    {
        Positioning::NmeaLog off(Core::utf8ToWide((dir.path() / "never").string()), 0, clock);
        off.write("$A*00");
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "never"));
    }

    TestSupport::CaptureLogger logger;
    const auto blocked = dir.write("blocked", "a file where the folder should be");
    Positioning::NmeaLog log(Core::utf8ToWide(blocked.string()), 1, clock);
    log.write("$A*00");
    log.write("$B*00");
    EXPECT_FALSE(log.isFileOpen());
    const std::vector<std::string> lines = logger.lines();
    ASSERT_EQ(lines.size(), 1u); // said once, not for every sentence
    // The folder is a file, so nothing can be opened in it.
    EXPECT_NE(lines[0].find("Can't open NMEA log " + (blocked / "20261206-090507.nmea").string() + " (err "),
              std::string::npos)
        << lines[0];
    std::filesystem::remove(blocked);
    log.write("$C*00");
    EXPECT_TRUE(log.isFileOpen());
    EXPECT_EQ(logger.lines().size(), 1u);
    EXPECT_EQ(TestSupport::readAll(blocked / "20261206-090507.nmea"), "$C*00\r\n");
}
