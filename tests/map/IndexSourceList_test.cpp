// Index source lists: scan, order, comparison, stored form with hostile
// lengths, remapping; the map set and the case-insensitive name order.

#include "map/IndexSourceList.h"

#include "core/NameOrder.h"
#include "core/Text.h"
#include "map/KvMap.h"
#include "map/MapSet.h"
#include "tests/map/AtlasFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <tuple>

using namespace AtlasTest;
using List = Map::IndexSourceList;

namespace {

List listOf(std::vector<List::Record> records) {
    List list;
    list.records = std::move(records);
    return list;
}

TEST(NameOrderTest, Iless) {
    // The first unit decides; 'Z' (0x5A) < '_' (0x5F); Cyrillic ignores case.
    const std::tuple<std::u16string, std::u16string, bool> rows[] = {
        {u"abc", u"ABCD", true}, {u"ABC", u"abc", false}, {u"abc", u"ABC", false},
        {u"", u"a", true},       {u"a", u"", false},      {u"a_", u"B", true},
        {u"Z", u"_", true},      {u"\u0430", u"\u0411", true}, {u"\u0410", u"\u0430", false}};
    for (const auto& [a, b, less] : rows)
        EXPECT_EQ(Core::iless(a, b), less) << Core::wideToUtf8(a) << " " << Core::wideToUtf8(b);
}

TEST(IndexSourceListTest, CollectSortsAndFilters) {
    TestSupport::TempDir dir;
    for (const char* name : {"b.kvm", "A.kvm", "c.KVM", "skip.kvm", "d.txt"})
        writeFile(dir / name, {1});
    std::filesystem::create_directories(dir / "folder.kvm");
    std::filesystem::last_write_time(
        dir / "A.kvm",
        std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{1600000000}} +
                                          std::chrono::milliseconds{999}));
    std::vector<std::u16string> seen;
    const List list = List::collect(wide(dir.path()), u"*.kvm", [&](const std::u16string& path) {
        seen.push_back(path);
        return path.find(u"skip") == std::u16string::npos;
    });
    ASSERT_EQ(list.records.size(), 3u);
    EXPECT_EQ(list.records[0].name, u"A.kvm");
    EXPECT_EQ(list.records[0].time, 1600000000u); // whole seconds
    EXPECT_EQ(list.records[1].name, u"b.kvm");
    EXPECT_EQ(list.records[2].name, u"c.KVM");
    EXPECT_EQ(seen.size(), 4u); // the folder never reaches the filter
    EXPECT_EQ(seen[0], wide(dir.path()) + u"\\A.kvm");

    EXPECT_TRUE(List::collect(wide(dir / "missing"), u"*.kvm", nullptr).records.empty());
    EXPECT_TRUE(List::collect(wide(dir.path()), u"*.none", nullptr).records.empty());
}

TEST(IndexSourceListTest, EqualityOrderAndRemap) {
    const List a = listOf({{u"one.kvm", 1}, {u"two.kvm", 2}});
    const std::pair<List, bool> others[] = {{a, true},
                                            {listOf({{u"ONE.kvm", 1}, {u"Two.KVM", 2}}), true},
                                            {listOf({{u"two.kvm", 2}, {u"one.kvm", 1}}), false},
                                            {listOf({{u"one.kvm", 1}, {u"two.kvm", 3}}), false},
                                            {listOf({{u"one.kvm", 1}}), false}};
    for (const auto& [other, equal] : others)
        EXPECT_EQ(List::equals(a, other), equal);
    EXPECT_TRUE(List::equals(List{}, List{}));

    std::vector<std::uint32_t> out;
    const List abc = listOf({{u"a", 1}, {u"b", 1}, {u"c", 1}});
    List::remap(abc, listOf({{u"a", 1}, {u"c", 1}}), out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFE, 1}));
    List::remap(listOf({{u"a", 1}}), List{}, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFFFFFFFE}));
    List::remap(abc, listOf({{u"C", 1}, {u"b", 1}, {u"a", 2}}), out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFFFFFFFE, 0xFFFFFFFF, 0}));
    List::remap(List{}, abc, out);
    EXPECT_TRUE(out.empty());

    List sorted = listOf({{u"x", 1}, {u"y", 2}, {u"z", 3}});
    List::sort(sorted, [](const std::u16string& name) -> std::uint32_t {
        return name == u"x" ? 0xFFFFFFFF : (name == u"y" ? 7 : 0);
    });
    EXPECT_EQ(sorted.records[0].name, u"z");
    EXPECT_EQ(sorted.records[1].name, u"y");
    EXPECT_EQ(sorted.records[2].name, u"x"); // keys compare unsigned
}

