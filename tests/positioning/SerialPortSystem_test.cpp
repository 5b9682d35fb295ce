#include "NmeaTestSupport.h"

#include "core/Log.h"
#include "core/Text.h"
#include "positioning/MessageTexts.h"
#include "positioning/NmeaPort.h"
#include "positioning/SerialPortSystem.h"
#include "positioning/System.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

using PositioningTest::line;

namespace {

using namespace std::chrono_literals;

// Waits on a condition the GPS thread makes true; the deadline only bounds
// a failing test.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 5000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return condition();
}

struct LogLines : Log::Logger {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<int> levels; // of each line
    void setEnabled(bool) override {}
    bool isOpen() const override { return true; }
    void setFile(std::unique_ptr<FileSystem::FileRW>) override {}
    int severity() const override { return Log::AboveInfo; }
    void setSeverity(int) override {}
    void write(int level, std::u16string_view text) override {
        std::lock_guard lock(mutex);
        lines.push_back(Core::wideToUtf8(std::u16string(text)));
        levels.push_back(level);
    }
    void writeWide(int level, std::u16string_view text, bool) override { write(level, text); }
    void writeNarrow(int level, std::string_view text, bool) override {
        std::lock_guard lock(mutex);
        lines.emplace_back(text);
        levels.push_back(level);
    }
    bool has(const std::string& text) {
        std::lock_guard lock(mutex);
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    int count(const std::string& text) {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::count(lines.begin(), lines.end(), text));
    }
    int countAt(int level, const std::string& text) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            n += lines[i] == text && levels[i] == level;
        return n;
    }
    int countStartingWith(const std::string& prefix) {
        std::lock_guard lock(mutex);
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
    }
};

// One logger stays installed for the rest of the run: a probe thread that
// was abandoned may still write a line after its test ended.
LogLines* installLog() {
    static LogLines* current = nullptr;
    if (current && Log::installed() == current) {
        std::lock_guard lock(current->mutex);
        current->lines.clear();
        current->levels.clear();
        return current;
    }
    auto logger = std::make_unique<LogLines>();
    current = logger.get();
    Log::install(std::move(logger));
    return current;
}

