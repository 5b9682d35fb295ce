#pragma once
// Base64 with the standard alphabet (A-Z, a-z, 0-9, "+", "/") and "="
// padding, no line breaks; byte values in the configuration are kept so.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Core {

std::string base64Encode(std::span<const std::uint8_t> bytes);
// Lenient: every character outside the alphabet ("=" and blanks included) is
// skipped. Characters are taken in groups of four; a short last group of n
// characters gives floor(6n / 8) bytes (a lone character gives none).
std::vector<std::uint8_t> base64Decode(std::string_view text);

} // namespace Core
