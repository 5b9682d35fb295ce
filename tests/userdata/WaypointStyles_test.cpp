#include "userdata/WaypointStyles.h"

#include "UserDataTestSupport.h"
#include "render/Font.h"
#include "render/RenderStyles.h"

#include <algorithm>
#include <optional>

using namespace UserDataTest;

namespace {

struct StylesFixture {
    StylesFixture() {
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        SDL_FillRect(s, nullptr, 0xFF00FF00);
        icon = Render::ImageFromSurface::owning(s);
        Render::PoiStyle& fuel = styles.daySet().poiStyles[FuelType];
        fuel.name = u"Fuel";
        fuel.icon = icon.get();
        fuel.minScale = 100;
        fuel.maxScale = 200;
        styles.nightSet().poiStyles[0x1111].icon = icon.get();
    }
    Render::RenderStyles styles;
    std::unique_ptr<Render::ImageFromSurface> icon;
    RenderWaypointStyles adapter{styles, nullptr, nullptr, 0};
};

TEST(WaypointStyles, ATypeGetsItsStyleFromTheActiveSet) {
    StylesFixture f;
    EXPECT_EQ(f.adapter.poiStyle(FuelType), &f.styles.daySet().poiStyles.at(FuelType)) << "no set chosen: day";
    EXPECT_EQ(f.adapter.poiStyle(0x1111), nullptr);
    EXPECT_EQ(f.adapter.poiStyle(WayPoint::DefaultType), nullptr);
    f.styles.selectSet(false);
    EXPECT_EQ(f.adapter.poiStyle(FuelType), nullptr);
    EXPECT_EQ(f.adapter.poiStyle(0x1111), &f.styles.nightSet().poiStyles.at(0x1111));
}

TEST(WaypointStyles, PointsAreDrawnCentredWhereTheirTypeIsVisible) {
    StylesFixture f;
    TestSupport::TempDir dir;
    fdWPManager manager(&f.adapter, wide(dir / "icons.txt"));
    manager.load(wide(dir / "waypoints"));
    ASSERT_EQ(manager.addPoint(u"fuel", Map::Point{10, 5}, u"", 0), 0);
    ASSERT_TRUE(manager.setType(0, FuelType));
    ASSERT_EQ(manager.addPoint(u"plain", Map::Point{-30, -20}, u"", 0), 1); // no style: a dot, always
    MapCamera camera;
    flatCamera(camera, 100, 100);
    xe::Point fuel, plain;
    ASSERT_TRUE(camera.mapToScreen(Map::Point{10, 5}, fuel) && camera.mapToScreen(Map::Point{-30, -20}, plain));
    const std::pair<std::int32_t, bool> cases[] = {{99, false}, {100, true}, {150, true}, {200, true}, {201, false}};
    for (const auto& [scale, shown] : cases) {
        auto surface = RenderTest::makeSurface(32, 100, 100);
        EXPECT_EQ(manager.drawPoints(surface.get(), camera, scale), shown ? 2u : 1u) << scale;
        EXPECT_NE(RenderTest::pixelAt(surface.get(), plain.x, plain.y), 0u) << scale;
        // The 4 x 4 icon covers [x - 2, x + 1] by [y - 2, y + 1].
        for (const auto& [dx, dy] : {std::pair{-2, -2}, {1, 1}, {-2, 1}, {1, -2}, {0, 0}})
            EXPECT_EQ(RenderTest::pixelAt(surface.get(), fuel.x + dx, fuel.y + dy) != 0, shown)
                << scale << " at " << dx << "," << dy;
        for (const auto& [dx, dy] : {std::pair{-3, 0}, {2, 0}, {0, -3}, {0, 2}})
            EXPECT_EQ(RenderTest::pixelAt(surface.get(), fuel.x + dx, fuel.y + dy), 0u)
                << scale << " at " << dx << "," << dy;
        // The boxes the map's names keep clear of are those drawn: the dot's
        // 11 x 11 square, the icon where its type is visible.
        manager.setScaleSource([scale = scale] { return scale; });
        std::vector<Render::OrientedBox> expected{
            Render::IconBox::of(plain.x - 5, plain.y - 5, 11, 11, nullptr).box};
        if (shown) expected.push_back(Render::IconBox::of(fuel.x - 2, fuel.y - 2, 4, 4, nullptr).box);
        std::vector<Render::OrientedBox> boxes = manager.iconBoxes(100, 100, camera);
        const auto byX = [](const Render::OrientedBox& a, const Render::OrientedBox& b) {
            return a.centreX < b.centreX;
        };
        std::sort(boxes.begin(), boxes.end(), byX);
        std::sort(expected.begin(), expected.end(), byX);
        ASSERT_EQ(boxes.size(), expected.size()) << scale;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_FLOAT_EQ(boxes[i].centreX, expected[i].centreX) << scale;
            EXPECT_FLOAT_EQ(boxes[i].centreY, expected[i].centreY) << scale;
            EXPECT_FLOAT_EQ(boxes[i].halfWidth, expected[i].halfWidth) << scale;
            EXPECT_FLOAT_EQ(boxes[i].halfHeight, expected[i].halfHeight) << scale;
        }
    }
}

