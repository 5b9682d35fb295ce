#include "render/CaptionCandidates.h"

#include "render/CaptionTexts.h"
#include "render/Font.h"

#include <algorithm>
#include <limits>

namespace Render {

namespace {

std::int16_t toI16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
}

std::uint32_t squaredLength(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    const std::int64_t dx = std::int64_t{x2} - x1, dy = std::int64_t{y2} - y1;
    const std::int64_t length = dx * dx + dy * dy;
    return static_cast<std::uint32_t>(
        std::min<std::int64_t>(length, std::numeric_limits<std::uint32_t>::max()));
}

// Keeps the segment among the record's spares when it is one of the
// longest seen after the chosen one and not one of them already (the same
// segment has the same length).
void keepSpare(DrawRecord& record, const CaptionSegment& segment) {
    const int count = record.spareCount;
    if (segment.key == 0 ||
        (count == DrawRecord::SpareSegments && record.spares[count - 1].key >= segment.key) ||
        (segment.key == record.key && segment.sameEnds(record.segment(0))))
        return;
    int at = 0;
    for (; at < count && record.spares[at].key >= segment.key; ++at)
        if (record.spares[at].key == segment.key && segment.sameEnds(record.spares[at])) return;
    if (at >= DrawRecord::SpareSegments) return;
    const int kept = std::min(count + 1, DrawRecord::SpareSegments);
    for (int i = kept - 1; i > at; --i)
        record.spares[i] = record.spares[i - 1];
    record.spares[at] = segment;
    record.spareCount = static_cast<std::uint8_t>(kept);
}

// A road caption must not take over a POI's record or the reverse: the two
// kinds keep their boxes in the same fields.
bool kindMismatch(const AtlasDrawBuffers::Acquired& acquired, bool poi) {
    return !acquired.created && acquired.record->isPoi() != poi;
}

} // namespace

ClipBox roadCaptionClip(const xe::Canvas& canvas) {
    return ClipBox{canvas.left, canvas.top, canvas.right, canvas.bottom - 10};
}

void beginCaptions(AtlasDrawBuffers& buffers, CaptionTexts& texts, std::int32_t scale,
                   Caption3dTable& table) {
    buffers.texts = &texts;
    buffers.scale = scale;
    buffers.clearCandidates();
    table.clear();
    buffers.resetAll();
}

CandidateResult addRoadCaption2d(AtlasDrawBuffers& buffers, const CaptionSlot& slot, const xe::Point* screen,
                                 int count, const ClipBox& clip) {
    const AtlasDrawBuffers::Acquired acquired = buffers.acquire(slot);
    DrawRecord* record = acquired.record;
    if (!record) return CandidateResult::PoolFull;
    if (kindMismatch(acquired, false)) return CandidateResult::Skipped;
    bool improved = false;
    for (int i = 0; i + 1 < count; ++i) {
        std::int32_t x1 = screen[i].x, y1 = screen[i].y, x2 = screen[i + 1].x, y2 = screen[i + 1].y;
        if (!clipSegment(x1, y1, x2, y2, clip)) continue;
        const std::uint32_t length = squaredLength(x1, y1, x2, y2);
        const CaptionSegment segment{toI16(x1), toI16(y1), toI16(x2), toI16(y2), length};
        if (length <= record->key) {
            keepSpare(*record, segment);
            continue;
        }
        // The chosen segment so far becomes the longest spare.
        const CaptionSegment chosen = record->segment(0);
        record->x1 = segment.x1;
        record->y1 = segment.y1;
        record->x2 = segment.x2;
        record->y2 = segment.y2;
        record->key = length;
        if (chosen.key != 0) keepSpare(*record, chosen);
        record->textColour = 0xFF000000;
        record->haloColour = 0xFFFFFFFF;
        buffers.enlist(record);
        improved = true;
    }
    if (!improved) {
        buffers.releaseLast(acquired);
        return CandidateResult::Skipped;
    }
    return CandidateResult::Added;
}

