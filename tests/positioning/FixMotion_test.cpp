#include "positioning/FixMotion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using Positioning::Fix;
using Positioning::FixMotion;

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double MetresPerDegree = 6371000.0 * Pi / 180.0;

// The scatter's draws; another seed draws other scatter, in which a rare
// stretch of a few fixes may look like the other state.
unsigned seed() {
    const char* text = std::getenv("MIREL_MOTION_SEED");
    return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 7u;
}

// A receiver's scatter on each axis: wandering slowly (a Gauss-Markov
// process with a 30 s correlation time, as a street canyon's echoes) or
// drawn afresh at each fix; `laterMetres` from `laterFrom` seconds into
// the trip on, where set (the car drives into a canyon, or a cold start
// settles).
struct Scatter {
    enum Kind { None, Wandering, Fresh } kind = None;
    double metres = 0.0;
    double laterMetres = 0.0;
    double laterFrom = 0.0;
    std::mt19937 random;
    double east = 0.0, north = 0.0;
    double elapsed = 0.0;
    bool started = false;
    void step(double seconds) {
        std::normal_distribution<double> gauss(0.0, 1.0);
        if (kind == None) return;
        if (laterMetres > 0.0 && elapsed >= laterFrom) metres = laterMetres;
        elapsed += seconds;
        if (kind == Fresh || !started) {
            east = gauss(random) * metres;
            north = gauss(random) * metres;
            started = true;
            return;
        }
        const double keep = std::exp(-seconds / 30.0);
        const double spread = metres * std::sqrt(1.0 - keep * keep);
        east = keep * east + gauss(random) * spread;
        north = keep * north + gauss(random) * spread;
    }
};

// What a trip's stretch does: stand, drive east, or go round a circle of
// 2 m once in four seconds; `back` plays the time back by that many seconds
// first (a recording played again).
struct Stretch {
    enum Kind { Stand, Drive, Circle } kind;
    double seconds;
    double metresPerSecond = 0.0;
    double back = 0.0;
};

struct Told {
    double seconds; // into its stretch
    std::size_t stretch;
    float speed;
    bool courseKnown;
    float heading;
};

// The fixes of a trip at `hz`, from `start` seconds of the day, through one
// FixMotion.
std::vector<Told> trip(int hz, double start, const std::vector<Stretch>& stretches, Scatter scatter, float hdop) {
    FixMotion motion;
    std::vector<Told> told;
    double clock = start; // seconds of the day, round at midnight
    double east = 0.0;
    for (std::size_t s = 0; s < stretches.size(); ++s) {
        const Stretch& stretch = stretches[s];
        clock -= stretch.back;
        const int fixes = static_cast<int>(stretch.seconds * hz);
        for (int i = 0; i < fixes; ++i, clock += 1.0 / hz) {
            const double t = static_cast<double>(i) / hz;
            double x = east, y = 0.0;
            if (stretch.kind == Stretch::Drive) x = east + stretch.metresPerSecond * t;
            if (stretch.kind == Stretch::Circle) {
                x += 2.0 * std::sin(t * Pi / 2.0);
                y += 2.0 * std::cos(t * Pi / 2.0);
            }
            scatter.step(1.0 / hz);
            Fix fix;
            fix.hdop = hdop;
            fix.latitude = static_cast<float>(43.74 + (y + scatter.north) / MetresPerDegree);
            fix.longitude =
                static_cast<float>(7.42 + (x + scatter.east) / (MetresPerDegree * std::cos(43.74 * Pi / 180.0)));
            const double day = std::fmod(clock + 86400.0, 86400.0);
            const long hundredths = std::lround(day * 100.0) % 8640000;
            Positioning::NmeaTime time;
            time.hour = static_cast<std::uint8_t>(hundredths / 360000);
            time.minute = static_cast<std::uint8_t>(hundredths / 6000 % 60);
            time.second = static_cast<std::uint8_t>(hundredths / 100 % 60);
            time.fraction = static_cast<std::uint16_t>(hundredths % 100);
            time.fractionDigits = 2;
            motion.complete(fix, time);
            told.push_back({t, s, fix.speed, fix.courseKnown, fix.heading});
        }
        if (stretch.kind == Stretch::Drive) east += stretch.metresPerSecond * stretch.seconds;
    }
    return told;
}

} // namespace

