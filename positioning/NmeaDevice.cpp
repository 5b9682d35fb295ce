#include "positioning/NmeaDevice.h"

#include "core/Log.h"
#include "positioning/MapProjection.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace Positioning {

using detail::Lock;

NmeaDevice::NmeaDevice(const std::u16string& folder, int logPeriodMinutes, TrackingListener* listener,
                       std::unique_ptr<PortSystem> portSystem, Clock& clock, FixJudge* judge)
    : m_listener(listener), m_judge(judge), m_mutex("Can't create nmea device mutex"), m_portSystem(std::move(portSystem)),
      m_nmeaLog(folder, logPeriodMinutes, clock) {
    if (!m_portSystem) throw std::runtime_error("No GPS port system");
    m_portSystem->addDataListener(static_cast<DataListener*>(this));
    Log::log(Log::Normal, u"Nmea device initialized");
}

NmeaDevice::~NmeaDevice() {
    // The port system's thread may be inside onData until it is gone.
    m_portSystem.reset();
}

bool NmeaDevice::isPortOpen() const {
    return m_portSystem->isPortOpen();
}
bool NmeaDevice::isEnabled() const {
    return m_portSystem->isEnabled();
}
bool NmeaDevice::enable(bool on, Threading::ResultCallback* done) {
    return m_portSystem->setEnabled(on, done);
}
void NmeaDevice::addDataListener(DataListener* listener) {
    m_portSystem->addDataListener(listener);
}
bool NmeaDevice::removeDataListener(DataListener* listener) {
    return m_portSystem->removeDataListener(listener);
}

bool NmeaDevice::hasFix() const {
    Lock lock(m_mutex);
    return m_valid;
}

bool NmeaDevice::getFix(Fix& out) const {
    Lock lock(m_mutex);
    out = m_fix;
    return m_valid;
}

std::uint32_t NmeaDevice::getSatellites(Satellite* out, std::uint32_t max) const {
    Lock lock(m_mutex);
    const std::size_t n = std::min<std::size_t>(m_satellites.size(), max);
    if (out) std::copy_n(m_satellites.begin(), n, out);
    return static_cast<std::uint32_t>(m_satellites.size());
}

std::uint32_t NmeaDevice::getUsedSatellites(std::uint32_t* out, std::uint32_t max) const {
    Lock lock(m_mutex);
    const std::size_t n = std::min<std::size_t>(m_usedSatellites.size(), max);
    if (out) std::copy_n(m_usedSatellites.begin(), n, out);
    return static_cast<std::uint32_t>(m_usedSatellites.size());
}

std::pair<std::uint32_t, std::uint32_t> NmeaDevice::getPort() const {
    return m_portSystem->port();
}
bool NmeaDevice::setPort(std::uint32_t port, std::uint32_t speed) {
    return m_portSystem->setPort(port, speed);
}
bool NmeaDevice::findPort(Threading::ProgressCallback* callback) {
    return m_portSystem->findPort(callback);
}
bool NmeaDevice::stopPortSearch() {
    return m_portSystem->stopPortSearch();
}

void NmeaDevice::setNmeaLogging(int minutes) {
    Lock lock(m_mutex);
    m_nmeaLog.setPeriod(minutes);
}

void NmeaDevice::setUere(float metres) {
    Lock lock(m_mutex);
    m_motion.setUere(metres);
}

void NmeaDevice::setPosition(float latitude, float longitude) {
    // The GGA and the RMC of an epoch carry the same position, and the
    // projection is the dearest step of a fix: the map point of the last
    // position is kept (the same bits, by the same projection).
    const GeoToMap projection = installedGeoToMap();
    if (m_projected && projection == m_projection &&
        std::bit_cast<std::uint32_t>(latitude) == std::bit_cast<std::uint32_t>(m_fix.latitude) &&
        std::bit_cast<std::uint32_t>(longitude) == std::bit_cast<std::uint32_t>(m_fix.longitude))
        return;
    m_fix.latitude = latitude;
    m_fix.longitude = longitude;
    geoToMap(latitude, longitude, m_fix.x, m_fix.y);
    m_projected = true;
    m_projection = projection;
}

void NmeaDevice::readBegins() {
    m_mutex.lock();
    ++m_reads;
}

void NmeaDevice::readEnds() {
    --m_reads;
    m_mutex.unlock();
}

void NmeaDevice::onData(const char* text, std::uint32_t length) {
    if (m_reads > 0) {
        take(text, length);
        return;
    }
    Lock lock(m_mutex);
    take(text, length);
}

