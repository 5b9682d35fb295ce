#pragma once
// The GPS device as the rest of the program sees it.

#include "core/ThreadCallbacks.h"
#include "positioning/DataListener.h"
#include "positioning/Fix.h"

#include <cstdint>
#include <string>
#include <utility>

namespace Positioning {

class SerialPortSettings {
  public:
    virtual ~SerialPortSettings() = default;
    // (port number, speed).
    virtual std::pair<std::uint32_t, std::uint32_t> getPort() const = 0;
    virtual bool setPort(std::uint32_t port, std::uint32_t speed) = 0;
    virtual bool findPort(Threading::ProgressCallback* callback) = 0;
    virtual bool stopPortSearch() = 0;
};

class LogSettings {
  public:
    virtual ~LogSettings() = default;
    // A new file every `minutes`; 0 or less switches logging off.
    virtual void setNmeaLogging(int minutes) = 0;
};

class Device {
  public:
    virtual ~Device() = default;
    virtual std::u16string typeName() const = 0;
    virtual bool isPortOpen() const = 0;
    virtual bool isEnabled() const = 0;
    virtual bool enable(bool on, Threading::ResultCallback* done) = 0;
    virtual void addDataListener(DataListener* listener) = 0;
    virtual bool removeDataListener(DataListener* listener) = 0;
    virtual bool hasFix() const = 0;
    // Copies the current fix; returns whether it is valid.
    virtual bool getFix(Fix& out) const = 0;
    // Copy the first min(known, max) records; return how many are known.
    virtual std::uint32_t getSatellites(Satellite* out, std::uint32_t max) const = 0;
    virtual std::uint32_t getUsedSatellites(std::uint32_t* out, std::uint32_t max) const = 0;
    virtual SerialPortSettings* serialPortSettings() = 0;
    virtual LogSettings* logSettings() = 0;
};

} // namespace Positioning
