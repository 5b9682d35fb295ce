#include "guidance/KVMapEventsHandler.h"

#include "core/Log.h"
#include "core/ValueFormat.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "map/UnitsPerMeter.h"
#include "render/RenderStyles.h"
#include "routing/RoadMapHolder.h"
#include "routing/RouteComputation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <optional>

namespace Guidance {

namespace {

KVMapEventsHandler* g_handler = nullptr;

constexpr float kSnappedWeight = 0.85f;
// How long a refused manoeuvre phrase waits for the player: at town speeds
// it is still true after a few seconds.
constexpr std::uint32_t kPendingPhraseMs = 4000;
// How far along the route around the car the tracker is told its roads:
// more than three seconds of a fast drive, the most a fix carries it on.
constexpr std::uint32_t RouteRoadsMetres = 300;
constexpr std::uint32_t RouteRoadsBehindMetres = 100;
// How far guidance's place may lie ahead of the car, or behind, along the
// route (the tracker's error along its road).
constexpr double NearCarSlackMetres = 30.0;

const char* naviEventName(int code) {
    switch (code) {
    case Start: return "Start";
    case ArriveLastPoint: return "ArriveLastPoint";
    case OutOfPath: return "OutOfPath";
    case Rotate: return "Rotate";
    case BadStart_OutOfPath: return "BadStart_OutOfPath";
    case BadStart_EmptyPath: return "BadStart_EmptyPath";
    case PathChanged_OutOfPath: return "PathChanged_OutOfPath";
    case PathChanged_EmptyPath: return "PathChanged_EmptyPath";
    case BackToPath: return "BackToPath";
    case ArrivePoint: return "ArrivePoint";
    case RotateEnd: return "RotateEnd";
    case BackwardMove: return "BackwardMove";
    default: return nullptr;
    }
}

const char* carEventName(int code) {
    switch (code) {
    case Positioning::BackToRoad: return "BackToRoad";
    case Positioning::RoadSegChanged: return "RoadSegChanged";
    case Positioning::DirAllowedChanged: return "DirAllowedChanged";
    default: return "unknown";
    }
}

// Metres from guidance's manoeuvre to the one after it; none when there is
// none.
std::optional<std::uint32_t> gapToNextManoeuvre(const fdMapNavi& navi) {
    if (!navi.maneuverKnown()) return std::nullopt;
    const PathPosition& at = navi.maneuverPosition();
    if (at.path == nullptr || at.isAtEnd()) return std::nullopt;
    PathPosition next;
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    if (!at.path->nextManoeuvre(at, next, type, aux)) return std::nullopt;
    return PathPosition::distanceTo(at, next);
}

} // namespace

// Guidance's manoeuvre phrase after what out holds. The manoeuvres chained
// behind the first ("then left, then right") are cut where the phrase could
// not end before the car reaches the first turn: each of them gets its own
// warnings, while a phrase still speaking past its turn tells the driver
// nothing in time. A roundabout entered right after the first turn has no
// time for a phrase of its own: it stays in the turn's phrase with its exit
// as long as that is said before the car enters the ring, the entry's words
// left out when only the exit fits ("turn right, then second exit"). When
// even the first turn with its distance does not fit (a warning just past
// another turn, a new route close to its first turn), the turn is said
// without the distance. A roundabout keeps its exit, and loses only its
// distance: a new route a few metres before a roundabout would otherwise
// speak on past it, over the warning of the turn after it. A car that
// stands is taken to move off at town speed.
bool appendManeuverPhrase(Phrase& out, const fdMapNavi& navi, const NaviSounds* sound, std::size_t* named) {
    std::vector<ManeuverEntry> list;
    navi.maneuversToAnnounce(list);
    return appendManeuvers(out, std::move(list), navi, sound, named);
}

bool appendManeuvers(Phrase& out, std::vector<ManeuverEntry> list, const fdMapNavi& navi, const NaviSounds* sound,
                     std::size_t* named) {
    std::size_t leftOut = 0; // manoeuvres left out between the first and the last said
    const bool roundabout = isRoundaboutEntry(navi.maneuverType());
    constexpr double kTownSpeedMs = 50.0 / 3.6;
    const double speed = navi.speedMs() > 1.0f ? navi.speedMs() : kTownSpeedMs;
    const auto fitsWithin = [&](double metres) {
        Phrase whole = out;
        Voice::composeManeuverPhrase(whole, list, navi.sayDistanceFirst());
        return sound->seconds(whole) <= metres / speed;
    };
    const auto fits = [&] { return fitsWithin(navi.remainingDistance()); };
    if (sound != nullptr && !list.empty()) {
        while (!roundabout && list.size() > 1 && !fits()) {
            if (list.size() == 3 && isRoundaboutEntry(list[1].type) && isRoundaboutExit(list[2].type)) {
                // Said before the car enters the ring: with the entry's
                // words when there is time, else the exit alone.
                const std::optional<std::uint32_t> gap = gapToNextManoeuvre(navi);
                const std::uint32_t toRing = navi.remainingDistance() + gap.value_or(0);
                if (gap && fitsWithin(toRing)) break;
                list.erase(list.begin() + 1);
                leftOut = 1;
                if (gap && fitsWithin(toRing)) break;
                continue;
            }
            list.pop_back();
        }
        if (!fits()) list.front().distance = 0;
    }
    if (named) *named = list.size() + (list.size() > 1 ? leftOut : 0);
    return Voice::composeManeuverPhrase(out, list, navi.sayDistanceFirst());
}

namespace {

Map::Point globalOf(const LevelPoint& p) {
    return Map::LevelFrame::of(*p.level).toGlobal({p.x, p.y});
}

} // namespace

bool nearestRoadPoint(Map::KVAtlas& atlas, Map::Point location, PathPoint& out, Map::Routing::RoadBinding& bound) {
    if (!Map::Routing::bindToNearestRoad(atlas, location, bound)) return false;
    Map::KVMap2* map = bound.mapIndex < atlas.mapCount() ? atlas.mapAt(bound.mapIndex) : nullptr;
    if (map == nullptr || map->levelCount() == 0) return false;
    // The search binds in the first level of the map.
    const Map::Level* level = &map->level(0);
    out = PathPoint{};
    out.map = map;
    out.segmentId = bound.segmentId;
    out.allowForward = 1;
    out.allowBackward = 1;
    out.nameIndex = bound.nameIndex;
    out.roadPoint = {level, bound.roadPoint.x, bound.roadPoint.y};
    out.pickedPoint = {level, bound.pickedPoint.x, bound.pickedPoint.y};
    return true;
}

std::vector<RouteTurn> firstPhraseTurns(const Path& route, std::uint32_t stickMetres) {
    std::vector<RouteTurn> turns;
    if (route.isEmpty()) return turns;
    const PathPosition start(route, true);
    PathPosition previous = start, at;
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    while (!previous.isAtEnd() && route.nextManoeuvre(previous, at, type, aux) && type != ArrivalManoeuvre) {
        if (!turns.empty() && PathPosition::distanceTo(previous, at) > stickMetres) break;
        const std::uint32_t metres = PathPosition::distanceTo(start, at);
        turns.push_back({type, metres > aux ? metres - aux : 0});
        previous = at;
    }
    return turns;
}

namespace {

// The place lies where driving its part begins, past the route's first
// part: at the junction with the part before it.
bool atPartStart(const PathPosition& at) {
    return at.part > 0 && PathPosition::distanceTo(at, PathPosition::onPart(*at.path, at.part, true)) == 0;
}

// The place lies where its part ends, short of the route's last part: at
// the junction with the part after it.
bool atPartEnd(const PathPosition& at) {
    return at.part + 1 < at.path->parts.size() &&
           PathPosition::distanceTo(at, PathPosition::onPart(*at.path, at.part, false)) == 0;
}

} // namespace

Positioning::CarState shownCar(const PathPosition& position, const Positioning::CarState& tracked) {
    if (!tracked.valid || position.isAtEnd() || position.partLevel() == nullptr) return carStateAt(position);
    // The parts around guidance's: the car may lie just behind it or ahead.
    // A route out to a junction and back along the same road lies under the
    // car twice, a rounding apart: the part the car goes along is the one
    // (the way it is carried, else the heading shown); drawn on the way
    // back, the car faced the other way.
    const Path& path = *position.path;
    const double way = tracked.wayDegrees >= 0 ? tracked.wayDegrees : tracked.heading * 180.0 / std::numbers::pi;
    const auto offWay = [&](const PathPosition& at) { return std::fabs(std::remainder(at.heading() - way, 360.0)); };
    std::optional<PathPosition> best;
    double bestMetres = ShownOnRouteMetres;
    for (std::size_t i = position.part > 0 ? position.part - 1 : 0;
         i <= position.part + 1 && i < path.parts.size(); ++i) {
        const PathPart& part = path.parts[i];
        if (part.level == nullptr) continue;
        PathPosition at = PathPosition::onPart(path, i, true);
        float squared = 0.0f;
        const Map::LocalPoint car = Map::LevelFrame::of(*part.level).toLocal(tracked.position.toGlobal());
        if (!PartCursor::project(part, car, at.cursor, squared)) continue;
        // A part whose foot lies at its start or its end (a junction, not
        // the route's own ends) is one the car has not reached, or has
        // left: drawn there, the car waited at the junction while the
        // tracker carried it on toward it, or along a road beside the
        // route, for a second and more (a receiver's scatter put it two
        // parts behind guidance's place in a roundabout).
        if (atPartStart(at) || atPartEnd(at)) continue;
        const double metres = std::sqrt(static_cast<double>(squared)) * part.metresPerUnit;
        const bool tie = best && std::fabs(metres - bestMetres) < SameRoadMetres;
        if (tie ? offWay(at) < offWay(*best) : metres <= bestMetres) {
            bestMetres = std::min(metres, bestMetres);
            best = at;
        }
    }
    return best ? carStateAt(*best) : tracked;
}

Positioning::CarState carStateAt(const PathPosition& position) {
    Positioning::CarState state;
    if (position.isAtEnd()) return state;
    const Map::LocalPoint p = position.levelPoint();
    state.valid = true;
    state.heading = static_cast<float>(position.heading()) * std::numbers::pi_v<float> / 180.0f;
    state.position = {Map::LevelFrame::of(*position.partLevel()), p.x, p.y};
    state.onRoad = true;
    state.probability = 1.0f;
    return state;
}

KVMapEventsHandler::KVMapEventsHandler(const Core::ConfigNodePtr& config, Map::KVAtlas& atlas, Path& route,
                                       NaviSounds* sound, Render::RenderStyles* styles,
                                       const Positioning::Clock& clock)
    : m_config(config), m_clock(clock), m_tracker(this, config->child("Car"), clock), m_atlas(atlas), m_route(route),
      m_sound(sound), m_styles(styles), m_navi(config, this, clock),
      m_objWarn(config, this, &route, styles, clock), m_gpsLatency(config->child("Car")->value("gps_latency", 1.5f)) {
    m_tracker.setAtlas(&atlas);
    m_navi.setPath(&route);
    m_navi.resetManeuverState();
    m_naviOn = m_config->value("navi_on", true);
    m_route.addChangeFlag(&m_routeChanged);
}

KVMapEventsHandler::~KVMapEventsHandler() {
    // Stopped here, while the whole handler still hears guidance's events.
    if (m_navi.running()) m_navi.stop();
    if (!m_approachOff) m_route.removeWatcher(&m_approachWatcher);
    m_route.removeChangeFlag(&m_routeChanged);
    if (g_handler == this) g_handler = nullptr;
}

std::unique_ptr<KVMapEventsHandler> KVMapEventsHandler::create(const Core::ConfigNodePtr& config,
                                                               Map::KVAtlas& atlas, Path& route, NaviSounds* sound,
                                                               Render::RenderStyles* styles,
                                                               const Positioning::Clock& clock) {
    auto handler = std::make_unique<KVMapEventsHandler>(config, atlas, route, sound, styles, clock);
    g_handler = handler.get();
    return handler;
}

KVMapEventsHandler* KVMapEventsHandler::instance() { return g_handler; }

void KVMapEventsHandler::onFix(bool valid, const Positioning::Fix& fix) {
    Positioning::CarStateLock::Unit unit(m_lock);
    if (!unit) return;
    Positioning::TrackerFix feed;
    {
        Threading::SdlLock lock(m_fixMutex);
        m_fix.valid = valid;
        m_fix.validInARow = valid ? m_fix.validInARow + 1 : 0;
        if (!valid) return;
        const bool samePoint = fix.x == m_fix.fix.x && fix.y == m_fix.fix.y;
        m_fix.fix = fix;
        if (samePoint) {
            m_fix.fix.speed = 0.0f;
            m_fix.velocity = {};
        } else {
            m_fix.unitsPerMetre = Map::Projection::unitsPerMeterAt({fix.x, fix.y});
            const float h = fix.heading * std::numbers::pi_v<float> / 180.0f;
            const float v = fix.speed * m_fix.unitsPerMetre;
            // Without a course the car's way is not known: moved ahead
            // northwards, the point would lie beside its road.
            m_fix.velocity =
                fix.courseKnown ? Map::LocalPoint{std::sin(h) * v, std::cos(h) * v} : Map::LocalPoint{};
        }
        m_fix.projected = {static_cast<std::int32_t>(static_cast<float>(fix.x) + m_fix.velocity.x * m_gpsLatency + 0.5f),
                           static_cast<std::int32_t>(static_cast<float>(fix.y) + m_fix.velocity.y * m_gpsLatency + 0.5f)};
        feed = {m_fix.projected, m_fix.velocity,      m_fix.fix.heading, m_fix.fix.speed,
                m_fix.fix.hdop,  m_fix.unitsPerMetre, {fix.x, fix.y},  fix.courseKnown};
        feed.stray = fix.stray;
    }
    m_tracker.onFix(feed);
}

KVMapEventsHandler::FixState KVMapEventsHandler::fixState() const {
    Threading::SdlLock lock(m_fixMutex);
    return m_fix;
}

Positioning::Fix KVMapEventsHandler::currentFix(bool* valid) const {
    const FixState state = fixState();
    Positioning::Fix fix = state.fix;
    if (state.valid) {
        fix.x = state.projected.x;
        fix.y = state.projected.y;
    }
    if (valid) *valid = state.valid;
    return fix;
}

void KVMapEventsHandler::onFrame() {
    const FixState fix = fixState();
    // After the finish guidance waits for a new route: started again on the
    // finished one it would only lead back to the finish. A route changed
    // other than by a rebuild (the driver chose one) is also announced
    // afresh. A phrase still waiting for the player names the turns of the
    // route replaced: pendingStep drops it, as guidance knows no manoeuvre
    // until it has found the car on the new route.
    if (m_routeChanged) {
        m_arrived = false;
        m_rebuildWordsSaid = false;
        m_routeStarted = false;
        // The tries backed off were for the route replaced: a car off the
        // new one has its route at the usual pace. A request that stands
        // is guidance's to settle on the new route this frame: found on
        // it (BackToPath) the car needs none, off it it does.
        m_rebuildRetries = 0;
        m_rebuildPauseMs = std::min(m_rebuildPauseMs, RebuildPauseMs);
        forgetNamed();
        m_routeChanged = 0;
    }
    settleNamed();
    pendingStep();
    // The tracker first, and the road events it does not raise itself:
    // guidance that starts on this frame (the fix is back after a gap)
    // starts where the new fix put the car, not where the last one before
    // the gap left it, hundreds of metres back.
    if (fix.valid) {
        m_tracker.setRouteRoads(routeRoadsAround());
        m_tracker.update();
        carRoadEvents();
        m_navi.setOnOtherRoad(sureOfOtherRoad());
    }
    // The user's switch.
    if (m_naviOn != m_navi.running()) {
        if (!m_naviOn) m_navi.stop();
        else if (!m_arrived) startNavigation();
    }
    approachStep(fix);
    guidanceStep(fix);
    followStep();
    if (m_rebuildRequested && (!m_rebuildTried || m_clock.ticksMs() - m_lastRebuildMs >= m_rebuildPauseMs))
        rebuildPath();
    // A new route the car was not yet on was announced without its turn:
    // the turn is said once the car is on it, or its warnings, dropped as
    // passed, would leave it unsaid.
    if (m_sayManeuverOnRoute && m_navi.running() && !m_navi.outOfPath() && m_navi.maneuverKnown()) {
        m_sayManeuverOnRoute = false;
        speakManeuver(4, m_navi);
    }
    // The car the map draws: on the route while guidance follows it.
    const bool onRoute = naviNeedsRoute() && m_navi.positionKnown() && !m_navi.outOfPath();
    if (!fix.valid) m_shownCarState.valid = false;
    else m_shownCarState = onRoute ? shownCar(m_navi.position(), m_tracker.carState()) : m_tracker.carState();
    if (onRoute) m_objWarn.update(m_navi.position(), &m_atlas);
    else m_objWarn.reset();
}

std::vector<Positioning::CarTracker::RouteRoad> KVMapEventsHandler::routeRoadsAround() const {
    // The roads of the route around the car it follows, a few hundred
    // metres ahead and some behind (a fix may put the car back behind the
    // place guidance had carried it to): where its road ends between two
    // fixes the tracker carries it on along the route's.
    std::vector<Positioning::CarTracker::RouteRoad> roads;
    if (!naviNeedsRoute() || !m_navi.positionKnown() || m_navi.outOfPath()) return roads;
    const PathPosition& at = m_navi.position();
    std::size_t first = std::min(at.part, m_route.parts.size());
    for (std::uint32_t behind = 0; first > 0 && behind < RouteRoadsBehindMetres;)
        behind += m_route.parts[--first].lengthMetres;
    // The stretch of the route the car may be on: the fix was measured the
    // receiver's latency behind guidance's place, give or take the
    // tracker's error along the road. Only there does a fix's scatter count
    // a road of the route nearer (RouteRoad::nearCar).
    const double nearFrom = -(double(m_gpsLatency) * double(m_navi.speedMs()) + NearCarSlackMetres);
    const double nearTo = NearCarSlackMetres;
    // Metres along the route from guidance's place to the start of part i.
    double start = at.isAtEnd() ? 0.0
                                : -double(PathPosition::distanceTo(PathPosition::onPart(m_route, at.part, true), at));
    for (std::size_t i = first; i < at.part && i < m_route.parts.size(); ++i) start -= m_route.parts[i].lengthMetres;
    std::uint32_t metres = 0;
    for (std::size_t i = first; i < m_route.parts.size() && metres < RouteRoadsMetres; ++i) {
        const PathPart& part = m_route.parts[i];
        if (i >= at.part) metres += part.lengthMetres;
        const double end = start + part.lengthMetres;
        const bool nearCar = end >= nearFrom && start <= nearTo;
        start = end;
        if (part.segmentId == RoadGraph::kNoId) continue;
        for (std::size_t m = 0; m < m_atlas.mapCount(); ++m)
            if (m_atlas.mapAt(m) == part.map)
                roads.push_back({static_cast<std::uint32_t>(m), part.segmentId, part.forward != 0, nearCar});
    }
    return roads;
}

bool KVMapEventsHandler::sureOfOtherRoad() {
    // A fix's scatter puts the car on a street beside the route for a fix
    // or two; a car that left the route keeps to the road it took, ahead of
    // the route's roads by its distance from them or its course. A car on
    // one of the route's roads around guidance's place, as the tracker is
    // told them, has not left it that way (one turned back along the route
    // is told by its way, BackwardMove).
    const Positioning::CarState car = m_tracker.carState();
    const bool routeRoad = m_tracker.onRouteRoad();
    const std::uint32_t now = m_clock.ticksMs();
    const std::optional<float> lead = m_tracker.leadOverRoute();
    // Off the route the tracker is told none of the route's roads: the car
    // stays off it while it keeps to a road, until guidance finds it close
    // on the route or a new route is given.
    const bool keeps = !lead && car.onRoad && !routeRoad && m_navi.outOfPath();
    if (!keeps && !(lead && *lead >= SureLead))
        m_otherRoadSinceMs.reset();
    else if (!keeps && !m_otherRoadSinceMs)
        m_otherRoadSinceMs = now;
    return m_otherRoadSinceMs && now - *m_otherRoadSinceMs >= SureForMs;
}

void KVMapEventsHandler::carRoadEvents() {
    const Positioning::CarState state = m_tracker.carState();
    const Positioning::RoadInfo road = m_tracker.roadInfo();
    if (!(state.valid && state.onRoad && road.onRoad && state.probability >= kSnappedWeight)) return;
    int event = -1;
    if (!m_lastRoadValid || !m_lastRoadState.onRoad || state.mapIndex != m_lastRoadState.mapIndex ||
        state.polylineId != m_lastRoadState.polylineId || road.polylineId != m_lastRoadInfo.polylineId)
        event = Positioning::RoadSegChanged;
    else if (road.alongHeading != m_lastRoadInfo.alongHeading || road.againstHeading != m_lastRoadInfo.againstHeading)
        event = Positioning::DirAllowedChanged;
    m_lastRoadValid = true;
    m_lastRoadInfo = road;
    m_lastRoadState = state;
    if (event >= 0) onCarEvent(event, &m_tracker);
}

void KVMapEventsHandler::approachStep(const FixState& fix) {
    if (m_approachOff) return;
    if (m_approachWatcher.changed) {
        m_approachOff = true;
        m_route.removeWatcher(&m_approachWatcher);
        return;
    }
    const Positioning::CarState car = m_tracker.carState();
    if (!car.valid || !fix.valid || m_approachWatcher.pointIndex >= m_route.points.size()) return;
    const PathPoint& point = m_route.pointAt(m_approachWatcher.pointIndex);
    if (!point.isSet()) return;
    const Map::Point a = car.position.toGlobal();
    const Map::Point b = globalOf(point.roadPoint);
    const double d = std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
    m_approachDistance = static_cast<std::uint32_t>(d / fix.unitsPerMetre + 0.5);
}

void KVMapEventsHandler::guidanceStep(const FixState& fix) {
    if (!m_navi.running()) return;
    const Positioning::CarState car = m_tracker.carState();
    if (fix.valid && car.valid) {
        tellFix(fix);
        m_navi.onPosition(car, fix.fix.speed);
    } else {
        m_navi.stop();
    }
}

void KVMapEventsHandler::tellFix(const FixState& fix) {
    m_navi.setCourse(courseOf(fix));
    m_navi.setMeasuredFix(Map::Point{fix.fix.x, fix.fix.y}, m_tracker.scatterMetres(fix.fix.hdop));
}

void KVMapEventsHandler::startNavigation() {
    // Started with the real car while the demo drives, guidance would find
    // it off the route's start, rebuild from it and freeze the demo.
    if (m_navi.running() || m_demoDriving) return;
    const FixState fix = fixState();
    const Positioning::CarState car = m_tracker.carState();
    // The first fix of a receiver that sends RMC before GGA has no HDOP
    // yet, and guidance would take one of HDOP 1 for it and find a car in
    // a wider scatter off the route at its start. Guidance starts with the
    // next fix, whose error is known.
    const bool errorKnown = fix.fix.hdop > 0.0f || fix.validInARow > 1;
    if (fix.valid && car.valid && errorKnown) {
        tellFix(fix);
        m_navi.start(car, fix.fix.speed);
    }
}

void KVMapEventsHandler::toggleNavigation() {
    m_arrived = false;
    if (m_navi.running()) {
        setNaviOn(false);
        m_navi.stop();
    } else {
        setNaviOn(true);
        startNavigation();
    }
}

void KVMapEventsHandler::setNaviOn(bool on) {
    // The driver's choice ends the wait after the finish.
    if (on) m_arrived = false;
    m_naviOn = on;
    m_config->set("navi_on", on);
}

void KVMapEventsHandler::resetNavigation() {
    m_objWarn.reset();
    if (m_navi.running()) m_navi.stop();
    m_tracker.setAtlas(&m_atlas);
    m_lastRoadValid = false;
}

void KVMapEventsHandler::rebuildPath() {
    m_rebuildRequested = false;
    const Positioning::CarState car = m_tracker.carState();
    if (m_demoDriving || !m_navi.running() || m_route.isEmpty() || !car.valid || m_navi.nextPoint() == nullptr)
        return;

    Map::Routing::RoadBinding bound;
    PathPoint start;
    if (!nearestRoadPoint(m_atlas, car.position.toGlobal(), start, bound)) return;
    // The way the car may leave its road: the car's way there (the course
    // of the last fix, or the tracker's way along its road). Without either
    // both ways are open (a fix's heading of 0 would send the route north).
    const FixState now = fixState();
    const std::optional<float> course = courseOf(now);
    if ((course || car.wayDegrees >= 0) && Map::Routing::roadFlag10(m_atlas, bound)) {
        if (!trackerWayTells(bound.roadHeading, course, car)) {
            start.allowForward = m_tracker.isAlongHeading(bound.roadHeading) ? 1 : 0;
            start.allowBackward = m_tracker.isAgainstHeading(bound.roadHeading) ? 1 : 0;
        } else {
            const bool along = std::abs(headingChange(bound.roadHeading, car.wayDegrees)) < 90;
            start.allowForward = along ? 1 : 0;
            start.allowBackward = along ? 0 : 1;
        }
    }
    const PathPoint finish = *m_navi.nextPoint();
    const auto next = static_cast<std::size_t>(m_navi.nextPoint() - m_route.points.data());

    Log::log(Log::Normal, "rebuildPath start");
    m_rebuildTried = true;
    m_lastRebuildMs = m_clock.ticksMs();
    m_rebuildPauseMs = RebuildPauseMs;
    const bool firstUTurn = m_config->child("Routing")->value("use_first_uturn_in_rebuild", true);
    // A car that moves one way along its road is given a route that leaves
    // the road's far end that way, not one that turns back along the road.
    // Only where no route leaves that way (a dead end, a finish behind the
    // car on its own road) does the new route turn the car round: that
    // route is taken, and its U-turn said however near.
    const bool movingOneWay = now.valid && now.fix.speed >= MovingMs && start.allowForward != start.allowBackward;
    Path rebuilt;
    bool deadEnd = false;
    if (!(movingOneWay && firstUTurn && Map::Routing::computePath(m_atlas, *m_config, start, finish, rebuilt, true))) {
        // Only where no route leaves the car's way (not a search that ran
        // out of memory) is the car's U-turn said however near.
        deadEnd = movingOneWay && firstUTurn && Map::Routing::routingResult().status == RoutingStatus::NoRoute;
        if (!Map::Routing::computePath(m_atlas, *m_config, start, finish, rebuilt, !firstUTurn)) {
            Log::log(Log::Critical, "rebuildPath failed");
            retryRebuild();
            return;
        }
    }
    // A new route is one the driver can follow from where the car is: it
    // does not turn round, in its first phrase, a car that goes the route's
    // way along it (a fix far off beside the route is no reason to turn;
    // a car that missed a turn goes another way than the route), nor does
    // it begin with a U-turn the car reaches before it is told with its
    // distance. Otherwise the route stays and the request is tried again.
    const std::vector<RouteTurn> turns = firstPhraseTurns(rebuilt, m_navi.rotatesStickDist());
    if (std::any_of(turns.begin(), turns.end(), [](const RouteTurn& t) { return t.type == UTurnManoeuvre; }) &&
        m_navi.carGoesRouteWay(car)) {
        Log::log(Log::Normal, "rebuildPath kept the route: the new one turns round a car going its way");
        retryRebuild();
        return;
    }
    if (!deadEnd && !turns.empty() && turns.front().type == UTurnManoeuvre &&
        !toldInTime(turns.front().metres, now.fix.speed)) {
        Log::log(Log::Normal, "rebuildPath kept the route: the car passes its U-turn before it is told");
        retryRebuild();
        return;
    }
    // The new route leads to guidance's next route point: the legs before
    // that point are passed, whichever leg the car's place lies on. Off the
    // route at a start, that place is only the nearest part, on any leg
    // (the next point is still the first); cut there, the route kept legs
    // the new one replaces, or lost points it leads to, and its last point
    // was no longer where its parts end.
    std::size_t lastPassed = m_route.parts.size();
    for (std::size_t i = 0; i < m_route.parts.size(); ++i)
        if (m_route.parts[i].legIndex < next) lastPassed = i;
    if (lastPassed < m_route.parts.size())
        m_route.removePassedLeg(PathPosition::onPart(m_route, lastPassed, false));
    m_route.prependPath(rebuilt);
    forgetNamed();
    m_rebuildRetries = 0;
    m_routeChanged = 0;
    m_following = false;
    m_passedTurn = false;
    m_followedMetres = 0;
    Log::log(Log::Normal, "rebuildPath done");
    const FixState fix = fixState();
    approachStep(fix);
    guidanceStep(fix);
    applyPendingRoute();
    if (!naviSoundsOn()) return;
    // A driver who takes a way of their own gets a new route every few
    // seconds: "route rebuilt" is said for the first of them, each new
    // route's next turn for every one.
    // The first words of a route are its start's, also when the car was
    // found off it at the start (a fix far off while the receiver settles)
    // and the first thing said is a new route.
    const bool starts = !m_routeStarted;
    const bool words = !starts && !m_rebuildWordsSaid;
    Phrase phrase;
    if (starts) phrase.push_back(Voice::RouteStart);
    else if (words) phrase.push_back(Voice::RouteRebuilt);
    std::size_t named = 0;
    const bool withManeuver = appendManeuverPhrase(phrase, m_navi, m_sound, &named);
    // What plays, or waits to play, speaks of the route just replaced: the
    // new one is said over it, or a long phrase about turns no longer ahead
    // would keep the driver from hearing the new route and its next turn.
    m_pending.clear();
    if (!phrase.empty() && m_sound->playOver(withManeuver ? 4 : 2, 4, phrase)) {
        if (words) m_rebuildWordsSaid = true;
        if (starts) m_routeStarted = true;
        if (withManeuver) {
            m_navi.maneuverAnnounced(metresWhileSaying(phrase, m_navi));
            noteNamed(m_navi, named);
        }
    }
    m_rebuildSpoken = withManeuver;
    m_rebuildTurnPassed = false;
    m_sayManeuverOnRoute = !withManeuver;
}

void KVMapEventsHandler::retryRebuild() {
    m_rebuildRequested = true;
    ++m_rebuildRetries;
    const std::uint32_t doublings = m_rebuildRetries > QuickRetries ? m_rebuildRetries - QuickRetries : 0;
    m_rebuildPauseMs = std::min(RebuildRetryMs << std::min(doublings, 8u), RebuildRetryMaxMs);
}

bool KVMapEventsHandler::toldInTime(std::uint32_t metres, float speedMs) const {
    // "Route recalculated, in fifty metres make a U-turn" said while the car
    // drives on, the longest words of such a route; a second at least, the
    // time to the next try. The words with the distance are the ones that
    // must end before the turn: said without it, the driver does not know
    // where to turn.
    Phrase words{Voice::RouteRebuilt};
    Voice::composeManeuverPhrase(words, {{UTurnManoeuvre, metres}}, m_navi.sayDistanceFirst());
    const double seconds = std::max(m_sound != nullptr ? m_sound->seconds(words) : 0.0, RebuildRetryMs / 1000.0);
    return !(speedMs * seconds > metres);
}

// A route followed some way: the next new route is announced in words
// again. A new route runs along the car's road to the next junction, where
// a driver on a way of their own leaves it: followed is what the car drove
// along the route, frame by frame, once it took one of the route's turns.
// A position that jumps (found from scratch on a later leg of a route that
// turns back beside itself) is no following either.
void KVMapEventsHandler::followStep() {
    if (!m_rebuildWordsSaid) return;
    const bool on = m_navi.running() && !m_navi.outOfPath();
    const std::uint32_t along = m_navi.distFromStart();
    if (on && m_following && m_passedTurn && along > m_followedAlong &&
        along - m_followedAlong <= FrameJumpMetres)
        m_followedMetres += along - m_followedAlong;
    m_following = on;
    m_followedAlong = along;
    if (m_followedMetres >= FollowedMetres) m_rebuildWordsSaid = false;
}

void KVMapEventsHandler::applyPendingRoute() {
    if (!m_approachOff || m_tracker.carState().onRoad || m_route.points.empty()) return;
    m_route.addWatcher(&m_approachWatcher);
    m_approachWatcher.pointIndex = 0;
    m_approachWatcher.changed = 0;
    m_approachOff = false;
}

void KVMapEventsHandler::onNaviEvent(int code, fdMapNavi& navi, const std::uint32_t* passedType) {
    // A state such as a bad start or moving backwards is raised again on
    // every frame while it lasts: the log names it when it begins, that is
    // when the event differs from the previous one or follows it after a
    // pause of a second or more.
    if (const char* name = naviEventName(code)) {
        const std::uint32_t now = m_clock.ticksMs();
        const bool lasting = code == m_lastNaviEvent && now - m_lastNaviEventMs < kLastingEventMs;
        m_lastNaviEvent = code;
        m_lastNaviEventMs = now;
        if (!lasting) Log::log(Log::Info, "navi event:%s", name);
    }
    const auto speak = [&](int priority, Phrase phrase) {
        if (naviSoundsOn() && !phrase.empty()) m_sound->play(priority, phrase);
    };
    switch (code) {
    case Start: {
        // Guidance starts again after a gap in the fixes (a tunnel, a
        // receiver that fell silent) wherever the car then is: the start
        // word belongs to the route's start, the rest of the route is
        // only told its next turn.
        Phrase phrase;
        if (navi.distFromStart() <= navi.maxDistFromPath()) phrase.push_back(Voice::RouteStart);
        if (&navi == &m_navi) m_routeStarted = true;
        // Its words stand for the manoeuvre's warnings due now: moving off
        // (the time warning, 0 m while the car stood, comes due at once)
        // they said the same again.
        std::size_t named = 0;
        const bool withManeuver = appendManeuverPhrase(phrase, navi, m_sound, &named);
        if (&navi == &m_navi) forgetNamed();
        if (naviSoundsOn() && !phrase.empty() && m_sound->play(4, phrase) && withManeuver) {
            navi.maneuverAnnounced(metresWhileSaying(phrase, navi));
            noteNamed(navi, named);
        }
        break;
    }
    case ArriveLastPoint:
        // A manoeuvre phrase still waiting for the player belongs to the
        // route just finished: it is not said after the arrival.
        m_pending.clear();
        speak(5, Phrase{Voice::Arrived});
        navi.stop();
        // The demo drive's guidance starts again on its own.
        if (&navi == &m_navi) {
            m_arrived = true;
            m_routeChanged = 0;
        }
        break;
    case OutOfPath:
    case BadStart_OutOfPath:
    case PathChanged_OutOfPath: m_rebuildRequested = true; break;
    case BackwardMove: {
        // Raised on every step while the car's heading is against the
        // route's. Between two fixes the tracker carries the car on along
        // its road, past a hairpin the route takes, where the route's
        // other leg runs the other way; a rebuild from there starts the
        // new route the wrong way again, once a frame. Only a car that
        // keeps driving against the route for a while gets a new one.
        const std::uint32_t now = m_clock.ticksMs();
        if (!m_backwardRun || now - m_lastBackwardMs > BackwardGapMs) m_backwardSinceMs = now;
        m_backwardRun = true;
        m_lastBackwardMs = now;
        if (now - m_backwardSinceMs >= BackwardConfirmMs) {
            m_rebuildRequested = true;
            m_backwardSinceMs = now;
        }
        break;
    }
    case Rotate: {
        if (&navi == &m_navi) m_sayManeuverOnRoute = false;
        speakManeuver(4, navi);
        break;
    }
    case BadStart_EmptyPath:
    case PathChanged_EmptyPath: navi.stop(); break;
    case Stopped:
        // The demo's guidance stops, and goes, with its demo.
        if (&navi == m_pendingNavi) m_pending.clear();
        break;
    case BackToPath:
        // A departure from here on is a new one: no try backed off for an
        // earlier one holds it back.
        m_rebuildRequested = false;
        m_rebuildRetries = 0;
        m_rebuildPauseMs = std::min(m_rebuildPauseMs, RebuildPauseMs);
        break;
    case RotateEnd:
        if (&navi == &m_navi) m_passedTurn = true;
        // A warning still waiting for the player names the turn just passed.
        m_pending.clear();
        m_rebuildTurnPassed = m_rebuildSpoken;
        if (passedType == nullptr || *passedType != RoundaboutNodeManoeuvre) navi.onRotateEnd();
        break;
    default: break;
    }
}

std::uint32_t KVMapEventsHandler::metresWhileSaying(const Phrase& phrase, const fdMapNavi& navi) const {
    const double metres = m_sound != nullptr ? m_sound->seconds(phrase) * navi.speedMs() : 0.0;
    return metres > 0.0 ? static_cast<std::uint32_t>(std::min(metres, 100000.0)) : 0;
}

// A warning that comes while the previous one is still spoken (the one after
// a roundabout's exit, fired just past it) would be dropped by the player;
// it is kept and spoken once the player is free, unless it has grown stale
// or a newer warning took its place. It is composed again then, with the
// distance there is when its words play, not the one it was composed with.
// A new route announced a
// few metres before its first turn still speaks when the car has passed
// that turn: the next turn's warning is said over it, or it would come
// after its own turn.
void KVMapEventsHandler::speakManeuver(int priority, const fdMapNavi& navi) {
    std::vector<ManeuverEntry> list;
    navi.maneuversToAnnounce(list);
    Phrase phrase;
    std::size_t named = 0;
    appendManeuvers(phrase, list, navi, m_sound, &named);
    if (!naviSoundsOn() || phrase.empty()) return;
    m_pending.clear();
    // Heard with the turn before it and no longer ending before it: said
    // again, it would play on past it.
    settleNamed();
    if (namedAlready(navi, named) && !(metresWhileSaying(phrase, navi) <= navi.remainingDistance())) return;
    if (m_sound->accepts(priority) || m_rebuildTurnPassed) {
        if (m_sound->playOver(priority, priority, phrase)) {
            m_rebuildSpoken = m_rebuildTurnPassed = false;
            noteNamed(navi, named);
        }
        return;
    }
    m_pending = list;
    m_pendingNavi = &navi;
    m_pendingPriority = priority;
    m_pendingSinceMs = m_clock.ticksMs();
}

void KVMapEventsHandler::pendingStep() {
    if (m_pending.empty()) return;
    if (m_clock.ticksMs() - m_pendingSinceMs > kPendingPhraseMs || !naviSoundsOn() ||
        !m_pendingNavi->maneuverKnown()) {
        m_pending.clear();
        return;
    }
    if (!m_sound->accepts(m_pendingPriority)) return;
    std::vector<ManeuverEntry> list = std::move(m_pending);
    m_pending.clear();
    // A distance said is the one there is now; a warning said without one
    // (the last before a turn) stays so.
    if (list.front().distance != 0) list.front().distance = m_pendingNavi->remainingDistance();
    Phrase phrase;
    std::size_t named = 0;
    appendManeuvers(phrase, std::move(list), *m_pendingNavi, m_sound, &named);
    if (!phrase.empty() && m_sound->play(m_pendingPriority, phrase)) {
        m_rebuildSpoken = m_rebuildTurnPassed = false;
        noteNamed(*m_pendingNavi, named);
    }
}

namespace {

// The place of the last manoeuvre a phrase names that reaches `named` of
// guidance's manoeuvres from its current one on.
PathPosition lastNamed(const fdMapNavi& navi, std::size_t named) {
    PathPosition at = navi.maneuverPosition();
    for (std::size_t i = 1; i < named && at.path != nullptr && !at.isAtEnd(); ++i) {
        PathPosition next;
        std::uint32_t type = 0;
        std::uint16_t aux = 0;
        if (!at.path->nextManoeuvre(at, next, type, aux)) break;
        at = next;
    }
    return at;
}

} // namespace

void KVMapEventsHandler::noteNamed(const fdMapNavi& navi, std::size_t named) {
    if (&navi != &m_navi || !navi.maneuverKnown()) return;
    settleNamed();
    m_naming = Naming{m_sound->lastList(), lastNamed(navi, named)};
    settleNamed();
}

void KVMapEventsHandler::settleNamed() {
    if (!m_naming) return;
    const ListEnd end = m_sound->listEnd(m_naming->list);
    if (end == ListEnd::Playing) return;
    const PathPosition at = m_naming->to;
    m_naming.reset();
    if (end == ListEnd::Cut) return;
    if (!m_namedTo || m_namedTo->path != at.path || PathPosition::isBefore(*m_namedTo, at)) m_namedTo = at;
}

void KVMapEventsHandler::forgetNamed() {
    m_namedTo.reset();
    m_naming.reset();
}

bool KVMapEventsHandler::namedAlready(const fdMapNavi& navi, std::size_t named) const {
    if (&navi != &m_navi || !navi.maneuverKnown()) return false;
    const PathPosition at = lastNamed(navi, named);
    const auto reaches = [&](const PathPosition& to) {
        return to.path == at.path && !PathPosition::isBefore(to, at);
    };
    return (m_namedTo && reaches(*m_namedTo)) || (m_naming && reaches(m_naming->to));
}

void KVMapEventsHandler::onCarEvent(int code, Positioning::CarTracker*) {
    if (m_navi.running() && m_navi.outOfPath()) m_rebuildRequested = true;
    // From a new road a route not given before may be: a try backed off
    // comes a second after the last.
    if (code == Positioning::RoadSegChanged && m_rebuildRetries > 0)
        m_rebuildPauseMs = std::min(m_rebuildPauseMs, RebuildRetryMs);
    Log::log(Log::Info, "car event:%s", carEventName(code));
    if (code == Positioning::BackToRoad && !m_approachOff) {
        m_approachOff = true;
        m_route.removeWatcher(&m_approachWatcher);
    }
}

void KVMapEventsHandler::onObjWarnEvent(int code, ObjWarn& warn, const PathPosition& car) {
    if (code != NewObject) return;
    Log::log(Log::Info, "obj warn event:new obj");
    const ObjWarn::Object* current = warn.current();
    if (current == nullptr) return;
    const ObjWarn::Object object = *current;
    std::uint32_t metres = 0;
    if (PathPosition::isBefore(car, object.position))
        metres = static_cast<std::uint32_t>(
            Core::roundDistance(static_cast<std::int32_t>(PathPosition::distanceTo(car, object.position))));
    const Map::Point p = object.poi.point;
    if (std::abs(static_cast<std::int64_t>(m_lastObjX) - p.x) < 10 || m_styles == nullptr || !naviSoundsOn()) return;
    const Render::PoiStyle* style = m_styles->poiStyle(object.poi.poiType);
    if (style == nullptr) return;
    Phrase phrase;
    Voice::objectPhrase(phrase, style->soundId, metres, ObjWarn::settings().sayDistBeforeNotif);
    if (m_sound->play(3, phrase)) {
        m_lastObjX = p.x;
        m_lastObjY = p.y;
    }
}

} // namespace Guidance
