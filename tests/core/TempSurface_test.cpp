#include "core/TempSurface.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

TEST(TempSurface, GrowsOnlyAndLogsItsSize) {
    TestSupport::CaptureLogger log(Log::Normal);
    {
        TempSurface temp(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        SDL_Surface* a = temp.get(10, 8);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->w, 10);
        EXPECT_EQ(a->h, 8);
        EXPECT_EQ(a->format->BitsPerPixel, 32);
        EXPECT_EQ(a->format->Rmask, 0x00FF0000u);
        EXPECT_EQ(a->format->Amask, 0xFF000000u);
        EXPECT_EQ(temp.get(10, 8), a);
        EXPECT_EQ(temp.get(4, 2), a); // a larger surface serves a smaller request
        SDL_Surface* b = temp.get(12, 3);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->w, 12);
        EXPECT_EQ(b->h, 3);
    }
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "TempSurface size on destruction: 12 x 3");

    // Never asked for a surface: nothing to free, nothing dereferenced.
    { TempSurface unused(16, 0xF800, 0x07E0, 0x001F, 0); }
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[1], "TempSurface size on destruction: 0 x 0");
}
