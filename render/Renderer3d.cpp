#include "render/Renderer3d.h"

#include "core/FloatToInt.h"
#include "render/Bands.h"
#include "render/Fill.h"
#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/RendererBase.h"
#include "render/detail/BandCorners.h"
#include "render/detail/BandGather.h"
#include "render/detail/BorderLines.h"
#include "render/detail/BorderNudge.h"
#include "render/detail/Raster.h"
#include "render/detail/Reciprocal.h"
#include "render/detail/RowRuns.h"

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

// A point in homogeneous clip coordinates (units of 2^-14) and its outcode;
// its six boundary distances are worked out when asked for (kept, they
// made every band corner twice the size to store and copy).
// Left unzeroed when made: project and interpolate set every field (a
// zeroing store before them costs more than the projection).
struct ClipPoint {
    i64 h[4];
    unsigned code;
    // The distance to boundary plane k, negative outside.
    i64 d(int k) const {
        switch (k) {
        case Left: return h[0] + h[3];
        case Right: return h[3] - h[0];
        case Bottom: return h[1] + h[3];
        case Top: return h[3] - h[1];
        case Near: return h[2] + h[3];
        default: return h[3] - h[2];
        }
    }
};

// A ground point in fixed form (14 fraction bits).
struct FixedPoint {
    i64 x = 0;
    i64 y = 0;
};

i64 clampTo(i128 v, i64 limit) {
    return static_cast<i64>(std::clamp<i128>(v, -limit, limit));
}

// Sets the point to (x, y, z, w) with its outcode, from the values rather
// than from the stored ones.
void classify(ClipPoint& p, i64 x, i64 y, i64 z, i64 w) {
    p.h[0] = x;
    p.h[1] = y;
    p.h[2] = z;
    p.h[3] = w;
    // The sign bits, without a branch per plane (a band corner's planes
    // follow no pattern the predictor could learn).
    auto below = [](i64 d) { return static_cast<unsigned>(static_cast<std::uint64_t>(d) >> 63); };
    p.code = below(x + w) | below(w - x) << 1 | below(y + w) << 2 | below(w - y) << 3 | below(z + w) << 4 |
             below(w - z) << 5;
}

// h_j = ((x M[j] + y M[4 + j]) >> 24) + M[12 + j]; z = 0, so elements 8 to
// 11 do not contribute.
// Written into its destination: a clip point returned and copied was read
// back in 16-byte pieces just after its 8-byte stores, which the processor
// cannot forward (a stall on every band corner).
// A point of 2^31 or more: the 128-bit products, out of line (the common
// case needs none of its registers).
__attribute__((noinline)) void projectFar(FixedPoint p, ClipPoint& c) {
    const FixedMatrix& m = fixedMatrix3d();
    i64 h[4];
    for (int j = 0; j < 4; ++j)
        h[j] = static_cast<i64>((i128{p.x} * m[j] + i128{p.y} * m[4 + j]) >> 24) + m[12 + j];
    classify(c, h[0], h[1], h[2], h[3]);
}

__attribute__((noinline)) void projectTo(FixedPoint p, ClipPoint& c) {
    constexpr i64 kSmall = i64{1} << 31;
    if (!(p.x > -kSmall && p.x < kSmall && p.y > -kSmall && p.y < kSmall)) [[unlikely]] {
        projectFar(p, c);
        return;
    }
    // Coordinates below 2^31 and elements of at most 2^31: each product
    // stays below 2^62 and their sum below 2^63, so 64 bits give the same
    // values as 128.
    // Written out: as a loop GCC makes it vector code that emulates the
    // 64-bit products, twice the instructions of the scalar ones.
    const FixedMatrix& m = fixedMatrix3d();
    const i64 x = p.x;
    const i64 y = p.y;
    classify(c, ((x * m[0] + y * m[4]) >> 24) + m[12], ((x * m[1] + y * m[5]) >> 24) + m[13],
             ((x * m[2] + y * m[6]) >> 24) + m[14], ((x * m[3] + y * m[7]) >> 24) + m[15]);
}

ClipPoint project(FixedPoint p) {
    ClipPoint c;
    projectTo(p, c);
    return c;
}

FixedPoint fixedOf(const Point& p) {
    return FixedPoint{toFixedCoordinate(p.x), toFixedCoordinate(p.y)};
}

