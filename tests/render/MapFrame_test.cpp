// The map frame drawn from a small fixture atlas: structural pixel checks of
// the layers, the redraw state machine, coverage clearing, zoom limits and
// damaged cells.

#include "render/CellItems.h"
#include "core/FloatToInt.h"
#include "core/Text.h"
#include "render/Image.h"
#include "render/MapLayers.h"
#include "render/MapPageServices.h"
#include "render/Renderer3d.h"
#include "render/ViewPreparation.h"
#include "tests/render/FrameFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>

using namespace FrameTest;
using namespace MapWriting;

namespace {

// Cell-local rows (y) of the fixture's lines in cell (1, 1).
constexpr float AreaLow = 10, AreaHigh = 60;
constexpr float PoiRow = 100;
constexpr float RoadRow = 150;
constexpr float DashRow = 180;
constexpr float OneWayRow = 210;
constexpr float TwoWayRow = 232;
constexpr float NoRoadRow = 250;

Polyline line(std::uint8_t type, float y, bool oneWay, std::uint32_t road) {
    Polyline p;
    p.type = type;
    p.oneWay = oneWay;
    p.road = road;
    p.points = {{0, static_cast<std::uint32_t>(y)}, {255, static_cast<std::uint32_t>(y)}};
    return p;
}

MapDescription townMap() {
    LevelDescription level = fixtureLevel();
    MapWriting::Cell cell;
    cell.x = 1;
    cell.y = 1;
    cell.polygons.push_back({0, 1, {{10, 10}, {60, 10}, {60, 60}, {10, 60}}});
    cell.polylines = {line(2, RoadRow, false, 1), line(3, DashRow, false, 2), line(4, OneWayRow, true, 3),
                      line(5, TwoWayRow, false, 4), line(6, NoRoadRow, true, NoRoad)};
    for (std::uint32_t p = 0; p <= 10; ++p)
        cell.points.push_back({0, 0, static_cast<std::uint16_t>(0x100 + p), {10 + 22 * p, 100}});
    level.cells.push_back(cell);
    // A road held by cell (0, 1) that reaches into cell (1, 1).
    MapWriting::Cell left;
    left.x = 0;
    left.y = 1;
    left.polylines.push_back(line(2, 40, false, 5));
    left.polylines.back().points = {{300, 40}, {500, 40}};
    level.cells.push_back(left);
    return fixtureMap(0, 1, level);
}

struct Town : Fixture {
    Town() {
        writeMap("town.kvm", townMap());
        if (!load())
            throw std::runtime_error("fixture atlas did not load");
        lookAt(384, 384, 25000);
    }
    // Screen row of a cell-local row of cell (1, 1) and the column of x.
    int row(float y) { return screenOf(1, 1, 128, y).y; }
    int column(float x) { return screenOf(1, 1, x, 128).x; }
};

TEST(MapFrame, AreasLinesAndBordersAtKnownPixels) {
    Town t;
    ASSERT_TRUE(t.frame());
    ASSERT_EQ(t.atlas->viewRecords().size(), 1u);
    EXPECT_EQ(t.atlas->viewRecords()[0].frame.cellShift, Shift);
    // Background where the map has nothing.
    EXPECT_EQ(t.pixel(5, 5), Background);
    // Polygon interior, and its border along its edge.
    const xe::Point inside = t.screenOf(1, 1, 35, 35);
    EXPECT_EQ(t.pixel(inside.x, inside.y), AreaRed);
    const xe::Point corner = t.screenOf(1, 1, AreaLow, AreaHigh);
    EXPECT_TRUE(t.anyIn(AreaBorder, corner.x - 1, corner.y - 1, corner.x + 1, corner.y + 1));
    // The road: green on its axis, its blue border a band half width away.
    const int x = t.column(128);
    const int y = t.row(RoadRow);
    EXPECT_EQ(t.pixel(x, y), RoadGreen);
    EXPECT_TRUE(t.anyIn(RoadBorderBlue, x, y - 7, x, y - 2));
    EXPECT_TRUE(t.anyIn(RoadBorderBlue, x, y + 2, x, y + 7));
    EXPECT_FALSE(t.anyIn(RoadBorderBlue, x, y - 1, x, y + 1));
    // Dashes along their row.
    EXPECT_TRUE(t.anyIn(DashPurple, t.column(0), t.row(DashRow) - 2, t.column(255), t.row(DashRow) + 2));
    EXPECT_EQ(t.renderer->counters().polygons, 1);
    EXPECT_EQ(t.renderer->counters().polylines, 6);
    EXPECT_EQ(t.renderer->counters().points, 11);
}

// A page that marks roads of map 0 (the town).
struct MarkingPage : MapDrawing::MapPage {
    void drawTracksAndFriends(const xe::Canvas&, MapCamera&) override {}
    void invalidate() override {}
    MapDrawing::CompassWidget* compass() override { return nullptr; }
    const MapDrawing::CursorRecord* findCursor(const std::string&) override { return nullptr; }
    const std::vector<std::uint32_t>& roadMarks(std::uint32_t mapIndex) const override {
        return mapIndex == 0 ? marks : none;
    }
    std::vector<std::uint32_t> marks;
    std::vector<std::uint32_t> none;
};

// Marked roads are drawn over their bodies in the "route2" colour, as wide
// as its size at least; unmarked roads and roads of a hidden line type are
// left alone.
TEST(MapFrame, MarkedRoadsShowInTheMarkColour) {
    Town t;
    MarkingPage page;
    t.renderer->services().page = &page;
    const auto marked = [&](float y, int reach) {
        return t.anyIn(MarkCyan, t.column(20), t.row(y) - reach, t.column(235), t.row(y) + reach);
    };
    ASSERT_TRUE(t.frame());
    for (float y : {RoadRow, OneWayRow, TwoWayRow})
        EXPECT_FALSE(marked(y, 3)) << y;

    page.marks = {1, 4};
    ASSERT_TRUE(t.frame());
    const int x = t.column(128);
    // The road of reference 1: cyan on its axis and out to the mark's size
    // (its own body is 4 pixels each side at this scale), no further.
    EXPECT_EQ(t.pixel(x, t.row(RoadRow)), MarkCyan);
    EXPECT_EQ(t.pixel(x, t.row(RoadRow) - MarkPixels + 1), MarkCyan);
    EXPECT_EQ(t.pixel(x, t.row(RoadRow) + MarkPixels - 1), MarkCyan);
    EXPECT_FALSE(t.anyIn(MarkCyan, x, t.row(RoadRow) - MarkPixels - 3, x, t.row(RoadRow) - MarkPixels - 2));
    EXPECT_TRUE(marked(TwoWayRow, 0));
    EXPECT_FALSE(marked(OneWayRow, 2));
    EXPECT_FALSE(marked(NoRoadRow, 2));
    // The arrows of one-way roads still lie on top of the marks.
    EXPECT_TRUE(t.anyIn(ArrowBlack, t.column(0), t.row(OneWayRow) - 5, t.column(255), t.row(OneWayRow) + 5));

    // A hidden line type is not marked.
    t.renderer->showPolylineLine()[5] = 0;
    ASSERT_TRUE(t.frame());
    EXPECT_FALSE(marked(TwoWayRow, 2));
    EXPECT_TRUE(marked(RoadRow, 0));
    t.renderer->services().page = nullptr;
}

TEST(MapFrame, ItemsOfTheCellLeftOfTheViewReachIntoIt) {
    Town t;
    t.lookAt(600, 384, 25000);
    ASSERT_TRUE(t.frame());
    EXPECT_EQ(t.atlas->viewRecords()[0].cellX0, 1);
    const xe::Point p = t.screenOf(0, 1, 450, 40);
    ASSERT_GT(p.x, 0);
    EXPECT_EQ(t.pixel(p.x, p.y), RoadGreen);
}

TEST(MapFrame, ArrowsOnlyOnOneWayRoadsWithARoad) {
    Town t;
    ASSERT_TRUE(t.frame());
    auto arrows = [&](float y) { return t.anyIn(ArrowBlack, t.column(0), t.row(y) - 5, t.column(255), t.row(y) + 5); };
    EXPECT_TRUE(arrows(OneWayRow));
    EXPECT_FALSE(arrows(TwoWayRow));
    EXPECT_FALSE(arrows(NoRoadRow));
    EXPECT_FALSE(arrows(RoadRow));

    // A hidden polyline type takes its arrows with it.
    t.renderer->showPolylineLine()[4] = 0;
    ASSERT_TRUE(t.frame());
    EXPECT_FALSE(arrows(OneWayRow));
    EXPECT_FALSE(t.anyIn(OneWayOrange, t.column(0), t.row(OneWayRow) - 2, t.column(255), t.row(OneWayRow) + 2));
}

TEST(MapFrame, PoiPlacementsZeroToNineAndTenDrawsNothing) {
    Town t;
    ASSERT_TRUE(t.frame());
    // Expected top-left offsets of an 8 x 8 icon for placements 0..9.
    const int offsets[10][2] = {{-4, -4}, {0, 0}, {-4, 0}, {-8, 0}, {0, -4}, {-4, -4}, {-8, -4}, {0, -8}, {-4, -8}, {-8, -8}};
    for (int p = 0; p <= 10; ++p) {
        const xe::Point at = t.screenOf(1, 1, static_cast<float>(10 + 22 * p), PoiRow);
        if (p == 10) {
            EXPECT_FALSE(t.anyIn(IconMagenta, at.x - 9, at.y - 9, at.x + 9, at.y + 9));
            continue;
        }
        const int left = at.x + offsets[p][0];
        const int top = at.y + offsets[p][1];
        EXPECT_EQ(t.pixel(left, top), IconMagenta) << p;
        EXPECT_EQ(t.pixel(left + 7, top + 7), IconMagenta) << p;
        EXPECT_NE(t.pixel(left - 1, top - 1), IconMagenta) << p;
        EXPECT_NE(t.pixel(left + 8, top + 8), IconMagenta) << p;
    }
    // A hidden type draws no icon but is still counted.
    t.renderer->styles().setPoiTypeFlags(0x101, false, false);
    ASSERT_TRUE(t.frame());
    const xe::Point one = t.screenOf(1, 1, 32, PoiRow);
    EXPECT_FALSE(t.anyIn(IconMagenta, one.x - 1, one.y - 1, one.x + 8, one.y + 8));
    EXPECT_EQ(t.renderer->counters().points, 11);
}

TEST(MapFrame, UnchangedFrameLeavesTheCanvasAlone) {
    Town t;
    ASSERT_TRUE(t.frame());
    EXPECT_EQ(t.atlas->view().frameState(), MapDrawing::FrameComplete);
    SDL_FillRect(t.surface, nullptr, SDL_MapRGB(t.surface->format, 1, 2, 3));
    EXPECT_TRUE(t.frame(MapDrawing::NoRedraw));
    for (int y = 0; y < Height; y += 7)
        for (int x = 0; x < Width; x += 7)
            ASSERT_EQ(t.pixel(x, y), 0x00030201u);
}

TEST(MapFrame, InputUnderASlowFrameGivesAFastFrameThenAFullOne) {
    Town t;
    t.atlas->view().setSlow(true);
    // The key arrives after the first probe: areas are drawn in full, the
    // lines and everything after them fast.
    t.inputFrom = 2;
    ASSERT_TRUE(t.frame(MapDrawing::FullRedraw));
    const int x = t.column(128);
    const int y = t.row(RoadRow);
    EXPECT_EQ(t.pixel(x, y), RoadGreen);
    EXPECT_FALSE(t.anyIn(RoadBorderBlue, x, y - 7, x, y + 7));
    EXPECT_FALSE(t.anyIn(DashPurple, t.column(0), t.row(DashRow) - 2, t.column(255), t.row(DashRow) + 2));
    EXPECT_EQ(t.renderer->counters().polylines, 0);
    const xe::Point corner = t.screenOf(1, 1, AreaLow, AreaHigh);
    EXPECT_TRUE(t.anyIn(AreaBorder, corner.x - 1, corner.y - 1, corner.x + 1, corner.y + 1));
    EXPECT_EQ(t.atlas->view().frameState(), MapDrawing::FullFrameDue);
    EXPECT_EQ(t.exposes, 1);

    // The input is gone: the page's next draw is full, and 100 ms a clock
    // read makes it slow again.
    t.inputFrom = -1;
    t.tick = 100;
    ASSERT_TRUE(t.frame(MapDrawing::NoRedraw));
    EXPECT_TRUE(t.anyIn(RoadBorderBlue, x, y - 7, x, y + 7));
    EXPECT_TRUE(t.anyIn(DashPurple, t.column(0), t.row(DashRow) - 2, t.column(255), t.row(DashRow) + 2));
    EXPECT_EQ(t.atlas->view().frameState(), MapDrawing::FrameComplete);
    EXPECT_TRUE(t.atlas->view().slow());
    EXPECT_EQ(t.exposes, 1);

    // A small change under a slow last frame starts fast; a quick full frame
    // clears the slow flag; then input no longer matters.
    t.tick = 1;
    ASSERT_TRUE(t.frame(MapDrawing::SmallRedraw));
    EXPECT_EQ(t.renderer->counters().polylines, 0);
    ASSERT_TRUE(t.frame(MapDrawing::NoRedraw));
    EXPECT_FALSE(t.atlas->view().slow());
    t.inputFrom = 0;
    const int probes = t.inputCalls;
    ASSERT_TRUE(t.frame(MapDrawing::FullRedraw));
    EXPECT_EQ(t.inputCalls, probes);
    EXPECT_EQ(t.renderer->counters().polylines, 6);
}

// Odd shifts too: a cell is 2^shift units whatever the shift's parity. The
// picture is the same at every shift, the scale following the cell size.
TEST(MapFrame, CityMapClearsTheWorldMapUnderItsCoverage) {
    for (const std::uint8_t shift : {7, 8, 5}) {
        SCOPED_TRACE(testing::Message() << "shift " << int(shift));
        const std::uint32_t n = 1u << shift;
        const float unit = static_cast<float>(n) / 256.0f; // cell units per fixture unit
        Fixture f;
        f.levelFrame.cellShift = shift;
        LevelDescription world = fixtureLevel();
        world.cellShift = shift;
        for (std::uint32_t x = 0; x < 4; ++x)
            for (std::uint32_t y = 0; y < 4; ++y) {
                MapWriting::Cell cell;
                cell.x = x, cell.y = y;
                cell.polygons.push_back({0, 7, {{0, 0}, {n, 0}, {n, n}, {0, n}}});
                world.cells.push_back(cell);
            }
        LevelDescription city = world;
        MapWriting::Cell full;
        full.x = 1, full.y = 1, full.value = 3;
        full.points.push_back({0, 0, 0x7777, {5, 5}});
        MapWriting::Cell partial;
        partial.x = 2, partial.y = 1, partial.value = 1;
        partial.points.push_back({0, 0, 0x7777, {5, 5}});
        const std::uint32_t c = 100 * n / 256;
        partial.coverage.push_back({0, 0, {{0, 0}, {c, 0}, {c, c}, {0, c}}});
        city.cells = {full, partial};
        f.writeMap("a-world.kvm", fixtureMap(3, 1, world));
        f.writeMap("b-city.kvm", fixtureMap(0, 2, city));
        ASSERT_TRUE(f.load());
        f.lookAt(512 * unit, 384 * unit, 25000 * unit);
        ASSERT_TRUE(f.frame());
        const auto& records = f.atlas->viewRecords();
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].mapType, 3u); // the world first
        EXPECT_EQ(records[1].mapType, 0u);
        EXPECT_EQ(records[0].hidden + records[1].hidden, 0);
        // The screen shows cells 1 and 2 across, 0..2 down, whole or in part.
        EXPECT_EQ(records[0].cellX0, 1);
        EXPECT_EQ(records[0].cellX1, 3);
        EXPECT_EQ(records[0].cellY1, 3);

