#include "render/AtlasDrawBuffers.h"
#include "render/CaptionCandidates.h"

#include "CaptionTestSupport.h"
#include "FontTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace RenderTest;
using Render::AtlasDrawBuffers;
using Render::CandidateResult;
using Render::DrawRecord;

namespace {

const xe::Canvas screenCanvas{nullptr, 0, 0, 800, 480};

std::vector<DrawRecord*> candidates(AtlasDrawBuffers& b) {
    return std::vector<DrawRecord*>(b.candidatesBegin(), b.candidatesEnd());
}

// Every listed record is in use, listed once, owned by a slot that points
// back at it.
void expectPoolConsistent(AtlasDrawBuffers& b) {
    std::set<DrawRecord*> seen;
    for (DrawRecord* r : candidates(b)) {
        ASSERT_GE(r, b.records());
        ASSERT_LT(r, b.records() + b.recordCount());
        EXPECT_TRUE(seen.insert(r).second);
        EXPECT_TRUE(r->isListed());
        ASSERT_NE(r->owner, nullptr);
        EXPECT_EQ(*r->owner, static_cast<std::uint32_t>(r - b.records() + 1));
    }
}

} // namespace

TEST(AtlasDrawBuffers, RecordsBelongToTheirSlotAndReleaseOnlyWhatTheyMade) {
    AtlasDrawBuffers b;
    CaptionTable table(3);
    auto first = b.acquire(table.slot(0));
    ASSERT_TRUE(first.record);
    EXPECT_TRUE(first.created);
    EXPECT_EQ(table.entries[0].record, 1u);
    first.record->flags = DrawRecord::PoiCaption;
    b.enlist(first.record);
    b.enlist(first.record);
    EXPECT_EQ(b.candidateCount(), 1);

    // The same slot again: the same record, flags kept.
    auto again = b.acquire(table.slot(0));
    EXPECT_EQ(again.record, first.record);
    EXPECT_FALSE(again.created);
    EXPECT_EQ(again.record->flags, DrawRecord::PoiCaption | DrawRecord::Listed);
    b.releaseLast(again);
    EXPECT_EQ(b.recordCount(), 1);
    b.releaseLast(first); // listed: stays
    EXPECT_EQ(b.recordCount(), 1);
    EXPECT_EQ(table.entries[0].record, 1u);

    auto second = b.acquire(table.slot(1));
    EXPECT_TRUE(second.created);
    EXPECT_EQ(table.entries[1].record, 2u);
    b.releaseLast(second);
    EXPECT_EQ(b.recordCount(), 1);
    EXPECT_EQ(table.entries[1].record, 0u);

    // A stale word (from another pool state) is not trusted.
    table.entries[2].record = 7;
    auto third = b.acquire(table.slot(2));
    EXPECT_TRUE(third.created);
    EXPECT_EQ(table.entries[2].record, 2u);

    b.resetAll();
    EXPECT_EQ(b.recordCount(), 0);
    EXPECT_EQ(b.candidateCount(), 0);
    EXPECT_EQ(table.entries[0].record, 0u);
    EXPECT_EQ(table.entries[2].record, 0u);
}

TEST(AtlasDrawBuffers, FifteenHundredRecordsAtMost) {
    AtlasDrawBuffers b;
    CaptionTable table(AtlasDrawBuffers::Capacity + 1);
    std::vector<xe::Point> road = {{10, 10}, {60, 10}};
    const Render::ClipBox clip = Render::roadCaptionClip(screenCanvas);
    for (int i = 0; i < AtlasDrawBuffers::Capacity; ++i)
        ASSERT_EQ(Render::addRoadCaption2d(b, table.slot(i), road.data(), 2, clip), CandidateResult::Added);
    EXPECT_EQ(Render::addRoadCaption2d(b, table.slot(AtlasDrawBuffers::Capacity), road.data(), 2, clip),
              CandidateResult::PoolFull);
    EXPECT_EQ(b.recordCount(), AtlasDrawBuffers::Capacity);
    EXPECT_EQ(b.candidateCount(), AtlasDrawBuffers::Capacity);
    // A caption that has its record still improves.
    std::vector<xe::Point> longer = {{10, 100}, {300, 100}};
    EXPECT_EQ(Render::addRoadCaption2d(b, table.slot(5), longer.data(), 2, clip), CandidateResult::Added);
    EXPECT_EQ(b.records()[5].x2, 300);
    EXPECT_EQ(b.candidateCount(), AtlasDrawBuffers::Capacity);
    expectPoolConsistent(b);

    // A full pool ends the group: later polylines of it get nothing.
    std::uint8_t on[256], lineFlags[256];
    std::fill(std::begin(on), std::end(on), 1);
    std::fill(std::begin(lineFlags), std::end(lineFlags), 1);
    const std::array<Render::PolylineStyle, 256> styles{};
    Render::RoadCaptionGroup group(on, lineFlags, styles, 100);
    EXPECT_EQ(group.add2d(b, 1, table.slot(AtlasDrawBuffers::Capacity), road.data(), 2, clip),
              CandidateResult::PoolFull);
    EXPECT_TRUE(group.finished());
    EXPECT_EQ(group.add2d(b, 1, table.slot(5), longer.data(), 2, clip), CandidateResult::PoolFull);
}

