#pragma once
// What the 2D and the 3D renderer share: arrows and polygon outlines, built
// on the renderer's own fillPolygon and drawPolylineInterior.

#include "render/Renderer.h"

namespace xe {

class RendererBase : public Renderer {
  public:
    void drawArrows(const Canvas& canvas, const Point* points, const Point* normals,
                    std::int32_t normalLength, int count, float size, std::uint32_t colour) override;
    void drawPolygonOutline(const Canvas& canvas, std::int32_t frameSize, const Point* points, int count,
                            std::uint32_t colour) override;

    // Like drawPolyline, but each segment without its two end pixels.
    virtual void drawPolylineInterior(const Canvas& canvas, const Point* points, int count,
                                      std::uint32_t colour) = 0;

  private:
    PointVector run_; // outline run buffer, grows to the largest ring seen
};

} // namespace xe
