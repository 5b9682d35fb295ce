#include "render/RendererBase.h"

#include "render/Numeric.h"

#include <cstdlib>

namespace xe {

void RendererBase::drawArrows(const Canvas& canvas, const Point* points, const Point* normals,
                              std::int32_t normalLength, int count, float size, std::uint32_t colour) {
    if (count < 2 || normalLength == 0) return;
    const std::int64_t arrowLength = floorToInt(size * 1.5f + 0.5f);
    const float unit = size / static_cast<float>(normalLength);
    const float k = 1.5f * unit;
    std::int64_t spacing = 0; // distance still to go before the next arrow
    for (int i = 0; i + 1 < count; ++i) {
        const Point& p = points[i];
        const Point& q = points[i + 1];
        const Point& n = normals[i];
        const std::uint64_t dx = static_cast<std::uint64_t>(std::llabs(std::int64_t{p.x} - q.x));
        const std::uint64_t dy = static_cast<std::uint64_t>(std::llabs(std::int64_t{p.y} - q.y));
        // Each square is below 2^64; their sum is saturated.
        const std::uint64_t dx2 = dx * dx;
        const std::uint64_t dy2 = dy * dy;
        const std::uint64_t squared = dx2 > UINT64_MAX - dy2 ? UINT64_MAX : dx2 + dy2;
        const std::int64_t length = static_cast<std::int64_t>(isqrt64(squared));
        const std::int64_t half = length / 2;
        if (spacing > half) {
            spacing -= length;
            continue;
        }
        if (half <= arrowLength) {
            spacing = 0;
            continue;
        }
        const float mx = static_cast<float>(std::int64_t{p.x} + q.x) * 0.5f;
        const float my = static_cast<float>(std::int64_t{p.y} + q.y) * 0.5f;
        const float nx = static_cast<float>(n.x);
        const float ny = static_cast<float>(n.y);
        auto round = [](float v) { return floorToInt(v + 0.5f); };
        const Point arrow[3] = {{round(mx - 2.0f * k * ny), round(my + 2.0f * k * nx)},
                                {round(mx + unit * nx), round(my + unit * ny)},
                                {round(mx - unit * nx), round(my - unit * ny)}};
        fillPolygon(canvas, arrow, 3, colour);
        spacing = 4 * arrowLength - half;
    }
}

void RendererBase::drawPolygonOutline(const Canvas& canvas, std::int32_t frameSize, const Point* points,
                                      int count, std::uint32_t colour) {
    if (count < 1) return;
    auto onFrame = [frameSize](const Point& p) {
        return p.x == 0 || p.y == 0 || p.x == frameSize || p.y == frameSize;
    };
    run_.clear();
    bool lastOnFrame = false;
    for (int i = 0; i < count; ++i) {
        const Point& p = points[i];
        if (!onFrame(p)) {
            run_.push_back(p);
            lastOnFrame = false;
            continue;
        }
        if (!lastOnFrame && !run_.empty()) {
            run_.push_back(p);
            drawPolylineInterior(canvas, run_.data(), static_cast<int>(run_.size()), colour);
        }
        run_.clear();
        run_.push_back(p);
        lastOnFrame = true;
    }
    if (!run_.empty()) {
        if (!onFrame(points[0])) run_.push_back(points[0]);
        drawPolylineInterior(canvas, run_.data(), static_cast<int>(run_.size()), colour);
    }
}

} // namespace xe
