// The demo design is English: every text a page shows, at 800 x 480 and in
// a 1280 x 720 window, is free of Cyrillic, save the keys of the Russian
// keyboard layout, which is there for typing Russian names; and every line
// fits its label. The pages are
// shown with a stored waypoint (so the lists name the default category)
// and the recording settings filled. With MIREL_PAGE_SHOTS set, the pages
// that show such data are saved there as <page>_english_<width>x<height>.bmp,
// and the map with a waypoint by day and by night beside them.

#include "app/PageFactory.h"
#include "app/fdEngine.h"

#include "core/Text.h"
#include "render/MapCamera.h"
#include "render/MapPageServices.h"
#include "render/fdMapRenderer.h"
#include "screens/FoundObject.h"
#include "screens/SelectWayPointPage.h"
#include "screens/fdPageMap.h"
#include "screens/fdPageWPListX.h"
#include "tests/support/FirstRunData.h"
#include "tests/support/TempDir.h"
#include "ui/Keyboard.h"
#include "ui/TextRenderers.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"
#include "userdata/fdWPManager.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

bool cyrillic(const std::u16string& text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x0400 && c <= 0x052F; });
}

// "page/widget/...: text" for every shown text with Cyrillic below the window.
void collectCyrillic(const Ui::fdWindowBase& window, const std::string& path, std::vector<std::string>& found) {
    if (!window.visible()) return;
    if (const auto* keyboard = dynamic_cast<const Ui::Keyboard*>(&window);
        keyboard && keyboard->languageName() == "Russian")
        return;
    if (const auto* label = dynamic_cast<const Ui::fdStatic*>(&window); label && cyrillic(label->text()))
        found.push_back(path + ": " + Core::wideToUtf8(label->text()));
    for (const Ui::fdWindowBase* child : window.children())
        collectCyrillic(*child, path + "/" + child->name(), found);
}

// "page/widget/...: text" for every shown line of one-line text wider than
// its label: drawn centred, it lost both its ends ("\\NMEA with GLONAS").
// Sliding labels are left out (the driver drags what they cannot show), as
// are the keys of the keyboards.
void collectCutTexts(const Ui::fdWindowBase& window, const std::string& path, std::vector<std::string>& found) {
    if (!window.visible() || dynamic_cast<const Ui::Keyboard*>(&window)) return;
    const auto* label = dynamic_cast<const Ui::fdLabel*>(&window);
    if (label && !dynamic_cast<const Ui::fdSmartLabel*>(label) && label->linesMode() == 1 && !label->text().empty() &&
        Ui::measureText(*label, label->text()).width > label->rect().w)
        found.push_back(path + ": " + Core::wideToUtf8(label->text()));
    for (const Ui::fdWindowBase* child : window.children())
        collectCutTexts(*child, path + "/" + child->name(), found);
}

// Commands that show other texts on their page, each tapped twice after the
// page was looked at as it opens (the GPS setup page's protocol goes on from
// where it was left: with one tap a second showing gave "NMEA" again).
const std::multimap<std::string, std::string> OtherTexts = {{"pageSetupGPS", "nextProtocol"}};

} // namespace

TEST(PageTexts, NoLabelOfTheEnglishSkinHoldsCyrillic) {
    TestSupport::TempDir dir;
    TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", dir.path() / "data");
    engine::fdEngine engine{Core::utf8ToWide(dir.path().string() + "/")};
    engine.setScreenSize(1440, 900);
    ASSERT_EQ(engine.init(), 0);
    Ui::fdInterface* ui = engine.ui();
    ASSERT_NE(engine.waypoints(), nullptr);
    ASSERT_EQ(engine.waypoints()->category(0).name, fdWPManager::DefaultCategory);
    engine.waypoints()->addPoint(u"Home", Map::Point{88440000, 581280000}, u"", 0);
    const char* shots = std::getenv("MIREL_PAGE_SHOTS");
    for (const auto& [width, height] : {std::pair{800, 480}, std::pair{1280, 720}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        engine.onResize(width, height);
        std::vector<std::string> found, cut;
        std::size_t pages = 0;
        for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
            const char* name = engine::PageFactory::kRows[i].designName;
            Ui::fdPage* page = name ? ui->findPage(name) : nullptr;
            if (!page) continue;
            ++pages;
            ui->clearHistory();
            ui->activatePage(page);
            // The waypoint lists as a driver reaches them: through the type
            // of the stored point.
            if (auto* list = dynamic_cast<Screens::fdPageWPListX*>(page)) list->showType(WayPoint::DefaultType);
            if (auto* chooser = dynamic_cast<Screens::SelectWayPointPage*>(page))
                chooser->showType(WayPoint::DefaultType);
            ui->applyPendingChanges();
            engine.drawNow();
            collectCyrillic(*page, name, found);
            collectCutTexts(*page, name, cut);
            for (auto [at, end] = OtherTexts.equal_range(name); at != end; ++at)
                for (int tap = 0; tap < 2; ++tap) {
                    page->childClicked(at->second);
                    collectCutTexts(*page, name + (" after " + at->second), cut);
                }
            const std::string shown = name;
            if (shots && (shown == "pageWaypointsList" || shown == "select_waypoint" ||
                          shown == "pageTrackingSettings"))
                SDL_SaveBMP(engine.screen(), (std::string(shots) + "/" + shown + "_english_" +
                                              std::to_string(width) + "x" + std::to_string(height) + ".bmp")
                                                 .c_str());
        }
        EXPECT_GT(pages, 40u);
        EXPECT_EQ(found, std::vector<std::string>{});
        EXPECT_EQ(cut, std::vector<std::string>{});
    }
    engine.shutdown();
}

