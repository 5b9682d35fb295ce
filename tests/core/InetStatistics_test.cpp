#include "core/InetStatistics.h"
#include "core/SendInetMessage.h"
#include "core/Text.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/HttpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Network::InetStatistics;
using TestSupport::CaptureLogger;

namespace {

// A clock that starts at 2026-03-01 10:00:00 and moves when told to.
struct FakeClock {
    std::shared_ptr<int> seconds = std::make_shared<int>(0);
    InetStatistics::Clock clock() const {
        return [s = seconds] {
            Positioning::DateTime t;
            t.year = 2026;
            t.month = 3;
            t.day = 1;
            t.hour = 10;
            t.minute = static_cast<std::uint8_t>(*s / 60);
            t.second = static_cast<std::uint8_t>(*s % 60);
            return t;
        };
    }
};

// One message of 10 body bytes and 30 header characters, one reply of 5.
void exchange(InetStatistics& statistics, std::uint32_t number) {
    statistics.messageSent(number, "0123456789", 30);
    statistics.responseReceived(number, "reply");
}

} // namespace

TEST(InetStatistics, UsageLineEveryHundredMessagesAndEveryTenAtInfo) {
    FakeClock time;
    const std::string usage100 =
        "Inet usage (4500 byte/min): sent (100 = 4000 bytes), received (100 = 500 bytes) in 60 seconds";
    {
        CaptureLogger log(Log::Normal);
        InetStatistics statistics(nullptr, time.clock());
        for (std::uint32_t i = 1; i <= 99; ++i) {
            exchange(statistics, i);
            *time.seconds = 60;
        }
        EXPECT_EQ(log.countStartingWith("Inet usage"), 0u) << "the 10th message writes nothing at severity 2";
        EXPECT_EQ(log.count("Message sent"), 99u);
        EXPECT_EQ(log.count("Sent message begin"), 0u);
        exchange(statistics, 100);
        EXPECT_EQ(log.countStartingWith("Inet usage"), 1u);
        EXPECT_EQ(log.count(usage100), 1u);
        EXPECT_EQ(statistics.bytesSent(), 4000u);
        EXPECT_EQ(statistics.bytesReceived(), 500u);
    }
    {
        *time.seconds = 0;
        CaptureLogger log(Log::Info);
        InetStatistics statistics(nullptr, time.clock());
        for (std::uint32_t i = 1; i <= 9; ++i)
            exchange(statistics, i);
        EXPECT_EQ(log.countStartingWith("Inet usage"), 0u);
        *time.seconds = 120;
        exchange(statistics, 10);
        EXPECT_EQ(
            log.count(
                "Inet usage (225 byte/min): sent (10 = 400 bytes), received (10 = 50 bytes) in 120 seconds"),
            1u);
        for (std::uint32_t i = 11; i <= 20; ++i)
            exchange(statistics, i);
        EXPECT_EQ(log.countStartingWith("Inet usage ("), 2u);
        EXPECT_EQ(log.count("Sent message begin"), 20u);
        EXPECT_EQ(log.count("Sent message end"), 20u);
        EXPECT_EQ(log.count("Received response begin"), 20u);
        EXPECT_EQ(log.count("Received response end"), 20u);
        log.clear();
    } // the statistics' end writes the line once more, before the capture ends
}

TEST(InetStatistics, NothingSentOrNoTimePassedGivesTheShortLineAtTheEnd) {
    FakeClock time;
    CaptureLogger log(Log::Normal);
    { InetStatistics idle(nullptr, time.clock()); }
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"Inet usage: nothing received or sent"}));
    log.clear();
    {
        InetStatistics quick(nullptr, time.clock());
        exchange(quick, 1); // all within the same second
    }
    EXPECT_EQ(log.snapshot(),
              (std::vector<std::string>{"Message sent", "Inet usage: nothing received or sent"}));
    log.clear();
    {
        InetStatistics counted(nullptr, time.clock());
        exchange(counted, 1);
        *time.seconds = 30;
    }
    EXPECT_EQ(
        log.count("Inet usage (90 byte/min): sent (1 = 40 bytes), received (1 = 5 bytes) in 30 seconds"), 1u);

    log.setSeverity(Log::System);
    log.clear();
    { InetStatistics quiet(nullptr, time.clock()); }
    EXPECT_TRUE(log.snapshot().empty()) << "below severity 2 no usage line is written";
}

