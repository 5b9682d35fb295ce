#include "render/Renderer3d.h"

#include "core/FloatToInt.h"
#include "render/MapCamera.h"
#include "render/Pixels.h"
#include "render/RendererBase.h"
#include "render/detail/BorderLines.h"
#include "render/detail/BorderNudge.h"
#include "render/detail/Raster.h"
#include "tests/render/SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using RenderTest::countPixels;
using RenderTest::makeSurface;
using RenderTest::pixelAt;
using xe::Point;

constexpr std::uint32_t kColour = 0x0000FF; // red
constexpr float kDegrees = 0.01745329238474369f;

// The 3D renderer under the real camera: 200 x 150, 60 degrees, tilt 70,
// looking north, one pixel per level unit at the centre (1000, 1000) of a
// 32-bit level whose cell (0, 0) is the object origin.
struct Scene {
    RenderTest::SurfacePtr surface = makeSurface(32, 200, 150);
    xe::Canvas canvas = xe::Canvas::of(surface.get());
    MapCamera camera;
    Map::LevelFrame frame{32, 16, 0, 0};
    std::uint32_t pixel = 0;

    Scene() {
        camera.setViewport(200, 150, 60 * kDegrees);
        camera.setAnchorFraction(0.2f);
        camera.setMode(1);
        camera.setCentre(Map::Point{1000, 1000});
        camera.setScale(1.0f);
        camera.setupForLevel(frame);
        camera.setOrigin(0, 0);
        pixel = xe::mapColor(kColour, surface.get());
        RenderTest::fillAll(surface.get(), 0);
    }

    int drawn() const { return countPixels(surface.get(), pixel); }
    bool set(int x, int y) const { return pixelAt(surface.get(), x, y) == pixel; }
    xe::Point screenOf(float x, float y) const {
        xe::FloatPoint s;
        camera.projectPoint(Map::LocalPoint{x, y}, false, s);
        return xe::Point{xe::floorToInt(s.x + 0.5f), xe::floorToInt(s.y + 0.5f)};
    }
};

// A random band of 2 to maxPoints points starting in the given box, each
// point up to `step` away from the last, with unit normals scaled by 100.
struct RandomBand {
    std::vector<Point> points;
    std::vector<Point> normals;
};
RandomBand randomBand(std::mt19937& random, int maxPoints, Point from, Point to, int step) {
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    RandomBand band;
    const int count = between(2, maxPoints);
    band.points.push_back(Point{between(from.x, to.x), between(from.y, to.y)});
    for (int i = 1; i < count; ++i) {
        const Point last = band.points.back();
        const Point next{last.x + between(-step, step), last.y + between(-step, step)};
        const double dx = next.x - last.x;
        const double dy = next.y - last.y;
        const double length = std::max(1.0, std::sqrt(dx * dx + dy * dy));
        band.points.push_back(next);
        band.normals.push_back(Point{static_cast<int>(std::lround(100 * dy / length)),
                                     static_cast<int>(std::lround(-100 * dx / length))});
    }
    return band;
}

// A hand-made projection for exact clipping checks: h = (x, y, 0, 100) in
// level units, viewport 200 x 200, so a point (x, y) with |x|, |y| <= 100 is
// drawn at (x + 100, 100 - y).
struct FlatScene {
    RenderTest::SurfacePtr surface = makeSurface(32, 200, 200);
    xe::Canvas canvas = xe::Canvas::of(surface.get());
    std::uint32_t pixel = 0;

    FlatScene() {
        xe::FixedMatrix& m = xe::fixedMatrix3d();
        m = {};
        m[0] = 1 << 24;
        m[5] = 1 << 24;
        m[15] = 100 << 14;
        xe::setViewport3d({100, 0, 0, 0, -100, 0, 100, 100, 1});
        pixel = xe::mapColor(kColour, surface.get());
        RenderTest::fillAll(surface.get(), 0);
    }
    int drawn() const { return countPixels(surface.get(), pixel); }
    bool set(int x, int y) const { return pixelAt(surface.get(), x, y) == pixel; }
};

TEST(Renderer3d, PolygonBehindTheCameraDrawsNothing) {
    Scene s;
    const Point behind[4] = {{900, 0}, {1100, 0}, {1100, 500}, {900, 500}};
    xe::renderer3d().fillPolygon(s.canvas, behind, 4, kColour);
    EXPECT_EQ(s.drawn(), 0);
    xe::renderer3d().drawPolyline(s.canvas, behind, 4, kColour);
    xe::renderer3d().drawPolygonOutline(s.canvas, 1 << 16, behind, 4, kColour);
    EXPECT_EQ(s.drawn(), 0);
}

