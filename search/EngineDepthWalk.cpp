#include "search/EngineDepthWalk.h"

#include "core/Text.h"
#include "map/KvMap.h"
#include "map/file/TextSearchSectionReader.h"

#include <algorithm>

namespace TextSearch {

using Map::ItemsGroup;
using Map::MapAndOffset;

namespace {

ItemsGroup intersect(const ItemsGroup& a, const ItemsGroup& b) {
    const std::uint64_t first = std::max(a.first, b.first);
    const std::uint64_t end =
        std::min<std::uint64_t>(std::uint64_t{a.first} + a.count, std::uint64_t{b.first} + b.count);
    return end > first
               ? ItemsGroup{static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(end - first)}
               : ItemsGroup{};
}

std::u16string folded(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        c = Core::toLower(c);
    return out;
}

// The folded words the tree enters for a name.
class WordList : public Map::TextSearch::NameSplitter {
  public:
    std::vector<std::u16string> words;

  protected:
    void onWord(std::size_t, std::u16string_view word) override { words.push_back(folded(word)); }
};

} // namespace

Engine::DepthWalk::DepthWalk(Engine& engine, SearchTreeBuilder& builder)
    : m_engine(engine), m_builder(builder), m_depth(engine.m_indexDepth), m_level(engine.level()) {
    for (std::size_t k = 0; k <= m_depth && k < engine.m_keys.size(); ++k) {
        std::u16string letters;
        for (char16_t c : engine.m_keys[k])
            if (const char16_t letter = Core::toLower(c);
                letter != 0 && letters.find(letter) == std::u16string::npos)
                letters += letter;
        m_typed.push_back(std::move(letters));
    }
    if (m_typed.size() == m_depth + 1) m_letters = m_typed.back();
}

void Engine::DepthWalk::run() {
    readHits();
    for (Hit& hit : m_hits)
        findEarliest(hit);
    std::vector<std::uint32_t> order(m_hits.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Hits are read in walk order; only one moved earlier needs the sort.
    auto before = [this](std::uint32_t a, std::uint32_t b) { return m_hits[a].place < m_hits[b].place; };
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    Engine& e = m_engine;
    auto next = order.begin();
    for (std::size_t v = 0; v < e.m_variants.size(); ++v) {
        for (; next != order.end() && m_hits[*next].place.variant == v; ++next) {
            const Hit& hit = m_hits[*next];
            if (m_engine.m_narrowedDepth)
                m_builder.enterSplit(textOf(hit), hit.ref, m_words.data() + hit.wordsFirst, hit.wordsCount);
            else
                m_builder.addObject(textOf(hit), hit.ref);
        }
        if (e.m_kind == PoisKind && e.m_wayPoints)
            for (std::size_t i = 0; i < e.m_wayPoints->count(); ++i)
                if (e.wayPointMatches(e.m_wayPoints->at(i), e.m_variants[v].prefix, true))
                    m_builder.addWayPoint(e.m_wayPoints->at(i));
    }
}

void Engine::DepthWalk::groupsOf(Map::KvMap& map, const std::u16string& key, std::vector<ItemsGroup>& out) {
    out.clear();
    Map::File::TextSearchSectionReader& reader = map.textSearchReader();
    if (m_level == PoiLevel) {
        reader.findPoiGroups(key, m_engine.m_poiTypes, out);
        return;
    }
    ItemsGroup group;
    if (reader.findGroup(m_level, key, group) && !group.empty()) out.push_back(group);
}

void Engine::DepthWalk::narrow(const Map::MappedGroup& range, const std::u16string& prefix,
                               std::vector<ItemsGroup>& out) {
    out.clear();
    Map::KvMap* map = m_engine.mapOf(range.map);
    if (map == nullptr) return;
    // A tree that ends at the depth holds no longer key to narrow by.
    if (!m_engine.m_narrowedDepth || map->textSearchReader().treeDepth(m_level) <= m_depth) {
        out.push_back(range.group);
        return;
    }
    std::u16string key = prefix;
    key.push_back(0);
    for (char16_t letter : m_letters) {
        key.back() = letter;
        groupsOf(*map, key, m_groups);
        for (const ItemsGroup& group : m_groups)
            if (const ItemsGroup part = intersect(group, range.group); !part.empty()) out.push_back(part);
    }
    std::sort(out.begin(), out.end(),
              [](const ItemsGroup& a, const ItemsGroup& b) { return a.first < b.first; });
}

void Engine::DepthWalk::readHits() {
    Engine& e = m_engine;
    const bool filtered = e.m_filterLevel != NoFilter;
    // The parts of every range first: room for all texts and hits is then
    // taken once, not per range.
    struct Parts {
        std::size_t variant = 0;
        std::size_t range = 0;
        std::size_t first = 0;
        std::size_t end = 0;
    };
    std::vector<Parts> runs;
    std::vector<ItemsGroup> parts, narrowed;
    std::size_t items = 0;
    m_ranges.assign(e.m_variants.size(), {});
    for (std::size_t v = 0; v < e.m_variants.size(); ++v) {
        if (!e.findRanges(e.m_variants[v].prefix, m_ranges[v])) m_ranges[v].clear();
        for (std::size_t r = 0; r < m_ranges[v].size(); ++r) {
            if (e.mapOf(m_ranges[v][r].map) == nullptr) continue;
            narrow(m_ranges[v][r], e.m_variants[v].prefix, narrowed);
            runs.push_back({v, r, parts.size(), parts.size() + narrowed.size()});
            for (const ItemsGroup& part : narrowed) {
                parts.push_back(part);
                items += part.count;
            }
        }
    }
    m_hits.reserve(items);
    m_words.reserve(items * 2);
    m_texts.reserve(items * TextReserve);
    std::u16string first, text;
    for (const Parts& run : runs) {
        const std::size_t v = run.variant, r = run.range;
        const Map::MappedGroup& range = m_ranges[v][r];
        Map::KvMap* map = e.mapOf(range.map);
        for (std::size_t p = run.first; p < run.end; ++p) {
            const ItemsGroup& part = parts[p];
            if (!map->textSearchReader().readItems(m_level, part, m_items)) continue;
            for (std::uint32_t i = 0; i < m_items.size(); ++i) {
                const Map::TextSearchItem& item = m_items[i];
                // Both tests must pass; under a filter, which keeps few
                // objects, the object's own record is the cheaper first.
                auto accepted = [&] {
                    return e.m_visitor->seek(*map, item.objectOffset) &&
                           (!filtered || e.m_visitor->accepts(e.m_filterLevel, e.m_filterObjects[range.map]));
                };
                if (filtered && !accepted()) continue;
                Engine::itemText(map->stringsReader(), item, first, text);
                const std::size_t words = m_words.size();
                // The walk this stands for cuts every name as it enters it,
                // and looks for an earlier word of every object.
                const Reach reached = e.m_narrowedDepth ? reach(text, v) : Reach{m_builder.mayEnter(text), true};
                if (!reached.enters || (!filtered && !accepted())) {
                    m_words.resize(words);
                    continue;
                }
                m_hits.push_back({{v, r, part.first + i},
                                  {range.map, item.objectOffset},
                                  m_texts.size(),
                                  text.size(),
                                  reached.earlier,
                                  words,
                                  m_words.size() - words});
                m_texts += text;
            }
        }
    }
    dropRepeats();
}

void Engine::DepthWalk::dropRepeats() {
    // An object met again under another word of it: the first hit stays.
    // Repeats are rare; finding them after the walk costs one sort of
    // small keys instead of a set entry per hit.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(m_hits.size());
    for (std::uint32_t i = 0; i < m_hits.size(); ++i)
        keys[i] = {std::uint64_t{m_hits[i].ref.map} << 32 | m_hits[i].ref.offset, i};
    std::sort(keys.begin(), keys.end());
    std::vector<bool> repeat(m_hits.size(), false);
    bool any = false;
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i].first == keys[i - 1].first) repeat[keys[i].second] = any = true;
    if (!any) return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_hits.size(); ++i)
        if (!repeat[i]) m_hits[kept++] = m_hits[i];
    m_hits.resize(kept);
}

