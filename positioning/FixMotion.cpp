#include "positioning/FixMotion.h"

#include "positioning/detail/LineSums.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

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

// Learns `lesson` into `mean`, held over the last `window` seconds: each
// lesson weighs as much as the `seconds` since the fix before it, the first
// is taken whole, and `learnedFor` counts the seconds of lessons up to the
// window. Past the window a lesson still weighs its seconds in it, so that
// a receiver whose scatter changes (into a street canyon, or a cold start
// settling) is judged by its last seconds, not its first.
void learnOver(double& mean, double& learnedFor, double lesson, double seconds, double window) {
    learnedFor = std::min(learnedFor + seconds, window);
    mean += seconds / learnedFor * (lesson - mean);
}

// Degrees east folded into -180..180 (across the date line).
double angleEast(double degrees) {
    if (degrees > 180.0) return degrees - 360.0;
    if (degrees < -180.0) return degrees + 360.0;
    return degrees;
}

// Learns `lesson` into `mean`, a guess at first that weighs as much as
// PriorSeconds of lessons, then over LearnSeconds: each lesson weighs as
// much as the `seconds` since the fix before it (`learnedFor` counts them),
// and counts for no more than LessonCap of the mean.
void learnFromGuess(double& mean, double& learnedFor, double lesson, double seconds) {
    learnedFor = std::min(learnedFor + seconds, FixMotion::LearnSeconds);
    const double rate = seconds / std::min(FixMotion::LearnSeconds, FixMotion::PriorSeconds + learnedFor);
    mean = std::max(mean + rate * (std::min(lesson, LessonCap * mean) - mean), LeastScatter);
}

// Metres east and north of `latitude`, `longitude` to the fix, with the
// metres of a degree east at the fix.
void offset(const Fix& fix, double eastPerDegree, double latitude, double longitude, double& east,
            double& north) {
    east = angleEast(fix.longitude - longitude) * eastPerDegree;
    north = (fix.latitude - latitude) * MetresPerDegree;
}

// The course (degrees from north, clockwise) of a way east and north.
float courseOf(double east, double north) {
    const double degrees = std::atan2(east, north) * 180.0 / std::numbers::pi;
    return static_cast<float>(std::fmod(degrees + 360.0, 360.0));
}

} // namespace

void FixMotion::given(const NmeaTime& time, bool speed, bool course) {
    const double now = time.secondsOfDay();
    if (speed) m_speedGiven = now;
    if (course) m_courseGiven = now;
}

bool FixMotion::stale(const std::optional<double>& given, double now) {
    // One given at a time after `now` came before the times went back.
    return !given || since(*given, now) < 0.0 || since(*given, now) > StaleSeconds;
}

void FixMotion::said(Fix& fix, const NmeaTime& time) const {
    const double now = time.secondsOfDay();
    if (stale(m_speedGiven, now)) fix.speed = 0.0f;
    if (stale(m_courseGiven, now)) {
        fix.courseKnown = false;
        fix.heading = 0.0f;
    }
}

void FixMotion::restart() {
    m_count = 0;
    m_told = {};
    m_velocityEast = m_velocityNorth = 0.0;
    m_shown = 0.0;
    m_shownFor = 0.0;
    m_jitter = 0.0;
    m_jitterFor = 0.0;
    m_spread = 0.0;
    m_spreadFor = 0.0;
    m_moving = false;
    m_seenMoving = false;
    m_stillSince.reset();
    m_stoppedAt.reset();
    m_setOffAt.reset();
    m_learned = false;
    m_standFor = 0.0;
    m_standOffFor = 0.0;
    m_fixOffFor = 0.0;
    m_leavingStand = false;
    m_standSince.reset();
    m_departedAt.reset();
}

double FixMotion::errorBound() const {
    // Three of the scatter's mean square ways: the square of the error
    // whose guess it would be.
    double bound = ScatterCeilingMetres / ScatterErrors;
    if (m_learned) {
        const double shown = 3.0 * *std::max_element(m_scatter.begin() + 1, m_scatter.end());
        bound = std::max(std::sqrt(shown), static_cast<double>(m_uere));
    }
    if (m_shownFor > 0.0)
        bound = std::min(bound, std::max(ShownErrors * std::sqrt(m_shown), static_cast<double>(m_uere)));
    return bound;
}

double FixMotion::scatter(int leg, double errorMetres, int nodeFixes) const {
    return m_learned ? m_scatter[static_cast<std::size_t>(leg)] : guess(errorMetres, nodeFixes);
}