        auto at = [&](std::int32_t cx, std::int32_t cy, float x, float y) {
            const xe::Point p = f.screenOf(cx, cy, x * unit, y * unit);
            return f.pixel(p.x, p.y);
        };
        EXPECT_EQ(at(1, 1, 128, 128), Background);   // a fully covered cell
        EXPECT_EQ(at(1, 1, 240, 240), Background);   // to its far corner
        EXPECT_EQ(at(2, 1, 50, 50), Background);     // inside the coverage polygon
        EXPECT_EQ(at(2, 1, 180, 180), WorldYellow);  // outside it
        EXPECT_EQ(at(0, 1, 200, 128), WorldYellow);  // no city cell there
    }
}

TEST(MapFrame, AFullHeapIsResetAndTheCellsLoadedAgain) {
    Town t;
    TestSupport::CaptureLogger log;
    // Fill the main heap with something nobody frees.
    Core::Allocator& heap = t.atlas->mainHeap();
    while (heap.allocate(4096) != nullptr) {
    }
    while (heap.allocate(16) != nullptr) {
    }
    ASSERT_TRUE(t.frame());
    const xe::Point inside = t.screenOf(1, 1, 35, 35);
    EXPECT_EQ(t.pixel(inside.x, inside.y), AreaRed);
    EXPECT_GT(heap.freeBytes(), 0u);
}

