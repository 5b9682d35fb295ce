#include "search/TextSearchIndexBuilder.h"

#include "core/FileRW.h"
#include "map/KvMap.h"
#include "map/file/NameTree.h"
#include "map/file/TextSearchSectionReader.h"

#include "core/FileSystem.h"

#include <algorithm>
#include <span>

namespace TextSearch {

using Map::ItemsGroup;
using Map::MappedGroup;
using Map::PoiTypeGroup;
using Map::TextSearch::TreeNode;

namespace {

using Bytes = std::vector<std::uint8_t>;

// One map's source node on the way into the merge.
struct MergePair {
    const TreeNode* node;
    std::uint16_t map;
};

// Per map: its decoded tree of the level (and, for POIs, its type groups).
struct SourceTree {
    std::vector<TreeNode> nodes;
    std::uint32_t rootCount = 0;
    std::uint32_t depth = 0;
    std::vector<PoiTypeGroup> typeGroups;
};

void put(Bytes& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool loadTrees(int level, const Map::MapSet& maps, std::vector<SourceTree>& trees) {
    trees.assign(maps.size(), {});
    for (std::size_t m = 0; m < maps.size(); ++m) {
        Map::File::TextSearchSectionReader& reader = maps.at(m)->textSearchReader();
        SourceTree& t = trees[m];
        const bool read = level == PoiLevel ? reader.loadPoiTree(t.nodes, t.rootCount, t.depth, t.typeGroups)
                                            : reader.loadTree(level, t.nodes, t.rootCount, t.depth);
        if (!read) return false;
    }
    return true;
}

// Sorts the pairs by character, then map index (stable, so the file comes
// out the same for the same maps), and hands each run of one character on.
template <class Visit> bool forEachRun(std::vector<MergePair>& pairs, Visit visit) {
    std::stable_sort(pairs.begin(), pairs.end(), [](const MergePair& a, const MergePair& b) {
        if (a.node->character != b.node->character)
            return static_cast<std::uint16_t>(a.node->character) <
                   static_cast<std::uint16_t>(b.node->character);
        return a.map < b.map;
    });
    for (std::size_t i = 0; i < pairs.size();) {
        std::size_t j = i;
        while (j < pairs.size() && pairs[j].node->character == pairs[i].node->character)
            ++j;
        if (!visit(std::span<const MergePair>(pairs.data() + i, j - i))) return false;
        i = j;
    }
    return true;
}

// Merges the trees breadth first, so the entries come out level by level,
// within a level in the order of their parents, siblings by character: the
// layout of the file. `fill` sets an entry's group from its run.
template <class Fill>
bool merge(const std::vector<SourceTree>& trees, TextSearchIndexBuilder::MergedTree& out, Fill fill) {
    out = {};
    std::uint32_t depth = 0;
    for (const SourceTree& t : trees)
        if (t.depth != 0 && (depth == 0 || t.depth < depth)) depth = t.depth;
    if (depth == 0) return true;
    // Pending children of each entry of the current level, as merge pairs.
    std::vector<std::vector<MergePair>> level(1);
    for (std::size_t m = 0; m < trees.size(); ++m)
        for (std::uint32_t r = 0; r < trees[m].rootCount && r < trees[m].nodes.size(); ++r)
            level[0].push_back({&trees[m].nodes[r], static_cast<std::uint16_t>(m)});
    // Parent entry of each group of `level` (none for the roots).
    std::vector<std::size_t> parents{SIZE_MAX};
    struct Link {
        std::size_t firstChild = SIZE_MAX;
        std::uint32_t childCount = 0;
    };
    std::vector<Link> links;
    // Levels go on while the one before left children: the depth check
    // below is what cuts the deeper maps' keys.
    for (std::uint32_t k = 0; !level.empty(); ++k) {
        std::vector<std::vector<MergePair>> next;
        std::vector<std::size_t> nextParents;
        const std::size_t levelStart = out.nodes.size();
        for (std::size_t g = 0; g < level.size(); ++g) {
            const bool ok = forEachRun(level[g], [&](std::span<const MergePair> run) {
                const std::size_t entry = out.nodes.size();
                TreeNode node;
                node.character = run.front().node->character;
                fill(run, node);
                out.nodes.push_back(node);
                links.push_back({});
                if (parents[g] != SIZE_MAX) {
                    Link& parent = links[parents[g]];
                    if (parent.firstChild == SIZE_MAX) parent.firstChild = entry;
                    if (++parent.childCount > 0xFFFF) return false;
                }
                if (k + 1 < depth) {
                    std::vector<MergePair> children;
                    for (const MergePair& p : run)
                        for (std::uint32_t c = 0; c < p.node->childCount; ++c)
                            children.push_back({p.node->children + c, p.map});
                    if (!children.empty()) {
                        next.push_back(std::move(children));
                        nextParents.push_back(entry);
                    }
                }
                return true;
            });
            if (!ok) return false;
        }
        if (out.nodes.size() == levelStart) break;
        out.depth = k + 1;
        out.leafCount = static_cast<std::uint32_t>(out.nodes.size() - levelStart);
        if (k == 0) out.rootCount = out.leafCount;
        level = std::move(next);
        parents = std::move(nextParents);
    }
    if (out.rootCount > 0xFFFF) return false;
    // Leaf entries carry no children: the encoder writes none for them.
    for (std::size_t i = 0; i < out.nodes.size(); ++i) {
        if (links[i].firstChild == SIZE_MAX || i >= out.nodes.size() - out.leafCount) continue;
        out.nodes[i].children = out.nodes.data() + links[i].firstChild;
        out.nodes[i].childCount = links[i].childCount;
    }
    return true;
}

bool writeBytes(FileSystem::FileRW& writer, const Bytes& bytes) {
    return bytes.empty() || writer.write(bytes.data(), bytes.size(), 1) == 1;
}

unsigned widthCode(bool narrow) {
    return narrow ? 2 : 0;
}

void putTree(const TextSearchIndexBuilder::MergedTree& tree, unsigned itemCode, unsigned offsetCode,
             Bytes& out) {
    out.clear();
    Map::File::NameTree::encode(tree.nodes, tree.depth, tree.rootCount, tree.leafCount,
                                itemCode * 4 + offsetCode, out);
}

void putRanges(const ItemRanges& ranges, Bytes& out) {
    out.clear();
    for (const MappedGroup& r : ranges) {
        put(out, r.group.first, 4);
        put(out, r.group.count, 4);
        put(out, r.map, 2);
    }
}

} // namespace

bool TextSearchIndexBuilder::gatherLevel(int level, const Map::MapSet& maps, MergedTree& tree,
                                         ItemRanges& ranges) {
    ranges.clear();
    std::vector<SourceTree> trees;
    if (!loadTrees(level, maps, trees)) return false;
    return merge(trees, tree, [&](std::span<const MergePair> run, TreeNode& node) {
        node.group.first = static_cast<std::uint32_t>(ranges.size());
        for (const MergePair& p : run)
            ranges.push_back({p.node->group, p.map});
        node.group.count = static_cast<std::uint32_t>(run.size());
    });
}

bool TextSearchIndexBuilder::gatherTypedLevel(const Map::MapSet& maps, MergedTree& tree,
                                              std::vector<PoiTypeGroup>& groups, ItemRanges& groupRanges) {
    groups.clear();
    groupRanges.clear();
    std::vector<SourceTree> trees;
    if (!loadTrees(PoiLevel, maps, trees)) return false;
    struct Tagged {
        PoiTypeGroup group;
        std::uint16_t map;
    };
    std::vector<Tagged> tagged;
    return merge(trees, tree, [&](std::span<const MergePair> run, TreeNode& node) {
        tagged.clear();
        for (const MergePair& p : run) {
            // A node's run of its map's type groups; a run past the table's
            // end is cut there, as the map's own queries skip it.
            const std::vector<PoiTypeGroup>& own = trees[p.map].typeGroups;
            const std::uint64_t end =
                std::min<std::uint64_t>(std::uint64_t{p.node->group.first} + p.node->group.count, own.size());
            for (std::uint64_t i = p.node->group.first; i < end; ++i)
                tagged.push_back({own[i], p.map});
        }
        std::stable_sort(tagged.begin(), tagged.end(), [](const Tagged& a, const Tagged& b) {
            return a.group.type != b.group.type ? a.group.type < b.group.type : a.map < b.map;
        });
        node.group.first = static_cast<std::uint32_t>(groups.size());
        for (std::size_t i = 0; i < tagged.size();) {
            std::size_t j = i;
            while (j < tagged.size() && tagged[j].group.type == tagged[i].group.type)
                ++j;
            groups.push_back(
                {{static_cast<std::uint32_t>(groupRanges.size()), static_cast<std::uint32_t>(j - i)},
                 tagged[i].group.type});
            for (; i < j; ++i)
                groupRanges.push_back({tagged[i].group.group, tagged[i].map});
        }
        node.group.count = static_cast<std::uint32_t>(groups.size()) - node.group.first;
    });
}

std::uint64_t TextSearchIndexBuilder::treeSize(const MergedTree& tree, bool narrowItems) {
    return Map::File::NameTree::encodedSize(tree.nodes.size(), tree.leafCount, narrowItems ? 10 : 2);
}

bool TextSearchIndexBuilder::build(const Map::IndexSourceList& sources, FileSystem::FileRW& writer,
                                   const Map::MapSet& maps) {
    if (maps.size() > MaxIndexedMaps || sources.records.size() != maps.size()) return false;
    if (!writer.seek(0) || !FileSystem::writeU32(writer, 0) || !Map::IndexSourceList::write(writer, sources))
        return false;
    const std::uint32_t headerAt = writer.tell();
    if (headerAt == 0xFFFFFFFFu || !writeBytes(writer, Bytes(IndexHeaderSize, 0))) return false;
    std::uint32_t flags = 0;
    std::uint32_t offsets[IndexBlockCount] = {};
    Bytes bytes;
    auto emit = [&](int block) {
        offsets[block] = writer.tell();
        return offsets[block] != 0xFFFFFFFFu && writeBytes(writer, bytes);
    };
    MergedTree tree;
    for (int level : {CityLevel, StreetLevel}) {
        ItemRanges ranges;
        if (!gatherLevel(level, maps, tree, ranges)) return false;
        const bool narrowItems = ranges.size() < 65536;
        const bool narrowOffsets = treeSize(tree, narrowItems) < 65536;
        flags |= (widthCode(narrowItems) | widthCode(narrowOffsets) << 2) << (4 * level);
        putTree(tree, widthCode(narrowItems), widthCode(narrowOffsets), bytes);
        if (!emit(level == CityLevel ? CityTreeBlock : StreetTreeBlock)) return false;
        putRanges(ranges, bytes);
        if (!emit(level == CityLevel ? CityRangesBlock : StreetRangesBlock)) return false;
    }
    std::vector<PoiTypeGroup> groups;
    ItemRanges groupRanges;
    if (!gatherTypedLevel(maps, tree, groups, groupRanges)) return false;
    const bool narrowGroups = groupRanges.size() < 65536;
    const bool narrowItems = groups.size() < 65536;
    const bool narrowOffsets = treeSize(tree, narrowItems) < 65536;
    flags |= widthCode(narrowGroups) << 8 | widthCode(narrowItems) << 10 | widthCode(narrowOffsets) << 12;
    putTree(tree, widthCode(narrowItems), widthCode(narrowOffsets), bytes);
    if (!emit(PoiTreeBlock)) return false;
    bytes.clear();
    for (const PoiTypeGroup& g : groups) {
        put(bytes, g.type, 2);
        put(bytes, g.group.first, narrowGroups ? 2 : 4);
        put(bytes, g.group.count, narrowGroups ? 2 : 4);
    }
    if (!emit(TypeGroupsBlock)) return false;
    putRanges(groupRanges, bytes);
    if (!emit(GroupRangesBlock)) return false;

    bytes.clear();
    put(bytes, flags, 4);
    for (std::uint32_t offset : offsets)
        put(bytes, offset, 4);
    if (!writer.seek(static_cast<std::int32_t>(headerAt)) || !writeBytes(writer, bytes)) return false;
    return writer.seek(0) && FileSystem::writeU32(writer, IndexSignature);
}

} // namespace TextSearch
