#include "render/StyleSyntax.h"

#include "core/DataPath.h"

#include <gtest/gtest.h>

#include <climits>

TEST(StyleSyntax, Colours) {
    struct Case {
        const char* text;
        bool valid;
        std::uint32_t stored;
    };
    const Case cases[] = {
        {"#FF8000", true, 0x000080FF},   {"#ff0000", true, 0x000000FF},  {"0x00FF00", true, 0x0000FF00},
        {"0X0000ff", true, 0x00FF0000},  {"FFFFFF", true, 0x00FFFFFF},   {"#  123456", true, 0x00563412},
        {"ff0000;00ff00", true, 0xFF},   {"12 34", true, 0x120000},          {"0FF0000", true, 0x000000FF},
        {"000000000000ff", true, 0xFF0000},
        {"", false, 0},                  {"#", false, 0},                {"0x", false, 0},
        {"xyz", false, 0},               {" #FF0000", false, 0},         {"#1234567", false, 0},
        {"1000000FF", false, 0},         {"FFFFFFFFFFFFFFFFFFFFFF", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t colour = 0xDEADBEEF;
        EXPECT_EQ(Render::parseColor(c.text, colour), c.valid);
        EXPECT_EQ(colour, c.valid ? c.stored : 0xDEADBEEF);
    }
}

TEST(StyleSyntax, DayNightColours) {
    std::uint32_t day = 1, night = 2;
    EXPECT_TRUE(Render::parseDayNightColor("#0000FF", day, night));
    EXPECT_EQ(day, 0x00FF0000u);
    EXPECT_EQ(night, 0x00FF0000u);
    EXPECT_TRUE(Render::parseDayNightColor("#000000;#FFFFFF", day, night));
    EXPECT_EQ(day, 0u);
    EXPECT_EQ(night, 0x00FFFFFFu);
    day = 1, night = 2;
    EXPECT_TRUE(Render::parseDayNightColor(";#010203", day, night));
    EXPECT_EQ(day, 1u);
    EXPECT_EQ(night, 0x00030201u);
    EXPECT_TRUE(Render::parseDayNightColor("#0A0B0C;", day, night));
    EXPECT_EQ(day, 0x000C0B0Au);
    EXPECT_EQ(night, 0x00030201u);
    EXPECT_TRUE(Render::parseDayNightColor(";", day, night));
    EXPECT_EQ(day, 0x000C0B0Au);
    // A present side that is invalid fails the whole text and changes nothing.
    for (const char* bad : {"", "zz", "zz;#000000", "#000000;zz", " ;#000000", "#1000000;", ";#FFFFFFF"}) {
        SCOPED_TRACE(bad);
        std::uint32_t d = 7, n = 8;
        EXPECT_FALSE(Render::parseDayNightColor(bad, d, n));
        EXPECT_EQ(d, 7u);
        EXPECT_EQ(n, 8u);
    }
}

TEST(StyleSyntax, TypeIdsAndDecimals) {
    std::uint32_t id = 0;
    EXPECT_TRUE(Render::parseHexId("0x1A", id));
    EXPECT_EQ(id, 26u);
    EXPECT_TRUE(Render::parseHexId("1a", id));
    EXPECT_EQ(id, 26u);
    EXPECT_TRUE(Render::parseHexId("0X100", id));
    EXPECT_EQ(id, 0x100u);
    EXPECT_TRUE(Render::parseHexId("ff0", id));
    EXPECT_EQ(id, 0xFF0u);
    EXPECT_TRUE(Render::parseHexId(" 2c00 trailing", id));
    EXPECT_EQ(id, 0x2C00u);
    // Overlong ids saturate rather than wrap to a small type.
    EXPECT_TRUE(Render::parseHexId("100000000", id));
    EXPECT_EQ(id, 0xFFFFFFFFu);
    EXPECT_TRUE(Render::parseHexId("1000000000000000000000001", id));
    EXPECT_EQ(id, 0xFFFFFFFFu);
    EXPECT_FALSE(Render::parseHexId("", id));
    EXPECT_FALSE(Render::parseHexId("0x", id));
    EXPECT_FALSE(Render::parseHexId("#1A", id));
    EXPECT_FALSE(Render::parseHexId("g", id));

    EXPECT_EQ(Render::parseDecimal("42"), 42);
    EXPECT_EQ(Render::parseDecimal(" \t\n12abc"), 12);
    EXPECT_EQ(Render::parseDecimal("-5"), -5);
    EXPECT_EQ(Render::parseDecimal("+7"), 7);
    EXPECT_EQ(Render::parseDecimal("abc"), 0);
    EXPECT_EQ(Render::parseDecimal("-"), 0);
    EXPECT_EQ(Render::parseDecimal(""), 0);
    EXPECT_EQ(Render::parseDecimal("- 3"), 0);
    EXPECT_EQ(Render::parseDecimal("2147483647"), INT_MAX);
    EXPECT_EQ(Render::parseDecimal("-2147483648"), INT_MIN);
    EXPECT_EQ(Render::parseDecimal("2147483648"), INT_MAX);
    EXPECT_EQ(Render::parseDecimal("-2147483649"), INT_MIN);
    EXPECT_EQ(Render::parseDecimal("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(Render::parseDecimal("-99999999999999999999999999"), INT_MIN);
}
