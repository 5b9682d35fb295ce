#include "map/UnitsPerMeter.h"

#include "map/Projection.h"

#include <cmath>

namespace Map::Projection {

float unitsPerMeterAtLatitude(float latitudeDegrees) {
    const float c = std::cos(latitudeDegrees * 3.14159265358979f / 180.0f);
    if (std::fabs(c) <= 0.00001f)
        return 1.0f;
    return 107.29286f / c;
}

float unitsPerMeterAt(Point point) { return unitsPerMeterAtLatitude(toGeo(point).latitude); }

} // namespace Map::Projection
