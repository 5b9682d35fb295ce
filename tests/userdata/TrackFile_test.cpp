#include "userdata/TrackFile.h"

#include "UserDataTestSupport.h"
#include "tests/support/Damage.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "userdata/fdTrackManager.h"


using namespace UserDataTest;

namespace {

TEST(TrackFile, WritesBlocksOf93RecordsAndTheHeaderOnClose) {
    TestSupport::TempDir dir;
    TrackFile track;
    ASSERT_TRUE(track.create(wide(dir / "t.kvt"), 14, 3)); // index 14 wraps to palette entry 2 (blue)
    Positioning::Fix fix;
    fix.dateTime = {9, 12, 2010, 13, 5, 7, 250};
    fix.hdop = 1.5f, fix.vdop = 9.0f, fix.altitude = 100.0f, fix.longitude = 37.5f, fix.latitude = 55.75f;
    fix.x = 0x01020304, fix.y = -2, fix.speed = 2.0f, fix.heading = 90.0f;
    for (int i = 0; i < 93; ++i)
        ASSERT_TRUE(track.append(fix));
    EXPECT_EQ(std::filesystem::file_size(dir / "t.kvt"), 16u) << "93 records fit the buffer";
    ASSERT_TRUE(track.append(fix));
    EXPECT_EQ(std::filesystem::file_size(dir / "t.kvt"), 16u + 93 * 44) << "the 94th flushes one block";
    ASSERT_TRUE(track.close());
    EXPECT_FALSE(track.close());
    const std::string bytes = TestSupport::readAll(dir / "t.kvt");
    ASSERT_EQ(bytes.size(), 16u + 94 * 44);
    EXPECT_EQ(hex(bytes.substr(0, 16)), "52 54 50 47 00 01 5e 00 00 00 ff ff 03 00 01 00");
    EXPECT_EQ(hex(bytes.substr(16 + 93 * 44)),
              "0d 05 07 00 00 00 00 00 00 00 c0 3f 00 00 c8 42 09 0c 0a 00 00 00 "
              "16 42 00 00 5f 42 04 03 02 01 fe ff ff ff 00 00 00 40 00 00 b4 42");
}

TEST(TrackFile, LoadsWhatReachedTheDisk) {
    const std::string v2 = trackHeader(0, TrackFile::Version2).substr(0, 6) +
                           std::string("\x10\x20\x30\x40\x05\x00\x01", 8) + std::string(30, 'x') + "TREN" +
                           std::string(6, '\0');
    // clang-format off
    const std::tuple<std::string, bool, std::uint32_t> cases[] = {
        {trackHeader(0) + trackRecords(3), true, 3},                           // never closed
        {trackHeader(2) + trackRecords(3), true, 3},                           // count below the length
        {trackHeader(5) + trackRecords(3), false, 3},                          // cut short
        {trackHeader(0) + trackRecords(3) + std::string(20, '\x7f'), true, 3}, // torn last record
        {trackHeader(1500) + trackRecords(1500), true, 1000},                  // the ring keeps the newest
        {trackHeader(0).substr(0, 6), false, 0},
        {"XTPG" + trackHeader(1).substr(4) + trackRecords(1), false, 0},
        {v2, true, 0}, {v2.substr(0, v2.size() - 10), false, 0},
        {trackHeader(1, 0x0300) + trackRecords(1), true, 0},
    };
    // clang-format on
    TestSupport::TempDir dir;
    for (const auto& [bytes, loads, points] : cases) {
        TrackFile track;
        EXPECT_EQ(track.load(wide(dir.write("t.kvt", bytes))), loads) << hex(bytes.substr(0, 8));
        EXPECT_EQ(track.pointCount(), points) << hex(bytes.substr(0, 8));
        const Positioning::Fix oldest = walkFix(points == 1000 ? 500 : 0);
        EXPECT_EQ(track.firstPoint(), (points ? xe::Point{oldest.x, oldest.y} : xe::Point{}));
        EXPECT_FALSE(track.close()) << "a loaded track is never written";
    }
    TrackFile second;
    ASSERT_TRUE(second.load(wide(dir.write("t.kvt", v2))));
    EXPECT_TRUE(second.colour() == 0x40302010u && second.lineSize() == 5 && second.shown());
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(second.load(wide(dir / "none.kvt")));
    EXPECT_TRUE(log.contains("Can't open track file '" + (dir / "none.kvt").string() + "' (err 2): No such file or directory"));
}

TEST(TrackFile, CountsOnlyTheRecordsThatWereWritten) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    TrackFile track;
    ASSERT_TRUE(track.create(wide(dir / "full.kvt"), 0, 1));
    {
        TestSupport::FileSizeLimit limit(16 + 93 * 44 + 2000); // the disk fills up in the second block
        for (int i = 0; i < 3 * 93; ++i)
            track.append(walkFix(i));
        EXPECT_TRUE(track.close());
    }
    const std::string bytes = TestSupport::readAll(dir / "full.kvt");
    ASSERT_EQ(bytes.size(), 16u + 93 * 44) << "the torn block was cut off";
    EXPECT_EQ(hex(bytes.substr(6, 2)), "5d 00");
    EXPECT_TRUE(log.contains("Can't write track file"));
}

