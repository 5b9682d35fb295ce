// The whole receiver path on the recorded logs of real receivers: bytes as a
// port delivers them go through the replay port system, the sentence
// scanner, the NMEA device (parsing, fix and satellite state) and the
// positioning system to a tracking listener, as tools/nmea-replay drives it.

#include "positioning/NmeaSentenceReader.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"
#include "positioning/TrackingListener.h"

#include "bench/support/RecordedLogs.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// The 13 logs one after another in name order, comments included (the
// scanner drops them as a port would drop noise).
std::string recordedStream() {
    std::string stream = Bench::recordedLogs();
    // The last line goes through once bytes follow it.
    stream.append(Positioning::NmeaSentenceReader::MinimumScan, '\n');
    return stream;
}

struct FixCounter : Positioning::TrackingListener {
    std::int64_t fixes = 0;
    void onFix(bool valid, const Positioning::Fix& fix) override {
        benchmark::DoNotOptimize(fix);
        fixes += valid ? 1 : 0;
    }
};

// chunk 0: the stream in pieces as large as the scanner's free space;
// 150: the serial port system's reads of a probed port.
void receiverPath(benchmark::State& state) {
    static const std::string stream = recordedStream();
    if (stream.size() <= Positioning::NmeaSentenceReader::MinimumScan) {
        state.SkipWithError("no recorded logs under MIREL_TESTDATA_DIR/nmea");
        return;
    }
    const auto chunk = static_cast<std::size_t>(state.range(0));
    Positioning::ReplayPortSystem* replay = nullptr;
    Positioning::System system(u"", 0, nullptr, [&replay](const Positioning::MessageTexts*) {
        auto ports = std::make_unique<Positioning::ReplayPortSystem>();
        replay = ports.get();
        return ports;
    });
    FixCounter counter;
    system.addListener(&counter);
    system.enable(nullptr);
    std::int64_t sentences = 0;
    for (auto _ : state)
        sentences += replay->feed(stream, chunk);
    system.removeListener(&counter);
    state.counters["sentences/s"] =
        benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
    state.counters["fixes"] = static_cast<double>(counter.fixes) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(receiverPath)->ArgName("chunk")->Arg(0)->Arg(150);

} // namespace
