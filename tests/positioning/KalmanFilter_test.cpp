#include "positioning/KalmanFilter.h"

#include "core/Config.h"

#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

using Map::LocalPoint;
using Positioning::KalmanFilter;

namespace {

struct FakeClock : Positioning::Clock {
    std::uint32_t ticks = 1000;
    std::uint32_t ticksMs() const override { return ticks; }
    Positioning::DateTime localTime() const override { return {}; }
};

// A filter with the given model keys set before it is read; the rest keep
// their defaults.
struct Fixture {
    FakeClock clock;
    Core::Config config;
    KalmanFilter filter{clock};

    explicit Fixture(int scale = 1024, int maxDeviation = 40) {
        auto model = config.root()->child("Car")->child("Model");
        model->set("scale_k", scale);
        model->set("max_deviation", maxDeviation);
        filter.readModel(*model, 1.0f);
    }
    void fix(LocalPoint position, LocalPoint velocity, float accuracy = 1.0f, float unitsPerMetre = 1.0f) {
        const float speed = std::hypot(velocity.x, velocity.y) / unitsPerMetre;
        filter.update(position, velocity, speed, accuracy, unitsPerMetre);
    }
};

std::uint32_t seed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 20261206u;
}

} // namespace

// A scale of zero would divide by zero.
TEST(KalmanFilter, ReadsModelAndRefusesAZeroScale) {
    FakeClock clock;
    Core::Config config;
    auto model = config.root()->child("Car")->child("Model");
    model->set("scale_k", 0);
    KalmanFilter filter(clock);
    TestSupport::CaptureLogger log;
    filter.readModel(*model, 2.5f);
    EXPECT_EQ(filter.minimumSpeed(), 2.5f);
    EXPECT_EQ(filter.scale(), 1024.0f);
    EXPECT_TRUE(log.contains("Car model: scale_k 0 is not positive, using 1024"));
}

TEST(KalmanFilter, FirstFixResetsAndPredictExtrapolates) {
    Fixture t;
    EXPECT_EQ(t.filter.predict(), (LocalPoint{0, 0}));
    t.clock.ticks = 0; // a fix at tick 0 still counts as a fix
    t.fix({100.25f, -50.5f}, {10, 0});
    EXPECT_TRUE(t.filter.hasFix());
    EXPECT_EQ(t.filter.position(), (LocalPoint{100.25f, -50.5f}));
    EXPECT_EQ(t.filter.velocity(), (LocalPoint{10, 0}));
    EXPECT_EQ(t.filter.predict(), (LocalPoint{100.25f, -50.5f}));
    t.clock.ticks = 500;
    EXPECT_EQ(t.filter.predict(), (LocalPoint{105.25f, -50.5f}));

    // The next fix is taken in with a Kalman step, not another reset.
    t.clock.ticks = 1000;
    t.fix({110.25f, -50.5f}, {10, 0});
    EXPECT_NE(t.filter.covariance(), Positioning::detail::Matrix4{});

    // Tick differences wrap like the tick count.
    Fixture w;
    w.clock.ticks = 0xFFFFFE0Cu; // 500 ms before the wrap
    w.fix({0, 0}, {0, 4});
    w.clock.ticks = 0;
    EXPECT_EQ(w.filter.predict(), (LocalPoint{0, 2}));
}

