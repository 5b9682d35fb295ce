// Widgets built from a design stand where the design puts them, at 800 x 480
// and doubled, and a button's cursor icon is drawn at its hot spot.

#include "ui/DesignDescription.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include "core/FileSystem.h"
#include "core/TempSurface.h"
#include "core/VirtualFs.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace Ui;

namespace {

std::string design(bool big) {
    return std::string("<design version=\"1.30\" system_font=\"sys\">"
                       "<fonts><font name=\"f\" src=\"fonts/DejaVuSans.ttf\" size=\"20\"/></fonts>"
                       "<extras><captions><font name=\"f\"/><tables stock_len=\"3\" alpha=\"128\" bgcolor=\"#102030\"/></captions>"
                       "<display><mode width=\"800\" height=\"480\" big=\"") +
           (big ? "1" : "0") +
           "\"/></display><pushes><scale_push delta=\"0.5\"/></pushes></extras>"
           "<cursor name=\"arrow\"><image source=\"icons/c.bmp\" x=\"1\" y=\"3\"/></cursor>"
           "<page name=\"main\" font=\"f\">"
           "<static name=\"st\"><geometry x=\"1\" y=\"2\" w=\"3\" h=\"4\"/></static>"
           "<label name=\"lb\"><geometry x=\"5\" y=\"6\" w=\"7\" h=\"8\"/></label>"
           "<multi_static name=\"ms\"><geometry x=\"11\" y=\"12\" w=\"13\" h=\"14\"/></multi_static>"
           "<button name=\"bt\" icon=\"arrow\"><geometry x=\"100\" y=\"50\" w=\"40\" h=\"30\"/></button>"
           "<checked_button name=\"cb\"><geometry x=\"21\" y=\"22\" w=\"23\" h=\"24\"/></checked_button>"
           "<rotation_box name=\"rb\"><geometry x=\"31\" y=\"32\" w=\"33\" h=\"34\"/></rotation_box>"
           "<slider name=\"sl\"><geometry x=\"41\" y=\"42\" w=\"43\" h=\"44\"/></slider>"
           "<progress_bar name=\"pb\"><geometry x=\"51\" y=\"52\" w=\"53\" h=\"54\"/></progress_bar>"
           "</page></design>";
}

TEST(DesignPlacement, EveryKindStandsAtItsDesignGeometry) {
    UiTest::SdlScreen sdl;
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    dir.write("icons/c.bmp", TestSupport::solidBmp(4, 4, 32, 0xFFFF0000));
    FileSystem::VirtualFs files(FileSystem::toWide(dir.path().string() + "/"));
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big" : "800 x 480");
        const int k = big ? 2 : 1;
        DesignDescription d;
        ASSERT_TRUE(readDesign(design(big), true, d)) << (log.lines().empty() ? "" : log.lines().back());
        UiTest::FakeEngine engine;
        engine.big = big;
        engine.width = 800 * k;
        engine.height = 480 * k;
        fdInterface ui(&engine, &files);
        ASSERT_TRUE(loadCursors(d, ui)) << (log.lines().empty() ? "" : log.lines().back());
        const ColourPair colours{0xFFFFFFFFu, 0xFF405060u}; // white by day: the icon keeps its colours
        auto* page = new fdPage(&ui, "main", nullptr);
        ui.setTextColor(colours); // after the page stood: it takes them when built
        ASSERT_TRUE(buildPage(*page, d));
        EXPECT_EQ(page->textColors(), colours) << "a page with a font writes in the interface's colours";
        const std::pair<const char*, WindowRect> rows[] = {
            {"st", {1, 2, 3, 4}},       {"lb", {5, 6, 7, 8}},       {"ms", {11, 12, 13, 14}},
            {"bt", {100, 50, 40, 30}},  {"cb", {21, 22, 23, 24}},   {"rb", {31, 32, 33, 34}},
            {"sl", {41, 42, 43, 44}},   {"pb", {51, 52, 53, 54}},
        };
        for (const auto& [name, r] : rows) {
            const fdWindowBase* w = page->widget(name);
            ASSERT_NE(w, nullptr) << name;
            const WindowRect doubled{std::int16_t(r.x * k), std::int16_t(r.y * k), std::uint16_t(r.w * k),
                                     std::uint16_t(r.h * k)};
            EXPECT_EQ(w->designRect(), doubled) << name;
            EXPECT_EQ(w->rect(), doubled) << name;
            EXPECT_EQ(w->textColors(), colours) << name;
        }

        // The icon's hot spot (1, 3) lies on the button's centre.
        auto* button = dynamic_cast<fdButtonX*>(page->widget("bt"));
        ASSERT_NE(button, nullptr);
        SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 800 * k, 480 * k, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
        button->draw(target, scratch, true);
        const int cx = (100 + 20) * k, cy = (50 + 15) * k;
        for (const auto& [dx, dy] : {std::pair{-1, -3}, {2, 0}, {-1, 0}, {2, -3}})
            EXPECT_EQ(UiTest::rgbAt(target, cx + dx, cy + dy), 0xFF0000u) << dx << "," << dy;
        for (const auto& [dx, dy] : {std::pair{-2, 0}, {3, 0}, {0, -4}, {0, 1}})
            EXPECT_EQ(UiTest::rgbAt(target, cx + dx, cy + dy), 0u) << dx << "," << dy;
        SDL_FreeSurface(target);
    }
}