// Speed and course from the fixes, at 1 to 20 fixes a second, over
// midnight, after a recording starts again, and in both kinds of scatter
// whatever HDOP the receiver claims: a standing car has speed 0 and no
// course at every fix (also from the program's start, before its scatter
// is learned); a car that drives has its speed and course once it drove
// five seconds, never a course against its way, and speed 0 again once it
// stood seven seconds.
TEST(FixMotion, TellsAStandingCarFromAMovingOne) {
    using S = Stretch;
    const std::vector<Stretch> standDriveStand = {{S::Stand, 40}, {S::Drive, 40, 11.1}, {S::Stand, 40}};
    struct Row {
        std::string name;
        int hz;
        std::vector<Stretch> stretches;
        Scatter::Kind scatter = Scatter::None;
        double metres = 0.0;
        float hdop = 0.9f;
        double start = 36000.0;
        double speedWithin = 0.3; // of the true speed, m/s
        double courseWithin = 2.0; // degrees
        unsigned seeds = 1; // trips, each with its own scatter
        double movingFrom = FixMotion::MaxLegs + 1; // seconds into a drive
        double settles = 7.0; // seconds of a stand after a drive not judged
        double atMost = 0.0; // times the true speed no reading exceeds (where set)
        int standingFixes = 0; // standing fixes that may read moving
        double laterMetres = 0.0; // the scatter from laterFrom seconds on, where set
        double laterFrom = 60.0;
    };
    std::vector<Row> rows = {
        {"1 Hz", 1, standDriveStand},
        {"5 Hz", 5, standDriveStand},
        {"10 Hz", 10, standDriveStand},
        {"20 Hz", 20, standDriveStand},
        {"over midnight", 10, standDriveStand, Scatter::None, 0.0, 0.9f, 86400.0 - 60.0},
        // A slow car, once its receiver was seen standing without scatter.
        {"3 m/s after standing", 1, {{S::Stand, 60}, {S::Drive, 40, 3.0}, {S::Stand, 40}}},
        // Played again from its start: the first fixes after have nothing
        // to compare to, then the drive is followed again.
        {"a recording played again", 10,
         {{S::Stand, 40}, {S::Drive, 40, 11.1}, {S::Drive, 40, 11.1, 80.0}, {S::Stand, 40}}},
        // Going round within 2 m goes nowhere, whatever the HDOP says.
        {"round a circle", 10, {{S::Circle, 300}}, Scatter::None, 0.0, 0.2f},
        // Slowly wandering scatter of 8 m with HDOP 0.9 claimed, as in a
        // street canyon; scatter of 3.5 m drawn afresh at each fix, HDOP 1.
        {"8 m wandering, 10 Hz", 10, {{S::Stand, 600}, {S::Drive, 40, 11.1}, {S::Stand, 60}}, Scatter::Wandering,
         8.0, 0.9f, 36000.0, 3.0, 25.0},
        {"8 m wandering, 1 Hz", 1, {{S::Stand, 600}, {S::Drive, 40, 11.1}, {S::Stand, 60}}, Scatter::Wandering,
         8.0, 0.9f, 36000.0, 3.0, 25.0},
        {"3.5 m fresh, 10 Hz", 10, {{S::Stand, 600}, {S::Drive, 40, 11.1}, {S::Stand, 60}}, Scatter::Fresh, 3.5,
         1.0f, 36000.0, 2.0, 25.0},
        {"3.5 m fresh, 1 Hz", 1, {{S::Stand, 600}, {S::Drive, 40, 11.1}, {S::Stand, 60}}, Scatter::Fresh, 3.5,
         1.0f, 36000.0, 5.0, 45.0},
        // Standing from the program's start: a scatter drawn afresh at each
        // fix goes beyond the guess the receiver is judged by until it is
        // learned. At 30 km/h a course over one second of it ran against
        // the car's way one fix in twenty.
        {"3.5 m fresh, 1 Hz, standing from the start", 1, {{S::Stand, 60}}, Scatter::Fresh, 3.5, 1.0f, 36000.0,
         0.3, 2.0, 60},
        {"3.5 m fresh, 10 Hz, standing from the start", 10, {{S::Stand, 30}}, Scatter::Fresh, 3.5, 1.0f, 36000.0,
         0.3, 2.0, 30},
        {"3.5 m fresh, 1 Hz, 30 km/h", 1, {{S::Stand, 60}, {S::Drive, 600, 8.3}}, Scatter::Fresh, 3.5, 1.0f,
         36000.0, 5.0, 45.0},
        // Fixes as good as ever from receivers that claim HDOP 5 or 20 (in
        // streets, for minutes): after a stand of 10 s, and never seen
        // standing. A 20 km/h car was taken for standing all its drive.
        {"HDOP 5 claimed, 20 km/h", 1, {{S::Stand, 10}, {S::Drive, 40, 5.6}, {S::Stand, 40}}, Scatter::None, 0.0,
         5.0f},
        {"HDOP 20 claimed, 10 Hz", 10, {{S::Stand, 10}, {S::Drive, 40, 8.3}, {S::Stand, 40}}, Scatter::None, 0.0,
         20.0f},
        {"HDOP 20 claimed, never standing", 1, {{S::Drive, 40, 11.1}, {S::Stand, 40}}, Scatter::None, 0.0, 20.0f},
        // A car at 15 km/h when the receiver starts, never seen standing: it
        // taught its own way as the scatter and was never seen to move.
        {"15 km/h from the start, 10 Hz", 10, {{S::Drive, 40, 4.2}, {S::Stand, 40}}},
        {"12 km/h from the start, 1 Hz", 1, {{S::Drive, 40, 3.3}, {S::Stand, 40}}},
        // At 10 to 20 fixes a second a car that drives as the receiver
        // starts is told moving within a second and a half (the map stood
        // four seconds at the start of a drive).
        {"40 km/h from the start, 10 Hz", 10, {{S::Drive, 40, 11.1}, {S::Stand, 40}}, Scatter::None, 0.0, 0.9f,
         36000.0, 0.3, 2.0, 1, 1.5},
        {"40 km/h from the start, 20 Hz", 20, {{S::Drive, 40, 11.1}, {S::Stand, 40}}, Scatter::None, 0.0, 0.9f,
         36000.0, 0.3, 2.0, 1, 1.5},
        // After a stand, a receiver of 10 or 20 fixes a second without speed
        // sets off no later than one of a fix a second (2 s), and at its
        // speed: its nodes of two seconds held the stand, and it set off
        // after 2.1 s, 1.9 s at its speed after a long stand.
        {"42 km/h after a stand, 1 Hz", 1, {{S::Stand, 10}, {S::Drive, 40, 11.7}, {S::Stand, 40}}, Scatter::None,
         0.0, 0.9f, 36000.0, 0.3, 2.0, 1, 2.0},
        {"42 km/h after a stand, 10 Hz", 10, {{S::Stand, 10}, {S::Drive, 40, 11.7}, {S::Stand, 40}},
         Scatter::None, 0.0, 0.9f, 36000.0, 0.3, 2.0, 1, 1.0},
        {"42 km/h after a stand, 20 Hz", 20, {{S::Stand, 10}, {S::Drive, 40, 11.7}, {S::Stand, 40}},
         Scatter::None, 0.0, 0.9f, 36000.0, 0.3, 2.0, 1, 1.0},
        {"42 km/h after a long stand, 10 Hz", 10, {{S::Stand, 60}, {S::Drive, 40, 11.7}, {S::Stand, 40}},
         Scatter::None, 0.0, 0.9f, 36000.0, 0.3, 2.0, 1, 1.0},
        // 15 km/h after a stand, at a fix a second in 3.5 m of scatter drawn
        // afresh: never seen driving (its way over the nodes' four seconds
        // lies within the scatter), now moving from its fifth second on,
        // and kept so, its speed within 1.5 m/s, in ten scatters (it was
        // first told in the fifth or sixth second, and read standing again
        // for a fix or two in half the drives).
        {"15 km/h after a stand, 3.5 m fresh, 1 Hz", 1, {{S::Stand, 60}, {S::Drive, 60, 4.17}, {S::Stand, 40}},
         Scatter::Fresh, 3.5, 1.0f, 36000.0, 1.5, 30.0, 10, 5.0},
        // The same after a cold start whose 10 m settled to 3.5 m in its
        // first minute: a scatter judged by the first minute for good stayed
        // wide, and the car stood for seconds of its drive and drove in
        // its stand.
        {"15 km/h after a stand, 10 m fresh settling to 3.5 m, 1 Hz", 1,
         {{S::Stand, 600}, {S::Drive, 60, 4.17}, {S::Stand, 40}}, Scatter::Fresh, 10.0, 1.0f, 36000.0, 1.5, 30.0,
         10, 5.0, 7.0, 0.0, 0, 3.5, 60.0},
        // At 10 Hz, a minute into a drive, fixes of 0.3 m go into a canyon
        // of 3.5 m drawn afresh: judged by their first jitter for good, the
        // fixes were taken for strays by the dozen and the speed and course
        // went off.
        {"40 km/h into a canyon, 0.3 m then 3.5 m fresh, 10 Hz", 10, {{S::Stand, 60}, {S::Drive, 180, 11.1}},
         Scatter::Fresh, 0.3, 1.0f, 36000.0, 2.0, 25.0, 10, FixMotion::MaxLegs + 1, 7.0, 0.0, 0, 3.5, 120.0},
        // 15 km/h after a stand of a few seconds, or a red light: its
        // scatter not yet learned, the way over the nodes lay within it and
        // the car was never seen driving.
        {"15 km/h after a 5 s stand, 1 Hz", 1, {{S::Stand, 5}, {S::Drive, 40, 4.17}, {S::Stand, 40}},
         Scatter::None, 0.0, 1.0f},
        {"15 km/h after a 10 s stand, 1 Hz", 1, {{S::Stand, 10}, {S::Drive, 40, 4.17}, {S::Stand, 40}},
         Scatter::None, 0.0, 1.0f},
        {"15 km/h after a red light, 1 Hz", 1,
         {{S::Stand, 5}, {S::Drive, 20, 8.3}, {S::Stand, 10}, {S::Drive, 40, 4.17}, {S::Stand, 40}},
         Scatter::None, 0.0, 1.0f},
        // The same in 3.5 m of scatter drawn afresh at each fix (a red light
        // between two stretches at 15 km/h): its way from a stand of a few
        // seconds, whose place a few fixes tell, lay within that stand's
        // scatter, and it was told 4 to 14 s late, if at all. Moving from
        // the fifth second, or the sixth after 5 s standing from the start:
        // six fixes tell that place no better.
        {"15 km/h after a 5 s stand, 3.5 m fresh, 1 Hz", 1, {{S::Stand, 5}, {S::Drive, 40, 4.17}, {S::Stand, 40}},
         Scatter::Fresh, 3.5, 1.0f, 36000.0, 1.5, 30.0, 10, 6.0},
        {"15 km/h after a 10 s stand, 3.5 m fresh, 1 Hz", 1,
         {{S::Stand, 10}, {S::Drive, 40, 4.17}, {S::Stand, 40}}, Scatter::Fresh, 3.5, 1.0f, 36000.0, 1.5, 30.0, 10,
         5.0},
        {"15 km/h after a red light, 3.5 m fresh, 1 Hz", 1,
         {{S::Stand, 5}, {S::Drive, 20, 4.17}, {S::Stand, 10}, {S::Drive, 40, 4.17}, {S::Stand, 40}},
         Scatter::Fresh, 3.5, 1.0f, 36000.0, 1.5, 30.0, 10, 6.0},
    };
    // 17.7 m drawn afresh at each fix, HDOP 5 claimed, GGA alone at 1 Hz:
    // the nodes of two seconds read a standing car 6 to 48 m/s, a car at 30
    // km/h 0 to 45 m/s. Standing: speed 0; driving: moving within 10 s of
    // setting off, never read above twice its speed.
    for (const double stand : {8.0, 60.0})
        rows.push_back({"17.7 m fresh, HDOP 5, 1 Hz, 30 km/h after " + std::to_string(static_cast<int>(stand)) +
                            " s",
                        1, {{S::Stand, stand}, {S::Drive, 60, 8.3}, {S::Stand, 40}}, Scatter::Fresh, 17.7, 5.0f,
                        36000.0, 4.0, 45.0, 10, 10.0, 12.0, 2.0, 1});
    // Fixes as good as ever from a receiver that claims HDOP 1 to 20, the
    // car never seen standing: its speed within five seconds (with HDOP 2
    // to 20 slow cars never had one).
    for (const float hdop : {1.0f, 2.0f, 5.0f, 20.0f})
        for (const double kmh : {15.0, 25.0, 30.0})
            rows.push_back({"HDOP " + std::to_string(static_cast<int>(hdop)) + " claimed, " +
                                std::to_string(static_cast<int>(kmh)) + " km/h from the start",
                            1, {{S::Drive, 40, kmh / 3.6}, {S::Stand, 40}}, Scatter::None, 0.0, hdop});
    for (const auto& row : rows) {
        for (unsigned trial = 0; trial < row.seeds; ++trial) {
            SCOPED_TRACE(testing::Message() << row.name << ", seed " << seed() + trial);
            Scatter scatter;
            scatter.kind = row.scatter;
            scatter.metres = row.metres;
            scatter.random.seed(seed() + trial);
            scatter.laterMetres = row.laterMetres;
            scatter.laterFrom = row.laterFrom;
            const std::vector<Told> told = trip(row.hz, row.start, row.stretches, scatter, row.hdop);
            int standingMoved = 0, driving = 0, drivingStill = 0, speedOff = 0, courseOff = 0, restarted = 0;
            int courseAgainst = 0, tooFast = 0;
            for (const Told& t : told) {
                const Stretch& stretch = row.stretches[t.stretch];
                const bool afterDrive = t.stretch > 0 && row.stretches[t.stretch - 1].kind == Stretch::Drive;
                if (stretch.kind != Stretch::Drive) {
                    // The way of the last MaxLegs seconds shows the drive for
                    // as long, and scatter may carry it a little further.
                    if (afterDrive && t.seconds < row.settles) continue;
                    standingMoved += t.speed != 0.0f || t.courseKnown ? 1 : 0;
                    continue;
                }
                if (stretch.back > 0.0 && t.seconds == 0.0) restarted += t.speed == 0.0f && !t.courseKnown ? 1 : 0;
                tooFast += row.atMost > 0.0 && t.speed > row.atMost * stretch.metresPerSecond ? 1 : 0;
                if (t.seconds < row.movingFrom) continue;
                ++driving;
                if (t.speed == 0.0f || !t.courseKnown) {
                    ++drivingStill;
                    continue;
                }
                speedOff += std::abs(t.speed - stretch.metresPerSecond) > row.speedWithin ? 1 : 0;
                const double turn = std::remainder(t.heading - 90.0, 360.0);
                courseOff += std::abs(turn) > row.courseWithin ? 1 : 0;
                courseAgainst += std::abs(turn) > 90.0 ? 1 : 0;
            }
            EXPECT_LE(standingMoved, row.standingFixes);
            // Scatter puts some speeds and courses off (the bounds above are
            // about two of their errors), and now and then the fix two
            // seconds back within the fixes' error (no course); without it
            // none.
            EXPECT_LE(drivingStill, row.scatter == Scatter::None ? 0 : driving / 50) << "of " << driving;
            const int allowed = row.scatter == Scatter::None ? 0 : driving / 6;
            EXPECT_LE(speedOff, allowed) << "of " << driving;
            EXPECT_LE(courseOff, allowed) << "of " << driving;
            EXPECT_EQ(courseAgainst, 0) << "of " << driving;
            EXPECT_EQ(tooFast, 0);
            const bool playedAgain = std::any_of(row.stretches.begin(), row.stretches.end(),
                                                 [](const Stretch& stretch) { return stretch.back > 0.0; });
            EXPECT_EQ(restarted, playedAgain ? 1 : 0);
        }
    }
}

