#pragma once
// The layers of a map frame. Each walks the visible cells of one map's view
// record (x0..x1-1 outer, y0..y1-1 inner), sets the camera's origin to the
// cell, decodes the cell's items of its kind (CellItems.h), picks the
// active style of the item's type, tests the style's scale bounds against
// the rounded scale (metres per 40 pixels, inclusive, 0 = no bound) and
// hands the geometry to the 2D or 3D renderer, as the camera's mode says.
// The map renderer supplies the styles, the polyline flags and the
// counters. Main thread only.

#include "map/StateRecord.h"
#include "render/Canvas.h"
#include "render/CaptionGeometry.h"

#include <cstdint>
#include <vector>

class MapCamera;

namespace Map {
class KVMap2;
}

namespace MapDrawing {

class fdMapRenderer;
class RoutePath;
class MapPage;

namespace MapLayers {

// Areas: fills (shadowed styles after the others; in 3D their shadow first
// under the ground raised by 5), then borders. Fast drops shadows and
// borders. Stores the polygon counter.
void drawPolygons(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                  const Map::StateRecord& view, float scale, bool fast);
// Lines: borders, bodies, then dashes and dots. Fast drops borders and
// dashes; the polyline counter then reads 0.
void drawPolylines(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                   const Map::StateRecord& view, float scale, bool fast);
// The marked roads (their road references in `roads`) drawn again over
// their bodies as a band in the colour of the misc item "route2", at least
// its size in pixels wide on each side of the axis, so the driver sees the
// road of the next manoeuvre beyond the route line. Only lines the polyline
// layer draws at this scale are marked.
void drawRoadMarks(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                   const Map::StateRecord& view, float scale, const std::vector<std::uint32_t>& roads);
// Arrows along one-way polylines with a valid road reference.
void drawDirectionArrows(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                         const Map::StateRecord& view, float scale);
// POI icons placed by their style's placement 0..9. Stores the point counter.
// An icon that would touch the page's car (the renderer's frameCar, within
// CarClearance pixels) is left out: the car is drawn over the frame.
// When drawn is given, the box of every icon drawn is appended to it, with
// its caption's record word in the caption table of map (the view's map;
// null: none), for the captions to keep clear of.
inline constexpr std::int32_t CarClearance = 2;
void drawPoiIcons(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                  const Map::StateRecord& view, float scale, std::vector<Render::IconBox>* drawn = nullptr,
                  Map::KVMap2* map = nullptr);
// Paints where this map has data with the background colour: whole cells
// whose value has bit 1, else the cell's coverage polygons.
void clearCoverage(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& view,
                   std::uint32_t background);
// The route line, each piece through the view record that holds its cell.
void drawRoutePath(const xe::Canvas& canvas, MapCamera& camera, const RoutePath& route,
                   const std::vector<Map::StateRecord>& records);
// The start, finish and middle flags of the route points.
void drawRouteFlags(const xe::Canvas& canvas, MapCamera& camera, const RoutePath& route, MapPage& page);
// The boxes (surface pixels) of the flags drawRouteFlags draws.
std::vector<Render::OrientedBox> routeFlagBoxes(MapCamera& camera, const RoutePath& route, MapPage& page);

} // namespace MapLayers

namespace MapCanvas {
// A decoded cell point (read as unsigned) through the camera's anchor
// projection; false when it cannot be placed (behind a 3D camera).
bool projectMapPoint(const MapCamera& camera, xe::Point point, xe::Point& out);
} // namespace MapCanvas

} // namespace MapDrawing
