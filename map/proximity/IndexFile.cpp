#include "map/proximity/IndexFile.h"

#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/WinFile.h"

#include <cstring>

namespace Map::Proximity {
namespace {

// Nodes deeper than this cannot come from a tree of at most 2^32 points.
constexpr std::uint8_t kMaxHeight = 32;
constexpr std::uint32_t kRecordBytes = 20;
constexpr std::uint32_t kBoxBytes = 16;

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putI32(std::vector<std::uint8_t>& out, std::int32_t v) { putU32(out, static_cast<std::uint32_t>(v)); }
void putBox(std::vector<std::uint8_t>& out, const Box& b) {
    putI32(out, b.minX);
    putI32(out, b.minY);
    putI32(out, b.maxX);
    putI32(out, b.maxY);
}
void putPoint(std::vector<std::uint8_t>& out, const Point& p) {
    putI32(out, p.x);
    putI32(out, p.y);
    putU32(out, p.reserved);
    putI32(out, p.radius);
    putU32(out, p.packed);
}

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::int32_t getI32(const std::uint8_t* p) { return static_cast<std::int32_t>(getU32(p)); }
Box getBox(const std::uint8_t* p) { return Box{getI32(p), getI32(p + 4), getI32(p + 8), getI32(p + 12)}; }

bool readExactly(FileSystem::FileRW& file, void* buffer, std::size_t bytes) {
    return file.read(buffer, bytes, 1) == 1;
}

// Lays the tree out depth first into one buffer whose first byte lies at
// file position `start`.
class TreeLayout {
public:
    TreeLayout(const Tree& tree, std::uint64_t start) : m_maxFill(tree.maxFill()), m_start(start) {}

    // False when the file would outgrow 32-bit offsets.
    bool lay(const Tree::Node& node) {
        if (m_start + subtreeBytes(node) > 0xFFFFFFFFull)
            return false;
        layNode(node);
        return true;
    }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::uint64_t listBytes(std::size_t n) const { return kRecordBytes * n - (n == m_maxFill ? 4 : 0); }

    std::uint64_t subtreeBytes(const Tree::Node& node) {
        if (const auto it = m_sizes.find(&node); it != m_sizes.end())
            return it->second;
        std::uint64_t size = listBytes(node.size());
        if (node.leaf) {
            size += std::uint64_t{kRecordBytes} * node.entries.size();
        } else {
            for (const auto& c : node.children)
                size += subtreeBytes(*c);
        }
        m_sizes.emplace(&node, size);
        return size;
    }

    void layNode(const Tree::Node& node) {
        const std::uint64_t here = m_start + m_bytes.size();
        std::uint64_t target = here + listBytes(node.size());
        const std::size_t n = node.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (i != 0)
                putU32(m_bytes, static_cast<std::uint32_t>(target));
            if (node.leaf) {
                putBox(m_bytes, node.entries[i]->box);
                target += kRecordBytes;
            } else {
                putBox(m_bytes, node.children[i]->box);
                target += subtreeBytes(*node.children[i]);
            }
        }
        if (n < m_maxFill)
            putU32(m_bytes, 0);
        if (node.leaf) {
            for (const auto& e : node.entries)
                putPoint(m_bytes, e->value);
        } else {
            for (const auto& c : node.children)
                layNode(*c);
        }
    }

    std::uint32_t m_maxFill;
    std::uint64_t m_start;
    std::vector<std::uint8_t> m_bytes;
    std::unordered_map<const Tree::Node*, std::uint64_t> m_sizes;
};

} // namespace

