#include "positioning/NmeaDevice.h"

#include "core/Format.h"
#include "core/Text.h"
#include "map/Projection.h"
#include "positioning/MapProjection.h"
#include "positioning/ReplayPortSystem.h"

#include "NmeaTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

using Positioning::Fix;
using PositioningTest::line;

namespace {

struct FakeClock : Positioning::Clock {
    std::uint32_t ticks = 1000;
    Positioning::DateTime local{6, 12, 2026, 21, 5, 9, 0};
    std::uint32_t ticksMs() const override { return ticks; }
    Positioning::DateTime localTime() const override { return local; }
};

// A device over a replay port, switched on.
struct Rig {
    explicit Rig(const std::u16string& folder = u"", int period = 0) {
        auto ports = std::make_unique<Positioning::ReplayPortSystem>();
        replay = ports.get();
        device =
            std::make_unique<Positioning::NmeaDevice>(folder, period, &recorder, std::move(ports), clock);
        device->enable(true, nullptr);
    }
    void send(const std::string& body) { replay->feed(line(body) + std::string(23, '\n')); }

    FakeClock clock;
    PositioningTest::FixRecorder recorder;
    Positioning::ReplayPortSystem* replay = nullptr;
    std::unique_ptr<Positioning::NmeaDevice> device;
};

const char* const Gga1 = "GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000";
const char* const Rmc1 = "GPRMC,030719.000,A,3747.0873,S,17518.8938,E,10.0,181.39,311214,,,A";
const char* const Gga2 = "GPGGA,030720.500,3747.0875,S,17518.8938,E,1,08,1.2,59.8,M,23.7,M,,0000";

} // namespace

