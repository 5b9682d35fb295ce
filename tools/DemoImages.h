#pragma once
// The pictures of the demo data: POI icons and polygon patterns, drawn in
// code and written as 32-bit BMPs with alpha, so that no binary file is kept
// in the repository.

#include <filesystem>
#include <string>
#include <vector>

namespace DemoData {

// Writes icons/*.bmp, patterns/*.bmp and the skin's skin/*.bmp under the
// data folder; returns the
// relative names written, empty when a file could not be written.
std::vector<std::string> writeImages(const std::filesystem::path& dataFolder);

} // namespace DemoData
