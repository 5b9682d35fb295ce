#include "positioning/NmeaParsers.h"

#include "positioning/detail/NmeaFields.h"

#include "NmeaTestSupport.h"

#include <gtest/gtest.h>

using Positioning::NmeaRecords;
using Positioning::SentenceKind;
using PositioningTest::sentence;

namespace {

SentenceKind parse(const std::string& body, NmeaRecords& records) {
    const std::string s = sentence(body);
    return Positioning::parseSentence(s.c_str(), static_cast<std::uint32_t>(s.size()), records);
}

SentenceKind kindOf(const std::string& body) {
    NmeaRecords records;
    return parse(body, records);
}

float degrees(int whole, float minutes) {
    return static_cast<float>(whole) + minutes * 0.016666668f;
}

} // namespace

TEST(NmeaParsers, Gga) {
    NmeaRecords r;
    ASSERT_EQ(parse("GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", r),
              SentenceKind::Gga);
    EXPECT_EQ(r.gga.time, (Positioning::NmeaTime{3, 7, 19, 0, 3}));
    EXPECT_EQ(r.gga.latitude, -degrees(37, 47.0873f));
    EXPECT_EQ(r.gga.longitude, degrees(175, 18.8938f));
    EXPECT_EQ(r.gga.quality, 1);
    EXPECT_EQ(r.gga.satellitesUsed, 8);
    EXPECT_FLOAT_EQ(r.gga.hdop, 1.1f);
    EXPECT_FLOAT_EQ(r.gga.altitude, 59.9f);

    // Western and northern hemispheres, empty position fields, quality 0.
    ASSERT_EQ(parse("GPGGA,123519.50,4807.038,N,01131.000,W,0,,,,M,,M,,", r), SentenceKind::Gga);
    EXPECT_EQ(r.gga.time.fraction, 50);
    EXPECT_EQ(r.gga.latitude, degrees(48, 7.038f));
    EXPECT_EQ(r.gga.longitude, -degrees(11, 31.0f));
    EXPECT_EQ(r.gga.quality, 0);
    ASSERT_EQ(parse("GPGGA,,,,,,0,00,,,M,,M,,", r), SentenceKind::Gga);
    EXPECT_EQ(r.gga.latitude, 0.0f);
    EXPECT_EQ(r.gga.time, Positioning::NmeaTime{});
}

TEST(NmeaParsers, TimeDateAndSpeed) {
    const struct {
        const char* field;
        Positioning::NmeaTime time;
        double secondsOfDay;
    } times[] = {
        {"123519", {12, 35, 19, 0, 0}, 45319.0},
        {"123519.5", {12, 35, 19, 5, 1}, 45319.5},
        {"123519.50", {12, 35, 19, 50, 2}, 45319.5},
        {"123519.123", {12, 35, 19, 123, 3}, 45319.123},
        {"123519.00", {12, 35, 19, 0, 2}, 45319.0},
        {"235959.05", {23, 59, 59, 5, 2}, 86399.05},
        // More digits than 16 bits hold: the leading ones that fit.
        {"100000.500000", {10, 0, 0, 50000, 5}, 36000.5},
        {"100000.65535", {10, 0, 0, 65535, 5}, 36000.65535},
        {"100000.999999", {10, 0, 0, 9999, 4}, 36000.999},
    };
    for (const auto& t : times) {
        NmeaRecords r;
        ASSERT_EQ(parse(std::string("GPRMC,") + t.field + ",A,4807.038,N,01131.000,E,10,84.4,150580,,", r),
                  SentenceKind::Rmc)
            << t.field;
        EXPECT_EQ(r.rmc.time, t.time) << t.field;
        EXPECT_DOUBLE_EQ(r.rmc.time.secondsOfDay(), t.secondsOfDay) << t.field;
        EXPECT_EQ(r.rmc.date, (Positioning::NmeaDate{15, 5, 1980}));
        EXPECT_EQ(r.rmc.status, 'A');
        EXPECT_FLOAT_EQ(r.rmc.speed, 5.14f);
        EXPECT_FLOAT_EQ(r.rmc.course, 84.4f);
        EXPECT_TRUE(r.rmc.courseKnown);
        EXPECT_TRUE(r.rmc.speedKnown);
    }
    NmeaRecords r;
    ASSERT_EQ(parse("GNRMC,000000,V,,,,,,,150579,,", r), SentenceKind::Rmc);
    EXPECT_FALSE(r.rmc.courseKnown);
    EXPECT_FALSE(r.rmc.speedKnown);
    EXPECT_EQ(r.rmc.date, (Positioning::NmeaDate{15, 5, 2079}));
    EXPECT_EQ(r.rmc.status, 'V');
    ASSERT_EQ(parse("GPRMC,000000,V,,,,,,,15057,,", r), SentenceKind::Rmc);
    EXPECT_EQ(r.rmc.date, Positioning::NmeaDate{});
    // A short time, or none, in a fix is refused (see HostileFieldsOfAFix);
    // without a fix it reads as 00:00:00.
    ASSERT_EQ(parse("GPRMC,12351,V,4807.038,N,01131.000,E,10,84.4,150580,,", r), SentenceKind::Rmc);
    EXPECT_EQ(r.rmc.time, Positioning::NmeaTime{});
    // Old layout without the mode field, and a trailing mode field.
    EXPECT_EQ(kindOf("GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"), SentenceKind::Rmc);
    EXPECT_EQ(kindOf("GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E,A"), SentenceKind::Rmc);
}

