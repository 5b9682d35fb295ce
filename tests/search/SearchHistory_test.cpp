// TextSearch.tsh: its bytes, the two rings, remapping to changed map files,
// and what a damaged or foreign file leaves behind.

#include "search/SearchHistory.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/AddressSpaceLimit.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace SearchTest;
using Map::MapAndOffset;
using TextSearch::ResultItem;
using TextSearch::SearchHistory;

namespace {

// 2026-03-01 12:34:56 on the local wall clock, stored as if it were UTC.
const Positioning::DateTime kNow{1, 3, 2026, 12, 34, 56, 789};
const std::uint64_t kNowSeconds = 1772368496;

struct History {
    explicit History(FixtureAtlas& atlas, const Map::MapSet* maps = nullptr)
        : atlas(atlas), history(maps ? *maps : atlas.set, [] { return kNow; }) {}
    bool load() { return history.load(atlas.folder()); }
    std::string bytes() const { return TestSupport::readAll(atlas.dir / "TextSearch.tsh"); }
    FixtureAtlas& atlas;
    SearchHistory history;
};

MapContent town(const char16_t* city) {
    MapContent c;
    c.cities = {{city, 0, 0}};
    c.streets = {{u"Main Street", 0, 2}};
    return c;
}

ResultItem object(std::u16string name, std::vector<MapAndOffset> refs, std::int32_t x = 5, std::int32_t y = -7) {
    return ResultItem{std::move(name), u"detail", {x, y}, std::move(refs)};
}

ResultItem waypoint(std::u16string name, std::uint16_t type) {
    Map::WayPoint point;
    point.name = name;
    point.comment = u"kept only in memory";
    point.type = type;
    point.point = {100, 200};
    return ResultItem{std::move(name), u"", {100, 200}, point};
}

std::string le(std::uint64_t v, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
    return out;
}

std::string units(const std::u16string& s) {
    std::string out;
    for (char16_t c : s)
        out += le(c, 2);
    return out;
}

std::size_t sourceListSize(const Map::IndexSourceList& list) {
    std::size_t size = 8;
    for (const auto& r : list.records)
        size += 2 * r.name.size() + 2 + 8;
    return size;
}

} // namespace

TEST(SearchHistory, FileBytesAndRoundTrip) {
    FixtureAtlas atlas({town(u"Alpha"), town(u"Beta")});
    History h(atlas);
    ASSERT_TRUE(h.load());
    // An empty history: signature, source list, three zero counts.
    const std::size_t head = 4 + sourceListSize(h.history.sources());
    std::string empty = h.bytes();
    ASSERT_EQ(empty.size(), head + 12);
    EXPECT_EQ(empty.substr(0, 4), std::string("TSH\x01", 4));
    EXPECT_EQ(empty.substr(head), std::string(12, '\0'));

    ASSERT_TRUE(h.history.addFilter(4, {{1, 0x30}, {0, 0x20}}));
    ASSERT_TRUE(h.history.addFoundObject(19, waypoint(u"Caf\u00E9", 0x2A01)));
    ASSERT_TRUE(h.history.addFoundObject(18, object(u"Main", {{1, 9}})));
    // Hand-computed: the filter (references sorted by map), then both
    // objects, the longest name being 4 units.
    const std::string expected = le(1, 4) + le(2, 4) + le(4, 4) +
                                 // filter
                                 le(4, 1) + le(0, 1) + le(2, 2) + le(kNowSeconds, 8) + le(1, 2) + le(0, 4) +
                                 le(0x20, 4) + le(1, 4) + le(0x30, 4) +
                                 // waypoint
                                 le(19, 1) + le(0, 1) + le(100, 4) + le(200, 4) + le(kNowSeconds, 8) + le(1, 2) +
                                 le(0, 2) + units(u"Caf\u00E9") + le(0, 2) + le(0x2A01, 2) +
                                 // map object
                                 le(18, 1) + le(0, 1) + le(5, 4) + le(0xFFFFFFF9, 4) + le(kNowSeconds, 8) + le(1, 2) +
                                 le(1, 2) + units(u"Main") + le(0, 2) + le(1, 4) + le(9, 4);
    const std::string written = h.bytes();
    EXPECT_EQ(written.substr(0, head), empty.substr(0, head));
    EXPECT_EQ(written.substr(head), expected);

    History again(atlas);
    ASSERT_TRUE(again.load());
    std::vector<SearchHistory::Filter> filters;
    again.history.filters(filters);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].first, 4u);
    EXPECT_EQ(filters[0].second, (std::vector<MapAndOffset>{{0, 0x20}, {1, 0x30}}));
    EXPECT_EQ(again.history.filterRing().back().time, (Positioning::DateTime{1, 3, 2026, 12, 34, 56, 0}));
    std::vector<ResultItem> found;
    std::vector<int> kinds;
    again.history.foundObjects(found, &kinds);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(kinds, (std::vector<int>{18, 19}));
    EXPECT_EQ(found[0].text, u"Main");
    EXPECT_EQ(found[0].detail, u"");
    EXPECT_EQ(std::get<0>(found[0].objects), (std::vector<MapAndOffset>{{1, 9}}));
    const Map::WayPoint& point = std::get<1>(found[1].objects);
    EXPECT_EQ(point.name, u"Caf\u00E9");
    EXPECT_EQ(point.type, 0x2A01);
    EXPECT_EQ(point.comment, u"");
    EXPECT_EQ(point.point, (Map::Point{100, 200}));
    EXPECT_EQ(again.bytes(), written);
}