TEST(MapFrame, DamagedCellsNeitherHangNorReadOutside) {
    TestSupport::CaptureLogger quiet;
    const WrittenMap written = writeMap(townMap());
    const std::uint32_t geometry = written.header[6];
    const std::uint32_t blocks = geometry + written.geometry.blocksOffsets.at(0);
    const std::uint32_t end = geometry + static_cast<std::uint32_t>(written.geometry.bytes.size());
    ASSERT_LT(blocks, end);
    std::mt19937 random(static_cast<unsigned>(TestSupport::envNumber("MIREL_TEST_SEED", 1234)));
    Fixture f;
    f.writeMap("town.kvm", townMap());
    ASSERT_TRUE(f.load());
    for (int round = 0; round < 60; ++round) {
        std::vector<std::uint8_t> bytes = written.bytes;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            const std::uint32_t at = blocks + random() % (end - blocks);
            bytes[at] = static_cast<std::uint8_t>(random() % 3 == 0 ? 0xFF : random());
        }
        {
            std::ofstream out(f.mapsFolder() / "town.kvm", std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        if (!f.atlas->load(Core::utf8ToWide(f.mapsFolder().string())))
            continue;
        f.lookAt(384, 384, 25000);
        f.camera.setMode(round % 2);
        f.frame();
    }
    SUCCEED();
}

} // namespace

