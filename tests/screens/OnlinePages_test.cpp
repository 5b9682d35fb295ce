// The online pages and the map page's friends layer, built from the shipped
// demo design, against a real online service talking to the loopback test
// server: the friends list with its counts, a friend's options, the
// receivers of a waypoint (with the request bytes sent), and a friend's
// track drawn in its colour.

#include "screens/OnlineFriendOptionsPage.h"
#include "screens/OnlineFriendsListPage.h"
#include "screens/PointReceiversListPage.h"
#include "screens/ReceivedWayPointsListPage.h"
#include "screens/ServicesPropPage.h"
#include "screens/fdPageMap.h"

#include "core/Config.h"
#include "core/Text.h"
#include "core/WinInet.h"
#include "platform/Event.h"
#include "render/Pixels.h"
#include "tests/render/SurfaceTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/HttpServer.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/userdata/MonitoringEvents.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"
#include "userdata/PackedTrack.h"
#include "userdata/TrackFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace Screens;
using TestSupport::HttpServer;

namespace {

// Periods fall due only when the test moves the clock; back-offs return at
// once.
struct TestClock final : Monitoring::Clock {
    Positioning::DateTime localTime() override {
        std::lock_guard lock(mutex);
        return Positioning::fromUnixTime(seconds);
    }
    bool waitForStop(const Platform::Event& stop, std::uint32_t) override { return stop.isSet(); }
    void advance(int by) {
        std::lock_guard lock(mutex);
        seconds += by;
    }
    std::mutex mutex;
    std::int32_t seconds = 1'700'000'000;
};

using Events = UserDataTest::MonitoringEvents;

// A received track along y = 0 from x = -100 to 100 in steps of 10.
std::string trackElement(std::uint32_t token) {
    std::vector<Monitoring::CollectedPoint> points;
    for (int x = -100; x <= 100; x += 10)
        points.push_back({0, static_cast<std::uint64_t>(1'700'000'000 + x), x, 0, 0, 0, 0});
    const auto packed = Monitoring::PackedTrack::pack(points);
    return "<track id=\"1\" token=\"" + std::to_string(token) + "\" size=\"" + std::to_string(packed.size()) +
           "\" value=\"" + Monitoring::PackedTrack::compress(packed) + "\"/>";
}

// Ann (7) has a track of 21 points and 2 waypoints, Bob (9) 1 waypoint, Cy
// (11) nothing.
std::vector<HttpServer::Reply> login(std::vector<HttpServer::Reply> more = {}) {
    std::vector<HttpServer::Reply> script{
        {200, "<mcr token=\"s1\"/>"},
        {200, "<mfi><friend token=\"9\" name=\"Bob\"/><friend token=\"7\" name=\"Ann\"/>"
              "<friend token=\"11\" name=\"Cy\"/></mfi>"},
        {200, "<mft>" + trackElement(7) +
                  "<wpt id=\"1\" token=\"7\" name=\"Gate\" type=\"47\" lat=\"1\" lon=\"1\"/>"
                  "<wpt id=\"2\" token=\"7\" name=\"Shop\" type=\"47\" lat=\"1\" lon=\"2\"/>"
                  "<wpt id=\"3\" token=\"9\" name=\"Park\" type=\"47\" lat=\"1\" lon=\"3\"/></mft>"},
    };
    script.insert(script.end(), more.begin(), more.end());
    return script;
}

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

struct Rig {
    explicit Rig(std::vector<HttpServer::Reply> script)
        : server(std::move(script)),
          service(nullptr, Network::WinInet::create(), Core::utf8ToWide(server.url("/POST.php")), true, 10, clock) {
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts));
        // Three distinct plural forms, so that the rule's choice shows.
        messages.loadText("<messages><message name=\"points_1\" text=\"pt\"/><message name=\"points_2\" "
                          "text=\"pts\"/><message name=\"points_5\" text=\"pnts\"/><message name=\"minute\" "
                          "text=\"min\"/><message name=\"second\" text=\"s\"/><message name=\"point_sent_to\" "
                          "text=\"goes to\"/></messages>");
        service.setLogin(u"ann", u"pw");
        new Ui::fdPage(&ui, "menuMain", nullptr);
        friends = new OnlineFriendsListPage(&ui, messages, &service);
        options = new OnlineFriendOptionsPage(&ui, messages, &service);
        receivers = new PointReceiversListPage(&ui, &service, &messages);
        received = new ReceivedWayPointsListPage(&ui, std::make_unique<MonitoringPointsSource>(service), nullptr,
                                                 nullptr, config.root(), &messages, nullptr);
        account = new ServicesPropPage(&ui, config.root(), messages, &service, &layouts,
                                       [this](bool on) { autoDisable = on; });
        for (Ui::fdPage* page : {static_cast<Ui::fdPage*>(friends), static_cast<Ui::fdPage*>(options),
                                 static_cast<Ui::fdPage*>(receivers), static_cast<Ui::fdPage*>(account),
                                 static_cast<Ui::fdPage*>(received)}) {
            page->setRect(0, 0, 800, 480);
            EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        }
        ui.activatePage(ui.findPage("menuMain"));
        // Told last: when it has an event, the pages have their flags.
        service.addListener(&events);
    }
    ~Rig() {
        service.stop();
        service.removeListener(&events);
    }
    void connect(const std::string& last = "tracks") {
        service.start();
        ASSERT_TRUE(events.waitFor(last));
    }
    template <class T = Ui::fdStatic> T* row(Ui::fdPage* page, std::size_t i, const char* child) {
        return dynamic_cast<T*>(dynamic_cast<Ui::fdList*>(page->findChild("list"))->rowWidget(i)->findChild(child));
    }
    std::u16string text(Ui::fdWindowBase* w, const char* child) {
        return dynamic_cast<Ui::fdStatic*>(w->findChild(child))->text();
    }
    bool shown(Ui::fdPage* page, const char* child) { return page->findChild(child)->visible(); }
    Monitoring::Friend friendOf(std::uint32_t token) {
        Monitoring::Friend f;
        EXPECT_TRUE(service.getFriend(token, f));
        return f;
    }
    // Taps the on-screen keys that type the text.
    void type(const std::u16string& text) {
        for (char16_t c : text) {
            bool typed = false;
            for (const auto& key : account->keyboard()->keys())
                if (!typed && key.caption == std::u16string(1, c) && key.widget != nullptr) {
                    key.widget->clicked();
                    typed = true;
                }
            ASSERT_TRUE(typed) << static_cast<int>(c);
        }
    }
    std::string body(std::size_t i) const {
        const std::string request = server.requests().at(i);
        return request.substr(request.find("\r\n\r\n") + 4);
    }

    TestSupport::CaptureLogger log{Log::Normal};
    TestClock clock;
    Events events;
    HttpServer server;
    Monitoring::System service;
    DesignEngine engine;
    Ui::fdInterface ui{&engine, nullptr};
    Ui::KeyboardLayouts layouts;
    Core::Config config;
    Messages messages;
    ServicesPropPage* account = nullptr;
    bool autoDisable = true;
    OnlineFriendsListPage* friends = nullptr;
    OnlineFriendOptionsPage* options = nullptr;
    PointReceiversListPage* receivers = nullptr;
    ReceivedWayPointsListPage* received = nullptr;
};

} // namespace

TEST(OnlinePages, FriendsListFollowsTheServiceAndCountsPoints) {
    Rig r(login());
    auto* animation = dynamic_cast<Ui::fdMultiStatic*>(r.friends->findChild("connect_animation"));
    const std::int32_t frame = animation->current();
    r.ui.goToPage(r.friends);
    EXPECT_EQ(r.friends->listMode(), 0);
    EXPECT_FALSE(r.shown(r.friends, "list"));
    EXPECT_TRUE(r.shown(r.friends, "button2"));
    // Not connecting: the animation is hidden and never started.
    EXPECT_FALSE(animation->visible());
    EXPECT_EQ(animation->current(), frame);
    auto* enable = dynamic_cast<Ui::fdCheckedButton*>(r.friends->findChild("enable_check"));
    EXPECT_FALSE(enable->checked());

    enable->toggle(); // the user's tap
    r.friends->childClicked("enable_check");
    EXPECT_TRUE(r.service.isRunning());
    ASSERT_TRUE(r.events.waitFor("tracks"));
    // The daemon's callbacks only raised flags: the widgets change at the tick.
    EXPECT_TRUE(r.shown(r.friends, "connect_animation"));
    r.friends->tick(100);
    EXPECT_FALSE(r.shown(r.friends, "connect_animation"));
    EXPECT_EQ(r.friends->listMode(), 1);
    EXPECT_TRUE(r.shown(r.friends, "list"));
    EXPECT_FALSE(r.shown(r.friends, "button2"));

    // Name order; counts with the plural forms 1 -> one, 2 -> few, 21 -> one.
    EXPECT_EQ(r.row(r.friends, 0, "text_with_desc")->text(), u"Ann");
    EXPECT_EQ(r.row(r.friends, 0, "desc_text")->text(), u"21 pt, 2 pts");
    EXPECT_EQ(r.row(r.friends, 0, "color")->color(), 0xFF0000FFu);
    EXPECT_EQ(r.row(r.friends, 1, "desc_text")->text(), u"1 pt");
    EXPECT_EQ(r.row(r.friends, 2, "text")->text(), u"Cy");
    // Only the texts with something to say show.
    EXPECT_FALSE(r.row(r.friends, 0, "text")->visible());
    EXPECT_TRUE(r.row(r.friends, 0, "desc_text")->visible());
    EXPECT_TRUE(r.row(r.friends, 2, "text")->visible());
    EXPECT_FALSE(r.row(r.friends, 2, "desc_text")->visible());
    EXPECT_FALSE(r.row(r.friends, 3, "check_show")->visible());
    EXPECT_FALSE(r.friends->findChild("up")->enabled());

    // A tap on Bob's check box hides him (track and waypoints together).
    auto* bobCheck = r.row<Ui::fdCheckedButton>(r.friends, 1, "check_show");
    ASSERT_TRUE(bobCheck->checked());
    bobCheck->clicked();
    EXPECT_EQ(r.friendOf(9).showTrack, 0);
    EXPECT_EQ(r.friendOf(9).sendPoints, 0);
    bobCheck->clicked(); // and shows him again
    EXPECT_EQ(r.friendOf(9).showTrack, 1);
    EXPECT_EQ(r.friendOf(9).sendPoints, 1);
    bobCheck->clicked();
    EXPECT_EQ(r.ui.activePage(), r.friends);

    // A tap elsewhere on Ann's row opens her options.
    dynamic_cast<Ui::fdList*>(r.friends->findChild("list"))->childClicked("0");
    ASSERT_EQ(r.ui.activePage(), r.options);
    EXPECT_EQ(r.options->token(), 7u);
    EXPECT_EQ(r.text(r.options, "name_label"), u"Ann");
    EXPECT_EQ(r.text(r.options, "points_label"), u"2 pts");
    EXPECT_EQ(r.text(r.options, "dist_label"), u"-") << "no car position";
    EXPECT_TRUE(r.options->findChild("button_go")->enabled());
    EXPECT_TRUE(r.options->findChild("show_points")->enabled());
}

TEST(OnlinePages, FriendOptionsColourCycleAndCloseWhenTheFriendGoes) {
    Rig r(login({{200, "<mfi><friend token=\"9\" name=\"Bob\"/></mfi>"}, {200, "<mft/>"}}));
    r.connect();
    r.service.setFriendColor(9, 0x12345678u); // not in the palette
    ASSERT_TRUE(r.options->open(9));
    EXPECT_EQ(r.options->colourIndex(), 0u);
    EXPECT_FALSE(r.options->findChild("button_go")->enabled()) << "Bob sent no track";
    ASSERT_TRUE(r.options->open(7));
    r.ui.goToPage(r.options);
    for (int i = 0; i < 12; ++i)
        r.options->childClicked("track_color");
    EXPECT_EQ(r.options->colourIndex(), 0u);
    r.options->childClicked("track_color");
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(r.options->findChild("track_color"))->color(), trackPalette[1]);
    r.options->childClicked("back");
    EXPECT_EQ(r.friendOf(7).color, trackPalette[0]) << "back stores nothing";

