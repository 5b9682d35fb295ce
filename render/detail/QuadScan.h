#pragma once
// The scan of a band segment's quadrilateral a, c, d, b, whose pixels are
// those of its two triangles (a, c, d) and (d, b, a) scanned one by one. When
// the shared diagonal a-d joins the top corner to the bottom one, both
// triangles walk it identically from the same end: it is walked once here,
// each triangle's other side beside it, and every row hands the sink one run
// (the two triangles' runs overlap on the diagonal's pixels) instead of two.
// A tall one's rows between its corners are filled at once rather than
// gathered.

#include "render/Canvas.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/QuadAcrossScan.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>
#include <type_traits>

namespace xe::detail {

// One row's union of a quadrilateral's left run ln..dxm and right run
// dn..rxm, each there when not empty, handed to give(from, to). Both there
// and touching (ln <= rxm + 1; each holds its own end of the diagonal's run)
// make one run.
template <class Give>
__attribute__((always_inline)) inline void giveUnion(i64 ln, i64 dn, i64 dxm, i64 rxm, Give&& give) {
    if (ln <= dxm && dn <= rxm && ln <= rxm + 1) [[likely]] {
        give(std::min(ln, dn), std::max(dxm, rxm));
        return;
    }
    if (ln <= dxm) give(ln, dxm);
    if (dn <= rxm) give(dn, rxm);
}

// A steep edge's walk with only what it needs (one pixel a row): the steps
// of EdgeWalker::stepBefore<false>, masked the same way, with the error kept
// as its distance below the next step (toStep = dy - 1 - error), which needs
// no constant of its own: the walk steps over when it turns negative.
struct SteepWalk {
    i64 x, toStep, adx, dy, sx;
    explicit SteepWalk(const EdgeWalker& w)
        : x(w.x), toStep(w.dy - 1 - w.error), adx(w.adx), dy(w.dy), sx(w.sx) {}
    // The current row's pixel; moves to the next row.
    __attribute__((always_inline)) i64 step() {
        const i64 at = x;
        toStep -= adx;
        const i64 stepped = toStep >> 63; // all ones when error + adx >= dy
        toStep += dy & stepped;
        x += sx & stepped;
        return at;
    }
    i64 error() const { return dy - 1 - toStep; }
    // Hands the walk back to the walker, `last` its pixel on row `row` - 1.
    void leave(EdgeWalker& w, i64 last, i64 row) const {
        w.x = x;
        w.error = error();
        w.xmin = w.xmax = last;
        w.y = row;
    }
};

// The rows y .. end - 1 of a tall quadrilateral, on the canvas's rows, whose
// three walkers are steep (one pixel a row each: left L, diagonal D, right
// R), filled at once through the sink's direct() on a surface of Bytes bytes
// per pixel, cut to the canvas's columns first..last when Clamped. The union
// of the left run L..D and the right run D..R is min(L, D)..max(D, R)
// whenever one of them is there. InStep: the sides are walked in step (a
// parallelogram whose ends lie on rows, as a steep road's do) and keep their
// distance, the right one not left of the left one, so one walk serves both.
// Out of line, each kind on its own: every loop keeps its walks in
// registers.
template <int Bytes, bool InStep, bool Clamped, class Sink>
__attribute__((noinline)) void fillSteepRows(EdgeWalker& left, EdgeWalker& diag, EdgeWalker& right, i64 y,
                                             i64 end, const Sink& sink, i64 first, i64 last) {
    SteepWalk l(left), d(diag), r(right);
    const Sink target = sink; // a copy: the stores below cannot alias it
    const i64 width = right.x - left.x;
    i64 lx = left.xmin, dx = diag.xmin, rx = right.xmax;
    for (; y < end; ++y) {
        lx = l.step();
        dx = d.step();
        rx = InStep ? lx + width : r.step();
        i64 from = std::min(lx, dx);
        i64 to = std::max(dx, rx);
        if constexpr (Clamped) {
            from = std::max(from, first);
            to = std::min(to, last);
            if (from > to) continue;
        }
        // Sides in step lie apart by width >= 0, so one of the runs is
        // always there.
        if (InStep || lx <= dx || dx <= rx) [[likely]]
            target.template direct<Bytes>(y, from, to);
    }
    if constexpr (InStep) {
        r.x = l.x + width;
        r.toStep = l.toStep;
    }
    l.leave(left, lx, end);
    d.leave(diag, dx, end);
    r.leave(right, rx, end);
}

// fillSteepRows for the walkers' kind, the rows cut to the canvas's columns
// unless the quadrilateral lies on them (inside).
template <int Bytes, class Sink>
void fillSteepRowsOf(EdgeWalker& left, EdgeWalker& diag, EdgeWalker& right, i64 y, i64 end, const Sink& sink,
                     const Canvas& canvas, bool inside) {
    const i64 first = canvas.left;
    const i64 last = i64{canvas.right} - 1;
    const bool inStep = left.adx == right.adx && left.dy == right.dy && left.sx == right.sx &&
                        left.error == right.error && right.x >= left.x;
    if (inside) {
        if (inStep)
            fillSteepRows<Bytes, true, false>(left, diag, right, y, end, sink, first, last);
        else
            fillSteepRows<Bytes, false, false>(left, diag, right, y, end, sink, first, last);
    } else {
        if (inStep)
            fillSteepRows<Bytes, true, true>(left, diag, right, y, end, sink, first, last);
        else
            fillSteepRows<Bytes, false, true>(left, diag, right, y, end, sink, first, last);
    }
}

// Reports through run(y, from, to) the union of what scanTriangle reports for
// (a, c, d) and for (d, b, a), row by row; runs off the canvas's columns may
// differ from the triangles' own, so the sink clamps them as RowRuns::Sink
// does. Shapes the shared walk does not cover (the diagonal between the
// middle corners, a diagonal starting above the canvas, both triangles on
// one side of it) are scanned as the two triangles, but for a diagonal
// between the middle corners with the others beyond its ends
// (scanQuadAcross). A sink with direct()
// and bytesPerPixel() (RowRuns::Sink) gets a tall quadrilateral's rows
// between its corners to fill at once.
template <class RunSink>
void scanQuad(const Canvas& canvas, i64 ax, i64 ay, i64 cx, i64 cy, i64 dx, i64 dy, i64 bx, i64 by,
              RunSink&& run) {
    // The diagonal's ends, top t and bottom u.
    const bool down = ay < dy;
    const i64 tx = down ? ax : dx;
    const i64 ty = down ? ay : dy;
    const i64 ux = down ? dx : ax;
    const i64 uy = down ? dy : ay;
    // Each triangle puts its middle corner on the left of the diagonal when
    // that side's slope is the smaller (the triangle scan's own test).
    const bool cLeft = i128{cx - tx} * (uy - ty) < i128{ux - tx} * (cy - ty);
    const bool bLeft = i128{bx - tx} * (uy - ty) < i128{ux - tx} * (by - ty);
    // A diagonal that starts above the canvas would be skipped in two parts
    // by each triangle, at its own middle row; the triangles keep that.
    const bool diagonalSpans = ty <= cy && ty <= by && cy <= uy && by <= uy && ty < uy;
    if (!diagonalSpans || cLeft == bLeft || ty < canvas.top) [[unlikely]] {
        if (!diagonalSpans && scanQuadAcross(canvas, ax, ay, cx, cy, dx, dy, bx, by, run)) return;
        scanTriangle(canvas, ax, ay, cx, cy, dx, dy, run);
        scanTriangle(canvas, dx, dy, bx, by, ax, ay, run);
        return;
    }
    const i64 bottom = canvas.bottom;
    if (ty >= bottom) return;
    const i64 minX = std::min({ax, bx, cx, dx});
    const i64 maxX = std::max({ax, bx, cx, dx});
    if (minX >= canvas.right || maxX < canvas.left) return;
    // The left triangle's run on a row is its side's start to the diagonal's
    // end, the right one's the diagonal's start to its side's end.
    const i64 lx = cLeft ? cx : bx;
    const i64 ly = cLeft ? cy : by;
    const i64 rx = cLeft ? bx : cx;
    const i64 ry = cLeft ? by : cy;
    EdgeWalker diag(tx, ty, ux, uy);
    EdgeWalker left(tx, ty, lx, ly);
    EdgeWalker right(tx, ty, rx, ry);

    constexpr bool kTakesInside = requires(const std::remove_cvref_t<RunSink>& s) {
        s.inside(i64{}, i64{}, i64{});
    };
    const bool inside = minX >= canvas.left && maxX < canvas.right;
    // One row's union, clamped by the sink or (Inside) lying on the
    // canvas's columns.
    auto emit = []<bool Inside>(auto& sink, i64 y, i64 ln, i64 dn, i64 dxm, i64 rxm)
        __attribute__((always_inline)) {
        giveUnion(ln, dn, dxm, rxm, [&](i64 from, i64 to) __attribute__((always_inline)) {
            handOver<Inside>(sink, y, from, to);
        });
    };
    // The rows y .. end - 1, none of them a corner's row, with the walkers'
    // kinds fixed and local copies of walkers and sink kept in registers.
    auto rowsOf = [&]<bool LX, bool DX, bool RX, bool Inside>(i64 y, i64 end) __attribute__((always_inline)) {
        std::remove_cvref_t<RunSink> sink = run;
        EdgeWalker lw = left;
        EdgeWalker dw = diag;
        EdgeWalker rw = right;
        for (; y < end; ++y) {
            lw.template stepBefore<LX>();
            dw.template stepBefore<DX>();
            rw.template stepBefore<RX>();
            emit.template operator()<Inside>(sink, y, lw.xmin, dw.xmin, dw.xmax, rw.xmax);
        }
        left.resume(lw);
        diag.resume(dw);
        right.resume(rw);
    };
    auto rowsD = [&]<bool LX, bool RX, bool Inside>(i64 y, i64 end) __attribute__((always_inline)) {
        if (diag.xMajor)
            rowsOf.template operator()<LX, true, RX, Inside>(y, end);
        else
            rowsOf.template operator()<LX, false, RX, Inside>(y, end);
    };
    auto rowsR = [&]<bool LX, bool Inside>(i64 y, i64 end) __attribute__((always_inline)) {
        if (right.xMajor)
            rowsD.template operator()<LX, true, Inside>(y, end);
        else
            rowsD.template operator()<LX, false, Inside>(y, end);
    };
    auto rowsL = [&]<bool Inside>(i64 y, i64 end) __attribute__((always_inline)) {
        if (left.xMajor)
            rowsR.template operator()<true, Inside>(y, end);
        else
            rowsR.template operator()<false, Inside>(y, end);
    };
    constexpr bool kFillsDirect = requires(const std::remove_cvref_t<RunSink>& s) {
        s.template direct<4>(i64{}, i64{}, i64{});
        s.bytesPerPixel();
    };
    // A quadrilateral of many rows, much taller than wide, shares few of
    // them with the pieces beside it (a steep road's next segment starts
    // below it): its rows between the corners are filled at once. Shorter
    // ones gain more from gathering: their runs join their neighbours' (on
    // the Monaco frames, filling all quadrilaterals taller than wide at
    // once cost 2-3%, these none).
    const bool tall = uy - ty >= 24 && uy - ty > 2 * (maxX - minX);
    // Fills rows y .. end - 1 at once when the quadrilateral is tall and
    // its walkers steep (the path such roads take); false when it did not.
    auto fillsAtOnce = [&](i64 y, i64 end) {
        if constexpr (kFillsDirect) {
            if (!tall || left.xMajor || diag.xMajor || right.xMajor) return false;
            if (run.bytesPerPixel() == 4)
                fillSteepRowsOf<4>(left, diag, right, y, end, run, canvas, inside);
            else if (run.bytesPerPixel() == 2)
                fillSteepRowsOf<2>(left, diag, right, y, end, run, canvas, inside);
            else
                return false;
            return true;
        } else {
            return false;
        }
    };

    // A side's middle corner joins its upper edge's last run to its lower
    // edge's first, as the triangle scan does: the run of that row.
    auto stepSide = [&](EdgeWalker& side, i64 y, i64 my, i64 mx, i64& joinMin, i64& joinMax) {
        if (y == my) {
            side.template step<false>();
            joinMin = side.xmin;
            joinMax = side.xmax;
            side.start(mx, my, ux, uy);
        }
        side.template step<false>();
    };
    i64 y = ty;
    for (;;) {
        const i64 event = std::min({ly >= y ? ly : uy, ry >= y ? ry : uy, uy});
        const i64 end = std::min(event, bottom);
        if (y < end) {
            if (!fillsAtOnce(y, end)) {
                if (kTakesInside && inside)
                    rowsL.template operator()<true>(y, end);
                else
                    rowsL.template operator()<false>(y, end);
            }
            y = end;
        }
        if (y >= bottom) return;
        if (y == uy) {
            left.template step<false>();
            diag.template step<false>();
            right.template step<false>();
            const i64 from = std::min({left.xmin, diag.xmin, right.xmin});
            const i64 to = std::max({left.xmax, diag.xmax, right.xmax});
            std::remove_cvref_t<RunSink> sink = run;
            sink(y, from, to);
            return;
        }
        // The left run widens by its join's start only, the right by its end.
        i64 lJoin = INT64_MAX;
        i64 rJoin = INT64_MIN;
        i64 ignored = 0;
        stepSide(left, y, ly, lx, lJoin, ignored);
        diag.template step<false>();
        stepSide(right, y, ry, rx, ignored, rJoin);
        std::remove_cvref_t<RunSink> sink = run;
        emit.template operator()<false>(sink, y, std::min(left.xmin, lJoin), diag.xmin, diag.xmax,
                                        std::max(right.xmax, rJoin));
        ++y;
    }
}

} // namespace xe::detail
