#pragma once
// The source of sentences under the NMEA device: it owns the receiver's port
// (and the thread that reads it), runs the commands other threads queue,
// and hands every checksummed sentence and every change of its state to its
// data listeners, in registration order, on its own thread.
//
// The serial implementation sits on the platform's serial ports; the replay
// implementation (ReplayPortSystem.h) takes recorded bytes instead.

#include "core/ThreadCallbacks.h"
#include "positioning/DataListener.h"

#include <cstdint>
#include <utility>

namespace Positioning {

class PortSystem {
  public:
    virtual ~PortSystem() = default;

    virtual bool isPortOpen() const = 0;
    virtual bool isEnabled() const = 0;
    // (port number, speed); COM 4 at 4800 baud until set. A port set is
    // answered at once, before the port is opened: what is stored as the
    // driver's choice.
    virtual std::pair<std::uint32_t, std::uint32_t> port() const = 0;

    // Queue a command; false when the queue refused it (the callback is then
    // destroyed uncalled). Ownership of the callbacks passes in every case.
    virtual bool setEnabled(bool on, Threading::ResultCallback* done) = 0;
    virtual bool setPort(std::uint32_t portNumber, std::uint32_t speed) = 0;
    virtual bool findPort(Threading::ProgressCallback* callback) = 0;
    // Ends a running port search; false when none runs.
    virtual bool stopPortSearch() = 0;

    // Listeners are not owned.
    virtual void addDataListener(DataListener* listener) = 0;
    // True when the entry was owned (and deleted); false when absent.
    virtual bool removeDataListener(DataListener* listener) = 0;

    PortSystem() = default;
    PortSystem(const PortSystem&) = delete;
    PortSystem& operator=(const PortSystem&) = delete;
};

} // namespace Positioning