double FixMotion::guess(double errorMetres, int nodeFixes) const {
    // A third of the square of the fixes' error, that of HDOP 1 at least
    // (a slowly wandering scatter, which a node's mean keeps): a car never
    // seen standing sets off beyond twice that error. Until it has been
    // seen moving, no less than the mean square way between two nodes of
    // HDOP 1's scatter drawn afresh at each fix, so that such a scatter
    // does not set a standing car off before its own scatter is learned.
    // A car seen moving once, which stops and sets off again (a U-turn), is
    // judged by the error alone.
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
                             Reach& reach, Line& line, bool twoSecondsOfFixes) const {
    struct Sum {
        double east = 0.0;
        double north = 0.0;
        double age = 0.0;
        int fixes = 0;
    };
    std::array<Sum, MaxLegs + 1> sums{};
    sums[0].fixes = 1; // the fix told, where the metres are measured from
    // Sums for the straight lines: the whole window's nodes', and the last
    // two seconds' fixes' (where asked: it costs a pass), the fix told
    // among them at age 0 where the metres are measured from.
    struct Fit : detail::LineSums {
        // The mean square distance from the line that fits best.
        double squares() const {
            const double spread = timeSpread();
            if (w < 3.0 || !(spread > 0.0)) return std::numeric_limits<double>::quiet_NaN();
            const double alongE = alongX();
            const double alongN = alongY();
            const double off = ss - (x * x + y * y) / w - (alongE * alongE + alongN * alongN) / spread;
            return std::max(off, 0.0) / (w - 2.0);
        }
    } two, one;
    two.w = 1.0;
    one.w = 1.0;
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
        if (from.stray) continue;
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
        if (twoSecondsOfFixes && age < 2.5) two.add(age, east, north);
        if (age <= 1.0 + MinSpacingSeconds) one.add(age, east, north);
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
        out[count] = {sum.east / sum.fixes, sum.north / sum.fixes, sum.age / sum.fixes, leg, sum.fixes};
        ++count;
    }
    // The whole window's line is the nodes' (a pass over their few means).
    Fit whole;
    for (std::size_t i = 0; i < count; ++i)
        whole.add(out[i].age, out[i].east, out[i].north);
    line = {whole.squares(), static_cast<int>(whole.w), two.squares(), static_cast<int>(two.w)};
    line.oneSquares = one.squares();
    line.oneFixes = static_cast<int>(one.w);
    // The places lie back in time: the velocity is against the slope.
    if (whole.timeSpread() > 0.0) {
        line.wholeEast = -whole.alongX() / whole.timeSpread();
        line.wholeNorth = -whole.alongY() / whole.timeSpread();
    }
    if (one.timeSpread() > 0.0) {
        line.oneEast = -one.alongX() / one.timeSpread();
        line.oneNorth = -one.alongY() / one.timeSpread();
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

double FixMotion::fromStand(const Fix& fix, const std::array<Node, MaxLegs + 1>& node, std::size_t count,
                            double& gain) const {
    // Metres from the fix, as the nodes are.
    const double standEast = angleEast(m_standLongitude - fix.longitude) * m_eastPerDegree;
    const double standNorth = (m_standLatitude - fix.latitude) * MetresPerDegree;
    // The means of the last two seconds' nodes and of the older ones.
    struct Mean {
        double east = 0.0, north = 0.0;
        int fixes = 0;
        double squares(double e, double n) const {
            return fixes > 0 ? square(east / fixes - e) + square(north / fixes - n) : 0.0;
        }
    } recent, older;
    for (std::size_t i = 0; i < count; ++i) {
        Mean& mean = node[i].leg <= 2 ? recent : older;
        mean.east += node[i].east * node[i].fixes;
        mean.north += node[i].north * node[i].fixes;
        mean.fixes += node[i].fixes;
    }
    const double way = recent.squares(standEast, standNorth);
    gain = older.fixes > 0 ? std::sqrt(way) - std::sqrt(older.squares(standEast, standNorth)) : 0.0;
    return way;
}

void FixMotion::placeStand(const Fix& fix, const std::array<Node, MaxLegs + 1>& node, std::size_t count,
                           int legs, double seconds) {
    double east = 0.0, north = 0.0, age = 0.0;
    int fixes = 0;
    for (std::size_t i = 0; i < count && node[i].leg <= legs; ++i) {
        east += node[i].east * node[i].fixes;
        north += node[i].north * node[i].fixes;
        fixes += node[i].fixes;
        age = node[i].age;
    }
    m_standLatitude = fix.latitude + north / fixes / MetresPerDegree;
    m_standLongitude = fix.longitude + east / fixes / m_eastPerDegree;
    m_standFor = std::max(age, seconds);
}

void FixMotion::learnStand(const Fix& fix, double now, const std::array<Node, MaxLegs + 1>& node,
                           std::size_t count, double seconds, double errorMetres) {
    // The first lesson of a stand: where it stands is the mean of the
    // window's fixes.
    if (m_standFor == 0.0) placeStand(fix, node, count, MaxLegs, seconds);
    double gain = 0.0;
    const double lesson = fromStand(fix, node, count, gain);
    // The guess it starts from: what the claimed error makes likely (HDOP
    // 1's at least), weighed as PriorSeconds of lessons, so that a stand of
    // a few seconds already tells a car that leaves it, and fixes without
    // scatter soon show less.
    if (m_standOffFor == 0.0) m_standOff = std::max(lesson, claimedGuess(errorMetres));
    // Every lesson of a car taken for standing teaches, a long way only so
    // much: a wandering scatter takes the fixes of a few seconds farther
    // from where they stood than any way of them.
    learnFromGuess(m_standOff, m_standOffFor, lesson, seconds);
    // A fix's own mean square distance from there, learned so from HDOP
    // 1's error at least: where the fixes scatter on their own, the mean
    // square error of a fix; where they wander, their wander. Taught by
    // the fix DepartSeconds old, of this stand: a slow car that leaves a
    // short stand is seen leaving only seconds later, and its fixes
    // meanwhile are no stand's.
    std::size_t back = 1;
    while (back <= m_count && since(kept(back).seconds, now) < DepartSeconds)
        ++back;
    if (back <= m_count && !kept(back).stray && since(kept(back).seconds, now) < DepartSeconds + seconds &&
        since(*m_standSince, kept(back).seconds) >= 0.0) {
        const Place& place = kept(back);
        const double east = angleEast(place.longitude - m_standLongitude) * m_eastPerDegree;
        const double north = (place.latitude - m_standLatitude) * MetresPerDegree;
        const double lesson = square(east) + square(north);
        if (m_fixOffFor == 0.0) m_fixOff = square(std::max(errorMetres, static_cast<double>(m_uere)));
        learnFromGuess(m_fixOff, m_fixOffFor, lesson, seconds);
    }
    m_standFor = std::min(m_standFor + seconds, StandSeconds);
    const double share = seconds / m_standFor;
    m_standLatitude += share * (fix.latitude - m_standLatitude);
    m_standLongitude += share * (fix.longitude - m_standLongitude);
}

FixMotion::Departure FixMotion::departure(const Fix& fix, double now, double tauSeconds) const {
    Departure best;
    if (!m_standSince || m_jitterFor < WideLearnSeconds) return best;
    // The fixes since the car stood, newest first, in metres from the fix
    // told; no farther back than StandSeconds before the oldest tau, nor
    // across a gap (a tunnel) that the nodes would not bridge either.
    struct Point {
        double age, east, north;
    };
    std::array<Point, Kept + 1> point;
    std::size_t count = 0;
    point[count++] = {0.0, 0.0, 0.0};
    const double stood = std::min(since(*m_standSince, now), tauSeconds + StandSeconds);
    double last = 0.0;
    for (std::size_t back = 1; back <= m_count; ++back) {
        const Place& from = kept(back);
        const double age = since(from.seconds, now);
        if (age < 0.0 || age > stood + MinSpacingSeconds || age - last > MaxLegs) break;
        if (from.stray) continue;
        last = age;
        double east = 0.0, north = 0.0;
        offset(fix, m_eastPerDegree, from.latitude, from.longitude, east, north);
        point[count++] = {age, -east, -north};
    }
    if (count < static_cast<std::size_t>(DepartStandFixes) + 1) return best;
    // The sums of all the fixes, and of those newer than each tau tried:
    // a fix `d` seconds after tau lies at P + v d, those before it at P.
    double sumEast = 0.0, sumNorth = 0.0, squares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        sumEast += point[i].east;
        sumNorth += point[i].north;
        squares += square(point[i].east) + square(point[i].north);
    }
    const auto n = static_cast<double>(count);
    const double spread = squares - (square(sumEast) + square(sumNorth)) / n; // about the mean
    double a = 0.0, aa = 0.0, e = 0.0, no = 0.0, ae = 0.0, an = 0.0;
    double bestShare = -1.0, bestResidual = 0.0;
    std::size_t bestIndex = 0;
    double bestSpread = 0.0; // of the fixes' times since tau (s²)
    for (std::size_t tau = 1; tau + DepartStandFixes <= count; ++tau) {
        const Point& newer = point[tau - 1];
        a += newer.age;
        aa += square(newer.age);
        e += newer.east;
        no += newer.north;
        ae += newer.age * newer.east;
        an += newer.age * newer.north;
        const double at = point[tau].age; // the last fix of the stand
        if (at > tauSeconds + MinSpacingSeconds) break;
        const auto moving = static_cast<double>(tau);
        const double d = moving * at - a;
        const double dd = moving * square(at) - 2.0 * at * a + aa - square(d) / n;
        if (!(dd > 0.0)) continue;
        const double de = at * e - ae - d * sumEast / n;
        const double dn = at * no - an - d * sumNorth / n;
        const double share = (square(de) + square(dn)) / dd; // the squares the line takes away
        ++best.tried;
        if (share <= bestShare) continue;
        bestShare = share;
        bestResidual = spread - share;
        best.east = de / dd;
        best.north = dn / dd;
        best.tau = at;
        bestIndex = tau;
        bestSpread = dd;
    }
    if (bestShare < 0.0) return best;
    // A stop since: the fixes of the last DepartSeconds from one on lie
    // where the line reached then (its way since tau held there), not on.
    double stopShare = bestShare;
    for (std::size_t stop = 1; stop + 1 < bestIndex && point[stop].age <= DepartSeconds; ++stop) {
        const double held = best.tau - point[stop].age;
        double g = 0.0, gg = 0.0, ge = 0.0, gn = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            const double way = std::clamp(best.tau - point[i].age, 0.0, held);
            g += way;
            gg += square(way);
            ge += way * point[i].east;
            gn += way * point[i].north;
        }
        const double spreadG = gg - square(g) / n;
        if (!(spreadG > 0.0)) continue;
        ++best.stopsTried;
        const double share = (square(ge - g * sumEast / n) + square(gn - g * sumNorth / n)) / spreadG;
        if (share > stopShare) {
            stopShare = share;
            best.stoppedFor = point[stop].age;
        }
    }
    // A fix's mean square error on one axis, as its jitter shows it (the
    // second differences of a scatter drawn afresh hold six of a fix's
    // squares, on two axes), as the receiver claims it, and as the fixes
    // of its stands lay from where it stood; the evidence is judged by the
    // larger of the first two.
    const double jitter = m_jitter / (2.0 * JitterPerError);
    const double claimed =
        square(std::min(static_cast<double>(fixErrorMetres(fix.hdop, m_uere)), errorBound())) / 2.0;
    const double stand = m_fixOffFor > 0.0 ? m_fixOff / 2.0 : 0.0;
    const double error = std::max({jitter, claimed, LeastScatter});
    best.evidence = bestShare / error;
    best.stop = (stopShare - bestShare) / error;
    // The squares left on both axes, less the two of P and the line's two.
    const double left = bestResidual / (2.0 * n - 4.0);
    best.holds = left <= DepartFit * error;
    best.known = error / bestSpread <= square(CourseMinSpeed);
    best.scattered = DepartFit * jitter >= std::max(stand, claimed) && left <= DepartFit * jitter;
    return best;
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
    Line line;
    const std::size_t count = nodes(fix, now, node, error, reach, line, !m_learned && !m_seenMoving);
    const double lastSeconds = std::clamp(m_count > 0 ? since(kept(1).seconds, now) : 0.0, 0.0, 1.0);
    // What the fixes show of their error, over the whole window: a
    // receiver's claim is a first guess only.
    if (count > 0 && node[count - 1].leg == MaxLegs && line.fixes >= 4 && std::isfinite(line.squares)) {
        learnOver(m_shown, m_shownFor, line.squares, std::max(lastSeconds, MinSpacingSeconds), ShownSeconds);
        error = std::min(error, errorBound());
    }
    const auto way = [&node](std::size_t i) {
        return square(node[i].east - node[0].east) + square(node[i].north - node[0].north);
    };
    const int nodeFixes = fewestFixes(node, count);
    if (const std::optional<Motion> wide = wideMotion(fix, now, nodeFixes)) {
        const bool moving = wide->course.has_value();
        if (!m_moving && moving) m_setOffAt = now;
        // A set-off the next fixes do not bear out leaves the stand where
        // it was: the car's fixes since then are of the stand.
        if (m_moving && !moving && !(m_setOffAt && since(*m_setOffAt, now) < WideBaselines[2])) {
            m_stoppedAt = now;
            m_standSince = now;
        }
        m_departedAt.reset();
        m_moving = moving;
        m_seenMoving = m_seenMoving || moving;
        m_leavingStand = false;
        m_stillSince.reset();
        return *wide;
    }
    const auto beyond = [&](std::size_t i, double scatters) {
        const double w = way(i);
        return w > square(error) && w > scatters * scatter(node[i].leg, error, nodeFixes);
    };
    // The last second's fixes on a line at an even pace far shorter than
    // their way, as long as the nodes of two seconds must go for a receiver
    // not yet seen standing: no scatter lies so near it.
    const double lineSpeed = std::hypot(line.oneEast, line.oneNorth);
    const double lineWay = square(lineSpeed); // over a second
    const bool lined = line.oneFixes >= OneLineFixes && std::isfinite(line.oneSquares) &&
                       lineWay > square(OneLineErrors) * line.oneSquares && lineWay > square(error) &&
                       lineWay > StartScatters * claimedGuess(error);
    // The first node two seconds back or more: the speed's baseline.
    std::size_t two = 1;
    while (two < count && node[two].leg < 2)
        ++two;
    bool moving = false;
    bool leftStand = false; // set off from where it stood
    bool leaves = false;    // going on leaving it
    bool byNodes = false;   // the nodes' way sets it off
    bool departs = false;   // it leaves its stand on a line from it
    bool stops = false;     // it stopped since it so set off
    // The fixes judged since `then` (at least one): a test tried at each
    // is the likelier to pass by chance the more often it is tried.
    const auto looks = [&](double then) {
        return std::max(since(then, now) / std::max(lastSeconds, MinSpacingSeconds), 1.0);
    };
    Departure left;
    if (two < count) {
        const std::size_t last = count - 1;
        if (!m_moving) left = departure(fix, now, DepartSeconds);
        // Over two seconds (a car that has just set off, its earlier nodes
        // where it stood) or over all the nodes.
        const bool setOff[] = {setsOff(node, two, StraightShare), setsOff(node, last, StraightShare)};
        const bool settingOff =
            (setOff[0] && beyond(two, StartScatters / 2.0)) || (setOff[1] && beyond(last, StartScatters / 2.0));
        // A standing car's lesson comes first, so that it is judged by it.
        // Only a way the scatter alone made teaches: none from a car that
        // sets off, one that goes one way beyond the scatter too slowly as
        // yet to set off, one that stopped a moment ago (its nodes still
        // hold its drive), nor from nodes short of the whole window (the
        // first seconds, or after a gap), in which a slow car's way cannot
        // be told from scatter.
        const bool justStopped = m_stoppedAt && since(*m_stoppedAt, now) < MaxLegs + 0.5;
        const bool creeps = setOff[1] && beyond(last, StayScatters);
        const bool windowFull = node[last].leg == MaxLegs;
        // A receiver seen neither standing nor moving whose fixes go one
        // way straight at an even pace over the whole window (a car that
        // drives as the program starts, from a receiver without a fresh
        // scatter) is judged by the guess from its error alone: a fresh
        // scatter goes so straight beyond it about once in 200,000 looks.
        const bool even = !m_learned && !m_seenMoving && windowFull && setsOff(node, last, EvenShare) &&
                          way(last) > square(error) && way(last) > StartScatters * claimedGuess(error);
        if (!m_moving && !settingOff && !creeps && !even && !justStopped && windowFull) {
            learn(node, count, lastSeconds, error);
            learnStand(fix, now, node, count, lastSeconds, error);
        }
        // A receiver seen neither standing nor moving yet (the program
        // has just started) is judged by a guess of its scatter, which a
        // scatter drawn afresh at each fix may exceed over two seconds: it
        // sets off over the whole window, or over two seconds where many
        // fixes lie on a straight line at an even pace far shorter than
        // their way (LineFixes, LineErrors: a receiver of 5 to 20 fixes a
        // second), which no scatter drawn afresh does.
        const bool firstJudged = !m_learned && !m_seenMoving;
        const bool onALine = line.twoFixes >= LineFixes && std::isfinite(line.twoSquares) &&
                             way(two) > square(LineErrors) * line.twoSquares;
        double gain = 0.0;
        // Where nothing of it is learned yet (a car that drove from the
        // start and stopped a moment), the claimed error's guess.
        const bool standKnown = m_standFor > 0.0;
        const double standOff = m_standOffFor > 0.0 ? m_standOff : claimedGuess(error);
        const double stood = standKnown ? fromStand(fix, node, count, gain) : 0.0;
        leftStand = !m_moving && gain > 0.0 && stood > square(error) && stood > StartScatters * standOff;
        // A car that set off from it so goes on while its fixes go on
        // leaving it, until its way shows over two seconds.
        if (m_leavingStand && beyond(two, StartScatters)) m_leavingStand = false;
        leaves = m_leavingStand && standKnown && gain > 0.0 && square(gain) > standOff;
        for (const std::size_t to : {two, last}) {
            const bool wholeWindow = to == last && windowFull;
            if (!setOff[to == two ? 0 : 1] || (firstJudged && !wholeWindow && !(to == two && onALine)))
                continue;
            const bool fast = way(to) >= square(CourseMinSpeed * (node[to].age - node[0].age));
            // Fixes on a line are judged by the claimed error's guess: a
            // scatter drawn afresh at each fix lies off any line.
            const bool lined = firstJudged && to == two && onALine && way(to) > square(error) &&
                               way(to) > StartScatters * claimedGuess(error);
            byNodes = byNodes || (fast && (beyond(to, StartScatters) || even || lined));
        }
        double legs = 0.0;
        for (std::size_t i = 0; i < last; ++i)
            legs += square(node[i].east - node[i + 1].east) + square(node[i].north - node[i + 1].north);
        // A moving car goes on while its way over two seconds, or over all
        // the nodes where a fix two seconds old or older lies beyond the
        // fixes' error (a slow car), or its legs (round a hairpin) lie
        // beyond the scatter.
        const bool goesOn = lined || leaves || beyond(two, StayScatters) ||
                            (reach.beyondError && beyond(last, StayScatters)) ||
                            legs > StayScatters * static_cast<double>(last) * scatter(1, error, nodeFixes);
        // A car leaving its stand on a line from it, whether or not the
        // nodes set it off too (the line tells its speed better); one that
        // set off so goes on while the line holds and shows no stop.
        if (!m_moving) {
            const double least = DepartEvidence + 2.0 * std::log(looks(*m_standSince) * left.tried);
            departs = left.scattered && left.holds && left.known && left.evidence > least &&
                      std::hypot(left.east, left.north) >= CourseMinSpeed;
            if (departs) m_departedAt = now - left.tau;
        } else if (m_departedAt && m_setOffAt) {
            left = departure(fix, now, since(*m_departedAt, now) + 1.0);
            const double tried = looks(*m_setOffAt) * std::max(left.stopsTried, 1);
            stops = left.stop > DepartEvidence + 2.0 * std::log(tried);
            departs = !stops && left.scattered && left.holds && left.evidence > DepartStay &&
                      !(beyond(two, StartScatters) && since(*m_setOffAt, now) > DepartSeconds);
            if (!departs) {
                // Its way shows over two seconds (DepartSeconds after it
                // set off: a scatter drawn afresh at a fix a second showed
                // a slow car's now and then), or the line no longer holds:
                // its velocity goes on as the one the car leaves by.
                m_departedAt.reset();
                m_leavingStand = !stops;
                m_leaveEast = left.east;
                m_leaveNorth = left.north;
                m_leaveFor = LeaveSeconds;
            }
        }
        if (!m_moving) {
            // Only a car that the nodes do not set off yet is judged by
            // the place it left: their way gives its speed (or the line's
            // from its stand).
            moving = lined || leftStand || byNodes || departs;
            m_leavingStand = leftStand && !lined && !byNodes && !departs;
        } else if (!stops && (goesOn || departs)) {
            moving = true;
            m_stillSince.reset();
        } else if (!stops) {
            // A fix or two of a moving car within the scatter: it stops
            // only when they last.
            if (!m_stillSince) m_stillSince = now;
            moving = since(*m_stillSince, now) < StopSeconds;
        }
    }
    // The speed over two seconds of nodes (over one a receiver's scatter
    // reads as walking pace): along them where each of their legs is
    // longer than the fixes' error and CourseScatters beyond the scatter
    // (in a bend the way straight across is shorter than the road; a
    // scatter would lengthen the legs), no more than BendShare of the way
    // across.
    Motion motion;
    if (moving) {
        const double across = std::sqrt(way(two));
        double along = 0.0;
        for (std::size_t i = 0; i < two && along >= 0.0; ++i) {
            const double leg = square(node[i].east - node[i + 1].east) + square(node[i].north - node[i + 1].north);
            const bool clear = leg > square(error) && leg > CourseScatters * scatter(1, error, nodeFixes);
            along = clear ? along + std::sqrt(leg) : -1.0;
        }
        along = std::clamp(along, across, BendShare * across);
        motion.speed = static_cast<float>(along / (node[two].age - node[0].age));
        // Until the nodes of two seconds hold none of the stand it set off
        // from, a car's speed is the line's where that is more.
        const bool settingOut = !m_moving || (m_setOffAt && since(*m_setOffAt, now) < TwoSeconds + 0.5);
        // A car that leaves where it stood, its way of two seconds within
        // the scatter: the velocity of the line all its nodes lie on,
        // averaged over the seconds it has been leaving (LeaveSeconds at
        // most). One window's line in a scatter drawn afresh at a fix a
        // second is off by a metre a second; and a car that went on by its
        // nodes' way while its mean hardly gained on where it stood kept
        // that speed but had no course, and read standing for a fix.
        if (m_leavingStand) {
            // The first windows hold more of the stand than the later.
            const bool anew = leftStand || (m_setOffAt && since(*m_setOffAt, now) < FreshLeaveSeconds);
            m_leaveFor = anew ? 0.0 : m_leaveFor;
            m_leaveFor = std::min(m_leaveFor + std::max(lastSeconds, MinSpacingSeconds), LeaveSeconds);
            const double share = anew ? 1.0 : std::max(lastSeconds, MinSpacingSeconds) / m_leaveFor;
            m_leaveEast += share * (line.wholeEast - m_leaveEast);
            m_leaveNorth += share * (line.wholeNorth - m_leaveNorth);
            // Where the nodes' way alone would set it off, it is no
            // scatter: their way along a bend is the speed, which the line
            // straight across would cut short.
            const auto leaving = static_cast<float>(std::hypot(m_leaveEast, m_leaveNorth));
            motion.speed = byNodes ? std::max(motion.speed, leaving) : leaving;
        }
        if (lined && settingOut) {
            motion.lined = static_cast<float>(lineSpeed);
            motion.speed = std::max(motion.speed, motion.lined);
        }
        if (departs) motion.speed = static_cast<float>(std::hypot(left.east, left.north));
        moving = motion.speed >= CourseMinSpeed;
    }
    if (!m_moving && moving) m_setOffAt = now;
    if (m_moving && !moving) {
        m_stoppedAt = now;
        // It stands somewhere else, where its last two seconds' nodes lie
        // (a red light shorter than the stop takes to be told is left
        // from there); a car that moves keeps the place it left, and goes
        // on while it leaves it.
        placeStand(fix, node, count, 2, lastSeconds);
        m_leavingStand = false;
        // Since when its line showed it stopped, where it did.
        m_standSince = stops ? now - left.stoppedFor : now;
        m_departedAt.reset();
    }
    m_moving = moving;
    m_seenMoving = m_seenMoving || moving;
    if (!moving) {
        m_stillSince.reset();
        return {};
    }
    // The course over the shortest way longer than the fixes' error and,
    // once the scatter is learned, CourseScatters beyond it over as long,
    // so that the scatter never turns it by a right angle: a second at any
    // speed but a crawl from a receiver that averages its scatter away (10
    // fixes a second, or a slowly wandering scatter); two or three seconds
    // at town speeds from one whose scatter is drawn afresh at each fix
    // once a second. None where the last two seconds' way lies within the
    // error: a car that just turned back has no course until its way shows
    // the new one.
    for (std::size_t i = 1; i < count && !reach.turnedBack; ++i) {
        if (!(way(i) > square(error)) ||
            (m_learned && !(way(i) > CourseScatters * m_scatter[static_cast<std::size_t>(node[i].leg)])))
            continue;
        motion.course = courseOf(node[0].east - node[i].east, node[0].north - node[i].north);
        break;
    }
    // Else the course of the line its fixes lie on: the last second's, or
    // a slow car's that leaves its stand, all the nodes' as averaged.
    if (departs) motion.course = courseOf(left.east, left.north);
    if (!motion.course && lined) motion.course = courseOf(line.oneEast, line.oneNorth);
    if (!motion.course && m_leavingStand) motion.course = courseOf(m_leaveEast, m_leaveNorth);
    return motion;
}

