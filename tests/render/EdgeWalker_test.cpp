// The edge walker's rows against the plain Bresenham division per row.

#include "render/detail/EdgeWalker.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using xe::detail::EdgeWalker;
using xe::detail::i64;

// The walker's x-major row as first written: one division per row.
struct Reference {
    i64 x, y, endX, endY, dy, adx, error;
    int sx;
    bool xMajor;
    Reference(i64 x0, i64 y0, i64 x1, i64 y1)
        : x(x0), y(y0), endX(x1), endY(y1), dy(y1 - y0), adx(x1 > x0 ? x1 - x0 : x0 - x1),
          error(0), sx(x1 > x0 ? 1 : (x1 < x0 ? -1 : 0)), xMajor(dy <= adx) {
        error = xMajor ? adx / 2 : dy / 2;
    }
    std::pair<i64, i64> step() {
        std::pair<i64, i64> run;
        if (y >= endY) {
            run = {std::min(x, endX), std::max(x, endX)};
        } else if (!xMajor) {
            run = {x, x};
            error += adx;
            if (error >= dy) {
                error -= dy;
                x += sx;
            }
        } else {
            const i64 e = error - adx;
            const i64 k = (dy - e - 1) / dy;
            error = dy * k + e;
            const i64 first = x;
            x += sx * k;
            run = {std::min(first, x - sx), std::max(first, x - sx)};
        }
        ++y;
        return run;
    }
};

TEST(EdgeWalker, RowsMatchTheDivisionPerRow) {
    std::mt19937 random(11);
    for (int edge = 0; edge < 20000; ++edge) {
        const i64 span = edge % 3 == 0 ? 5 : (edge % 3 == 1 ? 300 : 1 << 20);
        const i64 x0 = static_cast<i64>(random() % span) - span / 2;
        const i64 x1 = static_cast<i64>(random() % span) - span / 2;
        const i64 y0 = static_cast<i64>(random() % 50) - 25;
        const i64 y1 = y0 + static_cast<i64>(random() % (edge % 2 ? 40 : 3));
        EdgeWalker walker;
        walker.start(x0, y0, x1, y1);
        Reference reference(x0, y0, x1, y1);
        // Sometimes rows skipped first, as a clipped top does.
        if (y1 > y0 && random() % 3 == 0) {
            const i64 n = static_cast<i64>(random() % (y1 - y0));
            walker.skip(n);
            for (i64 i = 0; i < n; ++i)
                reference.step();
        }
        for (i64 row = walker.y; row <= y1; ++row) {
            walker.step();
            const auto [from, to] = reference.step();
            ASSERT_EQ(walker.xmin, from) << x0 << "," << y0 << " - " << x1 << "," << y1 << " row " << row;
            ASSERT_EQ(walker.xmax, to) << x0 << "," << y0 << " - " << x1 << "," << y1 << " row " << row;
        }
    }
}

} // namespace
