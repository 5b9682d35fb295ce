// The caption step of the map frame on the fixture atlas: a named road gets
// its name drawn along it (and none when its type's captions are off), a
// named POI its name just above its icon, and a fast frame no captions.

#include "render/MapCaptions.h"
#include "render/ViewPreparation.h"
#include "tests/render/FontTestSupport.h"
#include "tests/render/FrameFixture.h"
#include "tests/render/SurfaceTestSupport.h"
#include "tools/mapwriter/MapWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>

using namespace FrameTest;
using namespace MapWriting;

namespace {

constexpr std::uint32_t RoadRow = 150;
constexpr std::uint32_t PoiX = 128, PoiY = 60;
// The POI caption's text colour (0x00BBGGRR): teal, used by nothing else.
constexpr std::uint32_t PoiText = 0x00808000;

// Text is smoothed into its halo: its pixels are told by their hue.
bool roadText(std::uint32_t c) {
    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return r < 0x70 && g < 0x70 && b < 0x70 && std::abs(r - g) < 0x10 && std::abs(g - b) < 0x10;
}
bool poiText(std::uint32_t c) {
    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return b - r >= 0x40 && g - r >= 0x40 && std::abs(b - g) < 0x20;
}

// A POI of the fixture's cell: its name (none when empty), its type
// (0x100 + its icon's placement) and its place in the cell.
struct Poi {
    const char* name;
    std::uint16_t type;
    CellPoint at;
};

struct Captioned : Fixture {
    // The road, the POI "Inn" (placement 5) and the POIs given; with twin,
    // a second map holds the same again.
    explicit Captioned(const std::vector<Poi>& more = {}, std::uint16_t innType = 0x105, bool twin = false) {
        LevelDescription level = fixtureLevel();
        MapDescription map = fixtureMap(0, 1, level);
        MapWriting::Cell cell;
        cell.x = 1;
        cell.y = 1;
        Polyline road;
        road.caption = map.strings.add("Elm Road");
        road.type = 2;
        road.points = {{0, RoadRow}, {255, RoadRow}};
        cell.polylines.push_back(road);
        // Placement 5: the 8 x 8 icon centred on the point.
        cell.points.push_back({map.strings.add("Inn"), 0, innType, {PoiX, PoiY}});
        for (const Poi& poi : more)
            cell.points.push_back({*poi.name ? map.strings.add(poi.name) : 0u, 0, poi.type, poi.at});
        map.levels[0].cells.push_back(cell);
        writeMap("town.kvm", map);
        if (twin) {
            map.mapId = 2;
            writeMap("twin.kvm", map);
        }
        if (!load()) throw std::runtime_error("fixture atlas did not load");
        font = RenderTest::demoFont(12);
        if (!font) throw std::runtime_error("no font");
        renderer->setMapFont(font.get());
        renderer->setFocusPoint(xe::Point{Width / 2, Height / 2});
        for (std::uint16_t type = 0x100; type <= 0x10A; ++type) {
            renderer->styles().daySet().poiStyles[type].textForeColor = PoiText;
            renderer->styles().daySet().poiStyles[type].textHaloColor = 0x00FFFFFF;
        }
        captions = std::make_unique<MapDrawing::MapCaptions>(*atlas, *renderer);
        renderer->services().captions = captions.get();
        lookAt(384, 384, 25000);
    }
    ~Captioned() { renderer->services().captions = nullptr; }

    // Whether a pixel of the box (inclusive, clipped) passes the test.
    template <class Test> bool anyWhere(Test test, int x0, int y0, int x1, int y1) const {
        for (int y = std::max(y0, 0); y <= std::min(y1, Height - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, Width - 1); ++x)
                if (test(pixel(x, y))) return true;
        return false;
    }
    // Road caption pixels in the band of `rows` around the road, over the
    // whole width, and anywhere else on the canvas.
    bool textNearRoad(int rows) {
        const int y = screenOf(1, 1, 128, RoadRow).y;
        return anyWhere(roadText, 0, y - rows, Width - 1, y + rows);
    }
    bool textAwayFromRoad(int rows) {
        const int y = screenOf(1, 1, 128, RoadRow).y;
        return anyWhere(roadText, 0, 0, Width - 1, y - rows - 1) ||
               anyWhere(roadText, 0, y + rows + 1, Width - 1, Height - 1);
    }

