#include "core/Text.h"

#include <gtest/gtest.h>

using Core::utf8ToWide;
using Core::wideToUtf8;

TEST(Text, Utf8ToWide) {
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
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
