// The map events handler over the demo town: a car driven along Main Street
// by GPS fixes, guidance started, stepped and spoken, the route left and
// rebuilt; the two-unit lock met by a GPS thread and an atlas switch.

#include "guidance/KVMapEventsHandler.h"

#include "core/Config.h"
#include "guidance/RouteSimulator.h"
#include "guidance/Sensors.h"
#include "guidance/SoundMixer.h"
#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "positioning/SerialPortSystem.h"
#include "positioning/System.h"
#include "render/RenderStyles.h"
#include "routing/RouteComputation.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/routing/RouteFixture.h"
#include "tests/map/AtlasFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TempDir.h"
#include "tools/demo-atlas/DemoAtlas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>
#include <random>
#include <thread>

namespace Guidance {
namespace {

const std::filesystem::path Town = MIREL_DEMO_ATLAS_DIR;

// The words of every manoeuvre type, as the sound table's ids: typed out
// here rather than asked of the voice, so a wrong word in either shows.
const Phrase ManoeuvreWords[] = {
    {},           {5, 65},      {5, 64},      {60, 62, 63}, {61},     {61, 64},     {61, 65},     {70},
    {74, 61},     {75, 61},     {76, 61},     {77, 61},     {78, 61}, {79, 61},     {80, 61},     {81, 61},
    {82, 61},     {85, 87},     {85, 88},     {60, 62, 63}, {9},      {89},         {65, 62, 91}, {64, 62, 91},
    {92, 62, 91}, {65, 96, 91}, {64, 96, 91}, {92, 96, 91}, {65, 97}, {64, 97},     {92, 97},     {65, 98},
    {64, 98},     {92, 98},
};

// Each type's words at distance 0 (the words alone), and with 300 m before
// or after them; a type past the table speaks the distance alone.
TEST(ManoeuvreWords, EveryTypeSaysItsOwnWords) {
    const Phrase metres300 = {59, 33, 57};
    for (std::uint32_t type = 0; type <= 35; ++type) {
        const Phrase words = type < std::size(ManoeuvreWords) ? ManoeuvreWords[type] : Phrase{};
        Phrase alone, first, after;
        Voice::maneuverIds(alone, type, 0, true);
        Voice::maneuverIds(first, type, 300, true);
        Voice::maneuverIds(after, type, 300, false);
        EXPECT_EQ(alone, words) << type;
        Phrase expected = metres300;
        expected.insert(expected.end(), words.begin(), words.end());
        EXPECT_EQ(first, expected) << type;
        expected = words;
        expected.insert(expected.end(), metres300.begin(), metres300.end());
        EXPECT_EQ(after, expected) << type;
    }
}

struct Sounds : NaviSounds {
    bool naviOn() const override { return true; }
    bool play(int priority, const Phrase& ids) override {
        played.push_back({priority, ids});
        return true;
    }
    bool accepts(int) const override { return true; }
    std::vector<std::pair<int, Phrase>> played;
};

Map::Point townPoint(double east, double north) {
    const auto [x, y] = DemoAtlas::globalOf(east, north);
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

Positioning::Fix gpsFix(double east, double north, float heading, float speed) {
    const Map::Point p = townPoint(east, north);
    Positioning::Fix fix;
    fix.x = p.x;
    fix.y = p.y;
    fix.heading = heading;
    fix.courseKnown = true;
    fix.speed = speed;
    fix.hdop = 1.0f;
    return fix;
}

// The demo town with a route along Main Street from 900 m west of the centre
// to 900 m east of it (through the roundabout), and a handler over it.
struct Town_ : ::testing::Test {
    void SetUp() override {
        config.root()->child("Car")->set("gps_latency", 0.0f);
        load(setup.copyOf(Town));
    }
    void load(const std::filesystem::path& folder) {
        handler.reset();
        atlas = setup.makeAtlas();
        ASSERT_TRUE(atlas->load(AtlasTest::wide(folder)));
        PathPoint from, to;
        Map::Routing::RoadBinding bound;
        ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(-900, 0), from, bound));
        ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(900, 0), to, bound));
        ASSERT_TRUE(Map::Routing::computePath(*atlas, *config.root(), from, to, route, false));
        handler = std::make_unique<KVMapEventsHandler>(config.root(), *atlas, route, &sounds, &styles, clock);
    }
    // The town written again with the road nearest (east, north) drawn by
    // nothing in its road graph (a damaged map: a route over that road
    // cannot be built), and the route and the handler over it; written
    // once, loaded afresh on each later call.
    void damageRoadAt(double east, double north) {
        const std::filesystem::path folder = setup.dir.path() / "maps" / "damaged";
        if (std::filesystem::exists(folder)) return load(folder);
        PathPoint at;
        Map::Routing::RoadBinding bound;
        ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(east, north), at, bound));
        std::vector<DemoAtlas::DemoMap> maps = DemoAtlas::describe();
        std::uint32_t id = 0;
        for (MapWriting::RoadChain& chain : maps.front().description.roads->chains)
            for (MapWriting::RoadSegment& segment : chain.segments)
                if (id++ == bound.segmentId) segment.shape.clear();
        ASSERT_EQ(maps.front().fileName, "demo-town.kvm");
        std::filesystem::create_directories(folder);
        for (const DemoAtlas::DemoMap& map : maps)
            MapWriting::writeMapFile(folder / map.fileName, map.description);
        load(folder);
    }
    // A fix every second and ten frames between, each under one unit.
    void drive(double east, double north, float heading, float speed, bool courseKnown = true,
               bool stray = false) {
        Positioning::Fix fix = gpsFix(east, north, heading, speed);
        fix.courseKnown = courseKnown;
        fix.stray = stray;
        handler->onFix(true, fix);
        for (int i = 0; i < 10; ++i) {
            Positioning::CarStateLock::Unit unit(handler->lock());
            ASSERT_TRUE(unit);
            handler->onFrame();
            clock.ticks += 100;
        }
    }
    // What the sensors panel reads from the handler: the current and the
    // next street.
    using Streets = std::pair<std::u16string, std::u16string>;
    Streets streets(std::u16string* fromStart = nullptr) {
        GuidanceTest::Messages messages;
        Sensors sensors(messages, nullptr, SensorsSetup{"", &clock, 0, {}});
        SensorFrame frame;
        frame.setGuidance(handler->navi());
        frame.car = handler->tracker().carState();
        frame.atlas = atlas.get();
        sensors.updateAll(frame);
        if (fromStart) *fromStart = sensors.findSensor("dist_from_start")->valueText();
        return {sensors.findSensor("cur_street")->valueText(), sensors.findSensor("next_street")->valueText()};
    }
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const std::string& line : log.lines())
            for (const char* kind : {"navi event:", "rebuildPath", "obj warn event:"})
                if (const auto at = line.find(kind); at != std::string::npos) out.push_back(line.substr(at));
        return out;
    }

    TestSupport::CaptureLogger log{Log::Info};
    AtlasTest::AtlasSetup setup;
    std::unique_ptr<Map::KVAtlas> atlas;
    Core::Config config;
    GuidanceTest::Clock clock;
    Path route;
    Sounds sounds;
    Render::RenderStyles styles;
    std::unique_ptr<KVMapEventsHandler> handler;
};

// With no route, guidance starts and fails again on every frame; the log
// says so once.
TEST_F(Town_, ALastingBadStartIsLoggedOnce) {
    route.clear();
    for (double east = -900; east <= -600; east += 15) drive(east, 0, 90, 15);
    std::size_t badStarts = 0;
    for (const std::string& event : events()) badStarts += event == "navi event:BadStart_EmptyPath";
    EXPECT_EQ(badStarts, 1u);
}

// Driving against the route raises "moving backwards" on every frame: the
// log names it when it begins, and no navi event line comes twice within a
// second.
TEST_F(Town_, MovingBackwardsIsLoggedWhenItBegins) {
    for (double east = -900; east <= -800; east += 15) drive(east, 0, 90, 15);
    for (double east = -800; east >= -900; east -= 15) drive(east, 0, 270, 15);
    std::size_t backwards = 0;
    for (const std::string& event : events()) backwards += event == "navi event:BackwardMove";
    EXPECT_EQ(backwards, 1u);
}

// A fix without a course (GGA alone) has heading 0: taken for north, across
// the route, the car driven back against it was never found doing so.
TEST_F(Town_, AFixWithoutACourseHasNone) {
    for (double east = -900; east <= -750; east += 15) drive(east, 0, 90, 15);
    for (double east = -765; east >= -900; east -= 15)
        drive(east, 0, 0, 15, false);
    EXPECT_TRUE(log.contains("navi event:BackwardMove"));
}

