#include "userdata/fdTrackManager.h"

#include "TrackTestSupport.h"
#include "core/Config.h"
#include "core/FileSystem.h"
#include "platform/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace TrackTest;
using TestSupport::readAll;

namespace {

std::u16string wide(const std::filesystem::path& p) {
    return FileSystem::toWide(p.string());
}

struct ManagerFixture {
    TestSupport::TempDir dir;
    Core::Config config;
    ManualClock clock;
    std::u16string folder = wide(dir.path()) + u"/";

    std::unique_ptr<fdTrackManager> make() {
        return std::make_unique<fdTrackManager>(folder, config.root(), clock);
    }
};

TEST(TrackManager, RecordingRuleBoundaries) {
    // Each case feeds fixes one second apart and counts the recorded ones.
    const float step = fdTrackManager::distanceMetres(Map::Point{walkFix(0).x, walkFix(0).y},
                                                      Map::Point{walkFix(1).x, walkFix(1).y});
    struct Case {
        int state;
        int interval;
        float minDist;
        int fixes;
        std::uint32_t recorded;
    } cases[] = {
        {0, 5000, 0, 11, 3},                      // 0, 5000 and exactly 10000 ms
        {0, 5001, 0, 11, 2},                      // 0 and 6000 ms
        {1, 0, step, 4, 4},                       // a step of exactly the least distance records
        {1, 0, std::nextafter(step, 1e9f), 4, 1}, // just short of it: only the first
        {2, 99999, 1e9f, 5, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        ManagerFixture f;
        auto manager = f.make();
        manager->setState(c.state);
        manager->setInterval(c.interval);
        manager->setMinDist(c.minDist);
        manager->startTrack(u"a.kvt");
        for (int i = 0; i < c.fixes; ++i) {
            f.clock.now = 1000u * static_cast<std::uint32_t>(i) - 3000u; // crosses the tick wrap
            manager->onFix(false, walkFix(c.state == 1 ? i % 2 : i));
        }
        EXPECT_EQ(manager->track(0).pointCount, c.recorded);
    }
}

TEST(TrackManager, NewTracksGetUniqueNamesAndAreStoredWithTheirProperties) {
    ManagerFixture f;
    f.config.root()->set("tracker_color", 13); // past the palette: wraps to green
    f.config.root()->set("tracker_size", 4);
    f.config.root()->set("tracker_state", 2);
    auto manager = f.make();
    EXPECT_EQ(manager->newTrackName(f.clock.local), u"20261207-010203.kvt");
    f.dir.write("20261207-010203.kvt", "");
    f.dir.write("20261207-010203-2.kvt", "");
    const std::u16string name = manager->newTrackName(f.clock.local);
    EXPECT_EQ(name, u"20261207-010203-3.kvt");
    manager->startTrack(name);
    EXPECT_NE(manager->newTrackName(f.clock.local), name) << "an entry also takes its name";
    manager->onFix(true, walkFix(0));
    manager->onFix(true, walkFix(1));
    manager->closeTracks();
    EXPECT_FALSE(manager->isRecording());
    const std::string bytes = readAll(f.dir / "20261207-010203-3.kvt");
    ASSERT_EQ(bytes.size(), 16u + 2 * 44);
    // Count 2, green, size 4, stored hidden (0) since nobody showed it.
    EXPECT_EQ(bytes.substr(6, 10), std::string("\x02\x00\x00\xff\x00\xff\x04\x00\x00\x00", 10));

    ASSERT_TRUE(manager->setTrackShown(0, true));
    ASSERT_TRUE(manager->setTrackColour(0, 0x11223344));
    EXPECT_FALSE(manager->setTrackShown(1, true));
    EXPECT_EQ(readAll(f.dir / "20261207-010203-3.kvt"), bytes) << "files change only at the next close";
    manager.reset(); // shutdown stores them
    EXPECT_EQ(readAll(f.dir / "20261207-010203-3.kvt").substr(6, 10),
              std::string("\x02\x00\x44\x33\x22\x11\x04\x00\xff\x00", 10));

    auto again = f.make();
    ASSERT_EQ(again->trackCount(), 1u) << "empty files are not listed";
    EXPECT_TRUE(again->track(0).shown);
    EXPECT_TRUE(again->deleteTrack(0));
    EXPECT_FALSE(std::filesystem::exists(f.dir / "20261207-010203-3.kvt"));
}

TEST(TrackManager, StoreShowFlagRewritesOnlyColourAndFlag) {
    TestSupport::TempDir dir;
    const auto raw = [](const char(&text)[9]) { return std::string(text, 8); };
    std::string v1 = trackHeader(7) + trackRecords(1);
    v1[12] = 9;
    const std::string v2 = trackHeader(0, TrackFile::Version2).substr(0, 14) + "rest";
    struct Case {
        std::string before;
        bool shown;
        std::string after;
    } cases[] = {
        {v1, true, v1.substr(0, 8) + raw("\x44\x33\x22\x11\x09\x00\xff\x00") + v1.substr(16)},
        {v1, false, v1.substr(0, 8) + raw("\x44\x33\x22\x11\x09\x00\x00\x00") + v1.substr(16)},
        {v2, true, v2.substr(0, 6) + raw("\x44\x33\x22\x11\x00\x00\xff\x00") + "rest"},
        {trackHeader(0, 0x0300), true, trackHeader(0, 0x0300)},
    };
    for (const Case& c : cases) {
        const auto path = dir.write("t.kvt", c.before);
        EXPECT_TRUE(fdTrackManager::Track::storeShowFlag(wide(path), c.shown, 0x11223344));
        EXPECT_EQ(readAll(path), c.after);
    }
    EXPECT_FALSE(fdTrackManager::Track::storeShowFlag(wide(dir.write("t.kvt", "RTPG")), true, 0));
    EXPECT_FALSE(fdTrackManager::Track::storeShowFlag(wide(dir / "missing.kvt"), true, 0));
}

TEST(TrackManager, MissingFolderIsCreatedAndUnreadableFilesAreSkipped) {
    ManagerFixture f;
    f.folder = wide(f.dir / "tracks");
    EXPECT_EQ(f.make()->trackCount(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(f.dir / "tracks"));
    f.dir.write("tracks/a.kvt", trackHeader(0) + trackRecords(2));
    f.dir.write("tracks/b.kvt", "garbage");
    f.dir.write("tracks/c.kvt", trackHeader(0));
    std::filesystem::create_directory(f.dir / "tracks/d.kvt");
    auto manager = f.make();
    ASSERT_EQ(manager->trackCount(), 1u);
    EXPECT_EQ(manager->track(0).name, u"a.kvt");
    EXPECT_EQ(manager->track(0).pointCount, 2u);
}

TEST(TrackManager, KilledRecordingKeepsEveryFlushedBlockAndIsListed) {
    ManagerFixture f;
    auto child = Platform::spawnDetached(MIREL_TRACK_CHILD, {f.dir.path().string(), "200"});
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.exitCode.get(), 128 + 9);
    // Two blocks of 93 reached the disk; the 14 buffered fixes died with it.
    EXPECT_EQ(std::filesystem::file_size(f.dir / "killed.kvt"), 16u + 186 * 44);
    auto manager = f.make();
    ASSERT_EQ(manager->trackCount(), 1u);
    EXPECT_EQ(manager->track(0).pointCount, 186u);
}

} // namespace
