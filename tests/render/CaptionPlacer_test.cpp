#include "render/CaptionPlacer.h"

#include "CaptionTestSupport.h"
#include "FontTestSupport.h"
#include "SurfaceTestSupport.h"
#include "core/TempSurface.h"
#include "render/AtlasDrawBuffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

// No caption or boxed label covers an icon drawn in the frame at its own
// place, but a POI's name may meet its own icon; an icon that only meets a
// caption's edge is not covered. (Names and labels that may move are
// below.)
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
        EXPECT_EQ(p.placeCaption(road, false), row.road);
        DrawRecord poi = f.poi(u"Inn", 310, 50, 330);
        poi.owner = &innWord;
        EXPECT_EQ(p.placeCaption(poi), row.poi);
        // A 3D road piece whose label stands above its midpoint (100, 190).
        DrawRecord ring = f.road(u"Ring", 60, 190, 140, 190);
        f.table.clear();
        f.table.entries[0] = {ring.textOffset, ring.textLength, 60, 190, 140, 190, 100, 190, 0, &ring};
        f.table.count = 1;
        EXPECT_EQ(p.drawBoxedCaption(0, false), row.label);
    }
}

namespace {

// Icons of 20 x 20 pixels in a row along y from x0 to x1, every 20 pixels.
std::vector<Render::IconBox> iconRow(int x0, int x1, int y) {
    std::vector<Render::IconBox> icons;
    for (int x = x0; x <= x1; x += 20)
        icons.push_back(Render::IconBox::of(x, y - 10, 20, 20, nullptr));
    return icons;
}

bool coversAny(const Render::OrientedBox& box, const std::vector<Render::IconBox>& icons) {
    return std::any_of(icons.begin(), icons.end(),
                       [&](const Render::IconBox& i) { return box.overlaps(i.box); });
}

} // namespace

// A road's name whose place (the point of its chosen segment nearest the
// car, here (200, 100)) is taken by an icon or a placed name slides along
// the segment to the clear spot nearest to it, else along its spare
// segment; with no clear spot, or a chosen segment that does not pass the
// car, it is dropped.
TEST(CaptionPlacer, ANameWhosePlaceIsTakenMovesAlongItsRoad) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    Render::TextSize elm;
    ASSERT_TRUE(f.font->textSize(elm, u"Elm"));
    const float half = static_cast<float>(elm.width / 2);
    const Render::IconBox atItsPlace = Render::IconBox::of(186, 90, 20, 20, nullptr);
    std::vector<Render::IconBox> both = iconRow(60, 340, 100), spareOnly = iconRow(60, 340, 150);
    both.insert(both.end(), spareOnly.begin(), spareOnly.end());
    const struct {
        const char* what;
        std::vector<Render::IconBox> icons;
        bool moving, offCar, blockedByName;
        bool placed;
        float fromX = 0, toX = 0, y = 0; // where the name's centre lands
    } rows[] = {
        {"nothing in the way", {}, true, false, false, true, 200, 200, 100},
        // Its right edge at 205.5 is nearer than its left at 186.5; a moved
        // name keeps 2 pixels from what it passes.
        {"an icon at its place", {atItsPlace}, true, false, false, true, 207 + half, 209 + half, 100},
        {"an icon, not moving", {atItsPlace}, false, false, false, false},
        {"icons all along its segment", iconRow(60, 340, 100), true, false, false, true, 200, 200, 150},
        {"icons along both segments", both, true, false, false, false},
        {"a name at its place", {}, true, false, true, true, 0, 400, 100},
        {"a chosen segment off the car", {}, true, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        f.placed.clear();
        auto p = f.placer();
        p.icons = &row.icons;
        DrawRecord road = row.offCar ? f.road(u"Elm", 20, 100, 60, 100) : f.road(u"Elm", 100, 100, 300, 100);
        road.spares[0] = {100, 150, 300, 150, 200 * 200};
        road.spareCount = 1;
        DrawRecord oak = f.poi(u"Oak tree", 170, 100, 230);
        std::vector<DrawRecord*> list{&road};
        if (row.blockedByName) list.push_back(&oak); // tried first
        if (row.moving)
            p.place(list.data(), list.data() + list.size());
        else if (p.placeCaption(road, false))
            road.flags |= DrawRecord::Placed;
        ASSERT_EQ(road.isPlaced(), row.placed);
        // Its spares are not tried when its chosen segment is off the car.
        if (row.offCar) {
            EXPECT_FALSE(p.placeCaption(road));
        }
        if (!row.placed) continue;
        EXPECT_GE(road.box.centreX, row.fromX);
        EXPECT_LE(road.box.centreX, row.toX);
        EXPECT_FLOAT_EQ(road.box.centreY, row.y);
        EXPECT_FALSE(coversAny(road.box, row.icons));
        if (row.blockedByName) {
            ASSERT_TRUE(oak.isPlaced());
            EXPECT_FLOAT_EQ(oak.box.centreX, 200.0f);
            EXPECT_FALSE(road.box.overlaps(oak.box));
            // The nearest clear spot: 2 pixels nearer the car meets the name.
            Render::OrientedBox nearer = road.box;
            nearer.centreX += road.box.centreX < 200.0f ? 2.0f : -2.0f;
            EXPECT_TRUE(nearer.overlaps(oak.box));
        }
    }
}

