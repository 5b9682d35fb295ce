// The menus on the real demo data: every command of the main and settings
// menus reaches its page, every page has a way back, the information page
// shows info.txt with the atlases' map credits, and the atlases page
// switches the atlas (demo town and Monaco) with the car lock free again
// afterwards and the choice saved.

#include "app/PageFactory.h"
#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/Log.h"
#include "core/Shell.h"
#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "map/Projection.h"
#include "platform/Process.h"
#include "render/fdMapRenderer.h"
#include "screens/AtlasesPage.h"
#include "screens/InfoPage.h"
#include "screens/KeyboardPropPage.h"
#include "screens/SelectPoiTypesPage.h"
#include "screens/fdPageFindResults.h"
#include "screens/fdSettingsMenuPage.h"
#include "search/Engine.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "ui/ButtonBindings.h"
#include "ui/Keyboard.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

using TestSupport::ProgramFolder;

class Menus : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(engine.init(), 0);
        ui = engine.ui();
    }
    void TearDown() override { engine.shutdown(); }
    Ui::fdPage* page(const std::string& name) { return ui->findPage(name); }
    // Starts from the main menu with an empty history, then opens page.
    void startAt(const std::string& name) {
        ui->clearHistory();
        ui->activatePage(page("menuMain"));
        if (name != "menuMain") ui->goToPage(page(name));
    }
    std::string active() const { return ui->activePage() ? ui->activePage()->name() : ""; }

    TestSupport::CaptureLogger log;
    ProgramFolder folder{ProgramFolder::Atlases::All};
    engine::fdEngine engine{folder.wide()};
    Ui::fdInterface* ui = nullptr;
};

const std::map<std::string, std::string> SettingsCommands = {
    {"tab_main", "pageSettingsMain"},
    {"tab_lists", "pageSettingsLists"},
    {"menu", "menuMain"},
    {"search", "menuFind"},
    {"services", "services_prop"},
    {"btnSetupRenderer", "pageRenderSettings"},
    {"btnSetupGPS", "pageSetupGPS"},
    {"btnSetupNavigation", "pageSetupRouting"},
    {"btnSetupTracking", "pageTrackingSettings"},
    {"btnSetupAtlases", "atlases"},
    {"other", "pageSettingsOther"},
    {"pageMap", "pageMap"},
    {"polylines", "polylines_settings"},
    {"poi", "pois_settings"},
    {"buttons", "pageButtonSettings"},
    {"keyboard", "keyboard_prop"},
    {"monitoring", "monitoring_prop"},
};
// Commands that switch without a history entry.
const std::set<std::string> Activating = {"tab_main", "tab_lists", "menu", "pageMap", "pageMap2"};

TEST_F(Menus, EveryCommandReachesItsPageAndEscapeLeadsBack) {
    std::map<std::string, std::map<std::string, std::string>> table = {
        {"menuMain",
         {{"pageMap", "pageMap"},
          {"pageMap2", "pageMap"},
          {"menuFind", "menuFind"},
          {"pageGPS", "pageGPS"},
          {"btnSetup", "pageSettingsMain"},
          {"info", "info"}}},
        {"pageSettingsMain", SettingsCommands},
        {"pageSettingsLists", SettingsCommands},
    };
    for (const auto& [from, commands] : table) {
        // Every button the design gives the menu is a command of the table
        // (or one every page knows).
        for (const Ui::fdWindowBase* child : page(from)->children()) {
            const std::string& name = child->name();
            if (dynamic_cast<const Ui::fdButtonX*>(child) && name != "back" && name != "hide" &&
                name != "close") {
                EXPECT_TRUE(commands.count(name) || (from == "menuMain" && name == "close") ||
                            name == "traffic_jams")
                    << from << " has a button " << name;
            }
        }
        for (const auto& [command, to] : commands) {
            SCOPED_TRACE(from + " " + command);
            startAt(from);
            const std::size_t depth = ui->history().size();
            page(from)->childClicked(command);
            ASSERT_EQ(active(), to);
            Ui::fdPage* target = ui->activePage();
            EXPECT_TRUE(target->built());
            if (Activating.count(command)) {
                // The map page starts a new history of its own.
                EXPECT_EQ(ui->history().size(), to == "pageMap" ? 0u : depth);
                continue;
            }
            EXPECT_EQ(ui->history().size(), depth + 1);
            ui->keyDown(SDLK_ESCAPE);
            EXPECT_EQ(active(), from);
        }
    }
}

