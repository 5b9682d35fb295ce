#include "positioning/System.h"

#include "core/Format.h"
#include "core/Log.h"
#include "core/Text.h"
#include "positioning/ReplayPortSystem.h"

#include "NmeaTestSupport.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <chrono>
#include <deque>
#include <thread>

using PositioningTest::FixRecorder;
using PositioningTest::line;

namespace {

struct Result : Threading::ProgressCallback {
    std::vector<int>* results;
    std::atomic<int>* alive;
    Result(std::vector<int>* r, std::atomic<int>* a) : results(r), alive(a) { ++*alive; }
    ~Result() override { --*alive; }
    void result(bool success) override { results->push_back(success ? 1 : 0); }
    void progress(const std::u16string&, int) override {}
};

const char* const Gga = "GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000";

} // namespace

TEST(System, HandsEveryFixToItsListenersInOrder) {
    PositioningTest::ReplaySystem rig;
    ASSERT_TRUE(rig.system.hasDevice());
    std::vector<int> results;
    std::atomic<int> alive = 0;
    EXPECT_TRUE(rig.system.enable(new Result(&results, &alive)));
    EXPECT_EQ(results, std::vector<int>{1});
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(rig.system.isEnabled());
    EXPECT_TRUE(rig.system.isPortOpen());

    // With no listeners a fix is simply dropped.
    rig.replay->feed(line(Gga) + line("GPGGA,030720.000,,,,,0,00,,,M,,M,,"));

    FixRecorder a, b;
    rig.system.addListener(&a);
    rig.system.addListener(&b);
    rig.system.addListener(&a);
    rig.replay->feed(line("GPGGA,030721.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000") +
                     line("GPRMC,030722.000,V,,,,,,,311214,,,N"));
    ASSERT_EQ(a.fixes.size(), 4u); // twice per fix
    ASSERT_EQ(b.fixes.size(), 2u);
    EXPECT_TRUE(a.fixes[0].first);
    EXPECT_TRUE(a.fixes[1].first);
    EXPECT_FALSE(b.fixes[1].first); // an invalid fix reaches everyone
    EXPECT_FALSE(a.fixes[3].first);

    rig.system.removeListener(&a); // every entry at once
    rig.replay->feed(line("GPGGA,030723.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000"));
    EXPECT_EQ(a.fixes.size(), 4u);
    EXPECT_EQ(b.fixes.size(), 3u);

    Positioning::Fix fix;
    EXPECT_TRUE(rig.system.getFix(fix));
    EXPECT_EQ(fix.dateTime.second, 23);
    EXPECT_TRUE(rig.system.hasFix());
    EXPECT_EQ(rig.system.typeName(), u"COM port");
    EXPECT_TRUE(rig.system.setPort(7, 9600));
    EXPECT_EQ(rig.system.getPort(), (std::pair<std::uint32_t, std::uint32_t>{7, 9600}));
    EXPECT_TRUE(rig.system.findPort(new Result(&results, &alive)));
    EXPECT_EQ(results, (std::vector<int>{1, 0}));
    EXPECT_FALSE(rig.system.stopPortSearch());

    rig.replay->feed(line(Gga).substr(0, 30)); // cut off by the port's loss
    rig.replay->losePort();
    ASSERT_EQ(b.fixes.size(), 4u);
    EXPECT_FALSE(b.fixes[3].first);
    EXPECT_EQ(b.fixes[3].second, Positioning::Fix{});
    rig.replay->setEnabled(false, nullptr);
    rig.replay->setEnabled(true, nullptr);
    const std::size_t before = b.fixes.size();
    rig.replay->feed(line("GPGGA,030724.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000"));
    ASSERT_EQ(b.fixes.size(), before + 1);
    EXPECT_EQ(b.fixes.back().second.dateTime.second, 24);
    EXPECT_TRUE(rig.system.disable());
    EXPECT_FALSE(rig.system.isEnabled());
    EXPECT_EQ(alive, 0);
}