// The near plane meets the ground along a row of the level: a polygon cut
// there must fill exactly the rows of the same polygon that starts just in
// front of the plane.
TEST(Renderer3d, PolygonCrossingTheNearPlaneIsCut) {
    auto rows = [](int nearY) {
        Scene s;
        const Point crossing[4] = {{950, nearY}, {1050, nearY}, {1050, 1100}, {950, 1100}};
        xe::renderer3d().fillPolygon(s.canvas, crossing, 4, kColour);
        std::vector<std::pair<int, int>> spans;
        for (int y = 0; y < 150; ++y) {
            int first = -1, last = -1, count = 0;
            for (int x = 0; x < 200; ++x)
                if (s.set(x, y)) {
                    if (first < 0) first = x;
                    last = x;
                    ++count;
                }
            EXPECT_TRUE(count == 0 || count == last - first + 1) << "row " << y;
            spans.emplace_back(first, last);
        }
        return spans;
    };
    Scene s;
    xe::Point nearest;
    int inFront = 1000;
    while (s.camera.projectAnchor(Map::LocalPoint{1000.0f, static_cast<float>(inFront - 1)}, nearest)) --inFront;
    ASSERT_LT(inFront, 1000);
    const auto cut = rows(0);
    EXPECT_EQ(cut, rows(inFront + 1));
    // The far edge is where the camera puts it, and the body fills down to
    // the bottom of the screen.
    const xe::Point farEdge = s.screenOf(1000, 1100);
    EXPECT_EQ(cut[farEdge.y - 2].first, -1);
    EXPECT_NE(cut[farEdge.y + 2].first, -1);
    EXPECT_NE(cut[149].first, -1);
}

