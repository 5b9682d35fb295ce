// The four style files: the first byte picks render.xml, polygons.xml,
// polylines.xml or pois.xml, the rest replaces it; the others stay as the
// fixture wrote them. Whatever loads is consistent.
#include "render/RenderStyles.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/render/StyleFixture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    FuzzInput::quietLog();
    static RenderTest::StyleFixture fixture;
    const std::pair<const char*, const char*> files[] = {{"render.xml", RenderTest::defaultRenderXml},
                                                         {"styles/polygons.xml", RenderTest::defaultPolygonsXml},
                                                         {"styles/polylines.xml", RenderTest::defaultPolylinesXml},
                                                         {"styles/pois.xml", RenderTest::defaultPoisXml}};
    const auto& [name, original] = files[data[0] % 4];
    fixture.write(name, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    {
        Render::RenderStyles styles;
        fixture.load(styles);
        for (const Render::StyleSet* set : {&styles.daySet(), &styles.nightSet()}) {
            for (const auto& [type, style] : set->poiStyles)
                if (style.icon == nullptr || style.placement < 0 || style.placement > 9)
                    __builtin_trap();
            for (const auto& polygon : set->polygons)
                if (polygon.pattern && (polygon.pattern->w != polygon.pattern->h ||
                                        (polygon.pattern->w & (polygon.pattern->w - 1)) != 0))
                    __builtin_trap();
        }
        for (bool day : {true, false}) {
            styles.selectSet(day);
            for (std::uint16_t type : {0, 1, 0x2A00, 0x2A0E, 0xFFFF})
                styles.poiStyle(type);
        }
    }
    fixture.write(name, original);
    return 0;
}
