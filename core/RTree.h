#pragma once
// An in-memory R*-tree over axis-aligned integer boxes in map units, holding
// one user value per box: choice of subtree by area, forced re-insertion of
// 30% of an overfull leaf, and a split chosen by overlap, area and margin.
// The shape of the tree after a sequence of insertions is part of what the
// danger-warn index file stores, so the algorithms below are deterministic
// (stable sorts wherever coordinates or distances tie).
//
// Boxes may span the whole 32-bit plane: extents are taken in 64 bits, areas
// are unsigned 64-bit (a product of two extents below 2^32 fits), and sums of
// areas or of squared distances use 128 bits, so no comparison overflows.
//
// No locking: a tree is used from one thread.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace Core {

template <class Value>
class RTree {
public:
    struct Box {
        std::int32_t minX = 0;
        std::int32_t minY = 0;
        std::int32_t maxX = 0;
        std::int32_t maxY = 0;

        bool operator==(const Box&) const = default;

        // All bounds are inclusive: boxes that share an edge intersect.
        bool intersects(const Box& b) const {
            return minX <= b.maxX && b.minX <= maxX && minY <= b.maxY && b.minY <= maxY;
        }
        // `b` lies wholly inside this box.
        bool contains(const Box& b) const {
            return minX <= b.minX && b.maxX <= maxX && minY <= b.minY && b.maxY <= maxY;
        }
        std::int64_t width() const { return std::int64_t{maxX} - minX; }
        std::int64_t height() const { return std::int64_t{maxY} - minY; }
        std::uint64_t area() const {
            return static_cast<std::uint64_t>(width()) * static_cast<std::uint64_t>(height());
        }
        std::int64_t margin() const { return width() + height(); }
        std::int64_t centreX() const { return minX + width() / 2; }
        std::int64_t centreY() const { return minY + height() / 2; }

        static Box unite(const Box& a, const Box& b) {
            return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
                    std::max(a.maxY, b.maxY)};
        }
        // Area of the common part; 0 for disjoint boxes.
        static std::uint64_t overlap(const Box& a, const Box& b) {
            if (!a.intersects(b))
                return 0;
            const Box common{std::max(a.minX, b.minX), std::max(a.minY, b.minY), std::min(a.maxX, b.maxX),
                             std::min(a.maxY, b.maxY)};
            return common.area();
        }
    };

    struct Entry {
        Box box;
        Value value;
    };

    struct Node {
        Box box; // covers the children; may stay larger after removals
        bool leaf = true;
        std::vector<std::unique_ptr<Node>> children; // inner nodes
        std::vector<std::unique_ptr<Entry>> entries; // leaves

        std::size_t size() const { return leaf ? entries.size() : children.size(); }
    };

    // minFill >= 1 and maxFill >= 2 * minFill, so both halves of a split
    // reach the minimum.
    RTree(std::uint32_t minFill, std::uint32_t maxFill) : m_minFill(minFill), m_maxFill(maxFill) {
        assert(minFill >= 1 && maxFill >= 2 * minFill);
    }
    RTree(const RTree&) = delete;
    RTree& operator=(const RTree&) = delete;

    void insert(const Box& box, const Value& value) {
        auto entry = std::make_unique<Entry>(Entry{box, value});
        if (!m_root) {
            m_root = std::make_unique<Node>();
            m_root->box = box;
            m_root->entries.reserve(m_minFill);
            m_root->entries.push_back(std::move(entry));
            m_height = 1;
        } else {
            insertFromRoot(std::move(entry), true);
        }
        ++m_count;
    }

    // Removes the first entry (or every entry) whose value equals `value`;
    // returns the number removed.
    std::uint32_t removeValue(const Value& value, bool all) {
        return removeIf([&value](const Entry& e) { return e.value == value; }, all);
    }

    template <class Predicate>
    std::uint32_t removeIf(Predicate&& matches, bool all) {
        if (!m_root)
            return 0;
        Removal removal;
        removal.all = all;
        removeBelow(*m_root, matches, removal, true);
        if (m_root->size() == 0) {
            m_root->box = Box{};
            m_root->leaf = true;
            m_root->children.clear();
            m_height = 1;
        }
        for (auto& entry : removal.orphans)
            insertFromRoot(std::move(entry), true);
        return removal.removed;
    }

    // Removes every entry; an existing root stays as an empty leaf.
    void clear() {
        removeIf([](const Entry&) { return true; }, true);
    }

    // Calls visitor(const Entry&) for each entry whose box intersects `query`,
    // in tree order.
    template <class Visitor>
    void visitIntersecting(const Box& query, Visitor&& visitor) const {
        if (m_root)
            visit(*m_root, query, visitor, false);
    }
    // Calls visitor(const Entry&) for each entry whose box lies inside `query`.
    template <class Visitor>
    void visitContained(const Box& query, Visitor&& visitor) const {
        if (m_root)
            visit(*m_root, query, visitor, true);
    }

    const Node* root() const { return m_root.get(); }
    std::uint32_t count() const { return m_count; }
    std::uint32_t height() const { return m_height; }
    std::uint32_t minFill() const { return m_minFill; }
    std::uint32_t maxFill() const { return m_maxFill; }

