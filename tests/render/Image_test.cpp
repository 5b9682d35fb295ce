#include "render/Image.h"
#include "render/ImageList.h"

#include "core/TempSurface.h"
#include "core/VirtualFs.h"
#include "render/SurfaceTransform.h"
#include "platform/Path.h"
#include "tests/render/SurfaceTestSupport.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace RenderTest;

namespace {

std::u16string widePath(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

} // namespace

TEST(Image, LoadsIntoTheGivenFormatWithTheAlphaRule) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const std::u16string translucent =
        widePath(dir.write("a.bmp", TestSupport::bmpBytes(2, 1, 32, {0x80FF0000, 0x00000000})));
    const std::u16string opaque = widePath(dir.write("b.bmp", TestSupport::solidBmp(2, 2, 32, 0x00123456)));
    const std::u16string rgb24 = widePath(dir.write("c.bmp", TestSupport::solidBmp(3, 3, 24, 0x00654321)));

    SurfacePtr display = argbSurface(1, 1, true);
    SurfacePtr a(Render::loadImage(translucent, display->format));
    ASSERT_TRUE(a);
    EXPECT_EQ(pixelAt(a.get(), 0, 0), 0x80FF0000u);
    EXPECT_EQ(pixelAt(a.get(), 1, 0), 0x00000000u);
    EXPECT_TRUE(log.contains("Loading image file '" + dir.path().string() + "/a.bmp'"));
    EXPECT_TRUE(log.contains("Image file '" + dir.path().string() + "/a.bmp' : "));

    // Fourth bytes all zero: no alpha, so the picture is opaque.
    SurfacePtr b(Render::loadImage(opaque, display->format));
    ASSERT_TRUE(b);
    EXPECT_EQ(pixelAt(b.get(), 1, 1), 0xFF123456u);

    // A format without alpha (the map surface) takes the colours only.
    SurfacePtr mapFormat = argbSurface(1, 1, false);
    SurfacePtr c(Render::loadImage(translucent, mapFormat->format));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->format->Amask, 0u);
    EXPECT_EQ(pixelAt(c.get(), 0, 0) & 0xFFFFFF, 0xFF0000u);

    SurfacePtr d(Render::loadImage(rgb24, display->format));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->w, 3);
    EXPECT_EQ(pixelAt(d.get(), 2, 2), 0xFF654321u);
}

TEST(Image, LoadFailuresAreLogged) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    SurfacePtr display = argbSurface(1, 1);
    const std::u16string missing = widePath(dir / "missing.bmp");
    EXPECT_EQ(Render::loadImage(missing, display->format), nullptr);
    EXPECT_TRUE(log.contains("Failed to load image file '" + (dir / "missing.bmp").string() + "' (err 2): No such file or directory"));

    const std::u16string text = widePath(dir.write("text.bmp", "not a picture"));
    EXPECT_EQ(Render::loadImage(text, display->format), nullptr);
    EXPECT_TRUE(log.contains("Failed to load image file '" + (dir / "text.bmp").string() + "' (sdl_err "));
    // A truncated BMP is refused, not read past its end.
    const std::string whole = TestSupport::solidBmp(16, 16, 32, 0x80102030);
    const std::u16string cut = widePath(dir.write("cut.bmp", whole.substr(0, 100)));
    EXPECT_EQ(Render::loadImage(cut, display->format), nullptr);
}

// Headers no picture fits, which SDL's loader takes or would allocate for:
// refused with the loader's message, in the file's own format and converted.
TEST(Image, NonsenseBitCountsAndSizesAreRefused) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    SurfacePtr display = argbSurface(1, 1);
    const struct {
        std::uint16_t bitCount;
        std::int32_t width, height;
        bool pixelsAtZero; // rows read from the file's first byte on
        bool bitFields = false; // colour masks of 32 set bits each
    } cases[] = {{32, 2, 2, false, true},
                 {6144, 2, 2, false},
                 {2835, 13829, 31747, false},
                 {6272, 13829, 31747, false},
                 {32769, 1, 16, true}, // depth 1 (cut to eight bits) with no palette
                 {24, 13829, 31747, false}}; // a real depth, gigabytes the file cannot fill
    for (const auto& c : cases) {
        std::string bytes = c.bitFields ? TestSupport::solidBmp(2, 2, 32, 0xFFFFFFFF)
                                        : TestSupport::solidBmp(2, 2, 24, 0xFF102030);
        for (int i = 0; i < 4; ++i) {
            bytes[18 + i] = static_cast<char>(c.width >> (8 * i));
            bytes[22 + i] = static_cast<char>(c.height >> (8 * i));
        }
        bytes[28] = static_cast<char>(c.bitCount), bytes[29] = static_cast<char>(c.bitCount >> 8);
        if (c.pixelsAtZero)
            bytes[10] = 0;
        if (c.bitFields)
            bytes[30] = 3; // the masks follow the header: the first pixels
        const std::string name = std::to_string(c.bitCount).append("-").append(std::to_string(c.width)).append(".bmp");
        const std::u16string path = widePath(dir.write(name, bytes));
        const SDL_PixelFormat* formats[] = {nullptr, display->format};
        for (const SDL_PixelFormat* format : formats) {
            SCOPED_TRACE(name);
            EXPECT_EQ(Render::loadImage(path, format), nullptr);
            EXPECT_TRUE(log.contains("Failed to load image file '" + (dir / name).string() + "' (sdl_err BMP "));
        }
    }
}