TEST(NmeaDevice, NotifiesOncePerEpochWithThePreviousRmc) {
    Rig rig;
    rig.send(Gga1);
    ASSERT_EQ(rig.recorder.fixes.size(), 1u);
    EXPECT_TRUE(rig.recorder.fixes[0].first);
    const Fix& first = rig.recorder.fixes[0].second;
    EXPECT_EQ(first.dateTime, (Positioning::DateTime{0, 0, 0, 3, 7, 19, 0}));
    EXPECT_FLOAT_EQ(first.altitude, 59.9f);
    EXPECT_EQ(first.speed, 0.0f);
    EXPECT_FALSE(first.courseKnown) << "GGA carries no course";

    rig.send(Rmc1); // same epoch: stored, not told
    EXPECT_EQ(rig.recorder.fixes.size(), 1u);
    rig.send(Gga1); // the same time again: not told
    EXPECT_EQ(rig.recorder.fixes.size(), 1u);

    rig.send(Gga2);
    ASSERT_EQ(rig.recorder.fixes.size(), 2u);
    const Fix& second = rig.recorder.fixes[1].second;
    EXPECT_TRUE(rig.recorder.fixes[1].first);
    EXPECT_EQ(second.dateTime, (Positioning::DateTime{31, 12, 2014, 3, 7, 20, 500}));
    EXPECT_FLOAT_EQ(second.speed, 5.14f);
    EXPECT_FLOAT_EQ(second.heading, 181.39f);
    EXPECT_TRUE(second.courseKnown);
    EXPECT_FLOAT_EQ(second.hdop, 1.2f);
    EXPECT_FLOAT_EQ(second.latitude, -(37 + 47.0875f * 0.016666668f));

    Fix copy;
    EXPECT_TRUE(rig.device->getFix(copy));
    EXPECT_EQ(copy, second);
    EXPECT_TRUE(rig.device->hasFix());

    // Sentences the device does not use change nothing and tell nothing.
    rig.send("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
    rig.send("GLGSV,1,1,01,65,10,100,30");
    rig.send("GPGGA,030721.000,3747.0875,S"); // rejected fields
    EXPECT_EQ(rig.recorder.fixes.size(), 2u);

    // An RMC whose course field is empty: the next fix has no course, not
    // one of 0 degrees.
    rig.send("GPRMC,030720.500,A,3747.0875,S,17518.8938,E,10.0,,311214,,,A");
    rig.send("GPGGA,030721.000,3747.0877,S,17518.8938,E,1,08,1.2,59.8,M,23.7,M,,0000");
    ASSERT_EQ(rig.recorder.fixes.size(), 3u);
    EXPECT_FALSE(rig.recorder.fixes[2].second.courseKnown);
}

// A receiver that sends RMC before GGA (RMC, VTG, GGA each second), moving
// north a hundredth of a minute a second: every fix told carries the time and
// the position of one and the same epoch.
TEST(NmeaDevice, RmcFirstFixesKeepTimeAndPositionTogether) {
    std::string excerpt;
    for (int s = 10; s < 16; ++s) {
        const std::string time = "2034" + std::to_string(s) + ".00";
        const std::string latitude = "4215." + std::to_string(s) + "000,N,08811.88588,W";
        excerpt += line("GPRMC," + time + ",A," + latitude + ",12.1,0.0,160326,,,A") +
                   line("GPVTG,0.0,T,,M,12.1,N,22.4,K,A") +
                   line("GPGGA," + time + "," + latitude + ",1,15,0.6,233.47,M,-34.1,M,,");
    }
    Rig rig;
    rig.replay->feed(excerpt + std::string(23, '\n'));
    ASSERT_EQ(rig.recorder.fixes.size(), 6u);
    for (const auto& [valid, fix] : rig.recorder.fixes) {
        EXPECT_TRUE(valid);
        const int s = fix.dateTime.second;
        EXPECT_EQ(fix.dateTime.minute, 34);
        EXPECT_FLOAT_EQ(fix.latitude, 42 + (15 + s / 100.0f) / 60) << s;
    }
    EXPECT_EQ(rig.recorder.fixes.front().second.dateTime.second, 10);
}

TEST(NmeaDevice, InvalidSentencesAndPortLossNotifyInvalid) {
    Rig rig;
    rig.send(Gga1);
    rig.send("GPGGA,030720.000,,,,,0,00,,,M,,M,,");
    ASSERT_EQ(rig.recorder.fixes.size(), 2u);
    EXPECT_FALSE(rig.recorder.fixes[1].first);
    EXPECT_FALSE(rig.device->hasFix());
    // An invalid sentence leaves the record as it was.
    EXPECT_FLOAT_EQ(rig.recorder.fixes[1].second.altitude, 59.9f);
    // Invalid every time, even with an unchanged time.
    rig.send("GPGGA,030720.000,,,,,0,00,,,M,,M,,");
    EXPECT_EQ(rig.recorder.fixes.size(), 3u);
    rig.send("GPRMC,030721.000,V,,,,,,,311214,,,N");
    ASSERT_EQ(rig.recorder.fixes.size(), 4u);
    EXPECT_FALSE(rig.recorder.fixes[3].first);

    rig.send(Gga2);
    ASSERT_EQ(rig.recorder.fixes.size(), 5u);
    EXPECT_TRUE(rig.recorder.fixes[4].first);

    rig.replay->losePort();
    ASSERT_EQ(rig.recorder.fixes.size(), 6u);
    EXPECT_FALSE(rig.recorder.fixes[5].first);
    EXPECT_EQ(rig.recorder.fixes[5].second, Fix{});
    Fix kept;
    EXPECT_FALSE(rig.device->getFix(kept));
    EXPECT_FLOAT_EQ(kept.altitude, 59.8f); // the device keeps its last values

    // Switching off tells the same (enabled and port changes both arrive).
    Rig off;
    off.send(Gga1);
    off.device->enable(false, nullptr);
    ASSERT_GE(off.recorder.fixes.size(), 2u);
    EXPECT_FALSE(off.recorder.fixes.back().first);
    EXPECT_EQ(off.recorder.fixes.back().second, Fix{});
    EXPECT_FALSE(off.device->isEnabled());
    EXPECT_FALSE(off.device->isPortOpen());
}

TEST(NmeaDevice, SatellitesAndUsedSatellites) {
    Rig rig;
    rig.send("GPGSA,A,3,5,0,12,,,,,,,,,,2.5,1.3,2.1");
    std::uint32_t used[4] = {};
    ASSERT_EQ(rig.device->getUsedSatellites(used, 4), 2u);
    EXPECT_EQ(used[0], 5u);
    EXPECT_EQ(used[1], 12u);
    // The list follows each GSA whole: all twelve used, then none, then one
    // in the last field.
    const struct {
        const char* body;
        std::vector<std::uint32_t> used;
    } lists[] = {
        {"GPGSA,A,3,1,2,3,4,5,6,7,8,9,10,11,12,2.5,1.3,2.1", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"GPGSA,A,1,,,,,,,,,,,,,2.5,1.3,2.1", {}},
        {"GPGSA,A,2,,,,,,,,,,,,32,2.5,1.3,2.1", {32}}};
    for (const auto& row : lists) {
        rig.send(row.body);
        std::uint32_t all[12] = {};
        const std::uint32_t n = rig.device->getUsedSatellites(all, 12);
        EXPECT_EQ(std::vector<std::uint32_t>(all, all + n), row.used) << row.body;
    }

    rig.send("GPGSV,3,1,09,1,10,100,11,2,20,200,22,3,30,300,33,4,40,40,44");
    rig.send("GPGSV,3,2,09,5,50,50,55,6,60,60,66,7,70,70,77,2,21,201,23");
    Positioning::Satellite sky[9];
    EXPECT_EQ(rig.device->getSatellites(sky, 9), 0u); // not yet published
    rig.send("GPGSV,3,3,09,9,9,90,9");
    ASSERT_EQ(rig.device->getSatellites(sky, 9), 8u); // satellite 2 once, with its newer values
    EXPECT_EQ(sky[1], (Positioning::Satellite{2, 21, 201, 23}));
    EXPECT_EQ(sky[7], (Positioning::Satellite{9, 9, 90, 9}));

    Positioning::Satellite four[4];
    EXPECT_EQ(rig.device->getSatellites(four, 4), 8u);
    EXPECT_EQ(four[3], (Positioning::Satellite{4, 40, 40, 44}));

    // The next cycle replaces the view only when it is complete.
    rig.send("GPGSV,2,1,05,11,10,100,11,12,20,200,22,13,30,300,33,14,40,40,44");
    EXPECT_EQ(rig.device->getSatellites(nullptr, 0), 8u);
    rig.send("GPGSV,2,2,05,15,50,50,55");
    EXPECT_EQ(rig.device->getSatellites(sky, 9), 5u);
    EXPECT_EQ(sky[4].prn, 15);

    // A cycle is its messages in order from the first: a message out of
    // turn, or of another cycle, breaks it, and nothing is published until
    // the next first message. A hostile receiver's second messages without
    // end collected satellites without bound.
    for (int k = 0; k < 300; ++k)
        rig.send(Core::format("GPGSV,9,2,36,%d,1,1,1,%d,1,1,1,%d,1,1,1,%d,1,1,1", 4 * k + 100, 4 * k + 101,
                              4 * k + 102, 4 * k + 103));
    rig.send("GPGSV,9,9,36,1,1,1,1,2,1,1,1,3,1,1,1,4,1,1,1");
    rig.send("GPGSV,3,1,09,1,10,100,11,2,20,200,22,3,30,300,33,4,40,40,44");
    rig.send("GPGSV,3,3,09,9,9,90,9");
    ASSERT_EQ(rig.device->getSatellites(sky, 9), 5u) << "no broken cycle published";
    EXPECT_EQ(sky[0].prn, 11);
    rig.send("GPGSV,3,1,09,1,10,100,11,2,20,200,22,3,30,300,33,4,40,40,44");
    for (int k = 2; k <= 3; ++k)
        rig.send(Core::format("GPGSV,3,%d,12,%d,1,1,1,%d,1,1,1,%d,1,1,1,%d,1,1,1", k, 4 * k + 1, 4 * k + 2,
                              4 * k + 3, 4 * k + 4));
    EXPECT_EQ(rig.device->getSatellites(nullptr, 0), 12u);
    // However many messages a cycle claims, its view holds at most 128.
    rig.send("GPGSV,99,1,396,1,1,1,1,2,1,1,1,3,1,1,1,4,1,1,1");
    for (int k = 2; k <= 99; ++k)
        rig.send(Core::format("GPGSV,99,%d,396,%d,1,1,1,%d,1,1,1,%d,1,1,1,%d,1,1,1", k, 4 * k - 3, 4 * k - 2,
                              4 * k - 1, 4 * k));
    EXPECT_EQ(rig.device->getSatellites(nullptr, 0), 128u);
}

TEST(NmeaDevice, MapPointByTheMapProjection) {
    Positioning::setGeoToMap([](float lat, float lon, std::int32_t& x, std::int32_t& y) {
        x = static_cast<std::int32_t>(lon * 100);
        y = static_cast<std::int32_t>(lat * 100);
    });
    Rig rig;
    rig.send(Gga1);
    Positioning::setGeoToMap(nullptr);
    ASSERT_EQ(rig.recorder.fixes.size(), 1u);
    EXPECT_EQ(rig.recorder.fixes[0].second.x, 17531);
    EXPECT_EQ(rig.recorder.fixes[0].second.y, -3778);

    // Without one installed, the map's own projection gives the point.
    Rig plain;
    plain.send(Gga1);
    ASSERT_EQ(plain.recorder.fixes.size(), 1u);
    const Fix& fix = plain.recorder.fixes[0].second;
    const Map::Point expected = Map::Projection::fromGeo(fix.latitude, fix.longitude);
    EXPECT_NE(expected, Map::Point{});
    EXPECT_EQ(fix.x, expected.x);
    EXPECT_EQ(fix.y, expected.y);
}

// The map point of a position is kept for the epoch's next sentence; a new
// position, or another projection installed, makes it afresh.
TEST(NmeaDevice, MapPointFollowsThePositionAndTheProjection) {
    static int projections;
    projections = 0;
    const auto byHundreds = [](float lat, float lon, std::int32_t& x, std::int32_t& y) {
        ++projections;
        x = static_cast<std::int32_t>(lon * 100);
        y = static_cast<std::int32_t>(lat * 100);
    };
    const auto byTens = [](float lat, float lon, std::int32_t& x, std::int32_t& y) {
        ++projections;
        x = static_cast<std::int32_t>(lon * 10);
        y = static_cast<std::int32_t>(lat * 10);
    };
    Positioning::setGeoToMap(byHundreds);
    Rig rig;
    rig.send(Gga1);
    rig.send(Rmc1); // the same position
    EXPECT_EQ(projections, 1);
    // Half a minute further south: a new position.
    rig.send("GPGGA,030720.500,3747.5873,S,17518.8938,E,1,08,1.2,59.8,M,23.7,M,,0000");
    EXPECT_EQ(projections, 2);
    Positioning::setGeoToMap(byTens);
    rig.send("GPRMC,030721.000,A,3747.5873,S,17518.8938,E,10.0,181.39,311214,,,A");
    Positioning::setGeoToMap(nullptr);
    EXPECT_EQ(projections, 3);
    ASSERT_EQ(rig.recorder.fixes.size(), 3u);
    EXPECT_EQ(rig.recorder.fixes[1].second.x, 17531);
    EXPECT_EQ(rig.recorder.fixes[2].second.x, 1753);
    EXPECT_EQ(rig.recorder.fixes[2].second.y, -377);
}

TEST(NmeaDevice, WritesTheNmeaLog) {
    TestSupport::TempDir dir;
    const std::u16string folder = Core::utf8ToWide((dir.path() / "nmea").string());
    Rig rig(folder, 10);
    rig.send(Gga1);
    rig.send("PMTK001,604,3 and more text"); // every checksummed sentence goes to the log
    rig.device->logSettings()->setNmeaLogging(0);
    rig.send(Rmc1);
    EXPECT_EQ(TestSupport::readAll(dir.path() / "nmea" / "20261206-210509.nmea"),
              PositioningTest::sentence(Gga1) + "\r\n" +
                  PositioningTest::sentence("PMTK001,604,3 and more text") + "\r\n");
}

// A receiver of several satellite systems speaks only GN: its sentences are
// logged as they came and still make fixes.
TEST(NmeaDevice, AGnOnlyReceiverIsLoggedAndFixed) {
    TestSupport::TempDir dir;
    const std::u16string folder = Core::utf8ToWide((dir.path() / "nmea").string());
    Rig rig(folder, 10);
    const std::string gga = std::string("GN") + (Gga1 + 2), rmc = std::string("GN") + (Rmc1 + 2),
                      next = std::string("GN") + (Gga2 + 2);
    for (const std::string& body : {gga, rmc, next})
        rig.send(body);
    EXPECT_EQ(TestSupport::readAll(dir.path() / "nmea" / "20261206-210509.nmea"),
              PositioningTest::sentence(gga) + "\r\n" + PositioningTest::sentence(rmc) + "\r\n" +
                  PositioningTest::sentence(next) + "\r\n");
    ASSERT_FALSE(rig.recorder.fixes.empty());
    EXPECT_TRUE(rig.recorder.fixes.front().first);
    EXPECT_NEAR(rig.recorder.fixes.front().second.latitude, -(37 + 47.0873 / 60), 1e-5);
}

// A fix's time of day carries milliseconds, however many decimals the
// receiver writes (the GPS page and the track read them as such).
TEST(NmeaDevice, TheTimeOfAFixHasItsMilliseconds) {
    const struct {
        const char* decimals;
        std::uint16_t milliseconds;
    } rows[] = {{"", 0}, {".5", 500}, {".05", 50}, {".50", 500}, {".123", 123}, {".500000", 500}, {".1239999", 123}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.decimals);
        for (const bool rmc : {false, true}) {
            Rig rig;
            const std::string time = std::string("100007") + row.decimals;
            rig.send(rmc ? "GPRMC," + time + ",A,4344.4000,N,00725.0000,E,0.0,,071226,,,A"
                         : "GPGGA," + time + ",4344.4000,N,00725.0000,E,1,08,0.9,40.0,M,48.0,M,,");
            ASSERT_EQ(rig.recorder.fixes.size(), 1u);
            EXPECT_EQ(rig.recorder.fixes[0].second.dateTime.second, 7);
            EXPECT_EQ(rig.recorder.fixes[0].second.dateTime.millisecond, row.milliseconds) << (rmc ? "RMC" : "GGA");
        }
    }
}

