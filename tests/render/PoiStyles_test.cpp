#include "render/RenderStyles.h"

#include "core/Config.h"
#include "tests/render/StyleFixture.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>


using namespace RenderTest;

namespace {

std::unique_ptr<Render::RenderStyles> loadPois(StyleFixture& fixture, const std::string& groups,
                                               bool expect = true) {
    fixture.write("styles/pois.xml", "<pois>" + groups + "</pois>");
    auto styles = std::make_unique<Render::RenderStyles>();
    EXPECT_EQ(styles->loadPoiStyles(&fixture.images, fixture.path("styles/pois.xml")), expect);
    return styles;
}

std::vector<std::uint8_t> blob(std::initializer_list<std::uint16_t> types) {
    std::vector<std::uint8_t> out;
    for (std::uint16_t t : types) {
        out.push_back(std::uint8_t(t));
        out.push_back(std::uint8_t(t >> 8));
    }
    return out;
}

} // namespace

TEST(PoiStyles, GroupAndPoiAttributes) {
    StyleFixture fixture;
    auto styles = loadPois(fixture, R"(
      <group id="0x2C" name="Food" sound_id="3" text_fore_color="#101010" text_halo_color="#FFFFFF;#000000">
        <poi src="icons/food.bmp" name="Restaurant" placement="2" min_scale="10" max_scale="900"
             min_capts_scale="1" max_capts_scale="300">
          <type id="0x2A00"/><type id="2A01" name="Pizza" sound_id="5"/><type id="0x2A02"/>
        </poi>
        <poi src="icons/day.bmp;icons/night.bmp" name="Cafe" placement="3;7" sound_id=";8"
             text_fore_color=";#FF0000"><type id="0x2A0E" sound_id="7;"/></poi>
        <poi src="icons/food.bmp" name="Deli" placement="12"><type id="0x2A10"/></poi>
        <poi src="icons/food.bmp" name="Bar" placement=";5"><type id="0x10000"/><type id="0xFFFF"/><type/></poi>
        <poi src="icons/day.bmp;icons/none.bmp" name="Lost"><type id="0x2A20"/></poi>
        <poi src="icons/food.bmp;" name="Half"><type id="0x2A21"/></poi>
        <poi name="No source"><type id="0x2A22"/></poi>
        <poi src="icons/food.bmp"><type id="0x2A23"/></poi>
        <poi src="icons/food.bmp" name="Bad colour" text_halo_color="#GGGGGG"><type id="0x2A24"/></poi>
      </group>
      <group id="0x2C" name="Second name" sound_id="1"><poi src="icons/food.bmp" name="X"><type id="1"/></poi></group>
      <group id="0x10000" name="Too big" sound_id="1"><poi src="icons/food.bmp" name="X"><type id="2"/></poi></group>
      <group id="0x30" sound_id="1"><poi src="icons/food.bmp" name="X"><type id="3"/></poi></group>
      <group id="0x31" name="Silent"><poi src="icons/food.bmp" name="X"><type id="4"/></poi></group>
      <group id="0x32" name="Badly coloured" sound_id="1" text_fore_color="zz">
        <poi src="icons/food.bmp" name="X"><type id="5"/></poi></group>)");
    const auto& day = styles->daySet().poiStyles;
    const auto& night = styles->nightSet().poiStyles;

    const Render::PoiStyle& r = day.at(0x2A00);
    EXPECT_EQ(r.groupId, 0x2C);
    EXPECT_EQ(r.name, u"Restaurant");
    EXPECT_EQ(r.placement, 2);
    EXPECT_EQ(r.textForeColor, 0x00101010u);
    EXPECT_EQ(r.textHaloColor, 0x00FFFFFFu);
    EXPECT_EQ(night.at(0x2A00).textHaloColor, 0u);
    EXPECT_EQ(r.soundId, 3);
    EXPECT_EQ(r.minScale, 10);
    EXPECT_EQ(r.maxScale, 900);
    EXPECT_EQ(r.minCaptionScale, 1);
    EXPECT_EQ(r.maxCaptionScale, 300);
    EXPECT_TRUE(r.visibleAt(10));
    EXPECT_FALSE(r.visibleAt(901));
    EXPECT_FALSE(r.captionVisibleAt(0));
    EXPECT_NE(r.icon, nullptr);
    // A type's name and sound; the sound stays for the types after it.
    EXPECT_EQ(day.at(0x2A01).name, u"Pizza");
    EXPECT_EQ(day.at(0x2A01).soundId, 5);
    EXPECT_EQ(day.at(0x2A02).name, u"Restaurant");
    EXPECT_EQ(day.at(0x2A02).soundId, 5);
    EXPECT_EQ(night.at(0x2A02).soundId, 5);

    // Day and night icons, placement, sound and colours by side.
    EXPECT_NE(day.at(0x2A0E).icon, night.at(0x2A0E).icon);
    EXPECT_EQ(day.at(0x2A0E).name, u"Cafe");
    EXPECT_EQ(day.at(0x2A0E).placement, 3);
    EXPECT_EQ(night.at(0x2A0E).placement, 7);
    EXPECT_EQ(day.at(0x2A0E).soundId, 7);
    EXPECT_EQ(night.at(0x2A0E).soundId, 8);
    EXPECT_EQ(day.at(0x2A0E).textForeColor, 0x00101010u);
    EXPECT_EQ(night.at(0x2A0E).textForeColor, 0x000000FFu);
    EXPECT_EQ(day.at(0x2A10).placement, 0);
    EXPECT_EQ(day.at(0xFFFF).placement, 0);
    EXPECT_EQ(night.at(0xFFFF).placement, 5);
    EXPECT_EQ(day.count(0), 0u); // "0x10000" is no type 0

    // Skipped elements.
    for (std::uint16_t t : {0x2A20, 0x2A21, 0x2A22, 0x2A23, 0x2A24, 2, 3, 4, 5})
        EXPECT_EQ(day.count(t), 0u) << t;
    EXPECT_EQ(day.count(1), 1u);
    EXPECT_EQ(day.size(), 7u);
    EXPECT_EQ(night.size(), 7u);

    // One icon entry per stored type, in load order.
    EXPECT_EQ(styles->daySet().poiIcons.size(), 7u);
    EXPECT_EQ(styles->daySet().poiIcons[0], r.icon);
    EXPECT_EQ(styles->nightSet().poiIcons[3], night.at(0x2A0E).icon);

    // Group names: the first name of an id wins; a group skipped for its
    // sound or colour still named itself.
    const auto& names = styles->poiGroupNames();
    EXPECT_EQ(names.at(0x2C), u"Food");
    EXPECT_EQ(names.at(0x31), u"Silent");
    EXPECT_EQ(names.at(0x32), u"Badly coloured");
    EXPECT_EQ(names.count(0x30), 0u);
    EXPECT_EQ(names.size(), 3u);
}

