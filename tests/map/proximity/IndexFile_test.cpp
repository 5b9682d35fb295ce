#include "map/proximity/IndexFile.h"

#include "core/WinFile.h"
#include "map/proximity/MemoryIndex.h"
#include "tests/map/proximity/ProximityTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

using namespace Map::Proximity;
using ProximityTest::allPoints;
using ProximityTest::kWorld;
using ProximityTest::wide;

Map::IndexSourceList sourcesWithTime(std::uint64_t time) {
    Map::IndexSourceList list;
    list.records.push_back({u"a.txt", time});
    return list;
}

bool writeFile(const std::filesystem::path& path, const Map::IndexSourceList& sources, const MemoryIndex& index) {
    FileSystem::WinFileForWrite file(wide(path));
    return file.isOpen() && writeIndex(file, sources, index.tree());
}

struct Bytes {
    std::string s;
    Bytes& u8(std::uint8_t v) {
        s.push_back(static_cast<char>(v));
        return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Bytes& u64(std::uint64_t v) { return u32(v & 0xFFFFFFFF).u32(v >> 32); }
    Bytes& box(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) { return i32(a).i32(b).i32(c).i32(d); }
};

std::vector<Point> randomPoints(std::mt19937& rng, std::size_t n) {
    std::vector<Point> out;
    for (std::size_t i = 0; i < n; ++i) {
        Point p;
        p.x = static_cast<std::int32_t>(rng() % 2000000) - 1000000;
        p.y = static_cast<std::int32_t>(rng() % 2000000) - 1000000;
        p.radius = i % 97 == 0 ? 2000000000 : static_cast<std::int32_t>(rng() % 50000);
        p.packed = static_cast<std::uint32_t>(i);
        out.push_back(p);
    }
    return out;
}

TEST(DangerWarnIndexFile, WriterLaysOutHeaderNodesAndPoints) {
    TestSupport::TempDir dir;
    MemoryIndex two;
    two.add(Point{100, 200, 0, 10, 0x12345});
    two.add(Point{-50, -60, 0, 5, 7});
    ASSERT_TRUE(writeFile(dir / "two.idx", sourcesWithTime(0x0102030405060708ull), two));
    Bytes want;
    want.u32(0x01505744).u32(1).u32(5);
    for (char16_t c : std::u16string(u"a.txt"))
        want.u16(c);
    want.u16(0).u64(0x0102030405060708ull);
    want.u8(1).u8(4).u8(8).u8(0).u32(2);
    want.box(-55, -65, 110, 210);
    // Root leaf at 56: first record without offset, then 116, then the end 0.
    want.box(90, 190, 110, 210).u32(116).box(-55, -65, -45, -55).u32(0);
    want.i32(100).i32(200).u32(0).i32(10).u32(0x12345);
    want.i32(-50).i32(-60).u32(0).i32(5).u32(7);
    EXPECT_EQ(TestSupport::readAll(dir / "two.idx"), want.s);

    // A node of exactly the maximum fill has no end mark: 16 + 7 x 20 bytes.
    MemoryIndex eight;
    for (int i = 0; i < 8; ++i)
        eight.add(Point{i * 1000, 0, 0, 10, 0});
    ASSERT_TRUE(writeFile(dir / "eight.idx", sourcesWithTime(1), eight));
    const std::string bytes = TestSupport::readAll(dir / "eight.idx");
    ASSERT_EQ(bytes.size(), 56u + 156u + 160u);
    auto u32At = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        return v;
    };
    EXPECT_EQ(u32At(56 + 16), 232u);
    EXPECT_EQ(u32At(56 + 16 + 6 * 20), 212u + 7 * 20);
    EXPECT_EQ(u32At(212 + 7 * 20), 7000u); // x of the last point

    FileIndex reopened(wide(dir / "eight.idx"), sourcesWithTime(1), 20, 20);
    ASSERT_TRUE(reopened.isValid());
    EXPECT_EQ(allPoints(reopened), allPoints(eight));
    // A query box that only touches the root box is searched.
    std::vector<Point> touched;
    EXPECT_TRUE(reopened.queryIntersecting(Box{7010, 10, 9000, 9000}, [&](const Point& p) { touched.push_back(p); }));
    ASSERT_EQ(touched.size(), 1u);
    EXPECT_EQ(touched[0].x, 7000);

