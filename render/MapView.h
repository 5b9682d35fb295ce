#pragma once
// Picking on the map: which map object lies at a map point.

#include "map/Point.h"
#include "map/RecordIterator.h"
#include "map/StateRecord.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace MapView {

// A picked object: the map (index in the atlas's list, as the view records
// carry it) and the object's record in the cell.
struct MapObject {
    static constexpr std::uint32_t NoMap = 0xFFFFFFFFu;
    std::uint32_t mapIndex = NoMap;
    Map::Record record;
};

// The records of one loaded cell, with the cell's grid position.
struct CellRecords {
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    Map::RecordIterator records;
};

// The search for the object at a level point among the records of the cells
// whose items can reach it (an item's fields reach one cell beyond its
// anchor cell to the right and top, so the cell under the point and its
// left, lower and lower-left neighbours, those that are loaded): (frame,
// cells, level point x and y in and out, object out) -> found. It belongs to
// the routing side, which installs it at start-up; until then picking finds
// nothing.
using PickInCell = std::function<bool(const Map::LevelFrame& frame, std::vector<CellRecords>& cells,
                                      std::int32_t& x, std::int32_t& y, MapObject& out)>;
void setPickInCell(PickInCell search);

// The map object at a map point, searched in the last view record whose map
// is neither a POI map (4) nor a polyline map (5), in the cells whose items
// can reach the point. On success the point becomes the object's point (as the search
// moved it) and `out` names the map and the record; otherwise out's map is
// cleared. The camera's transform is set to that record.
bool pickObjectAt(const std::vector<Map::StateRecord>& records, Map::Point& point, MapObject& out);

} // namespace MapView
