#pragma once
// The text-search engine of one atlas: finds cities, streets, houses, POIs
// and waypoints by name while the user types keys of several letters each.
//
// Below the index depth the variants (every prefix the typed keys can spell
// that exists) and the letters that may follow come from the index's prefix
// trees (TextSearch.tsi, or map by map without it) and no object is read;
// at the depth the hits are read once into an in-memory tree of words (only
// those the key's letters continue, found through the maps' own deeper
// trees: EngineDepthWalk.h), and every further key is a step in that tree. Small selections (fewer than
// 1000 objects of the level), countries, regions, districts and houses use
// the in-memory tree alone. Runs on the main thread.

#include "map/AtlasServices.h"
#include "map/MapSet.h"
#include "map/Point.h"
#include "search/IndexManager.h"
#include "search/NameNumbers.h"
#include "search/ParentNames.h"
#include "search/ResultItem.h"
#include "search/SearchHistory.h"
#include "search/SearchTree.h"
#include "search/Visitors.h"
#include "search/WayPoints.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Map::File {
class StringsSectionReader;
}

namespace TextSearch {

enum SearchKind : int {
    CountriesKind = 1,
    RegionsKind = 2,
    DistrictsKind = 3,
    CitiesKind = 17,
    StreetsKind = 18,
    PoisKind = 19,
    HousesKind = 20,
};

class Engine : public Map::AtlasSearchEngine {
  public:
    using Ticks = IndexManager::Ticks;
    // The car's map point when it is known.
    using CarPosition = std::function<std::optional<Map::Point>()>;

    static constexpr std::uint32_t IndexThreshold = 1000;
    static constexpr std::uint32_t NoIndexDepth = 3;
    static constexpr std::uint32_t LettersBudgetMs = 1000;
    static constexpr std::size_t NearestPoiCount = 14;

    explicit Engine(Ticks ticks = {}, CarPosition car = {});
    ~Engine() override;

    // Map::AtlasSearchEngine: the atlas's maps after a load (the index is
    // opened or built in the maps' folder), and their removal.
    void setAtlas(const std::vector<Map::KVMap2*>& maps, const std::u16string& folder,
                  Core::ResourcesPool& pool) override;
    void clearMaps() override;
    // The maps in atlas order; false when the folder's map files are not the
    // maps (no index and no history are used then). Nothing of the previous
    // atlas survives: the per-map selections, the tree, the typed keys and
    // the waypoints of a POI search all go.
    bool attach(const std::vector<Map::KvMap*>& maps, const std::u16string& folder,
                Core::ResourcesPool& pool);
    void setCarPosition(CarPosition car) { m_car = std::move(car); }

    // Sets up a search of a kind under a filter: entries {map, object} of
    // the filter level's parents (level 0: every map, no filter).
    void search(int kind, std::uint32_t filterLevel, const std::vector<Map::MapAndOffset>& filter);
    void searchPois(std::uint32_t filterLevel, const std::vector<Map::MapAndOffset>& filter,
                    std::shared_ptr<const Map::WayPointsCollection> wayPoints, PoiTypes types);
    // Houses of the chosen streets {map, street offset}.
    void searchHouses(const std::vector<Map::MapAndOffset>& streets);
    bool hasHouses(const std::vector<Map::MapAndOffset>& streets);

    // One key: its letters in the keyboard's order.
    void addKey(const std::u16string& letters);
    void removeKey();
    void reset();
    // The prefix of the variant under the cursor; empty without variants.
    std::u16string text() const;
    void nextVariant();
    std::uint32_t count();
    // Adds the letters that may follow; false when the 1000 ms budget of a
    // walk ran out (the letters found so far stay).
    bool nextLetters(Letters& out);
    bool isEmptyPoiQuery() const;
    void collectResults(std::vector<ResultItem>& out);

    // Whether two objects of the current kind in two maps are one object:
    // countries always; regions, districts, cities and streets when every
    // parent is absent in both or reads with equal names; POIs and houses
    // when neither has a street. A record that cannot be read is no other
    // object.
    bool sameObject(const Map::MapAndOffset& first, const Map::MapAndOffset& added);
    // The key that sameObject compares, one per object.
    std::u16string identity(const Map::MapAndOffset& ref);
    // The 14 nearest POIs of the selection around a point, the search's
    // waypoints of its types among them, farthest first.
    void nearestPois(Map::Point point, std::vector<ResultItem>& rows);

    // On (the default), the key at the index depth reads only the items
    // under its own letters (EngineDepthWalk.h), cuts each item's text into
    // words once and compares parents by the numbers of their names, and
    // the letters after a prefix as long as the depth come from the maps'
    // deeper trees; off, every item of the depth's prefixes is read, each
    // name cut as it is entered and the parent names compared as read, as
    // the walks they stand for.
    void setNarrowedDepth(bool on) { m_narrowedDepth = on; }

