#include "positioning/ReplayReport.h"

#include "core/Format.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"

namespace Positioning {

namespace {

class ReportWriter final : public TrackingListener {
  public:
    explicit ReportWriter(std::string& out) : m_out(out) {}

    void onFix(bool valid, const Fix& fix) override {
        const DateTime& t = fix.dateTime;
        std::string time =
            Core::format("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
        // The fraction as the receiver sent its digits ("19.50" stays ".50").
        if (t.millisecond != 0) time += Core::format(".%d", t.millisecond);
        time += "Z";
        m_out += Core::format("%s\t%d\t%.7f\t%.7f\t%.1f\t%.3f\t%.2f\t%.2f\t%.2f\n", time, valid ? 1 : 0,
                              fix.latitude, fix.longitude, fix.altitude, fix.speed, fix.heading, fix.hdop,
                              fix.vdop);
    }

  private:
    std::string& m_out;
};

// The recording without its comment lines, every line ended by a line feed.
std::string withoutComments(std::string_view recording) {
    std::string stream;
    stream.reserve(recording.size() + 1);
    while (!recording.empty()) {
        const std::size_t end = recording.find('\n');
        const std::string_view line = recording.substr(0, end);
        if (line.empty() || line[0] != '#') {
            stream += line;
            stream += '\n';
        }
        recording.remove_prefix(end == std::string_view::npos ? recording.size() : end + 1);
    }
    return stream;
}

} // namespace

std::string replayReport(std::string_view recording) {
    std::string out = "time\tvalid\tlatitude\tlongitude\taltitude\tspeed\theading\thdop\tvdop\n";
    ReplayPortSystem* replay = nullptr;
    System system(u"", 0, nullptr, [&replay](const MessageTexts*) {
        auto ports = std::make_unique<ReplayPortSystem>();
        replay = ports.get();
        return ports;
    });
    if (!replay) return out;
    ReportWriter writer(out);
    system.addListener(&writer);
    system.enable(nullptr);
    replay->feed(withoutComments(recording));
    // A line shorter than the scanner's minimum at the very end goes through
    // once more bytes follow it; empty lines are dropped.
    replay->feed(std::string(NmeaSentenceReader::MinimumScan, '\n'));
    system.removeListener(&writer);
    out += Core::format("satellites\t%d\n", system.getSatellites(nullptr, 0));
    return out;
}

} // namespace Positioning
