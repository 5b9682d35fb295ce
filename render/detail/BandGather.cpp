#include "render/detail/BandGather.h"

#include "render/detail/ConvexScan.h"
#include "render/detail/QuadScan.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>

namespace xe::detail {

void BandGather::triangle(const Canvas& canvas, Point64 a, Point64 b, Point64 c) {
    firstY = std::min({firstY, a.y, b.y, c.y});
    lastY = std::max({lastY, a.y, b.y, c.y});
    const RowRuns::Sink& sink = run;
    scanTriangle(canvas, a.x, a.y, b.x, b.y, c.x, c.y, sink);
}

void BandGather::quad(const Canvas& canvas, Point64 a, Point64 b, Point64 c, Point64 d) {
    firstY = std::min({firstY, a.y, b.y, c.y, d.y});
    lastY = std::max({lastY, a.y, b.y, c.y, d.y});
    const RowRuns::Sink& sink = run;
    scanQuad(canvas, a.x, a.y, b.x, b.y, c.x, c.y, d.x, d.y, sink);
}

void BandGather::convex(const Canvas& canvas, const Point64* p, int n) {
    // The rows the scan reached: it found them going over the corners.
    const RowRuns::Sink& sink = run;
    const ScannedRows rows = scanConvex(canvas, p, n, sink);
    firstY = std::min(firstY, rows.first);
    lastY = std::max(lastY, rows.last);
}

} // namespace xe::detail
