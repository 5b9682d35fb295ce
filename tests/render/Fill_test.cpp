#include "render/Fill.h"

#include "SurfaceTestSupport.h"
#include "render/Lines.h"
#include "render/Pixels.h"
#include "render/detail/EvenOddScan.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

namespace {

using RenderTest::makeSurface;
using RenderTest::mask;

constexpr std::uint32_t kInk = 0x3F;
constexpr std::uint32_t kPaper = 0;

class FillTest : public ::testing::TestWithParam<int> {};

TEST_P(FillTest, FlatTriangleFillsOneRowWhileFlatPolygonDrawsNothing) {
    auto s = makeSurface(GetParam(), 10, 3);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Canvas c = xe::Canvas::of(s.get());
    xe::fillTriangle(c, 4, 1, 2, 1, 7, 1, kInk);
    const xe::Point flat[4] = {{1, 2}, {8, 2}, {5, 2}, {3, 2}};
    xe::fillPolygonScan(c, flat, 4, kInk);
    EXPECT_EQ(mask(s.get(), 0, 0, 10, 3, kInk), "..........\n"
                                                "..######..\n"
                                                "..........\n");
}

// A 32x32 pattern whose every pixel is distinct.
RenderTest::SurfacePtr makePattern(int bitsPerPixel, int w, int h) {
    auto p = makeSurface(bitsPerPixel, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(y * 32 + x + 1);
            xe::plotPixel(p.get(), x, y, v);
        }
    return p;
}

TEST_P(FillTest, PatternThatIsNotASquarePowerOfTwoDrawsNothing) {
    auto s = makeSurface(GetParam(), 40, 40);
    RenderTest::fillAll(s.get(), kPaper);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const xe::Point square[4] = {{0, 0}, {30, 0}, {30, 30}, {0, 30}};
    auto wide = makePattern(GetParam(), 32, 16);
    auto odd = makePattern(GetParam(), 24, 24);
    auto otherDepth = makePattern(GetParam() == 16 ? 32 : 16, 32, 32);
    EXPECT_FALSE(xe::isUsablePattern(wide.get(), s.get()));
    EXPECT_FALSE(xe::isUsablePattern(odd.get(), s.get()));
    EXPECT_FALSE(xe::isUsablePattern(otherDepth.get(), s.get()));
    xe::fillPatternScan(xe::Canvas::of(s.get()), identity, square, 4, wide.get());
    xe::fillPatternScan(xe::Canvas::of(s.get()), identity, square, 4, odd.get());
    xe::fillPatternScan(xe::Canvas::of(s.get()), identity, square, 4, otherDepth.get());
    EXPECT_EQ(RenderTest::countPixels(s.get(), kPaper), 1600);
}

// An unrotated pattern at its own scale tiles the polygon: pixel (x, y) takes
// the pattern's pixel at (x + tx, y + ty) wrapped, across several pattern
// widths in one row, and a stretched pattern (the general walk) takes every
// second pixel.
TEST_P(FillTest, PatternAtItsOwnScaleTilesThePlane) {
    auto s = makeSurface(GetParam(), 100, 40);
    auto pattern = makePattern(GetParam(), 32, 32);
    const xe::Point box[4] = {{1, 1}, {99, 1}, {99, 39}, {1, 39}};
    for (const auto& [tx, ty, scale] : {std::tuple{0, 0, 1}, {-7, 5, 1}, {45, -70, 1}, {3, 0, 2}}) {
        RenderTest::fillAll(s.get(), kPaper);
        const float matrix[16] = {1.0f / static_cast<float>(scale), 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0,
                                  static_cast<float>(tx), static_cast<float>(ty), 0, 1};
        xe::fillPatternScan(xe::Canvas::of(s.get()), matrix, box, 4, pattern.get());
        for (int y = 1; y < 39; ++y)
            for (int x = 1; x < 99; ++x) {
                const int u = (scale == 1 ? x + tx : static_cast<int>(std::floor(x / 2.0 + tx + 0.5))) & 31;
                const int v = (y + ty) & 31;
                ASSERT_EQ(RenderTest::pixelAt(s.get(), x, y), static_cast<std::uint32_t>(v * 32 + u + 1))
                    << x << "," << y << " shift " << tx << "," << ty << " scale " << scale;
            }
    }
    // A triangle's spans, of every length from one pixel to several widths:
    // each pixel set is the pattern's.
    const xe::Point triangle[3] = {{1, 1}, {99, 20}, {1, 39}};
    for (const int tx : {0, -13, 50}) {
        RenderTest::fillAll(s.get(), kPaper);
        const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, static_cast<float>(tx), 0, 0, 1};
        xe::fillPatternScan(xe::Canvas::of(s.get()), matrix, triangle, 3, pattern.get());
        EXPECT_GT(100 * 40 - RenderTest::countPixels(s.get(), kPaper), 1500);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 100; ++x) {
                const std::uint32_t at = RenderTest::pixelAt(s.get(), x, y);
                ASSERT_TRUE(at == kPaper || at == static_cast<std::uint32_t>((y & 31) * 32 + ((x + tx) & 31) + 1))
                    << x << "," << y << " shift " << tx;
            }
    }
}