TEST(Renderer3d, NonPositiveWIsNeverDividedBy) {
    FlatScene f;
    // w = x: the left half of every segment has w <= 0.
    xe::FixedMatrix& m = xe::fixedMatrix3d();
    m = {};
    m[0] = 1 << 24;
    m[5] = 1 << 24;
    m[3] = 1 << 24;
    const Point through[2] = {{-50, 0}, {50, 0}};
    xe::renderer3d().drawPolyline(f.canvas, through, 2, kColour);
    const Point tri[3] = {{-50, 0}, {50, 10}, {50, -10}};
    xe::renderer3d().fillPolygon(f.canvas, tri, 3, kColour);

    // A zero matrix: every point is (0, 0, 0, 0).
    m = {};
    const Point square[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const Point normals[3] = {{0, 10}, {-10, 0}, {0, -10}};
    xe::Renderer& r = xe::renderer3d();
    r.drawPolyline(f.canvas, square, 4, kColour);
    r.fillPolygon(f.canvas, square, 4, kColour);
    r.drawWidePolyline(f.canvas, square, normals, 10, 4, 3, kColour);
    r.drawWidePolylineBorder(f.canvas, square, normals, 10, 4, 3, kColour);
    EXPECT_EQ(f.drawn(), 0);

    // Random matrices and points, every slot: no fault, no undefined
    // behaviour (checked by the sanitizer build).
    std::mt19937 random(RenderTest::testSeed());
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<std::int32_t> small(-300, 300);
    MapCamera::Matrix floatMatrix{};
    for (int round = 0; round < 300; ++round) {
        for (int i = 0; i < 16; ++i) {
            m[i] = round % 3 == 0 ? any(random) : small(random) << (round % 2 == 0 ? 20 : 10);
            floatMatrix[i] = static_cast<float>(small(random)) / 16;
        }
        Point pts[6];
        Point nrm[5];
        for (Point& p : pts)
            p = round % 5 == 0 ? Point{any(random), any(random)} : Point{small(random), small(random)};
        for (Point& n : nrm)
            n = Point{small(random), small(random)};
        const xe::ViewMatrices view{floatMatrix.data(), floatMatrix.data(), nullptr};
        r.drawPolyline(f.canvas, pts, 6, kColour);
        r.fillPolygon(f.canvas, pts, 6, kColour);
        r.drawWidePolyline(f.canvas, pts, nrm, 300, 6, small(random), kColour);
        r.drawWidePolylineBorder(f.canvas, pts, nrm, 300, 6, small(random), kColour);
        r.drawDashedPolyline(f.canvas, view, 300, pts, nrm, 0, 6, 3.0f, 1.0f, kColour);
        r.drawArrows(f.canvas, pts, nrm, 300, 6, 4.0f, kColour);
        r.drawPolygonOutline(f.canvas, 100, pts, 6, kColour);
        xe::drawFloatBand3d(f.canvas, floatMatrix.data(), xe::FloatPoint{0, 0}, xe::FloatPoint{30, 5}, 4,
                            kColour);
    }
}

TEST(Renderer3d, WideBandAndItsBorder) {
    Scene s;
    const Point road[3] = {{960, 1040}, {1040, 1040}, {1040, 1080}};
    const Point normals[2] = {{0, 100}, {-100, 0}};
    xe::renderer3d().drawWidePolyline(s.canvas, road, normals, 100, 3, 6, kColour);
    const xe::Point onRoad = s.screenOf(1000, 1040);
    const xe::Point offRoad = s.screenOf(1000, 1060);
    const xe::Point cap = s.screenOf(1045, 1080); // inside the end cap
    EXPECT_TRUE(s.set(onRoad.x, onRoad.y));
    EXPECT_TRUE(s.set(cap.x, cap.y));
    EXPECT_FALSE(s.set(offRoad.x, offRoad.y));
    const int filled = s.drawn();

    RenderTest::fillAll(s.surface.get(), 0);
    xe::renderer3d().drawWidePolylineBorder(s.canvas, road, normals, 100, 3, 6, kColour);
    EXPECT_GT(s.drawn(), 0);
    EXPECT_LT(s.drawn(), filled);
    EXPECT_FALSE(s.set(onRoad.x, onRoad.y)); // only the border
    const xe::Point edge = s.screenOf(1000, 1046);
    bool nearEdge = false;
    for (int dy = -2; dy <= 2; ++dy)
        nearEdge = nearEdge || s.set(edge.x, edge.y + dy);
    EXPECT_TRUE(nearEdge);

    // A diagonal road: the band lies across its direction.
    RenderTest::fillAll(s.surface.get(), 0);
    const Point diagonal[2] = {{960, 1000}, {1040, 1080}};
    const Point slant[1] = {{-71, 71}};
    xe::renderer3d().drawWidePolyline(s.canvas, diagonal, slant, 100, 2, 6, kColour);
    const xe::Point aside = s.screenOf(997, 1043);
    EXPECT_TRUE(s.set(aside.x, aside.y));

    // The same road behind the camera: nothing.
    RenderTest::fillAll(s.surface.get(), 0);
    const Point behind[3] = {{960, 100}, {1040, 100}, {1040, 140}};
    xe::renderer3d().drawWidePolyline(s.canvas, behind, normals, 100, 3, 6, kColour);
    xe::renderer3d().drawWidePolylineBorder(s.canvas, behind, normals, 100, 3, 6, kColour);
    EXPECT_EQ(s.drawn(), 0);
}

// A border lying beyond a side of the canvas (by the margin its one-pixel
// nudge needs) is dropped whole. Inside a smaller canvas it must set exactly
// the pixels it sets there when drawn on the whole surface, and nothing
// outside it: random bands of every width around all four sides.
TEST(Renderer3d, BorderBeyondACanvasSideIsDroppedExactly) {
    Scene s;
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const xe::Canvas inner{s.surface.get(), 40, 30, 160, 120};
    RenderTest::SurfacePtr whole = makeSurface(32, 200, 150);
    int apart = 0; // drawn on the surface, nothing inside the canvas
    int both = 0;
    for (int k = 0; k < 4000; ++k) {
        auto [points, normals] = randomBand(random, 5, Point{880, 960}, Point{1120, 1240}, 25);
        const int count = static_cast<int>(points.size());
        const int width = between(1, 12);
        RenderTest::fillAll(s.surface.get(), 0);
        RenderTest::fillAll(whole.get(), 0);
        xe::renderer3d().drawWidePolylineBorder(inner, points.data(), normals.data(), 100, count, width, kColour);
        xe::renderer3d().drawWidePolylineBorder(xe::Canvas::of(whole.get()), points.data(), normals.data(), 100,
                                                count, width, kColour);
        int inside = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool in = x >= inner.left && x < inner.right && y >= inner.top && y < inner.bottom;
                const std::uint32_t expected = in ? pixelAt(whole.get(), x, y) : 0;
                ASSERT_EQ(pixelAt(s.surface.get(), x, y), expected) << "case " << k << " at " << x << "," << y;
                inside += in && expected != 0;
            }
        const int drawnWhole = countPixels(whole.get(), s.pixel);
        apart += drawnWhole > 0 && inside == 0;
        both += inside > 0;
    }
    EXPECT_GT(apart, 400);
    EXPECT_GT(both, 400);
}

