#include "positioning/CarTracker.h"

#include "map/FloatMath.h"
#include "map/SegmentProjection.h"
#include "map/UnitsPerMeter.h"

#include <algorithm>
#include <cmath>

namespace Positioning {

namespace {

constexpr std::uint32_t StaleFixMs = 3000;
constexpr float DegreesToRadians = 0.017453292f;

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

} // namespace

TrackerFix TrackerFix::from(const Fix& fix) {
    TrackerFix out;
    out.point = {fix.x, fix.y};
    out.measured = out.point;
    out.heading = fix.heading;
    out.speed = fix.speed;
    out.accuracy = fix.hdop;
    out.unitsPerMetre = Map::Projection::unitsPerMeterAt(out.point);
    const float radians = fix.heading * DegreesToRadians;
    out.velocity = {fix.speed * std::sin(radians) * out.unitsPerMetre, fix.speed * std::cos(radians) * out.unitsPerMetre};
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
    m_candidateProbability.clear();
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

void CarTracker::onFix(const TrackerFix& fix) {
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
    m_filter.update(m_level->toLocal(fix.point), {fix.velocity.x / unit, fix.velocity.y / unit}, fix.speed,
                    fix.accuracy, fix.unitsPerMetre / unit);
    m_hasData = true;
}

std::optional<float> CarTracker::match(Map::KVAtlas& atlas, const TrackerFix& fix,
                                       const std::optional<Road>& oldRoad) {
    MatchInput input;
    input.point = fix.measured;
    input.unitsPerMetre = fix.unitsPerMetre;
    input.heading = fix.heading;
    input.speed = fix.speed;
    if (oldRoad) input.current = oldRoad->polyline.ref;
    const std::vector<RoadPolyline> roads =
        collectRoads(atlas, fix.measured, static_cast<double>(m_critDist) * fix.unitsPerMetre);
    const MatchResult result = matchRoads(roads, input, m_settings);
    if (!result.best) {
        m_candidates.clear();
        m_candidateProbability.clear();
        return std::nullopt;
    }
    const RoadPolyline& best = roads[result.best->index];
    if (!oldRoad || !(oldRoad->polyline.ref == best.ref)) {
        m_candidates = connectedRoads(best, roads, m_settings.connectionError);
        if (oldRoad && !best.points.empty()) {
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
    // Each candidate's own share of the weights: the car drawn on a road
    // connected to the matched one (past the matched road's end) is only as
    // sure to be on it as this match found it; one that did not score at
    // all (the turn the car has not yet been measured on) gets 0.
    float sum = 0.0f;
    for (const RoadPolyline& road : roads)
        if (const std::optional<ScoredRoad> scored = scoreRoad(road, input, m_settings))
            sum += costWeight(scored->cost);
    m_candidateProbability.assign(m_candidates.size(), 0.0f);
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        if (m_candidates[i].ref == best.ref) {
            m_candidateProbability[i] = result.probability;
        } else if (const std::optional<ScoredRoad> scored = scoreRoad(m_candidates[i], input, m_settings)) {
            m_candidateProbability[i] = std::fabs(sum) <= 1e-8f ? 0.0f : costWeight(scored->cost) / sum;
        }
    }
    return result.probability;
}

bool CarTracker::snap(Map::Point point, Road& out) const {
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
        const auto same = [](Map::LocalPoint a, Map::LocalPoint b) { return a.x == b.x && a.y == b.y; };
        if (std::isfinite(foot.distance2) && !same(foot.point, matched.points.front()) &&
            !same(foot.point, matched.points.back())) {
            out.polyline = matched;
            out.probability = m_candidateProbability.front();
            out.projected = foot.point;
            out.segment = static_cast<std::uint16_t>(foot.segment);
            return true;
        }
    }
    double bestDistance = INFINITY;
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        const RoadPolyline& candidate = m_candidates[i];
        const Map::PolylineFoot foot =
            Map::nearestFoot(candidate.frame.toLocal(point), candidate.points.data(), candidate.points.size());
        const double unit = candidate.frame.unit();
        // Compared in global units, so roads of different levels meet fairly.
        const double distance = static_cast<double>(foot.distance2) * unit * unit;
        if (distance < bestDistance) {
            bestDistance = distance;
            out.polyline = candidate;
            out.probability = m_candidateProbability[i];
            out.projected = foot.point;
            out.segment = static_cast<std::uint16_t>(foot.segment);
        }
    }
    return std::isfinite(bestDistance);
}

void CarTracker::update() {
    const std::uint32_t now = m_clock.ticksMs();
    TrackerFix fix;
    Map::Point predicted;
    std::optional<Road> oldRoad;
    bool doMatch = false;
    Map::KVAtlas* atlas = nullptr;
    {
        Threading::SdlLock lock(m_mutex);
        if (!m_hasData || !m_level) return;
        const Map::LocalPoint free = m_filter.predict();
        m_freeLevel = *m_level;
        m_freeX = free.x;
        m_freeY = free.y;
        if (!m_freeValid || m_fix.speed > m_settings.minSpeed) {
            const Map::LocalPoint v = m_filter.velocity();
            const float velocity[2] = {v.x, v.y};
            m_freeHeading = static_cast<float>(Map::headingDegrees(velocity));
        }
        m_freeValid = true;
        if (now - m_fixTicks > StaleFixMs) return;
        doMatch = !m_fixUsed && m_useStick;
        m_fixUsed = true;
        fix = m_fix;
        predicted = m_level->toGlobal(free);
        if (m_onRoad) oldRoad = m_road;
        atlas = m_atlas;
    }

    if (doMatch && atlas != nullptr) match(*atlas, fix, oldRoad);
    Road snapped;
    const bool onRoad = snap(predicted, snapped);

    bool backToRoad = false;
    {
        Threading::SdlLock lock(m_mutex);
        if (!onRoad) {
            m_onRoad = false;
        } else {
            const float shown = m_onRoad ? m_road.heading : m_freeHeading;
            const std::uint32_t lastTurn = m_onRoad ? m_road.lastTurnTicks : now;
            const RoadPolyline& line = snapped.polyline;
            const Map::LocalPoint a = line.points[snapped.segment];
            const Map::LocalPoint b = line.points[snapped.segment + 1];
            const float along[2] = {b.x - a.x, b.y - a.y};
            const int direction = Map::headingDegrees(along);
            const int reverse = direction >= 180 ? direction - 180 : direction + 180;
            const float reference = fix.speed >= m_settings.minSpeed ? fix.heading : shown;
            // A one-way road is driven its own way. The GPS heading is that
            // of the measured point, up to the latency behind the point
            // shown: in a hairpin of the road it may still point back along
            // the bend's first leg, and the car would be turned against its
            // road (and against the route along it).
            snapped.targetHeading =
                line.oneWay || headingDifference(static_cast<float>(direction), reference) <
                                   headingDifference(static_cast<float>(reverse), reference)
                    ? static_cast<float>(direction)
                    : static_cast<float>(reverse);
            const float step = m_rotateSpeed * static_cast<float>(now - lastTurn) * 0.001f;
            const float d = wrapSigned(snapped.targetHeading - shown);
            float heading = std::fabs(d) < step ? snapped.targetHeading : shown + (d > 0 ? step : -step);
            heading = std::fmod(heading, 360.0f);
            if (heading < 0.0f) heading += 360.0f;
            snapped.heading = heading;
            snapped.lastTurnTicks = now;
            backToRoad = !m_onRoad;
            m_onRoad = true;
            m_road = std::move(snapped);
        }
    }
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
    }
    return state;
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
    return !(m_fix.speed >= m_settings.minSpeed &&
             headingDifference(static_cast<float>(direction), m_fix.heading) >= 90.0f);
}

bool CarTracker::isAgainstHeading(int direction) {
    Threading::SdlLock lock(m_mutex);
    return !(m_fix.speed >= m_settings.minSpeed &&
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
