#include "map/file/RoutingSectionReader.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

#include <algorithm>

namespace Map::File {

using detail::fits;
using detail::id24At;
using detail::u16At;
using detail::u32At;

namespace {

constexpr std::uint64_t HeaderSize = 21;
constexpr std::uint32_t MaxLinkNodes = 0xFFFF;
constexpr std::size_t MaxTransitionWords = 256;
constexpr std::uint8_t MaxVertexIndex = 63;

// Reads fields from a bounded range; every read checks the bytes left first.
class Cursor {
public:
    Cursor(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t at) : m_bytes(bytes), m_size(size), m_at(at) {}
    bool has(std::uint64_t n) const { return fits(m_at, n, m_size); }
    std::uint64_t left() const { return m_size - m_at; }
    std::uint8_t u8() { return m_bytes[m_at++]; }
    std::uint16_t u16() {
        const std::uint16_t v = u16At(m_bytes + m_at);
        m_at += 2;
        return v;
    }
    std::uint32_t u32() {
        const std::uint32_t v = u32At(m_bytes + m_at);
        m_at += 4;
        return v;
    }
    std::uint32_t id24() {
        const std::uint32_t v = id24At(m_bytes + m_at);
        m_at += 3;
        return v;
    }

private:
    const std::uint8_t* m_bytes;
    std::uint64_t m_size;
    std::uint64_t m_at;
};

struct Restriction {
    std::uint32_t node = 0;
    std::vector<std::uint32_t> path;
    std::vector<std::uint32_t> forbidden;
};

// The whole graph stream, read and checked before the builder sees any of it.
struct Graph {
    std::vector<std::uint8_t> vertices;
    std::vector<SegmentAttributes> chainAttributes;
    std::vector<std::uint8_t> chainLengths;
    std::vector<std::uint32_t> chainFirst;
    std::vector<std::uint16_t> lengths;
    std::vector<std::uint16_t> words;
    std::vector<std::uint32_t> wordStart; // per segment, plus one
    std::vector<std::uint32_t> next;
    std::vector<Restriction> restrictions;
};

class EmptyRouting : public RoutingSectionReader::ImplBase {
public:
    std::uint16_t linkNodeCount() const override { return 0; }
    std::uint8_t linkClass() const override { return 24; }
    std::uint32_t loadGraph(RoadMapBuilder&) override { return RoutingSectionReader::Loaded; }
    bool linkNodes(std::uint8_t& linkClass, std::vector<LinkNode>& out) override {
        linkClass = 24;
        out.clear();
        return true;
    }
    bool transitTable(std::vector<std::uint32_t>& out) override {
        out.clear();
        return true;
    }
    bool shape(std::uint32_t, std::pair<std::int32_t, std::int32_t>, std::vector<ShapeStep>&) override {
        return false;
    }
    bool linkNodeIds(std::vector<std::uint32_t>& out) override {
        out.clear();
        return true;
    }
};

class RoutingImplV0 : public RoutingSectionReader::ImplBase {
public:
    RoutingImplV0(ViewFactory& file, const RoutingLocation& at, std::shared_ptr<SectionView> header,
                  std::uint32_t shapeLast, std::uint32_t nodeLast)
        : m_header(std::move(header)), m_segmentCount(static_cast<std::uint64_t>(shapeLast) + 1),
          m_nodeCount(static_cast<std::uint64_t>(nodeLast) + 1) {
        m_records = viewOf(file, at.recordBlock, 8 * m_nodeCount + 1);
        auto transitHead = viewOf(file, at.transitBlock, 8);
        const std::uint8_t* head = transitHead->acquire();
        if (head == nullptr)
            throw FormatError("Can't create file mapping view");
        m_linkClass = head[0];
        m_linkNodes = u32At(head + 4);
        // The transit block of so many nodes would pass 4 GB (and its size
        // 64 bits): no view of it can be made.
        if (m_linkNodes > MaxLinkNodes)
            throw FormatError("Can't create file mapping view");
        const std::uint64_t n = m_linkNodes;
        m_transit = viewOf(file, at.transitBlock, 12 * n * (n + 1) + 8);

        const std::uint64_t tableSize = 4 * m_segmentCount + 1;
        m_shapes = viewOf(file, at.shapeBlock, tableSize);
        const std::uint8_t* table = m_shapes->acquire();
        if (table == nullptr)
            throw FormatError("Can't create file mapping view");
        const std::uint64_t lastOffset = u32At(table + 1 + 4 * (m_segmentCount - 1));
        auto lastHead = viewOf(file, at.shapeBlock, std::max(tableSize, lastOffset + 2));
        const std::uint8_t* last = lastHead->acquire();
        if (last == nullptr)
            throw FormatError("Can't create file mapping view");
        const std::uint64_t lastCount = u16At(last + lastOffset);
        m_shapes = viewOf(file, at.shapeBlock, std::max(tableSize, lastOffset + 2 + 6 * lastCount));
    }