TEST(KalmanFilter, TwoStepsMatchHandComputation) {
    // Scale 1 keeps the numbers readable; unit accuracy and unit factor give
    // R = diag(0.25, 0.25, 25, 25).
    Fixture t(1);
    t.fix({0, 0}, {10, 0}); // reset: P = 0
    t.clock.ticks += 1000;
    t.fix({12, 0}, {12, 0});
    // Q = diag(144, 144, 1, 1): the velocity changed by 2, so the position
    // is unsure by half of that over the second. The velocity and the
    // position move apart: gains 144 / 144.25 on the residual 2 and 1 / 26
    // on the residual 2.
    EXPECT_FLOAT_EQ(t.filter.velocity().x, 10.0f + 2.0f * 144.0f / 144.25f);
    EXPECT_FLOAT_EQ(t.filter.velocity().y, 0.0f);
    EXPECT_FLOAT_EQ(t.filter.position().x, 10.0f + 2.0f / 26.0f);
    // (I - K) P cancels to 1 - 0.998, so single precision keeps about five
    // digits of the covariance.
    EXPECT_NEAR(t.filter.covariance()(0, 0), 144.0f * 0.25f / 144.25f, 1e-5f);
    EXPECT_FLOAT_EQ(t.filter.covariance()(2, 2), 25.0f / 26.0f);

    t.clock.ticks += 1000;
    t.fix({22, 0}, {12, 0});
    // From a double-precision evaluation of the same two steps.
    EXPECT_NEAR(t.filter.velocity().x, 11.999993f, 2e-5f);
    EXPECT_NEAR(t.filter.position().x, 22.070070f, 2e-5f);
    EXPECT_NEAR(t.filter.covariance()(2, 2), 1.1547557f, 1e-5f);
    EXPECT_NEAR(t.filter.covariance()(0, 2), 0.00041183f, 1e-7f);

    // The default scale only conditions the numbers: the same fixes give the
    // same estimates.
    Fixture scaled(1024);
    scaled.fix({0, 0}, {10, 0});
    scaled.clock.ticks += 1000;
    scaled.fix({12, 0}, {12, 0});
    scaled.clock.ticks += 1000;
    scaled.fix({22, 0}, {12, 0});
    EXPECT_NEAR(scaled.filter.position().x, t.filter.position().x, 1e-4f);
    EXPECT_NEAR(scaled.filter.velocity().x, t.filter.velocity().x, 1e-4f);
}

