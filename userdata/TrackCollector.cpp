#include "userdata/TrackCollector.h"

#include "map/Projection.h"
#include "userdata/PackedTrack.h"

namespace Monitoring {

TrackCollector::TrackCollector() : m_mutex("Can't create track collector mutex") {}

void TrackCollector::onFix(bool valid, const Positioning::Fix& fix) {
    Threading::SdlLock lock(m_mutex);
    if (!valid) {
        m_gap = 1;
        return;
    }
    const std::uint64_t time = Positioning::toUnixTime(fix.dateTime);
    if (time < m_lastTime) return;
    add({m_gap, time, fix.x, fix.y, fix.altitude, fix.speed, fix.heading});
    m_gap = 0;
    m_lastTime = time;
}

void TrackCollector::add(const CollectedPoint& point) {
    m_ring.push_back(point); // a full ring drops its oldest point
}

bool TrackCollector::getLastPoint(Map::Point& out) const {
    Threading::SdlLock lock(m_mutex);
    if (m_ring.empty()) return false;
    out = {m_ring.back().x, m_ring.back().y};
    return true;
}

void TrackCollector::pack(std::vector<std::uint8_t>& out, Map::GeoPoint& lastPosition) const {
    Threading::SdlLock lock(m_mutex);
    const std::vector<CollectedPoint> all(m_ring.begin(), m_ring.end());
    out = PackedTrack::pack(all);
    lastPosition = all.empty() ? Map::GeoPoint{} : Map::Projection::toGeo({all.back().x, all.back().y});
}

void TrackCollector::reset() {
    Threading::SdlLock lock(m_mutex);
    if (!m_ring.empty() && m_gap == 0) {
        CollectedPoint newest = m_ring.back();
        newest.segmentStart = 1;
        m_ring.clear();
        m_ring.push_back(newest);
    } else {
        m_ring.clear();
        m_gap = 1;
    }
    m_lastTime = 0;
}

void TrackCollector::packAndReset(std::vector<std::uint8_t>& out, Map::GeoPoint& lastPosition) {
    Threading::SdlLock lock(m_mutex); // recursive: pack and reset lock again
    pack(out, lastPosition);
    reset();
}

void TrackCollector::appendPacked(std::span<const std::uint8_t> packed) {
    const std::vector<CollectedPoint> chunk = PackedTrack::unpack(packed);
    if (chunk.empty()) return;
    Threading::SdlLock lock(m_mutex);
    if (m_ring.size() >= chunk.size()) {
        const CollectedPoint& there = m_ring[m_ring.size() - chunk.size()];
        if (there.time == chunk.front().time && there.x == chunk.front().x && there.y == chunk.front().y)
            return;
    }
    for (const CollectedPoint& point : chunk)
        add(point);
}

std::size_t TrackCollector::count() const {
    Threading::SdlLock lock(m_mutex);
    return m_ring.size();
}

std::vector<CollectedPoint> TrackCollector::points() const {
    Threading::SdlLock lock(m_mutex);
    return {m_ring.begin(), m_ring.end()};
}

} // namespace Monitoring
