#include "core/detail/PlatformPath.h"

#include "core/Text.h"

namespace FileSystem::detail {

std::string platformPath(std::u16string_view path) {
    std::string out = Core::wideToUtf8(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

} // namespace FileSystem::detail
