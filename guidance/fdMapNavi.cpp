#include "guidance/fdMapNavi.h"

#include "map/Level.h"
#include "map/SegmentProjection.h"
#include "map/UnitsPerMeter.h"
#include "positioning/Fix.h"
#include "routing/ManoeuvreTypes.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <optional>

namespace Guidance {

namespace {

// Driving against the route: more than 0.9 pi off its heading.
constexpr double BackwardAngle = 2.8274333;
constexpr float BackwardMinSpeedMs = 5.0f;
constexpr float BackwardMinSegmentMetres = 2.0f;
// Where the route turns, the car's heading and course lag the turn by up to
// this long: the route is looked back along so many seconds of driving from
// the position (TurnWindowMinMetres at least), for a car that went the
// route's way as long ago at most.
constexpr double TurnWindowSeconds = 3.0;
constexpr double TurnWindowMinMetres = 30.0;
// A new fix moves the tracker's point on by up to this much more than the
// car drove; a route point further on where the route has turned by more
// than OtherLegDegrees is on another leg of it.
constexpr std::uint32_t FixJumpMetres = 10;
constexpr int OtherLegDegrees = 60;
// A course measured over a second of a noisy receiver strays this far.
constexpr int CourseSlackDegrees = 45;
// A car goes the route's way when its course lies within RouteWayDegrees of
// the route's heading where guidance has it and RouteWayAheadMetres on.
constexpr int RouteWayDegrees = 45;
constexpr double RouteWayAheadMetres = 30.0;
// The receiver's fix lies behind the car guidance follows by its latency
// and the time since it came, ahead of it by its scatter: the route is
// looked along this many seconds of driving each way for it.
constexpr double FixLagSeconds = 4.0;
constexpr double FixLagMinMetres = 50.0;
// Below this speed (m/s) a car stands: its fixes' way is their scatter.
constexpr float StandingMs = 1.0f;
// A fix that wanders lies up to this many times its scatter from where the
// car is (the start it stands at, the road it drives along).
constexpr double WanderScatters = 2.0;
// A car standing short of the finish has arrived where its fix lies within
// its scatter of it, but never farther than this, whatever HDOP the
// receiver claims: a car stopped farther short has not arrived.
constexpr double ArrivalScatterCeilingMetres = 20.0;
// A car whose speed reads 0 may still creep (below the speed the receiver's
// fixes tell): its place is looked for this far ahead at least, within
// what its fix allows.
constexpr std::uint32_t CreepMetres = 10;
// The place moves on at most this many times the car's speed between the
// places its fixes allow.
constexpr double SpeedSlack = 1.25;
// Fixes further apart in time than this do not judge each other.
constexpr std::uint32_t FixGapMs = 2500;
// The places of the fixes of this long bound how far on the car can be,
// each with the way it can have driven since and one fix's jump.
constexpr std::uint32_t FixSpanMs = 2000;
// How long after the car last drove a speed of 0 may be a misreading: a
// receiver without speed, its fixes widely scattered, reads the car's
// speed from a line through them over up to 16 s.
constexpr std::uint32_t SpeedMisreadMs = 16000;

std::uint32_t configMetres(Core::ConfigNode& node, const char* key, int defaultValue) {
    return static_cast<std::uint32_t>(std::max(0, node.value(key, defaultValue)));
}

std::uint16_t clampMetres(std::uint32_t metres) { return static_cast<std::uint16_t>(std::min<std::uint32_t>(metres, 0xFFFF)); }

// trunc(x) in 0..limit; a speed from a broken fix (NaN, huge) stays in range.
std::uint32_t truncated(double x, double limit) {
    return x > 0.0 ? static_cast<std::uint32_t>(x < limit ? x : limit) : 0;
}

} // namespace

fdMapNavi::fdMapNavi(const Core::ConfigNodePtr& config, fdMapNaviEventsHandler* handler,
                     const Positioning::Clock& clock)
    : m_config(config->child("Navigation")), m_handler(handler), m_clock(clock),
      m_gpsLatencySeconds(config->child("Car")->value("gps_latency", 1.5f)) {
    Core::ConfigNode& c = *m_config;
    m_maxDistFromPath0 = configMetres(c, "max_dist_from_path_0", 50);
    m_maxDistFromPath1 = configMetres(c, "max_dist_from_path_1", 4);
    m_minProbOnPath1 = c.value("min_prob_on_path_1", 0.85f);
    m_rotatesStickDist = configMetres(c, "rotates_stick_dist", 100);
    m_pathPointArriveDist = configMetres(c, "path_point_arrive_dist", 10);
    m_rutondaWarn0 = configMetres(c, "rutonda_warn0", 20);
    m_rutondaLeaveWarn0 = configMetres(c, "rutonda_leave_warn0", 5);
    m_defWarn0 = configMetres(c, "def_warn0", 0);
    m_rutondaWarn1 = configMetres(c, "rutonda_warn1", 10);
    m_defWarn1 = configMetres(c, "def_warn1", 40);
    m_ppSafeZone = configMetres(c, "pp_safe_zone", 60);
    m_sayDistBeforeNotif = c.value("say_dist_before_notif", true);
    m_afterRotPassWarnDelay = configMetres(c, "after_rot_pass_warn_delay", 90);
    m_afterRotPassWarnMinDist = configMetres(c, "after_rot_pass_warn_min_dist", 210);
    m_afterRotPassWarnStickDist = configMetres(c, "after_rot_pass_warn_stick_dist", 250);
}

fdMapNavi::~fdMapNavi() {
    if (m_running)
        stop();
    setPath(nullptr);
}

void fdMapNavi::setPath(Path* path) {
    if (m_path != nullptr) {
        m_path->removeWatcher(&m_nextPointWatcher);
        m_path->removeChangeFlag(&m_pathChanged);
    }
    m_path = path;
    m_pathChanged = 1; // no place on it yet
    m_position = PathPosition{};
    m_lastOnRoute = PathPosition{};
    m_fixPlace.reset();
    m_recentFixPlaces.clear();
    m_maneuverPosition = PathPosition{};
    m_nextPointPosition = PathPosition{};
    m_maneuverKnown = false;
    m_nextPointKnown = false;
    m_nextPointValid = false;
    m_nextPointWatcher.changed = 1;
    if (m_path != nullptr) {
        m_path->addWatcher(&m_nextPointWatcher);
        m_path->addChangeFlag(&m_pathChanged);
    }
}

void fdMapNavi::raise(int code, const std::uint32_t* passedType) {
    if (m_handler != nullptr)
        m_handler->onNaviEvent(code, *this, passedType);
}

std::uint32_t fdMapNavi::remainingDistance() const {
    return m_distToManeuver > m_maneuverAux ? m_distToManeuver - m_maneuverAux : 0;
}

const PathPoint* fdMapNavi::nextPoint() const {
    if (m_path == nullptr || !m_nextPointValid || m_nextPointWatcher.pointIndex >= m_path->points.size())
        return nullptr;
    return &m_path->pointAt(m_nextPointWatcher.pointIndex);
}

void fdMapNavi::setMaxDistFromPath(std::uint32_t metres) {
    m_maxDistFromPath0 = metres;
    m_config->set("max_dist_from_path_0", static_cast<int>(std::min<std::uint32_t>(metres, 0x7FFFFFFF)));
}

PathPosition fdMapNavi::advanced(const PathPosition& from, std::uint32_t metres) const {
    PathPosition to = from;
    to.advanceMetres(clampMetres(metres));
    return to;
}

PathPosition fdMapNavi::advancedOnRoute(const PathPosition& from, std::uint32_t metres) const {
    const PathPosition to = advanced(from, metres);
    return to.isAtEnd() ? PathPosition(*m_path, false) : to;
}

void fdMapNavi::start(const Positioning::CarState& car, float speedMs) {
    if (m_path == nullptr || m_handler == nullptr)
        return;
    raise(Started);
    m_running = true;
    // A fix before a gap says nothing of where the car is after it.
    m_previousFix.reset();
    m_startTicks = m_clock.ticksMs();
    m_outOfPath = false;
    m_maneuverKnown = false;
    m_nextPointKnown = false;
    if (takeRouteAsItIs(car, speedMs, BadStart_EmptyPath, BadStart_OutOfPath, true))
        raise(Start);
}

void fdMapNavi::stop() {
    m_running = false;
    raise(Stopped);
}

void fdMapNavi::resetManeuverState() {
    if (!(m_nextPointValid && m_nextPointWatcher.changed == 0)) {
        m_nextPointValid = false;
        PathPosition end;
        std::uint16_t index = 0;
        if (m_path != nullptr && m_path->legEnd(PathPosition(*m_path, true), end, index)) {
            m_nextPointValid = true;
            m_nextPointWatcher.pointIndex = index;
            m_nextPointWatcher.changed = 0;
        }
    }
    m_maneuverKnown = false;
    m_nextPointKnown = false;
    m_wentWithRoute = false;
}

void fdMapNavi::setOutOfPath(const Positioning::CarState& car, int code) {
    if (!m_outOfPath) {
        // Off the roads near a route point that lies away from the road
        // (a picked point joined to its road point), the car is where the
        // user asked to go: no alarm.
        const bool inSafeZone = !car.onRoad && m_path != nullptr &&
                                m_path->nearRoutePointLink(car.position.toGlobal(), static_cast<float>(m_ppSafeZone));
        if (!inSafeZone)
            raise(code);
    }
    m_outOfPath = true;
    m_maneuverKnown = false;
    m_nextPointKnown = false;
}

namespace {

// The square of the metres between the car and a route position, as an
// integer; none off the route's end.
std::optional<double> squaredMetres(const Positioning::CarState& car, const PathPosition& at) {
    if (at.isAtEnd() || at.partLevel() == nullptr)
        return std::nullopt;
    const PathPart& part = at.currentPart();
    const Map::LocalPoint carPoint = Map::LevelFrame::of(*part.level).toLocal(car.position.toGlobal());
    const Map::LocalPoint onRoute = at.levelPoint();
    const double metres = std::hypot(double(carPoint.x) - onRoute.x, double(carPoint.y) - onRoute.y) * part.metresPerUnit;
    return std::floor(metres * metres + 0.5);
}

double squared(double metres) { return metres * metres; }
double squared(std::uint32_t metres) { return squared(double(metres)); }

// The metres from the start of the position's segment, in drive order, to
// the position.
double intoSegment(const PathPosition& at) {
    const double unit = at.currentPart().metresPerUnit;
    const double offset = double(at.cursor.offset) * unit;
    return at.currentPart().forward != 0 ? offset : double(at.cursor.segmentLength()) * unit - offset;
}

// Calls f with the heading (whole degrees) of every segment of the route
// that lies within `metres` behind the position (not at the route's end),
// in drive order, the position's own first, until f returns true; true when
// it did.
template <class F>
bool anyHeadingBehind(const PathPosition& at, double metres, F f) {
    PathPosition p = at;
    double covered = intoSegment(at);
    while (true) {
        if (p.cursor.segmentLength() > 0.0f && f(p.heading()))
            return true;
        if (covered >= metres || !p.stepBackward())
            return false;
        covered += double(p.cursor.segmentLength()) * p.currentPart().metresPerUnit;
    }
}

// Calls f with the heading of every segment of the route from the position
// on over `metres` (the position's own first), until f returns false; true
// when it never did.
template <class F>
bool allHeadingsAhead(const PathPosition& at, double metres, F f) {
    PathPosition p = at;
    double covered = -intoSegment(at);
    while (!p.isAtEnd() && covered < metres) {
        if (p.cursor.segmentLength() > 0.0f && !f(p.heading()))
            return false;
        covered += double(p.cursor.segmentLength()) * p.currentPart().metresPerUnit;
        p.stepForward();
    }
    return true;
}

// The heading (radians) is more than `limit` off the route's (degrees).
bool against(int routeDegrees, double heading, double limit) {
    double difference = std::remainder(routeDegrees * std::numbers::pi / 180.0 - heading, 2.0 * std::numbers::pi);
    if (difference <= -std::numbers::pi)
        difference += 2.0 * std::numbers::pi;
    return std::fabs(difference) > limit;
}

// A course lies within the turn the route takes over the `metres` behind
// the position: between the headings it passes through there, widened by
// CourseSlackDegrees on either side for a course measured over a second of
// a noisy receiver.
bool turnBehindHolds(const PathPosition& at, double metres, int course) {
    const int here = at.heading();
    int previous = here, turned = 0, least = 0, most = 0;
    anyHeadingBehind(at, metres, [&](int heading) {
        turned += headingChange(heading, previous);
        previous = heading;
        least = std::min(least, -turned);
        most = std::max(most, -turned);
        return false;
    });
    const int offset = headingChange(here, course);
    for (const int o : {offset - 360, offset, offset + 360})
        if (o >= least - CourseSlackDegrees && o <= most + CourseSlackDegrees)
            return true;
    return false;
}

// Degrees as whole degrees 0..359 (0 for a broken value).
int carWayDegrees(double degrees) {
    if (!std::isfinite(degrees))
        return 0;
    const double turned = std::fmod(degrees, 360.0);
    return static_cast<int>(std::lround(turned < 0.0 ? turned + 360.0 : turned)) % 360;
}

// A route position as a global map point.
Map::Point globalOf(const PathPosition& at) { return Map::LevelFrame::of(*at.partLevel()).toGlobal(at.levelPoint()); }

// Metres between two global map points a few hundred metres apart.
double metresBetween(const Map::Point& a, const Map::Point& b) {
    return std::hypot(double(a.x) - b.x, double(a.y) - b.y) / Map::Projection::unitsPerMeterAt(a);
}

} // namespace

bool courseAcross(int roadDegrees, float courseDegrees) {
    if (!std::isfinite(courseDegrees)) return true;
    const int change = std::abs(headingChange(roadDegrees, static_cast<int>(std::lround(courseDegrees)) % 360));
    return std::abs(change - 90) < CourseAcrossDegrees;
}

bool trackerWayTells(int roadDegrees, std::optional<float> courseDegrees, const Positioning::CarState& car) {
    const bool courseTells = courseDegrees && !courseAcross(roadDegrees, *courseDegrees);
    return !courseTells && car.wayDegrees >= 0;
}

bool fdMapNavi::onPathTest(const Positioning::CarState& car) const { return onPathAt(car, m_position); }

bool fdMapNavi::withinWideMargin(const Positioning::CarState& car, const PathPosition& at) const {
    const std::optional<double> d2 = squaredMetres(car, at);
    return d2 && *d2 <= squared(m_maxDistFromPath0);
}

bool fdMapNavi::onPathAt(const Positioning::CarState& car, const PathPosition& at) const {
    const std::optional<double> d2 = squaredMetres(car, at);
    if (!d2 || *d2 > squared(m_maxDistFromPath0))
        return false;
    if (((car.onRoad && car.probability > m_minProbOnPath1) || m_onOtherRoad) &&
        *d2 > squared(m_maxDistFromPath1))
        return false;
    return true;
}

template <class F>
bool fdMapNavi::anySegmentNear(const PathPosition& at, Map::Point point, double margin, F f) const {
    if (at.isAtEnd() || at.partLevel() == nullptr)
        return false;
    // The fix lags the car by the receiver's latency and the time since it
    // came, and lies ahead or behind by its scatter: the route is looked
    // along some seconds of driving each way from the position, and the
    // margin further (the tracker, following a fix that strays along the
    // road, shows the car that far ahead of where it is, or behind).
    const double reach = std::max(FixLagMinMetres, double(m_speedMs) * FixLagSeconds) + margin;
    PathPosition p = at;
    double behind = intoSegment(at);
    while (behind < reach && p.stepBackward())
        behind += double(p.cursor.segmentLength()) * p.currentPart().metresPerUnit;
    for (double covered = -behind; !p.isAtEnd() && covered < reach; p.stepForward()) {
        const PathPart& part = p.currentPart();
        const double length = double(p.cursor.segmentLength()) * part.metresPerUnit;
        covered += length;
        if (part.level == nullptr || !(length > 0.0))
            continue;
        // The segment's ends in the level's frame: the cursor's cell origin
        // plus its points.
        const Map::LocalPoint here = p.levelPoint();
        const Map::LocalPoint origin{here.x - p.cursor.x, here.y - p.cursor.y};
        const Map::LocalPoint a = p.cursor.point(), b = p.cursor.nextPoint();
        const Map::LocalPoint q = Map::LevelFrame::of(*part.level).toLocal(point);
        const Map::LocalPoint local{q.x - origin.x, q.y - origin.y};
        const Map::LocalPoint foot = Map::footOnSegment(local, a, b);
        if (std::hypot(double(foot.x) - local.x, double(foot.y) - local.y) * part.metresPerUnit <= margin &&
            f(p.heading()))
            return true;
    }
    return false;
}

bool fdMapNavi::withinScatter(const Positioning::CarState& car, const PathPosition& at) const {
    // A receiver that scatters by 8 or 15 m (a city's walls) puts its fixes
    // nearer a street beside the route for seconds on end, and the tracker
    // may take the car there. A car the tracker shows on no stretch of the
    // route around guidance's place, whose fix lies on one within its
    // scatter, is on the route; one the tracker shows on the route
    // elsewhere (turned back along it) is looked for there; one the tracker
    // is sure drives another road (setOnOtherRoad) is not held.
    const double scatter = double(m_fixScatterMetres);
    const std::optional<double> d2 = squaredMetres(car, at);
    const auto any = [](int) { return true; };
    return !m_onOtherRoad && m_measuredFix && scatter > double(m_maxDistFromPath1) && d2 &&
           *d2 <= squared(std::max(double(m_maxDistFromPath0), scatter)) &&
           !anySegmentNear(at, car.position.toGlobal(), m_maxDistFromPath1, any) &&
           anySegmentNear(at, *m_measuredFix, scatter, any);
}

void fdMapNavi::setMeasuredFix(std::optional<Map::Point> point, float scatterMetres) {
    if (point && !(m_measuredFix && *m_measuredFix == *point)) {
        m_previousFix = m_measuredFix;
        m_previousFixMs = m_fixMs;
        m_fixMs = m_clock.ticksMs();
        ++m_fixCount;
    }
    if (!point)
        m_previousFix.reset();
    m_measuredFix = point;
    m_fixScatterMetres = scatterMetres;
}

bool fdMapNavi::fixesAgree() const {
    // After a gap in the fixes (a receiver fallen silent a while) the fix
    // before says nothing of where the car is.
    if (!m_measuredFix || !m_previousFix || m_fixMs - m_previousFixMs > FixGapMs)
        return true;
    const double metres = metresBetween(*m_measuredFix, *m_previousFix);
    // At the speed of the step before: a stray's own speed, taken from the
    // fixes (GGA alone), is the jump to it.
    const double seconds = (m_fixMs - m_previousFixMs) * 0.001;
    const double drivable = double(m_speedMs) * seconds * 1.5 + double(FixJumpMetres) + scatterMetres();
    return metres <= drivable;
}

double fdMapNavi::lookAroundMetres() const {
    return std::max(FixLagMinMetres, double(m_speedMs) * FixLagSeconds) + scatterMetres();
}

double fdMapNavi::scatterMetres() const {
    return std::clamp(double(m_fixScatterMetres), double(m_maxDistFromPath1), double(Positioning::ScatterCeilingMetres));
}

PathPosition fdMapNavi::backed(const PathPosition& from, double metres) const {
    PathPosition p = from;
    if (p.isAtEnd())
        return p;
    double behind = intoSegment(p);
    while (behind < metres && p.stepBackward())
        behind += double(p.cursor.segmentLength()) * p.currentPart().metresPerUnit;
    return p;
}

void fdMapNavi::placeFix() {
    // Once a fix: the route point nearest it from some seconds of driving
    // and its scatter behind the last fix's place (guidance's own before
    // the first) to as far on as the car can have driven since that fix
    // (its speed, the time, a fix's jump and the scatter). A stretch
    // further on that passes near (a route that runs back beside itself)
    // is not where the fix was measured; looked for around guidance's
    // place, the fix's place followed the place wherever the tracker took
    // it.
    if (!m_measuredFix || m_path == nullptr || m_position.isAtEnd() || m_position.partLevel() == nullptr) {
        m_fixPlace.reset();
        m_recentFixPlaces.clear();
        return;
    }
    if (m_fixPlace && m_fixPlaceCount == m_fixCount)
        return;
    const bool anchored = m_fixPlace && !m_fixPlace->isAtEnd();
    const PathPosition anchor = anchored ? *m_fixPlace : m_position;
    const double seconds = anchored ? std::min((m_fixMs - m_previousFixMs) * 0.001, 10.0) : 0.0;
    const double possible = SpeedSlack * std::max(double(m_speedMs), double(StandingMs)) * seconds;
    const double driven = possible + double(FixJumpMetres);
    PathPosition to = advancedOnRoute(
        anchor, truncated(driven + (anchored ? 0.0 : scatterMetres() + lookAroundMetres()) + 0.5, 0xFFFF));
    // The scatter lets a fix's place that lags behind guidance's (its fix
    // lay back along the road) catch up with it, not run on ahead of it:
    // a place ahead by the scatter already went on from there by another
    // scatter at the next fix, and the fixes of a 17.7 m scatter took it
    // onto the stretch 60 m beside, 110 m ahead of the car.
    if (anchored && PathPosition::isBefore(anchor, m_position)) {
        PathPosition catchUp = advancedOnRoute(m_position, truncated(driven + 0.5, 0xFFFF));
        const PathPosition byScatter = advancedOnRoute(anchor, truncated(driven + scatterMetres() + 0.5, 0xFFFF));
        if (PathPosition::isBefore(byScatter, catchUp))
            catchUp = byScatter;
        if (PathPosition::isBefore(to, catchUp))
            to = catchUp;
    }
    m_fixPlaceCount = m_fixCount;
    // A car that moves is on a stretch that goes its way, not on the other
    // leg of a hairpin 10 m beside it.
    // No stretch about the place going its way, the course is the fixes'
    // wander (GGA alone read a standing car's at 3 m/s), not the car's:
    // dropped, the fix's place was looked for afresh that far on as if
    // there had been none, on the leg back past the start.
    std::optional<int> way =
        m_course && m_speedMs >= StandingMs ? std::optional<int>(carWayDegrees(*m_course)) : std::nullopt;
    std::optional<PathPosition> best;
    double bestMetres = 0.0;
    for (PathPosition p = backed(anchor, lookAroundMetres()); !p.isAtEnd(); p.stepForward()) {
        PathPosition foot;
        float squared = 0.0f;
        if (p.currentPart().level != nullptr && p.cursor.segmentLength() > 0.0f &&
            (!way || std::abs(headingChange(p.heading(), *way)) <= 90) &&
            m_path->nearestPointBetween(p, p, *m_measuredFix, foot, &squared)) {
            const double metres = std::sqrt(double(squared)) * foot.currentPart().metresPerUnit;
            if (!best || metres < bestMetres) {
                best = foot;
                bestMetres = metres;
            }
        }
        if (!PathPosition::isBefore(p, to)) {
            if (best || !way)
                break;
            way.reset();
            p = backed(anchor, lookAroundMetres());
        }
    }
    const bool held = best && PathPosition::isBefore(to, *best);
    if (held)
        best = to;
    m_fixPlace = best;
    m_fixPlaceGoesCarWay = way.has_value();
    noteFixPlace(held, anchored ? std::optional<double>(possible) : std::nullopt);
}

void fdMapNavi::noteFixPlace(bool held, std::optional<double> possibleMetres) {
    if (!m_fixPlace || !possibleMetres) {
        m_recentFixPlaces.clear();
        m_possibleMetres = 0.0;
    }
    if (!m_fixPlace)
        return;
    m_possibleMetres += possibleMetres.value_or(0.0);
    // A place held back to the bound says nothing of where the fix lay; a
    // car whose speed reads 0 may be setting off (GGA alone tells a speed
    // only some seconds on): a fix's jump at each of its fixes.
    std::erase_if(m_recentFixPlaces, [this](const RecentFixPlace& r) {
        return !r.measured || m_fixMs - r.ms > FixSpanMs || m_speedMs < StandingMs;
    });
    const double along = double(PathPosition::distanceTo(PathPosition(*m_path, true), *m_fixPlace));
    m_recentFixPlaces.push_back({*m_fixPlace, m_fixMs, m_possibleMetres, along - m_possibleMetres, !held});
}

std::pair<PathPosition, double> fdMapNavi::leastReaching() const {
    const RecentFixPlace* least = &m_recentFixPlaces.back();
    for (const RecentFixPlace& r : m_recentFixPlaces)
        if (r.reachKey < least->reachKey)
            least = &r;
    return {least->place, m_possibleMetres - least->possibleMetres};
}

std::optional<PathPosition> fdMapNavi::reachAhead(float speedMs) const {
    if (!m_measuredFix || m_position.isAtEnd())
        return std::nullopt;
    // Once its fix is placed, from there: the car is no farther on than
    // any fix of the last two seconds and the way it can have driven since
    // allow, and a fix's jump once. Guidance's place moved on from itself
    // at 1.25 times a speed that GGA alone reads high (13.7 m/s at 11.7)
    // ran ahead of the car by the scatter of the fixes that had taken it
    // there, and went on from there, 110 m ahead on a route that runs near
    // itself; from the last fix alone, a fix 54 m on from a place already
    // 37 m ahead took it 96 m ahead. Before the fix is placed the place
    // goes on at the car's speed (a little more, for a speed that grows),
    // to the fraction of a metre.
    const std::uint32_t now = m_clock.ticksMs();
    const double seconds = m_lastStepMs != 0 ? std::min((now - m_lastStepMs) * 0.001, 10.0) : 0.0;
    PathPosition reach = m_position;
    reach.advance(static_cast<float>(SpeedSlack * std::max(double(speedMs), double(StandingMs)) * seconds /
                                     m_position.currentPart().metresPerUnit));
    if (m_fixPlace && !m_recentFixPlaces.empty()) {
        const auto [from, since] = leastReaching();
        const double age = std::min((now - m_fixMs) * 0.001, 10.0);
        const double driven =
            since + double(speedMs) * (double(m_gpsLatencySeconds) + age) + double(FixJumpMetres);
        reach = advanced(from, truncated(driven + 0.5, 0xFFFF));
    }
    if (reach.isAtEnd())
        reach = PathPosition(*m_path, false);
    // A car that stands does not drive past a turn, wherever its fixes
    // wander: a standing car's fixes 20 m off toward the leg after the
    // turn 17 m on took its place past that turn, and the turn after it
    // was never said. A speed of 0 just after the car drove may be
    // misread (below): held at the ring it drove into, the car had its
    // exit named past it.
    if (speedMs < StandingMs && !droveLately(now) && m_maneuverKnown &&
        PathPosition::isBefore(m_maneuverPosition, reach))
        reach = m_maneuverPosition;
    return reach;
}

bool fdMapNavi::fixReaches(const PathPosition& point) const {
    if (!m_measuredFix)
        return true;
    // The fix's place and the way the car drove since its fix came (not
    // the receiver's latency: the fix is where the car was measured).
    const std::optional<PathPosition>& fix = m_fixPlace;
    const double age = std::min((m_clock.ticksMs() - m_fixMs) * 0.001, 10.0);
    const double slack = double(m_speedMs) * age;
    return fix && PathPosition::isBefore(point, advanced(*fix, m_pathPointArriveDist + truncated(slack + 0.5, 0xFFFF)));
}

bool fdMapNavi::nearestAhead(const Positioning::CarState& car, const PathPosition& to,
                             PathPosition& out) const {
    const Map::Level& level = *m_position.partLevel();
    const Map::LevelFrame frame = Map::LevelFrame::of(level);
    const Map::CellSplit cell = frame.splitToCell(frame.toLocal(car.position.toGlobal()));
    return m_path->nearestPointAhead(m_position, to, level, cell.cellX, cell.cellY,
                                     {cell.remainderX, cell.remainderY}, out);
}

int fdMapNavi::carWay(const Positioning::CarState& car) const {
    return carWayDegrees(m_course ? double(*m_course) : car.heading * 180.0 / std::numbers::pi);
}

// A route that runs back past its start (a new one for a car headed away
// from where it is to go: on to the next junction and back) lies beside the
// car twice, the way back maybe a rounding's width nearer. Within a metre
// of the nearest point the first part's is taken, when the car goes its
// way rather than the nearest part's, so the car is not found driving
// against its new route; a car that drives the way back past the start is
// on the way back.
void fdMapNavi::preferFirstPartNearStart(const Positioning::CarState& car) {
    if (m_position.part == 0)
        return;
    PathPosition first;
    first.path = m_path;
    float d2 = 0.0f;
    const Map::LocalPoint local =
        Map::LevelFrame::of(*m_path->parts.front().level).toLocal(car.position.toGlobal());
    if (!PartCursor::project(m_path->parts.front(), local, first.cursor, d2))
        return;
    const std::optional<double> nearest = squaredMetres(car, m_position);
    const std::optional<double> atFirst = squaredMetres(car, first);
    // The tracker's way tells better than the heading shown, which turns at
    // its own pace.
    const int way = trackerWayTells(first.heading(), m_course, car) ? car.wayDegrees : carWay(car);
    if (nearest && atFirst && std::sqrt(*atFirst) <= std::sqrt(*nearest) + 1.0 &&
        std::abs(headingChange(first.heading(), way)) <= std::abs(headingChange(m_position.heading(), way)))
        m_position = first;
}

std::optional<PathPosition> fdMapNavi::fixShortOfReach(const Positioning::CarState& car,
                                                        const PathPosition& reach) const {
    // The tracker shows the car on the route further on than it can have
    // come (it followed a wandering fix onto a leg that passes near), and
    // the fix lies within its scatter of the route short of there: the car
    // is on its route, where its fix was placed, at most at the reach. A
    // standing car whose fixes wandered 15 m off (their speed read 3 m/s)
    // was put on the leg back past the start and given a new route.
    if (!m_measuredFix || reach.isAtEnd())
        return std::nullopt;
    PathPosition beyond;
    if (!m_path->nearestPointBetween(reach, PathPosition(*m_path, false), car.position.toGlobal(), beyond) ||
        !onPathAt(car, beyond))
        return std::nullopt;
    const PathPosition at = m_fixPlace && !m_fixPlace->isAtEnd() && PathPosition::isBefore(*m_fixPlace, reach)
                                ? *m_fixPlace
                                : reach;
    const auto any = [](int) { return true; };
    if (!anySegmentNear(at, *m_measuredFix, WanderScatters * scatterMetres(), any))
        return std::nullopt;
    return at;
}

bool fdMapNavi::locateAfresh(const Positioning::CarState& car, int code,
                             const std::pair<PathPosition, PathPosition>* window, bool standing,
                             const PathPosition* reach) {
    const Map::Level* level = m_path->parts.front().level;
    bool located = false;
    if (window != nullptr) {
        located = m_path->nearestPointBetween(window->first, window->second, car.position.toGlobal(), m_position);
        if (located && PathPosition::isBefore(window->second, m_position))
            m_position = window->second;
    } else if (level != nullptr) {
        const Map::LocalPoint local = Map::LevelFrame::of(*level).toLocal(car.position.toGlobal());
        located = m_path->nearestPart(*level, local, m_position);
    }
    if (!located) {
        m_position = PathPosition(*m_path, true);
        setOutOfPath(car, code);
        return false;
    }
    preferFirstPartNearStart(car);
    // A car that stands where guidance starts (the route chosen while it
    // waits) is on the route within its wide margin, as it is once started,
    // wherever the scatter of its first fix takes the car shown: one put it
    // on the street beside the start, and it had a new route before it
    // moved.
    const bool held = standing && withinWideMargin(car, m_position);
    if (!held && !onPathTest(car) && !withinScatter(car, m_position)) {
        const std::optional<PathPosition> at = reach ? fixShortOfReach(car, *reach) : std::nullopt;
        if (!at) {
            setOutOfPath(car, code);
            return false;
        }
        m_position = *at;
    }
    // The car shown on the route further on than the car can have come
    // (the tracker followed a scattered fix onto a stretch that passes
    // near) is on the route, but no farther on than that.
    if (reach != nullptr && PathPosition::isBefore(*reach, m_position))
        m_position = *reach;
    if (m_outOfPath)
        raise(BackToPath);
    m_outOfPath = false;
    return true;
}

bool fdMapNavi::takeRouteAsItIs(const Positioning::CarState& car, float speedMs, int emptyCode, int outCode,
                                bool starting) {
    m_pathChanged = 0;
    resetManeuverState();
    if (m_path->isEmpty()) {
        raise(emptyCode);
        setOutOfPath(car, OutOfEmptyPath);
        return false;
    }
    // Off a new route, the car is looked for from its start on.
    m_fixPlace.reset();
    m_recentFixPlaces.clear();
    m_lastOnRoute = PathPosition(*m_path, true);
    m_lastOnRouteMs = m_clock.ticksMs();
    // Starting with its fix within twice its scatter of the route's start,
    // the car is there, not on a stretch further on that passes near (a
    // route that goes round the block): the scatter put it 90 m on. A
    // standing car's fix that wanders lies that far from it: one 20 m off
    // at a scatter of 13.5 m put the car past the turn 17 m on, and the
    // start's words named the turn after it.
    if (starting && m_measuredFix && !m_lastOnRoute.isAtEnd() && m_lastOnRoute.partLevel() != nullptr &&
        metresBetween(*m_measuredFix, globalOf(m_lastOnRoute)) <= WanderScatters * scatterMetres()) {
        m_position = m_lastOnRoute;
        m_outOfPath = false;
    } else if (!locateAfresh(car, outCode, nullptr, starting && speedMs < StandingMs)) {
        return false;
    }
    if (starting) {
        // Found on the route at a start (also the first fix after a tunnel),
        // the car went the route's way there as far as is known: a course a
        // second late coming out of a bend (GGA before RMC) is not yet
        // driving against it. One outside the turn the route took behind
        // the car still is.
        m_wentWithRoute = true;
        m_withRouteMs = m_clock.ticksMs();
        m_withRouteAlong = PathPosition::isBefore(PathPosition(*m_path, true), m_position)
                               ? PathPosition::distanceTo(PathPosition(*m_path, true), m_position)
                               : 0;
    }
    maneuverStep(car, speedMs);
    return true;
}

void fdMapNavi::onPosition(const Positioning::CarState& car, float speedMs) {
    if (!m_running || m_path == nullptr)
        return;
    if (m_pathChanged) {
        takeRouteAsItIs(car, speedMs, PathChanged_EmptyPath, PathChanged_OutOfPath);
        return;
    }
    if (m_path->isEmpty() || m_position.isAtEnd())
        return;
    if (m_position.partLevel() == nullptr)
        return;
    placeFix();
    // One fix that lies farther from the one before than the car can have
    // driven is a stray, and so is the next, back from it: the car neither
    // moves on the route nor leaves it, nor drives against it, until two
    // fixes agree. One fix 100 m aside gave a new route ("Route
    // recalculated", the route turning left where it turned right 10 m on).
    if (m_measuredFix && !m_outOfPath && !fixesAgree()) {
        maneuverStep(car, speedMs, false);
        return;
    }
    // The car is looked for ten seconds of driving ahead (and a creeping
    // car whose speed reads 0 a little way), but no farther than it can
    // have come since its receiver measured it: a stretch of the route
    // further on that passes near (a route that runs back beside itself),
    // where the tracker, following a scattered fix, puts the car, is not
    // where it is. Guidance followed the car there: the roundabout 180 m
    // ahead was announced, and the car arrived 300 m short of the finish.
    const PathPosition from = m_position;
    PathPosition ahead =
        advancedOnRoute(m_position, truncated(std::max(speedMs * 10.0, double(CreepMetres)) + 0.5, 0xFFFF));
    const std::optional<PathPosition> reach = reachAhead(speedMs);
    if (reach && PathPosition::isBefore(*reach, ahead))
        ahead = PathPosition::isBefore(*reach, m_position) ? m_position : *reach;
    PathPosition nearest;
    if (!nearestAhead(car, ahead, nearest))
        return;
    if (reach && PathPosition::isBefore(ahead, nearest))
        nearest = ahead;
    // Where the route doubles back (a hairpin, a loop, a road out and back
    // beside itself) another leg of it may lie nearer the car than the leg
    // it drives: the tracker's point runs ahead of the car by the GPS
    // latency and cuts the bend, or is snapped onto the other leg. A
    // nearest point further on than the car can have driven since the
    // last step, where the route runs another way, is such a leg: while
    // the car is still near the leg it follows, it stays on that one,
    // carried along it at its speed until its point and the route agree
    // again. A point further on the same way is taken at once.
    const std::uint32_t now = m_clock.ticksMs();
    const double seconds = m_lastStepMs != 0 ? std::min((now - m_lastStepMs) * 0.001, 10.0) : 10.0;
    m_lastStepMs = now;
    // A car that drives its route's way is no less far on than where its
    // last fix was measured, on a stretch its course goes along, and the
    // way it drove since (but no farther than it can have come): its
    // speed read 40 % low in a roundabout (GGA alone, fixes scattered by
    // 17.7 m), the tracker carried the car on at that speed, and
    // guidance's place fell 60 m behind the car and its fixes' places; the
    // ring's exit was named past it. So is one whose speed reads 0 just
    // after it drove: GGA alone read 0 for 9 to 15 s while the car went
    // round a hairpin and a roundabout at 30 km/h (a line through such
    // fixes goes nowhere there), the tracker held the car still, and
    // guidance's place stood 30 to 50 m behind. A car that did stop has its place go where its
    // fixes lie for those seconds, as a standing car's does. One turned
    // back along its route (its course against it there) is not carried
    // on: a U-turn's new route did not come.
    if (speedMs >= StandingMs)
        m_drivingMs = now;
    std::optional<PathPosition> least;
    if (!m_outOfPath && m_fixPlace && !m_fixPlace->isAtEnd() &&
        (speedMs >= StandingMs
             ? m_fixPlaceGoesCarWay && m_course && courseGoesRouteWay(carWayDegrees(*m_course))
             : droveLately(now))) {
        const double age = std::min((now - m_fixMs) * 0.001, 10.0);
        least = advancedOnRoute(*m_fixPlace, truncated(double(speedMs) * age + 0.5, 0xFFFF));
        if (reach && PathPosition::isBefore(*reach, *least))
            least = *reach;
    }
    bool held = false;
    const std::uint32_t driving = truncated(speedMs * seconds + 0.5, 0xFFFF);
    if (!m_outOfPath && PathPosition::distanceTo(m_position, nearest) > driving + FixJumpMetres &&
        std::abs(headingChange(m_position.heading(), nearest.heading())) > OtherLegDegrees) {
        // As far as the car drove, to the fraction of a metre: in whole
        // metres a frame at 20 frames a second rounds to none below 10 m/s,
        // and the car stood on the leg until its point came back to it.
        PathPosition driven = m_position;
        driven.advance(static_cast<float>(speedMs * seconds / m_position.currentPart().metresPerUnit));
        if (driven.isAtEnd())
            driven = PathPosition(*m_path, false);
        // The car is at least where its receiver measured it (on a stretch
        // going its way) and as far on as it drove since: a car whose
        // speed still read 0 for the first 40 m it drove was carried on
        // from the start at its speed, 40 m behind, and the turn at 48 m
        // was said past it.
        if (m_fixPlace && m_fixPlaceGoesCarWay) {
            const double age = std::min((now - m_fixMs) * 0.001, 10.0);
            const PathPosition measured = advanced(*m_fixPlace, truncated(double(speedMs) * age + 0.5, 0xFFFF));
            if (PathPosition::isBefore(driven, measured) && PathPosition::isBefore(measured, nearest))
                driven = measured;
        }
        const std::optional<double> d2 = squaredMetres(car, driven);
        if (d2 && *d2 <= squared(m_maxDistFromPath0) && onPathAt(car, nearest)) {
            nearest = driven;
            held = true;
        }
    }
    if (least && PathPosition::isBefore(nearest, *least))
        nearest = *least;
    // A car on the route that stands has not left it, wherever its fixes'
    // scatter takes the car shown (within the route's wide margin).
    if (!m_outOfPath && speedMs < StandingMs)
        held = held || withinWideMargin(car, nearest);
    m_position = nearest;
    if (held || onPathTest(car) || withinScatter(car, m_position)) {
        if (m_outOfPath) {
            raise(BackToPath);
            m_outOfPath = false;
        }
        maneuverStep(car, speedMs);
        return;
    }
    // Found again no farther on than its fix allows and not back along the
    // route, the car still heads for the manoeuvre it headed for: short of
    // it, a warning due then is said, not dropped as reached when the
    // manoeuvre is found anew (looked for afresh at each step for 2 s, a
    // car heard no warning of the finish); at it (a standing car held at
    // its turn), it is still that turn; past it, it is told passed
    // (RotateEnd, and the next one's warning after it), not dropped for
    // the one after, whose warnings the car is already inside (the turn
    // after one passed while standing was never said).
    const bool headed = reach && m_maneuverKnown && !m_outOfPath;
    m_maneuverKnown = false;
    m_nextPointKnown = false;
    // Looked for afresh, the car is where it can have come since its fix,
    // or behind (turned back along the route), not on a stretch further on.
    // Off the route, it is looked for as far on from where it left it as it
    // can have driven since.
    std::optional<std::pair<PathPosition, PathPosition>> window;
    if (reach && !m_outOfPath) {
        const double around = lookAroundMetres();
        PathPosition to = advancedOnRoute(m_position, truncated(around + 0.5, 0xFFFF));
        // Looked for around the place, a car the tracker shows on the
        // route further on is still on it, but put no farther than it can
        // have come (locateAfresh).
        if (PathPosition::isBefore(to, *reach))
            to = *reach;
        window = std::pair{backed(m_position, around), to};
    } else if (m_measuredFix && !m_lastOnRoute.isAtEnd()) {
        const double away = std::min((m_clock.ticksMs() - m_lastOnRouteMs) * 0.001, 3600.0);
        const PathPosition to =
            advancedOnRoute(m_lastOnRoute, truncated(lookAroundMetres() + 1.5 * speedMs * away + 0.5, 0xFFFF));
        window = std::pair{PathPosition(*m_path, true), to};
    }
    // The bound tells how far on the car can be, not that it is there, and
    // puts no place back: a fix drawn 70 m off (17.7 m afresh), placed 140 m
    // behind the car where the route runs back beside itself, took
    // guidance's place back with it, on to 300 m behind the car, and a
    // new route came in the roundabout the car drove round on its route.
    std::optional<PathPosition> bound = reach;
    if (bound && PathPosition::isBefore(*bound, from))
        bound = from;
    if (!locateAfresh(car, OutOfPath, window ? &*window : nullptr, false, bound && !m_outOfPath ? &*bound : nullptr))
        return;
    // Nor is a car looked for afresh put back behind that: the tracker
    // showed it on the leg the route came along beside, and guidance's
    // place went back there, 100 m behind the car and its fix's place.
    if (least && PathPosition::isBefore(m_position, *least))
        m_position = *least;
    m_maneuverKnown = headed && !PathPosition::isBefore(m_position, from);
    maneuverStep(car, speedMs);
}

void fdMapNavi::maneuverStep(const Positioning::CarState& car, float speedMs, bool judgeWay) {
    m_speedMs = speedMs;
    m_lastOnRoute = m_position;
    m_lastOnRouteMs = m_clock.ticksMs();
    m_timeWarn.setThreshold(truncated(m_timeWarn.seconds() * double(speedMs) + 0.5, 0xFFFFFFFF));
    const PathPosition start(*m_path, true);
    const PathPosition end(*m_path, false);
    m_distToFinish = PathPosition::isBefore(m_position, end) ? PathPosition::distanceTo(m_position, end) : 0;
    m_distFromStart = PathPosition::isBefore(start, m_position) ? PathPosition::distanceTo(start, m_position) : 0;
    if (!m_maneuverKnown)
        findNextManeuver();
    if (m_maneuverKnown) {
        if (PathPosition::isBefore(m_maneuverPosition, m_position)) {
            const std::uint32_t passed = m_maneuverType;
            m_maneuverKnown = false;
            findNextManeuver();
            raise(RotateEnd, &passed);
        } else {
            m_distToManeuver = PathPosition::distanceTo(m_position, m_maneuverPosition);
            if (!m_warnStack.empty() && m_warnStack.back()->isReached(remainingDistance())) {
                // Warnings below the top that are due as well would fire on
                // the next steps, while this one is still being spoken, and
                // the player drops a phrase of the same priority: the last
                // of them speaks for all (before a roundabout it is the one
                // that names the exit).
                while (m_warnStack.size() >= 2) {
                    const t_WarnDist* below = m_warnStack[m_warnStack.size() - 2];
                    if (below == nullptr || !below->isReached(remainingDistance())) break;
                    m_warnStack.pop_back();
                }
                m_announcing = true;
                raise(Rotate);
                // The handler may have stopped or restarted guidance.
                if (!m_warnStack.empty())
                    m_warnStack.pop_back();
                m_announcing = false;
            }
        }
    }
    if (!m_running)
        return;
    nextPointStep();
    if (judgeWay)
        backwardMoveTest(car, speedMs);
}

void fdMapNavi::findNextManeuver() {
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    PathPosition at;
    m_maneuverKnown = !m_position.isAtEnd() && m_path->nextManoeuvre(m_position, at, type, aux);
    if (!m_maneuverKnown)
        return;
    m_maneuverType = type;
    m_maneuverAux = aux;
    m_maneuverPosition = at;
    m_distToManeuver = PathPosition::isBefore(m_position, at) ? PathPosition::distanceTo(m_position, at) : 0;
    if (isRoundaboutEntry(type)) {
        m_warn1.setThreshold(m_rutondaWarn1);
        m_warn0.setThreshold(m_rutondaWarn0);
    } else if (isRoundaboutExit(type)) {
        // A roundabout's exit is announced once, late.
        m_warn0.setThreshold(m_rutondaLeaveWarn0);
        m_warn1.setThreshold(0);
    } else {
        m_warn1.setThreshold(m_defWarn1);
        m_warn0.setThreshold(m_defWarn0);
    }
    // Warnings of an earlier manoeuvre that never fired (a last warning of
    // 0 m, or a manoeuvre passed early) are dropped rather than left below
    // the new ones with thresholds that now belong to this manoeuvre.
    m_warnStack.clear();
    m_warnStack.push_back(&m_warn0);
    m_warnStack.push_back(&m_warn1);
    m_warnStack.push_back(&m_farWarn);
    m_warnStack.push_back(&m_timeWarn);
    const std::uint32_t remaining = remainingDistance();
    while (!m_warnStack.empty() && m_warnStack.back()->isReached(remaining)) {
        m_warnStack.pop_back();
        while (m_warnStack.size() >= 2 && m_warnStack.back()->threshold() < m_warnStack[m_warnStack.size() - 2]->threshold())
            m_warnStack.pop_back();
    }
    if (isRoundaboutExit(type) && m_warnStack.size() > 1)
        m_warnStack.erase(m_warnStack.begin() + 1, m_warnStack.end());
}

bool fdMapNavi::findNextPoint(const PathPosition& from) {
    PathPosition end;
    std::uint16_t index = 0;
    if (!m_path->legEnd(from, end, index))
        return false;
    m_nextPointKnown = true;
    m_nextPointPosition = end;
    m_distToNextPoint = PathPosition::isBefore(m_position, end) ? PathPosition::distanceTo(m_position, end) : 0;
    m_nextPointValid = true;
    m_nextPointWatcher.pointIndex = index;
    m_nextPointWatcher.changed = 0;
    return true;
}

bool fdMapNavi::standsAtFinish() const {
    // A car that stands on the last leg has arrived when the finish lies
    // within its fix's scatter of it along the route, and its fix within
    // that scatter of the finish but ArrivalScatterCeilingMetres at most,
    // whatever the HDOP says: its place, the mean of fixes that wander by
    // their scatter, may stay that far short of the finish for as long as
    // it stands. One that never left the start's scatter has not come there
    // (a short route chosen while standing).
    if (!m_measuredFix || !(m_speedMs < StandingMs) || m_nextPointPosition.isAtEnd() ||
        m_nextPointPosition.part + 1 != m_path->parts.size() || m_nextPointPosition.partLevel() == nullptr)
        return false;
    const double scatter = double(m_fixScatterMetres);
    if (!(double(m_distFromStart) > scatter) ||
        !(double(PathPosition::distanceTo(m_position, m_nextPointPosition)) <= scatter))
        return false;
    const PathPart& part = m_nextPointPosition.currentPart();
    const Map::LocalPoint fix = Map::LevelFrame::of(*part.level).toLocal(*m_measuredFix);
    const Map::LocalPoint finish = m_nextPointPosition.levelPoint();
    return std::hypot(double(fix.x) - finish.x, double(fix.y) - finish.y) * part.metresPerUnit <=
           std::min(scatter, ArrivalScatterCeilingMetres);
}

void fdMapNavi::nextPointStep() {
    const PathPosition early = advanced(m_position, m_pathPointArriveDist);
    if (!m_nextPointKnown) {
        findNextPoint(early);
        return;
    }
    if (standsAtFinish()) {
        m_nextPointKnown = false;
        m_nextPointValid = false;
        raise(ArriveLastPoint);
        return;
    }
    // The finish is reached where the receiver measured the car, not where
    // the tracker carries it (its latency ahead, and on between fixes): a
    // car that stopped 35 m short at 42 km/h heard "You have arrived".
    const bool finish = std::size_t(m_nextPointWatcher.pointIndex) + 1 >= m_path->points.size();
    if (PathPosition::isBefore(m_nextPointPosition, early) && (!finish || fixReaches(m_nextPointPosition))) {
        m_nextPointKnown = false;
        m_nextPointValid = false;
        raise(findNextPoint(early) ? ArrivePoint : ArriveLastPoint);
        return;
    }
    m_distToNextPoint = PathPosition::isBefore(m_position, m_nextPointPosition)
                            ? PathPosition::distanceTo(m_position, m_nextPointPosition)
                            : 0;
}

bool fdMapNavi::droveLately(std::uint32_t now) const {
    return m_drivingMs && now - *m_drivingMs < SpeedMisreadMs;
}

double fdMapNavi::wanderMetres() const {
    return std::max(double(m_maxDistFromPath1), WanderScatters * double(m_fixScatterMetres));
}

bool fdMapNavi::courseGoesRouteWay(int course) const {
    const auto along = [course](int heading) {
        return std::abs(headingChange(heading, course)) <= CourseSlackDegrees;
    };
    return std::abs(headingChange(m_position.heading(), course)) <= 90 ||
           (m_measuredFix && anySegmentNear(m_position, *m_measuredFix, wanderMetres(), along));
}

void fdMapNavi::backwardMoveTest(const Positioning::CarState& car, float speedMs) {
    if (!(speedMs > BackwardMinSpeedMs) || m_position.isAtEnd() ||
        m_position.segmentShorterThan(BackwardMinSegmentMetres))
        return;
    // The car's way is the receiver's course where it has one, the way the
    // car went over the last second. The car the tracker shows turns at a
    // limited rate toward the direction of its road nearer that course, and
    // out of a hairpin it pointed back up the bend for seconds: only without
    // a course does its heading tell, and then only when it is all but
    // opposite the route's.
    const std::optional<int> course = m_course ? std::optional<int>(carWay(car)) : std::nullopt;
    const double shown = double(car.heading);
    const int route = m_position.heading();
    const std::uint32_t now = m_clock.ticksMs();
    // The course is the receiver's where it measured its fix: the position
    // lies ahead of that by the latency, the time since the fix came and
    // the fix's scatter along the road, 30 m and more at town speed, and in
    // a roundabout or a bend the route there runs another way. A course
    // along a stretch of the route that passes the fix within its scatter
    // (as a course measured over a second strays) goes with the route.
    // Without a course so does the heading shown: a scatter of 60 m put
    // the car on the route's other leg in a hairpin, going that leg's way.
    // A fix that wanders lies up to twice its scatter from the road: once
    // that far, a car that drove the route was found driving against it.
    const auto stretchNearFix = [&](auto goesWith) {
        return m_measuredFix && anySegmentNear(m_position, *m_measuredFix, wanderMetres(), goesWith);
    };
    const bool withRoute =
        course ? courseGoesRouteWay(*course)
               : !against(route, shown, BackwardAngle) || stretchNearFix([&](int heading) {
                     return !against(heading, shown, CourseSlackDegrees * std::numbers::pi / 180.0);
                 });
    if (withRoute) {
        m_withRouteMs = now;
        m_withRouteAlong = m_distFromStart;
        m_wentWithRoute = true;
        return;
    }
    // A car that turns with the route is not driving against it. Past a
    // turn of about a right angle or more, or out of a roundabout, a course
    // a second late (GGA sent before RMC) still points between the road the
    // car came by and the one it is on; the tracker, choosing the direction
    // of the new road nearer that course, shows the car the wrong way
    // round. A car that went the route's way a moment ago and whose course
    // lies within the turn the route took just behind the position, or
    // without a course whose heading goes the way of the route there,
    // follows the route. After a U-turn the course points back along the
    // road the car is on, outside that turn (within a hairpin's it is not
    // told from one for these seconds).
    // The course is the fix's, measured up to its scatter behind guidance's
    // place: the turn is looked for that much further back (a U-turn's
    // first leg, across its short connecting part, for a course taken from
    // fixes on both sides of it).
    const double scatterBehind = m_measuredFix ? double(m_fixScatterMetres) : 0.0;
    const double window = std::max(TurnWindowMinMetres, double(speedMs) * TurnWindowSeconds) + scatterBehind;
    // Found further back along the route than then, beyond what a fix
    // moves the car or its scatter puts it (the car was looked for afresh,
    // behind), it did not go on with the route.
    const double back = double(FixJumpMetres) + scatterBehind;
    const bool lately = m_wentWithRoute && now - m_withRouteMs <= TurnWindowSeconds * 1000 &&
                        double(m_distFromStart) + back >= double(m_withRouteAlong);
    const bool turnsWithRoute =
        lately && (course ? turnBehindHolds(m_position, window, *course)
                          : anyHeadingBehind(m_position, window, [&](int heading) {
                                return !against(heading, shown, std::numbers::pi / 2.0);
                            }));
    if (!turnsWithRoute)
        raise(BackwardMove);
}

void fdMapNavi::onRotateEnd() {
    if (!m_running || m_path == nullptr || m_path->isEmpty() || m_outOfPath || !m_maneuverKnown)
        return;
    // One after-pass warning a manoeuvre: a pass told twice puts it in once.
    if (std::find(m_warnStack.begin(), m_warnStack.end(), &m_afterPassWarn) != m_warnStack.end())
        return;
    const std::uint32_t remaining = remainingDistance();
    if (m_warnStack.size() >= 2) {
        const std::uint32_t top = m_warnStack.back()->threshold();
        if ((remaining > top ? remaining - top : 0) < m_afterRotPassWarnStickDist)
            return;
    }
    std::uint32_t threshold = remaining;
    if (remaining >= m_afterRotPassWarnDelay + m_afterRotPassWarnMinDist)
        threshold = remaining - m_afterRotPassWarnDelay;
    else if (remaining >= m_afterRotPassWarnMinDist)
        threshold = m_afterRotPassWarnMinDist;
    m_afterPassWarn.setThreshold(threshold);
    // A single warning left that fires (a roundabout's last, 20 m; an
    // exit's, 5 m) within a phrase's reach of one said now: the one said now
    // is that warning, and the roundabout's names its exit. Both were said:
    // "exit" twice a second or so apart in a small ring, "drive onto the
    // roundabout" two seconds before "drive onto the roundabout then second
    // exit". The late one alone came too late when a jump of the car's
    // place went past it.
    if (m_warnStack.size() == 1 && m_warnStack.front() != nullptr && m_warnStack.front()->threshold() > 0 &&
        threshold == remaining && remaining < m_warnStack.front()->threshold() + m_rotatesStickDist)
        m_warnStack.clear();
    m_warnStack.push_back(&m_afterPassWarn);
}

bool fdMapNavi::carGoesRouteWay(const Positioning::CarState& car) const {
    if (!m_course || m_path == nullptr || m_path->isEmpty() || m_position.isAtEnd() ||
        m_position.partLevel() == nullptr)
        return false;
    const std::optional<double> d2 = squaredMetres(car, m_position);
    if (!d2 || *d2 > squared(m_maxDistFromPath0))
        return false;
    const int course = carWay(car);
    return allHeadingsAhead(m_position, RouteWayAheadMetres,
                            [&](int heading) { return std::abs(headingChange(heading, course)) <= RouteWayDegrees; });
}

void fdMapNavi::maneuverAnnounced(std::uint32_t metresSpoken) {
    if (!maneuverKnown())
        return;
    // Due before the phrase ends, a warning could not be heard over it, and
    // after it would say the same again. The stack holds the farther
    // warnings above the nearer ones: a standing car's time warning (0 m at
    // 0 m/s) above the 550 m one.
    const std::uint32_t remaining = remainingDistance();
    const std::uint32_t atEnd = remaining > metresSpoken ? remaining - metresSpoken : 0;
    m_warnStack.erase(std::find_if(m_warnStack.begin(), m_warnStack.end(),
                                   [&](const t_WarnDist* w) { return w != nullptr && w->isReached(atEnd); }),
                      m_warnStack.end());
}

void fdMapNavi::maneuversToAnnounce(std::vector<ManeuverEntry>& out) const {
    if (!m_running || m_path == nullptr || m_path->isEmpty() || m_outOfPath || !maneuverKnown())
        return;
    ManeuverEntry first{isRoundaboutExit(m_maneuverType) ? RoundaboutExitManoeuvre : m_maneuverType, remainingDistance()};
    if (m_announcing && !m_warnStack.empty())
        m_warnStack.back()->announce(first);
    out.push_back(first);

    PathPosition previous = m_maneuverPosition;
    PathPosition next;
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    const bool found = !previous.isAtEnd() && m_path->nextManoeuvre(previous, next, type, aux);
    if (isRoundaboutEntry(m_maneuverType)) {
        // The last warning before a roundabout also names the way out: the
        // exit the route leaves the ring by (always naming the first would
        // send the driver off a roundabout too early), or, for a road that
        // crosses a roundabout's node, whatever comes next. So does every
        // phrase outside the warnings (the route's start, a new route, the
        // driver's repeat): one said a few metres before the ring is the
        // last the driver hears before it.
        const bool last = !m_announcing || m_warnStack.size() < 2;
        if (last && found && (m_maneuverType == RoundaboutNodeManoeuvre || isRoundaboutExit(type)))
            out.push_back({type, 0});
        return;
    }
    bool more = found;
    while (more && PathPosition::distanceTo(previous, next) <= m_rotatesStickDist) {
        out.push_back({type, 0});
        previous = next;
        more = !previous.isAtEnd() && m_path->nextManoeuvre(previous, next, type, aux);
    }
}

} // namespace Guidance
