#include "search/Engine.h"

#include "search/EngineDepthWalk.h"

#include "core/FileSystem.h"
#include "core/Text.h"
#include "map/KVMap2.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/SpatialSearchSectionReader.h"
#include "map/file/SpatialTree.h"
#include "map/file/StringsSectionReader.h"
#include "map/file/TextSearchSectionReader.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace TextSearch {

using Map::MapAndOffset;
using namespace Map::File;

namespace {

bool startsWithFolded(const std::u16string& name, const std::u16string& folded) {
    if (name.size() < folded.size()) return false;
    for (std::size_t i = 0; i < folded.size(); ++i)
        if (Core::toLower(name[i]) != folded[i]) return false;
    return true;
}

// The object count of the kind's level in one map.
std::uint32_t levelCount(Map::KvMap& map, int kind) {
    AddressSectionReader& address = map.addressReader();
    switch (kind) {
    case CitiesKind:
        return address.cityCount();
    case StreetsKind:
        return address.streetCount();
    case PoisKind:
        return address.objectCount();
    default:
        return 0;
    }
}

std::u16string wholeItemText(StringsSectionReader& strings, const Map::TextSearchItem& item) {
    std::u16string first, text;
    Engine::itemText(strings, item, first, text);
    return text;
}

// The nearest POIs of all selected maps, and the waypoints offered with
// them: a heap of the 14 nearest so far, the farthest on top.
class NnPoiVisitor : public Map::File::NnVisitor {
  public:
    struct Entry {
        std::uint32_t map = 0;
        std::uint32_t offset = 0;
        std::uint64_t distance = 0;
        // The waypoint's index in the search's collection; -1 for a POI.
        std::int64_t wayPoint = -1;
        bool operator<(const Entry& other) const { return distance < other.distance; }
    };

    NnPoiVisitor(VisitorBase& pois, std::uint32_t filterLevel, std::size_t capacity)
        : m_pois(pois), m_filterLevel(filterLevel), m_capacity(capacity) {}

    void setMap(std::uint32_t index, Map::KvMap* map, std::uint32_t filterObject) {
        m_mapIndex = index;
        m_map = map;
        m_filterObject = filterObject;
    }
    bool wantsMore() override { return true; }
    std::uint64_t limit() override {
        return m_heap.size() >= m_capacity ? m_heap.front().distance : UINT64_MAX;
    }
    void visit(std::uint32_t offset, std::uint64_t distance) override {
        if (m_filterLevel != NoFilter &&
            (!m_pois.seek(*m_map, offset) || !m_pois.accepts(m_filterLevel, m_filterObject)))
            return;
        push({m_mapIndex, offset, distance});
    }
    void visitWayPoint(std::size_t index, std::uint64_t distance) {
        push({0, 0, distance, static_cast<std::int64_t>(index)});
    }
    // The farthest entry, removed; false when none is left.
    bool pop(Entry& out) {
        if (m_heap.empty()) return false;
        std::pop_heap(m_heap.begin(), m_heap.end());
        out = m_heap.back();
        m_heap.pop_back();
        return true;
    }

  private:
    void push(const Entry& entry) {
        if (m_heap.size() >= m_capacity) {
            if (entry.distance >= m_heap.front().distance) return;
            std::pop_heap(m_heap.begin(), m_heap.end());
            m_heap.pop_back();
        }
        m_heap.push_back(entry);
        std::push_heap(m_heap.begin(), m_heap.end());
    }

    VisitorBase& m_pois;
    std::uint32_t m_filterLevel;
    std::size_t m_capacity;
    std::uint32_t m_mapIndex = 0;
    Map::KvMap* m_map = nullptr;
    std::uint32_t m_filterObject = 0;
    std::vector<Entry> m_heap;
};

} // namespace

