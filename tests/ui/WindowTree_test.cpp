#include "ui/fdInterface.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"

#include "core/TempSurface.h"
#include "core/Text.h"
#include "tests/support/CaptureLogger.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Ui;

namespace {

// Records every call in a shared journal; press and release answer as told.
struct Recorder : ClickBehavior {
    Recorder(std::string n, std::vector<std::string>& j, bool take = false) : name(std::move(n)), journal(j), takes(take) {}
    int kind() const override { return 1; }
    bool press(int, int) override { return note("press"); }
    bool release(int, int) override { return note("release"); }
    void move(int, int) override { note("move"); }
    bool note(const char* what) {
        journal.push_back(name + "." + what);
        return takes;
    }
    std::string name;
    std::vector<std::string>& journal;
    bool takes;
};

struct Counted : fdWindowBase {
    Counted(fdWindowBase* parent, std::string name, int& deaths) : fdWindowBase(parent, std::move(name), true, parent->ui()), deaths(deaths) {}
    ~Counted() override { ++deaths; }
    int& deaths;
};

struct JournalPage : fdPage {
    JournalPage(fdInterface* ui, std::string name, std::vector<std::string>& j) : fdPage(ui, std::move(name), nullptr), journal(j) {}
    void onShow() override { journal.push_back(name() + ".show"); }
    void onHide() override { journal.push_back(name() + ".hide"); }
    void tick(std::uint32_t) override {
        journal.push_back(name() + ".tick");
        if (next)
            ui()->activatePage(next);
    }
    TimerPeriod timerPeriod() const override { return period; }
    std::vector<std::string>& journal;
    fdPage* next = nullptr;
    TimerPeriod period;
};

int exposeEvents() {
    SDL_Event events[8];
    return SDL_PeepEvents(events, 8, SDL_GETEVENT, SDL_VIDEOEXPOSEMASK);
}

} // namespace

TEST(WindowTree, AnchorKindsAgainstOddDesignExtentsFollowParentResize) {
    UiTest::FakeEngine engine;
    engine.width = 801; // odd extents: the centre uses 400 and 240
    engine.height = 481;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    struct Row {
        int left, top, right, bottom;
        WindowRect design, afterResize;
    };
    const Row rows[] = {
        {0, 0, 0, 0, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {1, 1, 1, 1, {390, 230, 21, 21}, {491, 291, 21, 21}},
        {2, 2, 2, 2, {700, 400, 100, 80}, {900, 520, 100, 80}},
        {3, 3, 3, 3, {80, 48, 160, 96}, {100, 60, 200, 120}},
        {5, 0, 2, 3, {10, 20, 30, 40}, {10, 20, 230, 55}},
    };
    std::vector<fdWindowBase*> windows;
    for (const Row& r : rows) {
        auto* w = new fdWindowBase(page, "w", true, &ui);
        w->placeInParent(r.design.x, r.design.y, r.design.w, r.design.h);
        w->setAnchors(r.left, r.top, r.right, r.bottom);
        windows.push_back(w);
    }
    auto* inner = new fdWindowBase(windows[1], "inner", true, &ui);
    inner->placeInParent(2, 3, 4, 5);
    page->setRect(0, 0, 1001, 601);
    for (std::size_t i = 0; i < windows.size(); ++i)
        EXPECT_EQ(windows[i]->rect(), rows[i].afterResize) << "row " << i;
    EXPECT_EQ(inner->rect(), (WindowRect{493, 294, 4, 5}));
}

// Proportional anchors inside a parent without design extent keep the
// child's offset from the parent's origin, wherever the parent stands.
TEST(WindowTree, ProportionalAnchorsInAParentWithoutExtentKeepTheirOffset) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* parent = new fdWindowBase(page, "parent", true, &ui);
    parent->placeInParent(100, 50, 0, 0);
    auto* child = new fdWindowBase(parent, "child", true, &ui);
    child->placeInParent(10, 20, 30, 40);
    child->setAnchors(3, 3, 3, 3);
    parent->setRect(100, 50, 0, 0);
    EXPECT_EQ(child->rect(), (WindowRect{110, 70, 30, 40}));
}

