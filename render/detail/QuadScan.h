#pragma once
// The scan of a band segment's quadrilateral a, c, d, b, whose pixels are
// those of its two triangles (a, c, d) and (d, b, a) scanned one by one. When
// the shared diagonal a-d joins the top corner to the bottom one, both
// triangles walk it identically from the same end: it is walked once here,
// each triangle's other side beside it, and every row hands the sink one run
// (the two triangles' runs overlap on the diagonal's pixels) instead of two.

#include "render/Canvas.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>
#include <type_traits>

namespace xe::detail {

// Reports through run(y, from, to) the union of what scanTriangle reports for
// (a, c, d) and for (d, b, a), row by row; runs off the canvas's columns may
// differ from the triangles' own, so the sink clamps them as RowRuns::Sink
// does. Shapes the shared walk does not cover (the diagonal between the
// middle corners, corners sharing a row with a diagonal end, a diagonal
// starting above the canvas, both triangles on one side of it) are scanned
// as the two triangles.
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
    if (!(ty < cy && ty < by && cy < uy && by < uy) || cLeft == bLeft || ty < canvas.top) [[unlikely]] {
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
    // One row's union of the left run ln..dxm and the right run dn..rxm,
    // each there when not empty. Both there and touching (ln <= rxm + 1;
    // each holds its own end of the diagonal's run) make one run.
    // `onCanvas` (a std::bool_constant) says whether the runs lie on the
    // canvas's columns.
    auto emit = [](auto& sink, i64 y, i64 ln, i64 dn, i64 dxm, i64 rxm, auto onCanvas)
        __attribute__((always_inline)) {
        constexpr bool kOn = decltype(onCanvas)::value;
        if (ln <= dxm && dn <= rxm && ln <= rxm + 1) [[likely]] {
            handOver<kOn>(sink, y, std::min(ln, dn), std::max(dxm, rxm));
            return;
        }
        if (ln <= dxm) handOver<kOn>(sink, y, ln, dxm);
        if (dn <= rxm) handOver<kOn>(sink, y, dn, rxm);
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
            emit(sink, y, lw.xmin, dw.xmin, dw.xmax, rw.xmax, std::bool_constant<Inside>{});
        }
        left = lw;
        diag = dw;
        right = rw;
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
            if (kTakesInside && inside)
                rowsL.template operator()<true>(y, end);
            else
                rowsL.template operator()<false>(y, end);
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
        emit(sink, y, std::min(left.xmin, lJoin), diag.xmin, diag.xmax, std::max(right.xmax, rJoin),
             std::false_type{});
        ++y;
    }
}

} // namespace xe::detail
