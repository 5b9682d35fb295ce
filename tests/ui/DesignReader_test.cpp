#include "ui/DesignDescription.h"
#include "ui/DesignsList.h"
#include "ui/KeyboardLayouts.h"
#include "ui/WidgetCreators.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdList.h"

#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <typeinfo>

using namespace Ui;

namespace {

std::string design(const std::string& version = "1.30", const std::string& mode = "width=\"800\" height=\"480\"",
                   const std::string& extra = "") {
    return "<design version=\"" + version + "\" system_font=\"sys\">"
           "<fonts><font name=\"f\" src=\"fonts/DejaVuSans.ttf\" size=\"20\"/></fonts>"
           "<extras><captions><font name=\"f\"/><tables stock_len=\"3\" alpha=\"128\" bgcolor=\"#102030\"/></captions>"
           "<display><mode " + mode + "/></display><pushes><scale_push delta=\"0.5\"/></pushes></extras>"
           "<cursor name=\"arrow\"><image source=\"a.bmp\" x=\"1\" y=\"2\"/></cursor>"
           "<cursor><image source=\"nameless.bmp\" x=\"1\" y=\"2\"/></cursor>"
           "<material name=\"panel\"><image source=\"p.bmp\" l=\"4\" r=\"4\" horz_tile=\"1\"/></material>"
           "<template name=\"row\"><button name=\"early\"><geometry x=\"1\" y=\"2\" w=\"3\" h=\"4\"/></button>"
           "<rect x=\"0\" y=\"0\" w=\"200\" h=\"40\"/><anchors lt_anchor=\"tl\" rb_anchor=\"br\"/>"
           "<static name=\"text\"><geometry x=\"0\" y=\"0\" w=\"200\" h=\"40\"/></static></template>"
           "<template name=\"row\"><rect x=\"0\" y=\"0\" w=\"200\" h=\"50\"/>"
           "<static name=\"text\"><geometry x=\"0\" y=\"0\" w=\"200\" h=\"50\"/></static></template>"
           "<page name=\"main\" font=\"f\">"
           "<custom name=\"c\" schema=\"s\"><text text=\"hi\"/></custom>"
           "<static name=\"st\"><geometry x=\"10\" y=\"20\" w=\"30\" h=\"40\" rb_anchor=\"br\"/></static>"
           "<label name=\"lb\" caption=\"Hello\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\"/>"
           "<behavior sliding=\"1\"/></label>"
           "<button name=\"bt\" icon=\"nowhere\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\" shape=\"round\"/>"
           "<graphics/><graphics/><graphics/><graphics/><graphics/></button>"
           "<rotation_box name=\"rb\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"50\" sensitivity=\"25\"/></rotation_box>"
           "<checked_button name=\"cb\" group=\"g\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\"/></checked_button>"
           "<list name=\"ls\"><geometry x=\"0\" y=\"100\" w=\"200\" h=\"160\"/><graphics item=\"row\"/></list>"
           "<slider name=\"sl\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\" orientation=\"1\"/></slider>"
           "<multi_static name=\"ms\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\"/></multi_static>"
           "<progress_bar name=\"pb\"><geometry x=\"0\" y=\"0\" w=\"50\" h=\"20\"/></progress_bar>"
           "<unknown name=\"skipped\"/>" + extra +
           "</page></design>";
}

struct CustomPage : fdPage {
    using fdPage::fdPage;
    void createCustom(const CustomCreator& creator) override { customs.push_back(creator.schema); }
    std::vector<std::string> customs;
};

// Damaged copies of a valid text; every one must be read or refused
// without a crash (run under ASan and UBSan in CI).
template <class Read> void mutate(const std::string& valid, Read read) {
    TestSupport::Damage damage(20261207, {"<", ">", "/", "=", "\"", "'", " ", "|", "\\", "[", "]", "&", ";", "x", "0",
                                          "9", "-", "\xd0", "\xff"});
    for (int run = 0; run < 400; ++run)
        read(damage.apply(valid));
}

const char* const Layouts =
    "<kb_layouts>"
    "<group name=\"letters\"><config id=\"1\" name=\"big\" cols=\"9\" rows=\"1\"/>"
    "<config id=\"2\" name=\"letters\" cols=\"4\" rows=\"2\"/></group>"
    "<group name=\"words\"><config id=\"3\" name=\"words\" cols=\"3\" rows=\"1\"/></group>"
    "<language name=\"English\" short_name=\"EN\">"
    "<layout id=\"2\" case=\"0\"><row buttons=\"q|w||e|\"/><row buttons=\"a\\||b|[bsp]|\"/></layout>"
    "<layout id=\"2\" case=\"1\"><row buttons=\"Q|W||E|\"/><row buttons=\"A|B|\\\\|\"/></layout>"
    "<layout id=\"3\" case=\"2\"><row buttons=\"www|.com|\"/></layout></language>"
    "<language name=\"Russian\" short_name=\"RU\">"
    "<layout id=\"2\" case=\"2\"><row buttons=\"й|ц|у|к|\"/><row buttons=\"ф|ы|в|[spc]|\"/></layout></language>"
    "</kb_layouts>";

bool hasKbTemplate(const std::string& name) { return name == "kb_letters" || name == "kb_words"; }

} // namespace