// A band's body filled from the corners its border kept sets exactly the
// pixels of the body filled on its own: random bands in front of the camera,
// across the near plane and beside the view, the body drawn once before its
// border (nothing kept for it yet) and once after.
TEST(Renderer3d, BodyFromItsBorderCornersMatchesItsOwn) {
    Scene s;
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    RenderTest::SurfacePtr own = makeSurface(32, 200, 150);
    const xe::Canvas ownCanvas = xe::Canvas::of(own.get());
    xe::Renderer& r = xe::renderer3d();
    const std::uint64_t keptBefore = xe::bandBodiesFromBorders();
    int shown = 0;
    for (int k = 0; k < 3000; ++k) {
        auto [points, normals] = randomBand(random, 7, Point{900, 930}, Point{1100, 1300}, 40);
        const int count = static_cast<int>(points.size());
        const int width = between(1, 14);
        RenderTest::fillAll(own.get(), 0);
        r.drawWidePolyline(ownCanvas, points.data(), normals.data(), 100, count, width, kColour);
        r.drawWidePolylineBorder(s.canvas, points.data(), normals.data(), 100, count, width, kColour);
        RenderTest::fillAll(s.surface.get(), 0);
        r.drawWidePolyline(s.canvas, points.data(), normals.data(), 100, count, width, kColour);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(pixelAt(s.surface.get(), x, y), pixelAt(own.get(), x, y))
                    << "case " << k << " at " << x << "," << y;
        shown += s.drawn() > 0;
    }
    // Most bodies came from kept corners; those cut by the near plane, or
    // whose borders lay beyond the canvas, did not.
    const std::uint64_t kept = xe::bandBodiesFromBorders() - keptBefore;
    EXPECT_GT(kept, 1500u);
    EXPECT_GT(shown, static_cast<int>(kept) + 200);
}

// The inline nudge of the 3D border lines moves every line as the general
// one does: short lines around their point, long ones, lines through it,
// points of one pixel, coordinates at and beyond the 64-bit bound.
TEST(Renderer3d, BorderNudgeMatchesTheGeneralOne) {
    std::mt19937_64 random{RenderTest::testSeed()};
    auto between = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(random);
    };
    constexpr std::int64_t kBound = std::int64_t{1} << 29;
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    int general = 0;
    for (int k = 0; k < 400000; ++k) {
        const int kind = k % 5;
        const std::int64_t reach = kind == 0   ? 3
                                   : kind == 1 ? 40
                                   : kind == 2 ? 5000
                                   : kind == 3 ? kBound
                                               : kFar;
        const std::int64_t cx = kind == 3 ? between(-kBound, kBound) : between(-2000, 2000);
        auto near = [&] {
            return xe::detail::Point64{cx + between(-reach, reach), cx + between(-reach, reach)};
        };
        xe::detail::Point64 a = near();
        xe::detail::Point64 b = k % 7 == 0 ? a : near();
        const xe::detail::Point64 p =
            k % 11 == 0 ? xe::detail::Point64{(a.x + b.x) / 2, (a.y + b.y) / 2} : near();
        xe::detail::Point64 ea = a;
        xe::detail::Point64 eb = b;
        xe::detail::nudgeOutward(ea, eb, p, false);
        xe::detail::nudgeAway(a, b, p);
        ASSERT_TRUE(a.x == ea.x && a.y == ea.y && b.x == eb.x && b.y == eb.y) << "case " << k;
        general += kind >= 3;
    }
    EXPECT_GT(general, 100000);
}

