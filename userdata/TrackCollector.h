#pragma once
// The recent positions the online service exchanges: the service's own
// collector is fed by the GPS thread and packed into every track exchange;
// each friend has one, filled from the tracks received for that friend and
// drawn by the map page. A ring of the newest 100 points, allocated once.
//
// Thread-safe: every operation takes the collector's own mutex. The online
// service takes it inside its main mutex, never the reverse.

#include "core/SdlMutex.h"
#include "map/Point.h"
#include "positioning/TrackingListener.h"

#include <boost/circular_buffer.hpp>

#include <cstdint>
#include <span>
#include <vector>

namespace Monitoring {

struct CollectedPoint {
    // 1 when the point begins a new piece of track: the first after a gap or
    // after construction, the point kept across an exchange, the first
    // point of a received chunk.
    std::uint8_t segmentStart = 0;
    std::uint64_t time = 0; // seconds since 1970-01-01 00:00:00
    std::int32_t x = 0;
    std::int32_t y = 0;
    float altitude = 0; // metres
    float speed = 0;    // metres per second
    float heading = 0;  // degrees

    bool operator==(const CollectedPoint&) const = default;
};

class TrackCollector : public Positioning::TrackingListener {
  public:
    static constexpr std::size_t Capacity = 100;

    // Throws std::runtime_error("Can't create track collector mutex").
    TrackCollector();
    TrackCollector(const TrackCollector&) = delete;
    TrackCollector& operator=(const TrackCollector&) = delete;

    // GPS thread. An invalid fix only marks a gap; a valid one older than the
    // last kept fix is dropped, any other is kept.
    void onFix(bool valid, const Positioning::Fix& fix) override;

    // The newest point; false (out untouched) when empty.
    bool getLastPoint(Map::Point& out) const;
    // All points oldest first in the packed record format, and the newest
    // point's position in degrees ((0, 0) when empty).
    void pack(std::vector<std::uint8_t>& out, Map::GeoPoint& lastPosition) const;
    // Prepares the next exchange, right after packing: an unbroken track
    // keeps only its newest point (as a segment start, so the next exchange
    // joins on to it); after a gap the ring is emptied, the points having been
    // sent already. Either way the next valid fix is kept.
    void reset();
    // Both under one lock, so that a fix arriving in between is not lost.
    void packAndReset(std::vector<std::uint8_t>& out, Map::GeoPoint& lastPosition);
    // Adds a received chunk of packed records; a chunk whose first record
    // matches the point as many places before the end is there already and
    // is not added again.
    void appendPacked(std::span<const std::uint8_t> packed);

    std::size_t count() const;
    // A copy of the points, oldest first (for drawing and for pages).
    std::vector<CollectedPoint> points() const;

  private:
    void add(const CollectedPoint& point);

    mutable Threading::SdlMutex m_mutex;
    boost::circular_buffer<CollectedPoint> m_ring{Capacity};
    std::uint8_t m_gap = 1;
    std::uint64_t m_lastTime = 0; // of the last kept fix, seconds since 1970
};

} // namespace Monitoring
