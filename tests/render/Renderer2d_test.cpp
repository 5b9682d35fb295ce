#include "render/FixedTransform.h"
#include "render/Pixels.h"
#include "render/RendererBase.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using RenderTest::makeSurface;
using RenderTest::mask;
using RenderTest::pixelAt;

constexpr std::uint32_t kRed = 0x000000FF; // renderer colour 0x00BBGGRR
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Scale 1, translation (tx, ty) pixels.
void setFixedView(float scale, float tx, float ty) {
    const float m[16] = {scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, 1, 0, tx, ty, 0, 1};
    xe::toFixedMatrix(m, xe::fixedMatrix2d());
}

TEST(FixedTransform, ToFixedMatrixSaturatesAtTheI32Limits) {
    const float m[16] = {1.0f,      -0.5f,     100.0f,
                         200.0f,    -200.0f,   300.0f,
                         -300.0f,   127.99f,   std::numeric_limits<float>::quiet_NaN(),
                         256.0f,    -256.0f,   0.0f,
                         100000.0f, 200000.0f, -200000.0f,
                         1.5f};
    xe::FixedMatrix f{};
    xe::toFixedMatrix(m, f);
    EXPECT_EQ(f[0], 1 << 24);
    EXPECT_EQ(f[1], -(1 << 23));
    EXPECT_EQ(f[2], 100 << 24);
    EXPECT_EQ(f[3], INT32_MAX); // was wrapping to a negative value
    EXPECT_EQ(f[4], INT32_MIN);
    EXPECT_EQ(f[5], INT32_MAX);
    EXPECT_EQ(f[6], INT32_MIN);
    EXPECT_EQ(f[7], static_cast<std::int32_t>(std::floor(127.99f * 16777216.0 + 0.5)));
    EXPECT_EQ(f[8], 0);
    EXPECT_EQ(f[9], INT32_MAX);
    EXPECT_EQ(f[10], INT32_MIN);
    EXPECT_EQ(f[12], 100000 << 14);
    EXPECT_EQ(f[13], INT32_MAX);
    EXPECT_EQ(f[14], INT32_MIN);
    EXPECT_EQ(f[15], 3 << 13);
    EXPECT_EQ(xe::toFixed(2.0f, 16777216.0f, 8), 512);
    EXPECT_EQ(xe::toFixed(9000000.0f, 16777216.0f, 8), INT32_MAX);
    EXPECT_EQ(xe::toFixed(-0.75f, 256.0f, 24), -12582912);
}

