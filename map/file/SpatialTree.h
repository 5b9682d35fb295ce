#pragma once
// A stored bounding-box tree and its best-first nearest search. Map files
// keep one or two of them in their spatial-search section; the danger-warn
// point index stores its tree in the same format and searches it with this
// class too.
//
// Tree: u8 depth D (the level of the leaf nodes, the root being level 1),
// u8 unused, u8 M (most entries per node), u8 unused, u32 object count (0 =
// empty), the whole tree's box, then the root node. Node of k entries: the
// box of entry 0, then for each further entry a u32 target offset and its
// box, then a u32 0 end mark when k < M. Entry 0's target lies right after
// the node. Targets of nodes above level D are nodes; those of level-D nodes
// are object records: u16 type and u32 value (typed trees), or u32 value.
// Offsets are relative to a base position of the FileRW.

#include "core/FileRW.h"
#include "map/Point.h"

#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

namespace Map::File {

struct Box {
    std::int32_t minX = 0;
    std::int32_t minY = 0;
    std::int32_t maxX = 0;
    std::int32_t maxY = 0;
    bool operator==(const Box&) const = default;
};

// Squared distance from a point to a box, 0 inside it. Differences are
// 64-bit (a box may span the globe); a sum of 2^64 - 1 or more saturates at
// 2^64 - 2, so a limit of 2^64 - 1 means no limit.
std::uint64_t squaredDistance(Point point, const Box& box);

// Receives the objects nearest first, for as long as it wants more.
class NnVisitor {
public:
    NnVisitor() = default;
    NnVisitor(const NnVisitor&) = delete;
    NnVisitor& operator=(const NnVisitor&) = delete;
    virtual ~NnVisitor() = default;
    virtual bool wantsMore() = 0;
    // The squared distance beyond which nothing is wanted now.
    virtual std::uint64_t limit() = 0;
    virtual void visit(std::uint32_t value, std::uint64_t squaredDistance) = 0;
};

// Passes a typed record on only when its type is in the sorted list (an
// empty list lets nothing through).
class TypeFilter {
public:
    TypeFilter(NnVisitor& visitor, const std::vector<std::uint16_t>& types) : m_visitor(visitor), m_types(types) {}
    void visit(std::uint16_t type, std::uint32_t value, std::uint64_t squaredDistance);

private:
    NnVisitor& m_visitor;
    const std::vector<std::uint16_t>& m_types;
};

// Most-recently-used cache of 20 entries keyed by offset. Entries waiting in
// a search queue are pinned and never evicted; when every entry is pinned
// the cache grows, and shrinks back to its capacity as entries are unpinned.
template <class T>
class PinnedCache {
public:
    static constexpr std::size_t Capacity = 20;

    // The entry of `key`, made most recent; null when absent.
    T* find(std::uint32_t key);
    // Inserts as most recent. Null when `key` is present and pinned; a
    // present unpinned entry is replaced.
    T* insert(std::uint32_t key, T value);
    void pin(std::uint32_t key);
    void unpin(std::uint32_t key);

    std::size_t size() const { return m_index.size(); }
    std::size_t pinned() const { return m_pinned; }

private:
    struct Entry {
        std::uint32_t key;
        T value;
        std::uint32_t pins = 0;
    };
    void trim(std::size_t target);

    std::list<Entry> m_ring; // most recent first
    std::unordered_map<std::uint32_t, typename std::list<Entry>::iterator> m_index;
    std::size_t m_pinned = 0;
};

class SpatialTree {
public:
    enum RecordKind { Typed, Untyped };

    struct Node {
        std::uint8_t level = 0;
        struct Entry {
            std::uint32_t target = 0;
            Box box;
        };
        std::vector<Entry> entries;
    };
    struct Record {
        std::uint16_t type = 0;
        std::uint32_t value = 0;
    };

    // Loads the tree at the FileRW's current position. Offsets in the tree
    // are relative to `base`. A tree whose header or root cannot be read, or
    // whose depth or M is 0, answers every search as an empty tree.
    SpatialTree(FileSystem::FileRW& file, std::uint32_t base, RecordKind kind);

    // Walks the tree nearest first. Records of a typed tree go through
    // `filter` when given. False only when a node or record cannot be read,
    // or the walk visits more entries than the file can hold (a damaged tree
    // whose offsets loop).
    bool nearest(NnVisitor& visitor, Point point, TypeFilter* filter);

    bool empty() const { return m_objectCount == 0 || !m_usable; }
    std::uint32_t objectCount() const { return m_objectCount; }
    std::uint8_t depth() const { return m_depth; }
    std::uint8_t maxEntries() const { return m_maxEntries; }
    const Box& box() const { return m_box; }
    std::uint64_t nodesRead() const { return m_nodesRead; }
    std::uint64_t recordsRead() const { return m_recordsRead; }
    std::size_t cachedNodes() const { return m_nodes.size(); }
    std::size_t cachedRecords() const { return m_records.size(); }

private:
    bool readNode(std::uint32_t offset, std::uint8_t level, Node& node);
    bool readRecord(std::uint32_t offset, Record& record);
    bool seekTo(std::uint32_t offset);

    FileSystem::FileRW& m_file;
    std::uint32_t m_base;
    RecordKind m_kind;
    std::uint8_t m_depth = 0;
    std::uint8_t m_maxEntries = 0;
    std::uint32_t m_objectCount = 0;
    Box m_box;
    bool m_usable = false;
    Node m_root;
    // Most entries one search may push: a sound tree names each node and
    // record once, and each takes at least 4 bytes of the file.
    std::uint64_t m_walkBudget = 0;
    PinnedCache<Node> m_nodes;
    PinnedCache<Record> m_records;
    std::uint64_t m_nodesRead = 0;
    std::uint64_t m_recordsRead = 0;
};

template <class T>
T* PinnedCache<T>::find(std::uint32_t key) {
    const auto it = m_index.find(key);
    if (it == m_index.end())
        return nullptr;
    m_ring.splice(m_ring.begin(), m_ring, it->second);
    return &it->second->value;
}

template <class T>
T* PinnedCache<T>::insert(std::uint32_t key, T value) {
    if (const auto it = m_index.find(key); it != m_index.end()) {
        if (it->second->pins != 0)
            return nullptr;
        it->second->value = std::move(value);
        m_ring.splice(m_ring.begin(), m_ring, it->second);
        return &it->second->value;
    }
    trim(Capacity - 1);
    m_ring.push_front(Entry{key, std::move(value)});
    m_index.emplace(key, m_ring.begin());
    return &m_ring.front().value;
}

template <class T>
void PinnedCache<T>::pin(std::uint32_t key) {
    if (const auto it = m_index.find(key); it != m_index.end() && it->second->pins++ == 0)
        ++m_pinned;
}

template <class T>
void PinnedCache<T>::unpin(std::uint32_t key) {
    const auto it = m_index.find(key);
    if (it == m_index.end() || it->second->pins == 0)
        return;
    if (--it->second->pins == 0) {
        --m_pinned;
        trim(Capacity);
    }
}

// Evicts least recently used unpinned entries until at most `target` remain
// or only pinned ones are left.
template <class T>
void PinnedCache<T>::trim(std::size_t target) {
    auto it = m_ring.end();
    while (m_index.size() > target && m_index.size() > m_pinned && it != m_ring.begin()) {
        --it;
        if (it->pins != 0)
            continue;
        m_index.erase(it->key);
        it = m_ring.erase(it);
    }
}

} // namespace Map::File