std::optional<FixMotion::Motion> FixMotion::wideMotion(const Fix& fix, double now, int nodeFixes) const {
    // A fix's mean square error (both axes) as its jitter shows it, no
    // more than its mean square distance from where the car stood shows:
    // a few seconds of a jitter's lessons showed a scatter of 3.5 m drawn
    // afresh wide now and then.
    double spread = m_jitterFor >= WideLearnSeconds ? m_spread / JitterPerError : 0.0;
    if (m_fixOffFor > 0.0) spread = std::min(spread, m_fixOff);
    if (!(spread > WideSquares * nodeFixes)) return std::nullopt;
    // The line of the fixes over each baseline, in one pass back; a
    // standing car's only over the fixes since it stopped, so that the
    // drive before does not set it off again.
    constexpr std::size_t Baselines = WideBaselines.size();
    std::array<detail::LineSums, Baselines> fits{};
    detail::LineSums sums;
    sums.add(0.0, 0.0, 0.0); // the fix told, where the metres are measured from
    const double stoodFor = !m_moving && m_stoppedAt ? since(*m_stoppedAt, now) : WideBaselines.back();
    std::size_t b = 0;
    for (std::size_t back = 1; back <= m_count && b < Baselines; ++back) {
        const Place& from = kept(back);
        const double age = since(from.seconds, now);
        if (age < 0.0 || age > stoodFor + MinSpacingSeconds) break;
        while (b < Baselines && age > WideBaselines[b] + MinSpacingSeconds)
            fits[b++] = sums;
        if (b == Baselines || from.stray) continue;
        double east = 0.0, north = 0.0;
        offset(fix, m_eastPerDegree, from.latitude, from.longitude, east, north);
        sums.add(age, -east, -north);
    }
    while (b < Baselines)
        fits[b++] = sums;
    // Each line's velocity (m/s east and north; the places lie back in
    // time) and its mean square error, both axes.
    struct Velocity {
        double east = 0.0, north = 0.0, error = 0.0;
        bool known = false;
        double squares() const { return east * east + north * north; }
    };
    std::array<Velocity, Baselines> velocity{};
    for (std::size_t i = 0; i < Baselines; ++i) {
        const double timeSpread = fits[i].timeSpread();
        if (fits[i].w < 3.0 || !(timeSpread > 0.0)) continue;
        velocity[i] = {-fits[i].alongX() / timeSpread, -fits[i].alongY() / timeSpread, spread / timeSpread, true};
    }
    // The speed the fixes show beyond their error, over the longest
    // baseline that shows one: a car that sets off beyond StartScatters of
    // it, goes on beyond StayScatters.
    // Not before the jitter is learned over ShownSeconds: a fix's error
    // from its first few lessons may be a third of what it is.
    if (!m_moving && m_spreadFor < ShownSeconds) return Motion{};
    const double least = m_moving ? StayScatters : WideStartScatters;
    // A standing car's way shows over the next longer baseline too, beyond
    // StayScatters: one line alone, its newest fixes a draw or two off,
    // set a standing car off at two or three times a moving one's speed.
    const auto beyond = [&velocity](std::size_t i, double scatters) {
        const Velocity& v = velocity[i];
        return v.known && v.squares() > scatters * v.error && v.squares() >= square(CourseMinSpeed);
    };
    double shown = 0.0;
    std::size_t from = 0; // the shortest baseline the speed told may come from
    for (std::size_t i = Baselines; i-- > 0 && shown == 0.0;) {
        if (!beyond(i, least)) continue;
        if (m_moving) {
            shown = std::sqrt(velocity[i].squares());
        } else if (i + 1 == Baselines || beyond(i + 1, StayScatters)) {
            from = std::min(i + 1, Baselines - 1);
            shown = std::sqrt(velocity[from].squares());
        }
    }
    if (shown == 0.0) return Motion{};
    // The speed told is that of the shortest baseline whose error along the
    // way is small against it; the car stops where that line shows no way
    // beyond its error.
    const auto still = [](const Velocity& v) {
        return !(v.squares() > StayScatters * v.error) || v.squares() < square(CourseMinSpeed);
    };
    for (std::size_t i = from; i < Baselines; ++i) {
        const Velocity& v = velocity[i];
        if (!v.known || v.error / 2.0 > square(shown / WideShare)) continue;
        // Stopped where the next longer baseline shows no way either: one
        // line's error alone stopped a car at 30 km/h now and then.
        if (still(v) && (i + 1 == Baselines || still(velocity[i + 1]))) return Motion{};
        if (still(v)) continue;
        Motion motion;
        motion.speed = static_cast<float>(std::sqrt(v.squares()));
        motion.course = courseOf(v.east, v.north);
        return motion;
    }
    return Motion{};
}

