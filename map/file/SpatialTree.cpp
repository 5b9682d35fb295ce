#include "map/file/SpatialTree.h"

#include "map/file/detail/Bytes.h"

#include <algorithm>
#include <limits>
#include <queue>

namespace Map::File {

using detail::i32At;
using detail::u16At;
using detail::u32At;

namespace {

constexpr std::uint32_t BoxSize = 16;
constexpr std::uint32_t EntrySize = 20; // u32 target + box

Box boxAt(const std::uint8_t* p) { return {i32At(p), i32At(p + 4), i32At(p + 8), i32At(p + 12)}; }

std::int64_t axisDistance(std::int32_t v, std::int32_t min, std::int32_t max) {
    if (v > max)
        return std::int64_t{v} - max;
    if (v < min)
        return std::int64_t{min} - v;
    return 0;
}

bool readExact(FileSystem::FileRW& file, std::uint8_t* buffer, std::size_t size) {
    return file.read(buffer, size, 1) == 1;
}

} // namespace

std::uint64_t squaredDistance(Point point, const Box& box) {
    // Each difference is below 2^32, so each square fits 64 bits; only the
    // sum can pass the top. It saturates one below the largest value, so
    // that a visitor whose limit is 2^64 - 1 still sees every object.
    constexpr std::uint64_t Farthest = std::numeric_limits<std::uint64_t>::max() - 1;
    const auto dx = static_cast<std::uint64_t>(axisDistance(point.x, box.minX, box.maxX));
    const auto dy = static_cast<std::uint64_t>(axisDistance(point.y, box.minY, box.maxY));
    const std::uint64_t x2 = std::min(dx * dx, Farthest);
    const std::uint64_t y2 = std::min(dy * dy, Farthest);
    return x2 > Farthest - y2 ? Farthest : x2 + y2;
}

void TypeFilter::visit(std::uint16_t type, std::uint32_t value, std::uint64_t squaredDistance) {
    if (std::binary_search(m_types.begin(), m_types.end(), type))
        m_visitor.visit(value, squaredDistance);
}

SpatialTree::SpatialTree(FileSystem::FileRW& file, std::uint32_t base, RecordKind kind)
    : m_file(file), m_base(base), m_kind(kind) {
    const std::uint32_t start = m_file.tell();
    if (start == 0xFFFFFFFF)
        return;
    if (m_file.seekToEnd()) {
        const std::uint32_t end = m_file.tell();
        if (end != 0xFFFFFFFF)
            m_walkBudget = end / 4 + 1;
    }
    if (!m_file.seek(static_cast<std::int32_t>(start)))
        return;
    std::uint8_t header[8 + BoxSize];
    if (!readExact(m_file, header, 8))
        return;
    m_depth = header[0];
    m_maxEntries = header[2];
    m_objectCount = u32At(header + 4);
    if (m_objectCount == 0)
        return;
    if (!readExact(m_file, header + 8, BoxSize))
        return;
    m_box = boxAt(header + 8);
    const std::uint32_t rootAt = m_file.tell();
    if (m_depth == 0 || m_maxEntries == 0 || rootAt == 0xFFFFFFFF || rootAt < m_base) {
        m_maxEntries = 0;
        return;
    }
    if (!readNode(rootAt - m_base, 1, m_root)) {
        m_maxEntries = 0;
        return;
    }
    m_usable = true;
}

bool SpatialTree::seekTo(std::uint32_t offset) {
    const std::uint64_t at = std::uint64_t{m_base} + offset;
    return at <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) &&
           m_file.seek(static_cast<std::int32_t>(at));
}

