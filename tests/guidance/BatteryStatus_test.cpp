#include "guidance/BatteryStatus.h"

#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace Guidance {
namespace {

// A fake /sys/class/power_supply: one folder per supply with its files.
void supply(const TestSupport::TempDir& root, const std::string& name, const std::map<std::string, std::string>& files) {
    std::filesystem::create_directories(root / name);
    for (const auto& [file, text] : files) root.write(name + "/" + file, text + "\n");
}

TEST(BatteryStatus, ReadsTheLastSystemBattery) {
    const struct {
        const char* what;
        std::map<std::string, std::map<std::string, std::string>> supplies;
        bool present;
        std::uint32_t percent;
        bool onAC;
    } rows[] = {
        {"no battery", {{"AC", {{"type", "Mains"}, {"online", "1"}}}}, false, 100, true},
        {"energy", {{"AC", {{"type", "Mains"}, {"online", "0"}}}, {"BAT0", {{"type", "Battery"}, {"energy_now", "3000"}, {"energy_full", "4000"}}}}, true, 75, false},
        {"charge, rounded", {{"BAT1", {{"type", "Battery"}, {"charge_now", "2"}, {"charge_full", "3"}, {"status", "Charging"}}}}, true, 67, true},
        {"percent only", {{"BAT0", {{"type", "Battery"}, {"capacity", "42"}, {"status", "Discharging"}}}}, true, 42, false},
        {"last one wins", {{"BAT0", {{"type", "Battery"}, {"capacity", "10"}}}, {"BAT1", {{"type", "Battery"}, {"capacity", "90"}}}}, true, 90, true},
        {"short-term only", {{"ups", {{"type", "UPS"}, {"capacity", "50"}}}}, false, 100, true},
        {"a mouse's battery", {{"hid", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "50"}}}}, false, 100, true},
        {"removed", {{"BAT0", {{"type", "Battery"}, {"present", "0"}, {"capacity", "50"}}}}, false, 100, true},
        {"garbage", {{"BAT0", {{"type", "Battery"}, {"capacity", "lots"}, {"energy_full", "0"}}}}, false, 100, true},
    };
    for (const auto& row : rows) {
        TestSupport::TempDir root;
        for (const auto& [name, files] : row.supplies) supply(root, name, files);
        GuidanceTest::Clock clock;
        BatteryStatus status(root.path().string(), clock);
        status.query();
        EXPECT_EQ(status.present(), row.present) << row.what;
        EXPECT_EQ(status.percent(), row.percent) << row.what;
        EXPECT_EQ(status.onAC(), row.onAC) << row.what;
    }
}

TEST(BatteryStatus, ReadsAtMostOnceASecond) {
    TestSupport::TempDir root;
    supply(root, "BAT0", {{"type", "Battery"}, {"capacity", "80"}});
    GuidanceTest::Clock clock;
    BatteryStatus status(root.path().string(), clock);
    status.query();
    root.write("BAT0/capacity", "79\n");
    clock.ticks += 999;
    status.query();
    EXPECT_TRUE(status.present()); // the last reading holds within the second
    EXPECT_EQ(status.percent(), 80u);
    clock.ticks += 1;
    status.query();
    EXPECT_EQ(status.percent(), 79u);
    std::filesystem::remove_all(root / "BAT0");
    clock.ticks += 1000;
    status.query();
    EXPECT_FALSE(status.present());
}

} // namespace
} // namespace Guidance
