#include "positioning/SerialPortSystem.h"

#include "core/Log.h"
#include "core/ThreadCallbacks.h"
#include "positioning/MessageTexts.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <system_error>

namespace Positioning {

using detail::Lock;

namespace {

std::u16string messageText(const MessageTexts* messages, std::string_view name) {
    return messages ? messages->text(name) : std::u16string();
}

std::u16string progressText(std::u16string text) {
    if (text.size() > 100) text.resize(100);
    return text;
}

} // namespace

class SerialPortSystem::Command {
  public:
    explicit Command(SerialPortSystem& system) : m_system(system) {}
    virtual ~Command() = default;
    virtual void run() = 0;
    virtual FindPortCommand* terminatable() { return nullptr; }

  protected:
    SerialPortSystem& m_system;
};

class SerialPortSystem::EnableCommand final : public Command {
  public:
    EnableCommand(SerialPortSystem& system, bool on, Threading::ResultCallback* done)
        : Command(system), m_on(on), m_done(done) {}

    void run() override {
        SerialPortSystem& s = m_system;
        bool enabled;
        {
            Lock lock(s.m_mutex);
            enabled = s.m_enabled;
        }
        if (m_on == enabled) {
            if (m_done) m_done->result(true);
            return;
        }
        {
            Lock lock(s.m_mutex);
            s.m_enabled = m_on;
        }
        const bool wasOpen = s.isPortOpen();
        if (!m_on) {
            s.setOpenPort(nullptr);
        } else {
            Log::log(Log::Normal, u"Enabling GPS...");
            auto [number, speed] = s.portInUse();
            s.setOpenPort(s.openAndProbe(number, speed));
        }
        const bool open = s.isPortOpen();
        s.tellEnabled(m_on);
        if (open != wasOpen) s.tellPortState(open);
        if (m_done) m_done->result(m_on == open);
    }

  private:
    bool m_on;
    std::unique_ptr<Threading::ResultCallback> m_done;
};

class SerialPortSystem::SetPortCommand final : public Command {
  public:
    SetPortCommand(SerialPortSystem& system, std::uint32_t number, std::uint32_t speed, std::uint64_t choice)
        : Command(system), m_number(number), m_speed(speed), m_choice(choice) {}

    void run() override {
        apply();
        SerialPortSystem& s = m_system;
        Lock lock(s.m_mutex);
        if (s.m_choices == m_choice) s.m_chosen.reset();
    }

  private:
    void apply() {
        SerialPortSystem& s = m_system;
        auto [number, speed] = s.portInUse();
        if (number == m_number && speed == m_speed) return;
        if (number == m_number && s.m_port) {
            if (s.m_port->setSpeed(m_speed)) {
                Lock lock(s.m_mutex);
                s.m_speed = m_speed;
            }
            return;
        }
        const bool wasOpen = s.isPortOpen();
        s.setOpenPort(nullptr);
        if (s.isEnabled()) {
            Log::log(Log::Normal, u"Setting GPS port...");
            s.setOpenPort(s.openAndProbe(m_number, m_speed));
        }
        {
            Lock lock(s.m_mutex);
            s.m_portNumber = m_number;
            s.m_speed = m_speed;
        }
        if (s.isPortOpen() != wasOpen) s.tellPortState(!wasOpen);
    }

    std::uint32_t m_number;
    std::uint32_t m_speed;
    std::uint64_t m_choice;
};

class SerialPortSystem::ReopenCommand final : public Command {
  public:
    using Command::Command;

    // The port is opened again and read at once, without a probe: a
    // receiver that speaks again after a tunnel is heard with its first
    // sentence, not after a probe that took it for absent and a retry.
    void run() override {
        SerialPortSystem& s = m_system;
        if (!s.isEnabled()) return;
        const bool wasOpen = s.isPortOpen();
        s.setOpenPort(nullptr);
        s.pause(s.m_options.reopenPauseMs);
        Log::log(Log::Normal, u"Reopening GPS...");
        auto [number, speed] = s.portInUse();
        s.setOpenPort(NmeaPort::open(s.m_options.locator, number, speed, s.m_options.port));
        s.reset();
        if (wasOpen) s.tellPortState(false);
    }
};

class SerialPortSystem::FindPortCommand final : public Command {
  public:
    // Made on the caller's thread.
    FindPortCommand(SerialPortSystem& system, Threading::ProgressCallback* callback)
        : Command(system), m_lock("Can't create find port lock mutex"), m_callback(callback) {}