private:
    struct Removal {
        bool all = false;
        std::uint32_t removed = 0;
        std::vector<std::unique_ptr<Entry>> orphans;
        bool done() const { return !all && removed != 0; }
    };

    // Both alternatives of a child, so split and re-insertion work on either.
    static const Box& boxOf(const std::unique_ptr<Node>& n) { return n->box; }
    static const Box& boxOf(const std::unique_ptr<Entry>& e) { return e->box; }

    void insertFromRoot(std::unique_ptr<Entry> entry, bool reinsertAllowed) {
        auto sibling = descend(*m_root, std::move(entry), reinsertAllowed);
        if (!sibling)
            return;
        auto newRoot = std::make_unique<Node>();
        newRoot->leaf = false;
        newRoot->box = Box::unite(m_root->box, sibling->box);
        newRoot->children.push_back(std::move(m_root));
        newRoot->children.push_back(std::move(sibling));
        m_root = std::move(newRoot);
        ++m_height;
    }

    // Adds the entry below `node`; returns the node split off it, if any,
    // for the caller to adopt. A root that splits is returned too; the
    // caller (insertFromRoot) grows the tree.
    std::unique_ptr<Node> descend(Node& node, std::unique_ptr<Entry> entry, bool reinsertAllowed) {
        node.box = Box::unite(node.box, entry->box);
        if (node.leaf) {
            node.entries.push_back(std::move(entry));
        } else {
            Node& child = *node.children[chooseSubtree(node, entry->box)];
            auto sibling = descend(child, std::move(entry), reinsertAllowed);
            if (!sibling)
                return nullptr;
            node.children.push_back(std::move(sibling));
        }
        if (node.size() <= m_maxFill)
            return nullptr;
        if (reinsertAllowed && &node != m_root.get()) {
            // Only leaves get here: inner nodes below the root grow only by
            // splits, which happen only without re-insertion.
            assert(node.leaf);
            forceReinsert(node);
            return nullptr;
        }
        return node.leaf ? split(node, node.entries) : split(node, node.children);
    }

    std::size_t chooseSubtree(const Node& node, const Box& box) const {
        const bool overLeaves = node.children.front()->leaf;
        std::size_t best = 0;
        std::uint64_t bestArea = 0;
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            const Box& child = node.children[i]->box;
            const std::uint64_t area = overLeaves ? Box::overlap(child, box) : Box::unite(child, box).area();
            if (i == 0 || area < bestArea) {
                best = i;
                bestArea = area;
            }
        }
        return best;
    }

    void forceReinsert(Node& leaf) {
        auto& items = leaf.entries;
        const std::size_t n = items.size();
        const std::size_t p = n * 3 / 10;
        const std::int64_t cx = leaf.box.centreX();
        const std::int64_t cy = leaf.box.centreY();
        auto distance = [cx, cy](const std::unique_ptr<Entry>& e) {
            const std::int64_t dx = e->box.centreX() - cx;
            const std::int64_t dy = e->box.centreY() - cy;
            // Each difference is below 2^33 in magnitude: the sum needs 128 bits.
            return static_cast<unsigned __int128>(static_cast<__int128>(dx) * dx) +
                   static_cast<unsigned __int128>(static_cast<__int128>(dy) * dy);
        };
        std::stable_sort(items.begin(), items.end(),
                         [&distance](const auto& a, const auto& b) { return distance(a) < distance(b); });
        std::vector<std::unique_ptr<Entry>> removed;
        for (std::size_t i = n - p; i < n; ++i)
            removed.push_back(std::move(items[i]));
        items.resize(n - p);
        leaf.box = items.front()->box;
        for (const auto& e : items)
            leaf.box = Box::unite(leaf.box, e->box);
        for (auto& e : removed)
            insertFromRoot(std::move(e), false);
    }

    // Keys of the four sorts: axis 0 = x, 1 = y; edge 0 = lower, 1 = upper.
    static std::int32_t sortKey(const Box& b, int axis, int edge) {
        if (axis == 0)
            return edge == 0 ? b.minX : b.maxX;
        return edge == 0 ? b.minY : b.maxY;
    }

    template <class Item>
    static void sortBy(std::vector<Item>& items, int axis, int edge) {
        std::stable_sort(items.begin(), items.end(), [axis, edge](const Item& a, const Item& b) {
            return sortKey(boxOf(a), axis, edge) < sortKey(boxOf(b), axis, edge);
        });
    }

    template <class Item>
    static Box unionOf(const std::vector<Item>& items) {
        Box box = boxOf(items.front());
        for (const auto& item : items)
            box = Box::unite(box, boxOf(item));
        return box;
    }

    template <class Item>
    std::unique_ptr<Node> split(Node& node, std::vector<Item>& items) {
        const std::size_t n = items.size();
        const std::size_t m = m_minFill;
        struct Choice {
            int edge = 0;
            std::size_t k = 0;
            std::uint64_t overlap = 0;
            unsigned __int128 area = 0;
            std::int64_t margin = 0;
        };
        Choice best[2];
        for (int axis = 0; axis < 2; ++axis) {
            bool found = false;
            for (int edge = 0; edge < 2; ++edge) {
                sortBy(items, axis, edge);
                // Prefix and suffix unions give each distribution's boxes.
                std::vector<Box> prefix(n), suffix(n);
                prefix[0] = boxOf(items[0]);
                for (std::size_t i = 1; i < n; ++i)
                    prefix[i] = Box::unite(prefix[i - 1], boxOf(items[i]));
                suffix[n - 1] = boxOf(items[n - 1]);
                for (std::size_t i = n - 1; i-- > 0;)
                    suffix[i] = Box::unite(suffix[i + 1], boxOf(items[i]));
                for (std::size_t k = 0; m + k + m <= n; ++k) {
                    const Box& b1 = prefix[m + k - 1];
                    const Box& b2 = suffix[m + k];
                    Choice c{edge, k, Box::overlap(b1, b2),
                             static_cast<unsigned __int128>(b1.area()) + b2.area(), b1.margin() + b2.margin()};
                    if (!found || c.overlap < best[axis].overlap ||
                        (c.overlap == best[axis].overlap && c.area < best[axis].area)) {
                        best[axis] = c;
                        found = true;
                    }
                }
            }
        }
        const int axis = best[1].margin < best[0].margin ? 1 : 0;
        sortBy(items, axis, best[axis].edge);
        auto sibling = std::make_unique<Node>();
        sibling->leaf = node.leaf;
        const std::size_t keep = m + best[axis].k;
        std::vector<Item>& moved = itemsOf<Item>(*sibling);
        for (std::size_t i = keep; i < n; ++i)
            moved.push_back(std::move(items[i]));
        items.resize(keep);
        node.box = unionOf(items);
        sibling->box = unionOf(moved);
        return sibling;
    }

    // The sibling's vector of the same kind as the node being split.
    template <class Item>
    static std::vector<Item>& itemsOf(Node& node) {
        if constexpr (std::is_same_v<Item, std::unique_ptr<Entry>>)
            return node.entries;
        else
            return node.children;
    }

    template <class Predicate>
    void removeBelow(Node& node, Predicate& matches, Removal& removal, bool isRoot) {
        if (node.leaf) {
            auto& items = node.entries;
            for (std::size_t i = 0; i < items.size() && !removal.done();) {
                if (matches(*items[i])) {
                    items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
                    ++removal.removed;
                    --m_count;
                } else {
                    ++i;
                }
            }
        } else {
            for (auto& child : node.children)
                removeBelow(*child, matches, removal, false);
            std::erase_if(node.children, [](const std::unique_ptr<Node>& c) { return c->size() == 0; });
        }
        // An underfull node gives its entries back for re-insertion and is
        // emptied, so that its parent drops it. The root is exempt: it may
        // legitimately hold fewer than the minimum.
        if (!isRoot && node.size() != 0 && node.size() < m_minFill) {
            collectEntries(node, removal.orphans);
            node.children.clear();
            node.entries.clear();
        }
    }

    static void collectEntries(Node& node, std::vector<std::unique_ptr<Entry>>& out) {
        if (node.leaf) {
            for (auto& e : node.entries)
                out.push_back(std::move(e));
        } else {
            for (auto& c : node.children)
                collectEntries(*c, out);
        }
    }

    template <class Visitor>
    static void visit(const Node& node, const Box& query, Visitor& visitor, bool contained) {
        if (!node.box.intersects(query))
            return;
        if (!node.leaf) {
            for (const auto& child : node.children)
                visit(*child, query, visitor, contained);
            return;
        }
        for (const auto& e : node.entries) {
            if (contained ? query.contains(e->box) : query.intersects(e->box))
                visitor(static_cast<const Entry&>(*e));
        }
    }

    std::unique_ptr<Node> m_root;
    std::uint32_t m_count = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_minFill;
    std::uint32_t m_maxFill;
};

} // namespace Core
