#include "userdata/OnlineMessages.h"
#include "userdata/PackedTrack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace Messages = Monitoring::Messages;

TEST(OnlineMessages, DamagedRepliesAreReadOrRefusedWithoutHarm) {
    const std::vector<std::uint8_t> records(40, 3);
    const std::string valid =
        "<mft><track id=\"5\" token=\"7\" size=\"40\" value=\"" + Monitoring::PackedTrack::compress(records) +
        "\"/><wpt id=\"3\" token=\"9\" name=\"G&amp;\" comment=\"c\" type=\"47\" lat=\"1.5\" "
        "lon=\"-2\"/><mfi><friend token=\"1\" name=\"A\"/></mfi><mcr token=\"t\"/></mft>";
    const auto read = Messages::tracksReply(valid);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    const auto& point = std::get<Messages::PointEntry>((*read)[1]);
    EXPECT_EQ(point.name, u"G&");
    EXPECT_EQ(point.latitude, 1.5f);
    EXPECT_EQ(point.longitude, -2.0f);

    const char* seedText = std::getenv("MIREL_SEED");
    std::mt19937 random(seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 38);
    static const char symbols[] = "<>/=\"&;# -09az\0\xFF";
    const std::string alphabet(symbols, sizeof symbols - 1);
    for (int trial = 0; trial < 2000; ++trial) {
        std::string text = valid;
        for (int edits = 1 + random() % 4; edits > 0; --edits) {
            const std::size_t at = random() % text.size();
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0:
                text[at] = c;
                break;
            case 1:
                text.insert(at, 1, c);
                break;
            default:
                text.erase(at, 1 + random() % 8);
                break;
            }
        }
        if (const auto entries = Messages::tracksReply(text))
            for (const auto& e : *entries)
                if (const auto* t = std::get_if<Messages::TrackEntry>(&e); t && t->value && t->size)
                    Monitoring::PackedTrack::inflate(*t->value, static_cast<std::uint32_t>(*t->size));
        Messages::friendsReply(text);
        Messages::connectReply(text);
        Messages::pointReply(text);
    }
}
