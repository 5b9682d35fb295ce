#include "guidance/ObjWarn.h"

#include "map/KVMap2.h"
#include "map/ScopedArea.h"
#include "map/UnitsPerMeter.h"
#include "render/CellItems.h"
#include "render/LevelPolylines.h"
#include "render/RenderStyles.h"

#include <algorithm>
#include <cmath>

namespace Guidance {

namespace {

constexpr float kScanPeriodSeconds = 1.0f;
constexpr std::uint16_t kStep = 50;
constexpr std::uint16_t kMissCount = 1;
constexpr std::uint16_t kLookAheadFactor = 2;
constexpr std::uint16_t kPassMargin = 100;
constexpr std::uint16_t kNextMargin = 20;
constexpr float kFollowSpeed = 100.0f;
constexpr float kCatchUpSpeed = 150.0f;
constexpr std::size_t kMaxObjects = 100;
// How far behind the scanned position an object must lie before it is
// handed on: the scan has then looked well past it.
constexpr std::uint32_t kSettleMetres = kLookAheadFactor * (kMissCount + 1) * kStep;

// A scan advance: a remainder of more than half a step is taken as a whole
// step.
std::uint16_t roundedAdvance(std::uint32_t metres) {
    if (metres % kStep > kStep / 2) metres += kStep - metres % kStep;
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(metres, 0xFFFF));
}

PathPosition advanced(PathPosition p, std::uint32_t metres) {
    while (metres > 0 && !p.isAtEnd()) {
        const auto chunk = static_cast<std::uint16_t>(std::min<std::uint32_t>(metres, 0xFFFF));
        p.advanceMetres(chunk);
        metres -= chunk;
    }
    return p;
}

bool inside(const std::array<std::int32_t, 4>& box, Map::Point p) {
    return p.x >= box[0] && p.y >= box[1] && p.x <= box[2] && p.y <= box[3];
}

} // namespace

ObjWarn::Settings ObjWarn::s_settings;

void queryLevelPois(const PathPart& part, const std::array<std::int32_t, 4>& box,
                    const std::function<void(const MapPoi&)>& visit) {
    if (part.map == nullptr || part.level == nullptr) return;
    Map::Level* level = nullptr;
    for (std::size_t i = 0; i < part.map->levelCount(); ++i)
        if (&part.map->level(i) == part.level) level = &part.map->level(i);
    if (level == nullptr) return;
    const Map::LevelFrame frame = Map::LevelFrame::of(*level);
    const Map::Point centre{static_cast<std::int32_t>((std::int64_t{box[0]} + box[2]) / 2),
                            static_cast<std::int32_t>((std::int64_t{box[1]} + box[3]) / 2)};
    const double halfWidth = static_cast<double>(std::max(std::int64_t{box[2]} - box[0], std::int64_t{box[3]} - box[1])) / 2;
    const MapDrawing::CellRect rect =
        MapDrawing::cellsAround(frame, frame.toLocal(centre), static_cast<float>(halfWidth / frame.unit()));
    Map::ScopedArea area(*level);
    if (rect.x1 < rect.x0 || rect.y1 < rect.y0 || !area.prepare(rect.x0, rect.y0, rect.x1, rect.y1)) return;
    const float cellSize = static_cast<float>(frame.cellSize());
    const Map::Level::Area& loaded = area.area();
    for (std::int32_t cy = std::max(rect.y0, loaded.y0); cy <= std::min(rect.y1, loaded.y0 + loaded.height - 1); ++cy)
        for (std::int32_t cx = std::max(rect.x0, loaded.x0); cx <= std::min(rect.x1, loaded.x0 + loaded.width - 1);
             ++cx) {
            Map::Level::CellItems cell;
            if (!area.cellItems(cx, cy, cell)) continue;
            MapDrawing::CellItemWalker walker(cell, MapDrawing::PointItems, static_cast<unsigned>(frame.cellShift) + 1);
            MapDrawing::CellItem item;
            while (walker.next(item)) {
                if (item.count < 1) continue;
                const Map::LocalPoint local{static_cast<float>(cx) * cellSize + static_cast<float>(item.points[0].x),
                                            static_cast<float>(cy) * cellSize + static_cast<float>(item.points[0].y)};
                visit(MapPoi{part.map->id(), frame.toGlobal(local), item.poiType});
            }
        }
}