// A receiver on a pseudo-terminal, linked into a data folder as COM<n>; it
// repeats its sentences until stopped. Like a real one, it talks on into a
// line nobody reads (what does not fit is lost), so a test that failed
// while its port was closed still ends.
struct Receiver {
    // Says each text in turn, round and round.
    Receiver(const TestSupport::TempDir& data, std::uint32_t number, std::vector<std::string> talk)
        : sentences(std::move(talk)) {
        std::filesystem::create_directories(data / "ports");
        std::filesystem::create_symlink(pty.devicePath(), data / ("ports/COM" + std::to_string(number)));
        thread = std::thread([this] {
            for (std::size_t k = 0; !stop; ++k) {
                if (onlyAt != 0 && pty.deviceSpeed() != onlyAt) {
                    std::this_thread::sleep_for(2ms);
                    continue;
                }
                if (!silent) pty.write(sentences[k % sentences.size()], 50);
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    ~Receiver() { end(); }
    void end() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
    TestSupport::PseudoTerminal pty;
    std::vector<std::string> sentences;
    std::atomic<bool> stop = false;
    std::atomic<bool> silent = false;
    std::atomic<std::uint32_t> onlyAt = 0; // the one speed it answers at, when set
    std::thread thread;
};

Positioning::SerialPortSystemOptions quickOptions(const TestSupport::TempDir& data) {
    Positioning::SerialPortSystemOptions options;
    options.locator = {(data / "ports").string(), false};
    options.port.readIntervalMs = 20;
    options.port.readTotalMs = 60;
    options.port.probePauseMs = 0;
    options.port.probeWindowMs = 300;
    options.port.probeLimitMs = 2000;
    options.port.failedReadPauseMs = 5;
    options.silenceMs = 200;
    options.noPortMs = 200;
    options.reopenPauseMs = 10;
    options.cycleSleepMs = 5;
    options.idleSleepMs = 5;
    return options;
}

struct Texts : Positioning::MessageTexts {
    std::u16string opening = u"Opening COM", testing = u"Testing COM", none;
    const std::u16string& text(std::string_view name) const override {
        if (name == "gps_opening_com") return opening;
        if (name == "gps_testing_com") return testing;
        return none;
    }
};

struct Outcome : Threading::ProgressCallback {
    struct Shared {
        std::mutex mutex;
        std::vector<int> results;
        std::vector<std::pair<std::u16string, int>> progress;
        std::atomic<int> alive = 0;
        std::function<void(int)> onProgress;
        std::size_t resultCount() {
            std::lock_guard lock(mutex);
            return results.size();
        }
    };
    Shared* shared;
    int id;
    Outcome(Shared* s, int i = 0) : shared(s), id(i) { ++shared->alive; }
    ~Outcome() override { --shared->alive; }
    void result(bool success) override {
        std::lock_guard lock(shared->mutex);
        shared->results.push_back(success ? id + 1 : -(id + 1));
    }
    void progress(const std::u16string& text, int value) override {
        std::size_t n;
        {
            std::lock_guard lock(shared->mutex);
            shared->progress.emplace_back(text, value);
            n = shared->progress.size();
        }
        if (shared->onProgress) shared->onProgress(static_cast<int>(n));
    }
};

struct PortEvents : Positioning::DataListener {
    std::mutex mutex;
    std::vector<std::string> events;
    int sentences = 0;
    int sentenceCount() {
        std::lock_guard lock(mutex);
        return sentences;
    }
    void onData(const char*, std::uint32_t) override {
        std::lock_guard lock(mutex);
        ++sentences;
    }
    void enabledChanged(bool on) override {
        std::lock_guard lock(mutex);
        events.push_back(on ? "enabled" : "disabled");
    }
    void portStateChanged(bool open) override {
        std::lock_guard lock(mutex);
        events.push_back(open ? "open" : "closed");
    }
    std::vector<std::string> seen() {
        std::lock_guard lock(mutex);
        return events;
    }
};

const std::string Gga = "GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000";

} // namespace

TEST(SerialPortSystem, ComNumbersMapToDevices) {
    TestSupport::TempDir data;
    Positioning::PortLocator system{(data / "ports").string(), true};
    EXPECT_EQ(system.devicePath(1), "/dev/ttyS0");
    EXPECT_EQ(system.devicePath(4), "/dev/ttyS3");
    EXPECT_EQ(system.devicePath(5), "/dev/ttyUSB0");
    EXPECT_EQ(system.devicePath(12), "/dev/ttyACM3");
    EXPECT_EQ(system.devicePath(13), "/dev/rfcomm0");
    EXPECT_EQ(system.devicePath(16), "/dev/rfcomm3");
    EXPECT_EQ(system.devicePath(0), "");
    EXPECT_EQ(system.devicePath(17), "");
    std::filesystem::create_directories(data / "ports");
    std::filesystem::create_symlink("/nonexistent/tty", data / "ports/COM5");
    EXPECT_EQ(system.devicePath(5), (data / "ports/COM5").string()); // the folder's link comes first
    Positioning::PortLocator linksOnly{(data / "ports").string(), false};
    EXPECT_EQ(linksOnly.devicePath(1), "");
}

TEST(SerialPortSystem, ProbeWantsAChecksummedGpsTalker) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    auto options = quickOptions(data);
    {
        Receiver gps(data, 3, {line(Gga)});
        auto port = Positioning::NmeaPort::open(options.locator, 3, 9600, options.port);
        ASSERT_TRUE(port);
        EXPECT_EQ(port->speed(), 9600u);
        EXPECT_TRUE(port->probe(nullptr));
        EXPECT_TRUE(port->probed());
        EXPECT_TRUE(log->has("Pattern GP was found."));
        EXPECT_TRUE(log->has("TryGpsPort succeded (3/9600)"));
    }
    // The talkers the device reads count, a receiver of several systems
    // (GN) above all; those of single other systems, whose positions the
    // device never reads, other talkers and a line with a wrong checksum
    // don't.
    const struct {
        std::string talker;
        bool found;
    } talkers[] = {{"GN", true},  {"GL", false}, {"GA", false}, {"GB", false}, {"BD", false}, {"GQ", false},
                   {"GI", false}, {"II", false}, {"PG", false}, {"GX", false}, {"SD", false}};
    std::uint32_t com = 10;
    for (const auto& row : talkers) {
        SCOPED_TRACE(row.talker);
        const std::string rmc = row.talker + "RMC,030719.000,A,3747.0873,S,17518.8938,E,0.0,0.0,010120,,,A";
        Receiver gps(data, com, {line(rmc)});
        auto port = Positioning::NmeaPort::open(options.locator, com, 4800, options.port);
        ASSERT_TRUE(port);
        EXPECT_EQ(port->probe(nullptr), row.found);
        EXPECT_EQ(log->has("Pattern " + row.talker + " was found."), row.found);
        ++com;
    }
    {
        Receiver noisy(data, 4, {"$" + Gga + "*00\r\n"});
        auto port = Positioning::NmeaPort::open(options.locator, 4, 4800, options.port);
        ASSERT_TRUE(port);
        EXPECT_FALSE(port->probe(nullptr));
        EXPECT_FALSE(port->probed());
        EXPECT_TRUE(log->has("TryGpsPort pattern was not found."));
        EXPECT_TRUE(log->has("TryGpsPort failed (4/4800)"));
    }
    // An unknown speed: no port object, and the line says why.
    Receiver other(data, 6, {line(Gga)});
    EXPECT_FALSE(Positioning::NmeaPort::open(options.locator, 6, 12345, options.port));
    EXPECT_TRUE(log->has("Speed 12345 can't be set (err 87): Invalid argument"));
    EXPECT_TRUE(log->has("filename = '" + (data / "ports").string() + "/COM6'"));
    EXPECT_FALSE(Positioning::NmeaPort::open(options.locator, 9, 4800, options.port));
    EXPECT_TRUE(log->has("Port COM9 can't be opened (err 2): No such file or directory"));

    // A stop event ends a probe of a silent line at once.
    other.silent = true;
    auto port = Positioning::NmeaPort::open(options.locator, 6, 4800, options.port);
    ASSERT_TRUE(port);
    Platform::Event stop(true, true);
    EXPECT_FALSE(port->probe(&stop));
    EXPECT_TRUE(log->has("TryGpsPort terminating"));

    // A stop during the pause before the probe ends it without probing a
    // receiver that talks.
    Receiver talking(data, 7, {line(Gga)});
    options.port.probePauseMs = 10000;
    auto paused = Positioning::NmeaPort::open(options.locator, 7, 4800, options.port);
    ASSERT_TRUE(paused);
    Platform::Event stopPause(true, false);
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stopPause.set();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(paused->probe(&stopPause));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(SerialPortSystem, BytesFromThePortBecomeFixesAndALostPortIsReported) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    std::vector<std::string> talk;
    for (int second = 10; second < 60; ++second)
        talk.push_back(line(Core::format(
            "GPGGA,0307%02d.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", second)));
    auto gps = std::make_unique<Receiver>(data, 7, talk);
    Positioning::SerialPortSystem* ports = nullptr;
    PortEvents events;
    Positioning::System system(u"", 0, nullptr, [&](const Positioning::MessageTexts* messages) {
        auto made = std::make_unique<Positioning::SerialPortSystem>(messages, quickOptions(data));
        ports = made.get();
        made->addDataListener(&events);
        return made;
    });
    ASSERT_TRUE(system.hasDevice());
    EXPECT_TRUE(system.setPort(7, 4800));

    struct Fixes : Positioning::TrackingListener {
        std::mutex mutex;
        std::vector<Positioning::Fix> valid;
        void onFix(bool ok, const Positioning::Fix& fix) override {
            std::lock_guard lock(mutex);
            if (ok) valid.push_back(fix);
        }
        std::size_t count() {
            std::lock_guard lock(mutex);
            return valid.size();
        }
    } fixes;
    system.addListener(&fixes);

    Outcome::Shared shared;
    EXPECT_TRUE(system.enable(new Outcome(&shared)));
    ASSERT_TRUE(eventually([&] { return fixes.count() >= 2; })) << ::testing::PrintToString(log->lines);
    EXPECT_TRUE(system.isPortOpen());
    {
        std::lock_guard lock(shared.mutex);
        EXPECT_EQ(shared.results, std::vector<int>{1});
    }
    {
        std::lock_guard lock(fixes.mutex);
        EXPECT_GE(fixes.valid[0].dateTime.second, 10);
        EXPECT_EQ(fixes.valid[1].dateTime.second, fixes.valid[0].dateTime.second + 1);
    }
    EXPECT_TRUE(log->has("Enabling GPS..."));

    // Enabling again answers at once and changes nothing.
    EXPECT_TRUE(system.enable(new Outcome(&shared, 1)));
    ASSERT_TRUE(eventually([&] { return shared.resultCount() == 2; }));
    EXPECT_EQ(shared.results[1], 2);
    EXPECT_EQ(events.seen(), (std::vector<std::string>{"enabled", "open"}));
    // Another speed on the same port is set on the open port.
    EXPECT_TRUE(ports->setPort(7, 9600));
    ASSERT_TRUE(eventually([&] { return ports->port().second == 9600; }));
    EXPECT_EQ(ports->port().first, 7u);
    EXPECT_TRUE(ports->isPortOpen());

    // The receiver goes away: its port closes and the loss is heard.
    gps->end();
    gps->pty.close();
    ASSERT_TRUE(eventually([&] { return !ports->isPortOpen(); }));
    ASSERT_TRUE(eventually([&] { return events.seen().size() >= 3; }));
    EXPECT_EQ(events.seen()[2], "closed");
    EXPECT_TRUE(log->has("GPS port was lost"));
    EXPECT_TRUE(ports->isEnabled());
    system.removeListener(&fixes);
    ports->removeDataListener(&events);
    EXPECT_EQ(shared.alive, 0);
}

// The GPS thread's waits run on the positioning clock; these tests set it.
// With `step`, every reading of it is that many milliseconds later than the
// one before.
struct TestClock : Positioning::Clock {
    explicit TestClock(std::uint32_t perRead = 0) : step(perRead) {}
    mutable std::atomic<std::uint32_t> ticks = 1000;
    std::uint32_t step;
    std::uint32_t ticksMs() const override { return ticks.fetch_add(step) + step; }
    Positioning::DateTime localTime() const override { return {}; }
};

// A receiver that falls silent (in a tunnel, or without a fix, as many send
// nothing then) is heard with its first sentence after the silence, however
// long it lasted: its port is held and read while it is silent, not
// dropped by a probe that took it for absent and tried again 10 s later.
// The clock stands still while the receiver speaks again: nothing waits
// for a retry.
TEST(SerialPortSystem, AReceiverIsHeardAsSoonAsItSpeaksAgain) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Receiver gps(data, 2, {line(Gga)});
    PortEvents events;
    TestClock clock;
    auto options = quickOptions(data);
    Positioning::SerialPortSystem ports(nullptr, options, clock);
    ports.addDataListener(&events);
    ports.setPort(2, 38400);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(eventually([&] { return ports.isPortOpen(); }));

    // Silent past the silence's limit: the port is reopened, and the
    // listeners hear that no receiver answers on it.
    gps.silent = true;
    ASSERT_TRUE(eventually([&] {
        clock.ticks += 50;
        return log->has("Reopening GPS...");
    }));
    ASSERT_TRUE(eventually([&] { return events.seen().size() >= 3; }));
    EXPECT_EQ(events.seen(), (std::vector<std::string>{"enabled", "open", "closed"}));
    EXPECT_FALSE(ports.isPortOpen());
    const int before = events.sentenceCount();
    gps.silent = false;
    // The port is told open just after the first sentences are handed on.
    ASSERT_TRUE(eventually([&] {
        return events.sentenceCount() > before && ports.isPortOpen() && events.seen().back() == "open";
    }));
    EXPECT_EQ(events.seen(), (std::vector<std::string>{"enabled", "open", "closed", "open"}));
    EXPECT_TRUE(log->has("GPS receiver heard"));

    // Switched on while the receiver is silent: no receiver answered (the
    // result says so), but the port is held and heard once it speaks.
    Outcome::Shared shared;
    ports.setEnabled(false, nullptr);
    ASSERT_TRUE(eventually([&] { return !ports.isEnabled(); }));
    gps.silent = true;
    ports.setEnabled(true, new Outcome(&shared));
    ASSERT_TRUE(eventually([&] { return shared.resultCount() == 1; }));
    EXPECT_EQ(shared.results, std::vector<int>{-1});
    EXPECT_FALSE(ports.isPortOpen());
    const int silentAt = events.sentenceCount();
    gps.silent = false;
    ASSERT_TRUE(eventually([&] { return events.sentenceCount() > silentAt && ports.isPortOpen(); }));

    // A port that can't be opened is tried again once the no-port wait is
    // over, and found when it is there.
    const int enabling = log->count("Enabling GPS...");
    ports.setPort(5, 38400);
    ASSERT_TRUE(eventually([&] { return log->has("Port COM5 can't be opened (err 2): No such file or directory"); }));
    EXPECT_FALSE(ports.isPortOpen());
    Receiver later(data, 5, {line(Gga)});
    ASSERT_TRUE(eventually([&] {
        clock.ticks += 50;
        return ports.isPortOpen();
    }));
    EXPECT_EQ(log->count("Enabling GPS..."), enabling); // looked for, not switched on again
    ports.removeDataListener(&events);
}

// A port held while no receiver is heard on it counts as open with the
// first sentence of a talker whose positions the device reads, not of any
// instrument on the line: a depth sounder's sentences (SD) or another
// satellite system's alone give no position.
TEST(SerialPortSystem, AHeldPortIsOpenOnlyForAReceiversTalker) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    const struct {
        std::string sentence;
        bool heard;
    } rows[] = {
        {"SDDPT,12.3,0.5", false},
        {"IIMWV,045.0,R,12.5,N,A", false},
        {"GLGSV,1,1,01,65,40,120,30", false},
        {"GNRMC,030719.000,A,3747.0873,S,17518.8938,E,0.0,0.0,010120,,,A", true},
        {Gga, true},
    };
    std::uint32_t com = 2;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sentence);
        Receiver gps(data, com, {line(row.sentence)});
        gps.silent = true;
        PortEvents events;
        auto options = quickOptions(data);
        options.silenceMs = 60000; // held, not reopened, while the test looks
        Positioning::SerialPortSystem ports(nullptr, options);
        ports.addDataListener(&events);
        ports.setPort(com, 4800);
        Outcome::Shared shared;
        ports.setEnabled(true, new Outcome(&shared));
        ASSERT_TRUE(eventually([&] { return shared.resultCount() == 1; }));
        EXPECT_FALSE(ports.isPortOpen());
        const int heard = log->count("GPS receiver heard");
        gps.silent = false;
        // A later read: the cycle of the first one has ended.
        ASSERT_TRUE(eventually([&] { return events.sentenceCount() > 0; }));
        const int first = events.sentenceCount();
        ASSERT_TRUE(eventually([&] { return events.sentenceCount() > first; }));
        EXPECT_EQ(ports.isPortOpen(), row.heard);
        EXPECT_EQ(log->count("GPS receiver heard") - heard, row.heard ? 1 : 0);
        const std::vector<std::string> told = row.heard ? std::vector<std::string>{"enabled", "open"}
                                                        : std::vector<std::string>{"enabled"};
        EXPECT_EQ(events.seen(), told);
        ports.removeDataListener(&events);
        ++com;
    }
}

