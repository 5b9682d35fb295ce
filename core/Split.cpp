#include "core/Split.h"

namespace Core {
namespace {

template <class Ch> std::vector<std::basic_string<Ch>> split(std::basic_string_view<Ch> text, Ch separator) {
    std::vector<std::basic_string<Ch>> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::basic_string_view<Ch>::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

} // namespace

std::vector<std::string> splitNarrow(std::string_view text) { return split<char>(text, ';'); }

std::vector<std::u16string> splitWide(std::u16string_view text, char16_t separator) {
    return split<char16_t>(text, separator);
}

} // namespace Core
