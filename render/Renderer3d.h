#pragma once
// The perspective renderer: the map lies in the ground plane (z = 0) and is
// seen by the pitched map camera. Map points go through a fixed-point 4x4
// matrix into homogeneous clip coordinates, primitives are clipped there, and
// the surviving points are divided by w and mapped to the screen by a
// fixed-point viewport before the 2D rasteriser draws them. The camera writes
// the matrix and the viewport; the renderer only reads them. Main thread
// only (shared scratch buffers).

#include "render/FixedTransform.h"
#include "render/Renderer.h"

#include <array>
#include <cstdint>

namespace xe {

// The camera's screen matrix (3 x 3, element index = column * 3 + row):
// element 0 = x scale w/2, element 4 = y scale -h/2, elements 6 and 7 = the x
// and y offsets w/2 and h/2.
using ScreenMatrix = std::array<float, 9>;
// The same with 8 fraction bits (toFixedViewport).
using FixedViewport = std::array<std::int32_t, 9>;

// The cell-local ground point to clip coordinates transform of the 3D
// renderer, written by the map camera (toFixedMatrix of its 3D object matrix)
// whenever it sets a cell origin.
FixedMatrix& fixedMatrix3d();

// The viewport of the 3D renderer and its float original, written by the map
// camera when the viewport changes.
struct Viewport3d {
    ScreenMatrix screen{};
    FixedViewport fixed{};
};
Viewport3d& viewport3d();
// Stores the screen matrix and its fixed form: above 2^24 gives INT32_MAX,
// below -2^24 INT32_MIN, else floor(v * 256 + 0.5).
void setViewport3d(const ScreenMatrix& screen);
void toFixedViewport(const ScreenMatrix& source, FixedViewport& destination);

// The perspective renderer, built on first use.
Renderer& renderer3d();

// How many band bodies the perspective renderer has filled from the corners
// their borders kept (a frame draws every border before the bodies), since
// the start: tests check that the kept corners are used.
std::uint64_t bandBodiesFromBorders();

// One thick segment of the route line between two cell-local float points:
// the quadrilateral of half-width `width` and an octagon at each end, drawn
// in 2D with the float 2D object matrix. Nothing when the segment is shorter
// than 0.0001.
void drawFloatBand(const Canvas& canvas, const float* object2d, FloatPoint a, FloatPoint b, float width,
                   std::uint32_t colour);
// The same in 3D: the quadrilateral and a half-octagon cap at each end are
// built in map units, projected with the float 3D object matrix, clipped
// against the near and far planes and filled, all in floating point; the
// screen mapping uses viewport3d().screen.
void drawFloatBand3d(const Canvas& canvas, const float* object3d, FloatPoint a, FloatPoint b, float width,
                     std::uint32_t colour);

} // namespace xe
