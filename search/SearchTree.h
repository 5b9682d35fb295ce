#pragma once
// The engine's in-memory search tree: one node per folded prefix of an
// entered word, in letter order; the node where a word ends holds the items
// entered under it. An item is either one object (all references that
// stand for it across maps) or one waypoint.

#include "map/TextSearchTypes.h"
#include "search/NameSplitter.h"
#include "search/WayPoints.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace TextSearch {

// A tree's item lists take their memory from the tree (freed whole with
// it); lists made elsewhere use the heap.
using ObjectRefs = std::pmr::vector<Map::MapAndOffset>;
using TreeItem = std::variant<ObjectRefs, Map::WayPoint>;

// The identity of a map object for merging: two objects of different maps
// are one object exactly when their identities are equal (the engine's
// sameObject). Computed once per object, so entering a word that thousands
// of objects share stays linear.
using ObjectIdentity = std::function<std::u16string(const Map::MapAndOffset&)>;

class SearchTreeNode {
    // The nodes below a root and the item lists of all nodes live in the
    // root's pool, freed whole with the root: a build adds thousands of
    // nodes and lists, each a heap allocation otherwise. Declared first:
    // a root's own items go before its pool.
    class Pool;
    std::unique_ptr<Pool> m_pool;

  public:
    // The children ascending by letter, one per letter, as (letter, node).
    class Children {
      public:
        class Iterator {
          public:
            explicit Iterator(const SearchTreeNode* node) : m_node(node) {}
            std::pair<char16_t, const SearchTreeNode*> operator*() const { return {m_node->m_letter, m_node}; }
            Iterator& operator++() {
                m_node = m_node->m_next;
                return *this;
            }
            bool operator==(const Iterator&) const = default;

          private:
            const SearchTreeNode* m_node;
        };
        explicit Children(const SearchTreeNode* first) : m_first(first) {}
        Iterator begin() const { return Iterator(m_first); }
        Iterator end() const { return Iterator(nullptr); }
        bool empty() const { return m_first == nullptr; }

      private:
        const SearchTreeNode* m_first;
    };

    SearchTreeNode();
    ~SearchTreeNode();
    SearchTreeNode(const SearchTreeNode&) = delete;
    SearchTreeNode& operator=(const SearchTreeNode&) = delete;

    Children children() const { return Children(m_firstChild); }
    // Present where an entered word ends; its memory is the tree's.
    std::optional<std::pmr::vector<TreeItem>> items;

    // Enters a word (folded here) with an object or a waypoint; `root` is
    // created by the first insertion. An object joins the first item of its
    // identity that holds no object of its map.
    static void insertObject(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word,
                             const Map::MapAndOffset& ref, const std::u16string& identity);
    static void insertWayPoint(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word,
                               const Map::WayPoint& point);
    // The child for a folded letter, or null.
    static SearchTreeNode* find(const SearchTreeNode* node, char16_t letter);
    // Items of the node and all its descendants.
    static std::uint32_t count(const SearchTreeNode* node);
    // Appends the items of each child's subtree in letter order, then the
    // node's own.
    static void gather(const SearchTreeNode* node, std::vector<const TreeItem*>& out);
    // Objects by their first reference (map, then offset); a waypoint item
    // is ordered against nothing.
    static bool itemLess(const TreeItem& a, const TreeItem& b);
    // Whether the node finds its object items by identity (a node of 16
    // items or more) rather than comparing them in turn.
    bool indexedByIdentity() const { return m_byIdentity != nullptr; }

  private:
    static SearchTreeNode* walkTo(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word);

    // Kept while objects are entered: the identity of each item's first
    // object (empty for a waypoint), and from IndexedItems items on the
    // object items chained by a hash of their identity, in item order
    // within a chain (flat arrays: a node of a few dozen items would spend
    // more on a map's entries than on comparing).
    static constexpr std::size_t IndexedItems = 16;
    static constexpr std::size_t FirstItems = 4;
    static constexpr std::uint32_t NoItem = 0xFFFFFFFFu;
    struct IdentityChains {
        // Per bucket the first and last item; per item the next one.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> buckets;
        std::vector<std::uint32_t> next;
    };
    static std::size_t identityHash(const std::u16string& identity);
    void chain(std::size_t item);
    void rebuildChains();
    std::optional<std::pmr::vector<std::u16string>> m_identities;
    std::unique_ptr<IdentityChains> m_byIdentity;
    // The letter of this node in its parent; the first child and the next
    // sibling, ascending by letter.
    char16_t m_letter = 0;
    SearchTreeNode* m_firstChild = nullptr;
    SearchTreeNode* m_next = nullptr;
};

// Enters names word by word (Map::TextSearch::NameSplitter); a name that
// yields no word is entered whole.
class SearchTreeBuilder {
  public:
    SearchTreeBuilder(std::unique_ptr<SearchTreeNode>& root, ObjectIdentity identity);
    // Enters from now on only the words whose first letters the keys spell
    // (one key per letter, a key's letters folded): the tree is then walked
    // from those keys only, and no node it could not reach is built. Every
    // node it can reach gets the same items in the same order as without.
    void keepOnlyTyped(const std::vector<std::u16string>& keys);
    // False when no word of the name (nor the name whole) can be entered:
    // a cheap test before anything is read about the object.
    bool mayEnter(std::u16string_view name) const;
    // Always true: bound as the callback of the engine's walks.
    bool addObject(std::u16string_view name, const Map::MapAndOffset& ref);
    // A word of a name: where it starts, its length.
    using WordSpan = std::pair<std::uint32_t, std::uint32_t>;
    // addObject for a name that mayEnter has passed, already cut by the
    // caller: the splitter's words (before its word test) that the keys
    // spell, in name order.
    void enterSplit(std::u16string_view name, const Map::MapAndOffset& ref, const WordSpan* spelled,
                    std::size_t spelledCount);
    void addWayPoint(const Map::WayPoint& point);

  private:
    class ObjectNameSplitter;
    class WayPointNameSplitter;

    bool entered(std::u16string_view word) const;

    std::unique_ptr<SearchTreeNode>& m_root;
    ObjectIdentity m_identity;
    // Folded letters of each typed key; empty: every word is entered.
    std::vector<std::u16string> m_typed;
};

} // namespace TextSearch
