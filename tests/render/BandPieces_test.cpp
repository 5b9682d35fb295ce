// Bands and caps are drawn by gathering their pieces' rows and by patterns
// kept per radius; the pixels must be exactly those of the pieces drawn one
// by one (triangles, the caps' squares, the nudged outline lines), wherever
// the shapes lie against a clip rectangle.

#include "render/Bands.h"
#include "render/Fill.h"
#include "render/Lines.h"
#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/detail/ConvexScan.h"
#include "render/detail/QuadScan.h"
#include "render/detail/Raster.h"
#include "render/detail/TriangleScan.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using RenderTest::makeSurface;
using RenderTest::SurfacePtr;

constexpr std::uint32_t kInk = 0x2A;
constexpr int kWidth = 90;
constexpr int kHeight = 70;

std::string bytesOf(const SDL_Surface* s) {
    return std::string(static_cast<const char*>(s->pixels), static_cast<std::size_t>(s->pitch) * s->h);
}

std::int32_t radiusOf(const xe::Point& o) {
    return static_cast<std::int32_t>(xe::isqrt(static_cast<std::uint32_t>(o.x * o.x + o.y * o.y)));
}

void octagonPieces(const xe::Canvas& c, std::int32_t cx, std::int32_t cy, std::int32_t r) {
    if (r < 1) return;
    const std::int32_t a = 181 * r / 256;
    const std::int32_t s = 362 * r / 256;
    for (std::int32_t y = std::max(cy - a, c.top); y < std::min(cy - a + s, c.bottom); ++y)
        xe::drawHSpan(c.surface, std::max(cx - a, c.left), std::min(cx - a + s, c.right), y, kInk);
    xe::fillTriangle(c, cx - a, cy - a, cx + a, cy - a, cx, cy - r, kInk);
    xe::fillTriangle(c, cx + a, cy - a, cx + a, cy + a, cx + r, cy, kInk);
    xe::fillTriangle(c, cx - a, cy + a, cx + a, cy + a, cx, cy + r, kInk);
    xe::fillTriangle(c, cx - a, cy - a, cx - a, cy + a, cx - r, cy, kInk);
}

void outlineLines(const xe::Canvas& c, std::int32_t cx, std::int32_t cy, std::int32_t r) {
    const std::int32_t a = 181 * r / 256;
    const xe::detail::Point64 v[8] = {{cx + r, cy}, {cx + a, cy + a}, {cx, cy + r}, {cx - a, cy + a},
                                      {cx - r, cy}, {cx - a, cy - a}, {cx, cy - r}, {cx + a, cy - a}};
    for (int i = 0; i < 8; ++i) {
        xe::detail::Point64 p = v[i];
        xe::detail::Point64 q = v[(i + 1) % 8];
        xe::detail::nudgeOutward(p, q, {cx, cy}, true);
        xe::detail::drawLine64(c, p, q, kInk);
    }
}

void bandPieces(const xe::Canvas& c, const std::vector<xe::Point>& p, const std::vector<xe::Point>& o) {
    octagonPieces(c, p[0].x, p[0].y, radiusOf(o[0]));
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        const xe::Point a{p[i].x + o[i].x, p[i].y + o[i].y};
        const xe::Point b{p[i].x - o[i].x, p[i].y - o[i].y};
        const xe::Point cc{p[i + 1].x + o[i].x, p[i + 1].y + o[i].y};
        const xe::Point d{p[i + 1].x - o[i].x, p[i + 1].y - o[i].y};
        if (i > 0) {
            xe::fillTriangle(c, p[i].x + o[i - 1].x, p[i].y + o[i - 1].y, a.x, a.y, p[i].x, p[i].y, kInk);
            xe::fillTriangle(c, p[i].x - o[i - 1].x, p[i].y - o[i - 1].y, b.x, b.y, p[i].x, p[i].y, kInk);
        }
        xe::fillTriangle(c, a.x, a.y, cc.x, cc.y, d.x, d.y, kInk);
        xe::fillTriangle(c, d.x, d.y, b.x, b.y, a.x, a.y, kInk);
    }
    octagonPieces(c, p.back().x, p.back().y, radiusOf(o[o.size() - 1]));
}

// A side line moved one pixel towards the offset's side: in y when flatter
// than 45 degrees, else in x.
void shiftedSide(xe::detail::Point64& a, xe::detail::Point64& b, xe::detail::Point64 o) {
    if (std::abs(b.y - a.y) < std::abs(b.x - a.x)) {
        a.y += o.y > 0 ? 1 : -1;
        b.y += o.y > 0 ? 1 : -1;
    } else {
        a.x += o.x > 0 ? 1 : -1;
        b.x += o.x > 0 ? 1 : -1;
    }
}