// A receiver unplugged (a USB one pulled out, a Bluetooth one out of reach)
// is looked for every second while it is away, and its port is read at
// once, without a probe, when it is back: it is heard within a second's
// look of its return. The clock moves only by whole looks here.
TEST(SerialPortSystem, AReceiverPluggedBackIsHeardAtTheNextLook) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    auto gps = std::make_unique<Receiver>(data, 2, std::vector<std::string>{line(Gga)});
    PortEvents events;
    TestClock clock;
    auto options = quickOptions(data);
    static const Positioning::SerialPortSystemOptions program;
    options.noPortMs = program.noPortMs;
    options.silenceMs = 60000;
    const std::uint32_t look = 1001;
    Positioning::SerialPortSystem ports(nullptr, options, clock);
    ports.addDataListener(&events);
    ports.setPort(2, 38400);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(eventually([&] { return ports.isPortOpen(); }));

    gps->end();
    gps->pty.close();
    gps.reset();
    std::filesystem::remove(data / "ports/COM2");
    ASSERT_TRUE(eventually([&] { return log->has("GPS port was lost"); }));
    const std::string absent = "Port COM2 can't be opened (err 2): No such file or directory";
    ASSERT_TRUE(eventually([&] {
        clock.ticks += 50;
        return log->count(absent) > 0;
    }));
    // Every look past the wait tries the port once more; the first failure
    // is named at System, the others only at Info.
    for (int second = 1; second <= 3; ++second) {
        const int tries = log->count(absent);
        clock.ticks += look;
        ASSERT_TRUE(eventually([&] { return log->count(absent) == tries + 1; })) << second;
    }
    EXPECT_EQ(log->countAt(Log::System, absent), 1);
    EXPECT_EQ(log->countAt(Log::Info, absent), log->count(absent) - 1);
    const int probes = log->countStartingWith("TryGpsPort");
    auto back = std::make_unique<Receiver>(data, 2, std::vector<std::string>{line(Gga)});
    clock.ticks += look;
    ASSERT_TRUE(eventually([&] { return ports.isPortOpen() && events.seen().size() == 4; }));
    EXPECT_EQ(log->countStartingWith("TryGpsPort"), probes);
    EXPECT_EQ(log->count("Enabling GPS..."), 1);
    EXPECT_EQ(events.seen(), (std::vector<std::string>{"enabled", "open", "closed", "open"}));

    // Read without a probe, unplugged again: its loss is found at once, not
    // after the silence's wait (the clock stands still).
    back->end();
    back->pty.close();
    // The loss is logged before the listeners hear it.
    ASSERT_TRUE(eventually([&] { return log->count("GPS port was lost") == 2 && events.seen().size() == 5; }));
    EXPECT_EQ(events.seen(), (std::vector<std::string>{"enabled", "open", "closed", "open", "closed"}));
    ports.removeDataListener(&events);
}

