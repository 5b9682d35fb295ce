#include "render/FrameStatistics.h"

#include "core/Format.h"

namespace MapDrawing {

void FrameStatistics::clearTimes() {
    totalMs = fillMs = polygonMs = polylineMs = arrowMs = pointMs = captionMs = pathMs = tracksMs = 0;
}

std::vector<FrameStatistics::Line> FrameStatistics::lines(std::int32_t surfaceHeight) const {
    const std::int32_t b = surfaceHeight - 16 * static_cast<std::int32_t>(maps.size());
    std::vector<Line> out;
    auto add = [&](std::int32_t row, std::u16string text) {
        // The overlay's line buffer holds 128 characters.
        if (text.size() > 127)
            text.resize(127);
        if (!text.empty())
            out.push_back(Line{row, std::move(text)});
    };
    add(b - 148, Core::format(u"%.2f m/40px = %d bits", scale, level));
    add(b - 132, Core::format(u"view[(%d, %d),", viewBox[0], viewBox[1]));
    add(b - 116, Core::format(u"    (%d, %d)]", viewBox[2], viewBox[3]));
    add(b - 100, Core::format(u"pg:%d pl:%d pd:%d pt:%d", polygonMs, polylineMs, arrowMs, pointMs));
    add(b - 84, Core::format(u"all:%d fill:%d cap:%d", totalMs, fillMs, captionMs));
    add(b - 68, Core::format(u"path:%d tracks:%d", pathMs, tracksMs));
    add(b - 52, Core::format(u"wpts:%d dwps:%d(%u/%u)", waypoints, dangerPoints, dangerFigures[0], dangerFigures[1]));
    add(b - 36, Core::format(u"res pool:%u(%u/%u)", resourcePool[0], resourcePool[1], resourcePool[2]));
    std::int32_t row = b - 20;
    for (const MapLine& m : maps) {
        add(row, Core::format(u"%c%dbits (%dx%d) at %.2f %s#%d", m.marker, m.level, m.width, m.height, m.levelScale,
                              m.name, m.index));
        row += 16;
    }
    return out;
}

} // namespace MapDrawing
