#pragma once
// Parsers of the small values written in a design: colours, text colours,
// text effects, alignments and anchor codes. Pure functions; none throws.

#include "ui/TxtRenderer.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Ui {

// "#RRGGBB", "0xRRGGBB" or "RRGGBB" (blanks before the digits allowed) to
// 0x00BBGGRR; nothing when there is no digit or the value exceeds 0xFFFFFF.
std::optional<std::uint32_t> parseColor(std::string_view text);
// Hexadecimal after an optional "0x"/"0X"; nothing without a digit.
std::optional<std::uint32_t> parseHex(std::string_view text);

// One colour for day and night, or "day/night"; both must parse. The
// colours get 0xFF000000 added (a set text colour).
std::optional<ColourPair> parseTextColor(std::string_view text);

struct TextEffect {
    // Render::Font::Halo, Shadow or Plain; 0 when the keyword is unknown.
    std::int32_t kind = 0;
    // Set only when the colours parse.
    std::optional<ColourPair> colours;
};
// "halo:", "solid:" or "shadow:" followed by a text colour.
TextEffect parseTextEffect(std::string_view text);

// "left"/"center"/"right" and "top"/"center"/"bottom" to 0, 1, 2 (matched
// on the keyword's length, so "centered" is centre); nothing otherwise.
std::optional<int> parseHorzAlign(std::string_view text);
std::optional<int> parseVertAlign(std::string_view text);

struct AnchorKinds {
    int horizontal = 0;
    int vertical = 0;
};
// Two letters: vertical (t m b d) then horizontal (l c r d) as 0 1 2 3;
// other letters give 0, other lengths (0, 0).
AnchorKinds parseAnchorCode(std::string_view text);

} // namespace Ui