const FixMotion::Place* FixMotion::lastTaken(double now, std::size_t& back) const {
    // Only once the car was seen standing or moving: before, a car that
    // drives is taken for standing and its fixes would all seem to stray.
    if (!m_learned && !m_seenMoving) return nullptr;
    back = 1;
    while (back <= m_count && kept(back).stray)
        ++back;
    if (back > m_count) return nullptr;
    const Place& from = kept(back);
    const double seconds = since(from.seconds, now);
    return seconds > 0.0 && seconds <= MaxLegs ? &from : nullptr;
}

FixMotion::Off FixMotion::off(const Place& place, const Place& from) const {
    const double seconds = since(from.seconds, place.seconds);
    Off away;
    away.east = angleEast(place.longitude - from.longitude) * m_eastPerDegree - m_velocityEast * seconds;
    away.north = (place.latitude - from.latitude) * MetresPerDegree - m_velocityNorth * seconds;
    const bool seen = m_moving && m_told.course.has_value();
    // The fixes' error: what the receiver claims, capped by what its fixes
    // showed, and, over a few tenths of a second, by their jitter where that
    // shows less.
    double error =
        std::min(static_cast<double>(fixErrorMetres(std::max(place.hdop, from.hdop), m_uere)), errorBound());
    if (m_jitterFor > 0.0 && seconds <= JitterSeconds)
        error = std::min(error, std::max(std::sqrt(m_jitter / JitterPerError), LeastStrayError));
    away.reach = StrayErrors * error + StrayAcceleration * seconds * seconds / 2.0 +
                 (seen ? StrayTurn * m_told.speed : UnseenSpeed) * seconds;
    return away;
}

