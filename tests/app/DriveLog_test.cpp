// Ten minutes of driving Monaco at log severity Info through the whole
// program on simulated time: a receiver sends a second of NMEA (RMC, GGA,
// GSA, GSV) through the replay port, the engine draws ten frames of the map
// page a second on the same clock, and the log is read second by second.

#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "map/KVAtlas.h"
#include "map/LevelFrame.h"
#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "positioning/Clock.h"
#include "positioning/ReplayPortSystem.h"
#include "routing/AtlasRoute.h"
#include "routing/PathPosition.h"
#include "routing/RouteComputation.h"
#include "render/fdMapRenderer.h"
#include "screens/fdPageMap.h"
#include "ui/fdPage.h"
#include "tests/positioning/NmeaTestSupport.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestName.h"
#include "ui/ButtonBindings.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"
#include "userdata/fdTrackManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

struct DriveClock : Positioning::Clock {
    // Each reading moves the clock on by perReadMs (time that passes while
    // the program works).
    std::uint32_t ticksMs() const override { return ticks += perReadMs; }
    Positioning::DateTime localTime() const override {
        const std::uint32_t s = ticks / 1000;
        return {7,
                12,
                2026,
                static_cast<std::uint8_t>(10 + s / 3600),
                static_cast<std::uint8_t>(s / 60 % 60),
                static_cast<std::uint8_t>(s % 60),
                0};
    }
    mutable std::uint32_t ticks = 1000;
    std::uint32_t perReadMs = 0;
};

// One second of the receiver: a fix, a fix-less report, or nothing at all.
struct Second {
    enum Kind { Fix, NoFix, Silent } kind = Fix;
    Map::Point at;
    float metresPerSecond = 0.0f;
    float courseDegrees = 0.0f;
};

// What a receiver sends at `seconds` (the time of day counts from 10:00:00),
// in its way of sending (RMC before GGA unless told).
std::string nmea(const Second& s, double seconds,
                 PositioningTest::Receiver receiver = PositioningTest::Receiver::RmcFirst) {
    using PositioningTest::line;
    const int n = static_cast<int>(seconds);
    if (s.kind == Second::Silent) return {};
    const std::string time = Core::format("%02d%02d%02d.00", 10 + n / 3600, n / 60 % 60, n % 60);
    if (s.kind == Second::NoFix)
        return line("GPRMC," + time + ",V,,,,,,,071226,,,N") +
               line("GPGGA," + time + ",,,,,0,00,99.9,,M,,M,,") +
               line("GPGSA,A,1,,,,,,,,,,,,,99.9,99.9,99.9") + line("GPGSV,1,1,02,05,30,120,18,09,60,200,21");
    return PositioningTest::epoch(receiver, seconds, s.at, s.metresPerSecond, s.courseDegrees);
}

// The program folder: the build's data set with Monaco, and a receiver at
// COM 7 switched on.
struct MonacoFolder : TestSupport::ProgramFolder {
    MonacoFolder() : ProgramFolder("monaco") {
        std::ofstream(data("config.xml"))
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
               "<var name=\"log_severity\" value=\"3\"/>\n<var name=\"atlas\" value=\"maps\\monaco\"/>\n"
               "<var name=\"auto_dn\" value=\"0\"/>\n<var name=\"gps_port\" value=\"7\"/>\n"
               "<var name=\"gps_speed\" value=\"4800\"/>\n<var name=\"gps_enable\" value=\"1\"/>\n"
               "<var name=\"map_sensors_visible\" value=\"1\"/>\n</config>\n";
    }
};

// The engine on the test's clock, its receiver one the test feeds (set once
// init made it).
void driveWith(engine::fdEngine& e, DriveClock& clock, Positioning::ReplayPortSystem*& receiver) {
    e.setClock(clock);
    e.setPortSystemMaker([&receiver](const Positioning::MessageTexts*) {
        auto replay = std::make_unique<Positioning::ReplayPortSystem>();
        receiver = replay.get();
        return replay;
    });
}

// The seconds of a drive, built leg by leg, with what the driver does on
// the way (a route chosen) at the second it happens.
struct Script {
    std::vector<Second> seconds;
    std::map<std::size_t, std::function<void()>> actions;