// In 3D the sky above the horizon has no ground: the points below it are
// still drawn.
TEST(WaypointStyles, PointsBelowTheHorizonAreDrawnIn3D) {
    StylesFixture f;
    TestSupport::TempDir dir;
    fdWPManager manager(&f.adapter, wide(dir / "icons.txt"));
    manager.load(wide(dir / "waypoints"));
    MapCamera camera;
    camera.setViewport(200, 150, 1.0f);
    camera.setAnchorFraction(0.2f);
    camera.setMode(1);
    camera.setTilt(0.5f);
    camera.setCentre(Map::Point{1000, 1000});
    camera.setScale(1.0f);
    camera.setupForLevel(Map::LevelFrame{32, 16, 0, 0});
    camera.setOrigin(0, 0);
    Map::Point sky;
    ASSERT_FALSE(camera.screenToMap(xe::Point{0, 0}, sky)) << "the top corner sees the sky";
    ASSERT_EQ(manager.addPoint(u"here", Map::Point{1000, 1000}, u"", 0), 0);
    xe::Point at;
    ASSERT_TRUE(camera.mapToScreen(Map::Point{1000, 1000}, at));
    auto surface = RenderTest::makeSurface(32, 200, 150);
    EXPECT_EQ(manager.drawPoints(surface.get(), camera, 150), 1u);
    EXPECT_NE(RenderTest::pixelAt(surface.get(), at.x, at.y), 0u);
}

TEST(WaypointStyles, ALoadAgainReadsTheIconListAfresh) {
    TestSupport::TempDir dir;
    FakeStyles styles;
    styles.loadable = {"pois/icons/a.bmp"};
    dir.write("icons.txt", "a.bmp\n");
    fdWPManager manager(&styles, wide(dir / "icons.txt"));
    for (int load = 0; load < 2; ++load) {
        manager.load(wide(dir / "waypoints"));
        EXPECT_EQ(manager.icons().size(), 3u) << load; // two type icons and the listed one
        EXPECT_EQ(manager.iconNames(), std::vector<std::u16string>{u"a.bmp"}) << load;
    }
}

// A font that measures every unit as 6 x 10 pixels and keeps what it was
// asked to draw.
class RecordingFont : public Render::Font {
  public:
    struct Call {
        bool halo;
        std::uint32_t text, effect;
        std::int32_t x, y;
        std::u16string name;
        bool operator==(const Call&) const = default;
    };
    std::int32_t style() const override { return 0; }
    void setStyle(std::int32_t) override {}
    bool textSize(Render::TextSize& out, const char16_t* begin, const char16_t* end) override {
        out = {static_cast<std::int32_t>(end - begin) * 6, 10};
        return true;
    }
    void drawText(SDL_Surface*, std::int32_t x, std::int32_t y, std::uint32_t colour, const char16_t* begin,
                  const char16_t* end) override {
        calls.push_back({false, colour, 0, x, y, std::u16string(begin, end)});
    }
    void drawTextSolid(SDL_Surface*, std::int32_t x, std::int32_t y, std::int32_t mask, std::uint32_t text,
                       std::uint32_t effect, const char16_t* begin, const char16_t* end) override {
        calls.push_back({mask == Font::Halo, text, effect, x, y, std::u16string(begin, end)});
    }
    std::vector<Call> calls;
};