void FixMotion::shift(std::size_t from, double east, double north) {
    for (std::size_t back = from; back <= m_count; ++back) {
        Place& place = m_places[(m_next + Kept - back) % Kept];
        place.latitude += north / MetresPerDegree;
        place.longitude += east / m_eastPerDegree;
    }
}

bool FixMotion::takeStray(const Place& place, bool moveTold) {
    std::size_t back = 0;
    const Place* from = lastTaken(place.seconds, back);
    if (moveTold) {
        // The gate followed the fixes to a new place: the car is there, and
        // its way of the last seconds goes on from there.
        if (from) {
            const Off away = off(place, *from);
            shift(back, away.east, away.north);
        }
        return false;
    }
    if (!from) return false;
    const Off fromTaken = off(place, *from);
    // A run of strays, each where the one before it puts the car, that has
    // lasted MoveSeconds is a move for good: the car is where they are. A
    // shorter burst (a reflection for a few tenths of a second) stays out.
    const std::size_t first = back - 1; // the strays since the last place taken in
    const std::optional<Off> fromStray = first > 0 ? std::optional(off(place, kept(1))) : std::nullopt;
    // It goes on with a place where the stray before it puts the car, that
    // lies less than half as far from there as from where the last place
    // taken in puts it: a scatter's next fix after a stray lies about the
    // car, and took the run on now and then.
    const bool runGoesOn =
        fromStray && !fromStray->beyond() && 4.0 * fromStray->squares() < fromTaken.squares();
    if (!runGoesOn) return fromTaken.beyond();
    if (since(kept(first).seconds, place.seconds) < MoveSeconds) return true;
    // The places before move with the car where the first stray lay well
    // beyond its reach; at its edge lies the first fix of a run that a
    // velocity told a little wrong puts ever farther off, and the places
    // before stay where they were.
    const Off away = off(kept(first), *from);
    if (away.squares() > square(MoveReaches * away.reach)) shift(back, away.east, away.north);
    for (std::size_t i = 1; i <= first; ++i)
        m_places[(m_next + Kept - i) % Kept].stray = false;
    return false;
}