    FindPortCommand* terminatable() override { return this; }

    void terminate() {
        Lock lock(m_lock);
        m_terminated = true;
        m_searchStop.set();
        Log::log(Log::Info, u"Terminating GPS search");
        if (m_callback) {
            m_callback->result(false);
            m_callback.reset();
        }
    }

    void run() override {
        SerialPortSystem& s = m_system;
        Log::log(Log::Info, u"Starting GPS search");
        if (s.m_port) {
            const bool wasOpen = s.isPortOpen();
            s.setOpenPort(nullptr);
            if (wasOpen) s.tellPortState(false);
        }
        const auto& speeds = s.m_options.searchSpeeds;
        const int speedCount = static_cast<int>(speeds.size());
        bool anyOpened = false;
        for (int p = static_cast<int>(HighestPort); p >= 0; --p) {
            const int whole = 100 * p;
            const int base = 100 - whole / 21;
            const int span = (100 - (whole - 100) / 21) - base;
            int attempts = 0;
            std::unique_ptr<NmeaPort> port;
            for (int i = 0; i < speedCount; ++i) {
                const int percentage = (i * span) / speedCount + base;
                std::u16string text = progressText(Core::format(
                    u"%s%d... (%d)", messageText(s.m_messages, "gps_opening_com"), p, attempts + 1));
                {
                    Lock lock(m_lock);
                    if (m_terminated) break;
                    if (m_callback) m_callback->progress(text, percentage);
                    if (m_terminated) break;
                }
                const std::uint32_t speed = speeds[static_cast<std::size_t>(i)];
                if (!port) {
                    port = NmeaPort::open(s.m_options.locator, static_cast<std::uint32_t>(p), 4800,
                                          s.m_options.port);
                    ++attempts;
                    if (!port) {
                        if (attempts >= 2) break;
                        continue;
                    }
                    anyOpened = true;
                    if (!port->setSpeed(speed)) continue;
                } else {
                    port->setSpeed(speed);
                }
                {
                    Lock lock(m_lock);
                    if (m_callback)
                        m_callback->progress(
                            progressText(Core::format(
                                u"%s%d - %d", messageText(s.m_messages, "gps_testing_com"), p, speed)),
                            percentage);
                }
                if (!port->probe(&m_searchStop)) continue;
                bool enabled;
                {
                    Lock lock(s.m_mutex);
                    s.m_portNumber = static_cast<std::uint32_t>(p);
                    s.m_speed = speed;
                    enabled = s.m_enabled;
                }
                if (enabled) {
                    s.setOpenPort(std::move(port));
                    s.tellPortState(true);
                }
                {
                    Lock lock(m_lock);
                    if (m_callback) {
                        m_callback->result(true);
                        m_callback.reset();
                    }
                }
                Log::log(Log::Info, u"GPS search done. GPS found");
                return;
            }
        }
        if (!anyOpened) Log::log(Log::Critical, u"COM ports were not found");
        {
            Lock lock(m_lock);
            if (m_callback) {
                m_callback->result(false);
                m_callback.reset();
            }
        }
        Log::log(Log::Info, u"GPS search terminated");
    }

