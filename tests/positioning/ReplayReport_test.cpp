#include "positioning/ReplayReport.h"

#include "NmeaTestSupport.h"

#include <gtest/gtest.h>

using PositioningTest::line;

TEST(ReplayReport, OneLinePerFixAndTheLastSkyView) {
    const std::string recording =
        "# Name: a receiver\n" +
        // No fix yet: nothing of one is known.
        line("GPGGA,030718.00,,,,,0,00,,,M,,M,,") +
        // The first fix 60 m north of the others, and a second before them:
        // farther, the gate before the listeners would keep the others out
        // as a jump no vehicle makes.
        line("GPGGA,030719.50,4807.0705,N,01131.0000,W,1,08,1.1,59.9,M,23.7,M,,0000") +
        line("GPRMC,030719.50,A,4807.0705,N,01131.0000,W,10.0,181.39,311214,,,A") +
        line("GPGSA,A,3,17,28,06,,,,,,,,,,1.8,1.1,1.5") +
        line("GPGSV,2,1,05,1,10,100,11,2,20,200,22,3,30,300,33,4,40,40,44") +
        line("GPGSV,2,2,05,5,50,50,55") + "#GPGGA comment that looks like data\n" + "garbage\r\n" +
        line("GPGGA,030720.00,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,") +
        line("GPGGA,030721.00,,,,,0,00,,,M,,M,,") +
        line("GPGGA,030722.050,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,") +
        line("GPRMC,030723.050,A,4807.038,N,01131.000,W,10.0,181.39,311214,,,A") +
        // Noise in front of a sentence ends the line before it.
        "\x01\xFF" + line("GPGGA,030724.5,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,") + line("GPGSV,3,1,12") +
        // Six decimals: the five that 16 bits hold.
        line("GPGGA,030725.500000,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(Positioning::replayReport(recording),
              "time\tvalid\tlatitude\tlongitude\taltitude\tspeed\theading\thdop\tvdop\n"
              "-\t0\t-\t-\t-\t-\t-\t-\t-\n"
              // A time of day before the first date.
              "03:07:19.50Z\t1\t48.1178398\t-11.5166664\t59.9\t0.000\t0.00\t1.10\t0.00\n"
              "2014-12-31T03:07:20Z\t1\t48.1172981\t-11.5166664\t545.4\t5.140\t181.39\t0.90\t1.50\n"
              "2014-12-31T03:07:20Z\t0\t48.1172981\t-11.5166664\t545.4\t5.140\t181.39\t0.90\t1.50\n"
              // Leading zeros of the decimals are kept; an RMC that opens an
              // epoch tells its own time.
              "2014-12-31T03:07:22.050Z\t1\t48.1172981\t-11.5166664\t545.4\t5.140\t181.39\t0.90\t1.50\n"
              "2014-12-31T03:07:23.050Z\t1\t48.1172981\t-11.5166664\t545.4\t5.140\t181.39\t0.90\t1.50\n"
              "2014-12-31T03:07:24.5Z\t1\t48.1172981\t-11.5166664\t545.4\t5.140\t181.39\t0.90\t1.50\n"
              "2014-12-31T03:07:25.50000Z\t1\t48.1172981\t-11.5166664\t545.4\t5.140\t181.39\t0.90\t1.50\n"
              "satellites\t5\n");
    EXPECT_EQ(Positioning::replayReport(""),
              "time\tvalid\tlatitude\tlongitude\taltitude\tspeed\theading\thdop\tvdop\n"
              "satellites\t0\n");
}
