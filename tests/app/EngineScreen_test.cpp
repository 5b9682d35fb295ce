// What reaches the driver's eyes: the active page on the screen after a
// redraw, and the atlas errors of a start-up on the error stream.

#include "app/PageFactory.h"
#include "app/fdEngine.h"

#include "core/Text.h"
#include "guidance/SoundSystem.h"
#include "render/MapPageServices.h"
#include "ui/fdStatic.h"
#include "map/proximity/Index.h"
#include "positioning/PortSystem.h"
#include "render/RenderStyles.h"
#include "render/fdMapRenderer.h"
#include "screens/SelectPoiTypesPage.h"
#include "ui/PoiTypesLists.h"
#include "core/TempSurface.h"
#include "tests/support/CaptureLogger.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

using TestSupport::ProgramFolder;

// A page that paints the whole screen in one colour.
struct ColourPage : Ui::fdPage {
    ColourPage(Ui::fdInterface* ui, const char* name, Uint8 red) : fdPage(ui, name, nullptr), red(red) {}
    void draw(SDL_Surface* surface, TempSurface&, bool) override {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, red, 0, 0));
    }
    Uint8 red;
};

Uint32 pixel(SDL_Surface* s) {
    SDL_LockSurface(s);
    Uint32 v = 0;
    std::memcpy(&v, static_cast<const Uint8*>(s->pixels) + 5 * s->pitch + 5 * s->format->BytesPerPixel,
                s->format->BytesPerPixel);
    SDL_UnlockSurface(s);
    Uint8 r, g, b;
    SDL_GetRGB(v, s->format, &r, &g, &b);
    return (Uint32(r) << 16) | (Uint32(g) << 8) | b;
}

TEST(EngineScreen, ARedrawShowsTheActivePage) {
    ProgramFolder folder;
    TestSupport::CaptureLogger quiet;
    engine::fdEngine e(folder.wide());
    EXPECT_EQ(e.designWidth(), 0) << "no design before the start";
    EXPECT_EQ(e.designHeight(), 0);
    ASSERT_EQ(e.init(), 0);
    ASSERT_NE(e.screen(), nullptr);
    ASSERT_NE(e.sound(), nullptr);
    EXPECT_EQ(e.ui()->soundPlayer(), static_cast<Ui::SoundPlayer*>(e.sound())) << "the buttons' clicks are heard";
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    EXPECT_STREQ(title, "mirel");
    auto* dark = new ColourPage(e.ui(), "dark", 0x40);
    auto* bright = new ColourPage(e.ui(), "bright", 0xC0);
    for (Ui::fdPage* page : {static_cast<Ui::fdPage*>(dark), static_cast<Ui::fdPage*>(bright),
                             static_cast<Ui::fdPage*>(dark)}) {
        e.ui()->activatePage(page);
        e.redraw();
        EXPECT_EQ(pixel(e.screen()), Uint32(page == dark ? 0x400000 : 0xC00000)) << page->name();
    }
    // Keys without a symbol (SDL's unknown key) reach no page, down or up.
    struct KeyPage : Ui::fdPage {
        using fdPage::fdPage;
        bool keyDown(int key) override { return keys.push_back(key), true; }
        bool keyUp(int key) override { return keys.push_back(-key), true; }
        std::vector<int> keys;
    };
    auto* keys = new KeyPage(e.ui(), "keys", nullptr);
    e.ui()->activatePage(keys);
    for (const auto& [type, sym] : {std::pair{SDL_KEYDOWN, SDLK_UNKNOWN}, {SDL_KEYUP, SDLK_UNKNOWN},
                                    {SDL_KEYDOWN, SDLK_b}, {SDL_KEYUP, SDLK_b}}) {
        SDL_Event key{};
        key.type = static_cast<Uint8>(type);
        key.key.keysym.sym = sym;
        e.dispatch(key);
    }
    EXPECT_EQ(keys->keys, (std::vector<int>{SDLK_b, -SDLK_b}));
    // The window system's request to paint the window again.
    e.ui()->activatePage(bright);
    SDL_Event expose{};
    expose.type = SDL_VIDEOEXPOSE;
    e.dispatch(expose);
    EXPECT_EQ(pixel(e.screen()), Uint32(0xC00000));
    e.shutdown();
}