// The fields a noisy line or a hostile device may put into a sentence that
// claims a fix: each such sentence is refused whole, in GGA and RMC alike,
// while the same fields without a fix (quality 0, status V) are no fix and
// pass.
TEST(NmeaParsers, HostileFieldsOfAFix) {
    const std::string good[] = {"030719.000", "4807.038", "N", "01131.000", "E", "1.1", "59.9", "10.5", "84.4"};
    enum { Time, Lat, NS, Lon, EW, Hdop, Altitude, Speed, Course };
    const struct {
        int field;
        const char* value;
        bool accepted;
    } rows[] = {
        {Time, "", false},          {Time, "12351", false},      {Time, "99:99:99", false},
        {Time, "999999", false},    {Time, "240000", false},     {Time, "236000", false},
        {Time, "235961", false},    {Time, "235960", true},      {Time, "235959.", false},
        {Time, "235959.5x", false}, {Time, "000000", true},      {Lat, "", false},
        {Lat, "9959.9999", false},  {Lat, "9000.0000", true},    {Lat, "9000.0001", false},
        {Lat, "8960.0", false},     {Lat, "8959.9999", true},    {Lat, "nan", false},
        {Lat, "inf", false},        {Lat, "1e999", false},       {Lat, "48O7.038", false},
        {Lat, "4807.038.1", false}, {Lat, "-4807.038", false},   {Lat, "4807", true},
        {Lon, "", false},           {Lon, "18100.0000", false},  {Lon, "18000.0000", true},
        {Lon, "17959.9999", true},  {Lon, "1131.000", false},     {Lon, "nan", false},
        {Lon, "01131.000e5", false}, {NS, "", false},            {NS, "X", false},
        {NS, "n", false},           {NS, "NN", false},           {NS, "S", true},
        {EW, "", false},            {EW, "S", false},            {EW, "W", true},
        {Hdop, "nan", false},       {Hdop, "inf", false},        {Hdop, "", true},
        {Altitude, "1e999", false}, {Altitude, "-12.5", true},   {Altitude, "12.5.1", false},
        {Speed, "inf", false},      {Speed, "", true},           {Speed, "0x10", false},
        {Course, "nan", false},     {Course, "", true},          {Course, ".", false},
    };
    for (const auto& row : rows) {
        std::string f[9];
        std::copy(std::begin(good), std::end(good), f);
        f[row.field] = row.value;
        const std::string position = f[Lat] + "," + f[NS] + "," + f[Lon] + "," + f[EW];
        const bool inGga = row.field != Speed && row.field != Course;
        const bool inRmc = row.field != Hdop && row.field != Altitude;
        for (const char* fix : {"1", "0"}) {
            const bool claimed = fix[0] == '1';
            const SentenceKind expected = claimed && !row.accepted ? SentenceKind::ParseError : SentenceKind::Gga;
            if (inGga) {
                EXPECT_EQ(kindOf("GPGGA," + f[Time] + "," + position + "," + fix + ",08," + f[Hdop] + "," +
                                 f[Altitude] + ",M,23.7,M,,"),
                          expected)
                    << row.field << " '" << row.value << "' quality " << fix;
            }
            if (inRmc) {
                EXPECT_EQ(kindOf("GNRMC," + f[Time] + "," + (claimed ? "A" : "V") + "," + position + "," + f[Speed] +
                                 "," + f[Course] + ",150580,,,A"),
                          expected == SentenceKind::Gga ? SentenceKind::Rmc : expected)
                    << row.field << " '" << row.value << "' status " << (claimed ? "A" : "V");
            }
        }
    }
}

