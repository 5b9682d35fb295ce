// Every message a message box can show, drawn in the demo design's box at
// 800 x 480 and at 1280 x 720: each line lies within the text label, the
// lines together fit its height, and no word is lost on the way.
#include "ui/MessageBoxText.h"

#include "ui/DesignDescription.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/TextRenderers.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdPage.h"

#include "core/FileSystem.h"
#include "core/TempSurface.h"
#include "core/ValueFormat.h"
#include "core/VirtualFs.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "tools/DemoImages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace Ui;

namespace {

// The texts of data/messages.xml, and those the pages build from them.
std::vector<std::u16string> allMessages(const std::string& messagesXml) {
    Messages messages;
    messages.loadText(messagesXml);
    std::vector<std::u16string> texts;
    const std::regex name("<message name=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(messagesXml.begin(), messagesXml.end(), name);
         it != std::sregex_iterator(); ++it)
        texts.push_back(messages.text((*it)[1].str()));
    EXPECT_GT(texts.size(), 100u);
    // A route file's name follows the load and delete errors directly.
    const std::u16string longFile = u"routes/Saturday trip to the seaside and back home.kvp";
    texts.push_back(messages.text("paths_path_load_err") + longFile);
    texts.push_back(messages.text("paths_path_del_err") + longFile);
    texts.push_back(messages.text("paths_path_load_err") +
                    u"routes/averyveryverylongroutefilenamewithoutspaces.kvp");
    // The map's "Where", in each position style, at the widest values.
    for (int style = 0; style < 4; ++style)
        texts.push_back(Core::format(u"%s = %s\n\n%s = %s", messages.text("latitude"),
                                     Core::formatLatitude(style, -89.999f), messages.text("longitude"),
                                     Core::formatLongitude(style, -179.999f)));
    // The map's notice of a chosen atlas that is missing, as the engine
    // makes it: the folder chosen, then the atlas shown instead.
    for (const auto& [chosen, shown] : {std::pair{u"maps/demo", u"demo.away"},
                                        std::pair{u"maps/Provence-Alpes-C\u00F4te d'Azur", u"monaco"}})
        texts.push_back(messages.text("atlas_missing_err") + u"\n" + chosen + u"\n" +
                        messages.text("atlas_shown_instead") + u"\n" + shown);
    texts.push_back(u"Internal error!");
    texts.push_back(u"The traffic service opens in a web browser, and none could be started.");
    return texts;
}

std::u16string withoutBreaks(std::u16string text) {
    std::erase_if(text, [](char16_t c) { return c == u'\n' || c == u' '; });
    return text;
}

void checkAtSize(int width, int height) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    TestSupport::TempDir dir;
    std::filesystem::copy(MIREL_DATA_DIR, dir.path(), std::filesystem::copy_options::recursive);
    ASSERT_FALSE(::DemoData::writeImages(dir.path()).empty());
    for (const char* font : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
        std::filesystem::copy_file(std::string(MIREL_FONT_DIR) + "/" + font, dir / font);
    struct Engine : UiTest::FakeEngine {
        const DesignDescription* design() const override { return described; }
        const DesignDescription* described = nullptr;
    } engine;
    engine.dataFolder = FileSystem::toWide(dir.path().string() + "/");
    FileSystem::VirtualFs files(engine.dataFolder);
    UiTest::SdlScreen sdl(32, width, height);
    DesignDescription design;
    KeyboardLayouts layouts;
    ASSERT_TRUE(readTheme(TestSupport::readAll(dir / "skin/design800x480.xml"), true,
                          engine.dataFolder + u"skin/kb_layouts.xml", design, layouts));
    engine.described = &design;
    fdInterface ui(&engine, &files);
    ASSERT_TRUE(initFonts(design, ui));
    ASSERT_TRUE(loadCursors(design, ui));
    ASSERT_TRUE(loadMaterials(design, ui));
    auto* page = new fdPage(&ui, "menuMain", nullptr);
    ASSERT_TRUE(buildPage(*page, design));
    TemplateWindow* box = createTemplateWindow(*page, "mb_ok", "mb");
    ASSERT_NE(box, nullptr);
    auto* label = dynamic_cast<fdLabel*>(box->findChild("msg_text"));
    ASSERT_NE(label, nullptr);
    const WindowRect r = label->rect();
    const WindowRect b = box->rect();
    ASSERT_TRUE(b.x >= 0 && b.y >= 0 && b.x + b.w <= width && b.y + b.h <= height);
    ASSERT_TRUE(r.x >= b.x && r.y >= b.y && r.x + r.w <= b.x + b.w && r.y + r.h <= b.y + b.h);
    TempSurface scratch(32, sdl.screen->format->Rmask, sdl.screen->format->Gmask, sdl.screen->format->Bmask,
                        0);

    for (const std::u16string& text : allMessages(TestSupport::readAll(dir / "messages.xml"))) {
        SCOPED_TRACE(FileSystem::toUtf8(text));
        ASSERT_TRUE(setMessageText(*box, text));
        EXPECT_EQ(withoutBreaks(label->text()), withoutBreaks(text));
        int total = 0;
        for (const std::u16string& line : label->lines()) {
            const Render::TextSize size = measureText(*label, line.empty() ? u" " : line);
            EXPECT_LE(size.width, r.w) << "clipped sideways: " << FileSystem::toUtf8(line);
            total += size.height;
        }
        EXPECT_LE(total, r.h) << "clipped at the top and bottom: " << label->lines().size() << " lines";
        ui.activatePage(page);
        ui.draw(sdl.screen, scratch, true);
    }
}

} // namespace

