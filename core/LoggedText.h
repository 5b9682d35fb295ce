#pragma once
// What the log may show of text that comes from outside or carries the
// user's secrets: the online service's requests and a server's replies,
// and any other text argument of a log line.

#include <cstddef>
#include <string>
#include <string_view>

namespace Log {

// The mask that stands for a secret in the log, whatever the secret's
// length.
inline constexpr std::string_view SecretMask = "***";

// The text with every secret replaced by the mask:
// - the value of a name that holds "token", "password", "passwd", "pwd",
//   "secret" or "session" (any case, anywhere in the name: access_token,
//   sessionId), however it is written: key="v", key='v', key = "v", key=v (a
//   URL's query, ended by white space, '&', ';', '#', a quote or an angle
//   bracket), key: "v", and JSON's "key": "v" or "key": 12 (ended by white
//   space, ',', '}' or ']' too). Quotes may also be XML's &quot; and &apos;.
//   A quoted value without its closing quote is masked to the end of the
//   text, and a quoted name without its opening quote (a text cut in front
//   of it) is taken by its name characters; a name with nothing after its
//   '=' has no value to hide;
// - the password of a URL's user part ("//user:pw@host") wherever a URL
//   stands in the text (inside an attribute's value too).
// Masking a masked text changes nothing.
std::string withSecretsHidden(std::string_view text);
std::u16string withSecretsHidden(std::u16string_view text);

// A URL as the log shows it: the same masking (the password of its user
// part and the secrets of its query).
std::string urlWithSecretsHidden(std::string_view url);

// A text of several lines (a message box's, an error's) as one line of the
// log: each run of line breaks (CR and LF) between two lines becomes " / ",
// those at its start and end are dropped. Other control characters are left
// to the log's own escaping (\xNN), so no text forges a line either way.
std::string linesJoined(std::string_view text);
std::u16string linesJoined(std::u16string_view text);

// The text as the log shows it: secrets hidden (before the cut, so that no
// cut leaves a piece of one), every byte outside printable ASCII and every
// '%' written as %XX (hexadecimal), at most limit characters of that; when the
// text was longer, "..." and the number of its bytes left out follow
// ("... (1234 more bytes)").
std::u16string excerpt(std::string_view text, std::size_t limit);

} // namespace Log
