#pragma once
// The route model: the route points the user placed and, between each two
// consecutive points, a leg of road pieces (parts) chosen by the search, each
// with its own geometry, length and the manoeuvre that leads into it.
//
// Geometry lies in the frame of one level of one map. A level coordinate is
// origin-relative: cell * 2^cellShift + offset, the cell counted from the
// level's origin (docs/map-format.md, "Level-local coordinates"). A polyline
// keeps its anchor cell and float offsets from that cell's corner.
//
// Used on the main thread only; the path has no lock.

#include "map/LevelFrame.h"
#include "routing/RoadRecords.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Map {
class KVAtlas;
class KVMap2;
class Level;
} // namespace Map

struct PathPosition;

struct PathPolyline {
    // Offsets from the anchor cell's corner; at least two points.
    std::vector<Map::LocalPoint> points;
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
};

struct PathPart {
    Map::KVMap2* map = nullptr;        // the map that holds the road; never owned
    const Map::Level* level = nullptr; // the frame of the geometry; never owned
    std::vector<PathPolyline> polylines;
    std::uint8_t roadClass = 0; // 8, 9 major roads, 12 roundabout
    std::uint32_t nameIndex = 0; // strings-section id, 0 none
    std::uint32_t segmentId = RoadGraph::kNoId;
    std::uint16_t lengthMetres = 0;
    float metresPerUnit = 0.0f;
    std::uint8_t forward = 1; // driven in the stored order of the points
    std::uint8_t turnCode = 0; // 0 none, 1..18 coded, 40 suppressed
    std::uint16_t legIndex = 0;
    std::uint32_t manoeuvre = 0; // type of the manoeuvre leading into the part
    std::uint16_t manoeuvreAux = 0;

    // Sum of the Euclidean lengths of every polyline segment, level units.
    double geometricLength() const;
    // metresPerUnit from the road's stored length: L / G, or, when either is
    // nothing, 2^(32 - coordinate bits) global units per level unit divided
    // by the projection's units per metre at the first point.
    void setMetresPerUnit(std::uint16_t storedLength);
    // trunc(units * metresPerUnit + 0.5), saturated to 16 bits.
    std::uint16_t metres(double units) const;
};

// A point in the frame of a level (level-local, origin-relative).
struct LevelPoint {
    const Map::Level* level = nullptr;
    float x = 0.0f;
    float y = 0.0f;
};

struct PathPoint {
    Map::KVMap2* map = nullptr; // the map the point is bound in
    std::uint32_t segmentId = RoadGraph::kNoId;
    std::uint8_t allowForward = 0;
    std::uint8_t allowBackward = 0;
    std::uint32_t nameIndex = 0;
    LevelPoint roadPoint;   // projected onto the road
    LevelPoint pickedPoint; // what was asked for
    bool isSet() const { return roadPoint.level != nullptr; }
};

// Owned by another component (guidance keeps its next route point in one).
struct PathPointWatcher {
    std::uint16_t pointIndex = 0;
    std::uint8_t changed = 0;
};

// One row of the street list.
struct StreetRun {
    std::u16string name;
    Map::Point start; // global map point of the run's drive start
    std::uint32_t lengthMetres = 0;
};

class Path {
  public:
    Path() = default;
    explicit Path(const PathPoint& point);
    // A one-leg path: legParts' parts (leg 0) between a and b.
    Path(const PathPoint& a, const PathPoint& b, const Path& legParts);

    std::vector<PathPart> parts;
    std::vector<PathPoint> points;
    std::vector<PathPointWatcher*> watchers;
    std::vector<std::uint8_t*> changeFlags;
    std::uint16_t legCount = 0;

