#include "tools/mapwriter/MapWriter.h"

#include "tools/mapwriter/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>

namespace MapWriting {

namespace {

constexpr std::uint32_t MaxSize24 = 0xFFFFFF;

using TestSupport::put16;
using TestSupport::put32;
using TestSupport::put8;
void put24(Bytes& out, std::uint32_t id) {
    put16(out, id & 0xFFFF);
    put8(out, id >> 16);
}
void set32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

std::uint32_t checkedSize(std::uint64_t size, const char* what) {
    if (size > 0xFFFFFFFFu)
        throw std::invalid_argument(std::string(what) + " larger than 4 GB");
    return static_cast<std::uint32_t>(size);
}

// Fields of `bits` bits, least significant bit first.
class BitWriter {
public:
    explicit BitWriter(int bits) : m_bits(bits) {}
    void put(std::uint64_t value) {
        if (m_bits < 64 && (value >> m_bits) != 0)
            throw std::invalid_argument("coordinate does not fit the cell's field width");
        for (int i = 0; i < m_bits; ++i, ++m_at) {
            if (m_at % 8 == 0)
                m_out.push_back(0);
            if ((value >> i) & 1)
                m_out.back() = static_cast<std::uint8_t>(m_out.back() | (1 << (m_at % 8)));
        }
    }
    void putSigned(std::int64_t value) {
        const std::uint64_t magnitude = static_cast<std::uint64_t>(value < 0 ? -value : value);
        if (m_bits < 1 || (magnitude >> (m_bits - 1)) != 0)
            throw std::invalid_argument("normal does not fit the cell's field width");
        put(value < 0 ? (std::uint64_t{1} << (m_bits - 1)) | magnitude : magnitude);
    }
    const Bytes& bytes() const { return m_out; }

private:
    int m_bits;
    std::uint64_t m_at = 0;
    Bytes m_out;
};

void putRecordHeader(Bytes& out, std::uint8_t kind, std::uint64_t size) {
    if (size > MaxSize24)
        throw std::invalid_argument("cell record larger than 16 MB");
    put8(out, kind);
    put8(out, static_cast<std::uint32_t>(size >> 16));
    put16(out, static_cast<std::uint32_t>(size & 0xFFFF));
}

void putPolygon(Bytes& out, const Polygon& polygon, int w) {
    if (polygon.points.size() > 255)
        throw std::invalid_argument("polygon with more than 255 points");
    put32(out, polygon.caption);
    put8(out, polygon.type);
    put8(out, static_cast<std::uint32_t>(polygon.points.size()));
    BitWriter bits(w);
    for (const CellPoint& p : polygon.points) {
        bits.put(p.x);
        bits.put(p.y);
    }
    append(out, bits.bytes());
}

void putPolyline(Bytes& out, const Polyline& line, int w, std::uint8_t cellShift) {
    if (line.points.size() > 255)
        throw std::invalid_argument("polyline with more than 255 points");
    if (line.road > MaxSize24)
        throw std::invalid_argument("road reference beyond 24 bits");
    put32(out, line.caption);
    put8(out, line.type);
    put8(out, line.oneWay ? 1 : 0);
    put8(out, line.road >> 16);
    put16(out, line.road & 0xFFFF);
    put8(out, static_cast<std::uint32_t>(line.points.size()));
    BitWriter points(w);
    for (const CellPoint& p : line.points) {
        points.put(p.x);
        points.put(p.y);
    }
    append(out, points.bytes());
    // Normal of p->q: (dy, -dx) scaled to half a cell, so that a quarter turn
    // of it points from p to q.
    const double half = static_cast<double>(std::uint64_t{1} << cellShift) / 2;
    BitWriter normals(w);
    for (std::size_t i = 0; i + 1 < line.points.size(); ++i) {
        const double dx = static_cast<double>(line.points[i + 1].x) - line.points[i].x;
        const double dy = static_cast<double>(line.points[i + 1].y) - line.points[i].y;
        const double length = std::sqrt(dx * dx + dy * dy);
        std::int64_t nx = 0;
        std::int64_t ny = 0;
        if (length > 0) {
            nx = static_cast<std::int64_t>(std::floor(dy * half / length + 0.5));
            ny = static_cast<std::int64_t>(std::floor(-dx * half / length + 0.5));
        }
        normals.putSigned(nx);
        normals.putSigned(ny);
    }
    append(out, normals.bytes());
}

} // namespace

Bytes encodeStrings(const StringTable& strings) {
    Bytes out;
    put32(out, strings.dataLength());
    put32(out, strings.count());
    for (std::uint32_t id = 1; id < strings.count(); ++id) {
        for (char16_t unit : strings.text(id))
            put16(out, unit);
        put16(out, 0);
    }
    for (std::uint32_t id = 1; id < strings.count(); ++id)
        put32(out, strings.offsetOf(id) - 8);
    return out;
}

Bytes encodeCopyright(const CopyrightDescription& copyright) {
    Bytes out;
    for (std::uint32_t word : copyright.header)
        put32(out, word);
    for (char16_t unit : copyright.text)
        put16(out, unit);
    return out;
}

Bytes encodeCell(const Cell& cell, std::uint8_t cellShift, std::vector<std::uint32_t>* polylineOffsets) {
    const int w = cellShift + 1;
    Bytes out;
    if (!cell.polygons.empty()) {
        Bytes items;
        for (const Polygon& p : cell.polygons)
            putPolygon(items, p, w);
        putRecordHeader(out, 1, 4 + items.size());
        append(out, items);
    }
    if (!cell.polylines.empty()) {
        Bytes items;
        const std::size_t base = out.size() + 4;
        for (const Polyline& line : cell.polylines) {
            if (polylineOffsets != nullptr)
                polylineOffsets->push_back(static_cast<std::uint32_t>(base + items.size()));
            putPolyline(items, line, w, cellShift);
        }
        putRecordHeader(out, 2, 4 + items.size());
        append(out, items);
    }
    if (!cell.points.empty()) {
        Bytes items;
        for (const PointItem& p : cell.points) {
            put32(items, p.caption);
            put32(items, p.addressRecord);
            put16(items, p.poiType);
            BitWriter bits(w);
            bits.put(p.point.x);
            bits.put(p.point.y);
            append(items, bits.bytes());
        }
        putRecordHeader(out, 4, 4 + items.size());
        append(out, items);
    }
    for (const Polygon& p : cell.coverage) {
        Bytes item;
        putPolygon(item, p, w);
        putRecordHeader(out, 3, 4 + item.size());
        append(out, item);
    }
    if (out.size() > MaxSize24)
        throw std::invalid_argument("cell block larger than 16 MB");
    return out;
}

std::uint32_t EncodedGeometry::polylineOffset(std::uint8_t level, std::uint32_t cellX, std::uint32_t cellY,
                                              std::uint32_t index) const {
    auto found = polylines.find({level, cellX, cellY, index});
    if (found == polylines.end())
        throw std::invalid_argument("shape names a polyline that does not exist");
    return found->second;
}

EncodedGeometry encodeGeometry(const std::vector<LevelDescription>& levels) {
    if (levels.empty() || levels.size() > 10)
        throw std::invalid_argument("a map has 1 to 10 levels");
    EncodedGeometry result;
    std::vector<Bytes> parts;
    std::vector<Bytes> blocks;
    std::vector<std::vector<std::tuple<std::uint32_t, std::uint32_t, std::vector<std::uint32_t>, std::uint32_t>>>
        cellsOfLevel;
    for (const LevelDescription& level : levels) {
        if (level.coordinateBits < 1 || level.coordinateBits > 32 || level.cellShift > 30 || level.width == 0 ||
            level.height == 0)
            throw std::invalid_argument("invalid level frame");
        std::vector<const Cell*> sorted;
        for (const Cell& cell : level.cells) {
            if (cell.x >= level.width || cell.y >= level.height)
                throw std::invalid_argument("cell outside its level");
            if (cell.value == 0)
                throw std::invalid_argument("cell value 0 marks empty cells");
            sorted.push_back(&cell);
        }
        std::sort(sorted.begin(), sorted.end(),
                  [](const Cell* a, const Cell* b) { return std::tie(a->y, a->x) < std::tie(b->y, b->x); });
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (sorted[i]->x == sorted[i - 1]->x && sorted[i]->y == sorted[i - 1]->y)
                throw std::invalid_argument("two cells at one place");

        Bytes rows;
        Bytes table;
        Bytes levelBlocks;
        std::vector<std::tuple<std::uint32_t, std::uint32_t, std::vector<std::uint32_t>, std::uint32_t>> cellInfo;
        std::size_t next = 0;
        auto putRun = [&table](std::uint64_t run) {
            while (run > 0) {
                const std::uint32_t part = static_cast<std::uint32_t>(std::min<std::uint64_t>(run, 0xFFFF));
                put8(table, 0);
                put8(table, 0);
                put16(table, part);
                run -= part;
            }
        };
        for (std::uint32_t y = 0; y < level.height; ++y) {
            put32(rows, checkedSize(table.size() / 4, "cell table"));
            std::uint64_t column = 0;
            while (next < sorted.size() && sorted[next]->y == y) {
                const Cell& cell = *sorted[next++];
                putRun(cell.x - column);
                std::vector<std::uint32_t> offsets;
                const Bytes block = encodeCell(cell, level.cellShift, &offsets);
                if (block.empty())
                    throw std::invalid_argument("an occupied cell needs items");
                put8(table, cell.value);
                put8(table, static_cast<std::uint32_t>(block.size() >> 16));
                put16(table, static_cast<std::uint32_t>(block.size() & 0xFFFF));
                cellInfo.emplace_back(cell.x, cell.y, std::move(offsets),
                                      static_cast<std::uint32_t>(levelBlocks.size()));
                append(levelBlocks, block);
                column = cell.x + 1;
            }
            putRun(level.width - column);
        }
        put32(rows, checkedSize(table.size() / 4, "cell table"));

        Bytes part;
        put8(part, level.coordinateBits);
        put32(part, level.originX);
        put32(part, level.originY);
        put32(part, level.width);
        put32(part, level.height);
        put8(part, level.cellShift);
        part.insert(part.end(), 11, 0);
        put32(part, checkedSize(table.size(), "cell table"));
        put32(part, 0); // block offset, patched below
        append(part, rows);
        append(part, table);
        parts.push_back(std::move(part));
        blocks.push_back(std::move(levelBlocks));
        cellsOfLevel.push_back(std::move(cellInfo));
    }
    std::uint64_t cursor = 1;
    for (const Bytes& part : parts)
        cursor += part.size();
    Bytes& out = result.bytes;
    put8(out, static_cast<std::uint32_t>(levels.size()));
    std::uint64_t blockAt = cursor;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t partAt = out.size();
        append(out, parts[i]);
        set32(out, partAt + 33, checkedSize(blockAt, "geometry section"));
        result.blocksOffsets.push_back(static_cast<std::uint32_t>(blockAt));
        for (const auto& [x, y, offsets, blockOffset] : cellsOfLevel[i]) {
            const std::uint64_t cellAt = blockAt + blockOffset;
            result.cellBlocks[{static_cast<std::uint8_t>(i), x, y}] = checkedSize(cellAt, "geometry section");
            for (std::size_t k = 0; k < offsets.size(); ++k)
                result.polylines[{static_cast<std::uint8_t>(i), x, y, static_cast<std::uint32_t>(k)}] =
                    checkedSize(cellAt + offsets[k], "geometry section");
        }
        blockAt += blocks[i].size();
    }
    for (const Bytes& b : blocks)
        append(out, b);
    checkedSize(out.size(), "geometry section");
    return result;
}

