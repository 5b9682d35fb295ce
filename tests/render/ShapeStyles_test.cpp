#include "render/RenderStyles.h"

#include "tests/render/StyleFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <set>

using namespace RenderTest;

namespace {

std::unique_ptr<Render::RenderStyles> loadPolylines(StyleFixture& fixture, const std::string& body, bool expect = true) {
    fixture.write("styles/polylines.xml", "<polylines><group>" + body + "</group></polylines>");
    auto styles = std::make_unique<Render::RenderStyles>();
    EXPECT_EQ(styles->loadPolylineStyles(fixture.path("styles/polylines.xml")), expect);
    return styles;
}

std::unique_ptr<Render::RenderStyles> loadPolygons(StyleFixture& fixture, const std::string& groups) {
    fixture.write("styles/polygons.xml", "<polygons>" + groups + "</polygons>");
    auto styles = std::make_unique<Render::RenderStyles>();
    EXPECT_TRUE(styles->loadPolygonStyles(fixture.path("styles/polygons.xml"), fixture.context()));
    return styles;
}

} // namespace

TEST(ShapeStyles, PolylineAttributesAndSkipping) {
    StyleFixture fixture;
    auto styles = loadPolylines(fixture, R"(
        <polyline fill="#111111" width="6" border_width="3"><type id="1"/></polyline>
        <polyline fill="#222222" border="#FF0000;#00FF00" border_width="2" min_scale="10" max_scale="2000"
                  min_capts_scale="-3" max_capts_scale="99999999999"><type id="2"/></polyline>
        <polyline fill="#1234567"><type id="3"/></polyline>
        <polyline fill="#333333" border="nope"><type id="4"/></polyline>
        <polyline fill="#444444"><type id="0x100"/><type id="ff0"/><type/><type id="zz"/><type id="0x1A"/></polyline>
        <polyline fill="#555555"><type id="1a"/></polyline>
        <polyline fill="#666666"><type id="3"/></polyline>
        <polyline fill="zz"><type id="3"/></polyline>)");
    const auto& day = styles->daySet().polylines;
    const auto& night = styles->nightSet().polylines;
    EXPECT_EQ(day[1].width, 6);
    EXPECT_EQ(day[1].borderWidth, 0); // no "border"
    EXPECT_EQ(day[2].borderWidth, 2);
    EXPECT_EQ(day[2].borderColor, 0x000000FFu);
    EXPECT_EQ(night[2].borderColor, 0x0000FF00u);
    EXPECT_EQ(night[2].minScale, 10);
    EXPECT_EQ(night[2].maxScale, 2000);
    EXPECT_EQ(night[2].minCaptionScale, -3);
    EXPECT_EQ(night[2].maxCaptionScale, 2147483647);
    // An invalid colour skips its element; a later element fills the type.
    EXPECT_EQ(day[3].color, 0x00666666u);
    EXPECT_EQ(day[4].width, 0);
    EXPECT_EQ(day[0x1A].color, 0x00555555u); // 0x1A and 1a are one type; the later wins
    EXPECT_EQ(day[0xF0].width, 0);
    EXPECT_EQ(day[0].width, 0);

    // No root: false, everything zeroed.
    fixture.write("styles/polylines.xml", "<lines/>");
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(styles->loadPolylineStyles(fixture.path("styles/polylines.xml")));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(styles->daySet().polylines[1].width, 0);
    EXPECT_EQ(styles->nightSet().polylines[2].color, 0u);
    EXPECT_FALSE(styles->loadPolylineStyles(fixture.path("styles/none.xml")));
    EXPECT_TRUE(log.contains("Can't open polylines styles file '" + (fixture.dir / "styles/none.xml").string() +
                             "' (err 2): No such file or directory"));
    fixture.write("styles/bad.xml", "<polylines><group></polylines>");
    EXPECT_FALSE(styles->loadPolylineStyles(fixture.path("styles/bad.xml")));
    EXPECT_TRUE(log.contains(" on parsing polylines styles file"));
}

