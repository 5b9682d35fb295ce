#pragma once
// The waypoint list filter shared by the waypoint list and the waypoint
// chooser: the points of one POI type.

#include "screens/WayPointsCategoriesLists.h"

namespace Screens {

class FilterWaypointsByType final : public WayPointsCategoriesSingleSelectList::FilterPredicate {
  public:
    explicit FilterWaypointsByType(std::uint16_t type) : m_type(type) {}
    bool accept(const WayPoint& point) const override { return point.type == m_type; }

  private:
    std::uint16_t m_type;
};

} // namespace Screens
