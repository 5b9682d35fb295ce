#pragma once
// The atlas's current route: the Path the atlas keeps for the whole run
// (restored from path.kvp when an atlas loads, written back as "autosave"
// when it unloads), and the route line the map drawing reads from it.

#include "map/AtlasServices.h"
#include "render/MapPageServices.h"
#include "routing/NearestRoad.h"
#include "routing/Path.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace Core {
class ConfigNode;
}

class AtlasRoute : public Map::RoutePath {
  public:
    AtlasRoute() { m_path.addChangeFlag(&m_unsaved); }
    AtlasRoute(const AtlasRoute&) = delete;
    AtlasRoute& operator=(const AtlasRoute&) = delete;

    Path& path() { return m_path; }
    // True once after the path changed since it was last read or asked
    // about: the engine then writes it to the atlas folder at once.
    bool takeUnsaved() { return std::exchange(m_unsaved, std::uint8_t{0}) != 0; }

    // Route requests of the pages; each records its outcome in
    // Map::Routing::routingResult() (status -4 for a point without a map).
    // A new route of one point.
    bool startPathAt(const PathPoint& point);
    // Extends the route from its last point to `point` (a route without
    // points starts there); on failure the route keeps its parts.
    bool calculatePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& point);
    // Keeps only the start, then calculatePath.
    bool recalculatePath(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& point);
    // Adds a route point where it lengthens the route least: inside the leg
    // whose detour through it costs least, or as the new finish when that
    // costs no more (a route without points starts there).
    bool addPathPoint(Map::KVAtlas& atlas, Core::ConfigNode& config, const PathPoint& point);
    // The same at a map location bound to its nearest road; false when no
    // road is found.
    bool startPathAtLocation(Map::KVAtlas& atlas, Map::Point location);
    bool addPathPointAtLocation(Map::KVAtlas& atlas, Core::ConfigNode& config, Map::Point location);

    bool read(const std::u16string& file, Map::KVAtlas& atlas) override;
    bool write(const std::u16string& name, const std::u16string& file, int& error) override;
    void clear() override { m_path.clear(); }

  private:
    Path m_path;
    std::uint8_t m_unsaved = 0;
};

// A route point from a road binding (both direction flags 1); its map is
// null when the binding names no map or level of the atlas.
PathPoint boundPoint(Map::KVAtlas& atlas, const Map::Routing::RoadBinding& binding);

// The routing cost of a path's parts under the "Routing" parameters of
// config: the sum of each part's segment cost at its length; 0xFFFFFFFF
// as soon as one part is impassable or its road graph is not loaded.
std::uint32_t pathCost(const Path& path, Core::ConfigNode& config);

// The route as the map drawing sees it: one piece per polyline, points
// level-local in the frame of the part's level, rebuilt after each edit of
// the path.
class RouteLine : public MapDrawing::RoutePath {
  public:
    RouteLine(Path& path, Map::KVAtlas& atlas);
    ~RouteLine() override;
    RouteLine(const RouteLine&) = delete;
    RouteLine& operator=(const RouteLine&) = delete;

    const std::vector<std::vector<MapDrawing::RoutePiece>>& parts() const override;
    const std::vector<MapDrawing::RoutePoint>& points() const override;
    std::uint32_t colour() const override { return m_colour; }
    float halfWidth() const override { return m_halfWidth; }
    bool marksPoints() const override { return m_marksPoints; }

    void setColour(std::uint32_t colour) { m_colour = colour; }
    void setHalfWidth(float halfWidth) { m_halfWidth = halfWidth; }
    void setMarksPoints(bool marks) { m_marksPoints = marks; }

  private:
    void refresh() const;

    Path& m_path;
    Map::KVAtlas& m_atlas;
    mutable std::uint8_t m_changed = 1;
    mutable std::vector<std::vector<MapDrawing::RoutePiece>> m_pieces;
    mutable std::vector<MapDrawing::RoutePoint> m_points;
    std::uint32_t m_colour = 0x00FF4000;
    float m_halfWidth = 4.0f;
    bool m_marksPoints = true;
};