// Listeners added and removed on the main thread while the GPS thread
// delivers fixes: each hears an unbroken run of valid fixes, in order, none
// lost or doubled while it is on the list, and nothing after its removal
// returned. The replay goes on until every listener has had its turn, so a
// busy machine that runs the GPS thread first changes nothing.
TEST(System, ListenersMayComeAndGoWhileFixesArrive) {
    PositioningTest::ReplaySystem rig;
    rig.system.enable(nullptr);
    std::string stream;
    for (int s = 0; s < 60; ++s)
        stream +=
            line(Core::format("GPGGA,0307%02d.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", s));
    struct Heard : Positioning::TrackingListener {
        std::vector<int> seconds; // the GPS thread's until the removal
        int invalid = 0;
        int afterRemoval = 0;
        std::atomic<int> heard = 0;
        std::atomic<bool> removed = false;
        void onFix(bool valid, const Positioning::Fix& fix) override {
            afterRemoval += removed ? 1 : 0;
            invalid += valid ? 0 : 1;
            seconds.push_back(fix.dateTime.second);
            ++heard;
        }
    };
    constexpr int Listeners = 40;
    std::deque<Heard> listeners;
    std::atomic<int> served = 0;
    std::thread gps([&] {
        while (served < Listeners)
            rig.replay->feed(stream);
    });
    // The deadline only ends a test whose fixes never come.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; i < Listeners; ++i) {
        Heard& listener = listeners.emplace_back();
        rig.system.addListener(&listener);
        while (listener.heard < 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        rig.system.removeListener(&listener);
        listener.removed = true;
        ++served;
    }
    gps.join();
    for (const Heard& listener : listeners) {
        ASSERT_GE(listener.heard.load(), 3);
        EXPECT_EQ(listener.invalid, 0);
        EXPECT_EQ(listener.afterRemoval, 0);
        for (std::size_t i = 1; i < listener.seconds.size(); ++i)
            ASSERT_EQ(listener.seconds[i], (listener.seconds[i - 1] + 1) % 60) << ::testing::PrintToString(listener.seconds);
    }
}

