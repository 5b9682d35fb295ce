#include "positioning/ListenerFanOut.h"

#include "core/Format.h"
#include "positioning/ReplayPortSystem.h"

#include "NmeaTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <future>
#include <stdexcept>
#include <thread>

using PositioningTest::line;

namespace {

// Writes what it hears into a log shared with other listeners, so the
// interleaving of several listeners shows.
struct Events : Positioning::DataListener {
    Events(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(l) {}
    std::string name;
    std::vector<std::string>& log;
    void onData(const char* text, std::uint32_t length) override {
        // The body between '$' and '*'.
        log.push_back(name + " " + std::string(text + 1, length - 4));
    }
    void enabledChanged(bool on) override { log.push_back(name + (on ? " enabled" : " disabled")); }
    void portStateChanged(bool open) override { log.push_back(name + (open ? " open" : " closed")); }
    void readBegins() override { log.push_back(name + " ["); }
    void readEnds() override { log.push_back(name + " ]"); }
};

struct Thrower : Positioning::DataListener {
    int begins = 0;
    int ends = 0;
    void onData(const char*, std::uint32_t) override { throw std::runtime_error("listener failed"); }
    void enabledChanged(bool) override {}
    void portStateChanged(bool) override {}
    void readBegins() override { ++begins; }
    void readEnds() override { ++ends; }
};

std::string gga(int second) {
    // The altitude says the second too, so a fix read whole can be told
    // from one read half-way through an update.
    return line(Core::format("GPGGA,0307%02d.000,3747.0873,S,17518.8938,E,1,08,1.1,%d.5,M,23.7,M,,0000",
                             second, 100 + second));
}

} // namespace

TEST(ListenerFanOut, AReadsSentencesComeBetweenItsBeginAndItsEnd) {
    std::vector<std::string> log;
    Events a("a", log), b("b", log);
    Positioning::ReplayPortSystem replay;
    replay.addDataListener(&a);
    replay.addDataListener(&b);
    replay.setEnabled(true, nullptr);
    const std::string third = line("GPTXT,01,01,02,three");
    // Two sentences and the start of a third in one read; the rest of the
    // third, a line with a wrong checksum and noise in the next.
    replay.feed(line("GPTXT,01,01,02,one") + line("GPTXT,01,01,02,two") + third.substr(0, 9));
    replay.feed(third.substr(9) + "$GPTXT,01,01,02,bad*00\r\n" + std::string(23, '\n'));
    // A read that completes nothing is still a read.
    replay.feed("$GPTXT,01,01,02,fou");
    replay.removeDataListener(&a);
    replay.feed("r*43\r\n" + std::string(23, '\n'));
    replay.addDataListener(&a);
    replay.losePort();
    // clang-format off
    const std::vector<std::string> expected{
        "a enabled", "b enabled", "a open", "b open",                                      // switched on
        "a [", "b [", "a GPTXT,01,01,02,one", "b GPTXT,01,01,02,one",                      // the first read
        "a GPTXT,01,01,02,two", "b GPTXT,01,01,02,two", "b ]", "a ]",
        "a [", "b [", "a GPTXT,01,01,02,three", "b GPTXT,01,01,02,three", "b ]", "a ]",    // the second
        "a [", "b [", "b ]", "a ]",                                                        // the third
        "b [", "b GPTXT,01,01,02,four", "b ]",                                             // without a
        "b closed", "a closed"};
    // clang-format on
    EXPECT_EQ(log, expected);
}

// A listener that throws out of a read still leaves every listener's read
// ended, the device's lock among them: another thread gets at the fix.
TEST(ListenerFanOut, AThrowingListenerStillEndsTheRead) {
    PositioningTest::ReplaySystem rig;
    rig.system.enable(nullptr);
    PositioningTest::ReadRecorder before;
    Thrower thrower;
    PositioningTest::ReadRecorder after;
    rig.system.addDataListener(&before);
    rig.system.addDataListener(&thrower);
    rig.system.addDataListener(&after);
    EXPECT_THROW(rig.replay->feed(gga(1) + gga(2)), std::runtime_error);
    EXPECT_EQ(before.begins, 1);
    EXPECT_EQ(before.ends, 1);
    EXPECT_EQ(thrower.ends, 1);
    EXPECT_EQ(after.ends, 1);
    EXPECT_EQ(after.heard, 0);
    EXPECT_FALSE(before.inRead || after.inRead);

    std::promise<bool> fixed;
    std::future<bool> answer = fixed.get_future();
    std::thread reader([&] { fixed.set_value(rig.system.hasFix()); });
    const bool answered = answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!answered) {
        // The lock is still held: the reader can never finish.
        reader.detach();
        FAIL() << "the device's lock outlived the read";
    }
    reader.join();
    EXPECT_TRUE(answer.get()); // the first sentence was taken before the throw
    rig.system.removeDataListener(&thrower);
    rig.system.removeDataListener(&after);
    rig.system.removeDataListener(&before);
}

// The GPS thread delivers the stream in a serial port's reads while the main
// thread adds and removes listeners and reads the fix: each listener hears
// an unbroken run of the stream, only inside reads and never after its
// removal returned, and the fix is never seen half-way through an update.
// The replay goes on until every listener has had its turn, so a busy
// machine that runs the GPS thread first changes nothing.
TEST(ListenerFanOut, ListenersComeAndGoWhileAReplayDelivers) {
    PositioningTest::ReplaySystem rig;
    rig.system.enable(nullptr);
    std::string stream;
    for (int s = 0; s < 60; ++s)
        stream += gga(s);
    constexpr int Listeners = 40;
    std::deque<PositioningTest::ReadRecorder> listeners;
    std::atomic<int> served = 0;
    std::thread gps([&] {
        while (served < Listeners)
            rig.replay->feed(stream, 150);
    });
    int torn = 0;
    int fixes = 0;
    // The deadline only ends a test whose sentences never come.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; i < Listeners; ++i) {
        PositioningTest::ReadRecorder& listener = listeners.emplace_back();
        rig.system.addDataListener(&listener);
        while (listener.heard < 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        rig.system.removeDataListener(&listener);
        listener.removed = true;
        ++served;
        Positioning::Fix fix;
        if (rig.system.getFix(fix)) {
            ++fixes;
            torn += fix.altitude == 100.5f + static_cast<float>(fix.dateTime.second) ? 0 : 1;
        }
    }
    gps.join();
    EXPECT_GT(fixes, 0);
    EXPECT_EQ(torn, 0);
    for (const PositioningTest::ReadRecorder& listener : listeners) {
        ASSERT_GE(listener.heard.load(), 3);
        EXPECT_TRUE(listener.heardARun(60)) << ::testing::PrintToString(listener.seconds);
        EXPECT_EQ(listener.begins, listener.ends);
        EXPECT_EQ(listener.outsideRead, 0);
        EXPECT_EQ(listener.nested, 0);
        EXPECT_EQ(listener.afterRemoval, 0);
    }
}
