#include "render/CaptionPlacer.h"

#include "CaptionTestSupport.h"
#include "FontTestSupport.h"
#include "core/TempSurface.h"
#include "render/AtlasDrawBuffers.h"

#include <gtest/gtest.h>

using namespace RenderTest;
using Render::DrawRecord;

namespace {

struct PlacerFixture {
    std::shared_ptr<Render::Font> font = demoFont(12);
    FakeTexts texts;
    TempSurface captionSurface{32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    Render::Caption3dTable table;
    std::vector<DrawRecord*> placed;
    OpaqueSurface target = makeOpaque(400, 300);

    Render::CaptionPlacer placer() {
        Render::CaptionPlacer p(target.get(), *font, texts, captionSurface, table, placed);
        p.focus = {200, 200};
        return p;
    }

    DrawRecord road(const std::u16string& text, int x1, int y1, int x2, int y2) {
        DrawRecord r;
        r.textOffset = texts.add(text);
        r.textLength = static_cast<std::uint32_t>(text.size() * 2);
        r.x1 = static_cast<std::int16_t>(x1);
        r.y1 = static_cast<std::int16_t>(y1);
        r.x2 = static_cast<std::int16_t>(x2);
        r.y2 = static_cast<std::int16_t>(y2);
        r.textColour = 0xFF000000;
        r.haloColour = 0xFFFFFFFF;
        return r;
    }

    DrawRecord poi(const std::u16string& text, int left, int y, int right) {
        DrawRecord r = road(text, left, y, right, y);
        r.flags = DrawRecord::PoiCaption;
        return r;
    }
};

bool dark(std::uint32_t p) {
    return (p & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p >> 16) < 0x60;
}

} // namespace

TEST(CaptionPlacer, RoadCaptionsStayOnTheirSegmentAndInTheTarget) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    auto p = f.placer();
    // Entirely left of the target; wider than the target.
    DrawRecord left = f.road(u"West", -300, 100, -10, 100);
    EXPECT_FALSE(p.placeCaption(left));
    DrawRecord wide = f.road(u"Wide", -10, 100, 400, 100);
    EXPECT_FALSE(p.placeCaption(wide));
    // The point nearest the car lies beyond the segment's x range + 10.
    DrawRecord beside = f.road(u"Short", 20, 100, 60, 100);
    EXPECT_FALSE(p.placeCaption(beside));
    // A vertical segment whose nearest point lies far below its end: the y
    // range keeps the caption off the road's continuation.
    DrawRecord vertical = f.road(u"North", 100, 20, 100, 80);
    EXPECT_FALSE(p.placeCaption(vertical));
    EXPECT_TRUE(pixelsWhere(f.target.get(), dark).empty());

    // Beside the car the vertical caption goes to the car's row.
    DrawRecord nearCar = f.road(u"North", 100, 150, 100, 260);
    ASSERT_TRUE(p.placeCaption(nearCar));
    EXPECT_FLOAT_EQ(nearCar.box.centreX, 100.0f);
    EXPECT_FLOAT_EQ(nearCar.box.centreY, 200.0f);
    const Box drawn = boxOf(pixelsWhere(f.target.get(), dark));
    EXPECT_LE(drawn.right - drawn.left, drawn.bottom - drawn.top) << "turned upright";
    EXPECT_NEAR((drawn.top + drawn.bottom) / 2.0, 200.0, 3.0);
    EXPECT_NEAR((drawn.left + drawn.right) / 2.0, 100.0, 3.0);

    // Unknown text, empty text: not placed.
    DrawRecord lost = f.road(u"x", 150, 150, 250, 150);
    lost.textOffset = 1;
    EXPECT_FALSE(p.placeCaption(lost));
}

TEST(CaptionPlacer, LaterCandidatesWinOverlapsAndArePlacedFirst) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    auto p = f.placer();
    DrawRecord a = f.poi(u"Library", 100, 50, 160);
    DrawRecord b = f.poi(u"Theatre", 110, 55, 170); // overlaps a
    DrawRecord c = f.poi(u"Zoo", 300, 50, 330);     // clear of both
    DrawRecord empty = f.poi(u"", 10, 10, 20);
    empty.textLength = 0;
    std::vector<DrawRecord*> list = {&a, &b, &c, &empty};
    p.place(list.data(), list.data() + list.size());
    EXPECT_FALSE(a.isPlaced());
    EXPECT_TRUE(b.isPlaced());
    EXPECT_TRUE(c.isPlaced());
    EXPECT_FALSE(empty.isPlaced());
    EXPECT_EQ(f.placed, (std::vector<DrawRecord*>{&c, &b}));
    EXPECT_EQ(p.labelsDrawn, 0);

    // Level POI text: a box centred on the record's centre.
    EXPECT_FLOAT_EQ(c.box.axisX, 1.0f);
    EXPECT_FLOAT_EQ(c.box.axisY, 0.0f);
    EXPECT_FLOAT_EQ(c.box.centreX, 315.0f);
    EXPECT_FLOAT_EQ(c.box.centreY, 50.0f);
    const PixelSet drawn = pixelsWhere(f.target.get(), [](std::uint32_t px) { return px != 0xFFFFFF; });
    for (const auto& [x, y] : drawn)
        EXPECT_TRUE(x >= 100 - 10 && x < 340 && y >= 35 && y < 70) << x << "," << y;
}