TEST(DesignReader, VersionPassesAndDoubling) {
    TestSupport::CaptureLogger log;
    DesignDescription d;
    for (const char* bad : {"1.3", "1.30 ", "2.00"}) {
        EXPECT_FALSE(readDesign(design(bad), true, d)) << bad;
        EXPECT_TRUE(log.contains(std::string("Incompatible design version: ") + bad + " when 1.30 is required"));
    }
    EXPECT_FALSE(readDesign("<design system_font=\"x\"/>", true, d));
    EXPECT_TRUE(log.contains("Design version attribute not found"));

    ASSERT_TRUE(readDesign(design(), false, d));
    EXPECT_EQ(d.extras.width, 800);
    EXPECT_EQ(d.extras.backgroundColour, 0x302010u);
    EXPECT_FLOAT_EQ(d.extras.scalePushDelta, 0.5f);
    EXPECT_FLOAT_EQ(d.extras.rotationPushDelta, 1.2f);
    EXPECT_TRUE(d.templates.empty() && d.pages.empty() && d.cursors.empty()) << "the preview reads the extras only";

    ASSERT_TRUE(readDesign(design(), true, d));
    EXPECT_EQ(d.cursors.size(), 1u) << "a cursor without a name is dropped";
    EXPECT_EQ(d.materials.at(0).left, 4);
    EXPECT_TRUE(d.materials.at(0).horizontalTile);
    EXPECT_EQ(d.templates.at("row")->h, 50) << "the later template of a name wins";
    EXPECT_EQ(d.pages.at("main")->creators.size(), 10u) << "unknown elements are skipped";
    EXPECT_FALSE(d.extras.big);

    ASSERT_TRUE(readDesign(design("1.30", "width=\"800\" height=\"480\" big=\"2\""), true, d));
    EXPECT_FALSE(d.extras.big);
    ASSERT_TRUE(readDesign(design("1.30", "width=\"800\" height=\"480\" big=\"1\""), true, d));
    EXPECT_TRUE(d.extras.big);
    EXPECT_EQ(d.templates.at("row")->h, 100);
    EXPECT_EQ(d.fonts.at(0).size, 40);
    auto* st = dynamic_cast<IStaticCreator*>(d.pages.at("main")->creators.at(1).get());
    ASSERT_NE(st, nullptr);
    EXPECT_EQ((std::vector<int>{st->x, st->y, st->w, st->h}), (std::vector<int>{20, 40, 60, 80}));

    EXPECT_FALSE(readDesign(design("1.30", "height=\"480\""), true, d));
    EXPECT_TRUE(log.contains("Invalid design: missing width of display mode"));
    EXPECT_FALSE(readDesign(design("1.30", "width=\"8\" height=\"4\"", "<static name=\"bare\"/>"), true, d));
    EXPECT_TRUE(log.contains("Invalid design: missing geometry in static 'bare'"));
}

