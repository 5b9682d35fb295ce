#pragma once
// Name tree blocks: the stored character trees over the searchable keys of
// one category. Each node stands for the prefix spelled by the path down to
// it and carries the group (range of a target table) of that prefix.
//
// Block: u16 level count L, u16 first-level count R, u32 entry count N, then
// the entries level by level. Inner entry: u16 character, group first and
// count (G-width), child offset (O-width, from the block's first byte; 0 =
// none), u16 child count. Leaf entry (level L-1): character, group first,
// group count. The key kind is 4 * G + O over 2-bit width codes (0 = 32-bit,
// 2 = 16-bit), so the kinds are 0, 2, 8 and 10.
//
// The block bytes come from a file the user can swap: every operation checks
// each offset and count against the block size. A lookup that would leave
// the block finds nothing; a decode of such a block fails.
//
// The encoder is the one the text-search index build uses for its own
// merged trees.

#include "map/TextSearchTypes.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace Map::File::NameTree {

using Block = std::span<const std::uint8_t>;
// Called with each child's character and group, in stored order.
using Callback = std::function<void(char16_t, const ItemsGroup&)>;

bool supportedKind(unsigned kind);
// Entry sizes of a supported kind (0 for another).
std::uint32_t innerSize(unsigned kind);
std::uint32_t leafSize(unsigned kind);

// Fills `nodes` (N of them, level by level), the root count R and the depth
// L. False, with the vector cleared and both counts 0, for an unsupported
// kind or a block whose counts and offsets do not describe a tree inside it.
bool decode(Block block, unsigned kind, std::vector<TextSearch::TreeNode>& nodes, std::uint32_t& rootCount,
            std::uint32_t& depth);

// The group of the node that the whole key spells; the empty group for an
// empty key, a key longer than L, a character not found, or an unsupported
// kind.
ItemsGroup find(Block block, std::u16string_view key, unsigned kind);

// Calls `callback` for every child of the node that the key spells (for every
// level-0 entry when the key is empty), empty groups included. Nothing is
// called when the key has L or more characters or is not in the tree. An
// empty callback throws std::bad_function_call at its first call.
void collect(Block block, std::u16string_view key, unsigned kind, const Callback& callback);

// Writes the block of `kind` for nodes in decoded order (the `leafCount`
// nodes of the last level at the end) into `buffer`, replacing its contents;
// an empty node vector leaves the buffer as it is. Values are stored in the
// width of their field, keeping their low bits: the caller picks the kind
// from its values. Children pointers must point into `nodes`.
void encode(const std::vector<TextSearch::TreeNode>& nodes, std::uint32_t depth, std::uint32_t rootCount,
            std::uint32_t leafCount, unsigned kind, std::vector<std::uint8_t>& buffer);

// The size of the block encode would write; 0 for no nodes.
std::uint64_t encodedSize(std::uint64_t nodeCount, std::uint64_t leafCount, unsigned kind);

inline void writeTreeKind0(const std::vector<TextSearch::TreeNode>& nodes, std::uint32_t depth,
                           std::uint32_t rootCount, std::uint32_t leafCount, std::vector<std::uint8_t>& buffer) {
    encode(nodes, depth, rootCount, leafCount, 0, buffer);
}
inline void writeTreeKind2(const std::vector<TextSearch::TreeNode>& nodes, std::uint32_t depth,
                           std::uint32_t rootCount, std::uint32_t leafCount, std::vector<std::uint8_t>& buffer) {
    encode(nodes, depth, rootCount, leafCount, 2, buffer);
}
inline void writeTreeKind8(const std::vector<TextSearch::TreeNode>& nodes, std::uint32_t depth,
                           std::uint32_t rootCount, std::uint32_t leafCount, std::vector<std::uint8_t>& buffer) {
    encode(nodes, depth, rootCount, leafCount, 8, buffer);
}
inline void writeTreeKind10(const std::vector<TextSearch::TreeNode>& nodes, std::uint32_t depth,
                            std::uint32_t rootCount, std::uint32_t leafCount, std::vector<std::uint8_t>& buffer) {
    encode(nodes, depth, rootCount, leafCount, 10, buffer);
}

} // namespace Map::File::NameTree
