#pragma once
// A port system whose "port" is a recorded NMEA stream: the caller's thread
// plays the GPS thread and feeds bytes, in chunks of any size, through the
// same sentence reader a serial port fills, handed to the listeners the same
// way (ListenerFanOut.h), so fixes come out exactly as they would from a
// receiver. Commands run at once instead of being queued.

#include "positioning/ListenerFanOut.h"
#include "positioning/PortSystem.h"

#include <cstddef>
#include <string_view>

namespace Positioning {

class ReplayPortSystem final : public PortSystem, private ListenerFanOut {
  public:
    ReplayPortSystem();
    ~ReplayPortSystem() override;

    // Receives bytes as a port would deliver them, `chunk` bytes at a time
    // (0: as much as the reader can take). Nothing is read while the GPS is
    // off or the port closed. Returns the number of sentences handed on.
    std::uint32_t feed(std::string_view bytes, std::size_t chunk = 0);
    // The receiver goes away: the port closes and listeners hear of it.
    void losePort();

    bool isPortOpen() const override { return m_open; }
    bool isEnabled() const override { return m_enabled; }
    std::pair<std::uint32_t, std::uint32_t> port() const override { return {m_portNumber, m_speed}; }
    // Switching on opens the replay's port at once; `done` hears whether the
    // port is open as asked.
    bool setEnabled(bool on, Threading::ResultCallback* done) override;
    bool setPort(std::uint32_t portNumber, std::uint32_t speed) override;
    // A replay has no ports to search: the callback hears false.
    bool findPort(Threading::ProgressCallback* callback) override;
    bool stopPortSearch() override { return false; }
    void addDataListener(DataListener* listener) override;
    bool removeDataListener(DataListener* listener) override;

  private:
    void setOpen(bool open);

    bool m_enabled = false;
    bool m_open = false;
    std::uint32_t m_portNumber = 4;
    std::uint32_t m_speed = 4800;
};

} // namespace Positioning
