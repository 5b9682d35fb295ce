#pragma once
// Conversions between geographic degrees and global map points: an
// ellipsoidal Mercator projection whose float rounding is part of the format
// (stored points were made by it), so every step keeps the widths given here.
// The build must not use -ffast-math and keeps -ffp-contract=off.

#include "map/Point.h"

namespace Map::Projection {

// The four coefficients of the conformal-latitude series that the inverse
// conversion uses, computed once during static initialisation.
struct SeriesCoefficients {
    double c2 = 0.0;
    double c4 = 0.0;
    double c6 = 0.0;
    double c8 = 0.0;
};
const SeriesCoefficients& seriesCoefficients();

// Latitudes beyond this (either sign) are clamped to it: the ordinate of a
// larger latitude leaves the 32-bit range, and near the poles the tangent of
// the formula turns infinite or negative (90 degrees would land on the
// equator). It is the largest float whose ordinate stays below 2^31
// (y = +-2147483392).
inline constexpr float kMaxLatitude = 85.0511856f;

// Degrees to a global map point. Longitude 180 gives x = -2^31 (the same
// point as -180). Latitudes are clamped to +-kMaxLatitude; NaN gives 0.
Point fromGeo(float latitude, float longitude);

// A global map point to degrees. fromGeo(toGeo(p)) gives p back up to the
// quantisation of the forward conversion.
GeoPoint toGeo(Point point);

// The view scale (screen pixels per global unit) at which 40 pixels at the
// point cover the given metres; global units per metre are
// 1 / (cos(latitude) * 0.00932028517127037).
float scaleForMetresPer40Pixels(Point point, float metres);

} // namespace Map::Projection
