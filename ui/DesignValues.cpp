#include "ui/DesignValues.h"

#include "core/Parse.h"

namespace Ui {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view skipHexPrefix(std::string_view text) {
    if (startsWith(text, "0x") || startsWith(text, "0X"))
        text.remove_prefix(2);
    return text;
}

// More than six significant digits exceeds a colour, however the 32-bit
// reading would wrap.
bool tooManyDigits(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    int digits = 0;
    for (; i < text.size() && Core::hexDigit(text[i]) >= 0; ++i)
        ++digits;
    return digits > 6;
}

} // namespace

std::optional<std::uint32_t> parseHex(std::string_view text) {
    text = skipHexPrefix(text);
    std::uint32_t value = 0;
    if (!Core::parseHex(text, value))
        return std::nullopt;
    return value;
}

std::optional<std::uint32_t> parseColor(std::string_view text) {
    if (startsWith(text, "#"))
        text.remove_prefix(1);
    else
        text = skipHexPrefix(text);
    std::uint32_t v = 0;
    if (!Core::parseHex(text, v) || tooManyDigits(text) || v > 0xFFFFFFu)
        return std::nullopt;
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

std::optional<ColourPair> parseTextColor(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto day = parseColor(text.substr(0, slash));
    const auto night = slash == std::string_view::npos ? day : parseColor(text.substr(slash + 1));
    if (!day || !night)
        return std::nullopt;
    return ColourPair{*day | 0xFF000000u, *night | 0xFF000000u};
}

TextEffect parseTextEffect(std::string_view text) {
    TextEffect effect;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return effect;
    const std::string_view keyword = text.substr(0, colon);
    if (startsWith(keyword, "halo"))
        effect.kind = 1;
    else if (startsWith(keyword, "solid"))
        effect.kind = 4;
    else if (startsWith(keyword, "shadow"))
        effect.kind = 2;
    else
        return effect;
    effect.colours = parseTextColor(text.substr(colon + 1));
    return effect;
}

std::optional<int> parseHorzAlign(std::string_view text) {
    if (startsWith(text, "left"))
        return 0;
    if (startsWith(text, "center"))
        return 1;
    if (startsWith(text, "right"))
        return 2;
    return std::nullopt;
}

std::optional<int> parseVertAlign(std::string_view text) {
    if (startsWith(text, "top"))
        return 0;
    if (startsWith(text, "center"))
        return 1;
    if (startsWith(text, "bottom"))
        return 2;
    return std::nullopt;
}

AnchorKinds parseAnchorCode(std::string_view text) {
    if (text.size() != 2)
        return {};
    auto kind = [](char c, const char* letters) {
        for (int i = 0; i < 4; ++i)
            if (c == letters[i])
                return i;
        return 0;
    };
    return {kind(text[1], "lcrd"), kind(text[0], "tmbd")};
}

} // namespace Ui
