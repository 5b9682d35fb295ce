// Drives across Monaco with a player that plays every sound id for a second,
// as the phrase pack speaks them, and a wrong turn on the way: what the
// driver hears, and when, against where the car is.

#include "guidance/KVMapEventsHandler.h"

#include "core/Config.h"
#include "core/Format.h"
#include "guidance/Sensors.h"
#include "guidance/SoundMixer.h"
#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "render/RenderStyles.h"
#include "routing/RouteComputation.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/map/AtlasFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace Guidance {
namespace {

// The player's rules (a list starts only when nothing of its priority or
// higher plays) over samples of a second each; time passes in 50 ms steps.
struct SecondSounds : NaviSounds {
    struct Heard {
        int priority;
        Phrase ids;
        std::uint32_t startMs;
        std::uint32_t endMs = 0; // 0 while it plays, or when it was cut off
        bool cut = false;
        std::uint32_t turnMetres = 0; // guidance's distance to its turn then
    };
    explicit SecondSounds(const GuidanceTest::Clock& clock) : clock(clock) {}
    bool naviOn() const override { return true; }
    bool accepts(int priority) const override { return mixer.accepts(priority, {0}); }
    std::uint32_t lastList() const override { return mixer.lastList(); }
    ListEnd listEnd(std::uint32_t list) const override { return mixer.listEnd(list); }
    bool play(int priority, const Phrase& ids) override { return playOver(priority, priority - 1, ids); }
    double seconds(const Phrase& ids) const override {
        return static_cast<double>(ids.size()) * sampleBytes / 88200.0;
    }
    bool playOver(int priority, int cuts, const Phrase& ids) override {
        offered.push_back({priority, ids, clock.ticks});
        if (!mixer.acceptsOver(std::max(cuts, priority - 1), ids)) return false;
        if (!mixer.idle() && !heard.empty()) heard.back().cut = true;
        for (int id : ids) {
            if (mixer.hasSample(id)) continue;
            Sample sample;
            sample.id = id;
            sample.length = sampleBytes;
            sample.data = std::make_unique<std::uint8_t[]>(sampleBytes);
            mixer.insert(std::move(sample));
        }
        mixer.replace(priority, ids);
        heard.push_back({priority, ids, clock.ticks, 0, false, turnMetres ? turnMetres() : 0});
        return true;
    }
    void advance50ms() {
        std::vector<std::uint8_t> buffer(4410);
        mixer.mix(buffer.data(), static_cast<int>(buffer.size()), SoundMixer::FullVolume);
        if (mixer.idle() && !heard.empty() && !heard.back().cut && heard.back().endMs == 0)
            heard.back().endMs = clock.ticks;
    }
    std::uint32_t sampleBytes = 88200; // 1 s of 22050 Hz 16-bit stereo
    std::function<std::uint32_t()> turnMetres;
    const GuidanceTest::Clock& clock;
    SoundMixer mixer;
    std::vector<Heard> heard;
    std::vector<Heard> offered;
};

// The manoeuvre types a phrase names, in order (distances, "in", "then" and
// the start and rebuild words left out).
std::vector<std::uint32_t> namedTypes(const Phrase& phrase) {
    static const std::map<Phrase, std::uint32_t> types = [] {
        std::map<Phrase, std::uint32_t> t{{{5, 65}, 1},  {{5, 64}, 2},  {{60, 62, 63}, 19}, {{61}, 4},
                                          {{70}, 7},     {{85, 87}, 17}, {{85, 88}, 18},    {{89}, 21},
                                          {{61, 64}, 5}, {{61, 65}, 6},  {{9}, 20}};
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
        const bool distance = id == Voice::In || (id >= 12 && id <= 57) || (id >= 66 && id <= 68);
        if (id == Voice::Then) flush();
        else if (!distance && id != 4 && id != Voice::RouteRebuilt) words.push_back(id);
    }
    flush();
    return out;
}

bool names(const Phrase& phrase, std::uint32_t type) {
    const std::vector<std::uint32_t> named = namedTypes(phrase);
    // The first manoeuvre of a phrase names a roundabout's exit plainly.
    const bool exit = type == 4 || (type >= 8 && type <= 16);
    return std::any_of(named.begin(), named.end(), [&](std::uint32_t t) { return t == type || (exit && t == 4); });
}

struct Monaco {
    Monaco() { setup.config.root()->set("win_route_heap", 1024); }
    void load() {
        atlas = setup.makeAtlas();
        ASSERT_TRUE(atlas->load(AtlasTest::wide(setup.copyOf(MIREL_MONACO_ATLAS_DIR))));
    }
    bool compute(Map::Point from, Map::Point to, Path& out) {
        PathPoint a, b;
        Map::Routing::RoadBinding bound;
        return nearestRoadPoint(*atlas, from, a, bound) && nearestRoadPoint(*atlas, to, b, bound) &&
               Map::Routing::computePath(*atlas, *config.root(), a, b, out, false);
    }
    AtlasTest::AtlasSetup setup;
    Core::Config config;
    decltype(setup.makeAtlas()) atlas;
};

// A receiver's fix at a route position, going the route's way.
Positioning::Fix fixAt(const PathPosition& at, float metresPerSecond) {
    const Positioning::CarState car = carStateAt(at);
    Positioning::Fix fix;
    fix.x = car.position.toGlobal().x;
    fix.y = car.position.toGlobal().y;
    fix.speed = metresPerSecond;
    fix.heading = car.heading * 180.0f / 3.14159265f;
    fix.courseKnown = true;
    fix.hdop = 1.0f;
    return fix;
}

// Where each manoeuvre lies: its global point, to know the same turn on a
// rebuilt route.
struct Manoeuvre {
    Map::Point at;
    std::uint32_t type = 0;
    std::uint32_t sinceMs = 0; // current since
    bool operator==(const Manoeuvre& o) const { return at == o.at && type == o.type; }
};

Manoeuvre currentManoeuvre(const fdMapNavi& navi) {
    if (!navi.running() || navi.outOfPath() || !navi.maneuverKnown() || navi.maneuverPosition().isAtEnd()) return {};
    const PathPosition& p = navi.maneuverPosition();
    return {Map::LevelFrame::of(*p.partLevel()).toGlobal(p.levelPoint()), navi.maneuverType()};
}

// From Fontvieille to Rue Grimaldi, as the whole-drive window test goes, but
// the driver turns off the route: first along a route to a point 300 m
// beside it, then from there to the finish. Fixes once a second at 50 km/h,
// ten frames between them. Every rebuild is announced and heard; every
// manoeuvre the car passes was named in a phrase heard to its end before
// the car reached it, or in the new route's phrase (but one that follows
// the last within 3 s, where no word fits); no phrase that chains turns or
// gives a distance plays on past the first turn it names; the current
// street shows while the car follows the route on a named road.
TEST(GuidanceDrive, AWrongTurnAndEveryTurnSpokenInTime) {
    TestSupport::CaptureLogger log{Log::Info};
    Monaco m;
    ASSERT_NO_FATAL_FAILURE(m.load());
    const Map::Point from = Map::Projection::fromGeo(43.726414f, 7.416096f);
    const Map::Point to = Map::Projection::fromGeo(43.734303f, 7.418561f);
    Path route;
    ASSERT_TRUE(m.compute(from, to, route));
    // The wrong way: a road 300 m to the side of the route's middle.
    PathPosition middle(route, true);
    middle.advanceMetres(static_cast<std::uint16_t>(PathPosition::distanceTo(middle, PathPosition(route, false)) / 2));
    const Map::Point mid = Map::LevelFrame::of(*middle.partLevel()).toGlobal(middle.levelPoint());
    const double unitsPerMetre = Map::Projection::unitsPerMeterAt(mid);
    const Map::Point aside{mid.x + static_cast<std::int32_t>(300 * unitsPerMetre), mid.y};
    Path first, second;
    ASSERT_TRUE(m.compute(from, aside, first));
    ASSERT_TRUE(m.compute(aside, to, second));

    GuidanceTest::Clock clock;
    m.config.root()->child("Car")->set("gps_latency", 0.0f);
    SecondSounds sounds(clock);
    Render::RenderStyles styles;
    KVMapEventsHandler handler(m.config.root(), *m.atlas, route, &sounds, &styles, clock);

    std::vector<std::string> failures;
    std::size_t logged = 0;
    Manoeuvre current, previous;
    int rebuilds = 0, passed = 0;
    std::uint32_t lastPassMs = 0;
    std::vector<std::uint32_t> rebuiltAt, passedAt;
    std::ostringstream timeline;
    // The street boxes: the current street while the car follows the route
    // on a named road.
    GuidanceTest::Messages messages;
    Sensors sensors(messages, nullptr, SensorsSetup{"", &clock, 0, {}});
    int onNamedRoad = 0, streetShown = 0;
    for (const Path* leg : {&first, &second}) {
        for (PathPosition at(*leg, true); !at.isAtEnd(); at.advanceMetres(14)) {
            handler.onFix(true, fixAt(at, 13.9f));
            for (int frame = 0; frame < 10; ++frame) {
                {
                    Positioning::CarStateLock::Unit unit(handler.lock());
                    ASSERT_TRUE(unit);
                    handler.onFrame();
                }
                for (; logged < log.lines().size(); ++logged) {
                    const std::string& line = log.lines()[logged];
                    if (line.find("navi event") != std::string::npos || line.find("rebuild") != std::string::npos)
                        timeline << "\n" << clock.ticks << " " << line;
                    if (line == "rebuildPath done") {
                        ++rebuilds;
                        rebuiltAt.push_back(clock.ticks);
                    }
                    if (line != "navi event:RotateEnd") continue;
                    // The manoeuvre current before this frame was passed.
                    ++passed;
                    passedAt.push_back(clock.ticks);
                    const Manoeuvre& m0 = current;
                    const std::uint32_t since = previous.sinceMs ? previous.sinceMs : m0.sinceMs;
                    // Named in a phrase heard to its end before the turn, or,
                    // for a new route that starts close to it, in the phrase
                    // that announces the new route.
                    const bool said = std::any_of(sounds.heard.begin(), sounds.heard.end(), [&](const auto& h) {
                        const bool before = h.endMs != 0 ? h.endMs >= since : h.startMs >= since && !h.cut;
                        const bool rebuilt = h.ids.front() == Voice::RouteRebuilt;
                        return names(h.ids, m0.type) && (rebuilt ? h.startMs >= since : before && h.endMs != 0);
                    });
                    // A new route that turns back where the car is.
                    const bool turnBack = m0.type == 7 && !rebuiltAt.empty() && clock.ticks - rebuiltAt.back() < 1000;
                    // A turn a few metres after the last one: no word fits
                    // between them at 50 km/h.
                    const bool close = clock.ticks - lastPassMs < 3000;
                    lastPassMs = clock.ticks;
                    if (m0.type != 0 && !said && !turnBack && !close)
                        failures.push_back(Core::format("manoeuvre %d passed at %d ms unspoken",
                                                        static_cast<int>(m0.type), static_cast<int>(clock.ticks)));
                    for (const auto& h : sounds.heard)
                        // A phrase that chains turns behind this one, or
                        // gives the distance to it (a roundabout's exit
                        // aside).
                        if (h.startMs >= m0.sinceMs && h.startMs < clock.ticks && h.endMs == 0 && !h.cut &&
                            names(h.ids, m0.type) && h.ids.front() != Voice::RouteRebuilt &&
                            (namedTypes(h.ids).size() > 1 || h.ids.front() == Voice::In) && m0.type != 19 &&
                            m0.type != 3)
                            failures.push_back(Core::format("a phrase started at %d ms plays on past the turn it names",
                                                            static_cast<int>(h.startMs)));
                }
                SensorFrame sensorFrame;
                sensorFrame.setGuidance(handler.navi());
                sensorFrame.car = handler.tracker().carState();
                sensorFrame.atlas = m.atlas.get();
                sensors.updateAll(sensorFrame);
                const fdMapNavi& navi = handler.navi();
                if (navi.running() && !navi.outOfPath() && !navi.position().isAtEnd() &&
                    navi.position().currentPart().nameIndex != 0) {
                    ++onNamedRoad;
                    streetShown += sensors.findSensor("cur_street")->valueText() != u"-";
                }
                const Manoeuvre now = currentManoeuvre(handler.navi());
                if (!(now == current)) {
                    if (current.type != 0) previous = current;
                    current = now;
                    current.sinceMs = clock.ticks;
                }
                clock.ticks += 50;
                sounds.advance50ms();
                clock.ticks += 50;
                sounds.advance50ms();
            }
        }
    }
    EXPECT_GE(rebuilds, 1);
    EXPECT_GT(onNamedRoad, 1000);
    EXPECT_EQ(streetShown, onNamedRoad);
    EXPECT_GE(passed, 5);
    // Each rebuild is heard at once, to its end, or until the next rebuild,
    // or, past the turn it names, until the next turn's warning (a new route
    // announced a few metres before its turn), its first word heard whole:
    // the rebuild's words, or, where a detour's later routes leave them out,
    // the new route's first manoeuvre.
    for (std::uint32_t at : rebuiltAt) {
        const auto h = std::find_if(sounds.heard.begin(), sounds.heard.end(), [&](const auto& h) {
            return h.startMs == at && (h.ids.front() == Voice::RouteRebuilt || !namedTypes(h.ids).empty());
        });
        const bool cut = h != sounds.heard.end() && h->endMs == 0 && h + 1 != sounds.heard.end();
        // Cut by the next new route's phrase (its words are said for the
        // first new route of a detour only).
        const bool overRebuilt =
            cut && (h[1].ids.front() == Voice::RouteRebuilt ||
                    std::find(rebuiltAt.begin(), rebuiltAt.end(), h[1].startMs) != rebuiltAt.end());
        const bool overNextTurn =
            cut && !namedTypes(h->ids).empty() && h[1].startMs >= at + 1000 &&
            std::any_of(passedAt.begin(), passedAt.end(), [&](std::uint32_t t) { return t > at && t <= h[1].startMs; });
        EXPECT_TRUE(h != sounds.heard.end() && (h->endMs != 0 || overRebuilt || overNextTurn))
            << "the rebuild at " << at << " ms was not heard";
    }
    for (const std::string& f : failures) ADD_FAILURE() << f;
    std::ostringstream said;
    for (const auto& h : sounds.offered) {
        said << h.startMs << ":" << h.priority << "[";
        for (int id : h.ids) said << id << " ";
        said << "] ";
    }
    said << "\nheard: ";
    for (const auto& h : sounds.heard) said << h.startMs << "-" << h.endMs << (h.cut ? "cut " : " ");
    if (HasFailure()) ADD_FAILURE() << said.str() << timeline.str();
}

// Fontvieille to Rue Grimaldi at 40 km/h, a fix a second, words of half a
// second: three roundabouts, each left a few metres on, the last right
// before the finish's turn. Every phrase that gives a distance says, rounded
// for speech, the distance to its turn when it starts playing: a warning
// that waited behind "drive onto the roundabout then first exit" said the
// distance it was composed with ("in thirty metres turn right" 24 m before
// the turn; the exit's "in forty metres exit" 20 m before the exit). With
// words of 0.375 s the warning that waits behind the second roundabout's
// phrase still has time for its distance when it plays (with longer words
// it is said without one).
TEST(GuidanceDrive, APhraseSaysTheDistanceThereIsWhenItPlays) {
    for (const std::uint32_t wordBytes : {44100u, 33075u}) {
        SCOPED_TRACE(testing::Message() << wordBytes / 88.2 << " ms a word");
        TestSupport::CaptureLogger log{Log::Info};
        Monaco m;
        ASSERT_NO_FATAL_FAILURE(m.load());
        Path route;
        ASSERT_TRUE(m.compute(Map::Projection::fromGeo(43.72641f, 7.41610f),
                              Map::Projection::fromGeo(43.73398f, 7.41856f), route));
        const Path driven = route;
        GuidanceTest::Clock clock;
        SecondSounds sounds(clock);
        sounds.sampleBytes = wordBytes;
        Render::RenderStyles styles;
        KVMapEventsHandler handler(m.config.root(), *m.atlas, route, &sounds, &styles, clock);
        sounds.turnMetres = [&] { return handler.navi().remainingDistance(); };
        const auto forSpeech = [](std::uint32_t d) {
            return d < 105 ? (d + 5) / 10 * 10 : d < 1050 ? (d + 50) / 100 * 100 : (d + 500) / 1000 * 1000;
        };
        for (PathPosition at(driven, true); !at.isAtEnd(); at.advanceMetres(11)) {
            handler.onFix(true, fixAt(at, 11.0f));
            for (int frame = 0; frame < 10; ++frame) {
                {
                    Positioning::CarStateLock::Unit unit(handler.lock());
                    ASSERT_TRUE(unit);
                    handler.onFrame();
                }
                clock.ticks += 50;
                sounds.advance50ms();
                clock.ticks += 50;
                sounds.advance50ms();
            }
        }
        ASSERT_EQ(log.count("navi event:ArriveLastPoint"), 1u);
        std::size_t checked = 0;
        for (const auto& h : sounds.heard) {
            const std::optional<std::uint32_t> said = GuidanceTest::spokenMetres(h.ids);
            if (!said) continue;
            ++checked;
            EXPECT_EQ(*said, forSpeech(h.turnMetres))
                << h.startMs << " ms: " << ::testing::PrintToString(h.ids) << " said " << *said << " m, the turn "
                << h.turnMetres << " m ahead";
        }
        EXPECT_GE(checked, 3u);
    }
}

// From Avenue Princesse Grace (a right turn at 471 m, a roundabout 9 m on)
// at 40 and 50 km/h, and from Fontvieille, words of 0.55 and 0.375 s: no
// phrase plays on past the manoeuvre it names first unless it names a turn
// or an exit the phrase before did not. "Drive onto the roundabout then
// second exit", started just past the right turn after "Turn right then
// second exit", played on past the ring's entry.
TEST(GuidanceDrive, NoPhrasePlaysPastItsManoeuvre) {
    const struct {
        const char* what;
        float fromLat, fromLon, toLat, toLon;
        float speed;
        std::uint32_t wordBytes;
    } rows[] = {
        {"Avenue Princesse Grace, 0.55 s a word", 43.7440f, 7.4330f, 43.7400f, 7.4250f, 11.1f, 48510},
        {"Avenue Princesse Grace, 50 km/h, 0.375 s a word", 43.7440f, 7.4330f, 43.7400f, 7.4250f, 13.9f, 33075},
        {"Fontvieille to Rue Grimaldi, 0.55 s a word", 43.72641f, 7.41610f, 43.73398f, 7.41856f, 11.1f, 48510},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TestSupport::CaptureLogger log{Log::Info};
        Monaco m;
        ASSERT_NO_FATAL_FAILURE(m.load());
        Path route;
        ASSERT_TRUE(m.compute(Map::Projection::fromGeo(row.fromLat, row.fromLon),
                              Map::Projection::fromGeo(row.toLat, row.toLon), route));
        const Path driven = route;
        GuidanceTest::Clock clock;
        SecondSounds sounds(clock);
        sounds.sampleBytes = row.wordBytes;
        Render::RenderStyles styles;
        KVMapEventsHandler handler(m.config.root(), *m.atlas, route, &sounds, &styles, clock);
        // Each phrase with the manoeuvre current when it started; when each
        // manoeuvre was passed.
        std::map<std::size_t, Manoeuvre> named;
        std::vector<std::pair<std::uint32_t, Manoeuvre>> passed;
        Manoeuvre current;
        std::size_t logged = 0;
        PathPosition at(driven, true);
        for (double carried = 0; !at.isAtEnd(); carried -= std::floor(carried)) {
            handler.onFix(true, fixAt(at, row.speed));
            for (int frame = 0; frame < 10; ++frame) {
                const std::size_t before = sounds.heard.size();
                {
                    Positioning::CarStateLock::Unit unit(handler.lock());
                    ASSERT_TRUE(unit);
                    handler.onFrame();
                }
                for (; logged < log.lines().size(); ++logged)
                    if (log.lines()[logged] == "navi event:RotateEnd") passed.push_back({clock.ticks, current});
                for (std::size_t i = before; i < sounds.heard.size(); ++i) named[i] = current;
                current = currentManoeuvre(handler.navi());
                for (std::size_t i = before; i < sounds.heard.size(); ++i)
                    if (named[i].type == 0) named[i] = current;
                for (int half = 0; half < 2; ++half) {
                    clock.ticks += 50;
                    sounds.advance50ms();
                }
            }
            carried += row.speed;
            at.advanceMetres(static_cast<std::uint16_t>(carried));
        }
        ASSERT_EQ(log.count("navi event:ArriveLastPoint"), 1u);
        std::size_t checked = 0;
        for (std::size_t i = 0; i < sounds.heard.size(); ++i) {
            const auto& h = sounds.heard[i];
            const double seconds = sounds.seconds(h.ids);
            const auto pass = std::find_if(passed.begin(), passed.end(), [&](const auto& p) {
                return p.first >= h.startMs && p.second == named[i];
            });
            if (named[i].type == 0 || pass == passed.end()) continue;
            ++checked;
            if (h.startMs + static_cast<std::uint32_t>(seconds * 1000.0) <= pass->first) continue;
            // Said on past its manoeuvre: only with a turn or an exit the
            // phrase before did not name (a ring's entry is no news).
            const std::vector<std::uint32_t> before = i > 0 ? namedTypes(sounds.heard[i - 1].ids) : std::vector<std::uint32_t>{};
            const std::vector<std::uint32_t> now = namedTypes(h.ids);
            EXPECT_TRUE(std::any_of(now.begin(), now.end(), [&](std::uint32_t t) {
                return !isRoundaboutEntry(t) && std::find(before.begin(), before.end(), t) == before.end();
            })) << ::testing::PrintToString(h.ids) << " from " << h.startMs << " ms, manoeuvre " << named[i].type
                << " passed at " << pass->first << " ms, after " << ::testing::PrintToString(sounds.heard[i - 1].ids);
        }
        EXPECT_GE(checked, 8u);
    }
}

// A car that stops 25 s about 55 m short of the finish, then drives on to
// it, from a receiver whose HDOP says 4.2 or 5 in a street while its fixes
// are as good as ever (RMC and GGA on the hairpins above the Casino; GGA
// alone, no course, from Fontvieille to Rue Grimaldi, stopping just before
// its last turn): "You have arrived" came where the car stopped, and cut
// the last "Turn right" off. It comes at the finish only, and every phrase
// is heard whole.
TEST(GuidanceDrive, AStopShortOfTheFinishIsNoArrival) {
    const struct {
        const char* what;
        float fromLat, fromLon, toLat, toLon;
        float speed, hdop;
        bool course;
    } rows[] = {
        {"hairpins, HDOP 4.2", 43.7393f, 7.4275f, 43.7418f, 7.4330f, 8.3f, 4.2f, true},
        {"Fontvieille, GGA only, HDOP 5", 43.72641f, 7.41610f, 43.73398f, 7.41856f, 11.1f, 5.0f, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TestSupport::CaptureLogger log{Log::Info};
        Monaco m;
        ASSERT_NO_FATAL_FAILURE(m.load());
        Path route;
        ASSERT_TRUE(m.compute(Map::Projection::fromGeo(row.fromLat, row.fromLon),
                              Map::Projection::fromGeo(row.toLat, row.toLon), route));
        const Path driven = route;
        const std::uint32_t length =
            PathPosition::distanceTo(PathPosition(driven, true), PathPosition(driven, false));
        GuidanceTest::Clock clock;
        SecondSounds sounds(clock);
        Render::RenderStyles styles;
        KVMapEventsHandler handler(m.config.root(), *m.atlas, route, &sounds, &styles, clock);
        std::optional<std::uint32_t> nearFinishMs;
        const auto second = [&](const PathPosition& at, float speed) {
            Positioning::Fix fix = fixAt(at, speed);
            fix.hdop = row.hdop;
            fix.courseKnown = row.course;
            if (!row.course) fix.heading = 0.0f;
            handler.onFix(true, fix);
            // The car is drawn where its fix, moved ahead by the receiver's
            // latency along its course, puts it, and goes on at its speed
            // until the next fix: near the finish from when it comes within
            // 20 m of it.
            const double ahead = row.course ? 1.5 * speed : 0.0;
            const double beyond = PathPosition::distanceTo(at, PathPosition(driven, false)) - 20 - ahead;
            if (!nearFinishMs && beyond <= speed)
                nearFinishMs =
                    clock.ticks + (beyond > 0.0 ? static_cast<std::uint32_t>(beyond / speed * 1000) : 0u);
            for (int frame = 0; frame < 10; ++frame) {
                {
                    Positioning::CarStateLock::Unit unit(handler.lock());
                    ASSERT_TRUE(unit);
                    handler.onFrame();
                }
                for (int half = 0; half < 2; ++half) {
                    clock.ticks += 50;
                    sounds.advance50ms();
                }
            }
        };
        bool stopped = false;
        PathPosition at(driven, true);
        for (double carried = 0; !at.isAtEnd(); carried -= std::floor(carried)) {
            if (!stopped && PathPosition::distanceTo(PathPosition(driven, true), at) + 55 >= length) {
                stopped = true;
                for (int s = 0; s < 25; ++s)
                    ASSERT_NO_FATAL_FAILURE(second(at, 0.0f));
            }
            ASSERT_NO_FATAL_FAILURE(second(at, row.speed));
            carried += row.speed;
            at.advanceMetres(static_cast<std::uint16_t>(carried));
        }
        for (int s = 0; s < 5; ++s)
            ASSERT_NO_FATAL_FAILURE(second(PathPosition(driven, false), 0.0f));
        ASSERT_TRUE(stopped && nearFinishMs);
        const std::vector<std::string>& lines = log.lines();
        ASSERT_EQ(std::count(lines.begin(), lines.end(), "navi event:ArriveLastPoint"), 1);
        const auto arrived = std::find_if(sounds.heard.begin(), sounds.heard.end(),
                                          [](const auto& h) { return h.ids == Phrase{Voice::Arrived}; });
        ASSERT_NE(arrived, sounds.heard.end());
        EXPECT_GE(arrived->startMs, *nearFinishMs) << "arrived 20 m or more short of the finish";
        for (const auto& h : sounds.heard)
            EXPECT_TRUE(h.startMs >= *nearFinishMs || !h.cut)
                << h.startMs << " ms: " << ::testing::PrintToString(h.ids) << " cut off";
    }
}

} // namespace
} // namespace Guidance