// The border lines stored straight into the surface set exactly drawLine64's
// pixels with both end pixels: short lines of every direction (single
// pixels, rows, columns, diagonals) and long ones, on 16- and 32-bit
// surfaces, inside a canvas smaller than the surface, and lines reaching
// past the canvas (which go to drawLine64).
TEST(Renderer3d, BorderLinesMatchDrawLine) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int direct = 0;
    for (int bits : {16, 32}) {
        RenderTest::SurfacePtr ours = makeSurface(bits, 120, 90);
        RenderTest::SurfacePtr theirs = makeSurface(bits, 120, 90);
        const xe::Canvas canvasOurs{ours.get(), 10, 8, 110, 80};
        const xe::Canvas canvasTheirs{theirs.get(), 10, 8, 110, 80};
        for (int k = 0; k < 20000; ++k) {
            const std::uint32_t pixel = static_cast<std::uint32_t>(between(1, 0xFFFF));
            const int reach = k % 4 == 0 ? 60 : (k % 4 == 1 ? 12 : 3);
            const xe::detail::Point64 a{between(5, 114), between(3, 86)};
            xe::detail::Point64 b{a.x + between(-reach, reach), a.y + between(-reach, reach)};
            if (k % 9 == 0) b.y = a.y;
            if (k % 11 == 0) b.x = a.x;
            const xe::detail::BorderLineTarget target(canvasOurs, pixel);
            ASSERT_TRUE(target.usable);
            direct += target.inside(a) && target.inside(b);
            xe::detail::drawBorderLine(canvasOurs, target, a, b);
            xe::detail::drawLine64(canvasTheirs, a, b, pixel);
        }
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x)
                ASSERT_EQ(pixelAt(ours.get(), x, y), pixelAt(theirs.get(), x, y))
                    << bits << " bits at " << x << "," << y;
        // Each line drawn apart too: later lines must not hide a difference.
        for (int k = 0; k < 3000; ++k) {
            RenderTest::fillAll(ours.get(), 0);
            RenderTest::fillAll(theirs.get(), 0);
            const int reach = k % 2 == 0 ? 6 : 40;
            const xe::detail::Point64 a{between(10, 109), between(8, 79)};
            const xe::detail::Point64 b{std::clamp<std::int64_t>(a.x + between(-reach, reach), 10, 109),
                                        std::clamp<std::int64_t>(a.y + between(-reach, reach), 8, 79)};
            xe::detail::drawBorderLine(canvasOurs, xe::detail::BorderLineTarget(canvasOurs, 7), a, b);
            xe::detail::drawLine64(canvasTheirs, a, b, 7);
            for (int y = 0; y < 90; ++y)
                for (int x = 0; x < 120; ++x)
                    ASSERT_EQ(pixelAt(ours.get(), x, y), pixelAt(theirs.get(), x, y))
                        << bits << " bits, line " << k << " at " << x << "," << y;
        }
    }
    EXPECT_GT(direct, 20000);
}

} // namespace

// A closed outline (a cap's eight sides around its point) sets exactly the
// pixels of its sides nudged away from the point and drawn one by one with
// drawLine64: outlines of every size around points inside and outside
// them, on the canvas, touching its sides and reaching past them, at 16
// and 32 bits.
TEST(Renderer3d, ClosedOutlineMatchesItsSidesOneByOne) {
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int whole = 0;
    for (int bits : {16, 32}) {
        RenderTest::SurfacePtr ours = makeSurface(bits, 120, 90);
        RenderTest::SurfacePtr theirs = makeSurface(bits, 120, 90);
        const xe::Canvas canvasOurs{ours.get(), 10, 8, 110, 80};
        const xe::Canvas canvasTheirs{theirs.get(), 10, 8, 110, 80};
        for (int k = 0; k < 6000; ++k) {
            RenderTest::fillAll(ours.get(), 0);
            RenderTest::fillAll(theirs.get(), 0);
            const std::uint32_t pixel = static_cast<std::uint32_t>(between(1, 0xFFFF));
            const int n = k % 3 == 0 ? between(1, 9) : 8;
            const int reach = k % 4 == 0 ? 40 : (k % 4 == 1 ? 12 : 4);
            const xe::detail::Point64 centre{between(0, 119), between(0, 89)};
            xe::detail::Point64 s[9];
            for (int i = 0; i < n; ++i) {
                if (k % 5 == 0) {
                    // A regular octagon, as a cap's outline mostly is.
                    const double angle = (i + 0.3 * (k % 7)) * 0.7853981633974483;
                    s[i] = {centre.x + std::lround(reach * std::cos(angle)),
                            centre.y + std::lround(reach * std::sin(angle))};
                } else {
                    s[i] = {centre.x + between(-reach, reach), centre.y + between(-reach, reach)};
                }
            }
            const xe::detail::Point64 p =
                k % 6 == 0 ? xe::detail::Point64{centre.x + between(-50, 50), centre.y + between(-50, 50)} : centre;
            const xe::detail::BorderLineTarget target(canvasOurs, pixel);
            xe::detail::drawClosedOutline(canvasOurs, target, s, n, p);
            bool inside = true;
            for (int i = 0; i < n; ++i) {
                xe::detail::Point64 a = s[i];
                xe::detail::Point64 b = s[(i + 1) % n];
                xe::detail::nudgeOutward(a, b, p, false);
                inside = inside && target.inside(a) && target.inside(b);
                xe::detail::drawLine64(canvasTheirs, a, b, pixel);
            }
            whole += inside;
            for (int y = 0; y < 90; ++y)
                for (int x = 0; x < 120; ++x)
                    ASSERT_EQ(pixelAt(ours.get(), x, y), pixelAt(theirs.get(), x, y))
                        << bits << " bits, outline " << k << " at " << x << "," << y;
        }
    }
    EXPECT_GT(whole, 4000);
}

