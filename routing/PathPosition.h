#pragma once
// Places on a route: PartCursor on the geometry of one part, PathPosition on
// the whole path (a part and a cursor on it). Plain records, copied freely;
// they own nothing and allocate nothing. Geometric order is the stored order
// of a part's points, drive order the order the route is driven in (the
// part's forward flag). Distances inside a part are in level units; metres
// always use the part's metresPerUnit and trunc(x + 0.5).

#include "routing/Path.h"

#include <cstddef>
#include <cstdint>

struct PartCursor {
    const PathPart* part = nullptr;
    std::size_t polyline = 0;
    std::uint16_t segmentIndex = 0; // from point i to point i + 1
    float offset = 0.0f;            // from point i along the segment
    std::int32_t cellX = 0;
    std::int32_t cellY = 0;
    float x = 0.0f; // the cursor's point, cell-relative like the polyline's
    float y = 0.0f;

    static PartCursor atStart(const PathPart& part);
    static PartCursor atEnd(const PathPart& part);
    // Where driving the part begins (start true) or ends.
    static PartCursor inDriveDirection(const PathPart& part, bool start);

    const PathPolyline& line() const { return part->polylines.at(polyline); }
    Map::LocalPoint point() const;
    Map::LocalPoint nextPoint() const;
    float segmentLength() const;
    float segmentLengthSquared() const;
    bool isOnLastSegment() const;
    bool stepForward();
    bool stepBackward();
    // Move by `distance` level units; false (the rest left in distance) at
    // the part's end or start.
    bool moveForward(float& distance);
    bool moveBackward(float& distance);

    static bool isBefore(const PartCursor& a, const PartCursor& b);
    // Signed length along the geometry from a to b (negative when b lies
    // before a), level units.
    static float distance(const PartCursor& a, const PartCursor& b);
    // The nearest point of the part to a level point; only polylines
    // anchored within one cell of the point's cell are examined. False when
    // none is.
    static bool project(const PathPart& part, Map::LocalPoint levelPoint, PartCursor& out,
                        float& distanceSquared);
    float distanceFromStart() const;
    // The cursor's point in the level frame (cell * 2^cellShift + offset).
    Map::LocalPoint levelPoint() const;

  private:
    void interpolate();
    void setPoint(Map::LocalPoint p);
};

struct PathPosition {
    const Path* path = nullptr;
    std::size_t part = 0; // parts.size(): past the last part
    PartCursor cursor;

    PathPosition() = default;
    // At the drive start of the first part, or the drive end of the last.
    PathPosition(const Path& path, bool atStart);
    static PathPosition onPart(const Path& path, std::size_t part, bool start);

    bool isAtEnd() const { return path == nullptr || part >= path->parts.size(); }
    const PathPart& currentPart() const { return path->parts.at(part); }
    void stepForward();
    bool stepBackward();
    void advance(float distance);
    void advanceMetres(std::uint16_t metres);
    static bool isBefore(const PathPosition& a, const PathPosition& b);
    // Metres between two positions in drive order, whichever comes first.
    static std::uint32_t distanceTo(const PathPosition& a, const PathPosition& b);
    bool segmentShorterThan(float metres) const;
    // b's point minus a's, in the frame of a's level.
    static Map::LocalPoint delta(const PathPosition& a, const PathPosition& b);
    const Map::Level* partLevel() const;
    std::uint32_t partNameIndex() const;
    void ensureOnPath();
    // Direction of the segment under the position in drive order: whole
    // degrees 0..359, clockwise from the y axis.
    int heading() const;
    // Metres from the cursor to its part's drive end.
    std::uint16_t metresToPartEnd() const;
    Map::LocalPoint levelPoint() const { return cursor.levelPoint(); }

  private:
    void moveInDriveDirection(float& distance, bool& moved);
};

// The change from heading a to heading b brought into -179..180.
int headingChange(int a, int b);