Bytes encodeAddress(const AddressBuilder& address, const StringTable& strings) {
    auto name = [&strings](std::uint32_t id) { return strings.offsetOf(id); };
    Bytes tables[6];
    Bytes pool;
    put32(tables[0], static_cast<std::uint32_t>(address.countries.size()));
    for (std::uint32_t country : address.countries)
        put32(tables[0], name(country));
    put32(tables[1], static_cast<std::uint32_t>(address.regions.size()));
    for (const auto& r : address.regions) {
        put32(tables[1], name(r[0]));
        put32(tables[1], r[1]);
    }
    put32(tables[2], static_cast<std::uint32_t>(address.districts.size()));
    for (const auto& d : address.districts) {
        put32(tables[2], name(d[0]));
        put32(tables[2], d[1]);
        put32(tables[2], d[2]);
    }
    put32(tables[3], static_cast<std::uint32_t>(address.cities.size()));
    for (const auto& c : address.cities) {
        put32(tables[3], name(c.refs[0]));
        for (int i = 1; i < 4; ++i)
            put32(tables[3], c.refs[i]);
        put32(tables[3], c.extent);
        put32(tables[3], static_cast<std::uint32_t>(c.x));
        put32(tables[3], static_cast<std::uint32_t>(c.y));
    }
    put32(tables[4], static_cast<std::uint32_t>(address.streets.size()));
    for (const auto& s : address.streets) {
        if (s.houses.size() > 0xFFFF)
            throw std::invalid_argument("more than 65535 houses in a street");
        put32(tables[4], name(s.refs[0]));
        for (int i = 1; i < 5; ++i)
            put32(tables[4], s.refs[i]);
        put32(tables[4], s.extent);
        put32(tables[4], static_cast<std::uint32_t>(s.x));
        put32(tables[4], static_cast<std::uint32_t>(s.y));
        put32(tables[4], s.houses.empty() ? 0 : checkedSize(pool.size(), "list pool"));
        put16(tables[4], static_cast<std::uint32_t>(s.houses.size()));
        put8(tables[4], 0);
        for (std::uint32_t house : s.houses)
            put32(pool, house);
    }
    put32(tables[5], static_cast<std::uint32_t>(address.objects.size()));
    for (const ObjectDescription& o : address.objects) {
        put32(tables[5], name(o.name));
        put32(tables[5], o.city);
        put32(tables[5], o.street);
        put16(tables[5], o.type);
        put32(tables[5], name(o.addressText));
        put32(tables[5], static_cast<std::uint32_t>(o.x));
        put32(tables[5], static_cast<std::uint32_t>(o.y));
        const std::optional<std::uint32_t>* words[6] = {&o.text5, &o.text4, &o.text6, &o.text7, &o.text8, &o.number4};
        std::uint8_t flags = 0;
        for (int i = 0; i < 6; ++i)
            if (words[i]->has_value())
                flags = static_cast<std::uint8_t>(flags | (0x80 >> i));
        put8(tables[5], flags);
        for (int i = 0; i < 6; ++i)
            if (words[i]->has_value())
                put32(tables[5], i < 5 ? name(**words[i]) : **words[i]);
    }
    Bytes out(28, 0);
    for (int t = 0; t < 6; ++t) {
        set32(out, 4 * t, checkedSize(out.size(), "address section"));
        append(out, tables[t]);
    }
    set32(out, 24, checkedSize(out.size(), "address section"));
    append(out, pool);
    checkedSize(out.size(), "address section");
    return out;
}

