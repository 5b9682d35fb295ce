// Guidance driven along straight drawn routes: a car moved a fixed number of
// metres per frame, the events and the announcements recorded as they come.

#include "guidance/fdMapNavi.h"
#include "routing/ManoeuvreTypes.h"

#include "core/Config.h"
#include "map/Level.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <optional>

using namespace Guidance;
using Said = std::vector<std::uint32_t>; // remaining metres, then type and distance of each entry

namespace {

double radians(double degrees) { return degrees * std::numbers::pi / 180; }

// A route from (512, 1536) of level 0 (1 unit = 1 m) in one compass
// direction, cut into parts of 500 m; manoeuvres and route points sit on
// part boundaries.
struct Drive : fdMapNaviEventsHandler {
    explicit Drive(double headingDeg = 90.0, int afterPassStick = -1)
        : dx(std::sin(radians(headingDeg))), dy(std::cos(radians(headingDeg))), afterPassStick(afterPassStick) {}
    // The configuration guidance reads, with an after-pass stick distance
    // of its own when one is given.
    Core::ConfigNodePtr configured() {
        if (afterPassStick >= 0) config.root()->child("Navigation")->set("after_rot_pass_warn_stick_dist", afterPassStick);
        return config.root();
    }

    Map::LocalPoint at(double m) const { return {float(512 + dx * m), float(1536 + dy * m)}; }
    // manoeuvres: part index -> type; legEnds: parts followed by a route point.
    void build(int parts, std::map<int, std::uint32_t> manoeuvres = {}, std::vector<int> legEnds = {}) {
        path.points.push_back(town.point(at(0)));
        for (int i = 0; i < parts; ++i) {
            path.appendPart(town.part({at(500.0 * i), at(500.0 * (i + 1))}));
            path.parts.back().legIndex = path.legCount;
            path.parts.back().manoeuvre = manoeuvres[i];
            if (std::find(legEnds.begin(), legEnds.end(), i) != legEnds.end() || i + 1 == parts) {
                path.points.push_back(town.point(at(500.0 * (i + 1))));
                ++path.legCount;
            }
        }
        navi.setPath(&path);
    }
    Positioning::CarState car(double m, double headingDeg = 90.0) const {
        return {true, float(radians(headingDeg)), {Map::LevelFrame::of(town.level(0)), at(m).x, at(m).y}};
    }
    // A route through level points, manoeuvres[i] into the i-th part.
    void drawn(std::vector<Map::LocalPoint> corners, std::vector<std::uint32_t> manoeuvres) {
        path.points.push_back(town.point(corners.front()));
        for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
            path.appendPart(town.part({corners[i], corners[i + 1]}));
            path.parts.back().manoeuvre = manoeuvres.at(i);
        }
        path.points.push_back(town.point(corners.back()));
        path.legCount = 1;
        navi.setPath(&path);
    }
    Map::Point global(Map::LocalPoint p) const { return Map::LevelFrame::of(town.level(0)).toGlobal(p); }
    // The car on a road the tracker is sure of (4 m from the route are off).
    Positioning::CarState sureCar(Map::LocalPoint p, double headingDeg) const {
        return {true, float(radians(headingDeg)), {Map::LevelFrame::of(town.level(0)), p.x, p.y}, true, 0.9f};
    }
    // Starts at 0 and drives to `to`, one second and `speed` metres a frame.
    void run(double to, float speed) {
        navi.start(car(0), speed);
        for (metres = speed; metres <= to; metres += speed)
            navi.onPosition(car(metres), speed);
    }
    void onNaviEvent(int code, fdMapNavi& n, const std::uint32_t* passedType) override {
        events.push_back(code);
        eventMetres[code] = metres;
        if (code == Rotate) {
            std::vector<ManeuverEntry> list;
            n.maneuversToAnnounce(list);
            said.push_back({n.remainingDistance()});
            for (const ManeuverEntry& e : list)
                said.back().insert(said.back().end(), {e.type, e.distance});
        }
        if (code == RotateEnd && *passedType != RoundaboutNodeManoeuvre)
            for (int i = 0; i < rotateEnds; ++i) n.onRotateEnd();
    }
    int rotateEnds = 1; // calls of onRotateEnd a pass