TEST(NmeaParsers, TalkersAndTypes) {
    const struct {
        const char* body;
        SentenceKind kind;
    } cases[] = {
        {"GNRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,,", SentenceKind::Rmc},
        {"GLGSV,1,1,01,65,10,100,30", SentenceKind::NotHandled},
        {"GBGSV,1,1,01,65,10,100,30", SentenceKind::NotHandled},
        {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", SentenceKind::NotHandled},
        {"PMTK001,604,3", SentenceKind::NotHandled},
        {"GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,", SentenceKind::NotHandled},
        {"GPGGA", SentenceKind::ParseError},
        {"GPGGA,", SentenceKind::ParseError},
        {"GPGSV,", SentenceKind::ParseError},
        {"GP", SentenceKind::NotHandled},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kindOf(c.body), c.kind) << c.body;
}

TEST(NmeaParsers, RejectsBodiesEndingAfterARequiredField) {
    // Each sentence, cut right after every field that must be followed by
    // more, is rejected; cut after the last required one it is accepted.
    const struct {
        const char* body;
        int requiredFields; // fields that must be followed by another
    } cases[] = {
        {"GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000", 12},
        {"GPRMC,030719.000,A,3747.0873,S,17518.8938,E,0.69,181.39,311214,,,A", 8},
        {"GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5", 15},
    };
    for (const auto& c : cases) {
        const std::string body = c.body;
        std::vector<std::size_t> commas;
        for (std::size_t i = 6; i < body.size(); ++i)
            if (body[i] == ',') commas.push_back(i);
        for (int field = 1; field <= c.requiredFields; ++field) {
            const std::string cut = body.substr(0, commas[field - 1]);
            EXPECT_EQ(kindOf(cut), SentenceKind::ParseError) << cut;
        }
        const std::string enough = body.substr(0, commas[c.requiredFields - 1] + 1);
        EXPECT_NE(kindOf(enough), SentenceKind::ParseError) << enough;
    }
    // Eleven satellite fields before the end.
    EXPECT_EQ(kindOf("GPGSA,A,3,1,2,3,4,5,6,7,8,9,10,11"), SentenceKind::ParseError);
}

TEST(NmeaParsers, Gsa) {
    NmeaRecords r;
    ASSERT_EQ(parse("GNGSA,A,3,5,0,12,,,,,,,,,,2.5,1.3,2.1", r), SentenceKind::Gsa);
    EXPECT_EQ(r.gsa.mode, 'A');
    EXPECT_EQ(r.gsa.fixType, 3);
    const std::int32_t expected[12] = {5, 0, 12};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), std::begin(r.gsa.satellites)));
    EXPECT_FLOAT_EQ(r.gsa.pdop, 2.5f);
    EXPECT_FLOAT_EQ(r.gsa.hdop, 1.3f);
    EXPECT_FLOAT_EQ(r.gsa.vdop, 2.1f);
    ASSERT_EQ(parse("GPGSA,M,1,,,,,,,,,,,,,,x,", r), SentenceKind::Gsa);
    EXPECT_EQ(r.gsa.hdop, 0.0f);
    EXPECT_EQ(r.gsa.vdop, 0.0f);
}

