#pragma once
// Numeric routines the whole program uses for rounding and lengths.

#include "core/FloatToInt.h"

#include <cstdint>

namespace xe {

// floor(sqrt(n)) exactly for every u32.
std::uint32_t isqrt(std::uint32_t n);

// floor(sqrt(n)) exactly for every u64; segment lengths and radii whose
// squares do not fit 32 bits use it.
std::uint64_t isqrt64(std::uint64_t n);

} // namespace xe
