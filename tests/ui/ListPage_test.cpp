#include "ui/ListPage.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/ListModels.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include "core/Config.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace Ui;

namespace {

struct Items : SimpleList {
    Items(fdList& l, int n) : SimpleList(l), n(n) {}
    std::int32_t count() const override { return n; }
    void itemClicked(std::int32_t) override {}
    void fillText(fdStatic&, std::int32_t) override {}
    int n;
};

struct DesignEngine : UiTest::FakeEngine {
    const DesignDescription* design() const override { return &description; }
    DesignDescription description;
};

// A page with a list of 4 rows over 10 items; the buttons come from the
// template unless the page has its own.
struct Fixture {
    explicit Fixture(bool ownButtons) {
        auto buttons = std::make_unique<TemplateDescription>();
        buttons->name = "list_updown";
        buttons->w = 100;
        buttons->h = 50;
        buttons->creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Button, "up", 0, 0, 50, 50));
        buttons->creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Button, "down", 50, 0, 50, 50));
        engine.description.templates["list_updown"] = std::move(buttons);
        row.w = 100;
        row.h = 10;
        row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "text", 0, 0, 100, 10));
        list = new fdList(page, "list", true, &ui, nullptr);
        list->placeInParent(0, 0, 100, 40);
        list->buildRows(row, 4, Material{});
        if (ownButtons)
            for (const char* name : {"up", "down"})
                new fdButtonX(page, name, true, &ui);
        added = ListPage::addUpDownButtons(*page);
        ui.applyPendingChanges();
    }
    std::string state() const {
        return std::string(page->findChild("up")->enabled() ? "U" : "-") + (page->findChild("down")->enabled() ? "D" : "-");
    }
    DesignEngine engine;
    fdInterface ui{&engine, nullptr};
    std::vector<std::string> journal;
    UiTest::JournalPage* page = new UiTest::JournalPage(&ui, journal);
    TemplateDescription row;
    fdList* list;
    fdWindowBase* added;
};

} // namespace

TEST(ListPage, ButtonsFollowTheListAndKeysPage) {
    Fixture f(false);
    ASSERT_NE(f.added, nullptr);
    Items items(*f.list, 10);
    Core::Config config;
    ButtonBindings keys(config.root());
    ListPage::updateUpDownButtons(*f.page, nullptr);
    EXPECT_EQ(f.state(), "--");
    ListPage::updateScrollButtons(*f.page, &items);
    EXPECT_EQ(f.state(), "-D");
    // Every key is handled; only the bound ones move the list.
    struct Step {
        int key;
        bool sideways;
        int first;
        const char* buttons;
    };
    const Step steps[] = {
        {SDLK_a, false, 0, "-D"},        {SDLK_DOWN, false, 4, "UD"},    {SDLK_KP2, false, 6, "U-"},
        {SDLK_DOWN, false, 6, "U-"},     {SDLK_RIGHT, false, 6, "U-"},   {SDLK_UP, false, 2, "UD"},
        {SDLK_LEFT, false, 2, "UD"},     {SDLK_LEFT, true, 0, "-D"},     {SDLK_RIGHT, true, 4, "UD"},
        {SDLK_KP8, false, 0, "-D"},      {SDLK_UP, false, 0, "-D"},
    };
    for (const Step& s : steps) {
        EXPECT_TRUE(ListPage::pagingKey(*f.page, &items, &keys, s.key, s.sideways)) << s.key;
        EXPECT_EQ(items.firstVisibleIndex(), s.first) << s.key;
        EXPECT_EQ(f.state(), s.buttons) << s.key;
    }
    // On a rotated screen the arrows turn: right is up.
    keys.orientation = 90;
    ListPage::pagingKey(*f.page, &items, &keys, SDLK_LEFT);
    EXPECT_EQ(items.firstVisibleIndex(), 4);
    ListPage::pagingKey(*f.page, &items, &keys, SDLK_RIGHT);
    EXPECT_EQ(items.firstVisibleIndex(), 0);
    // The template's buttons speak with their own names.
    f.page->findChild("down")->parent()->childClicked("down");
    EXPECT_EQ(f.journal, std::vector<std::string>{"clicked down"});
}

TEST(ListPage, APageWithItsOwnButtonsGetsNoTemplate) {
    Fixture f(true);
    EXPECT_EQ(f.added, nullptr);
    Items few(*f.list, 3);
    ListPage::updateUpDownButtons(*f.page, &few);
    EXPECT_EQ(f.state(), "--");
}

// The notice of an empty list shows while there is nothing to list (no
// items, or no model), with the list hidden; a page without the notice keeps
// its list as it is.
TEST(ListPage, EmptyNoticeShowsInsteadOfTheList) {
    Fixture f(true);
    Items items(*f.list, 0);
    ListPage::updateEmptyNotice(*f.page, &items, u"Nothing yet");
    EXPECT_TRUE(f.list->visible()) << "no notice on the page";
    auto* notice = new fdStatic(f.page, "empty_notice", true, &f.ui);
    notice->placeInParent(0, 0, 100, 40);
    struct Row {
        int items;
        bool model;
        bool shown;
    };
    for (const Row& r : {Row{0, true, true}, Row{3, true, false}, Row{3, false, true}, Row{1, true, false}}) {
        items.n = r.items;
        ListPage::updateEmptyNotice(*f.page, r.model ? &items : nullptr, u"Nothing yet");
        EXPECT_EQ(notice->visible(), r.shown) << r.items << " items, model " << r.model;
        EXPECT_EQ(f.list->visible(), !r.shown) << r.items << " items, model " << r.model;
        EXPECT_EQ(notice->text(), u"Nothing yet");
    }
}