    // Whether every pixel that passes the test lies in a box the frame's
    // captions left for what is drawn over the map (2 pixels of slack for
    // the halo and the turned text's rounding), and some pixel does.
    template <class Test> bool coveredByDrawnBoxes(Test test) const {
        bool any = false;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                if (!test(pixel(x, y))) continue;
                any = true;
                const Render::OrientedBox dot{float(x) + 0.5f, float(y) + 0.5f, 1.0f, 0.0f, 0.5f, 0.5f};
                const auto& boxes = captions->drawnBoxes();
                if (std::none_of(boxes.begin(), boxes.end(), [&dot](Render::OrientedBox box) {
                        box.halfWidth += 2.0f;
                        box.halfHeight += 2.0f;
                        return box.overlaps(dot);
                    }))
                    return false;
            }
        return any;
    }

    std::shared_ptr<Render::Font> font;
    std::unique_ptr<MapDrawing::MapCaptions> captions;
};

TEST(MapCaptions, RoadNameAlongTheRoadUnlessItsTypeHidesCaptions) {
    Captioned t;
    ASSERT_TRUE(t.frame());
    const xe::Point left = t.screenOf(1, 1, 0, RoadRow);
    const xe::Point right = t.screenOf(1, 1, 255, RoadRow);
    ASSERT_LT(left.x, Width / 2 - 40);
    ASSERT_GT(right.x, Width / 2 + 40);
    // The name is written level across the road near the car's column, in
    // black with a white halo, and nowhere else.
    EXPECT_TRUE(t.textNearRoad(8));
    EXPECT_FALSE(t.textAwayFromRoad(10));
    EXPECT_TRUE(t.anyWhere(roadText, Width / 2 - 20, left.y - 8, Width / 2 + 20, left.y + 8));
    EXPECT_TRUE(t.anyIn(0x00FFFFFF, Width / 2 - 20, left.y - 8, Width / 2 + 20, left.y + 8));
    ASSERT_EQ(t.captions->placed().size(), 2u);
    EXPECT_EQ(t.captions->frameCaptions(), 2);
    // Their boxes are kept for the waypoint names, and cover them.
    EXPECT_EQ(t.captions->drawnBoxes().size(), 2u);
    EXPECT_TRUE(t.coveredByDrawnBoxes(roadText));
    EXPECT_TRUE(t.coveredByDrawnBoxes(poiText));

    // Captions of the type off: the road is still drawn, without its name.
    t.renderer->showPolylineText()[2] = 0;
    ASSERT_TRUE(t.frame());
    EXPECT_EQ(t.pixel(Width / 2, left.y), RoadGreen);
    EXPECT_FALSE(t.textNearRoad(8));
    EXPECT_EQ(t.captions->frameCaptions(), 1);

    // Lines of the type off take their captions with them.
    t.renderer->showPolylineText()[2] = 1;
    t.renderer->showPolylineLine()[2] = 0;
    ASSERT_TRUE(t.frame());
    EXPECT_FALSE(t.textNearRoad(8));
}

TEST(MapCaptions, AFastFrameDrawsNoCaptionsAndTheFullOneAfterItDoes) {
    Captioned t;
    t.atlas->view().setSlow(true);
    t.inputFrom = 2; // input waits from the second probe on
    ASSERT_TRUE(t.frame(MapDrawing::FullRedraw));
    ASSERT_EQ(t.atlas->view().frameState(), MapDrawing::FullFrameDue);
    const xe::Point poi = t.screenOf(1, 1, PoiX, PoiY);
    EXPECT_EQ(t.pixel(Width / 2, t.screenOf(1, 1, 128, RoadRow).y), RoadGreen);
    EXPECT_EQ(t.pixel(poi.x, poi.y), IconMagenta);
    EXPECT_FALSE(t.textNearRoad(8));
    EXPECT_FALSE(t.anyWhere(poiText, 0, 0, Width - 1, Height - 1));
    EXPECT_TRUE(t.captions->drawnBoxes().empty());

    t.inputFrom = -1;
    ASSERT_TRUE(t.frame(MapDrawing::NoRedraw));
    EXPECT_TRUE(t.textNearRoad(8));
    EXPECT_TRUE(t.anyWhere(poiText, 0, 0, Width - 1, Height - 1));
    EXPECT_EQ(t.captions->drawnBoxes().size(), 2u);
}

