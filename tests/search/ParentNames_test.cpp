// Numbers of names: the same text always the same number, another text
// another; and the parents of attached maps numbered by name across maps.

#include "search/NameNumbers.h"
#include "search/ParentNames.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using TextSearch::NameNumbers;
using TextSearch::ParentNames;

namespace {

TEST(NameNumbers, AgreeWithAMapThroughGrowth) {
    std::mt19937 random(SearchTest::seed(7));
    NameNumbers numbers;
    std::map<std::u16string, std::uint32_t> names;
    std::map<std::uint64_t, std::uint32_t> keys;
    // Enough of each to grow both tables several times; short names over
    // few units repeat, and the empty name is a name.
    for (int i = 0; i < 6000; ++i) {
        std::u16string name(random() % 4, u'a');
        for (char16_t& c : name)
            c = static_cast<char16_t>(u"ab\u0430\u00e9"[random() % 4]);
        const std::uint32_t expected =
            names.emplace(name, static_cast<std::uint32_t>(names.size())).first->second;
        ASSERT_EQ(numbers.number(name), expected);
        ASSERT_EQ(numbers.find(name), expected);
        const std::uint64_t key = std::uint64_t{random() % 64} << 34 | (random() % 4ull) << 32 | random();
        keys[key] = static_cast<std::uint32_t>(i);
        numbers.store(key, static_cast<std::uint32_t>(i));
    }
    EXPECT_EQ(numbers.count(), names.size());
    for (const auto& [key, value] : keys)
        ASSERT_EQ(numbers.find(key), value);
    EXPECT_EQ(numbers.find(std::uint64_t{1} << 40), NameNumbers::None);
    EXPECT_EQ(numbers.find(u"abcde"), NameNumbers::None);
    EXPECT_EQ(NameNumbers().find(u""), NameNumbers::None);
}

TEST(ParentNames, NumberEqualNamesAlikeAcrossMaps) {
    SearchTest::MapContent first, second;
    first.cities = {{u"Linden", 0, 0}, {u"Aston", 0, 0}};
    second.cities = {{u"Aston", 0, 0}, {u"ASTON", 0, 0}};
    second.district = u"Aston";
    SearchTest::FixtureAtlas atlas({first, second});
    TestSupport::CaptureLogger quiet(Log::Critical);
    ParentNames names;
    names.build(atlas.set);
    // Records from offset 4, 28 bytes a city: 4 and 32.
    const std::uint32_t linden = names.find(0, 3, 4), aston = names.find(0, 3, 32);
    EXPECT_NE(linden, aston);
    EXPECT_EQ(names.find(1, 3, 4), aston);
    EXPECT_EQ(names.find(1, 2, 4), aston) << "a district of a city's name";
    EXPECT_NE(names.find(1, 3, 32), aston) << "names compare unfolded";
    EXPECT_EQ(names.find(0, 2, 4), names.numberOf(u"Linden District"));
    EXPECT_EQ(names.find(0, 0, 4), names.find(1, 0, 4));
    EXPECT_EQ(names.numberOf(u"Nowhere"), ParentNames::None);
    // Not a record start, past the table, another table, another map: the
    // caller reads those itself.
    for (const auto& [map, table, offset] : std::vector<std::tuple<std::uint32_t, int, std::uint32_t>>{
             {0, 3, 5}, {0, 3, 60}, {0, 3, 0}, {0, 4, 4}, {0, -1, 4}, {2, 3, 4}})
        EXPECT_EQ(names.find(map, table, offset), ParentNames::None) << map << " " << table << " " << offset;
    EXPECT_GT(names.memoryBytes(), 0u);
    names.clear();
    EXPECT_EQ(names.find(0, 3, 4), ParentNames::None);
    EXPECT_EQ(names.nameCount(), 0u);
}

} // namespace
