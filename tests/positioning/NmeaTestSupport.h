#pragma once
// Helpers shared by the positioning tests: sentences with their checksum,
// the recorded logs, and a listener that keeps every fix.

#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"
#include "positioning/TrackingListener.h"
#include "tests/support/SharedTestData.h"

#include <algorithm>
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
struct ReplaySystem {
    Positioning::ReplayPortSystem* replay = nullptr;
    Positioning::System system{u"", 0, nullptr, [this](const Positioning::MessageTexts*) {
                                   auto ports = std::make_unique<Positioning::ReplayPortSystem>();
                                   replay = ports.get();
                                   return ports;
                               }};
};

struct FixRecorder : Positioning::TrackingListener {
    std::vector<std::pair<bool, Positioning::Fix>> fixes;
    void onFix(bool valid, const Positioning::Fix& fix) override { fixes.emplace_back(valid, fix); }
};

} // namespace PositioningTest