// A fix judged a stray (35 m north of Main Street, 5 m from Park Avenue)
// reaches the car tracker as one: the car stays on Main Street.
TEST_F(Town_, AFixJudgedAStrayMovesNoCar) {
    for (double east = -700; east <= -520; east += 15) drive(east, 0, 90, 15);
    drive(-505, 35, 0, 15, true, true);
    EXPECT_EQ(streets().first, u"Main Street");
}

// A route the program computes across Monaco, with what a handler needs
// beside it: the shortest one, which keeps to the small streets with their
// hairpins and roundabouts (the fastest takes the boulevards).
struct MonacoRoute {
    explicit MonacoRoute(int mode = 0) {
        setup.config.root()->set("win_route_heap", 1024);
        config.root()->child("Routing")->set("routing_mode", mode);
    }
    void compute(Map::Point from, Map::Point to) {
        atlas = setup.makeAtlas();
        ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_MONACO_ATLAS_DIR))));
        PathPoint a, b;
        Map::Routing::RoadBinding bound;
        ASSERT_TRUE(nearestRoadPoint(*atlas, from, a, bound));
        ASSERT_TRUE(nearestRoadPoint(*atlas, to, b, bound));
        ASSERT_TRUE(Map::Routing::computePath(*atlas, *config.root(), a, b, route, false));
    }

    AtlasTest::AtlasSetup setup;
    Core::Config config;
    GuidanceTest::Clock clock;
    Path route;
    Sounds sounds;
    Render::RenderStyles styles;
    decltype(setup.makeAtlas()) atlas;
};

// Fixes every `step` metres along `driven` at `speed`, each followed by
// `frames` frames 100 ms apart; `afterFrame` runs after every frame.
// Returns the number of fixes.
template <class AfterFrame>
int driveAlong(KVMapEventsHandler& handler, const Path& driven, double step, float speed, int frames,
               GuidanceTest::Clock& clock, AfterFrame afterFrame) {
    PathPosition at(driven, true);
    int fixes = 0;
    for (; !at.isAtEnd() && fixes < 1000; at.advanceMetres(step), ++fixes) {
        handler.onFix(true, GuidanceTest::exactFixAt(at, speed));
        for (int i = 0; i < frames; ++i) {
            Positioning::CarStateLock::Unit unit(handler.lock());
            EXPECT_TRUE(unit);
            if (!unit) return fixes;
            handler.onFrame();
            afterFrame();
            clock.ticks += 100;
        }
    }
    return fixes;
}

// Driving a route the program computed across Monaco (one-way streets,
// hairpin bends, roundabouts), the shortest and the fastest (the
// boulevards): fixes once a second at 12 m/s along it, ten frames between
// them. Fixes without delay, and no latency set: the route is never rebuilt.
// With the default latency of 1.5 s the fixes reach the tracker 18 m ahead
// along their heading, beside the road in every bend: past a left bend of
// the boulevard onto a side street, in a hook of a one-way carriageway
// nearer its other carriageway, which runs back. The car still keeps to the
// route: it is never found off it. Driving against the route may be seen for
// a moment where the shown heading turns more slowly than a small ring, but
// never long enough for a new route.
TEST(MonacoDrive, FollowingTheRouteDoesNotRebuildIt) {
    for (const int mode : {0, 1}) {
        for (const bool latency : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "routing mode " << mode << (latency ? ", default latency" : ", no latency"));
            TestSupport::CaptureLogger log{Log::Info};
            MonacoRoute m(mode);
            if (!latency) m.config.root()->child("Car")->set("gps_latency", 0.0f);
            ASSERT_NO_FATAL_FAILURE(m.compute(Map::Projection::fromGeo(43.7384f, 7.4246f),
                                              Map::Projection::fromGeo(43.7311f, 7.4197f)));
            KVMapEventsHandler handler(m.config.root(), *m.atlas, m.route, &m.sounds, &m.styles, m.clock);

            const Path driven = m.route; // a rebuild replaces the handler's route
            std::vector<std::uint32_t> rebuilds;
            std::size_t logged = 0;
            const int fixes = driveAlong(handler, driven, 12, 12.0f, 10, m.clock, [&] {
                for (; logged < log.lines().size(); ++logged)
                    if (log.lines()[logged] == "rebuildPath start") rebuilds.push_back(m.clock.ticks);
            });
            ASSERT_GT(fixes, 100);
            ASSERT_LT(fixes, 1000);
            EXPECT_EQ(rebuilds.size(), 0u) << ::testing::PrintToString(rebuilds);
            EXPECT_FALSE(log.contains("navi event:OutOfPath"));
            EXPECT_FALSE(log.contains("navi event:BackwardMove"));
            EXPECT_TRUE(log.contains("navi event:ArriveLastPoint"));
        }
    }
}

// The same drive with the receiver's noise: every fix up to 5 m off on each
// axis, the default latency, both routing modes. The car is never found off
// the route and arrives (before, the tracker put it on side streets and the
// other carriageway: four or five rebuilds a drive).
TEST(MonacoDrive, ANoisyDriveStaysOnTheRoute) {
    const unsigned seed = std::getenv("MIREL_SEED") ? std::atoi(std::getenv("MIREL_SEED")) : 2026u;
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "routing mode " << mode << ", seed " << seed);
        TestSupport::CaptureLogger log{Log::Info};
        MonacoRoute m(mode);
        ASSERT_NO_FATAL_FAILURE(m.compute(Map::Projection::fromGeo(43.7384f, 7.4246f),
                                          Map::Projection::fromGeo(43.7311f, 7.4197f)));
        KVMapEventsHandler handler(m.config.root(), *m.atlas, m.route, &m.sounds, &m.styles, m.clock);
        const Path driven = m.route;
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> noise(-5.0, 5.0);
        PathPosition at(driven, true);
        int fixes = 0;
        for (; !at.isAtEnd() && fixes < 1000; at.advanceMetres(12), ++fixes) {
            const Positioning::CarState car = carStateAt(at);
            const Map::Point p = car.position.toGlobal();
            const double unitsPerMetre = Map::Projection::unitsPerMeterAt(p);
            Positioning::Fix fix;
            fix.x = p.x + static_cast<std::int32_t>(noise(random) * unitsPerMetre);
            fix.y = p.y + static_cast<std::int32_t>(noise(random) * unitsPerMetre);
            fix.speed = 12.0f;
            fix.heading = car.heading * 180.0f / 3.14159265f;
            fix.courseKnown = true;
            fix.hdop = 1.0f;
            handler.onFix(true, fix);
            for (int i = 0; i < 10; ++i) {
                Positioning::CarStateLock::Unit unit(handler.lock());
                ASSERT_TRUE(unit);
                handler.onFrame();
                m.clock.ticks += 100;
            }
        }
        ASSERT_GT(fixes, 100);
        EXPECT_FALSE(log.contains("navi event:OutOfPath"));
        EXPECT_FALSE(log.contains("navi event:BackwardMove"));
        EXPECT_FALSE(log.contains("rebuildPath start"));
        EXPECT_TRUE(log.contains("navi event:ArriveLastPoint"));
    }
}

// The manoeuvre types a phrase names, in order: each manoeuvre's words (the
// distances, "in", "then" and the start and rebuild words left out).
std::vector<std::uint32_t> namedManoeuvres(const Phrase& phrase) {
    static const std::map<Phrase, std::uint32_t> types = [] {
        std::map<Phrase, std::uint32_t> t{{{5, 65}, 1},  {{5, 64}, 2},  {{60, 62, 63}, 19}, {{61}, 4},
                                          {{70}, 7},     {{85, 87}, 17}, {{85, 88}, 18},    {{89}, 21}};
        for (std::uint32_t exit = 1; exit <= 9; ++exit) t[{static_cast<std::int32_t>(73 + exit), 61}] = 7 + exit;
        return t;
    }();
    std::vector<std::uint32_t> out;
    Phrase words;
    const auto flush = [&] {
        if (const auto it = types.find(words); it != types.end()) out.push_back(it->second);
        words.clear();
    };
    for (const std::int32_t id : phrase) {
        const bool distance = id == 59 || (id >= 12 && id <= 57) || (id >= 66 && id <= 68);
        if (id == Voice::Then) flush();
        else if (!distance && id != 4 && id != Voice::RouteRebuilt) words.push_back(id);
    }
    flush();
    return out;
}

