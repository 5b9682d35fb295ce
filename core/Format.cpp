#include "core/Format.h"

#include "core/Text.h"

#include <charconv>
#include <cmath>

namespace Core::detail {
namespace {

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
    char conv = 0;
};

template <class Ch> int readNumber(std::basic_string_view<Ch> f, size_t& pos) {
    int v = 0;
    while (pos < f.size() && f[pos] >= '0' && f[pos] <= '9') {
        if (v < 100000)
            v = v * 10 + static_cast<int>(f[pos] - '0');
        ++pos;
    }
    return v;
}

std::int64_t asSigned(const FormatArg& a) {
    switch (a.kind) {
    case FormatArg::Kind::Signed:
        return a.i;
    case FormatArg::Kind::Unsigned:
        return static_cast<std::int64_t>(a.u);
    case FormatArg::Kind::Float:
        if (std::isnan(a.d))
            return 0;
        if (a.d >= 9.2e18)
            return INT64_MAX;
        if (a.d <= -9.2e18)
            return INT64_MIN;
        return static_cast<std::int64_t>(a.d);
    case FormatArg::Kind::Pointer:
        return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(a.p));
    default:
        return 0;
    }
}

// The unsigned view of an integer keeps the width of its C type, so that
// "%x" of an int -1 is "ffffffff" as the program's formats expect.
std::uint64_t asUnsigned(const FormatArg& a) {
    std::uint64_t v = static_cast<std::uint64_t>(asSigned(a));
    if (a.kind == FormatArg::Kind::Unsigned)
        v = a.u;
    if ((a.kind == FormatArg::Kind::Signed || a.kind == FormatArg::Kind::Unsigned) && a.bytes < 8)
        v &= (std::uint64_t{1} << (a.bytes * 8)) - 1;
    return v;
}

double asDouble(const FormatArg& a) {
    switch (a.kind) {
    case FormatArg::Kind::Float:
        return a.d;
    case FormatArg::Kind::Signed:
        return static_cast<double>(a.i);
    case FormatArg::Kind::Unsigned:
        return static_cast<double>(a.u);
    default:
        return 0.0;
    }
}

// Pads an already converted body (ASCII digits and signs) to the width.
void pad(std::string& out, const Spec& s, std::string_view prefix, std::string_view digits, bool numeric) {
    const size_t len = prefix.size() + digits.size();
    const size_t width = s.width > 0 ? static_cast<size_t>(s.width) : 0;
    if (len >= width) {
        out.append(prefix);
        out.append(digits);
    } else if (s.left) {
        out.append(prefix);
        out.append(digits);
        out.append(width - len, ' ');
    } else if (s.zero && numeric) {
        out.append(prefix);
        out.append(width - len, '0');
        out.append(digits);
    } else {
        out.append(width - len, ' ');
        out.append(prefix);
        out.append(digits);
    }
}

void formatInteger(std::string& out, const Spec& s, const FormatArg& a) {
    char buf[72];
    // Views of literals: GCC 12 at -O3 misreads assignments of short
    // literals to a std::string as overlapping copies (-Werror=restrict).
    std::string_view prefix;
    std::string_view digits;
    const char c = s.conv;
    if (c == 'd' || c == 'i') {
        std::int64_t v = asSigned(a);
        if (a.kind == FormatArg::Kind::Unsigned && a.bytes >= 8 && a.u > static_cast<std::uint64_t>(INT64_MAX)) {
            auto r = std::to_chars(buf, buf + sizeof buf, a.u);
            digits = std::string_view(buf, static_cast<size_t>(r.ptr - buf));
        } else {
            std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            auto r = std::to_chars(buf, buf + sizeof buf, mag);
            digits = std::string_view(buf, static_cast<size_t>(r.ptr - buf));
            if (v < 0)
                prefix = "-";
        }
        if (prefix.empty() && s.plus)
            prefix = "+";
        else if (prefix.empty() && s.space)
            prefix = " ";
    } else {
        const std::uint64_t v = asUnsigned(a);
        int base = 10;
        if (c == 'x' || c == 'X' || c == 'p')
            base = 16;
        else if (c == 'o')
            base = 8;
        auto r = std::to_chars(buf, buf + sizeof buf, v, base);
        if (c == 'X' || c == 'p')
            for (char* q = buf; q < r.ptr; ++q)
                if (*q >= 'a' && *q <= 'f')
                    *q = static_cast<char>(*q - 'a' + 'A');
        digits = std::string_view(buf, static_cast<size_t>(r.ptr - buf));
        if (s.alt && v != 0) {
            if (c == 'x')
                prefix = "0x";
            else if (c == 'X')
                prefix = "0X";
            else if (c == 'o')
                prefix = "0";
        }
    }
    std::string body;
    if (s.precision >= 0) {
        if (s.precision == 0 && digits == "0")
            digits = {};
        if (digits.size() < static_cast<size_t>(s.precision))
            body.assign(static_cast<size_t>(s.precision) - digits.size(), '0');
    }
    body.append(digits);
    Spec ps = s;
    if (s.precision >= 0)
        ps.zero = false; // C: a precision disables the 0 flag for integers
    pad(out, ps, prefix, body, true);
}

