#include "map/file/NameTree.h"

#include "map/file/detail/Bytes.h"

#include <cassert>

namespace Map::File::NameTree {

using detail::fits;
using detail::u16At;
using detail::u32At;
using TextSearch::TreeNode;

namespace {

constexpr std::uint32_t HeaderSize = 8;

// Field widths of one key kind.
struct Layout {
    std::uint32_t group = 0;  // bytes of group first and of group count
    std::uint32_t offset = 0; // bytes of the child offset
    std::uint32_t inner() const { return 2 + 2 * group + offset + 2; }
    std::uint32_t leaf() const { return 2 + 2 * group; }
    std::uint32_t size(bool leafLevel) const { return leafLevel ? leaf() : inner(); }
};

bool layoutOf(unsigned kind, Layout& out) {
    switch (kind) {
    case 0: out = {4, 4}; return true;
    case 2: out = {4, 2}; return true;
    case 8: out = {2, 4}; return true;
    case 10: out = {2, 2}; return true;
    default: return false;
    }
}

std::uint32_t field(const std::uint8_t* p, std::uint32_t width) { return width == 2 ? u16At(p) : u32At(p); }

void putField(std::uint8_t* p, std::uint32_t value, std::uint32_t width) {
    for (std::uint32_t i = 0; i < width; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct Entry {
    char16_t character = 0;
    ItemsGroup group;
    std::uint32_t childOffset = 0;
    std::uint32_t childCount = 0;
};

Entry entryAt(const std::uint8_t* p, const Layout& layout, bool leafLevel) {
    Entry e;
    e.character = static_cast<char16_t>(u16At(p));
    e.group.first = field(p + 2, layout.group);
    e.group.count = field(p + 2 + layout.group, layout.group);
    if (!leafLevel) {
        e.childOffset = field(p + 2 + 2 * layout.group, layout.offset);
        e.childCount = u16At(p + 2 + 2 * layout.group + layout.offset);
    }
    return e;
}

// A run of sibling entries inside the block.
struct Range {
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
};

// The walk shared by find and collect: the range of level 0, then of the
// children reached by each key character. `found` receives the entry matched
// by the last character. False when a character is missing or a range
// leaves the block.
struct Walker {
    Block block;
    Layout layout;
    std::uint32_t depth = 0;

    bool rangeFits(const Range& r, std::uint32_t level) const {
        const std::uint64_t size = layout.size(level + 1 == depth);
        return fits(r.offset, r.count * size, block.size());
    }

    // Lower bound of `c` in the range at `level`, when present.
    bool match(const Range& r, std::uint32_t level, char16_t c, Entry& out) const {
        const bool leafLevel = level + 1 == depth;
        const std::uint32_t size = layout.size(leafLevel);
        std::uint64_t lo = 0, hi = r.count;
        while (lo < hi) {
            const std::uint64_t mid = lo + (hi - lo) / 2;
            if (u16At(block.data() + r.offset + mid * size) < static_cast<std::uint16_t>(c))
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo == r.count)
            return false;
        out = entryAt(block.data() + r.offset + lo * size, layout, leafLevel);
        return out.character == c;
    }

    bool descend(std::u16string_view key, Range& range, Entry& found) const {
        range = {HeaderSize, u16At(block.data() + 2)};
        for (std::uint32_t i = 0; i < key.size(); ++i) {
            if (!rangeFits(range, i) || !match(range, i, key[i], found))
                return false;
            range = {found.childOffset, found.childOffset == 0 ? 0u : found.childCount};
        }
        return true;
    }
};

bool walker(Block block, unsigned kind, Walker& out) {
    if (block.size() < HeaderSize || !layoutOf(kind, out.layout))
        return false;
    out.block = block;
    out.depth = u16At(block.data());
    return true;
}

} // namespace

bool supportedKind(unsigned kind) {
    Layout layout;
    return layoutOf(kind, layout);
}

std::uint32_t innerSize(unsigned kind) {
    Layout layout;
    return layoutOf(kind, layout) ? layout.inner() : 0;
}

std::uint32_t leafSize(unsigned kind) {
    Layout layout;
    return layoutOf(kind, layout) ? layout.leaf() : 0;
}

bool decode(Block block, unsigned kind, std::vector<TreeNode>& nodes, std::uint32_t& rootCount,
            std::uint32_t& depth) {
    nodes.clear();
    rootCount = 0;
    depth = 0;
    Layout layout;
    if (!layoutOf(kind, layout) || block.size() < HeaderSize)
        return false;
    const std::uint32_t levels = u16At(block.data());
    const std::uint32_t roots = u16At(block.data() + 2);
    const std::uint64_t total = u32At(block.data() + 4);
    // Every entry takes at least a leaf's bytes: bound N before allocating.
    if (total * layout.leaf() > block.size() - HeaderSize || (levels == 0 && roots != 0))
        return false;
    std::vector<TreeNode> result(total);

    std::uint64_t levelStart = HeaderSize; // block offset of the current level
    std::uint64_t levelCount = roots;      // entries of the current level
    std::uint64_t levelFirst = 0;          // node index of its first entry
    for (std::uint32_t k = 0; k < levels; ++k) {
        const bool leafLevel = k + 1 == levels;
        const std::uint32_t size = layout.size(leafLevel);
        if (levelCount > total - levelFirst || !fits(levelStart, levelCount * size, block.size()))
            return false;
        const std::uint8_t* level = block.data() + levelStart;
        // The next level holds as many entries as this one's children.
        std::uint64_t nextCount = 0;
        if (!leafLevel)
            for (std::uint64_t i = 0; i < levelCount; ++i)
                nextCount += entryAt(level + i * size, layout, false).childCount;
        const std::uint64_t nextStart = levelStart + levelCount * size;
        const std::uint64_t nextFirst = levelFirst + levelCount;
        const std::uint32_t nextSize = layout.size(k + 2 == levels);
        for (std::uint64_t i = 0; i < levelCount; ++i) {
            const Entry e = entryAt(level + i * size, layout, leafLevel);
            TreeNode& node = result[levelFirst + i];
            node.character = e.character;
            node.group = e.group;
            if (e.childOffset == 0) {
                if (e.childCount != 0)
                    return false; // children nobody can reach
                continue;
            }
            if (e.childOffset < nextStart || (e.childOffset - nextStart) % nextSize != 0)
                return false;
            const std::uint64_t index = (e.childOffset - nextStart) / nextSize;
            if (index > nextCount || e.childCount > nextCount - index)
                return false;
            node.children = result.data() + nextFirst + index;
            node.childCount = e.childCount;
        }
        levelStart = nextStart;
        levelFirst = nextFirst;
        levelCount = nextCount;
    }
    if (levelFirst != total)
        return false;
    nodes = std::move(result); // moving keeps the children pointers valid
    rootCount = roots;
    depth = levels;
    return true;
}

ItemsGroup find(Block block, std::u16string_view key, unsigned kind) {
    Walker w;
    if (key.empty() || !walker(block, kind, w) || key.size() > w.depth)
        return {};
    Range range;
    Entry found;
    if (!w.descend(key, range, found))
        return {};
    return found.group;
}

void collect(Block block, std::u16string_view key, unsigned kind, const Callback& callback) {
    Walker w;
    if (!walker(block, kind, w) || key.size() >= w.depth)
        return;
    Range range;
    Entry found;
    if (!w.descend(key, range, found))
        return;
    const auto level = static_cast<std::uint32_t>(key.size());
    if (!w.rangeFits(range, level))
        return;
    const bool leafLevel = level + 1 == w.depth;
    const std::uint32_t size = w.layout.size(leafLevel);
    for (std::uint64_t i = 0; i < range.count; ++i) {
        const Entry e = entryAt(block.data() + range.offset + i * size, w.layout, leafLevel);
        callback(e.character, e.group);
    }
}

std::uint64_t encodedSize(std::uint64_t nodeCount, std::uint64_t leafCount, unsigned kind) {
    Layout layout;
    if (nodeCount == 0 || !layoutOf(kind, layout) || leafCount > nodeCount)
        return 0;
    return HeaderSize + (nodeCount - leafCount) * layout.inner() + leafCount * layout.leaf();
}

void encode(const std::vector<TreeNode>& nodes, std::uint32_t depth, std::uint32_t rootCount,
            std::uint32_t leafCount, unsigned kind, std::vector<std::uint8_t>& buffer) {
    Layout layout;
    if (nodes.empty() || !layoutOf(kind, layout))
        return;
    assert(leafCount <= nodes.size());
    const std::uint64_t n = nodes.size();
    const std::uint64_t innerCount = n - leafCount;
    buffer.assign(encodedSize(n, leafCount, kind), 0);
    std::uint8_t* out = buffer.data();
    putField(out, depth, 2);
    putField(out + 2, rootCount, 2);
    putField(out + 4, static_cast<std::uint32_t>(n), 4);
    out += HeaderSize;
    for (std::uint64_t i = 0; i < n; ++i) {
        const TreeNode& node = nodes[i];
        putField(out, node.character, 2);
        putField(out + 2, node.group.first, layout.group);
        putField(out + 2 + layout.group, node.group.count, layout.group);
        if (i < innerCount) {
            std::uint64_t childOffset = 0;
            std::uint32_t childCount = 0;
            if (node.children != nullptr) {
                assert(node.children >= nodes.data() && node.children <= nodes.data() + n);
                const auto j = static_cast<std::uint64_t>(node.children - nodes.data());
                childOffset = j < innerCount
                                  ? HeaderSize + j * layout.inner()
                                  : HeaderSize + innerCount * layout.inner() + (j - innerCount) * layout.leaf();
                childCount = node.childCount;
            }
            putField(out + 2 + 2 * layout.group, static_cast<std::uint32_t>(childOffset), layout.offset);
            putField(out + 2 + 2 * layout.group + layout.offset, childCount, 2);
            out += layout.inner();
        } else {
            out += layout.leaf();
        }
    }
}

} // namespace Map::File::NameTree
