#pragma once
// The triangle scan shared by the single-triangle fill and the pieces of
// bands and caps: it reports each row's run instead of filling it, so that
// the pieces of one band can be gathered and each row filled once.

#include "render/Canvas.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/RowRuns.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace xe::detail {

// Hands a row's run to the sink, through inside() when the run is known to
// lie on the canvas's columns and the sink has it. A function template of
// its own, so that the call of inside() depends on the sink's type (clang
// checks it otherwise for every sink).
template <bool Inside, class Sink> inline void handOver(const Sink& sink, i64 y, i64 from, i64 to) {
    if constexpr (Inside && requires { sink.inside(y, from, to); })
        sink.inside(y, from, to);
    else
        sink(y, from, to);
}

// An edge's walk in one form for both kinds of edge, so that one loop
// serves every pair of sides: an x-major edge's rows as stepBefore<true>
// makes them; a steep one's with the quotient 0, the remainder adx and the
// error kept as its distance below the next step (dy - 1 - error), which
// then follows the same rule (a row steps over when the error is below the
// remainder) and never reaches dy. A steep row's run is its one pixel.
struct RowWalk {
    i64 x, error, quotient, remainder, dy, adx, sx;
    __attribute__((always_inline)) explicit RowWalk(const EdgeWalker& w)
        : x(w.x), error(w.xMajor ? w.error : w.dy - 1 - w.error), quotient(w.xMajor ? w.quotient : 0),
          remainder(w.xMajor ? w.remainder : w.adx), dy(w.dy), adx(w.adx), sx(w.sx) {}
    // The current row's run lo..hi; moves to the next row (before the
    // edge's last).
    __attribute__((always_inline)) void step(i64& lo, i64& hi) {
        const i64 k = xMajorRowSteps(error, quotient, remainder, dy, adx);
        const i64 first = x;
        x += sx * k;
        const i64 last = k != 0 ? x - sx : first;
        lo = std::min(first, last);
        hi = std::max(first, last);
    }
    __attribute__((always_inline)) void leave(EdgeWalker& w, i64 lo, i64 hi, i64 row) const {
        w.x = x;
        w.error = w.xMajor ? error : dy - 1 - error;
        w.xmin = lo;
        w.xmax = hi;
        w.y = row;
    }
};