    r.ui.goToPage(r.options);
    ASSERT_TRUE(r.options->open(7));
    r.options->childClicked("track_color");
    dynamic_cast<Ui::fdCheckedButton*>(r.options->findChild("send_check"))->toggle();
    r.options->childClicked("ok");
    EXPECT_EQ(r.friendOf(7).color, trackPalette[1]);
    EXPECT_EQ(r.friendOf(7).sendPoints, 0);
    EXPECT_EQ(r.friendOf(7).showTrack, 1);
    EXPECT_FALSE(r.options->open(42));
    // Each friend's page opens on that friend's colour (Bob's is none of
    // the palette's: the first).
    for (const auto& [token, colour] : {std::pair{9u, trackPalette[0]}, std::pair{7u, trackPalette[1]},
                                        std::pair{9u, trackPalette[0]}}) {
        ASSERT_TRUE(r.options->open(token));
        EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(r.options->findChild("track_color"))->color(), colour) << token;
    }

    // The next friend list lacks Ann: her page closes at the next tick.
    r.ui.goToPage(r.options);
    ASSERT_TRUE(r.options->open(7));
    const long before = r.events.count("friends");
    r.clock.advance(120);
    ASSERT_TRUE(r.events.waitUntil([&] {
        Monitoring::Friend f;
        return !r.service.getFriend(7, f) && r.events.count("friends") > before;
    }));
    EXPECT_EQ(r.ui.activePage(), r.options);
    r.options->tick(100);
    EXPECT_NE(r.ui.activePage(), r.options);
}