// A band's body reaches its border all round, caps included, and stays
// inside it: random one-segment bands lying on the canvas, the border drawn
// in one colour and the body over it in another. No background pixel is
// left enclosed (a gap between body and border): all of it is reached from
// the canvas's corner stepping to the four neighbours. The band is convex,
// so a cap's pixel (beyond an end of the segment on the screen) lies inside
// its border when border pixels lie on both sides of it (or on it) on its
// row and on its column; as a corner where two nudged lines meet may miss a
// pixel (the body's own then), on the rows and columns beside it too.
TEST(Renderer3d, BodyFillsItsBorderWithoutGaps) {
    Scene s;
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    constexpr int kWidth = 200;
    constexpr int kHeight = 150;
    constexpr std::uint32_t kBorderColour = 0x00FF00;
    xe::Renderer& r = xe::renderer3d();
    std::vector<char> outside(kWidth * kHeight);
    std::vector<int> stack;
    // The border's first and last pixel on each row and column.
    std::vector<int> rowFrom(kHeight), rowTo(kHeight), columnFrom(kWidth), columnTo(kWidth);
    int checked = 0;
    for (int k = 0; k < 3000; ++k) {
        const Point from{between(940, 1060), between(1000, 1120)};
        const Point to{from.x + between(-30, 30), from.y + between(-30, 30)};
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        const double length = std::max(1.0, std::sqrt(dx * dx + dy * dy));
        const Point points[2] = {from, to};
        const Point normals[1] = {{static_cast<int>(std::lround(100 * dy / length)),
                                   static_cast<int>(std::lround(-100 * dx / length))}};
        const int width = between(2, 14);
        RenderTest::fillAll(s.surface.get(), 0);
        r.drawWidePolylineBorder(s.canvas, points, normals, 100, 2, width, kBorderColour);
        std::fill(rowFrom.begin(), rowFrom.end(), kWidth);
        std::fill(rowTo.begin(), rowTo.end(), -1);
        std::fill(columnFrom.begin(), columnFrom.end(), kHeight);
        std::fill(columnTo.begin(), columnTo.end(), -1);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (pixelAt(s.surface.get(), x, y) != 0) {
                    rowFrom[y] = std::min(rowFrom[y], x);
                    rowTo[y] = std::max(rowTo[y], x);
                    columnFrom[x] = std::min(columnFrom[x], y);
                    columnTo[x] = std::max(columnTo[x], y);
                }
        r.drawWidePolyline(s.canvas, points, normals, 100, 2, width, kColour);
        bool onCanvas = true;
        for (int x = 0; x < kWidth; ++x)
            onCanvas = onCanvas && pixelAt(s.surface.get(), x, 0) == 0 &&
                       pixelAt(s.surface.get(), x, kHeight - 1) == 0;
        for (int y = 0; y < kHeight; ++y)
            onCanvas = onCanvas && pixelAt(s.surface.get(), 0, y) == 0 &&
                       pixelAt(s.surface.get(), kWidth - 1, y) == 0;
        if (!onCanvas || s.drawn() == 0) continue;
        ++checked;
        const xe::Point start = s.screenOf(static_cast<float>(from.x), static_cast<float>(from.y));
        const xe::Point end = s.screenOf(static_cast<float>(to.x), static_cast<float>(to.y));
        const double ux = end.x - start.x;
        const double uy = end.y - start.y;
        const double along = std::sqrt(ux * ux + uy * uy);
        std::fill(outside.begin(), outside.end(), 0);
        stack.assign(1, 0);
        outside[0] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int x = at % kWidth;
            const int y = at / kWidth;
            for (const int next : {x > 0 ? at - 1 : -1, x + 1 < kWidth ? at + 1 : -1,
                                   y > 0 ? at - kWidth : -1, y + 1 < kHeight ? at + kWidth : -1})
                if (next >= 0 && outside[next] == 0 &&
                    pixelAt(s.surface.get(), next % kWidth, next / kWidth) == 0) {
                    outside[next] = 1;
                    stack.push_back(next);
                }
        }
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t p = pixelAt(s.surface.get(), x, y);
                ASSERT_TRUE(p != 0 || outside[y * kWidth + x] != 0)
                    << "case " << k << ": a gap at " << x << "," << y << " (width " << width << ")\n"
                    << RenderTest::mask(s.surface.get(), x - 8, y - 8, 17, 17, 0);
                auto near = [](const std::vector<int>& v, int at, bool lowest) {
                    const int a = v[static_cast<std::size_t>(std::max(at - 1, 0))];
                    const int b = v[static_cast<std::size_t>(at)];
                    const int c =
                        v[static_cast<std::size_t>(std::min(at + 1, static_cast<int>(v.size()) - 1))];
                    return lowest ? std::min({a, b, c}) : std::max({a, b, c});
                };
                const bool within = near(rowFrom, y, true) <= x && x <= near(rowTo, y, false) &&
                                    near(columnFrom, x, true) <= y && y <= near(columnTo, x, false);
                // The caps: the pixels a pixel beyond either end of the
                // segment on the screen.
                const double beyondTo = (x - end.x) * ux + (y - end.y) * uy;
                const double beyondFrom = (start.x - x) * ux + (start.y - y) * uy;
                const bool cap = std::max(beyondTo, beyondFrom) > along;
                ASSERT_TRUE(p != s.pixel || within || !cap)
                    << "case " << k << ": the body outside its border at " << x << "," << y << " (width "
                    << width << ")";
            }
    }
    EXPECT_GT(checked, 2000);
}

