#include "core/Daemon.h"
#include "core/SendInetMessage.h"
#include "core/Text.h"
#include "platform/Error.h"
#include "platform/Event.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/HttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

using Network::SendInetMessage;
using TestSupport::HttpServer;
using TestSupport::CaptureLogger;

namespace {

std::u16string wide(const std::string& text) {
    return Core::utf8ToWide(text);
}

// One exchange the way the online service makes it.
bool post(const std::shared_ptr<Network::WinInet::Impl>& binding, const std::string& url,
          const std::string& body, std::string& response, const Network::SendControl& control = {},
          const std::u16string& extra = u"") {
    return SendInetMessage(extra, binding, u"Mirel online", u"POST", wide(url), body, response, true,
                           control);
}

// Counts what the binding tells its listeners.
struct Recorder final : Network::InetListener {
    void requestOpened(std::uint32_t request) override {
        events.push_back("opened " + std::to_string(request));
    }
    void messageSent(std::uint32_t request, const std::string& body, std::uint32_t headerChars) override {
        events.push_back("sent " + std::to_string(request) + " " + body + " " + std::to_string(headerChars));
    }
    void sendFailed(std::uint32_t request, int error) override {
        events.push_back("send failed " + std::to_string(request) + " " + std::to_string(error));
    }
    void responseReceived(std::uint32_t request, const std::string& response) override {
        events.push_back("received " + std::to_string(request) + " " + response);
    }
    void responseFailed(std::uint32_t request, int error) override {
        events.push_back("response failed " + std::to_string(request) + " " + std::to_string(error));
    }
    std::vector<std::string> events;
};

// A logged binding over the system's HTTP client.
struct SendInetMessageTest : testing::Test {
    CaptureLogger log;
    std::shared_ptr<Network::WinInet::Impl> binding = Network::WinInet::create();
    void SetUp() override { ASSERT_TRUE(binding); }
};

} // namespace

TEST_F(SendInetMessageTest, RetriesAfter500TwiceThenReadsTheReplyOf200) {
    Recorder recorder;
    binding->addListener(&recorder);
    HttpServer server({{500, "busy"}, {500, "busy"}, {200, "<ok/>"}});
    std::string response = "stale";
    EXPECT_TRUE(post(binding, server.url("/POST.php"), "abc", response));
    EXPECT_EQ(response, "<ok/>");
    EXPECT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(log.count("Bad HTTP status: 500 - retrying"), 2u);
    EXPECT_EQ(log.count("HTTP status: 200 (ok)"), 1u);
    EXPECT_EQ(log.count("Connecting to 127.0.0.1:" + std::to_string(server.port())), 1u);
    EXPECT_EQ(log.count("Requesting /POST.php"), 1u);
    // 11 characters of "Accept: */*" and 19 of "Content-Length: 3\r\n".
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"opened 1", "sent 1 abc 30", "sent 1 abc 30",
                                                         "sent 1 abc 30", "received 1 <ok/>"}));
    binding->removeListener(&recorder);
}

TEST_F(SendInetMessageTest, ThreeFailedStatusesGiveUpAndOtherStatusesFailAtOnce) {
    {
        HttpServer server({{500, ""}, {400, ""}, {500, ""}, {200, "never"}});
        std::string response;
        EXPECT_FALSE(post(binding, server.url("/POST.php"), "x", response));
        EXPECT_EQ(server.requests().size(), 3u);
        EXPECT_EQ(log.count("Bad HTTP status: 400 - retrying"), 1u);
        EXPECT_EQ(log.count("SendInetMessage message sending failed 3 times"), 1u);
        EXPECT_TRUE(response.empty());
    }
    for (int status : {408, 404, 302}) {
        log.clear();
        HttpServer server({{status, ""}, {200, "never"}});
        std::string response;
        EXPECT_FALSE(post(binding, server.url("/POST.php"), "x", response)) << status;
        EXPECT_EQ(server.requests().size(), 1u) << status;
        const std::string expected =
            status == 408 ? "Bad HTTP status: 408 (timeout)" : "Bad HTTP status: " + std::to_string(status);
        EXPECT_EQ(log.count(expected), 1u) << status;
        EXPECT_EQ(log.countStartingWith("SendInetMessage message sending failed"), 0u);
    }
}