void Engine::itemText(StringsSectionReader& strings, const Map::TextSearchItem& item, std::u16string& first,
                      std::u16string& text) {
    if (item.secondNameId == 0) {
        if (!strings.string(item.nameId, text)) text.clear();
        return;
    }
    if (!strings.string(item.nameId, first)) first.clear();
    if (!strings.string(item.secondNameId, text)) text.clear();
    if (item.secondNameId != item.nameId && item.position1 != item.position2) {
        const std::u16string_view tail =
            item.position2 < first.size() ? std::u16string_view(first).substr(item.position2) : u"";
        text.insert(std::min<std::size_t>(item.position1, text.size()), tail);
    }
}

Engine::Engine(Ticks ticks, CarPosition car)
    : m_ticks(ticks ? std::move(ticks) : Ticks(steadyTicks)), m_car(std::move(car)),
      m_index(m_maps, m_ticks) {}

Engine::~Engine() {
    m_index.close();
}

void Engine::setAtlas(const std::vector<Map::KVMap2*>& maps, const std::u16string& folder,
                      Core::ResourcesPool& pool) {
    std::vector<Map::KvMap*> list(maps.begin(), maps.end());
    // The atlas names its folder relative to the program; the maps carry
    // the full paths, and all of them live in that folder.
    std::u16string where = folder;
    if (!list.empty()) {
        const std::u16string& path = list.front()->filePath();
        const std::size_t slash = FileSystem::lastSeparator(path);
        if (slash != std::u16string::npos) where = path.substr(0, slash);
    }
    attach(list, where, pool);
}

void Engine::clearMaps() {
    reset();
    m_history.unbind();
    m_index.close();
    m_indexInUse = false;
    m_indexDepth = NoIndexDepth;
    m_maps.clear();
    m_parentNames.clear();
    m_selected.clear();
    m_filterObjects.clear();
    m_streetObjects.clear();
    m_filterLevel = NoFilter;
    m_poiTypes.clear();
    m_wayPoints.reset();
    m_visitor.reset();
    m_kind = 0;
}

bool Engine::attach(const std::vector<Map::KvMap*>& maps, const std::u16string& folder,
                    Core::ResourcesPool& pool) {
    clearMaps();
    for (Map::KvMap* map : maps)
        m_maps.add(map);
    m_selected.assign(m_maps.size(), 1);
    m_filterObjects.assign(m_maps.size(), 0);
    m_streetObjects.assign(m_maps.size(), 0);
    m_parentNames.build(m_maps);
    const bool indexed = m_index.load(pool, folder);
    // The history's map indices are positions in this atlas's maps: it is
    // read only when the index agreed that the folder holds them.
    return m_history.load(folder) && indexed;
}

int Engine::level() const {
    switch (m_kind) {
    case CitiesKind:
        return CityLevel;
    case StreetsKind:
        return StreetLevel;
    default:
        return PoiLevel;
    }
}

Map::KvMap* Engine::mapOf(std::uint32_t index) const {
    // A map index from the index file or the history may be stale: such a
    // reference is skipped, never looked up out of range.
    return index < m_maps.size() ? m_maps.maps()[index] : nullptr;
}

void Engine::search(int kind, std::uint32_t filterLevel, const std::vector<MapAndOffset>& filter) {
    // The variants point into the tree deleted here: the keys go with it.
    reset();
    m_kind = kind;
    m_visitor = makeVisitor(kind);
    m_filterLevel = filterLevel;
    const std::size_t n = m_maps.size();
    m_filterObjects.assign(n, 0);
    m_selected.assign(n, filterLevel == NoFilter ? 1 : 0);
    if (filterLevel != NoFilter)
        for (const MapAndOffset& entry : filter)
            if (entry.map < n) {
                m_selected[entry.map] = 1;
                m_filterObjects[entry.map] = entry.offset;
            }
    m_indexInUse = false;
    m_indexDepth = NoIndexDepth;
    if (kind != CitiesKind && kind != StreetsKind && kind != PoisKind) return;
    std::uint64_t objects = 0;
    for (std::size_t m = 0; m < n; ++m)
        if (m_selected[m]) objects += levelCount(*m_maps.maps()[m], kind);
    if (objects < IndexThreshold) return;
    // A depth of 0 (no selected map has the level's tree) cannot answer a
    // single letter: the objects are walked instead.
    const std::uint32_t depth = m_index.depth(level(), m_selected);
    if (depth != 0 && depth != 0xFFFFFFFFu) {
        m_indexInUse = true;
        m_indexDepth = depth;
    }
}