void formatFloat(std::string& out, const Spec& s, double v) {
    std::string_view prefix;
    if (std::signbit(v) && !std::isnan(v)) {
        prefix = "-";
        v = -v;
    } else if (s.plus) {
        prefix = "+";
    } else if (s.space) {
        prefix = " ";
    }
    const bool upper = s.conv == 'F' || s.conv == 'E' || s.conv == 'G';
    if (std::isnan(v) || std::isinf(v)) {
        std::string t = std::isnan(v) ? "nan" : "inf";
        if (upper)
            t = std::isnan(v) ? "NAN" : "INF";
        Spec ps = s;
        ps.zero = false;
        pad(out, ps, prefix, t, false);
        return;
    }
    const int precision = s.precision < 0 ? 6 : s.precision;
    char buf[400];
    std::to_chars_result r{};
    switch (s.conv) {
    case 'e':
    case 'E':
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision);
        break;
    case 'g':
    case 'G':
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision == 0 ? 1 : precision);
        break;
    default:
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
        break;
    }
    if (r.ec != std::errc()) {
        pad(out, s, prefix, "?", false);
        return;
    }
    std::string body(buf, r.ptr);
    if (s.alt && body.find('.') == std::string::npos && (s.conv == 'f' || s.conv == 'F'))
        body += '.';
    if (upper)
        for (char& ch : body)
            if (ch == 'e')
                ch = 'E';
    pad(out, s, prefix, body, true);
}

// Formats into UTF-8 text; a wide format is converted before and after.
std::string formatUtf8(std::string_view f, std::span<const FormatArg> args) {
    std::string out;
    out.reserve(f.size() + 16 * args.size());
    size_t next = 0;
    size_t pos = 0;
    auto takeInt = [&]() -> int {
        if (next >= args.size())
            return 0;
        return static_cast<int>(asSigned(args[next++]));
    };
    while (pos < f.size()) {
        const size_t pct = f.find('%', pos);
        if (pct == std::string_view::npos) {
            out.append(f.substr(pos));
            break;
        }
        out.append(f.substr(pos, pct - pos));
        pos = pct + 1;
        if (pos >= f.size()) {
            out += '%';
            break;
        }
        Spec s;
        for (bool more = true; more && pos < f.size();) {
            switch (f[pos]) {
            case '-': s.left = true; ++pos; break;
            case '+': s.plus = true; ++pos; break;
            case ' ': s.space = true; ++pos; break;
            case '#': s.alt = true; ++pos; break;
            case '0': s.zero = true; ++pos; break;
            default: more = false; break;
            }
        }
        if (pos < f.size() && f[pos] == '*') {
            ++pos;
            s.width = takeInt();
            if (s.width < 0) {
                s.left = true;
                s.width = -s.width;
            }
        } else {
            s.width = readNumber(f, pos);
        }
        if (pos < f.size() && f[pos] == '.') {
            ++pos;
            if (pos < f.size() && f[pos] == '*') {
                ++pos;
                s.precision = takeInt();
                if (s.precision < 0)
                    s.precision = -1;
            } else {
                s.precision = readNumber(f, pos);
            }
        }
        // Length modifiers only describe C's calling convention; the typed
        // arguments already know their size, so they are read and skipped.
        while (pos < f.size()) {
            const char ch = f[pos];
            if (ch == 'h' || ch == 'l' || ch == 'L' || ch == 'w' || ch == 'z' || ch == 't' || ch == 'j' ||
                ch == 'q') {
                ++pos;
            } else if (ch == 'I') {
                ++pos;
                if (f.substr(pos, 2) == "64" || f.substr(pos, 2) == "32")
                    pos += 2;
            } else {
                break;
            }
        }
        if (pos >= f.size())
            break;
        s.conv = f[pos++];
        if (s.conv == '%') {
            out += '%';
            continue;
        }
        if (s.conv == 'n')
            continue;
        if (next >= args.size())
            continue; // a missing argument prints nothing
        const FormatArg& a = args[next++];
        switch (a.kind) {
        case FormatArg::Kind::Narrow:
        case FormatArg::Kind::Wide: {
            std::string text = a.kind == FormatArg::Kind::Narrow ? std::string(a.narrow) : wideToUtf8(a.wide);
            // Precision and width count characters, not UTF-8 bytes.
            size_t chars = 0;
            for (size_t k = 0; k < text.size(); ++k) {
                if ((static_cast<unsigned char>(text[k]) & 0xC0) == 0x80)
                    continue;
                if (s.precision >= 0 && chars == static_cast<size_t>(s.precision)) {
                    text.resize(k);
                    break;
                }
                ++chars;
            }
            Spec ps = s;
            ps.zero = false;
            ps.width = s.width > 0 ? s.width - static_cast<int>(chars) + static_cast<int>(text.size()) : 0;
            pad(out, ps, {}, text, false);
            break;
        }
        default:
            switch (s.conv) {
            case 'c':
            case 'C': {
                const auto code = static_cast<std::uint32_t>(asUnsigned(a));
                std::u16string one(1, static_cast<char16_t>(code));
                if (code == 0)
                    one.clear();
                pad(out, s, {}, wideToUtf8(one), false);
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                formatFloat(out, s, asDouble(a));
                break;
            case 'p': {
                Spec ps = s;
                ps.precision = static_cast<int>(2 * sizeof(void*));
                formatInteger(out, ps, a);
                break;
            }
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X':
            case 'o':
                formatInteger(out, s, a);
                break;
            case 's':
            case 'S':
            default:
                // A number given to a string conversion prints as a number.
                if (a.kind == FormatArg::Kind::Float) {
                    Spec ps = s;
                    ps.conv = 'g';
                    formatFloat(out, ps, a.d);
                } else {
                    Spec ps = s;
                    ps.conv = 'd';
                    ps.precision = -1;
                    formatInteger(out, ps, a);
                }
                break;
            }
        }
    }
    return out;
}

} // namespace

std::string formatNarrow(std::string_view format, std::span<const FormatArg> args) {
    return formatUtf8(format, args);
}

std::u16string formatWide(std::u16string_view format, std::span<const FormatArg> args) {
    return utf8ToWide(formatUtf8(wideToUtf8(format), args));
}

} // namespace Core::detail
