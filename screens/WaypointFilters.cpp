#include "screens/WaypointFilters.h"

#include "screens/fdPageMap.h"

#include "ui/fdInterface.h"
#include "userdata/fdWPManager.h"

namespace Screens {

void goToWayPoint(Ui::fdInterface& ui, fdWPManager& waypoints, std::int64_t point) {
    auto* map = dynamic_cast<fdPageMap*>(ui.findPage("pageMap"));
    if (point < 0 || map == nullptr)
        return;
    waypoints.addUse(static_cast<std::size_t>(point));
    map->showPoint(waypoints.point(static_cast<std::size_t>(point)).position, true);
    ui.activatePage(map);
}

} // namespace Screens
