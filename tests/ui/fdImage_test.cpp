#include "ui/fdImage.h"
#include "ui/fdInterface.h"

#include "core/FileSystem.h"
#include "core/TempSurface.h"
#include "core/VirtualFs.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipWriter.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Ui;

namespace {

struct ImageFixture {
    ImageFixture() {
        TestSupport::ZipWriter zip;
        zip.add("images/packed.bmp", TestSupport::solidBmp(4, 3, 32, 0x80FF0000));
        dir.write("images.zip", zip.bytes());
        std::filesystem::create_directories(dir / "loose");
        dir.write("loose/plain.bmp", TestSupport::solidBmp(5, 2, 24, 0xFF00FF00));
        files = std::make_unique<FileSystem::VirtualFs>(FileSystem::toWide(dir.path().string() + "/"));
    }
    UiTest::SdlScreen sdl;
    TestSupport::TempDir dir;
    std::unique_ptr<FileSystem::VirtualFs> files;
};

} // namespace

TEST(fdImage, SharedByNameLoadedOnceUntilReleased) {
    ImageFixture f;
    TestSupport::CaptureLogger log;
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, f.files.get());
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);

    fdImage* packed = ui.loadImage("images/packed.bmp");
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(ui.loadImage("images/packed.bmp"), packed);
    EXPECT_EQ(packed->width(), 4);
    ASSERT_NE(packed->surface(), nullptr);
    EXPECT_NE(packed->surface()->format->Amask, 0u) << "the fourth byte of a 32-bit picture is alpha";

    fdImage* plain = ui.loadImage("loose/plain.bmp");
    ASSERT_NE(plain, nullptr) << "a folder without a package is read from loose files";
    EXPECT_EQ(plain->surface()->format->BitsPerPixel, 32) << "24-bit pictures become the display format";
    EXPECT_TRUE(log.contains("Image file 'loose/plain.bmp' converted from 24 to 32 bpp"));

    // A picture that comes and goes (a manoeuvre arrow) keeps its pixels
    // through any number of frames that do not draw it: read once.
    SDL_Rect r{0, 0, 10, 10};
    for (int frame = 0; frame < 50; ++frame) {
        if (frame % 7 == 0) {
            EXPECT_TRUE(packed->drawAligned(f.sdl.screen, r, 0, 0));
        }
        plain->drawAligned(f.sdl.screen, r, 0, 0);
        ui.draw(f.sdl.screen, scratch, true);
        EXPECT_NE(packed->surface(), nullptr) << frame;
    }
    EXPECT_EQ(log.countStartingWith("Image file 'images/packed.bmp' : "), 1u);
    EXPECT_EQ(log.countStartingWith("Image file 'loose/plain.bmp' : "), 1u);
    ui.releaseImages();
    EXPECT_EQ(plain->surface(), nullptr);
    EXPECT_EQ(packed->surface(), nullptr);
    EXPECT_TRUE(packed->drawAligned(f.sdl.screen, r, 0, 0));
    EXPECT_NE(packed->surface(), nullptr) << "loaded again on use";
    EXPECT_EQ(log.countStartingWith("Image file 'images/packed.bmp' : "), 2u);
    EXPECT_EQ(ui.imageCount(), 2u);
    // Deleting counts the pixels held: the 4 x 3 picture's 32-bit rows, not
    // the released one's.
    EXPECT_EQ(ui.deleteImages(), 4u * 4 * 3);
    EXPECT_EQ(ui.imageCount(), 0u);
}

TEST(fdImage, MissingImageLogsOnEveryAttempt) {
    ImageFixture f;
    TestSupport::CaptureLogger log;
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, f.files.get());
    EXPECT_EQ(ui.loadImage("images/missing.bmp"), nullptr);
    EXPECT_EQ(ui.loadImage("images/missing.bmp"), nullptr);
    fdImage direct("loose/missing.bmp", f.files.get());
    SDL_Rect r{0, 0, 1, 1};
    EXPECT_FALSE(direct.drawAligned(f.sdl.screen, r, 0, 0));
    EXPECT_EQ(direct.width(), 0);
    auto failures = std::count_if(log.lines().begin(), log.lines().end(), [](const std::string& l) {
        return l.find("Failed to load image file '") != std::string::npos && l.find("from pack") != std::string::npos;
    });
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(ui.loadImage(""), nullptr);
    EXPECT_TRUE(log.contains("Load image warning: no file name provided"));
    EXPECT_EQ(ui.imageCount(), 0u);
}

// A 5 x 2 picture drawn at the start, centre and end of a 15 x 8 rectangle
// at (2, 1): exactly its ten pixels land where the alignment puts them.
TEST(fdImage, DrawsAlignedWithinItsRectangle) {
    ImageFixture f;
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, f.files.get());
    fdImage* plain = ui.loadImage("loose/plain.bmp");
    ASSERT_NE(plain, nullptr);
    const struct {
        int align, x, y;
    } rows[] = {{0, 2, 1}, {1, 7, 4}, {2, 12, 7}};
    for (const auto& row : rows) {
        SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 20, 10, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        SDL_Rect r{2, 1, 15, 8};
        EXPECT_TRUE(plain->drawAligned(target, r, row.align, row.align));
        int count = 0, left = 99, top = 99;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x)
                if (UiTest::rgbAt(target, x, y) == 0x00FF00u) {
                    ++count;
                    left = std::min(left, x);
                    top = std::min(top, y);
                }
        SDL_FreeSurface(target);
        EXPECT_EQ(count, 10) << row.align;
        EXPECT_EQ(left, row.x) << row.align;
        EXPECT_EQ(top, row.y) << row.align;
    }
}
