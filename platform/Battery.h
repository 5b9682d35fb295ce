#pragma once
// The computer's batteries as the kernel lists them under
// /sys/class/power_supply (one folder per supply with small text files:
// "type", "scope", "present", "status", "online", "energy_now" ...). The
// root is a parameter so that tests read a fake tree.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

inline constexpr const char* kPowerSupplyRoot = "/sys/class/power_supply";

// The folders of the supplies under root whose "type" is "Battery" or "UPS",
// sorted by name (so the choice of the last one is reproducible). Empty when
// the root cannot be read.
std::vector<std::string> batteryDevices(const std::string& root);

struct BatteryReading {
    // A battery that powers the computer: type "Battery" and not the scope
    // "Device" (a mouse's or a headset's battery).
    bool systemBattery = false;
    // A battery that only bridges a power cut (type "UPS").
    bool shortTerm = false;
    // The computer runs on mains power: a "Mains" supply beside it is
    // online, or, with none listed, the battery is not discharging.
    bool onAC = true;
    // Remaining and full capacity in one unit (energy, charge, or the
    // kernel's own percentage over 100).
    std::uint64_t remaining = 0;
    std::uint64_t full = 0;
};

// Reads one supply folder (a path batteryDevices gave); nothing when the
// folder has gone, its "present" file says 0 or no capacity can be read.
std::optional<BatteryReading> readBattery(const std::string& device);

} // namespace Platform