TEST(KalmanFilter, JumpsResetAndStopsHoldThePosition) {
    Fixture t;
    t.fix({0, 0}, {10, 0});
    t.clock.ticks += 1000;
    // 50 metres off the prediction (10, 0) along y, with 2 units per metre:
    // beyond 40 metres, so the filter starts again from this fix.
    t.fix({10, 100}, {0, 7}, 1.0f, 2.0f);
    EXPECT_EQ(t.filter.position(), (LocalPoint{10, 100}));
    EXPECT_EQ(t.filter.velocity(), (LocalPoint{0, 7}));
    EXPECT_EQ(t.filter.covariance(), Positioning::detail::Matrix4{});
    // Each component within the limit, the distance beyond it: 30, 30 is
    // 42.4 metres.
    t.clock.ticks += 1000;
    t.fix({10 + 60, 107 + 60}, {0, 7}, 1.0f, 2.0f);
    EXPECT_EQ(t.filter.position(), (LocalPoint{70, 167}));
    // 39 metres is taken in.
    t.clock.ticks += 1000;
    t.fix({70 + 78, 174}, {0, 7}, 1.0f, 2.0f);
    EXPECT_NE(t.filter.position(), (LocalPoint{148, 174}));
    EXPECT_NE(t.filter.covariance(), Positioning::detail::Matrix4{});
    // A fix of dilution 4.2 scatters by 3 x 4.2 x 5 = 63 metres: 50 metres
    // off is taken in, 64 starts again. No scatter is more than 64 metres:
    // at dilution 20 (300 metres by its HDOP) 70 metres off starts again.
    const struct {
        float dilution, north;
        bool jumps;
    } jumps[] = {{4.2f, 50.0f, false}, {4.2f, 64.0f, true}, {20.0f, 60.0f, false}, {20.0f, 70.0f, true}};
    for (const auto& row : jumps) {
        Fixture h;
        h.fix({0, 0}, {10, 0}, row.dilution);
        h.clock.ticks += 1000;
        h.fix({10, row.north}, {10, 0}, row.dilution);
        EXPECT_EQ(h.filter.position() == (LocalPoint{10, row.north}), row.jumps)
            << row.dilution << " " << row.north;
    }

    // At 0.5 m/s (below the minimum speed 1.0) the motion stops, and the
    // car goes from where it was shown toward its fixes: half way at the
    // first, a third at the second, a quarter of the way from then on; the
    // covariance is kept. Driven diagonally, so that both axes are carried
    // on.
    Fixture s;
    s.fix({0, 0}, {10, 10});
    s.clock.ticks += 1000;
    s.fix({10, 10}, {10, 10});
    const auto covariance = s.filter.covariance();
    s.clock.ticks += 1000;
    const LocalPoint shown = s.filter.predict();
    EXPECT_NEAR(shown.x, 20.0f, 0.01f);
    EXPECT_NEAR(shown.y, 20.0f, 0.01f);
    s.filter.update({14, 4}, {0.5f, 0}, 0.5f, 1.0f, 1.0f);
    EXPECT_NEAR(s.filter.position().x, (shown.x + 14) / 2, 1e-4f);
    EXPECT_NEAR(s.filter.position().y, (shown.y + 4) / 2, 1e-4f);
    EXPECT_EQ(s.filter.velocity(), (LocalPoint{0, 0}));
    EXPECT_EQ(s.filter.covariance(), covariance);
    EXPECT_EQ(s.filter.lastFixTicks(), s.clock.ticks);
    const LocalPoint half = s.filter.position();
    s.clock.ticks += 5000;
    EXPECT_EQ(s.filter.predict(), half);
    // Exactly the minimum speed still counts as standing.
    s.filter.update({14, 4}, {1, 0}, 1.0f, 1.0f, 1.0f);
    EXPECT_NEAR(s.filter.position().x, half.x + (14 - half.x) / 3, 1e-4f);
    for (const float share : {0.25f, 0.25f}) {
        const LocalPoint before = s.filter.position();
        s.filter.update({14, 4}, {0, 0}, 0.0f, 1.0f, 1.0f);
        EXPECT_NEAR(s.filter.position().y, before.y + (4 - before.y) * share, 1e-4f);
    }
    for (int i = 0; i < 20; ++i)
        s.filter.update({14, 4}, {0, 0}, 0.0f, 1.0f, 1.0f);
    EXPECT_NEAR(s.filter.position().x, 14.0f, 0.02f);
    EXPECT_NEAR(s.filter.position().y, 4.0f, 0.02f);
    const LocalPoint stood = s.filter.position();
    // Moving off again is a Kalman step from there.
    s.clock.ticks += 1000;
    s.fix({stood.x + 5, stood.y}, {5, 0});
    EXPECT_GT(s.filter.velocity().x, 0.0f);
    EXPECT_NEAR(s.filter.position().x, stood.x, 5.0f);

    // Fixes that scatter by 3 m about where the car stands, at the corners
    // of a square in turn: once their mean lies within one and a half of
    // their spread of the place, the place is held. Setting off, its first
    // fix 28 m on (16 m driven before the motion was seen and 12 m of
    // latency), the car starts from near that fix, not from where it stood
    // (after a reset the filter was sure of that place, and the car ran
    // 20 m behind its fixes for ten seconds).
    Fixture h;
    h.fix({0, 0}, {0, 0});
    const LocalPoint corners[] = {{3, 3}, {-3, 3}, {-3, -3}, {3, -3}};
    int moved = 0;
    for (int i = 0; i < 40; ++i) {
        const LocalPoint before = h.filter.position();
        h.clock.ticks += 1000;
        h.filter.update(corners[i % 4], {0, 0}, 0.0f, 1.0f, 1.0f, false);
        moved += i >= 4 && !(h.filter.position() == before) ? 1 : 0;
    }
    EXPECT_EQ(moved, 0);
    EXPECT_LT(std::hypot(h.filter.position().x, h.filter.position().y), 3.0f);
    h.clock.ticks += 1000;
    h.fix({28, 0}, {8, 0});
    EXPECT_NEAR(h.filter.position().x, 28.0f, 3.0f);
    EXPECT_NEAR(h.filter.velocity().x, 8.0f, 1.0f);
}

