#pragma once
// Owner of an atlas's TextSearch.tsi: opens it when the engine is attached
// to the atlas, builds it again when it is missing, damaged or stale, and
// answers the engine's per-level queries from it, or, without an open
// index, map by map from each enabled map's own text-search section. Both
// ways give the same depths, letters and items (as sets of items; the
// records may be cut differently).
//
// The maps that count are the maps of the engine's map set: a "*.kvm" file
// of the folder that the atlas skipped (a damaged map) is not a source of
// the index, so it cannot keep the index from being used.

#include "core/ResourcesPool.h"
#include "map/IndexSourceList.h"
#include "map/MapSet.h"
#include "search/Index.h"
#include "search/IndexTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace TextSearch {

// Milliseconds of the process's steady clock, kept as 32 bits.
std::uint32_t steadyTicks();

class IndexManager {
  public:
    // Milliseconds of a monotonic clock.
    using Ticks = std::function<std::uint32_t()>;

    explicit IndexManager(const Map::MapSet& maps, Ticks ticks = {});
    ~IndexManager();

    // Opens or rebuilds "<folder>\TextSearch.tsi" (through the atomic
    // writer: a build that stops leaves the old file or none). False only
    // when the folder's map files are not all the set's maps; true with or
    // without an open index. Logs "Text search index loaded in %u ms" when
    // an index is open, "Can't write into text search index '%s' (err %d)"
    // when the build could not be written.
    bool load(Core::ResourcesPool& pool, const std::u16string& folder);
    void close();
    bool isOpen() const { return m_index != nullptr; }

    // The current source list of a folder: its "*.kvm" files that are maps
    // of the set, in the set's order.
    static Map::IndexSourceList currentSources(const std::u16string& folder, const Map::MapSet& maps);

    // The depth down to which the level's tree answers. Without an index:
    // the smallest depth among the enabled maps that have the tree, 0 when
    // none has it, 4294967295 when no map is enabled.
    std::uint32_t depth(int level, const EnabledMaps& enabled);
    bool hasItems(int level, const std::u16string& prefix, const EnabledMaps& enabled);
    bool hasTypedItems(const std::u16string& prefix, const PoiTypes& types, const EnabledMaps& enabled);
    bool nextLetters(int level, const std::u16string& prefix, Letters& letters, const EnabledMaps& enabled);
    bool nextLettersOfTypes(const std::u16string& prefix, const PoiTypes& types, Letters& letters,
                            const EnabledMaps& enabled);
    bool findItems(int level, const std::u16string& prefix, ItemRanges& results, const EnabledMaps& enabled);
    bool findTypedItems(const std::u16string& prefix, const PoiTypes& types, ItemRanges& results,
                        const EnabledMaps& enabled);

  private:
    const Map::MapSet& m_maps;
    Ticks m_ticks;
    std::unique_ptr<Index> m_index;
};

} // namespace TextSearch
