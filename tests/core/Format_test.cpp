#include "core/Format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <locale>

using Core::format;

TEST(Format, StringsFollowTheirOwnWidth) {
    const std::u16string wide = u"Привет";
    const std::string narrow = "Ж-utf8";
    EXPECT_EQ(format(u"[%s]", wide), u"[Привет]");
    EXPECT_EQ(format(u"[%s]", narrow), u"[Ж-utf8]");
    EXPECT_EQ(format("[%s]", narrow), "[Ж-utf8]");
    EXPECT_EQ(format("[%s]", wide), "[Привет]");
    EXPECT_EQ(format(u"%hs|%ls|%S|%ws", "a", u"b", "c", u"d"), u"a|b|c|d");
    EXPECT_EQ(format("%s", static_cast<const char*>(nullptr)), "(null)");
    // Width and precision count characters, not bytes.
    EXPECT_EQ(format("[%5s][%-4s][%.2s]", "Жж", "ab", "Привет"), "[   Жж][ab  ][Пр]");
}

TEST(Format, Integers) {
    EXPECT_EQ(format("%.4d-%.2d-%.2d", 2026, 3, 9), "2026-03-09");
    EXPECT_EQ(format("%I64d|%I64u", INT64_MIN, UINT64_MAX), "-9223372036854775808|18446744073709551615");
    EXPECT_EQ(format("%d %i %u", -5, 7, 3u), "-5 7 3");
    EXPECT_EQ(format("%x %X %#x %o", 255, 0xABCu, 16, 8), "ff ABC 0x10 10");
    EXPECT_EQ(format("%X|%#X", 0x9F0A1u, 0x10u), "9F0A1|0X10") << "digits stay digits";
    EXPECT_EQ(format("%x %u", -1, -1), "ffffffff 4294967295");
    EXPECT_EQ(format("%02x ", static_cast<unsigned char>(7)), "07 ");
    EXPECT_EQ(format("%5d|%-5d|%05d|%+d|% d", 42, 42, -42, 42, 42), "   42|42   |-0042|+42| 42");
    EXPECT_EQ(format("%*d|%.*d", 4, 1, 3, 2), "   1|002");
    EXPECT_EQ(format("%c%c", 'o', static_cast<char16_t>(u'к')), "oк");
    EXPECT_EQ(format("100%%"), "100%");
    EXPECT_EQ(format("%d", true), "1");
    EXPECT_EQ(format("%d/%d", std::uint64_t(1) << 40, std::int64_t(-1) << 40), "1099511627776/-1099511627776")
        << "64-bit values are not cut to 32 bits";
}

namespace {
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return ' '; }
    std::string do_grouping() const override { return "\3"; }
};
} // namespace

TEST(Format, FloatsIgnoreTheLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // A comma-decimal C locale where the machine has one, and a comma-decimal
    // global C++ locale in any case.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    const std::locale savedGlobal = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    EXPECT_EQ(format("%f", 1.5), "1.500000");
    EXPECT_EQ(format("%.2f|%8.3f|%-7.1f|", 3.14159, -2.5, 0.25), "3.14|  -2.500|0.2    |");
    EXPECT_EQ(format(u"%.1f", 12.25f), u"12.2");
    EXPECT_EQ(format("%e", 12345.0), "1.234500e+04");
    EXPECT_EQ(format("%g %g", 0.0001, 1e20), "0.0001 1e+20");
    EXPECT_EQ(format("%f", std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(format("%d", 3.9), "3");
    EXPECT_EQ(format("%f", 2), "2.000000");
    std::locale::global(savedGlobal);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Format, MissingArgumentsAndStrayPercent) {
    EXPECT_EQ(format("a%db"), "ab");
    EXPECT_EQ(format("end%"), "end%");
    EXPECT_EQ(format("%s and %d", "x"), "x and ");
}

TEST(Format, LongOutputComesOutWhole) {
    const std::u16string chunk(3000, u'x');
    EXPECT_EQ(format(u"<%s>", chunk).size(), 3002u);
}