// A button that names a description label in its behaviour shows that
// label on a long press, and the label gets the behaviour that hides it on
// a tap; a button without one has no long-press widget.
TEST(DesignPlacement, AButtonsDescriptionLabelIsLinkedAtBuild) {
    TestSupport::CaptureLogger log(Log::Critical);
    DesignDescription d;
    std::string text = design(false);
    text.insert(text.find("</page>"), "<static name=\"tip\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\"/></static>"
                                      "<button name=\"with\"><geometry x=\"0\" y=\"30\" w=\"40\" h=\"30\"/>"
                                      "<behavior desc_label=\"tip\"/></button>"
                                      "<button name=\"without\"><geometry x=\"50\" y=\"30\" w=\"40\" h=\"30\"/></button>");
    ASSERT_TRUE(readDesign(text, true, d)) << (log.lines().empty() ? "" : log.lines().back());
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "main", nullptr);
    ASSERT_TRUE(buildPage(*page, d));
    auto* with = dynamic_cast<fdButtonX*>(page->widget("with"));
    auto* without = dynamic_cast<fdButtonX*>(page->widget("without"));
    auto* tip = dynamic_cast<fdStatic*>(page->widget("tip"));
    ASSERT_TRUE(with && without && tip);
    EXPECT_EQ(with->longPressWidget(), tip);
    ASSERT_NE(tip->behavior(), nullptr);
    EXPECT_EQ(tip->behavior()->kind(), 4);
    EXPECT_EQ(without->longPressWidget(), nullptr);
    EXPECT_FALSE(log.contains("is used for another purpose"));
}

// A static that names a checked button toggles it on a tap; one that names
// none has no behaviour.
TEST(DesignPlacement, AStaticNamingACheckedButtonTogglesIt) {
    TestSupport::CaptureLogger log(Log::Critical);
    DesignDescription d;
    std::string text = design(false);
    text.insert(text.find("</page>"), "<static name=\"toggler\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\"/>"
                                      "<behavior checked_button=\"cb\"/></static>"
                                      "<static name=\"plain\"><geometry x=\"0\" y=\"30\" w=\"50\" h=\"20\"/></static>");
    ASSERT_TRUE(readDesign(text, true, d)) << (log.lines().empty() ? "" : log.lines().back());
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "main", nullptr);
    ASSERT_TRUE(buildPage(*page, d));
    auto* toggler = dynamic_cast<fdStatic*>(page->widget("toggler"));
    auto* plain = dynamic_cast<fdStatic*>(page->widget("plain"));
    auto* cb = dynamic_cast<fdCheckedButton*>(page->widget("cb"));
    ASSERT_TRUE(toggler && plain && cb);
    EXPECT_EQ(plain->behavior(), nullptr);
    ASSERT_NE(toggler->behavior(), nullptr);
    EXPECT_EQ(toggler->behavior()->kind(), 3);
    const bool before = cb->checked();
    for (bool expected : {!before, before}) {
        page->mouseButtonDown(1, 5, 5);
        page->mouseButtonUp(1, 5, 5);
        EXPECT_EQ(cb->checked(), expected);
    }
}

TEST(DesignPlacement, AWindowWithoutAParentStandsAtItsOwnPlace) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    fdStatic lone(nullptr, "lone", true, &ui); // attached to nothing
    lone.placeInParent(7, 9, 30, 20);
    EXPECT_EQ(lone.designRect(), (WindowRect{7, 9, 30, 20}));
    // The interface spans the design, doubled when big; without an engine
    // it has no extent.
    engine.big = true;
    EXPECT_EQ(fdInterface(&engine, nullptr).designRect(), (WindowRect{0, 0, 1600, 960}));
    EXPECT_EQ(fdInterface(nullptr, nullptr).designRect(), (WindowRect{0, 0, 0, 0}));
}

} // namespace
