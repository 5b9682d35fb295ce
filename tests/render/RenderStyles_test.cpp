#include "render/RenderStyles.h"

#include "tests/render/StyleFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

using namespace RenderTest;

namespace {

std::string renderXmlWith(const std::string& misc) {
    return R"(<styles><polygons src="styles/polygons.xml"/><polylines src="styles/polylines.xml"/>)"
           R"(<pois src="styles/pois.xml"/><misc>)" +
           misc + "</misc></styles>";
}

} // namespace

TEST(RenderStyles, LoadsTheWholeSetAndSelects) {
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    auto styles = std::make_unique<Render::RenderStyles>();
    ASSERT_TRUE(fixture.load(*styles));
    const Render::StyleSet& day = styles->daySet();
    const Render::StyleSet& night = styles->nightSet();
    EXPECT_EQ(day.misc[Render::MiscMapBg].color, 0x00D8E8F0u);
    EXPECT_EQ(day.misc[Render::MiscCar].color, 0x000000FFu);
    EXPECT_EQ(day.misc[Render::MiscCar].size, 5);
    EXPECT_EQ(day.misc[Render::MiscCar].length, 20);
    // "route" has no attributes: it carries the car item's values.
    EXPECT_EQ(day.misc[Render::MiscRoute].size, 5);
    EXPECT_EQ(day.misc[Render::MiscRoute].color, 0x000000FFu);
    EXPECT_EQ(night.misc[Render::MiscMapBg].color, 0x00302820u);
    EXPECT_EQ(night.misc[Render::MiscCar].size, 0);
    EXPECT_EQ(day.polygons[0x14].color, 0x0000FF00u);
    EXPECT_EQ(night.polygons[0x14].color, 0x00004000u);
    EXPECT_EQ(day.polylines[0x1A].fill, Render::FillKind::DashTwoColour);
    EXPECT_EQ(day.poiStyles.size(), 3u);

    EXPECT_EQ(styles->selectSet(false), 0x00302820u);
    EXPECT_EQ(styles->activeSet(), &night);
    EXPECT_FALSE(styles->isDay());
    EXPECT_EQ(styles->selectSet(true), 0x00D8E8F0u);
    EXPECT_EQ(styles->activeSet(), &day);
    EXPECT_TRUE(styles->isDay());
}

TEST(RenderStyles, FailuresAndTheirMessages) {
    struct Case {
        const char* what;
        std::string text; // render.xml; empty: no file
        std::string message; // empty: nothing is logged
    };
    const std::string invalid = "Invalid render styles file format";
    const Case cases[] = {
        {"missing file", "", "Can't open render styles file '"},
        {"parse error", "<styles><misc></styles>", " on parsing render styles file"},
        {"no styles root", "<other/>", ""},
        {"no polygons", R"(<styles><polylines src="a"/><pois src="b"/><misc><day/><night/></misc></styles>)",
         invalid},
        {"no src", R"(<styles><polygons/><polylines src="a"/><pois src="b"/><misc><day/><night/></misc></styles>)",
         invalid},
        {"no misc", R"(<styles><polygons src="a"/><polylines src="a"/><pois src="b"/></styles>)", invalid},
        {"no night", renderXmlWith("<day/>"), invalid},
        {"item without name", renderXmlWith(R"(<day><item size="1"/></day><night/>)"), ""},
        {"name in other case", renderXmlWith(R"(<day/><night><item name="Car"/></night>)"), ""},
        {"missing style file",
         R"(<styles><polygons src="styles/none.xml"/><polylines src="styles/polylines.xml"/>)"
         R"(<pois src="styles/pois.xml"/><misc><day/><night/></misc></styles>)",
         "Can't open polygons styles file '"},
        {"too deep", std::string(2000, '<') + "a>", " on parsing render styles file"},
        // Deep enough to overflow the stack of a parser left unguarded.
        {"deep", "<styles>" + std::string(100, ' ') + [] {
             std::string s;
             for (int i = 0; i < 100000; ++i)
                 s += "<a>";
             return s;
         }(), "elements nested too deeply"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::CaptureLogger log;
        StyleFixture fixture;
        if (c.text.empty())
            std::filesystem::remove(fixture.dir / "render.xml");
        else
            fixture.write("render.xml", c.text);
        auto styles = std::make_unique<Render::RenderStyles>();
        EXPECT_FALSE(fixture.load(*styles));
        if (c.message.empty())
            EXPECT_TRUE(log.lines().empty()) << log.lines().front();
        else
            EXPECT_TRUE(log.contains(c.message)) << (log.lines().empty() ? "" : log.lines().front());
        EXPECT_TRUE(styles->daySet().poiStyles.empty());
    }
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    std::filesystem::remove(fixture.dir / "render.xml");
    auto styles = std::make_unique<Render::RenderStyles>();
    EXPECT_FALSE(fixture.load(*styles));
    EXPECT_TRUE(log.contains("Can't open render styles file '" + fixture.dir.path().string() + "/render.xml' (err 2): No such file or directory"));
}

TEST(RenderStyles, MiscItemsStayWhenALaterStepFails) {
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    fixture.write("render.xml", renderXmlWith(R"(<day><item name="car" size="4"/><item name="nope"/></day>)"
                                              R"(<night><item name="car" size="9"/></night>)"));
    auto styles = std::make_unique<Render::RenderStyles>();
    EXPECT_FALSE(fixture.load(*styles));
    EXPECT_EQ(styles->daySet().misc[Render::MiscCar].size, 4);
    EXPECT_EQ(styles->nightSet().misc[Render::MiscCar].size, 0); // never reached

    // The POI file fails last: polygons and polylines are already in.
    fixture.write("render.xml", defaultRenderXml);
    fixture.write("styles/pois.xml", "<pois><group");
    auto second = std::make_unique<Render::RenderStyles>();
    EXPECT_FALSE(fixture.load(*second));
    EXPECT_TRUE(log.contains(" on parsing poi styles file"));
    EXPECT_EQ(second->daySet().polylines[1].width, 4);
    EXPECT_NE(second->daySet().polygons[0x14].pattern, nullptr);
}
