#pragma once
// The demo atlas: a small synthetic town ("Linden") with its region and its
// country, as three maps of decreasing detail written by the project's map
// writer. The run command's data folder and the tests use it.

#include "tools/mapwriter/MapDescription.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace DemoAtlas {

struct DemoMap {
    std::string fileName;
    MapWriting::MapDescription description;
};

// The town (city map, levels of 26 and 23 coordinate bits), the region
// (region map, 21 and 19 bits) and the country (country map, 17 and 15
// bits).
std::vector<DemoMap> describe();

// The global map point (x, y) of a place given in metres east and north of
// the town centre, as the maps place it.
std::pair<std::int64_t, std::int64_t> globalOf(double eastMetres, double northMetres);
// Global units per metre at the town.
double unitsPerMetre();

// Writes every map of describe() into folder (created when missing); throws
// std::runtime_error when a file cannot be written.
void write(const std::filesystem::path& folder);

} // namespace DemoAtlas