EncodedRouting encodeRouting(const std::optional<RoadGraph>& graph, const EncodedGeometry& geometry) {
    EncodedRouting out;
    if (!graph) {
        put8(out.header, 0);
        put32(out.header, 0xFFFFFFFF);
        put32(out.header, 0xFFFFFFFF);
        put32(out.header, 0);
        put32(out.header, 0);
        put32(out.header, 0);
        put8(out.records, 0);
        put8(out.transit, 24);
        out.transit.insert(out.transit.end(), 3, 0);
        put32(out.transit, 0);
        put8(out.shapes, 0);
        return out;
    }
    const RoadGraph& g = *graph;
    const std::uint64_t nodeCount = g.nodes.size();
    std::uint64_t segmentCount = 0;
    for (const RoadChain& chain : g.chains) {
        if (chain.nodes.size() != chain.segments.size() + 1 || chain.segments.size() > 255)
            throw std::invalid_argument("a chain has 1 to 255 segments and one node more");
        for (std::uint32_t node : chain.nodes)
            if (node >= nodeCount)
                throw std::invalid_argument("chain names an unknown node");
        segmentCount += chain.segments.size();
    }
    if (nodeCount == 0 || segmentCount == 0 || nodeCount > MaxSize24 || segmentCount > MaxSize24)
        throw std::invalid_argument("a road graph has 1 to 2^24-1 nodes and segments");

    std::uint64_t nodeRecords = nodeCount;
    for (const RoadNode& node : g.nodes) {
        if (node.cellX > 0xFFFF || node.cellY > 0xFFFF)
            throw std::invalid_argument("node cell beyond 65535");
        if (g.vertexLayout && (node.vertices == 0 || node.vertices > 64))
            throw std::invalid_argument("a node has 1 to 64 vertices");
        if (g.vertexLayout && node.vertices > 1)
            nodeRecords += node.vertices;
    }
    std::uint64_t segmentRecords = segmentCount;
    if (g.vertexLayout)
        for (const RoadChain& chain : g.chains)
            for (const RoadSegment& s : chain.segments) {
                if (s.transitions.empty() || s.transitions.size() > 256)
                    throw std::invalid_argument("a segment has 1 to 256 transitions");
                segmentRecords += s.transitions.size() > 1 ? s.transitions.size() : 0;
            }

    // Header block.
    put8(out.header, g.vertexLayout ? 1 : 0);
    put32(out.header, static_cast<std::uint32_t>(segmentCount - 1));
    put32(out.header, static_cast<std::uint32_t>(nodeCount - 1));
    put32(out.header, static_cast<std::uint32_t>(segmentRecords));
    put32(out.header, static_cast<std::uint32_t>(nodeRecords));
    put32(out.header, static_cast<std::uint32_t>(2 * segmentRecords));
    if (g.vertexLayout)
        for (const RoadNode& node : g.nodes)
            put8(out.header, node.vertices - 1u);
    put32(out.header, static_cast<std::uint32_t>(g.chains.size()));
    for (const RoadChain& chain : g.chains) {
        const auto a = chain.attributes.bytes();
        put16(out.header, a[0] | (a[1] << 8));
        put8(out.header, a[2]);
    }
    for (const RoadChain& chain : g.chains)
        put8(out.header, static_cast<std::uint32_t>(chain.segments.size()));
    for (const RoadChain& chain : g.chains)
        put24(out.header, chain.nodes.front());
    for (const RoadChain& chain : g.chains)
        for (const RoadSegment& s : chain.segments)
            put16(out.header, s.lengthMetres);
    if (g.vertexLayout)
        for (const RoadChain& chain : g.chains)
            for (std::size_t k = 0; k < chain.segments.size(); ++k) {
                const RoadSegment& s = chain.segments[k];
                for (std::size_t i = 0; i < s.transitions.size(); ++i) {
                    const std::uint16_t word = s.transitions[i] & 0x3FFF;
                    if ((word & 0x3F) >= g.nodes[chain.nodes[k]].vertices ||
                        ((word >> 8) & 0x3F) >= g.nodes[chain.nodes[k + 1]].vertices)
                        throw std::invalid_argument("transition names a vertex the node lacks");
                    put16(out.header, word | (i + 1 < s.transitions.size() ? 0x8000 : 0));
                }
            }
    for (const RoadChain& chain : g.chains)
        for (std::size_t k = 1; k < chain.nodes.size(); ++k)
            put24(out.header, chain.nodes[k]);
    if (!g.vertexLayout) {
        put32(out.header, static_cast<std::uint32_t>(g.restrictions.size()));
        for (const TurnRestriction& r : g.restrictions) {
            if (r.path.empty() || r.path.size() > 255 || r.forbidden.size() > 255 || r.node >= nodeCount)
                throw std::invalid_argument("invalid turn restriction");
            put8(out.header, static_cast<std::uint32_t>(r.path.size()));
            put8(out.header, static_cast<std::uint32_t>(r.forbidden.size()));
            put32(out.header, r.node);
            for (std::uint32_t id : r.path)
                put32(out.header, id);
            for (std::uint32_t id : r.forbidden)
                put32(out.header, id);
        }
    } else if (!g.restrictions.empty()) {
        throw std::invalid_argument("the vertex layout carries no turn restrictions");
    }

    // Record block.
    put8(out.records, 0);
    for (const RoadNode& node : g.nodes) {
        put32(out.records, node.cellX);
        put32(out.records, node.cellY);
    }

    // Transit block.
    const std::uint64_t n = g.linkNodes.size();
    if (n > 0xFFFF)
        throw std::invalid_argument("more than 65535 link nodes");
    if (!g.transit.empty() && g.transit.size() != n * n)
        throw std::invalid_argument("transit table is not N x N");
    put8(out.transit, g.linkClass);
    out.transit.insert(out.transit.end(), 3, 0);
    put32(out.transit, static_cast<std::uint32_t>(n));
    for (const LinkNodeDescription& link : g.linkNodes) {
        if (link.graphNode >= nodeCount)
            throw std::invalid_argument("link node names an unknown graph node");
        put32(out.transit, link.graphNode);
        put32(out.transit, static_cast<std::uint32_t>(link.x));
        put32(out.transit, static_cast<std::uint32_t>(link.y));
    }
    for (std::uint64_t k = 0; k < n * n; ++k) {
        put32(out.transit, 0);
        put32(out.transit, g.transit.empty() ? 0xFFFFFFFF : g.transit[k]);
        put32(out.transit, 0);
    }

    // Shape block.
    put8(out.shapes, 0);
    const std::size_t tableAt = out.shapes.size();
    out.shapes.resize(tableAt + 4 * segmentCount, 0);
    std::size_t segment = 0;
    for (const RoadChain& chain : g.chains)
        for (std::size_t k = 0; k < chain.segments.size(); ++k, ++segment) {
            const RoadSegment& s = chain.segments[k];
            if (s.shape.size() > 0xFFFF)
                throw std::invalid_argument("shape with more than 65535 steps");
            set32(out.shapes, tableAt + 4 * segment, checkedSize(out.shapes.size(), "shape block"));
            put16(out.shapes, static_cast<std::uint32_t>(s.shape.size()));
            std::int64_t x = g.nodes[chain.nodes[k]].cellX;
            std::int64_t y = g.nodes[chain.nodes[k]].cellY;
            for (const ShapeRef& step : s.shape) {
                const std::int64_t dx = static_cast<std::int64_t>(step.cellX) - x;
                const std::int64_t dy = static_cast<std::int64_t>(step.cellY) - y;
                if (dx < -1 || dx > 1 || dy < -1 || dy > 1)
                    throw std::invalid_argument("shape step of more than one cell");
                put32(out.shapes, geometry.polylineOffset(0, step.cellX, step.cellY, step.polyline));
                put8(out.shapes, static_cast<std::uint32_t>((dy + 1) * 3 + (dx + 1)));
                put8(out.shapes, step.flag);
                x = step.cellX;
                y = step.cellY;
            }
        }
    return out;
}

