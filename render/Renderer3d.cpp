#include "render/Renderer3d.h"

#include "core/FloatToInt.h"
#include "render/Bands.h"
#include "render/Fill.h"
#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/RendererBase.h"
#include "render/detail/Raster.h"
#include "render/detail/RowRuns.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace xe {

namespace {

using detail::Point64;
using i64 = std::int64_t;
using i128 = __int128;

constexpr i64 kOne24 = i64{1} << 24;
// 1/sqrt 2 with 14 fraction bits, for the 45-degree square of the caps.
const i64 kCapRotation = static_cast<i64>(std::floor(16384.0 / std::sqrt(2.0) + 0.5));
// Bounds that keep every intermediate inside its type: fixed coordinates of
// band corners (14 fraction bits) and screen coordinates before drawing.
constexpr i64 kCoordinateLimit = i64{1} << 40;
constexpr i64 kScreenLimit = i64{1} << 40;
constexpr i64 kScanLimit = i64{1} << 30; // the scan fill takes i32 vertices

enum Plane { Left, Right, Bottom, Top, Near, Far };
constexpr unsigned kNear = 16;
constexpr unsigned kFar = 32;
constexpr unsigned kDepth = kNear | kFar;

// A point in homogeneous clip coordinates (units of 2^-14), its six boundary
// distances and its outcode.
// Left unzeroed when made: project and interpolate set every field (a
// zeroing store before them costs more than the projection).
struct ClipPoint {
    i64 h[4];
    i64 d[6];
    unsigned code;
};

// A ground point in fixed form (14 fraction bits).
struct FixedPoint {
    i64 x = 0;
    i64 y = 0;
};

i64 clampTo(i128 v, i64 limit) {
    return static_cast<i64>(std::clamp<i128>(v, -limit, limit));
}

// Sets the point to (x, y, z, w) with its distances and outcode, from the
// values rather than from the stored ones.
void classify(ClipPoint& p, i64 x, i64 y, i64 z, i64 w) {
    p.h[0] = x;
    p.h[1] = y;
    p.h[2] = z;
    p.h[3] = w;
    p.d[Left] = x + w;
    p.d[Right] = w - x;
    p.d[Bottom] = y + w;
    p.d[Top] = w - y;
    p.d[Near] = z + w;
    p.d[Far] = w - z;
    p.code = 0;
    for (int k = 0; k < 6; ++k)
        if (p.d[k] < 0) p.code |= 1u << k;
}

// h_j = ((x M[j] + y M[4 + j]) >> 24) + M[12 + j]; z = 0, so elements 8 to
// 11 do not contribute.
ClipPoint project(FixedPoint p) {
    const FixedMatrix& m = fixedMatrix3d();
    i64 h[4];
    constexpr i64 kSmall = i64{1} << 31;
    if (p.x > -kSmall && p.x < kSmall && p.y > -kSmall && p.y < kSmall) {
        // Coordinates below 2^31 and elements of at most 2^31: each product
        // stays below 2^62 and their sum below 2^63, so 64 bits give the
        // same values as 128.
        for (int j = 0; j < 4; ++j)
            h[j] = ((p.x * m[j] + p.y * m[4 + j]) >> 24) + m[12 + j];
    } else {
        for (int j = 0; j < 4; ++j)
            h[j] = static_cast<i64>((i128{p.x} * m[j] + i128{p.y} * m[4 + j]) >> 24) + m[12 + j];
    }
    ClipPoint c;
    classify(c, h[0], h[1], h[2], h[3]);
    return c;
}

FixedPoint fixedOf(const Point& p) {
    return FixedPoint{toFixedCoordinate(p.x), toFixedCoordinate(p.y)};
}

FixedPoint offsetBy(FixedPoint p, FixedPoint o, int sign) {
    return FixedPoint{clampTo(i128{p.x} + sign * i128{o.x}, kCoordinateLimit),
                      clampTo(i128{p.y} + sign * i128{o.y}, kCoordinateLimit)};
}

// P0 + ((t (P1 - P0)) >> 24) per component, t in 0 .. 2^24.
ClipPoint interpolate(const ClipPoint& a, const ClipPoint& b, i64 t) {
    i64 h[4];
    for (int j = 0; j < 4; ++j)
        h[j] = a.h[j] + static_cast<i64>((i128{t} * (i128{b.h[j]} - a.h[j])) >> 24);
    ClipPoint c;
    classify(c, h[0], h[1], h[2], h[3]);
    return c;
}

// t = d0 2^24 / (d0 - d1), clamped to 0 .. 2^24; d0 and d1 have different
// signs, so the divisor is never 0.
i64 crossing(i64 d0, i64 d1) {
    const i128 t = (i128{d0} * kOne24) / (i128{d0} - d1);
    return static_cast<i64>(std::clamp<i128>(t, 0, kOne24));
}

// The screen pixel of a clip point: ((x V0) / w + V6 + 0x80) >> 8, the same
// for y with V4 and V7. False when w <= 0: such a point has no image, and
// dividing by it would fault or flip the picture.
bool toScreen(const ClipPoint& p, Point64& out) {
    const i64 w = p.h[3];
    if (w <= 0) return false;
    const FixedViewport& v = viewport3d().fixed;
    // (c V) / w truncated toward zero; in 64 bits when the product fits
    // (points near the view always do), which gives the same quotient.
    auto scaled = [w](i64 c, i64 factor) {
        i64 product = 0;
        const i128 q = __builtin_mul_overflow(c, factor, &product) ? (i128{c} * factor) / w : i128{product / w};
        return std::clamp<i128>(q, -(i128{1} << 60), i128{1} << 60);
    };
    const i128 qx = scaled(p.h[0], v[0]);
    const i128 qy = scaled(p.h[1], v[4]);
    out.x = clampTo((qx + v[6] + 0x80) >> 8, kScreenLimit);
    out.y = clampTo((qy + v[7] + 0x80) >> 8, kScreenLimit);
    return true;
}

// Liang-Barsky over the planes in `planes`: the parameters of the visible
// part of a-b; false when nothing of it is visible (which includes an entry
// parameter beyond the exit one: the segment passes outside a corner).
bool clipRange(const ClipPoint& a, const ClipPoint& b, unsigned planes, i64& tIn, i64& tOut) {
    tIn = 0;
    tOut = kOne24;
    for (int k = 0; k < 6; ++k) {
        if ((planes & (1u << k)) == 0) continue;
        const i64 d0 = a.d[k];
        const i64 d1 = b.d[k];
        if (d0 < 0 && d1 < 0) return false;
        if (d0 < 0) tIn = std::max(tIn, crossing(d0, d1));
        if (d1 < 0) tOut = std::min(tOut, crossing(d0, d1));
    }
    return tIn <= tOut;
}

// The piece of a-b inside the planes, on the screen; false when none.
bool clipToScreen(const ClipPoint& a, const ClipPoint& b, unsigned planes, Point64& sa, Point64& sb) {
    i64 tIn;
    i64 tOut;
    if (!clipRange(a, b, planes, tIn, tOut)) return false;
    const ClipPoint ca = tIn == 0 ? a : interpolate(a, b, tIn);
    const ClipPoint cb = tOut == kOne24 ? b : interpolate(a, b, tOut);
    return toScreen(ca, sa) && toScreen(cb, sb);
}

// Float homogeneous point (3D object matrix of the camera) for the route band
// and the dashes.
struct FloatClip {
    float h[4] = {};
};

FloatClip projectFloat(const float* m, FloatPoint p) {
    FloatClip c;
    for (int j = 0; j < 4; ++j)
        c.h[j] = m[j] * p.x + m[4 + j] * p.y + m[12 + j];
    return c;
}

} // namespace

