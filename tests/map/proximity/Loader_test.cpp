#include "map/proximity/Loader.h"

#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "core/Config.h"
#include "map/proximity/IndexFile.h"
#include "map/proximity/Settings.h"
#include "map/proximity/MemoryIndex.h"
#include "tests/map/proximity/ProximityTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

using namespace Map::Proximity;
using ProximityTest::allPoints;
using ProximityTest::wide;

// Ticks that advance by 7 ms per reading.
TickSource steppingClock() {
    return [t = std::uint32_t{1000}]() mutable { return t += 7; };
}

struct LoadResult {
    bool ok = false;
    IndexHolder holder;
    std::vector<std::string> lines;
    bool fromFile() const { return dynamic_cast<FileIndex*>(holder.index.get()) != nullptr; }
    bool fromMemory() const { return dynamic_cast<MemoryIndex*>(holder.index.get()) != nullptr; }
    bool logged(const std::string& text) const {
        for (const auto& l : lines)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
};

LoadResult load(const TestSupport::TempDir& dir) {
    LoadResult r;
    TestSupport::CaptureLogger log;
    r.ok = loadDangerWarnPoints(wide(dir.path()), r.holder, 100, 50, steppingClock());
    r.lines = log.lines();
    return r;
}

TEST(DangerWarnLoader, BuildsOnceThenReusesUntilASourceChanges) {
    TestSupport::TempDir dir;
    dir.write("b.txt", "X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n10,20,1\n10.01,20.01,2\n");
    const auto a = dir.write("a.txt", "30,40,3\n30.5,40.5,4\n31,41,5\n");
    const auto idx = dir / "DangerWarnPoints.idx";

    const LoadResult first = load(dir);
    ASSERT_TRUE(first.ok);
    ASSERT_TRUE(first.fromMemory());
    EXPECT_TRUE(first.logged("5 Danger Warn Points loaded into 1 layers in 7 ms"));
    EXPECT_FALSE(first.logged("Danger Warn Points cache:"));
    EXPECT_TRUE(first.logged("Error reading Danger Warn Points index")); // no file yet
    ASSERT_TRUE(std::filesystem::exists(idx));

    const LoadResult second = load(dir);
    ASSERT_TRUE(second.ok);
    ASSERT_TRUE(second.fromFile());
    EXPECT_TRUE(second.logged("5 Danger Warn Points loaded into 1 layers in 7 ms"));
    EXPECT_TRUE(second.logged("Danger Warn Points cache: 100 nodes, 50 points"));
    EXPECT_EQ(allPoints(*second.holder.index), allPoints(*first.holder.index));
    EXPECT_EQ(second.holder.warningTimeSeconds, 10.0f);

    // A new modification time makes the stored list stale.
    std::filesystem::last_write_time(a, std::filesystem::last_write_time(a) + std::chrono::seconds(30));
    const LoadResult touched = load(dir);
    ASSERT_TRUE(touched.ok);
    EXPECT_TRUE(touched.fromMemory());
    EXPECT_FALSE(touched.logged("Danger Warn Points cache:"));
    EXPECT_TRUE(load(dir).fromFile());

    // A zeroed signature (an interrupted write) is refused and rebuilt.
    std::string bytes = TestSupport::readAll(idx);
    bytes.replace(0, 4, std::string(4, '\0'));
    dir.write("DangerWarnPoints.idx", bytes);
    const LoadResult unsignedFile = load(dir);
    EXPECT_TRUE(unsignedFile.fromMemory());
    EXPECT_TRUE(unsignedFile.logged("Invalid Danger Warn Points index signature: 00000000"));
    const LoadResult again = load(dir);
    EXPECT_TRUE(again.fromFile());
    EXPECT_EQ(allPoints(*again.holder.index), allPoints(*first.holder.index));

    // An added file and a removed one are noticed too.
    dir.write("c.txt", "1,1\n");
    const LoadResult added = load(dir);
    EXPECT_TRUE(added.fromMemory());
    EXPECT_EQ(added.holder.index->pointCount(), 6u);
    std::filesystem::remove(dir / "c.txt");
    const LoadResult removed = load(dir);
    EXPECT_TRUE(removed.fromMemory());
    EXPECT_EQ(removed.holder.index->pointCount(), 5u);
}

TEST(DangerWarnLoader, NoSourcesEmptySourcesAndAnUnwritableIndex) {
    {   // An old index without text files does not count.
        TestSupport::TempDir dir;
        dir.write("a.txt", "1,1\n");
        ASSERT_TRUE(load(dir).ok);
        std::filesystem::remove(dir / "a.txt");
        const LoadResult r = load(dir);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.holder.index, nullptr);
        EXPECT_TRUE(r.logged("There are no Danger Warn Points files to load"));
    }
    {   // An empty file among good ones loses nothing; an index of no
        // points at all is still written and reused.
        TestSupport::TempDir dir;
        dir.write("a.txt", "");
        dir.write("b.txt", "5,5\n");
        EXPECT_EQ(load(dir).holder.index->pointCount(), 1u);
        TestSupport::TempDir only;
        only.write("a.txt", "; nothing here\n");
        const LoadResult none = load(only);
        ASSERT_TRUE(none.ok);
        EXPECT_EQ(none.holder.index->pointCount(), 0u);
        const LoadResult reused = load(only);
        ASSERT_TRUE(reused.fromFile());
        EXPECT_EQ(reused.holder.index->pointCount(), 0u);
    }
    {   // The index path is taken by a folder: points come from memory.
        TestSupport::TempDir dir;
        dir.write("a.txt", "1,1\n2,2\n");
        std::filesystem::create_directory(dir / "DangerWarnPoints.idx");
        const LoadResult r = load(dir);
        ASSERT_TRUE(r.ok);
        EXPECT_TRUE(r.fromMemory());
        EXPECT_EQ(r.holder.index->pointCount(), 2u);
        EXPECT_TRUE(r.logged("Can't write into Danger Warn Points index '" + (dir.path().string() + "\\") +
                             "DangerWarnPoints.idx' (err "));
    }
}

} // namespace

