#include "positioning/GroundOffset.h"

#include <cmath>
#include <numbers>

namespace Positioning {

GroundOffset groundOffset(double latitudeA, double longitudeA, double latitudeB, double longitudeB) {
    constexpr double EarthRadiusMetres = 6371000.0;
    constexpr double RadiansPerDegree = std::numbers::pi / 180.0;
    double east = longitudeB - longitudeA;
    if (east > 180.0) east -= 360.0;
    if (east < -180.0) east += 360.0;
    const double meanLatitude = (latitudeA + latitudeB) * 0.5 * RadiansPerDegree;
    return {east * std::cos(meanLatitude) * RadiansPerDegree * EarthRadiusMetres,
            (latitudeB - latitudeA) * RadiansPerDegree * EarthRadiusMetres};
}

} // namespace Positioning
