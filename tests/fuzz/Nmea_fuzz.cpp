// An NMEA stream through the whole positioning path (sentence reader,
// parsers, device, tracking), each sentence through the parsers on its
// own in a buffer of its exact size, and the replay report.
#include "positioning/NmeaParsers.h"
#include "positioning/ReplayReport.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/positioning/NmeaTestSupport.h"

#include <cmath>
#include <memory>

namespace {

struct Checker : Positioning::DataListener, Positioning::TrackingListener {
    void onData(const char* text, std::uint32_t length) override {
        if (text[length] != '\0' || !Positioning::nmeaChecksumMatches(text, length))
            __builtin_trap(); // a sentence handed on without its checksum holding
        auto exact = std::make_unique<char[]>(length + 1);
        std::copy(text, text + length + 1, exact.get());
        Positioning::NmeaRecords records;
        Positioning::parseSentence(exact.get(), length, records);
    }
    void enabledChanged(bool) override {}
    void portStateChanged(bool) override {}
    void onFix(bool valid, const Positioning::Fix& fix) override {
        if (valid && !(std::isfinite(fix.latitude) && std::isfinite(fix.longitude) && std::isfinite(fix.speed)))
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PositioningTest::ReplaySystem rig;
    Positioning::System& system = rig.system;
    Checker checker;
    system.addDataListener(&checker);
    system.addListener(&checker);
    system.enable(nullptr);
    rig.replay->feed(bytes, size % 97 + 1);
    Positioning::Satellite sky[64];
    const std::uint32_t known = system.getSatellites(sky, 64);
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(known, 64); ++i)
        if (sky[i].snr < 0 || sky[i].snr > 99)
            __builtin_trap();
    system.removeListener(&checker);
    system.removeDataListener(&checker);
    Positioning::replayReport(bytes);
    return 0;
}