// Each cycle of the GPS thread that waits (for a port that is not there,
// for a silent receiver to speak) sleeps: a clock that goes on a
// millisecond at each reading goes on by few of them a cycle, and the
// ports are opened no more often than the waits allow. A cycle that did
// not sleep would spin a core and open the port thousands of times.
TEST(SerialPortSystem, AWaitingThreadSleepsBetweenItsLooks) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Receiver mute(data, 3, {line(Gga)});
    mute.silent = true;
    const struct {
        const char* name;
        std::uint32_t port;
        std::string opened; // logged at each try
    } rows[] = {
        {"no port", 9, "Port COM9 can't be opened (err 2): No such file or directory"},
        {"a silent receiver", 3, "Reopening GPS..."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestClock clock(1);
        auto options = quickOptions(data);
        options.silenceMs = 2000;
        options.noPortMs = 2000;
        Positioning::SerialPortSystem ports(nullptr, options, clock);
        Outcome::Shared shared;
        ports.setPort(row.port, 4800);
        ports.setEnabled(true, new Outcome(&shared));
        ASSERT_TRUE(eventually([&] { return shared.resultCount() == 1; }));
        const int tries = log->count(row.opened);
        std::this_thread::sleep_for(300ms);
        EXPECT_LE(log->count(row.opened) - tries, 2);
    }
}

