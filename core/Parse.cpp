#include "core/Parse.h"

#include <limits>

namespace Core {
namespace {

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && *p == ' ')
        ++p;
    return p;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseUnsigned(const char* begin, const char* end, std::uint32_t& out) {
    out = 0;
    if (begin == nullptr || begin >= end)
        return false;
    const char* p = skipBlanks(begin, end);
    std::uint32_t value = 0;
    bool digits = false;
    for (; p < end && isDigit(*p); ++p) {
        value = value * 10u + static_cast<std::uint32_t>(*p - '0');
        digits = true;
    }
    out = value;
    return digits;
}

bool parseInt(const char* begin, const char* end, std::int32_t& out) {
    out = 0;
    if (begin == nullptr || begin >= end)
        return false;
    bool negative = false;
    if (*begin == '-') {
        negative = true;
        ++begin;
    } else if (*begin == '+') {
        ++begin;
    }
    std::uint32_t magnitude = 0;
    const bool ok = parseUnsigned(begin, end, magnitude);
    // Negation in unsigned arithmetic, so "-2147483648" and wrapped values
    // stay defined.
    out = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
    return ok;
}

bool parseHex(const char* begin, const char* end, std::uint32_t& out) {
    out = 0;
    if (begin == nullptr || begin >= end)
        return false;
    const char* p = skipBlanks(begin, end);
    std::uint32_t value = 0;
    bool digits = false;
    for (int d; p < end && (d = hexDigit(*p)) >= 0; ++p) {
        value = value * 16u + static_cast<std::uint32_t>(d);
        digits = true;
    }
    out = value;
    return digits;
}

bool parseFloat(const char* begin, const char* end, float& out) {
    out = 0;
    if (begin == nullptr || begin >= end)
        return false;
    const char* p = skipBlanks(begin, end);
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    bool digits = false;
    double whole = 0;
    for (; p < end && isDigit(*p); ++p) {
        whole = whole * 10 + (*p - '0');
        digits = true;
    }
    double fraction = 0;
    double divisor = 1;
    if (p < end && *p == '.') {
        ++p;
        // Digits past the twentieth cannot change a 32-bit result; leaving
        // them out keeps a very long fraction from becoming inf / inf.
        int taken = 0;
        for (; p < end && isDigit(*p); ++p) {
            if (taken < 20) {
                fraction = fraction * 10 + (*p - '0');
                divisor *= 10;
                ++taken;
            }
            digits = true;
        }
    }
    double value = whole + fraction / divisor;
    // Out of the float range the result is infinite (a plain conversion
    // would be undefined).
    if (value > std::numeric_limits<float>::max())
        value = std::numeric_limits<double>::infinity();
    out = static_cast<float>(negative ? -value : value);
    return digits;
}

} // namespace Core
