#include "render/Pixels.h"

#include "SurfaceTestSupport.h"

#include <gtest/gtest.h>

namespace {

using RenderTest::makeSurface;
using RenderTest::mask;
using RenderTest::pixelAt;

class PixelsTest : public ::testing::TestWithParam<int> {};

TEST_P(PixelsTest, PutPixelIgnoresPixelsOffTheSurface) {
    auto s = makeSurface(GetParam(), 8, 6);
    RenderTest::fillAll(s.get(), 0);
    const std::uint32_t white = SDL_MapRGBA(s->format, 255, 255, 255, 255);
    for (const auto& [x, y] : {std::pair{-1, 0}, {0, -1}, {8, 0}, {0, 6}, {8, 6}, {-1, -1}})
        xe::putPixel(s.get(), x, y, 0xFFFFFFFF);
    EXPECT_EQ(RenderTest::countPixels(s.get(), 0), 48);
    xe::putPixel(s.get(), 7, 5, 0xFFFFFFFF);
    xe::putPixel(s.get(), 0, 0, 0xFFFFFFFF);
    EXPECT_EQ(pixelAt(s.get(), 7, 5), white);
    EXPECT_EQ(pixelAt(s.get(), 0, 0), white);
    EXPECT_EQ(RenderTest::countPixels(s.get(), 0), 46);
}

// Spans of every length up to past the wide fill, at every start column mod
// 4: exactly their pixels (the short ones are stored in overlapping pieces).
TEST_P(PixelsTest, SpansOfEveryLengthTouchOnlyTheirPixels) {
    auto s = makeSurface(GetParam(), 160, 2);
    for (int from = 0; from < 4; ++from)
        for (int n = 0; n <= 150; ++n) {
            RenderTest::fillAll(s.get(), 0);
            xe::drawHSpan(s.get(), 3 + from, 3 + from + n, 1, 5);
            for (int x = 0; x < 160; ++x) {
                ASSERT_EQ(RenderTest::pixelAt(s.get(), x, 0), 0u);
                ASSERT_EQ(RenderTest::pixelAt(s.get(), x, 1), x >= 3 + from && x < 3 + from + n ? 5u : 0u)
                    << "span " << 3 + from << " + " << n << " at " << x;
            }
        }
}

TEST_P(PixelsTest, SpansFillExactlyTheirHalfOpenRange) {
    auto s = makeSurface(GetParam(), 12, 6);
    RenderTest::fillAll(s.get(), 0);
    xe::drawHSpan(s.get(), 2, 9, 1, 5); // odd length: pairs then a last pixel
    xe::drawHSpan(s.get(), 3, 3, 2, 5); // empty
    xe::drawHSpan(s.get(), 6, 4, 2, 5); // reversed: nothing
    xe::drawVSpan(s.get(), 10, 2, 5, 5);
    xe::drawVSpan(s.get(), 0, 4, 4, 5);
    EXPECT_EQ(mask(s.get(), 0, 0, 12, 6, 5), "............\n"
                                             "..#######...\n"
                                             "..........#.\n"
                                             "..........#.\n"
                                             "..........#.\n"
                                             "............\n");
}

TEST_P(PixelsTest, FillCircleWithRadiusZeroSetsOnlyTheCentre) {
    auto s = makeSurface(GetParam(), 7, 7);
    RenderTest::fillAll(s.get(), 0);
    xe::fillCircle(s.get(), 3, 3, 0, 0xFFFFFFFF);
    const std::uint32_t white = SDL_MapRGBA(s->format, 255, 255, 255, 255);
    EXPECT_EQ(RenderTest::countPixels(s.get(), white), 1);
    EXPECT_EQ(pixelAt(s.get(), 3, 3), white);
    xe::fillCircle(s.get(), 3, 3, 2, 0xFFFFFFFF);
    EXPECT_EQ(mask(s.get(), 0, 0, 7, 7, white), ".......\n"
                                                "...#...\n"
                                                "..###..\n"
                                                ".#####.\n"
                                                "..###..\n"
                                                "...#...\n"
                                                ".......\n");
    xe::fillCircle(s.get(), -100000, 3, 2000000000, 0xFF0000FF); // clamped to the surface
    EXPECT_EQ(RenderTest::countPixels(s.get(), SDL_MapRGBA(s->format, 255, 0, 0, 255)), 49);
}

INSTANTIATE_TEST_SUITE_P(Depths, PixelsTest, ::testing::Values(16, 32));

TEST(Pixels, ThreeBytePixelsAreStoredMostSignificantFirstAndSpansLeaveThemAlone) {
    auto s = makeSurface(24, 4, 2);
    RenderTest::fillAll(s.get(), 0);
    xe::plotPixel(s.get(), 1, 0, 0x123456);
    const auto* row = static_cast<const std::uint8_t*>(s->pixels);
    EXPECT_EQ(row[3], 0x12);
    EXPECT_EQ(row[4], 0x34);
    EXPECT_EQ(row[5], 0x56);
    xe::drawHSpan(s.get(), 0, 4, 1, 0xFFFFFF);
    xe::drawVSpan(s.get(), 3, 0, 2, 0xFFFFFF);
    EXPECT_EQ(RenderTest::countPixels(s.get(), 0), 7);
}

TEST(Pixels, OneBytePixelsAndSpans) {
    auto s = makeSurface(8, 6, 3);
    RenderTest::fillAll(s.get(), 0);
    xe::drawHSpan(s.get(), 1, 5, 0, 7);
    xe::drawVSpan(s.get(), 0, 0, 3, 9);
    xe::plotPixel(s.get(), 5, 2, 0x1234); // low byte only
    EXPECT_EQ(mask(s.get(), 0, 0, 6, 3, 7), ".####.\n......\n......\n");
    EXPECT_EQ(mask(s.get(), 0, 0, 6, 3, 9), "#.....\n#.....\n#.....\n");
    EXPECT_EQ(pixelAt(s.get(), 5, 2), 0x34u);
}

} // namespace