TEST(WindowTree, PointerRoutingCaptureAndButtons) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    std::vector<std::string> j;
    auto* below = new fdWindowBase(page, "below", true, &ui);
    auto* above = new fdWindowBase(page, "above", true, &ui);
    Recorder rb("below", j), ra("above", j, true);
    below->addBehavior(&rb);
    above->addBehavior(&ra);

    EXPECT_FALSE(page->mouseButtonDown(3, 5, 5));
    EXPECT_FALSE(page->mouseButtonUp(2, 5, 5));
    EXPECT_TRUE(j.empty()) << "only button 1 reaches behaviours";

    EXPECT_TRUE(page->mouseButtonDown(1, 5, 5));
    EXPECT_FALSE(page->mouseButtonUp(1, 5, 5)) << "a release the page does not take answers false";
    EXPECT_EQ(j, (std::vector<std::string>{"above.press", "above.release", "below.release"}));

    j.clear();
    page->setCapture(below);
    page->mouseButtonDown(1, 5, 5);
    page->mouseMove(6, 6);
    page->mouseButtonUp(1, 6, 6);
    EXPECT_EQ(j, (std::vector<std::string>{"below.press", "below.move", "below.release"}));
    page->removeChild(below);
    EXPECT_EQ(page->capture(), nullptr) << "a detached child no longer captures";
    delete below;

    j.clear();
    page->setVisible(false);
    EXPECT_FALSE(page->mouseButtonDown(1, 5, 5));
    EXPECT_TRUE(j.empty());
}

TEST(WindowTree, QueuedAttachAndDeleteOfAWindowWithItsAncestor) {
    UiTest::FakeEngine engine;
    TestSupport::CaptureLogger log;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* queued = new fdWindowBase(page, "queued", false, &ui);
    EXPECT_TRUE(page->children().empty());
    EXPECT_EQ(page->widget("queued"), queued);
    ui.applyPendingChanges();
    EXPECT_EQ(page->children(), std::vector<fdWindowBase*>{queued});
    EXPECT_TRUE(ui.pendingAttach().empty());

    int deaths = 0;
    auto* outer = new Counted(page, "outer", deaths);
    auto* middle = new Counted(outer, "middle", deaths);
    auto* leaf = new Counted(middle, "leaf", deaths);
    ui.queueDelete(leaf);
    ui.queueDelete(outer);
    ui.queueDelete(leaf);
    ui.queueDelete(middle);
    ui.applyPendingChanges();
    EXPECT_EQ(deaths, 3);
    EXPECT_EQ(page->children(), std::vector<fdWindowBase*>{queued});

    EXPECT_EQ(page->widget(""), nullptr);
    EXPECT_EQ(page->widget("gone"), nullptr);
    EXPECT_EQ(page->widget("gone"), nullptr);
    EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                            [](const std::string& l) { return l.find("Can't find widget gone on page on _ui_") != std::string::npos; }),
              1);
    EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                            [](const std::string& l) { return l.find("Can't find widget") != std::string::npos; }),
              1);
}

