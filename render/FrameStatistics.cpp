#include "render/FrameStatistics.h"

#include "core/Format.h"
#include "render/Font.h"

#include <SDL.h>

namespace Render {

namespace {

// The overlay formats into a fixed line of 128 units.
constexpr std::size_t LineUnits = 127;

void add(std::vector<DebugInfoLine>& out, std::int32_t row, std::u16string text) {
    if (text.size() > LineUnits) text.resize(LineUnits);
    out.push_back({row, std::move(text)});
}

} // namespace

void FrameStatistics::clearTimes() {
    totalMs = fillMs = polygonMs = polylineMs = arrowMs = pointMs = captionMs = pathMs = tracksMs = 0;
}

std::vector<DebugInfoLine> debugInfoLines(const FrameStatistics& s, std::int32_t surfaceHeight) {
    const std::int32_t b = surfaceHeight - 16 * static_cast<std::int32_t>(s.maps.size());
    std::vector<DebugInfoLine> out;
    add(out, b - 148, Core::format(u"%.2f m/40px = %d bits", s.scale, s.level));
    add(out, b - 132, Core::format(u"view[(%d, %d),", s.viewLeft, s.viewTop));
    add(out, b - 116, Core::format(u"    (%d, %d)]", s.viewRight, s.viewBottom));
    add(out, b - 100,
        Core::format(u"pg:%d pl:%d pd:%d pt:%d", s.polygonMs, s.polylineMs, s.arrowMs, s.pointMs));
    add(out, b - 84, Core::format(u"all:%d fill:%d cap:%d", s.totalMs, s.fillMs, s.captionMs));
    add(out, b - 68, Core::format(u"path:%d tracks:%d", s.pathMs, s.tracksMs));
    add(out, b - 52,
        Core::format(u"wpts:%d dwps:%d(%u/%u)", s.waypoints, s.dangerPoints, s.dangerFigure1,
                     s.dangerFigure2));
    add(out, b - 36,
        Core::format(u"res pool:%u(%u/%u)", s.poolFigures[0], s.poolFigures[1], s.poolFigures[2]));
    std::int32_t row = b - 20;
    for (const MapStatLine& m : s.maps) {
        add(out, row,
            Core::format(u"%c%dbits (%dx%d) at %.2f %s#%d", m.marker, m.level, m.width, m.height,
                         m.levelScale, m.name, m.index));
        row += 16;
    }
    return out;
}

void drawDebugInfo(const FrameStatistics& stats, SDL_Surface* target, Font& font) {
    const std::int32_t x = target->w - 230;
    for (const DebugInfoLine& line : debugInfoLines(stats, target->h)) {
        if (!line.text.empty())
            font.drawTextSolid(target, x, line.row, Font::Halo, 0xFF000000, 0xFF00C8FF, line.text);
    }
}

} // namespace Render