// A band's border as its lines one by one: the caps' outlines, both sides
// moved one pixel outwards, the joints' lines nudged away from the point.
void borderLines(const xe::Canvas& c, const std::vector<xe::Point>& p, const std::vector<xe::Point>& o) {
    using xe::detail::Point64;
    outlineLines(c, p[0].x, p[0].y, radiusOf(o[0]));
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        Point64 a{p[i].x + o[i].x, p[i].y + o[i].y};
        Point64 cc{p[i + 1].x + o[i].x, p[i + 1].y + o[i].y};
        shiftedSide(a, cc, {o[i].x, o[i].y});
        xe::detail::drawLine64(c, a, cc, kInk);
        Point64 b{p[i].x - o[i].x, p[i].y - o[i].y};
        Point64 d{p[i + 1].x - o[i].x, p[i + 1].y - o[i].y};
        shiftedSide(b, d, {-o[i].x, -o[i].y});
        xe::detail::drawLine64(c, b, d, kInk);
        if (i > 0) {
            for (int side : {1, -1}) {
                Point64 j0{p[i].x + side * o[i - 1].x, p[i].y + side * o[i - 1].y};
                Point64 j1{p[i].x + side * o[i].x, p[i].y + side * o[i].y};
                xe::detail::nudgeOutward(j0, j1, {p[i].x, p[i].y}, false);
                xe::detail::drawLine64(c, j0, j1, kInk);
            }
        }
    }
    outlineLines(c, p.back().x, p.back().y, radiusOf(o[o.size() - 1]));
}

// Dash pieces filled one by one through the same corner rounding.
class TriangleDashSink final : public xe::DashPieceSink {
  public:
    explicit TriangleDashSink(const xe::Canvas& c) : c_(c) {}
    void piece(const xe::FloatPoint* corners, int count) override {
        xe::Point s[4];
        for (int i = 0; i < count; ++i)
            s[i] = {xe::floorToInt(corners[i].x + 0.5f), xe::floorToInt(corners[i].y + 0.5f)};
        xe::fillTriangle(c_, s[0].x, s[0].y, s[1].x, s[1].y, s[2].x, s[2].y, kInk);
        if (count == 4) xe::fillTriangle(c_, s[2].x, s[2].y, s[3].x, s[3].y, s[0].x, s[0].y, kInk);
    }

  private:
    const xe::Canvas& c_;
};

class BandPiecesTest : public ::testing::TestWithParam<int> {
  protected:
    // Draws with `ours` and with `pieces` on fresh surfaces and compares.
    template <class Ours, class Pieces> void expectSame(const std::string& what, Ours ours, Pieces pieces) {
        SurfacePtr a = makeSurface(GetParam(), kWidth, kHeight);
        SurfacePtr b = makeSurface(GetParam(), kWidth, kHeight);
        ours(xe::Canvas{a.get(), 6, 4, kWidth - 9, kHeight - 5});
        pieces(xe::Canvas{b.get(), 6, 4, kWidth - 9, kHeight - 5});
        ASSERT_EQ(bytesOf(a.get()), bytesOf(b.get())) << what;
    }
    std::mt19937 random_{RenderTest::testSeed()};
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
};

TEST_P(BandPiecesTest, CapsEqualTheirPiecesAtEveryRadius) {
    // Radii past the largest kept pattern are drawn from their pieces.
    for (int r = 0; r <= 140; ++r) {
        for (int k = 0; k < 8; ++k) {
            int cx = between(-r - 3, kWidth + r + 3);
            int cy = between(-r - 3, kHeight + r + 3);
            // Half of them within a few pixels of just touching the clip
            // rectangle's edges, from inside or outside.
            if (k >= 4) {
                const int near = between(-3, 3);
                cx = k % 2 == 0 ? 6 + r + near : kWidth - 9 - 1 - r + near;
                cy = k < 6 ? 4 + r + between(-3, 3) : kHeight - 5 - 1 - r + between(-3, 3);
            }
            const std::string at = "r " + std::to_string(r) + " at " + std::to_string(cx) + "," + std::to_string(cy);
            expectSame("filled " + at, [&](const xe::Canvas& c) { xe::fillOctagon(c, cx, cy, r, kInk); },
                       [&](const xe::Canvas& c) { octagonPieces(c, cx, cy, r); });
            expectSame("outline " + at, [&](const xe::Canvas& c) { xe::drawOctagonOutline(c, cx, cy, r, kInk); },
                       [&](const xe::Canvas& c) { outlineLines(c, cx, cy, r); });
        }
    }
}

TEST_P(BandPiecesTest, BandsAndDashesEqualTheirPieces) {
    for (int k = 0; k < 400; ++k) {
        const int count = between(2, 7);
        std::vector<xe::Point> points;
        std::vector<xe::Point> offsets;
        // Zig-zags that fold back over their own rows, partly off the canvas;
        // every third one well inside it, where the pieces' rows need no
        // clipping.
        const int margin = k % 3 == 0 ? -18 : 30;
        for (int i = 0; i < count; ++i)
            points.push_back({between(-margin, kWidth + margin), between(-margin, kHeight + margin)});
        const int reach = k % 10 == 0 ? 40 : (k % 3 == 0 ? 5 : 9);
        for (int i = 0; i + 1 < count; ++i)
            offsets.push_back({between(-reach, reach), between(-reach, reach)});
        const std::string what = "case " + std::to_string(k);
        expectSame(what, [&](const xe::Canvas& c) { xe::drawWideBand(c, points.data(), offsets.data(), count, kInk); },
                   [&](const xe::Canvas& c) { bandPieces(c, points, offsets); });
        const float dash = static_cast<float>(between(1, 30));
        const float halfWidth = static_cast<float>(between(1, 24)) / 4.0f;
        static constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        expectSame(what + " dashed",
                   [&](const xe::Canvas& c) {
                       xe::drawDashedBand(c, kIdentity, 16, points.data(), offsets.data(), count, halfWidth, dash,
                                          dash, kInk);
                   },
                   [&](const xe::Canvas& c) {
                       TriangleDashSink sink(c);
                       xe::forEachDashPiece(16, points.data(), offsets.data(), count, halfWidth, dash, dash, sink);
                   });
    }
}

