#pragma once
// Copying text to and pasting text from the clipboard. Failures are logged
// with the system error number and leave the clipboard closed; the caller
// sees an empty text or nothing copied.

#include <string>
#include <string_view>

namespace Clipboard {

// True when the clipboard holds text in any of its three formats.
bool canPaste(const void* window);
// The clipboard's text: Unicode text first, else the 8-bit text read as
// code page 1251; empty on failure or when there is no text.
std::u16string paste(const void* window);
// Puts the text on the clipboard as Unicode text; other formats stay.
void copy(const void* window, std::u16string_view text);

} // namespace Clipboard