CandidateResult addRoadCaption3d(AtlasDrawBuffers& buffers, Caption3dTable& table, const CaptionSlot& slot,
                                 const xe::Point* level, int count, const CaptionProjection& projection,
                                 const xe::Point& focus, const ClipBox& clip) {
    if (table.full()) return CandidateResult::TableFull;
    const AtlasDrawBuffers::Acquired acquired = buffers.acquire(slot);
    DrawRecord* record = acquired.record;
    if (!record) return CandidateResult::PoolFull;
    if (kindMismatch(acquired, false)) return CandidateResult::Skipped;

    bool found = false;
    std::int32_t best[4] = {0, 0, 0, 0};
    std::int64_t bestDistance = 0;
    for (int i = 0; i + 1 < count; ++i) {
        xe::Point a, b;
        if (!projection.project(static_cast<std::uint32_t>(level[i].x),
                                static_cast<std::uint32_t>(level[i].y), a) ||
            !projection.project(static_cast<std::uint32_t>(level[i + 1].x),
                                static_cast<std::uint32_t>(level[i + 1].y), b))
            continue;
        std::int32_t x1 = a.x, y1 = a.y, x2 = b.x, y2 = b.y;
        if (!clipSegment(x1, y1, x2, y2, clip)) continue;
        const std::int64_t mx = (std::int64_t{x1} + x2) / 2, my = (std::int64_t{y1} + y2) / 2;
        const std::int64_t distance = (mx - focus.x) * (mx - focus.x) + (my - focus.y) * (my - focus.y);
        if (!found || distance < bestDistance) {
            found = true;
            bestDistance = distance;
            best[0] = x1;
            best[1] = y1;
            best[2] = x2;
            best[3] = y2;
        }
    }
    if (!found) {
        buffers.releaseLast(acquired);
        return CandidateResult::Skipped;
    }
    Caption3dEntry& entry = table.entries[table.count++];
    entry = Caption3dEntry{};
    entry.textOffset = slot.textOffset;
    entry.textLength = slot.textLength;
    entry.x1 = best[0];
    entry.y1 = best[1];
    entry.x2 = best[2];
    entry.y2 = best[3];
    entry.midX = static_cast<std::int32_t>((std::int64_t{best[0]} + best[2]) / 2);
    entry.midY = static_cast<std::int32_t>((std::int64_t{best[1]} + best[3]) / 2);
    entry.record = record;
    record->entry3d = &entry;
    record->textColour = 0xFF000000;
    record->haloColour = 0xFFFFFFFF;
    return CandidateResult::Added;
}

CandidateResult RoadCaptionGroup::add2d(AtlasDrawBuffers& buffers, std::uint8_t type, const CaptionSlot& slot,
                                        const xe::Point* screen, int count, const ClipBox& clip) {
    if (m_finished) return CandidateResult::PoolFull;
    if (!shown(type)) return CandidateResult::Skipped;
    const CandidateResult result = addRoadCaption2d(buffers, slot, screen, count, clip);
    m_finished = result == CandidateResult::PoolFull;
    return result;
}

CandidateResult RoadCaptionGroup::add3d(AtlasDrawBuffers& buffers, Caption3dTable& table, std::uint8_t type,
                                        const CaptionSlot& slot, const xe::Point* level, int count,
                                        const CaptionProjection& projection, const xe::Point& focus,
                                        const ClipBox& clip) {
    if (m_finished) return table.full() ? CandidateResult::TableFull : CandidateResult::PoolFull;
    if (!shown(type)) return CandidateResult::Skipped;
    const CandidateResult result =
        addRoadCaption3d(buffers, table, slot, level, count, projection, focus, clip);
    m_finished = result == CandidateResult::PoolFull || result == CandidateResult::TableFull;
    return result;
}

CandidateResult addPoiCaption(AtlasDrawBuffers& buffers, const CaptionSlot& slot, const PoiCaption& poi,
                              const xe::Canvas& canvas, bool view3d) {
    if (!poi.projected) return CandidateResult::Skipped;
    const std::int32_t x = poi.screen.x, y = poi.screen.y;
    if (x < canvas.left || x >= canvas.right || y < canvas.top || y >= canvas.bottom)
        return CandidateResult::Skipped;
    if (slot.textLength >= 21) return CandidateResult::Skipped;

    const AtlasDrawBuffers::Acquired acquired = buffers.acquire(slot);
    DrawRecord* record = acquired.record;
    if (!record) return CandidateResult::PoolFull;
    if (kindMismatch(acquired, true)) return CandidateResult::Skipped;

    std::u16string& text = buffers.scratch;
    if (!buffers.texts || !buffers.texts->text(slot.textOffset, slot.textLength, text)) text.clear();
    TextSize size;
    if (!buffers.captionFont || !buffers.captionFont->textSize(size, text)) {
        buffers.releaseLast(acquired);
        return CandidateResult::Skipped;
    }
    const std::int32_t top =
        poi.hasPoiCursor ? y - poi.cursorOffsetY - size.height / 2 : y - poi.iconHeight / 2 - size.height / 2;
    if (view3d && top < buffers.horizonRow) {
        buffers.releaseLast(acquired);
        return CandidateResult::Skipped;
    }
    record->flags |= DrawRecord::PoiCaption;
    if (record->key == 0) record->key = slot.textLength;
    record->x1 = toI16(x - size.width / 2);
    record->x2 = toI16(x + size.width / 2);
    record->y1 = record->y2 = toI16(top);
    record->textColour = poi.textColour | 0xFF000000;
    record->haloColour = poi.haloColour | 0xFF000000;
    buffers.enlist(record);
    return CandidateResult::Added;
}

} // namespace Render
