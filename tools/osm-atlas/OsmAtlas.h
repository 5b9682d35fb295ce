#pragma once
// Builds a city map of the project's format from an OpenStreetMap extract
// (PBF): roads by highway class with the routing graph (one-way streets,
// roundabouts, car access, turn restrictions), areas, POIs, addresses, and
// the text-search and spatial-search sections. libosmium decodes the file,
// keeps the node locations and assembles the multipolygons; the map writer
// writes the bytes. docs/osm-import.md lists every tag decision.

#include "tools/mapwriter/MapDescription.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>

namespace OsmAtlas {

struct Import {
    MapWriting::MapDescription map;
    // The graph node each OSM node of a car road became, when it became one.
    std::unordered_map<std::int64_t, std::uint32_t> graphNodes;
    struct Counts {
        std::size_t roads = 0, segments = 0, restrictions = 0, skippedRestrictions = 0;
        std::size_t areas = 0, pois = 0, houses = 0, streets = 0;
    } counts;
};

// Reads the extract and describes its map; throws std::runtime_error for a
// file libosmium cannot read and std::invalid_argument when the data does
// not fit the format (a town beyond 65536 cells).
Import import(const std::filesystem::path& pbf);

// The map file name an extract gets: "monaco.osm.pbf" gives "monaco.kvm".
std::string mapFileName(const std::filesystem::path& pbf);

// Imports the extract and writes its map into folder (created when missing).
Import write(const std::filesystem::path& pbf, const std::filesystem::path& folder);

} // namespace OsmAtlas
