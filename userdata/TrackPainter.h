#pragma once
// Draws one track into one frame: map points become screen points, repeated
// pixels are dropped, the line breaks where a point cannot be shown, and
// breaks again at every step much longer than the track's typical step, so
// that a gap in the recording is not bridged by a straight line.

#include "map/Point.h"
#include "render/Canvas.h"

#include <cstdint>
#include <vector>

class MapCamera;

class TrackPainter {
  public:
    // The buffers belong to the caller and are reused between frames; the
    // point buffer is emptied here. lineSize is the offset in pixels of each
    // side of the drawn line from its axis,
    // colour is 0xAABBGGRR.
    TrackPainter(const xe::Canvas& canvas, MapCamera& camera, std::uint16_t lineSize, std::uint32_t colour,
                 std::vector<xe::Point>& points, std::vector<std::int64_t>& steps);

    void addPoint(Map::Point point);
    // Flushes first when the point starts a new segment.
    void addPointAfterGap(bool segmentStart, Map::Point point);
    // Draws the collected run and empties it.
    void flush();

  private:
    void drawRun(std::size_t first, std::size_t end);

    const xe::Canvas& m_canvas;
    MapCamera& m_camera;
    float m_halfWidth;
    std::uint32_t m_pixel;
    std::vector<xe::Point>& m_points;
    std::vector<std::int64_t>& m_steps;
};

// The step threshold of a run of n >= 2 screen points: nine times the mean
// squared step after leaving out the max(n / 20, 1) smallest and largest
// steps as they are met (the first step's when too few are left). `window`
// is the caller's scratch buffer.
std::int64_t trackStepThreshold(const xe::Point* points, std::size_t n, std::vector<std::int64_t>& window);
