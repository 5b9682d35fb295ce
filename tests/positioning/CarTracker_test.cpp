// The car tracker over the demo town, and the GPS thread meeting the frame.

#include "positioning/CarTracker.h"

#include "core/Config.h"
#include "map/FloatMath.h"
#include "map/UnitsPerMeter.h"
#include "positioning/NmeaDevice.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/TrackerFeed.h"
#include "tests/map/AtlasFixture.h"
#include "tests/positioning/NmeaTestSupport.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

using namespace Positioning;

namespace {

struct FakeClock : Clock {
    std::atomic<std::uint32_t> ticks{100000};
    std::uint32_t ticksMs() const override { return ticks.load(); }
    DateTime localTime() const override { return {}; }
};

struct Events : CarEventsHandler {
    std::atomic<int> backToRoad{0};
    void onCarEvent(int code, CarTracker*) override {
        if (code == BackToRoad) ++backToRoad;
    }
};

Fix gpsFix(double east, double north, float heading, float speed, float hdop = 1.0f) {
    const auto [x, y] = DemoAtlas::globalOf(east, north);
    Fix fix;
    fix.x = static_cast<std::int32_t>(x);
    fix.y = static_cast<std::int32_t>(y);
    fix.heading = heading;
    fix.courseKnown = true;
    fix.speed = speed;
    fix.hdop = hdop;
    return fix;
}

// A tracker over an atlas, with an injected clock.
struct Rig {
    explicit Rig(const std::filesystem::path& folder, bool useStick = true) {
        atlas = setup.makeAtlas();
        EXPECT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(folder))));
        auto car = config.root()->child("Car");
        car->set("use_stick", useStick);
        tracker = std::make_unique<CarTracker>(&events, car, clock);
        tracker->setAtlas(atlas.get());
    }
    void fix(const Fix& f) { tracker->onFix(TrackerFix::from(f)); }
    // Frames every `step` ms for `ms` ms, the first one now.
    void frames(std::uint32_t ms, std::uint32_t step = 100) {
        for (std::uint32_t t = 0; t < ms; t += step) {
            tracker->update();
            clock.ticks += step;
        }
    }
    std::u16string street(const CarState& state) {
        std::u16string name;
        if (state.onRoad) atlas->mapAt(state.mapIndex)->stringsReader().string(state.caption, name);
        return name;
    }
    // Metres from a demo-town place to the car.
    double metresFrom(double east, double north) {
        const Map::Point car = tracker->carPoint().toGlobal();
        const auto [x, y] = DemoAtlas::globalOf(east, north);
        return std::hypot(static_cast<double>(car.x) - x, static_cast<double>(car.y) - y) / DemoAtlas::unitsPerMetre();
    }

    AtlasTest::AtlasSetup setup;
    std::unique_ptr<Map::KVAtlas> atlas;
    Core::Config config;
    FakeClock clock;
    Events events;
    std::unique_ptr<CarTracker> tracker;
};

const std::filesystem::path Town = MIREL_DEMO_ATLAS_DIR;

float degrees(const CarState& s) { return s.heading / 0.017453292f; }

TEST(CarTracker, SnapsToTheStreetAndReportsTheReturnOnce) {
    Rig rig(Town);
    rig.tracker->update(); // no data: nothing
    EXPECT_FALSE(rig.tracker->carState().valid);
    // An empty dilution of precision (0) after the reset of the first fix
    // leaves the filter nothing to weigh: the car stays finite.
    for (int i = 0; i < 3; ++i) {
        rig.fix(gpsFix(-300 + 12 * i, 6, 90, 12, i == 0 ? 1.0f : 0.0f));
        rig.frames(1000);
        const CarState state = rig.tracker->carState();
        ASSERT_TRUE(state.valid && state.onRoad);
        EXPECT_EQ(rig.street(state), u"Main Street");
        EXPECT_TRUE(state.probability > 0.5f && state.probability <= 1.0f);
        EXPECT_NEAR(degrees(state), 90.0f, 0.01f);
        EXPECT_TRUE(std::isfinite(state.position.x) && std::isfinite(state.position.y));
        EXPECT_LT(rig.metresFrom(-289.2 + 12 * i, 0), 0.5); // predicted 0.9 s on, snapped onto the street
    }
    EXPECT_EQ(rig.events.backToRoad, 1);
    const RoadInfo info = rig.tracker->roadInfo();
    EXPECT_TRUE(info.onRoad && info.alongHeading && !info.againstHeading);
    EXPECT_EQ(info.polylineId, rig.tracker->carState().polylineId);
    EXPECT_FALSE(rig.tracker->isAlongHeading(270));
    EXPECT_TRUE(rig.tracker->isAgainstHeading(181));
}

TEST(CarTracker, StatesDifferBeyondHalfAPixelOrTwoHundredthsOfARadian) {
    CarState a;
    a.valid = true;
    a.heading = 6.27f; // across north from b
    CarState b = a;
    b.heading = 0.0f;
    EXPECT_FALSE(CarState::differs(a, b, 1.0f)); // 0.0132 rad apart
    b.position.x = 1.0f; // one global unit
    EXPECT_FALSE(CarState::differs(a, b, 0.49f));
    EXPECT_TRUE(CarState::differs(a, b, 0.5f)); // half a pixel
    b = a;
    b.heading = 6.30f;
    EXPECT_TRUE(CarState::differs(a, b, 1.0f));
    b.heading = a.heading;
    b.valid = false;
    EXPECT_TRUE(CarState::differs(a, b, 1.0f));
}