namespace {

// The polyline layer as it was drawn by three walks of the cells, one per
// pass (borders, bodies, dashes), each setting the camera's origin on every
// non-empty cell and decoding what it draws: the reference for the layer's
// one decoding walk.
void polylinesByPasses(MapDrawing::fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                       const Map::StateRecord& view, float scale, bool fast) {
    using MapDrawing::CellItem;
    using MapDrawing::CellItemWalker;
    const Render::StyleSet& set = *renderer.styles().activeSet();
    xe::Renderer& target = camera.is3d() ? xe::renderer3d() : xe::renderer2d();
    const std::int32_t s = xe::floorToInt(scale + 0.5f);
    const auto unit = static_cast<std::int32_t>(view.frame.cellSize());
    const float zoom = scale < 40.0f ? 40.0f / scale : 1.0f;
    const float f = view.levelScale > 0.0f ? zoom / view.levelScale : 0.0f;
    const std::int32_t normalLength = unit / 2 * 10;
    const auto& lineFlags = renderer.showPolylineLine();
    auto width = [&](const Render::PolylineStyle& style) {
        return xe::floorToInt(static_cast<float>(style.width) * f * 10.0f + 0.5f);
    };
    using Kind = Render::FillKind;
    auto pass = [&](auto&& wanted, auto&& draw) {
        Map::Level& level = *view.level;
        for (std::int32_t x = std::max(view.cellX0 - 1, 0); x < view.cellX1; ++x)
            for (std::int32_t y = std::max(view.cellY0 - 1, 0); y < view.cellY1; ++y) {
                Map::Level::CellItems cell;
                if (!level.cellItems(level.defaultArea(), x, y, cell) || cell.size == 0) continue;
                camera.setOrigin(x, y);
                CellItemWalker walker(cell, MapDrawing::PolylineItems, view.frame.cellShift + 1u);
                CellItem item;
                while (walker.next(item)) {
                    const Render::PolylineStyle& style = set.polylines[item.type];
                    if (item.count < 2 || lineFlags[item.type] == 0 ||
                        !Render::withinScales(style.minScale, style.maxScale, s) || !wanted(style))
                        continue;
                    draw(item, style);
                }
            }
    };
    if (!fast)
        pass([](const Render::PolylineStyle& style) { return style.borderWidth != 0; },
             [&](const CellItem& item, const Render::PolylineStyle& style) {
                 target.drawWidePolylineBorder(canvas, item.points, item.normals, normalLength, item.count,
                                               width(style), style.borderColor & 0xFFFFFF);
             });
    pass(
        [](const Render::PolylineStyle& style) {
            return style.fill != Kind::Dash && style.fill != Kind::Dot;
        },
        [&](const CellItem& item, const Render::PolylineStyle& style) {
            if (style.fill == Kind::Thin)
                target.drawPolyline(canvas, item.points, item.count, style.color & 0xFFFFFF);
            else
                target.drawWidePolyline(
                    canvas, item.points, item.normals, normalLength, item.count, width(style),
                    (style.fill == Kind::Solid ? style.color : style.secondColor) & 0xFFFFFF);
        });
    if (!fast)
        pass(
            [](const Render::PolylineStyle& style) {
                return style.fill != Kind::Thin && style.fill != Kind::Solid;
            },
            [&](const CellItem& item, const Render::PolylineStyle& style) {
                const bool dashes = style.fill == Kind::Dash || style.fill == Kind::DashTwoColour;
                target.drawDashedPolyline(canvas, camera.viewMatrices(), unit, item.points, item.normals,
                                          unit / 2, item.count, static_cast<float>(style.width) * f,
                                          dashes ? 4.0f : 2.0f, style.color & 0xFFFFFF);
            });
}

} // namespace

