#pragma once
// The records the caption layer gathers for one map and the caption placer
// places: one DrawRecord per caption, and in 3D one table entry per road
// piece that carries a caption.

#include "render/CaptionGeometry.h"

#include <cstdint>

namespace Render {

struct Caption3dEntry;

// A caption of the map's caption table as the caption layer sees it: the
// table entry's record word, which holds the index + 1 of the caption's
// DrawRecord while the caption layer runs (0: none), and the text reference
// (string section offset and byte length).
struct CaptionSlot {
    std::uint32_t* recordWord = nullptr;
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
};

// A piece of a road on the screen (pixels) and its squared length.
struct CaptionSegment {
    std::int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::uint32_t key = 0;

    bool sameEnds(const CaptionSegment& other) const {
        return x1 == other.x1 && y1 == other.y1 && x2 == other.x2 && y2 == other.y2;
    }
};

struct DrawRecord {
    static constexpr std::uint8_t PoiCaption = 1;
    static constexpr std::uint8_t Placed = 2;
    static constexpr std::uint8_t Listed = 4;

    std::uint32_t* owner = nullptr;    // the caption slot's record word
    Caption3dEntry* entry3d = nullptr; // in 3D: the table entry made last
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
    // Road caption: the chosen segment in screen pixels. POI caption: the
    // text box (left, top, right, bottom line; top and bottom are equal).
    std::int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    // Road caption: squared length of the chosen segment (32 bits, so long
    // segments compare correctly). POI caption: the text's byte length.
    std::uint32_t key = 0;
    std::uint8_t flags = 0;
    std::uint32_t textColour = 0; // 0xAABBGGRR, alpha forced to 0xFF
    std::uint32_t haloColour = 0;
    OrientedBox box; // kept by the placer
    // 2D road caption: the next longest visible segments after the chosen
    // one, longest first, where the placer looks when the chosen one has no
    // room left for the name.
    static constexpr int SpareSegments = 6;
    CaptionSegment spares[SpareSegments];
    std::uint8_t spareCount = 0;

    bool isPoi() const { return flags & PoiCaption; }
    // The chosen segment (or POI box) first, then the spares.
    int segmentCount() const { return 1 + spareCount; }
    CaptionSegment segment(int index) const {
        return index == 0 ? CaptionSegment{x1, y1, x2, y2, key} : spares[index - 1];
    }
    bool isPlaced() const { return flags & Placed; }
    bool isListed() const { return flags & Listed; }
};

// One road piece of a 3D caption: its clipped screen segment, its midpoint,
// the label box the placer computes, and the caption's record.
struct Caption3dEntry {
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::int32_t midX = 0, midY = 0;
    std::uint8_t hidden = 0;
    DrawRecord* record = nullptr;
    std::int32_t boxX = 0, boxY = 0, boxWidth = 0, boxHeight = 0;
    // Hidden because a nearer piece of its caption has the label: labelled
    // only when the nearer pieces have no room for it.
    std::uint8_t spare = 0;
};

struct Caption3dTable {
    static constexpr int Capacity = 50;
    Caption3dEntry entries[Capacity];
    int count = 0;
    int current = 0; // the entry being drawn

    bool full() const { return count >= Capacity; }
    void clear() {
        count = 0;
        current = 0;
    }
};

} // namespace Render