TEST(CarTracker, TurnsNinetyDegreesInOnePointEightSeconds) {
    // Standing (0.5 m/s) on Park Avenue, which runs north, facing east: the
    // road's two directions are equally far from the shown heading and the
    // reverse (south) wins the tie.
    Rig rig(Town);
    rig.fix(gpsFix(-500, -300, 90, 0.5f));
    rig.frames(1700);
    EXPECT_EQ(rig.street(rig.tracker->carState()), u"Park Avenue");
    for (const float expected : {175.0f, 180.0f, 180.0f}) {
        rig.frames(100);
        EXPECT_NEAR(degrees(rig.tracker->carState()), expected, 0.01f);
    }
}

TEST(CarTracker, StopsSnappingThreeSecondsAfterTheLastFix) {
    for (const bool useStick : {true, false}) {
        SCOPED_TRACE(useStick);
        Rig rig(Town, useStick);
        rig.fix(gpsFix(-400, 0, 90, 10));
        rig.frames(1000);
        rig.fix(gpsFix(-390, 0, 90, 10));
        rig.frames(2000);
        const TilePoint early = rig.tracker->carPoint();
        rig.frames(1000); // the last frame 2900 ms after the fix
        rig.frames(200);  // 3000, then 3100 ms
        const CarState stale = rig.tracker->carState();
        EXPECT_EQ(stale.onRoad, useStick);
        EXPECT_NE(rig.tracker->carPoint(), early);
        rig.frames(2000);
        const CarState later = rig.tracker->carState();
        if (useStick) {
            // Snapped point and heading stay.
            EXPECT_EQ(later.position, stale.position);
            EXPECT_EQ(later.heading, stale.heading);
        } else {
            // A free car goes on along the filter's velocity: 2 s at 10 m/s east.
            const double moved = (later.position.toGlobal().x - stale.position.toGlobal().x) / DemoAtlas::unitsPerMetre();
            EXPECT_NEAR(moved, 20.0, 1.0);
            // In the frame of the town map's most detailed level.
            EXPECT_TRUE(later.position.frame == Map::LevelFrame::of(rig.atlas->findMapById(1)->level(0)));
        }
    }
}

// A loop around the town's centre at 12 m/s, one fix a second with up to
// 10 m of noise on each axis: Park Avenue north, Mill Lane east (one-way),
// River Road south, Church Street west (one-way).
TEST(CarTracker, NoisyDriveSnapsToTheDrivenStreet) {
    const unsigned seed = std::getenv("MIREL_SEED") ? std::atoi(std::getenv("MIREL_SEED")) : 2026u;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-10.0, 10.0);
    struct Leg {
        const char16_t* street;
        double x0, y0, x1, y1;
    };
    const Leg legs[] = {{u"Park Avenue", -500, -500, -500, 500},
                        {u"Mill Lane", -500, 500, 500, 500},
                        {u"River Road", 500, 500, 500, -500},
                        {u"Church Street", 500, -500, -500, -500}};
    Rig rig(Town);
    int right = 0, total = 0;
    for (const Leg& leg : legs) {
        const double ux = (leg.x1 - leg.x0) / 1000, uy = (leg.y1 - leg.y0) / 1000; // every leg is 1000 m
        const float along[2] = {static_cast<float>(ux), static_cast<float>(uy)};
        const auto heading = static_cast<float>(Map::headingDegrees(along));
        for (double d = 0; d < 1000; d += 12) {
            rig.fix(gpsFix(leg.x0 + ux * d + noise(random), leg.y0 + uy * d + noise(random), heading, 12));
            rig.frames(1000, 200);
            ++total;
            right += rig.street(rig.tracker->carState()) == leg.street;
        }
    }
    const double share = 100.0 * right / total;
    std::cout << "noisy drive (seed " << seed << "): " << right << " of " << total << " fixes on the driven street ("
              << share << " %)\n";
    EXPECT_GE(share, 95.0);
}

