#include "userdata/TrackFile.h"

#include "UserDataTestSupport.h"

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

} // namespace
