#pragma once
// The nearest point of a polyline to a point, in one level's local units:
// what the car tracker snaps to and what the nearest-road search and map
// picking measure with.

#include "map/LevelFrame.h"

#include <cstddef>
#include <limits>

namespace Map {

struct PolylineFoot {
    LocalPoint point;   // the foot of the point on the nearest segment
    float distance2 = std::numeric_limits<float>::infinity(); // squared distance to it
    std::size_t segment = 0; // index of that segment's first point
};

// The foot of p on segment a-b: a + t (b - a), t = dot(p - a, b - a) / |b - a|^2
// clamped to 0..1 (a zero-length segment gives a).
LocalPoint footOnSegment(LocalPoint p, LocalPoint a, LocalPoint b);

// The nearest foot of p over the segments of points[0..count). The first
// minimum wins. Segments whose bounding box lies farther than `limit` from
// p on either axis are skipped; with no segment within reach (or fewer than
// two points) the result's distance2 stays infinite.
PolylineFoot nearestFoot(LocalPoint p, const LocalPoint* points, std::size_t count,
                         float limit = std::numeric_limits<float>::infinity());

} // namespace Map
