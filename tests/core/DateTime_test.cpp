#include "core/DateTime.h"

#include <gtest/gtest.h>

using Positioning::DateTime;

TEST(DateTime, UnixTimeConversions) {
    DateTime t{1, 1, 1970, 0, 0, 0, 999};
    EXPECT_EQ(Positioning::toUnixTime(t), 0u);
    EXPECT_EQ(Positioning::toUnixTime(DateTime{15, 12, 2010, 0, 0, 0, 0}), 1292371200u);
    EXPECT_EQ(Positioning::toUnixTime(DateTime{15, 12, 2010, 0, 0, 0, 1234}), 1292371200u);
    EXPECT_EQ(Positioning::toUnixTime(DateTime{29, 2, 2024, 23, 59, 59, 0}), 1709251199u);
    // No date: 0, whatever the time of day.
    EXPECT_EQ(Positioning::toUnixTime(DateTime{0, 0, 0, 12, 0, 0, 0}), 0u);
    EXPECT_EQ(Positioning::toUnixTime(DateTime{30, 2, 2023, 0, 0, 0, 0}), 0u);

    EXPECT_EQ(Positioning::fromUnixTime(0), (DateTime{1, 1, 1970, 0, 0, 0, 0}));
    EXPECT_EQ(Positioning::fromUnixTime(1292371200), (DateTime{15, 12, 2010, 0, 0, 0, 0}));
    EXPECT_EQ(Positioning::fromUnixTime(-1), (DateTime{31, 12, 1969, 23, 59, 59, 0}));
    DateTime r;
    Positioning::fromUnixTime64((std::int64_t{7} << 32) | 86400, &r);
    EXPECT_EQ(r, (DateTime{2, 1, 1970, 0, 0, 0, 0}));
    for (std::int32_t s : {1, 59, 951782400, 2147483647}) // round trips, 2000-02-29 among them
        EXPECT_EQ(Positioning::toUnixTime(Positioning::fromUnixTime(s)), static_cast<std::uint64_t>(s));
}

TEST(DateTime, LocalTimeIsAPlausibleCalendarTime) {
    const DateTime t = Positioning::localDateTime();
    EXPECT_GE(t.year, 2020);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_NE(Positioning::toUnixTime(t), 0u);
}