// Borders well inside the canvas (drawn unclipped), near its edges and
// partly off it: the pixels of their lines drawn one by one.
TEST_P(BandPiecesTest, BordersEqualTheirLines) {
    for (int k = 0; k < 600; ++k) {
        const int count = between(2, 7);
        // Caps' radii from small offsets (a table) and from large ones.
        const int reach = k % 20 == 3 ? 90 : (k % 10 == 1 ? 30 : (k % 4 == 0 ? 4 : 9));
        // Every other one on the canvas (6, 4 to 81, 65) with its reach and
        // the border's two pixels to spare.
        const bool onCanvas = k % 2 == 0;
        const int spare = reach + 4;
        std::vector<xe::Point> points;
        std::vector<xe::Point> offsets;
        for (int i = 0; i < count; ++i)
            points.push_back(onCanvas
                                 ? xe::Point{between(6 + spare, 80 - spare), between(4 + spare, 64 - spare)}
                                 : xe::Point{between(-25, kWidth + 25), between(-25, kHeight + 25)});
        for (int i = 0; i + 1 < count; ++i)
            offsets.push_back({between(-reach, reach), between(-reach, reach)});
        expectSame(
            "case " + std::to_string(k),
            [&](const xe::Canvas& c) {
                xe::drawWideBandBorder(c, points.data(), offsets.data(), count, kInk);
            },
            [&](const xe::Canvas& c) { borderLines(c, points, offsets); });
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, BandPiecesTest, ::testing::Values(16, 32));

// The rows a scan reports, clamped to the canvas's columns, and how many
// runs went to each row.
struct RowPixels {
    std::vector<std::string> rows;
    std::vector<int> calls;
    int direct = 0; // runs handed over to be filled at once
};
class RecordingSink {
  public:
    RecordingSink(RowPixels& into, const xe::Canvas& c) : into_(&into), c_(c) {}
    void operator()(std::int64_t y, std::int64_t from, std::int64_t to) const {
        EXPECT_LE(from, to);
        EXPECT_TRUE(y >= c_.top && y < c_.bottom) << y;
        ++into_->calls[y];
        for (std::int64_t x = std::max<std::int64_t>(from, c_.left);
             x <= std::min<std::int64_t>(to, c_.right - 1); ++x)
            into_->rows[y][x] = '#';
    }

    int bytesPerPixel() const { return 4; }
    template <int Bytes> void direct(std::int64_t y, std::int64_t from, std::int64_t to) const {
        EXPECT_TRUE(from >= c_.left && to < c_.right) << from << ".." << to;
        ++into_->direct;
        (*this)(y, from, to);
    }

  private:
    RowPixels* into_;
    xe::Canvas c_;
};

int runsOf(const std::string& row) {
    int runs = 0;
    for (std::size_t x = 0; x < row.size(); ++x)
        runs += row[x] == '#' && (x == 0 || row[x - 1] != '#');
    return runs;
}

// A segment's quadrilateral scanned as one shape reports exactly the pixels of
// its two triangles, row by row; one whose diagonal runs from its top corner
// to its bottom one lying on the canvas's rows gets one run per row.
TEST(BandPieces, QuadrilateralScanEqualsItsTwoTriangles) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const xe::Canvas canvas{nullptr, 6, 4, kWidth - 9, kHeight - 5};
    int shared = 0;
    int flatEnds = 0;
    int direct = 0;
    for (int k = 0; k < 40000; ++k) {
        const int margin = k % 4 == 0 ? -10 : 25;
        const xe::detail::Point64 p{between(-margin, kWidth + margin), between(-margin, kHeight + margin)};
        const int length = k % 5 == 0 ? 3 : 40;
        xe::detail::Point64 q{p.x + between(-length, length), p.y + between(-length, length)};
        // Tall ones, whose rows are filled at once.
        if (k % 5 == 1) q = {p.x + between(-12, 12), p.y + (k % 2 == 0 ? 1 : -1) * between(24, 66)};
        const int reach = k % 7 == 0 ? 1 : (k % 3 == 0 ? 4 : 12);
        xe::detail::Point64 o{between(-reach, reach), between(-reach, reach)};
        // A steep road's offset is often horizontal, a flat one's vertical:
        // the quadrilateral's ends then lie on one row (or column) each.
        if (k % 6 == 2) o.y = 0;
        if (k % 6 == 4) o.x = 0;
        // Every other one rounded like a thick line's corners: off a
        // parallelogram by a pixel.
        auto jitter = [&] { return k % 2 == 0 ? 0 : between(-1, 1); };
        xe::detail::Point64 a{p.x + o.x + jitter(), p.y + o.y + jitter()};
        xe::detail::Point64 b{p.x - o.x + jitter(), p.y - o.y + jitter()};
        xe::detail::Point64 c{q.x + o.x + jitter(), q.y + o.y + jitter()};
        xe::detail::Point64 d{q.x - o.x + jitter(), q.y - o.y + jitter()};
        // Tall kites whose sides leave the diagonal's top with mirrored
        // slopes: walks alike but for their direction, never in step.
        if (k < 4) {
            const int side = k % 2 == 0 ? 1 : -1;
            const int x0 = k < 2 ? 45 : 2;
            a = {x0, 10};
            d = {x0, 64};
            c = {x0 + 10 * side, 37};
            b = {x0 - 10 * side, 37};
        }
        RowPixels ours{std::vector<std::string>(kHeight, std::string(kWidth, '.')),
                       std::vector<int>(kHeight)};
        RowPixels triangles = ours;
        xe::detail::scanQuad(canvas, a.x, a.y, c.x, c.y, d.x, d.y, b.x, b.y, RecordingSink(ours, canvas));
        const RecordingSink pieces(triangles, canvas);
        xe::detail::scanTriangle(canvas, a.x, a.y, c.x, c.y, d.x, d.y, pieces);
        xe::detail::scanTriangle(canvas, d.x, d.y, b.x, b.y, a.x, a.y, pieces);
        const std::string what = "case " + std::to_string(k) + ": " + std::to_string(a.x) + "," +
                                 std::to_string(a.y) + " " + std::to_string(c.x) + "," + std::to_string(c.y) +
                                 " " + std::to_string(d.x) + "," + std::to_string(d.y) + " " +
                                 std::to_string(b.x) + "," + std::to_string(b.y);
        for (int y = 0; y < kHeight; ++y)
            ASSERT_EQ(ours.rows[y], triangles.rows[y]) << what << " row " << y;
        const auto [top, bottom] = std::minmax({a.y, b.y, c.y, d.y});
        const std::int64_t upper = std::min(a.y, d.y);
        const std::int64_t lower = std::max(a.y, d.y);
        const bool diagonalSpans = upper == top && lower == bottom && top < bottom;
        const std::int64_t cross1 = (c.x - a.x) * (d.y - a.y) - (d.x - a.x) * (c.y - a.y);
        const std::int64_t cross2 = (b.x - a.x) * (d.y - a.y) - (d.x - a.x) * (b.y - a.y);
        if (diagonalSpans && top >= canvas.top && (cross1 < 0) != (cross2 < 0) && cross1 != 0 &&
            cross2 != 0 && std::max({a.x, b.x, c.x, d.x}) < canvas.right - 2 &&
            std::min({a.x, b.x, c.x, d.x}) > canvas.left + 2) {
            ++shared;
            flatEnds += a.y == b.y || c.y == d.y;
            direct += ours.direct > 0;
            for (int y = 0; y < kHeight; ++y)
                ASSERT_LE(ours.calls[y], std::max(1, runsOf(ours.rows[y]))) << what << " row " << y;
        }
    }
    EXPECT_GT(shared, 2000);
    EXPECT_GT(flatEnds, 500);
    EXPECT_GT(direct, 1200);
}

