#pragma once
// The tracked car as drawing and guidance read it, and the interface through
// which the car tracker reports its events.

#include "map/LevelFrame.h"
#include "map/Point.h"

#include <cstdint>

namespace Positioning {

class CarTracker;

// A point in the local units of one level frame.
struct TilePoint {
    Map::LevelFrame frame;
    float x = 0.0f;
    float y = 0.0f;

    Map::Point toGlobal() const { return frame.toGlobal({x, y}); }
    friend bool operator==(const TilePoint&, const TilePoint&) = default;
};

// The polyline id of a road reference with no road: byte 0xFF and 0xFFFF.
constexpr std::uint32_t NoPolylineId = 0xFFFFFFFFu;
constexpr std::uint32_t NoMapIndex = 0xFFFFFFFFu;

struct CarState {
    bool valid = false;
    float heading = 0.0f; // radians, clockwise from north
    TilePoint position;
    bool onRoad = false;
    float probability = 0.0f; // of the matched road; 0 off road
    // The matched road: its map (index in the atlas), polyline id (road
    // graph byte * 65536 + 16-bit part) and caption (name index).
    std::uint32_t mapIndex = NoMapIndex;
    std::uint32_t polylineId = NoPolylineId;
    std::uint32_t caption = 0;
    // The way the car goes along its road now (whole degrees 0..359), as the
    // tracker carries it: past a bend or a U-turn the car's way before the
    // receiver's course is (that is the way over the last second, or the
    // second before); -1 while the car stands (below `min_speed`) or is off
    // the roads.
    int wayDegrees = -1;

    // Whether the map page must redraw: validity changed, the headings
    // differ by more than 0.02 rad (wrapped into -pi..pi), or the positions,
    // as global map points, differ by a vector whose length times `scale`
    // (pixels per global unit) is 0.5 or more.
    static bool differs(const CarState& a, const CarState& b, float scale);
};

// What the map events handler derives its road and direction events from.
struct RoadInfo {
    bool onRoad = false;
    std::uint32_t polylineId = NoPolylineId;
    bool alongHeading = false;
    bool againstHeading = false;
};

enum CarEvent : int { BackToRoad = 0, RoadSegChanged = 1, DirAllowedChanged = 2 };

class CarEventsHandler {
  public:
    virtual ~CarEventsHandler() = default;
    // Called on the main thread, from CarTracker::update, with no tracker
    // lock held.
    virtual void onCarEvent(int code, CarTracker* tracker) = 0;
};

} // namespace Positioning
