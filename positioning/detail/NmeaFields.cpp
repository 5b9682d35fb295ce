#include "positioning/detail/NmeaFields.h"

#include <array>
#include <cstring>
#include <limits>

namespace Positioning::detail {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two characters as a decimal number; receivers send digits here, anything
// else still gives a bounded value.
int twoDigits(const char* s) {
    return (s[0] - '0') * 10 + (s[1] - '0');
}

const char* nextField(const char* p, const char* end, char separatorA, char separatorB) {
    while (p < end && *p != separatorA && *p != separatorB)
        ++p;
    return p < end ? p + 1 : end;
}

const char* fieldEnd(const char* p, const char* end) {
    while (p < end && *p != ',')
        ++p;
    return p;
}

constexpr float DegreesPerMinute = 0.016666668f;

const char* readCoordinate(const char* p, const char* end, std::size_t degreeDigits, char negative,
                           float& out, const char** hemisphereStart) {
    const FieldView value = viewField(p, end);
    if (hemisphereStart != nullptr) *hemisphereStart = value.next;
    const FieldView hemisphere = viewField(value.next, end);
    out = 0;
    if (value.length < degreeDigits) return hemisphere.next;
    int degrees = 0;
    for (std::size_t i = 0; i < degreeDigits; ++i)
        degrees = degrees * 10 + (value.text[i] - '0');
    double minutes = 0;
    parseFloat(value.text + degreeDigits, value.text + value.length, minutes);
    out = static_cast<float>(degrees) + static_cast<float>(minutes) * DegreesPerMinute;
    if (hemisphere.length > 0 && hemisphere.text[0] == negative) out = -out;
    return hemisphere.next;
}

// What ends a field's text as readField copies it: 1 the separators, 2 a
// NUL (the copy's text stops there; the field goes on to its separator).
constexpr std::array<std::uint8_t, 256> StopKinds = [] {
    std::array<std::uint8_t, 256> kinds{};
    kinds[static_cast<unsigned char>(',')] = 1;
    kinds[static_cast<unsigned char>('*')] = 1;
    kinds[0] = 2;
    return kinds;
}();

} // namespace

bool parseInt(const char* begin, const char* end, std::int32_t& out) {
    const char* p = begin;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::int64_t value = 0;
    bool any = false;
    for (; p < end && isDigit(*p); ++p) {
        any = true;
        if (value < 0x7FFFFFFF) value = value * 10 + (*p - '0');
    }
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
    out = static_cast<std::int32_t>(negative ? -value : value);
    return any;
}

bool parseFloat(const char* begin, const char* end, double& out) {
    return scanFloat(begin, end, out) != nullptr;
}

const char* scanFloat(const char* begin, const char* end, double& out) {
    const char* p = begin;
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    // Digits collect in an integer and are scaled once, so "3747.0873" is
    // the nearest double to its decimal value. The first 18 digits always
    // fit (the integer is below 10^17 before each of them), so only those
    // past them are checked one by one.
    constexpr std::ptrdiff_t Sure = 18;
    std::uint64_t mantissa = 0;
    int scale = 0;
    int ignoredWhole = 0;
    const char* const whole = p;
    const char* quick = end - p > Sure ? p + Sure : end;
    for (; p < quick; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9) break;
        mantissa = mantissa * 10 + digit;
    }
    if (p == quick) {
        for (; p < end && isDigit(*p); ++p) {
            if (mantissa < 100000000000000000ULL)
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            else
                ++ignoredWhole;
        }
    }
    const std::ptrdiff_t wholeDigits = p - whole;
    bool any = wholeDigits > 0;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        bool checked = true;
        if (wholeDigits < Sure) {
            quick = end - p > Sure - wholeDigits ? p + (Sure - wholeDigits) : end;
            for (; p < quick; ++p) {
                const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
                if (digit > 9) break;
                mantissa = mantissa * 10 + digit;
            }
            scale = static_cast<int>(p - fraction);
            checked = p == quick;
        }
        if (checked) {
            for (; p < end && isDigit(*p); ++p) {
                // Digits past the 18th decimal or the mantissa's reach change
                // nothing a float can hold.
                if (mantissa < 100000000000000000ULL && scale < 18) {
                    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                    ++scale;
                }
            }
        }
        any = any || p > fraction;
    }
    double value = static_cast<double>(mantissa);
    for (; ignoredWhole > 0 && value <= std::numeric_limits<float>::max(); --ignoredWhole)
        value *= 10;
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                        1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    value /= powers[scale];
    // A run of digits too long for a float is damage, not a value: callers
    // store single precision, and infinity would poison every sum after it.
    if (!any || !(value <= std::numeric_limits<float>::max())) {
        out = 0;
        return nullptr;
    }
    out = negative ? -value : value;
    return p;
}

const char* readField(const char* p, const char* end, FieldBuffer& out) {
    std::size_t n = 0;
    while (p < end && *p != ',' && *p != '*') {
        if (n < sizeof(out) - 1) out[n++] = *p;
        ++p;
    }
    out[n] = '\0';
    return nextField(p, end, ',', '*');
}

const char* parseCsvDouble(const char* p, const char* end, double& out) {
    const char* stop = scanFloat(p, end, out);
    const char* fe = fieldEnd(stop ? stop : p, end);
    return fe < end ? fe + 1 : end;
}

