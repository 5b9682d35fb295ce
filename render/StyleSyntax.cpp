#include "render/StyleSyntax.h"

#include "core/Parse.h"

#include <limits>

namespace Render {

namespace {

std::string_view skipHexPrefix(std::string_view text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    return text;
}

// Blanks, then digits; the value saturates at limit + 1 so that an overlong
// number reads as "too large" however many digits follow.
bool readHex(std::string_view text, std::uint64_t limit, std::uint64_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool digits = false;
    value = 0;
    for (; i < text.size(); ++i) {
        const int d = Core::hexDigit(text[i]);
        if (d < 0)
            break;
        digits = true;
        if (value <= limit)
            value = value * 16 + std::uint64_t(d);
    }
    if (value > limit)
        value = limit + 1;
    return digits;
}

} // namespace

bool parseColor(std::string_view text, std::uint32_t& colour) {
    if (!text.empty() && text[0] == '#')
        text.remove_prefix(1);
    else
        text = skipHexPrefix(text);
    std::uint64_t value = 0;
    if (!readHex(text, 0xFFFFFF, value) || value > 0xFFFFFF)
        return false;
    const auto rgb = std::uint32_t(value);
    colour = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    return true;
}

bool parseDayNightColor(std::string_view text, std::uint32_t& day, std::uint32_t& night) {
    const std::size_t split = text.find(';');
    if (split == std::string_view::npos) {
        std::uint32_t both = 0;
        if (!parseColor(text, both))
            return false;
        day = night = both;
        return true;
    }
    const std::string_view dayText = text.substr(0, split);
    const std::string_view nightText = text.substr(split + 1);
    std::uint32_t d = day, n = night;
    if (!dayText.empty() && !parseColor(dayText, d))
        return false;
    if (!nightText.empty() && !parseColor(nightText, n))
        return false;
    day = d;
    night = n;
    return true;
}

bool parseHexId(std::string_view text, std::uint32_t& id) {
    std::uint64_t value = 0;
    if (!readHex(skipHexPrefix(text), 0xFFFFFFFEu, value))
        return false;
    id = std::uint32_t(value);
    return true;
}

std::int32_t parseDecimal(std::string_view text) {
    std::size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value <= limit)
            value = value * 10 + (text[i] - '0');
    if (negative)
        return value >= limit ? std::numeric_limits<std::int32_t>::min() : std::int32_t(-value);
    return value >= limit ? std::numeric_limits<std::int32_t>::max() : std::int32_t(value);
}

} // namespace Render
