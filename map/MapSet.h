#pragma once
// The numbering of the maps the search engine works on: map i is the i-th
// map added, and a map's number is found by its source name ignoring case.
// These numbers are the map indexes of search results and of the search
// files' source lists.

#include "core/NameOrder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Map {

class KvMap;

class MapSet {
  public:
    static constexpr std::uint32_t NoIndex = 0xFFFFFFFF;

    // Appends the map unless a map of the same source name (ignoring case)
    // is in the set already.
    void add(KvMap* map);
    // The number of the map of that source name, or NoIndex.
    std::uint32_t index(const std::u16string& name) const;
    // Throws std::out_of_range "invalid vector<T> subscript" beyond the end.
    KvMap* at(std::size_t index) const;
    std::size_t size() const { return m_maps.size(); }
    bool empty() const { return m_maps.empty(); }
    const std::vector<KvMap*>& maps() const { return m_maps; }
    void clear();

  private:
    std::vector<KvMap*> m_maps;
    std::map<std::u16string, std::uint32_t, Core::ILess> m_indexByName;
};

} // namespace Map