// The flat fill against the scan it was first drawn with (runs sorted afresh
// on every row, spans by drawHSpan), on the whole surface and a clip
// rectangle: small self-intersecting polygons, polygons on a coarse grid
// (horizontal edges, repeated points, runs starting on the same column),
// up to 520 crossing edges, stars with long edges as areas have, and
// vertices far off the canvas. Every pixel must be the same.
TEST_P(FillTest, PolygonScanMatchesTheRowByRowScan) {
    std::mt19937 random(RenderTest::testSeed() + static_cast<unsigned>(GetParam()));
    auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    constexpr int kWidth = 96;
    constexpr int kHeight = 72;
    auto ours = makeSurface(GetParam(), kWidth, kHeight);
    auto theirs = makeSurface(GetParam(), kWidth, kHeight);
    auto blank = makeSurface(GetParam(), kWidth, kHeight);
    RenderTest::fillAll(blank.get(), kPaper);
    auto tables = std::make_unique<xe::detail::ScanTables<xe::detail::EdgeWalker>>();
    const std::size_t rowBytes = static_cast<std::size_t>(kWidth) * ours->format->BytesPerPixel;
    int drawn = 0;
    for (int i = 0; i < 4000; ++i) {
        const int kind = i % 5;
        const int count =
            kind != 2 ? uniform(3, 14) : (i % 100 == 2 ? xe::kMaxPolygonVertices : uniform(40, 160));
        std::vector<xe::Point> p(static_cast<std::size_t>(count));
        const double turn = uniform(0, 359) * 3.14159265358979 / 180;
        for (std::size_t k = 0; k < p.size(); ++k) {
            xe::Point& v = p[k];
            if (kind == 1) {
                v = {uniform(-2, 17) * 6, uniform(-2, 13) * 6};
            } else if (kind == 3) {
                const double r = k % 2 == 0 ? uniform(40, 200) : uniform(5, 40);
                const double a =
                    turn + static_cast<double>(k) * 2 * 3.14159265358979 / static_cast<double>(p.size());
                v = {48 + static_cast<int>(r * std::cos(a)), 36 + static_cast<int>(r * std::sin(a))};
            } else if (kind == 4 && uniform(0, 3) == 0) {
                v = {uniform(-2000000000, 2000000000), uniform(-2000000000, 2000000000)};
            } else {
                v = {uniform(-30, kWidth + 30), uniform(-30, kHeight + 30)};
            }
        }
        for (const xe::Canvas clip :
             {xe::Canvas{nullptr, 0, 0, kWidth, kHeight}, xe::Canvas{nullptr, 11, 7, 70, 61}}) {
            RenderTest::fillAll(ours.get(), kPaper);
            RenderTest::fillAll(theirs.get(), kPaper);
            xe::fillPolygonScan({ours.get(), clip.left, clip.top, clip.right, clip.bottom}, p.data(),
                                static_cast<int>(p.size()), kInk);
            SDL_Surface* target = theirs.get();
            xe::detail::scanPolygon(
                {target, clip.left, clip.top, clip.right, clip.bottom}, p.data(), static_cast<int>(p.size()),
                *tables, [&](xe::detail::i64 y, xe::detail::i64 a, xe::detail::i64 b) {
                    xe::drawHSpan(target, static_cast<std::int32_t>(a), static_cast<std::int32_t>(b),
                                  static_cast<std::int32_t>(y), kInk);
                });
            drawn += std::memcmp(theirs->pixels, blank->pixels,
                                 static_cast<std::size_t>(theirs->pitch) * kHeight) != 0;
            for (int y = 0; y < kHeight; ++y) {
                const auto* a = static_cast<const std::uint8_t*>(ours->pixels) + y * ours->pitch;
                const auto* b = static_cast<const std::uint8_t*>(theirs->pixels) + y * theirs->pitch;
                if (std::memcmp(a, b, rowBytes) == 0) continue;
                std::ostringstream shape;
                for (const xe::Point& v : p)
                    shape << " " << v.x << "," << v.y;
                FAIL() << "polygon " << i << " (kind " << kind << ", clip " << clip.left << "," << clip.top
                       << ") differs on row " << y << ":\n"
                       << RenderTest::mask(ours.get(), 0, y, kWidth, 1, kInk)
                       << RenderTest::mask(theirs.get(), 0, y, kWidth, 1, kInk) << "points" << shape.str();
            }
        }
    }
    EXPECT_GT(drawn, 6000);
}

