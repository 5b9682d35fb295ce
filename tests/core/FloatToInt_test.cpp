#include "core/FloatToInt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

TEST(FloatToInt, CeilFollowsTheBitsOfTheFloat) {
    EXPECT_EQ(xe::ceilToInt(0.0f), 0);
    EXPECT_EQ(xe::ceilToInt(-0.0f), 0);
    EXPECT_EQ(xe::ceilToInt(0.25f), 1);
    EXPECT_EQ(xe::ceilToInt(1e-40f), 1); // denormal
    EXPECT_EQ(xe::ceilToInt(-0.75f), 0);
    EXPECT_EQ(xe::ceilToInt(1.0f), 1);
    EXPECT_EQ(xe::ceilToInt(1.5f), 2);
    EXPECT_EQ(xe::ceilToInt(-1.5f), -1);
    EXPECT_EQ(xe::ceilToInt(-2.0f), -2);
    EXPECT_EQ(xe::ceilToInt(8388607.5f), 8388608);
    EXPECT_EQ(xe::ceilToInt(16777216.0f), 16777216);
    EXPECT_EQ(xe::ceilToInt(-16777218.0f), -16777218);
    EXPECT_EQ(xe::ceilToInt(2147483520.0f), 2147483520);
    EXPECT_EQ(xe::ceilToInt(-2147483648.0f), INT32_MIN);
    // Beyond the i32 range the result saturates instead of wrapping.
    EXPECT_EQ(xe::ceilToInt(2147483648.0f), INT32_MAX);
    EXPECT_EQ(xe::ceilToInt(1e20f), INT32_MAX);
    EXPECT_EQ(xe::ceilToInt(-1e20f), INT32_MIN);
    EXPECT_EQ(xe::ceilToInt(INFINITY), INT32_MAX);
    EXPECT_EQ(xe::ceilToInt(-INFINITY), INT32_MIN);
    EXPECT_EQ(xe::ceilToInt(NAN), 0);
    // Against the library on a sweep of ordinary values.
    for (float v = -1000.0f; v <= 1000.0f; v += 0.37f)
        EXPECT_EQ(xe::ceilToInt(v), static_cast<std::int32_t>(std::ceil(v))) << v;
}

TEST(FloatToInt, FloorSaturatesAndWrapsTwoPow31) {
    EXPECT_EQ(xe::floorToInt(2147483648.0f), INT32_MIN);
    EXPECT_EQ(xe::floorToInt(4294967296.0f), INT32_MAX);
    EXPECT_EQ(xe::floorToInt(-0.5f), -1);
    EXPECT_EQ(xe::floorToInt(NAN), 0);
}

} // namespace
