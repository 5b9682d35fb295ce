#pragma once
// The forward projection from degrees to a global map point: the map layer's
// (Map::Projection::fromGeo) unless another one is installed, which tests do
// to see the map point of a fix pass through.

#include <cstdint>

namespace Positioning {

using GeoToMap = void (*)(float latitude, float longitude, std::int32_t& x, std::int32_t& y);

// Installs a projection (null goes back to the map's). Call before the GPS starts.
void setGeoToMap(GeoToMap projection);
// The installed projection (null: the map's).
GeoToMap installedGeoToMap();
// The map point of (latitude, longitude) by the installed projection.
void geoToMap(float latitude, float longitude, std::int32_t& x, std::int32_t& y);

} // namespace Positioning
