#include "map/SegmentProjection.h"

#include <algorithm>
#include <cmath>

namespace Map {

LocalPoint footOnSegment(LocalPoint p, LocalPoint a, LocalPoint b) {
    const float ex = b.x - a.x;
    const float ey = b.y - a.y;
    const float length2 = ex * ex + ey * ey;
    if (!(length2 > 0.0f)) return a;
    const float t = ((p.x - a.x) * ex + (p.y - a.y) * ey) / length2;
    if (!(t > 0.0f)) return a;
    if (t >= 1.0f) return b;
    return LocalPoint{a.x + t * ex, a.y + t * ey};
}

PolylineFoot nearestFoot(LocalPoint p, const LocalPoint* points, std::size_t count, float limit) {
    PolylineFoot best;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const LocalPoint a = points[i];
        const LocalPoint b = points[i + 1];
        if (p.x < std::min(a.x, b.x) - limit || p.x > std::max(a.x, b.x) + limit ||
            p.y < std::min(a.y, b.y) - limit || p.y > std::max(a.y, b.y) + limit)
            continue;
        const LocalPoint foot = footOnSegment(p, a, b);
        const float dx = p.x - foot.x;
        const float dy = p.y - foot.y;
        const float d2 = dx * dx + dy * dy;
        if (d2 < best.distance2) {
            best.point = foot;
            best.distance2 = d2;
            best.segment = i;
        }
    }
    return best;
}

} // namespace Map