    double dx, dy;
    int afterPassStick;
    RouteTest::RouteAtlas town;
    Path path;
    Core::Config config;
    std::vector<int> events;
    std::map<int, double> eventMetres; // the last time of each event
    std::vector<Said> said;
    double metres = 0;
    GuidanceTest::Clock clock;
    fdMapNavi navi{configured(), this, clock}; // reports into the members above while it goes
};

} // namespace

TEST(fdMapNavi, WarningsBeforeManoeuvres) {
    const struct {
        const char* name;
        int at; // the manoeuvre leads into the part after this many
        std::uint32_t type;
        float speed;
        std::vector<Said> expected;
        std::uint32_t next = 0; // the manoeuvre on the part after
        float finishAfter = 0;  // metres from the manoeuvre to the finish, 0 two parts on
    } rows[] = {
        // The time warning at 300 s x 15 m/s, then 550 (spoken as 500) and 40
        // (spoken without distance); the last warning of 0 m never fires.
        {"turn 6 km", 12, 1, 15, {{4485, 1, 4485}, {540, 1, 500}, {30, 1, 0}}},
        // Already inside the time warning: it is dropped without a word.
        {"turn 4 km", 8, 1, 15, {{535, 1, 500}, {25, 1, 0}}},
        {"roundabout exit", 1, 10, 3, {{2, 4, 0}}},
        // The last warning before entering names the way out the route
        // takes; a route that ends in the ring has none to name.
        {"roundabout entry", 1, 19, 3, {{17, 19, 0, 10, 0}}, 10},
        {"roundabout left past its ninth exit", 1, 19, 3, {{17, 19, 0, 4, 0}}, 4},
        {"roundabout ending the route", 1, 19, 3, {{17, 19, 0}}},
        // A road across a roundabout's node names whatever comes next.
        {"across a roundabout", 1, 3, 3, {{17, 3, 0, 1, 0}}, 1},
        // The finish 80 m after the turn is spoken with it.
        {"chained", 2, 17, 15, {{535, 17, 500, 21, 0}, {25, 17, 0, 21, 0}}, 0, 80},
        // Up to 100 m by default.
        {"chained at 100 m", 2, 17, 15, {{535, 17, 500, 21, 0}, {25, 17, 0, 21, 0}}, 0, 100},
        {"alone at 101 m", 2, 17, 15, {{535, 17, 500}, {25, 17, 0}}, 0, 101},
    };
    for (const auto& r : rows) {
        Drive d;
        const bool chained = r.finishAfter > 0;
        d.build(r.at + (chained ? 1 : 2), {{r.at, r.type}, {r.at + 1, r.next}});
        if (chained)
            d.path.parts.back().polylines[0].points.back().x -= 500 - r.finishAfter;
        d.run(500.0 * r.at, r.speed);
        EXPECT_EQ(d.said, r.expected) << r.name;
    }
}

TEST(fdMapNavi, RoutePointsAndAfterPassWarning) {
    Drive points;
    points.build(4, {}, {1});
    points.run(2000, 5);
    EXPECT_EQ(points.eventMetres[ArrivePoint], 990);
    EXPECT_EQ(points.eventMetres[ArriveLastPoint], 1990);
    EXPECT_EQ(points.navi.nextPoint(), nullptr);

    // Turns at 1000 m and 1400 m: past the first (at 1005 m, 395 m left) a
    // warning is put in at 395 - 90 m and spoken with that distance.
    // A pass told twice puts the warning in once, also where the second
    // would not stick to the first (50 m).
    for (const int rotateEnds : {1, 2}) {
        Drive d(90.0, rotateEnds == 2 ? 50 : -1);
        d.rotateEnds = rotateEnds;
        d.build(4, {{2, 1}, {3, 2}});
        d.path.parts[2].polylines[0].points.back().x -= 100;
        d.path.parts[3].polylines[0].points.front().x -= 100;
        d.path.parts[2].lengthMetres = 400;
        d.run(1010, 15);
        EXPECT_EQ(d.navi.warningCount(), 3u) << rotateEnds; // 550 m, 40 m and the after-pass warning
        for (d.metres = 1020; d.metres <= 1420; d.metres += 15) d.navi.onPosition(d.car(d.metres), 15);
        EXPECT_EQ(d.said, (std::vector<Said>{{535, 1, 500}, {25, 1, 0}, {290, 2, 305}, {35, 2, 0}})) << rotateEnds;
    }
}