    void stand(int count, Second::Kind kind = Second::Fix) {
        Second s = seconds.empty() ? Second{} : seconds.back();
        s.kind = kind;
        s.metresPerSecond = 0.0f;
        for (int i = 0; i < count; ++i)
            seconds.push_back(s);
    }
    // Along `path` from `fromMetres` for `metres` (all of it when 0), a fix
    // a second at `speed` metres a second, against the drive order when
    // `backward`.
    void drive(const Path& path, double speed, std::uint32_t fromMetres = 0, std::uint32_t metres = 0,
               bool backward = false) {
        std::vector<Second> leg;
        PathPosition at(path, true);
        for (std::uint32_t skipped = 0; skipped < fromMetres && !at.isAtEnd(); skipped += 10)
            at.advanceMetres(10);
        // Whole metres a step, the fractions carried on.
        double carried = 0.0;
        const auto step = [&] {
            carried += speed;
            const auto whole = static_cast<std::uint16_t>(carried);
            carried -= whole;
            at.advanceMetres(whole);
        };
        for (double done = 0; !at.isAtEnd() && (metres == 0 || done <= metres); done += speed, step()) {
            const Positioning::CarState car = Guidance::carStateAt(at);
            float course = car.heading * 180.0f / 3.14159265f + (backward ? 180.0f : 0.0f);
            leg.push_back({Second::Fix, car.position.toGlobal(), static_cast<float>(speed),
                           std::fmod(course + 360.0f, 360.0f)});
        }
        if (backward) std::reverse(leg.begin(), leg.end());
        seconds.insert(seconds.end(), leg.begin(), leg.end());
    }
    // The action runs `after` seconds from the end of the script so far.
    void at(std::function<void()> action, std::size_t after = 0) {
        actions[seconds.size() + after] = std::move(action);
    }
};

constexpr std::size_t DriveSeconds = 600;
constexpr char Mark[] = "-- simulated second %d --";

// The lines of each simulated second logged twice or more. A line names a
// state: the same text, numbers included, is the same state, and a count,
// a file or an index that differs makes it another. Guidance's events come
// in pairs that end each other: leaving the route and being back on one
// ("OutOfPath", "BadStart_OutOfPath", "PathChanged_OutOfPath" and
// "BackToPath"), a manoeuvre coming and passed ("Rotate" and "RotateEnd").
// After the other of its pair an event names a new state (two turns a few
// metres apart pass in one second; a car may leave a route rebuilt for it
// at once). The sound player's list of a phrase ("play sounds begin: %d",
// a line a sound, "play sounds end") is one record. Anything else twice in
// a second, an action such as a rebuild included, is a repeat.
std::map<std::string, std::size_t> repeatsBySecond(const std::vector<std::string>& lines,
                                                   std::size_t& seconds) {
    std::map<std::string, std::size_t> repeats; // text -> seconds in which it came more than once
    std::map<std::string, int> inSecond;
    static const std::map<std::string, int> pairs = {{"navi event:OutOfPath", 0},
                                                     {"navi event:BadStart_OutOfPath", 0},
                                                     {"navi event:PathChanged_OutOfPath", 0},
                                                     {"navi event:BackToPath", 0},
                                                     {"navi event:Rotate", 1},
                                                     {"navi event:RotateEnd", 1}};
    std::string lastOfPair[2];
    bool started = false;
    const auto endSecond = [&] {
        for (const auto& [text, count] : inSecond)
            if (count > 1) ++repeats[text];
        inSecond.clear();
    };
    seconds = 0;
    std::string phrase;
    for (const std::string& text : lines) {
        if (text.starts_with("play sounds begin") || !phrase.empty()) {
            phrase += phrase.empty() ? text : " / " + text;
            if (text != "play sounds end") continue;
        }
        const std::string line = phrase.empty() ? text : std::exchange(phrase, {});
        int n = 0;
        if (std::sscanf(line.c_str(), "-- simulated second %d --", &n) == 1) {
            if (started) ++seconds;
            endSecond();
            started = true;
            continue;
        }
        if (!started) continue;
        if (const auto pair = pairs.find(line); pair != pairs.end()) {
            if (line != lastOfPair[pair->second]) inSecond.erase(line);
            lastOfPair[pair->second] = line;
        }
        ++inSecond[line];
    }
    return repeats;
}

