// The demo data as shipped: the designs list, the 800 x 480 design (also
// doubled for 1600 x 960), its buttons and keyboard files, the messages and
// the pictures the build draws, loaded and built the way start-up does.
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/DesignsList.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tools/DemoImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>

using namespace Ui;

namespace {

struct ShippedData {
    ShippedData() {
        std::filesystem::copy(MIREL_DATA_DIR, dir.path(), std::filesystem::copy_options::recursive);
        EXPECT_FALSE(::DemoData::writeImages(dir.path()).empty());
        for (const char* font : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
            std::filesystem::copy_file(std::string(MIREL_FONT_DIR) + "/" + font, dir / font);
        engine.dataFolder = FileSystem::toWide(dir.path().string() + "/");
        files = std::make_unique<FileSystem::VirtualFs>(engine.dataFolder);
    }
    std::string designText(bool big) const {
        std::string text = TestSupport::readAll(dir / "skin/design800x480.xml");
        if (big)
            text.replace(text.find("big=\"0\""), 7, "big=\"1\"");
        return text;
    }
    TestSupport::TempDir dir;
    UiTest::FakeEngine engine;
    std::unique_ptr<FileSystem::VirtualFs> files;
};

// Builds the pages of the design on a screen of the design's size and
// draws the main menu.
void buildAndDraw(ShippedData& data, bool big) {
    UiTest::SdlScreen sdl(32, big ? 1600 : 800, big ? 960 : 480);
    data.engine.big = big;
    DesignDescription design;
    KeyboardLayouts layouts;
    ASSERT_TRUE(readTheme(data.designText(big), true, data.engine.dataFolder + u"skin/kb_layouts.xml", design, layouts));
    // The search keyboard (letters and digits) and the editing one.
    EXPECT_EQ(layouts.layoutNames(false), (std::vector<std::string>{"Letters", "Letters and digits"}));
    fdInterface ui(&data.engine, data.files.get());
    ASSERT_TRUE(initFonts(design, ui));
    ASSERT_TRUE(loadCursors(design, ui));
    ASSERT_TRUE(loadMaterials(design, ui));
    ui.setSystemFont(ui.fontByName(design.systemFont));
    for (const char* name : {"splash", "menuMain"}) {
        auto* page = new fdPage(&ui, name, nullptr);
        ASSERT_TRUE(buildPage(*page, design)) << name;
    }
    TemplateWindow keyboard(*design.templates.at("kb_letters"), ui.findPage("menuMain"), "kb", &ui, nullptr);
    keyboard.relayout();
    EXPECT_NE(keyboard.findChild("47"), nullptr);
    const int k = big ? 2 : 1;
    EXPECT_EQ(keyboard.findChild("0")->rect(), (WindowRect{std::int16_t(3 * k), std::int16_t(240 * k), std::uint16_t(61 * k), std::uint16_t(54 * k)}));
    ui.findPage("menuMain")->removeChild(&keyboard);
    EXPECT_EQ(ui.findPage("menuMain")->widget("pageMap")->rect(),
              (WindowRect{std::int16_t(16 * k), std::int16_t(80 * k), std::uint16_t(248 * k), std::uint16_t(178 * k)}));

    TempSurface scratch(32, sdl.screen->format->Rmask, sdl.screen->format->Gmask, sdl.screen->format->Bmask, 0);
    for (const char* name : {"splash", "menuMain"}) {
        ui.activatePage(ui.findPage(name));
        ui.draw(sdl.screen, scratch, true);
        if (const char* shots = std::getenv("MIREL_SKIN_SHOTS"))
            SDL_SaveBMP(sdl.screen, (std::string(shots) + "/" + name + (big ? "_big" : "") + ".bmp").c_str());
    }
    // The tile of "Map" shows the raised surface; its accent bar lies
    // along the top.
    EXPECT_EQ(UiTest::rgbAt(sdl.screen, 30 * k, 100 * k), 0x2C3A42u);
    EXPECT_EQ(UiTest::rgbAt(sdl.screen, 400 * k, 63 * k), 0x29B6F6u);
}

} // namespace

TEST(DemoSkin, ChosenLoadedAndBuiltAtBothSizes) {
    ShippedData data;
    TestSupport::CaptureLogger log(Log::Critical);
    Core::Config config;
    ButtonBindings bindings(config.root());
    ASSERT_TRUE(chooseDesign(config.root(), data.engine.dataFolder, 1600, 960, bindings));
    EXPECT_EQ(bindings.designFile, u"skin/design800x480.xml");
    EXPECT_EQ(bindings.actions().size(), 3u);

    Messages messages;
    messages.loadText(TestSupport::readAll(data.dir / "messages.xml"));
    EXPECT_EQ(messages.text("kilo_meter"), u"km");

    buildAndDraw(data, false);
    buildAndDraw(data, true);
    for (const std::string& line : log.lines())
        ADD_FAILURE() << line;
}

// The shipped design on a screen of the given size, in an interface that
// knows it (the keyboards and message boxes a page opens read it), with the
// main menu built.
struct ShippedMenu {
    ShippedMenu(int width, int height) : sdl(32, width, height) { engine.dataFolder = data.engine.dataFolder; }
    void build() {
        ASSERT_TRUE(readTheme(data.designText(false), true, engine.dataFolder + u"skin/kb_layouts.xml", design,
                              layouts));
        engine.described = &design;
        ui = std::make_unique<fdInterface>(&engine, data.files.get());
        ASSERT_TRUE(initFonts(design, *ui));
        ASSERT_TRUE(loadCursors(design, *ui));
        ASSERT_TRUE(loadMaterials(design, *ui));
        page = new fdPage(ui.get(), "menuMain", nullptr);
        ASSERT_TRUE(buildPage(*page, design));
    }
    struct Engine : UiTest::FakeEngine {
        const DesignDescription* design() const override { return described; }
        const DesignDescription* described = nullptr;
    };
    ShippedData data;
    TestSupport::CaptureLogger log{Log::Critical};
    Engine engine;
    UiTest::SdlScreen sdl;
    DesignDescription design;
    KeyboardLayouts layouts;
    std::unique_ptr<fdInterface> ui;
    fdPage* page = nullptr;
};

// The case key of every shipped layout names its case by the first three
// letters of its alphabet ("ЁАБ" was the code order of the Russian keys).
TEST(DemoSkin, TheCaseKeyOfEveryShippedLayoutReadsItsAlphabet) {
    ShippedMenu menu(800, 480);
    ASSERT_NO_FATAL_FAILURE(menu.build());
    const std::map<std::string, std::array<std::string, 2>> names = {{"English", {"abc", "ABC"}},
                                                                     {"Russian", {"абв", "АБВ"}}};
    std::size_t seen = 0;
    for (const std::string& group : menu.layouts.layoutNames(true))
        for (const KeyboardLanguage& language : menu.layouts.languages()) {
            SCOPED_TRACE(group + " " + language.name);
            PageKeyboardPtr keyboard = openPageKeyboard(*menu.page, menu.layouts, group, language.name);
            ASSERT_NE(keyboard, nullptr);
            const auto caseKey =
                std::find_if(keyboard->keys().begin(), keyboard->keys().end(),
                             [](const Keyboard::Key& key) { return key.caption == u"[cas]"; });
            ASSERT_NE(caseKey, keyboard->keys().end());
            ASSERT_TRUE(names.contains(language.name)) << "a shipped language the table does not know";
            ++seen;
            for (const int upper : {0, 1}) {
                ASSERT_TRUE(keyboard->setCase(upper));
                EXPECT_EQ(Core::wideToUtf8(caseKey->widget->text()), names.at(language.name)[upper]);
            }
        }
    EXPECT_EQ(seen, 4u) << "two grids with letters, in two languages";
    menu.ui->applyPendingChanges();
    for (const std::string& line : menu.log.lines())
        ADD_FAILURE() << line;
}

// A window larger than the design (1280 x 720 for 800 x 480): the keyboard
// and the message box a page opens sit where the template's anchors put
// them, as the page's own widgets do.
TEST(DemoSkin, KeyboardAndMessageBoxFollowAPageLargerThanTheDesign) {
    ShippedMenu menu(1280, 720);
    ASSERT_NO_FATAL_FAILURE(menu.build());
    fdPage* page = menu.page;
    KeyboardLayouts& layouts = menu.layouts;
    fdInterface& ui = *menu.ui;
    ASSERT_EQ(page->rect(), (WindowRect{0, 0, 1280, 720}));

    // Bottom-left and bottom-right anchors: along the bottom, full width.
    PageKeyboardPtr keyboard = openPageKeyboard(*page, layouts, "Letters", "English");
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->rect(), (WindowRect{0, 720 - 248, 1280, 248}));
    // Its keys ("dd": proportional) spread over the wider grid.
    EXPECT_EQ(keyboard->findChild("0")->rect(), (WindowRect{5, 720 - 248 + 8, 97, 54}));

    // The message box dims the whole page; centre anchors keep the box in
    // the middle.
    TemplateWindow* box = createTemplateWindow(*page, "mb_ok", "ok_dialog");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->rect(), (WindowRect{0, 0, 1280, 720}));
    EXPECT_EQ(box->findChild("mb_dim")->rect(), (WindowRect{0, 0, 1280, 720}));
    EXPECT_EQ(box->findChild("mb_bg")->rect(), (WindowRect{150 + 240, 90 + 120, 500, 300}));
    EXPECT_EQ(box->findChild("msg_text")->rect().x, 150 + 240 + 24);

    // Back to the design's size: both follow the page.
    ui.setRect(0, 0, 800, 480);
    EXPECT_EQ(keyboard->rect(), (WindowRect{0, 232, 800, 248}));
    EXPECT_EQ(box->findChild("mb_bg")->rect(), (WindowRect{150, 90, 500, 300}));
    keyboard.reset();
    for (const std::string& line : menu.log.lines())
        ADD_FAILURE() << line;
}