    std::uint16_t linkNodeCount() const override { return static_cast<std::uint16_t>(m_linkNodes); }
    std::uint8_t linkClass() const override { return m_linkClass; }

    std::uint32_t loadGraph(RoadMapBuilder& builder) override {
        // Mapping one view may release another of the same file, so each
        // block is copied out before the next is acquired.
        const std::uint8_t* header = m_header->acquire();
        if (header == nullptr || m_header->size() < HeaderSize)
            return RoutingSectionReader::BadFormat;
        const bool vertexLayout = (header[0] & 1) != 0;
        const std::uint32_t capacityBases[3] = {u32At(header + 9), u32At(header + 13), u32At(header + 17)};
        Graph graph;
        if (!readGraph(header, vertexLayout, graph))
            return RoutingSectionReader::BadFormat;
        const std::uint8_t* records = m_records->acquire();
        if (records == nullptr || m_records->size() < 8 * m_nodeCount + 1)
            return RoutingSectionReader::BadFormat;
        std::vector<std::uint16_t> cells(2 * m_nodeCount);
        for (std::uint64_t i = 0; i < m_nodeCount; ++i) {
            cells[2 * i] = u16At(records + 1 + 8 * i);
            cells[2 * i + 1] = u16At(records + 1 + 8 * i + 4);
        }

        // Records the road map writes: extra main records of nodes with
        // several vertices and extra records of segments with several
        // transitions come on top of the counts.
        std::uint64_t nodeRecords = m_nodeCount;
        for (std::uint8_t extra : graph.vertices)
            nodeRecords += extra > 0 ? extra + 1u : 0u;
        std::uint64_t segmentRecords = m_segmentCount;
        for (std::uint64_t s = 0; s + 1 < graph.wordStart.size(); ++s) {
            const std::uint64_t words = graph.wordStart[s + 1] - graph.wordStart[s];
            segmentRecords += words > 1 ? words : 0;
        }
        const std::uint64_t segmentCapacity = static_cast<std::uint64_t>(capacityBases[0]) + 290;
        const std::uint64_t nodeCapacity = static_cast<std::uint64_t>(capacityBases[1]) + (vertexLayout ? 20 : 120);
        const std::uint64_t linkCapacity = static_cast<std::uint64_t>(capacityBases[2]) + 580;
        if (segmentCapacity < segmentRecords || nodeCapacity < nodeRecords || linkCapacity < 2 * segmentRecords)
            return RoutingSectionReader::BadFormat;

        if (!builder.reserve(segmentCapacity, static_cast<std::uint32_t>(m_nodeCount), nodeCapacity,
                             static_cast<std::uint32_t>(m_segmentCount), linkCapacity))
            return RoutingSectionReader::OutOfMemory;
        for (std::uint64_t i = 0; i < m_nodeCount; ++i) {
            const std::uint8_t vertices = vertexLayout ? static_cast<std::uint8_t>(graph.vertices[i] + 1) : 1;
            builder.setNode(static_cast<std::uint32_t>(i), cells[2 * i], cells[2 * i + 1], vertices);
        }
        std::uint32_t segment = 0;
        for (std::size_t c = 0; c < graph.chainAttributes.size(); ++c) {
            std::uint32_t from = graph.chainFirst[c];
            SegmentAttributes attributes = graph.chainAttributes[c];
            for (std::uint8_t k = 0; k < graph.chainLengths[c]; ++k, ++segment) {
                // Only a chain's first segment carries its turn code.
                if (k == 1)
                    attributes.bytes[2] &= 0x07;
                const std::uint32_t to = graph.next[segment];
                if (vertexLayout) {
                    const std::span<const std::uint16_t> words(graph.words.data() + graph.wordStart[segment],
                                                               graph.wordStart[segment + 1] - graph.wordStart[segment]);
                    builder.addSegmentWithTransitions(segment, attributes, from, to, graph.lengths[segment], words);
                } else {
                    builder.addSegment(segment, attributes, from, to, graph.lengths[segment]);
                }
                from = to;
            }
        }
        builder.finish();
        for (const Restriction& r : graph.restrictions)
            builder.addTurnRestriction(r.node, r.path, r.forbidden);
        return RoutingSectionReader::Loaded;
    }