void FixMotion::learnJitter(const Fix& fix, double now) {
    std::size_t back = 1;
    while (back <= m_count && kept(back).stray)
        ++back;
    std::size_t before = back + 1;
    while (before <= m_count && kept(before).stray)
        ++before;
    if (before > m_count) return;
    const Place& a = kept(back);
    const Place& b = kept(before);
    const double first = since(b.seconds, a.seconds);
    const double second = since(a.seconds, now);
    // Evenly spaced, less than a second apart.
    if (!(first > 0.0) || second > 1.0 || std::abs(second - first) > 0.1 * first) return;
    double aEast = 0.0, aNorth = 0.0, bEast = 0.0, bNorth = 0.0;
    offset(fix, m_eastPerDegree, a.latitude, a.longitude, aEast, aNorth);
    offset(fix, m_eastPerDegree, b.latitude, b.longitude, bEast, bNorth);
    // The fix less twice the one before plus the one before that.
    const double lesson = square(aEast - (bEast - aEast)) + square(aNorth - (bNorth - aNorth));
    learnOver(m_jitter, m_jitterFor, lesson, second, ShownSeconds);
    learnOver(m_spread, m_spreadFor, lesson, second, SpreadSeconds);
}

FixMotion::Motion FixMotion::turnMotion(const Fix& fix, double now) const {
    Motion motion;
    if (!(m_jitterFor > 0.0)) return motion;
    const double least = JitterScatters * m_jitter;
    double along = 0.0, stepEast = 0.0, stepNorth = 0.0, stepAge = 0.0, lastWay = 0.0;
    int steps = 0;
    for (std::size_t back = 1; back <= m_count; ++back) {
        const Place& from = kept(back);
        const double age = since(from.seconds, now);
        if (age > TwoSeconds + TurnStepSeconds) break;
        if (from.stray) continue;
        double east = 0.0, north = 0.0;
        offset(fix, m_eastPerDegree, from.latitude, from.longitude, east, north);
        const double way = square(east) + square(north);
        if (!motion.course && age <= TurnSeconds + MinSpacingSeconds && way > least)
            motion.course = courseOf(east, north);
        if (age - stepAge < TurnStepSeconds) continue;
        along += std::sqrt(square(east - stepEast) + square(north - stepNorth));
        stepEast = east;
        stepNorth = north;
        stepAge = age;
        lastWay = way;
        ++steps;
    }
    // Along the fixes of two seconds, in steps of TurnStepSeconds: round a
    // corner the nodes' means cut it short.
    if (stepAge >= TwoSeconds && lastWay > least) motion.speed = static_cast<float>(along / stepAge);
    return motion;
}

