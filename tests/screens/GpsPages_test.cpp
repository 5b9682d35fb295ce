// The GPS information and setup pages built from the shipped demo design
// over a positioning system whose receiver is a replayed NMEA stream: what
// they show for each receiver state, the sky plot's geometry and colours,
// the setup page's ladders and port list, and the search and switching
// reports that reach the widgets only through the page's tick.

#include "screens/fdPageGPSX.h"
#include "screens/fdPageSetupGPSX.h"

#include "core/Config.h"
#include "core/ConfigNode.h"
#include "core/FileSystem.h"
#include "core/TempSurface.h"
#include "core/ValueFormat.h"
#include "core/VirtualFs.h"
#include "positioning/ReplayPortSystem.h"
#include "positioning/System.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeZone.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/TextRenderers.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace Screens;

namespace {

std::string line(std::string_view body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[6];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    std::string out(1, '$'); // appended: GCC 12 at -O3 warns wrongly about a prefix insert
    out.append(body).append(tail);
    return out;
}

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

struct Rig {
    Rig() {
        Ui::KeyboardLayouts layouts;
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description,
                                  layouts));
        messages.loadText(TestSupport::readAll(data + "/messages.xml"));
        // The fonts beside the demo atlas, so that texts are measured.
        engine.dataFolder = FileSystem::toWide(std::string(MIREL_DEMO_ATLAS_DIR) + "/../../");
        EXPECT_TRUE(Ui::initFonts(engine.description, ui));
        ui.setClock([this] { return now; });
        menu = new Ui::fdPage(&ui, "menuMain", nullptr);
        info = new fdPageGPSX(&ui, config.root(), &gps, &messages);
        setup = new fdPageSetupGPSX(&ui, config.root(), &gps, messages, false);
        for (Ui::fdPage* page : {static_cast<Ui::fdPage*>(info), static_cast<Ui::fdPage*>(setup)}) {
            page->setRect(0, 0, 800, 480);
            EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        }
        ui.activatePage(menu);
    }
    void feed(std::initializer_list<const char*> bodies) {
        std::string bytes;
        for (const char* body : bodies)
            bytes += line(body);
        replay->feed(bytes + std::string(23, '\n'));
    }
    std::u16string text(Ui::fdPage& page, const char* name) {
        return dynamic_cast<Ui::fdStatic*>(page.findChild(name))->text();
    }
    std::int32_t led() { return dynamic_cast<Ui::fdMultiStatic*>(info->findChild("status_led"))->current(); }
    bool checked(const char* name) {
        return dynamic_cast<Ui::fdCheckedButton*>(setup->findChild(name))->checked();
    }
    void click(const char* name) {
        if (auto* box = dynamic_cast<Ui::fdCheckedButton*>(setup->findChild(name))) box->toggle();
        setup->childClicked(name);
    }

    // The information page shows a fix's time and date in local time.
    TestSupport::TimeZone zone{"UTC"};
    TestSupport::CaptureLogger log;
    // Made before the pages and gone after them: a shown setup page
    // listens to it.
    Positioning::ReplayPortSystem* replay = nullptr;
    Positioning::System gps{u"", 0, nullptr, [this](const Positioning::MessageTexts*) {
                                auto ports = std::make_unique<Positioning::ReplayPortSystem>();
                                replay = ports.get();
                                return std::unique_ptr<Positioning::PortSystem>(std::move(ports));
                            }};
    DesignEngine engine;
    // The pictures the build writes beside the demo atlas.
    FileSystem::VirtualFs files{FileSystem::toWide(std::string(MIREL_DEMO_ATLAS_DIR) + "/../../")};
    Ui::fdInterface ui{&engine, &files};
    Messages messages;
    Core::Config config;
    Ui::fdPage* menu = nullptr;
    fdPageGPSX* info = nullptr;
    fdPageSetupGPSX* setup = nullptr;
    std::uint32_t now = 0;
};

} // namespace