// A page that invalidates itself on every change (the map page) is drawn
// only after a tick that left it dirty; any other page on every redraw.
// Regaining the window's activation always draws.
TEST(EngineScreen, APageDrawnOnChangeCostsNoFrameWhenNothingChanged) {
    ProgramFolder folder;
    TestSupport::CaptureLogger quiet;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    struct CountingPage : ColourPage {
        CountingPage(Ui::fdInterface* ui, const char* name, bool onChange)
            : ColourPage(ui, name, 0x20), onChange(onChange) {}
        bool drawsOnlyWhenInvalidated() const override { return onChange; }
        void tick(std::uint32_t) override {
            if (changeNext)
                invalidate(1);
            changeNext = false;
        }
        void draw(SDL_Surface* surface, TempSurface& clip, bool force) override {
            ColourPage::draw(surface, clip, force);
            m_dirty = false;
            ++frames;
        }
        bool onChange;
        bool changeNext = false;
        int frames = 0;
    };
    for (const bool onChange : {true, false}) {
        SCOPED_TRACE(onChange);
        auto* page = new CountingPage(e.ui(), onChange ? "on_change" : "every_tick", onChange);
        e.ui()->activatePage(page);
        e.redraw(); // the page's first frame
        EXPECT_EQ(page->frames, 1);
        for (int i = 0; i < 10; ++i)
            e.redraw();
        EXPECT_EQ(page->frames, onChange ? 1 : 11);
        page->changeNext = true;
        e.redraw();
        EXPECT_EQ(page->frames, onChange ? 2 : 12);
        SDL_Event active{};
        active.type = SDL_ACTIVEEVENT;
        active.active.gain = 1;
        e.dispatch(active);
        EXPECT_EQ(page->frames, onChange ? 3 : 13);
    }
    e.shutdown();
}