TEST(fdMapNavi, BackwardMove) {
    // Without a course the car shown decides; with one, the course alone.
    const struct { double routeDeg, carDeg; float speed; bool raised; std::optional<float> course = {}; } rows[] = {
        {358.5, 1, 15, false}, // route heading 359: 2 degrees apart
        {90, 270, 15, true},   {90, 253, 15, true}, {90, 251, 15, false}, {90, 270, 5.0f, false}, {90, 270, 5.01f, true},
        {90, 90, 15, true, 270.0f}, {90, 90, 15, true, 181.0f}, {90, 90, 15, false, 180.0f}, {90, 270, 15, false, 90.0f}};
    for (const auto& r : rows) {
        Drive d(r.routeDeg);
        d.build(2);
        d.navi.setCourse(r.course);
        d.navi.start(d.car(100, r.carDeg), r.speed);
        d.navi.onPosition(d.car(100, r.carDeg), r.speed);
        EXPECT_EQ(std::count(d.events.begin(), d.events.end(), BackwardMove) == 2, r.raised)
            << r.routeDeg << " " << r.carDeg << " " << r.speed << " " << r.course.value_or(-1);
    }
}

TEST(fdMapNavi, EmptyRouteOffRouteAndBack) {
    // Off the roads beside the link from a route point to the place picked
    // for it, leaving the empty route is not reported.
    for (const bool nearPicked : {false, true}) {
        Drive empty;
        empty.path.points.push_back(empty.town.point(empty.at(0)));
        empty.path.points[0].pickedPoint.y += 200;
        empty.navi.setPath(&empty.path);
        Positioning::CarState car = empty.car(nearPicked ? -5 : -100);
        car.position.y += 100;
        empty.navi.start(car, 10);
        EXPECT_EQ(empty.events.size(), nearPicked ? 2u : 3u);
        EXPECT_EQ(empty.events.back(), nearPicked ? BadStart_EmptyPath : OutOfEmptyPath);
    }
    Drive d;
    d.build(2);
    d.navi.start(d.car(0), 10);
    Positioning::CarState away = d.car(100);
    away.position.y += 60;
    d.navi.onPosition(away, 10);
    d.navi.onPosition(d.car(110), 10);
    d.path.parts.clear();
    d.path.markChanged();
    d.navi.onPosition(d.car(120), 10);
    EXPECT_EQ(d.events, (std::vector<int>{Started, Start, OutOfPath, BackToPath, PathChanged_EmptyPath, OutOfEmptyPath}));
}

// Stopped guidance hears positions and route changes without a word.
TEST(fdMapNavi, StoppedGuidanceStaysSilent) {
    Drive d;
    d.build(2, {{0, 1}});
    d.navi.start(d.car(0), 10);
    d.navi.stop();
    const std::vector<int> before = d.events;
    EXPECT_EQ(before.back(), Stopped);
    Positioning::CarState away = d.car(100);
    away.position.y += 60;
    d.navi.onPosition(away, 10);
    for (double m = 300; m <= 1000; m += 100)
        d.navi.onPosition(d.car(m), 10);
    d.path.markChanged();
    d.navi.onPosition(away, 10);
    EXPECT_EQ(d.events, before);
}

// The route edited between steps ("To", "Then"): guidance handed out its
// place in parts that were gone, and the sensors' frame threw.
TEST(fdMapNavi, NoPlaceOnARouteThatWasEdited) {
    const auto onRoute = [](const PathPosition& at, const Path& path) {
        if (at.isAtEnd()) return at.path == &path || at.path == nullptr;
        const PathPart& part = path.parts.at(at.part);
        return at.path == &path && at.cursor.part == &part && at.cursor.polyline < part.polylines.size() &&
               at.cursor.segmentIndex + 1u < part.polylines[at.cursor.polyline].points.size();
    };
    for (const bool running : {true, false})
        for (const int edit : {0, 1, 2}) { // a leg appended, the start kept and a new leg, cleared
            Drive d;
            d.build(4, {{2, 1}});
            d.run(700, 10);
            if (!running) d.navi.stop();
            ASSERT_TRUE(onRoute(d.navi.position(), d.path));
            if (edit == 2) {
                d.path.clear();
            } else {
                edit == 0 ? d.path.parts.shrink_to_fit() : d.path.keepStartOnly();
                Path leg;
                leg.points = {d.path.points.back(), d.town.point(d.at(edit == 0 ? 2500 : 300))};
                leg.parts.push_back(d.town.part({d.at(edit == 0 ? 2000 : 0), d.at(edit == 0 ? 2500 : 300)}));
                leg.legCount = 1;
                d.path.appendPath(leg);
            }
            std::vector<ManeuverEntry> list;
            d.navi.maneuversToAnnounce(list);
            EXPECT_TRUE(!d.navi.positionKnown() && !d.navi.maneuverKnown() && list.empty()) << edit;
            running ? d.navi.onPosition(d.car(710), 10) : d.navi.start(d.car(710), 10);
            EXPECT_TRUE(d.navi.positionKnown() && onRoute(d.navi.position(), d.path) &&
                        onRoute(d.navi.maneuverPosition(), d.path))
                << edit;
        }
}

