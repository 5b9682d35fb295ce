// The manoeuvre phrases as the player can say them in time, on a straight
// drawn route whose parts carry the manoeuvres: a car moved 1.1 m every
// 100 ms (40 km/h), every word lasting 0.8 s, as the demo's samples do.

#include "guidance/KVMapEventsHandler.h"

#include "core/Config.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace Guidance {
namespace {

struct WordSounds : NaviSounds {
    bool naviOn() const override { return true; }
    bool play(int, const Phrase&) override { return true; }
    bool accepts(int) const override { return true; }
    double seconds(const Phrase& ids) const override { return 0.8 * static_cast<double>(ids.size()); }
};

// What each warning says, where the car is when it starts.
struct Phrases : fdMapNaviEventsHandler {
    struct Said {
        double metres;
        Phrase ids;
    };
    void onNaviEvent(int code, fdMapNavi& navi, const std::uint32_t* passedType) override {
        if (code == Rotate) {
            Phrase ids;
            appendManeuverPhrase(ids, navi, &sounds);
            said.push_back({metres, ids});
        }
        if (code == RotateEnd && *passedType != 3) navi.onRotateEnd();
    }
    WordSounds sounds;
    double metres = 0;
    std::vector<Said> said;
};

constexpr double Speed = 11.0;

// A left turn, 150 m on a right turn and a few tens of metres after it a
// roundabout left by its second exit 20 m round the ring. Closer than the
// manoeuvres chained in one phrase (100 m), the right turn has no warning
// but its last one, 40 m before it, and the roundabout no time for a phrase
// of its own after the turn: the turn's last phrase names the exit, and is
// said before the car enters the ring; with the ring's entry words when
// there is time for them.
TEST(ManeuverPhrase, ARoundaboutRightAfterATurnIsNamedBeforeItIsEntered) {
    const struct {
        double gap; // metres from the right turn to the ring
        Phrase turn;
    } rows[] = {
        {25, {5, 64, Voice::Then, 75, 61}},
        {60, {5, 64, Voice::Then, 60, 62, 63, Voice::Then, 75, 61}},
    };
    for (const auto& row : rows) {
        RouteTest::RouteAtlas town;
        Path path;
        const auto at = [](double m) { return Map::LocalPoint{static_cast<float>(512 + m), 1536.0f}; };
        const double entry = 1150 + row.gap;
        // Part ends and the manoeuvre that leads into each part.
        const struct {
            double end;
            std::uint32_t type;
        } parts[] = {{1000, 0}, {1150, 1}, {entry, 2}, {entry + 20, 3}, {entry + 520, 9}};
        path.points.push_back(town.point(at(0)));
        double begin = 0;
        for (const auto& part : parts) {
            path.appendPart(town.part({at(begin), at(part.end)}));
            path.parts.back().manoeuvre = part.type;
            begin = part.end;
        }
        path.points.push_back(town.point(at(begin)));
        path.legCount = 1;

        Phrases phrases;
        Core::Config config;
        GuidanceTest::Clock clock;
        fdMapNavi navi(config.root(), &phrases, clock);
        navi.setPath(&path);
        const auto car = [&](double m) {
            return Positioning::CarState{
                true, 1.5707964f, {Map::LevelFrame::of(town.level(0)), at(m).x, at(m).y}};
        };
        navi.start(car(0), Speed);
        for (phrases.metres = 1.1; phrases.metres < entry + 100; phrases.metres += 1.1) {
            clock.ticks += 100;
            navi.onPosition(car(phrases.metres), Speed);
        }
        const bool named = std::any_of(phrases.said.begin(), phrases.said.end(), [&](const Phrases::Said& s) {
            const Phrase secondExit{75, 61};
            const bool exit =
                std::search(s.ids.begin(), s.ids.end(), secondExit.begin(), secondExit.end()) != s.ids.end();
            return exit && s.metres + phrases.sounds.seconds(s.ids) * Speed <= entry;
        });
        std::ostringstream heard;
        heard << row.gap << " m to the ring:";
        for (const auto& s : phrases.said) {
            heard << "\n" << static_cast<int>(s.metres) << " m:";
            for (const int id : s.ids)
                heard << " " << id;
        }
        EXPECT_TRUE(named) << heard.str();
        // The right turn's last phrase.
        const auto turn = std::find_if(phrases.said.begin(), phrases.said.end(), [](const Phrases::Said& s) {
            return s.metres > 1100 && s.metres < 1150;
        });
        ASSERT_NE(turn, phrases.said.end()) << heard.str();
        EXPECT_EQ(turn->ids, row.turn) << heard.str();
    }
}

} // namespace
} // namespace Guidance
