#pragma once
// The row-by-row even-odd scan of a polygon with a walker per edge, the
// runs of each row sorted afresh in the order the edges were added. The
// flat fill (Fill.cpp) and the pattern fill (scanFixedPolygon below) walk
// each edge over the rows between two vertex rows on its own instead, and
// their tests compare them with it.

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

// The tables of scanFixedPolygon, kept static by its users.
struct FixedScanTables {
    static constexpr int kBlockColumns = 4096;
    int order[kMaxPolygonVertices];
    FixedEdge edges[kMaxPolygonVertices]; // in the order they were added
    int active[kMaxPolygonVertices];      // in the order of their columns on the last vertex row
    i64 rowColumns[kMaxPolygonVertices];  // the columns of a vertex row
    i64 blockColumns[kBlockColumns];      // row by row, the active edges' columns in their order
};

// scanPolygon over FixedEdge walkers, handing `span` the same spans in the
// same order. The vertex rows go as there; between two vertex rows no edge
// starts or ends, so each edge is walked over a block of those rows on its
// own, its state in registers, and then the block's rows are handed over.
// A FixedEdge's run is one column, so two runs with the same start are equal
// and the order of a row's runs after sorting is that of scanPolygon.
template <class Span>
void scanFixedPolygon(const Canvas& canvas, const Point* points, int n, FixedScanTables& t, Span span) {
    const i64 left = canvas.left;
    const i64 right = canvas.right;
    const i64 top = canvas.top;
    const i64 bottom = canvas.bottom;

    if (!sortVerticesByRow(canvas, points, n, t.order)) return;
    const i64 minY = points[t.order[0]].y;

    // A row's columns in order (by insertion: they are nearly in order
    // already), each pair's span from its first column to its second,
    // that one excluded, clamped to the canvas.
    auto spans = [&](i64 y, i64* columns, int count) {
        for (int i = 1; i < count; ++i) {
            const i64 x = columns[i];
            int j = i;
            while (j > 0 && columns[j - 1] > x) {
                columns[j] = columns[j - 1];
                --j;
            }
            columns[j] = x;
        }
        for (int i = 0; i + 1 < count; i += 2) {
            const i64 a = std::max(columns[i], left);
            const i64 b = std::min(columns[i + 1], right);
            if (a < b) span(y, a, b);
        }
    };
    int active = 0;
    int added = 0;
    // A vertex row's columns of the active edges, already stepped: the
    // edges sorted with them, then the spans when the row is on the canvas.
    auto vertexRow = [&](i64 y) {
        for (int i = 0; i < active; ++i) {
            const int id = t.active[i];
            const i64 x = t.edges[id].xmin;
            int j = i;
            while (j > 0 && t.rowColumns[j - 1] > x) {
                t.rowColumns[j] = t.rowColumns[j - 1];
                t.active[j] = t.active[j - 1];
                --j;
            }
            t.rowColumns[j] = x;
            t.active[j] = id;
        }
        if (y >= top && active >= 2) spans(y, t.rowColumns, active);
    };
    auto addEdge = [&](const Point& from, const Point& to) {
        FixedEdge& e = t.edges[added];
        e.start(from.x, from.y, to.x, to.y);
        e.step();
        t.active[active++] = added++;
    };

    int k = 0;
    i64 y = minY;
    while (y < bottom) {
        // Vertex row: the edges reaching it first, then the ones leaving it.
        for (int i = 0; i < active; ++i)
            t.edges[t.active[i]].step();
        vertexRow(y);
        int kept = 0;
        for (int i = 0; i < active; ++i)
            if (t.edges[t.active[i]].endY != y) t.active[kept++] = t.active[i];
        active = kept;
        while (k < n && points[t.order[k]].y == y) {
            const int v = t.order[k];
            const Point& p = points[v];
            const Point& next = points[v + 1 == n ? 0 : v + 1];
            const Point& prev = points[v == 0 ? n - 1 : v - 1];
            if (next.y == y) {
                const i64 a = std::max<i64>(std::min(p.x, next.x), left);
                const i64 b = std::min<i64>(std::max(p.x, next.x), right);
                if (y >= top && a < b) span(y, a, b);
            } else if (next.y > y) {
                addEdge(p, next);
            }
            if (prev.y > y) addEdge(p, prev);
            ++k;
        }
        if (k == n) break;
        vertexRow(y);

        const i64 nextY = points[t.order[k]].y;
        i64 row = y + 1;
        if (row < top) {
            const i64 to = std::min(top, nextY);
            for (int i = 0; i < active; ++i)
                t.edges[t.active[i]].skip(to - row);
            row = to;
        }
        const i64 stop = std::min(nextY, bottom);
        const i64 blockRows = std::max(1, FixedScanTables::kBlockColumns / std::max(active, 1));
        while (row < stop) {
            const int rows = static_cast<int>(std::min(stop - row, blockRows));
            // Every row of the block lies before the edge's last one.
            for (int i = 0; i < active; ++i) {
                FixedEdge& e = t.edges[t.active[i]];
                i64 xf = e.xf;
                const i64 step = e.stepf;
                i64* out = t.blockColumns + i;
                for (int r = 0; r < rows; ++r, xf += step)
                    out[r * active] = (xf + 0x2000) >> 14;
                e.xf = xf;
                e.y += rows;
            }
            for (int r = 0; r < rows; ++r)
                spans(row + r, t.blockColumns + r * active, active);
            row += rows;
        }
        y = nextY;
    }
}

} // namespace xe::detail
