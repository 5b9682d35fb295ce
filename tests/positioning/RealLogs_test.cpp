// The recorded logs of real receivers go through the whole NMEA path, and
// the fixes it produces are compared with another program's decoding of the
// same logs (the TPV reports of the .chk files).

#include "core/Format.h"
#include "positioning/NmeaParsers.h"
#include "positioning/NmeaSentenceReader.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"

#include "NmeaTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>

using PositioningTest::FixRecorder;

namespace {

struct SentenceRecorder : Positioning::DataListener {
    std::vector<std::string> sentences;
    void onData(const char* text, std::uint32_t length) override { sentences.emplace_back(text, length); }
    void enabledChanged(bool) override {}
    void portStateChanged(bool) override {}
};

struct Rig : PositioningTest::ReplaySystem {
    Rig() {
        system.addListener(&fixes);
        system.addDataListener(&sentences);
        system.enable(nullptr);
    }
    ~Rig() { system.removeListener(&fixes); }
    // The stream's last line goes through once bytes follow it.
    void finish() { replay->feed(std::string(Positioning::NmeaSentenceReader::MinimumScan, '\n')); }

    FixRecorder fixes;
    SentenceRecorder sentences;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

// The lines an NMEA reader must accept, decided the textbook way: '$', the
// XOR of everything between '$' and '*', two hex digits after the '*'.
bool textbookChecksum(const std::string& l) {
    const std::size_t star = l.find('*');
    if (l.empty() || l[0] != '$' || star == std::string::npos || star + 3 > l.size()) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(l[i]);
    char* end = nullptr;
    const std::string digits = l.substr(star + 1, 2);
    const unsigned long sent = std::strtoul(digits.c_str(), &end, 16);
    return end == digits.c_str() + 2 && sent == sum;
}

// Minimal JSON: the number or string value of a key in one flat report line.
bool jsonNumber(const std::string& json, const std::string& key, double& out) {
    const std::size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return false;
    const char* start = json.c_str() + at + key.size() + 3;
    char* end = nullptr;
    out = std::strtod(start, &end);
    return end != start;
}

bool jsonString(const std::string& json, const std::string& key, std::string& out) {
    const std::size_t at = json.find("\"" + key + "\":\"");
    if (at == std::string::npos) return false;
    const std::size_t start = at + key.size() + 4;
    const std::size_t end = json.find('"', start);
    if (end == std::string::npos) return false;
    out = json.substr(start, end - start);
    return true;
}

// One input line of a .chk file and the reports that followed it.
struct CheckedLine {
    std::string sentence;
    std::vector<std::string> reports;
};

std::vector<CheckedLine> readCheck(const std::filesystem::path& path) {
    std::vector<CheckedLine> out;
    for (const std::string& l : linesOf(PositioningTest::readFile(path))) {
        if (l.empty() || l[0] == '#') continue;
        if (l[0] == '{') {
            if (!out.empty()) out.back().reports.push_back(l);
        } else {
            out.push_back({l, {}});
        }
    }
    return out;
}

float ulp(float v) {
    return std::nextafter(std::fabs(v), INFINITY) - std::fabs(v);
}

std::vector<std::string> fieldsOf(const std::string& sentence) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : sentence.substr(0, sentence.find('*'))) {
        if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

// "311214" as "2014-12-31".
std::string isoDate(const std::string& ddmmyy) {
    const int yy = std::atoi(ddmmyy.substr(4, 2).c_str());
    return Core::format("%04d-%s-%s", yy < 80 ? 2000 + yy : 1900 + yy, ddmmyy.substr(2, 2),
                        ddmmyy.substr(0, 2));
}

// "132819.6" as "13:28:19.600Z", the other program's form.
std::string isoTime(const std::string& field) {
    if (field.size() < 6) return "";
    std::string fraction = field.size() > 7 ? field.substr(7) : "";
    fraction = (fraction + "000").substr(0, 3);
    return field.substr(0, 2) + ":" + field.substr(2, 2) + ":" + field.substr(4, 2) + "." + fraction + "Z";
}

} // namespace

TEST(RealLogs, EveryLogGoesThroughAndOnlyChecksummedLinesAreAccepted) {
    const auto logs = PositioningTest::recordedLogs();
    ASSERT_GE(logs.size(), 13u) << "no recorded logs in " << PositioningTest::nmeaFolder();
    for (const auto& path : logs) {
        SCOPED_TRACE(path.filename().string());
        const std::string raw = PositioningTest::readFile(path);
        std::vector<std::string> expected;
        for (const std::string& l : linesOf(raw))
            if (textbookChecksum(l)) expected.push_back(l);

        // The raw file, comments included, in one piece and in odd chunks.
        for (std::size_t chunk : {std::size_t{0}, std::size_t{7}, std::size_t{1}}) {
            Rig rig;
            rig.replay->feed(raw, chunk);
            rig.finish();
            EXPECT_EQ(rig.sentences.sentences, expected) << "chunk " << chunk;
            std::uint32_t none = 0;
            EXPECT_LE(rig.system.getSatellites(nullptr, none), 99u);
        }
    }
}

TEST(RealLogs, FixesMatchAnotherDecoding) {
    int logsCompared = 0;
    for (const auto& path : PositioningTest::recordedLogs()) {
        SCOPED_TRACE(path.filename().string());
        // The other program reports an epoch once, under its full time.
        std::map<std::string, std::string> reports;
        for (const CheckedLine& line : readCheck(path.string() + ".chk"))
            for (const std::string& r : line.reports) {
                std::string time;
                if (r.find("\"class\":\"TPV\"") != std::string::npos &&
                    r.find("\"lat\":") != std::string::npos && jsonString(r, "time", time))
                    reports[time] = r;
            }
        Rig rig;
        double lastRmcSpeed = -1;
        double lastRmcSeconds = 0;
        int compared = 0;
        for (const std::string& l :
             linesOf(PositioningTest::withoutComments(PositioningTest::readFile(path)))) {
            const std::size_t before = rig.fixes.fixes.size();
            rig.replay->feed(l + "\r\n");
            rig.finish();
            const std::vector<std::string> f = fieldsOf(l);
            const std::string type = l.size() > 6 ? l.substr(3, 3) : "";
            const bool gga = type == "GGA" && f.size() > 1;
            const bool rmc = type == "RMC" && f.size() > 9;
            if (!gga && !rmc) continue;
            std::string date;
            if (rmc && f[9].size() == 6) date = isoDate(f[9]);
            if (gga && rig.fixes.fixes.size() > before) {
                const auto& t = rig.fixes.fixes.back().second.dateTime;
                if (t.year != 0) date = Core::format("%04d-%02d-%02d", t.year, t.month, t.day);
            }
            const auto found = date.empty() ? reports.end() : reports.find(date + "T" + isoTime(f[1]));
            const std::string* report = found == reports.end() ? nullptr : &found->second;
            for (std::size_t i = before; i < rig.fixes.fixes.size(); ++i) {
                const auto& [isValid, fix] = rig.fixes.fixes[i];
                if (!isValid || !report) continue;
                SCOPED_TRACE(l);
                double lat = 0, lon = 0, speed = 0, alt = 0;
                ASSERT_TRUE(jsonNumber(*report, "lat", lat) && jsonNumber(*report, "lon", lon)) << *report;
                EXPECT_NEAR(fix.latitude, lat, ulp(fix.latitude) + 1e-7) << *report;
                EXPECT_NEAR(fix.longitude, lon, ulp(fix.longitude) + 1e-7) << *report;
                if (gga) {
                    // The epoch's time, found under the fix's own date and time.
                    const auto& t = fix.dateTime;
                    const std::string ours = Core::format("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month,
                                                          t.day, t.hour, t.minute, t.second);
                    EXPECT_EQ(found->first.substr(0, 19), ours);
                    EXPECT_NEAR(t.millisecond / 1000.0,
                                std::atof(found->first.substr(19).c_str()), 1e-9);
                    if (jsonNumber(*report, "altMSL", alt) || jsonNumber(*report, "alt", alt)) {
                        EXPECT_NEAR(fix.altitude, alt, 1e-3) << *report;
                    }
                    // A GGA carries the previous RMC's speed, one of the
                    // last three seconds; after a gap its own has nothing
                    // to compare to (nmea-rtk.log: 30 minutes).
                    const double seconds = t.hour * 3600.0 + t.minute * 60.0 + t.second;
                    if (lastRmcSpeed >= 0 && seconds - lastRmcSeconds <= 3.0) {
                        EXPECT_NEAR(fix.speed, lastRmcSpeed, lastRmcSpeed * 0.001 + 0.002) << *report;
                    } else if (lastRmcSpeed >= 0) {
                        EXPECT_EQ(fix.speed, 0.0f) << *report;
                    }
                } else {
                    const auto& t = fix.dateTime;
                    EXPECT_EQ(date, Core::format("%04d-%02d-%02d", t.year, t.month, t.day));
                    // Knots are converted with 0.514, not 0.51444: 0.1 % apart.
                    if (jsonNumber(*report, "speed", speed)) {
                        EXPECT_NEAR(fix.speed, speed, speed * 0.001 + 0.002) << *report;
                    }
                }
                ++compared;
            }
            double speed = 0;
            if (rmc && report && jsonNumber(*report, "speed", speed)) {
                lastRmcSpeed = speed;
                lastRmcSeconds = std::atoi(f[1].substr(0, 2).c_str()) * 3600.0 +
                                 std::atoi(f[1].substr(2, 2).c_str()) * 60.0 + std::atof(f[1].substr(4).c_str());
            }
        }
        std::cout << path.filename().string() << ": " << compared << " fixes compared\n";
        if (compared > 0) ++logsCompared;
    }
    EXPECT_GE(logsCompared, 10);
}

// Differential: every fix the other program decoded from the recorded logs
// (a TPV report with a position at the sentence's time) is a sentence the
// parser accepts, so the checks against hostile fields lose no good fix.
TEST(RealLogs, EveryFixTheOtherDecodingReportsIsKept) {
    std::size_t kept = 0;
    for (const auto& path : PositioningTest::recordedLogs()) {
        SCOPED_TRACE(path.filename().string());
        std::map<std::string, bool> reportedTimes; // "hh:mm:ss.fffZ" of the reports with a position
        for (const CheckedLine& line : readCheck(path.string() + ".chk"))
            for (const std::string& r : line.reports) {
                std::string time;
                if (r.find("\"class\":\"TPV\"") != std::string::npos && r.find("\"lat\":") != std::string::npos &&
                    jsonString(r, "time", time) && time.size() > 11)
                    reportedTimes[time.substr(11)] = true;
            }
        for (const std::string& l : linesOf(PositioningTest::withoutComments(PositioningTest::readFile(path)))) {
            if (!textbookChecksum(l) || l.size() < 7 || l[1] != 'G' || (l[2] != 'P' && l[2] != 'N')) continue;
            const std::vector<std::string> f = fieldsOf(l);
            const std::string type = l.substr(3, 3);
            const bool claimed = (type == "GGA" && f.size() > 6 && std::atoi(f[6].c_str()) > 0) ||
                                 (type == "RMC" && f.size() > 2 && f[2] == "A");
            if (!claimed || !reportedTimes.count(isoTime(f[1]))) continue;
            Positioning::NmeaRecords records;
            EXPECT_NE(Positioning::parseSentence(l.c_str(), static_cast<std::uint32_t>(l.size()), records),
                      Positioning::SentenceKind::ParseError)
                << l;
            ++kept;
        }
    }
    std::cout << kept << " reported fixes parsed\n";
    EXPECT_GE(kept, 400u);
}