TEST_F(SendInetMessageTest, RequestBytesAreExactlyTheOnesTheServiceExpects) {
    HttpServer server({{200, ""}, {200, "r"}});
    const std::string body = "<mct user=\"u\" password=\"p\"/>";
    std::string response = "not cleared";
    ASSERT_TRUE(post(binding, server.url("/POST.php"), body, response));
    EXPECT_EQ(response, "") << "an empty reply with status 200 is a success";

    std::string reply;
    ASSERT_TRUE(post(binding, server.url("/POST.php"), "", reply, {}, u"X-Session: 7"));
    EXPECT_EQ(reply, "r");

    const std::string host = "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n";
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0], "POST /POST.php HTTP/1.0\r\n" + host +
                                        "User-Agent: Mirel online\r\n"
                                        "Pragma: no-cache\r\n"
                                        "Accept: */*\r\n"
                                        "Content-Length: 28\r\n"
                                        "\r\n" +
                                        body);
    EXPECT_EQ(server.requests()[1], "POST /POST.php HTTP/1.0\r\n" + host +
                                        "User-Agent: Mirel online\r\n"
                                        "Pragma: no-cache\r\n"
                                        "X-Session: 7\r\n"
                                        "Accept: */*\r\n"
                                        "Content-Length: 0\r\n"
                                        "\r\n");
}

TEST_F(SendInetMessageTest, RefusedUnresolvedAndSilentServersFailAfterOneAttempt) {
    std::string response;

    const std::string refused =
        "http://127.0.0.1:" + std::to_string(TestSupport::closedLoopbackPort()) + "/POST.php";
    EXPECT_FALSE(post(binding, refused, "x", response));
    EXPECT_EQ(log.count("HttpSendRequest failed to sent message (err 12029): Couldn't connect to server"), 1u);

    EXPECT_FALSE(post(binding, "http://mirel-service.invalid/POST.php", "x", response));
    EXPECT_EQ(log.count("HttpSendRequest failed to sent message (err 12007): Couldn't resolve host name"), 1u);
    EXPECT_EQ(log.count("Connecting to mirel-service.invalid:80"), 1u);

    // The 30 s receive time-out, shortened.
    HttpServer silent({HttpServer::Reply::hanging(), {200, "late"}});
    Network::SendControl control;
    control.receiveTimeoutMs = 100;
    EXPECT_FALSE(post(binding, silent.url("/POST.php"), "x", response, control));
    EXPECT_EQ(log.count("HttpSendRequest failed to sent message (err 12002): Timeout was reached"), 1u);
    EXPECT_EQ(silent.requests().size(), 1u) << "no second attempt after a time-out";

    EXPECT_EQ(log.countStartingWith("HttpSendRequest failed"), 3u);
    EXPECT_EQ(log.countStartingWith("SendInetMessage message sending failed"), 0u);

    EXPECT_FALSE(post(binding, "gopher://host.invalid/", "x", response));
    EXPECT_EQ(log.count("SendInetMessage failed to parse url 'gopher://host.invalid/' (err 12006)"), 1u);
    EXPECT_FALSE(post(nullptr, silent.url("/"), "x", response));
}

// A server that sends a byte now and then is never silent for the receive
// time-out, yet the whole exchange is bounded (by twice that time-out): the
// request fails as timed out instead of holding the service for the length
// of the trickle.
TEST_F(SendInetMessageTest, ATricklingServerCannotHoldARequestBeyondItsBound) {
    HttpServer trickle({HttpServer::Reply::trickling(400, std::chrono::milliseconds(25)), {200, "never"}});
    Network::SendControl control;
    control.receiveTimeoutMs = 200;
    std::string response;
    EXPECT_FALSE(post(binding, trickle.url("/POST.php"), "x", response, control));
    EXPECT_EQ(log.count("HttpSendRequest failed to sent message (err 12002): Timeout was reached"), 1u);
    EXPECT_EQ(response, "");
    EXPECT_EQ(trickle.requests().size(), 1u) << "no second attempt after a time-out";
    trickle.release();
}