TEST(SearchHistory, RingsKeepTheNewestFiftyAndClearsCountOnce) {
    FixtureAtlas atlas({town(u"Alpha")});
    History h(atlas);
    ASSERT_TRUE(h.load());
    for (std::uint32_t i = 1; i <= 51; ++i) {
        h.history.addFilter(4, {{0, i}});
        h.history.addFoundObject(17, object(u"City", {{0, i}}, int(i)));
    }
    ASSERT_EQ(h.history.filterRing().size(), 50u);
    EXPECT_EQ(h.history.filterRing().front().refs[0].offset, 2u);
    EXPECT_EQ(h.history.objectRing().front().item.point.x, 2);
    // Re-adding moves to the newest place and counts the use; a new
    // reference of another map would merge, one of the same map does not.
    h.history.addFilter(4, {{0, 10}, {0, 999}});
    EXPECT_EQ(h.history.filterRing().size(), 50u);
    EXPECT_EQ(h.history.filterRing().back().refs, (std::vector<MapAndOffset>{{0, 10}}));
    EXPECT_EQ(h.history.filterRing().back().useCount, 2u);
    // However often the filter is cleared, one entry stands for it, and it
    // is the newest filter but never listed.
    for (int i = 0; i < 60; ++i)
        h.history.addFilter(0, {});
    EXPECT_EQ(h.history.filterRing().size(), 50u);
    EXPECT_EQ(h.history.filterRing().front().refs[0].offset, 3u);
    std::uint32_t level = 9;
    std::vector<MapAndOffset> refs{{0, 1}};
    EXPECT_TRUE(h.history.lastFilter(level, refs));
    EXPECT_EQ(level, 0u);
    EXPECT_TRUE(refs.empty());
    std::vector<SearchHistory::Filter> listed;
    h.history.filters(listed);
    EXPECT_EQ(listed.size(), 49u);
    EXPECT_EQ(listed.front().second[0].offset, 10u);
    h.history.filters(listed); // a second listing replaces the first
    EXPECT_EQ(listed.size(), 49u);
    // Removing: a known entry goes, an unknown one writes nothing.
    EXPECT_TRUE(h.history.removeFilter(4, {{0, 10}}));
    EXPECT_FALSE(h.history.removeFilter(4, {{0, 10}}));
    EXPECT_TRUE(h.history.removeFoundObject(object(u"City", {{0, 51}}, 51)));
    EXPECT_FALSE(h.history.removeFoundObject(object(u"City", {{0, 51}}, 51)));
    EXPECT_EQ(h.history.objectRing().size(), 49u);
    // A disk that takes nothing: the file keeps the history stored before,
    // the changes stay in memory, and why is said once.
    const std::string stored = h.bytes();
    {
        TestSupport::FileSizeLimit full(0);
        EXPECT_FALSE(h.history.addFoundObject(17, object(u"Town", {{0, 77}})));
        EXPECT_FALSE(h.history.removeFoundObject(object(u"City", {{0, 50}}, 50)));
    }
    EXPECT_TRUE(h.bytes() == stored) << h.bytes().size() << " bytes, not " << stored.size();
    EXPECT_EQ(h.history.objectRing().back().item.text, u"Town");
    EXPECT_EQ(h.history.takeWriteError(), 223);
    EXPECT_EQ(h.history.takeWriteError(), 0);
}