// The traffic line names a silent receiver once, when it falls silent, and
// again each time it falls silent after speaking.
TEST(SerialPortSystem, ASilentReceiverIsNamedOnceNotEveryPeriod) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Receiver gps(data, 2, {line(Gga)});
    const std::string silentLine = "GPS data received: 0 bytes, 0 sentences";
    const auto silentPeriods = [&] { return log->count(silentLine); };
    const auto speakingPeriods = [&] { return log->countStartingWith("GPS data received: ") - silentPeriods(); };
    {
        auto options = quickOptions(data);
        options.silenceMs = 60000; // no reopening while the test waits
        options.statsPeriodMs = 100;
        Positioning::SerialPortSystem ports(nullptr, options);
        ports.setPort(2, 38400);
        ports.setEnabled(true, nullptr);
        ASSERT_TRUE(eventually([&] { return speakingPeriods() >= 1; }));
        const int silentBefore = silentPeriods();
        gps.silent = true;
        ASSERT_TRUE(eventually([&] { return silentPeriods() == silentBefore + 1; }));
        // Ten periods pass, silent all of them.
        const int speaking = speakingPeriods();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        EXPECT_EQ(silentPeriods(), silentBefore + 1);
        EXPECT_EQ(speakingPeriods(), speaking);
        gps.silent = false;
        ASSERT_TRUE(eventually([&] { return speakingPeriods() > speaking; }));
        gps.silent = true;
        ASSERT_TRUE(eventually([&] { return silentPeriods() == silentBefore + 2; }));
    }
}

