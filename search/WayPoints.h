#pragma once
// What the search needs of the waypoints: the records it reads and the
// collection it reads them from. The waypoint manager implements the
// collection; the search never changes a record.

#include "map/Point.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Map {

struct WayPoint {
    // Only records whose flag byte is 0 take part in searches.
    std::uint8_t flag = 0;
    std::u16string name;
    std::u16string comment;
    std::uint16_t type = 0; // POI type
    Point point;
};

class WayPointsCollection {
  public:
    virtual ~WayPointsCollection() = default;
    virtual std::size_t count() const = 0;
    virtual const WayPoint& at(std::size_t index) const = 0;
};

} // namespace Map
