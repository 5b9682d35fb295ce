// What the engine keeps while it runs and what it tells the driver: the
// settings reach config.xml when a page applied them (and when the program
// changed one itself), and what went wrong without stopping the program
// is said on the map page, with the system's reason.

#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/ConfigNode.h"
#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/Text.h"
#include "map/KVAtlas.h"
#include "routing/AtlasRoute.h"
#include "screens/fdPageMap.h"
#include "screens/fdSettingsMenuPage.h"
#include "search/Engine.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/AsOrdinaryUser.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "ui/Keyboard.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"
#include "userdata/fdWPManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace {

using TestSupport::ProgramFolder;

bool stored(const std::string& config, const std::string& key, const std::string& value) {
    return config.find("name=\"" + key + "\" value=\"" + value + "\"") != std::string::npos;
}

// A text without its line breaks and blanks: the dialog breaks lines
// between words and inside words too long for a line.
std::string unwrapped(std::u16string_view text) {
    std::string out;
    for (const char c : Core::wideToUtf8(std::u16string(text)))
        if (c != '\n' && c != ' ')
            out.push_back(c);
    return out;
}

// The map page's dialog text, unwrapped.
std::string dialogText(Screens::fdPageMap& page) {
    Ui::fdWindowBase* dialog = page.findChild("ok_dialog");
    if (dialog == nullptr || !dialog->visible())
        return "(no dialog)";
    auto* label = dynamic_cast<Ui::fdStatic*>(dialog->findChild("msg_text"));
    return label ? unwrapped(label->text()) : "(no text)";
}

// "ok" on a settings page stores its values at once; the values the
// program changes itself wait for a calm moment, CalmSettingsMs after the
// last save; "back" writes nothing.
TEST(EngineKeepsSettings, OkReachesTheDiskAtOnceOtherChangesAtACalmMoment) {
    ProgramFolder folder;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    Ui::fdInterface& ui = *e.ui();
    e.keepSettings(1000);
    ASSERT_FALSE(stored(folder.config(), "night_mode", "1"));

    ui.goToPageByName("pageRenderSettings");
    ASSERT_EQ(ui.activePage()->name(), "pageRenderSettings");
    e.keepSettings(1100);
    ui.activePage()->childClicked("night_mode");
    ui.activePage()->childClicked("ok");
    ui.applyPendingChanges();
    EXPECT_TRUE(stored(folder.config(), "night_mode", "0")) << "nothing before the page is left";
    e.keepSettings(1200);
    EXPECT_TRUE(stored(folder.config(), "night_mode", "1"));

    e.configRoot()->set("camera_fovy", 45.0f);
    const std::uint32_t quiet = 1200 + engine::fdEngine::CalmSettingsMs;
    e.keepSettings(quiet - 1);
    EXPECT_FALSE(stored(folder.config(), "camera_fovy", "45.000000"));
    e.keepSettings(quiet);
    EXPECT_TRUE(stored(folder.config(), "camera_fovy", "45.000000"));

    // A page left by "back" changed nothing: the file is not rewritten.
    const auto written = fs::last_write_time(folder.data("config.xml"));
    fs::last_write_time(folder.data("config.xml"), written - std::chrono::hours(1));
    ui.goToPageByName("pageRenderSettings");
    e.keepSettings(quiet + 100);
    ui.goBack();
    ui.applyPendingChanges();
    e.keepSettings(quiet + 200);
    e.keepSettings(quiet + 200 + engine::fdEngine::CalmSettingsMs);
    EXPECT_EQ(fs::last_write_time(folder.data("config.xml")), written - std::chrono::hours(1));
    e.shutdown();
}

