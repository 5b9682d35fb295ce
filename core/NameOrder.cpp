#include "core/NameOrder.h"

#include "core/Text.h"

#include <algorithm>

namespace Core {

bool iless(std::u16string_view a, std::u16string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t x = toUpper(a[i]);
        const std::uint16_t y = toUpper(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

} // namespace Core
