#pragma once
// The records of a road graph as the route search works on them.
//
// A node or a segment may span a chain of records. The record that an id
// names is the chain's head; further records follow it directly or are
// reached through a continuation. Ids are 24-bit in the map file (stored as
// u16 + u8, 0xFFFFFF none); here they are held unpacked in 32 bits with
// kNoId as none, and every array stays below kMaxRecords entries so that an
// id always fits the file's width again.
//
// The records are plain values with no padding, so two arrays can be
// compared byte for byte and a loader can fill them field by field.

#include <cstdint>
#include <type_traits>

namespace RoadGraph {

inline constexpr std::uint32_t kNoId = 0xFFFFFFFF;
// Ids run from 0 to kMaxRecords - 1; 0xFFFFFF is the stored none.
inline constexpr std::uint32_t kMaxRecords = 0xFFFFFF;
// Impassable segment, unreached node.
inline constexpr std::uint32_t kInfiniteCost = 0xFFFFFFFF;

// A 24-bit id as the map file stores it.
inline std::uint32_t unpackId(std::uint16_t low, std::uint8_t high) {
    if (low == 0xFFFF && high == 0xFF) return kNoId;
    return static_cast<std::uint32_t>(high) * 65536u + low;
}

// Ids held in 24-bit fields: every id fits (the arrays stay below
// kMaxRecords), so kNoId24, their none value, names no record either;
// reading one back gives an id at or beyond every array's end.
inline constexpr std::uint32_t kNoId24 = 0xFFFFFF;
static_assert(kMaxRecords <= kNoId24);

struct GridCell {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

// Flag byte of node and segment records.
namespace RecordFlag {
inline constexpr std::uint8_t Head = 0x01; // the record is its chain's head
inline constexpr std::uint8_t Last = 0x02; // the chain stops after this record
inline constexpr std::uint8_t Main = 0x04; // node: a vertex with labels and links; segment: listed in links
inline constexpr std::uint8_t Continues = 0x08; // the chain goes on at `next`
} // namespace RecordFlag

// Direction byte of segment records.
namespace Direction {
// The record is travelled from the segment's first end to its second end.
inline constexpr std::uint8_t Forward = 0x40;
// The record may be travelled both ways; it is listed at both end nodes.
inline constexpr std::uint8_t TwoWay = 0x80;
} // namespace Direction

namespace LinkFlag {
inline constexpr std::uint8_t LastLink = 0x01;
// The record names no segment: the list goes on at the link index it holds.
inline constexpr std::uint8_t Jump = 0x02;
} // namespace LinkFlag

// Byte 0 of a segment's attributes.
namespace RoadFlag {
inline constexpr std::uint8_t ClassMask = 0x07;
inline constexpr std::uint8_t Toll = 0x08;
inline constexpr std::uint8_t TwoWay = 0x10; // used by segments built between two nodes
inline constexpr std::uint8_t Unpaved = 0x20;
inline constexpr std::uint8_t Roundabout = 0x40;
inline constexpr std::uint8_t Forbidden = 0x80;
} // namespace RoadFlag

// The three attribute bytes of a segment chain.
struct SegmentAttributes {
    std::uint8_t road = 0;    // class (bits 0-2) and RoadFlag bits
    std::uint8_t access = 0;  // access bits, tested against the routing access mask
    std::uint8_t quality = 0; // road quality (bits 0-2, 4 neutral), turn code (bits 3-7)
    friend bool operator==(const SegmentAttributes&, const SegmentAttributes&) = default;
};

// 16 bytes, aligned, so that a record never straddles two cache lines. The
// search's labels are kept apart (VertexLabel).
struct NodeRecord {
    GridCell cell;                     // head records: the node's grid cell
    std::uint32_t head : 24 = kNoId24; // id of the chain's head (its own id in a head)
    std::uint32_t flags : 8 = 0;
    std::uint32_t next = kNoId;      // continuation, when RecordFlag::Continues
    std::uint32_t firstLink = kNoId; // main records: first link record
};

// The search's labels of one vertex record, in an array by record index
// kept with the road map (RoadMap::labels), so that testing a neighbour's
// label reads 8 bytes and the records stay read-only during a search.
inline constexpr std::uint32_t kLabelStamps = 0x7F; // stamps 1 .. kLabelStamps, 0 none
struct VertexLabel {
    std::uint32_t cost = kInfiniteCost;       // search label
    std::uint32_t predecessor : 24 = kNoId24; // segment record it was reached by
    std::uint32_t closed : 1 = 0;             // the search has settled it
    // The search these labels belong to; labels of any other stamp are
    // stale, read as unreached and open (0: no search).
    std::uint32_t stamp : 7 = 0;
};

struct SegmentRecord {
    std::uint32_t head = kNoId;   // id of the chain's head (its own id in a head)
    std::uint32_t next = kNoId;   // continuation, when RecordFlag::Continues
    std::uint32_t start = kNoId;  // node record travel starts at
    std::uint32_t end = kNoId;    // node record travel ends at
    std::uint16_t length = 0;     // head records: length of the whole chain
    SegmentAttributes attributes; // head records
    std::uint8_t direction = 0;   // Direction bits
    std::uint8_t flags = 0;
    std::uint8_t spare = 0;
};

// A link names its segment record and the vertex record it leads to (the
// record's end that is not the list's own vertex), so that the search tests
// and labels the neighbour without reading the segment record. The road map
// keeps `to` true whenever it writes records or links.
struct LinkRecord {
    std::uint32_t value : 24 = kNoId24; // a segment record id, or for a jump the link index to go on at
    std::uint32_t flags : 8 = 0;
    std::uint32_t to = kNoId; // the vertex record the segment leads to; none in a jump
};

static_assert(std::has_unique_object_representations_v<NodeRecord>);
static_assert(sizeof(NodeRecord) == 16);
static_assert(std::has_unique_object_representations_v<VertexLabel>);
static_assert(sizeof(VertexLabel) == 8);
static_assert(std::has_unique_object_representations_v<SegmentRecord>);
static_assert(std::has_unique_object_representations_v<LinkRecord>);
static_assert(sizeof(LinkRecord) == 8);

} // namespace RoadGraph