    // No points: no root box, no nodes; valid and silent.
    MemoryIndex none;
    ASSERT_TRUE(writeFile(dir / "none.idx", sourcesWithTime(1), none));
    EXPECT_EQ(TestSupport::readAll(dir / "none.idx").size(), 4u + 28u + 8u);
    FileIndex empty(wide(dir / "none.idx"), sourcesWithTime(1), 20, 20);
    EXPECT_TRUE(empty.isValid());
    EXPECT_EQ(empty.pointCount(), 0u);
    int visits = 0;
    EXPECT_TRUE(empty.queryIntersecting(kWorld, [&](const Point&) { ++visits; }));
    EXPECT_TRUE(empty.queryContained(kWorld, [&](const Point&) { ++visits; }));
    EXPECT_EQ(visits, 0);
}

TEST(DangerWarnIndexFile, FileIndexAnswersAsTheMemoryIndexOnRandomQueries) {
    std::uint32_t seed = 9140;
    if (const char* s = std::getenv("MIREL_TEST_SEED"))
        seed = static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    TestSupport::TempDir dir;
    MemoryIndex memory;
    for (const Point& p : randomPoints(rng, 3000))
        memory.add(p);
    ASSERT_TRUE(writeFile(dir / "DangerWarnPoints.idx", sourcesWithTime(5), memory));
    FileIndex file(wide(dir / "DangerWarnPoints.idx"), sourcesWithTime(5), 20, 20);
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.layerCount(), memory.layerCount());
    EXPECT_EQ(file.pointCount(), 3000u);
    EXPECT_EQ(file.cacheCounters(), (std::pair<std::uint32_t, std::uint32_t>{0, 0}));

    for (int i = 0; i < 300; ++i) {
        const std::int32_t x = static_cast<std::int32_t>(rng() % 2400000) - 1200000;
        const std::int32_t y = static_cast<std::int32_t>(rng() % 2400000) - 1200000;
        const std::int32_t r = static_cast<std::int32_t>(rng() % (i % 10 == 0 ? 2000000 : 100000));
        const Box q{x - r, y - r, x + r, y + r};
        std::vector<Point> a, b;
        const bool contained = i % 2 == 1;
        auto intoA = [&](const Point& p) { a.push_back(p); };
        auto intoB = [&](const Point& p) { b.push_back(p); };
        ASSERT_TRUE(contained ? memory.queryContained(q, intoA) : memory.queryIntersecting(q, intoA));
        ASSERT_TRUE(contained ? file.queryContained(q, intoB) : file.queryIntersecting(q, intoB));
        ASSERT_EQ(a, b) << "query " << i; // same tree, same order
    }
    EXPECT_LE(file.cachedNodes(), 20u);
    EXPECT_LE(file.cachedPoints(), 20u);
    EXPECT_GT(file.cacheCounters().first, 0u);
    EXPECT_GT(file.cacheCounters().second, 0u);
    file.resetCacheCounters();
    EXPECT_EQ(file.cacheCounters(), (std::pair<std::uint32_t, std::uint32_t>{0, 0}));

    // With room for everything, a repeated query reads nothing again.
    FileIndex roomy(wide(dir / "DangerWarnPoints.idx"), sourcesWithTime(5), 1000, 1000);
    const Box q{-100000, -100000, 100000, 100000};
    std::size_t seen = 0;
    ASSERT_TRUE(roomy.queryIntersecting(q, [&](const Point&) { ++seen; }));
    const auto first = roomy.cacheCounters();
    EXPECT_GT(first.second, 0u);
    ASSERT_TRUE(roomy.queryIntersecting(q, [&](const Point&) { ++seen; }));
    EXPECT_EQ(roomy.cacheCounters(), first);
}

