#pragma once
// The build's data folder as a first run finds it, for the tests and
// benchmarks that start the program or load its atlases: the build is
// shared with tools/run-demo.sh, and what a driver left in it (settings, an
// atlas's view, routes, search history) stays behind. tools/first-run-data.sh
// holds the one list of those files; these run it.

#include <filesystem>

namespace TestSupport {

// Copies the data folder `from` into `to`, a folder not there yet. Throws
// std::runtime_error when the copy fails.
void copyFirstRunData(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes what a driver leaves in an atlas folder (its view, routes and
// search history) from `atlas`, a copy of one. Throws std::runtime_error
// when that fails.
void forgetDriverFiles(const std::filesystem::path& atlas);

} // namespace TestSupport