// Random lines of every fill kind, with and without borders, crossing each
// other and their cells' edges, some cells empty: the layer draws the pixels
// the three walks drew, in 2D and 3D, full and fast, and leaves the camera
// on the same cell's origin.
TEST(MapFrame, PolylineLayerDrawsWhatAWalkPerPassDrew) {
    std::mt19937 random(static_cast<unsigned>(TestSupport::envNumber("MIREL_TEST_SEED", 70)));
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        LevelDescription level = fixtureLevel();
        for (std::uint32_t cx = 0; cx < 4; ++cx)
            for (std::uint32_t cy = 0; cy < 4; ++cy) {
                if (random() % 4 == 0) continue;
                MapWriting::Cell cell;
                cell.x = cx, cell.y = cy;
                const int lines = 2 + static_cast<int>(random() % 8);
                for (int i = 0; i < lines; ++i) {
                    Polyline p;
                    p.type = static_cast<std::uint8_t>(2 + random() % 9);
                    const int points = 2 + static_cast<int>(random() % 6);
                    for (int k = 0; k < points; ++k)
                        p.points.push_back({static_cast<std::uint32_t>(random() % 500),
                                            static_cast<std::uint32_t>(random() % 500)});
                    cell.polylines.push_back(p);
                }
                level.cells.push_back(cell);
            }
        Fixture t;
        t.writeMap("lines.kvm", fixtureMap(0, 1, level));
        ASSERT_TRUE(t.load());
        for (Render::StyleSet* set : {&t.renderer->styles().daySet(), &t.renderer->styles().nightSet()}) {
            // Types 2..10: solid with a border, dash, solid, thin, dash and
            // dot over a second colour (one with a border), dot.
            const Render::FillKind kinds[] = {Render::FillKind::Thin, Render::FillKind::DashTwoColour,
                                              Render::FillKind::DotTwoColour, Render::FillKind::Dot,
                                              Render::FillKind::Solid};
            for (int k = 0; k < 5; ++k) {
                auto& line = set->polylines[6 + k];
                line.fill = kinds[k];
                line.color = 0x00102030u * static_cast<std::uint32_t>(k + 1);
                line.secondColor = 0x00302010u * static_cast<std::uint32_t>(k + 1);
                line.width = 1 + k;
                line.borderColor = k % 2 == 1 ? 0x00505050u : 0u;
                line.borderWidth = k % 2 == 1 ? 1 : 0;
            }
            set->polylines[10].maxScale = 1; // not at these scales
        }
        t.lookAt(static_cast<float>(256 + random() % 512), static_cast<float>(256 + random() % 512),
                 static_cast<float>(20000 + random() % 20000));
        ASSERT_TRUE(t.frame());
        const Map::StateRecord record = t.atlas->viewRecords().at(0);
        SDL_Surface* expected =
            SDL_CreateRGBSurface(SDL_SWSURFACE, Width, Height, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        ASSERT_NE(expected, nullptr);
        for (const std::uint8_t mode : {0, 1})
            for (const bool fast : {false, true}) {
                SCOPED_TRACE(testing::Message() << "3D " << int(mode) << " fast " << fast);
                t.camera.setMode(mode);
                t.camera.setupTransform(record);
                const float scale = t.atlas->view().metresPer40Pixels;
                SDL_FillRect(t.surface, nullptr, 0);
                SDL_FillRect(expected, nullptr, 0);
                t.camera.setOrigin(3, 3);
                MapDrawing::MapLayers::drawPolylines(*t.renderer, xe::Canvas::of(t.surface), t.camera, record,
                                                     scale, fast);
                const std::vector<float> after(t.camera.object2d().begin(), t.camera.object2d().end());
                t.camera.setOrigin(3, 3);
                polylinesByPasses(*t.renderer, xe::Canvas::of(expected), t.camera, record, scale, fast);
                EXPECT_EQ(after, std::vector<float>(t.camera.object2d().begin(), t.camera.object2d().end()));
                ASSERT_EQ(std::memcmp(t.surface->pixels, expected->pixels,
                                      static_cast<std::size_t>(Height) *
                                          static_cast<std::size_t>(t.surface->pitch)),
                          0);
                int painted = 0;
                for (int y = 0; y < Height; ++y)
                    for (int x = 0; x < Width; ++x)
                        painted += t.pixel(x, y) != 0;
                if (mode == 0) {
                    EXPECT_GT(painted, Width * Height / 30) << "too little drawn to compare";
                }
            }
        t.camera.setMode(0);
        SDL_FreeSurface(expected);
    }
}
