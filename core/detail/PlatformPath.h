#pragma once
// The one conversion of the program's wide paths for the operating system:
// UTF-16 becomes UTF-8 and "\" becomes "/".

#include <string>
#include <string_view>

namespace FileSystem::detail {

std::string platformPath(std::u16string_view path);

} // namespace FileSystem::detail
