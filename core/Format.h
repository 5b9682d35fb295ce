#pragma once
// The project's one printf-style formatter.
//
// It follows the Windows rules the program's formats were written for: in a
// wide format "%s" takes a wide string and in a narrow format a narrow one,
// "%hs"/"%ls"/"%ws" force the width, "%S" is the other width, "%I64d",
// "%I32d" and "%.4d" work. Unlike C varargs it is type-safe: every argument
// carries its own type, so a string given to "%s" is printed as the string it
// is, whichever width it has (narrow text is UTF-8, wide text UTF-16). Output
// never depends on the C locale: "%f" always uses '.'.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace Core {

namespace detail {

struct FormatArg {
    enum class Kind { Signed, Unsigned, Float, Narrow, Wide, Pointer };
    Kind kind = Kind::Signed;
    int bytes = 8; // width of the original integer type, for %x/%u of negatives
    union {
        std::int64_t i;
        std::uint64_t u;
        double d;
        const void* p;
    };
    std::string_view narrow;
    std::u16string_view wide;

    FormatArg() : i(0) {}
};

template <class T> FormatArg makeFormatArg(const T& v) {
    FormatArg a;
    using D = std::decay_t<T>;
    if constexpr (std::is_same_v<D, bool>) {
        a.kind = FormatArg::Kind::Signed;
        a.bytes = 4;
        a.i = v ? 1 : 0;
    } else if constexpr (std::is_enum_v<D>) {
        return makeFormatArg(static_cast<std::underlying_type_t<D>>(v));
    } else if constexpr (std::is_integral_v<D>) {
        a.bytes = static_cast<int>(sizeof(D));
        if constexpr (std::is_signed_v<D>) {
            a.kind = FormatArg::Kind::Signed;
            a.i = v;
        } else {
            a.kind = FormatArg::Kind::Unsigned;
            a.u = v;
        }
    } else if constexpr (std::is_floating_point_v<D>) {
        a.kind = FormatArg::Kind::Float;
        a.d = static_cast<double>(v);
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        a.kind = FormatArg::Kind::Narrow;
        a.narrow = std::string_view(v);
    } else if constexpr (std::is_convertible_v<const T&, std::u16string_view>) {
        a.kind = FormatArg::Kind::Wide;
        a.wide = std::u16string_view(v);
    } else if constexpr (std::is_pointer_v<D>) {
        a.kind = FormatArg::Kind::Pointer;
        a.p = static_cast<const void*>(v);
    } else {
        static_assert(sizeof(T) == 0, "Core::format: unsupported argument type");
    }
    return a;
}

// A null C string prints as "(null)" rather than crashing.
inline FormatArg makeFormatArg(const char* v) {
    FormatArg a;
    a.kind = FormatArg::Kind::Narrow;
    a.narrow = v ? std::string_view(v) : std::string_view("(null)");
    return a;
}
inline FormatArg makeFormatArg(char* v) { return makeFormatArg(static_cast<const char*>(v)); }
inline FormatArg makeFormatArg(const char16_t* v) {
    FormatArg a;
    a.kind = FormatArg::Kind::Wide;
    a.wide = v ? std::u16string_view(v) : std::u16string_view(u"(null)");
    return a;
}
inline FormatArg makeFormatArg(char16_t* v) { return makeFormatArg(static_cast<const char16_t*>(v)); }

std::string formatNarrow(std::string_view format, std::span<const FormatArg> args);
std::u16string formatWide(std::u16string_view format, std::span<const FormatArg> args);

} // namespace detail

// Narrow format, UTF-8 result.
template <class... Args> std::string format(std::string_view fmt, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return detail::formatNarrow(fmt, {});
    } else {
        const detail::FormatArg list[] = {detail::makeFormatArg(args)...};
        return detail::formatNarrow(fmt, list);
    }
}

// Wide format, UTF-16 result.
template <class... Args> std::u16string format(std::u16string_view fmt, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return detail::formatWide(fmt, {});
    } else {
        const detail::FormatArg list[] = {detail::makeFormatArg(args)...};
        return detail::formatWide(fmt, list);
    }
}

} // namespace Core