    bool linkNodes(std::uint8_t& linkClass, std::vector<LinkNode>& out) override {
        const std::uint8_t* bytes = m_transit->acquire();
        if (bytes == nullptr)
            return false;
        linkClass = bytes[0];
        out.resize(m_linkNodes);
        for (std::uint32_t i = 0; i < m_linkNodes; ++i)
            out[i] = {u32At(bytes + 8 + 12 * i + 4), u32At(bytes + 8 + 12 * i + 8)};
        return true;
    }

    bool transitTable(std::vector<std::uint32_t>& out) override {
        const std::uint8_t* bytes = m_transit->acquire();
        if (bytes == nullptr)
            return false;
        const std::uint64_t n = m_linkNodes;
        const std::uint8_t* table = bytes + 8 + 12 * n;
        out.resize(n * n);
        for (std::uint64_t k = 0; k < n * n; ++k)
            out[k] = u32At(table + 12 * k + 4);
        return true;
    }

    bool shape(std::uint32_t index, std::pair<std::int32_t, std::int32_t> start, std::vector<ShapeStep>& out) override {
        out.clear();
        if (index >= m_segmentCount)
            return false;
        const std::uint8_t* bytes = m_shapes->acquire();
        if (bytes == nullptr)
            return false;
        const std::uint64_t size = m_shapes->size();
        const std::uint64_t offset = u32At(bytes + 1 + 4 * static_cast<std::uint64_t>(index));
        if (!fits(offset, 2, size))
            return false;
        const std::uint64_t count = u16At(bytes + offset);
        if (!fits(offset + 2, 6 * count, size))
            return false;
        static constexpr std::int8_t dx[9] = {-1, 0, 1, -1, 0, 1, -1, 0, 1};
        static constexpr std::int8_t dy[9] = {-1, -1, -1, 0, 0, 0, 1, 1, 1};
        // Cells move in wrapping 32-bit steps: no hostile shape can overflow.
        std::uint32_t x = static_cast<std::uint32_t>(start.first);
        std::uint32_t y = static_cast<std::uint32_t>(start.second);
        out.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint8_t* step = bytes + offset + 2 + 6 * i;
            const std::uint8_t code = step[4];
            if (code > 8) {
                out.clear();
                return false;
            }
            x += static_cast<std::uint32_t>(static_cast<std::int32_t>(dx[code]));
            y += static_cast<std::uint32_t>(static_cast<std::int32_t>(dy[code]));
            out.push_back({u32At(step), static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), step[5]});
        }
        return true;
    }

    bool linkNodeIds(std::vector<std::uint32_t>& out) override {
        out.clear();
        const std::uint8_t* bytes = m_transit->acquire();
        if (bytes == nullptr)
            return false;
        std::vector<std::uint32_t> ids(m_linkNodes);
        for (std::uint32_t i = 0; i < m_linkNodes; ++i) {
            ids[i] = u32At(bytes + 8 + 12 * i);
            if (ids[i] >= m_nodeCount)
                return false;
        }
        out = std::move(ids);
        return true;
    }

private:
    static std::shared_ptr<SectionView> viewOf(ViewFactory& file, std::uint64_t offset, std::uint64_t size) {
        auto view = file.view(offset, size);
        if (!view)
            throw FormatError("Can't create file mapping view");
        return view;
    }

