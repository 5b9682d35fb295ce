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

// Whatever the bytes, the escaped text is well-formed: invalid UTF-8 bytes
// one U+FFFD each, characters XML cannot carry likewise; valid text (tab,
// LF and CR included) escaped as xmlEscape does.
TEST(XmlEscape, WellFormedWhateverTheBytes) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string in;
        std::string out;
    } rows[] = {
        {"a<b & \"c'", "a&lt;b &amp; &quot;c&apos;"},
        {"Привет \xF0\x9F\x98\x80", "Привет \xF0\x9F\x98\x80"},
        {"caf\xE9", "caf" + r},                                  // Latin-1 byte
        {"\xFF\xFE", r + r},                                      // never in UTF-8
        {"\xC3", r},                                              // cut at the end
        {"\xC3(", r + "("},                                       // no continuation
        {"\xC0\xAF", r + r},                                      // overlong '/'
        {"\xE0\x80\xAF", r + r + r},                              // overlong, three bytes
        {"\xED\xA0\x80", r + r + r},                              // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},                      // past U+10FFFF
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},                 // U+10FFFF itself
        {"\xEF\xBF\xBE|\xEF\xBF\xBF", r + "|" + r},              // U+FFFE, U+FFFF
        {std::string("a\0b\x01\x1F", 5), "a" + r + "b" + r + r}, // controls
        {"\t\n\r", "\t\n\r"},
        {"\x80" "abc", r + "abc"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Core::xmlEscapeWellFormed(row.in), row.out) << row.in;
}