FixedMatrix& fixedMatrix3d() {
    static FixedMatrix matrix{};
    return matrix;
}

Viewport3d& viewport3d() {
    static Viewport3d viewport;
    return viewport;
}

void toFixedViewport(const ScreenMatrix& source, FixedViewport& destination) {
    for (int i = 0; i < 9; ++i)
        destination[i] = toFixed(source[i], 16777216.0f, 8);
}

void setViewport3d(const ScreenMatrix& screen) {
    Viewport3d& v = viewport3d();
    v.screen = screen;
    toFixedViewport(screen, v.fixed);
}

namespace {

// The triangles of a band's pieces gathered into row runs (each row of the
// band filled once), and the rows they reach.
struct BandGather {
    detail::RowRuns::Sink run;
    i64 firstY = INT64_MAX;
    i64 lastY = INT64_MIN;
    void triangle(const Canvas& canvas, Point64 a, Point64 b, Point64 c) {
        firstY = std::min({firstY, a.y, b.y, c.y});
        lastY = std::max({lastY, a.y, b.y, c.y});
        detail::scanTriangle(canvas, a.x, a.y, b.x, b.y, c.x, c.y, run);
    }
};

// Fills a screen polygon: one triangle for 3 points, two for 4, the scan fill
// beyond (which takes i32 vertices: coordinates are clamped to +-2^30, far
// outside any canvas). With a gather, the triangles go to it.
void fillScreenPolygon(const Canvas& canvas, const std::vector<Point64>& s, std::uint32_t pixel,
                       PointVector& scratch, BandGather* gather) {
    const std::size_t n = s.size();
    if (n == 3 && gather != nullptr) {
        gather->triangle(canvas, s[0], s[1], s[2]);
    } else if (n == 4 && gather != nullptr) {
        gather->triangle(canvas, s[0], s[1], s[2]);
        gather->triangle(canvas, s[0], s[2], s[3]);
    } else if (n == 3) {
        detail::fillTriangle64(canvas, s[0], s[1], s[2], pixel);
    } else if (n == 4) {
        detail::fillTriangle64(canvas, s[0], s[1], s[2], pixel);
        detail::fillTriangle64(canvas, s[0], s[2], s[3], pixel);
    } else if (n > 4) {
        scratch.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            scratch[i] = Point{static_cast<std::int32_t>(std::clamp(s[i].x, -kScanLimit, kScanLimit)),
                               static_cast<std::int32_t>(std::clamp(s[i].y, -kScanLimit, kScanLimit))};
        fillPolygonScan(canvas, scratch.data(), static_cast<int>(n), pixel);
    }
}

class Renderer3d final : public RendererBase {
  public:
    void drawPolyline(const Canvas& canvas, const Point* points, int count, std::uint32_t colour) override {
        drawLines(canvas, points, count, true, colour);
    }