// Without a browser (no opener, or xdg-open ending with 3: no method) the
// notice shows, and is logged, until its OK; a browser that opens shows none.
// The tap does not wait for the opener: its end, after the tap returned,
// wakes the main loop, whose redraw shows the notice at once.
TEST_F(Menus, TrafficWithoutABrowserShowsTheNoticeUntilOk) {
    const std::string NoticeLine =
        "Notice shown: " + Core::wideToUtf8(Screens::fdSettingsMenuPage::TrafficNotice);
    log.setSeverity(Log::Normal);
    const std::string opener = Platform::shellOpenCommand();
    // Openers that end once the test lets them, as a browser opens or as
    // xdg-open fails without one.
    const auto script = [this](const char* name, int status) {
        const fs::path path = folder.dir.write(
            name, "#!/bin/sh\nwhile [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.05; done\nexit " +
                      std::to_string(status) + "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    };
    const fs::path failing = script("failing-opener", 3), opening = script("opening-opener", 0);
    // What wakes the main loop next, dispatched as the loop does; false when
    // nothing did for a minute.
    const auto wokenAndDispatched = [this] {
        SDL_Event event;
        for (int waits = 0; waits < 6000; ++waits) {
            if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_VIDEOEXPOSEMASK) > 0) {
                engine.dispatch(event);
                return true;
            }
            SDL_Delay(10);
        }
        return false;
    };
    for (const auto& [command, notice] : {std::pair{folder.dir.path() / "no-such-opener", true},
                                          std::pair{failing, true}, std::pair{opening, false}}) {
        SCOPED_TRACE(command.filename().string());
        fs::remove(folder.dir.path() / "go");
        Platform::setShellOpenCommand(command.string());
        const std::size_t told = log.count(NoticeLine);
        startAt("pageSettingsLists");
        auto* settings = dynamic_cast<Screens::fdSettingsMenuPage*>(page("pageSettingsLists"));
        ASSERT_NE(settings, nullptr);
        SDL_Event event;
        while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_VIDEOEXPOSEMASK) > 0)
            engine.dispatch(event);
        settings->childClicked("traffic_jams");
        Platform::setShellOpenCommand(opener);
        const bool started = fs::exists(command);
        // A missing opener is known at the tap; a started one has not ended.
        EXPECT_EQ(log.count(NoticeLine), told + (started ? 0 : 1));
        if (started) {
            // The opener's wake-up may come after another (none is expected
            // here), never before its verdict can be read.
            folder.dir.write("go", "");
            do
                ASSERT_TRUE(wokenAndDispatched()) << "the opener's end did not wake the main loop";
            while (notice && log.count(NoticeLine) == told);
        }
        Ui::TemplateWindow* box = settings->messageBox();
        EXPECT_EQ(log.count(NoticeLine), told + (notice ? 1 : 0));
        if (!notice) {
            EXPECT_TRUE(box == nullptr || !box->visible());
            continue;
        }
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->visible());
        EXPECT_EQ(settings->capture(), box);
        // Wrapped to the box's width: the notice with line feeds between words.
        std::u16string shown = dynamic_cast<Ui::fdStatic*>(box->findChild("msg_text"))->text();
        std::replace(shown.begin(), shown.end(), u'\n', u' ');
        EXPECT_EQ(shown, Screens::fdSettingsMenuPage::TrafficNotice);
        // Its button reports "mb" to the page, which hides the box and keeps it.
        box->childClicked("mb");
        EXPECT_FALSE(box->visible());
        EXPECT_EQ(settings->capture(), nullptr);
        EXPECT_EQ(settings->messageBox(), box);
        EXPECT_EQ(active(), "pageSettingsLists");
    }
}

TEST_F(Menus, EveryPageIsBuiltWithAWayBack) {
    for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
        const char* name = engine::PageFactory::kRows[i].designName;
        if (!name) continue;
        SCOPED_TRACE(name);
        Ui::fdPage* p = page(name);
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(p->built());
        const char* way = std::string(name) == "pageMap" ? "submenu"
                          : std::string(name) == "info"  ? "ok"
                                                         : "back";
        const Ui::fdWindowBase* button = p->findChild(way);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->visible());
        if (std::string(name) == "pageMap") continue;
        startAt(name);
        p->childClicked(way);
        EXPECT_EQ(active(), "menuMain");
    }
}

