#include "render/Bands.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using RenderTest::makeSurface;
using RenderTest::mask;
using RenderTest::pixelAt;

constexpr std::uint32_t kInk = 0x2A;
constexpr std::uint32_t kPaper = 0;
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class BandsTest : public ::testing::TestWithParam<int> {};

TEST_P(BandsTest, OctagonOfRadiusOneIsAPlus) {
    auto s = makeSurface(GetParam(), 7, 7);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Canvas c = xe::Canvas::of(s.get());
    xe::fillOctagon(c, 3, 3, 1, kInk);
    xe::fillOctagon(c, 1, 1, 0, kInk); // r < 1: nothing
    EXPECT_EQ(mask(s.get(), 0, 0, 7, 7, kInk), ".......\n"
                                               ".......\n"
                                               "...#...\n"
                                               "..###..\n"
                                               "...#...\n"
                                               ".......\n"
                                               ".......\n");
}

TEST_P(BandsTest, OctagonReachesItsRadiusOnTheAxesAndIsSymmetric) {
    auto s = makeSurface(GetParam(), 21, 21);
    RenderTest::fillAll(s.get(), kPaper);
    xe::fillOctagon(xe::Canvas::of(s.get()), 10, 10, 6, kInk);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) {
            const bool set = pixelAt(s.get(), x, y) == kInk;
            ASSERT_EQ(set, pixelAt(s.get(), 20 - x, y) == kInk) << x << "," << y;
            const int d2 = (x - 10) * (x - 10) + (y - 10) * (y - 10);
            if (d2 <= 16) {
                ASSERT_TRUE(set) << x << "," << y;
            }
            if (d2 > 49) { // the Bresenham edges may reach one pixel beyond r
                ASSERT_FALSE(set) << x << "," << y;
            }
        }
    EXPECT_EQ(pixelAt(s.get(), 4, 10), kInk);
    EXPECT_EQ(pixelAt(s.get(), 3, 10), kPaper);
}

TEST_P(BandsTest, OctagonOutlineLiesJustOutsideTheFilledOctagon) {
    auto filled = makeSurface(GetParam(), 31, 31);
    auto outline = makeSurface(GetParam(), 31, 31);
    RenderTest::fillAll(filled.get(), kPaper);
    RenderTest::fillAll(outline.get(), kPaper);
    xe::fillOctagon(xe::Canvas::of(filled.get()), 15, 15, 9, kInk);
    xe::drawOctagonOutline(xe::Canvas::of(outline.get()), 15, 15, 9, kInk);
    int outlinePixels = 0;
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 31; ++x) {
            if (pixelAt(outline.get(), x, y) != kInk) continue;
            ++outlinePixels;
            const int d2 = (x - 15) * (x - 15) + (y - 15) * (y - 15);
            EXPECT_GE(d2, 6 * 6) << x << "," << y;
            EXPECT_LE(d2, 11 * 11) << x << "," << y;
        }
    EXPECT_GT(outlinePixels, 40);
    EXPECT_EQ(pixelAt(outline.get(), 25, 15), kInk); // the vertex (cx + r, cy) moved out by one
    EXPECT_EQ(pixelAt(filled.get(), 24, 15), kInk);
}

TEST_P(BandsTest, OneSegmentBandHasTwoCapsAndNoJoint) {
    auto s = makeSurface(GetParam(), 60, 40);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Canvas c = xe::Canvas::of(s.get());
    const xe::Point points[2] = {{20, 20}, {40, 20}};
    const xe::Point offsets[1] = {{0, -4}};
    xe::drawWideBand(c, points, offsets, 2, kInk);
    EXPECT_EQ(pixelAt(s.get(), 16, 20), kInk);
    EXPECT_EQ(pixelAt(s.get(), 15, 20), kPaper);
    EXPECT_EQ(pixelAt(s.get(), 44, 20), kInk);
    EXPECT_EQ(pixelAt(s.get(), 45, 20), kPaper);
    for (int x = 20; x <= 40; ++x) {
        EXPECT_EQ(mask(s.get(), x, 15, 1, 11, kInk), ".\n#\n#\n#\n#\n#\n#\n#\n#\n#\n.\n") << x;
    }
    // One point: nothing.
    RenderTest::fillAll(s.get(), kPaper);
    xe::drawWideBand(c, points, offsets, 1, kInk);
    xe::drawWideBandBorder(c, points, offsets, 1, kInk);
    EXPECT_EQ(RenderTest::countPixels(s.get(), kPaper), 60 * 40);
}

