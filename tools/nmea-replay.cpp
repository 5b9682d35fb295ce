// nmea-replay FILE: plays a recorded NMEA stream through the positioning
// system and prints one tab-separated line per fix its tracking listeners
// receive, then the satellite count of the last complete GSV view.
// Lines starting with '#' are taken as comments of the recording.

#include "core/Format.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

class Printer final : public Positioning::TrackingListener {
public:
    void onFix(bool valid, const Positioning::Fix& fix) override {
        const Positioning::DateTime& t = fix.dateTime;
        // The fraction is printed as the receiver sent its digits.
        std::string time = Core::format("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                                        t.second);
        if (t.millisecond != 0)
            time += Core::format(".%d", t.millisecond);
        time += "Z";
        std::cout << Core::format("%s\t%d\t%.7f\t%.7f\t%.1f\t%.3f\t%.2f\t%.2f\t%.2f\n", time, valid ? 1 : 0,
                                  fix.latitude, fix.longitude, fix.altitude, fix.speed, fix.heading, fix.hdop,
                                  fix.vdop);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: nmea-replay FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "nmea-replay: can't open " << argv[1] << "\n";
        return 1;
    }
    std::string stream;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '#')
            continue;
        stream += line;
        stream += '\n';
    }

    Positioning::ReplayPortSystem* replay = nullptr;
    Positioning::System system(u"", 0, nullptr, [&replay](const Positioning::MessageTexts*) {
        auto ports = std::make_unique<Positioning::ReplayPortSystem>();
        replay = ports.get();
        return ports;
    });
    if (!replay)
        return 1;
    Printer printer;
    system.addListener(&printer);
    system.enable(nullptr);
    std::cout << "time\tvalid\tlatitude\tlongitude\taltitude\tspeed\theading\thdop\tvdop\n";
    replay->feed(stream);
    // A stream's last line is scanned only once more bytes follow it.
    replay->feed(std::string(Positioning::NmeaSentenceReader::MinimumScan, '\n'));
    std::cout << Core::format("satellites\t%d\n", system.getSatellites(nullptr, 0));
    system.removeListener(&printer);
    return 0;
}
