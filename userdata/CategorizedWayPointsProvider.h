#pragma once
// How lists, pages and the search read waypoints by category: the waypoint
// manager and the received points both offer this.

#include "userdata/WayPoint.h"

#include <cstddef>

namespace Render {
class Image;
}

namespace Map {

class WayPointsCategoriesListener {
  public:
    virtual ~WayPointsCategoriesListener() = default;
    // After loading and after a category was added.
    virtual void onCategoriesChanged() = 0;
};

class CategorizedWayPointsProvider {
  public:
    virtual ~CategorizedWayPointsProvider() = default;
    virtual std::size_t categoryCount() const = 0;
    virtual const ::WayPointCategory& category(std::size_t index) const = 0;
    // Deleted records included; callers skip those whose flag is 1.
    virtual std::size_t pointCount() const = 0;
    // The global record (the search has a Map::WayPoint of its own).
    virtual const ::WayPoint& point(std::size_t index) const = 0;
    // The category the point belongs to (one category unless overridden).
    virtual std::size_t pointCategory(std::size_t) const { return 0; }
    // The picture to show for the point; null when there is none.
    virtual Render::Image* pointImage(std::size_t index) = 0;
    virtual void addListener(WayPointsCategoriesListener* listener) = 0;
    // Removes every occurrence.
    virtual void removeListener(WayPointsCategoriesListener* listener) = 0;
};

} // namespace Map