// The triangle scan as first written, each of its two sections (above and
// below the middle corner) by a loop of its own, the sides stepped by the
// walker's general step.
template <class Sink>
void scanTriangleBySections(const xe::Canvas& canvas, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                            std::int64_t y1, std::int64_t x2, std::int64_t y2, const Sink& run) {
    using i64 = std::int64_t;
    auto order = [](i64& xa, i64& ya, i64& xb, i64& yb) {
        if (ya > yb) {
            std::swap(xa, xb);
            std::swap(ya, yb);
        }
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
    xe::detail::EdgeWalker e01(x0, y0, x1, y1);
    xe::detail::EdgeWalker e02(x0, y0, x2, y2);
    const bool shortLeft = __int128{x1 - x0} * (y2 - y0) < __int128{x2 - x0} * (y1 - y0);
    const bool inside = minX >= canvas.left && maxX < canvas.right;
    auto rows = [&](i64& y, i64 end) {
        for (; y < end; ++y) {
            e01.step<false>();
            e02.step<false>();
            const xe::detail::EdgeWalker& l = shortLeft ? e01 : e02;
            const xe::detail::EdgeWalker& r = shortLeft ? e02 : e01;
            if (l.xmin > r.xmax) continue;
            if constexpr (requires { run.inside(y, y, y); }) {
                if (inside) {
                    run.inside(y, l.xmin, r.xmax);
                    continue;
                }
            }
            run(y, l.xmin, r.xmax);
        }
    };
    i64 y = y0;
    if (y < top) {
        const i64 n = std::min(top, y1) - y;
        e01.skip(n);
        e02.skip(n);
        y += n;
    }
    rows(y, std::min(y1, bottom));
    if (y >= bottom) return;
    const bool atJoin = y == y1;
    i64 joinMin = 0;
    i64 joinMax = 0;
    if (atJoin) {
        e01.step<false>();
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
        e01.step<false>();
        e02.step<false>();
        i64 from = shortLeft ? std::min(e01.xmin, joinMin) : e02.xmin;
        i64 to = shortLeft ? e02.xmax : std::max(e01.xmax, joinMax);
        if (from <= to) run(y, from, to);
        ++y;
    }
    rows(y, std::min(y2, bottom));
    if (y == y2 && y < bottom) {
        e01.step<false>();
        e02.step<false>();
        i64 from = std::min(e01.xmin, e02.xmin);
        i64 to = std::max(e01.xmax, e02.xmax);
        if (atJoin && y == y1) {
            from = std::min(from, joinMin);
            to = std::max(to, joinMax);
        }
        run(y, from, to);
    }
}

// Every call a scan makes, in order: "y from to", marked when handed over as
// lying on the canvas's columns. A sink like a band's (with inside()), or
// like a lone triangle's fill (without).
class PlainCallLog {
  public:
    explicit PlainCallLog(std::string& into) : into_(&into) {}
    void operator()(std::int64_t y, std::int64_t from, std::int64_t to) const { add(' ', y, from, to); }

  protected:
    void add(char kind, std::int64_t y, std::int64_t from, std::int64_t to) const {
        *into_ += kind + std::to_string(y) + ':' + std::to_string(from) + ".." + std::to_string(to) + ' ';
    }

  private:
    std::string* into_;
};
class CallLog : public PlainCallLog {
  public:
    using PlainCallLog::PlainCallLog;
    void inside(std::int64_t y, std::int64_t from, std::int64_t to) const { add('i', y, from, to); }
};

// The scan walks both sections through one loop, for a band's sink its sides
// of either kind in one form of walk; it makes the very calls of the scan by
// sections, whose sides step by the walker's own rules, in the same order,
// for both kinds of sink: small band joints, long slivers, flat tops and
// bottoms, corners on one row or column, collinear corners, and triangles
// cut by every side of the canvas (rows skipped above it, cut off below it,
// runs beyond its columns).
TEST(BandPieces, TriangleScanMakesTheCallsOfTheScanBySections) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const xe::Canvas canvas{nullptr, 6, 4, kWidth - 9, kHeight - 5};
    int cut = 0;
    int inside = 0;
    for (int k = 0; k < 60000; ++k) {
        const int margin = k % 3 == 0 ? -10 : 30;
        const xe::detail::Point64 p{between(-margin, kWidth + margin), between(-margin, kHeight + margin)};
        const int reach = k % 4 == 0 ? 3 : (k % 4 == 1 ? 8 : 60);
        xe::detail::Point64 q{p.x + between(-reach, reach), p.y + between(-reach, reach)};
        xe::detail::Point64 r{p.x + between(-reach, reach), p.y + between(-reach, reach)};
        if (k % 9 == 2) q.y = p.y;                                   // a flat side
        if (k % 9 == 3) r.x = q.x;                                   // an upright side
        if (k % 9 == 4) r = {p.x + 2 * (q.x - p.x), p.y + 2 * (q.y - p.y)}; // collinear
        if (k % 9 == 5) r.y = q.y = p.y;                             // one row
        std::string ours;
        std::string sections;
        xe::detail::scanTriangle(canvas, p.x, p.y, q.x, q.y, r.x, r.y, CallLog(ours));
        scanTriangleBySections(canvas, p.x, p.y, q.x, q.y, r.x, r.y, CallLog(sections));
        ASSERT_EQ(ours, sections) << "case " << k << ": " << p.x << "," << p.y << " " << q.x << "," << q.y << " "
                                  << r.x << "," << r.y;
        std::string plain;
        std::string plainSections;
        xe::detail::scanTriangle(canvas, p.x, p.y, q.x, q.y, r.x, r.y, PlainCallLog(plain));
        scanTriangleBySections(canvas, p.x, p.y, q.x, q.y, r.x, r.y, PlainCallLog(plainSections));
        ASSERT_EQ(plain, plainSections) << "case " << k << " without inside()";
        const auto [left, right] = std::minmax({p.x, q.x, r.x});
        const auto [upper, lower] = std::minmax({p.y, q.y, r.y});
        cut += !ours.empty() &&
               (left < canvas.left || right >= canvas.right || upper < canvas.top || lower >= canvas.bottom);
        inside += ours.find('i') != std::string::npos;
    }
    EXPECT_GT(cut, 15000);
    EXPECT_GT(inside, 15000);
}