WrittenMap writeMap(const MapDescription& map) {
    if (map.signature != "MLVA" && map.signature != "MLVB")
        throw std::invalid_argument("signature is MLVA or MLVB");
    WrittenMap result;
    Bytes& out = result.bytes;
    out.assign(48, 0);
    auto& words = result.header;

    const Bytes strings = encodeStrings(map.strings);
    words[1] = checkedSize(out.size(), "map file");
    words[10] = checkedSize(out.size() + 8 + map.strings.dataLength(), "map file");
    result.stringsSize = static_cast<std::uint32_t>(strings.size());
    append(out, strings);

    result.geometry = encodeGeometry(map.levels);
    words[6] = checkedSize(out.size(), "map file");
    append(out, result.geometry.bytes);
    words[7] = checkedSize(out.size(), "map file");

    const EncodedRouting routing = encodeRouting(map.roads, result.geometry);
    append(out, routing.shapes);
    result.shapesSize = static_cast<std::uint32_t>(routing.shapes.size());
    words[4] = checkedSize(out.size(), "map file");
    append(out, routing.header);
    result.routingHeaderSize = static_cast<std::uint32_t>(routing.header.size());
    words[8] = checkedSize(out.size(), "map file");
    append(out, routing.records);
    words[5] = checkedSize(out.size(), "map file");
    append(out, routing.transit);

    auto addSection = [&](std::uint16_t type, std::uint16_t version, const Bytes& bytes) {
        result.directory.push_back({type, version, checkedSize(out.size(), "map file"),
                                    checkedSize(bytes.size(), "section")});
        append(out, bytes);
    };
    if (map.copyright)
        addSection(2, 1, encodeCopyright(*map.copyright));
    addSection(4, 1, encodeAddress(map.address, map.strings));
    for (const ExtraSection& section : map.sections)
        addSection(section.type, section.version, section.bytes);
    words[9] = checkedSize(out.size(), "map file");
    put32(out, static_cast<std::uint32_t>(result.directory.size()));
    for (const DirectoryEntry& e : result.directory) {
        put16(out, e.type);
        put16(out, e.version);
        put32(out, e.offset);
        put32(out, e.size);
    }
    checkedSize(out.size(), "map file");

    words[0] = static_cast<std::uint32_t>(map.signature[0]) | (static_cast<std::uint32_t>(map.signature[1]) << 8) |
               (static_cast<std::uint32_t>(map.signature[2]) << 16) |
               (static_cast<std::uint32_t>(map.signature[3]) << 24);
    words[2] = 0x0200;
    words[3] = map.mapId;
    words[11] = map.mapType;
    for (int i = 0; i < 12; ++i)
        set32(out, 4 * i, words[i]);
    return result;
}

void writeMapFile(const std::filesystem::path& path, const MapDescription& map) {
    const WrittenMap written = writeMap(map);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(written.bytes.data()), static_cast<std::streamsize>(written.bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write map file " + path.string());
}

} // namespace MapWriting
