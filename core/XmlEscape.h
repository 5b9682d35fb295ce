#pragma once
// Escaping of text for XML attribute values: "&", "<", ">", the double quote
// and the apostrophe become "&amp;", "&lt;", "&gt;", "&quot;" and "&apos;".

#include <string>
#include <string_view>

namespace Core {

std::string xmlEscape(std::string_view text);
// The wide text converted to UTF-8, then escaped.
std::string xmlEscapeWide(std::u16string_view text);

} // namespace Core
