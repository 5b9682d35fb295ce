// The main menu's tiles: the map and GPS tiles speak their click sounds
// when menu sounds are on, and every tile opens its page.

#include "screens/fdMainMenuPage.h"

#include "tests/support/CaptureLogger.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SoundPlayer.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

using namespace Screens;

namespace {

struct Sounds : Ui::SoundPlayer {
    bool on = true;
    std::vector<int> played;
    bool menuSoundsOn() const override { return on; }
    bool play(int priority, const std::vector<int>& ids) override {
        EXPECT_EQ(priority, 1);
        played.insert(played.end(), ids.begin(), ids.end());
        return true;
    }
};

// A page that counts as built, so that the menu opens it.
struct BuiltPage : Ui::fdPage {
    BuiltPage(Ui::fdInterface* ui, const char* name) : fdPage(ui, name, nullptr) { build(Ui::PageDescription{}); }
};

TEST(MainMenuSounds, TilesSpeakAndOpenTheirPages) {
    const struct {
        const char* tile;
        const char* page;
        std::vector<int> sounds;
    } rows[] = {
        {"pageMap", "pageMap", {83}}, {"pageMap2", "pageMap", {83}}, {"pageGPS", "pageGPS", {84}},
        {"menuFind", "menuFind", {}}, {"btnSetup", "pageSettingsMain", {}},
    };
    for (const bool on : {true, false})
        for (const auto& r : rows) {
            TestSupport::CaptureLogger quiet;
            UiTest::FakeEngine engine;
            Ui::fdInterface ui(&engine, nullptr);
            Sounds sounds;
            sounds.on = on;
            auto* menu = new fdMainMenuPage(&ui, &sounds);
            for (const char* name : {"pageMap", "pageGPS", "menuFind", "pageSettingsMain"})
                new BuiltPage(&ui, name);
            ui.activatePage(menu);
            menu->childClicked(r.tile);
            EXPECT_EQ(sounds.played, on ? r.sounds : std::vector<int>{}) << r.tile;
            ASSERT_NE(ui.activePage(), nullptr);
            EXPECT_EQ(ui.activePage()->name(), r.page) << r.tile;
        }
}

// A design without the notice label gets one: its text, as wide as the text
// (240 by 16 pixels without a font) and centred 12 pixels above the bottom.
TEST(MainMenu, ADesignWithoutTheNoticeGetsItCentredAtTheBottom) {
    TestSupport::CaptureLogger quiet;
    UiTest::FakeEngine engine;
    Ui::fdInterface ui(&engine, nullptr);
    auto* menu = new fdMainMenuPage(&ui, nullptr);
    menu->setDesignRect({0, 0, 800, 480});
    menu->setRect(0, 0, 800, 480);
    menu->build(Ui::PageDescription{});
    auto* label = dynamic_cast<Ui::fdStatic*>(menu->findChild("copyright"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), fdMainMenuPage::notice());
    const Ui::WindowRect at = label->rect();
    EXPECT_GE(at.w, 240);
    EXPECT_GE(at.h, 16);
    EXPECT_EQ(at.x + at.w / 2, 400);
    EXPECT_EQ(at.y + at.h, 480 - 12);
}

} // namespace
