#include "render/Numeric.h"

#include <cstring>
#include <limits>

namespace xe {

std::int32_t floorToInt(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const std::int32_t biased = static_cast<std::int32_t>((bits >> 23) & 0xFF);
    const std::uint32_t fraction = bits & 0x7FFFFF;
    const bool negative = (bits >> 31) != 0;
    if (biased == 0xFF) {
        if (fraction != 0) return 0; // NaN
        return negative ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    }
    if (biased == 0 && fraction == 0) return 0; // +0 and -0
    const std::int32_t e = 150 - biased;
    const std::uint64_t m = fraction | 0x800000u;
    if (e < 0) {
        // No fraction bits: the value is the integer m * 2^-e, at least 2^24.
        if (-e > 8) // beyond 2^31 and the shift would leave 64-bit headroom
            return negative ? std::numeric_limits<std::int32_t>::min()
                            : std::numeric_limits<std::int32_t>::max();
        const std::int64_t magnitude = static_cast<std::int64_t>(m << -e);
        if (negative)
            return magnitude >= (std::int64_t{1} << 31) ? std::numeric_limits<std::int32_t>::min()
                                                        : static_cast<std::int32_t>(-magnitude);
        if (magnitude == (std::int64_t{1} << 31)) return std::numeric_limits<std::int32_t>::min();
        if (magnitude > std::numeric_limits<std::int32_t>::max())
            return std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(magnitude);
    }
    if (e >= 24) // magnitude below 1 (including denormals)
        return negative ? -1 : 0;
    const std::int32_t whole = static_cast<std::int32_t>(m >> e);
    if (!negative) return whole;
    const bool hasFraction = (m & ((std::uint64_t{1} << e) - 1)) != 0;
    return hasFraction ? ~whole : -whole;
}

std::uint32_t isqrt(std::uint32_t n) {
    return static_cast<std::uint32_t>(isqrt64(n));
}

std::uint64_t isqrt64(std::uint64_t n) {
    // Restoring square root, one result bit per step from the highest down.
    std::uint64_t remainder = n;
    std::uint64_t root = 0;
    std::uint64_t bit = std::uint64_t{1} << 62;
    while (bit > remainder)
        bit >>= 2;
    while (bit != 0) {
        if (remainder >= root + bit) {
            remainder -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return root;
}

} // namespace xe
