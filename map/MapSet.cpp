#include "map/MapSet.h"

#include "map/KvMap.h"

#include <stdexcept>

namespace Map {

void MapSet::add(KvMap* map) {
    const auto [position, inserted] =
        m_indexByName.emplace(map->sourceName(), static_cast<std::uint32_t>(m_maps.size()));
    (void)position;
    if (inserted) m_maps.push_back(map);
}

std::uint32_t MapSet::index(const std::u16string& name) const {
    const auto found = m_indexByName.find(name);
    return found == m_indexByName.end() ? NoIndex : found->second;
}

KvMap* MapSet::at(std::size_t index) const {
    if (index >= m_maps.size()) throw std::out_of_range("invalid vector<T> subscript");
    return m_maps[index];
}

void MapSet::clear() {
    m_maps.clear();
    m_indexByName.clear();
}

} // namespace Map
