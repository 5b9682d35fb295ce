#pragma once
// What the waypoint list and the waypoint chooser share: the filter that
// keeps the points of one POI type, and going to a chosen point.

#include "screens/WayPointsCategoriesLists.h"

#include <cstdint>

class fdWPManager;

namespace Ui {
class fdInterface;
}

namespace Screens {

class FilterWaypointsByType final : public WayPointsCategoriesSingleSelectList::FilterPredicate {
  public:
    explicit FilterWaypointsByType(std::uint16_t type) : m_type(type) {}
    bool accept(const WayPoint& point) const override { return point.type == m_type; }

  private:
    std::uint16_t m_type;
};

// Counts one more use of the point and shows it on the map page with its
// point action; nothing when no point (-1) is chosen or there is no map.
void goToWayPoint(Ui::fdInterface& ui, fdWPManager& waypoints, std::int64_t point);

} // namespace Screens

