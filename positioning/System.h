#pragma once
// The one object through which the program reaches the GPS. It owns the NMEA
// device, is that device's tracking listener, and hands every fix on to its
// own tracking listeners, in registration order, on the GPS thread.
//
// Every valid fix passes a FixGate first (the device asks it, with what
// the receiver said, before it takes speed and course from the fixes, and
// tells that estimate of a move the gate followed), so that a position no
// vehicle could have reached (a receiver's glitch) reaches none of the
// listeners:
// not the track, the car tracker's filter nor the map's view. Invalid fixes
// pass as they are. The device's own getters (the GPS page) show what the
// receiver said.
//
// Lock order on the GPS thread: the device's mutex, then this object's, then
// each listener's own locks. A listener must not add or remove listeners
// from inside onFix.

#include "positioning/Clock.h"
#include "positioning/Device.h"
#include "positioning/FixGate.h"
#include "positioning/MessageTexts.h"
#include "positioning/NmeaDevice.h"
#include "positioning/PortSystem.h"
#include "positioning/TrackingListener.h"
#include "positioning/detail/Mutex.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Positioning {

class NmeaDevice;

// Makes the port system under the device: the serial one in the program, a
// replay in tests and tools.
using PortSystemFactory = std::function<std::unique_ptr<PortSystem>(const MessageTexts* messages)>;

class System : private TrackingListener, private FixJudge {
  public:
    // Creates the device over the port system that `makePortSystem` makes and
    // logs "GPS system initialized". A failure is logged ("GPS system
    // initialization failed: %s") and leaves the system without a device;
    // every operation then reports false or nothing. Throws
    // std::runtime_error("Can't create gps mutex") when its mutex cannot be made.
    System(const std::u16string& nmeaFolder, int nmeaLogPeriodMinutes, const MessageTexts* messages,
           const PortSystemFactory& makePortSystem, Clock& clock = systemClock());
    ~System() override;
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // A listener added twice is called twice; one removal removes every entry.
    // After removeListener returns the listener is never called again.
    void addListener(TrackingListener* listener);
    void removeListener(TrackingListener* listener);

    bool enable(Threading::ResultCallback* done);
    bool disable();
    bool setPort(std::uint32_t port, std::uint32_t speed);
    // Without a device the callback is destroyed uncalled and false returned.
    bool findPort(Threading::ProgressCallback* callback);
    bool stopPortSearch();
    void setNmeaLogging(int minutes);
    // For a recording played back: the gate measures the time between
    // fixes by their own times (FixTimeTicks), not by the clock when they
    // arrive. Played faster than it was recorded, a receiver's scattered
    // first fixes after a cold start would otherwise seem to jump further
    // than any vehicle moves in no time, and be kept out.
    void judgeFixesByTheirOwnTimes();
    // The receiver's error in metres per unit of HDOP (the car model's
    // "uere"): a way between two fixes shorter than their error gives the
    // device no speed or course.
    void setUere(float metres);

    bool hasDevice() const { return m_device != nullptr; }
    bool hasFix() const;
    bool getFix(Fix& out) const;
    std::uint32_t getSatellites(Satellite* out, std::uint32_t max) const;
    std::uint32_t getUsedSatellites(std::uint32_t* out, std::uint32_t max) const;
    bool isEnabled() const;
    bool isPortOpen() const;
    std::u16string typeName() const;
    // (port number, speed); (0, 0) without a device.
    std::pair<std::uint32_t, std::uint32_t> getPort() const;
    // Data listeners of the port system (the GPS setup page); not owned.
    void addDataListener(DataListener* listener);
    bool removeDataListener(DataListener* listener);

  private:
    void onFix(bool valid, const Fix& fix) override;
    // The gate, before the device takes speed and course from the fixes.
    Admission admits(const Fix& fix) override;

    const MessageTexts* m_messages;
    Clock& m_clock;
    detail::Mutex m_mutex;
    FixGate m_gate;
    bool m_byFixTimes = false;
    FixTimeTicks m_fixTicks;
    std::unique_ptr<Device> m_device;
    NmeaDevice* m_nmeaDevice = nullptr; // m_device, as made
    std::vector<TrackingListener*> m_listeners;
};

} // namespace Positioning
