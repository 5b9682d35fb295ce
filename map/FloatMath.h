#pragma once
// Small float functions that the map view, the car tracker and routing share.

#include <cstdint>

namespace Map {

// Sine, cosine and tangent of an angle in radians, computed in double
// precision and returned as such (callers store floats).
double fastSin(float radians);
double fastCos(float radians);
double fastTan(float radians);

// The two-argument arctangent of y over x, radians in -pi..pi; 0 for (0, 0).
float floatAtan2(float y, float x);

// Whole degrees 0..359 of the direction of (dx, dy) measured from north (+y)
// towards east (+x), truncated towards zero before a negative result gets 360
// added: east is 90, south 180, and directions less than a degree west of
// north give 0. NaN gives 0.
std::int32_t headingDegrees(const float vector[2]);

} // namespace Map