// A speed or course that a sentence gave lately is kept as the receiver
// sent it; three seconds after the last one, the fixes' own take over.
TEST(FixMotion, KeepsWhatTheReceiverSaysWhileItSaysIt) {
    FixMotion motion;
    Positioning::NmeaTime time;
    time.hour = 10;
    for (int second = 0; second < 20; ++second) {
        time.second = static_cast<std::uint8_t>(second);
        Fix fix;
        fix.hdop = 0.9f;
        fix.latitude = 43.74f;
        fix.longitude = static_cast<float>(7.42 + 11.1 * second / (MetresPerDegree * std::cos(43.74 * Pi / 180.0)));
        fix.speed = 5.0f; // as a sentence gave it
        fix.heading = 45.0f;
        fix.courseKnown = true;
        if (second < 10) motion.given(time, true, second < 5);
        motion.complete(fix, time);
        SCOPED_TRACE(second);
        EXPECT_NEAR(fix.speed, second <= 12 ? 5.0f : 11.1f, 0.05f);
        EXPECT_NEAR(fix.heading, second <= 7 ? 45.0f : 90.0f, 0.5f);
    }
    // The receiver's times go back an hour and it sends GGA alone while the
    // car stands: what the sentences gave came after these times, and says
    // nothing of them (the car kept 11.1 m/s and its course).
    time.hour = 9;
    for (int second = 0; second < 20; ++second) {
        time.second = static_cast<std::uint8_t>(second);
        Fix fix;
        fix.hdop = 0.9f;
        fix.latitude = 43.74f;
        fix.longitude = 7.42f;
        fix.speed = 11.1f; // as the device holds it from the fix before
        fix.heading = 90.0f;
        fix.courseKnown = true;
        motion.complete(fix, time);
        SCOPED_TRACE(second);
        EXPECT_EQ(fix.speed, 0.0f);
        EXPECT_FALSE(fix.courseKnown);
    }
}