// Ten minutes from Fontvieille: satellites found, a route to Rue Grimaldi,
// a red light, the receiver silent for a while, a wrong turn and the
// routes rebuilt for it, a tunnel without a fix, the arrival; a route to
// the Casino driven with a U-turn back against it, the GPS and sensors
// pages looked at on the way; a route back. Recording a track, sensors
// shown, the map page following the car at ten frames a second.
TEST(DriveLog, TenMinutesAtInfoLogNoLineTwiceInASecond) {
    MonacoFolder folder;
    TestSupport::CaptureLogger log(Log::Critical);
    DriveClock clock;
    engine::fdEngine e(folder.wide());
    Positioning::ReplayPortSystem* receiver = nullptr;
    driveWith(e, clock, receiver);
    ASSERT_EQ(e.init(), 0);
    ASSERT_EQ(Log::currentSeverity(), Log::Info) << "log_severity from config.xml";
    ASSERT_NE(receiver, nullptr);
    ASSERT_TRUE(receiver->isPortOpen()) << "the receiver is switched on at start";
    ASSERT_NE(e.atlas(), nullptr);
    Map::KVAtlas& atlas = *e.atlas();
    Core::ConfigNode& config = *e.configRoot();

    const auto point = [](float lat, float lon) { return Map::Projection::fromGeo(lat, lon); };
    const auto compute = [&](Map::Point from, Map::Point to, Path& out) {
        PathPoint a, b;
        Map::Routing::RoadBinding bound;
        return Guidance::nearestRoadPoint(atlas, from, a, bound) &&
               Guidance::nearestRoadPoint(atlas, to, b, bound) &&
               Map::Routing::computePath(atlas, config, a, b, out, false);
    };
    const auto routeTo = [&](Map::Point from, Map::Point to) {
        return [&, from, to] {
            ASSERT_TRUE(e.route()->startPathAtLocation(atlas, from));
            ASSERT_TRUE(e.route()->addPathPointAtLocation(atlas, config, to));
        };
    };
    // Fontvieille, Rue Grimaldi, the Casino; the wrong turn leads to a point
    // 300 m beside the first route's middle.
    const Map::Point a = point(43.726414f, 7.416096f), b = point(43.734303f, 7.418561f),
                     c = point(43.739700f, 7.427600f);
    Path ab, first, second, bc, ca;
    ASSERT_TRUE(compute(a, b, ab));
    PathPosition middle(ab, true);
    middle.advanceMetres(
        static_cast<std::uint16_t>(PathPosition::distanceTo(middle, PathPosition(ab, false)) / 2));
    const Map::Point mid = Map::LevelFrame::of(*middle.partLevel()).toGlobal(middle.levelPoint());
    const Map::Point aside{mid.x + static_cast<std::int32_t>(300 * Map::Projection::unitsPerMeterAt(mid)),
                           mid.y};
    ASSERT_TRUE(compute(a, aside, first));
    ASSERT_TRUE(compute(aside, b, second));
    ASSERT_TRUE(compute(b, c, bc));
    ASSERT_TRUE(compute(c, a, ca));

    Script script;
    // Satellites being found where the drive starts, then a fix there.
    script.seconds.push_back(
        {Second::NoFix, Guidance::carStateAt(PathPosition(first, true)).position.toGlobal()});
    script.stand(14, Second::NoFix);
    script.stand(10);
    script.at(routeTo(a, b));
    script.stand(5);
    // The wrong turn: the first route, then back from its end to B, with a
    // red light, the receiver silent for a while and a tunnel without a fix.
    const std::uint32_t firstMetres =
        PathPosition::distanceTo(PathPosition(first, true), PathPosition(first, false));
    script.drive(first, 11, 0, firstMetres / 3);
    script.stand(30);
    script.drive(first, 11, firstMetres / 3 + 11, firstMetres / 3);
    script.stand(12, Second::Silent);
    script.drive(first, 11, 2 * firstMetres / 3 + 22, 0);
    script.drive(second, 11, 0, 200);
    const std::size_t tunnel = script.seconds.size();
    script.drive(second, 11, 211, 0);
    for (std::size_t i = tunnel; i < tunnel + 10 && i < script.seconds.size(); ++i)
        script.seconds[i].kind = Second::NoFix;
    script.stand(20); // arrived
    script.at(routeTo(b, c));
    script.stand(5);
    // On towards the Casino, a U-turn back against the route (down a one-way
    // street the wrong way), and on again.
    script.drive(bc, 9, 0, 300);
    script.stand(10);
    script.drive(bc, 9, 100, 200, true);
    script.stand(5);
    // The satellites and the sensors looked at on the way, then the map.
    const auto show = [&](std::string name) {
        return [&e, name] {
            e.ui()->goToPageByName(name);
            ASSERT_NE(e.ui()->activePage(), nullptr);
            EXPECT_EQ(e.ui()->activePage()->name(), name);
        };
    };
    script.at(show("pageGPS"), 10);
    script.at(show("sensors"), 25);
    script.at(show("pageMap"), 40);
    script.drive(bc, 9, 100, 0);
    script.stand(10);
    script.at(routeTo(c, a));
    script.drive(ca, 12);
    script.stand(static_cast<int>(DriveSeconds));
    ASSERT_GE(script.seconds.size(), DriveSeconds);

    e.ui()->activatePage(e.ui()->findPage("pageMap"));
    auto* page = Screens::fdPageMap::instance();
    ASSERT_NE(page, nullptr);
    page->startTrackRecording();
    const std::uint64_t framesBefore = e.framesDrawn();
    const Guidance::Sensor* speed = e.sensors()->findSensor("speed");
    ASSERT_NE(speed, nullptr);
    std::uint32_t trackPoints = 0;
    int speedShown = 0;
    for (std::size_t s = 0; s < DriveSeconds; ++s) {
        Log::log(Log::Critical, Mark, static_cast<int>(s));
        if (const auto action = script.actions.find(s); action != script.actions.end()) action->second();
        receiver->feed(nmea(script.seconds[s], static_cast<int>(s)));
        // The main loop's turn: pending windows, a frame, the route and the
        // view kept.
        for (int frame = 0; frame < 10; ++frame) {
            e.ui()->applyPendingChanges();
            clock.ticks += 100;
            e.redraw();
            e.keepRouteAndView(clock.ticks);
        }
        speedShown += speed->valueText() != u"-";
    }
    Log::log(Log::Critical, Mark, static_cast<int>(DriveSeconds));
    for (std::size_t i = 0; i < e.tracks()->trackCount(); ++i)
        if (e.tracks()->track(i).recording) trackPoints = e.tracks()->track(i).pointCount;
    const std::uint64_t frames = e.framesDrawn() - framesBefore;
    page->stopTrackRecording();
    e.shutdown();
    EXPECT_EQ(folder.unlistedSettings(), std::set<std::string>{}) << "settings missing from app/SettingKeys.cpp";

    // The drive did what it says.
    EXPECT_GT(frames, DriveSeconds) << "the map page was drawn";
    EXPECT_GT(trackPoints, 100u);
    EXPECT_GT(speedShown, 300);
    for (const char* event : {"navi event:Start", "navi event:OutOfPath", "navi event:BackwardMove",
                              "navi event:ArriveLastPoint", "rebuildPath done", "play sounds end"})
        EXPECT_GE(log.count(event), 1u) << event;
    std::size_t seconds = 0;
    const auto repeats = repeatsBySecond(log.snapshot(), seconds);
    EXPECT_EQ(seconds, DriveSeconds);
    std::ostringstream offenders;
    for (const auto& [text, count] : repeats)
        offenders << "\n  in " << count << " seconds: " << text;
    EXPECT_TRUE(repeats.empty()) << "lines logged more than once in a simulated second:" << offenders.str();
}

