#pragma once
// Integer quotients of several numerators by one divisor through a single
// floating reciprocal: a point's two screen coordinates share its w, and
// one floating division with a multiply and a check per coordinate costs
// less than two 64-bit integer divisions. The results are exactly those of
// the integer division.

#include <cstdint>

namespace xe::detail {

// Numerators below this in magnitude get their quotient from the reciprocal
// within one of the true one: they are exact as doubles, and the product's
// error (a few units in 2^-52 of a quotient below 2^50) stays below a
// quarter.
constexpr std::int64_t kReciprocalNumeratorLimit = std::int64_t{1} << 50;

// n / w truncated toward zero, as the integer division gives it, for
// 0 < w < 2^62 and |n| < kReciprocalNumeratorLimit; r is 1.0 / w.
inline std::int64_t truncatedQuotient(std::int64_t n, std::int64_t w, double r) {
    // On the magnitude, the sign put back after: no branch on the sign,
    // which follows the points' sides of the view.
    const std::int64_t sign = n >> 63; // 0 or -1
    const std::int64_t magnitude = (n ^ sign) - sign;
    std::int64_t q = static_cast<std::int64_t>(static_cast<double>(magnitude) * r);
    // The estimate is off by at most one: the remainder says which way.
    const std::int64_t rest = magnitude - q * w;
    q += static_cast<std::int64_t>(rest >= w) - static_cast<std::int64_t>(rest < 0);
    return (q ^ sign) - sign;
}

} // namespace xe::detail
