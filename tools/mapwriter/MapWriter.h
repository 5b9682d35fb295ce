#pragma once
// Writes a MapDescription as the bytes of docs/map-format.md. Each section
// has its own encoder, so a new section type is one more encoder and one more
// entry in MapDescription::sections. Invalid descriptions (a point that does
// not fit its cell, a shape step of more than one cell, an id beyond its
// count) throw std::invalid_argument: the writer never writes a file that its
// readers would refuse.

#include "tools/mapwriter/MapDescription.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <tuple>
#include <vector>

namespace MapWriting {

using Bytes = std::vector<std::uint8_t>;

Bytes encodeStrings(const StringTable& strings);
Bytes encodeCopyright(const CopyrightDescription& copyright);

struct EncodedGeometry {
    Bytes bytes;
    // Section offset of each polyline item: (level, cell x, cell y, index).
    std::map<std::tuple<std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t>, std::uint32_t> polylines;
    // Section offset of each level's cell blocks, and of each cell's block.
    std::vector<std::uint32_t> blocksOffsets;
    std::map<std::tuple<std::uint8_t, std::uint32_t, std::uint32_t>, std::uint32_t> cellBlocks;
    std::uint32_t polylineOffset(std::uint8_t level, std::uint32_t cellX, std::uint32_t cellY,
                                 std::uint32_t index) const;
};
EncodedGeometry encodeGeometry(const std::vector<LevelDescription>& levels);
// The bytes of one cell block (w = cell shift + 1), with the block offset of
// each polyline item.
Bytes encodeCell(const Cell& cell, std::uint8_t cellShift, std::vector<std::uint32_t>* polylineOffsets = nullptr);

Bytes encodeAddress(const AddressBuilder& address, const StringTable& strings);

struct EncodedRouting {
    Bytes header;
    Bytes records;
    Bytes transit;
    Bytes shapes;
};
// Without a graph: the empty routing data (counts 0xFFFFFFFF).
EncodedRouting encodeRouting(const std::optional<RoadGraph>& graph, const EncodedGeometry& geometry);

struct DirectoryEntry {
    std::uint16_t type = 0;
    std::uint16_t version = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

struct WrittenMap {
    Bytes bytes;
    std::array<std::uint32_t, 12> header{};
    std::vector<DirectoryEntry> directory; // in file order
    EncodedGeometry geometry;
    // File offsets and sizes of the parts the header words do not give.
    std::uint32_t stringsSize = 0;
    std::uint32_t routingHeaderSize = 0;
    std::uint32_t shapesSize = 0;
};

WrittenMap writeMap(const MapDescription& map);
// Writes the map to a file; throws std::runtime_error when it cannot.
void writeMapFile(const std::filesystem::path& path, const MapDescription& map);

} // namespace MapWriting