// The conversion against the plain formula, floor(ldexp(v, bits) + 0.5)
// saturated, on random floats of every magnitude the bounds let through,
// values a hair from a half step, and the bounds themselves.
TEST(FixedTransform, ToFixedMatchesTheFloorOfTheScaledValue) {
    auto reference = [](float value, float bound, int bits) {
        if (std::isnan(value)) return 0;
        if (value > bound) return INT32_MAX;
        if (value < -bound) return INT32_MIN;
        const double scaled = std::floor(std::ldexp(static_cast<double>(value), bits) + 0.5);
        if (scaled >= 2147483647.0) return INT32_MAX;
        if (scaled <= -2147483648.0) return INT32_MIN;
        return static_cast<std::int32_t>(scaled);
    };
    struct Format {
        float bound;
        int bits;
    };
    const Format formats[] = {{256.0f, 24}, {262144.0f, 14}, {16777216.0f, 8}};
    std::mt19937 random(RenderTest::testSeed());
    std::uniform_int_distribution<int> exponent(-40, 26);
    std::uniform_real_distribution<float> mantissa(-2.0f, 2.0f);
    int checked = 0;
    for (const Format& format : formats) {
        const float scale = std::ldexp(1.0f, format.bits);
        std::vector<float> values = {0.0f,
                                     -0.0f,
                                     format.bound,
                                     -format.bound,
                                     std::nextafter(format.bound, 0.0f),
                                     -std::nextafter(format.bound, 0.0f),
                                     0.5f / scale,
                                     -0.5f / scale,
                                     1.5f / scale,
                                     -1.5f / scale,
                                     std::numeric_limits<float>::denorm_min(),
                                     -std::numeric_limits<float>::denorm_min()};
        for (int i = 0; i < 200000; ++i)
            values.push_back(std::ldexp(mantissa(random), exponent(random)));
        for (int i = 0; i < 20000; ++i) {
            // k + 1/2 steps and their neighbours, where the floor turns.
            const float half =
                (static_cast<float>(static_cast<int>(random() % 200001) - 100000) + 0.5f) / scale;
            values.push_back(half);
            values.push_back(std::nextafter(half, 1e9f));
            values.push_back(std::nextafter(half, -1e9f));
        }
        for (float v : values) {
            ASSERT_EQ(xe::toFixed(v, format.bound, format.bits), reference(v, format.bound, format.bits))
                << v << " bound " << format.bound;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 3 * (12 + 200000 + 60000));
}

TEST(FixedTransform, CoordinatesBeyondTheFixedRangeSaturateInsteadOfWrapping) {
    setFixedView(1.0f, 0.0f, 0.0f);
    const xe::Point in[6] = {{200000, -200000},      {262144, -262144}, {300000, -300000},
                             {INT32_MAX, INT32_MIN}, {131072, 131073},  {-7, 9}};
    xe::Point out[6];
    xe::transformPoints(6, in, out);
    EXPECT_EQ(out[0], (xe::Point{200000, -200000}));
    EXPECT_EQ(out[1], (xe::Point{262144, -262144}));
    EXPECT_EQ(out[2], (xe::Point{262144, -262144}));
    EXPECT_EQ(out[3], (xe::Point{262144, -262144}));
    EXPECT_EQ(out[4], (xe::Point{131072, 131073}));
    EXPECT_EQ(out[5], (xe::Point{-7, 9}));
    // Scale 1/4096 and a translation: 262144 units are 64 pixels.
    setFixedView(1.0f / 4096.0f, 32.0f, 16.5f);
    xe::transformPoints(6, in, out);
    EXPECT_EQ(out[1], (xe::Point{96, -47})); // 16.5 - 64 = -47.5 rounds up
    EXPECT_EQ(out[3], (xe::Point{96, -47}));
    EXPECT_EQ(out[5], (xe::Point{32, 17}));
}

// The transforms in 128 bits throughout, as their contracts state them.
xe::Point referencePoint(const xe::FixedMatrix& m, xe::Point p) {
    const __int128 x = xe::toFixedCoordinate(p.x);
    const __int128 y = xe::toFixedCoordinate(p.y);
    const std::int64_t fx = static_cast<std::int64_t>((x * m[0] + y * m[4]) >> 24) + m[12];
    const std::int64_t fy = static_cast<std::int64_t>((x * m[1] + y * m[5]) >> 24) + m[13];
    return {static_cast<std::int32_t>((fx + 0x2000) >> 14), static_cast<std::int32_t>((fy + 0x2000) >> 14)};
}
xe::Point referenceOffset(const xe::FixedMatrix& m, std::int32_t width, xe::Point n, std::int32_t length) {
    const std::int64_t k = (std::int64_t{width} * (std::int64_t{1} << 24)) / length;
    const __int128 a = __int128{n.x} * k;
    const __int128 b = __int128{n.y} * k;
    const __int128 limit = __int128{1} << 30;
    const __int128 ox = (((a * m[0] + b * m[4]) >> 34) + 0x2000) >> 14;
    const __int128 oy = (((a * m[1] + b * m[5]) >> 34) + 0x2000) >> 14;
    return {static_cast<std::int32_t>(std::clamp(ox, -limit, limit)),
            static_cast<std::int32_t>(std::clamp(oy, -limit, limit))};
}

// Views of every scale, from a map's to the fixed range's limits, and points
// and normals from short to the i32 limits: the 64-bit shortcuts give what
// 128 bits give.
TEST(FixedTransform, AgreesWithTheWideArithmeticOnRandomViews) {
    std::mt19937 random(RenderTest::testSeed());
    auto value = [&](int bits) {
        const std::int64_t span = std::int64_t{1} << bits;
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::uniform_int_distribution<std::int64_t>(-span, span)(random), INT32_MIN, INT32_MAX));
    };
    for (int view = 0; view < 400; ++view) {
        xe::FixedMatrix& m = xe::fixedMatrix2d();
        m = {};
        const int scaleBits = std::uniform_int_distribution<int>(0, 31)(random);
        for (int i : {0, 1, 4, 5}) m[i] = value(scaleBits);
        m[12] = value(31);
        m[13] = value(31);
        xe::Point points[16];
        xe::Point normals[16];
        for (int i = 0; i < 16; ++i) {
            const int bits = std::uniform_int_distribution<int>(0, 31)(random);
            points[i] = {value(bits), value(bits)};
            normals[i] = {value(bits), value(bits)};
        }
        points[0] = {INT32_MIN, INT32_MAX};
        normals[0] = {INT32_MIN, INT32_MAX};
        const std::int32_t width = value(std::uniform_int_distribution<int>(0, 31)(random));
        std::int32_t length = value(std::uniform_int_distribution<int>(0, 31)(random));
        if (length == 0) length = 1;
        xe::Point out[16];
        xe::transformPoints(16, points, out);
        for (int i = 0; i < 16; ++i) ASSERT_EQ(out[i], referencePoint(m, points[i])) << view << " " << i;
        xe::transformOffsets(16, width, normals, length, out);
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(out[i], referenceOffset(m, width, normals[i], length)) << view << " " << i;
    }
}

