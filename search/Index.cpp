#include "search/Index.h"

#include "core/FileSystem.h"
#include "core/Log.h"
#include "map/file/detail/Bytes.h"

namespace TextSearch {

using Map::ItemsGroup;
using Map::MappedGroup;
using Map::PoiTypeGroup;
using Map::File::detail::fits;
using Map::File::detail::u16At;
using Map::File::detail::u32At;
namespace NameTree = Map::File::NameTree;

namespace {

// Tree and list block of levels 0 and 1.
constexpr int TreeBlocks[3] = {CityTreeBlock, StreetTreeBlock, PoiTreeBlock};
constexpr int RangeBlocks[2] = {CityRangesBlock, StreetRangesBlock};

// Bits 14 and up are unused; each 2-bit field is 0 (wide) or 2 (narrow).
bool flagsValid(std::uint32_t flags) {
    if ((flags >> 14) != 0) return false;
    for (int shift = 0; shift < 14; shift += 2)
        if (((flags >> shift) & 3) == 1 || ((flags >> shift) & 3) == 3) return false;
    return true;
}

} // namespace

unsigned Index::treeKind(std::uint32_t flags, int level) {
    switch (level) {
    case CityLevel:
        return (flags & 3) * 4 + ((flags >> 2) & 3);
    case StreetLevel:
        return ((flags >> 4) & 3) * 4 + ((flags >> 6) & 3);
    case PoiLevel:
        return ((flags >> 10) & 3) * 4 + ((flags >> 12) & 3);
    default:
        return 1; // no such kind
    }
}

Index::Index(Core::ResourcesPool& pool, const std::u16string& path, const Map::IndexSourceList& sources,
             std::size_t mapCount) {
    if (!FileSystem::fileExists(path)) return;
    m_mapping = std::make_unique<FileSystem::ReleasableFileMapping>(pool, path);
    const std::uint64_t size = m_mapping->fileSize();
    if (size == 0 || size >= 0xFFFFFFFFu) return;
    std::shared_ptr<FileSystem::ReleasableFileMapping::View> view = m_mapping->createView(0, 0);
    if (!view || !view->ensureMapped()) return;
    FileSystem::ReleasableFileMapping::ViewFileRW file(view);
    std::uint8_t word[4];
    if (file.read(word, 4, 1) != 1) {
        Log::log(Log::Critical, u"Invalid text search index size");
        return;
    }
    if (u32At(word) != IndexSignature) {
        Log::log(Log::Critical, u"Invalid text search index signature: %08x", u32At(word));
        return;
    }
    Map::IndexSourceList stored;
    if (!Map::IndexSourceList::read(file, stored)) {
        Log::log(Log::Critical, u"Invalid text search index");
        return;
    }
    if (!Map::IndexSourceList::equals(stored, sources)) return; // stale: rebuilt without a word
    const std::uint32_t headerAt = file.tell();
    std::uint8_t header[IndexHeaderSize];
    if (file.read(header, sizeof header, 1) != 1) {
        Log::log(Log::Critical, u"Invalid text search index size");
        return;
    }
    m_flags = u32At(header);
    for (int i = 0; i < IndexBlockCount; ++i)
        m_offsets[i] = u32At(header + 4 + 4 * i);
    m_view = view;
    if (!validate(size, headerAt, mapCount)) {
        Log::log(Log::Critical, u"Invalid text search index");
        m_view.reset();
    }
}

Index::~Index() {
    m_view.reset();
    m_mapping.reset();
}

bool Index::validate(std::uint64_t fileSize, std::uint32_t headerAt, std::size_t mapCount) {
    const std::uint8_t* base = acquire();
    if (base == nullptr || !flagsValid(m_flags) || m_offsets[0] != std::uint64_t{headerAt} + IndexHeaderSize)
        return false;
    // The blocks follow one another: an empty block's offset is the next
    // one's, and its size (the distance to the next offset) is 0.
    // Checked access: a walk past the last block is a fault here, not a
    // read of whatever follows the offsets.
    for (std::size_t i = 0; i < m_offsets.size(); ++i) {
        const std::uint64_t end = i + 1 < m_offsets.size() ? m_offsets.at(i + 1) : fileSize;
        if (end < m_offsets.at(i) || end > fileSize) return false;
        m_sizes.at(i) = static_cast<std::uint32_t>(end - m_offsets.at(i));
    }
    if (m_sizes[CityRangesBlock] % ItemRangeSize != 0 || m_sizes[StreetRangesBlock] % ItemRangeSize != 0 ||
        m_sizes[GroupRangesBlock] % ItemRangeSize != 0 || m_sizes[TypeGroupsBlock] % typeGroupSize() != 0)
        return false;
    for (int block : {CityRangesBlock, StreetRangesBlock, GroupRangesBlock}) {
        const Bytes list = this->block(base, block);
        for (std::uint64_t i = 0; i < list.size / ItemRangeSize; ++i)
            if (range(list, i).map >= mapCount) return false;
    }
    const Bytes groups = block(base, TypeGroupsBlock);
    const std::uint64_t groupRanges = m_sizes[GroupRangesBlock] / ItemRangeSize;
    for (std::uint64_t i = 0; i < groups.size / typeGroupSize(); ++i) {
        const ItemsGroup g = typeGroup(groups, i).group;
        if (!fits(g.first, g.count, groupRanges)) return false;
    }
    std::vector<Map::TextSearch::TreeNode> nodes;
    for (int level = CityLevel; level <= PoiLevel; ++level) {
        const Bytes treeBytes = block(base, TreeBlocks[level]);
        if (treeBytes.size == 0) continue;
        std::uint32_t roots = 0, depth = 0;
        if (!NameTree::decode(tree(base, level), treeKind(m_flags, level), nodes, roots, depth) || depth == 0)
            return false;
        const std::uint64_t listCount =
            level == PoiLevel ? groups.size / typeGroupSize() : m_sizes[RangeBlocks[level]] / ItemRangeSize;
        for (const Map::TextSearch::TreeNode& node : nodes)
            if (!fits(node.group.first, node.group.count, listCount)) return false;
    }
    return true;
}

const std::uint8_t* Index::acquire() {
    if (!m_view || !m_view->ensureMapped()) return nullptr;
    return m_view->data();
}

Index::Bytes Index::block(const std::uint8_t* base, int which) const {
    return {base + m_offsets[which], m_sizes[which]};
}

NameTree::Block Index::tree(const std::uint8_t* base, int level) const {
    const Bytes b = block(base, TreeBlocks[level]);
    return {b.data, b.size};
}

std::uint32_t Index::typeGroupSize() const {
    return ((m_flags >> 8) & 3) == 2 ? NarrowTypeGroupSize : WideTypeGroupSize;
}

MappedGroup Index::range(const Bytes& list, std::uint64_t index) const {
    const std::uint8_t* p = list.data + index * ItemRangeSize;
    return {{u32At(p), u32At(p + 4)}, u16At(p + 8)};
}

PoiTypeGroup Index::typeGroup(const Bytes& list, std::uint64_t index) const {
    const std::uint8_t* p = list.data + index * typeGroupSize();
    if (typeGroupSize() == NarrowTypeGroupSize) return {{u16At(p + 2), u16At(p + 4)}, u16At(p)};
    return {{u32At(p + 2), u32At(p + 6)}, u16At(p)};
}

void Index::appendRanges(const Bytes& list, const ItemsGroup& group, const EnabledMaps& enabled,
                         ItemRanges& out) const {
    for (std::uint64_t i = group.first; i < std::uint64_t{group.first} + group.count; ++i) {
        const MappedGroup r = range(list, i);
        if (isEnabled(enabled, r.map)) out.push_back(r);
    }
}

bool Index::anyEnabled(const Bytes& list, const ItemsGroup& group, const EnabledMaps& enabled) const {
    for (std::uint64_t i = group.first; i < std::uint64_t{group.first} + group.count; ++i)
        if (isEnabled(enabled, range(list, i).map)) return true;
    return false;
}

bool Index::typedEnabled(const std::uint8_t* base, const ItemsGroup& group, const PoiTypes& types,
                         const EnabledMaps& enabled) const {
    const Bytes groups = block(base, TypeGroupsBlock);
    const Bytes ranges = block(base, GroupRangesBlock);
    for (std::uint64_t i = group.first; i < std::uint64_t{group.first} + group.count; ++i) {
        const PoiTypeGroup g = typeGroup(groups, i);
        if (std::binary_search(types.begin(), types.end(), g.type) && anyEnabled(ranges, g.group, enabled))
            return true;
    }
    return false;
}

std::uint32_t Index::depth(int level) {
    const std::uint8_t* base = acquire();
    if (base == nullptr || level < CityLevel || level > PoiLevel) return 0;
    const Bytes b = block(base, TreeBlocks[level]);
    return b.size == 0 ? 0 : u16At(b.data);
}

bool Index::hasItems(int level, const std::u16string& prefix, const EnabledMaps& enabled) {
    ItemRanges found;
    return findItems(level, prefix, found, enabled) && !found.empty();
}

bool Index::hasTypedItems(const std::u16string& prefix, const PoiTypes& types, const EnabledMaps& enabled) {
    const std::uint8_t* base = acquire();
    if (base == nullptr || prefix.empty() || m_sizes[PoiTreeBlock] == 0) return false;
    const ItemsGroup group = NameTree::find(tree(base, PoiLevel), prefix, treeKind(m_flags, PoiLevel));
    return typedEnabled(base, group, types, enabled);
}

bool Index::nextLetters(int level, const std::u16string& prefix, Letters& letters,
                        const EnabledMaps& enabled) {
    const std::uint8_t* base = acquire();
    if (base == nullptr || (level != CityLevel && level != StreetLevel)) return false;
    if (m_sizes[TreeBlocks[level]] == 0) return true;
    const Bytes list = block(base, RangeBlocks[level]);
    NameTree::collect(tree(base, level), prefix, treeKind(m_flags, level),
                      [&](char16_t c, const ItemsGroup& g) {
                          if (anyEnabled(list, g, enabled)) insertLetter(letters, c);
                      });
    return true;
}

bool Index::nextLettersOfTypes(const std::u16string& prefix, const PoiTypes& types, Letters& letters,
                               const EnabledMaps& enabled) {
    const std::uint8_t* base = acquire();
    if (base == nullptr) return false;
    if (m_sizes[PoiTreeBlock] == 0) return true;
    NameTree::collect(tree(base, PoiLevel), prefix, treeKind(m_flags, PoiLevel),
                      [&](char16_t c, const ItemsGroup& g) {
                          if (typedEnabled(base, g, types, enabled)) insertLetter(letters, c);
                      });
    return true;
}

bool Index::findItems(int level, const std::u16string& prefix, ItemRanges& results,
                      const EnabledMaps& enabled) {
    results.clear();
    const std::uint8_t* base = acquire();
    if (base == nullptr || (level != CityLevel && level != StreetLevel)) return false;
    if (m_sizes[TreeBlocks[level]] == 0) return true;
    const Bytes list = block(base, RangeBlocks[level]);
    const unsigned kind = treeKind(m_flags, level);
    if (!prefix.empty())
        appendRanges(list, NameTree::find(tree(base, level), prefix, kind), enabled, results);
    else
        NameTree::collect(tree(base, level), prefix, kind,
                          [&](char16_t, const ItemsGroup& g) { appendRanges(list, g, enabled, results); });
    return true;
}

bool Index::findTypedItems(const std::u16string& prefix, const PoiTypes& types, ItemRanges& results,
                           const EnabledMaps& enabled) {
    results.clear();
    const std::uint8_t* base = acquire();
    if (base == nullptr) return false;
    if (m_sizes[PoiTreeBlock] == 0) return true;
    const Bytes groups = block(base, TypeGroupsBlock);
    const Bytes ranges = block(base, GroupRangesBlock);
    auto take = [&](char16_t, const ItemsGroup& group) {
        for (std::uint64_t i = group.first; i < std::uint64_t{group.first} + group.count; ++i) {
            const PoiTypeGroup g = typeGroup(groups, i);
            if (std::binary_search(types.begin(), types.end(), g.type))
                appendRanges(ranges, g.group, enabled, results);
        }
    };
    const unsigned kind = treeKind(m_flags, PoiLevel);
    if (!prefix.empty())
        take(0, NameTree::find(tree(base, PoiLevel), prefix, kind));
    else
        NameTree::collect(tree(base, PoiLevel), prefix, kind, take);
    return true;
}

} // namespace TextSearch