TEST(GpsInfoPage, ShowsOffBlinkingAndFixStates) {
    Rig r;
    r.config.root()->set("position_format", 6); // style 2: degrees and minutes
    r.ui.goToPage(r.info);
    EXPECT_EQ(r.led(), 0) << "off before the first tick";
    r.info->tick(0);
    EXPECT_EQ(r.led(), 0);
    EXPECT_EQ(r.text(*r.info, "latitude"), u"No fix");
    EXPECT_EQ(r.text(*r.info, "time"), u"--:--:--");
    EXPECT_EQ(r.text(*r.info, "date"), u"--/--/----");

    // Switched on without a fix: the LED alternates every half second.
    r.gps.enable(nullptr);
    for (const auto& [t, state] : {std::pair{1000u, 0}, {1499u, 0}, {1500u, 1}, {1999u, 1}, {2000u, 0}}) {
        r.info->tick(t);
        EXPECT_EQ(r.led(), state) << t;
    }
    EXPECT_EQ(r.text(*r.info, "longitude"), u"No fix");
    EXPECT_EQ(r.text(*r.info, "speed"), u"");

    // 10 m/s: 36.00 km/h.
    r.feed({"GPGGA,235959.250,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000",
            "GPRMC,235959.250,A,3747.0873,S,17518.8938,E,19.4553,181.39,311214,,,A"});
    r.info->tick(2500);
    EXPECT_EQ(r.led(), 1);
    EXPECT_EQ(r.text(*r.info, "speed"), u"36.00");
    EXPECT_EQ(r.text(*r.info, "altitude"), u"59.90");
    EXPECT_EQ(r.text(*r.info, "hdop"), u"1.10");
    EXPECT_EQ(r.text(*r.info, "latitude"), Core::formatLatitude(2, -37.784788f));
    EXPECT_EQ(r.text(*r.info, "time"), u"23:59:59");
    EXPECT_EQ(r.text(*r.info, "date"), u"31/12/2014");
    r.info->tick(3000);
    EXPECT_EQ(r.led(), 1); // a fix does not blink

    // The receiver's port gone: the LED goes out (it does not blink for a
    // receiver that is not there), and its last fix shows no more.
    r.replay->losePort();
    ASSERT_TRUE(r.gps.isEnabled());
    for (const std::uint32_t t : {3500u, 4000u, 4500u}) {
        r.info->tick(t);
        EXPECT_EQ(r.led(), 0) << t;
    }
    EXPECT_EQ(r.text(*r.info, "latitude"), u"No fix");
    EXPECT_EQ(r.text(*r.info, "speed"), u"");
    // Switched on again, it blinks until the next fix.
    r.gps.disable();
    r.gps.enable(nullptr);
    r.info->tick(5500);
    EXPECT_EQ(r.led(), 1);
    r.info->tick(6000);
    EXPECT_EQ(r.led(), 0);

    r.info->childClicked("options");
    EXPECT_EQ(r.ui.activePage(), r.setup);
    r.setup->childClicked("back");
    EXPECT_EQ(r.ui.activePage(), r.info);
    EXPECT_TRUE(r.info->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.ui.activePage(), r.menu);
}

TEST(GpsInfoPage, CoordinateStyleIsTheRemainderMadeNonNegative) {
    for (const auto& [format, style] : {std::pair{1, 1}, {6, 2}, {4, 0}, {-1, 3}, {-6, 2}, {-4, 0}, {3, 3}})
        EXPECT_EQ(fdPageGPSX::coordinateStyle(format), style) << format;
}

