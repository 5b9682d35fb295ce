#include "tools/mapwriter/SpatialSearchWriter.h"

#include "tools/mapwriter/LittleEndian.h"

#include <algorithm>
#include <stdexcept>

namespace MapWriting {

namespace {

using Bytes = std::vector<std::uint8_t>;

using TestSupport::put16;
using TestSupport::put32;
using TestSupport::put8;
void set32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putBox(Bytes& out, const SpatialBox& b) {
    put32(out, static_cast<std::uint32_t>(b.minX));
    put32(out, static_cast<std::uint32_t>(b.minY));
    put32(out, static_cast<std::uint32_t>(b.maxX));
    put32(out, static_cast<std::uint32_t>(b.maxY));
}
void setBox(Bytes& out, std::size_t at, const SpatialBox& b) {
    set32(out, at, static_cast<std::uint32_t>(b.minX));
    set32(out, at + 4, static_cast<std::uint32_t>(b.minY));
    set32(out, at + 8, static_cast<std::uint32_t>(b.maxX));
    set32(out, at + 12, static_cast<std::uint32_t>(b.maxY));
}

SpatialBox unite(const SpatialBox& a, const SpatialBox& b) {
    return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
            std::max(a.maxY, b.maxY)};
}

std::int64_t centreX(const SpatialBox& b) { return (std::int64_t{b.minX} + b.maxX) / 2; }
std::int64_t centreY(const SpatialBox& b) { return (std::int64_t{b.minY} + b.maxY) / 2; }

// A node under construction: its box and its children (indexes into the
// level below, or into the objects for a leaf).
struct Built {
    SpatialBox box;
    std::vector<std::size_t> children;
};

std::uint32_t offsetOf(std::size_t at) {
    if (at > 0xFFFFFFFFu)
        throw std::invalid_argument("spatial section larger than 4 GB");
    return static_cast<std::uint32_t>(at);
}

class TreeLayout {
public:
    TreeLayout(Bytes& out, const std::vector<std::vector<Built>>& levels, const std::vector<SpatialObject>& objects,
               std::uint8_t maxEntries, bool typed)
        : m_out(out), m_levels(levels), m_objects(objects), m_m(maxEntries), m_typed(typed) {}

    // Writes node `index` of level `level` (0 = root) and everything below
    // it, in pre-order so that each node's first target follows it.
    void write(std::size_t level, std::size_t index) {
        const Built& node = m_levels[level][index];
        const std::size_t k = node.children.size();
        const std::size_t at = m_out.size();
        const std::size_t size = 20 * k - (k == m_m ? 4 : 0);
        m_out.resize(at + size, 0);
        const bool leaf = level + 1 == m_levels.size();
        for (std::size_t i = 0; i < k; ++i) {
            const std::size_t target = m_out.size();
            const std::size_t child = node.children[i];
            SpatialBox box;
            if (leaf) {
                const SpatialObject& object = m_objects[child];
                box = object.box;
                if (m_typed)
                    put16(m_out, object.type);
                put32(m_out, object.value);
            } else {
                box = m_levels[level + 1][child].box;
                write(level + 1, child);
            }
            if (i == 0) {
                setBox(m_out, at, box);
            } else {
                set32(m_out, at + 16 + 20 * (i - 1), offsetOf(target));
                setBox(m_out, at + 20 + 20 * (i - 1), box);
            }
        }
        // The end mark of a node with k < M entries stays 0.
    }

private:
    Bytes& m_out;
    const std::vector<std::vector<Built>>& m_levels;
    const std::vector<SpatialObject>& m_objects;
    std::size_t m_m;
    bool m_typed;
};

} // namespace

std::uint8_t appendSpatialTree(Bytes& section, const SpatialTreeDescription& tree, bool typed) {
    const std::vector<SpatialObject>& objects = tree.objects;
    const std::size_t m = tree.maxEntries;
    if (objects.empty()) {
        section.insert(section.end(), 24, 0);
        return 0;
    }
    if (m == 0 || (m == 1 && objects.size() > 1))
        throw std::invalid_argument("spatial tree needs at least 2 entries per node");

    // Sort-tile-recursive packing: per level, vertical slices of about
    // sqrt(nodes) nodes' worth of boxes by centre x, each cut into runs of
    // M by centre y.
    auto pack = [m](const std::vector<SpatialBox>& boxes) {
        std::vector<std::size_t> order(boxes.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return centreX(boxes[a]) < centreX(boxes[b]); });
        const std::size_t nodes = (boxes.size() + m - 1) / m;
        std::size_t slices = 1;
        while (slices * slices < nodes)
            ++slices;
        const std::size_t sliceSize = ((nodes + slices - 1) / slices) * m;
        std::vector<Built> level;
        for (std::size_t s = 0; s < order.size(); s += sliceSize) {
            const auto first = order.begin() + static_cast<std::ptrdiff_t>(s);
            const auto last = order.begin() + static_cast<std::ptrdiff_t>(std::min(order.size(), s + sliceSize));
            std::stable_sort(first, last,
                             [&](std::size_t a, std::size_t b) { return centreY(boxes[a]) < centreY(boxes[b]); });
            for (auto it = first; it < last; it += std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(m), last - it)) {
                Built node{boxes[*it], {}};
                for (auto child = it; child < last && child < it + static_cast<std::ptrdiff_t>(m); ++child) {
                    node.children.push_back(*child);
                    node.box = unite(node.box, boxes[*child]);
                }
                level.push_back(node);
            }
        }
        return level;
    };
    std::vector<SpatialBox> boxes;
    for (const SpatialObject& o : objects)
        boxes.push_back(o.box);
    std::vector<std::vector<Built>> bottomUp{pack(boxes)};
    while (bottomUp.back().size() > 1) {
        boxes.clear();
        for (const Built& node : bottomUp.back())
            boxes.push_back(node.box);
        bottomUp.push_back(pack(boxes));
    }
    if (bottomUp.size() > 255)
        throw std::invalid_argument("spatial tree deeper than 255 levels");
    const std::vector<std::vector<Built>> levels(bottomUp.rbegin(), bottomUp.rend());
    const auto depth = static_cast<std::uint8_t>(levels.size());

    put8(section, depth);
    put8(section, 0);
    put8(section, tree.maxEntries);
    put8(section, 0);
    put32(section, static_cast<std::uint32_t>(objects.size()));
    putBox(section, levels[0][0].box);
    TreeLayout(section, levels, objects, tree.maxEntries, typed).write(0, 0);
    offsetOf(section.size());
    return depth;
}

Bytes encodeSpatialSearch(const SpatialSearchDescription& description) {
    if (description.version != 1 && description.version != 2)
        throw std::invalid_argument("spatial search section version is 1 or 2");
    Bytes out;
    put32(out, description.headerWord);
    if (description.version == 1) {
        appendSpatialTree(out, description.tree1, true);
        return out;
    }
    put32(out, 0);
    appendSpatialTree(out, description.tree1, true);
    set32(out, 4, offsetOf(out.size()));
    appendSpatialTree(out, description.tree2, false);
    return out;
}

} // namespace MapWriting
