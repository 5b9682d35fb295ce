#include "positioning/FixMotion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Positioning {

namespace {

constexpr double SecondsADay = 86400.0;
constexpr double MetresPerDegree = 6371000.0 * std::numbers::pi / 180.0;
// The smallest mean square way the scatter is held to (m²): learned down to
// nothing from a receiver that stood without any, it could not grow again.
constexpr double LeastScatter = 0.25;
// A way longer than this many times the scatter learned counts as that
// many: a car that creeps while it is taken for standing teaches little.
constexpr double LessonCap = 4.0;

// The seconds from `then` to `now`, both times of day, on a clock that
// goes round at midnight; negative when `now` lies up to half a day before
// `then` (a recording played again from its start). No fmod: it is called
// for every fix of the last seconds at every epoch.
double since(double then, double now) {
    const double d = now - then;
    if (d > SecondsADay / 2) return d - SecondsADay;
    if (d < -SecondsADay / 2) return d + SecondsADay;
    return d;
}

double square(double v) {
    return v * v;
}

} // namespace

void FixMotion::given(const NmeaTime& time, bool speed, bool course) {
    const double now = time.secondsOfDay();
    if (speed) m_speedGiven = now;
    if (course) m_courseGiven = now;
}

void FixMotion::restart() {
    m_count = 0;
    m_moving = false;
    m_seenMoving = false;
    m_stillSince.reset();
    m_stoppedAt.reset();
    m_learned = false;
}

double FixMotion::errorBound() const {
    // Three of the scatter's mean square ways: the square of the error
    // whose guess it would be.
    if (!m_learned) return ScatterCeilingMetres / ScatterErrors;
    const double shown = 3.0 * *std::max_element(m_scatter.begin() + 1, m_scatter.end());
    return std::max(std::sqrt(shown), static_cast<double>(m_uere));
}

double FixMotion::scatter(int leg, double errorMetres, int nodeFixes) const {
    return m_learned ? m_scatter[static_cast<std::size_t>(leg)] : guess(errorMetres, nodeFixes);
}

double FixMotion::guess(double errorMetres, int nodeFixes) const {
    // A third of the square of the fixes' claimed error, that of HDOP 1 at
    // least (a slowly wandering scatter, which a node's mean keeps): a car
    // never seen standing sets off beyond twice that error. Until it has
    // been seen moving, no less than the mean square way between two nodes
    // of HDOP 1's scatter drawn afresh at each fix: at one fix a second a
    // standing car's fresh 3.5 m went one way over four seconds beyond the
    // third now and then, and once moving it never stood again. (Once seen
    // moving, a car that stops and sets off again, as in a U-turn, is not
    // held to it: it got its speed back only at 20 km/h.)
    const double claimed = claimedGuess(errorMetres);
    if (m_seenMoving) return claimed;
    return std::max(claimed, 2.0 * square(static_cast<double>(m_uere)) / std::max(nodeFixes, 1));
}

double FixMotion::claimedGuess(double errorMetres) const {
    return square(std::max(errorMetres, static_cast<double>(m_uere))) / 3.0;
}

int FixMotion::fewestFixes(const std::array<Node, MaxLegs + 1>& node, std::size_t count) {
    // The newest node holds only half a second's.
    int fewest = count > 1 ? node[1].fixes : 1;
    for (std::size_t i = 2; i < count; ++i)
        fewest = std::min(fewest, node[i].fixes);
    return fewest;
}

std::size_t FixMotion::nodes(const Fix& fix, double now, std::array<Node, MaxLegs + 1>& out, double& errorMetres,
                             Reach& reach) const {
    struct Sum {
        double east = 0.0;
        double north = 0.0;
        double age = 0.0;
        int fixes = 0;
    };
    std::array<Sum, MaxLegs + 1> sums{};
    sums[0].fixes = 1; // the fix told, where the metres are measured from
    float hdop = fix.hdop;
    const double bound = errorBound();
    const auto errorOf = [&](float h) { return std::min(static_cast<double>(fixErrorMetres(h, m_uere)), bound); };
    const double fixError = errorOf(fix.hdop);
    bool twoSeen = false; // the newest fix two seconds old
    const double eastPerDegree = MetresPerDegree * std::cos(fix.latitude * std::numbers::pi / 180.0);
    for (std::size_t back = 1; back <= m_count; ++back) {
        const Place& from = kept(back);
        const double age = since(from.seconds, now);
        if (age < 0.0 || age >= MaxLegs + 0.5) break;
        Sum& sum = sums[static_cast<std::size_t>(age + 0.5)];
        double east = from.longitude - fix.longitude;
        if (east > 180.0) east -= 360.0;
        if (east < -180.0) east += 360.0;
        east *= eastPerDegree;
        const double north = (from.latitude - fix.latitude) * MetresPerDegree;
        sum.east += east;
        sum.north += north;
        sum.age += age;
        ++sum.fixes;
        hdop = std::max(hdop, from.hdop);
        if (age >= TwoSeconds && !reach.beyondError) {
            const double error = std::max(fixError, errorOf(from.hdop));
            const bool clear = square(east) + square(north) > square(error);
            if (!twoSeen) reach.turnedBack = !clear;
            twoSeen = true;
            reach.beyondError = clear;
        }
    }
    errorMetres = errorOf(hdop);
    std::size_t count = 0;
    for (int leg = 0; leg <= MaxLegs; ++leg) {
        const Sum& sum = sums[static_cast<std::size_t>(leg)];
        if (sum.fixes == 0) continue;
        out[count++] = {sum.east / sum.fixes, sum.north / sum.fixes, sum.age / sum.fixes, leg, sum.fixes};
    }
    return count;
}

