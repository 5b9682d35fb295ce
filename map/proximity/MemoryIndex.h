#pragma once
// The danger-warn points in an in-memory R*-tree (minimum fill 4, maximum 8),
// filled by the text-file reader.

#include "map/proximity/Index.h"

namespace Map::Proximity {

class MemoryIndex : public Index {
public:
    static constexpr std::uint32_t MinFill = 4;
    static constexpr std::uint32_t MaxFill = 8;

    MemoryIndex() : m_tree(MinFill, MaxFill) {}
    ~MemoryIndex() override { m_tree.clear(); }

    // Indexes the point with its radius box.
    void add(const Point& point) { m_tree.insert(boxOf(point), point); }

    bool isValid() const override { return true; }
    std::uint32_t layerCount() const override { return m_tree.height(); }
    std::uint32_t pointCount() const override { return m_tree.count(); }
    bool queryIntersecting(const Box& query, const Visitor& visitor) override {
        m_tree.visitIntersecting(query, [&visitor](const Tree::Entry& e) { visitor(e.value); });
        return true;
    }
    bool queryContained(const Box& query, const Visitor& visitor) override {
        m_tree.visitContained(query, [&visitor](const Tree::Entry& e) { visitor(e.value); });
        return true;
    }
    void resetCacheCounters() override {}
    std::pair<std::uint32_t, std::uint32_t> cacheCounters() const override { return {0, 0}; }

    const Tree& tree() const { return m_tree; }

private:
    Tree m_tree;
};

} // namespace Map::Proximity
