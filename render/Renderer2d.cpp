#include "render/Bands.h"
#include "render/Fill.h"
#include "render/FixedTransform.h"
#include "render/Lines.h"
#include "render/Pixels.h"
#include "render/RendererBase.h"

namespace xe {

namespace {

// The affine renderer: points through the fixed 2D matrix, then the
// rasteriser. Its scratch vectors grow to the largest call seen.
class Renderer2d final : public RendererBase {
  public:
    void drawPolyline(const Canvas& canvas, const Point* points, int count, std::uint32_t colour) override {
        if (count < 2) return;
        drawPolylineSegments(canvas, transformed(points, count), count, true,
                             mapColor(colour, canvas.surface));
    }

    void drawPolylineInterior(const Canvas& canvas, const Point* points, int count,
                              std::uint32_t colour) override {
        if (count < 2) return;
        drawPolylineSegments(canvas, transformed(points, count), count, false,
                             mapColor(colour, canvas.surface));
    }

    void drawWidePolyline(const Canvas& canvas, const Point* points, const Point* normals,
                          std::int32_t normalLength, int count, std::int32_t width,
                          std::uint32_t colour) override {
        if (count < 2 || normalLength == 0) return;
        drawWideBand(canvas, transformed(points, count), offsets(normals, normalLength, count, width), count,
                     mapColor(colour, canvas.surface));
    }

    void drawWidePolylineBorder(const Canvas& canvas, const Point* points, const Point* normals,
                                std::int32_t normalLength, int count, std::int32_t width,
                                std::uint32_t colour) override {
        if (count < 2 || normalLength == 0) return;
        drawWideBandBorder(canvas, transformed(points, count), offsets(normals, normalLength, count, width),
                           count, mapColor(colour, canvas.surface));
    }

    void drawDashedPolyline(const Canvas& canvas, const ViewMatrices& view, std::int32_t normalLength,
                            const Point* points, const Point* normals, std::int32_t, int count, float width,
                            float dashFactor, std::uint32_t colour) override {
        if (count < 2 || view.object2d == nullptr) return;
        const float dash = 2.0f * width * dashFactor;
        drawDashedBand(canvas, view.object2d, normalLength, points, normals, count, 1.5f * width, dash, dash,
                       mapColor(colour, canvas.surface));
    }

    void fillPolygon(const Canvas& canvas, const Point* points, int count, std::uint32_t colour) override {
        if (count < 3) return;
        fillPolygonScan(canvas, transformed(points, count), count, mapColor(colour, canvas.surface));
    }

    void fillPatternPolygon(const Canvas& canvas, const ViewMatrices& view, const Point* points, int count,
                            SDL_Surface* pattern) override {
        if (view.pattern == nullptr || count < 3) return;
        fillPatternScan(canvas, view.pattern, transformed(points, count), count, pattern);
    }

  private:
    const Point* transformed(const Point* points, int count) {
        if (points_.size() < static_cast<std::size_t>(count)) points_.resize(static_cast<std::size_t>(count));
        transformPoints(count, points, points_.data());
        return points_.data();
    }

    const Point* offsets(const Point* normals, std::int32_t normalLength, int count, std::int32_t width) {
        const int segments = count - 1;
        if (offsets_.size() < static_cast<std::size_t>(segments))
            offsets_.resize(static_cast<std::size_t>(segments));
        transformOffsets(segments, width, normals, normalLength, offsets_.data());
        return offsets_.data();
    }

    PointVector points_;
    PointVector offsets_;
};

} // namespace

Renderer& renderer2d() {
    static Renderer2d renderer;
    return renderer;
}

} // namespace xe