// The shown widget below `window` whose text is `label`; null when none is.
const Ui::fdWindowBase* shownWith(const Ui::fdWindowBase& window, const std::u16string& label) {
    for (const Ui::fdWindowBase* child : window.children()) {
        if (!child->visible()) continue;
        const auto* text = dynamic_cast<const Ui::fdStatic*>(child);
        if (text != nullptr && text->text() == label) return child;
        if (const Ui::fdWindowBase* found = shownWith(*child, label)) return found;
    }
    return nullptr;
}

// Routes set from the map over three starts while a receiver drives on:
// "To", "Then" onto the stored route, "To" again. The sensors read guidance
// in the frame after each command: its place must lie on the route as it is
// now (it pointed into replaced parts, and the frame threw), and "To" makes
// a route of two points from the car.
TEST(DriveLog, RoutesSetFromTheMapOverRestartsLeaveNoPlaceBehind) {
    MonacoFolder folder;
    TestSupport::CaptureLogger log(Log::Critical);
    DriveClock clock;
    const auto point = [](float lat, float lon) { return Map::Projection::fromGeo(lat, lon); };
    const Map::Point taps[] = {point(43.739700f, 7.427600f), point(43.734303f, 7.418561f),
                               point(43.731500f, 7.420000f), point(43.726414f, 7.416096f)};
    std::vector<Second> drive;
    std::size_t second = 0;
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(testing::Message() << "start " << start);
        engine::fdEngine e(folder.wide());
        Positioning::ReplayPortSystem* receiver = nullptr;
        driveWith(e, clock, receiver);
        ASSERT_EQ(e.init(), 0);
        ASSERT_NE(receiver, nullptr);
        if (drive.empty()) {
            Path path;
            PathPoint a, b;
            Map::Routing::RoadBinding bound;
            ASSERT_TRUE(Guidance::nearestRoadPoint(*e.atlas(), point(43.738400f, 7.424600f), a, bound) &&
                        Guidance::nearestRoadPoint(*e.atlas(), point(43.730000f, 7.420000f), b, bound) &&
                        Map::Routing::computePath(*e.atlas(), *e.configRoot(), a, b, path, false));
            Script script;
            script.drive(path, 3);
            drive = script.seconds;
        }
        e.ui()->activatePage(e.ui()->findPage("pageMap"));
        auto* page = Screens::fdPageMap::instance();
        ASSERT_NE(page, nullptr);
        const Guidance::fdMapNavi& navi = e.mapEvents()->navi();
        const Path& route = e.route()->path();
        const auto seconds = [&](int count) {
            for (int i = 0; i < count; ++i, ++second) {
                receiver->feed(nmea(drive.at(std::min(second, drive.size() - 1)), static_cast<int>(second)));
                for (int frame = 0; frame < 10; ++frame) {
                    e.ui()->applyPendingChanges();
                    clock.ticks += 100;
                    EXPECT_NO_THROW(e.redraw()) << "second " << second;
                    e.keepRouteAndView(clock.ticks);
                }
            }
        };
        // On a part of the route as it is.
        const auto onRoute = [&route](const PathPosition& at) {
            return at.isAtEnd() || (at.path == &route && at.cursor.part == &route.parts.at(at.part) &&
                                    at.cursor.polyline < route.parts[at.part].polylines.size());
        };
        // The driver taps the map, then the button of the pop-up that shows
        // the label, where it is on the screen.
        const auto command = [&](Map::Point at, const std::u16string& label) {
            page->mapPointAction(at);
            e.ui()->applyPendingChanges();
            const Ui::fdWindowBase* button = shownWith(*page, label);
            ASSERT_NE(button, nullptr) << Core::wideToUtf8(label);
            SDL_Event tap{};
            tap.button.button = SDL_BUTTON_LEFT;
            tap.button.x = static_cast<Uint16>(button->rect().x + button->rect().w / 2);
            tap.button.y = static_cast<Uint16>(button->rect().y + button->rect().h / 2);
            for (const Uint8 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
                tap.type = type;
                e.dispatch(tap);
            }
            e.ui()->applyPendingChanges();
            EXPECT_EQ(shownWith(*page, label), nullptr) << "the pop-up closes";
            // Guidance's places are not known until its next step, or lie on
            // the route as it is.
            EXPECT_TRUE(!navi.positionKnown() ||
                        (onRoute(navi.position()) && (!navi.maneuverKnown() || onRoute(navi.maneuverPosition()))))
                << Core::wideToUtf8(label);
            seconds(2);
        };
        seconds(4);
        if (start > 0) {
            EXPECT_TRUE(navi.running()) << "guidance on the stored route";
            command(taps[start], u"Then");
            EXPECT_EQ(route.points.size(), 3u) << "\"Then\" adds a leg to the stored route";
        }
        command(taps[start + 1], u"To");
        ASSERT_EQ(route.points.size(), 2u);
        const LevelPoint& from = route.points[0].roadPoint;
        const Map::Point car = Map::LevelFrame::of(*from.level).toGlobal({from.x, from.y});
        const Map::Point fix = drive.at(std::min(second - 1, drive.size() - 1)).at;
        EXPECT_LT(std::hypot(double(car.x) - fix.x, double(car.y) - fix.y),
                  60 * Map::Projection::unitsPerMeterAt(fix))
            << "\"To\" starts at the car";
        seconds(2);
        e.shutdown();
    }
    EXPECT_EQ(log.count("fatal error"), 0u);
}

