#pragma once
// Number parsers over a byte range that need not end after the number: each
// reads what it can from the start of [begin, end), stops at the first byte
// that does not belong to the number (that byte is no error), and returns
// true when at least one digit was read. The output is always written: 0 when
// no digit was read. Only the space character (0x20) counts as a blank.

#include <cstdint>
#include <string_view>

namespace Core {

// The value of one hexadecimal digit, -1 for any other byte.
int hexDigit(char c);

// Blanks, then decimal digits; larger numbers wrap in 32 bits.
bool parseUnsigned(const char* begin, const char* end, std::uint32_t& out);
// An optional "-" or "+" as the very first byte, then as parseUnsigned. A
// blank before the sign makes the sign a non-digit: 0 and false.
bool parseInt(const char* begin, const char* end, std::int32_t& out);
// Blanks, then hexadecimal digits (0-9, A-F, a-f); no "0x" prefix.
bool parseHex(const char* begin, const char* end, std::uint32_t& out);
// Blanks, an optional sign, digits, optionally "." and more digits; no
// exponent ("1e5" reads as 1). True when a digit was read on either side of
// the point.
bool parseFloat(const char* begin, const char* end, float& out);

inline bool parseUnsigned(std::string_view text, std::uint32_t& out) {
    return parseUnsigned(text.data(), text.data() + text.size(), out);
}
inline bool parseInt(std::string_view text, std::int32_t& out) {
    return parseInt(text.data(), text.data() + text.size(), out);
}
inline bool parseHex(std::string_view text, std::uint32_t& out) {
    return parseHex(text.data(), text.data() + text.size(), out);
}
inline bool parseFloat(std::string_view text, float& out) {
    return parseFloat(text.data(), text.data() + text.size(), out);
}

} // namespace Core