    void drawPolylineInterior(const Canvas& canvas, const Point* points, int count,
                              std::uint32_t colour) override {
        drawLines(canvas, points, count, false, colour);
    }

    void drawWidePolyline(const Canvas& canvas, const Point* points, const Point* normals,
                          std::int32_t normalLength, int count, std::int32_t width,
                          std::uint32_t colour) override {
        if (count < 2 || normalLength == 0) return;
        const std::uint32_t pixel = mapColor(colour, canvas.surface);
        SurfaceLock lock(canvas.surface);
        if (!lock.ok()) return;
        // The pieces' triangles are gathered and each row filled once.
        detail::RowRuns& runs = detail::sharedRowRuns();
        makeOffsets(normals, normalLength, count, width);
        if (!bandMayShow(points, count, (1u << Left) | (1u << Right) | (1u << Bottom) | (1u << Top) | kDepth))
            return;
        BandGather gather{runs.begin(canvas, pixel)};
        gather_ = &gather;
        for (int i = 0; i + 1 < count; ++i) {
            const FixedPoint p = fixedOf(points[i]);
            const FixedPoint q = fixedOf(points[i + 1]);
            const FixedPoint o = offsets_[static_cast<std::size_t>(i)];
            if (i > 0) {
                const FixedPoint prev = offsets_[static_cast<std::size_t>(i - 1)];
                fillGround(canvas, {p, offsetBy(p, prev, 1), offsetBy(p, o, 1)}, pixel);
                fillGround(canvas, {p, offsetBy(p, prev, -1), offsetBy(p, o, -1)}, pixel);
            }
            fillGround(canvas, {offsetBy(p, o, 1), offsetBy(q, o, 1), offsetBy(q, o, -1), offsetBy(p, o, -1)},
                       pixel);
            if (i == 0) fillCap(canvas, p, o, pixel);
        }
        fillCap(canvas, fixedOf(points[count - 1]), offsets_[static_cast<std::size_t>(count - 2)], pixel);
        gather_ = nullptr;
        runs.finish(gather.firstY, gather.lastY);
    }