    // Appends src behind this path; src's first point equals this path's
    // last and is skipped (all of src's points are taken when this path has
    // none; a source without points adds parts only).
    void appendPath(const Path& src);
    // The mirror of appendPath: src goes in front, its last point skipped.
    void prependPath(const Path& src);
    // Replaces the parts of leg n by legPath's; legPath's inner points are
    // inserted behind point n.
    void replaceLeg(std::uint16_t n, const Path& legPath);
    // Appends a copy; the new last part gets leg 0 (no change flags raised).
    void appendPart(const PathPart& part);
    void partsOfLeg(std::uint16_t n, Path& out) const;
    // Drops the leg the position stands on and every leg before it; a
    // position at the end clears the path.
    void removePassedLeg(const PathPosition& position);
    void keepStartOnly();
    void clear();
    // Erases the points only; no change flags raised.
    void clearPoints();
    // Cut the first part (keeping what lies beyond the projection of the
    // point) or, after erasing the parts behind partIndex, the last part
    // (keeping what lies before it). The point is level-local in `level`,
    // which must be the part's level; nothing changes when it does not
    // project onto the part.
    void trimFront(const Map::Level& level, Map::LocalPoint point);
    void trimBack(std::size_t partIndex, const Map::Level& level, Map::LocalPoint point);

    bool isEmpty() const { return parts.empty(); }
    const PathPoint& pointAt(std::size_t i) const { return points.at(i); }

    void addChangeFlag(std::uint8_t* flag) { changeFlags.push_back(flag); }
    void removeChangeFlag(std::uint8_t* flag);
    void addWatcher(PathPointWatcher* watcher) { watchers.push_back(watcher); }
    void removeWatcher(PathPointWatcher* watcher);
    // Sets every registered change flag to 1.
    void markChanged();

    // The position on the part nearest to a level point of `level`, or the
    // end when no part is near; false then.
    bool nearestPart(const Map::Level& level, Map::LocalPoint point, PathPosition& out) const;

    // Route geometry queries (PathGeometry.cpp). The nearest point on the
    // route between two positions to a global map point; the squared
    // distance is in the level units of the part it lies on.
    bool nearestPointBetween(const PathPosition& from, const PathPosition& to, Map::Point point,
                             PathPosition& out, float* distanceSquared = nullptr) const;
    // The same for a point of a level given as cell and offset; the result
    // is replaced only by a strictly nearer candidate.
    bool nearestPointAhead(const PathPosition& from, const PathPosition& to, const Map::Level& level,
                           std::int32_t cellX, std::int32_t cellY, Map::LocalPoint offset,
                           PathPosition& result) const;
    // Global box {min x, min y, max x, max y} of the points passed between
    // two positions.
    std::array<std::int32_t, 4> boundingBox(const PathPosition& from, const PathPosition& to) const;
    // The point lies within `metres` of the straight link from a route
    // point's road point to its picked point, its foot strictly inside.
    bool nearRoutePointLink(Map::Point point, float metres) const;

    // Manoeuvres, street runs and names (Manoeuvres.cpp).
    static void computeManoeuvres(Path& path, Map::KVAtlas& atlas, std::uint16_t stickMetres);
    static bool classifyManoeuvre(Path& path, std::size_t p, Map::KVAtlas& atlas, PathPosition& place);
    bool manoeuvreAfter(std::size_t p, PathPosition& position, std::uint32_t& type, std::uint16_t& aux) const;
    bool nextManoeuvre(const PathPosition& from, PathPosition& position, std::uint32_t& type,
                       std::uint16_t& aux) const;
    bool legEnd(const PathPosition& from, PathPosition& position, std::uint16_t& legNumber) const;
    static void collectStreetRuns(const Path& path, std::vector<StreetRun>& rows);
    // "<first point's road> - <last point's road>.kvp", characters that a
    // file name cannot hold replaced by '_'; empty with fewer than 2 points.
    static void defaultFileName(const Path& path, std::u16string& name);

  private:
    void shiftLegs(std::size_t first, std::size_t last, std::uint16_t amount, bool add);
    void setLegBoundaryManoeuvres();
    void removeFirstPoint();
    void markPointsLost();
};

// Level conversion used by the route geometry, guidance and the route and
// track layers.
namespace MapLevelInfo {
// The same point in the target level's frame (both origin-relative).
Map::LocalPoint convertPoint(const Map::Level& source, const Map::Level& target, Map::LocalPoint point);
} // namespace MapLevelInfo