// Names are haloed in the caption colours of their type in the current day
// or night set, those of the default waypoint type standing in for a type
// without a style; with neither, the configured colour on black.
TEST(WaypointStyles, NamesAreHaloedInTheirTypesCaptionColoursDayAndNight) {
    StylesFixture f;
    RecordingFont font;
    RenderWaypointStyles adapter{f.styles, nullptr, &font, 0xFFFFFFFFu};
    auto colour = [&](bool day, std::uint16_t type, std::uint32_t text, std::uint32_t halo) {
        Render::PoiStyle& style = (day ? f.styles.daySet() : f.styles.nightSet()).poiStyles[type];
        style.icon = f.icon.get();
        style.textForeColor = text;
        style.textHaloColor = halo;
    };
    colour(true, FuelType, 0xFF784810u, 0xFFFFFFFFu);
    colour(true, WayPoint::DefaultType, 0xFF401080u, 0xFFFFFFFEu);
    colour(false, FuelType, 0xFFF0C890u, 0xFF101010u);
    TestSupport::TempDir dir;
    fdWPManager manager(&adapter, wide(dir / "icons.txt"));
    manager.load(wide(dir / "waypoints"));
    ASSERT_EQ(manager.addPoint(u"Shell", Map::Point{0, 0}, u"", 0), 0);
    ASSERT_TRUE(manager.setType(0, FuelType));
    ASSERT_EQ(manager.addPoint(u"Odd", Map::Point{2, 30}, u"", 0), 1);
    ASSERT_TRUE(manager.setType(1, 0x1234));
    MapCamera camera;
    flatCamera(camera, 100, 100);
    xe::Point shell, odd;
    ASSERT_TRUE(camera.mapToScreen(Map::Point{0, 0}, shell) && camera.mapToScreen(Map::Point{2, 30}, odd));
    auto drawn = [&] {
        font.calls.clear();
        auto surface = RenderTest::makeSurface(32, 100, 100);
        manager.drawPoints(surface.get(), camera, 150);
        std::sort(font.calls.begin(), font.calls.end(),
                  [](const RecordingFont::Call& a, const RecordingFont::Call& b) { return a.name < b.name; });
        return font.calls;
    };
    using Call = RecordingFont::Call;
    EXPECT_EQ(drawn(), (std::vector<Call>{{true, 0xFF401080u, 0xFFFFFFFEu, odd.x - 9, odd.y - 5 - 14, u"Odd"},
                                          {true, 0xFF784810u, 0xFFFFFFFFu, shell.x - 15, shell.y - 5 - 14, u"Shell"}}));
    f.styles.selectSet(false);
    EXPECT_EQ(drawn(), (std::vector<Call>{{true, 0xFFFFFFFFu, 0xFF000000u, odd.x - 9, odd.y - 5 - 14, u"Odd"},
                                          {true, 0xFFF0C890u, 0xFF101010u, shell.x - 15, shell.y - 5 - 14, u"Shell"}}));
}

} // namespace

