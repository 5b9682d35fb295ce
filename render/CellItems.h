#pragma once
// The items of a map cell's block as the layers read them. A block is a
// sequence of groups (Map::RecordIterator): kind 1 polygons, 2 polylines,
// 3 one coverage polygon, 4 points, each group holding its items back to
// back. Coordinates are unsigned fields of (cell shift + 1) bits, least
// significant bit first, relative to the cell corner.
//
// The block comes from a file the user can swap or damage: an item whose
// header or packed data would run past its group's end ends the walk of
// that group; nothing is read beyond it.

#include "map/Level.h"
#include "render/Canvas.h"

#include <cstdint>

namespace MapDrawing {

enum ItemKind : std::uint8_t { PolygonItems = 1, PolylineItems = 2, CoverageItems = 3, PointItems = 4 };

constexpr std::uint32_t InvalidRoadId = 0xFFFFFFFFu;

namespace PolylineDecoder {
// `count` bits at bit position `bit` of data (count 1..32), least
// significant first; the caller has checked that they lie inside the data.
std::uint32_t readBits(const std::uint8_t* data, std::uint64_t bit, unsigned count);
} // namespace PolylineDecoder

namespace PolylineRef {
// The road reference of a polyline item: byte 6 * 65536 + u16 at 7; 0xFF
// with 0xFFFF is InvalidRoadId.
std::uint32_t id(const std::uint8_t* item);
} // namespace PolylineRef

// One decoded item. The point arrays are shared scratch buffers, valid until
// the next item is decoded.
struct CellItem {
    const std::uint8_t* data = nullptr;
    std::uint32_t caption = 0;
    std::uint8_t type = 0;
    std::uint8_t direction = 0; // polylines: non-zero on one-way roads
    std::uint32_t road = InvalidRoadId; // polylines
    std::uint16_t poiType = 0;          // points
    std::uint32_t address = 0;          // points: the object's address record (0: none)
    int count = 0;
    const xe::Point* points = nullptr;
    const xe::Point* normals = nullptr; // polylines: count - 1 of them
};

// Bytes of an item with n points and fields of w bits.
std::uint64_t polygonItemSize(std::uint32_t n, unsigned w);
std::uint64_t polylineItemSize(std::uint32_t n, unsigned w);
std::uint64_t pointItemSize(unsigned w);

// Walks the items of one kind in one cell's block: every group of that kind
// in block order, every item in each group.
class CellItemWalker {
public:
    CellItemWalker(const Map::Level::CellItems& cell, std::uint8_t kind, unsigned fieldBits);
    // Decodes the next item; false at the end or at the first damaged item.
    bool next(CellItem& out);
    // The next item's header only (its points and normals left null), so
    // that items a layer skips are not decoded; decode() then fills them.
    bool nextHeader(CellItem& out);
    // The points (and normals) of the item nextHeader gave last.
    void decode(CellItem& item) const;

private:
    bool nextGroup();

    const std::uint8_t* m_blockCurrent;
    const std::uint8_t* m_blockEnd;
    std::uint8_t m_kind;
    unsigned m_bits;
    const std::uint8_t* m_item = nullptr;
    const std::uint8_t* m_groupEnd = nullptr;
};

} // namespace MapDrawing
