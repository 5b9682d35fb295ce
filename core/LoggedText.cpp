#include "core/LoggedText.h"

#include "core/Format.h"
#include "core/Text.h"

#include <algorithm>
#include <type_traits>

namespace Log {

namespace {

// Words whose presence anywhere in a name, in any case, makes its value a
// secret.
constexpr std::string_view SecretWords[] = {"token", "password", "passwd", "pwd", "secret", "session"};

// A name is looked for this far back from its '=' or ':'.
constexpr std::size_t MaxNameLength = 64;

// The quotes a value or a JSON name may stand in: plain, or as XML writes
// them inside another attribute's value.
constexpr std::string_view Quotes[] = {"\"", "'", "&quot;", "&apos;", "&#34;", "&#39;"};

// Where an unquoted value ends: after '=' (a URL's query parameter) and
// after ':' (a JSON number or word).
constexpr std::string_view EndsAfterEquals = " \t\r\n&;#\"'<>";
constexpr std::string_view EndsAfterColon = " \t\r\n&;#\"'<>,}]";
// Where a URL's authority ("user:pw@host:port") ends.
constexpr std::string_view AuthorityEnds = " \t\r\n/?#\"'<>";

// The text's characters as ASCII; anything else is 0, which matches none of
// the characters looked for.
template <class Char> char ascii(Char c) {
    const auto code = static_cast<std::make_unsigned_t<Char>>(c);
    return code < 0x80 ? static_cast<char>(code) : '\0';
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

bool isOneOf(char c, std::string_view set) {
    return c != '\0' && set.find(c) != std::string_view::npos;
}

template <class Char> class Masker {
  public:
    using View = std::basic_string_view<Char>;

    explicit Masker(View text) : m_text(text) {}

    std::basic_string<Char> run() {
        std::basic_string<Char> out;
        out.reserve(m_text.size());
        std::size_t at = 0;
        while (at < m_text.size()) {
            const char c = charAt(at);
            std::size_t kept = 0;
            std::size_t next = 0;
            if ((c == ':' && charAt(at + 1) == '/' && charAt(at + 2) == '/' && urlPassword(at, kept, next)) ||
                ((c == '=' || c == ':') && secretValue(at, kept, next))) {
                out.append(m_text.substr(at, kept - at));
                for (const char m : SecretMask)
                    out.push_back(static_cast<Char>(m));
                at = next;
                continue;
            }
            out.push_back(m_text[at++]);
        }
        return out;
    }

  private:
    char charAt(std::size_t at) const { return at < m_text.size() ? ascii(m_text[at]) : '\0'; }

    bool sameAt(std::size_t at, std::string_view word) const {
        if (at > m_text.size() || m_text.size() - at < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (ascii(m_text[at + i]) != word[i]) return false;
        return true;
    }

    std::string_view quoteAt(std::size_t at) const {
        for (const std::string_view quote : Quotes)
            if (sameAt(at, quote)) return quote;
        return {};
    }

    std::string_view quoteEndingAt(std::size_t end) const {
        for (const std::string_view quote : Quotes)
            if (end >= quote.size() && sameAt(end - quote.size(), quote)) return quote;
        return {};
    }

    bool isSecretName(std::size_t begin, std::size_t end) const {
        std::string name;
        for (std::size_t i = begin; i < end; ++i)
            name.push_back(lowerAscii(ascii(m_text[i])));
        return std::any_of(std::begin(SecretWords), std::end(SecretWords),
                           [&](std::string_view word) { return name.find(word) != std::string::npos; });
    }

    // The name before the separator at `at`: a run of name characters, or
    // anything between two quotes of the same kind (JSON's "key"). False
    // when there is none or it is no secret's.
    bool secretName(std::size_t at, bool& quoted) const {
        std::size_t end = at;
        while (end > 0 && isSpace(ascii(m_text[end - 1])))
            --end;
        const std::string_view quote = quoteEndingAt(end);
        quoted = !quote.empty();
        if (quoted) {
            const std::size_t nameEnd = end - quote.size();
            const std::size_t lowest = nameEnd > MaxNameLength ? nameEnd - MaxNameLength : 0;
            for (std::size_t begin = nameEnd; begin-- > lowest;)
                if (sameAt(begin, quote))
                    return begin + quote.size() < nameEnd && isSecretName(begin + quote.size(), nameEnd);
            // No opening quote (a text cut in front of the name): the name
            // characters before the closing one stand for the name.
            end = nameEnd;
        }
        std::size_t begin = end;
        while (begin > 0 && end - begin < MaxNameLength && isNameChar(ascii(m_text[begin - 1])))
            --begin;
        return begin < end && isSecretName(begin, end);
    }

    // A secret's value after the '=' or ':' at `at`: the mask replaces
    // [kept, next). A bare name before ':' needs a quoted value ("key: v"
    // is too common in plain words to be taken for one).
    bool secretValue(std::size_t at, std::size_t& kept, std::size_t& next) const {
        const bool colon = charAt(at) == ':';
        bool quotedName = false;
        if (!secretName(at, quotedName)) return false;
        std::size_t value = at + 1;
        while (value < m_text.size() && isSpace(charAt(value)))
            ++value;
        const std::string_view quote = quoteAt(value);
        if (quote.empty()) {
            if (colon && !quotedName) return false;
            std::size_t end = value;
            while (end < m_text.size() && !isOneOf(charAt(end), colon ? EndsAfterColon : EndsAfterEquals))
                ++end;
            if (end == value) return false;
            kept = value;
            next = end;
            return true;
        }
        kept = value + quote.size();
        next = kept;
        // JSON escapes a quote inside its strings with a backslash.
        const bool escapes = colon && quote == "\"";
        while (next < m_text.size() && !sameAt(next, quote))
            next += escapes && charAt(next) == '\\' ? 2 : 1;
        next = std::min(next, m_text.size());
        return true;
    }

    // The user and password of the URL whose "://" is at `at`: the mask
    // replaces [kept, next), the whole "user:password" before the '@' (a
    // user name tells whose account it is, as much a secret as its
    // password).
    bool urlPassword(std::size_t at, std::size_t& kept, std::size_t& next) const {
        const std::size_t authority = at + 3;
        std::size_t end = authority;
        while (end < m_text.size() && !isOneOf(charAt(end), AuthorityEnds))
            ++end;
        std::size_t sign = end;
        while (sign > authority && charAt(sign - 1) != '@')
            --sign;
        if (sign <= authority + 1) return false;
        kept = authority;
        next = sign - 1;
        return true;
    }

    View m_text;
};

template <class Char> std::basic_string<Char> joinLines(std::basic_string_view<Char> text) {
    const auto isBreak = [](Char c) { return c == Char('\r') || c == Char('\n'); };
    std::basic_string<Char> out;
    out.reserve(text.size());
    bool broken = false;
    for (const Char c : text) {
        if (isBreak(c)) {
            broken = !out.empty();
            continue;
        }
        if (broken)
            for (const char s : std::string_view(" / "))
                out.push_back(static_cast<Char>(s));
        broken = false;
        out.push_back(c);
    }
    return out;
}

} // namespace

std::string linesJoined(std::string_view text) {
    return joinLines(text);
}

std::u16string linesJoined(std::u16string_view text) {
    return joinLines(text);
}

std::string withSecretsHidden(std::string_view text) {
    return Masker<char>(text).run();
}

std::u16string withSecretsHidden(std::u16string_view text) {
    return Masker<char16_t>(text).run();
}

std::string urlWithSecretsHidden(std::string_view url) {
    return withSecretsHidden(url);
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
        if (out.size() + piece.size() > limit) break;
        out += piece;
    }
    if (used < shown.size())
        out += Core::format("... (%u more bytes)", static_cast<unsigned>(shown.size() - used));
    return Core::utf8ToWide(out);
}

} // namespace Log
