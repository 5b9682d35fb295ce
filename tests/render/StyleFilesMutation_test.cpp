// render.xml and the style files are user-swappable: damaged copies must be
// read without a crash and leave the styles consistent. Bounded; run under
// ASan and UBSan.
#include "render/RenderStyles.h"

#include "tests/render/StyleFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>


using namespace RenderTest;

namespace {

bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

void checkConsistent(Render::RenderStyles& styles) {
    for (const Render::StyleSet* set : {&styles.daySet(), &styles.nightSet()}) {
        for (const auto& [type, style] : set->poiStyles) {
            ASSERT_NE(style.icon, nullptr);
            ASSERT_GE(style.placement, 0);
            ASSERT_LE(style.placement, 9);
        }
        for (const auto& polygon : set->polygons)
            if (polygon.pattern) {
                ASSERT_EQ(polygon.pattern->w, polygon.pattern->h);
                ASSERT_TRUE(isPowerOfTwo(polygon.pattern->w));
            }
    }
    for (bool day : {true, false}) {
        styles.selectSet(day);
        for (std::uint16_t type : {0, 1, 0x2A00, 0x2A0E, 0xFFFF}) {
            const Render::PoiStyle* style = styles.poiStyle(type);
            ASSERT_TRUE(style == nullptr || style->icon != nullptr);
        }
    }
    styles.resetPoiTypeFlags();
    ASSERT_EQ(styles.poiTypeFlags().count(0), 0u);
}

} // namespace

TEST(StyleFilesMutation, DamagedFilesLoadSafely) {
    TestSupport::CaptureLogger log(Log::AboveInfo);
    StyleFixture fixture;
    TestSupport::Damage damage(20261206, {"<", ">", "/", "\"", "'", ";", ":", "#", "=", "&", std::string(1, '\0'),
                                          " ", "9", "F", "-"});
    const std::pair<const char*, const char*> files[] = {{"render.xml", defaultRenderXml},
                                                         {"styles/polygons.xml", defaultPolygonsXml},
                                                         {"styles/polylines.xml", defaultPolylinesXml},
                                                         {"styles/pois.xml", defaultPoisXml}};
    int loaded = 0, refused = 0;
    for (const auto& [name, original] : files) {
        SCOPED_TRACE(name);
        for (int round = 0; round < 150; ++round) {
            fixture.write(name, damage.apply(std::string(original)));
            auto styles = std::make_unique<Render::RenderStyles>();
            (fixture.load(*styles) ? loaded : refused)++;
            checkConsistent(*styles);
            if (HasFatalFailure())
                return;
        }
        fixture.write(name, original);
    }
    // Both outcomes happen: the mutations reach past the parser.
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
}