TEST(PoiStyles, FileFailures) {
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    auto styles = loadPois(fixture, "", true);
    fixture.write("styles/x.xml", "<points/>");
    EXPECT_FALSE(styles->loadPoiStyles(&fixture.images, fixture.path("styles/x.xml")));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(styles->loadPoiStyles(&fixture.images, fixture.path("styles/none.xml")));
    EXPECT_TRUE(log.contains("Can't open poi styles file '" + (fixture.dir / "styles/none.xml").string() +
                             "' (err 2): No such file or directory"));
    fixture.write("styles/x.xml", "<pois><group id=\"1\"></pois>");
    EXPECT_FALSE(styles->loadPoiStyles(&fixture.images, fixture.path("styles/x.xml")));
    EXPECT_TRUE(log.contains(" on parsing poi styles file"));
    // Without an image loader nothing can be stored.
    fixture.write("styles/x.xml", defaultPoisXml);
    EXPECT_TRUE(styles->loadPoiStyles(nullptr, fixture.path("styles/x.xml")));
    EXPECT_TRUE(styles->daySet().poiStyles.empty());
}

TEST(PoiStyles, LookupFallsBackToTypeZeroAndLogsOnce) {
    TestSupport::CaptureLogger log;
    StyleFixture fixture;
    auto styles = loadPois(fixture, R"(<group id="1" name="G" sound_id="0">
        <poi src="icons/food.bmp" name="Default"><type id="0"/></poi>
        <poi src="icons/day.bmp;icons/night.bmp" name="Both"><type id="5"/><type id="0xFFFF"/></poi></group>)");
    EXPECT_EQ(styles->poiStyle(5), nullptr); // no set selected yet
    styles->selectSet(true);
    const Render::PoiStyle* zero = &styles->daySet().poiStyles.at(0);
    EXPECT_EQ(styles->poiStyle(5), &styles->daySet().poiStyles.at(5));
    EXPECT_EQ(styles->poiStyle(0x1234), zero);
    EXPECT_EQ(styles->poiStyle(0x1234), zero);
    EXPECT_EQ(styles->poiStyle(5), &styles->daySet().poiStyles.at(5));
    EXPECT_EQ(styles->poiStyle(0x1234), zero);
    int reported = 0;
    for (const std::string& line : log.lines())
        reported += line.find("Unknown POI type: 1234") != std::string::npos;
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(styles->poiStyle(0x0007), zero);
    EXPECT_TRUE(log.contains("Unknown POI type: 07"));
    // 0xFFFF is a real type, not the empty cache.
    EXPECT_EQ(styles->poiStyle(0xFFFF), &styles->daySet().poiStyles.at(0xFFFF));

    // Changing the set empties the cache: the same type now answers from
    // the night set.
    EXPECT_EQ(styles->poiStyle(5)->icon, styles->daySet().poiStyles.at(5).icon);
    styles->selectSet(false);
    ASSERT_NE(styles->poiStyle(5), nullptr);
    EXPECT_EQ(styles->poiStyle(5), &styles->nightSet().poiStyles.at(5));
    EXPECT_NE(styles->poiStyle(5)->icon, styles->daySet().poiStyles.at(5).icon);
    styles->selectSet(true);
    EXPECT_EQ(styles->poiStyle(5), &styles->daySet().poiStyles.at(5));
}

