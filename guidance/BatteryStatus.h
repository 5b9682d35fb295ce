#pragma once
// The charge of the computer's battery for the battery sensor: the battery
// is chosen once (the last one the platform lists), its state read at most
// once a second.

#include "positioning/Clock.h"

#include <cstdint>
#include <string>

namespace Guidance {

class BatteryStatus {
public:
    // root: the power-supply folder (Platform::kPowerSupplyRoot outside tests).
    explicit BatteryStatus(const std::string& root, const Positioning::Clock& clock = Positioning::systemClock());

    // Refreshes present, percent and onAC. Within a second of the last
    // reading nothing is read and the last reading stands.
    void query();

    bool present() const { return m_present; }
    std::uint32_t percent() const { return m_percent; }
    bool onAC() const { return m_onAC; }
    const std::string& devicePath() const { return m_devicePath; }

private:
    const Positioning::Clock& m_clock;
    std::uint32_t m_lastTicks = 0;
    bool m_queried = false;
    std::uint32_t m_percent = 100;
    bool m_present = false;
    bool m_onAC = true;
    std::string m_devicePath;
};

} // namespace Guidance
