#pragma once
// One result row of a search: the object's name, its detail text, its map
// point and either every reference that stands for the one object across
// maps (in the order they were added) or the waypoint it is.

#include "map/Point.h"
#include "map/TextSearchTypes.h"
#include "search/WayPoints.h"

#include <string>
#include <variant>
#include <vector>

namespace TextSearch {

struct ResultItem {
    std::u16string text;
    std::u16string detail;
    Map::Point point;
    std::variant<std::vector<Map::MapAndOffset>, Map::WayPoint> objects;
};

} // namespace TextSearch