void FixMotion::learn(const std::array<Node, MaxLegs + 1>& node, std::size_t count, double seconds,
                      double errorMetres) {
    // Each lesson weighs as much as the time since the fix before it, so
    // that a receiver's rate does not change how fast the scatter is
    // learned; the first ones of each leg weigh against the guess they
    // start from as much as PriorSeconds of them. A guess that the claimed
    // error makes larger than HDOP 1's weighs only ClaimSeconds against
    // the lessons that show less.
    if (!m_learned) {
        // A car seen standing is judged by no less than the scatter of
        // HDOP 1 until it has shown its own.
        const int fixes = fewestFixes(node, count);
        const double hdopOne = std::max(square(static_cast<double>(m_uere)), guess(0.0, fixes));
        const double claimed = guess(errorMetres, fixes);
        m_scatter.fill(std::max(claimed, hdopOne));
        m_claimWeighs = claimed > hdopOne ? ClaimSeconds : PriorSeconds;
        m_learned = true;
        m_learnedFor.fill(0.0);
    }
    for (std::size_t i = 1; i < count; ++i) {
        const auto leg = static_cast<std::size_t>(node[i].leg);
        m_learnedFor[leg] = std::min(m_learnedFor[leg] + seconds, LearnSeconds);
        double& scatter = m_scatter[leg];
        const double way = square(node[i].east - node[0].east) + square(node[i].north - node[0].north);
        const double prior = way < scatter ? m_claimWeighs : PriorSeconds;
        const double rate = seconds / std::min(LearnSeconds, prior + m_learnedFor[leg]);
        // A way the scatter does not make (a car taken for standing that
        // moves) teaches nothing.
        if (way > StartScatters * scatter) continue;
        scatter = std::max(scatter + rate * (std::min(way, LessonCap * scatter) - scatter), LeastScatter);
    }
}

bool FixMotion::setsOff(const std::array<Node, MaxLegs + 1>& node, std::size_t to, double share) const {
    const double east = node[0].east - node[to].east;
    const double north = node[0].north - node[to].north;
    const double whole = square(east) + square(north);
    double legs = 0.0;
    for (std::size_t i = 0; i < to; ++i) {
        const double legEast = node[i].east - node[i + 1].east;
        const double legNorth = node[i].north - node[i + 1].north;
        if (legEast * east + legNorth * north < 0.0) return false;
        legs += square(legEast) + square(legNorth);
    }
    return whole > 0.0 && whole >= share * static_cast<double>(to) * legs;
}

