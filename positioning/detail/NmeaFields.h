#pragma once
// Field readers of the sentence parsers. Each takes the current position and
// the end of the sentence body and returns where the next field starts (just
// past the separator, or `end`).

#include "positioning/NmeaParsers.h"

#include <cstddef>
#include <string_view>

namespace Positioning::detail {

using FieldBuffer = char[16];

// Copies at most 15 characters of the field (up to ',', '*' or the end) and
// NUL-terminates the copy; longer fields are cut, not overrun.
const char* readField(const char* p, const char* end, FieldBuffer& out);
// The same field where it lies, without the copy: `length` characters from
// `text` are what readField copies up to its NUL, `next` what it returns.
struct FieldView {
    const char* text;
    std::size_t length;
    const char* next;
};
FieldView viewField(const char* p, const char* end);
// The field up to the next ',' as an integer or a number with an optional
// fraction; an empty or unreadable field gives 0.
const char* parseCsvDouble(const char* p, const char* end, double& out);
// hhmmss[.f...]: fewer than 6 characters give 00:00:00.0.
const char* readTime(const char* p, const char* end, NmeaTime& out);
// ddmmyy: fewer than 6 characters give a zero date; yy below 80 is 20yy.
const char* readDate(const char* p, const char* end, NmeaDate& out);
// Two fields each: ddmm.mmmm (dddmm.mmmm) and the hemisphere letter;
// `hemisphere`, when given, is set to where the letter's field starts.
const char* readLatitude(const char* p, const char* end, float& out, const char** hemisphere = nullptr);
const char* readLongitude(const char* p, const char* end, float& out, const char** hemisphere = nullptr);

// Range parsers: optional sign and digits (and for the float an optional
// point and fraction, no exponent, after leading blanks); false when no
// digit was read.
bool parseInt(const char* begin, const char* end, std::int32_t& out);
bool parseFloat(const char* begin, const char* end, double& out);
// parseFloat that says where the number ended: null when it was unreadable.
const char* scanFloat(const char* begin, const char* end, double& out);

// Strict checks of whole raw fields, for sentences that claim a fix.
// A number: an optional sign, digits with at most one decimal point, at
// least one digit, nothing else.
bool wellFormedNumber(std::string_view field);
// hhmmss with an optional fraction (".f..."), hours below 24, minutes
// below 60, seconds up to 60 (a leap second).
bool wellFormedTime(std::string_view field);
// degreeDigits digits of degrees, two of minutes, an optional fraction;
// minutes below 60, at most 90 (latitude, 2 digits) or 180 (longitude)
// degrees in all; the hemisphere exactly one of the two letters.
bool wellFormedCoordinate(std::string_view value, std::string_view hemisphere, std::size_t degreeDigits,
                          char positive, char negative);

// In line: a GSV sentence is mostly short integers, and the call cost as
// much as reading them. One pass: the digits end at the separator or before
// it, and the rest of the field is skipped from there.
inline const char* parseCsvInt(const char* p, const char* end, std::int32_t& out) {
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    const char* const first = p;
    std::int64_t value = 0;
    for (; p < end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9) break;
        if (value < 0x7FFFFFFF) value = value * 10 + digit;
    }
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
    out = p > first ? static_cast<std::int32_t>(negative ? -value : value) : 0;
    while (p < end && *p != ',')
        ++p;
    return p < end ? p + 1 : end;
}

} // namespace Positioning::detail