namespace {

// The demo data's danger-warn files load whole and lie in the demo town.
TEST(DangerWarnLoader, DemoWaypointsLieInTheDemoTown) {
    TestSupport::TempDir dir;
    for (const char* name : {"cameras.txt", "signs.txt", "indexed.txt"}) {
        std::filesystem::copy_file(std::filesystem::path(MIREL_SOURCE_DIR) / "data" / "waypoints" / name,
                                   dir / name);
    }
    const LoadResult r = load(dir);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.holder.index->pointCount(), 8u);
    const Map::Point centre = Map::Projection::fromGeo(50.0f, 10.0f);
    const float u = Map::Projection::unitsPerMeterAtLatitude(50.0f);
    std::vector<std::uint32_t> kinds;
    for (const Point& p : allPoints(*r.holder.index)) {
        EXPECT_LT(std::hypot(double(p.x) - centre.x, double(p.y) - centre.y) / u, 1000.0);
        kinds.push_back(p.kind());
    }
    std::sort(kinds.begin(), kinds.end());
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{1, 1, 2, 2, 7, 7, 9, 9}));
}

} // namespace

namespace {

TEST(DangerWarnLoader, SettingsAreClampedAndDefaulted) {
    Core::Config config;
    auto root = config.root();
    Settings defaults = Settings::read(*root);
    EXPECT_EQ(defaults.warningTimeSeconds, 10.0f);
    EXPECT_EQ(defaults.sectorHalfWidthDegrees, 10);
    EXPECT_EQ(defaults.nodeCacheCapacity, 100u);
    EXPECT_EQ(defaults.pointCacheCapacity, 100u);
    EXPECT_TRUE(root->has("dwp_points_cache"));

    root->set("dwp_warn_time", 45.5f);
    root->set("dwp_sector_half", 1);
    root->set("dwp_nodes_cache", 5000);
    root->set("dwp_points_cache", 20);
    const Settings clamped = Settings::read(*root);
    EXPECT_EQ(clamped.warningTimeSeconds, 30.0f);
    EXPECT_EQ(clamped.sectorHalfWidthDegrees, 5);
    EXPECT_EQ(clamped.nodeCacheCapacity, 1000u);
    EXPECT_EQ(clamped.pointCacheCapacity, 20u);
    root->set("dwp_warn_time", 7.5f);
    EXPECT_EQ(Settings::read(*root).warningTimeSeconds, 7.5f);
}

} // namespace