// Captions keep clear of the icons drawn in the frame: a road's name that
// would cover another POI's icon moves along its road, a POI's name is left
// out, the icon stays whole; a POI's name may meet its own icon (placement
// 8 sets the icon over the point, where the name's box ends).
TEST(MapCaptions, CaptionsKeepClearOfTheIconsOfOtherPois) {
    const struct {
        const char* what;
        std::vector<Poi> more;
        std::uint16_t innType;
        bool road, inn;
        bool roadAtCar = true; // the road's name across the car's column
    } rows[] = {
        {"nothing in the way", {}, 0x105, true, true},
        {"the Inn's icon over its point", {}, 0x108, true, true},
        {"an icon where the road's name goes", {{"", 0x105, {128, RoadRow}}}, 0x105, true, true, false},
        {"an icon where the Inn's name goes", {{"", 0x105, {PoiX, PoiY + 14}}}, 0x105, true, false},
        {"an icon beside the road's name", {{"", 0x105, {128, RoadRow + 40}}}, 0x105, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Captioned t(row.more, row.innType);
        ASSERT_TRUE(t.frame());
        EXPECT_EQ(t.renderer->drawnIcons().size(), 1 + row.more.size());
        EXPECT_EQ(t.textNearRoad(8), row.road);
        EXPECT_EQ(t.anyWhere(poiText, 0, 0, Width - 1, Height - 1), row.inn);
        EXPECT_EQ(t.captions->placed().size(), (row.road ? 1u : 0u) + (row.inn ? 1u : 0u));
        for (const Render::DrawRecord* placed : t.captions->placed()) {
            if (placed->isPoi()) continue;
            EXPECT_EQ(std::fabs(placed->box.centreX - Width / 2) < placed->box.halfWidth, row.roadAtCar);
        }
        // No icon pixel is drawn over: each icon's whole 8 x 8 square keeps
        // its colour. (A name is placed as if its icon were centred on the
        // point: over an icon set above the point, it covers its top.)
        for (const Render::IconBox& icon : t.renderer->drawnIcons()) {
            if (row.innType == 0x108 && icon.caption != nullptr) continue;
            const int left = static_cast<int>(icon.box.centreX) - 4, top = static_cast<int>(icon.box.centreY) - 4;
            EXPECT_FALSE(t.anyWhere([](std::uint32_t c) { return c != IconMagenta; }, left, top, left + 7, top + 7))
                << left << "," << top;
        }
    }
}

// A POI of a type with no style of its own is drawn with type 0's icon
// and shown as type 0 is ("Point of interest" of the group "Other", which
// the settings page lists), whatever its own flag: the table's defaults
// showed such types, and no setting could hide their icons.
TEST(MapCaptions, ATypeWithoutAStyleFollowsTypeZero) {
    const struct {
        bool zero, own, drawn;
    } rows[] = {{false, true, false}, {true, false, true}, {true, true, true}, {false, false, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.zero << row.own);
        Captioned t({{"", 0x2F03, {40, 200}}});
        Render::RenderStyles& styles = t.renderer->styles();
        styles.daySet().poiStyles[0] = styles.daySet().poiStyles[0x105];
        styles.setPoiTypeFlags(0, row.zero, false);
        styles.setPoiTypeFlags(0x2F03, row.own, false);
        EXPECT_EQ(styles.isPoiShownOnMap(0x2F03), row.drawn);
        EXPECT_EQ(styles.isPoiShownOnMap(0x105), true) << "a styled type keeps its own flag";
        ASSERT_TRUE(t.frame());
        EXPECT_EQ(t.renderer->drawnIcons().size(), row.drawn ? 2u : 1u);
        const xe::Point unstyled = t.screenOf(1, 1, 40, 200);
        EXPECT_EQ(t.pixel(unstyled.x, unstyled.y) == IconMagenta, row.drawn);
    }
}

TEST(MapCaptions, In3dTheRoadGetsOneBoxedLabel) {
    Captioned t;
    t.camera.setMode(1);
    ASSERT_TRUE(t.frame());
    EXPECT_EQ(t.renderer->counters().captions, 1);
    // The label's fill, outlined in black, somewhere on the canvas.
    const std::uint32_t fill = t.captions->label.fill;
    EXPECT_TRUE(t.anyIn(fill, 0, 0, Width - 1, Height - 1));
    EXPECT_TRUE(t.coveredByDrawnBoxes([fill](std::uint32_t c) { return c == fill; }));
    // Captions off for the road's type: no label.
    t.renderer->showPolylineText()[2] = 0;
    ASSERT_TRUE(t.frame());
    EXPECT_EQ(t.renderer->counters().captions, 0);
    EXPECT_FALSE(t.anyIn(fill, 0, 0, Width - 1, Height - 1));
}

// A page that draws a car over the frame.
struct CarPage : MapDrawing::MapPage {
    void drawTracksAndFriends(const xe::Canvas&, MapCamera&) override {}
    void invalidate() override {}
    MapDrawing::CompassWidget* compass() override { return nullptr; }
    const MapDrawing::CursorRecord* findCursor(const std::string&) override {
        return flag.image ? &flag : nullptr;
    }
    std::optional<Render::IconBox> carBox(const MapCamera&) override { return car; }
    std::vector<Render::OrientedBox> coveredBoxes() const override { return panels; }
    std::optional<Render::IconBox> car;
    std::vector<Render::OrientedBox> panels;
    MapDrawing::CursorRecord flag; // every flag of the route
};

// A route of its flags alone.
struct FlagsRoute : MapDrawing::RoutePath {
    const std::vector<std::vector<MapDrawing::RoutePiece>>& parts() const override { return none; }
    const std::vector<MapDrawing::RoutePoint>& points() const override { return flags; }
    std::uint32_t colour() const override { return 0; }
    float halfWidth() const override { return 1.0f; }
    bool marksPoints() const override { return false; }
    std::vector<std::vector<MapDrawing::RoutePiece>> none;
    std::vector<MapDrawing::RoutePoint> flags;
};

// Keeps the boxes the frame asks the waypoint names to keep clear of, and
// has one icon.
struct TakenRecorder : MapDrawing::WaypointsLayer {
    std::uint32_t drawPoints(SDL_Surface*, MapCamera&,
                             const std::vector<Render::OrientedBox>& boxes) override {
        taken = boxes;
        return 0;
    }
    std::vector<Render::OrientedBox> iconBoxes(std::int32_t, std::int32_t, MapCamera&) override {
        return {icon};
    }
    std::vector<Render::OrientedBox> taken;
    Render::OrientedBox icon{30.0f, 40.0f, 1.0f, 0.0f, 8.0f, 8.0f};
};

// An icon that would touch the car the page draws over the frame (within
// 2 pixels) is left out, in 2D and 3D; one farther off stays. The waypoint
// names keep clear of the frame's names and icons, the car and the page's
// panels over the map.
TEST(MapCaptions, IconsKeepOffTheCarAndWaypointNamesOffEverything) {
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        Captioned t;
        CarPage page;
        t.renderer->services().page = &page;
        t.camera.setMode(mode);
        ASSERT_TRUE(t.frame());
        ASSERT_EQ(t.renderer->drawnIcons().size(), 1u);
        const Render::OrientedBox inn = t.renderer->drawnIcons()[0].box;
        // The icon's pixels: columns left .. left + 7, rows top .. top + 7.
        const int left = static_cast<int>(inn.centreX - inn.halfWidth - 0.5f),
                  top = static_cast<int>(inn.centreY - inn.halfHeight - 0.5f);
        ASSERT_EQ(t.pixel(left, top), IconMagenta);
        // (the car's left column, its top row, the icon drawn)
        const struct {
            int x, y;
            bool drawn;
        } rows[] = {
            {left - 2, top - 2, false}, // on the icon
            {left + 9, top, false},     // one pixel right of it
            {left + 10, top, true},     // two
            {left - 12, top + 4, true}, // two left of it
            {left - 11, top + 4, false},
            {left, top + 9, false}, // one below it
            {left, top + 11, true},
        };
        for (const auto& row : rows) {
            page.car = Render::IconBox::of(row.x, row.y, 10, 10, nullptr);
            ASSERT_TRUE(t.frame());
            SCOPED_TRACE(testing::Message() << row.x - left << "," << row.y - top);
            EXPECT_EQ(t.renderer->drawnIcons().size(), row.drawn ? 2u : 1u);
            EXPECT_EQ(t.pixel(left + 3, top + 3) == IconMagenta, row.drawn);
        }

        // What the waypoint names are handed: every name and label the
        // frame drew, every icon, the car and the page's panel.
        TakenRecorder waypoints;
        t.renderer->services().waypoints = &waypoints;
        page.car = Render::IconBox::of(0, 0, 10, 10, nullptr);
        page.panels = {Render::OrientedBox{200.0f, 50.0f, 1.0f, 0.0f, 40.0f, 30.0f}};
        t.renderer->setMapSurface(t.surface);
        RenderTest::SurfacePtr screen(
            SDL_CreateRGBSurface(SDL_SWSURFACE, Width, Height, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0));
        // Near enough for the waypoints (below 2000 m per 40 pixels), the
        // Inn in the middle.
        t.lookAt(PoiX + 256.0f, PoiY + 256.0f, 1500);
        // The route's one flag east of the Inn, its 8 x 8 picture's hot spot
        // on the middle.
        FlagsRoute route;
        route.flags = {{t.levelFrame, Map::LocalPoint{PoiX + 260.0f, PoiY + 256.0f}}};
        page.flag = {t.icons[0].get(), 4, 4};
        t.renderer->services().route = &route;
        t.atlas->requestRedraw();
        t.renderer->drawMap(screen.get(), SDL_Rect{0, 0, Width, Height}, false, nullptr);
        std::vector<Render::OrientedBox> expected = t.captions->drawnBoxes();
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(t.renderer->drawnIcons().size(), 2u);
        for (const Render::IconBox& icon : t.renderer->drawnIcons()) expected.push_back(icon.box);
        expected.push_back(page.panels[0]);
        ASSERT_EQ(waypoints.taken.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_FLOAT_EQ(waypoints.taken[i].centreX, expected[i].centreX) << i;
            EXPECT_FLOAT_EQ(waypoints.taken[i].centreY, expected[i].centreY) << i;
            EXPECT_FLOAT_EQ(waypoints.taken[i].halfWidth, expected[i].halfWidth) << i;
        }
        // What the map's names keep clear of, drawn over the frame after
        // them: the panel, the route's flag, the waypoints' icons.
        ASSERT_EQ(t.renderer->overMap().size(), 3u);
        EXPECT_FLOAT_EQ(t.renderer->overMap()[0].centreX, page.panels[0].centreX);
        const Render::OrientedBox flag = t.renderer->overMap()[1];
        EXPECT_FLOAT_EQ(flag.halfWidth, 3.5f);
        EXPECT_FLOAT_EQ(flag.halfHeight, 3.5f);
        EXPECT_EQ(t.pixel(static_cast<int>(flag.centreX), static_cast<int>(flag.centreY)), IconMagenta);
        EXPECT_FLOAT_EQ(t.renderer->overMap()[2].centreX, waypoints.icon.centreX);
        EXPECT_FLOAT_EQ(t.renderer->overMap()[2].halfHeight, waypoints.icon.halfHeight);
        t.renderer->services().route = nullptr;
        t.renderer->setMapSurface(nullptr);
        t.renderer->services().waypoints = nullptr;
        t.renderer->services().page = nullptr;
    }
}

