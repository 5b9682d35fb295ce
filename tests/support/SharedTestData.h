#pragma once
// Real data recorded by other programs (NMEA logs, GPX files, an OSM
// extract) is not part of the repository: it lies in shared/testdata beside
// the clone (MIREL_TESTDATA_DIR, set when configuring). A test that reads it
// fails with a plain word on where the folder is expected, rather than with
// the file errors that would follow.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace TestSupport {

inline std::filesystem::path sharedTestData(const std::string& relative) {
    const std::filesystem::path root = MIREL_TESTDATA_DIR;
    if (!std::filesystem::is_directory(root))
        ADD_FAILURE() << "the shared test data is missing: expected at "
                      << std::filesystem::absolute(root).lexically_normal().string()
                      << " (shared/testdata beside the repository; configure with -DMIREL_TESTDATA_DIR=FOLDER "
                         "to take it from elsewhere)";
    return root / relative;
}

} // namespace TestSupport