// "ok" on a settings page when the disk takes nothing: config.xml and
// camera.kvc stay as they were, and the driver is told in one box on the
// settings menu the page went back to, with the system's reason; the
// same settings failing again at the next page are not told again, and
// the log says the failure once.
TEST(EngineNotices, ASettingTheDiskDidNotTakeIsSaidOnceOnTheMenu) {
    ProgramFolder folder;
    TestSupport::CaptureLogger log;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    // The lines that name each notice are Normal.
    Log::installed()->setSeverity(Log::Normal);
    Ui::fdInterface& ui = *e.ui();
    const Messages& m = *e.messages();
    const fs::path camera = folder.atlas() / "camera.kvc";
    std::uint32_t now = 1000;
    const auto go = [&](const char* page) {
        ui.goToPageByName(page);
        ASSERT_EQ(ui.activePage()->name(), page);
        e.keepSettings(now += 100);
    };
    const auto menuBox = [&]() -> std::string {
        auto* menu = dynamic_cast<Screens::fdSettingsMenuPage*>(ui.activePage());
        if (!menu || !menu->messageBox() || !menu->messageBox()->visible())
            return "(no box)";
        return unwrapped(dynamic_cast<Ui::fdStatic*>(menu->messageBox()->findChild("msg_text"))->text());
    };
    // A setting and the view stored while the disk took them: the files
    // to keep.
    go("pageSettingsMain");
    for (const char* page : {"pageSetupRouting", "pageRenderSettings"}) {
        go(page);
        ui.activePage()->childClicked("optright");
        ui.activePage()->childClicked("ok");
        ui.applyPendingChanges();
        e.keepSettings(now += 100);
        ASSERT_EQ(menuBox(), "(no box)");
    }
    const std::string config = folder.config(), view = TestSupport::readAll(camera);
    ASSERT_FALSE(config.empty());
    const std::u16string reason = u"\n(File too large)";
    const struct {
        const char* page;
        std::vector<const char*> commands;
        std::u16string told;
    } rows[] = {
        {"pageSetupRouting", {"dirt_check", "ok"}, m.text("settings_write_err") + reason},
        {"pageRenderSettings", {"dPosUp", "ok"}, m.text("view_write_err") + reason},
        // Both files fail: one box, the settings' (the view is one of them).
        {"pageRenderSettings", {"dPosUp", "fovDown", "ok"}, m.text("settings_write_err") + reason},
        // The receiver's port, stored at "ok" while the GPS thread has yet
        // to open it: said on this menu, not a page later.
        {"pageSetupGPS", {"nextPort", "ok"}, m.text("settings_write_err") + reason},
    };
    std::optional<TestSupport::FileSizeLimit> full(0);
    std::map<std::u16string, std::size_t> told;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        go(row.page);
        for (const char* command : row.commands) {
            if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(ui.activePage()->findChild(command)))
                check->setChecked(!check->checked());
            ui.activePage()->childClicked(command);
        }
        ui.applyPendingChanges();
        e.keepSettings(now += 100);
        EXPECT_EQ(menuBox(), unwrapped(row.told));
        EXPECT_EQ(log.count("Notice shown: " + Core::wideToUtf8(Log::linesJoined(row.told))), ++told[row.told]);
        ui.activePage()->childClicked("mb");
        EXPECT_EQ(menuBox(), "(no box)");
        EXPECT_EQ(folder.config(), config);
        EXPECT_EQ(TestSupport::readAll(camera), view);
        go("menuMain");
        go("pageSettingsMain");
        EXPECT_EQ(menuBox(), "(no box)") << "told once";
    }
    full.reset();
    EXPECT_EQ(log.count("Can't write config file '" + folder.data("config.xml").string() +
                        "' (err 223): File too large"),
              1u);
    e.shutdown();
}

