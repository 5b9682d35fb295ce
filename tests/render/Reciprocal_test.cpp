// The screen mapping's quotients through one reciprocal must be exactly the
// truncating integer division's, on both signs, at exact multiples and at
// the ends of the range the reciprocal is used for.

#include "render/detail/Reciprocal.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace {

using xe::detail::kReciprocalNumeratorLimit;
using xe::detail::truncatedQuotient;

std::int64_t quotient(std::int64_t n, std::int64_t w) {
    return truncatedQuotient(n, w, 1.0 / static_cast<double>(w));
}

TEST(Reciprocal, QuotientsAtTheEdges) {
    constexpr std::int64_t kLast = kReciprocalNumeratorLimit - 1;
    struct Case {
        std::int64_t n;
        std::int64_t w;
        std::int64_t q;
    };
    const Case cases[] = {
        {0, 1, 0},           {7, 7, 1},           {-7, 7, -1},        {6, 7, 0},          {-6, 7, 0},
        {8, 7, 1},           {-8, 7, -1},         {13, 7, 1},         {14, 7, 2},         {-14, 7, -2},
        {kLast, 1, kLast},   {-kLast, 1, -kLast}, {kLast, 3, kLast / 3}, {-kLast, 3, -(kLast / 3)},
        {kLast, kLast, 1},   {kLast - 1, kLast, 0}, {-(kLast - 1), kLast, 0}, {1, std::int64_t{1} << 61, 0},
        {-1, std::int64_t{1} << 61, 0}, {999999999999999, 999999999999999, 1},
        {(std::int64_t{1} << 49) * 3 - 3, 3, (std::int64_t{1} << 49) - 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quotient(c.n, c.w), c.q) << c.n << " / " << c.w;
}

// Against the integer division on random numerators and divisors of every
// size, and on exact multiples and their neighbours (where a rounded
// estimate lands on the wrong side).
TEST(Reciprocal, QuotientsEqualTheIntegerDivision) {
    std::mt19937_64 random{RenderTest::testSeed()};
    auto bits = [&](int n) { return static_cast<std::int64_t>(random() >> (64 - n)); };
    for (int k = 0; k < 400000; ++k) {
        const std::int64_t w = std::max<std::int64_t>(1, bits(1 + static_cast<int>(random() % 61)));
        std::int64_t n = bits(1 + static_cast<int>(random() % 50));
        if (k % 3 == 0 && w < kReciprocalNumeratorLimit) {
            const std::int64_t q = n / w;
            n = q * w + static_cast<std::int64_t>(random() % 3) - 1;
        }
        if (k % 2 == 1) n = -n;
        if (n <= -kReciprocalNumeratorLimit || n >= kReciprocalNumeratorLimit) continue;
        ASSERT_EQ(quotient(n, w), n / w) << n << " / " << w;
    }
}

} // namespace
