#include "ui/DesignValues.h"
#include "ui/TextRenderers.h"

#include <gtest/gtest.h>

#include <optional>

using namespace Ui;

TEST(DesignValues, ColoursTextColoursEffectsAlignmentsAndAnchors) {
    struct ColourRow {
        const char* text;
        std::optional<std::uint32_t> value;
    };
    for (const ColourRow& r : {ColourRow{"#FF8000", 0x000080FFu}, ColourRow{"0xff8000", 0x000080FFu},
                               ColourRow{"FF8000", 0x000080FFu}, ColourRow{"0X0000ff", 0x00FF0000u},
                               ColourRow{"1000000", std::nullopt}, ColourRow{"100000000", std::nullopt},
                               ColourRow{"#", std::nullopt}, ColourRow{"green", std::nullopt},
                               ColourRow{" 00000000123456", 0x00563412u}})
        EXPECT_EQ(parseColor(r.text), r.value) << r.text;

    struct TextColourRow {
        const char* text;
        std::optional<ColourPair> value;
    };
    for (const TextColourRow& r : {TextColourRow{"#FF0000", ColourPair{0xFF0000FFu, 0xFF0000FFu}},
                                   TextColourRow{"#FF0000/#0000FF", ColourPair{0xFF0000FFu, 0xFFFF0000u}},
                                   TextColourRow{"#1000000", std::nullopt}, TextColourRow{"#FF0000/", std::nullopt}})
        EXPECT_EQ(parseTextColor(r.text), r.value) << r.text;

    struct EffectRow {
        const char* text;
        int kind;
        bool coloured;
    };
    for (const EffectRow& r : {EffectRow{"halo:#000000", 1, true}, EffectRow{"shadow:#000000/#FFFFFF", 2, true},
                               EffectRow{"solid:#FFFFFF", 4, true}, EffectRow{"glow:#000000", 0, false},
                               EffectRow{"halo", 0, false}, EffectRow{"halo:nothing", 1, false}}) {
        const TextEffect e = parseTextEffect(r.text);
        EXPECT_EQ(e.kind, r.kind) << r.text;
        EXPECT_EQ(e.colours.has_value(), r.coloured) << r.text;
    }
    EXPECT_EQ(parseTextEffect("halo:#000000").colours, (ColourPair{0xFF000000u, 0xFF000000u}));

    EXPECT_EQ(parseHorzAlign("right"), 2);
    EXPECT_EQ(parseHorzAlign("centered"), 1);
    EXPECT_EQ(parseHorzAlign("middle"), std::nullopt);
    EXPECT_EQ(parseVertAlign("bottom"), 2);
    EXPECT_EQ(parseVertAlign("left"), std::nullopt);

    struct AnchorRow {
        const char* text;
        int horizontal, vertical;
    };
    for (const AnchorRow& r : {AnchorRow{"br", 2, 2}, AnchorRow{"tlx", 0, 0}, AnchorRow{"xr", 2, 0},
                               AnchorRow{"md", 3, 1}, AnchorRow{"dc", 1, 3}, AnchorRow{"", 0, 0}}) {
        const AnchorKinds k = parseAnchorCode(r.text);
        EXPECT_EQ(k.horizontal, r.horizontal) << r.text;
        EXPECT_EQ(k.vertical, r.vertical) << r.text;
    }

    struct AlignRow {
        int h, v;
        TextPoint origin;
    };
    const SDL_Rect rect{10, 20, 101, 51};
    for (const AlignRow& r : {AlignRow{0, 0, {10, 20}}, AlignRow{1, 1, {45, 40}}, AlignRow{2, 2, {81, 61}},
                              AlignRow{1, 2, {45, 61}}, AlignRow{2, 0, {81, 20}}}) {
        const TextPoint p = alignedOrigin(rect, 30, 10, r.h, r.v);
        EXPECT_EQ(p.x, r.origin.x) << r.h << "/" << r.v;
        EXPECT_EQ(p.y, r.origin.y) << r.h << "/" << r.v;
    }
}