FieldView viewField(const char* p, const char* end) {
    const char* q = p;
    while (q < end && StopKinds[static_cast<unsigned char>(*q)] == 0)
        ++q;
    std::size_t length = static_cast<std::size_t>(q - p);
    if (q < end && *q == '\0') { // the text ends here; the field goes on
        while (q < end && *q != ',' && *q != '*')
            ++q;
    }
    if (length > sizeof(FieldBuffer) - 1) length = sizeof(FieldBuffer) - 1;
    return {p, length, q < end ? q + 1 : end};
}

const char* readTime(const char* p, const char* end, NmeaTime& out) {
    const FieldView field = viewField(p, end);
    out = NmeaTime{};
    if (field.length < 6) return field.next;
    out.hour = static_cast<std::uint8_t>(twoDigits(field.text));
    out.minute = static_cast<std::uint8_t>(twoDigits(field.text + 2));
    out.second = static_cast<std::uint8_t>(twoDigits(field.text + 4));
    if (field.length >= 8) {
        // The fraction's leading digits as a whole number, as many of them
        // as 16 bits hold, with their count: "100000.500000" reads as 50000
        // in five digits, half a second, whatever the number of digits.
        std::uint32_t fraction = 0;
        std::uint8_t digits = 0;
        for (const char* p = field.text + 7; p < field.text + field.length && isDigit(*p); ++p, ++digits) {
            const std::uint32_t more = fraction * 10 + static_cast<std::uint32_t>(*p - '0');
            if (more > 0xFFFF) break;
            fraction = more;
        }
        out.fraction = static_cast<std::uint16_t>(fraction);
        out.fractionDigits = digits;
    }
    return field.next;
}

const char* readDate(const char* p, const char* end, NmeaDate& out) {
    const FieldView field = viewField(p, end);
    out = NmeaDate{};
    if (field.length < 6) return field.next;
    out.day = static_cast<std::uint8_t>(twoDigits(field.text));
    out.month = static_cast<std::uint8_t>(twoDigits(field.text + 2));
    const int yy = twoDigits(field.text + 4);
    out.year = static_cast<std::uint16_t>(yy < 80 ? 2000 + yy : 1900 + yy);
    return field.next;
}

bool wellFormedNumber(std::string_view field) {
    const char* p = field.data();
    const char* const end = p + field.size();
    if (p < end && (*p == '-' || *p == '+')) ++p;
    bool digit = false;
    bool point = false;
    for (; p < end; ++p) {
        if (isDigit(*p)) {
            digit = true;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

namespace {

bool allDigits(const char* p, std::size_t n) {
    for (const char* end = p + n; p < end; ++p)
        if (!isDigit(*p)) return false;
    return true;
}

// Nothing, or a point followed by at least one digit.
bool fractionOrNothing(const char* p, std::size_t n) {
    return n == 0 || (n >= 2 && p[0] == '.' && allDigits(p + 1, n - 1));
}

} // namespace

bool wellFormedTime(std::string_view field) {
    if (field.size() < 6 || !allDigits(field.data(), 6) ||
        !fractionOrNothing(field.data() + 6, field.size() - 6))
        return false;
    return twoDigits(field.data()) < 24 && twoDigits(field.data() + 2) < 60 && twoDigits(field.data() + 4) <= 60;
}

bool wellFormedCoordinate(std::string_view value, std::string_view hemisphere, std::size_t degreeDigits,
                          char positive, char negative) {
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return false;
    const std::size_t whole = degreeDigits + 2;
    const std::size_t size = value.size();
    if (size < whole) return false;
    // One pass: the degrees, the minutes, then the fraction's digits, noting
    // whether any of them is not zero (at the limit only zero minutes are left).
    const char* const s = value.data();
    int degrees = 0;
    for (std::size_t i = 0; i < degreeDigits; ++i) {
        const unsigned digit = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
        if (digit > 9) return false;
        degrees = degrees * 10 + static_cast<int>(digit);
    }
    const unsigned tens = static_cast<unsigned char>(s[degreeDigits]) - static_cast<unsigned>('0');
    const unsigned ones = static_cast<unsigned char>(s[degreeDigits + 1]) - static_cast<unsigned>('0');
    if (tens > 9 || ones > 9) return false;
    bool fractionNotZero = false;
    if (size > whole) {
        if (s[whole] != '.' || size == whole + 1) return false;
        for (std::size_t i = whole + 1; i < size; ++i) {
            const unsigned digit = static_cast<unsigned char>(s[i]) - static_cast<unsigned>('0');
            if (digit > 9) return false;
            fractionNotZero = fractionNotZero || digit != 0;
        }
    }
    const unsigned minutes = tens * 10 + ones;
    const int limit = degreeDigits == 2 ? 90 : 180;
    if (minutes >= 60 || degrees > limit) return false;
    return degrees < limit || (minutes == 0 && !fractionNotZero);
}

const char* readLatitude(const char* p, const char* end, float& out, const char** hemisphere) {
    return readCoordinate(p, end, 2, 'S', out, hemisphere);
}

const char* readLongitude(const char* p, const char* end, float& out, const char** hemisphere) {
    return readCoordinate(p, end, 3, 'W', out, hemisphere);
}

} // namespace Positioning::detail