    void drawWidePolylineBorder(const Canvas& canvas, const Point* points, const Point* normals,
                                std::int32_t normalLength, int count, std::int32_t width,
                                std::uint32_t colour) override {
        if (count < 2 || normalLength == 0) return;
        const std::uint32_t pixel = mapColor(colour, canvas.surface);
        makeOffsets(normals, normalLength, count, width);
        // Lines are cut only along the depth planes (and nudged a pixel on
        // the screen), so only those can drop a whole border.
        if (!bandMayShow(points, count, kDepth)) return;
        for (int i = 0; i + 1 < count; ++i) {
            const FixedPoint p = fixedOf(points[i]);
            const FixedPoint q = fixedOf(points[i + 1]);
            const FixedPoint o = offsets_[static_cast<std::size_t>(i)];
            // The side lines move away from the centre line's visible part.
            Point64 c0;
            Point64 c1;
            const bool centre = clipToScreen(project(p), project(q), kDepth, c0, c1);
            const Point64 middle{c0.x / 2 + c1.x / 2, c0.y / 2 + c1.y / 2};
            borderLine(canvas, offsetBy(p, o, 1), offsetBy(q, o, 1), centre ? &middle : nullptr, pixel);
            borderLine(canvas, offsetBy(p, o, -1), offsetBy(q, o, -1), centre ? &middle : nullptr, pixel);
            if (i == 0) {
                capOutline(canvas, p, o, pixel);
            } else {
                const FixedPoint prev = offsets_[static_cast<std::size_t>(i - 1)];
                Point64 vertex;
                const bool seen = toScreen(project(p), vertex) && (project(p).code & kDepth) == 0;
                borderLine(canvas, offsetBy(p, prev, 1), offsetBy(p, o, 1), seen ? &vertex : nullptr, pixel);
                borderLine(canvas, offsetBy(p, prev, -1), offsetBy(p, o, -1), seen ? &vertex : nullptr,
                           pixel);
            }
        }
        capOutline(canvas, fixedOf(points[count - 1]), offsets_[static_cast<std::size_t>(count - 2)], pixel);
    }

    void drawDashedPolyline(const Canvas& canvas, const ViewMatrices& view, std::int32_t normalLength,
                            const Point* points, const Point* normals, std::int32_t, int count, float width,
                            float dashFactor, std::uint32_t colour) override {
        if (count < 2 || view.object3d == nullptr) return;
        const float halfWidth = 2.0f * width;
        const float dash = 2.0f * width * dashFactor;
        if (!(halfWidth > 0.0f) || !(dash > 0.0f)) return;
        FloatPieceSink sink(*this, canvas, view.object3d, mapColor(colour, canvas.surface));
        forEachDashPiece(normalLength, points, normals, count, halfWidth, dash, dash, sink);
    }

    void fillPolygon(const Canvas& canvas, const Point* points, int count, std::uint32_t colour) override {
        if (count < 3) return;
        clip_.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            clip_[static_cast<std::size_t>(i)] = project(fixedOf(points[i]));
        fillClipped(canvas, mapColor(colour, canvas.surface));
    }

    void fillPatternPolygon(const Canvas&, const ViewMatrices&, const Point*, int, SDL_Surface*) override {
        // Patterns are not drawn in perspective.
    }

    // A convex polygon of float homogeneous points: clipped against the near
    // and far planes in floating point, mapped with the float viewport and
    // filled as a fan.
    void fillFloatConvex(const Canvas& canvas, const FloatClip* corners, int count, std::uint32_t pixel) {
        const ScreenMatrix& v = viewport3d().screen;
        screen_.clear();
        auto add = [&](const FloatClip& c) {
            const float w = c.h[3];
            if (!(w > 0.0f)) return;
            const float sx = v[0] * c.h[0] / w + v[6];
            const float sy = v[4] * c.h[1] / w + v[7];
            const auto round = [](float f) {
                return std::clamp<i64>(floorToInt(f + 0.5f), -kScanLimit, kScanLimit);
            };
            screen_.push_back(Point64{round(sx), round(sy)});
        };
        for (int i = 0; i < count; ++i) {
            const FloatClip& a = corners[i];
            const FloatClip& b = corners[(i + 1) % count];
            const float a0 = a.h[2] + a.h[3];
            const float a1 = a.h[3] - a.h[2];
            const float b0 = b.h[2] + b.h[3];
            const float b1 = b.h[3] - b.h[2];
            const bool aIn = a0 >= 0 && a1 >= 0;
            const bool bIn = b0 >= 0 && b1 >= 0;
            if ((a0 < 0 && b0 < 0) || (a1 < 0 && b1 < 0)) continue;
            if (aIn) add(a);
            if (aIn && bIn) continue;
            float tIn = 0.0f;
            float tOut = 1.0f;
            const float da[2] = {a0, a1};
            const float db[2] = {b0, b1};
            for (int k = 0; k < 2; ++k) {
                if (da[k] < 0) tIn = std::max(tIn, da[k] / (da[k] - db[k]));
                if (db[k] < 0) tOut = std::min(tOut, da[k] / (da[k] - db[k]));
            }
            if (tIn > tOut) continue;
            auto at = [&](float t) {
                FloatClip c;
                for (int j = 0; j < 4; ++j)
                    c.h[j] = a.h[j] + t * (b.h[j] - a.h[j]);
                return c;
            };
            if (!aIn) add(at(tIn));
            if (!bIn) add(at(tOut));
        }
        for (std::size_t i = 1; i + 1 < screen_.size(); ++i)
            detail::fillTriangle64(canvas, screen_[0], screen_[i], screen_[i + 1], pixel);
    }