// Escape is "back" on every page, also on those that take every key for
// their lists; the map page keeps every key (its menu leads back) and the
// route's street list consumes Escape as its own key.
TEST_F(Menus, EscapeLeadsBackFromEveryPage) {
    const std::set<std::string> keepEscape = {"pageMap", "pageStreetList"};
    std::size_t checked = 0;
    for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
        const char* name = engine::PageFactory::kRows[i].designName;
        if (!name || keepEscape.count(name) || std::string(name) == "menuMain") continue;
        SCOPED_TRACE(name);
        startAt(name);
        ASSERT_EQ(active(), name);
        ui->keyDown(SDLK_ESCAPE);
        EXPECT_EQ(active(), "menuMain");
        ++checked;
    }
    EXPECT_GT(checked, 30u);
}

// Every page runs the UI timer it asks for while it is shown: the pages that
// refresh on their own at their period (the coordinate pages for their
// blinking caret), the others none; and the timer ticks such a page again
// after its first tick, and again after that (the sensors page asked for
// none and stood still).
TEST_F(Menus, EveryPageRunsTheUiTimerItAsksFor) {
    const std::map<std::string, std::uint32_t> periods = {
        {"pageMap", 50},          {"sensors", 500},         {"pageGPS", 500},
        {"pageSetupGPS", 200},    {"pageSearchCoords", 500}, {"pageSearchCoordsAlt", 500},
        {"monitoring_prop", 100}, {"monitoring_friend_edit", 100}, {"select_friends", 100}};
    // The timer's next expose event, waited for on a loaded machine.
    const auto timerTicks = [this] {
        const std::uint64_t before = ui->timerExposes();
        for (int waits = 0; waits < 6000 && ui->timerExposes() == before; ++waits)
            SDL_Delay(10);
        return ui->timerExposes() > before;
    };
    std::uint32_t now = 1000;
    std::size_t ticking = 0;
    for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
        const char* name = engine::PageFactory::kRows[i].designName;
        if (!name) continue;
        SCOPED_TRACE(name);
        startAt(name);
        ui->applyPendingChanges();
        ui->tick(now += 100);
        const auto it = periods.find(name);
        const Ui::TimerPeriod wanted = it == periods.end() ? Ui::TimerPeriod::none() : Ui::TimerPeriod::every(it->second);
        EXPECT_EQ(ui->uiTimer().ms(), wanted.ms());
        if (!wanted.wanted()) continue;
        ++ticking;
        for (int tick = 2; tick <= 3; ++tick) {
            ASSERT_TRUE(timerTicks()) << "no tick " << tick;
            ui->tick(now += it->second);
            EXPECT_EQ(ui->uiTimer().ms(), wanted.ms()) << "after tick " << tick;
        }
    }
    EXPECT_EQ(ticking, periods.size());
}

// Browsing every page (the settings tabs, Traffic, About and the online
// account page among them) and leaving each by "back" applies nothing:
// config.xml keeps its bytes and its file, also past the calm moment at
// which values the program changed itself are written.
TEST_F(Menus, BrowsingEveryPageAndLeavingByBackWritesNothing) {
    std::uint32_t now = 1000;
    const auto settle = [&] {
        ui->applyPendingChanges();
        ui->tick(now += 100);
        engine.keepSettings(now);
        engine.keepSettings(now += engine::fdEngine::CalmSettingsMs);
    };
    settle(); // what the start itself settled
    const fs::path config = folder.data("config.xml");
    const std::string bytes = TestSupport::readAll(config);
    const auto written = fs::last_write_time(config) - std::chrono::hours(1);
    fs::last_write_time(config, written);
    fs::create_hard_link(config, folder.dir.path() / "config.link");
    const std::string opener = Platform::shellOpenCommand();
    Platform::setShellOpenCommand("/bin/true");
    for (const char* tab : {"pageSettingsMain", "pageSettingsLists"}) {
        startAt(tab);
        settle();
        page(tab)->childClicked("traffic_jams");
        settle();
    }
    Platform::setShellOpenCommand(opener);
    const std::set<std::string> keepEscape = {"pageMap", "pageStreetList"};
    for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
        const char* name = engine::PageFactory::kRows[i].designName;
        if (!name || std::string(name) == "menuMain") continue;
        SCOPED_TRACE(name);
        startAt(name);
        settle();
        if (keepEscape.count(name))
            ui->goBack();
        else
            ui->keyDown(SDLK_ESCAPE);
        settle();
        EXPECT_TRUE(TestSupport::readAll(config) == bytes);
        EXPECT_TRUE(fs::last_write_time(config) == written);
        EXPECT_TRUE(fs::equivalent(config, folder.dir.path() / "config.link")) << "renamed over";
    }
    // Nor does the automatic day/night switch, at whatever hour it runs
    // (as the map page's tick applies a change): the mode it chose is the
    // program's own state.
    ASSERT_TRUE(engine.bindings()->dayNight().automatic());
    const bool day = engine.mapRenderer()->isDay();
    engine.mapRenderer()->selectStyles(!day);
    engine.mapRenderer()->setDayMode(!day);
    settle();
    EXPECT_TRUE(TestSupport::readAll(config) == bytes);
    // The exit writes what was read and switched, as ever.
    engine.shutdown();
    EXPECT_EQ(folder.unlistedSettings(), std::set<std::string>{}) << "settings missing from app/SettingKeys.cpp";
    const std::string saved = TestSupport::readAll(config);
    EXPECT_NE(saved.find("name=\"position_format\" value=\"1\""), std::string::npos);
    EXPECT_NE(saved.find(std::string("name=\"night_mode\" value=\"") + (day ? "1" : "0")), std::string::npos);
}

