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

} // namespace

// Only a corner that falls inside a dash gets the two bevel triangles, also
// several periods along the polyline; the dash over it is cut in two.
TEST(Bands, DashPiecesBevelOnlyCornersInsideADash) {
    struct Counter final : xe::DashPieceSink {
        void piece(const xe::FloatPoint*, int count) override { ++(count == 3 ? bevels : quads); }
        int bevels = 0, quads = 0;
    };
    const xe::Point normals[2] = {{0, -16}, {16, 0}};
    struct Row {
        int corner, bevels, quads;
    };
    // 60 units, dash 5 and gap 5: the corner at 22 is in the third dash, at 27
    // in the third gap.
    for (const Row row : {Row{22, 2, 7}, Row{27, 0, 6}}) {
        const xe::Point points[3] = {{0, 0}, {row.corner, 0}, {row.corner, 60 - row.corner}};
        Counter counter;
        xe::forEachDashPiece(16, points, normals, 3, 2.0f, 5.0f, 5.0f, counter);
        EXPECT_EQ(counter.bevels, row.bevels) << row.corner;
        EXPECT_EQ(counter.quads, row.quads) << row.corner;
    }
}