// Reports, for every row of the triangle inside the canvas's rows, the
// inclusive run from..to (from <= to, not clamped to the canvas's columns)
// through run(y, from, to). The runs are those of the edges' own line walks
// and everything between. Nothing when the triangle lies off the canvas.
template <class RunSink>
void scanTriangle(const Canvas& canvas, i64 x0, i64 y0, i64 x1, i64 y1, i64 x2, i64 y2, RunSink&& run) {
    // Sorted by selects: the order of a band's corners follows its
    // direction, which the branch predictor cannot learn.
    auto order = [](i64& xa, i64& ya, i64& xb, i64& yb) __attribute__((always_inline)) {
        const bool swap = ya > yb;
        const i64 x = swap ? xb : xa;
        const i64 y = swap ? yb : ya;
        xb = swap ? xa : xb;
        yb = swap ? ya : yb;
        xa = x;
        ya = y;
    };
    order(x0, y0, x1, y1);
    order(x1, y1, x2, y2);
    order(x0, y0, x1, y1);
    const i64 top = canvas.top;
    const i64 bottom = canvas.bottom;
    if (y0 >= bottom || y2 < top) return;
    const i64 minX = std::min({x0, x1, x2});
    const i64 maxX = std::max({x0, x1, x2});
    if (minX >= canvas.right || maxX < canvas.left) return;
    if (y0 == y2) {
        run(y0, minX, maxX);
        return;
    }
    EdgeWalker e01(x0, y0, x1, y1);
    EdgeWalker e02(x0, y0, x2, y2);
    // Edge 0-1 (then 1-2) is the left side when its slope is the smaller.
    const bool shortLeft = i128{x1 - x0} * (y2 - y0) < i128{x2 - x0} * (y1 - y0);
    // The rows between two vertex rows, inlined with the walkers' roles
    // fixed, walked in local copies that stay in registers, and a local copy
    // of the sink, so that nothing it stores can alias them. A sink that can
    // take runs known to lie on the canvas's columns (one gathering a band's
    // pieces) gets them so from a triangle that lies on them, no clamping
    // per row, and one loop whatever the sides' kinds, their walks in one
    // form: a loop per pair of kinds made the scan's code more than the
    // instruction cache holds beside the other scans of a band. Other sinks
    // (a lone triangle's fill, whose code stays cached) keep a loop per
    // pair, whose steps are fewer.
    constexpr bool kTakesInside = requires(const std::remove_cvref_t<RunSink>& s) { s.inside(i64{}, i64{}, i64{}); };
    const bool inside = minX >= canvas.left && maxX < canvas.right;
    auto rowsIn = [&]<bool Inside>(EdgeWalker& l, EdgeWalker& r, i64 y, i64 end) __attribute__((always_inline)) {
        std::remove_cvref_t<RunSink> sink = run;
        RowWalk lw(l);
        RowWalk rw(r);
        i64 lmin = l.xmin;
        i64 lmax = l.xmax;
        i64 rmin = r.xmin;
        i64 rmax = r.xmax;
        for (; y < end; ++y) {
            lw.step(lmin, lmax);
            rw.step(rmin, rmax);
            if (lmin <= rmax) {
                handOver<Inside>(sink, y, lmin, rmax);
            }
        }
        lw.leave(l, lmin, lmax, end);
        rw.leave(r, rmin, rmax, end);
    };
    auto rowsOf = [&]<bool LeftXMajor, bool RightXMajor>(EdgeWalker& l, EdgeWalker& r, i64 y, i64 end)
                      __attribute__((always_inline)) {
        std::remove_cvref_t<RunSink> sink = run;
        // Local copies, written back once: nothing outside the loop can
        // reach them, so they stay in registers.
        EdgeWalker lw = l;
        EdgeWalker rw = r;
        for (; y < end; ++y) {
            lw.template stepBefore<LeftXMajor>();
            rw.template stepBefore<RightXMajor>();
            if (lw.xmin <= rw.xmax) {
                sink(y, lw.xmin, rw.xmax);
            }
        }
        l.resume(lw);
        r.resume(rw);
    };
    auto rows = [&](EdgeWalker& leftEdge, EdgeWalker& rightEdge, i64 y, i64 end) __attribute__((always_inline)) {
        if constexpr (kTakesInside) {
            if (inside)
                rowsIn.template operator()<true>(leftEdge, rightEdge, y, end);
            else
                rowsIn.template operator()<false>(leftEdge, rightEdge, y, end);
        } else if (leftEdge.xMajor) {
            if (rightEdge.xMajor)
                rowsOf.template operator()<true, true>(leftEdge, rightEdge, y, end);
            else
                rowsOf.template operator()<true, false>(leftEdge, rightEdge, y, end);
        } else {
            if (rightEdge.xMajor)
                rowsOf.template operator()<false, true>(leftEdge, rightEdge, y, end);
            else
                rowsOf.template operator()<false, false>(leftEdge, rightEdge, y, end);
        }
    };

    i64 y = y0;
    if (y < top) {
        const i64 n = std::min(top, y1) - y;
        e01.skip(n);
        e02.skip(n);
        y += n;
    }
    // Row y1 joins edge 0-1's last run to edge 1-2's first one, so that the
    // fill covers every pixel of both edges there.
    bool atJoin = false;
    i64 joinMin = 0;
    i64 joinMax = 0;
    // The rows above y1, then (edge 0-1 restarted as 1-2) those below it,
    // through one copy of the loops: made once per section, they took twice
    // the code, more than the instruction cache holds beside the other
    // scans of a band.
    for (bool lower = false;; lower = true) {
        const i64 end = std::min(lower ? y2 : y1, bottom);
        if (y < end) {
            if (shortLeft)
                rows(e01, e02, y, end);
            else
                rows(e02, e01, y, end);
            y = end;
        }
        if (lower) break;
        if (y >= bottom) return;
        atJoin = y == y1;
        if (atJoin) {
            e01.template step<false>();
            joinMin = e01.xmin;
            joinMax = e01.xmax;
        }
        e01.start(x1, y1, x2, y2);
        if (y < top) {
            const i64 n = top - y;
            e01.skip(n);
            e02.skip(n);
            y += n;
        }
        if (atJoin && y == y1 && y < y2) {
            e01.template step<false>();
            e02.template step<false>();
            i64 from = shortLeft ? e01.xmin : e02.xmin;
            i64 to = shortLeft ? e02.xmax : e01.xmax;
            if (shortLeft)
                from = std::min(from, joinMin);
            else
                to = std::max(to, joinMax);
            if (from <= to) run(y, from, to);
            ++y;
        }
    }
    if (y == y2 && y < bottom) {
        e01.template step<false>();
        e02.template step<false>();
        i64 from = std::min(e01.xmin, e02.xmin);
        i64 to = std::max(e01.xmax, e02.xmax);
        if (atJoin && y == y1) {
            from = std::min(from, joinMin);
            to = std::max(to, joinMax);
        }
        run(y, from, to);
    }
}

// The bands' pieces, 2D and 3D, go through one copy of the scan (made in
// RowRuns.cpp): left to each file, every one that scans band pieces kept a
// private copy, and a 2D frame ran two of them (the joints', and the
// quadrilaterals' fallback), more code than the first level instruction
// cache holds beside the quadrilateral scan.
extern template void scanTriangle<const RowRuns::Sink&>(const Canvas&, i64, i64, i64, i64, i64, i64,
                                                        const RowRuns::Sink&);

} // namespace xe::detail