TEST(WindowTree, PagesActivateGoBackAndCommonCommands) {
    UiTest::SdlScreen sdl;
    UiTest::FakeEngine engine;
    TestSupport::CaptureLogger log;
    fdInterface ui(&engine, nullptr);
    std::vector<std::string> j;
    auto* one = new JournalPage(&ui, "one", j);
    auto* two = new JournalPage(&ui, "two", j);

    ui.goToPage(one);
    EXPECT_TRUE(ui.history().empty());
    ui.goToPage(two);
    EXPECT_EQ(j, (std::vector<std::string>{"one.show", "one.hide", "two.show"}));
    EXPECT_FALSE(one->visible());
    EXPECT_TRUE(two->visible());
    EXPECT_EQ(ui.history(), std::vector<fdPage*>{one});
    // Each showing names its page once, and its first frame once.
    TempSurface scratch(32, sdl.screen->format->Rmask, sdl.screen->format->Gmask, sdl.screen->format->Bmask, 0);
    EXPECT_EQ(log.count("Page two shown, titled \"\""), 1u);
    EXPECT_EQ(log.count("Page two drawn"), 0u);
    for (int i = 0; i < 2; ++i)
        ui.draw(sdl.screen, scratch, true);
    EXPECT_EQ(log.count("Page two drawn"), 1u);
    EXPECT_EQ(log.count("Page one drawn"), 0u);

    two->childClicked("back");
    EXPECT_EQ(ui.activePage(), one);
    EXPECT_TRUE(ui.history().empty());
    ui.goBack();
    EXPECT_EQ(ui.activePage(), one);
    // Escape, which the page leaves alone, leads back as "back" does.
    ui.goToPage(two);
    EXPECT_TRUE(ui.keyDown(SDLK_ESCAPE));
    EXPECT_EQ(ui.activePage(), one);
    EXPECT_FALSE(ui.keyDown(SDLK_ESCAPE)) << "nowhere to go back to";
    EXPECT_EQ(ui.activePage(), one);
    ui.draw(sdl.screen, scratch, true);
    ui.goToPage(two);
    ui.draw(sdl.screen, scratch, true);
    EXPECT_EQ(log.count("Page one drawn"), 1u);
    EXPECT_EQ(log.count("Page two drawn"), 2u);
    // A resized window draws the page anew.
    ui.setRect(0, 0, 1280, 720);
    ui.draw(sdl.screen, scratch, true);
    EXPECT_EQ(log.count("Page two drawn"), 3u);
    ui.goBack();

    ui.goToPageByName("nowhere");
    ui.goToPageByName("nowhere");
    EXPECT_EQ(ui.activePage(), one);
    EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                            [](const std::string& l) { return l.find("Can't find page nowhere") != std::string::npos; }),
              1);

    one->childClicked("hide");
    one->childClicked("close");
    EXPECT_TRUE(engine.hidden);
    EXPECT_TRUE(engine.quit);

    // A tick that switches pages ticks the new page at once; two pages that
    // keep switching to each other are stopped.
    j.clear();
    one->next = two;
    ui.tick(100);
    EXPECT_EQ(j, (std::vector<std::string>{"one.tick", "one.hide", "two.show", "two.tick"}));
    two->next = one;
    ui.tick(200);
    EXPECT_TRUE(log.contains("Pages keep switching in one tick"));
}

// The log names a page shown by its top box's text, whichever name the
// design gives that box; a row's "name" is not the page's.
TEST(WindowTree, ShownPageIsLoggedWithItsTopBoxText) {
    UiTest::SdlScreen sdl;
    UiTest::FakeEngine engine;
    TestSupport::CaptureLogger log;
    fdInterface ui(&engine, nullptr);
    const struct {
        const char* page;
        std::vector<const char*> boxes; // each box shows its own name
        const char* title;
    } cases[] = {{"titled", {"name", "title"}, "title"}, {"find", {"page_name"}, "page_name"},
                 {"info", {"name"}, "name"},             {"friend", {"name_label"}, "name_label"},
                 {"map", {"text"}, ""},                  {"rows", {}, ""}};
    for (const auto& c : cases) {
        auto* page = new fdPage(&ui, c.page, nullptr);
        (new fdStatic(new fdWindowBase(page, "row", true, &ui), "name", true, &ui))->setText(u"row");
        for (const char* box : c.boxes)
            (new fdStatic(page, box, true, &ui))->setText(Core::utf8ToWide(box));
        ui.activatePage(page);
        EXPECT_TRUE(log.contains(std::string("Page ") + c.page + " shown, titled \"" + c.title + "\"")) << c.page;
    }
}

