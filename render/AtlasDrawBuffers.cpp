#include "render/AtlasDrawBuffers.h"

#include <cstdlib>
#include <new>
#include <type_traits>

namespace Render {

AtlasDrawBuffers::AtlasDrawBuffers()
    : captionSurface(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000),
      m_records(static_cast<DrawRecord*>(std::malloc(sizeof(DrawRecord) * Capacity))),
      m_candidates(new (std::nothrow) DrawRecord*[Capacity]) {}

// The caption slots may already be gone with their maps: nothing is written
// to them here (the caption layer detaches its records when it ends).
AtlasDrawBuffers::~AtlasDrawBuffers() = default;

// Records are never destroyed one by one: their storage is simply freed.
static_assert(std::is_trivially_destructible_v<DrawRecord>);
void AtlasDrawBuffers::FreeStorage::operator()(DrawRecord* records) const {
    std::free(records);
}

AtlasDrawBuffers::Acquired AtlasDrawBuffers::acquire(const CaptionSlot& slot) {
    if (!slot.recordWord) return {};
    const std::uint32_t word = *slot.recordWord;
    if (word != 0 && static_cast<int>(word) <= m_recordCount) {
        DrawRecord* existing = m_records.get() + (word - 1);
        if (existing->owner == slot.recordWord) return {existing, false};
    }
    if (!m_records || m_recordCount >= Capacity) return {};
    DrawRecord* record = new (m_records.get() + m_recordCount++) DrawRecord{};
    record->owner = slot.recordWord;
    record->textOffset = slot.textOffset;
    record->textLength = slot.textLength;
    *slot.recordWord = static_cast<std::uint32_t>(m_recordCount);
    return {record, true};
}

void AtlasDrawBuffers::releaseLast(const Acquired& acquired) {
    DrawRecord* record = acquired.record;
    if (!record || !acquired.created || record->isListed()) return;
    if (m_recordCount == 0 || record != m_records.get() + (m_recordCount - 1)) return;
    if (record->owner) *record->owner = 0;
    *record = DrawRecord{};
    --m_recordCount;
}

void AtlasDrawBuffers::enlist(DrawRecord* record) {
    if (!record || record->isListed() || !m_candidates || m_candidateCount >= Capacity) return;
    m_candidates[m_candidateCount++] = record;
    record->flags |= DrawRecord::Listed;
}

void AtlasDrawBuffers::resetAll() {
    for (int i = 0; i < m_recordCount; ++i) {
        DrawRecord& record = m_records.get()[i];
        if (record.owner && *record.owner == static_cast<std::uint32_t>(i + 1)) *record.owner = 0;
        record.owner = nullptr;
    }
    m_recordCount = 0;
    m_candidateCount = 0;
}

} // namespace Render
