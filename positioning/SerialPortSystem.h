#pragma once
// The port system over a real serial port: the GPS thread reads the
// receiver's port, cuts the stream into sentences and hands them to the
// data listeners (ListenerFanOut.h); other threads queue commands (switch
// on or off, change port, search for the receiver) that the GPS thread runs
// between reads.
//
// The thread keeps the line alive on its own: an enabled system without a
// port (never opened, or lost) opens it again every `noPortMs` and reads it
// at once, without a probe, so a receiver plugged back is heard with its
// first sentence; a port silent for `silenceMs` is reopened, and a port
// whose far end hangs up is dropped at once (the listeners hear of it) and
// then looked for the same way.
//
// A port that opens is held and read whether or not a receiver answers on
// it: the port counts as open (isPortOpen, the listeners' port state) once
// its probe passed or a receiver's sentence came (isReceiverSentence: a
// depth sounder on the same line is no receiver), and as closed while
// nothing does (switched on in a tunnel, reopened after a silence).
// Receivers that send nothing without a fix are heard with their first
// sentence after it.

#include "positioning/Clock.h"
#include "positioning/ListenerFanOut.h"
#include "positioning/NmeaPort.h"
#include "positioning/PortSystem.h"
#include "positioning/detail/Mutex.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace Positioning {

class MessageTexts;

struct SerialPortSystemOptions {
    PortLocator locator;
    PortTiming port;
    std::uint32_t silenceMs = 10000;
    std::uint32_t noPortMs = 1000;
    std::uint32_t reopenPauseMs = 500;
    std::uint32_t statsPeriodMs = 5000;
    std::uint32_t cycleSleepMs = 30;
    std::uint32_t idleSleepMs = 300;
    // The speeds the port search tries on every port, in order.
    std::vector<std::uint32_t> searchSpeeds{57600, 38400, 19200, 9600, 4800};
};

class SerialPortSystem final : public PortSystem, private ListenerFanOut {
  public:
    static constexpr std::size_t MaxQueued = 10;
    static constexpr std::uint32_t HighestPort = 20;

    // Starts the GPS thread (disabled, COM 4 at 4800 baud). Throws
    // std::runtime_error("Can't create main GPS mutex"), ("Can't create GPS
    // listeners mutex") or ("Can't create GPS thread").
    SerialPortSystem(const MessageTexts* messages, SerialPortSystemOptions options,
                     Clock& clock = systemClock());
    // Ends a running search, stops the thread and waits for its current cycle
    // (at most one read or one probe) before anything it uses goes away.
    ~SerialPortSystem() override;

    bool isPortOpen() const override;
    bool isEnabled() const override;
    std::pair<std::uint32_t, std::uint32_t> port() const override;
    bool setEnabled(bool on, Threading::ResultCallback* done) override;
    bool setPort(std::uint32_t portNumber, std::uint32_t speed) override;
    bool findPort(Threading::ProgressCallback* callback) override;
    bool stopPortSearch() override;
    void addDataListener(DataListener* listener) override;
    bool removeDataListener(DataListener* listener) override;

    class Command;

  private:
    class EnableCommand;
    class SetPortCommand;
    class ReopenCommand;
    class FindPortCommand;

    bool queue(std::unique_ptr<Command> command);
    // With m_mutex held.
    bool queueLocked(std::unique_ptr<Command> command);
    // The port the GPS thread works with (port() answers a choice not yet
    // applied).
    std::pair<std::uint32_t, std::uint32_t> portInUse() const;
    void threadMain();
    void readingPass();
    void runCommands();
    bool pause(std::uint32_t ms);

    // GPS thread only. The port, probed, whatever the probe found; null
    // when it can't be opened.
    std::unique_ptr<NmeaPort> openAndProbe(std::uint32_t portNumber, std::uint32_t speed);
    // Holds the port; it counts as open when its probe passed.
    void setOpenPort(std::unique_ptr<NmeaPort> port);
    // The port's device is gone: the port is dropped, the listeners told.
    void dropLostPort();
    // Opens the stored port again without a probe, to be read at once.
    void lookForPort();
    // A receiver's sentence came: the port held counts as open (the
    // listeners hear of it when it did not).
    void heard();

    const MessageTexts* m_messages;
    SerialPortSystemOptions m_options;
    Clock& m_clock;
    detail::Mutex m_mutex;
    Platform::Event m_stopEvent{true, false};

    // Guarded by m_mutex.
    std::deque<std::unique_ptr<Command>> m_queue;
    FindPortCommand* m_current = nullptr;
    bool m_enabled = false;
    bool m_open = false; // a port is held and a receiver answered on it
    std::uint32_t m_portNumber = 4;
    std::uint32_t m_speed = 4800;
    // The port last set, until its command has run; numbered so that an
    // earlier command does not end a later choice.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> m_chosen;
    std::uint64_t m_choices = 0;

    std::unique_ptr<NmeaPort> m_port; // GPS thread only
    std::uint32_t m_statsBytes = 0;
    std::uint32_t m_statsSentences = 0;
    std::uint32_t m_statsStart = 0;
    bool m_statsSilent = false; // the last period logged had no data
    bool m_lookedInVain = false; // the last lookForPort found no port
    std::thread m_thread;
};

} // namespace Positioning
