#pragma once
// What one map frame did and how long each layer took, kept by the map
// renderer when "draw_map_info" is on, and the overlay that prints it in the
// lower right corner of the map.

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Surface;

namespace Render {

class Font;

// One drawn map of the frame (one view record).
struct MapStatLine {
    // '-' hidden, '*' covering the maps before it, '+' otherwise.
    char16_t marker = u'+';
    std::int32_t index = 0;  // the map's position in the atlas
    std::int32_t level = 0;  // coordinate bits of the drawn level
    float levelScale = 0.0f; // pixels per level unit
    std::int32_t width = 0;  // visible cell columns
    std::int32_t height = 0; // visible cell rows
    std::u16string name;     // the map's source file name

    static char16_t markerFor(bool hidden, bool covers) { return hidden ? u'-' : covers ? u'*' : u'+'; }
};

struct FrameStatistics {
    float scale = 0.0f; // metres per 40 pixels
    std::int32_t level = 0;
    std::vector<MapStatLine> maps;
    std::int32_t viewLeft = 0, viewTop = 0, viewRight = 0, viewBottom = 0;
    // Milliseconds; the frame adds each layer call's time to its field.
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
    std::uint32_t dangerFigure1 = 0;
    std::uint32_t dangerFigure2 = 0;
    std::uint32_t poolFigures[3] = {0, 0, 0};

    // Zeroes the timing fields before a frame; the rest is rewritten by
    // whoever owns it.
    void clearTimes();
};

// One line of the overlay: the row of its top edge and its text (at most
// 127 units, empty lines are not drawn).
struct DebugInfoLine {
    std::int32_t row = 0;
    std::u16string text;
};

// The overlay's lines for a surface height: eight fixed lines, then one per
// map 16 pixels apart, the last map line 20 pixels above the bottom edge.
std::vector<DebugInfoLine> debugInfoLines(const FrameStatistics& stats, std::int32_t surfaceHeight);

// Prints the lines at x = width - 230 in black on an orange halo.
void drawDebugInfo(const FrameStatistics& stats, SDL_Surface* target, Font& font);

} // namespace Render
