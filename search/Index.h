#pragma once
// An open TextSearch.tsi: the file mapped through the resource pool, checked
// once when it is opened, then answering the engine's per-level queries.
//
// File: u32 signature 0x01495354, the index source list of the maps it was
// built from, a 32-byte header (flags, then the offsets of seven blocks),
// then the blocks with no gap: per level a name tree block and its
// item-range array (10-byte records {u32 first, u32 count, u16 map}); the
// POI level's tree indexes a type-group list whose records select runs of a
// group item-range array. docs/text-search.md has the bytes.
//
// The file is the user's: the open checks every offset, every tree (through
// the name-tree decoder), every run against the list it selects and every
// map index against the map count, so that no query afterwards can leave
// the file or name a map that does not exist.

#include "core/ReleasableFileMapping.h"
#include "core/ResourcesPool.h"
#include "map/IndexSourceList.h"
#include "map/file/NameTree.h"
#include "search/IndexTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace TextSearch {

class Index {
  public:
    // Maps the file and validates it. A file that is missing, empty or
    // stale (its source list differs from `sources`) is not valid without a
    // message; a damaged one logs at level Critical "Invalid text search
    // index size", "Invalid text search index signature: %08x" or "Invalid
    // text search index".
    Index(Core::ResourcesPool& pool, const std::u16string& path, const Map::IndexSourceList& sources,
          std::size_t mapCount);
    ~Index();
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;

    bool valid() const { return m_view != nullptr; }
    std::uint32_t flags() const { return m_flags; }

    // Every query maps the view again when the pool released it; it returns
    // false (depth 0) when that fails.

    // The depth of the level's tree; 0 for an empty level or another level.
    std::uint32_t depth(int level);
    bool hasItems(int level, const std::u16string& prefix, const EnabledMaps& enabled);
    bool hasTypedItems(const std::u16string& prefix, const PoiTypes& types, const EnabledMaps& enabled);
    bool nextLetters(int level, const std::u16string& prefix, Letters& letters, const EnabledMaps& enabled);
    bool nextLettersOfTypes(const std::u16string& prefix, const PoiTypes& types, Letters& letters,
                            const EnabledMaps& enabled);
    // For an empty prefix the records of every root entry in root order.
    bool findItems(int level, const std::u16string& prefix, ItemRanges& results, const EnabledMaps& enabled);
    bool findTypedItems(const std::u16string& prefix, const PoiTypes& types, ItemRanges& results,
                        const EnabledMaps& enabled);

    // The key kind of a level's tree from the flags word.
    static unsigned treeKind(std::uint32_t flags, int level);

  private:
    struct Bytes {
        const std::uint8_t* data = nullptr;
        std::uint32_t size = 0;
    };

    bool validate(std::uint64_t fileSize, std::uint32_t headerAt, std::size_t mapCount);
    const std::uint8_t* acquire();
    Bytes block(const std::uint8_t* base, int which) const;
    Map::File::NameTree::Block tree(const std::uint8_t* base, int level) const;
    std::uint32_t typeGroupSize() const;
    Map::MappedGroup range(const Bytes& list, std::uint64_t index) const;
    Map::PoiTypeGroup typeGroup(const Bytes& list, std::uint64_t index) const;
    void appendRanges(const Bytes& list, const Map::ItemsGroup& group, const EnabledMaps& enabled,
                      ItemRanges& out) const;
    bool anyEnabled(const Bytes& list, const Map::ItemsGroup& group, const EnabledMaps& enabled) const;
    bool typedEnabled(const std::uint8_t* base, const Map::ItemsGroup& group, const PoiTypes& types,
                      const EnabledMaps& enabled) const;

    std::unique_ptr<FileSystem::ReleasableFileMapping> m_mapping;
    std::shared_ptr<FileSystem::ReleasableFileMapping::View> m_view;
    std::uint32_t m_flags = 0;
    // Absolute offset and size of each block.
    std::array<std::uint32_t, IndexBlockCount> m_offsets{};
    std::array<std::uint32_t, IndexBlockCount> m_sizes{};
};

} // namespace TextSearch
