#include "render/CaptionGeometry.h"

#include <algorithm>
#include <cmath>

namespace Render {

bool OrientedBox::overlaps(const OrientedBox& b) const {
    constexpr float slack = 1.1920929e-6f;
    const float ax[2][2] = {{axisX, axisY}, {-axisY, axisX}};
    const float bx[2][2] = {{b.axisX, b.axisY}, {-b.axisY, b.axisX}};
    const float ah[2] = {halfWidth, halfHeight};
    const float bh[2] = {b.halfWidth, b.halfHeight};
    const float tx = b.centreX - centreX, ty = b.centreY - centreY;
    float r[2][2], absR[2][2];
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            r[i][j] = ax[i][0] * bx[j][0] + ax[i][1] * bx[j][1];
            absR[i][j] = std::fabs(r[i][j]) + slack;
        }
    // A's axes.
    for (int i = 0; i < 2; ++i) {
        const float distance = std::fabs(tx * ax[i][0] + ty * ax[i][1]);
        if (distance > ah[i] + bh[0] * absR[i][0] + bh[1] * absR[i][1]) return false;
    }
    // B's axes.
    for (int j = 0; j < 2; ++j) {
        const float distance = std::fabs(tx * bx[j][0] + ty * bx[j][1]);
        if (distance > bh[j] + ah[0] * absR[0][j] + ah[1] * absR[1][j]) return false;
    }
    return true;
}

IconBox IconBox::of(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    const std::uint32_t* caption) {
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    return IconBox{OrientedBox{static_cast<float>(left) + w / 2.0f, static_cast<float>(top) + h / 2.0f, 1.0f, 0.0f,
                               std::max(w / 2.0f - 0.5f, 0.0f), std::max(h / 2.0f - 0.5f, 0.0f)},
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
