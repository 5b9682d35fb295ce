#pragma once
// Real data recorded by other programs (NMEA logs, GPX files, the GPX
// schema) lies in tests/data (MIREL_TESTDATA_DIR, which the configuration
// checks file by file). A test that reads it fails with a plain word on
// where the folder is expected, rather than with the file errors that would
// follow.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace TestSupport {

inline std::filesystem::path sharedTestData(const std::string& relative) {
    const std::filesystem::path root = MIREL_TESTDATA_DIR;
    if (!std::filesystem::is_directory(root))
        ADD_FAILURE() << "the test data is missing: expected at "
                      << std::filesystem::absolute(root).lexically_normal().string() << " (tests/data)";
    return root / relative;
}

} // namespace TestSupport
