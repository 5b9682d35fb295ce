#pragma once
// The waypoints received from one friend: a ring of the newest 100, filled
// by the online service's daemon thread and read by the pages. A record's
// flag marks a point the user deleted. Every operation takes the
// collector's own mutex, inside the service's main mutex when both are held.

#include "core/SdlMutex.h"
#include "userdata/WayPoint.h"

#include <boost/circular_buffer.hpp>

#include <cstdint>
#include <span>
#include <vector>

namespace Monitoring {

class PointsCollector {
  public:
    static constexpr std::size_t Capacity = 100;

    // Throws std::runtime_error("Can't create track collector mutex").
    PointsCollector();
    PointsCollector(const PointsCollector&) = delete;
    PointsCollector& operator=(const PointsCollector&) = delete;

    void add(const WayPoint& point);
    // Flags as deleted every point whose id is in the ascending list; true
    // when a point changed.
    bool markDeleted(std::span<const std::uint32_t> sortedIds);

    std::size_t count() const;
    // A copy of the records, oldest first.
    std::vector<WayPoint> points() const;

  private:
    mutable Threading::SdlMutex m_mutex;
    boost::circular_buffer<WayPoint> m_ring{Capacity};
};

} // namespace Monitoring
