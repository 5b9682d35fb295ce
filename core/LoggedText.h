#pragma once
// What the log may show of text that comes from outside or carries the
// user's secrets: the online service's requests and a server's replies.

#include <cstddef>
#include <string>
#include <string_view>

namespace Log {

// The mask that stands for a secret in the log, whatever the secret's
// length.
inline constexpr std::string_view SecretMask = "***";

// The text with the value of every password and token attribute replaced
// by the mask, however XML writes it: in double or single quotes, with
// white space around the '=' (token = 'x'), the name in any case or ending a
// longer one (access_token). A value without its closing quote is masked to
// the end of the text. An unquoted value (a URL's query, "?token=x&y=1") is
// masked up to the next white space, '&', ';', '#', quote or angle bracket.
std::string withSecretsHidden(std::string_view text);

// A URL as the log shows it: the password of its user part ("//user:pw@")
// and the secrets of its query hidden as above.
std::string urlWithSecretsHidden(std::string_view url);

// The text as the log shows it: secrets hidden (before the cut, so that no
// cut leaves a piece of one), every byte outside printable ASCII and every
// '%' written as %XX (hexadecimal), at most limit characters of that; when the
// text was longer, "..." and the number of its bytes left out follow
// ("... (1234 more bytes)").
std::u16string excerpt(std::string_view text, std::size_t limit);

} // namespace Log
