#pragma once
// "DangerWarnPoints.idx": the danger-warn point tree stored so that the next
// start can answer queries without reading the text files again.
//
// Layout (little-endian, offsets are absolute file positions): u32 signature
// 0x01505744 ("DWP", 1); the source list of the text files; u8 height, u8
// minimum fill, u8 maximum fill, u8 0, u32 point count N; when N > 0 the root
// box (4 x i32) and the nodes, root first, depth first. A node of n children
// is the box of child 0 (which starts right after the node), then for each
// further child a u32 offset and its box, then a u32 0 when n is below the
// maximum fill. Children of a node at the last level are 20-byte points.
//
// The signature is written last: an interrupted write leaves 0 there and the
// file is refused (and rebuilt) on the next start.

#include "core/FileRW.h"
#include "map/IndexSourceList.h"
#include "map/proximity/Index.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Map::Proximity {

inline constexpr std::uint32_t kIndexSignature = 0x01505744;

// Writes the whole file from the tree; false on any failed write or seek.
bool writeIndex(FileSystem::FileRW& file, const IndexSourceList& sources, const Tree& tree);

namespace detail {

// Least recently used entries keyed by file offset. Values are shared, so an
// entry a query is still walking stays valid when the cache drops it.
template <class T>
class OffsetCache {
public:
    explicit OffsetCache(std::size_t capacity) : m_capacity(capacity == 0 ? 1 : capacity) {}

    std::shared_ptr<const T> find(std::uint32_t offset) {
        const auto it = m_index.find(offset);
        if (it == m_index.end())
            return nullptr;
        m_order.splice(m_order.begin(), m_order, it->second);
        return it->second->second;
    }
    void insert(std::uint32_t offset, std::shared_ptr<const T> value) {
        if (const auto it = m_index.find(offset); it != m_index.end()) {
            it->second->second = std::move(value);
            m_order.splice(m_order.begin(), m_order, it->second);
            return;
        }
        m_order.emplace_front(offset, std::move(value));
        m_index.emplace(offset, m_order.begin());
        while (m_index.size() > m_capacity) {
            m_index.erase(m_order.back().first);
            m_order.pop_back();
        }
    }
    std::size_t size() const { return m_index.size(); }

private:
    using Item = std::pair<std::uint32_t, std::shared_ptr<const T>>;
    std::size_t m_capacity;
    std::list<Item> m_order; // most recent first
    std::unordered_map<std::uint32_t, typename std::list<Item>::iterator> m_index;
};

} // namespace detail

// Answers the index queries from the file, keeping only the root node and
// two bounded caches in memory.
class FileIndex : public Index {
public:
    struct Record {
        std::uint32_t offset = 0;
        Box box;
    };
    using Node = std::vector<Record>;

    // Opens the cache file; the index is valid only when the file's source
    // list equals `sources` and its tree header and root can be read.
    FileIndex(const std::u16string& path, const IndexSourceList& sources, std::uint32_t nodeCacheCapacity,
              std::uint32_t pointCacheCapacity);
    ~FileIndex() override;

    bool isValid() const override { return m_haveReader && m_maxFill != 0; }
    std::uint32_t layerCount() const override { return m_height; }
    std::uint32_t pointCount() const override { return m_pointCount; }
    bool queryIntersecting(const Box& query, const Visitor& visitor) override;
    bool queryContained(const Box& query, const Visitor& visitor) override;
    void resetCacheCounters() override;
    std::pair<std::uint32_t, std::uint32_t> cacheCounters() const override;

    std::size_t cachedNodes() const { return m_nodes.size(); }
    std::size_t cachedPoints() const { return m_points.size(); }

private:
    void openTree();
    bool readNode(std::uint32_t offset, Node& node);
    bool query(const Box& query, const Visitor& visitor, bool contained);
    bool visitNode(const Node& node, std::uint32_t level, const Box& query, const Visitor& visitor, bool contained,
                   std::uint64_t& budget);

    std::u16string m_path;
    std::unique_ptr<FileSystem::FileRW> m_file;
    std::uint64_t m_fileSize = 0;
    std::uint32_t m_base = 0;
    bool m_haveReader = false;
    std::uint8_t m_height = 0;
    std::uint8_t m_minFill = 0;
    std::uint8_t m_maxFill = 0;
    std::uint32_t m_pointCount = 0;
    Box m_rootBox;
    Node m_root;
    detail::OffsetCache<Node> m_nodes;
    detail::OffsetCache<Point> m_points;
    std::uint32_t m_nodesLoaded = 0;
    std::uint32_t m_pointsLoaded = 0;
    std::vector<std::uint8_t> m_nodeBuffer;
};

} // namespace Map::Proximity
