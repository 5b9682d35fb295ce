#pragma once
// UTF-16 to UTF-8, the one encoder shared by the program's text functions
// and the path conversion at the system boundary.

#include <string>
#include <string_view>

namespace Platform {

// Unpaired surrogates become '?'.
std::string utf16ToUtf8(std::u16string_view text);

} // namespace Platform
