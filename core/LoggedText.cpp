#include "core/LoggedText.h"

#include "core/Format.h"
#include "core/Text.h"

#include <algorithm>
#include <optional>

namespace Log {

namespace {

// Attribute and parameter names whose values are secrets, lower case; a name
// is matched in any case and also as the end of a longer one
// ("access_token").
constexpr std::string_view SecretNames[] = {"password", "token"};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// XML's white space, which may stand on either side of an attribute's '='.
bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where an unquoted value (a URL's query parameter) ends.
constexpr std::string_view UnquotedEnds = " \t\r\n&;#\"'<>";

struct SecretValue {
    std::size_t begin = 0; // the value's first byte
    char quote = 0;        // its closing quote, 0 for an unquoted value
};

// The value of a secret whose name starts at `at`: name, white space, '=',
// white space, then a value in double or single quotes, or unquoted.
std::optional<SecretValue> secretValueAt(std::string_view text, std::size_t at) {
    for (const std::string_view name : SecretNames) {
        if (text.size() - at < name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lowerAscii(text[at + i]) == name[i];
        if (!same) continue;
        std::size_t next = at + name.size();
        while (next < text.size() && isXmlSpace(text[next]))
            ++next;
        if (next == text.size() || text[next] != '=') continue;
        ++next;
        while (next < text.size() && isXmlSpace(text[next]))
            ++next;
        if (next < text.size() && (text[next] == '"' || text[next] == '\''))
            return SecretValue{next + 1, text[next]};
        return SecretValue{next, 0};
    }
    return std::nullopt;
}

} // namespace

std::string withSecretsHidden(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::optional<SecretValue> value = secretValueAt(text, at);
        if (!value) {
            out += text[at++];
            continue;
        }
        out.append(text.substr(at, value->begin - at));
        std::size_t end = value->quote != 0 ? text.find(value->quote, value->begin)
                                            : text.find_first_of(UnquotedEnds, value->begin);
        if (end == std::string_view::npos) end = text.size();
        // An unquoted name with nothing after its '=' has no value to hide.
        if (value->quote != 0 || end > value->begin) out.append(SecretMask);
        at = end;
    }
    return out;
}

std::string urlWithSecretsHidden(std::string_view url) {
    std::string out(url);
    const std::size_t scheme = out.find("://");
    if (scheme != std::string::npos) {
        const std::size_t authority = scheme + 3;
        const std::size_t authorityEnd = std::min(out.find_first_of("/?#", authority), out.size());
        const std::size_t at = out.rfind('@', authorityEnd);
        if (at != std::string::npos && at >= authority) {
            const std::size_t colon = out.find(':', authority);
            if (colon < at) out.replace(colon + 1, at - colon - 1, SecretMask);
        }
    }
    return withSecretsHidden(out);
}

std::u16string excerpt(std::string_view text, std::size_t limit) {
    const std::string shown = withSecretsHidden(text);
    std::string out;
    std::size_t used = 0;
    for (; used < shown.size(); ++used) {
        const auto c = static_cast<unsigned char>(shown[used]);
        // No backslash: the log shows those of its text arguments as '/'.
        const std::string piece = c >= 0x20 && c < 0x7F && c != '%'
                                      ? std::string(1, static_cast<char>(c))
                                      : Core::format("%%%02x", static_cast<unsigned>(c));
        if (out.size() + piece.size() > limit)
            break;
        out += piece;
    }
    if (used < shown.size())
        out += Core::format("... (%u more bytes)", static_cast<unsigned>(shown.size() - used));
    return Core::utf8ToWide(out);
}

} // namespace Log