void Engine::searchPois(std::uint32_t filterLevel, const std::vector<MapAndOffset>& filter,
                        std::shared_ptr<const Map::WayPointsCollection> wayPoints, PoiTypes types) {
    search(PoisKind, filterLevel, filter);
    m_wayPoints = std::move(wayPoints);
    m_poiTypes = std::move(types);
    std::sort(m_poiTypes.begin(), m_poiTypes.end());
}

void Engine::searchHouses(const std::vector<MapAndOffset>& streets) {
    search(HousesKind, NoFilter, {});
    m_selected.assign(m_maps.size(), 0);
    m_streetObjects.assign(m_maps.size(), 0);
    for (const MapAndOffset& entry : streets)
        if (entry.map < m_maps.size()) {
            m_selected[entry.map] = 1;
            m_streetObjects[entry.map] = entry.offset;
        }
}

bool Engine::hasHouses(const std::vector<MapAndOffset>& streets) {
    for (const MapAndOffset& entry : streets) {
        Map::KvMap* map = mapOf(entry.map);
        StreetRecord street;
        if (map != nullptr && map->addressReader().readStreet(entry.offset, street) && street.houseCount != 0)
            return true;
    }
    return false;
}

void Engine::addKey(const std::u16string& letters) {
    m_keys.push_back(letters);
    extend(m_keys.size() - 1);
    m_cursor = 0;
}

void Engine::extend(std::size_t position) {
    if (!m_visitor) return;
    if (m_indexInUse) {
        if (position < m_indexDepth) {
            extendThroughIndex(m_keys[position]);
        } else if (position == m_indexDepth) {
            buildTreeFromIndex();
            replayThroughTree();
        } else if (m_tree) {
            extendThroughTree(m_keys[position]);
        }
        return;
    }
    if (m_fresh && !m_tree) buildTreeFromObjects();
    if (m_tree) extendThroughTree(m_keys[position]);
}

void Engine::replayThroughTree() {
    // Both callers hold a tree and at least one key: the first key starts
    // the variants afresh from the root, and every key replaces them.
    m_fresh = true;
    for (const std::u16string& key : m_keys)
        extendThroughTree(key);
    m_cursor = 0;
}

void Engine::extendThroughIndex(const std::u16string& key) {
    std::vector<Variant> out;
    auto offer = [&](std::u16string prefix) {
        const bool known =
            std::any_of(out.begin(), out.end(), [&](const Variant& v) { return v.prefix == prefix; });
        if (!known && exists(prefix)) out.push_back({std::move(prefix), nullptr});
    };
    if (m_fresh) {
        for (char16_t c : key)
            offer(std::u16string(1, Core::toLower(c)));
        m_fresh = false;
    } else {
        for (const Variant& v : m_variants)
            for (char16_t c : key)
                offer(v.prefix + Core::toLower(c));
    }
    m_variants = std::move(out);
}

void Engine::extendThroughTree(const std::u16string& key) {
    std::vector<Variant> out;
    auto offer = [&](const std::u16string& prefix, const SearchTreeNode* from, char16_t c) {
        const char16_t letter = Core::toLower(c);
        const SearchTreeNode* node = SearchTreeNode::find(from, letter);
        std::u16string next = prefix + letter;
        const bool known =
            std::any_of(out.begin(), out.end(), [&](const Variant& v) { return v.prefix == next; });
        if (node != nullptr && !known) out.push_back({std::move(next), node});
    };
    if (m_fresh) {
        for (char16_t c : key)
            offer(u"", m_tree.get(), c);
        m_fresh = false;
    } else {
        for (const Variant& v : m_variants)
            for (char16_t c : key)
                offer(v.prefix, v.node, c);
    }
    m_variants = std::move(out);
}

