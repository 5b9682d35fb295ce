// Gesture steps follow the real time since the direction was taken up or
// since the last step: at least 1 ms and at most 100 ms a step.

#include "screens/MapGestures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Screens;

namespace {

TEST(MapGestures, StepsFollowTheTimeHeldWithinOneToAHundredMilliseconds) {
    const GestureDeltas d;
    const struct {
        int direction;
        std::uint32_t start, at;
        float seconds;
    } rows[] = {
        {+1, 1000, 1020, 0.020f}, {-1, 1000, 1030, 0.030f}, {+1, 1000, 1000, 0.001f},
        {+1, 1000, 1001, 0.001f}, {+1, 1000, 1002, 0.002f}, {-1, 1000, 1100, 0.100f},
        {+1, 1000, 1600, 0.100f},
    };
    MapGestures g; // one object throughout: every step leaves it ready for the next
    for (const auto& r : rows) {
        g.holdRotation(r.direction, r.start);
        g.holdRotation(r.direction, r.start + 1); // held on: the start stays
        const GestureStep rotation = g.take(r.at, d, false);
        EXPECT_TRUE(rotation.ran);
        EXPECT_FLOAT_EQ(rotation.angle, r.direction * 4 * d.rotationPush * r.seconds) << r.start << "-" << r.at;
        EXPECT_FALSE(g.take(r.at + 50, d, false).ran) << "the direction was used up";

        g.holdScale(-r.direction, r.start);
        const GestureStep scale = g.take(r.at, d, false);
        EXPECT_NEAR(scale.factor, std::exp(-r.direction * d.scalePush * r.seconds), 1e-6f) << r.at;
        EXPECT_EQ(scale.angle, 0.0f);
    }
    // A tick restarts the clock at its own time.
    g.holdRotation(+1, 5000);
    g.take(5040, d, true);
    g.holdRotation(+1, 5040);
    EXPECT_FLOAT_EQ(g.take(5070, d, true).angle, 4 * d.rotationPush * 0.030f);
}

// Held directions run on; a released one gives its last step and goes idle.
TEST(MapGestures, ReleasedStatesGiveOneLastStep) {
    const GestureDeltas d;
    for (const int state : {MapGestures::Held, MapGestures::Released}) {
        MapGestures g;
        g.rotateLeft = g.rotateRight = g.scaleUp = g.scaleDown = state;
        EXPECT_TRUE(g.applyStates(1000, false, d));
        const int after = state == MapGestures::Held ? MapGestures::Held : MapGestures::Idle;
        EXPECT_EQ(g.rotateLeft, after);
        EXPECT_EQ(g.rotateRight, after);
        EXPECT_EQ(g.scaleUp, after);
        EXPECT_EQ(g.scaleDown, after);
        EXPECT_EQ(g.applyStates(1050, false, d), state == MapGestures::Held);
    }
    MapGestures idle;
    EXPECT_FALSE(idle.applyStates(1000, false, d));
}

} // namespace
