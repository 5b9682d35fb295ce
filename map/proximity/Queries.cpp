#include "map/proximity/Queries.h"

#include "map/UnitsPerMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace Map::Proximity {
namespace {

constexpr float kDegrees = 3.14159265358979f / 180.0f;

std::int64_t floorRound(double v) { return static_cast<std::int64_t>(std::floor(v + 0.5)); }

std::int32_t clampedRound(double v) {
    if (!(v == v))
        return 0;
    return clampToPlane(floorRound(std::clamp(v, -4.0e9, 4.0e9)));
}

} // namespace

std::uint64_t roundedSquareRoot(std::uint64_t n) {
    // The double root may be one off for large n; r stays below 2^32 so
    // that its square cannot wrap.
    std::uint64_t r = std::min<std::uint64_t>(static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n))),
                                              0xFFFFFFFFull);
    while (r * r > n)
        --r;
    while (r < 0xFFFFFFFFull && (r + 1) * (r + 1) <= n)
        ++r;
    return n - r * r > r ? r + 1 : r;
}

std::int32_t angleDelta(std::int32_t a, std::int32_t b) {
    std::int64_t d = std::int64_t{a} - b;
    if (d >= -180 && d < 180)
        return static_cast<std::int32_t>(d);
    d = (d + 180) % 360;
    if (d < 0)
        d += 360;
    return static_cast<std::int32_t>(d - 180);
}

bool findNearest(Map::Point at, std::int32_t radius, IndexHolder& holder, Point& out) {
    if (!holder.index)
        return false;
    const std::int64_t r = radius;
    const Box box{clampToPlane(at.x - r), clampToPlane(at.y - r), clampToPlane(at.x + r), clampToPlane(at.y + r)};
    const std::uint64_t limit = static_cast<std::uint64_t>(r * r);
    std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
    const bool ok = holder.index->queryIntersecting(box, [&](const Point& p) {
        // Each square fits 64 unsigned bits; their sum needs one more.
        const std::uint64_t dx = static_cast<std::uint64_t>(std::llabs(std::int64_t{p.x} - at.x));
        const std::uint64_t dy = static_cast<std::uint64_t>(std::llabs(std::int64_t{p.y} - at.y));
        const unsigned __int128 d2 = static_cast<unsigned __int128>(dx * dx) + dy * dy;
        if (d2 < limit && d2 < best) {
            best = static_cast<std::uint64_t>(d2);
            out = p;
        }
    });
    return ok && best != std::numeric_limits<std::uint64_t>::max();
}

EventsSearch EventsSearch::make(Map::Point at, float u, float v, float heading, float warningTime,
                                std::int32_t sectorHalfWidth) {
    EventsSearch s;
    s.position = at;
    s.speed = clampedRound(static_cast<double>(v) * 10.0);
    s.heading = clampedRound(heading);
    s.scale = u * u * 0.01f;
    s.vx = clampedRound(static_cast<double>(std::sin(heading * kDegrees) * u * v));
    s.vy = clampedRound(static_cast<double>(std::cos(heading * kDegrees) * u * v));
    s.warningTime = warningTime;
    s.sectorHalfWidth = sectorHalfWidth;
    return s;
}

