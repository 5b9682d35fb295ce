#pragma once
// Numeric routines the whole program uses for rounding and lengths.

#include <cstdint>

namespace xe {

// The largest integer not above v, computed from the bits of the IEEE single.
// Values that do not fit saturate: above 2^31 gives INT32_MAX, below -2^31
// gives INT32_MIN, +-infinity likewise, NaN gives 0. Exactly 2^31 gives
// INT32_MIN, as the map projection relies on (longitude +180 degrees wraps to
// -180). Rounding to nearest everywhere is floorToInt(v + 0.5f).
std::int32_t floorToInt(float v);

// floor(sqrt(n)) exactly for every u32.
std::uint32_t isqrt(std::uint32_t n);

// floor(sqrt(n)) exactly for every u64; segment lengths and radii whose
// squares do not fit 32 bits use it.
std::uint64_t isqrt64(std::uint64_t n);

} // namespace xe