    bool readGraph(const std::uint8_t* header, bool vertexLayout, Graph& g) const {
        Cursor in(header, m_header->size(), HeaderSize);
        if (vertexLayout) {
            if (!in.has(m_nodeCount))
                return false;
            g.vertices.resize(m_nodeCount);
            for (auto& v : g.vertices)
                v = in.u8();
        }
        if (!in.has(4))
            return false;
        const std::uint64_t chains = in.u32();
        // Heads, lengths and first nodes: 7 bytes per chain.
        if (!in.has(7 * chains))
            return false;
        g.chainAttributes.resize(chains);
        for (auto& a : g.chainAttributes) {
            const std::uint16_t low = in.u16();
            a.bytes[0] = static_cast<std::uint8_t>(low);
            a.bytes[1] = static_cast<std::uint8_t>(low >> 8);
            a.bytes[2] = in.u8();
            if ((a.bytes[2] & 0x07) >= 5 || (a.bytes[2] >> 3) >= 30)
                return false;
        }
        g.chainLengths.resize(chains);
        std::uint64_t segments = 0;
        for (auto& n : g.chainLengths) {
            n = in.u8();
            segments += n;
        }
        if (segments != m_segmentCount)
            return false;
        g.chainFirst.resize(chains);
        for (auto& first : g.chainFirst) {
            first = in.id24();
            if (first >= m_nodeCount)
                return false;
        }
        if (!in.has(2 * segments))
            return false;
        g.lengths.resize(segments);
        for (auto& l : g.lengths)
            l = in.u16();
        g.wordStart.assign(1, 0);
        if (vertexLayout) {
            for (std::uint64_t s = 0; s < segments; ++s) {
                std::size_t count = 0;
                for (;;) {
                    if (!in.has(2) || count == MaxTransitionWords)
                        return false;
                    const std::uint16_t word = in.u16();
                    g.words.push_back(word);
                    ++count;
                    if ((word & 0x8000) == 0)
                        break;
                }
                g.wordStart.push_back(static_cast<std::uint32_t>(g.words.size()));
            }
        }
        if (!in.has(3 * segments))
            return false;
        g.next.resize(segments);
        for (auto& to : g.next) {
            to = in.id24();
            if (to >= m_nodeCount)
                return false;
        }
        if (vertexLayout && !transitionsValid(g))
            return false;
        if (vertexLayout)
            return true;
        if (!in.has(4))
            return false;
        const std::uint64_t restrictions = in.u32();
        if (6 * restrictions > in.left())
            return false;
        g.restrictions.resize(restrictions);
        for (Restriction& r : g.restrictions) {
            if (!in.has(6))
                return false;
            const std::uint8_t p = in.u8();
            const std::uint8_t q = in.u8();
            r.node = in.u32();
            if (r.node >= m_nodeCount || !in.has(4 * (static_cast<std::uint64_t>(p) + q)))
                return false;
            r.path.resize(p);
            r.forbidden.resize(q);
            for (auto& id : r.path)
                if ((id = in.u32()) >= m_segmentCount)
                    return false;
            for (auto& id : r.forbidden)
                if ((id = in.u32()) >= m_segmentCount)
                    return false;
        }
        return true;
    }

    // Every transition names vertices that its end nodes have.
    bool transitionsValid(const Graph& g) const {
        std::uint32_t segment = 0;
        for (std::size_t c = 0; c < g.chainFirst.size(); ++c) {
            std::uint32_t from = g.chainFirst[c];
            for (std::uint8_t k = 0; k < g.chainLengths[c]; ++k, ++segment) {
                const std::uint32_t to = g.next[segment];
                for (std::uint32_t w = g.wordStart[segment]; w < g.wordStart[segment + 1]; ++w) {
                    const std::uint16_t word = g.words[w];
                    const std::uint32_t atFrom = word & 0x3F;
                    const std::uint32_t atTo = (word >> 8) & 0x3F;
                    if (atFrom > g.vertices[from] || atTo > g.vertices[to] || atFrom > MaxVertexIndex ||
                        atTo > MaxVertexIndex)
                        return false;
                }
                from = to;
            }
        }
        return true;
    }

    std::shared_ptr<SectionView> m_header;
    std::shared_ptr<SectionView> m_records;
    std::shared_ptr<SectionView> m_transit;
    std::shared_ptr<SectionView> m_shapes;
    std::uint64_t m_segmentCount;
    std::uint64_t m_nodeCount;
    std::uint32_t m_linkNodes = 0;
    std::uint8_t m_linkClass = 24;
};

} // namespace

RoutingSectionReader::RoutingSectionReader(ViewFactory& file, const RoutingLocation& location) {
    // A header block that would end before it begins has a size that wraps
    // in 32 bits: no view of it can be made.
    const std::uint32_t headerEnd = std::min(location.transitBlock, location.recordBlock);
    if (headerEnd < location.headerBlock)
        throw FormatError("Can't create file mapping view");
    auto header = file.view(location.headerBlock, headerEnd - location.headerBlock);
    if (!header)
        throw FormatError("Can't create file mapping view");
    const std::uint8_t* bytes = header->acquire();
    if (bytes == nullptr)
        throw FormatError("Can't create file mapping view");
    if (header->size() < 9)
        throw FormatError("Section is too small");
    const std::uint32_t shapeLast = u32At(bytes + 1);
    const std::uint32_t nodeLast = u32At(bytes + 5);
    if (shapeLast == 0xFFFFFFFF || nodeLast == 0xFFFFFFFF) {
        m_empty = true;
        m_impl = std::make_unique<EmptyRouting>();
        return;
    }
    m_impl = std::make_unique<RoutingImplV0>(file, location, std::move(header), shapeLast, nodeLast);
}

RoutingSectionReader::~RoutingSectionReader() = default;

} // namespace Map::File
