// Sentences per second through the sentence scanner and the parsers, on the
// recorded logs of real receivers.

#include "positioning/NmeaParsers.h"
#include "positioning/NmeaSentenceReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The logs one after another in name order: directory order differs from
// one file system to the next, and with it the stream's figures.
std::string allLogs() {
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

class ParsingReader : public Positioning::NmeaSentenceReader {
  public:
    std::int64_t parsed = 0;

  protected:
    void onSentence(const char* text, std::uint32_t length) override {
        Positioning::NmeaRecords records;
        benchmark::DoNotOptimize(Positioning::parseSentence(text, length, records));
        benchmark::DoNotOptimize(records);
        ++parsed;
    }
};

void scanAndParse(benchmark::State& state) {
    static const std::string stream = allLogs();
    if (stream.empty()) {
        state.SkipWithError("no recorded logs under MIREL_TESTDATA_DIR/nmea");
        return;
    }
    std::int64_t sentences = 0;
    for (auto _ : state) {
        ParsingReader reader;
        reader.feed(stream);
        sentences += reader.parsed;
    }
    state.counters["sentences/s"] =
        benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(scanAndParse);

void parseOnly(benchmark::State& state) {
    const std::string gga = "$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D";
    Positioning::NmeaRecords records;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            Positioning::parseSentence(gga.c_str(), static_cast<std::uint32_t>(gga.size()), records));
    state.counters["sentences/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(parseOnly);

} // namespace