// A moved name lies wholly on the target: the nearer clear spot, below an
// icon, would cut it at the target's bottom edge; it goes above the icon.
TEST(CaptionPlacer, AMovedNameStaysWhollyOnTheTarget) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    Render::TextSize size;
    ASSERT_TRUE(f.font->textSize(size, u"Elm Rd"));
    const int half = size.width / 2;
    // Just below the icon the name's centre is on the target, its end not.
    const int bottom = 300 - 2 - half - half / 2;
    const std::vector<Render::IconBox> icons{Render::IconBox::of(190, bottom - 40, 20, 41, nullptr)};
    auto p = f.placer();
    p.focus = {200, bottom - 5};
    p.icons = &icons;
    DrawRecord road = f.road(u"Elm Rd", 200, 100, 200, 299);
    std::vector<DrawRecord*> list{&road};
    p.place(list.data(), list.data() + 1);
    ASSERT_TRUE(road.isPlaced());
    EXPECT_FLOAT_EQ(road.box.centreX, 200.0f);
    EXPECT_LT(road.box.centreY + road.box.halfWidth, static_cast<float>(bottom - 40));
    EXPECT_FALSE(coversAny(road.box, icons));
}

// A boxed 3D label whose place (over its piece's midpoint (100, 190), 6
// pixels up) is taken, or whose leader would cross an icon, moves sideways
// over its anchor, else up, else along its piece, the leader with it; with
// no room it is not drawn.
TEST(CaptionPlacer, ALabelWhosePlaceIsTakenMovesSidewaysUpOrAlongItsPiece) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    Render::TextSize ring;
    ASSERT_TRUE(f.font->textSize(ring, u"Ring"));
    const int w = ring.width + 4, h = ring.height;
    const int left = 100 - w / 2, top = 190 - h - 6;
    // Icons under both ends of the label, 12 pixels apart about its leader.
    const int row = top + h / 2 - 10;
    const std::vector<Render::IconBox> ends{Render::IconBox::of(left - 5, row, 94 - (left - 5), 20, nullptr),
                                            Render::IconBox::of(106, row, left + w + 5 - 106, 20, nullptr)};
    std::vector<Render::IconBox> everywhere = iconRow(0, 380, 186);
    for (int y = top - 4 * h; y <= top + h; y += 10) {
        const std::vector<Render::IconBox> more = iconRow(0, 380, y);
        everywhere.insert(everywhere.end(), more.begin(), more.end());
    }
    const struct {
        const char* what;
        std::vector<Render::IconBox> icons;
        bool placed;
        bool sameLeft = false, sameTop = false, leaderAt100 = false;
    } rows[] = {
        {"nothing in the way", {}, true, true, true, true},
        {"an icon under its left end",
         {Render::IconBox::of(left - 5, top + 2, 10, 10, nullptr)},
         true,
         false,
         true,
         true},
        {"icons under both its ends", ends, true, true, false, true},
        {"an icon across its leader",
         {Render::IconBox::of(96, 186, 8, 4, nullptr)},
         true,
         false,
         true,
         false},
        {"icons all over", everywhere, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SDL_FillRect(f.target.get(), nullptr, 0xFFFFFF);
        auto p = f.placer();
        p.label.raise = 6;
        p.icons = &row.icons;
        DrawRecord piece = f.road(u"Ring", 60, 190, 140, 190);
        f.table.clear();
        f.table.entries[0] = {piece.textOffset, piece.textLength, 60, 190, 140, 190, 100, 190, 0, &piece};
        f.table.count = 1;
        ASSERT_EQ(p.drawBoxedCaption(0), row.placed);
        if (!row.placed) continue;
        const Render::Caption3dEntry& e = f.table.entries[0];
        EXPECT_EQ(e.boxX == left, row.sameLeft) << e.boxX;
        EXPECT_EQ(e.boxY == top, row.sameTop) << e.boxY;
        // The leader rises from the anchor, under the label.
        EXPECT_EQ(dark(rgbAt(f.target.get(), 100, 188)), row.leaderAt100);
        const Render::OrientedBox box{
            float(e.boxX) + float(w) / 2, float(e.boxY) + float(h) / 2, 1, 0, float(w) / 2, float(h) / 2};
        EXPECT_FALSE(coversAny(box, row.icons));
    }
}

