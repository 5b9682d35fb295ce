#pragma once
// The demo atlas: a small synthetic town ("Linden") with its region and its
// country, as three maps of decreasing detail written by the project's map
// writer. The run command's data folder and the tests use it.

#include "tools/mapwriter/MapDescription.h"

#include <filesystem>
#include <string>
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

// Writes every map of describe() into folder (created when missing); throws
// std::runtime_error when a file cannot be written.
void write(const std::filesystem::path& folder);

} // namespace DemoAtlas