TEST(DangerWarnIndexFile, StaleMissingDamagedAndUnsignedFilesAreRefused) {
    TestSupport::TempDir dir;
    std::mt19937 rng(3);
    MemoryIndex memory;
    for (const Point& p : randomPoints(rng, 200))
        memory.add(p);
    const auto path = dir / "DangerWarnPoints.idx";
    ASSERT_TRUE(writeFile(path, sourcesWithTime(5), memory));
    const std::string good = TestSupport::readAll(path);

    {   // Another time or another name: stale, silently.
        TestSupport::CaptureLogger log;
        EXPECT_FALSE(FileIndex(wide(path), sourcesWithTime(6), 20, 20).isValid());
        Map::IndexSourceList renamed;
        renamed.records.push_back({u"b.txt", 5});
        EXPECT_FALSE(FileIndex(wide(path), renamed, 20, 20).isValid());
        EXPECT_FALSE(FileIndex(wide(path), Map::IndexSourceList{}, 20, 20).isValid());
        EXPECT_TRUE(log.lines().empty());
        FileIndex upper(wide(path), [] {
            Map::IndexSourceList l;
            l.records.push_back({u"A.TXT", 5});
            return l;
        }(), 20, 20);
        EXPECT_TRUE(upper.isValid()); // names compare without case
    }
    {   // An interrupted write left 0 in place of the signature.
        TestSupport::CaptureLogger log(Log::Critical);
        std::string unsigned_ = good;
        unsigned_.replace(0, 4, std::string(4, '\0'));
        dir.write("DangerWarnPoints.idx", unsigned_);
        FileIndex index(wide(path), sourcesWithTime(5), 20, 20);
        EXPECT_FALSE(index.isValid());
        EXPECT_EQ(index.cacheCounters(), (std::pair<std::uint32_t, std::uint32_t>{0, 0}));
        EXPECT_FALSE(index.queryIntersecting(kWorld, [](const Point&) {}));
        EXPECT_TRUE(log.contains("Invalid Danger Warn Points index signature: 00000000"));
    }
    {   // A missing file is the normal first run: Normal level only.
        const auto missing = dir / "missing.idx";
        {
            TestSupport::CaptureLogger critical(Log::System);
            EXPECT_FALSE(FileIndex(wide(missing), sourcesWithTime(5), 20, 20).isValid());
            EXPECT_TRUE(critical.lines().empty());
        }
        TestSupport::CaptureLogger system(Log::Normal);
        EXPECT_FALSE(FileIndex(wide(missing), sourcesWithTime(5), 20, 20).isValid());
        EXPECT_TRUE(system.contains("Error reading Danger Warn Points index " + missing.string() + " (err 2): No such file or directory"));
    }
    {   // Too short for its source list: Critical, the file exists.
        TestSupport::CaptureLogger critical(Log::Critical);
        dir.write("DangerWarnPoints.idx", good.substr(0, 10));
        EXPECT_FALSE(FileIndex(wide(path), sourcesWithTime(5), 20, 20).isValid());
        EXPECT_TRUE(critical.contains("Error reading Danger Warn Points index " + path.string()));
    }
    {   // Cut after the root node: the tree opens, a query fails and logs,
        // after reporting what it could read.
        TestSupport::CaptureLogger log;
        dir.write("DangerWarnPoints.idx", good.substr(0, good.size() / 2));
        FileIndex cut(wide(path), sourcesWithTime(5), 20, 20);
        ASSERT_TRUE(cut.isValid());
        std::size_t seen = 0;
        EXPECT_FALSE(cut.queryIntersecting(kWorld, [&](const Point&) { ++seen; }));
        EXPECT_GT(seen, 0u);
        EXPECT_LT(seen, 200u);
        EXPECT_TRUE(log.contains("Error quering Danger Warn Points index (err"));
        EXPECT_EQ(log.count("filename = '" + path.string() + "'"), 1u);
        // The header alone: the root box is missing.
        dir.write("DangerWarnPoints.idx", good.substr(0, 4 + 28 + 8));
        EXPECT_FALSE(FileIndex(wide(path), sourcesWithTime(5), 20, 20).isValid());
    }
}

} // namespace