TEST(PoiStyles, ShowWarnBlobs) {
    auto styles = std::make_unique<Render::RenderStyles>();
    styles->applyPoiTypeFlags({}, blob({0x2C00}));
    ASSERT_EQ(styles->poiTypeFlags().size(), 1u);
    EXPECT_FALSE(styles->isPoiTypeShown(0x2C00));
    EXPECT_TRUE(styles->isPoiTypeWarned(0x2C00));

    // Unsorted lists with repeats and an odd trailing byte; a warned type
    // keeps its show flag.
    std::vector<std::uint8_t> show = blob({0x0300, 0x0100, 0x0300, 0xF001});
    show.push_back(0x7F);
    styles->applyPoiTypeFlags(show, blob({0xF001, 0x5901, 0x0100}));
    std::vector<std::uint8_t> collectedShow, collectedWarn;
    styles->collectPoiTypeFlags(collectedShow, collectedWarn);
    EXPECT_EQ(collectedShow, blob({0x0100, 0x0300, 0xF001}));
    EXPECT_EQ(collectedWarn, blob({0x0100, 0x5901, 0xF001}));
    // Pinned bytes: little-endian u16.
    EXPECT_EQ(collectedShow, (std::vector<std::uint8_t>{0x00, 0x01, 0x00, 0x03, 0x01, 0xF0}));
    EXPECT_FALSE(styles->isPoiTypeShown(0x5901));
    EXPECT_TRUE(styles->isPoiTypeWarned(0x5901));

    // Through the settings: save, load back into other styles.
    Core::Config settings;
    styles->savePoiTypeFlags(*settings.root());
    auto restored = std::make_unique<Render::RenderStyles>();
    restored->loadPoiTypeFlags(*settings.root());
    EXPECT_EQ(restored->poiTypeFlags().size(), 4u);
    std::vector<std::uint8_t> s2, w2;
    restored->collectPoiTypeFlags(s2, w2);
    EXPECT_EQ(s2, collectedShow);
    EXPECT_EQ(w2, collectedWarn);

    // Empty lists are a choice the user made: nothing shown.
    settings.root()->set("show_pt", std::vector<std::uint8_t>{});
    settings.root()->set("warn_pt", std::vector<std::uint8_t>{});
    restored->loadPoiTypeFlags(*settings.root());
    EXPECT_TRUE(restored->poiTypeFlags().empty());

    // A missing key, or a blob cut to one byte in a hand-edited config,
    // keeps the defaults.
    for (const char* damaged : {"show_pt", "warn_pt"}) {
        SCOPED_TRACE(damaged);
        const char* other = damaged[0] == 's' ? "warn_pt" : "show_pt";
        Core::Config partial;
        partial.root()->set(other, blob({0x0100}));
        auto fresh = std::make_unique<Render::RenderStyles>();
        fresh->loadPoiTypeFlags(*partial.root());
        EXPECT_EQ(fresh->poiTypeFlags().size(), 43u);
        EXPECT_TRUE(fresh->isPoiTypeShown(0x1400));
        partial.root()->set(damaged, std::vector<std::uint8_t>{0x01});
        fresh->loadPoiTypeFlags(*partial.root());
        EXPECT_EQ(fresh->poiTypeFlags().size(), 43u);
    }
}
