#include "core/DataPath.h"

namespace Core {

namespace {

bool isAbsolute(std::u16string_view name) {
    if (!name.empty() && (name[0] == u'/' || name[0] == u'\\'))
        return true;
    return name.size() >= 2 && name[1] == u':' &&
           ((name[0] >= u'A' && name[0] <= u'Z') || (name[0] >= u'a' && name[0] <= u'z'));
}

} // namespace

std::u16string dataPath(std::u16string_view dataFolder, std::u16string_view name) {
    if (isAbsolute(name))
        return std::u16string(name);
    std::u16string path(dataFolder);
    if (!path.empty() && path.back() != u'/' && path.back() != u'\\')
        path += u'\\';
    path += name;
    for (char16_t& c : path)
        if (c == u'/')
            c = u'\\';
    return path;
}

} // namespace Core
