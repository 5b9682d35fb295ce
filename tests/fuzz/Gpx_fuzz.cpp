// A GPX file of waypoints: read with what can be read, then what was read
// written and read again: it comes back as many points.
#include "tests/fuzz/FuzzInput.h"
#include "userdata/Gpx.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Gpx::ReadPoint> points;
    try {
        points = Gpx::readWaypoints(text, nullptr, 1);
    } catch (const std::exception&) {
        // "Invalid GPX file", or the XML parser's complaint.
        return 0;
    }
    std::vector<const StoredWayPoint*> stored;
    for (const Gpx::ReadPoint& p : points)
        stored.push_back(&p.point);
    std::string written = Gpx::writeWaypoints(stored, nullptr);
    if (Gpx::readWaypoints(written, nullptr, 1).size() != points.size())
        __builtin_trap();
    return 0;
}
