#pragma once
// The row-by-row even-odd scan of a polygon with a walker per edge, the
// runs of each row sorted afresh in the order the edges were added. The
// pattern fill draws through it; the flat fill (Fill.cpp) walks each edge
// over the rows between two vertex rows on its own instead, and its tests
// compare the two.

#include "render/Canvas.h"
#include "render/Fill.h"
#include "render/detail/EdgeWalker.h"

#include <algorithm>

namespace xe::detail {

struct ScanRun {
    i64 start;
    i64 end;
};

// The scan's tables, kept static by their users (no allocation per call).
template <class Edge> struct ScanTables {
    int order[kMaxPolygonVertices];
    Edge edges[kMaxPolygonVertices];
    i64 runRow[kMaxPolygonVertices];
    ScanRun runs[kMaxPolygonVertices];
};

// Sorts the vertex indices 0 .. n-1 into order by y (insertion sort:
// stable, no allocation) and tells whether the polygon can touch the
// canvas: false when its box lies beside it or it has no height.
inline bool sortVerticesByRow(const Canvas& canvas, const Point* points, int n, int* order) {
    for (int i = 0; i < n; ++i) {
        int j = i;
        while (j > 0 && points[order[j - 1]].y > points[i].y) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = i;
    }
    i64 minX = points[0].x;
    i64 maxX = points[0].x;
    for (int i = 1; i < n; ++i) {
        minX = std::min<i64>(minX, points[i].x);
        maxX = std::max<i64>(maxX, points[i].x);
    }
    const i64 minY = points[order[0]].y;
    const i64 maxY = points[order[n - 1]].y;
    return !(maxX < canvas.left || minX >= canvas.right || minY >= canvas.bottom || maxY < canvas.top ||
             minY == maxY);
}

// Edge is a walker type (EdgeWalker or FixedEdge); span(y, xa, xb) fills the
// pixels xa .. xb-1 of row y, already clamped to the canvas. 3 <= n <=
// kMaxPolygonVertices.
template <class Edge, class Span>
void scanPolygon(const Canvas& canvas, const Point* points, int n, ScanTables<Edge>& t, Span span) {
    const i64 left = canvas.left;
    const i64 right = canvas.right;
    const i64 top = canvas.top;
    const i64 bottom = canvas.bottom;

    if (!sortVerticesByRow(canvas, points, n, t.order)) return;
    const i64 minY = points[t.order[0]].y;

    auto clampedSpan = [&](i64 y, i64 a, i64 b) {
        a = std::max(a, left);
        b = std::min(b, right);
        if (a < b) span(y, a, b);
    };
    int active = 0;
    // Pairs of runs in order of their starts; each span runs from the pair's
    // smaller start to its larger end, that end excluded.
    auto fillRow = [&](i64 y) {
        if (y < top || y >= bottom || active < 2) return;
        for (int i = 0; i < active; ++i) {
            const ScanRun r{t.edges[i].xmin, t.edges[i].xmax};
            int j = i;
            while (j > 0 && t.runs[j - 1].start > r.start) {
                t.runs[j] = t.runs[j - 1];
                --j;
            }
            t.runs[j] = r;
        }
        for (int i = 0; i + 1 < active; i += 2)
            clampedSpan(y, std::min(t.runs[i].start, t.runs[i + 1].start),
                        std::max(t.runs[i].end, t.runs[i + 1].end));
    };
    auto ensureRuns = [&](i64 y) {
        for (int i = 0; i < active; ++i)
            if (t.runRow[i] != y) {
                t.edges[i].step();
                t.runRow[i] = y;
            }
    };
    auto addEdge = [&](const Point& from, const Point& to) {
        t.edges[active].start(from.x, from.y, to.x, to.y);
        t.runRow[active] = minY - 1;
        ++active;
    };

    int k = 0;
    i64 y = minY;
    while (y < bottom) {
        // Vertex row: the edges reaching it first, then the ones leaving it.
        ensureRuns(y);
        fillRow(y);
        int kept = 0;
        for (int i = 0; i < active; ++i)
            if (t.edges[i].endY != y) {
                t.edges[kept] = t.edges[i];
                t.runRow[kept] = t.runRow[i];
                ++kept;
            }
        active = kept;
        while (k < n && points[t.order[k]].y == y) {
            const int v = t.order[k];
            const Point& p = points[v];
            const Point& next = points[v + 1 == n ? 0 : v + 1];
            const Point& prev = points[v == 0 ? n - 1 : v - 1];
            if (next.y == y) {
                if (y >= top) clampedSpan(y, std::min<i64>(p.x, next.x), std::max<i64>(p.x, next.x));
            } else if (next.y > y) {
                addEdge(p, next);
            }
            if (prev.y > y) addEdge(p, prev);
            ++k;
        }
        if (k == n) break;
        ensureRuns(y);
        fillRow(y);

        const i64 nextY = points[t.order[k]].y;
        i64 row = y + 1;
        if (row < top) {
            const i64 to = std::min(top, nextY);
            for (int i = 0; i < active; ++i) {
                t.edges[i].skip(to - row);
                t.runRow[i] = to - 1;
            }
            row = to;
        }
        for (; row < nextY && row < bottom; ++row) {
            ensureRuns(row);
            fillRow(row);
        }
        y = nextY;
    }
}

} // namespace xe::detail
