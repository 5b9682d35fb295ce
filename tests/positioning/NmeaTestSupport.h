#pragma once
// Helpers shared by the positioning tests: sentences with their checksum,
// the recorded logs, and a listener that keeps every fix.

#include "core/Format.h"
#include "map/Projection.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"
#include "positioning/TrackingListener.h"
#include "tests/support/SharedTestData.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace PositioningTest {

// "$" + body + "*" + the two upper-case hex digits of the XOR of the body.
inline std::string sentence(std::string_view body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum & 0xFF);
    std::string out(1, '$'); // appended, not prefixed: GCC 12 at -O3 misreads a prefix insert
    out.append(body).append(tail);
    return out;
}

inline std::string line(std::string_view body) {
    return sentence(body).append("\r\n");
}

// The ways a receiver sends its epoch: RMC before GGA (most), GGA before
// RMC (many USB receivers), GGA alone (no speed, no course), RMC with an
// empty course field, RMC with empty speed and course fields.
enum class Receiver { RmcFirst, GgaFirst, GgaOnly, EmptyCourse, EmptySpeedAndCourse };

// A coordinate in degrees as NMEA writes it: (d)ddmm.mmmmm and its hemisphere.
inline std::string nmeaDegrees(double value, char positive, char negative, int width) {
    const char hemisphere = value >= 0 ? positive : negative;
    value = std::fabs(value);
    const int whole = static_cast<int>(value);
    return Core::format("%0*d%08.5f,%c", width, whole, (value - whole) * 60.0, hemisphere);
}

// One epoch of a receiver with a fix at a global map point, `seconds` after
// 10:00:00 (to the hundredth): its RMC and GGA (with the HDOP) in the
// receiver's way, then GSA and two GSV.
inline std::string epoch(Receiver receiver, double seconds, Map::Point at, float metresPerSecond,
                         float courseDegrees, float hdop = 0.9f) {
    const auto hundredths = static_cast<int>(std::lround(seconds * 100.0));
    const int s = hundredths / 100;
    const std::string time =
        Core::format("%02d%02d%02d.%02d", 10 + s / 3600, s / 60 % 60, s % 60, hundredths % 100);
    const Map::GeoPoint geo = Map::Projection::toGeo(at);
    const std::string pos =
        nmeaDegrees(geo.latitude, 'N', 'S', 2) + "," + nmeaDegrees(geo.longitude, 'E', 'W', 3);
    const bool noSpeed = receiver == Receiver::EmptySpeedAndCourse;
    const bool noCourse = noSpeed || receiver == Receiver::EmptyCourse;
    const std::string course = noCourse ? "" : Core::format("%.1f", courseDegrees);
    const std::string speed = noSpeed ? "" : Core::format("%.2f", metresPerSecond / 0.514f);
    const std::string rmc = line("GPRMC," + time + ",A," + pos + "," + speed + "," + course + ",071226,,,A");
    const std::string gga = line("GPGGA," + time + "," + pos + Core::format(",1,08,%.1f,40.0,M,48.0,M,,", hdop));
    const std::string both = receiver == Receiver::GgaOnly    ? gga
                             : receiver == Receiver::GgaFirst ? gga + rmc
                                                              : rmc + gga;
    return both + line("GPGSA,A,3,02,05,09,12,17,21,25,29,,,,,1.6,0.9,1.3") +
           line("GPGSV,2,1,08,02,45,060,41,05,30,120,38,09,60,200,44,12,20,300,35") +
           line("GPGSV,2,2,08,17,70,030,46,21,15,240,33,25,50,160,40,29,35,080,37");
}

inline std::filesystem::path nmeaFolder() {
    return TestSupport::sharedTestData("nmea");
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The recording without the collection's '#' comment lines.
inline std::string withoutComments(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l.empty() || l[0] != '#') out += l + "\n";
    return out;
}

// The logs of the collection, sorted by name.
inline std::vector<std::filesystem::path> recordedLogs() {
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(nmeaFolder()))
        if (entry.path().extension() == ".log") logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end());
    return logs;
}

// A positioning system whose port is a replay: bytes fed to `replay` go
// the whole way to fixes on the caller's thread once the system is enabled.
// Its clock is the system's, or one the caller keeps.
struct ReplaySystem {
    explicit ReplaySystem(Positioning::Clock& clock = Positioning::systemClock())
        : system(u"", 0, nullptr,
                 [this](const Positioning::MessageTexts*) {
                     auto ports = std::make_unique<Positioning::ReplayPortSystem>();
                     replay = ports.get();
                     return ports;
                 },
                 clock) {}
    Positioning::ReplayPortSystem* replay = nullptr;
    Positioning::System system;
};

// A clock that stands until the test moves it.
struct StandingClock : Positioning::Clock {
    std::uint32_t ticks = 5000;
    std::uint32_t ticksMs() const override { return ticks; }
    Positioning::DateTime localTime() const override { return {}; }
};

struct FixRecorder : Positioning::TrackingListener {
    std::vector<std::pair<bool, Positioning::Fix>> fixes;
    void onFix(bool valid, const Positioning::Fix& fix) override { fixes.emplace_back(valid, fix); }
};

// A data listener that keeps the seconds of the sentences it hears ("$..,hhmmss"
// after the first comma) and notes every breach of the hand-over's rules: a
// sentence outside a read, a read begun inside another, any call after its
// removal (set `removed` once removeDataListener returned). The GPS thread
// alone writes it until the removal; `heard` may be read at any time.
struct ReadRecorder : Positioning::DataListener {
    std::vector<int> seconds;
    std::atomic<int> heard = 0;
    std::atomic<bool> removed = false;
    int begins = 0;
    int ends = 0;
    bool inRead = false;
    int outsideRead = 0;
    int nested = 0;
    int afterRemoval = 0;

    void onData(const char* text, std::uint32_t length) override {
        afterRemoval += removed ? 1 : 0;
        outsideRead += inRead ? 0 : 1;
        const std::string_view sentence(text, length);
        const std::size_t comma = sentence.find(',');
        seconds.push_back(comma == std::string_view::npos || comma + 7 > length
                              ? -1
                              : (sentence[comma + 5] - '0') * 10 + (sentence[comma + 6] - '0'));
        ++heard;
    }
    void readBegins() override {
        afterRemoval += removed ? 1 : 0;
        nested += inRead ? 1 : 0;
        inRead = true;
        ++begins;
    }
    void readEnds() override {
        afterRemoval += removed ? 1 : 0;
        inRead = false;
        ++ends;
    }
    void enabledChanged(bool) override { outsideRead += inRead ? 1 : 0; }
    void portStateChanged(bool) override { outsideRead += inRead ? 1 : 0; }

    // Whether every sentence heard followed the one before it in a stream
    // that says the seconds 0 to `period` - 1 round and round.
    bool heardARun(int period) const {
        for (std::size_t i = 1; i < seconds.size(); ++i)
            if (seconds[i] != (seconds[i - 1] + 1) % period) return false;
        return true;
    }
};

} // namespace PositioningTest
