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

TEST(fdImage, SharedByNameFreedAfterTwoUndrawnFramesAndReloaded) {
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

    ui.draw(f.sdl.screen, scratch, true);
    EXPECT_NE(packed->surface(), nullptr);
    SDL_Rect r{0, 0, 10, 10};
    plain->drawAligned(f.sdl.screen, r, 0, 0);
    ui.draw(f.sdl.screen, scratch, true);
    EXPECT_EQ(packed->surface(), nullptr) << "two frames without a draw free the pixels";
    EXPECT_NE(plain->surface(), nullptr) << "drawn one frame ago";
    EXPECT_TRUE(packed->drawAligned(f.sdl.screen, r, 0, 0));
    EXPECT_NE(packed->surface(), nullptr) << "loaded again on use";
    ui.releaseImages();
    EXPECT_EQ(plain->surface(), nullptr);
    EXPECT_EQ(ui.imageCount(), 2u);
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
