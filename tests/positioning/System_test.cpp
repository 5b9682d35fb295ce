#include "positioning/System.h"

#include "core/Log.h"
#include "core/Text.h"
#include "positioning/ReplayPortSystem.h"

#include "NmeaTestSupport.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <atomic>
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

TEST(System, ListenersMayComeAndGoWhileFixesArrive) {
    PositioningTest::ReplaySystem rig;
    rig.system.enable(nullptr);
    std::string stream;
    for (int s = 0; s < 60; ++s)
        stream +=
            line(Core::format("GPGGA,0307%02d.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", s));
    std::atomic<bool> done = false;
    std::thread gps([&] {
        for (int round = 0; round < 50; ++round)
            rig.replay->feed(stream);
        done = true;
    });
    while (!done) {
        FixRecorder listener;
        rig.system.addListener(&listener);
        rig.system.removeListener(&listener);
        // After removal the listener is never called again, so it may die here.
    }
    gps.join();
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
