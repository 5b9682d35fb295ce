#pragma once
// Names of data files as the program writes them: relative to the data
// folder, with '\' separators. The platform layer turns '\' back into '/'
// when the path reaches the system.

#include <string>
#include <string_view>

namespace Core {

// dataFolder + name with every '/' turned into '\'. A name that is already
// absolute (it starts with '/' or '\', or with a drive letter and ':') is
// returned unchanged. The folder is used as given; a separator is added
// between folder and name when the folder lacks one.
std::u16string dataPath(std::u16string_view dataFolder, std::u16string_view name);

} // namespace Core