TEST(OnlinePages, FriendOptionsShowTheFriendsOwnReceivedPoints) {
    Rig r(login());
    r.connect();
    // The newest point (Bob's Park, id 3) would open the recent group; Ann's
    // page asks for hers.
    ASSERT_TRUE(r.options->open(7));
    r.ui.goToPage(r.options);
    r.options->childClicked("show_points");
    ASSERT_EQ(r.ui.activePage(), r.received);
    r.ui.applyPendingChanges();
    ReceivedWayPointsListPage::ReceivedPointsBySenderProvider* groups = r.received->provider();
    ASSERT_NE(groups, nullptr);
    const std::int32_t ann = groups->groupOfToken(7);
    ASSERT_GT(ann, 0) << "after the recent group";
    for (std::int32_t g = 0; g < r.received->model()->groupCount(); ++g)
        EXPECT_EQ(r.received->model()->isExpanded(g), g == ann) << g;
    EXPECT_EQ(r.received->pendingSender(), ReceivedWayPointsListPage::NoSender) << "used once";

    // Cy sent nothing: the list opens as usual, on the recent group.
    r.ui.goBack();
    ASSERT_TRUE(r.options->open(11));
    r.options->childClicked("show_points");
    ASSERT_EQ(r.ui.activePage(), r.received);
    EXPECT_TRUE(r.received->model()->isExpanded(0));
    EXPECT_FALSE(r.received->model()->isExpanded(ann));
}