// The 3D bands' pieces of four corners s0..s3 are the triangles (s0, s1, s2)
// and (s0, s2, s3); scanned as one quadrilateral (s0 as its diagonal's
// start, s2 its end) they give the same pixels, row by row. Their shapes:
// segments and cap squares seen in perspective (trapezoids, kites), any
// convex or folded four corners, corners on shared rows and columns, and
// corners drawn together.
TEST(BandPieces, PerspectiveQuadrilateralScanEqualsItsTwoTriangles) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const xe::Canvas canvas{nullptr, 5, 3, kWidth - 7, kHeight - 6};
    int shared = 0;
    for (int k = 0; k < 40000; ++k) {
        using P = xe::detail::Point64;
        P s[4];
        const int margin = k % 4 == 0 ? -8 : 30;
        const P centre{between(-margin, kWidth + margin), between(-margin, kHeight + margin)};
        switch (k % 4) {
        case 0: // any four corners, folded ones too
            for (P& p : s)
                p = {centre.x + between(-30, 30), centre.y + between(-30, 30)};
            break;
        case 1: { // a trapezoid: the far side shorter than the near one
            const int near = between(0, 40);
            const int far = between(0, near);
            const int depth = between(0, 45);
            const int lean = between(-20, 20);
            const int sign = k % 8 == 1 ? 1 : -1;
            s[0] = {centre.x - near, centre.y};
            s[1] = {centre.x + lean - far, centre.y - sign * depth};
            s[2] = {centre.x + lean + far, centre.y - sign * depth};
            s[3] = {centre.x + near, centre.y};
            break;
        }
        case 2: { // a square turned and squashed by the tilt
            const int r = between(0, 25);
            const int squash = between(1, 4);
            const double turn = between(0, 359) * 0.017453292519943295;
            for (int i = 0; i < 4; ++i) {
                const double a = turn + i * 1.5707963267948966;
                s[i] = {centre.x + static_cast<std::int64_t>(std::lround(r * std::cos(a))),
                        centre.y + static_cast<std::int64_t>(std::lround(r * std::sin(a) / squash))};
            }
            break;
        }
        default: // few distinct rows and columns: ties everywhere
            for (P& p : s)
                p = {centre.x + 6 * between(-3, 3), centre.y + 6 * between(-3, 3)};
            break;
        }
        // Every ring direction and starting corner.
        const int first = between(0, 3);
        const bool reverse = between(0, 1) == 1;
        P r[4];
        for (int i = 0; i < 4; ++i)
            r[i] = s[(first + (reverse ? 4 - i : i)) % 4];
        RowPixels ours{std::vector<std::string>(kHeight, std::string(kWidth, '.')),
                       std::vector<int>(kHeight)};
        RowPixels triangles = ours;
        xe::detail::scanQuad(canvas, r[0].x, r[0].y, r[1].x, r[1].y, r[2].x, r[2].y, r[3].x, r[3].y,
                             RecordingSink(ours, canvas));
        const RecordingSink pieces(triangles, canvas);
        xe::detail::scanTriangle(canvas, r[0].x, r[0].y, r[1].x, r[1].y, r[2].x, r[2].y, pieces);
        xe::detail::scanTriangle(canvas, r[0].x, r[0].y, r[2].x, r[2].y, r[3].x, r[3].y, pieces);
        for (int y = 0; y < kHeight; ++y)
            ASSERT_EQ(ours.rows[y], triangles.rows[y])
                << "case " << k << ": " << r[0].x << "," << r[0].y << " " << r[1].x << "," << r[1].y << " "
                << r[2].x << "," << r[2].y << " " << r[3].x << "," << r[3].y << " row " << y;
        // Diagonal from the top corner to the bottom one, the others on
        // either side: the shared walk, one run a row.
        const auto [top, bottom] = std::minmax({r[0].y, r[1].y, r[2].y, r[3].y});
        const P t = r[0].y < r[2].y ? r[0] : r[2];
        const P u = r[0].y < r[2].y ? r[2] : r[0];
        const std::int64_t side1 = (r[1].x - t.x) * (u.y - t.y) - (u.x - t.x) * (r[1].y - t.y);
        const std::int64_t side3 = (r[3].x - t.x) * (u.y - t.y) - (u.x - t.x) * (r[3].y - t.y);
        if (t.y == top && u.y == bottom && top < bottom && top >= canvas.top && (side1 < 0) != (side3 < 0) &&
            side1 != 0 && side3 != 0)
            ++shared;
    }
    EXPECT_GT(shared, 5000);
}

