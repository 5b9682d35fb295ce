#include "routing/Path.h"

#include "map/KVMap2.h"
#include "map/Level.h"
#include "map/UnitsPerMeter.h"
#include "routing/ManoeuvreTypes.h"
#include "routing/PathPosition.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

float segmentLength(Map::LocalPoint a, Map::LocalPoint b) {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    return std::sqrt(dx * dx + dy * dy);
}

// The two pieces of a part cut at a cursor: the geometry before the
// cursor's point and the geometry after it, the point ending one and
// starting the other.
void splitAt(const PartCursor& at, PathPart& head, PathPart& tail) {
    const PathPart& part = *at.part;
    for (PathPart* piece : {&head, &tail}) {
        *piece = PathPart{};
        piece->map = part.map;
        piece->level = part.level;
        piece->roadClass = part.roadClass;
        piece->nameIndex = part.nameIndex;
        piece->segmentId = part.segmentId;
        piece->metresPerUnit = part.metresPerUnit;
        piece->forward = part.forward;
        piece->legIndex = part.legIndex;
    }
    const Map::LocalPoint cut{at.x, at.y};
    for (std::size_t i = 0; i < part.polylines.size(); ++i) {
        const PathPolyline& line = part.polylines[i];
        if (i < at.polyline) {
            head.polylines.push_back(line);
        } else if (i > at.polyline) {
            tail.polylines.push_back(line);
        } else {
            PathPolyline first{{}, line.cellX, line.cellY};
            PathPolyline second{{}, line.cellX, line.cellY};
            // A cut at a point of the line is not put in twice: a piece
            // of no length at the cut would give the part no heading there.
            const auto same = [&](const Map::LocalPoint& p) { return p.x == cut.x && p.y == cut.y; };
            first.points.assign(line.points.begin(), line.points.begin() + at.segmentIndex + 1);
            if (first.points.size() < 2 || !same(first.points.back())) first.points.push_back(cut);
            second.points.push_back(cut);
            auto rest = line.points.begin() + at.segmentIndex + 1;
            if (rest != line.points.end() && line.points.end() - rest > 1 && same(*rest)) ++rest;
            second.points.insert(second.points.end(), rest, line.points.end());
            head.polylines.push_back(std::move(first));
            tail.polylines.push_back(std::move(second));
        }
    }
    head.lengthMetres = head.metres(head.geometricLength());
    tail.lengthMetres = tail.metres(tail.geometricLength());
}

// Splits a part at the projection of a level point of `level`; false when
// the point projects onto none of its polylines.
bool splitAtPoint(const PathPart& part, const Map::Level& level, Map::LocalPoint point, PathPart& head,
                  PathPart& tail) {
    if (part.level != &level && part.level != nullptr) point = MapLevelInfo::convertPoint(level, *part.level, point);
    PartCursor at;
    float distanceSquared = 0.0f;
    if (!PartCursor::project(part, point, at, distanceSquared)) return false;
    splitAt(at, head, tail);
    return true;
}

} // namespace

double PathPart::geometricLength() const {
    double sum = 0.0;
    for (const PathPolyline& line : polylines)
        for (std::size_t i = 1; i < line.points.size(); ++i)
            sum += segmentLength(line.points[i - 1], line.points[i]);
    return sum;
}

void PathPart::setMetresPerUnit(std::uint16_t storedLength) {
    const double g = geometricLength();
    if (storedLength != 0 && std::fabs(g) >= 1e-15) {
        metresPerUnit = static_cast<float>(storedLength / g);
        return;
    }
    metresPerUnit = 0.0f;
    if (level == nullptr || polylines.empty() || polylines.front().points.empty()) return;
    const Map::LevelFrame frame = Map::LevelFrame::of(*level);
    const PathPolyline& line = polylines.front();
    const double cell = std::ldexp(1.0, level->cellShift());
    const Map::LocalPoint first{static_cast<float>(line.cellX * cell + line.points.front().x),
                                static_cast<float>(line.cellY * cell + line.points.front().y)};
    const float unitsPerMetre = Map::Projection::unitsPerMeterAt(frame.toGlobal(first));
    metresPerUnit = static_cast<float>(frame.unit() / unitsPerMetre);
}

std::uint16_t PathPart::metres(double units) const {
    const double m = std::trunc(std::fabs(units) * metresPerUnit + 0.5);
    if (!(m > 0.0)) return 0;
    return m >= 65535.0 ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(m);
}

Path::Path(const PathPoint& point) {
    points.push_back(point);
}