namespace {

std::string bytesOf(SDL_Surface* s) {
    std::string out;
    for (int y = 0; y < s->h; ++y)
        out.append(static_cast<const char*>(s->pixels) + y * s->pitch, s->w * s->format->BytesPerPixel);
    return out;
}

void scribble(SDL_Surface* s, std::uint32_t seed) {
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w * s->format->BytesPerPixel; ++x)
            static_cast<std::uint8_t*>(s->pixels)[y * s->pitch + x] = static_cast<std::uint8_t>(seed * 31 + x * 7 + y * 13);
}

// The clear and the whole-surface blit leave the bytes SDL's own would, at
// every depth, under clip rectangles, at offsets that cut the source on
// every side, and with a colour key or surface alpha (SDL's path then).
TEST(PixelsAgainstSdl, ClearAndBlitMatchSdlByteForByte) {
    const SDL_Rect clips[] = {{0, 0, 30, 20}, {3, 2, 10, 7}, {0, 0, 0, 0}, {29, 19, 1, 1}};
    const std::pair<int, int> offsets[] = {{0, 0}, {-5, -3}, {12, 9}, {25, -2}, {-40, 0}, {31, 0}, {4, 21}};
    for (int bits : {8, 16, 24, 32}) {
        for (const SDL_Rect& clip : clips) {
            SCOPED_TRACE(std::to_string(bits) + " bits, clip " + std::to_string(clip.x) + "," +
                         std::to_string(clip.y) + " " + std::to_string(clip.w) + "x" + std::to_string(clip.h));
            auto ours = makeSurface(bits, 30, 20);
            auto sdl = makeSurface(bits, 30, 20);
            for (SDL_Surface* s : {ours.get(), sdl.get()}) {
                scribble(s, 1);
                SDL_SetClipRect(s, const_cast<SDL_Rect*>(&clip));
            }
            const std::uint32_t pixel = bits == 8 ? 0x5A : SDL_MapRGBA(ours->format, 10, 200, 30, 255);
            xe::fillClipRect(ours.get(), pixel);
            SDL_FillRect(sdl.get(), nullptr, pixel);
            EXPECT_EQ(bytesOf(ours.get()), bytesOf(sdl.get()));
            for (int flags = 0; flags < 3; ++flags) {
                auto source = makeSurface(bits, 17, 11);
                scribble(source.get(), 2);
                if (flags == 0) SDL_SetAlpha(source.get(), 0, SDL_ALPHA_OPAQUE);
                if (flags == 1) SDL_SetColorKey(source.get(), SDL_SRCCOLORKEY, pixelAt(source.get(), 3, 3));
                if (flags == 2) SDL_SetAlpha(source.get(), SDL_SRCALPHA, 128);
                for (const auto& [x, y] : offsets) {
                    scribble(ours.get(), 3);
                    scribble(sdl.get(), 3);
                    const bool copied = xe::blitWhole(source.get(), ours.get(), x, y);
                    SDL_Rect at{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
                    EXPECT_EQ(copied, SDL_BlitSurface(source.get(), nullptr, sdl.get(), &at) == 0);
                    EXPECT_EQ(bytesOf(ours.get()), bytesOf(sdl.get())) << x << "," << y << " flags " << flags;
                }
            }
        }
    }
}

} // namespace
