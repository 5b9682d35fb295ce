#pragma once
// Writes TextSearch.tsi: the name trees of every map's text-search section,
// merged level by level into one tree per level whose entries carry, per
// map, that map's own item range (or, for POIs, its type groups). Logs
// nothing; the index manager reports a failed build.

#include "map/IndexSourceList.h"
#include "map/MapSet.h"
#include "search/IndexTypes.h"

#include <cstdint>
#include <vector>

namespace FileSystem {
class FileRW;
}

namespace TextSearch {

class TextSearchIndexBuilder {
  public:
    // A merged tree in the decoded form the name-tree encoder takes: nodes
    // level by level, children pointing into the same vector.
    struct MergedTree {
        std::vector<Map::TextSearch::TreeNode> nodes;
        std::uint32_t depth = 0;
        std::uint32_t rootCount = 0;
        std::uint32_t leafCount = 0;
    };

    // Writes the whole file at the writer's position 0: the signature last,
    // so a file left by a stopped build never carries it. `sources` is the
    // source list in map-set order, one record per map. False for more than
    // 65,535 maps, a list of another length, a map tree that cannot be read,
    // a merged level with more than 65,535 siblings under one parent, or any
    // failed write.
    static bool build(const Map::IndexSourceList& sources, FileSystem::FileRW& writer,
                      const Map::MapSet& maps);

    // Levels 0 and 1: the merged tree and its item-range list.
    static bool gatherLevel(int level, const Map::MapSet& maps, MergedTree& tree, ItemRanges& ranges);
    // Level 2: the merged tree, its type-group list and the group
    // item-range list.
    static bool gatherTypedLevel(const Map::MapSet& maps, MergedTree& tree,
                                 std::vector<Map::PoiTypeGroup>& groups, ItemRanges& groupRanges);

    // The block size in the 16-bit-offset layout with `narrowItems` item
    // fields; 0 for a tree without entries.
    static std::uint64_t treeSize(const MergedTree& tree, bool narrowItems);
};

} // namespace TextSearch