FixMotion::Motion FixMotion::judge(const Fix& fix, double now) {
    std::array<Node, MaxLegs + 1> node;
    double error = 0.0;
    Reach reach;
    const std::size_t count = nodes(fix, now, node, error, reach);
    const auto way = [&node](std::size_t i) {
        return square(node[i].east - node[0].east) + square(node[i].north - node[0].north);
    };
    const int nodeFixes = fewestFixes(node, count);
    const auto beyond = [&](std::size_t i, double scatters) {
        const double w = way(i);
        return w > square(error) && w > scatters * scatter(node[i].leg, error, nodeFixes);
    };
    // The first node two seconds back or more: the speed's baseline.
    std::size_t two = 1;
    while (two < count && node[two].leg < 2)
        ++two;
    bool moving = false;
    if (two < count) {
        const std::size_t last = count - 1;
        // Over two seconds (a car that has just set off, its earlier nodes
        // where it stood) or over all the nodes.
        const bool setOff[] = {setsOff(node, two, StraightShare), setsOff(node, last, StraightShare)};
        const bool settingOff =
            (setOff[0] && beyond(two, StartScatters / 2.0)) || (setOff[1] && beyond(last, StartScatters / 2.0));
        // A standing car's lesson comes first, so that it is judged by it.
        // Neither a car that sets off, nor one that goes one way beyond
        // the scatter too slowly as yet to set off, nor one that stopped a
        // moment ago (its nodes still hold its drive) teaches anything of
        // the scatter: a way taught as scatter keeps the car standing. Nor
        // do nodes short of the whole window (the first seconds, or after
        // a gap): over them a car that drives at 15 km/h as the receiver
        // starts looked neither, and was taken for standing all its drive.
        const bool justStopped = m_stoppedAt && since(*m_stoppedAt, now) < MaxLegs + 0.5;
        const bool creeps = setOff[1] && beyond(last, StayScatters);
        const bool windowFull = node[last].leg == MaxLegs;
        // A receiver seen neither standing nor moving whose fixes go one
        // way straight at an even pace over the whole window (a car that
        // drives as the program starts, from a receiver without a fresh
        // scatter) is judged by the guess from its claimed error alone: a
        // fresh scatter goes so straight beyond it about once in 200,000
        // looks, and a car at 15 km/h got its speed only once it stood.
        const bool even = !m_learned && !m_seenMoving && windowFull && setsOff(node, last, EvenShare) &&
                          way(last) > square(error) && way(last) > StartScatters * claimedGuess(error);
        if (!m_moving && !settingOff && !creeps && !even && !justStopped && windowFull)
            learn(node, count, std::clamp(since(kept(1).seconds, now), 0.0, 1.0), error);
        // A receiver seen neither standing nor moving yet (the program
        // has just started) is judged by a guess of its scatter, which a
        // scatter drawn afresh at each fix exceeds: it sets off only where
        // its fixes go one way over the whole window. Over two seconds its
        // standing fixes did now and then, and once moving it never
        // learned otherwise (5 to 7 m/s and a course at random for half a
        // minute while the car stood at the start).
        const bool firstJudged = !m_learned && !m_seenMoving;
        bool starts = false;
        for (const std::size_t to : {two, last}) {
            if (!setOff[to == two ? 0 : 1] || (firstJudged && (to != last || !windowFull)))
                continue;
            const bool fast = way(to) >= square(CourseMinSpeed * (node[to].age - node[0].age));
            starts = starts || (fast && (beyond(to, StartScatters) || even));
        }
        double legs = 0.0;
        for (std::size_t i = 0; i < last; ++i)
            legs += square(node[i].east - node[i + 1].east) + square(node[i].north - node[i + 1].north);
        // A moving car goes on while its way over two seconds, or over all
        // the nodes where a fix two seconds old or older lies beyond the
        // fixes' error (a slow car), or its legs (round a hairpin) lie
        // beyond the scatter.
        const bool goesOn = beyond(two, StayScatters) || (reach.beyondError && beyond(last, StayScatters)) ||
                            legs > StayScatters * static_cast<double>(last) * scatter(1, error, nodeFixes);
        if (!m_moving) {
            moving = starts;
        } else if (goesOn) {
            moving = true;
            m_stillSince.reset();
        } else {
            // A fix or two of a moving car within the scatter: it stops
            // only when they last.
            if (!m_stillSince) m_stillSince = now;
            moving = since(*m_stillSince, now) < StopSeconds;
        }
    }
    // The speed over two seconds of nodes (over one a receiver's scatter
    // reads as walking pace).
    Motion motion;
    if (moving) {
        motion.speed = static_cast<float>(std::sqrt(way(two)) / (node[two].age - node[0].age));
        moving = motion.speed >= CourseMinSpeed;
    }
    if (m_moving && !moving) m_stoppedAt = now;
    m_moving = moving;
    m_seenMoving = m_seenMoving || moving;
    if (!moving) {
        m_stillSince.reset();
        return {};
    }
    // The course over the shortest way longer than the fixes' error and,
    // once the scatter is learned, well beyond it over as long: a second
    // at any speed but a crawl, no more than half a second late in a turn,
    // from a receiver that averages its scatter away (10 fixes a second, or
    // a slowly wandering scatter); two or three seconds at town speeds from
    // one whose scatter is drawn afresh at each fix once a second, whose
    // course over one second ran against the road now and then. None
    // where the last two seconds' way lies within the error: the way from
    // an older node gave a car that just turned back the course from
    // before the turn.
    for (std::size_t i = 1; i < count && !reach.turnedBack; ++i) {
        if (!(way(i) > square(error)) ||
            (m_learned && !(way(i) > CourseScatters * m_scatter[static_cast<std::size_t>(node[i].leg)])))
            continue;
        const double degrees =
            std::atan2(node[0].east - node[i].east, node[0].north - node[i].north) * 180.0 / std::numbers::pi;
        motion.course = static_cast<float>(std::fmod(degrees + 360.0, 360.0));
        break;
    }
    return motion;
}

void FixMotion::complete(Fix& fix, const NmeaTime& time) {
    const double now = time.secondsOfDay();
    // A time back from the last kept (a recording played again) starts
    // afresh.
    if (m_count > 0 && since(kept(1).seconds, now) < 0.0) restart();
    const bool speedStale = !m_speedGiven || since(*m_speedGiven, now) > StaleSeconds;
    const bool courseStale = !m_courseGiven || since(*m_courseGiven, now) > StaleSeconds;
    if (speedStale || courseStale) {
        const Motion motion = judge(fix, now);
        if (speedStale) fix.speed = motion.speed;
        if (courseStale) {
            fix.courseKnown = motion.course.has_value();
            fix.heading = motion.course.value_or(0.0f);
        }
    }
    // A fix within MinSpacingSeconds of the last kept is not kept.
    if (m_count > 0 && since(kept(1).seconds, now) < MinSpacingSeconds) return;
    m_places[m_next] = {now, fix.latitude, fix.longitude, fix.hdop};
    m_next = (m_next + 1) % Kept;
    if (m_count < Kept) ++m_count;
}

} // namespace Positioning