// Once at start, on the map page, one after the other: config.xml was
// damaged (and where it was kept; a second damage keeps the first copy), a
// waypoint file could not be read, a map of the atlas was skipped, there is
// no sound device (no voice).
TEST(EngineNotices, WhatWentWrongAtStartIsShownOnceOnTheMap) {
    TestSupport::ScopedEnv noSound("SDL_AUDIODRIVER", "no-such-driver");
    ProgramFolder folder;
    std::ofstream(folder.data("config.xml.bak")) << "the first damage";
    std::ofstream(folder.data("config.xml")) << "<config version=\"2\"><var name=";
    fs::create_directories(folder.dir.path() / "waypoints");
    std::ofstream(folder.dir.path() / "waypoints" / "broken.gpx") << "<gpx><wpt lat=";
    std::ofstream(folder.data("maps/demo/broken.kvm")) << "no map";
    TestSupport::CaptureLogger log;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    EXPECT_EQ(TestSupport::readAll(folder.data("config.xml.bak")), "the first damage");
    EXPECT_EQ(TestSupport::readAll(folder.data("config.xml.bak.2")), "<config version=\"2\"><var name=");

    auto* page = dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"));
    ASSERT_NE(page, nullptr);
    const Messages& m = *e.messages();
    const std::u16string expected[] = {
        m.text("config_damaged_err") + u"\n" + m.text("config_kept_as") + u"\nconfig.xml.bak.2",
        m.text("wp_read_err") + u"\nbroken.gpx",
        m.text("atlas_map_skipped_err") + u"\nbroken.kvm",
        u"No sound device was found: there will be no voice guidance and no sounds.",
    };
    ASSERT_EQ(page->pendingNotices().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(Core::wideToUtf8(page->pendingNotices()[i]), Core::wideToUtf8(expected[i])) << i;

    // The damaged settings' defaults log Critical lines only; the lines
    // that name each notice are Normal.
    Log::installed()->setSeverity(Log::Normal);
    e.ui()->activatePage(page);
    std::uint32_t now = 10000;
    for (const std::u16string& text : expected) {
        page->tick(now += 100);
        EXPECT_EQ(dialogText(*page), unwrapped(text));
        EXPECT_TRUE(log.contains("Notice shown: " + Core::wideToUtf8(text.substr(0, text.find(u'\n')))));
        page->childClicked("ok_dialog");
    }
    page->tick(now += 100);
    EXPECT_EQ(dialogText(*page), "(no dialog)");
    e.shutdown();
}

// A map file the last run used and that is gone now (the view may lie on
// it, and the map would be blank without a word) is named once.
TEST(EngineNotices, AMapFileGoneSinceTheLastRunIsNamed) {
    ProgramFolder folder;
    const auto gone = folder.data("maps/demo/demo-region.kvm");
    std::vector<std::vector<std::u16string>> seen;
    for (int run = 0; run < 3; ++run) {
        if (run == 1)
            fs::remove(gone);
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        auto* page = dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"));
        ASSERT_NE(page, nullptr);
        seen.emplace_back(page->pendingNotices().begin(), page->pendingNotices().end());
        if (run == 1) {
            ASSERT_EQ(seen.back().size(), 1u);
            EXPECT_EQ(Core::wideToUtf8(seen.back()[0]),
                      Core::wideToUtf8(e.messages()->text("map_file_gone_err")) + "\ndemo-region.kvm");
        }
        e.shutdown();
    }
    EXPECT_TRUE(seen[0].empty());
    EXPECT_TRUE(seen[2].empty()) << "told once";
}

// The chosen atlas's folder renamed between two starts: the next start
// shows the first atlas and says which one is missing (log and notice),
// and keeps the choice, so that the folder put back opens again; a choice
// made on the atlases page is the one stored from then on.
TEST(EngineNotices, AChosenAtlasGoneBetweenTwoStartsIsNamedAndKeptUntilAnotherIsChosen) {
    ProgramFolder folder(ProgramFolder::Atlases::All);
    const fs::path monaco = folder.data("maps/monaco");
    const fs::path away = folder.dir.path() / "monaco-away";
    const auto opens = [&](const std::string& atlas, const std::function<void(engine::fdEngine&)>& then = {}) {
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        ASSERT_TRUE(Core::wideToUtf8(e.atlas()->folder()).ends_with(atlas)) << Core::wideToUtf8(e.atlas()->folder());
        if (then)
            then(e);
        e.shutdown();
    };
    opens("monaco");
    ASSERT_TRUE(stored(folder.config(), "atlas", "maps\\monaco"));

    fs::rename(monaco, away);
    TestSupport::CaptureLogger log(Log::Critical);
    opens("demo", [&](engine::fdEngine& e) {
        auto& page = *dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"));
        const Messages& m = *e.messages();
        const std::u16string expected =
            m.text("atlas_missing_err") + u"\nmaps/monaco\n" + m.text("atlas_shown_instead") + u"\ndemo";
        ASSERT_EQ(page.pendingNotices().size(), 1u);
        EXPECT_EQ(Core::wideToUtf8(page.pendingNotices()[0]), Core::wideToUtf8(expected));
        e.ui()->activatePage(&page);
        page.tick(10000);
        EXPECT_EQ(dialogText(page), unwrapped(expected));
        const std::string data = folder.data("maps").string();
        EXPECT_EQ(log.count("Atlas error: the chosen atlas " + data + "/monaco is missing - " + data +
                            "/demo is shown, the choice is kept"),
                  1u);
    });
    EXPECT_TRUE(stored(folder.config(), "atlas", "maps\\monaco")) << folder.config();

    fs::rename(away, monaco);
    opens("monaco", [](engine::fdEngine& e) {
        EXPECT_TRUE(dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"))->pendingNotices().empty());
    });

    // Gone again, and the driver takes the atlas shown on the atlases page.
    fs::rename(monaco, away);
    opens("demo", [](engine::fdEngine& e) {
        e.ui()->goToPageByName("atlases");
        ASSERT_EQ(e.ui()->activePage()->name(), "atlases");
        e.ui()->activePage()->childClicked("select");
    });
    EXPECT_TRUE(stored(folder.config(), "atlas", "maps\\demo")) << folder.config();
}

// The chosen atlas is there but cannot be read at the next start (its
// files deleted, its rights taken away): the start shows another atlas,
// says which and why (log and notice), and keeps the choice, so that the
// atlas mended opens again.
TEST(EngineNotices, AChosenAtlasThatCannotBeReadShowsAnotherAndKeepsTheChoice) {
    ProgramFolder folder(ProgramFolder::Atlases::All);
    const fs::path monaco = folder.data("maps/monaco");
    const fs::path kept = folder.dir.path() / "monaco-files";
    const auto start = [&](const std::function<void(engine::fdEngine&)>& then, bool ordinaryUser = false) {
        engine::fdEngine e(folder.wide());
        int result = -1;
        if (ordinaryUser)
            TestSupport::asOrdinaryUser([&] { result = e.init(); });
        else
            result = e.init();
        ASSERT_EQ(result, 0);
        then(e);
        e.shutdown();
    };
    const auto shows = [](engine::fdEngine& e) {
        const std::string path = Core::wideToUtf8(e.atlas()->folder());
        return path.substr(path.find_last_of("\\/") + 1);
    };
    start([&](engine::fdEngine& e) { EXPECT_EQ(shows(e), "monaco"); });
    fs::copy(monaco, kept, fs::copy_options::recursive);
    const std::string data = folder.data("maps").string();
    const struct {
        const char* what;
        std::function<void()> make, mend;
        bool ordinaryUser;
        std::string reason;
    } rows[] = {
        {"emptied",
         [&] {
             for (const auto& entry : fs::directory_iterator(monaco))
                 fs::remove_all(entry.path());
         },
         [&] { fs::copy(kept, monaco, fs::copy_options::recursive | fs::copy_options::overwrite_existing); },
         false, "monaco.kvm: Gone (deleted or moved away)"},
        {"unreadable",
         [&] {
             // The program folder open to the ordinary user, the atlas not.
             fs::permissions(folder.dir.path(), fs::perms::all, fs::perm_options::add);
             for (const auto& entry : fs::recursive_directory_iterator(folder.dir.path()))
                 fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
             fs::permissions(monaco, fs::perms::none);
         },
         [&] { fs::permissions(monaco, fs::perms::all); }, true,
         "The folder cannot be read (Permission denied)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.make();
        TestSupport::CaptureLogger log;
        start(
            [&](engine::fdEngine& e) {
                EXPECT_EQ(shows(e), "demo");
                auto& page = *dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"));
                const Messages& m = *e.messages();
                const std::u16string expected = m.text("atlas_unreadable_err") + u"\nmaps/monaco\n" +
                                                Core::utf8ToWide(row.reason) + u"\n" +
                                                m.text("atlas_unreadable_shown") + u"\ndemo";
                ASSERT_EQ(page.pendingNotices().size(), 1u);
                EXPECT_EQ(Core::wideToUtf8(page.pendingNotices()[0]), Core::wideToUtf8(expected));
                EXPECT_EQ(log.count("Atlas error: the chosen atlas " + data + "/monaco could not be read - " + data +
                                    "/demo is shown, the choice is kept"),
                          1u);
                EXPECT_EQ(log.count("Atlas error: no valid maps found in " + data +
                                    "/monaco - another atlas is tried"),
                          1u);
                for (const std::string& line : log.lines())
                    EXPECT_EQ(line.find("fatal"), std::string::npos) << line;
            },
            row.ordinaryUser);
        EXPECT_TRUE(stored(folder.config(), "atlas", "maps\\monaco")) << folder.config();
        row.mend();
        start([&](engine::fdEngine& e) {
            EXPECT_EQ(shows(e), "monaco");
            EXPECT_TRUE(dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"))->pendingNotices().empty());
        });
    }
}

// A map file deleted, cut short or replaced while in use (nothing fails by
// itself) is found within MapFilesCheckMs, logged once and the atlas loaded
// again; the driver is told of a loss (a replacement that cannot be read
// too), and of an atlas left with no map.
TEST(EngineNotices, AMapFileChangedWhileInUseIsFoundAndTheAtlasLoadedAgain) {
    const auto removed = [](std::vector<const char*> names) {
        return [names](const fs::path& a) {
            for (const char* name : names)
                fs::remove(a / name);
        };
    };
    const struct {
        std::function<void(const fs::path& atlas)> change;
        std::string line; // the log line's words after the file's path
        std::string file;
        std::string notice; // message keys and the files named
        std::size_t maps;   // after the load
    } rows[] = {
        {removed({"demo-region.kvm"}), "is gone", "demo-region.kvm", "map_file_gone_err\ndemo-region.kvm", 2},
        {[](const fs::path& a) {
             fs::resize_file(a / "demo-town.kvm", fs::file_size(a / "demo-town.kvm") / 3);
         },
         "was cut short", "demo-town.kvm", "map_file_cut_err\ndemo-town.kvm", 2},
        {[](const fs::path& a) {
             fs::copy_file(a / "demo-town.kvm", a / "new.tmp");
             fs::rename(a / "new.tmp", a / "demo-town.kvm");
         },
         "was replaced", "demo-town.kvm", "", 3},
        // Unreadable bytes of the same size written beside it and renamed
        // over it: only the file's identity tells.
        {[](const fs::path& a) {
             std::ofstream(a / "new.tmp", std::ios::binary)
                 << std::string(static_cast<std::size_t>(fs::file_size(a / "demo-town.kvm")), '\x5A');
             fs::rename(a / "new.tmp", a / "demo-town.kvm");
         },
         "was replaced", "demo-town.kvm", "map_file_bad_err\ndemo-town.kvm", 2},
        // Two files: both named, and nothing "more".
        {removed({"demo-country.kvm", "demo-region.kvm"}), "is gone", "demo-country.kvm",
         "map_file_gone_err\ndemo-country.kvm\ndemo-region.kvm", 1},
        {removed({"demo-country.kvm", "demo-region.kvm", "demo-town.kvm"}), "is gone", "demo-country.kvm",
         "map_file_gone_err\ndemo-country.kvm\ndemo-region.kvm\n... (1 more)\natlas_bad_atlas_err", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.notice + row.line);
        ProgramFolder folder;
        TestSupport::CaptureLogger log;
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        Log::installed()->setSeverity(Log::Normal); // the settings' default is Critical
        auto* page = dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"));
        ASSERT_NE(page, nullptr);
        const std::size_t noticesBefore = page->pendingNotices().size();
        std::uint32_t now = 100000;
        e.closeDamagedMaps(now);
        row.change(folder.atlas());
        e.closeDamagedMaps(now += 100);
        EXPECT_EQ(e.atlas()->mapCount(), 3u) << "looked at again only after a while";
        e.closeDamagedMaps(now += engine::fdEngine::MapFilesCheckMs);
        EXPECT_TRUE(log.contains("Map file '" + (folder.atlas() / row.file).string() + "' " + row.line +
                                 " while in use: the atlas is loaded again"));
        EXPECT_EQ(e.atlas()->loaded() ? e.atlas()->mapCount() : 0u, row.maps);
        std::string notices, expected = row.notice;
        for (std::size_t i = noticesBefore; i < page->pendingNotices().size(); ++i)
            notices += Core::wideToUtf8(page->pendingNotices()[i]);
        for (const char* key :
             {"map_file_gone_err", "map_file_cut_err", "map_file_bad_err", "atlas_bad_atlas_err"})
            if (const auto at = expected.find(key); at != std::string::npos)
                expected.replace(at, std::strlen(key), Core::wideToUtf8(e.messages()->text(key)));
        EXPECT_EQ(notices, expected);
        // The program runs on, with or without a map: no line reads as its end.
        for (const std::string& line : log.lines())
            EXPECT_EQ(line.find("fatal"), std::string::npos) << line;
        log.clear(); // found once: the atlas loaded again holds what is there now
        e.closeDamagedMaps(now += engine::fdEngine::MapFilesCheckMs);
        EXPECT_EQ(log.countStartingWith("Map file '"), 0u);
        e.shutdown();
    }
}

// A point, a recording, a route or a search the disk did not take is said
// on the map, with the system's reason rather than a guess.
TEST(EngineNotices, AWaypointOrTrackThatCannotBeWrittenIsShownWithTheReason) {
    ProgramFolder folder;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    auto* page = dynamic_cast<Screens::fdPageMap*>(e.ui()->findPage("pageMap"));
    ASSERT_NE(page, nullptr);
    e.ui()->activatePage(page);
    page->tick(100);
    ASSERT_EQ(dialogText(*page), "(no dialog)");
    const Messages& m = *e.messages();
    const std::u16string reason = u"\n(File too large)";
    {
        TestSupport::FileSizeLimit full(0);
        ASSERT_GE(e.waypoints()->addPoint(u"P", Map::Point{0, 0}, u"", 0), 0);
        auto* indicator = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("track_indicator"));
        ASSERT_NE(indicator, nullptr);
        indicator->setChecked(true);
        page->childClicked("track_indicator");
        // A route changed twice (a rebuild after the driver's change) is
        // told once; each change of the search history is told.
        for (int change = 0; change < 2; ++change) {
            e.route()->path().markChanged();
            e.keepRouteAndView(100);
        }
        auto* search = dynamic_cast<TextSearch::Engine*>(e.atlas()->services().searchEngine.get());
        ASSERT_NE(search, nullptr);
        EXPECT_FALSE(search->history().addFoundObject(
            17, TextSearch::ResultItem{u"Monte-Carlo", u"", {0, 0}, std::vector<Map::MapAndOffset>{{0, 1}}}));
        e.keepRouteAndView(100);
    }
    std::uint32_t now = 200;
    for (const char* told : {"map_track_write_err", "route_write_err", "history_write_err", "wp_write_err"}) {
        page->tick(now += 100);
        EXPECT_EQ(dialogText(*page), unwrapped(m.text(told) + reason)) << told;
        page->childClicked("ok_dialog");
    }
    e.route()->path().markChanged();
    e.keepRouteAndView(100); // stored again: a later failure is news
    page->tick(now += 100);
    EXPECT_EQ(dialogText(*page), "(no dialog)") << "each failure is told once";
    e.shutdown();
}

} // namespace