// North up, east right, the zenith at the centre and the horizon at the
// edge; used satellites yellow, the others white; nothing once the port is
// gone.
TEST(GpsInfoPage, SkyPlotPlacesAndColoursTheSatellites) {
    const Ui::WindowRect rect{40, 100, 300, 300};
    const struct {
        int elevation, azimuth, snr, x, y, radius;
    } rows[] = {{90, 0, 0, 190, 250, 7},  {0, 90, 99, 340, 250, 14}, {0, 0, 50, 190, 100, 10},
                {0, 180, 0, 190, 400, 7}, {0, 270, 0, 40, 250, 7},   {60, 90, 0, 265, 250, 7}};
    for (const auto& row : rows) {
        const auto disc = SatellitesMap::place(rect, {1, row.elevation, row.azimuth, row.snr}, false);
        EXPECT_EQ(disc.x, row.x) << row.elevation << "/" << row.azimuth;
        EXPECT_EQ(disc.y, row.y) << row.elevation << "/" << row.azimuth;
        EXPECT_EQ(disc.radius, row.radius) << row.snr;
    }

    Rig r;
    r.gps.enable(nullptr);
    r.feed({"GPGSV,1,1,02,05,90,000,40,07,45,090,20", "GPGSA,A,3,05,,,,,,,,,,,,2.0,1.1,1.7"});
    auto* map = dynamic_cast<SatellitesMap*>(r.info->findChild("satellites"));
    ASSERT_NE(map, nullptr);
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(surface, nullptr);
    TempSurface clip(32, 0xFF0000, 0xFF00, 0xFF, 0);
    map->draw(surface, clip, true);
    const Ui::WindowRect& at = map->rect();
    const auto used = SatellitesMap::place(at, {5, 90, 0, 40}, true);
    const auto other = SatellitesMap::place(at, {7, 45, 90, 20}, false);
    EXPECT_EQ(UiTest::rgbAt(surface, used.x, used.y), 0xFFFF00u);
    EXPECT_EQ(UiTest::rgbAt(surface, other.x, other.y), 0xFFFFFFu);
    EXPECT_EQ(UiTest::rgbAt(surface, at.x + 2, at.y + 2), 0u); // nothing drawn elsewhere
    // The port gone, the receiver still switched on: its last satellites
    // are no longer shown as seen or used.
    r.replay->losePort();
    ASSERT_TRUE(r.gps.isEnabled());
    SDL_FillRect(surface, nullptr, 0);
    map->draw(surface, clip, true);
    EXPECT_EQ(UiTest::rgbAt(surface, used.x, used.y), 0u);
    EXPECT_EQ(UiTest::rgbAt(surface, other.x, other.y), 0u);
    SDL_FreeSurface(surface);
}

TEST(GpsSetupPage, LaddersAndStoredPeriods) {
    for (const auto& [stored, period] : {std::pair{50, 45}, {75, 0}, {-15, 0}, {60, 60}, {14, 0}, {15, 15}})
        EXPECT_EQ(fdPageSetupGPSX::nmeaPeriodOf(stored), period) << stored;
    const struct {
        std::uint32_t speed;
        bool up;
        std::uint32_t expected;
    } speeds[] = {{57600, true, 4800},
                  {4800, false, 57600},
                  {9600, true, 19200},
                  {115200, true, 115200},
                  {115200, false, 115200}};
    for (const auto& row : speeds)
        EXPECT_EQ(fdPageSetupGPSX::stepSpeed(row.speed, row.up), row.expected) << row.speed;
    std::int32_t forward = 0, backward = 0;
    std::vector<std::int32_t> up, down;
    for (int i = 0; i < 5; ++i) {
        up.push_back(forward = fdPageSetupGPSX::stepNmeaPeriod(forward, true));
        down.push_back(backward = fdPageSetupGPSX::stepNmeaPeriod(backward, false));
    }
    EXPECT_EQ(up, (std::vector<std::int32_t>{15, 30, 45, 60, 0}));
    EXPECT_EQ(down, (std::vector<std::int32_t>{60, 45, 30, 15, 0}));
}

