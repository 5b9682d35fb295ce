// Sentences per second through the sentence scanner and the parsers, on the
// recorded logs of real receivers.

#include "positioning/NmeaParsers.h"
#include "positioning/NmeaSentenceReader.h"

#include "bench/support/RecordedLogs.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

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
    static const std::string stream = Bench::recordedLogs();
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
