#include "map/AtlasServices.h"

#include <algorithm>
#include <utility>

namespace Map {

std::u16string joinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    path += name;
    return path;
}

FolderPaths::FolderPaths(std::u16string programFolder) : m_programFolder(std::move(programFolder)) {}

bool FolderPaths::isAbsolute(std::u16string_view name) {
    if (!name.empty() && (name[0] == u'/' || name[0] == u'\\')) return true;
    return name.size() >= 2 && name[1] == u':';
}

namespace {
std::u16string underFolder(const std::u16string& folder, std::u16string_view name) {
    if (FolderPaths::isAbsolute(name)) return std::u16string(name);
    std::u16string path = joinPath(folder, name);
    std::replace(path.begin(), path.end(), u'/', u'\\');
    return path;
}
} // namespace

std::u16string AtlasPaths::relativeToData(std::u16string_view path) const {
    const auto separator = [](char16_t c) { return c == u'/' || c == u'\\'; };
    std::u16string data = dataPath(u"");
    while (!data.empty() && separator(data.back())) data.pop_back();
    if (data.empty() || path.size() <= data.size() + 1 || !separator(path[data.size()])) return std::u16string(path);
    for (std::size_t i = 0; i < data.size(); ++i)
        if (path[i] != data[i] && !(separator(path[i]) && separator(data[i]))) return std::u16string(path);
    std::u16string rest(path.substr(data.size() + 1));
    while (!rest.empty() && separator(rest.back())) rest.pop_back();
    if (rest.empty()) return std::u16string(path);
    std::replace(rest.begin(), rest.end(), u'/', u'\\');
    return rest;
}

std::u16string FolderPaths::dataPath(std::u16string_view name) const {
    return underFolder(joinPath(m_programFolder, u"data\\"), name);
}

std::u16string FolderPaths::programPath(std::u16string_view name) const {
    return underFolder(m_programFolder, name);
}

} // namespace Map