namespace {

// Sends one message on the daemon thread, passing the daemon's stop event.
class PostOperation final : public Threading::Daemon::Operation {
  public:
    PostOperation(std::shared_ptr<Network::WinInet::Impl> binding, std::string url, bool& result,
                  Platform::Event& done)
        : m_binding(std::move(binding)), m_url(std::move(url)), m_result(result), m_done(done) {}
    void execute(const Platform::Event& stop) override {
        std::string response;
        Network::SendControl control;
        control.stop = &stop;
        m_result = post(m_binding, m_url, "x", response, control);
        m_done.set();
    }

  private:
    std::shared_ptr<Network::WinInet::Impl> m_binding;
    std::string m_url;
    bool& m_result;
    Platform::Event& m_done;
};

} // namespace

TEST_F(SendInetMessageTest, StoppingTheDaemonInterruptsAnExchangeUnderWay) {
    HttpServer server({HttpServer::Reply::hanging(), {200, "never"}});
    bool result = true;
    Platform::Event done(true);
    Threading::Daemon daemon(u"Online service");
    daemon.start();
    daemon.addOperation(std::make_unique<PostOperation>(binding, server.url("/POST.php"), result, done));
    ASSERT_TRUE(server.waitForRequests(1));

    const auto before = std::chrono::steady_clock::now();
    daemon.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5))
        << "the 30 s receive time-out was not waited out";
    EXPECT_TRUE(done.isSet());
    EXPECT_FALSE(result);
    EXPECT_EQ(log.count("HttpSendRequest failed to sent message (err 12017): Operation was aborted by an application callback"), 1u);
    EXPECT_EQ(server.requests().size(), 1u);
}

namespace {

// A client whose sends fail with scripted errors (0 means: answer 200).
class ScriptedInternet final : public Platform::Internet {
  public:
    // Counts the handles still open, so none is leaked or closed twice.
    struct Handle final : Platform::InternetObject {
        explicit Handle(int& count) : live(++count) {}
        ~Handle() override { --live; }
        int& live;
    };

    bool crackUrl(std::string_view url, Platform::UrlComponents& parts) override {
        return Platform::crackUrl(url, parts);
    }
    bool goOnline(std::string_view url) override {
        calls.push_back("goOnline " + std::string(url));
        return true;
    }
    bool attemptConnect() override { return true; }
    Platform::InternetHandle open(std::string_view, std::uint32_t) override { return new Handle(live); }
    Platform::InternetHandle connect(Platform::InternetHandle, std::string_view, std::uint16_t,
                                     std::uint32_t) override {
        return new Handle(live);
    }
    Platform::InternetHandle openRequest(Platform::InternetHandle, std::string_view, std::string_view,
                                         std::string_view, std::uint32_t) override {
        return new Handle(live);
    }
    bool closeHandle(Platform::InternetHandle handle) override {
        delete handle;
        return true;
    }
    bool setOption(Platform::InternetHandle, std::uint32_t option, const void* data, std::uint32_t) override {
        std::uint32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        calls.push_back("option " + std::to_string(option) + " " + std::to_string(value));
        return true;
    }
    bool addRequestHeaders(Platform::InternetHandle, std::string_view, std::uint32_t) override {
        return true;
    }
    bool sendRequest(Platform::InternetHandle, std::string_view, const void*, std::uint32_t) override {
        const int error = errors.empty() ? 0 : errors.front();
        if (!errors.empty()) errors.pop_front();
        calls.push_back("send " + std::to_string(error));
        Platform::setLastError(error);
        return error == 0;
    }
    bool queryStatusCode(Platform::InternetHandle, std::uint32_t& status) override {
        status = 200;
        return true;
    }
    bool queryDataAvailable(Platform::InternetHandle, std::uint32_t& bytes) override {
        bytes = 0;
        return true;
    }
    bool readFile(Platform::InternetHandle, void*, std::uint32_t, std::uint32_t& read) override {
        read = 0;
        return true;
    }
    bool setCancelEvent(Platform::InternetHandle, const Platform::Event*) override { return true; }