// Cut, grown and damaged files through the load, the folder scan and the
// in-place rewrite; bounded, run under ASan+UBSan.
// A stored line size outside what the settings page offers (1 to 10) is
// read as the nearest one it offers: 65535 would paint half the map.
TEST(TrackFile, LineSizesAreHeldToTheRangeOffered) {
    TestSupport::TempDir dir;
    const std::pair<std::uint16_t, std::uint16_t> rows[] = {{65535, 10}, {11, 10}, {10, 10}, {7, 7},
                                                            {1, 1},      {0, 1}};
    for (const auto& [stored, read] : rows) {
        TrackFile v1;
        ASSERT_TRUE(v1.load(wide(dir.write("v1.kvt", closedTrackHeader(1, 0xFF0000FFu, stored, true) + trackRecords(1)))));
        EXPECT_EQ(v1.lineSize(), read) << stored;
        const std::string size{static_cast<char>(stored & 0xFF), static_cast<char>(stored >> 8)};
        const std::string v2 = trackHeader(0, TrackFile::Version2).substr(0, 6) + std::string("\x10\x20\x30\x40", 4) +
                               size + std::string("\x01\x00", 2) + std::string(30, 'x') + "TREN" + std::string(6, '\0');
        TrackFile second;
        ASSERT_TRUE(second.load(wide(dir.write("v2.kvt", v2))));
        EXPECT_EQ(second.lineSize(), read) << stored;
    }
    // A recording a crash left (size 0 among the zeros) still reads as one.
    TrackFile unclosed;
    ASSERT_TRUE(unclosed.load(wide(dir.write("u.kvt", trackHeader(0) + trackRecords(2)))));
    EXPECT_TRUE(unclosed.unclosed());
}

TEST(TrackFile, DamagedFilesLoadWithinTheirBounds) {
    TestSupport::Damage damage(35);
    const std::string valid = trackHeader(120) + trackRecords(120);
    std::vector<std::size_t> header;
    for (std::size_t at = 0; at < 48; ++at)
        header.push_back(at);
    TestSupport::TempDir dir;
    Core::Config config;
    for (int round = 0; round < 200; ++round) {
        const std::string bytes = damage.apply(valid, header);
        const auto path = dir.write("t.kvt", bytes);
        TrackFile track;
        track.load(wide(path));
        ASSERT_LE(track.pointCount(), bytes.size() > 16 ? (bytes.size() - 16) / 44 : 0) << round;
        fdTrackManager::Track::storeShowFlag(wide(path), true, 0x12345678);
        ASSERT_EQ(TestSupport::readAll(path).size(), bytes.size())
            << "the rewrite never grows or cuts a file";
        ASSERT_LE(fdTrackManager(wide(dir.path()), config.root()).trackCount(), 1u);
    }
}

} // namespace
