#include "core/FloatToInt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

// Ceiling saturates beyond the i32 range instead of wrapping; NaN gives 0.
std::int32_t referenceCeil(float v) {
    if (std::isnan(v)) return 0;
    const double d = std::ceil(static_cast<double>(v));
    return d > 2147483647.0 ? INT32_MAX : d < -2147483648.0 ? INT32_MIN : static_cast<std::int32_t>(d);
}

TEST(FloatToInt, CeilFollowsTheBitsOfTheFloat) {
    for (const float v : {0.0f, -0.0f, 0.25f, 1e-40f, -0.75f, 1.0f, 1.5f, -1.5f, -2.0f, 8388607.5f, 16777216.0f,
                          -16777218.0f, 2147483520.0f, -2147483648.0f, 2147483648.0f, 1e20f, -1e20f, INFINITY, -INFINITY,
                          NAN})
        EXPECT_EQ(xe::ceilToInt(v), referenceCeil(v)) << v;
    for (float v = -1000.0f; v <= 1000.0f; v += 0.37f)
        EXPECT_EQ(xe::ceilToInt(v), referenceCeil(v)) << v;
}

} // namespace
