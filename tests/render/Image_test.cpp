#include "render/Image.h"
#include "render/ImageList.h"

#include "core/TempSurface.h"
#include "core/VirtualFs.h"
#include "render/SurfaceTransform.h"
#include "platform/Path.h"
#include "tests/render/SurfaceHelpers.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace RenderTest;

namespace {

SDL_Rect rect(int x, int y, int w, int h) { return SDL_Rect{Sint16(x), Sint16(y), Uint16(w), Uint16(h)}; }

std::u16string widePath(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

// An image that records the parts it is asked to draw.
class RecordingImage : public Render::ImageFromSurface {
public:
    struct Part {
        int x, y;
        SDL_Rect source;
    };
    using ImageFromSurface::ImageFromSurface;
    bool drawPart(SDL_Surface* destination, std::int16_t x, std::int16_t y, const SDL_Rect& source) override {
        parts.push_back({x, y, source});
        return ImageFromSurface::drawPart(destination, x, y, source);
    }
    std::vector<Part> parts;
};

// A 14 x 14 frame picture with borders of 2: corners 0xFF0000CC, edges
// 0xFF00CC00, centre columns 0xFFCC00xx where xx is the centre column 0..9.
SurfacePtr framePicture() {
    SurfacePtr s = argbSurface(14, 14);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            const bool edgeX = x < 2 || x >= 12, edgeY = y < 2 || y >= 12;
            std::uint32_t p = 0xFFCC0000u | std::uint32_t(x - 2);
            if (edgeX && edgeY)
                p = 0xFF0000CC;
            else if (edgeX || edgeY)
                p = 0xFF00CC00;
            setPixel(s.get(), x, y, p);
        }
    return s;
}

} // namespace

TEST(Image, BmpWriterMatchesTheFileLayout) {
    // One pixel, 32 bits: 14-byte file header, 40-byte info header, 4 bytes.
    const std::string bytes = TestSupport::bmpBytes(1, 1, 32, {0x80112233});
    const std::string expected("BM\x3A\0\0\0\0\0\0\0\x36\0\0\0"
                               "\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x20\0\0\0\0\0\x04\0\0\0"
                               "\x13\x0B\0\0\x13\x0B\0\0\0\0\0\0\0\0\0\0"
                               "\x33\x22\x11\x80",
                               58);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(TestSupport::bmpBytes(1, 1, 24, {0x00112233}).substr(54), std::string("\x33\x22\x11\0", 4));
}

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
    EXPECT_EQ(getPixel(a.get(), 0, 0), 0x80FF0000u);
    EXPECT_EQ(getPixel(a.get(), 1, 0), 0x00000000u);
    EXPECT_TRUE(log.contains("Loading image file '" + dir.path().string() + "/a.bmp'"));
    EXPECT_TRUE(log.contains("Image file '" + dir.path().string() + "/a.bmp' : "));

    // Fourth bytes all zero: no alpha, so the picture is opaque.
    SurfacePtr b(Render::loadImage(opaque, display->format));
    ASSERT_TRUE(b);
    EXPECT_EQ(getPixel(b.get(), 1, 1), 0xFF123456u);

    // A format without alpha (the map surface) takes the colours only.
    SurfacePtr mapFormat = argbSurface(1, 1, false);
    SurfacePtr c(Render::loadImage(translucent, mapFormat->format));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->format->Amask, 0u);
    EXPECT_EQ(getPixel(c.get(), 0, 0) & 0xFFFFFF, 0xFF0000u);

    SurfacePtr d(Render::loadImage(rgb24, display->format));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->w, 3);
    EXPECT_EQ(getPixel(d.get(), 2, 2), 0xFF654321u);
}

TEST(Image, LoadFailuresAreLogged) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    SurfacePtr display = argbSurface(1, 1);
    const std::u16string missing = widePath(dir / "missing.bmp");
    EXPECT_EQ(Render::loadImage(missing, display->format), nullptr);
    EXPECT_TRUE(log.contains("Failed to load image file '" + (dir / "missing.bmp").string() + "' (err 2)"));

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

TEST(Image, PackedImagesKeepAlphaOnADisplayFormatWithout) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    std::filesystem::create_directories(dir / "icons");
    dir.write("icons/fuel.bmp", TestSupport::bmpBytes(1, 1, 32, {0x40A0B0C0}));
    TestSupport::ZipWriter zip;
    zip.add("packed/dot.bmp", TestSupport::bmpBytes(1, 1, 32, {0xFF010203}));
    dir.write("packed.zip", zip.bytes());
    FileSystem::VirtualFs files(widePath(dir.path()));
    SurfacePtr display = argbSurface(1, 1, false);

    SurfacePtr loose(Render::loadPackedImage(files, "icons/fuel.bmp", display->format));
    ASSERT_TRUE(loose);
    EXPECT_EQ(loose->format->Rmask, 0x00FF0000u);
    EXPECT_EQ(loose->format->Amask, 0xFF000000u);
    EXPECT_EQ(getPixel(loose.get(), 0, 0), 0x40A0B0C0u);
    SurfacePtr packed(Render::loadPackedImage(files, "packed/dot.bmp", display->format));
    ASSERT_TRUE(packed);
    EXPECT_EQ(getPixel(packed.get(), 0, 0), 0xFF010203u);
    EXPECT_EQ(Render::loadPackedImage(files, "icons/none.bmp", display->format), nullptr);
    EXPECT_TRUE(log.contains("Failed to load image file 'icons/none.bmp' from pack"));
}

