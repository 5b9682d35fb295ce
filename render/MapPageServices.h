#pragma once
// What the map drawing needs from the layers above it: the map page and its
// widgets, the engine's display settings, the input probe and the clock,
// the caption step, the route model, the waypoints and the proximity
// points. The frame and the map renderer call these interfaces; the user
// interface, the engine, routing and the caption placer implement them and
// are wired in at start-up. Every member is optional: a missing service
// draws nothing of its own.

#include "map/LevelFrame.h"
#include "map/Point.h"
#include "render/Canvas.h"
#include "render/CaptionGeometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MapCamera;

namespace Map {
class KVAtlas;
class KVMap2;
struct StateRecord;
} // namespace Map

namespace Render {
class Image;
}

namespace MapDrawing {

// A cursor of the design: its image and the hot spot placed on a point.
struct CursorRecord {
    Render::Image* image = nullptr;
    std::int32_t hotX = 0;
    std::int32_t hotY = 0;
};

// The rotated background of the map page's "compas" widget.
class CompassWidget {
public:
    virtual ~CompassWidget() = default;
    // Degrees; a changed angle renders the rotated picture again.
    virtual void setAngle(float degrees) = 0;
};

// The map page as the map drawing sees it.
class MapPage {
public:
    virtual ~MapPage() = default;
    // Stored tracks and the online friends, drawn once per full frame.
    virtual void drawTracksAndFriends(const xe::Canvas& canvas, MapCamera& camera) = 0;
    // Marks the page for redrawing.
    virtual void invalidate() = 0;
    // The child widget "compas", or null (the page logs the lookup failure).
    virtual CompassWidget* compass() = 0;
    // A cursor of the design by name ("flag", "flagX", "flagmidle"), or null.
    virtual const CursorRecord* findCursor(const std::string& name) = 0;
    // The road ids (polyline road references) of the map at this atlas
    // index that the frame marks; none unless the page keeps some.
    virtual const std::vector<std::uint32_t>& roadMarks(std::uint32_t mapIndex) const {
        static const std::vector<std::uint32_t> none;
        (void)mapIndex;
        return none;
    }
    // The box (map surface pixels, in the camera's current view) of what the
    // page draws over the frame at the car, none when it draws no car: the
    // frame's names keep clear of it as of an icon.
    virtual std::optional<Render::IconBox> carBox(const MapCamera& camera) {
        (void)camera;
        return std::nullopt;
    }
    // The boxes (map surface pixels) of the page's panels shown over the
    // map, which the map's names and the waypoint names keep clear of; none
    // by default.
    virtual std::vector<Render::OrientedBox> coveredBoxes() const { return {}; }
};

// The caption step of the frame; the caption placer fills it.
class CaptionLayer {
public:
    virtual ~CaptionLayer() = default;
    // Before the second pass of a frame: the horizon row of the first pass
    // (the largest far-corner row, -1 when none).
    virtual void beginCaptions(std::int32_t horizonRow) = 0;
    // The captions of one map in its view record.
    virtual void drawCaptions(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& record,
                              float scale) = 0;
    // A map left the view: its drawing buffers are released.
    virtual void releaseMap(Map::KVMap2& map) = 0;
    // The boxes (map surface pixels) of the captions and labels the last
    // frame drew, kept until the next frame's captions begin: what is drawn
    // over the map keeps clear of them.
    virtual const std::vector<Render::OrientedBox>& drawnBoxes() const = 0;
};

// One piece of the route: points of one cell of one map level, in that
// level's local units.
struct RoutePiece {
    std::uint32_t mapIndex = 0;
    Map::LevelFrame frame;
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    std::vector<Map::LocalPoint> points;
};

struct RoutePoint {
    std::optional<Map::LevelFrame> frame; // none: not placed on a map
    Map::LocalPoint point;
};

// The route model of routing as the map drawing reads it.
class RoutePath {
public:
    virtual ~RoutePath() = default;
    virtual const std::vector<std::vector<RoutePiece>>& parts() const = 0;
    // Start first, finish last.
    virtual const std::vector<RoutePoint>& points() const = 0;
    // 0x00BBGGRR colour of the route line (the navigation state may change it).
    virtual std::uint32_t colour() const = 0;
    // Half width of the line in pixels.
    virtual float halfWidth() const = 0;
    // Whether the route points get marks on the line.
    virtual bool marksPoints() const = 0;
};

// A danger-warn point as the proximity index hands it out.
struct ProximityPoint {
    Map::Point position;
    // Low 4 bits kind, next 16 bits speed, bits 20-21 direction kind, bits
    // 22-30 heading in degrees.
    std::uint32_t packed = 0;
    // The POI type of its kind and speed (the index's own mapping).
    std::uint16_t poiType = 0;
};

class ProximitySource {
public:
    virtual ~ProximitySource() = default;
    // Calls visit for every point inside the global box (x0, y0, x1, y1);
    // returns the number of points visited.
    virtual std::uint32_t visitPoints(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                                      const std::function<void(const ProximityPoint&)>& visit) = 0;
};

class WaypointsLayer {
public:
    virtual ~WaypointsLayer() = default;
    // Draws the waypoints inside the view, their names clear of the taken
    // boxes (the map's captions and icons, the page's car and panels) and
    // inside the surface; returns how many.
    virtual std::uint32_t drawPoints(SDL_Surface* surface, MapCamera& camera,
                                     const std::vector<Render::OrientedBox>& taken) = 0;
    // The boxes of the icons drawPoints would draw on a surface of that
    // size, which the map's names keep clear of; none by default.
    virtual std::vector<Render::OrientedBox> iconBoxes(std::int32_t width, std::int32_t height,
                                                       MapCamera& camera) {
        (void)width;
        (void)height;
        (void)camera;
        return {};
    }
};

// The engine-owned values the map renderer touches.
struct EngineDisplay {
    // Mirror of the renderer's day flag read by the interface colours.
    bool day = true;
    // Draw the 2 x 2 red mark on the car tracker's map position.
    bool carMarker = false;
};

struct MapServices {
    MapPage* page = nullptr;
    CaptionLayer* captions = nullptr;
    RoutePath* route = nullptr;
    WaypointsLayer* waypoints = nullptr;
    EngineDisplay* engine = nullptr;
    // The car tracker's map position (integer map units), when known.
    std::function<std::optional<Map::Point>()> carMapPosition;
    // True when a key press or mouse button press (or, when asked, mouse
    // motion) waits in the event queue; the default peeks SDL's queue.
    std::function<bool(bool mouseMotion)> hasInputEvent;
    // Milliseconds; the default is SDL_GetTicks.
    std::function<std::uint32_t()> ticks;
    // Asks the page for a redraw after a fast frame; the default pushes
    // SDL's expose event.
    std::function<void()> requestExpose;
    // The engine's resource pool figures for the debug overlay.
    std::function<void(std::uint32_t (&figures)[3])> resourcePoolFigures;
};

// The SDL implementations of the three defaults.
bool sdlHasInputEvent(bool mouseMotion);
std::uint32_t sdlTicks();
void sdlPushExpose();

} // namespace MapDrawing
