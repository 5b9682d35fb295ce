#include "core/XmlDepth.h"

#include <gtest/gtest.h>

using Core::beginsAsXml;
using Core::xmlDepthWithin;

TEST(XmlDepth, CountsOnlyOpenElements) {
    EXPECT_TRUE(xmlDepthWithin("", 0));
    EXPECT_TRUE(xmlDepthWithin("<a/>", 0));
    EXPECT_FALSE(xmlDepthWithin("<a></a>", 0));
    EXPECT_TRUE(xmlDepthWithin("<a><b/><c></c></a>", 2));
    EXPECT_TRUE(xmlDepthWithin("<a><b><c/></b></a>", 2));
    EXPECT_TRUE(xmlDepthWithin("<a></a><b></b><c></c>", 1)) << "a closing at the top level counts too";
    EXPECT_FALSE(xmlDepthWithin("<a><b><c></c></b></a>", 2));
    // Siblings do not add up.
    std::string flat = "<r>";
    for (int i = 0; i < 1000; ++i)
        flat += "<v x=\"1\"/><w></w>";
    EXPECT_TRUE(xmlDepthWithin(flat + "</r>", 2));
    // Declarations, comments and CDATA open nothing; markup inside them and
    // inside quoted values does not count.
    EXPECT_TRUE(xmlDepthWithin("<?xml version=\"1.0\"?><!-- <a><b> --><!DOCTYPE c><r><![CDATA[<x><y>]]></r>", 1));
    EXPECT_TRUE(xmlDepthWithin("<r a=\"<b><c>\" b='<d>'></r>", 1));
    // An empty comment ends at its own "-->": what follows it counts.
    EXPECT_FALSE(xmlDepthWithin("<!----><a><b><c></c></b></a><!-- -->", 2));
    // What a doctype or another declaration holds closes nothing: the parser
    // skips it, so closings hidden there must not lower the count.
    EXPECT_FALSE(xmlDepthWithin("<a><a><!DOCTYPE x [</a></a>]><a>", 2));
    EXPECT_FALSE(xmlDepthWithin("<a><a><!ELEMENT x </a><a>", 2));
    EXPECT_TRUE(xmlDepthWithin("<!DOCTYPE r [<!ENTITY e \"<a><b>\">]><r></r>", 1));
    // A "/>" inside a quoted value does not close the element.
    EXPECT_FALSE(xmlDepthWithin("<a x=\"/>\"><a x=\"/>\"><a x=\"/>\">", 2));
    // Deep nesting is caught however it is spelled; unterminated text ends the count.
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<a>";
    EXPECT_FALSE(xmlDepthWithin(deep, 64));
    EXPECT_TRUE(xmlDepthWithin("<a><b", 1));
    EXPECT_TRUE(xmlDepthWithin("<!-- unterminated <a><b><c>", 1));
}

// What begins with markup may be XML; anything else is not, however many
// stray "<" it holds.
TEST(XmlDepth, TellsTextThatIsNoXml) {
    const struct {
        std::string text;
        bool xml;
    } rows[] = {
        {"<config/>", true},
        {"<?xml version=\"1.0\"?><config/>", true},
        {" \r\n\t<config/>", true},
        {"\xEF\xBB\xBF<config/>", true},
        {"\xEF\xBB\xBF\r\n<!-- a -->", true},
        {"<", true},
        {"", false},
        {" \r\n", false},
        {"\xEF\xBB\xBF", false},
        {"config <a><a><a>", false},
        {std::string("\0<config/>", 10), false},
        {"\x89PNG\r\n\x1A\n<<<<", false},
        {"\xEF\xBB<config/>", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(beginsAsXml(row.text), row.xml) << ::testing::PrintToString(row.text);
}