class Renderer2dTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { setFixedView(1.0f, 0.0f, 0.0f); }
    xe::RendererBase& renderer() { return dynamic_cast<xe::RendererBase&>(xe::renderer2d()); }
};

TEST_P(Renderer2dTest, ArrowsAreSpacedAlongThePolyline) {
    auto s = makeSurface(GetParam(), 64, 20);
    RenderTest::fillAll(s.get(), 0);
    const std::uint32_t red = xe::mapColor(kRed, s.get());
    // Size 2: arrow length 3. Segments of 8 (half 4) alternate arrow and
    // no arrow; a segment of 6 (half 3) resets the spacing.
    const xe::Point points[7] = {{0, 10}, {8, 10}, {16, 10}, {24, 10}, {32, 10}, {38, 10}, {46, 10}};
    const xe::Point normals[6] = {{0, -16}, {0, -16}, {0, -16}, {0, -16}, {0, -16}, {0, -16}};
    renderer().drawArrows(xe::Canvas::of(s.get()), points, normals, 16, 7, 2.0f, kRed);
    // Each arrow: base from (m, 8) to (m, 12), tip at (m + 6, 10).
    for (int m : {4, 20, 42}) {
        EXPECT_EQ(mask(s.get(), m - 1, 7, 9, 7, red), ".........\n"
                                                      ".#.......\n"
                                                      ".####....\n"
                                                      ".######..\n"
                                                      ".####....\n"
                                                      ".#.......\n"
                                                      ".........\n")
            << m;
    }
    EXPECT_EQ(RenderTest::countPixels(s.get(), red), 3 * 16);
    // The arrow points along the normal turned a quarter: with normals
    // (0, 16) the tips point the other way.
    RenderTest::fillAll(s.get(), 0);
    const xe::Point flipped[2] = {{0, 16}, {0, 16}};
    renderer().drawArrows(xe::Canvas::of(s.get()), points, flipped, 16, 2, 2.0f, kRed);
    EXPECT_EQ(pixelAt(s.get(), 2, 10), red);
    EXPECT_EQ(pixelAt(s.get(), 3, 9), red);
    EXPECT_EQ(pixelAt(s.get(), 6, 10), 0u);
}

TEST_P(Renderer2dTest, PolygonOutlineSkipsEdgesOnTheCellFrame) {
    auto s = makeSurface(GetParam(), 20, 20);
    RenderTest::fillAll(s.get(), 0);
    const std::uint32_t red = xe::mapColor(kRed, s.get());
    setFixedView(1.0f, 2.0f, 2.0f);
    const xe::Canvas c = xe::Canvas::of(s.get());
    // The edge (0,10) -> (0,4) lies on the frame and is not drawn.
    const xe::Point ring[4] = {{0, 4}, {6, 4}, {6, 10}, {0, 10}};
    renderer().drawPolygonOutline(c, 16, ring, 4, kRed);
    EXPECT_EQ(mask(s.get(), 0, 4, 12, 10, red), "............\n"
                                                "............\n"
                                                "...#####....\n"
                                                "........#...\n"
                                                "........#...\n"
                                                "........#...\n"
                                                "........#...\n"
                                                "........#...\n"
                                                "...#####....\n"
                                                "............\n");
    // No frame point: drawn closed.
    RenderTest::fillAll(s.get(), 0);
    const xe::Point triangle[3] = {{2, 2}, {8, 2}, {8, 8}};
    renderer().drawPolygonOutline(c, 16, triangle, 3, kRed);
    EXPECT_EQ(mask(s.get(), 3, 3, 9, 9, red), ".........\n"
                                              "..#####..\n"
                                              "..#....#.\n"
                                              "...#...#.\n"
                                              "....#..#.\n"
                                              ".....#.#.\n"
                                              "......##.\n"
                                              ".........\n"
                                              ".........\n");
    // Only frame points: nothing.
    RenderTest::fillAll(s.get(), 0);
    const xe::Point frame[4] = {{0, 0}, {16, 0}, {16, 16}, {0, 16}};
    renderer().drawPolygonOutline(c, 16, frame, 4, kRed);
    EXPECT_EQ(RenderTest::countPixels(s.get(), 0), 400);
}

INSTANTIATE_TEST_SUITE_P(Depths, Renderer2dTest, ::testing::Values(16, 32));

} // namespace
