#pragma once
// The forward projection from degrees to a global map point, which the map
// layer owns. Positioning sits above the map in the build order but must not
// reach into its internals, so the engine installs the projection here at
// start-up. Until one is installed the map point is (0, 0).

#include <cstdint>

namespace Positioning {

using GeoToMap = void (*)(float latitude, float longitude, std::int32_t& x, std::int32_t& y);

// Installs the projection (null removes it). Call before the GPS starts.
void setGeoToMap(GeoToMap projection);
// The map point of (latitude, longitude) by the installed projection.
void geoToMap(float latitude, float longitude, std::int32_t& x, std::int32_t& y);

} // namespace Positioning