// The demo drive restarts its guidance without stopping it.
TEST(fdMapNavi, RestartsRegisterOnceAndLeaveNothingBehind) {
    Drive d;
    d.build(2);
    const std::size_t others = d.path.changeFlags.size(); // the other guidance's own
    {
        fdMapNavi demo(d.config.root(), &d);
        demo.setPath(&d.path);
        for (int i = 0; i < 3; ++i)
            demo.start(d.car(0), 10);
        EXPECT_EQ(d.path.changeFlags.size(), others + 1);
    }
    EXPECT_EQ(d.path.changeFlags.size(), others);
    EXPECT_EQ(d.path.watchers.size(), 1u); // the other guidance's own
    EXPECT_EQ(d.events.back(), Stopped);
}

TEST(fdMapNavi, DistancesToTheFinishAndFromTheStart) {
    const std::pair<double, std::uint32_t> rows[] = {{0, 1000}, {5, 995}, {500, 500}, {985, 15}, {1000, 0}};
    for (const auto& [at, left] : rows) {
        Drive d;
        d.build(2);
        d.navi.start(d.car(0), 5);
        d.navi.onPosition(d.car(at), 5);
        EXPECT_EQ(d.navi.distToFinish(), left) << at;
        EXPECT_EQ(d.navi.distFromStart(), at) << at;
    }
}

// Past a turn at 1000 m the next manoeuvre `gap` metres on gets the
// after-pass warning: 90 m after the pass, at 210 m when closer, none
// within 250 m of its own next warning. A roundabout exit has only its
// late warning, whatever the turn before left behind.
TEST(fdMapNavi, AfterPassWarningAndLateOnlyManoeuvres) {
    const struct {
        int gap;
        std::uint32_t second;
        std::vector<Said> expected;
        std::uint32_t third = 0; // the manoeuvre after the second
    } rows[] = {
        {400, 2, {{545, 1, 500}, {35, 1, 0}, {300, 2, 305}, {35, 2, 0}}},
        {300, 2, {{545, 1, 500}, {35, 1, 0}, {205, 2, 210}, {35, 2, 0}}},
        {280, 2, {{545, 1, 500}, {35, 1, 0}, {35, 2, 0}}},
        {400, 10, {{545, 1, 500}, {35, 1, 0}, {300, 4, 305}, {0, 4, 0}}},
        // Within a phrase's reach of the turn, the warning said on passing
        // it is the exit's or the roundabout's only one (the roundabout's
        // names its exit): they came twice a second or two apart.
        {60, 10, {{545, 1, 500, 10, 0}, {35, 1, 0, 10, 0}, {50, 4, 55}}},
        {60, 19, {{545, 1, 500, 19, 0}, {35, 1, 0, 19, 0}, {50, 19, 55, 10, 0}}, 10},
        // Farther than that (the late warning's metres and a phrase's
        // reach, 105 m and 120 m), the one said on passing and the late one
        // both come.
        {150, 10, {{545, 1, 500}, {35, 1, 0}, {140, 4, 145}, {0, 4, 0}}},
        {200, 19, {{545, 1, 500}, {35, 1, 0}, {190, 19, 195}, {15, 19, 0, 10, 0}}, 10},
    };
    for (const auto& r : rows) {
        Drive d;
        d.build(5, {{2, 1}, {3, r.second}, {4, r.third}});
        d.path.parts[2].polylines[0].points.back().x -= 500 - r.gap;
        d.path.parts[3].polylines[0].points.front().x -= 500 - r.gap;
        d.path.parts[2].lengthMetres = static_cast<std::uint16_t>(r.gap);
        d.run(1000 + r.gap + 20, 5);
        EXPECT_EQ(d.said, r.expected) << r.gap << " " << r.second;
    }
}

