#include "search/SearchTree.h"

#include "core/Text.h"

#include <algorithm>
#include <optional>

namespace TextSearch {

class SearchTreeNode::Pool {
  public:
    std::pmr::memory_resource* memory() { return &m_memory; }
    SearchTreeNode* make() {
        if (m_used == ChunkNodes) {
            m_chunks.push_back(std::make_unique<SearchTreeNode[]>(ChunkNodes));
            m_used = 0;
        }
        return &m_chunks.back()[m_used++];
    }

  private:
    static constexpr std::size_t ChunkNodes = 128;
    // Before the nodes, whose lists it holds.
    std::pmr::monotonic_buffer_resource m_memory{16384};
    std::vector<std::unique_ptr<SearchTreeNode[]>> m_chunks;
    std::size_t m_used = ChunkNodes;
};

SearchTreeNode::SearchTreeNode() = default;
SearchTreeNode::~SearchTreeNode() = default;

SearchTreeNode* SearchTreeNode::walkTo(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word) {
    if (!root) root = std::make_unique<SearchTreeNode>();
    if (!root->m_pool) root->m_pool = std::make_unique<Pool>();
    SearchTreeNode* node = root.get();
    for (char16_t c : word) {
        const char16_t letter = Map::TextSearch::NameSplitter::fold(c);
        if (letter == 0) break;
        // Siblings are few below the first letters: a sorted list steps
        // as fast as a search would.
        SearchTreeNode** link = &node->m_firstChild;
        while (*link != nullptr && (*link)->m_letter < letter)
            link = &(*link)->m_next;
        if (*link == nullptr || (*link)->m_letter != letter) {
            SearchTreeNode* child = root->m_pool->make();
            child->m_letter = letter;
            child->m_next = *link;
            *link = child;
        }
        node = *link;
    }
    if (!node->items) node->items.emplace(root->m_pool->memory());
    return node;
}

void SearchTreeNode::insertObject(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word,
                                  const Map::MapAndOffset& ref, const std::u16string& identity) {
    SearchTreeNode* node = walkTo(root, word);
    std::pmr::vector<TreeItem>& items = *node->items;
    // Whether the object item i holds the object already or takes it.
    auto joins = [&](std::size_t i) {
        auto& refs = std::get<ObjectRefs>(items[i]);
        bool sameMap = false;
        for (const Map::MapAndOffset& r : refs) {
            if (r == ref) return true;
            sameMap = sameMap || r.map == ref.map;
        }
        if (!sameMap) refs.push_back(ref);
        return !sameMap;
    };
    // Only an item of the same identity can hold this object or take it.
    // Most nodes hold a few items, compared in turn; a word that thousands
    // of objects share is looked up by identity.
    if (!node->m_identities) node->m_identities.emplace(items.get_allocator());
    std::pmr::vector<std::u16string>& identities = *node->m_identities;
    identities.resize(items.size());
    if (node->m_byIdentity) {
        const IdentityChains& chains = *node->m_byIdentity;
        const std::size_t bucket = identityHash(identity) & (chains.buckets.size() - 1);
        for (std::uint32_t i = chains.buckets[bucket].first; i != NoItem; i = chains.next[i])
            if (identities[i] == identity && joins(i)) return;
    } else {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (std::holds_alternative<ObjectRefs>(items[i]) && identities[i] == identity && joins(i))
                return;
    }
    const std::size_t added = items.size();
    // Words the keys reach are mostly shared by a few objects: room for
    // them at once rather than a reallocation for each of the first ones.
    if (added == 0) {
        items.reserve(FirstItems);
        identities.reserve(FirstItems);
    }
    items.emplace_back(std::in_place_type<ObjectRefs>, 1, ref, items.get_allocator());
    identities.push_back(identity);
    if (node->m_byIdentity) {
        node->chain(added);
    } else if (items.size() >= IndexedItems) {
        node->m_byIdentity = std::make_unique<IdentityChains>();
        node->rebuildChains();
    }
}

std::size_t SearchTreeNode::identityHash(const std::u16string& identity) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (char16_t c : identity)
        h = (h ^ c) * 0x100000001b3ull;
    return static_cast<std::size_t>(h ^ h >> 29);
}