TEST(Image, ImageFromSurfaceDrawing) {
    SurfacePtr picture = argbSurface(10, 4);
    fill(picture.get(), 0xFF112233);
    Render::ImageFromSurface image(picture.get());
    EXPECT_TRUE(image.isValid());
    EXPECT_EQ(image.width(), 10);
    EXPECT_EQ(image.height(), 4);
    EXPECT_EQ(image.surface(), picture.get());

    auto firstColumn = [](SDL_Surface* s) {
        for (int x = 0; x < s->w; ++x)
            if (getPixel(s, x, 5) != 0)
                return x;
        return -1;
    };
    // A display-like target without alpha: blits blend into it.
    SurfacePtr target = argbSurface(40, 20, false);
    fill(target.get(), 0);
    EXPECT_TRUE(image.drawAligned(target.get(), rect(20, 5, 15, 4), Render::AlignCentre, Render::AlignStart));
    EXPECT_EQ(firstColumn(target.get()), 22);
    fill(target.get(), 0);
    EXPECT_TRUE(image.drawAligned(target.get(), rect(20, 5, 5, 4), Render::AlignCentre, 7));
    EXPECT_EQ(firstColumn(target.get()), 18); // -5 / 2 = -2
    fill(target.get(), 0);
    EXPECT_TRUE(image.drawAligned(target.get(), rect(20, 0, 15, 10), Render::AlignEnd, Render::AlignEnd));
    EXPECT_EQ(getPixel(target.get(), 25, 6), 0x112233u);
    EXPECT_EQ(getPixel(target.get(), 24, 6), 0u);
    EXPECT_EQ(getPixel(target.get(), 25, 5), 0u);

    // Tinting draws a multiplied copy and leaves the image alone.
    fill(target.get(), 0);
    EXPECT_TRUE(image.drawMultiplied(target.get(), 1, 1, rect(0, 0, 2, 2), 0xFF0000FF));
    EXPECT_EQ(getPixel(target.get(), 1, 1), 0x000033u); // byte i of the pixel by byte i of the colour
    EXPECT_EQ(getPixel(target.get(), 3, 1), 0u);
    EXPECT_EQ(getPixel(picture.get(), 0, 0), 0xFF112233u);

    // The anchor's origin lands on the position.
    fill(target.get(), 0);
    Render::ImageAnchor anchor{&image, 5, 2};
    EXPECT_TRUE(Render::drawImageAt(anchor, 10, 10, target.get()));
    EXPECT_EQ(getPixel(target.get(), 5, 8), 0x112233u);
    EXPECT_EQ(getPixel(target.get(), 4, 8), 0u);
    EXPECT_EQ(getPixel(target.get(), 5, 7), 0u);
    EXPECT_FALSE(Render::drawImageAt(Render::ImageAnchor{}, 0, 0, target.get()));

    Render::ImageFromSurface empty(nullptr);
    EXPECT_FALSE(empty.isValid());
    EXPECT_EQ(empty.width(), 0);
    // An owning image frees its surface (the leak checker would tell).
    auto owned = Render::ImageFromSurface::owning(SDL_CreateRGBSurface(0, 3, 3, 32, 0, 0, 0, 0));
    EXPECT_TRUE(owned->isValid());
}