  private:
    class FloatPieceSink final : public DashPieceSink {
      public:
        FloatPieceSink(Renderer3d& renderer, const Canvas& canvas, const float* matrix, std::uint32_t pixel)
            : renderer_(renderer), canvas_(canvas), m_(matrix), pixel_(pixel) {}
        void piece(const FloatPoint* corners, int count) override {
            FloatClip c[4];
            for (int i = 0; i < count && i < 4; ++i)
                c[i] = projectFloat(m_, corners[i]);
            renderer_.fillFloatConvex(canvas_, c, std::min(count, 4), pixel_);
        }

      private:
        Renderer3d& renderer_;
        const Canvas& canvas_;
        const float* m_;
        std::uint32_t pixel_;
    };

    void drawLines(const Canvas& canvas, const Point* points, int count, bool endPixels,
                   std::uint32_t colour) {
        if (count < 2) return;
        const std::uint32_t pixel = mapColor(colour, canvas.surface);
        clip_.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            clip_[static_cast<std::size_t>(i)] = project(fixedOf(points[i]));
        bool haveEnd = false; // the previous segment's unclipped end on the screen
        Point64 end;
        for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(count); ++i) {
            const ClipPoint& a = clip_[i];
            const ClipPoint& b = clip_[i + 1];
            if ((a.code & b.code) != 0) {
                haveEnd = false;
                continue;
            }
            Point64 sa;
            Point64 sb;
            if ((a.code | b.code) == 0) {
                if (haveEnd)
                    sa = end;
                else if (!toScreen(a, sa))
                    continue;
                haveEnd = toScreen(b, sb);
                if (!haveEnd) continue;
                end = sb;
            } else {
                haveEnd = false;
                if (!clipToScreen(a, b, 0x3F, sa, sb)) continue;
            }
            detail::drawLine64(canvas, endPixels, sa.x, sa.y, endPixels, sb.x, sb.y, pixel);
        }
    }

    // False when every corner of the band's pieces (the points moved by at
    // most the largest offset, caps and joints included) lies outside one of
    // the given planes: its pieces are then all rejected whole or cut to
    // nothing, and projecting them can be skipped. A corner's distance to a
    // plane differs from its point's by at most the offset taken through the
    // matrix, bounded per component below. Uses offsets_.
    bool bandMayShow(const Point* points, int count, unsigned planes) const {
        constexpr i64 kCullRange = i64{1} << 35; // beyond: corners may be clamped, no bound
        i64 reach = 0;
        for (const FixedPoint& o : offsets_)
            reach = std::max(reach, std::abs(o.x) + std::abs(o.y));
        reach += 1; // the caps' 45-degree corners round up by at most one unit
        if (reach >= kCullRange) return true;
        const FixedMatrix& m = fixedMatrix3d();
        i64 change[4];
        for (int j = 0; j < 4; ++j)
            change[j] = static_cast<i64>((i128{reach} * (std::abs(i64{m[j]}) + std::abs(i64{m[4 + j]}))) >> 24) + 2;
        const i64 bound[6] = {change[0] + change[3], change[0] + change[3], change[1] + change[3],
                              change[1] + change[3], change[2] + change[3], change[2] + change[3]};
        unsigned outside = planes;
        for (int i = 0; i < count && outside != 0; ++i) {
            const FixedPoint p = fixedOf(points[i]);
            if (std::abs(p.x) >= kCullRange || std::abs(p.y) >= kCullRange) return true;
            const ClipPoint c = project(p);
            for (int k = 0; k < 6; ++k)
                if ((outside & (1u << k)) != 0 && c.d[k] + bound[k] >= 0) outside &= ~(1u << k);
        }
        return outside == 0;
    }

