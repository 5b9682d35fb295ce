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
        } else if (rest.starts_with("<!")) {
            i += 2; // a declaration: the parser does not descend into it
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

} // namespace Core