TEST_P(BandsTest, SegmentsAreJoinedAtTheirSharedVertex) {
    auto s = makeSurface(GetParam(), 50, 50);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Point points[3] = {{10, 10}, {30, 10}, {30, 30}};
    const xe::Point offsets[2] = {{0, -3}, {3, 0}};
    xe::drawWideBand(xe::Canvas::of(s.get()), points, offsets, 3, kInk);
    // The outer corner's wedge between (30, 7) and (33, 10) is filled, and
    // nothing beyond it.
    EXPECT_EQ(mask(s.get(), 29, 6, 6, 6, kInk), "......\n"
                                                "##....\n"
                                                "###...\n"
                                                "####..\n"
                                                "#####.\n"
                                                "#####.\n");
}

TEST_P(BandsTest, BorderSideLinesLieOnePixelOutsideTheBand) {
    auto s = makeSurface(GetParam(), 60, 40);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Point points[2] = {{20, 20}, {40, 20}};
    const xe::Point offsets[1] = {{0, -4}};
    xe::drawWideBandBorder(xe::Canvas::of(s.get()), points, offsets, 2, kInk);
    // Away from the caps, whose outlines reach r into the band at both ends.
    for (int x = 25; x <= 35; ++x)
        EXPECT_EQ(mask(s.get(), x, 14, 1, 13, kInk), ".\n#\n.\n.\n.\n.\n.\n.\n.\n.\n.\n#\n.\n") << x;
    // Octagon outlines at both ends: the diagonal edges beside the apexes
    // (cx +- r, cy) are moved one pixel up or down.
    EXPECT_EQ(pixelAt(s.get(), 16, 19), kInk);
    EXPECT_EQ(pixelAt(s.get(), 15, 20), kPaper);
    EXPECT_EQ(pixelAt(s.get(), 44, 21), kInk);
    EXPECT_EQ(pixelAt(s.get(), 45, 20), kPaper);
}

TEST_P(BandsTest, DashedBandShorterThanOnePeriodShowsOneDashOverItsFirstHalf) {
    auto s = makeSurface(GetParam(), 60, 30);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Point points[2] = {{10, 15}, {50, 15}};
    const xe::Point normals[1] = {{0, -16}};
    xe::drawDashedBand(xe::Canvas::of(s.get()), kIdentity, 16, points, normals, 2, 3.0f, 30.0f, 30.0f, kInk);
    for (int x = 0; x < 60; ++x) {
        const bool inDash = x >= 10 && x <= 30;
        EXPECT_EQ(pixelAt(s.get(), x, 15) == kInk, inDash) << x;
        EXPECT_EQ(pixelAt(s.get(), x, 12) == kInk, inDash) << x;
        EXPECT_EQ(pixelAt(s.get(), x, 18) == kInk, inDash) << x;
    }
    EXPECT_EQ(RenderTest::countPixels(s.get(), kInk), 21 * 7);
}

TEST_P(BandsTest, DashedBandFitsAWholeNumberOfPeriods) {
    auto s = makeSurface(GetParam(), 120, 30);
    RenderTest::fillAll(s.get(), kPaper);
    // Length 100 with dash 10 and gap 9: five periods, the gap stretched to 10.
    const xe::Point points[3] = {{10, 15}, {60, 15}, {110, 15}};
    const xe::Point normals[2] = {{0, -16}, {0, -16}};
    xe::drawDashedBand(xe::Canvas::of(s.get()), kIdentity, 16, points, normals, 3, 2.0f, 10.0f, 9.0f, kInk);
    std::string row;
    for (int x = 10; x < 110; ++x)
        row += pixelAt(s.get(), x, 15) == kInk ? '#' : '.';
    EXPECT_EQ(row, "###########.........###########.........###########........."
                   "###########.........###########.........");
}

TEST_P(BandsTest, DashedBandSkipsRepeatedPointsAndZeroNormals) {
    auto s = makeSurface(GetParam(), 60, 30);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Point points[4] = {{10, 15}, {10, 15}, {50, 15}, {50, 15}};
    const xe::Point normals[3] = {{0, 0}, {0, -16}, {0, 0}};
    xe::drawDashedBand(xe::Canvas::of(s.get()), kIdentity, 16, points, normals, 4, 3.0f, 30.0f, 30.0f, kInk);
    EXPECT_EQ(RenderTest::countPixels(s.get(), kInk), 21 * 7);
    // A zero normal length or period draws nothing.
    RenderTest::fillAll(s.get(), kPaper);
    xe::drawDashedBand(xe::Canvas::of(s.get()), kIdentity, 0, points, normals, 4, 3.0f, 30.0f, 30.0f, kInk);
    xe::drawDashedBand(xe::Canvas::of(s.get()), kIdentity, 16, points, normals, 4, 3.0f, 0.0f, 0.0f, kInk);
    EXPECT_EQ(RenderTest::countPixels(s.get(), kInk), 0);
}