// A car that crawls (the time warning lies below the 550 m one) is next
// seen 30 m before a turn, fast, after a gap in the fixes: the time, 550 m
// and 40 m warnings are due in one step, and the last of them is said
// alone, once.
TEST(fdMapNavi, WarningsDueInOneStepAreSaidOnceAsTheLast) {
    Drive d;
    d.build(3, {{2, 1}});
    d.run(400, 1);
    d.metres = 970;
    d.navi.onPosition(d.car(970), 60);
    ASSERT_EQ(d.said, (std::vector<Said>{{30, 1, 0}}));
    for (d.metres = 971; d.metres <= 995; ++d.metres)
        d.navi.onPosition(d.car(d.metres), 1);
    EXPECT_EQ(d.said.size(), 1u);
}

// A fix far ahead on the route (beyond the ten seconds looked along) is
// found by the whole-route search: no leaving, and the distances follow.
TEST(fdMapNavi, AJumpAheadAlongTheRouteStaysOnIt) {
    Drive d;
    d.build(2);
    d.navi.start(d.car(0), 10);
    d.navi.onPosition(d.car(100), 10);
    d.navi.onPosition(d.car(700), 10);
    EXPECT_EQ(d.events, (std::vector<int>{Started, Start}));
    EXPECT_EQ(d.navi.distToFinish(), 300u);
    EXPECT_EQ(d.navi.distFromStart(), 700u);
}

// The time warning lies 300 s ahead at the speed: 4500 m at 15 m/s, raised
// the first time less than that is left.
TEST(fdMapNavi, TheTimeWarningFallsAtThreeHundredSeconds) {
    Drive d;
    d.build(14, {{12, 1}});
    d.navi.start(d.car(1), 15);
    for (double m = 16; m <= 1600 && d.said.empty(); m += 15)
        d.navi.onPosition(d.car(m), 15);
    EXPECT_EQ(d.said, (std::vector<Said>{{4499, 1, 4499}}));
}

// Standing 232 m before a turn, guidance starts with no warning due (the
// time warning is 0 m at 0 m/s); moving off, the time warning and the 550 m
// warning are due together and one speaks for both: with the distance
// there is, not the 500 m the far warning stands for.
TEST(fdMapNavi, MovingOffSaysTheRealDistance) {
    // Where the car stands (the turn at 1000 m) and the distance spoken:
    // inside 500 m the real one; between 500 and 550 m the far warning's
    // round 500; inside the last warning none.
    const struct { double standAt; int spoken; } rows[] = {{768, -1}, {891, -1}, {470, 500}, {985, 0}};
    for (const auto& r : rows) {
        Drive d;
        d.build(3, {{2, 2}});
        d.metres = r.standAt;
        d.navi.start(d.car(r.standAt), 0);
        for (int i = 0; i < 3; ++i) d.navi.onPosition(d.car(r.standAt), 0);
        EXPECT_TRUE(d.said.empty()) << r.standAt;
        for (d.metres = r.standAt + 5; d.metres < r.standAt + 20; d.metres += 5) d.navi.onPosition(d.car(d.metres), 5);
        ASSERT_FALSE(d.said.empty()) << r.standAt;
        const std::uint32_t left = d.said.front()[0];
        EXPECT_EQ(d.said.front(), (Said{left, 2, r.spoken < 0 ? left : std::uint32_t(r.spoken)})) << r.standAt;
    }
}

