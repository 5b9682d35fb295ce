#pragma once
// The way from one position to another in metres east and north, on the
// plane that touches the earth half-way between them, the short way round
// across the antimeridian: close enough for the few hundred metres between
// a receiver's fixes.

namespace Positioning {

struct GroundOffset {
    double east = 0.0;
    double north = 0.0;
};

GroundOffset groundOffset(double latitudeA, double longitudeA, double latitudeB, double longitudeB);

} // namespace Positioning
