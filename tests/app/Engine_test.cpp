#include "app/DevicesFile.h"
#include "app/PageFactory.h"
#include "app/fdEngine.h"
#include "map/proximity/Index.h"

#include "core/Clipboard.h"
#include "core/Config.h"
#include "core/Text.h"
#include "core/Version.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "routing/AtlasRoute.h"
#include "screens/EditWayPointPage.h"
#include "screens/PointReceiversListPage.h"
#include "screens/SensorsPanel.h"
#include "screens/fdPageMap.h"
#include "screens/fdPageSetupGPSX.h"
#include "search/Engine.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "ui/fdStatic.h"
#include "map/KVAtlas.h"
#include "positioning/System.h"
#include "render/MapCamera.h"
#include "userdata/fdTrackManager.h"
#include "userdata/MonitoringSystem.h"
#include "tests/support/CaptureLogger.h"
#include "tests/app/ProgramFolder.h"
#include "tests/guidance/GuidanceTestSupport.h"
#include "tests/support/TempDir.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace engine {

// Reaches the engine's members the way the start-up sequence does.
struct EngineTestAccess {
    static std::unique_ptr<Core::Config>& config(fdEngine& e) { return e.m_config; }
    static std::unique_ptr<Ui::fdInterface>& ui(fdEngine& e) { return e.m_ui; }
    static bool& initialized(fdEngine& e) { return e.m_initialized; }
};

} // namespace engine

