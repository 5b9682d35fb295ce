// The scale ruler and the sky band of the map page.

#include "screens/KVScale.h"
#include "screens/MapSky.h"

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "core/TempSurface.h"
#include "map/KVAtlas.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/fdInterface.h"
#include "ui/ClickBehaviors.h"
#include "ui/Messages.h"
#include "ui/fdLabel.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

using namespace Screens;

namespace {

SDL_Surface* whiteSurface() {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 200, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(s, nullptr, 0xFFFFFF);
    return s;
}

// A picture whose pixels the interface's ageing has freed: its surface is
// back only after isValid has loaded it again.
struct AgedImage : Render::Image {
    explicit AgedImage(SDL_Surface* s) : pixels(s) {}
    ~AgedImage() override { SDL_FreeSurface(pixels); }
    int width() const override { return pixels->w; }
    int height() const override { return pixels->h; }
    bool isValid() override { return loaded = true; }
    SDL_Surface* surface() override { return loaded ? pixels : nullptr; }
    bool drawAligned(SDL_Surface*, const SDL_Rect&, int, int) override { return false; }
    bool drawPart(SDL_Surface*, std::int16_t, std::int16_t, const SDL_Rect&) override { return false; }
    bool drawMultiplied(SDL_Surface*, std::int16_t, std::int16_t, const SDL_Rect&, std::uint32_t) override {
        return false;
    }
    SDL_Surface* pixels;
    bool loaded = false;
};

} // namespace

TEST(KVScale, NiceValuesAndLabels) {
    struct Case {
        float metres;
        int nice;
        const char16_t* label;
    };
    // As the English skin writes every other distance: "1.5 km", not "1,5km".
    const Case cases[] = {
        {0.5f, 0, u"0 m"},           {1.0f, 1, u"1 m"},           {204.0f, 200, u"200 m"},
        {999.9f, 700, u"700 m"},     {1650.0f, 1500, u"1.5 km"},  {2500.0f, 2000, u"2 km"},
        {1e6f, 1000000, u"1000 km"}, {5e7f, 1000000, u"1000 km"}, {150000.0f, 150000, u"150 km"},
    };
    Messages messages;
    messages.loadText(TestSupport::readAll(std::string(MIREL_DATA_DIR) + "/messages.xml"));
    for (const Case& c : cases) {
        EXPECT_EQ(KVScale::niceValue(c.metres), c.nice) << c.metres;
        EXPECT_EQ(KVScale::labelText(KVScale::niceValue(c.metres), &messages), c.label) << c.metres;
        EXPECT_EQ(KVScale::labelText(KVScale::niceValue(c.metres), nullptr), c.label) << c.metres;
    }
    // The unit words are the messages'.
    Messages other;
    other.loadText(
        R"(<messages><message name="meter" text="м"/><message name="kilo_meter" text="км"/></messages>)");
    EXPECT_EQ(KVScale::labelText(1500, &other), u"1.5 км");
    EXPECT_EQ(KVScale::labelText(300, &other), u"300 м");
    // 120 pixels at 1.7 m per pixel on the equator: 204 m.
    const float scale = 0.009320285f / 1.7f;
    EXPECT_NEAR(KVScale::rulerMetres(120, scale, 0.0f), 204.0f, 0.01f);
    EXPECT_NEAR(KVScale::rulerMetres(120, scale, 60.0f), 102.0f, 0.01f);
    EXPECT_EQ(KVScale::rulerMetres(0, scale, 0.0f), 0.0f);
    EXPECT_EQ(KVScale::rulerMetres(120, 0.0f, 0.0f), 0.0f);
}

