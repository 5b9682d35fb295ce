#pragma once
// Integer edge walkers of the scan converters. Coordinates are 64-bit so that
// corners computed from 32-bit points and offsets never wrap; products that
// can exceed 64 bits (skipping many rows at once) use 128-bit arithmetic.

#include <algorithm>
#include <cstdint>

namespace xe::detail {

using i64 = std::int64_t;
using i128 = __int128;

// The column steps an x-major walk takes on a row before its last, its
// error moved on to the next row's. With adx = q * dy + r (divided once, at
// the start) the row takes q steps, or q + 1 when r is above the error
// (extra all ones), by masks rather than a branch.
__attribute__((always_inline)) inline i64 xMajorRowSteps(i64& error, i64 quotient, i64 remainder, i64 dy,
                                                          i64 adx) {
    if (error < dy) [[likely]] {
        const i64 extra = (error - remainder) >> 63;
        error = error - remainder + (dy & extra);
        return quotient - extra;
    }
    const i64 e = error - adx; // < 0: the row always takes at least one step
    const i64 k = (dy - e - 1) / dy;
    error = dy * k + e;
    return k;
}

// Walks an edge from (x0, y0) to (x1, y1), y1 >= y0, one row at a time and
// reports for each row the run of pixels that the edge's Bresenham line
// covers on it. On its last row the run reaches the end point.
struct EdgeWalker {
    i64 x = 0;    // first pixel of the current row's run
    i64 y = 0;    // current row
    i64 endX = 0; // end point
    i64 endY = 0;
    i64 dy = 0;  // >= 0
    i64 adx = 0; // |dx|
    i64 error = 0;
    int sx = 0; // the column step, -1 or 1
    bool xMajor = false;
    i64 xmin = 0; // run of the row last reported, ordered
    i64 xmax = 0;
    i64 quotient = -1; // x-major with dy > 0: adx / dy and adx % dy
    i64 remainder = 0;

    EdgeWalker() = default;
    // A walker started on the edge (the scans make theirs this way: nothing
    // is zeroed first).
    EdgeWalker(i64 x0, i64 y0, i64 x1, i64 y1) { start(x0, y0, x1, y1); }

    void start(i64 x0, i64 y0, i64 x1, i64 y1) {
        x = x0;
        y = y0;
        endX = x1;
        endY = y1;
        const i64 dx = x1 - x0;
        dy = y1 - y0;
        adx = dx < 0 ? -dx : dx;
        // A column step of 1 for an upright edge too: with adx 0 it is
        // never taken.
        sx = static_cast<int>((dx >> 63) | 1);
        xMajor = dy <= adx;
        error = (xMajor ? adx : dy) >> 1; // both >= 0
        quotient = -1;
        if (xMajor && dy > 0) {
            quotient = adx / dy;
            remainder = adx % dy;
        }
    }

    // Reports the current row's run in xmin .. xmax and moves to the next row
    // (Branchy: see stepBefore).
    template <bool Branchy = true> __attribute__((always_inline)) void step() {
        if (y >= endY) {
            xmin = std::min(x, endX);
            xmax = std::max(x, endX);
            ++y;
            return;
        }
        if (xMajor)
            stepBefore<true, Branchy>();
        else
            stepBefore<false, Branchy>();
    }

    // step() on a row before the last one (y < endY), for a walker of the
    // given kind: the scan loops know both and keep the branch out. Whether a
    // steep edge moves over on a row follows its slope: over many rows (a
    // polygon's edges, a long triangle) the branch predictor learns it and
    // the branch (Branchy) is cheaper; over the few rows of a band's piece it
    // cannot, and masks do better. Both give the same rows.
    template <bool XMajor, bool Branchy = false> __attribute__((always_inline)) void stepBefore() {
        if constexpr (!XMajor) {
            xmin = xmax = x;
            error += adx;
            if constexpr (Branchy) {
                if (error >= dy) {
                    error -= dy;
                    x += sx;
                }
            } else {
                // All ones when error >= dy (the walkers' values stay far
                // below 2^62, as error + adx < 2 dy must).
                const i64 stepped = (dy - 1 - error) >> 63;
                error -= dy & stepped;
                x += sx & stepped;
            }
        } else {
            const i64 k = xMajorRowSteps(error, quotient, remainder, dy, adx);
            const i64 first = x;
            x += sx * k;
            const i64 last = x - sx;
            xmin = std::min(first, last);
            xmax = std::max(first, last);
        }
        ++y;
    }

    // Takes over the walk of a copy that stepped on (stepBefore changes
    // only these fields): the scans walk local copies, which stay in
    // registers, and hand back no more than the walk moved.
    __attribute__((always_inline)) void resume(const EdgeWalker& w) {
        x = w.x;
        y = w.y;
        error = w.error;
        xmin = w.xmin;
        xmax = w.xmax;
    }

    // Moves n rows down without reporting them; y + n must not pass endY.
    void skip(i64 n) {
        if (n <= 0 || dy == 0) return;
        if (!xMajor) {
            const i128 total = i128{error} + i128{n} * adx;
            x += sx * static_cast<i64>(total / dy);
            error = static_cast<i64>(total % dy);
        } else {
            const i128 need = i128{n} * adx - error;
            const i128 steps = need <= 0 ? 0 : (need + dy - 1) / dy;
            x += sx * static_cast<i64>(steps);
            error = static_cast<i64>(i128{error} - i128{n} * adx + steps * dy);
        }
        y += n;
    }
};

// An edge that keeps its x in fixed point with 14 fraction bits and advances
// by a constant step per row (the pattern fill's edges). One pixel per row.
struct FixedEdge {
    i64 xf = 0;
    i64 stepf = 0;
    i64 y = 0;
    i64 endX = 0;
    i64 endY = 0;
    i64 xmin = 0;
    i64 xmax = 0;

    void start(i64 x0, i64 y0, i64 x1, i64 y1) {
        xf = x0 * (i64{1} << 14);
        y = y0;
        endX = x1;
        endY = y1;
        const i64 dy = y1 - y0;
        stepf = dy == 0 ? 0 : static_cast<i64>(i128{x1 - x0} * (i64{1} << 14) / dy);
    }

    void step() {
        if (y >= endY) {
            xmin = xmax = endX;
        } else {
            xmin = xmax = (xf + 0x2000) >> 14;
            xf += stepf;
        }
        ++y;
    }

    // n never exceeds the edge's height, so n * step stays below |dx| * 2^14.
    void skip(i64 n) {
        if (n <= 0) return;
        xf += static_cast<i64>(i128{n} * stepf);
        y += n;
    }
};

} // namespace xe::detail