// Across Monaco from Fontvieille to Rue Grimaldi, where the whole-drive
// window test drives too. By the shortest way: two roundabouts, the first
// left by its second exit and the second by its third, and turns a few tens
// of metres apart; by the fastest (the program's default): the boulevards,
// one roundabout and slight turns left and right. Fixes every 14 m, once a
// second (50 km/h, ten frames between them) or, on the shortest way, five
// times as fast (a stream sped up, as the window test plays one): the car
// is never found off the route, every manoeuvre of the route is named in
// its order, and the last warning before each roundabout names the exit
// the route takes.
TEST(MonacoDrive, EveryManoeuvreIsNamedInOrder) {
    const struct {
        int mode;
        int frames;
    } drives[] = {{0, 10}, {0, 2}, {1, 10}};
    for (const auto [mode, frames] : drives) {
        SCOPED_TRACE(testing::Message() << "routing mode " << mode << ", " << frames << " frames a fix");
        TestSupport::CaptureLogger log{Log::Info};
        MonacoRoute m(mode);
        // Played five times as fast, the stream's speeds and the receiver's
        // latency are the replay's: the car the tracker follows moves as
        // the fixes do.
        m.config.root()->child("Car")->set("gps_latency", 1.5f * frames / 10);
        ASSERT_NO_FATAL_FAILURE(m.compute(Map::Projection::fromGeo(43.726414f, 7.416096f),
                                          Map::Projection::fromGeo(43.734303f, 7.418561f)));
        const Path& route = m.route;
        std::vector<std::uint32_t> expected;
        std::vector<std::vector<std::uint32_t>> roundabouts; // entry and exit
        for (const PathPart& part : route.parts) {
            if (part.manoeuvre == 0) continue;
            if (!expected.empty() && expected.back() == 19) roundabouts.push_back({19, part.manoeuvre});
            expected.push_back(part.manoeuvre);
        }
        if (mode == 0)
            ASSERT_EQ(roundabouts, (std::vector<std::vector<std::uint32_t>>{{19, 9}, {19, 10}}));
        else
            ASSERT_FALSE(roundabouts.empty());

        KVMapEventsHandler handler(m.config.root(), *m.atlas, m.route, &m.sounds, &m.styles, m.clock);
        const Path driven = m.route; // a rebuild replaces the handler's route
        driveAlong(handler, driven, 14, 13.9f * 10 / frames, frames, m.clock, [] {});
        EXPECT_FALSE(log.contains("navi event:OutOfPath"));
        EXPECT_FALSE(log.contains("navi event:BackwardMove"));
        EXPECT_FALSE(log.contains("rebuildPath start"));
        std::vector<std::uint32_t> heard;
        std::vector<std::vector<std::uint32_t>> named;
        for (const auto& [priority, phrase] : m.sounds.played) {
            named.push_back(namedManoeuvres(phrase));
            heard.insert(heard.end(), named.back().begin(), named.back().end());
        }
        std::size_t matched = 0;
        for (std::size_t i = 0; i < heard.size() && matched < expected.size(); ++i)
            matched += heard[i] == expected[matched];
        EXPECT_EQ(matched, expected.size()) << ::testing::PrintToString(heard);
        for (const std::vector<std::uint32_t>& ring : roundabouts)
            EXPECT_TRUE(std::any_of(named.begin(), named.end(), [&](const std::vector<std::uint32_t>& n) {
                return std::search(n.begin(), n.end(), ring.begin(), ring.end()) != n.end();
            })) << "roundabout left by " << ring[1] << "; heard " << ::testing::PrintToString(named);
        ASSERT_FALSE(heard.empty());
        EXPECT_EQ(heard.back(), 21u);
    }
}

TEST_F(Town_, DrivesTheRouteLeavesItAndGetsANewOne) {
    for (double east = -900; east <= -600; east += 15) drive(east, 0, 90, 15);
    ASSERT_TRUE(handler->navi().running());
    const std::vector<std::string> started = events();
    ASSERT_FALSE(started.empty());
    EXPECT_EQ(started.front(), "navi event:Start");
    ASSERT_FALSE(sounds.played.empty());
    EXPECT_EQ(sounds.played.front().first, 4);
    EXPECT_EQ(sounds.played.front().second.front(), 4);
    EXPECT_FALSE(handler->rebuildRequested());
    EXPECT_TRUE(handler->shownCarState().valid && handler->shownCarState().onRoad);

    // The sensors read the street names and the route from the handler.
    std::u16string fromStart;
    EXPECT_EQ(streets(&fromStart), Streets(u"Main Street", u"Linden Circle")); // into the roundabout
    EXPECT_NE(fromStart, u"-");

    // Off the route: north up Park Avenue.
    const std::size_t before = route.points.size();
    const float startX = route.points.front().roadPoint.x;
    for (double north = 15; north <= 150; north += 15) drive(-500, north, 0, 15);
    const std::vector<std::string> all = events();
    const auto find = [&](const std::string& e) { return std::find(all.begin(), all.end(), e) - all.begin(); };
    const auto out = find("navi event:OutOfPath");
    const auto done = find("rebuildPath done");
    ASSERT_LT(out, static_cast<long>(all.size()));
    EXPECT_EQ(find("rebuildPath start"), out + 1);
    EXPECT_EQ(done, out + 2);
    EXPECT_LT(done, static_cast<long>(all.size()));
    // The passed leg gave way to one from the car to the same finish.
    EXPECT_EQ(route.points.size(), before);
    EXPECT_NE(route.points.front().roadPoint.x, startX);
}

TEST_F(Town_, RebuildRequestsFollowTheEvents) {
    const struct {
        int code;
        bool requested;
    } rows[] = {{OutOfPath, true},  {BackToPath, false}, {BadStart_OutOfPath, true}, {ArrivePoint, true},
                {BackToPath, false}, {PathChanged_OutOfPath, true}, {BackToPath, false}};
    for (const auto& row : rows) {
        handler->onNaviEvent(row.code, handler->navi(), nullptr);
        EXPECT_EQ(handler->rebuildRequested(), row.requested) << row.code;
    }
    // Driving against the route asks for a new one once it has lasted three
    // seconds, then every three seconds; a pause of more than a second
    // starts the count again.
    const struct {
        std::uint32_t afterMs;
        bool requested;
    } backward[] = {{0, false},     {900, false},  {1800, false},  {2700, false},  {2999, false},
                    {3000, true},   {3900, false}, {4800, false},  {5700, false},  {5999, false},
                    {6000, true},   {7001, false}, {9000, false},  {9900, false},  {10800, false},
                    {11700, false}, {12000, true}};
    const std::uint32_t start = clock.ticks;
    for (const auto& row : backward) {
        clock.ticks = start + row.afterMs;
        handler->onNaviEvent(BackwardMove, handler->navi(), nullptr);
        EXPECT_EQ(handler->rebuildRequested(), row.requested) << row.afterMs;
        handler->onNaviEvent(BackToPath, handler->navi(), nullptr);
    }
    // A request lives until the next frame, which rebuilds nothing without
    // guidance and logs nothing.
    {
        Positioning::CarStateLock::Unit unit(handler->lock());
        handler->onFrame();
    }
    EXPECT_FALSE(handler->rebuildRequested());
    EXPECT_TRUE(std::none_of(log.lines().begin(), log.lines().end(),
                             [](const std::string& l) { return l.find("rebuildPath") != std::string::npos; }));
}

// The frame's rebuilds come three seconds apart at least: a car driven
// against a one-way street leaves every route rebuilt for it at once (they
// start the road's own way) and was given a new one twice a second. The
// request waits out the pause; being back on the route cancels it. Each new
// route names its turn; "route rebuilt" is said again only once a route is
// followed 100 m past one of its turns.
TEST_F(Town_, RebuildsComeThreeSecondsApartAndSayRebuiltOnce) {
    for (double east = -900; east <= -600; east += 15) drive(east, 0, 90, 15);
    drive(-600, 0, 90, 0);
    ASSERT_TRUE(handler->navi().running());
    const auto rebuilds = [&] { return log.count("rebuildPath start"); };
    ASSERT_EQ(rebuilds(), 0u);
    const auto frame = [&] {
        Positioning::CarStateLock::Unit unit(handler->lock());
        ASSERT_TRUE(unit);
        handler->onFrame();
    };
    const auto said = [&](std::int32_t id) {
        return std::size_t(std::count_if(sounds.played.begin(), sounds.played.end(), [&](const auto& p) {
            return std::ranges::count(p.second, id) > 0;
        }));
    };
    struct Row {
        std::uint32_t atMs;
        int event; // -1: none
        std::size_t rebuilds;
        bool requested;
        std::size_t rebuiltWords;
    };
    const auto run = [&](std::initializer_list<Row> rows) {
        const std::uint32_t start = clock.ticks;
        const std::size_t turnsBefore = said(Voice::In) - rebuilds();
        for (const Row& row : rows) {
            clock.ticks = start + row.atMs;
            if (row.event >= 0) handler->onNaviEvent(row.event, handler->navi(), nullptr);
            frame();
            EXPECT_EQ(rebuilds(), row.rebuilds) << row.atMs;
            EXPECT_EQ(handler->rebuildRequested(), row.requested) << row.atMs;
            EXPECT_EQ(said(Voice::RouteRebuilt), row.rebuiltWords) << row.atMs;
            EXPECT_EQ(said(Voice::In) - turnsBefore, rebuilds()) << row.atMs; // each new route's turn only
        }
    };
    const std::initializer_list<Row> standing = {
        {0, OutOfPath, 1, false, 1},   {500, OutOfPath, 1, true, 1},  {2900, -1, 1, true, 1},
        {3000, -1, 2, false, 1},       {3100, OutOfPath, 2, true, 1}, {4000, BackToPath, 2, false, 1},
        {6100, OutOfPath, 3, false, 1}};
    run(standing);
    // 100 m on the road the car kept to anyway: the words wait; through the
    // next route's roundabout and 100 m on, they are said again.
    for (double east = -585; east <= -480; east += 15) drive(east, 0, 90, 15);
    run({{0, OutOfPath, 4, false, 1}});
    for (double east = -465; east <= 150; east += 15) drive(east, 0, 90, 15);
    run({{0, OutOfPath, 5, false, 2}});
}

