#include "map/proximity/Settings.h"

#include <algorithm>
#include <cmath>

namespace Map::Proximity {

Settings Settings::read(Core::ConfigNode& config) {
    Settings s;
    float time = config.value("dwp_warn_time", 10.0f);
    if (!std::isfinite(time))
        time = 10.0f;
    s.warningTimeSeconds = std::clamp(time, 5.0f, 30.0f);
    s.sectorHalfWidthDegrees = std::clamp(config.value("dwp_sector_half", 10), 5, 20);
    s.nodeCacheCapacity = static_cast<std::uint32_t>(std::clamp(config.value("dwp_nodes_cache", 100), 20, 1000));
    s.pointCacheCapacity = static_cast<std::uint32_t>(std::clamp(config.value("dwp_points_cache", 100), 20, 1000));
    return s;
}

} // namespace Map::Proximity