// One fix thrown off a car that drives east at 40 km/h (a reflection the
// gate lets through), or a burst of three at 10 Hz: the fixes after it keep
// their course within 20 degrees and their speed within a fifth (the next
// fix's course ran 164 to 174 degrees and its speed up to 51 m/s; after a
// burst 20 m aside the speed read 95 km/h), and so do the strays, each
// marked a stray. Fixes that stay as far off for good are a move: its first
// fixes are strays, and from a second on (half a second at 10 Hz) the car
// is there, at its speed (a pair after a move taken in with the window
// still holding the places before it read 80 to 258 m/s).
TEST(FixMotion, OneStrayFixMovesNeitherSpeedNorCourse) {
    constexpr int ForGood = 1000;
    const struct {
        const char* name;
        int hz;
        double north; // metres the fix is thrown
        double standSeconds;
        int thrown; // fixes in a row
        double speed = 11.1;
    } rows[] = {
        {"40 m, 1 Hz", 1, 40.0, 0.0, 1},     {"100 m, 1 Hz", 1, 100.0, 0.0, 1},
        {"40 m, 10 Hz", 10, 40.0, 0.0, 1},   {"100 m, 10 Hz", 10, 100.0, 0.0, 1},
        {"40 m, 1 Hz, after a stand", 1, 40.0, 20.0, 1},
        {"a burst 20 m aside, 10 Hz", 10, 20.0, 0.0, 3},
        {"a burst 40 m aside, 10 Hz", 10, 40.0, 0.0, 3},
        {"a move of 40 m, 1 Hz", 1, 40.0, 0.0, ForGood},
        {"a move of 150 m, 1 Hz", 1, 150.0, 0.0, ForGood},
        {"a move of 195 m, 1 Hz", 1, 195.0, 0.0, ForGood},
        {"a move of 500 m, 2 Hz", 2, 500.0, 0.0, ForGood},
        {"a move of 500 m, 5 Hz, 20 m/s", 5, 500.0, 0.0, ForGood, 20.0},
        {"a move of 300 m, 10 Hz", 10, 300.0, 0.0, ForGood},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FixMotion motion;
        const int throwAt = static_cast<int>((row.standSeconds + 15.0) * row.hz);
        const int fixes = throwAt + 15 * row.hz;
        int strays = 0;
        for (int i = 0; i < fixes; ++i) {
            const double seconds = static_cast<double>(i) / row.hz;
            const double east = row.speed * std::max(seconds - row.standSeconds, 0.0);
            const bool thrown = i >= throwAt && i < throwAt + row.thrown;
            Fix fix;
            fix.hdop = 0.9f;
            fix.latitude = static_cast<float>(43.74 + (thrown ? row.north : 0.0) / MetresPerDegree);
            fix.longitude = static_cast<float>(7.42 + east / (MetresPerDegree * std::cos(43.74 * Pi / 180.0)));
            Positioning::NmeaTime time;
            time.hour = 10;
            time.minute = static_cast<std::uint8_t>(i / row.hz / 60);
            time.second = static_cast<std::uint8_t>(i / row.hz % 60);
            time.fraction = static_cast<std::uint16_t>(i % row.hz * 100 / row.hz);
            time.fractionDigits = 2;
            motion.complete(fix, time);
            SCOPED_TRACE(seconds);
            if (i < throwAt) {
                EXPECT_FALSE(fix.stray);
                continue;
            }
            strays += fix.stray ? 1 : 0;
            EXPECT_TRUE(!fix.stray || thrown);
            ASSERT_TRUE(fix.courseKnown);
            EXPECT_NEAR(fix.heading, 90.0f, 20.0f);
            EXPECT_NEAR(fix.speed, row.speed, row.speed / 5);
        }
        // Each of a burst; a move's, for up to half a second.
        EXPECT_EQ(strays, row.thrown == ForGood ? (row.hz + 1) / 2 : row.thrown);
    }
}

// Fixes as the receiver starts that go 10 m a second east for three seconds
// and then a metre back: over the whole window they lie nearly straight,
// but the newest leg goes against them, and the car is not set off the way
// it came (it has speed 0 and no course), at any fix of them.
TEST(FixMotion, AWayWhoseNewestLegGoesBackSetsNoCarOff) {
    FixMotion motion;
    const double metres[] = {0.0, 10.0, 20.0, 30.0, 29.0};
    for (int second = 0; second < 5; ++second) {
        Fix fix;
        fix.hdop = 0.9f;
        fix.latitude = 43.74f;
        fix.longitude =
            static_cast<float>(7.42 + metres[second] / (MetresPerDegree * std::cos(43.74 * Pi / 180.0)));
        Positioning::NmeaTime time;
        time.hour = 10;
        time.second = static_cast<std::uint8_t>(second);
        motion.complete(fix, time);
        SCOPED_TRACE(second);
        EXPECT_EQ(fix.speed, 0.0f);
        EXPECT_FALSE(fix.courseKnown);
    }
}
