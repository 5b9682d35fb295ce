#pragma once
// The demo drive's speed, the setting "demo_speed": whole km/h, the unit the
// Other settings page shows and steps it in, 20 to 200, 60 when the key is
// missing (the getter then stores 60). The page and the demo drive both
// read it here, the demo at each start, so a changed speed takes effect
// with the next demo.

#include "core/ConfigNode.h"

#include <cstdint>

namespace Screens::DemoSpeed {

inline constexpr std::int32_t DefaultKmh = 60;
inline constexpr std::int32_t MinKmh = 20;
inline constexpr std::int32_t MaxKmh = 200;
inline constexpr std::int32_t StepKmh = 10;

// The stored speed pulled into MinKmh .. MaxKmh; a stored value outside is
// logged (the key keeps it until the page stores another).
std::int32_t readKmh(Core::ConfigNode& config);

inline float metresPerSecond(std::int32_t kmh) { return static_cast<float>(kmh) / 3.6f; }

} // namespace Screens::DemoSpeed
