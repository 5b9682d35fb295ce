#include "userdata/TrackPainter.h"

#include "render/Bands.h"
#include "render/MapCamera.h"

#include <algorithm>

TrackPainter::TrackPainter(const xe::Canvas& canvas, MapCamera& camera, std::uint16_t lineSize,
                           std::uint32_t colour, std::vector<xe::Point>& points,
                           std::vector<std::int64_t>& steps)
    : m_canvas(canvas), m_camera(camera),
      // The thick polyline offsets both sides by the line size: a track is
      // drawn twice its line size wide (and its edge rows), so the default
      // size of 1 is still plain to see while driving.
      m_halfWidth(static_cast<float>(lineSize)),
      m_pixel(SDL_MapRGBA(canvas.surface->format, static_cast<Uint8>(colour), static_cast<Uint8>(colour >> 8),
                          static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 24))),
      m_points(points), m_steps(steps) {
    m_points.clear();
}

void TrackPainter::addPointAfterGap(bool segmentStart, Map::Point point) {
    if (segmentStart) flush();
    addPoint(point);
}

void TrackPainter::addPoint(Map::Point point) {
    xe::Point screen;
    if (!m_camera.mapToScreen(point, screen)) {
        flush();
        return;
    }
    if (!m_points.empty() && m_points.back() == screen) return;
    m_points.push_back(screen);
}

namespace {

std::int64_t squaredStep(const xe::Point& a, const xe::Point& b) {
    const std::int64_t dx = std::int64_t{b.x} - a.x;
    const std::int64_t dy = std::int64_t{b.y} - a.y;
    return dx * dx + dy * dy;
}

} // namespace

std::int64_t trackStepThreshold(const xe::Point* points, std::size_t n, std::vector<std::int64_t>& window) {
    const std::size_t k = std::max<std::size_t>(n / 20, 1);
    window.clear();
    std::int64_t sum = 0;
    // window holds the k smallest steps met so far in [0, k) and the k
    // largest in [k, 2k), each half sorted; what either half pushes out
    // (or what falls between them) is summed.
    for (std::size_t i = 1; i < n; ++i) {
        const std::int64_t s = squaredStep(points[i - 1], points[i]);
        if (window.size() < 2 * k) {
            window.insert(std::upper_bound(window.begin(), window.end(), s), s);
            continue;
        }
        const auto low = window.begin();
        const auto high = window.begin() + static_cast<std::ptrdiff_t>(k);
        if (s < *(high - 1)) {
            sum += *(high - 1);
            const auto at = std::upper_bound(low, high - 1, s);
            std::move_backward(at, high - 1, high);
            *at = s;
        } else if (s > *high) {
            sum += *high;
            const auto at = std::upper_bound(high + 1, window.end(), s);
            std::move(high + 1, at, high);
            *(at - 1) = s;
        } else {
            sum += s;
        }
    }
    const std::int64_t m = static_cast<std::int64_t>(n) - 2 * static_cast<std::int64_t>(k) - 1;
    const std::int64_t mean = m > 0 ? sum / m : squaredStep(points[0], points[1]);
    return 9 * mean;
}

void TrackPainter::flush() {
    const std::size_t n = m_points.size();
    if (n > 1) {
        const std::int64_t threshold = trackStepThreshold(m_points.data(), n, m_steps);
        std::size_t start = 0;
        for (std::size_t j = 1; j < n; ++j) {
            if (squaredStep(m_points[j - 1], m_points[j]) > threshold) {
                drawRun(start, j);
                start = j;
            }
        }
        drawRun(start, n);
    }
    m_points.clear();
}

void TrackPainter::drawRun(std::size_t first, std::size_t end) {
    if (end - first < 2) return;
    xe::drawThickPolyline(m_canvas, m_points.data() + first, static_cast<int>(end - first), m_halfWidth,
                          m_pixel);
}