bool Engine::DepthWalk::spelled(const std::u16string& word) const {
    if (word.size() < m_typed.size()) return false;
    for (std::size_t k = 0; k < m_typed.size(); ++k)
        if (word[k] == 0 || m_typed[k].find(word[k]) == std::u16string::npos) return false;
    return true;
}

Engine::DepthWalk::Reach Engine::DepthWalk::reach(std::u16string_view text, std::size_t variant) {
    // Words, and a name entered whole, begin at the text's start or after a
    // separator. From each such start: how many of the keys spell the text.
    using Splitter = Map::TextSearch::NameSplitter;
    const auto& variants = m_engine.m_variants;
    const std::size_t keys = m_typed.size();
    Reach out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(Splitter::findSeparator(text, start), text.size());
        std::size_t spelled = 0;
        for (; spelled < keys && start + spelled < text.size(); ++spelled)
            if (const char16_t letter = Splitter::fold(text[start + spelled]);
                letter == 0 || !typedAt(spelled, letter))
                break;
        out.enters = out.enters || spelled == keys;
        // The splitter's words: each one a separator ends, and the rest
        // after the last separator when it has two units.
        const bool word = end < text.size() || (start != 0 && end - start >= 2);
        // A word the keys spell has its items among those read. Every
        // variant is spelled by the keys to the depth: a word that is not
        // can be under none.
        const bool wordSpelled = spelled == keys && end - start >= keys;
        if (word && wordSpelled)
            m_words.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end - start)});
        if (!out.earlier && !wordSpelled && spelled >= m_depth && end - start >= m_depth)
            for (std::size_t v = 0; v <= variant && v < variants.size() && !out.earlier; ++v) {
                bool same = true;
                for (std::size_t k = 0; same && k < m_depth; ++k)
                    same = Splitter::fold(text[start + k]) == variants[v].prefix[k];
                out.earlier = same;
            }
        start = end + 1;
    }
    return out;
}

