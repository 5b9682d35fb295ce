#include "map/FloatMath.h"
#include "map/LevelFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Map::LevelFrame;
using Map::LocalPoint;
using Map::Point;

TEST(LevelFrame, ToLocalAndBack) {
    // 24 bits: one level unit is 256 global units; cells of 2^4 units; the
    // origin (3, -2 as u32) in cells is (3 << 12, -2 << 12) global units.
    const LevelFrame frame{24, 4, 3, 0xFFFFFFFEu};
    EXPECT_EQ(frame.originShift(), 12u);
    EXPECT_EQ(frame.unit(), 256.0);
    const LocalPoint local = frame.toLocal(Point{(3 << 12) + 512 + 128, -(2 << 12) - 256});
    EXPECT_EQ(local.x, 2.5f);
    EXPECT_EQ(local.y, -1.0f);
    EXPECT_EQ(frame.toGlobal(local), (Point{(3 << 12) + 640, -(2 << 12) - 256}));
    // Rounding to nearest on the way back; 0.5 goes up.
    EXPECT_EQ(frame.toGlobal(LocalPoint{0.001f, -0.001f}), (Point{3 << 12, -(2 << 12)}));
    EXPECT_EQ(frame.toGlobal(LocalPoint{1.0f / 512, 0.0f}).x, (3 << 12) + 1);

    // The difference wraps: a point just past +180 degrees seen from an
    // origin near -180 is a small positive distance.
    const LevelFrame wrapped{32, 0, 0x80000000u, 0};
    EXPECT_EQ(wrapped.toLocal(Point{INT32_MAX, 0}).x, -1.0f);
    EXPECT_EQ(wrapped.toLocal(Point{INT32_MIN + 5, 0}).x, 5.0f);
    EXPECT_EQ(wrapped.toGlobal(LocalPoint{-1.0f, 0.0f}).x, INT32_MAX);
}

TEST(LevelFrame, ThirtyTwoBitsUseFactorOne) {
    const LevelFrame frame{32, 8, 1, 2};
    EXPECT_EQ(frame.unit(), 1.0);
    EXPECT_EQ(frame.originShift(), 8u);
    EXPECT_EQ(frame.toLocal(Point{256 + 7, 512 - 3}), (LocalPoint{7.0f, -3.0f}));
    EXPECT_EQ(frame.toGlobal(LocalPoint{7.0f, -3.0f}), (Point{263, 509}));
    // One bit: the factor is 2^31 and positive (not the negative i32 1 << 31).
    const LevelFrame coarse{1, 0, 0, 0};
    EXPECT_EQ(coarse.unit(), 2147483648.0);
    EXPECT_EQ(coarse.toLocal(Point{1 << 30, -(1 << 30)}), (LocalPoint{0.5f, -0.5f}));
}

TEST(LevelFrame, SplitToCellTruncatesTowardsZero) {
    const LevelFrame unitCells{20, 0, 0, 0};
    const Map::CellSplit negative = unitCells.splitToCell(LocalPoint{-1.5f, 2.25f});
    EXPECT_EQ(negative.cellX, -1);
    EXPECT_EQ(negative.remainderX, -0.5f);
    EXPECT_EQ(negative.cellY, 2);
    EXPECT_EQ(negative.remainderY, 0.25f);

    const LevelFrame frame{20, 4, 0, 0};
    const Map::CellSplit split = frame.splitToCell(LocalPoint{35.5f, -17.0f});
    EXPECT_EQ(split.cellX, 2);
    EXPECT_EQ(split.remainderX, 3.5f);
    EXPECT_EQ(split.cellY, -1);
    EXPECT_EQ(split.remainderY, -1.0f);
    // Far outside the i32 range: saturated, no undefined conversion.
    const Map::CellSplit huge = frame.splitToCell(LocalPoint{1e20f, -1e20f});
    EXPECT_EQ(huge.cellX, INT32_MAX / 16);
    EXPECT_EQ(huge.cellY, INT32_MIN / 16);
    EXPECT_EQ(frame.splitToCell(LocalPoint{NAN, 0.0f}).cellX, 0);
}

TEST(LevelFrame, CellOfFloorsIntegerPoints) {
    const LevelFrame frame{20, 4, 0, 0};
    const Map::CellPosition inside = frame.cellOf(35, 16);
    const Map::CellPosition left = frame.cellOf(-1, -17);
    EXPECT_EQ((std::vector<int>{inside.cellX, inside.remainderX, inside.cellY, inside.remainderY}),
              (std::vector<int>{2, 3, 1, 0}));
    EXPECT_EQ((std::vector<int>{left.cellX, left.remainderX, left.cellY, left.remainderY}),
              (std::vector<int>{-1, 15, -2, 15}));
}

TEST(LevelFrame, ScaleFactorBetweenLevels) {
    const LevelFrame fine{24, 0, 0, 0};
    const LevelFrame coarse{20, 0, 0, 0};
    EXPECT_EQ(LevelFrame::scaleFactor(coarse, fine), 16.0f);
    EXPECT_EQ(LevelFrame::scaleFactor(fine, coarse), 0.0625f);
    EXPECT_EQ(LevelFrame::scaleFactor(fine, fine), 1.0f);
    EXPECT_EQ(LevelFrame::scaleFactor(LevelFrame{1, 0, 0, 0}, LevelFrame{32, 0, 0, 0}), 2147483648.0f);
}

TEST(FloatMath, HeadingFromNorthTowardsEast) {
    const struct {
        float v[2];
        int degrees;
    } rows[] = {{{1, 0}, 90},           {{0, -1}, 180},      {{-1, 0}, 270},  {{0, 1}, 0},
                {{-0.001f, 1}, 0},      {{-0.03f, 1}, 359},  {{0, 0}, 0},     {{NAN, 1}, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(Map::headingDegrees(row.v), row.degrees) << row.v[0] << "," << row.v[1];
    EXPECT_FLOAT_EQ(Map::floatAtan2(1.0f, 1.0f), 0.78539819f);
    EXPECT_DOUBLE_EQ(Map::fastSin(0.5f), std::sin(0.5));
    EXPECT_DOUBLE_EQ(Map::fastCos(0.5f), std::cos(0.5));
    EXPECT_DOUBLE_EQ(Map::fastTan(0.5f), std::tan(0.5));
}

} // namespace