    void makeOffsets(const Point* normals, std::int32_t normalLength, int count, std::int32_t width) {
        // k = (width << 24) / N; the offset in 24 fraction bits, taken to the
        // 14 of the fixed coordinates.
        const i64 k = (i64{width} * kOne24) / normalLength;
        offsets_.resize(static_cast<std::size_t>(count - 1));
        for (int i = 0; i + 1 < count; ++i)
            offsets_[static_cast<std::size_t>(i)] =
                FixedPoint{clampTo((i128{normals[i].x} * k) >> 10, kCoordinateLimit),
                           clampTo((i128{normals[i].y} * k) >> 10, kCoordinateLimit)};
    }

    void fillGround(const Canvas& canvas, std::initializer_list<FixedPoint> corners, std::uint32_t pixel) {
        clip_.clear();
        for (const FixedPoint& c : corners)
            clip_.push_back(project(c));
        fillClipped(canvas, pixel);
    }

    // The cap octagon: the square p +- o, p +- o turned a quarter, and the same
    // square turned by 45 degrees.
    static void capCorners(FixedPoint p, FixedPoint o, FixedPoint out[8]) {
        const FixedPoint r{-o.y, o.x};
        const FixedPoint d{clampTo((i128{o.x - o.y} * kCapRotation) >> 14, kCoordinateLimit),
                           clampTo((i128{o.y + o.x} * kCapRotation) >> 14, kCoordinateLimit)};
        const FixedPoint e{-d.y, d.x};
        out[0] = offsetBy(p, o, 1);
        out[1] = offsetBy(p, d, 1);
        out[2] = offsetBy(p, r, 1);
        out[3] = offsetBy(p, e, 1);
        out[4] = offsetBy(p, o, -1);
        out[5] = offsetBy(p, d, -1);
        out[6] = offsetBy(p, r, -1);
        out[7] = offsetBy(p, e, -1);
    }

    void fillCap(const Canvas& canvas, FixedPoint p, FixedPoint o, std::uint32_t pixel) {
        FixedPoint v[8];
        capCorners(p, o, v);
        fillGround(canvas, {v[0], v[2], v[4], v[6]}, pixel);
        fillGround(canvas, {v[1], v[3], v[5], v[7]}, pixel);
    }

    void capOutline(const Canvas& canvas, FixedPoint p, FixedPoint o, std::uint32_t pixel) {
        FixedPoint v[8];
        capCorners(p, o, v);
        const ClipPoint centre = project(p);
        Point64 c;
        const bool seen = (centre.code & kDepth) == 0 && toScreen(centre, c);
        for (int i = 0; i < 8; ++i)
            borderLine(canvas, v[i], v[(i + 1) % 8], seen ? &c : nullptr, pixel);
    }

    // A border line clipped against the near and far planes, moved one pixel
    // away from `away` (when known) and drawn with both end pixels.
    void borderLine(const Canvas& canvas, FixedPoint a, FixedPoint b, const Point64* away,
                    std::uint32_t pixel) {
        Point64 sa;
        Point64 sb;
        if (!clipToScreen(project(a), project(b), kDepth, sa, sb)) return;
        if (away != nullptr) detail::nudgeOutward(sa, sb, *away, false);
        detail::drawLine64(canvas, sa, sb, pixel);
    }

    // Fills the polygon in clip_: rejected whole when no vertex lies inside
    // one of the four side planes; otherwise cut along the near and far
    // planes (the side planes are left to the canvas clipping) and filled.
    void fillClipped(const Canvas& canvas, std::uint32_t pixel) {
        bool inside[4] = {false, false, false, false};
        for (const ClipPoint& p : clip_)
            for (int k = 0; k < 4; ++k)
                inside[k] = inside[k] || p.d[k] >= 0;
        if (!inside[Left] || !inside[Right] || !inside[Bottom] || !inside[Top]) return;
        screen_.clear();
        auto add = [this](const ClipPoint& p) {
            Point64 s;
            if (toScreen(p, s)) screen_.push_back(s);
        };
        const std::size_t n = clip_.size();
        for (std::size_t i = 0; i < n; ++i) {
            const ClipPoint& a = clip_[i];
            const ClipPoint& b = clip_[(i + 1) % n];
            const unsigned ca = a.code & kDepth;
            const unsigned cb = b.code & kDepth;
            if ((ca & cb) != 0) continue;
            if (ca == 0) add(a);
            if ((ca | cb) == 0) continue;
            i64 tIn;
            i64 tOut;
            if (!clipRange(a, b, kDepth, tIn, tOut)) continue;
            if (ca != 0) add(interpolate(a, b, tIn));
            if (cb != 0) add(interpolate(a, b, tOut));
        }
        fillScreenPolygon(canvas, screen_, pixel, scan_, gather_);
    }

