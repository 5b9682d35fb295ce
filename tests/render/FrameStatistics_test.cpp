#include "render/FrameStatistics.h"

#include "FontTestSupport.h"
#include "core/Text.h"

#include <gtest/gtest.h>

using namespace RenderTest;

namespace {

Render::FrameStatistics sample() {
    Render::FrameStatistics s;
    s.scale = 123.456f;
    s.level = 21;
    s.viewLeft = -5;
    s.viewTop = 10;
    s.viewRight = 2000000;
    s.viewBottom = -3000000;
    s.totalMs = 40;
    s.fillMs = 1;
    s.polygonMs = 2;
    s.polylineMs = 3;
    s.arrowMs = 4;
    s.pointMs = 5;
    s.captionMs = 6;
    s.pathMs = 7;
    s.tracksMs = 8;
    s.waypoints = 9;
    s.dangerPoints = 10;
    s.dangerFigure1 = 4000000000u;
    s.dangerFigure2 = 12;
    s.poolFigures[0] = 10;
    s.poolFigures[1] = 3;
    s.poolFigures[2] = 4294967295u;
    return s;
}

std::vector<std::string> texts(const std::vector<Render::DebugInfoLine>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        out.push_back(Core::wideToUtf8(l.text));
    return out;
}

} // namespace

TEST(FrameStatistics, MapLinesShowTheirMarkersAndPushTheBlockUp) {
    auto s = sample();
    s.maps.push_back({Render::MapStatLine::markerFor(true, true), 0, 18, 0.5f, 3, 2, u"world.kvm"});
    s.maps.push_back({Render::MapStatLine::markerFor(false, true), 1, 24, 1.25f, 4, 5, u"city.kvm"});
    s.maps.push_back({Render::MapStatLine::markerFor(false, false), 2, 26, 8.0f, 1, 1,
                      u"\u0413\u043E\u0440\u043E\u0434.kvm"});
    const auto lines = Render::debugInfoLines(s, 480);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0].row, 480 - 48 - 148);
    const auto t = texts(lines);
    EXPECT_EQ(t[8], "-18bits (3x2) at 0.50 world.kvm#0");
    EXPECT_EQ(t[9], "*24bits (4x5) at 1.25 city.kvm#1");
    EXPECT_EQ(t[10], "+26bits (1x1) at 8.00 \u0413\u043E\u0440\u043E\u0434.kvm#2");
    EXPECT_EQ(lines[8].row, 480 - 48 - 20);
    EXPECT_EQ(lines[10].row, 480 - 48 - 20 + 32);

    // A name too long for the line is cut at 127 units.
    s.maps.assign(1, {u'+', 7, 20, 1.0f, 1, 1, std::u16string(300, u'n')});
    EXPECT_EQ(Render::debugInfoLines(s, 480).back().text.size(), 127u);

    s.clearTimes();
    EXPECT_EQ(s.totalMs + s.fillMs + s.polygonMs + s.polylineMs + s.arrowMs + s.pointMs + s.captionMs +
                  s.pathMs + s.tracksMs,
              0);
    EXPECT_EQ(s.waypoints, 9);
}
