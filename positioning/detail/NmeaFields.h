#pragma once
// Field readers of the sentence parsers. Each takes the current position and
// the end of the sentence body and returns where the next field starts (just
// past the separator, or `end`).

#include "positioning/NmeaParsers.h"

namespace Positioning::detail {

using FieldBuffer = char[16];

// Copies at most 15 characters of the field (up to ',', '*' or the end) and
// NUL-terminates the copy; longer fields are cut, not overrun.
const char* readField(const char* p, const char* end, FieldBuffer& out);
// The field up to the next ',' as an integer or a number with an optional
// fraction; an empty or unreadable field gives 0.
const char* parseCsvInt(const char* p, const char* end, std::int32_t& out);
const char* parseCsvDouble(const char* p, const char* end, double& out);
// hhmmss[.f...]: fewer than 6 characters give 00:00:00.0.
const char* readTime(const char* p, const char* end, NmeaTime& out);
// ddmmyy: fewer than 6 characters give a zero date; yy below 80 is 20yy.
const char* readDate(const char* p, const char* end, NmeaDate& out);
// Two fields each: ddmm.mmmm (dddmm.mmmm) and the hemisphere letter.
const char* readLatitude(const char* p, const char* end, float& out);
const char* readLongitude(const char* p, const char* end, float& out);

// Range parsers: optional sign and digits (and for the float an optional
// point and fraction, no exponent, after leading blanks); false when no
// digit was read.
bool parseInt(const char* begin, const char* end, std::int32_t& out);
bool parseFloat(const char* begin, const char* end, double& out);

} // namespace Positioning::detail
