#include "core/VirtualFs.h"

#include "core/Log.h"
#include "core/RWops.h"
#include "core/Text.h"
#include "core/WinFile.h"
#include "platform/Mapping.h"

#include <SDL/SDL_rwops.h>

#include <algorithm>
#include <climits>

namespace FileSystem {

VirtualFs::VirtualFs(std::u16string root) : m_root(std::move(root)) {
    if (!m_root.empty() && m_root.back() != u'/' && m_root.back() != u'\\')
        m_root += u'/';
}

VirtualFs::~VirtualFs() = default;

SDL_RWops* VirtualFs::open(const std::string& path, const std::string& packageExtension) {
    const std::size_t slash = path.find('/');
    if (slash == std::string::npos)
        return nullptr;
    const std::string name = path.substr(0, slash) + packageExtension;
    const auto byName = [](const std::unique_ptr<Package>& p, const std::string& n) { return p->name < n; };
    auto it = std::lower_bound(m_packages.begin(), m_packages.end(), name, byName);
    if (it == m_packages.end() || (*it)->name != name) {
        auto package = std::make_unique<Package>();
        package->name = name;
        it = m_packages.insert(it, std::move(package));
    }
    Package& package = **it;
    if (!package.view.base()) {
        if (!package.tried)
            load(package);
        if (!package.view.base())
            return openLoose(path);
    }

    const auto& entries = package.entries;
    auto entry = std::lower_bound(entries.begin(), entries.end(), path,
                                  [](const ZipEntry& e, const std::string& p) { return e.name < p; });
    if (entry == entries.end() || entry->name != path)
        return nullptr;
    if (entry->offset > package.view.size() || entry->size > package.view.size() - entry->offset ||
        entry->size > INT_MAX)
        return nullptr;
    return SDL_RWFromConstMem(package.view.base() + package.view.offset() + entry->offset,
                              static_cast<int>(entry->size));
}

void VirtualFs::load(Package& package) {
    package.tried = true;
    const std::u16string path = m_root + Core::utf8ToWide(package.name);
    // A missing package is the ordinary loose-file layout: no message.
    Platform::MappableFile file(path);
    if (!file.isOpen())
        return;
    WholeFileView view = WholeFileMapping(path, std::move(file)).mapWhole();
    if (!view.base())
        return;
    ZipIndex index = readZipIndex(view.base(), view.size());
    if (!index.ok()) {
        Log::log(Log::Critical, u"Data package '%s' is not usable, loose files are used instead: %hs", path,
                 index.error);
        return;
    }
    package.entries = std::move(index.entries);
    package.view = std::move(view);
}

SDL_RWops* VirtualFs::openLoose(const std::string& path) const {
    std::u16string file = m_root + Core::utf8ToWide(path);
    std::replace(file.begin(), file.end(), u'/', u'\\');
    auto loose = std::make_unique<WinFileForRead>(std::move(file));
    if (!loose->isOpen())
        return nullptr;
    return createRWops(std::move(loose));
}

} // namespace FileSystem