TEST(SearchHistory, RemapsReorderedMapsAndDropsTouchedOnes) {
    FixtureAtlas atlas({town(u"Alpha"), town(u"Beta"), town(u"Gamma")});
    {
        History h(atlas);
        ASSERT_TRUE(h.load());
        h.history.addFilter(2, {{0, 1}, {1, 2}, {2, 3}});
        h.history.addFilter(4, {{1, 4}});
        h.history.addFoundObject(18, object(u"Main", {{2, 5}}));
        h.history.addFoundObject(18, object(u"Side", {{1, 6}}));
    }
    // The atlas now lists the maps in another order, and map 1 was
    // rewritten since.
    std::filesystem::last_write_time(atlas.file(1),
                                     std::filesystem::last_write_time(atlas.file(1)) + std::chrono::hours(2));
    Map::MapSet reordered;
    for (int m : {2, 0, 1})
        reordered.add(atlas.maps[std::size_t(m)].get());
    History h(atlas, &reordered);
    ASSERT_TRUE(h.load());
    std::vector<SearchHistory::Filter> filters;
    h.history.filters(filters);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].second, (std::vector<MapAndOffset>{{1, 1}, {0, 3}}));
    std::vector<ResultItem> found;
    h.history.foundObjects(found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(std::get<0>(found[0].objects), (std::vector<MapAndOffset>{{0, 5}}));
}

TEST(SearchHistory, AFailedLoadNeitherKeepsNorWritesTheOldHistory) {
    FixtureAtlas atlas({town(u"Alpha")});
    FixtureAtlas other({town(u"Beta"), town(u"Gamma")});
    Map::MapSet maps;
    maps.add(atlas.maps[0].get());
    SearchHistory history(maps, [] { return kNow; });
    ASSERT_TRUE(history.load(atlas.folder()));
    history.addFilter(4, {{0, 1}});
    const std::string before = TestSupport::readAll(atlas.dir / "TextSearch.tsh");
    // The engine now holds two maps, the folder one: the load fails, the
    // rings empty, and no change reaches the old file until a good load.
    maps.add(other.maps[1].get());
    EXPECT_FALSE(history.load(atlas.folder()));
    EXPECT_FALSE(history.bound());
    EXPECT_TRUE(history.filterRing().empty());
    EXPECT_FALSE(history.addFilter(4, {{1, 2}}));
    EXPECT_FALSE(history.addFoundObject(18, object(u"Main", {{1, 3}})));
    EXPECT_EQ(TestSupport::readAll(atlas.dir / "TextSearch.tsh"), before);
    EXPECT_FALSE(std::filesystem::exists(other.dir / "TextSearch.tsh"));
}

