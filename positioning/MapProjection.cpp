#include "positioning/MapProjection.h"

#include "map/Projection.h"

#include <atomic>

namespace Positioning {

namespace {
std::atomic<GeoToMap> g_projection{nullptr};
}

void setGeoToMap(GeoToMap projection) {
    g_projection.store(projection);
}

GeoToMap installedGeoToMap() {
    return g_projection.load();
}

void geoToMap(float latitude, float longitude, std::int32_t& x, std::int32_t& y) {
    if (GeoToMap projection = g_projection.load()) {
        projection(latitude, longitude, x, y);
        return;
    }
    const Map::Point point = Map::Projection::fromGeo(latitude, longitude);
    x = point.x;
    y = point.y;
}

} // namespace Positioning