bool Engine::wayPointMatches(const Map::WayPoint& point, const std::u16string& prefix, bool typed) const {
    return point.flag == 0 && startsWithFolded(point.name, prefix) &&
           (!typed || std::binary_search(m_poiTypes.begin(), m_poiTypes.end(), point.type));
}

bool Engine::exists(const std::u16string& prefix) {
    if (m_kind != PoisKind) return m_index.hasItems(level(), prefix, m_selected);
    if (m_index.hasTypedItems(prefix, m_poiTypes, m_selected)) return true;
    if (m_wayPoints)
        for (std::size_t i = 0; i < m_wayPoints->count(); ++i)
            if (wayPointMatches(m_wayPoints->at(i), prefix, false)) return true;
    return false;
}

bool Engine::findRanges(const std::u16string& prefix, ItemRanges& ranges) {
    return m_kind == PoisKind ? m_index.findTypedItems(prefix, m_poiTypes, ranges, m_selected)
                              : m_index.findItems(level(), prefix, ranges, m_selected);
}

bool Engine::indexWalk(const std::u16string& prefix, const WalkCallback& callback) {
    ItemRanges ranges;
    if (!findRanges(prefix, ranges)) return false;
    std::vector<Map::TextSearchItem> items;
    for (const Map::MappedGroup& range : ranges) {
        Map::KvMap* map = mapOf(range.map);
        if (map == nullptr || !map->textSearchReader().readItems(level(), range.group, items)) continue;
        for (const Map::TextSearchItem& item : items) {
            if (!m_visitor->seek(*map, item.objectOffset)) continue;
            if (m_filterLevel != NoFilter && !m_visitor->accepts(m_filterLevel, m_filterObjects[range.map]))
                continue;
            if (!callback(wholeItemText(map->stringsReader(), item), {range.map, item.objectOffset}))
                return false;
        }
    }
    return true;
}

void Engine::objectWalk(const WalkCallback& callback) {
    for (std::uint32_t m = 0; m < m_maps.size(); ++m) {
        if (!m_selected[m]) continue;
        Map::KvMap& map = *m_maps.maps()[m];
        AddressSectionReader& address = map.addressReader();
        if (m_kind == HousesKind) {
            StreetRecord street;
            std::vector<std::uint32_t> houses;
            if (!address.readStreet(m_streetObjects[m], street) || street.houseCount == 0 ||
                !address.readList(street.houseList, street.houseCount, houses))
                continue;
            for (std::uint32_t house : houses)
                if (m_visitor->seek(map, house) && !callback(m_visitor->name(), {m, house})) return;
            continue;
        }
        const std::uint32_t count = address.count(m_visitor->table());
        std::uint32_t offset = 4;
        for (std::uint32_t i = 0; i < count && m_visitor->seek(map, offset); ++i) {
            const std::uint32_t here = offset;
            offset = m_visitor->next();
            if (m_filterLevel != NoFilter && !m_visitor->accepts(m_filterLevel, m_filterObjects[m])) continue;
            if (m_kind == PoisKind &&
                !std::binary_search(m_poiTypes.begin(), m_poiTypes.end(), m_visitor->type()))
                continue;
            if (!callback(m_visitor->name(), {m, here})) return;
        }
    }
}

void Engine::buildTreeFromIndex() {
    m_tree.reset();
    // Short identities from the parent names numbered at attach; the walk
    // the narrowed one stands for compares the names as it reads them.
    IdentityCodes codes(*this);
    ObjectIdentity identityOf = [&codes](const MapAndOffset& ref) { return codes.code(ref); };
    if (!m_narrowedDepth) identityOf = [this](const MapAndOffset& ref) { return identity(ref); };
    SearchTreeBuilder builder(m_tree, std::move(identityOf));
    // The tree is walked from the keys typed up to here (a removed key down
    // to the depth builds it anew): words they do not spell are left out,
    // and so is every object none of whose words they spell.
    builder.keepOnlyTyped({m_keys.begin(), m_keys.begin() + m_indexDepth + 1});
    DepthWalk walk(*this, builder);
    walk.run();
    // An empty tree still takes the keys (and finds nothing): without one
    // the keys would count as untyped and offer every first letter.
    if (!m_tree) m_tree = std::make_unique<SearchTreeNode>();
}

