#pragma once
// The search history of one atlas: the filters the user chose (a country,
// region, district or city that narrows later searches) and the objects the
// user found, each a ring of the 50 newest, stored in "TextSearch.tsh"
// beside the map files and rewritten whole at every change.
//
// TextSearch.tsh, little-endian: u32 signature 0x01485354 (written last),
// the atlas's source list (Map::IndexSourceList), u32 filter count, u32
// object count, u32 longest object name (UTF-16 units); then the filters,
// oldest first, each {u8 level, u8 0, u16 n, u64 time, u16 use count, n x
// {u32 map, u32 offset}}; then the objects, oldest first, each {u8 kind, u8
// 0, i32 x, i32 y, u64 time, u16 use count, u16 n, name units, u16 0, then n
// references, or the waypoint's u16 POI type when n is 0}. Times are the
// local wall-clock reading counted as if it were UTC. Map indices are
// positions in the stored source list; a history written for other map
// files is remapped on reading, losing only the references into maps that
// are gone or changed.

#include "core/DateTime.h"
#include "map/IndexSourceList.h"
#include "map/TextSearchTypes.h"
#include "search/ResultItem.h"

#include <boost/circular_buffer.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace FileSystem {
class FileRW;
}
namespace Map {
class MapSet;
}

namespace TextSearch {

class SearchHistory {
  public:
    static constexpr std::uint32_t Signature = 0x01485354;
    static constexpr std::size_t Capacity = 50;
    // Longer stored names are refused: no map gives such names, and the
    // file's own figure must not size a buffer.
    static constexpr std::uint32_t MaxNameUnits = 4096;

    using Clock = std::function<Positioning::DateTime()>;

    struct FilterEntry {
        // 1 country, 2 region, 3 district, 4 city; 0 no filter (a "clear").
        std::uint32_t level = 0;
        std::vector<Map::MapAndOffset> refs;
        Positioning::DateTime time;
        std::uint32_t useCount = 0;
    };
    struct FoundEntry {
        int kind = 0;
        ResultItem item;
        Positioning::DateTime time;
        std::uint32_t useCount = 0;
    };
    using Filter = std::pair<std::uint32_t, std::vector<Map::MapAndOffset>>;

    // The maps are the engine's (a reference's map index is a position in
    // it); the clock gives the local time (the system's by default).
    explicit SearchHistory(const Map::MapSet& maps, Clock clock = {});

    // Binds the history to the atlas folder and reads its file. False, with
    // the history emptied and unbound (nothing is written until a load
    // succeeds), when the folder's map files are not the engine's maps.
    // An unreadable file is replaced by an empty one.
    bool load(const std::u16string& folder);
    // Empties the rings and unbinds the history (the maps went away).
    void unbind();
    bool bound() const { return !m_path.empty(); }

    // Each change is written at once; the result is whether the file was
    // written. The file is replaced whole or not at all: after a failed
    // write it keeps the history stored before, the change stays in memory
    // and takeWriteError() names why.
    bool addFilter(std::uint32_t level, const std::vector<Map::MapAndOffset>& refs);
    bool removeFilter(std::uint32_t level, const std::vector<Map::MapAndOffset>& refs);
    bool addFoundObject(int kind, const ResultItem& item);
    // False also when no entry is the item.
    bool removeFoundObject(const ResultItem& item);

    // The newest filter; false when there is none.
    bool lastFilter(std::uint32_t& level, std::vector<Map::MapAndOffset>& refs) const;
    // Newest first, without the "clear" entries of level 0.
    void filters(std::vector<Filter>& out) const;
    // Newest first; kinds (when asked) in step with the items.
    void foundObjects(std::vector<ResultItem>& out, std::vector<int>* kinds = nullptr) const;

    bool read();
    bool write();
    // The Win32 number of why the last change could not be written, once
    // (0 when every change since the last call was written): what the
    // driver is told.
    int takeWriteError() { return std::exchange(m_unsavedError, 0); }

    const boost::circular_buffer<FilterEntry>& filterRing() const { return m_filters; }
    const boost::circular_buffer<FoundEntry>& objectRing() const { return m_objects; }
    const std::u16string& path() const { return m_path; }
    const Map::IndexSourceList& sources() const { return m_sources; }

  private:
    bool readFrom(FileSystem::FileRW& file);
    // The write's result after a change; a failure is kept for
    // takeWriteError().
    bool save();
    void clearRings();

    const Map::MapSet& m_maps;
    Clock m_clock;
    Map::IndexSourceList m_sources;
    std::u16string m_path;
    boost::circular_buffer<FilterEntry> m_filters{Capacity};
    boost::circular_buffer<FoundEntry> m_objects{Capacity};
    int m_writeError = 0;   // why the last write failed
    int m_unsavedError = 0; // not yet taken by takeWriteError()
};

} // namespace TextSearch