Path::Path(const PathPoint& a, const PathPoint& b, const Path& legParts)
    : parts(legParts.parts), points(legParts.points), legCount(1) {
    points.push_back(a);
    points.push_back(b);
}

void Path::shiftLegs(std::size_t first, std::size_t last, std::uint16_t amount, bool add) {
    for (std::size_t i = first; i < last && i < parts.size(); ++i)
        parts[i].legIndex = static_cast<std::uint16_t>(add ? parts[i].legIndex + amount : parts[i].legIndex - amount);
}

void Path::setLegBoundaryManoeuvres() {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i == 0)
            parts[i].manoeuvre = 0;
        else if (parts[i].legIndex != parts[i - 1].legIndex)
            parts[i].manoeuvre = RoutePointManoeuvre;
    }
}

void Path::markChanged() {
    for (std::uint8_t* flag : changeFlags)
        *flag = 1;
}

void Path::markPointsLost() {
    for (PathPointWatcher* watcher : watchers)
        watcher->changed = 1;
}

void Path::appendPath(const Path& src) {
    const std::size_t before = parts.size();
    parts.insert(parts.end(), src.parts.begin(), src.parts.end());
    shiftLegs(before, parts.size(), legCount, true);
    legCount = static_cast<std::uint16_t>(legCount + src.legCount);
    // src's first point is this path's last; a path without points takes
    // them all, and a source without points brings none (and no offset).
    const std::size_t pointsBefore = points.size();
    const std::size_t skip = pointsBefore > 0 && !src.points.empty() ? 1 : 0;
    points.insert(points.end(), src.points.begin() + static_cast<std::ptrdiff_t>(skip), src.points.end());
    const std::size_t raise = pointsBefore > 0 ? pointsBefore - 1 : 0;
    for (PathPointWatcher* watcher : src.watchers) {
        watcher->pointIndex = static_cast<std::uint16_t>(watcher->pointIndex + raise);
        watchers.push_back(watcher);
    }
    if (legCount != 0) setLegBoundaryManoeuvres();
    markChanged();
}

void Path::prependPath(const Path& src) {
    shiftLegs(0, parts.size(), src.legCount, true);
    parts.insert(parts.begin(), src.parts.begin(), src.parts.end());
    legCount = static_cast<std::uint16_t>(legCount + src.legCount);
    const std::size_t skip = !points.empty() && !src.points.empty() ? 1 : 0;
    const std::size_t inserted = src.points.size() - skip;
    points.insert(points.begin(), src.points.begin(), src.points.end() - static_cast<std::ptrdiff_t>(skip));
    for (PathPointWatcher* watcher : watchers)
        watcher->pointIndex = static_cast<std::uint16_t>(watcher->pointIndex + inserted);
    watchers.insert(watchers.begin(), src.watchers.begin(), src.watchers.end());
    if (legCount != 0) setLegBoundaryManoeuvres();
    markChanged();
}

void Path::replaceLeg(std::uint16_t n, const Path& legPath) {
    std::size_t first = 0;
    while (first < parts.size() && parts[first].legIndex < n)
        ++first;
    std::size_t last = first;
    while (last < parts.size() && parts[last].legIndex <= n)
        ++last;
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(first), parts.begin() + static_cast<std::ptrdiff_t>(last));
    parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(first), legPath.parts.begin(), legPath.parts.end());
    const std::size_t behind = first + legPath.parts.size();
    shiftLegs(first, behind, n, true);
    // Legs behind move by legPath.legCount - 1, which may be negative.
    if (legPath.legCount >= 1)
        shiftLegs(behind, parts.size(), static_cast<std::uint16_t>(legPath.legCount - 1), true);
    else
        shiftLegs(behind, parts.size(), 1, false);
    legCount = static_cast<std::uint16_t>(legCount + legPath.legCount - 1);
    for (std::size_t k = 1; k + 1 < legPath.points.size(); ++k) {
        const std::size_t at = std::min<std::size_t>(n + k, points.size());
        points.insert(points.begin() + static_cast<std::ptrdiff_t>(at), legPath.points[k]);
        for (PathPointWatcher* watcher : watchers)
            if (watcher->pointIndex >= at) ++watcher->pointIndex;
    }
    setLegBoundaryManoeuvres();
    markChanged();
}

void Path::appendPart(const PathPart& part) {
    parts.push_back(part);
    parts.back().legIndex = 0;
}

void Path::partsOfLeg(std::uint16_t n, Path& out) const {
    out.parts.clear();
    for (const PathPart& part : parts)
        if (part.legIndex == n) out.parts.push_back(part);
}