// A car that drives in, stands 5 or 60 s, then creeps on at 0.8 m/s (below
// the minimum speed, as in a queue) for a minute, its fixes exact, a
// second or a tenth apart, its receiver's speed with them or none: the car
// is drawn within 5 m of its fixes throughout (held while the creep's own
// way counted as their spread, it fell 6 to 29 m behind).
TEST(KalmanFilter, ACreepingCarIsFollowed) {
    const struct {
        double standSeconds;
        int hz;
        bool speedSent;
    } rows[] = {{5, 1, true}, {60, 1, true}, {5, 1, false}, {60, 1, false}, {5, 10, false}, {60, 10, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "stood " << row.standSeconds << " s, " << row.hz << " Hz"
                                        << (row.speedSent ? ", speed sent" : ""));
        Fixture t;
        for (int i = 0; i < 5; ++i) {
            t.fix({static_cast<float>(10 * i - 50), 0}, {10, 0});
            t.clock.ticks += 1000;
        }
        const int fixes = static_cast<int>((row.standSeconds + 60.0) * row.hz);
        double worst = 0.0;
        for (int i = 0; i < fixes; ++i) {
            const double seconds = static_cast<double>(i) / row.hz;
            const bool creeping = seconds > row.standSeconds;
            const float x = static_cast<float>(creeping ? 0.8 * (seconds - row.standSeconds) : 0.0);
            const float speed = creeping && row.speedSent ? 0.8f : 0.0f;
            t.filter.update({x, 0}, {speed, 0}, speed, 1.0f, 1.0f, row.speedSent);
            const LocalPoint at = t.filter.predict();
            if (seconds >= 3.0) worst = std::max(worst, std::hypot(double(at.x) - x, double(at.y)));
            t.clock.ticks += 1000 / row.hz;
        }
        EXPECT_LT(worst, 5.0);
    }
}

// A car driven east whose next fix lies north with its course turned (a
// corner between two fixes, a hairpin's other leg): the filter, trusting
// the velocity, held it metres off; the velocity's change now says how far
// the car can have gone off the straight line, and it goes most of the way
// to the fix. Where it still lies beyond four of the fix's errors (5 m each
// at a dilution of 1; a slow car, whose velocity changed little) it takes
// the fix's position as it is, when the course turned by more than 60
// degrees. A course that turned little moves it little. A fix that
// measures no velocity has it learnt from the positions.
TEST(KalmanFilter, AFixWhoseCourseTurnedIsFollowed) {
    enum Outcome { Taken, MostOfTheWay, LittleOfTheWay };
    const struct {
        float speed, north;
        LocalPoint velocity;
        Outcome outcome;
    } rows[] = {{10, 15, {0, 10}, MostOfTheWay}, {10, 21, {0, 10}, MostOfTheWay}, {10, 35, {0, 10}, MostOfTheWay},
                {10, 35, {4, 9}, MostOfTheWay},  {10, 35, {9, 4}, LittleOfTheWay}, {5, 35, {0, 5}, Taken},
                {5, 35, {4, 3}, LittleOfTheWay}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.speed << " m/s, " << row.north << " m north, heading to "
                                        << row.velocity.x << "," << row.velocity.y);
        Fixture t;
        for (int i = 0; i < 6; ++i, t.clock.ticks += 1000)
            t.fix({row.speed * i, 0}, {row.speed, 0});
        const LocalPoint fix{row.speed * 6, row.north};
        t.fix(fix, row.velocity);
        const float left = std::hypot(t.filter.position().x - fix.x, t.filter.position().y - fix.y) / row.north;
        EXPECT_EQ(t.filter.position() == fix, row.outcome == Taken);
        if (row.outcome == MostOfTheWay) {
            EXPECT_LT(left, 0.5f);
        } else if (row.outcome == LittleOfTheWay) {
            EXPECT_GT(left, 0.75f);
        }
    }
    Fixture unmeasured;
    for (int i = 0; i < 8; ++i, unmeasured.clock.ticks += 1000)
        unmeasured.filter.update({0, 8.0f * i}, {0, 0}, 8.0f, 1.0f, 1.0f, i == 0);
    EXPECT_NEAR(unmeasured.filter.velocity().y, 8.0f, 1.0f);
    EXPECT_NEAR(unmeasured.filter.velocity().x, 0.0f, 0.5f);
}