TEST(OnlinePages, ReceiversGetTheWaypointWithExactRequestBytes) {
    Rig r(login({{200, "<ok/>"}}));
    r.connect();
    r.service.setFriendSendPoints(11, 0);
    WayPoint point;
    point.name = u"Caf\u00E9 <1>";
    point.position = {1 << 30, 0};
    r.receivers->setPoint(point);
    r.ui.goToPage(r.receivers);
    EXPECT_EQ(r.row(r.receivers, 0, "text")->text(), u"Ann");

    Ui::fdWindowBase* send = r.receivers->findChild("button_ok");
    EXPECT_FALSE(send->enabled()) << "nobody chosen: Send looks dead";
    r.receivers->childClicked("button_ok");
    EXPECT_EQ(r.ui.activePage(), r.receivers) << "nobody chosen: nothing is sent";

    auto* all = dynamic_cast<Ui::fdCheckedButton*>(r.receivers->findChild("select_all_check"));
    all->toggle();
    r.receivers->childClicked("select_all_check");
    EXPECT_EQ(r.receivers->model()->selection(), (std::vector<std::uint32_t>{7, 9})) << "Cy takes no waypoints";
    EXPECT_TRUE(r.row<Ui::fdCheckedButton>(r.receivers, 1, "check_show")->checked());
    EXPECT_TRUE(send->enabled());
    all->toggle();
    r.receivers->childClicked("select_all_check");
    EXPECT_TRUE(r.receivers->model()->selection().empty());
    EXPECT_FALSE(send->enabled());

    // "All friends" is checked exactly when everyone it would choose is
    // chosen, also one by one.
    auto* list = dynamic_cast<Ui::fdList*>(r.receivers->findChild("list"));
    for (const auto& [row, checked] : {std::pair{"0", false}, {"1", true}, {"2", true}, {"0", false}, {"2", false}}) {
        list->childClicked(row);
        EXPECT_EQ(all->checked(), checked) << row;
    }
    list->childClicked("1");
    EXPECT_TRUE(r.receivers->model()->selection().empty());

    // A tap on a row toggles its box; a tap on the box itself as well.
    list->childClicked("2");
    EXPECT_EQ(r.receivers->model()->selection(), std::vector<std::uint32_t>{11});
    r.row<Ui::fdCheckedButton>(r.receivers, 1, "check_show")->clicked();
    EXPECT_EQ(r.receivers->model()->selection(), (std::vector<std::uint32_t>{9, 11}));
    list->childClicked("2");
    EXPECT_EQ(r.receivers->model()->selection(), std::vector<std::uint32_t>{9});
    // "All" with Bob chosen already takes each once; off again, nobody.
    all->toggle();
    r.receivers->childClicked("select_all_check");
    EXPECT_EQ(r.receivers->model()->selection(), (std::vector<std::uint32_t>{7, 9}));
    all->toggle();
    r.receivers->childClicked("select_all_check");
    EXPECT_TRUE(r.receivers->model()->selection().empty());
    list->childClicked("1");

    // Sent, the page says what went to whom, and leaves when that is read.
    r.receivers->childClicked("button_ok");
    ASSERT_NE(r.receivers->messageBox(), nullptr);
    EXPECT_EQ(r.text(r.receivers->messageBox(), "msg_text"), u"\u201CCaf\u00E9 <1>\u201D goes to Bob");
    EXPECT_EQ(r.ui.activePage(), r.receivers);
    r.receivers->childClicked("mb");
    EXPECT_NE(r.ui.activePage(), r.receivers);
    EXPECT_EQ(r.receivers->messageBox(), nullptr);
    ASSERT_TRUE(r.server.waitForRequests(4));
    EXPECT_EQ(r.body(3), "<mpt token=\"s1\">\r\n<friend token=\"9\" />\r\n"
                         "<wpt name=\"Caf\xC3\xA9 &lt;1&gt;\" type=\"26131\" lat=\"0.000000\" lon=\"90.000000\" "
                         "/>\r\n</mpt>");
}