// A point's pixel is ((x V0) / w + V6 + 128) >> 8 (and the same for y),
// the quotient truncated toward zero and the pixel held within 2^40. The
// renderer takes points near the view a short way and the others a general
// one: a polygon with corners on both sides of that bound (and far past the
// canvas, where the pixel bound applies) fills what the formula's corners
// give.
TEST(Renderer3d, ScreenPixelsFollowTheFormulaOnBothSidesOfTheShortWay) {
    RenderTest::SurfacePtr surface = makeSurface(32, 200, 200);
    RenderTest::SurfacePtr expected = makeSurface(32, 200, 200);
    const xe::Canvas canvas = xe::Canvas::of(surface.get());
    const xe::Canvas expectedCanvas = xe::Canvas::of(expected.get());
    const std::uint32_t pixel = xe::mapColor(kColour, surface.get());
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(random);
    };
    // A level coordinate (at most the fixed range) of random size and sign,
    // or one whose numerator with the viewport factor lies near 2^e, e from
    // 40 to 53: on either side of the short way's bound.
    auto coordinate = [&](std::int32_t factor) {
        std::int64_t size = std::int64_t{1} << between(0, 18);
        if (between(0, 1) == 0) {
            const std::int64_t numerator = std::int64_t{1} << between(40, 53);
            size = (numerator + between(0, numerator)) / ((std::int64_t{1} << 14) * std::abs(factor));
        }
        size = std::min<std::int64_t>(size, 262144);
        return static_cast<std::int32_t>(between(0, 1) == 0 ? size : -between(0, size));
    };
    using i128 = __int128;
    xe::FixedMatrix& m = xe::fixedMatrix3d();
    int filled = 0;
    int beyond = 0; // pixels held at 2^40
    int past = 0;   // numerators from 2^47 to 2^52
    for (int k = 0; k < 4000; ++k) {
        // h = (x, y, 0, w) in fixed units: every point lies inside the depth
        // planes, and a small w puts most of them far beyond the side ones.
        const std::int32_t w = static_cast<std::int32_t>(std::int64_t{1} << between(0, 24)) +
                               static_cast<std::int32_t>(between(0, 3));
        m = {};
        m[0] = 1 << 24;
        m[5] = 1 << 24;
        m[15] = w;
        const float scale =
            std::ldexp(static_cast<float>(between(256, 511)), static_cast<int>(between(-8, 14)));
        xe::setViewport3d({scale, 0, 0, 0, -scale, 0, 100, 100, 1});
        const xe::FixedViewport& v = xe::viewport3d().fixed;
        auto screen = [&](Point p) {
            auto axis = [&](std::int32_t c, std::int32_t factor, std::int32_t offset) {
                const i128 n = i128{xe::toFixedCoordinate(c)} * factor;
                const i128 q = n / w;
                const i128 at = (q + offset + 128) >> 8;
                const i128 limit = i128{1} << 40;
                beyond += at < -limit || at > limit;
                past += (n >= (i128{1} << 47) && n < (i128{1} << 52)) ||
                        (n <= -(i128{1} << 47) && n > -(i128{1} << 52));
                return static_cast<std::int64_t>(std::clamp(at, -limit, limit));
            };
            return xe::detail::Point64{axis(p.x, v[0], v[6]), axis(p.y, v[4], v[7])};
        };
        const Point corners[3] = {
            {0, 0}, {coordinate(v[0]), coordinate(v[4])}, {coordinate(v[0]), coordinate(v[4])}};
        RenderTest::fillAll(surface.get(), 0);
        RenderTest::fillAll(expected.get(), 0);
        xe::renderer3d().fillPolygon(canvas, corners, 3, kColour);
        xe::detail::fillTriangle64(expectedCanvas, screen(corners[0]), screen(corners[1]), screen(corners[2]),
                                   pixel);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(pixelAt(surface.get(), x, y), pixelAt(expected.get(), x, y))
                    << "case " << k << " at " << x << "," << y;
        filled += countPixels(surface.get(), pixel) > 0;
    }
    EXPECT_GT(filled, 1000);
    EXPECT_GT(beyond, 300);
    EXPECT_GT(past, 1000);
}

