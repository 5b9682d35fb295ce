#pragma once
// The value syntax shared by render.xml and the style files: colours written
// RRGGBB in hexadecimal and stored 0x00BBGGRR, day/night pairs joined by ';',
// hexadecimal type ids and decimal numbers. These are per-value parsers:
// they never throw and never allocate.

#include <cstdint>
#include <string_view>

namespace Render {

// An optional "#", "0x" or "0X", then blanks (spaces), then hexadecimal digits
// up to the first other character (the rest is ignored). False when no digit
// was read or the value exceeds 0xFFFFFF; else colour is 0x00BBGGRR (the text
// "#FF8000" gives 0x000080FF). colour is left alone on failure.
bool parseColor(std::string_view text, std::uint32_t& colour);

// One colour for both sides, or "day;night" split at the first ';' where an
// empty side keeps its old value. False, with both outputs unchanged, when a
// present side is invalid.
bool parseDayNightColor(std::string_view text, std::uint32_t& day, std::uint32_t& night);

// A hexadecimal id: optional "0x"/"0X", blanks, digits. Values too large for
// 32 bits saturate at 0xFFFFFFFF, so they fail every range check rather
// than wrapping to a small id. False when no digit was read.
bool parseHexId(std::string_view text, std::uint32_t& id);

// A decimal number read like strtol with base 10 (leading white space, an
// optional sign, digits, anything after them ignored; no digits gives 0),
// clamped to the i32 range.
std::int32_t parseDecimal(std::string_view text);

} // namespace Render