TEST(CaptionPlacer, FinishingACaptionLayerDetachesEveryRecord) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    Render::AtlasDrawBuffers buffers;
    buffers.captionFont = f.font.get();
    Render::beginCaptions(buffers, f.texts, 50, f.table);
    CaptionTable captions(2);
    captions.entries[0] = {0, f.texts.add(u"Long Street"), 22};
    captions.entries[1] = {0, f.texts.add(u"Ring"), 8};
    std::vector<xe::Point> road = {{20, 100}, {380, 100}};
    const xe::Canvas canvas = xe::Canvas::of(f.target.get());
    ASSERT_EQ(
        Render::addRoadCaption2d(buffers, captions.slot(0), road.data(), 2, Render::roadCaptionClip(canvas)),
        Render::CandidateResult::Added);
    PlainProjection projection;
    std::vector<xe::Point> ring = {{100, 200}, {200, 200}};
    ASSERT_EQ(Render::addRoadCaption3d(buffers, f.table, captions.slot(1), ring.data(), 2, projection,
                                       {150, 250}, Render::roadCaptionClip(canvas)),
              Render::CandidateResult::Added);
    auto p = f.placer();
    p.focus = {200, 120};
    Render::finishCaptions(buffers, p, f.table);
    ASSERT_EQ(f.placed.size(), 1u);
    EXPECT_FALSE(pixelsWhere(f.target.get(), dark).empty());
    EXPECT_EQ(captions.entries[0].record, 0u);
    EXPECT_EQ(captions.entries[1].record, 0u);
    EXPECT_EQ(buffers.recordCount(), 0);
    EXPECT_EQ(buffers.texts, nullptr);
}

// No caption or boxed label covers an icon drawn in the frame, but a POI's
// name may meet its own icon; an icon that only meets a caption's edge is
// not covered.
TEST(CaptionPlacer, CaptionsAndLabelsKeepClearOfIcons) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    std::uint32_t innWord = 0, otherWord = 0;
    // The row where the POI's name box ends.
    Render::TextSize inn;
    ASSERT_TRUE(f.font->textSize(inn, u"Inn"));
    const int below = 50 + inn.height / 2;
    const struct {
        const char* what;
        Render::IconBox icon;
        bool road, poi, label;
    } rows[] = {
        {"far away", Render::IconBox::of(20, 250, 20, 20, nullptr), true, true, true},
        {"on the road's name", Render::IconBox::of(190, 95, 20, 20, nullptr), false, true, true},
        {"on the POI's name", Render::IconBox::of(310, 40, 20, 20, &otherWord), true, false, true},
        {"the POI's own under its name", Render::IconBox::of(310, 40, 20, 20, &innWord), true, true, true},
        {"meeting the POI's name", Render::IconBox::of(310, below, 20, 20, nullptr), true, true, true},
        {"a pixel into the POI's name", Render::IconBox::of(310, below - 1, 20, 20, nullptr), true, false, true},
        {"under the label", Render::IconBox::of(95, 170, 10, 10, nullptr), true, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<Render::IconBox> icons{row.icon};
        auto p = f.placer();
        p.icons = &icons;
        DrawRecord road = f.road(u"Elm", 100, 100, 300, 100);
        EXPECT_EQ(p.placeCaption(road), row.road);
        DrawRecord poi = f.poi(u"Inn", 310, 50, 330);
        poi.owner = &innWord;
        EXPECT_EQ(p.placeCaption(poi), row.poi);
        // A 3D road piece whose label stands above its midpoint (100, 190).
        DrawRecord ring = f.road(u"Ring", 60, 190, 140, 190);
        f.table.clear();
        f.table.entries[0] = {ring.textOffset, ring.textLength, 60, 190, 140, 190, 100, 190, 0, &ring};
        f.table.count = 1;
        EXPECT_EQ(p.drawBoxedCaption(0), row.label);
    }
}
