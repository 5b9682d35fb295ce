#include "core/Parse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace Core;

namespace {
template <class T, class F> std::pair<bool, T> run(F parser, std::string_view text) {
    T out = static_cast<T>(123); // must be overwritten
    const bool ok = parser(text, out);
    return {ok, out};
}
auto pInt = [](std::string_view t, std::int32_t& o) { return parseInt(t, o); };
auto pUns = [](std::string_view t, std::uint32_t& o) { return parseUnsigned(t, o); };
auto pHex = [](std::string_view t, std::uint32_t& o) { return parseHex(t, o); };
auto pFlt = [](std::string_view t, float& o) { return parseFloat(t, o); };
} // namespace

TEST(Parse, Int) {
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    } cases[] = {
        {"42abc", true, 42}, {"abc", false, 0},   {"+7", true, 7},
        {" 7", true, 7},     {" -7", false, 0},   {"-7", true, -7},
        {"", false, 0},      {"-", false, 0},     {"+", false, 0},
        {"- 7", true, -7},   {"--7", false, 0},   {"0", true, 0},
        {"2147483647", true, 2147483647},         {"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
        {"4294967295", true, -1},                 {"12 34", true, 12},
        {"\t5", false, 0},   {"007", true, 7},
    };
    for (const auto& c : cases) {
        const auto [ok, value] = run<std::int32_t>(pInt, c.text);
        EXPECT_EQ(ok, c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    // The range need not end after the number, nor be zero-terminated.
    const char bytes[] = {'1', '2', '3'};
    std::int32_t out = 0;
    EXPECT_TRUE(parseInt(bytes, bytes + 2, out));
    EXPECT_EQ(out, 12);
    EXPECT_FALSE(parseInt(bytes, bytes, out));
    EXPECT_EQ(out, 0);
}

TEST(Parse, Unsigned) {
    EXPECT_EQ(run<std::uint32_t>(pUns, "4294967295"), std::make_pair(true, 4294967295u));
    EXPECT_EQ(run<std::uint32_t>(pUns, "4294967296"), std::make_pair(true, 0u));
    EXPECT_EQ(run<std::uint32_t>(pUns, "   19x"), std::make_pair(true, 19u));
    EXPECT_EQ(run<std::uint32_t>(pUns, "   "), std::make_pair(false, 0u));
    EXPECT_EQ(run<std::uint32_t>(pUns, "-1"), std::make_pair(false, 0u));
    EXPECT_EQ(run<std::uint32_t>(pUns, ""), std::make_pair(false, 0u));
}

TEST(Parse, Hex) {
    EXPECT_EQ(run<std::uint32_t>(pHex, "1aF"), std::make_pair(true, 0x1AFu));
    EXPECT_EQ(run<std::uint32_t>(pHex, "  ffFFffFF"), std::make_pair(true, 0xFFFFFFFFu));
    EXPECT_EQ(run<std::uint32_t>(pHex, "100000000"), std::make_pair(true, 0u));
    EXPECT_EQ(run<std::uint32_t>(pHex, "0x10"), std::make_pair(true, 0u)); // stops at 'x'
    EXPECT_EQ(run<std::uint32_t>(pHex, "g1"), std::make_pair(false, 0u));
    EXPECT_EQ(run<std::uint32_t>(pHex, "09;"), std::make_pair(true, 9u));
    EXPECT_EQ(run<std::uint32_t>(pHex, ""), std::make_pair(false, 0u));
}

TEST(Parse, Float) {
    struct Case {
        const char* text;
        bool ok;
        float value;
    } cases[] = {
        {".5", true, 0.5f},      {"-", false, 0.0f},       {"1e5", true, 1.0f},   {"  -12.25", true, -12.25f},
        {"+3.", true, 3.0f},     {"-.", false, 0.0f},      {"", false, 0.0f},     {"abc", false, 0.0f},
        {"55.755800", true, 55.7558f}, {"1.2.3", true, 1.2f}, {"- 1", false, 0.0f}, {"0.000", true, 0.0f},
        {"37,6", true, 37.0f},
    };
    for (const auto& c : cases) {
        const auto [ok, value] = run<float>(pFlt, c.text);
        EXPECT_EQ(ok, c.ok) << c.text;
        EXPECT_FLOAT_EQ(value, c.value) << c.text;
    }
    float out = 0;
    // A fraction far longer than a float can hold stays finite.
    EXPECT_TRUE(parseFloat("0." + std::string(400, '9'), out));
    EXPECT_FLOAT_EQ(out, 1.0f);
    EXPECT_TRUE(parseFloat("0." + std::string(400, '0') + "1", out));
    EXPECT_EQ(out, 0.0f);
    // Beyond the float range: infinite, with its sign.
    EXPECT_TRUE(parseFloat("-1" + std::string(60, '0'), out));
    EXPECT_TRUE(std::isinf(out) && out < 0);
    EXPECT_TRUE(parseFloat(std::string(400, '9'), out));
    EXPECT_TRUE(std::isinf(out) && out > 0);
}
