#include "core/LoggedText.h"

#include "core/Format.h"
#include "core/Text.h"

namespace Log {

std::string withSecretsHidden(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t next = std::string_view::npos;
        std::size_t nameLength = 0;
        for (std::string_view name : {std::string_view("password=\""), std::string_view("token=\"")}) {
            const std::size_t found = text.find(name, at);
            if (found < next) {
                next = found;
                nameLength = name.size();
            }
        }
        if (next == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        const std::size_t value = next + nameLength;
        out.append(text.substr(at, value - at));
        out.append(SecretMask);
        const std::size_t close = text.find('"', value);
        at = close == std::string_view::npos ? text.size() : close;
    }
    return out;
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
