#pragma once
// The triangles, quadrilaterals and cap octagons of one 3D band's pieces gathered into row
// runs (each row of the band filled once), and the rows they reach. The
// scans are compiled apart from the renderer: in its large file GCC stops
// inlining the sink's calls into them.

#include "render/Canvas.h"
#include "render/detail/Raster.h"
#include "render/detail/RowRuns.h"

#include <cstdint>

namespace xe::detail {

struct BandGather {
    RowRuns::Sink run;
    std::int64_t firstY = INT64_MAX;
    std::int64_t lastY = INT64_MIN;
    void triangle(const Canvas& canvas, Point64 a, Point64 b, Point64 c);
    // The quadrilateral a, b, c, d: the pixels of the triangles (a, b, c)
    // and (a, c, d), scanned as one shape where it allows (the 2D bands'
    // segment scan).
    void quad(const Canvas& canvas, Point64 a, Point64 b, Point64 c, Point64 d);
    // The convex polygon p[0 .. n-1] as one shape (scanConvex).
    void convex(const Canvas& canvas, const Point64* p, int n);
};

} // namespace xe::detail
