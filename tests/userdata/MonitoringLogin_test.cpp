#include "core/Text.h"
#include "core/WinInet.h"
#include "platform/Event.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/HttpServer.h"
#include "userdata/MonitoringSystem.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

using TestSupport::HttpServer;

namespace {

// Back-off waits return at once; the first one runs a hook on the daemon's
// thread, between the connect request's making and its sending.
struct HookClock final : Monitoring::Clock {
    Positioning::DateTime localTime() override { return Positioning::fromUnixTime(1'700'000'000); }
    bool waitForStop(const Platform::Event& stop, std::uint32_t) override {
        std::function<void()> once;
        {
            std::lock_guard lock(mutex);
            once.swap(hook);
        }
        if (once) once();
        return stop.isSet();
    }
    std::mutex mutex;
    std::function<void()> hook;
};

std::string body(const HttpServer& server, std::size_t i) {
    const std::string request = server.requests().at(i);
    return request.substr(request.find("\r\n\r\n") + 4);
}

TEST(MonitoringLogin, APasswordChangedDuringAConnectDropsTheOldSession) {
    TestSupport::CaptureLogger log{Log::Normal};
    HookClock clock;
    HttpServer server({{200, "<mcr token=\"old\"/>"}, {200, "<mcr token=\"new\"/>"}, {200, "<mfi/>"}});
    Monitoring::System system(nullptr, Network::WinInet::create(), Core::utf8ToWide(server.url("/POST.php")),
                              true, 10, clock);
    system.setLogin(u"u", u"p");
    clock.hook = [&system] { system.setLogin(u"u", u"q"); };
    system.start();
    ASSERT_TRUE(server.waitForRequests(3));
    system.stop();
    EXPECT_EQ(body(server, 0), "<mct user=\"u\" password=\"p\" />") << "the request made before the change";
    EXPECT_EQ(body(server, 1), "<mct user=\"u\" password=\"q\" />");
    EXPECT_EQ(body(server, 2), "<mfi token=\"new\" />") << "the old login's session is never used";
    // One session, its id kept out of the log.
    EXPECT_EQ(log.count("Online service connected (session id: ***)"), 1u);
}

} // namespace
