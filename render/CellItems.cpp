#include "render/CellItems.h"

#include "map/RecordIterator.h"

#include <array>

namespace MapDrawing {

namespace {

// An item has at most 255 points: the scratch arrays never grow.
std::array<xe::Point, 256> g_points;
std::array<xe::Point, 256> g_normals;

// A little-endian u32 at data.
std::uint32_t u32At(const std::uint8_t* data) {
    return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

std::uint64_t packedBytes(std::uint64_t fields, unsigned w) { return (fields * w + 7) / 8; }

std::int32_t signMagnitude(std::uint32_t value, unsigned w) {
    const std::uint32_t top = std::uint32_t{1} << (w - 1);
    return (value & top) ? -static_cast<std::int32_t>(value & (top - 1)) : static_cast<std::int32_t>(value);
}

// Reads n points of w-bit fields starting at data; the caller has checked
// the bytes.
void readPoints(const std::uint8_t* data, std::uint32_t n, unsigned w, xe::Point* out) {
    // The fields follow each other: taken from an accumulator that each byte
    // enters once (w <= 32, so it never holds more than 39 bits).
    std::uint64_t bits = 0;
    unsigned held = 0;
    const std::uint64_t mask = (std::uint64_t{1} << w) - 1;
    auto field = [&] {
        while (held < w) {
            bits |= std::uint64_t{*data++} << held;
            held += 8;
        }
        const auto value = static_cast<std::int32_t>(bits & mask);
        bits >>= w;
        held -= w;
        return value;
    };
    for (std::uint32_t i = 0; i < n; ++i) {
        out[i].x = field();
        out[i].y = field();
    }
}

} // namespace

std::uint32_t PolylineDecoder::readBits(const std::uint8_t* data, std::uint64_t bit, unsigned count) {
    std::uint64_t value = 0;
    const std::uint64_t first = bit / 8;
    const unsigned skip = static_cast<unsigned>(bit % 8);
    const unsigned bytes = (skip + count + 7) / 8; // at most 5
    for (unsigned i = 0; i < bytes; ++i)
        value |= std::uint64_t{data[first + i]} << (8 * i);
    value >>= skip;
    return static_cast<std::uint32_t>(value & ((std::uint64_t{1} << count) - 1));
}

std::uint32_t PolylineRef::id(const std::uint8_t* item) {
    const std::uint32_t high = item[6];
    const std::uint32_t low = static_cast<std::uint32_t>(item[7]) | static_cast<std::uint32_t>(item[8]) << 8;
    if (high == 0xFF && low == 0xFFFF)
        return InvalidRoadId;
    return high * 65536 + low;
}

std::uint64_t polygonItemSize(std::uint32_t n, unsigned w) { return 6 + packedBytes(2 * std::uint64_t{n}, w); }

std::uint64_t polylineItemSize(std::uint32_t n, unsigned w) {
    const std::uint64_t normals = n > 0 ? n - 1 : 0;
    return 10 + packedBytes(2 * std::uint64_t{n}, w) + packedBytes(2 * normals, w);
}

std::uint64_t pointItemSize(unsigned w) { return 10 + packedBytes(2, w); }

CellItemWalker::CellItemWalker(const Map::Level::CellItems& cell, std::uint8_t kind, unsigned fieldBits)
    : m_blockCurrent(cell.current), m_blockEnd(cell.end), m_kind(kind), m_bits(fieldBits) {
    if (m_bits < 1 || m_bits > 32 || m_blockCurrent == nullptr || m_blockCurrent >= m_blockEnd)
        m_blockCurrent = nullptr;
}

bool CellItemWalker::nextGroup() {
    if (m_blockCurrent == nullptr)
        return false;
    Map::RecordIterator records(m_blockCurrent, m_blockEnd);
    Map::Record group;
    if (!records.nextOfType(m_kind, group)) {
        m_blockCurrent = nullptr;
        return false;
    }
    m_item = group.payload;
    m_groupEnd = group.end;
    m_blockCurrent = group.end < m_blockEnd ? group.end : nullptr;
    return true;
}

bool CellItemWalker::next(CellItem& out) {
    if (!nextHeader(out))
        return false;
    decode(out);
    return true;
}

bool CellItemWalker::nextHeader(CellItem& out) {
    while (m_item == nullptr || m_item >= m_groupEnd) {
        m_item = nullptr;
        if (!nextGroup())
            return false;
    }
    const std::uint8_t* item = m_item;
    const std::uint64_t left = static_cast<std::uint64_t>(m_groupEnd - item);
    const unsigned w = m_bits;
    // Header, then the size the header announces, both inside the group.
    const std::uint64_t header = m_kind == PolylineItems ? 10 : m_kind == PointItems ? 10 : 6;
    std::uint64_t size = 0;
    if (left >= header) {
        switch (m_kind) {
        case PolylineItems: size = polylineItemSize(item[9], w); break;
        case PointItems: size = pointItemSize(w); break;
        default: size = polygonItemSize(item[5], w); break;
        }
    }
    if (left < header || size > left) {
        // A damaged item: this group ends here, and with it the walk.
        m_item = nullptr;
        m_blockCurrent = nullptr;
        return false;
    }
    out = CellItem{};
    out.data = item;
    out.caption = u32At(item);
    switch (m_kind) {
    case PolylineItems:
        out.type = item[4];
        out.direction = item[5];
        out.road = PolylineRef::id(item);
        out.count = item[9];
        break;
    case PointItems:
        out.poiType = static_cast<std::uint16_t>(item[8] | item[9] << 8);
        out.address = u32At(item + 4);
        out.count = 1;
        break;
    default:
        out.type = item[4];
        out.count = item[5];
        break;
    }
    m_item = item + size;
    return true;
}

void CellItemWalker::decode(CellItem& out) const {
    const std::uint8_t* item = out.data;
    const unsigned w = m_bits;
    switch (m_kind) {
    case PolylineItems: {
        readPoints(item + 10, item[9], w, g_points.data());
        const std::uint8_t* normals = item + 10 + packedBytes(2 * std::uint64_t{item[9]}, w);
        const int normalCount = out.count > 0 ? out.count - 1 : 0;
        readPoints(normals, static_cast<std::uint32_t>(normalCount), w, g_normals.data());
        for (int i = 0; i < normalCount; ++i) {
            g_normals[i].x = signMagnitude(static_cast<std::uint32_t>(g_normals[i].x), w);
            g_normals[i].y = signMagnitude(static_cast<std::uint32_t>(g_normals[i].y), w);
        }
        out.points = g_points.data();
        out.normals = g_normals.data();
        break;
    }
    case PointItems:
        readPoints(item + 10, 1, w, g_points.data());
        out.points = g_points.data();
        break;
    default:
        readPoints(item + 6, item[5], w, g_points.data());
        out.points = g_points.data();
        break;
    }
}

} // namespace MapDrawing
