#include "render/SurfaceTransform.h"

#include "tests/render/SurfaceTestSupport.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace RenderTest;

namespace {

SDL_Rect rect(int x, int y, int w, int h) { return SDL_Rect{Sint16(x), Sint16(y), Uint16(w), Uint16(h)}; }

} // namespace

TEST(SurfaceTransform, ZoomThreeToSevenUsesRoundedStepAtEveryDepth) {
    EXPECT_EQ(Render::detail::zoomStep(3, 7), 0x6DB7u);
    int table[8];
    Render::detail::fillZoomTable(0x6DB7, table, 8);
    EXPECT_EQ(std::vector<int>(table, table + 8), (std::vector<int>{0, 0, 0, 1, 0, 1, 0, 1}));

    for (int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        SurfacePtr source = makeSurface(bits, 3, 1);
        for (int x = 0; x < 3; ++x)
            setPixel(source.get(), x, 0, std::uint32_t(x + 1));
        SurfacePtr zoomed(Render::zoomSurface(source.get(), 7, 2));
        ASSERT_TRUE(zoomed);
        EXPECT_EQ(zoomed->format->BitsPerPixel, bits);
        std::vector<std::uint32_t> row0, row1;
        for (int x = 0; x < 7; ++x) {
            row0.push_back(pixelAt(zoomed.get(), x, 0) - 1);
            row1.push_back(pixelAt(zoomed.get(), x, 1) - 1);
        }
        EXPECT_EQ(row0, (std::vector<std::uint32_t>{0, 0, 0, 1, 1, 2, 2}));
        EXPECT_EQ(row1, row0);
    }
}

TEST(SurfaceTransform, ZoomRefusesRectanglesOutsideTheirSurfaces) {
    SurfacePtr source = argbSurface(4, 4), target = argbSurface(8, 8), other = makeSurface(16, 8, 8);
    fillAll(target.get(), 0x01020304);
    EXPECT_FALSE(Render::zoomInto(rect(0, 0, 8, 8), target.get(), source.get(), rect(1, 0, 4, 4)));
    EXPECT_FALSE(Render::zoomInto(rect(0, 0, 4, 4), target.get(), source.get(), rect(0, -1, 2, 2)));
    EXPECT_FALSE(Render::zoomInto(rect(1, 0, 8, 8), target.get(), source.get(), rect(0, 0, 4, 4)));
    EXPECT_FALSE(Render::zoomInto(rect(5, 5, 7, 3), target.get(), source.get(), rect(0, 0, 4, 4)));
    EXPECT_FALSE(Render::zoomInto(rect(-1, 0, 3, 3), target.get(), source.get(), rect(0, 0, 4, 4)));
    EXPECT_FALSE(Render::zoomInto(rect(0, 0, 3, 3), target.get(), source.get(), rect(0, 0, 0, 4)));
    EXPECT_FALSE(Render::zoomInto(rect(0, 0, 8, 8), other.get(), source.get(), rect(0, 0, 4, 4)));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(pixelAt(target.get(), x, y), 0x01020304u);
    // An empty destination draws nothing and is no error.
    EXPECT_TRUE(Render::zoomInto(rect(0, 0, 0, 5), target.get(), source.get(), rect(0, 0, 4, 4)));
}

TEST(SurfaceTransform, LargeEnlargementStaysInsideTheSourceRectangle) {
    // One pixel to 1000: the rounded step would carry the last columns one
    // past the edge; the neighbour column must never be read.
    SurfacePtr source = argbSurface(2, 1);
    setPixel(source.get(), 0, 0, 0xFFAA0000);
    setPixel(source.get(), 1, 0, 0xFF00BB00);
    SurfacePtr target = argbSurface(1000, 1);
    ASSERT_TRUE(Render::zoomInto(rect(0, 0, 1000, 1), target.get(), source.get(), rect(0, 0, 1, 1)));
    for (int x = 0; x < 1000; ++x)
        ASSERT_EQ(pixelAt(target.get(), x, 0), 0xFFAA0000u) << x;
}