// A segment seen along its length: its quadrilateral's diagonal joins the
// middle corners and the others lie beyond its ends, on either side. Scanned
// as one shape it gives the pixels of its two triangles, row by row, and one
// run a row where the triangles' runs touch. Segments of any direction and
// length, their far ends narrowed by the view, their corners rounded to
// pixels, and any four corners of that kind, across every side of the
// canvas, in every ring order.
TEST(BandPieces, QuadrilateralAcrossItsDiagonalEqualsItsTwoTriangles) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const xe::Canvas canvas{nullptr, 5, 3, kWidth - 7, kHeight - 6};
    int across = 0;
    int joined = 0; // cases whose triangles hand some row two runs
    for (int k = 0; k < 40000; ++k) {
        using P = xe::detail::Point64;
        const int margin = k % 4 == 0 ? -10 : 25;
        const P p{between(-margin, kWidth + margin), between(-margin, kHeight + margin)};
        const int length = k % 3 == 0 ? 6 : 45;
        const P q{p.x + between(-length, length), p.y + between(-length, length)};
        // The offset across the segment, narrowed at the far end.
        const double along = std::hypot(double(q.x - p.x), double(q.y - p.y));
        const double width = between(1, 14);
        const double nx = along > 0 ? -(q.y - p.y) / along * width : width;
        const double ny = along > 0 ? (q.x - p.x) / along * width : 0;
        const double narrow = between(40, 100) / 100.0;
        auto jitter = [&] { return k % 2 == 0 ? 0 : between(-1, 1); };
        auto corner = [&](P at, double scale, int sign) {
            return P{at.x + static_cast<std::int64_t>(std::lround(sign * nx * scale)) + jitter(),
                     at.y + static_cast<std::int64_t>(std::lround(sign * ny * scale)) + jitter()};
        };
        P s[4] = {corner(p, 1, 1), corner(q, narrow, 1), corner(q, narrow, -1), corner(p, 1, -1)};
        // Every third one any such four corners: the diagonal s0-s2, s1
        // above its top, s3 below its bottom, at any column.
        if (k % 3 == 2) {
            s[0] = p;
            s[2] = {p.x + between(-30, 30), p.y + between(1, 30)};
            s[1] = {p.x + between(-30, 30), p.y - between(1, 20)};
            s[3] = {p.x + between(-30, 30), s[2].y + between(1, 20)};
        }
        const int first = between(0, 3);
        const bool reverse = between(0, 1) == 1;
        P r[4];
        for (int i = 0; i < 4; ++i)
            r[i] = s[(first + (reverse ? 4 - i : i)) % 4];
        RowPixels ours{std::vector<std::string>(kHeight, std::string(kWidth, '.')), std::vector<int>(kHeight)};
        RowPixels triangles = ours;
        xe::detail::scanQuad(canvas, r[0].x, r[0].y, r[1].x, r[1].y, r[2].x, r[2].y, r[3].x, r[3].y,
                             RecordingSink(ours, canvas));
        const RecordingSink pieces(triangles, canvas);
        xe::detail::scanTriangle(canvas, r[0].x, r[0].y, r[1].x, r[1].y, r[2].x, r[2].y, pieces);
        xe::detail::scanTriangle(canvas, r[2].x, r[2].y, r[3].x, r[3].y, r[0].x, r[0].y, pieces);
        std::ostringstream what;
        what << "case " << k << ":";
        for (const P& c : r)
            what << " " << c.x << "," << c.y;
        for (int y = 0; y < kHeight; ++y)
            ASSERT_EQ(ours.rows[y], triangles.rows[y]) << what.str() << " row " << y;
        // The diagonal r0-r2 from t down to u, the other corners beyond its
        // ends on either side of it.
        const P t = r[0].y < r[2].y ? r[0] : r[2];
        const P u = r[0].y < r[2].y ? r[2] : r[0];
        const P h = r[1].y < r[3].y ? r[1] : r[3];
        const P l = r[1].y < r[3].y ? r[3] : r[1];
        const std::int64_t hSide = (h.x - t.x) * (u.y - t.y) - (u.x - t.x) * (h.y - t.y);
        const std::int64_t lSide = (l.x - t.x) * (u.y - t.y) - (u.x - t.x) * (l.y - t.y);
        if (h.y < t.y && t.y < u.y && u.y < l.y && h.y >= canvas.top && hSide != 0 && lSide != 0 &&
            (hSide < 0) != (lSide < 0) && h.y < canvas.bottom) {
            ++across;
            bool single = true;
            for (int y = 0; y < kHeight; ++y) {
                ASSERT_LE(ours.calls[y], std::max(1, runsOf(ours.rows[y]))) << what.str() << " row " << y;
                single = single && triangles.calls[y] <= 1;
            }
            joined += !single;
        }
    }
    EXPECT_GT(across, 5000);
    EXPECT_GT(joined, 4000);
}

