#pragma once
// Reader of a map's spatial-search section: box trees whose leaves name the
// map's objects by a 32-bit value, searched nearest first.
//
// Version 1: u32 header word, tree 1 (records: u16 object type, u32 value).
// Version 2: u32 header word, u32 section offset of tree 2, tree 1, tree 2
// (records: u32 value). Tree format and search: SpatialTree.h.

#include "map/Point.h"
#include "map/file/SectionView.h"
#include "map/file/SectionViewRW.h"
#include "map/file/SpatialTree.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Map::File {

class SpatialSearchSectionReader {
public:
    using NnVisitor = Map::File::NnVisitor;
    using TypeFilter = Map::File::TypeFilter;

    class ImplBase {
    public:
        ImplBase() = default;
        ImplBase(const ImplBase&) = delete;
        ImplBase& operator=(const ImplBase&) = delete;
        virtual ~ImplBase() = default;
        virtual bool nearest(NnVisitor& visitor, Point point, const std::vector<std::uint16_t>& types) = 0;
        virtual bool nearestUntyped(NnVisitor& visitor, Point point) = 0;
        virtual std::uint32_t headerWord() const = 0;
        // Null when the version has no such tree.
        virtual const SpatialTree* tree(int number) const = 0;
    };
    class ImplV1;
    class ImplV2;

    // Throws FormatError "Unknown spatial search index section version"
    // (not 1 or 2) or "Section is too small" (the header words cannot be
    // read).
    SpatialSearchSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view);
    ~SpatialSearchSectionReader();

    // Nearest objects of tree 1 whose type is in `types` (sorted ascending).
    // Version 1: true when the visitor declines at once, false otherwise.
    // Version 2: false only when a node or record cannot be read.
    bool nearest(NnVisitor& visitor, Point point, const std::vector<std::uint16_t>& types) {
        return m_impl->nearest(visitor, point, types);
    }
    // Nearest objects of tree 2, unfiltered. Version 1: always false.
    bool nearestUntyped(NnVisitor& visitor, Point point) { return m_impl->nearestUntyped(visitor, point); }

    std::uint32_t headerWord() const { return m_impl->headerWord(); }
    // Tree 1 or 2 (counters and caches), null when absent.
    const SpatialTree* tree(int number) const { return m_impl->tree(number); }

private:
    std::unique_ptr<ImplBase> m_impl;
};

} // namespace Map::File
