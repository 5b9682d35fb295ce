#include "routing/PathPosition.h"

#include "map/FloatMath.h"
#include "map/Level.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

double cellSize(const PathPart& part) {
    return part.level != nullptr ? std::ldexp(1.0, part.level->cellShift()) : 1.0;
}

} // namespace

// PartCursor

void PartCursor::setPoint(Map::LocalPoint p) {
    x = p.x;
    y = p.y;
}

PartCursor PartCursor::atStart(const PathPart& part) {
    PartCursor c;
    c.part = &part;
    const PathPolyline& line = part.polylines.at(0);
    c.cellX = line.cellX;
    c.cellY = line.cellY;
    c.setPoint(line.points.at(0));
    return c;
}

PartCursor PartCursor::atEnd(const PathPart& part) {
    PartCursor c;
    c.part = &part;
    c.polyline = part.polylines.size() - 1;
    const PathPolyline& line = part.polylines.at(c.polyline);
    c.cellX = line.cellX;
    c.cellY = line.cellY;
    c.segmentIndex = static_cast<std::uint16_t>(line.points.size() - 2);
    c.offset = c.segmentLength();
    c.setPoint(line.points.at(line.points.size() - 1));
    return c;
}

PartCursor PartCursor::inDriveDirection(const PathPart& part, bool start) {
    return start == (part.forward != 0) ? atStart(part) : atEnd(part);
}

Map::LocalPoint PartCursor::point() const {
    return line().points.at(segmentIndex);
}

Map::LocalPoint PartCursor::nextPoint() const {
    return line().points.at(segmentIndex + 1u);
}