// A map of a few roads in one cell, one level unit a metre (256 global
// units): the cell's corner lies at level (1024, 1024) of a grid whose
// origin cell is (100, 200).
struct RoadsRig {
    explicit RoadsRig(const std::vector<MapWriting::Polyline>& roads) : RoadsRig(std::vector<MapWriting::Cell>{cellOf(1, roads)}) {}
    // Cells of the same row: (x, 1), the rig's (0, 0) at the corner of (1, 1).
    static MapWriting::Cell cellOf(int x, const std::vector<MapWriting::Polyline>& roads) {
        MapWriting::Cell cell;
        cell.x = x;
        cell.y = 1;
        cell.polylines = roads;
        return cell;
    }
    explicit RoadsRig(const std::vector<MapWriting::Cell>& cells) {
        MapWriting::MapDescription map = AtlasTest::completeMap(1, 0);
        map.levels[0].cells = cells;
        map.roads = {};
        MapWriting::writeMapFile(writer.folder("roads") / "roads.kvm", map);
        rig = std::make_unique<Rig>(writer.folder("roads"));
    }
    static Map::Point global(double x, double y) {
        return {static_cast<std::int32_t>((102400 + 1024 + x) * 256),
                static_cast<std::int32_t>((204800 + 1024 + y) * 256)};
    }
    // A fix as the map events handler hands it on: measured at (x, y), moved
    // ahead along its heading by `latency` seconds; without a course (the
    // heading then 0) not moved, with no velocity.
    void fix(double x, double y, float heading, float speed, float latency, bool courseKnown = true,
             float accuracy = 1.0f, bool stray = false) {
        const float h = heading * 0.017453292f;
        const float v = courseKnown ? speed : 0.0f;
        TrackerFix fix;
        fix.measured = global(x, y);
        fix.point = global(x + std::sin(h) * v * latency, y + std::cos(h) * v * latency);
        fix.velocity = {std::sin(h) * v * 256, std::cos(h) * v * 256};
        fix.courseKnown = courseKnown;
        fix.heading = heading;
        fix.speed = speed;
        fix.accuracy = accuracy;
        fix.unitsPerMetre = 256;
        fix.stray = stray;
        rig->tracker->onFix(fix);
    }
    std::uint32_t road() { return rig->tracker->carState().polylineId; }

    AtlasTest::AtlasSetup writer;
    std::unique_ptr<Rig> rig;
};

// A boulevard bends right by 90 degrees; just past the bend, straight on, a
// side street begins. The last fix before the bend, moved 18 m ahead by
// the receiver's latency, lands beside the side street: the car stays on
// the boulevard, whose road the measured point lies on. A first fix there
// is drawn as far along the boulevard as the latency carries the car, round
// the bend: the point moved ahead on a straight line lies beyond the bend's
// outside, and its foot is the bend's corner.
TEST(CarTracker, TheRoadIsChosenWhereTheFixWasMeasured) {
    const std::vector<MapWriting::Polyline> boulevard = {
        {0, 6, false, 0, {{200, 500}, {500, 500}, {500, 300}}}, {0, 6, false, 1, {{512, 506}, {600, 506}}}};
    RoadsRig roads(boulevard);
    for (const double x : {470.0, 482.0, 494.0}) {
        SCOPED_TRACE(x);
        roads.fix(x, 500, 90, 12, 1.5f);
        for (int frame = 0; frame < 10; ++frame) {
            roads.rig->frames(100);
            EXPECT_EQ(roads.road(), 0u);
        }
    }
    const struct { double x, drawnX, drawnY; } firsts[] = {{470, 488, 500}, {494, 500, 488}};
    for (const auto& first : firsts) {
        SCOPED_TRACE(testing::Message() << "a first fix at " << first.x);
        RoadsRig fresh(boulevard);
        fresh.fix(first.x, 500, 90, 12, 1.5f);
        fresh.rig->frames(100);
        const Map::Point car = fresh.rig->tracker->carPoint().toGlobal();
        EXPECT_NEAR(car.x / 256.0 - 102400 - 1024, first.drawnX, 0.3);
        EXPECT_NEAR(car.y / 256.0 - 204800 - 1024, first.drawnY, 0.3);
    }
}

// A receiver's scatter is what its HDOP tells, up to 64 m, and what its
// fixes show once the car has driven 10 s: three times their spread about
// the road on either axis, no less than a good receiver's 15 m or the
// HDOP's, whichever is less. A receiver that says HDOP 20 in a street, its
// fixes on the road, is held to 15 m; one that says HDOP 2 while its fixes
// stray 12 m to either side gets their 51 m, and no more than 64 m however
// far they stray (18 m to one side of a dual carriageway drawn as one line
// showed 76 m). A standing car's fixes show nothing, nor does a fix on the
// road the car is drawn on that its course (told late, as at a corner)
// matched to a road beside.
TEST(CarTracker, AScatterIsNoMoreThanTheFixesShow) {
    const struct {
        const char* what;
        float hdop, speed;
        double aside; // metres, to either side in turn
        int seconds;
        float scatter;
        bool oneSide = false;
        // Metres to a road beside, whose every piece runs 18 degrees off
        // north, where every other fix's course is told north: the match
        // takes that road for those fixes.
        std::uint32_t beside = 0;
    } rows[] = {
        {"HDOP 20, on the road, 8 s", 20, 12, 0, 8, 64},
        {"HDOP 20, on the road, 30 s", 20, 12, 0, 30, 15},
        {"HDOP 20, 12 m to either side", 20, 12, 12, 30, 50.91f},
        {"HDOP 2, 12 m to either side", 2, 12, 12, 30, 50.91f},
        {"HDOP 0.5, on the road, 30 s", 0.5f, 12, 0, 30, 7.5f},
        {"HDOP 20, standing 12 m to either side", 20, 0, 12, 30, 64},
        {"HDOP 1, 18 m to one side", 1, 12, 18, 30, 64, true},
        {"HDOP 2, 20 m to either side", 2, 12, 20, 30, 64},
        {"HDOP 1, on the road, every other course matched 12 m beside", 1, 12, 0, 30, 15, false, 12},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<MapWriting::Polyline> lines{{0, 6, false, 0, {{0, 500}, {1000, 500}}}};
        if (row.beside > 0) {
            lines.push_back({0, 6, false, 1, {}});
            for (std::uint32_t i = 0; i <= 150; ++i)
                lines.back().points.push_back({4 * i, 500 + row.beside + (i % 2 ? 12 : 0)});
        }
        RoadsRig roads(lines);
        for (int s = 0; s < row.seconds; ++s) {
            roads.fix(100 + row.speed * s, 500 + (s % 2 || row.oneSide ? row.aside : -row.aside),
                      row.beside > 0 && s % 2 ? 0 : 90, row.speed, 0.0f, true, row.hdop);
            roads.rig->frames(1000);
        }
        EXPECT_NEAR(roads.rig->tracker->scatterMetres(row.hdop), row.scatter, 0.5f);
    }
}