bool writeIndex(FileSystem::FileRW& file, const IndexSourceList& sources, const Tree& tree) {
    std::vector<std::uint8_t> bytes;
    putU32(bytes, 0);
    if (file.write(bytes.data(), bytes.size(), 1) != 1 || !IndexSourceList::write(file, sources))
        return false;
    const std::uint32_t count = tree.root() ? tree.count() : 0;
    bytes.clear();
    bytes.push_back(static_cast<std::uint8_t>(tree.height()));
    bytes.push_back(static_cast<std::uint8_t>(tree.minFill()));
    bytes.push_back(static_cast<std::uint8_t>(tree.maxFill()));
    bytes.push_back(0);
    putU32(bytes, count);
    if (count != 0)
        putBox(bytes, tree.root()->box);
    if (file.write(bytes.data(), bytes.size(), 1) != 1)
        return false;
    if (count != 0) {
        const std::uint32_t start = file.tell();
        if (start == 0xFFFFFFFF)
            return false;
        TreeLayout layout(tree, start);
        if (!layout.lay(*tree.root()) || file.write(layout.bytes().data(), layout.bytes().size(), 1) != 1)
            return false;
    }
    bytes.clear();
    putU32(bytes, kIndexSignature);
    return file.seek(0) && file.write(bytes.data(), bytes.size(), 1) == 1;
}

FileIndex::FileIndex(const std::u16string& path, const IndexSourceList& sources, std::uint32_t nodeCacheCapacity,
                     std::uint32_t pointCacheCapacity)
    : m_path(path), m_file(std::make_unique<FileSystem::WinFileForRead>(path)), m_nodes(nodeCacheCapacity),
      m_points(pointCacheCapacity) {
    std::uint8_t word[4];
    if (m_file->isOpen() && readExactly(*m_file, word, 4)) {
        const std::uint32_t signature = getU32(word);
        if (signature != kIndexSignature) {
            Log::log(Log::Critical, u"Invalid Danger Warn Points index signature: %08x", signature);
            Log::log(Log::Critical, u"filename = '%s'", path);
            return;
        }
        IndexSourceList stored;
        if (IndexSourceList::read(*m_file, stored)) {
            if (IndexSourceList::equals(stored, sources))
                openTree();
            return;
        }
    }
    // Taken first: the file's error is the thread's, which the look for
    // the file below replaces.
    const int error = m_file->lastError();
    const bool known = m_file->isOpen() || FileSystem::fileExists(path);
    // A missing index is a clean install's first start: it is built from
    // the text files, nothing to alarm anyone about.
    if (m_file->isOpen() && error == 0)
        // Nothing failed but the file ran out (an empty or cut index).
        Log::log(Log::Critical, u"Error reading Danger Warn Points index %s (err %d): the file ends too early", path,
                 error);
    else
        Log::log(known ? Log::Critical : Log::Normal, u"Error reading Danger Warn Points index %s (err %d)", path,
                 error);
}

FileIndex::~FileIndex() = default;

void FileIndex::openTree() {
    m_haveReader = true;
    const std::uint32_t headerAt = m_file->tell();
    if (m_file->seekToEnd()) {
        const std::uint32_t end = m_file->tell();
        if (end != 0xFFFFFFFF)
            m_fileSize = end;
    }
    std::uint8_t header[8];
    if (headerAt == 0xFFFFFFFF || !m_file->seek(static_cast<std::int32_t>(headerAt)) ||
        !readExactly(*m_file, header, sizeof header)) {
        m_maxFill = 0;
        return;
    }
    m_height = header[0];
    m_minFill = header[1];
    m_maxFill = header[2];
    m_pointCount = getU32(header + 4);
    if (m_pointCount == 0)
        return;
    std::uint8_t box[kBoxBytes];
    // A tree the queries cannot walk soundly is refused whole.
    if (m_height == 0 || m_height > kMaxHeight || m_maxFill < 2 || !readExactly(*m_file, box, sizeof box)) {
        m_maxFill = 0;
        return;
    }
    m_rootBox = getBox(box);
    const std::uint32_t rootAt = m_file->tell();
    if (rootAt == 0xFFFFFFFF || !readNode(rootAt, m_root))
        m_maxFill = 0;
}