// Points are i32 fixed coordinates and offsets at most kCoordinateLimit
// (2^40): the sums fit 64 bits.
FixedPoint offsetBy(FixedPoint p, FixedPoint o, int sign) {
    return FixedPoint{std::clamp(p.x + sign * o.x, -kCoordinateLimit, kCoordinateLimit),
                      std::clamp(p.y + sign * o.y, -kCoordinateLimit, kCoordinateLimit)};
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

// toScreen for a point far off the view, whose products need 128 bits:
// ((c V) / w truncated toward zero, in 64 bits when the product fits, which
// gives the same quotient). Out of line: the common case needs none of its
// registers.
__attribute__((noinline)) void toScreenFar(const ClipPoint& p, Point64& out) {
    const i64 w = p.h[3];
    const FixedViewport& v = viewport3d().fixed;
    auto scaled = [w](i64 c, i64 factor) {
        i64 product = 0;
        const i128 q = __builtin_mul_overflow(c, factor, &product) ? (i128{c} * factor) / w : i128{product / w};
        return std::clamp<i128>(q, -(i128{1} << 60), i128{1} << 60);
    };
    const i128 qx = scaled(p.h[0], v[0]);
    const i128 qy = scaled(p.h[1], v[4]);
    out.x = clampTo((qx + v[6] + 0x80) >> 8, kScreenLimit);
    out.y = clampTo((qy + v[7] + 0x80) >> 8, kScreenLimit);
}

// The screen pixel of a clip point: ((x V0) / w + V6 + 0x80) >> 8, the same
// for y with V4 and V7, the divisions truncating toward zero. False when
// w <= 0: such a point has no image, and dividing by it would fault or flip
// the picture.
// Returned in registers (kNoImage for none): written through a reference
// and copied, the point was read back in 16-byte pieces just after its
// 8-byte stores, which the processor cannot forward.
constexpr i64 kNoImage = INT64_MIN;

__attribute__((noinline)) Point64 screenPoint(const ClipPoint& p) {
    const i64 w = p.h[3];
    if (w <= 0) return Point64{kNoImage, 0};
    const FixedViewport& v = viewport3d().fixed;
    i64 nx = 0;
    i64 ny = 0;
    // Both products are needed whatever the first says: '|', not '||'.
    const bool overflow = (static_cast<int>(__builtin_mul_overflow(p.h[0], i64{v[0]}, &nx)) |
                           static_cast<int>(__builtin_mul_overflow(p.h[1], i64{v[4]}, &ny))) != 0;
    // Numerators below 2^47 give quotients below 2^47 (w >= 1), whose pixels
    // (the offsets are i32) lie within kScreenLimit: no clamp. Those from
    // 2^47 on take the general path, which gives the same pixels.
    constexpr i64 kSmall = i64{1} << 47;
    static_assert(kSmall <= detail::kReciprocalNumeratorLimit &&
                  (kSmall >> 8) + (i64{1} << 24) < kScreenLimit);
    if (overflow || nx <= -kSmall || nx >= kSmall || ny <= -kSmall || ny >= kSmall) [[unlikely]] {
        Point64 out;
        toScreenFar(p, out);
        return out;
    }
    // Points near the view: both quotients from one reciprocal of w
    // (exactly the truncating divisions' values).
    const double r = 1.0 / static_cast<double>(w);
    const i64 qx = detail::truncatedQuotient(nx, w, r);
    const i64 qy = detail::truncatedQuotient(ny, w, r);
    return Point64{(qx + v[6] + 0x80) >> 8, (qy + v[7] + 0x80) >> 8};
}

bool toScreen(const ClipPoint& p, Point64& out) {
    const Point64 s = screenPoint(p);
    out = s;
    return s.x != kNoImage;
}

// Liang-Barsky over the planes in `planes`: the parameters of the visible
// part of a-b; false when nothing of it is visible (which includes an entry
// parameter beyond the exit one: the segment passes outside a corner).
bool clipRange(const ClipPoint& a, const ClipPoint& b, unsigned planes, i64& tIn, i64& tOut) {
    tIn = 0;
    tOut = kOne24;
    for (int k = 0; k < 6; ++k) {
        if ((planes & (1u << k)) == 0) continue;
        const i64 d0 = a.d(k);
        const i64 d1 = b.d(k);
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

// A band corner projected once, its screen pixel made when first asked for:
// the pieces and border lines that share the corner reuse both.
struct Corner {
    ClipPoint clip;
    Point64 screen;
    int state = 0; // 0 not mapped yet, 1 mapped, -1 no image (w <= 0)
};

Corner cornerOf(FixedPoint p) {
    Corner c;
    projectTo(p, c.clip);
    return c;
}

// Below 2^30 (fixed units), points and offsets have corners p + v and
// p - v below 2^31, which offsetBy leaves unclamped and projectTo takes
// in 64 bits: there the projection is linear before its shift, and a
// corner's sums x M[j] + y M[4 + j] are the point's plus or minus the
// offset's, the same values from fewer products.
constexpr i64 kSumBound = i64{1} << 30;

bool belowSumBound(std::initializer_list<FixedPoint> values) {
    std::uint64_t spread = 0;
    for (const FixedPoint& v : values)
        spread |= static_cast<std::uint64_t>(v.x + kSumBound) | static_cast<std::uint64_t>(v.y + kSumBound);
    return spread < static_cast<std::uint64_t>(2 * kSumBound);
}

// The sums of a value below kSumBound: each product below 2^61.
struct ProjectionSums {
    i64 s[4];
};

ProjectionSums sumsOf(FixedPoint v, const FixedMatrix& m) {
    ProjectionSums r;
    for (int j = 0; j < 4; ++j)
        r.s[j] = v.x * m[j] + v.y * m[4 + j];
    return r;
}

// The projection of the point whose sums are a + sign b (every such sum
// below 2^63).
__attribute__((always_inline)) inline void
projectSums(ClipPoint& c, const FixedMatrix& m, const ProjectionSums& a, const ProjectionSums& b, i64 sign) {
    classify(c, ((a.s[0] + sign * b.s[0]) >> 24) + m[12], ((a.s[1] + sign * b.s[1]) >> 24) + m[13],
             ((a.s[2] + sign * b.s[2]) >> 24) + m[14], ((a.s[3] + sign * b.s[3]) >> 24) + m[15]);
}

// A segment's end point q and corners a = p + o, b = p - o, c = q + o and
// d = q - o, projected as cornerOf(offsetBy(...)) does.
void projectSegment(FixedPoint p, FixedPoint q, FixedPoint o, Corner& end, Corner& a, Corner& b, Corner& c,
                    Corner& d) {
    if (!belowSumBound({p, q, o})) [[unlikely]] {
        projectTo(q, end.clip);
        projectTo(offsetBy(p, o, 1), a.clip);
        projectTo(offsetBy(p, o, -1), b.clip);
        projectTo(offsetBy(q, o, 1), c.clip);
        projectTo(offsetBy(q, o, -1), d.clip);
        return;
    }
    const FixedMatrix& m = fixedMatrix3d();
    const ProjectionSums sp = sumsOf(p, m);
    const ProjectionSums sq = sumsOf(q, m);
    const ProjectionSums so = sumsOf(o, m);
    projectSums(end.clip, m, sq, so, 0);
    projectSums(a.clip, m, sp, so, 1);
    projectSums(b.clip, m, sp, so, -1);
    projectSums(c.clip, m, sq, so, 1);
    projectSums(d.clip, m, sq, so, -1);
}

bool screenOf(Corner& c, Point64& out) {
    if (c.state == 0) {
        const Point64 s = screenPoint(c.clip);
        c.screen = s;
        c.state = s.x != kNoImage ? 1 : -1;
        out = s;
        return c.state > 0;
    }
    out = c.screen;
    return c.state > 0;
}

// clipToScreen for corners of which one at least lies outside the planes.
// Out of line: most lines need no cut, and their test is inlined where
// they are drawn.
__attribute__((noinline)) bool clipCutToScreen(Corner& a, Corner& b, unsigned planes, Point64& sa,
                                               Point64& sb) {
    i64 tIn;
    i64 tOut;
    if (!clipRange(a.clip, b.clip, planes, tIn, tOut)) return false;
    if (!(tIn == 0 ? screenOf(a, sa) : toScreen(interpolate(a.clip, b.clip, tIn), sa))) return false;
    return tOut == kOne24 ? screenOf(b, sb) : toScreen(interpolate(a.clip, b.clip, tOut), sb);
}

// clipToScreen for corners: the ends that need no cut keep their pixels.
inline bool clipToScreen(Corner& a, Corner& b, unsigned planes, Point64& sa, Point64& sb) {
    if (((a.clip.code | b.clip.code) & planes) == 0) [[likely]]
        return screenOf(a, sa) && screenOf(b, sb);
    return clipCutToScreen(a, b, planes, sa, sb);
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

using detail::BandGather;

// Fills a screen polygon: one triangle for 3 points, two for 4, the scan fill
// beyond (which takes i32 vertices: coordinates are clamped to +-2^30, far
// outside any canvas). With a gather, the triangles go to it.
void fillScreenPolygon(const Canvas& canvas, const Point64* s, std::size_t n, std::uint32_t pixel,
                       PointVector& scratch, BandGather* gather) {
    if (n == 3 && gather != nullptr) {
        gather->triangle(canvas, s[0], s[1], s[2]);
    } else if (n == 4 && gather != nullptr) {
        gather->quad(canvas, s[0], s[1], s[2], s[3]);
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
    std::uint64_t bodiesFromBorders() const { return bodiesFromBorders_; }

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
        filledSinceKept_ = true;
        // The pieces' triangles are gathered and each row filled once.
        detail::RowRuns& runs = detail::sharedRowRuns();
        if (const detail::KeptCorner* kept = kept_.find(keyOf(points, normals, normalLength, count, width))) {
            BandGather gather{runs.begin(canvas, pixel)};
            gather_ = &gather;
            fillKept(canvas, kept, count);
            ++bodiesFromBorders_;
            gather_ = nullptr;
            runs.finish(gather.firstY, gather.lastY);
            return;
        }
        makeOffsets(normals, normalLength, count, width);
        if (!bandMayShow(points, count, (1u << Left) | (1u << Right) | (1u << Bottom) | (1u << Top) | kDepth))
            return;
        BandGather gather{runs.begin(canvas, pixel)};
        gather_ = &gather;
        // Each corner is projected once: a segment's end corners are the
        // next joint's, the first and last ones the caps'.
        Corner prevC;
        Corner prevD;
        for (int i = 0; i + 1 < count; ++i) {
            const FixedPoint p = fixedOf(points[i]);
            const FixedPoint q = fixedOf(points[i + 1]);
            const FixedPoint o = offsets_[static_cast<std::size_t>(i)];
            Corner a = cornerOf(offsetBy(p, o, 1));
            Corner b = cornerOf(offsetBy(p, o, -1));
            Corner c = cornerOf(offsetBy(q, o, 1));
            Corner d = cornerOf(offsetBy(q, o, -1));
            if (i > 0) {
                Corner centre = cornerOf(p);
                fillCorners(canvas, {&centre, &prevC, &a}, pixel);
                fillCorners(canvas, {&centre, &prevD, &b}, pixel);
            }
            fillCorners(canvas, {&a, &c, &d, &b}, pixel);
            if (i == 0) fillCap(canvas, p, o, a, b);
            prevC = c;
            prevD = d;
        }
        fillCap(canvas, fixedOf(points[count - 1]), offsets_[static_cast<std::size_t>(count - 2)], prevC,
                prevD);
        gather_ = nullptr;
        runs.finish(gather.firstY, gather.lastY);
    }

    void drawWidePolylineBorder(const Canvas& canvas, const Point* points, const Point* normals,
                                std::int32_t normalLength, int count, std::int32_t width,
                                std::uint32_t colour) override {
        if (count < 2 || normalLength == 0) return;
        const std::uint32_t pixel = mapColor(colour, canvas.surface);
        // A frame's borders come before its bodies: the first border after
        // a body starts the next frame's corners.
        if (filledSinceKept_ || kept_.corners() > kKeptCornerLimit) {
            kept_.clear();
            filledSinceKept_ = false;
        }
        makeOffsets(normals, normalLength, count, width);
        // Each point and corner is projected and mapped once: a segment's
        // end is the next one's start, its end corners the joint's.
        Corner start = cornerOf(fixedOf(points[0]));
        // Lines are cut only along the depth planes (and nudged a pixel on
        // the screen): those and the canvas's sides with a margin can drop a
        // whole border. A first point inside the depth planes whose pixel
        // lies on the canvas or one pixel beside it clears every plane and
        // side there (its column c >= left - 1 gives x V0 / w > 256 (left -
        // 1) - V6 - 129, c <= right gives x V0 / w < 256 (right + 1) - V6 -
        // 127, rows alike): bandMayShow would say so, and need not be asked.
        Point64 first;
        const bool firstShows = (start.clip.code & kDepth) == 0 && screenOf(start, first) &&
                                first.x >= i64{canvas.left} - 1 && first.x <= canvas.right &&
                                first.y >= i64{canvas.top} - 1 && first.y <= canvas.bottom;
        if (!firstShows && !bandMayShow(points, count, kDepth, &canvas)) return;
        lineTarget_ = detail::BorderLineTarget(canvas, pixel);
        // The corners are kept for the band's body when all of them lie
        // inside the depth planes (a body cut there needs their clip points).
        keeping_ = true;
        staging_.resize(static_cast<std::size_t>(5 * count + 8));
        Corner prevC;
        Corner prevD;
        for (int i = 0; i + 1 < count; ++i) {
            const FixedPoint p = fixedOf(points[i]);
            const FixedPoint q = fixedOf(points[i + 1]);
            const FixedPoint o = offsets_[static_cast<std::size_t>(i)];
            Corner end;
            Corner a;
            Corner b;
            Corner c;
            Corner d;
            projectSegment(p, q, o, end, a, b, c, d);
            // The side lines move away from the centre line's visible part.
            Point64 c0;
            Point64 c1;
            const bool centre = clipToScreen(start, end, kDepth, c0, c1);
            const Point64 middle{c0.x / 2 + c1.x / 2, c0.y / 2 + c1.y / 2};
            borderLine(canvas, a, c, centre ? &middle : nullptr);
            borderLine(canvas, b, d, centre ? &middle : nullptr);
            if (i == 0) {
                capOutline(canvas, p, o, start, a, b, static_cast<std::size_t>(5 * count - 4));
            } else {
                Point64 vertex;
                const bool seen = (start.clip.code & kDepth) == 0 && screenOf(start, vertex);
                borderLine(canvas, prevC, a, seen ? &vertex : nullptr);
                borderLine(canvas, prevD, b, seen ? &vertex : nullptr);
            }
            const std::size_t at = static_cast<std::size_t>(5 * i);
            keepCorner(start, at);
            keepCorner(a, at + 1);
            keepCorner(b, at + 2);
            keepCorner(c, at + 3);
            keepCorner(d, at + 4);
            prevC = c;
            prevD = d;
            start = end;
        }
        keepCorner(start, static_cast<std::size_t>(5 * (count - 1)));
        capOutline(canvas, fixedOf(points[count - 1]), offsets_[static_cast<std::size_t>(count - 2)], start,
                   prevC, prevD, static_cast<std::size_t>(5 * count + 2));
        if (keeping_)
            kept_.keep(keyOf(points, normals, normalLength, count, width), staging_.data(), staging_.size());
        keeping_ = false;
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
            projectTo(fixedOf(points[i]), clip_[static_cast<std::size_t>(i)]);
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
            projectTo(fixedOf(points[i]), clip_[static_cast<std::size_t>(i)]);
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
        return bandMayShow(points, count, planes, nullptr);
    }

    // The same, and with a canvas also false when every line a border of
    // the band could draw lies beyond one of the canvas's sides (a border's
    // lines are not cut along the side planes, so those cannot tell).
    // A point of w > 0 lands on screen column (trunc(x V0 / w) + V6 + 128)
    // >> 8; truncation moves the quotient by less than one, so the column
    // is at most left - 2 wherever x V0 + (V6 + 129 - 256 (left - 1)) w <= 0
    // and at least right + 1 wherever x V0 - (256 (right + 1) - V6 - 127) w
    // >= 0; rows alike with V4 and V7. These are linear in the clip point:
    // true of every corner, they hold for every point cut from the lines
    // between them too, and the one-pixel nudge keeps such lines off the
    // canvas. Each corner's terms differ from its point's by at most the
    // change bound (and one unit more per component for the cut points'
    // rounding).
    bool bandMayShow(const Point* points, int count, unsigned planes, const Canvas* canvas) const {
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
        // The canvas's sides as a h[axis] + b w <= 0 (left, right, top,
        // bottom), with their slack.
        struct Side {
            int axis;
            i128 a;
            i128 b;
            i128 slack;
        };
        Side sides[4]{};
        unsigned beyond = 0;
        if (canvas != nullptr) {
            const FixedViewport& v = viewport3d().fixed;
            sides[0] = {0, v[0], i128{v[6]} + 129 - (i128{canvas->left} - 1) * 256, 0};
            sides[1] = {0, -i128{v[0]}, (i128{canvas->right} + 1) * 256 - v[6] - 127, 0};
            sides[2] = {1, v[4], i128{v[7]} + 129 - (i128{canvas->top} - 1) * 256, 0};
            sides[3] = {1, -i128{v[4]}, (i128{canvas->bottom} + 1) * 256 - v[7] - 127, 0};
            for (Side& side : sides) {
                const i128 a = side.a < 0 ? -side.a : side.a;
                const i128 b = side.b < 0 ? -side.b : side.b;
                side.slack = a * (change[side.axis] + 1) + b * (change[3] + 1);
            }
            beyond = 0xF;
        }
        unsigned outside = planes;
        for (int i = 0; i < count && (outside | beyond) != 0; ++i) {
            const FixedPoint p = fixedOf(points[i]);
            if (std::abs(p.x) >= kCullRange || std::abs(p.y) >= kCullRange) return true;
            const ClipPoint c = project(p);
            for (int k = 0; k < 6; ++k)
                if ((outside & (1u << k)) != 0 && c.d(k) + bound[k] >= 0) outside &= ~(1u << k);
            for (int k = 0; k < 4; ++k) {
                const Side& side = sides[k];
                if ((beyond & (1u << k)) != 0 && side.a * c.h[side.axis] + side.b * c.h[3] + side.slack > 0)
                    beyond &= ~(1u << k);
            }
        }
        return outside == 0 && beyond == 0;
    }

    void makeOffsets(const Point* normals, std::int32_t normalLength, int count, std::int32_t width) {
        // k = (width << 24) / N; the offset in 24 fraction bits, taken to the
        // 14 of the fixed coordinates.
        const i64 k = (i64{width} * kOne24) / normalLength;
        offsets_.resize(static_cast<std::size_t>(count - 1));
        if (k > -(i64{1} << 31) && k < (i64{1} << 31)) {
            // The products of i32 normals stay below 2^62: 64 bits hold them.
            for (int i = 0; i + 1 < count; ++i)
                offsets_[static_cast<std::size_t>(i)] =
                    FixedPoint{std::clamp((normals[i].x * k) >> 10, -kCoordinateLimit, kCoordinateLimit),
                               std::clamp((normals[i].y * k) >> 10, -kCoordinateLimit, kCoordinateLimit)};
            return;
        }
        for (int i = 0; i + 1 < count; ++i)
            offsets_[static_cast<std::size_t>(i)] =
                FixedPoint{clampTo((i128{normals[i].x} * k) >> 10, kCoordinateLimit),
                           clampTo((i128{normals[i].y} * k) >> 10, kCoordinateLimit)};
    }

    // The cap octagon: the square p +- o, p +- o turned a quarter, and the same
    // square turned by 45 degrees.
    static void capCorners(FixedPoint p, FixedPoint o, FixedPoint out[8]) {
        const FixedPoint r{-o.y, o.x};
        // Offsets of at most 2^40: the products stay below 2^55.
        const FixedPoint d{std::clamp(((o.x - o.y) * kCapRotation) >> 14, -kCoordinateLimit, kCoordinateLimit),
                           std::clamp(((o.y + o.x) * kCapRotation) >> 14, -kCoordinateLimit, kCoordinateLimit)};
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

    // Projects the cap's corners 1, 2, 3, 5, 6 and 7 into k, as projectTo
    // of capCorners' points (from the point's and offsets' sums below
    // kSumBound: 32 products instead of 48).
    static void projectCapCorners(FixedPoint p, FixedPoint o, Corner k[8]) {
        const FixedPoint d{
            std::clamp(((o.x - o.y) * kCapRotation) >> 14, -kCoordinateLimit, kCoordinateLimit),
            std::clamp(((o.y + o.x) * kCapRotation) >> 14, -kCoordinateLimit, kCoordinateLimit)};
        if (!belowSumBound({p, o, d})) [[unlikely]] {
            FixedPoint v[8];
            capCorners(p, o, v);
            for (int i = 0; i < 8; ++i)
                if (i % 4 != 0) projectTo(v[i], k[i].clip);
            return;
        }
        // r = (-o.y, o.x) and e = (-d.y, d.x) lie below the bound with o
        // and d.
        const FixedMatrix& m = fixedMatrix3d();
        const ProjectionSums sp = sumsOf(p, m);
        const ProjectionSums sd = sumsOf(d, m);
        const ProjectionSums sr = sumsOf(FixedPoint{-o.y, o.x}, m);
        const ProjectionSums se = sumsOf(FixedPoint{-d.y, d.x}, m);
        projectSums(k[1].clip, m, sp, sd, 1);
        projectSums(k[2].clip, m, sp, sr, 1);
        projectSums(k[3].clip, m, sp, se, 1);
        projectSums(k[5].clip, m, sp, sd, -1);
        projectSums(k[6].clip, m, sp, sr, -1);
        projectSums(k[7].clip, m, sp, se, -1);
    }

    // The cap's octagon as one shape; v0 and v4 (p + o and p - o) are the
    // segment's corners, already projected. Its sides are the outline's, so
    // the body reaches the outline all round.
    void fillCap(const Canvas& canvas, FixedPoint p, FixedPoint o, Corner& v0, Corner& v4) {
        FixedPoint v[8];
        capCorners(p, o, v);
        Corner k[8];
        for (int i = 0; i < 8; ++i)
            if (i % 4 != 0) k[i] = cornerOf(v[i]);
        Corner* const at[8] = {&v0, &k[1], &k[2], &k[3], &v4, &k[5], &k[6], &k[7]};
        Point64 ring[16];
        const std::size_t n = ringOf(at, 8, ring);
        if (n >= 3) gather_->convex(canvas, ring, static_cast<int>(n));
    }

    // The cap's outline around the projected point `centre`, its corners 0
    // and 4 (p + o and p - o) already projected.
    // Its six corners of its own are kept from `kept` on (1, 2, 3, 5, 6, 7).
    void capOutline(const Canvas& canvas, FixedPoint p, FixedPoint o, Corner& centre, Corner& v0, Corner& v4,
                    std::size_t kept) {
        Corner k[8];
        projectCapCorners(p, o, k);
        Corner* at[8] = {&v0, &k[1], &k[2], &k[3], &v4, &k[5], &k[6], &k[7]};
        Point64 c;
        const bool seen = (centre.clip.code & kDepth) == 0 && screenOf(centre, c);
        // All eight corners inside the depth planes: no side is cut, and
        // the outline is walked as one closed shape.
        Point64 s[8];
        bool whole = seen;
        for (int i = 0; i < 8 && whole; ++i)
            whole = (at[i]->clip.code & kDepth) == 0 && screenOf(*at[i], s[i]);
        if (whole) {
            detail::drawClosedOutline(canvas, lineTarget_, s, 8, c);
            // Every corner mapped, inside the depth planes.
            if (keeping_)
                for (int i = 1; i < 8; ++i)
                    if (i != 4) keepScreen(s[i], k[i].clip.code, kept++);
            return;
        }
        for (int i = 0; i < 8; ++i)
            borderLine(canvas, *at[i], *at[(i + 1) % 8], seen ? &c : nullptr);
        for (int i = 1; i < 8; ++i)
            if (i != 4) keepCorner(k[i], kept++);
    }

    // Stores a border corner for the band's body; a corner outside the
    // depth planes, or with no image, or off the i32 range keeps none of
    // the band's corners.
    void keepCorner(Corner& c, std::size_t index) {
        if (!keeping_) return;
        Point64 s;
        if ((c.clip.code & kDepth) != 0 || !screenOf(c, s)) {
            keeping_ = false;
            return;
        }
        keepScreen(s, c.clip.code, index);
    }

    // keepCorner for a corner inside the depth planes whose pixel is s.
    void keepScreen(Point64 s, unsigned code, std::size_t index) {
        // -INT32_MAX <= x, y <= INT32_MAX as one unsigned test each (a
        // pixel lies within 2^40).
        constexpr i64 kKeptLimit = INT32_MAX;
        constexpr auto kSpan = static_cast<std::uint64_t>(2 * kKeptLimit);
        if ((static_cast<std::uint64_t>(s.x + kKeptLimit) > kSpan) |
            (static_cast<std::uint64_t>(s.y + kKeptLimit) > kSpan)) {
            keeping_ = false;
            return;
        }
        staging_[index] =
            detail::KeptCorner{static_cast<std::int32_t>(s.x), static_cast<std::int32_t>(s.y), code};
    }

    detail::BandKey keyOf(const Point* points, const Point* normals, std::int32_t normalLength, int count,
                          std::int32_t width) const {
        return detail::BandKey{
            points, normals, count, normalLength, width, &fixedMatrix3d(), &viewport3d().fixed};
    }

    // The body of a band from the corners its border kept, piece by piece
    // as drawWidePolyline makes them: corner 5i is point i, 5i + 1 to
    // 5i + 4 are segment i's a, b, c, d; then each cap's corners 1, 2, 3,
    // 5, 6, 7 (the start's, then the end's).
    void fillKept(const Canvas& canvas, const detail::KeptCorner* k, int count) {
        auto cap = [&](const detail::KeptCorner* r, const detail::KeptCorner& v0,
                       const detail::KeptCorner& v4) {
            if ((v0.code & v4.code & r[0].code & r[1].code & r[2].code & r[3].code & r[4].code & r[5].code &
                 0xF) != 0)
                return;
            const Point64 ring[8] = {{v0.x, v0.y}, {r[0].x, r[0].y}, {r[1].x, r[1].y}, {r[2].x, r[2].y},
                                     {v4.x, v4.y}, {r[3].x, r[3].y}, {r[4].x, r[4].y}, {r[5].x, r[5].y}};
            gather_->convex(canvas, ring, 8);
        };
        for (int i = 0; i + 1 < count; ++i) {
            const detail::KeptCorner* s = k + 5 * i;
            if (i > 0) {
                fillKeptPiece(canvas, s[0], s[-2], s[1]);
                fillKeptPiece(canvas, s[0], s[-1], s[2]);
            }
            fillKeptPiece(canvas, s[1], s[3], s[4], s[2]);
            if (i == 0) cap(k + 5 * count - 4, s[1], s[2]);
        }
        const detail::KeptCorner* last = k + 5 * (count - 2);
        cap(k + 5 * count + 2, last[3], last[4]);
    }

    // Kept pieces go to the gather as fillScreenPolygon hands them over;
    // every vertex outside one side plane: nothing of it shows.
    void fillKeptPiece(const Canvas& canvas, const detail::KeptCorner& a, const detail::KeptCorner& b,
                       const detail::KeptCorner& c) {
        if ((a.code & b.code & c.code & 0xF) != 0) return;
        gather_->triangle(canvas, Point64{a.x, a.y}, Point64{b.x, b.y}, Point64{c.x, c.y});
    }

    void fillKeptPiece(const Canvas& canvas, const detail::KeptCorner& a, const detail::KeptCorner& b,
                       const detail::KeptCorner& c, const detail::KeptCorner& d) {
        if ((a.code & b.code & c.code & d.code & 0xF) != 0) return;
        gather_->quad(canvas, Point64{a.x, a.y}, Point64{b.x, b.y}, Point64{c.x, c.y}, Point64{d.x, d.y});
    }

    // A border line clipped against the near and far planes, moved one pixel
    // away from `away` (when known) and drawn with both end pixels, in the
    // band's colour (lineTarget_).
    void borderLine(const Canvas& canvas, Corner& a, Corner& b, const Point64* away) {
        Point64 sa;
        Point64 sb;
        if (!clipToScreen(a, b, kDepth, sa, sb)) return;
        if (away != nullptr) detail::nudgeAway(sa, sb, *away);
        detail::drawBorderLine(canvas, lineTarget_, sa, sb);
    }

    // A band piece of projected corners, filled as fillClipped does: the
    // corners inside the near and far planes keep their pixels.
    void fillCorners(const Canvas& canvas, std::initializer_list<Corner*> corners, std::uint32_t pixel) {
        // At most four corners, each edge adding at most two points.
        Point64 ring[8];
        const std::size_t n = ringOf(corners.begin(), corners.size(), ring);
        fillScreenPolygon(canvas, ring, n, pixel, scan_, gather_);
    }

    // The screen points of a convex piece's projected corners, cut along
    // the near and far planes (each edge adds at most two: `ring` holds
    // twice `count`); none when every corner lies outside one side plane.
    std::size_t ringOf(Corner* const* at, std::size_t count, Point64* ring) {
        unsigned every = 0x3F;
        unsigned some = 0;
        for (std::size_t i = 0; i < count; ++i) {
            every &= at[i]->clip.code;
            some |= at[i]->clip.code;
        }
        // Every vertex outside one side plane: nothing of it shows.
        if ((every & 0xF) != 0) return 0;
        std::size_t n = 0;
        if ((some & kDepth) == 0) {
            for (std::size_t i = 0; i < count; ++i)
                if (screenOf(*at[i], ring[n])) ++n;
            return n;
        }
        for (std::size_t i = 0; i < count; ++i) {
            Corner& a = *at[i];
            const Corner& b = *at[(i + 1) % count];
            const unsigned ca = a.clip.code & kDepth;
            const unsigned cb = b.clip.code & kDepth;
            if ((ca & cb) != 0) continue;
            if (ca == 0 && screenOf(a, ring[n])) ++n;
            if ((ca | cb) == 0) continue;
            i64 tIn;
            i64 tOut;
            if (!clipRange(a.clip, b.clip, kDepth, tIn, tOut)) continue;
            if (ca != 0 && toScreen(interpolate(a.clip, b.clip, tIn), ring[n])) ++n;
            if (cb != 0 && toScreen(interpolate(a.clip, b.clip, tOut), ring[n])) ++n;
        }
        return n;
    }

    // Fills the polygon in clip_: rejected whole when no vertex lies inside
    // one of the four side planes; otherwise cut along the near and far
    // planes (the side planes are left to the canvas clipping) and filled.
    void fillClipped(const Canvas& canvas, std::uint32_t pixel) {
        bool inside[4] = {false, false, false, false};
        for (const ClipPoint& p : clip_)
            for (int k = 0; k < 4; ++k)
                inside[k] = inside[k] || p.d(k) >= 0;
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
        fillScreenPolygon(canvas, screen_.data(), screen_.size(), pixel, scan_, gather_);
    }

    std::vector<ClipPoint> clip_;
    std::vector<Point64> screen_;
    std::vector<FixedPoint> offsets_;
    PointVector scan_;
    BandGather* gather_ = nullptr; // while a band's pieces are filled
    detail::BorderLineTarget lineTarget_; // while a band's border is drawn
    // The corners of the frame's borders, for the bodies of the same bands.
    static constexpr std::size_t kKeptCornerLimit = std::size_t{1} << 20; // 12 MiB
    detail::BandCornerStore kept_;
    std::vector<detail::KeptCorner> staging_;
    bool keeping_ = false;
    bool filledSinceKept_ = false;
    std::uint64_t bodiesFromBorders_ = 0;
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

std::uint64_t bandBodiesFromBorders() {
    return renderer3dImpl().bodiesFromBorders();
}

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