INSTANTIATE_TEST_SUITE_P(Depths, FillTest, ::testing::Values(16, 32));

// The pattern fill's block scan against the row-by-row scan over the same
// walkers: the very same spans in the same order (a rotated pattern's pixels
// depend on where each span starts and ends), on the whole canvas and a clip
// rectangle, for polygons of the kinds above and tall ones whose rows
// between two vertices fill several blocks.
TEST(Fill, PatternScanHandsOverTheRowByRowSpans) {
    std::mt19937 random(RenderTest::testSeed());
    auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    using xe::detail::i64;
    struct Call {
        i64 y, a, b;
        bool operator==(const Call&) const = default;
    };
    auto rowByRow = std::make_unique<xe::detail::ScanTables<xe::detail::FixedEdge>>();
    auto blocks = std::make_unique<xe::detail::FixedScanTables>();
    std::size_t spans = 0;
    for (int i = 0; i < 4000; ++i) {
        const int kind = i % 6;
        const int count =
            kind != 2 ? uniform(3, 14) : (i % 120 == 2 ? xe::kMaxPolygonVertices : uniform(40, 160));
        std::vector<xe::Point> p(static_cast<std::size_t>(count));
        for (std::size_t k = 0; k < p.size(); ++k) {
            xe::Point& v = p[k];
            if (kind == 1) {
                v = {uniform(-2, 17) * 6, uniform(-2, 13) * 6};
            } else if (kind == 3) {
                const double r = k % 2 == 0 ? uniform(40, 200) : uniform(5, 40);
                const double a = static_cast<double>(k) * 2 * 3.14159265358979 / static_cast<double>(p.size());
                v = {48 + static_cast<int>(r * std::cos(a)), 36 + static_cast<int>(r * std::sin(a))};
            } else if (kind == 4 && uniform(0, 3) == 0) {
                v = {uniform(-2000000000, 2000000000), uniform(-2000000000, 2000000000)};
            } else if (kind == 5) {
                v = {uniform(-200, 300), uniform(-9000, 9000)};
            } else {
                v = {uniform(-30, 126), uniform(-30, 102)};
            }
        }
        for (const xe::Canvas clip : {xe::Canvas{nullptr, 0, 0, 96, 72}, xe::Canvas{nullptr, 11, 7, 70, 61},
                                      xe::Canvas{nullptr, 0, -5000, 96, 5000}}) {
            std::vector<Call> theirs;
            std::vector<Call> ours;
            xe::detail::scanPolygon(clip, p.data(), count, *rowByRow,
                                    [&](i64 y, i64 a, i64 b) { theirs.push_back({y, a, b}); });
            xe::detail::scanFixedPolygon(clip, p.data(), count, *blocks,
                                         [&](i64 y, i64 a, i64 b) { ours.push_back({y, a, b}); });
            spans += theirs.size();
            if (ours == theirs) continue;
            std::ostringstream shape;
            for (const xe::Point& v : p)
                shape << " " << v.x << "," << v.y;
            std::size_t at = 0;
            while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at])
                ++at;
            FAIL() << "polygon " << i << " (kind " << kind << ", clip " << clip.left << "," << clip.top << "): "
                   << ours.size() << " spans against " << theirs.size() << ", first difference at " << at
                   << "\npoints" << shape.str();
        }
    }
    EXPECT_GT(spans, 400000u);
}


TEST(Fill, PolygonsAboveTheVertexLimitAreLoggedAndNotDrawn) {
    TestSupport::CaptureLogger log;
    auto s = makeSurface(32, 64, 64);
    RenderTest::fillAll(s.get(), kPaper);
    std::vector<xe::Point> ring;
    for (int i = 0; i < 521; ++i) {
        const double a = i * 2 * 3.14159265358979 / 521;
        ring.push_back({32 + static_cast<int>(30 * std::cos(a)), 32 + static_cast<int>(30 * std::sin(a))});
    }
    const xe::Canvas c = xe::Canvas::of(s.get());
    xe::fillPolygonScan(c, ring.data(), 521, kInk);
    auto pattern = makePattern(32, 32, 32);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    xe::fillPatternScan(c, identity, ring.data(), 521, pattern.get());
    EXPECT_EQ(RenderTest::countPixels(s.get(), kPaper), 64 * 64);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], "Polygon of 521 points exceeds the limit of 520, not drawn");
    // 520 points are drawn.
    xe::fillPolygonScan(c, ring.data(), 520, kInk);
    EXPECT_GT(RenderTest::countPixels(s.get(), kInk), 2500);
}

struct Poly {
    std::vector<xe::Point> points;
};