// Receivers that send no speed or no course (GGA alone, RMC with an empty
// speed or course field) have them taken from their fixes, at any rate;
// those that send them keep theirs, in either order of RMC and GGA. A car
// drives east at 10 m/s, its receiver's RMC (where it sends one) saying
// 12 m/s at 80 degrees, its GGA an HDOP of 0.9 (4.5 m with the UERE of 5 m).
// A car that creeps, or stands with its fixes going round within 2 m, has
// no speed and no course, whatever HDOP its receiver claims; so has a car
// never seen standing whose way over four seconds lies within the scatter
// of a receiver of HDOP 1 (2 m/s), not one that goes straight at an even
// pace beyond it (3 m/s; FixMotion_test holds the rest).
TEST(NmeaDevice, SpeedAndCourseFromTheFixesWhereTheReceiverSendsNone) {
    enum Receiver { RmcFirst, GgaFirst, GgaOnly, EmptyCourse, EmptySpeed, EmptySpeedAndCourse };
    const struct {
        const char* name;
        Receiver receiver;
        int perSecond;
        float metresPerSecond;
        float speed;   // of the last fix told
        float heading; // -1: no course
        double circleMetres = 0.0; // the fixes go round a circle of this radius, once in 4 s
        bool sixDigits = false;    // the time's fraction in six digits
        float uere = 5.0f;
    } rows[] = {
        {"RMC first", RmcFirst, 1, 10.0f, 12.0f, 80.0f},
        {"GGA first", GgaFirst, 1, 10.0f, 12.0f, 80.0f},
        {"GGA first, 10 Hz", GgaFirst, 10, 10.0f, 12.0f, 80.0f},
        {"GGA only", GgaOnly, 1, 10.0f, 10.0f, 90.0f},
        {"GGA only, 5 Hz", GgaOnly, 5, 10.0f, 10.0f, 90.0f},
        {"GGA only, 10 Hz", GgaOnly, 10, 10.0f, 10.0f, 90.0f},
        {"GGA only, 20 Hz", GgaOnly, 20, 10.0f, 10.0f, 90.0f},
        {"GGA only, 10 Hz, six digits", GgaOnly, 10, 10.0f, 10.0f, 90.0f, 0.0, true},
        {"empty course", EmptyCourse, 1, 10.0f, 12.0f, 90.0f},
        {"empty course, 10 Hz", EmptyCourse, 10, 10.0f, 12.0f, 90.0f},
        {"empty speed", EmptySpeed, 1, 10.0f, 10.0f, 80.0f},
        {"empty speed and course", EmptySpeedAndCourse, 1, 10.0f, 10.0f, 90.0f},
        {"empty speed and course, 10 Hz", EmptySpeedAndCourse, 10, 10.0f, 10.0f, 90.0f},
        {"GGA only, 2 m/s", GgaOnly, 1, 2.0f, 0.0f, -1.0f},
        {"GGA only, 3 m/s", GgaOnly, 1, 3.0f, 3.0f, 90.0f},
        {"GGA only, standing", GgaOnly, 1, 0.0f, 0.0f, -1.0f},
        {"GGA only, creeping", GgaOnly, 1, 0.5f, 0.0f, -1.0f},
        {"GGA only, standing in scatter", GgaOnly, 1, 0.0f, 0.0f, -1.0f, 2.0},
        {"GGA only, 10 Hz, standing in scatter", GgaOnly, 10, 0.0f, 0.0f, -1.0f, 2.0},
        // An error of 0.9 m makes it no motion either: it goes nowhere.
        {"GGA only, the same, 0.9 m", GgaOnly, 1, 0.0f, 0.0f, -1.0f, 2.0, false, 1.0f},
    };
    const double metresPerMinuteOfLatitude = 6371000.0 * 3.14159265358979 / 180.0 / 60.0;
    const double metresPerMinuteOfLongitude = metresPerMinuteOfLatitude * std::cos(43.74 * 3.14159265358979 / 180.0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.device->setUere(row.uere);
        for (int epoch = 0; epoch < 8 * row.perSecond; ++epoch) {
            const int hundredths = epoch * 100 / row.perSecond;
            const std::string time = Core::format(row.sixDigits ? "1000%02d.%02d0000" : "1000%02d.%02d",
                                                  hundredths / 100, hundredths % 100);
            const double angle = hundredths / 100.0 * 3.14159265358979 / 2.0;
            const double minutes = 25.0 + (row.metresPerSecond * hundredths / 100.0 +
                                           row.circleMetres * std::sin(angle)) / metresPerMinuteOfLongitude;
            const double north = 44.4 + row.circleMetres * std::cos(angle) / metresPerMinuteOfLatitude;
            const std::string at = Core::format("43%08.5f,N,007%08.5f,E", north, minutes);
            const std::string gga = "GPGGA," + time + "," + at + ",1,08,0.9,40.0,M,48.0,M,,";
            const bool noSpeed = row.receiver == EmptySpeed || row.receiver == EmptySpeedAndCourse;
            const bool noCourse = row.receiver == EmptyCourse || row.receiver == EmptySpeedAndCourse;
            const std::string rmc = "GPRMC," + time + ",A," + at + "," + (noSpeed ? "" : "23.33") + "," +
                                    (noCourse ? "" : "80.0") + ",071226,,,A";
            if (row.receiver != GgaFirst && row.receiver != GgaOnly) rig.send(rmc);
            rig.send(gga);
            if (row.receiver == GgaFirst) rig.send(rmc);
        }
        EXPECT_EQ(rig.recorder.fixes.size(), static_cast<std::size_t>(8 * row.perSecond)) << "one fix an epoch";
        if (rig.recorder.fixes.size() < 2) continue;
        const bool sendsCourse = row.receiver == RmcFirst || row.receiver == GgaFirst || row.receiver == EmptySpeed;
        EXPECT_EQ(rig.recorder.fixes[0].second.courseKnown, row.receiver == RmcFirst || row.receiver == EmptySpeed)
            << "no fix before it to compare";
        EXPECT_EQ(rig.recorder.fixes[1].second.courseKnown, sendsCourse) << "a way of less than two seconds";
        const Fix& last = rig.recorder.fixes.back().second;
        EXPECT_NEAR(last.speed, row.speed, 0.1f);
        EXPECT_EQ(last.courseKnown, row.heading >= 0.0f);
        EXPECT_NEAR(last.heading, std::max(row.heading, 0.0f), 2.0f) << "float degrees: 0.4 m";
    }
}

