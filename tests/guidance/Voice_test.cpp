#include "guidance/Voice.h"

#include <gtest/gtest.h>

using Guidance::ManeuverEntry;
using Guidance::Phrase;
namespace Voice = Guidance::Voice;

namespace {

// The number words spelt out group by group, written apart from the code:
// below a hundred, below a thousand, then thousands with the thousand word
// in the form its count takes (41 one, 42 two to four, 40 many).
void below100(Phrase& out, int x) {
    if (x >= 10 && x < 20) {
        out.push_back(43 + (x - 10));
        return;
    }
    if (x >= 20)
        out.push_back(21 + x / 10);
    if (x % 10 != 0)
        out.push_back(11 + x % 10);
}

Phrase referenceNumber(int n) {
    Phrase out;
    const int thousands = n / 1000;
    if (thousands != 0) {
        below100(out, thousands);
        const int teen = thousands % 100 >= 11 && thousands % 100 <= 19;
        const int last = thousands % 10;
        out.push_back(!teen && last == 1 ? 41 : !teen && last >= 2 && last <= 4 ? 42 : 40);
    }
    if (n % 1000 >= 100)
        out.push_back(30 + n % 1000 / 100);
    below100(out, n % 100);
    return out;
}

} // namespace

TEST(Voice, NumbersMatchReference) {
    for (int n = 0; n <= 100000; ++n) {
        Phrase got;
        Voice::numberIds(got, static_cast<std::uint32_t>(n));
        ASSERT_EQ(got, n == 0 || n == 100000 ? Phrase{} : referenceNumber(n)) << n;
    }
}

TEST(Voice, DistancesAndManoeuvres) {
    const std::pair<std::uint32_t, Phrase> distances[] = {
        {0, {}},           {11, {44, 57}},     {21, {23, 12, 55}},         {1250, {12, 66, 32, 26, 57}}, {2000, {13, 67}},
        {3000, {14, 67}},  {15000, {48, 68}},  {22003, {23, 13, 67, 14, 56}},
        {100000000, {68}}, // no number words beyond 99999 km
    };
    for (const auto& [metres, expected] : distances) {
        Phrase got;
        Voice::distanceIds(got, metres);
        EXPECT_EQ(got, expected) << metres;
    }
    const struct {
        std::vector<ManeuverEntry> list;
        bool distanceFirst;
        Phrase expected;
    } rows[] = {
        {{{1, 0}}, true, {5, 65}},
        {{{2, 104}}, true, {59, 31, 57, 5, 64}}, // rounded to 100
        {{{7, 1049}}, false, {70, 59, 12, 66}},  // rounded to 1000
        {{{12, 55}, {21, 0}}, true, {59, 27, 57, 78, 61, 58, 89}},
        {{{34, 5}}, true, {59, 43, 57}}, // no words for the type, the distance stays
        {{}, true, {}},
    };
    for (const auto& r : rows) {
        Phrase got;
        EXPECT_EQ(Voice::composeManeuverPhrase(got, r.list, r.distanceFirst), !r.list.empty());
        EXPECT_EQ(got, r.expected) << r.expected.size();
    }
    Phrase object;
    Voice::objectPhrase(object, 150, 300, false);
    EXPECT_EQ(object, (Phrase{150, 59, 33, 57}));
    object.clear();
    Voice::objectPhrase(object, 150, 300, true);
    EXPECT_EQ(object, (Phrase{59, 33, 57, 150})) << "the distance first";
    object.clear();
    Voice::objectPhrase(object, 150, 0, true);
    EXPECT_EQ(object, (Phrase{150})) << "no distance at the object";
}
