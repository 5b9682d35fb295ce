// The demo data folder's render.xml and style files load completely with
// the pictures the build draws for them.
#include "render/RenderStyles.h"

#include "tests/render/StyleFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tools/DemoImages.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace RenderTest;

TEST(DemoData, StylesLoadWithTheDrawnPictures) {
    TestSupport::CaptureLogger log(Log::Normal);
    StyleFixture fixture;
    const std::filesystem::path source = std::filesystem::path(MIREL_SOURCE_DIR) / "data";
    for (const char* name : {"render.xml", "styles/polygons.xml", "styles/polylines.xml", "styles/pois.xml"})
        std::filesystem::copy_file(source / name, fixture.dir / name,
                                   std::filesystem::copy_options::overwrite_existing);
    const auto pictures = DemoData::writeImages(fixture.dir.path());
    ASSERT_FALSE(pictures.empty());

    auto styles = std::make_unique<Render::RenderStyles>();
    ASSERT_TRUE(fixture.load(*styles));
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();

    const Render::StyleSet& day = styles->daySet();
    const Render::StyleSet& night = styles->nightSet();
    EXPECT_EQ(styles->selectSet(true), 0x00E9EFF2u);
    EXPECT_EQ(styles->selectSet(false), 0x0026201Cu);
    // Forest has a day and a night pattern; water a day pattern only.
    ASSERT_NE(day.polygons[0x50].pattern, nullptr);
    ASSERT_NE(night.polygons[0x50].pattern, nullptr);
    EXPECT_NE(day.polygons[0x50].pattern, night.polygons[0x50].pattern);
    EXPECT_EQ(day.polygons[0x50].pattern->w, 16);
    EXPECT_NE(day.polygons[0x3C].pattern, nullptr);
    EXPECT_EQ(night.polygons[0x3C].pattern, nullptr);
    EXPECT_EQ(day.polylines[0x14].fill, Render::FillKind::DashTwoColour);
    EXPECT_EQ(day.polylines[0x01].width, 7);
    // Every icon kept its transparency: the corners are clear.
    for (const auto& [type, style] : day.poiStyles) {
        SDL_Surface* s = style.icon->surface();
        ASSERT_NE(s, nullptr) << type;
        EXPECT_NE(s->format->Amask, 0u);
        EXPECT_EQ(pixelAt(s, 0, 0) & s->format->Amask, 0u);
        EXPECT_EQ(pixelAt(s, 10, 10) & s->format->Amask, s->format->Amask);
    }
    EXPECT_NE(day.poiStyles.at(0x2F01).icon, night.poiStyles.at(0x2F01).icon);
    EXPECT_EQ(day.poiStyles.at(0xF002).soundId, 11);
    ASSERT_NE(styles->poiStyle(0x2A00), nullptr);
    EXPECT_EQ(styles->poiStyle(0x2A00)->name, u"Restaurant");
    EXPECT_EQ(styles->poiStyle(0x7777), styles->poiStyle(0));
}
