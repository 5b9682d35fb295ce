#include "core/FloatToInt.h"

#include <cstring>
#include <limits>

namespace xe {

std::int32_t floorToIntFromBits(float v) {
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

std::int32_t ceilToInt(float v) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const std::int32_t biased = static_cast<std::int32_t>((bits >> 23) & 0xFF);
    const std::uint32_t fraction = bits & 0x7FFFFF;
    const bool negative = (bits >> 31) != 0;
    if (biased == 0xFF) {
        if (fraction != 0) return 0; // NaN
        return negative ? lowest : highest;
    }
    if (biased == 0 && fraction == 0) return 0; // +0 and -0
    const std::int32_t e = 150 - biased;
    const std::uint64_t m = fraction | 0x800000u;
    if (e >= 24) // magnitude below 1 (including denormals)
        return negative ? 0 : 1;
    if (e <= 0) {
        // No fraction bits: the value is the integer m * 2^-e, at least 2^23.
        // Beyond the i32 range the result saturates rather than wrapping.
        if (-e > 8) return negative ? lowest : highest;
        const std::int64_t magnitude = static_cast<std::int64_t>(m << -e);
        if (negative)
            return magnitude >= (std::int64_t{1} << 31) ? lowest : static_cast<std::int32_t>(-magnitude);
        return magnitude > highest ? highest : static_cast<std::int32_t>(magnitude);
    }
    const std::int32_t whole = static_cast<std::int32_t>(m >> e);
    if (negative) return -whole;
    const bool hasFraction = (m & ((std::uint64_t{1} << e) - 1)) != 0;
    return hasFraction ? whole + 1 : whole;
}

} // namespace xe
