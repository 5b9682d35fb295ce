#include "render/CaptionGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Render {

namespace {

// The four separating axes of two boxes (the first box's two, then the
// second's), each with the sum of both boxes' half sizes projected on it.
struct SeparatingAxes {
    float x[4], y[4], reach[4];
};

SeparatingAxes separatingAxes(const OrientedBox& a, const OrientedBox& b) {
    constexpr float slack = 1.1920929e-6f;
    const float ax[2][2] = {{a.axisX, a.axisY}, {-a.axisY, a.axisX}};
    const float bx[2][2] = {{b.axisX, b.axisY}, {-b.axisY, b.axisX}};
    const float ah[2] = {a.halfWidth, a.halfHeight};
    const float bh[2] = {b.halfWidth, b.halfHeight};
    float absR[2][2];
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            absR[i][j] = std::fabs(ax[i][0] * bx[j][0] + ax[i][1] * bx[j][1]) + slack;
    SeparatingAxes axes;
    for (int i = 0; i < 2; ++i) {
        axes.x[i] = ax[i][0];
        axes.y[i] = ax[i][1];
        axes.reach[i] = ah[i] + bh[0] * absR[i][0] + bh[1] * absR[i][1];
    }
    for (int j = 0; j < 2; ++j) {
        axes.x[2 + j] = bx[j][0];
        axes.y[2 + j] = bx[j][1];
        axes.reach[2 + j] = bh[j] + ah[0] * absR[0][j] + ah[1] * absR[1][j];
    }
    return axes;
}

// Boxes whose centres lie farther apart than this never overlap, with room
// for the slack against rounding.
float reachOf(const OrientedBox& a, const OrientedBox& b) {
    return a.extent() + b.extent() + 1.0f;
}

} // namespace

float OrientedBox::extent() const {
    return std::fabs(halfWidth) + std::fabs(halfHeight);
}

bool OrientedBox::overlaps(const OrientedBox& b) const {
    const float tx = b.centreX - centreX, ty = b.centreY - centreY;
    const float reach = reachOf(*this, b);
    if (tx * tx + ty * ty > reach * reach) return false;
    const SeparatingAxes axes = separatingAxes(*this, b);
    for (int i = 0; i < 4; ++i)
        if (std::fabs(tx * axes.x[i] + ty * axes.y[i]) > axes.reach[i]) return false;
    return true;
}

bool OrientedBox::overlapsAlong(const OrientedBox& b, float dirX, float dirY, float& from, float& to) const {
    const float tx = b.centreX - centreX, ty = b.centreY - centreY;
    // The other box lies too far beside the line this one moves on.
    if (std::fabs(tx * dirY - ty * dirX) > reachOf(*this, b)) return false;
    const SeparatingAxes axes = separatingAxes(*this, b);
    from = -std::numeric_limits<float>::infinity();
    to = std::numeric_limits<float>::infinity();
    // Along each axis the centres are |d - t v| apart once this box moved by t.
    for (int i = 0; i < 4; ++i) {
        const float d = tx * axes.x[i] + ty * axes.y[i];
        const float v = dirX * axes.x[i] + dirY * axes.y[i];
        if (std::fabs(v) < 1e-6f) {
            if (std::fabs(d) > axes.reach[i]) return false;
            continue;
        }
        const float first = (d - axes.reach[i]) / v, second = (d + axes.reach[i]) / v;
        from = std::max(from, std::min(first, second));
        to = std::min(to, std::max(first, second));
    }
    return from <= to;
}

IconBox IconBox::of(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    const std::uint32_t* caption) {
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    return IconBox{OrientedBox{static_cast<float>(left) + w / 2.0f, static_cast<float>(top) + h / 2.0f, 1.0f,
                               0.0f, std::max(w / 2.0f - 0.5f, 0.0f), std::max(h / 2.0f - 0.5f, 0.0f)},
                   caption};
}

bool solve2x2(float a11, float a21, float a12, float a22, float b1, float b2, float& p, float& q) {
    if (std::fabs(a11) < 0.001f) {
        std::swap(a11, a21);
        std::swap(a12, a22);
        std::swap(b1, b2);
    }
    if (a11 == 0.0f) return false;
    const float factor = a21 / a11;
    const float pivot = a22 - factor * a12;
    if (pivot == 0.0f) return false;
    q = (b2 - factor * b1) / pivot;
    p = (b1 - a12 * q) / a11;
    return true;
}

namespace {

enum : unsigned { Left = 1, Right = 2, Below = 4, Above = 8 };

unsigned regionOf(std::int64_t x, std::int64_t y, const ClipBox& box) {
    unsigned code = 0;
    if (x < box.left)
        code |= Left;
    else if (x > box.right)
        code |= Right;
    if (y > box.bottom)
        code |= Below;
    else if (y < box.top)
        code |= Above;
    return code;
}

// Moves (x, y) along the segment's direction (dx, dy) onto the first edge
// its region code names; false when the direction cannot reach that edge.
bool moveOnto(std::int64_t& x, std::int64_t& y, std::int64_t dx, std::int64_t dy, unsigned code,
              const ClipBox& box) {
    const std::int64_t ox = x, oy = y;
    if ((code & (Left | Right)) && dx != 0) {
        const std::int64_t edge = (code & Left) ? box.left : box.right;
        const std::int64_t ny = oy + (edge - ox) * dy / dx;
        if (ny >= box.top && ny <= box.bottom) {
            x = edge;
            y = ny;
            return true;
        }
    }
    if ((code & (Below | Above)) && dy != 0) {
        const std::int64_t edge = (code & Above) ? box.top : box.bottom;
        const std::int64_t nx = ox + (edge - oy) * dx / dy;
        if (nx >= box.left && nx <= box.right) {
            x = nx;
            y = edge;
            return true;
        }
    }
    // The segment passes the rectangle's corner without entering it.
    return false;
}

} // namespace

bool clipSegment(std::int32_t& x1, std::int32_t& y1, std::int32_t& x2, std::int32_t& y2, const ClipBox& box) {
    const unsigned first = regionOf(x1, y1, box);
    const unsigned second = regionOf(x2, y2, box);
    if ((first | second) == 0) return true;
    if (first & second) return false;
    std::int64_t ax = x1, ay = y1, bx = x2, by = y2;
    const std::int64_t dx = bx - ax, dy = by - ay;
    if (first && !moveOnto(ax, ay, dx, dy, first, box)) return false;
    if (second && !moveOnto(bx, by, dx, dy, second, box)) return false;
    x1 = static_cast<std::int32_t>(ax);
    y1 = static_cast<std::int32_t>(ay);
    x2 = static_cast<std::int32_t>(bx);
    y2 = static_cast<std::int32_t>(by);
    return true;
}

} // namespace Render
