#include "userdata/Gpx.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A waypoint inside extensions nested to depth n in all (gpx counted).
std::string nested(int depth) {
    std::string open, close;
    for (int i = 2; i < depth; ++i) {
        open += "<x>";
        close = "</x>" + close;
    }
    return "<gpx><wpt lat=\"1\" lon=\"2\"><name>p</name>" + open + close + "</wpt></gpx>";
}

TEST(GpxDepth, SixtyFourLevelsAreReadAndSixtyFiveRefused) {
    for (const auto& [depth, read] : {std::pair{63, true}, {64, true}, {65, false}, {200, false}}) {
        std::string text = nested(depth);
        if (read) {
            EXPECT_EQ(Gpx::readWaypoints(text, nullptr, 0).size(), 1u) << depth;
        } else {
            EXPECT_THROW(Gpx::readWaypoints(text, nullptr, 0), std::runtime_error) << depth;
        }
    }
}

} // namespace