TEST(OnlinePages, MapPageShowsIndicatorsAndDrawsShownFriendsInTheirColour) {
    Rig r(login());
    Core::Config config;
    MapCamera camera;
    UserDataTest::flatCamera(camera, 300, 100);
    fdPageMap::Services services;
    services.config = config.root();
    services.camera = &camera;
    services.monitoring = &r.service;
    auto* map = new fdPageMap(&r.ui, services);
    map->setRect(0, 0, 800, 480);
    ASSERT_TRUE(Ui::buildPage(*map, r.engine.description));
    EXPECT_FALSE(map->findChild("monitoring")->visible());

    auto draw = [&] {
        RenderTest::SurfacePtr surface = RenderTest::makeSurface(32, 300, 100);
        map->drawTracksAndFriends(xe::Canvas::of(surface.get()), camera);
        return surface;
    };
    auto inked = [](SDL_Surface* s, std::uint32_t colour) {
        int n = 0;
        for (int x = 0; x < s->w; ++x)
            n += RenderTest::pixelAt(s, x, s->h / 2) == xe::mapColor(colour, s);
        return n;
    };
    EXPECT_EQ(inked(draw().get(), trackPalette[0]), 0) << "no service running";

    std::uint32_t now = 1000;
    r.ui.setClock([&] { return now; });
    // Told after the map page: when it has the points, the page has its flag.
    r.service.removeListener(&r.events);
    r.service.addListener(&r.events);
    r.connect("points");
    ASSERT_TRUE(r.events.waitFor("tracks"));
    map->tick(1000);
    EXPECT_TRUE(map->findChild("monitoring")->visible());
    EXPECT_TRUE(map->findChild("received_points")->visible());
    // The received points blink the button (its normal and pressed looks
    // change places each half second) until it is tapped; it ends in its
    // own look.
    auto* points = dynamic_cast<Ui::fdButtonX*>(map->findChild("received_points"));
    points->look(0).material.left = 1;
    points->look(1).material.left = 2;
    for (const auto& [at, look] : {std::pair{1400u, 1}, std::pair{1600u, 2}, std::pair{2100u, 1}, std::pair{2600u, 2}}) {
        map->tick(at);
        EXPECT_EQ(points->look(0).material.left, look) << at;
    }
    map->childClicked("received_points");
    map->tick(2700);
    EXPECT_EQ(points->look(0).material.left, 1);

    r.service.setFriendColor(7, trackPalette[2]);
    // The track spans x = -100..100 around the centre: 200 pixels and more.
    EXPECT_GE(inked(draw().get(), trackPalette[2]), 195);
    r.service.setFriendShowTrack(7, 0);
    EXPECT_EQ(inked(draw().get(), trackPalette[2]), 0);

    map->childClicked("monitoring");
    EXPECT_EQ(r.ui.activePage(), r.friends);
    r.service.stop();
    map->tick(1700);
    EXPECT_FALSE(map->findChild("monitoring")->visible());
}