void Engine::buildTreeFromObjects() {
    m_tree.reset();
    IdentityCodes codes(*this);
    SearchTreeBuilder builder(m_tree, [&codes](const MapAndOffset& ref) { return codes.code(ref); });
    objectWalk(
        [&](const std::u16string& text, const MapAndOffset& ref) { return builder.addObject(text, ref); });
    if (m_kind == PoisKind && m_wayPoints)
        for (std::size_t i = 0; i < m_wayPoints->count(); ++i)
            if (wayPointMatches(m_wayPoints->at(i), u"", true)) builder.addWayPoint(m_wayPoints->at(i));
}

void Engine::removeKey() {
    if (!m_keys.empty()) m_keys.pop_back();
    const bool keepTree = m_tree && !m_keys.empty() && (!m_indexInUse || m_keys.size() > m_indexDepth);
    if (keepTree) {
        replayThroughTree();
        return;
    }
    m_tree.reset();
    m_fresh = true;
    m_variants.clear();
    for (std::size_t p = 0; p < m_keys.size(); ++p)
        extend(p);
    m_cursor = 0;
}

void Engine::reset() {
    m_tree.reset();
    m_keys.clear();
    m_variants.clear();
    m_cursor = 0;
    m_fresh = true;
}

std::u16string Engine::text() const {
    return m_variants.empty() ? std::u16string() : m_variants[m_cursor].prefix;
}

void Engine::nextVariant() {
    if (!m_variants.empty()) m_cursor = (m_cursor + 1) % m_variants.size();
}

std::uint32_t Engine::count() {
    std::uint64_t total = 0;
    for (const Variant& v : m_variants) {
        if (!m_indexInUse || v.prefix.size() > m_indexDepth) {
            total += SearchTreeNode::count(v.node);
            continue;
        }
        if (m_filterLevel == NoFilter) {
            ItemRanges ranges;
            if (findRanges(v.prefix, ranges))
                for (const Map::MappedGroup& r : ranges)
                    total += r.group.count;
        } else {
            indexWalk(v.prefix, [&](const std::u16string&, const MapAndOffset&) {
                ++total;
                return true;
            });
        }
        if (m_kind == PoisKind && m_wayPoints)
            for (std::size_t i = 0; i < m_wayPoints->count(); ++i)
                total += wayPointMatches(m_wayPoints->at(i), v.prefix, false) ? 1 : 0;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, UINT32_MAX));
}

bool Engine::lettersAfter(const std::u16string& prefix, Letters& out) {
    if (m_kind != CitiesKind && m_kind != StreetsKind && m_kind != PoisKind) return false;
    if (m_kind == PoisKind && m_wayPoints)
        for (std::size_t i = 0; i < m_wayPoints->count(); ++i) {
            const Map::WayPoint& point = m_wayPoints->at(i);
            if (wayPointMatches(point, prefix, true) && point.name.size() > prefix.size())
                insertLetter(out, Core::toLower(point.name[prefix.size()]));
        }
    if (prefix.size() == m_indexDepth && m_filterLevel == NoFilter && m_narrowedDepth &&
        (m_kind == CitiesKind || m_kind == StreetsKind))
        return lettersThroughMapTrees(prefix, out);
    if (prefix.size() == m_indexDepth || m_filterLevel != NoFilter) {
        const std::uint32_t start = m_ticks();
        return indexWalk(prefix, [&](const std::u16string& text, const MapAndOffset&) {
            if (m_ticks() - start > LettersBudgetMs) return false;
            // The text starts with the matched word; a separator after it
            // ends the word and is no letter that can be typed on.
            if (text.size() > prefix.size() && Map::TextSearch::NameSplitter::Separators.find(
                                                   text[prefix.size()]) == std::u16string_view::npos)
                insertLetter(out, Core::toLower(text[prefix.size()]));
            return true;
        });
    }
    return m_kind == PoisKind ? m_index.nextLettersOfTypes(prefix, m_poiTypes, out, m_selected)
                              : m_index.nextLetters(level(), prefix, out, m_selected);
}