// Pixels whose centre is at least two pixels from every edge must follow the
// even-odd rule exactly.
bool evenOddInside(const std::vector<xe::Point>& p, double x, double y) {
    bool inside = false;
    for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const double xi = p[i].x, yi = p[i].y, xj = p[j].x, yj = p[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
}

double distanceToSegment(double px, double py, xe::Point a, xe::Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 == 0 ? 0 : ((px - a.x) * dx + (py - a.y) * dy) / len2;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.x + t * dx - px, ey = a.y + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

TEST(Fill, RandomPolygonsFollowTheEvenOddRuleAndClipConsistently) {
    std::mt19937 random(RenderTest::testSeed());
    std::uniform_int_distribution<int> coordinate(-20, 84);
    std::uniform_int_distribution<int> far(-40000, 40000);
    std::uniform_int_distribution<int> vertices(3, 12);
    std::uniform_int_distribution<int> coin(0, 7);
    auto whole = makeSurface(32, 64, 64);
    auto clipped = makeSurface(32, 64, 64);
    const xe::Canvas full = xe::Canvas::of(whole.get());
    const xe::Canvas clip{clipped.get(), 9, 6, 50, 57};
    for (int i = 0; i < 1500; ++i) {
        std::vector<xe::Point> p(static_cast<std::size_t>(vertices(random)));
        bool hasFar = false;
        for (auto& v : p) {
            const bool isFar = coin(random) == 0;
            hasFar |= isFar;
            v = {isFar ? far(random) : coordinate(random), isFar ? far(random) : coordinate(random)};
        }
        RenderTest::fillAll(whole.get(), kPaper);
        RenderTest::fillAll(clipped.get(), 0x55);
        xe::fillPolygonScan(full, p.data(), static_cast<int>(p.size()), kInk);
        xe::fillPolygonScan(clip, p.data(), static_cast<int>(p.size()), kInk);
        ASSERT_EQ(RenderTest::touchedOutside(clipped.get(), clip, 0x55), 0);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool set = RenderTest::pixelAt(whole.get(), x, y) == kInk;
                if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
                    ASSERT_EQ(RenderTest::pixelAt(clipped.get(), x, y) == kInk, set)
                        << i << " at " << x << "," << y;
                }
                if (hasFar) continue; // float distances to far edges are not precise enough for the margin
                double nearest = 1e9;
                for (std::size_t k = 0; k < p.size(); ++k)
                    nearest = std::min(nearest, distanceToSegment(x, y, p[k], p[(k + 1) % p.size()]));
                if (nearest >= 2.0) {
                    ASSERT_EQ(set, evenOddInside(p, x, y)) << i << " at " << x << "," << y;
                }
            }
    }
}

TEST(Fill, TrianglesCoverTheirEdgeLinesAndClipLikeUnclipped) {
    std::mt19937 random(RenderTest::testSeed());
    std::uniform_int_distribution<int> coordinate(-30, 94);
    std::uniform_int_distribution<int> far(-40000, 40000);
    std::uniform_int_distribution<int> coin(0, 7);
    auto whole = makeSurface(32, 64, 64);
    auto clipped = makeSurface(32, 64, 64);
    auto lines = makeSurface(32, 64, 64);
    const xe::Canvas full = xe::Canvas::of(whole.get());
    const xe::Canvas clip{clipped.get(), 5, 11, 47, 53};
    for (int i = 0; i < 4000; ++i) {
        xe::Point v[3];
        for (auto& p : v) {
            const bool isFar = coin(random) == 0;
            p = {isFar ? far(random) : coordinate(random), isFar ? far(random) : coordinate(random)};
        }
        RenderTest::fillAll(whole.get(), kPaper);
        RenderTest::fillAll(clipped.get(), 0x55);
        RenderTest::fillAll(lines.get(), kPaper);
        xe::fillTriangle(full, v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, kInk);
        xe::fillTriangle(clip, v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, kInk);
        for (int k = 0; k < 3; ++k)
            xe::drawLineBetween(xe::Canvas::of(lines.get()), v[k], v[(k + 1) % 3], kInk);
        ASSERT_EQ(RenderTest::touchedOutside(clipped.get(), clip, 0x55), 0);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool set = RenderTest::pixelAt(whole.get(), x, y) == kInk;
                if (RenderTest::pixelAt(lines.get(), x, y) == kInk) {
                    ASSERT_TRUE(set) << i << ": edge pixel " << x << "," << y << " of " << v[0].x << ","
                                     << v[0].y << " " << v[1].x << "," << v[1].y << " " << v[2].x << ","
                                     << v[2].y;
                }
                if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
                    ASSERT_EQ(RenderTest::pixelAt(clipped.get(), x, y) == kInk, set)
                        << i << " at " << x << "," << y;
                }
            }
    }
}

} // namespace