// Without "online_url" the start-up, a redraw of the map page and the
// shutdown never load libcurl (the HTTP layer loads it on its first
// transfer). In a process of its own: other tests here send requests.
TEST(EngineScreen, AStartWithoutAnOnlineServiceMapsNoLibcurl) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const auto curlMapped = [] {
                std::ifstream maps("/proc/self/maps");
                for (std::string line; std::getline(maps, line);)
                    if (line.find("libcurl") != std::string::npos)
                        return true;
                return false;
            };
            ProgramFolder folder;
            TestSupport::CaptureLogger quiet;
            engine::fdEngine e(folder.wide());
            if (e.init() != 0 || e.monitoring() != nullptr)
                std::exit(1);
            e.ui()->activatePage(e.ui()->findPage("pageMap"));
            e.redraw();
            const bool mapped = curlMapped();
            e.shutdown();
            std::exit(mapped ? 2 : 0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(EngineScreen, AtlasErrorsAtStartUpAreShownNotOnlyLogged) {
    const struct {
        const char* what;
        void (*damage)(const ProgramFolder&);
        const char* shown;
    } rows[] = {
        {"no atlas", [](const ProgramFolder& f) { fs::remove_all(f.data("maps")); },
         "Mirel - Critical error: No atlas was found.\n"},
        {"bad atlas",
         [](const ProgramFolder& f) {
             for (const auto& entry : fs::directory_iterator(f.data("maps/demo")))
                 if (entry.path().extension() == ".kvm")
                     std::ofstream(entry.path(), std::ios::trunc) << "damaged";
         },
         "Mirel - Critical error: The atlas could not be read.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgramFolder f;
        row.damage(f);
        TestSupport::CaptureLogger quiet;
        engine::fdEngine e(f.wide());
        testing::internal::CaptureStderr();
        const int result = e.init();
        const std::string shown = testing::internal::GetCapturedStderr();
        EXPECT_NE(result, 0);
        EXPECT_NE(shown.find(row.shown), std::string::npos) << shown;
        e.shutdown();
    }
}

// The main loop draws the active page on its first pass and ends once the
// quit flag is set (here by the page's own drawing).
TEST(EngineScreen, TheMainLoopDrawsThePageAndEndsOnQuit) {
    ProgramFolder folder;
    TestSupport::CaptureLogger quiet;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    struct QuittingPage : ColourPage {
        QuittingPage(Ui::fdInterface* ui, engine::fdEngine& e) : ColourPage(ui, "quitting", 0x80), e(e) {}
        void draw(SDL_Surface* surface, TempSurface& clip, bool force) override {
            ColourPage::draw(surface, clip, force);
            e.setQuit();
        }
        engine::fdEngine& e;
    };
    e.ui()->activatePage(new QuittingPage(e.ui(), e));
    e.mainLoop();
    EXPECT_TRUE(e.quit());
    EXPECT_EQ(pixel(e.screen()), Uint32(0x800000));
    e.shutdown();
}

// What came in while the program started: taps and keys (aimed at the
// splash) are dropped; the window's size (a window manager that sizes the
// window as it maps it, before the first page is drawn) is taken before the
// first frame, and a window closed meanwhile ends the loop before it.
TEST(EngineScreen, TheMainLoopKeepsTheWindowsSizeAndCloseGivenDuringTheStart) {
    for (const bool closed : {false, true}) {
        SCOPED_TRACE(closed ? "closed" : "resized");
        ProgramFolder folder;
        TestSupport::CaptureLogger quiet;
        engine::fdEngine e(folder.wide());
        e.setScreenSize(1440, 900);
        ASSERT_EQ(e.init(), 0);
        struct CountingPage : ColourPage {
            CountingPage(Ui::fdInterface* ui, engine::fdEngine& e) : ColourPage(ui, "counting", 0x80), e(e) {}
            void draw(SDL_Surface* surface, TempSurface& clip, bool force) override {
                ColourPage::draw(surface, clip, force);
                drawnWidth = surface->w;
                e.setQuit();
            }
            bool press(int, int) override { return ++inputs, true; }
            bool keyDown(int) override { return ++inputs, true; }
            engine::fdEngine& e;
            int drawnWidth = 0;
            int inputs = 0;
        };
        auto* page = new CountingPage(e.ui(), e);
        e.ui()->activatePage(page);
        SDL_Event events[4] = {};
        events[0].type = SDL_VIDEORESIZE;
        events[0].resize.w = 1280;
        events[0].resize.h = 720;
        events[1].type = SDL_MOUSEBUTTONDOWN;
        events[1].button.button = 1;
        events[2].type = SDL_KEYDOWN;
        events[2].key.keysym.sym = SDLK_a;
        events[3].type = closed ? SDL_QUIT : SDL_MOUSEBUTTONDOWN;
        for (SDL_Event& event : events)
            ASSERT_EQ(SDL_PushEvent(&event), 0);
        e.mainLoop();
        EXPECT_TRUE(e.quit());
        EXPECT_EQ(page->inputs, 0);
        EXPECT_EQ(e.screen()->w, 1280);
        EXPECT_EQ(e.screen()->h, 720);
        EXPECT_EQ(e.ui()->rect().w, 1280);
        EXPECT_EQ(page->drawnWidth, closed ? 0 : 1280);
        e.shutdown();
    }
}

// A run asked to quit before it starts (a quit signal in its first moments)
// ends with 0 after a whole shutdown and no fatal line, and leaves the
// user's config.xml as it was: the start added only defaults to it.
TEST(EngineScreen, AQuitRunEndsWithZero) {
    ProgramFolder folder;
    TestSupport::CaptureLogger quiet;
    const std::string stored = "<config version=\"2\">\n\t<var name=\"night_mode\" value=\"1\" />\n</config>\n";
    std::ofstream(folder.data("config.xml")) << stored;
    engine::fdEngine e(folder.wide());
    e.setQuit(); // before the loop starts: it ends on its first pass
    EXPECT_EQ(e.run(), 0);
    EXPECT_EQ(TestSupport::readAll(folder.dir.path() / "log.txt").find("fatal error"), std::string::npos);
    EXPECT_EQ(TestSupport::readAll(folder.data("config.xml")), stored);
    EXPECT_EQ(e.ui(), nullptr) << "shut down";
}

// A start that fails ends the run with -1 and the reason in log.txt, also
// when a quit comes during it, and leaves config.xml as it was; a failure
// the user was not told about in the user's language gets the general box.
TEST(EngineScreen, AFailedRunIsLoggedAndShown) {
    // A quit as the design is read, after the start last asked for one.
    struct QuitAtTheDesign : engine::fdEngine {
        using fdEngine::fdEngine;
        std::u16string dataPath(std::u16string_view name) const override {
            if (quitThere && name.find(u"design800x480") != std::u16string_view::npos) self.setQuit();
            return fdEngine::dataPath(name);
        }
        bool quitThere = false;
        fdEngine& self = *this;
    };
    const struct {
        const char* what;
        const char* damagedFile;
        const char* from;
        const char* to;
        bool box;
        bool quit = false;
    } rows[] = {
        {"no messages", "messages.xml", "<", "", true},
        {"wrong design version", "skin/design800x480.xml", "<design version=\"1.30\"",
         "<design version=\"1.3\"", false},
        {"quit on a wrong design", "skin/design800x480.xml", "<design version=\"1.30\"",
         "<design version=\"1.3\"", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgramFolder f;
        const std::string stored =
            "<config version=\"2\">\n\t<var name=\"night_mode\" value=\"1\" />\n</config>\n";
        std::ofstream(f.data("config.xml")) << stored;
        std::string text = TestSupport::readAll(f.data(row.damagedFile));
        if (*row.to)
            text.replace(text.find(row.from), std::strlen(row.from), row.to);
        else
            text.clear();
        std::ofstream(f.data(row.damagedFile), std::ios::trunc) << text;
        std::string shown;
        {
            TestSupport::CaptureLogger quiet; // run() installs its own file log; none is left after
            QuitAtTheDesign e(f.wide());
            e.quitThere = row.quit;
            testing::internal::CaptureStderr();
            EXPECT_EQ(e.run(), -1);
            shown = testing::internal::GetCapturedStderr();
            EXPECT_EQ(e.quit(), row.quit);
            EXPECT_EQ(e.ui(), nullptr) << "shut down";
        }
        EXPECT_NE(shown.find("Mirel - Critical error: "), std::string::npos);
        EXPECT_EQ(shown.find("Mirel - Critical error: Initialization error\n") != std::string::npos, row.box) << shown;
        const std::string log = TestSupport::readAll(f.dir.path() / "log.txt");
        EXPECT_NE(log.find("fatal error : Failed to initialize engine"), std::string::npos);
        // The box's lines read as one line of the log.
        EXPECT_EQ(log.find("\\x0A"), std::string::npos) << log;
        if (row.box) {
            const std::string line = "ms: Mirel - Critical error: Initialization error / Error reading file (err 0): "
                                     "the file is empty / filename = '" +
                                     f.data("messages.xml").string() + "' / Can't read messages file\r\n";
            EXPECT_NE(log.find(line), std::string::npos) << log;
        }
        EXPECT_EQ(TestSupport::readAll(f.data("config.xml")), stored);
    }
}

// The end of a run that did not reach the main loop goes one way: a start
// that threw is a failed start, logged and shown as one; a fault in the
// shutdown after a quit during the start is the run's, reported as a fault
// while shutting down (not as a failed start) with the crash box, and the
// rest of the shutdown still runs.
TEST(EngineScreen, ARunEndedDuringItsStartReportsEachFaultAsWhatItIs) {
    // The maps folder is asked for as the atlases are collected; icons.txt
    // as the start builds its pages, after it last looked for a quit;
    // config.xml at the shutdown's save.
    struct Faulty : engine::fdEngine {
        using fdEngine::fdEngine;
        std::u16string dataPath(std::u16string_view name) const override {
            if (name == u"maps" && throwAtMaps)
                throw std::runtime_error("no maps");
            if (name == u"icons.txt" && quitAtPages) {
                self.setQuit();
                armed = true;
            }
            if (name == u"config.xml" && armed)
                throw std::runtime_error("disk gone");
            return fdEngine::dataPath(name);
        }
        bool throwAtMaps = false, quitAtPages = false;
        mutable bool armed = false;
        fdEngine& self = *this;
    };
    const struct {
        const char* what;
        bool throwAtMaps, quitAtPages;
        const char* logged;
        const char* shown;
    } rows[] = {
        {"the start throws", true, false, "fatal error : Failed to initialize engine (no maps)",
         "Mirel - Critical error: Initialization error\n"},
        {"the shutdown after a quit throws", false, true, "Unhandled exception while shutting down: disk gone. (",
         "Mirel - Critical error: Critical error.\nAdditional info in log.txt\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgramFolder f;
        std::ofstream(f.data("config.xml")) << "<config version=\"2\">\n\t<var name=\"log_severity\" value=\"1\" />\n</config>\n";
        std::string shown;
        {
            TestSupport::CaptureLogger quiet; // run() installs its own file log; none is left after
            Faulty e(f.wide());
            e.throwAtMaps = row.throwAtMaps;
            e.quitAtPages = row.quitAtPages;
            testing::internal::CaptureStderr();
            EXPECT_EQ(e.run(), -1);
            shown = testing::internal::GetCapturedStderr();
            EXPECT_EQ(e.ui(), nullptr) << "shut down";
            EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
        }
        const std::string log = TestSupport::readAll(f.dir.path() / "log.txt");
        EXPECT_NE(log.find(row.logged), std::string::npos) << log;
        EXPECT_EQ(log.find("Failed to initialize engine") != std::string::npos, row.throwAtMaps);
        EXPECT_EQ(log.find("Unhandled exception") != std::string::npos, row.quitAtPages);
        EXPECT_NE(shown.find(row.shown), std::string::npos) << shown;
        EXPECT_NE(log.find("shutdown at: "), std::string::npos) << "the shutdown ran to its end";
    }
}

// The danger-warn points of the program's waypoints folder are loaded at
// start-up; a folder without them leaves none.
TEST(EngineScreen, DangerPointsComeFromTheWaypointsFolder) {
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present);
        ProgramFolder folder;
        fs::create_directories(folder.dir.path() / "waypoints");
        if (present)
            folder.dir.write("waypoints/cameras.txt", "30,40,3\n30.5,40.5,4\n");
        TestSupport::CaptureLogger quiet;
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        ASSERT_NE(e.dangerPoints(), nullptr);
        EXPECT_EQ(e.dangerPoints()->index != nullptr, present);
        e.shutdown();
    }
}

// The internet usage is told in the log while the shutdown runs, before its
// last line.
TEST(EngineScreen, TheInternetUsageIsLoggedAtShutdown) {
    ProgramFolder folder;
    std::ofstream(folder.data("config.xml")) << "<config version=\"2\">\n\t<var name=\"log_severity\" value=\"2\" />\n</config>\n";
    TestSupport::CaptureLogger log{Log::Normal};
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    e.shutdown();
    std::vector<std::string> order;
    for (const std::string& line : log.lines())
        for (const char* mark : {"Inet usage: nothing received or sent", "shutdown at:"})
            if (line.find(mark) != std::string::npos)
                order.push_back(mark);
    EXPECT_EQ(order, (std::vector<std::string>{"Inet usage: nothing received or sent", "shutdown at:"}));
}

// The POI types the driver hid come back hidden after a restart.
TEST(EngineScreen, PoiTypeChoicesSurviveARestart) {
    ProgramFolder folder;
    TestSupport::CaptureLogger quiet;
    std::map<std::uint16_t, Render::PoiTypeFlags> chosen;
    {
        engine::fdEngine e(folder.wide());
        ASSERT_EQ(e.init(), 0);
        Render::RenderStyles& styles = e.mapRenderer()->styles();
        ASSERT_FALSE(styles.poiTypeFlags().empty());
        // The chooser of POI types lists the map's types.
        auto* chooser = dynamic_cast<Screens::SelectPoiTypesPage*>(e.ui()->findPage("select_poi_types"));
        ASSERT_NE(chooser, nullptr);
        chooser->prepare(true);
        ASSERT_NE(chooser->model(), nullptr);
        EXPECT_GT(chooser->model()->groupCount(), 0);
        const std::uint16_t type = styles.poiTypeFlags().begin()->first;
        styles.setPoiTypeFlags(type, !styles.isPoiTypeShown(type), true);
        chosen = styles.poiTypeFlags();
        e.shutdown();
    }
    engine::fdEngine again(folder.wide());
    ASSERT_EQ(again.init(), 0);
    EXPECT_EQ(again.mapRenderer()->styles().poiTypeFlags(), chosen);
    again.shutdown();
}

// A screen that reports no size (the dummy driver's 0 x 0) stands for
// unknown and the design's size takes its place; any positive size is the
// screen's own, however small.
TEST(EngineScreen, AScreenSizeCountsFromOnePixel) {
    ProgramFolder folder;
    TestSupport::CaptureLogger quiet;
    engine::fdEngine e(folder.wide());
    ASSERT_EQ(e.init(), 0);
    ASSERT_EQ(e.designWidth(), 800);
    ASSERT_EQ(e.designHeight(), 480);
    const struct {
        int width, height, expectWidth, expectHeight;
    } rows[] = {{0, 0, 800, 480}, {1, 1, 1, 1}, {-1, 2, 800, 2}, {640, -5, 640, 480}, {0, 1, 800, 1}};
    for (const auto& row : rows) {
        e.setScreenSize(row.width, row.height);
        EXPECT_EQ(e.screenWidth(), row.expectWidth) << row.width;
        EXPECT_EQ(e.screenHeight(), row.expectHeight) << row.height;
    }
    e.shutdown();
    // The design is chosen by the same rule: one pixel is a screen too
    // small for any design, 0 a side that was not reported.
    for (const auto& [height, fits] : {std::pair{1, false}, std::pair{0, true}}) {
        SCOPED_TRACE(height);
        TestSupport::CaptureLogger log;
        engine::fdEngine small(folder.wide());
        small.setScreenSize(800, height);
        EXPECT_EQ(small.init() == 0, fits);
        EXPECT_EQ(log.contains("No design was found for the screen 800 x 1"), !fits);
        small.shutdown();
    }
}

// A page the design leaves out stands in with the common template, titled by
// its message, else by its own name; the map draws the route the engine
// plans on.
TEST(EngineScreen, PagesTheDesignLacksStandInUnderTheirTitle) {
    const struct {
        const char* what;
        bool message;
        const char* title;
    } rows[] = {{"with its message", true, "Other settings"}, {"without a message", false, "pageSettingsOther"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgramFolder f;
        const auto cut = [&](const std::string& file, const std::string& from, const std::string& to) {
            std::string text = TestSupport::readAll(f.data(file));
            const auto at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.erase(at, text.find(to, at) + to.size() - at);
            std::ofstream(f.data(file), std::ios::trunc) << text;
        };
        cut("skin/design800x480.xml", "<page name=\"pageSettingsOther\"", "</page>");
        if (!row.message)
            cut("messages.xml", "<message name=\"page_pageSettingsOther\"", "/>");
        TestSupport::CaptureLogger quiet;
        engine::fdEngine e(f.wide());
        ASSERT_EQ(e.init(), 0);
        Ui::fdPage* page = e.ui()->findPage("pageSettingsOther");
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(page->built());
        const auto* title = dynamic_cast<const Ui::fdStatic*>(page->findChild("title"));
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(Core::wideToUtf8(title->text()), row.title);
        EXPECT_NE(e.mapRenderer()->services().route, nullptr);
        e.shutdown();
    }
}

// A receiver whose port settings fault once armed: a second fault, in the
// shutdown's saving of the GPS settings.
struct FaultyReceiver : Positioning::PortSystem {
    bool isPortOpen() const override { return false; }
    bool isEnabled() const override { return false; }
    std::pair<std::uint32_t, std::uint32_t> port() const override {
        if (armed)
            throw std::runtime_error("port gone");
        return {4, 4800};
    }
    bool setEnabled(bool, Threading::ResultCallback* done) override { return delete done, false; }
    bool setPort(std::uint32_t, std::uint32_t) override { return true; }
    bool findPort(Threading::ProgressCallback* callback) override { return delete callback, false; }
    bool stopPortSearch() override { return false; }
    void addDataListener(Positioning::DataListener*) override {}
    bool removeDataListener(Positioning::DataListener*) override { return false; }
    bool armed = false;
};

// An exception out of a frame is no failed start: the crash report names
// it and the shutdown keeps settings, view and route as a quit does. A
// second one in that shutdown is reported too, and the rest of the
// shutdown still runs: the settings saved, SDL closed, the crash box shown.
TEST(EngineScreen, AFaultInAFrameIsReportedAndTheDriveKept) {
    for (const bool secondFault : {false, true}) {
        SCOPED_TRACE(secondFault ? "a second fault in the shutdown" : "one fault");
        ProgramFolder folder;
        TestSupport::CaptureLogger log;
        engine::fdEngine e(folder.wide());
        FaultyReceiver* receiver = nullptr;
        e.setPortSystemMaker([&receiver](const Positioning::MessageTexts*) {
            auto made = std::make_unique<FaultyReceiver>();
            receiver = made.get();
            return made;
        });
        ASSERT_EQ(e.init(), 0);
        ASSERT_NE(receiver, nullptr);
        for (const char* file : {"camera.kvc", "path.kvp"})
            fs::remove(folder.atlas() / file);
        e.configRoot()->set("demo_speed", 90);
        struct FaultyPage : Ui::fdPage {
            FaultyPage(Ui::fdInterface* ui, FaultyReceiver* receiver) : fdPage(ui, "faulty", nullptr), receiver(receiver) {}
            void tick(std::uint32_t) override {
                if (receiver)
                    receiver->armed = true;
                throw std::out_of_range("bad index");
            }
            FaultyReceiver* receiver;
        };
        e.ui()->activatePage(new FaultyPage(e.ui(), secondFault ? receiver : nullptr));
        EXPECT_EQ(e.runStarted(), -1);
        EXPECT_TRUE(log.contains("Unhandled exception while running: bad index"));
        EXPECT_EQ(log.contains("Unhandled exception while shutting down: port gone"), secondFault);
        EXPECT_EQ(log.count("Stack snapshot"), secondFault ? 2u : 1u);
        EXPECT_EQ(log.countStartingWith("Mirel - Critical error: Critical error."), 1u);
        EXPECT_FALSE(log.contains("Failed to initialize engine"));
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
        EXPECT_NE(folder.config().find("\"demo_speed\" value=\"90\""), std::string::npos);
        for (const char* file : {"camera.kvc", "path.kvp"})
            EXPECT_TRUE(fs::exists(folder.atlas() / file)) << file;
    }
}

// The splash bar only moves forward, row by row, and never past its end;
// -1 leaves it where it is.
TEST(PageFactorySplash, ProgressRisesRowByRow) {
    std::int32_t last = 0;
    for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
        const std::int32_t p = engine::PageFactory::kRows[i].progress;
        if (p == -1)
            continue;
        EXPECT_GT(p, last) << i;
        EXPECT_LE(p, 100) << i;
        last = p;
    }
}

} // namespace
