// nmea-replay FILE: plays a recorded NMEA stream through the positioning
// system and prints one tab-separated line per fix its tracking listeners
// receive, then the satellite count of the last complete GSV view.

#include "positioning/ReplayReport.h"

#include <fstream>
#include <iostream>
#include <sstream>

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
    std::ostringstream recording;
    recording << in.rdbuf();
    std::cout << Positioning::replayReport(recording.str());
    return 0;
}