    std::vector<ClipPoint> clip_;
    std::vector<Point64> screen_;
    std::vector<FixedPoint> offsets_;
    PointVector scan_;
    BandGather* gather_ = nullptr; // while a band's pieces are filled
};

} // namespace

Renderer& renderer3d() {
    static Renderer3d renderer;
    return renderer;
}

namespace {

Renderer3d& renderer3dImpl() {
    return static_cast<Renderer3d&>(renderer3d());
}

} // namespace

void drawFloatBand(const Canvas& canvas, const float* m, FloatPoint a, FloatPoint b, float width,
                   std::uint32_t colour) {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length >= 0.0001f)) return;
    const float ox = width * dy / length;
    const float oy = -width * dx / length;
    auto round = [](float v) { return i64{floorToInt(v + 0.5f)}; };
    const Point64 offset{round(m[0] * ox + m[4] * oy), round(m[1] * ox + m[5] * oy)};
    const Point64 pa{round(m[0] * a.x + m[4] * a.y + m[12]), round(m[1] * a.x + m[5] * a.y + m[13])};
    const Point64 pb{round(m[0] * b.x + m[4] * b.y + m[12]), round(m[1] * b.x + m[5] * b.y + m[13])};
    const std::uint32_t pixel = mapColor(colour, canvas.surface);
    const Point64 a1{pa.x + offset.x, pa.y + offset.y};
    const Point64 a2{pa.x - offset.x, pa.y - offset.y};
    const Point64 b1{pb.x + offset.x, pb.y + offset.y};
    const Point64 b2{pb.x - offset.x, pb.y - offset.y};
    detail::fillTriangle64(canvas, a1, b1, b2, pixel);
    detail::fillTriangle64(canvas, b2, a2, a1, pixel);
    // |offset| < 2^31 per component: the squares fit 64 bits.
    const std::uint64_t squared =
        static_cast<std::uint64_t>(offset.x * offset.x) + static_cast<std::uint64_t>(offset.y * offset.y);
    const i64 radius = static_cast<i64>(isqrt64(squared));
    detail::fillOctagon64(canvas, pa.x, pa.y, radius, pixel);
    detail::fillOctagon64(canvas, pb.x, pb.y, radius, pixel);
}

void drawFloatBand3d(const Canvas& canvas, const float* m, FloatPoint a, FloatPoint b, float width,
                     std::uint32_t colour) {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length >= 0.0001f)) return;
    const std::uint32_t pixel = mapColor(colour, canvas.surface);
    const FloatPoint side{width * dy / length, -width * dx / length};
    const FloatPoint forward{width * dx / length, width * dy / length};
    auto plus = [](FloatPoint p, FloatPoint o, float k) { return FloatPoint{p.x + k * o.x, p.y + k * o.y}; };
    Renderer3d& r = renderer3dImpl();
    auto fill = [&](std::initializer_list<FloatPoint> corners) {
        FloatClip c[4];
        int n = 0;
        for (const FloatPoint& p : corners)
            c[n++] = projectFloat(m, p);
        r.fillFloatConvex(canvas, c, n, pixel);
    };
    fill({plus(a, side, 1), plus(b, side, 1), plus(b, side, -1), plus(a, side, -1)});
    // Half an octagon beyond each end: two quadrilaterals sharing the end
    // point.
    constexpr float k = 0.70710677f;
    for (int end = 0; end < 2; ++end) {
        const FloatPoint e = end == 0 ? a : b;
        const float sign = end == 0 ? -1.0f : 1.0f;
        const FloatPoint out{sign * forward.x, sign * forward.y};
        const FloatPoint d1{(side.x + out.x) * k, (side.y + out.y) * k};
        const FloatPoint d2{(out.x - side.x) * k, (out.y - side.y) * k};
        fill({e, plus(e, side, 1), plus(e, d1, 1), plus(e, out, 1)});
        fill({e, plus(e, out, 1), plus(e, d2, 1), plus(e, side, -1)});
    }
}

} // namespace xe
