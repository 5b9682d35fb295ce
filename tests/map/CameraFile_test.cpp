// camera.kvc: the exact bytes, the zoom-step word, and refusal of views
// that would break the map view.

#include "map/CameraFile.h"

#include "tests/map/AtlasFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

using namespace AtlasTest;

namespace {

std::vector<std::uint8_t> cameraBytes(std::int32_t x, std::int32_t y, float scale, float rotation,
                                      std::uint8_t mode, std::uint32_t zoomWord) {
    std::vector<std::uint8_t> bytes(21, 0);
    putU32(bytes, 0, static_cast<std::uint32_t>(x));
    putU32(bytes, 4, static_cast<std::uint32_t>(y));
    putU32(bytes, 8, std::bit_cast<std::uint32_t>(scale));
    putU32(bytes, 12, std::bit_cast<std::uint32_t>(rotation));
    bytes[16] = mode;
    putU32(bytes, 17, zoomWord);
    return bytes;
}

TEST(CameraFileTest, WrittenBytes) {
    TestSupport::TempDir dir;
    const auto path = dir / "camera.kvc";
    ASSERT_TRUE(Map::CameraFile::write(wide(path), {0x01020304, -2, 1.0f, -0.5f, 1}, 3));
    const std::string bytes = TestSupport::readAll(path);
    const std::string expected(
        "\x04\x03\x02\x01\xfe\xff\xff\xff\x00\x00\x80\x3f\x00\x00\x00\xbf\x01\x01\x02\x00\x00", 21);
    EXPECT_EQ(bytes, expected);
    ASSERT_TRUE(Map::CameraFile::write(wide(path), {}, 0));
    EXPECT_EQ(TestSupport::readAll(path).substr(16), std::string(5, '\0'));
    // A folder that does not exist: nothing written, no log line.
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(Map::CameraFile::write(wide(dir / "none" / "camera.kvc"), {}, 0));
    EXPECT_TRUE(log.lines().empty());
}

TEST(CameraFileTest, SelectorsSurviveAndClamp) {
    TestSupport::TempDir dir;
    const auto path = dir / "camera.kvc";
    for (std::uint32_t selector = 0; selector < 4; ++selector) {
        ASSERT_TRUE(Map::CameraFile::write(wide(path), {10, 20, 0.5f, 1.0f, 0}, selector));
        Map::CameraFields camera;
        std::uint32_t read = 99;
        ASSERT_TRUE(Map::CameraFile::read(wide(path), camera, read));
        EXPECT_EQ(read, selector);
        EXPECT_EQ(camera, (Map::CameraFields{10, 20, 0.5f, 1.0f, 0}));
    }
    writeFile(path, cameraBytes(1, 2, 1.0f, 0.0f, 0, 0x0701)); // byte 0 = 1, byte 1 = 7
    Map::CameraFields camera;
    std::uint32_t selector = 0;
    ASSERT_TRUE(Map::CameraFile::read(wide(path), camera, selector));
    EXPECT_EQ(selector, 3u);
    writeFile(path, cameraBytes(1, 2, 1.0f, 0.0f, 0, 0x0700)); // byte 0 = 0: the word is ignored
    ASSERT_TRUE(Map::CameraFile::read(wide(path), camera, selector));
    EXPECT_EQ(selector, 0u);
}

TEST(CameraFileTest, ShortAndInvalidFilesChangeNothing) {
    TestSupport::TempDir dir;
    const auto path = dir / "camera.kvc";
    const Map::CameraFields before{7, 8, 0.125f, 0.25f, 1};
    Map::CameraFields camera = before;
    std::uint32_t selector = 2;
    EXPECT_FALSE(Map::CameraFile::read(wide(path), camera, selector)); // missing
    std::vector<std::uint8_t> good = cameraBytes(1, 2, 1.0f, 0.0f, 0, 0x0101);
    for (std::size_t size : {0u, 7u, 8u, 12u, 16u, 17u, 20u}) {
        writeFile(path, std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(size)));
        EXPECT_FALSE(Map::CameraFile::read(wide(path), camera, selector)) << size;
    }
    EXPECT_EQ(camera, before);
    EXPECT_EQ(selector, 2u);

    TestSupport::CaptureLogger log;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<std::uint8_t>> invalid = {
        cameraBytes(1, 2, nan, 0, 0, 0),    cameraBytes(1, 2, 0.0f, 0, 0, 0),
        cameraBytes(1, 2, -1.0f, 0, 0, 0),  cameraBytes(1, 2, inf, 0, 0, 0),
        cameraBytes(1, 2, 1e-12f, 0, 0, 0), cameraBytes(1, 2, 1e4f, 0, 0, 0),
        cameraBytes(1, 2, 1.0f, nan, 0, 0), cameraBytes(1, 2, 1.0f, -inf, 0, 0),
        cameraBytes(1, 2, 1.0f, 0, 2, 0),   cameraBytes(1, 2, 1.0f, 0, 255, 0)};
    for (const auto& bytes : invalid) {
        writeFile(path, bytes);
        EXPECT_FALSE(Map::CameraFile::read(wide(path), camera, selector));
    }
    EXPECT_EQ(camera, before);
    EXPECT_EQ(selector, 2u);
    ASSERT_EQ(log.lines().size(), invalid.size());
    EXPECT_NE(
        log.lines()[0].find("Camera file '" + path.string() + "' holds an invalid view - using the default"),
        std::string::npos);

    // The limits themselves are accepted; a rotation of several turns is
    // brought back into one.
    writeFile(path, cameraBytes(1, 2, Map::CameraFile::MaxScale, 7.0f, 1, 0));
    ASSERT_TRUE(Map::CameraFile::read(wide(path), camera, selector));
    EXPECT_FLOAT_EQ(camera.rotation, static_cast<float>(7.0 - 2 * M_PI));
    EXPECT_EQ(camera.mode, 1);
}

} // namespace