TEST(NmeaParsers, Gsv) {
    NmeaRecords r;
    ASSERT_EQ(parse("GPGSV,3,3,10,11,12,132,04,08,38,008,", r), SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.count, 2);
    EXPECT_EQ(r.gsv.satellites[0], (Positioning::Satellite{11, 12, 132, 4}));
    EXPECT_EQ(r.gsv.satellites[1], (Positioning::Satellite{8, 38, 8, 0}));
    EXPECT_EQ(kindOf("GPGSV,3,4,10,11,12,132,04,08,38,008,"), SentenceKind::ParseError);
    EXPECT_EQ(kindOf("GPGSV,3,0,10,11,12,132,04"), SentenceKind::ParseError);

    // The last satellite may end without its SNR; an SNR outside 0..99 is 0.
    ASSERT_EQ(parse("GPGSV,1,1,02,17,72,207,120,28,59,095", r), SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.count, 2);
    EXPECT_EQ(r.gsv.satellites[0], (Positioning::Satellite{17, 72, 207, 0}));
    EXPECT_EQ(r.gsv.satellites[1], (Positioning::Satellite{28, 59, 95, 0}));
    ASSERT_EQ(parse("GPGSV,1,1,02,17,72,207,-5,28,59,095,99", r), SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.satellites[0].snr, 0);
    EXPECT_EQ(r.gsv.satellites[1].snr, 99);
    // A satellite that is not the last must be whole.
    EXPECT_EQ(kindOf("GPGSV,1,1,02,17,72,207"), SentenceKind::ParseError);
    EXPECT_EQ(kindOf("GPGSV,1,1,02,17,72"), SentenceKind::ParseError);

    // No satellites at all: the header alone is accepted.
    ASSERT_EQ(parse("GPGSV,1,1,00", r), SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.count, 0);
    ASSERT_EQ(parse("GPGSV,2,2,04", r), SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.count, 0);

    // A header that claims more than four satellites for its last message:
    // four slots are filled and the rest is not read.
    ASSERT_EQ(parse("GPGSV,1,1,09,1,10,100,11,2,20,200,22,3,30,300,33,4,40,40,44,5,50,50,55", r),
              SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.count, 4);
    EXPECT_EQ(r.gsv.satellites[3], (Positioning::Satellite{4, 40, 40, 44}));
    ASSERT_EQ(parse("GPGSV,2,2,99,1,10,100,11,2,20,200,22,3,30,300,33,4,40,40", r), SentenceKind::Gsv);
    EXPECT_EQ(r.gsv.count, 4);
}

TEST(NmeaParsers, FieldReaders) {
    using namespace Positioning::detail;
    const std::string body = "0123456789ABCDEFGHIJ,next*7F";
    FieldBuffer field;
    const char* p = readField(body.data(), body.data() + body.size(), field);
    EXPECT_STREQ(field, "0123456789ABCDE"); // cut at 15 characters
    EXPECT_EQ(p, body.data() + 21);
    p = readField(p, body.data() + body.size(), field);
    EXPECT_STREQ(field, "next");
    EXPECT_EQ(p, body.data() + 26);

    std::int32_t i = 7;
    const std::string ints = "-12,x,,2147483648";
    const char* end = ints.data() + ints.size();
    p = parseCsvInt(ints.data(), end, i);
    EXPECT_EQ(i, -12);
    p = parseCsvInt(p, end, i);
    EXPECT_EQ(i, 0);
    p = parseCsvInt(p, end, i);
    EXPECT_EQ(i, 0);
    p = parseCsvInt(p, end, i);
    EXPECT_EQ(i, 2147483647); // held in range, not wrapped
    EXPECT_EQ(p, end);

    double d = 0;
    const std::string doubles = " -1.25,.5,1e3";
    end = doubles.data() + doubles.size();
    p = parseCsvDouble(doubles.data(), end, d);
    EXPECT_EQ(d, -1.25);
    p = parseCsvDouble(p, end, d);
    EXPECT_EQ(d, 0.5);
    p = parseCsvDouble(p, end, d);
    EXPECT_EQ(d, 1.0); // no exponent

    const std::string tiny = "-0." + std::string(40, '0') + "1";
    EXPECT_TRUE(parseFloat(tiny.data(), tiny.data() + tiny.size(), d));
    EXPECT_EQ(d, 0.0);
    // Too many digits for a float: unreadable, not infinite.
    const std::string huge = std::string(60, '9') + ".5";
    EXPECT_FALSE(parseFloat(huge.data(), huge.data() + huge.size(), d));
    EXPECT_EQ(d, 0.0);
    const std::string big = "123456789012345678901234567890";
    EXPECT_TRUE(parseFloat(big.data(), big.data() + big.size(), d));
    EXPECT_NEAR(d, 1.2345678901234568e29, 1e15);
    // A range that does not end at a delimiter ends where it says.
    const std::string digits = "12.3456";
    EXPECT_TRUE(parseFloat(digits.data(), digits.data() + 1, d));
    EXPECT_EQ(d, 1.0);
    EXPECT_TRUE(parseFloat(digits.data(), digits.data() + 4, d));
    EXPECT_EQ(d, 12.3);
    EXPECT_TRUE(parseInt(digits.data(), digits.data() + 1, i));
    EXPECT_EQ(i, 1);
}