namespace {

using engine::EngineTestAccess;
using TestSupport::CaptureLogger;
using TestSupport::TempDir;

using TestSupport::ProgramFolder;

TEST(Engine, PathsJoinWithBackslashesAndKeepAbsoluteNames) {
    engine::fdEngine e(u"/opt/mirel/");
    const std::pair<std::u16string, std::u16string> dataRows[] = {
        {u"config.xml", u"\\opt\\mirel\\data\\config.xml"},
        {u"maps/demo", u"\\opt\\mirel\\data\\maps\\demo"},
        {u"/etc/mirel.xml", u"/etc/mirel.xml"},
        {u"\\share\\x", u"\\share\\x"},
        {u"C:\\maps", u"C:\\maps"},
    };
    for (const auto& [name, expected] : dataRows)
        EXPECT_EQ(e.dataPath(name), expected) << Core::wideToUtf8(name);
    EXPECT_EQ(e.programPath(u"log.txt"), u"\\opt\\mirel\\log.txt");
    EXPECT_EQ(engine::fdEngine::instance(), &e);
}

TEST(Engine, ProcessorNamesAndGpsRates) {
    const char* names[] = {"x86", "MIPS", "Alpha", "PowerPC", "SuperH", "ARM", "IA-64", "Alpha64", "Unknown"};
    for (std::uint32_t i = 0; i < 9; ++i)
        EXPECT_STREQ(engine::processorName(i | 0x50000), names[i]);
    const std::pair<int, int> rates[] = {{0, 4800},          {4800, 4800},     {4801, 9600},  {14400, 19200},
                                         {38400, 38400},     {57600, 57600},   {57601, 115200},
                                         {100000, 115200}};
    for (const auto& [baud, rate] : rates)
        EXPECT_EQ(engine::supportedGpsRate(baud), rate) << baud;
}

TEST(Engine, GpsSettingsMustExist) {
    engine::fdEngine e(u"/nonexistent/");
    auto& config = EngineTestAccess::config(e);
    config = std::make_unique<Core::Config>();
    CaptureLogger log;
    EXPECT_FALSE(e.loadGps());
    EXPECT_TRUE(log.contains("No gps settings read"));
    config->root()->set("gps_port", 3);
    config->root()->set("gps_speed", 9600);
    EXPECT_TRUE(e.loadGps());
}

class EngineRun : public ::testing::Test {
  protected:
    std::string logText() const { return TestSupport::readAll(folder.dir.path() / "log.txt"); }
    ProgramFolder folder;
};

TEST_F(EngineRun, StartsOnTheDemoDataAndSavesTheSettingsAtShutdown) {
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    ASSERT_NE(e.ui(), nullptr);
    ASSERT_NE(e.ui()->activePage(), nullptr);
    EXPECT_EQ(e.ui()->activePage()->name(), "menuMain");
    ASSERT_NE(e.atlas(), nullptr);
    EXPECT_TRUE(e.atlas()->loaded());
    // Every page of the factory exists, in the factory's order.
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i)
        if (const char* name = engine::PageFactory::kRows[i].designName)
            expected.push_back(name);
    std::vector<std::string> pages;
    for (const auto* child : e.ui()->children())
        pages.push_back(child->name());
    EXPECT_EQ(pages, expected);
    // The main menu names the version the log and the files name.
    const auto* version = dynamic_cast<const Ui::fdStatic*>(e.ui()->activePage()->findChild("version"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(Core::wideToUtf8(version->text()), "Mirel " + std::string(Core::kProgramVersion));

    // The receiver's port and rate as the device holds them.
    ASSERT_TRUE(e.positioning() && e.positioning()->hasDevice());
    const auto [port, speed] = e.positioning()->getPort();
    ASSERT_NE(port, 0u) << "a port the defaults would not write";
    e.shutdown();
    EXPECT_EQ(e.positioning(), nullptr) << "the receiver is let go";
    const std::string config = TestSupport::readAll(folder.data("config.xml"));
    EXPECT_NE(config.find("name=\"gps_port\" value=\"" + std::to_string(port) + "\""), std::string::npos);
    EXPECT_NE(config.find("name=\"gps_speed\" value=\"" + std::to_string(speed) + "\""), std::string::npos);
    EXPECT_NE(config.find("name=\"atlas\""), std::string::npos);
    EXPECT_NE(config.find("demo"), std::string::npos);
    EXPECT_NE(config.find("name=\"show_pt\""), std::string::npos);
}

// The danger points' settings are pulled into their ranges in one place
// (Map::Proximity::Settings); a warning time that is no number takes its
// default instead of reaching the search.
TEST(EngineDangerPoints, SettingsArePulledIntoTheirRanges) {
    const struct {
        const char *time, *sector;
        float seconds;
        std::int32_t degrees;
    } rows[] = {{"nan", "50", 10.0f, 20}, {"60", "2", 30.0f, 5}, {"7.5", "12", 7.5f, 12}};
    for (const auto& row : rows) {
        ProgramFolder folder;
        std::ofstream(folder.data("config.xml"))
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
            << "<var name=\"dwp_warn_time\" value=\"" << row.time << "\"/>\n"
            << "<var name=\"dwp_sector_half\" value=\"" << row.sector << "\"/>\n</config>\n";
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0) << row.time;
        ASSERT_NE(e.dangerPoints(), nullptr);
        EXPECT_EQ(e.dangerPoints()->warningTimeSeconds, row.seconds) << row.time;
        EXPECT_EQ(e.dangerPoints()->sectorHalfWidthDegrees, row.degrees) << row.sector;
        e.shutdown();
    }
}

TEST_F(EngineRun, AMissingConfigIsCreatedAndATornOneKeptAside) {
    {
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        e.shutdown();
    }
    EXPECT_NE(TestSupport::readAll(folder.data("config.xml")).find("name=\"log_severity\" value=\"0\""),
              std::string::npos);
    std::ofstream(folder.data("config.xml"), std::ios::trunc) << "<config version=\"2\"><var name=";
    {
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        e.shutdown();
    }
    EXPECT_EQ(TestSupport::readAll(folder.data("config.xml.bak")), "<config version=\"2\"><var name=");
}

// What a kill during a save leaves of every file written whole (the
// temporary file of a process that is gone: no process has the number
// 999999999) is removed at start, in every atlas folder too, and logged;
// a file of a copy still running (this process) and a user's file named
// alike stay.
TEST_F(EngineRun, StaleTemporariesOfEveryFileWrittenWholeGoAtStart) {
    const std::string dead = ".tmp999999999-";
    const std::string own = ".tmp" + std::to_string(::getpid()) + "-";
    const struct {
        std::string path; // in the program folder
        bool removed;
    } rows[] = {
        {"data/config.xml" + dead + "4", true},
        {"data/atlas.xml" + dead + "1", true},
        {"data/favorites.kvf" + dead + "0", true},
        {"data/skin/buttons.xml" + dead + "2", true},
        {"data/maps/demo/camera.kvc" + dead + "1", true},
        {"data/maps/demo/path.kvp" + dead + "2", true},
        {"data/maps/demo/Home - Work.kvp" + dead + "3", true},
        {"data/maps/demo/TextSearch.tsi" + dead + "5", true},
        {"data/maps/demo/TextSearch.tsh" + dead + "6", true},
        {"data/maps/other/path.kvp" + dead + "1", true},
        {"waypoints/Caf\xc3\xa9s.gpx" + dead + "1", true},
        {"waypoints/DangerWarnPoints.idx" + dead + "1", true},
        {"data/maps/demo/notes.txt" + dead + "1", false},
        {"data/config.xml.tmp999999999", false},
        {"waypoints/Caf\xc3\xa9s.gpx" + own + "9", false},
    };
    for (const auto& row : rows) {
        fs::create_directories((folder.dir.path() / row.path).parent_path());
        std::ofstream(folder.dir.path() / row.path) << "torn";
    }
    CaptureLogger log;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    for (const auto& row : rows) {
        const fs::path path = folder.dir.path() / row.path;
        EXPECT_EQ(fs::exists(path), !row.removed) << row.path;
        EXPECT_EQ(log.count("Stale temporary file '" + path.string() + "' removed (left by a save that was cut short)"),
                  row.removed ? 1u : 0u)
            << row.path;
    }
    e.shutdown();
}

// Deleting config.xml resets the settings: the program starts again from the
// data folder's first-run settings (which choose Monaco), or from the
// built-in defaults (the first atlas by name) when there are none; a torn
// file is kept aside and treated the same way.
TEST(EngineReset, StartsFromTheFirstRunSettingsElseFromTheDefaults) {
    const struct {
        const char* what;
        bool firstRunFile;
        const char* config; // nullptr: no config.xml
        const char* atlas;
    } rows[] = {
        {"deleted, first-run file", true, nullptr, "monaco"},
        {"torn, first-run file", true, "<config version=\"2\"><var", "monaco"},
        {"deleted, no first-run file", false, nullptr, "demo"},
        {"torn, no first-run file", false, "<config", "demo"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgramFolder f(ProgramFolder::Atlases::All);
        if (!row.firstRunFile)
            fs::remove(f.data("config.default.xml"));
        else
            ASSERT_TRUE(fs::exists(f.data("config.default.xml")));
        if (row.config)
            std::ofstream(f.data("config.xml")) << row.config;
        engine::fdEngine e(f.wide());
        ASSERT_EQ(e.init(), 0);
        ASSERT_NE(e.atlas(), nullptr);
        EXPECT_TRUE(Core::wideToUtf8(e.atlas()->folder()).ends_with(row.atlas)) << Core::wideToUtf8(e.atlas()->folder());
        // Written at once, before the run ends.
        const std::string config = TestSupport::readAll(f.data("config.xml"));
        EXPECT_NE(config.find("name=\"log_severity\" value=\"0\""), std::string::npos) << config;
        EXPECT_EQ(config.find("maps\\monaco") != std::string::npos, row.firstRunFile) << config;
        EXPECT_EQ(TestSupport::readAll(f.data("config.xml.bak")), row.config ? row.config : "");
        e.shutdown();
    }
}

// The atlas is stored relative to the data folder ("atlas" and atlas.xml's
// dir), so a program folder moved after its first run opens the same atlas.
TEST(EngineReset, AMovedProgramFolderOpensTheSameAtlas) {
    auto first = std::make_unique<ProgramFolder>(ProgramFolder::Atlases::All);
    {
        engine::fdEngine e(first->wide());
        ASSERT_EQ(e.init(), 0);
        ASSERT_TRUE(Core::wideToUtf8(e.atlas()->folder()).ends_with("monaco"));
        e.shutdown();
    }
    const std::string config = TestSupport::readAll(first->data("config.xml"));
    EXPECT_NE(config.find("name=\"atlas\" value=\"maps\\monaco\""), std::string::npos) << config;
    EXPECT_NE(TestSupport::readAll(first->data("atlas.xml")).find("dir=\"maps\\monaco\""), std::string::npos);

    TempDir elsewhere;
    const fs::path moved = elsewhere.path() / "moved";
    fs::rename(first->dir.path(), moved);
    fs::create_directories(first->dir.path()); // for the fixture's own clean-up
    {
        engine::fdEngine e(Core::utf8ToWide(moved.string() + "/"));
        ASSERT_EQ(e.init(), 0);
        ASSERT_NE(e.atlas(), nullptr);
        const std::string folder = Core::wideToUtf8(e.atlas()->folder());
        EXPECT_TRUE(folder.ends_with("monaco")) << folder;
        EXPECT_NE(folder.find("moved"), std::string::npos) << folder;
        e.shutdown();
    }
    EXPECT_EQ(TestSupport::readAll(moved / "data" / "config.xml"), config) << "the value stays relative";
}

// SDL failing to start its video is fatal and logged with SDL's reason; it
// is no "no audio device". With no display named at all the start stops
// before SDL would draw into the terminal, and says why.
TEST(EngineSdl, AVideoThatCannotStartIsNamedWithItsReason) {
    const char* const names[] = {"SDL_VIDEODRIVER", "DISPLAY"};
    std::optional<std::string> kept[2];
    for (int i = 0; i < 2; ++i)
        if (const char* value = std::getenv(names[i])) kept[i] = value;
    const struct {
        const char* driver; // with DISPLAY unset
        int result;
        const char* fatal;
    } rows[] = {{"nosuchdriver", 2, "fatal error : Failed to init SDL"},
                {nullptr, 2,
                 "fatal error : A display is needed: set DISPLAY to an X server, or SDL_VIDEODRIVER to a "
                 "video driver"},
                {"dummy", 0, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fatal);
        unsetenv("DISPLAY");
        row.driver ? setenv("SDL_VIDEODRIVER", row.driver, 1) : unsetenv("SDL_VIDEODRIVER");
        ProgramFolder f;
        CaptureLogger log;
        {
            engine::fdEngine e(f.wide());
            EXPECT_EQ(e.init(), row.result);
            e.shutdown();
        }
        EXPECT_EQ(log.countStartingWith("fatal error"), *row.fatal ? 1u : 0u);
        EXPECT_EQ(log.count(row.fatal), *row.fatal ? 1u : 0u);
        EXPECT_EQ(log.countStartingWith("SDL: "), row.result && row.driver ? 1u : 0u);
        EXPECT_EQ(log.count("SDL: "), 0u) << "the reason is empty";
        EXPECT_EQ(log.countStartingWith("No audio device"), 0u);
    }
    for (int i = 0; i < 2; ++i)
        kept[i] ? setenv(names[i], kept[i]->c_str(), 1) : unsetenv(names[i]);
}

// Once the engine is shut down no other thread wakes SDL, neither a quit
// signal, a raise request nor a port search's report on the GPS thread: a
// queue of a later SDL is not the engine's.
TEST(EngineSdl, NoWakeUpReachesSdlAfterTheShutdown) {
    ProgramFolder f;
    CaptureLogger quiet;
    engine::fdEngine e(f.wide());
    ASSERT_EQ(e.init(), 0);
    e.shutdown();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    engine::fdEngine::wakeOnQuitSignal();
    e.requestRaise();
    Screens::fdPageSetupGPSX::FindProgressHandler(std::make_shared<Screens::fdPageSetupGPSX::Report>())
        .progress(u"COM3", 15);
    SDL_Event event;
    EXPECT_EQ(SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_ALLEVENTS), 0);
    SDL_Quit();
}

// Under the dummy video driver there is no X11 window to take the system
// clipboard with: copied text is pasted within the program, and the log
// says so.
TEST_F(EngineRun, WithoutAnX11WindowTheClipboardStaysInsideAndSaysSo) {
    std::ofstream(folder.data("config.xml")) << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
                                                "<var name=\"log_severity\" value=\"2\"/>\n</config>\n";
    CaptureLogger log;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    EXPECT_EQ(log.count("No system clipboard (no X11 window): copied text stays inside the program"), 1u);
    EXPECT_FALSE(log.contains("Clipboard: the system's"));
    Clipboard::copy(nullptr, u"Тверская 7");
    EXPECT_EQ(Clipboard::paste(nullptr), u"Тверская 7");
    e.shutdown();
}

// A first start on the shipped data raises no alarm: what the program
// expects is shipped, and what is optional and missing is logged quietly.
TEST_F(EngineRun, AFirstStartLogsNoCriticalLine) {
    CaptureLogger log;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    e.shutdown();
    EXPECT_EQ(log.linesAt(Log::Critical), std::vector<std::string>{});
    EXPECT_EQ(log.linesAt(Log::System).size(), log.countStartingWith("Version ") + log.countStartingWith("Processor: ") +
                                                   log.countStartingWith("OS: ") +
                                                   log.countStartingWith("HTTP (libcurl) initialized") +
                                                   log.count("tarvik.dll can't be loaded (err 2): No such file or directory"))
        << "System lines: the program's and the machine's description, and the absent waypoints plug-in";
}

TEST_F(EngineRun, ADesignPageNoScreenCarriesIsOnlyLogged) {
    const fs::path design = folder.data("skin/design800x480.xml");
    std::string text = TestSupport::readAll(design);
    text.insert(text.rfind("</design>"), "<page name=\"pageExtra\" font=\"normal\"></page>");
    std::ofstream(design, std::ios::trunc) << text;
    CaptureLogger log;
    engine::fdEngine e(folder.wide());
    EXPECT_EQ(e.init(), 0);
    EXPECT_TRUE(log.contains("Page: pageExtra was not created!"));
    e.shutdown();
}

TEST_F(EngineRun, StartUpFailuresEndWithTheirResult) {
    struct Row {
        const char* what;
        std::function<void(const ProgramFolder&)> damage;
        int result;
        const char* line;
    } rows[] = {
        {"no messages", [](const ProgramFolder& f) { fs::remove(f.data("messages.xml")); }, 2,
         "Can't open messages file"},
        {"wrong design version",
         [](const ProgramFolder& f) {
             for (const auto& entry : fs::recursive_directory_iterator(f.dir.path() / "data")) {
                 std::string text = TestSupport::readAll(entry.path());
                 const auto at = text.find("<design version=\"1.30\"");
                 if (entry.path().extension() == ".xml" && at != std::string::npos)
                     std::ofstream(entry.path(), std::ios::trunc) << text.replace(at, 22, "<design version=\"1.3\"");
             }
         },
         1, "Incompatible design version: 1.3 when 1.30 is required"},
        {"no atlas", [](const ProgramFolder& f) { fs::remove_all(f.data("maps")); }, 2,
         "fatal error : atlases collection is empty."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgramFolder f;
        row.damage(f);
        CaptureLogger log;
        engine::fdEngine e(f.wide());
        EXPECT_EQ(e.init(), row.result);
        EXPECT_TRUE(log.contains(row.line));
        // The shutdown that follows a failed start still stores the
        // configuration it created.
        e.shutdown();
        EXPECT_TRUE(fs::exists(f.data("config.xml")));
    }
}

// A configured atlas whose maps are damaged, with no other atlas to show,
// stops the start, and the user is told which map and why; the configured
// atlas is kept for the next start.
TEST_F(EngineRun, AFailedAtlasStartKeepsTheConfiguredAtlasAndNamesTheMap) {
    fs::create_directories(folder.data("maps/town"));
    for (const auto& entry : fs::directory_iterator(folder.data("maps/demo")))
        if (entry.path().extension() == ".kvm") {
            // The head of each map stays (the atlas lists it); its sections
            // are cut off.
            const std::string bytes = TestSupport::readAll(entry.path());
            std::ofstream(folder.data("maps/town") / entry.path().filename(), std::ios::binary) << bytes.substr(0, 256);
        }
    fs::remove_all(folder.data("maps/demo"));
    std::ofstream(folder.data("config.xml")) << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
                                                "<var name=\"atlas\" value=\"maps\\town\"/>\n</config>\n";
    CaptureLogger log;
    {
        engine::fdEngine e(folder.wide());
        EXPECT_NE(e.init(), 0);
        e.shutdown();
    }
    const std::string config = TestSupport::readAll(folder.data("config.xml"));
    EXPECT_NE(config.find("town"), std::string::npos) << config;
    EXPECT_EQ(config.find("demo"), std::string::npos) << config;
    // The message box shows the failure and names each damaged map file
    // with the reason.
    bool named = false;
    for (const std::string& line : log.lines())
        named |= line.starts_with("Mirel - Critical error: ") &&
                 line.find(folder.data("maps/town/demo-town.kvm").string() + ": File is too small") !=
                     std::string::npos;
    EXPECT_TRUE(named);
}

namespace {

// Opens the waypoint editor on a new point and taps "send"; tells whether
// "send" was shown, and leaves the page the tap led to active.
bool sendNewPoint(engine::fdEngine& e) {
    Ui::fdInterface* ui = e.ui();
    auto* editor = dynamic_cast<Screens::EditWayPointPage*>(ui->findPage("pageWPEdit"));
    EXPECT_NE(editor, nullptr);
    if (editor == nullptr)
        return false;
    editor->setNewPoint({100, 200});
    ui->goToPage(editor);
    ui->applyPendingChanges();
    const bool shown = editor->findChild("send") != nullptr && editor->findChild("send")->visible();
    editor->childClicked("send");
    ui->applyPendingChanges();
    return shown;
}

} // namespace

TEST_F(EngineRun, TheOnlineServiceExistsOnlyWithAnAddressAndKeepsItsSeenPoints) {
    {
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        EXPECT_EQ(e.monitoring(), nullptr);
        EXPECT_FALSE(sendNewPoint(e)) << "nobody to send to";
        EXPECT_EQ(e.ui()->activePage()->name(), "pageWPEdit");
        e.shutdown();
    }
    // Two seen ids and a trailing byte that fills no id; the service stays
    // off, so nothing is sent anywhere.
    std::ofstream(folder.data("config.xml"), std::ios::trunc)
        << "<config version=\"2\"><var name=\"online_url\" value=\"http://127.0.0.1:9/\"/>"
           "<var name=\"monitoring_enabled\" value=\"0\"/>"
           "<var name=\"online_deleted_waypoints\" value=\"BwAAAAEBAAAJ\"/></config>";
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    ASSERT_NE(e.monitoring(), nullptr);
    EXPECT_EQ(e.monitoring()->seenPointIds(), (std::vector<std::uint32_t>{7, 257}));
    EXPECT_FALSE(e.monitoring()->isRunning());
    // The editor's "send" hands a copy of the point to the receivers page.
    EXPECT_TRUE(sendNewPoint(e));
    auto* receivers = dynamic_cast<Screens::PointReceiversListPage*>(e.ui()->activePage());
    ASSERT_NE(receivers, nullptr);
    EXPECT_EQ(receivers->name(), "select_friends");
    EXPECT_EQ(receivers->point().position, (Map::Point{100, 200}));
    EXPECT_FALSE(receivers->point().name.empty());
    e.shutdown();
    const std::string config = TestSupport::readAll(folder.data("config.xml"));
    EXPECT_NE(config.find("name=\"online_deleted_waypoints\" value=\"BwAAAAEBAAA=\""), std::string::npos) << config;
}

TEST_F(EngineRun, ResizesStayWithinTheDesignAndTheScreen) {
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    e.setScreenSize(1024, 768);
    const int w = e.designWidth(), h = e.designHeight();
    const struct {
        int width, height, expectWidth, expectHeight;
    } rows[] = {
        {w + 100, h + 50, w + 100, h + 50}, {w - 1, h, w, h}, {2000, 2000, 1024, 768}, {10, 900, w, 768}};
    for (const auto& row : rows) {
        e.onResize(row.width, row.height);
        ASSERT_NE(e.screen(), nullptr);
        EXPECT_EQ(e.screen()->w, row.expectWidth);
        EXPECT_EQ(e.screen()->h, row.expectHeight);
        EXPECT_EQ(e.ui()->rect(), (Ui::WindowRect{0, 0, std::uint16_t(row.expectWidth), std::uint16_t(row.expectHeight)}));
    }
    EXPECT_FALSE(e.quit());
    e.shutdown();
}

TEST_F(EngineRun, DispatchPassesKeysWithASymbolAndQuits) {
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    struct KeyPage : Ui::fdPage {
        using fdPage::fdPage;
        bool keyDown(int key) override {
            keys.push_back(key);
            return true;
        }
        std::vector<int> keys;
    };
    auto* page = new KeyPage(e.ui(), "keys", nullptr);
    e.ui()->activatePage(page);
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = SDLK_UNKNOWN;
    e.dispatch(event);
    event.key.keysym.sym = SDLK_a;
    e.dispatch(event);
    EXPECT_EQ(page->keys, std::vector<int>{SDLK_a});
    event.type = SDL_QUIT;
    e.dispatch(event);
    EXPECT_TRUE(e.quit());
    e.shutdown();
}

// A route across the demo town driven by fixes on its roads: the map page
// shows the car on its road, guidance runs and the sensors panel's first
// sensor (the distance to the manoeuvre) gets a value; at shutdown the
// handler leaves the fix stream and the global pointer is cleared.
TEST_F(EngineRun, FixesAlongARouteMoveTheCarGuidanceAndSensors) {
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    e.configRoot()->set("map_sensors_visible", true);
    Guidance::KVMapEventsHandler* handler = e.mapEvents();
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(Guidance::KVMapEventsHandler::instance(), handler);
    EXPECT_TRUE(handler->naviSoundsOn()) << "guidance speaks through the sound system";
    for (const auto& [east, north] : {std::pair{400.0, 500.0}, {-400.0, 500.0}}) {
        const auto [x, y] = DemoAtlas::globalOf(east, north);
        ASSERT_TRUE(e.route()->addPathPointAtLocation(*e.atlas(), *e.configRoot(),
                                                      {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)}));
    }
    ASSERT_FALSE(e.route()->path().isEmpty());
    e.ui()->activatePage(e.ui()->findPage("pageMap"));
    e.redraw();
    auto* page = Screens::fdPageMap::instance();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(e.ui()->activePage(), page);
    ASSERT_NE(page->sensorsPanel(), nullptr);
    const auto* label = dynamic_cast<const Ui::fdStatic*>(page->sensorsPanel()->findChild("sensor3"));
    ASSERT_NE(label, nullptr);
    const auto marked = [&] {
        std::vector<std::uint32_t> roads;
        for (std::size_t i = 0; i < e.atlas()->mapCount(); ++i)
            for (std::uint32_t road : page->roadMarks().of(i))
                roads.push_back(road);
        return roads;
    };
    EXPECT_FALSE(handler->shownCarState().valid);
    EXPECT_TRUE(marked().empty());
    EXPECT_EQ(label->text(), u"-");
    // Nearest cafes without typed letters start from the car the map shows:
    // none before the car is known.
    auto* search = dynamic_cast<TextSearch::Engine*>(e.atlas()->services().searchEngine.get());
    ASSERT_NE(search, nullptr);
    const auto nearestCafes = [&] {
        search->searchPois(0, {}, nullptr, {0x2A05});
        std::vector<TextSearch::ResultItem> rows;
        search->collectResults(rows);
        return rows.size();
    };
    EXPECT_EQ(nearestCafes(), 0u);

    // Ten metres a step, ten metres a second, along the first half of the
    // route.
    PathPosition at(e.route()->path(), true);
    for (int step = 0; step < 40 && !at.isAtEnd(); ++step, at.advanceMetres(10)) {
        const Positioning::Fix fix = GuidanceTest::exactFixAt(at, 10.0f);
        handler->onFix(true, fix);
        e.sensors()->onFix(true, fix);
        e.redraw();
    }
    EXPECT_TRUE(handler->shownCarState().valid);
    EXPECT_TRUE(handler->navi().running());
    EXPECT_FALSE(handler->navi().outOfPath());
    const Positioning::CarState tracked = handler->tracker().carState();
    ASSERT_TRUE(tracked.onRoad);
    // The road guidance turns into next and the car's own road.
    ASSERT_TRUE(handler->navi().maneuverKnown());
    const std::uint32_t turnInto = handler->navi().maneuverPosition().currentPart().segmentId;
    EXPECT_NE(turnInto, tracked.polylineId);
    EXPECT_EQ(marked(), (std::vector<std::uint32_t>{turnInto, tracked.polylineId}))
        << "the next manoeuvre's road and the car's";
    EXPECT_NE(label->text(), u"-");
    EXPECT_GT(nearestCafes(), 0u);

    e.shutdown();
    EXPECT_EQ(Guidance::KVMapEventsHandler::instance(), nullptr);
    EXPECT_EQ(e.mapEvents(), nullptr);
}

TEST_F(EngineRun, TheViewTheDriverLeftComesBackAfterARestart) {
    Map::Point centre;
    float scale = 0.0f;
    {
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        // About 700 m per 40 pixels, off the atlas's own centre.
        const auto [x, y] = DemoAtlas::globalOf(300.0, -200.0);
        centre = {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
        e.camera().setCentre(centre);
        scale = e.camera().scale() * 10.0f;
        e.camera().setScale(scale);
        e.shutdown();
    }
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    EXPECT_EQ(e.camera().centre(), centre);
    EXPECT_FLOAT_EQ(e.camera().scale(), scale);
    e.shutdown();
}

TEST_F(EngineRun, ARecordingWritesEachFixOnce) {
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    ASSERT_NE(e.positioning(), nullptr);
    ASSERT_NE(e.tracks(), nullptr);
    e.tracks()->setState(2); // every fix
    auto* page = Screens::fdPageMap::instance();
    ASSERT_NE(page, nullptr);
    // The fixes reach the listeners as the NMEA device hands them to the
    // system (its listener side is private: a C-style cast reaches it).
    auto* gps = (Positioning::TrackingListener*)e.positioning();
    gps->onFix(true, Positioning::Fix{}); // before the recording: nobody writes it
    // Started as the track pages start it, stopped by the map's indicator.
    e.tracks()->startRecording(*e.positioning());
    for (int i = 0; i < 10; ++i) {
        const auto [x, y] = DemoAtlas::globalOf(10.0 * i, 0.0);
        Positioning::Fix fix;
        fix.x = static_cast<std::int32_t>(x);
        fix.y = static_cast<std::int32_t>(y);
        gps->onFix(true, fix);
    }
    std::uint32_t recorded = 0;
    for (std::size_t i = 0; i < e.tracks()->trackCount(); ++i)
        if (e.tracks()->track(i).recording)
            recorded = e.tracks()->track(i).pointCount;
    EXPECT_EQ(recorded, 10u);
    page->stopTrackRecording();
    gps->onFix(true, Positioning::Fix{});
    e.shutdown();
}

} // namespace