// A port set is the port answered at once, while the GPS thread still
// probes the one before: the driver's choice is stored at "ok".
TEST(SerialPortSystem, APortSetIsAnsweredBeforeItIsOpened) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Receiver gps(data, 2, {line(Gga)});
    gps.silent = true; // its probe waits the whole window
    Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
    ports.setPort(2, 4800);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(ports.setPort(5, 9600));
    EXPECT_EQ(ports.port(), (std::pair<std::uint32_t, std::uint32_t>{5, 9600}));
    ASSERT_TRUE(eventually([&] { return log->has("Setting GPS port..."); }));
    EXPECT_EQ(ports.port(), (std::pair<std::uint32_t, std::uint32_t>{5, 9600}));
}

TEST(SerialPortSystem, PortSearchFindsTheReceiverAndReportsProgress) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Receiver gps(data, 3, {line(Gga)});
    Texts texts;
    Outcome::Shared shared;
    {
        Positioning::SerialPortSystem ports(&texts, quickOptions(data));
        EXPECT_TRUE(ports.findPort(new Outcome(&shared)));
        ASSERT_TRUE(eventually([&] { return shared.resultCount() > 0; }));
        EXPECT_EQ(ports.port(), (std::pair<std::uint32_t, std::uint32_t>{3, 57600}));
        EXPECT_FALSE(ports.isPortOpen()); // found while disabled: stored, not opened
        // Logged on the GPS thread just after the result is handed out.
        EXPECT_TRUE(eventually([&] { return log->has("GPS search done. GPS found"); }));
    }
    std::lock_guard lock(shared.mutex);
    EXPECT_EQ(shared.results, std::vector<int>{1});
    EXPECT_EQ(shared.alive, 0);
    // Every absent number gets two tries; port 20 starts at 0 %, port 3 at 86 %.
    ASSERT_EQ(shared.progress.size(), 2u * 17 + 2);
    EXPECT_EQ(shared.progress[0], (std::pair<std::u16string, int>{u"Opening COM20... (1)", 5}));
    EXPECT_EQ(shared.progress[1], (std::pair<std::u16string, int>{u"Opening COM20... (2)", 6}));
    EXPECT_EQ(shared.progress[34], (std::pair<std::u16string, int>{u"Opening COM3... (1)", 86}));
    EXPECT_EQ(shared.progress[35], (std::pair<std::u16string, int>{u"Testing COM3 - 57600", 86}));
}

TEST(SerialPortSystem, SearchFindsTheSpeedAndHandsAnEnabledSystemItsPort) {
    TestSupport::TempDir data;
    Receiver gps(data, 3, {line(Gga)});
    gps.onlyAt = 9600;
    PortEvents events;
    Outcome::Shared shared;
    Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
    ports.addDataListener(&events);
    ports.setEnabled(true, nullptr); // COM 4 is absent: enabled, no port
    ASSERT_TRUE(ports.findPort(new Outcome(&shared)));
    ASSERT_TRUE(eventually([&] { return shared.resultCount() > 0; }));
    EXPECT_EQ(ports.port(), (std::pair<std::uint32_t, std::uint32_t>{3, 9600}));
    EXPECT_TRUE(ports.isPortOpen());
    ASSERT_TRUE(eventually([&] { return events.sentenceCount() > 0; }));
    ports.removeDataListener(&events);
    std::lock_guard lock(shared.mutex);
    EXPECT_EQ(shared.results, std::vector<int>{1});
    EXPECT_EQ(shared.progress.back(), (std::pair<std::u16string, int>{u"3 - 9600", 86 + 3 * 5 / 5}));
    auto seen = events.seen();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.back(), "open");
}