  private:
    detail::Mutex m_lock;
    Platform::Event m_searchStop{true, false};
    bool m_terminated = false;
    std::unique_ptr<Threading::ProgressCallback> m_callback;
};

SerialPortSystem::SerialPortSystem(const MessageTexts* messages, SerialPortSystemOptions options,
                                   Clock& clock)
    : m_messages(messages), m_options(std::move(options)), m_clock(clock),
      m_mutex("Can't create main GPS mutex") {
    // Taken from one lasting default object: GCC 12 at -O3 reports a
    // temporary's strings as maybe uninitialised when it is destroyed here.
    static const SerialPortSystemOptions defaults;
    if (m_options.searchSpeeds.empty()) m_options.searchSpeeds = defaults.searchSpeeds;
    try {
        m_thread = std::thread([this] { threadMain(); });
    } catch (const std::system_error&) {
        throw std::runtime_error("Can't create GPS thread");
    }
}

SerialPortSystem::~SerialPortSystem() {
    m_stopEvent.set();
    stopPortSearch();
    if (m_thread.joinable()) m_thread.join();
    m_port.reset();
    m_queue.clear();
    Log::log(Log::Normal, u"GPS system closed");
}

bool SerialPortSystem::isPortOpen() const {
    Lock lock(m_mutex);
    return m_open;
}

bool SerialPortSystem::isEnabled() const {
    Lock lock(m_mutex);
    return m_enabled;
}

std::pair<std::uint32_t, std::uint32_t> SerialPortSystem::port() const {
    Lock lock(m_mutex);
    return m_chosen.value_or(std::pair{m_portNumber, m_speed});
}

std::pair<std::uint32_t, std::uint32_t> SerialPortSystem::portInUse() const {
    Lock lock(m_mutex);
    return {m_portNumber, m_speed};
}

bool SerialPortSystem::queue(std::unique_ptr<Command> command) {
    Lock lock(m_mutex);
    return queueLocked(std::move(command));
}

bool SerialPortSystem::queueLocked(std::unique_ptr<Command> command) {
    if (m_queue.size() >= MaxQueued) return false; // the command (and its callback) dies here
    m_queue.push_back(std::move(command));
    return true;
}

bool SerialPortSystem::setEnabled(bool on, Threading::ResultCallback* done) {
    return queue(std::make_unique<EnableCommand>(*this, on, done));
}

bool SerialPortSystem::setPort(std::uint32_t portNumber, std::uint32_t speed) {
    // The choice counts from here: stored at the driver's "ok" even while
    // the GPS thread is still busy with a probe.
    Lock lock(m_mutex);
    if (!queueLocked(std::make_unique<SetPortCommand>(*this, portNumber, speed, m_choices + 1))) return false;
    m_chosen = {portNumber, speed};
    ++m_choices;
    return true;
}

bool SerialPortSystem::findPort(Threading::ProgressCallback* callback) {
    std::unique_ptr<Threading::ProgressCallback> owned(callback);
    auto command = std::make_unique<FindPortCommand>(*this, owned.release());
    return queue(std::move(command));
}

bool SerialPortSystem::stopPortSearch() {
    Lock lock(m_mutex);
    if (!m_current) return false;
    m_current->terminate();
    return true;
}

void SerialPortSystem::addDataListener(DataListener* listener) {
    addListener(listener);
}

bool SerialPortSystem::removeDataListener(DataListener* listener) {
    removeListener(listener);
    return false; // listeners are never owned here
}

std::unique_ptr<NmeaPort> SerialPortSystem::openAndProbe(std::uint32_t portNumber, std::uint32_t speed) {
    auto port = NmeaPort::open(m_options.locator, portNumber, speed, m_options.port);
    if (port) port->probe(nullptr);
    return port;
}

void SerialPortSystem::setOpenPort(std::unique_ptr<NmeaPort> port) {
    m_port = std::move(port);
    if (m_port) m_lookedInVain = false;
    Lock lock(m_mutex);
    m_open = m_port && m_port->probed();
}

void SerialPortSystem::dropLostPort() {
    Log::log(Log::System, u"GPS port was lost");
    const bool wasOpen = isPortOpen();
    setOpenPort(nullptr);
    reset();
    if (wasOpen) tellPortState(false);
}

void SerialPortSystem::lookForPort() {
    auto [number, speed] = portInUse();
    // The first failure after the port was lost is named; the tries after
    // it, every `noPortMs` while the receiver stays away, only at Info.
    const Log::Level failure = m_lookedInVain ? Log::Info : Log::System;
    setOpenPort(NmeaPort::open(m_options.locator, number, speed, m_options.port, failure));
    reset();
    m_lookedInVain = !m_port;
}

void SerialPortSystem::heard() {
    {
        Lock lock(m_mutex);
        if (m_open) return;
        m_open = true;
    }
    Log::log(Log::Normal, u"GPS receiver heard");
    tellPortState(true);
}

bool SerialPortSystem::pause(std::uint32_t ms) {
    return m_stopEvent.wait(ms);
}

void SerialPortSystem::runCommands() {
    for (;;) {
        std::unique_ptr<Command> command;
        {
            Lock lock(m_mutex);
            if (m_queue.empty()) return;
            command = std::move(m_queue.front());
            m_queue.pop_front();
            m_current = command->terminatable();
        }
        command->run();
        {
            Lock lock(m_mutex);
            m_current = nullptr;
        }
    }
}

void SerialPortSystem::threadMain() {
    for (;;) {
        m_statsStart = m_clock.ticksMs();
        m_statsBytes = 0;
        m_statsSentences = 0;
        try {
            readingPass();
        } catch (const std::exception& e) {
            Log::log(Log::Critical, u"GPS thread exception: %s", e.what());
            Log::log(Log::System, u"GPS thread is being restarted...");
        } catch (...) {
            Log::log(Log::Critical, u"GPS thread unknown exception");
            Log::log(Log::System, u"GPS thread is being restarted...");
        }
        if (m_stopEvent.isSet()) return;
    }
}

void SerialPortSystem::readingPass() {
    std::optional<std::uint32_t> silenceSince;
    std::optional<std::uint32_t> noPortSince;
    auto since = [this](std::uint32_t start) { return m_clock.ticksMs() - start; };
    for (;;) {
        if (m_stopEvent.isSet()) {
            Log::log(Log::Normal, u"GPS system closing");
            return;
        }
        runCommands();

        if (since(m_statsStart) >= m_options.statsPeriodMs) {
            // A silent receiver is named once, when it falls silent, not
            // every period until it speaks again.
            const bool silent = m_statsBytes == 0;
            if (!silent || !m_statsSilent)
                Log::log(Log::Info, u"GPS data received: %d bytes, %d sentences", m_statsBytes, m_statsSentences);
            m_statsSilent = silent;
            m_statsStart = m_clock.ticksMs();
            m_statsBytes = 0;
            m_statsSentences = 0;
        }

        if (!m_port) {
            if (!isEnabled()) {
                pause(m_options.idleSleepMs);
            } else if (!noPortSince) {
                noPortSince = m_clock.ticksMs();
                pause(m_options.cycleSleepMs);
            } else if (since(*noPortSince) <= m_options.noPortMs) {
                pause(m_options.cycleSleepMs);
            } else {
                silenceSince.reset();
                noPortSince = m_clock.ticksMs();
                lookForPort();
            }
            continue;
        }

        const std::uint32_t waiting = m_port->probed() ? 150 : m_port->bytesWaiting();
        // A port read without a probe asks the driver what is waiting, and
        // nothing waits on a line whose far end is gone: it is dropped at
        // once, not after the silence's wait.
        if (waiting == 0 && m_port->hungUp()) {
            dropLostPort();
            silenceSince.reset();
            continue;
        }
        if (waiting == 0) {
            if (!silenceSince) {
                silenceSince = m_clock.ticksMs();
                pause(m_options.cycleSleepMs);
            } else if (since(*silenceSince) <= m_options.silenceMs) {
                pause(m_options.cycleSleepMs);
            } else {
                queue(std::make_unique<ReopenCommand>(*this));
                silenceSince.reset();
            }
            continue;
        }
        if (waiting < 50 && waiting < freeBytes()) {
            pause(m_options.cycleSleepMs);
            continue;
        }
        const std::uint32_t got = m_port->read(writePosition(), std::min(waiting, freeBytes()));
        if (got == 0 && m_port->hungUp()) {
            // The device itself is gone (unplugged, or its far end closed):
            // waiting out the silence would only repeat failing reads.
            dropLostPort();
            silenceSince.reset();
            continue;
        }
        if (got == 0 && silenceSince && since(*silenceSince) > m_options.silenceMs) {
            queue(std::make_unique<ReopenCommand>(*this));
            silenceSince.reset();
            continue;
        }
        if (got > 0 || !silenceSince) silenceSince = m_clock.ticksMs();
        const Handed handed = handOver(got);
        m_statsBytes += got;
        m_statsSentences += handed.sentences;
        if (handed.fromReceiver > 0) heard();
    }
}

} // namespace Positioning
