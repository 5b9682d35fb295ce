#include "search/IndexManager.h"

#include "core/AtomicFileForWrite.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "map/AtlasServices.h"
#include "map/KvMap.h"
#include "map/file/TextSearchSectionReader.h"
#include "search/TextSearchIndexBuilder.h"

#include <algorithm>
#include <chrono>

namespace TextSearch {

std::uint32_t steadyTicks() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

IndexManager::IndexManager(const Map::MapSet& maps, Ticks ticks)
    : m_maps(maps), m_ticks(ticks ? std::move(ticks) : Ticks(steadyTicks)) {}

IndexManager::~IndexManager() = default;

Map::IndexSourceList IndexManager::currentSources(const std::u16string& folder, const Map::MapSet& maps) {
    Map::IndexSourceList list =
        Map::IndexSourceList::collect(folder, u"*.kvm", [&](const std::u16string& path) {
            return maps.index(FileSystem::fileName(path)) != Map::MapSet::NoIndex;
        });
    Map::IndexSourceList::sort(list, [&](const std::u16string& name) { return maps.index(name); });
    return list;
}

bool IndexManager::load(Core::ResourcesPool& pool, const std::u16string& folder) {
    m_index.reset();
    const std::uint32_t start = m_ticks();
    const Map::IndexSourceList sources = currentSources(folder, m_maps);
    if (sources.records.size() != m_maps.size()) return false;
    const std::u16string path = Map::joinPath(folder, u"TextSearch.tsi");
    auto index = std::make_unique<Index>(pool, path, sources, m_maps.size());
    if (!index->valid()) {
        index.reset();
        FileSystem::AtomicFileForWrite file(path);
        if (file.isOpen() && TextSearchIndexBuilder::build(sources, file, m_maps) && file.commit()) {
            index = std::make_unique<Index>(pool, path, sources, m_maps.size());
            if (!index->valid()) index.reset();
        } else {
            const int error = file.lastError();
            file.discard();
            Log::log(Log::System, u"Can't write into text search index '%s' (err %d)", path, error);
            if (FileSystem::fileExists(path)) FileSystem::deleteFile(path);
            return true;
        }
    }
    if (index) {
        m_index = std::move(index);
        Log::log(Log::Normal, u"Text search index loaded in %u ms", m_ticks() - start);
    }
    return true;
}

void IndexManager::close() {
    m_index.reset();
}

std::uint32_t IndexManager::depth(int level, const EnabledMaps& enabled) {
    if (m_index) return m_index->depth(level);
    std::uint32_t result = 0xFFFFFFFFu;
    bool anyTree = false;
    for (std::size_t m = 0; m < m_maps.size(); ++m) {
        if (!isEnabled(enabled, static_cast<std::uint32_t>(m))) continue;
        const std::uint32_t d = m_maps.at(m)->textSearchReader().treeDepth(level);
        if (d != 0) {
            result = anyTree ? std::min(result, d) : d;
            anyTree = true;
        } else if (!anyTree) {
            result = 0; // stays 0 unless some enabled map has the tree
        }
    }
    return result;
}

bool IndexManager::hasItems(int level, const std::u16string& prefix, const EnabledMaps& enabled) {
    if (m_index) return m_index->hasItems(level, prefix, enabled);
    for (std::size_t m = 0; m < m_maps.size(); ++m) {
        if (!isEnabled(enabled, static_cast<std::uint32_t>(m))) continue;
        Map::ItemsGroup group;
        if (!m_maps.at(m)->textSearchReader().findGroup(level, prefix, group)) return false;
        if (!group.empty()) return true;
    }
    return false;
}

bool IndexManager::hasTypedItems(const std::u16string& prefix, const PoiTypes& types,
                                 const EnabledMaps& enabled) {
    if (m_index) return m_index->hasTypedItems(prefix, types, enabled);
    for (std::size_t m = 0; m < m_maps.size(); ++m)
        if (isEnabled(enabled, static_cast<std::uint32_t>(m)) &&
            m_maps.at(m)->textSearchReader().hasPoi(prefix, types))
            return true;
    return false;
}

bool IndexManager::nextLetters(int level, const std::u16string& prefix, Letters& letters,
                               const EnabledMaps& enabled) {
    if (m_index) return m_index->nextLetters(level, prefix, letters, enabled);
    for (std::size_t m = 0; m < m_maps.size(); ++m)
        if (isEnabled(enabled, static_cast<std::uint32_t>(m)) &&
            !m_maps.at(m)->textSearchReader().nextLetters(level, prefix, letters))
            return false;
    return true;
}

bool IndexManager::nextLettersOfTypes(const std::u16string& prefix, const PoiTypes& types, Letters& letters,
                                      const EnabledMaps& enabled) {
    if (m_index) return m_index->nextLettersOfTypes(prefix, types, letters, enabled);
    for (std::size_t m = 0; m < m_maps.size(); ++m)
        if (isEnabled(enabled, static_cast<std::uint32_t>(m)) &&
            !m_maps.at(m)->textSearchReader().nextPoiLetters(prefix, types, letters))
            return false;
    return true;
}

bool IndexManager::findItems(int level, const std::u16string& prefix, ItemRanges& results,
                             const EnabledMaps& enabled) {
    if (m_index) return m_index->findItems(level, prefix, results, enabled);
    results.clear();
    for (std::size_t m = 0; m < m_maps.size(); ++m) {
        if (!isEnabled(enabled, static_cast<std::uint32_t>(m))) continue;
        Map::ItemsGroup group;
        if (!m_maps.at(m)->textSearchReader().findGroup(level, prefix, group)) return false;
        if (!group.empty()) results.push_back({group, static_cast<std::uint16_t>(m)});
    }
    return true;
}

bool IndexManager::findTypedItems(const std::u16string& prefix, const PoiTypes& types, ItemRanges& results,
                                  const EnabledMaps& enabled) {
    if (m_index) return m_index->findTypedItems(prefix, types, results, enabled);
    results.clear();
    std::vector<Map::ItemsGroup> groups;
    for (std::size_t m = 0; m < m_maps.size(); ++m) {
        if (!isEnabled(enabled, static_cast<std::uint32_t>(m))) continue;
        if (!m_maps.at(m)->textSearchReader().findPoiGroups(prefix, types, groups)) return false;
        std::sort(groups.begin(), groups.end(),
                  [](const Map::ItemsGroup& a, const Map::ItemsGroup& b) { return a.first < b.first; });
        // Ranges that touch are one run of the map's items.
        for (std::size_t i = 0; i < groups.size();) {
            Map::ItemsGroup joined = groups[i];
            for (++i; i < groups.size() && std::uint64_t{joined.first} + joined.count == groups[i].first; ++i)
                joined.count += groups[i].count;
            results.push_back({joined, static_cast<std::uint16_t>(m)});
        }
    }
    return true;
}

} // namespace TextSearch
