#pragma once
// The vector drawing interface through which the map layers and the frame
// draw map geometry. Points are i32 pairs in level units relative to the
// corner of the grid cell being drawn; the renderer applies the current view
// transform and rasterises onto the canvas. Colours are renderer colours
// 0x00BBGGRR. Main thread only.

#include "render/Canvas.h"

#include <cstdint>

namespace xe {

// The map camera's float matrices that slots 4 and 7 read (16 floats each,
// column-major, acting on column vectors). The camera owns the matrices and
// keeps the pointers valid while a frame is drawn.
struct ViewMatrices {
    // Cell-local point to screen pixel (2D object matrix).
    const float* object2d = nullptr;
    // Cell-local ground point to clip coordinates (3D object matrix).
    const float* object3d = nullptr;
    // Screen pixel to pattern coordinates (pattern fill of polygons).
    const float* pattern = nullptr;
};

class Renderer {
  public:
    Renderer() = default;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
    virtual ~Renderer() = default;

    // Each segment i to i+1 as a one-pixel line with both end pixels.
    virtual void drawPolyline(const Canvas& canvas, const Point* points, int count, std::uint32_t colour) = 0;

    // Band of full width 2 * width (map units) with octagonal caps; normals[i]
    // is perpendicular to segment i with length normalLength. Nothing when
    // count < 2.
    virtual void drawWidePolyline(const Canvas& canvas, const Point* points, const Point* normals,
                                  std::int32_t normalLength, int count, std::int32_t width,
                                  std::uint32_t colour) = 0;

    // Only the border lines of the same band.
    virtual void drawWidePolylineBorder(const Canvas& canvas, const Point* points, const Point* normals,
                                        std::int32_t normalLength, int count, std::int32_t width,
                                        std::uint32_t colour) = 0;

    // Dashed band along the polyline in map units; unused is ignored by both
    // renderers. Dash length = gap length = 2 * width * dashFactor.
    virtual void drawDashedPolyline(const Canvas& canvas, const ViewMatrices& view, std::int32_t normalLength,
                                    const Point* points, const Point* normals, std::int32_t unused, int count,
                                    float width, float dashFactor, std::uint32_t colour) = 0;

    // Direction arrow heads at segment midpoints, filled through fillPolygon.
    virtual void drawArrows(const Canvas& canvas, const Point* points, const Point* normals,
                            std::int32_t normalLength, int count, float size, std::uint32_t colour) = 0;

    // Even-odd fill of a closed polygon.
    virtual void fillPolygon(const Canvas& canvas, const Point* points, int count, std::uint32_t colour) = 0;

    // Polygon filled with a repeated pattern image (view.pattern). The pattern
    // must pass isUsablePattern for the canvas surface (see Fill.h).
    virtual void fillPatternPolygon(const Canvas& canvas, const ViewMatrices& view, const Point* points,
                                    int count, SDL_Surface* pattern) = 0;

    // Outline of a polygon ring of a map cell of side frameSize, skipping the
    // edges that join two points on the cell's frame (x or y equal to 0 or
    // frameSize).
    virtual void drawPolygonOutline(const Canvas& canvas, std::int32_t frameSize, const Point* points,
                                    int count, std::uint32_t colour) = 0;
};

// The 2D renderer (fixed-point affine transform, fixedMatrix2d), built on
// first use.
Renderer& renderer2d();

} // namespace xe
