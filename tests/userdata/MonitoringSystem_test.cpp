#include "core/Base64.h"
#include "core/WinInet.h"
#include "platform/Event.h"
#include "core/Text.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/HttpServer.h"
#include "tests/userdata/MonitoringEvents.h"
#include "userdata/MonitoringSystem.h"
#include "userdata/OnlineMessages.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <regex>

using TestSupport::HttpServer;
using namespace std::chrono_literals;

namespace {

// Local time the test sets; back-off waits are recorded and return at once.
struct TestClock final : Monitoring::Clock {
    Positioning::DateTime localTime() override {
        std::lock_guard lock(mutex);
        return Positioning::fromUnixTime(seconds);
    }
    bool waitForStop(const Platform::Event& stop, std::uint32_t ms) override {
        std::lock_guard lock(mutex);
        waits.push_back(ms);
        changed.notify_all();
        return stop.isSet();
    }
    void advance(int by) {
        std::lock_guard lock(mutex);
        seconds += by;
    }
    bool waitForWaits(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return waits.size() >= n; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::int32_t seconds = 1'700'000'000;
    std::vector<std::uint32_t> waits;
};

using Recorder = UserDataTest::MonitoringEvents;

struct Service {
    explicit Service(std::vector<HttpServer::Reply> script)
        : server(std::move(script)), system(nullptr, Network::WinInet::create(),
                                            Core::utf8ToWide(server.url("/POST.php")), true, 10, clock) {
        system.addListener(&recorder);
        system.setLogin(u"u", u"p");
    }
    ~Service() {
        system.stop();
        system.removeListener(&recorder);
    }
    std::string body(std::size_t i) const {
        const std::string request = server.requests().at(i);
        return request.substr(request.find("\r\n\r\n") + 4);
    }
    TestSupport::CaptureLogger log{Log::Normal};
    TestClock clock;
    Recorder recorder;
    HttpServer server;
    Monitoring::System system;
};

// The packed record of the fix below: time 86410, y 0, x 2^30, altitude
// -12 m, speed 255 m/s, heading 0 (359.9 wraps).
const std::vector<std::uint8_t> ownRecord{0x8A, 0x51, 1, 0, 0, 0,    0,    0,    0,    0,
                                          0,    0,    0, 0, 0, 0x40, 0xF4, 0xFF, 0xFF, 0};

std::string compressed(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out(compressBound(bytes.size()));
    uLongf length = out.size();
    compress2(out.data(), &length, bytes.data(), bytes.size(), 6);
    out.resize(length);
    return Core::base64Encode(out);
}

} // namespace

TEST(MonitoringSystem, TheFourExchangesCarryExactBytesAndRepliesAreChecked) {
    const std::string chunk = compressed(std::vector<std::uint8_t>(40, 1));
    const std::string track = "<track id=\"%ID\" token=\"7\" size=\"40\" value=\"" + chunk + "\"/>";
    auto withId = [&](const std::string& id) { return track.substr(0, 11) + id + track.substr(14); };
    Service s({
        {200, "<mcr token=\"a&amp;b&quot;1\"/>"},
        {200, "<mfi><friend token=\"7\" name=\"Ann\"/><friend token=\"9\" name=\"B&amp;o\"/>"
              "<friend token=\"-3\" name=\"Neg\"/><friend token=\"11\"/></mfi>"},
        {200, "<mft>" + withId("5") + withId("6") + withId("6") +
                  "<track id=\"8\" token=\"7\" size=\"41\" value=\"" + chunk +
                  "\"/>"
                  "<track id=\"9\" token=\"7\" size=\"99999999\" value=\"" +
                  chunk +
                  "\"/>"
                  "<track id=\"9\" token=\"8\" size=\"40\" value=\"" +
                  chunk +
                  "\"/>"
                  "<wpt id=\"3\" token=\"9\" name=\"Gate\" type=\"47\" lat=\"0\" lon=\"90\"/>"
                  "<wpt id=\"4\" token=\"9\" type=\"47\" lat=\"95\" lon=\"90\"/>"
                  "<wpt id=\"2\" token=\"9\" type=\"47\" lat=\"1\" lon=\"1\"/>"
                  "<wpt id=\"8\" token=\"9\" type=\"47\" lat=\"1\" lon=\"1\"/>"
                  "<wpt id=\"5\" token=\"9\" type=\"-1\" lat=\"1\" lon=\"1\"/>"
                  "<wpt id=\"2147483648\" token=\"9\" type=\"1\" lat=\"1\" lon=\"1\"/></mft>"},
        {200, "<ok/>"},
        {200, "<mft/>"},
    });
    s.system.setLogin(u"u&\"<", u"p'w");
    s.system.setSeenPointIds({8, 1});
    Positioning::Fix fix;
    fix.dateTime = {2, 1, 1970, 0, 0, 10, 0};
    fix.x = 1 << 30;
    fix.altitude = -12.7f;
    fix.speed = 300.0f;
    fix.heading = 359.9f;
    s.system.ownTrack().onFix(true, fix);

    s.system.start();
    ASSERT_TRUE(s.recorder.waitFor("tracks"));
    WayPoint point;
    point.name = u"N&1";
    point.position = {1 << 30, 0};
    s.system.sendPoint(point, {9});
    s.system.sendPoint(point, {}); // no receivers: nothing is sent
    ASSERT_TRUE(s.server.waitForRequests(4));
    s.clock.advance(10); // the next track exchange falls due
    ASSERT_TRUE(s.server.waitForRequests(5));

    const std::string host = "Host: 127.0.0.1:" + std::to_string(s.server.port()) + "\r\n";
    const std::string connect = "<mct user=\"u&amp;&quot;&lt;\" password=\"p&apos;w\" />";
    EXPECT_EQ(s.server.requests()[0], "POST /POST.php HTTP/1.0\r\n" + host +
                                          "User-Agent: Mirel online\r\nPragma: no-cache\r\nAccept: */*\r\n"
                                          "Content-Length: 51\r\n\r\n" +
                                          connect);
    EXPECT_EQ(s.body(1), "<mfi token=\"a&amp;b&quot;1\" />");
    const std::string ownTrack = "<track size=\"20\" value=\"" + compressed(ownRecord) +
                                 "\" />\r\n<point lat=\"0.000000\" lon=\"90.000000\" />\r\n";
    EXPECT_EQ(s.body(2),
              "<mtr token=\"a&amp;b&quot;1\">\r\n<friend token=\"7\" />\r\n<friend token=\"9\" />\r\n" +
                  ownTrack + "</mtr>");
    EXPECT_EQ(s.body(3),
              "<mpt token=\"a&amp;b&quot;1\">\r\n<friend token=\"9\" />\r\n"
              "<wpt name=\"N&amp;1\" type=\"26131\" lat=\"0.000000\" lon=\"90.000000\" />\r\n</mpt>");
    // The newest point starts the next exchange again.
    EXPECT_EQ(s.body(4), "<mtr token=\"a&amp;b&quot;1\" min_track_id=\"7\" min_wpt_id=\"4\">\r\n"
                         "<friend token=\"7\" />\r\n<friend token=\"9\" />\r\n" +
                             ownTrack + "</mtr>");

    std::vector<std::pair<std::uint32_t, Monitoring::Friend>> friends;
    s.system.getFriends(friends);
    ASSERT_EQ(friends.size(), 2u);
    EXPECT_EQ(friends[1].second.name, u"B&o");
    EXPECT_EQ(friends[0].second.track->count(), 2u) << "a chunk sent twice is stored once";
    EXPECT_EQ(friends[0].second.lastTrackId, 6u);
    ASSERT_EQ(friends[1].second.points->count(), 1u);
    EXPECT_EQ(friends[1].second.points->points()[0].name, u"Gate");
    // A friend's token is masked as the session's is, in every line.
    for (const char* line :
         {"Friend tracks come in wrong order (token: ***, id: 6, size: 40)",
          "Friend track does not inflate to its size (token: ***, size: 41)",
          "Friend track does not inflate to its size (token: ***, size: 99999999)",
          "Unknown friend track (token: ***, size: 40)", "Friend waypoint off the globe (token: ***, id: 4)",
          "Friend waypoints come in wrong order (token: ***, id: 2)", "Deleted waypoint 8 received",
          "Friend added (token: *** name: 'Ann')", "Friend added (token: *** name: 'B&o')",
          "Online service connecting wait 1000 ms"})
        EXPECT_EQ(s.log.count(line), 1u) << line;
    for (const std::string& line : s.log.snapshot())
        EXPECT_FALSE(std::regex_search(line, std::regex("token[^*]*[0-9]"))) << line;

    s.system.addSeenPointId(3);
    EXPECT_TRUE(friends[1].second.points->points()[0].deleted());
    // A colour reaches the friend it names; an unknown token changes nobody.
    s.system.setFriendColor(9, 0xFF00FF00u);
    s.system.setFriendColor(12345, 0xFF0000FFu);
    Monitoring::Friend nine, seven;
    ASSERT_TRUE(s.system.getFriend(9, nine) && s.system.getFriend(7, seven));
    EXPECT_EQ(nine.color, 0xFF00FF00u);
    EXPECT_EQ(seven.color, friends[0].second.color);
    EXPECT_FALSE(s.system.getFriend(12345, nine));
    s.system.stop();
    EXPECT_EQ(s.recorder.all(),
              (std::vector<std::string>{"connected", "friends", "tracks", "points", "seen", "disconnected"}));
}

TEST(MonitoringSystem, FailedConnectsBackOffAndBadRepliesAreSurvived) {
    Service s({{200, "<mcr token="},
               {200, "<mcr/>"},
               {200, "<x token=\"t\"/>"},
               HttpServer::Reply::dropped(),
               {200, std::string(10, '<')}});
    s.system.start();
    ASSERT_TRUE(s.clock.waitForWaits(8));
    s.system.stop();
    const std::vector<std::uint32_t> firstWaits(s.clock.waits.begin(), s.clock.waits.begin() + 8);
    EXPECT_EQ(firstWaits, (std::vector<std::uint32_t>{1000, 1000, 2000, 4000, 8000, 16000, 32000, 32000}));
    EXPECT_EQ(s.log.count("Invalid MCT response (11 bytes): <mcr token="), 1u);
    EXPECT_EQ(s.log.count("Invalid MCT response (6 bytes): <mcr/>"), 1u);
    EXPECT_EQ(s.recorder.all(), std::vector<std::string>{"state"});
}

// At the highest severity the log shows neither the password nor the
// session token, not even their length; the replies still show their shape.
TEST(MonitoringSystem, TheLogNeverHoldsThePasswordOrTheToken) {
    Service s({{200, "<mcr token=\"tok-SECRET-42\"/>"}, {200, "<mfi/>"}, {200, "<mft/>"}});
    s.log.setSeverity(Log::AboveInfo);
    s.system.setLogin(u"anna", u"pw-SECRET-7");
    s.system.start();
    ASSERT_TRUE(s.server.waitForRequests(3));
    s.system.stop();
    ASSERT_EQ(s.body(0), "<mct user=\"anna\" password=\"pw-SECRET-7\" />");
    ASSERT_NE(s.body(1).find("tok-SECRET-42"), std::string::npos) << "the token is used";
    for (const std::string& line : s.log.lines()) {
        EXPECT_EQ(line.find("SECRET"), std::string::npos) << line;
        // The hex dump's bytes of "SECRET".
        EXPECT_EQ(line.find("53 45 43 52 45 54"), std::string::npos) << line;
    }
    EXPECT_EQ(s.log.count("MCT response (28 bytes): <mcr token=\"***\"/>"), 1u);
    EXPECT_EQ(s.log.count("Online service connected (session id: ***)"), 1u);
}

// A hostile server's replies: what the log shows of each is bounded and
// escaped, and only a few of them a minute are shown at all.
TEST(MonitoringSystem, AHostileServersRepliesAreLoggedWithinTheirBound) {
    const std::string huge = "<mcr" + std::string(10 << 20, '\x01') + "/>";
    std::vector<HttpServer::Reply> script(20, HttpServer::Reply(200, "\xff%<x/>"));
    script.front() = HttpServer::Reply(200, huge);
    // A minute later: the next reply comes with the count of those not shown.
    script.push_back(HttpServer::Reply::hanging());
    script.push_back(HttpServer::Reply(200, "<next/>"));
    Service s(script);
    s.system.start();
    ASSERT_TRUE(s.server.waitForRequests(21));
    const std::vector<std::string> firstMinute = s.log.snapshot();
    s.clock.advance(60);
    s.server.release();
    ASSERT_TRUE(s.server.waitForRequests(23));
    s.system.stop();
    const std::vector<std::string> lines = s.log.lines();
    const auto next = std::ranges::find(lines, "Invalid MCT response (7 bytes): <next/>");
    ASSERT_NE(next, lines.end());
    ASSERT_NE(next, lines.begin());
    EXPECT_EQ(*(next - 1), "8 server replies not logged");
    EXPECT_EQ(std::ranges::count_if(lines, [](const std::string& l) { return l.ends_with("not logged"); }), 1);
    std::size_t shown = 0;
    for (const std::string& line : firstMinute) {
        EXPECT_LE(line.size(), 400u) << line.substr(0, 400);
        if (line.starts_with("Invalid MCT response ("))
            ++shown;
    }
    // 256 characters of escaped text: "<mcr" and 84 bytes of 1 as %01.
    std::string ones;
    for (int i = 0; i < 84; ++i)
        ones += "%01";
    EXPECT_EQ(s.log.count("Invalid MCT response (10485766 bytes): <mcr" + ones + "... (10485678 more bytes)"), 1u);
    EXPECT_EQ(s.log.count("Invalid MCT response (6 bytes): %ff%25<x/>"), 11u);
    EXPECT_EQ(shown, 12u) << "twelve replies a minute are shown, the rest only counted";
}

TEST(MonitoringSystem, StopCancelsTheExchangeUnderWayAndDropsTheQueue) {
    Service s({{200, "<mcr token=\"t\"/>"}, HttpServer::Reply::hanging(), {200, "<mft/>"}});
    s.system.start();
    ASSERT_TRUE(s.server.waitForRequests(2));
    const auto before = std::chrono::steady_clock::now();
    s.system.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    s.server.release();
    EXPECT_EQ(s.server.requests().size(), 2u) << "the queued track exchange was dropped";
    EXPECT_EQ(s.recorder.all(), (std::vector<std::string>{"connected", "disconnected"}));
}
