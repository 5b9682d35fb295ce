#include "render/Bands.h"

#include "render/Fill.h"
#include "render/Lines.h"
#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/detail/CapPatterns.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/QuadScan.h"
#include "render/detail/Raster.h"
#include "render/detail/RowRuns.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>
#include <cmath>

namespace xe {

using detail::CapPatterns;
using detail::CapRun;
using detail::i128;
using detail::i64;
using detail::Point64;
using detail::RowRuns;
using detail::scanQuad;
using detail::scanTriangle;
using detail::sharedCapPatterns;
using detail::sharedRowRuns;

namespace {

// Offsets of a map's roads are a few pixels: their caps' radii come from a
// table of the square roots (the double square root and its checks wait
// some 40 cycles, four times a band).
constexpr int kRootTableSide = 64;

struct RootTable {
    std::uint8_t root[kRootTableSide][kRootTableSide];
    RootTable() {
        for (int x = 0; x < kRootTableSide; ++x)
            for (int y = 0; y < kRootTableSide; ++y)
                root[x][y] = static_cast<std::uint8_t>(isqrt64(static_cast<std::uint64_t>(x * x + y * y)));
    }
};

i64 radiusOf(const Point& offset) {
    static const RootTable table;
    const std::uint64_t ax = static_cast<std::uint64_t>(std::abs(i64{offset.x}));
    const std::uint64_t ay = static_cast<std::uint64_t>(std::abs(i64{offset.y}));
    if (ax < kRootTableSide && ay < kRootTableSide) return table.root[ax][ay];
    return static_cast<i64>(isqrt64(ax * ax + ay * ay)); // both below 2^31: no overflow
}

Point64 add(Point64 a, Point64 b) {
    return {a.x + b.x, a.y + b.y};
}
Point64 sub(Point64 a, Point64 b) {
    return {a.x - b.x, a.y - b.y};
}
Point64 wide(const Point& p) {
    return {p.x, p.y};
}

int signOf(i64 v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// The filled octagon's runs from its pieces: the square, then the four
// triangles that extend it to the octagon.
template <class RunSink> void scanOctagonPieces(const Canvas& canvas, i64 cx, i64 cy, i64 r, RunSink&& run) {
    if (r < 1) return;
    const i64 a = 181 * r / 256;
    const i64 s = 362 * r / 256;
    // Nothing of the octagon reaches the canvas: also keeps the corner
    // arithmetic below far from any overflow.
    if (cx + r < canvas.left || cx - r >= canvas.right || cy + r < canvas.top || cy - r >= canvas.bottom)
        return;
    // The square, clipped to the canvas in 64 bits (a square far off-screen
    // must not wrap back onto it).
    const i64 x0 = std::max<i64>(cx - a, canvas.left);
    const i64 x1 = std::min<i64>(cx - a + s, canvas.right);
    const i64 y0 = std::max<i64>(cy - a, canvas.top);
    const i64 y1 = std::min<i64>(cy - a + s, canvas.bottom);
    if (x0 < x1)
        for (i64 y = y0; y < y1; ++y) run(y, x0, x1 - 1);
    scanTriangle(canvas, cx - a, cy - a, cx + a, cy - a, cx, cy - r, run);
    scanTriangle(canvas, cx + a, cy - a, cx + a, cy + a, cx + r, cy, run);
    scanTriangle(canvas, cx - a, cy + a, cx + a, cy + a, cx, cy + r, run);
    scanTriangle(canvas, cx - a, cy - a, cx - a, cy + a, cx - r, cy, run);
}

// Runs of a cap pattern placed at (cx, cy), the rows clipped here.
template <class RunSink>
void placeCap(const Canvas& canvas, const std::vector<detail::CapRun>& cap, i64 cx, i64 cy, RunSink&& run) {
    for (const detail::CapRun& c : cap) {
        const i64 y = cy + c.dy;
        if (y >= canvas.top && y < canvas.bottom) run(y, cx + c.from, cx + c.to);
    }
}

// Whether every pixel of a cap pattern of radius r placed at (cx, cy) lies
// on the canvas (the patterns stay within r + 2 of their centre).
bool capInside(const Canvas& canvas, i64 cx, i64 cy, i64 r) {
    return cx - r - 2 >= canvas.left && cx + r + 2 < canvas.right && cy - r - 2 >= canvas.top &&
           cy + r + 2 < canvas.bottom;
}

// The filled octagon's runs, from the pattern of its radius when kept.
template <class RunSink> void scanOctagon(const Canvas& canvas, i64 cx, i64 cy, i64 r, RunSink&& run) {
    if (r < 1 || r > detail::CapPatterns::kLargestRadius) {
        scanOctagonPieces(canvas, cx, cy, r, run);
        return;
    }
    if (cx + r < canvas.left || cx - r >= canvas.right || cy + r < canvas.top || cy - r >= canvas.bottom)
        return;
    const std::vector<detail::CapRun>& cap = detail::sharedCapPatterns().filled(r);
    if constexpr (requires { run.inside(i64{}, i64{}, i64{}); }) {
        // Most caps lie on the canvas: their runs need no clipping.
        if (capInside(canvas, cx, cy, r)) {
            for (const detail::CapRun& c : cap) run.inside(cy + c.dy, cx + c.from, cx + c.to);
            return;
        }
    }
    placeCap(canvas, cap, cx, cy, run);
}

} // namespace

namespace detail {

void fillOctagon64(const Canvas& canvas, i64 cx, i64 cy, i64 r, std::uint32_t pixel) {
    if (r < 1) return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    RowRuns& runs = sharedRowRuns();
    scanOctagon(canvas, cx, cy, r, runs.begin(canvas, pixel));
    runs.finish(cy - r, cy + r);
}

void fillOctagonPieces64(const Canvas& canvas, i64 cx, i64 cy, i64 r, std::uint32_t pixel) {
    if (r < 1) return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    // Its own runs: a cap pattern is made while a band gathers in the
    // shared ones.
    RowRuns runs;
    scanOctagonPieces(canvas, cx, cy, r, runs.begin(canvas, pixel));
    runs.finish(cy - r, cy + r);
}

void nudgeOutward(Point64& a, Point64& b, Point64 p, bool steepIsStrict) {
    const i64 dx = b.x - a.x;
    const i64 dy = b.y - a.y;
    const i64 adx = dx < 0 ? -dx : dx;
    const i64 ady = dy < 0 ? -dy : dy;
    // Which side of the line p lies on.
    const i128 s = i128{dx} * (p.y - a.y) - i128{dy} * (p.x - a.x);
    const int side = s > 0 ? 1 : (s < 0 ? -1 : 0);
    const bool steep = steepIsStrict ? adx < ady : adx <= ady;
    if (steep) {
        // The line lies right of p when s / dy > 0.
        const int step = side * signOf(dy) >= 0 ? 1 : -1;
        a.x += step;
        b.x += step;
    } else {
        // The line lies below p when -s / dx > 0.
        const int step = -side * signOf(dx) >= 0 ? 1 : -1;
        a.y += step;
        b.y += step;
    }
}

void drawOctagonOutline64(const Canvas& canvas, i64 cx, i64 cy, i64 r, std::uint32_t pixel) {
    if (r < 0 || r > CapPatterns::kLargestRadius) {
        drawOctagonOutlineLines64(canvas, cx, cy, r, pixel);
        return;
    }
    if (cx + r + 1 < canvas.left || cx - r - 1 >= canvas.right || cy + r + 1 < canvas.top ||
        cy - r - 1 >= canvas.bottom)
        return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    const i64 left = canvas.left;
    const i64 last = i64{canvas.right} - 1;
    SDL_Surface* surface = canvas.surface;
    const int bytes = surface->format->BytesPerPixel;
    if ((bytes == 4 || bytes == 2) && capInside(canvas, cx, cy, r)) {
        // Most outlines lie on the canvas: their pixels are stored without
        // clipping, from their offsets on this surface.
        const std::vector<i64>& offsets = sharedCapPatterns().outlineOffsets(r, surface->pitch, bytes);
        auto* centre = static_cast<std::uint8_t*>(surface->pixels) + cy * surface->pitch + cx * bytes;
        if (bytes == 4) {
            for (const i64 at : offsets)
                *reinterpret_cast<std::uint32_t*>(centre + at) = pixel;
        } else {
            for (const i64 at : offsets)
                *reinterpret_cast<std::uint16_t*>(centre + at) = static_cast<std::uint16_t>(pixel);
        }
        return;
    }
    const std::vector<CapRun>& cap = sharedCapPatterns().outline(r);
    placeCap(canvas, cap, cx, cy, [&](i64 y, i64 from, i64 to) {
        from = std::max(from, left);
        to = std::min(to, last);
        if (from > to) return;
        // An outline's runs are a pixel or two: stored in place.
        auto* row = static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch;
        if (bytes == 4) {
            for (i64 x = from; x <= to; ++x) reinterpret_cast<std::uint32_t*>(row)[x] = pixel;
        } else if (bytes == 2) {
            for (i64 x = from; x <= to; ++x)
                reinterpret_cast<std::uint16_t*>(row)[x] = static_cast<std::uint16_t>(pixel);
        } else {
            drawHSpan(surface, static_cast<std::int32_t>(from), static_cast<std::int32_t>(to + 1),
                      static_cast<std::int32_t>(y), pixel);
        }
    });
}

void drawOctagonOutlineLines64(const Canvas& canvas, i64 cx, i64 cy, i64 r, std::uint32_t pixel) {
    if (r < 0) return;
    if (cx + r + 1 < canvas.left || cx - r - 1 >= canvas.right || cy + r + 1 < canvas.top ||
        cy - r - 1 >= canvas.bottom)
        return;
    const i64 a = 181 * r / 256;
    const Point64 v[8] = {{cx + r, cy}, {cx + a, cy + a}, {cx, cy + r}, {cx - a, cy + a},
                          {cx - r, cy}, {cx - a, cy - a}, {cx, cy - r}, {cx + a, cy - a}};
    for (int i = 0; i < 8; ++i) {
        Point64 p = v[i];
        Point64 q = v[(i + 1) % 8];
        nudgeOutward(p, q, Point64{cx, cy}, true);
        drawLine64(canvas, p, q, pixel);
    }
}

} // namespace detail

void fillOctagon(const Canvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t r,
                 std::uint32_t pixel) {
    detail::fillOctagon64(canvas, cx, cy, r, pixel);
}

void drawOctagonOutline(const Canvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t r,
                        std::uint32_t pixel) {
    detail::drawOctagonOutline64(canvas, cx, cy, r, pixel);
}

void nudgeOutward(Point& a, Point& b, const Point& p) {
    Point64 a64 = wide(a);
    Point64 b64 = wide(b);
    detail::nudgeOutward(a64, b64, wide(p), false);
    // One pixel off a 32-bit point: saturate rather than wrap.
    auto clamp = [](i64 v) { return static_cast<std::int32_t>(std::clamp<i64>(v, INT32_MIN, INT32_MAX)); };
    a = Point{clamp(a64.x), clamp(a64.y)};
    b = Point{clamp(b64.x), clamp(b64.y)};
}

namespace {

// The rows a band (or its border, margin 2) can reach, or none (first >
// last) when it lies off the canvas: every piece lies within the points' box
// widened by the largest offset (|x| + |y| bounds its length, hence the caps'
// radius) and the margin.
struct RowSpan {
    i64 first;
    i64 last;
    bool inside; // every piece lies on the canvas
};
RowSpan bandRows(const Canvas& canvas, const Point* points, const Point* offsets, int count, i64 margin) {
    i64 minX = points[0].x;
    i64 maxX = minX;
    i64 minY = points[0].y;
    i64 maxY = minY;
    for (int i = 1; i < count; ++i) {
        minX = std::min<i64>(minX, points[i].x);
        maxX = std::max<i64>(maxX, points[i].x);
        minY = std::min<i64>(minY, points[i].y);
        maxY = std::max<i64>(maxY, points[i].y);
    }
    i64 reach = 0;
    for (int i = 0; i + 1 < count; ++i)
        reach = std::max(reach, std::abs(i64{offsets[i].x}) + std::abs(i64{offsets[i].y}));
    reach += margin + 1;
    if (maxX + reach < canvas.left || minX - reach >= canvas.right || maxY + reach < canvas.top ||
        minY - reach >= canvas.bottom)
        return RowSpan{1, 0, false};
    const bool inside = minX - reach >= canvas.left && maxX + reach < canvas.right &&
                        minY - reach >= canvas.top && maxY + reach < canvas.bottom;
    return RowSpan{minY - reach, maxY + reach, inside};
}

} // namespace

void drawWideBand(const Canvas& canvas, const Point* points, const Point* offsets, int count,
                  std::uint32_t pixel) {
    if (count < 2) return;
    const RowSpan rows = bandRows(canvas, points, offsets, count, 0);
    if (rows.first > rows.last) return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    RowRuns& runs = sharedRowRuns();
    const RowRuns::Sink run = runs.begin(canvas, pixel);
    scanOctagon(canvas, points[0].x, points[0].y, radiusOf(offsets[0]), run);
    Point64 prevC{};
    Point64 prevD{};
    for (int i = 0; i + 1 < count; ++i) {
        const Point64 p = wide(points[i]);
        const Point64 q = wide(points[i + 1]);
        const Point64 o = wide(offsets[i]);
        const Point64 a = add(p, o);
        const Point64 b = sub(p, o);
        const Point64 c = add(q, o);
        const Point64 d = sub(q, o);
        if (i > 0) {
            scanTriangle(canvas, prevC.x, prevC.y, a.x, a.y, p.x, p.y, run);
            scanTriangle(canvas, prevD.x, prevD.y, b.x, b.y, p.x, p.y, run);
        }
        scanQuad(canvas, a.x, a.y, c.x, c.y, d.x, d.y, b.x, b.y, run);
        prevC = c;
        prevD = d;
    }
    scanOctagon(canvas, points[count - 1].x, points[count - 1].y, radiusOf(offsets[count - 2]), run);
    runs.finish(rows.first, rows.last);
}

namespace {

// Moves a side line one pixel in the direction of the offset o: in y when the
// line is flatter than 45 degrees, else in x.
void shiftSide(Point64& a, Point64& b, Point64 o) {
    const i64 dx = b.x - a.x;
    const i64 dy = b.y - a.y;
    if ((dy < 0 ? -dy : dy) < (dx < 0 ? -dx : dx)) {
        const int step = o.y > 0 ? 1 : -1;
        a.y += step;
        b.y += step;
    } else {
        const int step = o.x > 0 ? 1 : -1;
        a.x += step;
        b.x += step;
    }
}

} // namespace

namespace {

// The border of drawWideBandBorder, each line through line(a, b).
template <class Line>
void drawBorderLines(const Canvas& canvas, const Point* points, const Point* offsets, int count,
                     std::uint32_t pixel, Line&& line) {
    detail::drawOctagonOutline64(canvas, points[0].x, points[0].y, radiusOf(offsets[0]), pixel);
    for (int i = 0; i + 1 < count; ++i) {
        const Point64 p = wide(points[i]);
        const Point64 q = wide(points[i + 1]);
        const Point64 o = wide(offsets[i]);
        Point64 a = add(p, o);
        Point64 c = add(q, o);
        shiftSide(a, c, o);
        line(a, c);
        Point64 b = sub(p, o);
        Point64 d = sub(q, o);
        shiftSide(b, d, Point64{-o.x, -o.y});
        line(b, d);
        if (i > 0) {
            const Point64 prev = wide(offsets[i - 1]);
            Point64 j0 = add(p, prev);
            Point64 j1 = add(p, o);
            detail::nudgeOutward(j0, j1, p, false);
            line(j0, j1);
            Point64 k0 = sub(p, prev);
            Point64 k1 = sub(p, o);
            detail::nudgeOutward(k0, k1, p, false);
            line(k0, k1);
        }
    }
    detail::drawOctagonOutline64(canvas, points[count - 1].x, points[count - 1].y,
                                 radiusOf(offsets[count - 2]), pixel);
}

} // namespace

void drawWideBandBorder(const Canvas& canvas, const Point* points, const Point* offsets, int count,
                        std::uint32_t pixel) {
    if (count < 2) return;
    const RowSpan rows = bandRows(canvas, points, offsets, count, 2);
    if (rows.first > rows.last) return;
    SDL_Surface* surface = canvas.surface;
    const int bytes = surface->format->BytesPerPixel;
    if (rows.inside && (bytes == 4 || bytes == 2)) {
        // The whole border lies on the canvas (its lines within the margin
        // of 2): the surface is locked once and its lines drawn unclipped.
        SurfaceLock lock(surface);
        if (!lock.ok()) return;
        auto* pixels = static_cast<std::uint8_t*>(surface->pixels);
        const i64 pitch = surface->pitch;
        if (bytes == 4)
            drawBorderLines(canvas, points, offsets, count, pixel, [&](Point64 a, Point64 b) {
                detail::drawLineInside<4>(pixels, pitch, a, b, pixel);
            });
        else
            drawBorderLines(canvas, points, offsets, count, pixel, [&](Point64 a, Point64 b) {
                detail::drawLineInside<2>(pixels, pitch, a, b, pixel);
            });
        return;
    }
    drawBorderLines(canvas, points, offsets, count, pixel,
                    [&](Point64 a, Point64 b) { detail::drawLine64(canvas, a, b, pixel); });
}

namespace {

// Length of a segment from its normal, without a square root: the normal n
// has length N and is perpendicular to the delta d, so |d| = |d.y N / n.x| =
// |d.x N / n.y|; the larger normal component is used. A zero normal or N
// gives 0 (the segment is skipped).
float segmentLength(const Point& p, const Point& q, const Point& n, std::int32_t normalLength) {
    const float N = static_cast<float>(normalLength);
    const float nx = static_cast<float>(n.x);
    const float ny = static_cast<float>(n.y);
    if (n.x == 0 && n.y == 0) return 0.0f;
    float length;
    if (std::fabs(ny) < std::fabs(nx))
        length = std::fabs(static_cast<float>(i64{q.y} - p.y) * N / nx);
    else
        length = std::fabs(static_cast<float>(i64{q.x} - p.x) * N / ny);
    return std::isfinite(length) ? length : 0.0f;
}

constexpr float kShortestSegment = 0.01f;
// More dashes than this along one polyline would not be visible as dashes;
// the period is stretched instead (also bounds the work per call).
constexpr float kMostDashes = 65536.0f;

} // namespace

void forEachDashPiece(std::int32_t normalLength, const Point* points, const Point* normals, int count,
                      float halfWidth, float dash, float gap, DashPieceSink& sink) {
    if (count < 2 || !(dash > 0.0f) || !(gap >= 0.0f) || !std::isfinite(dash + gap) ||
        !std::isfinite(halfWidth))
        return;
    float total = 0.0f;
    for (int i = 0; i + 1 < count; ++i) {
        const float length = segmentLength(points[i], points[i + 1], normals[i], normalLength);
        if (length > kShortestSegment) total += length;
    }
    if (!(total > 0.0f) || !std::isfinite(total)) return;
    float period = dash + gap;
    if (total >= period) {
        const float periods = std::min(std::floor(total / period + 0.5f), kMostDashes);
        gap = total / periods - dash;
        if (gap < 0.0f) {
            dash = total / periods;
            gap = 0.0f;
        }
    } else {
        dash = gap = total / 2.0f;
    }
    period = dash + gap;

    float start = 0.0f; // distance along the polyline at the segment's start
    for (int i = 0; i + 1 < count; ++i) {
        const float length = segmentLength(points[i], points[i + 1], normals[i], normalLength);
        if (length <= kShortestSegment) continue;
        const FloatPoint p{static_cast<float>(points[i].x), static_cast<float>(points[i].y)};
        const FloatPoint q{static_cast<float>(points[i + 1].x), static_cast<float>(points[i + 1].y)};
        const FloatPoint h{(q.y - p.y) * halfWidth / length, -(q.x - p.x) * halfWidth / length};
        const FloatPoint a{p.x + h.x, p.y + h.y};
        const FloatPoint b{p.x - h.x, p.y - h.y};
        const FloatPoint c{q.x + h.x, q.y + h.y};
        const FloatPoint d{q.x - h.x, q.y - h.y};
        auto at = [](FloatPoint from, FloatPoint to, float t) {
            return FloatPoint{from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
        };
        const float end = start + length;
        for (float j = std::floor(start / period); j * period < end; j += 1.0f) {
            const float from = std::max(start, j * period);
            const float to = std::min(end, j * period + dash);
            if (to <= from) continue;
            const float t0 = (from - start) / length;
            const float t1 = (to - start) / length;
            const FloatPoint quad[4] = {at(a, c, t0), at(a, c, t1), at(b, d, t1), at(b, d, t0)};
            sink.piece(quad, 4);
        }
        // A dash running over q into the next segment gets a bevel joint.
        const float phase = end - std::floor(end / period) * period;
        if (phase > 0.0f && phase < dash && i + 2 < count) {
            const float nextLength =
                segmentLength(points[i + 1], points[i + 2], normals[i + 1], normalLength);
            if (nextLength > kShortestSegment) {
                const FloatPoint s{static_cast<float>(points[i + 2].x), static_cast<float>(points[i + 2].y)};
                const FloatPoint h2{(s.y - q.y) * halfWidth / nextLength,
                                    -(s.x - q.x) * halfWidth / nextLength};
                const FloatPoint outer[3] = {c, {q.x + h2.x, q.y + h2.y}, q};
                const FloatPoint inner[3] = {{q.x - h2.x, q.y - h2.y}, d, q};
                sink.piece(outer, 3);
                sink.piece(inner, 3);
            }
        }
        start = end;
    }
}

namespace {

class ScreenDashSink final : public DashPieceSink {
  public:
    ScreenDashSink(const Canvas& canvas, const float* matrix, RowRuns::Sink run)
        : canvas_(canvas), m_(matrix), run_(run) {}

    void piece(const FloatPoint* corners, int count) override {
        Point64 s[4];
        for (int i = 0; i < count; ++i) {
            const FloatPoint& c = corners[i];
            s[i] = Point64{floorToInt(m_[0] * c.x + m_[4] * c.y + m_[12] + 0.5f),
                           floorToInt(m_[1] * c.x + m_[5] * c.y + m_[13] + 0.5f)};
        }
        for (int i = 0; i < count; ++i) {
            firstY = std::min(firstY, s[i].y);
            lastY = std::max(lastY, s[i].y);
        }
        // Through the bands' one copy of the scan (a sink taken by constant
        // reference).
        const RowRuns::Sink& run = run_;
        scanTriangle(canvas_, s[0].x, s[0].y, s[1].x, s[1].y, s[2].x, s[2].y, run);
        if (count == 4) scanTriangle(canvas_, s[2].x, s[2].y, s[3].x, s[3].y, s[0].x, s[0].y, run);
    }

    // The rows the pieces so far reach.
    i64 firstY = INT64_MAX;
    i64 lastY = INT64_MIN;

  private:
    const Canvas& canvas_;
    const float* m_;
    RowRuns::Sink run_;
};

} // namespace

void drawDashedBand(const Canvas& canvas, const float* objectMatrix, std::int32_t normalLength,
                    const Point* points, const Point* normals, int count, float halfWidth, float dash,
                    float gap, std::uint32_t pixel) {
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    RowRuns& runs = sharedRowRuns();
    ScreenDashSink sink(canvas, objectMatrix, runs.begin(canvas, pixel));
    forEachDashPiece(normalLength, points, normals, count, halfWidth, dash, gap, sink);
    runs.finish(sink.firstY, sink.lastY);
}

void drawThickPolyline(const Canvas& canvas, const Point* points, int count, float width,
                       std::uint32_t pixel) {
    if (count < 2) return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    RowRuns& runs = sharedRowRuns();
    const RowRuns::Sink run = runs.begin(canvas, pixel);
    bool capped = false; // a run of repeated points already got its octagon
    for (int i = 1; i < count; ++i) {
        const Point& p = points[i - 1];
        const Point& q = points[i];
        if ((p.x < canvas.left && q.x < canvas.left) || (p.y < canvas.top && q.y < canvas.top) ||
            (p.x >= canvas.right && q.x >= canvas.right) || (p.y >= canvas.bottom && q.y >= canvas.bottom))
            continue;
        const i64 dx = i64{q.x} - p.x;
        const i64 dy = i64{q.y} - p.y;
        if (std::abs(dx) >= 3000 || std::abs(dy) >= 3000 || dx * dx + dy * dy >= 9000000) continue;
        if (dx == 0 && dy == 0) {
            if (!capped) scanOctagon(canvas, p.x, p.y, floorToInt(width + 0.5f), run);
            capped = true;
            continue;
        }
        capped = false;
        const float length = std::sqrt(static_cast<float>(dx * dx + dy * dy));
        const float ox = width * static_cast<float>(dy) / length;
        const float oy = -width * static_cast<float>(dx) / length;
        auto corner = [](std::int32_t base, float offset) {
            return i64{floorToInt(static_cast<float>(base) + offset + 0.5f)};
        };
        const Point64 a{corner(p.x, ox), corner(p.y, oy)};
        const Point64 b{corner(p.x, -ox), corner(p.y, -oy)};
        const Point64 c{corner(q.x, ox), corner(q.y, oy)};
        const Point64 d{corner(q.x, -ox), corner(q.y, -oy)};
        scanQuad(canvas, a.x, a.y, c.x, c.y, d.x, d.y, b.x, b.y, run);
    }
    // Track drawing is rare: the whole canvas is looked at.
    runs.finish(canvas.top, i64{canvas.bottom} - 1);
}

} // namespace xe