TEST(InetStatistics, CountsRealExchangesWhileRegisteredAndStopsWhenGone) {
    CaptureLogger log(Log::Normal);
    auto binding = Network::WinInet::create();
    ASSERT_TRUE(binding);
    TestSupport::HttpServer server({{500, ""}, {200, "hello"}, {200, "again"}});
    std::string response;
    {
        InetStatistics statistics(binding);
        ASSERT_TRUE(Network::SendInetMessage(u"", binding, u"Mirel online", u"POST",
                                             Core::utf8ToWide(server.url("/p")), "abcd", response, true));
        // Two sends counted (the 500 and the 200), each 4 body bytes and
        // 11 + 19 header characters; one reply of 5 bytes.
        EXPECT_EQ(statistics.messagesSent(), 2u);
        EXPECT_EQ(statistics.bytesSent(), 68u);
        EXPECT_EQ(statistics.responsesReceived(), 1u);
        EXPECT_EQ(statistics.bytesReceived(), 5u);
    }
    // Unregistered: a later exchange reaches no freed listener.
    ASSERT_TRUE(Network::SendInetMessage(u"", binding, u"Mirel online", u"POST",
                                         Core::utf8ToWide(server.url("/p")), "abcd", response, true));
    EXPECT_EQ(response, "again");
    EXPECT_EQ(log.count("Message sent"), 2u);
}

// The dumps of the online service's messages never show the password or a
// token (any 16 bytes of the dump rows would hold one piece of them); the
// rest of the message stays readable.
TEST(InetStatistics, DumpsHideThePasswordAndTokens) {
    FakeClock time;
    const std::string secret = "s3cret-s3cret-s3cret-s3cret-s3cret-s3cret";
    CaptureLogger log(Log::Info);
    InetStatistics statistics(nullptr, time.clock());
    statistics.messageSent(1, "<mct user=\"anna\" password=\"" + secret + "\" />", 30);
    statistics.responseReceived(1, "<mcr token=\"" + secret + "\" />");
    statistics.messageSent(2, "<mfi token=\"" + secret + "\" />", 30);
    std::string text;
    for (const std::string& line : log.lines()) {
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        EXPECT_EQ(line.find("73 33 63 72 65 74"), std::string::npos) << line;
        text += line;
    }
    EXPECT_NE(text.find("user=\"anna\""), std::string::npos);
    EXPECT_EQ(log.count("Sent message begin"), 2u);
}

// The mask does not tell the password's length, and a reply of megabytes is
// dumped up to its first 256 bytes (16 rows), the rest counted.
TEST(InetStatistics, TheMaskHasOneLengthAndDumpsAreBounded) {
    FakeClock time;
    const auto dumped = [&](const std::string& password) {
        CaptureLogger log(Log::Info);
        InetStatistics statistics(nullptr, time.clock());
        statistics.messageSent(1, "<mct user=\"anna\" password=\"" + password + "\" />", 30);
        log.setSeverity(Log::Critical); // the usage line at the end is not the dump's
        return log.lines();
    };
    EXPECT_EQ(dumped("p"), dumped("a-password-of-thirty-one-chars!"));

    CaptureLogger log(Log::Info);
    InetStatistics statistics(nullptr, time.clock());
    statistics.responseReceived(1, std::string(10 << 20, 'x'));
    EXPECT_EQ(log.lines().size(), 1u + 16u + 1u + 1u);
    EXPECT_EQ(log.count("... (10485504 more bytes)"), 1u);
    EXPECT_EQ(log.count("Received response end"), 1u);
}
