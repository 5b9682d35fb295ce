#pragma once
// The one-pixel move of a 3D border line away from its band, inline: every
// line of a perspective band's border takes it.

#include "render/detail/Raster.h"

#include <cstdint>

namespace xe::detail {

// nudgeAway for points whose coordinates all lie in -2^29 .. 2^29 - 1
// (the caller knows it).
inline void nudgeAwayNear(Point64& a, Point64& b, Point64 p) {
    const std::int64_t dx = b.x - a.x;
    const std::int64_t dy = b.y - a.y;
    // Which side of the line p lies on.
    const std::int64_t s = dx * (p.y - a.y) - dy * (p.x - a.x);
    const std::int64_t side = (s > 0) - (s < 0);
    if ((dx < 0 ? -dx : dx) <= (dy < 0 ? -dy : dy)) {
        // Steep: the line lies right of p when s / dy > 0.
        const std::int64_t step = side * ((dy > 0) - (dy < 0)) >= 0 ? 1 : -1;
        a.x += step;
        b.x += step;
    } else {
        // The line lies below p when -s / dx > 0.
        const std::int64_t step = -side * ((dx > 0) - (dx < 0)) >= 0 ? 1 : -1;
        a.y += step;
        b.y += step;
    }
}

// nudgeOutward(a, b, p, false) for screen points (at most 2^40 off): the
// line a-b moved one pixel away from p, across its major direction. In 64
// bits when every coordinate lies within 2^29 (the side product then stays
// below 2^62), as border lines on and near the canvas do.
inline void nudgeAway(Point64& a, Point64& b, Point64 p) {
    constexpr std::int64_t kSmall = std::int64_t{1} << 29;
    const std::uint64_t spread =
        static_cast<std::uint64_t>(a.x + kSmall) | static_cast<std::uint64_t>(a.y + kSmall) |
        static_cast<std::uint64_t>(b.x + kSmall) | static_cast<std::uint64_t>(b.y + kSmall) |
        static_cast<std::uint64_t>(p.x + kSmall) | static_cast<std::uint64_t>(p.y + kSmall);
    if (spread >= static_cast<std::uint64_t>(2 * kSmall)) [[unlikely]] {
        nudgeOutward(a, b, p, false);
        return;
    }
    nudgeAwayNear(a, b, p);
}

} // namespace xe::detail
