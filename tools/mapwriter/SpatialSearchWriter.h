#pragma once
// Writes the spatial-search section of docs/map-format.md: box trees packed
// sort-tile-recursive over a list of objects, laid out so that each node's
// first target follows it.

#include <cstdint>
#include <vector>

namespace MapWriting {

struct SpatialBox {
    std::int32_t minX = 0;
    std::int32_t minY = 0;
    std::int32_t maxX = 0;
    std::int32_t maxY = 0;
};

struct SpatialObject {
    SpatialBox box;
    std::uint16_t type = 0; // tree 1 only
    std::uint32_t value = 0;
};

struct SpatialTreeDescription {
    std::uint8_t maxEntries = 8; // M, at least 2 for more than one object
    std::vector<SpatialObject> objects;
};

struct SpatialSearchDescription {
    std::uint16_t version = 2; // 1: tree 1 only
    std::uint32_t headerWord = 0;
    SpatialTreeDescription tree1; // typed records
    SpatialTreeDescription tree2; // version 2: untyped records
};

// Appends one tree to `section` at its current end; offsets are section
// offsets. Returns the tree's depth (0 for an empty tree).
std::uint8_t appendSpatialTree(std::vector<std::uint8_t>& section, const SpatialTreeDescription& tree, bool typed);

std::vector<std::uint8_t> encodeSpatialSearch(const SpatialSearchDescription& description);

} // namespace MapWriting
