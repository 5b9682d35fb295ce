#pragma once
// Float-to-integer rounding from the bits of an IEEE single, shared by the
// map projection and the drawing code. Rounding to nearest everywhere is
// floorToInt(v + 0.5f).

#include <cstdint>

namespace xe {

// The largest integer not above v. Values that do not fit saturate: above
// 2^31 gives INT32_MAX, below -2^31 gives INT32_MIN, +-infinity likewise, NaN
// gives 0. Exactly 2^31 gives INT32_MIN, as the map projection relies on
// (longitude +180 degrees wraps to -180).
inline std::int32_t floorToInt(float v);
// floorToInt from the bits of the float, for every value.
std::int32_t floorToIntFromBits(float v);

inline std::int32_t floorToInt(float v) {
    // The drawing code rounds every corner and span end: values inside the
    // i32 range (the usual case) truncate and step down below a negative
    // fraction; the bits decide everything else (NaN fails both tests).
    if (v > -2147483648.0f && v < 2147483648.0f) {
        const auto t = static_cast<std::int32_t>(v);
        return v < static_cast<float>(t) ? t - 1 : t;
    }
    return floorToIntFromBits(v);
}

// The smallest integer not below v: 0 for zero, 1 for positive v below 1, 0
// for negative v above -1, otherwise the magnitude truncated, plus one for a
// positive v with a fraction, negated for a negative v. Saturates like
// floorToInt (INT32_MAX / INT32_MIN beyond the i32 range, NaN gives 0).
std::int32_t ceilToInt(float v);

} // namespace xe