float PartCursor::segmentLengthSquared() const {
    const Map::LocalPoint a = point();
    const Map::LocalPoint b = nextPoint();
    return (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
}

float PartCursor::segmentLength() const {
    return std::sqrt(segmentLengthSquared());
}

bool PartCursor::isOnLastSegment() const {
    return polyline + 1 == part->polylines.size() && segmentIndex + 2u == line().points.size();
}

bool PartCursor::stepForward() {
    if (isOnLastSegment()) return false;
    if (segmentIndex + 2u == line().points.size()) {
        ++polyline;
        segmentIndex = 0;
        cellX = line().cellX;
        cellY = line().cellY;
    } else {
        ++segmentIndex;
    }
    offset = 0.0f;
    setPoint(point());
    return true;
}

bool PartCursor::stepBackward() {
    if (polyline == 0 && segmentIndex == 0) return false;
    if (segmentIndex == 0) {
        --polyline;
        segmentIndex = static_cast<std::uint16_t>(line().points.size() - 2);
        cellX = line().cellX;
        cellY = line().cellY;
    } else {
        --segmentIndex;
    }
    offset = segmentLength();
    setPoint(nextPoint());
    return true;
}

void PartCursor::interpolate() {
    const float length = segmentLength();
    const Map::LocalPoint a = point();
    if (length == 0.0f) {
        setPoint(a);
        return;
    }
    const Map::LocalPoint b = nextPoint();
    const float t = offset / length;
    setPoint(Map::LocalPoint{a.x * (1.0f - t) + b.x * t, a.y * (1.0f - t) + b.y * t});
}

bool PartCursor::moveForward(float& distance) {
    while (segmentLength() - offset < distance) {
        distance -= segmentLength() - offset;
        if (!stepForward()) return false;
    }
    offset += distance;
    distance = 0.0f;
    interpolate();
    return true;
}

bool PartCursor::moveBackward(float& distance) {
    while (offset < distance) {
        distance -= offset;
        if (!stepBackward()) return false;
    }
    offset -= distance;
    distance = 0.0f;
    interpolate();
    return true;
}

bool PartCursor::isBefore(const PartCursor& a, const PartCursor& b) {
    if (a.polyline != b.polyline) return a.polyline < b.polyline;
    if (a.segmentIndex != b.segmentIndex) return a.segmentIndex < b.segmentIndex;
    return a.offset < b.offset;
}

float PartCursor::distance(const PartCursor& a, const PartCursor& b) {
    if (isBefore(b, a)) return -distance(b, a);
    PartCursor walk = a;
    float sum = -a.offset;
    while (walk.polyline != b.polyline || walk.segmentIndex != b.segmentIndex) {
        sum += walk.segmentLength();
        if (!walk.stepForward()) break;
    }
    return sum + b.offset;
}

bool PartCursor::project(const PathPart& part, Map::LocalPoint levelPoint, PartCursor& out, float& distanceSquared) {
    const double size = cellSize(part);
    const double cx = std::floor(levelPoint.x / size);
    const double cy = std::floor(levelPoint.y / size);
    const double ox = levelPoint.x - cx * size;
    const double oy = levelPoint.y - cy * size;
    bool found = false;
    double best = 0.0;
    for (std::size_t i = 0; i < part.polylines.size(); ++i) {
        const PathPolyline& line = part.polylines[i];
        const double dcx = cx - line.cellX;
        const double dcy = cy - line.cellY;
        if (std::fabs(dcx) > 1.0 || std::fabs(dcy) > 1.0) continue;
        const double px = ox + dcx * size;
        const double py = oy + dcy * size;
        for (std::size_t s = 0; s + 1 < line.points.size(); ++s) {
            const double ax = line.points[s].x, ay = line.points[s].y;
            const double bx = line.points[s + 1].x, by = line.points[s + 1].y;
            const double ex = bx - ax, ey = by - ay;
            const double along = (px - ax) * ex + (py - ay) * ey;
            double nx = ax, ny = ay, d = 0.0;
            if (along <= 0.0) {
                d = (px - ax) * (px - ax) + (py - ay) * (py - ay);
            } else if ((px - bx) * ex + (py - by) * ey < 0.0) {
                const double l2 = ex * ex + ey * ey;
                const double cross = (px - ax) * ey - (py - ay) * ex;
                d = cross * cross / l2;
                nx = ax + along / l2 * ex;
                ny = ay + along / l2 * ey;
            } else {
                nx = bx;
                ny = by;
                d = (px - bx) * (px - bx) + (py - by) * (py - by);
            }
            if (found && !(d < best)) continue;
            found = true;
            best = d;
            out = PartCursor{};
            out.part = &part;
            out.polyline = i;
            out.segmentIndex = static_cast<std::uint16_t>(s);
            out.cellX = line.cellX;
            out.cellY = line.cellY;
            out.offset = static_cast<float>(std::sqrt((nx - ax) * (nx - ax) + (ny - ay) * (ny - ay)));
            out.x = static_cast<float>(nx);
            out.y = static_cast<float>(ny);
        }
    }
    distanceSquared = static_cast<float>(best);
    return found;
}

float PartCursor::distanceFromStart() const {
    return distance(atStart(*part), *this);
}

Map::LocalPoint PartCursor::levelPoint() const {
    const double size = cellSize(*part);
    return Map::LocalPoint{static_cast<float>(cellX * size + x), static_cast<float>(cellY * size + y)};
}

// PathPosition

PathPosition::PathPosition(const Path& p, bool atStart) : path(&p) {
    if (p.parts.empty()) {
        part = 0;
        return;
    }
    part = atStart ? 0 : p.parts.size() - 1;
    cursor = PartCursor::inDriveDirection(p.parts[part], atStart);
}

PathPosition PathPosition::onPart(const Path& p, std::size_t index, bool start) {
    PathPosition position;
    position.path = &p;
    position.part = index;
    position.cursor = PartCursor::inDriveDirection(p.parts.at(index), start);
    return position;
}

void PathPosition::stepForward() {
    if (isAtEnd()) return;
    const bool stepped = currentPart().forward ? cursor.stepForward() : cursor.stepBackward();
    if (stepped) return;
    ++part;
    if (!isAtEnd()) cursor = PartCursor::inDriveDirection(currentPart(), true);
}

bool PathPosition::stepBackward() {
    if (isAtEnd()) return false;
    const bool stepped = currentPart().forward ? cursor.stepBackward() : cursor.stepForward();
    if (stepped) return true;
    if (part == 0) return false;
    --part;
    cursor = PartCursor::inDriveDirection(currentPart(), false);
    return true;
}

void PathPosition::advance(float distance) {
    while (!isAtEnd()) {
        const bool moved = currentPart().forward ? cursor.moveForward(distance) : cursor.moveBackward(distance);
        if (moved) return;
        stepForward();
    }
}

std::uint16_t PathPosition::metresToPartEnd() const {
    const PartCursor end = PartCursor::inDriveDirection(currentPart(), false);
    return currentPart().metres(PartCursor::distance(cursor, end));
}

void PathPosition::advanceMetres(std::uint16_t metres) {
    while (true) {
        if (isAtEnd()) return;
        const std::uint16_t m = metresToPartEnd();
        if (m > metres) break;
        metres = static_cast<std::uint16_t>(metres - m);
        ++part;
        if (isAtEnd()) return;
        cursor = PartCursor::inDriveDirection(currentPart(), true);
    }
    float units = metres / currentPart().metresPerUnit;
    if (currentPart().forward)
        cursor.moveForward(units);
    else
        cursor.moveBackward(units);
}

bool PathPosition::isBefore(const PathPosition& a, const PathPosition& b) {
    if (a.isAtEnd()) return false;
    if (b.isAtEnd()) return true;
    if (a.part != b.part) return a.part < b.part;
    return a.currentPart().forward ? PartCursor::isBefore(a.cursor, b.cursor) : PartCursor::isBefore(b.cursor, a.cursor);
}

std::uint32_t PathPosition::distanceTo(const PathPosition& a, const PathPosition& b) {
    const PathPosition& first = isBefore(b, a) ? b : a;
    const PathPosition& second = isBefore(b, a) ? a : b;
    if (first.isAtEnd()) return 0;
    if (!second.isAtEnd() && first.part == second.part)
        return first.currentPart().metres(PartCursor::distance(first.cursor, second.cursor));
    std::uint32_t sum = first.metresToPartEnd();
    const std::size_t last = second.isAtEnd() ? first.path->parts.size() : second.part;
    for (std::size_t i = first.part + 1; i < last; ++i)
        sum += first.path->parts[i].lengthMetres;
    if (!second.isAtEnd()) {
        const PathPart& part = second.currentPart();
        sum += part.metres(PartCursor::distance(PartCursor::inDriveDirection(part, true), second.cursor));
    }
    return sum;
}

bool PathPosition::segmentShorterThan(float metres) const {
    const float units = metres / currentPart().metresPerUnit;
    return units * units > cursor.segmentLengthSquared();
}

Map::LocalPoint PathPosition::delta(const PathPosition& a, const PathPosition& b) {
    const Map::LocalPoint pa = a.levelPoint();
    Map::LocalPoint pb = b.levelPoint();
    const Map::Level* la = a.partLevel();
    const Map::Level* lb = b.partLevel();
    if (la != nullptr && lb != nullptr) pb = MapLevelInfo::convertPoint(*lb, *la, pb);
    return Map::LocalPoint{pb.x - pa.x, pb.y - pa.y};
}

const Map::Level* PathPosition::partLevel() const {
    return isAtEnd() ? nullptr : currentPart().level;
}

std::uint32_t PathPosition::partNameIndex() const {
    return isAtEnd() ? 0 : currentPart().nameIndex;
}

void PathPosition::ensureOnPath() {
    if (!isAtEnd() || path == nullptr || path->parts.empty()) return;
    part = path->parts.size() - 1;
    cursor = PartCursor::inDriveDirection(currentPart(), false);
}

int PathPosition::heading() const {
    if (isAtEnd()) return 0;
    const Map::LocalPoint a = cursor.point();
    const Map::LocalPoint b = cursor.nextPoint();
    const bool forward = currentPart().forward != 0;
    const float dx = forward ? b.x - a.x : a.x - b.x;
    const float dy = forward ? b.y - a.y : a.y - b.y;
    const float along[2] = {dx, dy};
    return Map::headingDegrees(along);
}

int headingChange(int a, int b) {
    int d = b - a;
    if (d > 180) d -= 360;
    if (d < -179) d += 360;
    return d;
}
