#include "positioning/MapProjection.h"

#include <atomic>

namespace Positioning {

namespace {
std::atomic<GeoToMap> g_projection{nullptr};
}

void setGeoToMap(GeoToMap projection) {
    g_projection.store(projection);
}

void geoToMap(float latitude, float longitude, std::int32_t& x, std::int32_t& y) {
    if (GeoToMap projection = g_projection.load()) {
        projection(latitude, longitude, x, y);
        return;
    }
    x = 0;
    y = 0;
}

} // namespace Positioning