bool Engine::lettersThroughMapTrees(const std::u16string& prefix, Letters& out) {
    // An item's text starts with the key it is filed under (a word, or a
    // name entered whole), so the letter after the prefix in the text is
    // the letter of the key's next level: a map's tree that goes on past
    // the depth tells the letters of a range that is its node's own without
    // reading one item. Other ranges are walked.
    ItemRanges ranges;
    if (!findRanges(prefix, ranges)) return false;
    const int category = level();
    const std::uint32_t start = m_ticks();
    std::vector<Map::TextSearchItem> items;
    std::u16string first, text;
    Letters letters;
    for (const Map::MappedGroup& range : ranges) {
        Map::KvMap* map = mapOf(range.map);
        if (map == nullptr) continue;
        TextSearchSectionReader& reader = map->textSearchReader();
        Map::ItemsGroup node;
        letters.clear();
        if (reader.treeDepth(category) > m_indexDepth && reader.findGroup(category, prefix, node) &&
            node == range.group && reader.nextLetters(category, prefix, letters)) {
            for (char16_t letter : letters)
                if (!Map::TextSearch::NameSplitter::isSeparator(letter))
                    insertLetter(out, Map::TextSearch::NameSplitter::fold(letter));
            continue;
        }
        if (!reader.readItems(category, range.group, items)) continue;
        for (const Map::TextSearchItem& item : items) {
            if (!m_visitor->seek(*map, item.objectOffset)) continue;
            if (m_ticks() - start > LettersBudgetMs) return false;
            itemText(map->stringsReader(), item, first, text);
            if (text.size() > prefix.size() && !Map::TextSearch::NameSplitter::isSeparator(text[prefix.size()]))
                insertLetter(out, Core::toLower(text[prefix.size()]));
        }
    }
    return true;
}

bool Engine::nextLetters(Letters& out) {
    if (!m_visitor) return false;
    auto childLetters = [&](const SearchTreeNode* node) {
        if (node != nullptr)
            for (const auto& [letter, child] : node->children())
                insertLetter(out, letter);
    };
    if (m_fresh) {
        if (m_indexInUse) return lettersAfter(u"", out);
        if (!m_tree) buildTreeFromObjects();
        childLetters(m_tree.get());
        return true;
    }
    for (const Variant& v : m_variants) {
        if (!m_indexInUse || m_keys.size() > m_indexDepth)
            childLetters(v.node);
        else if (!lettersAfter(v.prefix, out))
            return false;
    }
    return true;
}

bool Engine::isEmptyPoiQuery() const {
    return (m_kind == PoisKind || m_kind == HousesKind) && m_keys.empty();
}

void Engine::collectResults(std::vector<ResultItem>& out) {
    if (!m_visitor) return;
    RowIndex index;
    indexRows(out, index);
    auto row = [&](const std::u16string&, const MapAndOffset& ref) {
        addRow(out, index, ref);
        return true;
    };
    if (m_kind == HousesKind && m_keys.empty()) {
        objectWalk(row);
        return;
    }
    if (m_kind == PoisKind && m_keys.empty()) {
        if (m_car)
            if (const std::optional<Map::Point> car = m_car()) nearestPois(*car, out);
        return;
    }
    for (const Variant& v : m_variants) {
        if (!m_indexInUse || v.prefix.size() > m_indexDepth) {
            std::vector<const TreeItem*> items;
            SearchTreeNode::gather(v.node, items);
            std::stable_sort(items.begin(), items.end(), [](const TreeItem* a, const TreeItem* b) {
                return SearchTreeNode::itemLess(*a, *b);
            });
            for (const TreeItem* item : items) {
                if (const auto* refs = std::get_if<ObjectRefs>(item))
                    for (const MapAndOffset& ref : *refs)
                        addRow(out, index, ref);
                else
                    addRow(out, std::get<Map::WayPoint>(*item));
            }
            continue;
        }
        indexWalk(v.prefix, row);
        if (m_kind == PoisKind && m_wayPoints)
            for (std::size_t i = 0; i < m_wayPoints->count(); ++i)
                if (wayPointMatches(m_wayPoints->at(i), v.prefix, true)) addRow(out, m_wayPoints->at(i));
    }
}

