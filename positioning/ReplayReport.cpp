#include "positioning/ReplayReport.h"

#include "core/Format.h"
#include "positioning/NmeaParsers.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"

#include <algorithm>

namespace Positioning {

namespace {

class ReportWriter final : public TrackingListener {
  public:
    explicit ReportWriter(std::string& out) : m_out(out) {}

    void onFix(bool valid, const Fix& fix) override {
        // Until the receiver's first valid fix nothing of a fix is known:
        // no position, no time (zeros would read as a place and midnight).
        m_fixed = m_fixed || valid;
        if (!m_fixed) {
            m_out += "-\t0\t-\t-\t-\t-\t-\t-\t-\n";
            return;
        }
        const DateTime& t = fix.dateTime;
        // The date comes with an RMC: before the first one (or from a
        // receiver that sends none) the time of day stands alone.
        std::string time = t.year != 0 ? Core::format("%04d-%02d-%02dT", t.year, t.month, t.day) : std::string();
        time += Core::format("%02d:%02d:%02d", t.hour, t.minute, t.second);
        // The fix holds milliseconds; with the count of decimals the
        // receiver writes they print as sent (".05" for 50 ms in two), to the
        // millisecond.
        if (t.millisecond != 0) {
            std::string fraction = Core::format("%03d", t.millisecond);
            fraction.resize(std::max<std::size_t>(m_decimals, 1), '0');
            time += "." + fraction;
        }
        time += "Z";
        m_out += Core::format("%s\t%d\t%.7f\t%.7f\t%.1f\t%.3f\t%.2f\t%.2f\t%.2f\n", time, valid ? 1 : 0,
                              fix.latitude, fix.longitude, fix.altitude, fix.speed, fix.heading, fix.hdop,
                              fix.vdop);
    }

    // The time of day of a fix comes from the last valid GGA: before each
    // line goes in, note the decimals of its time field if it is one.
    void noteLine(std::string_view line) {
        // The line as the scanner cuts it: control bytes in front belong to
        // the line end before it, the next one ends it.
        const auto isLineEnd = [](char c) { return static_cast<signed char>(c) < 32; };
        std::size_t begin = 0;
        while (begin < line.size() && isLineEnd(line[begin]))
            ++begin;
        std::size_t stop = begin;
        while (stop < line.size() && !isLineEnd(line[stop]))
            ++stop;
        const std::string sentence(line.substr(begin, stop - begin));
        NmeaRecords records;
        const auto size = static_cast<std::uint32_t>(sentence.size());
        if (!nmeaChecksumMatches(sentence.c_str(), size) ||
            parseSentence(sentence.c_str(), size, records) != SentenceKind::Gga || records.gga.quality == 0)
            return;
        // The decimals the parser read (as many as 16 bits hold).
        m_decimals = records.gga.time.fractionDigits;
    }

  private:
    std::string& m_out;
    std::size_t m_decimals = 0;
    bool m_fixed = false;
};

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
    // The recording plays as fast as it can: its fixes are judged at the
    // pace the receiver sent them.
    system.judgeFixesByTheirOwnTimes();
    ReportWriter writer(out);
    system.addListener(&writer);
    system.enable(nullptr);
    // Line by line, comment lines left out, each ended by a line feed; a line
    // of a sentence is long enough to be scanned as soon as it is in.
    while (!recording.empty()) {
        const std::size_t end = recording.find('\n');
        const std::string_view line = recording.substr(0, end);
        if (line.empty() || line[0] != '#') {
            writer.noteLine(line);
            replay->feed(std::string(line) + '\n');
        }
        recording.remove_prefix(end == std::string_view::npos ? recording.size() : end + 1);
    }
    // A line shorter than the scanner's minimum at the very end goes through
    // once more bytes follow it; empty lines are dropped.
    replay->feed(std::string(NmeaSentenceReader::MinimumScan, '\n'));
    system.removeListener(&writer);
    out += Core::format("satellites\t%d\n", system.getSatellites(nullptr, 0));
    return out;
}

} // namespace Positioning
