#include "positioning/NmeaPort.h"

#include "core/Log.h"
#include "core/Text.h"
#include "core/TimeLimitWorker.h"
#include "platform/Error.h"
#include "positioning/NmeaSentenceReader.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace Positioning {

namespace {

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Sees whether any sentence from a satellite receiver passes by.
class DummySentenceReader final : public NmeaSentenceReader {
  public:
    bool seen = false;

  protected:
    void onSentence(const char* text, std::uint32_t length) override {
        if (seen) return;
        Log::log(Log::Normal, u"Sentence: %s", std::string(text, length));
        if (isReceiverSentence(text, length)) {
            Log::log(Log::Normal, u"Pattern %s was found.", std::string(text + 1, 2));
            seen = true;
        }
    }
};

class TryGpsWorker final : public Threading::TimeLimitWorker {
  public:
    TryGpsWorker(std::shared_ptr<Platform::SerialPort> device, const PortTiming& timing)
        : m_device(std::move(device)), m_timing(timing) {}

    bool found = false;

    void run() override {
        found = false;
        DummySentenceReader reader;
        const std::int64_t start = nowMs();
        while (nowMs() - start < m_timing.probeWindowMs && !abandoned()) {
            std::uint32_t want = std::min<std::uint32_t>(reader.freeBytes(), ChunkSize);
            int got = m_device->read(reader.writePosition(), want);
            if (got < 0) {
                Log::log(Log::Info, u"TryGpsPort can't read anything.");
                std::this_thread::sleep_for(std::chrono::milliseconds(m_timing.failedReadPauseMs));
                got = 0;
            }
            if (got > 0) {
                reader.scan(static_cast<std::uint32_t>(got));
                if (reader.seen) {
                    found = true;
                    return;
                }
            }
        }
        if (abandoned()) return; // nobody waits for the outcome any more
        Log::log(Log::Info, u"TryGpsPort timeout expired.");
        Log::log(Log::Info, u"TryGpsPort pattern was not found.");
    }

  private:
    static constexpr std::uint32_t ChunkSize = 150;
    std::shared_ptr<Platform::SerialPort> m_device;
    PortTiming m_timing;
};

} // namespace

std::string PortLocator::devicePath(std::uint32_t portNumber) const {
    if (!portsFolder.empty()) {
        std::string linked = portsFolder + "/COM" + std::to_string(portNumber);
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(linked, error))) return linked;
    }
    if (!systemDevices || portNumber < 1 || portNumber > 16) return {};
    static const char* const families[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM", "/dev/rfcomm"};
    return families[(portNumber - 1) / 4] + std::to_string((portNumber - 1) % 4);
}

NmeaPort::NmeaPort(std::shared_ptr<Platform::SerialPort> device, std::uint32_t portNumber, std::string name,
                   const PortTiming& timing)
    : m_device(std::move(device)), m_portNumber(portNumber), m_name(std::move(name)), m_timing(timing) {}

NmeaPort::~NmeaPort() = default;

std::unique_ptr<NmeaPort> NmeaPort::open(const PortLocator& locator, std::uint32_t portNumber,
                                         std::uint32_t baud, const PortTiming& timing,
                                         Log::Level failureLevel) {
    std::string path = locator.devicePath(portNumber);
    std::string name = path.empty() ? "COM" + std::to_string(portNumber) : path;
    auto device = std::make_shared<Platform::SerialPort>();
    if (path.empty()) Platform::setLastError(Platform::ErrorFileNotFound);
    if (path.empty() || !device->open(path)) {
        Log::log(failureLevel, u"Port %s can't be opened (err %d)", name, Platform::lastError());
        return nullptr;
    }
    Log::log(Log::System, u"Port %s was opened", name);
    device->setTimeouts(timing.readIntervalMs, timing.readTotalMs);
    std::unique_ptr<NmeaPort> port(new NmeaPort(std::move(device), portNumber, name, timing));
    if (!port->setSpeed(baud)) return nullptr;
    return port;
}

bool NmeaPort::setSpeed(std::uint32_t baud) {
    if (!m_device->setSpeed(baud)) {
        Log::log(Log::Critical, u"Speed %d can't be set (err %d)", baud, Platform::lastError());
        Log::log(Log::Critical, u"filename = '%s'", m_name);
        return false;
    }
    Log::log(Log::Normal, u"Speed was set to %d.", baud);
    m_speed = baud;
    return true;
}

std::uint32_t NmeaPort::read(void* buffer, std::uint32_t size) {
    int got = m_device->read(buffer, size);
    if (got < 0) {
        Log::log(Log::Critical, u"Error reading port (err %d)", Platform::lastError());
        Log::log(Log::Critical, u"filename = '%s'", m_name);
        return 0;
    }
    return static_cast<std::uint32_t>(got);
}

std::uint32_t NmeaPort::bytesWaiting() const {
    int waiting = m_device->bytesWaiting();
    return waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
}

bool NmeaPort::probe(const Platform::Event* stop) {
    m_probed = tryGpsPort(m_device, m_portNumber, m_speed, stop, m_timing);
    return m_probed;
}

bool tryGpsPort(const std::shared_ptr<Platform::SerialPort>& device, std::uint32_t portNumber,
                std::uint32_t baud, const Platform::Event* stop, const PortTiming& timing) {
    Log::log(Log::Normal, u"Trying port %d at speed %d ...", portNumber, baud);
    // A stop that ends the pause (or came before it) ends the probe before
    // it reads: a stopped search reports no receiver.
    bool stopped = stop && stop->isSet();
    if (timing.probePauseMs > 0 && !stopped) {
        if (stop)
            stopped = stop->wait(timing.probePauseMs);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(timing.probePauseMs));
    }
    auto worker = std::make_shared<TryGpsWorker>(device, timing);
    bool found = false;
    switch (stopped ? Threading::TimeLimitWorker::Stopped
                    : Threading::TimeLimitWorker::runWithLimit(worker, stop, timing.probeLimitMs)) {
    case Threading::TimeLimitWorker::Finished:
        Log::log(Log::Info, u"TryGpsPort done");
        found = worker->found;
        break;
    case Threading::TimeLimitWorker::TimedOut:
        Log::log(Log::System, u"TryGpsPort timeout");
        break;
    case Threading::TimeLimitWorker::Stopped:
        Log::log(Log::Normal, u"TryGpsPort terminating");
        break;
    default:
        break;
    }
    Log::log(Log::Normal, u"TryGpsPort %s (%d/%d)", found ? "succeded" : "failed", portNumber, baud);
    return found;
}

} // namespace Positioning