bool FileIndex::readNode(std::uint32_t offset, Node& node) {
    node.clear();
    if (offset > 0x7FFFFFFF || !m_file->seek(static_cast<std::int32_t>(m_base + offset)))
        return false;
    // One read of the largest node; a node near the end of the file comes
    // back shorter, and only the bytes it needs must be there.
    m_nodeBuffer.resize(std::size_t{kRecordBytes} * m_maxFill - 4);
    const std::size_t got = m_file->read(m_nodeBuffer.data(), 1, m_nodeBuffer.size());
    const std::uint8_t* bytes = m_nodeBuffer.data();
    if (got < kBoxBytes)
        return false;
    node.push_back(Record{0, getBox(bytes)});
    std::size_t at = kBoxBytes;
    while (node.size() < m_maxFill) {
        if (got < at + 4)
            return false;
        const std::uint32_t target = getU32(bytes + at);
        at += 4;
        if (target == 0)
            break;
        if (got < at + kBoxBytes)
            return false;
        node.push_back(Record{target, getBox(bytes + at)});
        at += kBoxBytes;
    }
    // The first child lies right after the node.
    node.front().offset = static_cast<std::uint32_t>(offset + at);
    return true;
}

bool FileIndex::queryIntersecting(const Box& q, const Visitor& visitor) { return query(q, visitor, false); }
bool FileIndex::queryContained(const Box& q, const Visitor& visitor) { return query(q, visitor, true); }

bool FileIndex::query(const Box& q, const Visitor& visitor, bool contained) {
    if (!isValid())
        return false;
    if (m_pointCount == 0 || !m_rootBox.intersects(q))
        return true;
    // A sound tree names every node and point once and each takes at least
    // 16 bytes; a damaged one whose offsets loop runs out of this budget.
    std::uint64_t budget = m_fileSize / 16 + 16;
    if (visitNode(m_root, 1, q, visitor, contained, budget))
        return true;
    Log::log(Log::Critical, u"Error quering Danger Warn Points index (err %d)", m_file->lastError());
    Log::log(Log::Critical, u"filename = '%s'", m_path);
    return false;
}

bool FileIndex::visitNode(const Node& node, std::uint32_t level, const Box& q, const Visitor& visitor,
                          bool contained, std::uint64_t& budget) {
    for (const Record& record : node) {
        if (budget == 0)
            return false;
        --budget;
        if (level < m_height) {
            if (!q.intersects(record.box))
                continue;
            std::shared_ptr<const Node> child = m_nodes.find(record.offset);
            if (!child) {
                ++m_nodesLoaded;
                auto loaded = std::make_shared<Node>();
                if (!readNode(record.offset, *loaded))
                    return false;
                child = loaded;
                m_nodes.insert(record.offset, child);
            }
            // `child` keeps the node alive while the cache may drop it.
            if (!visitNode(*child, level + 1, q, visitor, contained, budget))
                return false;
            continue;
        }
        if (!(contained ? q.contains(record.box) : q.intersects(record.box)))
            continue;
        std::shared_ptr<const Point> point = m_points.find(record.offset);
        if (!point) {
            ++m_pointsLoaded;
            std::uint8_t bytes[kRecordBytes];
            if (record.offset > 0x7FFFFFFF || !m_file->seek(static_cast<std::int32_t>(m_base + record.offset)) ||
                !readExactly(*m_file, bytes, sizeof bytes))
                return false;
            point = std::make_shared<Point>(Point{getI32(bytes), getI32(bytes + 4), getU32(bytes + 8),
                                                  getI32(bytes + 12), getU32(bytes + 16)});
            m_points.insert(record.offset, point);
        }
        visitor(*point);
    }
    return true;
}

void FileIndex::resetCacheCounters() {
    m_nodesLoaded = 0;
    m_pointsLoaded = 0;
}

std::pair<std::uint32_t, std::uint32_t> FileIndex::cacheCounters() const {
    if (!m_haveReader)
        return {0, 0};
    return {m_nodesLoaded, m_pointsLoaded};
}

} // namespace Map::Proximity
