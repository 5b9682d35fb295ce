// The recorded NMEA logs of real receivers as one stream, for the positioning
// benchmarks.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace Bench {

// The logs one after another in name order: directory order differs from
// one file system to the next, and with it the stream's figures.
inline std::string recordedLogs() {
    std::vector<std::filesystem::path> logs;
    const std::filesystem::path folder = std::filesystem::path(MIREL_TESTDATA_DIR) / "nmea";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".log") logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end());
    std::string stream;
    for (const auto& path : logs) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        stream += text.str();
    }
    return stream;
}

} // namespace Bench
