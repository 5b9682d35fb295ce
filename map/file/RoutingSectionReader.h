#pragma once
// Reader of a map's routing data: the road graph (handed to a road-map
// builder), the link nodes and transit table with which the maps of an atlas
// are joined, and the shapes that tie each segment to the polylines drawing
// it. The four blocks are located by file offsets; the reader views each of
// them exactly.

#include "map/RoadMapBuilder.h"
#include "map/file/SectionView.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace Map::File {

struct RoutingLocation {
    std::uint32_t headerBlock = 0;  // header word 4
    std::uint32_t transitBlock = 0; // header word 5
    std::uint32_t shapeBlock = 0;   // header word 7
    std::uint32_t recordBlock = 0;  // header word 8
};

struct LinkNode {
    std::uint32_t a = 0; // map x
    std::uint32_t b = 0; // map y
    bool operator==(const LinkNode&) const = default;
};

struct ShapeStep {
    std::uint32_t value = 0; // section offset of a polyline item in the geometry section
    std::int32_t x = 0;      // the item's anchor cell
    std::int32_t y = 0;
    std::uint8_t flag = 0;
    bool operator==(const ShapeStep&) const = default;
};

class RoutingSectionReader {
public:
    enum LoadStatus : std::uint32_t { Loaded = 0, OutOfMemory = 1, BadFormat = 2 };

    class ImplBase {
    public:
        virtual ~ImplBase() = default;
        virtual std::uint16_t linkNodeCount() const = 0;
        virtual std::uint8_t linkClass() const = 0;
        virtual std::uint32_t loadGraph(RoadMapBuilder& builder) = 0;
        virtual bool linkNodes(std::uint8_t& linkClass, std::vector<LinkNode>& out) = 0;
        virtual bool transitTable(std::vector<std::uint32_t>& out) = 0;
        virtual bool shape(std::uint32_t index, std::pair<std::int32_t, std::int32_t> start,
                           std::vector<ShapeStep>& out) = 0;
        virtual bool linkNodeIds(std::vector<std::uint32_t>& out) = 0;
    };

    // Views the four blocks. Throws FormatError "Can't create file mapping
    // view" when a block cannot be viewed (it passes the file end), "Section
    // is too small" when the header block cannot hold its counts, "Invalid
    // routing section" for more than 65535 link nodes. A header whose shape
    // or node count is 0 (word 0xFFFFFFFF) makes an empty reader.
    RoutingSectionReader(ViewFactory& file, const RoutingLocation& location);
    ~RoutingSectionReader();

    bool empty() const { return m_empty; }
    // Low 16 bits of the link node count (0 when empty).
    std::uint16_t linkNodeCount() const { return m_impl->linkNodeCount(); }
    // Transit block byte 0 (24 when empty).
    std::uint8_t linkClass() const { return m_impl->linkClass(); }
    // Validates the whole graph stream, then reserves, sets every node, adds
    // every segment, finishes and adds the turn restrictions. Loaded (also
    // when empty), OutOfMemory when reserve() refused, BadFormat when a view
    // is lost or the stream is short or names an id beyond its counts (the
    // builder is then not called at all).
    std::uint32_t loadGraph(RoadMapBuilder& builder) { return m_impl->loadGraph(builder); }
    // Link class and the link nodes' points; false when a view is lost.
    bool linkNodes(std::uint8_t& linkClass, std::vector<LinkNode>& out) { return m_impl->linkNodes(linkClass, out); }
    // The N x N crossing costs, row-major.
    bool transitTable(std::vector<std::uint32_t>& out) { return m_impl->transitTable(out); }
    // The steps of segment `index`'s shape, each with its anchor cell reached
    // from `start` (the from node's grid cell). False when empty, for an
    // index beyond the offset table, a shape passing the block end, or a
    // direction code above 8.
    bool shape(std::uint32_t index, std::pair<std::int32_t, std::int32_t> start, std::vector<ShapeStep>& out) {
        return m_impl->shape(index, start, out);
    }
    // The graph node id of every link node (the first word of each link node
    // record); false when a view is lost or an id is not below the node count.
    bool linkNodeIds(std::vector<std::uint32_t>& out) { return m_impl->linkNodeIds(out); }

private:
    bool m_empty = false;
    std::unique_ptr<ImplBase> m_impl;
};

} // namespace Map::File
