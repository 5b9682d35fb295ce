#include "positioning/FixGate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using Positioning::FixGate;

namespace {

constexpr double MetresPerDegree = 6371000.0 * 3.14159265358979323846 / 180.0;

// A fix `east` and `north` metres from 50 N 10 E.
Positioning::Fix at(double east, double north) {
    Positioning::Fix fix;
    fix.latitude = static_cast<float>(50.0 + north / MetresPerDegree);
    fix.longitude =
        static_cast<float>(10.0 + east / (MetresPerDegree * std::cos(50.0 * 3.14159265358979323846 / 180.0)));
    return fix;
}

struct Step {
    double east;
    double north;
    std::uint32_t ms; // after the step before
    char expected;    // 'p' passed, 'm' passed as a move, 'x' kept out
};

// Good fixes at 5 Hz driving north at 20 m/s from `from` metres on.
std::vector<Step> drive(double from, int count, char expected = 'p') {
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i)
        steps.push_back({0.0, from + 4.0 * i, 200, expected});
    return steps;
}

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(FixGate, KeepsOutWhatNoVehicleReachesAndFollowsARealMove) {
    const Step jump{1000000.0, 0.0, 200, 'x'};
    std::vector<Step> drift;
    for (int i = 0; i < 1500; ++i)
        drift.push_back({0.0, 1.0 * i, 200, 'p'}); // ends 1.5 km on: judged from the last fix, not the first
    std::vector<Step> scattered;
    for (int i = 0; i < 12; ++i)
        scattered.push_back({(i % 2 ? 1.0 : -1.0) * 20000.0 * (1 + i), 0.0, 200, 'x'});
    const struct {
        std::string name;
        std::vector<Step> steps;
    } rows[] = {
        // One fix 1000 km away between good ones, and two in a row.
        {"jump", drive(0, 5) + std::vector<Step>{jump} + drive(24, 5)},
        {"jump twice", drive(0, 5) + std::vector<Step>{jump, jump} + drive(28, 5)},
        // Away and back to where it was, within the slack of the last fix.
        {"jump back", drive(0, 3) + std::vector<Step>{{0, 5000, 200, 'x'}, {0, 8, 200, 'p'}}},
        // A cold start's first fix 50 km from where the receiver really is:
        // four fixes there are kept out, the fifth moves the gate.
        {"real move after a cold start",
         std::vector<Step>{{0, -50000, 0, 'p'}} + drive(0, 4, 'x') + drive(16, 1, 'm') + drive(20, 5)},
        // At two fixes a second, a second of them (the third) moves it; at
        // one a second, two fixes away are no move yet.
        {"a move at 2 Hz", std::vector<Step>{{0, 0, 0, 'p'}, {0, 500, 500, 'x'}, {0, 505, 500, 'x'},
                                             {0, 510, 500, 'm'}, {0, 515, 500, 'p'}}},
        {"two away at 1 Hz", std::vector<Step>{{0, 0, 0, 'p'}, {0, 2000, 1000, 'x'}, {0, 2011, 1000, 'x'},
                                               {0, 33, 1000, 'p'}}},
        {"slow drift", drift},
        // Far fixes that disagree with each other never move it.
        {"scattered", drive(0, 2) + scattered + drive(8 + 12 * 4, 2)},
        // The bound grows with the time since the last fix passed on:
        // 100 m, and 100 m more a second.
        {"bounds", std::vector<Step>{{0, 0, 0, 'p'},
                                     {0, 99, 0, 'p'},
                                     {0, 200.5, 0, 'x'},
                                     {0, 297, 1000, 'p'},
                                     {0, 498, 1000, 'x'},
                                     {0, 498, 1000, 'p'},
                                     {0, 30498, 300000, 'p'}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FixGate gate;
        std::uint32_t ticks = 4294960000u; // the tick count wraps on the way
        std::string seen;
        std::string expected;
        for (const Step& step : row.steps) {
            ticks += step.ms;
            const FixGate::Verdict verdict = gate.judge(at(step.east, step.north), ticks);
            seen += verdict.moved ? 'm' : verdict.passed ? 'p' : 'x';
            expected += step.expected;
        }
        EXPECT_EQ(seen, expected);
    }
}

// A fix with a speed, course or place that no car has is kept out wherever
// it lies, and leaves the gate as it was: the good fixes after it pass, and
// five of them in a row are no move.
TEST(FixGate, KeepsOutASpeedCourseOrPlaceNoCarHas) {
    const float nan = std::nanf("");
    const struct {
        std::string name;
        float speed;
        float heading; // -1: no course
        float latitude = 0.0f; // added to the good fix's
        float longitude = 0.0f;
        bool possible = false;
    } rows[] = {
        {"1e9 knots", 1e9f * 0.514f, 90.0f},
        {"speed and course 1e9", 1e9f * 0.514f, 1e9f},
        {"a course of 1e9", 10.0f, 1e9f},
        {"a negative speed", -5.14f, 90.0f},
        {"a negative course", 10.0f, -10.0f},
        {"faster than 360 km/h", 100.5f, 90.0f},
        {"NaN speed", nan, -1.0f},
        {"NaN course", 10.0f, nan},
        {"NaN place", 10.0f, 90.0f, nan},
        {"longitude 187", 10.0f, 90.0f, 0.0f, 177.0f},
        {"latitude 91", 10.0f, 90.0f, 41.0f},
        {"360 km/h, due north", 100.0f, 360.0f, 0.0f, 0.0f, true},
        {"standing, course sent as 0", 0.0f, 0.0f, 0.0f, 0.0f, true},
        {"no course, heading left as it was", 10.0f, -1.0f, 0.0f, 0.0f, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Positioning::Fix wild = at(0, 0);
        wild.speed = row.speed;
        wild.courseKnown = row.heading != -1.0f;
        wild.heading = row.heading;
        wild.latitude += row.latitude;
        wild.longitude += row.longitude;
        FixGate gate;
        EXPECT_EQ(gate.possible(wild), row.possible);
        if (row.possible) continue;
        // As the first fix too: it anchors nothing.
        EXPECT_FALSE(gate.judge(wild, 0).passed);
        std::string seen;
        std::uint32_t ticks = 0;
        for (int i = 0; i < 14; ++i) {
            Positioning::Fix fix = i >= 3 && i < 9 ? wild : at(0, 4.0 * i);
            const FixGate::Verdict verdict = gate.judge(fix, ticks += 200);
            seen += verdict.moved ? 'm' : verdict.passed ? 'p' : verdict.impossible ? 'i' : 'x';
            if (i == 8) {
                EXPECT_EQ(verdict.keptOut, 6);
            }
        }
        EXPECT_EQ(seen, "pppiiiiiippppp");
    }
}

TEST(FixGate, SaysHowFarAndHowManyWereKeptOut) {
    FixGate gate;
    EXPECT_TRUE(gate.judge(at(0, 0), 1000).passed);
    const FixGate::Verdict first = gate.judge(at(0, 10000), 1200);
    EXPECT_FALSE(first.passed);
    EXPECT_NEAR(first.metres, 10000.0, 10.0);
    EXPECT_EQ(first.ms, 200u);
    EXPECT_EQ(first.keptOut, 1);
    EXPECT_EQ(gate.judge(at(0, 10004), 1400).keptOut, 2);
    const FixGate::Verdict back = gate.judge(at(0, 20), 1600);
    EXPECT_TRUE(back.passed);
    EXPECT_FALSE(back.moved);
    EXPECT_EQ(back.keptOut, 2);
    EXPECT_EQ(gate.judge(at(0, 30), 1800).keptOut, 0);

    Positioning::FixGateRule rule;
    rule.fixesToMove = 2;
    FixGate quick(rule);
    quick.judge(at(0, 0), 0);
    EXPECT_FALSE(quick.judge(at(0, 9000), 0).passed);
    const FixGate::Verdict moved = quick.judge(at(0, 9000), 0);
    EXPECT_TRUE(moved.passed && moved.moved);
    EXPECT_EQ(moved.keptOut, 1);
}

// Distances against the haversine formula, an independent way to the same
// number, from a metre to across a continent.
TEST(FixGate, MeasuresDistancesOnTheSphere) {
    const auto haversine = [](double la1, double lo1, double la2, double lo2) {
        const double r = 3.14159265358979323846 / 180.0;
        const double a = std::pow(std::sin((la2 - la1) * r / 2), 2) +
                         std::cos(la1 * r) * std::cos(la2 * r) * std::pow(std::sin((lo2 - lo1) * r / 2), 2);
        return 2 * 6371000.0 * std::asin(std::sqrt(a));
    };
    const struct {
        float la1, lo1, la2, lo2;
    } rows[] = {
        {50.0f, 10.0f, 50.00001f, 10.0f},       {50.0f, 10.0f, 50.0f, 10.01f},
        {43.7384f, 7.4246f, 43.7311f, 7.4197f}, {48.8566f, 2.3522f, 51.5074f, -0.1278f},
        {-33.87f, 151.21f, -37.81f, 144.96f},   {0.0f, 179.9995f, 0.0f, -179.9995f},
        {60.0f, -179.99f, 60.1f, 179.99f},
    };
    for (const auto& row : rows) {
        // Across the antimeridian the short way round.
        const double turn = row.lo2 - row.lo1 > 180 ? -360.0 : row.lo2 - row.lo1 < -180 ? 360.0 : 0.0;
        const double expected = haversine(row.la1, row.lo1, row.la2, row.lo2 + turn);
        EXPECT_NEAR(FixGate::metresBetween(row.la1, row.lo1, row.la2, row.lo2), expected,
                    expected * 0.005 + 0.01)
            << row.la1 << "," << row.lo1 << " " << row.la2 << "," << row.lo2;
    }
    EXPECT_NEAR(FixGate::metresBetween(48.8566f, 2.3522f, 51.5074f, -0.1278f), 343500.0,
                1500.0); // Paris to London
}

// A recording's ticks follow its fixes' own times, in whole seconds: by
// date and time when both fixes carry a date, else by the time of day.
TEST(FixTimeTicks, AdvanceByTheTimeBetweenTheFixes) {
    const auto fix = [](std::uint8_t day, std::uint8_t hour, std::uint8_t minute, std::uint8_t second) {
        Positioning::Fix f; // the decimals (900 ms) are not counted
        f.dateTime = {day, std::uint8_t(day ? 12 : 0), std::uint16_t(day ? 2014 : 0), hour, minute, second,
                      900};
        return f;
    };
    const struct {
        std::string name;
        std::vector<Positioning::Fix> fixes;
        std::vector<std::uint32_t> ticks;
    } rows[] = {
        {"a second apart", {fix(0, 3, 7, 19), fix(0, 3, 7, 20), fix(0, 3, 8, 0)}, {0, 1000, 41000}},
        {"dated over midnight", {fix(30, 23, 59, 58), fix(31, 0, 0, 1)}, {0, 3000}},
        {"a day later", {fix(30, 12, 0, 0), fix(31, 12, 0, 0)}, {0, 86400000}},
        {"undated over midnight", {fix(0, 23, 59, 58), fix(0, 0, 0, 1)}, {0, 3000}},
        {"the first dated", {fix(0, 3, 7, 19), fix(31, 3, 7, 21)}, {0, 2000}},
        // Back in time: nothing, and the next one is measured from the newest.
        {"back in time",
         {fix(0, 3, 7, 19), fix(0, 3, 7, 10), fix(0, 3, 7, 19), fix(0, 3, 7, 22)},
         {0, 0, 0, 3000}},
    };
    for (const auto& row : rows) {
        Positioning::FixTimeTicks ticks;
        std::vector<std::uint32_t> seen;
        for (const Positioning::Fix& f : row.fixes)
            seen.push_back(ticks.ticksOf(f));
        EXPECT_EQ(seen, row.ticks) << row.name;
    }
}