// The same recording for a sink that also takes runs known to lie on the
// canvas's columns.
class InsideRecordingSink : public RecordingSink {
  public:
    InsideRecordingSink(RowPixels& into, const xe::Canvas& c) : RecordingSink(into, c), canvas_(c) {}
    void inside(std::int64_t y, std::int64_t from, std::int64_t to) const {
        EXPECT_TRUE(from >= canvas_.left && to < canvas_.right && from <= to) << y << ": " << from << ".." << to;
        (*this)(y, from, to);
    }

  private:
    xe::Canvas canvas_;
};

// A polygon's rows by its edges' plain walks, every row from each edge's
// start (no skipping), each row's hull from its leftmost to its rightmost
// pixel: what the polygon scan must report.
void convexByWalks(const xe::Canvas& canvas, const std::vector<xe::detail::Point64>& p, RowPixels& into) {
    const int height = static_cast<int>(into.rows.size());
    std::vector<std::int64_t> from(height, INT64_MAX), to(height, INT64_MIN);
    for (std::size_t i = 0; i < p.size(); ++i) {
        xe::detail::Point64 a = p[i];
        xe::detail::Point64 b = p[(i + 1) % p.size()];
        if (a.y > b.y) std::swap(a, b);
        xe::detail::EdgeWalker edge(a.x, a.y, b.x, b.y);
        for (std::int64_t y = a.y; y <= b.y; ++y) {
            edge.step();
            if (y < canvas.top || y >= canvas.bottom) continue;
            from[y] = std::min(from[y], edge.xmin);
            to[y] = std::max(to[y], edge.xmax);
        }
    }
    const RecordingSink sink(into, canvas);
    for (int y = 0; y < height; ++y) {
        if (from[y] <= to[y]) sink(y, from[y], to[y]);
    }
}

