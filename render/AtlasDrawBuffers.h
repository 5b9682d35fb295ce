#pragma once
// The atlas's caption buffers: the font captions are measured and drawn
// with, the horizon row and scale of the frame, the scratch surface of
// boxed labels, and the pool of caption records with the candidate list.
// The records are valid for one caption layer call: resetAll at its start
// detaches every record from its caption slot.

#include "core/TempSurface.h"
#include "render/DrawRecord.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Render {

class Font;
class CaptionTexts;

class AtlasDrawBuffers {
  public:
    static constexpr int Capacity = 1500;

    // What acquire gave: the record (null when the pool is full) and whether
    // this call made it.
    struct Acquired {
        DrawRecord* record = nullptr;
        bool created = false;
    };

    AtlasDrawBuffers();
    ~AtlasDrawBuffers();
    AtlasDrawBuffers(const AtlasDrawBuffers&) = delete;
    AtlasDrawBuffers& operator=(const AtlasDrawBuffers&) = delete;

    // Published by the frame: the renderer's map font and the horizon row
    // (-1 before the first map).
    Font* captionFont = nullptr;
    std::int32_t horizonRow = -1;
    // Set by the caption layer for the map being gathered.
    CaptionTexts* texts = nullptr;
    std::int32_t scale = 0;
    // 32-bit surface with alpha for boxed labels.
    TempSurface captionSurface;
    // Scratch for the text of one caption.
    std::u16string scratch;

    // The record of a caption slot, made (zeroed, text reference copied)
    // when the slot has none. An existing record keeps its flags, so a
    // caption already on the candidate list is never listed twice. Null
    // record when a new one is needed and all records are in use.
    Acquired acquire(const CaptionSlot& slot);
    // Undoes an acquire: only a record this acquire made and nobody listed
    // since is released (it is the last record; its slot is cleared). A
    // record another caller made or listed is left alone.
    void releaseLast(const Acquired& acquired);
    // Appends the record to the candidate list once (ignored when already
    // listed or the list is full) and marks it listed.
    void enlist(DrawRecord* record);
    // Clears the slot of every record in use and empties records and list.
    void resetAll();

    int recordCount() const { return m_recordCount; }
    DrawRecord* records() { return m_records.get(); }
    int candidateCount() const { return m_candidateCount; }
    DrawRecord** candidatesBegin() { return m_candidates.get(); }
    DrawRecord** candidatesEnd() { return m_candidates.get() + m_candidateCount; }
    void clearCandidates() { m_candidateCount = 0; }

  private:
    struct FreeStorage {
        void operator()(DrawRecord* records) const;
    };
    // Storage for Capacity records, each made when acquired: a frame uses a
    // few hundred of them, and the pages of the rest stay untouched.
    std::unique_ptr<DrawRecord, FreeStorage> m_records;
    int m_recordCount = 0;
    std::unique_ptr<DrawRecord*[]> m_candidates;
    int m_candidateCount = 0;
};

} // namespace Render
