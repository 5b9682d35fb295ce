#include "positioning/System.h"

#include "core/Log.h"
#include "positioning/NmeaDevice.h"

#include <algorithm>
#include <exception>

namespace Positioning {

using detail::Lock;

System::System(const std::u16string& nmeaFolder, int nmeaLogPeriodMinutes, const MessageTexts* messages,
               const PortSystemFactory& makePortSystem, Clock& clock)
    : m_messages(messages), m_clock(clock), m_mutex("Can't create gps mutex") {
    try {
        std::unique_ptr<PortSystem> ports = makePortSystem ? makePortSystem(m_messages) : nullptr;
        auto device = std::make_unique<NmeaDevice>(nmeaFolder, nmeaLogPeriodMinutes,
                                                   static_cast<TrackingListener*>(this), std::move(ports), clock,
                                                   static_cast<FixJudge*>(this));
        m_nmeaDevice = device.get();
        m_device = std::move(device);
        Log::log(Log::System, u"GPS system initialized");
    } catch (const std::exception& e) {
        Log::log(Log::Critical, "GPS system initialization failed: %s", e.what());
    } catch (...) {
        Log::log(Log::Critical, u"GPS system initialization failed: Unknown error");
    }
}

System::~System() {
    // Stops the GPS thread before the list it calls goes away.
    m_device.reset();
}

void System::addListener(TrackingListener* listener) {
    Lock lock(m_mutex);
    m_listeners.push_back(listener);
}

void System::removeListener(TrackingListener* listener) {
    Lock lock(m_mutex);
    std::erase(m_listeners, listener);
}

Admission System::admits(const Fix& fix) {
    Lock lock(m_mutex);
    const std::uint32_t ticks = m_byFixTimes ? m_fixTicks.ticksOf(fix) : m_clock.ticksMs();
    const FixGate::Verdict verdict = m_gate.judge(fix, ticks);
    // One line for a run of fixes kept out: a receiver that keeps jumping
    // would fill the log five lines a second.
    if (!verdict.passed) {
        if (verdict.keptOut != 1) return Admission::KeptOut;
        if (verdict.impossible)
            Log::log(Log::Normal, u"GPS fix kept out: no car has speed %.1f m/s, course %.1f at %.6f,%.6f",
                     fix.speed, fix.courseKnown ? fix.heading : 0.0f, fix.latitude, fix.longitude);
        else
            Log::log(Log::Normal, u"GPS fix kept out: %d m from the last one in %u ms",
                     static_cast<int>(verdict.metres), verdict.ms);
        return Admission::KeptOut;
    }
    if (!verdict.moved) return Admission::Passed;
    Log::log(Log::Normal, u"GPS fixes followed to a new place %d m away after %d kept out",
             static_cast<int>(verdict.metres), verdict.keptOut);
    return Admission::Moved;
}

void System::onFix(bool valid, const Fix& fix) {
    // A valid fix has passed the gate (admits).
    Lock lock(m_mutex);
    for (TrackingListener* listener : m_listeners)
        listener->onFix(valid, fix);
}

bool System::enable(Threading::ResultCallback* done) {
    if (!m_device) {
        delete done;
        return false;
    }
    return m_device->enable(true, done);
}

bool System::disable() {
    return m_device && m_device->enable(false, nullptr);
}

bool System::setPort(std::uint32_t port, std::uint32_t speed) {
    SerialPortSettings* settings = m_device ? m_device->serialPortSettings() : nullptr;
    return settings && settings->setPort(port, speed);
}

bool System::findPort(Threading::ProgressCallback* callback) {
    SerialPortSettings* settings = m_device ? m_device->serialPortSettings() : nullptr;
    if (!settings) {
        delete callback;
        return false;
    }
    return settings->findPort(callback);
}

bool System::stopPortSearch() {
    SerialPortSettings* settings = m_device ? m_device->serialPortSettings() : nullptr;
    return settings && settings->stopPortSearch();
}

void System::judgeFixesByTheirOwnTimes() {
    Lock lock(m_mutex);
    m_byFixTimes = true;
}

void System::setUere(float metres) {
    if (m_nmeaDevice) m_nmeaDevice->setUere(metres);
}

void System::setNmeaLogging(int minutes) {
    if (LogSettings* settings = m_device ? m_device->logSettings() : nullptr)
        settings->setNmeaLogging(minutes);
}

bool System::hasFix() const {
    return m_device && m_device->hasFix();
}
bool System::getFix(Fix& out) const {
    return m_device && m_device->getFix(out);
}

std::uint32_t System::getSatellites(Satellite* out, std::uint32_t max) const {
    return m_device ? m_device->getSatellites(out, max) : 0;
}

std::uint32_t System::getUsedSatellites(std::uint32_t* out, std::uint32_t max) const {
    return m_device ? m_device->getUsedSatellites(out, max) : 0;
}

bool System::isEnabled() const {
    return m_device && m_device->isEnabled();
}
bool System::isPortOpen() const {
    return m_device && m_device->isPortOpen();
}
std::u16string System::typeName() const {
    return m_device ? m_device->typeName() : std::u16string();
}

std::pair<std::uint32_t, std::uint32_t> System::getPort() const {
    SerialPortSettings* settings = m_device ? m_device->serialPortSettings() : nullptr;
    return settings ? settings->getPort() : std::pair<std::uint32_t, std::uint32_t>{0, 0};
}

void System::addDataListener(DataListener* listener) {
    if (m_device) m_device->addDataListener(listener);
}

bool System::removeDataListener(DataListener* listener) {
    return m_device && m_device->removeDataListener(listener);
}

} // namespace Positioning