// A car moves east with no course from its receiver (heading 0): measured
// 5 m from an east-west street and 7 m from a north-south one, it is on the
// nearer street; its heading of 0 is not north, where the other street runs.
// With a course the street along it is taken.
TEST(CarTracker, ACarWithoutACourseIsMatchedByDistanceAlone) {
    for (const bool courseKnown : {false, true}) {
        SCOPED_TRACE(courseKnown ? "course 90" : "no course");
        RoadsRig roads({{0, 6, false, 0, {{200, 500}, {600, 500}}}, {0, 6, false, 1, {{407, 300}, {407, 700}}}});
        roads.fix(400, 505, courseKnown ? 90.0f : 0.0f, 8, 1.5f, courseKnown);
        roads.rig->frames(100);
        EXPECT_EQ(roads.road(), 0u);
        // Heading north with its course: the north-south street.
        roads.fix(400, 505, 0.0f, 8, 0.0f, courseKnown);
        roads.rig->frames(100);
        EXPECT_EQ(roads.road(), courseKnown ? 1u : 0u);
    }
}

// A car drives east at 10 m/s, a fix a second, its speed and course from
// the fixes; one fix lies 30 m north on a street alongside, its course the
// way to it from the last. Judged a stray, it moves nothing: the car goes
// on along its street within a metre of where it drives. Not judged one, it
// is a turn, and the car is taken to the other street. From a receiver of
// GGA alone at 11 m/s along Main Street, one fix 35 m north, 5 m from Park
// Avenue: the device judges it a stray, and the car stays on Main Street.
TEST(CarTracker, AFixJudgedAStrayIsNotFollowed) {
    for (const bool stray : {true, false}) {
        SCOPED_TRACE(stray ? "a stray" : "no stray");
        RoadsRig roads(
            {{0, 6, false, 0, {{100, 500}, {900, 500}}}, {0, 6, false, 1, {{100, 530}, {900, 530}}}});
        for (int s = 0; s < 6; ++s) {
            roads.fix(200 + 10 * s, 500, 90, 10, 1.5f);
            roads.rig->frames(1000, 50);
        }
        roads.fix(260, 530, static_cast<float>(std::atan2(10.0, 30.0) * 180 / 3.14159265), 10, 1.5f, true,
                  1.0f, stray);
        double worst = 0.0;
        for (int frame = 0; frame < 20; ++frame) {
            roads.rig->frames(50, 50);
            const Map::Point car = roads.rig->tracker->carPoint().toGlobal();
            worst = std::max(worst, std::hypot(car.x / 256.0 - 102400 - 1024 - (275 + 0.5 * frame),
                                               car.y / 256.0 - 204800 - 1024 - 500));
        }
        EXPECT_EQ(roads.road(), stray ? 0u : 1u);
        if (stray) {
            EXPECT_LT(worst, 1.0);
        }
    }
    Rig rig(Town);
    CarStateLock lock;
    TrackerFeed feed(*rig.tracker, lock);
    auto port = std::make_unique<ReplayPortSystem>();
    ReplayPortSystem& replay = *port;
    NmeaDevice device(u"", 0, &feed, std::move(port), rig.clock);
    device.enable(true, nullptr);
    for (int s = -15; s <= 5; ++s) {
        const auto [x, y] = DemoAtlas::globalOf(-505 + 11.0 * s, s == 0 ? 35 : 0);
        const Map::Point at{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
        // After the stray the receiver sends its speed and course (RMC): no
        // fix of it is a stray.
        replay.feed(PositioningTest::epoch(s > 0 ? PositioningTest::Receiver::RmcFirst
                                                 : PositioningTest::Receiver::GgaOnly,
                                           s + 100, at, 11, 90));
        for (int frame = 0; frame < 20; ++frame) {
            rig.frames(50, 50);
            if (s < 0) continue;
            EXPECT_EQ(rig.street(rig.tracker->carState()), u"Main Street") << s << " s, frame " << frame;
            EXPECT_LT(rig.metresFrom(-505 + 11.0 * s + 0.55 * frame, 0), 3.0) << s << " s, frame " << frame;
        }
    }
}

// A car that drove to the end of a dead-end road and stands there, a
// street across 15 m beyond the end: it is at its road's end, not on the
// street.
TEST(CarTracker, ACarAtItsRoadsEndStaysOnIt) {
    RoadsRig roads({{0, 6, false, 0, {{100, 500}, {300, 500}}}, {0, 6, false, 1, {{315, 400}, {315, 600}}}});
    for (double x = 200; x <= 300; x += 10) {
        roads.fix(x, 500, 90, 10, 0.0f);
        roads.rig->frames(1000);
    }
    for (int second = 0; second < 5; ++second) {
        roads.fix(300, 500, 90, 0.0f, 0.0f);
        for (int frame = 0; frame < 10; ++frame) {
            roads.rig->frames(100);
            EXPECT_EQ(roads.road(), 0u) << second << " s standing, frame " << frame;
        }
    }
}

// Two streets side by side 10 m apart. A car that drove along the southern
// one stops, its fixes scattered to 5.5 m north of it, half a metre nearer
// the other street: standing, the street the car is on weighs 0.15 less in
// the match (`old_polyline_arrt`), so the car stays on it. Moving, the
// nearer street is taken.
TEST(CarTracker, AStandingCarKeepsItsStreetAgainstANearerOne) {
    RoadsRig roads({{0, 6, false, 0, {{100, 500}, {600, 500}}}, {0, 6, false, 1, {{100, 510}, {600, 510}}}});
    for (double x = 300; x < 350; x += 10) {
        roads.fix(x, 500, 90, 10, 0.0f);
        roads.rig->frames(1000);
    }
    ASSERT_EQ(roads.road(), 0u);
    for (int second = 0; second < 5; ++second) {
        roads.fix(350, 505.5, 90, 0.5f, 0.0f);
        roads.rig->frames(1000);
        EXPECT_EQ(roads.road(), 0u) << second << " s standing";
    }
    roads.fix(360, 505.5, 90, 10, 0.0f);
    roads.rig->frames(100);
    EXPECT_EQ(roads.road(), 1u);
}

// Three streets end to end: a long one, a 15 m piece, another long one. A
// car at 50 km/h stops where the first ends; it was drawn a latency and a
// second of driving ahead of its fix, alongside the third street. Standing,
// every fix matches the first street again (the one matched last weighs
// less), and the car goes back to where it stands, a little at each fix,
// never forward again: favouring the street it was drawn on instead moved
// it between the piece's end and the third street at every fix.
TEST(CarTracker, AStoppedCarGoesBackToWhereItStandsWhereStreetsMeet) {
    RoadsRig roads({{0, 6, false, 0, {{0, 500}, {300, 500}}},
                    {0, 6, false, 1, {{300, 500}, {315, 500}}},
                    {0, 6, false, 2, {{315, 500}, {600, 500}}}});
    for (double x = 104; x <= 300; x += 14) {
        roads.fix(x, 500, 90, 14, 1.5f);
        roads.rig->frames(1000, 50);
    }
    std::vector<double> stood;
    for (int second = 0; second < 12; ++second) {
        roads.fix(300, 500, 90, 0, 1.5f);
        roads.rig->frames(1000, 50);
        stood.push_back(roads.rig->tracker->carPoint().toGlobal().x / 256.0 - 102400 - 1024);
    }
    EXPECT_GT(stood[0], 305.0) << "drawn past where it stopped";
    for (std::size_t i = 1; i < stood.size(); ++i)
        EXPECT_LE(stood[i], stood[i - 1] + 0.01) << "moved on at the standing fix " << i;
    EXPECT_NEAR(stood.back(), 300.0, 1.0);
}

// Two streets cross; a car drives east along one at 10 m/s and stops short
// of the crossing, then stands 40 s in a receiver's scatter with speed 0
// and no course (as the fixes tell a standing car), or with the speeds up to
// a metre a second at a course drawn at random that many receivers send a
// standing car, then sets off east at 8 m/s, its motion seen from the
// second fix on. Once it stood 7 s the car drawn stands still (no frame
// that moves it half a pixel at 12 pixels a metre, none that turns it; in
// 8 m of wandering scatter a step or two), on its street; setting off, it
// is drawn where it drives, within the scatter, from the first moving fix
// on.
TEST(CarTracker, AStandingCarIsHeldStillInScatterAndSetsOffFromItsFix) {
    const struct {
        const char* what;
        int hz;
        double metres;
        bool fresh;
        float hdop;
        double short_; // of the crossing, metres
        int movedFrames;
        // Metres the car drawn may lie, setting off, from where it is or,
        // in a wandering scatter, from where its fixes put it (they lie
        // that far off for half a minute): no more than a driver takes for
        // the same place.
        double offAtMost;
        float standingSpeed = 0.0f; // the most the receiver sends standing (m/s)
    } rows[] = {
        {"3.5 m drawn afresh, 1 Hz", 1, 3.5, true, 1.0f, 8, 2, 10},
        {"3.5 m drawn afresh, 10 Hz", 10, 3.5, true, 1.0f, 8, 1, 8},
        {"8 m wandering, HDOP 0.9, 1 Hz", 1, 8.0, false, 0.9f, 30, 3, 10},
        {"8 m wandering, HDOP 0.9, 10 Hz", 10, 8.0, false, 0.9f, 30, 3, 10},
        {"3.5 m drawn afresh, 1 Hz, speeds up to 0.5 m/s", 1, 3.5, true, 1.0f, 8, 2, 10, 0.5f},
        {"8 m wandering, HDOP 0.9, 10 Hz, speeds up to 0.95 m/s", 10, 8.0, false, 0.9f, 30, 3, 10, 0.95f},
    };
    for (const auto& row : rows) {
        for (unsigned seed = 0; seed < 4; ++seed) {
            SCOPED_TRACE(testing::Message() << row.what << ", seed " << seed);
            std::mt19937 random(seed);
            std::normal_distribution<double> gauss(0.0, 1.0);
            double east = gauss(random) * row.metres, north = gauss(random) * row.metres;
            const auto scatter = [&] {
                const double keep = row.fresh ? 0.0 : std::exp(-1.0 / row.hz / 30.0);
                const double spread = row.metres * std::sqrt(1.0 - keep * keep);
                east = keep * east + gauss(random) * spread;
                north = keep * north + gauss(random) * spread;
            };
            RoadsRig roads({{0, 6, false, 0, {{100, 500}, {600, 500}}}, {0, 6, false, 1, {{400, 300}, {400, 700}}}});
            Rig& rig = *roads.rig;
            const double stop = 400 - row.short_;
            for (double x = stop - 100; x <= stop; x += 10) {
                roads.fix(x, 500, 90, 10, 1.5f);
                rig.frames(1000, 50);
            }
            CarState drawn = rig.tracker->carState();
            int moved = 0;
            std::mt19937 told(seed);
            std::uniform_real_distribution<float> share(0.0f, 1.0f);
            for (int i = 0; i < 40 * row.hz; ++i) {
                scatter();
                const float speed = row.standingSpeed * share(told), course = 360.0f * share(told);
                roads.fix(stop + east, 500 + north, speed > 0.0f ? course : 0.0f, speed, 1.5f, speed > 0.0f,
                          row.hdop);
                for (int frame = 0; frame < 20 / row.hz; ++frame) {
                    rig.frames(50, 50);
                    const CarState now = rig.tracker->carState();
                    if (i >= 7 * row.hz && CarState::differs(now, drawn, 12.0f / 256)) ++moved;
                    drawn = now;
                }
            }
            EXPECT_LE(moved, row.movedFrames);
            EXPECT_EQ(roads.road(), 0u);
            // Off again east, the motion told from 2 s on, each fix measured
            // 1.5 s before it comes and moved ahead by that latency, as the
            // map events handler does.
            double worst = 0.0;
            for (int i = 2 * row.hz; i < 8 * row.hz; ++i) {
                scatter();
                const double seconds = static_cast<double>(i) / row.hz;
                roads.fix(stop + 8.0 * (seconds - 1.5) + east, 500 + north, 90, 8, 1.5f, true, row.hdop);
                for (int frame = 0; frame < 20 / row.hz; ++frame) {
                    rig.frames(50, 50);
                    const double at = stop + 8.0 * (seconds + frame * 0.05);
                    const double x = rig.tracker->carPoint().toGlobal().x / 256.0 - 102400 - 1024;
                    worst = std::max(worst, std::fabs(x - at - (row.fresh ? 0.0 : east)));
                }
            }
            EXPECT_LT(worst, row.offAtMost);
        }
    }
}

// A car that drove east along a road, stood 5 or 60 s and creeps on at
// 0.8 m/s for a minute (below min_speed, as in a queue), its fixes exact,
// from a receiver that sends that speed and from one that sends none: the
// car drawn on its road keeps within 5 m of its fixes throughout (behind a
// hold that took the creep for scatter it fell 29 m behind).
TEST(CarTracker, ACreepingCarIsDrawnWithItsFixes) {
    const struct {
        int standSeconds, hz;
        bool speedSent;
    } rows[] = {{5, 1, true}, {60, 1, true}, {5, 1, false}, {60, 1, false}, {5, 10, false}, {60, 10, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "stood " << row.standSeconds << " s, " << row.hz << " Hz"
                                        << (row.speedSent ? ", speed sent" : ""));
        RoadsRig roads({{0, 6, false, 0, {{100, 500}, {1000, 500}}}});
        for (double x = 200; x <= 300; x += 10) {
            roads.fix(x, 500, 90, 10, 1.5f);
            roads.rig->frames(1000, 50);
        }
        double worst = 0.0;
        for (int i = 0; i < (row.standSeconds + 60) * row.hz; ++i) {
            const double seconds = static_cast<double>(i) / row.hz;
            const double crept = std::max(0.0, 0.8 * (seconds - row.standSeconds));
            const float speed = crept > 0.0 && row.speedSent ? 0.8f : 0.0f;
            roads.fix(300 + crept, 500, 90, speed, 1.5f, row.speedSent);
            roads.rig->frames(1000 / row.hz, 50);
            const double x = roads.rig->tracker->carPoint().toGlobal().x / 256.0 - 102400 - 1024;
            if (seconds >= 3.0) worst = std::max(worst, std::fabs(x - 300 - crept));
        }
        EXPECT_LT(worst, 5.0);
        EXPECT_EQ(roads.road(), 0u);
    }
}

// A one-way carriageway runs east and ends in a hook that turns back to
// where the other carriageway, two-way, begins 20 m south of it and runs
// west. A prediction that drifts sideways (a GPS heading turned toward the
// south, as in a bend) comes nearer the other carriageway, or the hook's
// end, than the part of the road the car drives on: the car keeps to that
// part; its shown heading is the one-way road's own direction, whatever
// the GPS heading.
TEST(CarTracker, KeepsToThePartOfTheMatchedRoadItDrivesOn) {
    struct Row {
        double x;
        float heading;
        float speed;
        std::uint32_t ms;
        double expectedX; // of the snapped point, on the first carriageway
    };
    // The last frame comes (ms - 100) after the fix: the prediction has
    // moved speed x that time along the heading, and the car as far along
    // its road, the way the heading keeps to.
    const Row rows[] = {
        // predicted 10.2 m south of the first carriageway, 9.8 m from the second
        {400, 135, 12, 1300, 400 + 12 * 1.2},
        // predicted nearer the second carriageway than the first
        {580, 135, 12, 1600, 580 + 12 * 1.5},
        // the GPS heading points back (more than 60 degrees across the
        // road): carried back, shown east all the same
        {400, 200, 2, 2500, 400 - 2 * 2.4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.x);
        RoadsRig roads({{0, 6, true, 0, {{200, 500}, {600, 500}, {615, 495}, {615, 485}, {600, 480}}},
                        {0, 6, false, 1, {{600, 480}, {200, 480}}}});
        roads.fix(row.x, 500, row.heading, row.speed, 0.0f);
        roads.rig->frames(row.ms);
        const CarState state = roads.rig->tracker->carState();
        ASSERT_TRUE(state.onRoad);
        EXPECT_EQ(roads.road(), 0u);
        const Map::Point car = state.position.toGlobal();
        EXPECT_NEAR(car.x / 256.0 - 102400 - 1024, row.expectedX, 0.3);
        EXPECT_NEAR(car.y / 256.0 - 204800 - 1024, 500.0, 0.3);
        EXPECT_NEAR(degrees(state), 90.0f, 0.01f);
    }
}

// A street ends at a fork 30 m ahead of the measured fix: the car, drawn
// 18 m further on, runs past the street's end onto one of the fork's roads
// before a fix is measured there. The street is certain (the only road near
// the fix); the fork's road, which did not score, is not: guidance then
// keeps its wide margin instead of finding the car metres off a route that
// takes the other branch.
TEST(CarTracker, ARoadBeyondTheMatchedOneIsOnlyAsSureAsItScored) {
    RoadsRig roads({{0, 6, false, 0, {{200, 500}, {500, 500}}},
                    {0, 6, false, 1, {{500, 500}, {600, 560}}},
                    {0, 6, false, 2, {{500, 500}, {500, 600}}}});
    roads.fix(470, 500, 90, 12, 1.5f);
    roads.rig->frames(100);
    EXPECT_EQ(roads.road(), 0u);
    EXPECT_EQ(roads.rig->tracker->carState().probability, 1.0f);
    roads.rig->frames(1300); // drawn 3.6 m past the street's end
    const CarState past = roads.rig->tracker->carState();
    ASSERT_TRUE(past.onRoad);
    EXPECT_NE(past.polylineId, 0u);
    EXPECT_EQ(past.probability, 0.0f);
}

// Driving west, the car leaves a road at the border of its cell, where the
// next road begins. The next fix is measured past the border, so far that
// the cells around it no longer hold the old road, while the filter still
// draws the car a few metres before the border: the old road, which the
// new one continues, stays a candidate and the car stays on it until it
// reaches the new one, instead of jumping to the new road's end.
TEST(CarTracker, TheOldRoadStaysACandidateWhereTheNewOneContinuesIt) {
    RoadsRig roads({RoadsRig::cellOf(1, {{0, 6, false, 1, {{1024, 500}, {600, 500}}}}),
                    RoadsRig::cellOf(2, {{0, 6, false, 0, {{500, 500}, {0, 500}}}})});
    roads.rig->tracker->setUseStick(true, 10);
    roads.fix(1048, 500, 270, 12, 0.0f);
    roads.rig->frames(1000);
    EXPECT_EQ(roads.road(), 0u);
    // 18 m past the border, 30 m ahead of the car drawn: a fix of a
    // dilution of 2, whose errors the filter's 30 m lie within.
    roads.fix(1006, 500, 270, 12, 0.0f, true, 2.0f);
    roads.rig->frames(100);
    CarState state = roads.rig->tracker->carState();
    ASSERT_TRUE(state.onRoad);
    EXPECT_EQ(roads.road(), 0u);
    EXPECT_GT(state.position.toGlobal().x / 256.0 - 102400 - 1024, 1024.0);
    roads.rig->frames(1500);
    EXPECT_EQ(roads.road(), 1u);
}

// A drive at 20 and 30 km/h through a hairpin and right onto another road,
// a fix a second or ten (its course the chord since the last), twenty
// frames a second: between fixes the filter predicts on a straight line,
// the car still goes on along the road at every frame, never back (at 10
// Hz it went 3 m back in the hairpin), never standing 300 ms, within 2.5 m
// of where it drives (each fix measured a latency before; a filter fed the
// points moved ahead by it lay 3 to 9 m off); with a road straight on where
// the drive turns, it takes the route's turn.
TEST(CarTracker, GoesOnAlongItsRoadThroughBendsBetweenFixes) {
    const std::vector<Map::LocalPoint> way = {{200, 500}, {300, 500}, {306, 502}, {309, 507},
                                              {308, 512}, {303, 515}, {150, 515}, {150, 650}};
    const MapWriting::Polyline hairpin{
        0, 6, false, 0, {{100, 500}, {300, 500}, {306, 502}, {309, 507}, {308, 512}, {303, 515}, {150, 515}}};
    const auto segment = [&](std::size_t i) {
        return std::hypot(way[i + 1].x - way[i].x, way[i + 1].y - way[i].y);
    };
    double length = 0;
    for (std::size_t i = 0; i + 1 < way.size(); ++i)
        length += segment(i);
    const auto along = [&](double metres) {
        std::size_t i = 0;
        for (; i + 2 < way.size() && metres > segment(i); ++i)
            metres -= segment(i);
        const float t = static_cast<float>(std::min(metres / segment(i), 1.0));
        return Map::LocalPoint{way[i].x + (way[i + 1].x - way[i].x) * t,
                               way[i].y + (way[i + 1].y - way[i].y) * t};
    };
    // How far along the way the nearest point of the way to (x, y) lies.
    const auto progress = [&](double x, double y) {
        double best = INFINITY, at = 0, start = 0;
        for (std::size_t i = 0; i + 1 < way.size(); start += segment(i++)) {
            const double dx = way[i + 1].x - way[i].x, dy = way[i + 1].y - way[i].y, l = segment(i);
            const double t = std::clamp(((x - way[i].x) * dx + (y - way[i].y) * dy) / (l * l), 0.0, 1.0);
            const double d = std::hypot(way[i].x + t * dx - x, way[i].y + t * dy - y);
            if (d < best) best = d, at = start + t * l;
        }
        return at;
    };
    const struct {
        float speed;
        bool withStraightOn;
        int hz;
    } rows[] = {{5.5f, false, 1}, {8.3f, false, 1}, {7.0f, true, 1}, {5.5f, false, 10}, {8.3f, false, 10}};
    for (const auto& [speed, withStraightOn, hz] : rows) {
        SCOPED_TRACE(testing::Message()
                     << speed << " m/s, " << hz << " Hz" << (withStraightOn ? ", a road straight on" : ""));
        std::vector<MapWriting::Polyline> roads = {hairpin, {0, 6, false, 1, {{150, 515}, {150, 700}}}};
        if (withStraightOn) roads.push_back({0, 6, false, 2, {{150, 515}, {50, 515}}});
        RoadsRig rig(roads);
        if (withStraightOn) rig.rig->tracker->setRouteRoads({{0, 0, true}, {0, 1, true}});
        Map::LocalPoint last = along(0);
        double previous = -1;
        int standing = 0, worst = 0;
        double off = 0.0;
        for (int k = 0; k * speed < length * hz; ++k) {
            const double second = static_cast<double>(k) / hz;
            const Map::LocalPoint p = along(second * speed);
            const float chord[2] = {p.x - last.x, p.y - last.y};
            rig.fix(p.x, p.y, k == 0 ? 90.0f : static_cast<float>(Map::headingDegrees(chord)), speed, 1.5f);
            last = p;
            for (int frame = 0; frame < 20 / hz; ++frame) {
                rig.rig->frames(50, 50);
                const CarState car = rig.rig->tracker->carState();
                ASSERT_TRUE(car.onRoad) << second << " s";
                const Map::Point g = car.position.toGlobal();
                const double now = progress(g.x / 256.0 - 102400 - 1024, g.y / 256.0 - 204800 - 1024);
                if (second < 2) continue; // the filter settles
                const double there = (second + 1.5 + frame * 0.05) * speed;
                if (there < length - 1) off = std::max(off, std::fabs(now - there));
                EXPECT_GT(now, previous - 0.01) << second << " s, frame " << frame << ": back along the way";
                standing = now - previous < 0.005 && now < length - 0.5 ? standing + 1 : 0;
                worst = std::max(worst, standing);
                previous = now;
            }
        }
        EXPECT_GT(previous, length - 2 * speed) << "the car did not come up the road at the end";
        EXPECT_LT(worst, 6) << "stood for " << worst * 50 << " ms";
        EXPECT_LT(off, 2.5) << "from where the car is";
        // Up the road the route takes, when a route was told: no lead over it.
        EXPECT_EQ(rig.rig->tracker->onRouteRoad(), withStraightOn);
        if (withStraightOn) {
            EXPECT_FALSE(rig.rig->tracker->leadOverRoute().has_value());
        }
    }
}

TEST(CarTracker, GpsThreadAndFramesShareTheCarUnderTheLock) {
    Rig rig(Town);
    CarStateLock lock;
    TrackerFeed feed(*rig.tracker, lock);

    // Both units taken (an atlas switch): the fix is skipped, as an invalid one always is.
    lock.takeAll();
    feed.onFix(true, gpsFix(-300, 0, 90, 10));
    lock.releaseAll();
    feed.onFix(false, gpsFix(-300, 0, 90, 10));
    rig.frames(100);
    EXPECT_FALSE(rig.tracker->carState().valid);

    // The two units let both sides in at once, so the tracker's own mutex is
    // what keeps them apart: the threads meet here without the semaphore
    // (whose posts and waits would order them for a race detector).
    std::atomic<bool> done{false};
    std::thread gps([&] {
        for (int i = 0; i < 200; ++i)
            rig.fix(gpsFix(-1000 + 2.0 * i, 0, 90, 20));
        done = true;
    });
    while (!done)
        rig.frames(10, 10);
    gps.join();
    rig.frames(100);
    EXPECT_EQ(rig.street(rig.tracker->carState()), u"Main Street");
}

} // namespace