// A name keeps clear of the map's captions and of the names drawn before
// it: above its point where that is free, else below, else not at all (the
// point itself is drawn). Across a street's caption neither read.
TEST(WaypointStyles, NamesGiveWayToCaptionsAndToEachOther) {
    StylesFixture f;
    RecordingFont font;
    RenderWaypointStyles adapter{f.styles, nullptr, &font, 0xFFFFFFFFu};
    TestSupport::TempDir dir;
    fdWPManager manager(&adapter, wide(dir / "icons.txt"));
    manager.load(wide(dir / "waypoints"));
    ASSERT_EQ(manager.addPoint(u"Home", Map::Point{0, 0}, u"", 0), 0);
    MapCamera camera;
    flatCamera(camera, 100, 100);
    xe::Point home, work;
    ASSERT_TRUE(camera.mapToScreen(Map::Point{0, 0}, home) && camera.mapToScreen(Map::Point{3, 2}, work));
    const auto drawn = [&](const std::vector<Render::OrientedBox>& taken) {
        font.calls.clear();
        auto surface = RenderTest::makeSurface(32, 100, 100);
        const std::uint32_t points = manager.drawPoints(surface.get(), camera, 150, taken);
        EXPECT_NE(RenderTest::pixelAt(surface.get(), home.x, home.y), 0u) << "the point is drawn";
        return points;
    };
    // "Home" is 24 x 10: above the point its box is (x - 12, y - 19) to
    // (x + 12, y - 9), below it (x - 12, y + 9) to (x + 12, y + 19).
    const Render::OrientedBox above{float(home.x), float(home.y - 14), 1.0f, 0.0f, 30.0f, 4.0f};
    const Render::OrientedBox below{float(home.x) + 8.0f, float(home.y + 14), 0.6f, 0.8f, 10.0f, 3.0f};
    const Render::OrientedBox beside{float(home.x + 40), float(home.y - 14), 1.0f, 0.0f, 10.0f, 5.0f};
    const std::pair<std::vector<Render::OrientedBox>, std::optional<std::int32_t>> cases[] = {
        {{}, home.y - 19},      {{beside}, home.y - 19},        {{above}, home.y + 9},
        {{below}, home.y - 19}, {{above, below}, std::nullopt}, // none: no name
    };
    for (const auto& [taken, top] : cases) {
        EXPECT_EQ(drawn(taken), 1u);
        ASSERT_EQ(font.calls.size(), top ? 1u : 0u) << taken.size();
        if (top) {
            EXPECT_EQ(font.calls[0].y, *top) << taken.size();
        }
    }
    // A second point beside the first: its name goes below, clear of the
    // first one's.
    ASSERT_EQ(manager.addPoint(u"Work", Map::Point{3, 2}, u"", 0), 1);
    EXPECT_EQ(drawn({}), 2u);
    ASSERT_EQ(font.calls.size(), 2u);
    EXPECT_EQ(font.calls[1].y, (font.calls[1].name == u"Home" ? home.y : work.y) + 9);
}

// A name stays on the map: near the right or left edge it ends or starts
// there, and where the top edge would cut it, it goes below its point.
TEST(WaypointStyles, NamesStayInsideTheMap) {
    StylesFixture f;
    RecordingFont font;
    RenderWaypointStyles adapter{f.styles, nullptr, &font, 0xFFFFFFFFu};
    TestSupport::TempDir dir;
    fdWPManager manager(&adapter, wide(dir / "icons.txt"));
    manager.load(wide(dir / "waypoints"));
    MapCamera camera;
    flatCamera(camera, 100, 100);
    // (the point on the screen, where "Home", 24 x 10, is drawn)
    const struct {
        xe::Point at, name;
    } rows[] = {
        {{50, 50}, {38, 31}}, {{95, 50}, {76, 31}}, {{99, 50}, {76, 31}}, {{3, 50}, {0, 31}},
        {{50, 19}, {38, 0}},  {{50, 18}, {38, 27}}, {{50, 2}, {38, 11}},
    };
    for (const auto& row : rows) {
        Map::Point point;
        ASSERT_TRUE(camera.screenToMap(row.at, point));
        xe::Point back;
        ASSERT_TRUE(camera.mapToScreen(point, back));
        ASSERT_EQ(back.x, row.at.x);
        ASSERT_EQ(back.y, row.at.y);
        const std::int32_t index = manager.addPoint(u"Home", point, u"", 0);
        ASSERT_GE(index, 0);
        font.calls.clear();
        auto surface = RenderTest::makeSurface(32, 100, 100);
        EXPECT_EQ(manager.drawPoints(surface.get(), camera, 150), 1u);
        ASSERT_EQ(font.calls.size(), 1u) << row.at.x << "," << row.at.y;
        EXPECT_EQ(font.calls[0].x, row.name.x) << row.at.x << "," << row.at.y;
        EXPECT_EQ(font.calls[0].y, row.name.y) << row.at.x << "," << row.at.y;
        manager.deletePoint(static_cast<std::size_t>(index));
    }
}