    std::deque<int> errors;
    std::vector<std::string> calls;
    int live = 0;
};

} // namespace

TEST(SendInetMessage, SendErrorsDecideBetweenRetryGoingOnlineAndGivingUp) {
    CaptureLogger log;
    auto api = std::make_shared<ScriptedInternet>();
    auto binding = Network::WinInet::create(api);
    const std::u16string url = u"http://service.invalid/POST.php";
    std::string response;

    // Offline, with auto-connect: go online before the next attempt.
    api->errors = {2};
    EXPECT_TRUE(SendInetMessage(u"", binding, u"agent", u"POST", url, "x", response, true));
    EXPECT_EQ(api->calls, (std::vector<std::string>{"option 6 30000", "send 2",
                                                    "goOnline http://service.invalid/POST.php", "send 0"}));
    EXPECT_EQ(log.count("Offline mode detected - restoring online"), 1u);

    // Offline without auto-connect: only a note, then the next attempt.
    api->calls.clear();
    api->errors = {2, 2, 2};
    EXPECT_FALSE(SendInetMessage(u"", binding, u"agent", u"POST", url, "x", response, false));
    EXPECT_EQ(api->calls, (std::vector<std::string>{"option 6 30000", "send 2", "send 2", "send 2"}));
    EXPECT_EQ(log.count("Auto connecting is off..."), 3u);
    EXPECT_EQ(log.count("SendInetMessage message sending failed 3 times"), 1u);

    // Errors that end the exchange at once.
    for (int error : {12002, 12007, 12019, 12029, 12017}) {
        api->calls.clear();
        api->errors = {error, 0};
        EXPECT_FALSE(SendInetMessage(u"", binding, u"agent", u"POST", url, "x", response, true)) << error;
        EXPECT_EQ(api->calls.size(), 2u) << error << ": one send only";
    }

    // Any other error tries again.
    api->calls.clear();
    api->errors = {12030, 12031};
    EXPECT_TRUE(SendInetMessage(u"", binding, u"agent", u"POST", url, "x", response, true));
    EXPECT_EQ(api->calls, (std::vector<std::string>{"option 6 30000", "send 12030", "send 12031", "send 0"}));
    EXPECT_EQ(api->live, 0);
}

TEST_F(SendInetMessageTest, DamagedRepliesNeverCrashAndNeverYieldMoreThanWasSent) {
    const std::string valid =
        "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 12\r\n\r\n<ok id=\"1\"/>";
    TestSupport::Damage damage(20261206u, {"Content-Length: 99999999\r\n", "\r\n"});
    Network::SendControl control;
    control.receiveTimeoutMs = 500;
    for (std::uint64_t round = 0, rounds = TestSupport::Damage::rounds(120); round < rounds; ++round) {
        std::string damaged = damage.apply(valid);
        if (damaged.empty()) damaged = "\r\n";
        HttpServer server({HttpServer::Reply::rawBytes(damaged)});
        std::string response;
        const bool ok = post(binding, server.url("/POST.php"), "x", response, control);
        EXPECT_TRUE(!ok || response.size() <= damaged.size()) << "round " << round;
    }
    // The untouched reply still works after all that.
    HttpServer server({HttpServer::Reply::rawBytes(valid)});
    std::string response;
    EXPECT_TRUE(post(binding, server.url("/POST.php"), "x", response, control));
    EXPECT_EQ(response, "<ok id=\"1\"/>");
}