TEST(WindowTree, UiTimerFollowsThePageAndKeepsOneEventOutstanding) {
    UiTest::SdlScreen sdl;
    UiTest::FakeEngine engine;
    TestSupport::CaptureLogger log;
    fdInterface ui(&engine, nullptr);
    std::vector<std::string> j;
    auto* page = new JournalPage(&ui, "page", j);
    page->period = TimerPeriod::every(5000);
    ui.activatePage(page);
    ASSERT_TRUE(ui.timerRunning());
    page->period = TimerPeriod::every(6000);
    ui.tick(1);
    page->period = TimerPeriod::every(6000);
    ui.tick(2);
    auto count = [&](const std::string& text) {
        return std::count_if(log.lines().begin(), log.lines().end(),
                             [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_EQ(count("Ui timer 5000ms created"), 1);
    EXPECT_EQ(count("Ui timer 5000ms removed"), 1);
    EXPECT_EQ(count("Ui timer 6000ms created"), 1);

    exposeEvents();
    fdInterface::timerCallback(6000, &ui);
    fdInterface::timerCallback(6000, &ui);
    EXPECT_EQ(exposeEvents(), 1) << "no second event before the main loop ticks";
    ui.tick(3);
    fdInterface::timerCallback(6000, &ui);
    EXPECT_EQ(exposeEvents(), 1);

    page->period = TimerPeriod::none();
    ui.tick(4);
    EXPECT_FALSE(ui.timerRunning());
    EXPECT_EQ(count("Ui timer 6000ms removed"), 1);
}

// A page wants the soonest period of its widgets; a widget that wants none
// never wins over one that wants a period, nor over the page's own (a page
// asking for 500 ms beside widgets that wanted none asked for none).
TEST(WindowTree, APageWantsTheSoonestPeriodOfItsChildren) {
    struct Ticking : fdWindowBase {
        Ticking(fdWindowBase* parent, TimerPeriod period) : fdWindowBase(parent, "w", true, parent->ui()), period(period) {}
        TimerPeriod timerPeriod() const override { return period; }
        TimerPeriod period;
    };
    const TimerPeriod none = TimerPeriod::none(), ms10 = TimerPeriod::every(10), ms500 = TimerPeriod::every(500),
                      ms0 = TimerPeriod::every(0);
    const struct {
        std::vector<TimerPeriod> children;
        TimerPeriod page, own500;
    } rows[] = {
        {{}, none, ms500},
        {{none, none}, none, ms500},
        {{ms0}, none, ms500},
        {{none, ms500, none}, ms500, ms500},
        {{ms500, ms10}, ms10, ms10},
        {{ms10, none, ms500}, ms10, ms10},
        {{TimerPeriod::every(1000)}, TimerPeriod::every(1000), ms500},
    };
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.children.size() << " children, page " << row.page.ms());
        auto* page = new fdPage(&ui, "p", nullptr);
        for (const TimerPeriod child : row.children)
            new Ticking(page, child);
        EXPECT_EQ(page->timerPeriod(), row.page);
        EXPECT_EQ(ms500.sooner(page->timerPeriod()), row.own500);
        EXPECT_EQ(page->timerPeriod().sooner(ms500), row.own500);
    }
}

TEST(WindowTree, TheUiTimerRunsWithoutSdlsTimerThread) {
    UiTest::SdlScreen sdl;
    // As the program starts: SDL's clock without its timer thread.
    SDL_QuitSubSystem(SDL_INIT_TIMER);
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    std::vector<std::string> j;
    auto* page = new JournalPage(&ui, "page", j);
    page->period = TimerPeriod::every(20);
    ui.activatePage(page);
    ASSERT_TRUE(ui.timerRunning());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_TIMER), 0u);
    // The timer's own event comes from its thread, one per tick of the page.
    const auto exposedWithin5s = [] {
        for (int waits = 0; waits < 500; ++waits) {
            SDL_Delay(10);
            if (exposeEvents() > 0)
                return true;
        }
        return false;
    };
    exposeEvents();
    EXPECT_TRUE(exposedWithin5s());
    ui.tick(1);
    EXPECT_TRUE(exposedWithin5s()) << "no event after the main loop ticked";
    page->period = TimerPeriod::none();
    ui.tick(2);
    EXPECT_FALSE(ui.timerRunning());
    exposeEvents();
    SDL_Delay(60);
    EXPECT_EQ(exposeEvents(), 0) << "an event after the timer was removed";
}