TEST(GpsSetupPage, PortListLabelsAndOkOrBack) {
    Rig r;
    r.config.root()->set("nmea_log_period", 50);
    r.gps.setPort(3, 9600);
    r.setup->setPortLocator({"", true});
    r.ui.goToPage(r.setup);
    EXPECT_EQ(r.text(*r.setup, "port"), u"COM3 ");
    // The Linux device beside the port's name.
    EXPECT_EQ(r.text(*r.setup, "port_device"), u"/dev/ttyS2");
    EXPECT_EQ(r.text(*r.setup, "speed"), u"9600");
    EXPECT_EQ(r.text(*r.setup, "nmea"), u"45");
    EXPECT_EQ(r.setup->ports().size(), 20u);
    r.setup->childClicked("nextSpeed");
    r.setup->childClicked("prevPort");
    r.setup->childClicked("nextNMEA");
    r.setup->childClicked("nextProtocol");
    EXPECT_EQ(r.text(*r.setup, "protocol"), r.messages.text("gps_protocol_glonass"));
    EXPECT_EQ(r.text(*r.setup, "port"), u"COM2 ");
    EXPECT_EQ(r.text(*r.setup, "port_device"), u"/dev/ttyS1");
    r.setup->childClicked("back");
    EXPECT_EQ(r.gps.getPort(), (std::pair<std::uint32_t, std::uint32_t>{3, 9600}));
    EXPECT_EQ(r.config.root()->value("nmea_log_period", 0), 50);

    // A port of no entry gets the generic entry after COM20.
    r.gps.setPort(0, 4800);
    r.config.root()->set("nmea_log_period", 15);
    r.ui.goToPage(r.setup);
    EXPECT_EQ(r.text(*r.setup, "port"), u"COM0 generic");
    EXPECT_EQ(r.text(*r.setup, "port_device"), u"-");
    r.setup->childClicked("prevPort");
    EXPECT_EQ(r.text(*r.setup, "port"), u"COM20 ");
    EXPECT_EQ(r.text(*r.setup, "port_device"), u"-");
    for (int i = 0; i < 4; ++i)
        r.setup->childClicked("prevPort");
    EXPECT_EQ(r.text(*r.setup, "port_device"), u"/dev/rfcomm3");
    for (int i = 0; i < 4; ++i)
        r.setup->childClicked("nextPort");
    r.setup->childClicked("nextPort");
    EXPECT_EQ(r.text(*r.setup, "port"), u"COM0 generic");
    r.setup->childClicked("nextPort");
    EXPECT_EQ(r.setup->port(), 1u);
    r.setup->childClicked("prevNMEA");
    EXPECT_EQ(r.text(*r.setup, "nmea"), r.messages.text("gps_nmea_off"));
    r.setup->childClicked("prevNMEA");
    r.setup->childClicked("ok");
    EXPECT_EQ(r.gps.getPort(), (std::pair<std::uint32_t, std::uint32_t>{1, 4800}));
    EXPECT_EQ(r.config.root()->value("nmea_log_period", 0), 60);
    EXPECT_EQ(r.ui.activePage(), r.menu);
}

// A port linked in the ports folder is shown by where the link leads; a
// device path wider than its label shows its end after an ellipsis (cut
// at both ends it named nothing).
TEST(GpsSetupPage, ThePortsDeviceReadsByItsEnd) {
    Rig r;
    TestSupport::TempDir ports;
    const std::string wide = "/run/user/1000/mirel-receivers/usb-u-blox_GNSS_receiver-if00/ttyACM0";
    std::filesystem::create_symlink("/dev/pts/7", ports / "COM3");
    std::filesystem::create_symlink(wide, ports / "COM4");
    r.setup->setPortLocator({ports.path().string(), true});
    const auto* label = r.setup->findChild("port_device");
    const std::pair<std::uint32_t, std::u16string> rows[] = {
        {3, u"\u2192 /dev/pts/7"}, {4, u"\u2192 " + FileSystem::toWide(wide)}, {5, u"/dev/ttyUSB0"}};
    for (const auto& [port, whole] : rows) {
        SCOPED_TRACE(port);
        r.gps.setPort(port, 4800);
        r.ui.goToPage(r.setup);
        EXPECT_EQ(r.setup->portDevice(), whole);
        const std::u16string shown = r.text(*r.setup, "port_device");
        EXPECT_LE(Ui::measureText(*label, shown).width, label->rect().w);
        if (port == 4) { // too wide: as much of the end as fits, the device's name at least
            EXPECT_GT(Ui::measureText(*label, whole).width, label->rect().w);
            ASSERT_GT(shown.size(), 8u);
            EXPECT_EQ(shown.front(), u'\u2026');
            EXPECT_TRUE(whole.ends_with(shown.substr(1)));
        } else {
            EXPECT_EQ(shown, whole);
        }
        r.setup->childClicked("back");
    }
}