// The exact doubling (zoomInto's own loop) against the definition, each
// source pixel a 2 x 2 square, and against the generic whole-factor path;
// from a part of the source to a part of the target, and in place from the
// target's own top-left corner.
TEST(SurfaceTransform, DoublingIsExactAndEqualsTheGenericPath) {
    std::uint32_t seed = 12345;
    for (int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        const std::uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        SurfacePtr source = makeSurface(bits, 9, 7), target = makeSurface(bits, 20, 16);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                setPixel(source.get(), x, y, (seed = seed * 1103515245u + 12345u) & mask);
        const std::uint32_t marker = 0x5A5A5A5Au & mask;
        fillAll(target.get(), marker);
        // An even width here, an odd one below.
        ASSERT_TRUE(Render::zoomInto(rect(3, 2, 16, 10), target.get(), source.get(), rect(1, 2, 8, 5)));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 3 && x < 19 && y >= 2 && y < 12;
                const std::uint32_t want =
                    inside ? pixelAt(source.get(), 1 + (x - 3) / 2, 2 + (y - 2) / 2) : marker;
                ASSERT_EQ(pixelAt(target.get(), x, y), want) << x << "," << y;
            }

        SurfacePtr generic(Render::wholeScaleSurface(source.get(), 2));
        ASSERT_TRUE(generic);
        SurfacePtr doubled = makeSurface(bits, 18, 14);
        ASSERT_TRUE(Render::zoomInto(rect(0, 0, 18, 14), doubled.get(), source.get(), rect(0, 0, 9, 7)));
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                setPixel(target.get(), x, y, pixelAt(source.get(), x, y));
        ASSERT_TRUE(Render::zoomInto(rect(0, 0, 18, 14), target.get(), target.get(), rect(0, 0, 9, 7)));
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 18; ++x) {
                ASSERT_EQ(pixelAt(doubled.get(), x, y), pixelAt(generic.get(), x, y)) << x << "," << y;
                ASSERT_EQ(pixelAt(target.get(), x, y), pixelAt(generic.get(), x, y)) << x << "," << y;
            }
    }
}

TEST(SurfaceTransform, QuarterTurnsMoveEveryPixelExactly) {
    for (int bits : {8, 32}) {
        SCOPED_TRACE(bits);
        SurfacePtr source = makeSurface(bits, 10, 20);
        const std::uint32_t opaque = bits == 32 ? 0xFF000000u : 0u;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 10; ++x)
                setPixel(source.get(), x, y, opaque | std::uint32_t(y * 10 + x));
        SurfacePtr same(Render::rotateSurface(source.get(), 0.0f, 1.0f));
        ASSERT_TRUE(same);
        ASSERT_EQ(same->w, 10);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(pixelAt(same.get(), x, y), pixelAt(source.get(), x, y)) << x << "," << y;
        // Sine 1: destination (x, y) reads source (10 - y, x); row 0 would
        // read column 10, outside the source, and stays clear.
        SurfacePtr turned(Render::rotateSurface(source.get(), 1.0f, 0.0f));
        ASSERT_TRUE(turned);
        ASSERT_EQ(turned->w, 20);
        ASSERT_EQ(turned->h, 10);
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(pixelAt(turned.get(), x, 0), 0u);
            for (int y = 1; y < 10; ++y)
                ASSERT_EQ(pixelAt(turned.get(), x, y), pixelAt(source.get(), 10 - y, x)) << x << "," << y;
        }
    }
}

