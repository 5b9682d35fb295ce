#pragma once
// Reader of a map's text-search section: for each category (cities,
// streets, POIs) a name tree over the searchable keys and an item table
// ordered so that the items of every tree node form one range; the POI tree's
// groups index a POI type table whose entries hold the POI items of one type
// under the prefix.
//
// The section is the user's file: every tree, table, group and item read is
// checked against the section size. A tree whose size word is 0 is an empty
// tree; a group that would leave its table is treated like an empty group by
// the queries, and makes readItems fail.

#include "map/TextSearchTypes.h"
#include "map/file/NameTree.h"
#include "map/file/SectionView.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Map::File {

class TextSearchSectionReader {
public:
    static constexpr std::uint64_t HeaderSize = 60;

    class ImplBase {
    public:
        ImplBase() = default;
        ImplBase(const ImplBase&) = delete;
        ImplBase& operator=(const ImplBase&) = delete;
        virtual ~ImplBase() = default;
        virtual bool loadTree(int category, std::vector<TextSearch::TreeNode>& nodes, std::uint32_t& rootCount,
                              std::uint32_t& depth) = 0;
        virtual bool loadPoiTree(std::vector<TextSearch::TreeNode>& nodes, std::uint32_t& rootCount,
                                 std::uint32_t& depth, std::vector<PoiTypeGroup>& typeGroups) = 0;
        virtual std::uint32_t treeDepth(int category) = 0;
        virtual bool hasPoi(const std::u16string& prefix, const std::vector<std::uint16_t>& types) = 0;
        virtual bool nextLetters(int category, const std::u16string& prefix, std::vector<char16_t>& letters) = 0;
        virtual bool nextPoiLetters(const std::u16string& prefix, const std::vector<std::uint16_t>& types,
                                    std::vector<char16_t>& letters) = 0;
        virtual bool findGroup(int category, const std::u16string& prefix, ItemsGroup& group) = 0;
        virtual bool findPoiGroups(const std::u16string& prefix, const std::vector<std::uint16_t>& types,
                                   std::vector<ItemsGroup>& groups) = 0;
        virtual bool readItems(int category, const ItemsGroup& group, std::vector<TextSearchItem>& items) = 0;
    };
    class ImplV1;

    // Throws FormatError "Unknown text search index section version" (not
    // 1) or "Section is too small" (under 60 bytes, or not mappable).
    TextSearchSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view);
    ~TextSearchSectionReader();

    // Every operation returns false (treeDepth 0) when the view cannot be
    // mapped; nothing is cached, so a later call tries again.

    // The decoded tree of category 0, 1 or 2. A category without a tree
    // gives no nodes, root count 0, depth 0 and true; an unsupported key
    // kind or a tree that does not lie inside the section or does not decode
    // gives false.
    bool loadTree(int category, std::vector<TextSearch::TreeNode>& nodes, std::uint32_t& rootCount,
                  std::uint32_t& depth) {
        return m_impl->loadTree(category, nodes, rootCount, depth);
    }
    // The POI tree and the whole type table in file order.
    bool loadPoiTree(std::vector<TextSearch::TreeNode>& nodes, std::uint32_t& rootCount, std::uint32_t& depth,
                     std::vector<PoiTypeGroup>& typeGroups) {
        return m_impl->loadPoiTree(nodes, rootCount, depth, typeGroups);
    }
    // The level count of the category's tree; 0 without a tree.
    std::uint32_t treeDepth(int category) { return m_impl->treeDepth(category); }
    // Whether a POI of one of `types` (sorted ascending) has a key beginning
    // with the non-empty prefix.
    bool hasPoi(const std::u16string& prefix, const std::vector<std::uint16_t>& types) {
        return m_impl->hasPoi(prefix, types);
    }
    // Adds the letters that may follow the prefix (category 0 or 1) to the
    // sorted, duplicate-free letter vector.
    bool nextLetters(int category, const std::u16string& prefix, std::vector<char16_t>& letters) {
        return m_impl->nextLetters(category, prefix, letters);
    }
    bool nextPoiLetters(const std::u16string& prefix, const std::vector<std::uint16_t>& types,
                        std::vector<char16_t>& letters) {
        return m_impl->nextPoiLetters(prefix, types, letters);
    }
    // The items of category 0 or 1 under the prefix; for the empty prefix
    // all items of the category (the level-0 groups merged).
    bool findGroup(int category, const std::u16string& prefix, ItemsGroup& group) {
        return m_impl->findGroup(category, prefix, group);
    }
    // The POI item groups of the wanted types under the prefix, in tree
    // order.
    bool findPoiGroups(const std::u16string& prefix, const std::vector<std::uint16_t>& types,
                       std::vector<ItemsGroup>& groups) {
        return m_impl->findPoiGroups(prefix, types, groups);
    }
    // Resizes `items` to the group's count and fills it from the category's
    // item table. False, with the vector unchanged, for another category, an
    // unsupported item kind or a group that passes the section end.
    bool readItems(int category, const ItemsGroup& group, std::vector<TextSearchItem>& items) {
        return m_impl->readItems(category, group, items);
    }

    // Name tree operations on a block of bytes (see NameTree.h).
    static bool decodeTree(NameTree::Block block, unsigned kind, std::vector<TextSearch::TreeNode>& nodes,
                           std::uint32_t& rootCount, std::uint32_t& depth) {
        return NameTree::decode(block, kind, nodes, rootCount, depth);
    }
    static void findByKeyKind(NameTree::Block block, const std::u16string& key, unsigned kind,
                              ItemsGroup& group) {
        group = NameTree::find(block, key, kind);
    }
    static void collectByKeyKind(NameTree::Block block, const std::u16string& key, unsigned kind,
                                 NameTree::Callback callback) {
        NameTree::collect(block, key, kind, callback);
    }

private:
    std::unique_ptr<ImplBase> m_impl;
};

} // namespace Map::File