// Past a right-angle turn or a roundabout the lagging course and the car
// shown point back along the road the car came by: that is not driving
// against the route. Turned round 150 m on it is, also where the route turns.
TEST(fdMapNavi, TurningWithTheRouteIsNotDrivingAgainstIt) {
    const struct {
        double turn, courseSlip; // degrees right; the lagging course this far left of the first road
    } rows[] = {{94, 0}, {80, 15}, {135, 0}};
    for (const auto& r : rows) {
        Drive d;
        const double second = 90 + r.turn;
        const auto along = [&](double m) {
            return m <= 500 ? d.at(m)
                            : Map::LocalPoint{float(d.at(500).x + std::sin(radians(second)) * (m - 500)),
                                              float(d.at(500).y + std::cos(radians(second)) * (m - 500))};
        };
        d.drawn({along(0), along(500), along(1000)}, {0, 2});
        d.navi.setCourse(90);
        d.navi.start(d.sureCar(along(400), 90), 12);
        for (d.metres = 401.2; d.metres < 650; d.metres += 1.2) {
            d.clock.ticks += 100;
            const bool lagging = d.metres > 500 && d.metres < 530; // shown turned round
            d.navi.setCourse(float(lagging ? 90 - r.courseSlip : d.metres > 500 ? second : 90));
            d.navi.onPosition(d.sureCar(along(d.metres), lagging          ? second + 180
                                                         : d.metres > 500 ? second
                                                                          : 90),
                              12);
        }
        EXPECT_EQ(std::count(d.events.begin(), d.events.end(), BackwardMove), 0) << r.turn;
        int nearTurn = 0; // steps raising it on the 30 m before the turn
        for (d.metres = 650; d.metres > 470; d.metres -= 1.2) {
            d.clock.ticks += 100;
            const double heading = d.metres > 500 ? second + 180 : 270;
            d.navi.setCourse(float(heading));
            const std::size_t before = d.events.size();
            d.navi.onPosition(d.sureCar(along(d.metres), heading), 12);
            nearTurn += d.metres > 500 && d.metres < 530 && d.events.size() > before &&
                        d.events.back() == BackwardMove;
        }
        EXPECT_GT(nearTurn, 10) << r.turn;
        EXPECT_LT(d.eventMetres[BackwardMove], 480) << r.turn;
    }
}

// A hairpin's way back 10 m beside the way out: the car, snapped onto it
// near the bend, stays on the leg it drives and passes no turn.
TEST(fdMapNavi, AHairpinsOtherLegHoldsNotTheCar) {
    Drive d;
    const auto back = [](double m) { return Map::LocalPoint{float(912 - m), 1546.0f}; };
    d.drawn({d.at(0), d.at(400), back(0), back(400)}, {0, 2, 2});
    d.navi.start(d.sureCar(d.at(300), 90), 12);
    for (double m = 301.2; m < 398; m += 1.2) {
        d.clock.ticks += 100;
        d.navi.onPosition(d.sureCar(m < 360 ? d.at(m) : back(400 - m), 90), 12); // snapped onto the way back
    }
    EXPECT_EQ(std::count(d.events.begin(), d.events.end(), RotateEnd), 0);
    EXPECT_EQ(d.navi.position().part, 0u);
    EXPECT_FALSE(d.navi.outOfPath());
}

// A roundabout's last warning distance (20 m in, 5 m out) is not left to an
// ordinary turn after it, whose last warning is the 40 m one.
TEST(fdMapNavi, AnOrdinaryTurnAfterARoundaboutHasNoRoundaboutWarning) {
    for (const auto& manoeuvres : {std::map<int, std::uint32_t>{{1, 19}, {2, 9}, {3, 1}}, {{1, 3}, {2, 1}}}) {
        Drive d;
        d.build(5, manoeuvres);
        d.run(500.0 * manoeuvres.rbegin()->first + 100, 3);
        const auto last =
            std::find_if(d.said.rbegin(), d.said.rend(), [](const Said& s) { return s[1] == 1; });
        ASSERT_NE(last, d.said.rend());
        EXPECT_TRUE((*last)[0] >= 30 && (*last)[0] < 40) << (*last)[0];
    }
}

// A new route on to a junction 60 m ahead and back past the car: found half
// a metre behind the start, a car going the route's way is at the start, not
// on the way back; one driving the way back past the start is on the way
// back, not driving against the route. The receiver's course, where known,
// is the car's way.
TEST(fdMapNavi, ARouteBackPastItsStartHasTheCarWhereItGoes) {
    const struct {
        double heading;
        std::optional<float> course;
        std::size_t part;
    } rows[] = {{90, {}, 0}, {270, {}, 1}, {90, 270.0f, 1}, {270, 90.0f, 0}};
    for (const auto& r : rows) {
        Drive d;
        d.drawn({d.at(0), d.at(60), d.at(-300)}, {0, 7});
        const double way = r.course.value_or(float(r.heading)) == 90 ? 1 : -1;
        d.navi.setCourse(r.course);
        d.navi.start(d.sureCar(d.at(-0.5), r.heading), 10);
        for (double m = 0.5; m < 20; m += 1) {
            d.clock.ticks += 100;
            d.navi.onPosition(d.sureCar(d.at(way * m), r.heading), 10);
        }
        EXPECT_EQ(d.events, (std::vector<int>{Started, Start})) << r.heading << " " << r.course.value_or(-1);
        EXPECT_EQ(d.navi.position().part, r.part) << r.heading << " " << r.course.value_or(-1);
    }
}

