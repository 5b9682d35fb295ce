#include "core/ValueFormat.h"

#include "core/Format.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

using namespace Core;

namespace {

class FakeMessages : public MessageTable {
public:
    FakeMessages() {
        m_texts = {{"meter", u"м"}, {"kilo_meter", u"км"}, {"points_1", u"точка"},
                   {"points_2", u"точки"}, {"points_5", u"точек"}};
    }
    const std::u16string& text(std::string_view name) const override {
        const auto it = m_texts.find(std::string(name));
        return it == m_texts.end() ? m_empty : it->second;
    }

private:
    std::map<std::string, std::u16string> m_texts;
    std::u16string m_empty;
};

} // namespace

TEST(ValueFormat, Coordinates) {
    EXPECT_EQ(formatLatitude(2, -55.75f), u"S55°45.000'");
    EXPECT_EQ(formatLatitude(3, -55.75f), u"S55°45'00.0\"");
    // Minutes that would print as 60.000 carry into the degrees. (37.99999
    // itself is 37.9999886 as a float: 59.99931 minutes, no carry.)
    EXPECT_EQ(formatLongitude(2, 37.999993f), u"E38°00.000'");
    EXPECT_EQ(formatLongitude(2, 37.99999f), u"E37°59.999'");
    EXPECT_EQ(formatLatitude(1, 0.0f), u"N0.000000°");
    EXPECT_EQ(formatLongitude(1, 0.0f), u"E0.000000°");
    EXPECT_EQ(formatLatitude(0, -55.75f), u"-55.750000");
    EXPECT_EQ(formatLongitude(0, 37.5f), u"37.500000");
    EXPECT_EQ(formatLongitude(1, -122.25f), u"W122.250000°");
    EXPECT_EQ(formatLatitude(2, 55.5f), u"N55°30.000'");
    EXPECT_EQ(formatLongitude(3, 37.6f), u"E37°36'00.0\"");
    EXPECT_EQ(formatLatitude(3, 10.5125f), u"N10°30'45.0\"");
    // Seconds that round to 60 carry into the minutes, and 60 minutes into
    // the degrees.
    EXPECT_EQ(formatLatitude(3, 10.99999f), u"N11°00'00.0\"");
    EXPECT_EQ(formatLatitude(3, 10.49999f), u"N10°30'00.0\"");
    // Degrees beyond the integer range saturate instead of converting with
    // undefined behaviour.
    EXPECT_EQ(formatLatitude(2, -1e30f), u"S2147483647°00.000'");
    EXPECT_EQ(formatLongitude(3, 1e30f), u"E2147483647°00'00.0\"");
    EXPECT_EQ(formatLatitude(4, 10.0f), u"");
    EXPECT_EQ(formatLongitude(-1, 10.0f), u"");
}

TEST(ValueFormat, Distance) {
    const FakeMessages m;
    EXPECT_EQ(formatDistance(m, 104, true), u"100 м");
    EXPECT_EQ(formatDistance(m, 1049, true), u"1000 м");
    EXPECT_EQ(formatDistance(m, 1050, true), u"1 км");
    EXPECT_EQ(formatDistance(m, 1000, false), u"1.000 км");
    EXPECT_EQ(formatDistance(m, 4, true), u"0 м");
    EXPECT_EQ(formatDistance(m, 5, true), u"10 м");
    EXPECT_EQ(formatDistance(m, 105, true), u"100 м");
    EXPECT_EQ(formatDistance(m, 150, true), u"200 м");
    EXPECT_EQ(formatDistance(m, 2499, true), u"2 км");
    EXPECT_EQ(formatDistance(m, 2500, true), u"3 км");
    EXPECT_EQ(formatDistance(m, 999, false), u"999 м");
    EXPECT_EQ(formatDistance(m, 12345, false), u"12.345 км");
    EXPECT_EQ(formatDistance(m, 0, false), u"0 м");
    EXPECT_EQ(formatDistance(m, -7, false), u"-7 м");
    // Truncation toward zero for negative distances.
    EXPECT_EQ(formatDistance(m, -16, true), u"-10 м");
    EXPECT_EQ(formatDistance(m, std::numeric_limits<std::int32_t>::max(), true), u"2147484 км");
    // A table without the unit words leaves the number and its blank.
    struct Empty : MessageTable {
        const std::u16string& text(std::string_view) const override { return e; }
        std::u16string e;
    } empty;
    EXPECT_EQ(formatDistance(empty, 300, true), u"300 ");
}

TEST(ValueFormat, RoundDistance) {
    EXPECT_EQ(roundDistance(0), 0);
    EXPECT_EQ(roundDistance(-17), -17);
    EXPECT_EQ(roundDistance(std::numeric_limits<std::int32_t>::min()), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(roundDistance(1), 0);
    EXPECT_EQ(roundDistance(1050), 1000);
    EXPECT_EQ(roundDistance(1500), 2000);
    EXPECT_EQ(roundDistance(std::numeric_limits<std::int32_t>::max()), 2147483000);
}

TEST(ValueFormat, Duration) {
    EXPECT_EQ(formatDuration(3599), u"0:59");
    EXPECT_EQ(formatDuration(86400), u"24:00");
    EXPECT_EQ(formatDuration(0), u"0:00");
    EXPECT_EQ(formatDuration(3661), u"1:01");
    EXPECT_EQ(formatDuration(kNoDuration), u"");
    EXPECT_EQ(formatDuration(0xFFFFFFFE), u"1193046:28");
}

TEST(ValueFormat, Count) {
    const FakeMessages m;
    auto count = [&](std::uint32_t n) { return formatCount(n, m, "points_1", "points_2", "points_5"); };
    for (std::uint32_t n : {1u, 21u, 101u})
        EXPECT_EQ(count(n), format(u"%u точка", n)) << n;
    for (std::uint32_t n : {2u, 3u, 4u, 22u, 104u})
        EXPECT_EQ(count(n), format(u"%u точки", n)) << n;
    for (std::uint32_t n : {0u, 5u, 11u, 12u, 14u, 111u, 1000u, 4294967295u})
        EXPECT_EQ(count(n), format(u"%u точек", n)) << n;
    EXPECT_EQ(formatCount(3, m, "points_1", "missing", "points_5"), u"3 ");
}
