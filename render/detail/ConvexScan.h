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
#include <type_traits>
#include <vector>

namespace xe::detail {

// A row's hull of the pixels the edges' walks put on it.
struct ConvexRow {
    i64 from;
    i64 to;
};

// Widens the rows from h on by the edge's walk from its current row to row
// end - 1 (a pixel a row for a steep edge, a run for a flat one), and
// returns its pixel on row end; h is left at row end. The steps are the
// walker's own, on a local copy kept in registers.
template <bool XMajor>
__attribute__((always_inline)) inline i64 walkEdgeRows(const EdgeWalker& edge, i64 end, ConvexRow*& h) {
    EdgeWalker w = edge;
    ConvexRow* row = h;
    for (; w.y < end; ++row) {
        w.stepBefore<XMajor>();
        row->from = std::min(row->from, w.xmin);
        row->to = std::max(row->to, w.xmax);
    }
    h = row;
    return w.x;
}

// The rows a scan handed runs to, first to last (none when first > last).
struct ScannedRows {
    i64 first = INT64_MAX;
    i64 last = INT64_MIN;
};

// Hands run(y, from, to) each row of the canvas that the polygon p[0 .. n-1]
// reaches, once, and returns those rows (a gatherer learns them without
// going over the corners again); the runs may reach past the canvas's
// columns (the sink cuts them, as RowRuns::Sink does). The vertices may come
// in either turn.
template <class RunSink>
ScannedRows scanConvex(const Canvas& canvas, const Point64* p, int n, RunSink&& run) {
    if (n < 1) return {};
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
    if (first > last || minX >= canvas.right || maxX < canvas.left) return {};
    // The caps of a frame are a few pixels high: their rows stay on the
    // stack; a near one takes the shared rows.
    constexpr i64 kShort = 64;
    using Hull = ConvexRow;
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
        Hull* h = hull + (std::max(a.y, first) - first);
        // The rows above the edge's end point, then that row: the end
        // point's row reaches from the walk's last pixel to the end point.
        i64 x = a.x;
        const i64 inner = std::min(b.y, last + 1);
        if (b.y - a.y == 1 && a.x != b.x) {
            // A flat edge over two rows (most of a small cap's flat ones):
            // the walk's first row takes half its steps, rounded up, with
            // no division.
            const i64 adx = a.x < b.x ? b.x - a.x : a.x - b.x;
            const i64 sx = a.x < b.x ? 1 : -1;
            x = a.x + sx * (adx - (adx >> 1));
            if (a.y >= first) {
                h->from = std::min({h->from, a.x, x - sx});
                h->to = std::max({h->to, a.x, x - sx});
                ++h;
            }
        } else if (a.y < b.y) {
            EdgeWalker edge(a.x, a.y, b.x, b.y);
            if (a.y < first) edge.skip(first - a.y);
            x = edge.xMajor ? walkEdgeRows<true>(edge, inner, h) : walkEdgeRows<false>(edge, inner, h);
        }
        if (b.y <= last) {
            Hull& e = *h;
            e.from = std::min({e.from, x, b.x});
            e.to = std::max({e.to, x, b.x});
        }
    }
    // Every row from first to last meets an edge of the closed outline.
    constexpr bool kTakesInside = requires(const std::remove_cvref_t<RunSink>& s) {
        s.inside(i64{}, i64{}, i64{});
    };
    const std::remove_cvref_t<RunSink> sink = run;
    if constexpr (kTakesInside) {
        if (minX >= canvas.left && maxX < canvas.right) {
            for (i64 y = first; y <= last; ++y) {
                const Hull& h = hull[y - first];
                sink.inside(y, h.from, h.to);
            }
            return {first, last};
        }
    }
    for (i64 y = first; y <= last; ++y) {
        const Hull& h = hull[y - first];
        if (h.from <= h.to) sink(y, h.from, h.to);
    }
    return {first, last};
}

} // namespace xe::detail