TEST(SurfaceTransform, BilinearMixAtTwoAndFourBytes) {
    // A sharp edge turned by 45 degrees: samples that fall between the two
    // halves are mixed, every byte on its own.
    SurfacePtr source = argbSurface(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            setPixel(source.get(), x, y, x < 4 ? 0xFF000000 : 0xFF0000C8);
    const float s45 = std::sin(float(M_PI) / 4), c45 = std::cos(float(M_PI) / 4);
    SurfacePtr turned(Render::rotateSurface(source.get(), s45, c45));
    ASSERT_TRUE(turned);
    int mixed = 0;
    for (int y = 0; y < turned->h; ++y)
        for (int x = 0; x < turned->w; ++x) {
            const std::uint32_t p = pixelAt(turned.get(), x, y);
            if ((p >> 24) == 0xFF && (p & 0xFF) > 0 && (p & 0xFF) < 0xC8) {
                EXPECT_EQ(p & 0x00FFFF00, 0u);
                ++mixed;
            }
        }
    EXPECT_GT(mixed, 0);

    // 180 degrees at 2 bytes per pixel: a mirrored copy through the channels.
    SurfacePtr wide = makeSurface(16, 3, 1);
    setPixel(wide.get(), 0, 0, 0xF800);
    setPixel(wide.get(), 1, 0, 0x07E0);
    setPixel(wide.get(), 2, 0, 0x001F);
    SurfacePtr mirrored(Render::rotateSurface(wide.get(), 0.0f, -1.0f));
    ASSERT_TRUE(mirrored);
    ASSERT_EQ(mirrored->w, 3);
    EXPECT_EQ(pixelAt(mirrored.get(), 0, 0), 0x001Fu);
    EXPECT_EQ(pixelAt(mirrored.get(), 1, 0), 0x07E0u);
    EXPECT_EQ(pixelAt(mirrored.get(), 2, 0), 0xF800u);
}

TEST(SurfaceTransform, RotationRefusals) {
    TestSupport::CaptureLogger log;
    SurfacePtr source = argbSurface(10, 20), small = argbSurface(21, 22), other = makeSurface(16, 30, 30);
    const float s45 = std::sin(float(M_PI) / 4), c45 = std::cos(float(M_PI) / 4);
    EXPECT_FALSE(Render::rotateInto(rect(0, 0, 10, 20), source.get(), s45, c45, small.get()));
    EXPECT_TRUE(log.contains("Can't rotate surface: destination surface is too small."));
    EXPECT_FALSE(Render::rotateInto(rect(0, 0, 10, 20), source.get(), s45, c45, other.get()));
    EXPECT_FALSE(Render::rotateInto(rect(0, 0, 11, 20), source.get(), 0.0f, 1.0f, source.get()));
    // Factors that are no sine or cosine are refused; their sizes stay bounded.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    SurfacePtr big = argbSurface(100, 100);
    for (const auto& [s, c] : {std::pair{nan, 1.0f}, std::pair{0.0f, inf}, std::pair{1e9f, 0.0f}}) {
        EXPECT_FALSE(Render::rotateInto(rect(0, 0, 10, 20), source.get(), s, c, big.get()));
        EXPECT_EQ(Render::rotateSurface(source.get(), s, c), nullptr);
        const auto size = Render::rotatedSize(10, 20, s, c);
        EXPECT_TRUE(size.width >= 1 && size.width <= 65535 && size.height >= 1 && size.height <= 65535);
    }
}

// The 4-byte rotation reads a 2 x 2 block in place where it lies inside the
// source rectangle and clamps at its edges: every destination byte equals a
// plain clamped bilinear sample of the same 16.16 walk, for a rectangle cut
// out of a larger surface at several angles.
TEST(SurfaceTransform, FourByteRotationEqualsClampedBilinearSamples) {
    SurfacePtr source = argbSurface(23, 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            setPixel(source.get(), x, y, std::uint32_t(x * 2654435761u ^ y * 40503u));
    const SDL_Rect part = rect(3, 2, 15, 11);
    auto byteOf = [&](int x, int y, int i) {
        x = std::clamp(x, 0, part.w - 1) + part.x;
        y = std::clamp(y, 0, part.h - 1) + part.y;
        return std::int32_t((pixelAt(source.get(), x, y) >> (8 * i)) & 0xFF);
    };
    auto mix = [](std::int32_t a, std::int32_t b, std::int32_t f) { return a + (((b - a) * f) >> 16); };
    for (float degrees : {0.0f, 17.0f, 45.0f, 90.0f, 133.0f, 200.0f, 311.0f}) {
        const float s = std::sin(degrees * float(M_PI) / 180), c = std::cos(degrees * float(M_PI) / 180);
        const auto size = Render::rotatedSize(part.w, part.h, s, c);
        SurfacePtr turned = argbSurface(size.width, size.height);
        fillAll(turned.get(), 0x5A5A5A5A);
        ASSERT_TRUE(Render::rotateInto(part, source.get(), s, c, turned.get()));
        const std::int64_t ks = std::int64_t(std::floor(double(s) * 65536.0 + 0.5));
        const std::int64_t kc = std::int64_t(std::floor(double(c) * 65536.0 + 0.5));
        const std::int64_t dx = -(size.width / 2), dy = -(size.height / 2);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                const std::int64_t sx = (std::int64_t(part.w / 2) << 16) + (dx + x) * kc - (dy + y) * ks;
                const std::int64_t sy = (std::int64_t(part.h / 2) << 16) + (dx + x) * ks + (dy + y) * kc;
                const int ix = int(sx >> 16), iy = int(sy >> 16);
                std::uint32_t expected = 0x5A5A5A5A;
                if (ix >= -1 && iy >= -1 && ix < part.w && iy < part.h) {
                    expected = 0;
                    const std::int32_t fx = std::int32_t(sx & 0xFFFF), fy = std::int32_t(sy & 0xFFFF);
                    for (int i = 0; i < 4; ++i) {
                        const std::int32_t top = mix(byteOf(ix, iy, i), byteOf(ix + 1, iy, i), fx);
                        const std::int32_t bottom = mix(byteOf(ix, iy + 1, i), byteOf(ix + 1, iy + 1, i), fx);
                        expected |= std::uint32_t(std::uint8_t(mix(top, bottom, fy))) << (8 * i);
                    }
                }
                ASSERT_EQ(pixelAt(turned.get(), x, y), expected) << degrees << " degrees at " << x << "," << y;
            }
    }
}

// Each channel is multiplied by its own factor of the colour (0xAABBGGRR)
// whatever order the surface keeps its channels in: a BMP's blue-first
// bytes, red-first bytes, 32 bits without alpha and 16 bits.
TEST(SurfaceTransform, MultiplicationTintsEachChannelByItsOwnFactor) {
    struct Layout {
        const char* name;
        int bpp;
        Uint32 r, g, b, a;
        int tolerance;
    };
    const Layout layouts[] = {{"blue first", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 1},
                              {"red first", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, 1},
                              {"no alpha", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 1},
                              {"16 bits", 16, 0xF800, 0x07E0, 0x001F, 0, 8}};
    // Red by 0xC0, green by 0x80, blue by 0x40, alpha by 0xFF.
    const std::uint32_t colour = 0xFF4080C0;
    const auto expected = [](int v, int f) { return (v * f + 127) / 255; };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, l.bpp, l.r, l.g, l.b, l.a));
        ASSERT_NE(s, nullptr);
        SDL_FillRect(s.get(), nullptr, SDL_MapRGBA(s->format, 200, 100, 240, 255));
        Render::multiplySurface(s.get(), colour);
        Uint8 r = 0, g = 0, b = 0, a = 0;
        SDL_GetRGBA(pixelAt(s.get(), 1, 1), s->format, &r, &g, &b, &a);
        EXPECT_NEAR(r, expected(200, 0xC0), l.tolerance);
        EXPECT_NEAR(g, expected(100, 0x80), l.tolerance);
        EXPECT_NEAR(b, expected(240, 0x40), l.tolerance);
        EXPECT_EQ(a, 255);
    }
}
