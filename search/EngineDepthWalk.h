#pragma once
// The objects that a key at the index depth enters into the word tree.
//
// The index answers down to its depth; the maps' own name trees go on to
// their longest key, and a map's keys are the name splitter's words
// (docs/map-format.md). So only the items under the depth's prefixes
// followed by one of the new key's letters can name an object that the
// keys reach: those are read, instead of every item of the depth's
// prefixes. The objects are then entered in the order an index walk of the
// depth's prefixes would first meet them (variant, item range, item), which
// a word of the object outside the narrowed items can move earlier: the
// tree, its merged objects and its waypoints come out as that walk would
// build them.

#include "search/Engine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace TextSearch {

class Engine::DepthWalk {
  public:
    DepthWalk(Engine& engine, SearchTreeBuilder& builder);
    void run();

  private:
    // Where an index walk meets an item: variant, range of the variant's
    // run, item of the map's table.
    struct Place {
        std::size_t variant = 0;
        std::size_t range = 0;
        std::uint32_t item = 0;
        auto operator<=>(const Place&) const = default;
    };
    // A hit's text lies in m_texts.
    struct Hit {
        Place place;
        Map::MapAndOffset ref;
        std::size_t textStart = 0;
        std::size_t textSize = 0;
        // Whether another word of the text may be met earlier.
        bool mayMoveEarlier = false;
        // The splitter's words of the text that the keys spell, in m_words.
        std::size_t wordsFirst = 0;
        std::size_t wordsCount = 0;
    };
    std::u16string_view textOf(const Hit& hit) const {
        return std::u16string_view(m_texts).substr(hit.textStart, hit.textSize);
    }

    // The parts of a range under the prefix followed by one of the key's
    // letters, in item order; the whole range when the map's tree cannot
    // tell.
    void narrow(const Map::MappedGroup& range, const std::u16string& prefix,
                std::vector<Map::ItemsGroup>& out);
    // The groups of the map's tree under a key (one per POI type).
    void groupsOf(Map::KvMap& map, const std::u16string& key, std::vector<Map::ItemsGroup>& out);
    void readHits();
    void dropRepeats();
    // Moves a hit to the first item of its object that the walk meets
    // earlier, through the object's other words.
    void findEarliest(Hit& hit);
    // What one pass over an item's text tells before the item is kept:
    // whether the tree can enter anything of it (SearchTreeBuilder::
    // mayEnter); whether a word of it that the keys do not spell lies
    // under a variant up to the item's own, so that the walk may meet the
    // object there earlier (most texts have none: then the text is not
    // cut into words again); and the splitter's words (before its word
    // test) that the keys spell, appended to m_words.
    struct Reach {
        bool enters = false;
        bool earlier = false;
    };
    Reach reach(std::u16string_view text, std::size_t variant);
    bool typedAt(std::size_t k, char16_t letter) const {
        const std::u16string& key = m_typed[k];
        for (char16_t c : key)
            if (c == letter) return true;
        return false;
    }
    bool spelled(const std::u16string& word) const;

    // Units of text reserved per item to read.
    static constexpr std::size_t TextReserve = 32;

    Engine& m_engine;
    SearchTreeBuilder& m_builder;
    std::uint32_t m_depth;
    int m_level;
    // Folded letters of the key at the depth, and of every key to it.
    std::u16string m_letters;
    std::vector<std::u16string> m_typed;
    std::vector<ItemRanges> m_ranges;
    std::vector<Hit> m_hits;
    std::vector<SearchTreeBuilder::WordSpan> m_words;
    std::u16string m_texts;
    std::vector<Map::TextSearchItem> m_items;
    std::vector<Map::ItemsGroup> m_groups;
};

} // namespace TextSearch