void Engine::indexRows(const std::vector<ResultItem>& rows, RowIndex& index) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (std::holds_alternative<std::vector<MapAndOffset>>(rows[i].objects))
            index[rows[i].text + u'\0' + rows[i].detail].push_back(i);
}

void Engine::addRow(std::vector<ResultItem>& rows, RowIndex& index, const MapAndOffset& ref) {
    Map::KvMap* map = mapOf(ref.map);
    if (map == nullptr || !m_visitor->seek(*map, ref.offset)) return;
    const std::u16string text = m_visitor->name();
    const std::u16string detail = m_visitor->detail();
    Map::Point point;
    m_visitor->point(point);
    // The candidates: rows of objects with the same text and detail.
    std::vector<std::size_t>& candidates = index[text + u'\0' + detail];
    for (std::size_t i : candidates) {
        auto& refs = std::get<std::vector<MapAndOffset>>(rows[i].objects);
        if (std::find(refs.begin(), refs.end(), ref) != refs.end()) return;
        if (std::any_of(refs.begin(), refs.end(), [&](const MapAndOffset& r) { return r.map == ref.map; }))
            continue;
        if (sameObject(refs.front(), ref)) {
            refs.push_back(ref);
            return;
        }
    }
    candidates.push_back(rows.size());
    rows.push_back({text, detail, point, std::vector<MapAndOffset>{ref}});
}

void Engine::addRow(std::vector<ResultItem>& rows, const Map::WayPoint& point) {
    for (const ResultItem& row : rows)
        if (const auto* w = std::get_if<Map::WayPoint>(&row.objects);
            w != nullptr && w->name == point.name && w->point == point.point)
            return;
    rows.push_back({point.name, point.comment, point.point, point});
}

bool Engine::sameObject(const MapAndOffset& first, const MapAndOffset& added) {
    return identity(first) == identity(added);
}

bool Engine::identityParents(const MapAndOffset& ref, Parents& out) {
    out.count = 0;
    Map::KvMap* map = mapOf(ref.map);
    if (map == nullptr) return false;
    AddressSectionReader& address = map->addressReader();
    auto set = [&out](std::initializer_list<std::pair<int, std::uint32_t>> parents) {
        for (const auto& parent : parents)
            out.parents[out.count++] = parent;
    };
    switch (m_kind) {
    case RegionsKind: {
        RegionRecord r;
        if (!address.readRegion(ref.offset, r)) return false;
        set({{0, r.country}});
        return true;
    }
    case DistrictsKind: {
        DistrictRecord r;
        if (!address.readDistrict(ref.offset, r)) return false;
        set({{1, r.region}, {0, r.country}});
        return true;
    }
    case CitiesKind: {
        CityRecord r;
        if (!address.readCity(ref.offset, r)) return false;
        set({{2, r.district}, {1, r.region}, {0, r.country}});
        return true;
    }
    case StreetsKind: {
        StreetRecord r;
        if (!address.readStreet(ref.offset, r)) return false;
        set({{3, r.city}, {2, r.district}, {1, r.region}, {0, r.country}});
        return true;
    }
    case PoisKind:
    case HousesKind: {
        ObjectRecord r;
        return address.readObject(ref.offset, r) && r.street == 0;
    }
    default:
        return true;
    }
}

std::u16string Engine::identity(const MapAndOffset& ref) {
    // Unreadable: a key no other object has.
    auto alone = [&ref] {
        std::string number = std::to_string(ref.map);
        number.append(":").append(std::to_string(ref.offset));
        return u'\x01' + Core::utf8ToWide(number);
    };
    Parents parents;
    if (!identityParents(ref, parents)) return alone();
    // Each parent: absent, or its name.
    std::u16string key;
    std::u16string name;
    for (std::size_t i = 0; i < parents.count; ++i) {
        const auto [table, offset] = parents.parents[i];
        if (offset == 0) {
            key += u"-";
        } else {
            if (!ParentNames::read(*mapOf(ref.map), table, offset, name)) return alone();
            key += u'+';
            key += name;
        }
        key += u'\0';
    }
    return key;
}

