#include "core/Text.h"

#include "core/TextConverter.h"
#include "platform/Error.h"
#include "tests/support/CaptureLogger.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

using Core::utf8ToWide;
using Core::wideToUtf8;

TEST(Text, Utf8ToWide) {
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
    // A four-byte character is its own four bytes, whatever follows it.
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x98\x80!"), (std::u16string{0xD83D, 0xDE00, u'!'}));
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x98\x80\xF0\x9F\x98\x81"), (std::u16string{0xD83D, 0xDE00, 0xD83D, 0xDE01}));
    EXPECT_EQ(utf8ToWide("\xE2\x82"), u"");
    EXPECT_EQ(utf8ToWide("\x80"), u"?");
    EXPECT_EQ(utf8ToWide("a\xD0\x96z"), u"aЖz");
    // A four-byte sequence missing its last byte leaves the high surrogate.
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x98"), (std::u16string{0xD83D}));
    EXPECT_EQ(utf8ToWide("\xFF"), u"?");
}

TEST(Text, WideToUtf8) {
    EXPECT_EQ(wideToUtf8(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(wideToUtf8(std::u16string{0xDE00}), "?");
    EXPECT_EQ(wideToUtf8(std::u16string{0xD83D, u'A'}), "?A");
    EXPECT_EQ(wideToUtf8(std::u16string{u'x', 0xD83D}), "x?");
    EXPECT_EQ(wideToUtf8(u"Ёж€"), "\xD0\x81\xD0\xB6\xE2\x82\xAC");
}

TEST(Text, AnsiIsCodePage1251) {
    using Core::ansiToWide;
    EXPECT_EQ(ansiToWide(std::string_view()), u"");
    EXPECT_EQ(ansiToWide(static_cast<const char*>(nullptr)), u"");
    EXPECT_EQ(ansiToWide("abc"), u"abc");
    // "Привет, Ёж №1 €" in Windows-1251.
    EXPECT_EQ(ansiToWide("\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9\x31 \x88"), u"Привет, Ёж №1 €");
    EXPECT_EQ(ansiToWide("\xC0\xDF\xE0\xFF"), u"АЯая");
    EXPECT_EQ(ansiToWide("\xA5\xB4\xAA\xBA\xAF\xBF\xB2\xB3\xA1\xA2"), u"ҐґЄєЇїІіЎў");
    EXPECT_EQ(ansiToWide("\x80\x90\x81\x83\x8A\x9A\x8C\x9C\x8E\x9E\x8D\x9D\x8F\x9F\xA3\xBC\xBD\xBE"),
              u"ЂђЃѓЉљЊњЋћЌќЏџЈјЅѕ");
    EXPECT_EQ(ansiToWide("\x98"), std::u16string(1, char16_t{0x98}));
    EXPECT_EQ(ansiToWide(std::string_view("a\0b", 3)), (std::u16string{u'a', 0, u'b'}));

    const Core::TextConverter converter;
    EXPECT_FALSE(converter.manual());
    EXPECT_EQ(converter.codePage(), 1251u);
    // The override table holds the 94 Cyrillic letters and nothing else.
    int letters = 0;
    for (unsigned b = 0; b < 256; ++b) {
        const char16_t c = converter.overrideFor(static_cast<unsigned char>(b));
        if (c == 0)
            continue;
        ++letters;
        EXPECT_TRUE((c >= 0x400 && c <= 0x45F) || c == 0x490 || c == 0x491) << b;
        EXPECT_EQ(converter.toWide(std::string(1, static_cast<char>(b))), std::u16string(1, c)) << b;
    }
    EXPECT_EQ(letters, 94);
    // A text that ends where its storage ends is read to its end, no further
    // (the sanitizer build would report the byte after it).
    const std::vector<char> exact{'\xC0', 'b'};
    EXPECT_EQ(converter.toWide(std::string_view(exact.data(), exact.size())), u"Аb");
}

TEST(Text, AnsiManualMode) {
    {
        // Announced at System level: not written at Critical.
        TestSupport::CaptureLogger quiet(Log::Critical);
        Core::TextConverter manual(false);
        EXPECT_TRUE(quiet.lines().empty());
    }
    TestSupport::CaptureLogger log(Log::System);
    Core::TextConverter::replace(std::make_unique<Core::TextConverter>(false));
    const auto& converter = Core::TextConverter::instance();
    EXPECT_TRUE(converter.manual());
    EXPECT_EQ(converter.codePage(), 0u);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Manual ansi<->ucs2 convertion enabled"});
    // The system page (Latin-1 here) maps 0xA8 to U+00A8; the override wins
    // for letters and leaves other bytes alone.
    EXPECT_EQ(Core::ansiToWide("\xA8"), u"Ё");
    EXPECT_EQ(Core::ansiToWide("\xE6\xA9\x88"), u"ж©\u0088");
    char16_t buffer[8];
    EXPECT_EQ(Core::ansiToWideBuffer("\xA8\xB8", buffer, 8), 2u);
    EXPECT_EQ(std::u16string(buffer), u"Ёё");
    Core::TextConverter::replace(nullptr);
    EXPECT_FALSE(Core::TextConverter::instance().manual());
}

TEST(Text, AnsiToWideBuffer) {
    char16_t buffer[6];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(Core::ansiToWideBuffer("", buffer, 6), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(Core::ansiToWideBuffer("\xC4\xE0", buffer, 6), 2u);
    EXPECT_EQ(std::u16string(buffer), u"Да");
    // Too small: the conversion fails as a whole.
    EXPECT_EQ(Core::ansiToWideBuffer("abcdefg", buffer, 6), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorInsufficientBuffer);
    // Exactly the capacity: converted, the terminator takes the last place.
    EXPECT_EQ(Core::ansiToWideBuffer("abcdef", buffer, 6), 6u);
    EXPECT_EQ(std::u16string(buffer), u"abcde");
    EXPECT_EQ(Core::ansiToWideBuffer("abc", buffer, 0), 0u);
}

TEST(Text, CaseMapping) {
    using Core::toLower;
    using Core::toUpper;
    EXPECT_EQ(toLower(u'A'), u'a');
    EXPECT_EQ(toLower(u'Z'), u'z');
    EXPECT_EQ(toLower(u'a'), u'a');
    EXPECT_EQ(toUpper(u'z'), u'Z');
    EXPECT_EQ(toLower(u'@'), u'@');
    EXPECT_EQ(toLower(u'['), u'[');
    EXPECT_EQ(toLower(0x401), 0x451);
    EXPECT_EQ(toLower(0x100), 0x100);
    EXPECT_EQ(toUpper(0x491), 0x490);
    EXPECT_EQ(toLower(u'Ж'), u'ж');
    EXPECT_EQ(toUpper(u'я'), u'Я');
    // Latin-1 letters are not mapped.
    EXPECT_EQ(toLower(u'Ä'), u'Ä');
    EXPECT_EQ(toUpper(u'ä'), u'ä');
    // Exactly 47 Cyrillic pairs besides ASCII, each mapping both ways;
    // 0x40D and 0x45D (no such letters in code page 1251) are left alone.
    int pairs = 0;
    for (unsigned c = 0x80; c < 0x10000; ++c) {
        const char16_t low = toLower(static_cast<char16_t>(c));
        if (low != c) {
            ++pairs;
            EXPECT_EQ(toUpper(low), c) << c;
            EXPECT_EQ(toLower(low), low) << c;
        }
    }
    EXPECT_EQ(pairs, 47);
    EXPECT_EQ(toLower(0x40D), 0x40D);
    EXPECT_EQ(toUpper(0x45D), 0x45D);
    EXPECT_EQ(toUpper(0x45E), 0x40E);
    EXPECT_EQ(toLower(0x40F), 0x45F);
}
