#include "core/XmlEscape.h"

#include <gtest/gtest.h>

TEST(XmlEscape, ReplacesTheFiveCharacters) {
    EXPECT_EQ(Core::xmlEscape("a<b & c"), "a&lt;b &amp; c");
    EXPECT_EQ(Core::xmlEscape("\"'<>&"), "&quot;&apos;&lt;&gt;&amp;");
    // An existing entity is escaped again: the text is taken literally.
    EXPECT_EQ(Core::xmlEscape("&amp;"), "&amp;amp;");
    EXPECT_EQ(Core::xmlEscape(""), "");
    EXPECT_EQ(Core::xmlEscape("Привет"), "Привет");
    EXPECT_EQ(Core::xmlEscape(std::string_view("a\0<", 3)), std::string("a\0&lt;", 6));
    EXPECT_EQ(Core::xmlEscapeWide(u"Ёж <\">"), "Ёж &lt;&quot;&gt;");
    EXPECT_EQ(Core::xmlEscapeWide(std::u16string{0xD83D, 0xDE00, u'&'}), "\xF0\x9F\x98\x80&amp;");
}
