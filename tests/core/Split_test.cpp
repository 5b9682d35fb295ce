#include "core/Split.h"

#include <gtest/gtest.h>

using Core::splitNarrow;
using Core::splitWide;
using V = std::vector<std::string>;
using W = std::vector<std::u16string>;

TEST(Split, EveryPieceCounts) {
    EXPECT_EQ(splitNarrow("a;;b"), (V{"a", "", "b"}));
    EXPECT_EQ(splitNarrow("a;b;"), (V{"a", "b", ""}));
    EXPECT_EQ(splitNarrow(""), (V{""}));
    EXPECT_EQ(splitNarrow(";"), (V{"", ""}));
    EXPECT_EQ(splitNarrow("one"), (V{"one"}));
    EXPECT_EQ(splitNarrow(";x"), (V{"", "x"}));
    EXPECT_EQ(splitWide(u"Москва,Тверь,", u','), (W{u"Москва", u"Тверь", u""}));
    EXPECT_EQ(splitWide(u"", u'|'), (W{u""}));
    EXPECT_EQ(splitWide(u"a;b", u'|'), (W{u"a;b"}));
    EXPECT_EQ(splitWide(u"||", u'|'), (W{u"", u"", u""}));
}
