#include "render/Fill.h"

#include "core/Log.h"
#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/detail/EdgeWalker.h"
#include "render/detail/EvenOddScan.h"
#include "render/detail/Raster.h"
#include "render/detail/TriangleScan.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace xe {

using detail::i128;
using detail::i64;

namespace {

// Clamps the inclusive run [xmin, xmax] to the canvas and fills it.
void fillRun(const Canvas& canvas, i64 y, i64 xmin, i64 xmax, std::uint32_t pixel) {
    const i64 a = std::max<i64>(xmin, canvas.left);
    const i64 b = std::min<i64>(xmax, i64{canvas.right} - 1);
    if (a > b) return;
    const SDL_Surface* surface = canvas.surface;
    fillRowRun(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch,
               surface->format->BytesPerPixel, a, static_cast<std::size_t>(b - a + 1), pixel);
}

bool polygonTooLarge(int count) {
    if (count <= kMaxPolygonVertices) return false;
    Log::log(Log::Critical, u"Polygon of %d points exceeds the limit of %d, not drawn", count,
             kMaxPolygonVertices);
    return true;
}

// A run on a row as one sortable value: its first pixel over its last, both
// biased to unsigned. Every coordinate of a polygon's walk lies between two
// of its points, so both fit 32 bits.
std::uint64_t runKey(i64 first, i64 last) {
    return (std::uint64_t{static_cast<std::uint32_t>(first) ^ 0x80000000u} << 32) |
           (static_cast<std::uint32_t>(last) ^ 0x80000000u);
}
i64 runFirst(std::uint64_t key) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(key >> 32) ^ 0x80000000u);
}
i64 runLast(std::uint64_t key) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(key) ^ 0x80000000u);
}

// The flat fill's tables: the runs of a row as keys of runKey.
using FlatScanTables = detail::BlockScanTables<detail::EdgeWalker, std::uint64_t>;

// Sorts a row's runs (by insertion: between vertex rows they are nearly in
// order already) and fills them pair by pair, each span from the pair's
// first start to its larger end, that end excluded, clamped to left ..
// right - 1. The order of runs with the same start does not change the
// pixels: a row has an even number of runs (the polygon is closed, so a row
// crosses it an even number of times), and a pair's span reaches at least
// to the start of the next pair's first run, so that two such runs
// trading places leave the union of the spans as it was.
template <int Bytes>
__attribute__((always_inline)) inline void fillRunPairs(std::uint8_t* row, std::uint64_t* keys, int count,
                                                        i64 left, i64 right, std::uint32_t pixel) {
    for (int i = 1; i < count; ++i) {
        const std::uint64_t key = keys[i];
        int j = i;
        while (j > 0 && keys[j - 1] > key) {
            keys[j] = keys[j - 1];
            --j;
        }
        keys[j] = key;
    }
    for (int i = 0; i + 1 < count; i += 2) {
        const i64 a = std::max(runFirst(keys[i]), left);
        const i64 b = std::min(std::max(runLast(keys[i]), runLast(keys[i + 1])), right);
        if (a < b) fillRowRun(row, Bytes, a, static_cast<std::size_t>(b - a), pixel);
    }
}

// Walks an edge over `rows` rows before its last one, its state in
// registers, storing its run of each row `stride` keys apart.
template <bool XMajor> void walkBlock(detail::EdgeWalker& edge, int rows, std::uint64_t* keys, int stride) {
    detail::EdgeWalker w = edge;
    for (int r = 0; r < rows; ++r) {
        w.stepBefore<XMajor, true>();
        keys[r * stride] = runKey(w.xmin, w.xmax);
    }
    edge = w;
}

// The rows, runs and spans of detail::scanPolygon, filled into a surface of
// Bytes bytes per pixel: the pixels set are the same.
template <int Bytes>
void scanFlatPolygon(const Canvas& canvas, const Point* points, int n, std::uint32_t pixel,
                     FlatScanTables& t) {
    struct Ops {
        const Canvas& canvas;
        std::uint8_t* pixels;
        i64 pitch;
        std::uint32_t pixel;
        std::uint64_t key(const detail::EdgeWalker& w) const { return runKey(w.xmin, w.xmax); }
        void walk(detail::EdgeWalker& w, int rows, std::uint64_t* keys, int stride) const {
            if (w.xMajor)
                walkBlock<true>(w, rows, keys, stride);
            else
                walkBlock<false>(w, rows, keys, stride);
        }
        void row(i64 y, std::uint64_t* keys, int count) const {
            fillRunPairs<Bytes>(pixels + y * pitch, keys, count, canvas.left, canvas.right, pixel);
        }
        void span(i64 y, i64 a, i64 b) const {
            fillRowRun(pixels + y * pitch, Bytes, a, static_cast<std::size_t>(b - a), pixel);
        }
    };
    Ops ops{canvas, static_cast<std::uint8_t*>(canvas.surface->pixels), canvas.surface->pitch, pixel};
    detail::scanPolygonBlocks(canvas, points, n, t, ops);
}

FlatScanTables flatTables;
detail::FixedScanTables patternTables;

} // namespace

namespace detail {

void fillTriangle64(const Canvas& canvas, i64 x0, i64 y0, i64 x1, i64 y1, i64 x2, i64 y2,
                    std::uint32_t pixel) {
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    scanTriangle(canvas, x0, y0, x1, y1, x2, y2,
                 [c = canvas, pixel](i64 y, i64 from, i64 to) { fillRun(c, y, from, to, pixel); });
}

} // namespace detail