void SearchTreeNode::chain(std::size_t item) {
    IdentityChains& chains = *m_byIdentity;
    // At most one item per bucket on average; growing rebuilds every
    // chain in item order.
    if (items->size() > chains.buckets.size()) {
        rebuildChains();
        return;
    }
    chains.next.resize(items->size(), NoItem);
    const auto index = static_cast<std::uint32_t>(item);
    auto& [first, last] = chains.buckets[identityHash((*m_identities)[item]) & (chains.buckets.size() - 1)];
    if (first == NoItem)
        first = index;
    else
        chains.next[last] = index;
    last = index;
}

void SearchTreeNode::rebuildChains() {
    IdentityChains& chains = *m_byIdentity;
    std::size_t size = 32;
    while (size < items->size())
        size *= 2;
    chains.buckets.assign(size, {NoItem, NoItem});
    chains.next.assign(items->size(), NoItem);
    for (std::size_t i = 0; i < items->size(); ++i)
        if (std::holds_alternative<ObjectRefs>((*items)[i])) chain(i);
}

void SearchTreeNode::insertWayPoint(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word,
                                    const Map::WayPoint& point) {
    SearchTreeNode* node = walkTo(root, word);
    for (const TreeItem& item : *node->items)
        if (const auto* w = std::get_if<Map::WayPoint>(&item); w != nullptr && w->point == point.point)
            return;
    node->items->push_back(point);
}

SearchTreeNode* SearchTreeNode::find(const SearchTreeNode* node, char16_t letter) {
    if (node == nullptr) return nullptr;
    SearchTreeNode* child = node->m_firstChild;
    while (child != nullptr && child->m_letter < letter)
        child = child->m_next;
    return child != nullptr && child->m_letter == letter ? child : nullptr;
}

std::uint32_t SearchTreeNode::count(const SearchTreeNode* node) {
    if (node == nullptr) return 0;
    std::uint32_t n = node->items ? static_cast<std::uint32_t>(node->items->size()) : 0;
    for (const SearchTreeNode* child = node->m_firstChild; child != nullptr; child = child->m_next)
        n += count(child);
    return n;
}

void SearchTreeNode::gather(const SearchTreeNode* node, std::vector<const TreeItem*>& out) {
    if (node == nullptr) return;
    for (const SearchTreeNode* child = node->m_firstChild; child != nullptr; child = child->m_next)
        gather(child, out);
    if (node->items)
        for (const TreeItem& item : *node->items)
            out.push_back(&item);
}

bool SearchTreeNode::itemLess(const TreeItem& a, const TreeItem& b) {
    const auto* x = std::get_if<ObjectRefs>(&a);
    const auto* y = std::get_if<ObjectRefs>(&b);
    if (x == nullptr || y == nullptr) return false;
    const Map::MapAndOffset& p = x->front();
    const Map::MapAndOffset& q = y->front();
    return p.map != q.map ? p.map < q.map : p.offset < q.offset;
}

class SearchTreeBuilder::ObjectNameSplitter : public Map::TextSearch::NameSplitter {
  public:
    ObjectNameSplitter(SearchTreeBuilder& builder, const Map::MapAndOffset& ref) : m_builder(builder), m_ref(ref) {}
    bool added = false;

    void insert(std::u16string_view word) {
        if (m_builder.entered(word)) put(word);
    }

    void put(std::u16string_view word) {
        // The identity reads the object's parents: only for an object that
        // is entered at all.
        if (!m_identity) m_identity = m_builder.m_identity ? m_builder.m_identity(m_ref) : std::u16string();
        SearchTreeNode::insertObject(m_builder.m_root, word, m_ref, *m_identity);
    }

  protected:
    void onWord(std::size_t, std::u16string_view word) override {
        insert(word);
        added = true;
    }

