#include "userdata/PackedTrack.h"
#include "userdata/TrackCollector.h"

#include <gtest/gtest.h>

#include <thread>

using Monitoring::CollectedPoint;
using Monitoring::TrackCollector;

namespace {

// A fix at 2010-12-09 13:05:00 plus `second` seconds, at x = 1000 + second.
Positioning::Fix fixAt(int second) {
    Positioning::Fix fix;
    fix.dateTime = {
        9, 12, 2010, 13, static_cast<std::uint8_t>(5 + second / 60), static_cast<std::uint8_t>(second % 60),
        0};
    fix.x = 1000 + second;
    fix.y = -7;
    return fix;
}

std::vector<std::uint8_t> segmentStarts(const TrackCollector& c) {
    std::vector<std::uint8_t> out;
    for (const CollectedPoint& p : c.points())
        out.push_back(p.segmentStart);
    return out;
}

} // namespace

TEST(TrackCollector, KeepsTheNewest100AndMarksGapsAndExchanges) {
    TrackCollector c;
    Map::Point last{3, 4};
    EXPECT_FALSE(c.getLastPoint(last));
    EXPECT_EQ(last, (Map::Point{3, 4})) << "an empty collector leaves the output alone";

    for (int s = 0; s < 150; ++s)
        c.onFix(true, fixAt(s));
    std::vector<std::uint8_t> packed;
    Map::GeoPoint position;
    c.pack(packed, position);
    EXPECT_EQ(packed.size(), 100 * Monitoring::PackedTrack::RecordSize);
    EXPECT_EQ(c.points().front().x, 1050);
    ASSERT_TRUE(c.getLastPoint(last));
    EXPECT_EQ(last, (Map::Point{1149, -7}));

    // An unbroken track keeps its newest point, as a segment start, and
    // takes the next fix even when its clock went back.
    c.reset();
    c.onFix(true, fixAt(10));
    c.onFix(true, fixAt(9));  // older than the last kept: dropped
    c.onFix(true, fixAt(10)); // the same second: kept
    c.onFix(false, fixAt(11));
    c.onFix(true, fixAt(12));
    EXPECT_EQ(segmentStarts(c), (std::vector<std::uint8_t>{1, 0, 0, 1}));
    EXPECT_EQ(c.points().front().x, 1149);

    // After a gap the sent points go; the next point starts a segment.
    c.onFix(false, fixAt(13));
    c.reset();
    EXPECT_EQ(c.count(), 0u);
    c.onFix(true, fixAt(14));
    EXPECT_EQ(segmentStarts(c), (std::vector<std::uint8_t>{1}));

    // Fixes without a date (a receiver that sends GGA alone) are recorded
    // after an exchange too.
    c.reset();
    Positioning::Fix dateless;
    dateless.x = 5;
    c.onFix(true, dateless);
    c.onFix(true, dateless);
    EXPECT_EQ(segmentStarts(c), (std::vector<std::uint8_t>{1, 0, 0}));
    EXPECT_EQ(c.points().back().x, 5);
}

TEST(TrackCollector, AReceivedChunkIsStoredOnce) {
    const std::vector<CollectedPoint> chunk{{1, 100, 5, 6, 0, 0, 0}, {0, 110, 7, 8, 0, 0, 0}};
    const std::vector<std::uint8_t> packed = Monitoring::PackedTrack::pack(chunk);
    TrackCollector c;
    c.appendPacked(packed);
    c.appendPacked(packed);
    EXPECT_EQ(c.points(), chunk);
    const std::vector<CollectedPoint> next{{1, 120, 9, 9, 0, 0, 0}};
    c.appendPacked(Monitoring::PackedTrack::pack(next));
    c.appendPacked(packed); // no longer at the end: a new piece of track
    EXPECT_EQ(segmentStarts(c), (std::vector<std::uint8_t>{1, 0, 1, 1, 0}));
    c.appendPacked({});
    EXPECT_EQ(c.count(), 5u);
}

// Run under ThreadSanitizer: the GPS thread's fixes, valid or not, meet the
// daemon's packing and the interface's reads.
TEST(TrackCollector, FixesMeetExchangesAcrossThreads) {
    TrackCollector c;
    std::thread gps([&] {
        for (int s = 0; s < 2000; ++s)
            c.onFix(s % 3 != 0, fixAt(s % 60));
    });
    std::vector<std::uint8_t> packed;
    Map::GeoPoint position;
    Map::Point last;
    for (int i = 0; i < 200; ++i) {
        c.packAndReset(packed, position);
        c.getLastPoint(last);
        EXPECT_LE(packed.size(), TrackCollector::Capacity * Monitoring::PackedTrack::RecordSize);
    }
    gps.join();
}