void ObjWarn::setDistances(const Core::ConfigNodePtr& root, std::uint16_t incoming, std::uint16_t outgoing) {
    s_settings.incomingDistance = incoming;
    s_settings.outgoingDistance = outgoing;
    if (!root) return;
    const Core::ConfigNodePtr node = root->child("ObjWarn");
    node->set("incoming_distance", int{incoming});
    node->set("outgoing_distance", int{outgoing});
}

ObjWarn::ObjWarn(const Core::ConfigNodePtr& config, KVMapObjWarnEventsHandler* handler, Path* path,
                 const Render::RenderStyles* styles, const Positioning::Clock& clock, PoiQuery query)
    : m_path(path), m_handler(handler), m_config(config ? config->child("ObjWarn") : nullptr), m_styles(styles),
      m_clock(clock), m_query(std::move(query)) {
    if (m_config) {
        s_settings.incomingDistance = static_cast<std::uint16_t>(m_config->value("incoming_distance", 1000));
        s_settings.outgoingDistance = static_cast<std::uint16_t>(m_config->value("outgoing_distance", 150));
        s_settings.sayDistBeforeNotif = m_config->value("say_dist_before_notif", false);
    }
    if (m_path) m_path->addChangeFlag(&m_pathChanged);
}

ObjWarn::~ObjWarn() {
    if (m_path) m_path->removeChangeFlag(&m_pathChanged);
}

void ObjWarn::reset() {
    m_candidates.clear();
    m_incoming.clear();
    m_head = m_tail = 0;
    m_active = false;
    m_announced = false;
    m_headIncoming = false;
}

// An object found on the route before an edit has its place in parts that
// are gone: there is none until the next update scans the route as it is.
const ObjWarn::Object* ObjWarn::current() const {
    return ringSize() == 0 || m_pathChanged ? nullptr : &m_ring[m_head];
}

bool ObjWarn::update(const PathPosition& car, Map::KVAtlas*) {
    if (m_pathChanged) {
        reset();
        m_pathChanged = 0;
    }
    promoteAndDrop(car);
    scan(car);
    if (ringSize() != 0 && m_headIncoming && !m_announced) {
        if (m_handler) m_handler->onObjWarnEvent(NewObject, *this, car);
        m_announced = true;
        return true;
    }
    return false;
}

void ObjWarn::dropHead() {
    m_head = (m_head + 1) % kRingSlots;
    // Every change of the head is a new object to announce, also when the
    // ring runs empty and fills again later.
    m_announced = false;
}

void ObjWarn::promoteAndDrop(const PathPosition& car) {
    if (!m_active) return;
    while (!m_incoming.empty() &&
           PathPosition::isBefore(advanced(m_incoming.front().position, kSettleMetres), m_scanPosition)) {
        if (ringSize() < kMaxObjects) {
            m_ring[m_tail] = m_incoming.front();
            m_tail = (m_tail + 1) % kRingSlots;
        }
        m_incoming.erase(m_incoming.begin());
    }
    const PathPosition nextLimit = advanced(car, kNextMargin);
    while (ringSize() != 0) {
        const Object& head = m_ring[m_head];
        const bool passed = PathPosition::isBefore(advanced(head.position, kPassMargin), car);
        const bool givesWay =
            ringSize() > 1 && PathPosition::isBefore(m_ring[(m_head + 1) % kRingSlots].position, nextLimit);
        if (!passed && !givesWay) break;
        dropHead();
    }
    m_headIncoming = false;
    if (ringSize() != 0) {
        const PathPosition& head = m_ring[m_head].position;
        m_headIncoming = PathPosition::isBefore(head, car) ||
                         PathPosition::distanceTo(car, head) <= s_settings.incomingDistance;
    }
}