// A phrase outside the warnings named the turn 100 m ahead (the start, a new
// route) while the car drives some metres: the warnings due by its end are
// spent, the 40 m one among them once the phrase reaches past it.
TEST(fdMapNavi, AnAnnouncementSpendsTheWarningsDueWhileItPlays) {
    const std::pair<std::uint32_t, std::vector<Said>> rows[] = {
        {0, {{35, 1, 0}}}, {50, {{35, 1, 0}}}, {70, {}}};
    for (const auto& [spoken, said] : rows) {
        Drive d;
        d.build(3, {{1, 1}});
        d.navi.start(d.car(400), 10);
        d.navi.maneuverAnnounced(spoken);
        for (d.metres = 405; d.metres < 520; d.metres += 5) d.navi.onPosition(d.car(d.metres), 10);
        EXPECT_EQ(d.said, said) << spoken;
    }
}


// The tracker alone holds a car that a fix put back, carrying it on from
// where it was shown: guidance follows the car it is handed and never runs
// ahead of it. It crept on at a quarter of the speed as well, past the car,
// so that two layers made up the same lag.
TEST(fdMapNavi, GuidanceNeverRunsAheadOfTheCarItIsHanded) {
    Drive d;
    d.drawn({d.at(0), d.at(100), d.at(200), d.at(300), d.at(310), d.at(320), d.at(330), d.at(1000)},
            {0, 0, 0, 0, 0, 0, 0});
    d.run(300, 10);
    const std::uint32_t at = d.navi.distFromStart();
    for (int frame = 0; frame < 20; ++frame) {
        d.clock.ticks += 100;
        d.navi.onPosition(d.car(296 + 0.2 * frame), 10.0f);
        EXPECT_LE(d.navi.distFromStart(), at) << frame;
    }
}

// A car that creeps at 0.83 m/s for a minute whose speed reads 0 (its
// receiver tells none below what its fixes show): guidance's place goes
// with it, its fix told or not. Looked for as far ahead as ten seconds at
// that speed, none, it stood at the end of the segment it started on.
TEST(fdMapNavi, ACreepingCarWhoseSpeedReadsNoneMovesOn) {
    for (const bool fixTold : {false, true}) {
        SCOPED_TRACE(fixTold ? "its fix told" : "no fix");
        // One part of segments 5 m long.
        Drive d;
        std::vector<Map::LocalPoint> corners;
        for (double m = 0; m <= 200; m += 5) corners.push_back(d.at(m));
        d.path.points.push_back(d.town.point(corners.front()));
        d.path.appendPart(d.town.part(corners));
        d.path.points.push_back(d.town.point(corners.back()));
        d.path.legCount = 1;
        d.navi.setPath(&d.path);
        if (fixTold) d.navi.setMeasuredFix(d.global(d.at(0)), 15.0f);
        d.navi.start(d.car(0), 0);
        for (int s = 1; s <= 60; ++s) {
            d.clock.ticks += 1000;
            if (fixTold) d.navi.setMeasuredFix(d.global(d.at(0.83 * s)), 15.0f);
            d.navi.onPosition(d.car(0.83 * s), 0);
        }
        EXPECT_NEAR(d.navi.distFromStart(), 50u, 1u);
        EXPECT_EQ(d.events, (std::vector<int>{Started, Start}));
    }
}