TEST(SearchHistory, BadIndicesAndNamesLoseOnlyWhatTheyMust) {
    FixtureAtlas atlas({town(u"Alpha")});
    History h(atlas);
    ASSERT_TRUE(h.load());
    h.history.addFilter(4, {{0, 1}});
    h.history.addFilter(3, {{0, 2}});
    h.history.addFoundObject(18, object(u"Main", {{0, 3}}));
    const std::string good = h.bytes();
    const std::size_t head = 4 + sourceListSize(h.history.sources());
    // The first filter's map index points past the stored sources (just
    // past the one stored map, or far): that entry goes, the rest loads.
    for (std::uint32_t index : {1u, 7u}) {
        std::string bad = good;
        bad.replace(head + 12 + 14, 4, le(index, 4));
        std::filesystem::copy_file(TestSupport::TempDir().write("t", bad), atlas.dir / "TextSearch.tsh",
                                   std::filesystem::copy_options::overwrite_existing);
        History a(atlas);
        ASSERT_TRUE(a.load());
        EXPECT_EQ(a.history.filterRing().size(), 1u) << index;
        EXPECT_EQ(a.history.filterRing().front().level, 3u) << index;
        EXPECT_EQ(a.history.objectRing().size(), 1u) << index;
    }
    // A name longer than the stored longest, and a longest far above any
    // name: the whole file is refused and replaced by an empty one.
    for (std::uint32_t longest : {3u, SearchHistory::MaxNameUnits + 1}) {
        std::string lying = good;
        lying.replace(head + 8, 4, le(longest, 4));
        std::filesystem::copy_file(TestSupport::TempDir().write("t", lying), atlas.dir / "TextSearch.tsh",
                                   std::filesystem::copy_options::overwrite_existing);
        TestSupport::CaptureLogger log;
        History b(atlas);
        ASSERT_TRUE(b.load());
        EXPECT_TRUE(b.history.filterRing().empty());
        EXPECT_EQ(b.bytes().size(), head + 12);
        // The refused file is kept beside the empty one.
        EXPECT_EQ(TestSupport::readAll(atlas.dir / "TextSearch.tsh.bak"), lying);
        EXPECT_TRUE(log.contains("Invalid search history kept as '" + (atlas.dir / "TextSearch.tsh.bak").string() + "'"));
    }
}

TEST(SearchHistory, SurvivesDamagedFiles) {
    FixtureAtlas atlas({town(u"Alpha"), town(u"Beta")});
    History h(atlas);
    ASSERT_TRUE(h.load());
    for (std::uint32_t i = 0; i < 5; ++i) {
        h.history.addFilter(1 + i % 4, {{i % 2, i}});
        h.history.addFoundObject(18, object(u"Street " + std::u16string(1, char16_t(u'a' + i)), {{i % 2, i}}));
        h.history.addFoundObject(19, waypoint(u"Point", std::uint16_t(i)));
    }
    const std::string good = h.bytes();
    std::vector<std::uint8_t> bytes(good.begin(), good.end());
    TestSupport::Damage damage(43);
    const std::size_t head = 4 + sourceListSize(h.history.sources());
    for (std::uint64_t round = 0; round < TestSupport::Damage::rounds(100); ++round) {
        const std::vector<std::uint8_t> copy = damage.apply(bytes, {0, 4, head, head + 4, head + 8});
        std::filesystem::copy_file(TestSupport::TempDir().write("t", std::string(copy.begin(), copy.end())),
                                   atlas.dir / "TextSearch.tsh", std::filesystem::copy_options::overwrite_existing);
        History d(atlas);
        ASSERT_TRUE(d.load());
        EXPECT_LE(d.history.filterRing().size(), SearchHistory::Capacity);
        for (const auto& e : d.history.filterRing())
            for (const MapAndOffset& r : e.refs)
                EXPECT_LT(r.map, 2u);
        // Whatever was read is written back whole and reads back the same.
        d.history.write();
        History again(atlas);
        ASSERT_TRUE(again.load());
        EXPECT_EQ(again.bytes(), d.bytes());
    }
}

// Loading takes memory for the names the file holds, not for the longest
// name there could be: a history without found objects loads within 256 MiB
// more address space.
TEST(SearchHistory, LoadsWithinBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers map memory of their own beyond any small bound";
#endif
    FixtureAtlas atlas({town(u"Alpha")});
    {
        History h(atlas);
        ASSERT_TRUE(h.load());
        ASSERT_TRUE(h.history.addFilter(4, {{0, 1}}));
    }
    History again(atlas);
    bool loaded = false;
    {
        TestSupport::AddressSpaceLimit limit(256u << 20);
        loaded = again.load();
    }
    EXPECT_TRUE(loaded);
    EXPECT_EQ(again.history.filterRing().size(), 1u);
}
