#include "platform/Battery.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

// A made-up /sys/class/power_supply: the numbers of each supply's files are
// read whole, and a file that holds no plain number reads as none.
TEST(PlatformBattery, ReadsTheNumbersOfAMadeUpSupplyFolder) {
    TestSupport::TempDir root;
    const std::map<std::string, std::map<std::string, std::string>> supplies = {
        {"AC", {{"type", "Mains"}, {"online", "0"}}},
        {"BAT0", {{"type", "Battery"}, {"energy_now", "3000"}, {"energy_full", "4000"}}},
        {"BAT1", {{"type", "Battery"}, {"capacity", "42%"}}},
    };
    for (const auto& [name, files] : supplies) {
        std::filesystem::create_directories(root / name);
        for (const auto& [file, text] : files) root.write(name + "/" + file, text + "\n");
    }
    const std::string folder = root.path().string();
    EXPECT_EQ(Platform::batteryDevices(folder), (std::vector<std::string>{folder + "/BAT0", folder + "/BAT1"}));
    const auto reading = Platform::readBattery(folder + "/BAT0");
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->remaining, 3000u);
    EXPECT_EQ(reading->full, 4000u);
    EXPECT_TRUE(reading->systemBattery);
    EXPECT_FALSE(reading->onAC) << "the mains supply is offline";
    EXPECT_FALSE(Platform::readBattery(folder + "/BAT1")) << "\"42%\" is no number";
}
