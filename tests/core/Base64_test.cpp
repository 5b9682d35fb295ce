#include "core/Base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using Core::base64Decode;
using Core::base64Encode;

namespace {
std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }
} // namespace

TEST(Base64, Encode) {
    EXPECT_EQ(base64Encode(bytes("abc")), "YWJj");
    EXPECT_EQ(base64Encode(bytes("a")), "YQ==");
    EXPECT_EQ(base64Encode(bytes("ab")), "YWI=");
    EXPECT_EQ(base64Encode(bytes("")), "");
    EXPECT_EQ(base64Encode(std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}), "+/+/");
    EXPECT_EQ(base64Encode(std::vector<std::uint8_t>{0, 0, 0, 0}), "AAAAAA==");
    // RFC 4648 test vectors.
    EXPECT_EQ(base64Encode(bytes("foobar")), "Zm9vYmFy");
    EXPECT_EQ(base64Encode(bytes("fooba")), "Zm9vYmE=");
}

TEST(Base64, Decode) {
    EXPECT_EQ(base64Decode("YQ=="), bytes("a"));
    EXPECT_EQ(base64Decode("YWI="), bytes("ab"));
    EXPECT_EQ(base64Decode("YW Jj"), bytes("abc"));
    EXPECT_EQ(base64Decode(""), bytes(""));
    // Padding is optional; characters outside the alphabet are skipped.
    EXPECT_EQ(base64Decode("YQ"), bytes("a"));
    EXPECT_EQ(base64Decode("Zm9v\r\nYmFy"), bytes("foobar"));
    EXPECT_EQ(base64Decode("Y=W=J=j"), bytes("abc"));
    EXPECT_EQ(base64Decode("*#!"), bytes(""));
    // A lone last character carries fewer than 8 bits: no byte.
    EXPECT_EQ(base64Decode("YWJjZ"), bytes("abc"));
    EXPECT_EQ(base64Decode("+/+/"), (std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}));
}

TEST(Base64, RoundTrip) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> data(rng() % 40);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        const std::string text = base64Encode(data);
        EXPECT_EQ(text.size(), (data.size() + 2) / 3 * 4);
        EXPECT_EQ(base64Decode(text), data);
    }
}
