#pragma once
// Lists kept in one configuration value or one text: every piece between
// separators, the one after the last separator included. An empty text gives
// one empty piece; neighbouring separators give empty pieces.

#include <string>
#include <string_view>
#include <vector>

namespace Core {

// Separator ";".
std::vector<std::string> splitNarrow(std::string_view text);
std::vector<std::u16string> splitWide(std::u16string_view text, char16_t separator);

} // namespace Core