// A car driving 10 m short of a road's dead end, off the route that runs
// along Main Street: no route leaves the road that way, so the new route
// turns the car round at the end, and the driver hears it at once, however
// near the U-turn. Only a search that found no way on counts: where the way
// on crosses a damaged road (Church Street, drawn by nothing in the road
// graph) the route that turns the car round 10 m on is not taken, the
// U-turn passed before it is told.
TEST_F(Town_, AtADeadEndTheNewRouteTurnsTheCarRound) {
    const struct {
        const char* what;
        bool damaged;
        double east, north;
        float heading;
        bool turned;
    } rows[] = {
        {"Main Street's west end", false, -1190, 0, 270, true},
        {"River Road's north end, Mill Lane one-way into it", true, 500, 490, 0, true},
        {"River Road's south end, Church Street damaged", true, 500, -490, 180, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.damaged) {
            ASSERT_NO_FATAL_FAILURE(damageRoadAt(250, -500));
        }
        sounds.played.clear();
        log.clear();
        drive(row.east, row.north, row.heading, 15);
        drive(row.east, row.north, row.heading, 0);
        // What became of the first try.
        const std::vector<std::string> all = events();
        const auto start = std::find(all.begin(), all.end(), "rebuildPath start");
        ASSERT_TRUE(start != all.end() && start + 1 != all.end());
        if (row.turned) {
            EXPECT_EQ(start[1], "rebuildPath done");
            EXPECT_TRUE(log.contains("rebuildPath done"));
            EXPECT_FALSE(log.contains("rebuildPath kept the route: the car passes its U-turn before it is told"));
            EXPECT_TRUE(std::any_of(sounds.played.begin(), sounds.played.end(),
                                    [](const auto& p) { return std::ranges::count(p.second, 70) == 1; }))
                << "no U-turn said";
        } else {
            EXPECT_EQ(start[1], "rebuildPath kept the route: the car passes its U-turn before it is told");
        }
    }
}

// A car off the roads when a route is set is told how far it has to the
// route's start, its first point, until it is on a road again.
TEST_F(Town_, OffTheRoadsTheApproachIsMeasuredToTheStart) {
    handler->setNaviOn(false); // no new route from there
    for (int s = 0; s < 3; ++s) drive(-300, 300, 90, 0);
    ASSERT_FALSE(handler->tracker().carState().onRoad);
    ASSERT_TRUE(handler->approachOff());
    handler->applyPendingRoute();
    drive(-300, 300, 90, 0);
    ASSERT_FALSE(handler->approachOff());
    const Map::Point car = townPoint(-300, 300);
    const Map::Point start = Map::LevelFrame::of(*route.points.front().roadPoint.level)
                                 .toGlobal({route.points.front().roadPoint.x, route.points.front().roadPoint.y});
    const double metres = std::hypot(double(car.x) - start.x, double(car.y) - start.y) /
                          Map::Projection::unitsPerMeterAt(car);
    EXPECT_NEAR(handler->approachDistance(), metres, 5.0);
}

// Tries that gave no route back off (1, 1, 1, 1, 2, 4, 8 s ...); a route the
// driver sets starts the count again: a car off it (a stored route loaded,
// one set from elsewhere) has its new route 3 s after the last try at most,
// not 8 or 16 s.
TEST_F(Town_, ARouteTheDriverSetsEndsTheBackOff) {
    for (double east = -900; east <= -600; east += 15) drive(east, 0, 90, 15);
    ASSERT_TRUE(handler->navi().running());
    route.points.back().map = nullptr; // no route leads there
    for (double north = 15; north <= 240; north += 15) drive(-500, north, 0, 15);
    ASSERT_GE(log.count("rebuildPath failed"), 7u);
    PathPoint from, to;
    Map::Routing::RoadBinding bound;
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(500, 0), from, bound));
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(900, 0), to, bound));
    ASSERT_TRUE(Map::Routing::computePath(*atlas, *config.root(), from, to, route, false));
    const std::size_t tried = log.count("rebuildPath start");
    // Three seconds apart from the last try, as every rebuild.
    for (double north = 255; north <= 285; north += 15) drive(-500, north, 0, 15);
    EXPECT_EQ(log.count("rebuildPath start"), tried + 1);
    EXPECT_EQ(log.count("rebuildPath done"), 1u);
}

// A warning the busy player refused waits; a newer one takes its place, and
// the older one is not said after it.
TEST_F(Town_, AWaitingWarningGivesWayToTheNextOne) {
    struct BusySounds : Sounds {
        bool accepts(int) const override { return !busy; }
        bool play(int priority, const Phrase& ids) override { return !busy && Sounds::play(priority, ids); }
        bool busy = false;
    } player;
    handler = std::make_unique<KVMapEventsHandler>(config.root(), *atlas, route, &player, &styles, clock);
    for (double east = -900; east <= -720; east += 15) drive(east, 0, 90, 15);
    drive(-720, 0, 90, 0);
    ASSERT_TRUE(handler->navi().running() && handler->navi().maneuverKnown());
    player.played.clear();
    player.busy = true;
    handler->onNaviEvent(Rotate, handler->navi(), nullptr);
    EXPECT_TRUE(player.played.empty());
    player.busy = false;
    handler->onNaviEvent(Rotate, handler->navi(), nullptr);
    drive(-720, 0, 90, 0);
    EXPECT_EQ(player.played.size(), 1u);
    // One waiting when the driver sets another route names the turns of the
    // route replaced: the new route's first words are its start's.
    player.busy = true;
    handler->onNaviEvent(Rotate, handler->navi(), nullptr);
    PathPoint from, to;
    Map::Routing::RoadBinding bound;
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(-700, 0), from, bound));
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(-500, 300), to, bound));
    ASSERT_TRUE(Map::Routing::computePath(*atlas, *config.root(), from, to, route, false));
    player.busy = false;
    player.played.clear();
    drive(-720, 0, 90, 0);
    ASSERT_FALSE(player.played.empty());
    for (const auto& [priority, ids] : player.played)
        EXPECT_EQ(ids.front(), Voice::RouteStart) << ::testing::PrintToString(ids);
}

TEST_F(Town_, NaviSwitchHoldsGuidanceOff) {
    handler->setNaviOn(false);
    for (double east = -900; east <= -800; east += 15) drive(east, 0, 90, 15);
    EXPECT_FALSE(handler->navi().running());
    // Without guidance the map shows the tracker's car, not a route position,
    EXPECT_TRUE(handler->shownCarState().valid);
    EXPECT_FALSE(Positioning::CarState::differs(handler->shownCarState(), handler->tracker().carState(), 1.0f));
    // and the sensors panel the street of the tracker's road.
    EXPECT_EQ(streets(), Streets(u"Main Street", u"-"));
    handler->toggleNavigation();
    EXPECT_TRUE(handler->navi().running());
    EXPECT_TRUE(config.root()->value("navi_on", false));
    // Switched off by the map's indicator while it runs, guidance stays off
    // on the frames after, and the switch is kept.
    handler->toggleNavigation();
    EXPECT_FALSE(handler->navi().running());
    for (double east = -800; east <= -700; east += 15) drive(east, 0, 90, 15);
    EXPECT_FALSE(handler->navi().running());
    EXPECT_FALSE(config.root()->value("navi_on", true));
}

// Run once by hand under ThreadSanitizer: the GPS thread's fixes meet the
// frames and an atlas switch that holds both units.
TEST_F(Town_, GpsThreadMeetsFramesAndAnAtlasSwitch) {
    std::atomic<bool> stop{false};
    std::thread gps([&] {
        for (int i = 0; !stop; ++i) handler->onFix(true, gpsFix(-900 + i % 300, 0, 90, 15));
    });
    for (int i = 0; i < 200; ++i) {
        {
            Positioning::CarStateLock::Unit unit(handler->lock());
            if (unit) handler->onFrame();
            // The fields of one whole fix, or none yet.
            bool valid = false;
            const Positioning::Fix fix = handler->currentFix(&valid);
            EXPECT_TRUE(valid ? fix.heading == 90.0f && fix.speed >= 0.0f : fix == Positioning::Fix{});
        }
        if (i % 50 == 49) {
            handler->lock().takeAll();
            handler->resetNavigation();
            handler->lock().releaseAll();
        }
    }
    // While both units are held, every fix is dropped.
    handler->lock().takeAll();
    const Positioning::Fix held = handler->currentFix();
    handler->onFix(true, gpsFix(500, 500, 45, 3));
    EXPECT_EQ(handler->currentFix(), held);
    handler->lock().releaseAll();
    stop = true;
    gps.join();
}