// The search's reports come from another thread; the widgets change only
// at the page's tick.
TEST(GpsSetupPage, SearchReportsReachTheWidgetsAtTheTick) {
    Rig r;
    r.ui.goToPage(r.setup);
    auto* progress = dynamic_cast<Ui::fdStatic*>(r.setup->findChild("find_progress"));
    auto* bar = dynamic_cast<Ui::fdProgressBar*>(r.setup->findChild("find_prog_bar"));
    ASSERT_TRUE(progress && bar);
    EXPECT_FALSE(progress->visible());

    // A replayed receiver has no ports to search: the search ends at once.
    r.setup->childClicked("gps_search");
    EXPECT_TRUE(r.setup->busy());
    r.setup->childClicked("gps_search"); // still busy until the tick: nothing
    EXPECT_EQ(r.log.countStartingWith("GPS port search started"), 1u);
    r.setup->tick(100);
    EXPECT_FALSE(r.setup->busy());
    // Nothing answered: the line says so (with what was tried) until it is
    // tapped away.
    EXPECT_TRUE(progress->visible());
    EXPECT_FALSE(bar->visible());
    EXPECT_EQ(progress->text(), u"No receiver answered on COM1 to COM20 at any speed.");
    r.setup->childClicked("find_progress");
    EXPECT_FALSE(progress->visible());

    // A search that reports from its own thread: nothing changes on the
    // page until the tick shows the last progress and the end.
    r.setup->childClicked("gps_search");
    ASSERT_TRUE(progress->visible());
    const std::u16string before = progress->text();
    std::thread search([report = r.setup->report()] {
        fdPageSetupGPSX::FindProgressHandler handler(report);
        handler.progress(u"COM7 - 9600", 40);
    });
    search.join();
    EXPECT_EQ(progress->text(), before);
    EXPECT_TRUE(r.setup->busy());
    r.setup->tick(200);
    EXPECT_EQ(bar->value, 40);
    EXPECT_FALSE(r.setup->busy());
    EXPECT_EQ(progress->text(), r.messages.text("gps_search_none"));
    EXPECT_FALSE(bar->visible());

    // A search that found a receiver, reported a tick before its end, ends
    // without the notice; so does one the driver stopped.
    r.setup->childClicked("gps_search");
    {
        fdPageSetupGPSX::FindProgressHandler handler(r.setup->report());
        handler.result(true);
        r.setup->tick(300);
    }
    r.setup->tick(400);
    EXPECT_FALSE(r.setup->busy());
    EXPECT_FALSE(progress->visible());
    r.setup->childClicked("gps_search");
    r.setup->childClicked("find_progress");
    r.setup->tick(500);
    EXPECT_FALSE(progress->visible());
}

TEST(GpsSetupPage, SwitchingOnFollowsTheReceiverAndALostPortSwitchesOff) {
    Rig r;
    r.ui.goToPage(r.setup);
    EXPECT_FALSE(r.checked("gps_check"));
    r.click("gps_check");
    // The box follows the outcome, reported through the tick.
    EXPECT_TRUE(r.gps.isEnabled());
    EXPECT_FALSE(r.checked("gps_check"));
    r.setup->tick(100);
    EXPECT_TRUE(r.checked("gps_check"));
    EXPECT_FALSE(r.setup->findChild("connect_animation")->visible());

    r.replay->losePort();
    r.setup->tick(200);
    EXPECT_FALSE(r.gps.isEnabled());
    EXPECT_FALSE(r.checked("gps_check"));

    // Off the page, the receiver's news no longer reaches it.
    r.setup->childClicked("back");
    r.gps.enable(nullptr);
    r.setup->tick(300);
    EXPECT_FALSE(r.checked("gps_check"));
}
