// Writes the map of an OpenStreetMap extract into an atlas folder:
//
//   osm-atlas EXTRACT.osm.pbf ATLAS_FOLDER

#include "tools/osm-atlas/OsmAtlas.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s EXTRACT.osm.pbf ATLAS_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const OsmAtlas::Import imported = OsmAtlas::write(argv[1], argv[2]);
        const OsmAtlas::Import::Counts& c = imported.counts;
        std::printf(
            "%s: %zu roads in %zu segments, %zu turn restrictions (%zu left out), %zu areas, %zu POIs, "
            "%zu streets, %zu houses\n",
            OsmAtlas::mapFileName(argv[1]).c_str(), c.roads, c.segments, c.restrictions,
            c.skippedRestrictions, c.areas, c.pois, c.streets, c.houses);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "osm-atlas: %s\n", error.what());
        return 1;
    }
    return 0;
}