// Most current receivers speak of several satellite systems at once and
// send only GN sentences: the search finds them too.
TEST(SerialPortSystem, SearchFindsAReceiverThatSpeaksOnlyGn) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    const std::string rmc = "GNRMC,030719.000,A,3747.0873,S,17518.8938,E,0.0,0.0,010120,,,A";
    const std::string gga = "GNGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000";
    Receiver gps(data, 3, {line(rmc), line(gga)});
    PortEvents events;
    Outcome::Shared shared;
    Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
    ports.addDataListener(&events);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(ports.findPort(new Outcome(&shared)));
    ASSERT_TRUE(eventually([&] { return shared.resultCount() > 0; }));
    EXPECT_EQ(ports.port().first, 3u);
    EXPECT_TRUE(ports.isPortOpen());
    EXPECT_TRUE(log->has("Pattern GN was found."));
    {
        // What the probe heard while it searched ends with the GN sentence
        // that it took, whole; after it the probe logs no more sentences.
        std::lock_guard lock(log->mutex);
        const auto found = std::find(log->lines.begin(), log->lines.end(), "Pattern GN was found.");
        ASSERT_NE(found, log->lines.begin());
        const std::string heard = *std::prev(found);
        EXPECT_TRUE(heard == "Sentence: " + PositioningTest::sentence(rmc) ||
                    heard == "Sentence: " + PositioningTest::sentence(gga))
            << heard;
        EXPECT_EQ(std::count_if(found, log->lines.end(), [](const std::string& l) { return l.starts_with("Sentence: "); }),
                  0);
    }
    ASSERT_TRUE(eventually([&] { return events.sentenceCount() > 0; }));
    ports.removeDataListener(&events);
    std::lock_guard lock(shared.mutex);
    EXPECT_EQ(shared.results, std::vector<int>{1});
}

TEST(SerialPortSystem, SearchWithoutPortsOrStoppedReportsFalseOnce) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Outcome::Shared shared;
    {
        Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
        EXPECT_FALSE(ports.stopPortSearch());
        EXPECT_TRUE(ports.findPort(new Outcome(&shared)));
        ASSERT_TRUE(eventually([&] { return log->has("GPS search terminated"); }));
        EXPECT_TRUE(log->has("COM ports were not found"));
    }
    {
        std::lock_guard lock(shared.mutex);
        EXPECT_EQ(shared.results, std::vector<int>{-1});
        EXPECT_EQ(shared.progress.front().first, u"20... (1)"); // no messages table: empty text
    }

    // A silent line at COM 20 keeps the search probing until it is stopped.
    Receiver mute(data, 20, {""});
    mute.silent = true;
    Outcome::Shared stopped;
    std::atomic<bool> probing = false;
    stopped.onProgress = [&](int n) { probing = n >= 2; };
    auto before = log->count("GPS search terminated");
    std::size_t progressAtTheEnd = 0;
    {
        Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
        EXPECT_TRUE(ports.findPort(new Outcome(&stopped)));
        ASSERT_TRUE(eventually([&] { return probing.load(); }));
        EXPECT_TRUE(ports.stopPortSearch());
        ASSERT_TRUE(eventually([&] { return log->count("GPS search terminated") > before; }));
        EXPECT_TRUE(log->has("Terminating GPS search"));
        std::lock_guard lock(stopped.mutex);
        progressAtTheEnd = stopped.progress.size();
    }
    // How far the search came before the stop depends on the machine's
    // load; after its end it reports nothing more.
    std::lock_guard lock(stopped.mutex);
    EXPECT_EQ(stopped.results, std::vector<int>{-1});
    EXPECT_EQ(stopped.progress.size(), progressAtTheEnd);
    EXPECT_EQ(stopped.alive, 0);
}

// A search closes the port the system held, and says so even when it finds
// no receiver: the device then tells the map the fix is gone.
TEST(SerialPortSystem, ASearchThatFindsNothingHasClosedTheOpenPort) {
    TestSupport::TempDir data;
    Receiver gps(data, 2, {line(Gga)});
    gps.onlyAt = 4800;
    auto options = quickOptions(data);
    options.searchSpeeds = {9600};
    options.noPortMs = 60000; // no reopening by itself while the test looks
    PortEvents events;
    Outcome::Shared shared;
    Positioning::SerialPortSystem ports(nullptr, options);
    ports.addDataListener(&events);
    ports.setPort(2, 4800);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(eventually([&] { return ports.isPortOpen(); }));
    ASSERT_TRUE(ports.findPort(new Outcome(&shared)));
    ASSERT_TRUE(eventually([&] { return shared.resultCount() > 0; }));
    EXPECT_FALSE(ports.isPortOpen());
    EXPECT_EQ(events.seen(), (std::vector<std::string>{"enabled", "open", "closed"}));
    ports.removeDataListener(&events);
    std::lock_guard lock(shared.mutex);
    EXPECT_EQ(shared.results, std::vector<int>{-1});
}

