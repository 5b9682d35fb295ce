#pragma once
// Conversions between the program's wide text (UTF-16 code units) and bytes:
// UTF-8 for configuration, logs, XML and the network; Windows-1251 as the
// "ANSI" code page of older data files. Case mapping knows ASCII and the
// Cyrillic letters, which is what search and sorting need.

#include <cstddef>
#include <string>
#include <string_view>

namespace Core {

// Lead bytes decode without checking continuation bytes; a truncated
// sequence at the end is dropped (a four-byte sequence missing only its last
// byte has already produced its high surrogate); invalid lead bytes give '?'.
std::u16string utf8ToWide(std::string_view bytes);
// Unpaired surrogates become '?'.
std::string wideToUtf8(std::u16string_view text);

std::u16string ansiToWide(std::string_view bytes);
std::u16string ansiToWide(const char* zeroTerminated);
// Writes at most capacity-1 characters and a terminator; returns the number
// of characters produced, 0 when the text does not fit.
std::size_t ansiToWideBuffer(std::string_view bytes, char16_t* destination, std::size_t capacity);

char16_t toLower(char16_t c);
char16_t toUpper(char16_t c);

} // namespace Core
