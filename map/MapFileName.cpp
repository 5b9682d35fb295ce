#include "map/MapFileName.h"

#include "core/FileFinder.h"
#include "core/Log.h"
#include "core/ResourcesPool.h"
#include "map/file/MapFile.h"

#include <algorithm>
#include <exception>

namespace Map {

std::u16string readMapFileName(const std::u16string& path) {
    std::u16string name;
    try {
        // A pool of its own: listing an atlas must not push the loaded
        // atlas's views out of the program's pool.
        Core::ResourcesPool pool(5);
        File::MapFile file(pool, path);
        if (File::CopyrightSectionReader* copyright = file.copyright())
            if (!copyright->text(name)) name.clear();
    } catch (const std::exception& error) {
        Log::log(Log::Critical, u"Error reading map '%s' copyright (%hs) - skip", path,
                 std::string(error.what()));
        return {};
    }
    while (!name.empty() && name.back() == u'\0')
        name.pop_back();
    return name;
}

std::vector<std::u16string> atlasMapNames(const std::u16string& folder) {
    std::vector<std::u16string> names;
    std::unique_ptr<FileSystem::FileFinder> finder = FileSystem::FileFinder::create(folder, u"*.kvm");
    for (bool more = !finder->atEnd(); more; more = finder->next()) {
        if (finder->isDirectory()) continue;
        std::u16string name = readMapFileName(finder->path());
        if (name.empty()) continue;
        auto place = std::lower_bound(names.begin(), names.end(), name);
        if (place == names.end() || *place != name) names.insert(place, std::move(name));
    }
    return names;
}

} // namespace Map
