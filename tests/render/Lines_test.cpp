#include "render/Lines.h"

#include "SurfaceTestSupport.h"
#include "render/Pixels.h"
#include "render/detail/Raster.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

using RenderTest::makeSurface;
using RenderTest::mask;

constexpr std::uint32_t kInk = 0x1F;
constexpr std::uint32_t kPaper = 0x0;

class LinesTest : public ::testing::TestWithParam<int> {};

TEST_P(LinesTest, ApplyAffineRoundsToNearest) {
    const float m[16] = {2, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0.5f, 10.25f, 0, 1};
    EXPECT_EQ(xe::applyAffine(m, xe::Point{3, 4}), (xe::Point{7, 6}));    // 6.5 -> 7, 6.25 -> 6
    EXPECT_EQ(xe::applyAffine(m, xe::Point{-1, 0}), (xe::Point{-1, 10})); // -1.5 -> -1
}

// The line walk without any clipping shortcut: every interior pixel, the ends
// by their flags, recorded when they fall on a w x h bitmap.
std::vector<bool> referenceLine(int w, int h, bool f0, std::int64_t x0, std::int64_t y0, bool f1,
                                std::int64_t x1, std::int64_t y1) {
    std::vector<bool> out(static_cast<std::size_t>(w * h));
    auto set = [&](std::int64_t x, std::int64_t y) {
        if (x >= 0 && x < w && y >= 0 && y < h) out[static_cast<std::size_t>(y * w + x)] = true;
    };
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(f0, f1);
    }
    if (f0) set(x0, y0);
    if (f1) set(x1, y1);
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const int sx = dx > 0 ? 1 : -1;
    if (dy == 0) {
        for (std::int64_t x = std::min(x0, x1) + 1; x < std::max(x0, x1); ++x)
            set(x, y0);
    } else if (dx == 0) {
        for (std::int64_t y = y0 + 1; y < y1; ++y)
            set(x0, y);
    } else if (adx < dy) {
        std::int64_t err = dy / 2;
        std::int64_t x = x0;
        for (std::int64_t y = y0 + 1; y < y1; ++y) {
            err += adx;
            if (err >= dy) {
                err -= dy;
                x += sx;
            }
            set(x, y);
        }
    } else {
        std::int64_t err = adx / 2;
        std::int64_t y = y0;
        for (std::int64_t x = x0 + sx; x != x1; x += sx) {
            err += dy;
            if (err >= adx) {
                err -= adx;
                ++y;
            }
            set(x, y);
        }
    }
    return out;
}

// Ends by their flags, steep and shallow walks, lines entering and leaving
// the clip rectangle, at both pixel sizes.
TEST_P(LinesTest, ClippedLinesMatchTheUnclippedWalkInsideTheClipAndTouchNothingOutside) {
    std::mt19937 random(RenderTest::testSeed());
    auto s = makeSurface(GetParam(), 48, 40);
    const xe::Canvas c{s.get(), 7, 5, 41, 33};
    std::uniform_int_distribution<int> near(-20, 70);
    std::uniform_int_distribution<int> far(-40000, 40000);
    std::uniform_int_distribution<int> coin(0, 3);
    std::uniform_int_distribution<int> insideX(c.left, c.right - 1);
    std::uniform_int_distribution<int> insideY(c.top, c.bottom - 1);
    for (int i = 0; i < 3000; ++i) {
        // A third with both ends on the canvas (walked without clip tests).
        const bool onCanvas = i % 3 == 0;
        auto coordinate = [&] { return coin(random) == 0 ? far(random) : near(random); };
        const int x0 = onCanvas ? insideX(random) : coordinate(), y0 = onCanvas ? insideY(random) : coordinate(),
                  x1 = onCanvas ? insideX(random) : coordinate(), y1 = onCanvas ? insideY(random) : coordinate();
        const bool f0 = coin(random) < 2, f1 = coin(random) < 2;
        RenderTest::fillAll(s.get(), kPaper);
        xe::drawLine(c, f0, x0, y0, f1, x1, y1, kInk);
        const auto expected = referenceLine(s->w, s->h, f0, x0, y0, f1, x1, y1);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                const bool want = inside && expected[static_cast<std::size_t>(y * s->w + x)];
                ASSERT_EQ(RenderTest::pixelAt(s.get(), x, y) == kInk, want)
                    << "line " << x0 << "," << y0 << " -> " << x1 << "," << y1 << " at " << x << "," << y;
            }
    }
}