// A label whose place and every place sideways and up are taken by a label
// drawn before (raised past it, its leader would cross it) moves along its
// piece.
TEST(CaptionPlacer, NoLeaderCrossesALabel) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    Render::TextSize oak;
    ASSERT_TRUE(f.font->textSize(oak, u"Oak"));
    DrawRecord ring = f.road(u"Ring", 60, 190, 140, 190), lane = f.road(u"Oak", 60, 200, 140, 200);
    f.table.clear();
    f.table.entries[0] = {ring.textOffset, ring.textLength, 60, 190, 140, 190, 100, 190, 0, &ring};
    f.table.entries[1] = {lane.textOffset, lane.textLength, 60, 200, 140, 200, 100, 200, 0, &lane};
    f.table.count = 2;
    auto p = f.placer();
    p.view3d = true;
    p.label.raise = 6;
    p.place(nullptr, nullptr);
    ASSERT_EQ(p.labelsDrawn, 2);
    const Render::Caption3dEntry &first = f.table.entries[0], &second = f.table.entries[1];
    EXPECT_EQ(first.boxY, 190 - first.boxHeight - 6);
    EXPECT_EQ(second.boxY, 200 - oak.height - 6);
    EXPECT_TRUE(second.boxX >= first.boxX + first.boxWidth || second.boxX + second.boxWidth <= first.boxX)
        << second.boxX;
}

