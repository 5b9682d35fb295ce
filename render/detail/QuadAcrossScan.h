#pragma once
// The scan of a band segment's quadrilateral a, c, d, b whose diagonal a-d
// joins its middle corners: one of the other corners lies above the
// diagonal's top t, the other below its bottom u, on either side of it (a
// segment seen along its length: about half the 3D segments). Its pixels are
// those of the triangles (a, c, d) and (d, b, a) scanned one by one: the
// upper triangle (h, t, u) alone down to t's row, both beside the shared
// diagonal down to u's row, the lower triangle (t, u, l) alone below. The
// diagonal is walked once, and every row hands the sink the union of the
// triangles' runs, one run where they touch.

#include "render/Canvas.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>
#include <type_traits>

namespace xe::detail {

// Scans the quadrilateral when it is of that kind (its four corners on
// distinct rows in that order, the diagonal not level, the upper corner on
// the canvas's rows or below them) and returns whether it did; the caller
// scans the two triangles otherwise. The runs are those scanTriangle
// reports, row by row; runs off the canvas's columns may differ from the
// triangles' own, so the sink clamps them as RowRuns::Sink does.
template <class RunSink>
bool scanQuadAcross(const Canvas& canvas, i64 ax, i64 ay, i64 cx, i64 cy, i64 dx, i64 dy, i64 bx, i64 by,
                    RunSink&& run) {
    const bool down = ay < dy;
    const i64 tx = down ? ax : dx;
    const i64 ty = down ? ay : dy;
    const i64 ux = down ? dx : ax;
    const i64 uy = down ? dy : ay;
    // The upper corner h and the lower one l.
    const bool cHigh = cy < ty;
    const i64 hx = cHigh ? cx : bx;
    const i64 hy = cHigh ? cy : by;
    const i64 lx = cHigh ? bx : cx;
    const i64 ly = cHigh ? by : cy;
    if (!(hy < ty && ty < uy && uy < ly) || hy < canvas.top) return false;
    // Each corner's side of the diagonal (the triangle scan's own test
    // picks the same sides from the same products): opposite, neither on
    // its line.
    const i128 hSide = i128{hx - tx} * (uy - ty) - i128{ux - tx} * (hy - ty);
    const i128 lSide = i128{lx - tx} * (uy - ty) - i128{ux - tx} * (ly - ty);
    if (hSide == 0 || lSide == 0 || (hSide < 0) == (lSide < 0)) return false;
    // Left of the diagonal going down: the upper triangle's chain h, t, u
    // is its right side, the lower triangle's t, u, l its left one.
    const bool hLeft = hSide < 0;

    const i64 bottom = canvas.bottom;
    if (hy >= bottom) return true;
    const i64 minX = std::min({ax, bx, cx, dx});
    const i64 maxX = std::max({ax, bx, cx, dx});
    if (minX >= canvas.right || maxX < canvas.left) return true;
    constexpr bool kTakesInside = requires(const std::remove_cvref_t<RunSink>& s) {
        s.inside(i64{}, i64{}, i64{});
    };
    const bool inside = kTakesInside && minX >= canvas.left && maxX < canvas.right;

    // Rows y .. end - 1 of one triangle between two walkers of fixed kinds,
    // each row's run from the left one's start to the right one's end when
    // not empty (they may cross on a thin one's rows).
    auto pairOf = [&]<bool LX, bool RX, bool Inside>(EdgeWalker& l, EdgeWalker& r, i64 y, i64 end)
        __attribute__((always_inline)) {
        std::remove_cvref_t<RunSink> sink = run;
        EdgeWalker lw = l;
        EdgeWalker rw = r;
        for (; y < end; ++y) {
            lw.template stepBefore<LX>();
            rw.template stepBefore<RX>();
            if (lw.xmin <= rw.xmax) handOver<Inside>(sink, y, lw.xmin, rw.xmax);
        }
        l.resume(lw);
        r.resume(rw);
    };
    auto pairR = [&]<bool LX, bool Inside>(EdgeWalker& l, EdgeWalker& r, i64 y, i64 end)
        __attribute__((always_inline)) {
        if (r.xMajor)
            pairOf.template operator()<LX, true, Inside>(l, r, y, end);
        else
            pairOf.template operator()<LX, false, Inside>(l, r, y, end);
    };
    auto pairRows = [&](EdgeWalker& l, EdgeWalker& r, i64 y, i64 end) __attribute__((always_inline)) {
        if (y >= end) return;
        if (inside) {
            if (l.xMajor)
                pairR.template operator()<true, true>(l, r, y, end);
            else
                pairR.template operator()<false, true>(l, r, y, end);
        } else {
            if (l.xMajor)
                pairR.template operator()<true, false>(l, r, y, end);
            else
                pairR.template operator()<false, false>(l, r, y, end);
        }
    };
    // Rows y .. end - 1 of both triangles beside the diagonal d: the left
    // one's run from its side l to the diagonal, the right one's from the
    // diagonal to its side r.
    auto tripleOf = [&]<bool LX, bool DX, bool RX, bool Inside>(EdgeWalker& l, EdgeWalker& d, EdgeWalker& r, i64 y,
                                                               i64 end) __attribute__((always_inline)) {
        std::remove_cvref_t<RunSink> sink = run;
        EdgeWalker lw = l;
        EdgeWalker dw = d;
        EdgeWalker rw = r;
        for (; y < end; ++y) {
            lw.template stepBefore<LX>();
            dw.template stepBefore<DX>();
            rw.template stepBefore<RX>();
            // Both runs there and touching (each holds its own end of the
            // diagonal's run) make one.
            const i64 ln = lw.xmin, dn = dw.xmin, dxm = dw.xmax, rxm = rw.xmax;
            if (ln <= dxm && dn <= rxm && ln <= rxm + 1) [[likely]] {
                handOver<Inside>(sink, y, std::min(ln, dn), std::max(dxm, rxm));
                continue;
            }
            if (ln <= dxm) handOver<Inside>(sink, y, ln, dxm);
            if (dn <= rxm) handOver<Inside>(sink, y, dn, rxm);
        }
        l.resume(lw);
        d.resume(dw);
        r.resume(rw);
    };
    auto tripleR = [&]<bool LX, bool DX, bool Inside>(EdgeWalker& l, EdgeWalker& d, EdgeWalker& r, i64 y, i64 end)
        __attribute__((always_inline)) {
        if (r.xMajor)
            tripleOf.template operator()<LX, DX, true, Inside>(l, d, r, y, end);
        else
            tripleOf.template operator()<LX, DX, false, Inside>(l, d, r, y, end);
    };
    auto tripleD = [&]<bool LX, bool Inside>(EdgeWalker& l, EdgeWalker& d, EdgeWalker& r, i64 y, i64 end)
        __attribute__((always_inline)) {
        if (d.xMajor)
            tripleR.template operator()<LX, true, Inside>(l, d, r, y, end);
        else
            tripleR.template operator()<LX, false, Inside>(l, d, r, y, end);
    };
    auto tripleRows = [&](EdgeWalker& l, EdgeWalker& d, EdgeWalker& r, i64 y, i64 end)
        __attribute__((always_inline)) {
        if (y >= end) return;
        if (inside) {
            if (l.xMajor)
                tripleD.template operator()<true, true>(l, d, r, y, end);
            else
                tripleD.template operator()<false, true>(l, d, r, y, end);
        } else {
            if (l.xMajor)
                tripleD.template operator()<true, false>(l, d, r, y, end);
            else
                tripleD.template operator()<false, false>(l, d, r, y, end);
        }
    };
    // A row of both triangles, each run there when not empty: one run
    // where they touch.
    auto both = [&](i64 y, i64 from1, i64 to1, i64 from2, i64 to2) {
        std::remove_cvref_t<RunSink> sink = run;
        const bool one = from1 <= to1;
        const bool two = from2 <= to2;
        if (one && two && from1 <= to2 + 1 && from2 <= to1 + 1) {
            sink(y, std::min(from1, from2), std::max(to1, to2));
            return;
        }
        if (one) sink(y, from1, to1);
        if (two) sink(y, from2, to2);
    };

    // The upper triangle alone: its short side h-t and long side h-u.
    EdgeWalker ht(hx, hy, tx, ty);
    EdgeWalker hu(hx, hy, ux, uy);
    if (hLeft)
        pairRows(hu, ht, hy, std::min(ty, bottom));
    else
        pairRows(ht, hu, hy, std::min(ty, bottom));
    if (ty >= bottom) return true;
    // Row ty: the upper triangle joins h-t's last run to the diagonal's
    // first on its short side; the lower one starts there.
    ht.step<false>();
    EdgeWalker diag(tx, ty, ux, uy);
    EdgeWalker tl(tx, ty, lx, ly);
    diag.step<false>();
    hu.step<false>();
    tl.step<false>();
    if (hLeft)
        both(ty, hu.xmin, std::max(diag.xmax, ht.xmax), diag.xmin, tl.xmax);
    else
        both(ty, std::min(diag.xmin, ht.xmin), hu.xmax, tl.xmin, diag.xmax);
    // Both triangles beside the diagonal.
    if (hLeft)
        tripleRows(hu, diag, tl, ty + 1, std::min(uy, bottom));
    else
        tripleRows(tl, diag, hu, ty + 1, std::min(uy, bottom));
    if (uy >= bottom) return true;
    // Row uy: the upper triangle's last, the hull of its sides' runs; the
    // lower one joins the diagonal's last run to u-l's first on its short
    // side.
    diag.step<false>();
    hu.step<false>();
    tl.step<false>();
    EdgeWalker ul(ux, uy, lx, ly);
    ul.step<false>();
    const i64 upperFrom = std::min(diag.xmin, hu.xmin);
    const i64 upperTo = std::max(diag.xmax, hu.xmax);
    if (hLeft)
        both(uy, upperFrom, upperTo, std::min(ul.xmin, diag.xmin), tl.xmax);
    else
        both(uy, upperFrom, upperTo, tl.xmin, std::max(ul.xmax, diag.xmax));
    // The lower triangle alone: its short side u-l and long side t-l.
    if (hLeft)
        pairRows(ul, tl, uy + 1, std::min(ly, bottom));
    else
        pairRows(tl, ul, uy + 1, std::min(ly, bottom));
    if (ly >= bottom) return true;
    ul.step<false>();
    tl.step<false>();
    std::remove_cvref_t<RunSink> sink = run;
    sink(ly, std::min(ul.xmin, tl.xmin), std::max(ul.xmax, tl.xmax));
    return true;
}

} // namespace xe::detail