// A border's segment and cap corners are projected from sums of the
// points' and the offsets' products where all lie below 2^30 (fixed units),
// one by one elsewhere; a body drawn without its border projects each
// corner on its own. Bands whose points straddle that bound (level
// coordinate 65536), some with offsets beyond it, fill the same pixels from
// their border's corners as on their own.
TEST(Renderer3d, CornersFromSumsMatchTheirOwnProjection) {
    Scene s;
    s.camera.setCentre(Map::Point{65536, 65536});
    s.camera.setupForLevel(s.frame);
    s.camera.setOrigin(0, 0);
    std::mt19937 random{RenderTest::testSeed()};
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    RenderTest::SurfacePtr own = makeSurface(32, 200, 150);
    const xe::Canvas ownCanvas = xe::Canvas::of(own.get());
    xe::Renderer& r = xe::renderer3d();
    const std::uint64_t keptBefore = xe::bandBodiesFromBorders();
    int shown = 0;
    for (int k = 0; k < 2000; ++k) {
        auto [points, normals] = randomBand(random, 5, Point{65436, 65466}, Point{65636, 65836}, 40);
        const int count = static_cast<int>(points.size());
        // Half-widths of up to 14 level units, and a few of 2^16 or more
        // (offsets beyond 2^30 fixed units).
        const int width = k % 8 == 0 ? between(65536, 70000) : between(1, 14);
        RenderTest::fillAll(own.get(), 0);
        r.drawWidePolyline(ownCanvas, points.data(), normals.data(), 100, count, width, kColour);
        r.drawWidePolylineBorder(s.canvas, points.data(), normals.data(), 100, count, width, kColour);
        RenderTest::fillAll(s.surface.get(), 0);
        r.drawWidePolyline(s.canvas, points.data(), normals.data(), 100, count, width, kColour);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(pixelAt(s.surface.get(), x, y), pixelAt(own.get(), x, y))
                    << "case " << k << " at " << x << "," << y;
        shown += s.drawn() > 0;
    }
    EXPECT_GT(xe::bandBodiesFromBorders() - keptBefore, 1000u);
    EXPECT_GT(shown, 1000);
}