void fillTriangle(const Canvas& canvas, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  std::int32_t x2, std::int32_t y2, std::uint32_t pixel) {
    detail::fillTriangle64(canvas, x0, y0, x1, y1, x2, y2, pixel);
}

void fillTrianglePoints(const Canvas& canvas, const Point* a, const Point* b, const Point* c,
                        std::uint32_t pixel) {
    fillTriangle(canvas, a->x, a->y, b->x, b->y, c->x, c->y, pixel);
}

void fillPolygonScan(const Canvas& canvas, const Point* points, int count, std::uint32_t pixel) {
    if (count < 3 || polygonTooLarge(count)) return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    switch (canvas.surface->format->BytesPerPixel) {
    case 4:
        scanFlatPolygon<4>(canvas, points, count, pixel, flatTables);
        break;
    case 2:
        scanFlatPolygon<2>(canvas, points, count, pixel, flatTables);
        break;
    case 1:
        scanFlatPolygon<1>(canvas, points, count, pixel, flatTables);
        break;
    default: // 24-bit targets are not supported by the span writers
        break;
    }
}

bool isUsablePattern(const SDL_Surface* pattern, const SDL_Surface* target) {
    if (pattern == nullptr || target == nullptr || pattern->w < 1 || pattern->w != pattern->h) return false;
    if (!std::has_single_bit(static_cast<unsigned>(pattern->w))) return false;
    const SDL_PixelFormat* p = pattern->format;
    const SDL_PixelFormat* t = target->format;
    if (p->BytesPerPixel != t->BytesPerPixel ||
        (p->BytesPerPixel != 1 && p->BytesPerPixel != 2 && p->BytesPerPixel != 4))
        return false;
    return p->Rmask == t->Rmask && p->Gmask == t->Gmask && p->Bmask == t->Bmask;
}

namespace {

// Copies pattern pixels into row y from xa to xb - 1, the pattern coordinates
// stepped evenly from those of xa to those of xb.
template <class Pixel>
void copyPatternSpan(const Canvas& canvas, const float* m, SDL_Surface* pattern, i64 y, i64 xa, i64 xb) {
    const float fy = static_cast<float>(y);
    auto u = [&](i64 x) { return i64{floorToInt(m[0] * static_cast<float>(x) + m[4] * fy + m[12] + 0.5f)}; };
    auto v = [&](i64 x) { return i64{floorToInt(m[1] * static_cast<float>(x) + m[5] * fy + m[13] + 0.5f)}; };
    const i64 length = xb - xa;
    const i64 ua = u(xa);
    const i64 va = v(xa);
    const i64 du = u(xb) - ua;
    const i64 dv = v(xb) - va;
    const i64 mask = pattern->w - 1;
    const std::uint8_t* source = static_cast<const std::uint8_t*>(pattern->pixels);
    const i64 sourcePitch = pattern->pitch;
    Pixel* out = reinterpret_cast<Pixel*>(static_cast<std::uint8_t*>(canvas.surface->pixels) +
                                          y * canvas.surface->pitch) +
                 xa;
    i64 cu = ua;
    i64 cv = va;
    if (du == length && dv == 0) {
        // One pattern pixel per pixel along one pattern row (an unrotated
        // pattern at its own scale): the row is copied a piece at a time.
        const Pixel* row = reinterpret_cast<const Pixel*>(source + (cv & mask) * sourcePitch);
        const i64 period = mask + 1;
        // One period from the pattern (in two pieces when it wraps) ...
        i64 done = std::min(length, period);
        const i64 from = cu & mask;
        const i64 head = std::min(done, period - from);
        std::copy_n(row + from, head, out);
        std::copy_n(row, done - head, out + head);
        // ... then the span repeats what it holds, in copies that double.
        while (done < length) {
            const i64 n = std::min(done, length - done);
            std::copy_n(out, n, out + done);
            done += n;
        }
        return;
    }
    // Floor division so that the remainders stay in [0, length).
    auto floorDiv = [](i64 a, i64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); };
    const i64 qu = floorDiv(du, length);
    const i64 ru = du - qu * length;
    const i64 qv = floorDiv(dv, length);
    const i64 rv = dv - qv * length;
    i64 eu = 0;
    i64 ev = 0;
    for (i64 i = 0; i < length; ++i) {
        out[i] = reinterpret_cast<const Pixel*>(source + (cv & mask) * sourcePitch)[cu & mask];
        cu += qu;
        eu += ru;
        if (eu >= length) {
            eu -= length;
            ++cu;
        }
        cv += qv;
        ev += rv;
        if (ev >= length) {
            ev -= length;
            ++cv;
        }
    }
}

} // namespace

void fillPatternScan(const Canvas& canvas, const float* patternMatrix, const Point* points, int count,
                     SDL_Surface* pattern) {
    if (count < 3 || polygonTooLarge(count) || !isUsablePattern(pattern, canvas.surface)) return;
    SurfaceLock lock(canvas.surface);
    if (!lock.ok()) return;
    SurfaceLock patternLock(pattern);
    if (!patternLock.ok()) return;
    const int bytes = canvas.surface->format->BytesPerPixel;
    detail::scanFixedPolygon(canvas, points, count, patternTables, [&](i64 y, i64 a, i64 b) {
        if (bytes == 1)
            copyPatternSpan<std::uint8_t>(canvas, patternMatrix, pattern, y, a, b);
        else if (bytes == 2)
            copyPatternSpan<std::uint16_t>(canvas, patternMatrix, pattern, y, a, b);
        else
            copyPatternSpan<std::uint32_t>(canvas, patternMatrix, pattern, y, a, b);
    });
}

} // namespace xe
