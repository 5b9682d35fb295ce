// Damaged danger-warn text files and index files: every reader must stay
// inside its bytes and finish, whatever the damage. Bounded so that the
// sanitizer build runs it in a few seconds.

#include "core/WinFile.h"
#include "map/proximity/IndexFile.h"
#include "map/proximity/MemoryIndex.h"
#include "map/proximity/Queries.h"
#include "map/proximity/TextFile.h"
#include "tests/map/proximity/ProximityTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace Map::Proximity;
using ProximityTest::kWorld;
using ProximityTest::wide;

std::vector<std::string> textTokens() {
    return {",", "\n", "\r", "-", "+", ".", " ", "0", "9", ";", "/", "\xEF\xBB\xBF", "\t", "-2147483648", "4294967296"};
}

TEST(DangerWarnMutation, DamagedTextFilesAreReadWithoutHarm) {
    TestSupport::Damage damage(2141, textTokens());
    const std::string samples[] = {
        "X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n10,20,1,50,1,90\r\n-179.9,-85,7,130,2,-45\r\n;c\r\n//d\r\n",
        "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION\n1,5.5,6.5,103,30,0,725\n2,180,85.05,106,0,1,0\n",
        "X,Y,TYPE,PROXIMITY,SPEED,DIRTYPE,DIRECTION\n3,4,11,100,60,2,45\n3,4,11,-1,60,2,45",
        "13.4,52.5,2\n13.5,52.6,2,90\n",
    };
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger quiet(Log::Critical);
    for (int i = 0; i < 400; ++i) {
        const std::string bytes = damage.apply(samples[i % 4]);
        // Rows straight from memory, including ones with no line end.
        const TextRow row = parseTextRow(bytes, static_cast<TextForm>(i % 4));
        if (row.status == TextRow::Accepted) {
            EXPECT_LE(row.point.kind(), 11u);
            EXPECT_LE(row.point.direction(), 359u);
            EXPECT_GE(row.point.radius, 0);
        }
        const auto path = dir.write(std::string(1, 'm').append(std::to_string(i % 8)).append(".txt"), bytes);
        MemoryIndex index;
        ASSERT_TRUE(readDangerWarnPointFile(wide(path), index)) << i;
        std::uint32_t seen = 0;
        index.queryIntersecting(kWorld, [&](const Point& p) {
            ++seen;
            EXPECT_LE(p.kind(), 11u);
            EXPECT_LE(p.direction(), 359u);
        });
        EXPECT_EQ(seen, index.pointCount());
    }
}

TEST(DangerWarnMutation, DamagedIndexFilesAreRefusedOrQueriedWithoutHarm) {
    TestSupport::Damage damage(2140, textTokens());
    std::mt19937 rng(2140);
    TestSupport::TempDir dir;
    Map::IndexSourceList sources;
    sources.records.push_back({u"points.txt", 77});
    MemoryIndex memory;
    for (int i = 0; i < 300; ++i) {
        memory.add(Point{static_cast<std::int32_t>(rng() % 200000), static_cast<std::int32_t>(rng() % 200000), 0,
                         static_cast<std::int32_t>(rng() % 3000), static_cast<std::uint32_t>(i)});
    }
    const auto path = dir / "DangerWarnPoints.idx";
    {
        FileSystem::WinFileForWrite file(wide(path));
        ASSERT_TRUE(writeIndex(file, sources, memory.tree()));
    }
    const std::string good = TestSupport::readAll(path);
    const std::size_t treeStart = 4 + 4 + 4 + 2 * 10 + 2 + 8;
    TestSupport::CaptureLogger quiet(Log::Critical);
    IndexHolder holder;
    for (int i = 0; i < 300; ++i) {
        std::string bytes = good;
        if (i % 3 == 0) {
            // Aim at the tree: header, offsets and boxes.
            const unsigned edits = 1 + rng() % 4;
            for (unsigned e = 0; e < edits; ++e) {
                const std::size_t at = treeStart + rng() % (bytes.size() - treeStart);
                bytes[at] = static_cast<char>(rng() % 4 == 0 ? 0 : rng());
            }
        } else if (i % 3 == 1) {
            // An offset that points back at a node already on the path.
            const std::size_t node = treeStart + 24;
            const std::size_t at = node + 16 + 20 * (rng() % 3);
            const std::uint32_t target = static_cast<std::uint32_t>(node + (rng() % 2) * 56);
            for (int b = 0; b < 4 && at + b < bytes.size(); ++b)
                bytes[at + b] = static_cast<char>(target >> (8 * b));
            bytes[treeStart] = static_cast<char>(1 + rng() % 40); // height
        } else {
            bytes = damage.apply(bytes, {treeStart, treeStart + 4, treeStart + 8, treeStart + 24});
        }
        dir.write("DangerWarnPoints.idx", bytes);
        auto index = std::make_unique<FileIndex>(wide(path), sources, 20, 20);
        if (!index->isValid())
            continue;
        std::uint64_t seen = 0;
        auto count = [&](const Point&) { ++seen; };
        index->queryIntersecting(kWorld, count);
        index->queryContained(Box{0, 0, 100000, 100000}, count);
        holder.index = std::move(index);
        std::vector<ProximityEvent> events;
        findEvents(holder, events, Map::Point{100000, 100000}, 30.0f, 45.0f);
        Point nearest;
        findNearest(Map::Point{50000, 50000}, 100000, holder, nearest);
        EXPECT_LE(seen, 2 * good.size());
    }
}

} // namespace
