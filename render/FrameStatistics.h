#pragma once
// What one frame measured, kept by the map renderer when "draw_map_info" is
// on: the scale and level, the view box, one line per view record and the
// milliseconds of each layer. The debug overlay prints it.

#include <cstdint>
#include <string>
#include <vector>

namespace MapDrawing {

struct FrameStatistics {
    struct MapLine {
        char16_t marker = u'+'; // '-' hidden, '*' covering, '+' otherwise
        std::int32_t index = 0;
        std::int32_t level = 0;
        float levelScale = 0.0f;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::u16string name;
    };
    struct Line {
        std::int32_t row = 0; // pixel row of the text's top
        std::u16string text;
    };

    float scale = 0.0f;
    std::int32_t level = 0;
    std::vector<MapLine> maps;
    std::int32_t viewBox[4] = {};
    std::int32_t totalMs = 0;
    std::int32_t fillMs = 0;
    std::int32_t polygonMs = 0;
    std::int32_t polylineMs = 0;
    std::int32_t arrowMs = 0;
    std::int32_t pointMs = 0;
    std::int32_t captionMs = 0;
    std::int32_t pathMs = 0;
    std::int32_t tracksMs = 0;
    std::int32_t waypoints = 0;
    std::int32_t dangerPoints = 0;
    std::uint32_t dangerFigures[2] = {};
    std::uint32_t resourcePool[3] = {};

    // Zeroes the per-frame times before a frame.
    void clearTimes();
    // The overlay's lines for a surface of that height, bottom-anchored:
    // eight fixed lines, then one per map.
    std::vector<Line> lines(std::int32_t surfaceHeight) const;
};

} // namespace MapDrawing