bool EventsSearch::eventOf(const Point& point, ProximityEvent& event) const {
    const std::int64_t dx = std::int64_t{point.x} - position.x;
    const std::int64_t dy = std::int64_t{point.y} - position.y;
    // Points reach the search only through a box around the car, so both
    // differences are far below 2^31 in practice; saturate to stay defined.
    const std::uint64_t d2 =
        (std::llabs(dx) >= (1ll << 31) || std::llabs(dy) >= (1ll << 31))
            ? std::numeric_limits<std::uint64_t>::max()
            : static_cast<std::uint64_t>(dx * dx) + static_cast<std::uint64_t>(dy * dy);
    const std::int64_t radius = point.radius;
    std::uint32_t flags = 0;
    if (radius != 0 && d2 <= static_cast<std::uint64_t>(radius * radius))
        flags |= ProximityEvent::Inside;

    if (const std::uint32_t kind = point.directionKind(); kind != 0) {
        std::int32_t h = heading + 180;
        if (h > 359)
            h -= 360;
        const auto dir = static_cast<std::int32_t>(point.direction());
        if (std::abs(angleDelta(h, dir)) > sectorHalfWidth) {
            if (kind == 1)
                return false;
            if (kind == 2 && std::abs(angleDelta(heading, dir)) > sectorHalfWidth)
                return false;
        }
    }

    if (const std::uint32_t limit = point.speedLimit(); limit != 0) {
        const std::int64_t projection = std::int64_t{vy} * dy + std::int64_t{vx} * dx;
        if (projection <= 0)
            return false;
        if (speed > static_cast<std::int64_t>(limit))
            flags |= ProximityEvent::OverSpeed;
        if ((flags & ProximityEvent::Inside) == 0) {
            const double dist = static_cast<double>(roundedSquareRoot(d2));
            const double reach = std::floor(static_cast<double>(projection) / dist * warningTime +
                                            static_cast<double>(radius) + 0.5);
            if (static_cast<double>(d2) <= reach * reach)
                flags |= ProximityEvent::Reached;
        }
    }
    if ((flags & (ProximityEvent::Inside | ProximityEvent::Reached)) == 0)
        return false;

    std::uint64_t decimetres = 0;
    if (scale != 0.0f)
        decimetres = roundedSquareRoot(
            static_cast<std::uint64_t>(std::floor(static_cast<double>(d2) / static_cast<double>(scale) + 0.5)));
    event.point = point;
    event.flags = flags | (static_cast<std::uint32_t>(std::min<std::uint64_t>(decimetres, ProximityEvent::DistanceMask)));
    return true;
}

bool findEvents(IndexHolder& holder, std::vector<ProximityEvent>& results, Map::Point at, float speedMetresPerSecond,
                float headingDegrees) {
    if (!holder.index || !holder.index->isValid())
        return false;
    const float u = Projection::unitsPerMeterAt(at);
    const EventsSearch search = EventsSearch::make(at, u, speedMetresPerSecond, headingDegrees,
                                                   holder.warningTimeSeconds, holder.sectorHalfWidthDegrees);
    std::int64_t r = floorRound(static_cast<double>(u) * speedMetresPerSecond * holder.warningTimeSeconds);
    r = std::clamp<std::int64_t>(r, 1, std::numeric_limits<std::int32_t>::max());
    const Box box{clampToPlane(at.x - r), clampToPlane(at.y - r), clampToPlane(at.x + r), clampToPlane(at.y + r)};
    return holder.index->queryIntersecting(box, [&](const Point& p) {
        ProximityEvent event;
        if (search.eventOf(p, event))
            results.push_back(event);
    });
}

std::uint16_t poiTypeOf(std::uint32_t kind, std::uint32_t speedLimit) {
    switch (kind) {
    case 1: return 0xC000;
    case 2: return 0xC100;
    case 3: return 0xC101;
    case 4: return 0xC102;
    case 5: return 0xC200;
    case 6: return 0xF203;
    case 7: {
        const std::uint32_t kmh = (36 * speedLimit + 50) / 100;
        if (kmh == 5)
            return 0xC30A;
        const std::uint32_t tens = (kmh + 5) / 10;
        switch (tens) {
        case 1: return 0xC30B;
        case 2: return 0xC30C;
        case 3: return 0xC30D;
        default: break;
        }
        // A limit below 5 km/h has no sign of its own: the plain
        // danger-point icon stands for it.
        if (tens == 0)
            return 0xD000;
        return static_cast<std::uint16_t>(0xC301 + (tens - 4) % 9);
    }
    case 8: return 0xD003;
    case 9: return 0xF204;
    case 10: return 0xD001;
    case 11: return 0xD002;
    default: return 0xD000;
    }
}

} // namespace Map::Proximity