TEST(KalmanFilter, IgnoresUnusableFixesAndRecoversFromDegenerateOnes) {
    TestSupport::CaptureLogger log;
    Fixture t;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    t.filter.update({nan, 0}, {0, 0}, 5, 1, 1);
    t.filter.update({0, 0}, {0, inf}, 5, 1, 1);
    t.filter.update({0, 0}, {0, 0}, 5, -1, 1);
    t.filter.update({0, 0}, {0, 0}, 5, 1, 0);
    t.filter.update({0, 0}, {0, 0}, -5, 1, 1);
    EXPECT_FALSE(t.filter.hasFix());
    EXPECT_TRUE(log.contains("Car filter: fix ignored"));

    t.fix({0, 0}, {10, 0});
    t.clock.ticks += 1000;
    t.filter.update({nan, nan}, {10, 0}, 10, 1, 1);
    EXPECT_EQ(t.filter.position(), (LocalPoint{0, 0}));
    EXPECT_EQ(t.filter.lastFixTicks(), 1000u);

    // A dilution of precision of 0 right after a reset, with no measured
    // motion, leaves nothing to weigh: the fix is taken as it stands instead
    // of dividing by zero.
    Fixture d;
    d.fix({0, 0}, {0, 0});
    d.clock.ticks += 1000;
    d.filter.update({1, 1}, {0, 0}, 2.0f, 0.0f, 1.0f);
    EXPECT_EQ(d.filter.position(), (LocalPoint{1, 1}));
    EXPECT_EQ(d.filter.lastFixTicks(), d.clock.ticks);
    EXPECT_TRUE(log.contains("Car filter: singular innovation covariance, taking the fix as it is"));
}

TEST(KalmanFilter, NoisyStraightTrackConverges) {
    // 15 m/s east at 3 units per metre, fixes every second with seeded noise
    // of the size the model assumes (uere 5 m, uere_vel 0.5 m/s, DOP 1).
    Fixture t;
    std::mt19937 random(seed());
    std::normal_distribution<float> positionNoise(0.0f, 5.0f * 3.0f);
    std::normal_distribution<float> velocityNoise(0.0f, 0.5f * 3.0f);
    const float speed = 15.0f * 3.0f;
    double measuredSquares = 0;
    double filteredSquares = 0;
    int counted = 0;
    for (int step = 0; step < 120; ++step) {
        const float trueX = speed * static_cast<float>(step);
        const float trueY = 200.0f;
        const LocalPoint measured{trueX + positionNoise(random), trueY + positionNoise(random)};
        t.fix(measured, {speed + velocityNoise(random), velocityNoise(random)}, 1.0f, 3.0f);
        // Halfway to the next fix the prediction tracks the true car.
        t.clock.ticks += 500;
        const LocalPoint predicted = t.filter.predict();
        t.clock.ticks += 500;
        if (step >= 20) {
            measuredSquares += std::pow(measured.x - trueX, 2) + std::pow(measured.y - trueY, 2);
            filteredSquares +=
                std::pow(predicted.x - trueX - speed * 0.5f, 2) + std::pow(predicted.y - trueY, 2);
            ++counted;
        }
    }
    const double measuredRms = std::sqrt(measuredSquares / counted);
    const double filteredRms = std::sqrt(filteredSquares / counted);
    EXPECT_LT(filteredRms, 0.5 * measuredRms)
        << "seed " << seed() << ": filtered " << filteredRms << ", measured " << measuredRms;
    // The model lets the velocity follow its measurement closely (its process
    // noise grows with the speed), so it stays within the velocity noise.
    EXPECT_NEAR(t.filter.velocity().x, speed, 4 * 1.5f);
}
