#pragma once
// The per-map view record of one frame and the map kind rank by which the
// records are ordered for drawing.

#include "map/LevelFrame.h"

#include <cstdint>
#include <vector>

namespace Map {

class Level;

namespace Nearest {

// Drawing and nearest-object rank of a map type: city (0) 4; region (1),
// pois (4), polylines (5), invisible (6) 3; country (2) 2; world (3) and any
// other value 1.
int kindRank(std::uint32_t mapType);

} // namespace Nearest

// One map drawn in this frame, with the view of its level. Copied field by
// field.
struct StateRecord {
    // The map's level drawn in this frame (null only where no map data is
    // involved, as in tests of the camera) and a copy of its frame, which is
    // what the camera's transforms use.
    Level* level = nullptr;
    LevelFrame frame;
    // Screen pixels per level unit = camera scale * 2^(32 - coordinate bits).
    float levelScale = 0.0f;
    // The camera centre in this level's local units.
    float centreX = 0.0f;
    float centreY = 0.0f;
    // Cell columns x0 .. x1 - 1 and rows y0 .. y1 - 1 (all 0: none visible).
    std::int32_t cellX0 = 0;
    std::int32_t cellY0 = 0;
    std::int32_t cellX1 = 0;
    std::int32_t cellY1 = 0;
    // The four ground corners of the visible region, x and y of each, in
    // level units.
    float corners[8] = {};
    // The visible region lies inside this level's grid (a candidate for
    // hiding the maps drawn before it).
    std::uint8_t cover = 0;
    // The record stays in the list but its map is not drawn in the first pass.
    std::uint8_t hidden = 0;
    // The map this record draws: its index in the atlas's map list and its
    // type (0 city, 1 region, 2 country, 3 world, 4 pois, 5 polylines, 6
    // invisible).
    std::uint32_t mapIndex = 0;
    std::uint32_t mapType = 3;

    // a is drawn before b: rank(a) < rank(b). The order of equal ranks is not
    // settled (the records are sorted with an unstable sort).
    static bool drawsBefore(const StateRecord& a, const StateRecord& b);
};

// Sorts a frame's view records into drawing order (world first, city last).
void sortForDrawing(std::vector<StateRecord>& records);

} // namespace Map
