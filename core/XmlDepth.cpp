#include "core/XmlDepth.h"

namespace Core {

bool xmlDepthWithin(std::string_view text, int maxDepth) {
    int depth = 0;
    const std::size_t n = text.size();
    auto skipPast = [&](std::size_t from, std::string_view end) {
        const std::size_t e = text.find(end, from);
        return e == std::string_view::npos ? n : e + end.size();
    };
    std::size_t i = 0;
    while (i < n) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            i = skipPast(i + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i = skipPast(i + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            i = skipPast(i + 2, "?>");
        } else if (rest.starts_with("<!DOCTYPE") && rest.size() > 9 &&
                   (rest[9] == ' ' || rest[9] == '\t' || rest[9] == '\r' || rest[9] == '\n')) {
            // The parser skips a doctype to its ">", passing over a bracketed
            // internal subset whatever it holds: a "</" in there closes
            // nothing, so it must not count as a closing here either.
            std::size_t j = i + 9;
            for (int brackets = 0; j < n; ++j) {
                if (text[j] == '[')
                    ++brackets;
                else if (text[j] == ']' && brackets > 0)
                    --brackets;
                else if (text[j] == '>' && brackets == 0)
                    break;
            }
            i = j < n ? j + 1 : n;
        } else if (rest.starts_with("<!")) {
            // Any other declaration is skipped to its ">".
            i = skipPast(i + 2, ">");
        } else if (rest.starts_with("</")) {
            if (depth > 0)
                --depth;
            i = skipPast(i + 2, ">");
        } else {
            // A start tag: find its ">" outside quoted attribute values; one
            // ending in "/>" opens nothing.
            std::size_t j = i + 1;
            char quote = 0;
            for (; j < n; ++j) {
                const char c = text[j];
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= n)
                return true; // unterminated: the parser stops there
            if (text[j - 1] != '/' && ++depth > maxDepth)
                return false;
            i = j + 1;
        }
    }
    return true;
}

bool beginsAsXml(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '<';
}

} // namespace Core