// The car the page draws over the frame is taken as an icon, and so is a
// panel of the page over the map: the road's name that would lie under it
// moves off it (in 2D along its road, in 3D the boxed label). While the view
// stands and the car or the panel moves onto a name, the names are placed
// again; a car or panel that stays redraws nothing.
TEST(MapCaptions, NamesKeepOffTheCarAndThePanels) {
    for (const int mode : {0, 1})
        for (const bool panel : {false, true}) {
            SCOPED_TRACE(testing::Message() << mode << (panel ? " panel" : " car"));
            Captioned t;
            CarPage page;
            t.renderer->services().page = &page;
            t.camera.setMode(mode);
            // What the page draws over the frame there.
            const auto put = [&](const Render::IconBox& box) {
                if (panel)
                    page.panels = {box.box};
                else
                    page.car = box;
            };
            const auto over = [&] { return panel ? page.panels[0] : page.car->box; };
            const std::uint32_t fill = t.captions->label.fill;
            // The road's name: its turned text in 2D, its label (drawn after
            // the names) in 3D.
            const auto roadName = [&]() -> std::optional<Render::OrientedBox> {
                if (mode == 1)
                    return t.renderer->counters().captions == 1
                               ? std::optional(t.captions->drawnBoxes().back())
                               : std::nullopt;
                for (const Render::DrawRecord* placed : t.captions->placed())
                    if (!placed->isPoi()) return placed->box;
                return std::nullopt;
            };
            const auto offTheCar = [&] {
                const std::optional<Render::OrientedBox> name = roadName();
                if (!name || name->overlaps(over())) return false;
                const Render::OrientedBox car = over();
                const int x0 = static_cast<int>(car.centreX - car.halfWidth),
                          x1 = static_cast<int>(car.centreX + car.halfWidth);
                const int y0 = static_cast<int>(car.centreY - car.halfHeight),
                          y1 = static_cast<int>(car.centreY + car.halfHeight);
                return mode == 1 ? !t.anyIn(fill, x0, y0, x1, y1) : !t.anyWhere(roadText, x0, y0, x1, y1);
            };
            ASSERT_TRUE(t.frame());
            const std::optional<Render::OrientedBox> free = roadName();
            ASSERT_TRUE(free);
            const Render::IconBox onTheName = Render::IconBox::of(
                static_cast<int>(free->centreX) - 20, static_cast<int>(free->centreY) - 15, 40, 30, nullptr);
            put(onTheName);
            ASSERT_TRUE(t.frame());
            EXPECT_TRUE(offTheCar());

            // The view stands; the car comes from a corner onto the name.
            put(Render::IconBox::of(0, 0, 10, 10, nullptr));
            ASSERT_TRUE(t.frame());
            ASSERT_TRUE(roadName());
            EXPECT_TRUE(roadName()->overlaps(onTheName.box));
            put(onTheName);
            t.renderer->setMapSurface(t.surface);
            RenderTest::SurfacePtr screen(SDL_CreateRGBSurface(SDL_SWSURFACE, Width, Height, 32, 0x00FF0000,
                                                               0x0000FF00, 0x000000FF, 0));
            t.renderer->drawMap(screen.get(), SDL_Rect{0, 0, Width, Height}, false, nullptr);
            EXPECT_TRUE(offTheCar());
            // It stays: the frame stands.
            SDL_FillRect(t.surface, nullptr, 0);
            t.renderer->drawMap(screen.get(), SDL_Rect{0, 0, Width, Height}, false, nullptr);
            EXPECT_EQ(t.pixel(0, 0), 0u);
            t.renderer->setMapSurface(nullptr);
            t.renderer->services().page = nullptr;
        }
}