// "$" + body + "*" + checksum + CR LF.
std::string nmea(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return Core::format("$%s*%02X\r\n", body, sum & 0xFF);
}

// ddmm.mmmm with its hemisphere letter.
std::string angle(float degrees, int width, char positive, char negative) {
    const double a = std::fabs(degrees);
    const int whole = static_cast<int>(a);
    const std::string format = width == 2 ? "%02d%07.4f,%c" : "%03d%07.4f,%c";
    return Core::format(format, whole, (a - whole) * 60.0, degrees < 0 ? negative : positive);
}

// One epoch as a receiver sends it: GGA, then RMC with speed and course.
std::string epoch(int second, Map::Point point, float heading, float speed) {
    const Map::GeoPoint geo = Map::Projection::toGeo(point);
    const std::string time = Core::format("%02d%02d%02d.000", 10 + second / 3600, second / 60 % 60, second % 60);
    const std::string where = angle(geo.latitude, 2, 'N', 'S') + "," + angle(geo.longitude, 3, 'E', 'W');
    return nmea("GPGGA," + time + "," + where + ",1,08,1.0,10.0,M,0.0,M,,") +
           nmea(Core::format("GPRMC,%s,A,%s,%.2f,%.1f,070126,,,A", time, where, speed / 0.514444f, heading));
}

// The receiver's stream, generated from the route itself, comes through a
// pseudo-terminal, the GPS thread and the NMEA device; halfway the car turns
// off up Park Avenue and the route is rebuilt.
TEST_F(Town_, NmeaReplayThroughAPortDrivesGuidance) {
    TestSupport::TempDir data;
    TestSupport::PseudoTerminal pty;
    std::filesystem::create_directories(data / "ports");
    std::filesystem::create_symlink(pty.devicePath(), data / "ports/COM7");
    Positioning::SerialPortSystemOptions options;
    options.locator = {(data / "ports").string(), false};
    options.port.readIntervalMs = 20;
    options.port.readTotalMs = 60;
    options.port.failedReadPauseMs = 5;
    options.silenceMs = 200;
    options.noPortMs = 200;
    options.reopenPauseMs = 10;
    options.cycleSleepMs = 2;
    options.idleSleepMs = 2;
    Positioning::System gps(u"", 0, nullptr, [&](const Positioning::MessageTexts* messages) {
        return std::make_unique<Positioning::SerialPortSystem>(messages, options);
    });
    ASSERT_TRUE(gps.setPort(7, 4800));
    gps.addListener(handler.get());
    ASSERT_TRUE(gps.enable(nullptr));
    std::vector<std::pair<Map::Point, float>> places;
    for (PathPosition p(route, true); places.size() < 27; p.advanceMetres(15)) // to 500 m west of the centre
        places.push_back({Map::LevelFrame::of(*p.partLevel()).toGlobal(p.levelPoint()), static_cast<float>(p.heading())});
    for (double north = 15; north <= 150; north += 15) places.push_back({townPoint(-500, north), 0.0f});
    // The probe of the port listens for a receiver: the first epoch is said
    // over and over until the port is open.
    for (int i = 0; i < 500 && !gps.isPortOpen(); ++i) {
        ASSERT_TRUE(pty.write(epoch(1, places[0].first, places[0].second, 15.0f)));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(gps.isPortOpen());
    int second = 0;
    for (const auto& [point, heading] : places) {
        ++second;
        // GGA of this epoch, RMC of the one before: the device speaks at the
        // GGA with the course of the previous RMC.
        // Said again until heard: the port drops what came before it opened.
        for (int tries = 0; handler->currentFix().dateTime.second != second % 60; ++tries) {
            ASSERT_LT(tries, 5000) << "no fix for second " << second;
            if (tries % 200 == 0) {
                ASSERT_TRUE(pty.write(epoch(second, point, heading, 15.0f)));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (int i = 0; i < 10; ++i) {
            Positioning::CarStateLock::Unit unit(handler->lock());
            if (unit) handler->onFrame();
            clock.ticks += 100;
        }
    }
    gps.removeListener(handler.get());
    std::vector<std::string> all = events();
    for (std::string& e : all) e = e.substr(e.find(':') + 1);
    const std::vector<std::string> expected = {"Start", "Rotate", "OutOfPath", "rebuildPath start", "rebuildPath done",
                                               "BackToPath"};
    EXPECT_EQ(all, expected);
    std::vector<std::pair<int, int>> spoken; // priority, first id
    for (const auto& [priority, ids] : sounds.played) spoken.push_back({priority, ids.front()});
    // The start phrase, the manoeuvre "in ... metres", the rebuilt route with
    // its manoeuvre.
    const std::vector<std::pair<int, int>> phrases = {{4, 4}, {4, Voice::In}, {4, Voice::RouteRebuilt}};
    EXPECT_EQ(spoken, phrases);
}

// Along Main Street the car changes road only where its polylines meet
// (at Park Avenue, 500 m west of the centre): the road event comes once
// when the car first takes the road and once past that junction, not once
// per frame.
TEST_F(Town_, RoadChangesAreToldOncePerChange) {
    double east = -900;
    for (; east < -500; east += 15) drive(east, 0, 90, 15);
    EXPECT_EQ(log.count("car event:RoadSegChanged"), 1u) << "27 fixes of 10 frames each on one polyline";
    for (; east <= -300; east += 15) drive(east, 0, 90, 15);
    EXPECT_EQ(log.count("car event:RoadSegChanged"), 2u) << "the next polyline from -500 on";
    EXPECT_EQ(log.count("car event:DirAllowedChanged"), 0u);
}

// The start of guidance is said with the manoeuvre ahead: the start sound,
// then "in ..." and the words of the manoeuvre.
TEST_F(Town_, TheStartNamesTheManoeuvreAhead) {
    drive(-900, 0, 90, 15);
    ASSERT_FALSE(sounds.played.empty());
    const auto& [priority, start] = sounds.played.front();
    EXPECT_EQ(priority, 4);
    ASSERT_GT(start.size(), 2u);
    EXPECT_EQ(start.front(), 4);
    std::vector<ManeuverEntry> ahead;
    handler->navi().maneuversToAnnounce(ahead);
    ASSERT_FALSE(ahead.empty());
    ASSERT_LT(ahead.front().type, std::size(ManoeuvreWords));
    const Phrase& words = ManoeuvreWords[ahead.front().type];
    ASSERT_FALSE(words.empty());
    EXPECT_NE(std::search(start.begin(), start.end(), words.begin(), words.end()), start.end());
    EXPECT_NE(std::find(start.begin(), start.end(), Voice::In), start.end());
}

// A POI query visits every POI of its box, wherever in the box it lies,
// against the POIs of the whole town filtered by the box.
TEST_F(Town_, APoiQueryFindsEveryPoiOfItsBox) {
    ASSERT_FALSE(route.parts.empty());
    const PathPart& part = route.parts.front();
    const auto query = [&](Map::Point a, Map::Point b) {
        std::vector<Map::Point> found;
        queryLevelPois(part, {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)},
                       [&](const MapPoi& poi) { found.push_back(poi.point); });
        return found;
    };
    const std::vector<Map::Point> all = query(townPoint(-4000, -4000), townPoint(4000, 4000));
    ASSERT_GE(all.size(), 3u);
    const double unitsPerMetre = (townPoint(1000, 0).x - townPoint(0, 0).x) / 1000.0;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> metres(0.0, 1500.0);
    for (int round = 0; round < 300; ++round) {
        const Map::Point p = all[random() % all.size()];
        const auto off = [&] { return static_cast<std::int32_t>(metres(random) * unitsPerMetre); };
        const Map::Point a{p.x - off(), p.y - off()}, b{p.x + off(), p.y + off()};
        const std::vector<Map::Point> found = query(a, b);
        for (const Map::Point& q : all)
            if (q.x >= a.x && q.x <= b.x && q.y >= a.y && q.y <= b.y) {
                EXPECT_NE(std::find(found.begin(), found.end(), q), found.end()) << round;
            }
    }
}

TEST_F(Town_, DemoDriveRunsTheRouteWithoutGps) {
    styles.setPoiTypeFlags(0x2A05, true, true); // the cafe on Main Street
    RouteSimulator demo(*handler, 20.0f);
    for (std::uint32_t t = 1; t <= 600; ++t) demo.step(clock.ticks += 500);
    std::vector<std::string> all = events();
    // The cafe 700 m ahead, two warnings before the roundabout (its last
    // two are due together and speak as one), one inside it (its exit, said
    // on entering, 90 m before it), three before the finish; after the
    // finish the car starts over.
    const std::vector<std::string> expected = {"Start",  "new obj",   "Rotate", "Rotate",
                                               "RotateEnd", "Rotate", "RotateEnd", "Rotate",
                                               "Rotate", "Rotate", "ArriveLastPoint", "Start"};
    ASSERT_GE(all.size(), expected.size());
    all.resize(expected.size());
    for (std::string& e : all) e = e.substr(e.find(':') + 1);
    EXPECT_EQ(all, expected);
    // A route edit freezes the car.
    const Map::LocalPoint at = demo.cursor().levelPoint();
    route.markChanged();
    demo.step(clock.ticks += 500);
    EXPECT_EQ(demo.cursor().levelPoint(), at);
}

TEST_F(Town_, GuidanceStaysOffAfterTheFinishUntilTheRouteChanges) {
    for (double east = -900; east <= 960; east += 15) drive(east, 0, 90, 15);
    const auto count = [&](const char* event) {
        const std::vector<std::string> all = events();
        return std::count(all.begin(), all.end(), std::string("navi event:") + event);
    };
    ASSERT_EQ(count("ArriveLastPoint"), 1);
    EXPECT_TRUE(handler->naviOn());
    EXPECT_FALSE(handler->navi().running());
    // Standing at the finish: no new start, no way back to it.
    for (int i = 0; i < 5; ++i) drive(960, 0, 90, 0);
    EXPECT_FALSE(handler->navi().running());
    EXPECT_EQ(count("Start"), 1);
    EXPECT_EQ(count("ArriveLastPoint"), 1);
    EXPECT_FALSE(handler->rebuildRequested());
    // A new route, or the driver, turns it on again.
    route.markChanged();
    drive(960, 0, 90, 0);
    EXPECT_TRUE(handler->navi().running());
    handler->toggleNavigation();
    handler->toggleNavigation();
    EXPECT_TRUE(handler->navi().running());
}

// The player's rules over samples of 0.6 s: a list starts only when nothing
// of its priority or higher plays, and the test mixes 50 ms of sound a
// frame, so what is offered and what is heard to its end can differ.
struct MixerSounds : NaviSounds {
    struct Heard {
        int priority;
        Phrase ids;
        bool whole = false;
        bool cut = false;
    };
    bool naviOn() const override { return true; }
    bool accepts(int priority) const override { return mixer.accepts(priority, {0}); }
    std::uint32_t lastList() const override { return mixer.lastList(); }
    ListEnd listEnd(std::uint32_t list) const override { return mixer.listEnd(list); }
    bool play(int priority, const Phrase& ids) override {
        ++offered;
        if (!mixer.accepts(priority, ids)) return false;
        if (!mixer.idle() && !heard.empty()) heard.back().cut = true;
        for (int id : ids) {
            if (mixer.hasSample(id)) continue;
            Sample sample;
            sample.id = id;
            sample.length = SampleBytes;
            sample.data = std::make_unique<std::uint8_t[]>(SampleBytes);
            mixer.insert(std::move(sample));
        }
        mixer.replace(priority, ids);
        heard.push_back({priority, ids});
        return true;
    }
    void advance50ms() {
        std::vector<std::uint8_t> buffer(4410);
        mixer.mix(buffer.data(), static_cast<int>(buffer.size()), SoundMixer::FullVolume);
        if (mixer.idle() && !heard.empty() && !heard.back().cut) heard.back().whole = true;
    }
    static constexpr std::uint32_t SampleBytes = 52920; // 0.6 s of 22050 Hz 16-bit stereo
    SoundMixer mixer;
    std::vector<Heard> heard;
    int offered = 0;
};

// A second of the car: the fix (none from a receiver fallen silent), then
// twenty frames of 50 ms, the player playing on, and eachFrame after each.
void townSecond(KVMapEventsHandler& guide, MixerSounds& player, GuidanceTest::Clock& clock,
                std::optional<Positioning::Fix> fix, const std::function<void()>& eachFrame = {}) {
    if (fix) guide.onFix(true, *fix);
    for (int i = 0; i < 20; ++i) {
        {
            Positioning::CarStateLock::Unit unit(guide.lock());
            guide.onFrame();
        }
        clock.ticks += 50;
        player.advance50ms();
        if (eachFrame) eachFrame();
    }
}

TEST_F(Town_, TheRoundaboutExitIsHeard) {
    MixerSounds player;
    handler = std::make_unique<KVMapEventsHandler>(config.root(), *atlas, route, &player, &styles, clock);
    RouteSimulator demo(*handler, 15.0f);
    // Once along the route, as the map page's frame runs it.
    for (int frame = 0; frame < 6000; ++frame) {
        {
            Positioning::CarStateLock::Unit unit(handler->lock());
            handler->onFrame();
        }
        demo.step(clock.ticks += 50);
        player.advance50ms();
        if (log.contains("navi event:ArriveLastPoint")) break;
    }
    const std::vector<std::string> all = events();
    ASSERT_EQ(std::count(all.begin(), all.end(), "navi event:ArriveLastPoint"), 1);
    // Straight over the roundabout: "roundabout" (60 62 63), then "the
    // second exit" (75 61), spoken as one phrase and heard to its end.
    const Phrase roundabout{60, 62, 63}, takeExit{75, 61};
    const auto exit = std::find_if(player.heard.begin(), player.heard.end(), [&](const MixerSounds::Heard& h) {
        const auto at = std::search(h.ids.begin(), h.ids.end(), roundabout.begin(), roundabout.end());
        return at != h.ids.end() && std::search(at, h.ids.end(), takeExit.begin(), takeExit.end()) != h.ids.end();
    });
    ASSERT_NE(exit, player.heard.end());
    EXPECT_TRUE(exit->whole);
    // Every manoeuvre warning guidance raised reached the driver whole.
    const auto rotates = std::count(all.begin(), all.end(), "navi event:Rotate");
    const auto heardWhole = std::count_if(player.heard.begin(), player.heard.end(), [](const MixerSounds::Heard& h) {
        return h.priority == 4 && h.ids.front() != 4 && (h.whole || !h.cut);
    });
    EXPECT_EQ(heardWhole, rotates);
}

} // namespace
} // namespace Guidance

