// Damaged NMEA input: real logs with flipped bytes, inserted garbage, cut
// lines and random chunking go through the whole path; nothing may crash,
// overrun or hand on a sentence whose checksum does not hold. Bounded in
// rounds so it stays well under a second; run under ASan+UBSan in CI.

#include "positioning/NmeaParsers.h"
#include "positioning/NmeaSentenceReader.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/ReplayReport.h"
#include "positioning/System.h"

#include "NmeaTestSupport.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

namespace {

struct Checker : Positioning::DataListener {
    int sentences = 0;
    void onData(const char* text, std::uint32_t length) override {
        ++sentences;
        ASSERT_EQ(text[length], '\0');
        ASSERT_TRUE(Positioning::nmeaChecksumMatches(text, length));
        for (std::uint32_t i = 0; i < length; ++i)
            ASSERT_GE(static_cast<std::int8_t>(text[i]), 32);
    }
    void enabledChanged(bool) override {}
    void portStateChanged(bool) override {}
};

struct Sane : Positioning::TrackingListener {
    void onFix(bool valid, const Positioning::Fix& fix) override {
        if (!valid) return;
        EXPECT_TRUE(std::isfinite(fix.latitude) && std::isfinite(fix.longitude) && std::isfinite(fix.speed))
            << fix.latitude << " " << fix.longitude << " " << fix.speed;
    }
};

// Separators, digits, long number fields and runs of garbage.
std::vector<std::string> nmeaTokens() {
    return {",", "*", "$", ".", "-", "9", "\r\n", std::string(30, '9'), std::string(5000, '9'),
            std::string(600, '\xFF'), std::string(100, ',')};
}

} // namespace

TEST(NmeaMutation, DamagedLogsThroughTheWholePath) {
    std::vector<std::string> logs;
    for (const auto& path : PositioningTest::recordedLogs())
        logs.push_back(PositioningTest::readFile(path));
    ASSERT_FALSE(logs.empty());
    TestSupport::Damage damage(15, nmeaTokens());
    std::mt19937 random(15);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = logs[round % logs.size()];
        for (int times = 1 + static_cast<int>(damage.pick(5)); times > 0; --times)
            damaged = damage.apply(damaged);
        PositioningTest::ReplaySystem rig;
        Positioning::System& system = rig.system;
        Checker checker;
        Sane sane;
        system.addDataListener(&checker);
        system.addListener(&sane);
        system.enable(nullptr);
        rig.replay->feed(damaged, std::uniform_int_distribution<std::size_t>(0, 700)(random));
        Positioning::Satellite sky[64];
        const std::uint32_t known = system.getSatellites(sky, 64);
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(known, 64); ++i)
            ASSERT_TRUE(sky[i].snr >= 0 && sky[i].snr <= 99);
        system.removeListener(&sane);
        // nmea-replay reads the same damaged files.
        if (round % 20 == 0) {
            const std::string report = Positioning::replayReport(damaged);
            ASSERT_EQ(report.rfind("time\tvalid\t", 0), 0u);
            ASSERT_NE(report.find("satellites\t"), std::string::npos);
        }
        if (HasFatalFailure()) FAIL() << "round " << round;
    }
}

TEST(NmeaMutation, ParsersOnArbitraryBytes) {
    // Each sentence sits in a buffer of exactly its size, so any read past
    // its end shows under the address sanitizer.
    std::mt19937 random(static_cast<unsigned>(TestSupport::envNumber("MIREL_TEST_SEED", 15)));
    const char* heads[] = {"$GPGGA,", "$GNRMC,", "$GPGSA,", "$GPGSV,", "$GP", "$", "$GNGSV,9,9,99,"};
    const std::string alphabet = "0123456789,,,,..-*NSEWAV";
    for (int round = 0; round < 100000; ++round) {
        std::string s = heads[round % std::size(heads)];
        const int n = std::uniform_int_distribution<>(0, 90)(random);
        for (int i = 0; i < n; ++i)
            s += round % 3 == 0
                     ? static_cast<char>(std::uniform_int_distribution<>(1, 255)(random))
                     : alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
        auto exact = std::make_unique<char[]>(s.size() + 1);
        std::copy(s.begin(), s.end(), exact.get());
        exact[s.size()] = '\0';
        Positioning::NmeaRecords records;
        const auto kind =
            Positioning::parseSentence(exact.get(), static_cast<std::uint32_t>(s.size()), records);
        if (kind == Positioning::SentenceKind::Gsv) {
            ASSERT_GE(records.gsv.count, 0);
            ASSERT_LE(records.gsv.count, 4);
            ASSERT_GE(records.gsv.messageNumber, 1);
        }
    }
}