// After a gap in the fixes (a tunnel: 10 s without a fix, or a receiver
// silent as long) the first fix has nothing of late to compare to: it
// carries no speed or course, neither the ones taken from the fixes before
// the gap nor a GGA-first receiver's RMC from before it.
TEST(NmeaDevice, AFixAfterAGapCarriesNoSpeedOrCourseFromBeforeIt) {
    for (const bool ggaFirst : {false, true}) {
        for (const bool silent : {false, true}) {
            SCOPED_TRACE(testing::Message() << (ggaFirst ? "GGA first" : "GGA only") << (silent ? ", silent" : ", no fix"));
            Rig rig;
            int second = 0;
            const auto fixAt = [&](double metres) {
                const std::string time = Core::format("1000%02d.00", second++);
                const std::string at = Core::format("4344.4000,N,007%08.5f,E", 25.0 + metres / 1340.0);
                rig.send("GPGGA," + time + "," + at + ",1,08,0.9,40.0,M,48.0,M,,");
                if (ggaFirst) rig.send("GPRMC," + time + ",A," + at + ",21.4,90.0,071226,,,A");
            };
            for (int s = 0; s < 5; ++s)
                fixAt(11.0 * s);
            for (int s = 0; s < 10; ++s, ++second)
                if (!silent) rig.send(Core::format("GPGGA,1000%02d.00,,,,,0,00,99.9,,M,,M,,", second));
            fixAt(11.0 * second);
            const Fix& before = rig.recorder.fixes[4].second;
            EXPECT_GT(before.speed, 10.0f);
            EXPECT_TRUE(before.courseKnown);
            ASSERT_TRUE(rig.recorder.fixes.back().first);
            const Fix& after = rig.recorder.fixes.back().second;
            EXPECT_EQ(after.speed, 0.0f);
            EXPECT_FALSE(after.courseKnown);
            EXPECT_EQ(after.heading, 0.0f);
        }
    }
}