namespace Guidance {
namespace {

// A route west along Main Street over the roundabout; the car, started at
// its east end, is next seen on Station Road 22 m south of the ring, driving
// north (the receiver fell silent on the way). The new route enters the
// ring there and leaves it by its third exit: the words that tell the new
// route name that exit, and are heard before the car enters the ring. They
// said "drive onto the roundabout" alone; its last warning, due 2 m later,
// came while they played and was dropped at the ring.
TEST_F(Town_, ANewRouteJustBeforeARoundaboutNamesItsExit) {
    Path west;
    PathPoint from, to;
    Map::Routing::RoadBinding bound;
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(900, 0), from, bound));
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(-900, 0), to, bound));
    ASSERT_TRUE(Map::Routing::computePath(*atlas, *config.root(), from, to, west, false));
    MixerSounds player;
    KVMapEventsHandler guide(config.root(), *atlas, west, &player, &styles, clock);
    std::vector<std::uint32_t> heardAt;
    const auto second = [&](std::optional<Positioning::Fix> fix) {
        townSecond(guide, player, clock, fix, [&] { heardAt.resize(player.heard.size(), clock.ticks); });
    };
    for (int s = 0; s < 3; ++s) second(gpsFix(900, 0, 270, 0));
    ASSERT_EQ(player.heard.size(), 1u);
    for (int s = 0; s < 5; ++s) second(std::nullopt);
    // North at 8 m/s into the ring (radius 30 m), round it counter-clockwise
    // and out west.
    std::optional<std::uint32_t> entered;
    for (double north = -52; north < -30; north += 8) second(gpsFix(0, north, 0, 8));
    for (double angle = -90; angle <= 180; angle += 15) {
        const double a = angle * std::numbers::pi / 180;
        if (!entered) entered = clock.ticks;
        second(gpsFix(30 * std::cos(a), 30 * std::sin(a), static_cast<float>(std::fmod(360 - angle, 360)), 8));
    }
    for (double east = -38; east > -200; east -= 8) second(gpsFix(east, 0, 270, 8));
    ASSERT_TRUE(log.contains("rebuildPath done"));
    const Phrase thirdExit{76, 61};
    bool named = false;
    for (std::size_t i = 0; i < player.heard.size(); ++i) {
        const Phrase& ids = player.heard[i].ids;
        if (std::search(ids.begin(), ids.end(), thirdExit.begin(), thirdExit.end()) != ids.end() &&
            player.heard[i].whole && heardAt[i] <= *entered)
            named = true;
    }
    EXPECT_TRUE(named) << ::testing::PrintToString(events());
}