TEST(CaptionCandidates, PoiCaptionsOfTwentyBytesShowAndOfTwentyOneDoNot) {
    auto font = demoFont(12);
    ASSERT_TRUE(font);
    FakeTexts texts;
    AtlasDrawBuffers b;
    b.captionFont = font.get();
    Render::Caption3dTable table3d;
    Render::beginCaptions(b, texts, 100, table3d);
    CaptionTable table(2);
    table.entries[0] = {0, texts.add(u"Post office"), 20};
    table.entries[1] = {0, texts.add(u"Post office"), 21};
    Render::PoiCaption poi;
    poi.projected = true;
    poi.screen = {200, 150};
    poi.iconHeight = 16;
    poi.textColour = 0x000080;
    poi.haloColour = 0xFFFFFF;
    EXPECT_EQ(Render::addPoiCaption(b, table.slot(0), poi, screenCanvas, false), CandidateResult::Added);
    EXPECT_EQ(Render::addPoiCaption(b, table.slot(1), poi, screenCanvas, false), CandidateResult::Skipped);
    ASSERT_EQ(b.candidateCount(), 1);
    EXPECT_EQ(b.recordCount(), 1);
    const DrawRecord& r = *b.candidatesBegin()[0];
    Render::TextSize size;
    font->textSize(size, u"Post office");
    EXPECT_TRUE(r.isPoi());
    EXPECT_EQ(r.key, 20u);
    EXPECT_EQ(r.x1, 200 - size.width / 2);
    EXPECT_EQ(r.x2, 200 + size.width / 2);
    EXPECT_EQ(r.y1, 150 - 8 - size.height / 2);
    EXPECT_EQ(r.y2, r.y1);
    EXPECT_EQ(r.textColour, 0xFF000080u);
    EXPECT_EQ(r.haloColour, 0xFFFFFFFFu);

    // With the design's "poi" cursor the cursor's offset places the text.
    CaptionTable cursorTable(1);
    cursorTable.entries[0] = {0, texts.add(u"Cafe"), 8};
    poi.hasPoiCursor = true;
    poi.cursorOffsetY = 30;
    EXPECT_EQ(Render::addPoiCaption(b, cursorTable.slot(0), poi, screenCanvas, false),
              CandidateResult::Added);
    EXPECT_EQ(b.candidatesBegin()[1]->y1, 150 - 30 - size.height / 2);

    // Off the canvas or unprojected: nothing.
    CaptionTable more(1);
    more.entries[0] = {0, texts.add(u"Bank"), 8};
    poi.screen = {800, 10};
    EXPECT_EQ(Render::addPoiCaption(b, more.slot(0), poi, screenCanvas, false), CandidateResult::Skipped);
    poi.screen = {10, 10};
    poi.projected = false;
    EXPECT_EQ(Render::addPoiCaption(b, more.slot(0), poi, screenCanvas, false), CandidateResult::Skipped);
    EXPECT_EQ(more.entries[0].record, 0u);

    // In 3D a box above the horizon is dropped and its record given back.
    poi.projected = true;
    poi.screen = {300, 100};
    b.horizonRow = 90;
    EXPECT_EQ(Render::addPoiCaption(b, more.slot(0), poi, screenCanvas, true), CandidateResult::Skipped);
    EXPECT_EQ(more.entries[0].record, 0u);
    EXPECT_EQ(b.recordCount(), 2);
    poi.screen = {300, 200};
    EXPECT_EQ(Render::addPoiCaption(b, more.slot(0), poi, screenCanvas, true), CandidateResult::Added);
    expectPoolConsistent(b);
}