  private:
    SearchTreeBuilder& m_builder;
    Map::MapAndOffset m_ref;
    std::optional<std::u16string> m_identity;
};

class SearchTreeBuilder::WayPointNameSplitter : public Map::TextSearch::NameSplitter {
  public:
    WayPointNameSplitter(SearchTreeBuilder& builder, const Map::WayPoint& point)
        : m_builder(builder), m_point(point) {}
    bool added = false;

  protected:
    void onWord(std::size_t, std::u16string_view word) override {
        if (m_builder.entered(word)) SearchTreeNode::insertWayPoint(m_builder.m_root, word, m_point);
        added = true;
    }

  private:
    SearchTreeBuilder& m_builder;
    const Map::WayPoint& m_point;
};

SearchTreeBuilder::SearchTreeBuilder(std::unique_ptr<SearchTreeNode>& root, ObjectIdentity identity)
    : m_root(root), m_identity(std::move(identity)) {}

void SearchTreeBuilder::keepOnlyTyped(const std::vector<std::u16string>& keys) {
    m_typed.clear();
    for (const std::u16string& key : keys) {
        std::u16string letters;
        for (char16_t c : key)
            if (const char16_t letter = Core::toLower(c); letter != 0) letters += letter;
        m_typed.push_back(std::move(letters));
    }
}

bool SearchTreeBuilder::entered(std::u16string_view word) const {
    if (m_typed.empty()) return true;
    // A word stops at a letter that folds to 0 (SearchTreeNode::walkTo), so
    // such a letter among the typed ones is never reached either.
    if (word.size() < m_typed.size()) return false;
    for (std::size_t k = 0; k < m_typed.size(); ++k) {
        const char16_t letter = Map::TextSearch::NameSplitter::fold(word[k]);
        if (letter == 0) return false;
        // Keys hold a letter or a few.
        const std::u16string& key = m_typed[k];
        bool typed = false;
        for (char16_t c : key)
            typed = typed || c == letter;
        if (!typed) return false;
    }
    return true;
}

bool SearchTreeBuilder::mayEnter(std::u16string_view name) const {
    if (m_typed.empty()) return true;
    // Words, and a name entered whole, begin at the name's start or after a
    // separator.
    using Splitter = Map::TextSearch::NameSplitter;
    for (std::size_t start = 0; start < name.size();) {
        if (entered(name.substr(start))) return true;
        const std::size_t separator = Splitter::findSeparator(name, start);
        if (separator == std::u16string_view::npos) break;
        start = separator + 1;
    }
    return false;
}

bool SearchTreeBuilder::addObject(std::u16string_view name, const Map::MapAndOffset& ref) {
    if (name.empty() || !mayEnter(name)) return true;
    ObjectNameSplitter splitter(*this, ref);
    splitter.split(name);
    if (!splitter.added) splitter.insert(name);
    return true;
}

void SearchTreeBuilder::enterSplit(std::u16string_view name, const Map::MapAndOffset& ref, const WordSpan* spelled,
                                   std::size_t spelledCount) {
    if (name.empty()) return;
    ObjectNameSplitter splitter(*this, ref);
    for (std::size_t i = 0; i < spelledCount; ++i) {
        const std::u16string_view word = name.substr(spelled[i].first, spelled[i].second);
        if (splitter.keeps(word)) {
            splitter.put(word);
            splitter.added = true;
        }
    }
    // No word the keys spell is kept: the name goes in whole when the
    // splitter keeps no other word either (rare: most names have one).
    if (!splitter.added)
        Map::TextSearch::NameSplitter::eachCandidate(name, [&splitter](std::size_t, std::u16string_view word) {
            splitter.added = splitter.added || splitter.keeps(word);
        });
    if (!splitter.added) splitter.insert(name);
}

void SearchTreeBuilder::addWayPoint(const Map::WayPoint& point) {
    WayPointNameSplitter splitter(*this, point);
    splitter.split(point.name);
    if (!splitter.added && entered(point.name)) SearchTreeNode::insertWayPoint(m_root, point.name, point);
}

} // namespace TextSearch
