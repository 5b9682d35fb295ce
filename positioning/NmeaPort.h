#pragma once
// A COM port with a GPS receiver on it: opening by port number, line speed,
// reads bounded by time-outs, and the probe that tells whether a receiver
// talks on the line (one checksummed "GP" sentence within a second).

#include "core/Log.h"
#include "platform/Event.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Positioning {

// Where COM port n lives: `<portsFolder>/COM<n>` when that exists (a link to
// any tty), else, when `systemDevices`, COM1-4 /dev/ttyS0-3, COM5-8
// /dev/ttyUSB0-3, COM9-12 /dev/ttyACM0-3, COM13-16 /dev/rfcomm0-3.
struct PortLocator {
    std::string portsFolder;
    bool systemDevices = true;

    // The device path, or empty when the number maps to nothing.
    std::string devicePath(std::uint32_t portNumber) const;
};

// The waits of opening and probing, shortened by tests.
struct PortTiming {
    std::uint32_t readIntervalMs = 333;
    std::uint32_t readTotalMs = 1000;
    // Lets the receiver's data arrive at the new speed before the probe reads.
    std::uint32_t probePauseMs = 1000;
    // How long the probe reads looking for a sentence.
    std::uint32_t probeWindowMs = 1000;
    // The limit of the probe's worker thread.
    std::uint32_t probeLimitMs = 5000;
    std::uint32_t failedReadPauseMs = 100;
};

class NmeaPort {
  public:
    // Opens the port and sets its speed; null (the device closed again)
    // when either fails. Both are logged, a port that can't be opened at
    // `failureLevel`.
    static std::unique_ptr<NmeaPort> open(const PortLocator& locator, std::uint32_t portNumber,
                                          std::uint32_t baud, const PortTiming& timing = {},
                                          Log::Level failureLevel = Log::System);
    ~NmeaPort();
    NmeaPort(const NmeaPort&) = delete;
    NmeaPort& operator=(const NmeaPort&) = delete;

    // On success the speed is stored.
    bool setSpeed(std::uint32_t baud);
    // One read bounded by the time-outs; 0 bytes on failure (logged).
    std::uint32_t read(void* buffer, std::uint32_t size);
    // Bytes the driver holds; 0 when it can't tell.
    std::uint32_t bytesWaiting() const;
    // The line's far end went away.
    bool hungUp() const { return m_device->hungUp(); }
    // Whether a receiver answers; `stop` (may be null) ends the probe early.
    bool probe(const Platform::Event* stop);
    bool probed() const { return m_probed; }
    std::uint32_t portNumber() const { return m_portNumber; }
    std::uint32_t speed() const { return m_speed; }

  private:
    NmeaPort(std::shared_ptr<Platform::SerialPort> device, std::uint32_t portNumber, std::string name,
             const PortTiming& timing);

    // Shared with a probe's worker thread, which may outlive a probe that
    // stopped waiting for it.
    std::shared_ptr<Platform::SerialPort> m_device;
    std::uint32_t m_portNumber;
    // The device as the log names it.
    std::string m_name;
    std::uint32_t m_speed = 0;
    PortTiming m_timing;
    bool m_probed = false;
};

// The probe on an open device: true when a sentence with talker "GP" came.
bool tryGpsPort(const std::shared_ptr<Platform::SerialPort>& device, std::uint32_t portNumber,
                std::uint32_t baud, const Platform::Event* stop, const PortTiming& timing);

} // namespace Positioning
