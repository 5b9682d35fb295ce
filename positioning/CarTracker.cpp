#include "positioning/CarTracker.h"

#include "map/FloatMath.h"
#include "map/SegmentProjection.h"
#include "map/UnitsPerMeter.h"

#include <algorithm>
#include <cmath>

namespace Positioning {

namespace {

constexpr std::uint32_t StaleFixMs = 3000;
// A car a fix puts back along its road by up to two seconds of its drive
// goes on at a quarter of its speed until the place the fix says has come
// up to it; one put back further is moved there.
constexpr float CatchUpSeconds = 2.0f;
constexpr float CatchUpShare = 0.75f;
constexpr float DegreesToRadians = 0.017453292f;
// A car carried to a road's end short of the prediction by more than this
// (metres) waits there only on a road whose share of the last match was
// SureOfRoad or more.
constexpr float StuckMetres = 0.5f;
constexpr float SureOfRoad = 0.5f;

// d wrapped into (-180, 180].
float wrapSigned(float d) {
    d = std::fmod(d, 360.0f);
    if (d > 180.0f) d -= 360.0f;
    if (d <= -180.0f) d += 360.0f;
    return d;
}

// The foot of p on the polyline found from segment `from` on: the walk goes
// to the next (or else the previous) segment while that one lies nearer, so
// it stops at the nearest part of the road around `from`, not at a farther
// part that happens to come closer.
Map::PolylineFoot followFoot(Map::LocalPoint p, const std::vector<Map::LocalPoint>& points,
                             std::size_t from) {
    const std::size_t last = points.size() - 2;
    const auto footOn = [&](std::size_t i) {
        Map::PolylineFoot f;
        f.point = Map::footOnSegment(p, points[i], points[i + 1]);
        f.distance2 = (f.point.x - p.x) * (f.point.x - p.x) + (f.point.y - p.y) * (f.point.y - p.y);
        f.segment = i;
        return f;
    };
    Map::PolylineFoot best = footOn(std::min(from, last));
    bool moved = false;
    while (best.segment < last) {
        const Map::PolylineFoot next = footOn(best.segment + 1);
        if (!(next.distance2 < best.distance2)) break;
        best = next;
        moved = true;
    }
    while (!moved && best.segment > 0) {
        const Map::PolylineFoot previous = footOn(best.segment - 1);
        if (!(previous.distance2 < best.distance2)) break;
        best = previous;
    }
    return best;
}

bool same(Map::LocalPoint a, Map::LocalPoint b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

TrackerFix TrackerFix::from(const Fix& fix) {
    TrackerFix out;
    out.point = {fix.x, fix.y};
    out.measured = out.point;
    out.heading = fix.heading;
    out.speed = fix.speed;
    out.accuracy = fix.hdop;
    out.unitsPerMetre = Map::Projection::unitsPerMeterAt(out.point);
    out.courseKnown = fix.courseKnown;
    out.stray = fix.stray;
    const float radians = fix.heading * DegreesToRadians;
    if (fix.courseKnown)
        out.velocity = {fix.speed * std::sin(radians) * out.unitsPerMetre,
                        fix.speed * std::cos(radians) * out.unitsPerMetre};
    return out;
}

CarTracker::CarTracker(CarEventsHandler* handler, std::shared_ptr<Core::ConfigNode> config, const Clock& clock)
    : m_handler(handler), m_config(std::move(config)), m_clock(clock), m_filter(clock) {
    Core::ConfigNode& car = *m_config;
    m_rotateSpeed = car.value("rotate_speed", 50.0f);
    m_settings.minSpeed = car.value("min_speed", 1.0f);
    m_useStick = car.value("use_stick", true);
    m_critDist = car.value("crit_dist", 50);
    m_settings.connectionError = car.value("max_polylines_conn_err", 1);
    m_gpsLatency = car.value("gps_latency", 1.5f);
    m_settings.maxDistMetres = static_cast<float>(car.value("max_dist", 20));
    m_settings.oldPolylineAttraction = car.value("old_polyline_arrt", 0.15f);
    m_filter.readModel(*car.child("Model"), m_settings.minSpeed);
}

void CarTracker::setAtlas(Map::KVAtlas* atlas) {
    Threading::SdlLock lock(m_mutex);
    m_atlas = atlas;
    m_hasData = false;
    m_fixUsed = true;
    m_level.reset();
    m_freeValid = false;
    m_onRoad = false;
    m_road = Road{};
    m_candidates.clear();
    m_roads.clear();
    m_roadProbability.clear();
    m_routeLead.reset();
    m_spreadSquaredMetres = 0.0f;
    m_spreadSeconds = 0.0f;
    m_spreadTicks = 0;
    m_anchor.reset();
    m_anchorOff = 0.0f;
    m_frameTicks = 0;
}

bool CarTracker::useStick() {
    Threading::SdlLock lock(m_mutex);
    return m_useStick;
}

int CarTracker::critDist() {
    Threading::SdlLock lock(m_mutex);
    return m_critDist;
}

void CarTracker::setUseStick(bool on, int critDist) {
    {
        Threading::SdlLock lock(m_mutex);
        m_useStick = on;
        m_critDist = critDist;
    }
    m_config->set("use_stick", on);
    m_config->set("crit_dist", critDist);
}

void CarTracker::setRouteRoads(std::vector<RouteRoad> roads) {
    m_routeRoads = std::move(roads);
}

void CarTracker::onFix(const TrackerFix& fix) {
    // A fix judged a stray changes nothing: the car goes on as the fixes
    // before it put it. Taken in, its place and a course that turned toward
    // it took the filter there (a turn), the match put the car on the road
    // beside its own for a second, and guidance heard BackwardMove. At most
    // one fix in a row is a stray: the next one as far off is a real move.
    if (fix.stray) return;
    Map::KVAtlas* atlas = nullptr;
    bool needLevel = false;
    {
        Threading::SdlLock lock(m_mutex);
        atlas = m_atlas;
        needLevel = !m_onRoad && !m_freeValid;
    }
    // Looked up outside the tracker's lock: it takes the atlas mutex.
    std::optional<Map::LevelFrame> found;
    if (needLevel && atlas != nullptr) found = levelForPoint(*atlas, fix.point);

    Threading::SdlLock lock(m_mutex);
    m_fix = fix;
    m_fixTicks = m_clock.ticksMs();
    m_fixUsed = false;
    if (m_onRoad)
        m_level = m_road.polyline.frame;
    else if (m_freeValid)
        m_level = m_freeLevel;
    else if (found)
        m_level = found;
    if (!m_level) return;
    const float unit = static_cast<float>(m_level->unit());
    // The filter follows where the fixes were measured, and the latency's
    // way ahead is added to what it gives. Fed the point moved ahead, it
    // chased a point that swings as far sideways as the latency carries the
    // car whenever the course turns: trusting its velocity, it lay 10 to 17
    // m beside the road after a corner, for longer the more fixes a second,
    // and the car was drawn (and guided) 13 m behind at 10 Hz what it was
    // at 1 Hz.
    const Map::LocalPoint measured = m_level->toLocal(fix.measured);
    const Map::LocalPoint ahead = m_level->toLocal(fix.point);
    // A car the filter takes for standing (not above min_speed) has no way
    // ahead: many receivers send a standing car speeds up to a metre a
    // second with a course at random, and the car held still by the filter
    // was drawn walking 9 to 17 m over half a minute within a metre or two.
    m_lead = fix.speed > m_settings.minSpeed ? Map::LocalPoint{ahead.x - measured.x, ahead.y - measured.y}
                                             : Map::LocalPoint{};
    m_filter.update(measured, {fix.velocity.x / unit, fix.velocity.y / unit}, fix.speed,
                    fix.accuracy, fix.unitsPerMetre / unit, fix.courseKnown);
    m_hasData = true;
    ++m_fixCount;
}

std::optional<float> CarTracker::match(Map::KVAtlas& atlas, const TrackerFix& fix,
                                       const std::optional<Road>& oldRoad) {
    MatchInput input;
    input.point = fix.measured;
    input.unitsPerMetre = fix.unitsPerMetre;
    input.heading = fix.heading;
    input.headingKnown = fix.courseKnown;
    input.speed = fix.speed;
    input.routeRoads = &m_routeRoads;
    input.scatterMetres = scatterMetres(fix.accuracy);
    // A standing car keeps to the road it was last matched to. Not the road
    // it is drawn on: the filter holds a car that stops at the point shown
    // last, ahead of the fix by the latency and past the matched road's end
    // onto another one; that one, favoured at the next fix, took in the
    // roads beyond it, the car was snapped further on, and the fix after
    // that matched the first road again: the car stood jumping back and
    // forth between two places a second.
    if (!m_candidates.empty()) input.current = m_candidates.front().ref;
    else if (oldRoad) input.current = oldRoad->polyline.ref;
    std::vector<RoadPolyline> roads =
        collectRoads(atlas, fix.measured, static_cast<double>(m_critDist) * fix.unitsPerMetre);
    const MatchResult result = matchRoads(roads, input, m_settings);
    m_routeLead.reset();
    if (!result.best) {
        m_candidates.clear();
        m_roads.clear();
        m_roadProbability.clear();
        return std::nullopt;
    }
    const RoadPolyline& best = roads[result.best->index];
    const bool newRoad = !oldRoad || !(oldRoad->polyline.ref == best.ref);
    // Also rebuilt when the car was carried onto the matched road past an
    // earlier one's end: the candidates are still that road's, and a fix's
    // place snapped by them stayed at its end while the car drove on.
    if (newRoad || m_candidates.empty() || !(m_candidates.front().ref == best.ref)) {
        m_candidates = connectedRoads(best, roads, m_settings.connectionError);
        if (newRoad && oldRoad && !best.points.empty()) {
            // The old road stays a candidate when the new one continues it
            // at the end the car was nearer.
            const RoadPolyline& old = oldRoad->polyline;
            const Map::LocalPoint p = oldRoad->projected;
            const auto d2 = [&](Map::LocalPoint q) { return (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y); };
            const Map::LocalPoint end = d2(old.points.front()) <= d2(old.points.back()) ? old.points.front()
                                                                                       : old.points.back();
            bool present = false;
            for (const RoadPolyline& c : m_candidates)
                present = present || c.ref == old.ref;
            if (!present && old.frame == best.frame &&
                (connected(best.points.front(), end, m_settings.connectionError) ||
                 connected(best.points.back(), end, m_settings.connectionError)))
                m_candidates.push_back(old);
        }
    }
    // Each road's own share of the weights: the car drawn on a road
    // connected to the matched one (past the matched road's end) is only as
    // sure to be on it as this match found it; one that did not score at
    // all (the turn the car has not yet been measured on) gets 0.
    float sum = 0.0f;
    // The roads of the route as the fix alone scores them, none counted
    // nearer for being the route's.
    MatchInput byFixAlone = input;
    byFixAlone.routeRoads = nullptr;
    float cheapestOfRoute = INFINITY;
    for (const RoadPolyline& road : roads)
        if (const std::optional<ScoredRoad> scored = scoreRoad(road, input, m_settings)) {
            sum += costWeight(scored->cost);
            if (isRouteRoad(road.ref.mapIndex, road.polylineId))
                if (const std::optional<ScoredRoad> byFix = scoreRoad(road, byFixAlone, m_settings))
                    cheapestOfRoute = std::min(cheapestOfRoute, byFix->cost);
        }
    // A car that moves, matched to a road the route does not take: how far
    // ahead of the route's roads that road came by the fix alone.
    if (!m_routeRoads.empty() && fix.speed > m_settings.minSpeed &&
        !isRouteRoad(best.ref.mapIndex, best.polylineId))
        m_routeLead = cheapestOfRoute - result.best->cost;
    // What the fixes show of their scatter is how far they lie from the
    // road the car is on: the one matched, or the one it was drawn on where
    // the fix lies nearer that, within one of its errors (a scatter of 15 m
    // near a street the car was carried onto still shows). At a corner a
    // course taken from the fixes (GGA alone at 1 Hz) runs a second late,
    // the match took a road 20 to 30 m off the one the car was carried onto
    // and the fix lay on, and those metres, learned as the receiver's,
    // widened a scatter of 15 m to 36 to 48 m; the car was then held on the
    // road before its own and thrown 10 m ahead onto a roundabout's entry.
    float offSquared = result.best->foot.distance2 * static_cast<float>(best.frame.unit() * best.frame.unit());
    if (oldRoad && oldRoad->polyline.points.size() >= 2) {
        const Map::LevelFrame& frame = oldRoad->polyline.frame;
        const float drawn = Map::nearestFoot(frame.toLocal(fix.measured), oldRoad->polyline.points.data(),
                                             oldRoad->polyline.points.size())
                                .distance2 *
                            static_cast<float>(frame.unit() * frame.unit());
        const float error = Positioning::fixErrorMetres(fix.accuracy, m_filter.positionError()) * fix.unitsPerMetre;
        if (drawn < offSquared && drawn <= error * error) offSquared = drawn;
    }
    spreadStep(fix, std::sqrt(offSquared) / fix.unitsPerMetre);
    const RoadRef bestRef = best.ref;
    // The candidates, then the other roads around: the car is carried past a
    // candidate's end along them (a roundabout's short pieces, a road cut
    // into several polylines).
    m_roads = m_candidates;
    for (RoadPolyline& road : roads) {
        bool candidate = false;
        for (const RoadPolyline& c : m_candidates)
            candidate = candidate || c.ref == road.ref;
        if (!candidate) m_roads.push_back(std::move(road));
    }
    m_roadProbability.assign(m_roads.size(), 0.0f);
    for (std::size_t i = 0; i < m_roads.size(); ++i) {
        if (m_roads[i].ref == bestRef) {
            m_roadProbability[i] = result.probability;
        } else if (const std::optional<ScoredRoad> scored = scoreRoad(m_roads[i], input, m_settings)) {
            m_roadProbability[i] = std::fabs(sum) <= 1e-8f ? 0.0f : costWeight(scored->cost) / sum;
        }
    }
    return result.probability;
}

std::optional<CarTracker::RoadPlace> CarTracker::snap(Map::Point point, Map::LocalPoint velocity) const {
    // The car keeps to the matched road (the first candidate) while the
    // point lies alongside it: the prediction runs on a straight line, so
    // in a bend it drifts sideways, and the other carriageway of a
    // boulevard, or the far leg of a loop, connected to this road where the
    // two meet, may then lie nearer. Only a point past one of its ends goes
    // to the nearest of the candidates.
    if (!m_candidates.empty() && m_candidates.front().points.size() >= 2) {
        const RoadPolyline& matched = m_candidates.front();
        const Map::LocalPoint p = matched.frame.toLocal(point);
        // Held on this road already: its foot is followed from the segment
        // the car is on, so that a road that bends back near itself (a
        // hook, a loop) does not throw the car onto its later part.
        const Map::PolylineFoot foot =
            m_onRoad && m_road.polyline.ref == matched.ref
                ? followFoot(p, matched.points, m_road.segment)
                : Map::nearestFoot(p, matched.points.data(), matched.points.size());
        if (std::isfinite(foot.distance2)) {
            const bool atFront = same(foot.point, matched.points.front());
            const bool atBack = same(foot.point, matched.points.back());
            if (!atFront && !atBack) return RoadPlace{0, foot.point, foot.segment};
            // Past the end the car drives out of: carried on from the end as
            // far as the point lies beyond it, onto the road that goes on
            // there (the route's, where a route goes on).
            const Map::LocalPoint end = foot.point;
            const Map::LocalPoint inner =
                atBack ? matched.points[matched.points.size() - 2] : matched.points[1];
            const float length = std::hypot(end.x - inner.x, end.y - inner.y);
            if (length > 0.0f) {
                const float ux = (end.x - inner.x) / length;
                const float uy = (end.y - inner.y) / length;
                const float beyond = (p.x - end.x) * ux + (p.y - end.y) * uy;
                if (beyond > 0.0f && velocity.x * ux + velocity.y * uy > 0.0f)
                    return carry(RoadPlace{0, foot.point, foot.segment, atBack ? 1 : -1}, beyond, point);
            }
        }
    }
    std::optional<RoadPlace> best;
    double bestDistance = INFINITY;
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        const RoadPolyline& candidate = m_candidates[i];
        const Map::PolylineFoot foot = Map::nearestFoot(candidate.frame.toLocal(point),
                                                        candidate.points.data(), candidate.points.size());
        const double unit = candidate.frame.unit();
        // Compared in global units, so roads of different levels meet fairly.
        const double distance = static_cast<double>(foot.distance2) * unit * unit;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = RoadPlace{i, foot.point, foot.segment};
        }
    }
    return best;
}

int CarTracker::wayAlong(const RoadPlace& at, Map::LocalPoint velocity) const {
    const std::vector<Map::LocalPoint>& points = m_roads[at.road].points;
    const Map::LocalPoint a = points[at.segment];
    const Map::LocalPoint b = points[at.segment + 1];
    const float along = velocity.x * (b.x - a.x) + velocity.y * (b.y - a.y);
    return along > 0.0f ? 1 : along < 0.0f ? -1 : 0;
}

bool CarTracker::nextSegment(RoadPlace& at) const {
    const std::size_t segments = m_roads[at.road].points.size() - 1;
    if (at.way > 0 && at.segment + 1 < segments) {
        ++at.segment;
        return true;
    }
    if (at.way < 0 && at.segment > 0) {
        --at.segment;
        return true;
    }
    return false;
}

bool CarTracker::onToNextRoad(RoadPlace& at, Map::Point predicted) const {
    // Of several roads that go on from the end, a road of the route ahead
    // (the driver more likely follows it than not), else the one nearest
    // the prediction (as a prediction past a road's end is snapped); a
    // one-way road only from its first point.
    const RoadPolyline& line = m_roads[at.road];
    std::optional<std::size_t> next;
    bool entersAtFront = true;
    bool nextOnRoute = false;
    float nearest = INFINITY;
    for (std::size_t i = 0; i < m_roads.size(); ++i) {
        const RoadPolyline& c = m_roads[i];
        if (i == at.road || !(c.frame == line.frame) || c.points.size() < 2) continue;
        bool front = connected(c.points.front(), at.point, m_settings.connectionError);
        const bool back = !c.oneWay && connected(c.points.back(), at.point, m_settings.connectionError);
        if (!front && !back) continue;
        // On the route when the route drives it the way the car would.
        const auto routeGoes = [&](bool forward) {
            return c.polylineId != NoPolylineId &&
                   std::any_of(m_routeRoads.begin(), m_routeRoads.end(), [&](const RouteRoad& r) {
                       return r.mapIndex == c.ref.mapIndex && r.polylineId == c.polylineId && r.forward == forward;
                   });
        };
        const bool onRoute = (front && routeGoes(true)) || (back && routeGoes(false));
        if (onRoute) front = front && routeGoes(true);
        const float d2 =
            Map::nearestFoot(c.frame.toLocal(predicted), c.points.data(), c.points.size()).distance2;
        if (!next || (onRoute && !nextOnRoute) || (onRoute == nextOnRoute && d2 < nearest)) {
            next = i;
            entersAtFront = front;
            nextOnRoute = onRoute;
            nearest = d2;
        }
    }
    if (!next) return false;
    const std::vector<Map::LocalPoint>& points = m_roads[*next].points;
    at = RoadPlace{*next, entersAtFront ? points.front() : points.back(),
                   entersAtFront ? 0 : points.size() - 2, entersAtFront ? 1 : -1};
    return true;
}

template <class Visit>
CarTracker::RoadPlace CarTracker::walk(RoadPlace at, float distance, Map::Point predicted,
                                       Visit&& visit) const {
    if (at.way == 0) return at;
    float walked = 0.0f;
    // Every step ends in a segment or moves on to the next one; the bound
    // only guards against roads that loop through zero-length pieces.
    for (int steps = 0; walked < distance && steps < 4096; ++steps) {
        const std::vector<Map::LocalPoint>& points = m_roads[at.road].points;
        const Map::LocalPoint to = at.way > 0 ? points[at.segment + 1] : points[at.segment];
        const float length = std::hypot(to.x - at.point.x, to.y - at.point.y);
        if (visit(at, to, length, walked)) break;
        const float left = distance - walked;
        if (left < length) {
            at.point = {at.point.x + (to.x - at.point.x) * (left / length),
                        at.point.y + (to.y - at.point.y) * (left / length)};
            break;
        }
        walked += length;
        at.point = to;
        // At the road's end, on along the road that continues it there.
        // None: the car waits at the end (a dead end, or the edge of the
        // roads the last match took in).
        if (!nextSegment(at) && !onToNextRoad(at, predicted)) break;
    }
    return at;
}

CarTracker::RoadPlace CarTracker::carry(const RoadPlace& from, float distance, Map::Point predicted) const {
    // Between fixes the filter predicts on a straight line. Projected onto
    // the road, that line stops at the first bend sharper than a right
    // angle (and slows at any bend): the car stood in hairpins, at sharp
    // turns and before roundabouts until the next fix, and jumped there.
    // Instead the car goes on along its road, and past its end onto the
    // road that continues it, as far as the prediction moved: on a straight
    // road with the velocity along it that is the projection's place.
    return walk(from, distance, predicted,
                [](const RoadPlace&, Map::LocalPoint, float, float) { return false; });
}

std::optional<float> CarTracker::distanceAhead(const RoadPlace& from, const Road& place, float reach,
                                               Map::Point predicted) const {
    std::optional<float> found;
    walk(from, reach, predicted, [&](const RoadPlace& at, Map::LocalPoint to, float length, float walked) {
        if (!(m_roads[at.road].ref == place.polyline.ref) || at.segment != place.segment) return false;
        // The place on this segment, when it lies ahead.
        const Map::LocalPoint q = place.projected;
        const float ahead =
            length > 0.0f
                ? ((q.x - at.point.x) * (to.x - at.point.x) + (q.y - at.point.y) * (to.y - at.point.y)) /
                      length
                : 0.0f;
        if (ahead < 0.0f || ahead > std::min(reach - walked, length)) return false;
        found = walked + ahead;
        return true;
    });
    return found;
}

std::optional<CarTracker::Frame> CarTracker::predictFreeCar(std::uint32_t now) {
    Threading::SdlLock lock(m_mutex);
    if (!m_hasData || !m_level) return std::nullopt;
    const Map::LocalPoint predicted = m_filter.predict();
    const Map::LocalPoint free{predicted.x + m_lead.x, predicted.y + m_lead.y};
    m_freeLevel = *m_level;
    m_freeX = free.x;
    m_freeY = free.y;
    if (!m_freeValid || m_fix.speed > m_settings.minSpeed) {
        const Map::LocalPoint v = m_filter.velocity();
        const float velocity[2] = {v.x, v.y};
        m_freeHeading = static_cast<float>(Map::headingDegrees(velocity));
    }
    m_freeValid = true;
    if (now - m_fixTicks > StaleFixMs) return std::nullopt;
    Frame frame;
    frame.match = !m_fixUsed && m_useStick;
    m_fixUsed = true;
    frame.fix = m_fix;
    frame.predicted = m_level->toGlobal(free);
    const Map::LocalPoint atFix{m_filter.position().x + m_lead.x, m_filter.position().y + m_lead.y};
    frame.atFix = m_level->toGlobal(atFix);
    frame.measured = m_level->toGlobal(m_filter.position());
    frame.velocity = m_filter.velocity();
    frame.secondOn = m_level->toGlobal({atFix.x + frame.velocity.x, atFix.y + frame.velocity.y});
    frame.newFix = m_fixCount != m_anchorFix;
    m_anchorFix = m_fixCount;
    if (m_onRoad) frame.oldRoad = m_road;
    frame.atlas = m_atlas;
    return frame;
}

void CarTracker::anchorAtFix(const Frame& frame) {
    m_anchor = snap(frame.atFix, frame.velocity);
    m_anchorOff = 0.0f;
    if (!m_anchor) return;
    if (m_anchor->way == 0) m_anchor->way = wayAlong(*m_anchor, frame.velocity);
    const Map::LocalPoint p = m_roads[m_anchor->road].frame.toLocal(frame.atFix);
    m_anchorOff = std::hypot(p.x - m_anchor->point.x, p.y - m_anchor->point.y);
    if (m_anchor->way == 0) return;
    // The filter's point is moved ahead of where the fix was measured by
    // the receiver's latency on a straight line: in a bend that point lies
    // off the road, beyond its outside, and its foot falls short along the
    // road (at a corner it stays on the corner's node while the car turns).
    // The filter's point where the fix was measured lies on the road;
    // carried along the road as far as the latency moved it, it is the
    // place, when that lies further on the car's way.
    std::optional<RoadPlace> there = snap(frame.measured, frame.velocity);
    if (!there) return;
    if (there->way == 0) there->way = wayAlong(*there, frame.velocity);
    if (there->way == 0) return;
    const Map::LevelFrame& level = m_roads[there->road].frame;
    const Map::LocalPoint p0 = level.toLocal(frame.measured);
    const Map::LocalPoint p1 = level.toLocal(frame.atFix);
    const float latency = std::hypot(p1.x - p0.x, p1.y - p0.y);
    const RoadPlace on = carry(*there, latency, frame.atFix);
    // On the same road only: across a junction the place the road walk
    // takes is no surer than the foot.
    if (on.road != m_anchor->road) return;
    // The foot is kept where it lies further on, going the way carried
    // from where the fix was measured: the velocity is that place's. In a
    // hairpin the point moved ahead on a straight line lies beyond the
    // bend, the velocity there runs against the road's far leg, and the car
    // was carried back along it (3 m at 10 fixes a second).
    Road foot;
    foot.polyline = m_roads[m_anchor->road];
    foot.segment = static_cast<std::uint16_t>(m_anchor->segment);
    foot.projected = m_anchor->point;
    const std::optional<float> footAhead = distanceAhead(on, foot, latency, frame.atFix);
    if (footAhead && *footAhead > 0.0f)
        m_anchor->way = on.way;
    else
        m_anchor = on;
}

std::optional<CarTracker::Road> CarTracker::carriedToNow(const Frame& frame, std::uint32_t ms) const {
    if (!m_anchor) return std::nullopt;
    // As far as the prediction moved since the fix.
    const Map::LevelFrame& level = m_roads[m_anchor->road].frame;
    const Map::LocalPoint p0 = level.toLocal(frame.atFix);
    const Map::LocalPoint p1 = level.toLocal(frame.predicted);
    const float distance = std::hypot(p1.x - p0.x, p1.y - p0.y);
    float reached = 0.0f;
    const RoadPlace at = walk(*m_anchor, distance, frame.predicted,
                              [&](const RoadPlace&, Map::LocalPoint, float length, float walked) {
                                  reached = walked + length;
                                  return false;
                              });
    // Where no road goes on from the end of one the last match was unsure
    // of, the car goes on along the prediction, off the roads, rather than
    // wait at the end for the next fix: with a receiver's scatter the match
    // took it onto a street beside the route, a footway, a ring's other
    // piece, and the map stood still for a second or two. A car held at the
    // end of a road it is sure of (a dead end it drives into) waits there.
    const float slack = StuckMetres * frame.fix.unitsPerMetre / static_cast<float>(level.unit());
    if (reached + slack < distance && m_roadProbability[at.road] < SureOfRoad) return std::nullopt;
    const RoadPlace shown = caughtUp(frame, at, ms);
    Road road;
    road.polyline = m_roads[shown.road];
    road.probability = m_roadProbability[shown.road];
    road.projected = shown.point;
    road.segment = static_cast<std::uint16_t>(shown.segment);
    road.travel = shown.way;
    return road;
}

CarTracker::RoadPlace CarTracker::caughtUp(const Frame& frame, const RoadPlace& fixSays,
                                           std::uint32_t ms) const {
    // A fix that puts the car a little way back along the road it is
    // carried along (the filter's point lags in bends, and the latency the
    // handler adds is a guess) does not throw it back: it goes on from
    // where it is until it is where the fixes say. By as far as the
    // filter's point lay off the road the fix's place along it is not
    // known (in a corner the foot of a point beyond its outside is the
    // corner's node, whatever the point): within that it goes on at its
    // speed, beyond it at a quarter of it. Measured in the frame's time,
    // not from the last fix: taken from the fix, the car stood at each fix
    // until the next one's place came up to it, at 20 fixes a second for
    // most of a second in a corner. The tracker alone makes up this lag:
    // guidance follows the car it is handed.
    if (!m_onRoad || fixSays.way == 0 || m_road.travel == 0) return fixSays;
    const Map::LevelFrame& level = m_roads[fixSays.road].frame;
    const Map::LocalPoint p0 = level.toLocal(frame.atFix);
    const Map::LocalPoint p1 = level.toLocal(frame.secondOn);
    const float perSecond = std::hypot(p1.x - p0.x, p1.y - p0.y);
    // Where the car is now, looked for along the roads ahead of the fix's
    // place; within a second of driving it goes on at its speed.
    const float unsure = std::min(m_anchorOff, perSecond);
    const std::optional<float> behind =
        distanceAhead(fixSays, m_road, CatchUpSeconds * perSecond + unsure, frame.predicted);
    const auto current = std::find_if(m_roads.begin(), m_roads.end(),
                                      [&](const RoadPolyline& r) { return r.ref == m_road.polyline.ref; });
    if (current == m_roads.end()) return fixSays;
    // Nor is it thrown onto a road the fix's match is unsure of, that does
    // not lead to where the car is: one fix in a turn, its course a little
    // late, took the car 17 m onto a footway beside its road and back.
    if (!behind &&
        !(m_roadProbability[fixSays.road] < SureOfRoad && m_roads[fixSays.road].polylineId == NoPolylineId &&
          m_road.polyline.polylineId != NoPolylineId))
        return fixSays;
    const float step = perSecond * static_cast<float>(ms) * 0.001f;
    const float distance = !behind || *behind <= unsure ? step : (1.0f - CatchUpShare) * step;
    float reached = 0.0f;
    const RoadPlace from{static_cast<std::size_t>(current - m_roads.begin()), m_road.projected,
                         m_road.segment, m_road.travel};
    const RoadPlace shown = walk(from, distance, frame.predicted,
                                 [&](const RoadPlace&, Map::LocalPoint, float length, float walked) {
                                     reached = walked + length;
                                     return false;
                                 });
    // Where its road ends with none the roads around the fix go on along,
    // the car is where the fix says rather than wait there.
    return reached < distance ? fixSays : shown;
}

float CarTracker::targetHeading(const Road& road, const TrackerFix& fix, float shown) const {
    const Map::LocalPoint a = road.polyline.points[road.segment];
    const Map::LocalPoint b = road.polyline.points[road.segment + 1];
    const float along[2] = {b.x - a.x, b.y - a.y};
    const auto direction = static_cast<float>(Map::headingDegrees(along));
    const float reverse = direction >= 180.0f ? direction - 180.0f : direction + 180.0f;
    // A one-way road is driven its own way. The GPS heading is that of the
    // measured point, up to the latency behind the point shown: in a
    // hairpin of the road it may still point back along the bend's first
    // leg, and the car would be turned against its road (and against the
    // route along it). For the same reason a car carried along its road
    // faces the way it is carried.
    if (road.polyline.oneWay || road.travel > 0) return direction;
    if (road.travel < 0) return reverse;
    const float reference = fix.speed >= m_settings.minSpeed && fix.courseKnown ? fix.heading : shown;
    return headingDifference(direction, reference) < headingDifference(reverse, reference) ? direction
                                                                                           : reverse;
}

bool CarTracker::show(std::optional<Road> road, const TrackerFix& fix, std::uint32_t now) {
    Threading::SdlLock lock(m_mutex);
    if (!road) {
        m_onRoad = false;
        return false;
    }
    // The shown heading turns toward the road at rotate_speed.
    const float shown = m_onRoad ? m_road.heading : m_freeHeading;
    const std::uint32_t lastTurn = m_onRoad ? m_road.lastTurnTicks : now;
    road->targetHeading = targetHeading(*road, fix, shown);
    const float step = m_rotateSpeed * static_cast<float>(now - lastTurn) * 0.001f;
    const float d = wrapSigned(road->targetHeading - shown);
    float heading = std::fabs(d) < step ? road->targetHeading : shown + (d > 0 ? step : -step);
    heading = std::fmod(heading, 360.0f);
    if (heading < 0.0f) heading += 360.0f;
    road->heading = heading;
    road->lastTurnTicks = now;
    const bool backToRoad = !m_onRoad;
    m_onRoad = true;
    m_road = std::move(*road);
    return backToRoad;
}

void CarTracker::update() {
    const std::uint32_t now = m_clock.ticksMs();
    const std::optional<Frame> frame = predictFreeCar(now);
    if (!frame) return;
    if (frame->match && frame->atlas != nullptr) {
        // A standing car's road is matched where the filter holds it (where
        // its fixes show it stands), not at each fix: in a receiver's
        // scatter near a junction the fixes fell nearer one road, then the
        // other, and the car stood jumping between them.
        TrackerFix fix = frame->fix;
        if (!(fix.speed > m_settings.minSpeed)) fix.measured = frame->measured;
        match(*frame->atlas, fix, frame->oldRoad);
    }
    // Snapped once a fix, where the filter put the car then, and carried
    // along the roads from there every frame.
    if (frame->newFix || frame->match) anchorAtFix(*frame);
    const std::uint32_t sinceFrame = m_frameTicks != 0 ? std::min(now - m_frameTicks, StaleFixMs) : 0;
    m_frameTicks = now;
    const bool backToRoad = show(carriedToNow(*frame, sinceFrame), frame->fix, now);
    if (backToRoad && m_handler != nullptr) m_handler->onCarEvent(BackToRoad, this);
}

TilePoint CarTracker::carPoint() {
    Threading::SdlLock lock(m_mutex);
    if (m_onRoad) return {m_road.polyline.frame, m_road.projected.x, m_road.projected.y};
    return {m_freeLevel, m_freeX, m_freeY};
}

CarState CarTracker::carState() {
    Threading::SdlLock lock(m_mutex);
    CarState state;
    state.valid = m_onRoad || m_freeValid;
    state.heading = (m_onRoad ? m_road.heading : m_freeHeading) * DegreesToRadians;
    state.position = carPoint();
    state.onRoad = m_onRoad;
    if (m_onRoad) {
        state.probability = m_road.probability;
        state.mapIndex = m_road.polyline.ref.mapIndex;
        state.polylineId = m_road.polyline.polylineId;
        state.caption = m_road.polyline.caption;
        if (m_road.travel != 0 && m_fix.speed >= m_settings.minSpeed) {
            const Map::LocalPoint a = m_road.polyline.points[m_road.segment];
            const Map::LocalPoint b = m_road.polyline.points[m_road.segment + 1];
            const float along[2] = {(b.x - a.x) * m_road.travel, (b.y - a.y) * m_road.travel};
            state.wayDegrees = Map::headingDegrees(along);
        }
    }
    return state;
}

std::optional<float> CarTracker::leadOverRoute() {
    {
        Threading::SdlLock lock(m_mutex);
        if (!m_onRoad) return std::nullopt;
    }
    if (onRouteRoad()) return std::nullopt;
    return m_routeLead;
}

bool CarTracker::onRouteRoad() {
    std::uint32_t mapIndex = NoMapIndex;
    std::uint32_t id = NoPolylineId;
    {
        Threading::SdlLock lock(m_mutex);
        if (!m_onRoad) return false;
        mapIndex = m_road.polyline.ref.mapIndex;
        id = m_road.polyline.polylineId;
    }
    return isRouteRoad(mapIndex, id);
}

void CarTracker::spreadStep(const TrackerFix& fix, float metresOff) {
    // A standing car's fixes wander about one place, and the road matched
    // is the one it held: they show nothing of the receiver's spread.
    if (!(fix.speed > m_settings.minSpeed) || !std::isfinite(metresOff)) return;
    const std::uint32_t now = m_clock.ticksMs();
    // A gap in the fixes (a tunnel) counts as a second.
    const float seconds = m_spreadTicks != 0 && now - m_spreadTicks <= StaleFixMs
                              ? static_cast<float>(now - m_spreadTicks) * 0.001f
                              : 1.0f;
    m_spreadTicks = now;
    const float kept = m_spreadSeconds > 0.0f ? std::exp2(-seconds / SpreadHalfLifeSeconds) : 0.0f;
    m_spreadSquaredMetres = kept * m_spreadSquaredMetres + (1.0f - kept) * metresOff * metresOff;
    m_spreadSeconds += seconds;
}

float CarTracker::scatterMetres(float hdop) const {
    // The HDOP's scatter until the car has driven long enough for its fixes
    // to show theirs; then what they show: a receiver that claims more
    // error than a good one's (HDOP 1) is held to its fixes' spread, but
    // not below a good one's; one that claims less than its fixes show is
    // held to their spread as well, up to the ceiling of any scatter. Fixes
    // 18 m to one side of the only road mapped (a dual carriageway drawn as
    // one line) showed 76 m: guidance, which keeps a car on its route while
    // its fix lies within its scatter, would not have seen a departure onto
    // a street 30 to 75 m away.
    const float uere = m_filter.positionError();
    const float told = Positioning::scatterMetres(hdop, uere);
    if (m_spreadSeconds < SpreadLearnSeconds) return told;
    const float shown = ScatterErrors * std::sqrt(2.0f * m_spreadSquaredMetres);
    return std::min(std::max(std::min(told, Positioning::scatterMetres(1.0f, uere)), shown),
                    ScatterCeilingMetres);
}

bool CarTracker::isRouteRoad(std::uint32_t mapIndex, std::uint32_t polylineId) const {
    return polylineId != NoPolylineId &&
           std::any_of(m_routeRoads.begin(), m_routeRoads.end(), [&](const RouteRoad& r) {
               return r.mapIndex == mapIndex && r.polylineId == polylineId;
           });
}

RoadInfo CarTracker::roadInfo() {
    Threading::SdlLock lock(m_mutex);
    RoadInfo info;
    if (!m_onRoad) return info;
    const std::vector<Map::LocalPoint>& points = m_road.polyline.points;
    const Map::LocalPoint a = points[m_road.segment];
    const Map::LocalPoint b = points[m_road.segment + 1];
    const float along[2] = {b.x - a.x, b.y - a.y};
    const int direction = Map::headingDegrees(along);
    info.onRoad = true;
    info.polylineId = m_road.polyline.polylineId;
    info.alongHeading = isAlongHeading(direction);
    info.againstHeading = isAgainstHeading(direction);
    return info;
}

bool CarTracker::isAlongHeading(int direction) {
    Threading::SdlLock lock(m_mutex);
    return !(m_fix.speed >= m_settings.minSpeed && m_fix.courseKnown &&
             headingDifference(static_cast<float>(direction), m_fix.heading) >= 90.0f);
}

bool CarTracker::isAgainstHeading(int direction) {
    Threading::SdlLock lock(m_mutex);
    return !(m_fix.speed >= m_settings.minSpeed && m_fix.courseKnown &&
             headingDifference(static_cast<float>(direction), m_fix.heading) < 90.0f);
}

bool CarState::differs(const CarState& a, const CarState& b, float scale) {
    if (a.valid != b.valid) return true;
    const float pi = 3.14159265f;
    float d = std::fmod(a.heading - b.heading, 2.0f * pi);
    if (d > pi) d -= 2.0f * pi;
    if (d < -pi) d += 2.0f * pi;
    if (std::fabs(d) > 0.02f) return true;
    const Map::Point pa = a.position.toGlobal();
    const Map::Point pb = b.position.toGlobal();
    const double dx = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(pa.x) -
                                                                    static_cast<std::uint32_t>(pb.x)));
    const double dy = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(pa.y) -
                                                                    static_cast<std::uint32_t>(pb.y)));
    return (dx * dx + dy * dy) * scale * scale >= 0.25;
}

} // namespace Positioning
