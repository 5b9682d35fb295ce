#pragma once
// Escaping of text for XML attribute values: "&", "<", ">", the double quote
// and the apostrophe become "&amp;", "&lt;", "&gt;", "&quot;" and "&apos;".

#include <string>
#include <string_view>

namespace Core {

std::string xmlEscape(std::string_view text);
// The wide text converted to UTF-8, then escaped.
std::string xmlEscapeWide(std::u16string_view text);
// xmlEscape for text whose bytes may be anything (a hand-edited or damaged
// setting): the result is always a well-formed UTF-8 attribute value. Each
// byte that does not belong to a valid UTF-8 sequence (overlong forms,
// surrogates and code points past U+10FFFF included) and each character XML
// 1.0 cannot carry (controls other than tab, LF and CR; U+FFFE, U+FFFF)
// becomes U+FFFD. Tab, LF and CR stay as they are (the program's reader
// keeps them).
std::string xmlEscapeWellFormed(std::string_view text);

} // namespace Core