// The car, started at the west end of the route along Main Street, is next
// seen on Park Avenue 60 m short of Mill Lane, driving north (the receiver
// fell silent on the way): the new route turns right there, and the words
// that tell it say so with the distance. They stand for the turn's warning
// that comes due while they play: "Turn right" is not said again after them
// before the turn.
TEST_F(Town_, ANewRoutesTurnIsNotSaidAgainAfterItsWords) {
    // The player as the handler hears it: it tells how long a list plays.
    struct : MixerSounds {
        double seconds(const Phrase& ids) const override { return 0.6 * static_cast<double>(ids.size()); }
    } player;
    KVMapEventsHandler guide(config.root(), *atlas, route, &player, &styles, clock);
    const auto second = [&](std::optional<Positioning::Fix> fix) { townSecond(guide, player, clock, fix); };
    for (int s = 0; s < 3; ++s) second(gpsFix(-900, 0, 90, 0));
    ASSERT_EQ(player.heard.size(), 1u);
    for (int s = 0; s < 5; ++s) second(std::nullopt);
    for (double north = 440; north < 500; north += 8) second(gpsFix(-500, north, 0, 8));
    const std::size_t turned = player.heard.size();
    for (double east = -492; east < -400; east += 8) second(gpsFix(east, 500, 90, 8));
    ASSERT_TRUE(log.contains("rebuildPath done"));
    const Phrase right{5, 64};
    const auto namesRight = [&](const MixerSounds::Heard& h) {
        return std::search(h.ids.begin(), h.ids.end(), right.begin(), right.end()) != h.ids.end();
    };
    ASSERT_GT(turned, 1u);
    EXPECT_TRUE(namesRight(player.heard[1])) << ::testing::PrintToString(player.heard[1].ids);
    EXPECT_EQ(std::count_if(player.heard.begin() + 1, player.heard.begin() + turned, namesRight), 1)
        << ::testing::PrintToString(events());
}

// Main Street east over the roundabout at 18 to 50 km/h, a fix a second:
// within 100 m of the ring one phrase names it (with the exit), and one its
// exit, said on entering. Said 5 m before the exit as well, "exit" came
// twice, a second or so apart in a small ring.
TEST_F(Town_, TheRoundaboutAndItsExitAreSaidOnceNearBy) {
    for (const float speed : {5.0f, 8.0f, 14.0f}) {
        SCOPED_TRACE(testing::Message() << speed << " m/s");
        MixerSounds player;
        KVMapEventsHandler guide(config.root(), *atlas, route, &player, &styles, clock);
        std::size_t near = 0; // the phrases heard before the car came within 100 m
        const auto second = [&](double east, double north, float course) {
            guide.onFix(true, gpsFix(east, north, course, speed));
            for (int i = 0; i < 20; ++i) {
                {
                    Positioning::CarStateLock::Unit unit(guide.lock());
                    guide.onFrame();
                }
                clock.ticks += 50;
                player.advance50ms();
            }
            if (east < -130) near = player.heard.size();
        };
        for (double east = -900; east < -30; east += speed) second(east, 0, 90);
        for (double angle = 180; angle <= 360; angle += speed / 30 * 180 / std::numbers::pi) {
            const double a = angle * std::numbers::pi / 180;
            second(30 * std::cos(a), 30 * std::sin(a), static_cast<float>(std::fmod(720 - angle, 360)));
        }
        for (double east = 38; east < 300; east += speed) second(east, 0, 90);
        std::vector<std::uint32_t> first;
        for (std::size_t i = near; i < player.heard.size(); ++i)
            if (const auto named = namedManoeuvres(player.heard[i].ids); !named.empty()) first.push_back(named.front());
        EXPECT_EQ(std::count(first.begin(), first.end(), 19u), 1) << ::testing::PrintToString(first);
        EXPECT_EQ(std::count(first.begin(), first.end(), 4u), 1) << ::testing::PrintToString(first);
    }
}

TEST_F(Town_, TheDemoCarStartsAtTheStartAndKeepsTheDemoSpeed) {
    RouteSimulator demo(*handler, 20.0f);
    const Map::Point start = carStateAt(PathPosition(route, true)).position.toGlobal();
    EXPECT_EQ(Map::Point(demo.fix().x, demo.fix().y), start) << "before the first step";
    EXPECT_FLOAT_EQ(demo.fix().speed, 20.0f);
    const Map::Point near = townPoint(-900, 0);
    EXPECT_LT(std::hypot(double(start.x) - near.x, double(start.y) - near.y), 50.0);
    // Along straight Main Street, 0.5 s at 20 m/s: 10 m east.
    for (const std::uint32_t ms : {500u, 500u, 250u}) {
        const Positioning::Fix before = demo.fix();
        demo.step(clock.ticks += ms);
        const double metresPerDegree = 6371000.0 * std::numbers::pi / 180;
        const double east = (demo.fix().longitude - before.longitude) * metresPerDegree *
                            std::cos(before.latitude * std::numbers::pi / 180);
        const double north = (demo.fix().latitude - before.latitude) * metresPerDegree;
        EXPECT_NEAR(std::hypot(east, north), ms * 0.02, 0.3) << ms;
        EXPECT_NEAR(demo.fix().heading, 90.0f, 5.0f);
    }
}

} // namespace
} // namespace Guidance

