#pragma once
// The scan of a convex polygon (a 3D cap's octagon) as one shape: each row's
// run reaches from the leftmost to the rightmost pixel that the walks of its
// edges put on the row, so it holds every pixel of the edges and all that
// lies between them (a fan of triangles would leave the same pixels but
// walk its inner diagonals too).

#include "render/Canvas.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/Raster.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace xe::detail {

// Hands run(y, from, to) each row of the canvas that the polygon p[0 .. n-1]
// reaches, once; the runs may reach past the canvas's columns (the sink cuts
// them, as RowRuns::Sink does). The vertices may come in either turn.
template <class RunSink> void scanConvex(const Canvas& canvas, const Point64* p, int n, RunSink&& run) {
    if (n < 1) return;
    i64 top = p[0].y;
    i64 bottom = p[0].y;
    i64 minX = p[0].x;
    i64 maxX = p[0].x;
    for (int i = 1; i < n; ++i) {
        top = std::min(top, p[i].y);
        bottom = std::max(bottom, p[i].y);
        minX = std::min(minX, p[i].x);
        maxX = std::max(maxX, p[i].x);
    }
    const i64 first = std::max<i64>(top, canvas.top);
    const i64 last = std::min<i64>(bottom, i64{canvas.bottom} - 1);
    if (first > last || minX >= canvas.right || maxX < canvas.left) return;
    struct Hull {
        i64 from;
        i64 to;
    };
    // The caps of a frame are a few pixels high: their rows stay on the
    // stack; a near one takes the shared rows.
    constexpr i64 kShort = 64;
    Hull near[kShort];
    thread_local std::vector<Hull> tall;
    const i64 rows = last - first + 1;
    Hull* hull = near;
    if (rows > kShort) {
        tall.resize(static_cast<std::size_t>(rows));
        hull = tall.data();
    }
    std::fill(hull, hull + rows, Hull{INT64_MAX, INT64_MIN});
    for (int i = 0; i < n; ++i) {
        Point64 a = p[i];
        Point64 b = p[i + 1 < n ? i + 1 : 0];
        if (a.y > b.y) std::swap(a, b);
        if (b.y < first || a.y > last) continue;
        EdgeWalker edge(a.x, a.y, b.x, b.y);
        if (a.y < first) edge.skip(first - a.y);
        const i64 end = std::min(b.y, last);
        for (i64 y = edge.y; y <= end; ++y) {
            edge.step();
            Hull& h = hull[y - first];
            h.from = std::min(h.from, edge.xmin);
            h.to = std::max(h.to, edge.xmax);
        }
    }
    for (i64 y = first; y <= last; ++y) {
        const Hull& h = hull[y - first];
        if (h.from <= h.to) run(y, h.from, h.to);
    }
}

} // namespace xe::detail
