#include "map/AtlasFolderList.h"

#include "core/FileFinder.h"

namespace Map {

AtlasFolderList::AtlasFolderList(const AtlasPaths& paths, const std::u16string& currentPath) {
    const std::u16string maps = paths.dataPath(u"maps");
    std::unique_ptr<FileSystem::FileFinder> finder = FileSystem::FileFinder::create(maps, u"*");
    for (bool more = !finder->atEnd(); more; more = finder->next()) {
        const std::u16string name = finder->name();
        if (!finder->isDirectory() || name.empty() || name[0] == u'.') continue;
        m_records.push_back({name, joinPath(maps, name)});
    }
    m_current = static_cast<std::uint32_t>(m_records.size());
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].path == currentPath) {
            m_current = static_cast<std::uint32_t>(i);
            break;
        }
    }
}

} // namespace Map