void Path::removeFirstPoint() {
    if (points.empty()) return;
    points.erase(points.begin());
    for (PathPointWatcher* watcher : watchers) {
        if (watcher->pointIndex == 0)
            watcher->changed = 1;
        else
            --watcher->pointIndex;
    }
}

void Path::removePassedLeg(const PathPosition& position) {
    if (parts.empty()) return;
    if (position.isAtEnd()) {
        clear();
        return;
    }
    const std::uint16_t n = parts.at(position.part).legIndex;
    std::size_t last = position.part;
    while (last + 1 < parts.size() && parts[last + 1].legIndex == n)
        ++last;
    parts.erase(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(last + 1));
    shiftLegs(0, parts.size(), static_cast<std::uint16_t>(n + 1), false);
    legCount = static_cast<std::uint16_t>(legCount - (n + 1));
    for (std::uint32_t i = 0; i <= n; ++i)
        removeFirstPoint();
    markChanged();
}

void Path::keepStartOnly() {
    parts.clear();
    if (points.size() > 1) points.resize(1);
    for (PathPointWatcher* watcher : watchers)
        if (watcher->pointIndex != 0) watcher->changed = 1;
    legCount = 0;
    markChanged();
}

void Path::clear() {
    parts.clear();
    points.clear();
    markPointsLost();
    legCount = 0;
    markChanged();
}

void Path::clearPoints() {
    points.clear();
    markPointsLost();
}

void Path::trimFront(const Map::Level& level, Map::LocalPoint point) {
    if (parts.empty()) return;
    PathPart& part = parts.front();
    PathPart head;
    PathPart tail;
    if (!splitAtPoint(part, level, point, head, tail)) return;
    // Keep what is driven after the point.
    part = part.forward ? std::move(tail) : std::move(head);
    markChanged();
}

void Path::trimBack(std::size_t partIndex, const Map::Level& level, Map::LocalPoint point) {
    if (partIndex >= parts.size()) return;
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(partIndex + 1), parts.end());
    PathPart& part = parts.back();
    PathPart head;
    PathPart tail;
    if (!splitAtPoint(part, level, point, head, tail)) return;
    const std::uint32_t manoeuvre = part.manoeuvre;
    const std::uint16_t aux = part.manoeuvreAux;
    // Keep what is driven before the point.
    part = part.forward ? std::move(head) : std::move(tail);
    part.manoeuvre = manoeuvre;
    part.manoeuvreAux = aux;
    markChanged();
}

void Path::removeChangeFlag(std::uint8_t* flag) {
    const auto it = std::find(changeFlags.begin(), changeFlags.end(), flag);
    if (it != changeFlags.end()) changeFlags.erase(it);
}

void Path::removeWatcher(PathPointWatcher* watcher) {
    const auto it = std::find(watchers.begin(), watchers.end(), watcher);
    if (it != watchers.end()) watchers.erase(it);
}

bool Path::nearestPart(const Map::Level& level, Map::LocalPoint point, PathPosition& out) const {
    float best = std::numeric_limits<float>::infinity();
    bool found = false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const PathPart& part = parts[i];
        if (part.level == nullptr) continue;
        const Map::LocalPoint local = part.level == &level ? point : MapLevelInfo::convertPoint(level, *part.level, point);
        PartCursor cursor;
        float d = 0.0f;
        if (!PartCursor::project(part, local, cursor, d)) continue;
        if (!found || d < best) {
            best = d;
            found = true;
            out.path = this;
            out.part = i;
            out.cursor = cursor;
        }
    }
    if (!found) {
        out = PathPosition{};
        out.path = this;
        out.part = parts.size();
    }
    return found;
}

Map::LocalPoint MapLevelInfo::convertPoint(const Map::Level& source, const Map::Level& target, Map::LocalPoint point) {
    if (&source == &target) return point;
    const Map::LevelFrame from = Map::LevelFrame::of(source);
    const Map::LevelFrame to = Map::LevelFrame::of(target);
    // Both frames count from their origin; the origins' difference is taken
    // in global units with 32-bit wrap, as LevelFrame::toLocal does.
    const auto dx = static_cast<std::int32_t>((from.originX << from.originShift()) - (to.originX << to.originShift()));
    const auto dy = static_cast<std::int32_t>((from.originY << from.originShift()) - (to.originY << to.originShift()));
    const double us = from.unit();
    const double ut = to.unit();
    return Map::LocalPoint{static_cast<float>((dx + static_cast<double>(point.x) * us) / ut),
                           static_cast<float>((dy + static_cast<double>(point.y) * us) / ut)};
}