TEST(IndexSourceListTest, StoredForm) {
    BufferFile file;
    const List list = listOf({{u"ab", 0x0102030405060708ULL}, {u"\u0416", 9}});
    ASSERT_TRUE(List::write(file, list));
    const std::vector<std::uint8_t> expected = {2,    0,    0,   0, 2, 0, 0, 0, // count, longest
                                                'a',  0,    'b', 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1, // ab
                                                0x16, 0x04, 0,   0, 9, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(file.bytes, expected);

    file.position = 0;
    List back;
    back.records.push_back({u"kept", 5});
    ASSERT_TRUE(List::read(file, back));
    ASSERT_EQ(back.records.size(), 3u);
    EXPECT_EQ(back.records[1].name, u"ab");
    EXPECT_EQ(back.records[1].time, 0x0102030405060708ULL);
    EXPECT_EQ(back.records[2].name, u"\u0416");

    BufferFile empty({0, 0, 0, 0, 0, 0, 0, 0});
    List none;
    EXPECT_TRUE(List::read(empty, none));
    EXPECT_TRUE(none.records.empty());
    BufferFile out;
    ASSERT_TRUE(List::write(out, List{}));
    EXPECT_EQ(out.bytes, empty.bytes);

    // Each write that does not complete fails the list.
    for (std::size_t limit = 0; limit < expected.size(); ++limit) {
        BufferFile limited;
        limited.writeLimit = limit;
        EXPECT_FALSE(List::write(limited, list)) << limit;
    }
    // A name longer than any file name.
    EXPECT_FALSE(List::write(out, listOf({{std::u16string(List::MaxNameUnits + 1, u'x'), 1}})));
}

TEST(IndexSourceListTest, HostileStoredLists) {
    const std::vector<std::uint8_t> good = {1,   0, 0, 0, 3, 0, 0, 0, 'a', 0, 'b', 0,
                                            'c', 0, 0, 0, 1, 0, 0, 0, 0,   0, 0,   0};
    // Every truncation fails; nothing is half-appended.
    for (std::size_t size = 0; size < good.size(); ++size) {
        BufferFile file(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(size)));
        List list;
        EXPECT_FALSE(List::read(file, list)) << size;
        EXPECT_TRUE(list.records.empty());
    }
    // longest 0xFFFFFFFF would wrap the buffer to 0 units; a huge one would
    // ask for gigabytes: both are refused before anything is read.
    for (std::uint32_t longest : {0xFFFFFFFFu, 0xFFFFFFFEu, 0x40000000u, List::MaxNameUnits + 1}) {
        std::vector<std::uint8_t> bytes = good;
        putU32(bytes, 4, longest);
        BufferFile file(bytes);
        List list;
        EXPECT_FALSE(List::read(file, list)) << longest;
        EXPECT_EQ(file.reads, 2);
    }
    // A name longer than longest: "abc" with longest 2 has no 0 within 3 units.
    std::vector<std::uint8_t> bytes = good;
    putU32(bytes, 4, 2);
    BufferFile shortLongest(bytes);
    List list;
    EXPECT_FALSE(List::read(shortLongest, list));
    // longest 0: only empty names.
    BufferFile emptyName({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(List::read(emptyName, list));
    ASSERT_EQ(list.records.size(), 1u);
    EXPECT_EQ(list.records[0].name, u"");
    EXPECT_EQ(list.records[0].time, 4u);
    // A huge count ends at the first short read, keeping what was read.
    bytes = good;
    putU32(bytes, 0, 0xFFFFFFFF);
    BufferFile many(bytes);
    List partial;
    EXPECT_FALSE(List::read(many, partial));
    ASSERT_EQ(partial.records.size(), 1u);
    EXPECT_EQ(partial.records[0].name, u"abc");
}

class NamedMap : public Map::KvMap {
  public:
    explicit NamedMap(std::u16string name) : m_name(std::move(name)) {}
    const std::u16string& filePath() const override { return m_name; }
    const std::u16string& sourceName() const override { return m_name; }
    Map::File::StringsSectionReader& stringsReader() override { throw std::logic_error("unused"); }
    Map::File::GeometrySectionReader& geometryReader() override { throw std::logic_error("unused"); }
    Map::File::AddressSectionReader& addressReader() override { throw std::logic_error("unused"); }
    Map::File::RoutingSectionReader& routingReader() override { throw std::logic_error("unused"); }
    Map::File::TextSearchSectionReader& textSearchReader() override { throw std::logic_error("unused"); }
    Map::File::SpatialSearchSectionReader& spatialSearchReader() override {
        throw std::logic_error("unused");
    }

  private:
    std::u16string m_name;
};

TEST(MapSetTest, NumbersMapsByName) {
    NamedMap town(u"Town.kvm"), sameTown(u"TOWN.KVM"), region(u"region.kvm");
    Map::MapSet set;
    EXPECT_EQ(set.index(u"town.kvm"), 0xFFFFFFFFu);
    set.add(&town);
    set.add(&sameTown);
    set.add(&region);
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set.at(0), &town);
    EXPECT_EQ(set.at(1), &region);
    EXPECT_EQ(set.index(u"town.KVM"), 0u);
    EXPECT_EQ(set.index(u"Region.kvm"), 1u);
    EXPECT_EQ(set.index(u"other.kvm"), 0xFFFFFFFFu);
    try {
        set.at(2);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "invalid vector<T> subscript");
    }

    // The search engine's source list follows the set's numbering.
    List list = listOf({{u"Region.kvm", 1}, {u"town.kvm", 2}});
    List::sort(list, [&](const std::u16string& name) { return set.index(name); });
    EXPECT_EQ(list.records[0].name, u"town.kvm");
    set.clear();
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(set.index(u"town.kvm"), 0xFFFFFFFFu);
}

} // namespace