TEST(OnlinePages, AccountPageLogsInAndStoresTheOptions) {
    Rig r({{200, "<mcr token=\"s1\"/>"}});
    r.config.root()->set("online_user", std::string("old"));
    r.config.root()->set("online_password", std::string("secret"));
    r.config.root()->set("online_refresh_period", 50); // not offered: shown as the first period
    r.ui.goToPage(r.account);
    EXPECT_EQ(r.account->nameBox().text(), u"old");
    EXPECT_EQ(r.text(r.account, "refresh_period"), u"10 s");

    // Typing a new password and leaving with "back" changes nothing.
    r.account->childClicked("password_box");
    ASSERT_NE(r.account->keyboard(), nullptr);
    EXPECT_FALSE(r.shown(r.account, "refresh_period_next"));
    r.type(u"xy");
    EXPECT_EQ(r.account->passwordBox().text(), u"secretxy");
    r.account->childClicked("back");
    EXPECT_EQ(r.account->editMode(), 0);
    EXPECT_EQ(r.account->passwordBox().text(), u"secret");
    EXPECT_EQ(r.ui.activePage(), r.account);
    EXPECT_TRUE(r.shown(r.account, "refresh_period_next"));

    // Name, Tab to the password, Enter: the service logs in with them.
    r.account->childClicked("name_box");
    for (int i = 0; i < 3; ++i)
        r.account->keyboard()->childClicked(std::to_string(
            std::find_if(r.account->keyboard()->keys().begin(), r.account->keyboard()->keys().end(),
                         [](const auto& key) { return key.caption == u"[bsp]"; }) -
            r.account->keyboard()->keys().begin()));
    r.type(u"bo");
    r.account->keyDown(SDLK_TAB);
    EXPECT_EQ(r.account->editMode(), 2);
    r.type(u"p");
    r.account->keyDown(SDLK_RETURN);
    EXPECT_EQ(r.account->editMode(), 0);
    EXPECT_EQ(r.account->keyboard(), nullptr);
    EXPECT_EQ(r.config.root()->value("online_user", std::string()), "bo");
    EXPECT_EQ(r.config.root()->value("online_password", std::string()), "secretp");
    r.service.start();
    ASSERT_TRUE(r.events.waitFor("connected"));
    EXPECT_EQ(r.body(0), "<mct user=\"bo\" password=\"secretp\" />");

    // The period wraps both ways; "ok" applies and stores the options.
    r.account->childClicked("refresh_period_prev");
    EXPECT_EQ(r.text(r.account, "refresh_period"), u"10 min");
    r.account->childClicked("refresh_period_next");
    r.account->childClicked("refresh_period_next");
    r.account->childClicked("refresh_period_next");
    EXPECT_EQ(r.text(r.account, "refresh_period"), u"30 s");
    r.account->childClicked("refresh_period_prev");
    r.account->childClicked("refresh_period_prev");
    r.account->childClicked("refresh_period_prev");
    dynamic_cast<Ui::fdCheckedButton*>(r.account->findChild("auto_disable_check"))->toggle();
    r.account->childClicked("ok");
    EXPECT_NE(r.ui.activePage(), r.account);
    EXPECT_EQ(r.service.trackPeriod(), 600u);
    EXPECT_EQ(r.service.friendInfoPeriod(), 1200u);
    EXPECT_FALSE(r.autoDisable);
    EXPECT_EQ(r.config.root()->value("online_refresh_period", 0), 600);
    EXPECT_FALSE(r.config.root()->value("online_auto_disable", true));
    EXPECT_TRUE(r.config.root()->value("online_auto_connect", false));
}