TEST(KVScale, DrawsTheNiceLengthAndWritesTheLabel) {
    TestSupport::CaptureLogger quiet;
    UiTest::FakeEngine engine;
    Ui::fdInterface ui(&engine, nullptr);
    auto* page = new Ui::fdPage(&ui, "pageMap", nullptr);
    page->setRect(0, 0, 320, 200);
    auto* label = new Ui::fdLabel(page, "scale_label", true, &ui);
    MapCamera camera;
    camera.setScale(0.009320285f / 1.7f);
    camera.setCentre({0, 0});
    auto* ruler = new KVScale(page, &ui, &camera);
    ruler->setOwnRect(20, 100, 120, 10);
    ruler->tick(0);
    EXPECT_NEAR(ruler->metres(), 204.0f, 0.05f);
    EXPECT_EQ(label->text(), u"200 m");

    SDL_Surface* s = whiteSurface();
    TempSurface clip(32, 0, 0, 0, 0);
    ruler->draw(s, clip, true);
    // The green mark stands at 120 / 204 * 200 = 118 pixels, above the ruler.
    EXPECT_EQ(UiTest::rgbAt(s, 20 + 118, 95), 0x80FF80u);
    EXPECT_EQ(UiTest::rgbAt(s, 20 + 117, 95), 0xFFFFFFu);
    // Grey rest after the nice length, black end lines.
    EXPECT_EQ(UiTest::rgbAt(s, 20 + 118, 100 + 9), 0x606060u);
    EXPECT_EQ(UiTest::rgbAt(s, 20, 101), 0x000000u);
    EXPECT_EQ(UiTest::rgbAt(s, 20 + 119, 101), 0x000000u);

    // No scale yet: the frame only, nothing divided by zero.
    SDL_FillRect(s, nullptr, 0xFFFFFF);
    ruler->setMetres(0.0f);
    ruler->draw(s, clip, true);
    EXPECT_EQ(UiTest::rgbAt(s, 20 + 60, 95), 0xFFFFFFu);
    SDL_FreeSurface(s);
}

TEST(MapSky, DrawsOnlyInThreeDAboveAHighEnoughHorizon) {
    TestSupport::CaptureLogger quiet;
    UiTest::FakeEngine engine;
    Ui::fdInterface ui(&engine, nullptr);
    Core::Config config;
    config.root()->set("win_main_heap", 64);
    Core::ResourcesPool pool{10};
    Map::KVAtlas atlas(config.root(), pool);
    MapCamera camera;
    SDL_Surface* blue = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 16, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(blue, nullptr, 0x0000FF);
    auto day = std::make_unique<AgedImage>(blue);
    auto* page = new Ui::fdPage(&ui, "pageMap", nullptr);
    page->setRect(0, 0, 320, 200);
    auto* sky = new MapSky(page, &ui, &atlas, &camera, day.get(), nullptr);
    sky->setOwnRect(0, 0, 320, 120);
    TempSurface clip(32, 0, 0, 0, 0);

    struct Case {
        bool threeD;
        int horizon;
        bool dayMode;
        bool big;
        int bandRows; // rows painted blue
    };
    const Case cases[] = {{false, 60, true, false, 0}, {true, 4, true, false, 0}, {true, 5, true, false, 13},
                          {true, 60, true, false, 68},  {true, 60, false, false, 0}, {true, 60, true, true, 76}};
    for (const Case& c : cases) {
        camera.setMode(c.threeD ? 1 : 0);
        atlas.view().horizonRow = c.horizon;
        engine.day = c.dayMode;
        engine.big = c.big;
        SDL_Surface* s = whiteSurface();
        day->loaded = false;
        sky->draw(s, clip, true);
        int rows = 0;
        for (int y = 0; y < s->h; ++y)
            rows += UiTest::rgbAt(s, 319, y) == 0x0000FFu && UiTest::rgbAt(s, 0, y) == 0x0000FFu;
        EXPECT_EQ(rows, c.bandRows) << c.threeD << " " << c.horizon;
        SDL_FreeSurface(s);
    }
    // The panorama turns with the view: half a turn moves it a full width.
    EXPECT_EQ(MapSky::offsetFor(0.0f, 64), 0);
    EXPECT_EQ(MapSky::offsetFor(std::numbers::pi_v<float> / 2, 64), -32);
    EXPECT_EQ(MapSky::offsetFor(-std::numbers::pi_v<float> / 2, 64), -32);
}

TEST(Compass, ClickCircleFollowsTheLaidOutRectangle) {
    UiTest::FakeEngine engine;
    Ui::fdInterface ui(&engine, nullptr);
    auto* page = new Ui::fdPage(&ui, "pageMap", nullptr);
    page->setDesignRect({0, 0, 800, 480});
    page->setRect(0, 0, 800, 480);
    auto* compass = new Ui::fdStatic(page, "compas", true, &ui);
    compass->placeInParent(736, 4, 56, 56);
    compass->setAnchors(2, 0, 2, 0); // kept at the right edge
    page->setRect(0, 0, 1024, 600);
    compass->relayout();
    ASSERT_EQ(compass->rect().x, 736 + 224);
    const Ui::OnClickInCircleAreaBehavior circle(compass, 28);
    EXPECT_TRUE(circle.hitTest(736 + 224 + 28, 32));
    EXPECT_FALSE(circle.hitTest(736 + 28, 32));
}