// A receiver that scatters by 15 m on each axis (HDOP 4.2: 63 m of
// scatter) put a car that stopped 30 m short of the finish there for as
// long as it stood: it never arrived. It arrives standing within its
// scatter of the finish, along the route and from its fix, its fix no
// farther than 20 m, whatever its HDOP (with a scatter of 63 m, or one of
// 300 m from HDOP 20, a car that stood 55 m short arrived there); not moving,
// not with a fix farther off, not beyond a good receiver's 13.5 m, not at
// a route point on the way, and not at the start of a route shorter than
// its scatter.
TEST(fdMapNavi, ACarStandingWithinItsFixsScatterOfTheFinishArrives) {
    const struct {
        const char* what;
        double length, stands, fixAlong, fixNorth;
        float scatter, speed;
        bool arrives;
        bool viaPoint = false;
    } rows[] = {
        {"18 m short", 1000, 982, 981, 0, 63, 0, true},
        {"18 m short, its fix 21 m short", 1000, 982, 979, 0, 63, 0, false},
        {"21 m short, its fix 18 m short", 1000, 979, 982, 0, 63, 0, true},
        {"30 m short", 1000, 970, 960, 0, 63, 0, false},
        {"55 m short, HDOP 20", 1000, 945, 945, 0, 300, 0, false},
        {"a good receiver", 1000, 970, 960, 0, 13.5f, 0, false},
        {"a good receiver, 13 m short", 1000, 987, 987, 0, 13.5f, 0, true},
        {"moving", 1000, 970, 960, 0, 63, 5, false},
        {"its fix 70 m off the finish", 1000, 970, 1000, 70, 63, 0, false},
        {"short of a route point", 2000, 970, 960, 0, 63, 0, false, true},
        {"a route of 50 m", 50, 0, 0, 0, 63, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Drive d;
        if (row.viaPoint) d.build(4, {}, {1});
        else d.drawn({d.at(0), d.at(row.length)}, {0});
        d.navi.setMeasuredFix(d.global(d.at(0)), row.scatter);
        d.navi.start(d.car(0), 10);
        // A fix a second at 10 m/s.
        for (d.metres = 10; d.metres < row.stands; d.metres += 10) {
            d.clock.ticks += 1000;
            d.navi.setMeasuredFix(d.global(d.at(d.metres)), row.scatter);
            d.navi.onPosition(d.car(d.metres), 10);
        }
        const Map::LocalPoint fix = d.at(row.fixAlong);
        d.navi.setMeasuredFix(d.global({fix.x, float(fix.y + row.fixNorth)}), row.scatter);
        for (int s = 0; s < 3; ++s)
            d.navi.onPosition(d.car(row.stands), row.speed);
        // (The handler stops guidance at the finish.)
        EXPECT_EQ(std::count(d.events.begin(), d.events.end(), ArriveLastPoint) > 0, row.arrives);
        EXPECT_EQ(std::count(d.events.begin(), d.events.end(), ArrivePoint), 0);
    }
}

// East 500 m, then on at 200 degrees (a sharp right; 250, a hairpin), in
// parts of `step` metres. The receiver's course is where it measured its
// fix; guidance's place, a fix's scatter along the road away, lies on
// another stretch of the route, at the end of a segment 500 m long (the
// route was looked along no further than that segment's end), or 100 m past
// the turn (looked along 50 m each way): the course goes with the stretch
// that passes the fix within its scatter, and without a course the heading
// of the car shown (the tracker put it on the hairpin's other leg). A good
// receiver's fix 100 m back, or one 80 m beside the route, tells a car
// driving against it.
TEST(fdMapNavi, ACourseAlongTheRouteWithinTheFixsScatterIsNotAgainstIt) {
    const struct {
        double step, turn, car;
        std::optional<float> course;
        double shown, fixAlong, fixAside;
        float scatter;
        bool raised;
    } rows[] = {{500, 200, 470, 200.0f, 90, 520, 0, 30, false},   {10, 200, 600, 90.0f, 200, 495, 0, 63, false},
                {10, 200, 600, 90.0f, 200, 495, 0, 13.5f, true},  {500, 200, 470, 200.0f, 90, 520, 80, 30, true},
                {10, 250, 600, {}, 70, 495, 0, 63, false},        {10, 250, 600, {}, 70, 495, 0, 13.5f, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.car << " m, course " << row.course.value_or(-1) << ", shown "
                                        << row.shown << ", scatter " << row.scatter);
        Drive d;
        const double second = radians(row.turn);
        const auto along = [&](double m, double aside = 0) {
            const double x = m <= 500 ? 512 + m : 1012 + std::sin(second) * (m - 500);
            const double y = m <= 500 ? 1536 : 1536 + std::cos(second) * (m - 500);
            return Map::LocalPoint{float(x), float(y + aside)};
        };
        std::vector<Map::LocalPoint> corners;
        for (double m = 0; m <= 1000; m += row.step) corners.push_back(along(m));
        d.drawn(corners, std::vector<std::uint32_t>(corners.size() - 1, 0));
        d.navi.setCourse(row.course);
        d.navi.setMeasuredFix(d.global(along(row.fixAlong, row.fixAside)), row.scatter);
        const Positioning::CarState car = d.sureCar(along(row.car), row.shown);
        d.navi.start(car, 12);
        d.clock.ticks += 100;
        d.navi.onPosition(car, 12);
        EXPECT_EQ(std::count(d.events.begin(), d.events.end(), BackwardMove) > 0, row.raised);
    }
}
