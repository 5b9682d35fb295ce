#include "render/Numeric.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

std::int32_t referenceFloor(float v) {
    if (std::isnan(v)) return 0;
    const double d = std::floor(static_cast<double>(v));
    if (d == 2147483648.0) return kMin; // +180 degrees of longitude wraps to -180
    if (d > 2147483647.0) return kMax;
    if (d < -2147483648.0) return kMin;
    return static_cast<std::int32_t>(d);
}

float fromBits(std::uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

TEST(FloorToInt, EdgeValues) {
    const float inf = std::numeric_limits<float>::infinity();
    for (const float v : {-0.5f, 0.99f, -2.0f, 0.0f, -0.0f, 1.0f, -1.0f, 2.5f, -2.5f, 8388607.5f, -8388607.5f,
                          16777216.0f, 1e-40f, -1e-40f, 2147483520.0f, 2147483648.0f, 2147483904.0f, -2147483648.0f,
                          -2147483904.0f, 4294967296.0f, -4294967296.0f, 1e30f, -1e30f, inf, -inf,
                          std::numeric_limits<float>::quiet_NaN(), fromBits(0xFFC00001u)})
        EXPECT_EQ(xe::floorToInt(v), referenceFloor(v)) << v;
    // +180 degrees of longitude wraps to -180.
    EXPECT_EQ(xe::floorToInt(2147483648.0f), kMin);
}

TEST(FloorToInt, MatchesReferenceOnRandomBitPatterns) {
    std::mt19937 random(RenderTest::testSeed());
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_real_distribution<float> moderate(-70000.0f, 70000.0f);
    for (int i = 0; i < 1000000; ++i) {
        const float v = fromBits(bits(random));
        ASSERT_EQ(xe::floorToInt(v), referenceFloor(v)) << "bits " << std::hex << i;
        const float w = moderate(random);
        ASSERT_EQ(xe::floorToInt(w), referenceFloor(w)) << w;
    }
    // Every float near the integers around zero and the 2^23 boundary.
    for (std::uint32_t b = 0x3F000000u; b < 0x3F000000u + 200000; ++b) {
        ASSERT_EQ(xe::floorToInt(fromBits(b)), referenceFloor(fromBits(b)));
        ASSERT_EQ(xe::floorToInt(fromBits(b | 0x80000000u)), referenceFloor(fromBits(b | 0x80000000u)));
    }
    for (std::uint32_t b = 0x4AFFF000u; b < 0x4B001000u; ++b) {
        ASSERT_EQ(xe::floorToInt(fromBits(b)), referenceFloor(fromBits(b)));
        ASSERT_EQ(xe::floorToInt(fromBits(b | 0x80000000u)), referenceFloor(fromBits(b | 0x80000000u)));
    }
}

std::uint64_t referenceSqrt(std::uint64_t n) {
    std::uint64_t r = static_cast<std::uint64_t>(std::sqrt(static_cast<long double>(n)));
    while (r > 0 && static_cast<unsigned __int128>(r) * r > n)
        --r;
    while (static_cast<unsigned __int128>(r + 1) * (r + 1) <= n)
        ++r;
    return r;
}

TEST(Isqrt, EdgeValues) {
    for (const std::uint32_t v : {0u, 1u, 3u, 4u, 8u, 9u, 0xFFFFFFFFu, 0xFFFE0001u, 0xFFFE0000u})
        EXPECT_EQ(xe::isqrt(v), referenceSqrt(v)) << v;
    // The largest values whose root comes from a double, and the first ones past them.
    constexpr std::uint64_t k = (std::uint64_t{1} << 26) - 1;
    for (const std::uint64_t v : {~std::uint64_t{0}, std::uint64_t{0xFFFFFFFE00000001u}, std::uint64_t{0xFFFFFFFE00000000u},
                                  k * k, k * k - 1, (k + 1) * (k + 1) - 1, (k + 1) * (k + 1), (k + 1) * (k + 1) + 1})
        EXPECT_EQ(xe::isqrt64(v), referenceSqrt(v)) << v;
}

TEST(Isqrt, MatchesReferenceOnSquaresAndRandomValues) {
    for (std::uint32_t k = 1; k <= 65535; ++k) {
        const std::uint32_t square = k * k;
        ASSERT_EQ(xe::isqrt(square), k);
        ASSERT_EQ(xe::isqrt(square - 1), k - 1);
        if (k < 65535) {
            ASSERT_EQ(xe::isqrt(square + 2 * k), k); // (k+1)^2 - 1
        }
    }
    std::mt19937_64 random(RenderTest::testSeed());
    for (int i = 0; i < 1000000; ++i) {
        const std::uint64_t v = random();
        const std::uint32_t n = static_cast<std::uint32_t>(v);
        ASSERT_EQ(xe::isqrt(n), referenceSqrt(n)) << n;
        const std::uint64_t wide = v >> (i % 64);
        ASSERT_EQ(xe::isqrt64(wide), referenceSqrt(wide)) << wide;
    }
}

} // namespace