namespace Guidance {
namespace {

// After the finish, with the receiver still live at it, the driver starts
// the demo (which turns guidance on, as the map page does): the demo owns
// the route while it drives. Guidance over the real car would find it off
// the route's start, log a bad start and rebuild the route from the car,
// and the demo, its route changed under it, would stand still.
TEST_F(Town_, TheDemoAfterAnArrivalDrives) {
    for (double east = -900; east <= 960; east += 15) drive(east, 0, 90, 15);
    ASSERT_TRUE(handler->arrived());
    log.clear();
    RouteSimulator demo(*handler, 20.0f);
    handler->setNaviOn(true);
    handler->startNavigation();
    const Map::LocalPoint start = demo.cursor().levelPoint();
    for (int i = 0; i < 20; ++i) {
        handler->onFix(true, gpsFix(960, 0, 90, 0));
        for (int frame = 0; frame < 10; ++frame) {
            {
                Positioning::CarStateLock::Unit unit(handler->lock());
                handler->onFrame();
            }
            demo.step(clock.ticks += 100);
        }
    }
    EXPECT_FALSE(log.contains("navi event:BadStart_OutOfPath"));
    EXPECT_FALSE(log.contains("rebuildPath"));
    EXPECT_FALSE(demo.routeChanged());
    EXPECT_NE(demo.cursor().levelPoint(), start);
}

// A demo that has stopped leaves nothing of its own on the route: a route
// changed afterwards writes to no flag of it, and guidance of the real car
// may rebuild again.
TEST_F(Town_, AStoppedDemoLeavesTheRouteAsItWas) {
    const std::size_t flags = route.changeFlags.size();
    {
        RouteSimulator demo(*handler, 20.0f);
        demo.step(clock.ticks += 100);
        EXPECT_GT(route.changeFlags.size(), flags);
    }
    EXPECT_EQ(route.changeFlags.size(), flags);
    route.markChanged();
    for (double east = -900; east <= -600; east += 15) drive(east, 0, 90, 15);
    for (double north = 15; north <= 90; north += 15) drive(-500, north, 0, 15);
    EXPECT_TRUE(log.contains("rebuildPath done"));
}

// A car off a two-leg route beside its second leg: the rebuilt route leads
// to the first leg's end and keeps the second, its parts ending at its last
// point (cut at the car's place, they ended at the first).
TEST_F(Town_, ARebuildKeepsTheLegsAfterThePointItLeadsTo) {
    PathPoint park;
    Map::Routing::RoadBinding bound;
    ASSERT_TRUE(nearestRoadPoint(*atlas, townPoint(-500, 300), park, bound));
    Path leg;
    ASSERT_TRUE(Map::Routing::computePath(*atlas, *config.root(), route.points.back(), park, leg, false));
    route.appendPath(leg);
    const PathPoint east = route.points[1];
    for (int i = 0; i < 5; ++i) drive(-420, 300, 0, 10);
    ASSERT_EQ(events(), (std::vector<std::string>{"navi event:BadStart_OutOfPath", "rebuildPath start",
                                                  "rebuildPath done"}));
    ASSERT_EQ(route.points.size(), 3u);
    EXPECT_EQ(route.legCount, 2);
    EXPECT_TRUE(route.points[1].roadPoint.x == east.roadPoint.x &&
                route.points[1].roadPoint.y == east.roadPoint.y);
    const Map::LocalPoint end = PathPosition(route, false).levelPoint();
    const LevelPoint& last = route.points.back().roadPoint;
    ASSERT_EQ(PathPosition(route, false).partLevel(), last.level);
    EXPECT_LT(std::hypot(end.x - last.x, end.y - last.y), 2.0f) << "the parts end at the last route point";
}

// The same warned object listed by two maps of the atlas (one point, two map
// ids) is said once; the next object along the route is said too.
TEST_F(Town_, AnObjectTwoMapsHoldIsWarnedOfOnce) {
    constexpr std::uint16_t camera = 0x7F01;
    styles.daySet().poiStyles[camera].soundId = 150;
    styles.selectSet(true);
    styles.setPoiTypeFlags(camera, true, true);
    const MapPoi pois[] = {{1, townPoint(-600, 20), camera}, {2, townPoint(-600, 20), camera},
                           {1, townPoint(300, 20), camera}};
    ObjWarn warn(config.root(), handler.get(), &route, &styles, clock,
                 [&](const PathPart&, const std::array<std::int32_t, 4>&,
                     const std::function<void(const MapPoi&)>& visit) {
                     for (const MapPoi& poi : pois) visit(poi);
                 });
    for (PathPosition car(route, true); !car.isAtEnd(); car.advanceMetres(15), clock.ticks += 1000)
        warn.update(car);
    ASSERT_EQ(log.count("obj warn event:new obj"), 3u);
    std::vector<Phrase> warnings;
    for (const auto& [priority, phrase] : sounds.played)
        if (priority == 3) warnings.push_back(phrase);
    ASSERT_EQ(warnings.size(), 2u);
    for (const Phrase& phrase : warnings) EXPECT_NE(std::ranges::find(phrase, 150), phrase.end());

    // An object the car has reached, or passed, is named without a distance.
    struct Quiet : KVMapObjWarnEventsHandler {
        void onObjWarnEvent(int, ObjWarn&, const PathPosition&) override {}
    } quiet;
    const MapPoi ahead{3, townPoint(600, 20), camera};
    ObjWarn alone(config.root(), &quiet, &route, &styles, clock,
                  [&](const PathPart&, const std::array<std::int32_t, 4>&,
                      const std::function<void(const MapPoi&)>& visit) { visit(ahead); });
    PathPosition car(route, true);
    for (; !car.isAtEnd() && alone.current() == nullptr; car.advanceMetres(15), clock.ticks += 1000) alone.update(car);
    ASSERT_NE(alone.current(), nullptr);
    for (const int past : {0, 20}) {
        PathPosition at = alone.current()->position;
        at.advanceMetres(static_cast<std::uint16_t>(past));
        sounds.played.clear();
        handler->onObjWarnEvent(NewObject, alone, at);
        ASSERT_EQ(sounds.played.size(), 1u) << past;
        EXPECT_EQ(sounds.played.front().second, Phrase{150}) << past << " m past it";
        handler = std::make_unique<KVMapEventsHandler>(config.root(), *atlas, route, &sounds, &styles, clock);
    }
}

// A turn's warning that waited for the player and was then said ends the
// new route's claim to be cut short: the next warning waits for the phrase
// that plays, as any other does.
TEST_F(Town_, AWaitingWarningSaidLaterCutsNothing) {
    struct Player : Sounds {
        bool accepts(int priority) const override { return playing < priority; }
        bool play(int priority, const Phrase& ids) override { return playOver(priority, 0, ids); }
        bool playOver(int priority, int cuts, const Phrase& ids) override {
            if (!accepts(priority) && playing > cuts) return false;
            cut += playing != 0;
            playing = priority;
            return Sounds::play(priority, ids);
        }
        int playing = 0; // the priority of the phrase playing; 0: none
        int cut = 0;
    } player;
    handler = std::make_unique<KVMapEventsHandler>(config.root(), *atlas, route, &player, &styles, clock);
    for (double east = -900; east <= -720; east += 15) drive(east, 0, 90, 15);
    drive(-720, 0, 90, 0);
    ASSERT_TRUE(handler->navi().running() && handler->navi().maneuverKnown());
    const auto frame = [&] {
        Positioning::CarStateLock::Unit unit(handler->lock());
        ASSERT_TRUE(unit);
        handler->onFrame();
    };
    // A new route and its turn, said over the start.
    handler->onNaviEvent(OutOfPath, handler->navi(), nullptr);
    frame();
    ASSERT_EQ(log.count("rebuildPath done"), 1u);
    ASSERT_EQ(player.played.back().second.front(), Voice::RouteRebuilt);
    player.cut = 0;
    // The turn's warning waits for it, and is said once it ended.
    const std::size_t said = player.played.size();
    handler->onNaviEvent(Rotate, handler->navi(), nullptr);
    EXPECT_EQ(player.played.size(), said);
    player.playing = 0;
    frame();
    ASSERT_EQ(player.played.size(), said + 1);
    // Past the turn the next warning waits for the phrase that plays.
    const std::uint32_t type = 1;
    handler->onNaviEvent(RotateEnd, handler->navi(), &type);
    handler->onNaviEvent(Rotate, handler->navi(), nullptr);
    EXPECT_EQ(player.played.size(), said + 1);
    EXPECT_EQ(player.cut, 0);
}

// A phrase that named the turn counts as heard while it plays and once it
// played to its end; cut off by a later list (the next phrase said over
// it), the turn's next warning is still said, though it can no longer end
// before the turn.
TEST_F(Town_, APhraseCutOffDoesNotCountAsNamed) {
    struct Player : Sounds {
        double seconds(const Phrase&) const override { return 60.0; }
        std::uint32_t lastList() const override { return static_cast<std::uint32_t>(played.size()); }
        ListEnd listEnd(std::uint32_t) const override { return end; }
        ListEnd end = ListEnd::Playing;
    };
    for (const auto& [end, said] :
         {std::pair{ListEnd::Playing, 0u}, {ListEnd::PlayedOut, 0u}, {ListEnd::Cut, 1u}}) {
        SCOPED_TRACE(static_cast<int>(end));
        Player player;
        handler = std::make_unique<KVMapEventsHandler>(config.root(), *atlas, route, &player, &styles, clock);
        for (double east = -900; east <= -720; east += 15)
            drive(east, 0, 90, 15);
        ASSERT_TRUE(handler->navi().running() && handler->navi().maneuverKnown());
        ASSERT_FALSE(player.played.empty());
        player.end = end;
        const std::size_t before = player.played.size();
        handler->onNaviEvent(Rotate, handler->navi(), nullptr);
        EXPECT_EQ(player.played.size(), before + said);
    }
}

} // namespace
} // namespace Guidance

namespace Guidance {
namespace {

// East 200 m, then north 200 m, in parts of 100 m (level 0: a unit a
// metre); guidance's place 50 m past the corner. The car is drawn on the
// route where it lies within 4 m of a part around that place, but not where
// its foot on a part lies at the part's junction end: that is a part the
// car has not reached, or has left. Drawn there it waited at the junction
// while the tracker carried it on toward it (two parts behind guidance's
// place in a roundabout), or along a road beside the route, for a second.
TEST(ShownCar, IsDrawnOnTheRouteButNotWaitingAtAJunction) {
    RouteTest::RouteAtlas town;
    const auto at = [](double east, double north) { return Map::LocalPoint{float(512 + east), float(1536 + north)}; };
    Path path;
    path.points.push_back(town.point(at(0, 0)));
    for (const auto& [from, to] : {std::pair{at(0, 0), at(100, 0)}, {at(100, 0), at(200, 0)},
                                   {at(200, 0), at(200, 100)}, {at(200, 100), at(200, 200)}})
        path.appendPart(town.part({from, to}));
    path.points.push_back(town.point(at(200, 200)));
    path.legCount = 1;
    PathPosition place = PathPosition::onPart(path, 2, true);
    place.advanceMetres(50);
    const Map::LevelFrame frame = Map::LevelFrame::of(town.level(0));
    const struct {
        const char* what;
        Map::LocalPoint car, drawn;
    } rows[] = {
        {"on the route", at(200, 30), at(200, 30)},
        {"2 m beside it", at(150, -2), at(150, 0)},
        {"3 m short of the parts looked at", at(97, 0), at(97, 0)},
        {"3 m on past the corner", at(203, 0), at(203, 0)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Positioning::CarState tracked{true, 0.0f, {frame, row.car.x, row.car.y}, true, 0.9f};
        const Map::Point drawn = shownCar(place, tracked).position.toGlobal();
        const Map::Point expected = frame.toGlobal(row.drawn);
        EXPECT_NEAR(drawn.x, expected.x, frame.unit());
        EXPECT_NEAR(drawn.y, expected.y, frame.unit());
    }
}

} // namespace
} // namespace Guidance
