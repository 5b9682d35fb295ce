#include "guidance/BatteryStatus.h"

#include "platform/Battery.h"

namespace Guidance {

BatteryStatus::BatteryStatus(const std::string& root, const Positioning::Clock& clock) : m_clock(clock) {
    const auto devices = Platform::batteryDevices(root);
    if (!devices.empty()) m_devicePath = devices.back();
}

void BatteryStatus::query() {
    if (m_devicePath.empty()) return;
    const std::uint32_t now = m_clock.ticksMs();
    // The reading holds between queries, so a second request within the
    // second still shows the charge instead of "-".
    if (m_queried && now - m_lastTicks < 1000) return;
    m_queried = true;
    m_lastTicks = now;
    m_present = false;
    const auto reading = Platform::readBattery(m_devicePath);
    if (!reading || !reading->systemBattery) return;
    m_present = !reading->shortTerm;
    m_onAC = reading->onAC;
    // Rounded to the nearest whole percent.
    m_percent = static_cast<std::uint32_t>((reading->remaining * 200 / reading->full + 1) / 2);
}

} // namespace Guidance