// Two POIs of one name: the second lies off the screen. It must leave the
// first one's record (made and listed by the first call) alone.
TEST(CaptionCandidates, DuplicatePoiNamesKeepThePoolIntact) {
    auto font = demoFont(12);
    ASSERT_TRUE(font);
    FakeTexts texts;
    AtlasDrawBuffers b;
    b.captionFont = font.get();
    b.horizonRow = 200;
    Render::Caption3dTable table3d;
    Render::beginCaptions(b, texts, 100, table3d);
    CaptionTable table(2);
    table.entries[0] = {0, texts.add(u"Pharmacy"), 16};
    table.entries[1] = {0, texts.add(u"Museum"), 12};

    Render::PoiCaption poi;
    poi.projected = true;
    poi.screen = {100, 300};
    poi.iconHeight = 10;
    ASSERT_EQ(Render::addPoiCaption(b, table.slot(0), poi, screenCanvas, true), CandidateResult::Added);
    const DrawRecord before = *b.candidatesBegin()[0];

    // Same name: off screen, then above the horizon; neither may release.
    Render::PoiCaption twin = poi;
    twin.screen = {-40, 300};
    EXPECT_EQ(Render::addPoiCaption(b, table.slot(0), twin, screenCanvas, true), CandidateResult::Skipped);
    twin.screen = {500, 50};
    EXPECT_EQ(Render::addPoiCaption(b, table.slot(0), twin, screenCanvas, true), CandidateResult::Skipped);
    EXPECT_EQ(b.recordCount(), 1);
    EXPECT_EQ(table.entries[0].record, 1u);
    ASSERT_EQ(b.candidateCount(), 1);
    EXPECT_EQ(b.candidatesBegin()[0]->x1, before.x1);
    EXPECT_EQ(b.candidatesBegin()[0]->y1, before.y1);

    // The next caption gets a fresh record, and the list stays sound.
    poi.screen = {400, 300};
    ASSERT_EQ(Render::addPoiCaption(b, table.slot(1), poi, screenCanvas, true), CandidateResult::Added);
    EXPECT_EQ(b.recordCount(), 2);
    ASSERT_EQ(b.candidateCount(), 2);
    EXPECT_NE(b.candidatesBegin()[0], b.candidatesBegin()[1]);
    EXPECT_EQ(b.candidatesBegin()[1]->textOffset, table.entries[1].offset);
    expectPoolConsistent(b);

    // A road caption never takes over the POI's record.
    std::vector<xe::Point> road = {{0, 10}, {300, 10}};
    EXPECT_EQ(
        Render::addRoadCaption2d(b, table.slot(0), road.data(), 2, Render::roadCaptionClip(screenCanvas)),
        CandidateResult::Skipped);
    EXPECT_TRUE(b.candidatesBegin()[0]->isPoi());
    EXPECT_EQ(b.candidatesBegin()[0]->y1, before.y1);
}

// A road caption keeps its longest visible segment over all its roads and,
// as spares, the next longest, longest first: the part of a segment inside
// the clip counts, a segment seen again (the road met in another cell) is
// not kept twice, and a longer segment coming later makes the chosen one
// the first spare. A differential test against sorting all segments.
TEST(CaptionCandidates, ARoadCaptionKeepsItsLongestSegmentsLongestFirst) {
    AtlasDrawBuffers b;
    CaptionTable table(1);
    const Render::ClipBox clip = Render::roadCaptionClip(screenCanvas);
    // Segments along a zigzag, their lengths 30, 80, 12, 55, 41, 70, 25,
    // 63, 18, 47 pixels; the last runs out of the clip (x 790 to 830).
    const std::vector<xe::Point> road = {{0, 100},  {30, 100},  {30, 180},  {42, 180},  {42, 125}, {83, 125},
                                         {83, 195}, {108, 195}, {108, 132}, {126, 132}, {126, 179}};
    const std::vector<xe::Point> edge = {{790, 300}, {830, 300}};
    const std::vector<xe::Point> longest = {{200, 400}, {300, 400}};
    std::vector<std::uint32_t> lengths;
    const auto keeps = [&](std::vector<std::uint32_t> expected) {
        std::sort(expected.begin(), expected.end(), std::greater<>());
        const DrawRecord& r = *b.candidatesBegin()[0];
        ASSERT_EQ(r.segmentCount(), std::min<int>(expected.size(), 1 + DrawRecord::SpareSegments));
        for (int i = 0; i < r.segmentCount(); ++i) {
            const Render::CaptionSegment s = r.segment(i);
            EXPECT_EQ(s.key, expected[i] * expected[i]) << i;
            EXPECT_EQ(s.key, std::uint32_t((s.x2 - s.x1) * (s.x2 - s.x1) + (s.y2 - s.y1) * (s.y2 - s.y1)))
                << i;
        }
    };
    ASSERT_EQ(Render::addRoadCaption2d(b, table.slot(0), road.data(), int(road.size()), clip),
              CandidateResult::Added);
    keeps({30, 80, 12, 55, 41, 70, 25, 63, 18, 47});
    // Seen again: nothing changes. The clipped edge segment is 9 long.
    EXPECT_EQ(Render::addRoadCaption2d(b, table.slot(0), road.data(), int(road.size()), clip),
              CandidateResult::Skipped);
    EXPECT_EQ(Render::addRoadCaption2d(b, table.slot(0), edge.data(), 2, clip), CandidateResult::Skipped);
    keeps({30, 80, 12, 55, 41, 70, 25, 63, 18, 47, 9});
    ASSERT_EQ(Render::addRoadCaption2d(b, table.slot(0), longest.data(), 2, clip), CandidateResult::Added);
    keeps({30, 80, 12, 55, 41, 70, 25, 63, 18, 47, 9, 100});
    EXPECT_EQ(b.candidateCount(), 1);
    expectPoolConsistent(b);
}