bool SpatialTree::readNode(std::uint32_t offset, std::uint8_t level, Node& node) {
    if (!seekTo(offset))
        return false;
    node.level = level;
    node.entries.clear();
    node.entries.reserve(m_maxEntries);
    std::uint8_t bytes[EntrySize];
    if (!readExact(m_file, bytes, BoxSize))
        return false;
    node.entries.push_back({0, boxAt(bytes)});
    while (node.entries.size() < m_maxEntries) {
        if (!readExact(m_file, bytes, 4))
            return false;
        const std::uint32_t target = u32At(bytes);
        if (target == 0)
            break;
        if (!readExact(m_file, bytes + 4, BoxSize))
            return false;
        node.entries.push_back({target, boxAt(bytes + 4)});
    }
    // Entry 0's target follows the node, which has no end mark when full.
    const std::uint64_t k = node.entries.size();
    const std::uint64_t first = offset + EntrySize * k - (k == m_maxEntries ? 4 : 0);
    if (first > std::numeric_limits<std::uint32_t>::max())
        return false;
    node.entries[0].target = static_cast<std::uint32_t>(first);
    return true;
}

bool SpatialTree::readRecord(std::uint32_t offset, Record& record) {
    if (!seekTo(offset))
        return false;
    std::uint8_t bytes[6];
    if (m_kind == Typed) {
        if (!readExact(m_file, bytes, 6))
            return false;
        record = {u16At(bytes), u32At(bytes + 2)};
    } else {
        if (!readExact(m_file, bytes, 4))
            return false;
        record = {0, u32At(bytes)};
    }
    return true;
}

bool SpatialTree::nearest(NnVisitor& visitor, Point point, TypeFilter* filter) {
    if (!visitor.wantsMore() || empty())
        return true;

    struct Queued {
        std::uint64_t distance;
        std::uint32_t key; // offset of the node or record
        const Node* node;  // null for a record
        const Record* record;
        bool root;
    };
    struct Farther {
        bool operator()(const Queued& a, const Queued& b) const { return a.distance > b.distance; }
    };
    std::priority_queue<Queued, std::vector<Queued>, Farther> queue;
    queue.push({0, 0, &m_root, nullptr, true});
    std::uint64_t pushed = 0;
    bool ok = true;

    while (!queue.empty() && ok && visitor.wantsMore()) {
        const Queued top = queue.top();
        queue.pop();
        if (top.record != nullptr) {
            if (top.distance < visitor.limit()) {
                if (filter != nullptr && m_kind == Typed)
                    filter->visit(top.record->type, top.record->value, top.distance);
                else
                    visitor.visit(top.record->value, top.distance);
            }
            m_records.unpin(top.key);
            continue;
        }
        const Node& node = *top.node;
        const bool leaf = node.level >= m_depth;
        for (const Node::Entry& entry : node.entries) {
            if (!visitor.wantsMore())
                break;
            const std::uint64_t d = squaredDistance(point, entry.box);
            if (d >= visitor.limit())
                continue;
            if (++pushed > m_walkBudget) {
                ok = false;
                break;
            }
            if (!leaf) {
                Node* child = m_nodes.find(entry.target);
                if (child == nullptr) {
                    ++m_nodesRead;
                    Node read;
                    if (!readNode(entry.target, static_cast<std::uint8_t>(node.level + 1), read) ||
                        (child = m_nodes.insert(entry.target, std::move(read))) == nullptr) {
                        ok = false;
                        break;
                    }
                }
                m_nodes.pin(entry.target);
                queue.push({d, entry.target, child, nullptr, false});
            } else {
                Record* record = m_records.find(entry.target);
                if (record == nullptr) {
                    ++m_recordsRead;
                    Record read;
                    if (!readRecord(entry.target, read) ||
                        (record = m_records.insert(entry.target, read)) == nullptr) {
                        ok = false;
                        break;
                    }
                }
                m_records.pin(entry.target);
                queue.push({d, entry.target, nullptr, record, false});
            }
        }
        if (!top.root)
            m_nodes.unpin(top.key);
    }
    while (!queue.empty()) {
        const Queued& rest = queue.top();
        if (rest.record != nullptr)
            m_records.unpin(rest.key);
        else if (!rest.root)
            m_nodes.unpin(rest.key);
        queue.pop();
    }
    return ok;
}

} // namespace Map::File