void NmeaDevice::take(const char* text, std::uint32_t length) {
    m_nmeaLog.write(text);

    NmeaRecords& records = m_records;
    const NmeaTime* time = nullptr;
    switch (parseSentence(text, length, records)) {
    case SentenceKind::Gga: {
        const GgaRecord& gga = records.gga;
        time = &gga.time;
        m_valid = gga.quality != 0;
        if (m_valid) {
            m_fix.dateTime.hour = gga.time.hour;
            m_fix.dateTime.minute = gga.time.minute;
            m_fix.dateTime.second = gga.time.second;
            m_fix.dateTime.millisecond = gga.time.milliseconds();
            setPosition(gga.latitude, gga.longitude);
            m_fix.altitude = gga.altitude;
            m_fix.hdop = gga.hdop;
        }
        break;
    }
    case SentenceKind::Rmc: {
        const RmcRecord& rmc = records.rmc;
        time = &rmc.time;
        m_valid = rmc.status == 'A';
        if (m_valid) {
            // Receivers that send RMC first notify on it: its time of day
            // belongs with its position, not the previous epoch's GGA.
            m_fix.dateTime.hour = rmc.time.hour;
            m_fix.dateTime.minute = rmc.time.minute;
            m_fix.dateTime.second = rmc.time.second;
            m_fix.dateTime.millisecond = rmc.time.milliseconds();
            m_fix.dateTime.day = rmc.date.day;
            m_fix.dateTime.month = rmc.date.month;
            m_fix.dateTime.year = rmc.date.year;
            setPosition(rmc.latitude, rmc.longitude);
            m_fix.speed = rmc.speed;
            m_fix.heading = rmc.course;
            m_fix.courseKnown = rmc.courseKnown;
            m_motion.given(rmc.time, rmc.speedKnown, rmc.courseKnown);
        }
        break;
    }
    case SentenceKind::Gsa: {
        // Written without a branch per field: which of the twelve are empty
        // changes from receiver to receiver and epoch to epoch.
        m_usedSatellites.resize(std::size(records.gsa.satellites));
        std::size_t used = 0;
        for (std::int32_t prn : records.gsa.satellites) {
            m_usedSatellites[used] = static_cast<std::uint32_t>(prn);
            used += prn != 0 ? 1 : 0;
        }
        m_usedSatellites.resize(used);
        m_fix.vdop = records.gsa.vdop;
        break;
    }
    case SentenceKind::Gsv: {
        const GsvRecord& gsv = records.gsv;
        // A cycle is its messages in order from the first: a message that
        // does not follow the last one taken breaks the cycle, and nothing
        // is taken until the next first message. A hostile receiver's
        // second messages without end, each naming other satellites, grew
        // the list without bound, and each satellite's look-up in it with it
        // (on the GPS thread, under the device's lock).
        if (gsv.messageNumber == 1) {
            m_collectingSatellites.clear();
            m_gsvCycle = {gsv.messages, 1};
        } else if (gsv.messages == m_gsvCycle.messages && gsv.messageNumber == m_gsvCycle.last + 1) {
            m_gsvCycle.last = gsv.messageNumber;
        } else {
            m_gsvCycle = {};
            m_collectingSatellites.clear();
            break;
        }
        for (std::int32_t i = 0; i < gsv.count; ++i) {
            const Satellite& s = gsv.satellites[i];
            auto same = std::find_if(m_collectingSatellites.begin(), m_collectingSatellites.end(),
                                     [&s](const Satellite& known) { return known.prn == s.prn; });
            if (same != m_collectingSatellites.end())
                *same = s;
            else if (m_collectingSatellites.size() < MaxSatellitesInView)
                m_collectingSatellites.push_back(s);
        }
        if (gsv.messageNumber == gsv.messages) m_collectingSatellites.swap(m_satellites);
        break;
    }
    case SentenceKind::ParseError:
    case SentenceKind::NotHandled:
        break;
    }

    if (!time) return;
    if (m_valid) {
        if (*time == m_lastTime) return; // the second sentence of an epoch already told
        m_lastTime = *time;
        // The judge sees what the receiver said, not a speed or course
        // taken from the fixes before; a fix it keeps out is told to no one
        // and leaves the speed and course alone.
        if (m_judge) {
            Fix said = m_fix;
            m_motion.said(said, *time);
            const Admission admission = m_judge->admits(said);
            if (admission == Admission::KeptOut) return;
            if (admission == Admission::Moved) m_motion.moved();
        }
        m_motion.complete(m_fix, *time);
    }
    if (m_listener) m_listener->onFix(m_valid, m_fix);
}

void NmeaDevice::lost(bool stillOn) {
    if (stillOn) return;
    Lock lock(m_mutex);
    m_valid = false;
    if (m_listener) m_listener->onFix(false, Fix{});
}

} // namespace Positioning