TEST(MessageBoxText, EveryMessageFitsTheBoxAtBothSizes) {
    TestSupport::CaptureLogger log(Log::Critical);
    checkAtSize(800, 480);
    checkAtSize(1280, 720);
    for (const std::string& line : log.lines())
        ADD_FAILURE() << line;
}

// Every character 10 pixels wide, lines 20 high.
struct MonoFont : Render::Font {
    std::int32_t style() const override { return 0; }
    void setStyle(std::int32_t) override {}
    bool textSize(Render::TextSize& out, const char16_t* begin, const char16_t* end) override {
        out = {std::int32_t(end - begin) * 10, 20};
        return true;
    }
    void drawText(SDL_Surface*, std::int32_t, std::int32_t, std::uint32_t, const char16_t*,
                  const char16_t*) override {}
    void drawTextSolid(SDL_Surface*, std::int32_t, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t,
                       const char16_t*, const char16_t*) override {}
};

// Lines break between words at the last word that fits; a word wider than
// the width alone is broken between its characters; the caller's own line
// feeds stay, empty lines among them.
TEST(MessageBoxText, WrapsBetweenWordsAndKeepsLineFeeds) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    MonoFont font;
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* text = new fdLabel(page, "msg_text", true, &ui);
    text->setFont(&font);
    const struct {
        std::u16string text;
        int width;
        std::u16string wrapped;
    } cases[] = {
        {u"", 50, u""},
        {u"abc de", 60, u"abc de"},    // exactly 60 wide
        {u"abc def", 60, u"abc\ndef"}, // one more would be 70
        {u"ab cd ef gh", 50, u"ab cd\nef gh"},
        {u"a  b", 50, u"a b"}, // runs of spaces fold into one
        {u"abcdefghij", 40, u"abcd\nefgh\nij"},
        {u"x abcdefgh y", 40, u"x\nabcd\nefgh\ny"},
        {u"one\n\ntwo three", 50, u"one\n\ntwo\nthree"},
        {u"wide", 5, u"w\ni\nd\ne"}, // one character per line at least
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileSystem::toUtf8(wrapText(*text, c.text, c.width)), FileSystem::toUtf8(c.wrapped))
            << FileSystem::toUtf8(c.text) << " in " << c.width;

    // The box's label gets the text wrapped to its own width; a one-line
    // label keeps it whole.
    text->placeInParent(0, 0, 50, 100);
    ASSERT_TRUE(setMessageText(*page, u"ab cd ef gh"));
    EXPECT_EQ(text->lines(), (std::vector<std::u16string>{u"ab cd", u"ef gh"}));
    text->setLinesMode(1);
    ASSERT_TRUE(setMessageText(*page, u"ab cd ef gh"));
    EXPECT_EQ(text->text(), u"ab cd ef gh");
    page->removeChild(text);
    delete text;
    EXPECT_FALSE(setMessageText(*page, u"x"));
}