TEST(ShapeStyles, PatternsAreOwnedOnceAndChecked) {
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    auto styles = loadPolygons(fixture, R"(
        <group pattern="patterns/grass.bmp">
          <polygon><type id="1"/><type id="2"/></polygon>
          <polygon><type id="3"/></polygon>
          <polygon pattern="patterns/grass.bmp;"><type id="4"/></polygon>
          <polygon pattern=";patterns/grass.bmp"><type id="5"/></polygon>
          <polygon><type id="1"/></polygon>
          <polygon color="nope"><type id="6"/></polygon>
        </group>
        <group>
          <polygon pattern="patterns/wide.bmp"><type id="7"/></polygon>
          <polygon pattern="patterns/six.bmp"><type id="8"/></polygon>
          <polygon pattern="patterns/missing.bmp"><type id="9"/></polygon>
          <polygon><type id="10"/></polygon>
        </group>)");
    const auto& day = styles->daySet().polygons;
    const auto& night = styles->nightSet().polygons;
    // One element, several types and both sets: one surface.
    ASSERT_NE(day[2].pattern, nullptr);
    EXPECT_EQ(night[2].pattern, day[2].pattern);
    // The group's pattern is loaded anew for every polygon.
    ASSERT_NE(day[3].pattern, nullptr);
    EXPECT_NE(day[3].pattern, day[2].pattern);
    // Type 1 was overwritten by a later element; its first surface stays
    // owned and is freed once with the styles.
    ASSERT_NE(day[1].pattern, nullptr);
    EXPECT_NE(day[1].pattern, day[2].pattern);
    EXPECT_NE(day[4].pattern, nullptr);
    EXPECT_EQ(night[4].pattern, nullptr);
    EXPECT_EQ(day[5].pattern, nullptr);
    EXPECT_NE(night[5].pattern, nullptr);
    EXPECT_EQ(day[6].pattern, nullptr);
    // Patterns are in the map surface's format.
    const SDL_PixelFormat* f = day[2].pattern->format;
    EXPECT_EQ(f->BitsPerPixel, fixture.mapSurface->format->BitsPerPixel);
    EXPECT_EQ(f->Rmask, fixture.mapSurface->format->Rmask);
    EXPECT_EQ(f->Amask, 0u);
    EXPECT_EQ(pixelAt(day[2].pattern, 3, 3) & 0xFFFFFF, 0x20C020u);
    // Not square, not a power of two, missing: logged, stored without pattern.
    EXPECT_EQ(day[7].pattern, nullptr);
    EXPECT_EQ(day[8].pattern, nullptr);
    EXPECT_EQ(day[9].pattern, nullptr);
    EXPECT_EQ(night[9].color, 0xFFFFFFu);
    EXPECT_TRUE(log.contains("wide.bmp' is 8 x 4: a pattern must be square with a power-of-two side"));
    EXPECT_TRUE(log.contains("six.bmp' is 6 x 6: a pattern must be square with a power-of-two side"));
    EXPECT_TRUE(log.contains("missing.bmp' (err 2): No such file or directory"));
    std::set<SDL_Surface*> distinct;
    for (int t = 0; t < 256; ++t) {
        distinct.insert(day[std::size_t(t)].pattern);
        distinct.insert(night[std::size_t(t)].pattern);
    }
    distinct.erase(nullptr);
    EXPECT_EQ(distinct.size(), 5u);

    // Reading the file again drops the old surfaces (no record points to
    // them any more); the sanitizer build checks nothing is freed twice or
    // leaked.
    EXPECT_TRUE(styles->loadPolygonStyles(fixture.path("styles/polygons.xml"), fixture.context()));
    EXPECT_NE(styles->daySet().polygons[2].pattern, nullptr);

    // Without a map surface format no pattern is loaded.
    Render::StyleContext noFormat = fixture.context();
    noFormat.patternFormat = nullptr;
    EXPECT_TRUE(styles->loadPolygonStyles(fixture.path("styles/polygons.xml"), noFormat));
    EXPECT_EQ(styles->daySet().polygons[2].pattern, nullptr);
    EXPECT_TRUE(log.contains("no map surface format"));
}

TEST(ShapeStyles, PolygonFileFailures) {
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    auto styles = std::make_unique<Render::RenderStyles>();
    ASSERT_TRUE(styles->loadPolygonStyles(fixture.path("styles/polygons.xml"), fixture.context()));
    fixture.write("styles/p.xml", "<areas/>");
    EXPECT_FALSE(styles->loadPolygonStyles(fixture.path("styles/p.xml"), fixture.context()));
    EXPECT_EQ(styles->daySet().polygons[0x14].color, 0u);
    EXPECT_EQ(styles->daySet().polygons[0x14].pattern, nullptr);
    EXPECT_FALSE(styles->loadPolygonStyles(fixture.path("styles/none.xml"), fixture.context()));
    EXPECT_TRUE(log.contains("Can't open polygons styles file '"));
    fixture.write("styles/p.xml", "<polygons><group pattern='a></polygons>");
    EXPECT_FALSE(styles->loadPolygonStyles(fixture.path("styles/p.xml"), fixture.context()));
    EXPECT_TRUE(log.contains(" on parsing polygons styles file"));
}