// The unclipped draw of lines known to lie on the canvas (a band's border
// lines): both ends, the walk between them, flat and upright lines, single
// points, at both pixel sizes.
TEST_P(LinesTest, LinesOnTheCanvasDrawnUnclippedMatchTheWalk) {
    std::mt19937 random(RenderTest::testSeed());
    auto s = makeSurface(GetParam(), 48, 40);
    std::uniform_int_distribution<int> x(0, 47);
    std::uniform_int_distribution<int> y(0, 39);
    std::uniform_int_distribution<int> kind(0, 5);
    auto* pixels = static_cast<std::uint8_t*>(s->pixels);
    for (int i = 0; i < 4000; ++i) {
        xe::detail::Point64 a{x(random), y(random)};
        xe::detail::Point64 b{x(random), y(random)};
        const int k = kind(random);
        if (k == 0) b.y = a.y; // flat
        if (k == 1) b.x = a.x; // upright
        if (k == 2) b = a;     // one pixel
        RenderTest::fillAll(s.get(), kPaper);
        if (GetParam() == 32)
            xe::detail::drawLineInside<4>(pixels, s->pitch, a, b, kInk);
        else
            xe::detail::drawLineInside<2>(pixels, s->pitch, a, b, kInk);
        const auto expected = referenceLine(s->w, s->h, true, a.x, a.y, true, b.x, b.y);
        for (int py = 0; py < s->h; ++py)
            for (int px = 0; px < s->w; ++px)
                ASSERT_EQ(RenderTest::pixelAt(s.get(), px, py) == kInk,
                          static_cast<bool>(expected[static_cast<std::size_t>(py * s->w + px)]))
                    << "line " << a.x << "," << a.y << " -> " << b.x << "," << b.y << " at " << px << ","
                    << py;
    }
}

// A canvas of no width or height takes no pixel, whichever lines cross it.
TEST_P(LinesTest, EmptyCanvasesTakeNoPixel) {
    auto s = makeSurface(GetParam(), 48, 40);
    const xe::Canvas empty[] = {{s.get(), 30, 5, 10, 33}, {s.get(), 7, 30, 41, 12}, {s.get(), 20, 5, 20, 33}};
    for (const xe::Canvas& c : empty) {
        RenderTest::fillAll(s.get(), kPaper);
        for (int x = 0; x < 48; x += 3) xe::drawLine(c, true, x, 0, true, 47 - x, 39, kInk);
        for (int y = 0; y < 40; y += 3) xe::drawLine(c, true, 0, y, true, 47, 39 - y, kInk);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) ASSERT_EQ(RenderTest::pixelAt(s.get(), x, y), kPaper) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, LinesTest, ::testing::Values(16, 32));

TEST(Lines, FarCoordinatesAreClippedWithoutWalkingToTheCanvas) {
    auto s = makeSurface(16, 64, 64);
    const xe::Canvas c{s.get(), 8, 8, 56, 56};
    RenderTest::fillAll(s.get(), 0x7777);
    const int big = 2000000000;
    xe::drawLine(c, true, -big, -big + 3, true, big, big - 5, 1);
    xe::drawLine(c, true, 131072, -big, true, -262144, big, 2);
    xe::drawLine(c, true, -big, 20, true, big, 21, 3);
    xe::drawLine(c, true, 30, -big, true, 30, big, 4);
    xe::drawLine(c, true, INT32_MIN, INT32_MIN, true, INT32_MAX, INT32_MAX, 5);
    xe::drawRect(c, SDL_Rect{-32768, -32768, 65535, 65535}, 6);
    EXPECT_EQ(RenderTest::touchedOutside(s.get(), c, 0x7777), 0);
    EXPECT_EQ(RenderTest::pixelAt(s.get(), 30, 9), 4u);
    EXPECT_GT(RenderTest::countPixels(s.get(), 1), 40);
    EXPECT_GT(RenderTest::countPixels(s.get(), 3), 40);
    EXPECT_GT(RenderTest::countPixels(s.get(), 5), 40);
    const std::int64_t diagonal = RenderTest::countPixels(s.get(), 5);
    EXPECT_LE(diagonal, 48);
}

} // namespace
