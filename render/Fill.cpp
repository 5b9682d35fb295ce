#include "render/Fill.h"

#include "core/Log.h"
#include "render/Numeric.h"
#include "render/Pixels.h"
#include "render/detail/EdgeWalker.h"
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

struct Run {
    i64 start;
    i64 end;
};

// The row-by-row even-odd scan shared by the flat and the pattern fill. Edge
// is a walker type (EdgeWalker or FixedEdge); span(y, xa, xb) fills the
// pixels xa .. xb-1 of row y, already clamped to the canvas.
template <class Edge> struct ScanTables {
    int order[kMaxPolygonVertices];
    Edge edges[kMaxPolygonVertices];
    i64 runRow[kMaxPolygonVertices];
    Run runs[kMaxPolygonVertices];
};

bool polygonTooLarge(int count) {
    if (count <= kMaxPolygonVertices) return false;
    Log::log(Log::Critical, u"Polygon of %d points exceeds the limit of %d, not drawn", count,
             kMaxPolygonVertices);
    return true;
}

template <class Edge, class Span>
void scanPolygon(const Canvas& canvas, const Point* points, int n, ScanTables<Edge>& t, Span span) {
    const i64 left = canvas.left;
    const i64 right = canvas.right;
    const i64 top = canvas.top;
    const i64 bottom = canvas.bottom;

    // Vertex indices sorted by y (insertion sort: stable, no allocation).
    for (int i = 0; i < n; ++i) {
        const int v = i;
        int j = i;
        while (j > 0 && points[t.order[j - 1]].y > points[v].y) {
            t.order[j] = t.order[j - 1];
            --j;
        }
        t.order[j] = v;
    }
    i64 minX = points[0].x;
    i64 maxX = points[0].x;
    for (int i = 1; i < n; ++i) {
        minX = std::min<i64>(minX, points[i].x);
        maxX = std::max<i64>(maxX, points[i].x);
    }
    const i64 minY = points[t.order[0]].y;
    const i64 maxY = points[t.order[n - 1]].y;
    if (maxX < left || minX >= right || minY >= bottom || maxY < top || minY == maxY) return;

    auto clampedSpan = [&](i64 y, i64 a, i64 b) {
        a = std::max(a, left);
        b = std::min(b, right);
        if (a < b) span(y, a, b);
    };
    int active = 0;
    // Pairs of runs in order of their starts; each span runs from the pair's
    // smaller start to its larger end, that end excluded.
    auto fillRow = [&](i64 y) {
        if (y < top || y >= bottom || active < 2) return;
        for (int i = 0; i < active; ++i) {
            const Run r{t.edges[i].xmin, t.edges[i].xmax};
            int j = i;
            while (j > 0 && t.runs[j - 1].start > r.start) {
                t.runs[j] = t.runs[j - 1];
                --j;
            }
            t.runs[j] = r;
        }
        for (int i = 0; i + 1 < active; i += 2)
            clampedSpan(y, std::min(t.runs[i].start, t.runs[i + 1].start),
                        std::max(t.runs[i].end, t.runs[i + 1].end));
    };
    auto ensureRuns = [&](i64 y) {
        for (int i = 0; i < active; ++i)
            if (t.runRow[i] != y) {
                t.edges[i].step();
                t.runRow[i] = y;
            }
    };
    auto addEdge = [&](const Point& from, const Point& to) {
        t.edges[active].start(from.x, from.y, to.x, to.y);
        t.runRow[active] = minY - 1;
        ++active;
    };

    int k = 0;
    i64 y = minY;
    while (y < bottom) {
        // Vertex row: the edges reaching it first, then the ones leaving it.
        ensureRuns(y);
        fillRow(y);
        int kept = 0;
        for (int i = 0; i < active; ++i)
            if (t.edges[i].endY != y) {
                t.edges[kept] = t.edges[i];
                t.runRow[kept] = t.runRow[i];
                ++kept;
            }
        active = kept;
        while (k < n && points[t.order[k]].y == y) {
            const int v = t.order[k];
            const Point& p = points[v];
            const Point& next = points[v + 1 == n ? 0 : v + 1];
            const Point& prev = points[v == 0 ? n - 1 : v - 1];
            if (next.y == y) {
                if (y >= top) clampedSpan(y, std::min<i64>(p.x, next.x), std::max<i64>(p.x, next.x));
            } else if (next.y > y) {
                addEdge(p, next);
            }
            if (prev.y > y) addEdge(p, prev);
            ++k;
        }
        if (k == n) break;
        ensureRuns(y);
        fillRow(y);

        const i64 nextY = points[t.order[k]].y;
        i64 row = y + 1;
        if (row < top) {
            const i64 to = std::min(top, nextY);
            for (int i = 0; i < active; ++i) {
                t.edges[i].skip(to - row);
                t.runRow[i] = to - 1;
            }
            row = to;
        }
        for (; row < nextY && row < bottom; ++row) {
            ensureRuns(row);
            fillRow(row);
        }
        y = nextY;
    }
}

ScanTables<detail::EdgeWalker> flatTables;
ScanTables<detail::FixedEdge> patternTables;

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
    scanPolygon(canvas, points, count, flatTables, [&](i64 y, i64 a, i64 b) {
        drawHSpan(canvas.surface, static_cast<std::int32_t>(a), static_cast<std::int32_t>(b),
                  static_cast<std::int32_t>(y), pixel);
    });
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
    scanPolygon(canvas, points, count, patternTables, [&](i64 y, i64 a, i64 b) {
        if (bytes == 1)
            copyPatternSpan<std::uint8_t>(canvas, patternMatrix, pattern, y, a, b);
        else if (bytes == 2)
            copyPatternSpan<std::uint16_t>(canvas, patternMatrix, pattern, y, a, b);
        else
            copyPatternSpan<std::uint32_t>(canvas, patternMatrix, pattern, y, a, b);
    });
}

} // namespace xe
