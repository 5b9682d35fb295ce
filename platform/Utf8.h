#pragma once
// UTF-16 to UTF-8 and back, the one encoder and decoder shared by the
// program's text functions and the conversions at the system boundary.

#include <string>
#include <string_view>

namespace Platform {

// Unpaired surrogates become '?'.
std::string utf16ToUtf8(std::u16string_view text);
// Bytes that start no sequence become '?'; decoding stops at a sequence
// cut short by the end of the text.
std::u16string utf8ToUtf16(std::string_view bytes);

} // namespace Platform