// The demo configuration names no online service: its tiles in "My lists"
// are hidden, and the friends page says why its switch does nothing.
TEST_F(Menus, WithoutAnOnlineServiceItsTilesHideAndTheFriendsPageSaysWhy) {
    ASSERT_EQ(engine.monitoring(), nullptr);
    EXPECT_FALSE(page("pageLists")->findChild("received_points")->visible());
    startAt("monitoring_prop");
    auto* notice = dynamic_cast<Ui::fdStatic*>(page("monitoring_prop")->findChild("service_notice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->visible());
    std::u16string text = notice->text();
    std::replace(text.begin(), text.end(), u'\n', u' ');
    EXPECT_EQ(text, u"The online service is not set up: config.xml has no online_url.");
}

TEST_F(Menus, TheInformationPageShowsInfoTextVersionAndCredits) {
    const std::vector<std::u16string> credits = {
        u"demo: Map data \u00a9 Mirel demo data (synthetic)",
        u"monaco: Map data \u00a9 OpenStreetMap contributors, ODbL 1.0"};
    auto* info = dynamic_cast<Screens::InfoPage*>(page("info"));
    ASSERT_NE(info, nullptr);
    // The demo's own text says when the settings are written: on OK, but
    // the automatic day and night at once (as the Map view page keeps it).
    EXPECT_NE(TestSupport::readAll(folder.data("info.txt"))
                  .find("Settings are saved when you tap OK on a settings page.\r\n"
                        "Map view: automatic Day and night is kept at once, not on OK.\r\n"),
              std::string::npos);
    // info.txt in the ANSI code page: "Сводка" in Windows-1251, CR LF lines,
    // a trailing empty line.
    std::ofstream(folder.data("info.txt"), std::ios::binary) << "\xD1\xE2\xEE\xE4\xEA\xE0\r\nb\r\n\r\n";
    startAt("menuMain");
    page("menuMain")->childClicked("info");
    ASSERT_EQ(active(), "info");
    std::vector<std::u16string> expected = {u"Сводка", u"b", u""};
    expected.insert(expected.end(), credits.begin(), credits.end());
    EXPECT_EQ(info->texts()->lines(), expected);
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(info->findChild("version"))->text(), u"2.9.0.2230");
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(info->findChild("name"))->text(), u"Mirel car navigator");
    info->childClicked("ok");
    EXPECT_EQ(active(), "menuMain");

    // Without info.txt the page still opens, with the credits alone.
    fs::remove(folder.data("info.txt"));
    page("menuMain")->childClicked("info");
    EXPECT_EQ(active(), "info");
    EXPECT_EQ(info->texts()->lines(), credits);
    EXPECT_TRUE(log.contains("Can't open file '"));
    EXPECT_TRUE(log.contains("info.txt' (err 2): No such file or directory"));
}