Engine::IdentityCodes::IdentityCodes(Engine& engine) : m_engine(engine) {}

std::u16string Engine::IdentityCodes::code(const MapAndOffset& ref) {
    // One unit per parent: 0 absent, else the name's number + 1, or the
    // escape 0xFFFF and the number in two units. Unreadable: 0xFFFE (never
    // a first unit otherwise) and the reference.
    auto alone = [&ref] {
        return std::u16string{u'\xFFFE', static_cast<char16_t>(ref.map >> 16), static_cast<char16_t>(ref.map),
                              static_cast<char16_t>(ref.offset >> 16), static_cast<char16_t>(ref.offset)};
    };
    Parents parents;
    if (!m_engine.identityParents(ref, parents)) return alone();
    // At most three units per parent, made into the key at once.
    std::array<char16_t, 3 * std::tuple_size_v<decltype(parents.parents)>> units{};
    std::size_t size = 0;
    for (std::size_t i = 0; i < parents.count; ++i) {
        const auto [table, offset] = parents.parents[i];
        if (offset == 0) {
            units[size++] = u'\0';
            continue;
        }
        std::uint32_t number = m_engine.m_parentNames.find(ref.map, table, offset);
        if (number == ParentNames::None) {
            // No record start of the table as attached: read here, and give
            // a name that some parent has that parent's number.
            const std::uint64_t at = std::uint64_t{ref.map} << 34 | std::uint64_t(table) << 32 | offset;
            number = m_numbers.find(at);
            if (number == NameNumbers::None) {
                const ParentNames& names = m_engine.m_parentNames;
                if (!ParentNames::read(*m_engine.mapOf(ref.map), table, offset, m_name)) {
                    number = Unreadable;
                } else if (number = names.numberOf(m_name); number == ParentNames::None) {
                    number = names.nameCount() + m_numbers.number(m_name);
                }
                m_numbers.store(at, number);
            }
        }
        if (number == Unreadable) return alone();
        if (number + 1 < 0xFFFE) {
            units[size++] = static_cast<char16_t>(number + 1);
        } else {
            units[size++] = u'\xFFFF';
            units[size++] = static_cast<char16_t>(number >> 16);
            units[size++] = static_cast<char16_t>(number);
        }
    }
    return std::u16string(units.data(), size);
}

void Engine::nearestPois(Map::Point point, std::vector<ResultItem>& rows) {
    if (!m_visitor) return;
    NnPoiVisitor visitor(*m_visitor, m_filterLevel, NearestPoiCount);
    for (std::uint32_t m = 0; m < m_maps.size(); ++m) {
        if (!m_selected[m]) continue;
        Map::KvMap* map = m_maps.maps()[m];
        visitor.setMap(m, map, m_filterObjects[m]);
        map->spatialSearchReader().nearest(visitor, point, m_poiTypes);
    }
    // The driver's own places of the chosen types are as near as the map's:
    // a waypoint 90 m away is no less a place nearby.
    if (m_wayPoints)
        for (std::size_t i = 0; i < m_wayPoints->count(); ++i) {
            const Map::WayPoint& w = m_wayPoints->at(i);
            const Box at{w.point.x, w.point.y, w.point.x, w.point.y};
            if (w.flag == 0 && std::binary_search(m_poiTypes.begin(), m_poiTypes.end(), w.type))
                visitor.visitWayPoint(i, squaredDistance(point, at));
        }
    RowIndex index;
    indexRows(rows, index);
    NnPoiVisitor::Entry entry;
    while (visitor.pop(entry)) {
        if (entry.wayPoint >= 0)
            addRow(rows, m_wayPoints->at(static_cast<std::size_t>(entry.wayPoint)));
        else
            addRow(rows, index, {entry.map, entry.offset});
    }
}

} // namespace TextSearch
