#pragma once
// What the map view picks under a tapped point: the search among one cell's
// records that MapView::pickObjectAt asks for, installed at start-up.
//
// Order of the search: a point of interest within the pick radius (the
// nearest one); else a polyline within the radius (the nearest one); else
// the last polygon whose ring contains the point (the one drawn on top; the
// cells are taken in the order given, items in cell order). Points and lines are small targets a finger covers, so they go
// first and the nearest wins; areas are picked as drawn. The pick radius is
// 1/32 of a cell, about a finger's width at the scale the view draws that
// level at. Coverage polygons (kind 3) only describe the cell and are never
// picked.

#include "map/LevelFrame.h"
#include "map/RecordIterator.h"
#include "render/MapView.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Map::Nearest {

// 0 outside, 1 inside, 2 on an edge (even-odd crossings of a horizontal ray
// to the right; a point on an edge gives 2 at once).
int pointInPolygon(LocalPoint point, const LocalPoint* ring, std::size_t count);

// The search for MapView::PickInCell, over the records of the cells that can
// reach the level point (x, y), which becomes the picked object's point (a POI's position, the foot on a
// polyline; unchanged for a polygon). out.record names the item: type = its
// kind (1 polygon, 2 polyline, 4 point), start and payload = its bytes,
// size and end as its packed size gives them.
bool pickInCell(const LevelFrame& frame, std::vector<MapView::CellRecords>& cells, std::int32_t& x,
                std::int32_t& y, MapView::MapObject& out);

// Installs pickInCell as the map view's picking search.
void installPicking();

} // namespace Map::Nearest
