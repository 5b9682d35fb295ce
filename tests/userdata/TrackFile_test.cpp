#include "userdata/TrackFile.h"

#include "TrackTestSupport.h"
#include "core/FileSystem.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace TrackTest;
using TestSupport::readAll;

namespace {

std::u16string wide(const std::filesystem::path& p) {
    return FileSystem::toWide(p.string());
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes)
        out += std::string{digits[c >> 4], digits[c & 15], ' '};
    if (!out.empty()) out.pop_back();
    return out;
}

TEST(TrackFile, WritesBlocksOf93RecordsAndTheHeaderOnClose) {
    TestSupport::TempDir dir;
    const auto path = dir / "t.kvt";
    TrackFile track;
    ASSERT_TRUE(track.create(wide(path), 14, 3)); // index 14 wraps to palette entry 2 (blue)

    Positioning::Fix fix;
    fix.dateTime = {9, 12, 2010, 13, 5, 7, 250};
    fix.hdop = 1.5f, fix.vdop = 9.0f, fix.altitude = 100.0f;
    fix.longitude = 37.5f, fix.latitude = 55.75f;
    fix.x = 0x01020304, fix.y = -2;
    fix.speed = 2.0f, fix.heading = 90.0f;
    for (int i = 0; i < 93; ++i)
        ASSERT_TRUE(track.append(fix));
    EXPECT_EQ(std::filesystem::file_size(path), 16u) << "93 records fit the buffer";
    ASSERT_TRUE(track.append(fix));
    EXPECT_EQ(std::filesystem::file_size(path), 16u + 93 * 44) << "the 94th record flushes one block";
    EXPECT_EQ(track.recordsWritten(), 93u);
    ASSERT_TRUE(track.close());
    EXPECT_FALSE(track.close());

    const std::string bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 16u + 94 * 44);
    EXPECT_EQ(hex(bytes.substr(0, 16)), "52 54 50 47 00 01 5e 00 00 00 ff ff 03 00 01 00");
    EXPECT_EQ(hex(bytes.substr(16 + 93 * 44)),
              "0d 05 07 00 00 00 00 00 00 00 c0 3f 00 00 c8 42 09 0c 0a 00 00 00 16 42 00 00 5f 42 "
              "04 03 02 01 fe ff ff ff 00 00 00 40 00 00 b4 42");
}

TEST(TrackFile, LoadsWhatReachedTheDisk) {
    auto point = [](int i) {
        const Positioning::Fix f = walkFix(i);
        const Map::Point p = Map::Projection::fromGeo(f.latitude, f.longitude);
        return xe::Point{p.x, p.y};
    };
    std::string v2 =
        trackHeader(0, TrackFile::Version2).substr(0, 6) + std::string("\x10\x20\x30\x40\x05\x00\x01\x00", 8);
    v2 += std::string(30, 'x') + "TREN" + std::string(6, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        bool loads;
        std::uint32_t points;
        int first; // record index of the oldest ring point, -1: none
    } cases[] = {
        {"never closed", trackHeader(0) + trackRecords(3), true, 3, 0},
        {"count below the length", trackHeader(2) + trackRecords(3), true, 3, 0},
        {"count above the length", trackHeader(5) + trackRecords(3), false, 3, 0},
        {"torn last record", trackHeader(0) + trackRecords(3) + std::string(20, '\x7f'), true, 3, 0},
        {"longer than the ring", trackHeader(1500) + trackRecords(1500), true, 1000, 500},
        {"created only", trackHeader(0).substr(0, 6), false, 0, -1},
        {"foreign signature", "XTPG" + trackHeader(1).substr(4) + trackRecords(1), false, 0, -1},
        {"second layout", v2, true, 0, -1},
        {"second layout without trailer", v2.substr(0, v2.size() - 10), false, 0, -1},
        {"unknown version", trackHeader(1, 0x0300) + trackRecords(1), true, 0, -1},
    };
    TestSupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackFile track;
        EXPECT_EQ(track.load(wide(dir.write("t.kvt", c.bytes))), c.loads);
        EXPECT_EQ(track.pointCount(), c.points);
        EXPECT_EQ(track.firstPoint(), c.first < 0 ? xe::Point{} : point(c.first));
        EXPECT_FALSE(track.close()) << "a loaded track is never written";
    }
    TrackFile second;
    ASSERT_TRUE(second.load(wide(dir.write("t.kvt", v2))));
    EXPECT_EQ(second.colour(), 0x40302010u);
    EXPECT_EQ(second.lineSize(), 5);
    EXPECT_TRUE(second.shown());

    TestSupport::CaptureLogger log;
    TrackFile missing;
    EXPECT_FALSE(missing.load(wide(dir / "none.kvt")));
    EXPECT_TRUE(log.contains("Can't open track file '" + (dir / "none.kvt").string() + "' (err 2)"));
}

TEST(TrackFile, CountsOnlyTheRecordsThatWereWritten) {
    TestSupport::TempDir dir;
    const auto path = dir / "full.kvt";
    TestSupport::CaptureLogger log;
    TrackFile track;
    ASSERT_TRUE(track.create(wide(path), 0, 1));
    {
        // Room for the first block and half of the second: the disk fills up.
        TestSupport::FileSizeLimit limit(16 + 93 * 44 + 2000);
        for (int i = 0; i < 3 * 93; ++i)
            track.append(walkFix(i));
        EXPECT_TRUE(track.close());
    }
    const std::string bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 16u + 93 * 44) << "the torn block was cut off";
    EXPECT_EQ(hex(bytes.substr(6, 2)), "5d 00");
    EXPECT_TRUE(log.contains("Can't write track file"));
    TrackFile reread;
    EXPECT_TRUE(reread.load(wide(path)));
    EXPECT_EQ(reread.pointCount(), 93u);
}

} // namespace
