#pragma once
// The spatial index of the danger-warn points, queried by the map page. Two
// implementations answer the same queries: MemoryIndex (an R*-tree built
// from the text files) and FileIndex (the same tree read on demand from
// "DangerWarnPoints.idx").

#include "core/RTree.h"
#include "map/proximity/Point.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace Map::Proximity {

using Tree = Core::RTree<Point>;
using Box = Tree::Box;
using Visitor = std::function<void(const Point&)>;

// Every point is indexed with the square box of its warning radius. Bounds
// that would leave the 32-bit plane (a point near longitude 180 or the
// projection's latitude limit) stop at its edge instead of wrapping.
inline std::int32_t clampToPlane(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}
inline Box boxOf(const Point& p) {
    return Box{clampToPlane(std::int64_t{p.x} - p.radius), clampToPlane(std::int64_t{p.y} - p.radius),
               clampToPlane(std::int64_t{p.x} + p.radius), clampToPlane(std::int64_t{p.y} + p.radius)};
}

class Index {
public:
    Index() = default;
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;
    virtual ~Index() = default;

    virtual bool isValid() const = 0;
    virtual std::uint32_t layerCount() const = 0;
    virtual std::uint32_t pointCount() const = 0;
    // Calls the visitor with every point whose box intersects `query` (bounds
    // inclusive); false only on a read error.
    virtual bool queryIntersecting(const Box& query, const Visitor& visitor) = 0;
    // Calls the visitor with every point whose box lies wholly inside `query`.
    virtual bool queryContained(const Box& query, const Visitor& visitor) = 0;
    virtual void resetCacheCounters() = 0;
    // (nodes loaded, points loaded) since the last reset.
    virtual std::pair<std::uint32_t, std::uint32_t> cacheCounters() const = 0;
};

// What the engine keeps: the index (null until loaded) and the two settings
// of the ahead-of-the-car search.
struct IndexHolder {
    std::unique_ptr<Index> index;
    float warningTimeSeconds = 10.0f;
    std::int32_t sectorHalfWidthDegrees = 10;
};

} // namespace Map::Proximity
