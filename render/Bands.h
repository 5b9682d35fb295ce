#pragma once
// Octagonal caps and wide lines: solid bands with caps and joints, band
// borders, dashed bands and the thick polyline of track drawing. Pixel
// coordinates and pixel values, clipped to the canvas.

#include "render/Canvas.h"

#include <cstdint>

namespace xe {

// Filled octagon approximating a disc of radius r: with a = 181 r / 256 and
// s = 362 r / 256 the square (cx - a, cy - a, s, s), extended by four
// triangles joining each side's corners (cx +- a, cy +- a) to the point at
// distance r on that side. Nothing when r < 1; r = 1 gives a plus of five
// pixels.
void fillOctagon(const Canvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t r, std::uint32_t pixel);

// Outline of the same octagon (vertices (cx +- r, cy), (cx +- a, cy +- a),
// (cx, cy +- r)), each edge moved one pixel away from the centre.
void drawOctagonOutline(const Canvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t r,
                        std::uint32_t pixel);

// Moves the line a-b one pixel away from p: in x when it is at least as steep
// as 45 degrees (|dx| <= |dy|), else in y, toward the side p is not on.
void nudgeOutward(Point& a, Point& b, const Point& p);

// Solid band along a polyline of count points; offsets[i] is perpendicular to
// segment i and as long as the band's half-width. Octagonal caps at both
// ends, joints between segments. Nothing when count < 2.
void drawWideBand(const Canvas& canvas, const Point* points, const Point* offsets, int count,
                  std::uint32_t pixel);

// The border lines of the same band: side lines moved one pixel outward,
// joint lines, and octagon outlines at both ends.
void drawWideBandBorder(const Canvas& canvas, const Point* points, const Point* offsets, int count,
                        std::uint32_t pixel);

// Receives the pieces of a dashed band in map units: quadrilaterals (count 4,
// corners in order around the piece) and bevel triangles (count 3).
class DashPieceSink {
  public:
    virtual void piece(const FloatPoint* corners, int count) = 0;

  protected:
    ~DashPieceSink() = default;
};

// Geometry of a dashed band along a polyline in map units: normals[i] is
// perpendicular to segment i with length normalLength. The gap is stretched
// so that a whole number of periods spans the polyline (a polyline shorter
// than one period gets one dash over its first half); dashes that run over a
// vertex into the next segment get a bevel joint there. Segments of length
// 0.01 or less (repeated points, zero normals) are skipped. Nothing when
// count < 2 or the period is not positive. Shared by the 2D and 3D renderers.
void forEachDashPiece(std::int32_t normalLength, const Point* points, const Point* normals, int count,
                      float halfWidth, float dash, float gap, DashPieceSink& sink);

// The dashed band drawn in 2D: every corner mapped to the screen by the
// column-major float matrix and rounded, every piece filled as triangles.
void drawDashedBand(const Canvas& canvas, const float* objectMatrix, std::int32_t normalLength,
                    const Point* points, const Point* normals, int count, float halfWidth, float dash,
                    float gap, std::uint32_t pixel);

// Thick polyline without caps or joints (track drawing), 2 * width wide.
// Segments with both ends beyond the same clip edge, or 3000 pixels long or
// more, are skipped; a run of repeated points gets one octagon of radius
// floor(width + 0.5).
void drawThickPolyline(const Canvas& canvas, const Point* points, int count, float width,
                       std::uint32_t pixel);

} // namespace xe