void FixMotion::complete(Fix& fix, const NmeaTime& time) {
    const double now = time.secondsOfDay();
    // A time back from the last kept (a recording played again) starts
    // afresh.
    if (m_count > 0 && since(kept(1).seconds, now) < 0.0) restart();
    // A speed or course given at a time after this fix's came before the
    // times went back: it says nothing of now.
    if (m_speedGiven && since(*m_speedGiven, now) < 0.0) m_speedGiven.reset();
    if (m_courseGiven && since(*m_courseGiven, now) < 0.0) m_courseGiven.reset();
    const bool speedStale = stale(m_speedGiven, now);
    const bool courseStale = stale(m_courseGiven, now);
    // A move the gate told is this fix's, whether or not it is judged.
    const bool moveTold = std::exchange(m_moveTold, false);
    bool stray = false;
    if (!m_standSince) m_standSince = now;
    if (speedStale || courseStale) {
        m_eastPerDegree = MetresPerDegree * std::cos(fix.latitude * std::numbers::pi / 180.0);
        stray = takeStray({now, fix.latitude, fix.longitude, fix.hdop, false}, moveTold);
        if (!stray) {
            learnJitter(fix, now);
            m_told = judge(fix, now);
            if (m_told.course) {
                // Over the last second, where the fixes show how little
                // they scatter: no half-second lag in a bend.
                const Motion turn = turnMotion(fix, now);
                if (turn.course) m_told.course = turn.course;
                if (turn.speed >= CourseMinSpeed) m_told.speed = std::max(turn.speed, m_told.lined);
            }
            const double radians = m_told.course.value_or(0.0f) * std::numbers::pi / 180.0;
            const double speed = m_told.course ? m_told.speed : 0.0;
            m_velocityEast = speed * std::sin(radians);
            m_velocityNorth = speed * std::cos(radians);
        }
        if (speedStale) fix.speed = m_told.speed;
        if (courseStale) {
            fix.courseKnown = m_told.course.has_value();
            fix.heading = m_told.course.value_or(0.0f);
        }
    }
    fix.stray = stray;
    // A fix within MinSpacingSeconds of the last kept is not kept.
    if (m_count > 0 && since(kept(1).seconds, now) < MinSpacingSeconds) return;
    m_places[m_next] = {now, fix.latitude, fix.longitude, fix.hdop, stray};
    m_next = (m_next + 1) % Kept;
    if (m_count < Kept) ++m_count;
}

} // namespace Positioning