// The polygon scan gives each row the hull of its edges' walks, one run a
// row: caps' octagons seen in perspective (squashed, turned, with corners
// rounded to pixels, a few taller than the rows kept on the stack), any
// polygon of one to nine corners, corners on shared rows and columns;
// across every side of the canvas, in either turn from any corner, to a
// sink with and without inside().
TEST(BandPieces, PolygonScanGivesItsEdgesHullPerRow) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    // Taller than the other tests' canvas: room for rows beyond the stack's.
    constexpr int kRows = 160;
    const xe::Canvas canvas{nullptr, 5, 3, kWidth - 7, kRows - 6};
    int tall = 0;
    int inside = 0;
    for (int k = 0; k < 40000; ++k) {
        using P = xe::detail::Point64;
        std::vector<P> s;
        const int margin = k % 4 == 0 ? -8 : 20;
        const P centre{between(-margin, kWidth + margin), between(-margin, kRows + margin)};
        switch (k % 3) {
        case 0: { // an octagon squashed and turned by the tilt
            const bool big = k % 50 == 0;
            const int r = big ? between(33, 60) : between(0, 14);
            const int squash = big ? 1 : between(1, 4);
            const double turn = between(0, 359) * 0.017453292519943295;
            for (int i = 0; i < 8; ++i) {
                const double a = turn + i * 0.7853981633974483;
                s.push_back({centre.x + static_cast<std::int64_t>(std::lround(r * std::cos(a))) + between(-1, 1),
                             centre.y + static_cast<std::int64_t>(std::lround(r * std::sin(a) / squash))});
            }
            break;
        }
        case 1: // any corners, crossing outlines too
            for (int i = between(1, 9); i > 0; --i)
                s.push_back({centre.x + between(-25, 25), centre.y + between(-25, 25)});
            break;
        default: // few distinct rows and columns: ties everywhere
            for (int i = between(1, 9); i > 0; --i)
                s.push_back({centre.x + 5 * between(-3, 3), centre.y + 5 * between(-3, 3)});
            break;
        }
        const int n = static_cast<int>(s.size());
        const int first = between(0, n - 1);
        const bool reverse = between(0, 1) == 1;
        std::vector<P> r(s.size());
        for (int i = 0; i < n; ++i)
            r[i] = s[(first + (reverse ? n - i : i)) % n];
        const auto [low, high] = std::minmax_element(r.begin(), r.end(), [](P a, P b) { return a.y < b.y; });
        tall += std::min<std::int64_t>(high->y, canvas.bottom - 1) - std::max<std::int64_t>(low->y, canvas.top) >= 64;
        const RowPixels blank{std::vector<std::string>(kRows, std::string(kWidth, '.')), std::vector<int>(kRows)};
        RowPixels ours = blank;
        RowPixels walks = blank;
        const xe::detail::ScannedRows rows =
            k % 2 == 0 ? xe::detail::scanConvex(canvas, r.data(), n, InsideRecordingSink(ours, canvas))
                       : xe::detail::scanConvex(canvas, r.data(), n, RecordingSink(ours, canvas));
        convexByWalks(canvas, r, walks);
        std::ostringstream what;
        what << "case " << k << ":";
        for (const P& q : r)
            what << " " << q.x << "," << q.y;
        // The rows reported are those handed runs, the first and last of
        // them included (a gatherer fills no others).
        for (int y = 0; y < kRows; ++y) {
            ASSERT_EQ(ours.rows[y], walks.rows[y]) << what.str() << " row " << y;
            ASSERT_LE(ours.calls[y], 1) << what.str() << " row " << y;
            ASSERT_EQ(ours.calls[y] == 1, y >= rows.first && y <= rows.last) << what.str() << " row " << y;
        }
        const auto [left, right] = std::minmax_element(r.begin(), r.end(), [](P a, P b) { return a.x < b.x; });
        inside += k % 2 == 0 && left->x >= canvas.left && right->x < canvas.right;
    }
    EXPECT_GT(tall, 50);
    EXPECT_GT(inside, 8000);
}

// A source as wide as the target is copied in one piece when both have no
// padding; the result is still SDL's, at offsets cutting the top and bottom.
TEST(BandPieces, BlitOfWholeRowsMatchesSdl) {
    for (int y : {-4, 0, 3, 9}) {
        SurfacePtr source = makeSurface(32, kWidth, 12);
        for (int i = 0; i < source->pitch * source->h; ++i)
            static_cast<std::uint8_t*>(source->pixels)[i] = static_cast<std::uint8_t>(i * 7 + 1);
        SDL_SetAlpha(source.get(), 0, SDL_ALPHA_OPAQUE);
        SurfacePtr ours = makeSurface(32, kWidth, 14);
        SurfacePtr sdl = makeSurface(32, kWidth, 14);
        ASSERT_TRUE(xe::blitWhole(source.get(), ours.get(), 0, y));
        SDL_Rect at{0, static_cast<Sint16>(y), 0, 0};
        ASSERT_EQ(SDL_BlitSurface(source.get(), nullptr, sdl.get(), &at), 0);
        EXPECT_EQ(bytesOf(ours.get()), bytesOf(sdl.get())) << y;
    }
}

} // namespace