// The engine on Monaco, on the test's clock, with the receiver the test
// feeds; started when `started`.
struct MonacoEngine {
    MonacoEngine() {
        driveWith(e, clock, port);
        started = e.init() == 0 && port != nullptr;
    }
    MonacoFolder folder;
    DriveClock clock;
    engine::fdEngine e{folder.wide()};
    Positioning::ReplayPortSystem* port = nullptr;
    bool started = false;
};

// A drive that starts standing at the start of the route from `from` to
// `to` (into `route`; empty when there is none): the driver sets that route
// at 4 s, and the car stands 3 s more.
Script routeSetAtTheStart(engine::fdEngine& e, Map::Point from, Map::Point to, Path& route) {
    Map::KVAtlas& atlas = *e.atlas();
    PathPoint a, b;
    Map::Routing::RoadBinding bound;
    Script script;
    if (!Guidance::nearestRoadPoint(atlas, from, a, bound) || !Guidance::nearestRoadPoint(atlas, to, b, bound) ||
        !Map::Routing::computePath(atlas, *e.configRoot(), a, b, route, false))
        return script;
    script.seconds.push_back({Second::Fix, Guidance::carStateAt(PathPosition(route, true)).position.toGlobal()});
    script.stand(4);
    script.at([&e, from, to] {
        ASSERT_TRUE(e.route()->startPathAtLocation(*e.atlas(), from));
        ASSERT_TRUE(e.route()->addPathPointAtLocation(*e.atlas(), *e.configRoot(), to));
    });
    script.stand(3);
    return script;
}