TEST_F(Menus, TheAtlasesPageSwitchesTheAtlasAndSavesTheChoice) {
    auto* atlases = dynamic_cast<Screens::AtlasesPage*>(page("atlases"));
    ASSERT_NE(atlases, nullptr);
    Map::AtlasFolderList& folders = *engine.atlasFolders();
    ASSERT_EQ(folders.records().size(), 2u);
    const auto folderOf = [&](std::uint32_t i) { return folders.records()[i].path; };
    // The program starts on the atlas of its settings; the other is "other".
    const std::uint32_t first = folders.current(), other = 1 - first;
    ASSERT_EQ(engine.atlas()->folder(), folderOf(first));

    startAt("pageSettingsMain");
    page("pageSettingsMain")->childClicked("btnSetupAtlases");
    ASSERT_EQ(active(), "atlases");
    // The current atlas is highlighted; "select" at once reloads it.
    EXPECT_EQ(atlases->atlases()->selectedIndex(), static_cast<std::int32_t>(first));
    atlases->childClicked("select");
    EXPECT_EQ(active(), "pageSettingsMain");
    EXPECT_EQ(engine.atlas()->folder(), folderOf(first));
    EXPECT_TRUE(engine.atlas()->loaded());

    for (const std::uint32_t to : {other, first, other}) {
        SCOPED_TRACE(to);
        page("pageSettingsMain")->childClicked("btnSetupAtlases");
        atlases->atlases()->itemClicked(static_cast<std::int32_t>(to));
        atlases->childClicked("select");
        EXPECT_EQ(active(), "pageSettingsMain");
        EXPECT_EQ(engine.atlas()->folder(), folderOf(to));
        EXPECT_TRUE(engine.atlas()->loaded());
        EXPECT_EQ(folders.current(), to);
        EXPECT_EQ(engine.atlasIndex(), to);
        // Both car-lock units are free again.
        Positioning::CarStateLock& lock = engine.mapEvents()->lock();
        EXPECT_TRUE(lock.tryTake());
        EXPECT_TRUE(lock.tryTake());
        EXPECT_FALSE(lock.tryTake());
        lock.release();
        lock.release();
    }
    engine.shutdown();
    // Stored relative to the data folder, as "maps\<name>".
    const std::string config = TestSupport::readAll(folder.data("config.xml"));
    const std::string path = Core::wideToUtf8(folderOf(other));
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    EXPECT_NE(config.find("name=\"atlas\" value=\"maps\\" + name + "\""), std::string::npos) << config;
}

} // namespace

namespace {

// The waypoints plug-in beside the program: each atlas load creates it over
// the atlas's database, and the atlas releases it when it goes.
TEST(WaypointsPlugin, TheEngineLoadsItFromTheProgramFolderForEachAtlas) {
    ProgramFolder folder(ProgramFolder::Atlases::All);
    fs::copy_file(MIREL_FAKE_TARVIK, folder.dir.path() / "tarvik_win.so");
    std::ofstream(folder.data("config.xml"))
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config version=\"2\">\n"
           "<var name=\"log_severity\" value=\"3\"/>\n</config>\n";
    TestSupport::CaptureLogger log;
    engine::fdEngine engine(folder.wide());
    ASSERT_EQ(engine.init(), 0);
    EXPECT_NE(engine.atlas()->waypointsPlugin(), nullptr);
    EXPECT_EQ(log.count("Creating Tarvik..."), 1u);
    EXPECT_EQ(log.countStartingWith("Db path: "), 1u);
    EXPECT_TRUE(log.contains("tarvik.db"));
    EXPECT_EQ(log.count("Tarvik successfully loaded"), 1u);
    engine.shutdown();
    for (const std::string& line : log.linesAt(Log::Critical))
        EXPECT_EQ(line.find("Tarvik"), std::string::npos) << line;
}

} // namespace

namespace {

// Saved keyboard settings reach the keyboards already open on the find,
// waypoint and account pages, and the account page's next keyboard.
TEST_F(Menus, KeyboardSettingsReopenTheOpenKeyboards) {
    const auto keyboardOf = [&](const char* name) {
        ui->applyPendingChanges();
        return dynamic_cast<Ui::Keyboard*>(page(name)->findChild("kb"));
    };
    for (const char* name : {"pageFind", "pageWPEdit"}) {
        ASSERT_NE(keyboardOf(name), nullptr) << name;
        EXPECT_EQ(keyboardOf(name)->languageCount(), 2u) << name;
    }
    const Ui::Keyboard* before = keyboardOf("pageFind");
    // The account page's keyboard is open while its name is typed.
    startAt("services_prop");
    page("services_prop")->childClicked("name_box");
    ASSERT_NE(keyboardOf("services_prop"), nullptr);
    EXPECT_EQ(keyboardOf("services_prop")->languageCount(), 2u);
    startAt("keyboard_prop");
    auto* keyboard = dynamic_cast<Screens::KeyboardPropPage*>(page("keyboard_prop"));
    keyboard->languages()->itemClicked(1);
    keyboard->childClicked("button_ok");
    EXPECT_EQ(active(), "menuMain");
    EXPECT_EQ(engine.configRoot()->child("Keyboard")->value("used_languages", std::string()), "English");
    EXPECT_NE(keyboardOf("pageFind"), before);
    for (const char* name : {"pageFind", "pageWPEdit"}) {
        ASSERT_NE(keyboardOf(name), nullptr) << name;
        EXPECT_EQ(keyboardOf(name)->languageCount(), 1u) << name;
    }
    // The waypoint page shows its keyboard only while a box is edited.
    EXPECT_FALSE(keyboardOf("pageWPEdit")->visible());
    // The account page's open keyboard follows, and so does the one it
    // opens the next time a box is typed into.
    ASSERT_NE(keyboardOf("services_prop"), nullptr);
    EXPECT_EQ(keyboardOf("services_prop")->languageCount(), 1u);
    startAt("services_prop");
    EXPECT_EQ(keyboardOf("services_prop"), nullptr);
    page("services_prop")->childClicked("password_box");
    ASSERT_NE(keyboardOf("services_prop"), nullptr);
    EXPECT_EQ(keyboardOf("services_prop")->languageCount(), 1u);
}

} // namespace