// No name is drawn over another: a POI's name where the road's boxed label
// goes in 3D (the label, drawn after the names, moves), and the names of a
// map over those of the map drawn before it (a town over its country: two
// maps with the same road and POI), in 2D and 3D.
TEST(MapCaptions, NamesDoNotOverlap) {
    const struct {
        const char* what;
        std::vector<Poi> more;
        bool twin;
    } rows[] = {
        {"a POI's name under the road's label", {{"Hermitage", 0x105, {128, 148}}}, false},
        {"two maps", {}, true},
    };
    for (const auto& row : rows)
        for (const int mode : {0, 1}) {
            SCOPED_TRACE(testing::Message() << row.what << " " << mode);
            Captioned t(row.more, 0x105, row.twin);
            t.camera.setMode(mode);
            ASSERT_TRUE(t.frame());
            EXPECT_EQ(t.renderer->counters().captions >= 1, mode == 1) << "the road keeps its label";
            const std::vector<Render::OrientedBox>& names = t.captions->drawnBoxes();
            ASSERT_GE(names.size(), 3u);
            for (std::size_t i = 0; i < names.size(); ++i)
                for (std::size_t j = i + 1; j < names.size(); ++j)
                    EXPECT_FALSE(names[i].overlaps(names[j])) << i << " and " << j;
        }
}

} // namespace