// A listener removed while a fix is handed out hears nothing once the
// removal returned. The listener before it holds the fix until the removal
// began, then until it returned or 200 ms passed: a removal that took no
// lock returned at once, and the removed listener heard the fix every round.
TEST(System, ARemovedListenerHearsNothingOnceTheRemovalReturned) {
    PositioningTest::ReplaySystem rig;
    rig.system.enable(nullptr);
    struct Holder : Positioning::TrackingListener {
        std::atomic<bool> inside = false, removing = false, returned = false;
        void onFix(bool, const Positioning::Fix&) override {
            inside = true;
            while (!removing)
                std::this_thread::yield();
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            while (!returned && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
        }
    };
    FixRecorder removed;
    for (int round = 0; round < 3; ++round) {
        Holder holder;
        rig.system.addListener(&holder);
        rig.system.addListener(&removed);
        std::thread gps([&] {
            rig.replay->feed(line(Core::format(
                "GPGGA,03072%d.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", round)));
        });
        // The deadline only ends a test whose fix never comes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!holder.inside && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(holder.inside) << "the fix was not handed out";
        holder.removing = true;
        rig.system.removeListener(&removed);
        const std::size_t heard = removed.fixes.size();
        holder.returned = true;
        gps.join();
        rig.system.removeListener(&holder);
        EXPECT_EQ(removed.fixes.size(), heard) << round;
    }
}

// RMC sentences no car sends, five a second for four seconds among a
// receiver's good fixes, each with a good checksum and the current time:
// a speed of 1e9 knots, speed and course 1e9, a longitude of 187 degrees, 99
// minutes of latitude with no date, negative coordinates and speed. No
// listener hears one of them (the map's zoom follows the speed), each hears
// every good fix, and the log names the first of each run between them.
TEST(System, AFixNoCarCanHaveReachesNoListener) {
    PositioningTest::ReplaySystem rig;
    rig.system.enable(nullptr);
    FixRecorder heard;
    rig.system.addListener(&heard);
    TestSupport::CaptureLogger log;
    const auto rmc = [](const std::string& time, const std::string& place, const std::string& speed,
                        const std::string& course, const std::string& date) {
        return line("GPRMC," + time + ",A," + place + "," + speed + "," + course + "," + date + ",,,A");
    };
    const std::string good = "4344.4000,N,00725.0000,E";
    const struct {
        std::string place, speed, course, date;
    } nonsense[] = {
        {good, "1000000000.0", "90.0", "071226"},
        {good, "1000000000.0", "1000000000.0", "071226"},
        {"4344.4000,N,18700.0000,E", "20.0", "90.0", "071226"},
        {"4399.9999,N,00725.0000,E", "20.0", "90.0", "000000"},
        {"-4344.4000,N,-00725.0000,E", "-20.0", "90.0", "071226"},
    };
    for (int second = 0; second < 8; ++second) {
        const std::string time = Core::format("1000%02d", second);
        rig.replay->feed(rmc(time + ".00", good, "20.0", "90.0", "071226") +
                         line("GPGGA," + time + ".00," + good + ",1,08,0.9,40.0,M,48.0,M,,"));
        if (second < 2 || second >= 6) continue;
        for (int k = 0; k < 5; ++k) {
            const auto& n = nonsense[k];
            rig.replay->feed(rmc(time + "." + std::to_string(2 * k + 1), n.place, n.speed, n.course, n.date));
        }
    }
    ASSERT_EQ(heard.fixes.size(), 8u);
    for (const auto& [valid, fix] : heard.fixes) {
        EXPECT_TRUE(valid);
        EXPECT_NEAR(fix.speed, 20.0f * 0.514f, 0.01f);
        EXPECT_NEAR(fix.longitude, 7.0f + 25.0f / 60.0f, 1e-5f);
    }
    EXPECT_EQ(log.countStartingWith("GPS fix kept out: "), 4u) << ::testing::PrintToString(log.snapshot());
    EXPECT_EQ(log.countStartingWith("GPS fix kept out: no car has speed 514000000.0 m/s, course 90.0 at 43.740"), 4u)
        << ::testing::PrintToString(log.snapshot());
    rig.system.removeListener(&heard);
}

// A receiver at 5 Hz sends one GGA+RMC pair 1000 km away between good
// fixes: no listener hears it, each hears every good fix, and the log says
// once that a fix was kept out. A receiver that then really is elsewhere is
// followed from its fifth fix there.
TEST(System, AFixNoVehicleCouldReachReachesNoListener) {
    PositioningTest::StandingClock clock;
    PositioningTest::ReplaySystem rig(clock);
    Positioning::System& system = rig.system;
    Positioning::ReplayPortSystem*& replay = rig.replay;
    system.enable(nullptr);
    FixRecorder a, b;
    system.addListener(&a);
    system.addListener(&b);
    TestSupport::CaptureLogger log;
    // Fix i: 10:00:00 + i / 5 s, north at 20 m/s from 50 N 10 E; the wild
    // one 1000 km east, checksums and all.
    const auto pair = [](int i, double north, double eastDegrees) {
        const double latitude = 50.0 + north / 111195.0;
        const double minutes = (latitude - 50.0) * 60.0;
        const double longitude = 10.0 + eastDegrees;
        const std::string time = Core::format("1000%02d.%d", i / 5, (i % 5) * 2);
        const std::string position = Core::format("50%07.4f,N,%03d%07.4f,E", minutes, static_cast<int>(longitude),
                                                  (longitude - static_cast<int>(longitude)) * 60.0);
        return line("GPGGA," + time + "," + position + ",1,08,0.9,40.0,M,48.0,M,,") +
               line("GPRMC," + time + ",A," + position + ",38.9,0.0,071226,,,A");
    };
    std::vector<int> good;
    for (int i = 0; i < 20; ++i) {
        clock.ticks += 200;
        const bool wild = i == 10;
        replay->feed(pair(i, 4.0 * i, wild ? 14.0 : 0.0));
        if (!wild) good.push_back(i);
    }
    const auto heardSeconds = [](const FixRecorder& r) {
        std::vector<int> tenths;
        for (const auto& [valid, fix] : r.fixes) {
            EXPECT_TRUE(valid);
            EXPECT_NEAR(fix.longitude, 10.0f, 0.001f);
            tenths.push_back(fix.dateTime.second * 5 + fix.dateTime.millisecond / 200);
        }
        return tenths;
    };
    EXPECT_EQ(heardSeconds(a), good);
    EXPECT_EQ(heardSeconds(b), good);
    EXPECT_EQ(log.countStartingWith("GPS fix kept out: "), 1u) << ::testing::PrintToString(log.snapshot());

    // Carried 300 km west in a minute (a ferry, say): kept out four times,
    // then followed.
    clock.ticks += 60000;
    const std::size_t before = a.fixes.size();
    for (int i = 20; i < 30; ++i) {
        clock.ticks += 200;
        replay->feed(pair(i, 4.0 * i, -4.2));
    }
    ASSERT_EQ(a.fixes.size(), before + 6);
    EXPECT_NEAR(a.fixes[before].second.longitude, 5.8f, 0.001f);
    EXPECT_EQ(a.fixes[before].second.dateTime.second * 5 + a.fixes[before].second.dateTime.millisecond / 200, 24);
    EXPECT_EQ(log.countStartingWith("GPS fix kept out: "), 2u); // once for the run of four
    EXPECT_EQ(log.countStartingWith("GPS fixes followed to a new place"), 1u);
    system.removeListener(&a);
    system.removeListener(&b);
}

// A receiver of GGA alone drives east at 40 km/h and throws one fix 40 m,
// 100 m or 2 km north, or two fixes 2 km, a burst of three at 10 Hz 20 or
// 40 m aside, or its fixes move north for good (a cold start settling, a
// receiver's dead reckoning put right). The gate keeps those 2 km off out
// before the device takes speed and course from the fixes (taken in, one
// gave the next fix a course of 180 degrees and 1000 m/s, and the gate then
// kept out that good fix for its speed; two in a row look like a move to
// the device's estimate); the others the device's estimate passes over,
// each heard marked a stray. A move for good is heard after no more than
// a second of fixes (the gate judged the speed taken from the move, 80 to
// 258 m/s, and kept out every fix after it). Every fix heard after keeps
// its course within 20 degrees of east and its speed within a fifth.
TEST(System, OneStrayFixTurnsNoCourseRound) {
    constexpr int ForGood = 1000;
    const struct {
        int hz;
        double north;
        int thrown;
        double speed = 11.1;
    } rows[] = {{1, 40.0, 1},          {1, 100.0, 1},          {1, 2000.0, 1},          {1, 2000.0, 2},
                {10, 20.0, 3},         {10, 40.0, 3},          {1, 150.0, ForGood},     {1, 195.0, ForGood},
                {2, 500.0, ForGood},   {5, 500.0, ForGood, 20.0}, {10, 300.0, ForGood}};
    for (const auto [hz, north, thrown, speed] : rows) {
        SCOPED_TRACE(testing::Message() << thrown << " thrown " << north << " m at " << hz << " Hz");
        PositioningTest::StandingClock clock;
        PositioningTest::ReplaySystem rig(clock);
        Positioning::System& system = rig.system;
        Positioning::ReplayPortSystem*& replay = rig.replay;
        system.enable(nullptr);
        FixRecorder heard;
        system.addListener(&heard);
        for (int i = 0; i < 30 * hz; ++i) {
            clock.ticks += 1000 / hz;
            const double minutes =
                25.0 + speed * i / hz / (111195.0 * std::cos(43.74 * 3.14159265358979 / 180.0) / 60.0);
            const bool wild = i >= 15 * hz && i < 15 * hz + thrown;
            const double latitudeMinutes = 44.4 + (wild ? north : 0.0) / (111195.0 / 60.0);
            replay->feed(line(Core::format("GPGGA,1000%02d.%02d,43%07.4f,N,007%07.4f,E,1,08,0.9,40.0,M,48.0,M,,",
                                           i / hz, i % hz * 100 / hz, latitudeMinutes, minutes)));
        }
        const std::size_t fixes = static_cast<std::size_t>(30 * hz);
        if (thrown == ForGood) {
            EXPECT_GE(heard.fixes.size(), fixes - static_cast<std::size_t>(hz));
        } else {
            ASSERT_EQ(heard.fixes.size(), north > 1000.0 ? fixes - static_cast<std::size_t>(thrown) : fixes);
        }
        int strays = 0;
        for (const auto& [valid, fix] : heard.fixes) {
            strays += fix.stray ? 1 : 0;
            if (fix.dateTime.second < 15) continue;
            SCOPED_TRACE(testing::Message() << fix.dateTime.second << "." << fix.dateTime.millisecond);
            ASSERT_TRUE(fix.courseKnown);
            EXPECT_NEAR(fix.heading, 90.0f, 20.0f);
            EXPECT_NEAR(fix.speed, speed, speed / 5);
        }
        if (thrown < ForGood) {
            EXPECT_EQ(strays, north > 1000.0 ? 0 : thrown);
        } else {
            // Where the gate followed the move, its first fix there is no
            // stray; else up to half a second of them are.
            EXPECT_LE(strays, north > 100.0 + 100.0 / hz ? 0 : (hz + 1) / 2);
        }
        system.removeListener(&heard);
    }
}

TEST(System, WithoutADeviceEverythingReportsFalse) {
    auto logger = std::make_unique<TestSupport::CaptureLogger>();
    Positioning::System system(
        u"", 0, nullptr, [](const Positioning::MessageTexts*) -> std::unique_ptr<Positioning::PortSystem> {
            throw std::runtime_error("Can't create GPS thread");
        });
    const std::vector<std::string> lines = logger->lines();
    logger.reset();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("GPS system initialization failed: Can't create GPS thread"), std::string::npos)
        << lines[0];
    EXPECT_FALSE(system.hasDevice());

    std::vector<int> results;
    std::atomic<int> alive = 0;
    EXPECT_FALSE(system.enable(new Result(&results, &alive)));
    EXPECT_FALSE(system.findPort(new Result(&results, &alive)));
    EXPECT_TRUE(results.empty()); // destroyed uncalled
    EXPECT_EQ(alive, 0);
    EXPECT_FALSE(system.disable());
    EXPECT_FALSE(system.setPort(1, 4800));
    EXPECT_FALSE(system.stopPortSearch());
    EXPECT_FALSE(system.hasFix());
    Positioning::Fix fix;
    EXPECT_FALSE(system.getFix(fix));
    EXPECT_EQ(system.getSatellites(nullptr, 0), 0u);
    EXPECT_EQ(system.getUsedSatellites(nullptr, 0), 0u);
    EXPECT_FALSE(system.isEnabled());
    EXPECT_FALSE(system.isPortOpen());
    EXPECT_EQ(system.typeName(), u"");
    system.setNmeaLogging(5);
    FixRecorder listener;
    system.addListener(&listener);
    system.removeListener(&listener);
}
