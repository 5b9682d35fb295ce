#pragma once
// Preparing the map view for a frame: the scale in metres per 40 pixels,
// the zoom limits (5 to 500000), the detail level, one view record per
// drawn map with its visible cells, the covering maps that hide the ones
// under them, and the loading of the visible cells into the atlas's heap.
// These are the camera's frame operations; they live beside the camera
// because they need the atlas, which the camera does not know.

#include "map/AtlasViewFields.h"
#include "map/StateRecord.h"

#include <array>
#include <cstdint>

class MapCamera;

namespace Map {
class KVAtlas;
struct CameraFields;
} // namespace Map

namespace Render {
struct FrameStatistics;
}

namespace MapDrawing {

class CaptionLayer;

// The frame state kept in the atlas's view fields.
enum FrameState : std::uint32_t { FastFrameDue = 0, FullFrameDue = 1, FrameComplete = 2 };
constexpr std::uint32_t NoRedraw = Map::AtlasViewFields::NoRedraw;
constexpr std::uint32_t SmallRedraw = Map::AtlasViewFields::SmallRedraw;
constexpr std::uint32_t FullRedraw = Map::AtlasViewFields::FullRedraw;

namespace ViewPreparation {

constexpr float MinScale = 5.0f;
constexpr float MaxScale = 500000.0f;
constexpr float NearScale = 80.0f;

// Metres per 40 pixels at the camera's centre and scale.
float metresPer40Pixels(const MapCamera& camera);

// Rebuilds the view when a redraw was requested (else only the scale), then
// clears the request. captions (may be null) hears of maps that left the
// view.
void prepare(MapCamera& camera, Map::KVAtlas& atlas, Render::FrameStatistics* statistics, CaptionLayer* captions);
// Fills a record's level scale, centre, corners, cell range and cover flag
// (its level and frame set); false when a 3D view does not reach the ground.
bool computeView(MapCamera& camera, Map::StateRecord& record);
// The bounding box of the visible region in global map units: x0, y0, x1,
// y1.
std::array<std::int32_t, 4> computeGlobalView(MapCamera& camera);
// Loads the visible cells of every record; when the main heap is full, all
// areas are dropped, the heap is reset and every record is loaded again,
// stopping at the first that still fails.
void loadVisibleAreas(Map::KVAtlas& atlas);

// The camera and the atlas's saved camera fields.
void cameraFromAtlas(MapCamera& camera, Map::KVAtlas& atlas);
void cameraToAtlas(const MapCamera& camera, Map::CameraFields& fields);

} // namespace ViewPreparation
} // namespace MapDrawing
