#include "screens/DemoSpeed.h"

#include "core/Log.h"

#include <algorithm>

namespace Screens::DemoSpeed {

std::int32_t readKmh(Core::ConfigNode& config) {
    const std::int32_t stored = config.value("demo_speed", DefaultKmh);
    const std::int32_t kmh = std::clamp(stored, MinKmh, MaxKmh);
    if (kmh != stored)
        Log::log(Log::System, "demo_speed %d km/h is out of %d..%d: %d is used", stored, MinKmh, MaxKmh, kmh);
    return kmh;
}

} // namespace Screens::DemoSpeed