void ObjWarn::scan(const PathPosition& car) {
    const std::uint32_t now = m_clock.ticksMs();
    if (!m_active) {
        if (m_path == nullptr || m_path->isEmpty()) return;
        m_trail = m_scanPosition = m_frontier = car;
        m_lastScanTicks = now;
        m_active = true;
        m_announced = false;
        return;
    }
    const float t = static_cast<float>(now - m_lastScanTicks) / 1000.0f;
    if (t < kScanPeriodSeconds) return;
    m_lastScanTicks = now;
    if (PathPosition::isBefore(car, m_trail)) return;
    const std::uint32_t follow =
        std::min(static_cast<std::uint32_t>(std::min(kFollowSpeed * t, 4.0e9f)), PathPosition::distanceTo(m_trail, car));
    m_frontier = advanced(m_frontier, roundedAdvance(follow));
    const PathPosition limit =
        advanced(car, std::uint32_t{s_settings.incomingDistance} + kLookAheadFactor * kStep + kSettleMetres);
    if (PathPosition::isBefore(m_frontier, limit)) {
        const std::uint32_t catchUp = std::min(static_cast<std::uint32_t>(std::min(kCatchUpSpeed * t, 4.0e9f)),
                                               PathPosition::distanceTo(m_frontier, limit));
        m_frontier = advanced(m_frontier, roundedAdvance(catchUp));
    }
    if (PathPosition::isBefore(m_scanPosition, m_frontier)) {
        const std::uint32_t d = PathPosition::distanceTo(m_scanPosition, m_frontier);
        if (d > 2u * kStep) {
            const std::uint32_t steps = (d + kStep / 2) / kStep;
            PathPosition from = m_scanPosition;
            for (std::uint32_t i = 0; i < steps; ++i) {
                PathPosition to = i + 1 == steps ? m_frontier : advanced(from, kStep);
                if (PathPosition::isBefore(m_frontier, to)) to = m_frontier;
                scanStep(from, to);
                from = to;
            }
            m_scanPosition = m_frontier;
        }
    }
    m_trail = car;
}

void ObjWarn::scanStep(const PathPosition& from, const PathPosition& to) {
    if (from.isAtEnd() || m_path == nullptr) return;
    std::array<std::int32_t, 4> box = m_path->boundingBox(from, to);
    const Map::Point centre{static_cast<std::int32_t>((std::int64_t{box[0]} + box[2]) / 2),
                            static_cast<std::int32_t>((std::int64_t{box[1]} + box[3]) / 2)};
    const auto margin = static_cast<std::int64_t>(
        static_cast<float>(s_settings.outgoingDistance) * Map::Projection::unitsPerMeterAt(centre));
    for (int i = 0; i < 4; ++i) {
        const std::int64_t widened = std::int64_t{box[i]} + (i < 2 ? -margin : margin);
        box[i] = static_cast<std::int32_t>(std::clamp<std::int64_t>(widened, INT32_MIN, INT32_MAX));
    }
    for (auto& [key, candidate] : m_candidates) candidate.seen = false;
    m_query(from.currentPart(), box, [&](const MapPoi& poi) {
        if (m_styles == nullptr || !m_styles->isPoiTypeWarned(poi.poiType) || !inside(box, poi.point)) return;
        PathPosition nearest;
        float distance2 = 0.0f;
        if (!m_path->nearestPointBetween(from, to, poi.point, nearest, &distance2) || nearest.isAtEnd()) return;
        // Level units to metres by the projection's scale at the object.
        const double unit = Map::LevelFrame::of(*nearest.partLevel()).unit();
        const auto metres = static_cast<float>(std::sqrt(static_cast<double>(distance2)) * unit /
                                               Map::Projection::unitsPerMeterAt(poi.point));
        if (metres > static_cast<float>(s_settings.outgoingDistance)) return;
        const Key key{poi.mapId, poi.point.x, poi.point.y, poi.poiType};
        const auto it = m_candidates.find(key);
        if (it == m_candidates.end()) {
            if (m_candidates.size() < kMaxObjects) m_candidates.emplace(key, Candidate{{poi, nearest, metres}, true, 0});
            return;
        }
        it->second.seen = true;
        if (metres < it->second.object.distanceMetres) {
            it->second.object.distanceMetres = metres;
            it->second.object.position = nearest;
        }
    });
    for (auto it = m_candidates.begin(); it != m_candidates.end();) {
        if (!it->second.seen && ++it->second.misses >= kMissCount) {
            confirm(it->second.object);
            it = m_candidates.erase(it);
        } else {
            ++it;
        }
    }
}

void ObjWarn::confirm(const Object& object) {
    const auto at = std::upper_bound(m_incoming.begin(), m_incoming.end(), object, [](const Object& a, const Object& b) {
        return PathPosition::isBefore(a.position, b.position);
    });
    m_incoming.insert(at, object);
}

} // namespace Guidance
