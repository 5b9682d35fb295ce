#include "positioning/Fix.h"

#include "NmeaTestSupport.h"
#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

// A fix's time is UTC as the receiver sent it; turning it into Unix seconds
// must not depend on the machine's time zone.
TEST(Fix, TimeOfAFixConvertsToTheSameSecondsInEveryTimeZone) {
    for (const char* zone : {"UTC", "Pacific/Auckland", "America/New_York", "Asia/Kolkata"}) {
        SCOPED_TRACE(zone);
        const TestSupport::TimeZone scope(zone);
        PositioningTest::ReplaySystem rig;
        Positioning::System& system = rig.system;
        system.enable(nullptr);
        rig.replay->feed(
            PositioningTest::line("GPRMC,030719.000,A,3747.0873,S,17518.8938,E,0.69,181.39,311214,,,A") +
            PositioningTest::line("GPGGA,030720.000,3747.0875,S,17518.8938,E,1,08,1.1,59.8,M,23.7,M,,0000"));
        Positioning::Fix fix;
        ASSERT_TRUE(system.getFix(fix));
        EXPECT_EQ(Positioning::toUnixTime(fix.dateTime), 1419995240u);
        EXPECT_EQ(Positioning::fromUnixTime(1419995240), (Positioning::DateTime{31, 12, 2014, 3, 7, 20, 0}));
        // Before any RMC the fix has no date, which is no time at all.
        EXPECT_EQ(Positioning::toUnixTime(Positioning::DateTime{0, 0, 0, 3, 7, 20, 0}), 0u);
    }
}