TEST(SerialPortSystem, CommandsRunInOrderAndAFullQueueRefuses) {
    TestSupport::TempDir data;
    Receiver mute(data, 20, {""});
    mute.silent = true;
    Outcome::Shared shared;
    std::mutex gate;
    std::atomic<bool> held = false;
    // The search's first progress call blocks the GPS thread until released.
    shared.onProgress = [&](int n) {
        if (n == 1) {
            held = true;
            std::lock_guard wait(gate);
        }
    };
    Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
    // Made after the system, so released before it waits for its thread,
    // also when the test fails.
    std::unique_lock hold(gate);
    ASSERT_TRUE(ports.findPort(new Outcome(&shared, 100)));
    ASSERT_TRUE(eventually([&] { return held.load(); }));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(ports.setEnabled(i % 2 == 1, new Outcome(&shared, i))) << i;
    EXPECT_FALSE(ports.setEnabled(true, new Outcome(&shared, 10)));
    EXPECT_FALSE(ports.setPort(1, 4800));
    EXPECT_EQ(shared.alive, 11); // the refused callback is gone, uncalled
    hold.unlock();
    ports.stopPortSearch();
    ASSERT_TRUE(eventually([&] { return shared.resultCount() == 11; }));
    std::lock_guard lock(shared.mutex);
    // Search stopped (-101) or done without a receiver; then the switches in
    // order: off while off is true; on finds no port at COM 4 (false); off
    // again is true.
    EXPECT_EQ(shared.results[0], -101);
    EXPECT_EQ(std::vector<int>(shared.results.begin() + 1, shared.results.end()),
              (std::vector<int>{1, -2, 3, -4, 5, -6, 7, -8, 9, -10}));
}

TEST(SerialPortSystem, AnExceptionOnTheGpsThreadRestartsReadingOnly) {
    LogLines* log = installLog();
    TestSupport::TempDir data;
    Receiver gps(data, 2, {line(Gga)});
    struct ThrowsOnce : PortEvents {
        std::atomic<bool> thrown = false;
        void onData(const char* text, std::uint32_t length) override {
            if (!thrown.exchange(true)) throw std::runtime_error("listener failed");
            PortEvents::onData(text, length);
        }
    } listener;
    Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
    ports.addDataListener(&listener);
    ports.setPort(2, 4800);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(eventually([&] { return listener.sentenceCount() >= 3; }));
    EXPECT_TRUE(log->has("GPS thread exception: listener failed"));
    EXPECT_TRUE(log->has("GPS thread is being restarted..."));
    EXPECT_TRUE(ports.isPortOpen()); // the port and the listeners survive
    EXPECT_TRUE(ports.isEnabled());
    ports.removeDataListener(&listener);
}

// The serial port hands its reads over as the replay does: listeners that
// come and go while the receiver talks each hear an unbroken run of its
// sentences, only inside reads, and nothing after their removal returned.
TEST(SerialPortSystem, ListenersComeAndGoWhileTheReceiverTalks) {
    TestSupport::TempDir data;
    std::vector<std::string> talk;
    for (int second = 0; second < 60; ++second)
        talk.push_back(line(Core::format(
            "GPGGA,0307%02d.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", second)));
    Receiver gps(data, 2, talk);
    std::deque<PositioningTest::ReadRecorder> listeners;
    Positioning::SerialPortSystem ports(nullptr, quickOptions(data));
    ports.setPort(2, 38400);
    ports.setEnabled(true, nullptr);
    ASSERT_TRUE(eventually([&] { return ports.isPortOpen(); }));
    for (int i = 0; i < 12; ++i) {
        PositioningTest::ReadRecorder& listener = listeners.emplace_back();
        ports.addDataListener(&listener);
        const bool heard = eventually([&] { return listener.heard >= 2; });
        ports.removeDataListener(&listener);
        listener.removed = true;
        ASSERT_TRUE(heard) << i;
    }
    for (const PositioningTest::ReadRecorder& listener : listeners) {
        EXPECT_TRUE(listener.heardARun(60)) << ::testing::PrintToString(listener.seconds);
        EXPECT_GE(listener.begins, 1);
        EXPECT_EQ(listener.begins, listener.ends);
        EXPECT_EQ(listener.outsideRead, 0);
        EXPECT_EQ(listener.nested, 0);
        EXPECT_EQ(listener.afterRemoval, 0);
    }
}