// A waypoint's name on the map reads as the map's own captions do, by day
// and by night: its letters take its type's caption colour (a white name
// vanished on the light day map) on a halo. The map around the point is
// saved as pageMap_waypoint_<day|night>_<width>x<height>.bmp.
TEST(PageTexts, WaypointNamesOnTheMapInTheirCaptionColoursDayAndNight) {
    TestSupport::TempDir dir;
    TestSupport::copyFirstRunData(fs::path(MIREL_PROGRAM_DIR) / "data", dir.path() / "data");
    std::ofstream(dir.path() / "data" / "config.xml", std::ios::trunc)
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
           "<var name=\"atlas\" value=\"maps\\monaco\"/>\n<var name=\"auto_dn\" value=\"0\"/>\n</config>\n";
    engine::fdEngine engine{Core::utf8ToWide(dir.path().string() + "/")};
    engine.setScreenSize(1440, 900);
    ASSERT_EQ(engine.init(), 0);
    const Map::Point home{88589776, 581288064};
    engine.waypoints()->addPoint(u"Home of the museum", home, u"", 0);
    auto* map = dynamic_cast<Screens::fdPageMap*>(engine.ui()->findPage("pageMap"));
    ASSERT_NE(map, nullptr);
    const char* shots = std::getenv("MIREL_PAGE_SHOTS");
    // The waypoint group's caption colours of the demo styles.
    for (const auto& [day, text] : {std::pair{true, 0x801040u}, std::pair{false, 0xF090C0u}}) {
        engine.mapRenderer()->setDayMode(day);
        engine.mapRenderer()->selectStyles(day);
        for (const auto& [width, height] : {std::pair{800, 480}, std::pair{1280, 720}}) {
            SCOPED_TRACE(testing::Message() << (day ? "day " : "night ") << width << " x " << height);
            engine.onResize(width, height);
            engine.ui()->activatePage(map);
            // The flat map at street level around the point.
            Screens::FoundObject found;
            found.point = home;
            map->showPoint(home, false);
            engine.camera().setMode(0);
            engine.camera().setScale(Screens::foundObjectScale(found, 1000.0f));
            engine.mapRenderer()->setDayMode(day);
            engine.ui()->applyPendingChanges();
            engine.drawNow();
            // A second point right on a caption of the map: its name keeps
            // clear of every caption (drawn across a street's, neither read).
            MapDrawing::CaptionLayer* captions = engine.mapRenderer()->services().captions;
            ASSERT_TRUE(captions && !captions->drawnBoxes().empty());
            const Render::OrientedBox onCaption = captions->drawnBoxes().front();
            Map::Point under;
            ASSERT_TRUE(engine.camera().screenToMap(xe::Point{static_cast<std::int32_t>(onCaption.centreX),
                                                              static_cast<std::int32_t>(onCaption.centreY)},
                                                    under));
            const std::int32_t second = engine.waypoints()->addPoint(u"On a caption", under, u"", 0);
            ASSERT_GE(second, 0);
            map->invalidate(1);
            engine.drawNow();
            SDL_Surface* screen = engine.screen();
            std::size_t lettered = 0, onCaptions = 0;
            SDL_LockSurface(screen);
            for (int y = 0; y < screen->h; ++y)
                for (int x = 0; x < screen->w; ++x) {
                    const Uint32 pixel = static_cast<const Uint32*>(screen->pixels)[y * screen->pitch / 4 + x];
                    Uint8 r, g, b;
                    SDL_GetRGB(pixel, screen->format, &r, &g, &b);
                    if ((Uint32(r) << 16 | Uint32(g) << 8 | b) != text) continue;
                    ++lettered;
                    const Render::OrientedBox dot{float(x) + 0.5f, float(y) + 0.5f, 1.0f, 0.0f, 0.5f, 0.5f};
                    for (const Render::OrientedBox& box : captions->drawnBoxes())
                        onCaptions += box.overlaps(dot);
                }
            SDL_UnlockSurface(screen);
            EXPECT_GT(lettered, 20u);
            EXPECT_EQ(onCaptions, 0u);
            if (shots)
                SDL_SaveBMP(screen, (std::string(shots) + "/pageMap_waypoint_" + (day ? "day_" : "night_") +
                                     std::to_string(width) + "x" + std::to_string(height) + ".bmp")
                                        .c_str());
            engine.waypoints()->deletePoint(static_cast<std::size_t>(second));
        }
    }
    engine.shutdown();
}