    bool indexInUse() const { return m_indexInUse; }
    std::uint32_t indexDepth() const { return m_indexDepth; }
    IndexManager& indexManager() { return m_index; }
    const Map::MapSet& maps() const { return m_maps; }
    const ParentNames& parentNames() const { return m_parentNames; }
    SearchHistory& history() { return m_history; }
    int kind() const { return m_kind; }
    std::uint32_t filterLevel() const { return m_filterLevel; }
    std::size_t variantCount() const { return m_variants.size(); }

    // An item's text: the second string when there is one, with the tail of
    // the first spliced in (docs/map-format.md), else the first. The text
    // into `text`, with `first` as scratch: buffers kept by a caller that
    // reads many items allocate only while they grow.
    static void itemText(Map::File::StringsSectionReader& strings, const Map::TextSearchItem& item,
                         std::u16string& first, std::u16string& text);

  private:
    class DepthWalk;
    // The comparison of identity through short keys (a few units, no
    // allocation): each parent name read once is numbered; keys of one
    // holder compare as the identities do.
    class IdentityCodes {
      public:
        explicit IdentityCodes(Engine& engine);
        std::u16string code(const Map::MapAndOffset& ref);

      private:
        static constexpr std::uint32_t Unreadable = ParentNames::Unreadable;
        Engine& m_engine;
        // Parents read here (offsets that are no record start as attached):
        // numbers by (map, table, offset), and of names no attached parent
        // has, counted on from the attached names.
        NameNumbers m_numbers;
        std::u16string m_name;
    };
    // The parents (address table, record offset) that an object's identity
    // compares; false when its record does not read.
    struct Parents {
        std::array<std::pair<int, std::uint32_t>, 4> parents{};
        std::size_t count = 0;
    };
    bool identityParents(const Map::MapAndOffset& ref, Parents& out);

    struct Variant {
        std::u16string prefix;
        const SearchTreeNode* node = nullptr;
    };
    // (text, reference) of each object of a walk; false stops it.
    using WalkCallback = std::function<bool(const std::u16string& text, const Map::MapAndOffset& ref)>;

    int level() const;
    void extend(std::size_t position);
    void extendThroughIndex(const std::u16string& key);
    void extendThroughTree(const std::u16string& key);
    bool exists(const std::u16string& prefix);
    void buildTreeFromIndex();
    void buildTreeFromObjects();
    void replayThroughTree();
    bool findRanges(const std::u16string& prefix, ItemRanges& ranges);
    bool indexWalk(const std::u16string& prefix, const WalkCallback& callback);
    void objectWalk(const WalkCallback& callback);
    bool lettersAfter(const std::u16string& prefix, Letters& out);
    // The letters after a prefix as long as the depth, without a filter,
    // from the maps' own deeper trees where they can tell (as the walk of
    // the prefix's items would find them).
    bool lettersThroughMapTrees(const std::u16string& prefix, Letters& out);
    bool wayPointMatches(const Map::WayPoint& point, const std::u16string& prefix, bool typed) const;
    Map::KvMap* mapOf(std::uint32_t index) const;
    // Rows by text and detail while rows are added.
    using RowIndex = std::unordered_map<std::u16string, std::vector<std::size_t>>;
    void indexRows(const std::vector<ResultItem>& rows, RowIndex& index) const;
    void addRow(std::vector<ResultItem>& rows, RowIndex& index, const Map::MapAndOffset& ref);
    void addRow(std::vector<ResultItem>& rows, const Map::WayPoint& point);

    Map::MapSet m_maps;
    // Numbered when the maps are attached; dropped with them.
    ParentNames m_parentNames;
    EnabledMaps m_selected;
    Ticks m_ticks;
    CarPosition m_car;
    IndexManager m_index;
    bool m_indexInUse = false;
    std::uint32_t m_indexDepth = NoIndexDepth;
    bool m_narrowedDepth = true;
    int m_kind = 0;
    std::unique_ptr<VisitorBase> m_visitor;
    std::uint32_t m_filterLevel = NoFilter;
    std::vector<std::uint32_t> m_filterObjects;
    std::vector<std::uint32_t> m_streetObjects;
    PoiTypes m_poiTypes;
    std::shared_ptr<const Map::WayPointsCollection> m_wayPoints;
    std::vector<std::u16string> m_keys;
    bool m_fresh = true;
    std::vector<Variant> m_variants;
    std::size_t m_cursor = 0;
    std::unique_ptr<SearchTreeNode> m_tree;
    SearchHistory m_history{m_maps};
};

} // namespace TextSearch