void Engine::DepthWalk::findEarliest(Hit& hit) {
    Engine& e = m_engine;
    if (!hit.mayMoveEarlier) return;
    WordList list;
    list.split(textOf(hit));
    Map::KvMap* map = e.mapOf(hit.ref.map);
    for (const std::u16string& word : list.words) {
        // A word the keys spell has its items among those read.
        if (word.size() < m_depth || spelled(word)) continue;
        const std::u16string_view prefix = std::u16string_view(word).substr(0, m_depth);
        std::size_t v = 0;
        while (v < e.m_variants.size() && e.m_variants[v].prefix != prefix)
            ++v;
        if (v >= e.m_variants.size() || v > hit.place.variant) continue;
        groupsOf(*map, word, m_groups);
        for (const ItemsGroup& group : m_groups) {
            if (!map->textSearchReader().readItems(m_level, group, m_items)) continue;
            for (std::uint32_t i = 0; i < m_items.size(); ++i) {
                if (m_items[i].objectOffset != hit.ref.offset) continue;
                const std::uint32_t item = group.first + i;
                const ItemRanges& ranges = m_ranges[v];
                for (std::size_t r = 0; r < ranges.size(); ++r)
                    if (ranges[r].map == hit.ref.map && item >= ranges[r].group.first &&
                        item - ranges[r].group.first < ranges[r].group.count)
                        hit.place = std::min(hit.place, Place{v, r, item});
                break;
            }
        }
    }
}

} // namespace TextSearch