// The bend benchmark's hairpin route at 25 km/h through the whole program,
// from each receiver: one that sends GGA alone (no speed, no course) had a
// frame of the map every 5 s, read 0 km/h and was told one phrase, never
// the arrival; so did one at ten fixes a second that sends no speed (GGA
// alone, RMC with empty speed and course fields). Every receiver's car is
// drawn anew every second it drives, its speed shows, each turn is passed
// and the arrival is said. The turn panel and the "To the turn" sensor show
// the same distance in every frame (the sensors were read before guidance's
// step, the panel after it: 10 m apart where the distance crossed a step
// between the two).
struct Sender {
    const char* name;
    PositioningTest::Receiver receiver;
    int hz;
};
const Sender senders[] = {{"RMC first", PositioningTest::Receiver::RmcFirst, 1},
                          {"GGA first", PositioningTest::Receiver::GgaFirst, 1},
                          {"GGA only", PositioningTest::Receiver::GgaOnly, 1},
                          {"empty course", PositioningTest::Receiver::EmptyCourse, 1},
                          {"GGA only, 10 Hz", PositioningTest::Receiver::GgaOnly, 10},
                          {"empty speed and course, 10 Hz", PositioningTest::Receiver::EmptySpeedAndCourse, 10}};

void PrintTo(const Sender& sender, std::ostream* out) { *out << sender.name; }

class Hairpin : public testing::TestWithParam<Sender> {};

TEST_P(Hairpin, EveryReceiverDrivesTheHairpinAndArrives) {
    const auto& [name, receiver, hz] = GetParam();
    SCOPED_TRACE(name);
    TestSupport::CaptureLogger log(Log::Critical);
    MonacoEngine run;
    ASSERT_TRUE(run.started);
    auto& [folder, clock, e, port, started] = run;
    Path hairpin;
    Script script = routeSetAtTheStart(e, Map::Projection::fromGeo(43.74168f, 7.42900f),
                                       Map::Projection::fromGeo(43.74300f, 7.42700f), hairpin);
    ASSERT_FALSE(hairpin.isEmpty());
    const std::size_t driveFrom = script.seconds.size();
    script.drive(hairpin, 7);
    const std::size_t driveTo = script.seconds.size();
    script.stand(10);
    e.ui()->activatePage(e.ui()->findPage("pageMap"));
    const Guidance::Sensor* speed = e.sensors()->findSensor("speed");
    ASSERT_NE(speed, nullptr);
    // The turn panel and the sensor of the distance to the turn, drawn
    // in one frame.
    const auto* turnPanel = dynamic_cast<const Ui::fdStatic*>(Screens::fdPageMap::instance()->findChild("rotate_textbox"));
    const auto* toTurn = dynamic_cast<const Ui::fdStatic*>(Screens::fdPageMap::instance()->findChild("sensor3"));
    ASSERT_TRUE(turnPanel != nullptr && toTurn != nullptr);
    int stillSeconds = 0, speedShown = 0, bothShown = 0;
    for (std::size_t s = 0; s < script.seconds.size(); ++s) {
        if (const auto action = script.actions.find(s); action != script.actions.end()) action->second();
        const std::uint64_t framesBefore = e.framesDrawn();
        // The second's epochs, on the way to the next second's place,
        // each followed by its share of the ten frames.
        const Second& next = script.seconds[std::min(s + 1, script.seconds.size() - 1)];
        for (int k = 0; k < hz; ++k) {
            Second epoch = script.seconds[s];
            epoch.at.x += static_cast<std::int32_t>((double(next.at.x) - epoch.at.x) * k / hz);
            epoch.at.y += static_cast<std::int32_t>((double(next.at.y) - epoch.at.y) * k / hz);
            port->feed(nmea(epoch, static_cast<double>(s) + double(k) / hz, receiver));
            for (int frame = 0; frame < 10 / hz; ++frame) {
                e.ui()->applyPendingChanges();
                clock.ticks += 100;
                e.redraw();
                e.keepRouteAndView(clock.ticks);
                if (!turnPanel->parent()->visible() || !toTurn->visible() || toTurn->text() == u"-") continue;
                ++bothShown;
                EXPECT_EQ(Core::wideToUtf8(turnPanel->text()), Core::wideToUtf8(toTurn->text()))
                    << "second " << s << ", epoch " << k << ", frame " << frame;
            }
        }
        // The seconds it drives, the filter settled after the first three.
        if (s < driveFrom + 3 || s >= driveTo) continue;
        stillSeconds += e.framesDrawn() == framesBefore;
        const double kmh = std::atof(Core::wideToUtf8(speed->valueText()).c_str());
        speedShown += kmh > 22.0 && kmh < 28.0;
    }
    e.shutdown();
    EXPECT_EQ(stillSeconds, 0) << "seconds without a frame while the car drove";
    EXPECT_GT(bothShown, 300);
    EXPECT_GT(speedShown, static_cast<int>(driveTo - driveFrom) * 3 / 4) << "about 25 km/h shown";
    EXPECT_GE(log.count("navi event:RotateEnd") + 1, 7u);
    EXPECT_EQ(log.count("navi event:ArriveLastPoint"), 1u);
}

