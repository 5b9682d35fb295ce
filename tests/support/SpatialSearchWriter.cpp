#include "tests/support/SpatialSearchWriter.h"

#include <algorithm>
#include <stdexcept>

namespace MapWriting {

namespace {

using Bytes = std::vector<std::uint8_t>;

void put8(Bytes& out, std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v)); }
void put16(Bytes& out, std::uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}
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

    // Leaves: objects in order of x, M at a time; upper levels group M nodes
    // of the level below in order of y.
    std::vector<std::size_t> order(objects.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return centreX(objects[a].box) < centreX(objects[b].box);
    });
    std::vector<std::vector<Built>> bottomUp(1);
    for (std::size_t i = 0; i < order.size(); i += m) {
        Built node{objects[order[i]].box, {}};
        for (std::size_t j = i; j < std::min(order.size(), i + m); ++j) {
            node.children.push_back(order[j]);
            node.box = unite(node.box, objects[order[j]].box);
        }
        bottomUp.back().push_back(node);
    }
    while (bottomUp.back().size() > 1) {
        const std::vector<Built>& below = bottomUp.back();
        std::vector<std::size_t> sorted(below.size());
        for (std::size_t i = 0; i < sorted.size(); ++i)
            sorted[i] = i;
        std::stable_sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) {
            return centreY(below[a].box) < centreY(below[b].box);
        });
        std::vector<Built> level;
        for (std::size_t i = 0; i < sorted.size(); i += m) {
            Built node{below[sorted[i]].box, {}};
            for (std::size_t j = i; j < std::min(sorted.size(), i + m); ++j) {
                node.children.push_back(sorted[j]);
                node.box = unite(node.box, below[sorted[j]].box);
            }
            level.push_back(node);
        }
        bottomUp.push_back(std::move(level));
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
