#include "core/XmlEscape.h"

#include "core/Text.h"

namespace Core {

std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out.push_back(c); break;
        }
    }
    return out;
}

std::string xmlEscapeWide(std::u16string_view text) { return xmlEscape(wideToUtf8(text)); }

} // namespace Core