TEST(Image, FramedDrawingTilesStretchesAndClips) {
    SurfacePtr picture = framePicture();
    TempSurface temp(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    SurfacePtr target = argbSurface(60, 30, false);

    // Same size as the picture: drawn piece by piece, unchanged.
    {
        RecordingImage image(picture.get());
        fill(target.get(), 0);
        ASSERT_TRUE(Render::drawImage({&image, 2, 2, 2, 2}, target.get(), rect(3, 4, 14, 14), temp));
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 14; ++x)
                ASSERT_EQ(getPixel(target.get(), 3 + x, 4 + y), (getPixel(picture.get(), x, y) & 0xFFFFFF)) << x << "," << y;
        EXPECT_EQ(image.parts.size(), 9u);
    }
    // Tiled: a centre of 10 in an inner width of 25 is drawn 10, 10 and 5 wide.
    {
        RecordingImage image(picture.get());
        fill(target.get(), 0);
        ASSERT_TRUE(Render::drawImage({&image, 2, 2, 2, 2, true, false}, target.get(), rect(0, 0, 29, 14), temp));
        std::vector<std::pair<int, int>> centre; // x and width of the centre pieces
        for (const auto& p : image.parts)
            if (p.source.x == 2 && p.source.y == 2)
                centre.push_back({p.x, p.source.w});
        EXPECT_EQ(centre, (std::vector<std::pair<int, int>>{{2, 10}, {12, 10}, {22, 5}}));
        EXPECT_EQ(getPixel(target.get(), 22, 5), 0xCC0000u); // column 0 of the centre again
        EXPECT_EQ(getPixel(target.get(), 26, 5), 0xCC0004u);
        EXPECT_EQ(getPixel(target.get(), 27, 5), 0x00CC00u); // right edge at x1 = 27
        EXPECT_EQ(getPixel(target.get(), 28, 0), 0x0000CCu);
    }
    // Stretched: the centre of 10 spans the inner width of 25 through one
    // scaling (step 10/25: columns 0,0,0,1,1,2,...).
    {
        RecordingImage image(picture.get());
        fill(target.get(), 0);
        ASSERT_TRUE(Render::drawImage({&image, 2, 2, 2, 2}, target.get(), rect(0, 0, 29, 14), temp));
        for (const auto& p : image.parts)
            EXPECT_FALSE(p.source.x == 2 && p.source.y == 2) << "centre drawn unscaled";
        const int step = int(Render::detail::zoomStep(10, 25));
        int source = 0, accumulator = step;
        for (int x = 0; x < 25; ++x) {
            ASSERT_EQ(getPixel(target.get(), 2 + x, 5), 0xCC0000u | std::uint32_t(source)) << x;
            // Top edge stretched the same way, edge colour throughout.
            ASSERT_EQ(getPixel(target.get(), 2 + x, 0), 0x00CC00u);
            source += accumulator >> 16;
            accumulator = (accumulator & 0xFFFF) + step;
        }
        EXPECT_EQ(getPixel(target.get(), 26, 5), 0xCC0009u);
        EXPECT_EQ(getPixel(target.get(), 27, 5), 0x00CC00u);
    }
    // Narrower than the centre: clipped to 6 pixels.
    {
        RecordingImage image(picture.get());
        fill(target.get(), 0);
        ASSERT_TRUE(Render::drawImage({&image, 2, 2, 2, 2}, target.get(), rect(0, 0, 10, 14), temp));
        bool sawCentre = false;
        for (const auto& p : image.parts)
            if (p.source.x == 2 && p.source.y == 2) {
                EXPECT_EQ(p.source.w, 6);
                sawCentre = true;
            }
        EXPECT_TRUE(sawCentre);
        EXPECT_EQ(getPixel(target.get(), 7, 5), 0xCC0005u);
        EXPECT_EQ(getPixel(target.get(), 8, 5), 0x00CC00u);
    }
    // Narrower than left + right: nothing drawn.
    {
        RecordingImage image(picture.get());
        fill(target.get(), 0x01010101);
        EXPECT_FALSE(Render::drawImage({&image, 2, 2, 2, 2}, target.get(), rect(0, 0, 3, 14), temp));
        EXPECT_TRUE(image.parts.empty());
        EXPECT_EQ(getPixel(target.get(), 0, 0), 0x01010101u);
        // No centre in the picture, or no picture at all.
        EXPECT_FALSE(Render::drawImage({&image, 7, 2, 7, 2}, target.get(), rect(0, 0, 20, 14), temp));
        EXPECT_FALSE(Render::drawImage({nullptr, 2, 2, 2, 2}, target.get(), rect(0, 0, 20, 14), temp));
        EXPECT_TRUE(image.parts.empty());
    }
    // A scratch surface of another depth makes the scaling, and the drawing, fail.
    {
        RecordingImage image(picture.get());
        TempSurface shallow(16, 0xF800, 0x07E0, 0x001F, 0);
        EXPECT_FALSE(Render::drawImage({&image, 2, 2, 2, 2}, target.get(), rect(0, 0, 29, 14), shallow));
    }
}

TEST(Image, ImageListSharesByName) {
    TestSupport::CaptureLogger log;
    int made = 0;
    Render::ImageList list([&](const std::string& name) -> std::unique_ptr<Render::Image> {
        ++made;
        if (name == "bad")
            return std::make_unique<Render::ImageFromSurface>(nullptr);
        return Render::ImageFromSurface::owning(SDL_CreateRGBSurface(0, 2, 2, 32, 0, 0, 0, 0));
    });
    EXPECT_EQ(list.loadImage(""), nullptr);
    EXPECT_TRUE(log.contains("Load image warning: no file name provided"));
    EXPECT_EQ(made, 0);
    Render::Image* a = list.loadImage("a.bmp");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(list.loadImage("a.bmp"), a);
    EXPECT_NE(list.loadImage("b.bmp"), a);
    EXPECT_EQ(list.loadImage("bad"), nullptr);
    EXPECT_EQ(list.loadImage("bad"), nullptr);
    EXPECT_EQ(made, 4);
    EXPECT_EQ(list.size(), 2u);
}
