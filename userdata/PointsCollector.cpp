#include "userdata/PointsCollector.h"

#include <algorithm>

namespace Monitoring {

PointsCollector::PointsCollector() : m_mutex("Can't create track collector mutex") {}

void PointsCollector::add(const WayPoint& point) {
    Threading::SdlLock lock(m_mutex);
    m_ring.push_back(point);
}

bool PointsCollector::markDeleted(std::span<const std::uint32_t> sortedIds) {
    Threading::SdlLock lock(m_mutex);
    bool changed = false;
    for (WayPoint& p : m_ring) {
        if (p.deleted() || !std::binary_search(sortedIds.begin(), sortedIds.end(), p.id)) continue;
        p.flag = 1;
        changed = true;
    }
    return changed;
}

std::size_t PointsCollector::count() const {
    Threading::SdlLock lock(m_mutex);
    return m_ring.size();
}

std::vector<WayPoint> PointsCollector::points() const {
    Threading::SdlLock lock(m_mutex);
    return {m_ring.begin(), m_ring.end()};
}

} // namespace Monitoring
