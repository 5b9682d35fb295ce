// Reads a GPX file through the waypoint reader, prints one tab-separated
// line per waypoint (name, latitude and longitude as the writer writes them,
// symbol, POI type in hex, 0x6613) and writes the points back out through
// the writer.
// No render styles are loaded, so no type counts as known: every point keeps
// the default type and its file's symbol.
//
//     gpx-roundtrip IN.gpx OUT.gpx

#include "core/FileSystem.h"
#include "core/Format.h"
#include "core/Text.h"
#include "userdata/fdWPManager.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

// Tabs and line ends inside a text would break the line format.
std::string column(const std::u16string& text) {
    std::string out = Core::wideToUtf8(text);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gpx-roundtrip IN.gpx OUT.gpx\n");
        return 2;
    }
    fdWPManager manager(nullptr, u"");
    manager.addCategory(u"points");
    try {
        manager.readGpx(FileSystem::toWide(std::string(argv[1])), 0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gpx-roundtrip: %s: %s\n", argv[1], e.what());
        return 1;
    }
    std::vector<const StoredWayPoint*> points;
    for (std::size_t i = 0; i < manager.pointCount(); ++i) {
        const StoredWayPoint& p = manager.storedPoint(i);
        const Gpx::WrittenPlace place = Gpx::writtenPlace(p);
        const std::string line = Core::format("%s\t%s\t%s\t%s\t0x%04x\n", column(p.name), place.latitude,
                                              place.longitude, column(p.symbol), int{p.type});
        std::fputs(line.c_str(), stdout);
        points.push_back(&p);
    }
    if (!manager.writeGpx(FileSystem::toWide(std::string(argv[2])), points)) {
        std::fprintf(stderr, "gpx-roundtrip: can't write %s\n", argv[2]);
        return 3;
    }
    return 0;
}
