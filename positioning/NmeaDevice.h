#pragma once
// The GPS device: it owns the port system, receives every checksummed
// sentence from it (on the GPS thread), writes the sentences to the NMEA log,
// parses them, keeps the last fix and the satellites, and tells its one
// tracking listener once per epoch when a fix is new or has become invalid.
//
// The notification rule: only an accepted GGA or RMC can notify. An invalid
// one (GGA fix quality 0, RMC status other than 'A') always notifies with
// valid false. A valid one notifies when its time of day differs from the
// last notified one, so a receiver that sends GGA then RMC per epoch is heard
// once, at the GGA, with the speed, course and date of the previous RMC.
// A receiver that sends no speed or no course (GGA alone, empty RMC fields)
// has them taken from its fixes (FixMotion). A valid fix is first put to
// the judge (the system's gate) as the receiver said it, without a speed or
// course taken from the fixes before it: one it keeps out reaches neither
// that estimate nor the listener, so that a position no vehicle could reach
// turns no course round, and a speed the estimate took from a move is never
// what keeps the fixes after it out.
// Losing the port or switching the GPS off notifies valid false with a
// zero-filled record.

#include "positioning/Clock.h"
#include "positioning/Device.h"
#include "positioning/FixMotion.h"
#include "positioning/MapProjection.h"
#include "positioning/NmeaLog.h"
#include "positioning/NmeaParsers.h"
#include "positioning/PortSystem.h"
#include "positioning/TrackingListener.h"
#include "positioning/detail/Mutex.h"

#include <memory>
#include <string>
#include <vector>

namespace Positioning {

// Whether a valid fix may be taken in (the positioning system's gate): kept
// out, passed, or passed as the first where the receiver moved for good.
enum class Admission { KeptOut, Passed, Moved };
class FixJudge {
  public:
    virtual ~FixJudge() = default;
    virtual Admission admits(const Fix& fix) = 0;
};

class NmeaDevice : public Device, private SerialPortSettings, private LogSettings, private DataListener {
  public:
    // Registers itself as the port system's data listener and logs "Nmea
    // device initialized". Throws std::runtime_error("Can't create nmea
    // device mutex") when the mutex cannot be created. Without a judge
    // every valid fix is taken in.
    NmeaDevice(const std::u16string& folder, int logPeriodMinutes, TrackingListener* listener,
               std::unique_ptr<PortSystem> portSystem, Clock& clock = systemClock(), FixJudge* judge = nullptr);
    // Destroys the port system first, so no sentence can arrive any more.
    ~NmeaDevice() override;

    std::u16string typeName() const override { return u"COM port"; }
    bool isPortOpen() const override;
    bool isEnabled() const override;
    bool enable(bool on, Threading::ResultCallback* done) override;
    void addDataListener(DataListener* listener) override;
    bool removeDataListener(DataListener* listener) override;
    bool hasFix() const override;
    bool getFix(Fix& out) const override;
    std::uint32_t getSatellites(Satellite* out, std::uint32_t max) const override;
    std::uint32_t getUsedSatellites(std::uint32_t* out, std::uint32_t max) const override;
    SerialPortSettings* serialPortSettings() override { return this; }
    LogSettings* logSettings() override { return this; }
    // The receiver's error in metres per unit of HDOP, by which a way
    // between fixes is told from their scatter (FixMotion).
    void setUere(float metres);

    NmeaDevice(const NmeaDevice&) = delete;
    NmeaDevice& operator=(const NmeaDevice&) = delete;

  private:
    // SerialPortSettings
    std::pair<std::uint32_t, std::uint32_t> getPort() const override;
    bool setPort(std::uint32_t port, std::uint32_t speed) override;
    bool findPort(Threading::ProgressCallback* callback) override;
    bool stopPortSearch() override;
    // LogSettings
    void setNmeaLogging(int minutes) override;
    // DataListener. The lock is taken once for a read's sentences, from
    // readBegins to readEnds; a sentence outside a read takes it itself.
    void onData(const char* text, std::uint32_t length) override;
    void enabledChanged(bool enabled) override { lost(enabled); }
    void portStateChanged(bool open) override { lost(open); }
    void readBegins() override;
    void readEnds() override;
    void lost(bool stillOn);
    // One sentence, the lock held.
    void take(const char* text, std::uint32_t length);

    void setPosition(float latitude, float longitude);

    TrackingListener* m_listener;
    FixJudge* m_judge;
    detail::Mutex m_mutex;
    // Reads under way on the GPS thread (readBegins took the lock); only
    // that thread touches it.
    int m_reads = 0;
    std::unique_ptr<PortSystem> m_portSystem;
    NmeaTime m_lastTime;
    Fix m_fix;
    // Speed and course from the fixes where the receiver sends none.
    FixMotion m_motion;
    bool m_valid = false;
    UsedSatellites m_usedSatellites;
    std::vector<Satellite> m_collectingSatellites;
    std::vector<Satellite> m_satellites;
    // The GSV cycle being collected: its number of messages and the last
    // message taken (0: none, the cycle broken).
    struct GsvCycle {
        std::int32_t messages = 0;
        std::int32_t last = 0;
    } m_gsvCycle;
    // More than any receiver lists under one talker: the view's bound.
    static constexpr std::size_t MaxSatellitesInView = 128;
    NmeaLog m_nmeaLog;
    // Where each sentence is parsed, kept rather than made afresh per
    // sentence: a parser zero-fills the record of its kind first.
    NmeaRecords m_records;
    // Whether m_fix's map point belongs to its position, and by which projection.
    bool m_projected = false;
    GeoToMap m_projection = nullptr;
};

} // namespace Positioning