INSTANTIATE_TEST_SUITE_P(DriveLog, Hairpin, testing::ValuesIn(senders),
                         [](const testing::TestParamInfo<Sender>& sender) {
                             return TestSupport::testName(sender.param.name);
                         });

// The value cell beside a shown caption of the sensors page ("title_k" and
// "text_k" of one row); null when the caption is not shown.
const Ui::fdStatic* valueBeside(const Ui::fdWindowBase& page, const std::u16string& caption) {
    const Ui::fdWindowBase* title = shownWith(page, caption);
    if (title == nullptr || title->parent() == nullptr || !title->name().starts_with("title_")) return nullptr;
    return dynamic_cast<const Ui::fdStatic*>(title->parent()->findChild("text_" + title->name().substr(6)));
}

// The hairpin route of issue 96 at 30 km/h, RMC and GGA once a second, the
// main loop driven as it runs: the UI timer's exposes at the page's period,
// the navigation pace's, and every event queued handled. 8 s into the drive
// the driver opens the sensors page, or the main menu, and stays there:
// guidance, which ran only in the map page's tick, fell silent (3 or 4
// phrases, no arrival) and the sensors page's "To the finish", "From the
// start" and "Time on the road" stood still. Behind every page the same
// turns are warned of and passed, the arrival comes, and the sensors page
// shows the drive as it goes. Guidance's frame runs once a pass of the loop,
// whichever exposes the pass took (on the GPS page, whose timer
// ticks every 500 ms, its expose and the pace's came in one pass and each
// ran it), and once a navigation period in a pass that a stream of events
// keeps going; the automatic day/night goes on behind the page too, on the
// pace's exposes alone.
TEST(DriveLog, GuidanceGoesOnBehindEveryPage) {
    std::map<std::string, std::size_t> onTheMap;
    for (const char* page : {"pageMap", "sensors", "menuMain", "pageGPS"}) {
        SCOPED_TRACE(page);
        TestSupport::CaptureLogger log(Log::Critical);
        MonacoEngine run;
        ASSERT_TRUE(run.started);
        auto& [folder, clock, e, port, started] = run;
        Ui::fdInterface& ui = *e.ui();
        ui.setClock([&clock] { return clock.ticks; });
        Path hairpin;
        Script script = routeSetAtTheStart(e, Map::Projection::fromGeo(43.7393f, 7.4275f),
                                           Map::Projection::fromGeo(43.7418f, 7.4330f), hairpin);
        ASSERT_FALSE(hairpin.isEmpty());
        const std::size_t driveFrom = script.seconds.size();
        // The sensors of the route lie on the page's second page.
        script.at([&, page] {
            ui.goToPageByName(page);
            if (std::string(page) == "sensors") ui.activePage()->childClicked("down");
        }, 8);
        script.drive(hairpin, 30 / 3.6);
        const std::size_t driveTo = script.seconds.size();
        script.stand(10);
        ui.activatePage(ui.findPage("pageMap"));
        // One period of the main loop: the timers' exposes, then every event
        // handled as the loop's passes do.
        std::uint32_t uiTickMs = clock.ticks;
        int passesFramedTwice = 0;
        const auto period = [&] {
            clock.ticks += 50;
            if (ui.timerRunning() && clock.ticks - uiTickMs >= ui.uiTimer().ms()) {
                Ui::fdInterface::timerCallback(ui.uiTimer().ms(), &ui);
                uiTickMs = clock.ticks;
            }
            if (e.navigationPaced()) e.navigationDue();
            ui.applyPendingChanges();
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
                const std::uint64_t before = e.navigationFrames();
                e.handleEvents(event);
                passesFramedTwice += e.navigationFrames() - before > 1;
            }
        };
        // A stream of events: taps and exposes one after another while the
        // program works on them, in one pass of the loop that lasts the
        // better part of a second. Guidance keeps its pace: it ran once in
        // the pass.
        const auto stream = [&] {
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            motion.motion.x = motion.motion.y = 5;
            for (int i = 0; i < 100; ++i) {
                if (i % 4 == 0) Threading::wakeMainLoop();
                else SDL_PushEvent(&motion);
            }
            SDL_Event event;
            if (!SDL_PollEvent(&event)) return std::uint64_t{0};
            const std::uint64_t before = e.navigationFrames();
            clock.perReadMs = 2;
            e.handleEvents(event);
            clock.perReadMs = 0;
            return e.navigationFrames() - before;
        };
        std::uint64_t streamFrames = 0;
        Ui::DayNight& dayNight = e.bindings()->dayNight();
        int nightsMissed = 0;
        std::map<std::string, std::set<std::u16string>> shown;
        for (std::size_t s = 0; s < script.seconds.size(); ++s) {
            if (const auto action = script.actions.find(s); action != script.actions.end()) action->second();
            port->feed(nmea(script.seconds[s], static_cast<double>(s)));
            // The renderer in the other mode than the switch's, as a sunset
            // leaves it: the switch's next step puts it right.
            if (s > driveFrom + 9 && s < driveTo) {
                e.mapRenderer()->setDayMode(!dayNight.day);
                dayNight.changed = true;
            }
            for (int k = 0; k < 20; ++k) period();
            if (s == driveFrom + 12 && std::string(page) != "pageMap") streamFrames = stream();
            nightsMissed += e.mapRenderer()->isDay() != dayNight.day;
            if (s < driveFrom + 9 || s >= driveTo || std::string(page) != "sensors") continue;
            ASSERT_EQ(ui.activePage()->name(), "sensors");
            for (const char* caption : {"To the finish", "From the start", "Time on the road"})
                if (const Ui::fdStatic* value = valueBeside(*ui.activePage(), Core::utf8ToWide(caption)))
                    shown[caption].insert(value->text());
        }
        EXPECT_EQ(ui.activePage()->name(), page);
        EXPECT_EQ(passesFramedTwice, 0);
        if (std::string(page) != "pageMap") {
            EXPECT_GE(streamFrames, 3u) << "guidance's frames in a stream of events";
        }
        EXPECT_EQ(nightsMissed, 0);
        e.shutdown();
        const std::size_t seconds = driveTo - driveFrom - 9;
        // The distances change every second or two; the time, in hours and
        // minutes, once a minute.
        for (const auto& [caption, values] : shown)
            EXPECT_GT(values.size(), caption == "Time on the road" ? 1 : seconds * 2 / 3) << caption;
        if (std::string(page) == "sensors") {
            EXPECT_EQ(shown.size(), 3u) << "the three sensors shown";
        }
        EXPECT_EQ(log.count("navi event:ArriveLastPoint"), 1u);
        for (const char* event : {"navi event:Rotate", "navi event:RotateEnd"}) {
            if (std::string(page) == "pageMap") {
                onTheMap[event] = log.count(event);
                EXPECT_GE(log.count(event), 5u) << event;
            } else {
                EXPECT_EQ(log.count(event), onTheMap[event]) << event << " as on the map page";
            }
        }
    }
}

} // namespace
