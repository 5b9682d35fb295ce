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
#include <tuple>
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
        EXPECT_TRUE(r.logged("Can't write into Danger Warn Points index '" + (dir.path().string() + "/") +
                             "DangerWarnPoints.idx' (err "));
    }
}

TEST(DangerWarnLoader, SettingsAreClampedAndDefaulted) {
    Core::Config config;
    auto root = config.root();
    Settings::read(*root);
    EXPECT_TRUE(root->has("dwp_points_cache")); // defaults are written back
    root->set("dwp_warn_time", 45.5f);
    root->set("dwp_sector_half", 1);
    root->set("dwp_nodes_cache", 5000);
    root->set("dwp_points_cache", 20);
    const Settings clamped = Settings::read(*root);
    EXPECT_EQ(std::make_tuple(clamped.warningTimeSeconds, clamped.sectorHalfWidthDegrees, clamped.nodeCacheCapacity,
                              clamped.pointCacheCapacity),
              std::make_tuple(30.0f, 5, 1000u, 20u));
    root->set("dwp_warn_time", 7.5f);
    EXPECT_EQ(Settings::read(*root).warningTimeSeconds, 7.5f);
}

} // namespace
