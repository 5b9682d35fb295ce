#pragma once
// Map units per metre: the scale of the projection at a latitude, used to
// turn warning radii and car speeds into map units.

#include "map/Point.h"

namespace Map::Projection {

// 107.29286 / cos(latitude), or 1.0 where the cosine is within 0.00001 of 0.
float unitsPerMeterAtLatitude(float latitudeDegrees);
// The same at a map point's latitude (from the inverse projection).
float unitsPerMeterAt(Point point);

} // namespace Map::Projection