// Random towns: no placed name or label covers an icon (a POI's name may
// meet its own) or another placed name or label, and every name the
// placer without moving places (each at its own place, in the same order)
// stands where it did.
TEST(CaptionPlacer, PlacedNamesAndLabelsKeepClearOfIconsAndOfEachOther) {
    PlacerFixture f;
    ASSERT_TRUE(f.font);
    std::mt19937 random(testSeed());
    const auto uniform = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    const std::u16string names[] = {u"Elm", u"Rue Paradis", u"Avenue de la Costa", u"Quai",
                                    u"Boulevard Louis II"};
    std::uint32_t words[6] = {};
    int moved = 0;
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE(trial);
        std::vector<Render::IconBox> icons;
        for (int i = 0; i < 15; ++i)
            icons.push_back(Render::IconBox::of(uniform(0, 390), uniform(0, 290), uniform(8, 24),
                                                uniform(8, 24), i < 6 ? &words[i] : nullptr));
        std::vector<DrawRecord> records;
        for (int i = 0; i < 12; ++i) {
            const int x = uniform(0, 399), y = uniform(0, 299);
            DrawRecord r = f.road(names[uniform(0, 4)], x, y, x + uniform(-150, 150), y + uniform(-100, 100));
            for (int s = uniform(0, 3); s > 0; --s) {
                const int sx = uniform(0, 399), sy = uniform(0, 299);
                r.spares[r.spareCount++] = {std::int16_t(sx), std::int16_t(sy),
                                            std::int16_t(sx + uniform(-90, 90)),
                                            std::int16_t(sy + uniform(-60, 60)), 1};
            }
            records.push_back(r);
        }
        for (int i = 0; i < 6; ++i) {
            const int x = uniform(20, 380), y = uniform(10, 290);
            DrawRecord r = f.poi(names[uniform(0, 3)], x - 20, y, x + 20);
            r.owner = &words[i];
            records.push_back(r);
        }
        // Without moving: the candidates from the last, each at its place.
        std::vector<DrawRecord> still = records;
        f.placed.clear();
        auto first = f.placer();
        first.icons = &icons;
        for (auto it = still.rbegin(); it != still.rend(); ++it)
            if (first.placeCaption(*it, false)) {
                it->flags |= DrawRecord::Placed;
                f.placed.push_back(&*it);
            }
        std::vector<DrawRecord*> list;
        for (DrawRecord& r : records)
            list.push_back(&r);
        auto p = f.placer();
        p.icons = &icons;
        p.place(list.data(), list.data() + list.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            const DrawRecord& r = records[i];
            if (still[i].isPlaced()) {
                ASSERT_TRUE(r.isPlaced()) << i;
                EXPECT_EQ(r.box.centreX, still[i].box.centreX) << i;
                EXPECT_EQ(r.box.centreY, still[i].box.centreY) << i;
            }
            moved += r.isPlaced() && !still[i].isPlaced();
            if (!r.isPlaced()) continue;
            for (const Render::IconBox& icon : icons)
                EXPECT_TRUE(!r.box.overlaps(icon.box) || (r.isPoi() && icon.caption == r.owner)) << i;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(records[j].isPlaced() && r.box.overlaps(records[j].box)) << i << " " << j;
        }

        // 3D: pieces of eight roads, some with several.
        std::vector<DrawRecord> roads;
        for (int i = 0; i < 8; ++i)
            roads.push_back(f.road(names[uniform(0, 4)], 0, 0, 1, 0));
        f.table.clear();
        for (int i = 0; i < 20; ++i) {
            DrawRecord& road = roads[uniform(0, 7)];
            const int x1 = uniform(0, 399), y1 = uniform(100, 299), x2 = x1 + uniform(-80, 80),
                      y2 = y1 + uniform(-40, 40);
            f.table.entries[f.table.count++] = {road.textOffset, road.textLength, x1, y1,   x2, y2,
                                                (x1 + x2) / 2,   (y1 + y2) / 2,   0,  &road};
        }
        std::vector<Render::OrientedBox> labels;
        auto p3 = f.placer();
        p3.view3d = true;
        p3.label.raise = 6;
        p3.icons = &icons;
        p3.drawnBoxes = &labels;
        p3.place(nullptr, nullptr);
        EXPECT_EQ(labels.size(), static_cast<std::size_t>(p3.labelsDrawn));
        for (std::size_t i = 0; i < labels.size(); ++i) {
            for (const Render::IconBox& icon : icons)
                EXPECT_FALSE(labels[i].overlaps(icon.box)) << i;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(labels[i].overlaps(labels[j])) << i << " " << j;
        }
        // One label at most per road.
        EXPECT_EQ(labels.size(),
                  static_cast<std::size_t>(std::count_if(roads.begin(), roads.end(),
                                                         [](const DrawRecord& r) { return r.isPlaced(); })));
    }
    // The towns are crowded enough for names to move.
    EXPECT_GT(moved, 10);
}
