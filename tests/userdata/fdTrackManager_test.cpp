#include "userdata/fdTrackManager.h"

#include "UserDataTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"

#include <algorithm>
#include <chrono>
#include <cmath>

using namespace UserDataTest;
using TestSupport::readAll;

namespace {

struct ManagerFixture {
    TestSupport::TempDir dir;
    Core::Config config;
    ManualClock clock;
    std::u16string folder = wide(dir.path());

    std::unique_ptr<fdTrackManager> make() {
        return std::make_unique<fdTrackManager>(folder, config.root(), clock);
    }
};

TEST(TrackManager, RecordingRuleBoundaries) {
    const float step =
        fdTrackManager::distanceMetres({walkFix(0).x, walkFix(0).y}, {walkFix(1).x, walkFix(1).y});
    // state, interval, least distance, fixes one second apart, recorded
    const std::tuple<int, int, float, int, std::uint32_t> cases[] = {
        {0, 5000, 0, 11, 3},                      // 0, 5000 and exactly 10000 ms
        {0, 5001, 0, 11, 2},                      // 0 and 6000 ms
        {1, 0, step, 4, 4},                       // exactly the least distance records
        {1, 0, std::nextafter(step, 1e9f), 4, 1}, // just short of it
        {2, 99999, 1e9f, 5, 5},
    };
    for (const auto& [state, interval, minDist, fixes, recorded] : cases) {
        ManagerFixture f;
        auto manager = f.make();
        manager->setState(state);
        manager->setInterval(interval);
        manager->setMinDist(minDist);
        // The settings are stored for the next start.
        const auto restarted = f.make();
        EXPECT_EQ(restarted->state(), state);
        EXPECT_EQ(restarted->interval(), interval);
        EXPECT_NEAR(restarted->minDist(), minDist, 1e-5f * std::max(1.0f, minDist)) << "six decimals are kept";
        manager->startTrack(u"a.kvt");
        for (int i = 0; i < fixes; ++i) {
            f.clock.now = 1000u * static_cast<std::uint32_t>(i) - 3000u; // crosses the tick wrap
            manager->onFix(true, walkFix(state == 1 ? i % 2 : i));       // distance cases go back and forth
        }
        EXPECT_EQ(manager->track(0).pointCount, recorded) << state << " " << interval;
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
    const auto path = f.dir / "20261207-010203-3.kvt";
    const std::string bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 16u + 2 * 44);
    EXPECT_EQ(hex(bytes.substr(6, 10)), "02 00 00 ff 00 ff 04 00 ff 00")
        << "count, green, size 4, shown: the finished recording stays drawn";
    EXPECT_TRUE(manager->track(0).shown);

    ASSERT_TRUE(manager->setTrackShown(0, false) && manager->setTrackShown(0, true) &&
                manager->setTrackColour(0, 0x11223344));
    EXPECT_FALSE(manager->setTrackShown(1, true));
    EXPECT_FALSE(manager->setTrackColour(1, 0x11223344)) << "one track: index 1 is past the end";
    EXPECT_EQ(readAll(path), bytes) << "files change only at the next close";
    manager.reset();
    EXPECT_EQ(hex(readAll(path).substr(6, 10)), "02 00 44 33 22 11 04 00 ff 00");
    const std::string v2 = trackHeader(0, TrackFile::Version2).substr(0, 14) + "rest";
    EXPECT_TRUE(fdTrackManager::Track::storeShowFlag(wide(f.dir.write("v2", v2)), true, 0x11223344));
    EXPECT_EQ(hex(readAll(f.dir / "v2").substr(6, 8)), "44 33 22 11 00 00 ff 00");

    auto again = f.make();
    ASSERT_EQ(again->trackCount(), 1u) << "empty files are not listed";
    EXPECT_TRUE(again->track(0).shown);
    EXPECT_TRUE(again->deleteTrack(0));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// Leaving the program (or stopping a recording) opens for writing only the
// files whose colour or shown flag changed: the others keep their bytes and
// their time, so a power cut at the exit cannot tear them.
TEST(TrackManager, OnlyChangedTracksAreWrittenWhenTheyAreClosed) {
    ManagerFixture f;
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
    std::vector<std::filesystem::path> paths;
    for (const auto& [name, shown] : {std::pair{"t0.kvt", true}, {"t1.kvt", false}, {"t2.kvt", true}}) {
        paths.push_back(f.dir.write(name, closedTrackHeader(2, 0xFF0000FF, 2, shown) + trackRecords(2)));
        std::filesystem::last_write_time(paths.back(), old);
    }
    const auto untouched = [&](std::size_t i) {
        return std::filesystem::last_write_time(paths[i]) == old &&
               readAll(paths[i]) == closedTrackHeader(2, 0xFF0000FF, 2, i != 1) + trackRecords(2);
    };
    auto manager = f.make();
    ASSERT_EQ(manager->trackCount(), 3u);
    manager->setTrackColour(0, 0xFF0000FF); // set to what it was
    manager->setTrackShown(1, true);
    manager->setTrackShown(1, false);
    manager->startTrack(u"new.kvt");
    manager->onFix(true, walkFix(0));
    manager->closeTracks();
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(untouched(i)) << "a recording stopped: track " << i;
    const std::string recorded = readAll(f.dir / "new.kvt");
    manager->setTrackShown(2, false);
    manager.reset();
    EXPECT_TRUE(untouched(0));
    EXPECT_TRUE(untouched(1));
    EXPECT_EQ(hex(readAll(paths[2]).substr(6, 10)), "02 00 ff 00 00 ff 02 00 00 00") << "the changed one";
    EXPECT_EQ(readAll(f.dir / "new.kvt"), recorded) << "closed once, when the recording stopped";
}

// A track file that ends anywhere inside its header keeps its bytes when
// the flags are stored, and the log says which file was left alone; the
// whole header (with nothing after it) takes the flags in place.
TEST(TrackManager, AFileCutInsideItsHeaderIsRefusedAndKept) {
    TestSupport::TempDir dir;
    for (const auto& [version, headerSize] : {std::pair{TrackFile::Version1, 16u}, std::pair{TrackFile::Version2, 14u}}) {
        const std::string whole = trackHeader(2, version) + trackRecords(2);
        for (std::size_t cut = 0; cut <= headerSize; ++cut) {
            SCOPED_TRACE(testing::Message() << version << " cut at " << cut);
            const std::string bytes = whole.substr(0, cut);
            const auto path = dir.write("cut.kvt", bytes);
            TestSupport::CaptureLogger log;
            const bool stored = fdTrackManager::Track::storeShowFlag(wide(path), true, 0x11223344);
            EXPECT_EQ(stored, cut == headerSize);
            EXPECT_EQ(readAll(path).size(), bytes.size());
            if (cut < headerSize) {
                EXPECT_EQ(readAll(path), bytes);
                EXPECT_EQ(log.count("Track file '" + path.string() + "' ends inside its header: left unchanged"), 1u);
            } else {
                EXPECT_TRUE(log.lines().empty());
            }
        }
    }
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
    EXPECT_TRUE(std::filesystem::exists(f.dir / "tracks/b.kvt")) << "not a track file: left alone";
}

// What a kill leaves before the first block reached the disk, and a closed
// recording without points, hold no whole point: removed at the next start.
// A file that is no track stays.
TEST(TrackManager, KilledRecordingsWithoutAPointAreRemoved) {
    ManagerFixture f;
    const std::string closedEmpty = closedTrackHeader(0, trackPaletteColour(1), 2, false);
    const struct {
        const char* name;
        std::string bytes;
        bool removed;
    } rows[] = {
        {"header.kvt", trackHeader(0), true},
        {"torn.kvt", trackHeader(0) + trackRecords(1).substr(0, 43), true},
        {"empty.kvt", "", true},
        {"closed.kvt", closedEmpty, true},
        {"count-only.kvt", closedTrackHeader(3, trackPaletteColour(1), 2, true), true},
        {"short.kvt", "RTPG", false},
        {"other.kvt", std::string(40, 'x'), false},
    };
    for (const auto& row : rows)
        f.dir.write(row.name, row.bytes);
    TestSupport::CaptureLogger log;
    EXPECT_EQ(f.make()->trackCount(), 0u);
    for (const auto& row : rows) {
        EXPECT_EQ(!std::filesystem::exists(f.dir / row.name), row.removed) << row.name;
        EXPECT_EQ(log.contains("Track file '" + (f.dir / row.name).string() + "' holds no point: removed"),
                  row.removed)
            << row.name;
    }
}

// REC on and off with no point between leaves neither a file nor an entry;
// a recording with a point is kept.
TEST(TrackManager, ARecordingWithoutAPointLeavesNoFile) {
    for (const int fixes : {0, 1}) {
        ManagerFixture f;
        auto manager = f.make();
        TestSupport::CaptureLogger log;
        ASSERT_TRUE(manager->startTrack(u"a.kvt"));
        if (fixes > 0) manager->onFix(true, walkFix(0));
        manager->closeTracks();
        EXPECT_EQ(std::filesystem::exists(f.dir / "a.kvt"), fixes > 0) << fixes;
        EXPECT_EQ(manager->trackCount(), std::size_t(fixes));
        EXPECT_EQ(log.contains("Track file '" + (f.dir / "a.kvt").string() + "' holds no point: removed"),
                  fixes == 0);
        EXPECT_FALSE(manager->isRecording());
    }
}

// Losing the receiver hands an empty fix that is not valid: it is never a
// record (no 00:00:00 at 0, 0), in any rule, and what the buffer holds is
// written out at once.
TEST(TrackManager, AFixThatIsNotValidIsNeverRecorded) {
    for (int state : {0, 1, 2}) {
        ManagerFixture f;
        auto manager = f.make();
        manager->setState(state);
        manager->setInterval(0);
        manager->setMinDist(0);
        ASSERT_TRUE(manager->startTrack(u"a.kvt"));
        manager->onFix(false, Positioning::Fix{}); // before the first point
        manager->onFix(true, walkFix(0));
        f.clock.now = 1000;
        manager->onFix(true, walkFix(1));
        EXPECT_EQ(std::filesystem::file_size(f.dir / "a.kvt"), 16u) << state;
        f.clock.now = 2000;
        manager->onFix(false, Positioning::Fix{});
        EXPECT_EQ(std::filesystem::file_size(f.dir / "a.kvt"), 16u + 2 * 44) << state << ": flushed";
        f.clock.now = 3000;
        manager->onFix(false, Positioning::Fix{});
        manager->closeTracks();
        const std::string bytes = readAll(f.dir / "a.kvt");
        ASSERT_EQ(bytes.size(), 16u + 2 * 44) << state;
        EXPECT_EQ(bytes.substr(16), trackRecords(2)) << state;
    }
}

// A recording that cannot write says so, in the log and to the map page,
// which stops it; one whose file cannot be made does not start.
TEST(TrackManager, ARecordingThatCannotWriteSaysSo) {
    ManagerFixture f;
    f.config.root()->set("tracker_state", 2);
    auto manager = f.make();
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(manager->startTrack(u"no/such/folder.kvt"));
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(manager->trackCount(), 0u);
    EXPECT_TRUE(log.contains("Can't create track file '" + (f.dir / "no/such/folder.kvt").string() + "' (err 2)"));

    ASSERT_TRUE(manager->startTrack(u"a.kvt"));
    {
        TestSupport::FileSizeLimit limit(16 + 44 * TrackFile::RecordsPerWrite - 1);
        for (std::uint32_t i = 0; i <= TrackFile::RecordsPerWrite; ++i)
            manager->onFix(true, walkFix(static_cast<int>(i)));
    }
    EXPECT_TRUE(manager->isRecording());
    EXPECT_TRUE(manager->recordingFailed());
    EXPECT_TRUE(log.contains("Can't write track file '" + (f.dir / "a.kvt").string() + "' (err "));
    manager->closeTracks();
    EXPECT_FALSE(manager->recordingFailed());
    ASSERT_TRUE(manager->startTrack(u"b.kvt"));
    EXPECT_FALSE(manager->recordingFailed()) << "a new file starts clean";
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

// A crash or a kill loses at most FlushIntervalMs (5 s) of a recording: the
// buffer reaches the disk that often as well as when full. The file a crash
// left is listed at the next start, shown, with the count, colour and line
// size close() would have written.
TEST(TrackManager, RecordingReachesTheDiskEveryFiveSecondsAndACrashedOneIsRepaired) {
    ManagerFixture f;
    f.config.root()->set("tracker_color", 2);
    f.config.root()->set("tracker_size", 3);
    f.config.root()->set("tracker_state", 2);
    const auto path = f.dir / "a.kvt";
    static_assert(fdTrackManager::FlushIntervalMs == 5000);
    {
        auto manager = f.make();
        f.clock.now = 1000;
        manager->startTrack(u"a.kvt");
        // A fix a second, every one recorded.
        for (int i = 0; i < 5; ++i) {
            f.clock.now = 1000 + 1000u * static_cast<std::uint32_t>(i);
            manager->onFix(true, walkFix(i));
        }
        EXPECT_EQ(std::filesystem::file_size(path), 16u) << "4 s: still buffered";
        f.clock.now = 1000 + fdTrackManager::FlushIntervalMs;
        manager->onFix(true, walkFix(5));
        EXPECT_EQ(std::filesystem::file_size(path), 16u + 6 * 44);
        // What a kill at this moment leaves on the disk.
        std::filesystem::copy_file(path, f.dir / "crashed.kvt");
    }
    std::filesystem::remove(path);
    EXPECT_EQ(readAll(f.dir / "crashed.kvt").substr(0, 16), trackHeader(0));

    TestSupport::CaptureLogger log;
    auto manager = f.make();
    ASSERT_EQ(manager->trackCount(), 1u);
    EXPECT_EQ(manager->track(0).pointCount, 6u);
    EXPECT_TRUE(manager->track(0).shown);
    EXPECT_EQ(manager->track(0).colour, trackPaletteColour(2));
    EXPECT_EQ(readAll(f.dir / "crashed.kvt").substr(0, 16), closedTrackHeader(6, trackPaletteColour(2), 3, true));
    EXPECT_TRUE(log.contains("crashed.kvt' was not closed: 6 points kept"));
}

} // namespace
