#include "search/SearchTree.h"

#include "core/Text.h"

namespace TextSearch {

SearchTreeNode* SearchTreeNode::walkTo(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word) {
    if (!root) root = std::make_unique<SearchTreeNode>();
    SearchTreeNode* node = root.get();
    for (char16_t c : word) {
        const char16_t letter = Core::toLower(c);
        if (letter == 0) break;
        std::unique_ptr<SearchTreeNode>& child = node->children[letter];
        if (!child) child = std::make_unique<SearchTreeNode>();
        node = child.get();
    }
    if (!node->items) node->items = std::make_unique<std::vector<TreeItem>>();
    return node;
}

void SearchTreeNode::insertObject(std::unique_ptr<SearchTreeNode>& root, std::u16string_view word,
                                  const Map::MapAndOffset& ref, const std::u16string& identity,
                                  IdentityIndex& index) {
    SearchTreeNode* node = walkTo(root, word);
    // Only an item of the same identity can hold this object or take it.
    std::vector<std::size_t>& candidates = index[node][identity];
    for (std::size_t i : candidates) {
        auto& refs = std::get<ObjectRefs>((*node->items)[i]);
        bool sameMap = false;
        for (const Map::MapAndOffset& r : refs) {
            if (r == ref) return;
            sameMap = sameMap || r.map == ref.map;
        }
        if (!sameMap) {
            refs.push_back(ref);
            return;
        }
    }
    candidates.push_back(node->items->size());
    node->items->emplace_back(std::in_place_type<ObjectRefs>, 1, ref);
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
    const auto found = node->children.find(letter);
    return found == node->children.end() ? nullptr : found->second.get();
}

std::uint32_t SearchTreeNode::count(const SearchTreeNode* node) {
    if (node == nullptr) return 0;
    std::uint32_t n = node->items ? static_cast<std::uint32_t>(node->items->size()) : 0;
    for (const auto& [letter, child] : node->children)
        n += count(child.get());
    return n;
}

void SearchTreeNode::gather(const SearchTreeNode* node, std::vector<const TreeItem*>& out) {
    if (node == nullptr) return;
    for (const auto& [letter, child] : node->children)
        gather(child.get(), out);
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
    ObjectNameSplitter(SearchTreeBuilder& builder, const Map::MapAndOffset& ref, std::u16string identity)
        : m_builder(builder), m_ref(ref), m_identity(std::move(identity)) {}
    bool added = false;
    const std::u16string& identity() const { return m_identity; }

  protected:
    void onWord(std::size_t, std::u16string_view word) override {
        SearchTreeNode::insertObject(m_builder.m_root, word, m_ref, m_identity, m_builder.m_index);
        added = true;
    }

  private:
    SearchTreeBuilder& m_builder;
    Map::MapAndOffset m_ref;
    std::u16string m_identity;
};

class SearchTreeBuilder::WayPointNameSplitter : public Map::TextSearch::NameSplitter {
  public:
    WayPointNameSplitter(SearchTreeBuilder& builder, const Map::WayPoint& point)
        : m_builder(builder), m_point(point) {}
    bool added = false;

  protected:
    void onWord(std::size_t, std::u16string_view word) override {
        SearchTreeNode::insertWayPoint(m_builder.m_root, word, m_point);
        added = true;
    }

  private:
    SearchTreeBuilder& m_builder;
    const Map::WayPoint& m_point;
};

SearchTreeBuilder::SearchTreeBuilder(std::unique_ptr<SearchTreeNode>& root, ObjectIdentity identity)
    : m_root(root), m_identity(std::move(identity)) {}

bool SearchTreeBuilder::addObject(const std::u16string& name, const Map::MapAndOffset& ref) {
    if (name.empty()) return true;
    ObjectNameSplitter splitter(*this, ref, m_identity ? m_identity(ref) : std::u16string());
    splitter.split(name);
    if (!splitter.added) SearchTreeNode::insertObject(m_root, name, ref, splitter.identity(), m_index);
    return true;
}

void SearchTreeBuilder::addWayPoint(const Map::WayPoint& point) {
    WayPointNameSplitter splitter(*this, point);
    splitter.split(point.name);
    if (!splitter.added) SearchTreeNode::insertWayPoint(m_root, point.name, point);
}

} // namespace TextSearch