TEST(DesignReader, EveryElementKindMakesItsWidget) {
    TestSupport::CaptureLogger log;
    DesignDescription d;
    ASSERT_TRUE(readDesign(design(), true, d));
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new CustomPage(&ui, "main", nullptr);
    ASSERT_TRUE(buildPage(*page, d));
    EXPECT_EQ(page->customs, std::vector<std::string>{"s"});
    struct Row {
        const char* name;
        const std::type_info& type;
    };
    for (const Row& r : {Row{"st", typeid(fdStatic)}, Row{"lb", typeid(fdSmartLabel)}, Row{"bt", typeid(fdButtonX)},
                         Row{"rb", typeid(fdStatic)}, Row{"cb", typeid(fdCheckedButton)}, Row{"ls", typeid(fdList)},
                         Row{"sl", typeid(fdSlider)}, Row{"ms", typeid(fdMultiStatic)},
                         Row{"pb", typeid(fdProgressBar)}}) {
        fdWindowBase* w = page->widget(r.name);
        ASSERT_NE(w, nullptr) << r.name;
        EXPECT_EQ(typeid(*w), r.type) << r.name;
    }
    EXPECT_EQ(dynamic_cast<fdList*>(page->widget("ls"))->rowCount(), 3u) << "160 / 50";
    EXPECT_EQ(dynamic_cast<fdStatic*>(page->widget("rb"))->bgRenderer()->kind(), 3);
    EXPECT_FALSE(dynamic_cast<fdSlider*>(page->widget("sl"))->horizontal);
    auto* button = dynamic_cast<fdButtonX*>(page->widget("bt"));
    EXPECT_FALSE(button->hitTest(1, 1)) << "round";
    EXPECT_EQ(button->text(), u"") << "an unknown icon falls back to the caption";
    EXPECT_NE(dynamic_cast<fdCheckedButton*>(page->widget("cb"))->group(), nullptr);
}

TEST(DesignsList, ChoiceAndFormatErrors) {
    auto list = [](const std::string& sizes) {
        const std::string text = "<designs>" + sizes + "</designs>";
        DesignsList l;
        l.loadText(text);
        return l;
    };
    auto entry = [](int w, int h) {
        return "<design width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
               "\" design_file=\"d\" buttons_file=\"b\" kb_layouts_file=\"k\"/>";
    };
    TestSupport::CaptureLogger log;
    struct Row {
        std::string entries;
        int w, h, angle;
        int chosenW, chosenH, chosenAngle;
        const char* logged;
    };
    const Row rows[] = {
        {entry(800, 480) + entry(480, 272), 800, 480, 0, 800, 480, 0, nullptr},
        {entry(800, 480) + entry(480, 272), 1024, 600, 0, 800, 480, 0, "Design 800 x 480 was found for the screen 1024 x 600 (0)"},
        {entry(800, 480), 320, 240, 0, 0, 0, 0, "No design was found for the screen 320 x 240 (0)"},
        {entry(800, 480), 480, 800, 90, 800, 480, 90, nullptr},
        {entry(400, 300) + entry(300, 400), 800, 800, 0, 400, 300, 0, nullptr},
        {entry(480, 272) + entry(800, 480), 800, 480, 90, 800, 480, 0, nullptr},
        {entry(272, 480) + entry(800, 480), 1024, 600, 90, 800, 480, 0, "Design 800 x 480 was found for the screen 1024 x 600 (90)"},
        {entry(800, 480) + entry(480, 272), Ui::UnreportedScreenSide, Ui::UnreportedScreenSide, 0, 800, 480, 0,
         "Design 800 x 480 was found for a screen of unreported size (0)"},
    };
    for (const Row& r : rows) {
        const DesignsList l = list(r.entries);
        const DesignsList::Choice c = l.choose(r.w, r.h, r.angle);
        EXPECT_EQ(c.entry ? c.entry->width : 0, r.chosenW) << r.w << "x" << r.h;
        EXPECT_EQ(c.entry ? c.entry->height : 0, r.chosenH) << r.w << "x" << r.h;
        EXPECT_EQ(c.angle, r.chosenAngle) << r.w << "x" << r.h;
        if (r.logged) {
            EXPECT_TRUE(log.contains(r.logged)) << r.logged;
        }
    }
    struct Bad {
        std::string text;
        const char* message;
    };
    for (const Bad& b : {Bad{"<list/>", "Invalid designs list format"},
                         Bad{"<designs><design width=\"1\" height=\"1\" design_file=\"d\" buttons_file=\"b\"/></designs>",
                             "Invalid designs list format"},
                         Bad{"<designs>" + entry(800, 480) + entry(800, 480) + "</designs>", "Duplicates in designs list file"}}) {
        DesignsList l;
        try {
            l.loadText(b.text);
            ADD_FAILURE() << "accepted " << b.text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), b.message);
        }
    }
    EXPECT_TRUE(list("").entries().empty());
}