TEST(OnlinePages, FriendsUpdateKeepsTheScrollUnlessTheCountChanges) {
    // n friends from token `first` on.
    auto friendList = [](int n, int first = 1) {
        std::string reply = "<mfi>";
        for (int i = first; i < first + n; ++i)
            reply += "<friend token=\"" + std::to_string(i) + "\" name=\"F" + std::to_string(i) + "\"/>";
        return HttpServer::Reply{200, reply + "</mfi>"};
    };
    Rig r({{200, "<mcr token=\"s1\"/>"}, friendList(8), {200, "<mft/>"}, friendList(8, 2), {200, "<mft/>"},
           friendList(9), {200, "<mft/>"}});
    r.connect("friends");
    r.ui.goToPage(r.friends);
    auto* model = r.friends->model();
    ASSERT_EQ(model->count(), 8);
    EXPECT_TRUE(r.friends->findChild("down")->enabled());
    r.friends->childClicked("down");
    r.friends->childClicked("down");
    EXPECT_EQ(model->firstVisibleIndex(), 2);
    EXPECT_TRUE(r.friends->findChild("up")->enabled());
    EXPECT_FALSE(r.friends->findChild("down")->enabled());
    // Each update told as the service's friends: token 9 joins, then a ninth.
    auto has = [&r](std::uint32_t token, std::size_t count) {
        return [&r, token, count, before = r.events.count("friends")] {
            Monitoring::Friend f;
            std::vector<std::pair<std::uint32_t, Monitoring::Friend>> all;
            r.service.getFriends(all);
            return all.size() == count && r.service.getFriend(token, f) && r.events.count("friends") > before;
        };
    };
    for (const auto& [token, count, first] : {std::tuple{9u, 8u, 2}, std::tuple{1u, 9u, 0}}) {
        auto updated = has(token, count);
        r.clock.advance(120);
        ASSERT_TRUE(r.events.waitUntil(updated));
        r.friends->tick(100);
        EXPECT_EQ(model->firstVisibleIndex(), first) << model->count();
    }
    EXPECT_EQ(model->count(), 9);
}