namespace {

// A place without a name goes by its type's name on the results, the map's
// top box and the history page, with the design, atlas and map styles as
// the program loads them: the history page is made before the map renderer
// that holds the styles. The untyped search for parkings lists the nearest
// around the car.
TEST_F(Menus, AnUnnamedPlaceGoesByItsTypeOnEveryPage) {
    std::uint16_t parking = 0;
    for (const auto& [type, style] : engine.mapRenderer()->styles().daySet().poiStyles)
        if (style.name == u"Parking") parking = type;
    ASSERT_NE(parking, 0);
    auto* search = dynamic_cast<TextSearch::Engine*>(engine.atlas()->services().searchEngine.get());
    ASSERT_NE(search, nullptr);
    search->setCarPosition([] { return std::optional(Map::Projection::fromGeo(43.7384f, 7.4246f)); });
    const auto textOf = [](Ui::fdWindowBase* window, const char* name) {
        return Core::wideToUtf8(dynamic_cast<Ui::fdStatic*>(window->findChild(name))->text());
    };
    const auto tapRow = [](Ui::fdPage* on, std::int32_t index, Ui::List& model) {
        model.ensureVisible(index);
        auto* list = dynamic_cast<Ui::fdList*>(on->findChild("list"));
        list->releaseClick = true;
        list->childClicked(std::to_string(index - model.firstVisibleIndex()));
    };
    startAt("menuFind");
    page("menuFind")->childClicked("poi");
    ASSERT_EQ(active(), "select_poi_types");
    struct Only : Ui::PoiTypesGroupsMultiSelectList::CheckPredicate {
        std::uint16_t type;
        bool isChecked(std::uint16_t, std::uint16_t t) const override { return t == type; }
    } only;
    only.type = parking;
    dynamic_cast<Screens::SelectPoiTypesPage*>(page("select_poi_types"))->model()->updateGroupChecks(only);
    page("select_poi_types")->childClicked("button_ok");
    ASSERT_EQ(active(), "pageFind");
    page("pageFind")->childClicked("ok");
    ASSERT_EQ(active(), "pageResults");
    auto* results = dynamic_cast<Screens::fdPageFindResults*>(page("pageResults"));
    const auto& rows = results->results()->rows();
    const auto unnamed = std::ranges::find_if(rows, [](const auto& row) { return row.item.text.empty(); });
    ASSERT_NE(unnamed, rows.end()) << "Monaco has parkings without a name";
    EXPECT_EQ(unnamed->shown, u"Parking");
    tapRow(results, std::int32_t(unnamed - rows.begin()), *results->results());
    ASSERT_EQ(active(), "pageMap");
    EXPECT_EQ(textOf(page("pageMap"), "upper_box_turn"), "Parking");

    startAt("menuFind");
    page("menuFind")->childClicked("history");
    ASSERT_EQ(active(), "pageFilterHistory");
    auto* list = dynamic_cast<Ui::fdList*>(page("pageFilterHistory")->findChild("list"));
    EXPECT_EQ(textOf(list->rowWidget(0), "text").rfind("Parking, ", 0), 0u) << textOf(list->rowWidget(0), "text");
    page("pageFilterHistory")->childClicked("button_ok");
    ASSERT_EQ(active(), "pageMap");
    EXPECT_EQ(textOf(page("pageMap"), "upper_box_turn"), "Parking");
}

} // namespace