TEST(KeyboardLayouts, RowsGroupsCasesAndTemplates) {
    struct RowCase {
        std::u16string row;
        int columns;
        std::optional<std::vector<std::u16string>> captions;
        bool flagged;
    };
    const RowCase rows[] = {
        {u"q|w||e|", 4, std::vector<std::u16string>{u"q", u"w", u"", u"e"}, false},
        {u"a\\||b|", 4, std::vector<std::u16string>{u"a|", u"b"}, true},
        {u"\\\\|[spc]|", 4, std::vector<std::u16string>{u"\\", u"[spc]"}, false},
        {u"a\\b|", 4, std::nullopt, false},
        {u"a|b", 4, std::nullopt, false},
        {u"a|b|c|", 2, std::nullopt, false},
    };
    for (const RowCase& r : rows) {
        bool flagged = false;
        EXPECT_EQ(parseLayoutRow(r.row, r.columns, flagged), r.captions);
        EXPECT_EQ(flagged, r.flagged);
    }

    TestSupport::CaptureLogger log;
    KeyboardLayouts layouts;
    ASSERT_TRUE(layouts.loadText(Layouts, hasKbTemplate));
    EXPECT_EQ(layouts.group("letters")->templateName, "kb_letters") << "the first config whose template exists";
    EXPECT_EQ(layouts.group("letters")->columns, 4);
    EXPECT_EQ(layouts.layoutNames(true), (std::vector<std::string>{"letters", "words"}));
    EXPECT_EQ(layouts.layoutNames(false), (std::vector<std::string>{}));
    EXPECT_EQ(layouts.languageIndex("Russian"), 1);
    EXPECT_EQ(layouts.languageIndex("Greek"), -1);
    EXPECT_TRUE(log.contains("2 keyboard layouts loaded in"));

    const std::string original = Layouts;
    auto damaged = [&](const std::string& from, const std::string& to) {
        std::string text = original;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    for (const std::string& bad : {damaged("case=\"1\"", "case=\"2\""), damaged("case=\"1\"", "case=\"3\""),
                                   damaged("name=\"words\" cols", "name=\"phrases\" cols"),
                                   damaged("ф|ы|в|[spc]|", "ф|ы|в|[spc]|ж|"), damaged("id=\"3\" name", "id=\"2\" name"),
                                   damaged("<row buttons=\"www|.com|\"/>", "")}) {
        EXPECT_FALSE(layouts.loadText(bad, hasKbTemplate));
        EXPECT_TRUE(layouts.empty());
    }
    EXPECT_TRUE(log.contains("Invalid format of layout file"));
    EXPECT_FALSE(layouts.loadText("<kb_layouts>", hasKbTemplate));
    EXPECT_TRUE(log.contains("on parsing layout file"));
}

TEST(DesignFiles, MutatedInputNeverCrashes) {
    TestSupport::CaptureLogger log(Log::Critical);
    UiTest::FakeEngine engine;
    const std::string designs = "<designs><design width=\"800\" height=\"480\" design_file=\"d\" buttons_file=\"b\" "
                                "kb_layouts_file=\"k\"/></designs>";
    mutate(designs, [](const std::string& text) {
        DesignsList l;
        try {
            l.loadText(text);
            l.choose(800, 480, 90);
        } catch (const std::runtime_error&) {
        }
    });
    // Both sizes: a big design doubles every value it reads.
    for (const std::string& valid : {design(), design("1.30", "width=\"800\" height=\"480\" big=\"1\"")})
        mutate(valid, [&](const std::string& text) {
            DesignDescription d;
            if (!readDesign(text, true, d))
                return;
            fdInterface ui(&engine, nullptr);
            for (const auto& [name, page] : d.pages)
                (new CustomPage(&ui, name, nullptr))->build(*page);
        });
    mutate(Layouts, [](const std::string& text) {
        KeyboardLayouts l;
        l.loadText(text, hasKbTemplate);
    });
}

namespace {

std::string bareDesign(const std::string& mode, const std::string& body, const std::string& font = "10") {
    return "<design version=\"1.30\" system_font=\"f\"><fonts><font name=\"f\" src=\"f.ttf\" size=\"" + font +
           "\"/></fonts><extras><captions><font name=\"f\"/><tables stock_len=\"3\" alpha=\"1\" bgcolor=\"#000000\"/>"
           "</captions><display><mode width=\"800\" height=\"480\" " + mode + "/></display></extras>" + body +
           "</design>";
}

std::string templateOf(const std::string& name, const std::string& rect, const std::string& widgets = "") {
    return "<template name=\"" + name + "\"><rect " + rect + "/>" + widgets + "</template>";
}

std::string listOf(const std::string& name, const std::string& item, int h) {
    return "<list name=\"" + name + "\"><geometry x=\"0\" y=\"0\" w=\"100\" h=\"" + std::to_string(h) +
           "\"/><graphics item=\"" + item + "\"/></list>";
}

std::string staticOf(const std::string& geometry) {
    return "<page name=\"p\" font=\"f\"><static name=\"s\"><geometry " + geometry + "/></static></page>";
}

} // namespace

// Values that a 16-bit rectangle (or, doubled, a 32-bit integer) cannot
// hold are refused as a whole design, the way a missing value is.
TEST(DesignReader, PixelValuesOutOfRangeAreRefused) {
    TestSupport::CaptureLogger log;
    const std::string big = "big=\"1\"";
    struct Case {
        std::string mode, body, font;
        const char* refusal; // null: read
    };
    const std::string rect = "x=\"0\" y=\"0\" w=\"0\" h=\"0\"";
    for (const Case& c : std::vector<Case>{
             {big, templateOf("t", "x=\"1500000000\" y=\"0\" w=\"0\" h=\"0\""), "10",
              "Invalid design: x of template t out of range: 1500000000"},
             {"", templateOf("t", "x=\"1500000000\" y=\"0\" w=\"0\" h=\"0\""), "10",
              "Invalid design: x of template t out of range: 1500000000"},
             {big, templateOf("t", "x=\"-16383\" y=\"16383\" w=\"16383\" h=\"0\""), "10", nullptr},
             {big, templateOf("t", "x=\"0\" y=\"-16385\" w=\"0\" h=\"0\""), "10",
              "Invalid design: y of template t out of range: -16385"},
             {"", templateOf("t", "x=\"-32767\" y=\"32767\" w=\"32767\" h=\"0\""), "10", nullptr},
             {"", templateOf("t", "x=\"0\" y=\"0\" w=\"-1\" h=\"0\""), "10",
              "Invalid design: w of template t out of range: -1"},
             {big, staticOf("x=\"0\" y=\"0\" w=\"20000\" h=\"1\""), "10",
              "Invalid design: w of static 's' out of range: 20000"},
             {"", staticOf("x=\"0\" y=\"0\" w=\"1\" h=\"200000\""), "10",
              "Invalid design: h of static 's' out of range: 200000"},
             {big, staticOf("x=\"0\" y=\"0\" w=\"1\" h=\"1\""), "513", "Invalid design: size of font f out of range: 513"},
             {big, staticOf("x=\"0\" y=\"0\" w=\"1\" h=\"1\""), "512", nullptr},
             {"", staticOf("x=\"0\" y=\"0\" w=\"1\" h=\"1\""), "-1", "Invalid design: size of font f out of range: -1"},
             {"big=\"1\" width=\"20000\"", "", "10", "Invalid design: width of display mode out of range: 20000"},
         }) {
        DesignDescription d;
        std::string text = bareDesign(c.mode, c.body, c.font);
        // A mode that names its own width replaces the default one.
        if (c.mode.find("width") != std::string::npos)
            text.replace(text.find("width=\"800\" "), 12, "");
        log.clear();
        EXPECT_EQ(readDesign(text, true, d), c.refusal == nullptr) << c.body << " font " << c.font;
        if (c.refusal) {
            EXPECT_TRUE(log.contains(c.refusal)) << c.refusal;
            EXPECT_TRUE(d.templates.empty() && d.pages.empty());
        }
    }
    DesignDescription d;
    ASSERT_TRUE(readDesign(bareDesign(big, templateOf("t", "x=\"-16383\" y=\"16383\" w=\"16383\" h=\"0\"")), true, d));
    EXPECT_EQ(d.templates.at("t")->x, -32766);
    EXPECT_EQ(d.templates.at("t")->w, 32766);
}

// Lists whose rows hold lists: a template that holds itself gets no rows
// (once logged), and the rows of one list with all lists nested in them
// stay within IListCreator::MaxRows, however the heights are set.
TEST(DesignReader, ListRowsAreBoundedAndNeverRecursive) {
    TestSupport::CaptureLogger log;
    UiTest::FakeEngine engine;
    const std::string tiny = "x=\"0\" y=\"0\" w=\"100\" h=\"1\"";
    const std::string body = templateOf("self", "x=\"0\" y=\"0\" w=\"100\" h=\"10\"", listOf("inner", "self", 20)) +
                             templateOf("a", "x=\"0\" y=\"0\" w=\"100\" h=\"10\"", listOf("toB", "b", 10)) +
                             templateOf("b", "x=\"0\" y=\"0\" w=\"100\" h=\"10\"", listOf("toA", "a", 10)) +
                             templateOf("one", tiny) + templateOf("rowOfRows", tiny, listOf("leaves", "one", 1000)) +
                             "<page name=\"p\" font=\"f\">" + listOf("selfList", "self", 40) +
                             listOf("mutual", "a", 20) + listOf("tall", "one", 30000) +
                             listOf("nested", "rowOfRows", 1000) + listOf("bare", "", 100) + "</page>";
    DesignDescription d;
    ASSERT_TRUE(readDesign(bareDesign("", body), true, d));
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "p", nullptr);
    ASSERT_TRUE(buildPage(*page, d));
    auto rows = [](fdWindowBase* w) { return dynamic_cast<fdList*>(w)->rowCount(); };

    auto* selfList = dynamic_cast<fdList*>(page->widget("selfList"));
    ASSERT_EQ(selfList->rowCount(), 4u);
    EXPECT_EQ(rows(selfList->rowWidget(0)->findChild("inner")), 0u);
    EXPECT_TRUE(log.contains("List inner: item template self contains itself; no rows"));

    auto* mutual = dynamic_cast<fdList*>(page->widget("mutual"));
    ASSERT_EQ(mutual->rowCount(), 2u);
    auto* toB = dynamic_cast<fdList*>(mutual->rowWidget(0)->findChild("toB"));
    ASSERT_EQ(toB->rowCount(), 1u);
    EXPECT_EQ(rows(toB->rowWidget(0)->findChild("toA")), 0u);
    EXPECT_TRUE(log.contains("List toA: item template a contains itself; no rows"));
    std::size_t refusals = 0;
    for (const std::string& line : log.lines())
        refusals += line.find("contains itself") != std::string::npos;
    EXPECT_EQ(refusals, 2u) << "once per list and template, not once per row";

    EXPECT_EQ(rows(page->widget("tall")), 1024u);
    EXPECT_TRUE(log.contains("List tall: 30000 rows of one, only 1024 built"));

    auto* nested = dynamic_cast<fdList*>(page->widget("nested"));
    ASSERT_EQ(nested->rowCount(), 1000u);
    EXPECT_EQ(rows(nested->rowWidget(0)->findChild("leaves")), 0u);
    EXPECT_TRUE(log.contains("List leaves: nested lists exceed 1024 rows; no rows"));

    // A list that names no item template is filled by code: no rows, nothing logged.
    EXPECT_EQ(rows(page->widget("bare")), 0u);
    for (const std::string& line : log.lines())
        EXPECT_EQ(line.find("of list bare"), std::string::npos) << line;
}
