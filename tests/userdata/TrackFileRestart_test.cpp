#include "userdata/TrackFile.h"

#include "UserDataTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"

#include <algorithm>

using namespace UserDataTest;

namespace {

// A new recording in the same object, after a recording or a loaded file,
// starts with no points of the old one.
TEST(TrackFileRestart, ANewRecordingStartsEmpty) {
    TestSupport::TempDir dir;
    dir.write("old.kvt", trackHeader(3) + trackRecords(3));
    for (const bool loaded : {false, true}) {
        TrackFile track;
        if (loaded) {
            ASSERT_TRUE(track.load(wide(dir / "old.kvt")));
        } else {
            ASSERT_TRUE(track.create(wide(dir / "first.kvt"), 0, 1));
            for (int i = 0; i < 3; ++i)
                ASSERT_TRUE(track.append(walkFix(i)));
        }
        ASSERT_EQ(track.pointCount(), 3u) << loaded;
        ASSERT_TRUE(track.create(wide(dir / "second.kvt"), 1, 1));
        EXPECT_EQ(track.pointCount(), 0u) << loaded;
        EXPECT_EQ(track.firstPoint(), (xe::Point{0, 0})) << loaded;
        ASSERT_TRUE(track.append(walkFix(7)));
        EXPECT_EQ(track.firstPoint(), (xe::Point{walkFix(7).x, walkFix(7).y})) << loaded;
        EXPECT_TRUE(track.close());
    }
}

// A full disk is told once per recording, however many blocks it refuses.
TEST(TrackFileRestart, AFullDiskIsLoggedOnce) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    TrackFile track;
    ASSERT_TRUE(track.create(wide(dir / "full.kvt"), 0, 1));
    {
        TestSupport::FileSizeLimit limit(16 + 93 * 44 + 2000);
        for (int i = 0; i < 5 * 93; ++i)
            track.append(walkFix(i));
        EXPECT_EQ(track.recordsWritten(), 93u);
        track.close();
    }
    const auto& lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Can't write track file") != std::string::npos; }),
              1);
}

} // namespace