TEST_P(BandsTest, DashOverACornerGetsABevelJoint) {
    auto s = makeSurface(GetParam(), 60, 60);
    RenderTest::fillAll(s.get(), kPaper);
    // Length 20 + 40, shorter than a period: one dash over the first 30 units,
    // running over the corner at (30, 10), whose outer side is bevelled
    // between (30, 6) and (34, 10).
    const xe::Point points[3] = {{10, 10}, {30, 10}, {30, 50}};
    const xe::Point normals[2] = {{0, -16}, {16, 0}};
    xe::drawDashedBand(xe::Canvas::of(s.get()), kIdentity, 16, points, normals, 3, 4.0f, 60.0f, 60.0f, kInk);
    EXPECT_EQ(pixelAt(s.get(), 32, 8), kInk);   // inside the bevel
    EXPECT_EQ(pixelAt(s.get(), 34, 6), kPaper); // beyond it
    EXPECT_EQ(pixelAt(s.get(), 20, 8), kInk);
    EXPECT_EQ(pixelAt(s.get(), 32, 15), kInk);
    EXPECT_EQ(pixelAt(s.get(), 32, 35), kPaper); // second half: the gap
}

TEST_P(BandsTest, ThickPolylineHasNoCapsAndSkipsVeryLongSegments) {
    auto s = makeSurface(GetParam(), 60, 60);
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Canvas c = xe::Canvas::of(s.get());
    const xe::Point points[2] = {{10, 10}, {30, 10}};
    xe::drawThickPolyline(c, points, 2, 3.0f, kInk);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(mask(s.get(), x, 6, 1, 9, kInk),
                  x >= 10 && x <= 30 ? ".\n#\n#\n#\n#\n#\n#\n#\n.\n" : ".\n.\n.\n.\n.\n.\n.\n.\n.\n")
            << x;
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Point repeated[4] = {{20, 40}, {20, 40}, {20, 40}, {20, 40}};
    xe::drawThickPolyline(c, repeated, 4, 1.2f, kInk); // one octagon of radius 1
    EXPECT_EQ(mask(s.get(), 18, 38, 5, 5, kInk), ".....\n"
                                                 "..#..\n"
                                                 ".###.\n"
                                                 "..#..\n"
                                                 ".....\n");
    RenderTest::fillAll(s.get(), kPaper);
    const xe::Point longOne[2] = {{-2980, 20}, {20, 20}};
    xe::drawThickPolyline(c, longOne, 2, 2.0f, kInk);
    EXPECT_EQ(RenderTest::countPixels(s.get(), kInk), 0);
    const xe::Point shorter[2] = {{-2970, 20}, {20, 20}};
    xe::drawThickPolyline(c, shorter, 2, 2.0f, kInk);
    EXPECT_EQ(RenderTest::countPixels(s.get(), kInk), 21 * 5);
}

INSTANTIATE_TEST_SUITE_P(Depths, BandsTest, ::testing::Values(16, 32));

TEST(Bands, NudgeOutwardMovesAwayFromThePoint) {
    xe::Point a{10, 0}, b{10, 20};
    xe::nudgeOutward(a, b, xe::Point{0, 10}); // steep, point on the left
    EXPECT_EQ(a, (xe::Point{11, 0}));
    EXPECT_EQ(b, (xe::Point{11, 20}));
    a = {0, 5};
    b = {20, 7};
    xe::nudgeOutward(a, b, xe::Point{10, 20}); // flat, point below
    EXPECT_EQ(a, (xe::Point{0, 4}));
    EXPECT_EQ(b, (xe::Point{20, 6}));
    a = {0, 0};
    b = {10, 10};
    xe::nudgeOutward(a, b, xe::Point{10, 0}); // 45 degrees counts as steep
    EXPECT_EQ(a, (xe::Point{-1, 0}));
    EXPECT_EQ(b, (xe::Point{9, 10}));
}

} // namespace
