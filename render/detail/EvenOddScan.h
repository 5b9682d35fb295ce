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

// The tables of a block scan, kept static by its users. The edges stay
// where they were added; the active ones are listed in the order of their
// runs on the last vertex row.
template <class Edge, class Key> struct BlockScanTables {
    static constexpr int kBlockKeys = 4096;
    int order[kMaxPolygonVertices];
    Edge edges[kMaxPolygonVertices]; // in the order they were added
    int active[kMaxPolygonVertices];
    Key rowKeys[kMaxPolygonVertices]; // the runs of a vertex row
    Key blockKeys[kBlockKeys];        // row by row, the active edges' runs in their order
};

// The rows and spans of scanPolygon, with the rows between two vertex rows
// a block at a time: there no edge starts or ends, so each edge is walked
// over a block of those rows on its own, its state in registers, and then
// the block's rows are handed over. What a run is and what becomes of a
// row is the caller's (Ops):
//   Key key(const Edge&)   the run of an edge stepped onto its row;
//   void walk(Edge&, int rows, Key* out, int stride)
//                          the edge over `rows` rows before its last one,
//                          each row's run `stride` keys after the last;
//   void row(i64 y, Key* keys, int count)
//                          a row on the canvas and its runs, nearly sorted;
//   void span(i64 y, i64 a, i64 b)
//                          a horizontal edge on the canvas, a .. b-1 clamped.
template <class Edge, class Key, class Ops>
void scanPolygonBlocks(const Canvas& canvas, const Point* points, int n, BlockScanTables<Edge, Key>& t,
                       Ops& ops) {
    const i64 left = canvas.left;
    const i64 right = canvas.right;
    const i64 top = canvas.top;
    const i64 bottom = canvas.bottom;

    if (!sortVerticesByRow(canvas, points, n, t.order)) return;
    const i64 minY = points[t.order[0]].y;

    int active = 0;
    int added = 0;
    // A vertex row's runs of the active edges, already stepped: the edges
    // sorted with them, then the row when it is on the canvas.
    auto vertexRow = [&](i64 y) {
        for (int i = 0; i < active; ++i) {
            const int id = t.active[i];
            const Key key = ops.key(t.edges[id]);
            int j = i;
            while (j > 0 && t.rowKeys[j - 1] > key) {
                t.rowKeys[j] = t.rowKeys[j - 1];
                t.active[j] = t.active[j - 1];
                --j;
            }
            t.rowKeys[j] = key;
            t.active[j] = id;
        }
        if (y >= top && active >= 2) ops.row(y, t.rowKeys, active);
    };
    auto addEdge = [&](const Point& from, const Point& to) {
        Edge& e = t.edges[added];
        e.start(from.x, from.y, to.x, to.y);
        e.step();
        t.active[active++] = added++;
    };

    int k = 0;
    i64 y = minY;
    while (y < bottom) {
        // Vertex row: the edges reaching it first (those ending on it give
        // their last run), then the ones leaving it.
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
                // A horizontal edge: its span, the right end excluded.
                const i64 a = std::max<i64>(std::min(p.x, next.x), left);
                const i64 b = std::min<i64>(std::max(p.x, next.x), right);
                if (y >= top && a < b) ops.span(y, a, b);
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
        const i64 blockRows = std::max(1, BlockScanTables<Edge, Key>::kBlockKeys / std::max(active, 1));
        while (row < stop) {
            const int rows = static_cast<int>(std::min(stop - row, blockRows));
            for (int i = 0; i < active; ++i)
                ops.walk(t.edges[t.active[i]], rows, t.blockKeys + i, active);
            for (int r = 0; r < rows; ++r)
                ops.row(row + r, t.blockKeys + r * active, active);
            row += rows;
        }
        y = nextY;
    }
}

using FixedScanTables = BlockScanTables<FixedEdge, i64>;

// scanPolygon over FixedEdge walkers, handing `span` the same spans in the
// same order. A FixedEdge's run is one column, so two runs with the same
// start are equal and the order of a row's runs after sorting is that of
// scanPolygon.
template <class Span>
void scanFixedPolygon(const Canvas& canvas, const Point* points, int n, FixedScanTables& t, Span span) {
    struct Ops {
        const Canvas& canvas;
        Span& out;
        i64 key(const FixedEdge& e) const { return e.xmin; }
        void walk(FixedEdge& e, int rows, i64* out, int stride) const {
            // Every row of the block lies before the edge's last one.
            i64 xf = e.xf;
            const i64 step = e.stepf;
            for (int r = 0; r < rows; ++r, xf += step)
                out[r * stride] = (xf + 0x2000) >> 14;
            e.xf = xf;
            e.y += rows;
        }
        // A row's columns in order (by insertion: they are nearly in order
        // already), each pair's span from its first column to its second,
        // that one excluded, clamped to the canvas.
        void row(i64 y, i64* columns, int count) const {
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
                const i64 a = std::max<i64>(columns[i], canvas.left);
                const i64 b = std::min<i64>(columns[i + 1], canvas.right);
                if (a < b) out(y, a, b);
            }
        }
        void span(i64 y, i64 a, i64 b) const { out(y, a, b); }
    };
    Ops ops{canvas, span};
    scanPolygonBlocks(canvas, points, n, t, ops);
}

} // namespace xe::detail
